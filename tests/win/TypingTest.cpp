// Templates and typing modes in the running program, with real key presses:
// a form whose Tab and Enter keys move the focus and submit, one whose focus
// moves late (as a browser's does), a window like a remote-desktop client
// (reads real key presses only, pastes on Ctrl+V) that can also take digits
// and X only, and the same test executable started under two other names.
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>

#include "Harness.h"
#include "platform/Clipboard.h"
#include "platform/Handles.h"
#include "ui/res/resource.h"

namespace keyentry::wintest {
namespace {

const std::vector<std::wstring> kCard = {L"欧阳明月",
                                         L"女",
                                         L"汉",
                                         L"19880315",
                                         L"江南省临水市青石区杏花巷十八号",
                                         L"11010519880315002X",
                                         L"临水市公安局青石分局",
                                         L"2016.03.15-2036.03.15"};

HINSTANCE Instance() { return ::GetModuleHandleW(nullptr); }

void Register(const wchar_t* name, WNDPROC proc) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = proc;
  wc.hInstance = Instance();
  wc.lpszClassName = name;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  ::RegisterClassW(&wc);
}

// Window procedures of the test windows reach their object through this.
template <typename T>
T* Owner(HWND hwnd, UINT msg, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    ::SetWindowLongPtrW(
        hwnd, GWLP_USERDATA,
        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
  }
  return reinterpret_cast<T*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

// Brings a window to the front, and `focus` (a window of this thread) into
// the focus. Where the X input focus follows the foreground window (Wine's
// unmanaged windows, or a window manager), the programs learn of each X focus
// change a little later, and a window shown just before can take the
// foreground back when its own focus event arrives. So the window must keep
// the foreground for a moment, and is brought forward again if it loses it
// (for 10 s at most).
bool BringForward(HWND window, HWND focus) {
  const auto front = [&] { return ::GetForegroundWindow() == window; };
  const DWORD start = ::GetTickCount();
  do {
    ::SetForegroundWindow(window);
    if (::GetWindowThreadProcessId(window, nullptr) == ::GetCurrentThreadId()) ::SetFocus(focus);
    if (WaitFor(front, 3000) && !WaitFor([&] { return !front(); }, 300)) return true;
  } while (::GetTickCount() - start < 10000);
  return false;
}

// Three boxes. Tab moves the focus on (Shift+Tab back), after focusDelayMs
// when that is above 0; Enter submits: it records the three texts.
class FormWindow {
 public:
  explicit FormWindow(UINT focusDelayMs = 0) : delayMs_(focusDelayMs) {
    frame_ = ::CreateWindowExW(0, L"STATIC", L"form", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 30, 30, 420,
                               160, nullptr, nullptr, Instance(), nullptr);
    for (int i = 0; i < 3; ++i) {
      boxes_[i] = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER, 5,
                                    5 + 35 * i, 390, 28, frame_, nullptr, Instance(), nullptr);
      ::SetWindowLongPtrW(boxes_[i], GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
      editProc_ = reinterpret_cast<WNDPROC>(
          ::SetWindowLongPtrW(boxes_[i], GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&BoxProc)));
    }
    PumpMessagesFor(100);
  }
  ~FormWindow() { ::DestroyWindow(frame_); }
  bool Focus() { return BringForward(frame_, boxes_[0]); }
  std::vector<std::wstring> Texts() const {
    std::vector<std::wstring> texts;
    for (HWND box : boxes_) {
      wchar_t text[256] = {};
      ::GetWindowTextW(box, text, 256);
      texts.emplace_back(text);
    }
    return texts;
  }
  void Clear() {
    for (HWND box : boxes_) ::SetWindowTextW(box, L"");
  }
  std::vector<std::vector<std::wstring>> submitted;

 private:
  static LRESULT CALLBACK BoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<FormWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_CHAR && (wParam == L'\t' || wParam == L'\r')) return 0;
    if (msg == WM_TIMER) {
      ::KillTimer(hwnd, wParam);
      ::SetFocus(self->boxes_[wParam - 1]);
      return 0;
    }
    if (msg == WM_KEYDOWN && wParam == VK_RETURN) {
      self->submitted.push_back(self->Texts());
      return 0;
    }
    if (msg == WM_KEYDOWN && wParam == VK_TAB) {
      int at = 0;
      while (self->boxes_[at] != hwnd) ++at;
      const int next = (at + ((::GetKeyState(VK_SHIFT) & 0x8000) ? 2 : 1)) % 3;
      if (self->delayMs_ > 0) {
        ::SetTimer(hwnd, static_cast<UINT_PTR>(next + 1), self->delayMs_, nullptr);
      } else {
        ::SetFocus(self->boxes_[next]);
      }
      return 0;
    }
    return ::CallWindowProcW(self->editProc_, hwnd, msg, wParam, lParam);
  }

  UINT delayMs_;
  HWND frame_ = nullptr;
  HWND boxes_[3] = {};
  WNDPROC editProc_ = nullptr;
};

