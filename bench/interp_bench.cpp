// Cost of one user-array interpolation as the generated conductor evaluation
// makes it: CNDFN1 (and the INTRP1 beneath it) on a 20-point conductance
// curve, linear, at temperatures spread over the curve.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>

#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/modeldata/array_interp.h"

namespace {

constexpr std::int32_t kPoints = 20;

// One ARRAY: a conductance curve over -100 .. 90 degrees in steps of 10.
void install_curve() {
  static bool done = false;
  if (done) return;
  done = true;
  GarSizes s{};
  s.ndirrows = 18;
  s.nsub = 1;
  s.ninfolist = 6;
  s.narrays = 1;
  s.nrealarrayelems = 2 * kPoints;
  gar_Allocate(s);
  FLAGS(18) = s.ninfolist;
  FLAGS(19) = s.narrays;
  FLAGS(20) = s.nrealarrayelems;
  const std::array<std::int32_t, 6> entry{2, 2 * kPoints, 1, 2, 2, kPoints};
  for (std::int32_t k = 0; k < 6; ++k) gar_arrayinfolist(k + 1) = entry[static_cast<std::size_t>(k)];
  gar_arrayinfopointers(1) = 1;
  for (std::int32_t i = 1; i <= kPoints; ++i) {
    const double t = -100.0 + 10.0 * (i - 1);
    gar_arrayvaluesreal(2 * i - 1) = t;
    gar_arrayvaluesreal(2 * i) = 0.5 + 0.001 * t + 1.0e-6 * t * t;
  }
}

// Temperatures inside the curve, visited in an order that defeats a trivial
// branch pattern.
std::array<double, 64> temperatures() {
  std::array<double, 64> t{};
  for (std::size_t k = 0; k < t.size(); ++k) t[k] = -95.0 + static_cast<double>((k * 37) % 64) * 2.9;
  return t;
}

void BM_CNDFN1(benchmark::State& state) {
  install_curve();
  const auto t = temperatures();
  std::size_t k = 0;
  for (auto _ : state) {
    const double g = CNDFN1(t[k], t[(k + 7) % t.size()], 1, 1);
    benchmark::DoNotOptimize(g);
    k = (k + 1) % t.size();
  }
}
BENCHMARK(BM_CNDFN1);

void BM_INTRP1_linear(benchmark::State& state) {
  install_curve();
  const auto t = temperatures();
  std::size_t k = 0;
  for (auto _ : state) {
    const double g = INTRP1(t[k], 1, 1);
    benchmark::DoNotOptimize(g);
    k = (k + 1) % t.size();
  }
}
BENCHMARK(BM_INTRP1_linear);

void BM_INTRP1_order3(benchmark::State& state) {
  install_curve();
  const auto t = temperatures();
  std::size_t k = 0;
  for (auto _ : state) {
    const double g = INTRP1(t[k], 1, 3);
    benchmark::DoNotOptimize(g);
    k = (k + 1) % t.size();
  }
}
BENCHMARK(BM_INTRP1_order3);

}  // namespace
