#pragma once
// The card text file wz.txt written by the reader library: one field per
// line in card field order, in the ANSI code page, lines ended by CR LF or CR.
#include <string>
#include <string_view>

#include "core/CardField.h"
#include "core/TextCodec.h"

namespace keyentry {

inline constexpr const wchar_t* kCardTextFileName = L"wz.txt";
inline constexpr const wchar_t* kCardPhotoFileName = L"zp.bmp";

struct CardText {
  std::array<std::wstring, kCardFieldCount> fields;  // trimmed
  int count = 0;  // fields present; fewer than eight means the file was short
};

// Removes padding at both ends of a field: ordinary spaces and ideographic
// (full-width) spaces. Tabs, line feeds and everything else stay.
std::wstring TrimFieldText(std::wstring_view text);

CardText ParseCardText(std::string_view bytes, const TextCodec& codec);

}  // namespace keyentry
