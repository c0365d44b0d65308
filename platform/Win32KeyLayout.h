#pragma once
// The keyboard layout of the window that receives typed keys: which key
// press makes a character (keys mode). Asked with the layout of the
// foreground window's thread when the key was pressed.
//
// Caps Lock: a key whose character changes with Caps Lock (a letter) is
// never used. A program cannot find out reliably whether Caps Lock is on for
// the target: the key state it reads follows only the keyboard input its own
// thread takes, and may be out of date for a while (under Wine it reads off
// until Caps Lock is next pressed, when it was on before the thread began).
// A key press made on a wrong guess would type the wrong case without a word;
// such characters go as Unicode events instead, whose case never changes.
#include <windows.h>

#include "core/InputPlan.h"

namespace keyentry {

class Win32KeyLayout : public input::KeyLayout {
 public:
  explicit Win32KeyLayout(HKL layout) : layout_(layout) {}

  // The layout of this thread's keyboard (0: the calling thread's).
  static Win32KeyLayout OfThread(DWORD threadId);
  HKL Layout() const { return layout_; }

  // The key (virtual key, scan code) that the layout makes this character
  // with, plainly or with Shift only, whatever the state of Caps Lock.
  // Nothing for control characters, for a character the layout cannot make,
  // makes only with Ctrl, Alt (AltGr) or other shift states, only through a
  // dead key, or makes with a key that Caps Lock changes (letters).
  std::optional<input::KeyStroke> Find(char16_t character) const override;

 private:
  // What the key gives in this Shift and Caps Lock state: the number of
  // UTF-16 units put in `out` (negative: a dead key).
  int Produce(UINT vk, UINT scan, bool shift, bool capsLock, wchar_t (&out)[4]) const;

  HKL layout_;
};

}  // namespace keyentry
