// The self-check's status lines, its template preview and its check of a
// text typed into a box.
#include <gtest/gtest.h>
#include <map>

#include "core/PressRecorder.h"
#include "core/ReaderTrouble.h"
#include "core/SelfCheck.h"
#include "tests/support/Utf8Codec.h"

namespace keyentry {
namespace {

using test::U8;

SettingsContent Parsed(const std::wstring& text) {
  return ParseSettingsFile(U8(text), test::Utf8Codec());
}

const SettingsContent kOneTemplate = Parsed(L"[模板]\nF9 = {姓名}\n");

// A program that works: everything found, hook installed, a settings file
// with one template.
SelfCheckFacts Working() {
  SelfCheckFacts facts;
  facts.version = L"2.0.0";
  facts.folder = L"C:\\KeyEntry";
  facts.folderWritable = true;
  facts.reader = {LibraryFacts::State::kLoaded, L"C:\\KeyEntry\\ostra.dll", 0, {}};
  facts.connected = true;
  facts.port = L"USB1001";
  facts.readingOn = true;
  facts.hook = {true, 4500, 0};
  facts.sendStr = {LibraryFacts::State::kLoaded, L"C:\\KeyEntry\\SendStr.dll", 0, {}};
  facts.settingsFound = true;
  facts.settings = &kOneTemplate;
  facts.program = L"notepad.exe";
  return facts;
}

const std::vector<std::wstring> kWorkingLines = {
    L"版本：2.0.0",
    L"程序文件夹：C:\\KeyEntry（可写）",
    L"读卡库：C:\\KeyEntry\\ostra.dll",
    L"端口：USB1001，正在读卡",
    L"键盘钩子：已安装，最近一次按键在 4 秒前，重新安装 0 次",
    L"SendStr.dll：C:\\KeyEntry\\SendStr.dll",
    L"KeyEntry.ini：已载入，1 个模板，读卡后：关",
    L"输入方式：notepad.exe：字符，字段间隔 0 毫秒，字符间隔 0 毫秒，读卡后：关",
    L"隐私：清除秒数 0（不清除），读后删除卡片文件：否，身份证号遮挡：否",
};

TEST(SelfCheckLines, AWorkingProgram) { EXPECT_EQ(SelfCheckLines(Working()), kWorkingLines); }

// Each state changes the lines it concerns, and only those.
struct StateCase {
  const char* name;
  void (*change)(SelfCheckFacts&);
  std::map<std::size_t, std::wstring> lines;  // by index: the lines that differ
};

const SettingsContent kWithProblems = Parsed(
    L"[模板]\nF9 = {姓名}{Tab}{性别}\nF10 = {民族\n读卡后 = {身份证号}\n"
    L"[隐私]\n遮挡 = 是\n清除秒数 = 60\n[程序:Notepad.exe]\n方式 = 粘贴\n字段间隔 = 100\n");

const StateCase kStates[] = {
    {"no reader library, so no port, no hook and no SendStr.dll yet",
     [](SelfCheckFacts& f) {
       f.reader = {LibraryFacts::State::kNotFound, L"C:\\KeyEntry\\ostra.dll", 0, {}};
       f.connected = false;
       f.readingOn = false;
       f.hook = {};
       f.sendStr = {};
     },
     {{2, L"读卡库：未找到 C:\\KeyEntry\\ostra.dll"},
      {3, L"端口：未连接"},
      {4, L"键盘钩子：未安装（找到阅读器后才安装，功能键不起作用）"},
      {5, L"SendStr.dll：尚未加载（键盘钩子启动时加载）"}}},
    {"a 64-bit reader library, and reading stopped",
     [](SelfCheckFacts& f) {
       f.reader = {LibraryFacts::State::kLoadFailed, L"C:\\KeyEntry\\ostra.dll", 193, {}};
       f.readingOn = false;
     },
     {{2,
       L"读卡库：C:\\KeyEntry\\ostra.dll 无法加载（错误 193：位数（32/64 位）不对，或不是 Windows "
       L"库）"},
      {3, L"端口：USB1001，已停止读卡"}}},
    {"a reader library that lacks two functions, a SendStr.dll that needs a missing file",
     [](SelfCheckFacts& f) {
       f.reader = {LibraryFacts::State::kMissingFunctions,
                   L"C:\\KeyEntry\\ostra.dll",
                   0,
                   {L"KLV_Authenticate", L"KLV_CloseComm"}};
       f.sendStr = {LibraryFacts::State::kLoadFailed, L"C:\\KeyEntry\\SendStr.dll", 126, {}};
     },
     {{2,
       L"读卡库：C:\\KeyEntry\\ostra.dll 缺少函数 KLV_Authenticate、KLV_CloseComm"
       L"（文件损坏或版本不对）"},
      {5, L"SendStr.dll：C:\\KeyEntry\\SendStr.dll 无法加载（错误 126：它需要的其他文件缺失）"}}},
    {"the hook renewed twice, no key seen yet, the folder not writable",
     [](SelfCheckFacts& f) {
       f.hook = {true, std::nullopt, 2};
       f.folderWritable = false;
     },
     {{1,
       L"程序文件夹：C:\\KeyEntry（不可写：读卡库无法写入卡片文件，退出时无法保存 "
       L"SetKey.txt）"},
      {4, L"键盘钩子：已安装，尚未收到按键，重新安装 2 次"}}},
    {"no KeyEntry.ini: the defaults",
     [](SelfCheckFacts& f) {
       f.settingsFound = false;
       f.settings = nullptr;
     },
     {{6, L"KeyEntry.ini：没有此文件（全部使用默认设置）"}}},
    {"KeyEntry.ini with two problem lines, for a program of its own",
     [](SelfCheckFacts& f) {
       f.settingsFound = true;
       f.settings = &kWithProblems;
     },
     {{6,
       L"KeyEntry.ini：已载入，1 个模板，读卡后：开；2 处问题未采用：第 3 行“F10 = "
       L"{民族”：模板有误：“{民族”缺少右大括号“}”（要录入大括号本身，请写 {{）。；第 6 "
       L"行“遮挡 = 是”：[隐私] 中没有名为“遮挡”的设置。可用的有：清除秒数、读后删除卡片"
       L"文件、身份证号遮挡（或 ClearAfterSeconds、DeleteCardFiles、MaskIdNumber）。"},
      {7,
       L"输入方式：notepad.exe：粘贴，字段间隔 100 毫秒，字符间隔 0 毫秒，读卡后："
       L"开（按 [程序:notepad.exe] 中的设定）"},
      {8, L"隐私：清除秒数 60，读后删除卡片文件：否，身份证号遮挡：否"}}},
    {"the program before the self-check unknown, or none",
     [](SelfCheckFacts& f) { f.program = L""; },
     {{7, L"输入方式：（无法得知的程序）：字符，字段间隔 0 毫秒，字符间隔 0 毫秒，读卡后：关"}}},
    {"no program before the self-check",
     [](SelfCheckFacts& f) { f.program.reset(); },
     {{7, L"输入方式：（未记录：请先点击要录入的软件，再打开自检）"}}},
};

TEST(SelfCheckLines, EachStateShowsInItsOwnLines) {
  for (const StateCase& state : kStates) {
    SCOPED_TRACE(state.name);
    SelfCheckFacts facts = Working();
    state.change(facts);
    std::vector<std::wstring> expected = kWorkingLines;
    for (const auto& [index, line] : state.lines) expected[index] = line;
    EXPECT_EQ(SelfCheckLines(facts), expected);
  }
}

TEST(SelfCheckLines, ASharedSettingsFileGetsATenthLineWithItsState) {
  using State = SharedSettingsStatus::State;
  const std::wstring path = L"\\\\his\\keyentry\\KeyEntry.ini";
  const struct {
    State state;
    std::int64_t lastReadOk, unreachableSince, copyTime;
    const wchar_t* line;  // nullptr: no tenth line
    std::int64_t copyFailedSince = 0;
  } cases[] = {
      {State::kNotUsed, 0, 0, 0, nullptr},
      {State::kWaiting, 0, 0, 1000 - 7200,
       L"共享设置：\\\\his\\keyentry\\KeyEntry.ini：服务器尚未应答，使用 2 小时前保存的副本 "
       L"KeyEntry.shared.ini"},
      {State::kReadOk, 1000 - 42, 0, 1000 - 42,
       L"共享设置：\\\\his\\keyentry\\KeyEntry.ini：42 秒前读取成功"},
      {State::kUnreachable, 0, 1000 - 600, 1000 - 3 * 86400,
       L"共享设置：\\\\his\\keyentry\\KeyEntry.ini：已有 10 分钟无法读取，使用 3 天前保存的副本 "
       L"KeyEntry.shared.ini"},
      {State::kUnreachable, 0, 1000 - 5, 0,
       L"共享设置：\\\\his\\keyentry\\KeyEntry.ini：已有 5 秒无法读取，没有副本，只用本机的 "
       L"KeyEntry.ini"},
      // The copy could not be saved: the version in use is the one read.
      {State::kReadOk, 1000 - 42, 0, 1000 - 7200,
       L"共享设置：\\\\his\\keyentry\\KeyEntry.ini：42 秒前读取成功；已有 3 分钟无法保存副本 "
       L"KeyEntry.shared.ini（程序文件夹不可写或文件被占用），每次读取共享文件时再试",
       1000 - 180},
      {State::kUnreachable, 1000 - 300, 1000 - 240, 1000 - 7200,
       L"共享设置：\\\\his\\keyentry\\KeyEntry.ini：已有 4 分钟无法读取，使用 5 分钟前读到的内容；"
       L"已有 10 分钟无法保存副本 KeyEntry.shared.ini（程序文件夹不可写或文件被占用），"
       L"每次读取共享文件时再试",
       1000 - 600},
  };
  for (const auto& c : cases) {
    SharedSettingsStatus shared;
    shared.state = c.state;
    shared.path = c.state == State::kNotUsed ? L"" : path;
    shared.lastReadOk = c.lastReadOk;
    shared.unreachableSince = c.unreachableSince;
    shared.copyTime = c.copyTime;
    shared.copyFailedSince = c.copyFailedSince;
    SelfCheckFacts facts = Working();
    facts.shared = &shared;
    facts.now = 1000;
    const std::vector<std::wstring> lines = SelfCheckLines(facts);
    ASSERT_EQ(lines.size(), c.line ? 10u : 9u);
    if (c.line) {
      EXPECT_EQ(lines[9], c.line);
    }
  }
}

// The zip copy unpacked anywhere: the last line says who else may change the
// program folder (the access list as the system would give it).
TEST(SelfCheckLines, WarnsWhenOrdinaryUsersCanChangeTheProgramFolder) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)",
       L"文件夹权限：别的用户不能修改程序文件夹（只有管理员、系统或您本人可以）"},
      {L"D:(A;OICIIO;SDGXGWGR;;;AU)(A;;0x1301bf;;;AU)(A;OICI;0x1301bf;;;BU)",
       L"文件夹权限：警告：Authenticated Users、Users 可以修改程序文件夹及其中的文件，"
       L"别的用户能借此替换您运行的程序；请安装到 Program "
       L"Files，或由管理员只给用户“读取和执行”权限"},
      {L"D:P(A;OICI;FA;;;BA)(A;OIIO;FW;;;WD)",
       L"文件夹权限：警告：Everyone 可以修改其中的文件，"
       L"别的用户能借此替换您运行的程序；请安装到 Program "
       L"Files，或由管理员只给用户“读取和执行”权限"},
  };
  for (const auto& [sddl, line] : cases) {
    SelfCheckFacts facts = Working();
    facts.folderOpenTo = WhoCanChange(*ParseSddlDacl(sddl));
    const std::vector<std::wstring> lines = SelfCheckLines(facts);
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[9], line);
  }
  SelfCheckFacts unread = Working();
  unread.folderAccessRead = false;
  EXPECT_EQ(SelfCheckLines(unread).back(), L"文件夹权限：无法读取程序文件夹的权限");
}

