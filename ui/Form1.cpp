#include "ui/Form1.h"

#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "core/CardChecks.h"
#include "core/CardField.h"
#include "core/PathNames.h"
#include "core/SettingsFile.h"
#include "core/TextTools.h"
#include "core/Texts.h"
#include "core/Wipe.h"
#include "platform/HookTyping.h"
#include "platform/Notepad.h"
#include "platform/PhotoStore.h"
#include "platform/TypingThread.h"
#include "platform/Win32FileStore.h"
#include "platform/Win32Text.h"
#include "platform/WindowMessages.h"
#include "reader/Reading.h"
#include "ui/Controls.h"
#include "ui/InstallJobs.h"
#include "ui/PhotoMenu.h"
#include "ui/layout/BitmapFile.h"
#include "ui/layout/Clock.h"
#include "ui/layout/Layout.h"
#include "ui/res/resource.h"

namespace keyentry {

namespace {

constexpr const wchar_t* kClassName = L"KeyEntryMain";
constexpr int kClientWidth = 7875;
constexpr int kClientHeight = 8520;
constexpr UINT_PTR kTimer1 = 1;  // card poll
constexpr UINT_PTR kTimer2 = 2;  // clock
constexpr UINT_PTR kTimerLoadSettings = 3;
constexpr UINT_PTR kTimerSharedAnswer = 4;
// The shortest period the test seam may set.
constexpr DWORD kMinSharedPeriodMs = 100;
// An editor writes a file in several steps: the file is read once it has
// been quiet this long.
constexpr UINT kSettingsQuietMs = 300;
constexpr COLORREF kClockBackground = RGB(0xE0, 0xE0, 0xE0);
// The warning line: dark red on light yellow, in the gap between the ID
// number and the issuing authority, across the window.
constexpr COLORREF kWarningText = RGB(0xC0, 0x00, 0x00);
constexpr COLORREF kWarningBackground = RGB(0xFF, 0xF4, 0xC0);
constexpr TwipRect kWarningRect{120, 5190, 7635, 315};

static_assert(IDC_CAPTION_VALIDITY == IDC_CAPTION_NAME + kCardFieldCount - 1,
              "caption ids follow one another in field order");
static_assert(IDC_VALUE_VALIDITY == IDC_VALUE_NAME + kCardFieldCount - 1,
              "value ids follow one another in field order");

constexpr TwipRect kCaptionRects[kCardFieldCount] = {
    {120, 240, 1215, 375},  {120, 840, 1215, 375},  {120, 1560, 1215, 375}, {120, 2280, 1215, 375},
    {120, 3120, 1215, 375}, {120, 4680, 1215, 375}, {120, 5520, 1215, 375}, {120, 6360, 1215, 375},
};
constexpr TwipRect kValueRects[kCardFieldCount] = {
    {1560, 240, 2535, 495},  {1560, 840, 2535, 495},   {1560, 1560, 2535, 495},
    {1560, 2280, 2535, 495}, {1560, 3000, 5775, 1335}, {1560, 4560, 5775, 615},
    {1560, 5520, 5775, 615}, {1560, 6360, 5775, 495},
};
constexpr TwipRect kImagPerRect{4680, 240, 2250, 2370};
constexpr TwipRect kComReadRect{480, 7080, 1695, 615};
constexpr TwipRect kComSetRect{3000, 7080, 1695, 615};
constexpr TwipRect kComExitRect{5520, 7080, 1695, 615};
constexpr TwipRect kLblInitRect{120, 7920, 4575, 495};
constexpr TwipRect kLblTimeRect{4800, 7920, 2895, 495};

// A copy of the photo file for the typing tables, wiped when the last
// table lets it go.
std::shared_ptr<const std::string> SharedPhotoFile(const std::string& bytes) {
  return std::shared_ptr<const std::string>(new std::string(bytes), [](const std::string* p) {
    WipeText(*const_cast<std::string*>(p));
    delete p;
  });
}

// The photo as a bitmap of our own, from the file's bytes; nothing when the
// file is no bitmap that can be shown. bits: where its pixels lie, bitsSize
// bytes of them copied from the file.
UniqueBitmap LoadPhoto(const std::string& bytes, SIZE& size, void*& bits, std::size_t& bitsSize) {
  const auto layout = CheckBitmapFile(bytes);
  if (!layout) return UniqueBitmap();
  const auto* info = reinterpret_cast<const BITMAPINFO*>(bytes.data() + layout->infoOffset);
  bits = nullptr;
  UniqueBitmap bitmap(::CreateDIBSection(nullptr, info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap || !bits) return UniqueBitmap();
  std::memcpy(bits, bytes.data() + layout->bitsOffset, layout->bitsSize);
  bitsSize = layout->bitsSize;
  size = SIZE{layout->width, layout->height < 0 ? -layout->height : layout->height};
  return bitmap;
}

// The program's items of the system menu, below a separator, in this order.
struct SystemMenuItem {
  UINT id;
  const wchar_t* text;
};
constexpr SystemMenuItem kSystemMenuItems[] = {
    {IDM_EDIT_SETTINGS, kMenuEditSettings},
    {IDM_RELOAD_SETTINGS, kMenuReloadSettings},
    {IDM_SELF_CHECK, kMenuSelfCheck},
    {IDM_START_AT_LOGON, kMenuStartAtLogon},
};

bool FileMissing(const std::wstring& path) {
  if (::GetFileAttributesW(ExtendedLengthPath(path).c_str()) != INVALID_FILE_ATTRIBUTES) {
    return false;
  }
  const DWORD error = ::GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Whether another program holds the file so that it cannot be read now (an
// editor in the middle of saving): reading it then would look like a missing
// file and drop every setting.
bool HeldByAnother(const std::wstring& path) {
  const UniqueFile file(::CreateFileW(ExtendedLengthPath(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file) return false;
  const DWORD error = ::GetLastError();
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

// Marks a load of the settings (whose message box may be open) as under way
// for its scope.
class LoadingSettings {
 public:
  explicit LoadingSettings(bool& flag) : flag_(flag) { flag_ = true; }
  ~LoadingSettings() { flag_ = false; }
  LoadingSettings(const LoadingSettings&) = delete;
  LoadingSettings& operator=(const LoadingSettings&) = delete;

 private:
  bool& flag_;
};

}  // namespace

Form1::Form1(WindowHost& app) : app_(app), startAtLogon_(ProgramPath(), app.Folder()) {
  wchar_t seams[4] = {};
  if (::GetEnvironmentVariableW(kTestSeamsVariable, seams, 4) == 1 && seams[0] == L'1') {
    systemMenuItemMessage_ = ::RegisterWindowMessageW(kSystemMenuItemMessageName);
    sharedPeriodMessage_ = ::RegisterWindowMessageW(kSharedCheckPeriodMessageName);
    readerAnswersMessage_ = ::RegisterWindowMessageW(kReaderAnswersMessageName);
  }
}

Form1::~Form1() {
  if (hwnd_) ::DestroyWindow(hwnd_);
}

bool Form1::Create(int showCommand) {
  app_.RegisterWindowClass<Form1>(kClassName, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));

  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  hwnd_ = ::CreateWindowExW(WS_EX_APPWINDOW, kClassName, kMainWindowCaption, style, 0, 0, 100, 100,
                            nullptr, nullptr, app_.Instance(), this);
  if (!hwnd_) return false;
  app_.WindowOpened(hwnd_);
  CreateControls();
  AddSystemMenuItems();
  // Watched from before the first load, so that no change is missed.
  settingsWatch_ = std::make_unique<FileChangeWatch>(app_.Folder(), kSettingsFileName, hwnd_,
                                                     kMsgSettingsFileChanged);
  ::SetTimer(hwnd_, kTimer2, 1000, nullptr);
  Form_Load();
  ::ShowWindow(hwnd_, showCommand == SW_HIDE ? SW_SHOWNORMAL : showCommand);
  ::UpdateWindow(hwnd_);
  ::SetForegroundWindow(hwnd_);
  ::SetFocus(ComRead_);
  return true;
}

void Form1::CreateControls() {
  const int dpi = app_.Dpi();
  songTi_ = CreateChineseFont(L"宋体", 12, dpi);
  newSongTi_ = CreateChineseFont(L"新宋体", 12, dpi);
  for (int k = 0; k < kCardFieldCount; ++k) {
    captions_[k] = CreateChild(hwnd_, L"STATIC", FieldCaption(k), SS_LEFT | SS_NOPREFIX,
                               kCaptionRects[k], IDC_CAPTION_NAME + k, songTi_.get(), dpi);
  }
  for (int k = 0; k < kCardFieldCount; ++k) {
    values_[k] = CreateChild(hwnd_, L"STATIC", L"", SS_OWNERDRAW | SS_NOPREFIX | WS_BORDER,
                             kValueRects[k], IDC_VALUE_NAME + k, songTi_.get(), dpi);
  }
  ImagPer_ = CreateChild(hwnd_, L"STATIC", L"", SS_OWNERDRAW | WS_BORDER, kImagPerRect, IDC_PHOTO,
                         nullptr, dpi);
  RECT box{};
  ::GetWindowRect(ImagPer_, &box);
  photoBoxSize_ = SIZE{box.right - box.left, box.bottom - box.top};
  const DWORD button = BS_PUSHBUTTON | WS_TABSTOP;
  ComRead_ = CreateChild(hwnd_, L"BUTTON", kCaptionStartReading, button | WS_GROUP, kComReadRect,
                         IDC_READ, newSongTi_.get(), dpi);
  ComSet_ = CreateChild(hwnd_, L"BUTTON", kCaptionKeySettings, button, kComSetRect,
                        IDC_KEY_SETTINGS, newSongTi_.get(), dpi);
  ComExit_ = CreateChild(hwnd_, L"BUTTON", kCaptionExit, button, kComExitRect, IDC_EXIT,
                         newSongTi_.get(), dpi);
  LblInit_ = CreateChild(hwnd_, L"STATIC", kStatusInitial, SS_OWNERDRAW | SS_NOPREFIX | WS_BORDER,
                         kLblInitRect, IDC_STATUS, newSongTi_.get(), dpi);
  LblTime_ = CreateChild(hwnd_, L"STATIC", kClockInitial, SS_OWNERDRAW | SS_NOPREFIX | WS_BORDER,
                         kLblTimeRect, IDC_CLOCK, newSongTi_.get(), dpi);
  warning_ = CreateChild(hwnd_, L"STATIC", L"", SS_OWNERDRAW | SS_NOPREFIX, kWarningRect,
                         IDC_CARD_WARNING, songTi_.get(), dpi);
  ::ShowWindow(warning_, SW_HIDE);
}

LRESULT Form1::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (const std::optional<LRESULT> answer = TestSeamMessage(msg, wParam, lParam)) return *answer;
  switch (msg) {
    case WM_COMMAND:
      ButtonClicked(wParam);
      return 0;
    case WM_TIMER:
      TimerTicked(wParam);
      return 0;
    case WM_SYSCOMMAND:
      return SystemMenuChosen(wParam, lParam);
    case WM_INITMENU:
      // The system menu is about to show (the window has no other menu).
      ShowStartAtLogon();
      return ::DefWindowProcW(hwnd_, msg, wParam, lParam);
    case WM_INITMENUPOPUP:
      if (HIWORD(lParam)) ShowStartAtLogon();
      return ::DefWindowProcW(hwnd_, msg, wParam, lParam);
    case kMsgSettingsFileChanged:
      SettingsFileChanged();
      return 0;
    case WM_ACTIVATEAPP:
      // Another program comes to the front: the self-check names it.
      if (!wParam) app_.NoteForegroundProgram();
      return 0;
    case kMsgSharedFileAnswer:
      TakeSharedAnswer();
      return 0;
    case WM_ACTIVATE:
      Activated(wParam);
      return 0;
    case WM_SETFOCUS:
      RestoreFocus();
      return 0;
    case WM_CTLCOLORSTATIC:
      return ButtonFaceColours(wParam);
    case WM_DRAWITEM:
      DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_CLOSE:
      Form_Unload();
      ::DestroyWindow(hwnd_);
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      SessionEnding(wParam, lParam);
      return 0;
    case WM_CONTEXTMENU:
      if (PhotoBoxMenu(lParam)) return 0;
      return ::DefWindowProcW(hwnd_, msg, wParam, lParam);
    case WM_DESTROY:
      Destroyed();
      return 0;
    default:
      return ::DefWindowProcW(hwnd_, msg, wParam, lParam);
  }
}

std::optional<LRESULT> Form1::TestSeamMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (systemMenuItemMessage_ != 0 && msg == systemMenuItemMessage_) {
    return SystemMenuItemForTest(wParam, lParam);
  }
  if (readerAnswersMessage_ != 0 && msg == readerAnswersMessage_) {
    return static_cast<LRESULT>(readerAnswers_);
  }
  if (sharedPeriodMessage_ != 0 && msg == sharedPeriodMessage_) {
    sharedPeriodMs_ = wParam < kMinSharedPeriodMs ? kMinSharedPeriodMs : static_cast<DWORD>(wParam);
    if (sharedWatch_) sharedWatch_->SetPeriod(sharedPeriodMs_);
    return 1;
  }
  return std::nullopt;
}

void Form1::ButtonClicked(WPARAM wParam) {
  if (HIWORD(wParam) != BN_CLICKED) return;
  switch (LOWORD(wParam)) {
    case IDC_READ:
      ComRead_Click();
      return;
    case IDC_KEY_SETTINGS:
      ComSet_Click();
      return;
    case IDC_EXIT:
      ComExit_Click();
      return;
    default:
      return;
  }
}

void Form1::TimerTicked(WPARAM timer) {
  if (timer == kTimer1) Timer1_Timer();
  if (timer == kTimer2) Timer2_Timer();
  if (timer == kTimerLoadSettings) LoadSettingsWhenFree();
  if (timer == kTimerSharedAnswer) TakeSharedAnswer();
}

LRESULT Form1::SystemMenuChosen(WPARAM wParam, LPARAM lParam) {
  switch (wParam & 0xFFF0) {
    case IDM_EDIT_SETTINGS:
      EditSettings();
      return 0;
    case IDM_RELOAD_SETTINGS:
      ReloadSettingsFromMenu();
      return 0;
    case IDM_START_AT_LOGON:
      ToggleStartAtLogon();
      return 0;
    case IDM_SELF_CHECK:
      app_.ShowSelfCheck();
      return 0;
    default:
      return ::DefWindowProcW(hwnd_, WM_SYSCOMMAND, wParam, lParam);
  }
}

void Form1::Activated(WPARAM wParam) {
  // As a dialog does: the focused control is kept while another window
  // is active, instead of the default move of the focus to the window.
  if (LOWORD(wParam) == WA_INACTIVE) {
    RememberFocus();
  } else if (!HIWORD(wParam)) {
    RestoreFocus();
  }
}

void Form1::SessionEnding(WPARAM wParam, LPARAM lParam) {
  if (wParam && (lParam & ENDSESSION_CLOSEAPP)) {
    // An installer or Windows Update asks through Restart Manager, and
    // waits for the process to end: close as the exit button does, the
    // key settings window and the self-check window too.
    app_.CloseOptions();
    app_.CloseSelfCheck();
    ::SendMessageW(hwnd_, WM_CLOSE, 0, 0);
  } else if (wParam) {
    // Windows is ending the session and ends the process itself.
    Form_Unload();
  }
}

void Form1::Destroyed() {
  ::KillTimer(hwnd_, kTimer1);
  ::KillTimer(hwnd_, kTimer2);
  ::KillTimer(hwnd_, kTimerLoadSettings);
  ::KillTimer(hwnd_, kTimerSharedAnswer);
  settingsWatch_.reset();
  sharedWatch_.reset();
  ForgetPhoto();
  app_.WindowDestroyed(hwnd_);
}

void Form1::Form_Load() {
  SizeAndCentre(hwnd_, kClientWidth, kClientHeight, app_.Dpi());
  Carry(ReaderEvent::kToggleClicked);
}

void Form1::Form_Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  Carry(ReaderEvent::kExit);
  ::KillTimer(hwnd_, kTimer1);
  ::KillTimer(hwnd_, kTimerLoadSettings);
  ::KillTimer(hwnd_, kTimerSharedAnswer);
  settingsWatch_.reset();
  sharedWatch_.reset();
  // The keys are saved and the hook removed first: a helper that hangs in
  // the reader's driver must not keep SetKey.txt from being written.
  app_.maths().SaveAndUnhook();
  // KLV_CloseComm with a short deadline; a helper that hangs is ended.
  app_.Reader().Shutdown();
  ForgetCardAtExit(app_.CardReading(), app_.maths());
  ForgetPhoto();
  // The typing has stopped with the hook: no photo file comes after this.
  PhotoStore::Instance().DeleteAll();
}

void Form1::ComRead_Click() { Carry(ReaderEvent::kToggleClicked); }

void Form1::Carry(ReaderEvent event, std::uint32_t request) { Do(requests_.On(event, request)); }

void Form1::Do(const ReaderActions& actions) {
  for (const ReaderAction action : actions.list) {
    switch (action) {
      case ReaderAction::kStopPollTimer:
        ::KillTimer(hwnd_, kTimer1);
        break;
      case ReaderAction::kStartPollTimer:
        ::SetTimer(hwnd_, kTimer1, kPollPeriodMs, nullptr);
        break;
      case ReaderAction::kSubmitSearch:
      case ReaderAction::kSubmitPoll:
        Ask(action, actions.request);
        break;
      case ReaderAction::kBeginToggle:
        BeginToggleNow();
        break;
      case ReaderAction::kTakeAnswer:
      case ReaderAction::kDropAnswer:
        break;  // for the caller, which holds the answer
    }
  }
}

void Form1::BeginToggleNow() {
  {
    const LoadingSettings loading(loadingSettings_);
    NoteSettingsFile();
    BeginToggle(app_.maths());
    ApplyPrivacySettings(app_.CardReading(), app_.maths(), *this);
    FollowSharedFile();
  }
  // Closed while a message box of the settings was open: the exit has
  // told the requests already.
  if (unloaded_) return;
  Carry(ReaderEvent::kToggleBegun);
}

void Form1::SearchTrying(const std::wstring& port) {
  if (unloaded_) return;
  SetStatusText(kStatusSearchingPort + port + kStatusSearchingEnd);
}

// A request and, once the reader has run it, its answer.
struct Form1::ReaderReply {
  ReaderAction what = ReaderAction::kSubmitPoll;
  std::uint32_t request = 0;
  PortSearchResult found;
  PollAnswer poll;
};

void Form1::Ask(ReaderAction what, std::uint32_t request) {
  if (what == ReaderAction::kSubmitSearch) SetStatusText(kStatusSearching);
  auto reply = std::make_shared<ReaderReply>();
  reply->what = what;
  reply->request = request;
  ReaderService& service = app_.Reader();
  service.Submit(
      [reply, &service, this](ReaderLibrary& reader) {
        if (reply->what == ReaderAction::kSubmitSearch) {
          reply->found = SearchReaderPorts(reader, [&service, this](const std::wstring& port) {
            service.Tell([this, port] { SearchTrying(port); });
          });
        } else {
          reply->poll = CallReaderForPoll(reader, [] { return ::GetTickCount64(); });
        }
      },
      [this, reply] { ReaderAnswered(*reply); });
}

void Form1::ReaderAnswered(const ReaderReply& reply) {
  const bool search = reply.what == ReaderAction::kSubmitSearch;
  const ReaderActions actions = requests_.On(
      search ? ReaderEvent::kSearchAnswered : ReaderEvent::kPollAnswered, reply.request);
  if (unloaded_ || !actions.Has(ReaderAction::kTakeAnswer)) {
    Do(actions);
    return;
  }
  ++readerAnswers_;
  if (search) {
    readerTroubled_ = false;
    FinishToggle(app_.maths(), *this, reply.found);
  } else {
    if (TakePollAnswer(app_.CardReading(), app_.maths(), *this, reply.poll)) {
      retention_.CardRead(::GetTickCount64());
    }
    readerTroubled_ = ShowReaderTrouble(app_.maths(), *this, reply.poll.trouble, readerTroubled_);
    CheckCardRetention();
  }
  Carry(ReaderEvent::kAnswerTaken);
}

void Form1::ComSet_Click() { app_.ShowOptions(); }

void Form1::ComExit_Click() { ::SendMessageW(hwnd_, WM_CLOSE, 0, 0); }

void Form1::Timer1_Timer() { Carry(ReaderEvent::kPollTick); }

void Form1::Timer2_Timer() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  wchar_t separator[8] = L":";
  if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIME, separator, 8) <= 0)
    lstrcpynW(separator, L":", 8);
  SetLabelText(LblTime_,
               FormatClock(now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, separator));
  // Also while reading is off and the poll timer stands still.
  CheckCardRetention();
  ShowPhotoFolderTrouble();
  app_.NoteForegroundProgram();
}

