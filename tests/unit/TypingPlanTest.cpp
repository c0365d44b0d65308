// What the program's own input path types for the steps of a template or
// the texts of a field key: chunks of key events or pastes, with pauses.
#include <gtest/gtest.h>

#include "Fakes.h"
#include "core/TypingPlan.h"

namespace keyentry::test {
namespace {

TypingStep Text(const wchar_t* text) { return TypingStep{StepKind::kText, text, {}, 0}; }
const TypingStep kTab{StepKind::kKey, {}, SpecialKey::kTab, 0};
const TypingStep kShiftTab{StepKind::kKey, {}, SpecialKey::kShiftTab, 0};
const TypingStep kEnter{StepKind::kKey, {}, SpecialKey::kEnter, 0};
TypingStep Pause(int ms) { return TypingStep{StepKind::kPause, {}, {}, ms}; }

constexpr TypingMode kUnicode = TypingMode::kUnicode, kKeys = TypingMode::kKeys,
                     kPaste = TypingMode::kPaste;
const std::vector<input::HeldKey> kLeftAlt = {{0xA4, 0x38}}, kLeftShift = {{0xA0, 0x2A}};

// The plan, chunk by chunk: "[events] ~pause" or "paste TEXT [events]
// else [fallback] ~pause", the chunks separated by " | "; see Keys().
class TypingPlans : public ::testing::Test {
 protected:
  FakeLayout layout;
  std::string Plan(const std::vector<TypingStep>& steps, TypingMode mode, int charDelayMs = 0,
                   const std::vector<input::HeldKey>& held = {},
                   input::KeyboardState keyboard = {input::CapsLock::kOff, false}) {
    std::string out;
    for (const TypingChunk& c : PlanTyping(steps, {mode, 0, charDelayMs}, held, layout, keyboard)) {
      if (!out.empty()) out += " | ";
      if (c.kind == ChunkKind::kPaste) out += "paste " + U8(c.pasteText) + " ";
      out += "[" + Keys(c.events) + "]";
      if (c.kind == ChunkKind::kPaste) out += " else [" + Keys(c.fallback) + "]";
      if (c.pauseAfterMs != 0) out += " ~" + std::to_string(c.pauseAfterMs);
    }
    return out;
  }
};

TEST_F(TypingPlans, UnicodeModeWithoutPausesIsOneChunkThatReleasesModifiersFirst) {
  const std::vector<TypingStep> steps = {Text(L"张a"), kTab, Text(L"1"), kShiftTab, kEnter};
  EXPECT_TRUE(CanTypeInHook(steps, {kUnicode, 0, 0}));
  EXPECT_EQ(Plan(steps, kUnicode, 0, {{0xA4, 0x38}, {0xA0, 0}}),
            "[E8/00 E8/00^ A0/2A^ A4/38^ u5F20 u5F20^ u61 u61^ 09/0F 09/0F^ u31 u31^ "
            "10/2A 09/0F 09/0F^ 10/2A^ 0D/1C 0D/1C^]");
  EXPECT_TRUE(layout.asked.empty());
}

TEST_F(TypingPlans, KeysModePressesWhatTheLayoutMakesAndSendsTheRestAsUnicode) {
  const std::vector<TypingStep> steps = {Text(L"1X张"), kEnter};
  EXPECT_FALSE(CanTypeInHook(steps, {kKeys, 0, 0}));  // Caps Lock is read on the typing thread
  EXPECT_EQ(Plan(steps, kKeys, 0, kLeftShift),
            "[A0/2A^ 31/02 31/02^ 10/2A 58/2D 58/2D^ 10/2A^ u5F20 u5F20^ 0D/1C 0D/1C^]");
  EXPECT_EQ(layout.asked, u"1X\u5F20");
}

TEST_F(TypingPlans, KeysModeTypesLettersForTheTargetsCapsLockAndLeavesItAsItWas) {
  using input::CapsLock;
  const std::vector<TypingStep> steps = {Text(L"aX"), kShiftTab, Pause(50), Text(L"1")};
  const struct {
    input::KeyboardState keyboard;
    const char* expected;
  } cases[] = {
      {{CapsLock::kOn, false},
       "[A0/2A^ 10/2A 41/1E 41/1E^ 10/2A^ 58/2D 58/2D^ 10/2A 09/0F 09/0F^ 10/2A^] ~50 | "
       "[31/02 31/02^]"},
      {{CapsLock::kUnknown, false},
       "[A0/2A^ u61 u61^ u58 u58^ 10/2A 09/0F 09/0F^ 10/2A^] ~50 | [31/02 31/02^]"},
      // Shift turns Caps Lock off: each chunk of keys turns it off first and
      // on again at its end, and is typed as with Caps Lock off.
      {{CapsLock::kOn, true},
       "[A0/2A^ 10/2A 10/2A^ 41/1E 41/1E^ 10/2A 58/2D 58/2D^ 10/2A^ 10/2A 09/0F 09/0F^ 10/2A^ "
       "14/3A 14/3A^] ~50 | [10/2A 10/2A^ 31/02 31/02^ 14/3A 14/3A^]"},
      {{CapsLock::kOff, true},
       "[A0/2A^ 41/1E 41/1E^ 10/2A 58/2D 58/2D^ 10/2A^ 10/2A 09/0F 09/0F^ 10/2A^] ~50 | "
       "[31/02 31/02^]"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Plan(steps, kKeys, 0, kLeftShift, c.keyboard), c.expected)
        << static_cast<int>(c.keyboard.capsLock) << c.keyboard.shiftTurnsCapsLockOff;
  }
  // Other modes never press Caps Lock, nor ask the layout.
  layout.asked.clear();
  EXPECT_EQ(Plan({Text(L"a")}, kUnicode, 0, {}, {CapsLock::kOn, true}), "[u61 u61^]");
  EXPECT_TRUE(layout.asked.empty());
}

TEST_F(TypingPlans, PasteModePastesEachTextStepWithUnicodeToFallBackOn) {
  // The character delay does not apply to pasted text.
  const std::vector<TypingStep> steps = {Text(L"张三"), kTab, Text(L"男"), kEnter};
  EXPECT_FALSE(CanTypeInHook(steps, {kPaste, 0, 0}));
  EXPECT_EQ(Plan(steps, kPaste, 30, {{0xA2, 0x1D}}),
            U8(L"paste 张三 [A2/1D^ 11/1D 56/2F 56/2F^ 11/1D^] else [A2/1D^ u5F20 u5F20^ u4E09 "
               L"u4E09^] | paste 男 [09/0F 09/0F^ 11/1D 56/2F 56/2F^ 11/1D^] else [09/0F 09/0F^ "
               L"u7537 u7537^] | [0D/1C 0D/1C^]"));
}

TEST_F(TypingPlans, PausesEndChunksAndPausesInARowAddUp) {
  const std::vector<TypingStep> steps = {Text(L"a"), kTab,      Pause(100),
                                         Text(L"b"), Pause(50), Pause(30)};
  EXPECT_FALSE(CanTypeInHook(steps, {kUnicode, 0, 0}));
  EXPECT_EQ(Plan(steps, kUnicode), "[u61 u61^ 09/0F 09/0F^] ~100 | [u62 u62^] ~80");
  // A pause before anything is typed: an empty chunk, or only the release.
  EXPECT_EQ(Plan({Pause(200), Text(L"a")}, kUnicode), "[] ~200 | [u61 u61^]");
  EXPECT_EQ(Plan({Pause(200), Text(L"1")}, kKeys, 0, kLeftAlt),
            "[E8/00 E8/00^ A4/38^] ~200 | [31/02 31/02^]");
}

TEST_F(TypingPlans, CharacterDelayMakesEachCharacterAndKeyAChunkOfItsOwn) {
  // A surrogate pair is one character; a pause after a key adds to the delay.
  EXPECT_FALSE(CanTypeInHook({Text(L"a")}, {kUnicode, 0, 20}));
  EXPECT_EQ(Plan({Text(L"a\U00020BB7"), kTab, Pause(100), Text(L"X")}, kKeys, 20, kLeftShift),
            "[A0/2A^ 41/1E 41/1E^] ~20 | [uD842 uD842^ uDFB7 uDFB7^] ~20 | [09/0F 09/0F^] ~120 | "
            "[10/2A 58/2D 58/2D^ 10/2A^] ~20");
}

TEST_F(TypingPlans, NoStepsTypeNothingNotEvenTheModifierRelease) {
  for (TypingMode mode : {kUnicode, kKeys, kPaste}) EXPECT_EQ(Plan({}, mode, 10, kLeftAlt), "");
}

TEST_F(TypingPlans, CharactersThatAreNoUnicodeBecomeTheReplacementCharacter) {
  // Only where wchar_t has 32 bits can text hold a lone surrogate or a value
  // above U+10FFFF.
  if constexpr (sizeof(wchar_t) == 4) {
    const std::wstring text{L'a', static_cast<wchar_t>(0xDC00), static_cast<wchar_t>(0x110000)};
    EXPECT_EQ(Plan({TypingStep{StepKind::kText, text, {}, 0}}, kUnicode),
              "[u61 u61^ uFFFD uFFFD^ uFFFD uFFFD^]");
  }
}

TEST_F(TypingPlans, FieldKeyTextsAreTextStepsInFieldOrderWithoutPauses) {
  CardFieldValues card;
  card[0] = L"张三";
  card[2] = L"";
  card[5] = L"1";
  card[7] = L"x";
  const auto steps = FieldSteps(card, 0b10100101);
  EXPECT_TRUE(FieldSteps(card, 0b10).empty());
  EXPECT_TRUE(CanTypeInHook(steps, TypingSettings{kUnicode, 500, 0}));
  EXPECT_EQ(Plan(steps, kUnicode), "[u5F20 u5F20^ u4E09 u4E09^ u31 u31^ u78 u78^]");
  EXPECT_EQ(Plan(steps, kPaste),
            U8(L"paste 张三 [11/1D 56/2F 56/2F^ 11/1D^] else [u5F20 u5F20^ u4E09 u4E09^] | "
               L"paste 1 [11/1D 56/2F 56/2F^ 11/1D^] else [u31 u31^] | "
               L"paste x [11/1D 56/2F 56/2F^ 11/1D^] else [u78 u78^]"));
}

}  // namespace
}  // namespace keyentry::test
