#include "platform/LowLevelKeyboardHook.h"

#include <utility>

#include "platform/PhotoStore.h"
#include "platform/WindowMessages.h"

// How a dropped hook is found and brought back.
//
// Windows removes a low-level keyboard hook whose procedure once answers too
// slowly (LowLevelHooksTimeout, at most one second since Windows 10 1709), and
// tells nobody: the assigned keys would stay dead until a restart. The hook
// thread therefore keeps a second view of the keyboard: a hidden message-only
// window registered for Raw Input from keyboards with RIDEV_INPUTSINK, which
// receives WM_INPUT for every key-down whichever window has the focus. Raw
// Input does not depend on the hook. Both the hook procedure and WM_INPUT
// report the key-downs of assigned keys to a HookWatch (core/HookWatch.h):
// a key-down that Raw Input saw and the hook did not see within the grace
// period means the hook is gone. Then a new hook is installed and the old
// handle removed (see Renew). The watch never decides on one message alone,
// since Windows and Wine deliver the two in different orders, and on Windows
// a key the hook swallowed never reaches Raw Input at all.
//
// Anything slow stays off the hook procedure: the text-sending library is
// loaded before the hook is installed, and while it is missing the thread
// looks for it again on a timer, never inside the procedure.

namespace keyentry {

namespace {

constexpr UINT_PTR kWatchTimer = 1;
constexpr UINT_PTR kLoadTimer = 2;
constexpr UINT_PTR kAwakeTimer = 3;
constexpr UINT kWatchCheckMs = 50;   // while a Raw Input key-down waits for the hook
constexpr UINT kLoadRetryMs = 1000;  // while the text-sending library is missing
constexpr UINT kRenewWaitMs = 2000;  // the interface thread waits this long at most
// Wine takes a thread that has Raw Input waiting and has fetched no message
// for five seconds for hung, and then skips its hook: a hook thread left
// idle that long would lose the next key press. A timer keeps it fetching.
constexpr UINT kAwakeMs = 1000;

bool TestSeamsEnabled() {
  wchar_t value[4] = {};
  return ::GetEnvironmentVariableW(kTestSeamsVariable, value, 4) == 1 && value[0] == L'1';
}

bool IsKeyDown(WPARAM message) { return message == WM_KEYDOWN || message == WM_SYSKEYDOWN; }

HHOOK SetHook(HOOKPROC procedure) {
  return ::SetWindowsHookExW(WH_KEYBOARD_LL, procedure, ::GetModuleHandleW(nullptr), 0);
}

// Raw Input from every keyboard to one window, also while other windows have
// the focus; undone at the end of the scope.
class RawKeyboardSink {
 public:
  explicit RawKeyboardSink(HWND window) {
    if (!window) return;
    RAWINPUTDEVICE device{kGenericDesktop, kKeyboard, RIDEV_INPUTSINK, window};
    registered_ = ::RegisterRawInputDevices(&device, 1, sizeof device) != FALSE;
  }
  ~RawKeyboardSink() {
    if (!registered_) return;
    RAWINPUTDEVICE device{kGenericDesktop, kKeyboard, RIDEV_REMOVE, nullptr};
    ::RegisterRawInputDevices(&device, 1, sizeof device);
  }
  RawKeyboardSink(const RawKeyboardSink&) = delete;
  RawKeyboardSink& operator=(const RawKeyboardSink&) = delete;

