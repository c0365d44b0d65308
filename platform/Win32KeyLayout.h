#pragma once
// The keyboard layout of the window that receives typed keys: which key
// press makes a character (keys mode). Asked with the layout of the
// foreground window's thread and the state of Caps Lock when the key was
// pressed (see HookTyping for where that comes from).
#include <windows.h>

#include "core/InputPlan.h"

namespace keyentry {

class Win32KeyLayout : public input::KeyLayout {
 public:
  Win32KeyLayout(HKL layout, bool capsLock) : layout_(layout), capsLock_(capsLock) {}

  // The layout of this thread's keyboard (0: the calling thread's).
  static Win32KeyLayout OfThread(DWORD threadId, bool capsLock);
  HKL Layout() const { return layout_; }
  bool CapsLock() const { return capsLock_; }

  // The key (virtual key, scan code) that the layout makes this character
  // with, plainly or with Shift only, with Caps Lock as it is: Caps Lock on
  // turns a letter's case, so the other Shift state is checked too. Nothing
  // for control characters, for a character the layout cannot make, makes
  // only with Ctrl, Alt (AltGr) or other shift states, or only through a
  // dead key.
  std::optional<input::KeyStroke> Find(char16_t character) const override;

 private:
  // What the key gives in this Shift state: the number of UTF-16 units put
  // in `out` (negative: a dead key).
  int Produce(UINT vk, UINT scan, bool shift, wchar_t (&out)[4]) const;

  HKL layout_;
  bool capsLock_;
};

}  // namespace keyentry
