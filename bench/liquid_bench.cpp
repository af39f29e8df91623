// Cost of the compressed liquid's enthalpy (XENTH) and of the temperature
// from it (XTEMP), as a liquid node of a two-phase loop asks for them: liquid
// ammonia, water and R22, subcooled by 0.5 to 50 K at a few pressures.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/fluids/interface/properties.h"

namespace {

struct Fluid {
  std::int32_t slot;
  std::array<double, 3> pressures;  // Pa
};

constexpr Fluid kAmmonia{1, {0.5e6, 1.0e6, 2.0e6}};
constexpr Fluid kWater{2, {0.1e6, 0.5e6, 2.0e6}};
constexpr Fluid kR22{9, {0.3e6, 0.5e6, 0.8e6}};

struct State {
  double P, T, H;
};

// Kelvin and pascal; states below the saturation temperature, visited in an
// order that defeats a trivial branch pattern.
std::vector<State> states(const Fluid& f) {
  GLOR.TABS = 0.0;
  GLOR.PABS = 0.0;
  std::vector<State> s;
  for (const double P : f.pressures) {
    const double ts = XTEMPS(P, f.slot, 0);
    for (const double below : {0.5, 3.0, 10.0, 25.0, 50.0, 1.5, 40.0}) {
      const double T = ts - below;
      s.push_back({P, T, XENTH(P, T, 0.0, f.slot, 0)});
    }
  }
  return s;
}

void BM_XENTH_liquid(benchmark::State& state, const Fluid& f) {
  const auto s = states(f);
  std::size_t k = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(XENTH(s[k].P, s[k].T, 0.0, f.slot, 0));
    k = (k + 1) % s.size();
  }
}

void BM_XTEMP_liquid(benchmark::State& state, const Fluid& f) {
  const auto s = states(f);
  std::size_t k = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(XTEMP(s[k].P, s[k].H, 0.0, f.slot, 0));
    k = (k + 1) % s.size();
  }
}

BENCHMARK_CAPTURE(BM_XENTH_liquid, ammonia, kAmmonia);
BENCHMARK_CAPTURE(BM_XENTH_liquid, water, kWater);
BENCHMARK_CAPTURE(BM_XENTH_liquid, R22, kR22);
BENCHMARK_CAPTURE(BM_XTEMP_liquid, ammonia, kAmmonia);
BENCHMARK_CAPTURE(BM_XTEMP_liquid, water, kWater);
BENCHMARK_CAPTURE(BM_XTEMP_liquid, R22, kR22);

}  // namespace
