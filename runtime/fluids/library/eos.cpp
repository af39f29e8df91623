#include "runtime/fluids/library/eos.h"

#include <array>
#include <cmath>
#include <string>

#include "runtime/control/control_constants.h"
#include "runtime/control/run_end.h"
#include "runtime/fluids/interface/fluid_names.h"
#include "runtime/fluids/interface/properties.h"
#include "runtime/fluids/interface/property_messages.h"
#include "runtime/fluids/library/saturation_pressure.h"
#include "runtime/fluids/library/saturation_tables.h"
#include "runtime/fluids/library/temperature_tables.h"
#include "runtime/platform/format.h"

using kalvir::fluids::report;
using kalvir::fluids::report_once;
using kalvir::platform::edit_e;
using kalvir::platform::edit_f;
using kalvir::platform::edit_g;

namespace {

// Iterations that converge in a handful of steps from their starting points;
// a state that has not converged after this many is not going to.
constexpr int kMaxIterations = 200;

std::string sci12(double v) { return edit_e(v, 12, 4, 0, 1); }

// Pressure and temperature of a state that an iteration could not solve.
std::string state_text(double pa, double tk) {
  return "Pressure = " + sci12(pa) + " Pa, temperature = " + sci12(tk) + " K";
}

}  // namespace

// ---------------------------------------------------------------------------
// Superheated steam

double PROS02(double PABS, double P, double TABS, double T) {
  double pa = P + PABS;
  double tk = T + TABS;
  if (pa > 1.0e7) {
    report(
        "Pressure out of range for fluid property function@Superheated water density: "
        "pressure = " +
            kalvir::padded(edit_g(P, 12, 6), 20),
        255, 0, 2, 1, "PROS02");
    pa = 1.0e7;
  }
  if (tk < 273.15) {
    report(
        "Temperature out of range for fluid property function@Superheated water density: "
        "temperature = " +
            kalvir::padded(edit_f(T, 12, 2), 20),
        255, 0, 2, 2, "PROS02");
    tk = 273.15;
  } else if (tk > 1073.15) {
    report(
        "Temperature out of range for fluid property function@Superheated water density: "
        "temperature = " +
            kalvir::padded(edit_f(T, 12, 2), 20),
        255, 0, 2, 3, "PROS02");
    tk = 1073.15;
  }

  const double tau = 1500.0 / tk;
  const double theta = tk / 647.286;
  const double b = -0.0004882 * tau -
                   0.000942 * std::pow(1.0 - std::exp(-tau), 2.5) * std::exp(tau) / std::sqrt(tau) +
                   0.0015 / (1.0 + tk / 10000.0);
  const double c = 1.5e-06 + 1.772 * (theta - 0.8978) * std::exp(-11.16 * theta);

  constexpr double r = 461.5;
  const double d = 1.0 + 4.0 * b * pa / (r * tk);
  double rho = d > 0.0 ? (std::sqrt(d) - 1.0) / (2.0 * b) : -1.0 / (2.0 * b);

  const double rt = r * tk;
  const double rt2 = 923.0 * tk;
  const double rt3 = 1384.5 * tk;
  for (int pass = 1; pass <= kMaxIterations; ++pass) {
    const double f = rho * rt * (1.0 + b * rho + c * rho * rho) - pa;
    const double fp = rt + rt2 * b * rho + rt3 * c * rho * rho;
    const double step = f / fp;
    rho -= step;
    if (!std::isfinite(rho)) {
      report("Superheated water density not found@A value that is not a number arose. " +
                 state_text(pa, tk),
             255, 0, 4, 4, "PROS02");
      return 0.0;
    }
    if (std::fabs(step) <= 0.001) return rho;
  }
  report(
      "Superheated water density not found@The iteration did not converge. " + state_text(pa, tk),
      255, 0, 4, 5, "PROS02");
  return 0.0;
}

// ---------------------------------------------------------------------------
// Ammonia vapour

