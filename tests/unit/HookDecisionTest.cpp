#include <gtest/gtest.h>

#include "Fakes.h"

namespace keyentry::test {
namespace {

constexpr std::uint32_t kF3 = 114, kF5 = 116, kF10 = 121, kF12 = 123;
constexpr std::uint32_t kWmKeyUp = 257, kWmSysKeyUp = 261;

// Keys and card values set through the core, as the program does, and the
// key events fed to the hook's decision as Windows would deliver them.
class HookDecisions : public ::testing::Test {
 protected:
  CoreRig rig;
  RecordingSender sender;

  void SetUp() override {
    rig.maths.SetHotKeys({L"F1", L"F2", L"F3", L"F4", L"F5", L"F6", L"F7", L"F8"});
  }
  void Card(std::initializer_list<const wchar_t*> values) {
    int k = 0;
    for (auto v : values) rig.maths.SetCardField(k++, v);
    rig.maths.PublishHookTable();
  }
  HookDecision Event(std::int32_t code, std::uint32_t message, std::uint32_t vk) {
    return DecideKeyEvent(*rig.tables.Current(), code, message, vk, sender);
  }
};

TEST_F(HookDecisions, AssignedKeyDownTypesItsFieldAndIsSwallowed) {
  Card({L"张三", L"男", L"汉", L"19900101", L"北京", L"110", L"公安局", L"长期"});
  const auto d = Event(0, kWmKeyDown, kF3);
  EXPECT_FALSE(d.callNextHook);
  EXPECT_EQ(d.result, 1);
  EXPECT_EQ(sender.sent, std::vector<std::string>{U8(L"汉")});
}

TEST_F(HookDecisions, AltHeldOrF10IsMatchedLikeAPlainKeyDown) {
  Card({L"a", L"b", L"c", L"d", L"e", L"f", L"g", L"h"});
  rig.maths.SetHotKeys({L"F10", L"", L"", L"", L"", L"", L"", L"F3"});
  EXPECT_EQ(Event(0, kWmSysKeyDown, kF3).result, 1);
  EXPECT_EQ(Event(0, kWmSysKeyDown, kF10).result, 1);
  EXPECT_EQ(sender.sent, (std::vector<std::string>{"h", "a"}));
}

TEST_F(HookDecisions, KeyUpsAndNegativeCodesGoToTheNextHookUntouched) {
  Card({L"a", L"b", L"c", L"d", L"e", L"f", L"g", L"h"});
  for (auto msg : {kWmKeyUp, kWmSysKeyUp, 0x0100u + 2u}) {
    const auto d = Event(0, msg, kF3);
    EXPECT_TRUE(d.callNextHook) << msg;
  }
  EXPECT_TRUE(Event(-1, kWmKeyDown, kF3).callNextHook);
  EXPECT_TRUE(sender.sent.empty());
}

TEST_F(HookDecisions, UnassignedKeyDownIsLetThroughToTheNextHookWithoutTyping) {
  rig.maths.SetHotKeys({L"F1", L"F2", L"F3", L"F4", L"F6", L"F7", L"F8", L"F9"});
  const auto d = Event(0, kWmKeyDown, kF5);
  EXPECT_TRUE(d.callNextHook);
  EXPECT_TRUE(sender.sent.empty());
}

TEST_F(HookDecisions, OneKeyForTwoFieldsTypesBothInFieldOrder) {
  Card({L"张三", L"男", L"汉", L"19900101", L"北京市", L"110", L"公安局", L"长期"});
  rig.maths.SetHotKeys({L"F3", L"F1", L"F2", L"F4", L"F3", L"F6", L"F7", L"F8"});
  EXPECT_EQ(Event(0, kWmKeyDown, kF3).result, 1);
  EXPECT_EQ(sender.sent, (std::vector<std::string>{U8(L"张三"), U8(L"北京市")}));
}

TEST_F(HookDecisions, BeforeAnyCardTheKeyIsSwallowedAndANullTextSent) {
  EXPECT_EQ(Event(0, kWmKeyDown, kF3).result, 1);
  EXPECT_EQ(sender.sent, std::vector<std::string>{"<null>"});
}

TEST_F(HookDecisions, EmptyFieldIsSentAsEmptyTextNotNull) {
  Card({L"a", L"b", L"", L"d", L"e", L"f", L"g", L"h"});
  Event(0, kWmKeyDown, kF3);
  EXPECT_EQ(sender.sent, std::vector<std::string>{""});
}

TEST_F(HookDecisions, OnlyTheLow16BitsOfTheKeyCodeCount) {
  Card({L"a", L"b", L"c", L"d", L"e", L"f", L"g", L"h"});
  EXPECT_EQ(Event(0, kWmKeyDown, 0x00050000u | kF3).result, 1);
  EXPECT_EQ(sender.sent, std::vector<std::string>{"c"});
}

TEST_F(HookDecisions, NamesOutsideF1ToF12NeverMatchAnyKey) {
  Card({L"a", L"b", L"c", L"d", L"e", L"f", L"g", L"h"});
  rig.maths.SetHotKeys({L"f3", L" F3", L"F13", L"", L"F0", L"F3 ", L"", L""});
  for (std::uint32_t vk = 0; vk < 256; ++vk) EXPECT_EQ(Event(0, kWmKeyDown, vk).result, 0) << vk;
  EXPECT_TRUE(sender.sent.empty());
}

TEST_F(HookDecisions, RepeatedKeyDownsTypeAgainEachTime) {
  Card({L"a", L"b", L"c", L"d", L"e", L"f", L"g", L"h"});
  for (int i = 0; i < 3; ++i) EXPECT_EQ(Event(0, kWmKeyDown, kF3).result, 1);
  EXPECT_EQ(sender.sent, (std::vector<std::string>{"c", "c", "c"}));
}

TEST_F(HookDecisions, NewKeysApplyAtTheNextEventAndOldTablesStayWhole) {
  Card({L"name", L"b", L"c", L"d", L"e", L"f", L"g", L"h"});
  const auto before = rig.tables.Current();
  rig.maths.SetHotKeys({L"F12", L"F2", L"F3", L"F4", L"F5", L"F6", L"F7", L"F8"});
  EXPECT_EQ(Event(0, kWmKeyDown, kF12).result, 1);
  EXPECT_EQ(sender.sent, std::vector<std::string>{"name"});
  // A table taken before the change still has the old keys, all eight.
  EXPECT_EQ(before->codes[0], 112);
  EXPECT_EQ(before->codes[7], 119);
}

}  // namespace
}  // namespace keyentry::test
