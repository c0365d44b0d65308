// Fuzzes the photo file check: whatever it accepts must lie entirely within
// the bytes given, with sane sizes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "FuzzSupport.h"
#include "ui/layout/BitmapFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto layout = keyentry::CheckBitmapFile(bytes);
  if (!layout) return 0;
  FUZZ_CHECK(layout->bitsOffset <= size);
  FUZZ_CHECK(layout->bitsSize <= size - layout->bitsOffset);
  FUZZ_CHECK(layout->width >= 1 && layout->width <= keyentry::kMaxPhotoSide);
  FUZZ_CHECK(layout->height != 0 && layout->height >= -keyentry::kMaxPhotoSide &&
             layout->height <= keyentry::kMaxPhotoSide);
  FUZZ_CHECK(layout->infoOffset + 40 <= layout->bitsOffset);
  // Touch every accepted byte so the sanitizer sees any overrun.
  unsigned sum = 0;
  for (std::size_t i = 0; i < layout->bitsSize; ++i) sum += data[layout->bitsOffset + i];
  FUZZ_CHECK(sum <= 255u * layout->bitsSize);
  return 0;
}
