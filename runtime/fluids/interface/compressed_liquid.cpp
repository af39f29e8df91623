#include "runtime/fluids/interface/compressed_liquid.h"

#include <cmath>

#include "runtime/control/control_constants.h"
#include "runtime/fluids/interface/adapters.h"
#include "runtime/fluids/interface/properties.h"
#include "runtime/fluids/interface/property_messages.h"
#include "runtime/fluids/library/eos.h"
#include "runtime/fluids/library/saturation_tables.h"

namespace kalvir::fluids {

namespace {

// Temperature step of the density quotient, K: XJT's, taken upwards, so that
// a liquid at the lowest temperature of its density table stays inside it.
constexpr double kStep = 0.001;

// The liquid's density XRHO on the isotherms at model temperature T and a
// step above it, each found once for the pressures the work of compression
// takes; the temperatures and pressures handed on as XRHO's adapter hands
// them on.
struct DensityQuotient {
  double ta;
  LiquidIsotherm at, above;

  DensityQuotient(double T, std::int32_t IFL, std::int32_t NODE)
      : ta(T + GLOR.TABS),
        at(IFL, NODE, GLOR.PABS, GLOR.TABS, handed_on(T, GLOR.TABS)),
        above(IFL, NODE, GLOR.PABS, GLOR.TABS, handed_on((ta + kStep) - GLOR.TABS, GLOR.TABS)) {}

