// The keyboard events SendStr.dll hands to one SendInput call.
#include <cstdint>
#include <gtest/gtest.h>
#include <ostream>
#include <vector>

#include "sendstr/InputPlan.h"

namespace keyentry::sendstr {
// Readable failure output for event lists.
inline void PrintTo(const KeyEvent& e, std::ostream* os) {
  *os << std::hex << "{vk 0x" << e.vk << ", scan 0x" << e.scan << ", flags 0x" << e.flags << "}"
      << std::dec;
}
}  // namespace keyentry::sendstr

namespace keyentry::test {
namespace {

using sendstr::HeldKey;
using sendstr::KeyEvent;
using sendstr::PlanInput;
using Events = std::vector<KeyEvent>;

constexpr std::uint16_t kLShift = 0xA0;
constexpr std::uint16_t kRShift = 0xA1;
constexpr std::uint16_t kLCtrl = 0xA2;
constexpr std::uint16_t kRCtrl = 0xA3;
constexpr std::uint16_t kLAlt = 0xA4;
constexpr std::uint16_t kRAlt = 0xA5;
constexpr std::uint16_t kLWin = 0x5B;
constexpr std::uint16_t kRWin = 0x5C;

constexpr std::uint32_t kUp = 0x0002;        // KEYEVENTF_KEYUP
constexpr std::uint32_t kUnicode = 0x0004;   // KEYEVENTF_UNICODE
constexpr std::uint32_t kExtended = 0x0001;  // KEYEVENTF_EXTENDEDKEY

KeyEvent Release(std::uint16_t vk, std::uint16_t scan, bool extended = false) {
  return KeyEvent{vk, scan, kUp | (extended ? kExtended : 0u)};
}

// The events that type `units`: down then up per UTF-16 unit.
Events Typed(std::u16string_view units) {
  Events events;
  for (const char16_t u : units) {
    events.push_back(KeyEvent{0, static_cast<std::uint16_t>(u), kUnicode});
    events.push_back(KeyEvent{0, static_cast<std::uint16_t>(u), kUnicode | kUp});
  }
  return events;
}

Events Concat(Events a, const Events& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const Events kMask = {KeyEvent{0xE8, 0, 0}, KeyEvent{0xE8, 0, kUp}};

TEST(InputPlan, TextBecomesUnicodeDownUpPairPerUtf16Unit) {
  // "张三 a" and a character outside the BMP (two surrogate units).
  const std::u16string text = u"\u5F20\u4E09 a\U00020BB7";
  const Events plan = PlanInput(text, {});
  ASSERT_EQ(plan.size(), 12u);
  EXPECT_EQ(plan, Typed(u"\u5F20\u4E09 a\xD842\xDFB7"));
}

TEST(InputPlan, EmptyTextSendsNothingEvenWithModifiersHeld) {
  EXPECT_TRUE(PlanInput(u"", {}).empty());
  EXPECT_TRUE(PlanInput(u"", {{kLShift, 0x2A}, {kLAlt, 0x38}, {kRWin, 0x5C}}).empty());
}

TEST(InputPlan, HeldShiftAndCtrlAreReleasedFirstWithoutMaskingKey) {
  // Scan codes from Windows are kept; a missing one falls back to the key's own.
  const Events plan = PlanInput(u"ab", {{kLShift, 0x2A}, {kRCtrl, 0}});
  EXPECT_EQ(plan, Concat({Release(kLShift, 0x2A), Release(kRCtrl, 0x1D, true)}, Typed(u"ab")));

  const Events right = PlanInput(u"x", {{kRShift, 0x36}, {kLCtrl, 0x1D}});
  EXPECT_EQ(right, Concat({Release(kRShift, 0x36), Release(kLCtrl, 0x1D)}, Typed(u"x")));
}

TEST(InputPlan, HeldAltOrWindowsKeyIsMaskedBeforeItsRelease) {
  struct Case {
    std::uint16_t vk;
    std::uint16_t scan;
    bool extended;
  };
  for (const Case& c : {Case{kLAlt, 0x38, false}, Case{kRAlt, 0x38, true}, Case{kLWin, 0x5B, true},
                        Case{kRWin, 0x5C, true}}) {
    const Events plan = PlanInput(u"1", {{c.vk, 0}});
    EXPECT_EQ(plan, Concat(Concat(kMask, {Release(c.vk, c.scan, c.extended)}), Typed(u"1")))
        << "vk 0x" << std::hex << c.vk;
  }
}

TEST(InputPlan, ModifiersAreReleasedInFixedOrderOnceAndNeverPressedAgain) {
  // Given in reverse order, with repeats and keys that are no modifier
  // (VK_SHIFT 0x10, 'A' 0x41): only the first report of each counts.
  const std::vector<HeldKey> held = {{kRWin, 0x5C}, {0x41, 0x1E},  {kLShift, 0x2A}, {kLShift, 0x99},
                                     {0x10, 0x2A},  {kLAlt, 0x38}, {kRWin, 0x77}};
  const Events plan = PlanInput(u"z", held);
  EXPECT_EQ(plan, Concat(Concat(kMask, {Release(kLShift, 0x2A), Release(kLAlt, 0x38),
                                        Release(kRWin, 0x5C, true)}),
                         Typed(u"z")));
  for (const KeyEvent& e : plan) {
    if (sendstr::FindModifier(e.vk) != nullptr) {
      EXPECT_TRUE(e.flags & kUp) << "modifier 0x" << std::hex << e.vk << " pressed";
    }
  }
}

}  // namespace
}  // namespace keyentry::test
