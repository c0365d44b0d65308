#pragma once
// Overwriting the program's own copies of card data before their memory is
// given back, so that a card's text does not linger in freed memory. The
// writes go through a volatile pointer, which the compiler may not leave
// out although the memory is about to be freed.
#include <cstddef>
#include <optional>
#include <string>

#include "core/CardField.h"

namespace keyentry {

// Sets size bytes from data on to zero.
void WipeMemory(void* data, std::size_t size);

// Zeroes the whole buffer of the string (up to its capacity, so also what
// an earlier, longer content left behind) and leaves it empty.
void WipeText(std::string& text);
void WipeText(std::wstring& text);
// Zeroes the text and leaves it without a value ("never filled").
void WipeText(std::optional<std::string>& text);
void WipeText(std::optional<std::wstring>& text);

// Every value zeroed and left without a value.
void WipeCardValues(CardFieldValues& values);

}  // namespace keyentry
