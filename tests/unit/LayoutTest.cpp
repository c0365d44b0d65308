#include <gtest/gtest.h>
#include <string>

#include "ui/layout/Layout.h"
#include "ui/layout/TextWrap.h"

namespace keyentry {
namespace {

TEST(Layout, TwipsBecomePixelsAtTheRealDpi) {
  EXPECT_EQ(TwipsToPixels(7875, 96), 525);
  EXPECT_EQ(TwipsToPixels(8520, 96), 568);
  EXPECT_EQ(TwipsToPixels(6090, 96), 406);
  EXPECT_EQ(TwipsToPixels(6030, 96), 402);
  EXPECT_EQ(TwipsToPixels(7875, 120), 656);  // 656.25
  EXPECT_EQ(TwipsToPixels(8520, 120), 710);
  EXPECT_EQ(TwipsToPixels(15, 96), 1);
  EXPECT_EQ(TwipsToPixels(12, 120), 1);
  EXPECT_EQ(TwipsToPixels(7875, 144), 788);  // 787.5 rounds up
}

TEST(Layout, CentringKeepsTheHalfAndDoesNotClamp) {
  EXPECT_EQ(CentredOrigin(1280, 531), 375);  // 374.5
  EXPECT_EQ(CentredOrigin(1024, 600), 212);
  EXPECT_EQ(CentredOrigin(600, 700), -50);
  EXPECT_EQ(CentredOrigin(600, 701), -50);  // -50.5 rounds up
}

TEST(Layout, TwelvePointFontHeights) {
  EXPECT_EQ(PointsToFontHeight(12, 96), -16);
  EXPECT_EQ(PointsToFontHeight(12, 120), -20);
}

// Every character is 10 units wide, Chinese ones 20.
int Measure(std::wstring_view s) {
  int w = 0;
  for (wchar_t c : s) w += c >= 0x2E80 ? 20 : 10;
  return w;
}

std::vector<std::wstring> Wrap(std::wstring_view text, int width, std::size_t maxLines = 100) {
  std::vector<std::wstring> out;
  for (auto line : WrapText(text, width, maxLines, Measure)) out.emplace_back(line);
  return out;
}
using Lines = std::vector<std::wstring>;

TEST(TextWrap, ShortTextIsOneLine) {
  EXPECT_EQ(Wrap(L"abc", 100), Lines{L"abc"});
  EXPECT_EQ(Wrap(L"", 100), Lines{L""});
}

TEST(TextWrap, LatinTextBreaksAtSpaces) {
  EXPECT_EQ(Wrap(L"one two three", 70), (Lines{L"one two", L"three"}));
  EXPECT_EQ(Wrap(L"aaaa bbbb", 60), (Lines{L"aaaa", L"bbbb"}));
}

TEST(TextWrap, ChineseTextBreaksBetweenCharacters) {
  EXPECT_EQ(Wrap(L"北京市东城区示例路八十八号", 100),
            (Lines{L"北京市东城", L"区示例路八", L"十八号"}));
}

TEST(TextWrap, MixedTextBreaksAtTheBoundaryOfChineseAndDigits) {
  EXPECT_EQ(Wrap(L"北京路88号", 70), (Lines{L"北京路", L"88号"}));
}

TEST(TextWrap, OverlongWordIsBrokenInsideItself) {
  EXPECT_EQ(Wrap(L"abcdefghij", 40), (Lines{L"abcd", L"efgh", L"ij"}));
  EXPECT_EQ(Wrap(L"x", 1), Lines{L"x"});  // one character always fits
}

TEST(TextWrap, LineFeedsInTheTextStartNewLines) {
  EXPECT_EQ(Wrap(L"ab\ncd", 100), (Lines{L"ab", L"cd"}));
  EXPECT_EQ(Wrap(L"ab\r\n\ncd", 100), (Lines{L"ab", L"", L"cd"}));
}

TEST(TextWrap, HugeTextCostsOnlyWhatFits) {
  const std::wstring huge(100000, L'字');
  std::size_t measured = 0;
  auto counting = [&](std::wstring_view s) {
    measured += s.size();
    return Measure(s);
  };
  const auto lines = WrapText(huge, 200, 3, counting);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].size(), 10u);
  EXPECT_LT(measured, 1000u);  // characters measured, for 30 shown
}

TEST(TextWrap, ExactFitStaysOnOneLine) {
  EXPECT_EQ(Wrap(L"abcd", 40), Lines{L"abcd"});
  EXPECT_EQ(Wrap(L"abcde", 40), (Lines{L"abcd", L"e"}));
}

}  // namespace
}  // namespace keyentry

#include "ui/layout/Clock.h"

namespace keyentry {
namespace {

TEST(Clock, TwoDigitFieldsWithTheUsersSeparator) {
  EXPECT_EQ(FormatClock(3, 7, 9, 5, 2, L":"), L"03月07日09:05:02");
  EXPECT_EQ(FormatClock(1, 1, 0, 0, 0, L":"), L"01月01日00:00:00");
  EXPECT_EQ(FormatClock(12, 31, 23, 59, 59, L"."), L"12月31日23.59.59");
}

}  // namespace
}  // namespace keyentry
