#include "core/SettingsFile.h"

#include <algorithm>
#include <array>
#include <utility>

#include "core/KeyNames.h"
#include "core/TextTools.h"
#include "core/Texts.h"
#include "core/UnicodeText.h"

namespace keyentry {

namespace {

constexpr int kMaxFieldDelayMs = 2000;
constexpr int kMaxCharDelayMs = 50;
constexpr int kMaxClearAfterSeconds = 86400;
// Characters of a line shown in the report before it is cut short.
constexpr std::size_t kReportLineLength = 60;

struct SettingName {
  const wchar_t* chinese;
  const wchar_t* english;
};

bool NameIs(std::wstring_view name, const SettingName& setting) {
  return name == setting.chinese || EqualsIgnoringAsciiCase(name, setting.english);
}

// Index of the setting with this name, or -1.
template <std::size_t N>
int FindSetting(std::wstring_view name, const SettingName (&table)[N]) {
  for (std::size_t i = 0; i < N; ++i) {
    if (NameIs(name, table[i])) return static_cast<int>(i);
  }
  return -1;
}

enum TypingSetting { kFieldDelay, kMode, kCharDelay };
const SettingName kTypingNames[] = {
    {L"字段间隔", L"FieldDelayMs"}, {L"方式", L"Mode"}, {L"字符间隔", L"CharDelayMs"}};

enum PrivacySetting { kClearAfter, kDeleteFiles, kMaskId };
const SettingName kPrivacyNames[] = {{L"清除秒数", L"ClearAfterSeconds"},
                                     {L"读后删除卡片文件", L"DeleteCardFiles"},
                                     {L"身份证号遮挡", L"MaskIdNumber"}};

enum CheckSetting { kCheckExpired, kCheckUnderAge, kCheckIdNumber, kCheckHold };
const SettingName kCheckNames[] = {{L"过期", L"Expired"},
                                   {L"未满", L"UnderAge"},
                                   {L"号码", L"IdNumber"},
                                   {L"提醒时不自动录入", L"HoldOnReadWhenWarned"}};
constexpr int kMaxUnderAge = 150;

const SettingName kOnReadName{L"读卡后", L"OnRead"};
const SettingName kTemplatesSection{L"模板", L"Templates"};
const SettingName kTypingSection{L"输入", L"Typing"};
const SettingName kProgramSection{L"程序", L"App"};
const SettingName kPrivacySection{L"隐私", L"Privacy"};
const SettingName kPhotoSection{L"照片", L"Photo"};
enum PhotoSetting { kPhotoFormat, kPhotoFolder, kPhotoName };
const SettingName kPhotoNames[] = {
    {L"格式", L"Format"}, {L"文件夹", L"Folder"}, {L"文件名", L"FileName"}};
const SettingName kSiteSection{L"站点", L"Site"};
const SettingName kChecksSection{L"核验", L"Checks"};
const SettingName kSharedPathName{L"共享设置", L"SharedSettings"};

const SettingName kModeNames[] = {{L"字符", L"unicode"}, {L"按键", L"keys"}, {L"粘贴", L"paste"}};
const TypingMode kModes[] = {TypingMode::kUnicode, TypingMode::kKeys, TypingMode::kPaste};
const SettingName kYesNoNames[] = {{L"是", L"yes"}, {L"否", L"no"}};

// The lines of the text, without their ends (CR LF, LF or CR). A final line
// end starts no further line.
std::vector<std::wstring_view> SplitLines(std::wstring_view text) {
  std::vector<std::wstring_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != L'\n' && text[i] != L'\r') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

// The text up to a ";" or "#" that follows a blank.
std::wstring_view WithoutComment(std::wstring_view text) {
  for (std::size_t i = 1; i < text.size(); ++i) {
    if ((text[i] == L';' || text[i] == L'#') && IsBlank(text[i - 1])) return text.substr(0, i);
  }
  return text;
}

// A value as it counts: one in double quotes is the text between them, ";"
// and "#" included, when only blanks or a comment follow the closing quote;
// any other value ends at a comment, blanks trimmed.
std::wstring_view SettingValue(std::wstring_view raw) {
  const std::wstring_view value = TrimBlanks(raw);
  if (value.size() >= 2 && value.front() == L'"') {
    const std::size_t close = value.find(L'"', 1);
    if (close != std::wstring_view::npos) {
      const std::wstring_view after = TrimBlanks(value.substr(close + 1));
      const bool commentFollows =
          after.empty() || ((after[0] == L';' || after[0] == L'#') && IsBlank(value[close + 1]));
      if (commentFollows) return value.substr(1, close - 1);
    }
  }
  return TrimBlanks(WithoutComment(raw));
}

std::wstring KeyName(int keyNumber) { return L"F" + std::to_wstring(keyNumber); }

// How a program's name is kept and looked up.
std::wstring ProgramKey(std::wstring_view name) {
  std::wstring key = LowerAscii(name);
  if (key.find(L'.') == std::wstring::npos) key += L".exe";
  return key;
}

// The line as the report shows it: without blanks at the ends, control
// characters made visible, and cut short when long.
std::wstring DisplayedLine(std::wstring_view line) {
  std::wstring shown = Shortened(TrimBlanks(line), kReportLineLength, kIniReportEllipsis);
  for (wchar_t& c : shown) {
    if (c == L'\t') c = L' ';
    if (c < 0x20 || c == 0x7F) c = L'\uFFFD';
  }
  return shown;
}

// A full path: "\\server\..." or a drive letter with its root, "Z:\...".
bool IsFullPath(std::wstring_view path) {
  const auto separator = [](wchar_t c) { return c == L'\\' || c == L'/'; };
  if (path.size() > 2 && separator(path[0]) && separator(path[1])) return !separator(path[2]);
  const bool letter = path.size() > 3 && ((path[0] >= L'A' && path[0] <= L'Z') ||
                                          (path[0] >= L'a' && path[0] <= L'z'));
  return letter && path[1] == L':' && separator(path[2]);
}

enum class Section {
  kNone,
  kTemplates,
  kTyping,
  kProgram,
  kPrivacy,
  kSite,
  kChecks,
  kPhoto,
  kIgnored
};

class Parser {
 public:
  Parser(SettingsContent& out, SettingsOrigin origin) : out_(out), origin_(origin) {}

