#pragma once
// When a card read counts as a new card, for typing on read (读卡后). A good
// read is a new card when
// - it is the first since reading was switched on or the card was cleared,
// - the card has another ID number than the card handled last, or
// - the reader found no card for at least kLiftedAfterMs before it: from
//   the first poll of a run that found no card to the poll that found one
//   again (a read that fails ends the run too: the reader found a card).
// A card that stays on the reader is new only once, also on a reader that
// blinks: some readers find a card lying on them only at every second or
// third poll, others miss it now and then (when it is nudged). At one poll
// each 300 ms that leaves gaps of 0.3 to 0.9 s, or a little more where a
// slow read stretches the period. Lifting a card and placing it again takes
// a person at least a second or two, and the run of polls that find no card
// is shorter than the time away by at most one poll period: 1.5 s lies
// above the gaps of blinking readers with two polls to spare, and below the
// run of a card away for 2 s (at least 1.7 s). A card placed again sooner is
// taken as one that stayed: typing the same card twice (with {Enter}, two
// records) is the worse mistake.
// Reading switched on and the card cleared by the privacy setting forget
// the card handled last: the operator started anew, and clearing wipes every
// copy of the card's data, this ID number included.
// Times are milliseconds of a clock that never goes back (the system's tick
// count), one per poll; the rule itself never reads a clock.
#include <cstdint>
#include <optional>
#include <string>

#include "core/Wipe.h"

namespace keyentry {

inline constexpr std::uint64_t kLiftedAfterMs = 1500;

class NewCardRule {
 public:
  NewCardRule() = default;
  ~NewCardRule() { WipeText(last_); }
  NewCardRule(const NewCardRule&) = delete;
  NewCardRule& operator=(const NewCardRule&) = delete;

  // Reading was switched on, or the card was cleared: the next good read is
  // a new card.
  void Forget() {
    WipeText(last_);
    lifted_ = false;
    noCardSince_.reset();
  }
  // A poll found no card.
  void NoCard(std::uint64_t nowMs) {
    if (!noCardSince_) noCardSince_ = nowMs;
  }
  // A poll found a card, but reading it failed (or its text was not whole).
  void ReadFailed(std::uint64_t nowMs) { CardFound(nowMs); }
  // A good read of the card with this ID number: true when it is a new card.
  // It is then the card handled last, whether or not anything is typed for it.
  bool CardRead(const std::wstring& idNumber, std::uint64_t nowMs) {
    CardFound(nowMs);
    const bool isNew = lifted_ || !last_ || *last_ != idNumber;
    lifted_ = false;
    if (isNew) {
      WipeText(last_);
      last_ = idNumber;
    }
    return isNew;
  }

 private:
  void CardFound(std::uint64_t nowMs) {
    if (noCardSince_ && nowMs >= *noCardSince_ && nowMs - *noCardSince_ >= kLiftedAfterMs) {
      lifted_ = true;
    }
    noCardSince_.reset();
  }

  std::optional<std::wstring> last_;          // the ID number of the card handled last
  bool lifted_ = false;                       // a long enough run without a card since
  std::optional<std::uint64_t> noCardSince_;  // the first poll of the run that found none
};

}  // namespace keyentry
