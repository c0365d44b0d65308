#pragma once
// The main window: the card's fields and photo, the status line, the clock,
// and the read, key settings and exit buttons.
#include <windows.h>

#include <string>

#include "core/CardField.h"
#include "platform/Handles.h"
#include "reader/MainWindowView.h"
#include "ui/Controls.h"

namespace keyentry {

class App;

class Form1 : public MainWindowView {
 public:
  explicit Form1(App& app);
  ~Form1() override;
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;

  // Creates the window, loads it (which starts reading) and shows it.
  bool Create(int showCommand);
  HWND Handle() const { return hwnd_; }

  // The reading logic's view of the window.
  std::wstring ReadButtonCaption() const override;
  void SetReadButtonCaption(const std::wstring& caption) override;
  void SetStatusText(const std::wstring& text) override;
  void SetPollTimerEnabled(bool enabled) override;
  void ShowCardField(int field, const std::wstring& text) override;
  void ShowPhoto(const std::wstring& path) override;

 private:
  template <typename T>
  friend LRESULT CALLBACK ForwardToOwner(HWND, UINT, WPARAM, LPARAM);
  void Attach(HWND hwnd) { hwnd_ = hwnd; }
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  void CreateControls();
  void Form_Load();
  void Form_Unload();
  void ComRead_Click();
  void ComSet_Click();
  void ComExit_Click();
  void Timer1_Timer();
  void Timer2_Timer();
  void DrawItem(const DRAWITEMSTRUCT& item);
  void SetLabelText(HWND label, const std::wstring& text);
  void RememberFocus();
  void RestoreFocus();

  App& app_;
  HWND hwnd_ = nullptr;
  HWND captions_[kCardFieldCount] = {};
  HWND values_[kCardFieldCount] = {};
  HWND ImagPer_ = nullptr;
  HWND ComRead_ = nullptr;
  HWND ComSet_ = nullptr;
  HWND ComExit_ = nullptr;
  HWND LblInit_ = nullptr;
  HWND LblTime_ = nullptr;
  HWND focusWhenDeactivated_ = nullptr;  // the control to give the focus back to
  UniqueFont songTi_;
  UniqueFont newSongTi_;
  UniqueBitmap photo_;
  SIZE photoSize_{};
  std::string photoBytes_;  // the file the photo was made from
  bool unloaded_ = false;
};

}  // namespace keyentry
