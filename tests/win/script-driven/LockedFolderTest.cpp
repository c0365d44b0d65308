// Driven by tests/win/locked-folder.sh, which makes the program's folder
// unwritable (the immutable attribute stops even root) around this test.
// Kept out of the ordinary test list: alone it has nothing to run against.
#include <gtest/gtest.h>

#include "../Harness.h"

namespace keyentry::wintest {
namespace {

TEST(LockedFolder, UnwritableProgramFolderKeepsTheKeys) {
  wchar_t folder[MAX_PATH] = {};
  if (!::GetEnvironmentVariableW(L"KEYENTRY_LOCKED_FOLDER", folder, MAX_PATH))
    GTEST_SKIP() << "only run by locked-folder.sh";
  std::wstring command = L"\"" + std::wstring(folder) + L"\\KeyEntry.exe\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &si, &pi));
  ::CloseHandle(pi.hThread);
  ::CloseHandle(pi.hProcess);
  // Drive it through a Program-like wait: find its window by class.
  HWND main = nullptr;
  ASSERT_TRUE(
      WaitFor([&] { return (main = ::FindWindowW(L"KeyEntryMain", nullptr)) != nullptr; }, 20000));
  ::PostMessageW(main, WM_CLOSE, 0, 0);
  HWND box = nullptr;
  ASSERT_TRUE(
      WaitFor([&] { return (box = ::FindWindowW(L"#32770", L"按键录入软件")) != nullptr; }, 20000));
  wchar_t text[256] = {};
  ::GetDlgItemTextW(box, 0xFFFF, text, 256);
  EXPECT_EQ(std::wstring(text), L"配置文件SetKey.txt保存失败！");
  ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(WaitFor([&] { return ::FindWindowW(L"KeyEntryMain", nullptr) == nullptr; }, 10000));
}

}  // namespace
}  // namespace keyentry::wintest
