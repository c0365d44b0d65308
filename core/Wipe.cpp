#include "core/Wipe.h"

namespace keyentry {

void WipeMemory(void* data, std::size_t size) {
  volatile unsigned char* bytes = static_cast<volatile unsigned char*>(data);
  for (std::size_t k = 0; k < size; ++k) bytes[k] = 0;
}

namespace {
template <typename String>
void WipeWholeBuffer(String& text) {
  // Within its capacity a string grows without moving: the stale part of the
  // buffer becomes reachable, and is zeroed with the rest.
  text.resize(text.capacity());
  WipeMemory(&text[0], text.size() * sizeof(text[0]));
  text.clear();
}
}  // namespace

void WipeText(std::string& text) { WipeWholeBuffer(text); }
void WipeText(std::wstring& text) { WipeWholeBuffer(text); }

void WipeText(std::optional<std::string>& text) {
  if (text) WipeWholeBuffer(*text);
  text.reset();
}

void WipeText(std::optional<std::wstring>& text) {
  if (text) WipeWholeBuffer(*text);
  text.reset();
}

void WipeCardValues(CardFieldValues& values) {
  for (auto& value : values) WipeText(value);
}

}  // namespace keyentry
