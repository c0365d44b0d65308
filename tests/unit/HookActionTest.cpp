// The keyboard hook's decision with templates: sequences of key events as
// Windows delivers them, and the action taken for each. Events: "+F9"
// WM_KEYDOWN, "-F9" WM_KEYUP, "^F9" WM_SYSKEYDOWN (Alt held), "_F9"
// WM_SYSKEYUP, with code 0, or with code -1 after "!"; keys F1..F24 by name,
// others by number ("vk65", "0x50078"). "clear" forgets the card, "card"
// reads one again (a card is held at the start). Actions: "pass" (next
// hook), "let" (let through, also to the next hook), "swallow", "run" (this
// key's template), "type" and the fields' numbers, "r" after them for an
// auto-repeat.
#include <gtest/gtest.h>
#include <sstream>

#include "Fakes.h"

namespace keyentry::test {
namespace {

class HookActions : public ::testing::Test {
 protected:
  CoreRig rig;
  HookKeyState state;

  void SetUp() override {
    rig.files.files[CoreRig::kKeyFile] = kKeyFileF1ToF8;
    rig.files.files[CoreRig::kIniFile] =
        U8(L"[模板]\nF9 = {姓名}{Tab}\nF10 = x\nF13 = y\nF24 = z\n");
    rig.maths.InitDevice();
    ASSERT_TRUE(rig.messages.shown.empty());
    HoldCard();
  }
  void HoldCard() {
    rig.maths.SetCardField(0, L"张三");
    rig.maths.PublishHookTable();
  }

