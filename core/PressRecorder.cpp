#include "core/PressRecorder.h"

#include "core/TypingPlan.h"

namespace keyentry {

RecordedPress::~RecordedPress() { Wipe(steps); }

void PressRecorder::Watch(std::uintptr_t window) {
  window_.store(window);
  Forget();
}

void PressRecorder::Record(const std::vector<TypingStep>& steps, const TypingSettings& settings) {
  RecordedPress press;
  press.steps = steps;
  press.settings = settings;
  std::optional<RecordedPress> old;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    press.number = ++count_;
    old.swap(last_);
    last_ = std::move(press);
  }
  // `old` is wiped here, outside the lock.
}

void PressRecorder::Forget() {
  std::optional<RecordedPress> old;
  std::lock_guard<std::mutex> lock(mutex_);
  old.swap(last_);
}

std::optional<RecordedPress> PressRecorder::Newer(unsigned after) const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!last_ || last_->number <= after) return std::nullopt;
  RecordedPress copy;
  copy.number = last_->number;
  copy.steps = last_->steps;
  copy.settings = last_->settings;
  return copy;
}

}  // namespace keyentry
