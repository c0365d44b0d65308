#pragma once
// Breaking a label's text into lines that fit its width. Lines break at
// spaces, between Chinese characters, at line feeds in the text, and inside
// a word that is wider than the whole line.
#include <cstddef>
#include <functional>
#include <string_view>
#include <vector>

namespace keyentry {

// measure gives the width of a piece of text in the same unit as maxWidth.
// At most maxLines lines are produced (what follows would be cut off anyway).
std::vector<std::wstring_view> WrapText(std::wstring_view text, int maxWidth, std::size_t maxLines,
                                        const std::function<int(std::wstring_view)>& measure);

}  // namespace keyentry
