#include "platform/LowLevelKeyboardHook.h"

#include <cstring>

#include "platform/Handles.h"

namespace keyentry {

std::atomic<LowLevelKeyboardHook*> LowLevelKeyboardHook::owner_{nullptr};

namespace {
constexpr int kWhKeyboardLl = 13;

// The part of the hook's keyboard record that is looked at.
struct KeyRecord {
  DWORD vkCode;
  DWORD scanCode;
  DWORD flags;
  DWORD time;
};
static_assert(sizeof(KeyRecord) == 16, "first 16 bytes of KBDLLHOOKSTRUCT");
}  // namespace

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
  if (hook_ == nullptr) {  // the thread has ended: installation failed
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
  hook_ = ::SetWindowsHookExA(kWhKeyboardLl, &KeyboardHookProc, ::GetModuleHandleW(nullptr), 0);
  const bool installed = hook_ != nullptr;
  ::SetEvent(ready);  // `ready` may be gone after this
  if (!installed) return;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::DispatchMessageW(&msg);
  }
  ::UnhookWindowsHookEx(hook_);
  hook_ = nullptr;
}

LRESULT CALLBACK LowLevelKeyboardHook::KeyboardHookProc(int code, WPARAM wParam, LPARAM lParam) {
  LowLevelKeyboardHook* self = owner_.load();
  if (self == nullptr || code < 0) return ::CallNextHookEx(nullptr, code, wParam, lParam);
  KeyRecord record;
  std::memcpy(&record, reinterpret_cast<const void*>(lParam), sizeof record);
  const auto table = self->tables_.Current();
  const HookDecision decision = DecideKeyEvent(*table, code, static_cast<std::uint32_t>(wParam),
                                               record.vkCode, self->sender_);
  if (decision.callNextHook) return ::CallNextHookEx(self->hook_, code, wParam, lParam);
  return decision.result;
}

}  // namespace keyentry
