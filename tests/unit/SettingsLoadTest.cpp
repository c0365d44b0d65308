// KeyEntry.ini as the program loads it: right after SetKey.txt at each
// reader search, and again on demand; its problems in one message per load;
// the settings and card values handed to the keyboard hook.
#include <gtest/gtest.h>

#include "Fakes.h"

namespace keyentry::test {
namespace {

constexpr std::int16_t kVkF3 = 114, kVkF9 = 120, kVkF10 = 121;

class SettingsLoad : public ::testing::Test {
 protected:
  CoreRig rig;
  void SetUp() override { rig.files.files[CoreRig::kKeyFile] = kKeyFileF1ToF8; }
  void Ini(std::wstring_view text) { rig.files.files[CoreRig::kIniFile] = U8(text); }
  const SettingsContent& Published() const { return *rig.tables.Current()->settings; }
};

TEST_F(SettingsLoad, MissingFileMeansDefaultsAndNoMessage) {
  rig.maths.InitDevice();
  rig.maths.SetCardField(0, L"张三");
  rig.maths.PublishHookTable();
  EXPECT_TRUE(rig.messages.shown.empty());
  EXPECT_TRUE(Published().templates.empty());
  EXPECT_TRUE(rig.maths.Settings().TypingFor(L"notepad.exe") == TypingSettings{});
  // The hook gets the card values as text too.
  EXPECT_EQ(rig.tables.Current()->values[0], std::optional<std::wstring>(L"张三"));
  EXPECT_EQ(rig.tables.Current()->values[1], std::nullopt);
}

TEST_F(SettingsLoad, ProblemsAreReportedInOneMessageOncePerLoadAndTheRestApplies) {
  Ini(L"[模板]\nF9 = {姓名}\nF0 = x\n[输入]\n字段间隔 = 9000\n方式 = 按键\n");
  rig.maths.InitDevice();
  EXPECT_EQ(rig.messages.shown,
            std::vector<std::wstring>{
                L"KeyEntry.ini 中有 2 处问题。以下各行未被采用，文件的其余部分照常生效。\n\n"
                L"第 3 行：F0 = x\n"
                L"    “F0”不是模板可用的按键；模板的按键为 F1 到 F24。\n\n"
                L"第 5 行：字段间隔 = 9000\n"
                L"    “字段间隔”的值应为 0 到 2000 之间的整数（毫秒）。\n\n"
                L"请在主窗口的系统菜单中点“编辑模板 (KeyEntry.ini)”修改。"});
  EXPECT_TRUE(Published().TypingFor(L"a.exe").mode == TypingMode::kKeys);
  // New keys keep the settings and bring no message; each load reports.
  rig.maths.SetHotKeys({L"F1", L"F2", L"F3", L"F4", L"F5", L"F6", L"F7", L"F12"});
  EXPECT_NE(Published().FindTemplate(kVkF9), nullptr);
  EXPECT_EQ(rig.messages.shown.size(), 1u);
  rig.maths.InitDevice();
  rig.maths.ReloadSettings();
  ASSERT_EQ(rig.messages.shown.size(), 3u);
  EXPECT_EQ(rig.messages.shown[2], rig.messages.shown[0]);
}

TEST_F(SettingsLoad, TemplateOnAFieldKeyIsReportedAndDropped) {
  Ini(L"[模板]\nF3 = {姓名}{Tab}\nF9 = {民族}\n");
  rig.maths.InitDevice();
  EXPECT_EQ(
      rig.messages.shown,
      std::vector<std::wstring>{
          L"KeyEntry.ini 中有 1 处问题。以下各行未被采用，文件的其余部分照常生效。\n\n"
          L"第 2 行：F3 = {姓名}{Tab}\n"
          L"    按键 F3 已在 SetKey.txt 中分配给“民族”，仍由该项使用；这一行的模板未采用。\n\n"
          L"请在主窗口的系统菜单中点“编辑模板 (KeyEntry.ini)”修改。"});
  EXPECT_EQ(Published().FindTemplate(kVkF3), nullptr);
  EXPECT_NE(Published().FindTemplate(kVkF9), nullptr);
}

TEST_F(SettingsLoad, ReloadTakesTheChangedFileAndLeavesSetKeyAlone) {
  Ini(L"[模板]\nF9 = a\n");
  rig.maths.InitDevice();
  // Both files change on disk; only KeyEntry.ini is read again.
  Ini(L"[Templates]\nF10 = b\n[Typing]\nMode = paste\n");
  rig.files.files[CoreRig::kKeyFile] = "F11\r\nF2\r\nF3\r\nF4\r\nF5\r\nF6\r\nF7\r\nF8";
  rig.maths.ReloadSettings();
  EXPECT_EQ(Published().FindTemplate(kVkF9), nullptr);
  EXPECT_NE(Published().FindTemplate(kVkF10), nullptr);
  EXPECT_TRUE(rig.maths.Settings().TypingFor(L"x.exe").mode == TypingMode::kPaste);
  EXPECT_EQ(rig.maths.HotKeys()[0], L"F1");
  EXPECT_EQ(rig.files.replaceCalls, 0);
  // A file that is gone again gives the defaults, silently.
  rig.files.files.erase(CoreRig::kIniFile);
  rig.maths.ReloadSettings();
  EXPECT_TRUE(Published().templates.empty());
  EXPECT_TRUE(rig.messages.shown.empty());
}

TEST_F(SettingsLoad, FileThatIsNotUtf8IsReadInCodePage936) {
  // "[模板]\r\nF9 = {姓名}先生\r\n" as older Notepad saves it.
  rig.files.files[CoreRig::kIniFile] =
      "[\xC4\xA3\xB0\xE5]\r\nF9 = {\xD0\xD5\xC3\xFB}\xCF\xC8\xC9\xFA\r\n";
  rig.maths.InitDevice();
  EXPECT_TRUE(rig.messages.shown.empty());
  ASSERT_NE(Published().FindTemplate(kVkF9), nullptr);
  EXPECT_EQ(Published().FindTemplate(kVkF9)->lineText, L"F9 = {姓名}先生");
}

}  // namespace
}  // namespace keyentry::test
