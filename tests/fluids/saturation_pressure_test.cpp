#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "runtime/control/control_constants.h"
#include "runtime/fluids/library/saturation_pressure.h"
#include "runtime/fluids/library/surface_tension.h"
#include "tests/support/message_frames.h"
#include "tests/support/test_support.h"

namespace saturation_pressure_test {

using kalvir::test::printed;
using kalvir::test::printed_messages;
using kalvir::test::Unit6Capture;

using Psat = double (*)(double, double, double);

struct PressureCase {
  const char* name;
  Psat routine;
  double ta;        // K
  double expected;  // Pa
  double tolerance;
};

// Values at 1 atm and the other stated points; the refrigerants' bounds to
// the last digit.
TEST(SaturationPressure, EquationsGiveTheStatedPressures) {
  const PressureCase cases[] = {
      {"PSAT02", PSAT02, 373.15, 101324.947, 5e-4},
      {"PSAT02", PSAT02, 293.15, 2338.622, 5e-4},
      {"PSAT02", PSAT02, 647.25, 22093000.0, 1e-8},  // Tr = 1 gives Pc
      {"PSAT16", PSAT16, 239.82, 101335.31, 5e-3},
      {"PSAT16", PSAT16, 300.0, 1061382.49, 5e-3},
      {"PSAT16", PSAT16, 405.4, 11333000.0, 1e-8},
      {"PSAT06", PSAT06, 243.37, 101315.26, 5e-3},
      {"PSAT10", PSAT10, 232.35, 101077.22, 5e-3},
      {"PSAT04", PSAT04, 471.15, 4410866.026700566, 0.0},
      {"PSAT06", PSAT06, 385.15, 4115482.3937187004, 0.0},
      {"PSAT08", PSAT08, 451.6, 5133058.629312248, 0.0},
      {"PSAT10", PSAT10, 369.17, 4978482.861197563, 0.0},
      {"PSAT12", PSAT12, 418.86, 3263303.8527741577, 0.0},
      {"PSAT14", PSAT14, 355.31, 4075718.556003048, 0.0},
  };
  Unit6Capture capture;
  for (const PressureCase& c : cases) {
    EXPECT_NEAR(c.routine(0.0, 0.0, c.ta), c.expected, c.tolerance) << c.name << " at " << c.ta;
  }
  EXPECT_TRUE(printed_messages(capture.finish()).empty());
}

TEST(SaturationPressure, ResultIsInModelUnitsAndTemperatureInModelUnits) {
  Unit6Capture capture;
  // 100 degrees Celsius with TABS = 273.15, pressure relative to 1 bar.
  EXPECT_NEAR(PSAT02(100000.0, 273.15, 100.0), 101324.947 - 100000.0, 5e-4);
  EXPECT_NEAR(PSAT16(100000.0, 273.15, 300.0 - 273.15), 1061382.49 - 100000.0, 5e-3);
  EXPECT_NEAR(PSAT06(100000.0, 273.15, 243.37 - 273.15), 101315.26 - 100000.0, 5e-3);
  EXPECT_TRUE(printed_messages(capture.finish()).empty());
}

// Slope check between the equations and their ends: continuous at the bounds.
TEST(SaturationPressure, RefrigerantPressureIsContinuousAtItsBound) {
  const Psat routines[] = {PSAT04, PSAT06, PSAT08, PSAT10, PSAT12, PSAT14};
  const double bounds[] = {471.15, 385.15, 451.6, 369.17, 418.86, 355.31};
  Unit6Capture capture;
  for (int k = 0; k < 6; ++k) {
    const double below = routines[k](0.0, 0.0, bounds[k] - 1e-9);
    const double above = routines[k](0.0, 0.0, bounds[k] + 1e-9);
    EXPECT_NEAR(below / above, 1.0, 1e-9) << k;
    EXPECT_GT(routines[k](0.0, 0.0, bounds[k] - 1.0), routines[k](0.0, 0.0, bounds[k] - 2.0));
  }
  capture.finish();
}

struct OutOfRangeCase {
  const char* routine;
  Psat psat;
  double pabs;
  double tabs;
  double t;          // model units
  double expected;   // model units
  int code;
  std::string text;  // the 255-character text without its trailing blanks
};

TEST(SaturationPressure, OutOfRangeReturnsTheEndPressureWithADiagnostic) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const OutOfRangeCase cases[] = {
      {"PSAT02", PSAT02, 100000.0, 273.15, 400.0, 22093000.0 - 100000.0, 1,
       "Temperature greater than critical temperature@Temperature too high for calculation of "
       "saturation pressure of water. Temperature =     400.00; critical pressure assumed."},
      {"PSAT02", PSAT02, 100000.0, 273.15, -300.0, -100000.0, 2,
       "Temperature less than absolute zero@Temperature too low for calculation of saturation "
       "pressure of water. Temperature =    -300.00; zero pressure assumed."},
      {"PSAT16", PSAT16, 0.0, 0.0, 405.5, 11333000.0, 1,
       "Temperature greater than critical temperature@Temperature too high for calculation of "
       "saturated pressure of ammonia. Temperature =     405.50; critical pressure assumed."},
      {"PSAT16", PSAT16, 5.0, 0.0, 0.0, -5.0, 2,
       "Temperature is less than absolute zero@Temperature too low for calculation of saturated "
       "pressure of ammonia. Temperature =        0.00; Zero pressure assumed."},
      {"PSAT04", PSAT04, 100.0, 0.0, 471.16, 4410866.026700566 - 100.0, 2,
       "Temperature greater than critical temperature@Temperature too high for calculation of "
       "saturation pressure of R11. Temperature =     471.16; critical pressure assumed."},
      {"PSAT04", PSAT04, 100.0, 273.15, -273.15, -100.0, 1,
       "Temperature is less than absolute zero@Temperature too low for calculation of "
       "saturation pressure of R11. Temperature =    -273.15; zero pressure assumed."},
      {"PSAT12", PSAT12, 0.0, 0.0, 1.0e12, 3263303.8527741577, 2,
       "Temperature greater than critical temperature@Temperature too high for calculation of "
       "saturation pressure of R114. Temperature = **********; critical pressure assumed."},
      {"PSAT14", PSAT14, 0.0, 0.0, nan, 4075718.556003048, 2,
       "Temperature greater than critical temperature@Temperature too high for calculation of "
       "saturation pressure of R502. Temperature =        NaN; critical pressure assumed."},
      {"PSAT02", PSAT02, 0.0, 0.0, nan, 22093000.0, 1,
       "Temperature greater than critical temperature@Temperature too high for calculation of "
       "saturation pressure of water. Temperature =        NaN; critical pressure assumed."},
  };
  for (const OutOfRangeCase& c : cases) {
    Unit6Capture capture;
    EXPECT_EQ(c.psat(c.pabs, c.tabs, c.t), c.expected) << c.routine << " " << c.t;
    const auto messages = printed_messages(capture.finish());
    ASSERT_EQ(messages.size(), 1u) << c.routine;
    EXPECT_EQ(messages[0].severity, "DIAGNOSTIC");
    EXPECT_EQ(messages[0].routine, c.routine);
    EXPECT_EQ(messages[0].code, c.code) << c.routine;
    EXPECT_EQ(messages[0].text, printed(c.text));
  }
}