  std::string Run(const std::string& events) {
    std::istringstream in(events);
    std::string t, out;
    while (in >> t) {
      if (t == "clear" || t == "card") {
        t == "clear" ? rig.maths.ClearCardFields() : HoldCard();
        continue;
      }
      const std::int32_t code = t[0] == '!' ? -1 : 0;
      if (code < 0) t.erase(0, 1);
      const std::uint32_t message = t[0] == '+'   ? kWmKeyDown
                                    : t[0] == '-' ? kWmKeyUp
                                    : t[0] == '^' ? kWmSysKeyDown
                                                  : kWmSysKeyUp;
      const std::uint32_t vk = t[1] == 'F'   ? 111 + std::stoul(t.substr(2))
                               : t[1] == 'v' ? std::stoul(t.substr(3))
                                             : std::stoul(t.substr(1), nullptr, 16);
      const HookAction a = DecideKeyAction(*rig.tables.Current(), state, code, message, vk);
      out += out.empty() ? "" : " ";
      if (a.kind == HookActionKind::kPassOn) out += "pass";
      if (a.kind == HookActionKind::kLetThrough) out += "let";
      if (a.kind == HookActionKind::kSwallow) out += "swallow";
      if (a.kind == HookActionKind::kRunTemplate) {
        out += a.templateKey == static_cast<std::int16_t>(vk) ? "run" : "run-other-key";
      }
      if (a.kind == HookActionKind::kTypeFields) {
        out += "type";
        for (int k = 0; k < 32; ++k)
          if (a.fields & (FieldMask{1} << k)) out += std::to_string(k);
        if (a.fieldKey != static_cast<std::int16_t>(vk)) out += "-other-key";
        if (a.repeat) out += "r";
      }
    }
    return out;
  }
};

TEST_F(HookActions, TemplateKeyRunsOncePerPressAndItsAutoRepeatIsSwallowed) {
  EXPECT_EQ(Run("+F9 +F9 +F9 -F9 +F9 -F9"), "run swallow swallow pass run pass");
  // Each key has its own held state.
  EXPECT_EQ(Run("+F9 +F10 +F9 -F9 +F10 +F9"), "run run swallow pass swallow run");
}

TEST_F(HookActions, AltHeldIsMatchedLikeAPlainPressAndEitherKeyUpEndsIt) {
  EXPECT_EQ(Run("^F9 ^F9 _F9 ^F9 -F9 +F9 _F9 ^F9"), "run swallow pass run pass run pass run");
}

TEST_F(HookActions, F13ToF24AreTemplateKeysByTheLow16BitsOfTheCode) {
  EXPECT_EQ(Run("+F13 +F13 -F13 +F24 +F12 +F25 +vk65 +vk0"),
            "run swallow pass run let let let let");
  EXPECT_EQ(Run("+0x5007C +F13 -0x7007C +F13"), "run swallow pass run");
}

TEST_F(HookActions, FieldKeysTypeAtEveryRepeatAsBeforeMarkedAsRepeats) {
  EXPECT_EQ(Run("+F1 +F1 +F1 -F1 ^F8 _F8 +F1 ^F8 ^F8"),
            "type0 type0r type0r pass type7 pass type0 type7 type7r");
}

TEST_F(HookActions, WithoutACardTemplatesTypeNothingButStillTakeTheirKey) {
  // Not even a template's Tab or fixed text: the key is swallowed. Field
  // keys are taken as ever (they type nothing without a card).
  EXPECT_EQ(Run("clear +F9 -F9 +F1 +vk65 +F13 card +F9 -F9"),
            "swallow pass type0 let swallow run pass");
  // A template key pressed without a card counts as pressed: its auto-repeat
  // after a card came does not run it; a new press does.
  EXPECT_EQ(Run("clear +F10 card +F10 +F10 -F10 +F10"), "swallow swallow swallow pass run");
}

TEST_F(HookActions, FieldKeyWinsOverATemplateOnTheSameKey) {
  // F9 given to two fields in the key settings window after the load.
  rig.maths.SetHotKeys({L"F1", L"F2", L"F3", L"F9", L"F5", L"F9", L"F7", L"F8"});
  EXPECT_EQ(Run("+F9 +F9 -F9 +F10 clear +F9 -F9"), "type35 type35r pass run type35 pass");
}

TEST_F(HookActions, NegativeCodesPassUntouchedAndChangeNothing) {
  EXPECT_EQ(Run("!+F9 +F9 !-F9 +F9 !+F1 -F9 !+F9 +F9"), "pass run pass swallow pass pass pass run");
}

TEST_F(HookActions, EmptyKeyNamesNeverMatchKeyCodeZero) {
  rig.maths.SetHotKeys({L"", L"F2", L"", L"F4", L"F5", L"F6", L"F7", L"F8"});
  EXPECT_EQ(Run("+vk0 ^vk0 +F1 +F3"), "let let let let");
}

TEST_F(HookActions, WithoutSettingsFileOnlyFieldKeysAreTaken) {
  rig.files.files.erase(CoreRig::kIniFile);
  rig.maths.ReloadSettings();
  EXPECT_EQ(Run("+F9 +F13 +F1"), "let let type0");
}

TEST_F(HookActions, EveryActionGivesTheHookItsAnswer) {
  std::string answers;
  for (auto kind : {HookActionKind::kPassOn, HookActionKind::kLetThrough, HookActionKind::kSwallow,
                    HookActionKind::kTypeFields, HookActionKind::kRunTemplate}) {
    const HookDecision d = ToHookDecision(HookAction{kind, 0, 0});
    answers += std::to_string(d.callNextHook) + "/" + std::to_string(d.result) + " ";
  }
  // Only a key the program takes is kept from other programs' hooks.
  EXPECT_EQ(answers, "1/0 1/0 0/1 0/1 0/1 ");
}

TEST_F(HookActions, FieldTextsGoToTheSenderAndTheSenderOnlyPathIgnoresTemplates) {
  rig.maths.SetCardField(0, L"张三");
  rig.maths.SetCardField(2, L"");
  rig.maths.PublishHookTable();
  RecordingSender sender;
  SendFieldTexts(*rig.tables.Current(), 0b10000101, sender);
  EXPECT_EQ(sender.sent, (std::vector<std::string>{U8(L"张三"), "", "<null>"}));
  // DecideKeyEvent types fields straight away and still lets F9 through.
  sender.sent.clear();
  EXPECT_TRUE(DecideKeyEvent(*rig.tables.Current(), 0, kWmKeyDown, 120, sender).callNextHook);
  EXPECT_EQ(DecideKeyEvent(*rig.tables.Current(), 0, kWmKeyDown, 112, sender).result, 1);
  EXPECT_EQ(sender.sent, std::vector<std::string>{U8(L"张三")});
}

}  // namespace
}  // namespace keyentry::test
