#pragma once
// Line splitting shared by the key settings file and the card text file.
// A line ends at CR or at CR LF; a line feed that does not follow a carriage
// return is ordinary text and stays in the line. The last line may lack its
// line end. Reading when no character is left fails, also right after a
// final line end.
#include <cstddef>
#include <string>
#include <string_view>

namespace keyentry {

class LineReader {
 public:
  explicit LineReader(std::string_view bytes) : bytes_(bytes) {}

  // Stores the next line (without its line end) and returns true, or
  // returns false when nothing is left.
  bool ReadLine(std::string& line);

 private:
  std::string_view bytes_;
  std::size_t pos_ = 0;
};

}  // namespace keyentry
