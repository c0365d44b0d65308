#pragma once
// Whether the running program is the copy the installation package put in
// its locked program folder (then what a standard user's program writes
// goes to a data folder of the user's own), or a copy unpacked from the zip
// (which keeps everything beside the program).
#include <string>
#include <string_view>

namespace keyentry {

// The package's folder (InstallFolder of HKLM\Software\KeyEntry, with or
// without a trailing "\") names the program's folder, in any case.
bool IsInstalledCopy(std::wstring_view programFolder, std::wstring_view installFolder);

// The name of the data folder under the user's local application data.
inline constexpr const wchar_t* kDataFolderName = L"KeyEntry";

}  // namespace keyentry
