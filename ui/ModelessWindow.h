#pragma once
// What the key settings window and the self-check window share: a dialog-like
// popup owned by the program's hidden owner window, made and loaded at its
// first showing and only brought forward later, closed by its close box, by
// Restart Manager and by the program, each message then going to the
// window's own part.
#include <windows.h>

#include <optional>

#include "ui/WindowHost.h"

namespace keyentry {

class ModelessWindow {
 public:
  ModelessWindow(const ModelessWindow&) = delete;
  ModelessWindow& operator=(const ModelessWindow&) = delete;

  // Makes, loads and shows the window, or only brings it forward when it is
  // open (keeping what the operator has picked or typed).
  void ShowModeless();
  // Closes the window, as its close box does, when it is open.
  void Close();
  HWND Handle() const { return hwnd_; }

 protected:
  struct Look {
    const wchar_t* className;
    const wchar_t* caption;
    HBRUSH background;
  };
  ModelessWindow(WindowHost& app, const Look& look) : app_(app), look_(look) {}
  // A window still open is destroyed here, when its own part has gone
  // already: a class whose Closing() matters calls DestroyNow() in its own
  // destructor.
  virtual ~ModelessWindow();
  void DestroyNow();

  // The controls, made once the window exists.
  virtual void CreateControls() = 0;
  // After the window is made, before it shows: its size and content.
  virtual void Load() = 0;
  // The control that has the focus when the window first shows.
  virtual HWND FirstFocus() const = 0;
  // The open window shown again.
  virtual void BroughtForward() {}
  // The window's own messages; nothing: the shared handling below.
  virtual std::optional<LRESULT> OwnMessage(UINT, WPARAM, LPARAM) { return std::nullopt; }
  // At WM_DESTROY, while the controls still exist.
  virtual void Closing() {}

  WindowHost& app_;
  HWND hwnd_ = nullptr;

 private:
  template <typename T>
  friend LRESULT CALLBACK ForwardToOwner(HWND, UINT, WPARAM, LPARAM);
  void Attach(HWND hwnd) { hwnd_ = hwnd; }
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  bool Create();

  Look look_;
};

}  // namespace keyentry