 private:
  static constexpr USHORT kGenericDesktop = 1;  // HID usage page
  static constexpr USHORT kKeyboard = 6;        // HID usage
  bool registered_ = false;
};

}  // namespace

std::atomic<LowLevelKeyboardHook*> LowLevelKeyboardHook::owner_{nullptr};

LowLevelKeyboardHook::LowLevelKeyboardHook(HookTableStore& tables, SendStrDll& sender)
    : tables_(tables),
      sender_(sender),
      typing_(sender),
      testSeams_(TestSeamsEnabled()),
      typer_(sender, typing_) {
  if (testSeams_) {
    dropHookMessage_ = ::RegisterWindowMessageW(kDropHookMessageName);
    warningBeepsMessage_ = ::RegisterWindowMessageW(kWarningBeepsMessageName);
  }
}

LowLevelKeyboardHook::~LowLevelKeyboardHook() {
  Remove();
  typing_.Stop();
}

bool LowLevelKeyboardHook::Install() {
  if (thread_.joinable()) {
    // Running already: a new hook takes the old one's place, so a hook the
    // system dropped with no key pressed since comes back at a click of the
    // read button. A hook thread too busy to answer in time keeps its hook.
    DWORD_PTR installed = 1;
    const HWND window = window_.load();
    if (window &&
        ::SendMessageTimeoutW(window, kMsgHookRenew, 0, 0, SMTO_NORMAL, kRenewWaitMs, &installed)) {
      return installed != 0;
    }
    return true;
  }
  UniqueKernelHandle ready(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!ready || !typing_.Start()) return false;
  owner_.store(this);
  HANDLE readyEvent = ready.get();
  thread_ = std::thread([this, readyEvent] { Run(readyEvent); });
  ::WaitForSingleObject(ready.get(), INFINITE);
  if (!hook_) {  // the thread has ended: installation failed
    thread_.join();
    owner_.store(nullptr);
    typing_.Stop();
    return false;
  }
  return true;
}

void LowLevelKeyboardHook::Remove() {
  if (!thread_.joinable()) return;
  ::PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
  thread_.join();
  owner_.store(nullptr);
  {
    std::lock_guard<std::mutex> lock(onReadMutex_);
    onRead_.clear();
    tests_.clear();
  }
  // No new entry can come now. The typing thread drops what is queued, puts
  // the clipboard back and ends by itself: the window does not wait for it.
  typing_.RequestStop();
}

void LowLevelKeyboardHook::TypeOnRead() {
  const HWND window = window_.load();
  if (!window) return;
  {
    std::lock_guard<std::mutex> lock(onReadMutex_);
    onRead_.push_back(tables_.Current());
  }
  ::PostMessageW(window, kMsgHookTypeOnRead, 0, 0);
}

HookFacts LowLevelKeyboardHook::Facts() const {
  HookFacts facts;
  facts.installed = installed_.load();
  if (sawKey_.load()) facts.msSinceKey = ::GetTickCount() - lastKeyTick_.load();
  facts.renewals = renewals_.load();
  return facts;
}

bool LowLevelKeyboardHook::TypeTest(TypingMode mode, const std::wstring& text) {
  const HWND window = window_.load();
  if (!window) return false;
  {
    std::lock_guard<std::mutex> lock(onReadMutex_);
    tests_.emplace_back(mode, text);
  }
  return ::PostMessageW(window, kMsgHookTypingTest, 0, 0) != FALSE;
}

void LowLevelKeyboardHook::CarryTestRequests() {
  std::vector<std::pair<TypingMode, std::wstring>> requests;
  {
    std::lock_guard<std::mutex> lock(onReadMutex_);
    requests.swap(tests_);
  }
  for (const auto& [mode, text] : requests) {
    bool taken = true;
    try {
      taken = typer_.CarryTest(mode, text);
    } catch (...) {
      taken = false;
    }
    if (!taken) WarningBeep();
  }
}

void LowLevelKeyboardHook::CarryOnReadRequests() {
  std::vector<std::shared_ptr<const HookTable>> requests;
  {
    std::lock_guard<std::mutex> lock(onReadMutex_);
    requests.swap(onRead_);
  }
  for (const auto& table : requests) {
    bool taken = true;
    try {
      taken = typer_.CarryOnRead(*table);
    } catch (...) {
      taken = false;  // out of memory: this card is not typed
    }
    if (!taken) WarningBeep();
  }
}

void LowLevelKeyboardHook::Run(HANDLE ready) {
  threadId_ = ::GetCurrentThreadId();
  MSG msg;
  ::PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // make the queue
  ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
  // Before the hook exists, so no key press ever waits for the load.
  sender_.Load();
  {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &WindowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kHookWindowClass;
    ::RegisterClassExW(&wc);  // fails harmlessly when registered by an earlier hook thread
    UniqueWindow window(::CreateWindowExW(0, kHookWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                          nullptr, wc.hInstance, this));
    window_.store(window.get());
    const RawKeyboardSink rawInput(window.get());
    hook_.reset(SetHook(&KeyboardHookProc));
    const bool installed = static_cast<bool>(hook_);
    installed_ = installed;
    ::SetEvent(ready);  // `ready` may be gone after this
    if (installed) {
      if (window && !sender_.Loaded()) ::SetTimer(window.get(), kLoadTimer, kLoadRetryMs, nullptr);
      if (window) ::SetTimer(window.get(), kAwakeTimer, kAwakeMs, nullptr);
      while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::DispatchMessageW(&msg);
      }
      hook_.reset();  // removed by the thread that installed it
      installed_ = false;
    }
    window_.store(nullptr);
  }
}

LRESULT CALLBACK LowLevelKeyboardHook::WindowProc(HWND hwnd, UINT msg, WPARAM wParam,
                                                  LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<LowLevelKeyboardHook*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return ::DefWindowProcW(hwnd, msg, wParam, lParam);
  return self->HandleMessage(hwnd, msg, wParam, lParam);
}

