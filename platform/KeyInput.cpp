#include "platform/KeyInput.h"

#include "core/Wipe.h"

namespace keyentry {

std::vector<input::HeldKey> KeyInput::HeldModifiers() const {
  std::vector<input::HeldKey> held;
  for (const input::Modifier& m : input::kModifiers) {
    if ((::GetAsyncKeyState(m.vk) & 0x8000) != 0) {
      const UINT scan = ::MapVirtualKeyW(m.vk, MAPVK_VK_TO_VSC) & 0xFFu;
      held.push_back(input::HeldKey{m.vk, static_cast<WORD>(scan)});
    }
  }
  return held;
}

bool KeyInput::Send(const std::vector<input::KeyEvent>& events) const {
  if (events.empty()) return true;
  std::vector<INPUT> inputs(events.size());
  for (std::size_t i = 0; i < events.size(); ++i) {
    INPUT& in = inputs[i];
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = events[i].vk;
    in.ki.wScan = events[i].scan;
    in.ki.dwFlags = events[i].flags;
  }
  const UINT sent =
      ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), static_cast<int>(sizeof(INPUT)));
  const bool all = sent == inputs.size();
  Wipe(inputs);  // the characters of a card's text
  return all;
}

}  // namespace keyentry
