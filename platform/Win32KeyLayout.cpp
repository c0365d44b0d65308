#include "platform/Win32KeyLayout.h"

#include <initializer_list>
#include <optional>

namespace keyentry {

namespace {
// ToUnicodeEx: leave the keyboard state (dead keys pending) as it is. Known
// since Windows 10 1607; older systems ignore it (see Produce).
constexpr UINT kNoStateChange = 0x4;
}  // namespace

Win32KeyLayout Win32KeyLayout::OfThread(DWORD threadId) {
  return Win32KeyLayout(::GetKeyboardLayout(threadId));
}

int Win32KeyLayout::Produce(UINT vk, UINT scan, bool shift, bool capsLock,
                            wchar_t (&out)[4]) const {
  BYTE state[256] = {};
  if (shift) state[VK_SHIFT] = state[VK_LSHIFT] = 0x80;
  if (capsLock) state[VK_CAPITAL] = 0x01;
  const int n = ::ToUnicodeEx(vk, scan, state, out, 4, kNoStateChange, layout_);
  // A system that changed the state for a dead key has it pending now: the
  // same key once more gives it out and clears it again.
  if (n < 0) {
    wchar_t flush[4];
    ::ToUnicodeEx(vk, scan, state, flush, 4, kNoStateChange, layout_);
  }
  return n;
}

std::optional<input::KeyStroke> Win32KeyLayout::Find(char16_t character) const {
  if (character < 0x20 || character == 0x7F) return std::nullopt;
  const SHORT found = ::VkKeyScanExW(static_cast<wchar_t>(character), layout_);
  if (found == -1) return std::nullopt;
  const UINT vk = LOBYTE(found);
  const UINT shiftState = HIBYTE(found);
  if ((shiftState & ~1u) != 0) return std::nullopt;  // Ctrl, Alt, or layout-specific states
  const UINT scan = ::MapVirtualKeyExW(vk, MAPVK_VK_TO_VSC, layout_);
  if (scan == 0 || scan > 0xFF) return std::nullopt;
  const bool shift = (shiftState & 1) != 0;
  // The same character with Caps Lock off and on, or the key is not used.
  for (const bool capsLock : {false, true}) {
    wchar_t out[4] = {};
    const int n = Produce(vk, scan, shift, capsLock, out);
    if (n < 0) return std::nullopt;  // a dead key: it would change the next character
    if (n != 1 || out[0] != static_cast<wchar_t>(character)) return std::nullopt;
  }
  return input::KeyStroke{static_cast<std::uint16_t>(vk), static_cast<std::uint16_t>(scan), shift};
}

}  // namespace keyentry
