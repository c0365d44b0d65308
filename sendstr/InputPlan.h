#pragma once
// The portable half of SendStr.dll.
//
// Turns a UTF-16 text plus the set of modifier keys the operator still holds
// into the ordered list of keyboard events that SendStr.dll hands to ONE
// SendInput call. Nothing here touches Windows, so the plan can be checked by
// native unit tests; the DLL only asks Windows which modifiers are down,
// converts the text and copies the plan into INPUT records.
//
// The event list, in order:
//   1. only when an Alt or Windows key is held: a press and release of the
//      unassigned virtual key 0xE8, so that releasing a lone Alt/Win key does
//      not open a menu or the start menu;
//   2. a key-up for every held modifier (never pressed again afterwards);
//   3. for every UTF-16 unit of the text: key-down then key-up with the
//      "unicode" flag, virtual key 0 and the unit as scan value.
// An empty text gives an empty plan: nothing at all is sent, not even the
// modifier releases.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace keyentry {
namespace sendstr {

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
inline const Modifier* FindModifier(std::uint16_t vk) {
  for (const Modifier& m : kModifiers) {
    if (m.vk == vk) return &m;
  }
  return nullptr;
}

// Builds the ordered event list for `text` with the keys in `held` still down.
// Entries of `held` that are no modifier of kModifiers, or repeat one already
// listed, are ignored. Releases follow the order of kModifiers.
inline std::vector<KeyEvent> PlanInput(std::u16string_view text, const std::vector<HeldKey>& held) {
  std::vector<KeyEvent> plan;
  if (text.empty()) return plan;

  std::array<const HeldKey*, kModifiers.size()> down{};
  bool needsMask = false;
  for (const HeldKey& key : held) {
    for (std::size_t i = 0; i < kModifiers.size(); ++i) {
      if (kModifiers[i].vk == key.vk && down[i] == nullptr) {
        down[i] = &key;
        needsMask = needsMask || kModifiers[i].opensMenu;
      }
    }
  }

  plan.reserve(2 + kModifiers.size() + 2 * text.size());
  if (needsMask) {
    plan.push_back(KeyEvent{kMaskingKey, 0, 0});
    plan.push_back(KeyEvent{kMaskingKey, 0, kFlagKeyUp});
  }
  for (std::size_t i = 0; i < kModifiers.size(); ++i) {
    if (down[i] == nullptr) continue;
    const Modifier& m = kModifiers[i];
    const std::uint16_t scan = down[i]->scan != 0 ? down[i]->scan : m.defaultScan;
    plan.push_back(KeyEvent{m.vk, scan, kFlagKeyUp | (m.extended ? kFlagExtendedKey : 0u)});
  }
  for (const char16_t unit : text) {
    const std::uint16_t u = static_cast<std::uint16_t>(unit);
    plan.push_back(KeyEvent{0, u, kFlagUnicode});
    plan.push_back(KeyEvent{0, u, kFlagUnicode | kFlagKeyUp});
  }
  return plan;
}

}  // namespace sendstr
}  // namespace keyentry
