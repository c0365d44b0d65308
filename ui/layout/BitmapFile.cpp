#include "ui/layout/BitmapFile.h"

namespace keyentry {

namespace {

std::uint32_t U32(std::string_view b, std::size_t at) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
         (static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8) |
         (static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16) |
         (static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24);
}

std::uint16_t U16(std::string_view b, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                    (static_cast<unsigned char>(b[at + 1]) << 8));
}

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kRgb = 0;        // BI_RGB
constexpr std::uint32_t kBitFields = 3;  // BI_BITFIELDS

}  // namespace

std::optional<BitmapLayout> CheckBitmapFile(std::string_view b) {
  if (b.size() < kFileHeaderSize + 40 || b[0] != 'B' || b[1] != 'M') return std::nullopt;
  const std::uint32_t infoSize = U32(b, 14);
  if (infoSize != 40 && infoSize != 52 && infoSize != 56 && infoSize != 108 && infoSize != 124)
    return std::nullopt;
  if (b.size() < kFileHeaderSize + infoSize) return std::nullopt;

  const auto width = static_cast<std::int32_t>(U32(b, 18));
  const auto height = static_cast<std::int32_t>(U32(b, 22));
  const std::uint16_t planes = U16(b, 26);
  const std::uint16_t bitCount = U16(b, 28);
  const std::uint32_t compression = U32(b, 30);
  const std::uint32_t coloursUsed = U32(b, 46);
  if (planes != 1 || width < 1 || width > kMaxPhotoSide || height == 0 || height < -kMaxPhotoSide ||
      height > kMaxPhotoSide)
    return std::nullopt;
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
      bitCount != 32)
    return std::nullopt;
  if (compression != kRgb && !(compression == kBitFields && (bitCount == 16 || bitCount == 32)))
    return std::nullopt;

  // Colour masks follow a plain 40-byte header; larger headers hold them.
  std::size_t tableEnd = kFileHeaderSize + infoSize;
  if (compression == kBitFields && infoSize == 40) tableEnd += 12;
  const std::uint32_t maxColours = bitCount <= 8 ? (1u << bitCount) : 256u;
  if (coloursUsed > maxColours) return std::nullopt;
  const std::uint32_t colours = coloursUsed != 0 ? coloursUsed : (bitCount <= 8 ? maxColours : 0);
  tableEnd += 4u * colours;

  const std::size_t stride = ((static_cast<std::size_t>(width) * bitCount + 31) / 32) * 4;
  const std::size_t rows =
      static_cast<std::size_t>(height < 0 ? -static_cast<std::int64_t>(height) : height);
  const std::size_t bitsSize = stride * rows;
  const std::size_t bitsOffset = U32(b, 10);
  if (bitsOffset < tableEnd || bitsOffset > b.size() || b.size() - bitsOffset < bitsSize)
    return std::nullopt;
  return BitmapLayout{kFileHeaderSize, bitsOffset, bitsSize, width, height};
}

}  // namespace keyentry
