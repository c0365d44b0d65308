#include <cstring>
#include <gtest/gtest.h>
#include <string>

#include "ui/layout/BitmapFile.h"

namespace keyentry {
namespace {

void Put32(std::string& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
void Put16(std::string& b, std::size_t at, std::uint16_t v) {
  b[at] = static_cast<char>(v & 0xFF);
  b[at + 1] = static_cast<char>(v >> 8);
}

// A well-formed bitmap file of the given shape.
std::string Bitmap(std::int32_t width, std::int32_t height, std::uint16_t bits,
                   std::uint32_t colours = 0) {
  const std::size_t stride = ((static_cast<std::size_t>(width) * bits + 31) / 32) * 4;
  const std::size_t rows = static_cast<std::size_t>(height < 0 ? -height : height);
  const std::size_t table = 4 * (colours ? colours : (bits <= 8 ? (1u << bits) : 0));
  std::string b(14 + 40 + table + stride * rows, '\0');
  b[0] = 'B';
  b[1] = 'M';
  Put32(b, 2, static_cast<std::uint32_t>(b.size()));
  Put32(b, 10, static_cast<std::uint32_t>(14 + 40 + table));
  Put32(b, 14, 40);
  Put32(b, 18, static_cast<std::uint32_t>(width));
  Put32(b, 22, static_cast<std::uint32_t>(height));
  Put16(b, 26, 1);
  Put16(b, 28, bits);
  Put32(b, 46, colours);
  return b;
}

TEST(BitmapFile, AcceptsWellFormedPhotos) {
  for (std::uint16_t bits : {1, 4, 8, 16, 24, 32}) {
    const std::string b = Bitmap(102, 126, bits);
    const auto layout = CheckBitmapFile(b);
    ASSERT_TRUE(layout) << bits;
    EXPECT_EQ(layout->width, 102);
    EXPECT_EQ(layout->height, 126);
    EXPECT_EQ(layout->bitsOffset + layout->bitsSize, b.size()) << bits;
  }
  const auto topDown = CheckBitmapFile(Bitmap(3, -2, 24));
  ASSERT_TRUE(topDown);
  EXPECT_EQ(topDown->bitsSize, 2u * 12u);
  EXPECT_TRUE(CheckBitmapFile(Bitmap(7, 5, 8, 16)));  // short colour table
}

TEST(BitmapFile, RefusesFilesCutShort) {
  const std::string b = Bitmap(102, 126, 24);
  for (std::size_t keep : {std::size_t{0}, std::size_t{2}, std::size_t{30}, std::size_t{54},
                           b.size() / 2, b.size() - 1}) {
    EXPECT_FALSE(CheckBitmapFile(b.substr(0, keep))) << keep;
  }
  // A colour table that runs into the pixels.
  std::string palette = Bitmap(8, 8, 8);
  Put32(palette, 10, 14 + 40 + 100);
  EXPECT_FALSE(CheckBitmapFile(palette));
}

TEST(BitmapFile, RefusesHugeOrNonsenseHeaders) {
  std::string huge = Bitmap(10, 10, 24);
  Put32(huge, 18, 30000);
  Put32(huge, 22, 30000);
  EXPECT_FALSE(CheckBitmapFile(huge));
  EXPECT_FALSE(CheckBitmapFile(Bitmap(4097, 1, 1)));
  std::string negativeWidth = Bitmap(10, 10, 24);
  Put32(negativeWidth, 18, static_cast<std::uint32_t>(-10));
  EXPECT_FALSE(CheckBitmapFile(negativeWidth));
  std::string mostNegativeHeight = Bitmap(10, 10, 24);
  Put32(mostNegativeHeight, 22, 0x80000000u);
  EXPECT_FALSE(CheckBitmapFile(mostNegativeHeight));
  std::string rle = Bitmap(10, 10, 8);
  Put32(rle, 30, 1);  // run-length encoded: not taken
  EXPECT_FALSE(CheckBitmapFile(rle));
  std::string odd = Bitmap(10, 10, 24);
  Put16(odd, 28, 7);
  EXPECT_FALSE(CheckBitmapFile(odd));
  std::string text = "this is no picture at all, just some text in a file named zp.bmp";
  EXPECT_FALSE(CheckBitmapFile(text));
  std::string offsetPastEnd = Bitmap(10, 10, 24);
  Put32(offsetPastEnd, 10, 0xFFFFFFF0u);
  EXPECT_FALSE(CheckBitmapFile(offsetPastEnd));
}

}  // namespace
}  // namespace keyentry
