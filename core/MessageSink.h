#pragma once
// Messages shown to the operator, and the texts the program uses for them.
#include <string_view>

namespace keyentry {

inline constexpr const wchar_t* kAppTitle = L"按键录入软件";
inline constexpr const wchar_t* kMsgPortOpenFailed = L"端口打开失败！";
inline constexpr const wchar_t* kMsgKeyFileReadFailed = L"配置文件SetKey.txt读取失败！";
inline constexpr const wchar_t* kMsgKeyFileSaveFailed = L"配置文件SetKey.txt保存失败！";

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // Shows the text to the operator and returns when it has been seen
  // (a message box with the application title and an OK button).
  virtual void ShowMessage(std::wstring_view text) = 0;
};

}  // namespace keyentry
