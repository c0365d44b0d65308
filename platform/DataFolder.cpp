#include "platform/DataFolder.h"

#include <windows.h>
// windows.h first
#include <shlobj.h>

#include "core/DataFolder.h"

namespace keyentry {

namespace {

std::wstring InstallFolderValue() {
  wchar_t value[MAX_PATH * 2] = {};
  DWORD size = sizeof value - sizeof value[0];
  if (::RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\KeyEntry", L"InstallFolder", RRF_RT_REG_SZ,
                     nullptr, value, &size) != ERROR_SUCCESS) {
    return std::wstring();
  }
  return value;
}

}  // namespace

std::wstring UserDataFolder(const std::wstring& programFolder) {
  if (!IsInstalledCopy(programFolder, InstallFolderValue())) return programFolder;
  wchar_t local[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                                SHGFP_TYPE_CURRENT, local))) {
    return programFolder;
  }
  const std::wstring folder = std::wstring(local) + L"\\" + kDataFolderName;
  if (!::CreateDirectoryW(folder.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
    return programFolder;
  }
  return folder;
}

}  // namespace keyentry
