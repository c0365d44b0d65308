#include "ui/frmOptions.h"

#include <string>

#include "core/CardField.h"
#include "core/KeyNames.h"
#include "core/Texts.h"
#include "ui/Controls.h"
#include "ui/layout/Layout.h"
#include "ui/res/resource.h"

namespace keyentry {

namespace {

constexpr const wchar_t* kClassName = L"KeyEntryOptions";
constexpr int kClientWidth = 6090;
constexpr int kClientHeight = 6030;
static_assert(IDC_KEY_LABEL_VALIDITY == IDC_KEY_LABEL_NAME + kCardFieldCount - 1,
              "label ids follow one another in field order");
static_assert(IDC_KEY_LIST_VALIDITY == IDC_KEY_LIST_NAME + kCardFieldCount - 1,
              "list ids follow one another in field order");
// The closed part of a list is sized by its font; this is the room its
// opened list gets below it.
constexpr int kDroppedListTwips = 12 * 300;

TwipRect LabelRect(int row) { return {480, 360 + 720 * row, 1215, 375}; }
TwipRect ComboRect(int row) { return {2160, 360 + 720 * row, 1455, 360 + kDroppedListTwips}; }

}  // namespace

frmOptions::frmOptions(WindowHost& app)
    : ModelessWindow(app, {kClassName, kSettingsWindowCaption,
                           static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH))}) {}

void frmOptions::CreateControls() {
  const int dpi = app_.Dpi();
  songTi_ = CreateChineseFont(L"宋体", 12, dpi);
  for (int k = 0; k < kCardFieldCount; ++k) {
    labels_[k] = CreateChild(hwnd_, L"STATIC", FieldCaption(k), SS_LEFT | SS_NOPREFIX, LabelRect(k),
                             IDC_KEY_LABEL_NAME + k, songTi_.get(), dpi);
  }
  for (int k = 0; k < kCardFieldCount; ++k) {
    combos_[k] = CreateChild(
        hwnd_, L"COMBOBOX", L"",
        CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP | (k == 0 ? WS_GROUP : 0),
        ComboRect(k), IDC_KEY_LIST_NAME + k, songTi_.get(), dpi);
  }
  Command1_ = CreateChild(hwnd_, L"BUTTON", kCaptionApply, BS_PUSHBUTTON | WS_TABSTOP,
                          {4320, 960, 1335, 1095}, IDC_APPLY, songTi_.get(), dpi);
  Command2_ = CreateChild(hwnd_, L"BUTTON", kCaptionClose, BS_PUSHBUTTON | WS_TABSTOP,
                          {4320, 3720, 1335, 1095}, IDC_CLOSE, songTi_.get(), dpi);
}

std::optional<LRESULT> frmOptions::OwnMessage(UINT msg, WPARAM wParam, LPARAM) {
  if (msg != WM_COMMAND) return std::nullopt;
  if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDC_APPLY) Command1_Click();
  if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDC_CLOSE) Command2_Click();
  return 0;  // IDOK and IDCANCEL (Enter, Esc) mean nothing here
}

void frmOptions::Form_Load() {
  SizeAndCentre(hwnd_, kClientWidth, kClientHeight, app_.Dpi());
  const HotKeyTable& keys = app_.maths().HotKeys();
  for (int k = 0; k < kCardFieldCount; ++k) {
    HWND combo = combos_[k];
    ::SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    ::SetWindowTextW(combo, L"");
    for (int i = 1; i <= kFunctionKeyCount; ++i) {
      const std::wstring item = L"F" + std::to_wstring(i);
      ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    }
    const int code = KeyNameToCode(keys[k]);
    if (code != 0) {
      ::SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(code - kVkF1), 0);
    } else {
      // Not one of the twelve keys (empty, typed by hand, or from an edited
      // file): show the stored text as it is, with no item selected.
      ::SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
      ::SetWindowTextW(combo, keys[k].c_str());
    }
  }
}

void frmOptions::Command1_Click() {
  HotKeyTable keys;
  for (int k = 0; k < kCardFieldCount; ++k) keys[k] = WindowText(combos_[k]);
  app_.maths().SetHotKeys(keys);
}

void frmOptions::Command2_Click() { ::SendMessageW(hwnd_, WM_CLOSE, 0, 0); }

}  // namespace keyentry
