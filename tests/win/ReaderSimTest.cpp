// The simulated reader library ostra.dll, loaded into this process and
// scripted through reader-sim\ in the test folder (the folder of this exe).
// Each test removes reader-sim\ and the card files the library wrote there.
#include <gtest/gtest.h>
#include <optional>
#include <string>

#include "Harness.h"

namespace keyentry::wintest {
namespace {

typedef int(__stdcall* IntCall)(int);
typedef int(__stdcall* VoidCall)(void);

std::optional<std::string> ReadAll(const std::wstring& path) {
  return Win32FileStore().ReadAll(path);
}

void WriteAll(const std::wstring& path, const std::string& bytes) {
  ASSERT_TRUE(WriteFileBytes(path, bytes));
}

bool Exists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

class ReaderSim : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    module_ = ::LoadLibraryW((ProgramFolder() + L"\\ostra.dll").c_str());
    if (!module_) return;
    init_ = reinterpret_cast<IntCall>(
        reinterpret_cast<void*>(::GetProcAddress(module_, "KLV_InitComm")));
    auth_ = reinterpret_cast<VoidCall>(
        reinterpret_cast<void*>(::GetProcAddress(module_, "KLV_Authenticate")));
    read_ = reinterpret_cast<IntCall>(
        reinterpret_cast<void*>(::GetProcAddress(module_, "KLV_Read_Content")));
    close_ = reinterpret_cast<VoidCall>(
        reinterpret_cast<void*>(::GetProcAddress(module_, "KLV_CloseComm")));
  }
  static void TearDownTestSuite() {
    if (module_) ::FreeLibrary(module_);
    module_ = nullptr;
    init_ = read_ = nullptr;
    auth_ = close_ = nullptr;
  }

  void SetUp() override {
    ASSERT_NE(module_, nullptr) << "ostra.dll not loaded from the test folder";
    ASSERT_TRUE(init_ && auth_ && read_ && close_) << "an export is missing or decorated";
    // The port stays open across tests while the library is loaded.
    close_();
    CleanUp();
  }

  void TearDown() override {
    if (close_) close_();
    CleanUp();
  }

  void CleanUp() const {
    RemoveTree(sim_);
    for (const wchar_t* name : {L"wz.txt", L"zp.bmp", L"wz.txt.sim-tmp", L"zp.bmp.sim-tmp"}) {
      const std::wstring path = bin_ + L"\\" + name;
      ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      ::DeleteFileW(path.c_str());
    }
  }

  // reader-sim\ with the demo cards copied in, but no script files yet.
  void MakeSimFolder() const {
    ASSERT_TRUE(::CreateDirectoryW(sim_.c_str(), nullptr));
    ::CreateDirectoryW((sim_ + L"\\cards").c_str(), nullptr);
    for (const wchar_t* card : {L"demo", L"second"}) {
      const std::wstring to = sim_ + L"\\cards\\" + card;
      ::CreateDirectoryW(to.c_str(), nullptr);
      for (const wchar_t* file : {L"\\wz.txt", L"\\zp.bmp"}) {
        ASSERT_TRUE(::CopyFileW((Demo(card) + file).c_str(), (to + file).c_str(), FALSE));
      }
    }
  }

  void Script(const std::wstring& name, const std::string& bytes) const {
    WriteAll(sim_ + L"\\" + name, bytes);
  }
  std::wstring Demo(const std::wstring& card) const {
    return bin_ + L"\\demo-reader\\cards\\" + card;
  }
  std::optional<std::string> Output(const wchar_t* name) const {
    return ReadAll(bin_ + L"\\" + name);
  }
  // Whether wz.txt and zp.bmp in the test folder are those of this demo card.
  bool HoldsCard(const std::wstring& card) const {
    const auto text = Output(L"wz.txt");
    const auto photo = Output(L"zp.bmp");
    return text && photo && text == ReadAll(Demo(card) + L"\\wz.txt") &&
           photo == ReadAll(Demo(card) + L"\\zp.bmp");
  }
  std::string CallLog() const { return ReadAll(sim_ + L"\\calls.log").value_or("<none>"); }

