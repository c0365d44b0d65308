// The decisions about the reader's helper process, as one table: each row is
// a call made at a time, what the helper does, and what the program then
// sees and does with the process.
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "core/Maths.h"
#include "core/SupervisedReader.h"

namespace keyentry::test {
namespace {

const char* CallName(ReaderCall call) {
  switch (call) {
    case ReaderCall::kInitComm:
      return "InitComm";
    case ReaderCall::kAuthenticate:
      return "Authenticate";
    case ReaderCall::kReadContent:
      return "ReadContent";
    case ReaderCall::kCloseComm:
      return "CloseComm";
  }
  return "?";
}

// Each start and each call takes the next word of the script: "no start"
// (Start fails), a number (answered), "crash", "deadline", "library error",
// "hang until exit" (the program's exit ends the helper during the call).
class FakeHelper : public HelperProcess {
 public:
  std::deque<std::string> script;
  std::vector<std::string> events;
  std::function<void()> duringCall;  // what the program does meanwhile

  bool Start() override {
    if (!script.empty() && script.front() == "no start") {
      script.pop_front();
      events.push_back("start fails");
      return false;
    }
    events.push_back("start");
    return true;
  }
  CallOutcome Call(ReaderCall call, std::int32_t argument, std::uint32_t deadlineMs) override {
    std::string event = CallName(call);
    if (call == ReaderCall::kInitComm || call == ReaderCall::kReadContent) {
      event += " " + std::to_string(argument);
    }
    events.push_back(event + " /" + std::to_string(deadlineMs));
    const std::string word = script.empty() ? "0" : script.front();
    if (!script.empty()) script.pop_front();
    CallOutcome outcome;
    if (word == "crash") {
      outcome.kind = CallOutcome::Kind::kCrashed;
    } else if (word == "deadline") {
      outcome.kind = CallOutcome::Kind::kDeadline;
    } else if (word == "library error") {
      outcome.kind = CallOutcome::Kind::kLibraryError;
    } else if (word == "hang until exit") {
      duringCall();
      outcome.kind = CallOutcome::Kind::kEnded;
    } else {
      outcome.value = std::stoi(word);
    }
    return outcome;
  }
  void End() override { events.push_back("end"); }
};

class FakeClock : public MonotonicClock {
 public:
  std::uint64_t now = 0;
  std::uint64_t NowMs() override { return now; }
};

const char* TroubleName(ReaderTrouble trouble) {
  switch (trouble) {
    case ReaderTrouble::kNone:
      return "none";
    case ReaderTrouble::kCrashed:
      return "crashed";
    case ReaderTrouble::kNoAnswer:
      return "no answer";
    case ReaderTrouble::kCannotStart:
      return "cannot start";
    case ReaderTrouble::kReconnecting:
      return "reconnecting";
    case ReaderTrouble::kPausing:
      return "pausing";
    case ReaderTrouble::kExiting:
      return "exiting";
    case ReaderTrouble::kCardRefused:
      return "card refused";
  }
  return "?";
}

struct Row {
  const char* what;
  std::uint64_t atMs;
  const char* call;  // "InitComm 1001", "Authenticate", "ReadContent 4", "CloseAtExit"
  std::vector<std::string> script;
  const char* result;  // the answer, or the trouble thrown
  std::vector<std::string> events;
};

std::string Join(const std::vector<std::string>& items) {
  std::string out;
  for (const auto& item : items) out += (out.empty() ? "" : "; ") + item;
  return out;
}

class Supervisor : public ::testing::Test {
 protected:
  FakeHelper helper;
  FakeClock clock;
  SupervisedReader reader{helper, clock};

