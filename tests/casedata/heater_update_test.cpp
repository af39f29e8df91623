// Heater update on a hand-built network: dispatch by solution and block,
// thermostats, loads and shares, switching statistics, and the steady modes
// with the set-point balance checked against the node's own heat sums.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/casedata/heaters.h"
#include "runtime/control/control_constants.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/status.h"
#include "runtime/modeldata/array_interp.h"
#include "tests/casedata/heater_fixture.h"
#include "tests/support/model_fixture.h"
#include "tests/support/network_fixture.h"

namespace heater_update_test {

using kalvir::heater_list;
using kalvir::test::capture_messages;
using kalvir::test::define;
using kalvir::test::HeaterDef;
using kalvir::test::NetConductor;
using kalvir::test::NetNode;
using kalvir::test::NetworkSpec;
using kalvir::test::printed;
using kalvir::test::run;

double& T(int i) { return gar_thermalnodetemps(i); }
double& QI(int i) { return gar_thermalnodeheatsourcesinternal(i); }
char status_letter(int i) { return gar_thermalnodestatuses(i)[0]; }

void call(const char* solver, const char* block) {
  GLOC.SOLVER = solver;
  GLOC.OPBLOK = block;
  HEATER_UPDATE();
  GLOC.OPBLOK = "";
}
void v1(const char* solver = "TRTH") { call(solver, "VARIABLES1"); }
void v2(const char* solver = "TRTH") { call(solver, "VARIABLES2"); }

const kalvir::HeaterRecord& heater(std::size_t k) { return heater_list().at(k); }

// HTR1 of 100 on nodes 1 and 2, HTR2 of 30 on nodes 2 and 3, both measuring
// node 6.
void define_two_sharing_node_2() {
  HeaterDef a;
  a.power = "#1-2";
  a.measured = "#6";
  define(a);
  HeaterDef b;
  b.name = "HTR2";
  b.power = "#2-3";
  b.measured = "#6";
  b.nominal = 30.0;
  define(b);
}

class HeaterUpdate : public ::testing::Test {
 protected:
  // Six thermal nodes at 0 with QI 7, no conductors; arrays as listed.
  void SetUp() override {
    NetworkSpec spec;
    spec.nodes.assign(6, NetNode{0.0, 1.0, 'D', 7.0});
    kalvir::test::build_network(spec);
    install_arrays();
    kalvir::heaters_reset_for_tests();
  }
  void TearDown() override {
    kalvir::heaters_reset_for_tests();
    gar_release_all_for_tests();
  }

  void install_arrays() {
    kalvir::test::HeaterArrays a;
    factors211 = a.real({3}, {2, 1, 1});
    curve = a.real({2, 2}, {0, 100, 10, 200});
    plane = kalvir::test::add_plane_table(a);
    factors31 = a.real({2}, {3, 1});
    factors_zero = a.real({2}, {1, -1});
    a.install();
  }

  std::int32_t factors211 = 0, curve = 0, plane = 0, factors31 = 0, factors_zero = 0;
};

TEST_F(HeaterUpdate, WithoutHeatersNothingHappensInAnyBlock) {
  for (const char* solver : {"TRTH", "CYTH", "SSTH", ""})
    for (const char* block : {"VARIABLES1", "VARIABLES2", "OUTPUTS", ""}) {
      call(solver, block);
      for (int i = 1; i <= 6; ++i) EXPECT_EQ(QI(i), 7.0);
    }
}

TEST_F(HeaterUpdate, OutsideASolutionNothingHappens) {
  define(HeaterDef{});
  for (const char* block : {"VARIABLES1", "VARIABLES2", "OUTPUTS", "INITIAL"}) call("", block);
  call("FLUIDX", "VARIABLES1");
  EXPECT_EQ(QI(1), 7.0);
  EXPECT_EQ(heater(0).heaterOn, 0);
  EXPECT_EQ(heater(0).elapsedTime, 0.0);
}

TEST_F(HeaterUpdate, AnotherBlockDuringASolutionIsAnInternalStop) {
  define(HeaterDef{});
  struct Case {
    const char* solver;
    const char* block;
    const char* text;
  };
  for (const Case& c : {Case{"TRTH", "OUTPUTS", "htr_Update 2\n"}, Case{"CYFL1P", "", "htr_Update 2\n"},
                        Case{"SSTH", "INITIAL", "htr_Update 1\n"}, Case{"SS", "OUTPUTS", "htr_Update 1\n"}}) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(run([&] { call(c.solver, c.block); }), 1) << c.solver << " " << c.block;
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.text);
  }
}