  const std::wstring bin_ = ProgramFolder();
  const std::wstring sim_ = bin_ + L"\\reader-sim";

  static HMODULE module_;
  static IntCall init_;
  static VoidCall auth_;
  static IntCall read_;
  static VoidCall close_;
};

HMODULE ReaderSim::module_ = nullptr;
IntCall ReaderSim::init_ = nullptr;
VoidCall ReaderSim::auth_ = nullptr;
IntCall ReaderSim::read_ = nullptr;
VoidCall ReaderSim::close_ = nullptr;

TEST_F(ReaderSim, ExportsUndecoratedAndWithoutScriptFolderNoReaderAnswers) {
  for (const char* decorated :
       {"KLV_InitComm@4", "KLV_Authenticate@0", "KLV_Read_Content@4", "KLV_CloseComm@0"}) {
    EXPECT_EQ(::GetProcAddress(module_, decorated), nullptr) << decorated;
  }
  EXPECT_EQ(init_(1001), 0);
  EXPECT_EQ(auth_(), 0);
  EXPECT_EQ(read_(4), 0);
  EXPECT_EQ(close_(), 1);
  EXPECT_FALSE(Exists(sim_)) << "the library created reader-sim";
  EXPECT_FALSE(Exists(bin_ + L"\\wz.txt"));
}

TEST_F(ReaderSim, InitCommOpensOnlyPortsWithAReaderAttached) {
  ASSERT_NO_FATAL_FAILURE(MakeSimFolder());
  Script(L"card.txt", "demo\r\n");
  Script(L"ports.txt", "17\r\n1003\r\n");  // 17 is no reader port
  EXPECT_EQ(init_(1001), 0);
  EXPECT_EQ(init_(17), 0);
  EXPECT_EQ(auth_(), 0) << "no port open yet";
  EXPECT_EQ(init_(1003), 1);
  EXPECT_EQ(init_(1003), 1) << "opening the open port again";
  EXPECT_EQ(auth_(), 1);

  // Reader moved to serial ports 2 and 16 (UTF-16 file): 1003 no longer answers.
  Script(L"ports.txt", std::string("\xFF\xFE"
                                   "2\0 \0"
                                   "1\0"
                                   "6\0",
                                   10));
  EXPECT_EQ(auth_(), 0);
  EXPECT_EQ(init_(1), 0);
  EXPECT_EQ(init_(16), 1);
  EXPECT_EQ(auth_(), 1);
  EXPECT_EQ(close_(), 1);
  EXPECT_EQ(auth_(), 0) << "port still open after CloseComm";
  EXPECT_EQ(close_(), 1) << "closing with no port open";

  EXPECT_EQ(CallLog(),
            "InitComm 1001 -> 0\r\nInitComm 17 -> 0\r\nAuthenticate -> 0\r\n"
            "InitComm 1003 -> 1\r\nInitComm 1003 -> 1\r\nAuthenticate -> 1\r\n"
            "Authenticate -> 0\r\nInitComm 1 -> 0\r\nInitComm 16 -> 1\r\nAuthenticate -> 1\r\n"
            "CloseComm -> 1\r\nAuthenticate -> 0\r\nCloseComm -> 1\r\n");
}

