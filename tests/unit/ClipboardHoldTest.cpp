// When the clipboard's old content goes back after pasting, and when a next
// text may replace the one on the clipboard, as a table of event sequences.
#include <gtest/gtest.h>
#include <map>
#include <sstream>

#include "core/ClipboardHold.h"

namespace keyentry::test {
namespace {

// Tokens, separated by blanks: "@N" makes the time N; an event name reports
// that event at the current time; "?" asks when the old content goes back
// ("-" nothing waits, "hold", "until N", "now", "giveup"); "offer?" asks
// whether a next text may be offered now ("go", "until N").
std::string Events(const std::string& script) {
  const std::map<std::string, ClipboardEvent> events = {
      {"saved", ClipboardEvent::kSaved},        {"offered", ClipboardEvent::kOffered},
      {"rendered", ClipboardEvent::kRendered},  {"taken", ClipboardEvent::kTaken},
      {"ctrlv", ClipboardEvent::kCtrlVSent},    {"replaced", ClipboardEvent::kReplaced},
      {"restored", ClipboardEvent::kRestored},  {"failed", ClipboardEvent::kRestoreFailed},
      {"gaveup", ClipboardEvent::kGaveUp},      {"start", ClipboardEvent::kEntryStarted},
      {"done", ClipboardEvent::kEntryDone},     {"idle", ClipboardEvent::kNothingAhead},
      {"typing", ClipboardEvent::kTypingAhead}, {"paste", ClipboardEvent::kPasteAhead},
  };
  ClipboardHold hold;  // grace 3000, burst 300, retry 500, give up 60000
  std::istringstream in(script);
  std::string t, out;
  std::uint32_t now = 0;
  const auto say = [&](const ClipboardDecision& d, const char* none) {
    std::string answer;
    switch (d.action) {
      case ClipboardAction::kNone:
        answer = none;
        break;
      case ClipboardAction::kKeepHolding:
        answer = "hold";
        break;
      case ClipboardAction::kWaitUntil:
        answer = "until " + std::to_string(d.until);
        break;
      case ClipboardAction::kRestoreNow:
        answer = "now";
        break;
      case ClipboardAction::kGiveUp:
        answer = "giveup";
        break;
    }
    out += (out.empty() ? "" : " | ") + answer;
  };
  while (in >> t) {
    if (t[0] == '@') {
      now = static_cast<std::uint32_t>(std::stoul(t.substr(1)));
    } else if (t == "?") {
      say(hold.Decide(now), "-");
    } else if (t == "offer?") {
      say(hold.BeforeOffer(now), "go");
    } else {
      hold.On(events.at(t), now);
    }
  }
  return out;
}

// The start of every burst below: saved and offered at 0, in an entry.
constexpr const char* kOffer = "@0 start saved offered ";

TEST(ClipboardHold, TheOldContentWaitsUntilTheTargetItselfTookTheText) {
  const struct {
    std::string script;
    const char* expected;
  } cases[] = {
      {"@0 ?", "-"},
      // The target asks after Ctrl+V: back once the entry is done.
      {std::string(kOffer) + "? @30 ctrlv ? @31 taken done idle ?", "hold | until 3030 | now"},
      // A program reading every new text at once asks before Ctrl+V: the
      // text stays for the grace time after Ctrl+V, for the next text too;
      // so does one read by another program after Ctrl+V.
      {std::string(kOffer) + "@1 rendered @30 ctrlv done idle ? offer? @3029 ? @3030 ? offer?",
       "until 3030 | until 3030 | until 3030 | now | go"},
      {std::string(kOffer) + "@1 taken @30 ctrlv done idle ?", "until 3030"},
      {std::string(kOffer) + "@30 ctrlv @40 rendered @41 taken done idle ? offer?",
       "until 3030 | until 3030"},
      // Nobody asks: after the grace time; a late take still counts.
      {std::string(kOffer) + "@30 ctrlv offer? @3030 done idle ? offer?", "until 3030 | now | go"},
      {std::string(kOffer) + "@30 ctrlv @2000 taken offer? done idle ?", "go | now"},
      // Another program emptied the clipboard: nothing of ours to wait for.
      {std::string(kOffer) + "@30 ctrlv @40 replaced done idle ? offer?", "now | go"},
      // A paste ahead keeps it back 300 ms after the last paste; other typing does not.
      {std::string(kOffer) + "@30 ctrlv @31 taken done paste ? @331 ?", "until 331 | now"},
      {std::string(kOffer) + "@30 ctrlv @31 taken done typing ?", "now"},
      // Put back: nothing waits; the next burst saves again.
      {std::string(kOffer) + "@30 ctrlv @31 taken done idle restored ? offer?", "- | go"},
      // Tick counts that wrap around.
      {"@4294967000 start saved offered rendered @4294967030 ctrlv done idle ? @2734 ?",
       "until 2734 | now"},
  };
  for (const auto& c : cases) EXPECT_EQ(Events(c.script), c.expected) << c.script;
}

// Restored at 31 fails; each attempt below takes 500 ms to fail.
constexpr const char* kFailed = "@0 start saved offered @30 ctrlv @31 taken done idle @531 failed ";

TEST(ClipboardHold, FailedAttemptsAreRetriedFromTheLastOneBetweenEntriesThenGivenUp) {
  const struct {
    std::string script;
    const char* expected;
  } cases[] = {
      // 500 ms after the end of the last attempt, not of the first.
      {std::string(kFailed) + "? @1031 ? @1531 failed ? @2031 ?",
       "until 1031 | now | until 2031 | now"},
      // Never in the middle of an entry, in its pauses, or while typing waits.
      {std::string(kFailed) + "@2000 start ? typing ? done ? idle ?", "hold | hold | hold | now"},
      // A new paste could open the clipboard: the failures are over.
      {std::string(kFailed) + "@600 start offered @630 ctrlv @631 taken done idle ?", "now"},
      // 60 s after the first failure: given up, and our text emptied,
      // retried until that works.
      {std::string(kFailed) + "@60530 failed ? @60531 ? gaveup failed ? @61031 ? restored ?",
       "until 61030 | giveup | until 61031 | giveup | -"},
  };
  for (const auto& c : cases) EXPECT_EQ(Events(c.script), c.expected) << c.script;
}

}  // namespace
}  // namespace keyentry::test
