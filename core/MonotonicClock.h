#pragma once
// A clock that never goes back, in milliseconds from any start.
#include <cstdint>

namespace keyentry {

class MonotonicClock {
 public:
  virtual ~MonotonicClock() = default;
  virtual std::uint64_t NowMs() = 0;
};

}  // namespace keyentry
