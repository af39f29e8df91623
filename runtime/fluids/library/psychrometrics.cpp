#include "runtime/fluids/library/psychrometrics.h"

#include <array>
#include <cmath>
#include <string>

#include "runtime/control/run_end.h"
#include "runtime/fluids/interface/property_messages.h"
#include "runtime/fluids/library/eos.h"
#include "runtime/fluids/library/temperature_tables.h"
#include "runtime/platform/format.h"

namespace kalvir::fluids::psychro {
namespace {

constexpr double kCriticalPoint = 647.096;     // K
constexpr double kCriticalPressure = 22.064e6;  // Pa
constexpr double kLowestFrostPoint = 50.0;     // K, the low end of the sublimation equation
// The first table temperature at which the saturated-vapour tables are
// asked for their end value: inside their range for any rounding of TOFF.
constexpr double kTableStart = 273.2;

// Over liquid from the triple point to the critical point (Wagner and Pruss).
double wagner_pruss(double tk) {
  const double tau = 1.0 - tk / kCriticalPoint;
  const double sum = tau * (-7.85951783 + 1.84408259 * std::sqrt(tau) +
                            tau * tau * (-11.7866497 + 22.6807411 * std::sqrt(tau) - 15.9618719 * tau +
                                         1.80122502 * std::pow(tau, 4.5)));
  return kCriticalPressure * std::exp(kCriticalPoint / tk * sum);
}

// Over supercooled liquid (Murphy and Koop).
double murphy_koop(double tk) {
  return std::exp(54.842763 - 6763.22 / tk - 4.210 * std::log(tk) + 0.000367 * tk +
                  std::tanh(0.0415 * (tk - 218.8)) *
                      (53.878 - 1331.22 / tk - 9.44523 * std::log(tk) + 0.014025 * tk));
}

// The temperature in [LO, HI] at which the increasing function F reaches
// TARGET, by bisection down to neighbouring doubles.
template <class F>
double invert(F f, double target, double lo, double hi) {
  for (int pass = 0; pass < 200; ++pass) {
    const double mid = 0.5 * (lo + hi);
    if (mid <= lo || mid >= hi) break;
    if (f(mid) < target)
      lo = mid;
    else
      hi = mid;
  }
  return 0.5 * (lo + hi);
}

// Integral of the specific heat CP from 0 degrees Celsius to TK by
// five-point Gauss-Legendre quadrature: exact for the polynomial of dry air,
// and far within the tables' accuracy for the vapour's piecewise line.
template <class F>
double from_zero(F cp, double tk) {
  static constexpr std::array<double, 5> kPoint{-0.9061798459386640, -0.5384693101056831, 0.0,
                                                0.5384693101056831, 0.9061798459386640};
  static constexpr std::array<double, 5> kWeight{0.2369268850561891, 0.4786286704993665,
                                                 0.5688888888888889, 0.4786286704993665,
                                                 0.2369268850561891};
  const double half = 0.5 * (tk - kZeroCelsius), mid = 0.5 * (tk + kZeroCelsius);
  if (half == 0.0) return 0.0;
  double sum = 0.0;
  for (std::size_t i = 0; i < kPoint.size(); ++i) sum += kWeight[i] * cp(mid + half * kPoint[i]);
  return half * sum;
}

double dry_cp(double tk) { return PCP00(tk, 0.0); }
double vapour_cp(double tk, std::int32_t node) {
  return dilute_vapour(&PCP02, BelowTriple::hold, node, tk, 0.0);
}

[[noreturn]] void not_found(std::string_view what, double h, double x, std::int32_t node) {
  report("Humid-air temperature not found@" + std::string(what) + " Enthalpy = " +
             platform::edit_e(h, 12, 4, 0, 1) + ", humidity ratio = " + platform::edit_e(x, 12, 4, 0, 1),
         500, node, 4, 1, "PSYCHR");
  FAILUR();  // severity 4 has ended the run already
}

}  // namespace

double saturation_pressure_liquid(double tk) {
  if (!(tk < kCriticalPoint)) return kCriticalPressure;
  return tk >= kTriplePoint ? wagner_pruss(tk) : murphy_koop(tk);
}

double saturation_pressure_ice(double tk) {
  const double theta = tk / kTriplePoint;
  return kTriplePressure * std::exp((-21.2144006 * std::pow(theta, 0.00333333333) +
                                     27.3203819 * std::pow(theta, 1.20666667) -
                                     6.10598130 * std::pow(theta, 1.70333333)) /
                                    theta);
}

double saturation_pressure_surface(double tk) {
  return tk < kTriplePoint ? saturation_pressure_ice(tk) : saturation_pressure_liquid(tk);
}

double dew_point(double pv, std::int32_t node) {
  if (!(pv < kCriticalPressure)) {
    report_once("Vapour pressure above the critical pressure of water@Dew point taken as the critical "
                "temperature.",
                500, node, 2, 1, "PSYCHR");
    return kCriticalPoint;
  }
  if (pv >= kTriplePressure) return invert(wagner_pruss, pv, kTriplePoint, kCriticalPoint);
  if (pv <= saturation_pressure_ice(kLowestFrostPoint)) {
    report_once("Vapour pressure below the range of the frost-point equation@Frost point taken as 50 K.",
                500, node, 2, 2, "PSYCHR");
    return kLowestFrostPoint;
  }
  return invert(saturation_pressure_ice, pv, kLowestFrostPoint, kTriplePoint);
}

double humidity_ratio(double pv, double p) { return kMolarRatio * pv / (p - pv); }
double vapour_pressure(double x, double p) { return p * x / (x + kMolarRatio); }

double sublimation_enthalpy(double tk) {
  constexpr double kMolarMass = 0.018015268;  // kg/mol
  const double per_mole =
      46782.5 + 35.8925 * tk - 0.07414 * tk * tk + 541.5 * std::exp(-(tk / 123.75) * (tk / 123.75));
  return per_mole / kMolarMass;
}

double dilute_vapour(VapourTable table, BelowTriple rule, std::int32_t node, double t, double toff) {
  const double tk = t + toff;
  if (!(tk < kTriplePoint)) return table(node, t, toff);
  const double first = table(node, kTableStart - toff, toff);
  return rule == BelowTriple::hold ? first : first * tk / kTableStart;
}

double vapour_density(double pv, double tk) {
  if (!(tk < kZeroCelsius)) return PROS02(0.0, pv, 0.0, tk);
  return PROS02(0.0, pv, 0.0, kZeroCelsius) * kZeroCelsius / tk;
}

double enthalpy(double tk, double x, std::int32_t node) {
  const double dry = from_zero(dry_cp, tk);
  const double vapour = from_zero([node](double t) { return vapour_cp(t, node); }, tk);
  return dry + x * (kLatentAtZero + vapour);
}

double temperature(double h, double x, std::int32_t node) {
  // Newton's method on the enthalpy, whose slope is the specific heat of the
  // air and its vapour; from a start by the constant specific heats it
  // converges in a few passes.
  double tk = kZeroCelsius + (h - x * kLatentAtZero) / (1006.0 + 1860.0 * x);
  for (int pass = 0; pass < 100; ++pass) {
    const double slope = dry_cp(tk) + x * vapour_cp(tk, node);
    if (!(slope > 0.0)) not_found("The humidity ratio leaves no positive specific heat.", h, x, node);
    const double step = (enthalpy(tk, x, node) - h) / slope;
    if (!std::isfinite(step)) not_found("A value that is not a number arose.", h, x, node);
    tk -= step;
    if (std::abs(step) < 1e-9) return tk;
  }
  not_found("The iteration did not converge.", h, x, node);
}

HumidState state_from_enthalpy(double h, double phi, double p, std::int32_t node) {
  constexpr double kLowest = 100.0;
  HumidState s;
  if (!(phi >= 0.0) || !(p > 0.0)) return s;
  if (phi == 0.0) {
    s.tk = temperature(h, 0.0, node);
    s.found = s.tk > kLowest;
    return s;
  }
  // The enthalpy grows with the temperature, and without bound as the vapour
  // pressure of PHI nears the total pressure: below that temperature lies
  // the answer.
  const double ratio = p / phi;
  const double highest =
      ratio >= kCriticalPressure ? kCriticalPoint : invert(saturation_pressure_liquid, ratio, kLowest, kCriticalPoint);
  const auto ratio_at = [&](double tk) { return humidity_ratio(phi * saturation_pressure_liquid(tk), p); };
  // A vapour pressure that rounding lifts to the total pressure holds more
  // vapour than any enthalpy allows.
  const auto enthalpy_at = [&](double tk) {
    const double x = ratio_at(tk);
    return std::isfinite(x) && x >= 0.0 ? enthalpy(tk, x, node) : HUGE_VAL;
  };
  if (!(enthalpy_at(kLowest) <= h) || !(highest > kLowest)) return s;
  double lo = kLowest, hi = highest;
  for (int pass = 0; pass < 200 && hi - lo > 1e-10; ++pass) {
    const double mid = 0.5 * (lo + hi);
    if (enthalpy_at(mid) < h)
      lo = mid;
    else
      hi = mid;
  }
  s.tk = 0.5 * (lo + hi);
  s.x = ratio_at(s.tk);
  s.found = std::isfinite(s.x) && s.x >= 0.0;
  return s;
}

}  // namespace kalvir::fluids::psychro
