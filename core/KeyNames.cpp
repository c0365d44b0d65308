#include "core/KeyNames.h"

namespace keyentry {

std::int16_t KeyNameToCode(std::wstring_view name) {
  if (name.size() < 2 || name.size() > 3 || name[0] != L'F') return 0;
  int number = 0;
  for (std::size_t i = 1; i < name.size(); ++i) {
    const wchar_t c = name[i];
    if (c < L'0' || c > L'9') return 0;
    number = number * 10 + (c - L'0');
  }
  if (name[1] == L'0') return 0;  // "F01" and "F0" are no key names
  if (number < 1 || number > kFunctionKeyCount) return 0;
  return static_cast<std::int16_t>(kVkF1 + number - 1);
}

}  // namespace keyentry
