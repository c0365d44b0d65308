// Keys keep working while the reader is slow: a card read of two seconds
// never holds up a key press, nor the window.
#include <gtest/gtest.h>

#include "Harness.h"
#include "ui/res/resource.h"

namespace keyentry::wintest {
namespace {

int Count(const std::string& text, const char* what) {
  int n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// True while a card read is under way: the reader has said a card lies on
// it and the read has not answered yet (the simulated reader logs each
// call as it returns).
bool ReadUnderWay(const Sandbox& box) {
  const std::string calls = box.ReaderCalls();
  return Count(calls, "Authenticate -> 1") > Count(calls, "Read_Content 4 ->");
}

bool WindowAnswers(HWND main) {
  DWORD_PTR result = 0;
  return ::SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 500, &result) != 0;
}

class SlowReader : public ::testing::Test {
 protected:
  Sandbox box;
  std::unique_ptr<Program> program;

  void SetUp() override {
    box.Write(L"SetKey.txt", kKeyFileF1ToF8);
    box.AttachReader("1001");
    box.PlaceCard("demo");
    program = std::make_unique<Program>(box);
    ASSERT_TRUE(program->WaitForMainWindow());
    ASSERT_TRUE(WaitFor([&] { return program->Text(IDC_VALUE_NAME) == L"林示范"; }, 3000));
    // From now on every read takes two seconds.
    box.Write(L"reader-sim\\delay_ms.txt", "Read_Content=2000\r\n");
  }
  void TearDown() override {
    box.Remove(L"reader-sim\\delay_ms.txt");
    if (program) {
      program->Close();
      program->WaitForExit(15000);
    }
  }
  bool WaitUntilReading() {
    return WaitFor([&] { return ReadUnderWay(box); }, 6000);
  }
  int ReadsDone() const {
    const std::string calls = box.ReaderCalls();
    int n = 0;
    for (auto at = calls.find("Read_Content 4 -> 1"); at != std::string::npos;
         at = calls.find("Read_Content 4 -> 1", at + 1))
      ++n;
    return n;
  }
};

TEST_F(SlowReader, KeysAreHandledAtOnceDuringATwoSecondRead) {
  TargetEdit target;
  target.Focus();
  ASSERT_TRUE(WaitUntilReading());
  const DWORD pressed = ::GetTickCount();
  PressKey(VK_F1);
  EXPECT_TRUE(target.WaitForText(L"林示范", 1500));
  const DWORD typed = ::GetTickCount() - pressed;
  EXPECT_LT(typed, 500u) << "typing waited for the read";
  EXPECT_TRUE(ReadUnderWay(box)) << "the read was over before the key";
  EXPECT_TRUE(WindowAnswers(program->MainWindow())) << "the window waited for the read";

  target.ClearKeyDowns();
  ASSERT_TRUE(WaitUntilReading());
  const DWORD pressedF9 = ::GetTickCount();
  PressKey(VK_F9);  // unassigned
  EXPECT_TRUE(WaitFor([&] { return !target.KeyDowns().empty(); }, 1500));
  EXPECT_LT(::GetTickCount() - pressedF9, 500u) << "an unassigned key waited for the read";
  EXPECT_EQ(target.KeyDowns(), std::vector<WPARAM>{VK_F9});
}

TEST_F(SlowReader, KeysStillTypeAfterAHundredSlowReads) {
  TargetEdit target;
  target.Focus();
  const int start = ReadsDone();
  int checks = 0;
  while (ReadsDone() - start < 100) {
    ASSERT_TRUE(program->Running());
    ASSERT_TRUE(WaitFor([&] { return ReadsDone() - start >= 100 || ReadUnderWay(box); }, 6000));
    if ((ReadsDone() - start) / 10 >= checks && ReadsDone() - start < 100) {
      // Every tenth read: a key pressed in the middle of it still types.
      ++checks;
      target.Clear();
      target.Focus();
      PressKey(VK_F3);
      EXPECT_TRUE(target.WaitForText(L"汉", 1000)) << "after " << ReadsDone() - start << " reads";
    }
    PumpMessagesFor(500);
  }
  target.Clear();
  target.Focus();
  PressKey(VK_F2);
  EXPECT_TRUE(target.WaitForText(L"男", 1000));
  EXPECT_GE(checks, 10);
  EXPECT_TRUE(program->Messages().empty());
}

}  // namespace
}  // namespace keyentry::wintest
