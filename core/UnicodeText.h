#pragma once
// Decoding of Unicode text files into text in memory (UTF-16 on Windows,
// one code point per wchar_t where wchar_t has 32 bits).
#include <optional>
#include <string>
#include <string_view>

namespace keyentry {

// Strict UTF-8: nothing at all when any byte is not part of a well-formed
// sequence (overlong forms, surrogates, values above U+10FFFF, stray
// continuation bytes and sequences cut short are all ill-formed). A byte
// order mark is not treated specially here.
std::optional<std::wstring> DecodeUtf8Strict(std::string_view bytes);

// UTF-16 in the given byte order, without a byte order mark. Unpaired
// surrogates and an odd last byte become U+FFFD.
std::wstring DecodeUtf16(std::string_view bytes, bool bigEndian);

// The text as UTF-16 units, as Windows keeps it: copied where wchar_t has
// 16 bits; where it has 32, characters above U+FFFF become surrogate pairs,
// and lone surrogates and values above U+10FFFF become U+FFFD.
std::u16string ToUtf16(std::wstring_view text);

// The text in UTF-8; unpaired surrogates and values above U+10FFFF become
// U+FFFD.
std::string EncodeUtf8(std::wstring_view text);

}  // namespace keyentry
