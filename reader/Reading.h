#pragma once
// Switching card reading on and off, the poll that reads a card, and what
// the privacy settings of KeyEntry.ini do with the card read.
#include <cstdint>
#include <functional>
#include <string>

#include "core/FileStore.h"
#include "core/Maths.h"
#include "core/ReaderLibrary.h"
#include "core/TextCodec.h"
#include "reader/CardRetention.h"
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
// The toggle in two halves around the port search, which the program runs
// on the reader's own thread (SearchReaderPorts): the key table and the
// settings reloaded first, the outcome shown after.
void BeginToggle(Maths& maths);
void FinishToggle(Maths& maths, MainWindowView& view, const PortSearchResult& found);

// One tick of the poll timer at nowMs (the system's tick count, taken as the
// moment KLV_Authenticate answered): when a card
// lies on the reader, reads it, shows and stores its eight fields and shows
// its photo. A failed read ends the tick quietly, and so does any exception
// while reading or showing the card; the timer always starts again. A read
// whose card text has fewer than eight lines counts as failed: nothing of
// it is shown or stored, and the card before stays whole. What the poll
// found goes to Maths for typing on read (NewCardRule).
// With the privacy settings: the ID number is shown masked (MaskIdNumber)
// and stored whole; after every successful read of the library both card
// files are deleted (DeleteCardFiles), once the program has read them.
// With the checks of [核验] a whole card gets its warning line (or an empty
// one), and a new card with a warning a warning beep.
// True when card fields were taken and shown (the card's retention starts
// again).
bool PollCard(const ReadingPorts& ports, Maths& maths, MainWindowView& view, std::uint64_t nowMs);

// What the reader said to one poll, gathered where the reader is called.
struct PollAnswer {
  bool answered = false;   // KLV_Authenticate gave an answer
  bool cardFound = false;  // KLV_Authenticate gave 1
  bool cardRead = false;   // and then KLV_Read_Content (mode 4) gave 1
  // When KLV_Authenticate answered (the clock of the new-card rule), taken
  // where the reader is called, before the read.
  std::uint64_t atMs = 0;
  // The helper crashed, missed a deadline, is being restarted, ...
  ReaderTrouble trouble = ReaderTrouble::kNone;
};
// The calls of one poll: KLV_Authenticate, and when it gives 1
// KLV_Read_Content with 4. A library that cannot be called counts as no card.
// nowMs: the clock (milliseconds that never go back), read right after
// KLV_Authenticate answers.
PollAnswer CallReaderForPoll(ReaderLibrary& reader, const std::function<std::uint64_t()>& nowMs);
// The rest of the poll with that answer: the card taken, shown and stored
// (see PollCard), the new-card rule told of it at answer.atMs. The poll
// timer is left alone. True when card fields were taken.
bool TakePollAnswer(const ReadingPorts& ports, Maths& maths, MainWindowView& view,
                    const PollAnswer& answer);
// The status line after a poll: what happened to the reader's helper, in
// plain words, while it is in trouble (a pause keeps the text shown); the
// port text of reading on again once a poll is answered. troubled: whether
// the status shows a trouble now; returns it for after this poll.
bool ShowReaderTrouble(const Maths& maths, MainWindowView& view, ReaderTrouble trouble,
                       bool troubled);

// Forgets the card shown: the eight value labels, the photo box and the
// warning line are emptied, and the values keys and templates type are
// wiped and left never
// filled (assigned keys are swallowed and type nothing, as before the first
// card).
void ClearCard(Maths& maths, MainWindowView& view);

// The check of ClearAfterSeconds (清除秒数), at any time, reading on or off:
// clears the card once its time is up. True when it cleared.
bool ClearCardWhenDue(CardRetention& retention, Maths& maths, MainWindowView& view,
                      std::uint64_t nowMs);

// After each load of KeyEntry.ini: the ID number label follows the mask
// setting, and with DeleteCardFiles card files left in the folder (by a read
// before the setting was on, or a program that ended abruptly) are deleted;
// the warning line follows the checks (without a beep).
void ApplyPrivacySettings(const ReadingPorts& ports, Maths& maths, MainWindowView& view);

// At exit: with DeleteCardFiles both card files are deleted; the program's
// own copies of the card are wiped either way.
void ForgetCardAtExit(const ReadingPorts& ports, Maths& maths);

}  // namespace keyentry