TEST_F(ReaderSim, ReadContentCopiesTheCardOnTheReader) {
  ASSERT_NO_FATAL_FAILURE(MakeSimFolder());
  Script(L"ports.txt", "1001");
  ASSERT_EQ(init_(1001), 1);
  EXPECT_EQ(auth_(), 0) << "no card.txt, yet a card";
  EXPECT_EQ(read_(4), 0);
  EXPECT_FALSE(Exists(bin_ + L"\\wz.txt"));

  Script(L"card.txt", "  demo \r\nsecond\r\n");
  EXPECT_EQ(auth_(), 1);
  EXPECT_EQ(read_(3), 0) << "only content mode 4 reads";
  EXPECT_FALSE(Exists(bin_ + L"\\wz.txt"));
  EXPECT_FALSE(Exists(bin_ + L"\\zp.bmp"));
  EXPECT_EQ(read_(4), 1);
  EXPECT_TRUE(HoldsCard(L"demo"));

  // Another card replaces both files.
  Script(L"card.txt", "second");
  EXPECT_EQ(read_(4), 1);
  EXPECT_TRUE(HoldsCard(L"second"));

  ::DeleteFileW((sim_ + L"\\card.txt").c_str());
  EXPECT_EQ(auth_(), 0) << "card taken off";
}

TEST_F(ReaderSim, UnusableCardLeavesEarlierFilesUntouched) {
  ASSERT_NO_FATAL_FAILURE(MakeSimFolder());
  ::CreateDirectoryW((sim_ + L"\\cards\\nophoto").c_str(), nullptr);
  ASSERT_TRUE(::CopyFileW((Demo(L"second") + L"\\wz.txt").c_str(),
                          (sim_ + L"\\cards\\nophoto\\wz.txt").c_str(), FALSE));
  Script(L"ports.txt", "1001");
  Script(L"card.txt", "demo");
  ASSERT_EQ(init_(1001), 1);
  ASSERT_EQ(read_(4), 1);
  ASSERT_TRUE(HoldsCard(L"demo"));

  for (const char* card : {"nosuchcard", "nophoto", "..", "..\\cards\\second", "cards/second"}) {
    Script(L"card.txt", std::string(card) + "\r\n");
    EXPECT_EQ(auth_(), 0) << card;
    EXPECT_EQ(read_(4), 0) << card;
  }
  EXPECT_TRUE(HoldsCard(L"demo"));

  // A card file that cannot be read: nothing is replaced, nothing left over.
  Script(L"card.txt", "second");
  HANDLE locked = ::CreateFileW((sim_ + L"\\cards\\second\\wz.txt").c_str(), GENERIC_READ, 0,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  EXPECT_EQ(read_(4), 0);
  ::CloseHandle(locked);
  EXPECT_TRUE(HoldsCard(L"demo")) << "card files partly replaced";
  EXPECT_FALSE(Exists(bin_ + L"\\wz.txt.sim-tmp"));
  EXPECT_FALSE(Exists(bin_ + L"\\zp.bmp.sim-tmp"));
}

TEST_F(ReaderSim, AnswersAndDelayFollowTheScript) {
  ASSERT_NO_FATAL_FAILURE(MakeSimFolder());
  Script(L"ports.txt", "1001");
  Script(L"card.txt", "demo");
  Script(L"answers.txt", "\xEF\xBB\xBF# odd answers\r\nsuccess=65537\r\nfailure=-1\r\n");
  EXPECT_EQ(init_(1001), 65537);
  EXPECT_EQ(auth_(), 65537);
  EXPECT_EQ(read_(9), -1);

  Script(L"answers.txt", "success=lots\r\n");  // garbled: defaults
  EXPECT_EQ(auth_(), 1);
  EXPECT_EQ(read_(9), 0);
  ::DeleteFileW((sim_ + L"\\answers.txt").c_str());

  Script(L"delay_ms.txt", "250\r\n");
  DWORD start = ::GetTickCount();
  EXPECT_EQ(auth_(), 1);
  const DWORD slow = ::GetTickCount() - start;
  EXPECT_GE(slow, 230u);
  EXPECT_LT(slow, 2000u);

  Script(L"delay_ms.txt", "soon");  // garbled: no delay
  start = ::GetTickCount();
  EXPECT_EQ(auth_(), 1);
  EXPECT_LT(::GetTickCount() - start, 150u);
}

}  // namespace
}  // namespace keyentry::wintest