TEST_F(HeaterUpdate, OnOffThermostatKeepsItsStateInsideTheBand) {
  HeaterDef off;
  off.name = "STARTS OFF";
  off.measured = "#2";
  off.power = "#1";
  define(off);
  HeaterDef on = off;
  on.name = "STARTS ON";
  on.power = "#3";
  on.initialState = 1;
  define(on);

  struct Step {
    double t;
    double q1, q3;
  };
  // Inside the band each keeps its state; below tOn both come on, above tOff
  // both go off, and then they stay off inside the band.
  for (const Step& s : {Step{15, 0, 100}, Step{10, 100, 100}, Step{19.9, 100, 100}, Step{20, 0, 0},
                        Step{10.1, 0, 0}, Step{-5, 100, 100}}) {
    T(2) = s.t;
    v1();
    EXPECT_EQ(QI(1), s.q1) << s.t;
    EXPECT_EQ(QI(3), s.q3) << s.t;
    EXPECT_EQ(heater(0).heaterOn, s.q1 > 0 ? 1 : 0) << s.t;
    EXPECT_EQ(heater(0).fullPower, s.q1) << s.t;
    EXPECT_EQ(heater(0).measuredTemperature, s.t);
  }
}

TEST_F(HeaterUpdate, ProportionalThermostatScalesThePower) {
  HeaterDef d;
  d.transientMode = 2;
  d.measured = "#2";
  define(d);
  struct Step {
    double t;
    double fraction;
  };
  for (const Step& s : {Step{12.5, 0.75}, Step{10, 1}, Step{5, 1}, Step{17.5, 0.25}, Step{20, 0}, Step{30, 0}}) {
    T(2) = s.t;
    v1();
    EXPECT_DOUBLE_EQ(QI(1), 100 * s.fraction) << s.t;
    EXPECT_DOUBLE_EQ(heater(0).appliedPower, 100 * s.fraction) << s.t;
    EXPECT_EQ(heater(0).fullPower, s.fraction > 0 ? 100.0 : 0.0) << s.t;
    EXPECT_EQ(heater(0).thermostatState, s.fraction > 0 ? 1 : 0) << s.t;
    EXPECT_EQ(heater(0).heaterOn, s.fraction > 0 ? 1 : 0) << s.t;
  }
}

TEST_F(HeaterUpdate, AProportionalBandTooNarrowToDivideByIsAnInternalStop) {
  HeaterDef d;
  d.transientMode = 2;
  d.measured = "#2";
  d.tOn = 0.0;
  d.tOff = 1.0e-38;
  define(d);
  T(2) = 5.0e-39;
  testing::internal::CaptureStderr();
  EXPECT_EQ(run([] { v1(); }), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "(htr) ThermostatTrans 1\n");
}

TEST_F(HeaterUpdate, MeasuredTemperatureIsTheMeanMinimumOrMaximum) {
  T(1) = 10.0;
  T(2) = 14.0;
  T(3) = 21.0;
  for (const auto& [method, expected] : {std::pair{1, 15.0}, std::pair{2, 10.0}, std::pair{3, 21.0}}) {
    kalvir::heaters_reset_for_tests();
    HeaterDef d;
    d.measured = "#1-3";
    d.power = "#4";
    d.method = method;
    define(d);
    v1();
    EXPECT_EQ(heater(0).measuredTemperature, expected) << method;
    // 15 and 21 are not below tOn; 10 is.
    EXPECT_EQ(QI(4), method == 2 ? 100.0 : 0.0) << method;
  }
}

