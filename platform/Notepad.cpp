#include "platform/Notepad.h"

#include <windows.h>

#include "platform/Handles.h"

namespace keyentry {

bool OpenInNotepad(const std::wstring& path) {
  wchar_t system[MAX_PATH] = {};
  const UINT n = ::GetSystemDirectoryW(system, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return false;
  const std::wstring notepad = std::wstring(system) + L"\\notepad.exe";
  std::wstring command = L"\"" + notepad + L"\" \"" + path + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(notepad.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
    return false;
  }
  const UniqueKernelHandle processHandle(process.hProcess);
  const UniqueKernelHandle threadHandle(process.hThread);
  return true;
}

}  // namespace keyentry
