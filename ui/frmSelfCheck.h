#pragma once
// The self-check window (自检): the program's state as status lines
// (core/SelfCheck.h), refreshed once a second; a typing test of each typing
// mode into a box of its own and the check of a key pressed there; a preview
// of what each template would type; and a button that copies a report.
// Opened from the main window's system menu, beside the other windows.
#include <windows.h>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/SelfCheck.h"
#include "platform/Handles.h"
#include "ui/Controls.h"
#include "ui/ModelessWindow.h"

namespace keyentry {

class frmSelfCheck final : public ModelessWindow {
 public:
  explicit frmSelfCheck(WindowHost& app);
  ~frmSelfCheck() override { DestroyNow(); }

 private:
  void CreateControls() override;
  void Load() override;
  HWND FirstFocus() const override { return box_; }
  void BroughtForward() override { Refresh(); }
  std::optional<LRESULT> OwnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void Closing() override;
  SelfCheckFacts GatherFacts() const;
  void Refresh();
  void RefreshPreview();
  void StartTest(std::size_t test);
  void CheckArrivals();
  void CheckPress(const std::wstring& box, std::uint64_t now);
  void ForgetPress();
  void CopyReport();

  HWND status_ = nullptr;
  HWND box_ = nullptr;
  std::array<HWND, 3> testButtons_{};
  std::array<HWND, 3> testResults_{};
  HWND press_ = nullptr;
  HWND templates_ = nullptr;
  HWND preview_ = nullptr;
  UniqueFont font_;
  std::vector<std::wstring> lines_;      // the status lines shown
  std::array<std::wstring, 3> results_;  // of the typing tests; empty: not run
  std::size_t runningTest_ = 0;          // while testCheck_ waits
  std::unique_ptr<ArrivalCheck> testCheck_;
  // The last press into the box (card data: wiped when done with).
  unsigned pressNumber_ = 0;
  std::wstring pressSent_;
  std::unique_ptr<ArrivalCheck> pressCheck_;
  std::wstring settled_;  // the box's text while nothing was being typed
  bool hadCard_ = false;
  std::vector<PreviewItem> previewItems_;
};

}  // namespace keyentry
