// SLFWBK against answers found without it: the trapezoidal ratio on one
// node, a chain against its matrix exponential with second-order error, the
// periodic case under SOLCYC; its step control (DTPMAX rejection and the
// step after it, boundary-only models), its messages and what it leaves.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "runtime/control/status.h"
#include "runtime/thermal/cyclic.h"
#include "runtime/thermal/forward_backward.h"
#include "tests/support/test_support.h"
#include "tests/thermal/thermal_test_support.h"

namespace kalvir::test {
namespace forward_backward_test {

// The cooling node, recording node 1's temperature after every accepted step.
void build_recorded_cooling(double t0, double c, double g) {
  build_cooling_node(t0, c, g);
  record_step_temps();
}

double ratio(double h, double tau) { return (1.0 - 0.5 * h / tau) / (1.0 + 0.5 * h / tau); }

TEST(ForwardBackward, OneNodeFollowsTheTrapezoidalRatio) {
  const double tau = 50.0;
  build_recorded_cooling(100.0, 10.0 * tau, 10.0);
  GLOR.RELXCA = 1.0e-12;
  SLFWBK();
  ASSERT_EQ(step_temps().size(), 10U);
  for (std::size_t n = 0; n < 10; ++n)
    EXPECT_NEAR(step_temps()[n], 100.0 * std::pow(ratio(1.0, tau), static_cast<double>(n + 1)), 1.0e-10);
  EXPECT_EQ(GLOR.TIMEO, 10.0);
  EXPECT_EQ(GLOR.TIMEN, 10.0);
  EXPECT_EQ(GLOR.TIMEM, 10.0);
  EXPECT_DOUBLE_EQ(GLOR.CSGMIN, tau);
  EXPECT_EQ(GLOC.MODULE, "SLFWBK");
  EXPECT_EQ(FLAGS(29), 1);
  EXPECT_EQ(FLAGS(36), 1);
  // V10001 at the step's midpoint, the start call included.
  ASSERT_EQ(block_log().v1_timem.size(), 11U);
  for (std::size_t n = 0; n < 11; ++n)
    EXPECT_DOUBLE_EQ(block_log().v1_timem[n], n == 0 ? 0.5 : static_cast<double>(n) - 0.5);
  EXPECT_EQ(block_log().out_timen, (std::vector<double>{0.0, 10.0}));
}

TEST(ForwardBackward, BoundaryOnlyModelRunsAtDtmax) {
  NetworkSpec spec;
  spec.nodes = {{10.0, 1.0, 'B', 0.0}, {20.0, 0.0, 'B', 0.0}};
  spec.gl = {{1, 2, 1.0}};
  build_network(spec);
  register_logging_blocks();
  GLOR.DTPMAX = 1.0;
  GLOR.DTMAX = 2.0;
  SLFWBK();
  // First step DTIMEI; no change, so DTMAX after, halved within two steps of
  // the end.
  EXPECT_EQ(block_log().v2_timen, (std::vector<double>{1.0, 3.0, 5.0, 7.0, 8.5, 10.0}));
  EXPECT_EQ(gar_thermalnodetemps(1), 10.0);
}

TEST(ForwardBackward, DtpmaxRejectionRepeatsFromTheOldTemperatures) {
  // tau 10, step 2: the first attempt changes node 1 by 100 (1 - 0.9 / 1.1)
  // = 18.2 > DTPMAX 10, so it is repeated from 100 with 0.95 x 2 x 10 / 18.2.
  const double tau = 10.0;
  build_recorded_cooling(100.0, 10.0 * tau, 10.0);
  GLOR.DTIMEI = 2.0;
  GLOR.DTPMAX = 10.0;
  GLOR.RELXCA = 1.0e-12;
  SLFWBK();
  const double h1 = 0.95 * 2.0 * 10.0 / (100.0 * (1.0 - ratio(2.0, tau)));
  ASSERT_GE(block_log().v1_timem.size(), 3U);
  EXPECT_DOUBLE_EQ(block_log().v1_timem[1], 1.0);
  EXPECT_NEAR(block_log().v1_timem[2], 0.5 * h1, 1.0e-12);
  ASSERT_FALSE(step_temps().empty());
  EXPECT_NEAR(block_log().v2_timen[0], h1, 1.0e-12);
  EXPECT_NEAR(step_temps()[0], 100.0 * ratio(h1, tau), 1.0e-9);
  // Every accepted step keeps within DTPMAX.
  double before = 100.0;
  for (double t : step_temps()) {
    EXPECT_LE(std::abs(t - before), 10.0);
    before = t;
  }
}

TEST(ForwardBackward, RejectionWithoutAShorterStepRetriesAtDtmin) {
  // DTPMAX 5.0E9 is not a limit here, so a rejection proposes DTIMEI, the
  // step just rejected: the retry takes DTMIN instead and the run goes on.
  NetworkSpec spec;
  spec.nodes = {{0.0, 1.0, 'D', 6.0e9}};
  build_network(spec);
  register_logging_blocks();
  GLOR.DTPMAX = 5.0e9;
  GLOR.RELXCA = 1.0;  // temperatures of 1.0E9 carry rounding far above 1.0E-9
  GLOR.DTMIN = 0.25;
  GLOR.TIMEND = 1.0;
  GLOR.OUTINT = 1.0;
  std::vector<Message> msgs;
  EXPECT_EQ(run_capturing([] { SLFWBK(); }, msgs), 0);
  EXPECT_TRUE(msgs.empty());
  EXPECT_EQ(block_log().v2_timen, (std::vector<double>{0.25, 1.0}));
  EXPECT_NEAR(gar_thermalnodetemps(1), 6.0e9, 1.0);
}

TEST(ForwardBackward, NloopOneReportsEveryStepAndWarnsAtTheEnd) {
  build_cooling_node(100.0, 500.0, 10.0);
  GLOI.NLOOP = 1;
  GLOR.RELXCA = 1.0e-12;
  std::vector<Message> msgs;
  EXPECT_EQ(run_capturing([] { SLFWBK(); }, msgs), 0);
  ASSERT_EQ(msgs.size(), 11U);
  for (std::size_t n = 0; n < 10; ++n) {
    EXPECT_EQ(msgs[n].text, printed("SLFWBK: Solution failed to converge for this time step@NLOOP count exceeded"));
    EXPECT_EQ(msgs[n].routine, "S4NEWT");
    EXPECT_EQ(msgs[n].code, 2);
    EXPECT_EQ(msgs[n].severity, "FAILURE");
  }
  EXPECT_EQ(msgs[10].text, printed("SLFWBK: RELXCA exceeded in more than 10% of time steps"));
  EXPECT_EQ(msgs[10].routine, "S4SLVE");
  EXPECT_EQ(msgs[10].code, 3);
  EXPECT_EQ(GLOI.LOOPCT, 2);  // the predictor and one sweep
}

// Largest error of the chain at t = 10 with steps of h.
double error_at_ten(double h) {
  const Chain chain = build_chain();
  GLOR.DTIMEI = h;
  GLOR.RELXCA = 1.0e-13;
  SLFWBK();
  return chain_error(chain, 10.0);
}

TEST(ForwardBackward, ChainErrorAgainstItsMatrixExponentialQuartersWithTheStep) {
  const double e1 = error_at_ten(0.2), e2 = error_at_ten(0.1), e3 = error_at_ten(0.05);
  EXPECT_LT(e1, 1.0e-2);
  EXPECT_NEAR(e1 / e2, 4.0, 0.2);
  EXPECT_NEAR(e2 / e3, 4.0, 0.2);
}

TEST(ForwardBackward, RadiatingNodeWithoutCapacitanceBalancesEveryStep) {
  // Arithmetic node 2 between capacitive node 1 and boundary node 3, by a
  // linear and a radiative conductor: its balance holds at the end.
  NetworkSpec spec;
  spec.nodes = {{200.0, 50.0, 'D', 0.0}, {0.0, 0.0, 'D', 20.0}, {0.0, 0.0, 'B', 0.0}};
  spec.gl = {{1, 2, 1.0}};
  spec.gr = {{2, 3, 2.0}};
  build_network(spec);
  register_logging_blocks();
  GLOR.RELXCA = 1.0e-10;
  SLFWBK();
  const double tabs = GLOR.TABS, sigma = GLOR.STEFAN;
  const double t1 = gar_thermalnodetemps(1) + tabs, t2 = gar_thermalnodetemps(2) + tabs, t3 = tabs;
  EXPECT_NEAR(20.0 + 1.0 * (t1 - t2) + sigma * 2.0 * (std::pow(t3, 4) - std::pow(t2, 4)), 0.0, 1.0e-6);
  EXPECT_LT(gar_thermalnodetemps(1), 200.0);
}

TEST(ForwardBackward, DamptActsOncePerCorrectorUpdateOfANodeWithoutCapacitance) {
  // METHOD bit 1024: one Newton step on the node's balance in the predictor
  // and one in the single corrector sweep (NLOOP 2), each damped by DAMPT.
  NetworkSpec spec;
  spec.nodes = {{0.0, 0.0, 'D', 500.0}, {50.0, 0.0, 'B', 0.0}};
  spec.gl = {{1, 2, 1.5}};
  spec.gr = {{1, 2, 2.0}};
  build_network(spec);
  register_logging_blocks();
  record_step_temps();
  GLOI.METHOD = 1024;
  GLOI.NLOOP = 2;
  GLOR.DAMPT = 0.5;
  GLOR.TIMEND = 1.0;
  GLOR.OUTINT = 1.0;
  std::vector<Message> msgs;
  EXPECT_EQ(run_capturing([] { SLFWBK(); }, msgs), 0);
  const double tabs = GLOR.TABS, sigma = GLOR.STEFAN, tb = 50.0 + tabs;
  // Newton on f(Ta) = Q + G (Tb - Ta) + sigma GR (Tb^4 - Ta^4).
  auto newton = [&](double ta) {
    const double f = 500.0 + 1.5 * (tb - ta) + sigma * 2.0 * (std::pow(tb, 4) - std::pow(ta, 4));
    const double df = -1.5 - 4.0 * sigma * 2.0 * std::pow(ta, 3);
    return -f / df;
  };
  double ta = tabs;
  ta += 0.5 * newton(ta);  // predictor
  ta += 0.5 * newton(ta);  // corrector
  ASSERT_EQ(step_temps().size(), 1U);
  EXPECT_NEAR(step_temps()[0] + tabs, ta, 1.0e-9);
}

TEST(ForwardBackward, PeriodicBoundaryUnderSolcycReachesThePeriodicSolution) {
  build_periodic();
  const PeriodicEnds ends = run_periodic("SLFWBK", &SLFWBK, 1.0e-4);
  EXPECT_NEAR(ends.after_cycles, periodic(kPeriod), 2.0e-3);
  EXPECT_EQ(ends.timeo_after_cycles, 0.0);
  EXPECT_EQ(ends.next_free_after_cycles, 1);
  EXPECT_NEAR(ends.after_transient, ends.after_cycles, 2.0e-4);
}

}  // namespace forward_backward_test
}  // namespace kalvir::test
