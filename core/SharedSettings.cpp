#include "core/SharedSettings.h"

#include <utility>

#include "core/TextTools.h"
#include "core/UnicodeText.h"

namespace keyentry {

namespace {

template <typename T>
void Under(std::optional<T>& local, const std::optional<T>& shared) {
  if (!local) local = shared;
}

// A privacy setting: the shared value when only the shared file sets it.
template <typename T>
void Under(bool& localSet, bool sharedSet, T& local, T shared) {
  if (localSet || !sharedSet) return;
  localSet = true;
  local = shared;
}

void Under(TypingOverrides& local, const TypingOverrides& shared) {
  Under(local.mode, shared.mode);
  Under(local.fieldDelayMs, shared.fieldDelayMs);
  Under(local.charDelayMs, shared.charDelayMs);
}

}  // namespace

SettingsContent MergeSettings(const SettingsContent& shared, SettingsContent local,
                              const std::wstring& sharedPath) {
  SettingsContent merged = std::move(local);
  for (const KeyTemplate& t : shared.templates) {
    if (merged.FindTemplate(t.vkCode)) continue;
    merged.templates.push_back(t);
    merged.templates.back().file = sharedPath;
  }
  Under(merged.onRead, shared.onRead);
  Under(merged.typing, shared.typing);
  for (const auto& [name, typing] : shared.programs) Under(merged.programs[name], typing);
  for (const auto& [name, onRead] : shared.programOnRead)
    merged.programOnRead.emplace(name, onRead);
  PrivacySettings& privacy = merged.privacy;
  PrivacyNamesSet& set = merged.privacySet;
  Under(set.clearAfterSeconds, shared.privacySet.clearAfterSeconds, privacy.clearAfterSeconds,
        shared.privacy.clearAfterSeconds);
  Under(set.deleteCardFiles, shared.privacySet.deleteCardFiles, privacy.deleteCardFiles,
        shared.privacy.deleteCardFiles);
  Under(set.maskIdNumber, shared.privacySet.maskIdNumber, privacy.maskIdNumber,
        shared.privacy.maskIdNumber);
  CheckSettings& checks = merged.checks;
  CheckNamesSet& checksSet = merged.checksSet;
  Under(checksSet.expired, shared.checksSet.expired, checks.expired, shared.checks.expired);
  Under(checksSet.underAge, shared.checksSet.underAge, checks.underAge, shared.checks.underAge);
  Under(checksSet.idNumber, shared.checksSet.idNumber, checks.idNumber, shared.checks.idNumber);
  Under(checksSet.holdOnRead, shared.checksSet.holdOnRead, checks.holdOnRead,
        shared.checks.holdOnRead);
  for (SettingsProblem problem : shared.problems) {
    problem.file = sharedPath;
    merged.problems.push_back(std::move(problem));
  }
  return merged;
}

SharedReload DecideSharedReload(const std::optional<std::string>& inUse,
                                const SharedFileAnswer& answer) {
  if (answer.kind != SharedFileAnswer::Kind::kRead) return SharedReload::kKeep;
  return inUse && *inUse == answer.bytes ? SharedReload::kKeep : SharedReload::kTakeNew;
}

std::string FormatSharedCopy(const std::wstring& sourcePath, std::string_view bytes) {
  std::string copy = kSharedCopySourceLine + EncodeUtf8(sourcePath) + "\r\n";
  copy.append(bytes);
  return copy;
}

SharedCopy ParseSharedCopy(std::string_view copy) {
  const std::string_view mark = kSharedCopySourceLine;
  const std::size_t end = copy.find("\r\n");
  if (copy.substr(0, mark.size()) == mark && end != std::string_view::npos) {
    if (auto source = DecodeUtf8Strict(copy.substr(mark.size(), end - mark.size()))) {
      return {std::move(source), std::string(copy.substr(end + 2))};
    }
  }
  return {std::nullopt, std::string(copy)};
}

bool SharedCopyServes(const SharedCopy& copy, const std::wstring& path, bool atStart) {
  return copy.source ? EqualsIgnoringAsciiCase(*copy.source, path) : atStart;
}

}  // namespace keyentry
