#pragma once
// The optional settings file KeyEntry.ini beside the program: templates for
// keys F1..F24, how text is typed (for all programs and per program), and
// privacy settings. Every name has a Chinese form and an English alias:
//
//   [模板] / [Templates]       F1 .. F24 = template (see core/Template.h)
//                              读卡后 / OnRead = template typed by itself when
//                                a new card is read (empty: never)
//   [输入] / [Typing]          字段间隔 / FieldDelayMs   0..2000 (pause after
//                                each {Tab}, {Shift+Tab}, {Enter})
//                              方式 / Mode  字符|按键|粘贴 (unicode|keys|paste)
//                              字符间隔 / CharDelayMs    0..50
//   [程序:NAME] / [App:NAME]   the settings of [输入] for one program (by its
//                                executable name); unset ones come from [输入];
//                                and 读卡后 / OnRead for that program instead of
//                                the one of [模板] (empty: never in this program)
//   [隐私] / [Privacy]         清除秒数 / ClearAfterSeconds  0..86400 (0 = never)
//                              读后删除卡片文件 / DeleteCardFiles  是|否 (yes|no)
//                              身份证号遮挡 / MaskIdNumber         是|否 (yes|no)
//   [站点] / [Site]            共享设置 / SharedSettings = the full path of a
//                                settings file shared by the site's PCs (UNC
//                                or a drive letter); only in the local file
//                                (see core/SharedSettings.h)
//   [照片] / [Photo]           格式 / Format   jpg|png|bmp (for {照片文件})
//                              文件夹 / Folder  the full path of the folder the
//                                files go to (default: the operator's own)
//                              文件名 / FileName  a template of card values
//                                (see core/PhotoFiles.h), default {身份证号}
//   [核验] / [Checks]          过期 / Expired              是|否 (yes|no)
//                              未满 / UnderAge             0..150 (0 = off)
//                              号码 / IdNumber             是|否 (yes|no)
//                              提醒时不自动录入 / HoldOnReadWhenWarned 是|否
//                                (see core/CardChecks.h)
//
// Text: UTF-8 with or without a byte order mark; UTF-16 with a byte order
// mark; anything else is read in the fallback code page (936). Lines end in
// CR LF, LF or CR. Names, section names and the words of values are matched
// without regard to ASCII case; blanks (space, tab, U+3000) around "=" and at
// the ends of a line do not count. Lines starting with ";" or "#" are
// comments. After a section header, and after a number, a mode, a yes/no or
// a path, ";" or "#" after a blank starts a comment; a template takes the
// rest of its line. Such a value in double quotes is taken whole, ";" and
// "#" included, and the quotes are removed (a comment may follow the closing
// quote after a blank). A line that is wrong is reported and left out; the rest still applies.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/CardChecks.h"
#include "core/CardField.h"
#include "core/PhotoFiles.h"
#include "core/Template.h"
#include "core/TextCodec.h"

