// Orbit-arc time mapping and the wavelength-band rule, checked against
// hand-computed mappings and an independent integration of Planck's law.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "runtime/casedata/orbit_arcs.h"
#include "runtime/casedata/wavelength_bands.h"
#include "tests/casedata/acd_test_model.h"

namespace acd_orbit_bands_test {

using kalvir::test::run_captured;

struct Mapped {
  double tout = 0.0;
  int status = 0;
  std::vector<int> warnings;  // message codes of TIMIN1
};

Mapped map_time(const std::vector<double>& arcs, const std::vector<double>& times, double t) {
  Mapped m;
  const auto run = run_captured([&] {
    TIMIN1(arcs, static_cast<std::int32_t>(arcs.size() / 4), static_cast<std::int32_t>(times.size()), times, t,
           m.tout);
  });
  m.status = run.status;
  for (const auto& msg : run.messages)
    if (msg.routine == "TIMIN1") m.warnings.push_back(msg.code);
  return m;
}

TEST(AcdOrbitArcs, OneArc) {
  kalvir::test::build_acd_model(kalvir::test::acd_model());
  const std::vector<double> arcs{0, 0, 100, 1000};
  const std::vector<double> times{0, 50, 100};
  const struct {
    double t, tout;
    std::vector<int> warnings;
  } cases[] = {
      {250.0, 50.0, {}},
      {1000.0, 100.0, {}},        // end of the last arc, E != A: (E - F) + S
      {1001.0, 100.0, {2}},       // after the last arc
      {-5.0, 0.0, {1}},           // before the first arc
      {1000.00005, 100.0, {2}},   // equal to A within the tolerance, and still after it
      {0.0, 0.0, {}},
      {999.0, 99.0, {}},
  };
  for (const auto& c : cases) {
    const Mapped m = map_time(arcs, times, c.t);
    EXPECT_EQ(m.status, 0) << c.t;
    EXPECT_NEAR(m.tout, c.tout, 1e-9) << c.t;
    EXPECT_EQ(m.warnings, c.warnings) << c.t;
  }
}

TEST(AcdOrbitArcs, TwoArcsWithAGap) {
  kalvir::test::build_acd_model(kalvir::test::acd_model());
  const std::vector<double> arcs{0, 0, 100, 1000, 1500, 1500, 1600, 3000};
  const std::vector<double> times{0, 100, 1500, 1600};
  const struct {
    double t, tout;
  } cases[] = {{1200.0, 100.0 + 1400.0 * 200.0 / 500.0}, {1500.0, 1500.0}, {2750.0, 1550.0}, {1000.0, 100.0}};
  for (const auto& c : cases) {
    const Mapped m = map_time(arcs, times, c.t);
    EXPECT_EQ(m.status, 0) << c.t;
    EXPECT_NEAR(m.tout, c.tout, 1e-9) << c.t;
    EXPECT_TRUE(m.warnings.empty()) << c.t;
  }
}

TEST(AcdOrbitArcs, BeforeTheFirstOrbitOfTheFirstArcTakesTheFirstTimePoint) {
  kalvir::test::build_acd_model(kalvir::test::acd_model());
  const std::vector<double> arcs{0, 10, 110, 1000};
  const std::vector<double> times{10, 60, 110};
  for (double t : {0.0, 5.0, 9.999}) {
    const Mapped m = map_time(arcs, times, t);
    EXPECT_EQ(m.status, 0);
    EXPECT_EQ(m.tout, 10.0) << t;
    EXPECT_TRUE(m.warnings.empty()) << t;
  }
}

TEST(AcdOrbitArcs, MappedTimeOffTheAxisStopsTheRun) {
  kalvir::test::build_acd_model(kalvir::test::acd_model());
  testing::internal::CaptureStderr();
  const Mapped m = map_time({0, 0, 100, 1000}, {0, 50}, 75.0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "TIMIN1 1\n");
  EXPECT_EQ(m.status, 1);
}

TEST(AcdOrbitArcs, RelativeEquality) {
  EXPECT_TRUE(SEQTOL(0.0, 0.0, 1e-7));
  EXPECT_FALSE(SEQTOL(1.0, 1.0000002, 1e-7));
  EXPECT_TRUE(SEQTOL(1000.0, 1000.00005, 1e-7));
  EXPECT_FALSE(SEQTOL(std::numeric_limits<double>::quiet_NaN(), 1.0, 1e-7));
}

// ---- Blackbody fractions, independently: 15/pi^4 times the integral of
// u^3 / (e^u - 1) from c2 / (lambda T) upwards, by Simpson's rule.
double planck_fraction(double lt) {
  if (lt <= 0.0) return 0.0;
  const double x = 1.4387752e-2 / lt;
  if (x > 700.0) return 0.0;
  const auto f = [](double u) { return u * u * u / std::expm1(u); };
  const int n = 20000;
  const double h = 60.0 / n;
  double sum = f(x) + f(x + 60.0);
  for (int i = 1; i < n; ++i) sum += f(x + i * h) * (i % 2 == 1 ? 4.0 : 2.0);
  return 15.0 / std::pow(std::numbers::pi, 4) * sum * h / 3.0;
}

TEST(AcdWavelengthBands, TableFollowsPlancksLaw) {
  for (int k = 0; k <= 1000; ++k) EXPECT_NEAR(kalvir::acds::blackbody_table_entry(k), planck_fraction(k * 1e-4), 1e-7) << k;
  const struct {
    int k;
    double value;
  } telling[] = {{0, 0.0}, {10, 3.207745969502554e-4}, {29, 0.2505609313101264}, {50, 0.6337266353185393},
                 {100, 0.9141572177228262}, {1000, 0.9998552107561238}};
  for (const auto& e : telling) EXPECT_NEAR(kalvir::acds::blackbody_table_entry(e.k), e.value, 1e-7) << e.k;
}

TEST(AcdWavelengthBands, FractionInterpolatesTheTable) {
  const auto entry = kalvir::acds::blackbody_table_entry;
  EXPECT_NEAR(BlackBodyFracPower(0.00015), 0.5 * (entry(1) + entry(2)), 1e-15);
  EXPECT_EQ(BlackBodyFracPower(0.1), 1.0);
  EXPECT_EQ(BlackBodyFracPower(3.0), 1.0);
  EXPECT_EQ(BlackBodyFracPower(0.0), 0.0);
  EXPECT_EQ(BlackBodyFracPower(-0.002), 0.0);
  EXPECT_EQ(BlackBodyFracPower(std::numeric_limits<double>::quiet_NaN()), 0.0);
  // Just below 0.1 the index rounds to the last entry: still inside the table.
  const double below = std::nextafter(0.1, 0.0);
  EXPECT_NEAR(BlackBodyFracPower(below), entry(1000), 1e-12);
}

// The fraction as the rule takes it: linear between exact values at the
// table's points.
double interpolated_fraction(double lt) {
  if (lt <= 0.0) return 0.0;
  if (lt >= 0.1) return 1.0;
  const int j = static_cast<int>(lt * 10000.0);
  const double a = planck_fraction(j * 1e-4), b = planck_fraction((j + 1) * 1e-4);
  return a + (b - a) * (lt - j * 1e-4) * 10000.0;
}

TEST(AcdWavelengthBands, TwoBandGreyBodyValue) {
  const std::vector<double> edges{0.0, 10.0e-6, 1.0};
  const std::vector<double> values{0.3, 0.8};
  const double t1 = 300.0, t2 = 400.0;
  const auto band_sum = [&](double t) {
    const double below = interpolated_fraction(edges[1] * t);
    return values[0] * below + values[1] * (1.0 - below);
  };
  const double s1 = band_sum(t1), s2 = band_sum(t2);
  const double expected = (s1 * std::pow(t1, 4) - s2 * std::pow(t2, 4)) / (std::pow(t1, 4) - std::pow(t2, 4));
  EXPECT_NEAR(RadCondPiecewiseGreyBody(t1, t2, 2, edges, values), expected, 1e-7);
  // The exchange it gives equals the sum of the bands' exchanges.
  const double g = RadCondPiecewiseGreyBody(t1, t2, 2, edges, values);
  EXPECT_NEAR(g * (std::pow(t1, 4) - std::pow(t2, 4)), s1 * std::pow(t1, 4) - s2 * std::pow(t2, 4), 1e-7 * std::pow(t2, 4));
}

TEST(AcdWavelengthBands, EdgeCases) {
  // One band over every wavelength: the band's value.
  EXPECT_NEAR(RadCondPiecewiseGreyBody(250.0, 350.0, 1, std::vector<double>{0.0, 1.0}, std::vector<double>{0.7}), 0.7,
              1e-12);
  // Equal temperatures are moved apart and give a finite value.
  const double equal = RadCondPiecewiseGreyBody(300.0, 300.0, 2, std::vector<double>{0.0, 10.0e-6, 1.0},
                                                std::vector<double>{0.3, 0.8});
  EXPECT_TRUE(std::isfinite(equal));
  EXPECT_GT(equal, 0.3);
  EXPECT_LT(equal, 0.8);
  // No band: 0.
  EXPECT_EQ(RadCondPiecewiseGreyBody(300.0, 400.0, 0, std::vector<double>{0.0}, std::vector<double>{}), 0.0);
  // Temperatures so high that 1e-6 K does not separate them: still finite.
  EXPECT_TRUE(std::isfinite(RadCondPiecewiseGreyBody(1.0e12, 1.0e12, 1, std::vector<double>{0.0, 1.0},
                                                     std::vector<double>{0.5})));
}

}  // namespace acd_orbit_bands_test
