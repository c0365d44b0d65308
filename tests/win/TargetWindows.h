#pragma once
// Windows of the test process that the program types into, shared by the
// typing tests: a form whose Tab and Enter keys move the focus and submit,
// and a window like a remote-desktop client that takes only real key
// presses. And the clipboard as another program sees it.
#include <windows.h>

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include "Harness.h"

namespace keyentry::wintest {

// Brings the window to the front and gives the focus to `focus` (a window
// of this thread); true once it is the foreground window (3 s at most).
bool BringForward(HWND window, HWND focus);

// Three boxes. Tab moves the focus on (Shift+Tab back), after focusDelayMs
// when that is above 0; Enter submits: it records the three texts.
class FormWindow {
 public:
  explicit FormWindow(UINT focusDelayMs = 0);
  ~FormWindow();
  FormWindow(const FormWindow&) = delete;
  FormWindow& operator=(const FormWindow&) = delete;
  bool Focus();
  HWND Frame() const { return frame_; }
  std::vector<std::wstring> Texts() const;
  void Clear();
  std::vector<std::vector<std::wstring>> submitted;

 private:
  static LRESULT CALLBACK BoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  UINT delayMs_;
  HWND frame_ = nullptr;
  HWND boxes_[3] = {};
  WNDPROC editProc_ = nullptr;
};

// Like a remote-desktop client: takes no characters at all, only key-downs,
// which it turns into text with its own keyboard state; Unicode events
// (VK_PACKET) are dropped, and Ctrl+V pastes the clipboard's text. Its
// caption tells how many of each it got: "keys K packets P pastes V|text".
// ignoreCtrlV: Ctrl+V does nothing (a program that never takes the text).
class RemoteLikeWindow {
 public:
  RemoteLikeWindow();
  ~RemoteLikeWindow();
  RemoteLikeWindow(const RemoteLikeWindow&) = delete;
  RemoteLikeWindow& operator=(const RemoteLikeWindow&) = delete;
  HWND Handle() const { return window_; }
  bool Focus() { return BringForward(window_, window_); }
  std::wstring text;
  int keys = 0, packets = 0, pastes = 0;
  bool quitOnClose = false;
  // Like an ID-number box: every key-down but a digit, X (or Shift, Caps
  // Lock) is refused.
  bool digitsOnly = false;
  int refused = 0;
  bool ignoreCtrlV = false;
  // A slow target: each Ctrl+V reads the clipboard this long afterwards.
  UINT pasteAfterMs = 0;

 private:
  void Show();
  void PasteClipboard();
  void KeyDown(WPARAM vk, LPARAM lParam);
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  HWND window_ = nullptr;
  UINT_PTR laterPastes_ = 0;
};

// Another program that reads every new clipboard text at once, as clipboard
// history tools do: a copy of this test executable in the sandbox with a
// clipboard format listener, which writes each text it read to a file there.
class ClipboardReaderAtOnce {
 public:
  // What it does with a text once it has read it: nothing; replace the first
  // one with kOtherText; put a copy of each back as its own content.
  enum class Replace { kNever, kOtherOnce, kCopyEach };
  static constexpr const wchar_t* kOtherText = L"别的程序的内容";
  explicit ClipboardReaderAtOnce(const Sandbox& box, Replace replace = Replace::kNever);
  bool Listening() const { return listening_; }
  // The texts it read, in order.
  std::vector<std::wstring> Read() const;

 private:
  std::wstring file_;
  std::unique_ptr<Program> program_;
  bool listening_ = false;
};

// The clipboard as another program sees it: put text or data on it, read a
// format, or its Unicode text ("(none)" without).
bool Copy(UINT format, HANDLE data);
bool CopyText(const std::wstring& text);
std::vector<char> Held(UINT format);
std::wstring ClipboardText();

// A copy of this test executable under another name (another program, as
// far as KeyEntry.ini's program sections go), showing a RemoteLikeWindow;
// its caption tells what it got.
struct TargetProgram {
  TargetProgram(const Sandbox& box, const std::wstring& name);
  std::wstring Caption() const { return program->Text(window); }
  std::unique_ptr<Program> program;
  HWND window = nullptr;
};

// A card with every field of a realistic length, an X in its ID number.
inline const std::vector<std::wstring> kCard = {L"欧阳明月",
                                                L"女",
                                                L"汉",
                                                L"19880315",
                                                L"江南省临水市青石区杏花巷十八号",
                                                L"11010519880315002X",
                                                L"临水市公安局青石分局",
                                                L"2016.03.15-2036.03.15"};

// The program in a sandbox with the simulated reader and kCard on it, keys
// F1..F8 for the eight fields, started with a KeyEntry.ini of the test's.
class TypingProgram : public ::testing::Test {
 protected:
  Sandbox box;
  std::unique_ptr<Program> program;

  void SetUp() override {
    ASSERT_EQ(::GetACP(), 936u) << "run with LC_ALL=zh_CN.UTF-8";
    box.Write(L"SetKey.txt", kKeyFileF1ToF8);
    box.MakeCard("test", kCard);
    box.AttachReader("1001");
    box.PlaceCard("test");
  }
  // Starts the program; waits for the card unless withCard is false.
  void Start(const std::wstring& ini, bool withCard = true);
  // The warning beeps the program has given (it runs with the test seams).
  int Beeps() const;
};

}  // namespace keyentry::wintest
