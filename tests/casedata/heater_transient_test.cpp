// A heater in a Crank-Nicolson transient: one node that loses heat to a cold
// boundary, held by an on/off thermostat. The run is checked against the
// thermostat band, against the energy balance of the node and against the
// period of the heating and cooling cycle found from the exponential.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "runtime/casedata/heaters.h"
#include "runtime/control/control_constants.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/model_blocks.h"
#include "runtime/thermal/crank_nicolson.h"
#include "tests/casedata/heater_fixture.h"
#include "tests/support/model_fixture.h"
#include "tests/support/network_fixture.h"

namespace heater_transient_test {

constexpr double kC = 1000.0;    // capacitance of the heated node
constexpr double kG = 2.0;       // its conductor to the boundary at 0
constexpr double kPower = 80.0;  // heater power
constexpr double kT0 = 30.0;
constexpr double kOn = 18.0;
constexpr double kOff = 22.0;
constexpr double kEnd = 20000.0;
constexpr double kStep = 1.0;

// What the variables 2 block saw at each accepted step.
struct StepRecord {
  double dt;
  double t;   // node temperature at the end of the step
  double qi;  // heat load applied during the step
  std::int32_t on;
};
std::vector<StepRecord>& steps() {
  static std::vector<StepRecord> s;
  return s;
}
std::int32_t unexpected_blocks = 0;

void variables1() {
  GLOC.OPBLOK = "VARIABLES1";
  GLOI.MODEL = 1;
  HEATER_UPDATE();
  GLOC.OPBLOK = "";
}

void variables2() {
  GLOC.OPBLOK = "VARIABLES2";
  GLOI.MODEL = 1;
  HEATER_UPDATE();
  GLOC.OPBLOK = "";
  steps().push_back({GLOR.DTIMEU, gar_thermalnodetemps(1), gar_thermalnodeheatsourcesinternal(1),
                     kalvir::heater_list().at(0).heaterOn});
}

void initial() {
  GLOI.MODEL = 1;
  // Measured and heated: the node itself, full power below 18, off from 22.
  htr_Define("THERMOSTAT", "#1", kOn, kOff, 1, "#1", 0, 0, kPower, 0, 0.0, 1.0, 1, 0, 1, 1.0, 1.0, 0.0);
  if (GLOC.SOLVER.trimmed().size() != 0) ++unexpected_blocks;
}

class HeaterTransient : public ::testing::Test {
 protected:
  void SetUp() override {
    kalvir::test::NetworkSpec spec;
    spec.nodes = {{kT0, kC, 'D', 0.0}, {0.0, 0.0, 'B', 0.0}};
    spec.gl = {{1, 2, kG}};
    kalvir::test::build_network(spec);
    kalvir::test::HeaterArrays{}.install();
    kalvir::heaters_reset_for_tests();
    GLOR.TIMEND = kEnd;
    GLOR.OUTINT = kEnd;
    GLOR.DTIMEI = kStep;
    GLOR.DTMAX = kStep;
    steps().clear();
    ModelBlocks b;
    b.variables1 = variables1;
    b.variables2 = variables2;
    register_model_blocks(b);
  }
  void TearDown() override {
    kalvir::heaters_reset_for_tests();
    register_model_blocks(ModelBlocks{});
    gar_release_all_for_tests();
  }
};

TEST_F(HeaterTransient, ThermostatHoldsTheNodeInItsBand) {
  initial();
  ASSERT_EQ(unexpected_blocks, 0);
  int status = -1;
  kalvir::test::capture_messages([&] { status = kalvir::test::run([] { SLCRNC(); }); });
  ASSERT_EQ(status, 0);
  const auto& s = steps();
  ASSERT_EQ(s.size(), static_cast<std::size_t>(kEnd / kStep));

  // The node first cools with the heater off, to tOn.
  std::size_t first_on = 0;
  while (first_on < s.size() && s[first_on].on == 0) ++first_on;
  ASSERT_LT(first_on, s.size());
  const double cool_down = kC / kG * std::log(kT0 / kOn);
  EXPECT_NEAR(static_cast<double>(first_on + 1) * kStep, cool_down, 2 * kStep);

  // From then on it stays in the band, give or take one step of heating or
  // cooling past a switching temperature.
  const double overshoot = kStep * (kPower + kG * kOff) / kC;
  double low = 1e30, high = -1e30;
  for (std::size_t k = first_on; k < s.size(); ++k) {
    low = std::min(low, s[k].t);
    high = std::max(high, s[k].t);
  }
  EXPECT_GE(low, kOn - overshoot);
  EXPECT_LE(high, kOff + overshoot);
  EXPECT_LT(low, kOn + 0.5);  // it does swing through the band
  EXPECT_GT(high, kOff - 0.5);

  // The load is the heater's power exactly when the heater is on.
  std::int32_t switch_ons = 0;
  double on_time = 0.0;
  for (std::size_t k = 0; k < s.size(); ++k) {
    EXPECT_EQ(s[k].qi, s[k].on == 1 ? kPower : 0.0) << k;
    if (s[k].on == 1) on_time += s[k].dt;
    if (s[k].on == 1 && (k == 0 || s[k - 1].on == 0)) ++switch_ons;
  }

  double measured = 0, applied = 0, reported_on_time = 0, duty = 0;
  std::int32_t on = 0, switches = 0;
  htr_Status("THERMOSTAT", 1, measured, on, applied, switches, reported_on_time, duty);
  EXPECT_EQ(switches, switch_ons);
  EXPECT_NEAR(reported_on_time, on_time, 1e-9);
  EXPECT_NEAR(duty, on_time / kEnd, 1e-12);

  // Energy balance of the trapezoidal steps: what the heater put in went
  // into the node's heat content and out through the conductor.
  double lost = 0.0;
  double previous = kT0;
  for (const StepRecord& r : s) {
    lost += kG * 0.5 * (previous + r.t) * r.dt;
    previous = r.t;
  }
  const double stored = kC * (s.back().t - kT0);
  EXPECT_NEAR(kPower * reported_on_time, stored + lost, 1e-6 * kPower * reported_on_time);

  // Each cycle heats from 18 to 22 toward P / G = 40 and cools from 22 to 18
  // toward 0: tau ln(22/18) each way.
  const double tau = kC / kG;
  const double period = tau * std::log((kPower / kG - kOn) / (kPower / kG - kOff)) + tau * std::log(kOff / kOn);
  const double expected_cycles = (kEnd - cool_down) / period;
  EXPECT_NEAR(switches, expected_cycles, 0.03 * expected_cycles);
  // On the average the heater makes up for the loss at the band's middle.
  EXPECT_NEAR(duty * kEnd / (kEnd - cool_down), kG * 0.5 * (kOn + kOff) / kPower, 0.02);
}

}  // namespace heater_transient_test
