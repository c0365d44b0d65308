#include "platform/StartupShortcut.h"

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <utility>
#include <vector>

#include "core/FileStore.h"
#include "core/PathNames.h"

namespace keyentry {

namespace {

// COM on this thread for the life of the object.
class ComScope {
 public:
  ComScope()
      : result_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
  ~ComScope() {
    if (SUCCEEDED(result_)) ::CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

  // Also when the thread had COM already in the other threading model.
  bool Ready() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }

 private:
  HRESULT result_;
};

// One reference to a COM object, released at the end.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;

  T* operator->() const { return p_; }
  // Where a function that hands out a reference puts it.
  T** Receive() {
    reset();
    return &p_;
  }
  void reset() {
    if (p_) std::exchange(p_, nullptr)->Release();
  }

 private:
  T* p_ = nullptr;
};

// Text the shell hands out, freed with CoTaskMemFree.
class TaskMemoryText {
 public:
  TaskMemoryText() = default;
  ~TaskMemoryText() { ::CoTaskMemFree(p_); }
  TaskMemoryText(const TaskMemoryText&) = delete;
  TaskMemoryText& operator=(const TaskMemoryText&) = delete;

  PWSTR* Receive() { return &p_; }
  PCWSTR get() const { return p_; }

 private:
  PWSTR p_ = nullptr;
};

// FOLDERID_Startup. Defined here, as the interfaces' ids are taken with
// __uuidof: MinGW's uuid library would bring its whole table of ids (about
// 40 KB) into the program.
constexpr GUID kStartupFolder = {
    0xB97D20BB, 0xF46A, 0x4C97, {0xBA, 0x10, 0x5E, 0x36, 0x08, 0x43, 0x08, 0x54}};

// FOLDERID_CommonStartup.
constexpr GUID kCommonStartupFolder = {
    0x82A5EA35, 0xD9CD, 0x47C5, {0x96, 0x29, 0xE1, 0x5D, 0x2F, 0x71, 0x4E, 0x6E}};

// The shortcut's full path in the current user's (or the common) Startup folder.
std::optional<std::wstring> ShortcutPath(DWORD folderFlags, const GUID& which = kStartupFolder) {
  TaskMemoryText folder;
  if (FAILED(::SHGetKnownFolderPath(which, folderFlags, nullptr, folder.Receive())) ||
      !folder.get()) {
    return std::nullopt;
  }
  return PathInFolder(folder.get(), kStartupShortcutName);
}

// A shell link object and its file.
struct LinkObject {
  ComPtr<IShellLinkW> link;
  ComPtr<IPersistFile> file;

  bool Make() {
    return SUCCEEDED(::CoCreateInstance(__uuidof(::ShellLink), nullptr, CLSCTX_INPROC_SERVER,
                                        IID_PPV_ARGS(link.Receive()))) &&
           SUCCEEDED(link->QueryInterface(IID_PPV_ARGS(file.Receive())));
  }
};

DWORD Attributes(const std::wstring& path) {
  return ::GetFileAttributesW(ExtendedLengthPath(path).c_str());
}

// A file of the shortcut's name that is left alone.
bool Untouchable(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) != 0;
}

}  // namespace

StartupShortcut::StartupShortcut(std::wstring program, std::wstring folder)
    : program_(OrdinaryPath(program)), folder_(OrdinaryPath(folder)) {}

std::wstring StartupShortcut::Path() const {
  return ShortcutPath(KF_FLAG_DONT_VERIFY).value_or(kStartupShortcutName);
}

bool StartupShortcut::StartsThisProgram() const {
  const std::optional<std::wstring> path = ShortcutPath(KF_FLAG_DONT_VERIFY);
  const std::optional<std::wstring> target = path ? ShortcutTarget(*path) : std::nullopt;
  return target && SameFilePath(*target, program_);
}

bool StartupShortcut::InstalledForAllUsers() const {
  const std::optional<std::wstring> path = ShortcutPath(KF_FLAG_DONT_VERIFY, kCommonStartupFolder);
  const std::optional<std::wstring> target = path ? ShortcutTarget(*path) : std::nullopt;
  return target && SameFilePath(*target, program_);
}

std::wstring StartupShortcut::AllUsersPath() const {
  return ShortcutPath(KF_FLAG_DONT_VERIFY, kCommonStartupFolder).value_or(kStartupShortcutName);
}

bool StartupShortcut::Create() const {
  const ComScope com;
  const std::optional<std::wstring> path = ShortcutPath(KF_FLAG_CREATE);
  if (!com.Ready() || !path || Untouchable(Attributes(*path))) return false;
  LinkObject shortcut;
  return shortcut.Make() && SUCCEEDED(shortcut.link->SetPath(program_.c_str())) &&
         SUCCEEDED(shortcut.link->SetWorkingDirectory(folder_.c_str())) &&
         SUCCEEDED(shortcut.file->Save(path->c_str(), TRUE));
}

bool StartupShortcut::Remove() const {
  const std::optional<std::wstring> path = ShortcutPath(KF_FLAG_DONT_VERIFY);
  if (!path) return false;
  const DWORD attributes = Attributes(*path);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }
  return !Untouchable(attributes) && ::DeleteFileW(ExtendedLengthPath(*path).c_str()) != 0;
}

int RemoveUsersStartupShortcuts(const std::wstring& program) {
  std::vector<std::wstring> shortcuts;
  if (auto own = ShortcutPath(KF_FLAG_DONT_VERIFY)) shortcuts.push_back(*own);
  // Each profile's own Startup folder, where it usually lies in the profile:
  // an installation runs as an administrator or the system, not as the
  // operator who made the shortcut.
  HKEY profiles = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                      L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList", 0,
                      KEY_READ | KEY_WOW64_64KEY, &profiles) == ERROR_SUCCESS) {
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
      DWORD nameLength = 256;
      if (::RegEnumKeyExW(profiles, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS) {
        break;
      }
      // REG_EXPAND_SZ comes expanded (asking for that type itself would
      // only be refused).
      wchar_t raw[MAX_PATH] = {};
      DWORD size = sizeof raw - sizeof(wchar_t);
      if (::RegGetValueW(profiles, name, L"ProfileImagePath", RRF_RT_REG_SZ, nullptr, raw, &size) !=
          ERROR_SUCCESS) {
        continue;
      }
      shortcuts.push_back(
          std::wstring(raw) +
          L"\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup\\" +
          kStartupShortcutName);
    }
    ::RegCloseKey(profiles);
  }
  int removed = 0;
  for (const std::wstring& shortcut : shortcuts) {
    const std::optional<std::wstring> target = ShortcutTarget(shortcut);
    if (target && SameFilePath(*target, program) && !Untouchable(Attributes(shortcut)) &&
        ::DeleteFileW(ExtendedLengthPath(shortcut).c_str())) {
      ++removed;
    }
  }
  return removed;
}

std::optional<std::wstring> ShortcutTarget(const std::wstring& shortcut) {
  const DWORD attributes = Attributes(shortcut);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return std::nullopt;
  }
  const ComScope com;
  LinkObject link;
  if (!com.Ready() || !link.Make() || FAILED(link.file->Load(shortcut.c_str(), STGM_READ))) {
    return std::nullopt;
  }
  std::vector<wchar_t> target(32768);
  if (link.link->GetPath(target.data(), static_cast<int>(target.size()), nullptr, 0) != S_OK) {
    return std::nullopt;
  }
  return std::wstring(target.data());
}

}  // namespace keyentry
