#pragma once
// The last key press typed into one chosen window, for the self-check: what
// the program sent, so that the window can compare it with what arrived.
// Off until a window is chosen; the press it keeps is card data, so it is
// wiped when it is replaced, forgotten or the recording stops.
// Thread-safe: presses are recorded on the hook thread, read on the
// interface thread.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "core/SettingsFile.h"
#include "core/Template.h"

namespace keyentry {

struct RecordedPress {
  unsigned number = 0;  // counts the presses recorded, from 1
  std::vector<TypingStep> steps;
  TypingSettings settings;

  RecordedPress() = default;
  ~RecordedPress();  // the steps are wiped
  RecordedPress(RecordedPress&&) = default;
  RecordedPress& operator=(RecordedPress&&) = default;
  RecordedPress(const RecordedPress&) = delete;
  RecordedPress& operator=(const RecordedPress&) = delete;
};

class PressRecorder {
 public:
  // Records the presses whose focused window is this one from now on (0:
  // none); what was kept is forgotten.
  void Watch(std::uintptr_t window);
  // Cheap: whether a press into this window is to be recorded.
  bool Watching(std::uintptr_t window) const {
    return window != 0 && window == window_.load(std::memory_order_relaxed);
  }
  // Keeps a copy of the steps in place of the last press.
  void Record(const std::vector<TypingStep>& steps, const TypingSettings& settings);
  void Forget();
  // A copy of the last press when it is newer than `after`.
  std::optional<RecordedPress> Newer(unsigned after) const;

 private:
  std::atomic<std::uintptr_t> window_{0};
  mutable std::mutex mutex_;
  std::optional<RecordedPress> last_;
  unsigned count_ = 0;
};

}  // namespace keyentry
