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


// Model text of saturated liquid ammonia nodes 1, 2, ... at 8 bar, one per
// status letter of STATUSES, each 1 m long with a flow area of 0.01 m2.
inline std::string ammonia_nodes(const char* model, const std::string& statuses) {
  std::string text = std::string("model ") + model + "\n";
  for (std::size_t n = 1; n <= statuses.size(); ++n)
    text += "fluidnode " + std::to_string(n) + " fluid=AMMONIA FST=P&VQ P=8e5 VQ=0.0 FLA=0.01 FL=1 VOL=0.01 status=" +
            statuses[n - 1] + "\n";
  return text;
}

}  // namespace kalvir::test
