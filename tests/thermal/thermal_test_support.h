// Helpers shared by the thermal tests: model blocks that record the times at
// which the solution calls them and that can drive boundary temperatures, the
// standard networks (cooling node, chain, periodic boundary) and the answers
// found without the code under test (matrix exponential, periodic solution).
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <functional>
#include <numbers>
#include <string_view>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/model_blocks.h"
#include "runtime/control/status.h"
#include "runtime/platform/process.h"
#include "runtime/thermal/cyclic.h"
#include "tests/support/model_fixture.h"
#include "tests/support/network_fixture.h"

namespace kalvir::test {

// What the model blocks saw during a run.
struct BlockLog {
  std::vector<double> v1_timem;    // TIMEM at each variables 1 call
  std::vector<double> v2_timen;    // TIMEN at each variables 2 call (accepted steps)
  std::vector<double> out_timen;   // TIMEN at each outputs call
  std::function<void()> on_v1;     // extra work of the variables 1 block
};
inline BlockLog& block_log() {
  static BlockLog log;
  return log;
}

// Registers blocks that fill block_log(); the ties are applied after each
// accepted step, as a model's variables 2 block does.
inline void register_logging_blocks() {
  block_log() = BlockLog{};
  ModelBlocks b;
  b.variables1 = [] {
    block_log().v1_timem.push_back(GLOR.TIMEM);
    if (block_log().on_v1) block_log().on_v1();
  };
  b.variables2 = [] { block_log().v2_timen.push_back(GLOR.TIMEN); };
  b.outputs = [] { block_log().out_timen.push_back(GLOR.TIMEN); };
  register_model_blocks(b);
}

// The simplest transient: node 1 (diffusion, temperature t0, capacitance c)
// loses heat through a linear conductor g to node 2, a boundary at 0, so that
// its temperature is t0 exp(-g t / c). The logging blocks are registered.
inline void build_cooling_node(double t0, double c, double g) {
  NetworkSpec spec;
  spec.nodes = {{t0, c, 'D', 0.0}, {0.0, 0.0, 'B', 0.0}};
  spec.gl = {{1, 2, g}};
  build_network(spec);
  register_logging_blocks();
}

// exp(A) of a small dense matrix by scaling, Taylor series and squaring.
template <std::size_t N>
using Matrix = std::array<std::array<double, N>, N>;

template <std::size_t N>
Matrix<N> multiply(const Matrix<N>& a, const Matrix<N>& b) {
  Matrix<N> c{};
  for (std::size_t i = 0; i < N; ++i)
    for (std::size_t k = 0; k < N; ++k)
      for (std::size_t j = 0; j < N; ++j) c[i][j] += a[i][k] * b[k][j];
  return c;
}

template <std::size_t N>
Matrix<N> expm(Matrix<N> a) {
  int squarings = 0;
  double norm = 0.0;
  for (const auto& row : a) {
    double s = 0.0;
    for (double v : row) s += std::abs(v);
    norm = std::max(norm, s);
  }
  while (norm > 0.5) {
    norm *= 0.5;
    ++squarings;
  }
  const double scale = std::ldexp(1.0, -squarings);
  for (auto& row : a)
    for (double& v : row) v *= scale;
  Matrix<N> result{}, term{};
  for (std::size_t i = 0; i < N; ++i) result[i][i] = term[i][i] = 1.0;
  for (int k = 1; k <= 30; ++k) {
    term = multiply(term, a);
    for (auto& row : term)
      for (double& v : row) v /= k;
    for (std::size_t i = 0; i < N; ++i)
      for (std::size_t j = 0; j < N; ++j) result[i][j] += term[i][j];
  }
  for (int s = 0; s < squarings; ++s) result = multiply(result, result);
  return result;
}

// A chain of ten diffusion nodes (C = 5 + i, T0 = 10 (i + 1) for node i + 1)
// joined by linear conductors of 5, node 10 draining through 2 into node 11,
// a boundary at 0. With constant conductors dT/dt = A T, A = -C^-1 K.
struct Chain {
  static constexpr std::size_t n = 10;
  static constexpr double g = 5.0, g_end = 2.0;
  std::array<double, n> c{}, t0{};

