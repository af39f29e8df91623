// Derived fluid-state functions: enthalpy and temperature of single-phase
// states, vapour quality from pressure and temperature or enthalpy, density
// derivatives and batch properties, all built on the property functions.

#include <cmath>
#include <string>

#include "runtime/control/run_end.h"
#include "runtime/fluids/interface/properties.h"
#include "runtime/fluids/interface/property_messages.h"

double INTCP(double P, double TA, double TB, double X, std::int32_t IFL, std::int32_t NODE) {
  if (std::fabs(TA - TB) < 1e-37) return 0.0;
  const double h = TB - TA;
  const double ca = XCP(P, TA, X, IFL, NODE);
  const double cb = XCP(P, TB, X, IFL, NODE);
  double s = h * (ca + cb) / 2.0;
  double r0 = 0.0;
  double r = 0.0;
  int n = 1;
  // Each level halves the step and evaluates only the new midpoints; Richardson
  // extrapolation of two trapezoid sums is Simpson's rule.
  for (int level = 1; level <= 10; ++level) {
    const double step = h / n;
    double sum = 0.0;
    double t = TA + step / 2.0;
    for (int i = 0; i < n; ++i) {
      sum += XCP(P, t, X, IFL, NODE);
      t += step;
    }
    const double s_half = (s + step * sum) / 2.0;
    r = (4.0 * s_half - s) * 0.3333333333333333;
    if (std::fabs(r - r0) <= 1e-5 * std::fabs(r0)) return r;
    s = s_half;
    r0 = r;
    n *= 2;
  }
  return r;
}

double XGHPT1(double P, double T, double X, std::int32_t IFL, std::int32_t NODE) {
  const double ts = XTEMPS(P, IFL, NODE);
  return XENTHS(P, ts, X, IFL, NODE) + INTCP(P, ts, T, X, IFL, NODE);
}

namespace {

// Newton steps from the saturation point converge in a few passes, and the
// bisection halves its bracket every pass; more passes than these mean the
// state cannot be solved.
constexpr int kMaxNewtonPasses = 100;
constexpr int kMaxBisectionPasses = 200;

[[noreturn]] void temperature_not_found(std::string_view why, double P, double H, std::int32_t code,
                                        std::int32_t NODE) {
  kalvir::fluids::temperature_not_found(why, P, H, NODE, code, "XGTPH1");
}

void require_number(double v, double P, double H, std::int32_t NODE) {
  if (std::isfinite(v)) return;
  temperature_not_found("A value that is not a number arose.", P, H, 1, NODE);
}

}  // namespace

double XGTPH1(double P, double H, double X, std::int32_t IFL, std::int32_t NODE) {
  const double ts = XTEMPS(P, IFL, NODE);
  const double hs = XENTHS(P, ts, X, IFL, NODE);
  const double dh = H - hs;

  double d = dh / XCPS(P, ts, X, IFL, NODE);
  require_number(d, P, H, NODE);
  const double t1 = ts + d;
  if (std::fabs(d) < 0.001) return t1;

  double s = INTCP(P, ts, t1, X, IFL, NODE);
  double r = dh - s;
  require_number(r, P, H, NODE);
  int sign_changes = dh * r < 0.0 ? 1 : 0;
  double tc = t1;

  // Newton steps until converged or until the residual has changed sign three times.
  double tn = tc;
  double rn = r;
  for (int pass = 1;; ++pass) {
    if (pass > kMaxNewtonPasses) {
      temperature_not_found("The iteration did not converge.", P, H, 2, NODE);
    }
    d = r / XCP(P, tc, X, IFL, NODE);
    require_number(d, P, H, NODE);
    tn = tc + d;
    if (std::fabs(d) < 0.001) return tn;
    s += INTCP(P, tc, tn, X, IFL, NODE);
    rn = dh - s;
    require_number(rn, P, H, NODE);
    if (r * rn < 0.0) ++sign_changes;
    if (sign_changes == 3) break;
    tc = tn;
    r = rn;
  }

  // Bisection of the bracket [tc, tn]; a is the end with the positive residual.
  double a = rn >= 0.0 ? tn : tc;
  double b = rn >= 0.0 ? tc : tn;
  double tf = tn;
  for (int pass = 1; pass <= kMaxBisectionPasses; ++pass) {
    const double m = (a + b) / 2.0;
    s += INTCP(P, tf, m, X, IFL, NODE);
    tf = m;
    require_number(s, P, H, NODE);
    if (dh - s > 0.0) {
      a = m;
    } else {
      b = m;
    }
    if (std::fabs(a - b) < 0.002) return (a + b) / 2.0;
  }
  temperature_not_found("The iteration did not converge.", P, H, 2, NODE);
}

