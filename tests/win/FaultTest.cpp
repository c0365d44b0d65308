// Faults and bad input tried on the real program: a broken reader library,
// damaged or odd key settings files, and bad card files after a read that
// the library reported as good. In every case: no crash, no hang, no pile of
// message boxes, and the operator's keys never lost.
#include <cstring>
#include <gtest/gtest.h>

#include "Harness.h"
#include "ui/res/resource.h"

namespace keyentry::wintest {
namespace {

const std::wstring kReadFailed = L"配置文件SetKey.txt读取失败！";
const std::wstring kSaveFailed = L"配置文件SetKey.txt保存失败！";
const std::wstring kPortFailed = L"端口打开失败！";

bool Responsive(HWND window) {
  DWORD_PTR result = 0;
  return ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 3000, &result) != 0;
}

bool OnlyProgramFiles(const Sandbox& box) {
  for (const auto& name : box.FileNames()) {
    if (name != L"KeyEntry.exe" && name != L"KeyEntryReader.exe" && name != L"SendStr.dll" &&
        name != L"ostra.dll" && name != L"SetKey.txt" && name != L"wz.txt" && name != L"zp.bmp") {
      ADD_FAILURE() << "left behind: " << std::string(name.begin(), name.end());
      return false;
    }
  }
  return true;
}

// The reader library.

TEST(ReaderLibraryFaults, LibraryLackingOneFunction) {
  struct Case {
    const wchar_t* variant;
    std::vector<std::wstring> startMessages;
    const wchar_t* status;
  };
  const Case cases[] = {
      {L"without-InitComm", {kPortFailed}, L"机具连接失败！"},
      {L"without-Authenticate", {}, L"端口打开成功！端口：USB1001"},
      {L"without-Read_Content", {}, L"端口打开成功！端口：USB1001"},
      {L"without-CloseComm", {}, L"端口打开成功！端口：USB1001"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.variant, c.variant + wcslen(c.variant)));
    Sandbox box;
    const std::wstring variant =
        ProgramFolder() + L"\\ostra-variants\\" + c.variant + L"\\ostra.dll";
    ASSERT_TRUE(::CopyFileW(variant.c_str(), box.Path(L"ostra.dll").c_str(), FALSE));
    box.Write(L"SetKey.txt", kKeyFileF1ToF8 + "\r\n");
    box.AttachReader("1001");
    box.PlaceCard("demo");
    Program program(box);
    ASSERT_TRUE(program.WaitForMainWindow());
    EXPECT_EQ(program.Messages(), c.startMessages);
    EXPECT_EQ(program.Text(IDC_STATUS), c.status);
    PumpMessagesFor(1000);  // a few poll ticks
    EXPECT_TRUE(program.Running());
    EXPECT_TRUE(Responsive(program.MainWindow()));
    const bool canRead = std::wstring(c.variant) == L"without-CloseComm";
    EXPECT_EQ(program.Text(IDC_VALUE_NAME), canRead ? L"林示范" : L"");
    program.Close();
    ASSERT_TRUE(program.WaitForExit());
    EXPECT_EQ(program.Messages(), c.startMessages) << "no further messages";
    EXPECT_EQ(box.Read(L"SetKey.txt"), kKeyFileF1ToF8);
  }
}

TEST(ReaderLibraryFaults, AnswersCountByTheirLow16Bits) {
  Sandbox box;
  box.Write(L"SetKey.txt", kKeyFileF1ToF8);
  box.AttachReader("1002");
  box.PlaceCard("demo");
  box.Write(L"reader-sim\\answers.txt", "success=65537\r\nfailure=-1\r\n");
  Program program(box);
  ASSERT_TRUE(program.WaitForMainWindow());
  EXPECT_EQ(program.Text(IDC_STATUS), L"端口打开成功！端口：USB1002");
  EXPECT_TRUE(WaitFor([&] { return program.Text(IDC_VALUE_NAME) == L"林示范"; }, 3000));

  auto switchOffAndOn = [&] {
    program.Click(IDC_READ);
    WaitFor([&] { return program.Text(IDC_READ) == L"开始读卡"; }, 3000);
    program.Click(IDC_READ);
    // Until the search of all ports has answered, however long it takes.
    WaitFor(
        [&] {
          const std::wstring status = program.Text(IDC_STATUS);
          // 正在查找读卡器…, then 正在查找读卡器：USB1001… port by port.
          return status != L"停止读卡！" && status.rfind(L"正在查找读卡器", 0) != 0;
        },
        10000);
  };
  // 0xFFFF0001: the low 16 bits are 1, so this is success too.
  box.Write(L"reader-sim\\answers.txt", "success=-65535\r\nfailure=-1\r\n");
  switchOffAndOn();
  EXPECT_EQ(program.Text(IDC_STATUS), L"端口打开成功！端口：USB1002");
  // 2 and 65536 + 2 are failures, whatever else.
  box.Write(L"reader-sim\\answers.txt", "success=65538\r\nfailure=-1\r\n");
  switchOffAndOn();
  EXPECT_EQ(program.Text(IDC_STATUS), L"机具连接失败！");
  EXPECT_TRUE(program.Messages().empty());
}

