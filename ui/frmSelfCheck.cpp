#include "ui/frmSelfCheck.h"

#include <algorithm>
#include <utility>

#include "core/TextTools.h"
#include "core/Texts.h"
#include "core/Wipe.h"
#include "platform/Clipboard.h"
#include "platform/FolderSecurity.h"
#include "platform/HookTyping.h"
#include "platform/PhotoStore.h"
#include "platform/Win32FileStore.h"
#include "ui/res/resource.h"

namespace keyentry {

namespace {

constexpr const wchar_t* kClassName = L"KeyEntrySelfCheck";
// The version of project() in CMakeLists.txt, as in the version resource.
constexpr const wchar_t* kVersion = L"" KEYENTRY_VERSION;
constexpr int kClientWidth = 9600;
constexpr int kClientHeight = 8100;
constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kRefreshMs = 1000;
constexpr UINT_PTR kCheckTimer = 2;
constexpr UINT kCheckMs = 100;
constexpr std::size_t kShownArrival = 40;  // characters of a wrong arrival shown

struct TypingTest {
  TypingMode mode;
  const wchar_t* caption;
  int button;
  int result;
};
constexpr std::array<TypingTest, 3> kTests = {{
    {TypingMode::kUnicode, kTestUnicode, IDC_CHECK_TEST_UNICODE, IDC_CHECK_RESULT_UNICODE},
    {TypingMode::kKeys, kTestKeys, IDC_CHECK_TEST_KEYS, IDC_CHECK_RESULT_KEYS},
    {TypingMode::kPaste, kTestPaste, IDC_CHECK_TEST_PASTE, IDC_CHECK_RESULT_PASTE},
}};

std::wstring Joined(const std::vector<std::wstring>& lines) {
  std::wstring text;
  for (const auto& line : lines) {
    if (!text.empty()) text += L"\r\n";
    text += line;
  }
  return text;
}

// Sets a control's text when it differs; an edit keeps its selection and
// the line shown at its top. What is read back is wiped (it may be card data).
void ShowText(HWND control, const std::wstring& text) {
  std::wstring shown = WindowText(control);
  const bool same = shown == text;
  WipeText(shown);
  if (same) return;
  DWORD start = 0, end = 0;
  ::SendMessageW(control, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
  const LRESULT top = ::SendMessageW(control, EM_GETFIRSTVISIBLELINE, 0, 0);
  ::SetWindowTextW(control, text.c_str());
  ::SendMessageW(control, EM_SETSEL, start, end);
  if (top > 0) ::SendMessageW(control, EM_LINESCROLL, 0, top);
}

std::wstring FailedText(const std::wstring& format, const std::wstring& arrived) {
  return Substitute(format, {Shortened(arrived, kShownArrival, kIniReportEllipsis)});
}

}  // namespace

frmSelfCheck::frmSelfCheck(WindowHost& app)
    : ModelessWindow(
          app, {kClassName, kSelfCheckCaption, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)}) {}

void frmSelfCheck::Load() {
  SizeAndCentre(hwnd_, kClientWidth, kClientHeight, app_.Dpi());
  Refresh();
}

void frmSelfCheck::CreateControls() {
  const int dpi = app_.Dpi();
  font_ = CreateChineseFont(L"宋体", 9, dpi);
  HFONT font = font_.get();
  const DWORD readOnly = ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_BORDER | WS_TABSTOP;
  status_ = CreateChild(hwnd_, L"EDIT", L"", readOnly | WS_GROUP, {120, 120, 9360, 3360},
                        IDC_CHECK_STATUS, font, dpi);
  CreateChild(hwnd_, L"STATIC", kTypingTestLabel, SS_LEFT | SS_NOPREFIX, {120, 3600, 9360, 270},
              IDC_CHECK_TEST_LABEL, font, dpi);
  box_ = CreateChild(hwnd_, L"EDIT", L"", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP,
                     {120, 3900, 9360, 360}, IDC_CHECK_BOX, font, dpi);
  for (std::size_t i = 0; i < kTests.size(); ++i) {
    const int left = 120 + 3150 * static_cast<int>(i);
    testButtons_[i] = CreateChild(hwnd_, L"BUTTON", kTests[i].caption, BS_PUSHBUTTON | WS_TABSTOP,
                                  {left, 4380, 1800, 420}, kTests[i].button, font, dpi);
    testResults_[i] = CreateChild(hwnd_, L"STATIC", kTestNotRun, SS_LEFT | SS_NOPREFIX,
                                  {left, 4860, 3030, 540}, kTests[i].result, font, dpi);
  }
  press_ = CreateChild(hwnd_, L"STATIC", kPressNone, SS_LEFT | SS_NOPREFIX, {120, 5460, 9360, 540},
                       IDC_CHECK_PRESS, font, dpi);
  CreateChild(hwnd_, L"STATIC", kPreviewLabel, SS_LEFT | SS_NOPREFIX, {120, 6150, 1200, 270},
              IDC_CHECK_PREVIEW_LABEL, font, dpi);
  templates_ = CreateChild(hwnd_, L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP,
                           {1320, 6090, 2100, 2400}, IDC_CHECK_TEMPLATE, font, dpi);
  preview_ = CreateChild(hwnd_, L"EDIT", L"", readOnly, {3540, 6090, 5940, 900}, IDC_CHECK_PREVIEW,
                         font, dpi);
  CreateChild(hwnd_, L"BUTTON", kCopyReport, BS_PUSHBUTTON | WS_TABSTOP, {7680, 7560, 1800, 420},
              IDC_CHECK_COPY, font, dpi);

  // The presses typed into this window are recorded while it is open.
  app_.Hook().Presses().Watch(reinterpret_cast<std::uintptr_t>(hwnd_));
  ::SetTimer(hwnd_, kRefreshTimer, kRefreshMs, nullptr);
  ::SetTimer(hwnd_, kCheckTimer, kCheckMs, nullptr);
}

std::optional<LRESULT> frmSelfCheck::OwnMessage(UINT msg, WPARAM wParam, LPARAM) {
  switch (msg) {
    case WM_COMMAND:
      for (std::size_t i = 0; i < kTests.size(); ++i) {
        if (LOWORD(wParam) == kTests[i].button && HIWORD(wParam) == BN_CLICKED) StartTest(i);
      }
      if (LOWORD(wParam) == IDC_CHECK_COPY && HIWORD(wParam) == BN_CLICKED) CopyReport();
      if (LOWORD(wParam) == IDC_CHECK_TEMPLATE && HIWORD(wParam) == CBN_SELCHANGE) {
        RefreshPreview();
      }
      if (LOWORD(wParam) == IDCANCEL) ::DestroyWindow(hwnd_);  // Esc
      return 0;
    case WM_TIMER:
      if (wParam == kRefreshTimer) Refresh();
      if (wParam == kCheckTimer) CheckArrivals();
      return 0;
    case WM_ACTIVATEAPP:
      if (!wParam) app_.NoteForegroundProgram();
      return 0;
    default:
      return std::nullopt;
  }
}

void frmSelfCheck::Closing() {
  ::KillTimer(hwnd_, kRefreshTimer);
  ::KillTimer(hwnd_, kCheckTimer);
  app_.Hook().Presses().Watch(0);
  ForgetPress();
  testCheck_.reset();
  // The box may hold card data typed by a press.
  ::SetWindowTextW(box_, L"");
  ::SetWindowTextW(preview_, L"");
  WipeText(settled_);
}

SelfCheckFacts frmSelfCheck::GatherFacts() const {
  const Maths& maths = app_.maths();
  SelfCheckFacts facts;
  facts.version = kVersion;
  facts.folder = app_.Folder();
  facts.folderWritable = Win32FileStore::FolderWritable(app_.Folder());
  if (const auto security = ReadFolderSecurity(app_.Folder())) {
    facts.folderOpenTo = WhoCanChange(*security, CurrentUserSid());
  } else {
    facts.folderAccessRead = false;
  }
  facts.reader = app_.ReaderFacts();
  const ReaderHelperFacts helper = app_.ReaderHelper();
  facts.readerProcess =
      ReaderProcessFacts{helper.running, helper.restarts, TroubleReason(helper.lastReason)};
  facts.photos = PhotoFolderNow(maths.Settings().photo.folder);
  facts.connected = maths.Connected();
  facts.port = maths.PortName();
  facts.readingOn = app_.ReadingOn();
  facts.hook = app_.Hook().Facts();
  facts.sendStr = app_.SendStrFacts();
  facts.settingsFound = maths.SettingsFileFound();
  facts.settings = &maths.Settings();
  facts.program = app_.ProgramBefore();
  facts.shared = &maths.SharedStatus();
  facts.now = UnixTimeNow();
  return facts;
}

void frmSelfCheck::Refresh() {
  lines_ = SelfCheckLines(GatherFacts());
  ShowText(status_, Joined(lines_));
  // The card was cleared (ClearAfterSeconds) or replaced by none: what a
  // press typed into the box goes with it.
  const CardFieldValues& card = app_.maths().CardFields();
  const bool hasCard =
      std::any_of(card.begin(), card.end(), [](const auto& value) { return value.has_value(); });
  if (hadCard_ && !hasCard) {
    ForgetPress();
    ::SetWindowTextW(box_, L"");
    WipeText(settled_);
  }
  hadCard_ = hasCard;
  RefreshPreview();
}

void frmSelfCheck::RefreshPreview() {
  const SettingsContent& settings = app_.maths().Settings();
  std::vector<PreviewItem> items = PreviewItems(settings);
  if (items != previewItems_ || ::SendMessageW(templates_, CB_GETCOUNT, 0, 0) == 0) {
    // The list again, keeping the item picked where it is still there.
    const LRESULT picked = ::SendMessageW(templates_, CB_GETCURSEL, 0, 0);
    PreviewItem keep;
    const bool kept = picked >= 0 && static_cast<std::size_t>(picked) < previewItems_.size();
    if (kept) keep = previewItems_[static_cast<std::size_t>(picked)];
    ::SendMessageW(templates_, CB_RESETCONTENT, 0, 0);
    for (const PreviewItem& item : items) {
      const std::wstring label = PreviewLabel(item);
      ::SendMessageW(templates_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(label.c_str()));
    }
    if (items.empty()) {
      ::SendMessageW(templates_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kPreviewNoTemplates));
    }
    const auto at = kept ? std::find(items.begin(), items.end(), keep) : items.end();
    ::SendMessageW(templates_, CB_SETCURSEL,
                   static_cast<WPARAM>(at != items.end() ? at - items.begin() : 0), 0);
    previewItems_ = std::move(items);
  }
  const LRESULT picked = ::SendMessageW(templates_, CB_GETCURSEL, 0, 0);
  std::wstring text;
  if (picked >= 0 && static_cast<std::size_t>(picked) < previewItems_.size()) {
    const PreviewItem& item = previewItems_[static_cast<std::size_t>(picked)];
    // Pauses as in the program the text would go to.
    const std::wstring program =
        item.program.empty() ? app_.ProgramBefore().value_or(L"") : item.program;
    text = PreviewText(settings, item, app_.maths().CardFields(), LocalToday(),
                       settings.TypingFor(program).fieldDelayMs);
  }
  ShowText(preview_, text);
  WipeText(text);
}

