#pragma once
// The folder that what the user's program writes goes to (see
// core/DataFolder.h): %LOCALAPPDATA%\KeyEntry for the installed copy (made
// when missing), else the program folder.
#include <string>

namespace keyentry {

std::wstring UserDataFolder(const std::wstring& programFolder);

}  // namespace keyentry
