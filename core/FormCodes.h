#pragma once
// The card's values in the shape forms ask for, for the template language:
// the sex as its national code, the nation as its two-digit national code
// or with "族". A value that is not known is given as it stands.
#include <string>
#include <string_view>

namespace keyentry {

// The 56 nations in the order of their national codes: entry 0 has code 01
// (汉), entry 55 code 56 (基诺). Names without "族".
constexpr int kNationCount = 56;
const wchar_t* NationName(int code);

// "1" for 男, "2" for 女; any other value as it stands.
std::wstring SexCode(std::wstring_view sex);
// "01".."56" for a nation's name, with or without "族"; an unknown name as
// it stands.
std::wstring NationCode(std::wstring_view nation);
// The name with "族" (汉 gives 汉族); unchanged when it ends in "族" already
// or is no nation's name.
std::wstring NationFull(std::wstring_view nation);

}  // namespace keyentry
