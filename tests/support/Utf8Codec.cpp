#include "tests/support/Utf8Codec.h"

#include <cstdint>

namespace keyentry::test {

static_assert(sizeof(wchar_t) == 4, "the host build keeps one code point per wchar_t");

namespace {

bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// Length of the well-formed sequence starting at s[i] and its code point,
// or 0 if there is none.
std::size_t DecodeOne(std::string_view s, std::size_t i, std::uint32_t& cp) {
  const auto at = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char b0 = at(i);
  std::size_t len;
  unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2;
    cp = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3;
    cp = b0 & 0x0F;
    if (b0 == 0xE0) lo = 0xA0;  // no overlong forms
    if (b0 == 0xED) hi = 0x9F;  // no surrogates
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4;
    cp = b0 & 0x07;
    if (b0 == 0xF0) lo = 0x90;  // no overlong forms
    if (b0 == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (i + len > s.size()) return 0;
  if (at(i + 1) < lo || at(i + 1) > hi) return 0;
  for (std::size_t k = 1; k < len; ++k) {
    if (!IsContinuation(at(i + k))) return 0;
    cp = (cp << 6) | (at(i + k) & 0x3F);
  }
  return len;
}

void Append(std::string& out, std::uint32_t c) {
  if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = 0xFFFD;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::wstring Utf8Codec::ToWide(std::string_view ansi) const {
  std::wstring out;
  for (std::size_t i = 0; i < ansi.size();) {
    const auto b = static_cast<unsigned char>(ansi[i]);
    std::uint32_t cp = 0;
    if (b < 0x80) {
      out += static_cast<wchar_t>(b);
      ++i;
    } else if (const std::size_t len = DecodeOne(ansi, i, cp)) {
      out += static_cast<wchar_t>(cp);
      i += len;
    } else {
      out += L'\uFFFD';
      ++i;
    }
  }
  return out;
}

std::string Utf8Codec::ToAnsi(std::wstring_view text) const {
  std::string out;
  for (wchar_t w : text) Append(out, static_cast<std::uint32_t>(w));
  return out;
}

std::string U8(std::wstring_view text) { return Utf8Codec().ToAnsi(text); }

}  // namespace keyentry::test
