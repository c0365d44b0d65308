// The reader as real ones are: reads that take a second, a reader that
// blinks, a stop whose message box runs its own loop, a driver that hangs
// at exit.
#include <windows.h>

#include <tlhelp32.h>

#include <gtest/gtest.h>

#include "Harness.h"
#include "TargetWindows.h"
#include "ui/res/resource.h"

namespace keyentry::wintest {
namespace {

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// Whether the program has a reader helper running now.
bool HelperRunning(DWORD pid) {
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  bool found = false;
  for (BOOL more = ::Process32FirstW(snapshot, &entry); more && !found;
       more = ::Process32NextW(snapshot, &entry)) {
    found =
        entry.th32ParentProcessID == pid && lstrcmpiW(entry.szExeFile, L"KeyEntryReader.exe") == 0;
  }
  ::CloseHandle(snapshot);
  return found;
}

class ReaderOrder : public TypingProgram {};

// Found at every second poll, each read 1 to 1.3 s: the reads are no time
// without a card, and the card is typed once.
TEST_F(ReaderOrder, ACardLeftOnABlinkingReaderWithSlowReadsIsTypedOnce) {
  box.Write(L"reader-sim\\answers.txt", "blink=10\r\n");
  box.Write(L"reader-sim\\delay_ms.txt", "Read_Content=1000-1300\r\n");
  box.RemoveCard();
  Start(L"[模板]\n读卡后 = {姓名}{Tab}{性别}{Tab}{身份证号}{Enter}\n", false);
  FormWindow form;
  ASSERT_TRUE(form.Focus());
  box.PlaceCard("test");
  ASSERT_TRUE(WaitFor([&] { return form.submitted.size() == 1; }, 8000));
  PumpMessagesFor(10000);
  const std::vector<std::wstring> card = {L"欧阳明月", L"女", L"11010519880315002X"};
  EXPECT_EQ(form.submitted, (std::vector<std::vector<std::wstring>>{card}));
  // Read again and again meanwhile, with polls that found none between.
  const std::string calls = box.ReaderCalls();
  EXPECT_GE(Count(calls, "Read_Content 4 -> 1"), 4u);
  EXPECT_GE(Count(calls, "Authenticate -> 0"), 4u);
}

// The stop's reload finds a short SetKey.txt and shows its message box; the
// poll timer fires inside it and a poll is under way when the box closes.
// The search takes longer than a poll period, as a real port does.
// Afterwards reading is off, and stays off.
TEST_F(ReaderOrder, AStopWhoseMessageBoxIsOpenStopsPolling) {
  box.Write(L"reader-sim\\delay_ms.txt", "Authenticate=2000\r\nInitComm=600\r\n");
  Start(L"", false);
  ASSERT_TRUE(WaitFor([&] { return program->Text(IDC_READ) == L"停止读卡"; }, 10000));
  box.Write(L"SetKey.txt", "F1\r\nF2\r\n");
  program->Click(IDC_READ);  // real input
  ASSERT_TRUE(WaitFor([&] { return program->FindTopLevel(L"#32770") != nullptr; }, 10000));
  // Polls go on inside the box; it is closed a little after one answered,
  // while the next is under way.
  const size_t before = Count(box.ReaderCalls(), "Authenticate");
  ASSERT_TRUE(WaitFor([&] { return Count(box.ReaderCalls(), "Authenticate") > before; }, 10000));
  PumpMessagesFor(800);
  EXPECT_EQ(program->AnswerMessageBoxes(), 1);
  ASSERT_TRUE(WaitFor([&] { return program->Text(IDC_STATUS) == L"停止读卡！"; }, 15000));
  // The poll under way at the close answers, the search after it.
  PumpMessagesFor(2500);
  const size_t stopped = Count(box.ReaderCalls(), "Authenticate");
  PumpMessagesFor(5000);
  EXPECT_EQ(Count(box.ReaderCalls(), "Authenticate"), stopped);
  EXPECT_EQ(program->Text(IDC_STATUS), L"停止读卡！");
  EXPECT_EQ(program->Text(IDC_READ), L"开始读卡");
}

// A helper hanging in the driver at exit: the keys are saved first, while
// the helper still runs, and the program still ends.
TEST_F(ReaderOrder, AtExitTheKeysAreSavedBeforeTheHangingHelperIsEnded) {
  Start(L"");
  box.Write(L"reader-sim\\faults.txt", "hang=CloseComm,60000\r\n");
  box.Remove(L"SetKey.txt");
  ASSERT_TRUE(HelperRunning(program->Pid()));
  program->Close();
  ASSERT_TRUE(WaitFor([&] { return box.Read(L"SetKey.txt").has_value(); }, 10000));
  EXPECT_TRUE(HelperRunning(program->Pid())) << "the helper was ended before the keys were saved";
  ASSERT_TRUE(program->WaitForExit());
  EXPECT_EQ(box.Read(L"SetKey.txt"), kKeyFileF1ToF8);
}

}  // namespace
}  // namespace keyentry::wintest
