#pragma once
// What the keyboard hook works from: the key code of each card field and the
// text it types, in the code page the text-sending library expects. The
// interface thread builds a fresh table whenever keys or card values change
// and publishes it whole; the hook thread only ever sees complete tables.
#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "core/CardField.h"

namespace keyentry {

struct HookTable {
  std::array<std::int16_t, kCardFieldCount> codes{};
  // Empty optional: the field has never been filled (typed as a null text).
  std::array<std::optional<std::string>, kCardFieldCount> texts;
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