// Like a remote-desktop client: takes no characters at all, only key-downs,
// which it turns into text with its own keyboard state; Unicode events
// (VK_PACKET) are dropped, and Ctrl+V pastes the clipboard's text. Its
// caption tells how many of each it got: "keys K packets P pastes V|text".
class RemoteLikeWindow {
 public:
  RemoteLikeWindow() {
    Register(L"KeyEntryTestRemote", &Proc);
    window_ = ::CreateWindowExW(0, L"KeyEntryTestRemote", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40,
                                220, 420, 120, nullptr, nullptr, Instance(), this);
    Show();
    PumpMessagesFor(100);
  }
  ~RemoteLikeWindow() {
    if (::IsWindow(window_)) ::DestroyWindow(window_);
  }
  HWND Handle() const { return window_; }
  bool Focus() { return BringForward(window_, window_); }
  std::wstring text;
  int keys = 0, packets = 0, pastes = 0;

 private:
  void Show() {
    wchar_t caption[64];
    std::swprintf(caption, 64, L"keys %d packets %d pastes %d|", keys, packets, pastes);
    ::SetWindowTextW(window_, (caption + text).c_str());
  }
  void KeyDown(WPARAM vk, LPARAM lParam) {
    if (digitsOnly && vk != VK_SHIFT && !(vk >= '0' && vk <= '9') && vk != 'X') {
      ++refused;
    } else if (vk == VK_PACKET) {
      ++packets;
    } else if (vk == 'V' && (::GetKeyState(VK_CONTROL) & 0x8000)) {
      ++pastes;
      for (int i = 0; i < 50 && !::OpenClipboard(window_); ++i) ::Sleep(10);
      if (const HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
        text += static_cast<const wchar_t*>(::GlobalLock(data));
        ::GlobalUnlock(data);
      }
      ::CloseClipboard();
    } else {
      BYTE state[256];
      ::GetKeyboardState(state);
      wchar_t out[4] = {};
      if (::ToUnicode(static_cast<UINT>(vk), (lParam >> 16) & 0xFF, state, out, 4, 0) == 1) {
        ++keys;
        text += out[0];
      }
    }
    Show();
  }
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = Owner<RemoteLikeWindow>(hwnd, msg, lParam);
    if (self && msg == WM_KEYDOWN) self->KeyDown(wParam, lParam);
    if (msg == WM_CHAR || msg == WM_KEYDOWN) return 0;
    if (msg == WM_DESTROY && self && self->quitOnClose) ::PostQuitMessage(0);
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
  }
  HWND window_ = nullptr;

 public:
  bool quitOnClose = false;
  // Like an ID-number box: every key-down but a digit, X (or Shift) is refused.
  bool digitsOnly = false;
  int refused = 0;
};

// This executable started with KEYENTRY_TEST_REMOTE_TARGET set shows a
// RemoteLikeWindow until it is closed, before any test runs.
constexpr const wchar_t* kTargetVariable = L"KEYENTRY_TEST_REMOTE_TARGET";
[[maybe_unused]] const bool kRunAsTarget = [] {
  if (::GetEnvironmentVariableW(kTargetVariable, nullptr, 0) == 0) return false;
  RemoteLikeWindow window;
  window.quitOnClose = true;
  RunMessageLoop(nullptr);
  ::ExitProcess(0);
}();

// The clipboard as another program sees it.
bool Copy(UINT format, HANDLE data) {
  const ClipboardWindow owner;
  const OpenedClipboard clipboard(owner.get(), 5000);
  return clipboard && ::EmptyClipboard() && ::SetClipboardData(format, data);
}
bool CopyText(const std::wstring& text) {
  const HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
  std::memcpy(::GlobalLock(memory), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  ::GlobalUnlock(memory);
  return Copy(CF_UNICODETEXT, memory);
}
std::vector<char> Held(UINT format) {
  const OpenedClipboard clipboard(nullptr, 5000);
  const HANDLE data = clipboard ? ::GetClipboardData(format) : nullptr;
  if (!data) return {};
  const auto* bytes = static_cast<const char*>(::GlobalLock(data));
  std::vector<char> held(bytes, bytes + ::GlobalSize(data));
  ::GlobalUnlock(data);
  return held;
}
std::wstring ClipboardText() {
  const std::vector<char> bytes = Held(CF_UNICODETEXT);
  return bytes.empty() ? L"(none)" : std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()));
}

