#include "platform/SendStrDll.h"

#include "platform/LibraryLoader.h"

namespace keyentry {

void SendStrDll::SendStr(const char* ansi) {
  if (!send_) {
    if (!module_) module_ = LoadLibraryFromFolder(folder_, kSendLibraryFileName);
    if (!module_) return;
    FARPROC p = ::GetProcAddress(module_.get(), "SendStr");
    if (!p) return;
    send_ = reinterpret_cast<SendFunction>(reinterpret_cast<void*>(p));
  }
  send_(ansi);
}

}  // namespace keyentry
