#pragma once

#include <cstdint>
#include <functional>

namespace vosta {

// A local date and time as the wall clock shows it, milliseconds dropped.
struct LocalDateTime {
  int year = 0;
  int month = 0;  // 1..12
  int day = 0;    // 1..31
  int hour = 0;   // 0..23
  int minute = 0;
  int second = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalDateTime Now() = 0;
};

// The system's local time.
class SystemClock final : public Clock {
 public:
  LocalDateTime Now() override;
};

// Milliseconds from an arbitrary start on a clock that never goes back, whatever the wall clock
// does: for measuring how long something took or how far apart two events were.
using MonotonicClock = std::function<std::int64_t()>;

// The system's monotonic clock.
std::int64_t SteadyMilliseconds();

}  // namespace vosta
