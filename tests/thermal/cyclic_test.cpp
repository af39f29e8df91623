// SOLCYC over SLCRNC: a periodic boundary against the analytic periodic
// solution and the theoretical number of cycles, the limits on cycles, the
// node group, the routine names, and the rate routines against hand sums.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "runtime/fluids/interface/fluid_names.h"
#include "runtime/fluids/interface/properties.h"
#include "runtime/thermal/crank_nicolson.h"
#include "runtime/thermal/cyclic.h"
#include "tests/support/test_support.h"
#include "tests/thermal/thermal_test_support.h"

namespace kalvir::test {
namespace cyclic_test {

int count_reports(const std::string& printed_text) {
  int n = 0;
  for (std::size_t at = 0; (at = printed_text.find("SOLCYC cycle number: ", at)) != std::string::npos; ++at) ++n;
  return n;
}

TEST(Cyclic, PeriodicBoundaryConvergesToThePeriodicSolution) {
  build_periodic();
  const double tolt = 1.0e-3;
  // End-of-cycle temperatures T_c = Tp + (T_0 - Tp) rho^c: the change from
  // one cycle to the next first falls to TOLT at this cycle.
  const double rho = std::exp(-kPeriod / kTau);
  int theory = 1;
  while (std::abs(0.0 - periodic(0.0)) * std::pow(rho, theory - 1) * (1.0 - rho) > tolt) ++theory;

  // The outputs block sees OUTIME as the cycles set it.
  static std::vector<std::string> outime;
  outime.clear();
  ModelBlocks b = registered_model_blocks();
  b.outputs = [] { outime.emplace_back(GLOC.OUTIME.view()); };
  register_model_blocks(b);
  std::string out;
  {
    Unit6Capture capture;
    SOLCYC("SLCRNC", tolt, 1.0e10, kPeriod, 200, " ", "NONE");
    out = capture.finish();
  }
  ASSERT_FALSE(outime.empty());
  for (const std::string& o : outime) EXPECT_EQ(o, "NONE              ");
  const int cycles = count_reports(out);
  EXPECT_LE(std::abs(cycles - theory), 1) << "cycles " << cycles << ", theory " << theory;
  EXPECT_NEAR(gar_thermalnodetemps(1), periodic(kPeriod), 2.0e-3);
  EXPECT_EQ(GLOR.TIMEO, 0.0);
  EXPECT_EQ(GLOR.TIMEND, 0.0);
  EXPECT_EQ(GLOC.SOLVER, "");
  EXPECT_EQ(GLOC.OUTIME, "ALL");
  EXPECT_EQ(FLAGS(29), 1);
  EXPECT_NE(out.find("Max delta dT/dt = Not calculated"), std::string::npos);

  // A transient called next runs from the start time with the cyclic state
  // and ends one period later in the same state.
  const double t_start = gar_thermalnodetemps(1);
  GLOR.TIMEND = kPeriod;
  outime.clear();
  SLCRNC();
  EXPECT_NEAR(gar_thermalnodetemps(1), t_start, 2.0 * tolt);
  ASSERT_FALSE(outime.empty());
  EXPECT_EQ(outime.back(), padded("ALL", 18));
}

TEST(Cyclic, RatesTakePartWhenTolrIsSet) {
  build_periodic();
  std::string out;
  {
    Unit6Capture capture;
    SOLCYC("SLCRNC  ", 1.0e-3, 1.0e-5, kPeriod, 200, " ", "NONE");
    out = capture.finish();
  }
  EXPECT_EQ(out.find("Not calculated"), std::string::npos);
  double rate = 0.0;
  LPDTTM(1, rate);
  // At the end of a period the periodic rate is d/dt of the periodic solution.
  const double wt = kOmega * kTau;
  EXPECT_NEAR(rate, kAmplitude * kOmega / (1.0 + wt * wt), 1.0e-3);
}

TEST(Cyclic, MaxcycEndsTheAnalysisWithAMessage) {
  build_periodic();
  const std::vector<Message> msgs =
      capture_messages([] { SOLCYC("SLCRNC", 1.0e-6, 1.0e10, kPeriod, 1, " ", "NONE"); });
  ASSERT_EQ(msgs.size(), 1U);
  EXPECT_EQ(msgs[0].text, "SOLCYC: Failed to converge within MAXCYC iterations");
  EXPECT_EQ(msgs[0].code, 4);
  EXPECT_EQ(msgs[0].severity, "FAILURE");
  EXPECT_EQ(GLOR.TIMEO, 0.0);
}

TEST(Cyclic, GroupWithoutNodesIsReportedAndNothingRuns) {
  build_periodic();
  std::vector<Message> msgs;
  ASSERT_EQ(run_capturing([] { SOLCYC("SLCRNC", 1.0e-3, 1.0e10, kPeriod, 10, "NO SUCH LABEL", "NONE"); }, msgs), 0);
  ASSERT_EQ(msgs.size(), 1U);
  EXPECT_EQ(msgs[0].code, 5);
  EXPECT_EQ(msgs[0].routine, "SOLCYC");
  EXPECT_EQ(msgs[0].text.rfind("SOLCYC: Node group selects no node", 0), 0U);
  EXPECT_TRUE(block_log().v1_timem.empty());
  EXPECT_EQ(gar_thermalnodetemps(1), 0.0);
  EXPECT_EQ(FLAGS(29), 1);
}

TEST(Cyclic, NextFreeWordOutsideTheCoreEndsTheRunBeforeAnythingIsStored) {
  for (std::int32_t next_free : {0, -5}) {
    build_periodic();
    FLAGS(29) = next_free;
    std::vector<Message> msgs;
    EXPECT_EQ(run_capturing([] { SOLCYC("SLCRNC", 1.0e-3, 1.0e10, kPeriod, 10, " ", "NONE"); }, msgs), 1)
        << next_free;
    EXPECT_TRUE(block_log().v1_timem.empty()) << next_free;
    EXPECT_EQ(FLAGS(29), next_free);
  }
}

TEST(Cyclic, RoutineNamesOutsideTheTableEndTheRun) {
  for (const char* bad : {"SLCRN", "SLCRN C"}) {
    build_periodic();
    static std::string name;
    name = bad;
    std::vector<Message> msgs;
    EXPECT_EQ(run_capturing([] { SOLCYC(name, 1.0e-3, 1.0e10, kPeriod, 10, " ", "NONE"); }, msgs), 1) << bad;
    ASSERT_EQ(msgs.size(), 1U) << bad;
    EXPECT_EQ(msgs[0].code, 2) << bad;
    EXPECT_EQ(FLAGS(29), 1) << bad;
  }
  // Every routine of the table is built.
  EXPECT_EQ(kalvir::thermal::cyclic_routines().size(), 10U);
  for (const auto& r : kalvir::thermal::cyclic_routines()) EXPECT_NE(r.run, nullptr) << r.name;
  // Only the first six characters name the routine.
  build_periodic();
  std::vector<Message> msgs;
  EXPECT_EQ(run_capturing([] { SOLCYC("SLCRNC-TRANSIENT", 1.0e-3, 1.0e10, kPeriod, 10, " ", "NONE"); }, msgs), 0);
}

TEST(Cyclic, HeatFlowsAndRateOfAThermalNode) {
  NetworkSpec spec;
  spec.nodes = {{100.0, 50.0, 'D', 7.0}, {20.0, 0.0, 'B', 0.0}, {300.0, 1.0, 'X', 0.0}, {0.0, 0.0, 'B', 0.0}};
  spec.fluid_temps = {60.0};
  spec.gl = {{1, 2, 2.0}, {1, 3, 5.0}, {1, 5, 0.5}};  // node 3 is left out, node 5 is the fluid node
  spec.gr = {{1, 4, 3.0}, {1, 2, 1.0, 'I'}};
  spec.gf = {{2, 1, 4.0}, {1, 2, 6.0}};  // positive at node 1 only for the first
  build_network(spec);
  double qf = 0.0, ql = 0.0, qrad = 0.0;
  SCNDHF(1, qf, ql, qrad);
  const double tabs = GLOR.TABS, sigma = GLOR.STEFAN;
  EXPECT_DOUBLE_EQ(ql, 2.0 * (20.0 - 100.0) + 0.5 * (60.0 - 100.0));
  EXPECT_DOUBLE_EQ(qf, 4.0 * (20.0 - 100.0));
  EXPECT_NEAR(qrad, sigma * 3.0 * (std::pow(tabs, 4) - std::pow(100.0 + tabs, 4)), 1.0e-9);
  double rate = 0.0;
  LPDTTM(1, rate);
  EXPECT_NEAR(rate, (7.0 + qf + ql + qrad) / 50.0, 1.0e-12);
  LPDTTM(2, rate);
  EXPECT_EQ(rate, 0.0);  // a boundary node has no rate
}

TEST(Cyclic, FluidNodeRateFromItsHeatFlowsAndCapacity) {
  NetworkSpec spec;
  spec.nodes = {{20.0, 1.0, 'D', 0.0}};
  spec.fluid_temps = {20.0, 20.0, 20.0};
  build_network(spec);
  const std::int32_t water = FTYPEI("WATER");
  for (int k = 1; k <= 3; ++k) {
    gar_fluidnodepressures(k) = 1.0e5;
    gar_fluidnodevapourqualities(k) = 0.0;
    gar_fluidnodevolumes(k) = 1.0e-3;
    gar_fluidnodeheatsources(k) = 2.0;
  }
  gar_fluidnodestatuses.set(2, "K");
  gar_fluidnodevolumes(3) = 0.0;
  const std::array<double, 5> flows{1.0, 2.0, 3.0, 4.0, 5.0};
  double rate = 0.0;
  LFDTTM(1, water, flows, rate);
  const double capacity = XRHO(1.0e5, 20.0, 0.0, water, 2) * XCP(1.0e5, 20.0, 0.0, water, 2) * 1.0e-3;
  EXPECT_GT(capacity, 0.0);
  EXPECT_DOUBLE_EQ(rate, 17.0 / capacity);
  LFDTTM(2, water, flows, rate);
  EXPECT_EQ(rate, 0.0);
  LFDTTM(3, water, flows, rate);
  EXPECT_EQ(rate, 1.0e20);
}

}  // namespace cyclic_test
}  // namespace kalvir::test
