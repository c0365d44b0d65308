// The key settings window of the real program: filled from the key table,
// Apply in effect at once and saved at exit, Close dropping what was not
// applied, and its life beside (and after) the main window.
#include <gtest/gtest.h>

#include "Harness.h"
#include "ui/res/resource.h"

namespace keyentry::wintest {
namespace {

class SettingsWindow : public ::testing::Test {
 protected:
  Sandbox box;
  std::unique_ptr<Program> program;
  HWND options = nullptr;

  void Start(const std::string& keys, bool withCard = true) {
    box.Write(L"SetKey.txt", keys);
    if (withCard) {
      box.AttachReader("1001");
      box.PlaceCard("demo");
    }
    program = std::make_unique<Program>(box);
    ASSERT_TRUE(program->WaitForMainWindow());
    if (withCard) {
      ASSERT_TRUE(WaitFor([&] { return program->Text(IDC_VALUE_NAME) == L"林示范"; }, 3000));
    }
  }
  void Open() {
    program->Click(IDC_KEY_SETTINGS);
    ASSERT_TRUE(
        WaitFor([&] { return (options = program->FindTopLevel(L"KeyEntryOptions")); }, 5000));
  }
  HWND Combo(int k) const { return ::GetDlgItem(options, IDC_KEY_LIST_NAME + k); }
  std::wstring ComboText(int k) const { return program->Text(Combo(k)); }
  // Opens the drop-down list with a click on its arrow at the right end, and
  // clicks the item.
  void Pick(int k, int position) {
    ::SetForegroundWindow(options);
    RECT combo{};
    ::GetWindowRect(Combo(k), &combo);
    ClickAt(
        {combo.right - ::GetSystemMetrics(SM_CXVSCROLL) / 2 - 2, (combo.top + combo.bottom) / 2});
    HWND list = nullptr;
    ASSERT_TRUE(WaitFor(
        [&] { return (list = program->FindTopLevel(L"ComboLBox")) && ::IsWindowVisible(list); },
        3000));
    RECT item{};
    ::SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(position),
                   reinterpret_cast<LPARAM>(&item));
    ::MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&item), 2);
    ClickAt({(item.left + item.right) / 2, (item.top + item.bottom) / 2});
    ASSERT_TRUE(WaitFor([&] { return !::IsWindowVisible(list); }, 3000));
    ASSERT_TRUE(WaitFor([&] { return ComboText(k) == Items(k)[position]; }, 3000));
  }
  // Clicks into the text of the list, selects it with Home and Shift+End,
  // and types over it.
  void Type(int k, const std::wstring& text) {
    ClickWithMouse(Combo(k));
    PumpMessagesFor(100);
    PressKey(VK_HOME);
    PressKey(VK_END, {VK_SHIFT});
    TypeText(text);
    ASSERT_TRUE(WaitFor([&] { return ComboText(k) == text; }, 3000));
  }
  void Press(int id) {
    ClickWithMouse(::GetDlgItem(options, id));
    PumpMessagesFor(300);
  }
  std::vector<std::wstring> Items(int k) const {
    std::vector<std::wstring> items;
    const auto n = ::SendMessageW(Combo(k), CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n; ++i) {
      wchar_t buffer[64] = {};
      if (::SendMessageW(Combo(k), CB_GETLBTEXTLEN, i, 0) < 63)
        ::SendMessageW(Combo(k), CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buffer));
      items.emplace_back(buffer);
    }
    return items;
  }
};

TEST_F(SettingsWindow, ListsHoldF1ToF12AndShowTheStoredKeys) {
  Start("F12\r\nF2\r\nf3\r\n\r\nF13\r\nF6\r\n F7\r\nF8\r\n", false);
  Open();
  std::vector<std::wstring> twelve;
  for (int i = 1; i <= 12; ++i) twelve.push_back(L"F" + std::to_wstring(i));
  for (int k = 0; k < 8; ++k) EXPECT_EQ(Items(k), twelve) << k;
  EXPECT_EQ(::SendMessageW(Combo(0), CB_GETCURSEL, 0, 0), 11);
  EXPECT_EQ(ComboText(0), L"F12");
  EXPECT_EQ(::SendMessageW(Combo(7), CB_GETCURSEL, 0, 0), 7);
  // Names that are no function key are shown as stored.
  EXPECT_EQ(ComboText(2), L"f3");
  EXPECT_EQ(ComboText(3), L"");
  EXPECT_EQ(ComboText(4), L"F13");
  EXPECT_EQ(ComboText(6), L" F7");
  EXPECT_EQ(program->Text(options), L"按键配置");
  EXPECT_EQ(program->Text(::GetDlgItem(options, IDC_APPLY)), L"应  用");
  EXPECT_EQ(program->Text(::GetDlgItem(options, IDC_CLOSE)), L"关  闭");
  RECT client{};
  ::GetClientRect(options, &client);
  EXPECT_EQ(client.right, 406);
  EXPECT_EQ(client.bottom, 402);
  // No taskbar button: owned by a window that is not the main window.
  HWND owner = ::GetWindow(options, GW_OWNER);
  EXPECT_NE(owner, nullptr);
  EXPECT_NE(owner, program->MainWindow());
  EXPECT_FALSE(::GetWindowLongW(options, GWL_EXSTYLE) & WS_EX_APPWINDOW);
  const LONG style = ::GetWindowLongW(options, GWL_STYLE);
  EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
}

