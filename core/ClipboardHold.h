#pragma once
// When the clipboard's old content goes back, for typing by pasting: the one
// place that decides it. The paster (platform/Clipboard.*) and the typing
// thread (platform/TypingThread.*) only report what happened and do what
// this answers.
//
// A burst of pastes saves what the clipboard held once, offers each text in
// turn and puts the old content back once. Two things must never happen:
//   - the old content comes back while a target may still read the
//     clipboard for a text it was sent Ctrl+V for: it would paste the old
//     content (perhaps another guest's data) in place of the card;
//   - a later text of the burst replaces an earlier one a target may still
//     read: it would paste the later text in place of the earlier one.
// A target is known to have read its text only when its own process asked
// this program for it after Ctrl+V ("taken"). A program that asked before
// Ctrl+V (a clipboard history tool, a remote-desktop client passing every new
// content on at once), or another program after it, leaves the text on the
// clipboard, and the target then reads it from there without anyone being
// told. Such a text, like one nobody asked for, stays for the grace time
// after Ctrl+V, and only then may the old content or the next text replace
// it.
//
// Attempts to put the old content back that fail (the clipboard stays busy)
// are tried again retryMs after the end of the last attempt, but never in the
// middle of an entry and never while more typing waits (an attempt may wait
// for the clipboard, and the typing must not). giveUpMs after the first
// failure the old content is given up; the clipboard is then emptied if it
// still holds our text, tried again the same way until that succeeds.
//
// Times are millisecond tick counts that may wrap around. Portable: no
// platform headers.
#include <cstdint>

namespace keyentry {

struct ClipboardHoldTimes {
  // After Ctrl+V, how long a text not known to be taken stays on the
  // clipboard. A target on this machine asks for its text within a few
  // milliseconds of Ctrl+V (docs/benchmarks.md: at most 3.9 ms); a remote
  // session over a slow link passes Ctrl+V to the far side and the far
  // side's request for the text back, two trips of up to several hundred
  // milliseconds each, plus the far program's own time. 3 s covers links of
  // up to about a second each way. Longer would keep card data on the
  // clipboard, and hold up each further paste after an early reader, longer.
  std::uint32_t graceMs = 3000;
  // While a further paste waits, the old content stays back for this long
  // after the last paste (then it goes back, and the next paste saves again).
  std::uint32_t burstMs = 300;
  std::uint32_t retryMs = 500;     // after a failed attempt ends, before the next
  std::uint32_t giveUpMs = 60000;  // after the first failed attempt, before giving up
};

enum class ClipboardEvent {
  // From the paster:
  kSaved,     // what the clipboard held is saved: it waits to go back
  kOffered,   // a new text is on the clipboard (the clipboard could be opened)
  kRendered,  // a program asked for the text (not known to be the target)
  kTaken,     // the target's own process asked for it (before Ctrl+V: as kRendered)
  kCtrlVSent,
  kReplaced,       // another program emptied the clipboard: our text is gone from it
  kRestored,       // done: the old content is back, newer content stays, or ours is emptied
  kRestoreFailed,  // an attempt (to put back, or to empty ours) found the clipboard busy
  kGaveUp,         // the old content is forgotten; only our text remains to be emptied
  // From the typing thread:
  kEntryStarted,
  kEntryDone,
  kNothingAhead,  // nothing more to type
  kTypingAhead,   // more to type (this entry or a queued one), none of it pasting
  kPasteAhead,    // ... and some of it pastes
};

enum class ClipboardAction {
  kNone,         // nothing waits to go back
  kKeepHolding,  // not now, and not before another event
  kWaitUntil,    // not before `until`; ask again then
  kRestoreNow,   // put the old content back (unless something newer is there)
  kGiveUp,       // forget the old content; empty the clipboard if it still holds our text
};

struct ClipboardDecision {
  ClipboardAction action = ClipboardAction::kNone;
  std::uint32_t until = 0;  // kWaitUntil
};

// What became of the text offered last.
enum class OfferedText {
  kNone,         // none of ours is on the clipboard
  kOffered,      // offered; nobody asked; no Ctrl+V yet
  kReadEarly,    // a program read it before Ctrl+V
  kAwaited,      // Ctrl+V sent; nobody asked yet
  kUnconfirmed,  // Ctrl+V sent; read, but not by the target after Ctrl+V
  kTaken,        // the target asked for it after Ctrl+V
  kGone,         // another program emptied the clipboard
};

// What became of one paste, as the paster (platform/Clipboard.*) tells the
// entry's run (core/EntryRun.h). The names after Ctrl+V are those of the
// offered text's state they come from.
enum class PasteOutcome {
  kOffered,      // the text is on the clipboard and the settle time is over: Ctrl+V may go
  kBusy,         // the clipboard stayed busy or refused the text: nothing offered
  kTooLarge,     // what it holds could not be saved (too large, out of memory): left alone
  kTaken,        // Ctrl+V sent; the target asked for the text (OfferedText::kTaken)
  kUnconfirmed,  // Ctrl+V sent; read, but not by the target after Ctrl+V: it
                 // stays on the clipboard for the grace time (OfferedText::kUnconfirmed)
  kNotTaken,     // Ctrl+V sent; nobody asked for it within the grace time
  kStopped,      // the stop event came first
};

class ClipboardHold {
 public:
  explicit ClipboardHold(const ClipboardHoldTimes& times = {}) : times_(times) {}

  void On(ClipboardEvent event, std::uint32_t now);

  // When the old content (or, given up, our text) is to go.
  ClipboardDecision Decide(std::uint32_t now) const;
  // Whether a new text may replace the one on the clipboard now (kNone), or
  // not before `until` (kWaitUntil) unless the target takes it first.
  ClipboardDecision BeforeOffer(std::uint32_t now) const;

  OfferedText Text() const { return text_; }
  // Our text (offered, read or taken) may be on the clipboard.
  bool Ours() const { return text_ != OfferedText::kNone && text_ != OfferedText::kGone; }
  // Something waits to go: the old content, or our text after giving up.
  bool Pending() const { return pending_ != What::kNothing; }
  const ClipboardHoldTimes& Times() const { return times_; }

 private:
  enum class What { kNothing, kRestore, kEmptyOurs };
  // The grace time of a text not known to be taken: the time it ends, if
  // it has not yet.
  bool HeldUntil(std::uint32_t now, std::uint32_t& until) const;

  ClipboardHoldTimes times_;
  What pending_ = What::kNothing;
  OfferedText text_ = OfferedText::kNone;
  std::uint32_t ctrlVAt_ = 0;
  std::uint32_t lastPasteAt_ = 0;  // Ctrl+V, or the target's take after it
  bool inEntry_ = false;
  ClipboardEvent ahead_ = ClipboardEvent::kNothingAhead;
  bool failing_ = false;
  std::uint32_t firstFailureAt_ = 0;
  std::uint32_t lastAttemptAt_ = 0;
};

}  // namespace keyentry