TEST(SelfCheckLines, TheChecksSwitchedOnGetALineOfTheirOwn) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"[核验]\n过期 = 否\n", nullptr},
      {L"[核验]\n过期 = 是\n号码 = 是\n", L"核验：证件过期、身份证号"},
      {L"[核验]\n未满 = 18\n提醒时不自动录入 = 是\n", L"核验：未满 18 岁；提醒时不自动录入"},
      {L"[核验]\n提醒时不自动录入 = 是\n", L"核验：（未启用任何核验）；提醒时不自动录入"},
  };
  for (const auto& [ini, line] : cases) {
    const SettingsContent settings = Parsed(ini);
    SelfCheckFacts facts = Working();
    facts.settingsFound = true;
    facts.settings = &settings;
    const std::vector<std::wstring> lines = SelfCheckLines(facts);
    ASSERT_EQ(lines.size(), line ? 10u : 9u) << ini;
    if (line) {
      EXPECT_EQ(lines[9], line);
    }
  }
  const ParsedTemplate keys = ParseTemplate(L"{民族代码}{Down}{Enter}{Ctrl+A}{Space}");
  CardFieldValues card;
  card[2] = L"汉";
  EXPECT_EQ(RenderSteps(keys.value.Expand(card, Date{2024, 5, 1}, 0)), L"01↓↵⌃A␣");
}

