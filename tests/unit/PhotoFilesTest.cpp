// The photo files written for {照片文件}: names made safe from a template of
// card values, the [照片] settings, the photo placeholders in templates and
// typing plans, and which written files go when.
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "Fakes.h"
#include "core/PhotoFiles.h"
#include "core/SettingsFile.h"
#include "core/TypingPlan.h"

namespace keyentry::test {
namespace {

CardFieldValues Card(const wchar_t* name, const wchar_t* id) {
  return {name, L"男", L"汉", L"19900307", L"北京市", id, L"某局", L"2016.03.15-2036.03.15"};
}
constexpr Date kToday{2024, 5, 20};

TEST(PhotoNames, UnsafeCharactersReservedNamesAndEmptyResults) {
  const struct {
    const wchar_t* in;
    const wchar_t* out;
  } cases[] = {
      {L"110108199003070011", L"110108199003070011"},
      {L"张三 110108", L"张三 110108"},
      {L"a/b\\c:d*e?f\"g<h>i|j", L"a_b_c_d_e_f_g_h_i_j"},
      {L"tab\there\x01", L"tab_here_"},
      {L"  name. . ", L"name"},
      {L"...hidden", L"hidden"},
      {L"photo.JPG", L"photo"},
      {L"photo.jpeg", L"photo"},
      {L"photo.png.bmp", L"photo.png"},
      {L"photo.txt", L"photo.txt"},
      {L"", L""},
      {L"   ", L""},
      {L"???", L""},
      {L"..", L""},
      {L"CON", L""},
      {L"nul", L""},
      {L"Com1", L""},
      {L"LPT9.jpg", L""},
      {L"aux.txt", L""},
      {L"PRN .x", L""},
      {L"COM0", L"COM0"},
      {L"CONSOLE", L"CONSOLE"},
      {L"COM10", L"COM10"},
  };
  for (const auto& c : cases) EXPECT_EQ(SafePhotoName(c.in), c.out) << U8(c.in);
}

TEST(PhotoNames, LongNamesAreCutOutsideASurrogatePair) {
  EXPECT_EQ(SafePhotoName(std::wstring(150, L'x')), std::wstring(100, L'x'));
  const std::wstring pairAtCut = std::wstring(99, L'x') + L"\xD83D\xDE00" + L"tail";
  EXPECT_EQ(SafePhotoName(pairAtCut), std::wstring(99, L'x'));
  EXPECT_EQ(SafePhotoName(std::wstring(99, L'x') + L" tail"), std::wstring(99, L'x'));
}

TEST(PhotoNames, TemplateFormatAndFallbacks) {
  const struct {
    const wchar_t* nameTemplate;  // nullptr: unset
    const wchar_t* name;
    const wchar_t* id;
    PhotoFormat format;
    const wchar_t* file;
  } cases[] = {
      {nullptr, L"张三", L"110108199003070011", PhotoFormat::kJpeg, L"110108199003070011.jpg"},
      {nullptr, L"张三", L"110108199003070011", PhotoFormat::kPng, L"110108199003070011.png"},
      {L"{姓名}_{出生日期:yyyy}", L"张三", L"1", PhotoFormat::kBmp, L"张三_1990.bmp"},
      {L"{姓名}.jpg", L"张三", L"1", PhotoFormat::kPng, L"张三.png"},
      {L"{姓名}", L"a/b", L"1", PhotoFormat::kJpeg, L"a_b.jpg"},
      {L"{今天:yyyyMMdd}", L"张三", L"1", PhotoFormat::kJpeg, L"20240520.jpg"},
      // Empty or reserved: the identity number, then the last resort.
      {L"{姓名}", L"", L"110108199003070011", PhotoFormat::kJpeg, L"110108199003070011.jpg"},
      {L"{姓名}", L"CON", L"110108199003070011", PhotoFormat::kJpeg, L"110108199003070011.jpg"},
      {L"{姓名}", L"  ", L"", PhotoFormat::kPng, L"照片.png"},
      {nullptr, L"张三", L"NUL", PhotoFormat::kJpeg, L"照片.jpg"},
      // Not a name template (keys): the default.
      {L"{姓名}{Tab}", L"张三", L"42", PhotoFormat::kJpeg, L"42.jpg"},
  };
  for (const auto& c : cases) {
    const ParsedTemplate parsed = ParseTemplate(c.nameTemplate ? c.nameTemplate : L"");
    ASSERT_FALSE(parsed.error);
    EXPECT_EQ(PhotoFileName(c.nameTemplate ? &parsed.value : nullptr, Card(c.name, c.id), kToday,
                            c.format),
              c.file)
        << U8(c.nameTemplate ? c.nameTemplate : L"(unset)");
  }
}

TEST(PhotoSettingsSection, FormatFolderAndName) {
  const SettingsContent s = ParseSettingsFile(
      "[照片]\n格式 = PNG\n文件夹 = \"D:\\上传 照片\"\n文件名 = {姓名}_{身份证号}\n", Cp936Codec());
  EXPECT_EQ(s.photo.format, PhotoFormat::kPng);
  EXPECT_EQ(s.photo.folder, L"D:\\上传 照片");
  ASSERT_TRUE(s.photo.nameTemplate);
  EXPECT_EQ(PhotoFileName(&*s.photo.nameTemplate, Card(L"张三", L"7"), kToday, s.photo.format),
            L"张三_7.png");
  EXPECT_TRUE(s.problems.empty());
  const SettingsContent none = ParseSettingsFile("[模板]\nF9 = {照片}\n", Cp936Codec());
  EXPECT_EQ(none.photo.format, PhotoFormat::kJpeg);
  EXPECT_EQ(none.photo.folder, L"");
  EXPECT_FALSE(none.photo.nameTemplate);
  EXPECT_TRUE(none.problems.empty());
  // Quoted, a folder keeps its " #" and " ;"; unquoted, they start a comment.
  const SettingsContent quoted =
      ParseSettingsFile("[照片]\n文件夹 = \"D:\\柜台 #2 ;东\"  ; 注释\n", Cp936Codec());
  EXPECT_EQ(quoted.photo.folder, L"D:\\柜台 #2 ;东");
  EXPECT_TRUE(quoted.problems.empty());
  EXPECT_EQ(ParseSettingsFile("[照片]\n文件夹 = D:\\柜台 #2\n", Cp936Codec()).photo.folder,
            L"D:\\柜台");
}

TEST(PhotoSettingsSection, ProblemsKeepTheDefaults) {
  const struct {
    const char* file;
    int line;
    const wchar_t* what;
  } cases[] = {
      {"[Photo]\nformat = gif\n", 2, L"“format”的值应为 jpg、png 或 bmp。"},
      {"[Photo]\nfolder = photos\n", 2,
       L"“folder”应为完整路径，例如 D:\\照片 或 \\\\服务器\\共享\\照片。"},
      {"[照片]\n文件名 = {姓名}{Enter}\n", 2,
       L"文件名只能由卡片信息、日期和文字组成，不能含按键、延时或照片。"},
      {"[照片]\n文件名 = {照片}\n", 2,
       L"文件名只能由卡片信息、日期和文字组成，不能含按键、延时或照片。"},
      {"[照片]\n格式 = bmp\n\n格式 = png\n", 4, L"“格式”已在第 2 行设置，这一行未采用。"},
      {"[照片]\n颜色 = 红\n", 2,
       L"[照片] 中没有名为“颜色”的设置。可用的有：格式、文件夹、文件名（或 "
       L"Format、Folder、FileName）。"},
  };
  for (const auto& c : cases) {
    const SettingsContent s = ParseSettingsFile(c.file, Cp936Codec());
    ASSERT_EQ(s.problems.size(), 1u) << c.file;
    EXPECT_EQ(s.problems[0].line, c.line) << c.file;
    EXPECT_EQ(s.problems[0].what, c.what) << c.file;
    EXPECT_EQ(s.photo.folder, L"") << c.file;
    EXPECT_FALSE(s.photo.nameTemplate) << c.file;
  }
}

TEST(PhotoPlaceholders, StepsAndChunksOfTheirOwnNeverInTheHook) {
  const ParsedTemplate parsed = ParseTemplate(L"{照片}{Tab}{姓名}{PhotoFile}{Enter}");
  ASSERT_FALSE(parsed.error);
  const std::vector<TypingStep> steps = parsed.value.Expand(Card(L"张三", L"1"), kToday, 0);
  const StepKind kinds[] = {StepKind::kPhoto, StepKind::kKey, StepKind::kText, StepKind::kPhotoFile,
                            StepKind::kKey};
  ASSERT_EQ(steps.size(), 5u);
  for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(steps[i].kind, kinds[i]) << i;
  EXPECT_FALSE(CanTypeInHook(steps, {TypingMode::kUnicode, 0, 0}));

  FakeLayout layout;
  const TypingPlan plan =
      PlanTyping(steps, {TypingMode::kUnicode, 0, 0}, {{0xA4, 0x38}}, layout, {});
  const ChunkKind chunks[] = {ChunkKind::kEvents, ChunkKind::kPhoto, ChunkKind::kEvents,
                              ChunkKind::kPhotoFile, ChunkKind::kEvents};
  const char* events[] = {"E8/00 E8/00^ A4/38^", "11/1D 56/2F 56/2F^ 11/1D^",
                          "09/0F 09/0F^ u5F20 u5F20^ u4E09 u4E09^", "", "0D/1C 0D/1C^"};
  ASSERT_EQ(plan.size(), 5u);
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(plan[i].kind, chunks[i]) << i;
    EXPECT_EQ(Keys(plan[i].events), events[i]) << i;
  }
}

// Which files go: every written one, each once, until it is known gone.
TEST(WrittenPhotoFiles, DueUntilDeletedEachOnceInOrder) {
  WrittenPhotos written;
  EXPECT_TRUE(written.Due().empty());
  written.Written(L"C:\\p\\1.jpg");
  written.Written(L"C:\\p\\2.png");
  written.Written(L"c:\\P\\1.JPG");  // the same file again
  EXPECT_EQ(written.Due(), (std::vector<std::wstring>{L"C:\\p\\1.jpg", L"C:\\p\\2.png"}));
  EXPECT_EQ(written.LedgerText(), L"C:\\p\\1.jpg\nC:\\p\\2.png\n");
  // 2.png is held open by another program: it stays due for the next time.
  written.Deleted(L"C:\\p\\1.jpg");
  EXPECT_EQ(written.Due(), (std::vector<std::wstring>{L"C:\\p\\2.png"}));
  written.Written(L"C:\\p\\3.jpg");
  written.Deleted(L"C:\\p\\2.png");
  written.Deleted(L"C:\\p\\unknown.jpg");
  EXPECT_EQ(written.Due(), (std::vector<std::wstring>{L"C:\\p\\3.jpg"}));
  written.Deleted(L"C:\\p\\3.jpg");
  EXPECT_TRUE(written.Empty());
  EXPECT_EQ(written.LedgerText(), L"");
}

TEST(WrittenPhotoFiles, LeftoversOfAnEarlierRunFromItsLedger) {
  const struct {
    const wchar_t* ledger;
    std::vector<std::wstring> paths;
  } cases[] = {
      {L"", {}},
      {L"C:\\p\\1.jpg\nC:\\p\\2.png\n", {L"C:\\p\\1.jpg", L"C:\\p\\2.png"}},
      {L"C:\\p\\1.jpg\r\n\r\n  \\\\srv\\s\\2.bmp  \r\nC:\\P\\1.JPG",
       {L"C:\\p\\1.jpg", L"\\\\srv\\s\\2.bmp"}},
      {L"relative.jpg\nC:\nD:\\ok.jpg", {L"D:\\ok.jpg"}},
  };
  for (const auto& c : cases) EXPECT_EQ(ParsePhotoLedger(c.ledger), c.paths) << U8(c.ledger);
}

}  // namespace
}  // namespace keyentry::test
