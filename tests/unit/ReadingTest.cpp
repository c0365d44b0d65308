#include <algorithm>
#include <gtest/gtest.h>

#include "CardRig.h"
#include "reader/CardText.h"
#include "reader/Reading.h"

namespace keyentry::test {
namespace {

class Reading : public CardRig {
 protected:
  void SetUp() override { rig.maths.LoadKeySettings(); }
};

TEST_F(Reading, SwitchOnWithAReaderStartsPollingAndShowsThePort) {
  rig.reader.readerPorts = {1001};
  ToggleReading(rig.maths, view);
  EXPECT_TRUE(view.timerEnabled);
  EXPECT_EQ(view.status, L"端口打开成功！端口：USB1001");
  EXPECT_EQ(view.caption, L"停止读卡");
}

TEST_F(Reading, SwitchOnWithoutAReaderKeepsTheButtonAndStopsTheTimer) {
  view.timerEnabled = true;
  ToggleReading(rig.maths, view);
  EXPECT_FALSE(view.timerEnabled);
  EXPECT_EQ(view.status, L"机具连接失败！");
  EXPECT_EQ(view.caption, L"开始读卡");
}

TEST_F(Reading, SwitchOffStopsAndStillReloadsKeysAndSearches) {
  rig.reader.readerPorts = {1001};
  ToggleReading(rig.maths, view);
  rig.maths.SetHotKeys({L"F12"});
  rig.reader.calls.clear();
  ToggleReading(rig.maths, view);
  EXPECT_FALSE(view.timerEnabled);
  EXPECT_EQ(view.status, L"停止读卡！");
  EXPECT_EQ(view.caption, L"开始读卡");
  EXPECT_EQ(rig.maths.HotKeys()[0], L"F1");  // reloaded from the file
  EXPECT_EQ(rig.reader.calls, std::vector<std::string>{"InitComm 1001"});
  // ... and on again while the reader stays attached.
  ToggleReading(rig.maths, view);
  EXPECT_EQ(view.status, L"端口打开成功！端口：USB1001");
  EXPECT_EQ(view.caption, L"停止读卡");
}

TEST_F(Reading, AnyCaptionOtherThanStartMeansReadingIsOn) {
  view.caption = L"something else";
  ToggleReading(rig.maths, view);
  EXPECT_EQ(view.status, L"停止读卡！");
  EXPECT_EQ(view.caption, L"开始读卡");
}

TEST_F(Reading, MissingLibraryReportsOnceThenShowsNoReader) {
  rig.reader.missing = true;
  ToggleReading(rig.maths, view);
  EXPECT_EQ(rig.messages.shown, std::vector<std::wstring>{kMsgPortOpenFailed});
  EXPECT_EQ(view.status, L"机具连接失败！");
}

TEST_F(Reading, PollReadsTrimsShowsAndStoresACardWithCrOnlyLines) {
  PlaceCard(L"  张三  \r男\r汉 \r19900101\r北京市 东城区\t\r   \r 公安局\r2016.01.01-2026.01.01");
  PollCard(rig.reading, rig.maths, view, 0);
  const std::array<std::wstring, 8> expected = {L"张三",
                                                L"男",
                                                L"汉",
                                                L"19900101",
                                                L"北京市 东城区\t",
                                                L"",
                                                L"公安局",
                                                L"2016.01.01-2026.01.01"};
  EXPECT_EQ(view.shown, expected);
  for (int k = 0; k < 8; ++k) EXPECT_EQ(rig.maths.CardFields()[k], expected[k]) << k;
  EXPECT_EQ(view.photos, std::vector<std::wstring>{L"C:\\app\\zp.bmp"});
  EXPECT_TRUE(view.timerEnabled);
  RecordingSender sender;
  rig.PressKey(116, sender);  // F5: the address
  EXPECT_EQ(sender.sent, std::vector<std::string>{U8(L"北京市 东城区\t")});
}

TEST_F(Reading, LoneLineFeedStaysInTheFieldAndIsTyped) {
  PlaceCard(L"a\r\nb\r\nc\r\nd\r\n第一行\n第二行 \r\nf\r\ng\r\nh\r\n");
  PollCard(rig.reading, rig.maths, view, 0);
  EXPECT_EQ(view.shown[4], L"第一行\n第二行");
  RecordingSender sender;
  rig.PressKey(116, sender);
  EXPECT_EQ(sender.sent, std::vector<std::string>{U8(L"第一行\n第二行")});
}

TEST_F(Reading, IdeographicSpacePaddingIsTrimmedButInnerSpacesStay) {
  EXPECT_EQ(TrimFieldText(L"\u3000 张 三\u3000 "), L"张 三");
  EXPECT_EQ(TrimFieldText(L"   "), L"");
  EXPECT_EQ(TrimFieldText(L"\t x \t"), L"\t x \t");
}

TEST_F(Reading, NoCardOrFailedReadKeepsTheLastCard) {
  PlaceCard(L"张三\r\n男\r\n汉\r\n1\r\n2\r\n3\r\n4\r\n5\r\n");
  PollCard(rig.reading, rig.maths, view, 0);
  rig.reader.cardPresent = false;
  PollCard(rig.reading, rig.maths, view, 0);
  rig.reader.cardPresent = true;
  rig.reader.readSucceeds = false;
  PlaceCard(L"李四\r\n女\r\n回\r\n1\r\n2\r\n3\r\n4\r\n5\r\n");
  rig.reader.readSucceeds = false;
  PollCard(rig.reading, rig.maths, view, 0);
  EXPECT_EQ(view.shown[0], L"张三");
  EXPECT_EQ(rig.maths.CardFields()[0], L"张三");
  EXPECT_EQ(view.photos.size(), 1u);
  EXPECT_EQ(view.timerStarts, 3);
  EXPECT_FALSE(std::count(rig.reader.calls.begin(), rig.reader.calls.end(), "ReadContent 4") > 2);
}

TEST_F(Reading, ReadIsOnlyTriedWhenACardIsThere) {
  PollCard(rig.reading, rig.maths, view, 0);
  EXPECT_EQ(rig.reader.calls, std::vector<std::string>{"Authenticate"});
}

// A text of fewer than eight lines after a read the library called good:
// nothing of it is shown, stored or typed, and the card before stays whole.
TEST_F(Reading, ShortCardTextIsAFailedReadAndTheCardBeforeStaysWhole) {
  const std::wstring_view shortTexts[] = {
      L"李四\r\n女\r\n",
      L"李四\r\n女\r\n回\r\n2\r\n3\r\n4\r\n5",
      L"",
  };
  for (std::wstring_view text : shortTexts) {
    PlaceCard(L"张三\r\n男\r\n汉\r\n1\r\n2\r\n3\r\n4\r\n5\r\n");
    ASSERT_TRUE(PollCard(rig.reading, rig.maths, view, 0));
    PlaceCard(text);
    EXPECT_FALSE(PollCard(rig.reading, rig.maths, view, 0));
    EXPECT_EQ(view.shown[0], L"张三");
    EXPECT_EQ(view.shown[1], L"男");
    EXPECT_EQ(rig.maths.CardFields()[0], L"张三");
    EXPECT_EQ(rig.maths.CardFields()[1], L"男");
    EXPECT_EQ(rig.Typed(113), std::vector<std::string>{U8(L"男")});  // F2
    EXPECT_TRUE(view.timerEnabled);
  }
  EXPECT_EQ(view.photos.size(), 3u);
}

TEST_F(Reading, MissingCardTextAfterASuccessfulReadEndsTheTickQuietly) {
  rig.reader.cardPresent = true;
  rig.reader.onRead = nullptr;
  PollCard(rig.reading, rig.maths, view, 0);
  EXPECT_TRUE(view.photos.empty());
  EXPECT_TRUE(view.timerEnabled);
  EXPECT_TRUE(rig.messages.shown.empty());
}

TEST_F(Reading, LibraryFailingDuringThePollEndsTheTickQuietly) {
  rig.reader.missing = true;
  PollCard(rig.reading, rig.maths, view, 0);
  EXPECT_TRUE(view.timerEnabled);
  EXPECT_TRUE(rig.messages.shown.empty());
}

TEST_F(Reading, OnlyTheFirstEightLinesAreRead) {
  PlaceCard(L"1\r2\r3\r4\r5\r6\r7\r8\r9\r10");
  PollCard(rig.reading, rig.maths, view, 0);
  EXPECT_EQ(view.shown[7], L"8");
}

}  // namespace
}  // namespace keyentry::test
