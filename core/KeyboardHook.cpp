#include "core/KeyboardHook.h"

namespace keyentry {

namespace {

constexpr std::int16_t kVkF1 = 112;

// The bit of a template key (F1..F24) in the held set, or 0 for other keys.
std::uint32_t TemplateKeyBit(std::int16_t key) {
  const int index = key - kVkF1;
  if (index < 0 || index >= kTemplateKeyCount) return 0;
  return std::uint32_t{1} << index;
}

FieldMask FieldsOfKey(const HookTable& table, std::int16_t key) {
  FieldMask fields = 0;
  if (key == 0) return fields;
  for (int k = 0; k < kCardFieldCount; ++k) {
    if (table.codes[static_cast<std::size_t>(k)] == key) fields |= FieldMask{1} << k;
  }
  return fields;
}

// The decision, with templates from `settings` (none when null).
HookAction Decide(const HookTable& table, const SettingsContent* settings, HookKeyState& state,
                  std::int32_t code, std::uint32_t message, std::uint32_t vkCode) {
  HookAction action;  // pass on
  if (code < 0) return action;
  const auto key = static_cast<std::int16_t>(vkCode & 0xFFFFu);
  if (message == kWmKeyUp || message == kWmSysKeyUp) {
    state.Release(key);
    return action;
  }
  if (message != kWmKeyDown && message != kWmSysKeyDown) return action;

  if (const FieldMask fields = FieldsOfKey(table, key)) {
    action.kind = HookActionKind::kTypeFields;
    action.fields = fields;
    action.fieldKey = key;
    action.repeat = state.MarkHeld(key);
    return action;
  }
  if (TemplateKeyBit(key) != 0 && settings != nullptr && settings->FindTemplate(key) != nullptr) {
    const bool repeat = state.MarkHeld(key);
    if (repeat || !HoldsCard(table)) {
      action.kind = HookActionKind::kSwallow;
    } else {
      action.kind = HookActionKind::kRunTemplate;
      action.templateKey = key;
    }
    return action;
  }
  action.kind = HookActionKind::kLetThrough;
  return action;
}

}  // namespace

HookDecision ToHookDecision(const HookAction& action) {
  switch (action.kind) {
    case HookActionKind::kPassOn:
    case HookActionKind::kLetThrough:
      return {true, 0};
    case HookActionKind::kSwallow:
    case HookActionKind::kTypeFields:
    case HookActionKind::kRunTemplate:
      break;
  }
  return {false, 1};
}

bool HookKeyState::IsHeld(std::int16_t vkCode) const {
  return vkCode > 0 && vkCode < 256 && held_.test(static_cast<std::size_t>(vkCode));
}

bool HookKeyState::MarkHeld(std::int16_t vkCode) {
  const bool held = IsHeld(vkCode);
  if (vkCode > 0 && vkCode < 256) held_.set(static_cast<std::size_t>(vkCode));
  return held;
}

void HookKeyState::Release(std::int16_t vkCode) {
  if (vkCode > 0 && vkCode < 256) held_.reset(static_cast<std::size_t>(vkCode));
}

HookAction DecideKeyAction(const HookTable& table, HookKeyState& state, std::int32_t code,
                           std::uint32_t message, std::uint32_t vkCode) {
  return Decide(table, table.settings.get(), state, code, message, vkCode);
}

bool HoldsCard(const HookTable& table) {
  for (const auto& value : table.values) {
    if (value) return true;
  }
  return false;
}

void SendFieldTexts(const HookTable& table, FieldMask fields, TextSender& sender) {
  for (int k = 0; k < kCardFieldCount; ++k) {
    if ((fields & (FieldMask{1} << k)) == 0) continue;
    const auto& text = table.texts[static_cast<std::size_t>(k)];
    sender.SendStr(text ? text->c_str() : nullptr);
  }
}

HookDecision DecideKeyEvent(const HookTable& table, std::int32_t code, std::uint32_t message,
                            std::uint32_t vkCode, TextSender& sender) {
  HookKeyState state;
  const HookAction action = Decide(table, nullptr, state, code, message, vkCode);
  if (action.kind == HookActionKind::kTypeFields) SendFieldTexts(table, action.fields, sender);
  return ToHookDecision(action);
}

}  // namespace keyentry
