// The ranges where a fluid's properties are known to be off by more than
// 1 %: values against reference data, derivatives against the values they
// come from, and the saturation line against itself (runtime/fluids/README.md
// lists them with their sizes). The property functions keep the values there
// and warn, once per node and run, when a state they are asked for lies in
// one.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace kalvir::fluids {

// What a range is a range of: the absolute pressure (Pa) or temperature (K)
// of the state, or its temperature against a threshold that depends on its
// pressure, read linearly in the logarithm of the pressure between points.
enum class RangeOf : std::uint8_t { pressure, temperature, temperature_above };

struct ThresholdPoint {
  double pressure;     // Pa
  double temperature;  // K
};

struct UnsoundRange {
  std::int32_t slot;
  std::uint64_t codes;  // bit yy set: the adapters of property code yy
  RangeOf of;
  double low, high;  // [low, high), absolute; temperature_above: unused
  std::span<const ThresholdPoint> threshold;  // temperature_above only
  std::string_view what;
};

// Every range, in the order of their message codes (the first has code 1).
std::span<const UnsoundRange> unsound_ranges();

// After the adapter of code `code` of slot `slot` has answered `value` for P
// and T (model units): the warning (severity 2, routine "XRANGE", the range's
// code) that the state lies in a listed range, once per node and run. The
// temperature adapters (31, 35) are judged by the temperature they return.
void warn_if_unsound(std::int32_t slot, std::int32_t code, double P, double T, double value,
                     std::int32_t node);

}  // namespace kalvir::fluids
