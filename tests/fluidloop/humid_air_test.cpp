// Humid air in the single-phase transients: a humid-air channel past a cold
// wall condenses at the rate that the wall's vapour-pressure difference gives
// by hand, and the vapour balance of the channel node closes on it.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/fluidloop/humid_air.h"
#include "runtime/fluidloop/single_phase.h"
#include "runtime/fluids/interface/fluid_names.h"
#include "runtime/fluids/interface/properties.h"
#include "runtime/fluids/library/psychrometrics.h"
#include "runtime/program/startup.h"
#include "tests/fluidloop/fluid_test_support.h"
#include "tests/support/message_frames.h"
#include "tests/support/network_fixture.h"

namespace kalvir::test {
namespace humid_air_test {

// Humid air at 60 % relative humidity from the start enters at node 10,
// passes node 20 beside wall node 1 held at 5 degrees, and leaves through
// node 30.
constexpr const char* kHumidChannel =
    "model HUMID dystor=5000\n"
    "node 1 T=5 status=B\n"
    "fluidnode 10 fluid=AIRW status=R P=1.0002e5 T=30 PHI=0.6 FLA=1e-4 FD=0.01 FL=0.1\n"
    "fluidnode 20 fluid=AIRW P=1.0001e5 T=30 PHI=0.6 FLA=1e-4 FD=0.01 FL=0.1\n"
    "fluidnode 30 fluid=AIRW status=J P=1e5 T=30 PHI=0.6 FLA=1e-4 FD=0.01 FL=0.1\n"
    "GL 1 20 0.05\n"
    "link 10 20 1e-4 GP=0.6\nlink 20 30 1e-4 GP=0.6\n";

// Constants of a humid-air run over TIMEND seconds with outputs every
// OUTINT and steps of DTIMEI; the model must be loaded first.
void humid_run_constants(double timend, double outint, double dtimei) {
  fluid_run_constants();
  GLOR.TIMEND = timend;
  GLOR.OUTINT = outint;
  GLOR.DTIMEI = dtimei;
}

// The channel with air of temperature and relative humidity AIR ("T=25
// PHI=0.1") in every fluid node and the wall at WALL degrees.
std::string channel(const std::string& air, double wall) {
  std::string text(kHumidChannel);
  text.replace(text.find("node 1 T=5"), 10, "node 1 T=" + std::to_string(wall));
  for (std::size_t at = text.find("T=30 PHI=0.6"); at != std::string::npos; at = text.find("T=30 PHI=0.6"))
    text.replace(at, 12, air);
  return text;
}

struct HumidCase {
  const char* what;
  void (*routine)();
  double dtimei;
};

class HumidAir : public ::testing::TestWithParam<HumidCase> {};

TEST_P(HumidAir, ChannelCondensesAtTheRateOfTheWallsVapourPressureDifference) {
  const HumidCase& c = GetParam();
  TempDir dir;
  load_description(kHumidChannel, dir);
  FINITS(" ", 1);
  humid_run_constants(200.0, 200.0, c.dtimei);
  std::vector<Message> msgs;
  ASSERT_EQ(run_capturing([&c] { c.routine(); }, msgs), 0);

  const std::int32_t node = FLAGS(flagw::NNODE) + 2;
  const double p = gar_fluidnodepressures(2), t = gar_fluidnodetemps(2), x = gar_fluidnodespechumidities(2);
  const double pv = p * x / (x + fluidloop::kMolarRatio);
  ASSERT_GT(XTEMPS(pv, fluids::kWater, node), 5.0);
  const double cp = XCP(p, t, x, fluids::kHumidAir, node);
  // The wall's saturation pressure: 872.5 Pa over water at 5 degrees.
  const double wall = fluids::psychro::saturation_pressure_liquid(5.0 + 273.15);
  EXPECT_NEAR(wall, 872.5, 0.2);
  const double by_hand = (pv - wall) * 0.05 / (p * cp);
  ASSERT_GT(by_hand, 0.0);
  // Vapour in minus vapour out of node 20 is what condensed.
  const double xin = gar_fluidnodespechumidities(1);
  const double in = xin / (xin + 1.0) * gar_massflowlinkflowrates(1);
  const double out = x / (x + 1.0) * gar_massflowlinkflowrates(2);
  EXPECT_NEAR(in - out, by_hand, 1e-4 * by_hand);
  // The vapour quality of humid air carries its humidity ratio.
  EXPECT_DOUBLE_EQ(gar_fluidnodevapourqualities(2), x);
  EXPECT_LT(x, xin);
}

INSTANTIATE_TEST_SUITE_P(Cases, HumidAir,
                         ::testing::Values(HumidCase{"FLTNTS", &FLTNTS, 0.5}, HumidCase{"FLTMTS", &FLTMTS, 0.5},
                                           HumidCase{"FLTNTF", &FLTNTF, 0.5}),
                         CaseName{});

// The hydraulics see the condensed and sunk water leave node 20's mass
// source, and the source is put back as it was, even when the variables 1
// block changes the sink rate while the hydraulics run.
TEST(HumidAirSources, MassSourceComesBackUnchanged) {
  TempDir dir;
  load_description(kHumidChannel, dir);
  FINITS(" ", 1);
  set_transient_constants();
  hydraulic_constants();
  GLOR.FRLXCA = 1.0e-9;
  GLOI.NLOOPT = 0;
  GLOR.TIMEND = 5.0;
  GLOR.OUTINT = 5.0;
  GLOR.DTIMEI = 0.5;
  gar_fluidnodemassflowsources(2) = 2.0e-6;
  block_log().on_v1 = [] {
    if (GLOC.SOLTYP.view().substr(0, 5) == "FLUID") gar_fluidnodewatervapoursinkrates(2) += 1.0e-8;
  };
  std::vector<Message> msgs;
  ASSERT_EQ(run_capturing([] { FLTNTS(); }, msgs), 0);
  EXPECT_GT(gar_fluidnodewatervapoursinkrates(2), 0.0);
  EXPECT_EQ(gar_fluidnodemassflowsources(2), 2.0e-6);
}

// The condensed water gives its latent heat to the wall: at steady state the
// wall, joined to a sink at 0 degrees, balances what the air gives it by
// conduction and by condensation, while its own heat sources stay as loaded.
TEST(HumidAirLatentHeat, WallBalancesConductionAndCondensation) {
  TempDir dir;
  std::string text(kHumidChannel);
  text.replace(text.find("node 1 T=5 status=B"), 19, "node 1 T=5 C=5\nnode 2 T=0 status=B");
  text += "GL 1 2 0.2\n";
  load_description(text, dir);
  FINITS(" ", 1);
  set_transient_constants();
  hydraulic_constants();
  GLOR.FRLXCA = 1.0e-9;
  GLOI.NLOOPT = 0;
  GLOR.TIMEND = 400.0;
  GLOR.OUTINT = 400.0;
  GLOR.DTIMEI = 1.0;
  std::vector<Message> msgs;
  ASSERT_EQ(run_capturing([] { FLTNTS(); }, msgs), 0);
  EXPECT_EQ(gar_thermalnodeheatsourcesother(1), 0.0);

  const std::int32_t node = FLAGS(flagw::NNODE) + 2;
  const double p = gar_fluidnodepressures(2), t = gar_fluidnodetemps(2), x = gar_fluidnodespechumidities(2);
  const double xin = gar_fluidnodespechumidities(1);
  const double rate = xin / (xin + 1.0) * gar_massflowlinkflowrates(1) - x / (x + 1.0) * gar_massflowlinkflowrates(2);
  ASSERT_GT(rate, 0.0);
  const double pv = p * x / (x + fluidloop::kMolarRatio);
  const double latent = XENTHS(pv, t, 1.0, fluids::kWater, node) - XENTHS(pv, t, 0.0, fluids::kWater, node);
  const double tw = gar_thermalnodetemps(1);
  const double in = 0.05 * (t - tw) + latent * rate, out = 0.2 * tw;
  EXPECT_NEAR(in, out, 1e-4 * out);
  EXPECT_GT(latent * rate, 0.05 * out);
}

// Per fluid node, the number of warnings that name it.
std::map<std::string, int> warnings_per_node(const std::vector<Message>& msgs) {
  std::map<std::string, int> n;
  for (const Message& m : msgs)
    if (m.severity == "WARNING") ++n[m.text.substr(m.text.rfind("Node") == std::string::npos ? 0 : m.text.rfind("Node"))];
  return n;
}

struct WallCase {
  const char* what;
  void (*routine)();
  double wall;  // degrees Celsius
};

class FrostWall : public ::testing::TestWithParam<WallCase> {};

// Air at 25 degrees and 10 % relative humidity (pv = 317 Pa, frost point
// -8.3 degrees) past a wall at -5 degrees: the wall is below freezing but
// above the frost point, so no vapour condenses or evaporates and the
// humidity ratio stays the inlet's; no warning comes.
TEST_P(FrostWall, WallAboveTheFrostPointLeavesTheVapour) {
  const WallCase& c = GetParam();
  TempDir dir;
  load_description(channel("T=25 PHI=0.1", c.wall), dir);
  FINITS(" ", 1);
  humid_run_constants(100.0, 10.0, 0.5);
  const double inlet = gar_fluidnodespechumidities(1);
  std::vector<Message> msgs;
  ASSERT_EQ(run_capturing([&c] { c.routine(); }, msgs), 0);
  for (const auto& [node, n] : warnings_per_node(msgs)) EXPECT_LE(n, 1) << node;
  EXPECT_TRUE(msgs.empty()) << msgs.front().routine << ": " << msgs.front().text;
  if (c.wall > -8.0) {
    // The nodes started from 10 % at their own pressures, 1e-4 apart.
    EXPECT_NEAR(gar_fluidnodespechumidities(2), inlet, 1e-6 * inlet);
    EXPECT_NEAR(gar_fluidnodespechumidities(3), inlet, 1e-6 * inlet);
    EXPECT_EQ(gar_thermalnodeheatsourcesother(1), 0.0);
    return;
  }
  // Colder than the frost point: frost forms at the rate of the vapour
  // pressure over the wall's ice, 165.3 Pa at -15 degrees in the tables.
  const std::int32_t node = FLAGS(flagw::NNODE) + 2;
  const double p = gar_fluidnodepressures(2), t = gar_fluidnodetemps(2), x = gar_fluidnodespechumidities(2);
  const double pv2 = p * x / (x + fluidloop::kMolarRatio);
  const double by_hand = (pv2 - 165.3) * 0.05 / (p * XCP(p, t, x, fluids::kHumidAir, node));
  const double in = inlet / (inlet + 1.0) * gar_massflowlinkflowrates(1);
  const double out = x / (x + 1.0) * gar_massflowlinkflowrates(2);
  EXPECT_LT(x, 0.95 * inlet);
  EXPECT_NEAR(in - out, by_hand, 2e-3 * by_hand);
}

INSTANTIATE_TEST_SUITE_P(Cases, FrostWall,
                         ::testing::Values(WallCase{"FLTNTS", &FLTNTS, -5.0}, WallCase{"FLTMTS", &FLTMTS, -5.0},
                                           WallCase{"FLTNTF", &FLTNTF, -5.0},
                                           WallCase{"FLTNTS_below_frost_point", &FLTNTS, -15.0}),
                         CaseName{});

class SubZero : public ::testing::TestWithParam<HumidCase> {};

// Dry air at -20 degrees past a wall at -30: every property is sound below
// freezing, and the run writes no warning.
TEST_P(SubZero, DryChannelBelowFreezingWritesNoWarning) {
  TempDir dir;
  load_description(channel("T=-20 PHI=0", -30.0), dir);
  std::vector<Message> msgs;
  ASSERT_EQ(run_capturing([] { FINITS(" ", 1); }, msgs), 0);
  humid_run_constants(50.0, 10.0, GetParam().dtimei);
  ASSERT_EQ(run_capturing(GetParam().routine, msgs), 0);
  EXPECT_TRUE(msgs.empty()) << msgs.front().routine << ": " << msgs.front().text;
  EXPECT_LT(gar_fluidnodetemps(2), -20.0);
  EXPECT_EQ(gar_fluidnodespechumidities(2), 0.0);
}

INSTANTIATE_TEST_SUITE_P(Cases, SubZero,
                         ::testing::Values(HumidCase{"FLTNTS", &FLTNTS, 0.5}, HumidCase{"FLTMTS", &FLTMTS, 0.5},
                                           HumidCase{"FLTNTF", &FLTNTF, 0.5}),
                         CaseName{});

// A relative humidity of 0.9 at 85 degrees and 0.5 bar asks for a vapour
// pressure of 52 kPa, more than the whole pressure: the run stops naming
// the node instead of carrying a negative humidity ratio on.
TEST(HumidAirRelativeHumidity, VapourPressureAboveTheTotalStopsTheRun) {
  TempDir dir;
  load_description(kHumidChannel, dir);
  FINITS(" ", 1);
  gar_fluidnodetemps(2) = 85.0;
  gar_fluidnodepressures(2) = 0.5e5;
  gar_fluidnoderelhumidities(2) = 0.9;
  std::vector<Message> msgs;
  EXPECT_EQ(run_capturing([] { HUMRSP(1); }, msgs), 1);
  ASSERT_FALSE(msgs.empty());
  EXPECT_EQ(msgs.back().severity, "FATAL ERROR");
  EXPECT_EQ(msgs.back().routine, "HUMRSP");
  EXPECT_NE(msgs.back().text.find("Node 20"), std::string::npos) << msgs.back().text;
}

}  // namespace humid_air_test
}  // namespace kalvir::test