// The key settings file.

struct KeyFileCase {
  const char* name;
  std::string content;
  bool reported;  // the reading message is shown
  std::string savedAtExit;
};

std::string Big(std::size_t n) { return std::string(n, 'F'); }

class KeyFileFaults : public ::testing::TestWithParam<KeyFileCase> {};

TEST_P(KeyFileFaults, OddContentIsReadAsFarAsItGoesAndWrittenBackWhole) {
  const KeyFileCase& c = GetParam();
  Sandbox box;
  box.Write(L"SetKey.txt", c.content);
  Program program(box);
  ASSERT_TRUE(program.WaitForMainWindow(60000));
  EXPECT_EQ(program.Messages(),
            c.reported ? std::vector<std::wstring>{kReadFailed} : std::vector<std::wstring>{});
  EXPECT_TRUE(Responsive(program.MainWindow()));
  program.Close();
  ASSERT_TRUE(program.WaitForExit(60000));
  const auto saved = box.Read(L"SetKey.txt");
  ASSERT_TRUE(saved.has_value());
  EXPECT_EQ(saved->size(), c.savedAtExit.size());
  EXPECT_TRUE(*saved == c.savedAtExit) << "saved content differs";
  EXPECT_TRUE(OnlyProgramFiles(box));
}

const std::string kEmptyKeys = "\r\n\r\n\r\n\r\n\r\n\r\n\r\n";
constexpr char kWithNulBytes[] = "F1\0X\r\nF2\r\n\0\r\nF4\r\nF5\r\nF6\r\nF7\r\nF8";
const std::string kWithNul(kWithNulBytes, sizeof kWithNulBytes - 1);

INSTANTIATE_TEST_SUITE_P(
    Content, KeyFileFaults,
    ::testing::Values(KeyFileCase{"Empty", "", true, kEmptyKeys},
                      KeyFileCase{"LineFeedsOnly", "F1\nF2\nF3\nF4\nF5\nF6\nF7\nF8\n", true,
                                  "F1\nF2\nF3\nF4\nF5\nF6\nF7\nF8\n" + kEmptyKeys},
                      KeyFileCase{"SevenLines", "F1\r\nF2\r\nF3\r\nF4\r\nF5\r\nF6\r\nF7\r\n", true,
                                  "F1\r\nF2\r\nF3\r\nF4\r\nF5\r\nF6\r\nF7\r\n"},
                      KeyFileCase{"NineLines", kKeyFileF1ToF8 + "\r\nF9\r\n", false,
                                  kKeyFileF1ToF8},
                      KeyFileCase{"TenMegabytes", Big(10 * 1024 * 1024), true,
                                  Big(10 * 1024 * 1024) + kEmptyKeys},
                      KeyFileCase{"NulBytes", kWithNul, false, kWithNul}),
    [](const ::testing::TestParamInfo<KeyFileCase>& info) { return std::string(info.param.name); });

TEST(KeyFileBytes, InvalidCodePageBytesStayConfinedToTheirLine) {
  Sandbox box;
  box.Write(L"SetKey.txt", "\x81\r\nF2\r\n\xFF\xFE\r\nF4\r\nF5\r\nF6\r\nF7\r\nF8\r\n");
  Program program(box);
  ASSERT_TRUE(program.WaitForMainWindow());
  EXPECT_TRUE(program.Messages().empty());
  program.Close();
  ASSERT_TRUE(program.WaitForExit());
  const std::string saved = box.Read(L"SetKey.txt").value_or("");
  // Eight lines again; the valid names untouched.
  std::vector<std::string> lines;
  for (std::size_t start = 0;;) {
    const auto end = saved.find("\r\n", start);
    lines.push_back(
        saved.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 2;
  }
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[1], "F2");
  for (int k = 3; k < 8; ++k) EXPECT_EQ(lines[k], "F" + std::to_string(k + 1));
}

