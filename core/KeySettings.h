#pragma once
// The key settings file SetKey.txt: eight lines, one key name per card field,
// in the ANSI code page. Written with CR LF after the first seven names and
// nothing after the eighth.
#include <string>
#include <string_view>

#include "core/CardField.h"
#include "core/TextCodec.h"

namespace keyentry {

inline constexpr const wchar_t* kKeySettingsFileName = L"SetKey.txt";

struct KeySettingsContent {
  HotKeyTable names;  // the first `count` entries were read
  int count = 0;      // lines read, at most eight; fewer means the read failed
};

KeySettingsContent ParseKeySettings(std::string_view bytes, const TextCodec& codec);
std::string FormatKeySettings(const HotKeyTable& names, const TextCodec& codec);

}  // namespace keyentry