TEST_F(SettingsWindow, ApplyTakesEffectAtOnceAndIsSavedAtExit) {
  Start(kKeyFileF1ToF8);
  Open();
  Pick(0, 11);  // F12 for the name
  Press(IDC_APPLY);
  TargetEdit target;
  target.Focus();
  PressKey(VK_F12);
  EXPECT_TRUE(target.WaitForText(L"林示范"));
  target.Clear();
  target.ClearKeyDowns();
  PressKey(VK_F1);  // no longer assigned: reaches the application
  EXPECT_TRUE(WaitFor([&] { return !target.KeyDowns().empty(); }, 3000));
  EXPECT_EQ(target.Text(), L"");
  // The window stays open; the file is written only at exit.
  EXPECT_TRUE(::IsWindowVisible(options));
  EXPECT_EQ(box.Read(L"SetKey.txt"), kKeyFileF1ToF8);
  Press(IDC_CLOSE);
  program->Close();
  ASSERT_TRUE(program->WaitForExit());
  EXPECT_EQ(box.Read(L"SetKey.txt"), "F12\r\nF2\r\nF3\r\nF4\r\nF5\r\nF6\r\nF7\r\nF8");
}

TEST_F(SettingsWindow, TypedTextIsStoredAsTyped) {
  Start(kKeyFileF1ToF8);
  Open();
  Type(1, L"f2");
  Type(2, L"F13");
  Press(IDC_APPLY);
  program->Close();
  ASSERT_TRUE(WaitFor([&] { return !::IsWindow(program->MainWindow()); }, 5000));
  // The settings window is still open: close it to end the program.
  ::PostMessageW(options, WM_CLOSE, 0, 0);
  ASSERT_TRUE(program->WaitForExit());
  EXPECT_EQ(box.Read(L"SetKey.txt"), "F1\r\nf2\r\nF13\r\nF4\r\nF5\r\nF6\r\nF7\r\nF8");
}

TEST_F(SettingsWindow, CloseWithoutApplyChangesNothing) {
  Start(kKeyFileF1ToF8);
  Open();
  Pick(0, 11);
  Type(5, L"F9");
  Press(IDC_CLOSE);
  ASSERT_TRUE(WaitFor([&] { return !::IsWindow(options); }, 3000));
  TargetEdit target;
  target.Focus();
  PressKey(VK_F1);
  EXPECT_TRUE(target.WaitForText(L"林示范"));
  // Opened again, it shows the keys in effect.
  Open();
  EXPECT_EQ(ComboText(0), L"F1");
  EXPECT_EQ(ComboText(5), L"F6");
  program->Close();
  WaitFor([&] { return !::IsWindow(program->MainWindow()); }, 5000);
  ::PostMessageW(options, WM_CLOSE, 0, 0);
  ASSERT_TRUE(program->WaitForExit());
  EXPECT_EQ(box.Read(L"SetKey.txt"), kKeyFileF1ToF8);
}

TEST_F(SettingsWindow, SecondClickBringsItForwardKeepingUnappliedChoices) {
  Start(kKeyFileF1ToF8, false);
  Open();
  HWND first = options;
  Pick(3, 9);
  Type(4, L"F11");
  ::SetForegroundWindow(program->MainWindow());
  PumpMessagesFor(200);
  Open();
  EXPECT_EQ(options, first);
  EXPECT_EQ(ComboText(3), L"F10");
  EXPECT_EQ(ComboText(4), L"F11");
  int count = 0;
  WaitFor([&] { return false; }, 200);
  for (HWND w = ::GetTopWindow(nullptr); w; w = ::GetWindow(w, GW_HWNDNEXT)) {
    wchar_t cls[64] = {};
    ::GetClassNameW(w, cls, 64);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(w, &pid);
    if (pid == program->Pid() && lstrcmpW(cls, L"KeyEntryOptions") == 0) ++count;
  }
  EXPECT_EQ(count, 1);
}

