#include "platform/SendStrDll.h"

#include <utility>

#include "platform/LibraryLoader.h"

namespace keyentry {

bool SendStrDll::Load() {
  if (send_.load()) return true;
  // A damaged file is reported by the failed load, not by a system dialog.
  DWORD oldMode = 0;
  const bool quiet = ::SetThreadErrorMode(SEM_FAILCRITICALERRORS, &oldMode) != 0;
  LibraryFacts facts;
  UniqueModule module = LoadLibraryFromFolder(folder_, kSendLibraryFileName, &facts);
  if (quiet) ::SetThreadErrorMode(oldMode, nullptr);
  FARPROC p = module ? ::GetProcAddress(module.get(), "SendStr") : nullptr;
  if (module && !p) {
    facts.state = LibraryFacts::State::kMissingFunctions;
    facts.missing = {L"SendStr"};
  }
  {
    std::lock_guard<std::mutex> lock(factsMutex_);
    facts_ = std::move(facts);
  }
  if (!p) return false;
  module_ = std::move(module);
  send_ = reinterpret_cast<SendFunction>(reinterpret_cast<void*>(p));
  return true;
}

void SendStrDll::SendStr(const char* ansi) {
  if (const SendFunction send = send_.load()) send(ansi);
}

LibraryFacts SendStrDll::Facts() const {
  std::lock_guard<std::mutex> lock(factsMutex_);
  return facts_;
}

}  // namespace keyentry
