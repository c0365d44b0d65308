// Reading the files that script the simulated card reader.
#include <climits>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

#include "ostra-sim/SimScript.h"

namespace keyentry::test {
namespace {

namespace sim = keyentry::ostrasim;
using std::string_literals::operator""s;

TEST(SimScriptText, ByteOrderMarksAreUnderstoodBinaryAndOversizedRejected) {
  EXPECT_EQ(sim::DecodeScriptText("1001\r\n"), "1001\r\n");
  EXPECT_EQ(sim::DecodeScriptText("\xEF\xBB\xBF"
                                  "demo"),
            "demo");
  EXPECT_EQ(sim::DecodeScriptText(""), "");
  // UTF-16LE with byte order mark, ASCII content.
  EXPECT_EQ(sim::DecodeScriptText("\xFF\xFE"
                                  "1\0"
                                  "0\0"
                                  " \0"
                                  "2\0"s),
            "10 2");
  EXPECT_EQ(sim::DecodeScriptText("\xFF\xFE"s), "");

  EXPECT_EQ(sim::DecodeScriptText("10\0"
                                  "01"s),
            std::nullopt);  // NUL byte
  EXPECT_EQ(sim::DecodeScriptText("\xFF\xFE"
                                  "1\0"
                                  "0"s),
            std::nullopt);  // odd length
  EXPECT_EQ(sim::DecodeScriptText("\xFF\xFE"
                                  "\x20\x5F"s),
            std::nullopt);  // not ASCII
  EXPECT_EQ(sim::DecodeScriptText("\xFF\xFE"
                                  "\0\0"s),
            std::nullopt);  // NUL unit

  const std::string limit(sim::kMaxScriptBytes, ' ');
  EXPECT_TRUE(sim::DecodeScriptText(limit).has_value());
  EXPECT_EQ(sim::DecodeScriptText(limit + " "), std::nullopt);
}

TEST(SimScriptPorts, NumbersSeparatedBySpaceCommaOrSemicolon) {
  using Ports = std::vector<int>;
  EXPECT_EQ(sim::ParsePorts("1001"), Ports{1001});
  EXPECT_EQ(sim::ParsePorts(" 17\r\n1003,1;;2\t16 "), (Ports{17, 1003, 1, 2, 16}));
  EXPECT_EQ(sim::ParsePorts(""), Ports{});
  EXPECT_EQ(sim::ParsePorts(" ,;\r\n"), Ports{});

  for (const char* garbled : {"1001x", "-1", "+2", "0x3E9", "1001 abc", "1234567890"}) {
    EXPECT_EQ(sim::ParsePorts(garbled), std::nullopt) << garbled;
  }
}

TEST(SimScriptCard, FirstLineTrimmedIsAPlainFolderName) {
  EXPECT_EQ(sim::ParseCardName("  demo \r\nsecond\r\n"), "demo");
  EXPECT_EQ(sim::ParseCardName("second"), "second");
  EXPECT_EQ(sim::ParseCardName("card 2.v1\n"), "card 2.v1");
  EXPECT_EQ(sim::ParseCardName("\xE5\xBC\xA0"), "\xE5\xBC\xA0");  // UTF-8 name

  for (const std::string bad :
       {"", "   \r\ndemo", ".", "..", " .. ", "..\\demo", "cards/demo", "C:demo", "de*mo", "de?mo",
        "a|b", "a\"b", "a<b", "a>b", "de\x01mo", "de\x7Fmo"}) {
    EXPECT_EQ(sim::ParseCardName(bad), std::nullopt) << bad;
  }
}

TEST(SimScriptDelay, OneNumberClampedToTheMaximum) {
  EXPECT_EQ(sim::ParseDelay("0"), 0u);
  EXPECT_EQ(sim::ParseDelay(" 250\r\n"), 250u);
  EXPECT_EQ(sim::ParseDelay("60000"), sim::kMaxDelayMs);
  EXPECT_EQ(sim::ParseDelay("60001"), sim::kMaxDelayMs);
  EXPECT_EQ(sim::ParseDelay("99999999999999999999"), sim::kMaxDelayMs);

  for (const char* garbled : {"", "  \r\n", "-5", "+5", "1.5", "10 20", "fast", "0x10"}) {
    EXPECT_EQ(sim::ParseDelay(garbled), std::nullopt) << garbled;
  }
}

TEST(SimScriptDelay, OneNumberInDelayFileIsForEveryCall) {
  const std::optional<sim::Delays> all = sim::ParseDelays(" 250\r\n");
  ASSERT_TRUE(all.has_value());
  for (const sim::Call call : {sim::Call::InitComm, sim::Call::Authenticate, sim::Call::ReadContent,
                               sim::Call::CloseComm}) {
    EXPECT_EQ(all->of(call), 250u) << sim::CallName(call);
  }
  const auto clamped = sim::ParseDelays("99999999999999999999");
  ASSERT_TRUE(clamped.has_value());
  EXPECT_EQ(clamped->readContent, sim::kMaxDelayMs);
  EXPECT_EQ(clamped->closeComm, sim::kMaxDelayMs);
}

TEST(SimScriptDelay, LinesPerCallAndStarForTheRest) {
  const auto one = sim::ParseDelays("Read_Content=2000\r\n");
  ASSERT_TRUE(one.has_value());
  EXPECT_EQ(one->initComm, 0u);
  EXPECT_EQ(one->authenticate, 0u);
  EXPECT_EQ(one->readContent, 2000u);
  EXPECT_EQ(one->closeComm, 0u);
  EXPECT_EQ(one->of(sim::Call::ReadContent), 2000u);

  // A named line wins over "*" before or after it; names ignore case.
  const auto mixed = sim::ParseDelays(
      "# slow reader\r\n\r\n initcomm = 100 \r\n*=50\r\nCLOSECOMM=0\r\n"
      "Authenticate=70000\r\n");
  ASSERT_TRUE(mixed.has_value());
  EXPECT_EQ(mixed->initComm, 100u);
  EXPECT_EQ(mixed->authenticate, sim::kMaxDelayMs);
  EXPECT_EQ(mixed->readContent, 50u);
  EXPECT_EQ(mixed->closeComm, 0u);

  const auto star = sim::ParseDelays("*=300\n");
  ASSERT_TRUE(star.has_value());
  EXPECT_EQ(star->initComm, 300u);
  EXPECT_EQ(star->authenticate, 300u);
  EXPECT_EQ(star->readContent, 300u);
  EXPECT_EQ(star->closeComm, 300u);

  // The later line for the same name wins.
  const auto twice = sim::ParseDelays("Authenticate=10\nAuthenticate=20\n*=1\n*=2");
  ASSERT_TRUE(twice.has_value());
  EXPECT_EQ(twice->authenticate, 20u);
  EXPECT_EQ(twice->initComm, 2u);

  // Nothing but blank lines and comments: no delay anywhere.
  const auto quiet = sim::ParseDelays("# none\r\n\r\n");
  ASSERT_TRUE(quiet.has_value());
  EXPECT_EQ(quiet->initComm + quiet->authenticate + quiet->readContent + quiet->closeComm, 0u);
}

TEST(SimScriptDelay, ARangeGivesEachCallATimeOfItsOwnWithinIt) {
  const auto read = sim::ParseDelays("Read_Content=1000-1300\n*=5-5\n");
  ASSERT_TRUE(read.has_value());
  const struct {
    sim::Call call;
    unsigned draw;
    unsigned ms;
  } cases[] = {
      {sim::Call::ReadContent, 0, 1000},   {sim::Call::ReadContent, 300, 1300},
      {sim::Call::ReadContent, 301, 1000}, {sim::Call::ReadContent, 123456, 1046},
      {sim::Call::Authenticate, 77, 5},    {sim::Call::CloseComm, 0, 5},
  };
  for (const auto& c : cases) EXPECT_EQ(read->pick(c.call, c.draw), c.ms) << c.draw;
}

TEST(SimScriptDelay, UnknownLinesMakeTheDelayFileGarbled) {
  for (const char* garbled :
       {"soon", "-5", "10 20", "Read_Content", "Read_Content=", "Read_Content=fast",
        "Read_Content=-1", "ReadContent=5", "KLV_Read_Content=5", "Sleep=5", "**=5", "=5",
        "*=5\n250", "Read_Content=5\nbogus", "InitComm=1=2", "Read_Content=1300-1000",
        "Read_Content=1000-", "Read_Content=1-2-3"}) {
    EXPECT_EQ(sim::ParseDelays(garbled), std::nullopt) << garbled;
  }
}

TEST(SimScriptFaults, CrashAndHangPerCallOrForAll) {
  struct Case {
    const char* text;
    std::vector<bool> crash;  // InitComm, Authenticate, Read_Content, CloseComm
    std::vector<unsigned> hangMs;
  };
  const Case cases[] = {
      {"", {false, false, false, false}, {0, 0, 0, 0}},
      {"crash=Read_Content\r\n", {false, false, true, false}, {0, 0, 0, 0}},
      {"# hung reader\r\nhang = authenticate, 60000\r\n",
       {false, false, false, false},
       {0, 60000, 0, 0}},
      {"crash=*\nhang=*,5\nhang=CloseComm,0", {true, true, true, true}, {5, 5, 5, 0}},
      {"hang=InitComm,99999999", {false, false, false, false}, {600000, 0, 0, 0}},
  };
  const sim::Call calls[] = {sim::Call::InitComm, sim::Call::Authenticate, sim::Call::ReadContent,
                             sim::Call::CloseComm};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::optional<sim::Faults> faults = sim::ParseFaults(c.text);
    ASSERT_TRUE(faults.has_value());
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(faults->crashes(calls[i]), c.crash[i]) << i;
      EXPECT_EQ(faults->hangs(calls[i]), c.hangMs[i]) << i;
    }
  }
  for (const char* garbled :
       {"crash=Open", "hang=Authenticate", "hang=Authenticate,soon", "explode=*", "crash"}) {
    EXPECT_EQ(sim::ParseFaults(garbled), std::nullopt) << garbled;
  }
}

