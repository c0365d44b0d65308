// The template language of KeyEntry.ini: placeholders, date formats, age,
// key presses and pauses, and the errors reported for a template.
#include <gtest/gtest.h>
#include <string>

#include "core/IdNumberMask.h"
#include "core/Template.h"

namespace keyentry {
namespace {

CardFieldValues Card(const wchar_t* birth = L"19900307",
                     const wchar_t* validity = L"2016.03.15-2036.03.15") {
  return {L"张三",
          L"男",
          L"汉",
          birth,
          L"北京市海淀区某路1号",
          L"110108199003070011",
          L"北京市公安局海淀分局",
          validity};
}
constexpr Date kToday{2024, 5, 20};

// Steps in a readable form: text as it is, keys and pauses in angle brackets.
std::wstring Describe(const std::vector<TypingStep>& steps) {
  std::wstring out;
  for (const TypingStep& s : steps) {
    if (s.kind == StepKind::kText) out += L"\"" + s.text + L"\"";
    if (s.kind == StepKind::kKey) {
      out += s.key == SpecialKey::kTab     ? L"<Tab>"
             : s.key == SpecialKey::kEnter ? L"<Enter>"
                                           : L"<Shift+Tab>";
    }
    if (s.kind == StepKind::kPause) out += L"<" + std::to_wstring(s.ms) + L"ms>";
  }
  return out;
}

std::wstring Typed(std::wstring_view source, const CardFieldValues& card = Card(),
                   Date today = kToday, int fieldDelayMs = 0) {
  const ParsedTemplate parsed = ParseTemplate(source);
  if (parsed.error) return L"error: " + parsed.error->what;
  return Describe(parsed.value.Expand(card, today, fieldDelayMs));
}

TEST(TemplateFields, EveryFieldByItsChineseAndEnglishName) {
  EXPECT_EQ(Typed(L"{姓名}/{性别}/{民族}/{出生日期}/{住址}/{身份证号}/{签发机关}/{有效期限}"),
            L"\"张三/男/汉/19900307/北京市海淀区某路1号/110108199003070011/北京市公安局海淀分局/"
            L"2016.03.15-2036.03.15\"");
  EXPECT_EQ(Typed(L"{name}/{SEX}/{Nation}/{birth}/{ADDRESS}/{idNumber}/{authority}/{Validity}"),
            Typed(L"{姓名}/{性别}/{民族}/{出生日期}/{住址}/{身份证号}/{签发机关}/{有效期限}"));
  EXPECT_EQ(Typed(L"{ 姓名 }（{身份证号}）"), L"\"张三（110108199003070011）\"");
}

TEST(TemplateFields, BeforeAnyCardValuesAreEmptyAndKeysStillPressed) {
  EXPECT_EQ(Typed(L"{姓名}{Tab}{出生日期:yyyy}{年龄}{有效期限止}{Enter}", CardFieldValues{}),
            L"<Tab><Enter>");
}

TEST(TemplateFormats, BirthDateFormats) {
  EXPECT_EQ(Typed(L"{出生日期:yyyy-MM-dd}"), L"\"1990-03-07\"");
  EXPECT_EQ(Typed(L"{出生日期:yyyy年M月d日}"), L"\"1990年3月7日\"");
  EXPECT_EQ(Typed(L"{Birth：yyyy/MM/dd}"), L"\"1990/03/07\"");
  EXPECT_EQ(Typed(L"{出生日期:MMMdddyyyYY}"), L"\"033077yyyYY\"");  // longest first
  EXPECT_EQ(Typed(L"{出生日期: yyyyMMdd }"), L"\"19900307\"");
  EXPECT_EQ(Typed(L"{出生日期:d.M.yyyy}", Card(L"20001231")), L"\"31.12.2000\"");
}

TEST(TemplateFormats, BirthDateThatIsNoDateIsTypedAsItStands) {
  for (const wchar_t* birth :
       {L"19900230", L"1990037", L"199003070", L"1990年3月7日", L"19901307", L"00000101", L""}) {
    EXPECT_EQ(Typed(L"{出生日期:yyyy-MM-dd}", Card(birth)), Typed(L"{出生日期}", Card(birth)));
  }
  EXPECT_EQ(Typed(L"{出生日期:yyyy-MM-dd}", Card(L"19000229")), L"\"19000229\"");
  EXPECT_EQ(Typed(L"{出生日期:yyyy-MM-dd}", Card(L"20000229")), L"\"2000-02-29\"");
}

TEST(TemplateFormats, ValidityStartAndEnd) {
  EXPECT_EQ(Typed(L"{有效期限起:yyyy年MM月dd日}至{有效期限止:yyyy-M-d}"),
            L"\"2016年03月15日至2036-3-15\"");
  EXPECT_EQ(Typed(L"{ValidFrom}|{validto}"), L"\"2016.03.15|2036.03.15\"");
  const auto compact = Card(L"19900307", L"20160315-20360315");
  EXPECT_EQ(Typed(L"{有效期限起:yyyy.MM.dd}|{有效期限止:yyyy/MM/dd}", compact),
            L"\"2016.03.15|2036/03/15\"");
  const auto longTerm = Card(L"19900307", L"2016.03.15-长期");
  EXPECT_EQ(Typed(L"{有效期限起:yyyyMMdd}|{有效期限止:yyyy-MM-dd}", longTerm),
            L"\"20160315|长期\"");
  EXPECT_EQ(Typed(L"{有效期限起:yyyy}|{有效期限止:yyyy}", Card(L"1", L"长期")), L"\"长期|\"");
  EXPECT_EQ(Typed(L"{有效期限起:yyyy}|{有效期限止:yyyy}", Card(L"1", L"2016.02.30-2036.03.15")),
            L"\"2016.02.30|2036\"");
}

TEST(TemplateAge, WholeYearsToToday) {
  EXPECT_EQ(Typed(L"{年龄}", Card(L"19900307"), Date{2024, 3, 6}), L"\"33\"");  // day before
  EXPECT_EQ(Typed(L"{Age}", Card(L"19900307"), Date{2024, 3, 7}), L"\"34\"");   // birthday
  EXPECT_EQ(Typed(L"{年龄}", Card(L"20240520")), L"\"0\"");                     // born today
  EXPECT_EQ(Typed(L"{年龄}", Card(L"20240521")), L"");                          // after today
  EXPECT_EQ(Typed(L"{年龄}", Card(L"19900230")), L"");                          // no date
  EXPECT_EQ(Typed(L"{年龄}", Card(L"19901231"), Date{2024, 12, 30}), L"\"33\"");
}

TEST(TemplateAge, BornOn29FebruaryIsOlderOn1March) {
  EXPECT_EQ(AgeInYears({2000, 2, 29}, {2023, 2, 28}), 22);
  EXPECT_EQ(AgeInYears({2000, 2, 29}, {2023, 3, 1}), 23);
  EXPECT_EQ(AgeInYears({2000, 2, 29}, {2024, 2, 28}), 23);
  EXPECT_EQ(AgeInYears({2000, 2, 29}, {2024, 2, 29}), 24);
  EXPECT_EQ(AgeInYears({2000, 2, 29}, {2000, 2, 28}), std::nullopt);
  EXPECT_EQ(AgeInYears({2000, 2, 29}, {2023, 2, 29}), std::nullopt);  // no such today
}

TEST(TemplateToday, DefaultAndFormatted) {
  EXPECT_EQ(Typed(L"{今天}"), L"\"2024-05-20\"");
  EXPECT_EQ(Typed(L"{Today:yyyy年M月d日}"), L"\"2024年5月20日\"");
  EXPECT_EQ(Typed(L"{今天:yyyy}", Card(), Date{987, 1, 2}), L"\"0987\"");
}

TEST(TemplateSteps, KeysAndPauses) {
  const wchar_t* form = L"{姓名}{Tab}{性别}{Shift+Tab}x{Enter}";
  EXPECT_EQ(Typed(form), L"\"张三\"<Tab>\"男\"<Shift+Tab>\"x\"<Enter>");
  EXPECT_EQ(Typed(form, Card(), kToday, 150),
            L"\"张三\"<Tab><150ms>\"男\"<Shift+Tab><150ms>\"x\"<Enter><150ms>");
  EXPECT_EQ(Typed(L"{tab}{SHIFT+TAB}{enter}"), L"<Tab><Shift+Tab><Enter>");
  EXPECT_EQ(Typed(L"a{延时:300}b{Delay:0}c{delay: 5000 }"), L"\"a\"<300ms>\"bc\"<5000ms>");
}

TEST(TemplateSteps, PauseOnlyWithDelayOrFieldDelay) {
  const auto steps = [](const wchar_t* source, int fieldDelayMs) {
    return ParseTemplate(source).value.Expand(Card(), kToday, fieldDelayMs);
  };
  EXPECT_FALSE(HasPause(steps(L"{姓名}{Tab}{性别}{Enter}", 0)));
  EXPECT_TRUE(HasPause(steps(L"{姓名}{Tab}{性别}{Enter}", 1)));
  EXPECT_FALSE(HasPause(steps(L"{姓名}{性别}", 500)));
  EXPECT_TRUE(HasPause(steps(L"{姓名}{延时:1}", 0)));
  EXPECT_FALSE(HasPause(steps(L"{姓名}{延时:0}", 0)));
}

TEST(TemplateSteps, BracesAreLiteralAndTextIsOneStep) {
  const auto steps = ParseTemplate(L"{{{姓名}}}a;b#c}}{{").value.Expand(Card(), kToday, 0);
  ASSERT_EQ(steps.size(), 1u);
  EXPECT_EQ(steps[0].text, L"{张三}a;b#c}{");
}

TEST(TemplateErrors, WhatIsWrongAndWhere) {
  struct Case {
    const wchar_t* source;
    std::size_t offset;
    const wchar_t* what;
  };
  const Case cases[] = {
      {L"ab{姓}", 2, L"{姓} 不是可用的占位符（要录入大括号本身，请写 {{ 或 }}）。"},
      {L"{}", 0, L"{} 不是可用的占位符（要录入大括号本身，请写 {{ 或 }}）。"},
      {L"{Shift Tab}", 0, L"{Shift Tab} 不是可用的占位符（要录入大括号本身，请写 {{ 或 }}）。"},
      {L"{姓名", 0, L"“{姓名”缺少右大括号“}”（要录入大括号本身，请写 {{）。"},
      {L"{姓名{Tab}", 0, L"“{姓名”缺少右大括号“}”（要录入大括号本身，请写 {{）。"},
      {L"x{123456789012345678901234", 1,
       L"“{1234567890123456789…”缺少右大括号“}”（要录入大括号本身，请写 {{）。"},
      {L"{123456789012345678901234}", 0,
       L"{1234567890123456789… 不是可用的占位符（要录入大括号本身，请写 {{ 或 }}）。"},
      {L"a}b", 1, L"多余的右大括号“}”（要录入它本身，请写 }}）。"},
      {L"{姓名:yyyy}", 0, L"{姓名:yyyy} 不能带冒号和格式。"},
      {L"{Tab:2}", 0, L"{Tab:2} 不能带冒号和格式。"},
      {L"{年龄:yyyy}", 0, L"{年龄:yyyy} 不能带冒号和格式。"},
      {L"{出生日期: }", 0, L"{出生日期: } 的冒号后缺少日期格式，例如 {出生日期:yyyy-MM-dd}。"},
      {L"{今天:}", 0, L"{今天:} 的冒号后缺少日期格式，例如 {出生日期:yyyy-MM-dd}。"},
      {L"{延时:5001}", 0, L"{延时:5001} 中的毫秒数应为 0 到 5000 之间的整数。"},
      {L"{Delay}", 0, L"{Delay} 中的毫秒数应为 0 到 5000 之间的整数。"},
      {L"{延时:-1}", 0, L"{延时:-1} 中的毫秒数应为 0 到 5000 之间的整数。"},
      {L"{延时:99999999999}", 0, L"{延时:99999999999} 中的毫秒数应为 0 到 5000 之间的整数。"},
      {L"ab\x01", 2, L"模板中有不可见的控制字符（文件可能已损坏或编码不对）。"},
  };
  for (const Case& c : cases) {
    const ParsedTemplate parsed = ParseTemplate(c.source);
    ASSERT_TRUE(parsed.error) << c.source;
    EXPECT_EQ(parsed.error->offset, c.offset) << c.source;
    EXPECT_EQ(parsed.error->what, c.what);
    EXPECT_TRUE(parsed.value.Items().empty());
  }
  EXPECT_FALSE(ParseTemplate(L"a\tb").error);  // a tab is text
}

TEST(IdNumberMask, HidesTheBirthDateOfAn18CharacterNumber) {
  EXPECT_EQ(MaskIdNumber(L"110108199003070011"), L"110108********0011");
  EXPECT_EQ(MaskIdNumber(L"11010819900307001X"), L"110108********001X");
  EXPECT_EQ(MaskIdNumber(L"11010819900307001"), L"11010819900307001");
  EXPECT_EQ(MaskIdNumber(L"1101081990030700112"), L"1101081990030700112");
  EXPECT_EQ(MaskIdNumber(L"110108900307001"), L"110108900307001");
  EXPECT_EQ(MaskIdNumber(L""), L"");
}

}  // namespace
}  // namespace keyentry