TEST_F(SettingsWindow, OutlivesTheMainWindowAndEndsTheProgramWhenClosed) {
  Start(kKeyFileF1ToF8);
  Open();
  program->Close();
  ASSERT_TRUE(WaitFor([&] { return !::IsWindow(program->MainWindow()); }, 5000));
  EXPECT_EQ(box.Read(L"SetKey.txt"), kKeyFileF1ToF8);
  EXPECT_TRUE(program->Running());
  EXPECT_TRUE(::IsWindowVisible(options));
  // Apply after the main window is gone changes memory only.
  Pick(0, 11);
  Press(IDC_APPLY);
  PumpMessagesFor(300);
  EXPECT_EQ(box.Read(L"SetKey.txt"), kKeyFileF1ToF8);
  // The hook is gone with the main window: F1 reaches the application.
  TargetEdit target;
  target.Focus();
  target.ClearKeyDowns();
  PressKey(VK_F12);
  EXPECT_TRUE(WaitFor([&] { return !target.KeyDowns().empty(); }, 3000));
  EXPECT_EQ(target.Text(), L"");
  Press(IDC_CLOSE);
  EXPECT_TRUE(program->WaitForExit(5000));
  EXPECT_EQ(box.Read(L"SetKey.txt"), kKeyFileF1ToF8);
}

// The operator's way through the window with the mouse: open it, pick a key
// in the first list, apply, close, and click the read button at once. The
// close box is reached through WM_SYSCOMMAND SC_CLOSE, which is what a click
// on it sends: without a window manager Wine shows no caption to click (the
// click lands on the window below).
TEST_F(SettingsWindow, ReadButtonTakesAClickRightAfterTheWindowCloses) {
  Start(kKeyFileF1ToF8);
  HWND main = program->MainWindow();
  HWND read = ::GetDlgItem(main, IDC_READ);
  ASSERT_EQ(program->Text(read), L"停止读卡");
  for (DWORD pause : {50u, 200u, 500u}) {
    ClickAt(CentreOf(::GetDlgItem(main, IDC_KEY_SETTINGS)));
    ASSERT_TRUE(
        WaitFor([&] { return (options = program->FindTopLevel(L"KeyEntryOptions")); }, 5000));
    PumpMessagesFor(200);
    Pick(0, 11);
    EXPECT_EQ(ComboText(0), L"F12");
    ClickAt(CentreOf(::GetDlgItem(options, IDC_APPLY)));
    PumpMessagesFor(200);
    ::PostMessageW(options, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(options); }, 3000));
    PumpMessagesFor(pause);
    ClickAt(CentreOf(read));
    EXPECT_TRUE(WaitFor([&] { return program->Text(IDC_STATUS) == L"停止读卡！"; }, 2000))
        << "click " << pause << " ms after closing";
    EXPECT_EQ(program->Text(read), L"开始读卡");
    // Reading on again for the next round.
    ClickAt(CentreOf(read));
    ASSERT_TRUE(WaitFor([&] { return program->Text(read) == L"停止读卡"; }, 3000));
  }
}

// A real click on the read button while the key settings window is still
// going away, before the program has finished closing it. Under Wine with
// windows handed to a window manager but none running, hiding the window holds
// the program's interface thread for about 2 s; the click then waits in the
// input queue and takes effect afterwards. Whatever the setting, it arrives
// once.
TEST_F(SettingsWindow, ReadButtonClickedWhileTheWindowIsClosingIsServed) {
  Start(kKeyFileF1ToF8);
  HWND main = program->MainWindow();
  HWND read = ::GetDlgItem(main, IDC_READ);
  ASSERT_EQ(program->Text(read), L"停止读卡");
  Open();
  PumpMessagesFor(200);
  const POINT centre = CentreOf(read);
  ::PostMessageW(options, WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(WaitFor([&] { return !::IsWindowVisible(options); }, 5000));
  ClickAt(centre);
  EXPECT_TRUE(WaitFor([&] { return program->Text(IDC_STATUS) == L"停止读卡！"; }, 10000));
  EXPECT_EQ(program->Text(read), L"开始读卡");
  EXPECT_FALSE(::IsWindow(options));
}

// The mechanism behind a lost click: an activation of the main window that
// arrives late (Wine delivers the window manager's focus event after the
// settings window is gone) while the read button is held down. The window
// must not take the focus from the pressed button, or the press is
// cancelled and the release sends no click. The activation is sent as the
// system sends it; the press and release are real mouse input.
TEST_F(SettingsWindow, LateActivationDoesNotCancelAPressedButton) {
  Start(kKeyFileF1ToF8);
  HWND main = program->MainWindow();
  HWND read = ::GetDlgItem(main, IDC_READ);
  ASSERT_EQ(program->Text(read), L"停止读卡");
  PressMouseAt(CentreOf(read));
  GUITHREADINFO gui{};
  gui.cbSize = sizeof gui;
  const DWORD thread = ::GetWindowThreadProcessId(main, nullptr);
  ASSERT_TRUE(
      WaitFor([&] { return ::GetGUIThreadInfo(thread, &gui) && gui.hwndCapture == read; }, 3000));
  DWORD_PTR ignored = 0;
  ::SendMessageTimeoutW(main, WM_ACTIVATE, WA_ACTIVE, 0, SMTO_ABORTIFHUNG, 3000, &ignored);
  ReleaseMouse();
  EXPECT_TRUE(WaitFor([&] { return program->Text(IDC_STATUS) == L"停止读卡！"; }, 2000));
  EXPECT_EQ(program->Text(read), L"开始读卡");
}

}  // namespace
}  // namespace keyentry::wintest
