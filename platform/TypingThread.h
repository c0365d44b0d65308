#pragma once
// The typing thread: types the entries of the typing queue (core/TypingQueue.h)
// one after the other, in the order they came: everything that must not be
// typed inside the keyboard hook callback (pauses, pasting), and every press
// that came while something else was queued or typing.
//
// Before each part of an entry it checks that the window that had the focus
// when the entry was made still has it; if another window has it now, the
// rest of that entry is dropped with a warning beep, so that card data never
// lands in a program the operator did not choose. An entry that fails (out
// of memory, for one) is dropped with a beep too, and the thread goes on.
//
// Pasting (platform/Clipboard.h): when the clipboard's old content goes back
// is decided by core/ClipboardHold.h; this thread tells it when entries start
// and end and what is still to type, and tries to put the old content back
// where it says so: after an entry, or inside a pause of one (never making
// the pause longer). What comes next within an entry (focus checks, pastes,
// the fallback to Unicode events, beeps) is decided by core/EntryRun.h; this
// thread only carries it out.
#include <windows.h>

#include <atomic>
#include <functional>
#include <thread>

#include "core/EntryRun.h"
#include "core/KeyboardHook.h"
#include "core/TypingQueue.h"
#include "platform/Clipboard.h"
#include "platform/Handles.h"
#include "platform/KeyInput.h"

namespace keyentry {

// The one audible sign of a press that was not typed: a full queue, a
// window that lost the focus, a failed entry. Counted, for the program's
// tests (see LowLevelKeyboardHook's test seams).
void WarningBeep();
unsigned WarningBeepCount();

class TypingThread {
 public:
  // library: the text-sending library, for field keys typed through it.
  explicit TypingThread(TextSender& library) : library_(library) {}
  ~TypingThread() { Stop(); }
  TypingThread(const TypingThread&) = delete;
  TypingThread& operator=(const TypingThread&) = delete;

  TypingQueue& Queue() { return queue_; }

  // Starts the thread unless it runs (a thread told to stop is waited for
  // first); false when it cannot be started.
  bool Start();
  // Returns at once: what is queued is dropped, the entry being typed stops
  // at its next step, and the thread puts the clipboard's old content back
  // and ends by itself.
  void RequestStop();
  // RequestStop, then waits for the thread to end.
  void Stop();

  // An entry has been queued (or typing at once has ended).
  void Wake();

 private:
  void Run();
  void TypeEntry(TypingEntry& entry, ClipboardPaster& paster);
  // Does what the entry's run says until it is over (core/EntryRun.h).
  // planPath: the events that type a photo file's path (none: no photo file).
  using PathPlanner = std::function<std::vector<input::KeyEvent>(const std::wstring&)>;
  void Carry(EntryRun& run, const TypingEntry& entry, ClipboardPaster& paster,
             const PathPlanner& planPath = nullptr);
  // Waits, serving sent messages, until the tick count `until` or Stop; the
  // clipboard goes back meanwhile when its time comes (pasteFollows: the
  // entry pastes again after the pause).
  void Pause(std::uint32_t until, ClipboardPaster& paster, bool pasteFollows);
  // Tells the hold what is ahead and does what it decides, waiting at most
  // waitMs for a busy clipboard; returns the decision that then stands.
  ClipboardDecision RestoreWhenDue(ClipboardPaster& paster, bool pasteFollows, DWORD waitMs);
  bool Stopping() const { return stopping_.load(); }

  TextSender& library_;
  TypingQueue queue_;
  KeyInput input_;
  std::thread thread_;
  UniqueKernelHandle wake_;  // auto-reset: an entry, or Stop
  UniqueKernelHandle stop_;  // manual-reset: Stop
  std::atomic<bool> stopping_{false};
};

}  // namespace keyentry
