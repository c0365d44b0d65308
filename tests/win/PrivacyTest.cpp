// The privacy settings of KeyEntry.ini in the real program: the card cleared
// some seconds after its last read, the card files deleted once read, and
// the ID number shown masked but typed whole.
#include <algorithm>
#include <gtest/gtest.h>

#include "Harness.h"
#include "ui/res/resource.h"

namespace keyentry::wintest {
namespace {

const std::vector<std::wstring> kSecondCard = {
    L"司马青",         L"男", L"回", L"19700101", L"海东省", L"880202197001010013", L"海东市",
    L"2010.01.01-长期"};
const int kValueIds[] = {IDC_VALUE_NAME,      IDC_VALUE_SEX,     IDC_VALUE_NATION,
                         IDC_VALUE_BIRTH,     IDC_VALUE_ADDRESS, IDC_VALUE_ID_NUMBER,
                         IDC_VALUE_AUTHORITY, IDC_VALUE_VALIDITY};
constexpr COLORREF kPhotoColour = RGB(200, 30, 40);

std::string Utf8(const std::wstring& text) { return ToCodePage(text, CP_UTF8); }

class Privacy : public ::testing::Test {
 protected:
  Sandbox box;

  void SetUp() override {
    ASSERT_EQ(::GetACP(), 936u) << "run with LC_ALL=zh_CN.UTF-8 so the ANSI code page is 936";
    box.Write(L"SetKey.txt", kKeyFileF1ToF8);
    box.MakeCardWithPhoto("test", kShortCard, 102, 126, kPhotoColour);
    box.MakeCard("second", kSecondCard);
    box.AttachReader("1001");
  }
  std::unique_ptr<Program> StartWithCard(const std::wstring& settings) {
    box.Write(L"KeyEntry.ini", "\xEF\xBB\xBF" + Utf8(settings));
    box.PlaceCard("test");
    auto program = std::make_unique<Program>(box);
    EXPECT_TRUE(program->WaitForMainWindow());
    EXPECT_TRUE(WaitFor([&] { return program->Text(IDC_VALUE_NAME) == L"欧阳明月"; }, 3000))
        << "card not shown";
    return program;
  }
  // The colour on screen in the middle of the photo box.
  static COLORREF PhotoCentre(const Program& program) {
    const POINT centre = CentreOf(::GetDlgItem(program.MainWindow(), IDC_PHOTO));
    HDC screen = ::GetDC(nullptr);
    const COLORREF colour = ::GetPixel(screen, centre.x, centre.y);
    ::ReleaseDC(nullptr, screen);
    return colour;
  }
  static SIZE PhotoBox(const Program& program) {
    RECT r{};
    ::GetWindowRect(::GetDlgItem(program.MainWindow(), IDC_PHOTO), &r);
    return SIZE{r.right - r.left, r.bottom - r.top};
  }
  static bool PhotoShown(const Program& program) {
    const SIZE box = PhotoBox(program);
    return box.cx == 104 && box.cy == 128 && PhotoCentre(program) == kPhotoColour;
  }
  static bool CardEmpty(const Program& program) {
    for (int id : kValueIds)
      if (!program.Text(id).empty()) return false;
    const SIZE box = PhotoBox(program);
    return box.cx == 150 && box.cy == 158 && PhotoCentre(program) == ::GetSysColor(COLOR_BTNFACE);
  }
};

TEST_F(Privacy, CardOnTheReaderStaysAndOnceTakenOffIsClearedWithinThreeSeconds) {
  auto program = StartWithCard(L"[隐私]\r\n清除秒数 = 2\r\n");
  ASSERT_TRUE(WaitFor([&] { return PhotoShown(*program); }, 3000));
  // Left on the reader, the card is read again and again: nothing clears.
  const DWORD placed = ::GetTickCount();
  while (::GetTickCount() - placed < 4000) {
    PumpMessagesFor(200);
    ASSERT_EQ(program->Text(IDC_VALUE_NAME), L"欧阳明月");
    ASSERT_EQ(program->Text(IDC_VALUE_ID_NUMBER), L"990101198803150027");
  }
  EXPECT_TRUE(PhotoShown(*program));

  box.RemoveCard();
  const DWORD removed = ::GetTickCount();
  ASSERT_TRUE(WaitFor([&] { return CardEmpty(*program); }, 3500));
  EXPECT_LE(::GetTickCount() - removed, 3000u);
  EXPECT_GE(::GetTickCount() - removed, 1500u) << "cleared before its two seconds";
  // Its key is still swallowed and types nothing; an unassigned key passes.
  TargetEdit target;
  target.Focus();
  target.ClearKeyDowns();
  PressKey(VK_F1);
  PressKey(VK_F9);
  EXPECT_TRUE(WaitFor([&] { return !target.KeyDowns().empty(); }, 3000));
  EXPECT_EQ(target.KeyDowns(), std::vector<WPARAM>{VK_F9});
  PumpMessagesFor(200);
  EXPECT_EQ(target.Text(), L"");

  // The next card shows and types as usual.
  box.PlaceCard("second");
  EXPECT_TRUE(WaitFor([&] { return program->Text(IDC_VALUE_NAME) == L"司马青"; }, 3000));
  EXPECT_EQ(program->Text(IDC_VALUE_VALIDITY), L"2010.01.01-长期");
  target.Focus();
  PressKey(VK_F1);
  EXPECT_TRUE(target.WaitForText(L"司马青"));
  EXPECT_TRUE(program->Messages().empty());
}

TEST_F(Privacy, FilesGoOnceReadThePhotoStaysAndTheMaskedNumberIsTypedWhole) {
  auto program = StartWithCard(L"[Privacy]\r\nDeleteCardFiles = yes\r\nMaskIdNumber = yes\r\n");
  EXPECT_EQ(program->Text(IDC_VALUE_ID_NUMBER), L"990101********0027");
  EXPECT_EQ(program->Text(IDC_VALUE_BIRTH), L"19880315");
  // Off the reader, no new files come; those of the last read are gone.
  box.RemoveCard();
  PumpMessagesFor(700);
  EXPECT_FALSE(box.Read(L"wz.txt").has_value());
  EXPECT_FALSE(box.Read(L"zp.bmp").has_value());
  EXPECT_TRUE(PhotoShown(*program)) << "the photo is kept in memory";
  EXPECT_EQ(program->Text(IDC_VALUE_NAME), L"欧阳明月");

  TargetEdit target;
  target.Focus();
  PressKey(VK_F6);
  EXPECT_TRUE(target.WaitForText(L"990101198803150027"));
  target.Clear();
  PressKey(VK_F1);
  EXPECT_TRUE(target.WaitForText(L"欧阳明月"));

  // At exit both go once more; a read-only one cannot be deleted and stays,
  // without a message.
  box.Write(L"wz.txt", "left over");
  ::SetFileAttributesW(box.Path(L"wz.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  box.Write(L"zp.bmp", "BM");
  program->Close();
  ASSERT_TRUE(program->WaitForExit());
  EXPECT_EQ(box.Read(L"wz.txt"), "left over");
  EXPECT_FALSE(box.Read(L"zp.bmp").has_value());
  EXPECT_TRUE(program->Messages().empty());
}

TEST_F(Privacy, WithoutTheSettingsTheCardAndItsFilesStayAndNoCardDataIsWrittenElsewhere) {
  auto program = StartWithCard(L"");
  box.RemoveCard();
  PumpMessagesFor(3500);
  EXPECT_EQ(program->Text(IDC_VALUE_ID_NUMBER), L"990101198803150027");
  EXPECT_TRUE(PhotoShown(*program));
  EXPECT_TRUE(box.Read(L"wz.txt").has_value());
  EXPECT_TRUE(box.Read(L"zp.bmp").has_value());
  program->Close();
  ASSERT_TRUE(program->WaitForExit());
  // The program's own files hold none of the card's text; the simulated
  // reader's log names its calls only.
  EXPECT_TRUE(box.Read(L"wz.txt").has_value()) << "kept at exit without the setting";
  for (const std::wstring& name : box.FileNames()) {
    if (name == L"wz.txt" || name == L"zp.bmp" || name == L"KeyEntry.exe" ||
        name == L"KeyEntryReader.exe" || name == L"SendStr.dll" || name == L"ostra.dll")
      continue;
    const std::string bytes = box.Read(name).value_or("");
    for (const std::wstring& field : {kShortCard[0], kShortCard[5], kShortCard[4]}) {
      EXPECT_EQ(bytes.find(ToCodePage(field)), std::string::npos) << Utf8(name);
      EXPECT_EQ(bytes.find(Utf8(field)), std::string::npos) << Utf8(name);
    }
  }
  const std::string calls = box.ReaderCalls();
  EXPECT_NE(calls.find("Read_Content"), std::string::npos);
  EXPECT_EQ(calls.find(ToCodePage(kShortCard[0])), std::string::npos);
  EXPECT_EQ(calls.find("990101"), std::string::npos);
  EXPECT_EQ(calls.find("19880315"), std::string::npos);
}

}  // namespace
}  // namespace keyentry::wintest
