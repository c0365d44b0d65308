// The keyboard hook comes back after the system has dropped it. Wine never
// drops a slow hook, so the tests drop it through the program's test seam
// (KEYENTRY_TEST_SEAMS=1), which unhooks it without telling the program.
#include <gtest/gtest.h>

#include "Harness.h"
#include "ui/res/resource.h"

namespace keyentry::wintest {
namespace {

// Asks the program to lose its hook; true when it did.
bool DropHook(const Program& program) {
  return program.AskHookSeam(L"KeyEntry.Test.DropHook") == 1;
}

class HookRecovery : public ::testing::Test {
 protected:
  Sandbox box;
  void SetUp() override {
    ASSERT_EQ(::GetACP(), 936u) << "run with LC_ALL=zh_CN.UTF-8 so the ANSI code page is 936";
    box.Write(L"SetKey.txt", kKeyFileF1ToF8);
    box.MakeCard("test", kShortCard);
    box.AttachReader("1001");
    box.PlaceCard("test");
  }
  std::unique_ptr<Program> Start() {
    auto program = std::make_unique<Program>(box);
    EXPECT_TRUE(program->WaitForMainWindow());
    EXPECT_TRUE(WaitFor([&] { return program->Text(IDC_VALUE_NAME) == L"欧阳明月"; }, 3000));
    EXPECT_TRUE(WaitFor([&] { return program->HookWindow() != nullptr; }, 3000));
    return program;
  }
};

TEST_F(HookRecovery, ADroppedHookComesBackWithinASecondAndTypesOncePerPress) {
  const ScopedEnvironment seams(L"KEYENTRY_TEST_SEAMS", L"1");
  auto program = Start();
  TargetEdit target;
  target.Focus();
  PressKey(VK_F3);
  ASSERT_TRUE(target.WaitForText(L"汉"));
  ASSERT_TRUE(DropHook(*program));

  PressKey(VK_F3);  // the hook is gone: this press may be lost
  PumpMessagesFor(1000);
  target.Clear();
  for (int i = 0; i < 3; ++i) {
    PressKey(VK_F3);
    PumpMessagesFor(300);
  }
  EXPECT_TRUE(target.WaitForText(L"汉汉汉", 2000)) << "got " << target.Text().size() << " chars";
  PumpMessagesFor(300);
  EXPECT_EQ(target.Text(), L"汉汉汉");  // every press typed once, none twice
  // Dropped again, it comes back again.
  ASSERT_TRUE(DropHook(*program));
  PressKey(VK_F3);
  PumpMessagesFor(1000);
  target.Clear();
  PressKey(VK_F2);
  EXPECT_TRUE(target.WaitForText(L"女"));
  program->Close();
  EXPECT_TRUE(program->WaitForExit());
  EXPECT_EQ(program->ExitCode(), 0u);
}

TEST_F(HookRecovery, ReadButtonClicksBringADroppedHookBackBeforeAnyKeyIsPressed) {
  const ScopedEnvironment seams(L"KEYENTRY_TEST_SEAMS", L"1");
  auto program = Start();
  ASSERT_TRUE(DropHook(*program));
  const HWND read = ::GetDlgItem(program->MainWindow(), IDC_READ);
  ClickWithMouse(read);
  ASSERT_TRUE(WaitFor([&] { return program->Text(IDC_STATUS) == L"停止读卡！"; }, 3000));
  ClickWithMouse(read);
  ASSERT_TRUE(
      WaitFor([&] { return program->Text(IDC_STATUS) == L"端口打开成功！端口：USB1001"; }, 3000));
  TargetEdit target;
  target.Focus();
  PressKey(VK_F3);  // the very first press after the clicks
  EXPECT_TRUE(target.WaitForText(L"汉"));
  PumpMessagesFor(300);
  EXPECT_EQ(target.Text(), L"汉");
}

// Nothing else takes the hook away: without the variable the seam is shut,
// and a keyboard left alone for seven seconds still finds the hook there
// (Wine skips the hook of a thread it takes for hung).
TEST_F(HookRecovery, OnlyTheSystemCanTakeTheHookAwayEvenAfterAnIdleSpell) {
  const ScopedEnvironment noSeams(L"KEYENTRY_TEST_SEAMS", nullptr);
  auto program = Start();
  EXPECT_FALSE(DropHook(*program));
  TargetEdit target;
  target.Focus();
  PressKey(VK_F3);
  EXPECT_TRUE(target.WaitForText(L"汉"));
  PumpMessagesFor(7000);
  target.Clear();
  PressKey(VK_F3);
  EXPECT_TRUE(target.WaitForText(L"汉"));
}

}  // namespace
}  // namespace keyentry::wintest
