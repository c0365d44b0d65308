#pragma once
// Shared by the fuzzers: a check that stops the run on a broken invariant,
// and a one-byte stand-in for the system's ANSI code page (the multi-byte
// one is tests/support/Utf8Codec.h, shared with the unit tests).
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/TextCodec.h"

// libFuzzer treats the abort as a crash: it saves the input and exits non-zero.
#define FUZZ_CHECK(cond)                                                                  \
  do {                                                                                    \
    if (!(cond)) {                                                                        \
      std::fprintf(stderr, "FUZZ_CHECK failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__); \
      std::abort();                                                                       \
    }                                                                                     \
  } while (0)

namespace keyentry::fuzz {

// One byte per character (ISO 8859-1): every byte string converts to text and
// back unchanged, so round trips can be checked byte for byte.
class Latin1Codec : public TextCodec {
 public:
  std::wstring ToWide(std::string_view ansi) const override;
  // Characters above U+00FF become '?'.
  std::string ToAnsi(std::wstring_view text) const override;
};

}  // namespace keyentry::fuzz
