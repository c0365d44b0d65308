#pragma once
// How the ID number is shown when the privacy setting asks to hide the
// birth date in it. The number typed by keys and templates stays whole.
#include <string>
#include <string_view>

namespace keyentry {

// An 18-character number with characters 7 to 14 (the birth date) shown as
// "*": "110108199003070011" gives "110108********0011". A number of any
// other length is returned as it is.
std::wstring MaskIdNumber(std::wstring_view number);

}  // namespace keyentry
