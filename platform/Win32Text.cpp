#include "platform/Win32Text.h"

#include <windows.h>

#include <climits>
#include <vector>

namespace keyentry {

std::wstring AnsiCodePage::ToWide(std::string_view ansi) const {
  if (ansi.empty() || ansi.size() > INT_MAX) return std::wstring();
  const int n = static_cast<int>(ansi.size());
  const int len = ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), n, nullptr, 0);
  if (len <= 0) return std::wstring();
  std::wstring out(static_cast<std::size_t>(len), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), n, &out[0], len);
  return out;
}

std::string AnsiCodePage::ToAnsi(std::wstring_view text) const {
  if (text.empty() || text.size() > INT_MAX / 4) return std::string();
  const int n = static_cast<int>(text.size());
  const int len = ::WideCharToMultiByte(CP_ACP, 0, text.data(), n, nullptr, 0, nullptr, nullptr);
  if (len <= 0) return std::string();
  std::string out(static_cast<std::size_t>(len), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, text.data(), n, &out[0], len, nullptr, nullptr);
  return out;
}

std::wstring ProgramFolder() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD len =
        ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (len == 0) return L".";
    if (len < buffer.size()) {
      std::wstring path(buffer.data(), len);
      const auto slash = path.find_last_of(L"\\/");
      return slash == std::wstring::npos ? L"." : path.substr(0, slash);
    }
    buffer.resize(buffer.size() * 2);
  }
}

bool MakeCurrentFolder(const std::wstring& folder) {
  return ::SetCurrentDirectoryW(folder.c_str()) != 0;
}

}  // namespace keyentry
