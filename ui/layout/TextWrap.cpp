#include "ui/layout/TextWrap.h"

#include <algorithm>

namespace keyentry {

namespace {

bool IsWide(wchar_t c) {
  return (c >= 0x2E80 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) ||
         (c >= 0xFF00 && c <= 0xFFEF) || (c >= 0xAC00 && c <= 0xD7AF);
}

// A line may end between text[i - 1] and text[i].
bool CanBreakBefore(std::wstring_view text, std::size_t i) {
  const wchar_t before = text[i - 1];
  const wchar_t after = text[i];
  return before == L' ' || after == L' ' || IsWide(before) || IsWide(after);
}

// Longest prefix of `text` (at least one character) not wider than maxWidth.
// Only prefixes up to twice the answer are measured, so a huge text costs
// no more than the part of it that fits.
std::size_t FittingLength(std::wstring_view text, int maxWidth,
                          const std::function<int(std::wstring_view)>& measure) {
  std::size_t low = 1;  // always take one character, even if it is too wide
  std::size_t high = 1;
  while (high < text.size()) {
    const std::size_t next = std::min(text.size(), high * 2);
    if (measure(text.substr(0, next)) > maxWidth) {
      high = next - 1;
      break;
    }
    low = high = next;
  }
  while (low < high) {
    const std::size_t mid = low + (high - low + 1) / 2;
    if (measure(text.substr(0, mid)) <= maxWidth) {
      low = mid;
    } else {
      high = mid - 1;
    }
  }
  return low;
}

}  // namespace

std::vector<std::wstring_view> WrapText(std::wstring_view text, int maxWidth, std::size_t maxLines,
                                        const std::function<int(std::wstring_view)>& measure) {
  std::vector<std::wstring_view> lines;
  std::size_t start = 0;
  while (lines.size() < maxLines && start <= text.size()) {
    const std::size_t feed = text.find(L'\n', start);
    const std::size_t paragraphEnd = feed == std::wstring_view::npos ? text.size() : feed;
    std::wstring_view rest = text.substr(start, paragraphEnd - start);
    if (!rest.empty() && rest.back() == L'\r') rest.remove_suffix(1);

    const std::size_t fitting = rest.empty() ? 0 : FittingLength(rest, maxWidth, measure);
    if (fitting == rest.size() && (rest.empty() || measure(rest) <= maxWidth)) {
      lines.push_back(rest);
      if (feed == std::wstring_view::npos) break;
      start = feed + 1;
      continue;
    }
    std::size_t end = fitting;
    if (end < rest.size() && !CanBreakBefore(rest, end)) {
      std::size_t b = end;
      while (b > 1 && !CanBreakBefore(rest, b)) --b;
      if (b > 1 || CanBreakBefore(rest, b)) end = b;
    }
    std::wstring_view line = rest.substr(0, end);
    while (!line.empty() && line.back() == L' ') line.remove_suffix(1);
    lines.push_back(line);
    start += end;
    while (start < paragraphEnd && text[start] == L' ') ++start;
    if (start == paragraphEnd && feed == std::wstring_view::npos) break;
    if (start == paragraphEnd) start = feed + 1;
  }
  return lines;
}

}  // namespace keyentry
