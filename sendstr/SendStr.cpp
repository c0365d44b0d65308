// Entry point of SendStr.dll.
//
// void __stdcall SendStr(const char* text)
//   Types `text` (NUL-terminated, system ANSI code page) into the window that
//   has the keyboard focus, as unicode key events, so that Chinese text arrives
//   without any input method. Modifier keys the operator still holds are
//   released first so the text arrives exactly as given.
//
// SendStr is called from inside a low-level keyboard hook callback: it only
// queues the events with one SendInput call and returns at once. It never
// waits, sleeps or uses the clipboard.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include "sendstr/SendStr.h"

#include <windows.h>

#include <string>
#include <vector>

#include "core/InputPlan.h"

namespace {

using keyentry::input::HeldKey;
using keyentry::input::KeyEvent;
using keyentry::input::kModifiers;

// ANSI (CP_ACP) text -> UTF-16. Empty on failure.
std::u16string AnsiToUtf16(const char* text) {
  const int needed = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (needed <= 1) return std::u16string();
  std::vector<wchar_t> wide(static_cast<size_t>(needed));
  const int written = MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), needed);
  if (written <= 1) return std::u16string();
  // written counts the terminating NUL.
  std::u16string result;
  result.reserve(static_cast<size_t>(written - 1));
  for (int i = 0; i < written - 1; ++i) {
    result.push_back(static_cast<char16_t>(wide[static_cast<size_t>(i)]));
  }
  return result;
}

// The modifiers of kModifiers that are down right now, with their scan codes.
std::vector<HeldKey> HeldModifiers() {
  std::vector<HeldKey> held;
  for (const auto& m : kModifiers) {
    if ((GetAsyncKeyState(m.vk) & 0x8000) != 0) {
      const UINT scan = MapVirtualKeyW(m.vk, MAPVK_VK_TO_VSC) & 0xFFu;
      held.push_back(HeldKey{m.vk, static_cast<WORD>(scan)});
    }
  }
  return held;
}

INPUT ToInput(const KeyEvent& e) {
  INPUT in;
  ZeroMemory(&in, sizeof(in));
  in.type = INPUT_KEYBOARD;
  in.ki.wVk = e.vk;
  in.ki.wScan = e.scan;
  in.ki.dwFlags = e.flags;
  in.ki.time = 0;
  in.ki.dwExtraInfo = 0;
  return in;
}

void Send(const char* text) {
  if (text == nullptr || text[0] == '\0') return;
  const std::u16string unicode = AnsiToUtf16(text);
  if (unicode.empty()) return;

  const std::vector<KeyEvent> plan = keyentry::input::PlanInput(unicode, HeldModifiers());
  if (plan.empty()) return;

  std::vector<INPUT> inputs;
  inputs.reserve(plan.size());
  for (const KeyEvent& e : plan) inputs.push_back(ToInput(e));
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), static_cast<int>(sizeof(INPUT)));
}

}  // namespace

extern "C" void __stdcall SendStr(const char* text) {
  // Nothing may escape into the caller's hook callback.
  try {
    Send(text);
  } catch (...) {
  }
}
