// The single-phase fluid-loop transients against answers found without them:
// the explicit and trapezoidal amplification of one node cooling through a
// conductor, the step ends that outputs and the end time impose, and the
// steady states of an open water channel and a pumped loop solved by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/model_blocks.h"
#include "runtime/control/startup.h"
#include "runtime/fluidloop/single_phase.h"
#include "runtime/fluids/interface/properties.h"
#include "tests/fluidloop/fluid_test_support.h"
#include "tests/support/message_frames.h"
#include "tests/support/network_fixture.h"

namespace kalvir::test {
namespace {

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

}  // namespace
}  // namespace kalvir::test
