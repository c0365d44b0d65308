#include "core/Maths.h"

#include <memory>
#include <utility>

#include "core/KeyNames.h"
#include "core/KeySettings.h"
#include "core/Texts.h"
#include "core/Wipe.h"

namespace keyentry {

Maths::Maths(CorePorts ports, std::wstring programFolder, HookTableStore& hookTables)
    : ports_(ports),
      programFolder_(std::move(programFolder)),
      hookTables_(hookTables),
      settings_(std::make_shared<const SettingsContent>()) {}

Maths::~Maths() { WipeCardValues(cardFields_); }

std::wstring Maths::PathInProgramFolder(const wchar_t* fileName) const {
  return PathInFolder(programFolder_, fileName);
}

std::wstring Maths::PathInDataFolder(const wchar_t* fileName) const {
  return PathInFolder(dataFolder_.empty() ? programFolder_ : dataFolder_, fileName);
}

PortSearchResult SearchReaderPorts(ReaderLibrary& reader,
                                   const std::function<void(const std::wstring&)>& trying) {
  struct Range {
    std::int32_t first, last;
    const wchar_t* prefix;
  };
  const Range ranges[] = {{kFirstUsbPort, kLastUsbPort, L"USB"},
                          {kFirstSerialPort, kLastSerialPort, L"COM"}};
  PortSearchResult result;
  try {
    for (const Range& range : ranges) {
      for (std::int32_t port = range.first; port <= range.last; ++port) {
        const std::wstring name = range.prefix + std::to_wstring(port);
        if (trying) trying(name);
        try {
          if (!ReaderSucceeded(reader.InitComm(port))) continue;
        } catch (const ReaderUnavailable& e) {
          // A port that blocks (a Bluetooth serial port may take 20 s) has
          // no reader; the next port gets a fresh helper.
          if (e.trouble() == ReaderTrouble::kNoAnswer) continue;
          throw;
        }
        result.portName = name;
        return result;
      }
    }
  } catch (const ReaderLibraryError&) {
    result.libraryError = true;
  } catch (const ReaderUnavailable& e) {
    // A helper that cannot be started is as a library that cannot be loaded.
    if (e.trouble() == ReaderTrouble::kCannotStart) {
      result.libraryError = true;
    } else {
      result.trouble = e.trouble();
    }
  }
  return result;
}

void Maths::InitDevice() {
  BeginInitDevice();
  FinishInitDevice(SearchReaderPorts(ports_.reader));
}

void Maths::BeginInitDevice() {
  connected_ = false;
  LoadKeySettings();
  ReloadSettings();
}

void Maths::FinishInitDevice(const PortSearchResult& found) {
  if (found.libraryError) {
    ports_.messages.ShowMessage(kMsgPortOpenFailed);
    return;
  }
  if (found.portName.empty()) return;
  connected_ = true;
  portName_ = found.portName;
  // Installing again renews the hook: a new one takes the place of the
  // old, which the system may have dropped unnoticed, so there is never
  // more than one that types. A failed installation is tried again next
  // time.
  ports_.hook.Install();
}

void Maths::CloseComm() {
  try {
    ports_.reader.CloseComm();
  } catch (const ReaderLibraryError&) {
    // Without the library there is no port to close.
  }
}

void Maths::SaveAndUnhook() {
  ports_.hook.Remove();
  SaveKeySettings();
}

void Maths::LoadKeySettings() {
  // The user's own keys; without them (no such file at all), the
  // installation's default keys beside the program.
  const std::wstring own = PathInDataFolder(kKeySettingsFileName);
  auto bytes = ports_.files.ReadAll(own);
  if (!bytes && !ports_.files.ModifiedTime(own)) {
    bytes = ports_.files.ReadAll(PathInProgramFolder(kKeySettingsFileName));
  }
  KeySettingsContent content;
  if (bytes) content = ParseKeySettings(*bytes, ports_.codec);
  for (int k = 0; k < content.count; ++k) hotKeys_[k] = content.names[k];
  PublishHookTable();
  if (content.count < kCardFieldCount) ports_.messages.ShowMessage(kMsgKeyFileReadFailed);
}

bool Maths::SaveKeySettings() {
  const std::string bytes = FormatKeySettings(hotKeys_, ports_.codec);
  if (ports_.files.Replace(PathInDataFolder(kKeySettingsFileName), bytes)) return true;
  ports_.messages.ShowMessage(kMsgKeyFileSaveFailed);
  return false;
}

void Maths::ReloadSettings() {
  const auto bytes = ports_.files.ReadAll(PathInProgramFolder(kSettingsFileName));
  local_ = bytes ? ParseSettingsFile(*bytes, ports_.settingsCodec) : SettingsContent();
  settingsFound_ = bytes.has_value();
  SharedSettingsStatus& status = sharedStatus_;
  if (status.path != local_.sharedPath) {
    // Named for the first time, named no more, or another file: no answer
    // yet, and nothing of the file named before stays in use.
    status = SharedSettingsStatus();
    status.state = local_.sharedPath.empty() ? SharedSettingsStatus::State::kNotUsed
                                             : SharedSettingsStatus::State::kWaiting;
    status.path = local_.sharedPath;
    sharedBytes_.reset();
    copyCurrent_ = false;
    sharedReported_.reset();
  }
  if (!status.path.empty() && !sharedBytes_) {
    // The last good copy of this file, until the share answers.
    const std::wstring path = PathInDataFolder(kSharedCopyFileName);
    if (const auto bytes = ports_.files.ReadAll(path)) {
      SharedCopy copy = ParseSharedCopy(*bytes);
      if (SharedCopyServes(copy, status.path, !settingsLoaded_)) {
        sharedBytes_ = std::move(copy.bytes);
        copyCurrent_ = true;
        status.copyTime = ports_.files.ModifiedTime(path).value_or(0);
      }
    }
  }
  settingsLoaded_ = true;
  ApplySettings(true);
}

void Maths::SharedFileAnswered(const SharedFileAnswer& answer, std::int64_t now) {
  using State = SharedSettingsStatus::State;
  SharedSettingsStatus& status = sharedStatus_;
  if (status.path.empty()) return;  // an answer for a file no longer named
  if (answer.kind == SharedFileAnswer::Kind::kUnreachable) {
    if (status.state != State::kUnreachable) status.unreachableSince = now;
    status.state = State::kUnreachable;
    SaveSharedCopy(now);
    return;
  }
  status.state = State::kReadOk;
  status.lastReadOk = now;
  status.unreachableSince = 0;
  const bool takeNew = DecideSharedReload(sharedBytes_, answer) == SharedReload::kTakeNew;
  if (takeNew) {
    sharedBytes_ = answer.bytes;
    copyCurrent_ = false;
  }
  SaveSharedCopy(now);
  if (takeNew) ApplySettings(false);
}

void Maths::SaveSharedCopy(std::int64_t now) {
  // A version in use that is not the copy came from the share. A write that
  // failed (a scanner or an editor holding the file, a full disk) is tried
  // again at each answer, whatever the share answers, until it succeeds.
  SharedSettingsStatus& status = sharedStatus_;
  if (copyCurrent_ || !sharedBytes_) return;
  copyCurrent_ = ports_.files.Replace(PathInDataFolder(kSharedCopyFileName),
                                      FormatSharedCopy(status.path, *sharedBytes_));
  if (copyCurrent_) {
    status.copyTime = now;
    status.copyFailedSince = 0;
  } else if (status.copyFailedSince == 0) {
    status.copyFailedSince = now;
  }
}

void Maths::ApplySettings(bool reportLocal) {
  auto content = std::make_shared<SettingsContent>(local_);
  const std::wstring& path = sharedStatus_.path;
  if (!path.empty() && sharedBytes_) {
    *content = MergeSettings(
        ParseSettingsFile(*sharedBytes_, ports_.settingsCodec, SettingsOrigin::kShared), local_,
        path);
  }
  DropTemplatesOnFieldKeys(*content, hotKeys_);
  std::vector<SettingsProblem> reported, shared;
  for (const SettingsProblem& problem : content->problems) {
    if (!problem.file.empty()) {
      shared.push_back(problem);
    } else if (reportLocal) {
      reported.push_back(problem);
    }
  }
  if (!path.empty() && sharedBytes_) {
    // Once per version (and again when its problems change with SetKey.txt).
    auto version = std::make_pair(*sharedBytes_, FormatSettingsReport(shared));
    if (!shared.empty() && sharedReported_ != version) {
      reported.insert(reported.end(), shared.begin(), shared.end());
    }
    sharedReported_ = std::move(version);
  }
  const std::wstring report = FormatSettingsReport(reported);
  settings_ = std::move(content);
  // The checks may have changed; the card keeps the date of its read.
  findings_ = keyentry::CheckCard(cardFields_, settings_->checks, checkedOn_);
  PublishHookTable();
  if (!report.empty()) ports_.messages.ShowMessage(report);
}

void Maths::SetHotKeys(const HotKeyTable& keys) {
  hotKeys_ = keys;
  PublishHookTable();
}

void Maths::SetCardField(int field, std::wstring text) {
  if (field < 0 || field >= kCardFieldCount) return;
  photo_.reset();  // never the photo of another card beside these fields
  WipeText(cardFields_[field]);
  cardFields_[field] = std::move(text);
}

void Maths::ClearCardFields() {
  WipeCardValues(cardFields_);
  photo_.reset();
  findings_ = CardFindings{};
  PublishHookTable();
}

void Maths::CheckCard(const Date& today) {
  checkedOn_ = today;
  findings_ = keyentry::CheckCard(cardFields_, settings_->checks, checkedOn_);
}

void Maths::ReadingSwitchedOn() { newCard_.Forget(); }

void Maths::NoCardOnReader(std::uint64_t nowMs) { newCard_.NoCard(nowMs); }

void Maths::CardReadFailed(std::uint64_t nowMs) { newCard_.ReadFailed(nowMs); }

void Maths::SetPhoto(std::shared_ptr<const std::string> file) { photo_ = std::move(file); }

bool Maths::CardTaken(std::uint64_t nowMs) {
  const auto& number = cardFields_[kIdNumberField];
  if (!newCard_.CardRead(number ? *number : std::wstring(), nowMs)) return false;
  // The photo files of the card before go before anything of this one is typed.
  ports_.hook.NewCard();
  if (settings_->OnReadAnywhere()) ports_.hook.TypeOnRead();
  return true;
}

namespace {
// The deleter of a published table: its card texts are wiped first.
void DeleteWiped(HookTable* table) {
  for (auto& text : table->texts) WipeText(text);
  WipeCardValues(table->values);
  delete table;
}
}  // namespace

void Maths::PublishHookTable() {
  std::shared_ptr<HookTable> table(new HookTable(), &DeleteWiped);
  for (int k = 0; k < kCardFieldCount; ++k) {
    table->codes[k] = KeyNameToCode(hotKeys_[k]);
    if (cardFields_[k]) table->texts[k] = ports_.codec.ToAnsi(*cardFields_[k]);
  }
  table->values = cardFields_;
  table->photo = photo_;
  table->settings = settings_;
  table->holdOnRead = settings_ && settings_->checks.holdOnRead && findings_.Any();
  hookTables_.Publish(std::move(table));
}

}  // namespace keyentry
