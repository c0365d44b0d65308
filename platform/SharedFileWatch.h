#pragma once
// Looks at the site's shared settings file on a thread of its own, so that
// the window, the card poll and the keyboard hook never wait for the
// network. Only reads: the shared file is never written.
#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "core/SharedSettings.h"

namespace keyentry {

class SharedFileWatch {
 public:
  // A look opens the file and, when its size or time differ from the last
  // read (or after a change notice), reads it whole. A look that has not
  // ended after this long counts as unreachable: its I/O is cancelled and
  // its result, should it come later, dropped.
  static constexpr DWORD kLookLimitMs = 5000;
  static constexpr DWORD kDefaultPeriodMs = 60000;

  // Looks at once, then after each change notice of the file's folder (where
  // the folder can be watched; a notice is followed after a short quiet
  // time) and every periodMs in any case. After each look the answer is
  // kept for Take() and the message posted to the window, unless an answer
  // is waiting already.
  SharedFileWatch(std::wstring path, HWND window, UINT message, DWORD periodMs = kDefaultPeriodMs);
  // Stops the thread. A look hung on the network is not waited for.
  ~SharedFileWatch();
  SharedFileWatch(const SharedFileWatch&) = delete;
  SharedFileWatch& operator=(const SharedFileWatch&) = delete;

  const std::wstring& Path() const;
  // The answer waiting, if any; the next answer posts the message again. A
  // read whose content was not taken yet is not replaced by a later
  // "unchanged".
  std::optional<SharedFileAnswer> Take();
  // Looks every periodMs from now on (a test seam).
  void SetPeriod(DWORD periodMs);

  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace keyentry
