#pragma once
// A card that makes the reader library crash at every read. Each crash
// ends the helper, so without a guard every poll would start a fresh one.
// The guard counts the reads of the card on the reader that ended the
// helper (a crash or a missed deadline); opening the port and asking for a
// card do not clear the count, only a read that ends normally or a poll
// that finds no card (the card was lifted). After kCrashesBeforeRefusing of
// them the card is no longer read until it is lifted.
namespace keyentry {

class ReadCrashGuard {
 public:
  static constexpr unsigned kCrashesBeforeRefusing = 3;

  // KLV_Authenticate answered: a card lies on the reader, or none.
  void Authenticated(bool cardFound) {
    if (!cardFound) crashes_ = 0;
  }
  // KLV_Read_Content answered (whatever it said).
  void ReadAnswered() { crashes_ = 0; }
  // KLV_Read_Content crashed the helper or missed its deadline.
  void ReadFailed() { ++crashes_; }

  bool MayRead() const { return crashes_ < kCrashesBeforeRefusing; }
  // Reads of this card that ended the helper, in a row.
  unsigned Crashes() const { return crashes_; }

 private:
  unsigned crashes_ = 0;
};

}  // namespace keyentry
