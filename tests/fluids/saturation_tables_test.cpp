#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <span>
#include <string>
#include <utility>

#include "runtime/fluids/library/saturation_tables.h"
#include "runtime/fluids/library/table_data.h"
#include "runtime/fluids/library/table_engine.h"
#include "runtime/fluids/library/temperature_tables.h"
#include "tests/support/message_frames.h"
#include "tests/support/model_fixture.h"
#include "tests/support/test_support.h"

namespace saturation_tables_test {

using kalvir::test::printed_messages;
using kalvir::test::Unit6Capture;

const double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(SaturationTables, Peth02ParabolaThroughThreePoints) {
  Unit6Capture capture;
  EXPECT_EQ(PETH02(0, 0.0, 610.0), 2503786.0);  // the lower bound belongs to the table
  // 610, 810 and 1010 Pa with the weights 0.375, 0.75 and -0.125.
  EXPECT_NEAR(PETH02(0, 0.0, 710.0), 2506767.0, 5e-4);
  // The last interval of range 1 takes 20410, 20610 and 20810 Pa.
  EXPECT_NEAR(PETH02(0, 0.0, 20710.0), 2609584.125, 5e-4);
  EXPECT_NEAR(PETH02(0, 0.0, 20090809.0), 2402141.565, 5e-4);
  // Grid points give their values: the joint point from the next range.
  EXPECT_NEAR(PETH02(0, 0.0, 810.0), 2509567.0, 1e-6);
  EXPECT_NEAR(PETH02(0, 0.0, 20810.0), 2609773.0, 1e-6);
  // Pressure in model units with the offset beside it.
  EXPECT_NEAR(PETH02(0, 100000.0, 710.0 - 100000.0), 2506767.0, 5e-4);
  EXPECT_TRUE(printed_messages(capture.finish()).empty());
}

TEST(SaturationTables, Peth16Range3StartsBelowTheEndOfRange2) {
  Unit6Capture capture;
  // Still range 2 (its last interval: 3268000, 3298000, 3328000 Pa).
  EXPECT_NEAR(PETH16(0, 0.0, 3300000.0), 1167081.29, 5e-3);
  // From 3328000 Pa range 3 applies, from its first point at 3300000 Pa.
  EXPECT_NEAR(PETH16(0, 0.0, 3328000.0), 1166813.255, 5e-4);
  EXPECT_TRUE(printed_messages(capture.finish()).empty());
}

TEST(SaturationTables, Pts02GivesModelTemperatures) {
  Unit6Capture capture;
  EXPECT_NEAR(PTS02(0, 0.0, 101325.0, 0.0), 373.1500684, 5e-8);
  EXPECT_NEAR(PTS02(0, 0.0, 101325.0, 273.15), 100.0000684, 5e-8);
  EXPECT_NEAR(PTS02(0, 101325.0, 0.0, 273.15), 100.0000684, 5e-8);
  EXPECT_TRUE(printed_messages(capture.finish()).empty());
}

TEST(SaturationTables, Prho11IsLinear) {
  Unit6Capture capture;
  // Half a step (2.2 K) above the lower bound: the mean of the first two values.
  EXPECT_NEAR(PRHO11(0, 200.95, 0.0),
              0.5 * (static_cast<double>(1771.35f) + static_cast<double>(1766.82f)), 1e-9);
  EXPECT_NEAR(PRHO11(0, 200.95, 0.0), 1769.085, 5e-4);
  EXPECT_TRUE(printed_messages(capture.finish()).empty());
}

TEST(SaturationTables, Prho16NearTheCriticalPoint) {
  Unit6Capture capture;
  EXPECT_NEAR(PRHO16(0, 405.1, 0.0), 195.667203, 5e-7);
  EXPECT_NEAR(PRHO16(0, 300.0, 0.0), static_cast<double>(8.248f), 1e-9);
  EXPECT_TRUE(printed_messages(capture.finish()).empty());
}

// The saturation-temperature and saturated-liquid enthalpy members read
// backwards (the compressed liquid's saturation point and the start of its
// temperature iteration): in every interval of every range, the last
// interval (whose parabola is the previous one's) and the joints included,
// the inverse of a value gives back the abscissa that has it; outside the
// values the member's ends, and the upper bound for a value that is not a
// number.
TEST(SaturationTables, RisingMembersReadBackwards) {
  using kalvir::fluids::Interpolation;
  using kalvir::fluids::TableRange;
  using kalvir::fluids::TableSide;
  const std::pair<const char*, std::span<const TableRange>> members[] = {
      {"PTS02", kalvir::fluids::kPTS02},   {"PTS04", kalvir::fluids::kPTS04},
      {"PTS06", kalvir::fluids::kPTS06},   {"PTS08", kalvir::fluids::kPTS08},
      {"PTS10", kalvir::fluids::kPTS10},   {"PTS12", kalvir::fluids::kPTS12},
      {"PTS14", kalvir::fluids::kPTS14},   {"PTS16", kalvir::fluids::kPTS16},
      {"PETH01", kalvir::fluids::kPETH01}, {"PETH03", kalvir::fluids::kPETH03},
      {"PETH05", kalvir::fluids::kPETH05}, {"PETH07", kalvir::fluids::kPETH07},
      {"PETH09", kalvir::fluids::kPETH09}, {"PETH11", kalvir::fluids::kPETH11},
      {"PETH13", kalvir::fluids::kPETH13}, {"PETH15", kalvir::fluids::kPETH15}};
  for (const auto& [name, table] : members) {
    SCOPED_TRACE(name);
    for (const TableRange& r : table) {
      for (std::size_t k = 0; k + 1 < r.y.size(); ++k) {
        for (const double f : {0.0, 1e-9, 0.1, 0.37, 0.5, 0.83, 0.999999}) {
          // A grid point by its listed value (the parabola there may round
          // below it, under the member's lowest value).
          const double x = r.first + (static_cast<double>(k) + f) * r.step;
          const double y = f == 0.0 ? r.y[k] : kalvir::fluids::table_lookup(table, x, Interpolation::kParabola).value;
          // Where the parabola of a range's last interval overshoots the
          // range's last value, that value is read in the next range.
          if (!(y < r.y.back())) continue;
          const auto back = kalvir::fluids::table_inverse(table, y);
          ASSERT_EQ(back.side, TableSide::kInside) << x;
          ASSERT_NEAR(back.value, x, 1e-9 * r.step) << "interval " << k << " of the range from " << r.first;
        }
      }
    }
    const TableRange& first = table.front();
    const TableRange& last = table.back();
    const auto below = kalvir::fluids::table_inverse(table, std::nextafter(first.y.front(), -1e300));
    EXPECT_EQ(below.side, TableSide::kBelow);
    EXPECT_EQ(below.value, first.first);
    for (const double y : {last.y.back(), std::numeric_limits<double>::infinity(), kNaN}) {
      const auto above = kalvir::fluids::table_inverse(table, y);
      EXPECT_EQ(above.side, TableSide::kAbove) << y;
      EXPECT_EQ(above.value, last.last) << y;
    }
  }
}

struct EndCase {
  const char* routine;
  double value;
  double expected;
  int code;
  std::string text;  // without its trailing blanks
};

TEST(SaturationTables, OutsideTheTableTheEndValueComesWithAWarning) {
  const std::string enthalpy = "Pressure out of range for vapour enthalpy function@";
  const std::string vapour = "Pressure out of range for saturated vapour density function@";
  const std::string liquid = "Temperature out of range for liquid density function@";
  const std::string saturation = "Pressure out of range for saturation temperature function@";
  Unit6Capture capture;
  const EndCase cases[] = {
      {"PETH02", PETH02(0, 0.0, 609.99), 2503786.0, 1, enthalpy},
      {"PETH02", PETH02(0, 0.0, 20090810.0), 2402141.5, 1, enthalpy},
      {"PETH01", PETH01(0, 0.0, kNaN), static_cast<double>(1833800.4f), 1, enthalpy},
      {"PETH15", PETH15(0, 0.0, 9999.0), static_cast<double>(-435268.9f), 1, enthalpy},
      {"PRHO02", PRHO02(0, 0.0, 11.0e6), static_cast<double>(63.4171f), 1, vapour},
      {"PRHO14", PRHO14(0, 0.0, 600.0), static_cast<double>(0.0527f), 1, vapour},
      {"PRHO05", PRHO05(0, 384.973, 0.0), static_cast<double>(722.928f), 1, liquid},
      {"PRHO11", PRHO11(0, 150.0, 0.0), static_cast<double>(1771.35f), 1, liquid},
      {"PTS02 ", PTS02(0, 0.0, 500.0, 273.15), (static_cast<double>(0.188f) + 273.15) - 273.15,
       1, saturation},
      {"PTS16 ", PTS16(0, 0.0, 2.0e7, 0.0), static_cast<double>(131.0773f) + 273.15, 1,
       saturation},
  };
  const auto messages = printed_messages(capture.finish());
  ASSERT_EQ(messages.size(), std::size(cases));
  for (std::size_t k = 0; k < std::size(cases); ++k) {
    const EndCase& c = cases[k];
    EXPECT_EQ(c.value, c.expected) << c.routine;
    EXPECT_EQ(messages[k].severity, "WARNING");
    EXPECT_EQ(messages[k].routine, c.routine);
    EXPECT_EQ(messages[k].code, c.code) << c.routine;
    EXPECT_EQ(messages[k].text, kalvir::test::printed(c.text)) << c.routine;
  }
}

TEST(SaturationTables, Prho16NamesTheTemperatureItWasGiven) {
  {
    Unit6Capture capture;
    EXPECT_EQ(PRHO16(0, -80.0, 273.15), static_cast<double>(0.063f));
    const std::string out = capture.finish();
    const auto messages = printed_messages(out);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].routine, "PRHO16");
    EXPECT_EQ(messages[0].code, 1);
    const std::string text =
        "Temperature too low for saturated vapour density of ammonia@Temperature =     -80.00";
    EXPECT_EQ(messages[0].text, kalvir::test::printed(text));
    // Columns 75 to 84 of the 500-character text hold the temperature.
    EXPECT_EQ(text.substr(74, 10), "    -80.00");
  }
  {
    Unit6Capture capture;
    EXPECT_EQ(PRHO16(0, 405.15, 0.0), static_cast<double>(197.996f));
    const auto messages = printed_messages(capture.finish());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].code, 2);
    const std::string text =
        "Temperature too high for saturated vapour density of ammonia@Temperature =     405.15";
    EXPECT_EQ(messages[0].text, kalvir::test::printed(text));
    EXPECT_EQ(text.substr(75, 10), "    405.15");
  }
  {
    Unit6Capture capture;
    EXPECT_EQ(PRHO16(0, kNaN, 0.0), static_cast<double>(197.996f));
    const auto messages = printed_messages(capture.finish());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].code, 2);
    EXPECT_EQ(messages[0].text,
              "Temperature too high for saturated vapour density of ammoniaTemperature =        NaN");
  }
}

