// SendStr.dll on its own: typing into a window of this process, as seen by a
// low-level keyboard hook and by the edit control that receives the text.
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "Harness.h"

namespace keyentry::wintest {
namespace {

typedef void(__stdcall* SendStrFn)(const char* text);

struct Seen {
  DWORD vk;
  DWORD scan;
  DWORD flags;     // LLKHF_*
  WPARAM message;  // WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN or WM_SYSKEYUP
  bool up() const { return message == WM_KEYUP || message == WM_SYSKEYUP; }
};

// State shared with the hook and window procedures (one test at a time).
std::vector<Seen> seen;
SendStrFn sendStr = nullptr;
const char* hotKeyText = nullptr;  // typed from inside the hook on F9
DWORD hotKeyCallMs = 0;            // how long that SendStr call took
int menuRequests = 0;              // WM_SYSCOMMAND SC_KEYMENU received

LRESULT CALLBACK RecordingHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION) {
    const auto* k = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    seen.push_back(Seen{k->vkCode, k->scanCode, k->flags, wParam});
    if (k->vkCode == VK_F9 && hotKeyText != nullptr) {
      if (!(k->flags & LLKHF_UP)) {
        const DWORD start = ::GetTickCount();
        sendStr(hotKeyText);
        hotKeyCallMs = ::GetTickCount() - start;
      }
      return 1;  // the hot key itself reaches no window
    }
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// Counts menu requests instead of entering the modal menu loop.
LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_KEYMENU) {
    ++menuRequests;
    return 0;
  }
  return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

// One key event; extended keys (right Ctrl, Windows keys) flagged as such.
void Key(WORD vk, bool up, bool extended = false) {
  INPUT in{};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = vk;
  in.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
  in.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0u) | (extended ? KEYEVENTF_EXTENDEDKEY : 0u);
  ::SendInput(1, &in, sizeof in);
}

const WORD kModifierKeys[] = {VK_LSHIFT, VK_RSHIFT, VK_LCONTROL, VK_RCONTROL,
                              VK_LMENU,  VK_RMENU,  VK_LWIN,     VK_RWIN};

bool AnyModifierDown() {
  for (WORD vk : kModifierKeys)
    if (KeyDown(vk)) return true;
  return false;
}

// An expected key event.
struct Want {
  DWORD vk;
  DWORD scan;
  bool up;
};

// The unicode key events that type `text`.
std::vector<Want> UnicodeEvents(const std::wstring& text) {
  std::vector<Want> events;
  for (wchar_t c : text) {
    events.push_back(Want{VK_PACKET, static_cast<DWORD>(c), false});
    events.push_back(Want{VK_PACKET, static_cast<DWORD>(c), true});
  }
  return events;
}

// Whether the events from index `from` on are `want`, and nothing else.
bool EventsFrom(const std::vector<Seen>& got, std::size_t from, const std::vector<Want>& want) {
  if (got.size() != from + want.size()) return false;
  for (std::size_t i = 0; i < want.size(); ++i) {
    const Seen& g = got[from + i];
    if (g.vk != want[i].vk || g.scan != want[i].scan || g.up() != want[i].up) return false;
  }
  return true;
}

// Whether the first events are `want`.
bool StartsWith(const std::vector<Seen>& got, const std::vector<Want>& want) {
  if (got.size() < want.size()) return false;
  return EventsFrom(std::vector<Seen>(got.begin(), got.begin() + want.size()), 0, want);
}

std::string Describe(const std::vector<Seen>& events) {
  std::string out;
  char line[80];
  for (const Seen& e : events) {
    wsprintfA(line, "  vk %02lx scan %04lx flags %02lx message %04x\n", e.vk, e.scan, e.flags,
              static_cast<unsigned>(e.message));
    out += line;
  }
  return out;
}

