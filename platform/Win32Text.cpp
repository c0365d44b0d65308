#include "platform/Win32Text.h"

#include <windows.h>

#include <climits>
#include <vector>

namespace keyentry {

namespace {

constexpr UINT kCodePage936 = 936;

std::wstring ToWideIn(UINT codePage, std::string_view bytes) {
  if (bytes.empty() || bytes.size() > INT_MAX) return std::wstring();
  const int n = static_cast<int>(bytes.size());
  const int len = ::MultiByteToWideChar(codePage, 0, bytes.data(), n, nullptr, 0);
  if (len <= 0) return std::wstring();
  std::wstring out(static_cast<std::size_t>(len), L'\0');
  ::MultiByteToWideChar(codePage, 0, bytes.data(), n, &out[0], len);
  return out;
}

std::string ToBytesIn(UINT codePage, std::wstring_view text) {
  if (text.empty() || text.size() > INT_MAX / 4) return std::string();
  const int n = static_cast<int>(text.size());
  const int len = ::WideCharToMultiByte(codePage, 0, text.data(), n, nullptr, 0, nullptr, nullptr);
  if (len <= 0) return std::string();
  std::string out(static_cast<std::size_t>(len), '\0');
  ::WideCharToMultiByte(codePage, 0, text.data(), n, &out[0], len, nullptr, nullptr);
  return out;
}

}  // namespace

std::wstring AnsiCodePage::ToWide(std::string_view ansi) const { return ToWideIn(CP_ACP, ansi); }

std::string AnsiCodePage::ToAnsi(std::wstring_view text) const { return ToBytesIn(CP_ACP, text); }

std::wstring CodePage936::ToWide(std::string_view bytes) const {
  return ToWideIn(kCodePage936, bytes);
}

std::string CodePage936::ToAnsi(std::wstring_view text) const {
  return ToBytesIn(kCodePage936, text);
}

std::wstring ProgramPath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD len =
        ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (len == 0) return L".";
    if (len < buffer.size()) return std::wstring(buffer.data(), len);
    buffer.resize(buffer.size() * 2);
  }
}

std::wstring ProgramFolder() {
  const std::wstring path = ProgramPath();
  const auto slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? L"." : path.substr(0, slash);
}

bool MakeCurrentFolder(const std::wstring& folder) {
  return ::SetCurrentDirectoryW(folder.c_str()) != 0;
}

}  // namespace keyentry