  // v (1 - beta T) of the liquid at absolute pressure pa.
  double slope(double pa, std::int32_t NODE) const {
    const double p = handed_on(pa - GLOR.PABS, GLOR.PABS);
    const double rho0 = at.density(p);
    const double rho1 = above.density(p);
    if (rho0 == 0.0) stop_on_zero("The liquid density is zero.", NODE, 1, "XENTH");
    return (1.0 + ta * (rho1 - rho0) / (kStep * rho0)) / rho0;
  }
};

// The integral of v (1 - beta T) from absolute pressure p0 to p1 at model
// temperature T, by two-point Gauss-Legendre: exact for a slope that is a
// cubic in pressure, and the slope changes little and smoothly with it, so
// that the enthalpy's own slope at p1 comes out as the slope there, also
// where that slope passes through zero.
double compression_work(double p0, double p1, double T, std::int32_t IFL, std::int32_t NODE) {
  if (p1 == p0) return 0.0;
  const DensityQuotient q(T, IFL, NODE);
  const double half = 0.5 * (p1 - p0);
  const double mid = 0.5 * (p1 + p0);
  const double offset = half * 0.57735026918962576;  // 1 / sqrt(3)
  return half * (q.slope(mid - offset, NODE) + q.slope(mid + offset, NODE));
}

// dhl/dTs, the saturated liquid's enthalpy against its temperature along the
// saturation line at model pressure P, where the saturation temperature is
// ts and the saturated liquid's enthalpy hl: by a difference of 0.01 % in
// pressure, downwards unless that would leave the saturation table.
double line_slope(std::span<const TableRange> pts, double P, double ts, double hl,
                  std::int32_t IFL, std::int32_t NODE) {
  const double pa = P + GLOR.PABS;
  const double down = pa * (1.0 - 1e-4);
  const double p2 = (down >= pts.front().first ? down : pa * (1.0 + 1e-4)) - GLOR.PABS;
  const double ts2 = XTEMPS(p2, IFL, NODE);
  return (XENTHS(p2, ts2, 0.0, IFL, NODE) - hl) / (ts2 - ts);
}

// The enthalpy at model pressure P and temperature T, given the saturation
// point s of T and the saturated liquid's enthalpy hl there.
double enthalpy_from(const SaturationPoint& s, double hl, double P, double T, std::int32_t IFL,
                     std::int32_t NODE) {
  double h = hl;
  if (s.side != TableSide::kInside) h += INTCP(P, s.temperature - GLOR.TABS, T, 0.0, IFL, NODE);
  return h + compression_work(s.pressure, P + GLOR.PABS, T, IFL, NODE);
}

// The temperature iteration ends when its step is below this, K.
constexpr double kTolerance = 1e-7;
// A secant iteration kept inside its bracket converges in well under these.
constexpr int kMaxPasses = 200;

}  // namespace

double liquid_enthalpy(std::span<const TableRange> pts, double P, double T, std::int32_t IFL,
                       std::int32_t NODE) {
  const SaturationPoint s = saturation_point(pts, T + GLOR.TABS);
  return enthalpy_from(s, XENTHS(s.pressure - GLOR.PABS, s.temperature - GLOR.TABS, 0.0, IFL, NODE),
                       P, T, IFL, NODE);
}

double liquid_temperature(std::span<const TableRange> pts, std::span<const TableRange> peth,
                          double P, double H, std::int32_t IFL, std::int32_t NODE) {
  const double ts = XTEMPS(P, IFL, NODE);
  const double hs = XENTHS(P, ts, 0.0, IFL, NODE);
  if (H == hs) return ts;
  // Start on the saturation line, where the saturated liquid has the enthalpy
  // H: the compressed liquid of that enthalpy lies a small work of
  // compression away, and the first step follows the line's own slope, read
  // from its tables alone, so that no liquid property is taken at a
  // temperature that may lie beyond the liquid's tables. Colder than the
  // saturated-liquid table, start from its lowest point, along the specific
  // heat that continues the enthalpy there; hotter, from the saturated liquid
  // at P.
  const TableLookup line = table_inverse(peth, H);
  double t0 = ts;
  double f0 = hs - H;
  double slope0 = 0.0;
  if (line.side == TableSide::kAbove) {
    slope0 = line_slope(pts, P, ts, hs, IFL, NODE);
  } else if (line.side == TableSide::kBelow) {
    const double p0 = line.value - GLOR.PABS;
    t0 = XTEMPS(p0, IFL, NODE);
    f0 = liquid_enthalpy(pts, P, t0, IFL, NODE) - H;
    slope0 = XCP(P, t0, 0.0, IFL, NODE);
  } else {
    // Inside the saturation table, the start is its own saturation point,
    // and its saturated enthalpy serves the enthalpy and the slope.
    const double p0 = line.value - GLOR.PABS;
    t0 = XTEMPS(p0, IFL, NODE);
    const double hl = XENTHS(p0, t0, 0.0, IFL, NODE);
    slope0 = line_slope(pts, p0, t0, hl, IFL, NODE);
    f0 = (line.value >= pts.front().first && line.value < pts.back().last
              ? enthalpy_from({line.value, t0 + GLOR.TABS, TableSide::kInside}, hl, P, t0, IFL, NODE)
              : liquid_enthalpy(pts, P, t0, IFL, NODE)) -
         H;
  }
  if (!(slope0 > 0.0 && std::isfinite(slope0))) {
    temperature_not_found("The saturated liquid's enthalpy does not rise with temperature.", P, H,
                          NODE, 3, "XTEMP");
  }
  if (f0 == 0.0) return t0;
  double t1 = t0 - f0 / slope0;
  double f1 = liquid_enthalpy(pts, P, t1, IFL, NODE) - H;

  // Secant steps, bisecting instead once a bracket is known and a step would
  // leave it; lo holds a temperature whose enthalpy is too low, hi one whose
  // enthalpy is too high.
  double lo = NAN;
  double hi = NAN;
  const auto bracket = [&](double t, double f) { (f < 0.0 ? lo : hi) = t; };
  bracket(t0, f0);
  bracket(t1, f1);
  for (int pass = 0; pass < kMaxPasses; ++pass) {
    if (f1 == 0.0) return t1;
    const double slope = (f1 - f0) / (t1 - t0);
    double next = t1 - f1 / (slope > 0.0 && std::isfinite(slope) ? slope : slope0);
    if (!std::isnan(lo) && !std::isnan(hi) &&
        !(next > std::fmin(lo, hi) && next < std::fmax(lo, hi))) {
      next = 0.5 * (lo + hi);
    }
    if (!std::isfinite(next)) {
      temperature_not_found("A value that is not a number arose.", P, H, NODE, 1, "XTEMP");
    }
    if (std::fabs(next - t1) < kTolerance) return next;
    t0 = t1;
    f0 = f1;
    t1 = next;
    f1 = liquid_enthalpy(pts, P, t1, IFL, NODE) - H;
    bracket(t1, f1);
  }
  temperature_not_found("The iteration did not converge.", P, H, NODE, 2, "XTEMP");
}

}  // namespace kalvir::fluids
