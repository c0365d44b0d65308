// Fuzzes the reader of KeyEntry.ini and the template language, with a
// one-byte and a multi-byte stand-in for code page 936.
//
// Checked for every input and both code pages:
// - every problem lies on a line of the file, problems come in line order,
//   each says what is wrong, and no line text holds a line end;
// - each template is on a key F1..F24, each key at most once, on a line of
//   the file; typing and privacy values are within their ranges;
// - every template expands for a card, for no card and for card values
//   made of the input, on several days (29 February, an impossible day):
//   texts are never empty nor adjacent, pauses are positive, and pauses
//   come from {延时} only unless the field delay is above 0, when each key
//   press is followed by a pause of that length;
// - the whole input taken as one template either fails at an offset within
//   it, or expands as above;
// - templates on keys of card fields are dropped, each with a problem;
// - the report is empty exactly when there are no problems;
// - read as a site's shared file it names no further shared file, and merged
//   under a local file (none, or the same input) each key has one template,
//   every local template stays, and every problem of both files is kept
//   with its file.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/SettingsFile.h"
#include "core/SharedSettings.h"
#include "core/Template.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/support/Utf8Codec.h"

namespace {

using keyentry::StepKind;
using keyentry::TypingStep;

constexpr int kFieldDelayMs = 100;

void CheckSteps(const std::vector<TypingStep>& steps, int fieldDelayMs) {
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const TypingStep& s = steps[i];
    if (s.kind == StepKind::kText) {
      FUZZ_CHECK(!s.text.empty());
      FUZZ_CHECK(i == 0 || steps[i - 1].kind != StepKind::kText);
    } else if (s.kind == StepKind::kPause) {
      FUZZ_CHECK(s.ms > 0 && s.ms <= 5000);
    } else if (fieldDelayMs > 0) {
      FUZZ_CHECK(i + 1 < steps.size() && steps[i + 1].kind == StepKind::kPause &&
                 steps[i + 1].ms == fieldDelayMs);
    }
  }
}

void CheckExpansion(const keyentry::Template& t, const std::wstring& text) {
  using keyentry::CardFieldValues;
  using keyentry::Date;
  std::vector<CardFieldValues> cards(3);
  cards[0] = {
      L"张三",           L"男", L"汉", L"20000229", L"北京", L"110108200002290011", L"公安局",
      L"2016.03.15-长期"};
  // cards[1]: no card read yet. cards[2]: the input's lines as values.
  std::size_t start = 0;
  for (int k = 0; k < keyentry::kCardFieldCount && start <= text.size(); ++k) {
    const std::size_t end = std::min(text.find(L'\n', start), text.size());
    cards[2][static_cast<std::size_t>(k)] = text.substr(start, end - start);
    start = end + 1;
  }
  const Date days[] = {{2024, 2, 29}, {2023, 2, 28}, {1, 1, 1}, {9999, 12, 31}, {2023, 2, 29}};
  for (const CardFieldValues& card : cards) {
    for (const Date& today : days) {
      const auto plain = t.Expand(card, today, 0);
      const auto delayed = t.Expand(card, today, kFieldDelayMs);
      CheckSteps(plain, 0);
      CheckSteps(delayed, kFieldDelayMs);
      std::size_t keys = 0, keysDelayed = 0;
      for (const auto& s : plain) keys += s.kind == StepKind::kKey;
      for (const auto& s : delayed) keysDelayed += s.kind == StepKind::kKey;
      FUZZ_CHECK(keys == keysDelayed);
      FUZZ_CHECK(keyentry::HasPause(delayed) == (keys > 0 || keyentry::HasPause(plain)));
    }
  }
}

