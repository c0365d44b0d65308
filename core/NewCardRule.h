#pragma once
// When a card read counts as a new card, for typing on read (读卡后). A good
// read is a new card when
// - it is the first since reading was switched on,
// - the card has another ID number than the card handled last, or
// - the reader found no card for at least kLiftedAfterMs before it: from
//   the first poll of a run that found no card to the poll that found one
//   again (a read that fails ends the run too: the reader found a card).
// Each poll's time is the moment KLV_Authenticate answered it, taken where
// the reader is called: never the moment the window handles the answer,
// which lies after the read. A read takes a real reader one to two seconds;
// counted as time without a card, it would make a card lying on a blinking
// reader new at almost every read.
// A card that stays on the reader is new only once, also on a reader that
// blinks: some readers find a card lying on them only at every second or
// third poll, others miss it now and then (when it is nudged). At one poll
// each 300 ms after the end of the one before, that leaves gaps of 0.3 to
// 0.9 s between the polls' answers. Lifting a card and placing it again
// takes a person at least a second or two, and the run of polls that find
// no card is shorter than the time away by at most one poll period: 1.5 s
// lies above the gaps of blinking readers with two polls to spare, and below
// the run of a card away for 2 s (at least 1.7 s). A card placed again
// sooner is taken as one that stayed: typing the same card twice (with
// {Enter}, two records) is the worse mistake.
// Reading switched on forgets the card handled last: the operator started
// anew. Clearing the card's data (the privacy setting 清除秒数) does not: a
// card still lying there is the same card, already handled. The rule keeps
// no copy of the ID number, only a digest of it keyed by a secret drawn
// once per process, from which the number cannot be read back.
// Times are milliseconds of a clock that never goes back (the system's tick
// count), one per poll; the rule itself never reads a clock.
#include <cstdint>
#include <optional>
#include <string>

namespace keyentry {

inline constexpr std::uint64_t kLiftedAfterMs = 1500;

// A keyed 64-bit digest (SipHash-2-4) of the text's UTF-16 code units.
std::uint64_t KeyedDigest(const std::wstring& text, std::uint64_t key0, std::uint64_t key1);

class NewCardRule {
 public:
  // With a key of this process's own.
  NewCardRule();
  // With the given key (for tests).
  NewCardRule(std::uint64_t key0, std::uint64_t key1) : key0_(key0), key1_(key1) {}
  NewCardRule(const NewCardRule&) = delete;
  NewCardRule& operator=(const NewCardRule&) = delete;

  // Reading was switched on: the next good read is a new card.
  void Forget() {
    last_.reset();
    lifted_ = false;
    noCardSince_.reset();
  }
  // A poll found no card; atMs: when the reader answered it.
  void NoCard(std::uint64_t atMs) {
    if (!noCardSince_) noCardSince_ = atMs;
  }
  // A poll found a card, but reading it failed (or its text was not whole).
  void ReadFailed(std::uint64_t atMs) { CardFound(atMs); }
  // A good read of the card with this ID number, found at atMs: true when it
  // is a new card. It is then the card handled last, whether or not anything
  // is typed for it.
  bool CardRead(const std::wstring& idNumber, std::uint64_t atMs);

 private:
  void CardFound(std::uint64_t atMs) {
    if (noCardSince_ && atMs >= *noCardSince_ && atMs - *noCardSince_ >= kLiftedAfterMs) {
      lifted_ = true;
    }
    noCardSince_.reset();
  }

  std::uint64_t key0_ = 0;
  std::uint64_t key1_ = 0;
  std::optional<std::uint64_t> last_;         // the digest of the card handled last
  bool lifted_ = false;                       // a long enough run without a card since
  std::optional<std::uint64_t> noCardSince_;  // the first poll of the run that found none
};

}  // namespace keyentry
