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
#include "core/Wipe.h"
#include "platform/KeyInput.h"

namespace {

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
  keyentry::Wipe(wide);
  return result;
}

void Send(const char* text) {
  if (text == nullptr || text[0] == '\0') return;
  std::u16string unicode = AnsiToUtf16(text);
  if (unicode.empty()) return;

  const keyentry::KeyInput keyboard;
  std::vector<keyentry::input::KeyEvent> events =
      keyentry::input::PlanInput(unicode, keyboard.HeldModifiers());
  keyentry::WipeMemory(&unicode[0], unicode.size() * sizeof(char16_t));
  keyboard.Send(events);
  keyentry::Wipe(events);
}

}  // namespace

extern "C" void __stdcall SendStr(const char* text) {
  // Nothing may escape into the caller's hook callback.
  try {
    Send(text);
  } catch (...) {
  }
}
