// What the program's own input path types for the steps of a template or
// the texts of a field key: chunks of key events or pastes, with pauses.
#include <gtest/gtest.h>
#include <ostream>

#include "Fakes.h"
#include "core/TypingPlan.h"

namespace keyentry::input {
inline void PrintTo(const KeyEvent& e, std::ostream* os) {
  *os << std::hex << "{vk 0x" << e.vk << ", scan 0x" << e.scan << ", flags 0x" << e.flags << "}"
      << std::dec;
}
}  // namespace keyentry::input

namespace keyentry::test {
namespace {

using input::HeldKey;
using Events = std::vector<input::KeyEvent>;

// Expected events are written as {vk, scan, flags}, with the flags
// KEYEVENTF_EXTENDEDKEY 0x1, KEYEVENTF_KEYUP 0x2 and KEYEVENTF_UNICODE 0x4.

TypingStep Text(const wchar_t* text) { return TypingStep{StepKind::kText, text, {}, 0}; }
TypingStep Key(SpecialKey key) { return TypingStep{StepKind::kKey, {}, key, 0}; }
TypingStep Pause(int ms) { return TypingStep{StepKind::kPause, {}, {}, ms}; }

TypingSettings Mode(TypingMode mode, int charDelayMs = 0) {
  return TypingSettings{mode, 0, charDelayMs};
}

// A chunk as "events+pause" or "paste:TEXT+pause", for the shape of a plan.
std::vector<std::string> Shape(const TypingPlan& plan) {
  std::vector<std::string> out;
  for (const TypingChunk& c : plan) {
    std::string s = c.kind == ChunkKind::kPaste ? "paste:" + U8(c.pasteText) + "/" : "";
    s += std::to_string(c.events.size()) + "+" + std::to_string(c.pauseAfterMs);
    out.push_back(s);
  }
  return out;
}

class TypingPlans : public ::testing::Test {
 protected:
  FakeLayout layout;
  TypingPlan Plan(const std::vector<TypingStep>& steps, const TypingSettings& settings,
                  const std::vector<HeldKey>& held = {}) {
    return PlanTyping(steps, settings, held, layout);
  }
};

TEST_F(TypingPlans, UnicodeModeWithoutPausesIsOneChunkReleasingModifiersFirst) {
  const std::vector<TypingStep> steps = {Text(L"张a"), Key(SpecialKey::kTab), Text(L"1"),
                                         Key(SpecialKey::kShiftTab), Key(SpecialKey::kEnter)};
  EXPECT_TRUE(CanTypeInHook(steps, Mode(TypingMode::kUnicode)));
  const TypingPlan plan = Plan(steps, Mode(TypingMode::kUnicode), {{0xA4, 0x38}, {0xA0, 0}});
  ASSERT_EQ(plan.size(), 1u);
  EXPECT_EQ(plan[0].kind, ChunkKind::kEvents);
  EXPECT_EQ(plan[0].pauseAfterMs, 0);
  EXPECT_EQ(plan[0].events, (Events{{0xE8, 0, 0x0},
                                    {0xE8, 0, 0x2},
                                    {0xA0, 0x2A, 0x2},
                                    {0xA4, 0x38, 0x2},
                                    {0, 0x5F20, 0x4},
                                    {0, 0x5F20, 0x6},
                                    {0, 0x61, 0x4},
                                    {0, 0x61, 0x6},
                                    {0x09, 0x0F, 0x0},
                                    {0x09, 0x0F, 0x2},
                                    {0, 0x31, 0x4},
                                    {0, 0x31, 0x6},
                                    {0x10, 0x2A, 0x0},
                                    {0x09, 0x0F, 0x0},
                                    {0x09, 0x0F, 0x2},
                                    {0x10, 0x2A, 0x2},
                                    {0x0D, 0x1C, 0x0},
                                    {0x0D, 0x1C, 0x2}}));
  EXPECT_TRUE(layout.asked.empty());
}

TEST_F(TypingPlans, KeysModePressesWhatTheLayoutMakesAndSendsTheRestAsUnicode) {
  const std::vector<TypingStep> steps = {Text(L"1X张"), Key(SpecialKey::kEnter)};
  EXPECT_TRUE(CanTypeInHook(steps, Mode(TypingMode::kKeys)));
  const TypingPlan plan = Plan(steps, Mode(TypingMode::kKeys), {{0xA0, 0x2A}});
  ASSERT_EQ(plan.size(), 1u);
  EXPECT_EQ(plan[0].events, (Events{{0xA0, 0x2A, 0x2},
                                    {0x31, 0x02, 0x0},
                                    {0x31, 0x02, 0x2},
                                    {0x10, 0x2A, 0x0},
                                    {0x58, 0x2D, 0x0},
                                    {0x58, 0x2D, 0x2},
                                    {0x10, 0x2A, 0x2},
                                    {0, 0x5F20, 0x4},
                                    {0, 0x5F20, 0x6},
                                    {0x0D, 0x1C, 0x0},
                                    {0x0D, 0x1C, 0x2}}));
  EXPECT_EQ(layout.asked, u"1X\u5F20");
}

TEST_F(TypingPlans, PasteModePastesEachTextStepAndPressesKeysBetween) {
  const std::vector<TypingStep> steps = {Text(L"张三"), Key(SpecialKey::kTab), Text(L"男"),
                                         Key(SpecialKey::kEnter)};
  EXPECT_FALSE(CanTypeInHook(steps, Mode(TypingMode::kPaste)));
  const TypingPlan plan = Plan(steps, Mode(TypingMode::kPaste, 30), {{0xA2, 0x1D}});
  EXPECT_EQ(Shape(plan),
            (std::vector<std::string>{U8(L"paste:张三/5+0"), U8(L"paste:男/6+0"), "2+0"}));
  // The modifier release once, in front of the first Ctrl+V.
  EXPECT_EQ(plan[0].events, (Events{{0xA2, 0x1D, 0x2},
                                    {0x11, 0x1D, 0x0},
                                    {0x56, 0x2F, 0x0},
                                    {0x56, 0x2F, 0x2},
                                    {0x11, 0x1D, 0x2}}));
  // Without the clipboard: the same events up to Ctrl+V, then the text.
  EXPECT_EQ(plan[0].fallback, (Events{{0xA2, 0x1D, 0x2},
                                      {0, 0x5F20, 0x4},
                                      {0, 0x5F20, 0x6},
                                      {0, 0x4E09, 0x4},
                                      {0, 0x4E09, 0x6}}));
  EXPECT_EQ(plan[1].events, (Events{{0x09, 0x0F, 0x0},
                                    {0x09, 0x0F, 0x2},
                                    {0x11, 0x1D, 0x0},
                                    {0x56, 0x2F, 0x0},
                                    {0x56, 0x2F, 0x2},
                                    {0x11, 0x1D, 0x2}}));
  EXPECT_EQ(plan[1].fallback,
            (Events{{0x09, 0x0F, 0x0}, {0x09, 0x0F, 0x2}, {0, 0x7537, 0x4}, {0, 0x7537, 0x6}}));
  EXPECT_EQ(plan[2].events, (Events{{0x0D, 0x1C, 0x0}, {0x0D, 0x1C, 0x2}}));
}

TEST_F(TypingPlans, PausesEndChunksAndFollowingPausesAddUp) {
  const std::vector<TypingStep> steps = {
      Text(L"a"), Key(SpecialKey::kTab), Pause(100), Text(L"b"), Pause(50), Pause(30)};
  EXPECT_FALSE(CanTypeInHook(steps, Mode(TypingMode::kUnicode)));
  const TypingPlan plan = Plan(steps, Mode(TypingMode::kUnicode));
  EXPECT_EQ(Shape(plan), (std::vector<std::string>{"4+100", "2+80"}));
  EXPECT_EQ(plan[1].events, (Events{{0, 0x62, 0x4}, {0, 0x62, 0x6}}));
  // A pause before anything is typed: an empty chunk, or the release.
  EXPECT_EQ(Shape(Plan({Pause(200), Text(L"a")}, Mode(TypingMode::kUnicode))),
            (std::vector<std::string>{"0+200", "2+0"}));
  EXPECT_EQ(Shape(Plan({Pause(200), Text(L"a")}, Mode(TypingMode::kKeys), {{0xA1, 0}})),
            (std::vector<std::string>{"1+200", "2+0"}));
}

TEST_F(TypingPlans, CharacterDelayMakesEachCharacterAndKeyAChunkOfItsOwn) {
  const std::vector<TypingStep> steps = {Text(L"a\U00020BB7"), Key(SpecialKey::kTab), Pause(100),
                                         Text(L"X")};
  EXPECT_FALSE(CanTypeInHook({Text(L"a")}, Mode(TypingMode::kUnicode, 20)));
  const TypingPlan plan = Plan(steps, Mode(TypingMode::kKeys, 20), {{0xA0, 0x2A}});
  // The surrogate pair stays together; the pause after the Tab adds to the
  // delay.
  EXPECT_EQ(Shape(plan), (std::vector<std::string>{"3+20", "4+20", "2+120", "4+20"}));
  EXPECT_EQ(plan[0].events, (Events{{0xA0, 0x2A, 0x2}, {0, 0x61, 0x4}, {0, 0x61, 0x6}}));
  EXPECT_EQ(plan[1].events,
            (Events{{0, 0xD842, 0x4}, {0, 0xD842, 0x6}, {0, 0xDFB7, 0x4}, {0, 0xDFB7, 0x6}}));
  EXPECT_EQ(plan[3].events,
            (Events{{0x10, 0x2A, 0x0}, {0x58, 0x2D, 0x0}, {0x58, 0x2D, 0x2}, {0x10, 0x2A, 0x2}}));
}

TEST_F(TypingPlans, CharacterDelayDoesNotApplyToPastedText) {
  const TypingPlan plan =
      Plan({Text(L"张三"), Key(SpecialKey::kTab), Text(L"12")}, Mode(TypingMode::kPaste, 50));
  EXPECT_EQ(Shape(plan), (std::vector<std::string>{U8(L"paste:张三/4+0"), "paste:12/6+0"}));
}

TEST_F(TypingPlans, CharactersThatAreNoUnicodeTypeTheReplacementCharacter) {
  // Only where wchar_t has 32 bits can text hold a lone surrogate code or a
  // value above U+10FFFF; each becomes U+FFFD.
  if constexpr (sizeof(wchar_t) == 4) {
    std::wstring text = L"a";
    text += static_cast<wchar_t>(0xDC00);
    text += static_cast<wchar_t>(0x110000);
    const TypingPlan plan =
        Plan({TypingStep{StepKind::kText, text, {}, 0}}, Mode(TypingMode::kUnicode));
    ASSERT_EQ(plan.size(), 1u);
    EXPECT_EQ(plan[0].events, (Events{{0, 0x61, 0x4},
                                      {0, 0x61, 0x6},
                                      {0, 0xFFFD, 0x4},
                                      {0, 0xFFFD, 0x6},
                                      {0, 0xFFFD, 0x4},
                                      {0, 0xFFFD, 0x6}}));
  }
}

TEST_F(TypingPlans, NoStepsTypeNothingNotEvenTheModifierRelease) {
  for (TypingMode mode : {TypingMode::kUnicode, TypingMode::kKeys, TypingMode::kPaste}) {
    EXPECT_TRUE(Plan({}, Mode(mode, 10), {{0xA4, 0x38}}).empty());
  }
}

TEST_F(TypingPlans, FieldKeyTextsAreTextStepsInFieldOrder) {
  CardFieldValues card;
  card[0] = L"张三";
  card[2] = L"";
  card[5] = L"110";
  card[7] = L"长期";
  const auto steps = FieldSteps(card, 0b10100101);
  ASSERT_EQ(steps.size(), 3u);
  EXPECT_EQ(steps[0].text, L"张三");
  EXPECT_EQ(steps[1].text, L"110");
  EXPECT_EQ(steps[2].text, L"长期");
  EXPECT_EQ(steps[2].kind, StepKind::kText);
  EXPECT_TRUE(FieldSteps(card, 0b10).empty());
  // Fields have no pause of their own: the field delay does not apply.
  EXPECT_TRUE(CanTypeInHook(steps, TypingSettings{TypingMode::kKeys, 500, 0}));
  EXPECT_EQ(Shape(Plan(steps, TypingSettings{TypingMode::kUnicode, 500, 0})),
            (std::vector<std::string>{"14+0"}));
}

}  // namespace
}  // namespace keyentry::test