TEST(SimScriptAnswers, ForceReadIsZeroOrOne) {
  EXPECT_FALSE(sim::ParseAnswers("")->forceRead);
  EXPECT_FALSE(sim::ParseAnswers("success=1\n")->forceRead);

  const auto forced = sim::ParseAnswers("# files missing\r\nforce_read=1\r\n");
  ASSERT_TRUE(forced.has_value());
  EXPECT_TRUE(forced->forceRead);
  EXPECT_EQ(forced->success, 1);
  EXPECT_EQ(forced->failure, 0);

  const auto all = sim::ParseAnswers("success=65537\n FORCE_READ = 1 \nfailure=-1");
  ASSERT_TRUE(all.has_value());
  EXPECT_TRUE(all->forceRead);
  EXPECT_EQ(all->success, 65537);
  EXPECT_EQ(all->failure, -1);

  const auto off = sim::ParseAnswers("force_read=1\nforce_read=0\n");
  ASSERT_TRUE(off.has_value());
  EXPECT_FALSE(off->forceRead);

  for (const char* garbled : {"force_read=2", "force_read=", "force_read=yes", "force_read=-1",
                              "force_read=0x1", "force_read", "forceread=1", "force_read=1\nx=1"}) {
    EXPECT_EQ(sim::ParseAnswers(garbled), std::nullopt) << garbled;
  }
}