  void Line(int number, std::wstring_view raw) {
    number_ = number;
    raw_ = raw;
    const std::wstring_view line = TrimBlanks(raw);
    if (line.empty() || line[0] == L';' || line[0] == L'#') return;
    if (line[0] == L'[') return Header(line);
    if (section_ == Section::kIgnored) return;
    const std::size_t equals = line.find(L'=');
    if (equals == std::wstring_view::npos) return Problem(kIniNotALine);
    if (section_ == Section::kNone) return Problem(kIniOutsideSection);
    const std::wstring_view name = TrimBlanks(line.substr(0, equals));
    if (name.empty()) return Problem(kIniNoName);
    const std::wstring_view value = line.substr(equals + 1);
    switch (section_) {
      case Section::kTemplates:
        return TemplateLine(name, TrimBlanks(value));
      case Section::kTyping:
      case Section::kProgram:
        return TypingLine(name, value);
      case Section::kPrivacy:
        return PrivacyLine(name, SettingValue(value));
      case Section::kPhoto:
        return PhotoLine(name, value);
      case Section::kSite:
        return SiteLine(name, TrimBlanks(SettingValue(value)));
      case Section::kChecks:
        return ChecksLine(name, SettingValue(value));
      case Section::kNone:
      case Section::kIgnored:
        break;
    }
  }

 private:
  void Problem(std::wstring what) {
    out_.problems.push_back(SettingsProblem{number_, std::wstring(raw_), std::move(what), {}});
  }

