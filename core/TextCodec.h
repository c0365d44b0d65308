#pragma once
// Conversion between text in memory (UTF-16) and the system's ANSI code page
// used by the program's text files and by the text-sending library.
#include <string>
#include <string_view>

namespace keyentry {

class TextCodec {
 public:
  virtual ~TextCodec() = default;
  virtual std::wstring ToWide(std::string_view ansi) const = 0;
  virtual std::string ToAnsi(std::wstring_view text) const = 0;
};

}  // namespace keyentry
