#pragma once
// The program whose window has the focus when a key is pressed: its window's
// thread (for the keyboard layout) and its executable name (for the typing
// settings of that program). Names are looked up once per process and kept
// while the process runs.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/Handles.h"

namespace keyentry {

struct ForegroundWindow {
  HWND window = nullptr;
  DWORD threadId = 0;  // 0 without a foreground window
  DWORD processId = 0;
};

ForegroundWindow CurrentForegroundWindow();

// Executable names by process, for one thread (the hook's).
class ProgramNames {
 public:
  // The file name of the process's executable ("notepad.exe"), or "" when it
  // cannot be found out (a process of another user or session, one that has
  // ended).
  std::wstring NameOf(DWORD processId);

 private:
  struct Entry {
    DWORD processId = 0;
    // Kept open: while it is, the system gives the process id to no other
    // process, so a cached name never belongs to the wrong program.
    UniqueKernelHandle process;
    std::wstring name;
  };
  static constexpr std::size_t kMaxEntries = 16;
  std::vector<Entry> entries_;  // most recently used last
};

}  // namespace keyentry