  void Header(std::wstring_view line) {
    section_ = Section::kIgnored;
    const std::size_t close = line.find(L']');
    if (close == std::wstring_view::npos) return Problem(kIniSectionNotClosed);
    const std::wstring_view after = TrimBlanks(line.substr(close + 1));
    if (!after.empty() && after[0] != L';' && after[0] != L'#') {
      return Problem(kIniTextAfterSection);
    }
    const std::wstring_view name = TrimBlanks(line.substr(1, close - 1));
    title_ = L"[" + std::wstring(name) + L"]";
    if (NameIs(name, kTemplatesSection)) {
      section_ = Section::kTemplates;
    } else if (NameIs(name, kTypingSection)) {
      section_ = Section::kTyping;
    } else if (NameIs(name, kPrivacySection)) {
      section_ = Section::kPrivacy;
    } else if (NameIs(name, kChecksSection)) {
      section_ = Section::kChecks;
    } else if (NameIs(name, kPhotoSection)) {
      section_ = Section::kPhoto;
    } else if (NameIs(name, kSiteSection)) {
      // A shared file names no further shared file: there are no chains.
      if (origin_ == SettingsOrigin::kShared) return Problem(kIniSiteInSharedFile);
      section_ = Section::kSite;
    } else {
      const std::size_t colon = name.find_first_of(L":\uFF1A");
      if (!NameIs(TrimBlanks(name.substr(0, colon)), kProgramSection)) {
        return Problem(Substitute(kIniUnknownSection, {title_}));
      }
      const std::wstring_view program = colon == std::wstring_view::npos
                                            ? std::wstring_view()
                                            : TrimBlanks(name.substr(colon + 1));
      if (program.empty()) return Problem(kIniNoAppName);
      if (program.find_first_of(L"\\/:\uFF1A") != std::wstring_view::npos) {
        return Problem(kIniAppNameWithFolder);
      }
      program_ = ProgramKey(program);
      section_ = Section::kProgram;
    }
  }

  // False (after reporting) when the setting was set before in this section.
  bool FirstTime(int& firstLine, std::wstring_view name) {
    if (firstLine != 0) {
      Problem(Substitute(kIniDuplicateSetting, {name, std::to_wstring(firstLine)}));
      return false;
    }
    return true;
  }

  void TemplateLine(std::wstring_view name, std::wstring_view value) {
    if (NameIs(name, kOnReadName)) return OnReadLine(name, value, out_.onRead, onReadLines_[L""]);
    const std::int16_t vkCode = TemplateKeyToCode(name);
    if (vkCode == 0) return Problem(Substitute(kIniBadTemplateKey, {name}));
    const int keyNumber = vkCode - kVkF1 + 1;
    int& firstLine = templateLines_[static_cast<std::size_t>(keyNumber - 1)];
    if (firstLine != 0) {
      return Problem(
          Substitute(kIniDuplicateTemplate, {KeyName(keyNumber), std::to_wstring(firstLine)}));
    }
    if (value.empty()) return Problem(kIniEmptyTemplate);
    ParsedTemplate parsed = ParseTemplate(value);
    if (parsed.error) return Problem(Substitute(kIniTemplateError, {parsed.error->what}));
    firstLine = number_;
    out_.templates.push_back(
        KeyTemplate{keyNumber, vkCode, std::move(parsed.value), number_, std::wstring(raw_), {}});
  }

  // 读卡后: a template, or off when empty or only a comment.
  void OnReadLine(std::wstring_view name, std::wstring_view value,
                  std::optional<OnReadTemplate>& target, int& firstLine) {
    if (!FirstTime(firstLine, name)) return;
    OnReadTemplate onRead;
    onRead.line = number_;
    onRead.lineText = std::wstring(raw_);
    if (!value.empty() && value[0] != L';' && value[0] != L'#') {
      ParsedTemplate parsed = ParseTemplate(value);
      if (parsed.error) return Problem(Substitute(kIniTemplateError, {parsed.error->what}));
      onRead.enabled = true;
      onRead.parsed = std::move(parsed.value);
    }
    firstLine = number_;
    target = std::move(onRead);
  }

  // Reads a whole number in 0..max; false (after reporting) otherwise.
  bool Number(std::wstring_view name, std::wstring_view value, int max, const wchar_t* unit,
              int& result) {
    int number = 0;
    if (ParseDecimal(value, number) && number <= max) {
      result = number;
      return true;
    }
    Problem(Substitute(kIniNumberRange, {name, L"0", std::to_wstring(max), unit}));
    return false;
  }

