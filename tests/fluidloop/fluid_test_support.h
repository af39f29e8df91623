// Helpers of the fluid-loop tests: a model loaded from its MDB description
// (written by the fixture writer and read by the loader, so that lists come
// in the loader's order), with the temperature and pressure offsets of a
// model in degrees Celsius and pascals.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "runtime/control/control_constants.h"
#include "tests/support/mdb_fixtures.h"
#include "tests/thermal/thermal_test_support.h"
#include "tools/mdb_description.h"

namespace kalvir::test {

inline constexpr double kTabs = 273.15;
inline constexpr double kPabs = 0.0;

// Loads the model of an MDB description; TABS and PABS as above, STEFAN set.
inline void load_description(const std::string& text, const TempDir& dir) {
  std::istringstream in(text);
  const mdbw::Model model = mdbw::read_description(in);
  load_ok(model, dir);
  GLOR.TABS = kTabs;
  GLOR.PABS = kPabs;
  GLOR.STEFAN = 5.6704e-8;
}

}  // namespace kalvir::test
