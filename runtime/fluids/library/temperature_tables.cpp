#include "runtime/fluids/library/temperature_tables.h"

#include <algorithm>
#include <array>
#include <span>
#include <string_view>

#include "runtime/control/messages.h"
#include "runtime/fluids/library/table_data.h"
#include "runtime/fluids/library/table_engine.h"
#include "runtime/platform/fixed_string.h"

namespace {

using kalvir::fluids::Interpolation;
using kalvir::fluids::TableRange;
using kalvir::fluids::TableSide;

constexpr std::string_view kConductivity = "Temperature out of range for conductivity function@";
constexpr std::string_view kSpecificHeat = "Temperature out of range for specific heat function@";
constexpr std::string_view kLiquidViscosity =
    "Temperature out of range for liquid viscosity function@";
constexpr std::string_view kVapourViscosity =
    "Temperature out of range for vapour viscosity function@";
constexpr std::string_view kCompressibility =
    "Temperature out of range for compressibility function@";

// Routine names are reported six characters wide.
void warn(std::string_view message, std::int32_t NODE, std::string_view routine) {
  kalvir::fluids::table_warning(message, NODE, 1, kalvir::padded(routine, 6));
}

double temperature_table(std::span<const TableRange> table, std::int32_t NODE, double T,
                         double TOFF, std::string_view message, std::string_view routine) {
  const auto r = kalvir::fluids::table_lookup(table, T + TOFF, Interpolation::kLinear);
  if (r.side != TableSide::kInside) warn(message, NODE, routine);
  return r.value;
}

// Air: coefficients of the powers 0 to 5 of the absolute temperature.
constexpr std::array<double, 6> kAirConductivity = {
    4.8053724e-4, 1.0084074e-4, -5.0224692e-8, 1.5519417e-11, 3.777351e-15, -2.0017721e-18};
constexpr std::array<double, 6> kAirSpecificHeat = {
    1112.3445, -0.7902267, 1.9743026e-3, -1.7738141e-6, 7.353156e-10, -1.1509e-13};
// The viscosity polynomial gives 10000 times the value in Pa s.
constexpr std::array<double, 6> kAirViscosity = {
    0.04090903, 5.097655e-4, -3.2953963e-8, -2.734116e-10, 2.1595806e-13, -4.9172827e-17};

}  // namespace

double PPOLY(double X, std::span<const double> C, std::int32_t N) {
  if (N < 1 || static_cast<std::size_t>(N) > C.size()) ERROR("PPOLY");
  constexpr std::int64_t kMaxTerms = 2000000001;
  double sum = C[0];
  if (N == 1) return sum;
  sum += C[1] * X;
  double power = X;
  for (std::int64_t k = 3; k <= N; ++k) {
    if (k > kMaxTerms) ERROR("PPOLY");
    power *= X;
    sum += C[static_cast<std::size_t>(k - 1)] * power;
  }
  return sum;
}

double PCND00(double T, double TOFF) { return PPOLY(T + TOFF, kAirConductivity, 6); }
double PCP00(double T, double TOFF) { return PPOLY(T + TOFF, kAirSpecificHeat, 6); }
double PVSC00(double T, double TOFF) { return PPOLY(T + TOFF, kAirViscosity, 6) / 10000.0; }

