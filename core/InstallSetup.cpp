#include "core/InstallSetup.h"

#include <vector>

#include "core/SettingsFile.h"
#include "core/TextTools.h"
#include "core/UnicodeText.h"

namespace keyentry {

namespace {

constexpr const wchar_t* kSiteHeader = L"[站点]";
constexpr const wchar_t* kSharedName = L"共享设置";

bool IsSwitch(std::wstring_view word, std::wstring_view name) {
  return word.size() == name.size() + 1 && (word[0] == L'/' || word[0] == L'-') &&
         EqualsIgnoringAsciiCase(word.substr(1), name);
}

// One line of the file as bytes: [begin, end) its text, [end, next) its line end.
struct ByteLine {
  std::size_t begin = 0;
  std::size_t end = 0;
  std::size_t next = 0;
};

class EncodedFile {
 public:
  EncodedFile(std::string_view bytes, const TextCodec& fallback)
      : bytes_(bytes), fallback_(fallback) {
    DecodeSettingsText(bytes, fallback, &encoding_);
    std::size_t at = 0;
    if (encoding_ == SettingsEncoding::kUtf16Le || encoding_ == SettingsEncoding::kUtf16Be) {
      unit_ = 2;
      at = 2;
    } else if (encoding_ == SettingsEncoding::kUtf8WithBom) {
      at = 3;
    }
    Split(at);
  }

  const std::vector<ByteLine>& Lines() const { return lines_; }
  std::wstring Text(const ByteLine& line) const {
    const std::string_view part = bytes_.substr(line.begin, line.end - line.begin);
    switch (encoding_) {
      case SettingsEncoding::kUtf16Le:
        return DecodeUtf16(part, false);
      case SettingsEncoding::kUtf16Be:
        return DecodeUtf16(part, true);
      case SettingsEncoding::kFallback:
        return fallback_.ToWide(part);
      case SettingsEncoding::kUtf8:
      case SettingsEncoding::kUtf8WithBom:
        break;
    }
    return DecodeUtf8Strict(part).value_or(std::wstring());
  }
  // The file's first line end, CR LF when it has none.
  std::string LineEnd() const {
    for (const ByteLine& line : lines_) {
      if (line.next > line.end) return std::string(bytes_.substr(line.end, line.next - line.end));
    }
    return *Encode(L"\r\n");
  }
  std::optional<std::string> Encode(std::wstring_view text) const {
    std::string out;
    switch (encoding_) {
      case SettingsEncoding::kUtf16Le:
      case SettingsEncoding::kUtf16Be:
        for (const char16_t unit : ToUtf16(text)) {
          const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
          out += encoding_ == SettingsEncoding::kUtf16Le ? std::string{low, high}
                                                         : std::string{high, low};
        }
        return out;
      case SettingsEncoding::kFallback:
        out = fallback_.ToAnsi(text);
        if (fallback_.ToWide(out) != text) return std::nullopt;
        return out;
      case SettingsEncoding::kUtf8:
      case SettingsEncoding::kUtf8WithBom:
        break;
    }
    for (const char16_t unit : ToUtf16(text)) AppendUtf8(out, unit);
    return out;
  }

 private:
  // The unit at a byte offset: one byte, or one UTF-16 unit.
  unsigned UnitAt(std::size_t at) const {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes_[i]); };
    if (unit_ == 1) return byte(at);
    return encoding_ == SettingsEncoding::kUtf16Le ? byte(at) | byte(at + 1) << 8
                                                   : byte(at) << 8 | byte(at + 1);
  }
  void Split(std::size_t at) {
    ByteLine line{at, at, at};
    while (at + unit_ <= bytes_.size()) {
      const unsigned c = UnitAt(at);
      if (c != '\r' && c != '\n') {
        at += unit_;
        continue;
      }
      line.end = at;
      at += unit_;
      if (c == '\r' && at + unit_ <= bytes_.size() && UnitAt(at) == '\n') at += unit_;
      line.next = at;
      lines_.push_back(line);
      line = ByteLine{at, at, at};
    }
    if (line.begin < bytes_.size())
      lines_.push_back(ByteLine{line.begin, bytes_.size(), bytes_.size()});
  }
  // UTF-16 units to UTF-8, surrogate pairs joined (held in pending_).
  void AppendUtf8(std::string& out, char16_t unit) const {
    char32_t c = unit;
    if (unit >= 0xD800 && unit < 0xDC00) {
      pending_ = unit;
      return;
    }
    if (unit >= 0xDC00 && unit < 0xE000 && pending_) {
      c = 0x10000 + ((static_cast<char32_t>(pending_) - 0xD800) << 10) + (unit - 0xDC00);
    }
    pending_ = 0;
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | c >> 12);
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | c >> 18);
      out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }

  std::string_view bytes_;
  const TextCodec& fallback_;
  SettingsEncoding encoding_ = SettingsEncoding::kUtf8;
  std::size_t unit_ = 1;
  std::vector<ByteLine> lines_;
  mutable char16_t pending_ = 0;
};

