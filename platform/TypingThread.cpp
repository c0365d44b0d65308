#include "platform/TypingThread.h"

#include <algorithm>
#include <utility>

#include "core/TypingPlan.h"
#include "core/Wipe.h"
#include "platform/PhotoStore.h"
#include "platform/Win32KeyLayout.h"

namespace keyentry {

namespace {

std::atomic<unsigned> beeps{0};

DWORD Now() { return ::GetTickCount(); }

// Milliseconds from now until the tick count t (0 when it has passed).
DWORD MsUntil(std::uint32_t t) {
  const auto left = static_cast<std::int32_t>(t - Now());
  return left > 0 ? static_cast<DWORD>(left) : 0;
}

bool StillFocused(const TypingEntry& entry) {
  return entry.window != 0 && ::GetForegroundWindow() == reinterpret_cast<HWND>(entry.window);
}

}  // namespace

void WarningBeep() {
  ++beeps;
  ::MessageBeep(MB_ICONWARNING);
}

unsigned WarningBeepCount() { return beeps.load(); }

bool TypingThread::Start() {
  if (thread_.joinable() && !Stopping()) return true;
  Stop();  // one told to stop ends first
  wake_.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
  stop_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!wake_ || !stop_) return false;
  stopping_ = false;
  queue_.Reopen();
  thread_ = std::thread([this] { Run(); });
  return true;
}

void TypingThread::RequestStop() {
  if (!thread_.joinable() || Stopping()) return;
  stopping_ = true;
  queue_.Close();
  ::SetEvent(stop_.get());
  ::SetEvent(wake_.get());
}

void TypingThread::Stop() {
  RequestStop();
  if (thread_.joinable()) thread_.join();
}

void TypingThread::Wake() {
  if (wake_) ::SetEvent(wake_.get());
}

void TypingThread::Pause(DWORD ms, ClipboardPaster& paster, bool pasteFollows) {
  const DWORD start = Now();
  const HANDLE stop = stop_.get();
  for (;;) {
    MSG msg;
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    DWORD elapsed = Now() - start;
    if (elapsed >= ms || Stopping()) return;
    // An attempt to put the clipboard back waits no longer than the pause.
    const ClipboardDecision decision = RestoreWhenDue(
        paster, pasteFollows, std::min<DWORD>(ms - elapsed, paster.Timings().restoreWaitMs));
    elapsed = Now() - start;
    if (elapsed >= ms || Stopping()) return;
    DWORD wait = ms - elapsed;
    if (decision.action == ClipboardAction::kWaitUntil) {
      wait = std::min(wait, MsUntil(decision.until));
    }
    ::MsgWaitForMultipleObjectsEx(1, &stop, wait, QS_SENDMESSAGE, 0);
  }
}

ClipboardDecision TypingThread::RestoreWhenDue(ClipboardPaster& paster, bool pasteFollows,
                                               DWORD waitMs) {
  ClipboardHold& hold = paster.Hold();
  if (pasteFollows || queue_.PasteWaiting()) {
    hold.On(ClipboardEvent::kPasteAhead, Now());
  } else {
    hold.On(queue_.Waiting() > 0 ? ClipboardEvent::kTypingAhead : ClipboardEvent::kNothingAhead,
            Now());
  }
  const ClipboardDecision decision = hold.Decide(Now());
  if (decision.action == ClipboardAction::kRestoreNow) {
    paster.Restore(waitMs);
  } else if (decision.action == ClipboardAction::kGiveUp) {
    paster.GiveUp(waitMs);
  } else {
    return decision;
  }
  return hold.Decide(Now());
}