TEST_F(HeaterUpdate, PowerFactorsAreNotNormalised) {
  HeaterDef d;
  d.power = "#1-3";
  d.measured = "#4";
  d.factors = factors211;
  d.nominal = 40.0;
  define(d);
  v1();
  EXPECT_EQ(QI(1), 80.0);
  EXPECT_EQ(QI(2), 40.0);
  EXPECT_EQ(QI(3), 40.0);
  EXPECT_EQ(heater(0).fullPower, 160.0);
  EXPECT_EQ(heater(0).appliedPower, 160.0);
}

TEST_F(HeaterUpdate, EqualSharesAndThePowerScale) {
  HeaterDef d;
  d.power = "#1-4";
  d.measured = "#5";
  d.scale = 3.0;
  define(d);
  v1();
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(QI(i), 75.0);
  EXPECT_EQ(QI(5), 7.0);
  EXPECT_EQ(heater(0).fullPower, 300.0);
}

TEST_F(HeaterUpdate, HeatersSharingANodeAddUpAndLoadsDoNotAccumulate) {
  define_two_sharing_node_2();
  for (int pass = 0; pass < 3; ++pass) {
    v1();
    EXPECT_EQ(QI(1), 50.0);
    EXPECT_EQ(QI(2), 65.0);
    EXPECT_EQ(QI(3), 15.0);
    EXPECT_EQ(QI(4), 7.0);
  }
  T(6) = 25.0;  // both off: their nodes carry no heater load
  v1();
  EXPECT_EQ(QI(1), 0.0);
  EXPECT_EQ(QI(2), 0.0);
  EXPECT_EQ(QI(3), 0.0);
}

TEST_F(HeaterUpdate, APowerNodesOwnQiIsReplacedAndSaidOncePerNode) {
  // Nodes 1 and 2 carry QI 7 of their own, node 3 none; the heaters share
  // node 2. Each node with a QI of its own is named once, at the first update
  // that replaces it, whatever the solution and however often it runs.
  QI(3) = 0.0;
  define_two_sharing_node_2();
  const auto msgs = capture_messages([] {
    for (int pass = 0; pass < 3; ++pass) {
      v1();
      v2();
    }
    QI(1) = 5.0;  // the model sets it again: said already
    v1("SSTH");
  });
  ASSERT_EQ(msgs.size(), 2U);
  for (std::size_t k = 0; k < 2; ++k) {
    EXPECT_EQ(msgs[k].severity, "WARNING");
    EXPECT_EQ(msgs[k].routine, "htr_Update");
    EXPECT_EQ(msgs[k].code, 3);
    EXPECT_EQ(msgs[k].text,
              printed("Heater power node has an internal heat source of its own@Updating a Heater.@The heater sets "
                      "QI of its power nodes to 0 before it adds its load, so the node's QI of 7.00000E+00 is not "
                      "applied. Put that load on another node or into the heater's load.@Heater: HTR1<NL> Node " +
                      std::to_string(k + 1) + " in main model"));
  }
  // The heaters' loads replace the nodes' own QI all the same.
  EXPECT_EQ(QI(1), 50.0);
  EXPECT_EQ(QI(2), 65.0);
  EXPECT_EQ(QI(3), 15.0);
}

TEST_F(HeaterUpdate, LoadOptionsReadTheirTables) {
  struct Case {
    std::int32_t option;
    double timem;
    double t1, t2;  // power node temperatures
    double expected;
  };
  // Curve: 100 at 0, 200 at 10; plane: 100 x1 + x2.
  const std::vector<Case> cases{
      {1, 5.0, 0, 0, 150.0},  {5, 5.0, 0, 0, 100.0},  {2, 15.0, 0, 0, 150.0}, {6, 15.0, 0, 0, 100.0},
      {2, -5.0, 0, 0, 150.0}, {3, 0.0, 2, 8, 150.0},  {7, 0.0, 2, 8, 100.0},  {4, 1.5, 25, 5, 175.0 / 2 + 155.0 / 2},
  };
  for (const Case& c : cases) {
    kalvir::heaters_reset_for_tests();
    HeaterDef d;
    d.power = "#1-2";
    d.measured = "#3";
    d.option = c.option;
    d.loadArray = (c.option == 4 || c.option == 8) ? plane : curve;
    d.period = 10.0;
    define(d);
    GLOR.TIMEM = c.timem;
    T(1) = c.t1;
    T(2) = c.t2;
    T(3) = 0.0;
    v1();
    EXPECT_DOUBLE_EQ(QI(1) + QI(2), c.expected) << c.option;
    EXPECT_DOUBLE_EQ(heater(0).fullPower, c.expected) << c.option;
  }
  // Option 8 reads the table at the node's temperature without interpolating.
  kalvir::heaters_reset_for_tests();
  HeaterDef d;
  d.power = "#1";
  d.measured = "#3";
  d.option = 8;
  d.loadArray = plane;
  define(d);
  GLOR.TIMEM = 1.5;
  T(1) = 25.0;
  v1();
  EXPECT_EQ(QI(1), INTRP2(1.5, 25.0, plane, 0));
}

