// The compressed liquid of every two-phase fluid: its enthalpy's slope in
// pressure at constant temperature must be the liquid's own v (1 - beta T)
// (what its density and its Joule-Thomson coefficient say), in sign and
// size, over the liquid range its tables cover up to 10 K below the critical
// point; at the saturation temperature it must give the saturated values,
// which stay the tables' to the last bit; its temperature must invert its
// enthalpy; and water's must follow IAPWS-95.
#include "runtime/fluids/interface/compressed_liquid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/messages.h"
#include "runtime/fluids/interface/properties.h"
#include "runtime/fluids/library/saturation_tables.h"
#include "runtime/fluids/library/table_data.h"
#include "runtime/platform/units.h"
#include "tests/fluids/property_frames.h"
#include "tests/support/test_support.h"

namespace compressed_liquid_test {

using kalvir::test::CaseName;
using kalvir::test::Outcome;
using kalvir::test::run_captured;
using kalvir::test::same_value;

struct Fluid {
  const char* what;
  std::int32_t slot;
  double t_low;   // K: the lower end of the liquid's density and specific-heat tables
  double t_high;  // K: their upper end, or 10 K below the critical point if that comes first
  double p_low;   // Pa: the pressures that the saturation-temperature and the
  double p_high;  //     saturated-liquid enthalpy tables both cover
  double (*peth)(std::int32_t, double, double);          // the saturated-liquid enthalpy
  double (*pts)(std::int32_t, double, double, double);  // the saturation temperature
};

void PrintTo(const Fluid& f, std::ostream* os) { *os << f.what; }

const Fluid kFluids[] = {
    {"ammonia", 1, 195.45, 362.905, 10000.0, 11.0e6, &PETH15, &PTS16},
    {"water", 2, 273.16, 623.45, 610.0, 20090810.0, &PETH01, &PTS02},
    {"R11", 5, 199.95, 461.15, 610.0, 4183710.0, &PETH03, &PTS04},
    {"R114", 6, 199.85, 408.86, 610.0, 3190645.0, &PETH11, &PTS12},
    {"R12", 7, 177.6, 375.15, 610.0, 4091308.0, &PETH05, &PTS06},
    {"R21", 8, 188.15, 441.6, 610.0, 5199416.0, &PETH07, &PTS08},
    {"R22", 9, 199.85, 359.17, 610.0, 4899610.0, &PETH09, &PTS10},
    {"R502", 10, 199.15, 345.31, 610.0, 3983710.0, &PETH13, &PTS14},
};

// Model units of the tests: degrees Celsius and pascal.
constexpr double kTabs = 273.15;

class LiquidTest : public ::testing::Test {
 protected:
  void SetUp() override {
    kalvir::messages_reset_for_tests();
    GLOI.MLEVEL = 0;
    GLOI.MSHORT = 0;
    GLOI.TRACE = 0;
    GLOR.TABS = kTabs;
    GLOR.PABS = 0.0;
  }
  void TearDown() override { kalvir::platform::close_all_units(); }
};

class CompressedLiquid : public LiquidTest, public ::testing::WithParamInterface<Fluid> {};
using CompressedWater = LiquidTest;

// No warning but those of the ranges where the tables are known to be off
// (routine XRANGE): the states lie inside the tables.
void expect_inside_the_tables(const Outcome& run) {
  for (const auto& m : run.frames) {
    if (m.routine != "XRANGE") ADD_FAILURE() << m.routine << " " << m.code << " " << m.text;
  }
}

// Pressures from just above the tables' lowest to just below their highest,
// evenly in their logarithm.
std::vector<double> pressures(const Fluid& f, int count) {
  std::vector<double> p;
  const double a = std::log(1.2 * f.p_low);
  const double b = std::log(0.99 * f.p_high);
  for (int i = 0; i < count; ++i) p.push_back(std::exp(a + (b - a) * i / (count - 1)));
  return p;
}

// v (1 - beta T) of the liquid from its density XRHO, by a central difference.
double compression_slope(double P, double T, std::int32_t slot) {
  constexpr double d = 0.01;
  const double rho = XRHO(P, T, 0.0, slot, 0);
  const double drho_dt = (XRHO(P, T + d, 0.0, slot, 0) - XRHO(P, T - d, 0.0, slot, 0)) / (2.0 * d);
  return (1.0 + (T + kTabs) * drho_dt / rho) / rho;
}

TEST_P(CompressedLiquid, PressureSlopeOfTheEnthalpyIsTheLiquidsOwn) {
  const Fluid& f = GetParam();
  struct Point {
    double P, T, slope, own, joule_thomson;
  };
  std::vector<Point> points;
  const Outcome run = run_captured([&] {
    for (const double P : pressures(f, 60)) {
      const double ts = XTEMPS(P, f.slot, 0);
      for (const double below : {0.5, 2.0, 5.0, 15.0, 40.0, 80.0}) {
        const double T = ts - below;
        if (T + kTabs < f.t_low + 1.0 || T + kTabs > f.t_high - 0.1) continue;
        const double dp = 1e-3 * P;
        const double slope = (XENTH(P + dp, T, 0.0, f.slot, 0) - XENTH(P - dp, T, 0.0, f.slot, 0)) / (2.0 * dp);
        points.push_back({P, T, slope, compression_slope(P, T, f.slot),
                          -XJT(P, T, 0.0, f.slot, 0) * XCP(P, T, 0.0, f.slot, 0)});
      }
    }
    return 0.0;
  });
  EXPECT_EQ(run.status, 0);
  expect_inside_the_tables(run);
  ASSERT_GT(points.size(), 150U);
  for (const Point& p : points) {
    SCOPED_TRACE("P = " + std::to_string(p.P) + " Pa, T = " + std::to_string(p.T) + " C");
    EXPECT_EQ(std::signbit(p.slope), std::signbit(p.own)) << p.slope << " against " << p.own;
    EXPECT_LE(std::abs(p.slope - p.own), 0.3 * std::abs(p.own)) << p.slope << " against " << p.own;
    // and the same as the Joule-Thomson coefficient says: -(dh/dP)_T / cp
    EXPECT_LE(std::abs(p.slope - p.joule_thomson), 0.3 * std::abs(p.joule_thomson));
  }
}

TEST_P(CompressedLiquid, AtTheSaturationTemperatureTheSaturatedValues) {
  const Fluid& f = GetParam();
  const Outcome run = run_captured([&] {
    for (const double P : pressures(f, 40)) {
      SCOPED_TRACE("P = " + std::to_string(P));
      // The saturated values are the tables', to the last bit.
      const double ts = XTEMPS(P, f.slot, 0);
      const double hs = XENTHS(P, ts, 0.0, f.slot, 0);
      EXPECT_TRUE(same_value(ts, ((f.pts(0, 0.0, P, kTabs) + kTabs) + 0.0) - kTabs));
      EXPECT_TRUE(same_value(hs, f.peth(0, 0.0, P)));
      if (ts + kTabs < f.t_low || ts + kTabs > f.t_high) continue;
      // The liquid meets them: the same enthalpy at the saturation temperature
      // (to the rounding of the table's inverse), the same temperature at the
      // saturated enthalpy.
      EXPECT_NEAR(XENTH(P, ts, 0.0, f.slot, 0), hs, 1e-9 * std::abs(hs) + 1e-6);
      EXPECT_EQ(XTEMP(P, hs, 0.0, f.slot, 0), ts);
    }
    return 0.0;
  });
  EXPECT_EQ(run.status, 0);
  expect_inside_the_tables(run);
}

TEST_P(CompressedLiquid, TemperatureInvertsTheEnthalpy) {
  const Fluid& f = GetParam();
  const Outcome run = run_captured([&] {
    for (const double P : pressures(f, 12)) {
      const double ts = XTEMPS(P, f.slot, 0);
      // Subcooled, and a liquid a little above its boiling point.
      for (const double below : {0.2, 3.0, 30.0, 120.0, -2.0}) {
        const double T = ts - below;
        // (The iteration may step a little beyond the state; 2 K keeps it
        // inside R21's table, whose specific heat doubles in its last 30 K.)
        if (T + kTabs < f.t_low + 2.0 || T + kTabs > f.t_high) continue;
        const double h = XENTH(P, T, 0.0, f.slot, 0);
        EXPECT_NEAR(XTEMP(P, h, 0.0, f.slot, 0), T, 1e-6) << "P = " << P << ", T = " << T;
      }
    }
    // Colder than the lowest temperature of the saturation table, where the
    // saturated liquid's enthalpy goes on by the specific heat (water,
    // ammonia, R11 and R21 have liquid tables that reach there).
    const double coldest = XTEMPS(f.p_low, f.slot, 0);
    if (coldest + kTabs > f.t_low + 0.1) {
      const double T = 0.5 * (coldest + f.t_low - kTabs);
      for (const double P : {1.0e5, 2.0e6}) {
        EXPECT_NEAR(XTEMP(P, XENTH(P, T, 0.0, f.slot, 0), 0.0, f.slot, 0), T, 1e-6);
      }
    }
    return 0.0;
  });
  EXPECT_EQ(run.status, 0);
  expect_inside_the_tables(run);
}

INSTANTIATE_TEST_SUITE_P(Fluids, CompressedLiquid, ::testing::ValuesIn(kFluids), CaseName{});

// The liquid's enthalpy and temperature read the saturation-temperature and
// saturated-liquid enthalpy tables backwards: every value of theirs must rise
// with the pressure, range by range and across the joints.
TEST(SaturationLineTables, RiseWithPressure) {
  using kalvir::fluids::TableRange;
  const std::vector<std::span<const TableRange>> tables = {
      kalvir::fluids::kPTS02, kalvir::fluids::kPTS04, kalvir::fluids::kPTS06, kalvir::fluids::kPTS08,
      kalvir::fluids::kPTS10, kalvir::fluids::kPTS12, kalvir::fluids::kPTS14, kalvir::fluids::kPTS16,
      kalvir::fluids::kPETH01, kalvir::fluids::kPETH03, kalvir::fluids::kPETH05, kalvir::fluids::kPETH07,
      kalvir::fluids::kPETH09, kalvir::fluids::kPETH11, kalvir::fluids::kPETH13, kalvir::fluids::kPETH15};
  for (std::size_t t = 0; t < tables.size(); ++t) {
    double previous = -std::numeric_limits<double>::infinity();
    for (const TableRange& r : tables[t]) {
      EXPECT_EQ(r.y.front(), previous == -std::numeric_limits<double>::infinity() ? r.y.front() : previous) << t;
      for (std::size_t i = 1; i < r.y.size(); ++i) EXPECT_LT(r.y[i - 1], r.y[i]) << "table " << t << " point " << i;
      previous = r.y.back();
    }
  }
}

// Water against IAPWS-95: the enthalpy gained by compressing the saturated
// liquid at constant temperature, h(P, T) - h(Psat(T), T), J/kg.
TEST_F(CompressedWater, CompressionFollowsIapws95) {
  GLOR.TABS = 0.0;
  struct Reference {
    double T, psat, P, dh, tolerance;
  };
  // Within 2 % where the gain is large; within 700 J/kg (0.15 K of sensible
  // heat) near the critical point, where the tables' own density slopes lead.
  const Reference kReference[] = {
      {300.0, 3536.81, 10e6, 9169.4, 0.02 * 9169.4},     {300.0, 3536.81, 20e6, 18272.9, 0.02 * 18272.9},
      {373.15, 101418.0, 10e6, 7450.1, 0.02 * 7450.1},  {373.15, 101418.0, 20e6, 15002.3, 0.02 * 15002.3},
      {450.0, 932204.0, 10e6, 4778.2, 0.02 * 4778.2},   {450.0, 932204.0, 20e6, 10239.3, 0.02 * 10239.3},
      {520.0, 3768950.0, 10e6, 268.6, 700.0},           {520.0, 3768950.0, 20e6, 1463.0, 700.0},
      {580.0, 9447970.0, 10e6, -850.5, 700.0},          {580.0, 9447970.0, 20e6, -12641.7, 700.0},
  };
  const Outcome run = run_captured([&] {
    for (const Reference& r : kReference) {
      const double dh = XENTH(r.P, r.T, 0.0, 2, 0) - XENTH(r.psat, r.T, 0.0, 2, 0);
      EXPECT_NEAR(dh, r.dh, r.tolerance) << "T = " << r.T << " K, P = " << r.P << " Pa";
    }
    return 0.0;
  });
  EXPECT_EQ(run.status, 0);
}

}  // namespace compressed_liquid_test
