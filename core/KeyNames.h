#pragma once
// Function-key names as the operator sees and stores them, and their
// Windows virtual-key codes.
#include <cstdint>
#include <string_view>

namespace keyentry {

// Virtual-key code of F1; F2..F12 follow one by one.
constexpr std::int16_t kVkF1 = 112;
constexpr int kFunctionKeyCount = 12;

// "F1".."F12" give 112..123; every other string (lower case, padded,
// empty, "F13") gives 0, which no real key has. Exact, case-sensitive.
std::int16_t KeyNameToCode(std::wstring_view name);

}  // namespace keyentry
