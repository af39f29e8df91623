// The two-phase fluid-loop transient FGENFI run whole on loaded models: an
// open boiling ammonia channel against its energy balance and the vapour
// quality by hand, sealed boiling rings and a sealed liquid loop against
// their mass and energy balances kept over the whole transient, the step
// sequence and output times, and the start-up checks.
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

// A link whose fitting factor is 1e30 in a smooth channel has no loss: it
// takes its flow from continuity, the whole pressure difference falls over
// the second link, w = sqrt(2 GP rho A^2 dp), and every step converges.
TEST(TwoPhaseSolution, LosslessLinkTakesItsFlowFromContinuity) {
  TempDir dir;
  load_channel(dir);
  gar_massflowlinkfittinglosses(1) = 1.0e30;
  GLOR.TIMEND = 10.0;
  GLOR.DTIMEI = 1.0;
  GLOR.DTMAX = 1.0;
  GLOR.DTMIN = 0.25;
  GLOR.OUTINT = 10.0;
  std::vector<Message> messages;
  ASSERT_EQ(run_capturing([] { FGENFI(); }, messages), 0);
  EXPECT_TRUE(messages.empty()) << messages.front().routine << " " << messages.front().text;
  EXPECT_EQ(block_log().v2_timen.size(), 10U);
  const double rho = XRHO(gar_fluidnodepressures(2), gar_fluidnodetemps(2), gar_fluidnodevapourqualities(2),
                          fluidloop::fluid_slot(2), fluidloop::internal_index(2));
  const double w = std::sqrt(2.0 * 0.01 * rho * 1e-8 * (8.0e5 - 7.98e5));
  EXPECT_NEAR(gar_massflowlinkflowrates(1), w, 1e-4 * w);
  EXPECT_NEAR(gar_massflowlinkflowrates(2), w, 1e-4 * w);
}

// The fluid's mass and internal energy sum (rho V h - P V), each node's
// density from its own state.
struct FluidContent {
  double mass = 0.0, energy = 0.0;
};

FluidContent fluid_content() {
  FluidContent c;
  for (std::int32_t n = 1; n <= FLAGS(flagw::NF); ++n) {
    const double p = gar_fluidnodepressures(n), v = gar_fluidnodevolumes(n);
    const double rho = XRHO(p, gar_fluidnodetemps(n), gar_fluidnodevapourqualities(n), fluidloop::fluid_slot(n),
                            fluidloop::internal_index(n));
    c.mass += rho * v;
    c.energy += rho * v * gar_fluidnodespecenthalpies(n) - p * v;
  }
  return c;
}

// Heat into the network per second: the sources of its thermal nodes that
// are not boundaries and of its fluid nodes.
double heat_sources() {
  double q = 0.0;
  for (std::int32_t i = 1; i <= FLAGS(flagw::NNODE); ++i)
    if (gar_thermalnodestatuses(i)[0] != 'B')
      q += gar_thermalnodeheatsourcesalbedo(i) + gar_thermalnodeheatsourcesplanet(i) +
           gar_thermalnodeheatsourcesinternal(i) + gar_thermalnodeheatsourcesother(i) +
           gar_thermalnodeheatsourcessolar(i);
  for (std::int32_t n = 1; n <= FLAGS(flagw::NF); ++n) q += gar_fluidnodeheatsources(n);
  return q;
}

// Heat out per second: through the linear conductors that join fluid nodes
// to boundary nodes.
double heat_to_boundaries() {
  double q = 0.0;
  for (std::int32_t n = 1; n <= FLAGS(flagw::NF); ++n)
    fluidloop::walk_fluid_list(n, [&](std::int32_t kind, std::int32_t c, std::int32_t j) {
      if (kind == 2 && gar_thermalnodestatuses(j)[0] == 'B')
        q += gar_linearconds(c) * (gar_fluidnodetemps(n) - gar_thermalnodetemps(j));
      return true;
    });
  return q;
}