namespace {

// Second virial coefficient of ammonia, cm3/mol, at 195, 200, ..., 700 K; ten
// values a row, the rows starting at 195, 245, ..., 695 K.
// clang-format off
constexpr std::array<double, 102> kB16{
  -1020.038, -945.484, -875.384, -809.938, -749.346, -693.589, -642.511, -595.87, -553.375, -514.714,
  -479.572, -447.638, -418.616, -392.228, -368.216, -346.344, -326.395, -308.172, -291.499, -276.216,
  -262.181, -249.264, -237.352, -226.342, -216.143, -206.674, -197.863, -189.646, -181.964, -174.768,
  -168.011, -161.655, -155.662, -150.001, -144.644, -139.566, -134.742, -130.155, -125.785, -121.616,
  -117.635, -113.828, -110.184, -106.692, -103.343, -100.129, -97.042, -94.075, -91.222, -88.478,
  -85.837, -83.295, -80.848, -78.491, -76.22, -74.034, -71.928, -69.901, -67.948, -66.068,
  -64.259, -62.518, -60.844, -59.234, -57.687, -56.201, -54.775, -53.407, -52.095, -50.838,
  -49.635, -48.485, -47.386, -46.337, -45.337, -44.385, -43.48, -42.62, -41.805, -41.034,
  -40.306, -39.619, -38.974, -38.368, -37.802, -37.273, -36.783, -36.329, -35.911, -35.527,
  -35.179, -34.863, -34.581, -34.33, -34.111, -33.923, -33.765, -33.636, -33.535, -33.463,
  -33.418, -33.4
};
// clang-format on

}  // namespace

double PB16(std::int32_t NODE, double T, double TABS) {
  const double tk = T + TABS;
  if (tk < 195.0) {
    report("Temperature too low for 2nd Virial Coefficient of ammonia@Temperature = " +
               edit_f(T, 10, 2),
           255, NODE, 2, 1, "PB16");
    return -1.020038;
  }
  // Also taken by a temperature that is not a number, which has no place in the table.
  if (!(tk < 700.0)) {
    report("Temperature too high for 2nd Virial Coefficient of ammonia@Temperature = " +
               edit_f(T, 10, 2),
           255, NODE, 2, 2, "PB16");
    return -0.0334;
  }
  // A temperature a rounding below 700 K must not reach past the last interval.
  const auto k = std::min(static_cast<std::size_t>((tk - 195.0) / 5.0), kB16.size() - 2);
  const double bk = kB16[k];
  const double bk1 = kB16[k + 1];
  return (bk + (bk1 - bk) / 5.0 * (tk - (195.0 + 5.0 * static_cast<double>(k)))) * 0.001;
}

double PROS16(std::int32_t NODE, double PABS, double P, double TABS, double T) {
  const std::int32_t slot = FTYPEI("AMMONIA");
  const double pa = P + PABS;
  const double tk = T + TABS;
  constexpr double r = 8314.4;
  constexpr double m = 17.03;

  // The molar volume divides by the absolute pressure and the blend by the band.
  const double band = 0.6 * pa / 100000.0 + 5.0;
  if (pa == 0.0 || band == 0.0) {
    kalvir::fluids::stop_on_zero(
        "Absolute pressure out of range for ammonia vapour density. " + state_text(pa, tk), NODE, 1,
        "PROS16");
  }
  const double ts = XTEMPS(P, slot, NODE);
  double f = 1.0;
  if (band > std::fabs(T - ts)) {
    const double rhog = XRHOS(P, ts, 1.0, slot, NODE);
    const double bs = PB16(NODE, ts, TABS);
    const double w = (ts + band - T) / band;
    f = w * w * ((m / rhog - r * (ts + TABS) / pa) / bs - 1.0) + 1.0;
  }
  const double v = r * tk / pa + PB16(NODE, T, TABS) * f;
  return m / v;
}

// ---------------------------------------------------------------------------
// Martin-Hou equation of state

double PEOS(std::span<const double, 4> A, std::span<const double, 4> B,
            std::span<const double, 4> C, double K, double R, double T, double Tc, double v,
            double b) {
  const double y = 1.0 / (v - b);
  const double e = std::exp(-K * T / Tc);
  const double y2 = y * y;
  const double y3 = y2 * y;
  const double y4 = y3 * y;
  const double y5 = y4 * y;
  return R * T * y + (A[0] + B[0] * T + C[0] * e) * y2 + (A[1] + B[1] * T + C[1] * e) * y3 +
         (A[2] + B[2] * T + C[2] * e) * y4 + (A[3] + B[3] * T + C[3] * e) * y5;
}