// A main model with the user nodes 10 and 11: warnings name the node they
// are given.
class NamedNode : public ::testing::Test {
 protected:
  void SetUp() override { kalvir::test::build_node_tree({{.name = "MAIN", .level = 0, .thermal = {10, 11}}}); }
  void TearDown() override { kalvir::test::release_model(); }
};

TEST_F(NamedNode, WarningsNameTheNodeAfterTheirText) {
  Unit6Capture capture;
  EXPECT_EQ(PETH02(2, 0.0, 100.0), 2503786.0);
  EXPECT_EQ(PRHO16(2, -80.0, 273.15), static_cast<double>(0.063f));
  EXPECT_EQ(PCND16(1, 400.0, 0.0), 0.0635);
  EXPECT_EQ(PETH02(0, 0.0, 100.0), 2503786.0);
  const auto messages = printed_messages(capture.finish());
  ASSERT_EQ(messages.size(), 4u);
  EXPECT_EQ(messages[0].text,
            "Pressure out of range for vapour enthalpy function Node 11 in main model");
  EXPECT_EQ(messages[1].text,
            "Temperature too low for saturated vapour density of ammoniaTemperature =     -80.00 "
            "Node 11 in main model");
  EXPECT_EQ(messages[2].text,
            "Temperature out of range for conductivity function Node 10 in main model");
  EXPECT_EQ(messages[3].text, "Pressure out of range for vapour enthalpy function");
}

}  // namespace saturation_tables_test
