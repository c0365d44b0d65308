#include "platform/TypingThread.h"

#include <utility>

#include "core/TypingPlan.h"
#include "platform/Win32KeyLayout.h"

namespace keyentry {

namespace {
constexpr DWORD kRestoreRetryMs = 500;      // while something could not be put back
constexpr DWORD kRestoreGiveUpMs = 60000;   // and for this long at most
constexpr DWORD kRestoreOpenWaitMs = 5000;  // at the end of a paste
}  // namespace

bool TypingThread::Start() {
  if (thread_.joinable()) return true;
  wake_.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
  stop_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!wake_ || !stop_) return false;
  stopping_ = false;
  busy_ = false;
  thread_ = std::thread([this] { Run(); });
  return true;
}

void TypingThread::Stop() {
  if (!thread_.joinable()) return;
  stopping_ = true;
  ::SetEvent(stop_.get());
  ::SetEvent(wake_.get());
  thread_.join();
  busy_ = false;
}

bool TypingThread::Queue(TypingJob job) {
  if (!thread_.joinable() || stopping_.load()) return false;
  bool expected = false;
  if (!busy_.compare_exchange_strong(expected, true)) return false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    job_ = std::move(job);
  }
  ::SetEvent(wake_.get());
  return true;
}

void TypingThread::Pause(DWORD ms) const {
  const DWORD start = ::GetTickCount();
  const HANDLE stop = stop_.get();
  for (;;) {
    MSG msg;
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    const DWORD elapsed = ::GetTickCount() - start;
    if (elapsed >= ms || stopping_.load()) return;
    ::MsgWaitForMultipleObjectsEx(1, &stop, ms - elapsed, QS_SENDMESSAGE, 0);
  }
}

void TypingThread::Run() {
  // The clipboard's owner while pasting; it answers the messages other
  // programs send it whenever this thread waits.
  const ClipboardWindow clipboardWindow;
  const HANDLE wake = wake_.get();
  for (;;) {
    const DWORD timeout = unrestored_ ? kRestoreRetryMs : INFINITE;
    ::MsgWaitForMultipleObjectsEx(1, &wake, timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);

    std::optional<TypingJob> job;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      job.swap(job_);
    }
    if (job) {
      if (unrestored_) RetryRestore(clipboardWindow.get(), kOpenWaitMs);
      RunJob(*job, clipboardWindow.get());
      busy_ = false;
    }
    if (unrestored_) RetryRestore(clipboardWindow.get(), 0);
    if (stopping_.load()) {
      if (unrestored_) RetryRestore(clipboardWindow.get(), kOpenWaitMs);
      return;
    }
  }
}

void TypingThread::RunJob(const TypingJob& job, HWND clipboardWindow) {
  const Win32KeyLayout layout(job.layout, job.capsLock);
  // Modifiers still held now are released behind the masking key, as
  // SendStr.dll does; the plan never presses them again.
  const TypingPlan plan = PlanTyping(job.steps, job.settings, input_.HeldModifiers(), layout);

  ClipboardPasteOptions options;
  options.window = clipboardWindow;
  options.openTimeoutMs = kOpenWaitMs;
  options.readWaitMs = kReadWaitMs;
  options.restoreTimeoutMs = kRestoreOpenWaitMs;
  PasteSession session(clipboardWindow, options);
  bool clipboardRefused = false;  // then the rest goes as Unicode events, without waiting again
  for (const TypingChunk& chunk : plan) {
    if (stopping_.load()) break;
    if (chunk.kind == ChunkKind::kPaste) {
      const bool pasted = !clipboardRefused && clipboardWindow &&
                          session.Paste(chunk.pasteText, [&] { input_.Send(chunk.events); });
      if (!pasted) {
        clipboardRefused = true;
        input_.Send(chunk.fallback);
      }
    } else {
      input_.Send(chunk.events);
    }
    if (chunk.pauseAfterMs > 0) Pause(static_cast<DWORD>(chunk.pauseAfterMs));
  }
  ClipboardPasteResult result = session.Finish();
  if (result.restore == ClipboardRestore::Failed) {
    unrestored_ = std::move(result.unrestored);
    unrestoredSequence_ = ::GetClipboardSequenceNumber();
    unrestoredSince_ = ::GetTickCount();
  }
}

void TypingThread::RetryRestore(HWND clipboardWindow, DWORD openWaitMs) {
  if (!unrestored_) return;
  // Another program has put something on the clipboard since: that stays.
  if (::GetClipboardSequenceNumber() != unrestoredSequence_ ||
      ::GetTickCount() - unrestoredSince_ >= kRestoreGiveUpMs) {
    unrestored_.reset();
    return;
  }
  bool restored = false;
  {
    const OpenedClipboard clipboard(clipboardWindow, openWaitMs);
    if (!clipboard) return;
    restored = unrestored_->Restore(clipboard);
  }
  if (restored) {
    unrestored_.reset();
  } else {
    unrestoredSequence_ = ::GetClipboardSequenceNumber();  // the part that went back
  }
}

}  // namespace keyentry
