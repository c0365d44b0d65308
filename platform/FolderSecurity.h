#pragma once
// A folder's owner and access list as the system keeps them, for the
// portable decision of core/FolderAccess.h.
#include <optional>
#include <string>

#include "core/FolderAccess.h"

namespace keyentry {

// Nothing when the folder's security could not be read.
std::optional<FolderSecurityFacts> ReadFolderSecurity(const std::wstring& folder);

// The SID of the user this process runs as ("S-1-5-21-..."); empty when
// it cannot be found out.
std::wstring CurrentUserSid();

}  // namespace keyentry
