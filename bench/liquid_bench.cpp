// Cost of the compressed liquid's enthalpy (XENTH) and of the temperature
// from it (XTEMP), as a liquid node of a two-phase loop asks for them: liquid
// ammonia, water and R22, subcooled by 0.5 to 50 K at a few pressures.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/fluids/interface/fluid_names.h"
#include "runtime/fluids/interface/properties.h"

namespace {

struct Fluid {
  std::int32_t slot;
  std::array<double, 3> pressures;  // Pa
};

// R22 below 0.8 MPa, where its liquid lies outside the ranges known to be off.
constexpr Fluid kAmmonia{kalvir::fluids::kAmmonia, {0.5e6, 1.0e6, 2.0e6}};
constexpr Fluid kWater{kalvir::fluids::kWater, {0.1e6, 0.5e6, 2.0e6}};
constexpr Fluid kR22{kalvir::fluids::kR22, {0.3e6, 0.5e6, 0.8e6}};

struct State {
  double P, T, H;
};

// Kelvin and pascal; states below the saturation temperature, taken in turn
// out of their order in temperature.
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

// The enthalpy from the temperature, or the temperature from the enthalpy.
enum class Ask { enthalpy, temperature };

void BM_liquid(benchmark::State& state, const Fluid& f, Ask ask) {
  const auto s = states(f);
  std::size_t k = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ask == Ask::enthalpy ? XENTH(s[k].P, s[k].T, 0.0, f.slot, 0)
                                                  : XTEMP(s[k].P, s[k].H, 0.0, f.slot, 0));
    k = (k + 1) % s.size();
  }
}

BENCHMARK_CAPTURE(BM_liquid, XENTH_ammonia, kAmmonia, Ask::enthalpy);
BENCHMARK_CAPTURE(BM_liquid, XENTH_water, kWater, Ask::enthalpy);
BENCHMARK_CAPTURE(BM_liquid, XENTH_R22, kR22, Ask::enthalpy);
BENCHMARK_CAPTURE(BM_liquid, XTEMP_ammonia, kAmmonia, Ask::temperature);
BENCHMARK_CAPTURE(BM_liquid, XTEMP_water, kWater, Ask::temperature);
BENCHMARK_CAPTURE(BM_liquid, XTEMP_R22, kR22, Ask::temperature);

}  // namespace
