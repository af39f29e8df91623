// Heater definition, reset and status on the three-submodel model: every
// definition check with its exact message, redefinition, submodels, and the
// reset and status of known and unknown heaters.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/casedata/heaters.h"
#include "runtime/control/control_constants.h"
#include "runtime/control/global_arrays.h"
#include "tests/casedata/heater_fixture.h"
#include "tests/support/model_fixture.h"

namespace heater_define_test {

using kalvir::find_heater;
using kalvir::heater_list;
using kalvir::test::capture_messages;
using kalvir::test::define;
using kalvir::test::HeaterDef;
using kalvir::test::internal_node;
using kalvir::test::Message;
using kalvir::test::printed;
using kalvir::test::run;

// User arrays of the tests.
struct ArrayNumbers {
  std::int32_t factors;  // real (3): 2, 1, 1
  std::int32_t curve;    // real (2 x 2): load 100 at 0, 200 at 10
  std::int32_t plane;    // table of two variables
  std::int32_t single;   // real (1)
  std::int32_t ints;     // integer (3)
  std::int32_t wide;     // real (3 x 2)
  std::int32_t table1;   // table of one variable
};

class HeaterDefine : public ::testing::Test {
 protected:
  void SetUp() override {
    kalvir::test::build_model(kalvir::test::three_submodel_model());
    kalvir::test::HeaterArrays a;
    arrays.factors = a.real({3}, {2, 1, 1});
    arrays.curve = a.real({2, 2}, {0, 100, 10, 200});
    arrays.plane = kalvir::test::add_plane_table(a);
    arrays.single = a.real({1}, {5});
    arrays.ints = a.integer({3}, {1, 2, 3});
    arrays.wide = a.real({3, 2}, {1, 2, 3, 4, 5, 6});
    arrays.table1 = a.table(1, {0, 1, 2, 3, 1, 4}, {0, 10, 20, 10, 20, 40});
    a.install();
    kalvir::heaters_reset_for_tests();
  }
  void TearDown() override {
    kalvir::heaters_reset_for_tests();
    gar_release_all_for_tests();
  }

  // One transient step of dt: the variables 1 and variables 2 updates.
  static void step(double dt) {
    GLOC.SOLVER = "TRTH";
    GLOR.DTIMEU = dt;
    GLOC.OPBLOK = "VARIABLES1";
    htr_Update();
    GLOC.OPBLOK = "VARIABLES2";
    htr_Update();
    GLOC.OPBLOK = "";
  }

