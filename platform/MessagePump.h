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

}  // namespace keyentry
