#pragma once
// The keyboard events the program types with: one implementation shared by
// SendStr.dll and the program's own input path. Portable: the callers ask
// Windows which modifiers are down and how the keyboard layout makes a
// character, and copy the events into INPUT records for SendInput.
//
// Held modifiers are released first:
//   1. only when an Alt or Windows key is held: a press and release of the
//      unassigned virtual key 0xE8, so that releasing a lone Alt/Win key does
//      not open a menu or the start menu;
//   2. a key-up for every held modifier, in a fixed order (never pressed
//      again afterwards).
// Text goes either as Unicode events (key-down then key-up with the
// "unicode" flag, virtual key 0 and the UTF-16 unit as scan value) or, where
// the keyboard layout makes the character, as real key presses with their
// scan codes. Tab, Shift+Tab, Enter and Ctrl+V are real key presses.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace keyentry::input {

// Flag bits with the same values as the KEYEVENTF_* constants of <winuser.h>.
constexpr std::uint32_t kFlagExtendedKey = 0x0001;  // KEYEVENTF_EXTENDEDKEY
constexpr std::uint32_t kFlagKeyUp = 0x0002;        // KEYEVENTF_KEYUP
constexpr std::uint32_t kFlagUnicode = 0x0004;      // KEYEVENTF_UNICODE

// Unassigned virtual key used to "use up" a held Alt or Windows key.
constexpr std::uint16_t kMaskingKey = 0xE8;

// One keyboard event, field for field what goes into KEYBDINPUT.
struct KeyEvent {
  std::uint16_t vk;     // wVk
  std::uint16_t scan;   // wScan
  std::uint32_t flags;  // dwFlags
};

inline bool operator==(const KeyEvent& a, const KeyEvent& b) {
  return a.vk == b.vk && a.scan == b.scan && a.flags == b.flags;
}
inline bool operator!=(const KeyEvent& a, const KeyEvent& b) { return !(a == b); }

// A modifier key that is released before the text is typed.
struct Modifier {
  std::uint16_t vk;           // virtual key of the left or right key
  std::uint16_t defaultScan;  // set-1 scan code, used when Windows gives none
  bool extended;              // needs KEYEVENTF_EXTENDEDKEY
  bool opensMenu;             // a lone release would open a (start) menu
};

// The modifiers looked at, in the order they are released.
constexpr std::array<Modifier, 8> kModifiers = {{
    {0xA0, 0x2A, false, false},  // VK_LSHIFT
    {0xA1, 0x36, false, false},  // VK_RSHIFT
    {0xA2, 0x1D, false, false},  // VK_LCONTROL
    {0xA3, 0x1D, true, false},   // VK_RCONTROL
    {0xA4, 0x38, false, true},   // VK_LMENU  (left Alt)
    {0xA5, 0x38, true, true},    // VK_RMENU  (right Alt / AltGr)
    {0x5B, 0x5B, true, true},    // VK_LWIN
    {0x5C, 0x5C, true, true},    // VK_RWIN
}};

// A modifier currently down, with the scan code Windows maps it to
// (0 = unknown, the default scan code of kModifiers is used then).
struct HeldKey {
  std::uint16_t vk;
  std::uint16_t scan;
};

// Looks a virtual key up in kModifiers; nullptr when it is no modifier.
const Modifier* FindModifier(std::uint16_t vk);

// A real key press: virtual key, set-1 scan code, and whether Shift is held
// around it.
struct KeyStroke {
  std::uint16_t vk = 0;
  std::uint16_t scan = 0;
  bool shift = false;
};
inline bool operator==(const KeyStroke& a, const KeyStroke& b) {
  return a.vk == b.vk && a.scan == b.scan && a.shift == b.shift;
}

