// What the installation package has the program do: the switch it passes,
// and 共享设置 of [站点] set into a KeyEntry.ini with every other byte kept.
#include <gtest/gtest.h>

#include "Fakes.h"
#include "core/InstallSetup.h"
#include "core/SettingsFile.h"

namespace keyentry::test {
namespace {

constexpr const wchar_t* kShare = L"\\\\srv\\ke\\KeyEntry.ini";
const std::string kShareLine = "共享设置 = \\\\srv\\ke\\KeyEntry.ini";

TEST(InstallSetup, SwitchesOfTheCommandLine) {
  struct Case {
    const wchar_t* line;
    InstallJob job;
    const wchar_t* argument;
  };
  const Case cases[] = {
      {L"", InstallJob::kNone, L""},
      {L"  ", InstallJob::kNone, L""},
      {L"C:\\somefile.txt", InstallJob::kNone, L""},
      {L"/sharedsettings \\\\srv\\ke\\KeyEntry.ini", InstallJob::kSetSharedSettings,
       L"\\\\srv\\ke\\KeyEntry.ini"},
      {L"-SharedSettings  \"\\\\srv\\共享 目录\\KeyEntry.ini\" ", InstallJob::kSetSharedSettings,
       L"\\\\srv\\共享 目录\\KeyEntry.ini"},
      {L"/sharedsettings", InstallJob::kSetSharedSettings, L""},
      {L"/REMOVESTARTUP", InstallJob::kRemoveStartupShortcuts, L""},
      {L"/removestartup now", InstallJob::kUnknown, L""},
      {L"/sharedsettingsX a", InstallJob::kUnknown, L""},
      {L"/install", InstallJob::kUnknown, L""},
  };
  for (const Case& c : cases) {
    const InstallCommand command = ParseInstallCommand(c.line);
    EXPECT_EQ(command.job, c.job) << U8(c.line);
    EXPECT_EQ(command.argument, c.argument) << U8(c.line);
  }
}

TEST(InstallSetup, SharedSettingsLineAddedOrReplacedAndNothingElseChanged) {
  struct Case {
    const char* name;
    std::string before;
    std::string after;
  };
  const std::string bom = "\xEF\xBB\xBF";
  const Case cases[] = {
      {"no [站点]: added at the end, with the file's CR LF", bom + "[模板]\r\nF9 = {姓名}{Tab}\r\n",
       bom + "[模板]\r\nF9 = {姓名}{Tab}\r\n[站点]\r\n" + kShareLine + "\r\n"},
      {"no line end at the end, LF only", "[模板]\nF9 = {姓名}",
       "[模板]\nF9 = {姓名}\n[站点]\n" + kShareLine + "\n"},
      {"empty file", "", "[站点]\r\n" + kShareLine + "\r\n"},
      {"replaced, its name as written; comments and other sections as they were",
       bom + "; 说明 共享设置 = x\r\n[站点] ; 站点\r\n  sharedsettings=\\\\old\\a.ini ; 旧\r\n"
             "[隐私]\r\n清除秒数 = 60\r\n",
       bom +
           "; 说明 共享设置 = x\r\n[站点] ; 站点\r\nsharedsettings = \\\\srv\\ke\\KeyEntry.ini\r\n"
           "[隐私]\r\n清除秒数 = 60\r\n"},
      {"only the first of two is replaced",
       "[Site]\r\n共享设置 = Z:\\a.ini\r\n共享设置 = Z:\\b.ini\r\n",
       "[Site]\r\n" + kShareLine + "\r\n共享设置 = Z:\\b.ini\r\n"},
      {"a header without the line: added right after it, LF kept",
       "[site]\n[模板]\nF9 = 共享设置 = {姓名}\n",
       "[site]\n" + kShareLine + "\n[模板]\nF9 = 共享设置 = {姓名}\n"},
      {"the header is the last line", "[模板]\r\nF9 = {姓名}\r\n[站点]",
       "[模板]\r\nF9 = {姓名}\r\n[站点]\r\n" + kShareLine},
      {"commented-out lines of the example stay", ";[站点]\r\n;共享设置 = \\\\server\\x.ini\r\n",
       ";[站点]\r\n;共享设置 = \\\\server\\x.ini\r\n[站点]\r\n" + kShareLine + "\r\n"},
      {"a CR-only file in a later [站点]", "[模板]\rF9 = {姓名}\r[程序:a]\r[站点]\r共享设置 =\r",
       "[模板]\rF9 = {姓名}\r[程序:a]\r[站点]\r" + kShareLine + "\r"},
  };
  for (const Case& c : cases) {
    const auto after = SetSharedSettingsLine(c.before, kShare, Cp936Codec());
    ASSERT_TRUE(after) << c.name;
    EXPECT_EQ(*after, c.after) << c.name;
  }
  // A path with ";" or "#" in double quotes, so that it is not cut short.
  EXPECT_EQ(SetSharedSettingsLine("[站点]\r\n", L"\\\\srv\\a;b\\KeyEntry.ini", Cp936Codec()),
            "[站点]\r\n共享设置 = \"\\\\srv\\a;b\\KeyEntry.ini\"\r\n");
  EXPECT_FALSE(SetSharedSettingsLine("[站点]\r\n", L"", Cp936Codec()));
  EXPECT_FALSE(SetSharedSettingsLine("[站点]\r\n", L"\\\\srv\\a\r\n[x]", Cp936Codec()));
}

TEST(InstallSetup, SharedSettingsLineInTheFilesOwnEncoding) {
  // Code page 936: 站点 is D5 BE B5 E3, 共享设置 B9 B2 CF ED C9 E8 D6 C3, 模板 C4 A3 B0 E5.
  const std::string gbk = "[\xC4\xA3\xB0\xE5]\r\nF9 = \xC4\xA3\r\n[\xD5\xBE\xB5\xE3]\r\n";
  EXPECT_EQ(SetSharedSettingsLine(gbk, L"\\\\srv\\共享\\KeyEntry.ini", Cp936Codec()),
            gbk + "\xB9\xB2\xCF\xED\xC9\xE8\xD6\xC3 = \\\\srv\\\xB9\xB2\xCF\xED\\KeyEntry.ini\r\n");
  // A path code page 936 cannot hold (Thai) is refused rather than written as "?".
  EXPECT_FALSE(SetSharedSettingsLine(gbk, L"\\\\srv\\\u0E01\\KeyEntry.ini", Cp936Codec()));

  // UTF-16 LE with its mark: "[Site]\r\n" and the line after it.
  const auto utf16 = [](const std::u16string& text) {
    std::string out = "\xFF\xFE";
    for (const char16_t c : text) out += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    return out;
  };
  EXPECT_EQ(
      SetSharedSettingsLine(utf16(u"[Site]\r\nSharedSettings=x\r\n"), L"Z:\\共.ini", Cp936Codec()),
      utf16(u"[Site]\r\nSharedSettings = Z:\\共.ini\r\n"));
}

TEST(InstallSetup, WritesKeyEntryIniFromTheExampleWhenMissing) {
  FakeFiles files;
  const std::string example = "\xEF\xBB\xBF; 示例\r\n[模板]\r\n";
  ASSERT_TRUE(WriteSharedSettingsLine(files, L"C:\\KeyEntry", kShare, Cp936Codec(), example));
  EXPECT_EQ(files.files[L"C:\\KeyEntry\\KeyEntry.ini"],
            example + "[站点]\r\n" + kShareLine + "\r\n");
  // Present: only the line changes; read-only: left as it is.
  ASSERT_TRUE(WriteSharedSettingsLine(files, L"C:\\KeyEntry", L"Z:\\s.ini", Cp936Codec(), "x"));
  EXPECT_EQ(files.files[L"C:\\KeyEntry\\KeyEntry.ini"],
            example + "[站点]\r\n共享设置 = Z:\\s.ini\r\n");
  files.readOnly.insert(L"C:\\KeyEntry\\KeyEntry.ini");
  EXPECT_FALSE(WriteSharedSettingsLine(files, L"C:\\KeyEntry", kShare, Cp936Codec(), example));
  EXPECT_EQ(files.files[L"C:\\KeyEntry\\KeyEntry.ini"],
            example + "[站点]\r\n共享设置 = Z:\\s.ini\r\n");
}

// What the package writes is what the program reads back, whatever the path holds.
TEST(InstallSetup, SharedSettingsPathIsReadBackAsWritten) {
  const wchar_t* paths[] = {
      L"\\\\srv\\Site #2\\KeyEntry.ini",
      L"\\\\srv\\a ;b\\KeyEntry.ini",
      L"Z:\\#1;x\\KeyEntry.ini",
      L"\\\\srv\\共享 目录\\KeyEntry.ini",
  };
  for (const wchar_t* path : paths) {
    const auto bytes = SetSharedSettingsLine("[模板]\r\nF9 = a\r\n", path, Cp936Codec());
    ASSERT_TRUE(bytes) << U8(path);
    const SettingsContent s = ParseSettingsFile(*bytes, Cp936Codec());
    EXPECT_EQ(s.sharedPath, path) << *bytes;
    EXPECT_TRUE(s.problems.empty()) << *bytes;
  }
}

}  // namespace
}  // namespace keyentry::test