TEST(SelfCheckLines, TheReaderProcessGetsALastLine) {
  const struct {
    ReaderProcessFacts helper;
    const wchar_t* line;
  } cases[] = {
      {{true, 0, L""}, L"读卡进程：KeyEntryReader.exe 运行中，已重新启动 0 次"},
      {{false, 3, TroubleReason(ReaderTrouble::kNoAnswer)},
       L"读卡进程：KeyEntryReader.exe 未运行，已重新启动 3 次，最近一次原因：读卡库调用超时"},
      {{true, 12, TroubleReason(ReaderTrouble::kCrashed)},
       L"读卡进程：KeyEntryReader.exe 运行中，已重新启动 12 次，最近一次原因：读卡库崩溃"},
  };
  for (const auto& c : cases) {
    SelfCheckFacts facts = Working();
    facts.readerProcess = c.helper;
    const std::vector<std::wstring> lines = SelfCheckLines(facts);
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[9], c.line);
  }
}

TEST(SelfCheckLines, AnExistingPhotoFolderIsNamedWithItsPhotoFilesBeforeTheHelper) {
  const struct {
    PhotoFolderFacts photos;
    const wchar_t* line;
  } cases[] = {
      {{L"C:\\Users\\a\\AppData\\Local\\KeyEntry\\Photos", 0},
       L"照片文件：C:\\Users\\a\\AppData\\Local\\KeyEntry\\Photos，其中现有 0 个照片文件"},
      {{L"D:\\上传", 3}, L"照片文件：D:\\上传，其中现有 3 个照片文件"},
  };
  for (const auto& c : cases) {
    SelfCheckFacts facts = Working();
    facts.photos = c.photos;
    facts.readerProcess = ReaderProcessFacts{true, 0, L""};
    const std::vector<std::wstring> lines = SelfCheckLines(facts);
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(lines[9], c.line);
    EXPECT_EQ(lines[10].substr(0, 5), L"读卡进程：");
  }
}