class Typing : public ::testing::Test {
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
  void Start(const std::wstring& ini) {
    box.Write(L"KeyEntry.ini", ToCodePage(ini, CP_UTF8));
    program = std::make_unique<Program>(box);
    ASSERT_TRUE(program->WaitForMainWindow());
    ASSERT_TRUE(WaitFor([&] { return program->Text(IDC_VALUE_NAME) == L"欧阳明月"; }, 3000));
  }
};

TEST_F(Typing, AHeldKeyFillsAFormOnceWithTabAndEnterF13WorksAndAFieldKeepsItsKey) {
  Start(
      L"[模板]\nF9 = {姓名}{Tab}{性别}{Tab}{身份证号}{Enter}\nF13 = {出生日期:yyyy年M月d日}\n"
      L"F1 = 模板一\n");
  ASSERT_EQ(program->Messages().size(), 1u);
  EXPECT_NE(program->Messages()[0].find(L"第 4 行：F1 = 模板一"), std::wstring::npos);
  EXPECT_NE(program->Messages()[0].find(L"按键 F1 已在 SetKey.txt 中分配给“姓名”"),
            std::wstring::npos);
  FormWindow form;
  ASSERT_TRUE(form.Focus());
  for (int i = 0; i < 5; ++i) SendKey(VK_F9, false);  // held: the key repeats
  SendKey(VK_F9, true);
  ASSERT_TRUE(WaitFor([&] { return !form.submitted.empty(); }, 5000));
  PumpMessagesFor(500);
  const std::vector<std::vector<std::wstring>> once = {{L"欧阳明月", L"女", L"11010519880315002X"}};
  EXPECT_EQ(form.submitted, once);
  form.Clear();
  ASSERT_TRUE(form.Focus());
  PressKey(VK_F13);
  PressKey(VK_F1);
  EXPECT_TRUE(WaitFor([&] { return form.Texts()[0] == L"1988年3月15日欧阳明月"; }, 5000));
}

TEST_F(Typing, WithAFieldDelayALateFocusGetsEveryValueAndAssignedKeysWaitMeanwhile) {
  Start(L"[模板]\nF9 = {姓名}{Tab}{民族}{Tab}{性别}{Enter}\n[输入]\n字段间隔 = 120\n");
  FormWindow form(30);  // the focus follows 30 ms after a Tab
  ASSERT_TRUE(form.Focus());
  PressKey(VK_F9);
  PressKey(VK_F2);  // while the template types: swallowed and ignored
  ASSERT_TRUE(WaitFor([&] { return !form.submitted.empty(); }, 5000));
  const std::vector<std::wstring> filled = {L"欧阳明月", L"汉", L"女"};
  EXPECT_EQ(form.submitted[0], filled);
  PumpMessagesFor(300);
  EXPECT_EQ(form.Texts(), filled);
}