void frmSelfCheck::StartTest(std::size_t test) {
  if (testCheck_) return;
  ForgetPress();
  ::SetWindowTextW(box_, L"");
  ::SetFocus(box_);  // the text goes to the focus, as into any program
  if (!app_.Hook().TypeTest(kTests[test].mode, kTypingTestText)) {
    results_[test] = kTestNoHook;
    ::SetWindowTextW(testResults_[test], kTestNoHook);
    return;
  }
  ::SetWindowTextW(testResults_[test], kTestRunning);
  for (HWND button : testButtons_) ::EnableWindow(button, FALSE);
  runningTest_ = test;
  testCheck_ =
      std::make_unique<ArrivalCheck>(L"", kTypingTestText, ::GetTickCount64(), kArrivalWaitMs);
}

void frmSelfCheck::CheckArrivals() {
  std::wstring box = WindowText(box_);
  const WipeAtExit<std::wstring> wipe(box);
  const std::uint64_t now = ::GetTickCount64();
  if (testCheck_) {
    const ArrivalCheck::State state = testCheck_->Update(box, now);
    if (state == ArrivalCheck::State::kWaiting) return;
    results_[runningTest_] = state == ArrivalCheck::State::kPassed
                                 ? std::wstring(kTestPassed)
                                 : FailedText(kTestFailed, testCheck_->Arrived());
    ::SetWindowTextW(testResults_[runningTest_], results_[runningTest_].c_str());
    testCheck_.reset();
    for (HWND button : testButtons_) ::EnableWindow(button, TRUE);
  } else {
    CheckPress(box, now);
  }
  if (!pressCheck_) {
    WipeText(settled_);
    settled_ = box;
  }
}

