#pragma once
// The program's private window messages, each with a name and a number of
// its own (WM_APP and above), so that no number means two things.
#include <windows.h>

namespace keyentry {

// To the main window: KeyEntry.ini has changed on disk (posted by its watch).
inline constexpr UINT kMsgSettingsFileChanged = WM_APP + 1;
// To the main window: the shared settings file's watch has an answer.
inline constexpr UINT kMsgSharedFileAnswer = WM_APP + 2;
// To the reader's answer window: a request to the reader's helper is done.
inline constexpr UINT kMsgReaderDone = WM_APP + 3;
// To the keyboard hook's window: install the hook again (sent, answers
// whether it is in place).
inline constexpr UINT kMsgHookRenew = WM_APP + 4;
// To the keyboard hook's window: a press was refused; beep, outside the hook.
inline constexpr UINT kMsgHookBeep = WM_APP + 5;
// To the keyboard hook's window: a card to type on read.
inline constexpr UINT kMsgHookTypeOnRead = WM_APP + 6;
// To the keyboard hook's window: a typing test of the self-check.
inline constexpr UINT kMsgHookTypingTest = WM_APP + 7;

}  // namespace keyentry
