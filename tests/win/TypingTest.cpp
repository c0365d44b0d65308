// Templates and typing modes in the running program, with real key presses:
// a form whose Tab and Enter keys move the focus and submit, one whose focus
// moves late (as a browser's does), a window like a remote-desktop client
// (reads real key presses only, pastes on Ctrl+V), a box that takes digits
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

bool BringForward(HWND window, HWND focus) {
  ::SetForegroundWindow(window);
  if (::GetWindowThreadProcessId(window, nullptr) == ::GetCurrentThreadId()) ::SetFocus(focus);
  return WaitFor([&] { return ::GetForegroundWindow() == window; }, 3000);
}

// Three boxes. Tab moves the focus on (Shift+Tab back), after focusDelayMs
// when that is above 0; Enter submits: it records the three texts.
class FormWindow {
 public:
  explicit FormWindow(UINT focusDelayMs = 0) : delayMs_(focusDelayMs) {
    Register(L"KeyEntryTestForm", &FrameProc);
    frame_ = ::CreateWindowExW(0, L"KeyEntryTestForm", L"form", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                               30, 30, 420, 160, nullptr, nullptr, Instance(), this);
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
  static LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
      ::SetWindowLongPtrW(
          hwnd, GWLP_USERDATA,
          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    }
    auto* self = reinterpret_cast<FormWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && msg == WM_TIMER) {
      ::KillTimer(hwnd, wParam);
      ::SetFocus(self->boxes_[wParam - 1]);
      return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
  }
  static LRESULT CALLBACK BoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<FormWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_CHAR && (wParam == L'\t' || wParam == L'\r')) return 0;
    if (msg == WM_KEYDOWN && wParam == VK_RETURN) {
      self->submitted.push_back(self->Texts());
      return 0;
    }
    if (msg == WM_KEYDOWN && wParam == VK_TAB) {
      int at = 0;
      while (self->boxes_[at] != hwnd) ++at;
      const int next = (at + ((::GetKeyState(VK_SHIFT) & 0x8000) ? 2 : 1)) % 3;
      if (self->delayMs_ > 0) {
        ::SetTimer(self->frame_, static_cast<UINT_PTR>(next + 1), self->delayMs_, nullptr);
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
    if (vk == VK_PACKET) {
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
    if (msg == WM_NCCREATE) {
      ::SetWindowLongPtrW(
          hwnd, GWLP_USERDATA,
          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    }
    auto* self = reinterpret_cast<RemoteLikeWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && msg == WM_KEYDOWN) self->KeyDown(wParam, lParam);
    if (msg == WM_CHAR || msg == WM_KEYDOWN) return 0;
    if (msg == WM_DESTROY && self && self->quitOnClose) ::PostQuitMessage(0);
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
  }
  HWND window_ = nullptr;

 public:
  bool quitOnClose = false;
};

// An ID-number box: a character counts only when the key-down before it was
// a digit or X.
class DigitsOnlyEdit : public TargetEdit {
 public:
  DigitsOnlyEdit() {
    ::SetWindowLongPtrW(Edit(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    next_ = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(Edit(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc)));
  }
  int rejected = 0;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<DigitsOnlyEdit*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_KEYDOWN && wParam != VK_SHIFT) {
      self->allowed_ = (wParam >= '0' && wParam <= '9') || wParam == 'X';
    }
    if (msg == WM_CHAR && !self->allowed_) {
      ++self->rejected;
      return 0;
    }
    return ::CallWindowProcW(self->next_, hwnd, msg, wParam, lParam);
  }
  WNDPROC next_ = nullptr;
  bool allowed_ = false;
};

// This executable started with --remote-target shows a RemoteLikeWindow
// until it is closed, before any test runs.
[[maybe_unused]] const bool kRunAsTarget = [] {
  if (std::wstring(::GetCommandLineW()).find(L"--remote-target") == std::wstring::npos) {
    return false;
  }
  RemoteLikeWindow window;
  window.quitOnClose = true;
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  ::ExitProcess(0);
}();

