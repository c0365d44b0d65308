// The reader library lives in KeyEntryReader.exe: a crash or a hang inside
// it never takes the program down, stalls its window or its keys, or keeps
// it from ending.
#include <windows.h>

#include <tlhelp32.h>

#include <gtest/gtest.h>
#include <vector>

#include "Harness.h"
#include "ui/res/resource.h"

namespace keyentry::wintest {
namespace {

const std::wstring kCrashed = L"读卡器程序意外退出，正在重新连接…";
const std::wstring kPortOpened = L"端口打开成功！端口：USB1001";
const std::wstring kRefused =
    L"这张卡多次读取失败（读卡库崩溃），已停止读取。请取下卡片后重新放置。";

bool WindowAnswers(HWND main) {
  DWORD_PTR result = 0;
  return ::SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 500, &result) != 0;
}

TEST(ReaderHelper, ACrashAndAHangInsideTheLibraryLeaveTheProgramWorking) {
  Sandbox box;
  box.Write(L"SetKey.txt", kKeyFileF1ToF8 + "\r\n");  // rewritten without the last CR LF
  box.AttachReader("1001");
  box.PlaceCard("demo");
  Program program(box);
  ASSERT_TRUE(program.WaitForMainWindow());
  ASSERT_TRUE(WaitFor([&] { return program.Text(IDC_VALUE_NAME) == L"林示范"; }, 5000));
  EXPECT_EQ(ReaderHelpersOf(program.Pid()), 1);
  TargetEdit target;

  // A crash inside every read: the program stays, says so, and keeps the card.
  box.Write(L"reader-sim\\faults.txt", "crash=Read_Content\r\n");
  ASSERT_TRUE(WaitFor([&] { return Count(box.ReaderCalls(), "-> crash") >= 1; }, 10000));
  ASSERT_TRUE(WaitFor([&] { return program.Text(IDC_STATUS) == kCrashed; }, 3000));
  EXPECT_TRUE(program.Running());
  EXPECT_TRUE(WindowAnswers(program.MainWindow()));
  EXPECT_EQ(program.Text(IDC_VALUE_NAME), L"林示范");
  target.Focus();
  PressKey(VK_F1);
  EXPECT_TRUE(target.WaitForText(L"林示范", 3000));

  // The library works again: the next card is read, the status line is back.
  box.PlaceCard("second");
  box.Remove(L"reader-sim\\faults.txt");
  EXPECT_TRUE(WaitFor([&] { return program.Text(IDC_VALUE_NAME) == L"欧阳样例"; }, 10000));
  EXPECT_TRUE(WaitFor([&] { return program.Text(IDC_STATUS) == kPortOpened; }, 3000));
  EXPECT_EQ(ReaderHelpersOf(program.Pid()), 1);

  // A read that hangs for a minute: the window answers, the keys type.
  box.Write(L"reader-sim\\faults.txt", "hang=Read_Content,60000\r\n");
  box.PlaceCard("demo");
  const int readsBefore = Count(box.ReaderCalls(), "Read_Content 4 ->");
  ASSERT_TRUE(WaitFor(
      [&] {
        const std::string calls = box.ReaderCalls();
        return Count(calls, "Authenticate -> 1") > Count(calls, "Read_Content 4 ->");
      },
      5000));
  PumpMessagesFor(1000);
  EXPECT_TRUE(WindowAnswers(program.MainWindow()));
  target.Clear();
  target.Focus();
  PressKey(VK_F1);
  EXPECT_TRUE(target.WaitForText(L"欧阳样例", 3000));

  // The exit button ends the program at once, the key file written.
  const DWORD clicked = ::GetTickCount();
  program.Click(IDC_EXIT);
  ASSERT_TRUE(program.WaitForExit(10000));
  const DWORD took = ::GetTickCount() - clicked;
  EXPECT_LT(took, 5000u) << "exit waited for the hung read";
  EXPECT_EQ(box.Read(L"SetKey.txt"), kKeyFileF1ToF8);
  EXPECT_EQ(Count(box.ReaderCalls(), "Read_Content 4 ->"), readsBefore)
      << "the hung read never returned";
  EXPECT_EQ(ReaderHelpersOf(program.Pid()), 0);
  EXPECT_TRUE(program.Messages().empty());
}

TEST(ReaderHelper, AChattyLibraryReadsAndTypesWithNoRestart) {
  Sandbox box;
  box.Write(L"SetKey.txt", kKeyFileF1ToF8);
  box.Write(L"reader-sim\\answers.txt", "chatty=1\r\n");
  box.AttachReader("1001");
  Program program(box);
  ASSERT_TRUE(program.WaitForMainWindow());
  EXPECT_EQ(program.Text(IDC_STATUS), kPortOpened);
  box.PlaceCard("demo");
  ASSERT_TRUE(WaitFor([&] { return program.Text(IDC_VALUE_NAME) == L"林示范"; }, 5000));
  box.PlaceCard("second");
  ASSERT_TRUE(WaitFor([&] { return program.Text(IDC_VALUE_NAME) == L"欧阳样例"; }, 5000));
  TargetEdit target;
  target.Focus();
  PressKey(VK_F1);
  EXPECT_TRUE(target.WaitForText(L"欧阳样例", 3000));
  // One helper all along: the port was opened once, by the search.
  const std::string calls = box.ReaderCalls();
  EXPECT_EQ(Count(calls, "InitComm 1001 -> 1"), 1) << calls;
  EXPECT_EQ(Count(calls, "Read_Content 4 -> 1"), 2) << calls;
  EXPECT_EQ(program.Text(IDC_STATUS), kPortOpened);
  EXPECT_EQ(ReaderHelpersOf(program.Pid()), 1);
  program.Close();
  EXPECT_TRUE(program.WaitForExit());
}

TEST(ReaderHelper, AReaderBehindAPortThatBlocksIsFoundWhileTheWindowAnswers) {
  Sandbox box;
  box.Write(L"SetKey.txt", kKeyFileF1ToF8);
  box.Write(L"reader-sim\\delay_ms.txt", "InitComm:2=20000\r\n");
  box.AttachReader("2 7");  // the stuck port answers too, but only after 20 s
  box.PlaceCard("demo");
  Program program(box);
  // The window comes up while the search waits on COM2, names the port it
  // tries, and answers meanwhile.
  const std::wstring kTryingCom2 = L"正在查找读卡器：COM2…";
  ASSERT_TRUE(WaitFor([&] { return program.WaitForMainWindow(200) != nullptr; }, 20000));
  ASSERT_TRUE(WaitFor([&] { return program.Text(IDC_STATUS) == kTryingCom2; }, 20000));
  int answeredDuringTheWait = 0;
  const DWORD since = ::GetTickCount();
  while (program.Text(IDC_STATUS) == kTryingCom2 && ::GetTickCount() - since < 30000) {
    ASSERT_TRUE(WindowAnswers(program.MainWindow()));
    if (program.Text(IDC_STATUS) == kTryingCom2) ++answeredDuringTheWait;
    PumpMessagesFor(200);
  }
  EXPECT_GE(answeredDuringTheWait, 1);
  ASSERT_TRUE(
      WaitFor([&] { return program.Text(IDC_STATUS) == L"端口打开成功！端口：COM7"; }, 20000));
  EXPECT_EQ(program.Text(IDC_READ), L"停止读卡");
  EXPECT_TRUE(WaitFor([&] { return program.Text(IDC_VALUE_NAME) == L"林示范"; }, 5000));
  const std::string calls = box.ReaderCalls();
  EXPECT_EQ(Count(calls, "InitComm 2 ->"), 0) << "the blocked opening was cut short";
  EXPECT_EQ(Count(calls, "InitComm 3 -> 0"), 1) << calls;
  EXPECT_EQ(ReaderHelpersOf(program.Pid()), 1);
  program.Close();
  EXPECT_TRUE(program.WaitForExit());
}

TEST(ReaderHelper, ACardThatCrashesEveryReadCausesOnlyAFewRestarts) {
  Sandbox box;
  box.Write(L"SetKey.txt", kKeyFileF1ToF8);
  box.AttachReader("1001");
  Program program(box);
  ASSERT_TRUE(program.WaitForMainWindow());
  ASSERT_EQ(program.Text(IDC_STATUS), kPortOpened);
  box.Write(L"reader-sim\\faults.txt", "crash=Read_Content\r\n");
  box.PlaceCard("demo");
  ASSERT_TRUE(WaitFor([&] { return Count(box.ReaderCalls(), "-> crash") >= 1; }, 5000));
  PumpMessagesFor(20000);
  const std::string calls = box.ReaderCalls();
  // Three crashes, the fresh helpers after them, and no reading since.
  EXPECT_EQ(Count(calls, "-> crash"), 3) << calls;
  EXPECT_EQ(Count(calls, "InitComm 1001 -> 1"), 4) << calls;
  EXPECT_GT(Count(calls, "Authenticate -> 1"), 20) << "polling went on";
  EXPECT_EQ(program.Text(IDC_STATUS), kRefused);
  EXPECT_TRUE(program.Text(IDC_VALUE_NAME).empty());
  // Taken off and another card laid on: read at once.
  box.Remove(L"reader-sim\\faults.txt");
  box.RemoveCard();
  ASSERT_TRUE(WaitFor([&] { return Count(box.ReaderCalls(), "Authenticate -> 0") >= 1; }, 5000));
  box.PlaceCard("second");
  EXPECT_TRUE(WaitFor([&] { return program.Text(IDC_VALUE_NAME) == L"欧阳样例"; }, 5000));
  EXPECT_TRUE(WaitFor([&] { return program.Text(IDC_STATUS) == kPortOpened; }, 3000));
  program.Close();
  EXPECT_TRUE(program.WaitForExit());
}

// The handles a process holds, from the system's list of all handles
// (GetProcessHandleCount answers 0 under Wine); 0 when it cannot be read.
DWORD HandlesOf(DWORD pid) {
  struct Entry {
    ULONG ownerPid;
    BYTE objectType;
    BYTE flags;
    USHORT value;
    PVOID object;
    ULONG access;
  };
  struct List {
    ULONG count;
    Entry entries[1];
  };
  using Query = LONG(WINAPI*)(int, PVOID, ULONG, PULONG);
  const auto query = reinterpret_cast<Query>(reinterpret_cast<void (*)()>(
      ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
  if (!query) return 0;
  constexpr int kSystemHandleInformation = 16;
  std::vector<unsigned char> buffer(1u << 20);
  ULONG needed = 0;
  while (query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
               &needed) != 0) {
    if (buffer.size() >= (64u << 20)) return 0;
    buffer.resize(buffer.size() * 2);
  }
  const auto* list = reinterpret_cast<const List*>(buffer.data());
  DWORD n = 0;
  for (ULONG i = 0; i < list->count; ++i) {
    if (list->entries[i].ownerPid == pid) ++n;
  }
  return n;
}

TEST(ReaderHelper, AHundredRestartsLeakNoHandlesAndNoMemory) {
  Sandbox box;
  box.Write(L"SetKey.txt", kKeyFileF1ToF8);
  box.AttachReader("1001");
  box.PlaceCard("demo");
  Program program(box);
  ASSERT_TRUE(program.WaitForMainWindow());
  ASSERT_TRUE(WaitFor([&] { return program.Text(IDC_VALUE_NAME) == L"林示范"; }, 5000));
  HANDLE process = ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, program.Pid());
  ASSERT_NE(process, nullptr);
  const DWORD pid = program.Pid();
  auto handles = [pid] { return HandlesOf(pid); };
  // Every read crashes: a fresh helper for every card. The card is lifted
  // after each crash, so that the next one is read (and crashes) at once.
  box.Write(L"reader-sim\\faults.txt", "crash=Read_Content\r\n");
  auto crashes = [&] { return Count(box.ReaderCalls(), "-> crash"); };
  auto crashOnce = [&] {
    const int before = crashes();
    const int lifted = Count(box.ReaderCalls(), "Authenticate -> 0");
    box.PlaceCard("demo");
    const bool crashed = WaitFor([&] { return crashes() > before || !program.Running(); }, 10000);
    box.RemoveCard();
    return crashed &&
           WaitFor([&] { return Count(box.ReaderCalls(), "Authenticate -> 0") > lifted; }, 10000);
  };
  for (int i = 0; i < 10; ++i) ASSERT_TRUE(crashOnce());
  const DWORD handlesBefore = handles();
  const SIZE_T memoryBefore = CommittedMemory(process);
  for (int i = 0; i < 100 && program.Running(); ++i) ASSERT_TRUE(crashOnce());
  PumpMessagesFor(500);
  const DWORD handlesAfter = handles();
  const SIZE_T memoryAfter = CommittedMemory(process);
  std::printf("handles %lu -> %lu, memory %lu KB -> %lu KB over %d restarts\n", handlesBefore,
              handlesAfter, static_cast<unsigned long>(memoryBefore / 1024),
              static_cast<unsigned long>(memoryAfter / 1024), crashes() - 10);
  EXPECT_TRUE(program.Running());
  EXPECT_GT(handlesBefore, 0u);
  EXPECT_LE(handlesAfter, handlesBefore + 5);
  EXPECT_LT(memoryAfter, memoryBefore + 2u * 1024 * 1024);
  EXPECT_LE(ReaderHelpersOf(program.Pid()), 1);
  ::CloseHandle(process);
  box.Remove(L"reader-sim\\faults.txt");
  program.Close();
  EXPECT_TRUE(program.WaitForExit());
}

}  // namespace
}  // namespace keyentry::wintest
