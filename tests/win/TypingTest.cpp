// Templates and typing modes in the running program, with real key presses:
// a form whose Tab and Enter keys move the focus and submit, one whose focus
// moves late (as a browser's does), a window like a remote-desktop client
// (reads real key presses only, pastes on Ctrl+V) that can also take digits
// and X only, and the same test executable started under two other names.
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>

#include "Harness.h"
#include "TargetWindows.h"
#include "platform/Clipboard.h"
#include "platform/Handles.h"
#include "ui/res/resource.h"

namespace keyentry::wintest {
namespace {

using Typing = TypingProgram;

TEST_F(Typing, AHeldKeyFillsAFormOnceWithTabAndEnterF13WorksAndAFieldKeepsItsKey) {
  Start(
      L"[模板]\nF9 = {姓名}{Tab}{性别}{Tab}{身份证号}{Enter}\nF13 = {出生日期:yyyy年M月d日}\n"
      L"F1 = 模板一\n");
  ASSERT_EQ(program->Messages().size(), 1u);
  EXPECT_NE(program->Messages()[0].find(L"第 4 行：F1 = 模板一"), std::wstring::npos);
  EXPECT_NE(program->Messages()[0].find(L"按键 F1 已在 SetKey.txt 中分配给“姓名”"),
            std::wstring::npos);
  FormWindow form;
  ASSERT_TRUE(form.Focus());
  for (int i = 0; i < 5; ++i) SendKey(VK_F9, false);  // held: the key repeats
  SendKey(VK_F9, true);
  ASSERT_TRUE(WaitFor([&] { return !form.submitted.empty(); }, 5000));
  PumpMessagesFor(500);
  const std::vector<std::vector<std::wstring>> once = {{L"欧阳明月", L"女", L"11010519880315002X"}};
  EXPECT_EQ(form.submitted, once);
  form.Clear();
  ASSERT_TRUE(form.Focus());
  PressKey(VK_F13);
  PressKey(VK_F1);
  EXPECT_TRUE(WaitFor([&] { return form.Texts()[0] == L"1988年3月15日欧阳明月"; }, 5000));
}

TEST_F(Typing, WithAFieldDelayALateFocusGetsEveryValueAndAssignedKeysWaitMeanwhile) {
  Start(L"[模板]\nF9 = {姓名}{Tab}{民族}{Tab}{性别}{Enter}\n[输入]\n字段间隔 = 120\n");
  FormWindow form(30);  // the focus follows 30 ms after a Tab
  ASSERT_TRUE(form.Focus());
  PressKey(VK_F9);
  PressKey(VK_F2);  // while the template types
  ASSERT_TRUE(WaitFor([&] { return !form.submitted.empty(); }, 5000));
  const std::vector<std::wstring> filled = {L"欧阳明月", L"汉", L"女"};
  EXPECT_EQ(form.submitted[0], filled);
  // F2 waited its turn: typed after the whole form, into the box that has
  // the focus then.
  const std::vector<std::wstring> then = {L"欧阳明月", L"汉", L"女女"};
  EXPECT_TRUE(WaitFor([&] { return form.Texts() == then; }, 3000));
}

TEST_F(Typing, PasteModeFillsARemoteLikeWindowAndTheClipboardKeepsTextAndPictures) {
  Start(L"[输入]\n方式 = 粘贴\n");
  ASSERT_TRUE(CopyText(L"操作员复制的文字"));
  RemoteLikeWindow remote;
  ASSERT_TRUE(remote.Focus());
  PressKey(VK_F5);
  EXPECT_TRUE(WaitFor([&] { return remote.text == L"江南省临水市青石区杏花巷十八号"; }, 3000));
  EXPECT_EQ(remote.pastes, 1);
  EXPECT_EQ(remote.packets, 0);
  EXPECT_TRUE(WaitFor([] { return ClipboardText() == L"操作员复制的文字"; }, 3000));

  const DWORD colours[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
  ASSERT_TRUE(Copy(CF_BITMAP, ::CreateBitmap(2, 2, 1, 32, colours)));
  const std::vector<char> picture = Held(CF_DIB);
  ASSERT_GT(picture.size(), 40u + 16u);
  remote.text.clear();
  PressKey(VK_F1);
  EXPECT_TRUE(WaitFor([&] { return remote.text == L"欧阳明月"; }, 3000));
  // Put back: the same picture, and no text.
  EXPECT_TRUE(WaitFor([] { return ClipboardText() == L"(none)"; }, 3000));
  EXPECT_EQ(Held(CF_DIB), picture);
  EXPECT_TRUE(::IsClipboardFormatAvailable(CF_BITMAP));
}

TEST_F(Typing, KeysModeTypesDigitsSignsAndLettersAsRealKeys) {
  // A window that takes real key presses only: what has no key on the
  // layout (the name) comes as Unicode events, which it drops.
  Start(L"[模板]\nF9 = {身份证号} Ab-{姓名}\n[输入]\n方式 = 按键\n");
  RemoteLikeWindow remote;
  ASSERT_TRUE(remote.Focus());
  PressKey(VK_F9);
  EXPECT_TRUE(WaitFor([&] { return remote.text == L"11010519880315002X Ab-"; }, 3000))
      << remote.text;
  EXPECT_EQ(remote.keys, 22);    // 17 digits, X, the blank, A, b and the hyphen
  EXPECT_EQ(remote.packets, 4);  // the name's four characters
  remote.text.clear();
  remote.digitsOnly = true;
  PressKey(VK_F6);
  EXPECT_TRUE(WaitFor([&] { return remote.text == L"11010519880315002X"; }, 3000)) << remote.text;
  EXPECT_EQ(remote.refused, 0);
}

// Waits that end as soon as the text is there; the bound only stops a test
// that will never pass. Three programs share the two cores here, and a test
// of this kind once ran out of 3 s while other builds loaded the machine.
constexpr DWORD kLoadedMachineMs = 15000;

TEST_F(Typing, EachProgramGetsTheModeOfItsOwnSection) {
  Start(
      L"[输入]\n方式 = 字符\n[程序:Keys-Target.EXE]\n方式 = 按键\n[程序:paste-target]\n方式 = "
      L"粘贴\n[模板]\nF9 = {姓名}{Tab}{民族}\n");
  // This test program has no section: Unicode events, as ever.
  TargetEdit own;
  own.Focus();
  own.ClearKeyDowns();
  PressKey(VK_F3);
  EXPECT_TRUE(own.WaitForText(L"汉"));
  EXPECT_EQ(own.KeyDowns(), std::vector<WPARAM>{VK_PACKET});
  TargetProgram keys(box, L"keys-target.exe");
  TargetProgram paste(box, L"paste-target.exe");
  ASSERT_TRUE(BringForward(keys.window, keys.window));
  PressKey(VK_F6);
  EXPECT_TRUE(
      WaitFor([&] { return keys.Caption() == L"keys 18 packets 0 pastes 0|11010519880315002X"; },
              kLoadedMachineMs))
      << keys.Caption();
  ASSERT_TRUE(CopyText(L"原有内容"));
  ASSERT_TRUE(BringForward(paste.window, paste.window));
  PressKey(VK_F9);  // two pastes with a real Tab between
  EXPECT_TRUE(WaitFor([&] { return paste.Caption() == L"keys 1 packets 0 pastes 2|欧阳明月\t汉"; },
                      kLoadedMachineMs))
      << paste.Caption();
  EXPECT_TRUE(WaitFor([] { return ClipboardText() == L"原有内容"; }, kLoadedMachineMs))
      << ClipboardText();
}

}  // namespace
}  // namespace keyentry::wintest
