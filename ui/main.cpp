// KeyEntry: types the fields of an identity card, read by the card reader,
// into any application at the press of a function key.
#include <windows.h>

#include "platform/LibraryLoader.h"
#include "platform/Win32Text.h"
#include "ui/App.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  // Shortcuts with another start folder, the Run key and task schedulers
  // start the program in any folder, often the system folder.
  keyentry::MakeCurrentFolder(keyentry::ProgramFolder());
  keyentry::HardenLibrarySearch();
  keyentry::App app(instance);
  return app.Run(showCommand);
}
