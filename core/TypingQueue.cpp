#include "core/TypingQueue.h"

#include <algorithm>
#include <utility>

#include "core/CardChecks.h"
#include "core/TypingPlan.h"
#include "core/Wipe.h"

namespace keyentry {

TypingEntry::~TypingEntry() {
  Wipe(steps);
  for (auto& text : libraryTexts) WipeText(text);
  WipeText(photo.fileName);
}

std::optional<PressEntry> EntryForPress(const HookTable& table, const HookAction& action,
                                        const TypingSettings& typing, const Date& today) {
  if (action.kind != HookActionKind::kTypeFields && action.kind != HookActionKind::kRunTemplate) {
    return std::nullopt;
  }
  PressEntry press;
  TypingEntry& entry = press.entry;
  entry.settings = typing;
  if (action.kind == HookActionKind::kTypeFields) {
    entry.key = action.fieldKey;
    entry.repeat = action.repeat;
    if (typing.mode == TypingMode::kUnicode && typing.charDelayMs <= 0) {
      entry.kind = TypingEntry::Kind::kLibrary;
      for (int k = 0; k < kCardFieldCount; ++k) {
        if (action.fields & (FieldMask{1} << k)) {
          entry.libraryTexts.push_back(table.texts[static_cast<std::size_t>(k)]);
        }
      }
      press.canTypeNow = true;
      return press;
    }
    entry.steps = FieldSteps(table.values, action.fields);
  } else {
    const KeyTemplate* found =
        table.settings ? table.settings->FindTemplate(action.templateKey) : nullptr;
    if (!found || !HoldsCard(table)) return std::nullopt;
    entry.steps = found->parsed.Expand(table.values, today, typing.fieldDelayMs);
    if (HasPhoto(entry.steps)) {
      entry.photo = PhotoJobFor(table.photo, table.settings->photo, table.values, today);
    }
  }
  if (entry.steps.empty()) return std::nullopt;
  press.canTypeNow = CanTypeInHook(entry.steps, typing);
  return press;
}

std::optional<TypingEntry> EntryForCardRead(const HookTable& table, std::wstring_view program,
                                            const Date& today) {
  const SettingsContent* settings = table.settings.get();
  if (!settings || !HoldsCard(table)) return std::nullopt;
  // A warned card waits for the operator's keys (提醒时不自动录入).
  if (HoldsOnRead(table.values, settings->checks, today)) return std::nullopt;
  const Template* onRead = settings->OnReadFor(program);
  if (!onRead) return std::nullopt;
  TypingEntry entry;
  entry.settings = settings->TypingFor(program);
  entry.steps = onRead->Expand(table.values, today, entry.settings.fieldDelayMs);
  if (HasPhoto(entry.steps))
    entry.photo = PhotoJobFor(table.photo, settings->photo, table.values, today);
  if (entry.steps.empty()) return std::nullopt;
  return entry;
}

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
