// Fuzzes the reader of the key settings file SetKey.txt, with a one-byte and
// a multi-byte stand-in for the ANSI code page.
//
// Checked for every input and both code pages:
// - at most eight names are read; the names read are the file's first lines,
//   converted, and the names not read stay empty; no name holds a CR;
// - when all eight were read, writing them gives seven CR LF and no other CR,
//   and reading that back gives the same eight names. The one exception is
//   an empty eighth name: it leaves nothing after the last CR LF, which reads
//   back as a file of seven lines (the file then counts as unreadable).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/KeySettings.h"
#include "core/Lines.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/support/Utf8Codec.h"

namespace {

using keyentry::kCardFieldCount;

void Check(std::string_view input, const keyentry::TextCodec& codec) {
  const keyentry::KeySettingsContent content = keyentry::ParseKeySettings(input, codec);
  FUZZ_CHECK(content.count >= 0 && content.count <= kCardFieldCount);

  keyentry::LineReader reader(input);
  std::string line;
  int lines = 0;
  while (lines < kCardFieldCount && reader.ReadLine(line)) {
    FUZZ_CHECK(content.names[lines] == codec.ToWide(line));
    ++lines;
  }
  FUZZ_CHECK(content.count == lines);
  for (int k = 0; k < kCardFieldCount; ++k) {
    FUZZ_CHECK(content.names[k].find(L'\r') == std::wstring::npos);
    if (k >= content.count) FUZZ_CHECK(content.names[k].empty());
  }
  if (content.count < kCardFieldCount) return;

  const std::string written = keyentry::FormatKeySettings(content.names, codec);
  std::size_t crs = 0;
  for (std::size_t i = 0; i < written.size(); ++i) {
    if (written[i] != '\r') continue;
    ++crs;
    FUZZ_CHECK(i + 1 < written.size() && written[i + 1] == '\n');
  }
  FUZZ_CHECK(crs == kCardFieldCount - 1);

  const keyentry::KeySettingsContent again = keyentry::ParseKeySettings(written, codec);
  const bool lastEmpty = content.names[kCardFieldCount - 1].empty();
  FUZZ_CHECK(again.count == (lastEmpty ? kCardFieldCount - 1 : kCardFieldCount));
  for (int k = 0; k < kCardFieldCount; ++k) {
    FUZZ_CHECK(again.names[k] == content.names[k]);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  Check(input, keyentry::fuzz::Latin1Codec());
  Check(input, keyentry::test::Utf8Codec());
  return 0;
}