// SetKey.txt held open by another program (without delete sharing, as a
// virus scanner or an editor does) from the moment the window closes.
class KeyFileLocks : public ::testing::Test {
 protected:
  Sandbox box;
  Program program{Start(box)};
  HANDLE held = INVALID_HANDLE_VALUE;

  static const Sandbox& Start(const Sandbox& box) {
    box.Write(L"SetKey.txt", kKeyFileF1ToF8 + "\r\n");
    return box;
  }
  // The program has loaded its keys; the file on disk now differs from them.
  void HoldAndClose(const std::string& onDisk, DWORD sharing) {
    ASSERT_TRUE(program.WaitForMainWindow());
    box.Write(L"SetKey.txt", onDisk);
    held = ::CreateFileW(box.Path(L"SetKey.txt").c_str(), GENERIC_READ, sharing, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    program.Close();
  }
  void Release() {
    if (held != INVALID_HANDLE_VALUE) ::CloseHandle(held);
    held = INVALID_HANDLE_VALUE;
  }
  void TearDown() override { Release(); }
};

TEST_F(KeyFileLocks, HeldForHalfASecondTheKeysAreStillSaved) {
  HoldAndClose("old", FILE_SHARE_READ | FILE_SHARE_WRITE);
  PumpMessagesFor(500);
  Release();
  ASSERT_TRUE(program.WaitForExit());
  EXPECT_TRUE(program.Messages().empty());
  EXPECT_EQ(box.Read(L"SetKey.txt"), kKeyFileF1ToF8);
  EXPECT_TRUE(OnlyProgramFiles(box));
}

TEST_F(KeyFileLocks, HeldForTenSecondsSavingFailsAndTheFileIsKept) {
  HoldAndClose(kKeyFileF1ToF8 + "\r\n", 0);
  const DWORD closed = ::GetTickCount();
  // The program gives up while the file is still held, after about 2 s.
  EXPECT_TRUE(WaitFor(
      [] {
        HWND message = ::FindWindowW(L"#32770", L"按键录入软件");
        return message != nullptr && ::IsWindowVisible(message);
      },
      8000));
  const DWORD shown = ::GetTickCount() - closed;
  EXPECT_GE(shown, 1500u);
  if (shown < 10000) PumpMessagesFor(10000 - shown);
  Release();
  ASSERT_TRUE(program.WaitForExit());
  EXPECT_EQ(program.Messages(), std::vector<std::wstring>{kSaveFailed});
  EXPECT_EQ(box.Read(L"SetKey.txt"), kKeyFileF1ToF8 + "\r\n");
  EXPECT_TRUE(OnlyProgramFiles(box));
}

// Bad card files after a read the library reported as good.

class CardFileFaults : public ::testing::Test {
 protected:
  Sandbox box;
  std::unique_ptr<Program> program;
  RECT photoBefore{};

