// KeyEntry.ini while the program runs: loaded again when it changes on disk
// (and only then), the program's items of the main window's system menu, and
// the commented example that "编辑模板" writes for a missing file.
#include <gtest/gtest.h>

#include "Harness.h"
#include "core/SettingsFile.h"
#include "ui/res/resource.h"

namespace keyentry::wintest {
namespace {

constexpr const wchar_t* kWhole = L"990101198803150027";
constexpr const wchar_t* kMasked = L"990101********0027";
const std::string kBom = "\xEF\xBB\xBF";

std::string Utf8(const std::wstring& text) { return ToCodePage(text, CP_UTF8); }

const std::string kMaskOn = kBom + Utf8(L"[隐私]\r\n身份证号遮挡 = 是\r\n");
const std::string kMaskOff = kBom + Utf8(L"[隐私]\r\n身份证号遮挡 = 否\r\n");

class SettingsFile : public ::testing::Test {
 protected:
  Sandbox box;
  std::unique_ptr<Program> program;

  void SetUp() override {
    ASSERT_EQ(::GetACP(), 936u) << "run with LC_ALL=zh_CN.UTF-8 so the ANSI code page is 936";
    box.Write(L"SetKey.txt", kKeyFileF1ToF8);
    box.MakeCard("test", kShortCard);
    box.AttachReader("1001");
  }
  void StartWithCard() {
    box.PlaceCard("test");
    program = std::make_unique<Program>(box);
    ASSERT_TRUE(program->WaitForMainWindow());
    ASSERT_TRUE(WaitFor([&] { return program->Text(IDC_VALUE_NAME) == L"欧阳明月"; }, 3000));
  }
  std::wstring IdLabel() const { return program->Text(IDC_VALUE_ID_NUMBER); }
  // A command of the system menu, as a click on it sends it; true when the
  // window took it within the time (a message box it opens may hold it).
  bool SystemCommand(WPARAM id, DWORD timeoutMs = 5000) const {
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutW(program->MainWindow(), WM_SYSCOMMAND, id, 0, SMTO_NORMAL,
                                 timeoutMs, &result) != 0;
  }
  // A file written whole under a scratch name and renamed into place, as
  // many editors save.
  void SaveThroughScratch(const std::wstring& name, const std::string& bytes) const {
    box.Write(L"ini.tmp", bytes);
    ASSERT_TRUE(::MoveFileExW(box.Path(L"ini.tmp").c_str(), box.Path(name).c_str(),
                              MOVEFILE_REPLACE_EXISTING));
  }
};

TEST_F(SettingsFile, AChangedFileTakesEffectWithoutARestartAndOtherFilesLoadNothing) {
  StartWithCard();
  EXPECT_EQ(IdLabel(), kWhole);
  // Created while the program runs.
  box.Write(L"KeyEntry.ini", kMaskOn);
  EXPECT_TRUE(WaitFor([&] { return IdLabel() == kMasked; }, 2000));
  // Changed again, through a scratch file and another case of the name.
  SaveThroughScratch(L"keyentry.INI", kMaskOff);
  EXPECT_TRUE(WaitFor([&] { return IdLabel() == kWhole; }, 2000));
  // A broken line is reported once for the change.
  box.Write(L"KeyEntry.ini", kMaskOn + Utf8(L"遮挡 = 是\r\n"));
  ASSERT_TRUE(WaitFor([&] { return program->AnswerMessageBoxes() > 0; }, 3000));
  ASSERT_EQ(program->Messages().size(), 1u);
  EXPECT_NE(program->Messages()[0].find(L"第 3 行：遮挡 = 是"), std::wstring::npos);
  EXPECT_EQ(IdLabel(), kMasked) << "the rest of the file applies";
  // The card files (read three times a second), the key file and other files
  // of the folder change often: none of them loads the settings again.
  box.Write(L"SetKey.txt", kKeyFileF1ToF8);
  box.Write(L"notes.txt", "x");
  PumpMessagesFor(1500);
  program->AnswerMessageBoxes();
  EXPECT_EQ(program->Messages().size(), 1u);
  // Removed, it means no settings, silently.
  box.Remove(L"KeyEntry.ini");
  EXPECT_TRUE(WaitFor([&] { return IdLabel() == kWhole; }, 4000));
  PumpMessagesFor(300);
  program->AnswerMessageBoxes();
  EXPECT_EQ(program->Messages().size(), 1u);
}

TEST_F(SettingsFile, ReloadItemOfTheSystemMenuLoadsTheFileAtOnceAndReportsItsProblems) {
  StartWithCard();
  box.Write(L"KeyEntry.ini", kMaskOn);
  // Taken by the menu command before the change notice's quiet time is over.
  ASSERT_TRUE(SystemCommand(IDM_RELOAD_SETTINGS));
  EXPECT_EQ(IdLabel(), kMasked);
  PumpMessagesFor(800);
  box.Write(L"KeyEntry.ini", kMaskOff + Utf8(L"[模板]\r\nF9 = {姓名\r\n"));
  // The report's message box holds the command until it is answered.
  SystemCommand(IDM_RELOAD_SETTINGS, 300);
  ASSERT_TRUE(WaitFor([&] { return program->AnswerMessageBoxes() > 0; }, 3000));
  EXPECT_TRUE(program->MessageBoxesWellFormed());
  EXPECT_NE(program->Messages()[0].find(L"第 4 行：F9 = {姓名"), std::wstring::npos);
  EXPECT_EQ(IdLabel(), kWhole);
  // The system's own commands still work: closing ends the program as the
  // close box does. (Wine's message box gives the window back a moment
  // after it is answered.)
  ASSERT_TRUE(WaitFor([&] { return ::IsWindowEnabled(program->MainWindow()) != FALSE; }, 5000));
  SystemCommand(SC_CLOSE, 300);
  EXPECT_TRUE(program->WaitForExit());
  EXPECT_EQ(program->Messages().size(), 1u);
}

TEST_F(SettingsFile, SystemMenuEndsWithTheProgramsItemsBelowASeparator) {
  const ScopedEnvironment seams(L"KEYENTRY_TEST_SEAMS", L"1");
  StartWithCard();
  const auto items = SystemMenuItems(program->MainWindow());
  ASSERT_GE(items.size(), 6u);
  const std::size_t n = items.size();
  // The system's items come first (Wine adds one of its own).
  std::size_t close = 0;
  while (close < n && items[close].first != SC_CLOSE) ++close;
  EXPECT_LT(close, n - 5);
  const std::vector<std::pair<UINT, std::wstring>> ours(items.end() - 5, items.end());
  const std::vector<std::pair<UINT, std::wstring>> expected = {
      {0x0000, L""},      {0x0400, L"编辑模板 (KeyEntry.ini)"}, {0x0410, L"重新载入模板"},
      {0x0420, L"自检…"}, {0x0430, L"开机时自动运行"},
  };
  EXPECT_EQ(ours, expected);
}

BOOL CALLBACK CollectNotepad(HWND window, LPARAM found) {
  wchar_t name[32] = {};
  ::GetClassNameW(window, name, 32);
  if (std::wstring(name) == L"Notepad" && ::IsWindowVisible(window))
    reinterpret_cast<std::vector<HWND>*>(found)->push_back(window);
  return TRUE;
}

// The top-level Notepad windows of other processes.
std::vector<HWND> NotepadWindows() {
  std::vector<HWND> found;
  ::EnumWindows(&CollectNotepad, reinterpret_cast<LPARAM>(&found));
  return found;
}

// Closes a Notepad window; its process is ended if it does not go.
void CloseNotepad(HWND window) {
  DWORD pid = 0;
  ::GetWindowThreadProcessId(window, &pid);
  ::PostMessageW(window, WM_CLOSE, 0, 0);
  if (WaitFor([window] { return !::IsWindow(window); }, 5000)) return;
  HANDLE process = ::OpenProcess(PROCESS_TERMINATE, FALSE, pid);
  if (process) {
    ::TerminateProcess(process, 1);
    ::CloseHandle(process);
  }
}

TEST_F(SettingsFile, EditItemCreatesTheCommentedExampleAndOpensItInNotepad) {
  StartWithCard();
  ASSERT_FALSE(box.Read(L"KeyEntry.ini").has_value());
  ASSERT_TRUE(NotepadWindows().empty());
  ASSERT_TRUE(SystemCommand(IDM_EDIT_SETTINGS));
  HWND notepad = nullptr;
  EXPECT_TRUE(WaitFor(
      [&] {
        const auto windows = NotepadWindows();
        notepad = windows.empty() ? nullptr : windows[0];
        return notepad != nullptr;
      },
      15000))
      << "Notepad did not open";
  const std::wstring title = notepad ? program->Text(notepad) : L"";
  if (notepad) CloseNotepad(notepad);
  EXPECT_NE(title.find(L"KeyEntry"), std::wstring::npos);

  // The example from the program's resources, byte for byte.
  const std::optional<std::string> written = box.Read(L"KeyEntry.ini");
  ASSERT_TRUE(written.has_value());
  const std::optional<std::string> example =
      Win32FileStore().ReadAll(ProgramFolder() + L"\\..\\KeyEntry.example.ini");
  ASSERT_TRUE(example.has_value());
  EXPECT_EQ(*written, *example);
  EXPECT_EQ(written->substr(0, 3), kBom);
  EXPECT_EQ(written->find("\n;"), written->find("\r\n;") + 1) << "lines end in CR LF";
  CodePage936 cp936;
  const SettingsContent content = ParseSettingsFile(*written, cp936);
  EXPECT_TRUE(content.problems.empty());
  EXPECT_TRUE(content.templates.empty());
  // Loaded after it was written: no report, nothing changed.
  PumpMessagesFor(1000);
  program->AnswerMessageBoxes();
  EXPECT_TRUE(program->Messages().empty());
  EXPECT_EQ(IdLabel(), kWhole);

  // An existing file is opened as it is.
  box.Write(L"KeyEntry.ini", kMaskOn);
  ASSERT_TRUE(WaitFor([&] { return IdLabel() == kMasked; }, 2000));
  ASSERT_TRUE(SystemCommand(IDM_EDIT_SETTINGS));
  EXPECT_TRUE(WaitFor([&] { return !NotepadWindows().empty(); }, 15000));
  for (HWND w : NotepadWindows()) CloseNotepad(w);
  EXPECT_EQ(box.Read(L"KeyEntry.ini"), kMaskOn);
}

}  // namespace
}  // namespace keyentry::wintest
