// The Crank-Nicolson kernel and step control: extrapolation, rejection and
// its rescaling, call-backs per iteration, status changes during a run and
// the fatal temperatures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>
#include <vector>

#include "runtime/control/status.h"
#include "runtime/thermal/cn_kernel.h"
#include "runtime/thermal/crank_nicolson.h"
#include "tests/support/test_support.h"
#include "tests/thermal/thermal_test_support.h"

namespace kalvir::test {
namespace cn_kernel_test {

using kalvir::thermal::Attempt;
using kalvir::thermal::CnCounts;
using kalvir::thermal::CnWork;
using kalvir::thermal::SolutionFrame;

TEST(CnKernel, AitkenExtrapolatesRisingIteratesOnly) {
  struct Case {
    double s1, s2, t, expected;
  };
  const std::vector<Case> cases{
      {11.0, 11.5, 11.75, 12.0},    // q = 0.5: the Aitken value
      {11.0, 10.5, 10.25, 10.25},   // falling: left alone
      {11.0, 11.5, 12.5, 22.5},     // q = 2: ten times the last change on top
      {11.0, 11.5, 11.4, 11.4},     // change against the trend: left alone
      {11.0, 11.5, 11.5 + 1e-12, 11.5 + 1e-12},  // within RELXCA
  };
  for (const Case& c : cases) {
    std::vector<double> s1{c.s1}, s2{c.s2}, t{c.t};
    S9EXTR(4, 1, 4, 1, 0.1, s1, s2, t);
    EXPECT_DOUBLE_EQ(t[0], c.expected) << c.s1 << " " << c.s2 << " " << c.t;
  }
  // Iterations 2 and 3 take the snapshots, 1 and 5 do nothing.
  std::vector<double> s1{0.0}, s2{0.0}, t{7.0};
  S9EXTR(4, 1, 2, 1, 0.1, s1, s2, t);
  t[0] = 8.0;
  S9EXTR(4, 1, 3, 1, 0.1, s1, s2, t);
  t[0] = 9.0;
  S9EXTR(4, 1, 5, 1, 0.1, s1, s2, t);
  EXPECT_EQ(s1[0], 7.0);
  EXPECT_EQ(s2[0], 8.0);
  EXPECT_EQ(t[0], 9.0);
}

// One node at T (start T0) for S9TIME, in a frame of its own.
struct StepControl {
  std::vector<double> t{4.0}, t0{0.0}, tau{1.0};
  std::vector<std::int32_t> in_network{0};
  CnWork work;
  CnCounts counts;
  StepControl() {
    NetworkSpec spec;
    spec.nodes = {{0.0, 1.0, 'D', 0.0}};
    build_network(spec);
    register_logging_blocks();
    work.in_network = in_network;
    work.size_node_arrays();
    work.rebuild_flags();
    work.view.build(work.flags());
    work.T = t;
    work.t0 = t0;
    work.tau = tau;
    GLOR.DTPMAX = 1.0;
    GLOR.DTMIN = 0.1;
  }
};

TEST(CnKernel, RejectedAttemptShrinksTheStepAndMovesTemperaturesBack) {
  StepControl sc;
  Attempt decision{};
  std::vector<Message> msgs;
  run_capturing(
      [&] {
        SolutionFrame frame(kalvir::thermal::method_row("SLCRNC"));
        GLOR.TIMEO = 0.0;
        GLOR.DTIMEU = 2.0;
        GLOR.TIMEN = 2.0;
        decision = S9TIME(frame, sc.work, 4.0, sc.counts);
      },
      msgs);
  EXPECT_EQ(decision, Attempt::Rejected);
  EXPECT_DOUBLE_EQ(GLOR.DTIMEU, 0.95 * 2.0 * 1.0 / 4.0);
  EXPECT_DOUBLE_EQ(GLOR.TIMEN, 0.475);
  EXPECT_DOUBLE_EQ(sc.t[0], 4.0 * 0.2375);
  // The kept powers follow the moved temperature.
  EXPECT_DOUBLE_EQ(sc.work.view.fourth[0], std::pow(0.95 + GLOR.TABS, 4));
  EXPECT_TRUE(block_log().v2_timen.empty());
}

TEST(CnKernel, AttemptAtTheSmallestStepIsAcceptedAndCounted) {
  StepControl sc;
  Attempt decision{};
  std::vector<Message> msgs;
  run_capturing(
      [&] {
        SolutionFrame frame(kalvir::thermal::method_row("SLCRNC"));
        frame.first_step();
        GLOR.DTIMEU = 0.1;
        GLOR.TIMEN = 0.1;
        decision = S9TIME(frame, sc.work, 4.0, sc.counts);
      },
      msgs);
  EXPECT_EQ(decision, Attempt::Accepted);
  EXPECT_EQ(sc.counts.dtpmax, 1);
  EXPECT_EQ(block_log().v2_timen, std::vector<double>{0.1});
  EXPECT_DOUBLE_EQ(GLOR.TIMEO, 0.1);
  EXPECT_DOUBLE_EQ(sc.t[0], 4.0);
}

TEST(CnKernel, RunWithOnlyArithmeticNodesKeepsItsStepsUnderADtpmax) {
  // No time-stepped node: no change to measure, so DTPMAX sets no limit and
  // the step goes to DTMAX (here up to the end of the run) instead of
  // collapsing to DTMIN: DTIMEI, then the rest.
  NetworkSpec spec;
  spec.nodes = {{0.0, 0.0, 'D', 10.0}, {300.0, 0.0, 'B', 0.0}};
  spec.gl = {{1, 2, 2.0}};
  build_network(spec);
  register_logging_blocks();
  GLOR.DTPMAX = 1.0;
  GLOR.DTMIN = 1.0e-6;
  std::vector<Message> msgs;
  ASSERT_EQ(run_capturing([] { SLCRNC(); }, msgs), 0);
  EXPECT_EQ(block_log().v2_timen, (std::vector<double>{1.0, 10.0}));
  EXPECT_TRUE(msgs.empty());
}

TEST(CnKernel, DtpmaxShrinksStepsUntilTheChangeIsMet) {
  build_cooling_node(100.0, 10.0, 1.0);
  GLOR.DTPMAX = 2.0;
  static std::vector<double> before;
  before.clear();
  block_log().on_v1 = [] {
    if (GLOR.TIMEM == GLOR.TIMEO) before.push_back(gar_thermalnodetemps(1));
  };
  std::vector<Message> msgs;
  ASSERT_EQ(run_capturing([] { SLCRNC(); }, msgs), 0);
  ASSERT_GT(block_log().v2_timen.size(), 10U);
  // Every accepted step changed the node by at most DTPMAX.
  for (std::size_t k = 2; k < before.size(); ++k) EXPECT_LE(std::abs(before[k] - before[k - 1]), 2.0 + 1e-9);
  EXPECT_NEAR(gar_thermalnodetemps(1), 100.0 * std::exp(-1.0), 0.5);
}

TEST(CnKernel, MethodBitTwoCallsVariablesOneInEveryIteration) {
  for (int method : {0, 2}) {
    NetworkSpec spec;
    spec.nodes = {{400.0, 50.0, 'D', 0.0}, {0.0, 0.0, 'B', 0.0}};
    spec.gr = {{1, 2, 1.0}};
    build_network(spec);
    register_logging_blocks();
    GLOI.METHOD = method;
    static std::vector<int> loops;
    loops.clear();
    ModelBlocks b = registered_model_blocks();
    b.variables2 = [] { loops.push_back(GLOI.LOOPCT); };
    register_model_blocks(b);
    SLCRNC();
    ASSERT_EQ(loops.size(), 10U);
    std::size_t expected = 1 + loops.size();  // the start, and each step's start
    for (int n : loops) expected += method == 2 ? static_cast<std::size_t>(n) : std::min<std::size_t>(n, 2);
    EXPECT_GT(*std::max_element(loops.begin(), loops.end()), 2);
    EXPECT_EQ(block_log().v1_timem.size(), expected) << "METHOD " << method;
  }
}

TEST(CnKernel, ConductorSwitchedOffDuringTheRunStopsTheFlow) {
  const double tau = 50.0;
  build_cooling_node(100.0, 10.0 * tau, 10.0);
  GLOR.RELXCA = 1.0e-12;
  block_log().on_v1 = [] {
    if (GLOR.TIMEM > 5.5 && gar_linearcondacts(1)[0] == 'A') {
      gar_linearcondacts.set(1, "I");
      stat_setstatst(1);
    }
  };
  SLCRNC();
  // Steps 1-5 decay; step 6 switches in its first iteration, so it keeps half
  // its start rate; then nothing moves.
  const double factor = (1.0 - 0.5 / tau) / (1.0 + 0.5 / tau);
  EXPECT_NEAR(gar_thermalnodetemps(1), 100.0 * std::pow(factor, 5) * (1.0 - 0.5 / tau), 1.0e-9);
  EXPECT_EQ(stat_getstatst(), 0);
}

TEST(CnKernel, RunawayTemperaturesEndTheRunNamingTheNode) {
  struct Case {
    const char* name;
    NetworkSpec spec;
    const char* routine;
    const char* text;
  };
  constexpr const char* kAbove = "SLCRNC: Temperature > 1.0D10 detected@ Node 1 in main model";
  constexpr const char* kNotANumber = "SLCRNC: Temperature out of range: not a number@ Node 1 in main model";
  std::vector<Case> cases;
  {
    NetworkSpec s;  // a heat load that is not a number
    s.nodes = {{0.0, 1.0, 'D', std::nan("")}, {0.0, 0.0, 'B', 0.0}};
    s.gl = {{1, 2, 1.0}};
    cases.push_back({"NaN load", s, "S9Lop1", kNotANumber});
  }
  {
    NetworkSpec s;  // a node without capacitance that only radiates and loses more than it can
    s.nodes = {{0.0, 0.0, 'D', -10.0}, {-273.15, 0.0, 'B', 0.0}};
    s.gr = {{1, 2, 1.0}};
    cases.push_back({"negative radicand", s, "S9Arth", kNotANumber});
  }
  {
    NetworkSpec s;  // a heat load on a node without capacitance whose conductance almost vanishes
    s.nodes = {{0.0, 0.0, 'D', 5.0}, {0.0, 0.0, 'B', 0.0}};
    s.gl = {{1, 2, 1.0e-20}};
    cases.push_back({"vanishing conductance", s, "S9Arth", kAbove});
  }
  {
    NetworkSpec s;  // a huge load on a time-stepped node
    s.nodes = {{0.0, 1.0, 'D', 1.0e14}, {0.0, 0.0, 'B', 0.0}};
    s.gl = {{1, 2, 1.0}};
    cases.push_back({"huge load", s, "S9Lop1", kAbove});
  }
  for (const Case& c : cases) {
    build_network(c.spec);
    register_logging_blocks();
    std::vector<Message> msgs;
    EXPECT_EQ(run_capturing([] { SLCRNC(); }, msgs), 1) << c.name;
    ASSERT_FALSE(msgs.empty()) << c.name;
    EXPECT_EQ(msgs.back().text, printed(c.text)) << c.name;
    EXPECT_EQ(msgs.back().routine, c.routine) << c.name;
    EXPECT_EQ(FLAGS(29), 1) << c.name;
  }
}

TEST(CnKernel, IterationLimitIsReportedAndTheStepGoesOn) {
  NetworkSpec spec;
  spec.nodes = {{800.0, 5000.0, 'D', 0.0}, {0.0, 0.0, 'B', 0.0}};
  spec.gr = {{1, 2, 1.0}};
  build_network(spec);
  register_logging_blocks();
  GLOI.NLOOP = 1;
  GLOR.RELXCA = 1.0e-14;
  GLOR.TIMEND = 2.0;
  std::vector<Message> msgs;
  ASSERT_EQ(run_capturing([] { SLCRNC(); }, msgs), 0);
  ASSERT_EQ(msgs.size(), 3U);
  EXPECT_EQ(msgs[0].text, printed("SLCRNC: Solution failed to converge@NLOOP exceeded"));
  EXPECT_EQ(msgs[0].routine, "S9NewT");
  EXPECT_EQ(msgs[0].code, 2);
  EXPECT_EQ(msgs[2].text, "SLCRNC: RELXCA exceeded in more than 10% of time steps");
  EXPECT_EQ(msgs[2].routine, "S9Slve");
  EXPECT_EQ(msgs[2].code, 4);
}

TEST(CnKernel, RetriedAttemptGetsItsOwnIterationLimit) {
  // A linear node needs two iterations per attempt; DTPMAX rejects the first
  // attempts. With NLOOP 3 a retried attempt must still get its two.
  const double tau = 10.0;
  build_cooling_node(100.0, 10.0 * tau, 10.0);
  GLOI.NLOOP = 3;
  GLOR.DTPMAX = 5.0;
  GLOR.DTIMEI = 4.0;
  GLOR.DTMIN = 0.01;
  GLOR.TIMEND = 2.0;
  GLOR.OUTINT = 2.0;
  static std::vector<int> loops;
  loops.clear();
  ModelBlocks b = registered_model_blocks();
  b.variables2 = [] {
    block_log().v2_timen.push_back(GLOR.TIMEN);
    loops.push_back(GLOI.LOOPCT);
  };
  register_model_blocks(b);
  std::vector<Message> msgs;
  ASSERT_EQ(run_capturing([] { SLCRNC(); }, msgs), 0);
  EXPECT_TRUE(msgs.empty()) << msgs.front().text;
  ASSERT_FALSE(loops.empty());
  EXPECT_GT(loops.front(), 3);  // LOOPCT counts the rejected attempts' iterations too
  // Every accepted step is the exact Crank-Nicolson step.
  double t = 100.0, t_prev = 0.0;
  for (double tn : block_log().v2_timen) {
    const double h = tn - t_prev;
    t *= (1.0 - 0.5 * h / tau) / (1.0 + 0.5 * h / tau);
    t_prev = tn;
  }
  EXPECT_NEAR(gar_thermalnodetemps(1), t, 1.0e-9);
}

TEST(CnKernel, ConductorValuesChangedByTheModelReachEveryPosition) {
  // A self-loop (a conductor between two members of a tie group, merged) and
  // a conductor to a fluid node carry no heat; a radiative value that the
  // variables 1 block doubles at 5 must act from the step that starts there,
  // as if a second run had started at 5 with it.
  auto build = [] {
    NetworkSpec spec;
    spec.nodes = {{300.0, 200.0, 'D', 0.0}, {0.0, 0.0, 'B', 0.0}};
    spec.fluid_temps = {300.0};
    spec.gl = {{1, 1, 3.0}, {1, 2, 0.5}, {1, 3, 0.0}};
    spec.gr = {{1, 2, 1.0}, {1, 1, 2.0}};
    build_network(spec);
    register_logging_blocks();
    GLOR.RELXCA = 1.0e-12;
  };
  build();
  block_log().on_v1 = [] {
    if (GLOR.TIMEO >= 5.0) gar_radiativeconds(1) = 2.0;
  };
  SLCRNC();
  const double one_run = gar_thermalnodetemps(1);

  build();
  GLOR.TIMEND = 5.0;
  SLCRNC();
  gar_radiativeconds(1) = 2.0;
  GLOR.TIMEND = 10.0;
  SLCRNC();
  EXPECT_NEAR(one_run, gar_thermalnodetemps(1), 1.0e-10);

  // Without the self-loops and the fluid conductor (value 0) the same.
  NetworkSpec plain;
  plain.nodes = {{300.0, 200.0, 'D', 0.0}, {0.0, 0.0, 'B', 0.0}};
  plain.gl = {{1, 2, 0.5}};
  plain.gr = {{1, 2, 1.0}};
  build_network(plain);
  register_logging_blocks();
  GLOR.RELXCA = 1.0e-12;
  GLOR.TIMEND = 5.0;
  SLCRNC();
  gar_radiativeconds(1) = 2.0;
  GLOR.TIMEND = 10.0;
  SLCRNC();
  EXPECT_NEAR(one_run, gar_thermalnodetemps(1), 1.0e-8);
}

// The temperatures, steps and call-backs of this run are those the sweeps
// gave when they walked the connection list term by term: the view's order
// and the sweeps' partial sums may change the temperatures at rounding level
// only, and no convergence test may fall the other way (the same steps and
// call-backs).
TEST(CnKernel, SweepsMatchTheListWalkWithinRounding) {
  build_pinned_network();
  SLCRNC();
  const double pinned[] = {24.265442554723911, 9.1441331754877364, 3.7770767145113497,
                           -2.2749484944586631, -3.7068995115247985, -270.0,
                           15.0,                300.0,               30.403222738756849};
  for (std::int32_t i = 1; i <= 9; ++i) EXPECT_NEAR(gar_thermalnodetemps(i), pinned[i - 1], 1.0e-12) << "node " << i;
  EXPECT_EQ(block_log().v1_timem.size(), 235U);
  EXPECT_EQ(block_log().v2_timen.size(), 78U);
  EXPECT_EQ(block_log().out_timen.size(), 7U);
  EXPECT_EQ(gar_radiativecondacts(3)[0], 'I');
}

TEST(CnKernel, IterateBeyondTheLimitPrintsTheWarningPageAndEndsTheRun) {
  build_cooling_node(0.0, 1.0, 1.0);
  block_log().on_v1 = [] {
    if (GLOR.TIMEM == GLOR.TIMEN && GLOR.TIMEN > 0.0) gar_thermalnodeheatsourcesinternal(1) = 1.0e14;
  };
  std::vector<Message> msgs;
  std::string out;
  int status = -1;
  {
    Unit6Capture capture;
    status = platform::run_program([] { SLCRNC(); });
    out = capture.finish();
  }
  EXPECT_EQ(status, 1);
  EXPECT_NE(out.find("TEMPERATURE GREATER THAN 1.0E10 DETECTED"), std::string::npos);
  EXPECT_NE(out.find("S9NewT"), std::string::npos);
}

TEST(CnKernel, RunawayIterateEndsTheRunAfterTheEndingTestsOfItsIteration) {
  // The huge load arrives in the first iteration: with NLOOP 1 that iteration
  // also exhausts the limit, whose message comes first.
  struct Case {
    std::int32_t nloop;
    std::vector<std::int32_t> codes;
  };
  for (const Case& c : {Case{1, {2, 1}}, Case{100, {1}}}) {
    build_cooling_node(0.0, 1.0, 1.0);
    GLOI.NLOOP = c.nloop;
    block_log().on_v1 = [] {
      if (GLOR.TIMEM == GLOR.TIMEN && GLOR.TIMEN > 0.0) gar_thermalnodeheatsourcesinternal(1) = 1.0e14;
    };
    std::vector<Message> msgs;
    EXPECT_EQ(run_capturing([] { SLCRNC(); }, msgs), 1) << c.nloop;
    std::vector<std::int32_t> codes;
    for (const Message& m : msgs) {
      EXPECT_EQ(m.routine, "S9NewT") << c.nloop;
      codes.push_back(m.code);
    }
    EXPECT_EQ(codes, c.codes) << c.nloop;
    ASSERT_FALSE(msgs.empty());
    EXPECT_EQ(msgs.back().text, printed("SLCRNC: Temperature > 1.0D10 detected@ Node 1 in main model"));
  }
}

TEST(CnKernel, DtrocaBoundsTheRateChangeOfEveryAcceptedStep) {
  const double tau = 5.0;
  build_cooling_node(100.0, 10.0 * tau, 10.0);
  GLOR.DTIMEI = 2.0;
  GLOR.DTROCA = 0.5;
  GLOR.DTMIN = 1.0e-3;
  GLOR.RELXCA = 1.0e-12;
  static std::vector<double> dtrocc, steps;
  dtrocc.clear();
  steps.clear();
  ModelBlocks b = registered_model_blocks();
  b.variables2 = [] {
    dtrocc.push_back(GLOR.DTROCC);
    steps.push_back(GLOR.DTIMEU);
  };
  register_model_blocks(b);
  std::vector<Message> msgs;
  ASSERT_EQ(run_capturing([] { SLCRNC(); }, msgs), 0);
  EXPECT_TRUE(msgs.empty());
  ASSERT_GT(steps.size(), 5U);
  for (double d : dtrocc) EXPECT_LE(d, 0.5);
  EXPECT_LT(steps.front(), 2.0);  // the first attempt at DTIMEI was rejected
  EXPECT_NEAR(gar_thermalnodetemps(1), 100.0 * std::exp(-10.0 / tau), 0.05);
}

TEST(CnKernel, CountsOfARunOfOneStepAreReportedAgainstThatStep) {
  build_cooling_node(100.0, 1.0, 1.0);
  GLOR.DTIMEI = 10.0;
  GLOR.DTMIN = 10.0;
  GLOR.DTPMAX = 1.0;
  std::vector<Message> msgs;
  ASSERT_EQ(run_capturing([] { SLCRNC(); }, msgs), 0);
  EXPECT_EQ(block_log().v2_timen, std::vector<double>{10.0});
  ASSERT_EQ(msgs.size(), 1U);
  EXPECT_EQ(msgs[0].text, "SLCRNC: DTPMAX exceeded in more than 10% of time steps");
  EXPECT_EQ(msgs[0].code, 6);
}

}  // namespace cn_kernel_test
}  // namespace kalvir::test