// The section a header line names ("" when the line is no header, or an
// unreadable one).
std::optional<std::wstring_view> HeaderName(std::wstring_view line) {
  if (line.empty() || line[0] != L'[') return std::nullopt;
  const std::size_t close = line.find(L']');
  if (close == std::wstring_view::npos) return std::wstring_view();
  const std::wstring_view after = TrimBlanks(line.substr(close + 1));
  if (!after.empty() && after[0] != L';' && after[0] != L'#') return std::wstring_view();
  return TrimBlanks(line.substr(1, close - 1));
}

bool IsSiteSection(std::wstring_view name) {
  return name == L"站点" || EqualsIgnoringAsciiCase(name, L"Site");
}

}  // namespace

InstallCommand ParseInstallCommand(std::wstring_view commandLine) {
  const std::wstring_view line = TrimBlanks(commandLine);
  if (line.empty() || (line[0] != L'/' && line[0] != L'-')) return {};
  const std::size_t blank = line.find_first_of(L" \t");
  const std::wstring_view word = line.substr(0, blank);
  std::wstring_view rest =
      blank == std::wstring_view::npos ? std::wstring_view() : TrimBlanks(line.substr(blank));
  if (IsSwitch(word, L"removestartup") && rest.empty()) {
    return {InstallJob::kRemoveStartupShortcuts, {}};
  }
  if (IsSwitch(word, L"sharedsettings")) {
    if (rest.size() >= 2 && rest.front() == L'"' && rest.back() == L'"') {
      rest = TrimBlanks(rest.substr(1, rest.size() - 2));
    }
    return {InstallJob::kSetSharedSettings, std::wstring(rest)};
  }
  return {InstallJob::kUnknown, {}};
}

std::optional<std::string> SetSharedSettingsLine(std::string_view bytes, std::wstring_view path,
                                                 const TextCodec& fallback) {
  path = TrimBlanks(path);
  if (path.empty() || path.find_first_of(L"\r\n") != std::wstring_view::npos) return std::nullopt;
  // A path with ";" or "#" in it goes in double quotes, so that no part of
  // it is read as a comment.
  const bool quoted = path.find_first_of(L";#") != std::wstring_view::npos;
  const std::wstring value = quoted ? L"\"" + std::wstring(path) + L"\"" : std::wstring(path);

  const EncodedFile file(bytes, fallback);
  const ByteLine* header = nullptr;
  bool inSite = false;
  for (const ByteLine& line : file.Lines()) {
    const std::wstring text = file.Text(line);
    const std::wstring_view trimmed = TrimBlanks(text);
    if (trimmed.empty() || trimmed[0] == L';' || trimmed[0] == L'#') continue;
    if (const auto section = HeaderName(trimmed)) {
      inSite = IsSiteSection(*section);
      if (inSite && !header) header = &line;
      continue;
    }
    const std::size_t equals = trimmed.find(L'=');
    if (!inSite || equals == std::wstring_view::npos) continue;
    const std::wstring_view name = TrimBlanks(trimmed.substr(0, equals));
    if (name != kSharedName && !EqualsIgnoringAsciiCase(name, L"SharedSettings")) continue;
    const auto replacement = file.Encode(std::wstring(name) + L" = " + value);
    if (!replacement) return std::nullopt;
    return std::string(bytes.substr(0, line.begin)) + *replacement +
           std::string(bytes.substr(line.end));
  }

  const std::string lineEnd = file.LineEnd();
  const auto added = file.Encode(std::wstring(kSharedName) + L" = " + value);
  const auto siteHeader = file.Encode(kSiteHeader);
  if (!added || !siteHeader) return std::nullopt;
  if (header) {
    const bool ended = header->next > header->end;
    return std::string(bytes.substr(0, header->next)) + (ended ? "" : lineEnd) + *added +
           (ended ? lineEnd : "") + std::string(bytes.substr(header->next));
  }
  std::string out(bytes);
  if (!file.Lines().empty() && file.Lines().back().next == file.Lines().back().end) out += lineEnd;
  return out + *siteHeader + lineEnd + *added + lineEnd;
}

bool WriteSharedSettingsLine(FileStore& files, const std::wstring& folder, std::wstring_view path,
                             const TextCodec& fallback, std::string_view example) {
  const std::wstring file = PathInFolder(folder, kSettingsFileName);
  std::optional<std::string> bytes = files.ReadAll(file);
  if (!bytes) {
    // A file that is there but cannot be read is never replaced.
    if (files.ModifiedTime(file)) return false;
    bytes = std::string(example);
  }
  const auto changed = SetSharedSettingsLine(*bytes, path, fallback);
  return changed && files.Replace(file, *changed);
}

}  // namespace keyentry
