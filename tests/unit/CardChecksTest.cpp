// The counter checks of a card read: the identity number's check character,
// birth date and sex digit, the end of the validity, the holder's age; the
// warning line they make, [核验] of KeyEntry.ini, and what the poll and the
// typing on read do with a warned card.
#include <gtest/gtest.h>
#include <memory>
#include <string>

#include "Fakes.h"
#include "core/CardChecks.h"
#include "core/TypingQueue.h"
#include "reader/Reading.h"

namespace keyentry::test {
namespace {

constexpr Date kToday{2024, 5, 20};

CardFieldValues Card(const wchar_t* number, const wchar_t* birth = L"19880315",
                     const wchar_t* sex = L"男",
                     const wchar_t* validity = L"2016.03.15-2036.03.15") {
  return {L"林示范", sex, L"汉", birth, L"青岚市", number, L"青岚市公安局", validity};
}

CheckSettings AllOn(bool hold = false) { return CheckSettings{true, 18, true, hold}; }

std::wstring Warning(const CardFieldValues& card, const Date& today = kToday) {
  return WarningText(CheckCard(card, AllOn(), today));
}

TEST(IdNumberCheck, CheckCharacterOfGoodNumbersAndOfEachWrongOne) {
  // Good numbers: each last character as the table 10X98765432 gives it.
  for (const wchar_t* good : {L"99010119880315049X", L"990102199507200027", L"11010519491231002X",
                              L"440524188001010014", L"99010119880315049x"}) {
    EXPECT_FALSE(CheckIdNumber(good, {}, {}).Any()) << good;
  }
  // Every other last character of a good number is wrong.
  for (const wchar_t wrong : std::wstring(L"0123456789")) {
    std::wstring number = L"99010119880315049";
    number += wrong;
    EXPECT_TRUE(CheckIdNumber(number, {}, {}).checkDigit) << number;
  }
  // Each one of the first 17 digits changed breaks the check character.
  for (std::size_t i = 0; i < 17; ++i) {
    std::wstring number = L"990102199507200027";
    number[i] = number[i] == L'9' ? L'0' : static_cast<wchar_t>(number[i] + 1);
    EXPECT_TRUE(CheckIdNumber(number, {}, {}).checkDigit) << number;
  }
  EXPECT_EQ(IdCheckCharacter(L"11010519491231002"), std::optional<wchar_t>(L'X'));
  EXPECT_EQ(IdCheckCharacter(L"1101051949123100"), std::nullopt);
  // Other lengths are not judged; 18 characters with a letter inside cannot be right.
  for (const wchar_t* other :
       {L"", L"990101880315049", L"9901011988031504", L"99010119880315049X1", L"空"}) {
    EXPECT_FALSE(CheckIdNumber(other, L"19880315", L"女").Any()) << other;
  }
  EXPECT_TRUE(CheckIdNumber(L"9901011988031504AX", {}, {}).malformed);
  EXPECT_TRUE(CheckIdNumber(L"99010119880315049Y", {}, {}).malformed);
}

TEST(IdNumberCheck, BirthDateAndSexAgainstTheCard) {
  const struct {
    const wchar_t* birth;
    const wchar_t* sex;
    bool birthDiffers, sexDiffers;
  } cases[] = {
      {L"19880315", L"男", false, false}, {L"1988.03.15", L"男", false, false},
      {L"19880316", L"男", true, false},  {L"19890315", L"男", true, false},
      {L"19880315", L"女", false, true},  {L"19880314", L"女", true, true},
      {L"不详", L"未知", false, false},   {L"", L"", false, false},
  };
  for (const auto& c : cases) {
    const IdNumberFindings found = CheckIdNumber(L"99010119880315049X", c.birth, c.sex);
    EXPECT_EQ(found.birthDiffers, c.birthDiffers) << c.birth << L" " << c.sex;
    EXPECT_EQ(found.sexDiffers, c.sexDiffers) << c.birth << L" " << c.sex;
    EXPECT_FALSE(found.checkDigit);
  }
  // A woman's number (even digit 17) on a woman's card.
  EXPECT_FALSE(CheckIdNumber(L"990102199507200027", L"19950720", L"女").Any());
}

TEST(ExpiryCheck, TheEndOfTheValidityAgainstToday) {
  const struct {
    const wchar_t* validity;
    Date today;
    const wchar_t* expiredOn;  // "" when not expired or not judged
  } cases[] = {
      {L"2004.05.20-2024.05.20", {2024, 5, 20}, L""},  // the last day itself
      {L"2004.05.20-2024.05.20", {2024, 5, 21}, L"2024.05.20"},
      {L"20000101-20100101", {2024, 5, 20}, L"2010.01.01"},
      {L" 2000.01.01 - 2010.01.01 ", {2024, 5, 20}, L"2010.01.01"},
      {L"2016.03.15-2036.03.15", {2024, 5, 20}, L""},
      {L"2000.01.01-长期", {2099, 1, 1}, L""},
      {L"长期", {2099, 1, 1}, L""},
      {L"2000.01.01-", {2024, 5, 20}, L""},
      {L"2000.01.01", {2024, 5, 20}, L""},
      {L"-2010.01.01", {2024, 5, 20}, L""},
      {L"2000.01.01-2010.02.30", {2024, 5, 20}, L""},
      {L"2010.01.01-2000.01.01", {2024, 5, 20}, L""},
      {L"2000/01/01-2010/01/01", {2024, 5, 20}, L""},
      {L"", {2024, 5, 20}, L""},
  };
  for (const auto& c : cases) {
    const auto end = ExpiredOn(c.validity, c.today);
    EXPECT_EQ(end ? FormatDate(*end, L"yyyy.MM.dd") : L"", c.expiredOn) << c.validity;
  }
}

TEST(CardWarning, EachProblemInPlainChineseAndAGoodCardNone) {
  const struct {
    CardFieldValues card;
    Date today;
    const wchar_t* warning;
  } cases[] = {
      {Card(L"99010119880315049X"), kToday, L""},
      {Card(L"99010119880315049X", L"19880315", L"男", L"2000.01.01-2010.01.01"), kToday,
       L"注意：证件已过期（有效期至2010.01.01）"},
      // Under age on the day before the 18th birthday, not on the birthday.
      {Card(L"990101200605200011", L"20060520"), {2024, 5, 19}, L"注意：未满18岁（17岁）"},
      {Card(L"990101200605200011", L"20060520"), {2024, 5, 20}, L""},
      {Card(L"990101201405200011", L"20140520"), kToday, L"注意：未满18岁（10岁）"},
      {Card(L"990101198803150491"), kToday, L"注意：身份证号校验位不符"},
      {Card(L"99010119880315049X", L"19880315", L"女"), kToday, L"注意：身份证号与性别不一致"},
      {Card(L"99010119880315049X", L"19880316"), kToday, L"注意：身份证号与出生日期不一致"},
      {Card(L"9901011988031504AX"), kToday, L"注意：身份证号含有不应有的字符"},
      {Card(L"990101201405200012", L"20140521", L"女", L"20140520-20190520"), kToday,
       L"注意：证件已过期（有效期至2019.05.20）；未满18岁（9岁）；身份证号校验位不符；"
       L"身份证号与出生日期不一致；身份证号与性别不一致"},
      {CardFieldValues{}, kToday, L""},  // no card
  };
  for (const auto& c : cases) EXPECT_EQ(Warning(c.card, c.today), c.warning) << c.warning;
  // Each check only when switched on.
  const CardFieldValues bad = Card(L"990101201405200012", L"20140520", L"女", L"20140520-20190520");
  EXPECT_EQ(WarningText(CheckCard(bad, CheckSettings{}, kToday)), L"");
  EXPECT_EQ(WarningText(CheckCard(bad, CheckSettings{false, 10, false, false}, kToday)), L"");
  EXPECT_EQ(WarningText(CheckCard(bad, CheckSettings{false, 11, false, false}, kToday)),
            L"注意：未满11岁（10岁）");
  EXPECT_EQ(WarningText(CheckCard(bad, CheckSettings{false, 0, true, false}, kToday)),
            L"注意：身份证号校验位不符；身份证号与性别不一致");
}

TEST(ChecksSettings, TheSectionItsNamesAndItsProblems) {
  Cp936Codec codec;
  const SettingsContent on = ParseSettingsFile(
      U8(L"[核验]\n过期 = 是\n未满 = 18 ; 酒店\n号码 = yes\n提醒时不自动录入 = 是\n"), codec);
  EXPECT_TRUE(on.problems.empty());
  EXPECT_TRUE(on.checks.expired && on.checks.idNumber && on.checks.holdOnRead);
  EXPECT_EQ(on.checks.underAge, 18);
  const SettingsContent english = ParseSettingsFile(
      U8(L"[checks]\nEXPIRED = no\nUnderAge = 0\nIdNumber = No\nHoldOnReadWhenWarned = YES\n"),
      codec);
  EXPECT_TRUE(english.problems.empty());
  EXPECT_FALSE(english.checks.AnyOn());
  EXPECT_TRUE(english.checks.holdOnRead);

  const SettingsContent bad = ParseSettingsFile(
      U8(L"[核验]\n过期 = 也许\n未满 = 151\n号码 = 是\n号码 = 否\n年龄 = 18\n未满 =\n"), codec);
  ASSERT_EQ(bad.problems.size(), 5u);
  const std::pair<int, std::wstring> expected[] = {
      {2, L"“过期”的值应为 是 或 否（或 yes、no）。"},
      {3, L"“未满”的值应为 0 到 150 之间的整数（岁，0 表示不检查）。"},
      {5, L"“号码”已在第 4 行设置，这一行未采用。"},
      {6,
       L"[核验] 中没有名为“年龄”的设置。可用的有：过期、未满、号码、提醒时不自动录入（或 "
       L"Expired、UnderAge、IdNumber、HoldOnReadWhenWarned）。"},
      {7, L"等号后缺少值。"},
  };
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(bad.problems[i].line, expected[i].first);
    EXPECT_EQ(bad.problems[i].what, expected[i].second);
  }
  EXPECT_TRUE(bad.checks.idNumber);
  EXPECT_FALSE(bad.checks.expired);
  EXPECT_EQ(bad.checks.underAge, 0);