void CheckMerge(std::string_view input, const keyentry::TextCodec& codec,
                const keyentry::SettingsContent& local) {
  const std::wstring path = L"\\\\server\\share\\KeyEntry.ini";
  const keyentry::SettingsContent shared =
      keyentry::ParseSettingsFile(input, codec, keyentry::SettingsOrigin::kShared);
  FUZZ_CHECK(shared.sharedPath.empty());
  const keyentry::SettingsContent none;
  for (const keyentry::SettingsContent* own : {&none, &local}) {
    const keyentry::SettingsContent merged = keyentry::MergeSettings(shared, *own, path);
    bool seen[keyentry::kTemplateKeyCount + 1] = {};
    for (const auto& t : merged.templates) {
      FUZZ_CHECK(!seen[t.keyNumber]);
      seen[t.keyNumber] = true;
      FUZZ_CHECK(t.file.empty() || t.file == path);
    }
    for (const auto& t : own->templates) {
      const keyentry::KeyTemplate* m = merged.FindTemplate(t.vkCode);
      FUZZ_CHECK(m && m->file.empty() && m->line == t.line);
    }
    FUZZ_CHECK(merged.problems.size() == own->problems.size() + shared.problems.size());
    std::size_t fromShared = 0;
    for (const auto& p : merged.problems) fromShared += p.file == path;
    FUZZ_CHECK(fromShared == shared.problems.size());
    FUZZ_CHECK(merged.sharedPath == own->sharedPath);
    const keyentry::TypingSettings typing = merged.TypingFor(L"a.exe");
    FUZZ_CHECK(typing.fieldDelayMs >= 0 && typing.fieldDelayMs <= 2000);
    FUZZ_CHECK(typing.charDelayMs >= 0 && typing.charDelayMs <= 50);
    FUZZ_CHECK(merged.privacy.clearAfterSeconds >= 0 && merged.privacy.clearAfterSeconds <= 86400);
  }
}

void Check(std::string_view input, const keyentry::TextCodec& codec) {
  keyentry::SettingsContent s = keyentry::ParseSettingsFile(input, codec);

  // Each line end takes a CR or LF byte in every encoding read.
  int lineEnds = 0;
  for (char c : input) lineEnds += c == '\n' || c == '\r';
  int previous = 1;
  for (const auto& p : s.problems) {
    FUZZ_CHECK(p.line >= previous && p.line <= lineEnds + 1);
    previous = p.line;
    FUZZ_CHECK(!p.what.empty());
    FUZZ_CHECK(p.lineText.find_first_of(L"\r\n") == std::wstring::npos);
  }
  bool seen[keyentry::kTemplateKeyCount + 1] = {};
  for (const auto& t : s.templates) {
    FUZZ_CHECK(t.keyNumber >= 1 && t.keyNumber <= keyentry::kTemplateKeyCount);
    FUZZ_CHECK(!seen[t.keyNumber]);
    seen[t.keyNumber] = true;
    FUZZ_CHECK(t.vkCode == 111 + t.keyNumber);
    FUZZ_CHECK(s.FindTemplate(t.vkCode) == &t);
    FUZZ_CHECK(t.line >= 1 && t.line <= lineEnds + 1);
  }
  std::vector<std::wstring> programs = {L"", L"a.exe"};
  for (const auto& [name, overrides] : s.programs) programs.push_back(name);
  for (const auto& name : programs) {
    const keyentry::TypingSettings typing = s.TypingFor(name);
    FUZZ_CHECK(typing.fieldDelayMs >= 0 && typing.fieldDelayMs <= 2000);
    FUZZ_CHECK(typing.charDelayMs >= 0 && typing.charDelayMs <= 50);
  }
  FUZZ_CHECK(s.privacy.clearAfterSeconds >= 0 && s.privacy.clearAfterSeconds <= 86400);

  const std::wstring text = codec.ToWide(input);
  for (const auto& t : s.templates) CheckExpansion(t.parsed, text);

  const keyentry::ParsedTemplate whole = keyentry::ParseTemplate(text);
  if (whole.error) {
    FUZZ_CHECK(whole.error->offset < text.size());
    FUZZ_CHECK(!whole.error->what.empty());
  } else {
    CheckExpansion(whole.value, text);
  }

  FUZZ_CHECK(keyentry::FormatSettingsReport(s.problems).empty() == s.problems.empty());
  CheckMerge(input, codec, s);
  const std::size_t templates = s.templates.size(), problems = s.problems.size();
  keyentry::DropTemplatesOnFieldKeys(s, {L"F1", L"F2", L"F3", L"F4", L"F5", L"F6", L"F7", L"F8"});
  for (const auto& t : s.templates) FUZZ_CHECK(t.keyNumber > 8);
  FUZZ_CHECK(templates - s.templates.size() == s.problems.size() - problems);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  Check(input, keyentry::fuzz::Latin1Codec());
  Check(input, keyentry::test::Utf8Codec());
  return 0;
}