  Matrix<n> rate_matrix() const {
    Matrix<n> a{};
    for (std::size_t i = 0; i + 1 < n; ++i) {
      a[i][i] -= g / c[i];
      a[i][i + 1] += g / c[i];
      a[i + 1][i + 1] -= g / c[i + 1];
      a[i + 1][i] += g / c[i + 1];
    }
    a[n - 1][n - 1] -= g_end / c[n - 1];
    return a;
  }
  // exp(A t) T0.
  std::array<double, n> exact(double t) const {
    Matrix<n> a = rate_matrix();
    for (auto& row : a)
      for (double& v : row) v *= t;
    const Matrix<n> e = expm(a);
    std::array<double, n> out{};
    for (std::size_t i = 0; i < n; ++i)
      for (std::size_t j = 0; j < n; ++j) out[i] += e[i][j] * t0[j];
    return out;
  }
};

// Builds the chain (TIMEO 0, TIMEND and OUTINT as the fixture leaves them) and
// registers the logging blocks.
inline Chain build_chain() {
  Chain chain;
  NetworkSpec spec;
  for (std::size_t i = 0; i < Chain::n; ++i) {
    chain.c[i] = 5.0 + static_cast<double>(i);
    chain.t0[i] = 10.0 * static_cast<double>(i + 1);
    spec.nodes.push_back({chain.t0[i], chain.c[i], 'D', 0.0});
  }
  spec.nodes.push_back({0.0, 0.0, 'B', 0.0});  // node 11, the sink of node 10
  for (int i = 1; i < static_cast<int>(Chain::n); ++i) spec.gl.push_back({i, i + 1, Chain::g});
  spec.gl.push_back({static_cast<int>(Chain::n), static_cast<int>(Chain::n) + 1, Chain::g_end});
  build_network(spec);
  register_logging_blocks();
  return chain;
}

// The periodic case: node 1 (time constant kTau) follows boundary node 2,
// whose temperature the variables 1 block sets to A sin(omega TIMEM).
inline constexpr double kTau = 10.0, kPeriod = 20.0, kAmplitude = 10.0;
inline const double kOmega = 2.0 * std::numbers::pi / kPeriod;

inline void build_periodic() {
  build_cooling_node(0.0, 10.0 * kTau, 10.0);
  block_log().on_v1 = [] { gar_thermalnodetemps(2) = kAmplitude * std::sin(kOmega * GLOR.TIMEM); };
  GLOR.TIMEO = 0.0;
  GLOR.TIMEND = 0.0;
  GLOR.OUTINT = 5.0;
  GLOR.DTIMEI = 0.05;
  GLOR.RELXCA = 1.0e-12;
}

// The periodic solution of tau dT/dt = Tb - T at phase omega t.
inline double periodic(double t) {
  const double wt = kOmega * kTau;
  return kAmplitude / (1.0 + wt * wt) * (std::sin(kOmega * t) - wt * std::cos(kOmega * t));
}

// Runs body and returns its exit status with the messages it printed.
inline int run_capturing(const std::function<void()>& body, std::vector<Message>& messages) {
  int status = -1;
  messages = capture_messages([&] { status = platform::run_program(body); });
  return status;
}

// Node 1's temperature after every accepted step, recorded by the variables
// 2 block that record_step_temps() registers in place of the logging one.
inline std::vector<double>& step_temps() {
  static std::vector<double> temps;
  return temps;
}
inline void record_step_temps() {
  step_temps().clear();
  ModelBlocks b = registered_model_blocks();
  b.variables2 = [] {
    block_log().v2_timen.push_back(GLOR.TIMEN);
    step_temps().push_back(gar_thermalnodetemps(1));
  };
  register_model_blocks(b);
}

// SOLCYC over ROUTINE on the periodic case as built (build_periodic), to
// TOLT, then one more period by the transient RUN from the cyclic state.
struct PeriodicEnds {
  double after_cycles = 0.0;     // node 1 at the end of the last cycle
  double timeo_after_cycles = 0.0;
  std::int32_t next_free_after_cycles = 0;
  double after_transient = 0.0;  // node 1 one period later
};
inline PeriodicEnds run_periodic(std::string_view routine, void (*run)(), double tolt) {
  PeriodicEnds ends;
  {
    Unit6Capture capture;
    SOLCYC(routine, tolt, 1.0e10, kPeriod, 200, " ", "NONE");
    static_cast<void>(capture.finish());
  }
  ends.after_cycles = gar_thermalnodetemps(1);
  ends.timeo_after_cycles = GLOR.TIMEO;
  ends.next_free_after_cycles = FLAGS(29);
  GLOR.TIMEND = GLOR.TIMEO + kPeriod;
  run();
  ends.after_transient = gar_thermalnodetemps(1);
  return ends;
}

// The largest difference at time t between the chain's node temperatures
// and its matrix exponential.
inline double chain_error(const Chain& chain, double t) {
  const auto exact = chain.exact(t);
  double e = 0.0;
  for (std::size_t i = 0; i < Chain::n; ++i)
    e = std::max(e, std::abs(gar_thermalnodetemps(static_cast<std::int64_t>(i) + 1) - exact[i]));
  return e;
}

// A radiating network with every kind of node and conductor end a sum
// meets: nine thermal nodes and a fluid node (10); diffusion nodes with and
// without capacitance, boundary nodes (one near absolute zero), a node of
// status X, linear and radiative conductors (one of each off from the start,
// some to the fluid node) and the FLUIDIC ones given; the logging blocks,
// with the variables 1 block changing a linear conductance with temperature
// at every call and switching a radiative conductor off (a status change) at
// 60 s; a run to 300 s.
inline void build_pinned_network(const std::vector<NetConductor>& fluidic = {}) {
  NetworkSpec spec;
  spec.nodes = {{80.0, 400.0, 'D', 12.0}, {20.0, 900.0, 'D', 0.0},  {-40.0, 150.0, 'D', 0.0},
                {10.0, 0.0, 'D', 3.0},    {-5.0, 60.0, 'D', 0.0},   {-270.0, 0.0, 'B', 0.0},
                {15.0, 0.0, 'B', 0.0},    {300.0, 20.0, 'X', 0.0},  {45.0, 2500.0, 'D', 40.0}};
  spec.fluid_temps = {35.0};
  spec.gl = {{1, 2, 1.5}, {2, 3, 0.8}, {3, 4, 0.6}, {4, 5, 0.9}, {5, 7, 0.3}, {1, 8, 1.0},
             {9, 1, 2.5}, {9, 10, 0.7}, {2, 9, 0.1, 'I'}};
  spec.gr = {{1, 6, 0.05},  {2, 6, 0.12},  {3, 6, 0.4},    {5, 6, 0.08},  {9, 6, 0.3},   {1, 3, 0.02},
             {2, 5, 0.03},  {3, 9, 0.01},  {4, 6, 0.02},   {1, 2, 0.04, 'I'}, {5, 10, 0.05}, {1, 5, 0.013},
             {1, 9, 0.021}, {2, 3, 0.017}, {2, 9, 0.0093}, {3, 5, 0.029}, {5, 9, 0.011},  {1, 2, 0.0071},
             {3, 4, 0.015}, {2, 4, 0.006}, {9, 10, 0.019}, {1, 10, 0.008}};
  spec.gf = fluidic;
  build_network(spec);
  register_logging_blocks();
  GLOR.TIMEND = 300.0;
  GLOR.OUTINT = 50.0;
  GLOR.DTIMEI = 4.0;
  GLOR.DTMAX = 20.0;
  GLOR.RELXCA = 1.0e-3;
  GLOR.DAMPT = 0.9;
  GLOR.ARITH = 0.0;
  block_log().on_v1 = [] {
    gar_linearconds(3) = 0.6 * (1.0 + 0.004 * (0.5 * (gar_thermalnodetemps(3) + gar_thermalnodetemps(4))));
    if (GLOR.TIMEM >= 60.0 && gar_radiativecondacts(3)[0] == 'A') {
      gar_radiativecondacts.set(3, "I");
      stat_setstatst(1);
    }
  };
}

}  // namespace kalvir::test
