#pragma once
// The eight text fields of an identity card, in the fixed order used by the
// card text file, the key table, the stored values and both windows.
#include <array>
#include <optional>
#include <string>

namespace keyentry {

enum CardField : int {
  kName = 0,
  kSex = 1,
  kNation = 2,
  kBirth = 3,
  kAddress = 4,
  kIdNumber = 5,
  kAuthority = 6,
  kValidity = 7,
};
constexpr int kCardFieldCount = 8;

// Key name per card field ("F1".."F12", or whatever the operator stored).
using HotKeyTable = std::array<std::wstring, kCardFieldCount>;

// Text per card field of the last card read. An entry without a value has
// never been filled; it types nothing.
using CardFieldValues = std::array<std::optional<std::wstring>, kCardFieldCount>;

}  // namespace keyentry
