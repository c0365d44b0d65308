// The self-check window, opened through the main window's system-menu
// command as the operator's click on 自检… (or a site script) sends it: its
// status lines, its typing test in each mode, the check of a key pressed
// into its box, the template preview and the report it copies.
#include <gtest/gtest.h>

#include "Harness.h"
#include "TargetWindows.h"
#include "ui/res/resource.h"

namespace keyentry::wintest {
namespace {

using SelfCheck = TypingProgram;

// KeyEntry.ini with a template, settings for this test program, and one
// line that is wrong (line 6).
constexpr const wchar_t* kIni =
    L"[模板]\nF9 = {姓名}{Tab}{性别}\n[程序:win_tests.exe]\n方式 = 按键\n字符间隔 = 5\n遮挡\n";

// Opens the self-check with the system-menu command, as a click on the item
// sends it (site scripts post the same).
HWND OpenSelfCheck(const Program& program) {
  ::PostMessageW(program.MainWindow(), WM_SYSCOMMAND, IDM_SELF_CHECK, 0);
  HWND window = nullptr;
  WaitFor([&] { return (window = program.FindTopLevel(L"KeyEntrySelfCheck")) != nullptr; }, 5000);
  return window;
}

std::wstring TextOf(const Program& program, HWND window, int id) {
  return program.Text(::GetDlgItem(window, id));
}

std::vector<std::wstring> Lines(const std::wstring& text) {
  std::vector<std::wstring> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

// The product version in the version resource of the program file.
std::wstring FileVersion(const std::wstring& path) {
  DWORD ignored = 0;
  std::vector<char> data(::GetFileVersionInfoSizeW(path.c_str(), &ignored));
  void* value = nullptr;
  UINT size = 0;
  if (data.empty() ||
      !::GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(data.size()), data.data()) ||
      !::VerQueryValueW(data.data(), L"\\StringFileInfo\\080404B0\\ProductVersion", &value,
                        &size)) {
    return L"?";
  }
  return static_cast<const wchar_t*>(value);
}

TEST_F(SelfCheck, ShowsTheProgramsStateTypesInEveryModeAndCopiesAReportWithoutTheCard) {
  Start(kIni);
  // The operator works in another program, then clicks the main window and
  // picks 自检… from its system menu.
  TargetEdit target;
  target.Focus();
  ClickWithMouse(::GetDlgItem(program->MainWindow(), IDC_STATUS));
  ASSERT_TRUE(WaitFor([&] { return ::GetForegroundWindow() == program->MainWindow(); }, 3000));
  const HWND window = OpenSelfCheck(*program);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(program->Text(window), L"KeyEntry 自检");

  const std::vector<std::wstring> lines = Lines(TextOf(*program, window, IDC_CHECK_STATUS));
  ASSERT_EQ(lines.size(), 11u);
  const std::wstring expected[10] = {
      L"版本：" + FileVersion(box.Path(L"KeyEntry.exe")),
      L"程序文件夹：" + box.Folder() + L"（可写）",
      L"读卡库：" + box.Path(L"ostra.dll"),
      L"端口：USB1001，正在读卡",
      L"键盘钩子：已安装，尚未收到按键，重新安装 0 次",
      L"SendStr.dll：" + box.Path(L"SendStr.dll"),
      L"KeyEntry.ini：已载入，1 个模板，读卡后：关；1 处问题未采用：第 6 行“遮挡”：这一行既不是"
      L"节名（如 [模板]），也不是“名称 = 值”，也不是注释（以 ; 或 # 开头）。",
      L"输入方式：win_tests.exe：按键，字段间隔 0 毫秒，字符间隔 5 毫秒，读卡后：关（按 "
      L"[程序:win_tests.exe] 中的设定）",
      L"隐私：清除秒数 0（不清除），读后删除卡片文件：否，身份证号遮挡：否",
      L"读卡进程：KeyEntryReader.exe 运行中，已重新启动 0 次",
  };
  for (std::size_t i = 0; i < 10; ++i) EXPECT_EQ(lines[i], expected[i]);
  // Who may change the program folder: Wine keeps no access lists that it
  // enforces, so only the line is checked here; its decision has a table test.
  EXPECT_EQ(lines[10].rfind(L"文件夹权限：", 0), 0u) << lines[10];
  EXPECT_NE(expected[0], L"版本：?");
  // The preview of F9 with the card read.
  EXPECT_EQ(TextOf(*program, window, IDC_CHECK_PREVIEW), L"欧阳明月⇥女");

  // Each typing test, clicked with the mouse, types the text into the box.
  for (const int button : {IDC_CHECK_TEST_UNICODE, IDC_CHECK_TEST_KEYS, IDC_CHECK_TEST_PASTE}) {
    SCOPED_TRACE(button);
    ClickWithMouse(::GetDlgItem(window, button));
    const HWND result =
        ::GetDlgItem(window, button - IDC_CHECK_TEST_UNICODE + IDC_CHECK_RESULT_UNICODE);
    EXPECT_TRUE(WaitFor([&] { return program->Text(result) == L"通过"; }, 5000))
        << program->Text(result);
    EXPECT_EQ(TextOf(*program, window, IDC_CHECK_BOX), L"测试 Test 123-X（，。）");
  }

  // A field key pressed into the box: what was sent, and that it arrived.
  ClickWithMouse(::GetDlgItem(window, IDC_CHECK_BOX));
  PressKey(VK_HOME);
  PressKey(VK_F1);
  EXPECT_TRUE(WaitFor(
      [&] {
        return TextOf(*program, window, IDC_CHECK_PRESS) == L"这次按键发出：欧阳明月　结果：通过";
      },
      5000))
      << TextOf(*program, window, IDC_CHECK_PRESS);
  EXPECT_EQ(TextOf(*program, window, IDC_CHECK_BOX), L"欧阳明月测试 Test 123-X（，。）");

  // The report: every status line and test result, nothing of the card.
  ASSERT_TRUE(CopyText(L"before"));
  ClickWithMouse(::GetDlgItem(window, IDC_CHECK_COPY));
  ASSERT_TRUE(WaitFor([] { return ClipboardText() != L"before"; }, 3000));
  const std::vector<std::wstring> report = Lines(ClipboardText());
  ASSERT_EQ(report.size(), 16u);
  EXPECT_EQ(report[0], L"KeyEntry 自检报告");
  for (std::size_t i = 0; i < 10; ++i) {
    if (i != 4) {
      EXPECT_EQ(report[i + 1], expected[i]);
    }
  }
  // The hook has seen the keys pressed since.
  EXPECT_EQ(report[5].rfind(L"键盘钩子：已安装，最近一次按键在 ", 0), 0u) << report[5];
  EXPECT_EQ(report[5].substr(report[5].size() - 12), L" 秒前，重新安装 0 次") << report[5];
  EXPECT_EQ(report[12], L"录入测试：");
  EXPECT_EQ(report[13], L"测试字符方式：通过");
  EXPECT_EQ(report[14], L"测试按键方式：通过");
  EXPECT_EQ(report[15], L"测试粘贴方式：通过");
  for (const std::wstring& value : kCard) {
    EXPECT_EQ(ClipboardText().find(value), std::wstring::npos) << "card value in the report";
  }
  program->Close();
}

TEST_F(SelfCheck, OneWindowThatEscClosesBesideTheOthersAndTheLastWindowEndsTheProgram) {
  Start(L"");
  program->Click(IDC_KEY_SETTINGS);  // the key settings window is open too
  ASSERT_TRUE(WaitFor([&] { return program->FindTopLevel(L"KeyEntryOptions") != nullptr; }, 5000));
  const HWND window = OpenSelfCheck(*program);
  ASSERT_NE(window, nullptr);
  // A second request brings the same window forward.
  ::SetForegroundWindow(program->MainWindow());
  EXPECT_EQ(OpenSelfCheck(*program), window);
  EXPECT_TRUE(WaitFor([&] { return ::GetForegroundWindow() == window; }, 3000));
  // Without KeyEntry.ini, the preview says there is no template.
  HWND list = ::GetDlgItem(window, IDC_CHECK_TEMPLATE);
  EXPECT_EQ(program->Text(list), L"（KeyEntry.ini 中没有模板）");
  EXPECT_EQ(TextOf(*program, window, IDC_CHECK_PREVIEW), L"");

  // The main window goes: the program runs on while a window is open.
  program->Close();
  ASSERT_TRUE(WaitFor([&] { return !::IsWindow(program->MainWindow()); }, 5000));
  ::PostMessageW(program->FindTopLevel(L"KeyEntryOptions"), WM_CLOSE, 0, 0);
  PumpMessagesFor(500);
  EXPECT_TRUE(program->Running());
  ClickWithMouse(::GetDlgItem(window, IDC_CHECK_BOX));
  PressKey(VK_ESCAPE);
  EXPECT_TRUE(program->WaitForExit(5000));
}

}  // namespace
}  // namespace keyentry::wintest
