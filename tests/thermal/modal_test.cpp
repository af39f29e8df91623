// SLMODE against solutions found without it: a chain of constant conductors
// against its matrix exponential at every output, whatever the step; a node
// without capacitance in balance with its neighbours; radiation to absolute
// zero in closed form; a periodic boundary through the cyclic analysis; and
// the texts of its failures and warnings.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "runtime/thermal/cyclic.h"
#include "runtime/thermal/modal.h"
#include "tests/thermal/thermal_test_support.h"

namespace kalvir::test {
namespace modal_test {

constexpr double kTabs = 273.15;

// The temperatures of every node at each outputs call.
std::vector<std::vector<double>>& outputs_seen() {
  static std::vector<std::vector<double>> seen;
  return seen;
}
void record_outputs() {
  outputs_seen().clear();
  ModelBlocks b = registered_model_blocks();
  b.outputs = [] {
    block_log().out_timen.push_back(GLOR.TIMEN);
    outputs_seen().emplace_back(gar_thermalnodetemps.data(),
                                gar_thermalnodetemps.data() + gar_thermalnodetemps.size());
  };
  register_model_blocks(b);
}

TEST(Modal, ChainMatchesItsMatrixExponentialWhateverTheStep) {
  for (double dtmax : {1.0e6, 0.3, 0.07}) {
    const Chain chain = build_chain();
    record_outputs();
    GLOR.TIMEND = 60.0;
    GLOR.OUTINT = 7.5;
    GLOR.DTMAX = dtmax;
    GLOR.DTIMEI = 1000.0;  // replaced by 0.95 CSGMIN
    std::vector<Message> msgs;
    ASSERT_EQ(run_capturing([] { SLMODE(); }, msgs), 0) << dtmax;
    EXPECT_TRUE(msgs.empty()) << dtmax;
    ASSERT_EQ(block_log().out_timen.size(), 9U) << dtmax;
    for (std::size_t k = 0; k < outputs_seen().size(); ++k) {
      const double t = block_log().out_timen[k];
      EXPECT_NEAR(t, 7.5 * static_cast<double>(k), 1.0e-12);
      const std::array<double, Chain::n> want = chain.exact(t);
      for (std::size_t i = 0; i < Chain::n; ++i)
        EXPECT_NEAR(outputs_seen()[k][i], want[i], 1.0e-10) << "DTMAX " << dtmax << " t " << t << " node " << i + 1;
    }
    // The step is 0.95 CSGMIN (node 2: C / G = 6 / 10) unless DTMAX cuts it.
    EXPECT_DOUBLE_EQ(GLOR.DTIMEI, 0.95 * 0.6);
    EXPECT_EQ(GLOR.TIMEO, 60.0);
    EXPECT_EQ(GLOR.TIMEM, 60.0);
    EXPECT_EQ(FLAGS(29), 1);
    EXPECT_EQ(FLAGS(36), 1);
  }
}

TEST(Modal, RejectedStepsRepeatWithoutTheVariablesBlockAndStayExact) {
  // A single node (one mode) cooling from 100 through 1 W/K, C = 10 J/K.
  build_cooling_node(100.0, 10.0, 1.0);
  record_outputs();
  GLOR.DTPMAX = 2.0;
  std::vector<Message> msgs;
  ASSERT_EQ(run_capturing([] { SLMODE(); }, msgs), 0);
  EXPECT_TRUE(msgs.empty());
  const std::vector<double>& accepted = block_log().v2_timen;
  ASSERT_GT(accepted.size(), 10U);
  // Variables 1: once at the start, once for the decomposition and once per
  // accepted step for its corrective load; never for a retry.
  EXPECT_EQ(block_log().v1_timem.size(), accepted.size() + 2);
  EXPECT_NEAR(gar_thermalnodetemps(1), 100.0 * std::exp(-1.0), 1.0e-12);
  // With CSGMIN 10 the first step (9.5) changes the node by about 61 K: it
  // is retried shorter until the change is within DTPMAX.
  EXPECT_LT(accepted[0], 0.5);
}

TEST(Modal, NodeWithoutCapacitanceBalancesItsNeighbours) {
  // 1 (C 100) -2- 2 (C 0) -2- 3 (boundary at 0): node 2 sits at half of node
  // 1, and node 1 sees 1 W/K to the boundary: T1 = 100 exp(-t / 100).
  NetworkSpec spec;
  spec.nodes = {{100.0, 100.0, 'D', 0.0}, {50.0, 0.0, 'D', 0.0}, {0.0, 0.0, 'B', 0.0}};
  spec.gl = {{1, 2, 2.0}, {2, 3, 2.0}};
  build_network(spec);
  register_logging_blocks();
  GLOR.TIMEND = 100.0;
  GLOR.OUTINT = 100.0;
  GLOR.DTMAX = 1.0;
  std::vector<Message> msgs;
  ASSERT_EQ(run_capturing([] { SLMODE(); }, msgs), 0);
  EXPECT_TRUE(msgs.empty());
  EXPECT_NEAR(gar_thermalnodetemps(2), 0.5 * gar_thermalnodetemps(1), 1.0e-9);
  EXPECT_NEAR(gar_thermalnodetemps(1), 100.0 * std::exp(-1.0), 0.4);
  EXPECT_EQ(GLOI.LOOPCT, 2);  // the second sweep finds the balance unchanged
}

// Radiation to absolute zero from 1000 K for 200 s: the error against the
// closed form Ta(t) = (Ta0^-3 + 3 sigma GR t / C)^(-1/3).
double radiation_error(double dtmax) {
  NetworkSpec spec;
  const double c = 100.0, gr = 1.0, ta0 = 1000.0, t_end = 200.0;
  spec.nodes = {{ta0 - kTabs, c, 'D', 0.0}, {-kTabs, 0.0, 'B', 0.0}};
  spec.gr = {{1, 2, gr}};
  build_network(spec);
  register_logging_blocks();
  GLOR.TIMEND = t_end;
  GLOR.OUTINT = t_end;
  GLOR.DTMAX = dtmax;
  std::vector<Message> msgs;
  EXPECT_EQ(run_capturing([] { SLMODE(); }, msgs), 0);
  const double exact = std::pow(std::pow(ta0, -3.0) + 3.0 * GLOR.STEFAN * gr * t_end / c, -1.0 / 3.0);
  return gar_thermalnodetemps(1) + kTabs - exact;
}

TEST(Modal, RadiationConvergesToTheClosedFormWithTheStep) {
  // The radiative conductance falls 50-fold: the corrective load carries
  // the change, with an error of first order in the step.
  const double coarse = radiation_error(0.2), fine = radiation_error(0.02);
  EXPECT_LT(std::abs(fine), 0.5);
  EXPECT_NEAR(coarse / fine, 10.0, 1.0);
}

TEST(Modal, CyclicAnalysisReachesThePeriodicSolution) {
  build_periodic();
  GLOR.DTMAX = 0.05;
  std::vector<Message> msgs;
  ASSERT_EQ(run_capturing([] { SOLCYC("SLMODE", 1.0e-4, 1.0e10, kPeriod, 200, " ", "NONE"); }, msgs), 0);
  EXPECT_NEAR(gar_thermalnodetemps(1), periodic(kPeriod), 1.0e-2);
  EXPECT_EQ(GLOR.TIMEO, 0.0);
}

struct MessageCase {
  const char* what;
  std::vector<NetNode> nodes;
  std::vector<NetConductor> gl;
  double dtmin;
  int nloop;
  int status;
  const char* text;
  const char* routine;
  int code;
};

class ModalMessages : public ::testing::TestWithParam<MessageCase> {};

TEST_P(ModalMessages, PrintTheirTexts) {
  const MessageCase& c = GetParam();
  NetworkSpec spec;
  spec.nodes = c.nodes;
  spec.gl = c.gl;
  build_network(spec);
  register_logging_blocks();
  GLOR.DTMIN = c.dtmin;
  GLOI.NLOOP = c.nloop;
  GLOR.DTPMAX = 1.0e-3;
  std::vector<Message> msgs;
  EXPECT_EQ(run_capturing([] { SLMODE(); }, msgs), c.status);
  ASSERT_EQ(msgs.size(), 1U);
  EXPECT_EQ(msgs[0].text, printed(c.text));
  EXPECT_EQ(msgs[0].routine, c.routine);
  EXPECT_EQ(msgs[0].code, c.code);
  EXPECT_EQ(FLAGS(29), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ModalMessages,
    ::testing::Values(
        MessageCase{"no capacitive diffusion node",
                    {{10.0, 0.0, 'D', 0.0}, {0.0, 0.0, 'B', 0.0}, {5.0, 7.0, 'B', 0.0}},
                    {{1, 2, 1.0}},
                    1.0e-6,
                    100,
                    1,
                    "SLMODE: Error copying conductance array to work space",
                    "S8SLVE",
                    2},
        MessageCase{"DTPMAX exceeded at the smallest step",
                    {{10.0, 4.0, 'D', 0.0}, {0.0, 0.0, 'B', 0.0}},
                    {{1, 2, 1.0}},
                    1.0,
                    100,
                    0,
                    "SLMODE: DTPMAX exceeded in more than 10% of time steps",
                    "S8SLVE",
                    7},
        // One sweep (NLOOP 0) leaves the node without capacitance short of
        // its balance with the falling node 1 in every step.
        MessageCase{"RELXCA exceeded in the sweeps",
                    {{10.0, 4.0, 'D', 0.0}, {0.0, 0.0, 'B', 0.0}, {5.0, 0.0, 'D', 0.0}},
                    {{1, 2, 1.0}, {1, 3, 1.0}, {2, 3, 1.0}},
                    1.0e-6,
                    0,
                    0,
                    "SLMODE: RELXCA exceeded in more than 10% of time steps",
                    "S8SLVE",
                    5}),
    CaseName{});

}  // namespace modal_test
}  // namespace kalvir::test
