#include "core/ReaderRequests.h"

#include <algorithm>

namespace keyentry {

bool ReaderActions::Has(ReaderAction action) const {
  return std::find(list.begin(), list.end(), action) != list.end();
}

ReaderActions ReaderRequests::Submit(ReaderAction what, Underway kind) {
  underway_ = kind;
  ReaderActions actions;
  actions.request = ++request_;
  actions.list = {ReaderAction::kStopPollTimer, what};
  return actions;
}

// Once nothing is under way: the search a toggle waits for, else the next
// click's toggle, else (restartTimer) the poll timer again while reading is
// on.
ReaderActions ReaderRequests::Next(bool restartTimer) {
  if (exiting_ || underway_ != Underway::kNothing) return {};
  if (searchDue_) {
    searchDue_ = false;
    return Submit(ReaderAction::kSubmitSearch, Underway::kSearch);
  }
  if (!beginning_ && togglesWaiting_ > 0) {
    --togglesWaiting_;
    beginning_ = true;
    return {{ReaderAction::kBeginToggle}};
  }
  if (restartTimer && polling_) return {{ReaderAction::kStartPollTimer}};
  return {};
}

ReaderActions ReaderRequests::On(ReaderEvent event, std::uint32_t request) {
  switch (event) {
    case ReaderEvent::kToggleClicked:
      if (exiting_) return {};
      ++togglesWaiting_;
      if (underway_ != Underway::kNothing || beginning_ || searchDue_) return {};
      --togglesWaiting_;
      beginning_ = true;
      return {{ReaderAction::kBeginToggle}};

    case ReaderEvent::kToggleBegun:
      if (!beginning_) return {};
      beginning_ = false;
      if (exiting_) return {};
      searchDue_ = true;
      return Next(false);  // at once, or after the poll sent inside the box

    case ReaderEvent::kPollTick:
      if (exiting_ || !polling_ || underway_ != Underway::kNothing || searchDue_) {
        // The answer under way (or the toggle's outcome) sets the timer.
        return {{ReaderAction::kStopPollTimer}};
      }
      return Submit(ReaderAction::kSubmitPoll, Underway::kPoll);

    case ReaderEvent::kPollingWanted:
      polling_ = true;
      if (exiting_ || underway_ != Underway::kNothing || searchDue_) return {};
      return {{ReaderAction::kStartPollTimer}};

    case ReaderEvent::kPollingStopped:
      polling_ = false;
      return {{ReaderAction::kStopPollTimer}};

    case ReaderEvent::kSearchAnswered:
    case ReaderEvent::kPollAnswered: {
      const Underway kind =
          event == ReaderEvent::kSearchAnswered ? Underway::kSearch : Underway::kPoll;
      if (underway_ != kind || request != request_) return {{ReaderAction::kDropAnswer}};
      underway_ = Underway::kNothing;
      // At exit nothing more is taken; after a stop no poll is.
      if (exiting_ || (kind == Underway::kPoll && !polling_)) {
        ReaderActions dropped{{ReaderAction::kDropAnswer}};
        const ReaderActions next = Next(true);
        dropped.list.insert(dropped.list.end(), next.list.begin(), next.list.end());
        dropped.request = next.request;
        return dropped;
      }
      taking_ = kind;
      return {{ReaderAction::kTakeAnswer}};
    }

    case ReaderEvent::kAnswerTaken: {
      if (taking_ == Underway::kNothing) return {};
      // A search's outcome has set the timer already (kPollingWanted).
      const bool poll = taking_ == Underway::kPoll;
      taking_ = Underway::kNothing;
      return Next(poll);
    }

    case ReaderEvent::kExit:
      exiting_ = true;
      return {{ReaderAction::kStopPollTimer}};
  }
  return {};
}

}  // namespace keyentry
