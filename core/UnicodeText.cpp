#include "core/UnicodeText.h"

#include <cstdint>

namespace keyentry {

namespace {

constexpr std::uint32_t kReplacement = 0xFFFD;

void AppendCodePoint(std::wstring& out, std::uint32_t cp) {
  if constexpr (sizeof(wchar_t) == 2) {
    if (cp >= 0x10000) {  // a surrogate pair
      cp -= 0x10000;
      out += static_cast<wchar_t>(0xD800 + (cp >> 10));
      out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
      return;
    }
  }
  out += static_cast<wchar_t>(cp);
}

}  // namespace

std::optional<std::wstring> DecodeUtf8Strict(std::string_view bytes) {
  const auto at = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
  std::wstring out;
  out.reserve(bytes.size());
  std::size_t i = 0;
  while (i < bytes.size()) {
    const unsigned char b0 = at(i);
    if (b0 < 0x80) {
      out += static_cast<wchar_t>(b0);
      ++i;
      continue;
    }
    std::size_t length = 0;
    std::uint32_t cp = 0;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (b0 >= 0xC2 && b0 <= 0xDF) {
      length = 2;
      cp = b0 & 0x1Fu;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
      length = 3;
      cp = b0 & 0x0Fu;
      if (b0 == 0xE0) low = 0xA0;   // overlong below U+0800
      if (b0 == 0xED) high = 0x9F;  // surrogates U+D800..U+DFFF
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
      length = 4;
      cp = b0 & 0x07u;
      if (b0 == 0xF0) low = 0x90;   // overlong below U+10000
      if (b0 == 0xF4) high = 0x8F;  // above U+10FFFF
    } else {
      return std::nullopt;  // continuation byte, C0/C1 (overlong) or F5..FF
    }
    if (bytes.size() - i < length) return std::nullopt;
    if (at(i + 1) < low || at(i + 1) > high) return std::nullopt;
    for (std::size_t k = 1; k < length; ++k) {
      if ((at(i + k) & 0xC0) != 0x80) return std::nullopt;
      cp = (cp << 6) | (at(i + k) & 0x3Fu);
    }
    AppendCodePoint(out, cp);
    i += length;
  }
  return out;
}

std::wstring DecodeUtf16(std::string_view bytes, bool bigEndian) {
  const std::size_t count = bytes.size() / 2;
  const auto unit = [&](std::size_t k) -> std::uint32_t {
    const auto first = static_cast<unsigned char>(bytes[2 * k]);
    const auto second = static_cast<unsigned char>(bytes[2 * k + 1]);
    return bigEndian ? (first << 8u) | second : (second << 8u) | first;
  };
  std::wstring out;
  out.reserve(count + 1);
  for (std::size_t k = 0; k < count; ++k) {
    const std::uint32_t u = unit(k);
    if (u >= 0xD800 && u <= 0xDBFF && k + 1 < count) {
      const std::uint32_t next = unit(k + 1);
      if (next >= 0xDC00 && next <= 0xDFFF) {
        AppendCodePoint(out, 0x10000 + ((u - 0xD800) << 10) + (next - 0xDC00));
        ++k;
        continue;
      }
    }
    AppendCodePoint(out, u >= 0xD800 && u <= 0xDFFF ? kReplacement : u);
  }
  if (bytes.size() % 2 != 0) AppendCodePoint(out, kReplacement);
  return out;
}

std::u16string ToUtf16(std::wstring_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (const wchar_t c : text) {
    const auto cp = static_cast<std::uint32_t>(c);
    if constexpr (sizeof(wchar_t) == 2) {
      out += static_cast<char16_t>(cp);
    } else if (cp >= 0x10000 && cp <= 0x10FFFF) {
      out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out += static_cast<char16_t>(kReplacement);
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

std::string EncodeUtf8(std::wstring_view text) {
  const std::u16string units = ToUtf16(text);
  std::string out;
  for (std::size_t i = 0; i < units.size(); ++i) {
    std::uint32_t cp = units[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (units[++i] - 0xDC00);
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = kReplacement;
    }
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

}  // namespace keyentry
