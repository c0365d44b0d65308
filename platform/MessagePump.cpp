#include "platform/MessagePump.h"

#include <cstdint>

namespace keyentry {

namespace {
void Dispatch(MSG& msg) {
  ::TranslateMessage(&msg);
  ::DispatchMessageW(&msg);
}
}  // namespace

void RunMessageLoop(const std::function<bool(MSG&)>& preview) {
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (preview && preview(msg)) continue;
    Dispatch(msg);
  }
}

void PumpMessagesFor(DWORD ms) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) Dispatch(msg);
    const DWORD elapsed = ::GetTickCount() - start;
    if (elapsed >= ms) return;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed, QS_ALLINPUT);
  }
}

void WaitServingSentMessages(DWORD ms) { ServeSentMessagesUntil(ms, nullptr, nullptr); }

bool ServeSentMessagesUntil(DWORD ms, HANDLE stop, const std::function<bool()>& done) {
  const DWORD start = Now();
  for (;;) {
    MSG msg;
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    if (stop && ::WaitForSingleObject(stop, 0) == WAIT_OBJECT_0) return false;
    if (done && done()) return true;
    const DWORD elapsed = Now() - start;
    if (elapsed >= ms) return true;
    ::MsgWaitForMultipleObjectsEx(stop ? 1 : 0, &stop, ms - elapsed, QS_SENDMESSAGE, 0);
  }
}

DWORD MsUntil(DWORD t) {
  const auto left = static_cast<std::int32_t>(t - Now());
  return left > 0 ? static_cast<DWORD>(left) : 0;
}

}  // namespace keyentry
