#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "core/Lines.h"

namespace keyentry {
namespace {

std::vector<std::string> AllLines(std::string_view bytes) {
  LineReader reader(bytes);
  std::vector<std::string> lines;
  std::string line;
  while (reader.ReadLine(line)) lines.push_back(line);
  return lines;
}

using Lines = std::vector<std::string>;

TEST(LineReader, CrAndCrLfEndLinesButALoneLfDoesNot) {
  EXPECT_EQ(AllLines("a\r\nb\rc"), (Lines{"a", "b", "c"}));
  EXPECT_EQ(AllLines("a\nb\nc"), (Lines{"a\nb\nc"}));
  EXPECT_EQ(AllLines("a\n\rb"), (Lines{"a\n", "b"}));
  EXPECT_EQ(AllLines("a\r\r\nb"), (Lines{"a", "", "b"}));
}

TEST(LineReader, NothingIsReadAfterAFinalLineEnd) {
  EXPECT_EQ(AllLines("a\r\n"), (Lines{"a"}));
  EXPECT_EQ(AllLines("a\r"), (Lines{"a"}));
  EXPECT_EQ(AllLines("a\r\n\r\n"), (Lines{"a", ""}));
  EXPECT_EQ(AllLines(""), Lines{});
}

TEST(LineReader, KeepsNulAndHighBytes) {
  const std::string bytes("x\0y\r\n\xD5\xC5\r", 8);
  EXPECT_EQ(AllLines(bytes), (Lines{std::string("x\0y", 3), "\xD5\xC5"}));
}

}  // namespace
}  // namespace keyentry
