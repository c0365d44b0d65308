#include <gtest/gtest.h>

#include "Fakes.h"

namespace keyentry::test {
namespace {

class PortSearch : public ::testing::Test {
 protected:
  CoreRig rig;
  void SetUp() override { rig.files.files[CoreRig::kKeyFile] = kKeyFileF1ToF8; }
  std::vector<std::string> InitCommCalls() const {
    std::vector<std::string> out;
    for (const auto& c : rig.reader.calls)
      if (c.rfind("InitComm", 0) == 0) out.push_back(c);
    return out;
  }
};

TEST_F(PortSearch, TriesUsbPortsThenSerialPortsInOrder) {
  rig.maths.InitDevice();
  std::vector<std::string> expected;
  for (int p = 1001; p <= 1016; ++p) expected.push_back("InitComm " + std::to_string(p));
  for (int p = 1; p <= 16; ++p) expected.push_back("InitComm " + std::to_string(p));
  EXPECT_EQ(InitCommCalls(), expected);
  EXPECT_FALSE(rig.maths.Connected());
  EXPECT_EQ(rig.hook.installCalls, 0);
  EXPECT_TRUE(rig.messages.shown.empty());
}

TEST_F(PortSearch, StopsAtTheFirstUsbPortAndNeverTriesSerial) {
  rig.reader.readerPorts = {1003, 1005, 2};
  rig.maths.InitDevice();
  EXPECT_EQ(InitCommCalls(),
            (std::vector<std::string>{"InitComm 1001", "InitComm 1002", "InitComm 1003"}));
  EXPECT_TRUE(rig.maths.Connected());
  EXPECT_EQ(rig.maths.PortName(), L"USB1003");
  EXPECT_TRUE(rig.hook.installed);
}

TEST_F(PortSearch, FindsASerialPortWhenNoUsbReaderAnswers) {
  rig.reader.readerPorts = {16};
  rig.maths.InitDevice();
  EXPECT_EQ(InitCommCalls().size(), 32u);
  EXPECT_EQ(rig.maths.PortName(), L"COM16");
  EXPECT_TRUE(rig.maths.Connected());
}

TEST_F(PortSearch, OnlyTheLow16BitsOfAnAnswerCount) {
  rig.reader.readerPorts = {1002};
  rig.reader.success = 0x00010001;  // high bits set, low 16 bits 1: success
  rig.reader.failure = -1;          // 0xFFFFFFFF: failure
  rig.maths.InitDevice();
  EXPECT_EQ(rig.maths.PortName(), L"USB1002");

  rig.reader.success = 0x00000101;  // not 1 in the low 16 bits
  rig.maths.InitDevice();
  EXPECT_FALSE(rig.maths.Connected());
  EXPECT_FALSE(ReaderSucceeded(65536 + 2));
  EXPECT_TRUE(ReaderSucceeded(-65535));  // 0xFFFF0001: low 16 bits are 1
  EXPECT_FALSE(ReaderSucceeded(-1));
}

TEST_F(PortSearch, PortNameIsKeptAndHookStaysWhenALaterSearchFindsNothing) {
  rig.reader.readerPorts = {5};
  rig.maths.InitDevice();
  rig.reader.readerPorts.clear();
  rig.maths.InitDevice();
  EXPECT_FALSE(rig.maths.Connected());
  EXPECT_EQ(rig.maths.PortName(), L"COM5");
  EXPECT_TRUE(rig.hook.installed);
}

TEST_F(PortSearch, RepeatedSearchesKeepOneHook) {
  rig.reader.readerPorts = {1001};
  for (int i = 0; i < 5; ++i) rig.maths.InitDevice();
  EXPECT_EQ(rig.hook.hooksCreated, 1);
  EXPECT_TRUE(rig.maths.Connected());
  rig.maths.SaveAndUnhook();
  EXPECT_FALSE(rig.hook.installed);
}

TEST_F(PortSearch, FailedHookInstallIsSilentAndTriedAgain) {
  rig.reader.readerPorts = {1001};
  rig.hook.failInstall = true;
  rig.maths.InitDevice();
  EXPECT_TRUE(rig.maths.Connected());
  EXPECT_TRUE(rig.messages.shown.empty());
  rig.hook.failInstall = false;
  rig.maths.InitDevice();
  EXPECT_TRUE(rig.hook.installed);
}

TEST_F(PortSearch, MissingLibraryReportsPortOpenFailureAfterLoadingKeys) {
  rig.reader.missing = true;
  rig.maths.InitDevice();
  EXPECT_FALSE(rig.maths.Connected());
  EXPECT_EQ(rig.messages.shown, std::vector<std::wstring>{kMsgPortOpenFailed});
  EXPECT_EQ(rig.maths.HotKeys()[7], L"F8");
  EXPECT_FALSE(rig.hook.installed);
}

TEST_F(PortSearch, KeyFileMessageComesFirstAndTheSearchStillRuns) {
  rig.files.files.clear();
  rig.reader.readerPorts = {1001};
  rig.maths.InitDevice();
  EXPECT_EQ(rig.messages.shown, std::vector<std::wstring>{kMsgKeyFileReadFailed});
  EXPECT_TRUE(rig.maths.Connected());
}

TEST_F(PortSearch, ShutDownClosesThePortAndAMissingLibraryIsNoError) {
  rig.reader.readerPorts = {1001};
  rig.maths.InitDevice();
  rig.reader.calls.clear();
  rig.maths.CloseComm();
  EXPECT_EQ(rig.reader.calls, std::vector<std::string>{"CloseComm"});
  rig.reader.missing = true;
  EXPECT_NO_THROW(rig.maths.CloseComm());
  EXPECT_TRUE(rig.messages.shown.empty());
  // The keys are saved all the same.
  rig.maths.SaveAndUnhook();
  EXPECT_EQ(rig.files.files[CoreRig::kKeyFile], kKeyFileF1ToF8);
}

TEST_F(PortSearch, ShutDownRemovesTheHookBeforeWritingTheKeys) {
  rig.reader.readerPorts = {1001};
  rig.maths.InitDevice();
  rig.files.failWrites = true;
  rig.maths.SaveAndUnhook();
  EXPECT_FALSE(rig.hook.installed);
  EXPECT_EQ(rig.messages.shown, std::vector<std::wstring>{kMsgKeyFileSaveFailed});
}

}  // namespace
}  // namespace keyentry::test
