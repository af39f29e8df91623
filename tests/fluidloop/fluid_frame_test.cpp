// The frame of the single-phase fluid-loop transients, driven as FLTMTS,
// FLTNTF and FLTNTS drive it: the check lists, the run tags and iteration
// defaults, the work space and its shortage texts, the step and output
// placement, and the relaxation report.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/status.h"
#include "runtime/fluidloop/fluid_frame.h"
#include "tests/fluidloop/fluid_test_support.h"
#include "tests/support/message_frames.h"
#include "tests/support/network_fixture.h"

namespace kalvir::test {
namespace fluid_frame_test {

using fluidloop::FluidFrame;
using fluidloop::fluid_method_row;

constexpr const char* kModel =
    "model FRAME dystor=600\n"
    "node 1 T=20 C=10\nnode 2 T=0 status=B\nGL 1 2 1.0\n"
    "fluidnode 10 status=J P=2e5 T=20 FLA=1e-4 FD=0.01 FL=0.1 VOL=1e-5\n"
    "fluidnode 20 P=1.2e5 T=20 FLA=1e-4 FD=0.01 FL=0.1 VOL=1e-5\n"
    "fluidnode 30 status=R P=1e5 T=20 FLA=1e-4 FD=0.01 FL=0.1 VOL=1e-5\n"
    "link 10 20 0.01 GP=0.6\nlink 20 30 0.01 GP=0.6\n";

void load_frame_model(const TempDir& dir, const char* text = kModel) {
  load_description(text, dir);
  set_transient_constants();
  hydraulic_constants();
  GLOR.FRLXCA = 1.0e-3;
  GLOI.FSTEPS = 1;
}

// The limits a step did not meet, by step number (from 1).
using Missed = std::function<std::array<bool, 4>(int)>;

// A transient of steps DTIMEI on the frame, every step accepted, as the
// single-phase routines run theirs.
void run_on_frame(std::string_view name, const Missed& missed = {}) {
  FluidFrame frame(fluid_method_row(name));
  if (!frame.skipped()) {
    frame.start_outputs();
    frame.place_step(GLOR.DTIMEI);
    frame.start_callbacks();
    frame.output_at_start();
    for (int step = 1;; ++step) {
      frame.variables1();
      const std::array<bool, 4> m = missed ? missed(step) : std::array<bool, 4>{};
      frame.count_step(m[0], m[1], m[2], m[3]);
      frame.accept_tail();
      GLOR.TIMEO = GLOR.TIMEN;
      if (GLOR.TIMEO >= GLOR.TIMEND) break;
      frame.place_step(GLOR.DTIMEI);
    }
    frame.relaxation_report();
    frame.finish();
  }
}

struct CheckCase {
  const char* what;
  const char* routine;
  std::function<void()> damage;
  std::int32_t code;
  const char* severity;
  int status;
  const char* text;
};

class FluidFrameCheck : public ::testing::TestWithParam<CheckCase> {};

TEST_P(FluidFrameCheck, MessageAndOutcome) {
  const CheckCase& c = GetParam();
  TempDir dir;
  load_frame_model(dir);
  c.damage();
  const std::int32_t real = FLAGS(flagw::NEXTREAL), ints = FLAGS(flagw::NEXTINT);
  std::vector<Message> msgs;
  EXPECT_EQ(run_capturing([&] { run_on_frame(c.routine); }, msgs), c.status);
  ASSERT_FALSE(msgs.empty());
  const Message& m = msgs.front();
  EXPECT_EQ(m.code, c.code);
  EXPECT_EQ(m.severity, c.severity);
  EXPECT_EQ(m.routine, c.routine);
  EXPECT_EQ(m.text, c.text);
  EXPECT_EQ(FLAGS(flagw::NEXTREAL), real);
  EXPECT_EQ(FLAGS(flagw::NEXTINT), ints);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FluidFrameCheck,
    ::testing::Values(
        CheckCase{"FLTMTS NLOOP", "FLTMTS", [] { GLOI.NLOOP = SKUNDF(); }, 3, "FATAL ERROR", 1,
                  "FLTMTS: Control constant NLOOP not specifiedSee the table of control constants in "
                  "docs/model_program.md"},
        CheckCase{"FLTMTS FSTEPS", "FLTMTS", [] { GLOI.FSTEPS = SKUNDF(); }, 6, "FATAL ERROR", 1,
                  "FLTMTS: Control constant FSTEPS not specifiedSee the table of control constants in "
                  "docs/model_program.md"},
        CheckCase{"FLTMTS FSTEPS below one", "FLTMTS", [] { GLOI.FSTEPS = 0; }, 11, "FATAL ERROR", 1,
                  "FLTMTS: Control constant FSTEPS must be greater than zero"},
        CheckCase{"FLTNTF RELXCA", "FLTNTF", [] { GLOR.RELXCA = undefined_real(); }, 4, "FATAL ERROR", 1,
                  "FLTNTF: Control constant RELXCA not specifiedSee the table of control constants in "
                  "docs/model_program.md"},
        CheckCase{"FLTNTF FRLXCA", "FLTNTF", [] { GLOR.FRLXCA = undefined_real(); }, 6, "FATAL ERROR", 1,
                  "FLTNTF: Control constant FRLXCA not specifiedSee the table of control constants in "
                  "docs/model_program.md"},
        CheckCase{"FLTNTS DTIMEI", "FLTNTS", [] { GLOR.DTIMEI = undefined_real(); }, 4, "FATAL ERROR", 1,
                  "FLTNTS: Control constant DTIMEI not specifiedSee the table of control constants in "
                  "docs/model_program.md"},
        CheckCase{"FLTNTS TIMEND not after TIMEO", "FLTNTS", [] { GLOR.TIMEND = GLOR.TIMEO; }, 1, "FATAL ERROR", 1,
                  "FLTNTS: TIMEND is not greater than TIMEOSee Engineering Manual for control constant definitions"},
        CheckCase{"FLTNTS TIMEND not set", "FLTNTS", [] { GLOR.TIMEND = undefined_real(); }, 1, "FATAL ERROR", 1,
                  "FLTNTS: Control constant TIMEND not setThe solution is skipped. See the table of "
                  "control constants in docs/model_program.md"},
        CheckCase{"FLTNTS step not positive", "FLTNTS", [] { GLOR.DTIMEI = 0.0; }, 10, "FATAL ERROR", 1,
                  "FLTNTS: Time step is not positiveCheck that OUTINT, DTIMEI, DTMIN and DTMAX are greater than zero"},
        CheckCase{"FLTMTS OUTINT default", "FLTMTS", [] { GLOR.OUTINT = undefined_real(); }, 2, "WARNING", 0,
                  "FLTMTS: Control constant OUTINT not specifiedDefault is TIMEND - TIMEO. See the table of control "
                  "constants in docs/model_program.md"},
        CheckCase{"FLTNTS integer work space", "FLTNTS",
                  [] { FLAGS(flagw::NEXTINT) = FLAGS(flagw::DYSTOR) - 5 * 3 - 2 + 1; }, 8, "FATAL ERROR", 1,
                  "FLTNTS: Insufficient work spaceAn extra         1 words needed, increase DYSTOR on $EXECUTION "
                  "record, see User Manual description of $EXECUTION block"},
        CheckCase{"FLTNTF real work space", "FLTNTF", [] { FLAGS(flagw::NEXTREAL) = FLAGS(flagw::DYSTOR); }, 8,
                  "FATAL ERROR", 1,
                  // L 7 + 8 x 3 + max(3 + 6 + 3, 4 + 2) words beyond the last word of the core.
                  "FLTNTF: Insufficient work spaceAn extra        43 words needed, increase DYSTOR on $EXECUTION "
                  "record, see User Manual description of $EXECUTION block"}),
    CaseName{});

TEST(FluidFrame, StartTimeNotBeforeTheEndSkipsFltmtsAndTheRunGoesOn) {
  TempDir dir;
  load_frame_model(dir);
  GLOR.TIMEO = GLOR.TIMEND = 5.0;
  GLOR.TIMEN = GLOR.TIMEM = 4.0;
  GLOR.OUTINT = undefined_real();
  std::vector<Message> msgs;
  EXPECT_EQ(run_capturing([] { run_on_frame("FLTMTS"); }, msgs), 0);
  ASSERT_EQ(msgs.size(), 2U);
  EXPECT_EQ(msgs[0].code, 1);
  EXPECT_EQ(msgs[0].severity, "FAILURE");
  EXPECT_TRUE(block_log().out_timen.empty());
  EXPECT_EQ(GLOR.TIMEN, 4.0);
  EXPECT_EQ(GLOR.TIMEO, 5.0);
  EXPECT_TRUE(SDUNDF(GLOR.OUTINT));
  EXPECT_EQ(GLOC.SOLVER, "");
}

TEST(FluidFrame, TagsDefaultsAndWorkSpaceOverTwoRuns) {
  TempDir dir;
  load_frame_model(dir);
  GLOI.NLOOP = 20;
  GLOI.NLOOPH = 0;
  GLOI.NLOOPT = 7;
  GLOI.SUMFLL = 99;
  static std::vector<std::string> solver;
  solver.clear();
  block_log().on_v1 = [] { solver.emplace_back(GLOC.SOLVER.view()); };
  const std::int32_t real = FLAGS(flagw::NEXTREAL), ints = FLAGS(flagw::NEXTINT);
  run_on_frame("FLTNTS");
  EXPECT_EQ(GLOI.NLOOPH, 20);
  EXPECT_EQ(GLOI.NLOOPT, 7);
  EXPECT_LT(GLOI.SUMFLL, 99);  // restarted, then the first hydraulics counted
  ASSERT_FALSE(solver.empty());
  EXPECT_EQ(solver.front(), "TRFL1P");
  EXPECT_EQ(GLOC.SOLVER, "");
  EXPECT_EQ(GLOR.TIMEO, GLOR.TIMEND);
  EXPECT_EQ(GLOR.TIMEM, GLOR.TIMEND);

  GLOR.TIMEO = 0.0;
  assign_padded(GLOC.SOLVER.span(), "CYFL1P");
  solver.clear();
  run_on_frame("FLTNTS");
  EXPECT_EQ(solver.front(), "CYFL1P");
  EXPECT_EQ(GLOC.SOLVER, "CYFL1P");
  EXPECT_EQ(FLAGS(flagw::NEXTREAL), real);
  EXPECT_EQ(FLAGS(flagw::NEXTINT), ints);
}

TEST(FluidFrame, PresenceFlagProfileAndCondensationArrays) {
  TempDir dir;
  load_frame_model(dir, "model DRY dystor=600\nnode 1 T=20 C=10\n");
  const std::int32_t real = FLAGS(flagw::NEXTREAL);
  FluidFrame frame(fluid_method_row("FLTNTF"));
  EXPECT_EQ(frame.presence(), "YN");
  EXPECT_FALSE(frame.humid_air());
  EXPECT_EQ(frame.time_levels(), 1);
  EXPECT_EQ(frame.profile_length(), 0);
  EXPECT_EQ(frame.condensation_loads().size(), 1U);
  EXPECT_EQ(FLAGS(flagw::NEXTREAL), real + 1);
}

TEST(FluidFrame, HydraulicWorkOfTheLoopSolvesTheNetwork) {
  TempDir dir;
  load_frame_model(dir);
  const std::int32_t real = FLAGS(flagw::NEXTREAL);
  {
    FluidFrame frame(fluid_method_row("FLTNTS"));
    const std::span<double> nodes = frame.take_real(3 * 3);
    const fluidloop::HydraulicWork w =
        frame.take_hydraulic_work(nodes.subspan(0, 3), nodes.subspan(3, 3), nodes.subspan(6, 3));
    EXPECT_EQ(w.matrix.size(), 7U);
    EXPECT_EQ(w.rhs.data() + 3, gar_dynamiccorereal.data() + (FLAGS(flagw::NEXTREAL) - 1));
    std::fill(w.matrix.begin(), w.matrix.end(), 0.0);
    std::fill(nodes.begin(), nodes.end(), 0.0);
    std::int32_t converged = 0, iterations = 0, status = -1;
    FLHYSL(w, 0, converged, iterations, status);
    EXPECT_EQ(converged, 1);
    EXPECT_NEAR(gar_massflowlinkflowrates(1), gar_massflowlinkflowrates(2), 1e-9);
  }
  EXPECT_EQ(FLAGS(flagw::NEXTREAL), real);
}

TEST(FluidFrame, StepsSplitTheRemainderAndOutputsFollowOutint) {
  TempDir dir;
  load_frame_model(dir);
  GLOR.TIMEND = 10.0;
  GLOR.OUTINT = 4.0;
  GLOR.DTIMEI = 1.5;
  run_on_frame("FLTMTS");
  EXPECT_EQ(block_log().v2_timen, (std::vector<double>{1.5, 2.75, 4.0, 5.5, 6.75, 8.0, 9.0, 10.0}));
  EXPECT_EQ(block_log().out_timen, (std::vector<double>{0.0, 4.0, 8.0, 10.0}));
}

struct ReportCase {
  const char* what;
  double timend;
  std::vector<int> missed_steps;  // steps that missed RELXMA
  const char* text;
  std::int32_t code;
};

class RelaxationReport : public ::testing::TestWithParam<ReportCase> {};

TEST_P(RelaxationReport, UpToOrMoreThanTenPercent) {
  const ReportCase& c = GetParam();
  TempDir dir;
  load_frame_model(dir);
  GLOR.TIMEND = GLOR.OUTINT = c.timend;
  std::vector<Message> msgs;
  EXPECT_EQ(run_capturing(
                [&] {
                  run_on_frame("FLTMTS", [&](int step) {
                    const bool hit = std::find(c.missed_steps.begin(), c.missed_steps.end(), step) !=
                                     c.missed_steps.end();
                    return std::array<bool, 4>{false, false, hit, false};
                  });
                },
                msgs),
            0);
  ASSERT_EQ(msgs.size(), 1U);
  EXPECT_EQ(msgs[0].text, c.text);
  EXPECT_EQ(msgs[0].code, c.code);
  EXPECT_EQ(msgs[0].routine, "FLSITM");
  EXPECT_EQ(msgs[0].severity, "WARNING");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RelaxationReport,
    ::testing::Values(ReportCase{"one in eleven", 10.0, {4}, "FLTMTS: RELXMA exceeded in up to 10% of time steps", 5},
                      ReportCase{"two in twenty", 19.0, {3, 9},
                                 "FLTMTS: RELXMA exceeded in more than 10% of time steps", 6}),
    CaseName{});

TEST(FluidFrame, DtpmaxRejectsAboveTheMinimumStepOnly) {
  GLOR.DTPMAX = 2.0;
  GLOR.DTMIN = 0.1;
  GLOR.DTIMEU = 1.0;
  double proposal = 0.0;
  EXPECT_EQ(fluidloop::dtpmax_verdict(1.0, proposal), fluidloop::DtpmaxVerdict::Accept);
  EXPECT_EQ(fluidloop::dtpmax_verdict(4.0, proposal), fluidloop::DtpmaxVerdict::Reject);
  EXPECT_DOUBLE_EQ(proposal, 0.95 * 1.0 * 2.0 / 4.0);
  GLOR.DTIMEU = 0.10001;
  EXPECT_EQ(fluidloop::dtpmax_verdict(4.0, proposal), fluidloop::DtpmaxVerdict::AcceptAtMinimum);
}

}  // namespace fluid_frame_test
}  // namespace kalvir::test
