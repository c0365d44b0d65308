#include "core/SelfCheck.h"

#include <algorithm>
#include <utility>

#include "core/IdNumberMask.h"
#include "core/TextTools.h"
#include "core/Texts.h"
#include "core/TypingPlan.h"
#include "core/Wipe.h"

namespace keyentry {

namespace {

constexpr std::uint32_t kErrorBadExeFormat = 193;  // ERROR_BAD_EXE_FORMAT
constexpr std::uint32_t kErrorModNotFound = 126;   // ERROR_MOD_NOT_FOUND
constexpr std::size_t kShownLineLength = 40;       // of a problem line of KeyEntry.ini

std::wstring Number(long long n) { return std::to_wstring(n); }

std::wstring Joined(const std::vector<std::wstring>& parts, std::wstring_view separator) {
  std::wstring out;
  for (const auto& part : parts) {
    if (!out.empty()) out += separator;
    out += part;
  }
  return out;
}

std::wstring LibraryLine(const LibraryFacts& library) {
  switch (library.state) {
    case LibraryFacts::State::kNotTried:
      return kCheckLibraryNotTried;
    case LibraryFacts::State::kLoaded:
      return library.path;
    case LibraryFacts::State::kNotFound:
      return Substitute(kCheckLibraryNotFound, {library.path});
    case LibraryFacts::State::kLoadFailed: {
      const wchar_t* meaning = library.error == kErrorBadExeFormat  ? kCheckErrorBadFormat
                               : library.error == kErrorModNotFound ? kCheckErrorDependency
                                                                    : L"";
      return Substitute(kCheckLibraryLoadFailed, {library.path, Number(library.error), meaning});
    }
    case LibraryFacts::State::kMissingFunctions:
      return Substitute(kCheckLibraryMissing,
                        {library.path, Joined(library.missing, kCheckListSeparator)});
  }
  return {};
}

std::wstring FolderLine(const SelfCheckFacts& facts) {
  return Substitute(facts.folderWritable ? kCheckFolderWritable : kCheckFolderNotWritable,
                    {facts.folder});
}

// Who may change the program folder: a warning naming them, or that it is safe.
std::wstring FolderAccessLine(const std::vector<OpenAccess>& open) {
  if (open.empty()) return kCheckFolderAccessSafe;
  std::vector<std::wstring> names;
  bool folder = false, files = false;
  for (const OpenAccess& access : open) {
    names.push_back(SidName(access.sid));
    folder = folder || access.onFolder;
    files = files || access.onFiles;
  }
  const wchar_t* what = folder && files ? kCheckFolderAccessBoth
                        : folder        ? kCheckFolderAccessFolder
                                        : kCheckFolderAccessFiles;
  return Substitute(kCheckFolderAccessOpen, {Joined(names, kCheckListSeparator), what});
}

std::wstring PortLine(const SelfCheckFacts& facts) {
  if (!facts.connected) return kCheckPortNone;
  return Substitute(facts.readingOn ? kCheckPortReading : kCheckPortStopped, {facts.port});
}

std::wstring HookLine(const HookFacts& hook) {
  if (!hook.installed) return kCheckHookOff;
  const std::wstring renewals = Number(hook.renewals);
  if (!hook.msSinceKey) return Substitute(kCheckHookNoKey, {renewals});
  return Substitute(kCheckHookOn, {Number(*hook.msSinceKey / 1000), renewals});
}

std::wstring SendStrLine(const SelfCheckFacts& facts) {
  std::wstring line = LibraryLine(facts.sendStr);
  if (facts.sendStr.state == LibraryFacts::State::kNotTried) line += kCheckSendStrWaits;
  return line;
}

// A line of the file as the status shows it: on one line, cut when long.
std::wstring ShownLine(std::wstring_view line) {
  std::wstring shown = Shortened(TrimBlanks(line), kShownLineLength, kIniReportEllipsis);
  for (wchar_t& c : shown) {
    if (c < 0x20 || c == 0x7F) c = L' ';
  }
  return shown;
}

std::wstring SettingsLine(const SelfCheckFacts& facts) {
  if (!facts.settingsFound || !facts.settings) return kCheckSettingsMissing;
  const SettingsContent& settings = *facts.settings;
  std::wstring line =
      Substitute(kCheckSettingsLoaded, {Number(static_cast<long long>(settings.templates.size())),
                                        settings.OnReadAnywhere() ? kCheckOn : kCheckOff});
  if (settings.problems.empty()) return line;
  line += Substitute(kCheckSettingsProblems,
                     {Number(static_cast<long long>(settings.problems.size()))});
  std::vector<std::wstring> listed;
  for (const SettingsProblem& problem : settings.problems) {
    if (listed.size() == kReportMaxProblems) {
      listed.push_back(Substitute(
          kCheckSettingsMore,
          {Number(static_cast<long long>(settings.problems.size() - kReportMaxProblems))}));
      break;
    }
    listed.push_back(Substitute(kCheckSettingsProblem,
                                {Number(problem.line), ShownLine(problem.lineText), problem.what}));
  }
  return line + Joined(listed, L"；");
}

std::wstring TypingLine(const SelfCheckFacts& facts) {
  if (!facts.program) return kCheckNoProgram;
  const std::wstring& program = *facts.program;
  const SettingsContent defaults;
  const SettingsContent& settings = facts.settings ? *facts.settings : defaults;
  const TypingSettings typing = settings.TypingFor(program);
  std::wstring line = Substitute(
      kCheckTypingFor, {program.empty() ? kCheckUnknownProgram : program, ModeName(typing.mode),
                        Number(typing.fieldDelayMs), Number(typing.charDelayMs),
                        settings.OnReadFor(program) ? kCheckOn : kCheckOff});
  const std::wstring key = LowerAscii(program);
  if (!program.empty() && (settings.programs.count(key) || settings.programOnRead.count(key))) {
    line += Substitute(kCheckOwnSection, {program});
  }
  return line;
}

std::wstring PrivacyLine(const SelfCheckFacts& facts) {
  const PrivacySettings privacy = facts.settings ? facts.settings->privacy : PrivacySettings{};
  std::wstring seconds = Number(privacy.clearAfterSeconds);
  if (privacy.clearAfterSeconds == 0) seconds += kCheckNeverClear;
  return Substitute(kCheckPrivacyLine, {seconds, privacy.deleteCardFiles ? kCheckYes : kCheckNo,
                                        privacy.maskIdNumber ? kCheckYes : kCheckNo});
}

// How long ago: seconds, minutes, hours or days.
std::wstring Age(std::int64_t seconds) {
  if (seconds < 0) seconds = 0;
  if (seconds < 120) return Substitute(kCheckAgeSeconds, {Number(seconds)});
  if (seconds < 2 * 3600) return Substitute(kCheckAgeMinutes, {Number(seconds / 60)});
  if (seconds < 2 * 86400) return Substitute(kCheckAgeHours, {Number(seconds / 3600)});
  return Substitute(kCheckAgeDays, {Number(seconds / 86400)});
}

std::wstring SharedLine(const SharedSettingsStatus& shared, std::int64_t now) {
  using State = SharedSettingsStatus::State;
  std::wstring line;
  switch (shared.state) {
    case State::kNotUsed:
      return {};
    case State::kWaiting:
      line = Substitute(kCheckSharedWaiting, {shared.path});
      break;
    case State::kReadOk:
      line = Substitute(kCheckSharedReadOk, {shared.path, Age(now - shared.lastReadOk)});
      break;
    case State::kUnreachable:
      line = Substitute(kCheckSharedUnreachable, {shared.path, Age(now - shared.unreachableSince)});
      break;
  }
  if (shared.copyFailedSince != 0) {
    // The version in use was read from the share; its copy is not saved.
    if (shared.state != State::kReadOk) {
      line += Substitute(kCheckSharedInMemory, {Age(now - shared.lastReadOk)});
    }
    return line + Substitute(kCheckSharedCopyFailed, {Age(now - shared.copyFailedSince)});
  }
  if (shared.state == State::kReadOk) return line;
  return line + (shared.UsingCopy() ? Substitute(kCheckSharedCopy, {Age(now - shared.copyTime)})
                                    : std::wstring(kCheckSharedNoCopy));
}

bool HoldsAnyField(const CardFieldValues& card) {
  return std::any_of(card.begin(), card.end(), [](const auto& value) { return value.has_value(); });
}

// The switched-on checks of [核验]; nothing when none is on.
std::wstring ChecksLine(const SelfCheckFacts& facts) {
  if (!facts.settings) return {};
  const CheckSettings& checks = facts.settings->checks;
  if (!checks.AnyOn() && !checks.holdOnRead) return {};
  std::vector<std::wstring> on;
  if (checks.expired) on.push_back(kCheckChecksExpired);
  if (checks.underAge > 0)
    on.push_back(Substitute(kCheckChecksUnderAge, {Number(checks.underAge)}));
  if (checks.idNumber) on.push_back(kCheckChecksNumber);
  std::wstring line = on.empty() ? std::wstring(kCheckChecksNone) : Joined(on, L"、");
  if (checks.holdOnRead) line += kCheckChecksHold;
  return line;
}

const wchar_t* KeySymbol(SpecialKey key) {
  switch (key) {
    case SpecialKey::kTab:
      return kPreviewTab;
    case SpecialKey::kShiftTab:
      return kPreviewShiftTab;
    case SpecialKey::kEnter:
      return kPreviewEnter;
    case SpecialKey::kUp:
      return kPreviewUp;
    case SpecialKey::kDown:
      return kPreviewDown;
    case SpecialKey::kLeft:
      return kPreviewLeft;
    case SpecialKey::kRight:
      return kPreviewRight;
    case SpecialKey::kHome:
      return kPreviewHome;
    case SpecialKey::kEnd:
      return kPreviewEnd;
    case SpecialKey::kSpace:
      return kPreviewSpace;
    case SpecialKey::kEsc:
      return kPreviewEsc;
    case SpecialKey::kBackspace:
      return kPreviewBackspace;
    case SpecialKey::kDelete:
      return kPreviewDelete;
    case SpecialKey::kCtrlA:
      return kPreviewCtrlA;
  }
  return L"";
}

}  // namespace

std::vector<std::wstring> SelfCheckLines(const SelfCheckFacts& facts) {
  std::vector<std::wstring> lines = {
      kCheckVersion + facts.version,
      kCheckFolder + FolderLine(facts),
      kCheckReader + LibraryLine(facts.reader),
      kCheckPort + PortLine(facts),
      kCheckHook + HookLine(facts.hook),
      kCheckSendStr + SendStrLine(facts),
      kCheckSettings + SettingsLine(facts),
      kCheckTyping + TypingLine(facts),
      kCheckPrivacy + PrivacyLine(facts),
  };
  const std::wstring checks = ChecksLine(facts);
  if (!checks.empty()) lines.push_back(kCheckChecks + checks);
  if (facts.photos) {
    lines.push_back(
        kCheckPhotos +
        Substitute(kCheckPhotoFiles,
                   {facts.photos->folder, Number(static_cast<long long>(facts.photos->files))}));
  }
  if (facts.shared && facts.shared->state != SharedSettingsStatus::State::kNotUsed) {
    lines.push_back(kCheckShared + SharedLine(*facts.shared, facts.now));
  }
  if (facts.readerProcess) {
    const ReaderProcessFacts& helper = *facts.readerProcess;
    std::wstring line = std::wstring(kCheckReaderProcess) + kReaderHelperName +
                        (helper.running ? kCheckHelperRunning : kCheckHelperNotRunning) +
                        Substitute(kCheckHelperRestarts, {std::to_wstring(helper.restarts)});
    if (!helper.lastReason.empty()) line += Substitute(kCheckHelperLastReason, {helper.lastReason});
    lines.push_back(line);
  }
  if (!facts.folderAccessRead) {
    lines.push_back(std::wstring(kCheckFolderAccess) + kCheckFolderAccessUnknown);
  } else if (facts.folderOpenTo) {
    lines.push_back(kCheckFolderAccess + FolderAccessLine(*facts.folderOpenTo));
  }
  return lines;
}

const wchar_t* ModeName(TypingMode mode) {
  switch (mode) {
    case TypingMode::kKeys:
      return kModeKeys;
    case TypingMode::kPaste:
      return kModePaste;
    case TypingMode::kUnicode:
      break;
  }
  return kModeUnicode;
}

std::wstring RenderSteps(const std::vector<TypingStep>& steps) {
  std::wstring out;
  for (const TypingStep& step : steps) {
    switch (step.kind) {
      case StepKind::kText:
        out += step.text;
        break;
      case StepKind::kKey:
        out += KeySymbol(step.key);
        break;
      case StepKind::kPause:
        out += kPreviewPause + Number(step.ms);
        break;
      case StepKind::kPhoto:
        out += kPreviewPhoto;
        break;
      case StepKind::kPhotoFile:
        out += kPreviewPhotoFile;
        break;
    }
  }
  return out;
}

std::optional<std::wstring> BoxTextOf(const std::vector<TypingStep>& steps) {
  std::wstring text;
  for (const TypingStep& step : steps) {
    if (step.kind == StepKind::kKey || step.kind == StepKind::kPhoto ||
        step.kind == StepKind::kPhotoFile) {
      WipeText(text);
      return std::nullopt;
    }
    if (step.kind == StepKind::kText) text += step.text;
  }
  return text;
}

std::uint32_t ArrivalWaitMs(const std::vector<TypingStep>& steps, const TypingSettings& settings) {
  std::uint64_t ms = kArrivalWaitMs;
  const std::uint64_t charDelay =
      settings.mode == TypingMode::kPaste ? 0 : static_cast<std::uint64_t>(settings.charDelayMs);
  for (const TypingStep& step : steps) {
    if (step.kind == StepKind::kPause) ms += static_cast<std::uint64_t>(step.ms);
    if (step.kind == StepKind::kKey) ms += charDelay;
    if (step.kind == StepKind::kText) ms += charDelay * step.text.size();
  }
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(ms, 600000));
}

