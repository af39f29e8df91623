// The Gear routines' step control against a reference they do not share: a
// radiating three-node network driven by a sine boundary, integrated here by
// the three-stage Radau IIA formula (order 5) on a fine fixed step. A
// tolerance a hundred times tighter must buy a tenfold smaller error, and a
// step whose error estimate is too large must be seen rejected.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

#include "runtime/thermal/gear.h"
#include "runtime/thermal/gear_diagonal.h"
#include "runtime/thermal/gear_full.h"
#include "tests/thermal/thermal_test_support.h"

namespace kalvir::test {
namespace gear_accuracy_test {

constexpr double kTabs = 273.15, kSigma = 5.670374419e-8;
constexpr double kEnd = 3000.0, kOutint = 100.0;
constexpr std::array<double, 3> kCap{50.0, 200.0, 1000.0};
constexpr std::array<double, 3> kStart{20.0, 20.0, 20.0};
// Node 1 to the boundary (node 4) 2.0 W/K, 1-2 1.0 W/K, 2-3 0.5 W/K,
// node 3 radiates to the boundary with GR 0.8 m2 and to node 1 with 0.3 m2.
constexpr double kG14 = 2.0, kG12 = 1.0, kG23 = 0.5, kR34 = 0.8, kR13 = 0.3;
constexpr double kPeriodB = 1000.0;

// The boundary's sine, and a jump of JUMP kelvin at 1450 s when it is set.
double& jump() {
  static double j = 0.0;
  return j;
}
double boundary(double t) {
  return 20.0 + 40.0 * std::sin(2.0 * std::numbers::pi * t / kPeriodB) + (t >= 1450.0 ? jump() : 0.0);
}

using State = std::array<double, 3>;

// dT/dt of the three diffusion nodes at time t, in model units.
State rates(double t, const State& T) {
  const double tb = boundary(t);
  auto rad = [](double gr, double a, double b) {
    const double ya = a + kTabs, yb = b + kTabs;
    return kSigma * gr * (yb * yb * yb * yb - ya * ya * ya * ya);
  };
  const double q1 = kG14 * (tb - T[0]) + kG12 * (T[1] - T[0]) + rad(kR13, T[0], T[2]);
  const double q2 = kG12 * (T[0] - T[1]) + kG23 * (T[2] - T[1]);
  const double q3 = kG23 * (T[1] - T[2]) + rad(kR34, T[2], tb) + rad(kR13, T[2], T[0]);
  return {q1 / kCap[0], q2 / kCap[1], q3 / kCap[2]};
}

// Radau IIA, three stages, fixed step h, stages solved by fixed-point
// iteration (the network is mild: h times its fastest rate is far below 1).
std::vector<State> radau_reference(double h) {
  const double s6 = std::sqrt(6.0);
  const std::array<double, 3> c{(4.0 - s6) / 10.0, (4.0 + s6) / 10.0, 1.0};
  const std::array<std::array<double, 3>, 3> a{{{(88.0 - 7.0 * s6) / 360.0, (296.0 - 169.0 * s6) / 1800.0,
                                                 (-2.0 + 3.0 * s6) / 225.0},
                                                {(296.0 + 169.0 * s6) / 1800.0, (88.0 + 7.0 * s6) / 360.0,
                                                 (-2.0 - 3.0 * s6) / 225.0},
                                                {(16.0 - s6) / 36.0, (16.0 + s6) / 36.0, 1.0 / 9.0}}};
  std::vector<State> at_outputs{kStart};
  State y = kStart;
  const int steps = static_cast<int>(std::lround(kEnd / h));
  const int per_output = static_cast<int>(std::lround(kOutint / h));
  for (int n = 0; n < steps; ++n) {
    const double t = n * h;
    std::array<State, 3> z{};
    for (int it = 0; it < 100; ++it) {
      std::array<State, 3> f{};
      for (int s = 0; s < 3; ++s) {
        State ys = y;
        for (int i = 0; i < 3; ++i) ys[i] += z[s][i];
        f[s] = rates(t + c[s] * h, ys);
      }
      double change = 0.0;
      for (int s = 0; s < 3; ++s)
        for (int i = 0; i < 3; ++i) {
          const double next = h * (a[s][0] * f[0][i] + a[s][1] * f[1][i] + a[s][2] * f[2][i]);
          change = std::max(change, std::abs(next - z[s][i]));
          z[s][i] = next;
        }
      if (change < 1.0e-14) break;
    }
    for (int i = 0; i < 3; ++i) y[i] += z[2][i];  // stiffly accurate: the last stage is the step's end
    if ((n + 1) % per_output == 0) at_outputs.push_back(y);
  }
  return at_outputs;
}

const std::vector<State>& reference() {
  static const std::vector<State> ref = radau_reference(1.0);
  return ref;
}

// The network as the Gear routines see it; the variables 1 block sets the
// boundary from TIMEM and the outputs block records the temperatures.
std::vector<State>& outputs() {
  static std::vector<State> out;
  return out;
}
void build_sine_network(double relxca) {
  NetworkSpec spec;
  for (int i = 0; i < 3; ++i) spec.nodes.push_back({kStart[i], kCap[i], 'D', 0.0});
  spec.nodes.push_back({boundary(0.0), 0.0, 'B', 0.0});
  spec.gl = {{1, 4, kG14}, {1, 2, kG12}, {2, 3, kG23}};
  spec.gr = {{3, 4, kR34}, {1, 3, kR13}};
  build_network(spec);
  register_logging_blocks();
  outputs().clear();
  ModelBlocks b = registered_model_blocks();
  b.variables1 = [] {
    block_log().v1_timem.push_back(GLOR.TIMEM);
    gar_thermalnodetemps(4) = boundary(GLOR.TIMEM);
  };
  b.outputs = [] {
    block_log().out_timen.push_back(GLOR.TIMEN);
    outputs().push_back({gar_thermalnodetemps(1), gar_thermalnodetemps(2), gar_thermalnodetemps(3)});
  };
  register_model_blocks(b);
  GLOR.TIMEND = kEnd;
  GLOR.OUTINT = kOutint;
  GLOR.DTIMEI = 10.0;
  GLOR.RELXCA = relxca;
  GLOI.NLOOP = 50;
}

double largest_error() {
  const std::vector<State>& ref = reference();
  EXPECT_EQ(outputs().size(), ref.size());
  double e = 0.0;
  for (std::size_t o = 0; o < std::min(ref.size(), outputs().size()); ++o)
    for (int i = 0; i < 3; ++i) e = std::max(e, std::abs(outputs()[o][i] - ref[o][i]));
  return e;
}

struct Method {
  const char* what;
  void (*step_loop)(thermal::GearWork&);
};

// The routine's own step loop, leaving behind how many steps its error test
// rejected.
std::int64_t& rejected() {
  static std::int64_t n = 0;
  return n;
}
void (*current_loop)(thermal::GearWork&) = nullptr;
void counting_loop(thermal::GearWork& w) {
  current_loop(w);
  rejected() = w.rejected;
}

class GearAccuracy : public ::testing::TestWithParam<Method> {};

TEST_P(GearAccuracy, ErrorFallsTenfoldWhenTheToleranceFallsHundredfold) {
  const Method& m = GetParam();
  // The reference against itself on a step twice as long: far below what
  // is asked of the Gear runs.
  const std::vector<State> coarse = radau_reference(2.0);
  double self = 0.0;
  for (std::size_t o = 0; o < coarse.size(); ++o)
    for (int i = 0; i < 3; ++i) self = std::max(self, std::abs(coarse[o][i] - reference()[o][i]));
  ASSERT_LT(self, 1.0e-7);

  std::array<double, 2> errors{};
  const std::array<double, 2> tolerances{1.0e-3, 1.0e-5};
  jump() = 0.0;
  for (std::size_t k = 0; k < 2; ++k) {
    build_sine_network(tolerances[k]);
    current_loop = m.step_loop;
    rejected() = -1;
    std::vector<Message> msgs;
    ASSERT_EQ(run_capturing([&] { thermal::run_gear(m.what, &counting_loop); }, msgs), 0) << m.what;
    EXPECT_TRUE(msgs.empty()) << m.what;
    errors[k] = largest_error();
    std::printf("%s RELXCA %g: largest error %.3e K, %zu accepted and %lld rejected steps\n", m.what,
                tolerances[k], errors[k], block_log().v2_timen.size(), static_cast<long long>(rejected()));
    // The first step of DTIMEI is far too long for either tolerance.
    EXPECT_GT(rejected(), 0) << m.what;
  }
  EXPECT_LE(errors[1], 0.1 * errors[0]) << m.what;
}

TEST_P(GearAccuracy, StepsIntoABoundaryJumpAreRejected) {
  const Method& m = GetParam();
  std::array<std::int64_t, 2> counts{};
  for (std::size_t k = 0; k < 2; ++k) {
    jump() = k == 0 ? 0.0 : 30.0;
    build_sine_network(1.0e-4);
    current_loop = m.step_loop;
    std::vector<Message> msgs;
    ASSERT_EQ(run_capturing([&] { thermal::run_gear(m.what, &counting_loop); }, msgs), 0) << m.what;
    counts[k] = rejected();
  }
  jump() = 0.0;
  // The steps that reach past the jump find the new boundary at their end,
  // far from what the history predicts.
  EXPECT_GT(counts[1], counts[0]) << m.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, GearAccuracy,
                         ::testing::Values(Method{"SLGEAR", &S5SLVE}, Method{"SLGRDJ", &S6SLVE}), CaseName{});

}  // namespace gear_accuracy_test
}  // namespace kalvir::test
