#pragma once
// Images through the imaging component Windows ships (there on Windows 7 and
// later), reached over COM: no library beside the program, no import beyond
// ole32. The calling thread must have COM initialised (ComApartment).
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "core/PhotoFiles.h"

namespace keyentry {

// COM for the calling thread, for the scope.
class ComApartment {
 public:
  ComApartment();
  ~ComApartment();
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  bool initialised_ = false;
};

struct EncodedImage {
  std::string bytes;  // the whole file
  UINT width = 0;
  UINT height = 0;
};

// The image file (a bitmap file as the reader writes it, or any format the
// component decodes) encoded in the format: nothing when it cannot be
// decoded (missing, damaged) or encoded.
std::optional<EncodedImage> ConvertImage(std::string_view file, PhotoFormat format);

// The image file as a packed device-independent bitmap (a header and 24-bit
// pixels, bottom-up), as the clipboard's CF_DIB holds one; nothing when it
// cannot be decoded.
std::optional<std::string> ImageAsPackedDib(std::string_view file);

}  // namespace keyentry
