#pragma once
// Serving the messages of the calling thread: the program's message loop, and
// a pump that serves them for a given time (for tests and benchmarks that
// wait on windows of their own or of another process).
#include <windows.h>

#include <functional>

namespace keyentry {

// Translates and dispatches this thread's messages until WM_QUIT arrives (or
// GetMessageW fails). `preview` sees each message first; a message it takes
// (answers true for) is not dispatched again: dialog keys, for example.
void RunMessageLoop(const std::function<bool(MSG&)>& preview);

// Translates and dispatches the messages that are waiting or arrive within
// the next `ms` milliseconds, then returns.
void PumpMessagesFor(DWORD ms);

// Waits `ms` milliseconds, serving meanwhile only the messages other threads
// send to this thread's windows (a program emptying the clipboard sends one
// to its owner and waits for the answer); posted messages stay queued for the
// thread's own loop. The wait of a worker thread that owns windows: never a
// plain Sleep.
void WaitServingSentMessages(DWORD ms);

// The one such wait: serves sent messages until done() holds (may be
// empty: never), `ms` pass, or the event `stop` (may be null) is set; false
// when stopped.
bool ServeSentMessagesUntil(DWORD ms, HANDLE stop, const std::function<bool()>& done);

// The tick count now, and the milliseconds from now until the tick count t
// (0 when it has passed; tick counts may wrap around).
inline DWORD Now() { return ::GetTickCount(); }
DWORD MsUntil(DWORD t);

}  // namespace keyentry
