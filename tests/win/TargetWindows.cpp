// Windows of the test process that the program types into.
#include "TargetWindows.h"

#include <cstdio>
#include <cstring>

#include "platform/Clipboard.h"
#include "ui/res/resource.h"

namespace keyentry::wintest {

namespace {

HINSTANCE Instance() { return ::GetModuleHandleW(nullptr); }

constexpr UINT_PTR kLaterPaste = 100;  // timer ids from here: the slow target's pastes

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

}  // namespace

// Where the X input focus follows the foreground window (Wine's unmanaged
// windows, or a window manager), the programs learn of each X focus change a
// little later, and a window shown just before can take the foreground back
// when its own focus event arrives. So the window must keep the foreground
// for a moment, and is brought forward again if it loses it (for 10 s at
// most).
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

FormWindow::FormWindow(UINT focusDelayMs) : delayMs_(focusDelayMs) {
  frame_ = ::CreateWindowExW(0, L"STATIC", L"form", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 30, 30, 420,
                             160, nullptr, nullptr, Instance(), nullptr);
  for (int i = 0; i < 3; ++i) {
    // Scrolling as a form's field does: a text wider than the box (a full
    // path) is taken whole.
    boxes_[i] =
        ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, 5,
                          5 + 35 * i, 390, 28, frame_, nullptr, Instance(), nullptr);
    ::SetWindowLongPtrW(boxes_[i], GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    editProc_ = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(boxes_[i], GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&BoxProc)));
  }
  PumpMessagesFor(100);
}

FormWindow::~FormWindow() { ::DestroyWindow(frame_); }

bool FormWindow::Focus() { return BringForward(frame_, boxes_[0]); }

std::vector<std::wstring> FormWindow::Texts() const {
  std::vector<std::wstring> texts;
  for (HWND box : boxes_) {
    wchar_t text[256] = {};
    ::GetWindowTextW(box, text, 256);
    texts.emplace_back(text);
  }
  return texts;
}

void FormWindow::Clear() {
  for (HWND box : boxes_) ::SetWindowTextW(box, L"");
}

LRESULT CALLBACK FormWindow::BoxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
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

RemoteLikeWindow::RemoteLikeWindow() {
  Register(L"KeyEntryTestRemote", &Proc);
  window_ = ::CreateWindowExW(0, L"KeyEntryTestRemote", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40,
                              220, 420, 120, nullptr, nullptr, Instance(), this);
  Show();
  PumpMessagesFor(100);
}

RemoteLikeWindow::~RemoteLikeWindow() {
  if (::IsWindow(window_)) ::DestroyWindow(window_);
}

void RemoteLikeWindow::Show() {
  wchar_t caption[64];
  std::swprintf(caption, 64, L"keys %d packets %d pastes %d|", keys, packets, pastes);
  ::SetWindowTextW(window_, (caption + text).c_str());
}

void RemoteLikeWindow::KeyDown(WPARAM vk, LPARAM lParam) {
  if (digitsOnly && vk != VK_SHIFT && vk != VK_CAPITAL && !(vk >= '0' && vk <= '9') && vk != 'X') {
    ++refused;
  } else if (vk == VK_PACKET) {
    ++packets;
  } else if (vk == 'V' && (::GetKeyState(VK_CONTROL) & 0x8000)) {
    if (ignoreCtrlV) return;
    if (pasteAfterMs > 0) {
      ::SetTimer(window_, kLaterPaste + laterPastes_++, pasteAfterMs, nullptr);
      return;
    }
    PasteClipboard();
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

void RemoteLikeWindow::PasteClipboard() {
  ++pastes;
  for (int i = 0; i < 50 && !::OpenClipboard(window_); ++i) ::Sleep(10);
  if (const HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
    text += static_cast<const wchar_t*>(::GlobalLock(data));
    ::GlobalUnlock(data);
  }
  ::CloseClipboard();
  Show();
}

LRESULT CALLBACK RemoteLikeWindow::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* self = Owner<RemoteLikeWindow>(hwnd, msg, lParam);
  if (self && msg == WM_KEYDOWN) self->KeyDown(wParam, lParam);
  if (self && msg == WM_TIMER && wParam >= kLaterPaste) {
    ::KillTimer(hwnd, wParam);
    self->PasteClipboard();
    return 0;
  }
  if (msg == WM_CHAR || msg == WM_KEYDOWN) return 0;
  if (msg == WM_DESTROY && self && self->quitOnClose) ::PostQuitMessage(0);
  return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

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

// This executable started with KEYENTRY_TEST_CLIPBOARD_READER set to a file
// reads every new clipboard text at once and adds it to that file (UTF-16, a
// line each); the file is made once it listens.
constexpr const wchar_t* kReaderVariable = L"KEYENTRY_TEST_CLIPBOARD_READER";
// ... and, with KEYENTRY_TEST_CLIPBOARD_REPLACE set, replaces the text it read
// at once: "other-once" with a text of its own, the first text only;
// "copy-each" with a copy of it, as its own content, every time.
constexpr const wchar_t* kReplaceVariable = L"KEYENTRY_TEST_CLIPBOARD_REPLACE";
std::wstring readerFile;
ClipboardReaderAtOnce::Replace replaceMode = ClipboardReaderAtOnce::Replace::kNever;

void ReplaceRead(HWND hwnd, const std::wstring& text) {
  static bool replacedOnce = false;
  const bool other = replaceMode == ClipboardReaderAtOnce::Replace::kOtherOnce;
  if (replaceMode == ClipboardReaderAtOnce::Replace::kNever || text.empty() ||
      text == ClipboardReaderAtOnce::kOtherText || (other && replacedOnce)) {
    return;
  }
  replacedOnce = true;
  const std::wstring put = other ? std::wstring(ClipboardReaderAtOnce::kOtherText) : text;
  if (!::OpenClipboard(hwnd)) return;
  ::EmptyClipboard();
  const std::size_t size = (put.size() + 1) * sizeof(wchar_t);
  if (const HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, size)) {
    std::memcpy(::GlobalLock(memory), put.c_str(), size);
    ::GlobalUnlock(memory);
    if (!::SetClipboardData(CF_UNICODETEXT, memory)) ::GlobalFree(memory);
  }
  ::CloseClipboard();
}

LRESULT CALLBACK ReaderProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg != WM_CLIPBOARDUPDATE || !::OpenClipboard(hwnd)) {
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
  }
  std::wstring text;
  if (const HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
    text = static_cast<const wchar_t*>(::GlobalLock(data));
    ::GlobalUnlock(data);
  }
  ::CloseClipboard();
  ReplaceRead(hwnd, text);
  text += L'\n';
  const HANDLE file = ::CreateFileW(readerFile.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                    OPEN_ALWAYS, 0, nullptr);
  DWORD written = 0;
  ::WriteFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written,
              nullptr);
  ::CloseHandle(file);
  return 0;
}

