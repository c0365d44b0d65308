#include "ui/InstallJobs.h"

#include "platform/StartupShortcut.h"
#include "platform/Win32FileStore.h"
#include "platform/Win32Text.h"
#include "ui/res/resource.h"

namespace keyentry {

std::string SettingsExample(HINSTANCE instance) {
  HRSRC found = ::FindResourceW(instance, MAKEINTRESOURCEW(IDR_SETTINGS_EXAMPLE), RT_RCDATA);
  HGLOBAL loaded = found ? ::LoadResource(instance, found) : nullptr;
  const void* data = loaded ? ::LockResource(loaded) : nullptr;
  if (!data) return std::string();
  return std::string(static_cast<const char*>(data), ::SizeofResource(instance, found));
}

int RunInstallJob(HINSTANCE instance, const InstallCommand& command) {
  switch (command.job) {
    case InstallJob::kSetSharedSettings: {
      Win32FileStore files;
      const CodePage936 codec;
      return WriteSharedSettingsLine(files, ProgramFolder(), command.argument, codec,
                                     SettingsExample(instance))
                 ? 0
                 : 1;
    }
    case InstallJob::kRemoveStartupShortcuts:
      RemoveUsersStartupShortcuts(ProgramPath());
      return 0;
    case InstallJob::kNone:
    case InstallJob::kUnknown:
      break;
  }
  return 1;
}

}  // namespace keyentry