std::vector<PreviewItem> PreviewItems(const SettingsContent& settings) {
  std::vector<PreviewItem> items;
  for (int key = 1; key <= kTemplateKeyCount; ++key) {
    const auto vk = static_cast<std::int16_t>(TemplateKeyToCode(L"F" + Number(key)));
    if (settings.FindTemplate(vk)) items.push_back(PreviewItem{key, {}});
  }
  if (settings.onRead && settings.onRead->enabled) items.push_back(PreviewItem{0, {}});
  for (const auto& [program, onRead] : settings.programOnRead) {
    if (onRead.enabled) items.push_back(PreviewItem{0, program});
  }
  return items;
}

std::wstring PreviewLabel(const PreviewItem& item) {
  if (item.keyNumber > 0) return L"F" + Number(item.keyNumber);
  if (item.program.empty()) return kPreviewOnRead;
  return Substitute(kPreviewOnReadFor, {item.program});
}

std::wstring PreviewText(const SettingsContent& settings, const PreviewItem& item,
                         const CardFieldValues& card, const Date& today, int fieldDelayMs) {
  const Template* found = nullptr;
  if (item.keyNumber > 0) {
    const KeyTemplate* key =
        settings.FindTemplate(TemplateKeyToCode(L"F" + Number(item.keyNumber)));
    if (key) found = &key->parsed;
  } else if (item.program.empty()) {
    if (settings.onRead && settings.onRead->enabled) found = &settings.onRead->parsed;
  } else {
    const auto onRead = settings.programOnRead.find(item.program);
    if (onRead != settings.programOnRead.end() && onRead->second.enabled) {
      found = &onRead->second.parsed;
    }
  }
  if (!found) return {};
  const bool sample = !HoldsAnyField(card);
  CardFieldValues shown;
  for (int k = 0; k < kCardFieldCount; ++k) {
    const auto at = static_cast<std::size_t>(k);
    shown[at] = sample ? std::optional<std::wstring>(kSampleCard[at]) : card[at];
  }
  if (settings.privacy.maskIdNumber && shown[kIdNumberField]) {
    shown[kIdNumberField] = MaskIdNumber(*shown[kIdNumberField]);
  }
  std::vector<TypingStep> steps = found->Expand(shown, today, fieldDelayMs);
  std::wstring text = (sample ? kPreviewSampleMark : L"") + RenderSteps(steps);
  Wipe(steps);
  WipeCardValues(shown);
  return text;
}

