// Every press lands, exactly once and in order, whatever the rhythm: presses
// that come while the program still types wait their turn, pasting knows
// when the target has taken the text, and card data goes only to the window
// that had the focus when the key was pressed.
#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>
#include <mutex>
#include <optional>
#include <thread>

#include "Harness.h"
#include "TargetWindows.h"
#include "platform/Clipboard.h"
#include "ui/res/resource.h"

namespace keyentry::wintest {
namespace {

using PressOrder = TypingProgram;

// Presses the keys one after the other, pausing between them while this
// thread's windows are served.
void PressApart(const std::vector<WORD>& keys, DWORD gapMs) {
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (i > 0) PumpMessagesFor(gapMs);
    PressKey(keys[i]);
  }
}

TEST_F(PressOrder, PastesFollowQuickPressesWholeAndInOrderAndTheClipboardComesBack) {
  Start(L"[输入]\n方式 = 粘贴\n");
  ASSERT_TRUE(CopyText(L"操作员复制的文字"));
  RemoteLikeWindow remote;  // takes real key presses only: every text is a paste
  ASSERT_TRUE(remote.Focus());
  PressApart({VK_F1, VK_F5}, 40);
  EXPECT_TRUE(WaitFor([&] { return remote.text == kCard[0] + kCard[4]; }, 5000)) << remote.text;

  remote.text.clear();
  PressApart({VK_F6, VK_F2, VK_F4, VK_F1, VK_F3, VK_F8}, 20);
  const std::wstring six = kCard[5] + kCard[1] + kCard[3] + kCard[0] + kCard[2] + kCard[7];
  EXPECT_TRUE(WaitFor([&] { return remote.text == six; }, 8000)) << remote.text;
  EXPECT_EQ(remote.pastes, 8);
  EXPECT_EQ(remote.packets, 0);
  EXPECT_TRUE(WaitFor([] { return ClipboardText() == L"操作员复制的文字"; }, 3000))
      << ClipboardText();
  PumpMessagesFor(300);
  EXPECT_EQ(remote.text, six);  // nothing more came
  EXPECT_EQ(Beeps(), 0);
}

TEST_F(PressOrder, AProgramReadingEveryTextAtOnceNeitherGivesASlowTargetTheOldTextNorTheNext) {
  Start(L"[输入]\n方式 = 粘贴\n");
  ASSERT_TRUE(CopyText(L"上一位客人的资料"));
  ClipboardReaderAtOnce history(box);  // takes each text before Ctrl+V goes out
  ASSERT_TRUE(history.Listening());
  RemoteLikeWindow remote;
  remote.pasteAfterMs = 80;  // reads the clipboard 80 ms after each Ctrl+V
  ASSERT_TRUE(remote.Focus());
  PressApart({VK_F1, VK_F5}, 20);
  EXPECT_TRUE(WaitFor([&] { return remote.pastes == 2; }, 15000)) << remote.text;
  EXPECT_EQ(remote.text, kCard[0] + kCard[4]);
  EXPECT_TRUE(WaitFor([] { return ClipboardText() == L"上一位客人的资料"; }, 10000))
      << ClipboardText();
  // It did read each text before the target, and the old one last (the
  // tool is another process: it reads the old text a moment after it is
  // back).
  const std::vector<std::wstring> expected = {kCard[0], kCard[4], L"上一位客人的资料"};
  std::vector<std::wstring> read;
  EXPECT_TRUE(WaitFor([&] { return (read = history.Read()).size() >= expected.size(); }, 5000));
  EXPECT_EQ(read, expected);
  EXPECT_EQ(Beeps(), 0);
}

TEST_F(PressOrder, APressDuringAPauseIsTypedAfterTheWholeTemplateAndAFocusChangeStopsOne) {
  Start(
      L"[模板]\nF9 = {姓名}{延时:400}{Tab}{民族}{Enter}\n"
      L"F10 = {姓名}{延时:2000}{Tab}{身份证号}{Enter}\n");
  FormWindow form;
  ASSERT_TRUE(form.Focus());
  PressApart({VK_F9, VK_F2}, 100);  // F2 (the sex) during the pause
  ASSERT_TRUE(WaitFor([&] { return !form.submitted.empty(); }, 5000));
  const std::vector<std::vector<std::wstring>> once = {{L"欧阳明月", L"汉", L""}};
  EXPECT_EQ(form.submitted, once);
  const std::vector<std::wstring> then = {L"欧阳明月", L"汉女", L""};
  EXPECT_TRUE(WaitFor([&] { return form.Texts() == then; }, 3000));

  // The operator clicks into another program during the pause: the rest of
  // the template, ID number included, goes nowhere, and a beep tells.
  form.Clear();
  form.submitted.clear();
  TargetEdit other;
  ASSERT_TRUE(form.Focus());
  PressKey(VK_F10);
  ASSERT_TRUE(WaitFor([&] { return form.Texts()[0] == L"欧阳明月"; }, 3000));
  other.Focus();
  PumpMessagesFor(2500);
  EXPECT_EQ(form.Texts(), (std::vector<std::wstring>{L"欧阳明月", L"", L""}));
  EXPECT_EQ(other.Text(), L"");
  EXPECT_TRUE(form.submitted.empty());
  EXPECT_EQ(Beeps(), 1);
}

TEST_F(PressOrder, SixteenPressesWaitAndTheSeventeenthIsRefusedWithABeep) {
  Start(L"[模板]\nF9 = {性别}{延时:3000}\n");
  TargetEdit target;
  target.Focus();
  PressKey(VK_F9);
  ASSERT_TRUE(target.WaitForText(L"女"));  // the template types, then pauses
  // 17 presses of the sex's key in one go, while the template pauses.
  std::vector<INPUT> presses;
  for (int i = 0; i < 17; ++i) {
    for (const DWORD up : {DWORD{0}, DWORD{KEYEVENTF_KEYUP}}) {
      INPUT in{};
      in.type = INPUT_KEYBOARD;
      in.ki.wVk = VK_F2;
      in.ki.dwFlags = up;
      presses.push_back(in);
    }
  }
  ::SendInput(static_cast<UINT>(presses.size()), presses.data(), sizeof(INPUT));
  EXPECT_TRUE(target.WaitForText(std::wstring(17, L'女'), 10000)) << target.Text().size();
  PumpMessagesFor(500);
  EXPECT_EQ(target.Text(), std::wstring(17, L'女'));  // the template's and 16 presses
  EXPECT_EQ(Beeps(), 1);
}

TEST_F(PressOrder, AFieldKeyHeldDownInPasteModeTypesItsFieldOnce) {
  Start(L"[输入]\n方式 = 粘贴\n");
  RemoteLikeWindow remote;
  ASSERT_TRUE(remote.Focus());
  // The key-down, nine auto-repeat key-downs while the first paste is under
  // way, then the key-up.
  std::vector<INPUT> held(11);
  for (std::size_t i = 0; i < held.size(); ++i) {
    held[i].type = INPUT_KEYBOARD;
    held[i].ki.wVk = VK_F1;
    held[i].ki.wScan = static_cast<WORD>(::MapVirtualKeyW(VK_F1, MAPVK_VK_TO_VSC));
    held[i].ki.dwFlags = i + 1 == held.size() ? KEYEVENTF_KEYUP : 0;
  }
  ::SendInput(static_cast<UINT>(held.size()), held.data(), sizeof(INPUT));
  EXPECT_TRUE(WaitFor([&] { return remote.text == kCard[0]; }, 5000)) << remote.text;
  PumpMessagesFor(1500);
  EXPECT_EQ(remote.text, kCard[0]);  // nothing more came
  EXPECT_EQ(remote.pastes, 1);
  EXPECT_EQ(Beeps(), 0);
  PressKey(VK_F1);  // a new press types again
  EXPECT_TRUE(WaitFor([&] { return remote.text == kCard[0] + kCard[0]; }, 5000)) << remote.text;
}

TEST_F(PressOrder, BeforeTheFirstCardATemplateTypesNothingNotEvenItsKeys) {
  box.RemoveCard();
  Start(L"[模板]\nF9 = 入住：{姓名}{Tab}{性别}{Enter}\n", false);
  FormWindow form;
  ASSERT_TRUE(form.Focus());
  PressKey(VK_F9);
  PumpMessagesFor(800);
  EXPECT_EQ(form.Texts(), (std::vector<std::wstring>{L"", L"", L""}));
  EXPECT_TRUE(form.submitted.empty());
  box.PlaceCard("test");
  ASSERT_TRUE(WaitFor([&] { return program->Text(IDC_VALUE_NAME) == kCard[0]; }, 3000));
  ASSERT_TRUE(form.Focus());
  PressKey(VK_F9);
  EXPECT_TRUE(WaitFor([&] { return form.submitted.size() == 1; }, 3000));
}

// Caps Lock on for the scope, whatever it was (the test thread's window has
// the focus, so that its key state follows).
class CapsLockOn {
 public:
  CapsLockOn() {
    if (!On()) PressKey(VK_CAPITAL);
    EXPECT_TRUE(WaitFor([] { return On(); }, 3000));
  }
  ~CapsLockOn() {
    PressKey(VK_CAPITAL);
    WaitFor([] { return !On(); }, 3000);
  }
  static bool On() { return (::GetKeyState(VK_CAPITAL) & 1) != 0; }
};

TEST_F(PressOrder, KeysModeTypesLettersAsRealKeysInTheRightCaseAndLeavesCapsLockAsItWas) {
  RemoteLikeWindow remote;      // takes real key presses only, with its own key state
  ASSERT_TRUE(remote.Focus());  // so that this thread sees Caps Lock change
  std::optional<CapsLockOn> caps(std::in_place);
  Start(L"[模板]\nF9 = aB-{身份证号}\n[输入]\n方式 = 按键\n");
  const std::wstring expected = L"aB-11010519880315002X";
  const auto typeOnce = [&](const char* when, bool capsLockOn) {
    remote.text.clear();
    remote.packets = 0;
    ASSERT_TRUE(remote.Focus());
    PressKey(VK_F9);
    EXPECT_TRUE(WaitFor([&] { return remote.text == expected; }, 5000))
        << when << ": " << remote.text;
    PumpMessagesFor(300);
    EXPECT_EQ(remote.text, expected) << when;
    EXPECT_EQ(remote.packets, 0) << when;
    EXPECT_EQ(CapsLockOn::On(), capsLockOn) << when;  // as the operator left it
  };
  typeOnce("Caps Lock on since before the start", true);
  program->Click(IDC_READ);  // reading off: the hook is installed anew
  ASSERT_TRUE(WaitFor([&] { return program->Text(IDC_STATUS) == L"停止读卡！"; }, 3000));
  program->Click(IDC_READ);  // and on again
  ASSERT_TRUE(WaitFor([&] { return program->Text(IDC_READ) == L"停止读卡"; }, 3000));
  typeOnce("Caps Lock on after the hook was renewed", true);
  ASSERT_TRUE(remote.Focus());
  caps.reset();  // turned off while the program runs
  typeOnce("Caps Lock off", false);
  EXPECT_EQ(Beeps(), 0);
}

// A keyboard hook of another program (a hot-key tool, an input helper),
// installed before the program's, on a thread of its own: it records the
// key events of F9 and F11 it is shown.
class OtherHook {
 public:
  OtherHook()
      : thread_([this] {
          MSG msg;
          ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
          threadId_ = ::GetCurrentThreadId();
          const HHOOK hook =
              ::SetWindowsHookExW(WH_KEYBOARD_LL, &Proc, ::GetModuleHandleW(nullptr), 0);
          installed_ = hook != nullptr;
          while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
          ::UnhookWindowsHookEx(hook);
        }) {
    WaitFor([this] { return installed_.load(); }, 3000);
  }
  ~OtherHook() {
    ::PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    thread_.join();
  }
  bool Installed() const { return installed_; }
  std::vector<std::pair<WPARAM, DWORD>> Seen() {
    std::lock_guard<std::mutex> lock(mutex);
    return seen;
  }