TEST(SelfCheckLines, ProblemsBeyondTenAreCounted) {
  std::wstring text = L"[输入]\n";
  for (int i = 0; i < 12; ++i) text += L"x\n";
  const SettingsContent settings = Parsed(text);
  SelfCheckFacts facts = Working();
  facts.settingsFound = true;
  facts.settings = &settings;
  const std::wstring line = SelfCheckLines(facts)[6];
  const std::wstring one =
      L"“x”：这一行既不是节名（如 [模板]），也不是“名称 = 值”，也不是注释（以 ; 或 # 开头）。";
  EXPECT_EQ(
      line.find(L"已载入，0 个模板，读卡后：关；12 处问题未采用：第 2 行" + one + L"；第 3 行"),
      13u);
  EXPECT_NE(line.find(L"；第 11 行" + one + L"；另有 2 处"), std::wstring::npos);
  EXPECT_EQ(line.find(L"第 12 行"), std::wstring::npos);
}

TEST(SelfCheckPreview, KeysAndPausesAreDrawnAsSigns) {
  const SettingsContent settings =
      Parsed(L"[模板]\nF9 = {姓名}{Tab}{性别}{Shift+Tab}{延时:200}a{{b}}{Enter}\n");
  CardFieldValues card;
  card[0] = L"欧阳明月";
  card[1] = L"女";
  EXPECT_EQ(PreviewText(settings, {9, {}}, card, Date{2024, 5, 1}, 0), L"欧阳明月⇥女⇤⏱200a{b}↵");
  // A field delay follows every key.
  EXPECT_EQ(PreviewText(settings, {9, {}}, card, Date{2024, 5, 1}, 50),
            L"欧阳明月⇥⏱50女⇤⏱50⏱200a{b}↵⏱50");
  EXPECT_EQ(PreviewText(settings, {10, {}}, card, Date{2024, 5, 1}, 0), L"");
}