double PFRHOV(std::span<const double, 4> A, std::span<const double, 4> B,
              std::span<const double, 4> C, double K, double P, double R, double T, double Tc,
              double b) {
  // The unit conversions and the tolerance are single-precision values.
  constexpr double rankine_per_kelvin = 1.8F;
  constexpr double psi_per_pascal = 0.000145F;
  constexpr double lb_ft3_per_kg_m3 = 0.06243F;
  constexpr double tolerance = 1e-5F;

  const double tr = rankine_per_kelvin * T;
  const double pp = psi_per_pascal * P;
  if (pp == 0.0) {
    kalvir::fluids::stop_on_zero(
        "Absolute pressure is zero in the vapour density equation. " + state_text(P, T), 0, 1,
        "PFRHOV");
  }
  double va = R * tr / pp + b;
  double pa = PEOS(A, B, C, K, R, tr, Tc, va, b);
  double vb = va * pa / pp;
  double pb = PEOS(A, B, C, K, R, tr, Tc, vb, b);
  for (int pass = 1; pass <= kMaxIterations; ++pass) {
    const double vc = va + (pp - pa) * (vb - va) / (pb - pa);
    const double pc = PEOS(A, B, C, K, R, tr, Tc, vc, b);
    if (!std::isfinite(vc) || !std::isfinite(pc)) {
      report(
          "Vapour density not found@A value that is not a number arose in the equation of "
          "state. " +
              state_text(P, T),
          255, 0, 4, 2, "PFRHOV");
      return 0.0;
    }
    if (std::fabs(pc / pp - 1.0) < tolerance) return 1.0 / (vc * lb_ft3_per_kg_m3);
    va = vb;
    pa = pb;
    vb = vc;
    pb = pc;
  }
  report("Vapour density not found@The equation of state did not converge. " + state_text(P, T),
         255, 0, 4, 3, "PFRHOV");
  return 0.0;
}

namespace {

// One refrigerant's Martin-Hou constants, British units.
struct MartinHouSet {
  double R, Tc, b, K;
  std::array<double, 4> A, B, C;
};

// clang-format off
// These sets are single-precision values, widened where they are used.
constexpr MartinHouSet kR11{.R = 0.078117F, .Tc = 848.07F, .b = 0.0019F, .K = 4.5F,
    .A = {-3.126759F, -0.025341F, 0.001687277F, -2.35893e-05F},
    .B = {0.001318523F, 4.875121e-05F, -1.805062e-06F, 2.448303e-08F},
    .C = {-35.76999F, 1.220367F, 0.0F, -0.0001478379F}};
constexpr MartinHouSet kR12{.R = 0.088734F, .Tc = 693.3F, .b = 0.006509389F, .K = 5.475F,
    .A = {-3.409727F, 0.060239445F, -0.000548737F, 0.0F},
    .B = {0.0015943485F, -1.8796185e-05F, 0.0F, 3.468834e-09F},
    .C = {-56.762768F, 1.3113991F, 0.0F, -2.5439067e-05F}};
constexpr MartinHouSet kR22{.R = 0.124098F, .Tc = 664.5F, .b = 0.002F, .K = 4.2F,
    .A = {-4.353547F, -0.017464F, 0.002310142F, -3.724044e-05F},
    .B = {0.002407252F, 7.62789e-05F, -3.605723e-06F, 5.355465e-08F},
    .C = {-44.066868F, 1.483763F, 0.0F, -0.0001845051F}};
constexpr MartinHouSet kR114{.R = 0.062780805F, .Tc = 753.95F, .b = 0.005914907F, .K = 3.0F,
    .A = {-2.3856704F, 0.034055687F, -0.0003857481F, 1.6017659e-06F},
    .B = {0.0010801207F, -5.3336494e-06F, 0.0F, 6.263241e-10F},
    .C = {-6.564365F, 0.16366057F, 0.0F, -1.0165314e-05F}};
constexpr MartinHouSet kR502{.R = 0.096125F, .Tc = 639.56F, .b = 0.00167F, .K = 4.2F,
    .A = {-3.2613344F, 0.034866747F, -0.00085765676F, 8.836897e-06F},
    .B = {0.0020576287F, -8.6791315e-06F, 7.024055e-07F, -7.916809e-09F},
    .C = {-24.24879F, 0.3327478F, 0.022412367F, -0.0003716723F}};
// R21's set is held in double precision; it has no covolume and no exponential terms.
constexpr MartinHouSet kR21{.R = 0.10427, .Tc = 812.9, .b = 0.0, .K = 0.0,
    .A = {-7.316, -0.20382376, 0.0, 0.0},
    .B = {0.0046421, 0.0003593, 0.0, 0.0},
    .C = {0.0, 0.0, 0.0, 0.0}};
// clang-format on

double martin_hou_density(const MartinHouSet& s, double PABS, double P, double TABS, double T) {
  return PFRHOV(s.A, s.B, s.C, s.K, P + PABS, s.R, T + TABS, s.Tc, s.b);
}

}  // namespace

