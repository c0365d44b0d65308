// The ordered typing queue, the entries of presses and card reads, and when a
// card read counts as a new card for typing on read.
#include <gtest/gtest.h>
#include <sstream>

#include "Fakes.h"
#include "core/TypingQueue.h"
#include "reader/Reading.h"

namespace keyentry::test {
namespace {

// Entries are told apart by the text of their one step.
TypingEntry Entry(const std::string& label) {
  TypingEntry entry;
  entry.window = 0x10010;
  entry.steps.push_back(TypingStep{StepKind::kText, std::wstring(label.begin(), label.end())});
  return entry;
}
std::string Label(const TypingEntry& entry) {
  const std::wstring& text = entry.steps.at(0).text;
  return std::string(text.begin(), text.end());
}

// Steps, separated by blanks: "nX" admits entry X that could be typed at
// once, "qX" one that needs the typing thread, "pX" one that pastes, "wX"
// one made while no window had the focus, "fX" a press of field key F1 that
// needs the typing thread, "rX" an auto-repeat of F1;
// "paste?" asks whether a paste waits ("yes"/"no"); "done" ends typing at once;
// "take" has the typing thread take the front entry; "fin" ends it;
// "close" is the exit. Answers: "now", "queued", "refused", the label taken
// or "-" for none.
std::string Script(TypingQueue& queue, const std::string& script) {
  std::istringstream in(script);
  std::string t, out;
  while (in >> t) {
    std::string answer;
    if (t == "done") {
      queue.TypedNow();
      continue;
    } else if (t == "fin") {
      queue.Finished();
      continue;
    } else if (t == "close") {
      queue.Close();
      continue;
    } else if (t == "paste?") {
      answer = queue.PasteWaiting() ? "yes" : "no";
    } else if (t == "take") {
      const auto entry = queue.Take();
      answer = entry ? Label(*entry) : "-";
    } else {
      TypingEntry entry = Entry(t.substr(1));
      if (t[0] == 'p') entry.settings.mode = TypingMode::kPaste;
      if (t[0] == 'w') entry.window = 0;
      if (t[0] == 'f' || t[0] == 'r') entry.key = 112;
      entry.repeat = t[0] == 'r';
      switch (queue.Admit(entry, t[0] == 'n' || t[0] == 'w')) {
        case TypingQueue::Admission::kTypeNow:
          answer = "now";
          break;
        case TypingQueue::Admission::kQueued:
          answer = "queued";
          break;
        case TypingQueue::Admission::kRefused:
          answer = "refused";
          break;
        case TypingQueue::Admission::kDropped:
          answer = "dropped";
          break;
      }
    }
    out += (out.empty() ? "" : " ") + answer;
  }
  return out;
}

TEST(TypingQueues, NothingOvertakesAndEntriesComeOutInTheOrderTheyCame) {
  const struct {
    const char* script;
    const char* expected;
  } cases[] = {
      // Idle: typed at once; one after it waits, even one that could go at once.
      {"nA nB done take fin take", "now queued B -"},
      {"qA nB take qC fin take fin take", "queued queued A queued B C"},
      // While the typing thread types, nothing goes at once, and no second is taken.
      {"qA take nB take fin take fin nC done", "queued A queued - B now"},
      // A card read queued while a press is typed at once waits for it.
      {"nA qB take done take", "now queued - B"},
      // The end of typing at once never ends the typing thread's entry.
      {"qA take done qB take fin take", "queued A queued - B"},
      // At exit the waiting entries are dropped and new ones refused.
      {"qA qB close take nC qD", "queued queued - refused refused"},
      // A paste waiting in the queue is seen until it is taken.
      {"qA paste? pB paste? take fin take paste?", "queued no queued yes A B no"},
      // No window had the focus: refused, even where it could go at once.
      {"wA qB wC take", "refused queued refused B"},
      // A held key's repeat is dropped while its entry waits or types, and
      // queued again once it is done; a repeat with nothing of its key waits.
      {"fA rB take rC fin rD take", "queued dropped A dropped queued D"},
      {"qA rB fC rD take", "queued queued queued dropped A"},
  };
  for (const auto& c : cases) {
    TypingQueue queue;
    EXPECT_EQ(Script(queue, c.script), c.expected) << c.script;
  }
}

TEST(TypingQueues, SixteenWaitAndTheSeventeenthIsRefusedUntilOneIsTaken) {
  TypingQueue queue;
  std::string script = "qA take";
  for (int i = 0; i < 17; ++i) script += " q" + std::to_string(i);
  script += " take q17";
  EXPECT_EQ(Script(queue, script),
            "queued A queued queued queued queued queued queued queued queued queued queued "
            "queued queued queued queued queued queued refused - refused");
  EXPECT_EQ(queue.Waiting(), 16u);
  EXPECT_EQ(Script(queue, "fin take q17"), "0 queued");
}

class PressEntries : public ::testing::Test {
 protected:
  CoreRig rig;
  const Date today{2026, 12, 7};

