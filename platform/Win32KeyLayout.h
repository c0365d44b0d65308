#pragma once
// The keyboard layout of the window that receives typed keys: which key
// press makes a character (keys mode). Asked with the layout of the
// foreground window's thread when the key was pressed.
//
// Caps Lock: the layout tells how a key's character goes with Caps Lock off
// and on; which state holds is read when the keys are sent (TargetKeyboard).

#include <windows.h>

#include "core/InputPlan.h"

namespace keyentry {

// The keyboard as the window's thread applies it to the keys it gets: its
// Caps Lock, read with the thread's input attached for a moment (a thread's
// own key state follows only the input it takes itself; under Wine it even
// starts from nothing, so Caps Lock on before the thread began reads off),
// and the setting "Shift turns Caps Lock off". Caps Lock unknown for no
// window, a hung window, or one whose input cannot be attached. Not for the
// keyboard hook callback.
// Under Wine, where that attach does not work, Caps Lock is read by pressing
// it once instead; then capsLockPressed is set, and the caller presses it
// once more (PressCapsLock) when its keys are sent, to leave it as it was.
input::KeyboardState TargetKeyboard(HWND window, bool& capsLockPressed);
void PressCapsLock();

class Win32KeyLayout : public input::KeyLayout {
 public:
  explicit Win32KeyLayout(HKL layout) : layout_(layout) {}

  // The layout of this thread's keyboard (0: the calling thread's).
  static Win32KeyLayout OfThread(DWORD threadId);
  HKL Layout() const { return layout_; }

  // The key (virtual key, scan code) that the layout makes this character
  // with, plainly or with Shift only, and which of the two it needs with
  // Caps Lock off and on (asked of the layout for both). Nothing for control
  // characters, for a character the layout cannot make, makes only with
  // Ctrl, Alt (AltGr) or other shift states, or only through a dead key.
  std::optional<input::LayoutKey> Find(char16_t character) const override;

 private:
  // What the key gives in this Shift and Caps Lock state: the number of
  // UTF-16 units put in `out` (negative: a dead key).
  int Produce(UINT vk, UINT scan, bool shift, bool capsLock, wchar_t (&out)[4]) const;

  HKL layout_;
};

}  // namespace keyentry
