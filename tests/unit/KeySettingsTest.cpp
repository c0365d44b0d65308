#include <gtest/gtest.h>

#include "Fakes.h"
#include "core/KeySettings.h"

namespace keyentry::test {
namespace {

class KeySettingsFile : public ::testing::Test {
 protected:
  CoreRig rig;
  void SetFile(const std::string& bytes) { rig.files.files[CoreRig::kKeyFile] = bytes; }
  const std::string& File() { return rig.files.files.at(CoreRig::kKeyFile); }
  HotKeyTable Keys(std::initializer_list<const wchar_t*> names) {
    HotKeyTable t;
    int k = 0;
    for (auto n : names) t[k++] = n;
    return t;
  }
  const HotKeyTable kF1toF8 = Keys({L"F1", L"F2", L"F3", L"F4", L"F5", L"F6", L"F7", L"F8"});
};

TEST_F(KeySettingsFile, ReadsEightCrLfLines) {
  SetFile(kKeyFileF1ToF8);
  rig.maths.LoadKeySettings();
  EXPECT_EQ(rig.maths.HotKeys(), kF1toF8);
  EXPECT_TRUE(rig.messages.shown.empty());
}

TEST_F(KeySettingsFile, ReadsCrOnlyLinesAndAFinalLineEnd) {
  SetFile("F1\rF2\rF3\rF4\rF5\rF6\rF7\rF8\r");
  rig.maths.LoadKeySettings();
  EXPECT_EQ(rig.maths.HotKeys(), kF1toF8);
  EXPECT_TRUE(rig.messages.shown.empty());
}

TEST_F(KeySettingsFile, LfOnlyFileIsOneLineAndFailsAtTheSecond) {
  rig.maths.SetHotKeys(Keys({L"F9", L"F9", L"F9", L"F9", L"F9", L"F9", L"F9", L"F9"}));
  SetFile("F1\nF2\nF3\nF4\nF5\nF6\nF7\nF8\n");
  rig.maths.LoadKeySettings();
  EXPECT_EQ(rig.maths.HotKeys()[0], L"F1\nF2\nF3\nF4\nF5\nF6\nF7\nF8\n");
  EXPECT_EQ(rig.maths.HotKeys()[1], L"F9");  // kept its earlier value
  EXPECT_EQ(rig.messages.shown, std::vector<std::wstring>{kMsgKeyFileReadFailed});
}

TEST_F(KeySettingsFile, SevenLinesKeepTheEighthKeyAndReport) {
  rig.maths.SetHotKeys(Keys({L"", L"", L"", L"", L"", L"", L"", L"F12"}));
  SetFile("F1\r\nF2\r\nF3\r\nF4\r\nF5\r\nF6\r\nF7\r\n");
  rig.maths.LoadKeySettings();
  EXPECT_EQ(rig.maths.HotKeys(), Keys({L"F1", L"F2", L"F3", L"F4", L"F5", L"F6", L"F7", L"F12"}));
  EXPECT_EQ(rig.messages.shown, std::vector<std::wstring>{kMsgKeyFileReadFailed});
}

TEST_F(KeySettingsFile, NinthLineIsIgnoredAndLostOnSave) {
  SetFile(kKeyFileF1ToF8 + "\r\nF9\r\n");
  rig.maths.LoadKeySettings();
  EXPECT_EQ(rig.maths.HotKeys(), kF1toF8);
  EXPECT_TRUE(rig.messages.shown.empty());
  ASSERT_TRUE(rig.maths.SaveKeySettings());
  EXPECT_EQ(File(), kKeyFileF1ToF8);
}

TEST_F(KeySettingsFile, EmptyLinesAreEmptyNamesAndNamesAreNotTrimmed) {
  SetFile("\r\n f1\r\nF3 \r\n\r\nF5\r\n\r\n\r\n\r\n");
  rig.maths.LoadKeySettings();
  EXPECT_EQ(rig.maths.HotKeys(), Keys({L"", L" f1", L"F3 ", L"", L"F5", L"", L"", L""}));
  EXPECT_TRUE(rig.messages.shown.empty());
}

TEST_F(KeySettingsFile, EmptyOrMissingFileReportsAndChangesNothing) {
  rig.maths.SetHotKeys(kF1toF8);
  rig.maths.LoadKeySettings();  // missing
  EXPECT_EQ(rig.maths.HotKeys(), kF1toF8);
  SetFile("");
  rig.maths.LoadKeySettings();
  EXPECT_EQ(rig.maths.HotKeys(), kF1toF8);
  EXPECT_EQ(rig.messages.shown,
            (std::vector<std::wstring>{kMsgKeyFileReadFailed, kMsgKeyFileReadFailed}));
}

TEST_F(KeySettingsFile, WritesThirtyBytesForF1ToF8) {
  rig.maths.SetHotKeys(kF1toF8);
  ASSERT_TRUE(rig.maths.SaveKeySettings());
  EXPECT_EQ(File(), kKeyFileF1ToF8);
  EXPECT_EQ(File().size(), 30u);
}

TEST_F(KeySettingsFile, EightEmptyNamesWriteFourteenBytesThatFailToLoadAtTheEighth) {
  ASSERT_TRUE(rig.maths.SaveKeySettings());
  EXPECT_EQ(File(), "\r\n\r\n\r\n\r\n\r\n\r\n\r\n");
  rig.maths.SetHotKeys(Keys({L"F1", L"F1", L"F1", L"F1", L"F1", L"F1", L"F1", L"F8"}));
  rig.maths.LoadKeySettings();
  EXPECT_EQ(rig.maths.HotKeys(), Keys({L"", L"", L"", L"", L"", L"", L"", L"F8"}));
  EXPECT_EQ(rig.messages.shown, std::vector<std::wstring>{kMsgKeyFileReadFailed});
}

TEST_F(KeySettingsFile, RoundTripKeepsNamesAndDropsAFinalLineEnd) {
  SetFile("F12\r\nF1\r\nF1\r\nf3\r\nF13\r\n键\r\nF7\r\nF8\r\n");
  rig.maths.LoadKeySettings();
  ASSERT_TRUE(rig.maths.SaveKeySettings());
  EXPECT_EQ(File(), "F12\r\nF1\r\nF1\r\nf3\r\nF13\r\n键\r\nF7\r\nF8");
  rig.maths.LoadKeySettings();
  ASSERT_TRUE(rig.maths.SaveKeySettings());
  EXPECT_EQ(File(), "F12\r\nF1\r\nF1\r\nf3\r\nF13\r\n键\r\nF7\r\nF8");
  EXPECT_TRUE(rig.messages.shown.empty());
}

TEST_F(KeySettingsFile, FailedSaveReportsAndKeepsTheOldFile) {
  SetFile(kKeyFileF1ToF8);
  rig.files.readOnly.insert(CoreRig::kKeyFile);
  rig.maths.SetHotKeys(Keys({L"F9", L"F9", L"F9", L"F9", L"F9", L"F9", L"F9", L"F9"}));
  EXPECT_FALSE(rig.maths.SaveKeySettings());
  EXPECT_EQ(File(), kKeyFileF1ToF8);
  EXPECT_EQ(rig.messages.shown, std::vector<std::wstring>{kMsgKeyFileSaveFailed});
}

TEST(KeySettingsFormat, ParseOfFormatGivesTheNamesBack) {
  Utf8Codec codec;
  HotKeyTable names{L"F1", L"", L"F10", L"x y", L"\t", L"F2", L"中", L"F8"};
  const auto content = ParseKeySettings(FormatKeySettings(names, codec), codec);
  EXPECT_EQ(content.count, 8);
  EXPECT_EQ(content.names, names);
}

}  // namespace
}  // namespace keyentry::test
