#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "runtime/fluids/library/temperature_tables.h"
#include "runtime/platform/process.h"
#include "tests/support/message_frames.h"
#include "tests/support/test_support.h"

namespace temperature_tables_test {

using kalvir::test::printed_messages;
using kalvir::test::Unit6Capture;

const double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(TemperatureTables, Pcnd16InterpolatesWithinItsRangesWithoutWarning) {
  Unit6Capture capture;
  EXPECT_DOUBLE_EQ(PCND16(0, 195.45, 0.0), 0.01526);  // T1 belongs to the table
  EXPECT_NEAR(PCND16(0, 196.35, 0.0), 0.015275, 1e-12);  // midway between A(1) and A(2)
  EXPECT_NEAR(PCND16(0, 332.25, 0.0), 0.03916, 1e-12);   // T2: first point of B
  EXPECT_NEAR(PCND16(0, 263.85, 0.0), 0.02172, 1e-12);
  EXPECT_NEAR(PCND16(0, 347.45, 0.0), 0.044, 1e-12);
  // Model units: 332.25 K is 59.1 degrees with TABS = 273.15.
  EXPECT_NEAR(PCND16(0, 59.1, 273.15), 0.03916, 1e-12);
  // Just below T3 the value comes from B, close to the last point.
  const double below = PCND16(0, 363.05 - 1e-9, 0.0);
  EXPECT_NEAR(below, 0.0635, 1e-8);
  EXPECT_NE(below, 0.0635);
  EXPECT_TRUE(printed_messages(capture.finish()).empty());
}

struct EndCase {
  const char* routine;
  double (*table)(std::int32_t, double, double);
  double t;  // K
  double expected;
  const char* text;
};

TEST(TemperatureTables, OutsideTheTableTheEndValueComesWithAWarning) {
  const EndCase cases[] = {
      {"PCND16", PCND16, 363.05, 0.0635, "Temperature out of range for conductivity function@"},
      {"PCND16", PCND16, 195.44, 0.01526, "Temperature out of range for conductivity function@"},
      {"PCND16", PCND16, kNaN, 0.0635, "Temperature out of range for conductivity function@"},
      {"PCND01", PCND01, 1000.0, 0.4375, "Temperature out of range for conductivity function@"},
      {"PCP16 ", PCP16, 100.0, 1986.81, "Temperature out of range for specific heat function@"},
      {"PCP01 ", PCP01, 624.66, 10680.53, "Temperature out of range for specific heat function@"},
      {"PVSC15", PVSC15, 364.25, 7.6e-05,
       "Temperature out of range for liquid viscosity function@"},
      {"PVSC02", PVSC02, 273.0, 9.226e-06,
       "Temperature out of range for vapour viscosity function@"},
      {"PVSC14", PVSC14, kNaN, 3.037e-05,
       "Temperature out of range for vapour viscosity function@"},
  };
  for (const EndCase& c : cases) {
    Unit6Capture capture;
    EXPECT_EQ(c.table(0, c.t, 0.0), c.expected) << c.routine << " " << c.t;
    const auto messages = printed_messages(capture.finish());
    ASSERT_EQ(messages.size(), 1u) << c.routine;
    EXPECT_EQ(messages[0].severity, "WARNING");
    EXPECT_EQ(messages[0].routine, c.routine);
    EXPECT_EQ(messages[0].code, 1);
    EXPECT_EQ(messages[0].text, kalvir::test::printed(c.text));
  }
}

// Every linear member is continuous at the joint of its ranges: the value just
// below T2 from A and at T2 from B agree.
TEST(TemperatureTables, RangesJoinWithoutAStep) {
  struct Joint {
    double (*table)(std::int32_t, double, double);
    double t2;
  };
  const Joint joints[] = {
      {PCND01, 447.76}, {PCND08, 412.65}, {PCND16, 332.25}, {PCP02, 470.96}, {PCP13, 312.25},
      {PCP16, 331.95},  {PVSC02, 475.0},  {PVSC12, 343.15}, {PVSC16, 331.95},
  };
  for (const Joint& j : joints) {
    const double at = j.table(0, j.t2, 0.0);
    const double below = j.table(0, j.t2 - 1e-7, 0.0);
    EXPECT_NEAR(below, at, 1e-6 * std::abs(at)) << j.t2;
  }
}

TEST(TemperatureTables, Pkt15IncludesItsUpperBound) {
  Unit6Capture capture;
  EXPECT_NEAR(PKT15(0, 91.0, 273.15), 7.67e-9, 1e-23);
  EXPECT_NEAR(PKT15(0, -77.0, 273.15), 4.5e-10, 1e-24);
  EXPECT_NEAR(PKT15(0, 31.0, 273.15), 1.83e-9, 1e-23);
  EXPECT_NEAR(PKT15(0, -23.0, 273.15), 9.8e-10, 1e-23);
  EXPECT_NEAR(PKT15(0, 61.0, 273.15), 3.25e-9, 1e-23);
  // Between whole degrees the table is linear.
  const double mid = PKT15(0, 60.5, 273.15);
  EXPECT_NEAR(mid, 0.5 * (PKT15(0, 60.0, 273.15) + PKT15(0, 61.0, 273.15)), 1e-22);
  EXPECT_TRUE(printed_messages(capture.finish()).empty());

  for (const double t : {91.001, -77.001, kNaN}) {
    Unit6Capture out;
    const double v = PKT15(0, t, 273.15);
    EXPECT_NEAR(v, t < 0.0 ? 4.5e-10 : 7.67e-9, 1e-23) << t;
    const auto messages = printed_messages(out.finish());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].routine, "PKT15 ");
    EXPECT_EQ(messages[0].code, 1);
    EXPECT_EQ(messages[0].text, "Temperature out of range for compressibility function");
  }
}

