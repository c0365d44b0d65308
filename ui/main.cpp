// KeyEntry: types the fields of an identity card, read by the card reader,
// into any application at the press of a function key.
#include <windows.h>

#include "platform/LibraryLoader.h"
#include "platform/Win32Text.h"
#include "ui/App.h"
#include "ui/InstallJobs.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int showCommand) {
  // A job of the installation package, without a window.
  const keyentry::InstallCommand command = keyentry::ParseInstallCommand(commandLine);
  if (command.job == keyentry::InstallJob::kSetSharedSettings ||
      command.job == keyentry::InstallJob::kRemoveStartupShortcuts) {
    return keyentry::RunInstallJob(instance, command);
  }
  // Shortcuts with another start folder, the Run key and task schedulers
  // start the program in any folder, often the system folder.
  keyentry::MakeCurrentFolder(keyentry::ProgramFolder());
  keyentry::HardenLibrarySearch();
  // Restart Manager (an installer replacing the program) starts it again
  // after closing it; not after a crash, a hang or a restart of Windows.
  ::RegisterApplicationRestart(L"", RESTART_NO_CRASH | RESTART_NO_HANG | RESTART_NO_REBOOT);
  keyentry::App app(instance);
  return app.Run(showCommand);
}
