#include "core/TypingQueue.h"

#include <algorithm>
#include <utility>

namespace keyentry {

TypingQueue::Admission TypingQueue::Admit(TypingEntry& entry, bool canTypeNow) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (closed_ || entry.window == 0) return Admission::kRefused;
  if (entry.repeat && entry.key != 0 &&
      ((typingKey_ == entry.key && (typingNow_ || threadTyping_)) ||
       std::any_of(entries_.begin(), entries_.end(),
                   [&](const TypingEntry& e) { return e.key == entry.key; }))) {
    return Admission::kDropped;
  }
  if (canTypeNow && entries_.empty() && !typingNow_ && !threadTyping_) {
    typingNow_ = true;
    typingKey_ = entry.key;
    return Admission::kTypeNow;
  }
  if (entries_.size() >= kCapacity) return Admission::kRefused;
  entries_.push_back(std::move(entry));
  return Admission::kQueued;
}

void TypingQueue::TypedNow() {
  std::lock_guard<std::mutex> lock(mutex_);
  typingNow_ = false;
  typingKey_ = 0;
}

std::optional<TypingEntry> TypingQueue::Take() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (typingNow_ || threadTyping_ || entries_.empty()) return std::nullopt;
  std::optional<TypingEntry> entry(std::move(entries_.front()));
  entries_.pop_front();
  threadTyping_ = true;
  typingKey_ = entry->key;
  return entry;
}

void TypingQueue::Finished() {
  std::lock_guard<std::mutex> lock(mutex_);
  threadTyping_ = false;
  typingKey_ = 0;
}

bool TypingQueue::PasteWaiting() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::any_of(entries_.begin(), entries_.end(),
                     [](const TypingEntry& e) { return e.Pastes(); });
}

bool TypingQueue::Idle() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return entries_.empty() && !typingNow_ && !threadTyping_;
}

std::size_t TypingQueue::Waiting() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return entries_.size();
}

void TypingQueue::Close() {
  std::deque<TypingEntry> dropped;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    dropped.swap(entries_);
  }
  // Wiped as they go, outside the lock.
}

void TypingQueue::Reopen() {
  std::lock_guard<std::mutex> lock(mutex_);
  closed_ = false;
  typingNow_ = false;
  threadTyping_ = false;
}

}  // namespace keyentry
