#include "platform/Win32MessageSink.h"

#include <windows.h>

#include <string>

#include "core/Texts.h"

namespace keyentry {

void Win32MessageSink::ShowMessage(std::wstring_view text) {
  const std::wstring message(text);
  ::MessageBoxW(nullptr, message.c_str(), kAppTitle, MB_OK | MB_TASKMODAL | MB_SETFOREGROUND);
}

}  // namespace keyentry
