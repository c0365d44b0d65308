#pragma once
// Switching card reading on and off, and the poll that reads a card.
#include <string>

#include "core/FileStore.h"
#include "core/Maths.h"
#include "core/ReaderLibrary.h"
#include "core/TextCodec.h"
#include "reader/MainWindowView.h"

namespace keyentry {

// What the poll reads a card through: the reader library, which writes the
// card's text and photo into the program's folder, and the files there.
struct ReadingPorts {
  ReaderLibrary& reader;
  FileStore& files;
  const TextCodec& codec;
  std::wstring programFolder;  // without a trailing separator
};

// Reloads keys and searches the reader (always), then switches reading on
// (when it was off and a reader answered) or off (when it was on). The read
// button's caption is the on/off state.
void ToggleReading(Maths& maths, MainWindowView& view);

// One tick of the poll timer: when a card lies on the reader, reads it,
// shows and stores its eight fields and shows its photo. A failed or partial
// read ends the tick quietly, and so does any exception while reading or
// showing the card; the timer always starts again.
void PollCard(const ReadingPorts& ports, Maths& maths, MainWindowView& view);

}  // namespace keyentry
