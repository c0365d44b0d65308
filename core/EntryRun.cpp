#include "core/EntryRun.h"

#include <algorithm>
#include <utility>

#include "core/Wipe.h"

namespace keyentry {

namespace {

// `t` is still to come at `now` (tick counts that may wrap around).
bool Before(std::uint32_t now, std::uint32_t t) { return static_cast<std::int32_t>(now - t) < 0; }

}  // namespace

EntryRun::EntryRun(const TypingPlan& plan, Start start) {
  for (const TypingChunk& chunk : plan) {
    Step step;
    switch (chunk.kind) {
      case ChunkKind::kPaste:
        step.kind = StepKind::kPaste;
        break;
      case ChunkKind::kPhoto:
        step.kind = StepKind::kImage;
        break;
      case ChunkKind::kPhotoFile:
        step.kind = StepKind::kPhotoFile;
        break;
      case ChunkKind::kEvents:
        step.kind = StepKind::kEvents;
        break;
    }
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

EntryRun::~EntryRun() { Wipe(pathEvents_); }

void EntryRun::Begin(Start start) {
  if (steps_.empty()) return;  // kDone
  steps_.front().checkFocus = start == Start::kCheckFocus;
  phase_ = steps_.front().checkFocus ? Phase::kFocusBeforeStep : Phase::kSending;
  BeginStep();
}

void EntryRun::BeginStep() {
  if (phase_ == Phase::kFocusBeforeStep) return;
  offeredAgain_ = false;
  switch (steps_[at_].kind) {
    case StepKind::kPaste:
      phase_ = clipboardRefused_ ? Phase::kSendingFallback : Phase::kOffering;
      break;
    case StepKind::kImage:
      phase_ = Phase::kOffering;
      break;
    case StepKind::kPhotoFile:
      phase_ = Phase::kWritingPhotoFile;
      break;
    case StepKind::kEvents:
    case StepKind::kLibrary:
      phase_ = Phase::kSending;
      break;
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
  Wipe(pathEvents_);
  if (steps_[at_].pauseMs == 0) return Advance();
  phase_ = Phase::kPausing;
  until_ = now + steps_[at_].pauseMs;
}

bool EntryRun::PasteFollows() const {
  return std::any_of(
      steps_.begin() + static_cast<std::ptrdiff_t>(at_) + 1, steps_.end(),
      [](const Step& s) { return s.kind == StepKind::kPaste || s.kind == StepKind::kImage; });
}

EntryAction EntryRun::Next() const {
  EntryAction action;
  const Step* step = at_ < steps_.size() ? &steps_[at_] : nullptr;
  switch (phase_) {
    case Phase::kFocusBeforeStep:
    case Phase::kFocusBeforeCtrlV:
    case Phase::kFocusBeforeFallback:
    case Phase::kFocusBeforePath:
      action.kind = EntryActionKind::kCheckFocus;
      break;
    case Phase::kWritingPhotoFile:
      action.kind = EntryActionKind::kWritePhotoFile;
      break;
    case Phase::kSendingPath:
      action.kind = EntryActionKind::kSendEvents;
      action.events = &pathEvents_;
      break;
    case Phase::kBeepingOn:
      action.kind = EntryActionKind::kBeep;
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
      if (step->kind == StepKind::kImage) {
        action.paste.kind = PastePayload::Kind::kImage;
      } else {
        action.paste.text = step->chunk->pasteText;
      }
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
    case Phase::kFocusBeforePath:
      if (event == EntryEvent::kFocusLost) {
        phase_ = Phase::kDropped;
      } else if (event == EntryEvent::kFocusKept) {
        if (phase_ == Phase::kFocusBeforeStep) {
          phase_ = Phase::kSending;
          BeginStep();
        } else if (phase_ == Phase::kFocusBeforePath) {
          phase_ = Phase::kSendingPath;
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
    case Phase::kSendingPath:
      if (event == EntryEvent::kChunkSent) AfterStep(now);
      break;
    case Phase::kWritingPhotoFile:
    case Phase::kOffering:
      // Only the photo can be missing; the rest of the entry goes on.
      if (event == EntryEvent::kPhotoMissing) phase_ = Phase::kBeepingOn;
      break;
    case Phase::kBeepingOn:
      if (event == EntryEvent::kBeeped) AfterStep(now);
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
        // An image has no other way to go: what follows would go on without it.
        if (steps_[at_].kind == StepKind::kImage) {
          phase_ = Phase::kDropped;
          break;
        }
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

void EntryRun::PhotoFileWritten(std::vector<input::KeyEvent> pathEvents) {
  if (phase_ != Phase::kWritingPhotoFile) {
    Wipe(pathEvents);
    return;
  }
  Wipe(pathEvents_);
  pathEvents_ = std::move(pathEvents);
  // Writing took a while: the focus is checked again before the path goes.
  phase_ = Phase::kFocusBeforePath;
}

}  // namespace keyentry