double PROS04(double PABS, double P, double TABS, double T) {
  return martin_hou_density(kR11, PABS, P, TABS, T);
}
double PROS06(double PABS, double P, double TABS, double T) {
  return martin_hou_density(kR12, PABS, P, TABS, T);
}
double PROS08(double PABS, double P, double TABS, double T) {
  return martin_hou_density(kR21, PABS, P, TABS, T);
}
double PROS10(double PABS, double P, double TABS, double T) {
  return martin_hou_density(kR22, PABS, P, TABS, T);
}
double PROS12(double PABS, double P, double TABS, double T) {
  return martin_hou_density(kR114, PABS, P, TABS, T);
}
double PROS14(double PABS, double P, double TABS, double T) {
  return martin_hou_density(kR502, PABS, P, TABS, T);
}

// ---------------------------------------------------------------------------
// Air

double PRHO00(double P, double PABS, double T, double TABS) {
  double tk = T + TABS;
  if (tk < 1.0) {
    report("Temperature less than minimum temperature@ Temperature = " + edit_f(T, 10, 2) +
               ": Minimum temperature assumed.",
           255, 0, 2, 1, "PRHO00");
    tk = 1.0;
  }
  return (P + PABS) / (287.04 * tk);
}

// ---------------------------------------------------------------------------
// Compressed liquids

double PSND01(double P, double T) {
  // b(i, j): i the power of the temperature in degrees C, j that of the pressure in psi.
  // b(1, 0) is a single-precision value.
  static constexpr std::array<std::array<double, 4>, 5> b{{
      {1402.859, 0.01050469, 1.633786e-07, -3.889257e-12},
      {static_cast<double>(5.023859F), 6.138077e-05, -1.080177e-08, 2.477679e-13},
      {-0.05690577, -1.071154e-06, 2.215786e-10, -5.088886e-15},
      {0.0002884942, 1.582394e-08, -2.420956e-12, 5.086237e-17},
      {-8.238863e-07, -6.83954e-11, 9.711687e-15, -1.845198e-19},
  }};
  // The polynomial follows the speed of sound within 1 % up to about 130 C,
  // then falls away from it, through zero at about 265 C, where the
  // compressed-liquid density and compressibility built on it would become
  // infinite. Hotter water continues along the polynomial's tangent at
  // 130 C: along the saturated liquid it stays within 1.5 % of the speed of
  // sound up to 490 K and 10 % up to 540 K, and positive (too high, 2.4
  // times at 640 K) up to the critical point.
  constexpr double kTangentFrom = 130.0;
  const double t = T + GLOR.TABS - 273.15;
  const double p = (P + GLOR.PABS) * 0.000145;
  const double at = t > kTangentFrom ? kTangentFrom : t;
  double sum = 0.0;
  double slope = 0.0;  // d sum / dt
  for (auto row = b.rbegin(); row != b.rend(); ++row) {
    const auto& q = *row;
    const double in_p = ((q[3] * p + q[2]) * p + q[1]) * p + q[0];
    slope = slope * at + sum;
    sum = sum * at + in_p;
  }
  return t > kTangentFrom ? sum + (t - kTangentFrom) * slope : sum;
}

namespace {

struct TaitLiquid {
  double omega, pc, tc;
  double (*psat)(double, double, double);
  double (*rho_sat)(std::int32_t, double, double);
};

constexpr TaitLiquid kLiquidR11{0.1871, 4415000.0, 471.19, PSAT04, PRHO03};
constexpr TaitLiquid kLiquidR12{0.1699, 4125000.0, 384.95, PSAT06, PRHO05};
constexpr TaitLiquid kLiquidR21{0.2102, 5178000.0, 451.55, PSAT08, PRHO07};
constexpr TaitLiquid kLiquidR22{0.2215, 4980000.0, 369.3, PSAT10, PRHO09};
constexpr TaitLiquid kLiquidR114{0.2582, 3257000.0, 418.9, PSAT12, PRHO11};

}  // namespace