TEST_F(HeaterUpdate, StatisticsCountSwitchOnsOverAcceptedSteps) {
  HeaterDef d;
  d.measured = "#2";
  define(d);
  GLOR.DTIMEU = 10.0;
  T(2) = 0.0;
  v1();
  v2();
  v1();
  v2();
  double measured = 0, applied = 0, on_time = 0, duty = 0;
  std::int32_t on = 0, switches = 0;
  htr_Status("HTR1", 1, measured, on, applied, switches, on_time, duty);
  EXPECT_EQ(heater(0).elapsedTime, 20.0);
  EXPECT_EQ(on_time, 20.0);
  EXPECT_EQ(switches, 1);
  EXPECT_EQ(duty, 1.0);
  EXPECT_EQ(on, 1);
  EXPECT_EQ(applied, 100.0);

  // Iterations of variables 1 between two accepted steps count once: off,
  // then on again for a step of 5.
  T(2) = 30.0;
  v1();
  v2();
  T(2) = 0.0;
  v1();
  v1();
  GLOR.DTIMEU = 5.0;
  v2();
  htr_Status("HTR1", 1, measured, on, applied, switches, on_time, duty);
  EXPECT_EQ(switches, 2);
  EXPECT_EQ(on_time, 25.0);
  EXPECT_EQ(heater(0).elapsedTime, 35.0);
  EXPECT_DOUBLE_EQ(duty, 25.0 / 35.0);
}

TEST_F(HeaterUpdate, CyclicSolutionsSwitchLikeTransients) {
  HeaterDef d;
  d.measured = "#2";
  define(d);
  GLOR.DTIMEU = 2.0;
  v1("CYTH");
  v2("CYTH");
  EXPECT_EQ(QI(1), 100.0);
  EXPECT_EQ(heater(0).switchCount, 1);
  EXPECT_EQ(heater(0).onTime, 2.0);
}

TEST_F(HeaterUpdate, SteadyFixedFraction) {
  HeaterDef d;
  d.power = "#1-2";
  d.measured = "#3";
  d.steadyMode = 1;
  d.steadyFraction = 0.3;
  T(3) = 100.0;  // the thermostat plays no part
  define(d);
  v1("SSTH");
  EXPECT_DOUBLE_EQ(QI(1), 15.0);
  EXPECT_DOUBLE_EQ(QI(2), 15.0);
  EXPECT_DOUBLE_EQ(heater(0).appliedPower, 30.0);
  EXPECT_EQ(heater(0).fullPower, 100.0);
  EXPECT_DOUBLE_EQ(heater(0).dutyCycle, 0.3);
  EXPECT_EQ(heater(0).heaterOn, 1);
  v2("SSTH");
  EXPECT_EQ(heater(0).elapsedTime, 0.0);  // no transient statistics
}

