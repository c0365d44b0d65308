#include "core/TextTools.h"

#include <vector>

namespace keyentry {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\u3000'; }

std::wstring_view TrimBlanks(std::wstring_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

namespace {
wchar_t FoldAscii(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c; }
}  // namespace

std::wstring LowerAscii(std::wstring_view text) {
  std::wstring out(text);
  for (wchar_t& c : out) c = FoldAscii(c);
  return out;
}

bool EqualsIgnoringAsciiCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

bool ParseDecimal(std::wstring_view text, int& value) {
  constexpr long long kCap = 1000000000;
  if (text.empty()) return false;
  long long result = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return false;
    result = result * 10 + (c - L'0');
    if (result > kCap) result = kCap;
  }
  value = static_cast<int>(result);
  return true;
}

std::wstring Shortened(std::wstring_view text, std::size_t maxLength, std::wstring_view ellipsis) {
  if (text.size() <= maxLength) return std::wstring(text);
  std::size_t length = maxLength;
  if (length > 0 && text[length] >= 0xDC00 && text[length] <= 0xDFFF) --length;
  return std::wstring(text.substr(0, length)) + std::wstring(ellipsis);
}

std::wstring Substitute(std::wstring_view pattern, std::initializer_list<std::wstring_view> args) {
  const std::vector<std::wstring_view> list(args);
  std::wstring out;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == L'%' && i + 1 < pattern.size() && pattern[i + 1] >= L'1' &&
        pattern[i + 1] <= L'9') {
      const auto n = static_cast<std::size_t>(pattern[i + 1] - L'1');
      if (n < list.size()) {
        out += list[n];
        ++i;
        continue;
      }
    }
    out += pattern[i];
  }
  return out;
}

}  // namespace keyentry
