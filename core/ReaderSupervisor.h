#pragma once
// The reader library runs in a helper process of its own (KeyEntryReader.exe),
// so that a crash or a hang inside the vendor's code costs only that process.
// SupervisedReader is the program's ReaderLibrary on top of it: it starts the
// helper when a call needs it, gives every call a deadline, ends a helper
// that crashed or missed one, and starts a fresh one for the next call, after
// a pause that grows while the helper keeps failing. A fresh helper opens the
// reader's port again before the first poll (the last good port first).
// The process and the clock are ports, so these decisions are tested natively.
#include <cstdint>
#include <mutex>
#include <stdexcept>

#include "core/ReaderLibrary.h"
#include "core/SelfCheck.h"

namespace keyentry {

// The four calls the helper serves, with their numbers on the pipe.
enum class ReaderCall : std::uint32_t {
  kInitComm = 1,
  kAuthenticate = 2,
  kReadContent = 3,
  kCloseComm = 4,
};

// What became of one call sent to the helper.
struct CallOutcome {
  enum class Kind {
    kAnswered,      // value: the library's answer
    kLibraryError,  // the library or the function could not be loaded
    kCrashed,       // the helper ended (or its pipe broke) before answering
    kDeadline,      // no answer within the deadline: the helper was ended
    kEnded,         // the program ended the helper meanwhile (at exit)
  };
  Kind kind = Kind::kAnswered;
  std::int32_t value = 0;
  LibraryFacts facts;  // as the helper knows them (kAnswered, kLibraryError)
};

// The helper process. End() may be called from any thread, also while
// another thread waits in Call(): that call then ends with kEnded.
class HelperProcess {
 public:
  virtual ~HelperProcess() = default;
  // Starts a fresh helper; false when it cannot be started.
  virtual bool Start() = 0;
  virtual CallOutcome Call(ReaderCall call, std::int32_t argument, std::uint32_t deadlineMs) = 0;
  // Ends the helper (nothing when none runs) and lets go of its handles.
  virtual void End() = 0;
};

class MonotonicClock {
 public:
  virtual ~MonotonicClock() = default;
  virtual std::uint64_t NowMs() = 0;
};

// Why the reader could not be used for a call.
enum class ReaderTrouble {
  kNone,
  kCrashed,       // the helper crashed inside a call
  kNoAnswer,      // a call missed its deadline
  kCannotStart,   // KeyEntryReader.exe could not be started
  kReconnecting,  // a fresh helper found no reader on any port
  kPausing,       // waiting before the next start (the last reason stands)
  kExiting,       // the program is ending
};

// Thrown by SupervisedReader when a call could not be made for one of the
// reasons above (never for kNone).
class ReaderUnavailable : public std::runtime_error {
 public:
  explicit ReaderUnavailable(ReaderTrouble trouble)
      : std::runtime_error("reader helper unavailable"), trouble_(trouble) {}
  ReaderTrouble trouble() const { return trouble_; }

 private:
  ReaderTrouble trouble_;
};

// Deadlines in milliseconds. A port search tries up to 32 ports, and opening
// a serial port that has no reader may take a second or more while the
// library tries its speeds: 5 s each. Asking for a card is quick: 3 s. Real
// readers take one to two seconds to read a card: 10 s leaves room for a
// slow hub. At exit the program does not wait long: 1 s.
struct ReaderDeadlines {
  std::uint32_t initComm = 5000;
  std::uint32_t authenticate = 3000;
  std::uint32_t readContent = 10000;
  std::uint32_t closeComm = 1000;
};

// The pause before starting a fresh helper after `failures` failures in a
// row: none after the first (the next poll gets a fresh helper at once), then
// 1 s, 2 s, 4 s, ... up to 30 s.
std::uint32_t RestartPauseMs(unsigned failures);

// The reason of a failure in the self-check's words (empty for none).
const wchar_t* TroubleReason(ReaderTrouble trouble);

// What the self-check shows of the helper.
struct ReaderHelperFacts {
  bool running = false;
  unsigned restarts = 0;                            // fresh helpers after a failure
  ReaderTrouble lastReason = ReaderTrouble::kNone;  // of the last failure
  LibraryFacts library;                             // as the helper reported them last
};

class SupervisedReader : public ReaderLibrary {
 public:
  SupervisedReader(HelperProcess& process, MonotonicClock& clock, ReaderDeadlines deadlines = {});

  // Throw ReaderUnavailable when the helper failed, is pausing or the
  // program is ending, ReaderLibraryError when the library cannot be loaded.
  std::int32_t InitComm(std::int32_t port) override;
  std::int32_t Authenticate() override;
  std::int32_t ReadContent(std::int32_t mode) override;
  std::int32_t CloseComm() override;

  // At exit (on the thread that makes the calls): KLV_CloseComm with its
  // short deadline when a helper runs, then the helper is ended. Calls made
  // later throw ReaderUnavailable(kExiting).
  void CloseAtExit();
  // From any thread, when the program cannot wait any longer: a call under
  // way ends at once (the helper is ended), and no call is made any more.
  void EndNow();

  ReaderHelperFacts Facts() const;

 private:
  std::int32_t Make(ReaderCall call, std::int32_t argument);
  void EnsureRunning(ReaderCall call);
  // Opens the last good port again, then the others in search order.
  void Reopen();
  std::int32_t Send(ReaderCall call, std::int32_t argument);
  std::uint32_t DeadlineOf(ReaderCall call) const;

  HelperProcess& process_;
  MonotonicClock& clock_;
  ReaderDeadlines deadlines_;
  mutable std::mutex mutex_;  // the state below, read by the self-check
  bool running_ = false;
  bool exiting_ = false;
  bool everStarted_ = false;
  unsigned failures_ = 0;  // in a row, since the last answer
  std::uint64_t restartAt_ = 0;
  std::int32_t lastGoodPort_ = 0;
  bool reopenPending_ = false;
  ReaderHelperFacts facts_;
};

}  // namespace keyentry
