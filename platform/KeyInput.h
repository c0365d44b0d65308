#pragma once
// The keyboard as the program types with it: which modifier keys are down
// right now, and key events of the shared input plan (core/InputPlan.h) sent
// with one SendInput call. Shared by SendStr.dll and the program's own input
// path, so that both find held modifiers and send events the same way.
#include <windows.h>

#include <vector>

#include "core/InputPlan.h"

namespace keyentry {

class KeyInput {
 public:
  // The modifiers of input::kModifiers that are down right now (the
  // asynchronous state: also on a thread that has no keyboard focus), with
  // their scan codes.
  std::vector<input::HeldKey> HeldModifiers() const;

  // Sends the events, in order, with one SendInput call, so that no key the
  // operator presses meanwhile lands in between. Nothing is sent for no
  // events. True when the system took all of them.
  bool Send(const std::vector<input::KeyEvent>& events) const;
};

}  // namespace keyentry
