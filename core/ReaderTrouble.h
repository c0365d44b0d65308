#pragma once
// Why the reader could not be used for a call, and the exception that says so.
#include <stdexcept>

namespace keyentry {

enum class ReaderTrouble {
  kNone,
  kCrashed,       // the helper crashed inside a call
  kNoAnswer,      // a call missed its deadline
  kCannotStart,   // KeyEntryReader.exe could not be started
  kReconnecting,  // a fresh helper found no reader on any port
  kPausing,       // waiting before the next start (the last reason stands)
  kExiting,       // the program is ending
  kCardRefused,   // the card on the reader crashed the library at every read
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

// The reason of a failure in the self-check's words (empty for none).
const wchar_t* TroubleReason(ReaderTrouble trouble);

}  // namespace keyentry
