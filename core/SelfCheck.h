#pragma once
// The self-check (自检): what the program finds about itself on the PC it
// runs on, as status lines built from a plain set of facts, a preview of
// what a template would type, and the check that a typed text arrived in a
// box exactly. The window only gathers the facts and shows the lines; the
// report copies them. A new line is a new member of SelfCheckFacts and one
// more line in SelfCheckLines.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/CardField.h"
#include "core/FolderAccess.h"
#include "core/SettingsFile.h"
#include "core/SharedSettings.h"
#include "core/Template.h"

namespace keyentry {

// What became of loading one of the outside libraries.
struct LibraryFacts {
  enum class State {
    kNotTried,          // nothing has asked for it yet
    kLoaded,            // path: where it was loaded from
    kNotFound,          // path: where it was looked for
    kLoadFailed,        // path: the file; error: the system's error number
    kMissingFunctions,  // path: the file; missing: the functions it lacks
  };
  State state = State::kNotTried;
  std::wstring path;
  std::uint32_t error = 0;
  std::vector<std::wstring> missing;
};

struct HookFacts {
  bool installed = false;
  // Milliseconds since the hook last saw a key; nothing before the first.
  std::optional<std::uint32_t> msSinceKey;
  unsigned renewals = 0;  // new hooks put in place of the first one
};

// The reader's helper process KeyEntryReader.exe.
struct ReaderProcessFacts {
  bool running = false;
  unsigned restarts = 0;    // fresh helpers after a crash or a missed deadline
  std::wstring lastReason;  // of the last failure, in words; empty: none
};

// The folder {照片文件} writes to, and the photo files now in it.
struct PhotoFolderFacts {
  std::wstring folder;
  std::size_t files = 0;
};

// The program's state, as the self-check shows it.
struct SelfCheckFacts {
  std::wstring version;
  std::wstring folder;
  bool folderWritable = false;
  LibraryFacts reader;
  bool connected = false;
  std::wstring port;  // when connected
  bool readingOn = false;
  HookFacts hook;
  LibraryFacts sendStr;
  bool settingsFound = false;                 // KeyEntry.ini was there at the last load
  const SettingsContent* settings = nullptr;  // loaded last; null: the defaults
  // The executable name of the program that had the focus before the
  // self-check; empty when it could not be found out, nothing when none.
  std::optional<std::wstring> program;
  // The site's shared settings file, when KeyEntry.ini names one (a tenth
  // line then), and the time now (Unix seconds) for the ages it shows.
  const SharedSettingsStatus* shared = nullptr;
  std::int64_t now = 0;
  // The reader's helper (a line then), where the library runs in one.
  std::optional<ReaderProcessFacts> readerProcess;
  // Who besides SYSTEM and the administrators may change the program folder
  // (WhoCanChange of its access list), when the self-check could read it: a
  // last line then; nothing: not read.
  std::optional<std::vector<OpenAccess>> folderOpenTo;
  bool folderAccessRead = true;  // false: the access list could not be read
  // The photo folder, where it exists (a line before the shared file's then).
  std::optional<PhotoFolderFacts> photos;
};

// One line per item, each starting with its label (kCheckVersion, ...), in
// this order: version, folder, reader library, port, hook, SendStr.dll,
// KeyEntry.ini, typing, privacy; where any check of [核验] is on, the checks
// switched on; where the photo folder exists, it and its photo files;
// where KeyEntry.ini names a shared settings file, that file; where the
// library runs in a helper process, that process; and where the program
// folder's access list was looked at, who may change it. No line
// holds card data.
std::vector<std::wstring> SelfCheckLines(const SelfCheckFacts& facts);

// The name of a typing mode (字符, 按键, 粘贴).
const wchar_t* ModeName(TypingMode mode);

// Steps as one line: text as it is, {Tab} as ⇥, {Shift+Tab} as ⇤, {Enter}
// as ↵, the other keys by their symbols (↑ ↓ ← → ⇱ ⇲ ␣ ⎋ ⌫ ⌦ ⌃A), a pause as
// ⏱ and its milliseconds (⏱200).
std::wstring RenderSteps(const std::vector<TypingStep>& steps);
// The text the steps type into a single box: their text steps one after the
// other; nothing when they press a key, which a box cannot hold.
std::optional<std::wstring> BoxTextOf(const std::vector<TypingStep>& steps);

// An entry of the template preview: a key's template (F1..F24), the 读卡后 of
// [模板] (keyNumber 0, no program), or the 读卡后 of one [程序:NAME].
struct PreviewItem {
  int keyNumber = 0;
  std::wstring program;
  bool operator==(const PreviewItem& other) const {
    return keyNumber == other.keyNumber && program == other.program;
  }
};
std::vector<PreviewItem> PreviewItems(const SettingsContent& settings);
std::wstring PreviewLabel(const PreviewItem& item);
// What the item would type, rendered: with the card when it holds any
// field, else with the sample card, marked as such. The ID number is masked
// as the main window masks it. Empty when the item is gone from the settings.
std::wstring PreviewText(const SettingsContent& settings, const PreviewItem& item,
                         const CardFieldValues& card, const Date& today, int fieldDelayMs);

// The report for the technician: title, the status lines, then each typing
// test's caption and result. Lines end in CR LF.
std::wstring SelfCheckReport(const std::vector<std::wstring>& lines,
                             const std::vector<std::pair<std::wstring, std::wstring>>& tests);

// How long a check waits for what the steps type: kArrivalWaitMs, plus
// their pauses and character delays.
constexpr std::uint32_t kArrivalWaitMs = 3000;
std::uint32_t ArrivalWaitMs(const std::vector<TypingStep>& steps, const TypingSettings& settings);

// Whether a text typed into a box arrived exactly: the box must come to hold
// what it held before with the text inserted at one place within waitMs,
// and keep that for kSettleMs (so that a doubled text is caught too).
class ArrivalCheck {
 public:
  enum class State { kWaiting, kPassed, kFailed };
  static constexpr std::uint32_t kSettleMs = 300;

  ArrivalCheck(std::wstring before, std::wstring expected, std::uint64_t startMs,
               std::uint32_t waitMs);
  ~ArrivalCheck();
  ArrivalCheck(const ArrivalCheck&) = delete;
  ArrivalCheck& operator=(const ArrivalCheck&) = delete;

  // The box's text now; the state from now on.
  State Update(const std::wstring& box, std::uint64_t nowMs);
  // What arrived by the last update: the box without what it had in common
  // with the text before, at its start and its end.
  const std::wstring& Arrived() const { return arrived_; }

 private:
  std::wstring before_;
  std::wstring expected_;
  std::wstring arrived_;
  std::uint64_t startMs_;
  std::uint32_t waitMs_;
  std::optional<std::uint64_t> rightSince_;
  State state_ = State::kWaiting;
};

}  // namespace keyentry
