// The real program under test: start-up, typing into another program's
// window, the key settings file at exit, and the main window.
#include <algorithm>
#include <gtest/gtest.h>

#include "Harness.h"
#include "platform/Handles.h"
#include "ui/res/resource.h"

namespace keyentry::wintest {
namespace {

const std::vector<std::wstring> kCard = {L"  欧阳明月 ",
                                         L"女",
                                         L"汉",
                                         L"19880315",
                                         L"江南省临水市青石区  杏花巷十八号",
                                         L"990101198803150027",
                                         L"临水市公安局青石分局",
                                         L"2016.03.15-2036.03.15 "};

class ProgramRun : public ::testing::Test {
 protected:
  Sandbox box;

  void SetUp() override {
    ASSERT_EQ(::GetACP(), 936u) << "run with LC_ALL=zh_CN.UTF-8 so the ANSI code page is 936";
    box.Write(L"SetKey.txt", kKeyFileF1ToF8);
    box.MakeCard("test", kCard);
  }
  // Starts the program with a reader and a card, and waits for the card.
  std::unique_ptr<Program> StartWithCard() {
    box.AttachReader("1001");
    box.PlaceCard("test");
    auto program = std::make_unique<Program>(box);
    EXPECT_TRUE(program->WaitForMainWindow());
    EXPECT_TRUE(WaitFor([&] { return program->Text(IDC_VALUE_NAME) == L"欧阳明月"; }, 3000))
        << "card not shown";
    return program;
  }
  bool NoTemporaryFilesLeft() const {
    for (const auto& name : box.FileNames()) {
      const bool known = name == L"KeyEntry.exe" || name == L"KeyEntryReader.exe" ||
                         name == L"SendStr.dll" || name == L"ostra.dll" || name == L"SetKey.txt" ||
                         name == L"wz.txt" || name == L"zp.bmp";
      if (!known) {
        ADD_FAILURE() << "unexpected file left: " << std::string(name.begin(), name.end());
        return false;
      }
    }
    return true;
  }
};

TEST_F(ProgramRun, AssignedKeyTypesChineseFieldIntoAnotherProgram) {
  auto program = StartWithCard();
  TargetEdit target;
  target.Focus();
  PressKey(VK_F1);
  EXPECT_TRUE(target.WaitForText(L"欧阳明月")) << "got other text";
  target.Clear();
  PressKey(VK_F5);
  EXPECT_TRUE(target.WaitForText(L"江南省临水市青石区  杏花巷十八号"));
  target.Clear();
  PressKey(VK_F8);  // trailing space trimmed
  EXPECT_TRUE(target.WaitForText(L"2016.03.15-2036.03.15"));
  // The swallowed key presses never reached the edit control.
  const auto& downs = target.KeyDowns();
  EXPECT_EQ(std::count(downs.begin(), downs.end(), static_cast<WPARAM>(VK_F1)), 0);
  EXPECT_EQ(std::count(downs.begin(), downs.end(), static_cast<WPARAM>(VK_F5)), 0);
}

TEST_F(ProgramRun, AssignedKeyWithShiftOrCtrlHeldTypesTheSameText) {
  auto program = StartWithCard();
  TargetEdit target;
  target.Focus();
  for (WORD modifier : {static_cast<WORD>(VK_LSHIFT), static_cast<WORD>(VK_LCONTROL)}) {
    target.Clear();
    SendKey(modifier, false);
    SendKey(VK_F3, false);
    EXPECT_TRUE(target.WaitForText(L"汉")) << "modifier " << modifier;
    SendKey(VK_F3, true);
    SendKey(modifier, true);
    PumpMessagesFor(200);
    EXPECT_EQ(target.Text(), L"汉");
    EXPECT_FALSE(KeyDown(modifier)) << "modifier left down";
  }
}

TEST_F(ProgramRun, OneKeyForTwoFieldsTypesBothInFieldOrder) {
  box.Write(L"SetKey.txt", "F3\r\nF2\r\nF1\r\nF4\r\nF3\r\nF6\r\nF7\r\nF8");
  auto program = StartWithCard();
  TargetEdit target;
  target.Focus();
  PressKey(VK_F3);
  EXPECT_TRUE(target.WaitForText(L"欧阳明月江南省临水市青石区  杏花巷十八号"));
}

TEST_F(ProgramRun, UnassignedKeyReachesTheApplication) {
  auto program = StartWithCard();
  TargetEdit target;
  target.Focus();
  target.ClearKeyDowns();
  PressKey(VK_F9);
  EXPECT_TRUE(WaitFor([&] { return !target.KeyDowns().empty(); }, 3000));
  EXPECT_EQ(target.KeyDowns(), std::vector<WPARAM>{VK_F9});
  EXPECT_EQ(target.Text(), L"");
}

TEST_F(ProgramRun, WithoutAReaderNoKeyIsCaught) {
  Program program(box);
  ASSERT_TRUE(program.WaitForMainWindow());
  EXPECT_EQ(program.Text(IDC_STATUS), L"机具连接失败！");
  EXPECT_EQ(program.Text(IDC_READ), L"开始读卡");
  TargetEdit target;
  target.Focus();
  target.ClearKeyDowns();
  PressKey(VK_F1);
  EXPECT_TRUE(WaitFor([&] { return !target.KeyDowns().empty(); }, 3000));
  EXPECT_EQ(target.KeyDowns(), std::vector<WPARAM>{VK_F1});
  EXPECT_TRUE(program.Messages().empty());
}

TEST_F(ProgramRun, StartUpWithAReaderShowsPortCardAndPhoto) {
  box.AttachReader("1003 2");
  Program program(box);
  ASSERT_TRUE(program.WaitForMainWindow());
  EXPECT_EQ(program.Text(IDC_STATUS), L"端口打开成功！端口：USB1003");
  EXPECT_EQ(program.Text(IDC_READ), L"停止读卡");
  EXPECT_EQ(program.Text(IDC_KEY_SETTINGS), L"按键录入配置");
  EXPECT_EQ(program.Text(IDC_EXIT), L"退    出  ");
  EXPECT_EQ(program.Text(IDC_VALUE_NAME), L"");
  // The photo box keeps its first size until a photo comes.
  HWND photo = ::GetDlgItem(program.MainWindow(), IDC_PHOTO);
  RECT before{};
  ::GetWindowRect(photo, &before);
  EXPECT_EQ(before.right - before.left, 150);
  EXPECT_EQ(before.bottom - before.top, 158);

  box.PlaceCard("test");
  const DWORD placed = ::GetTickCount();
  ASSERT_TRUE(
      WaitFor([&] { return program.Text(IDC_VALUE_VALIDITY) == L"2016.03.15-2036.03.15"; }, 3000));
  EXPECT_LT(::GetTickCount() - placed, 1000u) << "card shown too late";
  // Shown trimmed: the spaces around the name and after the validity go.
  const wchar_t* const shown[] = {L"欧阳明月",
                                  L"女",
                                  L"汉",
                                  L"19880315",
                                  L"江南省临水市青石区  杏花巷十八号",
                                  L"990101198803150027",
                                  L"临水市公安局青石分局",
                                  L"2016.03.15-2036.03.15"};
  const int valueIds[] = {IDC_VALUE_NAME,      IDC_VALUE_SEX,     IDC_VALUE_NATION,
                          IDC_VALUE_BIRTH,     IDC_VALUE_ADDRESS, IDC_VALUE_ID_NUMBER,
                          IDC_VALUE_AUTHORITY, IDC_VALUE_VALIDITY};
  for (int k = 0; k < 8; ++k) EXPECT_EQ(program.Text(valueIds[k]), shown[k]) << k;
  // The demo photo is 102 x 126: the box takes that size plus its border.
  EXPECT_TRUE(WaitFor(
      [&] {
        RECT r{};
        ::GetWindowRect(photo, &r);
        return r.right - r.left == 104 && r.bottom - r.top == 128 && r.left == before.left &&
               r.top == before.top;
      },
      3000));
  // Taken off the reader, the card stays.
  box.RemoveCard();
  PumpMessagesFor(700);
  EXPECT_EQ(program.Text(IDC_VALUE_NAME), L"欧阳明月");
  EXPECT_TRUE(program.Messages().empty());
}

TEST_F(ProgramRun, ReadButtonSwitchesReadingOffAndOnAgain) {
  box.AttachReader("7");
  Program program(box);
  ASSERT_TRUE(program.WaitForMainWindow());
  EXPECT_EQ(program.Text(IDC_STATUS), L"端口打开成功！端口：COM7");
  program.Click(IDC_READ);
  EXPECT_TRUE(WaitFor([&] { return program.Text(IDC_STATUS) == L"停止读卡！"; }, 3000));
  EXPECT_EQ(program.Text(IDC_READ), L"开始读卡");
  // While off, a card is not read.
  box.PlaceCard("test");
  PumpMessagesFor(900);
  EXPECT_EQ(program.Text(IDC_VALUE_NAME), L"");
  program.Click(IDC_READ);
  EXPECT_TRUE(
      WaitFor([&] { return program.Text(IDC_STATUS) == L"端口打开成功！端口：COM7"; }, 3000));
  EXPECT_EQ(program.Text(IDC_READ), L"停止读卡");
  EXPECT_TRUE(WaitFor([&] { return program.Text(IDC_VALUE_NAME) == L"欧阳明月"; }, 3000));
  // Switched on without the reader: reported, and the button stays.
  program.Click(IDC_READ);
  ASSERT_TRUE(WaitFor([&] { return program.Text(IDC_READ) == L"开始读卡"; }, 3000));
  box.AttachReader("");
  program.Click(IDC_READ);
  EXPECT_TRUE(WaitFor([&] { return program.Text(IDC_STATUS) == L"机具连接失败！"; }, 5000));
  EXPECT_EQ(program.Text(IDC_READ), L"开始读卡");
}

TEST_F(ProgramRun, KeySettingsFileIsRewrittenOnceAtExitWithExactBytes) {
  box.Write(L"SetKey.txt", kKeyFileF1ToF8 + "\r\nF9\r\n");
  box.AttachReader("1001");
  Program program(box);
  ASSERT_TRUE(program.WaitForMainWindow());
  program.Close();  // the close box
  ASSERT_TRUE(program.WaitForExit());
  EXPECT_EQ(box.Read(L"SetKey.txt"), kKeyFileF1ToF8);
  EXPECT_EQ(box.Read(L"SetKey.txt")->size(), 30u);
  EXPECT_TRUE(program.Messages().empty());
  const std::string calls = box.ReaderCalls();
  size_t closes = 0;
  for (size_t at = calls.find("CloseComm"); at != std::string::npos;
       at = calls.find("CloseComm", at + 1))
    ++closes;
  EXPECT_EQ(closes, 1u);
  EXPECT_TRUE(NoTemporaryFilesLeft());
}

TEST_F(ProgramRun, ExitButtonDoesTheSameAsTheCloseBox) {
  box.Write(L"SetKey.txt", "F2\r\nF1\r\nF3\r\nF4\r\nF5\r\nF6\r\nF7\r\nF8\r\n");
  Program program(box);
  ASSERT_TRUE(program.WaitForMainWindow());
  program.Click(IDC_EXIT);
  ASSERT_TRUE(program.WaitForExit());
  EXPECT_EQ(box.Read(L"SetKey.txt"), "F2\r\nF1\r\nF3\r\nF4\r\nF5\r\nF6\r\nF7\r\nF8");
}

TEST_F(ProgramRun, ReadOnlyKeySettingsFileIsKeptAndReported) {
  const std::string old = "F8\r\nF7\r\nF6\r\nF5\r\nF4\r\nF3\r\nF2\r\nF1\r\n";
  box.Write(L"SetKey.txt", old);
  ::SetFileAttributesW(box.Path(L"SetKey.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  Program program(box);
  ASSERT_TRUE(program.WaitForMainWindow());
  program.Close();
  ASSERT_TRUE(program.WaitForExit());
  EXPECT_EQ(program.Messages(), std::vector<std::wstring>{L"配置文件SetKey.txt保存失败！"});
  EXPECT_TRUE(program.MessageBoxesWellFormed());
  EXPECT_EQ(box.Read(L"SetKey.txt"), old);
  EXPECT_NE(::GetFileAttributesW(box.Path(L"SetKey.txt").c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_TRUE(NoTemporaryFilesLeft());
}

TEST_F(ProgramRun, HiddenKeySettingsFileIsReadAndRewritten) {
  box.Write(L"SetKey.txt", "F9\r\nF2\r\nF3\r\nF4\r\nF5\r\nF6\r\nF7\r\nF8\r\n");
  ::SetFileAttributesW(box.Path(L"SetKey.txt").c_str(),
                       FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  Program program(box);
  ASSERT_TRUE(program.WaitForMainWindow());
  program.Close();
  ASSERT_TRUE(program.WaitForExit());
  EXPECT_TRUE(program.Messages().empty());
  EXPECT_EQ(box.Read(L"SetKey.txt"), "F9\r\nF2\r\nF3\r\nF4\r\nF5\r\nF6\r\nF7\r\nF8");
}

TEST_F(ProgramRun, MissingKeySettingsFileIsReportedBeforeTheWindowShows) {
  box.Remove(L"SetKey.txt");
  Program program(box);
  // The message box comes first, while no main window is visible.
  HWND shownEarly = nullptr;
  ASSERT_TRUE(WaitFor(
      [&] {
        if (program.FindTopLevel(L"#32770")) return true;
        shownEarly = program.FindTopLevel(L"KeyEntryMain");
        return shownEarly != nullptr;
      },
      20000));
  EXPECT_EQ(shownEarly, nullptr);
  ASSERT_TRUE(program.WaitForMainWindow());
  EXPECT_EQ(program.Messages(), std::vector<std::wstring>{L"配置文件SetKey.txt读取失败！"});
  EXPECT_TRUE(program.MessageBoxesWellFormed());
  program.Close();
  ASSERT_TRUE(program.WaitForExit());
  EXPECT_EQ(box.Read(L"SetKey.txt"), "\r\n\r\n\r\n\r\n\r\n\r\n\r\n");
}

TEST_F(ProgramRun, MissingReaderLibraryIsReportedAndKeysAreStillSaved) {
  box.Remove(L"ostra.dll");
  // A reader library in the current folder must not be picked up instead.
  Program program(box);
  ASSERT_TRUE(program.WaitForMainWindow());
  EXPECT_EQ(program.Messages(), std::vector<std::wstring>{L"端口打开失败！"});
  EXPECT_EQ(program.Text(IDC_STATUS), L"机具连接失败！");
  box.Remove(L"SetKey.txt");
  program.Close();
  ASSERT_TRUE(program.WaitForExit());
  EXPECT_EQ(box.Read(L"SetKey.txt"), kKeyFileF1ToF8);
}

TEST_F(ProgramRun, MissingTextLibrarySwallowsAssignedKeysUntilItIsBack) {
  box.Remove(L"SendStr.dll");
  auto program = StartWithCard();
  TargetEdit target;
  target.Focus();
  target.ClearKeyDowns();
  PressKey(VK_F1);
  PressKey(VK_F9);  // unassigned: still delivered, and after F1 was handled
  EXPECT_TRUE(WaitFor([&] { return !target.KeyDowns().empty(); }, 3000));
  EXPECT_EQ(target.KeyDowns(), std::vector<WPARAM>{VK_F9});
  EXPECT_EQ(target.Text(), L"");
  EXPECT_TRUE(program->Running());
  // Put back, the library is found again without a restart.
  ASSERT_TRUE(::CopyFileW((ProgramFolder() + L"\\SendStr.dll").c_str(),
                          box.Path(L"SendStr.dll").c_str(), FALSE));
  PumpMessagesFor(2500);
  PressKey(VK_F1);
  EXPECT_TRUE(target.WaitForText(L"欧阳明月"));
  program->Close();
  EXPECT_TRUE(program->WaitForExit());
}

// Pixel sizes at the two usual DPI settings, from the layout in twips
// (15 twips a pixel at 96 DPI, 12 at 120). The run at 120 DPI is made by
// tests/win/dpi120.sh, which sets KEYENTRY_EXPECT_DPI.
struct DpiExpectations {
  int dpi;
  SIZE mainClient;
  RECT address;  // C_Addr: left, top, width, height
  SIZE settingsClient;
};

const DpiExpectations& Expected() {
  static const DpiExpectations at96{96, {525, 568}, {104, 200, 385, 89}, {406, 402}};
  static const DpiExpectations at120{120, {656, 710}, {130, 250, 481, 111}, {508, 503}};
  wchar_t wanted[16] = {};
  ::GetEnvironmentVariableW(L"KEYENTRY_EXPECT_DPI", wanted, 16);
  return std::wstring(wanted) == L"120" ? at120 : at96;
}

TEST_F(ProgramRun, WindowGeometryAndCentringAtTheSystemDpi) {
  const DpiExpectations& want = Expected();
  Program program(box);
  ASSERT_TRUE(program.WaitForMainWindow());
  HWND main = program.MainWindow();
  const int dpi = ::GetDeviceCaps(WindowDC(nullptr).get(), LOGPIXELSX);
  ASSERT_EQ(dpi, want.dpi);
  RECT client{};
  ::GetClientRect(main, &client);
  EXPECT_EQ(client.right, want.mainClient.cx);
  EXPECT_EQ(client.bottom, want.mainClient.cy);
  RECT outer{};
  ::GetWindowRect(main, &outer);
  const double left = (::GetSystemMetrics(SM_CXSCREEN) - (outer.right - outer.left)) / 2.0;
  const double top = (::GetSystemMetrics(SM_CYSCREEN) - (outer.bottom - outer.top)) / 2.0;
  EXPECT_LE(std::abs(outer.left - left), 0.5);
  EXPECT_LE(std::abs(outer.top - top), 0.5);
  const LONG style = ::GetWindowLongW(main, GWL_STYLE);
  EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_EQ(program.Text(main), L"CorvaneOrdane按键录入程序V2.0");
  // A control placed in twips: C_Addr at 1560, 3000, 5775 x 1335.
  RECT addr{};
  ::GetWindowRect(::GetDlgItem(main, IDC_VALUE_ADDRESS), &addr);
  ::MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&addr), 2);
  EXPECT_EQ(addr.left, want.address.left);
  EXPECT_EQ(addr.top, want.address.top);
  EXPECT_EQ(addr.right - addr.left, want.address.right);
  EXPECT_EQ(addr.bottom - addr.top, want.address.bottom);
  // The key settings window: 6090 x 6030 twips, centred the same way.
  program.Click(IDC_KEY_SETTINGS);
  HWND options = nullptr;
  ASSERT_TRUE(WaitFor(
      [&] { return (options = program.FindTopLevel(L"KeyEntryOptions")) != nullptr; }, 5000));
  ::GetClientRect(options, &client);
  EXPECT_EQ(client.right, want.settingsClient.cx);
  EXPECT_EQ(client.bottom, want.settingsClient.cy);
  ::GetWindowRect(options, &outer);
  EXPECT_LE(
      std::abs(outer.left - (::GetSystemMetrics(SM_CXSCREEN) - (outer.right - outer.left)) / 2.0),
      0.5);
  EXPECT_LE(
      std::abs(outer.top - (::GetSystemMetrics(SM_CYSCREEN) - (outer.bottom - outer.top)) / 2.0),
      0.5);
}

TEST_F(ProgramRun, BothWindowsCaptionTheEightFieldsAsBefore) {
  const wchar_t* const captions[] = {L"姓    名：", L"性    别：", L"民    族：", L"出生日期：",
                                     L"住    址：", L"身份证号：", L"签发机关：", L"有效期限："};
  const int mainIds[] = {IDC_CAPTION_NAME,      IDC_CAPTION_SEX,     IDC_CAPTION_NATION,
                         IDC_CAPTION_BIRTH,     IDC_CAPTION_ADDRESS, IDC_CAPTION_ID_NUMBER,
                         IDC_CAPTION_AUTHORITY, IDC_CAPTION_VALIDITY};
  const int settingsIds[] = {IDC_KEY_LABEL_NAME,      IDC_KEY_LABEL_SEX,
                             IDC_KEY_LABEL_NATION,    IDC_KEY_LABEL_BIRTH,
                             IDC_KEY_LABEL_ADDRESS,   IDC_KEY_LABEL_ID_NUMBER,
                             IDC_KEY_LABEL_AUTHORITY, IDC_KEY_LABEL_VALIDITY};
  Program program(box);
  ASSERT_TRUE(program.WaitForMainWindow());
  for (int k = 0; k < 8; ++k) EXPECT_EQ(program.Text(mainIds[k]), captions[k]) << k;
  program.Click(IDC_KEY_SETTINGS);
  HWND options = nullptr;
  ASSERT_TRUE(WaitFor(
      [&] { return (options = program.FindTopLevel(L"KeyEntryOptions")) != nullptr; }, 5000));
  for (int k = 0; k < 8; ++k) {
    EXPECT_EQ(program.Text(::GetDlgItem(options, settingsIds[k])), captions[k]) << k;
  }
}

TEST_F(ProgramRun, ClockShowsMonthDayAndTime) {
  Program program(box);
  ASSERT_TRUE(program.WaitForMainWindow());
  std::wstring clock;
  ASSERT_TRUE(WaitFor(
      [&] {
        clock = program.Text(IDC_CLOCK);
        return clock != L"时间";
      },
      2500));
  ASSERT_EQ(clock.size(), 14u);
  EXPECT_EQ(clock[2], L'月');
  EXPECT_EQ(clock[5], L'日');
  EXPECT_EQ(clock[8], L':');
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  EXPECT_EQ(std::stoi(clock.substr(0, 2)), now.wMonth);
}

}  // namespace
}  // namespace keyentry::wintest
