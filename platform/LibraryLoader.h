#pragma once
// Loading the two outside libraries from the program's own folder only, so
// that a library of the same name in the current folder or on PATH is never
// picked up.
#include <windows.h>

#include <string>

#include "platform/Handles.h"

namespace keyentry {

// Loads folder\fileName; its own dependencies are looked for beside it.
UniqueModule LoadLibraryFromFolder(const std::wstring& folder, const wchar_t* fileName);

// Removes the current folder from the search path of every later load.
void HardenLibrarySearch();

}  // namespace keyentry
