// The program's folder: scratch files that ended processes left behind, a
// folder deeper than the old path limit, and a start in another folder with
// a reader library that writes its card files into the current folder.
#include <algorithm>
#include <gtest/gtest.h>

#include "Harness.h"
#include "ui/res/resource.h"

namespace keyentry::wintest {
namespace {

std::wstring Number(DWORD n) { return std::to_wstring(n); }

bool Has(const std::vector<std::wstring>& names, const std::wstring& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// The program, started with the demo card on the reader, shows the card and
// F1 types its name.
void ExpectCardReadAndTyped(Program& program) {
  ASSERT_TRUE(program.WaitForMainWindow());
  EXPECT_TRUE(program.Messages().empty());
  EXPECT_EQ(program.Text(IDC_STATUS), L"端口打开成功！端口：USB1001");
  ASSERT_TRUE(WaitFor([&] { return program.Text(IDC_VALUE_NAME) == L"林示范"; }, 5000))
      << "card not shown";
  TargetEdit target;
  target.Focus();
  PressKey(VK_F1);
  EXPECT_TRUE(target.WaitForText(L"林示范"));
}

TEST(ScratchFiles, OrphansOfEndedProcessesAreRemovedAtStartAndNothingElse) {
  // A process that has ended; its handle is kept so that its id is not
  // given to another process meanwhile.
  wchar_t system[MAX_PATH] = {};
  ::GetSystemDirectoryW(system, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(system) + L"\\cmd.exe\" /c exit 0";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION ended{};
  ASSERT_TRUE(::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                               nullptr, nullptr, &si, &ended));
  ::CloseHandle(ended.hThread);
  ASSERT_EQ(::WaitForSingleObject(ended.hProcess, 10000), WAIT_OBJECT_0);
  const std::wstring dead = Number(ended.dwProcessId);
  const std::wstring running = Number(::GetCurrentProcessId());

  Sandbox box;
  box.Write(L"SetKey.txt", kKeyFileF1ToF8);
  const std::vector<std::wstring> orphans = {
      L"SetKey.txt.~KeyEntry-" + dead + L"-0.tmp",
      L"SetKey.txt.~KeyEntry-" + dead + L"-12.tmp",
  };
  const std::vector<std::wstring> others = {
      L"SetKey.txt.~KeyEntry-" + running + L"-0.tmp",  // its process runs
      L"SetKey.txt.~Other-" + dead + L"-0.tmp",
      L"SetKey.txt.~KeyEntry-" + dead + L"-1.tmp.bak",
      L"SetKey.txt.~KeyEntry-" + dead + L"-01.tmp",
      L"~KeyEntry-" + dead + L"-2.tmp",
      L"notes.tmp",
  };
  for (const auto& name : orphans) box.Write(name, "F1");
  for (const auto& name : others) box.Write(name, "F1");
  // A folder of that form is no file of ours either.
  const std::wstring folder = L"SetKey.txt.~KeyEntry-" + dead + L"-3.tmp";
  ASSERT_TRUE(::CreateDirectoryW(box.Path(folder).c_str(), nullptr));

  Program program(box);
  ASSERT_TRUE(program.WaitForMainWindow());
  EXPECT_TRUE(program.Messages().empty());
  const auto names = box.FileNames();
  for (const auto& name : orphans) EXPECT_FALSE(Has(names, name)) << name;
  for (const auto& name : others) EXPECT_TRUE(Has(names, name)) << name;
  EXPECT_NE(::GetFileAttributesW(box.Path(folder).c_str()), INVALID_FILE_ATTRIBUTES);
  program.Close();
  ASSERT_TRUE(program.WaitForExit());
  EXPECT_EQ(box.Read(L"SetKey.txt"), kKeyFileF1ToF8);
  ::CloseHandle(ended.hProcess);
}

// A program file of 260 characters or more cannot be started (Wine's
// CreateProcessW answers "path not found"), so a copy with a short name
// stands in for KeyEntry.exe in the deep folder.
TEST(DeepFolder, ProgramInAFolderOf250CharactersLoadsReadsTypesAndSaves) {
  Sandbox box(250);
  ASSERT_GE(box.Folder().size(), 250u);
  ASSERT_TRUE(::MoveFileW(box.Path(L"KeyEntry.exe").c_str(), box.Path(L"K.exe").c_str()));
  box.Write(L"SetKey.txt", kKeyFileF1ToF8);
  box.AttachReader("1001");
  box.PlaceCard("demo");
  Program program(box, L"", L"K.exe");
  ExpectCardReadAndTyped(program);
  box.Write(L"SetKey.txt", "changed meanwhile");
  program.Close();
  ASSERT_TRUE(program.WaitForExit());
  EXPECT_TRUE(program.Messages().empty());
  EXPECT_EQ(box.Read(L"SetKey.txt"), kKeyFileF1ToF8);
  for (const auto& name : box.FileNames()) {
    EXPECT_TRUE(name == L"K.exe" || name == L"KeyEntryReader.exe" || name == L"SendStr.dll" ||
                name == L"ostra.dll" || name == L"SetKey.txt" || name == L"wz.txt" ||
                name == L"zp.bmp")
        << "left behind: " << name;
  }
}

TEST(StartFolder, CardFilesWrittenToTheCurrentFolderReachTheProgram) {
  Sandbox box;
  Sandbox elsewhere;  // the folder the program is started in
  box.Write(L"SetKey.txt", kKeyFileF1ToF8);
  box.AttachReader("1001");
  box.PlaceCard("demo");
  box.Write(L"reader-sim\\answers.txt", "card_files=current_folder\r\n");
  const auto before = elsewhere.FileNames();
  Program program(box, elsewhere.Folder());
  ExpectCardReadAndTyped(program);
  EXPECT_TRUE(box.Read(L"wz.txt").has_value());
  EXPECT_TRUE(box.Read(L"zp.bmp").has_value());
  program.Close();
  ASSERT_TRUE(program.WaitForExit());
  EXPECT_EQ(elsewhere.FileNames(), before) << "no card file in the start folder";
}

}  // namespace
}  // namespace keyentry::wintest
