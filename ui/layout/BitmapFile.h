#pragma once
// Checks a Windows bitmap file (the card photo) before any of it is handed
// to the system: every size and offset in its headers must agree with the
// bytes actually present, so a damaged or hostile file is refused instead
// of making the system read past its end or allocate gigabytes.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace keyentry {

// Photos larger than this on either side are refused.
constexpr std::int32_t kMaxPhotoSide = 4096;

// The most of a photo file that is read: what the largest photo accepted
// needs (file header, the largest info header, a full colour table, then
// kMaxPhotoSide rows of kMaxPhotoSide pixels at 32 bits), about 64 MiB. A
// card photo has about 40 KB; a larger file is only read this far.
constexpr std::size_t kMaxPhotoFileBytes =
    14 + 124 + 256 * 4 + static_cast<std::size_t>(kMaxPhotoSide) * kMaxPhotoSide * 4;

struct BitmapLayout {
  std::size_t infoOffset;  // BITMAPINFO (header, masks, colours) starts here
  std::size_t bitsOffset;  // pixel rows start here
  std::size_t bitsSize;    // bytes of pixel rows
  std::int32_t width;
  std::int32_t height;  // negative: rows stored top-down
};

// The layout of an uncompressed (or bit-field) bitmap of 1, 4, 8, 16, 24 or
// 32 bits per pixel with a Windows info header, or nothing when the bytes
// are not such a bitmap, are cut short, or claim more than kMaxPhotoSide.
std::optional<BitmapLayout> CheckBitmapFile(std::string_view bytes);

}  // namespace keyentry