  std::string Make(const std::string& call) {
    try {
      if (call == "CloseAtExit") {
        reader.CloseAtExit();
        return "closed";
      }
      if (call.rfind("InitComm ", 0) == 0)
        return std::to_string(reader.InitComm(std::stoi(call.substr(9))));
      if (call == "Authenticate") return std::to_string(reader.Authenticate());
      if (call == "ReadContent 4") return std::to_string(reader.ReadContent(4));
      if (call == "CloseComm") return std::to_string(reader.CloseComm());
    } catch (const ReaderUnavailable& e) {
      return TroubleName(e.trouble());
    } catch (const ReaderLibraryError&) {
      return "library error";
    }
    return "unknown call";
  }

  void Run(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
      SCOPED_TRACE(row.what);
      clock.now = row.atMs;
      helper.script.assign(row.script.begin(), row.script.end());
      helper.events.clear();
      EXPECT_EQ(Make(row.call), row.result);
      EXPECT_EQ(Join(helper.events), Join(row.events));
      EXPECT_TRUE(helper.script.empty())
          << "script left: " << Join({helper.script.begin(), helper.script.end()});
    }
  }
};

TEST_F(Supervisor, AnswersCrashesDeadlinesRestartsAndTheGrowingPause) {
  Run({
      {"the first call starts the helper",
       0,
       "InitComm 1001",
       {"1"},
       "1",
       {"start", "InitComm 1001 /5000"}},
      {"an answer", 100, "Authenticate", {"1"}, "1", {"Authenticate /3000"}},
      {"a crash inside a read ends the helper",
       200,
       "ReadContent 4",
       {"crash"},
       "crashed",
       {"ReadContent 4 /10000", "end"}},
      {"the next poll: a fresh helper opens the last good port first",
       500,
       "Authenticate",
       {"1", "0"},
       "0",
       {"start", "InitComm 1001 /5000", "Authenticate /3000"}},
      {"a missed deadline ends the helper",
       800,
       "Authenticate",
       {"deadline"},
       "no answer",
       {"Authenticate /3000", "end"}},
      {"after one failure no pause; failing again",
       1100,
       "Authenticate",
       {"deadline"},
       "no answer",
       {"start", "InitComm 1001 /5000", "end"}},
      {"two in a row: a pause of 1 s", 2000, "Authenticate", {}, "pausing", {}},
      {"after the pause a fresh helper, which crashes",
       2100,
       "Authenticate",
       {"crash"},
       "crashed",
       {"start", "InitComm 1001 /5000", "end"}},
      {"three in a row: 2 s", 4000, "Authenticate", {}, "pausing", {}},
      {"the helper cannot be started",
       4100,
       "Authenticate",
       {"no start"},
       "cannot start",
       {"start fails"}},
      {"four in a row: 4 s", 8000, "Authenticate", {}, "pausing", {}},
      {"the reader moved: the other ports in search order",
       8100,
       "Authenticate",
       {"0", "0", "1", "1"},
       "1",
       {"start", "InitComm 1001 /5000", "InitComm 1002 /5000", "InitComm 1003 /5000",
        "Authenticate /3000"}},
      {"an answer ended the failures: a crash restarts at once",
       8200,
       "ReadContent 4",
       {"crash"},
       "crashed",
       {"ReadContent 4 /10000", "end"}},
      {"now opened again at the new port",
       8500,
       "Authenticate",
       {"1", "0"},
       "0",
       {"start", "InitComm 1003 /5000", "Authenticate /3000"}},
      {"a library that cannot be loaded is no failure of the helper",
       8800,
       "Authenticate",
       {"library error"},
       "library error",
       {"Authenticate /3000"}},
      {"a search opens ports itself: no reopening before it",
       8900,
       "InitComm 1001",
       {"0"},
       "0",
       {"InitComm 1001 /5000"}},
      {"exit: KLV_CloseComm with its short deadline, then the helper ends",
       9000,
       "CloseAtExit",
       {"1"},
       "closed",
       {"CloseComm /1000", "end"}},
      {"nothing after the exit", 9100, "Authenticate", {}, "exiting", {}},
  });
  const ReaderHelperFacts facts = reader.Facts();
  EXPECT_FALSE(facts.running);
  EXPECT_EQ(facts.restarts, 5u);
  EXPECT_EQ(facts.lastReason, ReaderTrouble::kCrashed);
}

TEST_F(Supervisor, ExitWhileACallHangsOrWhilePausing) {
  helper.duringCall = [&] { reader.EndNow(); };
  Run({
      {"a search finds the reader",
       0,
       "InitComm 1002",
       {"1"},
       "1",
       {"start", "InitComm 1002 /5000"}},
      {"the program ends during a hanging read: the helper is ended at once",
       100,
       "ReadContent 4",
       {"hang until exit"},
       "exiting",
       {"ReadContent 4 /10000", "end"}},
      {"no KLV_CloseComm to a helper that is gone", 200, "CloseAtExit", {}, "closed", {"end"}},
  });
}

TEST_F(Supervisor, ExitWhilePausingStartsNoHelper) {
  Run({
      {"a helper that crashes at once",
       0,
       "InitComm 1001",
       {"crash"},
       "crashed",
       {"start", "InitComm 1001 /5000", "end"}},
      {"and again",
       10,
       "InitComm 1001",
       {"crash"},
       "crashed",
       {"start", "InitComm 1001 /5000", "end"}},
      {"exit during the pause: no helper started for KLV_CloseComm",
       20,
       "CloseAtExit",
       {},
       "closed",
       {"end"}},
  });
}

TEST_F(Supervisor, AReaderGoneAfterARestartIsLookedForAtEveryPoll) {
  Run({{"found", 0, "InitComm 1005", {"1"}, "1", {"start", "InitComm 1005 /5000"}},
       {"crash", 10, "Authenticate", {"crash"}, "crashed", {"Authenticate /3000", "end"}}});
  helper.events.clear();
  EXPECT_EQ(Make("Authenticate"), "reconnecting");
  ASSERT_EQ(helper.events.size(), 33u);  // the start, then each of the 32 ports once
  EXPECT_EQ(helper.events[1], "InitComm 1005 /5000");
  EXPECT_EQ(helper.events[2], "InitComm 1001 /5000");
  EXPECT_EQ(helper.events[32], "InitComm 16 /5000");
  helper.events.clear();
  helper.script = {"0", "0", "0", "0", "1", "1"};  // plugged in again at 1004
  EXPECT_EQ(Make("Authenticate"), "1");
  EXPECT_EQ(helper.events.size(), 6u);
}

TEST_F(Supervisor, ACardThatCrashesEveryReadIsRefusedUntilLiftedAndThePauseGrows) {
  Run({
      {"found", 0, "InitComm 1001", {"1"}, "1", {"start", "InitComm 1001 /5000"}},
      {"a card", 100, "Authenticate", {"1"}, "1", {"Authenticate /3000"}},
      {"its read crashes",
       200,
       "ReadContent 4",
       {"crash"},
       "crashed",
       {"ReadContent 4 /10000", "end"}},
      {"next poll: opening and asking answer",
       500,
       "Authenticate",
       {"1", "1"},
       "1",
       {"start", "InitComm 1001 /5000", "Authenticate /3000"}},
      {"the second crash of this card: a pause of 1 s although both answered",
       600,
       "ReadContent 4",
       {"crash"},
       "crashed",
       {"ReadContent 4 /10000", "end"}},
      {"pausing", 1500, "Authenticate", {}, "pausing", {}},
      {"after the pause",
       1700,
       "Authenticate",
       {"1", "1"},
       "1",
       {"start", "InitComm 1001 /5000", "Authenticate /3000"}},
      {"the third crash: 2 s",
       1800,
       "ReadContent 4",
       {"crash"},
       "crashed",
       {"ReadContent 4 /10000", "end"}},
      {"still pausing", 3700, "Authenticate", {}, "pausing", {}},
      {"the card still lies there",
       3900,
       "Authenticate",
       {"1", "1"},
       "1",
       {"start", "InitComm 1001 /5000", "Authenticate /3000"}},
      {"it is not read again", 4000, "ReadContent 4", {}, "card refused", {}},
      {"nor at the next poll", 4300, "Authenticate", {"1"}, "1", {"Authenticate /3000"}},
      {"refused without a restart", 4400, "ReadContent 4", {}, "card refused", {}},
      {"lifted", 4700, "Authenticate", {"0"}, "0", {"Authenticate /3000"}},
      {"a card again", 5000, "Authenticate", {"1"}, "1", {"Authenticate /3000"}},
      {"is read again; its first crash restarts at once",
       5100,
       "ReadContent 4",
       {"crash"},
       "crashed",
       {"ReadContent 4 /10000", "end"}},
      {"restart",
       5400,
       "Authenticate",
       {"1", "1"},
       "1",
       {"start", "InitComm 1001 /5000", "Authenticate /3000"}},
      {"a read that answers clears the count",
       5500,
       "ReadContent 4",
       {"1"},
       "1",
       {"ReadContent 4 /10000"}},
  });
  EXPECT_EQ(reader.Facts().restarts, 4u);
}

// The port search through the helper, as the program runs it: each row a
// script for the helper, the ports tried and what the search found.
TEST_F(Supervisor, APortThatBlocksIsNoReaderAndTheSearchGoesOn) {
  const std::vector<std::string> usbNone(16, "0");
  auto script = [&](std::vector<std::string> serial) {
    std::vector<std::string> all = usbNone;
    all.insert(all.end(), serial.begin(), serial.end());
    return all;
  };
  struct SearchRow {
    const char* what;
    std::vector<std::string> script;  // the answers of the ports in order
    const char* found;                // port name, or the trouble
    unsigned tried;                   // ports named to the status line
    unsigned starts;                  // helpers started
  };
  const SearchRow rows[] = {
      {"COM2 blocks, the reader is on COM7", script({"0", "deadline", "0", "0", "0", "0", "1"}),
       "COM7", 23, 2},
      {"two ports block in a row: no pause between", script({"deadline", "deadline", "1"}), "COM3",
       19, 3},
      {"every serial port blocks", script(std::vector<std::string>(16, "deadline")), "", 32, 16},
      {"a crash while opening ends the search", script({"0", "crash"}), "crashed", 18, 1},
      {"a library that cannot be loaded", {"library error"}, "library error", 1, 1},
  };
  for (const SearchRow& row : rows) {
    SCOPED_TRACE(row.what);
    SupervisedReader fresh{helper, clock};
    helper.script.assign(row.script.begin(), row.script.end());
    helper.events.clear();
    std::vector<std::wstring> tried;
    const PortSearchResult result =
        SearchReaderPorts(fresh, [&](const std::wstring& port) { tried.push_back(port); });
    std::string found(result.portName.begin(), result.portName.end());
    if (result.libraryError) found = "library error";
    if (result.trouble != ReaderTrouble::kNone) found = TroubleName(result.trouble);
    EXPECT_EQ(found, row.found);
    EXPECT_EQ(tried.size(), row.tried);
    EXPECT_EQ(tried.front(), L"USB1001");
    unsigned starts = 0;
    for (const std::string& e : helper.events) starts += e == "start";
    EXPECT_EQ(starts, row.starts);
    EXPECT_TRUE(helper.script.empty());
    fresh.EndNow();
  }
  EXPECT_EQ(clock.now, 0u);  // no pause was waited for: the clock never moved
}

TEST(RestartPause, GrowsFromNothingToThirtySeconds) {
  const std::pair<unsigned, std::uint32_t> table[] = {{0, 0},     {1, 0},     {2, 1000},
                                                      {3, 2000},  {4, 4000},  {5, 8000},
                                                      {6, 16000}, {7, 30000}, {40, 30000}};
  for (const auto& [failures, pause] : table)
    EXPECT_EQ(RestartPauseMs(failures), pause) << failures;
}

}  // namespace
}  // namespace keyentry::test
