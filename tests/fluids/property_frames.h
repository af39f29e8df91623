// Test helpers for the fluid-property functions: run a call as a whole
// program (so that a fatal message ends it with its exit status) while the
// print unit is captured, and read back the messages it printed.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "runtime/fluids/interface/property_messages.h"
#include "runtime/platform/process.h"
#include "tests/support/message_frames.h"
#include "tests/support/test_support.h"

namespace kalvir::test {

struct Outcome {
  int status = 0;
  double value = 0.0;
  std::vector<Message> frames;
};

// Runs f as a program of its own, with the print unit captured; the warnings
// meant once per run are heard again.
inline Outcome run_captured(const std::function<double()>& f) {
  fluids::forget_reported_once();
  Outcome o;
  Unit6Capture out;
  o.status = platform::run_program([&] { o.value = f(); });
  o.frames = printed_messages(out.finish());
  return o;
}

// Same double, bit for bit; any two values that are not numbers count as the same.
inline bool same_value(double a, double b) {
  if (std::isnan(a) && std::isnan(b)) return true;
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

}  // namespace kalvir::test
