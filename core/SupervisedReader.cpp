#include "core/SupervisedReader.h"

#include <algorithm>
#include <vector>

namespace keyentry {

namespace {
constexpr std::uint32_t kLongestPauseMs = 30000;

// The ports of a search, in its order.
std::vector<std::int32_t> SearchOrder() {
  std::vector<std::int32_t> ports;
  for (std::int32_t p = kFirstUsbPort; p <= kLastUsbPort; ++p) ports.push_back(p);
  for (std::int32_t p = kFirstSerialPort; p <= kLastSerialPort; ++p) ports.push_back(p);
  return ports;
}
}  // namespace

std::uint32_t RestartPauseMs(unsigned failures) {
  if (failures <= 1) return 0;
  std::uint32_t pause = 1000;
  for (unsigned n = 2; n < failures && pause < kLongestPauseMs; ++n) pause *= 2;
  return pause < kLongestPauseMs ? pause : kLongestPauseMs;
}

SupervisedReader::SupervisedReader(HelperProcess& process, MonotonicClock& clock,
                                   ReaderDeadlines deadlines)
    : process_(process), clock_(clock), deadlines_(deadlines) {}

std::int32_t SupervisedReader::InitComm(std::int32_t port) {
  return Make(ReaderCall::kInitComm, port);
}
std::int32_t SupervisedReader::Authenticate() { return Make(ReaderCall::kAuthenticate, 0); }
std::int32_t SupervisedReader::ReadContent(std::int32_t mode) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!exiting_ && !readCrashes_.MayRead()) throw ReaderUnavailable(ReaderTrouble::kCardRefused);
  }
  return Make(ReaderCall::kReadContent, mode);
}
std::int32_t SupervisedReader::CloseComm() { return Make(ReaderCall::kCloseComm, 0); }

std::uint32_t SupervisedReader::DeadlineOf(ReaderCall call) const {
  switch (call) {
    case ReaderCall::kInitComm:
      return deadlines_.initComm;
    case ReaderCall::kAuthenticate:
      return deadlines_.authenticate;
    case ReaderCall::kReadContent:
      return deadlines_.readContent;
    case ReaderCall::kCloseComm:
      return deadlines_.closeComm;
  }
  return deadlines_.closeComm;
}

std::int32_t SupervisedReader::Make(ReaderCall call, std::int32_t argument) {
  EnsureRunning(call);
  // A search opens the port itself; a poll needs it open first.
  if (call != ReaderCall::kInitComm && call != ReaderCall::kCloseComm) {
    bool reopen = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      reopen = reopenPending_;
    }
    if (reopen) Reopen();
  }
  // A port the program searches that does not answer in time has no reader.
  return Send(call, argument, call == ReaderCall::kInitComm ? Blame::kPort : Blame::kHelper);
}

void SupervisedReader::EnsureRunning(ReaderCall call) {
  bool restart = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (exiting_) throw ReaderUnavailable(ReaderTrouble::kExiting);
    if (running_) return;
    // Without a helper there is no port to close.
    if (call == ReaderCall::kCloseComm) throw ReaderUnavailable(ReaderTrouble::kPausing);
    if (clock_.NowMs() < restartAt_) throw ReaderUnavailable(ReaderTrouble::kPausing);
    restart = everStarted_;
  }
  const bool started = process_.Start();
  std::lock_guard<std::mutex> lock(mutex_);
  if (!started) {
    ++failures_;
    restartAt_ = clock_.NowMs() + RestartPauseMs(failures_);
    facts_.lastReason = ReaderTrouble::kCannotStart;
    throw ReaderUnavailable(ReaderTrouble::kCannotStart);
  }
  if (exiting_) {
    process_.End();
    throw ReaderUnavailable(ReaderTrouble::kExiting);
  }
  running_ = true;
  facts_.running = true;
  everStarted_ = true;
  if (restart) {
    ++facts_.restarts;
    if (lastGoodPort_ != 0) reopenPending_ = true;
  }
}

void SupervisedReader::Reopen() {
  std::int32_t first = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    first = lastGoodPort_;
  }
  std::vector<std::int32_t> ports{first};
  for (std::int32_t port : SearchOrder())
    if (port != first) ports.push_back(port);
  for (std::int32_t port : ports) {
    // Send notes a port that answers 1 and clears the reopening.
    if (ReaderSucceeded(Send(ReaderCall::kInitComm, port, Blame::kHelper))) return;
  }
  throw ReaderUnavailable(ReaderTrouble::kReconnecting);
}

std::int32_t SupervisedReader::Send(ReaderCall call, std::int32_t argument, Blame blame) {
  const CallOutcome outcome = process_.Call(call, argument, DeadlineOf(call));
  std::lock_guard<std::mutex> lock(mutex_);
  switch (outcome.kind) {
    case CallOutcome::Kind::kAnswered:
    case CallOutcome::Kind::kLibraryError:
      failures_ = 0;
      facts_.library = outcome.facts;
      if (outcome.kind == CallOutcome::Kind::kLibraryError) {
        throw ReaderLibraryError("reader library cannot be loaded");
      }
      if (call == ReaderCall::kInitComm && ReaderSucceeded(outcome.value)) {
        lastGoodPort_ = argument;
        reopenPending_ = false;
      }
      if (call == ReaderCall::kAuthenticate)
        readCrashes_.Authenticated(ReaderSucceeded(outcome.value));
      if (call == ReaderCall::kReadContent) readCrashes_.ReadAnswered();
      return outcome.value;
    case CallOutcome::Kind::kCrashed:
    case CallOutcome::Kind::kDeadline: {
      process_.End();
      running_ = false;
      facts_.running = false;
      const bool portBlocked =
          blame == Blame::kPort && outcome.kind == CallOutcome::Kind::kDeadline;
      if (!portBlocked) ++failures_;
      if (call == ReaderCall::kReadContent) {
        // Opening the port and asking for the card answered since the last
        // crash of this card's read: the card's crashes keep the pause growing.
        readCrashes_.ReadFailed();
        failures_ = std::max(failures_, readCrashes_.Crashes());
      }
      restartAt_ = portBlocked ? 0 : clock_.NowMs() + RestartPauseMs(failures_);
      const ReaderTrouble trouble = outcome.kind == CallOutcome::Kind::kCrashed
                                        ? ReaderTrouble::kCrashed
                                        : ReaderTrouble::kNoAnswer;
      facts_.lastReason = trouble;
      throw ReaderUnavailable(trouble);
    }
    case CallOutcome::Kind::kEnded:
      break;
  }
  running_ = false;
  facts_.running = false;
  throw ReaderUnavailable(ReaderTrouble::kExiting);
}

void SupervisedReader::CloseAtExit() {
  try {
    Make(ReaderCall::kCloseComm, 0);
  } catch (const std::exception&) {
    // No helper, no library, or no answer in time: the port closes with the helper.
  }
  std::lock_guard<std::mutex> lock(mutex_);
  exiting_ = true;
  process_.End();
  running_ = false;
  facts_.running = false;
}

void SupervisedReader::EndNow() {
  std::lock_guard<std::mutex> lock(mutex_);
  exiting_ = true;
  process_.End();
}

ReaderHelperFacts SupervisedReader::Facts() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return facts_;
}

}  // namespace keyentry