namespace kalvir::test {
namespace cn_kernel_test {

TEST(CnKernel, PredictorGuessesFromTheSumsOfS4gsum) {
  // Radiation and conduction, a boundary node, a node outside the network
  // (status X) and an inactive radiative conductor between the two
  // diffusion nodes.
  NetworkSpec spec;
  spec.nodes = {{40.0, 50.0, 'D', 3.0}, {-10.0, 80.0, 'D', 0.0}, {-100.0, 0.0, 'B', 0.0}, {500.0, 10.0, 'X', 0.0}};
  spec.gl = {{1, 2, 2.0}, {2, 3, 0.5}, {1, 4, 1.0}};
  spec.gr = {{1, 3, 0.8}, {2, 3, 0.3}, {1, 2, 0.1, 'I'}, {1, 2, 0.2}, {2, 4, 0.4}};
  build_network(spec);
  register_logging_blocks();
  GLOR.DTIMEU = 2.0;
  std::vector<double> work_areas(9 * 4, 0.0);
  std::vector<std::int32_t> flags(spec.gl.size() + spec.gr.size() + 4, 0);
  CnWork work;
  for (std::size_t k = 0; k < 9; ++k) {
    std::span<double> area(work_areas.data() + 4 * k, 4);
    std::span<double>* areas[] = {&work.t0,  &work.r0,  &work.snap1,       &work.snap2,      &work.arith_start,
                                  &work.change, &work.tau, &work.arith_snap1, &work.arith_snap2};
    *areas[k] = area;
  }
  work.gl_active = std::span<std::int32_t>(flags.data(), spec.gl.size());
  work.gr_active = std::span<std::int32_t>(flags.data() + spec.gl.size(), spec.gr.size());
  work.in_network = std::span<std::int32_t>(flags.data() + spec.gl.size() + spec.gr.size(), 4);
  work.T = gar_thermalnodetemps.span();
  work.C = gar_thermalnodecapacitances.span();
  work.size_node_arrays();
  work.rebuild_flags();
  work.view.build(work.flags());
  const std::vector<double> t0(work.T.begin(), work.T.end());

  S9LOP1(work);

  for (std::int32_t i = 1; i <= 2; ++i) {
    double g = 0.0, gt = 0.0;
    S4GSUM(work.flags(), i, GLOR.STEFAN, t0, GLOR.TABS, g, gt);
    const double c = gar_thermalnodecapacitances(i), a = c / GLOR.DTIMEU, q = spec.nodes[i - 1].q;
    const double guess = (a * t0[i - 1] + q + gt) / (a + g);
    EXPECT_NEAR(work.T[i - 1], guess, 1.0e-12 * std::abs(guess)) << "node " << i;
    EXPECT_NEAR(work.tau[i - 1], c / g, 1.0e-12 * c / g) << "node " << i;
  }
  EXPECT_EQ(work.T[2], -100.0);
  EXPECT_EQ(work.T[3], 500.0);
}

}  // namespace cn_kernel_test
}  // namespace kalvir::test
