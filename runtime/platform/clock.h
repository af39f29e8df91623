// The wall clock, fixable by tests.
#pragma once

#include <optional>

namespace kalvir::platform {

struct ClockReading {
  int year = 1970;
  int month = 1;  // 1..12
  int day = 1;    // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// The local date and time of day, or the fixed reading while one is set.
ClockReading clock_now();

// Fixes the clock at a reading (tests); std::nullopt returns to the real clock.
void clock_fix(std::optional<ClockReading> reading);

}  // namespace kalvir::platform
