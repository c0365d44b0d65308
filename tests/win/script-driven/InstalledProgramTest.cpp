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
// gives the name (F1..F12); KEYENTRY_SHARED_KEY (optional): see below. The simulated reader is
// attached at port 1001 with the demo card on it.
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
  // KEYENTRY_SHARED_KEY: the key of a template {姓名} in the site's shared
  // settings file, which the program reads on a thread of its own after the
  // start: pressed again until it types, for at most 10 s.
  const std::wstring shared = Environment(L"KEYENTRY_SHARED_KEY");
  if (!shared.empty()) {
    const WORD sharedVk = static_cast<WORD>(VK_F1 + std::stoi(shared.substr(1)) - 1);
    bool typed = false;
    for (int attempt = 0; attempt < 10 && !typed; ++attempt) {
      PressKey(sharedVk);
      typed = target.WaitForText(L"林示范林示范", 1000);
    }
    EXPECT_TRUE(typed) << "the template of the shared settings file was not typed";
  }
  EXPECT_TRUE(program.Messages().empty());

  // The installed program's self-check, opened as a site script does: its
  // last line says who may change the program folder. Only Windows applies
  // the package's access list (KEYENTRY_EXPECT_LOCKED=1 there); Wine's
  // answer is not checked.
  ::PostMessageW(main, WM_SYSCOMMAND, IDM_SELF_CHECK, 0);
  HWND check = nullptr;
  ASSERT_TRUE(WaitFor(
      [&] { return (check = program.FindTopLevel(L"KeyEntrySelfCheck")) != nullptr; }, 5000));
  const std::wstring status = program.Text(::GetDlgItem(check, IDC_CHECK_STATUS));
  const std::size_t access = status.rfind(L"文件夹权限：");
  ASSERT_NE(access, std::wstring::npos) << ToCodePage(status, CP_UTF8);
  if (Environment(L"KEYENTRY_EXPECT_LOCKED") == L"1") {
    EXPECT_EQ(status.substr(access, status.find_first_of(L"\r\n", access) - access),
              L"文件夹权限：别的用户不能修改程序文件夹（只有管理员、系统或您本人可以）")
        << ToCodePage(status, CP_UTF8);
  }
  ::PostMessageW(check, WM_CLOSE, 0, 0);
  program.Close();
  EXPECT_TRUE(program.WaitForExit());
}

}  // namespace
}  // namespace keyentry::wintest