class SendStr : public ::testing::Test {
 protected:
  // One target window for all tests: destroying a focused window takes Wine
  // a couple of seconds.
  static void SetUpTestSuite() {
    module_ = ::LoadLibraryW((ProgramFolder() + L"\\SendStr.dll").c_str());
    sendStr = module_ ? reinterpret_cast<SendStrFn>(
                            reinterpret_cast<void*>(::GetProcAddress(module_, "SendStr")))
                      : nullptr;
    WNDCLASSW wc{};
    wc.lpfnWndProc = &FrameProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KeyEntrySendStrTarget";
    ::RegisterClassW(&wc);
    frame_ =
        ::CreateWindowExW(0, wc.lpszClassName, L"SendStr target", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                          60, 60, 420, 110, nullptr, nullptr, wc.hInstance, nullptr);
    edit_ = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 5, 5, 400,
                              30, frame_, nullptr, wc.hInstance, nullptr);
  }
  static void TearDownTestSuite() {
    if (frame_) ::DestroyWindow(frame_);
    frame_ = edit_ = nullptr;
    if (module_) ::FreeLibrary(module_);
    module_ = nullptr;
    sendStr = nullptr;
  }

  void SetUp() override {
    ASSERT_EQ(::GetACP(), 936u) << "run with LC_ALL=zh_CN.UTF-8 so the ANSI code page is 936";
    ASSERT_NE(module_, nullptr) << "SendStr.dll not loaded from the test folder";
    ASSERT_NE(sendStr, nullptr) << "SendStr not exported undecorated";
    ASSERT_NE(edit_, nullptr);
    ReleaseModifiers();
    ::SetWindowTextW(edit_, L"");
    ASSERT_TRUE(Focus()) << "target edit control did not get the keyboard focus";

    hook_ = ::SetWindowsHookExW(WH_KEYBOARD_LL, &RecordingHook, ::GetModuleHandleW(nullptr), 0);
    ASSERT_NE(hook_, nullptr);
    PumpMessagesFor(50);
    seen.clear();
    menuRequests = 0;
    hotKeyText = nullptr;
  }

  void TearDown() override {
    hotKeyText = nullptr;
    if (hook_) ::UnhookWindowsHookEx(hook_);
    hook_ = nullptr;
    ReleaseModifiers();
  }

  static void ReleaseModifiers() {
    for (WORD vk : kModifierKeys)
      if (KeyDown(vk)) Key(vk, true, vk == VK_RCONTROL || vk == VK_LWIN || vk == VK_RWIN);
    WaitFor([] { return !AnyModifierDown(); }, 1000);
  }

  static bool Focus() {
    ::SetForegroundWindow(frame_);
    ::SetActiveWindow(frame_);
    ::SetFocus(edit_);
    return WaitFor([] { return ::GetForegroundWindow() == frame_ && ::GetFocus() == edit_; }, 3000);
  }

  static std::wstring Text() {
    wchar_t buffer[512] = {};
    const int n = ::GetWindowTextW(edit_, buffer, 512);
    return std::wstring(buffer, static_cast<std::size_t>(n));
  }

  // Waits until the edit shows `text` and the hook has seen `events` events.
  bool WaitForTyping(const std::wstring& text, std::size_t events) {
    return WaitFor([&] { return Text() == text && seen.size() >= events; }, 3000);
  }

  HHOOK hook_ = nullptr;
  static HMODULE module_;
  static HWND frame_;
  static HWND edit_;
};

HMODULE SendStr::module_ = nullptr;
HWND SendStr::frame_ = nullptr;
HWND SendStr::edit_ = nullptr;

TEST_F(SendStr, TypesAnsiChineseTextAsUnicodeKeyEvents) {
  EXPECT_EQ(::GetProcAddress(module_, "SendStr@4"), nullptr) << "export name decorated";

  const std::wstring text = L"张三，青岚市 1988-03-15 abc";
  const std::string ansi = ToCodePage(text);
  sendStr(ansi.c_str());
  EXPECT_TRUE(WaitForTyping(text, 2 * text.size())) << "typed: " << ToCodePage(Text());
  PumpMessagesFor(100);
  EXPECT_TRUE(EventsFrom(seen, 0, UnicodeEvents(text))) << Describe(seen);
}

TEST_F(SendStr, NullOrEmptyTextSendsNoEventsAtAll) {
  sendStr(nullptr);
  sendStr("");
  sendStr("x");  // marks the end of what the two calls above may have sent
  EXPECT_TRUE(WaitForTyping(L"x", 2));
  PumpMessagesFor(100);
  EXPECT_TRUE(EventsFrom(seen, 0, UnicodeEvents(L"x"))) << Describe(seen);
}

