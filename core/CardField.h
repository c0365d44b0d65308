#pragma once
// The eight text fields of an identity card, in the fixed order used by the
// card text file, the key table, the stored values and both windows: name,
// sex, nation, date of birth, address, identity number, issuing authority,
// validity period. A field is known by its number in this order, 0 to 7.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace keyentry {

constexpr int kCardFieldCount = 8;
// Each field's place in that order.
constexpr int kNameField = 0;
constexpr int kSexField = 1;
constexpr int kNationField = 2;
constexpr int kBirthField = 3;
constexpr int kAddressField = 4;
constexpr int kIdNumberField = 5;
constexpr int kAuthorityField = 6;
constexpr int kValidityField = 7;

// Key name per card field ("F1".."F12", or whatever the operator stored).
using HotKeyTable = std::array<std::wstring, kCardFieldCount>;

// Text per card field of the last card read. An entry without a value has
// never been filled; it types nothing.
using CardFieldValues = std::array<std::optional<std::wstring>, kCardFieldCount>;

// A set of card fields: bit k stands for field k.
using FieldMask = std::uint32_t;

}  // namespace keyentry
