// Fuzzes the line splitter shared by the key settings file and the card text.
//
// Checked for every input:
// - no line contains a CR, and there are never more lines than bytes;
// - once reading fails it keeps failing;
// - putting the lines back together, each followed by the CR that ended it,
//   gives the input with every CR LF written as a lone CR. The final line
//   end is present exactly when the input ends in one. This holds only if a
//   line ends at CR or CR LF and nowhere else, the LF of a CR LF is taken as
//   part of the line end, an LF elsewhere stays in the line, and no empty
//   line is invented after a final line end.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/Lines.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

// The input with each CR LF replaced by CR.
std::string WithLoneCrs(std::string_view input) {
  std::string out;
  out.reserve(input.size());
  for (std::size_t i = 0; i < input.size(); ++i) {
    out += input[i];
    if (input[i] == '\r' && i + 1 < input.size() && input[i + 1] == '\n') ++i;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  keyentry::LineReader reader(input);
  std::vector<std::string> lines;
  std::string line = "left over from before";  // the reader must replace it
  while (reader.ReadLine(line)) {
    FUZZ_CHECK(line.find('\r') == std::string::npos);
    lines.push_back(line);
    // Every line uses up at least one byte (text or line end).
    FUZZ_CHECK(lines.size() <= size);
  }
  FUZZ_CHECK(!reader.ReadLine(line));
  FUZZ_CHECK(!reader.ReadLine(line));

  const std::string expected = WithLoneCrs(input);
  std::string joined;
  for (std::size_t k = 0; k < lines.size(); ++k) {
    if (k > 0) joined += '\r';
    joined += lines[k];
  }
  if (!expected.empty() && expected.back() == '\r') joined += '\r';
  FUZZ_CHECK(joined == expected);
  return 0;
}
