// Derived fluid-state functions against closed forms and thermodynamic
// consistency.
//
// Constant specific heat: water above 20.09 MPa, between 624.66 K and its
// saturation temperature there, lies beyond the last points of the tables, so
// the liquid's specific heat is the tables' last value whatever T, and the
// saturation temperature and enthalpies are the end values. Air's specific
// heat is a polynomial whose integral is known in closed form.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/messages.h"
#include "runtime/fluids/interface/properties.h"
#include "runtime/platform/units.h"
#include "tests/fluids/property_frames.h"
#include "tests/support/model_fixture.h"

namespace derived_test {

using kalvir::test::Outcome;
using kalvir::test::run_captured;

constexpr std::int32_t kWater = 2;
constexpr std::int32_t kAir = 3;

class Derived : public ::testing::Test {
 protected:
  void SetUp() override {
    kalvir::messages_reset_for_tests();
    GLOI.MLEVEL = 2;  // the fixtures lie outside the tables on purpose
    GLOI.MSHORT = 0;
    GLOI.TRACE = 0;
    GLOR.TABS = 0.0;
    GLOR.PABS = 0.0;
  }
  void TearDown() override {
    GLOI.MLEVEL = 0;
    kalvir::platform::close_all_units();
  }
};

// --- Water at constant specific heat -------------------------------------------------

constexpr double kHighP = 25.0e6;

struct ConstantCp {
  double ts, hl, hv, cl, cv;
};

ConstantCp constant_cp_water() {
  ConstantCp c{};
  c.ts = XTEMPS(kHighP, kWater, 0);
  c.hl = XENTHS(kHighP, c.ts, 0.0, kWater, 0);
  c.hv = XENTHS(kHighP, c.ts, 1.0, kWater, 0);
  c.cl = XCP(kHighP, 630.0, 0.0, kWater, 0);
  c.cv = XCP(kHighP, 700.0, 1.0, kWater, 0);
  return c;
}

TEST_F(Derived, FixtureHasConstantSpecificHeat) {
  const ConstantCp c = constant_cp_water();
  EXPECT_NEAR(c.ts, 366.168 + 273.15, 1e-4);  // the table holds single-precision values
  EXPECT_NEAR(c.hl, 1833800.4, 0.1);
  EXPECT_NEAR(c.hv, 2402141.5, 0.1);
  EXPECT_NEAR(c.cl, 10680.53, 1e-9);
  EXPECT_NEAR(c.cv, 16944.59, 1e-9);
  for (double t : {625.0, 632.5, c.ts}) EXPECT_EQ(XCP(kHighP, t, 0.0, kWater, 0), c.cl);
  EXPECT_EQ(XCPS(kHighP, c.ts, 0.0, kWater, 0), c.cl);
  for (double t : {c.ts, 650.0, 800.0}) EXPECT_EQ(XCP(kHighP, t, 1.0, kWater, 0), c.cv);
}

TEST_F(Derived, IntegralOfAConstantSpecificHeat) {
  const ConstantCp c = constant_cp_water();
  EXPECT_EQ(INTCP(kHighP, 630.0, 630.0, 0.0, kWater, 0), 0.0);
  EXPECT_NEAR(INTCP(kHighP, 630.0, 635.0, 0.0, kWater, 0), 5.0 * c.cl, 1e-9 * c.cl);
  EXPECT_NEAR(INTCP(kHighP, 635.0, 630.0, 0.0, kWater, 0), -5.0 * c.cl, 1e-9 * c.cl);
  EXPECT_NEAR(INTCP(kHighP, 650.0, 750.0, 1.0, kWater, 0), 100.0 * c.cv, 1e-9 * c.cv);
}

TEST_F(Derived, EnthalpyAndTemperatureOfAConstantSpecificHeat) {
  const ConstantCp c = constant_cp_water();
  for (double dt : {-10.0, -0.5}) {
    const double t = c.ts + dt;
    const double h = c.hl + c.cl * dt;
    EXPECT_NEAR(XGHPT1(kHighP, t, 0.0, kWater, 0), h, 1e-6);
    EXPECT_NEAR(XGTPH1(kHighP, h, 0.0, kWater, 0), t, 1e-9);
  }
  for (double dt : {0.5, 40.0}) {
    const double t = c.ts + dt;
    const double h = c.hv + c.cv * dt;
    EXPECT_NEAR(XGHPT1(kHighP, t, 1.0, kWater, 0), h, 1e-6);
    EXPECT_NEAR(XGTPH1(kHighP, h, 1.0, kWater, 0), t, 1e-9);
  }
  // At the saturated enthalpy the first step is 0.
  EXPECT_EQ(XGTPH1(kHighP, c.hl, 0.0, kWater, 0), c.ts);
  EXPECT_EQ(XGTPH1(kHighP, c.hv, 1.0, kWater, 0), c.ts);
}

// --- Air: the polynomial specific heat ------------------------------------------------

// The integral of the air polynomial from ta to tb.
double air_enthalpy_rise(double ta, double tb) {
  constexpr std::array<double, 6> c{1112.3445,     -0.7902267,   1.9743026e-3,
                                    -1.7738141e-6, 7.353156e-10, -1.1509e-13};
  auto antiderivative = [&](double t) {
    double sum = 0.0;
    for (std::size_t k = 0; k < c.size(); ++k) sum += c[k] * std::pow(t, k + 1) / (k + 1.0);
    return sum;
  };
  return antiderivative(tb) - antiderivative(ta);
}

TEST_F(Derived, AirEnthalpyIsTheIntegralOfItsSpecificHeat) {
  // Saturation at 1 K with the saturated-vapour enthalpy 1111.5554 J/kg.
  for (double t : {100.0, 300.0, 1000.0}) {
    const double h = 1111.5554 + air_enthalpy_rise(1.0, t);
    EXPECT_NEAR(XGHPT1(101325.0, t, 1.0, kAir, 0), h, 2e-5 * h);
    EXPECT_NEAR(XENTH(101325.0, t, 1.0, kAir, 0), h, 2e-5 * h);
    EXPECT_NEAR(INTCP(101325.0, 300.0, t, 1.0, kAir, 0), air_enthalpy_rise(300.0, t),
                1e-5 * std::fabs(air_enthalpy_rise(1.0, t)) + 1e-9);
  }
}

TEST_F(Derived, TemperatureInvertsEnthalpy) {
  GLOR.TABS = 273.15;
  struct Case {
    std::int32_t slot;
    double p, t, x;
  };
  const std::vector<Case> cases{{kAir, 101325.0, 20.0, 1.0},   {kAir, 101325.0, 700.0, 1.0},
                                {kWater, 101325.0, 50.0, 0.0}, {kWater, 101325.0, 180.0, 1.0},
                                {1, 101325.0, -60.0, 0.0},     {9, 101325.0, 10.0, 1.0},
                                {5, 101325.0, 60.0, 1.0},      {8, 101325.0, -20.0, 0.0}};
  for (const Case& c : cases) {
    SCOPED_TRACE("slot " + std::to_string(c.slot) + " T " + std::to_string(c.t));
    const double h = XENTH(c.p, c.t, c.x, c.slot, 0);
    // Newton stops on a step below 0.001 K, bisection on a bracket below 0.002 K.
    EXPECT_NEAR(XTEMP(c.p, h, c.x, c.slot, 0), c.t, 0.003);
  }
}

TEST_F(Derived, TemperatureThatIsNotANumberStops) {
  const Outcome o = run_captured(
      [] { return XGTPH1(101325.0, std::numeric_limits<double>::quiet_NaN(), 0.0, kWater, 0); });
  EXPECT_EQ(o.status, 1);
  ASSERT_FALSE(o.frames.empty());
  EXPECT_EQ(o.frames.back().severity, "FATAL ERROR");
  EXPECT_EQ(o.frames.back().routine, "XGTPH1");
  EXPECT_EQ(o.frames.back().code, 1);
}

// Humid air carries its humidity ratio in X, which the saturated states read
// as a quality: the enthalpy answers dry air (X = 0), but the temperature's
// first step needs the saturated-vapour specific heat, which only X >= 1
// reaches, and any ratio between 0 and 1 is an invalid quality.
TEST_F(Derived, HumidAirEnthalpyAndTemperature) {
  GLOR.TABS = 273.15;
  const double h = XGHPT1(101325.0, 20.0, 0.0, 4, 0);
  EXPECT_NEAR(h, air_enthalpy_rise(273.16, 293.15), 1e-5 * h);
  const Outcome dry = run_captured([&] { return XGTPH1(101325.0, h, 0.0, 4, 0); });
  EXPECT_EQ(dry.status, 1);
  ASSERT_FALSE(dry.frames.empty());
  EXPECT_EQ(dry.frames.back().routine, "XCPS  ");
  EXPECT_EQ(dry.frames.back().code, 12);
  const Outcome humid = run_captured([&] { return XGHPT1(101325.0, 20.0, 0.01, 4, 0); });
  EXPECT_EQ(humid.status, 1);
  ASSERT_FALSE(humid.frames.empty());
  EXPECT_EQ(humid.frames.back().routine, "XENTHS");
  EXPECT_EQ(humid.frames.back().code, 4);
}

// --- Quality ------------------------------------------------------------------------

TEST_F(Derived, QualityFromTemperatureIsZeroOrOne) {
  const double ts = XTEMPS(101325.0, kWater, 0);
  EXPECT_EQ(XGXPT(101325.0, ts, kWater, 0), 0.0);
  EXPECT_EQ(XGXPT(101325.0, std::nextafter(ts, 1e9), kWater, 0), 1.0);
  EXPECT_EQ(XGXPT(101325.0, ts - 50.0, kWater, 0), 0.0);
}

TEST_F(Derived, QualityFromEnthalpy) {
  const double ts = XTEMPS(101325.0, kWater, 0);
  const double hl = XENTHS(101325.0, ts, 0.0, kWater, 0);
  const double hv = XENTHS(101325.0, ts, 1.0, kWater, 0);
  EXPECT_EQ(XGXPH(101325.0, hl, kWater, 0), 0.0);
  EXPECT_EQ(XGXPH(101325.0, hl - 1000.0, kWater, 0), 0.0);
  EXPECT_EQ(XGXPH(101325.0, hv, kWater, 0), 1.0);
  EXPECT_EQ(XGXPH(101325.0, hv + 1000.0, kWater, 0), 1.0);
  EXPECT_DOUBLE_EQ(XGXPH(101325.0, (hl + hv) / 2.0, kWater, 0), 0.5);
  EXPECT_DOUBLE_EQ(XGXPH(101325.0, hl + 0.25 * (hv - hl), kWater, 0), 0.25);
}

// --- Density derivatives -------------------------------------------------------------

struct Drho {
  double drdh, drdp, rho;
};
Drho xdrho(double h, std::int32_t slot, double p, double x, double t) {
  Drho d{};
  XDRHO(h, slot, 0, GLOR.PABS, p, x, GLOR.TABS, t, d.drdh, d.drdp, d.rho);
  return d;
}

TEST_F(Derived, SinglephaseDerivativesOfLiquidWater) {
  GLOR.TABS = 273.15;
  const double p = 101325.0;
  const double t = 50.0;
  const Drho d = xdrho(0.0, kWater, p, 0.0, t);
  EXPECT_EQ(d.rho, XRHO(p, t, 0.0, kWater, 0));
  // At constant pressure dh = cp dT, so drho/dh = (drho/dT) / cp.
  const double cp = XCP(p, t, 0.0, kWater, 0);
  const double drdt = (XRHO(p, t + 0.5, 0.0, kWater, 0) - XRHO(p, t - 0.5, 0.0, kWater, 0));
  EXPECT_NEAR(d.drdh, drdt / cp, 0.01 * std::fabs(drdt / cp));
  // Liquid water at 50 C: rho kappa_T + (drho/dT) mu_JT with kappa_T 4.42e-10 1/Pa,
  // drho/dT -0.458 kg/(m3 K), mu_JT = -v (1 - T beta) / cp, beta 4.57e-4 1/K.
  const double mu = -(1.0 / 988.0) * (1.0 - 323.15 * 4.57e-4) / 4181.0;
  const double drdp = 988.0 * 4.42e-10 + (-0.458) * mu;
  EXPECT_NEAR(d.drdp, drdp, 0.05 * drdp);
}

TEST_F(Derived, TwoPhaseDerivatives) {
  GLOR.TABS = 273.15;
  const double p = 101325.0;
  const double t = XTEMPS(p, kWater, 0);
  const double hl = XENTHS(p, t, 0.0, kWater, 0);
  const double hv = XENTHS(p, t, 1.0, kWater, 0);
  for (double x : {0.5, 0.4, 0.9, -0.2}) {
    SCOPED_TRACE(x);
    const double h = hl + x * (hv - hl);
    const Drho d = xdrho(h, kWater, p, x, t);
    EXPECT_EQ(d.rho, XRHO(p, t, x, kWater, 0));
    // The mixture rho(x) with x = (h - hl) / (hv - hl).
    const double rl = XRHOS(p, t, 0.0, kWater, 0);
    const double rv = XRHOS(p, t, 1.0, kWater, 0);
    EXPECT_NEAR(d.drdh, d.rho * d.rho * (rv - rl) / ((hv - hl) * rv * rl),
                1e-12 * std::fabs(d.drdh));
    if (x > 0.0) {
      const double dx = 1e-6;
      const double numeric =
          (XRHO(p, t, x + dx, kWater, 0) - XRHO(p, t, x - dx, kWater, 0)) / (2.0 * dx * (hv - hl));
      EXPECT_NEAR(d.drdh, numeric, 1e-5 * std::fabs(numeric));
    }
    // One-sided at constant enthalpy: up in pressure from X = 0.5 on, down below it.
    const double delta = (x < 0.5 ? -0.001 : 0.001) * p;
    const double t2 = XTEMPS(p + delta, kWater, 0);
    const double hl2 = XENTHS(p + delta, t2, 0.0, kWater, 0);
    const double hv2 = XENTHS(p + delta, t2, 1.0, kWater, 0);
    const double rho2 = XRHO(p + delta, t2, (h - hl2) / (hv2 - hl2), kWater, 0);
    EXPECT_DOUBLE_EQ(d.drdp, (rho2 - d.rho) / delta);
    if (x > 0.0) {
      EXPECT_GT(d.drdp, 0.0);  // raising the pressure condenses
    }
  }
}

TEST_F(Derived, ZeroAbsolutePressureStopsTheTwoPhaseDerivative) {
  const Outcome o = run_captured([] {
    double drdh = 0.0, drdp = 0.0, rho = 0.0;
    XDRHO(0.0, kWater, 0, 0.0, 0.0, 0.5, 273.15, 100.0, drdh, drdp, rho);
    return drdp;
  });
  EXPECT_EQ(o.status, 1);
  ASSERT_FALSE(o.frames.empty());
  EXPECT_EQ(o.frames.back().severity, "FATAL ERROR");
  EXPECT_EQ(o.frames.back().routine, "XDRHO ");
}

// --- Batch properties ----------------------------------------------------------------

class Batch : public Derived {
 protected:
  // A main model MAIN with user nodes 10, 11 and 12.
  void SetUp() override {
    Derived::SetUp();
    GLOI.MLEVEL = 0;
    kalvir::test::build_node_tree({{.name = "MAIN", .level = 0, .thermal = {10, 11, 12}}});
  }
  void TearDown() override {
    kalvir::test::release_model();
    Derived::TearDown();
  }
};

TEST_F(Batch, NothingForNoNodes) {
  std::vector<double> rho{-1.0}, cp{-1.0}, p{1e5}, x{1.0}, t{400.0};
  SCPRHO(0, 0, rho, cp, p, "WATER", 5, x, t);
  EXPECT_EQ(rho[0], -1.0);
  EXPECT_EQ(cp[0], -1.0);
}

TEST_F(Batch, SpecificHeatThenDensityNodeByNode) {
  // Steam at 1100 K lies above both the specific-heat table (warning naming
  // the node) and the density equation's range (warning naming none), and
  // where its specific heat is unsound (warning naming the node).
  std::vector<double> rho(2), cp(2);
  const std::vector<double> p{101325.0, 101325.0}, x{1.0, 1.0}, t{1100.0, 1100.0};
  const std::string names = kalvir::padded("WATER", 24) + kalvir::padded("WATER", 24);
  const Outcome o = run_captured([&] {
    SCPRHO(2, 1, rho, cp, p, names, 24, x, t);
    return 0.0;
  });
  EXPECT_EQ(o.status, 0);
  ASSERT_EQ(o.frames.size(), 6U);
  for (int i : {0, 3}) {
    const std::string node = i == 0 ? " Node 11 in main model" : " Node 12 in main model";
    EXPECT_EQ(o.frames[i].routine, "PCP02 ");
    EXPECT_TRUE(o.frames[i].text.ends_with(node));
    EXPECT_EQ(o.frames[i + 1].routine, "XRANGE");
    EXPECT_TRUE(o.frames[i + 1].text.ends_with(node));
    EXPECT_EQ(o.frames[i + 2].routine, "PROS02");
  }
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(cp[i], 16944.59);
    EXPECT_EQ(rho[i], XRHO(101325.0, 1100.0, 1.0, kWater, 0));
  }
}

}  // namespace derived_test
