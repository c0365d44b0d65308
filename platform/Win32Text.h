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

// Folder of the running executable, without a trailing backslash.
std::wstring ProgramFolder();

}  // namespace keyentry
