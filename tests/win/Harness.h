#pragma once
// Drives the real program in a folder of its own: its files, its windows,
// its message boxes, and key presses into a window of this test process.
#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/MessagePump.h"
#include "platform/Win32FileStore.h"
#include "platform/Win32Text.h"
#include "tests/support/KeyFiles.h"

// The folder of this test executable, where the built program lies, is
// ProgramFolder(); whole files are read with Win32FileStore, and messages
// served with PumpMessagesFor(), all of the platform library.
namespace keyentry::wintest {

using test::kKeyFileF1ToF8;

std::string ToCodePage(const std::wstring& text, UINT codePage = 936);
std::wstring FromCodePage(const std::string& bytes, UINT codePage = 936);

// A whole file written by path, and removal of a folder with all it holds.
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
void RemoveTree(const std::wstring& folder);

// Serves this thread's messages until pred() holds or the time is up.
bool WaitFor(const std::function<bool()>& pred, DWORD timeoutMs);

// How often `what` stands in `text` (e.g. a call in the simulated reader's
// calls.log).
int Count(const std::string& text, const std::string& what);

// How many reader helpers (KeyEntryReader.exe) the process pid has running.
int ReaderHelpersOf(DWORD pid);

// A fresh program folder holding KeyEntry.exe, SendStr.dll, the simulated
// ostra.dll and the demo cards; removed again at the end. Its path has at
// least minimumLength characters (subfolders are added as needed).
class Sandbox {
 public:
  explicit Sandbox(std::size_t minimumLength = 0);
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  const std::wstring& Folder() const { return folder_; }
  std::wstring Path(const std::wstring& name) const { return folder_ + L"\\" + name; }
  void Write(const std::wstring& name, const std::string& bytes) const;
  std::optional<std::string> Read(const std::wstring& name) const;
  void Remove(const std::wstring& name) const;
  std::vector<std::wstring> FileNames() const;  // plain files of the folder

  // The simulated reader: attached at these ports, with this card on it.
  void AttachReader(const std::string& ports = "1001") const;
  void PlaceCard(const std::string& cardName) const;
  void RemoveCard() const;
  // A card of this text (eight lines, written in code page 936) and the demo photo.
  void MakeCard(const std::string& cardName, const std::vector<std::wstring>& lines) const;
  std::string ReaderCalls() const;
  // A card whose photo is a plain bitmap of the given size and colour.
  void MakeCardWithPhoto(const std::string& cardName, const std::vector<std::wstring>& lines,
                         int width, int height, COLORREF colour) const;

 private:
  std::wstring root_;    // what is removed at the end
  std::wstring folder_;  // the program's folder, root_ or a folder within it
};

// The eight fields of a card with short texts and nothing to trim, for
// tests that need a card but not its length or padding.
inline const std::vector<std::wstring> kShortCard = {L"欧阳明月", L"女",
                                                     L"汉",       L"19880315",
                                                     L"江南省",   L"990101198803150027",
                                                     L"临水市",   L"2016.03.15-2036.03.15"};

// One run of KeyEntry.exe from a sandbox.
class Program {
 public:
  // Started in currentFolder, or when that is empty in the folder of this
  // test executable: never in the program's own folder. exeName: a copy of
  // the program under another name in the sandbox.
  explicit Program(const Sandbox& sandbox, const std::wstring& currentFolder = L"",
                   const std::wstring& exeName = L"KeyEntry.exe");
  // A program installed elsewhere (by the installation package), by its
  // full path, started in the folder of this test executable.
  explicit Program(const std::wstring& exePath);
  ~Program();  // ends the process if a test left it running
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // Waits for the main window, answering start-up message boxes meanwhile.
  HWND WaitForMainWindow(DWORD timeoutMs = 20000);
  HWND MainWindow() const { return main_; }
  HWND FindTopLevel(const wchar_t* className) const;
  std::wstring Text(int controlId) const;
  std::wstring Text(HWND window) const;
  // A real left click in the middle of a control of the main window, which
  // is brought to the front first.
  void Click(int controlId);
  void Close();  // as through the close box
  bool WaitForExit(DWORD timeoutMs = 20000);
  bool Running() const;
  DWORD Pid() const { return pi_.dwProcessId; }
  // The exit code once the process has ended (STILL_ACTIVE before).
  DWORD ExitCode() const;

  // The hidden message-only window of the program's hook thread (null while
  // there is none), and the answer to the registered message of one of its
  // test seams (the program runs with KEYENTRY_TEST_SEAMS=1); -1 without an
  // answer.
  HWND HookWindow() const;
  LRESULT AskHookSeam(const wchar_t* messageName) const;

  // Message boxes seen (and answered with OK) so far, by their text.
  const std::vector<std::wstring>& Messages() const { return messages_; }
  // Answers any open message box; returns how many were answered.
  int AnswerMessageBoxes();
  // Whether every message box seen had the program's title, OK only, no icon.
  bool MessageBoxesWellFormed() const { return wellFormed_; }

 private:
  PROCESS_INFORMATION pi_{};
  HWND main_ = nullptr;
  std::vector<std::wstring> messages_;
  bool wellFormed_ = true;
};

// A window of this test process with an edit control that takes typing.
class TargetEdit {
 public:
  TargetEdit();
  ~TargetEdit();
  void Focus();
  std::wstring Text() const;
  void Clear();
  HWND Edit() const { return edit_; }
  // Waits until the edit holds exactly this text.
  bool WaitForText(const std::wstring& expected, DWORD timeoutMs = 5000);
  // Virtual-key codes of the key-downs the edit control received.
  const std::vector<WPARAM>& KeyDowns() const;
  void ClearKeyDowns();

 private:
  HWND frame_ = nullptr;
  HWND edit_ = nullptr;
};

// Committed memory of another process that is not program code (heap,
// bitmaps, stacks), read from its address space: the system's own
// per-process counters are not reported for another process everywhere.
SIZE_T CommittedMemory(HANDLE process);

// A real click of the left mouse button in the middle of a window, after its
// top-level window has been brought to the front and the window is the one
// at that point (each waited for up to 2 s).
void ClickWithMouse(HWND window);

// The items of the main window's system menu as (command id, text), a
// separator as (0, ""), through the program's test seam
// KeyEntry.Test.SystemMenuItem (start it with KEYENTRY_TEST_SEAMS=1):
// another process cannot read a menu under Wine.
std::vector<std::pair<UINT, std::wstring>> SystemMenuItems(HWND main);
// The state (MFS_CHECKED, ...) of the item with this command id; nothing
// when there is none.
std::optional<UINT> SystemMenuItemState(HWND main, UINT id);

// Sets an environment variable of this process (and so of the programs it
// starts) for the life of the object.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const wchar_t* name, const wchar_t* value);
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::wstring name_;
  std::optional<std::wstring> old_;
};

// Injects a key press (down and up), optionally with modifiers held.
void PressKey(WORD vk, const std::vector<WORD>& modifiers = {});
// Injects the characters as Unicode key events, each down and up.
void TypeText(const std::wstring& text);
// Injects one key event.
void SendKey(WORD vk, bool up);
bool KeyDown(WORD vk);

// Injects a left click at a point of the screen: the mouse moves there, then
// the button goes down and up.
void ClickAt(POINT screenPoint);
// The same in two halves: the mouse moves there and the button goes down; up.
void PressMouseAt(POINT screenPoint);
void ReleaseMouse();
// The centre of a window, in screen coordinates.
POINT CentreOf(HWND window);

}  // namespace keyentry::wintest
