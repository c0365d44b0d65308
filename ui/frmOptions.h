#pragma once
// The key settings window: one drop-down list per card field to choose the
// function key that types it. Apply puts the choices into effect at once;
// they are written to SetKey.txt when the program ends.
#include <windows.h>

#include "core/CardField.h"
#include "platform/Handles.h"
#include "ui/Controls.h"
#include "ui/ModelessWindow.h"

namespace keyentry {

class frmOptions final : public ModelessWindow {
 public:
  explicit frmOptions(WindowHost& app);
  ~frmOptions() override { DestroyNow(); }

 private:
  void CreateControls() override;
  void Load() override { Form_Load(); }
  HWND FirstFocus() const override { return combos_[0]; }
  std::optional<LRESULT> OwnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void Form_Load();
  void Command1_Click();
  void Command2_Click();

  HWND labels_[kCardFieldCount] = {};
  HWND combos_[kCardFieldCount] = {};
  HWND Command1_ = nullptr;
  HWND Command2_ = nullptr;
  UniqueFont songTi_;
};

}  // namespace keyentry
