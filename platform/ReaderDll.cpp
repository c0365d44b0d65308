#include "platform/ReaderDll.h"

#include "platform/LibraryLoader.h"

namespace keyentry {

namespace {
using PortFunction = int(WINAPI*)(int);
using PlainFunction = int(WINAPI*)();

template <typename F>
F As(FARPROC p) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(p));
}
}  // namespace

FARPROC ReaderDll::Function(const char* name) {
  if (!module_) {
    module_ = LoadLibraryFromFolder(folder_, kReaderLibraryFileName, &facts_);
    if (module_) {
      facts_.missing = MissingFunctions(
          module_.get(), {"KLV_InitComm", "KLV_Authenticate", "KLV_Read_Content", "KLV_CloseComm"});
      if (!facts_.missing.empty()) facts_.state = LibraryFacts::State::kMissingFunctions;
    }
  }
  if (!module_) throw ReaderLibraryError("reader library cannot be loaded");
  FARPROC p = ::GetProcAddress(module_.get(), name);
  if (!p) throw ReaderLibraryError(std::string("reader library lacks ") + name);
  return p;
}

std::int32_t ReaderDll::InitComm(std::int32_t port) {
  return As<PortFunction>(Function("KLV_InitComm"))(port);
}

std::int32_t ReaderDll::Authenticate() { return As<PlainFunction>(Function("KLV_Authenticate"))(); }

std::int32_t ReaderDll::ReadContent(std::int32_t mode) {
  return As<PortFunction>(Function("KLV_Read_Content"))(mode);
}

std::int32_t ReaderDll::CloseComm() { return As<PlainFunction>(Function("KLV_CloseComm"))(); }

}  // namespace keyentry