namespace kalvir::fluids {

LiquidIsotherm LiquidIsotherm::tait(double OMEGA, double Pc, double Ps, double T, double Tc,
                                    double vs) {
  LiquidIsotherm l;
  l.set_tait(OMEGA, Pc, Ps, T, Tc, vs);
  return l;
}

void LiquidIsotherm::set_tait(double OMEGA, double Pc, double Ps, double T, double Tc, double vs) {
  form_ = Form::tait;
  t_ = T;
  vs_ = vs;
  critical_ = T >= Tc;
  if (critical_) return;
  const double tau = std::pow(1.0 - T / Tc, 0.333333333333333);
  const double e = std::exp(4.79594 + 0.250047 * OMEGA + 1.14188 * OMEGA * OMEGA);
  beta_ = Pc * (tau * (((e * tau - 135.1102) * tau + 62.45326) * tau - 9.070217) - 1.0);
  ps_beta_ = Ps + beta_;
  c_ = 0.0861488 + 0.0344483 * OMEGA;
}

LiquidIsotherm::LiquidIsotherm(std::int32_t slot, std::int32_t NODE, double PABS, double TABS,
                               double T)
    : pabs_(PABS) {
  const auto tait_of = [&](const TaitLiquid& f) {
    const double ps = f.psat(PABS, TABS, T) + PABS;
    const double rhos = f.rho_sat(NODE, T, TABS);
    set_tait(f.omega, f.pc, ps, T + TABS, f.tc, 1.0 / rhos);
  };
  switch (slot) {
    case kWater:
      form_ = Form::sound;
      ps_ = PSAT02(PABS, TABS, T);
      sound2_ = PSND01(ps_, T);
      sound2_ *= sound2_;
      rhos_ = PRHO01(0, T, TABS);
      return;
    case kAmmonia:
      form_ = Form::compressibility;
      ps_ = PSAT16(PABS, TABS, T);
      rhos_ = PRHO15(NODE, T, TABS);
      k_ = PKT15(NODE, T, TABS);
      return;
    case kR11:
      tait_of(kLiquidR11);
      return;
    case kR12:
      tait_of(kLiquidR12);
      return;
    case kR21:
      tait_of(kLiquidR21);
      return;
    case kR22:
      tait_of(kLiquidR22);
      return;
    case kR114:
      tait_of(kLiquidR114);
      return;
    case kR502:  // no compressed-liquid correlation: the saturated density serves
      form_ = Form::saturated;
      rhos_ = PRHO13(NODE, T, TABS);
      return;
    default:
      internal_stop("Liquid density asked of fluid slot " + std::to_string(slot) +
                    ", which has no liquid");
  }
}

double LiquidIsotherm::density(double P) const {
  switch (form_) {
    case Form::sound:
      return rhos_ + (P - ps_) * 1.01 / sound2_;
    case Form::compressibility:
      return rhos_ * (1.0 + (P - ps_) * k_);
    case Form::tait:
      return tait_density(P + pabs_);
    case Form::saturated:
      break;
  }
  return rhos_;
}

double LiquidIsotherm::tait_density(double pa) const {
  if (critical_) {
    report(
        "Temperature greater than critical temperature@Temperature too high for calculation "
        "of liquid density. Temperature =" +
            edit_f(t_, 10, 2) + " . Critical temperature assumed.",
        255, 0, 2, 1, "PRHOL");
    return 1.0 / vs_;
  }
  // A few kelvin below the critical temperature beta passes through -Ps:
  // there the correction has a pole, and beyond it no value. The saturated
  // density stands in where the correction cannot be evaluated.
  const double ratio = (pa + beta_) / ps_beta_;
  const double shrink = 1.0 - c_ * std::log(ratio);
  if (!(ratio > 0.0 && shrink > 0.0 && std::isfinite(shrink))) {
    report_once(
        "Liquid density correction cannot be evaluated@Temperature too close to the critical "
        "temperature for the pressure correction of the liquid density. Temperature =" +
            edit_f(t_, 10, 2) + " . Saturated density assumed.",
        255, 0, 2, 2, "PRHOL");
    return 1.0 / vs_;
  }
  return 1.0 / (vs_ * shrink);
}

}  // namespace kalvir::fluids

