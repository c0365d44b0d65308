// Fuzzes the reader of the card text file wz.txt and the trimming of its
// fields, with a one-byte and a multi-byte stand-in for the ANSI code page.
//
// Checked for every input:
// - at most eight fields are read; they are the file's first lines,
//   converted and trimmed; the fields not read stay empty;
// - a field is at most 128 UTF-16 units: a longer line is cut there (one unit
//   earlier where the cut would split a surrogate pair) and trimmed again;
// - no field holds a CR or begins or ends with a space (U+0020) or an
//   ideographic space (U+3000);
// - trimming removes exactly the spaces and ideographic spaces at both ends
//   and nothing else (other blanks such as tabs, line feeds, no-break and em
//   spaces stay), and trimming again changes nothing. This is also checked on
//   text built from the input over a small alphabet rich in padding, as the
//   raw bytes rarely spell an ideographic space.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/Lines.h"
#include "reader/CardText.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/support/Utf8Codec.h"

namespace {

using keyentry::kCardFieldCount;

constexpr wchar_t kPadding[] = L" \u3000";

bool IsPadding(wchar_t c) { return c == L' ' || c == L'\u3000'; }

void CheckTrim(std::wstring_view text) {
  const std::wstring trimmed = keyentry::TrimFieldText(text);
  const std::wstring whole(text);
  const std::size_t first = whole.find_first_not_of(kPadding);
  const std::wstring expected =
      first == std::wstring::npos
          ? std::wstring()
          : whole.substr(first, whole.find_last_not_of(kPadding) - first + 1);
  FUZZ_CHECK(trimmed == expected);
  FUZZ_CHECK(keyentry::TrimFieldText(trimmed) == trimmed);
}

std::wstring ExpectedField(std::wstring_view text) {
  const std::wstring whole = keyentry::TrimFieldText(text);
  if (whole.size() <= 128) return whole;
  const bool splitsPair = whole[127] >= 0xD800 && whole[127] <= 0xDBFF;
  return keyentry::TrimFieldText(whole.substr(0, splitsPair ? 127 : 128));
}

void CheckCard(std::string_view input, const keyentry::TextCodec& codec) {
  const keyentry::CardText card = keyentry::ParseCardText(input, codec);
  FUZZ_CHECK(card.count >= 0 && card.count <= kCardFieldCount);

  keyentry::LineReader reader(input);
  std::string line;
  int lines = 0;
  while (lines < kCardFieldCount && reader.ReadLine(line)) {
    const std::wstring text = codec.ToWide(line);
    CheckTrim(text);
    FUZZ_CHECK(card.fields[lines] == ExpectedField(text));
    ++lines;
  }
  FUZZ_CHECK(card.count == lines);

  for (int k = 0; k < kCardFieldCount; ++k) {
    const std::wstring& field = card.fields[k];
    if (k >= card.count) FUZZ_CHECK(field.empty());
    FUZZ_CHECK(field.find(L'\r') == std::wstring::npos);
    FUZZ_CHECK(field.size() <= 128);
    if (!field.empty()) {
      FUZZ_CHECK(!IsPadding(field.front()));
      FUZZ_CHECK(!IsPadding(field.back()));
    }
  }
}

// Two bits per choice: padding of either kind, a blank that is not padding,
// or a letter.
std::wstring PaddingRichText(std::string_view input) {
  static constexpr wchar_t kOtherBlanks[] = {L'\t',     L'\n',     L'\r', L'\u00A0',
                                             L'\u2003', L'\uFEFF', L'\0', L'\u3001'};
  std::wstring out;
  for (char c : input) {
    const auto b = static_cast<unsigned char>(c);
    switch (b & 3) {
      case 0:
        out += L' ';
        break;
      case 1:
        out += L'\u3000';
        break;
      case 2:
        out += kOtherBlanks[(b >> 2) & 7];
        break;
      default:
        out += static_cast<wchar_t>(L'a' + (b >> 2) % 26);
        break;
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  CheckCard(input, keyentry::fuzz::Latin1Codec());
  CheckCard(input, keyentry::test::Utf8Codec());
  CheckTrim(PaddingRichText(input));
  return 0;
}
