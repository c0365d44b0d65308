#pragma once
// How long the card read last stays: with the privacy setting
// ClearAfterSeconds (清除秒数) the card is cleared that many seconds after
// its last successful read. A card left on the reader is read again at every
// poll and so never clears; the clock goes on while reading is switched off.
#include <cstdint>

namespace keyentry {

class CardRetention {
 public:
  // A card was read and shown at nowMs (a millisecond count that never goes
  // back, such as the time since the system started).
  void CardRead(std::uint64_t nowMs) {
    holding_ = true;
    lastReadMs_ = nowMs;
  }
  // Whether the card shown is to be cleared at nowMs: clearing is on
  // (clearAfterSeconds > 0), a card is held, and at least that many seconds
  // have passed since its last read.
  bool ClearDue(std::uint64_t nowMs, int clearAfterSeconds) const {
    if (!holding_ || clearAfterSeconds <= 0 || nowMs < lastReadMs_) return false;
    return nowMs - lastReadMs_ >= static_cast<std::uint64_t>(clearAfterSeconds) * 1000u;
  }
  // The card has been cleared: nothing to clear until the next read.
  void Cleared() { holding_ = false; }
  bool Holding() const { return holding_; }

 private:
  bool holding_ = false;
  std::uint64_t lastReadMs_ = 0;
};

}  // namespace keyentry
