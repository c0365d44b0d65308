// Card text from outside may be of any size: fields are cut to 128 units,
// only the first 64 KiB of the file count, and no exception leaves the poll.
#include <gtest/gtest.h>

#include "CardRig.h"
#include "reader/CardText.h"
#include "reader/Reading.h"

namespace keyentry::test {
namespace {

constexpr std::uint32_t kF1 = 112, kF5 = 116;

class CardLimits : public CardRig {
 protected:
  void SetUp() override {
    rig.maths.LoadKeySettings();
    rig.reader.cardPresent = true;
  }
};

TEST_F(CardLimits, ALongFieldIsKeptShownAndTypedCutTo128Units) {
  // The name: 127 x, a space, then more; the address: 40000 characters.
  const std::string name = std::string(127, 'x') + " yyyy";
  cardText = name + "\r\n男\r\n汉\r\n1\r\n" + std::string(40000, 'A') + "\r\n6\r\n7\r\n8\r\n";
  PollCard(rig.reading, rig.maths, view, 0);
  EXPECT_EQ(view.shown[4], std::wstring(128, L'A'));
  EXPECT_EQ(rig.maths.CardFields()[4], std::wstring(128, L'A'));
  EXPECT_EQ(rig.Typed(kF5), std::vector<std::string>{std::string(128, 'A')});
  // Cut after the space: trimmed like any field.
  EXPECT_EQ(view.shown[0], std::wstring(127, L'x'));
  EXPECT_EQ(rig.Typed(kF1), std::vector<std::string>{std::string(127, 'x')});
  EXPECT_EQ(view.photos.size(), 1u);
  // Padding first goes, then the cut counts.
  EXPECT_EQ(CardFieldText(L"\u3000\u3000  " + std::wstring(130, L'b')), std::wstring(128, L'b'));
  EXPECT_EQ(CardFieldText(std::wstring(128, L'c')), std::wstring(128, L'c'));
}

TEST_F(CardLimits, TheCutNeverSplitsASurrogatePair) {
  // U+1F600 in UTF-16: D83D DE00.
  const std::wstring pair = {static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)};
  // The pair would straddle the limit: it goes as a whole.
  EXPECT_EQ(CardFieldText(std::wstring(127, L'a') + pair + L"b"), std::wstring(127, L'a'));
  // The pair ends exactly at the limit: it stays.
  EXPECT_EQ(CardFieldText(std::wstring(126, L'a') + pair + L"b"), std::wstring(126, L'a') + pair);
}

TEST_F(CardLimits, OnlyTheFirst64KiBOfTheCardTextCount) {
  // A first line longer than 64 KiB: the other lines lie beyond and are not
  // read, so the card is short: a failed read, nothing shown or stored.
  const std::string rest = "\r\n男\r\n汉\r\n1\r\n2\r\n3\r\n4\r\n5\r\n";
  cardText = std::string(70000, 'N') + rest;
  PollCard(rig.reading, rig.maths, view, 0);
  EXPECT_EQ(rig.files.prefixLimits, std::vector<std::size_t>{65536});
  EXPECT_EQ(view.shown[0], L"");
  EXPECT_FALSE(rig.maths.CardFields()[0].has_value());
  EXPECT_TRUE(view.photos.empty());
  EXPECT_TRUE(view.timerEnabled);
  // The parser itself looks no further either, whatever it is given.
  const CardText card = ParseCardText(cardText, rig.codec);
  EXPECT_EQ(card.count, 1);
  // The eighth line ends within the first 64 KiB: a whole card.
  const CardText whole = ParseCardText(std::string(65000, 'N') + rest, rig.codec);
  EXPECT_EQ(whole.count, 8);
  EXPECT_EQ(whole.fields[7], L"5");
}

TEST_F(CardLimits, OutOfMemoryWhileTakingTheCardEndsTheTickQuietly) {
  cardText = U8(L"张三\r\n男\r\n汉\r\n1\r\n2\r\n3\r\n4\r\n5\r\n");
  PollCard(rig.reading, rig.maths, view, 0);
  ASSERT_EQ(view.timerStarts, 1);

  // Reading the text throws: nothing changes, the timer is on again.
  cardText = U8(L"李四\r\n女\r\n回\r\n1\r\n2\r\n3\r\n4\r\n5\r\n");
  rig.files.outOfMemory = true;
  EXPECT_NO_THROW(PollCard(rig.reading, rig.maths, view, 0));
  EXPECT_TRUE(view.timerEnabled);
  EXPECT_EQ(view.timerStarts, 2);
  EXPECT_EQ(view.shown[0], L"张三");
  EXPECT_EQ(rig.Typed(kF1), std::vector<std::string>{U8(L"张三")});

  // Showing the photo throws: the fields are taken all the same.
  rig.files.outOfMemory = false;
  view.photoThrows = true;
  EXPECT_NO_THROW(PollCard(rig.reading, rig.maths, view, 0));
  EXPECT_TRUE(view.timerEnabled);
  EXPECT_EQ(view.timerStarts, 3);
  EXPECT_EQ(view.shown[0], L"李四");
  EXPECT_EQ(rig.Typed(kF1), std::vector<std::string>{U8(L"李四")});
  EXPECT_TRUE(rig.messages.shown.empty());
}

}  // namespace
}  // namespace keyentry::test