TEST_F(Typing, PasteModeFillsARemoteLikeWindowAndTheClipboardKeepsTextAndPictures) {
  Start(L"[输入]\n方式 = 粘贴\n");
  ASSERT_TRUE(CopyText(L"操作员复制的文字"));
  RemoteLikeWindow remote;
  ASSERT_TRUE(remote.Focus());
  PressKey(VK_F5);
  EXPECT_TRUE(WaitFor([&] { return remote.text == L"江南省临水市青石区杏花巷十八号"; }, 3000));
  EXPECT_EQ(remote.pastes, 1);
  EXPECT_EQ(remote.packets, 0);
  EXPECT_TRUE(WaitFor([] { return ClipboardText() == L"操作员复制的文字"; }, 3000));

  const DWORD colours[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
  ASSERT_TRUE(Copy(CF_BITMAP, ::CreateBitmap(2, 2, 1, 32, colours)));
  const std::vector<char> picture = Held(CF_DIB);
  ASSERT_GT(picture.size(), 40u + 16u);
  remote.text.clear();
  PressKey(VK_F1);
  EXPECT_TRUE(WaitFor([&] { return remote.text == L"欧阳明月"; }, 3000));
  // Put back: the same picture, and no text.
  EXPECT_TRUE(WaitFor([] { return ClipboardText() == L"(none)"; }, 3000));
  EXPECT_EQ(Held(CF_DIB), picture);
  EXPECT_TRUE(::IsClipboardFormatAvailable(CF_BITMAP));
}

TEST_F(Typing, KeysModeTypesIdNumbersAsRealKeysAlsoWithCapsLockOn) {
  Start(L"[模板]\nF9 = {身份证号} Ab-{姓名}\n[输入]\n方式 = 按键\n");
  RemoteLikeWindow remote;
  ASSERT_TRUE(remote.Focus());
  PressKey(VK_F6);
  EXPECT_TRUE(WaitFor([&] { return remote.text == L"11010519880315002X"; }, 3000)) << remote.text;
  EXPECT_EQ(remote.packets, 0);

  PressKey(VK_CAPITAL);
  EXPECT_TRUE(WaitFor([] { return (::GetKeyState(VK_CAPITAL) & 1) != 0; }, 3000));
  remote.text.clear();
  PressKey(VK_F9);  // the name goes as Unicode events, which this window drops
  EXPECT_TRUE(WaitFor([&] { return remote.text == L"11010519880315002X Ab-"; }, 3000))
      << remote.text;
  EXPECT_EQ(remote.packets, 4);
  PressKey(VK_CAPITAL);
  EXPECT_TRUE(WaitFor([] { return (::GetKeyState(VK_CAPITAL) & 1) == 0; }, 3000));

  remote.text.clear();
  remote.digitsOnly = true;
  PressKey(VK_F6);
  EXPECT_TRUE(WaitFor([&] { return remote.text == L"11010519880315002X"; }, 3000)) << remote.text;
  EXPECT_EQ(remote.refused, 0);
}

// A copy of this executable under another name, showing a RemoteLikeWindow;
// its caption tells what it got.
struct TargetProgram {
  TargetProgram(const Sandbox& box, const std::wstring& name) {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    ::CopyFileW(self, box.Path(name).c_str(), FALSE);
    const ScopedEnvironment helper(kTargetVariable, L"1");
    program = std::make_unique<Program>(box, L"", name);
    WaitFor([&] { return (window = program->FindTopLevel(L"KeyEntryTestRemote")) != nullptr; },
            10000);
    // A new window is made the foreground window when it is shown; that is
    // let settle here, so that it cannot take the foreground back later.
    if (window) BringForward(window, window);
  }
  std::wstring Caption() const { return program->Text(window); }
  std::unique_ptr<Program> program;
  HWND window = nullptr;
};

TEST_F(Typing, EachProgramGetsTheModeOfItsOwnSection) {
  Start(
      L"[输入]\n方式 = 字符\n[程序:Keys-Target.EXE]\n方式 = 按键\n[程序:paste-target]\n方式 = "
      L"粘贴\n[模板]\nF9 = {姓名}{Tab}{民族}\n");
  // This test program has no section: Unicode events, as ever.
  TargetEdit own;
  own.Focus();
  own.ClearKeyDowns();
  PressKey(VK_F3);
  EXPECT_TRUE(own.WaitForText(L"汉"));
  EXPECT_EQ(own.KeyDowns(), std::vector<WPARAM>{VK_PACKET});
  TargetProgram keys(box, L"keys-target.exe");
  TargetProgram paste(box, L"paste-target.exe");
  ASSERT_TRUE(BringForward(keys.window, keys.window));
  PressKey(VK_F6);
  EXPECT_TRUE(WaitFor(
      [&] { return keys.Caption() == L"keys 18 packets 0 pastes 0|11010519880315002X"; }, 3000))
      << keys.Caption();
  ASSERT_TRUE(CopyText(L"原有内容"));
  ASSERT_TRUE(BringForward(paste.window, paste.window));
  PressKey(VK_F9);  // two pastes with a real Tab between
  EXPECT_TRUE(
      WaitFor([&] { return paste.Caption() == L"keys 1 packets 0 pastes 2|欧阳明月\t汉"; }, 3000))
      << paste.Caption();
  EXPECT_TRUE(WaitFor([] { return ClipboardText() == L"原有内容"; }, 3000)) << ClipboardText();
}

}  // namespace
}  // namespace keyentry::wintest
