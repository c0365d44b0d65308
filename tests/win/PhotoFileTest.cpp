// {照片文件} under Wine: the photo written as a JPEG of its size into the
// folder of [照片], its full path typed, the file gone after the next card,
// after 清除秒数 and at exit; a damaged photo types nothing for the photo
// and the rest of the template still types.
#include <gtest/gtest.h>
#include <string>

#include "Harness.h"
#include "TargetWindows.h"
#include "platform/ImageCodec.h"
#include "ui/res/resource.h"

namespace keyentry::wintest {
namespace {

using PhotoFile = TypingProgram;

const std::vector<std::wstring> kSecondCard = {
    L"司马青山",       L"男", L"汉", L"19700101", L"江北省", L"990101197001010011", L"临山市",
    L"2010.01.01-长期"};

bool Exists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The photo's size as the file decodes (through a conversion to a bitmap).
std::pair<UINT, UINT> DecodedSize(const std::string& file) {
  const ComApartment com;
  const auto image = ConvertImage(file, PhotoFormat::kBmp);
  return image ? std::make_pair(image->width, image->height) : std::make_pair(0u, 0u);
}

TEST_F(PhotoFile, PathOfAJpegTypedAndTheFileGoesWithTheNextCardAndAtExit) {
  box.MakeCardWithPhoto("test", kCard, 51, 63, RGB(200, 30, 40));
  box.MakeCardWithPhoto("second", kSecondCard, 40, 40, RGB(0, 0, 255));
  const std::wstring folder = box.Path(L"upload");
  Start(L"[模板]\nF9 = {照片文件}{Tab}{姓名}\n[照片]\n文件夹 = " + folder + L"\n");
  const std::wstring expected = folder + L"\\" + kCard[5] + L".jpg";
  FormWindow form;
  ASSERT_TRUE(form.Focus());
  PressKey(VK_F9);
  ASSERT_TRUE(WaitFor([&] { return form.Texts()[1] == kCard[0]; }, 8000));
  EXPECT_EQ(form.Texts()[0], expected);
  const auto file = box.Read(L"upload\\" + kCard[5] + L".jpg");
  ASSERT_TRUE(file.has_value());
  ASSERT_GE(file->size(), 3u);
  EXPECT_EQ(file->substr(0, 3), std::string("\xFF\xD8\xFF"));  // a JPEG
  EXPECT_EQ(DecodedSize(*file), std::make_pair(51u, 63u));

  box.PlaceCard("second");
  ASSERT_TRUE(WaitFor([&] { return program->Text(IDC_VALUE_NAME) == kSecondCard[0]; }, 5000));
  EXPECT_TRUE(WaitFor([&] { return !Exists(expected); }, 3000));

  form.Clear();
  ASSERT_TRUE(form.Focus());
  PressKey(VK_F9);
  const std::wstring second = folder + L"\\" + kSecondCard[5] + L".jpg";
  ASSERT_TRUE(WaitFor([&] { return form.Texts()[1] == kSecondCard[0]; }, 8000));
  EXPECT_EQ(form.Texts()[0], second);
  EXPECT_TRUE(Exists(second));
  EXPECT_EQ(Beeps(), 0);
  program->Close();
  ASSERT_TRUE(program->WaitForExit());
  EXPECT_FALSE(Exists(second));
}

TEST_F(PhotoFile, GoneAfterTheClearingSecondsAndADamagedPhotoTypesOnlyTheRest) {
  box.MakeCardWithPhoto("test", kCard, 30, 30, RGB(1, 2, 3));
  const std::wstring folder = box.Path(L"photos");
  Start(L"[模板]\nF9 = {照片文件}{Tab}{姓名}\n[隐私]\n清除秒数 = 1\n[照片]\n格式 = png\n文件夹 = " +
        folder + L"\n");
  const std::wstring expected = folder + L"\\" + kCard[5] + L".png";
  FormWindow form;
  ASSERT_TRUE(form.Focus());
  PressKey(VK_F9);
  ASSERT_TRUE(WaitFor([&] { return form.Texts()[1] == kCard[0]; }, 8000));
  EXPECT_EQ(form.Texts()[0], expected);
  box.RemoveCard();
  EXPECT_TRUE(WaitFor([&] { return program->Text(IDC_VALUE_NAME).empty(); }, 8000));
  EXPECT_TRUE(WaitFor([&] { return !Exists(expected); }, 3000));

  // A photo file that is cut short: nothing for the photo, one beep, the
  // rest of the template.
  box.MakeCard("broken", kSecondCard);
  const std::string whole = box.Read(L"reader-sim\\cards\\broken\\zp.bmp").value_or("");
  box.Write(L"reader-sim\\cards\\broken\\zp.bmp", whole.substr(0, 60));
  box.PlaceCard("broken");
  ASSERT_TRUE(WaitFor([&] { return program->Text(IDC_VALUE_NAME) == kSecondCard[0]; }, 5000));
  form.Clear();
  ASSERT_TRUE(form.Focus());
  const int before = Beeps();
  PressKey(VK_F9);
  ASSERT_TRUE(WaitFor([&] { return form.Texts()[1] == kSecondCard[0]; }, 8000));
  EXPECT_EQ(form.Texts()[0], L"");
  EXPECT_EQ(Beeps(), before + 1);
  EXPECT_FALSE(Exists(folder + L"\\" + kSecondCard[5] + L".png"));
}

// A folder that cannot be made (a file has the name of a folder on its
// path): one beep, a warning line naming it, the text still typed.
TEST_F(PhotoFile, AnUnwritableFolderGivesAWarningLineAndTheTextStillTypes) {
  box.MakeCardWithPhoto("test", kCard, 20, 20, RGB(5, 5, 5));
  box.Write(L"blocked", "a file, not a folder");
  const std::wstring folder = box.Path(L"blocked\\photos");
  Start(L"[模板]\nF9 = {照片文件}{Tab}{姓名}\n[照片]\n文件夹 = " + folder + L"\n");
  FormWindow form;
  ASSERT_TRUE(form.Focus());
  PressKey(VK_F9);
  ASSERT_TRUE(WaitFor([&] { return form.Texts()[1] == kCard[0]; }, 8000));
  EXPECT_EQ(form.Texts()[0], L"");
  EXPECT_EQ(Beeps(), 1);
  EXPECT_TRUE(WaitFor(
      [&] { return program->Text(IDC_CARD_WARNING).find(folder) != std::wstring::npos; }, 5000));
  // The card lies on the reader and is read again and again: the line stays.
  PumpMessagesFor(1500);
  EXPECT_NE(program->Text(IDC_CARD_WARNING).find(folder), std::wstring::npos);
}

// Typing on read finds the photo of the card just read.
TEST_F(PhotoFile, TypingOnReadTypesThePathOfTheCardJustRead) {
  box.MakeCardWithPhoto("test", kCard, 20, 24, RGB(9, 9, 9));
  box.RemoveCard();
  const std::wstring folder = box.Path(L"read");
  Start(L"[模板]\n读卡后 = {照片文件}{Tab}{姓名}\n[照片]\n格式 = bmp\n文件夹 = " + folder + L"\n",
        false);
  FormWindow form;
  ASSERT_TRUE(form.Focus());
  box.PlaceCard("test");
  ASSERT_TRUE(WaitFor([&] { return form.Texts()[1] == kCard[0]; }, 8000));
  EXPECT_EQ(form.Texts()[0], folder + L"\\" + kCard[5] + L".bmp");
  EXPECT_EQ(Beeps(), 0);
}

}  // namespace
}  // namespace keyentry::wintest
