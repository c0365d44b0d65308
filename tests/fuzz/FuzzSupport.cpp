#include "tests/fuzz/FuzzSupport.h"

#include <cstdint>

namespace keyentry::fuzz {

std::wstring Latin1Codec::ToWide(std::string_view ansi) const {
  std::wstring out;
  out.reserve(ansi.size());
  for (char c : ansi) out += static_cast<wchar_t>(static_cast<unsigned char>(c));
  return out;
}

std::string Latin1Codec::ToAnsi(std::wstring_view text) const {
  std::string out;
  out.reserve(text.size());
  for (wchar_t w : text) {
    const auto c = static_cast<std::uint32_t>(w);
    out += c <= 0xFF ? static_cast<char>(c) : '?';
  }
  return out;
}

}  // namespace keyentry::fuzz