  void TypingLine(std::wstring_view name, std::wstring_view rawValue) {
    if (section_ == Section::kProgram && NameIs(name, kOnReadName)) {
      std::optional<OnReadTemplate> onRead;
      OnReadLine(name, TrimBlanks(rawValue), onRead, onReadLines_[program_]);
      if (onRead) out_.programOnRead[program_] = std::move(*onRead);
      return;
    }
    const std::wstring_view value = SettingValue(rawValue);
    const int setting = FindSetting(name, kTypingNames);
    if (setting < 0) {
      return Problem(Substitute(
          kIniUnknownName,
          {name, title_, section_ == Section::kProgram ? kIniProgramNames : kIniTypingNames}));
    }
    if (value.empty()) return Problem(kIniNoValue);
    auto& lines = typingLines_[section_ == Section::kTyping ? std::wstring() : program_];
    int& firstLine = lines[static_cast<std::size_t>(setting)];
    if (!FirstTime(firstLine, name)) return;
    TypingOverrides& target = section_ == Section::kTyping ? out_.typing : out_.programs[program_];
    int number = 0;
    switch (setting) {
      case kFieldDelay:
        if (!Number(name, value, kMaxFieldDelayMs, kIniUnitMs, number)) return;
        target.fieldDelayMs = number;
        break;
      case kCharDelay:
        if (!Number(name, value, kMaxCharDelayMs, kIniUnitMs, number)) return;
        target.charDelayMs = number;
        break;
      case kMode: {
        const int mode = FindSetting(value, kModeNames);
        if (mode < 0) return Problem(Substitute(kIniBadMode, {name}));
        target.mode = kModes[mode];
        break;
      }
    }
    firstLine = number_;
  }

  void PrivacyLine(std::wstring_view name, std::wstring_view value) {
    const int setting = FindSetting(name, kPrivacyNames);
    if (setting < 0) return Problem(Substitute(kIniUnknownName, {name, title_, kIniPrivacyNames}));
    if (value.empty()) return Problem(kIniNoValue);
    int& firstLine = privacyLines_[static_cast<std::size_t>(setting)];
    if (!FirstTime(firstLine, name)) return;
    if (setting == kClearAfter) {
      int seconds = 0;
      if (!Number(name, value, kMaxClearAfterSeconds, kIniUnitSeconds, seconds)) return;
      out_.privacy.clearAfterSeconds = seconds;
      out_.privacySet.clearAfterSeconds = true;
    } else {
      const int answer = FindSetting(value, kYesNoNames);
      if (answer < 0) return Problem(Substitute(kIniBadYesNo, {name}));
      const bool deleteFiles = setting == kDeleteFiles;
      (deleteFiles ? out_.privacy.deleteCardFiles : out_.privacy.maskIdNumber) = answer == 0;
      (deleteFiles ? out_.privacySet.deleteCardFiles : out_.privacySet.maskIdNumber) = true;
    }
    firstLine = number_;
  }

  // [照片]: a format, a folder (a full path, in double quotes or not) and a
  // name template (the rest of its line, as templates are).
  void PhotoLine(std::wstring_view name, std::wstring_view value) {
    const int setting = FindSetting(name, kPhotoNames);
    if (setting < 0) return Problem(Substitute(kIniUnknownName, {name, title_, kIniPhotoNames}));
    // A quoted value is taken whole, as in every other section.
    if (setting != kPhotoName) value = SettingValue(value);
    if (value.empty()) return Problem(kIniNoValue);
    int& firstLine = photoLines_[static_cast<std::size_t>(setting)];
    if (!FirstTime(firstLine, name)) return;
    PhotoSettings& photo = out_.photo;
    if (setting == kPhotoFormat) {
      const auto format = ParsePhotoFormat(value);
      if (!format) return Problem(Substitute(kIniBadPhotoFormat, {name}));
      photo.format = *format;
    } else if (setting == kPhotoFolder) {
      if (!IsFullPath(value)) return Problem(Substitute(kIniPhotoFolderNotFull, {name}));
      photo.folder = std::wstring(value);
    } else {
      ParsedTemplate parsed = ParseTemplate(value);
      if (parsed.error) return Problem(Substitute(kIniTemplateError, {parsed.error->what}));
      if (!NamesFileOnly(parsed.value)) return Problem(kIniPhotoNameNotText);
      photo.nameTemplate = std::move(parsed.value);
    }
    firstLine = number_;
  }