TEST_F(HeaterUpdate, SteadyRelaxationApproachesTheTarget) {
  HeaterDef d;
  d.power = "#1-2";
  d.measured = "#3";
  d.factors = factors31;
  d.nominal = 25.0;  // full power (3 + 1) x 25 = 100
  d.steadyMode = 2;
  d.relaxation = 0.5;
  define(d);
  T(3) = 0.0;
  v1("SSTH");
  EXPECT_EQ(heater(0).appliedPower, 50.0);
  EXPECT_EQ(QI(1), 37.5);
  EXPECT_EQ(QI(2), 12.5);
  EXPECT_EQ(heater(0).dutyCycle, 0.5);
  v1("SSTH");
  EXPECT_EQ(heater(0).appliedPower, 75.0);
  EXPECT_EQ(QI(1) + QI(2), 75.0);
  // Above tOff the target is 0 and the relaxation carries the power down.
  T(3) = 25.0;
  v1("SSTH");
  EXPECT_EQ(heater(0).thermostatState, 0);
  EXPECT_EQ(heater(0).appliedPower, 37.5);
  EXPECT_EQ(heater(0).heaterOn, 1);
  // Inside the band the target is proportional: 100 x 0.25 at 17.5.
  T(3) = 17.5;
  v1("SSTH");
  EXPECT_DOUBLE_EQ(heater(0).appliedPower, 37.5 + 0.5 * (25.0 - 37.5));
}

TEST_F(HeaterUpdate, SteadySharesSummingToZeroLeaveThePowerUnchanged) {
  HeaterDef d;
  d.power = "#1-2";
  d.measured = "#3";
  d.factors = factors_zero;
  d.steadyMode = 2;
  d.relaxation = 0.5;
  define(d);
  QI(1) = QI(2) = 0.0;  // no QI of their own to replace
  const auto msgs = capture_messages([] { v1("SSTH"); });
  ASSERT_EQ(msgs.size(), 1U);
  EXPECT_EQ(msgs[0].severity, "WARNING");
  EXPECT_EQ(msgs[0].routine, "htr_Update");
  EXPECT_EQ(msgs[0].code, 2);
  EXPECT_EQ(msgs[0].text, printed("Heater power factors sum to zero@Updating a steady state Heater.@"
                                  "No power applied to the heat load application nodes.@Heater: HTR1"));
  EXPECT_EQ(QI(1), 0.0);
  EXPECT_EQ(QI(2), 0.0);
  EXPECT_FALSE(std::isnan(heater(0).appliedPower));
}

TEST_F(HeaterUpdate, SteadyBandTooNarrowLeavesThePowerUnchanged) {
  HeaterDef d;
  d.power = "#1";
  d.measured = "#3";
  d.steadyMode = 2;
  d.relaxation = 0.5;
  d.tOn = 0.0;
  d.tOff = 1.0e-38;
  define(d);
  T(3) = -1.0;
  v1("SSTH");
  EXPECT_EQ(heater(0).appliedPower, 50.0);
  T(3) = 5.0e-39;
  const auto msgs = capture_messages([] { v1("SSTH"); });
  ASSERT_EQ(msgs.size(), 1U);
  EXPECT_EQ(msgs[0].severity, "WARNING");
  EXPECT_EQ(msgs[0].code, 1);
  EXPECT_EQ(msgs[0].text, printed("Heater thermostat band too narrow for proportional control@Updating a steady "
                                  "state Heater.@Heater power left unchanged.@Heater: HTR1"));
  EXPECT_EQ(heater(0).appliedPower, 50.0);
  EXPECT_EQ(QI(1), 50.0);
}

// The set-point heater on a node with every kind of neighbour.
class SetPointHeater : public ::testing::Test {
 protected:
  void SetUp() override {
    NetworkSpec spec;
    spec.nodes = {{50, 1, 'D', 10}, {0, 1, 'D', 0}, {20, 1, 'D', 0}, {30, 1, 'X', 0}, {10, 1, 'D', 0}};
    spec.fluid_temps = {80.0};
    spec.gl = {NetConductor{1, 2, 2.0}, NetConductor{1, 4, 5.0}, NetConductor{1, 5, 3.0, 'I'},
               NetConductor{1, 6, 0.5}};
    spec.gr = {NetConductor{3, 1, 1.0}};
    spec.gf = {NetConductor{5, 1, 4.0}, NetConductor{1, 3, 7.0}};
    kalvir::test::build_network(spec);
    kalvir::test::HeaterArrays{}.install();
    gar_thermalnodeheatsourcesalbedo(1) = 1.0;
    gar_thermalnodeheatsourcesplanet(1) = 2.0;
    gar_thermalnodeheatsourcesother(1) = 3.0;
    gar_thermalnodeheatsourcessolar(1) = 4.0;
    kalvir::heaters_reset_for_tests();
  }
  void TearDown() override {
    kalvir::heaters_reset_for_tests();
    gar_release_all_for_tests();
  }

