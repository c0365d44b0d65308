#pragma once
// Overwriting the program's own copies of card data before their memory is
// given back, so that a card's text does not linger in freed memory. The
// writes go through a volatile pointer, which the compiler may not leave
// out although the memory is about to be freed.
#include <cstddef>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

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

// The same for the other copies a key press makes of card data: its texts
// (Wipe of a string), its key events and other plain records (the whole
// buffer of the vector, then empty). Types of their own add overloads of
// Wipe beside them (the typing steps, the typing plan).
inline void Wipe(std::string& text) { WipeText(text); }
inline void Wipe(std::wstring& text) { WipeText(text); }
template <typename T, typename = std::enable_if_t<std::is_trivially_copyable<T>::value>>
void Wipe(std::vector<T>& items) {
  if (items.capacity() > 0) {
    items.resize(items.capacity());
    WipeMemory(items.data(), items.size() * sizeof(T));
  }
  items.clear();
}

// Holds a copy of card data for its scope and wipes it at the end, however
// the scope is left: `const WipeAtExit wipe(steps);`.
template <typename T>
class WipeAtExit {
 public:
  explicit WipeAtExit(T& data) : data_(data) {}
  ~WipeAtExit() { Wipe(data_); }
  WipeAtExit(const WipeAtExit&) = delete;
  WipeAtExit& operator=(const WipeAtExit&) = delete;

 private:
  T& data_;
};

}  // namespace keyentry
