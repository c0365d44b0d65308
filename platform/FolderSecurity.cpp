#include "platform/FolderSecurity.h"

#include <windows.h>
// windows.h first
#include <aclapi.h>
#include <sddl.h>

#include <vector>

#include "platform/Handles.h"

namespace keyentry {

namespace {

struct LocalMemory {
  HLOCAL memory = nullptr;
  ~LocalMemory() {
    if (memory) ::LocalFree(memory);
  }
};

std::wstring SidText(PSID sid) {
  LocalMemory text;
  wchar_t* string = nullptr;
  if (!sid || !::ConvertSidToStringSidW(sid, &string)) return std::wstring();
  text.memory = string;
  return string;
}

}  // namespace

std::wstring CurrentUserSid() {
  HANDLE opened = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &opened)) return std::wstring();
  const UniqueKernelHandle token(opened);
  DWORD size = 0;
  ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  std::vector<unsigned char> buffer(size ? size : 1);
  const bool ok = ::GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size) != 0;
  return ok ? SidText(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid) : std::wstring();
}

std::optional<FolderSecurityFacts> ReadFolderSecurity(const std::wstring& folder) {
  PSID owner = nullptr;
  PACL dacl = nullptr;
  LocalMemory descriptor;
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (::GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT,
                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                              nullptr, &dacl, nullptr, &sd) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  descriptor.memory = sd;
  FolderSecurityFacts facts;
  facts.ownerSid = SidText(owner);
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  if (::GetSecurityDescriptorControl(sd, &control, &revision)) {
    facts.isProtected = (control & SE_DACL_PROTECTED) != 0;
  }
  if (!dacl) {
    facts.hasAccessList = false;
    return facts;
  }
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!::GetAce(dacl, i, &ace)) return std::nullopt;
    const ACE_HEADER* header = static_cast<const ACE_HEADER*>(ace);
    AccessEntry entry;
    entry.objectInherit = (header->AceFlags & OBJECT_INHERIT_ACE) != 0;
    entry.containerInherit = (header->AceFlags & CONTAINER_INHERIT_ACE) != 0;
    entry.inheritOnly = (header->AceFlags & INHERIT_ONLY_ACE) != 0;
    entry.inherited = (header->AceFlags & INHERITED_ACE) != 0;
    if (header->AceType == ACCESS_ALLOWED_ACE_TYPE) {
      const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
      entry.mask = allowed->Mask;
      entry.sid = SidText(const_cast<DWORD*>(&allowed->SidStart));
    } else if (header->AceType == ACCESS_DENIED_ACE_TYPE) {
      const auto* denied = static_cast<const ACCESS_DENIED_ACE*>(ace);
      entry.allow = false;
      entry.mask = denied->Mask;
      entry.sid = SidText(const_cast<DWORD*>(&denied->SidStart));
    } else {
      continue;  // object, callback and audit entries do not grant file rights
    }
    facts.entries.push_back(std::move(entry));
  }
  return facts;
}

}  // namespace keyentry