constexpr KeyStroke kTabStroke{0x09, 0x0F, false};                 // VK_TAB
constexpr KeyStroke kShiftTabStroke{0x09, 0x0F, true};             // Shift+VK_TAB
constexpr KeyStroke kEnterStroke{0x0D, 0x1C, false};               // VK_RETURN
constexpr std::uint16_t kShiftVk = 0x10, kShiftScan = 0x2A;        // VK_SHIFT (left)
constexpr std::uint16_t kControlVk = 0x11, kControlScan = 0x1D;    // VK_CONTROL (left)
constexpr std::uint16_t kVkV = 0x56, kScanV = 0x2F;                // 'V'
constexpr std::uint16_t kCapsLockVk = 0x14, kCapsLockScan = 0x3A;  // VK_CAPITAL

// Caps Lock as the window that receives the keys applies it to them.
enum class CapsLock { kOff, kOn, kUnknown };

// The keyboard as that window sees it when a chunk of keys is sent.
struct KeyboardState {
  CapsLock capsLock = CapsLock::kUnknown;
  // The layout setting "Shift turns Caps Lock off": a Shift press while
  // Caps Lock is on turns it off (and a Caps Lock press only turns it on).
  bool shiftTurnsCapsLockOff = false;
};

// How the layout makes a character: its key, and whether Shift goes with it
// while Caps Lock is off and while it is on (nothing: that state does not
// make the character with this key). A digit: Shift never; a letter: Shift
// for the capital with Caps Lock off, for the small letter with it on.
struct LayoutKey {
  std::uint16_t vk = 0;
  std::uint16_t scan = 0;
  std::optional<bool> shiftWhenOff;
  std::optional<bool> shiftWhenOn;
};

// The key press that makes the character in this Caps Lock state, or
// nothing (it goes as a Unicode event then). With Caps Lock unknown, only a
// key whose character Caps Lock does not change.
std::optional<KeyStroke> StrokeFor(const LayoutKey& key, CapsLock capsLock);

// The keyboard layout of the window that receives the keys.
class KeyLayout {
 public:
  virtual ~KeyLayout() = default;
  // The key that makes this character plainly or with Shift only, with
  // Caps Lock off or on; nothing when the layout needs Ctrl or Alt for it,
  // makes it only with a dead key, or cannot make it at all. Never asked for
  // a surrogate.
  virtual std::optional<LayoutKey> Find(char16_t character) const = 0;
};

// Appends the masking key (when an Alt or Windows key is held) and a key-up
// for every held modifier. Entries of `held` that are no modifier of
// kModifiers, or repeat one already listed, are ignored. Releases follow the
// order of kModifiers.
void AppendModifierRelease(std::vector<KeyEvent>& events, const std::vector<HeldKey>& held);

// Appends a Unicode key-down and key-up for every UTF-16 unit of the text.
void AppendUnicode(std::vector<KeyEvent>& events, std::u16string_view text);

// Appends a real key press: Shift down (when the stroke needs it), the key
// down and up, Shift up.
void AppendKeyPress(std::vector<KeyEvent>& events, const KeyStroke& stroke);

// Appends Ctrl down, V down, V up, Ctrl up.
void AppendCtrlV(std::vector<KeyEvent>& events);

// Appends the text as the layout makes it with Caps Lock in this state:
// each character the layout makes plainly or with Shift as a real key press
// (AppendKeyPress, Shift as StrokeFor decides), every other one (also each
// surrogate pair) as Unicode events. Caps Lock itself is never pressed.
void AppendLayoutKeys(std::vector<KeyEvent>& events, std::u16string_view text,
                      const KeyLayout& layout, CapsLock capsLock);

// For a layout where Shift turns Caps Lock off, with Caps Lock on: a Shift
// press inserted at `from` turns it off for the events after it (typed as
// with Caps Lock off), and a Caps Lock press appended turns it on again.
void WrapCapsLockOff(std::vector<KeyEvent>& events, std::size_t from);

// What SendStr.dll sends for `text` with the keys in `held` still down: the
// modifier release, then the text as Unicode events. An empty text gives an
// empty plan: nothing at all is sent, not even the modifier releases.
std::vector<KeyEvent> PlanInput(std::u16string_view text, const std::vector<HeldKey>& held);

}  // namespace keyentry::input
