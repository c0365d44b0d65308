#pragma once
// The one ordered queue of everything the program types: each press of an
// assigned key (field key or template key) and each typing on a card read
// becomes one entry, and entries are typed strictly in the order they came,
// one after the other, on the typing thread.
//
// The one rule that keeps entries in order: an entry is typed only when
// nothing else is being typed and no older entry waits; one typed at a time,
// the oldest first. So:
//   - While nothing is queued or typing, a press that needs no pause and no
//     clipboard may be typed at once by the caller (inside the keyboard hook
//     callback, with one SendInput call). As soon as anything is queued or
//     typing, every new entry goes to the back of the queue, even one that
//     could be typed at once: nothing overtakes.
//   - The typing thread takes the front entry only while nothing is typed,
//     neither by itself nor at once by the caller.
//   - An entry carries everything it types (card values already put into
//     its steps, the settings and the window of its moment), so what it
//     types is that of the moment it was made, not of the moment it is typed.
//   - At most kCapacity entries wait; one beyond is refused (the caller
//     beeps).
//   - The auto-repeat of a held field key is dropped without a word while
//     an entry of that key still waits or types, so that a key held a
//     moment too long types its field once, not once per repeat.
//   - An entry made while no window had the focus (window 0: an activation
//     change, the lock screen, an elevation prompt) is refused too: there is
//     no window to check it against, and it would land in whatever window
//     comes to the front.
//   - Entries still waiting at exit are dropped.
// Thread-safe: entries come from the hook thread and the interface thread,
// and are taken by the typing thread.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/HookTable.h"
#include "core/KeyboardHook.h"
#include "core/PhotoFiles.h"
#include "core/SettingsFile.h"
#include "core/Template.h"

namespace keyentry {

struct TypingEntry {
  enum class Kind {
    kSteps,    // the steps, through the program's own input path
    kLibrary,  // field texts through the text-sending library, one call each
  };
  Kind kind = Kind::kSteps;
  std::vector<TypingStep> steps;                         // kSteps
  std::vector<std::optional<std::string>> libraryTexts;  // kLibrary: ANSI; none: never filled
  TypingSettings settings;
  PhotoJob photo;  // kSteps with a photo step
  // The platform's handles of the moment, as numbers: the foreground window
  // (the rest of an entry is typed only while it keeps the focus) and, in
  // keys mode, its keyboard layout.
  std::uintptr_t window = 0;
  std::uintptr_t layout = 0;
  // The field key whose press made it (0: a template, typing on read, a
  // test), and whether that press was an auto-repeat of the held key.
  std::int16_t key = 0;
  bool repeat = false;

  TypingEntry() = default;
  // Every text is overwritten before its memory is given back.
  ~TypingEntry();
  TypingEntry(TypingEntry&&) = default;
  TypingEntry& operator=(TypingEntry&&) = default;
  TypingEntry(const TypingEntry&) = delete;
  TypingEntry& operator=(const TypingEntry&) = delete;

  bool Pastes() const {
    return kind == Kind::kSteps &&
           (settings.mode == TypingMode::kPaste ||
            std::any_of(steps.begin(), steps.end(),
                        [](const TypingStep& s) { return s.kind == StepKind::kPhoto; }));
  }
};

// The entry of one press of an assigned key, made from the table and the
// typing settings (those of the program that has the focus) of its moment:
// nothing for an action that types nothing, or whose steps are all empty.
// canTypeNow: it may be typed at once, inside the hook callback (no pause,
// no clipboard). A field key in unicode mode without a character delay goes
// through the text-sending library, every field one call (also those never
// filled, as a null text).
struct PressEntry {
  TypingEntry entry;
  bool canTypeNow = false;
};
std::optional<PressEntry> EntryForPress(const HookTable& table, const HookAction& action,
                                        const TypingSettings& typing, const Date& today);

// The entry of the typing on read (读卡后) of the card in the table, for the
// program with this executable name: nothing without a card, when typing
// on read is off for that program, or when [核验] holds it for a card with a
// warning (HoldsOnRead). Never typed at once.
std::optional<TypingEntry> EntryForCardRead(const HookTable& table, std::wstring_view program,
                                            const Date& today);

class TypingQueue {
 public:
  static constexpr std::size_t kCapacity = 16;

  enum class Admission {
    kTypeNow,  // nothing queued or typing: the caller types it now, then calls TypedNow()
    kQueued,   // at the back of the queue: wake the typing thread
    kRefused,  // the queue is full (or closed), or no window: not typed; the caller beeps
    kDropped,  // an auto-repeat of a key whose entry waits or types: not typed, no beep
  };

  // canTypeNow: the entry needs no pause and no clipboard. On kTypeNow the
  // entry stays with the caller (it is not moved from).
  Admission Admit(TypingEntry& entry, bool canTypeNow);
  // The caller has typed what Admit let it type at once (ends that only,
  // never an entry of the typing thread).
  void TypedNow();

  // The typing thread: the entry at the front, taken off the queue and
  // counted as typing until Finished(); nothing while the queue is empty or
  // an entry is being typed at once.
  std::optional<TypingEntry> Take();
  void Finished();

  // Whether an entry in the queue pastes (the clipboard's old content then
  // waits to go back until that paste is done).
  bool PasteWaiting() const;
  // Nothing queued and nothing typing.
  bool Idle() const;
  std::size_t Waiting() const;

  // At exit: every waiting entry is dropped, and from now on every entry is
  // refused, until Reopen().
  void Close();
  void Reopen();

 private:
  mutable std::mutex mutex_;
  std::deque<TypingEntry> entries_;
  // Each flag has one meaning; at most one of them is set (the rule above).
  bool typingNow_ = false;  // the caller types an entry at once (Admit's kTypeNow until TypedNow)
  bool threadTyping_ = false;   // the typing thread types an entry (Take until Finished)
  std::int16_t typingKey_ = 0;  // the key of the entry typed now (either way), 0: none
  bool closed_ = false;
};

}  // namespace keyentry
