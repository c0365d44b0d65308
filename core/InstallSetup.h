#pragma once
// What the installation package asks of the program: KeyEntry.exe started
// with a switch does one job for the installer and ends without a window.
//
//   KeyEntry.exe /sharedsettings \\server\share\KeyEntry.ini
//       sets 共享设置 of [站点] in KeyEntry.ini beside the program (made from
//       the program's example when missing); every other byte stays.
//   KeyEntry.exe /removestartup
//       deletes the shortcuts KeyEntry.lnk in the users' own Startup folders
//       that start this very program (made from the system menu).
#include <optional>
#include <string>
#include <string_view>

#include "core/FileStore.h"
#include "core/TextCodec.h"

namespace keyentry {

enum class InstallJob { kNone, kSetSharedSettings, kRemoveStartupShortcuts, kUnknown };

struct InstallCommand {
  InstallJob job = InstallJob::kNone;
  std::wstring argument;  // the path of /sharedsettings, without quotes
};

// The switch of a command line without the program's name (as wWinMain gets
// it). The switch's case does not matter; "-" works as "/". No switch at all
// is kNone (the ordinary start); any other text starting with "/" or "-" is
// kUnknown.
InstallCommand ParseInstallCommand(std::wstring_view commandLine);

// The bytes of a KeyEntry.ini with 共享设置 of [站点] set to path. The first
// such line (the one the program reads) is replaced, keeping its name as
// written; else the line is added right after the first [站点] header; else
// a section [站点] with the line is added at the end. Every other byte is
// kept, and the new text is written in the file's encoding (UTF-8 with or
// without byte order mark, UTF-16, or the fallback code page) with the
// file's own line end (CR LF when it has none). Nothing when the path is
// empty, holds a line break, or cannot be written in the fallback code page.
std::optional<std::string> SetSharedSettingsLine(std::string_view bytes, std::wstring_view path,
                                                 const TextCodec& fallback);

// Sets the line in folder's KeyEntry.ini; a missing file is made from
// example first. False when the file could not be read or written.
bool WriteSharedSettingsLine(FileStore& files, const std::wstring& folder, std::wstring_view path,
                             const TextCodec& fallback, std::string_view example);

}  // namespace keyentry
