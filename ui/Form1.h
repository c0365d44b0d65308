#pragma once
// The main window: the card's fields and photo, the status line, the clock,
// and the read, key settings and exit buttons.
#include <windows.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "core/CardField.h"
#include "core/ReaderRequests.h"
#include "platform/FileChangeWatch.h"
#include "platform/Handles.h"
#include "platform/SharedFileWatch.h"
#include "platform/StartupShortcut.h"
#include "reader/CardRetention.h"
#include "reader/MainWindowView.h"
#include "reader/Reading.h"
#include "ui/Controls.h"
#include "ui/WindowHost.h"

namespace keyentry {

// Test seam (only with KEYENTRY_TEST_SEAMS=1 at start, as for the keyboard
// hook): this registered message sent to the main window tells what its
// system menu holds, since another process cannot read it. wParam -1: the
// number of items. wParam n, lParam 0: item n from the top as
// MAKELONG(atom, id), where atom is a new global atom holding its text (the
// caller deletes it); a separator answers 0. wParam n, lParam 1: the state of
// item n (MFS_CHECKED, MFS_GRAYED, ...). Without the variable it answers 0.
inline constexpr const wchar_t* kSystemMenuItemMessageName = L"KeyEntry.Test.SystemMenuItem";
// Test seam (likewise): this registered message sent to the main window with
// wParam = n (at least 100) makes the shared settings file be looked at
// every n ms instead of every 60 s, from now on; it answers 1. Without the
// variable it answers 0.
inline constexpr const wchar_t* kSharedCheckPeriodMessageName = L"KeyEntry.Test.SharedCheckPeriod";
// Test seam (likewise): this registered message sent to the main window
// answers how many answers of the reader (port searches and polls) the
// window has taken so far. Without the variable it answers 0.
inline constexpr const wchar_t* kReaderAnswersMessageName = L"KeyEntry.Test.ReaderAnswers";

class Form1 : public MainWindowView {
 public:
  explicit Form1(WindowHost& app);
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
  void ClearPhoto() override;
  void ShowCardWarning(const std::wstring& text, bool beep) override;
  Date Today() const override;

 private:
  template <typename T>
  friend LRESULT CALLBACK ForwardToOwner(HWND, UINT, WPARAM, LPARAM);
  void Attach(HWND hwnd) { hwnd_ = hwnd; }
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  // What HandleMessage hands on, by what the message does: the registered
  // messages of the test seams (nothing: not one of them), a click of a
  // button, a timer's tick, an item of the system menu, the window made
  // active or inactive, the session ending, the window destroyed.
  std::optional<LRESULT> TestSeamMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  void ButtonClicked(WPARAM wParam);
  void TimerTicked(WPARAM timer);
  LRESULT SystemMenuChosen(WPARAM wParam, LPARAM lParam);
  void Activated(WPARAM wParam);
  void SessionEnding(WPARAM wParam, LPARAM lParam);
  void Destroyed();
  void CreateControls();
  void Form_Load();
  void Form_Unload();
  void ComRead_Click();
  void ComSet_Click();
  void ComExit_Click();
  void Timer1_Timer();
  // The reader is asked without waiting: the toggle's port search and the
  // poll each send their request and take the answer later, in the order
  // that ReaderRequests gives.
  struct ReaderReply;
  void Carry(ReaderEvent event, std::uint32_t request = 0);
  void Do(const ReaderActions& actions);
  void BeginToggleNow();
  void Ask(ReaderAction what, std::uint32_t request);
  void ReaderAnswered(const ReaderReply& reply);
  // During the search: the status line names the port being tried.
  void SearchTrying(const std::wstring& port);
  void Timer2_Timer();
  // The program's items of the system menu.
  void AddSystemMenuItems();
  // KeyEntry.ini: editing it, and loading it again from the menu or when it
  // has changed on disk.
  void EditSettings();
  void SettingsFileChanged();
  void ReloadSettingsFromMenu();
  void LoadSettingsWhenFree();
  void LoadSettings();
  std::wstring SettingsPath() const;
  // Keeps what the file holds, just before it is loaded.
  void NoteSettingsFile();
  // The shared settings file: looked at while KeyEntry.ini names it, its
  // answers handed to the core when no load is under way.
  void FollowSharedFile();
  void TakeSharedAnswer();
  void CheckCardRetention();
  // 开机时自动运行: its check mark follows the shortcut in the Startup folder.
  void ShowStartAtLogon();
  void ToggleStartAtLogon();
  LRESULT SystemMenuItemForTest(WPARAM position, LPARAM what) const;
  // The photo box's right-click menu (ui/PhotoMenu.h) for a right click at
  // `at` (screen coordinates, as WM_CONTEXTMENU gives them); false: the
  // click was not on the photo box.
  bool PhotoBoxMenu(LPARAM at);
  // A photo folder {照片文件} could not write to since the last look: said on
  // the warning line (beside the card's warnings) until the next card.
  void ShowPhotoFolderTrouble();
  std::wstring photoFolderTrouble_;  // the warning of a photo folder that cannot be written
  // Wipes the photo's bytes and pixels and lets the bitmap go.
  void ForgetPhoto();
  void DrawItem(const DRAWITEMSTRUCT& item);
  void SetLabelText(HWND label, const std::wstring& text);
  void RememberFocus();
  void RestoreFocus();

  WindowHost& app_;
  HWND hwnd_ = nullptr;
  HWND captions_[kCardFieldCount] = {};
  HWND values_[kCardFieldCount] = {};
  HWND ImagPer_ = nullptr;
  HWND ComRead_ = nullptr;
  HWND ComSet_ = nullptr;
  HWND ComExit_ = nullptr;
  HWND LblInit_ = nullptr;
  HWND LblTime_ = nullptr;
  HWND warning_ = nullptr;               // the card's warning line
  HWND focusWhenDeactivated_ = nullptr;  // the control to give the focus back to
  UniqueFont songTi_;
  UniqueFont newSongTi_;
  UniqueBitmap photo_;
  void* photoBits_ = nullptr;  // the bitmap's pixels, and how many bytes of them are the photo's
  std::size_t photoBitsSize_ = 0;
  SIZE photoSize_{};
  SIZE photoBoxSize_{};     // the photo box before any photo
  std::string photoBytes_;  // the file the photo was made from
  bool unloaded_ = false;
  CardRetention retention_;
  std::unique_ptr<FileChangeWatch> settingsWatch_;
  // Settings (and SetKey.txt) are being loaded; their message box may be
  // open. A load asked for meanwhile waits until this one is over.
  bool loadingSettings_ = false;
  bool reloadAsked_ = false;                   // by the menu: load even an unchanged file
  std::optional<std::string> loadedSettings_;  // the file's bytes at the last load
  UINT systemMenuItemMessage_ = 0;             // the test seam, when switched on
  StartupShortcut startAtLogon_;
  std::unique_ptr<SharedFileWatch> sharedWatch_;
  DWORD sharedPeriodMs_ = SharedFileWatch::kDefaultPeriodMs;
  UINT sharedPeriodMessage_ = 0;  // the test seam, when switched on
  ReaderRequests requests_;
  bool readerTroubled_ = false;  // the status line tells of the reader's helper
  unsigned readerAnswers_ = 0;
  UINT readerAnswersMessage_ = 0;  // the test seam, when switched on
};

}  // namespace keyentry
