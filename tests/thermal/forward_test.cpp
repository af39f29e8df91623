// SLFRWD against answers found without it: the explicit scheme's own
// sequence on one node, the balance of a node without capacitance, a chain
// against its matrix exponential with first-order error, the periodic case
// under SOLCYC; and its messages, step placement and the constants it leaves.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "runtime/control/status.h"
#include "runtime/thermal/cyclic.h"
#include "runtime/thermal/forward.h"
#include "tests/support/test_support.h"
#include "tests/thermal/thermal_test_support.h"

namespace kalvir::test {
namespace forward_test {

// Node 1 (C, T0, load q) joined by G to boundary node 2 at tb. Records the
// temperature of node 1 after every accepted step.
void build_one_node(double c, double t0, double g, double tb, double q) {
  NetworkSpec spec;
  spec.nodes = {{t0, c, 'D', q}, {tb, 0.0, 'B', 0.0}};
  spec.gl = {{1, 2, g}};
  build_network(spec);
  register_logging_blocks();
  record_step_temps();
}

TEST(Forward, OneNodeFollowsTheExplicitSequenceAtTheStabilityBound) {
  // h = 0.95 C/G = 9.5; T(n) - TB - Q/G = (1 - h G/C)^n (T(0) - TB - Q/G).
  const double c = 100.0, g = 10.0, tb = 20.0, q = 30.0, t0 = 100.0;
  build_one_node(c, t0, g, tb, q);
  GLOR.TIMEND = 6 * 9.5;
  GLOR.OUTINT = GLOR.TIMEND;
  GLOI.NLOOP = SKUNDF();
  GLOR.RELXCA = undefined_real();
  GLOR.DTIMEI = 1.0;  // replaced by the stability bound
  SLFRWD();
  const double h = 0.95 * c / g;
  ASSERT_EQ(step_temps().size(), 6U);
  const double steady = tb + q / g;
  for (std::size_t n = 0; n < 6; ++n) {
    EXPECT_DOUBLE_EQ(block_log().v2_timen[n], h * static_cast<double>(n + 1));
    const double expected = steady + std::pow(1.0 - h * g / c, static_cast<double>(n + 1)) * (t0 - steady);
    EXPECT_NEAR(step_temps()[n], expected, 1.0e-12 * std::abs(t0)) << "step " << n + 1;
  }
  // V10001 sees the midpoint of each step (after the start call at 0).
  ASSERT_EQ(block_log().v1_timem.size(), 7U);
  EXPECT_EQ(block_log().v1_timem[0], 0.0);
  for (std::size_t n = 1; n < 7; ++n) EXPECT_DOUBLE_EQ(block_log().v1_timem[n], h * (static_cast<double>(n) - 0.5));
  EXPECT_EQ(block_log().out_timen, (std::vector<double>{0.0, 6 * 9.5}));
  // The bound is left in DTIMEI for the solutions after; the defaults of
  // NLOOP and RELXCA are not written back.
  EXPECT_DOUBLE_EQ(GLOR.DTIMEI, h);
  EXPECT_DOUBLE_EQ(GLOR.CSGMIN, c / g);
  EXPECT_TRUE(SUNDCK(GLOI.NLOOP));
  EXPECT_TRUE(SDUNDF(GLOR.RELXCA));
  EXPECT_EQ(GLOR.TIMEO, GLOR.TIMEND);
  EXPECT_EQ(GLOR.TIMEM, GLOR.TIMEND);
  EXPECT_EQ(FLAGS(29), 1);
  EXPECT_EQ(FLAGS(36), 1);
  EXPECT_EQ(GLOC.MODULE, "SLFRWD");
}

TEST(Forward, OnlyNodeWithoutCapacitanceRunsAtDtmaxAndBalancesInOnePass) {
  // Q = 10, G = 2 to a boundary at 300: (10 + 2 (300 + TABS)) / 2 - TABS = 305.
  build_one_node(0.0, 0.0, 2.0, 300.0, 10.0);
  GLOR.DTMAX = 2.0;
  SLFRWD();
  EXPECT_EQ(block_log().v2_timen, (std::vector<double>{2.0, 4.0, 6.0, 8.0, 10.0}));
  EXPECT_NEAR(gar_thermalnodetemps(1), 305.0, 1.0e-9);
  EXPECT_EQ(GLOR.CSGMIN, 1.0e38);
  EXPECT_EQ(GLOR.DTIMEI, 0.95e38);
  EXPECT_EQ(GLOI.LOOPCT, 1);  // after the first step the balance holds at once
}

TEST(Forward, NodeWithoutCapacitanceBalancesRadiationAndConduction) {
  // Q + G (Tb - T) + sigma GR (Tb^4 - T^4) = 0, Newton to RELXCA: the balance
  // holds at the end of every step.
  NetworkSpec spec;
  spec.nodes = {{0.0, 0.0, 'D', 500.0}, {50.0, 0.0, 'B', 0.0}};
  spec.gl = {{1, 2, 1.5}};
  spec.gr = {{1, 2, 2.0}};
  build_network(spec);
  register_logging_blocks();
  GLOR.RELXCA = 1.0e-12;
  SLFRWD();
  const double tabs = GLOR.TABS, sigma = GLOR.STEFAN;
  const double t = gar_thermalnodetemps(1) + tabs, tb = 50.0 + tabs;
  EXPECT_NEAR(500.0 + 1.5 * (tb - t) + sigma * 2.0 * (std::pow(tb, 4) - std::pow(t, 4)), 0.0, 1.0e-8);
  EXPECT_GT(gar_thermalnodetemps(1), 50.0);
}

// Largest error of the chain at t = 10 with the step held at DTMAX.
double error_at_ten(double dtmax) {
  const Chain chain = build_chain();
  GLOR.DTMAX = dtmax;
  SLFRWD();
  return chain_error(chain, 10.0);
}

TEST(Forward, ChainErrorAgainstItsMatrixExponentialHalvesWithTheStep) {
  const double e1 = error_at_ten(0.1), e2 = error_at_ten(0.05), e3 = error_at_ten(0.025);
  EXPECT_LT(e1, 0.5);
  EXPECT_NEAR(e1 / e2, 2.0, 0.1);
  EXPECT_NEAR(e2 / e3, 2.0, 0.05);
  // Without DTMAX the step is the stability bound 0.95 x 0.6 (C 6, G 10) and
  // the result stays bounded.
  build_chain();
  SLFRWD();
  EXPECT_DOUBLE_EQ(GLOR.CSGMIN, 0.6);
  for (std::int64_t i = 1; i <= 10; ++i) EXPECT_LT(std::abs(gar_thermalnodetemps(i)), 100.0);
}

TEST(Forward, PeriodicBoundaryUnderSolcycReachesThePeriodicSolution) {
  build_periodic();
  GLOR.DTMAX = 0.05;
  const PeriodicEnds ends = run_periodic("SLFRWD", &SLFRWD, 1.0e-4);
  // First order: an error of the order of h omega times the amplitude.
  EXPECT_NEAR(ends.after_cycles, periodic(kPeriod), 1.0e-2);
  EXPECT_EQ(ends.timeo_after_cycles, 0.0);
  EXPECT_EQ(ends.next_free_after_cycles, 1);
  EXPECT_NEAR(ends.after_transient, ends.after_cycles, 2.0e-4);
}

TEST(Forward, DtminAboveTheBoundSetsTheStepAndWarnsOnce) {
  build_one_node(100.0, 100.0, 10.0, 0.0, 0.0);
  GLOR.DTMIN = 20.0;
  GLOR.TIMEND = 100.0;
  GLOR.OUTINT = 100.0;
  std::vector<Message> msgs;
  EXPECT_EQ(run_capturing([] { SLFRWD(); }, msgs), 0);
  EXPECT_EQ(msgs.size(), 1U);
  EXPECT_EQ(block_log().v2_timen, (std::vector<double>{20.0, 40.0, 60.0, 80.0, 100.0}));
  // 1 - h G / C = -1: the explicit result flips sign every step.
  for (std::size_t n = 0; n < 5; ++n) EXPECT_DOUBLE_EQ(step_temps()[n], n % 2 == 0 ? -100.0 : 100.0);
}

TEST(Forward, StatusChangeAtAStepIsFollowed) {
  // Node 2 leaves the network at the third step: node 1 no longer sees it.
  build_one_node(100.0, 100.0, 10.0, 0.0, 0.0);
  GLOR.DTMAX = 1.0;
  block_log().on_v1 = [] {
    if (block_log().v1_timem.size() == 4) {
      gar_thermalnodestatuses.set(2, "X");
      stat_setstatst(1);
    }
  };
  SLFRWD();
  EXPECT_EQ(stat_getstatst(), 0);
  EXPECT_DOUBLE_EQ(gar_thermalnodetemps(1), 100.0 * 0.9 * 0.9);
}

}  // namespace forward_test
}  // namespace kalvir::test