TEST(AirPolynomials, ValuesAt300KelvinAndNoRangeLimit) {
  Unit6Capture capture;
  EXPECT_NEAR(PCND00(300.0, 0.0), 0.0266573, 5e-8);
  EXPECT_NEAR(PCP00(300.0, 0.0), 1010.747, 5e-4);
  EXPECT_NEAR(PVSC00(300.0, 0.0), 1.851205e-5, 5e-12);
  EXPECT_NEAR(PCP00(26.85, 273.15), 1010.747, 5e-4);
  // Far outside any sensible range the polynomials still answer, silently.
  EXPECT_TRUE(std::isfinite(PCND00(5000.0, 0.0)));
  EXPECT_TRUE(std::isfinite(PVSC00(-100.0, 0.0)));
  EXPECT_TRUE(printed_messages(capture.finish()).empty());
}

TEST(Ppoly, AddsTheTermsInIncreasingPowers) {
  const std::array<double, 4> c = {2.0, -3.0, 0.5, 0.25};
  EXPECT_EQ(PPOLY(7.0, c, 1), 2.0);
  EXPECT_EQ(PPOLY(kNaN, c, 1), 2.0);
  EXPECT_EQ(PPOLY(7.0, c, 2), 2.0 - 21.0);
  EXPECT_EQ(PPOLY(2.0, c, 4), 2.0 - 6.0 + 2.0 + 2.0);
  EXPECT_EQ(PPOLY(2.0, c, 3), 2.0 - 6.0 + 2.0);  // only the first N coefficients
}

TEST(Ppoly, ACountBeyondTheCoefficientsStopsTheRun) {
  const std::array<double, 3> c = {1.0, 2.0, 3.0};
  for (const std::int32_t n : {4, 0, -1}) {
    Unit6Capture capture;
    const int status = kalvir::platform::run_program([&] { PPOLY(1.0, c, n); });
    capture.finish();
    EXPECT_EQ(status, 1) << n;
  }
}

}  // namespace temperature_tables_test
