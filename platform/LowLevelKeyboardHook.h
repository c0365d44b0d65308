#pragma once
// The system-wide low-level keyboard hook, run on a thread of its own that
// does nothing but the hook's work, so that a slow card read on the
// interface thread never keeps a key press waiting. The same thread loads the
// text-sending library before the hook exists, and watches that the system
// has not dropped the hook; a dropped hook is installed again by itself.
// Typing with pauses or through the clipboard goes to the typing thread,
// which lives as long as the hook thread.
#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/HookTable.h"
#include "core/HookWatch.h"
#include "core/KeyboardHook.h"
#include "core/SelfCheck.h"
#include "platform/Handles.h"
#include "platform/HookTyping.h"
#include "platform/SendStrDll.h"
#include "platform/TypingThread.h"

namespace keyentry {

// Class of the hook thread's hidden message-only window.
inline constexpr const wchar_t* kHookWindowClass = L"KeyEntryHookWatch";
// Test seam: only when the environment variable KEYENTRY_TEST_SEAMS is 1 at
// start, this registered message sent to that window removes the hook behind
// the program's back (as Windows does with a hook that answered too slowly)
// and answers 1. Otherwise the message does nothing and answers 0.
inline constexpr const wchar_t* kTestSeamsVariable = L"KEYENTRY_TEST_SEAMS";
inline constexpr const wchar_t* kDropHookMessageName = L"KeyEntry.Test.DropHook";
// Test seam, likewise: answers how many warning beeps the program has given
// (a press refused by the full typing queue, an entry stopped because its
// window lost the focus), since a beep cannot be heard in a test.
inline constexpr const wchar_t* kWarningBeepsMessageName = L"KeyEntry.Test.WarningBeeps";

class LowLevelKeyboardHook : public KeyboardHook {
 public:
  LowLevelKeyboardHook(HookTableStore& tables, SendStrDll& sender);
  ~LowLevelKeyboardHook() override;
  LowLevelKeyboardHook(const LowLevelKeyboardHook&) = delete;
  LowLevelKeyboardHook& operator=(const LowLevelKeyboardHook&) = delete;

  // The first call starts the hook thread, which loads the text-sending
  // library and then installs the hook. Later calls install a new hook in
  // place of the old one, which the system may have dropped unnoticed (one
  // hook types at any time). True when a hook is installed.
  bool Install() override;
  // Removes the hook at once; what is still queued is dropped, and the
  // typing thread ends by itself (putting the clipboard back first).
  void Remove() override;
  void TypeOnRead() override;
  // The photo files written for the card before are deleted.
  void NewCard() override;

  // For the self-check, from any thread: whether the program's hook is
  // installed (Windows may have dropped it unnoticed), when it last saw a
  // key, and how often a new hook took the old one's place.
  HookFacts Facts() const;
  // Types the text in this mode into the window that has the focus, as a
  // press would (on the typing thread, in keys mode by the layout and Caps
  // Lock of the moment). Returns at once; false when there is no hook
  // thread to ask.
  bool TypeTest(TypingMode mode, const std::wstring& text);
  // What the presses into one chosen window sent.
  PressRecorder& Presses() { return typer_.Presses(); }

 private:
  static LRESULT CALLBACK KeyboardHookProc(int code, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  void Run(HANDLE ready);
  LRESULT HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  // Hook thread only.
  bool Renew();
  void OnRawInput(LPARAM lParam);
  void CheckWatch();

  void CarryOnReadRequests();
  void CarryTestRequests();

  HookTableStore& tables_;
  SendStrDll& sender_;
  TypingThread typing_;
  const bool testSeams_;
  UINT dropHookMessage_ = 0;
  UINT warningBeepsMessage_ = 0;
  std::mutex onReadMutex_;
  std::vector<std::shared_ptr<const HookTable>> onRead_;    // guarded: cards to type on read
  std::vector<std::pair<TypingMode, std::wstring>> tests_;  // guarded too: typing tests
  std::thread thread_;
  DWORD threadId_ = 0;
  std::atomic<HWND> window_{nullptr};  // the hook thread's window, made and destroyed there
  UniqueHook hook_;                    // installed and removed on the hook thread
  HookWatch watch_;                    // hook thread only
  HookKeyState keys_;                  // hook thread only: template keys held
  HookTyping typer_;                   // hook thread only
  bool watchTimerOn_ = false;
  std::atomic<bool> installed_{false};
  std::atomic<bool> sawKey_{false};
  std::atomic<DWORD> lastKeyTick_{0};
  std::atomic<unsigned> renewals_{0};

  // The hook procedure is a plain function: this is how it finds its owner.
  static std::atomic<LowLevelKeyboardHook*> owner_;
};

}  // namespace keyentry
