// The keyboard events: what SendStr.dll hands to one SendInput call, real key
// presses with their scan codes, and text as the keyboard layout makes it.
#include <cstdint>
#include <gtest/gtest.h>
#include <ostream>
#include <vector>

#include "Fakes.h"
#include "core/InputPlan.h"

namespace keyentry::input {
// Readable failure output for event lists.
inline void PrintTo(const KeyEvent& e, std::ostream* os) {
  *os << std::hex << "{vk 0x" << e.vk << ", scan 0x" << e.scan << ", flags 0x" << e.flags << "}"
      << std::dec;
}
}  // namespace keyentry::input

namespace keyentry::test {
namespace {

using input::HeldKey;
using input::KeyEvent;
using input::PlanInput;
using Events = std::vector<KeyEvent>;

constexpr std::uint16_t kLShift = 0xA0;
constexpr std::uint16_t kRShift = 0xA1;
constexpr std::uint16_t kLCtrl = 0xA2;
constexpr std::uint16_t kRCtrl = 0xA3;
constexpr std::uint16_t kLAlt = 0xA4;
constexpr std::uint16_t kRAlt = 0xA5;
constexpr std::uint16_t kLWin = 0x5B;
constexpr std::uint16_t kRWin = 0x5C;

// Expected events are written as {vk, scan, flags}, with the flags
// KEYEVENTF_EXTENDEDKEY 0x1, KEYEVENTF_KEYUP 0x2 and KEYEVENTF_UNICODE 0x4.
constexpr std::uint32_t kUp = 0x0002;

TEST(InputPlan, TextBecomesUnicodeDownUpPairPerUtf16Unit) {
  // "张三 a" and a character outside the BMP (two surrogate units).
  const Events plan = PlanInput(u"\u5F20\u4E09 a\U00020BB7", {});
  const Events expected = {
      {0, 0x5F20, 0x4}, {0, 0x5F20, 0x6}, {0, 0x4E09, 0x4}, {0, 0x4E09, 0x6},
      {0, 0x0020, 0x4}, {0, 0x0020, 0x6}, {0, 0x0061, 0x4}, {0, 0x0061, 0x6},
      {0, 0xD842, 0x4}, {0, 0xD842, 0x6}, {0, 0xDFB7, 0x4}, {0, 0xDFB7, 0x6},
  };
  EXPECT_EQ(plan, expected);
}

TEST(InputPlan, EmptyTextSendsNothingEvenWithModifiersHeld) {
  EXPECT_TRUE(PlanInput(u"", {}).empty());
  EXPECT_TRUE(PlanInput(u"", {{kLShift, 0x2A}, {kLAlt, 0x38}, {kRWin, 0x5C}}).empty());
}

TEST(InputPlan, HeldShiftAndCtrlAreReleasedFirstWithoutMaskingKey) {
  // Scan codes from Windows are kept; a missing one falls back to the key's
  // own, and right Ctrl is released as an extended key.
  EXPECT_EQ(PlanInput(u"ab", {{kLShift, 0x2A}, {kRCtrl, 0}}), (Events{{0xA0, 0x2A, 0x2},
                                                                      {0xA3, 0x1D, 0x3},
                                                                      {0, 0x61, 0x4},
                                                                      {0, 0x61, 0x6},
                                                                      {0, 0x62, 0x4},
                                                                      {0, 0x62, 0x6}}));
  EXPECT_EQ(PlanInput(u"x", {{kRShift, 0x36}, {kLCtrl, 0x1D}}),
            (Events{{0xA1, 0x36, 0x2}, {0xA2, 0x1D, 0x2}, {0, 0x78, 0x4}, {0, 0x78, 0x6}}));
}

TEST(InputPlan, HeldAltOrWindowsKeyIsMaskedBeforeItsRelease) {
  // The unassigned key 0xE8 is pressed and released first.
  EXPECT_EQ(
      PlanInput(u"1", {{kLAlt, 0}}),
      (Events{{0xE8, 0, 0x0}, {0xE8, 0, 0x2}, {0xA4, 0x38, 0x2}, {0, 0x31, 0x4}, {0, 0x31, 0x6}}));
  EXPECT_EQ(
      PlanInput(u"1", {{kRAlt, 0}}),
      (Events{{0xE8, 0, 0x0}, {0xE8, 0, 0x2}, {0xA5, 0x38, 0x3}, {0, 0x31, 0x4}, {0, 0x31, 0x6}}));
  EXPECT_EQ(
      PlanInput(u"1", {{kLWin, 0}}),
      (Events{{0xE8, 0, 0x0}, {0xE8, 0, 0x2}, {0x5B, 0x5B, 0x3}, {0, 0x31, 0x4}, {0, 0x31, 0x6}}));
  EXPECT_EQ(
      PlanInput(u"1", {{kRWin, 0}}),
      (Events{{0xE8, 0, 0x0}, {0xE8, 0, 0x2}, {0x5C, 0x5C, 0x3}, {0, 0x31, 0x4}, {0, 0x31, 0x6}}));
}

TEST(InputPlan, ModifiersAreReleasedInFixedOrderOnceAndNeverPressedAgain) {
  // Given in reverse order, with repeats and keys that are no modifier
  // (VK_SHIFT 0x10, 'A' 0x41): only the first report of each counts.
  const std::vector<HeldKey> held = {{kRWin, 0x5C}, {0x41, 0x1E},  {kLShift, 0x2A}, {kLShift, 0x99},
                                     {0x10, 0x2A},  {kLAlt, 0x38}, {kRWin, 0x77}};
  const Events plan = PlanInput(u"z", held);
  EXPECT_EQ(plan, (Events{{0xE8, 0, 0x0},
                          {0xE8, 0, 0x2},
                          {0xA0, 0x2A, 0x2},
                          {0xA4, 0x38, 0x2},
                          {0x5C, 0x5C, 0x3},
                          {0, 0x7A, 0x4},
                          {0, 0x7A, 0x6}}));
  for (const KeyEvent& e : plan) {
    if (input::FindModifier(e.vk) != nullptr) {
      EXPECT_TRUE(e.flags & kUp) << "modifier 0x" << std::hex << e.vk << " pressed";
    }
  }
}

// Real key presses and text as the layout makes it, written as in Keys().
TEST(InputPlanKeys, TabShiftTabEnterAndCtrlVWithTheirScanCodes) {
  Events events;
  input::AppendKeyPress(events, input::kTabStroke);
  input::AppendKeyPress(events, input::kShiftTabStroke);
  input::AppendKeyPress(events, input::kEnterStroke);
  input::AppendCtrlV(events);
  EXPECT_EQ(Keys(events),
            "09/0F 09/0F^ 10/2A 09/0F 09/0F^ 10/2A^ 0D/1C 0D/1C^ 11/1D 56/2F 56/2F^ 11/1D^");
}

TEST(InputPlanKeys, LayoutCharactersAsKeyPressesAndTheRestAsUnicode) {
  // The layout makes "1X-" (X with Shift), not "张" nor "@"; surrogate
  // pairs go as Unicode without asking it.
  FakeLayout layout;
  Events events;
  input::AppendLayoutKeys(events, u"1X\u5F20-@\U00020BB7", layout, input::CapsLock::kOff);
  EXPECT_EQ(Keys(events),
            "31/02 31/02^ 10/2A 58/2D 58/2D^ 10/2A^ u5F20 u5F20^ BD/0C BD/0C^ u40 u40^ "
            "uD842 uD842^ uDFB7 uDFB7^");
  EXPECT_EQ(layout.asked, u"1X\u5F20-@");
}

// The decision for one key, by how the layout makes its character with
// Caps Lock off and on ("-": not at all; "shift", "plain"), in each state.
TEST(InputPlanKeys, ShiftFollowsCapsLockAndAnUnknownStateLeavesOnlyKeysItDoesNotChange) {
  using input::CapsLock;
  const std::optional<bool> no, plain = false, shift = true;
  const struct {
    std::optional<bool> whenOff, whenOn;
    CapsLock capsLock;
    const char* expected;
  } cases[] = {
      {plain, plain, CapsLock::kOff, "plain"},  // a digit
      {plain, plain, CapsLock::kOn, "plain"},     {plain, plain, CapsLock::kUnknown, "plain"},
      {shift, shift, CapsLock::kOn, "shift"},   // a sign over a digit
      {shift, plain, CapsLock::kOff, "shift"},  // a capital letter
      {shift, plain, CapsLock::kOn, "plain"},     {shift, plain, CapsLock::kUnknown, "unicode"},
      {plain, shift, CapsLock::kOff, "plain"},  // a small letter
      {plain, shift, CapsLock::kOn, "shift"},     {plain, shift, CapsLock::kUnknown, "unicode"},
      {plain, no, CapsLock::kOn, "unicode"},  // Caps Lock turns the key into another character
      {plain, no, CapsLock::kOff, "plain"},       {no, plain, CapsLock::kOn, "plain"},
      {no, plain, CapsLock::kUnknown, "unicode"},
  };
  for (const auto& c : cases) {
    const auto stroke = input::StrokeFor({0x58, 0x2D, c.whenOff, c.whenOn}, c.capsLock);
    const std::string got = !stroke ? "unicode" : stroke->shift ? "shift" : "plain";
    EXPECT_EQ(got, c.expected) << c.whenOff.value_or(9) << c.whenOn.value_or(9) << " caps "
                               << static_cast<int>(c.capsLock);
    if (stroke) {
      EXPECT_EQ(stroke->vk * 0x100 + stroke->scan, 0x582D);
    }
  }
}

TEST(InputPlanKeys, LettersAsKeyPressesInTheRightCaseWhateverTheCapsLockState) {
  FakeLayout layout;
  const struct {
    input::CapsLock capsLock;
    const char* expected;
  } cases[] = {
      {input::CapsLock::kOff,
       "41/1E 41/1E^ 10/2A 42/30 42/30^ 10/2A^ 31/02 31/02^ 10/2A 58/2D "
       "58/2D^ 10/2A^"},
      {input::CapsLock::kOn, "10/2A 41/1E 41/1E^ 10/2A^ 42/30 42/30^ 31/02 31/02^ 58/2D 58/2D^"},
      {input::CapsLock::kUnknown, "u61 u61^ u42 u42^ 31/02 31/02^ u58 u58^"},
  };
  for (const auto& c : cases) {
    Events events;
    input::AppendLayoutKeys(events, u"aB1X", layout, c.capsLock);
    EXPECT_EQ(Keys(events), c.expected) << static_cast<int>(c.capsLock);
  }
  // Where Shift turns Caps Lock off: a Shift press after the release, Caps
  // Lock pressed again at the end.
  Events events = {{0xA0, 0x2A, input::kFlagKeyUp}, {0x41, 0x1E, 0}, {0x41, 0x1E, 2}};
  input::WrapCapsLockOff(events, 1);
  EXPECT_EQ(Keys(events), "A0/2A^ 10/2A 10/2A^ 41/1E 41/1E^ 14/3A 14/3A^");
}

}  // namespace
}  // namespace keyentry::test
