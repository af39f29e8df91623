// Wavelength-band radiative conductors (see wavelength_bands.h).
#include "runtime/casedata/wavelength_bands.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

#include "runtime/casedata/acd_model_tree.h"
#include "runtime/control/flags.h"
#include "runtime/control/gcc_accessors.h"
#include "runtime/control/global_arrays.h"

namespace kalvir::acds {
namespace {

constexpr std::int32_t kEntries = 1001;
constexpr double kStep = 1.0e-4;     // m K between entries
constexpr double kC2 = 1.4387752e-2;  // second radiation constant, m K

// Fraction below lambda*T = lt from the series of Planck's law in x = c2 / lt:
// 15/pi^4 * sum over n of exp(-n x)/n * (x^3 + 3x^2/n + 6x/n^2 + 6/n^3).
double planck_fraction(double lt) {
  if (lt <= 0.0) return 0.0;
  const double x = kC2 / lt;
  // exp(-n x) falls below 1e-18 after about 41.4 / x terms.
  const auto terms = static_cast<int>(std::ceil(42.0 / x)) + 2;
  double sum = 0.0;
  for (int n = terms; n >= 1; --n) {  // smallest terms first
    const double rn = 1.0 / n;
    sum += std::exp(-n * x) * rn * (x * x * x + 3.0 * x * x * rn + 6.0 * x * rn * rn + 6.0 * rn * rn * rn);
  }
  return 15.0 / std::pow(std::numbers::pi, 4) * sum;
}

const std::array<double, kEntries>& table() {
  static const std::array<double, kEntries> entries = [] {
    std::array<double, kEntries> t{};
    for (std::int32_t k = 0; k < kEntries; ++k) t[static_cast<std::size_t>(k)] = planck_fraction(k * kStep);
    return t;
  }();
  return entries;
}

}  // namespace

double blackbody_table_entry(std::int32_t k) { return table().at(static_cast<std::size_t>(k)); }

}  // namespace kalvir::acds

double BlackBodyFracPower(double X) {
  // Below absolute zero or a negative band edge there is no emission below
  // the edge; not a number is treated the same rather than indexing with it.
  if (!(X > 0.0)) return 0.0;
  if (X >= 0.1) return 1.0;
  const auto& t = kalvir::acds::table();
  // X just below 0.1 can round to index 1000, which has no upper neighbour.
  const auto j = std::min<std::int32_t>(static_cast<std::int32_t>(X * 10000.0), kalvir::acds::kEntries - 2);
  const auto u = static_cast<std::size_t>(j);
  return t[u] + (t[u + 1] - t[u]) * (X - j * 1.0e-4) * 10000.0;
}

double RadCondPiecewiseGreyBody(double T1, double T2, std::int32_t NWB, std::span<const double> LAMBDA,
                                std::span<const double> VALUES) {
  if (std::fabs(T2 - T1) < 1.0e-6) T2 = T1 + std::copysign(1.0e-6, T2 - T1);
  const auto bands = static_cast<std::size_t>(std::max<std::int32_t>(NWB, 0));
  const std::size_t n = std::min({bands, VALUES.size(), LAMBDA.empty() ? 0 : LAMBDA.size() - 1});
  double s1 = 0.0, s2 = 0.0;
  for (std::size_t b = 0; b < n; ++b) {
    s1 += VALUES[b] * (BlackBodyFracPower(LAMBDA[b + 1] * T1) - BlackBodyFracPower(LAMBDA[b] * T1));
    s2 += VALUES[b] * (BlackBodyFracPower(LAMBDA[b + 1] * T2) - BlackBodyFracPower(LAMBDA[b] * T2));
  }
  const double t14 = (T1 * T1) * (T1 * T1);
  const double t24 = (T2 * T2) * (T2 * T2);
  // At temperatures so high that 1e-6 K no longer changes T^4 the value is
  // the limit of equal temperatures.
  if (t14 == t24) return s1;
  return (s1 * t14 - s2 * t24) / (t14 - t24);
}

void updateradcondstimedepwavedep(kalvir::acds::ModelNode& NODE, double W) {
  const double tabs = gcc_gettabs();
  const auto nwb = static_cast<std::size_t>(std::max<std::int32_t>(NODE.number_of_wavebands, 0));
  const std::int64_t nnode = std::min<std::int64_t>(gfl_getnumthermalnodes(), gar_thermalnodetemps.size());
  // A fluid end of a pair radiates at the fluid node's temperature.
  const auto temperature = [&](std::int32_t i) {
    if (i >= 1 && i <= nnode) return gar_thermalnodetemps(i);
    if (i > nnode && i - nnode <= gar_fluidnodetemps.size()) return gar_fluidnodetemps(i - nnode);
    return 0.0;
  };
  std::vector<double>& f = NODE.band_work;
  if (f.size() != nwb) f.assign(nwb, 0.0);
  for (std::size_t k = 0; k < NODE.conductor_map.size(); ++k) {
    for (std::size_t b = 0; b < nwb; ++b) {
      const double prev = NODE.conductor_prev[k * nwb + b];
      const double next = NODE.conductor_next[k * nwb + b];
      f[b] = NODE.number_of_times == 1 ? prev : prev + (next - prev) * W;
    }
    const double t1 = temperature(NODE.node_i_map[k]) + tabs;
    const double t2 = temperature(NODE.node_j_map[k]) + tabs;
    gar_radiativeconds(NODE.conductor_map[k]) =
        RadCondPiecewiseGreyBody(t1, t2, static_cast<std::int32_t>(nwb), NODE.wavebands, f);
  }
}
