#include "runtime/fluids/library/saturation_pressure.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/control/messages.h"
#include "runtime/platform/fixed_string.h"
#include "runtime/platform/format.h"

namespace {

// A diagnostic of 255 characters: the texts around the temperature argument.
void report(std::string_view before, double T, std::string_view after, std::int32_t code,
            std::string_view routine) {
  std::array<char, 255> text;
  kalvir::assign_padded(text, std::string(before) + kalvir::platform::edit_f(T, 10, 2) +
                                  std::string(after));
  SETERX(std::string_view(text.data(), text.size()), 1, code, routine);
}

constexpr std::string_view kCriticalAssumed = "; critical pressure assumed.";

// Water and ammonia: ln(P/Pc) as a function of the reduced temperature, valid
// for 0 < Tr <= 1.
struct ReducedEquation {
  double tc;
  double pc;
  double (*log_ratio)(double tr, double tau);
  std::string_view routine;
  std::string_view too_high;
  std::string_view too_low;
  std::string_view too_low_after;
};

double water_log_ratio(double tr, double tau) {
  return (tau / tr) * (std::sqrt(tau) * (1.898527 - 2.364891 * tau +
                                         std::pow(tau, 5) * (9.982952 * tau - 9.911414)) -
                       7.863889);
}

double ammonia_log_ratio(double tr, double tau) {
  return (-7.22986 * tau + 1.28909 * std::pow(tau, 1.5) - 2.45958 * std::pow(tau, 3) -
          1.37809 * std::pow(tau, 6)) /
         tr;
}

constexpr ReducedEquation kWater{
    647.25, 22093000.0, water_log_ratio, "PSAT02",
    "Temperature greater than critical temperature@Temperature too high for calculation of "
    "saturation pressure of water. Temperature = ",
    "Temperature less than absolute zero@Temperature too low for calculation of saturation "
    "pressure of water. Temperature = ",
    "; zero pressure assumed."};

constexpr ReducedEquation kAmmonia{
    405.4, 11333000.0, ammonia_log_ratio, "PSAT16",
    "Temperature greater than critical temperature@Temperature too high for calculation of "
    "saturated pressure of ammonia. Temperature = ",
    "Temperature is less than absolute zero@Temperature too low for calculation of saturated "
    "pressure of ammonia. Temperature =  ",
    "; Zero pressure assumed."};

double reduced(const ReducedEquation& eq, double PABS, double TOFF, double T) {
  const double tr = (T + TOFF) / eq.tc;
  double p;
  if (tr <= 0.0) {
    p = 0.0;
    report(eq.too_low, T, eq.too_low_after, 2, eq.routine);
  } else if (tr <= 1.0) {
    const double tau = 1.0 - tr;
    p = eq.pc * std::exp(eq.log_ratio(tr, tau));
  } else {  // above the critical temperature, or not a number
    p = eq.pc;
    report(eq.too_high, T, kCriticalAssumed, 1, eq.routine);
  }
  return p - PABS;
}

// The refrigerants: log10 of the pressure in psi as a function of the
// temperature in degrees Rankine, up to the bound tb (K).
struct RefrigerantEquation {
  std::string_view fluid;
  std::string_view routine;
  double tb;
  double a, b, c, d, e, f;
  double p_above;  // the equation at tb, Pa
};

constexpr std::array<RefrigerantEquation, 6> kRefrigerants = {{
    {"R11", "PSAT04", 471.15, 42.14703, -4344.344, -12.84595, 0.004008372, 0.03136, 862.07,
     4410866.026700566},
    {"R12", "PSAT06", 385.15, 39.88382, -3436.632, -12.47152, 0.004730442, 0.0, 0.0,
     4115482.3937187004},
    {"R21", "PSAT08", 451.6, 42.7908, -4261.34, -13.0295, 0.0039851, 0.0, 0.0,
     5133058.629312248},
    {"R22", "PSAT10", 369.17, 29.35754, -3845.193, -7.861031, 0.002190939, 0.445747, 686.1,
     4978482.861197563},
    {"R114", "PSAT12", 418.86, 27.07131, -5113.702, -6.308676, 0.0006913003, 0.781421, 768.35,
     3263303.8527741577},
    {"R502", "PSAT14", 355.31, 10.64495, -3671.154, -0.369835, -0.001746352, 0.816114, 654.0,
     4075718.556003048},
}};

double refrigerant(const RefrigerantEquation& eq, double PABS, double TOFF, double T) {
  const double ta = T + TOFF;
  double p;
  if (ta <= 0.0) {
    p = 0.0;
    report("Temperature is less than absolute zero@Temperature too low for calculation of "
           "saturation pressure of " +
               std::string(eq.fluid) + ". Temperature = ",
           T, "; zero pressure assumed.", 1, eq.routine);
  } else if (ta <= eq.tb) {
    const double tr = 1.8 * ta;
    double log_psi = eq.a + eq.b / tr + eq.c * std::log10(tr) + eq.d * tr;
    if (eq.e != 0.0) log_psi += eq.e * ((eq.f - tr) / tr) * std::log10(std::abs(eq.f - tr));
    // 14.5 psi to the bar.
    p = std::pow(10.0, log_psi) * 100000.0 / 14.5;
  } else {  // above the bound, or not a number
    p = eq.p_above;
    report("Temperature greater than critical temperature@Temperature too high for calculation "
           "of saturation pressure of " +
               std::string(eq.fluid) + ". Temperature = ",
           T, kCriticalAssumed, 2, eq.routine);
  }
  return p - PABS;
}

}  // namespace

double PSAT02(double PABS, double TOFF, double T) { return reduced(kWater, PABS, TOFF, T); }
double PSAT04(double PABS, double TOFF, double T) {
  return refrigerant(kRefrigerants[0], PABS, TOFF, T);
}
double PSAT06(double PABS, double TOFF, double T) {
  return refrigerant(kRefrigerants[1], PABS, TOFF, T);
}
double PSAT08(double PABS, double TOFF, double T) {
  return refrigerant(kRefrigerants[2], PABS, TOFF, T);
}
double PSAT10(double PABS, double TOFF, double T) {
  return refrigerant(kRefrigerants[3], PABS, TOFF, T);
}
double PSAT12(double PABS, double TOFF, double T) {
  return refrigerant(kRefrigerants[4], PABS, TOFF, T);
}
double PSAT14(double PABS, double TOFF, double T) {
  return refrigerant(kRefrigerants[5], PABS, TOFF, T);
}
double PSAT16(double PABS, double TOFF, double T) { return reduced(kAmmonia, PABS, TOFF, T); }
