#include <gtest/gtest.h>
#include <memory>

#include "core/HookWatch.h"

namespace keyentry::test {
namespace {

constexpr std::uint16_t kF1 = 0x70, kF2 = 0x71;

// Grace period 200 ms, as in the program.
TEST(HookWatch, KeyDownsSeenByBothInEitherOrderNeverAskForANewHook) {
  HookWatch watch(200);
  watch.HookSaw(kF1, 1000);  // Windows: the hook first
  watch.RawInputSaw(kF1, 1003);
  watch.RawInputSaw(kF2, 2000);  // Wine: Raw Input may come first
  watch.HookSaw(kF2, 2150);
  EXPECT_FALSE(watch.Waiting());
  EXPECT_FALSE(watch.RenewDue(5000));
}

TEST(HookWatch, AKeyDownTheHookNeverSawAsksForANewHookAfterTheGracePeriod) {
  HookWatch watch(200);
  watch.RawInputSaw(kF1, 1000);
  EXPECT_TRUE(watch.Waiting());
  EXPECT_FALSE(watch.RenewDue(1000));
  EXPECT_FALSE(watch.RenewDue(1199));
  EXPECT_TRUE(watch.RenewDue(1200));
  watch.Reset();
  EXPECT_FALSE(watch.Waiting());
  EXPECT_FALSE(watch.RenewDue(5000));
}

TEST(HookWatch, SwallowedKeysRawInputNeverSawDoNotHideALaterLoss) {
  // On Windows a swallowed key reaches the hook only. Ten such presses must
  // not cover ten later presses the hook misses.
  HookWatch watch(200);
  for (std::uint32_t t = 0; t < 10; ++t) watch.HookSaw(kF1, 1000 + t * 50);
  watch.RawInputSaw(kF1, 2000);
  EXPECT_TRUE(watch.RenewDue(2200));
  // A hook call within the grace period before still pairs with it.
  HookWatch recent(200);
  recent.HookSaw(kF1, 1000);
  recent.RawInputSaw(kF1, 1200);
  EXPECT_FALSE(recent.RenewDue(2000));
}

TEST(HookWatch, PairsCountPerKeyAndPerPress) {
  HookWatch watch(200);
  watch.HookSaw(kF1, 1000);
  watch.RawInputSaw(kF2, 1001);  // another key: no partner
  EXPECT_TRUE(watch.RenewDue(1201));

  HookWatch twice(200);
  twice.RawInputSaw(kF1, 1000);
  twice.RawInputSaw(kF1, 1010);
  twice.HookSaw(kF1, 1020);  // one of two presses reached the hook
  EXPECT_TRUE(twice.Waiting());
  EXPECT_TRUE(twice.RenewDue(1300));
}

TEST(HookWatch, TickCountWrappingAroundChangesNothing) {
  HookWatch watch(200);
  watch.HookSaw(kF1, 0xFFFFFFF0u);
  watch.RawInputSaw(kF1, 0x00000010u);  // 32 ms later, after the wrap
  EXPECT_FALSE(watch.RenewDue(0x00001000u));
  HookWatch lost(200);
  lost.RawInputSaw(kF2, 0xFFFFFF00u);
  EXPECT_FALSE(lost.RenewDue(0xFFFFFFA0u));
  EXPECT_TRUE(lost.RenewDue(0x00000010u));  // 272 ms later
}

TEST(HookWatch, AssignedKeysAreThoseOfTheTableByTheLow16Bits) {
  HookTable table;
  table.codes = {0x70, 0x71, 0, 0, 0x7B, 0, 0, 0};
  EXPECT_TRUE(IsAssignedKey(table, 0x70));
  EXPECT_TRUE(IsAssignedKey(table, 0x1007B));
  EXPECT_FALSE(IsAssignedKey(table, 0x72));
  EXPECT_FALSE(IsAssignedKey(table, 0));  // unassigned fields hold 0
  EXPECT_FALSE(IsAssignedKey(table, 0x10000));
  // Template keys count too: a dropped hook shows as well when only they are pressed.
  auto settings = std::make_shared<SettingsContent>();
  settings->templates.push_back(KeyTemplate{13, 0x7C, {}, 1, L"F13 = x", {}});
  table.settings = settings;
  EXPECT_TRUE(IsAssignedKey(table, 0x7C));
  EXPECT_FALSE(IsAssignedKey(table, 0x7D));
}

}  // namespace
}  // namespace keyentry::test
