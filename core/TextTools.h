#pragma once
// Small text helpers shared by the settings file and the template language.
#include <initializer_list>
#include <string>
#include <string_view>

namespace keyentry {

// Space, tab and the ideographic space U+3000.
bool IsBlank(wchar_t c);
// Without blanks at either end.
std::wstring_view TrimBlanks(std::wstring_view text);
// A..Z become a..z; every other character stays.
std::wstring LowerAscii(std::wstring_view text);
// Equal when A..Z and a..z are taken as the same; all else must match.
bool EqualsIgnoringAsciiCase(std::wstring_view a, std::wstring_view b);
// One or more ASCII digits and nothing else. Values above 999999999 give
// 1000000000, so that any range check below that rejects them.
bool ParseDecimal(std::wstring_view text, int& value);
// At most maxLength characters of the text (a surrogate pair is never cut
// in two), followed by the ellipsis when anything was left out.
std::wstring Shortened(std::wstring_view text, std::size_t maxLength, std::wstring_view ellipsis);
// The pattern with %1..%9 replaced by the arguments in order; a % that is not
// followed by the number of an argument stays as it is.
std::wstring Substitute(std::wstring_view pattern, std::initializer_list<std::wstring_view> args);

}  // namespace keyentry
