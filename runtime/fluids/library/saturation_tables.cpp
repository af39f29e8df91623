#include "runtime/fluids/library/saturation_tables.h"

#include <span>
#include <string>
#include <string_view>

#include "runtime/fluids/library/table_data.h"
#include "runtime/fluids/library/table_engine.h"
#include "runtime/platform/fixed_string.h"
#include "runtime/platform/format.h"

namespace {

using kalvir::fluids::Interpolation;
using kalvir::fluids::TableRange;
using kalvir::fluids::TableSide;

// The liquid members report the same text as the vapour members.
constexpr std::string_view kEnthalpy = "Pressure out of range for vapour enthalpy function@";
constexpr std::string_view kVapourDensity =
    "Pressure out of range for saturated vapour density function@";
constexpr std::string_view kLiquidDensity = "Temperature out of range for liquid density function@";
constexpr std::string_view kSaturationTemperature =
    "Pressure out of range for saturation temperature function@";
// The saturation-temperature members hold degrees Celsius.
constexpr double kZeroCelsius = 273.15;

double saturation_table(std::span<const TableRange> table, std::int32_t NODE, double x,
                        std::string_view message, std::string_view routine,
                        Interpolation how = Interpolation::kParabola) {
  const auto r = kalvir::fluids::table_lookup(table, x, how);
  if (r.side != TableSide::kInside) {
    kalvir::fluids::table_warning(message, NODE, 1, kalvir::padded(routine, 6));
  }
  return r.value;
}

}  // namespace

#define KALVIR_PRESSURE_MEMBER(name, message)                                      \
  double name(std::int32_t NODE, double POFF, double P) {                         \
    return saturation_table(kalvir::fluids::k##name, NODE, P + POFF, message, #name); \
  }
#define KALVIR_TEMPERATURE_MEMBER(name, message)                                   \
  double name(std::int32_t NODE, double T, double TOFF) {                         \
    return saturation_table(kalvir::fluids::k##name, NODE, T + TOFF, message, #name); \
  }
#define KALVIR_SATURATION_TEMPERATURE(name)                                            \
  double name(std::int32_t NODE, double POFF, double P, double TOFF) {                \
    return saturation_table(kalvir::fluids::k##name, NODE, P + POFF, kSaturationTemperature, \
                            #name) +                                                   \
           kZeroCelsius - TOFF;                                                        \
  }

KALVIR_PRESSURE_MEMBER(PETH01, kEnthalpy)
KALVIR_PRESSURE_MEMBER(PETH02, kEnthalpy)
KALVIR_PRESSURE_MEMBER(PETH03, kEnthalpy)
KALVIR_PRESSURE_MEMBER(PETH04, kEnthalpy)
KALVIR_PRESSURE_MEMBER(PETH05, kEnthalpy)
KALVIR_PRESSURE_MEMBER(PETH06, kEnthalpy)
KALVIR_PRESSURE_MEMBER(PETH07, kEnthalpy)
KALVIR_PRESSURE_MEMBER(PETH08, kEnthalpy)
KALVIR_PRESSURE_MEMBER(PETH09, kEnthalpy)
KALVIR_PRESSURE_MEMBER(PETH10, kEnthalpy)
KALVIR_PRESSURE_MEMBER(PETH11, kEnthalpy)
KALVIR_PRESSURE_MEMBER(PETH12, kEnthalpy)
KALVIR_PRESSURE_MEMBER(PETH13, kEnthalpy)
KALVIR_PRESSURE_MEMBER(PETH14, kEnthalpy)
KALVIR_PRESSURE_MEMBER(PETH15, kEnthalpy)
KALVIR_PRESSURE_MEMBER(PETH16, kEnthalpy)

KALVIR_PRESSURE_MEMBER(PRHO02, kVapourDensity)
KALVIR_PRESSURE_MEMBER(PRHO04, kVapourDensity)
KALVIR_PRESSURE_MEMBER(PRHO06, kVapourDensity)
KALVIR_PRESSURE_MEMBER(PRHO08, kVapourDensity)
KALVIR_PRESSURE_MEMBER(PRHO10, kVapourDensity)
KALVIR_PRESSURE_MEMBER(PRHO12, kVapourDensity)
KALVIR_PRESSURE_MEMBER(PRHO14, kVapourDensity)

KALVIR_TEMPERATURE_MEMBER(PRHO01, kLiquidDensity)
KALVIR_TEMPERATURE_MEMBER(PRHO03, kLiquidDensity)
KALVIR_TEMPERATURE_MEMBER(PRHO05, kLiquidDensity)
KALVIR_TEMPERATURE_MEMBER(PRHO07, kLiquidDensity)
KALVIR_TEMPERATURE_MEMBER(PRHO09, kLiquidDensity)
KALVIR_TEMPERATURE_MEMBER(PRHO13, kLiquidDensity)
KALVIR_TEMPERATURE_MEMBER(PRHO15, kLiquidDensity)

KALVIR_SATURATION_TEMPERATURE(PTS02)
KALVIR_SATURATION_TEMPERATURE(PTS04)
KALVIR_SATURATION_TEMPERATURE(PTS06)
KALVIR_SATURATION_TEMPERATURE(PTS08)
KALVIR_SATURATION_TEMPERATURE(PTS10)
KALVIR_SATURATION_TEMPERATURE(PTS12)
KALVIR_SATURATION_TEMPERATURE(PTS14)
KALVIR_SATURATION_TEMPERATURE(PTS16)

#undef KALVIR_PRESSURE_MEMBER
#undef KALVIR_TEMPERATURE_MEMBER
#undef KALVIR_SATURATION_TEMPERATURE

// R114 liquid is read with straight lines.
double PRHO11(std::int32_t NODE, double T, double TOFF) {
  return saturation_table(kalvir::fluids::kPRHO11, NODE, T + TOFF, kLiquidDensity, "PRHO11",
                          Interpolation::kLinear);
}

// Ammonia vapour names the temperature it was given (model units) in its warnings.
double PRHO16(std::int32_t NODE, double T, double TOFF) {
  const auto r = kalvir::fluids::table_lookup(kalvir::fluids::kPRHO16, T + TOFF,
                                              Interpolation::kParabola);
  if (r.side != TableSide::kInside) {
    const bool low = r.side == TableSide::kBelow;
    const std::string text =
        std::string(low ? "Temperature too low" : "Temperature too high") +
        " for saturated vapour density of ammonia@Temperature = " +
        kalvir::platform::edit_f(T, 10, 2);
    kalvir::fluids::table_warning(text, NODE, low ? 1 : 2, "PRHO16");
  }
  return r.value;
}

namespace kalvir::fluids {

SaturationPoint saturation_point(std::span<const TableRange> pts, double t_abs) noexcept {
  const TableLookup p = table_inverse(pts, t_abs - kZeroCelsius);
  switch (p.side) {
    case TableSide::kInside:
      break;
    case TableSide::kBelow:
      return {p.value, pts.front().y.front() + kZeroCelsius, p.side};
    case TableSide::kAbove:
      return {p.value, pts.back().y.back() + kZeroCelsius, p.side};
  }
  return {p.value, t_abs, p.side};
}

}  // namespace kalvir::fluids
