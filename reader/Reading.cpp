#include "reader/Reading.h"

#include <exception>
#include <new>
#include <optional>
#include <utility>

#include "core/CardChecks.h"
#include "core/IdNumberMask.h"
#include "core/Texts.h"
#include "core/Wipe.h"
#include "reader/CardText.h"

namespace keyentry {

void ToggleReading(Maths& maths, MainWindowView& view) {
  BeginToggle(maths);
  FinishToggle(maths, view, SearchReaderPorts(maths.Reader()));
}

void BeginToggle(Maths& maths) { maths.BeginInitDevice(); }

void FinishToggle(Maths& maths, MainWindowView& view, const PortSearchResult& found) {
  maths.FinishInitDevice(found);
  if (view.ReadButtonCaption() == kCaptionStartReading) {
    if (!maths.Connected()) {
      view.SetPollTimerEnabled(false);
      // A helper that crashed or hung during the search says so.
      view.SetStatusText(found.trouble == ReaderTrouble::kNone ? kStatusNoReader
                                                               : kStatusSearchFailed);
      return;
    }
    view.SetPollTimerEnabled(true);
    view.SetStatusText(std::wstring(kStatusPortOpened) + kStatusPortLabel + maths.PortName());
    view.SetReadButtonCaption(kCaptionStopReading);
    maths.ReadingSwitchedOn();
  } else {
    view.SetPollTimerEnabled(false);
    view.SetStatusText(kStatusStopped);
    view.SetReadButtonCaption(kCaptionStartReading);
  }
}

namespace {

// The text a value label shows for a field.
std::wstring ShownText(int field, const std::wstring& text, const PrivacySettings& privacy) {
  if (field == kIdNumberField && privacy.maskIdNumber) return MaskIdNumber(text);
  return text;
}

// The card's text, wiped however the reading ends.
struct WipedCard {
  std::string bytes;
  CardText card;
  ~WipedCard() {
    WipeText(bytes);
    for (auto& field : card.fields) WipeText(field);
  }
};

// The warning line for the card held now, by the checks of [核验] worked
// out at its read (Maths::CheckCard); with a beep when it is a new card with
// a warning.
void ShowCardChecks(const Maths& maths, MainWindowView& view, bool newCard) {
  const std::wstring warning = WarningText(maths.CardChecks());
  view.ShowCardWarning(warning, newCard && !warning.empty());
}

// Reads the card whose files the library has just written. A missing text
// file, or one with fewer than eight lines, is a failed read: nothing of it
// is shown or stored, so the card before stays whole (a part of a text
// beside the rest of the card before would be two people's data).
bool TakeCard(const ReadingPorts& ports, Maths& maths, MainWindowView& view, std::uint64_t atMs) {
  WipedCard taken;
  const std::wstring folder = CardFilesFolder(ports);
  auto bytes = ports.files.ReadPrefix(PathInFolder(folder, kCardTextFileName), kCardTextMaxBytes);
  if (!bytes) return false;
  taken.bytes = std::move(*bytes);
  taken.card = ParseCardText(taken.bytes, ports.codec);
  if (taken.card.count < kCardFieldCount) return false;
  const PrivacySettings& privacy = maths.Settings().privacy;
  for (int k = 0; k < taken.card.count; ++k) {
    std::wstring shown = ShownText(k, taken.card.fields[k], privacy);
    view.ShowCardField(k, shown);
    WipeText(shown);
    maths.SetCardField(k, std::move(taken.card.fields[k]));
  }
  // Once per read, with one date, for the warning line and the hook alike.
  maths.CheckCard(view.Today());
  // The photo first, so that typing on read finds it in the card's table; a
  // photo that cannot be shown (out of memory) leaves the fields taken.
  try {
    view.ShowPhoto(PathInFolder(folder, kCardPhotoFileName));
  } catch (const std::bad_alloc&) {
    view.ClearPhoto();
  }
  maths.PublishHookTable();
  const bool newCard = maths.CardTaken(atMs);
  ShowCardChecks(maths, view, newCard);
  return true;
}

// Deletes a card file; one that may be written but not deleted (the
// installation's card files beside the library) is emptied when it holds
// anything; else it stays, without a word.
void DeleteCardFile(const ReadingPorts& ports, const std::wstring& folder, const wchar_t* name) {
  const std::wstring path = PathInFolder(folder, name);
  if (ports.files.Remove(path)) return;
  auto start = ports.files.ReadPrefix(path, 1);
  const bool holds = start && !start->empty();
  WipeText(start);
  if (holds) ports.files.Empty(path);
}

void DeleteCardFiles(const ReadingPorts& ports) {
  DeleteCardFile(ports, ports.programFolder, kCardTextFileName);
  DeleteCardFile(ports, ports.programFolder, kCardPhotoFileName);
  if (ports.dataFolder.empty() || ports.dataFolder == ports.programFolder) return;
  DeleteCardFile(ports, ports.dataFolder, kCardTextFileName);
  DeleteCardFile(ports, ports.dataFolder, kCardPhotoFileName);
}

}  // namespace

std::wstring CardFilesFolder(const ReadingPorts& ports) {
  if (ports.dataFolder.empty() || ports.dataFolder == ports.programFolder) {
    return ports.programFolder;
  }
  // An empty file (the installation's, or one emptied after a read) holds no card.
  const auto written = [&](const std::wstring& folder) -> std::optional<std::int64_t> {
    const std::wstring path = PathInFolder(folder, kCardTextFileName);
    auto start = ports.files.ReadPrefix(path, 1);  // a byte of card data: wiped
    const bool holds = start && !start->empty();
    WipeText(start);
    if (!holds) return std::nullopt;
    return ports.files.ModifiedTime(path);
  };
  const auto inProgram = written(ports.programFolder);
  const auto inData = written(ports.dataFolder);
  return inData && (!inProgram || *inData > *inProgram) ? ports.dataFolder : ports.programFolder;
}

bool PollCard(const ReadingPorts& ports, Maths& maths, MainWindowView& view, std::uint64_t nowMs) {
  view.SetPollTimerEnabled(false);
  const bool taken = TakePollAnswer(ports, maths, view,
                                    CallReaderForPoll(ports.reader, [nowMs] { return nowMs; }));
  view.SetPollTimerEnabled(true);
  return taken;
}

PollAnswer CallReaderForPoll(ReaderLibrary& reader, const std::function<std::uint64_t()>& nowMs) {
  PollAnswer answer;
  try {
    answer.cardFound = ReaderSucceeded(reader.Authenticate());
    answer.atMs = nowMs();
    answer.answered = true;
    answer.cardRead =
        answer.cardFound && ReaderSucceeded(reader.ReadContent(kReadModeTextAndPhoto));
  } catch (const ReaderUnavailable& e) {
    answer.trouble = e.trouble();
  } catch (const std::exception&) {
    // The library could not be called: like a failed read.
  }
  return answer;
}

bool TakePollAnswer(const ReadingPorts& ports, Maths& maths, MainWindowView& view,
                    const PollAnswer& answer) {
  bool taken = false;
  // Without an answer nothing is known of the card on the reader.
  if (answer.answered && !answer.cardFound) maths.NoCardOnReader(answer.atMs);
  try {
    if (answer.cardRead) taken = TakeCard(ports, maths, view, answer.atMs);
  } catch (const std::exception&) {
    // The card could not be taken (out of memory, for one): like a failed
    // read, nothing more this time.
  }
  if (answer.cardFound && !taken) maths.CardReadFailed(answer.atMs);
  try {
    if (answer.cardRead && maths.Settings().privacy.deleteCardFiles) DeleteCardFiles(ports);
  } catch (const std::exception&) {
    // Out of memory for a path: the files stay until the next read.
  }
  return taken;
}

bool ShowReaderTrouble(const Maths& maths, MainWindowView& view, ReaderTrouble trouble,
                       bool troubled) {
  const wchar_t* text = nullptr;
  switch (trouble) {
    case ReaderTrouble::kNone:
      if (troubled) {
        view.SetStatusText(std::wstring(kStatusPortOpened) + kStatusPortLabel + maths.PortName());
      }
      return false;
    case ReaderTrouble::kCrashed:
      text = kStatusReaderCrashed;
      break;
    case ReaderTrouble::kNoAnswer:
      text = kStatusReaderNoAnswer;
      break;
    case ReaderTrouble::kCannotStart:
      text = kStatusReaderCannotStart;
      break;
    case ReaderTrouble::kReconnecting:
      text = kStatusReaderReconnecting;
      break;
    case ReaderTrouble::kCardRefused:
      text = kStatusCardRefused;
      break;
    case ReaderTrouble::kPausing:
    case ReaderTrouble::kExiting:
      return troubled;
  }
  view.SetStatusText(text);
  return true;
}

void ClearCard(Maths& maths, MainWindowView& view) {
  maths.ClearCardFields();
  for (int k = 0; k < kCardFieldCount; ++k) view.ShowCardField(k, std::wstring());
  view.ClearPhoto();
  view.ShowCardWarning(std::wstring(), false);
}

bool ClearCardWhenDue(CardRetention& retention, Maths& maths, MainWindowView& view,
                      std::uint64_t nowMs) {
  if (!retention.ClearDue(nowMs, maths.Settings().privacy.clearAfterSeconds)) return false;
  ClearCard(maths, view);
  retention.Cleared();
  return true;
}

void ApplyPrivacySettings(const ReadingPorts& ports, Maths& maths, MainWindowView& view) {
  const PrivacySettings& privacy = maths.Settings().privacy;
  const auto& number = maths.CardFields()[kIdNumberField];
  if (number) {
    std::wstring shown = ShownText(kIdNumberField, *number, privacy);
    view.ShowCardField(kIdNumberField, shown);
    WipeText(shown);
  }
  if (privacy.deleteCardFiles) DeleteCardFiles(ports);
  // Maths worked the checks out again with the new settings.
  ShowCardChecks(maths, view, false);
}

void ForgetCardAtExit(const ReadingPorts& ports, Maths& maths) {
  if (maths.Settings().privacy.deleteCardFiles) DeleteCardFiles(ports);
  maths.ClearCardFields();
}

}  // namespace keyentry