std::wstring SelfCheckReport(const std::vector<std::wstring>& lines,
                             const std::vector<std::pair<std::wstring, std::wstring>>& tests) {
  std::wstring report = std::wstring(kReportTitle) + L"\r\n";
  for (const auto& line : lines) report += line + L"\r\n";
  report += std::wstring(kReportTests) + L"\r\n";
  for (const auto& [caption, result] : tests) {
    report += Substitute(kReportTestLine, {caption, result}) + L"\r\n";
  }
  return report;
}

ArrivalCheck::ArrivalCheck(std::wstring before, std::wstring expected, std::uint64_t startMs,
                           std::uint32_t waitMs)
    : before_(std::move(before)),
      expected_(std::move(expected)),
      startMs_(startMs),
      waitMs_(waitMs) {}

ArrivalCheck::~ArrivalCheck() {
  WipeText(before_);
  WipeText(expected_);
  WipeText(arrived_);
}

ArrivalCheck::State ArrivalCheck::Update(const std::wstring& box, std::uint64_t nowMs) {
  if (state_ != State::kWaiting) return state_;
  std::size_t head = 0;
  while (head < box.size() && head < before_.size() && box[head] == before_[head]) ++head;
  std::size_t tail = 0;
  while (tail < box.size() - head && tail < before_.size() - head &&
         box[box.size() - 1 - tail] == before_[before_.size() - 1 - tail]) {
    ++tail;
  }
  WipeText(arrived_);
  arrived_ = box.substr(head, box.size() - head - tail);
  // Exactly one insertion: all of `before` kept, and the text between.
  bool right = head + tail == before_.size() && arrived_ == expected_;
  // Where the text begins or ends like the box around it, the common parts
  // above may have taken some of it: look at every place it could stand.
  if (!right && box.size() == before_.size() + expected_.size()) {
    for (std::size_t at = 0; at <= before_.size() && !right; ++at) {
      right = box.compare(0, at, before_, 0, at) == 0 &&
              box.compare(at, expected_.size(), expected_) == 0 &&
              box.compare(at + expected_.size(), std::wstring::npos, before_, at) == 0;
    }
    if (right) arrived_ = expected_;
  }
  if (right) {
    if (!rightSince_) rightSince_ = nowMs;
    if (nowMs - *rightSince_ >= kSettleMs) state_ = State::kPassed;
  } else {
    rightSince_.reset();
  }
  // A right text still settling may finish settling after the time is up.
  if (state_ == State::kWaiting && !rightSince_ && nowMs - startMs_ >= waitMs_) {
    state_ = State::kFailed;
  }
  return state_;
}

}  // namespace keyentry
