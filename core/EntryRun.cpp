#include "core/EntryRun.h"

#include <algorithm>

namespace keyentry {

namespace {

// `t` is still to come at `now` (tick counts that may wrap around).
bool Before(std::uint32_t now, std::uint32_t t) { return static_cast<std::int32_t>(now - t) < 0; }

}  // namespace

EntryRun::EntryRun(const TypingPlan& plan, Start start) {
  for (const TypingChunk& chunk : plan) {
    Step step;
    step.kind = chunk.kind == ChunkKind::kPaste ? StepKind::kPaste : StepKind::kEvents;
    step.chunk = &chunk;
    step.pauseMs = chunk.pauseAfterMs > 0 ? static_cast<std::uint32_t>(chunk.pauseAfterMs) : 0;
    steps_.push_back(step);
  }
  Begin(start);
}

EntryRun::EntryRun(const std::vector<std::optional<std::string>>& libraryTexts, Start start) {
  for (const auto& text : libraryTexts) {
    Step step;
    step.kind = StepKind::kLibrary;
    step.library = &text;
    step.checkFocus = false;  // one call after the other, as the library always typed them
    steps_.push_back(step);
  }
  Begin(start);
}

void EntryRun::Begin(Start start) {
  if (steps_.empty()) return;  // kDone
  steps_.front().checkFocus = start == Start::kCheckFocus;
  phase_ = steps_.front().checkFocus ? Phase::kFocusBeforeStep : Phase::kSending;
  BeginStep();
}

void EntryRun::BeginStep() {
  if (phase_ == Phase::kFocusBeforeStep) return;
  offeredAgain_ = false;
  if (steps_[at_].kind != StepKind::kPaste) {
    phase_ = Phase::kSending;
  } else {
    phase_ = clipboardRefused_ ? Phase::kSendingFallback : Phase::kOffering;
  }
}

void EntryRun::Advance() {
  if (++at_ >= steps_.size()) {
    phase_ = Phase::kDone;
    return;
  }
  phase_ = steps_[at_].checkFocus ? Phase::kFocusBeforeStep : Phase::kSending;
  BeginStep();
}

void EntryRun::AfterStep(std::uint32_t now) {
  if (steps_[at_].pauseMs == 0) return Advance();
  phase_ = Phase::kPausing;
  until_ = now + steps_[at_].pauseMs;
}

bool EntryRun::PasteFollows() const {
  return std::any_of(steps_.begin() + static_cast<std::ptrdiff_t>(at_) + 1, steps_.end(),
                     [](const Step& s) { return s.kind == StepKind::kPaste; });
}

EntryAction EntryRun::Next() const {
  EntryAction action;
  const Step* step = at_ < steps_.size() ? &steps_[at_] : nullptr;
  switch (phase_) {
    case Phase::kFocusBeforeStep:
    case Phase::kFocusBeforeCtrlV:
    case Phase::kFocusBeforeFallback:
      action.kind = EntryActionKind::kCheckFocus;
      break;
    case Phase::kSending:
      if (step->kind == StepKind::kLibrary) {
        action.kind = EntryActionKind::kSendLibrary;
        action.library = step->library;
      } else {
        action.kind = EntryActionKind::kSendEvents;
        action.events = &step->chunk->events;
      }
      break;
    case Phase::kOffering:
      action.kind = EntryActionKind::kPaste;
      action.paste.text = step->chunk->pasteText;
      break;
    case Phase::kClipboardBeforeCtrlV:
      action.kind = EntryActionKind::kCheckClipboard;
      break;
    case Phase::kAwaitingTake:
      action.kind = EntryActionKind::kCtrlV;
      action.events = &step->chunk->events;
      break;
    case Phase::kSendingFallback:
      action.kind = EntryActionKind::kSendEvents;
      action.events = &step->chunk->fallback;
      break;
    case Phase::kPausing:
      action.kind = EntryActionKind::kWaitUntil;
      action.until = until_;
      action.pasteFollows = PasteFollows();
      break;
    case Phase::kDropped:
      action.kind = EntryActionKind::kBeepAndDrop;
      break;
    case Phase::kDone:
      action.kind = EntryActionKind::kDone;
      break;
  }
  return action;
}

void EntryRun::On(EntryEvent event, std::uint32_t now) {
  if (phase_ == Phase::kDone || phase_ == Phase::kDropped) return;
  if (event == EntryEvent::kStop) {
    phase_ = Phase::kDone;
    return;
  }
  switch (phase_) {
    case Phase::kFocusBeforeStep:
    case Phase::kFocusBeforeCtrlV:
    case Phase::kFocusBeforeFallback:
      if (event == EntryEvent::kFocusLost) {
        phase_ = Phase::kDropped;
      } else if (event == EntryEvent::kFocusKept) {
        if (phase_ == Phase::kFocusBeforeStep) {
          phase_ = Phase::kSending;
          BeginStep();
        } else {
          phase_ = phase_ == Phase::kFocusBeforeCtrlV ? Phase::kClipboardBeforeCtrlV
                                                      : Phase::kSendingFallback;
        }
      }
      break;
    case Phase::kClipboardBeforeCtrlV:
      if (event == EntryEvent::kClipboardOurs) {
        phase_ = Phase::kAwaitingTake;
      } else if (event == EntryEvent::kClipboardNotOurs) {
        // Offered once more; gone again, nothing is pasted.
        phase_ = offeredAgain_ ? Phase::kDropped : Phase::kOffering;
        offeredAgain_ = true;
      }
      break;
    case Phase::kSending:
    case Phase::kSendingFallback:
      if (event == EntryEvent::kChunkSent) AfterStep(now);
      break;
    case Phase::kPausing:
      if (event == EntryEvent::kTimePassed && !Before(now, until_)) Advance();
      break;
    default:
      break;  // an event not asked for changes nothing
  }
}

void EntryRun::On(PasteOutcome outcome, std::uint32_t now) {
  if (outcome == PasteOutcome::kStopped) return On(EntryEvent::kStop, now);
  if (phase_ == Phase::kOffering) {
    switch (outcome) {
      case PasteOutcome::kOffered:
        phase_ = Phase::kFocusBeforeCtrlV;
        break;
      case PasteOutcome::kBusy:
      case PasteOutcome::kTooLarge:
        clipboardRefused_ = true;
        phase_ = Phase::kFocusBeforeFallback;
        break;
      default:
        phase_ = Phase::kDropped;  // no paste answers so before Ctrl+V
        break;
    }
  } else if (phase_ == Phase::kAwaitingTake) {
    switch (outcome) {
      case PasteOutcome::kTaken:
      case PasteOutcome::kUnconfirmed:
        AfterStep(now);
        break;
      default:
        phase_ = Phase::kDropped;  // nobody took it: what follows would go on without it
        break;
    }
  }
}

}  // namespace keyentry
