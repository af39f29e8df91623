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
namespace {

std::vector<double>& step_temps() {
  static std::vector<double> temps;
  return temps;
}
// The cooling node, recording node 1's temperature after every accepted step.
void build_recorded_cooling(double t0, double c, double g) {
  build_cooling_node(t0, c, g);
  step_temps().clear();
  ModelBlocks b = registered_model_blocks();
  b.variables2 = [] {
    block_log().v2_timen.push_back(GLOR.TIMEN);
    step_temps().push_back(gar_thermalnodetemps(1));
  };
  register_model_blocks(b);
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
double chain_error(double h) {
  const Chain chain = build_chain();
  GLOR.DTIMEI = h;
  GLOR.RELXCA = 1.0e-13;
  SLFWBK();
  const auto exact = chain.exact(10.0);
  double e = 0.0;
  for (std::size_t i = 0; i < Chain::n; ++i)
    e = std::max(e, std::abs(gar_thermalnodetemps(static_cast<std::int64_t>(i) + 1) - exact[i]));
  return e;
}

TEST(ForwardBackward, ChainErrorAgainstItsMatrixExponentialQuartersWithTheStep) {
  const double e1 = chain_error(0.2), e2 = chain_error(0.1), e3 = chain_error(0.05);
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

TEST(ForwardBackward, PeriodicBoundaryUnderSolcycReachesThePeriodicSolution) {
  build_periodic();
  {
    Unit6Capture capture;
    SOLCYC("SLFWBK", 1.0e-4, 1.0e10, kPeriod, 200, " ", "NONE");
    static_cast<void>(capture.finish());
  }
  EXPECT_NEAR(gar_thermalnodetemps(1), periodic(kPeriod), 2.0e-3);
  EXPECT_EQ(GLOR.TIMEO, 0.0);
  EXPECT_EQ(GLOC.SOLVER, "");
  EXPECT_EQ(FLAGS(29), 1);
  const double t_start = gar_thermalnodetemps(1);
  GLOR.TIMEND = kPeriod;
  SLFWBK();
  EXPECT_NEAR(gar_thermalnodetemps(1), t_start, 2.0e-4);
}

struct MessageCase {
  const char* what;
  NetworkSpec spec;
  void (*setup)();
  int status;
  std::string text;
  std::string routine;
  int code;
};

class ForwardBackwardMessages : public ::testing::TestWithParam<MessageCase> {};

TEST_P(ForwardBackwardMessages, TextCodeAndRoutine) {
  const MessageCase& c = GetParam();
  build_network(c.spec);
  register_logging_blocks();
  if (c.setup != nullptr) c.setup();
  std::vector<Message> msgs;
  EXPECT_EQ(run_capturing([] { SLFWBK(); }, msgs), c.status);
  ASSERT_FALSE(msgs.empty());
  EXPECT_EQ(msgs.back().text, printed(c.text));
  EXPECT_EQ(msgs.back().routine, c.routine);
  EXPECT_EQ(msgs.back().code, c.code);
  EXPECT_EQ(FLAGS(29), 1);
  EXPECT_EQ(FLAGS(36), 1);
}

NetworkSpec one_node(double c, double q, double g) {
  NetworkSpec spec;
  spec.nodes = {{100.0, c, 'D', q}, {0.0, 0.0, 'B', 0.0}};
  if (g > 0.0) spec.gl = {{1, 2, g}};
  return spec;
}

NetworkSpec short_of_space() {
  NetworkSpec spec = one_node(1.0, 0.0, 1.0);
  spec.dystor = 9;  // 4 x 2 + 2 from word 1: 2 real words short
  return spec;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ForwardBackwardMessages,
    ::testing::Values(
        MessageCase{"predictor runs away", one_node(1.0, 1.0e12, 1.0), nullptr, 1,
                    "SLFWBK: Temperature > 1.0D10 detected@ Node 1 in main model", "S4LOP1", 1},
        MessageCase{"load without conductance", one_node(0.0, 1.0, 0.0), nullptr, 1,
                    "SLFWBK: Temperature > 1.0D10 detected@ Node 1 in main model", "S4LOP1", 2},
        // The corrector's first change, magnified by DAMPT.
        MessageCase{"corrector runs away", one_node(500.0, 0.0, 10.0), [] { GLOR.DAMPT = 1.0e15; }, 1,
                    "Temperature > 1.0D10 detected@ Node 1 in main model", "S4TCLC2", 1},
        // tau 10 at the smallest step 1: every step changes by more than 1.
        MessageCase{"DTPMAX at DTMIN", one_node(100.0, 0.0, 10.0),
                    [] {
                      GLOR.DTPMAX = 1.0;
                      GLOR.DTMIN = 1.0;
                    },
                    0, "SLFWBK: DTPMAX exceeded in more than 10% of time steps", "S4SLVE", 5},
        MessageCase{"DTPMAX at DTMIN in 1 of 20 steps", one_node(100.0, 0.0, 10.0),
                    [] {
                      GLOR.DTPMAX = 4.76;  // the first change is 4.88, the second 4.64
                      GLOR.DTMIN = 0.5;
                      GLOR.DTIMEI = 0.5;
                      GLOR.DTMAX = 0.5;
                    },
                    0, "SLFWBK: DTPMAX exceeded in up to 10% of time steps", "S4SLVE", 4},
        MessageCase{"NLOOP required", one_node(1.0, 0.0, 1.0), [] { GLOI.NLOOP = SKUNDF(); }, 1,
                    "SLFWBK: Control constant NLOOP not specified@See User Manual description of SLFWBK for a "
                    "list of required control constants",
                    "SLFWBK", 3},
        MessageCase{"work space", short_of_space(), nullptr, 1,
                    "SLFWBK: Insufficient work space@An extra         2 words needed, increase DYSTOR on "
                    "$EXECUTION record, see User Manual description of $EXECUTION block",
                    "SLFWBK", 6}),
    CaseName{});

}  // namespace
}  // namespace kalvir::test
