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

// A bitmap file with a 40-byte info header of the given shape, then a colour
// table of `tableBytes` and pixel rows of `pixelBytes` in all.
std::string Bitmap(std::int32_t width, std::int32_t height, std::uint16_t bits,
                   std::size_t tableBytes, std::size_t pixelBytes, std::uint32_t colours = 0) {
  std::string b(14 + 40 + tableBytes + pixelBytes, '\0');
  b[0] = 'B';
  b[1] = 'M';
  Put32(b, 2, static_cast<std::uint32_t>(b.size()));
  Put32(b, 10, static_cast<std::uint32_t>(14 + 40 + tableBytes));
  Put32(b, 14, 40);
  Put32(b, 18, static_cast<std::uint32_t>(width));
  Put32(b, 22, static_cast<std::uint32_t>(height));
  Put16(b, 26, 1);
  Put16(b, 28, bits);
  Put32(b, 46, colours);
  return b;
}

TEST(BitmapFile, AcceptsWellFormedPhotos) {
  // 102 x 126 pixels: each row padded to whole 32-bit words, a full colour
  // table for 8 bits or fewer.
  struct Case {
    std::uint16_t bits;
    std::size_t tableBytes;
    std::size_t pixelBytes;
  };
  for (const Case& c : {Case{1, 8, 16 * 126}, Case{4, 64, 52 * 126}, Case{8, 1024, 104 * 126},
                        Case{16, 0, 204 * 126}, Case{24, 0, 308 * 126}, Case{32, 0, 408 * 126}}) {
    const std::string b = Bitmap(102, 126, c.bits, c.tableBytes, c.pixelBytes);
    const auto layout = CheckBitmapFile(b);
    ASSERT_TRUE(layout) << c.bits;
    EXPECT_EQ(layout->width, 102);
    EXPECT_EQ(layout->height, 126);
    EXPECT_EQ(layout->infoOffset, 14u);
    EXPECT_EQ(layout->bitsOffset, 54u + c.tableBytes) << c.bits;
    EXPECT_EQ(layout->bitsSize, c.pixelBytes) << c.bits;
  }
  // Top-down rows: 3 pixels of 24 bits take 12 bytes a row.
  const auto topDown = CheckBitmapFile(Bitmap(3, -2, 24, 0, 24));
  ASSERT_TRUE(topDown);
  EXPECT_EQ(topDown->height, -2);
  EXPECT_EQ(topDown->bitsSize, 24u);
  // A short colour table: 16 colours of 256.
  const auto shortTable = CheckBitmapFile(Bitmap(7, 5, 8, 64, 40, 16));
  ASSERT_TRUE(shortTable);
  EXPECT_EQ(shortTable->bitsOffset, 118u);
  EXPECT_EQ(shortTable->bitsSize, 40u);
}

TEST(BitmapFile, RefusesFilesCutShort) {
  const std::string b = Bitmap(102, 126, 24, 0, 308 * 126);
  for (std::size_t keep : {std::size_t{0}, std::size_t{2}, std::size_t{30}, std::size_t{54},
                           b.size() / 2, b.size() - 1}) {
    EXPECT_FALSE(CheckBitmapFile(b.substr(0, keep))) << keep;
  }
  // Rows one byte short of a padded row each: 101 pixels of 24 bits need 304
  // bytes a row, not 303.
  EXPECT_FALSE(CheckBitmapFile(Bitmap(101, 2, 24, 0, 303 * 2)));
  EXPECT_TRUE(CheckBitmapFile(Bitmap(101, 2, 24, 0, 304 * 2)));
  // A colour table that runs into the pixels.
  std::string palette = Bitmap(8, 8, 8, 1024, 64);
  Put32(palette, 10, 14 + 40 + 100);
  EXPECT_FALSE(CheckBitmapFile(palette));
}

TEST(BitmapFile, TheLargestPhotoAcceptedIsReadWhole) {
  // 4096 x 4096 at 32 bits with 256 colours listed: the program reads at
  // most kMaxPhotoFileBytes of a photo file, and this one must fit.
  const std::string largest = Bitmap(4096, 4096, 32, 1024, 4096u * 4096u * 4u, 256);
  ASSERT_TRUE(CheckBitmapFile(largest));
  EXPECT_LE(largest.size(), kMaxPhotoFileBytes);
  EXPECT_LE(kMaxPhotoFileBytes, 68u * 1024 * 1024);
}

TEST(BitmapFile, RefusesHugeOrNonsenseHeaders) {
  std::string huge = Bitmap(10, 10, 24, 0, 320);
  Put32(huge, 18, 30000);
  Put32(huge, 22, 30000);
  EXPECT_FALSE(CheckBitmapFile(huge));
  EXPECT_FALSE(CheckBitmapFile(Bitmap(4097, 1, 1, 8, 516)));
  std::string negativeWidth = Bitmap(10, 10, 24, 0, 320);
  Put32(negativeWidth, 18, static_cast<std::uint32_t>(-10));
  EXPECT_FALSE(CheckBitmapFile(negativeWidth));
  std::string mostNegativeHeight = Bitmap(10, 10, 24, 0, 320);
  Put32(mostNegativeHeight, 22, 0x80000000u);
  EXPECT_FALSE(CheckBitmapFile(mostNegativeHeight));
  std::string rle = Bitmap(10, 10, 8, 1024, 120);
  Put32(rle, 30, 1);  // run-length encoded: not taken
  EXPECT_FALSE(CheckBitmapFile(rle));
  std::string odd = Bitmap(10, 10, 24, 0, 320);
  Put16(odd, 28, 7);
  EXPECT_FALSE(CheckBitmapFile(odd));
  std::string text = "this is no picture at all, just some text in a file named zp.bmp";
  EXPECT_FALSE(CheckBitmapFile(text));
  std::string offsetPastEnd = Bitmap(10, 10, 24, 0, 320);
  Put32(offsetPastEnd, 10, 0xFFFFFFF0u);
  EXPECT_FALSE(CheckBitmapFile(offsetPastEnd));
}

}  // namespace
}  // namespace keyentry