TEST(SimScriptAnswers, CardFilesGoBesideTheProgramOrIntoTheCurrentFolder) {
  EXPECT_EQ(sim::ParseAnswers("")->cardFiles, sim::CardFilesFolder::Program);
  EXPECT_EQ(sim::ParseAnswers("force_read=1\r\n")->cardFiles, sim::CardFilesFolder::Program);

  const auto current =
      sim::ParseAnswers("# like a vendor library\r\ncard_files=current_folder\r\n");
  ASSERT_TRUE(current.has_value());
  EXPECT_EQ(current->cardFiles, sim::CardFilesFolder::Current);
  EXPECT_FALSE(current->forceRead);
  EXPECT_EQ(current->success, 1);

  const auto mixed = sim::ParseAnswers(" Card_Files = Current_Folder \nforce_read=1\nsuccess=7");
  ASSERT_TRUE(mixed.has_value());
  EXPECT_EQ(mixed->cardFiles, sim::CardFilesFolder::Current);
  EXPECT_TRUE(mixed->forceRead);
  EXPECT_EQ(mixed->success, 7);

  // The later line wins.
  const auto back = sim::ParseAnswers("card_files=current_folder\ncard_files=program_folder\n");
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->cardFiles, sim::CardFilesFolder::Program);

  for (const char* garbled : {"card_files=", "card_files", "card_files=current", "card_files=1",
                              "card_files=current_folder_", "card_files=current folder",
                              "cardfiles=current_folder", "card_files=current_folder\nbogus"}) {
    EXPECT_EQ(sim::ParseAnswers(garbled), std::nullopt) << garbled;
  }
}

