#include "core/PathNames.h"

namespace keyentry {

namespace {

constexpr std::wstring_view kScratchMark = L".~KeyEntry-";
constexpr std::wstring_view kScratchEnd = L".tmp";

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// The decimal number at the end of `text` (removed from it), at most
// 0xFFFFFFFF and without leading zeros; nothing when there is none.
std::optional<std::uint32_t> TakeNumberFromEnd(std::wstring_view& text) {
  std::size_t start = text.size();
  while (start > 0 && IsDigit(text[start - 1])) --start;
  const std::wstring_view digits = text.substr(start);
  if (digits.empty() || digits.size() > 10) return std::nullopt;
  if (digits.size() > 1 && digits[0] == L'0') return std::nullopt;
  std::uint64_t value = 0;
  for (const wchar_t c : digits) value = value * 10 + static_cast<std::uint64_t>(c - L'0');
  if (value > 0xFFFFFFFFu) return std::nullopt;
  text.remove_suffix(digits.size());
  return static_cast<std::uint32_t>(value);
}

bool TakeFromEnd(std::wstring_view& text, std::wstring_view end) {
  if (text.size() < end.size() || text.substr(text.size() - end.size()) != end) return false;
  text.remove_suffix(end.size());
  return true;
}

bool IsAsciiLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// Backslash-separated parts, none empty, "." or "..", and no '/'; one
// trailing backslash (a folder) is fine.
bool PartsNeedNoTidying(std::wstring_view parts) {
  if (parts.find(L'/') != std::wstring_view::npos) return false;
  if (!parts.empty() && parts.back() == L'\\') parts.remove_suffix(1);
  for (;;) {
    const std::size_t slash = parts.find(L'\\');
    const std::wstring_view part = parts.substr(0, slash);
    if (part.empty() || part == L"." || part == L"..") return false;
    if (slash == std::wstring_view::npos) return true;
    parts.remove_prefix(slash + 1);
  }
}

// The upper case of a letter, as the file system compares names.
wchar_t UpperCase(wchar_t c) {
  const bool latin = (c >= L'a' && c <= L'z') || (c >= 0xFF41 && c <= 0xFF5A) ||  // full-width
                     (c >= 0xE0 && c <= 0xFE && c != 0xF7);                       // Latin-1
  const bool greek = c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2;  // final sigma stays
  const bool cyrillic = c >= 0x430 && c <= 0x44F;
  if (latin || greek || cyrillic) return static_cast<wchar_t>(c - 0x20);
  if (c >= 0x450 && c <= 0x45F) return static_cast<wchar_t>(c - 0x50);  // Ѐ..Џ
  return c;
}

}  // namespace

std::wstring ScratchFileName(std::wstring_view target, std::uint32_t processId,
                             std::uint32_t counter) {
  std::wstring name(target);
  name += kScratchMark;
  name += std::to_wstring(processId);
  name += L'-';
  name += std::to_wstring(counter);
  name += kScratchEnd;
  return name;
}

std::optional<std::uint32_t> ScratchFileOwner(std::wstring_view fileName) {
  std::wstring_view rest = fileName;
  if (!TakeFromEnd(rest, kScratchEnd)) return std::nullopt;
  if (!TakeNumberFromEnd(rest)) return std::nullopt;  // the counter
  if (!TakeFromEnd(rest, L"-")) return std::nullopt;
  const std::optional<std::uint32_t> processId = TakeNumberFromEnd(rest);
  if (!processId || *processId == 0) return std::nullopt;
  if (!TakeFromEnd(rest, kScratchMark)) return std::nullopt;
  if (rest.empty() || rest.find_first_of(L"\\/:") != std::wstring_view::npos) return std::nullopt;
  return processId;
}

std::wstring ExtendedLengthPath(std::wstring_view path) {
  if (path.size() < kLongPathFrom) return std::wstring(path);
  // "C:\..."
  if (IsAsciiLetter(path[0]) && path[1] == L':' && path[2] == L'\\' &&
      PartsNeedNoTidying(path.substr(3))) {
    return L"\\\\?\\" + std::wstring(path);
  }
  // "\\server\share\..." (not "\\?\..." or "\\.\...", which are no shares)
  if (path.substr(0, 2) == L"\\\\" && path[2] != L'?' && path[2] != L'.' &&
      PartsNeedNoTidying(path.substr(2))) {
    const std::wstring_view rest = path.substr(2);
    const std::size_t shareStart = rest.find(L'\\');
    if (shareStart != std::wstring_view::npos && shareStart + 1 < rest.size()) {
      return L"\\\\?\\UNC\\" + std::wstring(rest);
    }
  }
  return std::wstring(path);
}

std::wstring OrdinaryPath(std::wstring_view path) {
  constexpr std::wstring_view kExtended = L"\\\\?\\";
  constexpr std::wstring_view kExtendedShare = L"\\\\?\\UNC\\";
  if (path.substr(0, kExtendedShare.size()) == kExtendedShare) {
    return L"\\\\" + std::wstring(path.substr(kExtendedShare.size()));
  }
  if (path.substr(0, kExtended.size()) == kExtended) {
    return std::wstring(path.substr(kExtended.size()));
  }
  return std::wstring(path);
}

bool SameFilePath(std::wstring_view a, std::wstring_view b) {
  const std::wstring first = OrdinaryPath(a);
  const std::wstring second = OrdinaryPath(b);
  if (first.size() != second.size()) return false;
  for (std::size_t k = 0; k < first.size(); ++k) {
    if (UpperCase(first[k]) != UpperCase(second[k])) return false;
  }
  return true;
}

}  // namespace keyentry