  ArrayNumbers arrays{};
};

struct Status {
  double measured = -1.0;
  std::int32_t on = -1;
  double applied = -1.0;
  std::int32_t switches = -1;
  double onTime = -1.0;
  double duty = -1.0;
};

Status status_of(const std::string& name, std::int32_t model) {
  Status s;
  htr_Status(name, model, s.measured, s.on, s.applied, s.switches, s.onTime, s.duty);
  return s;
}

// A run that must end with exactly one fatal message.
Message fatal_message(const std::function<void()>& body) {
  int status = 0;
  const auto msgs = capture_messages([&] { status = run(body); });
  EXPECT_EQ(status, 1);
  if (msgs.empty()) {
    ADD_FAILURE() << "no message";
    return {};
  }
  EXPECT_EQ(msgs.back().severity, "FATAL ERROR");
  return msgs.back();
}

struct DefineError {
  const char* what;
  std::int32_t code;
  std::string text;  // without the context
  std::function<void(HeaterDef&, const ArrayNumbers&)> change;
};

TEST_F(HeaterDefine, EveryCheckStopsWithItsMessage) {
  const std::string long_nodes = "#" + std::string(512, '1');
  const std::vector<DefineError> cases{
      {"name of 134", 1, "Heater name string too long, maximum 133 characters@Defining a Heater.@@",
       [](HeaterDef& d, const ArrayNumbers&) { d.name = std::string(134, 'N'); }},
      {"measured nodes of 513", 2,
       "Heater temperature measurement nodes string too long, maximum 512 characters@Defining a Heater.@@",
       [&](HeaterDef& d, const ArrayNumbers&) { d.measured = long_nodes; }},
      {"power nodes of 513", 3, "Heater power nodes string too long, maximum 512 characters@Defining a Heater.@@",
       [&](HeaterDef& d, const ArrayNumbers&) { d.power = long_nodes; }},
      {"transient mode 3", 4, "Invalid integer option for transient operating mode.@Defining a Heater.@@",
       [](HeaterDef& d, const ArrayNumbers&) { d.transientMode = 3; }},
      {"steady mode 0", 5, "Invalid integer option for steady state operating mode.@Defining a Heater.@@",
       [](HeaterDef& d, const ArrayNumbers&) { d.steadyMode = 0; }},
      {"no power node", 6,
       "Failed to find any thermal nodes matching power node number string.@Defining a Heater.@At least one "
       "thermal node must be given for the heat load application.<NL>Heater power cannot be applied to fluid "
       "nodes or inactive nodes.@",
       [](HeaterDef& d, const ArrayNumbers&) { d.power = "NO SUCH LABEL"; }},
      {"fluid nodes only", 6,
       "Failed to find any thermal nodes matching power node number string.@Defining a Heater.@At least one "
       "thermal node must be given for the heat load application.<NL>Heater power cannot be applied to fluid "
       "nodes or inactive nodes.@",
       [](HeaterDef& d, const ArrayNumbers&) { d.power = "LOOP"; }},
      {"boundary power node", 7, "Heat load application nodes cannot be boundary nodes@Defining a Heater.@@",
       [](HeaterDef& d, const ArrayNumbers&) { d.power = "#1-3"; }},
      {"factor array beyond the last", 8,
       "Invalid KALVIR Thermal array reference for node power factors.@Defining a Heater.@Array not defined.@",
       [](HeaterDef& d, const ArrayNumbers&) { d.factors = 99; }},
      {"factor array too short", 9,
       "Incorrect definition of power factors array.@Defining a Heater.@Must be a 1D array containing "
       "sufficient values to set the power factor at each heat load application node.@",
       [](HeaterDef& d, const ArrayNumbers& a) {
         d.power = "#4-6";
         d.factors = a.single;
       }},
      {"integer factor array", 9,
       "Incorrect definition of power factors array.@Defining a Heater.@Must be a 1D array containing "
       "sufficient values to set the power factor at each heat load application node.@",
       [](HeaterDef& d, const ArrayNumbers& a) { d.factors = a.ints; }},
      {"2-D factor array", 9,
       "Incorrect definition of power factors array.@Defining a Heater.@Must be a 1D array containing "
       "sufficient values to set the power factor at each heat load application node.@",
       [](HeaterDef& d, const ArrayNumbers& a) { d.factors = a.curve; }},
      {"negative factor array", 10,
       "Invalid KALVIR Thermal array reference for node power factors.@Defining a Heater.@Cannot be a negative "
       "number.@",
       [](HeaterDef& d, const ArrayNumbers&) { d.factors = -1; }},
      {"load option 9", 11,
       "Invalid Time/Temperature dependence integer option for nominal heat load.@Defining a Heater.@@",
       [](HeaterDef& d, const ArrayNumbers&) { d.option = 9; }},
      {"load option -1", 11,
       "Invalid Time/Temperature dependence integer option for nominal heat load.@Defining a Heater.@@",
       [](HeaterDef& d, const ArrayNumbers&) { d.option = -1; }},
      {"negative nominal load", 12,
       "A negative nominal heat load has been supplied.@Defining a Heater.@No power dependence has been "
       "selected.@",
       [](HeaterDef& d, const ArrayNumbers&) { d.nominal = -1.0; }},
      {"load array 0", 13,
       "Invalid array reference for Time/Temperature dependent heat load.@Defining a Heater.@Must be an KALVIR "
       "Thermal array reference.@",
       [](HeaterDef& d, const ArrayNumbers&) { d.option = 1; }},
      {"load array beyond the last", 13,
       "Invalid array reference for Time/Temperature dependent heat load.@Defining a Heater.@Must be an KALVIR "
       "Thermal array reference.@",
       [](HeaterDef& d, const ArrayNumbers&) {
         d.option = 3;
         d.loadArray = 99;
       }},
      {"1-D load curve", 14,
       "Incorrect array definition for Time/Temperature dependent heat load.@Defining a Heater.@Must be a (2xN) "
       "array of Nominal Power vs Time or Temperature.@",
       [](HeaterDef& d, const ArrayNumbers& a) {
         d.option = 1;
         d.loadArray = a.factors;
       }},
      {"(3 x 2) load curve", 14,
       "Incorrect array definition for Time/Temperature dependent heat load.@Defining a Heater.@Must be a (2xN) "
       "array of Nominal Power vs Time or Temperature.@",
       [](HeaterDef& d, const ArrayNumbers& a) {
         d.option = 7;
         d.loadArray = a.wide;
       }},
      {"table as load curve", 14,
       "Incorrect array definition for Time/Temperature dependent heat load.@Defining a Heater.@Must be a (2xN) "
       "array of Nominal Power vs Time or Temperature.@",
       [](HeaterDef& d, const ArrayNumbers& a) {
         d.option = 5;
         d.loadArray = a.table1;
       }},
      {"curve as two-variable table", 15,
       "Incorrect array definition for Time&Temperature dependent heat load.@Defining a Heater.@Must be a Table "
       "array with 2 independent variables.@",
       [](HeaterDef& d, const ArrayNumbers& a) {
         d.option = 4;
         d.loadArray = a.curve;
       }},
      {"one-variable table", 15,
       "Incorrect array definition for Time&Temperature dependent heat load.@Defining a Heater.@Must be a Table "
       "array with 2 independent variables.@",
       [](HeaterDef& d, const ArrayNumbers& a) {
         d.option = 8;
         d.loadArray = a.table1;
       }},
      {"cyclic period 0", 16,
       "Incorrect definition of Cyclic period for time dependent heat load.@Defining a Heater.@Cyclic time "
       "period must be a positive value.@",
       [](HeaterDef& d, const ArrayNumbers& a) {
         d.option = 2;
         d.loadArray = a.curve;
       }},
      {"negative cyclic period", 16,
       "Incorrect definition of Cyclic period for time dependent heat load.@Defining a Heater.@Cyclic time "
       "period must be a positive value.@",
       [](HeaterDef& d, const ArrayNumbers& a) {
         d.option = 6;
         d.loadArray = a.curve;
         d.period = -5.0;
       }},
      {"measurement method 4", 17,
       "Invalid integer option for thermostat temperature measurement method.@Defining a Heater.@@",
       [](HeaterDef& d, const ArrayNumbers&) { d.method = 4; }},
      {"no measured node", 18,
       "Failed to find any nodes matching measured temperature node number string.@Defining a Heater.@At least "
       "one thermal node must be given for the measured temperature.<NL>Thermostat measurement temperature "
       "cannot use fluid nodes or inactive nodes.@",
       [](HeaterDef& d, const ArrayNumbers&) { d.measured = "NO SUCH LABEL"; }},
      {"excluded measured node", 18,
       "Failed to find any nodes matching measured temperature node number string.@Defining a Heater.@At least "
       "one thermal node must be given for the measured temperature.<NL>Thermostat measurement temperature "
       "cannot use fluid nodes or inactive nodes.@",
       [](HeaterDef& d, const ArrayNumbers&) { d.measured = "#6"; }},
      // A node number list refuses each element that selects no node of the
      // heater, where the rest of the list would silently stand for it.
      {"power list with a missing number", 22,
       "Power node number string element selects no node.@Defining a Heater.@String: #4-5,99<NL>Element: 99 "
       "(sub-model MAIN)<NL>Heater power cannot be applied to fluid nodes or inactive nodes.@",
       [](HeaterDef& d, const ArrayNumbers&) { d.power = "#4-5,99"; }},
      {"power list with a range of missing numbers", 22,
       "Power node number string element selects no node.@Defining a Heater.@String: #4,7-9<NL>Element: 7-9 "
       "(sub-model MAIN)<NL>Heater power cannot be applied to fluid nodes or inactive nodes.@",
       [](HeaterDef& d, const ArrayNumbers&) { d.power = "#4,7-9"; }},
      {"power list with a fluid node", 22,
       "Power node number string element selects no node.@Defining a Heater.@String: #4,101<NL>Element: 101 "
       "(sub-model MAIN)<NL>Heater power cannot be applied to fluid nodes or inactive nodes.@",
       [](HeaterDef& d, const ArrayNumbers&) { d.power = "#4,101"; }},
      {"power list with an excluded node", 22,
       "Power node number string element selects no node.@Defining a Heater.@String: #4, 6<NL>Element: 6 "
       "(sub-model MAIN)<NL>Heater power cannot be applied to fluid nodes or inactive nodes.@",
       [](HeaterDef& d, const ArrayNumbers&) { d.power = "#4, 6"; }},
      {"power group of a submodel without the number", 22,
       "Power node number string element selects no node.@Defining a Heater.@String: #4;SUB1:9<NL>Element: "
       "SUB1:9 (sub-model MAIN:SUB1)<NL>Heater power cannot be applied to fluid nodes or inactive nodes.@",
       [](HeaterDef& d, const ArrayNumbers&) { d.power = "#4;SUB1:9"; }},
      {"measured list with a missing number", 23,
       "Measured temperature node number string element selects no node.@Defining a Heater.@String: #1,99"
       "<NL>Element: 99 (sub-model MAIN)<NL>Thermostat measurement temperature cannot use fluid nodes or "
       "inactive nodes.@",
       [](HeaterDef& d, const ArrayNumbers&) { d.measured = "#1,99"; }},
      {"tOn equal to tOff", 19,
       "Heater thermostat On temperature is not less than thermostat Off temperature.@Defining a Heater.@@",
       [](HeaterDef& d, const ArrayNumbers&) { d.tOn = d.tOff = 15.0; }},
      {"tOn above tOff", 19,
       "Heater thermostat On temperature is not less than thermostat Off temperature.@Defining a Heater.@@",
       [](HeaterDef& d, const ArrayNumbers&) { d.tOn = 21.0; }},
      {"initial state 5", 20,
       "Invalid value for Heater initial state@Defining a Heater.@A Heater state can be ON (initialState=1) or "
       "OFF (initialState=0)@",
       [](HeaterDef& d, const ArrayNumbers&) { d.initialState = 5; }},
  };
  gar_thermalnodestatuses.set(2, "B");
  gar_thermalnodestatuses.set(6, "X");
  for (const DefineError& c : cases) {
    HeaterDef d;
    c.change(d, arrays);
    const Message m = fatal_message([&] { define(d); });
    EXPECT_EQ(m.routine, "htr_Define") << c.what;
    EXPECT_EQ(m.code, c.code) << c.what;
    EXPECT_EQ(m.text, printed(c.text + ("Heater: " + d.name).substr(0, 170))) << c.what;
    // A definition that fails leaves no heater behind.
    EXPECT_TRUE(heater_list().empty()) << c.what;
  }
}

TEST_F(HeaterDefine, ChecksComeInTheirOrder) {
  // Several faults at once: the first check in order reports.
  HeaterDef d;
  d.tOn = 30.0;             // 19
  d.method = 0;             // 17
  d.option = 11;            // 11
  d.steadyMode = 4;         // 5
  d.transientMode = 0;      // 4
  EXPECT_EQ(fatal_message([&] { define(d); }).code, 4);
  d.transientMode = 1;
  EXPECT_EQ(fatal_message([&] { define(d); }).code, 5);
  d.steadyMode = 1;
  EXPECT_EQ(fatal_message([&] { define(d); }).code, 11);
  d.option = 0;
  EXPECT_EQ(fatal_message([&] { define(d); }).code, 17);
  d.method = 1;
  EXPECT_EQ(fatal_message([&] { define(d); }).code, 19);
}

TEST_F(HeaterDefine, UnderASubmodelTheContextNamesIt) {
  GLOI.MODEL = 2;
  HeaterDef d;
  d.tOn = 25.0;
  const Message m = fatal_message([&] { define(d); });
  EXPECT_EQ(m.code, 19);
  EXPECT_EQ(m.text, printed("Heater thermostat On temperature is not less than thermostat Off temperature.@"
                            "Defining a Heater.@@Heater: HTR1<NL>Model: SUB1"));
}

TEST_F(HeaterDefine, AContextTooLongIsCut) {
  GLOI.MODEL = 3;
  HeaterDef d;
  d.name = std::string(133, 'N');
  d.method = 9;
  const Message m = fatal_message([&] { define(d); });
  const std::string context = ("Heater: " + d.name + "<NL>Model: SUB2").substr(0, 170);
  EXPECT_EQ(m.text, printed("Invalid integer option for thermostat temperature measurement method.@"
                            "Defining a Heater.@@" +
                            context));
}

TEST_F(HeaterDefine, ACurrentSubmodelThatDoesNotExistIsRefused) {
  for (const std::int32_t model : {0, 4, -1}) {
    GLOI.MODEL = model;
    const Message m = fatal_message([] { define(HeaterDef{}); });
    EXPECT_EQ(m.code, 21);
    EXPECT_EQ(m.text, printed("Invalid model reference@Defining a Heater.@@Heater: HTR1"));
    EXPECT_TRUE(heater_list().empty());
  }
}

TEST_F(HeaterDefine, ANewHeaterTakesEveryParameter) {
  HeaterDef d;
  d.name = "PANEL HEATER";
  d.measured = "#1-2";
  d.power = "#4-5";
  d.method = 3;
  d.factors = arrays.factors;
  d.option = 3;
  d.nominal = -7.0;  // replaced by 0: the load comes from the array
  d.loadArray = arrays.curve;
  d.period = 4.0;
  d.scale = 2.5;
  d.transientMode = 1;
  d.initialState = 1;
  d.steadyMode = 2;
  d.steadyFraction = 0.3;
  d.relaxation = 0.4;
  d.setPoint = 12.0;
  define(d);
  ASSERT_EQ(heater_list().size(), 1U);
  const kalvir::HeaterRecord& h = heater_list()[0];
  EXPECT_EQ(h.name.trimmed(), "PANEL HEATER");
  EXPECT_EQ(h.model, 1);
  EXPECT_EQ(h.measuredNodes, (std::vector<std::int32_t>{1, 2}));
  EXPECT_EQ(h.powerNodes, (std::vector<std::int32_t>{4, 5}));
  EXPECT_EQ(h.measuredNodeString.trimmed(), "#1-2");
  EXPECT_EQ(h.powerNodeString.trimmed(), "#4-5");
  EXPECT_EQ(h.measurementMethod, 3);
  EXPECT_EQ(gar_arrayvaluesreal(h.powerFactorStart), 2.0);
  EXPECT_EQ(h.loadOption, 3);
  EXPECT_EQ(h.nominalLoad, 0.0);
  EXPECT_EQ(h.loadArray, arrays.curve);
  EXPECT_EQ(h.cyclicPeriod, 4.0);
  EXPECT_EQ(h.powerScale, 2.5);
  EXPECT_EQ(h.thermostatState, 1);
  EXPECT_EQ(h.steadyMode, 2);
  EXPECT_EQ(h.steadyPowerFraction, 0.3);
  EXPECT_EQ(h.steadyRelaxation, 0.4);
  EXPECT_EQ(h.setPointTemperature, 12.0);
  EXPECT_EQ(h.tOn, 10.0);
  EXPECT_EQ(h.tOff, 20.0);
}

TEST_F(HeaterDefine, AcceptedEdgeValues) {
  HeaterDef zero;
  zero.nominal = 0.0;
  define(zero);
  HeaterDef proportional;
  proportional.name = "HTR2";
  proportional.transientMode = 2;
  proportional.initialState = 5;  // not read for a proportional thermostat
  define(proportional);
  ASSERT_EQ(heater_list().size(), 2U);
  EXPECT_EQ(heater_list()[0].nominalLoad, 0.0);
  EXPECT_EQ(heater_list()[1].thermostatState, 0);
}

TEST_F(HeaterDefine, ExcludedNodesAreLeftOutAndEqualStringsShareTheList) {
  gar_thermalnodestatuses.set(2, "X");
  HeaterDef d;
  d.power = "#1-3";
  d.measured = "#1-3";
  define(d);
  const kalvir::HeaterRecord* h = find_heater("HTR1", 1);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->powerNodes, (std::vector<std::int32_t>{1, 3}));
  EXPECT_EQ(h->measuredNodes, h->powerNodes);
}

