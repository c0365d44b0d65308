#include "platform/Win32KeyLayout.h"

#include <initializer_list>
#include <optional>

namespace keyentry {

namespace {
// ToUnicodeEx: leave the keyboard state (dead keys pending) as it is. Known
// since Windows 10 1607; older systems ignore it (see Produce).
constexpr UINT kNoStateChange = 0x4;

// HKCU\Keyboard Layout, value Attributes: KLLF_SHIFTLOCK, "Shift turns Caps
// Lock off".
constexpr DWORD kShiftLockAttribute = 0x00010000;

bool ShiftTurnsCapsLockOff() {
  DWORD attributes = 0;
  DWORD size = sizeof attributes;
  return ::RegGetValueW(HKEY_CURRENT_USER, L"Keyboard Layout", L"Attributes", RRF_RT_REG_DWORD,
                        nullptr, &attributes, &size) == ERROR_SUCCESS &&
         (attributes & kShiftLockAttribute) != 0;
}

// Wine's ntdll exports its version; Windows' does not.
bool UnderWine() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

// One Caps Lock key event, and the wait until the system took it (the
// asynchronous state shows it; the low-level hooks have seen it then).
bool CapsLockEvent(bool down) {
  INPUT in = {};
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = VK_CAPITAL;
  in.ki.wScan = input::kCapsLockScan;
  in.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
  if (::SendInput(1, &in, static_cast<int>(sizeof in)) != 1) return false;
  for (int waited = 0; waited < 1000; waited += 5) {
    if (((::GetAsyncKeyState(VK_CAPITAL) & 0x8000) != 0) == down) return true;
    ::Sleep(5);
  }
  return false;
}

// Under Wine, Caps Lock read by a press of it: a thread's key state starts
// from nothing and takes from the system only keys that change after that,
// and attaching to another thread's input clears the shared key state (the
// target would read Caps Lock off afterwards). After one press (down, up)
// Caps Lock has changed, so this thread's GetKeyState reads the fresh state.
// Wine toggles Caps Lock on every press (it ignores "Shift turns Caps Lock
// off"), so one more press at the end puts it back.
input::CapsLock ProbeCapsLock(bool& pressed) {
  pressed = false;
  if ((::GetAsyncKeyState(VK_CAPITAL) & 0x8000) != 0) return input::CapsLock::kUnknown;  // held
  if (!CapsLockEvent(true)) return input::CapsLock::kUnknown;
  pressed = true;
  if (!CapsLockEvent(false)) return input::CapsLock::kUnknown;
  return (::GetKeyState(VK_CAPITAL) & 1) != 0 ? input::CapsLock::kOn : input::CapsLock::kOff;
}

}  // namespace

void PressCapsLock() {
  CapsLockEvent(true);
  CapsLockEvent(false);
}

input::KeyboardState TargetKeyboard(HWND window, bool& capsLockPressed) {
  input::KeyboardState state;
  capsLockPressed = false;
  state.shiftTurnsCapsLockOff = ShiftTurnsCapsLockOff();
  if (UnderWine()) {
    state.capsLock = ProbeCapsLock(capsLockPressed);
    return state;
  }
  const DWORD target = window ? ::GetWindowThreadProcessId(window, nullptr) : 0;
  // A hung window's thread is not joined: its input would hold this one up.
  if (target == 0 || ::IsHungAppWindow(window)) return state;
  const DWORD self = ::GetCurrentThreadId();
  const bool attached = target != self && ::AttachThreadInput(self, target, TRUE);
  if (target != self && !attached) return state;
  const SHORT capsLock = ::GetKeyState(VK_CAPITAL);
  if (attached) ::AttachThreadInput(self, target, FALSE);
  state.capsLock = (capsLock & 1) != 0 ? input::CapsLock::kOn : input::CapsLock::kOff;
  return state;
}

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

std::optional<input::LayoutKey> Win32KeyLayout::Find(char16_t character) const {
  if (character < 0x20 || character == 0x7F) return std::nullopt;
  const SHORT found = ::VkKeyScanExW(static_cast<wchar_t>(character), layout_);
  if (found == -1) return std::nullopt;
  const UINT vk = LOBYTE(found);
  const UINT shiftState = HIBYTE(found);
  if ((shiftState & ~1u) != 0) return std::nullopt;  // Ctrl, Alt, or layout-specific states
  const UINT scan = ::MapVirtualKeyExW(vk, MAPVK_VK_TO_VSC, layout_);
  if (scan == 0 || scan > 0xFF) return std::nullopt;
  input::LayoutKey key{static_cast<std::uint16_t>(vk), static_cast<std::uint16_t>(scan), {}, {}};
  // Which Shift state makes the character, with Caps Lock off and on.
  for (const bool capsLock : {false, true}) {
    for (const bool shift : {false, true}) {
      wchar_t out[4] = {};
      const int n = Produce(vk, scan, shift, capsLock, out);
      if (n < 0) return std::nullopt;  // a dead key: it would change the next character
      if (n == 1 && out[0] == static_cast<wchar_t>(character)) {
        (capsLock ? key.shiftWhenOn : key.shiftWhenOff) = shift;
        break;
      }
    }
  }
  if (!key.shiftWhenOff && !key.shiftWhenOn) return std::nullopt;
  return key;
}

}  // namespace keyentry
