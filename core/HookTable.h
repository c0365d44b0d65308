#pragma once
// What the keyboard hook works from: the key code of each card field, the
// text it types in the code page the text-sending library expects, the card
// values as text for templates and the program's own input path, and the
// settings of KeyEntry.ini. The interface thread builds a fresh table
// whenever keys, card values or settings change and publishes it whole; the
// hook thread only ever sees complete tables.
#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "core/CardField.h"
#include "core/SettingsFile.h"

namespace keyentry {

struct HookTable {
  std::array<std::int16_t, kCardFieldCount> codes{};
  // Empty optional: the field has never been filled (typed as a null text).
  std::array<std::optional<std::string>, kCardFieldCount> texts;
  // The same values as they are shown, for templates and typing modes.
  CardFieldValues values;
  // The photo file of the card as the reader wrote it; null: none, or one
  // that could not be shown (then {照片} and {照片文件} type nothing).
  std::shared_ptr<const std::string> photo;
  // The settings loaded last; null is the same as no settings file.
  std::shared_ptr<const SettingsContent> settings;
  // Typing on read waits for the operator's keys: 提醒时不自动录入 is on and
  // the checks of the card's read (Maths::CheckCard) warn of it.
  bool holdOnRead = false;
};

class HookTableStore {
 public:
  HookTableStore() : current_(std::make_shared<const HookTable>()) {}

  void Publish(std::shared_ptr<const HookTable> table) {
    std::lock_guard<std::mutex> lock(mutex_);
    current_ = std::move(table);
  }

  std::shared_ptr<const HookTable> Current() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return current_;
  }

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<const HookTable> current_;
};

}  // namespace keyentry