// Heat held by the thermal nodes that are not boundaries, from 0 degrees.
double wall_heat() {
  double e = 0.0;
  for (std::int32_t i = 1; i <= FLAGS(flagw::NNODE); ++i)
    if (gar_thermalnodestatuses(i)[0] != 'B') e += gar_thermalnodecapacitances(i) * gar_thermalnodetemps(i);
  return e;
}

// An audit of a sealed network over a transient, kept by the model blocks
// as an engineer would keep it: the fluid's mass after every accepted step,
// and the energy balance, heat in - heat out - change of the fluid's
// internal energy - change of the heat held by the walls - the
// compliance's work (the integral of P dV), cumulated over the accepted
// steps and taken at every output. A source holds its value over a step,
// the heat to the boundaries is the flow at each step's end (the step is
// implicit in it) and the work is integrated by the trapezoid rule.
struct Audit {
  FluidContent start;
  double wall_start = 0.0, heat_in = 0.0, heat_out = 0.0, work = 0.0, time = 0.0;
  std::vector<double> pressure, volume;
  double worst_mass = 0.0, worst_energy = 0.0, highest_pressure = 0.0, highest_quality = 0.0;
  std::size_t steps = 0, outputs = 0;
};

Audit& audit() {
  static Audit a;
  return a;
}

void keep_audit() {
  Audit& a = audit();
  a = Audit{};
  a.start = fluid_content();
  a.wall_start = wall_heat();
  a.time = GLOR.TIMEO;
  for (std::int32_t n = 1; n <= FLAGS(flagw::NF); ++n) {
    a.pressure.push_back(gar_fluidnodepressures(n));
    a.volume.push_back(gar_fluidnodevolumes(n));
  }
  ModelBlocks b = registered_model_blocks();
  b.variables2 = [] {
    Audit& a = audit();
    const double dt = GLOR.TIMEN - a.time;
    a.heat_in += heat_sources() * dt;
    a.heat_out += heat_to_boundaries() * dt;
    a.time = GLOR.TIMEN;
    for (std::int32_t n = 1; n <= FLAGS(flagw::NF); ++n) {
      const std::size_t k = static_cast<std::size_t>(n - 1);
      const double p = gar_fluidnodepressures(n), v = gar_fluidnodevolumes(n);
      a.work += 0.5 * (a.pressure[k] + p) * (v - a.volume[k]);
      a.pressure[k] = p;
      a.volume[k] = v;
      a.highest_pressure = std::max(a.highest_pressure, p);
      a.highest_quality = std::max(a.highest_quality, gar_fluidnodevapourqualities(n));
    }
    a.worst_mass = std::max(a.worst_mass, std::abs(fluid_content().mass - a.start.mass) / a.start.mass);
    ++a.steps;
  };
  b.outputs = [] {
    Audit& a = audit();
    ++a.outputs;
    if (GLOR.TIMEN <= 100.0) return;
    const double stored = fluid_content().energy - a.start.energy + wall_heat() - a.wall_start;
    const double residual = a.heat_in - a.heat_out - stored - a.work;
    a.worst_energy = std::max(a.worst_energy, std::abs(residual) / a.heat_in);
  };
  register_model_blocks(b);
}

bool any_warning(const std::vector<Message>& messages) {
  for (const Message& m : messages)
    if (m.severity == "WARNING") return true;
  return false;
}

