// A card text from outside with a field far longer than any card holds: the
// keyboard goes on working, the field is shown and typed cut, and the program
// ends normally with its keys saved.
#include <algorithm>
#include <gtest/gtest.h>

#include "Harness.h"
#include "ui/res/resource.h"

namespace keyentry::wintest {
namespace {

TEST(LongCardField, TenMegabyteAddressStallsNeitherTheKeyboardNorTheProgram) {
  ASSERT_EQ(::GetACP(), 936u) << "run with LC_ALL=zh_CN.UTF-8 so the ANSI code page is 936";
  Sandbox box;
  box.Write(L"SetKey.txt", kKeyFileF1ToF8 + "\r\nF9\r\n");         // rewritten at exit
  const std::wstring pattern = L"江南省临水市青石区杏花巷十八号";  // 15 characters
  const std::string unit = ToCodePage(pattern);
  std::string address;
  address.reserve((10u << 20) + unit.size());
  while (address.size() < (10u << 20)) address += unit;
  std::wstring cut;
  for (int i = 0; i < 9; ++i) cut += pattern;
  cut.resize(128);                     // what a field keeps of it
  box.MakeCard("big", {L"欧阳明月"});  // the folder and the photo
  box.Write(L"reader-sim\\cards\\big\\wz.txt",
            ToCodePage(L"欧阳明月\r\n女\r\n汉\r\n19880315\r\n") + address +
                ToCodePage(L"\r\n990101198803150027\r\n临水市公安局\r\n2016.03.15-2036.03.15\r\n"));
  box.AttachReader("1001");
  box.PlaceCard("big");

  Program program(box);
  ASSERT_TRUE(program.WaitForMainWindow());
  ASSERT_TRUE(WaitFor([&] { return !program.Text(IDC_VALUE_ADDRESS).empty(); }, 5000));
  const std::wstring shown = program.Text(IDC_VALUE_ADDRESS);
  EXPECT_TRUE(shown == cut) << "shown: " << shown.size() << " characters";
  EXPECT_EQ(program.Text(IDC_VALUE_NAME), L"欧阳明月");

  TargetEdit target;
  target.Focus();
  target.ClearKeyDowns();
  const DWORD pressed = ::GetTickCount();
  PressKey(VK_F5);  // the address
  PressKey(VK_F9);  // unassigned
  const auto seen = [&](WPARAM vk) {
    const auto& downs = target.KeyDowns();
    return std::count(downs.begin(), downs.end(), vk);
  };
  ASSERT_TRUE(WaitFor([&] { return seen(VK_F9) > 0; }, 10000));
  const DWORD delay = ::GetTickCount() - pressed;
  EXPECT_LT(delay, 500u) << "F9 reached the application after " << delay << " ms";
  EXPECT_EQ(seen(VK_F9), 1);
  EXPECT_EQ(seen(VK_F5), 0);  // swallowed
  EXPECT_TRUE(target.WaitForText(cut)) << "typed: " << target.Text().size() << " characters";

  program.Close();
  ASSERT_TRUE(program.WaitForExit());
  EXPECT_EQ(program.ExitCode(), 0u);
  EXPECT_EQ(box.Read(L"SetKey.txt"), kKeyFileF1ToF8);
  EXPECT_TRUE(program.Messages().empty());
}

}  // namespace
}  // namespace keyentry::wintest
