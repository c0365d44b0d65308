#pragma once
// Messages shown to the operator (their texts are in core/Texts.h).
#include <string_view>

namespace keyentry {

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // Shows the text to the operator and returns when it has been seen
  // (a message box with the application title and an OK button).
  virtual void ShowMessage(std::wstring_view text) = 0;
};

}  // namespace keyentry
