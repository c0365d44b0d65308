#pragma once
// The one stand-in for the system's ANSI code page in the host tests and the
// fuzzers: UTF-8, a multi-byte code page in which, as in code page 936, CR
// and LF never occur inside a character.
#include <string>
#include <string_view>

#include "core/TextCodec.h"

namespace keyentry::test {

// Strictly decoded: every byte that does not start a well-formed sequence
// becomes U+FFFD, so any byte string converts, and converting the result back
// and forth again changes nothing.
class Utf8Codec : public TextCodec {
 public:
  std::wstring ToWide(std::string_view ansi) const override;
  // Surrogates and values above U+10FFFF are written as U+FFFD.
  std::string ToAnsi(std::wstring_view text) const override;
};

// The text in UTF-8, as Utf8Codec writes it.
std::string U8(std::wstring_view text);

}  // namespace keyentry::test
