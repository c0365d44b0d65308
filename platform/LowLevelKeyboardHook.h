#pragma once
// The system-wide low-level keyboard hook, run on a thread of its own that
// does nothing but the hook's work, so that a slow card read on the
// interface thread never keeps a key press waiting.
#include <windows.h>

#include <atomic>
#include <thread>

#include "core/HookTable.h"
#include "core/KeyboardHook.h"
#include "platform/Handles.h"

namespace keyentry {

class LowLevelKeyboardHook : public KeyboardHook {
 public:
  LowLevelKeyboardHook(HookTableStore& tables, TextSender& sender);
  ~LowLevelKeyboardHook() override;
  LowLevelKeyboardHook(const LowLevelKeyboardHook&) = delete;
  LowLevelKeyboardHook& operator=(const LowLevelKeyboardHook&) = delete;

  bool Install() override;
  void Remove() override;

 private:
  static LRESULT CALLBACK KeyboardHookProc(int code, WPARAM wParam, LPARAM lParam);
  void Run(HANDLE ready);

  HookTableStore& tables_;
  TextSender& sender_;
  std::thread thread_;
  DWORD threadId_ = 0;
  UniqueHook hook_;  // installed and removed on the hook thread

  // The hook procedure is a plain function: this is how it finds its owner.
  static std::atomic<LowLevelKeyboardHook*> owner_;
};

}  // namespace keyentry
