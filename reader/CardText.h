#pragma once
// The card text file wz.txt written by the reader library: one field per
// line in card field order, in the ANSI code page, lines ended by CR LF or CR.
#include <cstddef>
#include <string>
#include <string_view>

#include "core/CardField.h"
#include "core/TextCodec.h"

namespace keyentry {

inline constexpr const wchar_t* kCardTextFileName = L"wz.txt";
inline constexpr const wchar_t* kCardPhotoFileName = L"zp.bmp";

// The card text comes from outside and may be of any size, so only its
// beginning is read, and a field is cut to a length far above any real card
// (the longest field a card holds, the address, has at most 35 characters).
// The cut keeps the time to type a field short, and the keyboard hook types
// it while every other key press waits.
inline constexpr std::size_t kCardTextMaxBytes = 64 * 1024;
// UTF-16 units; a surrogate pair is never cut in two.
inline constexpr std::size_t kCardFieldMaxLength = 128;

struct CardText {
  std::array<std::wstring, kCardFieldCount> fields;  // trimmed
  int count = 0;  // fields present; fewer than eight means the file was short
};

// Removes padding at both ends of a field: ordinary spaces and ideographic
// (full-width) spaces. Tabs, line feeds and everything else stay.
std::wstring TrimFieldText(std::wstring_view text);

// A trimmed field cut to at most kCardFieldMaxLength units, trimmed again.
std::wstring CardFieldText(std::wstring_view text);

// The fields of the first kCardTextMaxBytes bytes; a longer text counts as
// cut off there.
CardText ParseCardText(std::string_view bytes, const TextCodec& codec);

}  // namespace keyentry
