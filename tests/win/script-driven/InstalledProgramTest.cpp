// Driven by tests/win/installer.sh, which installs, upgrades and removes the
// installation package with Wine's msiexec in a Wine prefix of its own, and
// runs this test against the installed program after the installation and
// after the upgrade. Kept out of the ordinary test list: alone it has
// nothing to run against.
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "../Harness.h"
#include "ui/res/resource.h"

namespace keyentry::wintest {
namespace {

std::wstring Environment(const wchar_t* name) {
  wchar_t value[MAX_PATH] = {};
  return ::GetEnvironmentVariableW(name, value, MAX_PATH) ? value : L"";
}

// "major.minor.patch" of the file's version resource.
std::wstring FileVersion(const std::wstring& path) {
  DWORD ignored = 0;
  std::vector<char> data(::GetFileVersionInfoSizeW(path.c_str(), &ignored));
  VS_FIXEDFILEINFO* info = nullptr;
  UINT size = 0;
  if (data.empty() ||
      !::GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(data.size()), data.data()) ||
      !::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &size) || !info) {
    return L"";
  }
  return std::to_wstring(HIWORD(info->dwFileVersionMS)) + L"." +
         std::to_wstring(LOWORD(info->dwFileVersionMS)) + L"." +
         std::to_wstring(HIWORD(info->dwFileVersionLS));
}

// KEYENTRY_INSTALLED_FOLDER: the program folder; KEYENTRY_INSTALLED_VERSION:
// the version the program must have; KEYENTRY_NAME_KEY: the key SetKey.txt
// gives the name (F1..F12). The simulated reader is attached at port 1001
// with the demo card on it.
TEST(InstalledProgram, FindsTheReaderAndTypesTheNameOfTheCard) {
  const std::wstring folder = Environment(L"KEYENTRY_INSTALLED_FOLDER");
  if (folder.empty()) GTEST_SKIP() << "only run by installer.sh";
  const std::wstring key = Environment(L"KEYENTRY_NAME_KEY");
  ASSERT_TRUE(key.size() >= 2 && key[0] == L'F');
  const WORD vk = static_cast<WORD>(VK_F1 + std::stoi(key.substr(1)) - 1);
  const std::wstring exe = folder + L"\\KeyEntry.exe";
  EXPECT_EQ(FileVersion(exe), Environment(L"KEYENTRY_INSTALLED_VERSION"));

  const ScopedEnvironment seams(L"KEYENTRY_TEST_SEAMS", L"1");
  Program program(exe);
  HWND main = program.WaitForMainWindow();
  ASSERT_TRUE(main);
  EXPECT_TRUE(
      WaitFor([&] { return program.Text(IDC_STATUS) == L"端口打开成功！端口：USB1001"; }, 10000))
      << "status: " << ToCodePage(program.Text(IDC_STATUS), CP_UTF8);
  ASSERT_TRUE(WaitFor([&] { return program.Text(IDC_VALUE_NAME) == L"林示范"; }, 10000));
  // The installation's Startup shortcut (AUTOSTART=1) starts this program.
  EXPECT_EQ(SystemMenuItemState(main, IDM_START_AT_LOGON), static_cast<UINT>(MFS_CHECKED));
  TargetEdit target;
  target.Focus();
  PressKey(vk);
  EXPECT_TRUE(target.WaitForText(L"林示范"));
  EXPECT_TRUE(program.Messages().empty());
  program.Close();
  EXPECT_TRUE(program.WaitForExit());
}

}  // namespace
}  // namespace keyentry::wintest
