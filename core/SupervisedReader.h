#pragma once
// The reader library runs in a helper process of its own (KeyEntryReader.exe),
// so that a crash or a hang inside the vendor's code costs only that process.
// SupervisedReader is the program's ReaderLibrary on top of it: it starts the
// helper when a call needs it, gives every call a deadline, ends a helper
// that crashed or missed one, and starts a fresh one for the next call, after
// a pause that grows while the helper keeps failing. A fresh helper opens the
// reader's port again before the first poll (the last good port first).
// The process and the clock are ports, so these decisions are tested natively.
//
// Two failures are not the helper's fault and are kept apart:
// - KLV_InitComm missing its deadline while the program searches the ports
//   (a Bluetooth serial port may take 20 s to answer): there is no reader on
//   that port. The next port gets a fresh helper at once, without a pause.
// - A read that crashes the helper counts against the card on the reader
//   (ReadCrashGuard): the pause grows with these crashes even though opening
//   the port and KLV_Authenticate succeed in between, and after a few the
//   card is not read any more until it is lifted (kCardRefused).
#include <cstdint>
#include <mutex>

#include "core/HelperProcess.h"
#include "core/MonotonicClock.h"
#include "core/ReadCrashGuard.h"
#include "core/ReaderCall.h"
#include "core/ReaderLibrary.h"
#include "core/ReaderTrouble.h"
#include "core/SelfCheck.h"

namespace keyentry {

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
  // ReadContent throws ReaderUnavailable(kCardRefused), without asking the
  // helper, for a card that crashed it too often.
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
  // How a failure of the helper in a call is counted.
  enum class Blame {
    kHelper,  // one more failure in a row
    kPort,    // a port searched for a reader: no pause
  };
  std::int32_t Make(ReaderCall call, std::int32_t argument);
  void EnsureRunning(ReaderCall call);
  // Opens the last good port again, then the others in search order.
  void Reopen();
  std::int32_t Send(ReaderCall call, std::int32_t argument, Blame blame);
  std::uint32_t DeadlineOf(ReaderCall call) const;

  HelperProcess& process_;
  MonotonicClock& clock_;
  ReaderDeadlines deadlines_;
  mutable std::mutex mutex_;  // the state below, read by the self-check
  bool running_ = false;
  bool exiting_ = false;
  bool everStarted_ = false;
  unsigned failures_ = 0;  // in a row, since the last answer
  ReadCrashGuard readCrashes_;
  std::uint64_t restartAt_ = 0;
  std::int32_t lastGoodPort_ = 0;
  bool reopenPending_ = false;
  ReaderHelperFacts facts_;
};

}  // namespace keyentry
