// KeyEntry.ini: its syntax and names, the problems reported with their line
// numbers, its encodings, the typing settings per program, templates on
// keys that belong to card fields, and the report for the operator.
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

#include "Fakes.h"
#include "core/SettingsFile.h"
#include "core/UnicodeText.h"

namespace keyentry::test {
namespace {

SettingsContent Parse(const std::string& bytes) { return ParseSettingsFile(bytes, Cp936Codec()); }
SettingsContent Parse(std::wstring_view text) { return Parse(U8(text)); }

// What a template types for a fixed card: texts as they stand, each key as
// "|", each pause as "~"; "<none>" without a template.
std::wstring Typed(const Template* t) {
  if (!t) return L"<none>";
  std::wstring out;
  const CardFieldValues card{L"张三",   L"男",
                             L"汉",     L"19900307",
                             L"北京",   L"110108199003070011",
                             L"公安局", L"2016.03.15-2036.03.15"};
  for (const TypingStep& step : t->Expand(card, Date{2024, 5, 20}, 0)) {
    out += step.kind == StepKind::kText ? step.text : step.kind == StepKind::kKey ? L"|" : L"~";
  }
  return out;
}
std::wstring Typed(const SettingsContent& s, int key) {
  const KeyTemplate* t = s.FindTemplate(static_cast<std::int16_t>(111 + key));
  return Typed(t ? &t->parsed : nullptr);
}

using LineAndWhat = std::vector<std::pair<int, std::wstring>>;
LineAndWhat Problems(const SettingsContent& s) {
  LineAndWhat out;
  for (const SettingsProblem& p : s.problems) out.emplace_back(p.line, p.what);
  return out;
}

TEST(SettingsSyntax, ExampleWithCommentsAfterHeadersAndValues) {
  const auto s = Parse(
      L"[模板]                       ; [Templates]\r\n"
      L"F9  = {姓名}{Tab}{性别}{Tab}{出生日期:yyyy-MM-dd}{Enter}\r\n"
      L"F10 = {姓名}（{身份证号}）\r\n"
      L"[输入]                       ; [Typing]\r\n"
      L"字段间隔 = 120               ; FieldDelayMs: pause after each {Tab}/{Enter}, 0..2000\r\n");
  EXPECT_TRUE(s.problems.empty());
  EXPECT_EQ(Typed(s, 9), L"张三|男|1990-03-07|");
  EXPECT_EQ(Typed(s, 10), L"张三（110108199003070011）");
  EXPECT_EQ(s.typing.fieldDelayMs, 120);
  ASSERT_EQ(s.templates.size(), 2u);
  EXPECT_EQ(s.templates[0].line, 2);
  EXPECT_EQ(s.templates[0].vkCode, 120);
}

TEST(SettingsSyntax, BlanksCommentsAndLineEnds) {
  const auto s = Parse(
      L"\t; comment\n  # comment\r\n\r\n\u3000[ 模板 ]\u3000\n"
      L"\tF1\t=\t a ; b # c {{x}} \u3000\r"
      L"f24={姓名};x\n"
      L"[隐私]#comment\n"
      L"清除秒数=120 # two minutes\n"
      L"身份证号遮挡 = 是\t;yes\n");
  EXPECT_EQ(Problems(s), LineAndWhat{});
  EXPECT_EQ(Typed(s, 1), L"a ; b # c {x}");
  EXPECT_EQ(Typed(s, 24), L"张三;x");
  EXPECT_EQ(s.templates[1].vkCode, 135);
  EXPECT_EQ(s.templates[1].line, 6);
  EXPECT_EQ(s.privacy.clearAfterSeconds, 120);
  EXPECT_TRUE(s.privacy.maskIdNumber);
  EXPECT_FALSE(s.privacy.deleteCardFiles);
}

TEST(SettingsSyntax, QuotedValuesAreTakenWholeUnquotedOnesEndAtAComment) {
  struct Case {
    const wchar_t* line;  // in [隐私]
    int clearAfterSeconds;
    bool deleteCardFiles;
    std::size_t problems;
  };
  const Case cases[] = {
      {L"清除秒数 = \"30\"", 30, false, 0},
      {L"清除秒数 = \"30\" ; half a minute", 30, false, 0},
      {L"清除秒数 = 30 # half a minute", 30, false, 0},
      {L"清除秒数 = 30#x", 0, false, 1},              // no blank before "#": part of the value
      {L"清除秒数 = \"30 # x\"", 0, false, 1},        // the quotes hold all of it
      {L"清除秒数 = \"30\"x", 0, false, 1},           // text after the closing quote
      {L"读后删除卡片文件 = \"是\"#x", 0, false, 1},  // a comment needs a blank
      {L"读后删除卡片文件 = \"是\"\t#yes", 0, true, 0},
  };
  for (const Case& c : cases) {
    const auto s = Parse(std::wstring(L"[隐私]\n") + c.line + L"\n");
    EXPECT_EQ(s.privacy.clearAfterSeconds, c.clearAfterSeconds) << U8(c.line);
    EXPECT_EQ(s.privacy.deleteCardFiles, c.deleteCardFiles) << U8(c.line);
    EXPECT_EQ(s.problems.size(), c.problems) << U8(c.line);
  }
}

TEST(SettingsNames, ChineseAndEnglishAliasesInAnyCase) {
  const auto chinese = Parse(
      L"[输入]\n字段间隔=100\n方式=按键\n字符间隔=5\n"
      L"[隐私]\n清除秒数=86400\n读后删除卡片文件=是\n身份证号遮挡=否\n");
  const auto english = Parse(
      L"[TYPING]\nfielddelayms=100\nMODE=Keys\nCharDelayMs=5\n"
      L"[privacy]\nClearAfterSECONDS=86400\ndeletecardfiles=YES\nMaskIdNumber=no\n");
  for (const auto* s : {&chinese, &english}) {
    EXPECT_TRUE(s->problems.empty());
    EXPECT_EQ(s->TypingFor(L"x.exe"), (TypingSettings{TypingMode::kKeys, 100, 5}));
    EXPECT_EQ(s->privacy.clearAfterSeconds, 86400);
    EXPECT_TRUE(s->privacy.deleteCardFiles);
    EXPECT_FALSE(s->privacy.maskIdNumber);
  }
  EXPECT_EQ(Parse(L"[输入]\n方式=粘贴").TypingFor(L"a.exe").mode, TypingMode::kPaste);
  EXPECT_EQ(Parse(L"[Typing]\nMode=Unicode\n").TypingFor(L"a.exe").mode, TypingMode::kUnicode);
}

TEST(SettingsNames, DefaultsWithoutFile) {
  const auto s = Parse(std::string());
  EXPECT_EQ(s.TypingFor(L"notepad.exe"), (TypingSettings{TypingMode::kUnicode, 0, 0}));
  EXPECT_EQ(s.privacy.clearAfterSeconds, 0);
  EXPECT_FALSE(s.privacy.deleteCardFiles);
  EXPECT_FALSE(s.privacy.maskIdNumber);
  EXPECT_EQ(s.FindTemplate(120), nullptr);
  EXPECT_TRUE(s.problems.empty());
}

TEST(SettingsPrograms, ProgramOverTypingOverDefaults) {
  const auto s = Parse(
      L"[输入]\n方式 = 按键\n字段间隔 = 100\n"
      L"[程序:notepad.exe]\n方式 = 粘贴\n"
      L"[App: WinWord ]\nCharDelayMs = 20\n"
      L"[程序：Chrome.EXE]\n字段间隔 = 0\n");
  EXPECT_TRUE(s.problems.empty());
  EXPECT_EQ(s.TypingFor(L"NOTEPAD.EXE"), (TypingSettings{TypingMode::kPaste, 100, 0}));
  EXPECT_EQ(s.TypingFor(L"C:\\Windows\\notepad.exe"), (TypingSettings{TypingMode::kPaste, 100, 0}));
  EXPECT_EQ(s.TypingFor(L"winword.exe"), (TypingSettings{TypingMode::kKeys, 100, 20}));
  EXPECT_EQ(s.TypingFor(L"chrome.exe"), (TypingSettings{TypingMode::kKeys, 0, 0}));
  EXPECT_EQ(s.TypingFor(L"calc.exe"), (TypingSettings{TypingMode::kKeys, 100, 0}));
  EXPECT_EQ(s.TypingFor(L""), (TypingSettings{TypingMode::kKeys, 100, 0}));
}

TEST(SettingsProblems, EachBadLineWithItsNumberAndTheRestApplies) {
  const auto s = Parse(
      L"F1 = {姓名}\n"               // 1
      L"[模板]\n"                    // 2
      L"F25 = {姓名}\n"              // 3
      L"F9 = {姓名\n"                // 4
      L"F9 = {姓名}{Tab}\n"          // 5
      L"f9 = {性别}\n"               // 6
      L"F10 =\n"                     // 7
      L"just text\n"                 // 8
      L" = x\n"                      // 9
      L"[输入\n"                     // 10
      L"F11 = {性别}\n"              // 11: in the broken section, not used
      L"[输入] x\n"                  // 12
      L"[Typing]\n"                  // 13
      L"字段间隔 = 2001\n"           // 14
      L"字段间隔 = 2000\n"           // 15
      L"字段间隔 = 10\n"             // 16
      L"字符间隔 = 51 ; too long\n"  // 17
      L"方式 = fast\n"               // 18
      L"速度 = 1\n"                  // 19
      L"字符间隔 =  ;nothing\n"      // 20
      L"[隐私]\n"                    // 21
      L"清除秒数 = 86401\n"          // 22
      L"清除秒数 = -1\n"             // 23
      L"读后删除卡片文件 = 1\n"      // 24
      L"[其他]\n"                    // 25
      L"名称 = 值\n"                 // 26: in an unknown section, not reported
      L"[程序:]\n"                   // 27
      L"[程序:C:\\a\\b.exe]\n"       // 28
      L"[隐私]\n身份证号遮挡 = 是\n[模板]\nF12 = {Tab}\n");  // 29..32
  EXPECT_EQ(Problems(s),
            (LineAndWhat{
                {1, L"这一行不属于任何节：请先写节名，例如 [模板] 或 [输入]。"},
                {3, L"“F25”不是模板可用的按键；模板的按键为 F1 到 F24。"},
                {4, L"模板有误：“{姓名”缺少右大括号“}”（要录入大括号本身，请写 {{）。"},
                {6, L"按键 F9 的模板已在第 5 行定义，这一行未采用。"},
                {7, L"模板为空。"},
                {8,
                 L"这一行既不是节名（如 [模板]），也不是“名称 = 值”，也不是注释（以 ; 或 # "
                 L"开头）。"},
                {9, L"等号前缺少名称。"},
                {10, L"节名缺少右方括号“]”，此节中的各行均未采用。"},
                {12, L"节名后有多余的文字（注释请以 ; 或 # 开始），此节中的各行均未采用。"},
                {14, L"“字段间隔”的值应为 0 到 2000 之间的整数（毫秒）。"},
                {16, L"“字段间隔”已在第 15 行设置，这一行未采用。"},
                {17, L"“字符间隔”的值应为 0 到 50 之间的整数（毫秒）。"},
                {18, L"“方式”的值应为 字符、按键 或 粘贴（或 unicode、keys、paste）。"},
                {19,
                 L"[Typing] 中没有名为“速度”的设置。可用的有：字段间隔、方式、字符间隔（或 "
                 L"FieldDelayMs、Mode、CharDelayMs）。"},
                {20, L"等号后缺少值。"},
                {22, L"“清除秒数”的值应为 0 到 86400 之间的整数（秒，0 表示不清除）。"},
                {23, L"“清除秒数”的值应为 0 到 86400 之间的整数（秒，0 表示不清除）。"},
                {24, L"“读后删除卡片文件”的值应为 是 或 否（或 yes、no）。"},
                {25,
                 L"没有名为 [其他] 的节，此节中的各行均未采用。可用的节：[模板]、[输入]、"
                 L"[程序:程序文件名]、[隐私]、[站点]、[核验]（或 [Templates]、[Typing]、"
                 L"[App:NAME]、[Privacy]、[Site]、[Checks]）。"},
                {27, L"缺少程序文件名，应写成例如 [程序:notepad.exe]，此节中的各行均未采用。"},
                {28, L"只写程序文件名（例如 notepad.exe），不要写文件夹，此节中的各行均未采用。"},
            }));
  EXPECT_EQ(s.problems[2].lineText, L"F9 = {姓名");
  EXPECT_EQ(Typed(s, 9), L"张三|");
  EXPECT_EQ(Typed(s, 11), L"<none>");
  EXPECT_EQ(Typed(s, 12), L"|");
  EXPECT_EQ(s.typing.fieldDelayMs, 2000);
  EXPECT_FALSE(s.typing.charDelayMs);
  EXPECT_EQ(s.privacy.clearAfterSeconds, 0);
  EXPECT_TRUE(s.privacy.maskIdNumber);
}

TEST(SettingsOnRead, ForAllProgramsOrOneWithItsProblemsReportedLikeAnyTemplate) {
  const auto s = Parse(
      L"[模板]\n"                          // 1
      L"读卡后 = {姓名}{Tab}{未知}\n"      // 2
      L"读卡后 = {姓名}{Enter}\n"          // 3
      L"onread = {性别}\n"                 // 4
      L"[输入]\n"                          // 5
      L"读卡后 = {姓名}\n"                 // 6
      L"[程序:hotel.exe]\n"                // 7
      L"OnRead = {住址}{Tab}{身份证号}\n"  // 8
      L"读卡后 = x\n"                      // 9
      L"速度 = 1\n"                        // 10
      L"[程序:chat]\n"                     // 11
      L"读卡后 =   ; 不录入\n");           // 12
  EXPECT_EQ(Problems(s),
            (LineAndWhat{
                {2, L"模板有误：{未知} 不是可用的占位符（要录入大括号本身，请写 {{ 或 }}）。"},
                {4, L"“onread”已在第 3 行设置，这一行未采用。"},
                {6,
                 L"[输入] 中没有名为“读卡后”的设置。可用的有：字段间隔、方式、字符间隔（或 "
                 L"FieldDelayMs、Mode、CharDelayMs）。"},
                {9, L"“读卡后”已在第 8 行设置，这一行未采用。"},
                {10,
                 L"[程序:hotel.exe] 中没有名为“速度”的设置。可用的有：字段间隔、方式、字符间隔、"
                 L"读卡后（或 FieldDelayMs、Mode、CharDelayMs、OnRead）。"},
            }));
  EXPECT_EQ(Typed(s.OnReadFor(L"notepad.exe")), L"张三|");
  EXPECT_EQ(Typed(s.OnReadFor(L"D:\\HIS\\Hotel.EXE")), L"北京|110108199003070011");
  EXPECT_EQ(Typed(s.OnReadFor(L"chat.exe")), L"<none>");  // switched off there
  EXPECT_TRUE(s.OnReadAnywhere());
  EXPECT_FALSE(Parse(L"[模板]\nF9 = x\n[程序:a.exe]\n读卡后 = #\n").OnReadAnywhere());
}

TEST(SettingsEncoding, Utf8WithAndWithoutMarkAndUtf16) {
  const std::string body = U8(L"[输入]\r\n方式 = 粘贴\r\n");
  SettingsEncoding used{};
  EXPECT_EQ(DecodeSettingsText(body, Cp936Codec(), &used), L"[输入]\r\n方式 = 粘贴\r\n");
  EXPECT_EQ(used, SettingsEncoding::kUtf8);
  EXPECT_EQ(DecodeSettingsText("\xEF\xBB\xBF" + body, Cp936Codec(), &used),
            L"[输入]\r\n方式 = 粘贴\r\n");
  EXPECT_EQ(used, SettingsEncoding::kUtf8WithBom);
  const std::string utf16le("\xFF\xFE[\0\x93\x8F\x65Q]\0\n\0", 12);
  EXPECT_EQ(DecodeSettingsText(utf16le, Cp936Codec(), &used), L"[输入]\n");
  EXPECT_EQ(used, SettingsEncoding::kUtf16Le);
  const std::string utf16be("\xFE\xFF\0[\x8F\x93Qe\0]\xD8\x3D\xDE\x00\xDC\x00\0", 17);
  EXPECT_EQ(DecodeSettingsText(utf16be, Cp936Codec(), &used), L"[输入]\U0001F600\uFFFD\uFFFD");
  EXPECT_EQ(used, SettingsEncoding::kUtf16Be);
  EXPECT_EQ(Parse("\xEF\xBB\xBF" + body).TypingFor(L"a.exe").mode, TypingMode::kPaste);
}

TEST(SettingsEncoding, CodePage936FileIsReadAsSuch) {
  const auto s = Parse(
      "[\xC4\xA3\xB0\xE5]\r\nF9 = {\xD0\xD5\xC3\xFB}\xA3\xA8{\xC9\xED\xB7\xDD\xD6\xA4\xBA\xC5}"
      "\xA3\xA9\r\n[\xCA\xE4\xC8\xEB]\r\n\xB7\xBD\xCA\xBD = \xB0\xB4\xBC\xFC\r\n");
  EXPECT_EQ(s.encoding, SettingsEncoding::kFallback);
  EXPECT_TRUE(s.problems.empty());
  EXPECT_EQ(Typed(s, 9), L"张三（110108199003070011）");
  EXPECT_EQ(s.TypingFor(L"a.exe").mode, TypingMode::kKeys);
  // A mark followed by bytes that are no UTF-8 still leaves the mark out.
  EXPECT_EQ(DecodeSettingsText("\xEF\xBB\xBF\xC4\xA3\xB0\xE5", Cp936Codec()), L"模板");
}

TEST(SettingsEncoding, StrictUtf8) {
  EXPECT_EQ(DecodeUtf8Strict("a\xC3\xA9\xE6\xA8\xA1\xF0\x9F\x98\x80"), L"a\u00E9模\U0001F600");
  for (const char* bad :
       {"\xC0\xAF", "\xC1\xBF", "\xE0\x80\xAF", "\xF0\x80\x80\xAF",  // overlong
        "\xED\xA0\x80", "\xED\xBF\xBF",                              // surrogates
        "\xE6\xA8", "a\xF0\x9F\x98", "\xC3",                         // cut short
        "\x80", "a\xBFz", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xFF", "\xE6\x41\xA1"}) {
    EXPECT_EQ(DecodeUtf8Strict(bad), std::nullopt) << bad;
  }
  EXPECT_EQ(DecodeUtf8Strict("\xED\x9F\xBF\xEE\x80\x80\xF4\x8F\xBF\xBF"),
            L"\uD7FF\uE000\U0010FFFF");
}

TEST(SettingsFieldKeys, TemplateOnAFieldKeyIsDroppedAndReported) {
  auto s = Parse(L"[模板]\nF1 = {姓名}{Tab}\nF9 = {性别}\nF13 = {民族}\nF12 = x\n");
  DropTemplatesOnFieldKeys(s, {L"F5", L"f9", L"F13", L"F2", L"F3", L"F4", L"F1", L"F12"});
  EXPECT_EQ(
      Problems(s),
      (LineAndWhat{
          {2, L"按键 F1 已在 SetKey.txt 中分配给“签发机关”，仍由该项使用；这一行的模板未采用。"},
          {5, L"按键 F12 已在 SetKey.txt 中分配给“有效期限”，仍由该项使用；这一行的模板未采用。"},
      }));
  EXPECT_EQ(s.problems[0].lineText, L"F1 = {姓名}{Tab}");
  EXPECT_EQ(Typed(s, 1), L"<none>");
  EXPECT_EQ(Typed(s, 12), L"<none>");
  EXPECT_EQ(Typed(s, 9), L"男");   // "f9" is no field key
  EXPECT_EQ(Typed(s, 13), L"汉");  // nor is "F13"
  DropTemplatesOnFieldKeys(s, {L"F5", L"f9", L"F13", L"F2", L"F3", L"F4", L"F1", L"F12"});
  EXPECT_EQ(s.problems.size(), 2u);
}

TEST(SettingsFieldKeys, ProblemsStayInLineOrder) {
  auto s = Parse(L"[模板]\nF1 = x\nF30 = y\n");
  DropTemplatesOnFieldKeys(s, {L"F1"});
  ASSERT_EQ(s.problems.size(), 2u);
  EXPECT_EQ(s.problems[0].line, 2);
  EXPECT_EQ(s.problems[1].line, 3);
}

TEST(SettingsReport, ListsFileLineTextAndWhat) {
  EXPECT_EQ(FormatSettingsReport({}), L"");
  const auto s = Parse(L"[模板]\n\tF0 = \x01{姓名}\n");
  EXPECT_EQ(FormatSettingsReport(s.problems),
            L"KeyEntry.ini 中有 1 处问题。以下各行未被采用，文件的其余部分照常生效。\n"
            L"\n"
            L"第 2 行：F0 = \uFFFD{姓名}\n"
            L"    “F0”不是模板可用的按键；模板的按键为 F1 到 F24。\n"
            L"\n"
            L"请在主窗口的系统菜单中点“编辑模板 (KeyEntry.ini)”修改。");
}

TEST(SettingsReport, LongLinesAreCutAndTheListIsCapped) {
  std::wstring file = L"[模板]\nF1 = " + std::wstring(70, L'x') + L"}\n";
  for (int i = 0; i < 11; ++i) file += L"bad\n";
  const std::wstring report = FormatSettingsReport(Parse(file).problems, 3);
  EXPECT_EQ(report,
            L"KeyEntry.ini 中有 12 处问题。以下各行未被采用，文件的其余部分照常生效。\n\n"
            L"第 2 行：F1 = " +
                std::wstring(55, L'x') +
                L"…\n"
                L"    模板有误：多余的右大括号“}”（要录入它本身，请写 }}）。\n\n"
                L"第 3 行：bad\n"
                L"    这一行既不是节名（如 [模板]），也不是“名称 = 值”，也不是注释（以 ; 或 # "
                L"开头）。\n\n"
                L"第 4 行：bad\n"
                L"    这一行既不是节名（如 [模板]），也不是“名称 = 值”，也不是注释（以 ; 或 # "
                L"开头）。\n\n"
                L"另有 9 处问题未列出。\n\n"
                L"请在主窗口的系统菜单中点“编辑模板 (KeyEntry.ini)”修改。");
}

}  // namespace
}  // namespace keyentry::test
