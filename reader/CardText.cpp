#include "reader/CardText.h"

#include "core/Lines.h"
#include "core/TextTools.h"
#include "core/Wipe.h"

namespace keyentry {

namespace {
bool IsPadding(wchar_t c) { return c == L' ' || c == L'\u3000'; }
}  // namespace

std::wstring TrimFieldText(std::wstring_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsPadding(text[begin])) ++begin;
  while (end > begin && IsPadding(text[end - 1])) --end;
  return std::wstring(text.substr(begin, end - begin));
}

std::wstring CardFieldText(std::wstring_view text) {
  return TrimFieldText(Shortened(TrimFieldText(text), kCardFieldMaxLength, L""));
}

CardText ParseCardText(std::string_view bytes, const TextCodec& codec) {
  CardText card;
  LineReader reader(bytes.substr(0, kCardTextMaxBytes));
  std::string line;
  while (card.count < kCardFieldCount && reader.ReadLine(line)) {
    std::wstring wide = codec.ToWide(line);
    card.fields[card.count] = CardFieldText(wide);
    WipeText(wide);
    ++card.count;
  }
  WipeText(line);
  return card;
}

}  // namespace keyentry
