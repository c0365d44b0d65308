#pragma once
// The keyboard hook: its decision for one key event (portable, tested
// natively), and the interfaces to the platform that installs the hook and
// types text.
#include <cstdint>

#include "core/HookTable.h"

namespace keyentry {

constexpr std::uint32_t kWmKeyDown = 256;     // WM_KEYDOWN
constexpr std::uint32_t kWmSysKeyDown = 260;  // WM_SYSKEYDOWN (Alt held, or F10)

// Types text into the window that has the keyboard focus.
class TextSender {
 public:
  virtual ~TextSender() = default;
  // ansi: NUL-terminated text in the ANSI code page, or nullptr for a field
  // never filled (types nothing).
  virtual void SendStr(const char* ansi) = 0;
};

// What the hook procedure answers for one event.
struct HookDecision {
  bool callNextHook;    // hand the event to the next hook and return its result
  std::int32_t result;  // otherwise: 1 swallows the key, 0 lets it through
};

// Key-downs (also with Alt held) of a key assigned to one or more fields type
// each such field, in field order, and are swallowed; other key-downs are let
// through; everything else, and any negative code, goes to the next hook.
// Only the low 16 bits of vkCode count; modifiers, flags and time play no part.
HookDecision DecideKeyEvent(const HookTable& table, std::int32_t code, std::uint32_t message,
                            std::uint32_t vkCode, TextSender& sender);

// Installs and removes the system-wide low-level keyboard hook.
class KeyboardHook {
 public:
  virtual ~KeyboardHook() = default;
  // Installs the hook unless it is installed already (then it is kept, so
  // every key press is still handled once). Returns whether it is installed.
  virtual bool Install() = 0;
  // Removes the hook if installed.
  virtual void Remove() = 0;
};

}  // namespace keyentry
