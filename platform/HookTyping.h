#pragma once
// What the keyboard hook types for an action of its decision (see
// DecideKeyAction), and for a card just read (typing on read). Each becomes
// one entry of the typing queue, with the card values, settings and
// foreground window of its moment; then, while nothing is queued or typing:
//   - a field key in unicode mode without a character delay: the field texts
//     through SendStr.dll, from inside the hook callback, as always;
//   - a field key or a template in unicode mode that has no pause (no
//     {延时}, no field delay, no character delay): the whole plan with one
//     SendInput call of the program's own input path, from inside the hook
//     callback, so that nothing the operator types afterwards lands in
//     between;
//   - everything else (pauses, paste mode, keys mode, which reads the
//     target's Caps Lock first), and every entry that comes while another
//     is queued or typing: at the back of the queue, for the typing thread.
// The typing settings are those of the program whose window has the focus.
#include <windows.h>

#include "core/KeyboardHook.h"
#include "core/PressRecorder.h"
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

  // Hook thread only. Does nothing for actions that type nothing. False
  // when the press could not be taken (the queue is full, or no window has
  // the focus): the caller beeps. An auto-repeat dropped counts as taken.
  bool Carry(const HookTable& table, const HookAction& action);
  // Hook thread only: the typing on read of the card in the table, for the
  // program that has the focus now. Always queued. False when refused.
  bool CarryOnRead(const HookTable& table);
  // Hook thread only: the text in this mode into the window that has the
  // focus now, as the entry of a press would type it; always queued, for
  // the typing thread. False when refused.
  bool CarryTest(TypingMode mode, const std::wstring& text);

  // What the presses into one chosen window sent (see PressRecorder).
  PressRecorder& Presses() { return presses_; }

 private:
  // Admits the entry; types it at once when allowed.
  TypingQueue::Admission Admit(TypingEntry& entry, bool canTypeNow);
  void TypeNow(TypingEntry& entry);

  TextSender& sender_;
  TypingThread& typingThread_;
  ProgramNames names_;
  KeyInput input_;
  PressRecorder presses_;
};

}  // namespace keyentry