  void SetUp() override {
    rig.files.files[CoreRig::kKeyFile] = kKeyFileF1ToF8;
    rig.files.files[CoreRig::kIniFile] =
        U8(L"[模板]\nF9 = {姓名}{Tab}{性别}\nF10 = {姓名}{延时:200}{性别}\n"
           L"读卡后 = {身份证号}{Enter}\n[程序:chat.exe]\n读卡后 = ; 不录入\n"
           L"[程序:hotel.exe]\n读卡后 = {姓名}\n方式 = 粘贴\n");
    rig.maths.InitDevice();
    ASSERT_EQ(rig.messages.shown, std::vector<std::wstring>{});
  }
  void Card(const std::wstring& name, const std::wstring& number) {
    rig.maths.SetCardField(0, name);
    rig.maths.SetCardField(1, L"女");
    rig.maths.SetCardField(kIdNumberField, number);
    rig.maths.PublishHookTable();
  }
  // The steps of an entry in short: texts as they stand, keys as {Tab},
  // pauses as {N}.
  static std::wstring Steps(const TypingEntry& entry) {
    std::wstring out;
    for (const TypingStep& step : entry.steps) {
      if (step.kind == StepKind::kText) out += step.text;
      if (step.kind == StepKind::kKey)
        out += step.key == SpecialKey::kEnter ? L"{Enter}" : L"{Tab}";
      if (step.kind == StepKind::kPause) out += L"{" + std::to_wstring(step.ms) + L"}";
    }
    return out;
  }
  std::optional<PressEntry> Press(std::int16_t key, TypingSettings typing = {}) {
    HookKeyState state;
    return EntryForPress(*rig.tables.Current(),
                         DecideKeyAction(*rig.tables.Current(), state, 0, kWmKeyDown, key), typing,
                         today);
  }
};

TEST_F(PressEntries, APressTypesTheCardOfItsMomentNotTheOneReadAfterIt) {
  Card(L"张三", L"110");
  std::optional<PressEntry> template9 = Press(120);
  std::optional<PressEntry> field1 = Press(112);
  std::optional<TypingEntry> onRead = EntryForCardRead(*rig.tables.Current(), L"x.exe", today);
  Card(L"李四", L"220");  // read while the first ones wait their turn
  ASSERT_TRUE(template9 && field1 && onRead);
  EXPECT_EQ(Steps(template9->entry), L"张三{Tab}女");
  EXPECT_EQ(field1->entry.libraryTexts, (std::vector<std::optional<std::string>>{U8(L"张三")}));
  EXPECT_EQ(Steps(*onRead), L"110{Enter}");
  EXPECT_EQ(Steps(Press(120)->entry), L"李四{Tab}女");
}

TEST_F(PressEntries, WhatGoesAtOnceAndWhatNeedsTheTypingThread) {
  Card(L"张三", L"110");
  TypingSettings keys, paste, slow;
  keys.mode = TypingMode::kKeys;
  paste.mode = TypingMode::kPaste;
  slow.charDelayMs = 5;
  const struct {
    std::int16_t key;
    TypingSettings typing;
    bool library;
    bool now;
  } cases[] = {
      {112, {}, true, true},      // a field key as ever: the text-sending library
      {112, keys, false, false},  // keys mode: Caps Lock is read on the typing thread
      {112, paste, false, false}, {112, slow, false, false},
      {120, {}, false, true},   // a template without pauses
      {121, {}, false, false},  // ... with one
      {120, paste, false, false},
  };
  for (const auto& c : cases) {
    const std::optional<PressEntry> press = Press(c.key, c.typing);
    ASSERT_TRUE(press) << c.key;
    EXPECT_EQ(press->entry.kind == TypingEntry::Kind::kLibrary, c.library) << c.key;
    EXPECT_EQ(press->canTypeNow, c.now) << c.key;
  }
  // An empty field types nothing in steps; the library gets it as ever.
  rig.maths.SetCardField(0, L"");
  rig.maths.PublishHookTable();
  EXPECT_FALSE(Press(112, keys));
  EXPECT_EQ(Press(112)->entry.libraryTexts, (std::vector<std::optional<std::string>>{""}));
}

TEST_F(PressEntries, TemplatesAndTypingOnReadNeedACardAndFollowTheProgram) {
  EXPECT_FALSE(Press(120));  // no card yet
  EXPECT_FALSE(EntryForCardRead(*rig.tables.Current(), L"x.exe", today));
  Card(L"张三", L"110");
  const HookTable& table = *rig.tables.Current();
  EXPECT_EQ(Steps(*EntryForCardRead(table, L"C:\\apps\\X.EXE", today)), L"110{Enter}");
  EXPECT_FALSE(EntryForCardRead(table, L"chat.exe", today));  // off there
  const std::optional<TypingEntry> hotel = EntryForCardRead(table, L"Hotel.exe", today);
  ASSERT_TRUE(hotel);
  EXPECT_EQ(Steps(*hotel), L"张三");
  EXPECT_EQ(hotel->settings.mode, TypingMode::kPaste);
  rig.maths.ClearCardFields();
  EXPECT_FALSE(Press(120));
  EXPECT_FALSE(EntryForCardRead(*rig.tables.Current(), L"x.exe", today));
}

// The poll with a reader on USB1001, reading switched on, and a
// KeyEntry.ini: each card read is named by its name and ID number.
struct PollRig {
  CoreRig rig;
  FakeView view;
  std::string card;
  explicit PollRig(const std::wstring& ini) {
    rig.files.files[CoreRig::kKeyFile] = kKeyFileF1ToF8;
    rig.files.files[CoreRig::kIniFile] = U8(ini);
    rig.reader.readerPorts = {1001};
    ToggleReading(rig.maths, view);
    rig.reader.onRead = [this] {
      rig.files.files[CoreRig::kCardFile] =
          card == "s"
              ? "S\r\nsex\r\n"
              : card + "\r\nsex\r\nn\r\n19900101\r\naddress\r\n" + card + card + "\r\nx\r\ny\r\n";
    };
  }
  std::uint64_t nowMs = 100000;
  unsigned readMs = 0;  // how long each call of KLV_Read_Content takes
  // One poll, 300 ms after the end of the one before: "-" no card, "x" a
  // read that fails, "s" a good read of a text with two lines, else a good
  // read of that card. The clock goes on during the read; the window takes
  // the answer after it.
  void Poll(const std::string& polled) {
    rig.reader.cardPresent = polled != "-";
    rig.reader.readSucceeds = polled != "x";
    rig.reader.reading = [this] { nowMs += readMs; };
    card = polled;
    nowMs += 300;
    const PollAnswer answer = CallReaderForPoll(rig.reader, [this] { return nowMs; });
    TakePollAnswer(rig.reading, rig.maths, view, answer);
  }
};

// Polls 300 ms after the end of the one before, one letter each: "-" no
// card, "x" a read that fails, "s" a short card text, "A".."C" a good read of
// that card; "on" switches reading off and on, "clear" clears the card
// (privacy). Each read takes readMs. What is typed on read: the cards, in
// order.
TEST(NewCards, ACardIsTypedOnReadOncePerPlacementAndOnlyWithTheSetting) {
  const struct {
    const char* polls;
    unsigned readMs;
    const char* typed;
  } cases[] = {
      {"on A A A A", 0, "A"},                  // stays on the reader: once
      {"on A - A - - A - A", 0, "A"},          // found at every second or third poll
      {"on A A - A A A - - - A A", 0, "A"},    // missed now and then
      {"on A - - - - A", 0, "A"},              // four polls missed: 1.2 s
      {"on A - - - - - A", 0, "A A"},          // five: 1.5 s, lifted
      {"on A - - - - - - A - - A", 0, "A A"},  // placed again after 2 s away
      {"on A - - - x - - - A", 0, "A"},        // a card found in the middle
      {"on A - - - - - - x A", 0, "A A"},      // lifted; the first read fails
      {"on A B A", 0, "A B A"},                // another card right after, no gap
      {"on A - B - - A", 0, "A B A"},          // at once on a blinking reader
      {"on A x A x A", 0, "A"},                // failed reads in between change nothing
      {"on s A - - - - - - s A", 0, "A A"},    // a short text: a failed read
      {"on A on A", 0, "A A"},                 // reading switched off and on
      {"A A", 0, "A"},                         // reading on from the start
      // Real reads of 1 to 1.3 s: the read is no time without a card.
      {"on A - A - A - A - A - A - A", 1200, "A"},  // blinks at every second poll
      {"on A - - A - - A - - A", 1000, "A"},        // at every third
      {"on A - - A x - A - - - A", 1300, "A"},      // a failed read among them
      {"on A - - - - A", 1300, "A"},                // four missed: 1.2 s
      {"on A - - - - - A", 1200, "A A"},            // five: 1.5 s, lifted
      {"on A - B - A", 1200, "A B A"},              // another card at once
      // Clearing (清除秒数) forgets the data, not which card was handled.
      {"on A clear A A", 0, "A"},
      {"on A clear - A", 1200, "A"},
      {"on A clear - - - - - A", 0, "A A"},  // lifted meanwhile
      {"on A clear B", 0, "A B"},
      {"on A clear on A", 0, "A A"},  // reading switched off and on
  };
  for (const auto& c : cases) {
    PollRig poll(L"[模板]\n读卡后 = {姓名}\n");
    poll.readMs = c.readMs;
    std::istringstream in(c.polls);
    std::string t;
    while (in >> t) {
      if (t == "on") {
        ToggleReading(poll.rig.maths, poll.view);  // off
        ToggleReading(poll.rig.maths, poll.view);  // on
      } else if (t == "clear") {
        ClearCard(poll.rig.maths, poll.view);
      } else {
        poll.Poll(t);
      }
    }
    std::string typed;
    for (const std::wstring& name : poll.rig.hook.typedOnRead) {
      typed += (typed.empty() ? "" : " ") + std::string(name.begin(), name.end());
    }
    EXPECT_EQ(typed, c.typed) << c.polls << " read " << c.readMs << " ms";
  }
}

TEST(NewCards, WithoutTypingOnReadInTheFileNothingIsAsked) {
  PollRig poll(L"[模板]\n读卡后 =\n[程序:a.exe]\n读卡后 = #\n");
  poll.Poll("A");
  EXPECT_EQ(poll.rig.maths.CardFields()[0], std::optional<std::wstring>(L"A"));
  EXPECT_TRUE(poll.rig.hook.typedOnRead.empty());
  EXPECT_TRUE(poll.rig.messages.shown.empty());
}

}  // namespace
}  // namespace keyentry::test
