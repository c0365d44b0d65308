// The installed copy: what the user's program writes goes to the user's own
// data folder, and the program folder only gives the installation's
// defaults; the card files are read from where the library wrote them.
#include <gtest/gtest.h>

#include "Fakes.h"
#include "core/DataFolder.h"
#include "reader/Reading.h"

namespace keyentry::test {
namespace {

constexpr const wchar_t* kData = L"C:\\users\\op\\AppData\\Local\\KeyEntry";
constexpr const wchar_t* kOwnKeys = L"C:\\users\\op\\AppData\\Local\\KeyEntry\\SetKey.txt";

TEST(DataFolder, TheInstalledCopyIsTheOneInThePackagesFolder) {
  const struct {
    const wchar_t* program;
    const wchar_t* installed;
    bool same;
  } cases[] = {
      {L"C:\\Program Files (x86)\\KeyEntry", L"C:\\Program Files (x86)\\KeyEntry\\", true},
      {L"C:\\Program Files (x86)\\KeyEntry", L"c:\\program files (x86)\\keyentry", true},
      {L"C:\\Program Files (x86)\\KeyEntry", L"", false},
      {L"D:\\绿色版\\KeyEntry", L"C:\\Program Files (x86)\\KeyEntry\\", false},
      {L"C:\\Program Files (x86)\\KeyEntry2", L"C:\\Program Files (x86)\\KeyEntry\\", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(IsInstalledCopy(c.program, c.installed), c.same) << U8(c.program);
}

TEST(DataFolder, OwnKeysOverTheInstallationsDefaultsAndSavedToTheDataFolder) {
  const struct {
    bool defaults;
    const char* own;  // nullptr: none
    const char* loadedF1;
  } cases[] = {
      {true, nullptr, "F1"},
      {true, "F6\r\nF2\r\nF3\r\nF4\r\nF5\r\nF1\r\nF7\r\nF8", "F6"},
      {false, "F9\r\nF2\r\nF3\r\nF4\r\nF5\r\nF6\r\nF7\r\nF8", "F9"},
  };
  for (const auto& c : cases) {
    CoreRig rig;
    rig.maths.SetDataFolder(kData);
    if (c.defaults) rig.files.files[CoreRig::kKeyFile] = kKeyFileF1ToF8;
    if (c.own) rig.files.files[kOwnKeys] = c.own;
    rig.maths.LoadKeySettings();
    rig.files.readOnly.insert(CoreRig::kKeyFile);  // the locked program folder
    ASSERT_TRUE(rig.maths.SaveKeySettings());
    EXPECT_EQ(rig.files.files[kOwnKeys].substr(0, 3), std::string(c.loadedF1) + "\r") << c.loadedF1;
    EXPECT_EQ(rig.files.files.count(CoreRig::kKeyFile), c.defaults ? 1u : 0u);
    EXPECT_TRUE(rig.messages.shown.empty());
  }
}

TEST(DataFolder, CardFilesAreTakenFromWhereTheLibraryJustWroteThem) {
  const std::wstring inProgram = L"C:\\app\\wz.txt";
  const std::wstring inData = std::wstring(kData) + L"\\wz.txt";
  const struct {
    std::int64_t programTime;  // -1: no file
    std::int64_t dataTime;
    const wchar_t* shown;
  } cases[] = {
      {100, -1, L"程序"},  {-1, 100, L"数据"},
      {100, 200, L"数据"},  // an old file of another library beside the program
      {300, 200, L"程序"}, {400, 200, L"数据"},  // the installation's empty file, newer
  };
  for (const auto& c : cases) {
    CoreRig rig;
    FakeView view;
    rig.files.files[CoreRig::kKeyFile] = kKeyFileF1ToF8;
    rig.files.files[CoreRig::kIniFile] = U8(L"[隐私]\n读后删除卡片文件 = 是\n");
    rig.reading.dataFolder = kData;
    // The installation's card files beside the library: written, not deleted.
    rig.files.undeletable = {inProgram, L"C:\\app\\zp.bmp"};
    const std::string rest =
        U8(L"\r\n女\r\n汉\r\n19900307\r\n北京\r\n110108199003070011\r\n局\r\n长期\r\n");
    rig.reader.onRead = [&] {
      if (c.programTime >= 0)
        rig.files.files[inProgram] = c.programTime == 400 ? "" : U8(L"程序") + rest;
      if (c.dataTime >= 0) rig.files.files[inData] = U8(L"数据") + rest;
      rig.files.times[inProgram] = c.programTime;
      rig.files.times[inData] = c.dataTime;
    };
    rig.reader.readerPorts = {1001};
    ToggleReading(rig.maths, view);
    ApplyPrivacySettings(rig.reading, rig.maths, view);
    rig.reader.cardPresent = true;
    ASSERT_TRUE(PollCard(rig.reading, rig.maths, view, 0));
    EXPECT_EQ(view.shown[0], c.shown);
    // Deleted after the read wherever they lie; the undeletable one emptied.
    EXPECT_EQ(rig.files.files.count(inData), 0u);
    EXPECT_EQ(rig.files.files.count(inProgram) ? rig.files.files[inProgram] : "", "");
    EXPECT_EQ(rig.files.files.count(inProgram), c.programTime >= 0 ? 1u : 0u);
  }
}

}  // namespace
}  // namespace keyentry::test