  // Net heat into node 1 at the current temperatures, written out for this
  // network: the excluded node 4, the inactive conductor to node 5 and the
  // fluidic conductor that node 1 names first play no part.
  static double net_heat_into_1() {
    const double t1 = T(1);
    const double k1 = t1 + 273.15;
    const double k3 = T(3) + 273.15;
    const double conduction = 2.0 * (T(2) - t1) + 0.5 * (80.0 - t1) + 4.0 * (T(5) - t1);
    const double radiation = 5.670374419e-8 * 1.0 * (k3 * k3 * k3 * k3 - k1 * k1 * k1 * k1);
    return 1.0 + 2.0 + QI(1) + 3.0 + 4.0 + conduction + radiation;
  }
};

TEST_F(SetPointHeater, HoldsTheNodeWithZeroNetHeatUntilVariables2) {
  HeaterDef d;
  d.measured = "#1";
  d.power = "#1";
  d.steadyMode = 3;
  d.setPoint = 40.0;
  define(d);
  stat_setstatst(0);
  v1("SSTH");
  EXPECT_EQ(status_letter(1), 'B');
  EXPECT_EQ(T(1), 40.0);
  EXPECT_EQ(stat_getstatst(), 1);
  EXPECT_NEAR(net_heat_into_1(), 0.0, 1e-9);
  const double expected = -(1.0 + 2.0 + 3.0 + 4.0 + 2.0 * (0.0 - 40.0) + 0.5 * (80.0 - 40.0) + 4.0 * (10.0 - 40.0) +
                            5.670374419e-8 * (std::pow(293.15, 4) - std::pow(313.15, 4)));
  EXPECT_NEAR(QI(1), expected, 1e-9);
  EXPECT_NEAR(heater(0).appliedPower, expected, 1e-9);
  EXPECT_NEAR(heater(0).fullPower, expected, 1e-9);
  EXPECT_EQ(heater(0).dutyCycle, 1.0);
  EXPECT_EQ(heater(0).heaterOn, 1);
  EXPECT_EQ(heater(0).measuredTemperature, 40.0);

  // A second variables 1 call (an iteration) keeps the node as it is and
  // balances it at its present temperature.
  T(1) = 45.0;
  T(2) = 5.0;
  stat_setstatst(0);
  v1("SSTH");
  EXPECT_EQ(T(1), 45.0);
  EXPECT_EQ(stat_getstatst(), 0);
  EXPECT_EQ(status_letter(1), 'B');
  EXPECT_NEAR(net_heat_into_1(), 0.0, 1e-9);

  // Variables 2 releases the node; the next variables 1 takes hold again.
  v2("SSTH");
  EXPECT_EQ(status_letter(1), 'D');
  EXPECT_EQ(stat_getstatst(), 1);
  stat_setstatst(0);
  v1("SSTH");
  EXPECT_EQ(status_letter(1), 'B');
  EXPECT_EQ(T(1), 40.0);
  EXPECT_EQ(stat_getstatst(), 1);
}

TEST_F(SetPointHeater, BalancesAgainstTheLoadOfAnotherHeater) {
  HeaterDef other;
  other.name = "OTHER";
  other.measured = "#2";
  other.power = "#1";
  other.nominal = 1000.0;
  other.steadyMode = 1;
  define(other);
  HeaterDef d;
  d.measured = "#1";
  d.power = "#1";
  d.steadyMode = 3;
  d.setPoint = 40.0;
  define(d);
  v1("SSTH");
  EXPECT_NEAR(net_heat_into_1(), 0.0, 1e-9);
  EXPECT_NEAR(QI(1), 1000.0 + heater(1).appliedPower, 1e-9);
  // The node needs cooling rather than heating: the set-point heater counts
  // as off.
  EXPECT_LT(heater(1).appliedPower, 0.0);
  EXPECT_EQ(heater(1).heaterOn, 0);
  EXPECT_EQ(heater(1).dutyCycle, 0.0);
}

}  // namespace heater_update_test