 private:
  static LRESULT CALLBACK Proc(int code, WPARAM wParam, LPARAM lParam) {
    const DWORD vk = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam)->vkCode;
    if (code == HC_ACTION && (vk == VK_F9 || vk == VK_F11)) {
      std::lock_guard<std::mutex> lock(mutex);
      seen.emplace_back(wParam, vk);
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
  }
  static inline std::mutex mutex;
  static inline std::vector<std::pair<WPARAM, DWORD>> seen;
  std::atomic<bool> installed_{false};
  std::atomic<DWORD> threadId_{0};
  std::thread thread_;
};

TEST_F(PressOrder, AHookInstalledBeforeTheProgramsSeesTheKeyDownsOfUnassignedKeys) {
  OtherHook other;
  ASSERT_TRUE(other.Installed());
  Start(L"[模板]\nF9 = {姓名}\n");
  TargetEdit target;
  target.Focus();
  PressKey(VK_F11);  // no field, no template: for everybody
  PressKey(VK_F9);   // the program's: swallowed, only its key-up goes on
  EXPECT_TRUE(target.WaitForText(L"欧阳明月"));
  WaitFor([&] { return other.Seen().size() >= 3; }, 3000);
  PumpMessagesFor(200);
  const std::vector<std::pair<WPARAM, DWORD>> expected = {
      {WM_KEYDOWN, VK_F11}, {WM_KEYUP, VK_F11}, {WM_KEYUP, VK_F9}};
  EXPECT_EQ(other.Seen(), expected);
}

TEST_F(PressOrder, ClosingDuringAPasteDoesNotWaitForTheClipboardYetPutsItBack) {
  Start(L"[输入]\n方式 = 粘贴\n");
  ASSERT_TRUE(CopyText(L"原有内容"));
  RemoteLikeWindow remote;
  remote.ignoreCtrlV = true;  // the text is never taken: the paste waits
  ASSERT_TRUE(remote.Focus());
  PressKey(VK_F1);
  // The program offers the text (without anyone taking it).
  ASSERT_TRUE(WaitFor(
      [&] {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(::GetClipboardOwner(), &owner);
        return owner == program->Pid();
      },
      3000));
  std::optional<OpenedClipboard> busy;
  const ClipboardWindow holder;
  busy.emplace(holder.get(), 3000);  // another program holds the clipboard
  ASSERT_TRUE(*busy);
  const HWND main = program->MainWindow();
  ::PostMessageW(main, WM_CLOSE, 0, 0);
  // The window goes while the clipboard is still busy...
  EXPECT_TRUE(WaitFor([&] { return !::IsWindow(main); }, 8000));
  busy.reset();
  // ... and once it is free, what it held before is back.
  EXPECT_TRUE(WaitFor([] { return ClipboardText() == L"原有内容"; }, 8000)) << ClipboardText();
  EXPECT_TRUE(program->WaitForExit());
}

// The clipboard held open by this test until the scope ends, as a program
// that keeps it busy.
struct BusyClipboard {
  explicit BusyClipboard(HWND window) : open(::OpenClipboard(window) != FALSE) {}
  ~BusyClipboard() {
    if (open) ::CloseClipboard();
  }
  const bool open;
};

TEST_F(PressOrder, APasteTheClipboardRefusesFallsBackOnlyIntoTheWindowThatStillHasTheFocus) {
  Start(L"[输入]\n方式 = 粘贴\n");
  ASSERT_TRUE(CopyText(L"操作员复制的文字"));
  ClipboardReaderAtOnce history(box);  // F1's text stays for the grace time: F5 waits
  ASSERT_TRUE(history.Listening());
  RemoteLikeWindow remote;
  FormWindow form;
  ASSERT_TRUE(remote.Focus());
  PressApart({VK_F1, VK_F5}, 20);
  ASSERT_TRUE(WaitFor([&] { return remote.pastes == 1; }, 5000)) << remote.text;
  // While F5 waits, the clipboard stays busy and the operator moves on.
  const BusyClipboard busy(form.Frame());
  ASSERT_TRUE(busy.open);
  ASSERT_TRUE(form.Focus());
  EXPECT_TRUE(WaitFor([&] { return Beeps() == 1; }, 8000)) << Beeps();
  PumpMessagesFor(300);
  EXPECT_EQ(form.Texts(), (std::vector<std::wstring>{L"", L"", L""}));
  EXPECT_EQ(remote.text, kCard[0]);
}

TEST_F(PressOrder, ATextReplacedBeforeCtrlVIsOfferedOnceMoreAndAnotherProgramsTextNeverPasted) {
  Start(L"[输入]\n方式 = 粘贴\n");
  ASSERT_TRUE(CopyText(L"操作员复制的文字"));
  ClipboardReaderAtOnce other(box, ClipboardReaderAtOnce::Replace::kOtherOnce);
  ASSERT_TRUE(other.Listening());
  RemoteLikeWindow remote;
  ASSERT_TRUE(remote.Focus());
  PressKey(VK_F1);
  ASSERT_TRUE(WaitFor([&] { return remote.pastes == 1; }, 8000)) << remote.text;
  EXPECT_EQ(remote.text, kCard[0]);
  EXPECT_EQ(Beeps(), 0);
}

// A clipboard history tool: one that reads each text, or one that also puts
// each back as its own. F5 then F1, 50 ms apart, into a target that reads
// the clipboard 80 ms after Ctrl+V.
class HistoryTool : public TypingProgram,
                    public ::testing::WithParamInterface<ClipboardReaderAtOnce::Replace> {};

TEST_P(HistoryTool, EachFieldArrivesOrBeepsAndTheOperatorsClipboardComesBack) {
  Start(L"[输入]\n方式 = 粘贴\n");
  ASSERT_TRUE(CopyText(L"操作员复制的文字"));
  ClipboardReaderAtOnce tool(box, GetParam());
  ASSERT_TRUE(tool.Listening());
  RemoteLikeWindow remote;
  remote.pasteAfterMs = 80;
  ASSERT_TRUE(remote.Focus());
  PressApart({VK_F5, VK_F1}, 50);
  EXPECT_TRUE(WaitFor([&] { return remote.pastes + Beeps() >= 2; }, 15000));
  // Card data stays no longer than the grace time after the last Ctrl+V.
  EXPECT_TRUE(WaitFor([] { return ClipboardText() == L"操作员复制的文字"; }, 4000))
      << ClipboardText();
  PumpMessagesFor(300);
  EXPECT_EQ(remote.pastes + Beeps(), 2);
  // What arrived is the fields pasted, whole and in order, nothing else.
  const std::vector<std::wstring> whole = {L"", kCard[4], kCard[0], kCard[4] + kCard[0]};
  EXPECT_NE(std::find(whole.begin(), whole.end(), remote.text), whole.end()) << remote.text;
  if (remote.pastes == 2) {
    EXPECT_EQ(remote.text, kCard[4] + kCard[0]);
  }
}

INSTANTIATE_TEST_SUITE_P(ReadingOrCopying, HistoryTool,
                         ::testing::Values(ClipboardReaderAtOnce::Replace::kNever,
                                           ClipboardReaderAtOnce::Replace::kCopyEach));

}  // namespace
}  // namespace keyentry::wintest