TEST(SelfCheckPreview, WithoutACardTheSampleCardIsUsedAndMarked) {
  const SettingsContent settings = Parsed(
      L"[模板]\nF1 = {姓名} {身份证号} {有效期限止:yyyy年} {年龄}\n读卡后 = {住址}\n"
      L"[程序:his.exe]\n读卡后 = {签发机关}\n[隐私]\n身份证号遮挡 = 是\n");
  const std::vector<PreviewItem> items = PreviewItems(settings);
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(PreviewLabel(items[0]), L"F1");
  EXPECT_EQ(PreviewLabel(items[1]), L"读卡后");
  EXPECT_EQ(PreviewLabel(items[2]), L"读卡后 [程序:his.exe]");
  const CardFieldValues none;
  const Date today{2024, 5, 1};
  EXPECT_EQ(PreviewText(settings, items[0], none, today, 0),
            L"【示例卡】示例姓名 000000********001X 2040年 24");
  EXPECT_EQ(PreviewText(settings, items[1], none, today, 0), L"【示例卡】示例省示例市示例路1号");
  EXPECT_EQ(PreviewText(settings, items[2], none, today, 0), L"【示例卡】示例市公安局");
}

TEST(SelfCheckPreview, TheTextABoxCanHold) {
  const std::vector<TypingStep> text = {
      {StepKind::kText, L"ab"}, {StepKind::kPause, L"", {}, 30}, {StepKind::kText, L"c"}};
  EXPECT_EQ(BoxTextOf(text), std::optional<std::wstring>(L"abc"));
  const std::vector<TypingStep> keys = {{StepKind::kText, L"ab"},
                                        {StepKind::kKey, L"", SpecialKey::kEnter}};
  EXPECT_EQ(BoxTextOf(keys), std::nullopt);
  // The time to wait for them: their pauses and character delays come on top.
  EXPECT_EQ(ArrivalWaitMs(text, TypingSettings{TypingMode::kKeys, 0, 10}), 3060u);
  EXPECT_EQ(ArrivalWaitMs(text, TypingSettings{TypingMode::kPaste, 0, 10}), 3030u);
  EXPECT_EQ(ArrivalWaitMs(keys, TypingSettings{}), 3000u);
}