using kalvir::fluids::LiquidIsotherm;

double PROL01(double P, double PABS, double T, double TABS) {
  return LiquidIsotherm(kalvir::fluids::kWater, 0, PABS, TABS, T).density(P);
}
double PROL15(std::int32_t NODE, double PABS, double P, double TABS, double T) {
  return LiquidIsotherm(kalvir::fluids::kAmmonia, NODE, PABS, TABS, T).density(P);
}
double PRHOL(double OMEGA, double P, double Pc, double Ps, double T, double Tc, double vs) {
  return LiquidIsotherm::tait(OMEGA, Pc, Ps, T, Tc, vs).density(P);
}
double PROL03(std::int32_t NODE, double PABS, double P, double TABS, double T) {
  return LiquidIsotherm(kalvir::fluids::kR11, NODE, PABS, TABS, T).density(P);
}
double PROL05(std::int32_t NODE, double PABS, double P, double TABS, double T) {
  return LiquidIsotherm(kalvir::fluids::kR12, NODE, PABS, TABS, T).density(P);
}
double PROL07(std::int32_t NODE, double PABS, double P, double TABS, double T) {
  return LiquidIsotherm(kalvir::fluids::kR21, NODE, PABS, TABS, T).density(P);
}
double PROL09(std::int32_t NODE, double PABS, double P, double TABS, double T) {
  return LiquidIsotherm(kalvir::fluids::kR22, NODE, PABS, TABS, T).density(P);
}
double PROL11(std::int32_t NODE, double PABS, double P, double TABS, double T) {
  return LiquidIsotherm(kalvir::fluids::kR114, NODE, PABS, TABS, T).density(P);
}
double PROL13(std::int32_t NODE, double PABS, double P, double TABS, double T) {
  return LiquidIsotherm(kalvir::fluids::kR502, NODE, PABS, TABS, T).density(P);
}

// ---------------------------------------------------------------------------
// Martin-Hou specific heat of a refrigerant vapour

double CPMAHO(double P, double T, std::int32_t IFL, std::int32_t NODE,
              const kalvir::MartinHouCpConstants& k) {
  const double rho = XRHO(P, T, 1.0, IFL, NODE);
  const double v = 1.0 / rho;
  if (std::fabs(v - k.bc) < 1e-37) {
    report("Problem in Cp calculation@Pressure( = " + sci12(P) + ") and/or temperature( = " +
               sci12(T) + ") out of range in Cp calculation for " + std::string(FTYPEC(IFL)),
           500, NODE, 4, 1, "PCP04");
    return 0.0;
  }
  const double tk = T + GLOR.TABS;
  const double e = std::exp(-k.K * tk / k.Tc);
  const double y = 1.0 / (v - k.bc);
  const double kt = k.K / k.Tc;

  const double cv0 = k.a + k.b * tk + k.c * tk * tk + k.d * tk * tk * tk + k.f / (tk * tk);
  const double dcv =
      -tk * kt * kt * e * y * (k.C2 + k.C3 * y / 2.0 + k.C4 * y * y / 3.0 + k.C5 * y * y * y / 4.0);
  const double y2 = y * y;
  const double y3 = y2 * y;
  const double y4 = y3 * y;
  const double dpdt = y * (k.R + k.B2 * y + k.B3 * y2 + k.B4 * y3 + k.B5 * y4) -
                      kt * e * y2 * (k.C2 + k.C3 * y + k.C4 * y2 + k.C5 * y3);
  const double dpdv = -k.R * tk * y2 - 2.0 * (k.A2 + k.B2 * tk + k.C2 * e) * y3 -
                      3.0 * (k.A3 + k.B3 * tk + k.C3 * e) * y4 -
                      4.0 * (k.A4 + k.B4 * tk + k.C4 * e) * y4 * y -
                      5.0 * (k.A5 + k.B5 * tk + k.C5 * e) * y4 * y2;
  return cv0 + dcv - tk * dpdt * dpdt / dpdv;
}