double XGXPT(double P, double T, std::int32_t IFL, std::int32_t NODE) {
  return XTEMPS(P, IFL, NODE) >= T ? 0.0 : 1.0;
}

double XGXPH(double P, double H, std::int32_t IFL, std::int32_t NODE) {
  const double ts = XTEMPS(P, IFL, NODE);
  const double hl = XENTHS(P, ts, 0.0, IFL, NODE);
  if (H <= hl) return 0.0;
  const double hv = XENTHS(P, ts, 1.0, IFL, NODE);
  if (hv > H) return (H - hl) / (hv - hl);
  return 1.0;
}

namespace {

void require_nonzero(double denominator, std::string_view what, std::int32_t NODE) {
  if (denominator != 0.0) return;
  kalvir::fluids::stop_on_zero(what, NODE, 1, "XDRHO");
}

}  // namespace

void XDRHO(double H, std::int32_t IFL, std::int32_t NODE, double PABS, double P, double X,
           double TABS, double T, double& DRDH, double& DRDP, double& RHO) {
  RHO = XRHO(P, T, X, IFL, NODE);
  // Humid air is single phase whatever its humidity ratio.
  if (IFL == kalvir::fluids::kHumidAir || std::fabs(X) < 1e-37 || std::fabs(X - 1.0) < 1e-37) {
    const double cp = XCP(P, T, X, IFL, NODE);
    const double mu = XJT(P, T, X, IFL, NODE);
    require_nonzero((T + TABS) * cp, "The absolute temperature or the specific heat is zero.",
                    NODE);
    DRDH = -(1.0 + RHO * mu * cp) * RHO / ((T + TABS) * cp);
    const double kappa = XKT(P, T, X, IFL, NODE);
    DRDP = cp * mu * DRDH + RHO * kappa;
    return;
  }

  // Two-phase: the mixture density follows the saturated states.
  const double rhol = XRHOS(P, T, 0.0, IFL, NODE);
  const double rhov = XRHOS(P, T, 1.0, IFL, NODE);
  const double hl = XENTHS(P, T, 0.0, IFL, NODE);
  const double hv = XENTHS(P, T, 1.0, IFL, NODE);
  require_nonzero((hv - hl) * rhov * rhol, "The latent heat or a saturated density is zero.", NODE);
  DRDH = RHO * RHO * (rhov - rhol) / ((hv - hl) * rhov * rhol);

  // One-sided difference at constant enthalpy, towards the nearer saturation line.
  double delta = 0.001 * (P + PABS);
  if (X < 0.5) delta = -delta;
  require_nonzero(delta, "The absolute pressure is zero.", NODE);
  const double p2 = P + delta;
  const double t2 = XTEMPS(p2, IFL, NODE);
  const double hl2 = XENTHS(p2, t2, 0.0, IFL, NODE);
  const double hv2 = XENTHS(p2, t2, 1.0, IFL, NODE);
  require_nonzero(hv2 - hl2, "The latent heat is zero.", NODE);
  const double x2 = (H - hl2) / (hv2 - hl2);
  const double rho2 = XRHO(p2, t2, x2, IFL, NODE);
  DRDP = (rho2 - RHO) / delta;
}

void SCPRHO(std::int32_t N, std::int32_t NODE0, std::span<double> RHO, std::span<double> CP,
            std::span<const double> P, std::string_view NAMES, std::size_t NAME_LENGTH,
            std::span<const double> X, std::span<const double> T) {
  if (N < 1) return;
  const auto n = static_cast<std::size_t>(N);
  if (RHO.size() < n || CP.size() < n || P.size() < n || X.size() < n || T.size() < n ||
      NAME_LENGTH == 0 || NAMES.size() / NAME_LENGTH < n) {
    internal_stop("SCPRHO: more fluid nodes than elements in its arrays");
  }
  for (std::size_t i = 0; i < n; ++i) {
    const std::int32_t node = NODE0 + static_cast<std::int32_t>(i) + 1;
    const std::int32_t ifl = FTYPEI(NAMES.substr(i * NAME_LENGTH, NAME_LENGTH));
    CP[i] = XCP(P[i], T[i], X[i], ifl, node);
    RHO[i] = XRHO(P[i], T[i], X[i], ifl, node);
  }
}
