#pragma once
// Who besides the system and the administrators may change a folder that
// holds programs: worked out from the folder's security descriptor (its
// owner and its access list, in the system's order), with no system call.
// The Win32 side reads them (platform/FolderSecurity.h); the installation
// package's rows are read from their SDDL text.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace keyentry {

// One access control entry, as the system keeps it.
struct AccessEntry {
  std::wstring sid;  // as text: "S-1-5-32-545"
  std::uint32_t mask = 0;
  bool allow = true;  // false: a deny entry
  bool objectInherit = false;
  bool containerInherit = false;
  bool inheritOnly = false;
  bool inherited = false;
};

struct FolderSecurityFacts {
  std::wstring ownerSid;      // empty: not known
  bool hasAccessList = true;  // false: a NULL DACL, which lets everyone do anything
  bool isProtected = false;   // no entries inherited from the parent folder
  std::vector<AccessEntry> entries;
};

// Reads "D:P(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)" (a leading "O:xx" and
// "G:xx" are allowed): the DACL's flags and its entries with their rights in
// SDDL letters or hex and the well-known SID abbreviations. Nothing when the
// text is not such a DACL.
std::optional<FolderSecurityFacts> ParseSddlDacl(std::wstring_view sddl);

// The rights that let someone replace or add what the folder holds, or take
// it over: write or add files, append or add folders, delete, delete
// children, change permissions, change owner (generic rights included).
inline constexpr std::uint32_t kChangingRights =
    0x0002 | 0x0004 | 0x0040 | 0x00010000 | 0x00040000 | 0x00080000 | 0x10000000 | 0x40000000;

// Someone other than SYSTEM, the administrators, the system's own installer
// service and the user themself who holds changing rights.
struct OpenAccess {
  std::wstring sid;
  std::uint32_t rights = 0;  // of kChangingRights, generic ones mapped
  bool onFolder = false;     // on the folder itself
  bool onFiles = false;      // on the files it holds (inherited to them)
};

// Everyone that holds changing rights on the folder or on the files it
// passes its entries to, in the order of the entries. Deny entries count for
// the ordinary users (Everyone, Authenticated Users, Users, Interactive)
// where they come before the allow entry; an owner who is not SYSTEM or an
// administrator may always change permissions. Empty: only SYSTEM and the
// administrators can change the folder. Entries of self (the SID of the user
// running the program, when given) do not count: a user may change their
// own copy, which only they run.
std::vector<OpenAccess> WhoCanChange(const FolderSecurityFacts& facts, std::wstring_view self = {});

// A short name for a SID: "Users", "Everyone", ... or the SID itself.
std::wstring SidName(std::wstring_view sid);

}  // namespace keyentry