TEST(SimScriptAnswers, ABlinkingReaderFindsACardAtTheCallsMarkedOne) {
  EXPECT_EQ(sim::ParseAnswers("")->blink, "");
  EXPECT_EQ(sim::ParseAnswers(" Blink = 100 \r\nforce_read=1")->blink, "100");
  std::string found;
  for (unsigned count = 0; count < 7; ++count) {
    found += sim::BlinkFinds("100", count) ? '1' : '0';
    found += sim::BlinkFinds("", count) ? '1' : '0';
  }
  EXPECT_EQ(found, "11010111010111");
  for (const char* garbled : {"blink=", "blink=102", "blink=1 0", "blink=yes"}) {
    EXPECT_EQ(sim::ParseAnswers(garbled), std::nullopt) << garbled;
  }
  EXPECT_EQ(sim::ParseAnswers("blink=" + std::string(65, '1')), std::nullopt);
}

TEST(SimScriptAnswers, KeysOverrideDefaultsAndAnythingElseIsGarbled) {
  const std::optional<sim::Answers> none = sim::ParseAnswers("");
  ASSERT_TRUE(none.has_value());
  EXPECT_EQ(none->success, 1);
  EXPECT_EQ(none->failure, 0);

  const auto some = sim::ParseAnswers("# reader answers\r\n\r\n  SUCCESS = 65537 \r\n");
  ASSERT_TRUE(some.has_value());
  EXPECT_EQ(some->success, 65537);
  EXPECT_EQ(some->failure, 0);

  const auto both = sim::ParseAnswers("failure=-1\nsuccess=0x10001\n");
  ASSERT_TRUE(both.has_value());
  EXPECT_EQ(both->success, 0x10001);
  EXPECT_EQ(both->failure, -1);

  // Hex gives the 32-bit pattern; decimal must fit an int.
  const auto edges = sim::ParseAnswers("success=0xFFFFFFFF\nfailure=-2147483648");
  ASSERT_TRUE(edges.has_value());
  EXPECT_EQ(edges->success, -1);
  EXPECT_EQ(edges->failure, INT_MIN);

  for (const char* garbled :
       {"success=lots", "success", "succes=1", "result=1", "success=", "failure=2147483648",
        "success=0x100000000", "success=0x", "success=1\nfailure=zero"}) {
    EXPECT_EQ(sim::ParseAnswers(garbled), std::nullopt) << garbled;
  }
}

TEST(SimScriptRules, ReaderPortsAndSuccessTest) {
  for (int port : {1, 16, 1001, 1016}) EXPECT_TRUE(sim::IsReaderPort(port)) << port;
  for (int port : {0, 17, 1000, 1017, -1001}) EXPECT_FALSE(sim::IsReaderPort(port)) << port;

  // Only the low 16 bits, read as signed, count.
  EXPECT_TRUE(sim::IsSuccess(1));
  EXPECT_TRUE(sim::IsSuccess(0x10001));
  EXPECT_TRUE(sim::IsSuccess(static_cast<int>(0xFFFF0001u)));
  EXPECT_FALSE(sim::IsSuccess(0));
  EXPECT_FALSE(sim::IsSuccess(-1));
  EXPECT_FALSE(sim::IsSuccess(0x10000));
  EXPECT_FALSE(sim::IsSuccess(2));
}

TEST(SimScriptRules, CallNamesAsInTheLogAndTheDelayFile) {
  EXPECT_EQ(sim::CallName(sim::Call::InitComm), "InitComm");
  EXPECT_EQ(sim::CallName(sim::Call::Authenticate), "Authenticate");
  EXPECT_EQ(sim::CallName(sim::Call::ReadContent), "Read_Content");
  EXPECT_EQ(sim::CallName(sim::Call::CloseComm), "CloseComm");
}

TEST(SimScriptRules, CallLogLines) {
  EXPECT_EQ(sim::FormatCallLine("InitComm", 1001, 0), "InitComm 1001 -> 0\r\n");
  EXPECT_EQ(sim::FormatCallLine("Read_Content", 4, -1), "Read_Content 4 -> -1\r\n");
  EXPECT_EQ(sim::FormatCallLine("Authenticate", std::nullopt, 65537), "Authenticate -> 65537\r\n");
}

}  // namespace
}  // namespace keyentry::test