TEST_F(SendStr, HeldShiftAndCtrlAreReleasedFirstWithoutMaskingKey) {
  Key(VK_LSHIFT, false);
  Key(VK_RCONTROL, false, true);
  ASSERT_TRUE(WaitFor([] { return KeyDown(VK_LSHIFT) && KeyDown(VK_RCONTROL); }, 2000));
  seen.clear();

  sendStr(ToCodePage(L"王 ab").c_str());
  EXPECT_TRUE(WaitForTyping(L"王 ab", 2 + 8)) << "typed: " << ToCodePage(Text());
  PumpMessagesFor(100);
  ASSERT_TRUE(StartsWith(seen, {Want{VK_LSHIFT, 0x2A, true}, Want{VK_RCONTROL, 0x1D, true}}))
      << Describe(seen);
  EXPECT_EQ(seen[0].flags & LLKHF_EXTENDED, 0u);
  EXPECT_NE(seen[1].flags & LLKHF_EXTENDED, 0u) << "right Ctrl released as the left one";
  EXPECT_TRUE(EventsFrom(seen, 2, UnicodeEvents(L"王 ab"))) << Describe(seen);
  EXPECT_FALSE(KeyDown(VK_SHIFT));
  EXPECT_FALSE(KeyDown(VK_CONTROL));
}

TEST_F(SendStr, HeldAltAndWindowsKeyAreUsedUpSoNoMenuOpens) {
  // Without SendStr, releasing a lone Alt asks for the menu: the check below
  // can see the fault it looks for.
  Key(VK_LMENU, false);
  ASSERT_TRUE(WaitFor([] { return KeyDown(VK_LMENU); }, 2000));
  Key(VK_LMENU, true);
  ASSERT_TRUE(WaitFor([] { return menuRequests == 1; }, 2000)) << "lone Alt asked for no menu";
  ASSERT_TRUE(Focus());
  menuRequests = 0;

  Key(VK_LMENU, false);
  Key(VK_LWIN, false, true);
  ASSERT_TRUE(WaitFor([] { return KeyDown(VK_LMENU) && KeyDown(VK_LWIN); }, 2000));
  seen.clear();

  sendStr(ToCodePage(L"汉族").c_str());
  EXPECT_TRUE(WaitForTyping(L"汉族", 4 + 4)) << "typed: " << ToCodePage(Text());
  PumpMessagesFor(200);
  ASSERT_TRUE(StartsWith(seen, {Want{0xE8, 0, false}, Want{0xE8, 0, true},
                                Want{VK_LMENU, 0x38, true}, Want{VK_LWIN, 0x5B, true}}))
      << Describe(seen);
  EXPECT_NE(seen[3].flags & LLKHF_EXTENDED, 0u) << "Windows key released as a plain key";
  EXPECT_TRUE(EventsFrom(seen, 4, UnicodeEvents(L"汉族"))) << Describe(seen);
  EXPECT_EQ(menuRequests, 0);
  EXPECT_EQ(::GetFocus(), edit_);
  EXPECT_FALSE(KeyDown(VK_MENU));
  EXPECT_FALSE(KeyDown(VK_LWIN));
}

TEST_F(SendStr, TypesFromInsideAKeyboardHookWhileHotKeyIsHeld) {
  // As the program uses it: the operator holds Ctrl+Shift+F9, the hook types.
  const std::string ansi = ToCodePage(L"张三 abc");
  hotKeyText = ansi.c_str();
  Key(VK_LCONTROL, false);
  Key(VK_LSHIFT, false);
  Key(VK_F9, false);
  EXPECT_TRUE(WaitFor([&] { return Text() == L"张三 abc"; }, 3000))
      << "typed: " << ToCodePage(Text());
  EXPECT_LT(hotKeyCallMs, 200u) << "SendStr blocked the hook";
  EXPECT_FALSE(KeyDown(VK_CONTROL));
  EXPECT_FALSE(KeyDown(VK_SHIFT));
  Key(VK_F9, true);
  Key(VK_LSHIFT, true);
  Key(VK_LCONTROL, true);
  PumpMessagesFor(200);
  EXPECT_EQ(Text(), L"张三 abc");
  EXPECT_FALSE(AnyModifierDown());
}

}  // namespace
}  // namespace keyentry::wintest
