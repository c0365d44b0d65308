// 开机时自动运行 of the main window's system menu: the shortcut KeyEntry.lnk in
// the Startup folder of the Wine prefix, made, replaced and deleted, and the
// item's check mark following it.
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>
#include <memory>

#include "Harness.h"
#include "platform/StartupShortcut.h"
#include "ui/res/resource.h"

namespace keyentry::wintest {
namespace {

struct Release {
  void operator()(IUnknown* object) const { object->Release(); }
};

// The program and working folder of a shortcut, read with the shell's link
// object; empty when there is none.
std::pair<std::wstring, std::wstring> ReadShortcut(const std::wstring& path) {
  wchar_t program[MAX_PATH] = {}, folder[MAX_PATH] = {};
  if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return {};
  {
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                       reinterpret_cast<void**>(&link));
    const std::unique_ptr<IShellLinkW, Release> linkOwner(link);
    if (link) link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    const std::unique_ptr<IPersistFile, Release> fileOwner(file);
    if (file && SUCCEEDED(file->Load(path.c_str(), STGM_READ))) {
      link->GetPath(program, MAX_PATH, nullptr, 0);
      link->GetWorkingDirectory(folder, MAX_PATH);
    }
  }
  ::CoUninitialize();
  return {program, folder};
}

// The Startup folder's KeyEntry.lnk (the user's, or the common one, where
// the installation package puts its own), removed before and after the test.
struct StartupShortcutFile {
  explicit StartupShortcutFile(REFKNOWNFOLDERID which = FOLDERID_Startup) {
    PWSTR folder = nullptr;
    ::SHGetKnownFolderPath(which, KF_FLAG_CREATE, nullptr, &folder);
    path = std::wstring(folder ? folder : L"") + L"\\KeyEntry.lnk";
    ::CoTaskMemFree(folder);
    Remove();
  }
  ~StartupShortcutFile() { Remove(); }
  void Remove() const {
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(path.c_str());
  }
  std::wstring path;
};

TEST(StartAtLogon, CheckCreatesTheShortcutAndUncheckRemovesIt) {
  const ScopedEnvironment seams(L"KEYENTRY_TEST_SEAMS", L"1");
  const StartupShortcutFile shortcut;
  Sandbox box;
  box.Write(L"SetKey.txt", kKeyFileF1ToF8);
  ::CreateDirectoryW(box.Path(L"copy").c_str(), nullptr);
  ASSERT_TRUE(::CopyFileW(box.Path(L"KeyEntry.exe").c_str(),
                          box.Path(L"copy\\KeyEntry.exe").c_str(), FALSE));
  const StartupShortcut ofTheCopy(box.Path(L"copy\\KeyEntry.exe"), box.Path(L"copy"));
  Program program(box);
  HWND main = program.WaitForMainWindow();
  ASSERT_TRUE(main);
  auto mark = [&] { return SystemMenuItemState(main, IDM_START_AT_LOGON); };
  // As a click on the item, or a site script posting it, sends it.
  auto command = [&](DWORD timeoutMs = 5000) {
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(main, WM_SYSCOMMAND, IDM_START_AT_LOGON, 0, SMTO_NORMAL, timeoutMs,
                          &result);
  };
  const auto here = std::make_pair(box.Path(L"KeyEntry.exe"), box.Folder());
  const auto theCopy = std::make_pair(box.Path(L"copy\\KeyEntry.exe"), box.Path(L"copy"));

  EXPECT_EQ(mark(), 0u);
  command();
  EXPECT_EQ(ReadShortcut(shortcut.path), here);
  EXPECT_EQ(mark(), static_cast<UINT>(MFS_CHECKED));

  // The other copy takes the shortcut: the mark follows when the menu opens
  // (Alt+Space).
  ASSERT_TRUE(ofTheCopy.Create());
  ASSERT_EQ(ReadShortcut(shortcut.path), theCopy);
  program.Click(IDC_STATUS);
  PressKey(VK_SPACE, {VK_MENU});
  auto menuOpen = [&] {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    ::GetGUIThreadInfo(::GetWindowThreadProcessId(main, nullptr), &info);
    return (info.flags & GUI_INMENUMODE) != 0 && info.hwndMenuOwner == main;
  };
  EXPECT_TRUE(WaitFor(menuOpen, 3000));
  EXPECT_EQ(mark(), 0u);
  PressKey(VK_ESCAPE);  // closes the menu, and the next leaves the menu mode
  PressKey(VK_ESCAPE);
  EXPECT_TRUE(WaitFor([&] { return !menuOpen(); }, 3000));
  command();
  EXPECT_EQ(ReadShortcut(shortcut.path), here) << "the other copy's shortcut is replaced";
  EXPECT_EQ(mark(), static_cast<UINT>(MFS_CHECKED));

  command();
  EXPECT_EQ(::GetFileAttributesW(shortcut.path.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(mark(), 0u);
  EXPECT_TRUE(program.Messages().empty());

  // A read-only shortcut of the other copy stays as it is, and says so once.
  ASSERT_TRUE(ofTheCopy.Create());
  ASSERT_TRUE(::SetFileAttributesW(shortcut.path.c_str(), FILE_ATTRIBUTE_READONLY));
  const std::optional<std::string> before = Win32FileStore().ReadAll(shortcut.path);
  command(300);  // held by the message box until it is answered
  EXPECT_TRUE(WaitFor([&] { return program.AnswerMessageBoxes() > 0; }, 5000));
  PumpMessagesFor(500);
  program.AnswerMessageBoxes();
  ASSERT_EQ(program.Messages().size(), 1u);
  EXPECT_EQ(program.Messages()[0], L"无法创建快捷方式 " + shortcut.path +
                                       L"，开机时不会自动运行本程序。"
                                       L"请检查启动文件夹是否可写，以及同名文件是否为只读。");
  EXPECT_TRUE(program.MessageBoxesWellFormed());
  EXPECT_EQ(Win32FileStore().ReadAll(shortcut.path), before);
  EXPECT_EQ(ReadShortcut(shortcut.path), theCopy);
  EXPECT_EQ(mark(), 0u);
}

// The installation package's shortcut for all users (AUTOSTART=1) in the
// common Startup folder: the item is checked and says so, and choosing it
// explains instead of touching that shortcut or making one of the user's.
TEST(StartAtLogon, TheInstallationsShortcutForAllUsersIsShownAndLeftAlone) {
  const ScopedEnvironment seams(L"KEYENTRY_TEST_SEAMS", L"1");
  const StartupShortcutFile own;
  const StartupShortcutFile common(FOLDERID_CommonStartup);
  Sandbox box;
  box.Write(L"SetKey.txt", kKeyFileF1ToF8);
  {
    ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                       reinterpret_cast<void**>(&link));
    const std::unique_ptr<IShellLinkW, Release> linkOwner(link);
    ASSERT_TRUE(link);
    link->SetPath(box.Path(L"KeyEntry.exe").c_str());
    link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    const std::unique_ptr<IPersistFile, Release> fileOwner(file);
    ASSERT_TRUE(file && SUCCEEDED(file->Save(common.path.c_str(), TRUE)));
  }
  ::CoUninitialize();
  Program program(box);
  HWND main = program.WaitForMainWindow();
  ASSERT_TRUE(main);
  const auto items = SystemMenuItems(main);
  ASSERT_FALSE(items.empty());
  EXPECT_EQ(items.back(), std::make_pair(static_cast<UINT>(IDM_START_AT_LOGON),
                                         std::wstring(L"开机时自动运行（安装时已设置）")));
  EXPECT_EQ(SystemMenuItemState(main, IDM_START_AT_LOGON), static_cast<UINT>(MFS_CHECKED));

  DWORD_PTR result = 0;
  ::SendMessageTimeoutW(main, WM_SYSCOMMAND, IDM_START_AT_LOGON, 0, SMTO_NORMAL, 300, &result);
  EXPECT_TRUE(WaitFor([&] { return program.AnswerMessageBoxes() > 0; }, 5000));
  ASSERT_EQ(program.Messages().size(), 1u);
  EXPECT_EQ(program.Messages()[0], L"开机时自动运行是安装本程序时为本机所有用户设置的（快捷方式 " +
                                       common.path +
                                       L"），在这里不能关闭。要关闭它，请管理员用 AUTOSTART=0 "
                                       L"重新安装本程序。");
  EXPECT_EQ(ReadShortcut(common.path).first, box.Path(L"KeyEntry.exe"));
  EXPECT_EQ(::GetFileAttributesW(own.path.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(SystemMenuItemState(main, IDM_START_AT_LOGON), static_cast<UINT>(MFS_CHECKED));
}

}  // namespace
}  // namespace keyentry::wintest
