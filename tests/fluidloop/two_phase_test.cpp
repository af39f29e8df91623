// The two-phase fluid-loop transient FGENFI run whole on loaded models: an
// open boiling ammonia channel against its energy balance and the vapour
// quality by hand, the step sequence and output times, and the start-up
// checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/model_blocks.h"
#include "runtime/control/status.h"
#include "runtime/fluidloop/phase_separation.h"
#include "runtime/fluidloop/two_phase.h"
#include "runtime/fluids/interface/properties.h"
#include "runtime/platform/fixed_string.h"
#include "runtime/program/startup.h"
#include "runtime/thermal/cyclic.h"
#include "tests/fluidloop/fluid_test_support.h"
#include "tests/support/message_frames.h"
#include "tests/support/network_fixture.h"

namespace kalvir::test {
namespace two_phase_test {

// Saturated liquid ammonia held at 8 bar flows through a heated node into a
// node held at 7.98 bar.
constexpr const char* kChannel =
    "model CHANNEL dystor=2000\n"
    "fluidnode 1 fluid=AMMONIA FST=P&VQ P=8.0e5 VQ=0 status=R FLA=1e-4 FD=0.01 FL=0.1 VOL=1e-5\n"
    "fluidnode 2 fluid=AMMONIA FST=P&VQ P=7.99e5 VQ=0 FLA=1e-4 FD=0.01 FL=0.1 VOL=1e-5\n"
    "fluidnode 3 fluid=AMMONIA FST=P&VQ P=7.98e5 VQ=0 status=J FLA=1e-4 FD=0.01 FL=0.1 VOL=1e-5\n"
    "link 1 2 0.01 GP=0.01\nlink 2 3 0.01 GP=0.01\n";

void two_phase_constants() {
  set_transient_constants();
  GLOR.TABS = kTabs;
  GLOR.PABS = kPabs;
  GLOI.NLOOP = 60;
  GLOR.FRLXCA = 1.0e-6;
  GLOR.RELXMA = 1.0e-6;
  GLOR.MINDP = 1.0e-3;
  GLOR.MINFLO = 1.0e-9;
  GLOR.GRAVZ = 0.0;
  GLOR.RLCOUR = 1.0;
  GLOI.NLOOPH = 0;
  GLOI.NLOOPT = 0;
  assign_padded(GLOC.QTRSOL.span(), "YES");
  assign_padded(GLOC.SOLVER.span(), "");
  register_logging_blocks();
}

void load_channel(const TempDir& dir, const char* text = kChannel) {
  load_description(text, dir);
  two_phase_constants();
  for (std::int32_t l = 1; l <= FLAGS(flagw::NM); ++l) gar_massflowlinktypes(l) = fluidloop::kMomentumLink;
  for (std::int32_t n = 1; n <= FLAGS(flagw::NF); ++n) gar_fluidnodecompliances(n) = 0.0;
}

TEST(TwoPhaseSolution, OpenBoilingChannelBalancesHeatAndQuality) {
  TempDir dir;
  load_channel(dir);
  gar_fluidnodeheatsources(2) = 400.0;
  GLOR.TIMEND = 60.0;
  GLOR.DTIMEI = 0.5;
  GLOR.DTMAX = 0.5;
  GLOR.OUTINT = 30.0;
  std::vector<Message> messages;
  ASSERT_EQ(run_capturing([] { FGENFI(); }, messages), 0);
  const double w = gar_massflowlinkflowrates(1);
  ASSERT_GT(w, 0.0);
  EXPECT_NEAR(gar_massflowlinkflowrates(2), w, 1e-6 * w);
  const double h1 = gar_fluidnodespecenthalpies(1), h2 = gar_fluidnodespecenthalpies(2);
  EXPECT_NEAR(h2, h1 + 400.0 / w, 1e-4 * (400.0 / w));
  const std::int32_t slot = fluidloop::fluid_slot(2), node = fluidloop::internal_index(2);
  const double p2 = gar_fluidnodepressures(2), tsat = XTEMPS(p2, slot, node);
  const double hl = XENTHS(p2, tsat, 0.0, slot, node), hv = XENTHS(p2, tsat, 1.0, slot, node);
  const double x = (h2 - hl) / (hv - hl);
  ASSERT_GT(x, 0.0);
  ASSERT_LT(x, 1.0);
  EXPECT_NEAR(gar_fluidnodevapourqualities(2), x, 1e-6);
  EXPECT_NEAR(gar_fluidnodetemps(2), tsat, 1e-9);
  EXPECT_EQ(gar_fluidnodeflowregimes(2), "HEM ");
  // The held nodes keep their pressures; the free one lies between them.
  EXPECT_DOUBLE_EQ(gar_fluidnodepressures(1), 8.0e5);
  EXPECT_DOUBLE_EQ(gar_fluidnodepressures(3), 7.98e5);
  EXPECT_GT(p2, 7.98e5);
  EXPECT_LT(p2, 8.0e5);
  EXPECT_DOUBLE_EQ(GLOR.TIMEO, 60.0);
  EXPECT_EQ(GLOC.SOLVER.view(), "      ");
}

// A closed ammonia ring driven by a pump head in its return link: the
// evaporator takes 150 W, the condenser rejects to a boundary at 0 C. The
// return node is a compliant accumulator, the ring's only room to grow as
// its evaporator boils: sealed and rigid, the ring would pressurise without
// bound.
constexpr const char* kRing =
    "model RING dystor=4000\n"
    "node 1 T=0 status=B\n"
    "fluidnode 10 fluid=AMMONIA FST=P&VQ P=6.0e5 VQ=0 FLA=1e-4 FD=0.01 FL=0.5 VOL=5e-5\n"
    "fluidnode 20 fluid=AMMONIA FST=P&VQ P=6.0e5 VQ=0 FLA=1e-4 FD=0.01 FL=0.5 VOL=5e-5\n"
    "fluidnode 30 fluid=AMMONIA FST=P&VQ P=6.0e5 VQ=0 FLA=1e-4 FD=0.01 FL=0.5 VOL=5e-5\n"
    "fluidnode 40 fluid=AMMONIA FST=P&VQ P=6.0e5 VQ=0 FLA=1e-3 FD=0.03 FL=0.5 VOL=5e-4\n"
    "GL 1 30 20.0\n"
    "link 10 20 0.002 GP=0.01\nlink 20 30 0.002 GP=0.01\nlink 30 40 0.002 GP=0.01\nlink 40 10 0.002 GP=0.01\n";

// The ring's fluid mass, each node's density from its own state.
double ring_mass() {
  double m = 0.0;
  for (std::int32_t n = 1; n <= FLAGS(flagw::NF); ++n)
    m += gar_fluidnodevolumes(n) * XRHO(gar_fluidnodepressures(n), gar_fluidnodetemps(n),
                                        gar_fluidnodevapourqualities(n), fluidloop::fluid_slot(n),
                                        fluidloop::internal_index(n));
  return m;
}

// The largest departure of the ring's mass from its start value over the
// accepted steps of one FGENFI run, relative to the start value; also the
// highest pressure seen.
struct MassRecord {
  double start = 0.0, worst = 0.0, highest = 0.0;
  std::size_t steps = 0;
};

MassRecord& mass_record() {
  static MassRecord r;
  return r;
}

void record_mass() {
  MassRecord& r = mass_record();
  r = MassRecord{ring_mass(), 0.0, 0.0, 0};
  ModelBlocks b = registered_model_blocks();
  b.variables2 = [] {
    MassRecord& m = mass_record();
    m.worst = std::max(m.worst, std::abs(ring_mass() - m.start) / m.start);
    for (std::int32_t n = 1; n <= FLAGS(flagw::NF); ++n) m.highest = std::max(m.highest, gar_fluidnodepressures(n));
    ++m.steps;
  };
  register_model_blocks(b);
}

bool any_warning(const std::vector<Message>& messages) {
  for (const Message& m : messages)
    if (m.severity == "WARNING") return true;
  return false;
}

// The ring from FINITS under QTRSOL, with its record of masses.
void run_ring(const TempDir& dir, const char* qtrsol, std::vector<Message>& messages) {
  load_channel(dir, kRing);
  FINITS(" ", 1);
  two_phase_constants();
  assign_padded(GLOC.QTRSOL.span(), qtrsol);
  gar_fluidnodecompliances(4) = 2.0e-6;
  gar_massflowlinkpressuresources(4) = 500.0;
  gar_fluidnodeheatsources(1) = 150.0;
  GLOR.RELXCA = 1.0e-4;
  GLOR.FRLXCA = 1.0e-4;
  GLOR.RELXMA = 1.0e-4;
  // The accumulator's slow give sets the pace: the ring settles in about
  // 1500 s.
  GLOR.TIMEND = 1600.0;
  GLOR.DTIMEI = 2.0;
  GLOR.DTMAX = 2.0;
  GLOR.OUTINT = 1600.0;
  record_mass();
  ASSERT_EQ(run_capturing([] { FGENFI(); }, messages), 0) << (messages.empty() ? "" : messages.back().text);
}

TEST(TwoPhaseSolution, ClosedRingKeepsItsMassAndBalancesItsHeat) {
  TempDir dir;
  std::vector<Message> messages;
  run_ring(dir, "YES", messages);
  EXPECT_FALSE(any_warning(messages)) << messages.front().routine << " " << messages.front().text;
  const MassRecord& m = mass_record();
  ASSERT_GT(m.steps, 700U);
  EXPECT_LT(m.worst, 1e-4);
  // The evaporator boils, the accumulator takes up the vapour's volume and
  // the ring stays far below ammonia's critical pressure.
  EXPECT_GT(gar_fluidnodevapourqualities(2), 0.0);
  EXPECT_GT(gar_fluidnodevolumes(4), 5.0e-4);
  EXPECT_LT(m.highest, 1.0e6);
  // Steady state: the condenser's conductor rejects what the evaporator takes.
  const double out = 20.0 * (gar_fluidnodetemps(3) - gar_thermalnodetemps(1));
  EXPECT_NEAR(out, 150.0, 0.5);
  const double w = gar_massflowlinkflowrates(1);
  ASSERT_GT(w, 0.0);
  for (std::int32_t l = 2; l <= 4; ++l) EXPECT_NEAR(gar_massflowlinkflowrates(l), w, 1e-4 * w) << l;
}

// With the nodal balances the ring keeps its mass too. (Its evaporator dries
// out on the way, with range warnings of the vapour's specific heat, so
// only the mass and the pressure are checked here.)
TEST(TwoPhaseSolution, ClosedRingKeepsItsMassUnderNodalBalances) {
  TempDir dir;
  std::vector<Message> messages;
  run_ring(dir, "NO", messages);
  const MassRecord& m = mass_record();
  ASSERT_GT(m.steps, 700U);
  EXPECT_LT(m.worst, 1e-4);
  EXPECT_LT(m.highest, 1.0e6);
}

// A sealed liquid loop whose only give is a compliant accumulator, under a
// load of 60 W swinging by 40 W with a period of 600 s: the liquid's
// expansion moves the accumulator's volume and pressure back and forth
// through 1200 steps, and the loop's mass must stay where it started under
// both forms of the mass balance (the loop's mass row and the nodal
// balances).
struct SealedCase {
  const char* what;
  const char* qtrsol;
  double compliance, tolerance;
};

class SealedCompliantLoop : public ::testing::TestWithParam<SealedCase> {};

TEST_P(SealedCompliantLoop, KeepsItsMass) {
  const SealedCase& c = GetParam();
  TempDir dir;
  load_channel(dir,
               "model SEALED dystor=4000\n"
               "node 1 T=0 status=B\n"
               "fluidnode 10 fluid=AMMONIA FST=P&T P=8.0e5 T=0 FLA=1e-4 FD=0.01 FL=0.5 VOL=5e-5\n"
               "fluidnode 20 fluid=AMMONIA FST=P&T P=8.0e5 T=0 FLA=1e-4 FD=0.01 FL=0.5 VOL=5e-5\n"
               "fluidnode 30 fluid=AMMONIA FST=P&T P=8.0e5 T=0 FLA=1e-4 FD=0.01 FL=0.5 VOL=5e-5\n"
               "fluidnode 40 fluid=AMMONIA FST=P&T P=8.0e5 T=0 FLA=4e-4 FD=0.02 FL=0.5 VOL=2e-4\n"
               "GL 1 30 20.0\n"
               "link 10 20 0.002 GP=0.01\nlink 20 30 0.002 GP=0.01\nlink 30 40 0.002 GP=0.01\n"
               "link 40 10 0.002 GP=0.01\n");
  FINITS(" ", 1);
  two_phase_constants();
  assign_padded(GLOC.QTRSOL.span(), c.qtrsol);
  gar_fluidnodecompliances(4) = c.compliance;
  gar_massflowlinkpressuresources(4) = 2000.0;
  GLOR.RELXCA = 1.0e-4;
  GLOR.FRLXCA = 1.0e-4;
  GLOR.RELXMA = 1.0e-4;
  GLOR.TIMEND = 6000.0;
  GLOR.DTIMEI = 5.0;
  GLOR.DTMAX = 5.0;
  GLOR.OUTINT = 6000.0;
  block_log().on_v1 = [] {
    gar_fluidnodeheatsources(1) = 60.0 + 40.0 * std::sin(2.0 * 3.14159265358979 * GLOR.TIMEM / 600.0);
  };
  const double v0 = gar_fluidnodevolumes(4), p0 = gar_fluidnodepressures(4);
  record_mass();
  std::vector<Message> messages;
  ASSERT_EQ(run_capturing([] { FGENFI(); }, messages), 0) << (messages.empty() ? "" : messages.back().text);
  EXPECT_FALSE(any_warning(messages)) << messages.front().routine << " " << messages.front().text;
  EXPECT_DOUBLE_EQ(GLOR.TIMEO, 6000.0);
  const MassRecord& m = mass_record();
  EXPECT_LT(m.worst, c.tolerance) << m.steps << " steps";
  // The liquid warmed by some degrees: the accumulator grew, and its
  // pressure rose by what its compliance asks for that volume.
  const double grown = gar_fluidnodevolumes(4) / v0 - 1.0;
  EXPECT_GT(grown, 1e-3);
  EXPECT_NEAR(std::log1p(grown), c.compliance * (gar_fluidnodepressures(4) - p0), 0.05 * std::log1p(grown));
}

INSTANTIATE_TEST_SUITE_P(Cases, SealedCompliantLoop,
                         ::testing::Values(SealedCase{"soft_loop_mass", "YES", 2.0e-6, 1e-2},
                                           SealedCase{"soft_node_balances", "NO", 2.0e-6, 1e-2},
                                           SealedCase{"stiff_loop_mass", "YES", 1.0e-7, 1e-3},
                                           SealedCase{"stiff_node_balances", "NO", 1.0e-7, 1e-3}),
                         CaseName{});

// The ring under an evaporator load that swings with a period of 40 s,
// through the cyclic analysis until its cycles repeat.
// A liquid ammonia channel whose heated node follows a load with a period of
// 40 s, through the cyclic analysis until its cycles repeat.
TEST(TwoPhaseSolution, CyclicAnalysisOfAChannelUnderAPeriodicLoad) {
  TempDir dir;
  load_channel(dir,
               "model LIQUID dystor=2000\n"
               "fluidnode 1 fluid=AMMONIA FST=P&T P=8.0e5 T=0 status=R FLA=1e-4 FD=0.01 FL=0.1 VOL=1e-5\n"
               "fluidnode 2 fluid=AMMONIA FST=P&T P=7.99e5 T=0 FLA=1e-4 FD=0.01 FL=0.1 VOL=1e-5\n"
               "fluidnode 3 fluid=AMMONIA FST=P&T P=7.98e5 T=0 status=J FLA=1e-4 FD=0.01 FL=0.1 VOL=1e-5\n"
               "link 1 2 0.004 GP=0.01\nlink 2 3 0.004 GP=0.01\n");
  FINITS(" ", 1);
  two_phase_constants();
  GLOR.FRLXCA = 1.0e-4;
  GLOR.RELXMA = 1.0e-4;
  GLOR.TIMEND = 0.0;
  GLOR.DTIMEI = 2.0;
  GLOR.DTMAX = 2.0;
  GLOR.OUTINT = 40.0;
  static std::string solver_seen;
  solver_seen.clear();
  block_log().on_v1 = [] {
    gar_fluidnodeheatsources(2) = 20.0 + 10.0 * std::sin(2.0 * 3.14159265358979 * GLOR.TIMEM / 40.0);
    solver_seen = std::string(GLOC.SOLVER.view());
  };
  std::string out;
  int status = -1;
  {
    Unit6Capture capture;
    status = platform::run_program([] { SOLCYC("FGENFI", 0.05, 1.0e-3, 40.0, 60, " ", "NONE"); });
    out = capture.finish();
  }
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(out.find("not available"), std::string::npos) << out;
  EXPECT_EQ(out.find("Failed to converge"), std::string::npos) << out;
  EXPECT_NE(out.find("SOLCYC cycle number: 2"), std::string::npos) << out;
  EXPECT_EQ(solver_seen, "CYFL2P");
  EXPECT_EQ(GLOC.SOLVER.view(), "      ");
}

TEST(TwoPhaseSolution, StepSequenceAndOutputs) {
  TempDir dir;
  load_channel(dir);
  GLOR.TIMEND = 2.5;
  GLOR.DTIMEI = 1.0;
  GLOR.DTMAX = 1.0;
  GLOR.OUTINT = undefined_real();
  std::vector<Message> messages;
  ASSERT_EQ(run_capturing([] { FGENFI(); }, messages), 0);
  // 1.5 s left after the first step: two steps of 0.75 s.
  EXPECT_EQ(block_log().v2_timen, (std::vector<double>{1.0, 1.75, 2.5}));
  EXPECT_EQ(block_log().out_timen, (std::vector<double>{0.0, 2.5}));
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages[0].code, 6);
  EXPECT_EQ(messages[0].routine, "FGENFI");
}

// One iteration per step never settles a heated channel: each step is
// halved down to DTMIN, accepted there with a warning, and the next step
// grows by at most 1.5 times before it is rejected again.
TEST(TwoPhaseSolution, UnconvergedStepsHalveToTheMinimumAndGoOn) {
  TempDir dir;
  load_channel(dir);
  gar_fluidnodeheatsources(2) = 400.0;
  GLOI.NLOOP = 1;
  GLOR.FRLXCA = 1.0e-12;
  GLOR.RELXMA = 1.0e-12;
  GLOR.TIMEND = 1.0;
  GLOR.DTIMEI = 1.0;
  GLOR.DTMAX = 1.0;
  GLOR.DTMIN = 0.25;
  GLOR.OUTINT = 1.0;
  std::vector<Message> messages;
  ASSERT_EQ(run_capturing([] { FGENFI(); }, messages), 0) << (messages.empty() ? "" : messages.back().routine + " " + messages.back().text);
  EXPECT_EQ(block_log().v2_timen, (std::vector<double>{0.25, 0.5, 0.75, 1.0}));
  ASSERT_EQ(messages.size(), 4U);
  for (const Message& m : messages) {
    EXPECT_EQ(m.routine, "FFITST");
    EXPECT_EQ(m.code, 1);
    EXPECT_EQ(m.text, "Non-convergence in FGENFITimestep at minimum, solution cannot converge within NLOOP iterations");
  }
  EXPECT_DOUBLE_EQ(GLOR.TIMEO, 1.0);
}

struct StartCase {
  const char* what;
  const char* model;
  std::function<void()> damage;
  std::int32_t code;
  const char* severity;
  int status;
  const char* text;
};

class TwoPhaseStart : public ::testing::TestWithParam<StartCase> {};

TEST_P(TwoPhaseStart, MessageAndOutcome) {
  const StartCase& c = GetParam();
  TempDir dir;
  load_channel(dir, c.model);
  c.damage();
  const std::int32_t real = FLAGS(flagw::NEXTREAL), ints = FLAGS(flagw::NEXTINT);
  const double timeo = GLOR.TIMEO;
  std::vector<Message> msgs;
  EXPECT_EQ(run_capturing([] { FGENFI(); }, msgs), c.status);
  ASSERT_FALSE(msgs.empty());
  const Message& m = msgs.front();
  EXPECT_EQ(m.code, c.code);
  EXPECT_EQ(m.severity, c.severity);
  EXPECT_EQ(m.routine, "FGENFI");
  EXPECT_EQ(m.text, c.text);
  EXPECT_EQ(FLAGS(flagw::NEXTREAL), real);
  EXPECT_EQ(FLAGS(flagw::NEXTINT), ints);
  if (c.status == 0) {
    // Nothing solved: no block called, no time advanced.
    EXPECT_DOUBLE_EQ(GLOR.TIMEO, timeo);
    EXPECT_TRUE(block_log().v1_timem.empty());
    EXPECT_TRUE(block_log().out_timen.empty());
  }
}

constexpr const char* kThermalOnly = "model DRY dystor=2000\nnode 1 T=20 C=10\nnode 2 T=0 status=B\nGL 1 2 1.0\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, TwoPhaseStart,
    ::testing::Values(
        StartCase{"nloop", kChannel, [] { GLOI.NLOOP = SKUNDF(); }, 1, "FATAL ERROR", 1,
                  "FGENFI: Control constant NLOOP not specifiedSee the table of control constants in "
                  "docs/model_program.md"},
        StartCase{"relxca with thermal nodes", kThermalOnly, [] { GLOR.RELXCA = undefined_real(); }, 2, "FATAL ERROR",
                  1,
                  "FGENFI: Control constant RELXCA not specifiedSee the table of control constants in "
                  "docs/model_program.md"},
        StartCase{"frlxca", kChannel, [] { GLOR.FRLXCA = undefined_real(); }, 3, "FATAL ERROR", 1,
                  "FGENFI: Control constant FRLXCA not specifiedSee the table of control constants in "
                  "docs/model_program.md"},
        StartCase{"relxma", kChannel, [] { GLOR.RELXMA = undefined_real(); }, 4, "FATAL ERROR", 1,
                  "FGENFI: Control constant RELXMA not specifiedSee the table of control constants in "
                  "docs/model_program.md"},
        StartCase{"timend not after timeo", kChannel, [] { GLOR.TIMEND = GLOR.TIMEO; }, 5, "FAILURE", 0,
                  "FGENFI: timend is not greater than TIMEOSee Engineering Manual for control constant definitions"},
        StartCase{"timend not set", kChannel, [] { GLOR.TIMEND = undefined_real(); }, 5, "FAILURE", 0,
                  "FGENFI: Control constant TIMEND not setThe solution is skipped. See Engineering Manual for control "
                  "constant definitions"},
        StartCase{"integer work space", kChannel,
                  [] { FLAGS(flagw::NEXTINT) = FLAGS(flagw::DYSTOR) - 7 * 3 - 2 + 1; }, 7, "FATAL ERROR", 1,
                  "FGENFI: Insufficient work spaceAn extra         1 words needed, increase DYSTOR on $EXECUTION "
                  "record, see User Manual description of $EXECUTION block"},
        // 17 x 3 node words, one loop, a profile of 8 and 6 x 2 link words.
        StartCase{"real work space", kChannel, [] { FLAGS(flagw::NEXTREAL) = FLAGS(flagw::DYSTOR); }, 8,
                  "FATAL ERROR", 1,
                  "FGENFI: Insufficient work spaceAn extra        72 words needed: increase DYSTOR on $EXECUTION "
                  "record. See User Manual description of $EXECUTION block"},
        StartCase{"thermal nodes without fluid nodes", kThermalOnly, [] {}, 9, "FAILURE", 0,
                  "FGENFI: No fluid nodes in the modelUse a thermal solution routine for a model without fluid "
                  "loops"}),
    CaseName{});

}  // namespace two_phase_test
}  // namespace kalvir::test
