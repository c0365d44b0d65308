#pragma once
// The order of the main window's requests to the reader: the toggle's port
// search, the polls, clicks of the read button, exit, and answers that come
// late. The window only reports what happened and does what this answers;
// it keeps no bookkeeping of its own.
//
// The reader is asked without waiting, one request at a time: a request is
// sent, and its answer comes later as a window message. Meanwhile the
// window goes on, and a message box (of the toggle's reload of SetKey.txt
// and KeyEntry.ini, or of a settings load) runs its own message loop, in
// which the poll timer fires and answers arrive. The rules:
//   - A click of the read button begins the toggle when no request is under
//     way and no toggle is being begun; otherwise it waits its turn (each
//     click counts, as each click of the old program ran the toggle).
//   - The toggle begins (its reload, whose message box may be open), and
//     its port search is sent once that is over and no poll is under way:
//     a poll sent inside the box answers first.
//   - A poll is sent at a tick of the poll timer while reading is on and
//     nothing is under way; the timer stands still until its answer has
//     been taken, so the period counts from the end of the poll.
//   - Whether reading is on is what the toggle's outcome said last (the
//     window's SetPollTimerEnabled): after a stop no poll is sent and the
//     timer is never started again, whatever answer comes.
//   - An answer is taken only when it is the answer of the request under
//     way; one that comes late, after a stop or at exit is dropped.
// Portable: no platform headers.
#include <cstdint>
#include <vector>

namespace keyentry {

enum class ReaderEvent {
  kToggleClicked,   // the read button (and the window's loading, which runs the toggle)
  kToggleBegun,     // the toggle's reload is over (its message boxes closed)
  kPollTick,        // the poll timer fired
  kPollingWanted,   // the toggle's outcome: reading is on, poll
  kPollingStopped,  // the toggle's outcome: reading is off (or no reader)
  kSearchAnswered,  // the answer of a port search, with its request number
  kPollAnswered,    // the answer of a poll, with its request number
  kAnswerTaken,     // the window has taken the answer it was told to take
  kExit,            // the window is closing
};

enum class ReaderAction {
  kStopPollTimer,
  kStartPollTimer,  // a new full period
  kTakeAnswer,      // take the answer just reported, then report kAnswerTaken
  kDropAnswer,      // ignore the answer just reported
  kSubmitSearch,    // send the port search, numbered ReaderActions::request
  kSubmitPoll,      // send a poll, numbered ReaderActions::request
  kBeginToggle,     // run the toggle's reload, then report kToggleBegun (always last)
};

struct ReaderActions {
  std::vector<ReaderAction> list;  // in the order to do them
  std::uint32_t request = 0;       // the number of the request to send
  bool Has(ReaderAction action) const;
};

class ReaderRequests {
 public:
  // request: the number of the answered request (kSearchAnswered,
  // kPollAnswered); ignored for the other events.
  ReaderActions On(ReaderEvent event, std::uint32_t request = 0);

  bool Polling() const { return polling_; }
  // Nothing is under way, no toggle begun or waiting.
  bool Idle() const {
    return underway_ == Underway::kNothing && !beginning_ && !searchDue_ && togglesWaiting_ == 0;
  }

 private:
  enum class Underway { kNothing, kSearch, kPoll };
  ReaderActions Submit(ReaderAction what, Underway kind);
  ReaderActions Next(bool restartTimer);

  Underway underway_ = Underway::kNothing;
  std::uint32_t request_ = 0;             // the number of the request under way (or sent last)
  Underway taking_ = Underway::kNothing;  // the answer being taken
  bool beginning_ = false;                // a toggle's reload runs (a box may be open)
  bool searchDue_ = false;                // a toggle's reload is over; its search waits
  int togglesWaiting_ = 0;
  bool polling_ = false;
  bool exiting_ = false;
};

}  // namespace keyentry