TEST_F(HeaterDefine, NodeListsFollowTheCurrentSubmodelAndItsDescendants) {
  GLOI.MODEL = 2;
  HeaterDef d;
  d.power = "SUB";  // every label with "SUB" in SUB1 and SUB2
  d.measured = "#3";
  define(d);
  const kalvir::HeaterRecord* h = find_heater("HTR1", 2);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->powerNodes, (std::vector<std::int32_t>{7, 8, 9, 10, 11}));
  EXPECT_EQ(h->measuredNodes, (std::vector<std::int32_t>{internal_node(2, 3)}));
}

TEST_F(HeaterDefine, TheSameNameUnderTwoSubmodelsGivesTwoHeaters) {
  HeaterDef d;
  define(d);
  GLOI.MODEL = 2;
  d.nominal = 50.0;
  define(d);
  ASSERT_EQ(heater_list().size(), 2U);
  EXPECT_EQ(heater_list()[0].model, 1);
  EXPECT_EQ(heater_list()[1].model, 2);
  EXPECT_EQ(heater_list()[1].powerNodes, (std::vector<std::int32_t>{internal_node(2, 1)}));

  gar_thermalnodetemps(internal_node(2, 1)) = 5.0;  // below tOn: full power
  step(1.0);
  const Status second = status_of("HTR1", -2);
  EXPECT_EQ(second.applied, 50.0);
  EXPECT_EQ(second.measured, 5.0);
  EXPECT_EQ(status_of("HTR1", 2).applied, 50.0);  // the sign is ignored
  EXPECT_EQ(status_of("HTR1", 1).applied, 0.0);  // node 1 at 101: off
}

