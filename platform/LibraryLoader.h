#pragma once
// Loading the two outside libraries from the program's own folder only, so
// that a library of the same name in the current folder or on PATH is never
// picked up.
#include <windows.h>

#include <string>
#include <vector>

#include "core/SelfCheck.h"
#include "platform/Handles.h"

namespace keyentry {

// Loads folder\fileName; its own dependencies are looked for beside it.
// facts, when given, learns where it came from, or why it is not loaded
// (the caller adds the functions it lacks).
UniqueModule LoadLibraryFromFolder(const std::wstring& folder, const wchar_t* fileName,
                                   LibraryFacts* facts = nullptr);

// The functions of the list that the library lacks.
std::vector<std::wstring> MissingFunctions(HMODULE module, const std::vector<const char*>& names);

// Removes the current folder from the search path of every later load.
void HardenLibrarySearch();

}  // namespace keyentry
