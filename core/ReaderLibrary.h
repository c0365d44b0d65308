#pragma once
// The card reader library, as the program calls it.
#include <cstdint>
#include <stdexcept>

namespace keyentry {

// Raised when the library, or the function called, cannot be loaded.
class ReaderLibraryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

constexpr std::int32_t kReadModeTextAndPhoto = 4;
constexpr std::int32_t kFirstUsbPort = 1001;
constexpr std::int32_t kLastUsbPort = 1016;
constexpr std::int32_t kFirstSerialPort = 1;
constexpr std::int32_t kLastSerialPort = 16;

class ReaderLibrary {
 public:
  virtual ~ReaderLibrary() = default;
  // Each call answers with the library's own integer, or throws
  // ReaderLibraryError when it cannot be made at all.
  virtual std::int32_t InitComm(std::int32_t port) = 0;
  virtual std::int32_t Authenticate() = 0;
  // Writes wz.txt and zp.bmp into the program's folder on success.
  virtual std::int32_t ReadContent(std::int32_t mode) = 0;
  virtual std::int32_t CloseComm() = 0;
};

// The library reports success as 1 in the low 16 bits, taken as a signed
// value; every other answer is failure.
inline bool ReaderSucceeded(std::int32_t answer) {
  return static_cast<std::int16_t>(static_cast<std::uint32_t>(answer) & 0xFFFFu) == 1;
}

}  // namespace keyentry
