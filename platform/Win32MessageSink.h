#pragma once
#include "core/MessageSink.h"

namespace keyentry {

// A message box modal to the whole application: OK only, no icon.
class Win32MessageSink : public MessageSink {
 public:
  void ShowMessage(std::wstring_view text) override;
};

}  // namespace keyentry
