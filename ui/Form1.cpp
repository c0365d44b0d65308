#include "ui/Form1.h"

#include <cstring>
#include <string>

#include "core/CardField.h"
#include "core/Texts.h"
#include "reader/Reading.h"
#include "ui/App.h"
#include "ui/Controls.h"
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
constexpr COLORREF kClockBackground = RGB(0xE0, 0xE0, 0xE0);

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

// The photo as a bitmap of our own, from the file's bytes; nothing when the
// file is no bitmap that can be shown.
UniqueBitmap LoadPhoto(const std::string& bytes, SIZE& size) {
  const auto layout = CheckBitmapFile(bytes);
  if (!layout) return UniqueBitmap();
  const auto* info = reinterpret_cast<const BITMAPINFO*>(bytes.data() + layout->infoOffset);
  void* bits = nullptr;
  UniqueBitmap bitmap(::CreateDIBSection(nullptr, info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap || !bits) return UniqueBitmap();
  std::memcpy(bits, bytes.data() + layout->bitsOffset, layout->bitsSize);
  size = SIZE{layout->width, layout->height < 0 ? -layout->height : layout->height};
  return bitmap;
}

}  // namespace

Form1::Form1(App& app) : app_(app) {}

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
}

LRESULT Form1::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
          case IDC_READ:
            ComRead_Click();
            return 0;
          case IDC_KEY_SETTINGS:
            ComSet_Click();
            return 0;
          case IDC_EXIT:
            ComExit_Click();
            return 0;
          default:
            break;
        }
      }
      return 0;
    case WM_TIMER:
      if (wParam == kTimer1) Timer1_Timer();
      if (wParam == kTimer2) Timer2_Timer();
      return 0;
    case WM_ACTIVATE:
      // As a dialog does: the focused control is kept while another window
      // is active, instead of the default move of the focus to the window.
      if (LOWORD(wParam) == WA_INACTIVE) {
        RememberFocus();
      } else if (!HIWORD(wParam)) {
        RestoreFocus();
      }
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
      if (wParam && (lParam & ENDSESSION_CLOSEAPP)) {
        // An installer or Windows Update asks through Restart Manager, and
        // waits for the process to end: close as the exit button does, the
        // key settings window too.
        app_.CloseOptions();
        ::SendMessageW(hwnd_, WM_CLOSE, 0, 0);
      } else if (wParam) {
        // Windows is ending the session and ends the process itself.
        Form_Unload();
      }
      return 0;
    case WM_DESTROY:
      ::KillTimer(hwnd_, kTimer1);
      ::KillTimer(hwnd_, kTimer2);
      app_.WindowDestroyed(hwnd_);
      return 0;
    default:
      return ::DefWindowProcW(hwnd_, msg, wParam, lParam);
  }
}

void Form1::Form_Load() {
  SizeAndCentre(hwnd_, kClientWidth, kClientHeight, app_.Dpi());
  ToggleReading(app_.maths(), *this);
}

void Form1::Form_Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  ::KillTimer(hwnd_, kTimer1);
  app_.maths().CloseComm();
  app_.maths().SaveAndUnhook();
}

void Form1::ComRead_Click() { ToggleReading(app_.maths(), *this); }

void Form1::ComSet_Click() { app_.ShowOptions(); }

void Form1::ComExit_Click() { ::SendMessageW(hwnd_, WM_CLOSE, 0, 0); }

void Form1::Timer1_Timer() { PollCard(app_.CardReading(), app_.maths(), *this); }

void Form1::Timer2_Timer() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  wchar_t separator[8] = L":";
  if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIME, separator, 8) <= 0)
    lstrcpynW(separator, L":", 8);
  SetLabelText(LblTime_,
               FormatClock(now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, separator));
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
  if (WindowText(label) == text) return;  // the same card again: nothing to redraw
  ::SetWindowTextW(label, text.c_str());
  ::InvalidateRect(label, nullptr, TRUE);
}

std::wstring Form1::ReadButtonCaption() const { return WindowText(ComRead_); }

void Form1::SetReadButtonCaption(const std::wstring& caption) {
  ::SetWindowTextW(ComRead_, caption.c_str());
}

void Form1::SetStatusText(const std::wstring& text) { SetLabelText(LblInit_, text); }

void Form1::SetPollTimerEnabled(bool enabled) {
  if (enabled) {
    ::SetTimer(hwnd_, kTimer1, kPollPeriodMs, nullptr);
  } else {
    ::KillTimer(hwnd_, kTimer1);
  }
}

void Form1::ShowCardField(int field, const std::wstring& text) {
  if (field < 0 || field >= kCardFieldCount) return;
  SetLabelText(values_[field], text);
}

void Form1::ShowPhoto(const std::wstring& path) {
  auto bytes = app_.Files().ReadPrefix(path, kMaxPhotoFileBytes);
  if (!bytes) return;
  if (photo_ && *bytes == photoBytes_) {  // the same photo again
    ::UpdateWindow(hwnd_);
    return;
  }
  SIZE size{};
  UniqueBitmap loaded = LoadPhoto(*bytes, size);
  if (!loaded) return;
  photo_ = std::move(loaded);
  photoSize_ = size;
  photoBytes_ = std::move(*bytes);
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

}  // namespace keyentry
