// The counter checks on the operator's road: cards placed one after the
// other on the simulated reader, the warning line of the main window for
// each, typing on read held for the warned ones, the codes and keys for
// forms typed by templates.
#include <gtest/gtest.h>

#include "Harness.h"
#include "TargetWindows.h"
#include "ui/res/resource.h"

namespace keyentry::wintest {
namespace {

// An identity number with its check character (national standard).
std::wstring WithCheckCharacter(const std::wstring& first17) {
  static const int kWeights[17] = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
  int sum = 0;
  for (int i = 0; i < 17; ++i) sum += (first17[i] - L'0') * kWeights[i];
  return first17 + L"10X98765432"[sum % 11];
}

class CardChecks : public TypingProgram {
 protected:
  std::wstring Warning() const { return program->Text(IDC_CARD_WARNING); }
  bool WarningShown() const {
    return ::IsWindowVisible(::GetDlgItem(program->MainWindow(), IDC_CARD_WARNING)) != FALSE;
  }
  // The card goes on the reader (the last one taken off first, long enough
  // to count as lifted: two cards may share a number here); waits until the
  // program shows it.
  void Place(const std::string& card, const std::wstring& number) {
    box.RemoveCard();
    PumpMessagesFor(2200);
    box.PlaceCard(card);
    ASSERT_TRUE(WaitFor([&] { return program->Text(IDC_VALUE_ID_NUMBER) == number; }, 5000));
  }
};

TEST_F(CardChecks, EachWarnedCardShowsItsWarningAndWaitsForTheOperatorsKeys) {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  // Ten years old today whatever the date: born on 1 January ten years ago.
  const std::wstring minorBirth = std::to_wstring(now.wYear - 10) + L"0101";
  const std::wstring good = L"99010119880315049X";
  const std::wstring minor = WithCheckCharacter(L"990101" + minorBirth + L"001");
  const std::wstring wrong = L"990101198803150491";
  box.MakeCard("good", {L"林示范", L"男", L"蒙古", L"19880315", L"青岚市", good, L"青岚市公安局",
                        L"2016.03.15-2036.03.15"});
  box.MakeCard("expired", {L"林过期", L"男", L"汉", L"19880315", L"青岚市", good, L"青岚市公安局",
                           L"2000.01.01-2010.01.01"});
  box.MakeCard("minor", {L"林小", L"男", L"汉族", minorBirth, L"青岚市", minor, L"青岚市公安局",
                         L"2020.01.01-2030.01.01"});
  box.MakeCard("wrong", {L"林错号", L"男", L"汉", L"19880315", L"青岚市", wrong, L"青岚市公安局",
                         L"2016.03.15-2036.03.15"});
  box.RemoveCard();
  Start(
      L"[模板]\n读卡后 = {姓名}{Tab}{性别代码}/{民族代码}/{民族全称}{Tab}{身份证号}{Enter}\n"
      L"F9 = {身份证号}{Left}{Left}-\n"
      L"[核验]\n过期 = 是\n未满 = 18\n号码 = 是\n提醒时不自动录入 = 是\n",
      false);
  FormWindow form;
  ASSERT_TRUE(form.Focus());

  // A good card: no warning, typed on read with its codes.
  Place("good", good);
  ASSERT_TRUE(WaitFor([&] { return form.submitted.size() == 1; }, 5000));
  EXPECT_EQ(form.submitted[0], (std::vector<std::wstring>{L"林示范", L"1/02/蒙古族", good}));
  EXPECT_EQ(Warning(), L"");
  EXPECT_FALSE(WarningShown());

  // Each warned card: its warning while it is the current card, not typed.
  const std::pair<std::string, std::wstring> warned[] = {
      {"expired", L"注意：证件已过期（有效期至2010.01.01）"},
      {"minor", L"注意：未满18岁（10岁）"},
      {"wrong", L"注意：身份证号校验位不符"},
  };
  for (const auto& [card, warning] : warned) {
    form.Clear();
    ASSERT_TRUE(form.Focus());
    Place(card, card == "minor" ? minor : card == "wrong" ? wrong : good);
    EXPECT_TRUE(WaitFor([&] { return Warning() == warning; }, 3000)) << Warning();
    EXPECT_TRUE(WarningShown());
    PumpMessagesFor(1500);
    EXPECT_EQ(form.submitted.size(), 1u) << card;
    EXPECT_EQ(form.Texts(), (std::vector<std::wstring>{L"", L"", L""})) << card;
  }
  EXPECT_EQ(Beeps(), 3);

  // The template key still types the warned card: the operator decides.
  form.Clear();
  ASSERT_TRUE(form.Focus());
  PressKey(VK_F9);
  EXPECT_TRUE(WaitFor([&] { return form.Texts()[0] == L"9901011988031504-91"; }, 5000))
      << form.Texts()[0];

  // The good card again: the line empties, and it is typed on read.
  form.Clear();
  ASSERT_TRUE(form.Focus());
  Place("good", good);
  ASSERT_TRUE(WaitFor([&] { return form.submitted.size() == 2; }, 5000));
  EXPECT_EQ(Warning(), L"");
  EXPECT_FALSE(WarningShown());
  EXPECT_EQ(Beeps(), 3);
}

}  // namespace
}  // namespace keyentry::wintest
