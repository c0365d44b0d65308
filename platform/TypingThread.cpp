#include "platform/TypingThread.h"

#include <algorithm>
#include <string>
#include <utility>

#include "core/EntryRun.h"
#include "core/TypingPlan.h"
#include "core/Wipe.h"
#include "platform/ImageCodec.h"
#include "platform/MessagePump.h"
#include "platform/PhotoStore.h"
#include "platform/Win32KeyLayout.h"

namespace keyentry {

namespace {

std::atomic<unsigned> beeps{0};

// The entry's photo as the clipboard takes a picture: nothing when there is
// none or it cannot be decoded.
std::optional<ClipboardImage> PhotoForClipboard(const PhotoJob& photo) {
  if (!photo.file) return std::nullopt;
  const ComApartment com;
  std::optional<std::string> dib = ImageAsPackedDib(*photo.file);
  std::optional<EncodedImage> png = ConvertImage(*photo.file, PhotoFormat::kPng);
  if (!dib || !png) {
    if (dib) WipeText(*dib);
    if (png) WipeText(png->bytes);
    return std::nullopt;
  }
  ClipboardImage image;
  image.dib.swap(*dib);
  image.png.swap(png->bytes);
  return image;
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

void TypingThread::Pause(std::uint32_t until, ClipboardPaster& paster, bool pasteFollows) {
  while (!Stopping() && MsUntil(until) > 0) {
    // An attempt to put the clipboard back waits no longer than the pause.
    const ClipboardDecision decision = RestoreWhenDue(
        paster, pasteFollows, std::min<DWORD>(MsUntil(until), paster.Timings().restoreWaitMs));
    DWORD wait = MsUntil(until);
    if (decision.action == ClipboardAction::kWaitUntil) {
      wait = std::min(wait, MsUntil(decision.until));
    }
    ServeSentMessagesUntil(wait, stop_.get(), nullptr);
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
  if (decision.action != ClipboardAction::kRestoreNow &&
      decision.action != ClipboardAction::kGiveUp) {
    return decision;
  }
  paster.Restore(decision.action, waitMs);
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
  if (entry.kind == TypingEntry::Kind::kLibrary) {
    EntryRun run(entry.libraryTexts, EntryRun::Start::kCheckFocus);
    return Carry(run, entry, paster);
  }
  // Keys mode: Caps Lock as the target has it now, for the whole entry (only
  // while it still has the focus: nothing goes to another window).
  bool capsLockPressed = false;
  const input::KeyboardState keyboard =
      entry.settings.mode == TypingMode::kKeys && StillFocused(entry)
          ? TargetKeyboard(reinterpret_cast<HWND>(entry.window), capsLockPressed)
          : input::KeyboardState{};
  // Caps Lock as the operator left it, however the entry ends.
  struct CapsLockBack {
    bool owed;
    ~CapsLockBack() {
      if (owed) PressCapsLock();
    }
  } const capsLockBack{capsLockPressed};
  // Modifiers still held now are released behind the masking key, as
  // SendStr.dll does; the plan never presses them again.
  const Win32KeyLayout layout(reinterpret_cast<HKL>(entry.layout));
  TypingPlan plan =
      PlanTyping(entry.steps, entry.settings, input_.HeldModifiers(), layout, keyboard);
  const WipeAtExit<TypingPlan> wipePlan(plan);
  // {照片文件}: the file's path typed as the entry types text (a paste mode
  // types it as Unicode events), in one go.
  const auto planPath = [&](const std::wstring& path) {
    TypingSettings settings = entry.settings;
    if (settings.mode == TypingMode::kPaste) settings.mode = TypingMode::kUnicode;
    std::vector<TypingStep> steps(1);
    steps[0].text = path;
    const WipeAtExit<std::vector<TypingStep>> wipeSteps(steps);
    TypingPlan pathPlan = PlanTyping(steps, settings, {}, layout, keyboard);
    const WipeAtExit<TypingPlan> wipePathPlan(pathPlan);
    std::vector<input::KeyEvent> events;
    for (const TypingChunk& chunk : pathPlan) {
      events.insert(events.end(), chunk.events.begin(), chunk.events.end());
    }
    return events;
  };
  EntryRun run(plan, EntryRun::Start::kCheckFocus);
  Carry(run, entry, paster, planPath);
}

void TypingThread::Carry(EntryRun& run, const TypingEntry& entry, ClipboardPaster& paster,
                         const PathPlanner& planPath) {
  for (;;) {
    if (Stopping()) run.On(EntryEvent::kStop, Now());
    const EntryAction action = run.Next();
    switch (action.kind) {
      case EntryActionKind::kSendEvents:
        input_.Send(*action.events);
        run.On(EntryEvent::kChunkSent, Now());
        break;
      case EntryActionKind::kSendLibrary:
        library_.SendStr(action.library->has_value() ? (*action.library)->c_str() : nullptr);
        run.On(EntryEvent::kChunkSent, Now());
        break;
      case EntryActionKind::kPaste:
        if (action.paste.kind == PastePayload::Kind::kImage) {
          // None, or one that cannot be decoded: the run beeps once and goes on.
          std::optional<ClipboardImage> image = PhotoForClipboard(entry.photo);
          if (!image) {
            run.On(EntryEvent::kPhotoMissing, Now());
          } else {
            run.On(paster.OfferImage(*image), Now());
            WipeText(image->dib);
            WipeText(image->png);
          }
        } else {
          run.On(paster.Offer(std::wstring(action.paste.text)), Now());
        }
        break;
      case EntryActionKind::kWritePhotoFile: {
        std::optional<std::wstring> path = PhotoStore::Instance().Write(entry.photo);
        if (!path || !planPath) {
          run.On(EntryEvent::kPhotoMissing, Now());
        } else {
          run.PhotoFileWritten(planPath(*path));
          WipeText(*path);
        }
        break;
      }
      case EntryActionKind::kBeep:
        WarningBeep();
        run.On(EntryEvent::kBeeped, Now());
        break;
      case EntryActionKind::kCtrlV:
        run.On(paster.SendCtrlV([&] { input_.Send(*action.events); }), Now());
        break;
      case EntryActionKind::kCheckFocus:
        run.On(StillFocused(entry) ? EntryEvent::kFocusKept : EntryEvent::kFocusLost, Now());
        break;
      case EntryActionKind::kCheckClipboard:
        run.On(paster.StillOffered() ? EntryEvent::kClipboardOurs : EntryEvent::kClipboardNotOurs,
               Now());
        break;
      case EntryActionKind::kWaitUntil:
        Pause(action.until, paster, action.pasteFollows);
        run.On(EntryEvent::kTimePassed, Now());
        break;
      case EntryActionKind::kBeepAndDrop:
        WarningBeep();
        return;
      case EntryActionKind::kDone:
        return;
    }
  }
}

}  // namespace keyentry
