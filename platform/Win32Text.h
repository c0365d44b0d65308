#pragma once
// Text conversion with the system's ANSI code page and with code page 936,
// and the program's folder.
#include <string>

#include "core/TextCodec.h"

namespace keyentry {

class AnsiCodePage : public TextCodec {
 public:
  std::wstring ToWide(std::string_view ansi) const override;
  std::string ToAnsi(std::wstring_view text) const override;
};

// Code page 936 whatever the system's ANSI code page: KeyEntry.ini when it
// is not UTF-8.
class CodePage936 : public TextCodec {
 public:
  std::wstring ToWide(std::string_view bytes) const override;
  std::string ToAnsi(std::wstring_view text) const override;
};

// Full path of the running executable; "." when it cannot be had.
std::wstring ProgramPath();
// Folder of the running executable, without a trailing backslash.
std::wstring ProgramFolder();

// Makes the folder the current folder, so that a reader library that writes
// its card files by relative names writes them beside the program whatever
// folder the program was started in. False when the system refuses: a
// folder longer than the current folder may be (258 characters, unless long
// paths are switched on in Windows) stays out of reach, and the current
// folder stays as it was. The program's own file access is unaffected
// either way, since it always uses full paths.
bool MakeCurrentFolder(const std::wstring& folder);

}  // namespace keyentry
