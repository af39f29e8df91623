#include "runtime/fluids/interface/unsound_ranges.h"

#include <array>
#include <bit>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <string>

#include "runtime/control/control_constants.h"
#include "runtime/fluids/interface/fluid_names.h"
#include "runtime/fluids/interface/property_messages.h"

namespace kalvir::fluids {

namespace {

constexpr std::uint64_t codes(std::initializer_list<int> list) {
  std::uint64_t bits = 0;
  for (const int c : list) bits |= std::uint64_t{1} << c;
  return bits;
}

// The adapters a range concerns, by property code.
constexpr std::uint64_t kLiquidEnthalpy = codes({26, 31});                // XENTH, XTEMP
constexpr std::uint64_t kLiquid = codes({1, 6, 26, 31, 41, 46});          // and XRHO, XCP, XJT, XKT
constexpr std::uint64_t kLiquidCompressibility = codes({46});             // XKT
constexpr std::uint64_t kVapourEnthalpy = codes({30, 35});                // XENTH, XTEMP
constexpr std::uint64_t kVapourSpecificHeat = codes({10});                // XCP
constexpr std::uint64_t kVapourDensity = codes({5, 45, 50});              // XRHO, XJT, XKT
constexpr std::uint64_t kVapour = kVapourEnthalpy | kVapourDensity;
constexpr std::uint64_t kSaturated = codes({2, 4, 27, 29, 32});           // XRHOS, XENTHS, XTEMPS
constexpr std::uint64_t kSaturatedJouleThomson = codes({44});             // XJTS

constexpr double kNone = std::numeric_limits<double>::infinity();

// Superheated steam, measured against IAPWS-95: the temperatures above which
// its specific heat (the saturated vapour's at T) is more than 1 % high, and
// above which its enthalpy is.
constexpr ThresholdPoint kSteamSpecificHeat[] = {
    {700.0, 299.2},  {5e3, 322.4},   {2e4, 346.4},   {1e5, 381.4},   {5e5, 429.6},
    {1e6, 456.7},    {2e6, 488.2},   {5e6, 538.3},   {1e7, 585.0},   {1.5e7, 615.7}};
constexpr ThresholdPoint kSteamEnthalpy[] = {
    {700.0, 440.7}, {2e3, 444.8}, {5e3, 446.7}, {1e4, 449.1}, {2e4, 452.7},
    {5e4, 458.0},   {1e5, 464.3}, {2e5, 472.4}, {5e5, 488.0}, {1e6, 504.6},
    {2e6, 526.6},   {5e6, 564.6}, {1e7, 600.7}, {1.5e7, 623.8}, {2e7, 639.9}};

constexpr UnsoundRange by_pressure(std::int32_t slot, std::uint64_t which, double low, double high,
                                   std::string_view what) {
  return {slot, which, RangeOf::pressure, low, high, {}, what};
}
constexpr UnsoundRange by_temperature(std::int32_t slot, std::uint64_t which, double low,
                                      double high, std::string_view what) {
  return {slot, which, RangeOf::temperature, low, high, {}, what};
}
constexpr UnsoundRange above(std::int32_t slot, std::uint64_t which,
                             std::span<const ThresholdPoint> threshold, std::string_view what) {
  return {slot, which, RangeOf::temperature_above, 0.0, 0.0, threshold, what};
}

// Measured on the tables (README); a range's message code is its place here.
// clang-format off
constexpr UnsoundRange kRanges[] = {
    // 1-7 AMMONIA
    by_pressure(kAmmonia, kSaturated, 5.8e6, kNone,
        "AMMONIA saturation line above 5.8 MPa: the slope of the saturation temperature is 10 to 23 % off the Clapeyron slope of the saturated enthalpies and densities."),
    by_pressure(kAmmonia, kSaturatedJouleThomson, 0.0, 0.16e6,
        "AMMONIA saturated vapour below 0.16 MPa: its Joule-Thomson coefficient makes the evaporative-link slope up to 4.6 times the saturated vapour's enthalpy slope (2.5 times at 0.1 MPa)."),
    by_pressure(kAmmonia, kSaturatedJouleThomson, 0.45e6, 7.4e6,
        "AMMONIA saturated vapour from 0.45 to 7.4 MPa: its Joule-Thomson coefficient makes the evaporative-link slope wrong-signed (to 2 MPa) or off by more than the saturated vapour's enthalpy slope."),
    by_temperature(kAmmonia, kLiquidEnthalpy, 202.9, 209.0,
        "AMMONIA liquid from 203 to 209 K: its enthalpy, from the saturation tables, rises with temperature 11 to 14 % slower than its specific heat says."),
    by_temperature(kAmmonia, kLiquidEnthalpy, 344.2, kNone,
        "AMMONIA liquid above 344 K: its enthalpy, from the saturation tables (the liquid's enthalpy table is remapped above 3.3 MPa), rises with temperature up to 50 % slower than its specific heat says."),
    by_pressure(kAmmonia, kVapourEnthalpy, 0.0, 65e3,
        "AMMONIA vapour below 65 kPa: its enthalpy's slope in pressure is 2 to 3.5 times what its Joule-Thomson coefficient gives."),
    by_pressure(kAmmonia, kVapourEnthalpy, 1.42e6, kNone,
        "AMMONIA vapour above 1.4 MPa: its enthalpy's slope in pressure is 2 to 4 times what its Joule-Thomson coefficient gives."),
    // 8-14 WATER
    above(kWater, kVapourSpecificHeat, kSteamSpecificHeat,
        "Superheated WATER: its specific heat is the saturated vapour's at T whatever the pressure, more than 1 % above the steam's."),
    above(kWater, kVapourEnthalpy, kSteamEnthalpy,
        "Superheated WATER: its enthalpy, from the saturated vapour's specific heat at T, is more than 1 % high (8 % at 300 C and 41 % at 400 C at 0.1 MPa)."),
    by_pressure(kWater, kVapourEnthalpy, 0.0, 6.4e3,
        "WATER vapour below 6.4 kPa: its enthalpy's slope in pressure is 2 to 29 times what its Joule-Thomson coefficient gives."),
    by_pressure(kWater, kVapour, 10.0e6, kNone,
        "WATER vapour above 10 MPa: its density near saturation is 1 to 34 % off the saturated vapour's, and its enthalpy's slope in pressure 2 to 6 times what its Joule-Thomson coefficient gives."),
    by_pressure(kWater, kSaturated, 12.0e6, kNone,
        "WATER saturation line above 12 MPa: the slope of the saturation temperature is up to 72 % off the Clapeyron slope of the saturated enthalpies and densities."),
    by_pressure(kWater, kSaturatedJouleThomson, 11.5e6, kNone,
        "WATER saturated vapour above 11.5 MPa: its Joule-Thomson coefficient makes the evaporative-link slope wrong-signed."),
    by_temperature(kWater, kLiquidCompressibility, 310.0, kNone,
        "WATER liquid above 310 K: its compressibility, from the speed of sound with a fixed ratio of specific heats, is 1 % (310 K) to 57 % (560 K) low."),
    // 15-19 R11
    by_pressure(kR11, kSaturated, 0.0, 660.0,
        "R11 saturation line below 0.66 kPa: the slope of the saturation temperature is 11 % off the Clapeyron slope."),
    by_temperature(kR11, kLiquidEnthalpy, 0.0, 205.9,
        "R11 liquid below 206 K: its enthalpy, from the saturation tables, rises with temperature 14 % faster than its specific heat says."),
    by_temperature(kR11, kLiquid, 423.6, kNone,
        "R11 liquid above 424 K: its enthalpy's slope in temperature departs from its specific heat by more than 10 %, and its compressed density has a pole near 462 K, rising with temperature from 462.6 to 464.2 K."),
    by_pressure(kR11, kVapourEnthalpy, 0.0, 6.9e3,
        "R11 vapour below 6.9 kPa: its enthalpy's slope in pressure is wrong-signed or up to 40 times what its Joule-Thomson coefficient gives."),
    by_pressure(kR11, kVapourDensity, 2.13e6, kNone,
        "R11 vapour above 2.1 MPa: its density near saturation is 1 to 2 % off the saturated vapour's."),
    // 20-27 R114
    by_pressure(kR114, kSaturated, 0.0, 720.0,
        "R114 saturation line below 0.72 kPa: the slope of the saturation temperature is 15 % off the Clapeyron slope."),
    by_pressure(kR114, kSaturated, 3.1e6, kNone,
        "R114 saturation line above 3.1 MPa: the slope of the saturation temperature is 11 % off the Clapeyron slope."),
    by_pressure(kR114, kSaturatedJouleThomson, 3.05e6, kNone,
        "R114 saturated vapour above 3.05 MPa: its Joule-Thomson coefficient makes the evaporative-link slope miss the saturated vapour's enthalpy slope by more than that slope."),
    by_temperature(kR114, kLiquidEnthalpy, 201.9, 219.1,
        "R114 liquid from 202 to 219 K: its enthalpy, from the saturation tables, rises with temperature up to 28 % faster than its specific heat says."),
    by_temperature(kR114, kLiquidEnthalpy, 235.1, 253.7,
        "R114 liquid from 235 to 254 K: its enthalpy, from the saturation tables, rises with temperature up to 40 % slower than its specific heat says."),
    by_temperature(kR114, kLiquid, 386.4, kNone,
        "R114 liquid above 386 K: its enthalpy's slope in temperature departs from its specific heat by more than 10 %, its density at saturation jumps 4.5 % near 2.9 MPa, and its compressed density has a pole near 412 K, rising with temperature from 411.8 to 413.1 K."),
    by_pressure(kR114, kVapourEnthalpy, 0.0, 8.3e3,
        "R114 vapour below 8.3 kPa: its enthalpy's slope in pressure is wrong-signed or up to 64 times what its Joule-Thomson coefficient gives."),
    by_pressure(kR114, kVapour, 1.9e6, kNone,
        "R114 vapour above 1.9 MPa: its density near saturation is 1 to 1.6 % off the saturated vapour's, and its enthalpy's slope in pressure has the wrong sign above 3.0 MPa."),
    // 28-32 R12
    by_pressure(kR12, kSaturated, 0.0, 650.0,
        "R12 saturation line below 0.65 kPa: the slope of the saturation temperature is 11 % off the Clapeyron slope."),
    by_pressure(kR12, kSaturated, 4.0e6, kNone,
        "R12 saturation line above 4.0 MPa: the slope of the saturation temperature is 12 % off the Clapeyron slope."),
    by_temperature(kR12, kLiquid, 360.3, kNone,
        "R12 liquid above 360 K: its enthalpy's slope in temperature departs from its specific heat by more than 10 %, its density at saturation jumps 4.3 % near 3.6 MPa, and its compressed density has a pole near 378 K, rising with temperature from 377.7 to 379.0 K."),
    by_pressure(kR12, kVapourEnthalpy, 0.0, 6.6e3,
        "R12 vapour below 6.6 kPa: its enthalpy's slope in pressure is wrong-signed or up to 25 times what its Joule-Thomson coefficient gives."),
    by_pressure(kR12, kVapourDensity, 3.2e6, kNone,
        "R12 vapour above 3.2 MPa: its density near saturation is 1 to 3.4 % off the saturated vapour's."),
    // 33-39 R21
    by_pressure(kR21, kSaturated, 0.0, 660.0,
        "R21 saturation line below 0.66 kPa: the slope of the saturation temperature is 11 % off the Clapeyron slope."),
    by_pressure(kR21, kSaturated, 2.1e6, 4.1e6,
        "R21 saturation line from 2.1 to 4.1 MPa: the slope of the saturation temperature is 10 to 23 % off the Clapeyron slope."),
    by_pressure(kR21, kSaturatedJouleThomson, 2.33e6, kNone,
        "R21 saturated vapour above 2.3 MPa: its Joule-Thomson coefficient makes the evaporative-link slope wrong-signed or off by more than the saturated vapour's enthalpy slope."),
    by_temperature(kR21, kLiquidEnthalpy, 0.0, 198.5,
        "R21 liquid below 199 K: its enthalpy, from the saturation tables, rises with temperature 11 % faster than its specific heat says."),
    by_temperature(kR21, kLiquid, 361.1, kNone,
        "R21 liquid above 361 K: its enthalpy's slope in temperature departs from its specific heat by more than 10 %, its density at saturation jumps 1.8 % near 4.5 MPa, and its compressed density has a pole near 444 K, rising with temperature from 443.3 to 446.0 K."),
    by_pressure(kR21, kVapourEnthalpy, 0.0, 0.26e6,
        "R21 vapour below 0.26 MPa: its enthalpy's slope in pressure is 2 to 150 times what its Joule-Thomson coefficient gives."),
    by_pressure(kR21, kVapour, 1.72e6, kNone,
        "R21 vapour above 1.7 MPa: its density near saturation is 1.6 to 13 % off the saturated vapour's (13 % from 3.8 to 4.8 MPa), and above 3.8 MPa its enthalpy's slope in pressure is up to 18 times what its Joule-Thomson coefficient gives."),
    // 40-44 R22
    by_pressure(kR22, kSaturated, 0.0, 680.0,
        "R22 saturation line below 0.68 kPa: the slope of the saturation temperature is 12 % off the Clapeyron slope."),
    by_pressure(kR22, kSaturatedJouleThomson, 2.33e6, 3.55e6,
        "R22 saturated vapour from 2.3 to 3.6 MPa: its Joule-Thomson coefficient makes the evaporative-link slope wrong-signed."),
    by_temperature(kR22, kLiquid, 291.8, kNone,
        "R22 liquid above 292 K: its enthalpy, from the saturation tables, rises with temperature 10 to 34 % faster than its specific heat says, and its compressed density has a pole near 363 K, rising with temperature from 362.7 to 363.8 K."),
    by_pressure(kR22, kVapourEnthalpy, 0.0, 0.151e6,
        "R22 vapour below 0.15 MPa: its enthalpy's slope in pressure has the wrong sign."),
    by_pressure(kR22, kVapourDensity, 3.8e6, kNone,
        "R22 vapour above 3.8 MPa: its density near saturation is 1 to 4 % off the saturated vapour's."),
    // 45-51 R502
    by_pressure(kR502, kSaturated, 0.0, 720.0,
        "R502 saturation line below 0.72 kPa: the slope of the saturation temperature is 15 % off the Clapeyron slope."),
    by_pressure(kR502, kSaturated, 3.27e6, kNone,
        "R502 saturation line above 3.3 MPa: the slope of the saturation temperature is 15 to 25 % off the Clapeyron slope."),
    by_pressure(kR502, kSaturatedJouleThomson, 1.74e6, 2.66e6,
        "R502 saturated vapour from 1.7 to 2.7 MPa: its Joule-Thomson coefficient makes the evaporative-link slope wrong-signed."),
    by_pressure(kR502, kSaturatedJouleThomson, 3.73e6, kNone,
        "R502 saturated vapour above 3.7 MPa: its Joule-Thomson coefficient makes the evaporative-link slope 2.4 to 3 times the saturated vapour's enthalpy slope."),
    by_temperature(kR502, kLiquidEnthalpy, 345.2, kNone,
        "R502 liquid above 345 K: its enthalpy, from the saturation tables, rises with temperature up to 27 % slower than its specific heat says."),
    by_pressure(kR502, kVapourEnthalpy, 0.0, 9.6e3,
        "R502 vapour below 9.6 kPa: its enthalpy's slope in pressure is wrong-signed or up to 26 times what its Joule-Thomson coefficient gives."),
    by_pressure(kR502, kVapour, 2.47e6, kNone,
        "R502 vapour above 2.5 MPa: its density near saturation is 1.5 to 3.3 % off the saturated vapour's, and above 3.5 MPa its enthalpy's slope in pressure is up to 5.6 times what its Joule-Thomson coefficient gives."),
};
// clang-format on

// For each slot and property code, the ranges that concern its adapter (bit i:
// kRanges[i]): most property calls concern none, and the others one or two.
static_assert(std::size(kRanges) <= 64);
constexpr auto kByAdapter = [] {
  std::array<std::array<std::uint64_t, 64>, kFluidSlots + 1> by{};
  for (std::size_t i = 0; i < std::size(kRanges); ++i) {
    for (std::size_t code = 1; code < 64; ++code) {
      if ((kRanges[i].codes >> code) & 1U) {
        by[static_cast<std::size_t>(kRanges[i].slot)][code] |= std::uint64_t{1} << i;
      }
    }
  }
  return by;
}();

// The threshold temperature at pressure pa, linear in log(pa) between the
// points and held at the end points beyond them.
double threshold_at(std::span<const ThresholdPoint> points, double pa) {
  if (!(pa > points.front().pressure)) return points.front().temperature;
  for (std::size_t i = 1; i < points.size(); ++i) {
    if (pa < points[i].pressure) {
      const ThresholdPoint& a = points[i - 1];
      const ThresholdPoint& b = points[i];
      const double f = std::log(pa / a.pressure) / std::log(b.pressure / a.pressure);
      return a.temperature + f * (b.temperature - a.temperature);
    }
  }
  return points.back().temperature;
}

bool contains(const UnsoundRange& r, double pa, double ta) {
  switch (r.of) {
    case RangeOf::pressure:
      return pa >= r.low && pa < r.high;
    case RangeOf::temperature:
      return ta >= r.low && ta < r.high;
    case RangeOf::temperature_above:
      return ta >= threshold_at(r.threshold, pa);
  }
  return false;
}

// The warnings of the ranges (bits of kRanges) that contain the state; out of
// line, so that the calls whose adapter no range concerns return at once.
[[gnu::noinline]] void warn_in(std::uint64_t ranges, double pa, double ta, std::int32_t node) {
  for (; ranges != 0; ranges &= ranges - 1) {
    const auto i = static_cast<std::size_t>(std::countr_zero(ranges));
    const UnsoundRange& r = kRanges[i];
    if (!contains(r, pa, ta)) continue;
    report_once("Fluid property outside its sound range@" + std::string(r.what), 500, node, 2,
                static_cast<std::int32_t>(i + 1), "XRANGE");
  }
}

}  // namespace

std::span<const UnsoundRange> unsound_ranges() { return kRanges; }

void warn_if_unsound(std::int32_t slot, std::int32_t code, double P, double T, double value,
                     std::int32_t node) {
  if (slot < 1 || slot > kFluidSlots || code < 1 || code > 63) return;
  const std::uint64_t ranges =
      kByAdapter[static_cast<std::size_t>(slot)][static_cast<std::size_t>(code)];
  if (ranges == 0) return;
  warn_in(ranges, P + GLOR.PABS, (code == 31 || code == 35 ? value : T) + GLOR.TABS, node);
}

}  // namespace kalvir::fluids
