// The start of the single-phase fluid-loop transients: humid air that starts
// humid, the fluid geometry that every fluid-loop routine checks before its
// first step (values not positive or not finite), a node too small to mean
// anything, the explicit step that follows the flow when it drops, and the
// volume of a fluid node without links.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/model_blocks.h"
#include "runtime/fluidloop/single_phase.h"
#include "runtime/fluidloop/two_phase.h"
#include "runtime/fluids/interface/properties.h"
#include "runtime/fluids/interface/property_messages.h"
#include "runtime/fluidloop/phase_separation.h"
#include "runtime/platform/fixed_string.h"
#include "runtime/program/startup.h"
#include "tests/fluidloop/fluid_test_support.h"
#include "tests/support/message_frames.h"
#include "tests/support/network_fixture.h"

namespace kalvir::test {
namespace fluid_start_test {

using Routine = void (*)();

struct RoutineCase {
  const char* what;
  Routine routine;
};

int warnings(const std::vector<Message>& msgs) {
  int n = 0;
  for (const Message& m : msgs) n += m.severity == "WARNING";
  return n;
}

// Humid air at 50 % relative humidity enters at node 10, passes node 20
// beside a wall at 40 degrees (warmer than the air, so nothing condenses)
// and leaves through node 30; nodes 20 and 30 start at 30 %.
constexpr const char* kHumidChannel =
    "model HUMID dystor=5000\n"
    "node 1 T=40 status=B\n"
    "fluidnode 10 fluid=AIRW status=R P=1.0002e5 T=30 PHI=0.5 FLA=1e-4 FD=0.01 FL=0.1\n"
    "fluidnode 20 fluid=AIRW P=1.0001e5 T=30 PHI=0.3 FLA=1e-4 FD=0.01 FL=0.1\n"
    "fluidnode 30 fluid=AIRW status=J P=1e5 T=30 PHI=0.3 FLA=1e-4 FD=0.01 FL=0.1\n"
    "GL 1 20 0.05\n"
    "link 10 20 1e-4 GP=0.6\nlink 20 30 1e-4 GP=0.6\n";

class HumidStart : public ::testing::TestWithParam<RoutineCase> {};

// The inlet's humidity ratio is 0.6221 pv / (P - pv) with pv half the
// saturation pressure of water at 30 degrees (4246.0 Pa in steam tables); the
// run carries it through the channel, and at the end dry air and vapour
// leave node 20 as fast as they enter it.
TEST_P(HumidStart, HumidChannelStartsHumidAndConservesAirAndVapour) {
  TempDir dir;
  load_description(kHumidChannel, dir);
  std::vector<Message> msgs;
  ASSERT_EQ(run_capturing([] { FINITS(" ", 1); }, msgs), 0);
  const double pv = 0.5 * 4246.0, inlet = 0.6221 * pv / (1.0002e5 - pv);
  EXPECT_NEAR(gar_fluidnodespechumidities(1), inlet, 2e-3 * inlet);
  EXPECT_DOUBLE_EQ(gar_fluidnodevapourqualities(1), gar_fluidnodespechumidities(1));
  const double start = gar_fluidnodespechumidities(2);
  EXPECT_LT(start, 0.7 * inlet);

  fluid_run_constants();
  HumidAudit::start();
  GLOR.TIMEND = 100.0;
  GLOR.OUTINT = 10.0;
  GLOR.DTIMEI = 0.5;
  ASSERT_EQ(run_capturing(GetParam().routine, msgs), 0);
  EXPECT_EQ(warnings(msgs), 0) << (msgs.empty() ? "" : msgs.front().routine + ": " + msgs.front().text);
  // While the drier start is flushed out, what the nodes hold changes by
  // what the links carry, at every output.
  const HumidAudit& audit = HumidAudit::get();
  EXPECT_EQ(audit.outputs, 10);
  EXPECT_LT(audit.worst_vapour, 5e-3);
  EXPECT_LT(audit.worst_air, 5e-3);

  const double x1 = gar_fluidnodespechumidities(1), x2 = gar_fluidnodespechumidities(2);
  const double m1 = gar_massflowlinkflowrates(1), m2 = gar_massflowlinkflowrates(2);
  ASSERT_GT(m1, 0.0);
  EXPECT_NEAR(m2 / (1.0 + x2), m1 / (1.0 + x1), 1e-6 * m1);
  EXPECT_NEAR(m2 * x2 / (1.0 + x2), m1 * x1 / (1.0 + x1), 1e-6 * m1 * x1);
  EXPECT_NEAR(gar_fluidnodespechumidities(3), x1, 1e-6 * x1);
}

INSTANTIATE_TEST_SUITE_P(Cases, HumidStart,
                         ::testing::Values(RoutineCase{"FLTNTS", &FLTNTS}, RoutineCase{"FLTMTS", &FLTMTS},
                                           RoutineCase{"FLTNTF", &FLTNTF}),
                         CaseName{});

// Air at 25 degrees and 50 % relative humidity through a channel whose wall
// is heated from 25 degrees: the air warms by tens of degrees, but with no
// water added or taken its humidity ratio stays the inlet's everywhere,
// while its relative humidity falls; dry air and vapour balance throughout.
std::string heated_channel() {
  std::string text(kHumidChannel);
  text.replace(text.find("node 1 T=40 status=B"), 20, "node 1 T=25 C=4 QI=30");
  text.replace(text.find("GL 1 20 0.05"), 12, "GL 1 20 0.5");
  for (std::size_t at = text.find("T=30 PHI=0.3"); at != std::string::npos; at = text.find("T=30 PHI=0.3"))
    text.replace(at, 12, "T=25 PHI=0.5");
  text.replace(text.find("T=30 PHI=0.5"), 12, "T=25 PHI=0.5");
  return text;
}

TEST_P(HumidStart, HeatedChannelKeepsTheInletHumidityRatio) {
  TempDir dir;
  load_description(heated_channel(), dir);
  std::vector<Message> msgs;
  ASSERT_EQ(run_capturing([] { FINITS(" ", 1); }, msgs), 0);
  const double inlet = gar_fluidnodespechumidities(1), phi0 = gar_fluidnoderelhumidities(2);
  fluid_run_constants();
  HumidAudit::start();
  GLOR.TIMEND = 200.0;
  GLOR.OUTINT = 10.0;
  GLOR.DTIMEI = 0.5;
  ASSERT_EQ(run_capturing(GetParam().routine, msgs), 0);
  EXPECT_EQ(warnings(msgs), 0) << (msgs.empty() ? "" : msgs.front().routine + ": " + msgs.front().text);
  const HumidAudit& audit = HumidAudit::get();
  RecordProperty("largest_humidity_ratio_deviation", std::to_string(audit.worst_ratio));
  RecordProperty("largest_vapour_residual", std::to_string(audit.worst_vapour));
  EXPECT_GT(gar_fluidnodetemps(2), 45.0);
  EXPECT_LT(gar_fluidnoderelhumidities(2), 0.5 * phi0);
  EXPECT_EQ(gar_fluidnodespechumidities(1), inlet);
  EXPECT_LT(audit.worst_ratio, 1e-3);
  EXPECT_EQ(audit.outputs, 20);
  EXPECT_LT(audit.worst_vapour, 5e-3);
  EXPECT_LT(audit.worst_air, 5e-3);
}

// The two-phase solution carries no humid-air transport, but humid air
// keeps its humidity ratio in the quality slot and takes its temperature
// from its enthalpy per kilogram of dry air, as at the start.
TEST(HumidTwoPhase, HeatedChannelKeepsHumidityAndTemperatureFromEnthalpy) {
  TempDir dir;
  load_description(heated_channel(), dir);
  FINITS(" ", 1);
  const double inlet = gar_fluidnodespechumidities(1);
  fluid_run_constants();
  register_logging_blocks();
  GLOR.TIMEND = 100.0;
  GLOR.OUTINT = 100.0;
  GLOR.DTIMEI = 0.5;
  std::vector<Message> msgs;
  ASSERT_EQ(run_capturing(FGENFI, msgs), 0);
  EXPECT_EQ(warnings(msgs), 0) << (msgs.empty() ? "" : msgs.front().routine + ": " + msgs.front().text);
  const double x = gar_fluidnodevapourqualities(2);
  EXPECT_EQ(x, gar_fluidnodespechumidities(2));
  EXPECT_NEAR(x, inlet, 1e-3 * inlet);
  EXPECT_GT(gar_fluidnodetemps(2), 40.0);
  EXPECT_NEAR(XENTH(gar_fluidnodepressures(2), gar_fluidnodetemps(2), x, fluids::kHumidAir, 0),
              gar_fluidnodespecenthalpies(2), 1e-3);
}

// A dry humid-air channel runs without a single warning.
TEST_P(HumidStart, DryChannelRunsWithoutWarnings) {
  TempDir dir;
  std::string text(kHumidChannel);
  for (std::size_t at = text.find("PHI=0."); at != std::string::npos; at = text.find("PHI=0."))
    text.replace(at, 7, "PHI=0");
  load_description(text, dir);
  FINITS(" ", 1);
  fluid_run_constants();
  register_logging_blocks();
  GLOR.TIMEND = 20.0;
  GLOR.OUTINT = 20.0;
  GLOR.DTIMEI = 0.5;
  std::vector<Message> msgs;
  ASSERT_EQ(run_capturing(GetParam().routine, msgs), 0);
  EXPECT_EQ(warnings(msgs), 0) << (msgs.empty() ? "" : msgs.front().routine + ": " + msgs.front().text);
}

// Water through a heated node, as the single-phase tests have it.
constexpr const char* kChannel =
    "model CHANNEL dystor=5000\n"
    "node 1 T=20 C=20 QI=100\n"
    "fluidnode 10 status=R P=1.02e5 T=20 FLA=1e-4 FD=0.01 FL=0.1\n"
    "fluidnode 20 P=1.01e5 T=20 FLA=1e-4 FD=0.01 FL=0.1\n"
    "fluidnode 30 status=J P=1e5 T=20 FLA=1e-4 FD=0.01 FL=0.1\n"
    "GL 1 20 10.0\n"
    "link 10 20 0.01 GP=0.6\nlink 20 30 0.01 GP=0.6\n";

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct GeometryCase {
  const char* what;
  void (*spoil)();
  const char* text;   // how the message opens after the routine's name
  const char* value;  // the value as the message gives it
  const char* where;  // the node it names
};

const GeometryCase kGeometryCases[] = {
    {"NegativeArea", [] { gar_fluidnodeflowareas(2) = -1.0e-4; }, ": Fluid node flow area not greater than zero",
     "-1.00000E-04", "Node 20"},
    {"ZeroArea", [] { gar_fluidnodeflowareas(2) = 0.0; }, ": Fluid node flow area not greater than zero",
     "0.00000E+00", "Node 20"},
    {"ZeroLength", [] { gar_fluidnodelengths(3) = 0.0; }, ": Fluid node length not greater than zero",
     "0.00000E+00", "Node 30"},
    {"ZeroDiameter", [] { gar_fluidnodehydraulicdiameters(1) = 0.0; },
     ": Fluid node hydraulic diameter not greater than zero", "0.00000E+00", "Node 10"},
    {"NegativeVolume", [] { gar_fluidnodevolumes(2) = -2.0e-5; }, ": Fluid node volume not greater than zero",
     "-2.00000E-05", "Node 20"},
    {"NegativeFitting", [] { gar_massflowlinkfittinglosses(2) = -0.5; },
     ": Negative fitting factor of mass-flow link 2", "-5.00000E-01", "Node 20"},
    {"InfiniteArea", [] { gar_fluidnodeflowareas(2) = kInf; }, ": Fluid node flow area not a finite number", "Infinity",
     "Node 20"},
    {"NegativeInfiniteLength", [] { gar_fluidnodelengths(1) = -kInf; }, ": Fluid node length not a finite number",
     "-Infinity", "Node 10"},
    {"NaNDiameter", [] { gar_fluidnodehydraulicdiameters(3) = kNaN; },
     ": Fluid node hydraulic diameter not a finite number", "NaN", "Node 30"},
    {"InfiniteVolume", [] { gar_fluidnodevolumes(2) = kInf; }, ": Fluid node volume not a finite number",
     "Infinity", "Node 20"},
    {"NaNCompliance", [] { gar_fluidnodecompliances(2) = kNaN; }, ": Fluid node compliance not a finite number",
     "NaN", "Node 20"},
    {"InfiniteVolumeRate", [] { gar_fluidnodevolumechangerates(3) = -kInf; },
     ": Fluid node volume change rate not a finite number", "-Infinity", "Node 30"},
    {"InfiniteFitting", [] { gar_massflowlinkfittinglosses(1) = kInf; },
     ": Fitting factor of mass-flow link 1 not a finite number", "Infinity", "Node 10"},
    {"NaNFitting", [] { gar_massflowlinkfittinglosses(2) = kNaN; },
     ": Fitting factor of mass-flow link 2 not a finite number", "NaN", "Node 20"},
};

const RoutineCase kAllRoutines[] = {
    {"FLTMTS", &FLTMTS}, {"FLTNTF", &FLTNTF}, {"FLTNTS", &FLTNTS}, {"FGENFI", &FGENFI}};

class BadGeometry : public ::testing::TestWithParam<std::tuple<GeometryCase, RoutineCase>> {};

TEST_P(BadGeometry, EndsTheRunNamingTheNodeAndTheValue) {
  const auto& [g, r] = GetParam();
  TempDir dir;
  load_description(kChannel, dir);
  FINITS(" ", 1);
  fluid_run_constants();
  register_logging_blocks();
  g.spoil();
  std::vector<Message> msgs;
  EXPECT_EQ(run_capturing(r.routine, msgs), 1);
  ASSERT_FALSE(msgs.empty());
  const Message& m = msgs.back();
  EXPECT_EQ(m.severity, "FATAL ERROR");
  EXPECT_EQ(m.routine, "FGEOCK");
  EXPECT_EQ(m.text.rfind(std::string(r.what) + g.text, 0), 0u) << m.text;
  EXPECT_NE(m.text.find(g.value), std::string::npos) << m.text;
  EXPECT_NE(m.text.find(g.where), std::string::npos) << m.text;
  // Nothing was solved.
  EXPECT_TRUE(block_log().v2_timen.empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, BadGeometry,
                         ::testing::Combine(::testing::ValuesIn(kGeometryCases), ::testing::ValuesIn(kAllRoutines)),
                         [](const ::testing::TestParamInfo<BadGeometry::ParamType>& info) {
                           return std::string(std::get<0>(info.param).what) + "_" + std::get<1>(info.param).what;
                         });

// A heated node whose flow area is 1e-30 m2 holds no water and passes
// almost no flow: it follows its wall up to 109-120 C at 1 bar. The
// single-phase solutions cannot boil it; they say so once, and the node
// takes the vapour's quality and flow regime, so that its enthalpy, its
// properties and its printed state agree. The explicit method's step is far
// beyond what such a node can carry, and FGENFI's node has neither storage
// nor a flow to take the wall's heat: both stop in their first step on the
// node's runaway temperature, naming it, instead of after thousands of
// property warnings under a message about another node.
struct TinyNodeCase {
  const char* what;
  Routine routine;
  int status;
  const char* stop;  // routine of the fatal message, empty when the run ends
};

class TinyNode : public ::testing::TestWithParam<TinyNodeCase> {};

TEST_P(TinyNode, LeavingItsPhaseIsReportedOnceAndRunawayStopsAtOnce) {
  const TinyNodeCase& c = GetParam();
  fluids::forget_reported_once();
  TempDir dir;
  std::string text(kChannel);
  text.replace(text.find("FLA=1e-4 FD=0.01 FL=0.1\nfluidnode 30"), 8, "FLA=1e-30");
  load_description(text, dir);
  FINITS(" ", 1);
  fluid_run_constants();
  register_logging_blocks();
  if (c.routine == &FGENFI)
    for (std::int32_t l = 1; l <= 2; ++l) gar_massflowlinktypes(l) = fluidloop::kMomentumLink;
  GLOR.TIMEND = 20.0;
  GLOR.OUTINT = 20.0;
  GLOR.DTIMEI = 0.5;
  std::vector<Message> msgs;
  ASSERT_EQ(run_capturing(c.routine, msgs), c.status);
  if (*c.stop) {
    EXPECT_LT(msgs.size(), 100U);
    ASSERT_FALSE(msgs.empty());
    EXPECT_EQ(msgs.back().severity, "FATAL ERROR");
    EXPECT_EQ(trim_right(msgs.back().routine), c.stop);
    EXPECT_NE(msgs.back().text.find("Node 20"), std::string::npos) << msgs.back().text;
    return;
  }
  // One report of the node leaving its phase; beside it at most the
  // property routines' own warnings of the steam it has become.
  std::vector<Message> phase;
  for (const Message& m : msgs) {
    EXPECT_EQ(m.severity, "WARNING") << m.routine << " " << m.text;
    if (trim_right(m.routine) == "SNFE") phase.push_back(m);
  }
  ASSERT_EQ(phase.size(), 1U);
  EXPECT_EQ(phase[0].code, 1);
  EXPECT_NE(phase[0].text.find("Node 20"), std::string::npos) << phase[0].text;
  const double p = gar_fluidnodepressures(2), t = gar_fluidnodetemps(2);
  const std::int32_t node = FLAGS(flagw::NNODE) + 2;
  const double ts = XTEMPS(p, 2, node);
  EXPECT_GT(t, ts + 5.0);
  EXPECT_EQ(gar_fluidnodevapourqualities(2), 1.0);
  EXPECT_EQ(trim_right(gar_fluidnodeflowregimes(2)), "VAP");
  // A vapour's enthalpy, above that of the saturated vapour.
  EXPECT_GT(gar_fluidnodespecenthalpies(2), XENTHS(p, ts, 1.0, 2, node));
  // The nodes that stay liquid are left as they were.
  EXPECT_EQ(trim_right(gar_fluidnodeflowregimes(3)), "LIQ");
}

INSTANTIATE_TEST_SUITE_P(Cases, TinyNode,
                         ::testing::Values(TinyNodeCase{"FLTNTS", &FLTNTS, 0, ""},
                                           TinyNodeCase{"FLTMTS", &FLTMTS, 0, ""},
                                           TinyNodeCase{"FLTNTF", &FLTNTF, 1, "FSFDIF"},
                                           TinyNodeCase{"FGENFI", &FGENFI, 1, "FGUPDT"}),
                         CaseName{});

// Accepted steps of FLTNTF that end after FROM, with the inlet pressure
// dropped from DROP_AT on (at once when DROP_AT is 0).
std::size_t explicit_steps(double drop_at, double from, double timend) {
  static double switch_time = 0.0;
  static double after = 0.0;
  static std::size_t count = 0;
  switch_time = drop_at;
  after = from;
  count = 0;
  TempDir dir;
  load_description(kChannel, dir);
  FINITS(" ", 1);
  fluid_run_constants();
  GLOR.TIMEND = timend;
  GLOR.OUTINT = timend;
  GLOR.DTMAX = 100.0;
  ModelBlocks b;
  // A hundredth of the pressure difference: a tenth of the flow.
  b.variables1 = [] {
    if (GLOR.TIMEM >= switch_time) gar_fluidnodepressures(1) = 1.0e5 + 20.0;
  };
  b.variables2 = [] { count += GLOR.TIMEN > after; };
  register_model_blocks(b);
  std::vector<Message> msgs;
  EXPECT_EQ(run_capturing(FLTNTF, msgs), 0);
  return count;
}

// The explicit step follows the Courant limit of the flow of each step:
// after the flow has dropped the run needs about as many steps as one that
// started at the lower flow.
TEST(ExplicitStep, RecoversAfterTheFlowDrops) {
  const std::size_t low = explicit_steps(0.0, 0.0, 50.0);
  const std::size_t dropped = explicit_steps(5.0, 5.0, 55.0);
  RecordProperty("steps_at_low_flow", static_cast<int>(low));
  RecordProperty("steps_after_the_drop", static_cast<int>(dropped));
  ASSERT_GT(low, 20u);
  EXPECT_LE(static_cast<double>(dropped), 1.5 * static_cast<double>(low)) << low;
}

// The enthalpies that the variables 1 block sees between the passes of a
// step (solution type blank) belong to the pressures and temperatures of
// that moment, also right after the hydraulics have moved the pressures.
TEST(ImplicitStep, VariablesOneSeesEnthalpiesOfTheNewPressures) {
  static double worst = 0.0;
  static int checked = 0;
  worst = 0.0;
  checked = 0;
  TempDir dir;
  std::string text(kChannel);
  // A first pressure far from the solved one.
  text.replace(text.find("P=1.01e5"), 8, "P=1.50e5");
  load_description(text, dir);
  FINITS(" ", 1);
  fluid_run_constants();
  GLOR.TIMEND = 5.0;
  GLOR.OUTINT = 5.0;
  GLOR.DTIMEI = 1.0;
  ModelBlocks b;
  b.variables1 = [] {
    if (!trim_right(GLOC.SOLTYP.view()).empty()) return;
    ++checked;
    for (std::int32_t n = 1; n <= FLAGS(flagw::NF); ++n) {
      const double p = gar_fluidnodepressures(n), t = gar_fluidnodetemps(n), node = FLAGS(flagw::NNODE) + n;
      const double h = XENTH(p, t, XGXPT(p, t, 2, node), 2, node);
      worst = std::max(worst, std::abs(gar_fluidnodespecenthalpies(n) - h));
    }
  };
  register_model_blocks(b);
  std::vector<Message> msgs;
  ASSERT_EQ(run_capturing(FLTNTS, msgs), 0);
  EXPECT_GT(checked, 5);
  EXPECT_LT(worst, 1e-9);
}

class LinklessVolume : public ::testing::TestWithParam<RoutineCase> {};

// Without links no hydraulics carry a volume change, so the node keeps the
// volume that its flow area and length give.
TEST_P(LinklessVolume, LoneFluidNodeKeepsItsVolume) {
  TempDir dir;
  load_description("model LONE dystor=2000\nnode 1 T=40 C=10\n"
                   "fluidnode 10 P=1e5 T=20 FLA=1e-4 FD=0.01 FL=0.1 VDT=1e-7\nGL 1 10 1.0\n",
                   dir);
  FINITS(" ", 1);
  fluid_run_constants();
  register_logging_blocks();
  const double v0 = gar_fluidnodevolumes(1);
  EXPECT_NEAR(v0, 1.0e-5, 1e-18);
  GLOR.TIMEND = 10.0;
  GLOR.OUTINT = 10.0;
  GLOR.DTIMEI = 1.0;
  std::vector<Message> msgs;
  ASSERT_EQ(run_capturing(GetParam().routine, msgs), 0);
  EXPECT_FALSE(block_log().v2_timen.empty());
  EXPECT_EQ(gar_fluidnodevolumes(1), v0);
  EXPECT_EQ(gar_fluidnodeflowareas(1), 1.0e-4);
  // The node still warms towards the wall.
  EXPECT_GT(gar_fluidnodetemps(1), 20.0);
}

INSTANTIATE_TEST_SUITE_P(Cases, LinklessVolume,
                         ::testing::Values(RoutineCase{"FLTNTS", &FLTNTS}, RoutineCase{"FLTMTS", &FLTMTS},
                                           RoutineCase{"FLTNTF", &FLTNTF}, RoutineCase{"FGENFI", &FGENFI}),
                         CaseName{});

class NodeCapacity : public ::testing::TestWithParam<RoutineCase> {};

// A node's heat capacity is its density times its volume in every fluid-loop
// solution, also when the model has set the volume after the start: a
// water node of 2e-5 m3 (twice what its flow area and length give) held at
// 1 bar and heated by 10 W for 10 s warms by 100 J / (rho V cp).
TEST_P(NodeCapacity, FollowsTheNodeVolume) {
  TempDir dir;
  load_description("model HEATED dystor=2000\nnode 1 T=20 status=B\n"
                   "fluidnode 10 status=J P=1e5 T=20 FLA=1e-4 FD=0.01 FL=0.1 FQ=10\nGL 1 10 1e-12\n",
                   dir);
  FINITS(" ", 1);
  fluid_run_constants();
  register_logging_blocks();
  gar_fluidnodevolumes(1) = 2.0e-5;
  GLOR.TIMEND = 10.0;
  GLOR.OUTINT = 10.0;
  GLOR.DTIMEI = 1.0;
  GLOR.DTMAX = 1.0;
  std::vector<Message> msgs;
  ASSERT_EQ(run_capturing(GetParam().routine, msgs), 0);
  const double t = gar_fluidnodetemps(1), mean = (20.0 + t) / 2.0, node = FLAGS(flagw::NNODE) + 1;
  const double rho = XRHO(1e5, mean, 0.0, 2, node), cp = XCP(1e5, mean, 0.0, 2, node);
  EXPECT_NEAR(t - 20.0, 100.0 / (rho * 2.0e-5 * cp), 1e-2 * (t - 20.0));
}

INSTANTIATE_TEST_SUITE_P(Cases, NodeCapacity,
                         ::testing::Values(RoutineCase{"FLTNTS", &FLTNTS}, RoutineCase{"FLTMTS", &FLTMTS},
                                           RoutineCase{"FLTNTF", &FLTNTF}, RoutineCase{"FGENFI", &FGENFI}),
                         CaseName{});

}  // namespace fluid_start_test
}  // namespace kalvir::test
