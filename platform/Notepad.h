#pragma once
// Opening a text file for the operator to edit.
#include <string>

namespace keyentry {

// Starts the system's Notepad (by its full path in the system folder) on
// the file. False when it could not be started.
bool OpenInNotepad(const std::wstring& path);

}  // namespace keyentry