TEST_F(HeaterDefine, RedefinitionKeepsStatisticsAndResolvesOnlyChangedStrings) {
  HeaterDef d;
  d.power = "#2";
  d.measured = "#3";
  define(d);
  gar_thermalnodetemps(3) = 0.0;
  step(2.0);
  step(3.0);
  Status before = status_of("HTR1", 1);
  EXPECT_EQ(before.switches, 1);
  EXPECT_EQ(before.onTime, 5.0);
  EXPECT_EQ(before.applied, 100.0);

  // Node 2 has become a boundary node meanwhile: with the same strings the
  // definition does not look at the nodes again.
  gar_thermalnodestatuses.set(2, "B");
  d.nominal = 40.0;
  d.tOn = 1.0;
  define(d);
  ASSERT_EQ(heater_list().size(), 1U);
  const Status after = status_of("HTR1", 1);
  EXPECT_EQ(after.switches, 1);
  EXPECT_EQ(after.onTime, 5.0);
  EXPECT_EQ(after.duty, 1.0);
  EXPECT_EQ(after.applied, 100.0);
  EXPECT_EQ(after.on, 0);  // the thermostat state starts again
  EXPECT_EQ(heater_list()[0].nominalLoad, 40.0);
  EXPECT_EQ(heater_list()[0].tOn, 1.0);

  // A changed string is resolved, and the boundary node is refused; the
  // heater keeps its last good definition.
  d.power = "#2-2";
  const Message m = fatal_message([&] { define(d); });
  EXPECT_EQ(m.code, 7);
  EXPECT_EQ(heater_list()[0].powerNodeString.trimmed(), "#2");

  // The measured string alone changes: only it is resolved.
  gar_thermalnodestatuses.set(2, "D");
  d.power = "#2";
  d.measured = "#4-5";
  define(d);
  EXPECT_EQ(heater_list()[0].measuredNodes, (std::vector<std::int32_t>{4, 5}));
  EXPECT_EQ(heater_list()[0].powerNodes, (std::vector<std::int32_t>{2}));
}