void TypingThread::Run() {
  // The clipboard's owner while pasting; it answers the requests other
  // programs send it whenever this thread waits.
  ClipboardPaster paster(PasteTimings{}, stop_.get());
  const DWORD restoreWaitMs = paster.Timings().restoreWaitMs;
  const HANDLE wake = wake_.get();
  while (!Stopping()) {
    while (!Stopping()) {
      std::optional<TypingEntry> entry = queue_.Take();
      if (!entry) break;
      paster.Hold().On(ClipboardEvent::kEntryStarted, Now());
      try {
        TypeEntry(*entry, paster);
      } catch (...) {
        // Out of memory, for one: this entry is dropped, the next one comes.
        WarningBeep();
      }
      entry.reset();  // wiped
      queue_.Finished();
      paster.Hold().On(ClipboardEvent::kEntryDone, Now());
      RestoreWhenDue(paster, false, restoreWaitMs);
    }
    if (Stopping()) break;
    const ClipboardDecision decision = RestoreWhenDue(paster, false, restoreWaitMs);
    DWORD timeout = INFINITE;
    if (decision.action == ClipboardAction::kWaitUntil) timeout = MsUntil(decision.until);
    // Held back while something else types (an entry typed at once): look again soon.
    if (decision.action == ClipboardAction::kKeepHolding) timeout = restoreWaitMs;
    ::MsgWaitForMultipleObjectsEx(1, &wake, timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
  }
  // What is still queued is dropped; a paste under way is cut short, and the
  // clipboard's old content goes back (the paster's end).
  queue_.Close();
}

void TypingThread::TypeEntry(TypingEntry& entry, ClipboardPaster& paster) {
  if (!StillFocused(entry)) {
    WarningBeep();
    return;
  }
  if (entry.kind == TypingEntry::Kind::kLibrary) {
    for (const auto& text : entry.libraryTexts) library_.SendStr(text ? text->c_str() : nullptr);
    return;
  }
  const Win32KeyLayout layout(reinterpret_cast<HKL>(entry.layout));
  // Modifiers still held now are released behind the masking key, as
  // SendStr.dll does; the plan never presses them again.
  // Keys mode: Caps Lock as the target has it now, for the whole entry.
  bool capsLockPressed = false;
  const input::KeyboardState keyboard =
      entry.settings.mode == TypingMode::kKeys
          ? TargetKeyboard(reinterpret_cast<HWND>(entry.window), capsLockPressed)
          : input::KeyboardState{};
  // Caps Lock as the operator left it, however the entry ends.
  struct CapsLockBack {
    bool owed;
    ~CapsLockBack() {
      if (owed) PressCapsLock();
    }
  } const capsLockBack{capsLockPressed};
  TypingPlan plan =
      PlanTyping(entry.steps, entry.settings, input_.HeldModifiers(), layout, keyboard);
  const WipeAtExit<TypingPlan> wipePlan(plan);
  bool clipboardRefused = false;  // then the rest goes as Unicode events, without waiting again
  for (std::size_t i = 0; i < plan.size(); ++i) {
    const TypingChunk& chunk = plan[i];
    if (Stopping()) return;
    if (i > 0 && !StillFocused(entry)) {
      WarningBeep();
      return;
    }
    if (chunk.kind == ChunkKind::kPhotoFile) {
      TypePhotoFile(entry);
    } else if (chunk.kind == ChunkKind::kPhoto) {
      TypePhoto(entry);
    } else if (chunk.kind == ChunkKind::kPaste) {
      // Ctrl+V goes out the settle time after the check above: the focus is
      // checked once more right before it.
      bool focusLost = false;
      const auto sendCtrlV = [&] {
        focusLost = !StillFocused(entry);
        if (!focusLost) input_.Send(chunk.events);
      };
      const PasteOutcome outcome =
          clipboardRefused ? PasteOutcome::kBusy : paster.Paste(chunk.pasteText, sendCtrlV);
      if (outcome == PasteOutcome::kStopped) return;
      if (focusLost) {
        WarningBeep();
        return;
      }
      if (outcome == PasteOutcome::kBusy || outcome == PasteOutcome::kTooLarge) {
        clipboardRefused = true;
        input_.Send(chunk.fallback);
      } else if (outcome == PasteOutcome::kNotTaken) {
        // The target never asked for the text: what follows (a Tab, an
        // Enter that submits) would go on without it.
        WarningBeep();
        return;
      }
    } else {
      input_.Send(chunk.events);
    }
    if (chunk.pauseAfterMs > 0) {
      const bool pasteFollows =
          std::any_of(plan.begin() + static_cast<std::ptrdiff_t>(i) + 1, plan.end(),
                      [](const TypingChunk& c) { return c.kind == ChunkKind::kPaste; });
      Pause(static_cast<DWORD>(chunk.pauseAfterMs), paster, pasteFollows);
    }
  }
}

}  // namespace keyentry

namespace keyentry {

void TypingThread::TypePhotoFile(const TypingEntry& entry) {
  std::optional<std::wstring> path = PhotoStore::Instance().Write(entry.photo);
  if (!path) {
    WarningBeep();
    return;
  }
  TypingSettings settings = entry.settings;
  if (settings.mode == TypingMode::kPaste) settings.mode = TypingMode::kUnicode;
  std::vector<TypingStep> steps(1);
  steps[0].text = std::move(*path);
  const WipeAtExit<std::vector<TypingStep>> wipeSteps(steps);
  bool capsLockPressed = false;
  const input::KeyboardState keyboard =
      settings.mode == TypingMode::kKeys
          ? TargetKeyboard(reinterpret_cast<HWND>(entry.window), capsLockPressed)
          : input::KeyboardState{};
  const Win32KeyLayout layout(reinterpret_cast<HKL>(entry.layout));
  TypingPlan plan = PlanTyping(steps, settings, {}, layout, keyboard);
  const WipeAtExit<TypingPlan> wipePlan(plan);
  for (const TypingChunk& chunk : plan) {
    if (Stopping() || !StillFocused(entry)) break;
    input_.Send(chunk.events);
    if (chunk.pauseAfterMs > 0) ::Sleep(static_cast<DWORD>(chunk.pauseAfterMs));
  }
  if (capsLockPressed) PressCapsLock();
}

void TypingThread::TypePhoto(const TypingEntry&) { WarningBeep(); }

}  // namespace keyentry
