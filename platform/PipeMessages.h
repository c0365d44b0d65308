#pragma once
// Whole messages over an anonymous pipe, as KeyEntry and its reader helper
// exchange them: a read or a write returns only when every byte has passed,
// or false when the pipe broke (the other side ended).
#include <windows.h>

#include <cstdint>

namespace keyentry {

inline bool ReadExactly(HANDLE pipe, std::uint8_t* into, DWORD size) {
  DWORD done = 0;
  while (done < size) {
    DWORD got = 0;
    if (!::ReadFile(pipe, into + done, size - done, &got, nullptr) || got == 0) return false;
    done += got;
  }
  return true;
}

inline bool WriteExactly(HANDLE pipe, const std::uint8_t* from, DWORD size) {
  DWORD done = 0;
  while (done < size) {
    DWORD put = 0;
    if (!::WriteFile(pipe, from + done, size - done, &put, nullptr) || put == 0) return false;
    done += put;
  }
  return true;
}

}  // namespace keyentry
