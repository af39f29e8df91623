// Wall time of the sample model's run (the built model program on its sample
// inputs: load, cyclic analysis and final transient), and of the
// Crank-Nicolson solution on a network of the sample model's size (397
// nodes, 869 linear and 4040 radiative conductors) with the sample model's
// time settings, alone and after a cyclic analysis, per run and per step,
// with the number of steps, variables 1 calls and iterations.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <random>

#include <unistd.h>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/model_blocks.h"
#include "runtime/platform/units.h"
#include "runtime/thermal/cn_kernel.h"
#include "runtime/thermal/crank_nicolson.h"
#include "runtime/thermal/cyclic.h"
// The test programs' network builder: it depends on the runtime only.
#include "tests/support/network_fixture.cpp"  // NOLINT(bugprone-suspicious-include)

namespace {

using kalvir::test::NetworkSpec;

std::int64_t v1_calls = 0;
std::int64_t iterations = 0;
std::int64_t steps = 0;

void build_sample_sized_network() {
  NetworkSpec spec;
  std::mt19937 random(20261210);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  constexpr int nnode = 397;
  for (int i = 1; i <= nnode; ++i) {
    const bool boundary = i > nnode - 6;
    spec.nodes.push_back({boundary ? -270.0 + 10.0 * (nnode - i) : 10.0 + 20.0 * unit(random),
                          boundary ? 0.0 : 50.0 + 950.0 * unit(random), boundary ? 'B' : 'D',
                          boundary ? 0.0 : 5.0 * unit(random)});
  }
  // A chain through all nodes, then further linear conductors between
  // nearby nodes, then radiative ones between any two.
  for (int i = 1; i < nnode; ++i) spec.gl.push_back({i, i + 1, 0.1 + unit(random)});
  while (spec.gl.size() < 869) {
    const int a = 1 + static_cast<int>(unit(random) * (nnode - 10));
    spec.gl.push_back({a, a + 2 + static_cast<int>(unit(random) * 8), 0.05 + 0.5 * unit(random)});
  }
  while (spec.gr.size() < 4040) {
    const int a = 1 + static_cast<int>(unit(random) * (nnode - 1));
    const int b = a + 1 + static_cast<int>(unit(random) * (nnode - a));
    spec.gr.push_back({a, std::min(b, nnode), 1.0e-3 + 0.02 * unit(random)});
  }
  spec.dystor = 1010467;
  kalvir::test::build_network(spec);
  GLOR.TIMEO = 0.0;
  GLOR.TIMEND = 5453.0576171875;
  GLOR.OUTINT = 545.3057861328125;
  GLOI.NLOOP = 200;
  GLOR.RELXCA = 0.010999999940395355;
  GLOR.DTIMEI = 8.0;
  ModelBlocks blocks;
  blocks.variables1 = [] { ++v1_calls; };
  blocks.variables2 = [] {
    ++steps;
    iterations += GLOI.LOOPCT;
  };
  register_model_blocks(blocks);
  v1_calls = iterations = steps = 0;
  // The cycle reports go to the print unit; keep them out of the figures.
  kalvir::platform::unit_open(kalvir::platform::kStdoutUnit, "/dev/null", kalvir::platform::Form::Formatted,
                              kalvir::platform::OpenStatus::Unknown);
}

void report(benchmark::State& state, double runs) {
  state.counters["steps"] = static_cast<double>(steps) / runs;
  state.counters["v10001_calls"] = static_cast<double>(v1_calls) / runs;
  state.counters["iterations"] = static_cast<double>(iterations) / runs;
  state.counters["time_per_step"] =
      benchmark::Counter(static_cast<double>(steps), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Times solve() on a fresh sample-sized network per iteration and reports the
// counts of all iterations together.
template <class Solve>
void time_sample_sized(benchmark::State& state, Solve solve) {
  double runs = 0;
  std::int64_t all_steps = 0, all_v1 = 0, all_iterations = 0;
  for (auto _ : state) {
    state.PauseTiming();
    build_sample_sized_network();
    state.ResumeTiming();
    solve();
    all_steps += steps;
    all_v1 += v1_calls;
    all_iterations += iterations;
    runs += 1;
  }
  steps = all_steps;
  v1_calls = all_v1;
  iterations = all_iterations;
  report(state, runs);
}

void BM_SlcrncSampleSizedRun(benchmark::State& state) {
  time_sample_sized(state, [] { SLCRNC(); });
}
BENCHMARK(BM_SlcrncSampleSizedRun)->Unit(benchmark::kMillisecond);

void BM_SolcycThenSlcrncSampleSized(benchmark::State& state) {
  time_sample_sized(state, [] {
    SOLCYC("SLCRNC", 0.011, 0.01, 5453.0577, 200, " ", "NONE");
    SLCRNC();
  });
}
BENCHMARK(BM_SolcycThenSlcrncSampleSized)->Unit(benchmark::kMillisecond);

// One evaluation of the network's balance as the iteration does it: the four
// sums of every diffusion node from the position store and its update
// (SCondSumsAbsTempGrT4 and S9TCLC), on the sample-sized network. Reports
// the floating-point operations of one evaluation as the code states them
// (4 per linear and 3 per radiative conductor end, 32 per node) and their rate.
void BM_NetworkBalanceEvaluation(benchmark::State& state) {
  using kalvir::thermal::CnWork;
  build_sample_sized_network();
  GLOR.DTIMEU = 8.0;
  const std::int32_t nnode = FLAGS(flagw::NNODE);
  const auto n = static_cast<std::size_t>(nnode);
  std::vector<double> areas(9 * n, 0.0);
  std::vector<std::int32_t> flags(static_cast<std::size_t>(FLAGS(flagw::NGL) + FLAGS(flagw::NGR)) + n, 0);
  CnWork work;
  std::span<double>* spans[] = {&work.t0,     &work.r0,  &work.snap1,       &work.snap2,      &work.arith_start,
                                &work.change, &work.tau, &work.arith_snap1, &work.arith_snap2};
  for (std::size_t k = 0; k < 9; ++k) *spans[k] = std::span<double>(areas.data() + k * n, n);
  work.gl_active = std::span<std::int32_t>(flags.data(), static_cast<std::size_t>(FLAGS(flagw::NGL)));
  work.gr_active = std::span<std::int32_t>(flags.data() + FLAGS(flagw::NGL), static_cast<std::size_t>(FLAGS(flagw::NGR)));
  work.in_network = std::span<std::int32_t>(flags.data() + FLAGS(flagw::NGL) + FLAGS(flagw::NGR), n);
  work.T = gar_thermalnodetemps.span();
  work.C = gar_thermalnodecapacitances.span();
  work.size_node_arrays();
  work.rebuild_flags();
  work.view.build(work.flags());
  S9LOP1(work);
  std::int64_t nodes = 0, lin = 0, rad = 0;
  for (std::int32_t i = 1; i <= nnode; ++i) {
    const auto ii = static_cast<std::size_t>(i - 1);
    if (work.diffusion[ii] == 0 || work.arith[ii] != 0) continue;
    ++nodes;
    lin += work.view.lin.begin[ii + 1] - work.view.lin.begin[ii];
    rad += work.view.rad.begin[ii + 1] - work.view.rad.begin[ii];
  }
  const double stefan = GLOR.STEFAN, tabs = GLOR.TABS, h = GLOR.DTIMEU;
  for (auto _ : state) {
    std::int32_t hot = 0;
    for (std::int32_t i = 1; i <= nnode; ++i) {
      const auto ii = static_cast<std::size_t>(i - 1);
      if (work.diffusion[ii] == 0 || work.arith[ii] != 0) continue;
      double glf = 0.0, glft = 0.0, gr = 0.0, grt4 = 0.0;
      SCondSumsAbsTempGrT4(work.view, i, stefan, work.T, tabs, glf, glft, gr, grt4);
      S9TCLC(nnode, work.C, 1.0, h, i, work.load, glf, glft, gr, grt4, tabs, work.t0, work.r0, hot, GLOR.DTROCC,
             GLOI.NDTROC, GLOI.NRLXCC, GLOR.RELXCC, work.T, work.view.cube, work.view.fourth);
    }
    benchmark::DoNotOptimize(work.T.data());
  }
  const double flops = 4.0 * static_cast<double>(lin) + 3.0 * static_cast<double>(rad) + 32.0 * static_cast<double>(nodes);
  state.counters["flops_per_evaluation"] = flops;
  state.counters["flop_rate"] =
      benchmark::Counter(flops * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_NetworkBalanceEvaluation)->Unit(benchmark::kMicrosecond);

// The model program and the sample-input generator lie in the build
// directory, one level above this program.
void BM_SampleModelProgram(benchmark::State& state) {
  namespace fs = std::filesystem;
  const fs::path build = fs::canonical("/proc/self/exe").parent_path().parent_path();
  const fs::path program = build / "orvik_testbed_01";
  const fs::path inputs = build / "orvik_sample_inputs";
  if (!fs::exists(program) || !fs::exists(inputs)) {
    state.SkipWithError("model program or sample-input generator not built");
    return;
  }
  const fs::path dir = fs::temp_directory_path() / ("kalvir_thermal_bench_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string quiet = " > /dev/null 2>&1";
  if (std::system((inputs.string() + " " + dir.string() + quiet).c_str()) != 0) {
    state.SkipWithError("sample inputs could not be written");
    fs::remove_all(dir);
    return;
  }
  const std::string run = "cd " + dir.string() + " && " + program.string() + quiet;
  for (auto _ : state)
    if (std::system(run.c_str()) != 0) state.SkipWithError("the sample model run failed");
  fs::remove_all(dir);
}
BENCHMARK(BM_SampleModelProgram)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