  void SetUp() override {
    box.Write(L"SetKey.txt", kKeyFileF1ToF8);
    box.AttachReader("1001");
    box.PlaceCard("demo");
    program = std::make_unique<Program>(box);
    ASSERT_TRUE(program->WaitForMainWindow());
    ASSERT_TRUE(WaitFor([&] { return program->Text(IDC_VALUE_NAME) == L"林示范"; }, 3000));
    PumpMessagesFor(400);
    ::GetWindowRect(::GetDlgItem(program->MainWindow(), IDC_PHOTO), &photoBefore);
  }
  void TearDown() override {
    if (!program) return;
    program->Close();
    EXPECT_TRUE(program->WaitForExit());
    EXPECT_EQ(box.Read(L"SetKey.txt"), kKeyFileF1ToF8);
  }
  std::wstring CardDir(const std::string& card) const {
    return L"reader-sim\\cards\\" + std::wstring(card.begin(), card.end());
  }
  // A card of the demo's files with one of them replaced (or left out).
  void MakeBadCard(const std::string& card, const char* file,
                   const std::optional<std::string>& bytes) {
    box.MakeCard(card, {L"甲某", L"女", L"回", L"20000101", L"某地", L"123", L"某局", L"长期"});
    const std::wstring path = CardDir(card) + L"\\" + std::wstring(file, file + strlen(file));
    if (bytes) {
      box.Write(path, *bytes);
    } else {
      box.Remove(path);
    }
  }
  // Puts the card on the reader for a while, then the demo card again,
  // which must be read as before.
  void Try(const std::string& card) {
    box.PlaceCard(card);
    PumpMessagesFor(1200);
    EXPECT_TRUE(program->Running());
    EXPECT_TRUE(Responsive(program->MainWindow()));
    EXPECT_EQ(program->AnswerMessageBoxes(), 0);
    box.PlaceCard("demo");
    EXPECT_TRUE(WaitFor([&] { return program->Text(IDC_VALUE_NAME) == L"林示范"; }, 5000))
        << "the next good card was not read";
    EXPECT_TRUE(program->Messages().empty());
  }
  RECT Photo() const {
    RECT r{};
    ::GetWindowRect(::GetDlgItem(program->MainWindow(), IDC_PHOTO), &r);
    return r;
  }
};

TEST_F(CardFileFaults, MissingTextFileAfterAGoodRead) {
  box.Remove(L"wz.txt");
  MakeBadCard("nowz", "wz.txt", std::nullopt);
  box.Write(L"reader-sim\\answers.txt", "force_read=1\r\n");
  Try("nowz");
}

TEST_F(CardFileFaults, ShortTextFileIsAFailedReadAndTheCardBeforeStays) {
  MakeBadCard("short", "wz.txt", ToCodePage(L"乙某\r\n男\r\n"));
  const std::wstring before = program->Text(IDC_VALUE_NAME);
  box.PlaceCard("short");
  PumpMessagesFor(1200);
  EXPECT_EQ(program->Text(IDC_VALUE_NAME), before);
  Try("short");
}

TEST_F(CardFileFaults, TenMegabyteTextFile) {
  std::string text = ToCodePage(L"丙某\r\n男\r\n汉\r\n1\r\n2\r\n3\r\n4\r\n5\r\n");
  text += std::string(10 * 1024 * 1024, 'x');
  MakeBadCard("huge", "wz.txt", text);
  box.PlaceCard("huge");
  EXPECT_TRUE(WaitFor([&] { return program->Text(IDC_VALUE_NAME) == L"丙某"; }, 5000));
  Try("huge");
}

TEST_F(CardFileFaults, OneLineOfSixtyKilobytes) {
  std::wstring address(30 * 1024, L'址');  // 60 KB in code page 936, within the 64 KiB read
  MakeBadCard("longline", "wz.txt",
              ToCodePage(L"丁某\r\n男\r\n汉\r\n1\r\n" + address + L"\r\n3\r\n4\r\n5\r\n"));
  box.PlaceCard("longline");
  EXPECT_TRUE(WaitFor([&] { return program->Text(IDC_VALUE_NAME) == L"丁某"; }, 5000));
  const int length = ::GetWindowTextLengthW(::GetDlgItem(program->MainWindow(), IDC_VALUE_ADDRESS));
  EXPECT_EQ(length, 128);  // a field is kept cut to 128 characters
  Try("longline");
}

TEST_F(CardFileFaults, NulAndInvalidCodePageBytes) {
  constexpr char kBytes[] =
      "\xCE\xEC\0\xC4\xB3\r\n\x81\r\n\xFF\xFE\xFD\r\n1\r\n2\r\n3\r\n4\r\n5\r\n";
  MakeBadCard("nul", "wz.txt", std::string(kBytes, sizeof kBytes - 1));
  Try("nul");
}

TEST_F(CardFileFaults, MissingPhotoAfterAGoodRead) {
  box.Remove(L"zp.bmp");
  MakeBadCard("nozp", "zp.bmp", std::nullopt);
  box.Write(L"reader-sim\\answers.txt", "force_read=1\r\n");
  Try("nozp");
}

TEST_F(CardFileFaults, BrokenPhotosKeepTheLastPhoto) {
  const std::string good = box.Read(L"reader-sim\\cards\\demo\\zp.bmp").value_or("");
  ASSERT_GT(good.size(), 1000u);
  MakeBadCard("truncated", "zp.bmp", good.substr(0, good.size() / 3));
  MakeBadCard("notbmp", "zp.bmp", "this is no picture at all\r\n");
  // A valid header claiming 30000 x 30000 pixels, 24 bits, and nothing after it.
  std::string huge = good.substr(0, 54);
  const std::uint32_t side = 30000;
  std::memcpy(&huge[18], &side, 4);
  std::memcpy(&huge[22], &side, 4);
  MakeBadCard("hugebmp", "zp.bmp", huge);
  for (const char* card : {"truncated", "notbmp", "hugebmp"}) {
    SCOPED_TRACE(card);
    Try(card);
    const RECT r = Photo();
    EXPECT_EQ(r.right - r.left, photoBefore.right - photoBefore.left);
    EXPECT_EQ(r.bottom - r.top, photoBefore.bottom - photoBefore.top);
  }
}

}  // namespace
}  // namespace keyentry::wintest
