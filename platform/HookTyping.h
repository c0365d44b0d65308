#pragma once
// What the keyboard hook types for an action of its decision (see
// DecideKeyAction), from inside the hook callback:
//   - a field key in unicode mode without a character delay: the field texts
//     through SendStr.dll, as always;
//   - a field key or a template that has no pause (no {延时}, no field
//     delay, no character delay) in unicode or keys mode: the whole plan with
//     one SendInput call of the program's own input path, so that nothing
//     the operator types afterwards lands in between;
//   - everything else (pauses, paste mode): handed to the typing thread.
// The typing settings are those of the program whose window has the focus.
#include <windows.h>

#include "core/KeyboardHook.h"
#include "core/Template.h"
#include "platform/ForegroundProgram.h"
#include "platform/KeyInput.h"
#include "platform/TypingThread.h"

namespace keyentry {

// Today by the local clock.
Date LocalToday();

class HookTyping {
 public:
  HookTyping(TextSender& sender, TypingThread& typingThread)
      : sender_(sender), typingThread_(typingThread) {}

  // Hook thread only. Does nothing for actions that type nothing.
  void Carry(const HookTable& table, const HookAction& action);

  // Caps Lock, for keys mode. The key state a thread reads with GetKeyState
  // follows only the keyboard input that thread itself takes from its queue,
  // and the hook thread takes none (under Wine it stays off for good), so
  // the hook counts every Caps Lock press it sees from a start read there.
  // Observe: every event the hook procedure gets (code 0). StartCapsLock: at
  // installation and whenever the hook was renewed (presses were missed).
  void Observe(DWORD vkCode, WPARAM message);
  void StartCapsLock();

 private:
  TextSender& sender_;
  TypingThread& typingThread_;
  ProgramNames names_;
  KeyInput input_;
  bool capsLock_ = false;
  bool capsDown_ = false;  // so that auto-repeat does not toggle
};

}  // namespace keyentry
