#include "runtime/platform/clock.h"

#include <ctime>

namespace kalvir::platform {

namespace {
std::optional<ClockReading> fixed;
}

ClockReading clock_now() {
  if (fixed) return *fixed;
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return ClockReading{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

void clock_fix(std::optional<ClockReading> reading) { fixed = reading; }

}  // namespace kalvir::platform
