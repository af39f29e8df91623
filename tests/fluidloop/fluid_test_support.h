// Helpers of the fluid-loop tests: a model loaded from its MDB description
// (written by the fixture writer and read by the loader, so that lists come
// in the loader's order), with the temperature and pressure offsets of a
// model in degrees Celsius and pascals.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/fluidloop/hydraulics.h"
#include "runtime/fluidloop/support.h"
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

// Work vectors of a hydraulic solution held by the test.
struct Work {
  std::vector<double> viscosity, density, rate, matrix, pressure, head, conductance, rhs;
  std::vector<std::int32_t> codes, table;
  fluidloop::HydraulicWork w;
  Work() {
    const auto nf = static_cast<std::size_t>(FLAGS(flagw::NF)), nm = static_cast<std::size_t>(FLAGS(flagw::NM));
    table.assign(5 * nf, 0);
    const auto index = fluidloop::profile_index(table, static_cast<std::int32_t>(nf));
    std::int32_t length = 0;
    FPNTRS(static_cast<std::int32_t>(nf), index, length);
    viscosity.assign(nf, 0.0);
    density = rate = pressure = rhs = viscosity;
    matrix.assign(static_cast<std::size_t>(length), 0.0);
    head.assign(nm, 0.0);
    conductance = head;
    codes.assign(nm, 0);
    w = {viscosity, density, rate, matrix, pressure, head, conductance, rhs, codes, index};
  }
  Work(const Work&) = delete;
  Work& operator=(const Work&) = delete;
};

// Iteration limits of the hydraulics and the logging model blocks.
inline void hydraulic_constants() {
  GLOI.NLOOPH = 100;
  GLOR.RELXMA = 1.0e-10;
  GLOR.DAMPM = 0.5;
  GLOR.MINDP = 1.0e-6;
  GLOR.MINFLO = 1.0e-12;
  assign_padded(GLOC.MODULE.span(), "FLTMTS");
  register_logging_blocks();
}


}  // namespace kalvir::test
