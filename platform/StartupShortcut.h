#pragma once
// The shortcut KeyEntry.lnk in the current user's Startup folder, which
// Windows opens at logon: made with the shell's link object, never through
// the registry.
#include <optional>
#include <string>

namespace keyentry {

inline constexpr const wchar_t* kStartupShortcutName = L"KeyEntry.lnk";

class StartupShortcut {
 public:
  // program: the full path of the program the shortcut is to start, in
  // folder (its working folder).
  StartupShortcut(std::wstring program, std::wstring folder);

  // The shortcut's full path; just its name when the Startup folder cannot
  // be found.
  std::wstring Path() const;
  // Whether the shortcut is there and starts this very program (not another
  // copy of it).
  bool StartsThisProgram() const;
  // Makes the shortcut, replacing a file of that name unless it is
  // read-only. False when it could not be made.
  bool Create() const;
  // Deletes the shortcut unless it is read-only; true when it is gone.
  bool Remove() const;

  // The shortcut of the same name in the common Startup folder, which the
  // installation package makes for every user (AUTOSTART=1): whether it
  // starts this very program, and its full path.
  bool InstalledForAllUsers() const;
  std::wstring AllUsersPath() const;

 private:
  std::wstring program_;
  std::wstring folder_;
};

// Deletes the shortcuts KeyEntry.lnk that start program in the current
// user's Startup folder and in the Startup folder of each user profile of
// the PC (in its usual place within the profile); others' and read-only ones
// stay. How many were deleted.
int RemoveUsersStartupShortcuts(const std::wstring& program);

// The program a shortcut file starts; nothing when there is no such file
// or it is no shortcut.
std::optional<std::wstring> ShortcutTarget(const std::wstring& shortcut);

}  // namespace keyentry