void Form1::CheckCardRetention() {
  ClearCardWhenDue(retention_, app_.maths(), *this, ::GetTickCount64());
}

void Form1::AddSystemMenuItems() {
  HMENU menu = ::GetSystemMenu(hwnd_, FALSE);
  if (!menu) return;
  ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  for (const SystemMenuItem& item : kSystemMenuItems) {
    ::AppendMenuW(menu, MF_STRING, item.id, item.text);
  }
  ShowStartAtLogon();
}

void Form1::ShowStartAtLogon() {
  // The installation's shortcut for all users shows in the item's text.
  const bool installed = startAtLogon_.InstalledForAllUsers();
  const bool on = installed || startAtLogon_.StartsThisProgram();
  ::ModifyMenuW(::GetSystemMenu(hwnd_, FALSE), IDM_START_AT_LOGON,
                MF_BYCOMMAND | MF_STRING | (on ? MF_CHECKED : MF_UNCHECKED), IDM_START_AT_LOGON,
                installed ? kMenuStartAtLogonByInstaller : kMenuStartAtLogon);
}

void Form1::ToggleStartAtLogon() {
  // The installation's shortcut is an administrator's to change.
  if (startAtLogon_.InstalledForAllUsers()) {
    app_.Messages().ShowMessage(
        Substitute(kMsgStartAtLogonByInstaller, {startAtLogon_.AllUsersPath()}));
    ShowStartAtLogon();
    return;
  }
  // As the shortcut is now, whatever the mark shows: another copy's shortcut
  // is replaced, and only this program's is deleted.
  if (startAtLogon_.StartsThisProgram()) {
    if (!startAtLogon_.Remove()) {
      app_.Messages().ShowMessage(Substitute(kMsgStartAtLogonOffFailed, {startAtLogon_.Path()}));
    }
  } else if (!startAtLogon_.Create() || !startAtLogon_.StartsThisProgram()) {
    app_.Messages().ShowMessage(Substitute(kMsgStartAtLogonOnFailed, {startAtLogon_.Path()}));
  }
  ShowStartAtLogon();
}

