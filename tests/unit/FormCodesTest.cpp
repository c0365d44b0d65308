// What forms ask for in another shape: the sex and nation codes, the nation
// with 族, as template placeholders, and the keys for forms as real presses.
#include <gtest/gtest.h>
#include <sstream>
#include <string>

#include "Fakes.h"
#include "core/FormCodes.h"
#include "core/TypingPlan.h"

namespace keyentry::test {
namespace {

// The 56 nations in the order of their codes 01..56.
constexpr const wchar_t* kNationsInCodeOrder =
    L"汉 蒙古 回 藏 维吾尔 苗 彝 壮 布依 朝鲜 满 侗 瑶 白 土家 哈尼 哈萨克 傣 黎 傈僳 佤 畲 高山 "
    L"拉祜 水 东乡 纳西 景颇 柯尔克孜 土 达斡尔 仫佬 羌 布朗 撒拉 毛南 仡佬 锡伯 阿昌 普米 塔吉克 "
    L"怒 乌孜别克 俄罗斯 鄂温克 德昂 保安 裕固 京 塔塔尔 独龙 鄂伦春 赫哲 门巴 珞巴 基诺";

TEST(FormCodes, EveryNationsCodeWithOrWithoutZuAndItsFullName) {
  std::wistringstream names(kNationsInCodeOrder);
  std::wstring name;
  int code = 0;
  while (names >> name) {
    ++code;
    const std::wstring digits = (code < 10 ? L"0" : L"") + std::to_wstring(code);
    EXPECT_EQ(NationCode(name), digits) << name;
    EXPECT_EQ(NationCode(name + L"族"), digits) << name;
    EXPECT_EQ(NationFull(name), name + L"族");
    EXPECT_EQ(NationFull(name + L"族"), name + L"族");
  }
  EXPECT_EQ(code, 56);
  // Unknown names, and what is not a name, as they stand.
  for (const wchar_t* other : {L"穿青人", L"外国血统", L"族", L"", L"汉 ", L"Han"}) {
    EXPECT_EQ(NationCode(other), other);
    EXPECT_EQ(NationFull(other), other);
  }
  const std::pair<const wchar_t*, const wchar_t*> sexes[] = {
      {L"男", L"1"}, {L"女", L"2"}, {L"未知", L"未知"}, {L"", L""}, {L"1", L"1"}};
  for (const auto& [sex, sexCode] : sexes) EXPECT_EQ(SexCode(sex), sexCode);
}

std::wstring Typed(const wchar_t* source, const wchar_t* sex, const wchar_t* nation) {
  const ParsedTemplate parsed = ParseTemplate(source);
  if (parsed.error) return L"error: " + parsed.error->what;
  const CardFieldValues card = {L"张三", sex, nation, L"19900307", L"某路1号", L"x", L"y", L"z"};
  std::wstring out;
  for (const TypingStep& step : parsed.value.Expand(card, Date{2024, 5, 20}, 0)) {
    out += step.kind == StepKind::kText ? step.text : L"<key>";
  }
  return out;
}

TEST(FormCodes, PlaceholdersByChineseAndEnglishNames) {
  EXPECT_EQ(Typed(L"{性别代码}/{民族代码}/{民族全称}", L"男", L"汉"), L"1/01/汉族");
  EXPECT_EQ(Typed(L"{SexCode}/{nationcode}/{NATIONFULL}", L"女", L"蒙古族"), L"2/02/蒙古族");
  EXPECT_EQ(Typed(L"{性别代码}/{民族代码}/{民族全称}", L"未说明", L"穿青人"),
            L"未说明/穿青人/穿青人");
  EXPECT_EQ(Typed(L"{民族代码:yyyy}", L"男", L"汉"), L"error: {民族代码:yyyy} 不能带冒号和格式。");
}

TEST(FormCodes, KeysForFormsAreRealPressesWithTheirExtendedFlagAndCtrl) {
  const ParsedTemplate parsed = ParseTemplate(
      L"{Up}{下}{left}{右}{Home}{End}{Space}{Esc}{Backspace}{Delete}{Ctrl+A}{上}{DOWN}{左}{Right}");
  ASSERT_FALSE(parsed.error);
  const std::vector<TypingStep> steps = parsed.value.Expand({}, Date{2024, 5, 20}, 0);
  FakeLayout layout;
  const TypingPlan plan = PlanTyping(steps, {TypingMode::kUnicode, 0, 0}, {}, layout);
  ASSERT_EQ(plan.size(), 1u);
  EXPECT_EQ(
      Keys(plan[0].events),
      "26/48x 26/48x^ 28/50x 28/50x^ 25/4Bx 25/4Bx^ 27/4Dx 27/4Dx^ 24/47x 24/47x^ "
      "23/4Fx 23/4Fx^ 20/39 20/39^ 1B/01 1B/01^ 08/0E 08/0E^ 2E/53x 2E/53x^ "
      "11/1D 41/1E 41/1E^ 11/1D^ 26/48x 26/48x^ 28/50x 28/50x^ 25/4Bx 25/4Bx^ 27/4Dx 27/4Dx^");
  EXPECT_EQ(ParseTemplate(L"{PageUp}").error->what,
            L"{PageUp} 不是可用的占位符（要录入大括号本身，请写 {{ 或 }}）。");
}

}  // namespace
}  // namespace keyentry::test
