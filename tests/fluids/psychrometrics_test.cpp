// Humid air against textbook psychrometrics from -40 to +100 degrees Celsius:
// saturation pressures over water and ice, humidity ratios and enthalpies of
// saturated air at standard pressure (the ASHRAE tables and the textbook
// formula h = 1.006 t + W (2501 + 1.86 t) kJ/kg of dry air), dew and frost
// points, and the humid-air properties of AIRW that the fluid loops use.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/fluids/interface/fluid_names.h"
#include "runtime/fluids/interface/properties.h"
#include "runtime/fluids/interface/property_messages.h"
#include "runtime/fluids/library/psychrometrics.h"
#include "tests/support/message_frames.h"
#include "tests/support/test_support.h"

namespace kalvir::test {
namespace psychrometrics_test {

namespace psy = kalvir::fluids::psychro;

// One row of the tables: temperature (degrees Celsius), saturation pressure
// (Pa) over the surface that forms at that temperature (ice below 0), and
// the humidity ratio of saturated air at 101.325 kPa (kg/kg of dry air; 0:
// not checked). The tables' humidity ratios carry the enhancement factor of
// real moist air, about 1.004, which the ideal mixture leaves out.
struct Row {
  const char* what;
  double t, pws, ws;
};

const Row kSaturated[] = {
    {"minus40", -40.0, 12.85, 0.0000793}, {"minus30", -30.0, 38.02, 0.0002346},
    {"minus20", -20.0, 103.26, 0.0006373}, {"minus10", -10.0, 259.90, 0.0016062},
    {"zero_ice", 0.0, 611.15, 0.003789},  {"triple", 0.01, 611.66, 0.0},
    {"plus10", 10.0, 1228.2, 0.007661},   {"plus20", 20.0, 2339.3, 0.014758},
    {"plus30", 30.0, 4247.0, 0.027329},   {"plus40", 40.0, 7384.9, 0.049141},
    {"plus50", 50.0, 12352.0, 0.086858},  {"plus60", 60.0, 19946.0, 0.15354},
    {"plus80", 80.0, 47414.0, 0.55136},   {"plus100", 100.0, 101420.0, 0.0},
};

class Saturated : public ::testing::TestWithParam<Row> {
 protected:
  void SetUp() override {
    reset_messages();
    fluids::forget_reported_once();
    GLOR.TABS = 273.15;
    GLOR.PABS = 0.0;
  }
};

TEST_P(Saturated, MatchesTheTables) {
  const Row& r = GetParam();
  const double tk = r.t + 273.15;
  const std::vector<Message> msgs = capture_messages([&] {
    // Saturation pressure over the surface, and its exact inverse.
    const double p = psy::saturation_pressure_surface(tk);
    EXPECT_NEAR(p, r.pws, 1.5e-3 * r.pws);
    EXPECT_NEAR(psy::saturation_pressure_surface(psy::dew_point(p, 0)), p, 1e-12 * p);
    EXPECT_NEAR(psy::dew_point(r.pws, 0), tk, 0.02);
    if (r.ws == 0.0) return;
    const double ws = psy::humidity_ratio(p, 101325.0);
    // A vapour pressure off by a fraction e moves the humidity ratio by
    // e P / (P - pv).
    EXPECT_NEAR(ws, r.ws, 8e-3 * r.ws * 101325.0 / (101325.0 - r.pws));
    // Enthalpy per kilogram of dry air, by the textbook formula; and the
    // temperature back from it.
    const double textbook = 1006.0 * r.t + ws * (2.501e6 + 1860.0 * r.t);
    const double h = XENTH(101325.0, r.t, ws, fluids::kHumidAir, 0);
    EXPECT_NEAR(h, textbook, 250.0 + 2e-3 * std::abs(textbook));
    EXPECT_NEAR(XTEMP(101325.0, h, ws, fluids::kHumidAir, 0), r.t, 1e-6);
    // The enthalpy's slope is the specific heat per kilogram of dry air.
    const double dh = XENTH(101325.0, r.t + 0.01, ws, fluids::kHumidAir, 0) -
                      XENTH(101325.0, r.t - 0.01, ws, fluids::kHumidAir, 0);
    EXPECT_NEAR(dh / 0.02, (1.0 + ws) * XCP(101325.0, r.t, ws, fluids::kHumidAir, 0), 2e-3 * dh / 0.02);
    // Density of the mixture: dry air and vapour as near-ideal gases.
    const double rho = XRHO(101325.0, r.t, ws, fluids::kHumidAir, 0);
    const double ideal = (101325.0 - p) / (287.04 * tk) + p / (461.5 * tk);
    EXPECT_NEAR(rho, ideal, 5e-3 * ideal);
  });
  // Sound values, below freezing too: no warning.
  EXPECT_TRUE(msgs.empty()) << msgs.front().routine << ": " << msgs.front().text;
}

INSTANTIATE_TEST_SUITE_P(Tables, Saturated, ::testing::ValuesIn(kSaturated), CaseName{});

// Below 0 degrees both saturation pressures matter: over supercooled water
// (relative humidity) and over ice (frost on a wall).
TEST(Psychrometrics, SupercooledWaterAndIceBelowFreezing) {
  struct Cold {
    double t, water, ice;
  };
  // Supercooled water from the meteorological tables (Goff and Gratch).
  for (const Cold& c : {Cold{-40.0, 18.90, 12.84}, Cold{-30.0, 50.88, 38.01}, Cold{-20.0, 125.4, 103.26},
                        Cold{-10.0, 286.4, 259.90}}) {
    SCOPED_TRACE(c.t);
    EXPECT_NEAR(psy::saturation_pressure_liquid(c.t + 273.15), c.water, 3e-3 * c.water);
    EXPECT_NEAR(psy::saturation_pressure_ice(c.t + 273.15), c.ice, 1.5e-3 * c.ice);
  }
  // Both branches meet at the triple point.
  EXPECT_NEAR(psy::saturation_pressure_liquid(273.16), 611.657, 0.01);
  EXPECT_NEAR(psy::saturation_pressure_ice(273.16), 611.657, 1e-9);
  // Latent heat of deposition, 2834 kJ/kg at the triple point.
  EXPECT_NEAR(psy::sublimation_enthalpy(273.16), 2.8342e6, 2e3);
}

// A node given by pressure, enthalpy and relative humidity: 20 degrees at 50 %
// and 1 bar hold x = 0.6221 pv / (P - pv) with pv = 1169.6 Pa, and the
// textbook enthalpy 1.006 t + x (2501 + 1.86 t) kJ/kg.
TEST(Psychrometrics, StateFromEnthalpyAndRelativeHumidity) {
  const double pv = 0.5 * 2339.3, x = 0.6221 * pv / (1.0e5 - pv);
  const double h = 1006.0 * 20.0 + x * (2.501e6 + 1860.0 * 20.0);
  EXPECT_NEAR(h, 38800.0, 100.0);
  const psy::HumidState s = psy::state_from_enthalpy(h, 0.5, 1.0e5, 0);
  ASSERT_TRUE(s.found);
  // The specific heat of dry air is 1011 J/(kg K) here against the
  // textbook's 1006.
  EXPECT_NEAR(s.tk - 273.15, 20.0, 0.1);
  EXPECT_NEAR(s.x, x, 1e-2 * x);
  // Dry air, and an enthalpy no air above 100 K has.
  EXPECT_NEAR(psy::state_from_enthalpy(10060.0, 0.0, 1.0e5, 0).tk - 273.15, 10.0, 0.1);
  EXPECT_FALSE(psy::state_from_enthalpy(-2.0e5, 0.5, 1.0e5, 0).found);
  EXPECT_FALSE(psy::state_from_enthalpy(h, -0.1, 1.0e5, 0).found);
}

}  // namespace psychrometrics_test
}  // namespace kalvir::test
