// Every way the main window can be closed shuts down once; repeated
// switching never doubles the typing; photos replaced again and again leak
// no GDI objects; the focus starts where the operator expects it.
#include <gtest/gtest.h>

#include "Harness.h"
#include "ui/res/resource.h"

namespace keyentry::wintest {
namespace {

HWND FocusOf(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

class Lifecycle : public ::testing::Test {
 protected:
  Sandbox box;
  void SetUp() override {
    box.Write(L"SetKey.txt", kKeyFileF1ToF8 + "\r\n");
    box.AttachReader("1001");
  }
};

TEST_F(Lifecycle, SystemMenuCloseShutsDownOnce) {
  Program program(box);
  ASSERT_TRUE(program.WaitForMainWindow());
  ::PostMessageW(program.MainWindow(), WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(program.WaitForExit());
  EXPECT_EQ(box.Read(L"SetKey.txt"), kKeyFileF1ToF8);
  EXPECT_EQ(Count(box.ReaderCalls(), "CloseComm"), 1);
}

TEST_F(Lifecycle, WindowsEndingTheSessionSavesOnceWithoutAsking) {
  Program program(box);
  ASSERT_TRUE(program.WaitForMainWindow());
  HWND main = program.MainWindow();
  DWORD_PTR answer = 0;
  ::SendMessageTimeoutW(main, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer);
  EXPECT_EQ(answer, TRUE);
  ::SendMessageTimeoutW(main, WM_ENDSESSION, TRUE, 0, SMTO_ABORTIFHUNG, 5000, &answer);
  EXPECT_EQ(box.Read(L"SetKey.txt"), kKeyFileF1ToF8);
  EXPECT_EQ(Count(box.ReaderCalls(), "CloseComm"), 1);
  // Should the session go on after all, closing does not save a second time.
  box.Write(L"SetKey.txt", "marker");
  program.Close();
  ASSERT_TRUE(program.WaitForExit());
  EXPECT_EQ(box.Read(L"SetKey.txt"), "marker");
  EXPECT_EQ(Count(box.ReaderCalls(), "CloseComm"), 1);
  EXPECT_TRUE(program.Messages().empty());
}

// Installers and Windows Update close programs through Restart Manager, which
// sends both messages with ENDSESSION_CLOSEAPP to the program's windows and
// waits for the process.
TEST(RestartManager, ClosesLikeTheExitButtonAndTheProcessEnds) {
  enum Windows { kMainOnly, kBoth, kSettingsOnly };
  for (const Windows open : {kMainOnly, kBoth, kSettingsOnly}) {
    SCOPED_TRACE(open == kMainOnly ? "main window" : open == kBoth ? "both" : "settings window");
    Sandbox box;
    box.Write(L"SetKey.txt", kKeyFileF1ToF8 + "\r\n");
    box.AttachReader("1001");
    Program program(box);
    ASSERT_TRUE(program.WaitForMainWindow());
    if (open != kMainOnly) {
      program.Click(IDC_KEY_SETTINGS);
      ASSERT_TRUE(
          WaitFor([&] { return program.FindTopLevel(L"KeyEntryOptions") != nullptr; }, 5000));
    }
    box.Write(L"SetKey.txt", "changed meanwhile");
    HWND window = program.MainWindow();
    if (open == kSettingsOnly) {  // the main window was closed first
      program.Close();
      ASSERT_TRUE(WaitFor([&] { return !::IsWindow(program.MainWindow()); }, 5000));
      window = program.FindTopLevel(L"KeyEntryOptions");
    }
    DWORD_PTR answer = 0;
    ASSERT_TRUE(::SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP,
                                      SMTO_ABORTIFHUNG, 5000, &answer));
    EXPECT_EQ(answer, TRUE);
    ::SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP, SMTO_ABORTIFHUNG, 5000,
                          &answer);
    ASSERT_TRUE(program.WaitForExit(10000));
    EXPECT_EQ(program.ExitCode(), 0u);
    EXPECT_EQ(Count(box.ReaderCalls(), "CloseComm"), 1);
    EXPECT_EQ(box.Read(L"SetKey.txt"), kKeyFileF1ToF8);
    EXPECT_TRUE(program.Messages().empty());
  }
}

TEST_F(Lifecycle, ReadButtonHasTheFocusAndTabMovesThroughTheButtons) {
  Program program(box);
  ASSERT_TRUE(program.WaitForMainWindow());
  HWND main = program.MainWindow();
  ASSERT_TRUE(WaitFor([&] { return FocusOf(main) == ::GetDlgItem(main, IDC_READ); }, 3000));
  ::SetForegroundWindow(main);
  PumpMessagesFor(200);
  PressKey(VK_TAB);
  EXPECT_TRUE(WaitFor([&] { return FocusOf(main) == ::GetDlgItem(main, IDC_KEY_SETTINGS); }, 3000));
  PressKey(VK_TAB);
  EXPECT_TRUE(WaitFor([&] { return FocusOf(main) == ::GetDlgItem(main, IDC_EXIT); }, 3000));
  PressKey(VK_TAB);
  EXPECT_TRUE(WaitFor([&] { return FocusOf(main) == ::GetDlgItem(main, IDC_READ); }, 3000));
}

// As in a dialog, the focused button keeps the focus while another window is
// active, and Space presses it once the operator has clicked back into the
// main window.
TEST_F(Lifecycle, FocusedButtonIsKeptWhileAnotherWindowIsActive) {
  Program program(box);
  ASSERT_TRUE(program.WaitForMainWindow());
  HWND main = program.MainWindow();
  HWND settings = ::GetDlgItem(main, IDC_KEY_SETTINGS);
  ASSERT_TRUE(WaitFor([&] { return FocusOf(main) == ::GetDlgItem(main, IDC_READ); }, 3000));
  ::SetForegroundWindow(main);
  PumpMessagesFor(200);
  PressKey(VK_TAB);
  ASSERT_TRUE(WaitFor([&] { return FocusOf(main) == settings; }, 3000));

  TargetEdit other;
  other.Focus();
  ASSERT_EQ(::GetForegroundWindow(), ::GetAncestor(other.Edit(), GA_ROOT));
  // A click on an empty part of the window, right of the photo.
  RECT client{};
  ::GetClientRect(main, &client);
  POINT empty{client.right - 10, 150};
  ::ClientToScreen(main, &empty);
  ClickAt(empty);
  ASSERT_TRUE(WaitFor([&] { return ::GetForegroundWindow() == main; }, 3000));
  EXPECT_TRUE(WaitFor([&] { return FocusOf(main) == settings; }, 1000));
  PressKey(VK_SPACE);
  EXPECT_TRUE(WaitFor([&] { return program.FindTopLevel(L"KeyEntryOptions") != nullptr; }, 3000))
      << "Space did not press the settings button";
}

TEST_F(Lifecycle, SwitchingReadingOffAndOnNeverTypesTwice) {
  box.PlaceCard("demo");
  Program program(box);
  ASSERT_TRUE(program.WaitForMainWindow());
  ASSERT_TRUE(WaitFor([&] { return program.Text(IDC_VALUE_NAME) == L"林示范"; }, 3000));
  for (int i = 0; i < 4; ++i) {
    const std::wstring before = program.Text(IDC_READ);
    program.Click(IDC_READ);
    ASSERT_TRUE(WaitFor([&] { return program.Text(IDC_READ) != before; }, 3000));
  }
  EXPECT_EQ(program.Text(IDC_READ), L"停止读卡");
  TargetEdit target;
  target.Focus();
  PressKey(VK_F1);
  EXPECT_TRUE(target.WaitForText(L"林示范"));
  PumpMessagesFor(500);
  EXPECT_EQ(target.Text(), L"林示范");
}

// Each photo here is 1000 x 1000 pixels (about 3 MB): a bitmap kept per
// replacement would show in the GDI object count where the system reports it,
// and in the private memory in any case.
TEST_F(Lifecycle, ReplacingPhotosAgainAndAgainLeaksNothing) {
  const std::vector<std::wstring> lines = {L"甲", L"男", L"汉", L"1", L"2", L"3", L"4", L"5"};
  std::vector<std::wstring> other = lines;
  other[0] = L"乙";
  box.MakeCardWithPhoto("one", lines, 1000, 1000, RGB(200, 40, 40));
  box.MakeCardWithPhoto("two", other, 1000, 1000, RGB(40, 40, 200));
  box.PlaceCard("one");
  Program program(box);
  ASSERT_TRUE(program.WaitForMainWindow());
  HANDLE process = ::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, program.Pid());
  ASSERT_NE(process, nullptr);
  auto switchTo = [&](const char* card, const wchar_t* name) {
    box.PlaceCard(card);
    return WaitFor([&] { return program.Text(IDC_VALUE_NAME) == name; }, 3000);
  };
  auto privateBytes = [&] { return CommittedMemory(process); };
  ASSERT_TRUE(switchTo("two", L"乙"));
  ASSERT_TRUE(switchTo("one", L"甲"));
  PumpMessagesFor(400);
  const DWORD gdiBefore = ::GetGuiResources(process, GR_GDIOBJECTS);
  const SIZE_T memoryBefore = privateBytes();
  ASSERT_GT(memoryBefore, 0u);
  for (int i = 0; i < 8; ++i) {
    ASSERT_TRUE(switchTo("two", L"乙"));
    ASSERT_TRUE(switchTo("one", L"甲"));
  }
  PumpMessagesFor(400);
  const DWORD gdiAfter = ::GetGuiResources(process, GR_GDIOBJECTS);
  const SIZE_T memoryAfter = privateBytes();
  ::CloseHandle(process);
  EXPECT_LE(gdiAfter, gdiBefore + 2);
  // Sixteen kept photos would be 48 MB.
  EXPECT_LT(memoryAfter, memoryBefore + 12u * 1024 * 1024)
      << "private bytes before " << memoryBefore << ", after " << memoryAfter;
}

}  // namespace
}  // namespace keyentry::wintest
