// KeyEntry: types the fields of an identity card, read by the card reader,
// into any application at the press of a function key.
#include <windows.h>

#include "platform/LibraryLoader.h"
#include "ui/App.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  keyentry::HardenLibrarySearch();
  keyentry::App app(instance);
  return app.Run(showCommand);
}
