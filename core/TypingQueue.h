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
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>

#include "core/TypingEntry.h"

namespace keyentry {

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
