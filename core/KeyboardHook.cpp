#include "core/KeyboardHook.h"

namespace keyentry {

HookDecision DecideKeyEvent(const HookTable& table, std::int32_t code, std::uint32_t message,
                            std::uint32_t vkCode, TextSender& sender) {
  if (code < 0) return {true, 0};
  if (message != kWmKeyDown && message != kWmSysKeyDown) return {true, 0};
  const auto key = static_cast<std::int16_t>(vkCode & 0xFFFFu);
  std::int32_t result = 0;
  for (int k = 0; k < kCardFieldCount; ++k) {
    if (table.codes[k] != key || key == 0) continue;
    const auto& text = table.texts[k];
    sender.SendStr(text ? text->c_str() : nullptr);
    result = 1;
  }
  return {false, result};
}

}  // namespace keyentry