LRESULT Form1::SystemMenuItemForTest(WPARAM position, LPARAM what) const {
  HMENU menu = ::GetSystemMenu(hwnd_, FALSE);
  const int count = ::GetMenuItemCount(menu);
  if (position == static_cast<WPARAM>(-1)) return count;
  if (count < 0 || position >= static_cast<WPARAM>(count)) return 0;
  wchar_t text[256] = {};
  MENUITEMINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STRING | MIIM_STATE;
  info.dwTypeData = text;
  info.cch = 256;
  if (!::GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info)) return 0;
  if (what == 1) return static_cast<LRESULT>(info.fState);
  if (info.fType & MFT_SEPARATOR) return 0;
  const ATOM atom = text[0] ? ::GlobalAddAtomW(text) : 0;
  return static_cast<LRESULT>(MAKELONG(atom, info.wID));
}

void Form1::EditSettings() {
  const std::wstring path = PathInFolder(app_.Folder(), kSettingsFileName);
  if (FileMissing(path)) {
    // The commented example changes nothing until the operator edits it.
    const std::string example = SettingsExample(app_.Instance());
    if (example.empty() || !app_.Files().Replace(path, example)) {
      app_.Messages().ShowMessage(Substitute(kMsgSettingsCreateFailed, {path}));
      return;
    }
  }
  if (!OpenInNotepad(path)) app_.Messages().ShowMessage(Substitute(kMsgNotepadFailed, {path}));
}

