// Typing on read (读卡后): a card placed on the simulated reader fills the
// form that has the focus by itself, once per card placed, never into the
// program's own windows, and as each program's section says.
#include <gtest/gtest.h>

#include "Harness.h"
#include "TargetWindows.h"
#include "ui/res/resource.h"

namespace keyentry::wintest {
namespace {

class TypingOnRead : public TypingProgram {
 protected:
  // The program with no card on the reader yet.
  void StartEmpty(const std::wstring& ini) {
    box.RemoveCard();
    Start(ini, false);
  }
  // The card goes on the reader; waits until the program shows it.
  void Place(const std::string& card, const std::wstring& name) {
    box.PlaceCard(card);
    ASSERT_TRUE(WaitFor([&] { return program->Text(IDC_VALUE_NAME) == name; }, 5000));
  }
  // The card is taken off the reader for 2.5 s, as a person lifts it.
  void Lift() {
    box.RemoveCard();
    PumpMessagesFor(2500);
  }
};

TEST_F(TypingOnRead, EachPlacedCardFillsTheFormOnceAndACardLeftOnTheReaderNeverAgain) {
  StartEmpty(L"[模板]\n读卡后 = {姓名}{Tab}{性别}{Tab}{身份证号}{Enter}\n");
  box.MakeCard("other", {L"林小溪", L"男", L"汉", L"19990101", L"江北省", L"990101199901010011",
                         L"临水市", L"2019.01.01-2029.01.01"});
  FormWindow form;
  ASSERT_TRUE(form.Focus());
  Place("test", kCard[0]);
  const std::vector<std::wstring> first = {L"欧阳明月", L"女", L"11010519880315002X"};
  ASSERT_TRUE(WaitFor([&] { return form.submitted.size() == 1; }, 5000));
  PumpMessagesFor(3000);  // ten more polls read the same card
  EXPECT_EQ(form.submitted, (std::vector<std::vector<std::wstring>>{first}));

  // Lifted and placed again: a new card.
  Lift();
  form.Clear();
  ASSERT_TRUE(form.Focus());
  Place("test", kCard[0]);
  ASSERT_TRUE(WaitFor([&] { return form.submitted.size() == 2; }, 5000));

  // Another card right after, with no poll in between that found none.
  form.Clear();
  ASSERT_TRUE(form.Focus());
  Place("other", L"林小溪");
  ASSERT_TRUE(WaitFor([&] { return form.submitted.size() == 3; }, 5000));
  PumpMessagesFor(1000);
  const std::vector<std::wstring> second = {L"林小溪", L"男", L"990101199901010011"};
  EXPECT_EQ(form.submitted, (std::vector<std::vector<std::wstring>>{first, first, second}));
}

// A reader that finds a card lying on it only at every third poll: typed
// once while it lies there, and again when it was lifted and placed again.
TEST_F(TypingOnRead, ABlinkingReaderTypesACardLyingOnItOnce) {
  box.Write(L"reader-sim\\answers.txt", "blink=100\r\n");
  StartEmpty(L"[模板]\n读卡后 = {姓名}{Tab}{性别}{Tab}{身份证号}{Enter}\n");
  FormWindow form;
  ASSERT_TRUE(form.Focus());
  Place("test", kCard[0]);
  ASSERT_TRUE(WaitFor([&] { return form.submitted.size() == 1; }, 5000));
  PumpMessagesFor(4000);  // found about four times more
  EXPECT_EQ(form.submitted.size(), 1u);
  Lift();
  form.Clear();
  ASSERT_TRUE(form.Focus());
  box.PlaceCard("test");
  ASSERT_TRUE(WaitFor([&] { return form.submitted.size() == 2; }, 5000));
  PumpMessagesFor(2000);
  const std::vector<std::wstring> card = {L"欧阳明月", L"女", L"11010519880315002X"};
  EXPECT_EQ(form.submitted, (std::vector<std::vector<std::wstring>>{card, card}));
}

TEST_F(TypingOnRead, NeverIntoTheProgramsOwnWindowAndAsEachProgramSectionSays) {
  // Keys mode: the blank would be a real press of the space bar, which
  // clicks the focused button of a window of the program.
  StartEmpty(
      L"[模板]\n读卡后 = {姓名} {性别}{Enter}\n[输入]\n方式 = 按键\n"
      L"[程序:quiet-target.exe]\n读卡后 =\n"
      L"[程序:form-target.exe]\n读卡后 = {身份证号}\n方式 = 粘贴\n");
  // The main window has the focus when the card comes: nothing for that
  // card, then or later.
  ASSERT_TRUE(BringForward(program->MainWindow(), nullptr));
  Place("test", kCard[0]);
  PumpMessagesFor(1500);
  FormWindow form;
  ASSERT_TRUE(form.Focus());
  PumpMessagesFor(1500);
  EXPECT_EQ(form.Texts(), (std::vector<std::wstring>{L"", L"", L""}));
  EXPECT_TRUE(form.submitted.empty());
  EXPECT_EQ(program->Text(IDC_READ), L"停止读卡");  // the blank would have pressed it

  // A program whose section switches it off; one with a template of its own.
  TargetProgram quiet(box, L"quiet-target.exe");
  TargetProgram own(box, L"form-target.exe");
  Lift();
  ASSERT_TRUE(BringForward(quiet.window, quiet.window));
  Place("test", kCard[0]);
  PumpMessagesFor(1500);
  EXPECT_EQ(quiet.Caption(), L"keys 0 packets 0 pastes 0|");
  Lift();
  ASSERT_TRUE(BringForward(own.window, own.window));
  Place("test", kCard[0]);
  EXPECT_TRUE(WaitFor(
      [&] { return own.Caption() == L"keys 0 packets 0 pastes 1|11010519880315002X"; }, 5000))
      << own.Caption();
}

}  // namespace
}  // namespace keyentry::wintest
