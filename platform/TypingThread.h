#pragma once
// The typing thread: types what must not be typed inside the keyboard hook
// callback (anything with pauses, and pasting), one job at a time. The hook
// callback only hands a job over; while it runs the thread is "busy" and the
// hook swallows assigned keys (see DecideKeyAction).
#include <windows.h>

#include <atomic>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "core/SettingsFile.h"
#include "core/Template.h"
#include "platform/Clipboard.h"
#include "platform/Handles.h"
#include "platform/KeyInput.h"

namespace keyentry {

// What one key press types, as the hook found it at the press.
struct TypingJob {
  std::vector<TypingStep> steps;
  TypingSettings settings;
  HKL layout = nullptr;  // of the foreground window's thread (keys mode)
  bool capsLock = false;
};

class TypingThread {
 public:
  TypingThread() = default;
  ~TypingThread() { Stop(); }
  TypingThread(const TypingThread&) = delete;
  TypingThread& operator=(const TypingThread&) = delete;

  // Starts the thread unless it runs; false when it cannot be started.
  bool Start();
  // Ends the thread: pauses still to come in a running job are cut short and
  // its remaining steps left out, but what the clipboard held is put back.
  void Stop();

  // True from Queue until the job has been typed completely (and the
  // clipboard put back).
  bool Busy() const { return busy_.load(); }

  // Hands the job over and returns at once (from the hook callback). False,
  // and nothing queued, while another job is busy or the thread is not
  // running.
  bool Queue(TypingJob job);

  // How long the target gets to read a pasted text before the clipboard
  // changes again, and how long a busy clipboard is waited for.
  static constexpr DWORD kReadWaitMs = 300;
  static constexpr DWORD kOpenWaitMs = 500;

 private:
  void Run();
  void RunJob(const TypingJob& job, HWND clipboardWindow);
  // Waits, serving sent messages, until the time is up or Stop is called.
  void Pause(DWORD ms) const;
  // Tries to put back what a paste could not put back at its end.
  void RetryRestore(HWND clipboardWindow, DWORD openWaitMs);

  KeyInput input_;
  std::thread thread_;
  UniqueKernelHandle wake_;  // auto-reset: a job or Stop
  UniqueKernelHandle stop_;  // manual-reset: Stop
  std::atomic<bool> busy_{false};
  std::atomic<bool> stopping_{false};
  std::mutex mutex_;
  std::optional<TypingJob> job_;  // guarded by mutex_

  // Typing thread only: a clipboard content not yet put back, and the
  // clipboard's sequence number when that was last tried (a newer one means
  // another program has put something there: then it stays).
  std::optional<ClipboardSnapshot> unrestored_;
  DWORD unrestoredSequence_ = 0;
  DWORD unrestoredSince_ = 0;
};

}  // namespace keyentry