std::wstring Form1::SettingsPath() const { return PathInFolder(app_.Folder(), kSettingsFileName); }

void Form1::NoteSettingsFile() { loadedSettings_ = app_.Files().ReadAll(SettingsPath()); }

void Form1::SettingsFileChanged() {
  if (settingsWatch_) settingsWatch_->Acknowledge();
  // Each new change starts the quiet time again.
  ::SetTimer(hwnd_, kTimerLoadSettings, kSettingsQuietMs, nullptr);
}

void Form1::ReloadSettingsFromMenu() {
  reloadAsked_ = true;
  LoadSettingsWhenFree();
}

void Form1::LoadSettingsWhenFree() {
  // Tried again a little later while another load's message box is open,
  // or while an editor holds the file.
  if (loadingSettings_ || HeldByAnother(SettingsPath())) {
    ::SetTimer(hwnd_, kTimerLoadSettings, kSettingsQuietMs, nullptr);
    return;
  }
  ::KillTimer(hwnd_, kTimerLoadSettings);
  const bool asked = std::exchange(reloadAsked_, false);
  // A change that a load has taken already (the menu's, or one under way
  // when the change came) is not loaded, and reported, twice.
  if (!asked && app_.Files().ReadAll(SettingsPath()) == loadedSettings_) return;
  LoadSettings();
}

