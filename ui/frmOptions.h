#pragma once
// The key settings window: one drop-down list per card field to choose the
// function key that types it. Apply puts the choices into effect at once;
// they are written to SetKey.txt when the program ends.
#include <windows.h>

#include "core/CardField.h"
#include "platform/Handles.h"
#include "ui/Controls.h"
#include "ui/WindowHost.h"

namespace keyentry {

class frmOptions {
 public:
  explicit frmOptions(WindowHost& app);
  ~frmOptions();
  frmOptions(const frmOptions&) = delete;
  frmOptions& operator=(const frmOptions&) = delete;

  // Loads and shows the window, or only brings it forward when it is open
  // (keeping what the operator has picked or typed).
  void ShowModeless();
  HWND Handle() const { return hwnd_; }

 private:
  template <typename T>
  friend LRESULT CALLBACK ForwardToOwner(HWND, UINT, WPARAM, LPARAM);
  void Attach(HWND hwnd) { hwnd_ = hwnd; }
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  bool Create();
  void Form_Load();
  void Command1_Click();
  void Command2_Click();

  WindowHost& app_;
  HWND hwnd_ = nullptr;
  HWND labels_[kCardFieldCount] = {};
  HWND combos_[kCardFieldCount] = {};
  HWND Command1_ = nullptr;
  HWND Command2_ = nullptr;
  UniqueFont songTi_;
};

}  // namespace keyentry