LRESULT LowLevelKeyboardHook::HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (testSeams_ && dropHookMessage_ != 0 && msg == dropHookMessage_) {
    // What the system does to a slow hook: gone, and the program not told.
    return ::UnhookWindowsHookEx(hook_.get()) ? 1 : 0;
  }
  if (testSeams_ && warningBeepsMessage_ != 0 && msg == warningBeepsMessage_) {
    return static_cast<LRESULT>(WarningBeepCount());
  }
  switch (msg) {
    case kMsgHookBeep:
      WarningBeep();
      return 0;
    case kMsgHookTypeOnRead:
      CarryOnReadRequests();
      return 0;
    case kMsgHookTypingTest:
      CarryTestRequests();
      return 0;
    case WM_INPUT:
      OnRawInput(lParam);
      break;  // DefWindowProc frees what the system keeps for the message
    case WM_TIMER:
      if (wParam == kWatchTimer) CheckWatch();
      if (wParam == kLoadTimer && sender_.Load()) ::KillTimer(hwnd, kLoadTimer);
      return 0;
    case kMsgHookRenew:
      return Renew() ? 1 : 0;
    default:
      break;
  }
  return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

void LowLevelKeyboardHook::OnRawInput(LPARAM lParam) {
  RAWINPUT raw{};
  UINT size = sizeof raw;
  if (::GetRawInputData(reinterpret_cast<HRAWINPUT>(lParam), RID_INPUT, &raw, &size,
                        sizeof(RAWINPUTHEADER)) == static_cast<UINT>(-1)) {
    return;
  }
  if (raw.header.dwType != RIM_TYPEKEYBOARD || (raw.data.keyboard.Flags & RI_KEY_BREAK) != 0) {
    return;
  }
  const USHORT vk = raw.data.keyboard.VKey;
  if (!IsAssignedKey(*tables_.Current(), vk)) return;
  watch_.RawInputSaw(vk, ::GetTickCount());
  CheckWatch();
}

void LowLevelKeyboardHook::CheckWatch() {
  if (watch_.RenewDue(::GetTickCount())) Renew();
  if (watch_.Waiting() && !watchTimerOn_) {
    watchTimerOn_ = ::SetTimer(window_.load(), kWatchTimer, kWatchCheckMs, nullptr) != 0;
  } else if (!watch_.Waiting() && watchTimerOn_) {
    ::KillTimer(window_.load(), kWatchTimer);
    watchTimerOn_ = false;
  }
}

bool LowLevelKeyboardHook::Renew() {
  // The new hook is installed first, then the old handle is removed. If the
  // system has dropped the old hook already, removing it just fails. If the
  // old one still works, the two are installed together for an instant, and
  // still no key press types twice: the newest hook is called first, and a
  // hook that swallows a key (every assigned key-down) does not call the next
  // hook, so the older one never sees that key; the keys it does pass on are
  // the ones that type nothing. Without a new hook the old one is kept.
  watch_.Reset();
  // Key-ups missed while the hook was gone would leave a template key held.
  keys_ = HookKeyState();
  UniqueHook fresh(SetHook(&KeyboardHookProc));
  if (!fresh) return static_cast<bool>(hook_);
  if (fresh.get() == hook_.get()) {
    hook_.release();  // the system gave the dropped hook's handle to the new one
  }
  UniqueHook old = std::move(hook_);
  hook_ = std::move(fresh);
  ++renewals_;
  return true;  // `old` is removed here
}

LRESULT CALLBACK LowLevelKeyboardHook::KeyboardHookProc(int code, WPARAM wParam, LPARAM lParam) {
  LowLevelKeyboardHook* self = owner_.load();
  if (self == nullptr || code < 0) return ::CallNextHookEx(nullptr, code, wParam, lParam);
  const auto* record = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
  self->lastKeyTick_ = ::GetTickCount();
  self->sawKey_ = true;
  const auto table = self->tables_.Current();
  const HookAction action = DecideKeyAction(*table, self->keys_, code,
                                            static_cast<std::uint32_t>(wParam), record->vkCode);
  bool taken = true;
  try {
    taken = self->typer_.Carry(*table, action);
  } catch (...) {
    // Out of memory: nothing is typed, and nothing escapes into the system.
  }
  // The queue was full: the one sign is a beep, given after the callback.
  if (!taken) ::PostMessageW(self->window_.load(), kMsgHookBeep, 0, 0);
  const HookDecision decision = ToHookDecision(action);
  // Noted when done: typing the field may take a while under Wine, and Raw
  // Input's report of this key is served after the procedure has returned.
  if (IsKeyDown(wParam) && IsAssignedKey(*table, record->vkCode)) {
    self->watch_.HookSaw(static_cast<std::uint16_t>(record->vkCode), ::GetTickCount());
  }
  if (decision.callNextHook) return ::CallNextHookEx(self->hook_.get(), code, wParam, lParam);
  return decision.result;
}

}  // namespace keyentry

namespace keyentry {

void LowLevelKeyboardHook::NewCard() { PhotoStore::Instance().DeleteAll(); }

}  // namespace keyentry