void Form1::LoadSettings() {
  if (unloaded_) return;
  const LoadingSettings loading(loadingSettings_);
  NoteSettingsFile();
  app_.maths().ReloadSettings();
  ApplyPrivacySettings(app_.CardReading(), app_.maths(), *this);
  FollowSharedFile();
}

void Form1::FollowSharedFile() {
  const std::wstring& path = app_.maths().SharedPath();
  if (unloaded_ || path.empty()) {
    sharedWatch_.reset();
  } else if (!sharedWatch_ || sharedWatch_->Path() != path) {
    sharedWatch_ =
        std::make_unique<SharedFileWatch>(path, hwnd_, kMsgSharedFileAnswer, sharedPeriodMs_);
  }
}

void Form1::TakeSharedAnswer() {
  if (unloaded_ || !sharedWatch_) return;
  // Taken a little later while a load's message box is open.
  if (loadingSettings_) {
    ::SetTimer(hwnd_, kTimerSharedAnswer, kSettingsQuietMs, nullptr);
    return;
  }
  ::KillTimer(hwnd_, kTimerSharedAnswer);
  const std::optional<SharedFileAnswer> answer = sharedWatch_->Take();
  if (!answer) return;
  const LoadingSettings loading(loadingSettings_);
  const SettingsContent* before = &app_.maths().Settings();
  app_.maths().SharedFileAnswered(*answer, UnixTimeNow());
  if (&app_.maths().Settings() != before) {
    ApplyPrivacySettings(app_.CardReading(), app_.maths(), *this);
  }
}

