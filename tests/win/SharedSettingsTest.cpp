// A settings file shared by the site's PCs, named in KeyEntry.ini: its
// templates type, a local entry of the same key wins, the last good copy
// KeyEntry.shared.ini serves while the share is gone (without a message),
// and an edit arrives within the check period. The share is a folder of the
// sandbox, named by a drive-letter path.
#include <gtest/gtest.h>

#include "Harness.h"
#include "TargetWindows.h"
#include "ui/res/resource.h"

namespace keyentry::wintest {
namespace {

constexpr DWORD kPeriodMs = 1000;

class SharedSettings : public TypingProgram {
 protected:
  std::wstring share;  // the shared file's full path

  void SetUp() override {
    TypingProgram::SetUp();
    ASSERT_TRUE(::CreateDirectoryW(box.Path(L"share").c_str(), nullptr));
    share = box.Path(L"share\\KeyEntry.ini");
  }
  void Share(const std::wstring& text) const {
    ASSERT_TRUE(WriteFileBytes(share, ToCodePage(text, CP_UTF8)));
  }
  // Starts the program with a KeyEntry.ini that names the shared file, and
  // has it look at the share every kPeriodMs.
  void StartNamingTheShare(const std::wstring& local) {
    Start(L"[站点]\n共享设置 = " + share + L"\n" + local);
    DWORD_PTR answer = 0;
    ASSERT_TRUE(::SendMessageTimeoutW(program->MainWindow(),
                                      ::RegisterWindowMessageW(L"KeyEntry.Test.SharedCheckPeriod"),
                                      kPeriodMs, 0, SMTO_NORMAL, 5000, &answer));
    ASSERT_EQ(answer, 1u);
  }
  // KeyEntry.shared.ini: a first line naming the shared file, then its text.
  bool CopyHolds(const std::wstring& text, DWORD timeoutMs) const {
    const std::string bytes = ToCodePage(L"; KeyEntry copy of: " + share + L"\r\n" + text, CP_UTF8);
    return WaitFor([&] { return box.Read(L"KeyEntry.shared.ini") == bytes; }, timeoutMs);
  }
  // Presses the key into an empty edit and returns what arrived.
  std::wstring TypedBy(WORD key) {
    TargetEdit edit;
    edit.Focus();
    PressKey(key);
    WaitFor([&] { return !edit.Text().empty(); }, 3000);
    PumpMessagesFor(200);
    return edit.Text();
  }
};

TEST_F(SharedSettings, ATemplateFromTheShareTypesAndALocalEntryOfTheSameKeyWins) {
  const std::wstring shared = L"[模板]\nF9 = 共享{姓名}\nF10 = 共享{性别}\n";
  Share(shared);
  StartNamingTheShare(L"[模板]\nF10 = 本机{民族}\n");
  ASSERT_TRUE(CopyHolds(shared, 5000));
  PumpMessagesFor(200);
  TargetEdit edit;
  edit.Focus();
  PressKey(VK_F9);
  PressKey(VK_F10);
  EXPECT_TRUE(edit.WaitForText(L"共享欧阳明月本机汉"));
  EXPECT_TRUE(program->Messages().empty());
}

TEST_F(SharedSettings, TheCopyTypesSilentlyWhileTheShareIsGoneAndAnEditArrivesWithinThePeriod) {
  const std::wstring first = L"[模板]\nF9 = 一{姓名}\n";
  Share(first);
  StartNamingTheShare(L"");
  ASSERT_TRUE(CopyHolds(first, 5000));
  // Renamed away while the program runs: looked at twice meanwhile.
  ASSERT_TRUE(::MoveFileW(share.c_str(), box.Path(L"share\\away.ini").c_str()));
  PumpMessagesFor(2 * kPeriodMs + 500);
  EXPECT_EQ(TypedBy(VK_F9), L"一欧阳明月");
  // Started again without the share: the copy serves at once.
  program->Close();
  ASSERT_TRUE(program->WaitForExit());
  StartNamingTheShare(L"");
  EXPECT_EQ(TypedBy(VK_F9), L"一欧阳明月");
  EXPECT_EQ(program->AnswerMessageBoxes(), 0);
  EXPECT_TRUE(program->Messages().empty());

  // Back with an edit and a wrong line: typed within the period, the line
  // reported once with the full path, neither again at the next looks nor
  // at the read button's reloads of KeyEntry.ini.
  Share(L"[模板]\nF9 = 二{姓名}\nF0 = x\n");
  ASSERT_TRUE(WaitFor([&] { return program->AnswerMessageBoxes() > 0; }, kPeriodMs + 2000));
  EXPECT_EQ(TypedBy(VK_F9), L"二欧阳明月");
  ASSERT_EQ(program->Messages().size(), 1u);
  EXPECT_EQ(program->Messages()[0].find(share + L" 中有 1 处问题"), 0u);
  EXPECT_NE(program->Messages()[0].find(L"第 3 行：F0 = x"), std::wstring::npos);
  program->Click(IDC_READ);
  program->Click(IDC_READ);
  PumpMessagesFor(2 * kPeriodMs + 500);
  program->AnswerMessageBoxes();
  EXPECT_EQ(program->Messages().size(), 1u);
  EXPECT_EQ(box.Read(L"share\\KeyEntry.ini"),
            ToCodePage(L"[模板]\nF9 = 二{姓名}\nF0 = x\n", CP_UTF8))
      << "the share is only read";
}

}  // namespace
}  // namespace keyentry::wintest
