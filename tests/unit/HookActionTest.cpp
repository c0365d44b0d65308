// The keyboard hook's decision with templates: sequences of key events as
// Windows delivers them, and the action taken for each. Events are written
// "+F9" (WM_KEYDOWN), "-F9" (WM_KEYUP), "^F9" (WM_SYSKEYDOWN, Alt held),
// "_F9" (WM_SYSKEYUP), each with a code of 0, or after "!" with code -1;
// keys by name (F1..F24) or number ("vk65", "0x50078"). "busy" and "idle"
// set the typing thread's state for the events after them. Actions:
// "pass" (next hook), "let" (let through), "swallow", "run" (this key's
// template), "type" followed by the numbers of the fields typed.
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
        U8(L"[模板]\nF9 = {姓名}{Tab}{性别}\nF10 = x\nF13 = {身份证号}\nF24 = y\n");
    rig.maths.InitDevice();
    ASSERT_TRUE(rig.messages.shown.empty());
  }

  std::string Run(const std::string& events) {
    std::istringstream in(events);
    std::string token, out;
    bool busy = false;
    while (in >> token) {
      if (token == "busy" || token == "idle") {
        busy = token == "busy";
        continue;
      }
      std::int32_t code = 0;
      if (token[0] == '!') {
        code = -1;
        token.erase(0, 1);
      }
      const char kind = token[0];
      const std::uint32_t message = kind == '+'   ? kWmKeyDown
                                    : kind == '-' ? kWmKeyUp
                                    : kind == '^' ? kWmSysKeyDown
                                                  : kWmSysKeyUp;
      const std::string key = token.substr(1);
      std::uint32_t vk = 0;
      if (key[0] == 'F') vk = 111 + std::stoul(key.substr(1));
      if (key.rfind("vk", 0) == 0) vk = std::stoul(key.substr(2));
      if (key.rfind("0x", 0) == 0) vk = std::stoul(key, nullptr, 16);
      const HookAction a = DecideKeyAction(*rig.tables.Current(), state, busy, code, message, vk);
      if (!out.empty()) out += ' ';
      out += Word(a, vk);
    }
    return out;
  }

 private:
  static std::string Word(const HookAction& a, std::uint32_t vk) {
    switch (a.kind) {
      case HookActionKind::kPassOn:
        return "pass";
      case HookActionKind::kLetThrough:
        return "let";
      case HookActionKind::kSwallow:
        return "swallow";
      case HookActionKind::kRunTemplate:
        return a.templateKey == static_cast<std::int16_t>(vk & 0xFFFF) ? "run" : "run-other-key";
      case HookActionKind::kTypeFields: {
        std::string w = "type";
        for (int k = 0; k < 32; ++k)
          if (a.fields & (FieldMask{1} << k)) w += std::to_string(k);
        return w;
      }
    }
    return "?";
  }
};

TEST_F(HookActions, TemplateKeyRunsOncePerPressAndItsAutoRepeatIsSwallowed) {
  EXPECT_EQ(Run("+F9 +F9 +F9 -F9 +F9 -F9"), "run swallow swallow pass run pass");
  // Held together: each key has its own held state.
  EXPECT_EQ(Run("+F9 +F10 +F9 -F9 +F10 +F9"), "run run swallow pass swallow run");
}

TEST_F(HookActions, AltHeldIsMatchedLikeAPlainPressAndEitherKeyUpEndsIt) {
  EXPECT_EQ(Run("^F9 ^F9 _F9 ^F9 -F9 +F9 _F9 ^F9"), "run swallow pass run pass run pass run");
}

TEST_F(HookActions, F13ToF24AreTemplateKeysAndOtherKeysAreLetThrough) {
  EXPECT_EQ(Run("+F13 +F13 -F13 +F24 +F12 +F25 +vk65 +vk0"),
            "run swallow pass run let let let let");
}

TEST_F(HookActions, FieldKeysTypeAtEveryRepeatAsBefore) {
  EXPECT_EQ(Run("+F1 +F1 +F1 -F1 ^F8 _F8"), "type0 type0 type0 pass type7 pass");
}

TEST_F(HookActions, WhileTypingAssignedKeysAreSwallowedAndOthersPass) {
  EXPECT_EQ(Run("busy +F1 +F9 +vk65 -F9 -vk65 +F12 idle +F9 +F1"),
            "swallow swallow let pass pass let run type0");
  // A template key pressed while busy counts as pressed: its auto-repeat
  // after the typing has ended does not run it; a new press does.
  EXPECT_EQ(Run("busy +F10 idle +F10 +F10 -F10 +F10"), "swallow swallow swallow pass run");
}

TEST_F(HookActions, FieldKeyWinsOverATemplateOnTheSameKey) {
  // F9 given to the fourth and sixth fields in the key settings window after
  // KeyEntry.ini was loaded: the fields win, repeats and all.
  rig.maths.SetHotKeys({L"F1", L"F2", L"F3", L"F9", L"F5", L"F9", L"F7", L"F8"});
  EXPECT_EQ(Run("+F9 +F9 -F9 +F10"), "type35 type35 pass run");
  EXPECT_EQ(Run("busy +F9 -F9"), "swallow pass");
}

TEST_F(HookActions, NegativeCodesPassUntouchedAndChangeNothing) {
  EXPECT_EQ(Run("!+F9 +F9 !-F9 +F9 !+F1 -F9 !+F9 +F9"), "pass run pass swallow pass pass pass run");
}

TEST_F(HookActions, OnlyTheLow16BitsOfTheKeyCodeCount) {
  EXPECT_EQ(Run("+0x50078 +F9 -0x70078 +F9"), "run swallow pass run");
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
  const auto answer = [](HookActionKind kind) {
    const HookDecision d = ToHookDecision(HookAction{kind, 0, 0});
    return std::to_string(d.callNextHook) + "/" + std::to_string(d.result);
  };
  EXPECT_EQ(answer(HookActionKind::kPassOn), "1/0");
  EXPECT_EQ(answer(HookActionKind::kLetThrough), "0/0");
  EXPECT_EQ(answer(HookActionKind::kSwallow), "0/1");
  EXPECT_EQ(answer(HookActionKind::kTypeFields), "0/1");
  EXPECT_EQ(answer(HookActionKind::kRunTemplate), "0/1");
}

TEST_F(HookActions, FieldTextsGoToTheSenderInFieldOrder) {
  rig.maths.SetCardField(0, L"张三");
  rig.maths.SetCardField(2, L"");
  rig.maths.PublishHookTable();
  RecordingSender sender;
  SendFieldTexts(*rig.tables.Current(), 0b10000101, sender);
  EXPECT_EQ(sender.sent, (std::vector<std::string>{U8(L"张三"), "", "<null>"}));
}

TEST_F(HookActions, TheSenderOnlyPathLeavesTemplateKeysAlone) {
  // DecideKeyEvent, which types fields straight away, still lets F9 through.
  RecordingSender sender;
  rig.maths.SetCardField(0, L"a");
  rig.maths.PublishHookTable();
  const HookDecision f9 = DecideKeyEvent(*rig.tables.Current(), 0, kWmKeyDown, 120, sender);
  const HookDecision f1 = DecideKeyEvent(*rig.tables.Current(), 0, kWmKeyDown, 112, sender);
  EXPECT_EQ(std::to_string(f9.callNextHook) + "/" + std::to_string(f9.result), "0/0");
  EXPECT_EQ(std::to_string(f1.callNextHook) + "/" + std::to_string(f1.result), "0/1");
  EXPECT_EQ(sender.sent, std::vector<std::string>{"a"});
}

}  // namespace
}  // namespace keyentry::test