TEST_F(HeaterDefine, ResetClearsTheStatisticsOfTheChosenHeaters) {
  HeaterDef d;
  for (const std::int32_t model : {1, 2, 3}) {
    GLOI.MODEL = model;
    define(d);
  }
  GLOI.MODEL = 1;
  d.name = "HTR2";
  define(d);
  for (const auto& h : heater_list()) gar_thermalnodetemps(h.powerNodes[0]) = 0.0;
  step(4.0);
  const auto switches = [] {
    std::vector<std::int32_t> out;
    for (const auto& h : heater_list()) out.push_back(h.switchCount);
    return out;
  };
  const auto expect_cleared = [](const kalvir::HeaterRecord& h) {
    EXPECT_EQ(h.switchCount, 0);
    EXPECT_EQ(h.elapsedTime, 0.0);
    EXPECT_EQ(h.onTime, 0.0);
    EXPECT_EQ(h.dutyCycle, 0.0);
    EXPECT_EQ(h.appliedPower, 100.0);  // not a statistic
    EXPECT_EQ(h.heaterOn, 1);
  };
  ASSERT_EQ(switches(), (std::vector<std::int32_t>{1, 1, 1, 1}));

  htr_Reset("HTR2", 1);
  expect_cleared(heater_list()[3]);
  EXPECT_EQ(switches(), (std::vector<std::int32_t>{1, 1, 1, 0}));

  htr_Reset(" ", -2);  // SUB1 alone
  expect_cleared(heater_list()[1]);
  EXPECT_EQ(switches(), (std::vector<std::int32_t>{1, 0, 1, 0}));

  htr_Reset("", 1);  // the whole tree
  EXPECT_EQ(switches(), (std::vector<std::int32_t>{0, 0, 0, 0}));

  step(4.0);
  htr_Reset("", 2);  // SUB1 and SUB2
  EXPECT_EQ(switches(), (std::vector<std::int32_t>{0, 0, 0, 0}));
  EXPECT_EQ(heater_list()[0].elapsedTime, 4.0);
  EXPECT_EQ(heater_list()[1].elapsedTime, 0.0);
  EXPECT_EQ(heater_list()[2].elapsedTime, 0.0);
}

