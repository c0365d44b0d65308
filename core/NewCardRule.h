#pragma once
// When a card read counts as a new card, for typing on read (读卡后): the
// first good read after reading was switched on, the first good read after a
// poll that found no card (the card was lifted and placed again) or after
// the card was cleared, and a good read of a card with another ID number
// than the card handled last. A card that stays on the reader is read at
// every poll but is new only once.
#include <optional>
#include <string>

#include "core/Wipe.h"

namespace keyentry {

class NewCardRule {
 public:
  NewCardRule() = default;
  ~NewCardRule() { WipeText(last_); }
  NewCardRule(const NewCardRule&) = delete;
  NewCardRule& operator=(const NewCardRule&) = delete;

  // Reading was switched on, a poll found no card, or the card was cleared:
  // the next good read is a new card.
  void Forget() { WipeText(last_); }
  // A good read of the card with this ID number: true when it is a new card.
  // It is then the card handled last, whether or not anything is typed for it.
  bool CardRead(const std::wstring& idNumber) {
    if (last_ && *last_ == idNumber) return false;
    WipeText(last_);
    last_ = idNumber;
    return true;
  }

 private:
  std::optional<std::wstring> last_;  // the ID number of the card handled last
};

}  // namespace keyentry
