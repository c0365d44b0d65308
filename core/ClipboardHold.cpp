#include "core/ClipboardHold.h"

namespace keyentry {

namespace {

// `t` is still to come at `now` (tick counts that may wrap around).
bool Before(std::uint32_t now, std::uint32_t t) { return static_cast<std::int32_t>(now - t) < 0; }

ClipboardDecision WaitUntil(std::uint32_t t) { return {ClipboardAction::kWaitUntil, t}; }

}  // namespace

void ClipboardHold::On(ClipboardEvent event, std::uint32_t now) {
  switch (event) {
    case ClipboardEvent::kSaved:
      pending_ = What::kRestore;
      break;
    case ClipboardEvent::kOffered:
      text_ = OfferedText::kOffered;
      failing_ = false;  // the clipboard could be opened
      break;
    case ClipboardEvent::kRendered:
    case ClipboardEvent::kTaken:
      if (text_ == OfferedText::kOffered) {
        text_ = OfferedText::kReadEarly;
      } else if (text_ == OfferedText::kAwaited) {
        text_ = event == ClipboardEvent::kTaken ? OfferedText::kTaken : OfferedText::kUnconfirmed;
        if (event == ClipboardEvent::kTaken) lastPasteAt_ = now;
      }
      break;
    case ClipboardEvent::kCtrlVSent:
      if (text_ == OfferedText::kOffered) text_ = OfferedText::kAwaited;
      if (text_ == OfferedText::kReadEarly) text_ = OfferedText::kUnconfirmed;
      ctrlVAt_ = lastPasteAt_ = now;
      break;
    case ClipboardEvent::kReplaced:
      if (Ours()) text_ = OfferedText::kGone;
      break;
    case ClipboardEvent::kRestored:
      pending_ = What::kNothing;
      text_ = OfferedText::kNone;
      failing_ = false;
      break;
    case ClipboardEvent::kRestoreFailed:
      if (!failing_) firstFailureAt_ = now;
      failing_ = true;
      lastAttemptAt_ = now;
      break;
    case ClipboardEvent::kGaveUp:
      pending_ = What::kEmptyOurs;
      break;
    case ClipboardEvent::kEntryStarted:
      inEntry_ = true;
      break;
    case ClipboardEvent::kEntryDone:
      inEntry_ = false;
      break;
    case ClipboardEvent::kNothingAhead:
    case ClipboardEvent::kTypingAhead:
    case ClipboardEvent::kPasteAhead:
      ahead_ = event;
      break;
  }
}

bool ClipboardHold::HeldUntil(std::uint32_t now, std::uint32_t& until) const {
  if (text_ != OfferedText::kAwaited && text_ != OfferedText::kUnconfirmed) return false;
  until = ctrlVAt_ + times_.graceMs;
  return Before(now, until);
}

ClipboardDecision ClipboardHold::BeforeOffer(std::uint32_t now) const {
  std::uint32_t until = 0;
  if (HeldUntil(now, until)) return WaitUntil(until);
  return {};
}

ClipboardDecision ClipboardHold::Decide(std::uint32_t now) const {
  if (pending_ == What::kNothing) return {};
  const ClipboardAction attempt =
      pending_ == What::kRestore ? ClipboardAction::kRestoreNow : ClipboardAction::kGiveUp;
  if (failing_) {
    // Tried again only between entries with nothing more to type.
    if (inEntry_ || ahead_ != ClipboardEvent::kNothingAhead) return {ClipboardAction::kKeepHolding};
    if (pending_ == What::kRestore && !Before(now, firstFailureAt_ + times_.giveUpMs)) {
      return {ClipboardAction::kGiveUp};
    }
    if (Before(now, lastAttemptAt_ + times_.retryMs))
      return WaitUntil(lastAttemptAt_ + times_.retryMs);
    return {attempt};
  }
  // A paste under way (offered, Ctrl+V not yet sent) ends with an event.
  if (text_ == OfferedText::kOffered || text_ == OfferedText::kReadEarly) {
    return {ClipboardAction::kKeepHolding};
  }
  std::uint32_t until = 0;
  if (HeldUntil(now, until)) return WaitUntil(until);
  if (ahead_ == ClipboardEvent::kPasteAhead && Before(now, lastPasteAt_ + times_.burstMs)) {
    return WaitUntil(lastPasteAt_ + times_.burstMs);
  }
  return {attempt};
}

}  // namespace keyentry