TEST_F(HeaterDefine, UnknownHeatersAreReportedAndTheRunGoesOn) {
  define(HeaterDef{});
  Status s;
  int status = -1;
  auto msgs = capture_messages([&] { status = run([&] { htr_Reset("NONE", -3); }); });
  EXPECT_EQ(status, 0);
  ASSERT_EQ(msgs.size(), 1U);
  EXPECT_EQ(msgs[0].severity, "FAILURE");
  EXPECT_EQ(msgs[0].routine, "htr_Reset");
  EXPECT_EQ(msgs[0].code, 3);
  EXPECT_EQ(msgs[0].text, printed("Requested Heater was not defined@Resetting a Heater.@@Heater: NONE<NL>Model: SUB2"));

  msgs = capture_messages([&] { status = run([&] { s = status_of("HTR1", 2); }); });
  EXPECT_EQ(status, 0);
  ASSERT_EQ(msgs.size(), 1U);
  EXPECT_EQ(msgs[0].severity, "FAILURE");
  EXPECT_EQ(msgs[0].routine, "htr_Status");
  EXPECT_EQ(msgs[0].code, 3);
  EXPECT_EQ(msgs[0].text,
            printed("Requested Heater was not defined@Retrieving a Heater status.@@Heater: HTR1<NL>Model: SUB1"));
  // The outputs are left as they were.
  EXPECT_EQ(s.measured, -1.0);
  EXPECT_EQ(s.on, -1);
  EXPECT_EQ(s.applied, -1.0);
  EXPECT_EQ(s.switches, -1);
  EXPECT_EQ(s.onTime, -1.0);
  EXPECT_EQ(s.duty, -1.0);
}