[[maybe_unused]] const bool kRunAsReader = [] {
  wchar_t path[MAX_PATH] = {};
  if (::GetEnvironmentVariableW(kReaderVariable, path, MAX_PATH) == 0) return false;
  readerFile = path;
  wchar_t mode[32] = {};
  ::GetEnvironmentVariableW(kReplaceVariable, mode, 32);
  if (std::wstring(mode) == L"other-once") replaceMode = ClipboardReaderAtOnce::Replace::kOtherOnce;
  if (std::wstring(mode) == L"copy-each") replaceMode = ClipboardReaderAtOnce::Replace::kCopyEach;
  Register(L"KeyEntryTestReaderAtOnce", &ReaderProc);
  const HWND window = ::CreateWindowExW(0, L"KeyEntryTestReaderAtOnce", L"", 0, 0, 0, 0, 0,
                                        HWND_MESSAGE, nullptr, Instance(), nullptr);
  if (!window || !::AddClipboardFormatListener(window)) ::ExitProcess(1);
  ::CloseHandle(
      ::CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr));
  RunMessageLoop(nullptr);
  ::ExitProcess(0);
}();

ClipboardReaderAtOnce::ClipboardReaderAtOnce(const Sandbox& box, Replace replace)
    : file_(box.Path(L"read.txt")) {
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  ::CopyFileW(self, box.Path(L"history-tool.exe").c_str(), FALSE);
  const ScopedEnvironment helper(kReaderVariable, file_.c_str());
  const ScopedEnvironment mode(kReplaceVariable, replace == Replace::kOtherOnce  ? L"other-once"
                                                 : replace == Replace::kCopyEach ? L"copy-each"
                                                                                 : nullptr);
  program_ = std::make_unique<Program>(box, L"", L"history-tool.exe");
  listening_ = WaitFor(
      [&] { return ::GetFileAttributesW(file_.c_str()) != INVALID_FILE_ATTRIBUTES; }, 10000);
}

std::vector<std::wstring> ClipboardReaderAtOnce::Read() const {
  std::vector<std::wstring> texts;
  const HANDLE file = ::CreateFileW(file_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return texts;
  std::wstring all(::GetFileSize(file, nullptr) / sizeof(wchar_t), L'\0');
  DWORD read = 0;
  if (!all.empty()) {
    ::ReadFile(file, &all[0], static_cast<DWORD>(all.size() * sizeof(wchar_t)), &read, nullptr);
  }
  ::CloseHandle(file);
  for (std::size_t at = 0, end; (end = all.find(L'\n', at)) != std::wstring::npos; at = end + 1) {
    texts.push_back(all.substr(at, end - at));
  }
  return texts;
}

TargetProgram::TargetProgram(const Sandbox& box, const std::wstring& name) {
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

void TypingProgram::Start(const std::wstring& ini, bool withCard) {
  box.Write(L"KeyEntry.ini", ToCodePage(ini, CP_UTF8));
  const ScopedEnvironment seams(L"KEYENTRY_TEST_SEAMS", L"1");
  program = std::make_unique<Program>(box);
  ASSERT_TRUE(program->WaitForMainWindow());
  ASSERT_TRUE(WaitFor([&] { return program->HookWindow() != nullptr; }, 5000));
  if (withCard) {
    ASSERT_TRUE(WaitFor([&] { return program->Text(IDC_VALUE_NAME) == kCard[0]; }, 3000));
  }
}

int TypingProgram::Beeps() const {
  return static_cast<int>(program->AskHookSeam(L"KeyEntry.Test.WarningBeeps"));
}

}  // namespace keyentry::wintest