void frmSelfCheck::CheckPress(const std::wstring& box, std::uint64_t now) {
  if (std::optional<RecordedPress> press = app_.Hook().Presses().Newer(pressNumber_)) {
    pressNumber_ = press->number;
    pressCheck_.reset();
    WipeText(pressSent_);
    pressSent_ = Substitute(kPressSent, {RenderSteps(press->steps)});
    std::optional<std::wstring> expected = BoxTextOf(press->steps);
    if (expected) {
      // Compared with the box as it was before the press.
      pressCheck_ = std::make_unique<ArrivalCheck>(settled_, *expected, now,
                                                   ArrivalWaitMs(press->steps, press->settings));
      WipeText(*expected);
      ::SetWindowTextW(press_, (pressSent_ + kPressWaiting).c_str());
    } else {
      ::SetWindowTextW(press_, (pressSent_ + kPressHasKeys).c_str());
    }
  }
  if (!pressCheck_) return;
  const ArrivalCheck::State state = pressCheck_->Update(box, now);
  if (state == ArrivalCheck::State::kWaiting) return;
  std::wstring shown = pressSent_ + (state == ArrivalCheck::State::kPassed
                                         ? std::wstring(kPressPassed)
                                         : FailedText(kPressFailed, pressCheck_->Arrived()));
  ::SetWindowTextW(press_, shown.c_str());
  WipeText(shown);
  pressCheck_.reset();
}

void frmSelfCheck::ForgetPress() {
  app_.Hook().Presses().Forget();
  pressCheck_.reset();
  WipeText(pressSent_);
  if (press_) ::SetWindowTextW(press_, kPressNone);
}

void frmSelfCheck::CopyReport() {
  Refresh();
  std::vector<std::pair<std::wstring, std::wstring>> tests;
  for (std::size_t i = 0; i < kTests.size(); ++i) {
    tests.emplace_back(kTests[i].caption, results_[i].empty() ? kTestNotRun : results_[i]);
  }
  // The status lines and the test results only: never the press or the
  // preview, which show card data.
  if (!CopyTextToClipboard(hwnd_, SelfCheckReport(lines_, tests))) {
    app_.Messages().ShowMessage(kMsgReportNotCopied);
  }
}

}  // namespace keyentry