TEST_F(HeaterDefine, ResetAndStatusRefuseBadSubmodelsAndLongNames) {
  define(HeaterDef{});
  struct Case {
    std::string routine;
    std::string name;
    std::int32_t model;
    std::int32_t code;
    std::string text;
  };
  const std::string long_name(134, 'L');
  const std::vector<Case> cases{
      {"htr_Reset", "HTR1", 0, 1, "Invalid model reference@Resetting a Heater.@@Heater: HTR1"},
      {"htr_Reset", "", 4, 1, "Invalid model reference@Resetting a Heater.@@Heater:"},
      {"htr_Reset", "HTR1", -4, 1, "Invalid model reference@Resetting a Heater.@@Heater: HTR1"},
      {"htr_Reset", long_name, 1, 2,
       "Heater name string too long, maximum 133 characters@Resetting a Heater.@@Heater: " + long_name},
      {"htr_Status", "HTR1", 0, 1, "Invalid model reference@Retrieving a Heater status.@@Heater: HTR1"},
      {"htr_Status", "HTR1", 5, 1, "Invalid model reference@Retrieving a Heater status.@@Heater: HTR1"},
      {"htr_Status", long_name, -2, 2,
       "Heater name string too long, maximum 133 characters@Retrieving a Heater status.@@" +
           ("Heater: " + long_name + "<NL>Model: SUB1").substr(0, 170)},
  };
  for (const Case& c : cases) {
    const Message m = fatal_message([&] {
      if (c.routine == "htr_Reset") {
        htr_Reset(c.name, c.model);
      } else {
        status_of(c.name, c.model);
      }
    });
    EXPECT_EQ(m.routine, c.routine) << c.name << " " << c.model;
    EXPECT_EQ(m.code, c.code) << c.name << " " << c.model;
    EXPECT_EQ(m.text, printed(c.text)) << c.name << " " << c.model;
  }
}

}  // namespace heater_define_test