  // [核验]: three yes/no switches and an age.
  void ChecksLine(std::wstring_view name, std::wstring_view value) {
    const int setting = FindSetting(name, kCheckNames);
    if (setting < 0) return Problem(Substitute(kIniUnknownName, {name, title_, kIniChecksNames}));
    if (value.empty()) return Problem(kIniNoValue);
    int& firstLine = checkLines_[static_cast<std::size_t>(setting)];
    if (!FirstTime(firstLine, name)) return;
    CheckSettings& checks = out_.checks;
    CheckNamesSet& set = out_.checksSet;
    if (setting == kCheckUnderAge) {
      if (!Number(name, value, kMaxUnderAge, kIniUnitYears, checks.underAge)) return;
      set.underAge = true;
    } else {
      const int answer = FindSetting(value, kYesNoNames);
      if (answer < 0) return Problem(Substitute(kIniBadYesNo, {name}));
      const bool on = answer == 0;
      switch (setting) {
        case kCheckExpired:
          checks.expired = on;
          set.expired = true;
          break;
        case kCheckIdNumber:
          checks.idNumber = on;
          set.idNumber = true;
          break;
        default:
          checks.holdOnRead = on;
          set.holdOnRead = true;
          break;
      }
    }
    firstLine = number_;
  }

  // 共享设置 = a full path, in double quotes or not (see SettingValue).
  void SiteLine(std::wstring_view name, std::wstring_view value) {
    if (!NameIs(name, kSharedPathName)) {
      return Problem(Substitute(kIniUnknownName, {name, title_, kIniSiteNames}));
    }
    if (value.empty()) return Problem(kIniNoValue);
    if (!FirstTime(sharedPathLine_, name)) return;
    if (!IsFullPath(value)) return Problem(Substitute(kIniSharedPathNotFull, {name}));
    out_.sharedPath = std::wstring(value);
    sharedPathLine_ = number_;
  }

