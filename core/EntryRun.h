#pragma once
// One entry on its way out: the one place that decides what comes next while
// an entry of the typing queue is typed. The executors (platform/HookTyping.*
// inside the keyboard hook callback, platform/TypingThread.* on the typing
// thread) only do what Next() says and report what became of it with On().
//
// An entry is a row of steps: key events sent with one call, a text pasted
// through the clipboard, a text sent through the text-sending library; each
// may have a pause after it. The rules:
//   - before each step (but the first of an entry typed at once, inside the
//     hook callback) the focus is checked: the window that had it when the
//     entry was made must still have it, or the rest is dropped with a beep;
//     library texts after the first go without a check, one call each;
//   - a paste offers its text, then checks the focus again, then checks that
//     the clipboard still holds the text (another program may have replaced
//     it meanwhile); only then goes Ctrl+V. Text gone: offered once more; gone
//     again: the rest is dropped with a beep, and no Ctrl+V pastes another
//     program's content;
//   - a paste that could not be made (the clipboard busy, or what it holds
//     too large to save) goes as Unicode events instead, after checking the
//     focus once more (the wait may have been long); every later paste of the
//     entry then goes that way at once;
//   - Ctrl+V that nobody answered (kNotTaken) drops the rest with a beep:
//     what follows (a Tab, an Enter that submits) would go on without it;
//   - a pause waits until its end, the time passed being told;
//   - the photo pasted as an image ({照片}) goes as a paste does, without a
//     fallback: a clipboard that cannot take it drops the rest with a beep;
//   - the photo written to a file ({照片文件}) is written first, then the
//     focus is checked again and the file's path goes as events;
//   - a photo that cannot be had (none, damaged, its folder not writable)
//     gives one beep for it, and the rest goes on;
//   - stop ends the entry at once, without a beep.
// Times are millisecond tick counts that may wrap around. Portable.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/ClipboardHold.h"
#include "core/InputPlan.h"
#include "core/TypingPlan.h"

namespace keyentry {

// What a paste puts on the clipboard: a view of the entry's own data, valid
// while the entry is typed.
struct PastePayload {
  enum class Kind {
    kText,   // `text`
    kImage,  // the entry's photo, as a bitmap and as PNG
  };
  Kind kind = Kind::kText;
  std::wstring_view text;  // kText
};

enum class EntryEvent {
  kChunkSent,         // the events (or the library text) asked for went out
  kFocusKept,         // the focus check: the entry's window still has the focus
  kFocusLost,         // ... another window has it, or none
  kClipboardOurs,     // the clipboard check: our text is still on it
  kClipboardNotOurs,  // ... another program replaced it
  kTimePassed,        // a wait is over, or was cut short
  kPhotoMissing,      // the photo could not be had (none, damaged, its folder not writable)
  kBeeped,            // the beep asked for went out
  kStop,
};

enum class EntryActionKind {
  kSendEvents,      // send `events` with one call, then kChunkSent
  kSendLibrary,     // send `library` through the text-sending library, then kChunkSent
  kPaste,           // offer `paste` on the clipboard, then its PasteOutcome
  kCtrlV,           // send `events` (ending in Ctrl+V), wait for the take, then its PasteOutcome
  kCheckFocus,      // then kFocusKept or kFocusLost
  kCheckClipboard,  // then kClipboardOurs or kClipboardNotOurs
  kWaitUntil,       // wait until `until` (serving the clipboard meanwhile), then kTimePassed
  kWritePhotoFile,  // write the photo file, then PhotoFileWritten(its path's events) or
                    // kPhotoMissing
  kBeep,            // give the warning beep, then kBeeped; the rest goes on
  kBeepAndDrop,     // the rest is dropped: give the warning beep; nothing follows
  kDone,            // the entry is over (typed whole, or stopped)
};

struct EntryAction {
  EntryActionKind kind = EntryActionKind::kDone;
  const std::vector<input::KeyEvent>* events = nullptr;  // kSendEvents, kCtrlV
  const std::optional<std::string>* library = nullptr;   // kSendLibrary (none: never filled)
  PastePayload paste;                                    // kPaste
  std::uint32_t until = 0;                               // kWaitUntil
  bool pasteFollows = false;  // kWaitUntil: a paste of this entry comes after the wait
};

class EntryRun {
 public:
  enum class Start {
    kCheckFocus,   // on the typing thread: the focus is checked before the first step too
    kTypedAtOnce,  // inside the hook callback, the moment the entry was made
  };

  // The chunks of a plan (TypingPlan: events, or pastes with their fallback).
  EntryRun(const TypingPlan& plan, Start start);
  // Texts for the text-sending library, one call each.
  EntryRun(const std::vector<std::optional<std::string>>& libraryTexts, Start start);

  EntryAction Next() const;
  void On(EntryEvent event, std::uint32_t now);
  void On(PasteOutcome outcome, std::uint32_t now);
  // kWritePhotoFile: the file is written; these events type its path. They
  // are wiped when they have gone out.
  void PhotoFileWritten(std::vector<input::KeyEvent> pathEvents);
  ~EntryRun();
  EntryRun(const EntryRun&) = delete;
  EntryRun& operator=(const EntryRun&) = delete;

 private:
  enum class StepKind { kEvents, kPaste, kLibrary, kImage, kPhotoFile };
  struct Step {
    StepKind kind = StepKind::kEvents;
    const TypingChunk* chunk = nullptr;                   // kEvents, kPaste
    const std::optional<std::string>* library = nullptr;  // kLibrary
    bool checkFocus = true;
    std::uint32_t pauseMs = 0;
  };
  enum class Phase {
    kFocusBeforeStep,
    kSending,
    kOffering,
    kFocusBeforeCtrlV,
    kClipboardBeforeCtrlV,
    kAwaitingTake,
    kFocusBeforeFallback,
    kSendingFallback,
    kPausing,
    kWritingPhotoFile,
    kFocusBeforePath,
    kSendingPath,
    kBeepingOn,
    kDropped,
    kDone,
  };

  void Begin(Start start);
  void BeginStep();
  void AfterStep(std::uint32_t now);
  void Advance();
  bool PasteFollows() const;

  std::vector<Step> steps_;
  std::size_t at_ = 0;
  Phase phase_ = Phase::kDone;
  bool offeredAgain_ = false;      // this paste's text was offered a second time
  bool clipboardRefused_ = false;  // a paste could not be made: the rest as Unicode events
  std::uint32_t until_ = 0;
  std::vector<input::KeyEvent> pathEvents_;  // the photo file's path, while it is typed
};

}  // namespace keyentry
