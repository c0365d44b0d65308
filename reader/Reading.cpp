#include "reader/Reading.h"

#include <exception>

#include "core/Texts.h"
#include "reader/CardText.h"

namespace keyentry {

void ToggleReading(Maths& maths, MainWindowView& view) {
  maths.InitDevice();
  if (view.ReadButtonCaption() == kCaptionStartReading) {
    if (!maths.Connected()) {
      view.SetPollTimerEnabled(false);
      view.SetStatusText(kStatusNoReader);
      return;
    }
    view.SetPollTimerEnabled(true);
    view.SetStatusText(std::wstring(kStatusPortOpened) + kStatusPortLabel + maths.PortName());
    view.SetReadButtonCaption(kCaptionStopReading);
  } else {
    view.SetPollTimerEnabled(false);
    view.SetStatusText(kStatusStopped);
    view.SetReadButtonCaption(kCaptionStartReading);
  }
}

namespace {

// Reads the card whose files the library has just written. Fields are shown
// and stored one by one; a short or missing text file stops at that point.
void TakeCard(const ReadingPorts& ports, Maths& maths, MainWindowView& view) {
  const auto bytes = ports.files.ReadPrefix(PathInFolder(ports.programFolder, kCardTextFileName),
                                            kCardTextMaxBytes);
  if (!bytes) return;
  const CardText card = ParseCardText(*bytes, ports.codec);
  for (int k = 0; k < card.count; ++k) {
    view.ShowCardField(k, card.fields[k]);
    maths.SetCardField(k, card.fields[k]);
  }
  maths.PublishHookTable();
  if (card.count < kCardFieldCount) return;
  view.ShowPhoto(PathInFolder(ports.programFolder, kCardPhotoFileName));
}

}  // namespace

void PollCard(const ReadingPorts& ports, Maths& maths, MainWindowView& view) {
  view.SetPollTimerEnabled(false);
  try {
    if (ReaderSucceeded(ports.reader.Authenticate()) &&
        ReaderSucceeded(ports.reader.ReadContent(kReadModeTextAndPhoto))) {
      TakeCard(ports, maths, view);
    }
  } catch (const std::exception&) {
    // The library could not be called, or the card could not be taken (out
    // of memory, for one): like a failed read, nothing more this time.
  }
  view.SetPollTimerEnabled(true);
}

}  // namespace keyentry
