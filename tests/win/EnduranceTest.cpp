// A working day and more in a few minutes: a thousand switches of reading
// and ten thousand card reads, with two cards and photos taking turns, leave
// the program's GDI objects, USER objects and memory where they were.
// The reads are driven as fast as the program takes them by sending its
// window the poll timer's own message, each time waiting for the reader's
// answer to be taken (through the test seam that counts them).
#include <gtest/gtest.h>

#include "Harness.h"
#include "ui/res/resource.h"

namespace keyentry::wintest {
namespace {

struct Resources {
  DWORD gdi;
  DWORD user;
  SIZE_T memory;
};

TEST(Endurance, ThousandSwitchesAndTenThousandReadsLeaveResourcesFlat) {
  const ScopedEnvironment seams(L"KEYENTRY_TEST_SEAMS", L"1");
  Sandbox box;
  box.Write(L"SetKey.txt", kKeyFileF1ToF8);
  box.AttachReader("1001");
  box.PlaceCard("demo");
  Program program(box);
  ASSERT_TRUE(program.WaitForMainWindow());
  HWND main = program.MainWindow();
  ASSERT_TRUE(WaitFor([&] { return program.Text(IDC_VALUE_NAME) == L"林示范"; }, 3000));
  HANDLE process = ::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, program.Pid());
  ASSERT_NE(process, nullptr);
  auto sample = [&] {
    return Resources{::GetGuiResources(process, GR_GDIOBJECTS),
                     ::GetGuiResources(process, GR_USEROBJECTS), CommittedMemory(process)};
  };
  auto send = [&](UINT msg, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutW(main, msg, wParam, lParam, SMTO_NORMAL, 10000, &result) != 0;
  };
  const UINT answersMessage = ::RegisterWindowMessageW(L"KeyEntry.Test.ReaderAnswers");
  auto answers = [&] {
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(main, answersMessage, 0, 0, SMTO_NORMAL, 10000, &result);
    return result;
  };
  // Sends the message, then waits until the reader's answer to it is taken.
  auto sendAndWait = [&](UINT msg, WPARAM wParam, LPARAM lParam) {
    const DWORD_PTR before = answers();
    return send(msg, wParam, lParam) && WaitFor([&] { return answers() > before; }, 10000);
  };
  HWND readButton = ::GetDlgItem(main, IDC_READ);
  auto toggle = [&] {
    return sendAndWait(WM_COMMAND, MAKEWPARAM(IDC_READ, BN_CLICKED),
                       reinterpret_cast<LPARAM>(readButton));
  };
  const char* cards[2] = {"demo", "second"};
  const wchar_t* names[2] = {L"林示范", L"欧阳样例"};
  auto read = [&](int i) {
    box.PlaceCard(cards[i % 2]);
    return sendAndWait(WM_TIMER, 1, 0);
  };

  // Warm up, so that caches and the first allocations are not counted.
  for (int i = 0; i < 20; ++i) ASSERT_TRUE(toggle());
  for (int i = 0; i < 200; ++i) ASSERT_TRUE(read(i));
  PumpMessagesFor(300);
  const Resources before = sample();

  for (int i = 0; i < 1000; ++i) ASSERT_TRUE(toggle()) << "switch " << i;
  EXPECT_EQ(program.Text(IDC_READ), L"停止读卡");
  EXPECT_EQ(program.Text(IDC_STATUS), L"端口打开成功！端口：USB1001");
  const Resources afterSwitching = sample();

  for (int i = 0; i < 10000; ++i) {
    ASSERT_TRUE(read(i)) << "read " << i;
    if (i % 1000 == 999) {
      // A tick of the program's own timer may have read the card before.
      EXPECT_TRUE(WaitFor([&] { return program.Text(IDC_VALUE_NAME) == names[i % 2]; }, 3000))
          << "read " << i;
      PumpMessagesFor(1);
    }
  }
  PumpMessagesFor(300);
  const Resources after = sample();
  ::CloseHandle(process);

  std::printf(
      "GDI objects %lu -> %lu -> %lu, USER objects %lu -> %lu -> %lu, "
      "memory %lu KB -> %lu KB -> %lu KB\n",
      before.gdi, afterSwitching.gdi, after.gdi, before.user, afterSwitching.user, after.user,
      static_cast<unsigned long>(before.memory / 1024),
      static_cast<unsigned long>(afterSwitching.memory / 1024),
      static_cast<unsigned long>(after.memory / 1024));
  EXPECT_LE(after.gdi, before.gdi + 2);
  EXPECT_LE(after.user, before.user + 2);
  // 10,000 photos of 30-40 KB kept by mistake would be 350 MB.
  EXPECT_LT(after.memory, before.memory + 4u * 1024 * 1024);
  EXPECT_LT(afterSwitching.memory, before.memory + 4u * 1024 * 1024);
  EXPECT_TRUE(program.Messages().empty());
  program.Close();
  EXPECT_TRUE(program.WaitForExit());
}

}  // namespace
}  // namespace keyentry::wintest
