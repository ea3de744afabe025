// Milliseconds from a fixed start, as timers and deadlines need them; the
// system's monotonic clock, or a fake in tests.
#pragma once

#include <chrono>
#include <cstdint>

namespace gorvane::base {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::int64_t NowMs() const = 0;
};

// The system's steady clock (never goes back when the time of day is set).
class SystemClock final : public Clock {
 public:
  std::int64_t NowMs() const override {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
};

}  // namespace gorvane::base
