#include "core/InputPlan.h"

#include <algorithm>
#include <iterator>

namespace keyentry::input {

namespace {

bool IsSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; }

void AppendKey(std::vector<KeyEvent>& events, std::uint16_t vk, std::uint16_t scan, bool up) {
  events.push_back(KeyEvent{vk, scan, up ? kFlagKeyUp : 0u});
}

}  // namespace

const Modifier* FindModifier(std::uint16_t vk) {
  for (const Modifier& m : kModifiers) {
    if (m.vk == vk) return &m;
  }
  return nullptr;
}

void AppendModifierRelease(std::vector<KeyEvent>& events, const std::vector<HeldKey>& held) {
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
  if (needsMask) {
    AppendKey(events, kMaskingKey, 0, false);
    AppendKey(events, kMaskingKey, 0, true);
  }
  for (std::size_t i = 0; i < kModifiers.size(); ++i) {
    if (down[i] == nullptr) continue;
    const Modifier& m = kModifiers[i];
    const std::uint16_t scan = down[i]->scan != 0 ? down[i]->scan : m.defaultScan;
    events.push_back(KeyEvent{m.vk, scan, kFlagKeyUp | (m.extended ? kFlagExtendedKey : 0u)});
  }
}

void AppendUnicode(std::vector<KeyEvent>& events, std::u16string_view text) {
  for (const char16_t unit : text) {
    const auto u = static_cast<std::uint16_t>(unit);
    events.push_back(KeyEvent{0, u, kFlagUnicode});
    events.push_back(KeyEvent{0, u, kFlagUnicode | kFlagKeyUp});
  }
}

void AppendKeyPress(std::vector<KeyEvent>& events, const KeyStroke& stroke) {
  if (stroke.shift) AppendKey(events, kShiftVk, kShiftScan, false);
  AppendKey(events, stroke.vk, stroke.scan, false);
  AppendKey(events, stroke.vk, stroke.scan, true);
  if (stroke.shift) AppendKey(events, kShiftVk, kShiftScan, true);
}

void AppendCtrlV(std::vector<KeyEvent>& events) {
  AppendKey(events, kControlVk, kControlScan, false);
  AppendKey(events, kVkV, kScanV, false);
  AppendKey(events, kVkV, kScanV, true);
  AppendKey(events, kControlVk, kControlScan, true);
}

std::optional<KeyStroke> StrokeFor(const LayoutKey& key, CapsLock capsLock) {
  std::optional<bool> shift;
  switch (capsLock) {
    case CapsLock::kOff:
      shift = key.shiftWhenOff;
      break;
    case CapsLock::kOn:
      shift = key.shiftWhenOn;
      break;
    case CapsLock::kUnknown:
      if (key.shiftWhenOff == key.shiftWhenOn) shift = key.shiftWhenOff;
      break;
  }
  if (!shift) return std::nullopt;
  return KeyStroke{key.vk, key.scan, *shift};
}

void AppendLayoutKeys(std::vector<KeyEvent>& events, std::u16string_view text,
                      const KeyLayout& layout, CapsLock capsLock) {
  for (const char16_t unit : text) {
    std::optional<KeyStroke> stroke;
    if (!IsSurrogate(unit)) {
      if (const std::optional<LayoutKey> key = layout.Find(unit))
        stroke = StrokeFor(*key, capsLock);
    }
    if (stroke) {
      AppendKeyPress(events, *stroke);
    } else {
      AppendUnicode(events, std::u16string_view(&unit, 1));
    }
  }
}

void WrapCapsLockOff(std::vector<KeyEvent>& events, std::size_t from) {
  const KeyEvent shift[] = {{kShiftVk, kShiftScan, 0}, {kShiftVk, kShiftScan, kFlagKeyUp}};
  events.insert(events.begin() + static_cast<std::ptrdiff_t>(std::min(from, events.size())),
                std::begin(shift), std::end(shift));
  AppendKey(events, kCapsLockVk, kCapsLockScan, false);
  AppendKey(events, kCapsLockVk, kCapsLockScan, true);
}

std::vector<KeyEvent> PlanInput(std::u16string_view text, const std::vector<HeldKey>& held) {
  std::vector<KeyEvent> plan;
  if (text.empty()) return plan;
  plan.reserve(2 + kModifiers.size() + 2 * text.size());
  AppendModifierRelease(plan, held);
  AppendUnicode(plan, text);
  return plan;
}

}  // namespace keyentry::input