namespace keyentry {

inline constexpr const wchar_t* kSettingsFileName = L"KeyEntry.ini";
// The last good copy of the site's shared settings file, beside the program.
inline constexpr const wchar_t* kSharedCopyFileName = L"KeyEntry.shared.ini";
// Template keys are F1..F24; the virtual-key codes of F1..F24 are consecutive.
constexpr int kTemplateKeyCount = 24;

enum class TypingMode { kUnicode, kKeys, kPaste };

// How text is typed into one program.
struct TypingSettings {
  TypingMode mode = TypingMode::kUnicode;
  int fieldDelayMs = 0;  // pause after each key step of a template
  int charDelayMs = 0;   // pause after each character
};
inline bool operator==(const TypingSettings& a, const TypingSettings& b) {
  return a.mode == b.mode && a.fieldDelayMs == b.fieldDelayMs && a.charDelayMs == b.charDelayMs;
}

// The typing settings one section sets; the others come from elsewhere.
struct TypingOverrides {
  std::optional<TypingMode> mode;
  std::optional<int> fieldDelayMs;
  std::optional<int> charDelayMs;
};

struct PrivacySettings {
  int clearAfterSeconds = 0;  // 0: never clear
  bool deleteCardFiles = false;
  bool maskIdNumber = false;
};

// Which names of [隐私] a file sets (the others keep their defaults there).
struct PrivacyNamesSet {
  bool clearAfterSeconds = false;
  bool deleteCardFiles = false;
  bool maskIdNumber = false;
};

struct KeyTemplate {
  int keyNumber = 0;        // 1..24 for F1..F24
  std::int16_t vkCode = 0;  // its virtual-key code (F1 = 112 .. F24 = 135)
  Template parsed;
  int line = 0;           // where it is defined, 1-based
  std::wstring lineText;  // that line as it stands
  std::wstring file;      // as SettingsProblem::file
};

// What is typed by itself when a new card is read (读卡后): a template, or
// nothing (an empty value, or one that is only a comment starting with ";"
// or "#", switches typing on read off).
struct OnReadTemplate {
  bool enabled = false;
  Template parsed;  // when enabled
  int line = 0;     // where it is set, 1-based
  std::wstring lineText;
};

// A line of the file that is not used, and why.
struct SettingsProblem {
  int line = 0;           // 1-based
  std::wstring lineText;  // the line as it stands, without its line end
  std::wstring what;      // in Chinese, for the operator
  // The file it lies in: empty for KeyEntry.ini beside the program, else the
  // full path of the site's shared settings file.
  std::wstring file;
};

// Which file is read: the local KeyEntry.ini may name a shared file in
// [站点]; in the shared file that section is reported and left out.
enum class SettingsOrigin { kLocal, kShared };

enum class SettingsEncoding { kUtf8, kUtf8WithBom, kUtf16Le, kUtf16Be, kFallback };

struct SettingsContent {
  std::vector<KeyTemplate> templates;  // in file order, at most one per key
  TypingOverrides typing;              // [输入]
  // [程序:NAME], keyed by NAME in lower case (".exe" added to a name
  // without any dot).
  std::map<std::wstring, TypingOverrides> programs;
  std::optional<OnReadTemplate> onRead;                  // 读卡后 of [模板]
  std::map<std::wstring, OnReadTemplate> programOnRead;  // 读卡后 of [程序:NAME], keyed as programs
  PrivacySettings privacy;
  PrivacyNamesSet privacySet;  // which of them the file sets
  // 共享设置 of [站点]: the full path of the site's shared settings file, as
  // written (empty: none).
  std::wstring sharedPath;
  PhotoSettings photo;                    // [照片]
  CheckSettings checks;                   // [核验]
  CheckNamesSet checksSet;                // which of them the file sets
  std::vector<SettingsProblem> problems;  // in line order
  SettingsEncoding encoding = SettingsEncoding::kUtf8;

  // The template of the key with this virtual-key code, or nullptr.
  const KeyTemplate* FindTemplate(std::int16_t vkCode) const;
  // The settings for the program with this executable name (a full path
  // works too; case does not matter): [程序:NAME] over [输入] over defaults.
  TypingSettings TypingFor(std::wstring_view executable) const;
  // The template typed on a card read while this program has the focus:
  // its [程序:NAME] 读卡后 over that of [模板]; nullptr when it is off.
  const Template* OnReadFor(std::wstring_view executable) const;
  // Whether any program gets typing on read.
  bool OnReadAnywhere() const;
  // Whether the typing or the typing on read depends on the program.
  bool HasProgramSections() const { return !programs.empty() || !programOnRead.empty(); }
};

// The text of the file: a UTF-8 or UTF-16 byte order mark is dropped.
// Without a UTF-16 mark the bytes (after a UTF-8 mark, if any) are taken as
// UTF-8 when they are valid UTF-8 throughout, and else decoded by fallback.
std::wstring DecodeSettingsText(std::string_view bytes, const TextCodec& fallback,
                                SettingsEncoding* used = nullptr);

// Reads the whole file; a missing file is the same as an empty one.
SettingsContent ParseSettingsFile(std::string_view bytes, const TextCodec& fallback,
                                  SettingsOrigin origin = SettingsOrigin::kLocal);

// "F1".."F24" in any case give their virtual-key codes 112..135; anything
// else gives 0.
std::int16_t TemplateKeyToCode(std::wstring_view name);

// A key that SetKey.txt assigns to a card field stays that field's: each
// template on such a key is removed and reported as a problem. Field key
// names are read as the keyboard hook reads them (KeyNameToCode).
void DropTemplatesOnFieldKeys(SettingsContent& settings, const HotKeyTable& fieldKeys);

// The text of one message box that lists each problem once, in line order,
// with the file name, line number, the line and what is wrong; at most
// maxListed of them, then how many more there are. Empty without problems.
// The problems of KeyEntry.ini come first, then those of the shared file
// under its full path, each file with its own heading and closing line.
constexpr std::size_t kReportMaxProblems = 10;
std::wstring FormatSettingsReport(const std::vector<SettingsProblem>& problems,
                                  std::size_t maxListed = kReportMaxProblems);

}  // namespace keyentry
