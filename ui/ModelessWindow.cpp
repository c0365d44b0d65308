#include "ui/ModelessWindow.h"

#include "ui/Controls.h"

namespace keyentry {

ModelessWindow::~ModelessWindow() { DestroyNow(); }

void ModelessWindow::DestroyNow() {
  if (hwnd_) ::DestroyWindow(hwnd_);
}

void ModelessWindow::ShowModeless() {
  if (!hwnd_) {
    if (!Create()) return;
    Load();
    ::ShowWindow(hwnd_, SW_SHOWNORMAL);
    ::SetForegroundWindow(hwnd_);
    ::SetFocus(FirstFocus());
    return;
  }
  BringToFront(hwnd_);
  BroughtForward();
}

void ModelessWindow::Close() {
  if (hwnd_) ::SendMessageW(hwnd_, WM_CLOSE, 0, 0);
}

bool ModelessWindow::Create() {
  app_.RegisterWindowClass<ModelessWindow>(look_.className, look_.background);
  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_DLGFRAME | WS_CLIPCHILDREN;
  hwnd_ =
      ::CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, look_.className, look_.caption,
                        style, 0, 0, 100, 100, app_.OwnerWindow(), nullptr, app_.Instance(), this);
  if (!hwnd_) return false;
  app_.WindowOpened(hwnd_);
  CreateControls();
  return true;
}

LRESULT ModelessWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (const std::optional<LRESULT> handled = OwnMessage(msg, wParam, lParam)) return *handled;
  switch (msg) {
    case WM_CTLCOLORSTATIC:
      return ButtonFaceColours(wParam);
    case WM_CLOSE:
      ::DestroyWindow(hwnd_);
      return 0;
    case WM_ENDSESSION:
      // Restart Manager closing the program: this window may be the last
      // one (the main window closed earlier), and the process must end.
      if (wParam && (lParam & ENDSESSION_CLOSEAPP)) ::DestroyWindow(hwnd_);
      return 0;
    case WM_DESTROY:
      Closing();
      app_.WindowDestroyed(hwnd_);
      return 0;
    default:
      return ::DefWindowProcW(hwnd_, msg, wParam, lParam);
  }
}

}  // namespace keyentry