TEST(SaturationPressure, DiagnosticsAreSilentAtMessageLevelOne) {
  const std::int32_t saved = GLOI.MLEVEL;
  GLOI.MLEVEL = 1;
  Unit6Capture capture;
  EXPECT_EQ(PSAT10(0.0, 0.0, 400.0), 4978482.861197563);
  EXPECT_TRUE(printed_messages(capture.finish()).empty());
  GLOI.MLEVEL = saved;
}

using Psig = double (*)(double, double);

TEST(SurfaceTension, PowerLawsGiveTheStatedValuesAndVanishAtTheCriticalPoint) {
  EXPECT_NEAR(PSIG01(300.0, 0.0), 0.0716898, 5e-8);
  EXPECT_NEAR(PSIG15(300.0, 0.0), 0.0200401, 5e-8);
  EXPECT_NEAR(PSIG03(300.0, 0.0), 0.0206038, 5e-8);
  EXPECT_NEAR(PSIG01(26.85, 273.15), 0.0716898, 5e-8);

  struct Critical {
    Psig psig;
    double tc;
  };
  const Critical laws[] = {{PSIG01, 647.15}, {PSIG03, 471.15}, {PSIG05, 385.17},
                           {PSIG07, 451.61}, {PSIG09, 369.17}, {PSIG11, 418.86},
                           {PSIG13, 355.31}, {PSIG15, 405.4}};
  for (const Critical& c : laws) {
    EXPECT_EQ(c.psig(c.tc, 0.0), 0.0) << c.tc;
    // Continuous into the supercritical side, where there is no liquid.
    EXPECT_EQ(c.psig(c.tc + 10.0, 0.0), 0.0) << c.tc;
    EXPECT_EQ(c.psig(std::numeric_limits<double>::quiet_NaN(), 0.0), 0.0) << c.tc;
    EXPECT_GT(c.psig(c.tc - 0.01, 0.0), 0.0) << c.tc;
    EXPECT_LT(c.psig(c.tc - 0.01, 0.0), 1e-3) << c.tc;
    EXPECT_GT(c.psig(c.tc - 100.0, 0.0), c.psig(c.tc - 50.0, 0.0)) << c.tc;
  }
  // R12: 0.086215 (1 - 300/385.17)^1.22.
  EXPECT_NEAR(PSIG05(300.0, 0.0), 0.086215 * std::pow(1.0 - 300.0 / 385.17, 1.22), 1e-15);
}

}  // namespace saturation_pressure_test
