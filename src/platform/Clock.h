#pragma once

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

}  // namespace vosta
