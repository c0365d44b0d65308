#include "core/KeySettings.h"

#include "core/Lines.h"

namespace keyentry {

KeySettingsContent ParseKeySettings(std::string_view bytes, const TextCodec& codec) {
  KeySettingsContent content;
  LineReader reader(bytes);
  std::string line;
  while (content.count < kCardFieldCount && reader.ReadLine(line)) {
    content.names[content.count] = codec.ToWide(line);
    ++content.count;
  }
  return content;
}

std::string FormatKeySettings(const HotKeyTable& names, const TextCodec& codec) {
  std::string bytes;
  for (int k = 0; k < kCardFieldCount; ++k) {
    bytes += codec.ToAnsi(names[k]);
    if (k < kCardFieldCount - 1) bytes += "\r\n";
  }
  return bytes;
}

}  // namespace keyentry
