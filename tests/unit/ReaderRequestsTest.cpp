// The order of the main window's requests to the reader, as scripts of
// events and what each answers.
#include <gtest/gtest.h>
#include <map>
#include <sstream>

#include "core/ReaderRequests.h"

namespace keyentry::test {
namespace {

// Tokens, separated by blanks: "click" the read button, "begun" the
// toggle's reload over (its message box closed), "tick" the poll timer,
// "on"/"off" the toggle's outcome, "search"/"poll" the answer of the request
// sent last, "poll#N" the answer of request N, "taken", "exit". The answer
// of each, "|" between them: "-" nothing, else its actions ("search3" and
// "poll3": send request 3).
std::string Requests(const std::string& script) {
  const std::map<std::string, ReaderEvent> events = {
      {"click", ReaderEvent::kToggleClicked}, {"begun", ReaderEvent::kToggleBegun},
      {"tick", ReaderEvent::kPollTick},       {"on", ReaderEvent::kPollingWanted},
      {"off", ReaderEvent::kPollingStopped},  {"search", ReaderEvent::kSearchAnswered},
      {"poll", ReaderEvent::kPollAnswered},   {"taken", ReaderEvent::kAnswerTaken},
      {"exit", ReaderEvent::kExit},
  };
  ReaderRequests requests;
  std::uint32_t sent = 0;
  std::istringstream in(script);
  std::string t, out;
  while (in >> t) {
    std::uint32_t number = sent;
    const auto hash = t.find('#');
    if (hash != std::string::npos) {
      number = static_cast<std::uint32_t>(std::stoul(t.substr(hash + 1)));
      t.resize(hash);
    }
    const ReaderActions actions = requests.On(events.at(t), number);
    std::string said;
    for (const ReaderAction a : actions.list) {
      std::string name;
      switch (a) {
        case ReaderAction::kStopPollTimer:
          name = "stop";
          break;
        case ReaderAction::kStartPollTimer:
          name = "start";
          break;
        case ReaderAction::kTakeAnswer:
          name = "take";
          break;
        case ReaderAction::kDropAnswer:
          name = "drop";
          break;
        case ReaderAction::kSubmitSearch:
          name = "search" + std::to_string(actions.request);
          sent = actions.request;
          break;
        case ReaderAction::kSubmitPoll:
          name = "poll" + std::to_string(actions.request);
          sent = actions.request;
          break;
        case ReaderAction::kBeginToggle:
          name = "begin";
          break;
      }
      said += (said.empty() ? "" : " ") + name;
    }
    out += (out.empty() ? "" : " | ") + (said.empty() ? "-" : said);
  }
  return out;
}

// Start-up with a reader: reading on, polling.
const std::string kOn = "click begun search on taken ";

TEST(ReaderRequests, EachRequestInTurnAndEveryAnswerInItsPlace) {
  const struct {
    std::string script;
    const char* answers;
  } cases[] = {
      // Start-up with a reader, and without one.
      {kOn, "begin | stop search1 | take | start | -"},
      {"click begun search off taken", "begin | stop search1 | take | stop | -"},
      // Polls: the timer stands still until the answer is taken.
      {kOn + "tick poll taken tick poll taken",
       "begin | stop search1 | take | start | - | stop poll2 | take | start | stop poll3 | take "
       "| start"},
      // A click while a poll is under way waits for its answer.
      {kOn + "tick click poll taken begun search off taken tick",
       "begin | stop search1 | take | start | - | stop poll2 | - | take | begin | stop search3 | "
       "take | stop | - | stop"},
      // A click while searching: its toggle after the answer.
      {"click begun click search on taken begun search off taken",
       "begin | stop search1 | - | take | start | begin | stop search2 | take | stop | -"},
      // Two clicks while the toggle's message box is open: two toggles.
      {kOn + "click click begun search off taken begun search on taken",
       "begin | stop search1 | take | start | - | begin | - | stop search2 | take | stop | begin "
       "| stop search3 | take | start | -"},
      // No poll while a search is under way; the toggle's outcome sets the timer.
      {"click begun tick search on taken", "begin | stop search1 | stop | take | start | -"},
      // A stale tick after a stop sends nothing.
      {"click begun search off taken tick", "begin | stop search1 | take | stop | - | stop"},
  };
  for (const auto& c : cases) EXPECT_EQ(Requests(c.script), c.answers) << c.script;
}

TEST(ReaderRequests, AnswersInsideTheTogglesMessageBoxAndAfterAStop) {
  const struct {
    std::string script;
    const char* answers;
  } cases[] = {
      // Stop clicked; the timer fires inside the box; the poll answers
      // inside it; its search after the box; then no poll again.
      {kOn + "click tick poll taken tick poll taken begun search off taken tick",
       "begin | stop search1 | take | start | - | begin | stop poll2 | take | start | stop poll3 "
       "| take | start | stop search4 | take | stop | - | stop"},
      // The box is closed while the poll sent inside it is under way: the
      // search waits for its answer, and the timer stays stopped.
      {kOn + "click tick begun tick poll taken tick search off taken tick",
       "begin | stop search1 | take | start | - | begin | stop poll2 | - | stop | take | stop "
       "search3 | stop | take | stop | - | stop"},
      // A poll under way when reading is stopped: its answer is dropped.
      {kOn + "tick off poll tick",
       "begin | stop search1 | take | start | - | stop poll2 | stop | "
       "drop | stop"},
      // An answer that comes late, or with another number, is dropped.
      {kOn + "tick poll taken poll#2",
       "begin | stop search1 | take | start | - | stop poll2 | "
       "take | start | drop"},
      {kOn + "tick poll#1 search#1 poll",
       "begin | stop search1 | take | start | - | stop poll2 | "
       "drop | drop | take"},
      // A taken without an answer to take changes nothing.
      {kOn + "taken tick", "begin | stop search1 | take | start | - | - | stop poll2"},
  };
  for (const auto& c : cases) EXPECT_EQ(Requests(c.script), c.answers) << c.script;
}

TEST(ReaderRequests, AtExitNothingMoreIsSentOrTaken) {
  const struct {
    std::string script;
    const char* answers;
  } cases[] = {
      {kOn + "tick exit poll taken tick",
       "begin | stop search1 | take | start | - | stop poll2 | "
       "stop | drop | - | stop"},
      // Closed while the toggle's message box is open.
      {kOn + "click exit begun click tick",
       "begin | stop search1 | take | start | - | begin | "
       "stop | - | - | stop"},
      {"click begun exit search on", "begin | stop search1 | stop | drop | -"},
  };
  for (const auto& c : cases) EXPECT_EQ(Requests(c.script), c.answers) << c.script;
}

}  // namespace
}  // namespace keyentry::test