void Form1::DrawItem(const DRAWITEMSTRUCT& item) {
  if (item.hwndItem == ImagPer_) {
    ::FillRect(item.hDC, &item.rcItem, ::GetSysColorBrush(COLOR_BTNFACE));
    if (!photo_) return;
    const UniqueMemoryDC memory(::CreateCompatibleDC(item.hDC));
    if (!memory) return;
    const SelectedObject selectedPhoto(memory.get(), photo_.get());
    ::BitBlt(item.hDC, 0, 0, photoSize_.cx, photoSize_.cy, memory.get(), 0, 0, SRCCOPY);
    return;
  }
  if (item.hwndItem == warning_) {
    const UniqueBrush background(::CreateSolidBrush(kWarningBackground));
    ::FillRect(item.hDC, &item.rcItem, background.get());
    std::wstring text = WindowText(warning_);
    RECT r = item.rcItem;
    r.left += 4;
    ::SetBkMode(item.hDC, TRANSPARENT);
    ::SetTextColor(item.hDC, kWarningText);
    ::DrawTextW(item.hDC, text.c_str(), static_cast<int>(text.size()), &r,
                DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
    return;
  }
  const bool clock = item.hwndItem == LblTime_;
  DrawLabel(item, clock ? kClockBackground : ::GetSysColor(COLOR_BTNFACE), clock);
}

void Form1::RememberFocus() {
  HWND focus = ::GetFocus();
  if (focus && ::IsChild(hwnd_, focus)) focusWhenDeactivated_ = focus;
}

void Form1::RestoreFocus() {
  HWND focus = ::GetFocus();
  // A control of ours that has the focus already keeps it: taking it away
  // from a button that is being pressed would cancel the press.
  if (focus && ::IsChild(hwnd_, focus)) return;
  HWND target = focusWhenDeactivated_;
  if (!target || !::IsChild(hwnd_, target) || !::IsWindowVisible(target) ||
      !::IsWindowEnabled(target)) {
    target = ComRead_;
  }
  ::SetFocus(target);
}

void Form1::SetLabelText(HWND label, const std::wstring& text) {
  std::wstring shown = WindowText(label);
  const bool same = shown == text;
  WipeText(shown);   // a card value, read back for the comparison
  if (same) return;  // the same card again: nothing to redraw
  ::SetWindowTextW(label, text.c_str());
  ::InvalidateRect(label, nullptr, TRUE);
}

std::wstring Form1::ReadButtonCaption() const { return WindowText(ComRead_); }

void Form1::SetReadButtonCaption(const std::wstring& caption) {
  ::SetWindowTextW(ComRead_, caption.c_str());
}

void Form1::SetStatusText(const std::wstring& text) { SetLabelText(LblInit_, text); }

void Form1::SetPollTimerEnabled(bool enabled) {
  // The toggle's outcome; the requests decide when the timer runs.
  Carry(enabled ? ReaderEvent::kPollingWanted : ReaderEvent::kPollingStopped);
}

void Form1::ShowCardField(int field, const std::wstring& text) {
  if (field < 0 || field >= kCardFieldCount) return;
  SetLabelText(values_[field], text);
}

void Form1::ShowPhoto(const std::wstring& path) {
  auto bytes = app_.Files().ReadPrefix(path, kMaxPhotoFileBytes);
  // A card without a photo of its own never shows the one of the card before.
  if (!bytes) return ClearPhoto();
  if (photo_ && *bytes == photoBytes_) {  // the same photo again
    WipeText(*bytes);
    app_.maths().SetPhoto(SharedPhotoFile(photoBytes_));
    app_.maths().PublishHookTable();
    ::UpdateWindow(hwnd_);
    return;
  }
  SIZE size{};
  void* bits = nullptr;
  std::size_t bitsSize = 0;
  UniqueBitmap loaded = LoadPhoto(*bytes, size, bits, bitsSize);
  if (!loaded) {
    WipeText(*bytes);
    return ClearPhoto();
  }
  ForgetPhoto();
  photo_ = std::move(loaded);
  photoBits_ = bits;
  photoBitsSize_ = bitsSize;
  photoSize_ = size;
  photoBytes_ = std::move(*bytes);
  app_.maths().SetPhoto(SharedPhotoFile(photoBytes_));
  app_.maths().PublishHookTable();
  RECT r{0, 0, photoSize_.cx, photoSize_.cy};
  ::AdjustWindowRectEx(&r, static_cast<DWORD>(::GetWindowLongPtrW(ImagPer_, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(::GetWindowLongPtrW(ImagPer_, GWL_EXSTYLE)));
  RECT before{};
  ::GetWindowRect(ImagPer_, &before);
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  if (width != before.right - before.left || height != before.bottom - before.top) {
    // Also repaints what a smaller photo uncovers.
    ::SetWindowPos(ImagPer_, nullptr, 0, 0, width, height,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ::InvalidateRect(ImagPer_, nullptr, FALSE);
  ::UpdateWindow(hwnd_);
}

void Form1::ShowCardWarning(const std::wstring& checks, bool beep) {
  // The photo folder's trouble stays beside the card's warnings, read after
  // read, until a photo file has been written again.
  std::wstring text = checks;
  if (!photoFolderTrouble_.empty()) {
    if (!text.empty()) text += L"；";
    text += photoFolderTrouble_;
  }
  SetLabelText(warning_, text);
  ::ShowWindow(warning_, text.empty() ? SW_HIDE : SW_SHOWNA);
  // On the interface thread, never in the keyboard hook.
  if (beep) WarningBeep();
}

Date Form1::Today() const { return LocalToday(); }

void Form1::ShowPhotoFolderTrouble() {
  const std::optional<std::wstring> folder = PhotoStore::Instance().FolderFailure();
  const std::wstring trouble = folder ? Substitute(kPhotoFolderUnwritable, {*folder}) : L"";
  if (trouble == photoFolderTrouble_) return;
  photoFolderTrouble_ = trouble;
  ShowCardWarning(WarningText(app_.maths().CardChecks()), false);  // the typing has beeped
}

bool Form1::PhotoBoxMenu(LPARAM at) {
  RECT box{};
  ::GetWindowRect(ImagPer_, &box);
  POINT point{static_cast<short>(LOWORD(at)), static_cast<short>(HIWORD(at))};
  if (point.x == -1 && point.y == -1) return false;  // from the keyboard: not the photo's
  if (!::PtInRect(&box, point)) return false;
  PhotoMenuContext context;
  context.photo = photo_ ? &photoBytes_ : nullptr;
  context.settings = &app_.maths().Settings().photo;
  context.card = &app_.maths().CardFields();
  context.today = Today();
  ShowPhotoMenu(hwnd_, point, context);
  return true;
}

void Form1::ForgetPhoto() {
  if (photoBits_) ::SecureZeroMemory(photoBits_, photoBitsSize_);
  photoBits_ = nullptr;
  photoBitsSize_ = 0;
  photo_.reset();
  WipeText(photoBytes_);
}

void Form1::ClearPhoto() {
  ForgetPhoto();
  app_.maths().SetPhoto(nullptr);
  PhotoStore::Instance().DeleteAll();
  // The box as it is before the first card, empty.
  RECT now{};
  ::GetWindowRect(ImagPer_, &now);
  if (now.right - now.left != photoBoxSize_.cx || now.bottom - now.top != photoBoxSize_.cy) {
    ::SetWindowPos(ImagPer_, nullptr, 0, 0, photoBoxSize_.cx, photoBoxSize_.cy,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ::InvalidateRect(ImagPer_, nullptr, TRUE);
}

}  // namespace keyentry
