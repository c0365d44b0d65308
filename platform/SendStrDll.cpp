#include "platform/SendStrDll.h"

#include "platform/LibraryLoader.h"

namespace keyentry {

bool SendStrDll::Load() {
  if (send_.load()) return true;
  // A damaged file is reported by the failed load, not by a system dialog.
  DWORD oldMode = 0;
  const bool quiet = ::SetThreadErrorMode(SEM_FAILCRITICALERRORS, &oldMode) != 0;
  UniqueModule module = LoadLibraryFromFolder(folder_, kSendLibraryFileName);
  if (quiet) ::SetThreadErrorMode(oldMode, nullptr);
  if (!module) return false;
  FARPROC p = ::GetProcAddress(module.get(), "SendStr");
  if (!p) return false;
  module_ = std::move(module);
  send_ = reinterpret_cast<SendFunction>(reinterpret_cast<void*>(p));
  return true;
}

void SendStrDll::SendStr(const char* ansi) {
  if (const SendFunction send = send_.load()) send(ansi);
}

}  // namespace keyentry