std::wstring ClipboardText() {
  const OpenedClipboard clipboard(nullptr, 5000);
  const HANDLE data = clipboard ? ::GetClipboardData(CF_UNICODETEXT) : nullptr;
  if (!data) return L"(none)";
  std::wstring text(static_cast<const wchar_t*>(::GlobalLock(data)));
  ::GlobalUnlock(data);
  return text;
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

TEST_F(Typing, TabAndEnterFillAFormInOrderAndF13IsATemplateKey) {
  Start(L"[模板]\nF9 = {姓名}{Tab}{性别}{Tab}{身份证号}{Enter}\nF13 = {出生日期:yyyy年M月d日}\n");
  FormWindow form;
  ASSERT_TRUE(form.Focus());
  PressKey(VK_F9);
  ASSERT_TRUE(WaitFor([&] { return !form.submitted.empty(); }, 5000));
  const std::vector<std::wstring> filled = {L"欧阳明月", L"女", L"11010519880315002X"};
  EXPECT_EQ(form.submitted[0], filled);
  form.Clear();
  ASSERT_TRUE(form.Focus());
  PressKey(VK_F13);
  EXPECT_TRUE(WaitFor([&] { return form.Texts()[0] == L"1988年3月15日"; }, 5000));
  EXPECT_TRUE(program->Messages().empty());
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

TEST_F(Typing, AHeldTemplateKeyTypesOnceAndAFieldKeepsItsKey) {
  Start(L"[模板]\nF1 = 模板一\nF9 = {民族}\n");
  EXPECT_EQ(program->Messages().size(), 1u);
  EXPECT_NE(program->Messages().at(0).find(L"按键 F1 已在 SetKey.txt 中分配给“姓名”"),
            std::wstring::npos);
  TargetEdit target;
  target.Focus();
  PressKey(VK_F1);
  EXPECT_TRUE(target.WaitForText(L"欧阳明月"));
  target.Clear();
  target.ClearKeyDowns();
  for (int i = 0; i < 5; ++i) SendKey(VK_F9, false);  // held: the key repeats
  SendKey(VK_F9, true);
  EXPECT_TRUE(target.WaitForText(L"汉"));
  PumpMessagesFor(500);
  EXPECT_EQ(target.Text(), L"汉");
  for (const WPARAM vk : target.KeyDowns()) EXPECT_NE(vk, static_cast<WPARAM>(VK_F9));
}

TEST_F(Typing, PasteModeFillsARemoteLikeWindowAndTheClipboardKeepsTextAndPictures) {
  Start(L"[输入]\n方式 = 粘贴\n");
  {
    const ClipboardWindow owner;
    const OpenedClipboard clipboard(owner.get(), 5000);
    ASSERT_TRUE(clipboard && ::EmptyClipboard());
    const std::wstring copied = L"操作员复制的文字";
    const HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, (copied.size() + 1) * sizeof(wchar_t));
    std::memcpy(::GlobalLock(memory), copied.c_str(), (copied.size() + 1) * sizeof(wchar_t));
    ::GlobalUnlock(memory);
    ASSERT_TRUE(::SetClipboardData(CF_UNICODETEXT, memory));
  }
  RemoteLikeWindow remote;
  ASSERT_TRUE(remote.Focus());
  PressKey(VK_F5);
  EXPECT_TRUE(WaitFor([&] { return remote.text == L"江南省临水市青石区杏花巷十八号"; }, 3000));
  EXPECT_EQ(remote.pastes, 1);
  EXPECT_EQ(remote.packets, 0);
  EXPECT_TRUE(WaitFor([] { return ClipboardText() == L"操作员复制的文字"; }, 3000));

  const DWORD colours[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
  {
    const ClipboardWindow owner;
    const OpenedClipboard clipboard(owner.get(), 5000);
    ASSERT_TRUE(clipboard && ::EmptyClipboard());
    ASSERT_TRUE(::SetClipboardData(CF_BITMAP, ::CreateBitmap(2, 2, 1, 32, colours)));
  }
  remote.text.clear();
  PressKey(VK_F1);
  EXPECT_TRUE(WaitFor([&] { return remote.text == L"欧阳明月"; }, 3000));
  // Put back: the same picture, not the pasted text.
  EXPECT_TRUE(WaitFor([] { return ClipboardText() == L"(none)"; }, 3000));
  const OpenedClipboard clipboard(nullptr, 5000);
  ASSERT_TRUE(clipboard);
  const UniqueBitmap copy(static_cast<HBITMAP>(
      ::CopyImage(::GetClipboardData(CF_BITMAP), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
  ASSERT_TRUE(copy);
  BITMAPINFO info{{sizeof(BITMAPINFOHEADER), 2, -2, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
  DWORD pixels[4] = {};
  const WindowDC screen(nullptr);
  ASSERT_EQ(::GetDIBits(screen.get(), copy.get(), 0, 2, pixels, &info, DIB_RGB_COLORS), 2);
  for (DWORD& p : pixels) p &= 0xFFFFFF;
  EXPECT_EQ(std::vector<DWORD>(pixels, pixels + 4),
            (std::vector<DWORD>{0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}));
}

TEST_F(Typing, KeysModeTypesIdNumbersAsRealKeysAlsoWithCapsLockOn) {
  Start(L"[模板]\nF9 = {身份证号} Ab-{姓名}\n[输入]\n方式 = 按键\n");
  RemoteLikeWindow remote;
  ASSERT_TRUE(remote.Focus());
  PressKey(VK_F6);
  EXPECT_TRUE(WaitFor([&] { return remote.text == L"11010519880315002X"; }, 3000)) << remote.text;
  EXPECT_EQ(remote.packets, 0);

  PressKey(VK_CAPITAL);
  remote.text.clear();
  PressKey(VK_F9);  // the name goes as Unicode events, which this window drops
  EXPECT_TRUE(WaitFor([&] { return remote.text == L"11010519880315002X Ab-"; }, 3000))
      << remote.text;
  EXPECT_EQ(remote.packets, 4);
  PressKey(VK_CAPITAL);

  DigitsOnlyEdit digits;
  digits.Focus();
  PressKey(VK_F6);
  EXPECT_TRUE(digits.WaitForText(L"11010519880315002X"));
  EXPECT_EQ(digits.rejected, 0);
}

// A copy of this executable under another name, showing a RemoteLikeWindow.
class TargetProgram {
 public:
  TargetProgram(const Sandbox& box, const std::wstring& name) {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    ::CopyFileW(self, box.Path(name).c_str(), FALSE);
    std::wstring line = L"\"" + box.Path(name) + L"\" --remote-target";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    ::CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, box.Folder().c_str(),
                     &si, &pi_);
    WaitFor([&] { return (window_ = Find()) != nullptr; }, 10000);
  }
  ~TargetProgram() {
    if (window_) ::PostMessageW(window_, WM_CLOSE, 0, 0);
    if (pi_.hProcess && ::WaitForSingleObject(pi_.hProcess, 5000) != WAIT_OBJECT_0) {
      ::TerminateProcess(pi_.hProcess, 1);
    }
    if (pi_.hProcess) ::CloseHandle(pi_.hProcess);
    if (pi_.hThread) ::CloseHandle(pi_.hThread);
  }
  bool Focus() const { return window_ && BringForward(window_, window_); }
  std::wstring Caption() const {
    wchar_t text[512] = {};
    ::SendMessageTimeoutW(window_, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text),
                          SMTO_ABORTIFHUNG, 3000, nullptr);
    return text;
  }

 private:
  HWND Find() const {
    for (HWND w = ::FindWindowExW(nullptr, nullptr, L"KeyEntryTestRemote", nullptr); w;
         w = ::FindWindowExW(nullptr, w, L"KeyEntryTestRemote", nullptr)) {
      DWORD pid = 0;
      ::GetWindowThreadProcessId(w, &pid);
      if (pid == pi_.dwProcessId && ::IsWindowVisible(w)) return w;
    }
    return nullptr;
  }
  PROCESS_INFORMATION pi_{};
  HWND window_ = nullptr;
};

TEST_F(Typing, EachProgramGetsTheModeOfItsOwnSection) {
  Start(
      L"[输入]\n方式 = 字符\n[程序:Keys-Target.EXE]\n方式 = 按键\n[程序:paste-target]\n方式 = "
      L"粘贴\n");
  // This test program has no section: Unicode events, as ever.
  TargetEdit own;
  own.Focus();
  own.ClearKeyDowns();
  PressKey(VK_F3);
  EXPECT_TRUE(own.WaitForText(L"汉"));
  EXPECT_EQ(own.KeyDowns(), std::vector<WPARAM>{VK_PACKET});
  TargetProgram keys(box, L"keys-target.exe");
  TargetProgram paste(box, L"paste-target.exe");
  ASSERT_TRUE(keys.Focus());
  PressKey(VK_F6);
  EXPECT_TRUE(WaitFor(
      [&] { return keys.Caption() == L"keys 18 packets 0 pastes 0|11010519880315002X"; }, 3000))
      << keys.Caption();
  ASSERT_TRUE(paste.Focus());
  PressKey(VK_F1);
  EXPECT_TRUE(
      WaitFor([&] { return paste.Caption() == L"keys 0 packets 0 pastes 1|欧阳明月"; }, 3000))
      << paste.Caption();
}

}  // namespace
}  // namespace keyentry::wintest
