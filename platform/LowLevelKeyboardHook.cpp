#include "platform/LowLevelKeyboardHook.h"

namespace keyentry {

std::atomic<LowLevelKeyboardHook*> LowLevelKeyboardHook::owner_{nullptr};

LowLevelKeyboardHook::LowLevelKeyboardHook(HookTableStore& tables, TextSender& sender)
    : tables_(tables), sender_(sender) {}

LowLevelKeyboardHook::~LowLevelKeyboardHook() { Remove(); }

bool LowLevelKeyboardHook::Install() {
  if (thread_.joinable()) return true;  // installed already: keep it
  UniqueKernelHandle ready(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!ready) return false;
  owner_.store(this);
  HANDLE readyEvent = ready.get();
  thread_ = std::thread([this, readyEvent] { Run(readyEvent); });
  ::WaitForSingleObject(ready.get(), INFINITE);
  if (!hook_) {  // the thread has ended: installation failed
    thread_.join();
    owner_.store(nullptr);
    return false;
  }
  return true;
}

void LowLevelKeyboardHook::Remove() {
  if (!thread_.joinable()) return;
  ::PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
  thread_.join();
  owner_.store(nullptr);
}

void LowLevelKeyboardHook::Run(HANDLE ready) {
  threadId_ = ::GetCurrentThreadId();
  MSG msg;
  ::PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // make the queue
  ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
  hook_.reset(
      ::SetWindowsHookExW(WH_KEYBOARD_LL, &KeyboardHookProc, ::GetModuleHandleW(nullptr), 0));
  const bool installed = static_cast<bool>(hook_);
  ::SetEvent(ready);  // `ready` may be gone after this
  if (!installed) return;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::DispatchMessageW(&msg);
  }
  hook_.reset();  // removed by the thread that installed it
}

LRESULT CALLBACK LowLevelKeyboardHook::KeyboardHookProc(int code, WPARAM wParam, LPARAM lParam) {
  LowLevelKeyboardHook* self = owner_.load();
  if (self == nullptr || code < 0) return ::CallNextHookEx(nullptr, code, wParam, lParam);
  const auto* record = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
  const auto table = self->tables_.Current();
  const HookDecision decision = DecideKeyEvent(*table, code, static_cast<std::uint32_t>(wParam),
                                               record->vkCode, self->sender_);
  if (decision.callNextHook) return ::CallNextHookEx(self->hook_.get(), code, wParam, lParam);
  return decision.result;
}

}  // namespace keyentry
