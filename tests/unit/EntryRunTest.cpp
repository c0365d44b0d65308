// What comes next while an entry is typed: focus checks, pastes and their
// outcomes, the fallback to Unicode events, pauses and stop, as scripts.
#include <gtest/gtest.h>
#include <map>
#include <sstream>

#include "core/EntryRun.h"

namespace keyentry::test {
namespace {

// A plan written short: "e100" a chunk of events with a pause of 100 ms
// after it, "p甲" a paste of 甲, "i" the photo as an image, "f" the photo
// file; blank-separated. Each chunk's events (and a
// paste's fallback) carry its number as their virtual key, to tell them apart.
TypingPlan Plan(const std::wstring& shorthand) {
  TypingPlan plan;
  std::wistringstream in(shorthand);
  std::wstring t;
  while (in >> t) {
    TypingChunk chunk;
    const auto number = static_cast<std::uint16_t>(plan.size());
    chunk.events.push_back(input::KeyEvent{number, 0, 0});
    if (t[0] == L'i') {
      chunk.kind = ChunkKind::kPhoto;
    } else if (t[0] == L'f') {
      chunk.kind = ChunkKind::kPhotoFile;
    } else if (t[0] == L'p') {
      chunk.kind = ChunkKind::kPaste;
      chunk.pasteText = t.substr(1);
      chunk.fallback.push_back(input::KeyEvent{number, 0, 0});
    } else if (t.size() > 1) {
      chunk.pauseAfterMs = std::stoi(t.substr(1));
    }
    plan.push_back(std::move(chunk));
  }
  return plan;
}

// Tokens: "@N" makes the time N; an event or outcome name reports it
// ("written": the photo file written, its path the events of key 99); "?"
// asks what comes next. Answers: "focus?", "clip?", "events N", "fallback N",
// "ctrlv N", "paste TEXT", "lib TEXT" ("lib -": never filled), "until N"
// ("until N+paste": a paste follows), "image", "write", "path" (key 99),
// "beep", "beep on" (the rest goes on), "done".
std::string Script(EntryRun& run, const std::string& script, const TypingPlan& plan = {}) {
  const std::map<std::string, EntryEvent> events = {
      {"sent", EntryEvent::kChunkSent},
      {"kept", EntryEvent::kFocusKept},
      {"lost", EntryEvent::kFocusLost},
      {"ours", EntryEvent::kClipboardOurs},
      {"gone", EntryEvent::kClipboardNotOurs},
      {"passed", EntryEvent::kTimePassed},
      {"stop", EntryEvent::kStop},
      {"missing", EntryEvent::kPhotoMissing},
      {"beeped", EntryEvent::kBeeped},
  };
  const std::map<std::string, PasteOutcome> outcomes = {
      {"offered", PasteOutcome::kOffered},         {"busy", PasteOutcome::kBusy},
      {"large", PasteOutcome::kTooLarge},          {"taken", PasteOutcome::kTaken},
      {"unconfirmed", PasteOutcome::kUnconfirmed}, {"nottaken", PasteOutcome::kNotTaken},
      {"stopped", PasteOutcome::kStopped},
  };
  std::istringstream in(script);
  std::string t, out;
  std::uint32_t now = 0;
  while (in >> t) {
    if (t[0] == '@') {
      now = static_cast<std::uint32_t>(std::stoul(t.substr(1)));
      continue;
    }
    if (t != "?") {
      if (t == "written") {
        run.PhotoFileWritten({input::KeyEvent{99, 0, 0}});
      } else if (events.count(t)) {
        run.On(events.at(t), now);
      } else {
        run.On(outcomes.at(t), now);
      }
      continue;
    }
    const EntryAction a = run.Next();
    // Which chunk's events, or fallback, the action sends.
    const auto chunkOf = [&](const std::vector<input::KeyEvent>* e) {
      for (const TypingChunk& c : plan) {
        if (&c.events == e || &c.fallback == e) {
          return std::string(&c.fallback == e ? "fallback " : "events ") +
                 std::to_string(e->at(0).vk);
        }
      }
      if (e && e->size() == 1 && e->at(0).vk == 99) return std::string("path");
      return std::string("?");
    };
    std::string answer;
    switch (a.kind) {
      case EntryActionKind::kSendEvents:
        answer = chunkOf(a.events);
        break;
      case EntryActionKind::kSendLibrary:
        answer = "lib " + (a.library->has_value() ? **a.library : std::string("-"));
        break;
      case EntryActionKind::kPaste:
        answer = a.paste.kind == PastePayload::Kind::kImage
                     ? std::string("image")
                     : "paste " + std::to_string(a.paste.text.size());
        break;
      case EntryActionKind::kWritePhotoFile:
        answer = "write";
        break;
      case EntryActionKind::kBeep:
        answer = "beep on";
        break;
      case EntryActionKind::kCtrlV:
        answer = "ctrlv " + chunkOf(a.events).substr(7);
        break;
      case EntryActionKind::kCheckFocus:
        answer = "focus?";
        break;
      case EntryActionKind::kCheckClipboard:
        answer = "clip?";
        break;
      case EntryActionKind::kWaitUntil:
        answer = "until " + std::to_string(a.until) + (a.pasteFollows ? "+paste" : "");
        break;
      case EntryActionKind::kBeepAndDrop:
        answer = "beep";
        break;
      case EntryActionKind::kDone:
        answer = "done";
        break;
    }
    out += (out.empty() ? "" : " | ") + answer;
  }
  return out;
}

std::string RunPlan(const std::wstring& plan, const std::string& script,
                    EntryRun::Start start = EntryRun::Start::kCheckFocus) {
  const TypingPlan p = Plan(plan);
  EntryRun run(p, start);
  return Script(run, script, p);
}

TEST(EntryRun, EventsAndPausesGoInOrderEachAfterAFocusCheck) {
  const struct {
    const wchar_t* plan;
    EntryRun::Start start;
    const char* script;
    const char* expected;
  } cases[] = {
      {L"", EntryRun::Start::kCheckFocus, "?", "done"},
      {L"e100 e", EntryRun::Start::kCheckFocus,
       "? kept ? @5 sent ? @50 passed ? @105 passed ? kept ? sent ?",
       "focus? | events 0 | until 105 | until 105 | focus? | events 1 | done"},
      // Another window took the focus during the pause: the rest is dropped.
      {L"e100 e", EntryRun::Start::kCheckFocus, "kept sent @100 passed ? lost ? kept ?",
       "focus? | beep | beep"},
      {L"e", EntryRun::Start::kCheckFocus, "lost ?", "beep"},
      // Typed at once inside the hook callback: no check before the first.
      {L"e", EntryRun::Start::kTypedAtOnce, "? sent ?", "events 0 | done"},
      // A pause with a paste after it says so; tick counts wrap around.
      {L"e10 p甲", EntryRun::Start::kCheckFocus, "kept @4294967290 sent ? @3 passed ? @4 passed ?",
       "until 4+paste | until 4+paste | focus?"},
      // Stop, at any moment, ends it without a beep.
      {L"e100 e", EntryRun::Start::kCheckFocus, "kept sent stop ?", "done"},
  };
  for (const auto& c : cases) EXPECT_EQ(RunPlan(c.plan, c.script, c.start), c.expected) << c.script;
}

TEST(EntryRun, EveryPasteOutcomeEitherGoesOnOrDropsTheRestWithABeep) {
  const struct {
    const char* script;
    const char* expected;
  } cases[] = {
      // Offered, the focus checked again, the clipboard checked, Ctrl+V.
      {"? kept ? offered ? kept ? ours ? taken ? kept ? offered kept ours ? unconfirmed ?",
       "focus? | paste 1 | focus? | clip? | ctrlv 0 | focus? | paste 2 | ctrlv 1 | done"},
      // Nobody asked for the text: a Tab or Enter after it would go on without it.
      {"kept offered kept ours nottaken ? kept ?", "beep | beep"},
      // The focus went during the settle time: no Ctrl+V.
      {"kept offered lost ?", "beep"},
      // Another program replaced the text: offered once more, then Ctrl+V ...
      {"kept offered kept gone ? offered ? kept ? ours ?", "paste 1 | focus? | clip? | ctrlv 0"},
      // ... or, replaced again, never Ctrl+V for another program's content.
      {"kept offered kept gone offered kept gone ? ours ?", "beep | beep"},
      // Stopped in the middle of a paste.
      {"kept offered kept ours stopped ?", "done"},
      {"kept stopped ?", "done"},
  };
  for (const auto& c : cases) EXPECT_EQ(RunPlan(L"p甲 p乙乙", c.script), c.expected) << c.script;
}

TEST(EntryRun, APasteThatCouldNotBeMadeFallsBackOnlyWhileTheFocusStays) {
  const struct {
    const char* script;
    const char* expected;
  } cases[] = {
      // Busy or too large: the focus is checked again before the fallback,
      // and the later paste goes as Unicode events at once.
      {"kept busy ? kept ? sent ? kept ? sent ?",
       "focus? | fallback 0 | focus? | fallback 1 | done"},
      {"kept large ? kept ? sent kept sent ?", "focus? | fallback 0 | done"},
      // The operator switched windows during the wait: nothing lands there.
      {"kept busy ? lost ?", "focus? | beep"},
      {"kept large lost ? sent ?", "beep | beep"},
      // Busy on the second offer of a replaced text: the fallback too.
      {"kept offered kept gone busy ? kept ?", "focus? | fallback 0"},
  };
  for (const auto& c : cases) EXPECT_EQ(RunPlan(L"p甲 p乙乙", c.script), c.expected) << c.script;
}

TEST(EntryRun, ThePhotoGoesAsAnImageOrAFilePathAndAMissingOneBeepsOnce) {
  const struct {
    const wchar_t* plan;
    const char* script;
    const char* expected;
  } cases[] = {
      // The image pasted as a text is: focus, offer, focus, clipboard, Ctrl+V.
      {L"i e", "? kept ? offered ? kept ? ours ? taken ? kept ? sent ?",
       "focus? | image | focus? | clip? | ctrlv 0 | focus? | events 1 | done"},
      // No photo, or a damaged one: one beep for it, and the rest goes on.
      {L"i e", "kept missing ? beeped ? kept ? sent ?", "beep on | focus? | events 1 | done"},
      // A clipboard that cannot take it: no fallback, nothing after it.
      {L"i e", "kept busy ? kept ?", "beep | beep"},
      {L"i e", "kept large ?", "beep"},
      {L"i e", "kept offered kept ours nottaken ?", "beep"},
      // A paste after a pause before the image: the clipboard is kept.
      {L"e10 i", "kept sent ?", "until 10+paste"},
      // The file written, the focus checked again, then its path.
      {L"f e", "? kept ? written ? kept ? sent ? kept ? sent ?",
       "focus? | write | focus? | path | focus? | events 1 | done"},
      {L"f e", "kept written lost ?", "beep"},
      {L"f e", "kept missing ? beeped ? kept sent ?", "beep on | focus? | done"},
      // A file that comes when none was asked for changes nothing.
      {L"e f", "kept written ? sent ? kept ?", "events 0 | focus? | write"},
  };
  for (const auto& c : cases) EXPECT_EQ(RunPlan(c.plan, c.script), c.expected) << c.script;
}

TEST(EntryRun, LibraryTextsGoOneCallEachAfterOneFocusCheck) {
  const std::vector<std::optional<std::string>> texts = {std::string("A"), std::nullopt,
                                                         std::string("B")};
  EntryRun onThread(texts, EntryRun::Start::kCheckFocus);
  EXPECT_EQ(Script(onThread, "? kept ? sent ? sent ? sent ?"),
            "focus? | lib A | lib - | lib B | done");
  EntryRun lost(texts, EntryRun::Start::kCheckFocus);
  EXPECT_EQ(Script(lost, "lost ? sent ?"), "beep | beep");
  EntryRun atOnce(texts, EntryRun::Start::kTypedAtOnce);
  EXPECT_EQ(Script(atOnce, "? sent sent ? sent ?"), "lib A | lib B | done");
}

}  // namespace
}  // namespace keyentry::test
