// The single-phase fluid-loop transients against answers found without them:
// the explicit and trapezoidal amplification of one node cooling through a
// conductor, the step ends that outputs and the end time impose, and the
// steady states of an open water channel and a pumped loop solved by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/model_blocks.h"
#include "runtime/fluidloop/single_phase.h"
#include "runtime/fluidloop/step_kernels.h"
#include "runtime/fluids/interface/properties.h"
#include "runtime/program/startup.h"
#include "tests/fluidloop/fluid_test_support.h"
#include "tests/support/message_frames.h"
#include "tests/support/network_fixture.h"

namespace kalvir::test {
namespace single_phase_test {

// What the variables 2 block saw after each accepted step.
struct Trace {
  std::vector<double> step, node1, timen;
};
Trace& trace() {
  static Trace t;
  return t;
}

void register_trace_blocks() {
  register_logging_blocks();
  trace() = Trace{};
  ModelBlocks b;
  b.variables1 = [] { block_log().v1_timem.push_back(GLOR.TIMEM); };
  b.variables2 = [] {
    block_log().v2_timen.push_back(GLOR.TIMEN);
    trace().step.push_back(GLOR.DTIMEU);
    trace().timen.push_back(GLOR.TIMEN);
    trace().node1.push_back(FLAGS(flagw::NNODE) > 0 ? gar_thermalnodetemps(1) : gar_fluidnodetemps(1));
  };
  b.outputs = [] { block_log().out_timen.push_back(GLOR.TIMEN); };
  register_model_blocks(b);
}

// Constants of a fluid-loop run; the model must be loaded first.
void fluid_run_constants() {
  set_transient_constants();
  hydraulic_constants();
  GLOR.FRLXCA = 1.0e-9;
  GLOR.RLCOUR = 1.0;
  GLOI.FSTEPS = 1;
  GLOI.NLOOPT = 0;
  register_trace_blocks();
}

using Routine = void (*)();

int run(Routine routine, std::vector<Message>& msgs) { return run_capturing([routine] { routine(); }, msgs); }

constexpr const char* kOneNode =
    "model ONE dystor=600\n"
    "node 1 T=100 C=10\nnode 2 T=0 status=B\nGL 1 2 1.0\n";

TEST(SinglePhase, ExplicitStepIsTheForwardDifferenceExactly) {
  TempDir dir;
  load_description(kOneNode, dir);
  fluid_run_constants();
  GLOR.TIMEND = 40.0;
  GLOR.OUTINT = 40.0;
  std::vector<Message> msgs;
  ASSERT_EQ(run(&FLTNTF, msgs), 0);
  ASSERT_GE(trace().step.size(), 4u);
  double before = 100.0;
  for (std::size_t k = 0; k < trace().step.size(); ++k) {
    const double expected = (1.0 - trace().step[k] * 1.0 / 10.0) * before;
    EXPECT_NEAR(trace().node1[k], expected, 1e-12 * std::abs(before)) << k;
    before = trace().node1[k];
  }
  // The stable step, 0.95 C / G, is kept in DTIMEI.
  EXPECT_DOUBLE_EQ(GLOR.DTIMEI, 9.5);
  EXPECT_DOUBLE_EQ(trace().step.front(), 9.5);
  EXPECT_DOUBLE_EQ(trace().timen.back(), 40.0);
  EXPECT_DOUBLE_EQ(GLOR.TIMEO, 40.0);
}

TEST(SinglePhase, ImplicitStepHasTheTrapezoidalAmplificationAndItsStepEnds) {
  TempDir dir;
  load_description(kOneNode, dir);
  fluid_run_constants();
  GLOR.DTIMEI = 10.0;
  GLOR.OUTINT = 15.0;
  GLOR.TIMEND = 30.0;
  std::vector<Message> msgs;
  ASSERT_EQ(run(&FLTNTS, msgs), 0);
  EXPECT_EQ(trace().timen, (std::vector<double>{7.5, 15.0, 22.5, 30.0}));
  EXPECT_EQ(block_log().out_timen, (std::vector<double>{0.0, 15.0, 30.0}));
  double before = 100.0;
  for (std::size_t k = 0; k < trace().step.size(); ++k) {
    const double h = trace().step[k] / (2.0 * 10.0);
    EXPECT_NEAR(trace().node1[k], (1.0 - h) / (1.0 + h) * before, 1e-8) << k;
    before = trace().node1[k];
  }
}

struct EndCase {
  const char* what;
  Routine routine;
  double timeo, timend;
  std::size_t steps;
};

class SinglePhaseEnd : public ::testing::TestWithParam<EndCase> {};

// The run ends on TIMEND relative to the step, whatever the clock reads.
TEST_P(SinglePhaseEnd, EveryStepUpToTheEndIsTaken) {
  const EndCase& c = GetParam();
  TempDir dir;
  load_description(kOneNode, dir);
  fluid_run_constants();
  GLOR.TIMEO = c.timeo;
  GLOR.TIMEND = c.timend;
  GLOR.OUTINT = c.timend - c.timeo;
  GLOR.DTIMEI = 10.0;
  GLOR.DTMAX = 10.0;
  std::vector<Message> msgs;
  ASSERT_EQ(run(c.routine, msgs), 0);
  EXPECT_EQ(trace().timen.size(), c.steps);
  ASSERT_FALSE(trace().timen.empty());
  EXPECT_DOUBLE_EQ(trace().timen.back(), c.timend);
  for (std::size_t k = 1; k < trace().timen.size(); ++k) EXPECT_GT(trace().timen[k], trace().timen[k - 1]);
}

INSTANTIATE_TEST_SUITE_P(Cases, SinglePhaseEnd,
                         ::testing::Values(EndCase{"FLTMTS late clock", &FLTMTS, 1.0e6, 1.0e6 + 100.0, 10},
                                           EndCase{"FLTNTS late clock", &FLTNTS, 1.0e6, 1.0e6 + 100.0, 10},
                                           EndCase{"FLTMTS negative time", &FLTMTS, -40.0, 0.0, 4},
                                           EndCase{"FLTNTS negative time", &FLTNTS, -40.0, -10.0, 3}),
                         CaseName{});


// Water enters from fluid node 10 (fixed state), is heated in node 20 by
// wall node 1 through GL 1 20 and leaves through node 30 at fixed pressure.
constexpr const char* kChannel =
    "model CHANNEL dystor=5000\n"
    "node 1 T=20 C=20 QI=100\n"
    "fluidnode 10 status=R P=1.02e5 T=20 FLA=1e-4 FD=0.01 FL=0.1\n"
    "fluidnode 20 P=1.01e5 T=20 FLA=1e-4 FD=0.01 FL=0.1\n"
    "fluidnode 30 status=J P=1e5 T=20 FLA=1e-4 FD=0.01 FL=0.1\n"
    "GL 1 20 10.0\n"
    "link 10 20 0.01 GP=0.6\nlink 20 30 0.01 GP=0.6\n";

struct ChannelCase {
  const char* what;
  Routine routine;
  double dtimei;
};

class SinglePhaseChannel : public ::testing::TestWithParam<ChannelCase> {};

// Steady state by hand: the flow takes the wall's heat, m cp (T2 - T1) = Q
// with cp the mean of the two ends, and the wall sits Q / GL above node 20.
TEST_P(SinglePhaseChannel, ReachesTheSteadyStateSolvedByHand) {
  const ChannelCase& c = GetParam();
  TempDir dir;
  load_description(kChannel, dir);
  FINITS(" ", 1);
  fluid_run_constants();
  GLOR.TIMEND = 400.0;
  GLOR.OUTINT = 400.0;
  GLOR.DTIMEI = c.dtimei;
  GLOR.DTMAX = 5.0;
  std::vector<Message> msgs;
  ASSERT_EQ(run(c.routine, msgs), 0);
  const double m1 = gar_massflowlinkflowrates(1), m2 = gar_massflowlinkflowrates(2);
  ASSERT_GT(m1, 0.0);
  ASSERT_FALSE(trace().timen.empty());
  EXPECT_DOUBLE_EQ(trace().timen.back(), 400.0);
  // The wall has warmed well above the inlet.
  EXPECT_GT(gar_thermalnodetemps(1) - 20.0, 10.0);
  EXPECT_NEAR(m2, m1, 1e-9 * m1);
  const double t1 = gar_fluidnodetemps(1), t2 = gar_fluidnodetemps(2), p = gar_fluidnodepressures(2);
  const double cp = (XCP(gar_fluidnodepressures(1), t1, 0.0, 2, 4) + XCP(p, t2, 0.0, 2, 4)) / 2.0;
  EXPECT_DOUBLE_EQ(t1, 20.0);
  EXPECT_NEAR(m1 * cp * (t2 - t1), 100.0, 1e-3);
  EXPECT_NEAR(gar_thermalnodetemps(1) - t2, 100.0 / 10.0, 1e-4);
  // The outlet takes the temperature of what flows into it.
  EXPECT_NEAR(gar_fluidnodetemps(3), t2, 1e-4);
}

INSTANTIATE_TEST_SUITE_P(Cases, SinglePhaseChannel,
                         ::testing::Values(ChannelCase{"FLTNTF", &FLTNTF, 1.0}, ChannelCase{"FLTNTS", &FLTNTS, 1.0},
                                           ChannelCase{"FLTMTS", &FLTMTS, 1.0}),
                         CaseName{});

// A closed water loop driven by a pump on link 1: node 20 takes 50 W as its
// heat source, node 30 rejects heat to boundary node 1 at 0 degrees, node 10
// holds the loop pressure.
constexpr const char* kPumpedLoop =
    "model PUMPED dystor=5000\n"
    "node 1 T=0 status=B\n"
    "fluidnode 10 status=J P=1e5 T=20 FLA=1e-4 FD=0.01 FL=0.1\n"
    "fluidnode 20 P=1e5 T=20 FQ=50 FLA=1e-4 FD=0.01 FL=0.1\n"
    "fluidnode 30 P=1e5 T=20 FLA=1e-4 FD=0.01 FL=0.1\n"
    "GL 1 30 2.0\n"
    "link 10 20 0.01 GP=0.6\nlink 20 30 0.01 GP=0.6\nlink 30 10 0.01 GP=0.6\n";

class SinglePhasePumped : public ::testing::TestWithParam<ChannelCase> {};

// At steady state the heat put in equals the heat rejected, and the flow is
// the same in every link.
TEST_P(SinglePhasePumped, ConservesEnergyAtSteadyState) {
  const ChannelCase& c = GetParam();
  TempDir dir;
  load_description(kPumpedLoop, dir);
  FINITS(" ", 1);
  gar_massflowlinkpressuresources(1) = 2000.0;
  fluid_run_constants();
  // About 25 time constants of the loop's heat capacity over GL.
  GLOR.TIMEND = 1500.0;
  GLOR.OUTINT = 1500.0;
  GLOR.DTIMEI = c.dtimei;
  GLOR.DTMAX = 5.0;
  std::vector<Message> msgs;
  ASSERT_EQ(run(c.routine, msgs), 0);
  const double m = gar_massflowlinkflowrates(1);
  ASSERT_GT(m, 0.0);
  for (std::int32_t l = 2; l <= 3; ++l) EXPECT_NEAR(gar_massflowlinkflowrates(l), m, 1e-9 * m) << l;
  const double rejected = 2.0 * (gar_fluidnodetemps(3) - 0.0);
  EXPECT_NEAR(rejected, 50.0, 50.0 * 1e-6);
  // The heater node is the warmest, the radiator passes its heat on.
  EXPECT_GT(gar_fluidnodetemps(2), gar_fluidnodetemps(1));
}

INSTANTIATE_TEST_SUITE_P(Cases, SinglePhasePumped,
                         ::testing::Values(ChannelCase{"FLTNTF", &FLTNTF, 1.0}, ChannelCase{"FLTNTS", &FLTNTS, 1.0},
                                           ChannelCase{"FLTMTS", &FLTMTS, 1.0}),
                         CaseName{});

class SinglePhaseRejection : public ::testing::TestWithParam<ChannelCase> {};

// Steps rejected on DTPMAX are solved again from their start: the volume that
// grows at a fixed rate ends at its start value plus rate x time, however many
// steps were rejected, and no rejected step reaches the variables 2 block.
TEST_P(SinglePhaseRejection, RejectedStepsLeaveNoTrace) {
  const ChannelCase& c = GetParam();
  TempDir dir;
  std::string text = kChannel;
  text.replace(text.find("fluidnode 20 "), 13, "fluidnode 20 VOL=1e-5 VDT=1e-8 ");
  load_description(text, dir);
  FINITS(" ", 1);
  fluid_run_constants();
  const double v0 = gar_fluidnodevolumes(2);
  GLOR.TIMEND = 20.0;
  GLOR.OUTINT = 20.0;
  GLOR.DTIMEI = c.dtimei;
  GLOR.DTMAX = 5.0;
  GLOR.DTPMAX = 0.02;
  gar_fluidnodetemps(2) = 60.0;
  std::vector<Message> msgs;
  ASSERT_EQ(run(c.routine, msgs), 0);
  EXPECT_NEAR(gar_fluidnodevolumes(2), v0 + 1e-8 * 20.0, 1e-15);
  double t = 0.0;
  for (std::size_t k = 0; k < trace().timen.size(); ++k) {
    EXPECT_NEAR(trace().timen[k] - trace().step[k], t, 1e-9) << k;
    t = trace().timen[k];
  }
  EXPECT_DOUBLE_EQ(t, 20.0);
}

INSTANTIATE_TEST_SUITE_P(Cases, SinglePhaseRejection,
                         ::testing::Values(ChannelCase{"FLTNTS", &FLTNTS, 2.0}, ChannelCase{"FLTMTS", &FLTMTS, 2.0}),
                         CaseName{});

class SinglePhaseDelayed : public ::testing::TestWithParam<ChannelCase> {};

// Delayed inflow temperatures (TIMELA "YES") change the way there, not the
// steady state: the channel still carries the wall's heat away.
TEST_P(SinglePhaseDelayed, ReachesTheSameSteadyState) {
  const ChannelCase& c = GetParam();
  TempDir dir;
  load_description(kChannel, dir);
  FINITS(" ", 1);
  fluid_run_constants();
  assign_padded(GLOC.TIMELA.span(), "YES");
  GLOR.TIMEND = 400.0;
  GLOR.OUTINT = 400.0;
  GLOR.DTIMEI = c.dtimei;
  GLOR.DTMAX = 5.0;
  const std::int32_t real = FLAGS(flagw::NEXTREAL);
  std::vector<Message> msgs;
  ASSERT_EQ(run(c.routine, msgs), 0);
  EXPECT_EQ(FLAGS(flagw::NEXTREAL), real);
  const double m = gar_massflowlinkflowrates(1), t1 = gar_fluidnodetemps(1), t2 = gar_fluidnodetemps(2);
  const double cp = (XCP(gar_fluidnodepressures(1), t1, 0.0, 2, 4) + XCP(gar_fluidnodepressures(2), t2, 0.0, 2, 4)) / 2.0;
  EXPECT_NEAR(m * cp * (t2 - t1), 100.0, 1e-3);
  EXPECT_NEAR(gar_thermalnodetemps(1) - t2, 10.0, 1e-4);
}

INSTANTIATE_TEST_SUITE_P(Cases, SinglePhaseDelayed,
                         ::testing::Values(ChannelCase{"FLTNTF", &FLTNTF, 1.0}, ChannelCase{"FLTNTS", &FLTNTS, 1.0},
                                           ChannelCase{"FLTMTS", &FLTMTS, 1.0}),
                         CaseName{});

class SinglePhaseArithmetic : public ::testing::TestWithParam<ChannelCase> {};

// A node without capacitance that only radiates to a boundary at 0 deg C
// settles where Q = STEFAN GR (T^4 - Tb^4), in kelvin.
TEST_P(SinglePhaseArithmetic, RadiatingNodeTakesTheFourthRoot) {
  const ChannelCase& c = GetParam();
  TempDir dir;
  load_description("model RAD dystor=600\nnode 1 T=20 C=0 QI=100\nnode 2 T=0 status=B\n"
                   "node 3 T=50 C=10\nGR 1 2 2.0\nGL 2 3 1.0\n",
                   dir);
  fluid_run_constants();
  GLOR.TIMEND = 10.0;
  GLOR.DTIMEI = c.dtimei;
  std::vector<Message> msgs;
  ASSERT_EQ(run(c.routine, msgs), 0);
  const double tb = 273.15, expected = std::pow(100.0 / (GLOR.STEFAN * 2.0) + std::pow(tb, 4), 0.25) - tb;
  EXPECT_NEAR(gar_thermalnodetemps(1), expected, 1e-6);
}

INSTANTIATE_TEST_SUITE_P(Cases, SinglePhaseArithmetic,
                         ::testing::Values(ChannelCase{"FLTNTF", &FLTNTF, 1.0}, ChannelCase{"FLTNTS", &FLTNTS, 1.0},
                                           ChannelCase{"FLTMTS", &FLTMTS, 1.0}),
                         CaseName{});

struct RunawayCase {
  const char* what;
  Routine routine;
  const char* routine_name;
};

class SinglePhaseRunaway : public ::testing::TestWithParam<RunawayCase> {};

// A node without capacitance or conductors but with a heat load has no
// balance: it jumps by 1.0E20 and the run ends naming the node.
TEST_P(SinglePhaseRunaway, UnbalancedArithmeticNodeEndsTheRun) {
  const RunawayCase& c = GetParam();
  TempDir dir;
  load_description("model LOOSE dystor=600\nnode 1 T=20 C=0 QI=5\nnode 2 T=0 status=B\nnode 3 T=20 C=10\n"
                   "GL 2 3 1.0\n",
                   dir);
  fluid_run_constants();
  std::vector<Message> msgs;
  EXPECT_EQ(run(c.routine, msgs), 1);
  ASSERT_FALSE(msgs.empty());
  EXPECT_EQ(msgs.back().severity, "FATAL ERROR");
  EXPECT_EQ(msgs.back().routine, c.routine_name);
  EXPECT_EQ(msgs.back().text.rfind("Temperature > 1.0D10 detected", 0), 0u) << msgs.back().text;
}

INSTANTIATE_TEST_SUITE_P(Cases, SinglePhaseRunaway,
                         ::testing::Values(RunawayCase{"FLTNTF", &FLTNTF, "FSTARH"},
                                           RunawayCase{"FLTNTS", &FLTNTS, "STSTAB"},
                                           RunawayCase{"FLTMTS", &FLTMTS, "S4TCLC"}),
                         CaseName{});

// With one sub-step per window, FLTMTS places its steps as FLTNTS does: a
// remainder of 15 to the output is split into two windows of 7.5.
TEST(SinglePhase, MixedStepsEndWhereTheImplicitStepsEnd) {
  TempDir dir;
  load_description(kOneNode, dir);
  fluid_run_constants();
  GLOR.DTIMEI = 10.0;
  GLOR.OUTINT = 15.0;
  GLOR.TIMEND = 30.0;
  std::vector<Message> msgs;
  ASSERT_EQ(run(&FLTMTS, msgs), 0);
  EXPECT_EQ(trace().timen, (std::vector<double>{7.5, 15.0, 22.5, 30.0}));
  EXPECT_EQ(block_log().out_timen, (std::vector<double>{0.0, 15.0, 30.0}));
}

// The delayed inflow temperature is interpolated between the two levels that
// bracket the delayed time; a history too short or a delay reaching before
// the start gives the newest value.
TEST(SinglePhase, DelayedLevelsInterpolateInTheRing) {
  TempDir dir;
  load_description(kChannel, dir);
  std::vector<double> table(4 * 100, 0.0);
  fluidloop::HistoryRing ring{table, 100, 0.0, 1};
  // Levels 1 to 4 at times 0, 10, 20, 30; node 2 holds 300, 310, 330, 360 K.
  const double times[] = {0.0, 10.0, 20.0, 30.0}, values[] = {300.0, 310.0, 330.0, 360.0};
  for (int k = 0; k < 4; ++k) {
    ring.at(4, k + 1) = times[k];
    ring.at(2, k + 1) = values[k];
  }
  ring.level = 4;
  std::int32_t found = -1;
  EXPECT_DOUBLE_EQ(SGTDEL(ring, 30.0, 2, 15.0, found), 320.0);
  EXPECT_EQ(found, 0);
  EXPECT_DOUBLE_EQ(SGTDEL(ring, 30.0, 2, 40.0, found), 360.0);
  EXPECT_EQ(found, 0);
  // Nothing stored before the delayed time: the history is too short.
  for (int k = 5; k <= 100; ++k) ring.at(4, k) = 1.0e9;
  EXPECT_DOUBLE_EQ(SGTDEL(ring, 30.0, 2, 30.0, found), 360.0);
  EXPECT_EQ(found, 100);
}

}  // namespace single_phase_test
}  // namespace kalvir::test
