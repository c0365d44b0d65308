#pragma once
// The text-sending library SendStr.dll, loaded at the first key press that
// types something. Used only on the keyboard hook's thread.
#include <string>

#include "core/KeyboardHook.h"
#include "platform/Handles.h"

namespace keyentry {

inline constexpr const wchar_t* kSendLibraryFileName = L"SendStr.dll";

class SendStrDll : public TextSender {
 public:
  explicit SendStrDll(std::wstring folder) : folder_(std::move(folder)) {}

  // Without the library (or its function) nothing is typed; the key press is
  // still swallowed, so an assigned key never reaches the application, and
  // the library is looked for again at the next press.
  void SendStr(const char* ansi) override;

 private:
  using SendFunction = void(WINAPI*)(const char*);
  std::wstring folder_;
  UniqueModule module_;
  SendFunction send_ = nullptr;
};

}  // namespace keyentry
