#pragma once
// The jobs the installation package has KeyEntry.exe do (see
// core/InstallSetup.h): run instead of the program's window.
#include <windows.h>

#include <string>

#include "core/InstallSetup.h"

namespace keyentry {

// The example KeyEntry.ini of the program's resources (empty if missing).
std::string SettingsExample(HINSTANCE instance);

// Does the job of the command (not kNone): 0 when done, 1 when not.
int RunInstallJob(HINSTANCE instance, const InstallCommand& command);

}  // namespace keyentry