// A sealed ammonia ring with a compliant accumulator, the loop of a
// pumped two-phase cooler: 100 W enter the evaporator (node 10) through a
// wall of 200 J/K, two condenser nodes reject to a sink at -10 C through
// 6 W/K each, a head of 100 Pa in the return link drives the flow. The
// ring starts as saturated liquid at 4.5 bar, so the evaporator boils at
// once and sheds its liquid into the accumulator; it settles at a quality
// of a few per cent. Both forms of the mass balance (the loops' mass rows
// and the nodal balances) must keep the ring's mass and close its energy
// balance over the whole transient, boiling onset included.
constexpr const char* kBoilingRing =
    "model RING dystor=4000\n"
    "node 1 T=0 C=200 QI=100\n"
    "node 2 T=-10 status=B\n"
    "fluidnode 10 fluid=AMMONIA FST=P&VQ P=4.5e5 VQ=0 FLA=1e-4 FD=0.01 FL=0.5 VOL=5e-5\n"
    "fluidnode 20 fluid=AMMONIA FST=P&VQ P=4.5e5 VQ=0 FLA=1e-4 FD=0.01 FL=0.5 VOL=5e-5\n"
    "fluidnode 30 fluid=AMMONIA FST=P&VQ P=4.5e5 VQ=0 FLA=1e-4 FD=0.01 FL=0.5 VOL=5e-5\n"
    "fluidnode 40 fluid=AMMONIA FST=P&VQ P=4.5e5 VQ=0 FLA=1e-3 FD=0.03 FL=0.5 VOL=5e-4\n"
    "GL 1 10 20.0\nGL 2 20 6.0\nGL 2 30 6.0\n"
    "link 10 20 0.002 GP=0.01\nlink 20 30 0.002 GP=0.01\nlink 30 40 0.002 GP=0.01\nlink 40 10 0.002 GP=0.01\n";

// The same ring heated in its evaporator's fluid by 150 W and cooled by its
// second condenser alone, 20 W/K to a sink at 0 C, from saturated liquid
// at 6 bar, with a head of 500 Pa.
constexpr const char* kHotRing =
    "model RING dystor=4000\n"
    "node 1 T=0 status=B\n"
    "fluidnode 10 fluid=AMMONIA FST=P&VQ P=6.0e5 VQ=0 FLA=1e-4 FD=0.01 FL=0.5 VOL=5e-5 FQ=150\n"
    "fluidnode 20 fluid=AMMONIA FST=P&VQ P=6.0e5 VQ=0 FLA=1e-4 FD=0.01 FL=0.5 VOL=5e-5\n"
    "fluidnode 30 fluid=AMMONIA FST=P&VQ P=6.0e5 VQ=0 FLA=1e-4 FD=0.01 FL=0.5 VOL=5e-5\n"
    "fluidnode 40 fluid=AMMONIA FST=P&VQ P=6.0e5 VQ=0 FLA=1e-3 FD=0.03 FL=0.5 VOL=5e-4\n"
    "GL 1 30 20.0\n"
    "link 10 20 0.002 GP=0.01\nlink 20 30 0.002 GP=0.01\nlink 30 40 0.002 GP=0.01\nlink 40 10 0.002 GP=0.01\n";

struct RingCase {
  const char* what;
  const char* model;
  const char* qtrsol;
  double head, step, tolerance, end;
};

class SealedBoilingRing : public ::testing::TestWithParam<RingCase> {};

TEST_P(SealedBoilingRing, KeepsItsMassAndClosesItsEnergyBalanceOverTheTransient) {
  const RingCase& c = GetParam();
  TempDir dir;
  load_channel(dir, c.model);
  FINITS(" ", 1);
  two_phase_constants();
  assign_padded(GLOC.QTRSOL.span(), c.qtrsol);
  gar_fluidnodecompliances(4) = 2.0e-6;
  gar_massflowlinkpressuresources(4) = c.head;
  GLOR.RELXCA = GLOR.FRLXCA = GLOR.RELXMA = c.tolerance;
  GLOR.TIMEND = c.end;
  GLOR.DTIMEI = GLOR.DTMAX = c.step;
  GLOR.OUTINT = 100.0;
  keep_audit();
  std::vector<Message> messages;
  ASSERT_EQ(run_capturing([] { FGENFI(); }, messages), 0) << (messages.empty() ? "" : messages.back().text);
  EXPECT_FALSE(any_warning(messages)) << messages.front().routine << " " << messages.front().text;
  EXPECT_DOUBLE_EQ(GLOR.TIMEO, c.end);
  const Audit& a = audit();
  ASSERT_EQ(a.outputs, static_cast<std::size_t>(c.end / 100.0) + 1);
  EXPECT_GT(a.highest_quality, 0.02);
  EXPECT_LT(a.highest_pressure, 1.0e6);
  EXPECT_LT(a.worst_mass, 1e-4) << a.steps << " steps";
  EXPECT_LT(a.worst_energy, 0.01) << a.heat_in << " J in, " << a.heat_out << " J out";
}