  // Under a shared file: a local name wins, the shared file's others apply.
  const SettingsContent shared =
      ParseSettingsFile(U8(L"[核验]\n过期 = 是\n未满 = 18\n"), codec, SettingsOrigin::kShared);
  const SettingsContent local = ParseSettingsFile(U8(L"[核验]\n未满 = 16\n号码 = 是\n"), codec);
  const SettingsContent merged = MergeSettings(shared, local, L"\\\\server\\KeyEntry.ini");
  EXPECT_TRUE(merged.checks.expired && merged.checks.idNumber);
  EXPECT_EQ(merged.checks.underAge, 16);
}

// A card read on one day and typed on read (by the hook thread) on the
// next, a moment after midnight: the warning line and the hold both follow
// the checks of the read, with the read's date.
TEST(ChecksOnRead, AWarnedCardIsHeldByTheChecksOfItsReadAlsoAcrossMidnight) {
  const wchar_t* hold =
      L"[模板]\n读卡后 = {姓名}\n[核验]\n号码 = 是\n过期 = 是\n未满 = 18\n"
      L"提醒时不自动录入 = 是\n";
  const wchar_t* warnOnly = L"[模板]\n读卡后 = {姓名}\n[核验]\n号码 = 是\n";
  const Date kTomorrow{2024, 5, 21};
  const struct {
    const wchar_t* ini;
    const wchar_t* number;
    const wchar_t* birth;
    const wchar_t* validity;
    const wchar_t* warning;  // shown at the read on kToday
    bool typed;              // typed on read at kTomorrow
  } cases[] = {
      {hold, L"99010119880315049X", L"19880315", L"2016.03.15-2036.03.15", L"", true},
      {hold, L"990101198803150491", L"19880315", L"2016.03.15-2036.03.15",
       L"注意：身份证号校验位不符", false},
      {warnOnly, L"990101198803150491", L"19880315", L"2016.03.15-2036.03.15",
       L"注意：身份证号校验位不符", true},
      // Valid through its last day, the day of the read: not held the
      // minute after midnight either.
      {hold, L"99010119880315049X", L"19880315", L"2014.05.20-2024.05.20", L"", true},
      // Seventeen at the read, eighteen a moment later: still held, as warned.
      {hold, L"990101200605210017", L"20060521", L"2016.03.15-2036.03.15",
       L"注意：未满18岁（17岁）", false},
  };
  for (const auto& c : cases) {
    CoreRig rig;
    FakeView view;
    view.today = kToday;
    rig.files.files[CoreRig::kKeyFile] = kKeyFileF1ToF8;
    rig.files.files[CoreRig::kIniFile] = U8(c.ini);
    rig.reader.readerPorts = {1001};
    ToggleReading(rig.maths, view);
    rig.reader.onRead = [&] {
      rig.files.files[CoreRig::kCardFile] =
          U8(std::wstring(L"林示范\r\n男\r\n汉\r\n") + c.birth + L"\r\n青岚市\r\n" + c.number +
             L"\r\n青岚市公安局\r\n" + c.validity + L"\r\n");
    };
    rig.reader.cardPresent = true;
    PollCard(rig.reading, rig.maths, view, 1000);
    EXPECT_EQ(view.warning, c.warning) << c.number;
    EXPECT_EQ(EntryForCardRead(*rig.tables.Current(), L"a.exe", kTomorrow).has_value(), c.typed)
        << c.number << " " << c.validity;
  }
  // The template keys still type a held card: the operator decides.
  Cp936Codec codec;
  HookTable keys;
  keys.values = Card(L"990101198803150491");
  keys.settings = std::make_shared<SettingsContent>(ParseSettingsFile(
      U8(L"[模板]\nF9 = {姓名}\n[核验]\n号码 = 是\n提醒时不自动录入 = 是\n"), codec));
  keys.holdOnRead = true;
  EXPECT_FALSE(EntryForCardRead(keys, L"a.exe", kToday));
  HookAction f9;
  f9.kind = HookActionKind::kRunTemplate;
  f9.templateKey = 120;
  EXPECT_TRUE(EntryForPress(keys, f9, TypingSettings{}, kToday));
}

TEST(ChecksOnRead, ThePollShowsTheWarningOfTheCurrentCardAndBeepsOncePerWarnedCard) {
  CoreRig rig;
  FakeView view;
  rig.files.files[CoreRig::kKeyFile] = kKeyFileF1ToF8;
  rig.files.files[CoreRig::kIniFile] = U8(L"[核验]\n号码 = 是\n过期 = 是\n");
  rig.reader.readerPorts = {1001};
  ToggleReading(rig.maths, view);
  std::wstring number;
  rig.reader.onRead = [&] {
    rig.files.files[CoreRig::kCardFile] =
        U8(L"林示范\r\n男\r\n汉\r\n19880315\r\n青岚市\r\n" + number +
           L"\r\n青岚市公安局\r\n2016.03.15-2036.03.15\r\n");
  };
  rig.reader.cardPresent = true;
  std::uint64_t nowMs = 0;
  const auto poll = [&](const wchar_t* polled) {
    number = polled;
    PollCard(rig.reading, rig.maths, view, nowMs += 300);
  };
  poll(L"990101198803150491");
  EXPECT_EQ(view.warning, L"注意：身份证号校验位不符");
  poll(L"990101198803150491");  // still on the reader
  EXPECT_EQ(view.beeps, 1);
  poll(L"99010119880315049X");  // a good card empties the line
  EXPECT_EQ(view.warning, L"");
  poll(L"990101198803150491");
  EXPECT_EQ(view.beeps, 2);
  // The card's values stay as the card says.
  EXPECT_EQ(rig.maths.CardFields()[kIdNumberField],
            std::optional<std::wstring>(L"990101198803150491"));
  EXPECT_EQ(view.shown[kIdNumberField], L"990101198803150491");
  ClearCard(rig.maths, view);  // the privacy clearing
  EXPECT_EQ(view.warning, L"");
  EXPECT_EQ(view.beeps, 2);
}

}  // namespace
}  // namespace keyentry::test
