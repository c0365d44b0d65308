#pragma once
// One call of the reader library as the program sends it to its helper
// process (KeyEntryReader.exe), and what became of it.
#include <cstdint>

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

}  // namespace keyentry