  SettingsContent& out_;
  SettingsOrigin origin_;
  int number_ = 0;
  std::wstring_view raw_;
  Section section_ = Section::kNone;
  std::wstring title_;    // the current section as written, for messages
  std::wstring program_;  // the current [程序:NAME], as kept
  // Line of the first use of each key, each setting per section (0: none).
  std::array<int, kTemplateKeyCount> templateLines_{};
  std::map<std::wstring, std::array<int, 3>> typingLines_;  // "" for [输入]
  std::map<std::wstring, int> onReadLines_;                 // "" for [模板]
  std::array<int, 3> privacyLines_{};
  std::array<int, 4> checkLines_{};
  std::array<int, 3> photoLines_{};
  int sharedPathLine_ = 0;
};

void Apply(const TypingOverrides& overrides, TypingSettings& settings) {
  if (overrides.mode) settings.mode = *overrides.mode;
  if (overrides.fieldDelayMs) settings.fieldDelayMs = *overrides.fieldDelayMs;
  if (overrides.charDelayMs) settings.charDelayMs = *overrides.charDelayMs;
}

// KeyEntry.ini (no file named) first, then by file and line.
bool ByLine(const SettingsProblem& a, const SettingsProblem& b) {
  return a.file != b.file ? a.file < b.file : a.line < b.line;
}

}  // namespace

const KeyTemplate* SettingsContent::FindTemplate(std::int16_t vkCode) const {
  for (const KeyTemplate& t : templates) {
    if (t.vkCode == vkCode) return &t;
  }
  return nullptr;
}

TypingSettings SettingsContent::TypingFor(std::wstring_view executable) const {
  const std::size_t slash = executable.find_last_of(L"\\/");
  if (slash != std::wstring_view::npos) executable.remove_prefix(slash + 1);
  TypingSettings settings;
  Apply(typing, settings);
  const auto program = programs.find(LowerAscii(executable));
  if (program != programs.end()) Apply(program->second, settings);
  return settings;
}

const Template* SettingsContent::OnReadFor(std::wstring_view executable) const {
  const std::size_t slash = executable.find_last_of(L"\\/");
  if (slash != std::wstring_view::npos) executable.remove_prefix(slash + 1);
  const auto program = programOnRead.find(LowerAscii(executable));
  const OnReadTemplate* found = program != programOnRead.end() ? &program->second
                                : onRead                       ? &*onRead
                                                               : nullptr;
  return found && found->enabled ? &found->parsed : nullptr;
}

bool SettingsContent::OnReadAnywhere() const {
  if (onRead && onRead->enabled) return true;
  for (const auto& [name, setting] : programOnRead) {
    if (setting.enabled) return true;
  }
  return false;
}

std::wstring DecodeSettingsText(std::string_view bytes, const TextCodec& fallback,
                                SettingsEncoding* used) {
  SettingsEncoding encoding = SettingsEncoding::kUtf8;
  std::wstring text;
  const auto startsWith = [&](std::string_view mark) {
    return bytes.substr(0, mark.size()) == mark;
  };
  if (startsWith("\xFF\xFE")) {
    encoding = SettingsEncoding::kUtf16Le;
    text = DecodeUtf16(bytes.substr(2), false);
  } else if (startsWith("\xFE\xFF")) {
    encoding = SettingsEncoding::kUtf16Be;
    text = DecodeUtf16(bytes.substr(2), true);
  } else {
    const bool mark = startsWith("\xEF\xBB\xBF");
    if (mark) bytes.remove_prefix(3);
    if (auto utf8 = DecodeUtf8Strict(bytes)) {
      encoding = mark ? SettingsEncoding::kUtf8WithBom : SettingsEncoding::kUtf8;
      text = std::move(*utf8);
    } else {
      encoding = SettingsEncoding::kFallback;
      text = fallback.ToWide(bytes);
    }
  }
  if (used) *used = encoding;
  return text;
}

SettingsContent ParseSettingsFile(std::string_view bytes, const TextCodec& fallback,
                                  SettingsOrigin origin) {
  SettingsContent content;
  const std::wstring text = DecodeSettingsText(bytes, fallback, &content.encoding);
  Parser parser(content, origin);
  int number = 0;
  for (const std::wstring_view line : SplitLines(text)) parser.Line(++number, line);
  return content;
}

std::int16_t TemplateKeyToCode(std::wstring_view name) {
  if (name.size() < 2 || name.size() > 3 || (name[0] != L'F' && name[0] != L'f')) return 0;
  if (name[1] == L'0') return 0;  // "F0", "F01"
  int number = 0;
  if (!ParseDecimal(name.substr(1), number) || number < 1 || number > kTemplateKeyCount) return 0;
  return static_cast<std::int16_t>(kVkF1 + number - 1);
}

void DropTemplatesOnFieldKeys(SettingsContent& settings, const HotKeyTable& fieldKeys) {
  auto& templates = settings.templates;
  for (auto it = templates.begin(); it != templates.end();) {
    int field = 0;
    while (field < kCardFieldCount &&
           KeyNameToCode(fieldKeys[static_cast<std::size_t>(field)]) != it->vkCode) {
      ++field;
    }
    if (field == kCardFieldCount) {
      ++it;
      continue;
    }
    settings.problems.push_back(SettingsProblem{
        it->line, it->lineText,
        Substitute(kIniKeyIsFields, {KeyName(it->keyNumber), FieldPlaceholderName(field)}),
        it->file});
    it = templates.erase(it);
  }
  std::stable_sort(settings.problems.begin(), settings.problems.end(), ByLine);
}

std::wstring FormatSettingsReport(const std::vector<SettingsProblem>& problems,
                                  std::size_t maxListed) {
  std::vector<SettingsProblem> sorted = problems;
  std::stable_sort(sorted.begin(), sorted.end(), ByLine);
  sorted.erase(std::unique(sorted.begin(), sorted.end(),
                           [](const SettingsProblem& a, const SettingsProblem& b) {
                             return a.file == b.file && a.line == b.line && a.what == b.what;
                           }),
               sorted.end());

  std::wstring text;
  for (auto first = sorted.begin(); first != sorted.end();) {
    const auto end = std::find_if(first, sorted.end(),
                                  [&](const SettingsProblem& p) { return p.file != first->file; });
    const bool local = first->file.empty();
    const std::wstring file = local ? std::wstring(kSettingsFileName) : first->file;
    const auto count = static_cast<std::size_t>(end - first);
    if (!text.empty()) text += L"\n\n";
    text += Substitute(kIniReportHeader, {file, std::to_wstring(count)});
    text += L"\n";
    const std::size_t listed = std::min(count, maxListed);
    for (auto p = first; p != first + static_cast<std::ptrdiff_t>(listed); ++p) {
      text += L"\n";
      text += Substitute(kIniReportLine, {std::to_wstring(p->line), DisplayedLine(p->lineText)});
      text += L"\n";
      text += Substitute(kIniReportWhat, {p->what});
      text += L"\n";
    }
    if (count > listed) {
      text += L"\n";
      text += Substitute(kIniReportMore, {std::to_wstring(count - listed)});
      text += L"\n";
    }
    text += L"\n";
    text += local ? Substitute(kIniReportFooter, {kSettingsFileName}) : kIniReportSharedFooter;
    first = end;
  }
  return text;
}

}  // namespace keyentry