TEST(SelfCheckReport, StatusLinesThenTheTypingTests) {
  EXPECT_EQ(SelfCheckReport({L"版本：2.0.0", L"端口：未连接"},
                            {{L"测试字符方式", L"通过"}, {L"测试粘贴方式", L"未测试"}}),
            L"KeyEntry 自检报告\r\n版本：2.0.0\r\n端口：未连接\r\n录入测试：\r\n"
            L"测试字符方式：通过\r\n测试粘贴方式：未测试\r\n");
}

// The box at each time (ms after the start), the state then.
struct ArrivalCase {
  const char* name;
  std::wstring before;
  std::vector<std::pair<int, std::wstring>> boxes;
  ArrivalCheck::State state;
  std::wstring arrived;
};

using S = ArrivalCheck::State;
const ArrivalCase kArrivals[] = {
    {"into an empty box", L"", {{100, L"ab"}, {200, L"abc"}, {500, L"abc"}}, S::kPassed, L"abc"},
    {"not yet settled", L"", {{100, L"abc"}, {399, L"abc"}}, S::kWaiting, L"abc"},
    {"doubled while settling",
     L"",
     {{100, L"abc"}, {300, L"abcabc"}, {3000, L"abcabc"}},
     S::kFailed,
     L"abcabc"},
    {"in the middle of earlier text",
     L"1234",
     {{100, L"12abc34"}, {400, L"12abc34"}},
     S::kPassed,
     L"abc"},
    {"next to the same letters", L"cab", {{100, L"cabcab"}, {400, L"cabcab"}}, S::kPassed, L"abc"},
    {"a character lost", L"", {{100, L"ac"}, {3000, L"ac"}}, S::kFailed, L"ac"},
    {"nothing at all", L"xy", {{3000, L"xy"}}, S::kFailed, L""},
    {"earlier text changed", L"1234", {{100, L"12abc3"}, {3000, L"12abc3"}}, S::kFailed, L"abc3"},
    {"right just before the time is up",
     L"",
     {{2900, L"abc"}, {3100, L"abc"}, {3200, L"abc"}},
     S::kPassed,
     L"abc"},
};

TEST(SelfCheckArrival, TheTextMustArriveOnceAndWhole) {
  for (const ArrivalCase& c : kArrivals) {
    SCOPED_TRACE(c.name);
    ArrivalCheck check(c.before, L"abc", 1000, 3000);
    S state = S::kWaiting;
    for (const auto& [at, box] : c.boxes) state = check.Update(box, 1000 + at);
    EXPECT_EQ(state, c.state);
    EXPECT_EQ(check.Arrived(), c.arrived);
  }
}

TEST(PressRecorder, KeepsOnlyPressesIntoTheWatchedWindowAndForgetsThem) {
  PressRecorder recorder;
  EXPECT_FALSE(recorder.Watching(0));
  EXPECT_FALSE(recorder.Watching(42));
  recorder.Watch(42);
  EXPECT_TRUE(recorder.Watching(42));
  EXPECT_FALSE(recorder.Watching(43));
  recorder.Record({{StepKind::kText, L"女"}}, TypingSettings{TypingMode::kKeys, 0, 5});
  const auto first = recorder.Newer(0);
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->number, 1u);
  EXPECT_EQ(RenderSteps(first->steps), L"女");
  EXPECT_EQ(first->settings.charDelayMs, 5);
  EXPECT_FALSE(recorder.Newer(1).has_value());
  recorder.Watch(0);  // the window closes
  EXPECT_FALSE(recorder.Newer(0).has_value());
  EXPECT_FALSE(recorder.Watching(42));
}

}  // namespace
}  // namespace keyentry
