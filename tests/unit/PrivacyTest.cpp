// The privacy settings of KeyEntry.ini: the card cleared some seconds after
// its last read, the card files deleted once read, the ID number shown
// masked; the program's own copies wiped. And the commented example file.
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

#include "CardRig.h"
#include "core/Wipe.h"
#include "reader/CardRetention.h"
#include "reader/Reading.h"

namespace keyentry::test {
namespace {

constexpr std::uint32_t kF1 = 112, kF6 = 117;
constexpr const wchar_t* kPhotoFile = L"C:\\app\\zp.bmp";

TEST(CardRetention, ClearsThatManySecondsAfterTheLastReadAndOnlyOnce) {
  CardRetention retention;
  EXPECT_FALSE(retention.ClearDue(500000, 2)) << "nothing read yet";
  retention.CardRead(1000);
  EXPECT_FALSE(retention.ClearDue(2999, 2));
  EXPECT_TRUE(retention.ClearDue(3000, 2));
  EXPECT_FALSE(retention.ClearDue(3000, 0)) << "0 means never";
  EXPECT_FALSE(retention.ClearDue(999999999, 0));
  // The card left on the reader is read again and again: its time restarts.
  retention.CardRead(2800);
  EXPECT_FALSE(retention.ClearDue(4799, 2));
  EXPECT_TRUE(retention.ClearDue(4800, 2));
  retention.Cleared();
  EXPECT_FALSE(retention.ClearDue(9000, 2));
  EXPECT_FALSE(retention.Holding());
  // The longest setting, a day.
  retention.CardRead(0);
  EXPECT_FALSE(retention.ClearDue(86399999, 86400));
  EXPECT_TRUE(retention.ClearDue(86400000, 86400));
}

TEST(CardRetention, MillisecondCountsPastThirtyTwoBitsAndAClockGoingBack) {
  CardRetention retention;
  // Read 296 ms before a 32-bit count would wrap; nothing is lost past it.
  retention.CardRead(4294967000ull);
  EXPECT_FALSE(retention.ClearDue(4294968999ull, 2));
  EXPECT_TRUE(retention.ClearDue(4294969000ull, 2));
  EXPECT_FALSE(retention.ClearDue(4294967000ull + 119999, 120));
  EXPECT_TRUE(retention.ClearDue(4294967000ull + 120000, 120));
  // A time before the read never clears (rather than at once).
  EXPECT_FALSE(retention.ClearDue(1000, 2));
}

TEST(Wipe, TextIsZeroedInItsOwnBufferAndLeftEmpty) {
  std::wstring text = L"110108199003070011 北京市东城区";
  const wchar_t* buffer = text.data();
  const std::size_t length = text.size();
  WipeText(text);
  EXPECT_TRUE(text.empty());
  ASSERT_EQ(text.data(), buffer) << "the buffer was given back before it was zeroed";
  for (std::size_t k = 0; k < length; ++k) EXPECT_EQ(buffer[k], L'\0') << k;

  std::optional<std::string> ansi = std::string(40, 'x');
  const char* bytes = ansi->data();
  std::string& kept = *ansi;
  kept.resize(3);  // what lies behind the shorter content is zeroed too
  WipeText(kept);
  for (std::size_t k = 0; k < 40; ++k) EXPECT_EQ(bytes[k], '\0') << k;
  WipeText(ansi);
  EXPECT_FALSE(ansi.has_value());
}

class Privacy : public CardRig {
 protected:
  void SetUp() override {
    rig.reader.readerPorts = {1001};
    rig.reader.onRead = [this] {
      rig.files.files[CoreRig::kCardFile] = cardText;
      rig.files.files[kPhotoFile] = "BM photo";
    };
  }
  void Start(std::wstring_view ini) {
    rig.files.files[CoreRig::kIniFile] = U8(ini);
    ToggleReading(rig.maths, view);
    ApplyPrivacySettings(rig.reading, rig.maths, view);
  }
  // A card of this name, the rest of it always the same.
  void PlaceCard(std::wstring_view name) {
    CardRig::PlaceCard(
        std::wstring(name) +
        L"\r\n女\r\n汉\r\n19900307\r\n北京市\r\n110108199003070011\r\n局\r\n长期\r\n");
  }
};

TEST_F(Privacy, CardIsClearedAfterItsSecondsAndTheNextCardShowsAndTypes) {
  Start(L"[隐私]\n清除秒数 = 2\n");
  PlaceCard(L"张三");
  ASSERT_TRUE(PollCard(rig.reading, rig.maths, view, 0));
  CardRetention retention;
  retention.CardRead(10000);
  rig.reader.cardPresent = false;  // taken off the reader
  EXPECT_FALSE(PollCard(rig.reading, rig.maths, view, 0));
  EXPECT_FALSE(ClearCardWhenDue(retention, rig.maths, view, 11999));
  EXPECT_EQ(view.shown[0], L"张三");
  EXPECT_TRUE(ClearCardWhenDue(retention, rig.maths, view, 12000));
  EXPECT_EQ(view.shown, (std::array<std::wstring, 8>{}));
  EXPECT_EQ(view.photoClears, 1);
  EXPECT_EQ(rig.maths.CardFields()[0], std::nullopt);
  // Back to "never filled": the key is still swallowed and types nothing.
  EXPECT_EQ(rig.Typed(kF1), std::vector<std::string>{"<null>"});
  EXPECT_EQ(rig.tables.Current()->values[5], std::nullopt);
  EXPECT_FALSE(ClearCardWhenDue(retention, rig.maths, view, 20000)) << "cleared once only";
  PlaceCard(L"李四");
  ASSERT_TRUE(PollCard(rig.reading, rig.maths, view, 0));
  EXPECT_EQ(view.shown[0], L"李四");
  EXPECT_EQ(rig.Typed(kF1), std::vector<std::string>{U8(L"李四")});
}

TEST_F(Privacy, WithoutTheSettingsNothingClearsNoFileGoesAndTheNumberIsWhole) {
  Start(L"");
  PlaceCard(L"张三");
  ASSERT_TRUE(PollCard(rig.reading, rig.maths, view, 0));
  CardRetention retention;
  retention.CardRead(0);
  EXPECT_FALSE(ClearCardWhenDue(retention, rig.maths, view, 86400000));
  EXPECT_EQ(view.shown[0], L"张三");
  EXPECT_EQ(view.shown[5], L"110108199003070011");
  EXPECT_TRUE(rig.files.removeCalls.empty());
  EXPECT_EQ(rig.files.files.count(CoreRig::kCardFile), 1u);
  ForgetCardAtExit(rig.reading, rig.maths);
  EXPECT_TRUE(rig.files.removeCalls.empty());
  EXPECT_EQ(rig.maths.CardFields()[0], std::nullopt) << "wiped at exit all the same";
}

TEST_F(Privacy, CardFilesAreDeletedOnceReadAndAtExitAndAStuckOneStaysSilently) {
  Start(L"[Privacy]\nDeleteCardFiles = yes\n");
  // The photo is still there when the window takes it.
  struct PhotoView : FakeView {
    FakeFiles* files = nullptr;
    bool photoFileThere = false;
    void ShowPhoto(const std::wstring& path) override {
      photoFileThere = files->files.count(path) == 1;
      FakeView::ShowPhoto(path);
    }
  } photoView;
  photoView.files = &rig.files;
  PlaceCard(L"张三");
  ASSERT_TRUE(PollCard(rig.reading, rig.maths, photoView, 0));
  EXPECT_TRUE(photoView.photoFileThere);
  EXPECT_EQ(photoView.shown[0], L"张三");
  EXPECT_EQ(rig.files.files.count(CoreRig::kCardFile), 0u);
  EXPECT_EQ(rig.files.files.count(kPhotoFile), 0u);
  EXPECT_EQ(rig.Typed(kF1), std::vector<std::string>{U8(L"张三")});
  // A read that fails wrote nothing: nothing is deleted.
  rig.files.removeCalls.clear();
  rig.reader.readSucceeds = false;
  PollCard(rig.reading, rig.maths, photoView, 0);
  EXPECT_TRUE(rig.files.removeCalls.empty());
  // A file that cannot be deleted stays, without a message.
  rig.reader.readSucceeds = true;
  rig.files.readOnly.insert(kPhotoFile);
  ASSERT_TRUE(PollCard(rig.reading, rig.maths, photoView, 0));
  EXPECT_EQ(rig.files.files.count(kPhotoFile), 1u);
  EXPECT_EQ(rig.files.files.count(CoreRig::kCardFile), 0u);
  EXPECT_TRUE(rig.messages.shown.empty());
  // At exit, both once more.
  rig.files.readOnly.clear();
  rig.files.files[CoreRig::kCardFile] = "left";
  ForgetCardAtExit(rig.reading, rig.maths);
  EXPECT_EQ(rig.files.files.count(CoreRig::kCardFile), 0u);
  EXPECT_EQ(rig.files.files.count(kPhotoFile), 0u);
  EXPECT_EQ(rig.maths.CardFields()[0], std::nullopt);
}

TEST_F(Privacy, FilesLeftBeforeTheSettingWasOnGoWhenItIsLoaded) {
  rig.files.files[CoreRig::kCardFile] = "an earlier card";
  rig.files.files[kPhotoFile] = "BM";
  Start(L"[隐私]\n读后删除卡片文件 = 是\n");
  EXPECT_EQ(rig.files.files.count(CoreRig::kCardFile), 0u);
  EXPECT_EQ(rig.files.files.count(kPhotoFile), 0u);
}

TEST_F(Privacy, MaskedNumberIsShownAndTheWholeNumberTyped) {
  Start(L"[隐私]\n身份证号遮挡 = 是\n");
  PlaceCard(L"张三");
  ASSERT_TRUE(PollCard(rig.reading, rig.maths, view, 0));
  EXPECT_EQ(view.shown[5], L"110108********0011");
  EXPECT_EQ(view.shown[3], L"19900307") << "only the number is masked";
  EXPECT_EQ(rig.Typed(kF6), std::vector<std::string>{"110108199003070011"});
  // The setting switched off in the file: the label shows the whole number.
  rig.files.files[CoreRig::kIniFile] = U8(L"[隐私]\n身份证号遮挡 = 否\n");
  rig.maths.ReloadSettings();
  ApplyPrivacySettings(rig.reading, rig.maths, view);
  EXPECT_EQ(view.shown[5], L"110108199003070011");
}

// The example that "编辑模板" writes for a missing file, and the demo's copy.
std::wstring ExampleText() {
  std::ifstream in(KEYENTRY_SOURCE_DIR "/ui/res/KeyEntry.example.ini", std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  EXPECT_EQ(bytes.str().substr(0, 3), "\xEF\xBB\xBF");
  Utf8Codec utf8;
  return DecodeSettingsText(bytes.str(), utf8);
}

TEST(SettingsExample, ChangesNothingAndNamesEverySettingInBothLanguages) {
  const std::wstring text = ExampleText();
  Cp936Codec cp936;
  const SettingsContent content = ParseSettingsFile(U8(text), cp936);
  EXPECT_TRUE(content.problems.empty());
  EXPECT_TRUE(content.templates.empty());
  EXPECT_TRUE(content.programs.empty());
  EXPECT_FALSE(content.OnReadAnywhere());
  EXPECT_TRUE(content.TypingFor(L"notepad.exe") == TypingSettings{});
  EXPECT_EQ(content.privacy.clearAfterSeconds, 0);
  EXPECT_FALSE(content.privacy.deleteCardFiles);
  EXPECT_FALSE(content.privacy.maskIdNumber);
  std::wistringstream names(
      L"[模板] [Templates] [输入] [Typing] [程序: [App: [隐私] [Privacy] [站点] [Site] 共享设置 "
      L"SharedSettings KeyEntry.shared.ini 方式 Mode 字段间隔 "
      L"FieldDelayMs 字符间隔 CharDelayMs 清除秒数 ClearAfterSeconds 读后删除卡片文件 "
      L"DeleteCardFiles 身份证号遮挡 MaskIdNumber {有效期限起: {ValidTo: {年龄} {今天: {延时: "
      L"{Delay: {Shift+Tab} 读卡后 OnRead");
  for (std::wstring name; names >> name;) {
    EXPECT_NE(text.find(name), std::wstring::npos) << U8(name);
  }
}

TEST(SettingsExample, TheDemoTemplatesOnF9AndF10ParseWhenSwitchedOn) {
  std::wstring text = ExampleText();
  // What cmake/Package.cmake does for demo/KeyEntry.ini.
  for (const wchar_t* line : {L"\n;F9  =", L"\n;F10 ="}) {
    const std::size_t at = text.find(line);
    ASSERT_NE(at, std::wstring::npos);
    text.erase(at + 1, 1);
  }
  Cp936Codec cp936;
  const SettingsContent content = ParseSettingsFile(U8(text), cp936);
  EXPECT_TRUE(content.problems.empty());
  ASSERT_EQ(content.templates.size(), 2u);
  EXPECT_EQ(content.templates[0].vkCode, 120);
  EXPECT_EQ(content.templates[1].vkCode, 121);
  CardFieldValues card = {L"张三",   L"男",
                          L"汉",     L"19900307",
                          L"北京市", L"110108199003070011",
                          L"局",     L"2016.03.15-2036.03.15"};
  std::wstring typed;
  for (const TypingStep& step : content.templates[1].parsed.Expand(card, Date{2024, 3, 7}, 0)) {
    typed += step.kind == StepKind::kText ? step.text : L"|";
  }
  EXPECT_EQ(typed, L"张三|男|34|1990年3月7日|110108199003070011|北京市|2024-03-07");
  EXPECT_FALSE(content.OnReadAnywhere());  // typing on read stays off in the demo

  // The hotel's typing on read, switched on as its comment says.
  for (const wchar_t* line : {L"\n;[程序:hotel.exe]", L"\n;读卡后 = {姓名}{Tab}{性别}"}) {
    const std::size_t at = text.find(line);
    ASSERT_NE(at, std::wstring::npos);
    text.erase(at + 1, 1);
  }
  const SettingsContent hotel = ParseSettingsFile(U8(text), cp936);
  EXPECT_TRUE(hotel.problems.empty());
  EXPECT_EQ(hotel.OnReadFor(L"notepad.exe"), nullptr);
  ASSERT_NE(hotel.OnReadFor(L"hotel.exe"), nullptr);
  EXPECT_EQ(hotel.OnReadFor(L"hotel.exe")->Expand(card, Date{2024, 3, 7}, 0).size(), 10u);
}

}  // namespace
}  // namespace keyentry::test