INSTANTIATE_TEST_SUITE_P(Cases, SealedBoilingRing,
                         ::testing::Values(RingCase{"loop_mass", kBoilingRing, "YES", 100.0, 2.0, 1e-4, 2000.0},
                                           RingCase{"nodal_balances", kBoilingRing, "NO", 100.0, 2.0, 1e-4, 1000.0},
                                           RingCase{"nodal_balances_short_steps", kBoilingRing, "NO", 100.0, 0.5, 1e-6,
                                                    300.0},
                                           RingCase{"hot_loop_mass", kHotRing, "YES", 500.0, 2.0, 1e-4, 800.0},
                                           RingCase{"hot_nodal_balances", kHotRing, "NO", 500.0, 2.0, 1e-4, 600.0}),
                         CaseName{});

// Under the loops' mass rows the ring settles: the condensers reject what
// the wall takes in, and every link carries the same flow.
TEST(TwoPhaseSolution, SealedBoilingRingSettlesUnderLoopMassRows) {
  TempDir dir;
  load_channel(dir, kBoilingRing);
  FINITS(" ", 1);
  two_phase_constants();
  gar_fluidnodecompliances(4) = 2.0e-6;
  gar_massflowlinkpressuresources(4) = 100.0;
  GLOR.RELXCA = GLOR.FRLXCA = GLOR.RELXMA = 1e-4;
  GLOR.TIMEND = 3000.0;
  GLOR.DTIMEI = GLOR.DTMAX = 2.0;
  GLOR.OUTINT = 3000.0;
  std::vector<Message> messages;
  ASSERT_EQ(run_capturing([] { FGENFI(); }, messages), 0) << (messages.empty() ? "" : messages.back().text);
  EXPECT_NEAR(heat_to_boundaries(), 100.0, 0.1);
  EXPECT_GT(gar_fluidnodevapourqualities(1), 0.0);
  const double w = gar_massflowlinkflowrates(1);
  ASSERT_GT(w, 0.0);
  for (std::int32_t l = 2; l <= 4; ++l) EXPECT_NEAR(gar_massflowlinkflowrates(l), w, 1e-4 * w) << l;
}

// A sealed liquid loop whose only give is a compliant accumulator, under a
// load of 60 W swinging by 40 W with a period of 600 s: the liquid's
// expansion moves the accumulator's volume and pressure back and forth
// through 1200 steps, and the loop's mass must stay where it started and
// its energy balance close under both forms of the mass balance (the
// loop's mass row and the nodal balances).
struct SealedCase {
  const char* what;
  const char* qtrsol;
  double compliance, tolerance;
};

class SealedCompliantLoop : public ::testing::TestWithParam<SealedCase> {};

TEST_P(SealedCompliantLoop, KeepsItsMassAndClosesItsEnergyBalance) {
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
  GLOR.OUTINT = 100.0;
  block_log().on_v1 = [] {
    gar_fluidnodeheatsources(1) = 60.0 + 40.0 * std::sin(2.0 * 3.14159265358979 * GLOR.TIMEM / 600.0);
  };
  const double v0 = gar_fluidnodevolumes(4), p0 = gar_fluidnodepressures(4);
  keep_audit();
  std::vector<Message> messages;
  ASSERT_EQ(run_capturing([] { FGENFI(); }, messages), 0) << (messages.empty() ? "" : messages.back().text);
  EXPECT_FALSE(any_warning(messages)) << messages.front().routine << " " << messages.front().text;
  EXPECT_DOUBLE_EQ(GLOR.TIMEO, 6000.0);
  const Audit& a = audit();
  EXPECT_LT(a.worst_mass, c.tolerance) << a.steps << " steps";
  EXPECT_LT(a.worst_energy, 0.01) << a.heat_in << " J in, " << a.heat_out << " J out";
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
                  "FGENFI: Control constant TIMEND not setThe solution is skipped. See the table of control "
                  "constants in docs/model_program.md"},
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