#define KALVIR_TEMPERATURE_TABLE(name, message)                                          \
  double name(std::int32_t NODE, double T, double TOFF) {                                \
    return temperature_table(kalvir::fluids::k##name, NODE, T, TOFF, message, #name);    \
  }

KALVIR_TEMPERATURE_TABLE(PCND01, kConductivity)
KALVIR_TEMPERATURE_TABLE(PCND02, kConductivity)
KALVIR_TEMPERATURE_TABLE(PCND03, kConductivity)
KALVIR_TEMPERATURE_TABLE(PCND04, kConductivity)
KALVIR_TEMPERATURE_TABLE(PCND05, kConductivity)
KALVIR_TEMPERATURE_TABLE(PCND06, kConductivity)
KALVIR_TEMPERATURE_TABLE(PCND07, kConductivity)
KALVIR_TEMPERATURE_TABLE(PCND08, kConductivity)
KALVIR_TEMPERATURE_TABLE(PCND09, kConductivity)
KALVIR_TEMPERATURE_TABLE(PCND10, kConductivity)
KALVIR_TEMPERATURE_TABLE(PCND11, kConductivity)
KALVIR_TEMPERATURE_TABLE(PCND12, kConductivity)
KALVIR_TEMPERATURE_TABLE(PCND13, kConductivity)
KALVIR_TEMPERATURE_TABLE(PCND14, kConductivity)
KALVIR_TEMPERATURE_TABLE(PCND15, kConductivity)
KALVIR_TEMPERATURE_TABLE(PCND16, kConductivity)

KALVIR_TEMPERATURE_TABLE(PCP01, kSpecificHeat)
KALVIR_TEMPERATURE_TABLE(PCP02, kSpecificHeat)
KALVIR_TEMPERATURE_TABLE(PCP03, kSpecificHeat)
KALVIR_TEMPERATURE_TABLE(PCP05, kSpecificHeat)
KALVIR_TEMPERATURE_TABLE(PCP07, kSpecificHeat)
KALVIR_TEMPERATURE_TABLE(PCP08, kSpecificHeat)
KALVIR_TEMPERATURE_TABLE(PCP09, kSpecificHeat)
KALVIR_TEMPERATURE_TABLE(PCP11, kSpecificHeat)
KALVIR_TEMPERATURE_TABLE(PCP13, kSpecificHeat)
KALVIR_TEMPERATURE_TABLE(PCP15, kSpecificHeat)
KALVIR_TEMPERATURE_TABLE(PCP16, kSpecificHeat)

KALVIR_TEMPERATURE_TABLE(PVSC01, kLiquidViscosity)
KALVIR_TEMPERATURE_TABLE(PVSC02, kVapourViscosity)
KALVIR_TEMPERATURE_TABLE(PVSC03, kLiquidViscosity)
KALVIR_TEMPERATURE_TABLE(PVSC04, kVapourViscosity)
KALVIR_TEMPERATURE_TABLE(PVSC05, kLiquidViscosity)
KALVIR_TEMPERATURE_TABLE(PVSC06, kVapourViscosity)
KALVIR_TEMPERATURE_TABLE(PVSC07, kLiquidViscosity)
KALVIR_TEMPERATURE_TABLE(PVSC08, kVapourViscosity)
KALVIR_TEMPERATURE_TABLE(PVSC09, kLiquidViscosity)
KALVIR_TEMPERATURE_TABLE(PVSC10, kVapourViscosity)
KALVIR_TEMPERATURE_TABLE(PVSC11, kLiquidViscosity)
KALVIR_TEMPERATURE_TABLE(PVSC12, kVapourViscosity)
KALVIR_TEMPERATURE_TABLE(PVSC13, kLiquidViscosity)
KALVIR_TEMPERATURE_TABLE(PVSC14, kVapourViscosity)
KALVIR_TEMPERATURE_TABLE(PVSC15, kLiquidViscosity)
KALVIR_TEMPERATURE_TABLE(PVSC16, kVapourViscosity)

#undef KALVIR_TEMPERATURE_TABLE

double PKT15(std::int32_t NODE, double T, double TOFF) {
  // The table runs in whole degrees Celsius, in 1/bar, and includes its upper
  // bound, 91 degrees.
  const std::span<const double> a = kalvir::fluids::kPKT15[0].y;
  const std::span<const double> b = kalvir::fluids::kPKT15[1].y;
  const double tc = T + TOFF - 273.15;
  double v;
  if (tc < -77.0) {
    v = a.front();
    warn(kCompressibility, NODE, "PKT15");
  } else if (tc < 31.0) {
    const std::size_t i = std::min(static_cast<std::size_t>(tc + 77.0), a.size() - 2);
    v = a[i] + (tc - (static_cast<double>(i) - 77.0)) * (a[i + 1] - a[i]);
  } else if (tc <= 91.0) {
    const std::size_t i = static_cast<std::size_t>(tc - 31.0);
    v = i + 1 >= b.size() ? b.back()
                          : b[i] + (tc - (31.0 + static_cast<double>(i))) * (b[i + 1] - b[i]);
  } else {
    v = b.back();
    warn(kCompressibility, NODE, "PKT15");
  }
  return v * 1e-5;
}
