// A settings file shared by the site's PCs: the [站点] section that names it,
// the rule that merges it under the local KeyEntry.ini, when an answer of
// the share brings a new version, and how the program loads, keeps and
// reports it (the last good copy, problems once per version).
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "Fakes.h"
#include "core/SharedSettings.h"

namespace keyentry::test {
namespace {

constexpr const wchar_t* kShare = L"\\\\his-server\\keyentry\\KeyEntry.ini";

SettingsContent Parse(std::wstring_view text, SettingsOrigin origin = SettingsOrigin::kLocal) {
  return ParseSettingsFile(U8(text), Cp936Codec(), origin);
}

std::string Typed(const Template& t) {
  const CardFieldValues card{L"张三",   L"男",
                             L"汉",     L"19900307",
                             L"北京",   L"110108199003070011",
                             L"公安局", L"2016.03.15-2036.03.15"};
  std::wstring out;
  for (const TypingStep& step : t.Expand(card, Date{2024, 5, 20}, 0)) {
    out += step.kind == StepKind::kText ? step.text : L"|";
  }
  return U8(out);
}

// The merged settings in short: each template (in order) with its text and
// its file (L or S), typing on read, the typing settings for any program and for
// a.exe (mode, field delay, character delay), and the privacy settings.
std::string Describe(const SettingsContent& s) {
  std::string out;
  for (const KeyTemplate& t : s.templates) {
    out +=
        "F" + std::to_string(t.keyNumber) + "=" + Typed(t.parsed) + (t.file.empty() ? "L " : "S ");
  }
  const auto typing = [](const TypingSettings& t) {
    return std::to_string(static_cast<int>(t.mode)) + "/" + std::to_string(t.fieldDelayMs) + "/" +
           std::to_string(t.charDelayMs);
  };
  const auto onRead = [](const Template* t) { return t ? Typed(*t) : std::string("-"); };
  out += "onRead=" + onRead(s.OnReadFor(L"x.exe")) + " a.onRead=" + onRead(s.OnReadFor(L"a.exe"));
  out += " typing=" + typing(s.TypingFor(L"x.exe")) + " a=" + typing(s.TypingFor(L"a.exe"));
  out += " privacy=" + std::to_string(s.privacy.clearAfterSeconds) + "/" +
         std::to_string(s.privacy.deleteCardFiles) + "/" + std::to_string(s.privacy.maskIdNumber);
  return out;
}

struct MergeCase {
  const char* what;
  const wchar_t* shared;
  const wchar_t* local;
  const char* merged;
};

const MergeCase kMergeCases[] = {
    {"nothing shared: the local file alone", L"", L"[模板]\nF9 = {姓名}\n",
     "F9=张三L onRead=- a.onRead=- typing=0/0/0 a=0/0/0 privacy=0/0/0"},
    {"everything shared applies",
     L"[模板]\nF9 = {姓名}\n读卡后 = {性别}\n[输入]\n方式 = 粘贴\n"
     L"[程序:a]\n字符间隔 = 5\n[隐私]\n清除秒数 = 60\n身份证号遮挡 = 是\n",
     L"", "F9=张三S onRead=男 a.onRead=男 typing=2/0/0 a=2/0/5 privacy=60/0/1"},
    {"a local template key wins, other keys come from both", L"[模板]\nF9 = {姓名}\nF10 = {民族}\n",
     L"[Templates]\nf9 = {性别}\nF11 = x\n",
     "F9=男L F11=xL F10=汉S onRead=- a.onRead=- typing=0/0/0 a=0/0/0 privacy=0/0/0"},
    {"a local 读卡后, even empty, wins over the shared one", L"[模板]\n读卡后 = {姓名}\n",
     L"[模板]\n读卡后 =\n", "onRead=- a.onRead=- typing=0/0/0 a=0/0/0 privacy=0/0/0"},
    {"[输入] per name", L"[输入]\n方式 = 按键\n字段间隔 = 100\n字符间隔 = 5\n",
     L"[Typing]\nMode = paste\n", "onRead=- a.onRead=- typing=2/100/5 a=2/100/5 privacy=0/0/0"},
    {"per name inside one program's section; another section is another name",
     L"[程序:a.exe]\n方式 = 按键\n字段间隔 = 100\n读卡后 = {姓名}\n[输入]\n字符间隔 = 9\n",
     L"[App:A]\nFieldDelayMs = 20\n[输入]\n方式 = 粘贴\n",
     "onRead=- a.onRead=张三 typing=2/0/9 a=1/20/9 privacy=0/0/0"},
    {"a local program 读卡后 wins", L"[程序:a]\n读卡后 = {姓名}\n[模板]\n读卡后 = {民族}\n",
     L"[程序:a]\n读卡后 = {性别}\n", "onRead=汉 a.onRead=男 typing=0/0/0 a=0/0/0 privacy=0/0/0"},
    {"[隐私] per name: a local 否 or 0 wins as well",
     L"[隐私]\n清除秒数 = 60\n读后删除卡片文件 = 是\n身份证号遮挡 = 是\n",
     L"[隐私]\n清除秒数 = 0\n身份证号遮挡 = 否\n",
     "onRead=- a.onRead=- typing=0/0/0 a=0/0/0 privacy=0/1/0"},
    {"a broken local line sets nothing: the shared entry applies",
     L"[模板]\nF9 = {姓名}\n[输入]\n字段间隔 = 50\n", L"[模板]\nF9 = {姓名\n[输入]\n字段间隔 = x\n",
     "F9=张三S onRead=- a.onRead=- typing=0/50/0 a=0/50/0 privacy=0/0/0"},
};

TEST(SharedSettingsMerge, LocalEntryWinsPerSectionAndName) {
  for (const MergeCase& c : kMergeCases) {
    const SettingsContent merged =
        MergeSettings(Parse(c.shared, SettingsOrigin::kShared), Parse(c.local), kShare);
    EXPECT_EQ(Describe(merged), c.merged) << c.what;
  }
}

TEST(SharedSettingsReload, OnlyANewContentIsTakenNeverAFailedOrUnchangedLook) {
  using Kind = SharedFileAnswer::Kind;
  const struct {
    std::optional<std::string> inUse;
    Kind kind;
    const char* bytes;
    SharedReload expected;
  } cases[] = {
      {std::nullopt, Kind::kRead, "[模板]", SharedReload::kTakeNew},
      {std::nullopt, Kind::kRead, "", SharedReload::kTakeNew},
      {std::nullopt, Kind::kUnreachable, "", SharedReload::kKeep},
      {"A", Kind::kRead, "A", SharedReload::kKeep},
      {"A", Kind::kRead, "B", SharedReload::kTakeNew},
      {"A", Kind::kRead, "", SharedReload::kTakeNew},
      {"A", Kind::kUnchanged, "", SharedReload::kKeep},
      {"A", Kind::kUnreachable, "", SharedReload::kKeep},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DecideSharedReload(c.inUse, SharedFileAnswer{c.kind, c.bytes}), c.expected)
        << static_cast<int>(c.kind) << c.bytes;
  }
}

TEST(SiteSection, OnlyTheLocalFileNamesTheSharedFileByItsFullPath) {
  const struct {
    SettingsOrigin origin;
    const wchar_t* text;
    const wchar_t* path;
    std::vector<int> problemLines;
  } cases[] = {
      {SettingsOrigin::kLocal,
       L"[站点]  ; [Site]\n共享设置 = \\\\his-server\\k\\KeyEntry.ini  ; x\n",
       L"\\\\his-server\\k\\KeyEntry.ini",
       {}},
      {SettingsOrigin::kLocal,
       L"[site]\nsharedsettings = \"Z:\\设置\\k.ini\"\n",
       L"Z:\\设置\\k.ini",
       {}},
      {SettingsOrigin::kLocal,
       L"[Site]\nSharedSettings = k.ini\n共享设置 = Z:k.ini\n共享设置 = \\\\\\x\n共享设置 =\n"
       L"共享 = Z:\\a.ini\n共享设置 = z:/b.ini\n共享设置 = Z:\\c.ini\n",
       L"z:/b.ini",
       {2, 3, 4, 5, 6, 8}},
      {SettingsOrigin::kShared, L"[站点]\n共享设置 = \\\\other\\k.ini\n[模板]\nF9 = a\n", L"", {1}},
      // In double quotes the path is taken whole, " #" and " ;" included.
      {SettingsOrigin::kLocal,
       L"[站点]\n共享设置 = \"\\\\srv\\Site #2\\KeyEntry.ini\"\n",
       L"\\\\srv\\Site #2\\KeyEntry.ini",
       {}},
      {SettingsOrigin::kLocal,
       L"[站点]\n共享设置 = \"Z:\\a ;b #c\\k.ini\"  ; the share\n",
       L"Z:\\a ;b #c\\k.ini",
       {}},
      // Without its closing quote the old rule cuts the comment off.
      {SettingsOrigin::kLocal, L"[站点]\n共享设置 = \"Z:\\a #b\\k.ini\n", L"", {2}},
  };
  for (const auto& c : cases) {
    const SettingsContent s = Parse(c.text, c.origin);
    EXPECT_EQ(s.sharedPath, c.path) << U8(c.text);
    std::vector<int> lines;
    for (const SettingsProblem& p : s.problems) lines.push_back(p.line);
    EXPECT_EQ(lines, c.problemLines) << U8(c.text);
  }
  EXPECT_EQ(Parse(L"[站点]\n共享设置 = k.ini\n").problems.at(0).what,
            L"“共享设置”的值应为共享设置文件的完整路径，例如 \\\\server\\keyentry\\KeyEntry.ini "
            L"或 Z:\\keyentry\\KeyEntry.ini。");
  const SettingsContent shared = Parse(L"[站点]\n[模板]\nF9 = a\n", SettingsOrigin::kShared);
  EXPECT_EQ(shared.problems.at(0).what,
            L"共享设置文件中不能有 [站点] 节（共享设置只能由各台电脑"
            L"自己的 KeyEntry.ini 指定），此节中的各行均未采用。");
  EXPECT_NE(shared.FindTemplate(120), nullptr);
}

// The program's loading of KeyEntry.ini with a shared file, on the core.
class SharedSettingsLoad : public ::testing::Test {
 protected:
  CoreRig rig;
  static constexpr const wchar_t* kCopy = L"C:\\app\\KeyEntry.shared.ini";
  void SetUp() override {
    rig.files.files[CoreRig::kKeyFile] = kKeyFileF1ToF8;
    Local(L"");
  }
  void Local(std::wstring_view rest) {
    rig.files.files[CoreRig::kIniFile] =
        U8(L"[站点]\n共享设置 = \\\\his-server\\keyentry\\KeyEntry.ini\n" + std::wstring(rest));
  }
  void Answer(std::wstring_view text, std::int64_t now = 1060) {
    rig.maths.SharedFileAnswered({SharedFileAnswer::Kind::kRead, U8(text)}, now);
  }
  void Answer(SharedFileAnswer::Kind kind, std::int64_t now = 1000) {
    rig.maths.SharedFileAnswered({kind, {}}, now);
  }
  std::string Typed(int key) {
    const KeyTemplate* t =
        rig.tables.Current()->settings->FindTemplate(static_cast<std::int16_t>(111 + key));
    return t ? keyentry::test::Typed(t->parsed) : "<none>";
  }
  using State = SharedSettingsStatus::State;
  const SharedSettingsStatus& Status() const { return rig.maths.SharedStatus(); }
  // KeyEntry.shared.ini as the program writes it: the source, then the text.
  static std::string Copy(std::wstring_view text, std::wstring_view source = kShare) {
    return "; KeyEntry copy of: " + U8(source) + "\r\n" + U8(text);
  }
};

TEST_F(SharedSettingsLoad, TheCopyServesAtOnceUntilTheShareAnswersWithANewVersion) {
  rig.files.files[kCopy] = U8(L"[模板]\nF9 = 副本\n");
  rig.files.times[kCopy] = 500;
  Local(L"[模板]\nF10 = 本机\n");
  rig.maths.InitDevice();
  EXPECT_EQ(Typed(9) + Typed(10), "副本本机");
  EXPECT_EQ(Status().state, State::kWaiting);
  EXPECT_TRUE(Status().UsingCopy());
  EXPECT_EQ(Status().copyTime, 500);
  // The same content: nothing is written, nothing loaded.
  const auto table = rig.tables.Current();
  Answer(L"[模板]\nF9 = 副本\n", 1000);
  EXPECT_EQ(rig.tables.Current(), table);
  EXPECT_EQ(rig.files.replaceCalls, 0);
  EXPECT_EQ(Status().state, State::kReadOk);
  EXPECT_FALSE(Status().UsingCopy());
  // A new version is saved as the copy and applies under the local file.
  Answer(L"[模板]\nF9 = 新版\nF10 = 共享\n", 1060);
  EXPECT_EQ(Typed(9) + Typed(10), "新版本机");
  EXPECT_EQ(rig.files.files[kCopy], Copy(L"[模板]\nF9 = 新版\nF10 = 共享\n"));
  // Unreachable: the version stays, the status tells since when, no message;
  // nor at a click of the read button, which reloads the local file.
  Answer(SharedFileAnswer::Kind::kUnreachable, 1120);
  Answer(SharedFileAnswer::Kind::kUnreachable, 1180);
  rig.maths.InitDevice();
  EXPECT_EQ(Typed(9), "新版");
  EXPECT_EQ(Status().state, State::kUnreachable);
  EXPECT_EQ(Status().unreachableSince, 1120);
  EXPECT_EQ(Status().lastReadOk, 1060);
  EXPECT_EQ(Status().copyTime, 1060);
  EXPECT_TRUE(rig.messages.shown.empty());
  EXPECT_EQ(rig.files.replaceCalls, 1);
}

TEST_F(SharedSettingsLoad, WithoutCopyOnlyTheLocalFileAppliesAndAFailedCopyIsWrittenLater) {
  Local(L"[模板]\nF10 = 本机\n");
  rig.maths.InitDevice();
  Answer(SharedFileAnswer::Kind::kUnreachable);
  EXPECT_EQ(Typed(9) + Typed(10), "<none>本机");
  EXPECT_FALSE(Status().UsingCopy());
  rig.files.failWrites = true;  // the program folder, read-only for a while
  Answer(L"[模板]\nF9 = 共享\n", 1060);
  EXPECT_EQ(Typed(9), "共享");
  Answer(SharedFileAnswer::Kind::kUnchanged, 1120);
  EXPECT_EQ(Status().copyFailedSince, 1060);
  EXPECT_FALSE(Status().UsingCopy());
  // Written at the next answer, though the share has not changed.
  rig.files.failWrites = false;
  Answer(SharedFileAnswer::Kind::kUnchanged, 1180);
  EXPECT_EQ(rig.files.files[kCopy], Copy(L"[模板]\nF9 = 共享\n"));
  EXPECT_EQ(Status().copyFailedSince, 0);
  EXPECT_EQ(Status().copyTime, 1180);
  // Also while the share cannot be read: the version in use came from it.
  rig.files.failWrites = true;
  Answer(L"[模板]\nF9 = 新版\n", 1240);
  rig.files.failWrites = false;
  Answer(SharedFileAnswer::Kind::kUnreachable, 1300);
  EXPECT_EQ(rig.files.files[kCopy], Copy(L"[模板]\nF9 = 新版\n"));
  EXPECT_EQ(rig.files.replaceCalls, 5);
  // Named no more: the shared settings are gone, a late answer is dropped.
  rig.files.files[CoreRig::kIniFile] = U8(L"[模板]\nF10 = 本机\n");
  rig.maths.ReloadSettings();
  Answer(L"[模板]\nF9 = 迟到\n");
  EXPECT_EQ(Typed(9), "<none>");
  EXPECT_EQ(Status().state, State::kNotUsed);
  EXPECT_TRUE(rig.messages.shown.empty());
}

TEST_F(SharedSettingsLoad, SharedProblemsAreReportedOncePerVersionWithTheFullPathInTheSameBox) {
  rig.files.files[kCopy] = Copy(L"[模板]\nF9 = {姓名\n");
  Local(L"x\n");
  rig.maths.InitDevice();
  ASSERT_EQ(rig.messages.shown.size(), 1u);
  EXPECT_EQ(
      rig.messages.shown[0],
      L"KeyEntry.ini 中有 1 处问题。以下各行未被采用，文件的其余部分照常生效。\n\n"
      L"第 3 行：x\n"
      L"    这一行既不是节名（如 [模板]），也不是“名称 = 值”，也不是注释（以 ; 或 # "
      L"开头）。\n\n"
      L"请在主窗口的系统菜单中点“编辑模板 (KeyEntry.ini)”修改。\n\n"
      L"\\\\his-server\\keyentry\\KeyEntry.ini 中有 1 处问题。以下各行未被采用，"
      L"文件的其余部分照常生效。\n\n"
      L"第 2 行：F9 = {姓名\n"
      L"    模板有误：“{姓名”缺少右大括号“}”（要录入大括号本身，请写 {{）。\n\n"
      L"这是各台电脑共用的共享设置文件，本程序只读取它，不会修改它。请告知负责的管理员修改。");
  // The same version from the share, each minute, and the read button: the
  // shared file's problems are not told again; the local file's are.
  Answer(L"[模板]\nF9 = {姓名\n");
  Answer(SharedFileAnswer::Kind::kUnchanged);
  rig.maths.InitDevice();
  ASSERT_EQ(rig.messages.shown.size(), 2u);
  EXPECT_EQ(rig.messages.shown[1].find(kShare), std::wstring::npos);
  // A new version (its template on a key of a field): told once, alone.
  Answer(L"[模板]\n\nF3 = {姓名}\n");
  Answer(L"[模板]\n\nF3 = {姓名}\n");
  ASSERT_EQ(rig.messages.shown.size(), 3u);
  EXPECT_EQ(rig.messages.shown[2].find(std::wstring(kShare) + L" 中有 1 处问题"), 0u);
  EXPECT_NE(rig.messages.shown[2].find(L"第 3 行：F3 = {姓名}\n    按键 F3 已在 SetKey.txt"),
            std::wstring::npos);
}

// Another shared file named: nothing of the one before stays in use, its
// copy included, until the new one answers; the copy serves only the file
// it names (an old copy without its source: only the file named at start,
// see TheCopyServesAtOnce...).
TEST_F(SharedSettingsLoad, AnotherPathDropsTheVersionProblemsAndCopyOfTheFileBefore) {
  const std::wstring other = L"\\\\new-server\\k\\KeyEntry.ini";
  rig.maths.ReloadSettings();
  Answer(L"[模板]\nF9 = {姓名\n", 1000);
  ASSERT_EQ(rig.messages.shown.size(), 1u);
  // The new share cannot be reached: only the local file, and the status
  // starts afresh.
  Local(L"");
  rig.files.files[CoreRig::kIniFile] = U8(L"[站点]\n共享设置 = " + other + L"\n");
  rig.maths.ReloadSettings();
  Answer(SharedFileAnswer::Kind::kUnreachable, 1060);
  EXPECT_EQ(Typed(9), "<none>");
  EXPECT_EQ(Status().lastReadOk, 0);
  EXPECT_EQ(Status().copyTime, 0);
  // Its problems are told, though the file before had the same; its copy.
  Answer(L"[模板]\nF9 = {姓名\n", 1120);
  ASSERT_EQ(rig.messages.shown.size(), 2u);
  EXPECT_EQ(rig.messages.shown[1].find(other + L" 中有 1 处问题"), 0u);
  EXPECT_EQ(rig.files.files[kCopy], Copy(L"[模板]\nF9 = {姓名\n", other));

  // Each copy named again after no file at all: whether it serves.
  const struct {
    std::string copy;
    std::wstring named;
    const char* typed;  // F9
  } cases[] = {
      {Copy(L"[模板]\nF9 = 副本\n"), kShare, "副本"},
      {Copy(L"[模板]\nF9 = 副本\n", L"\\\\HIS-SERVER\\KeyEntry\\keyentry.INI"), kShare, "副本"},
      {Copy(L"[模板]\nF9 = 副本\n", other), kShare, "<none>"},
      {Copy(L"[模板]\nF9 = 副本\n"), other, "<none>"},
      {U8(L"[模板]\nF9 = 旧副本\n"), kShare, "<none>"},  // without its source
      {"; KeyEntry copy of: \xFF\r\n[模板]\nF9 = 副本\n", kShare, "<none>"},
  };
  for (const auto& c : cases) {
    rig.files.files[CoreRig::kIniFile] = "";
    rig.maths.ReloadSettings();
    rig.files.files[kCopy] = c.copy;
    rig.files.times[kCopy] = 500;
    rig.files.files[CoreRig::kIniFile] = U8(L"[站点]\n共享设置 = " + c.named + L"\n");
    rig.maths.ReloadSettings();
    EXPECT_EQ(Typed(9), c.typed) << c.copy;
    EXPECT_EQ(Status().UsingCopy(), std::string(c.typed) != "<none>") << c.copy;
  }
}

}  // namespace
}  // namespace keyentry::test
