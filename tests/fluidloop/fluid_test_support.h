// Helpers of the fluid-loop tests: a model loaded from its MDB description
// (written by the fixture writer and read by the loader, so that lists come
// in the loader's order), with the temperature and pressure offsets of a
// model in degrees Celsius and pascals.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/model_blocks.h"
#include "runtime/fluidloop/hydraulics.h"
#include "runtime/fluidloop/support.h"
#include "runtime/fluids/interface/fluid_names.h"
#include "runtime/fluids/interface/properties.h"
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


// Constants of a fluid-loop run; the model must be loaded first.
inline void fluid_run_constants() {
  set_transient_constants();
  hydraulic_constants();
  GLOR.FRLXCA = 1.0e-9;
  GLOR.RLCOUR = 1.0;
  GLOI.FSTEPS = 1;
  GLOI.NLOOPT = 0;
}

// An audit of the dry air and the water vapour of a humid-air channel in
// which nothing condenses: fluid node 1 (status R) feeds the channel through
// link 1, the last fluid node (status J) drains it through the last link,
// and every node but the first holds air. After each accepted step the
// audit adds what the links carried over the step (the trapezoidal mean of
// the mass fractions at its ends, as the vapour balance takes them) and, at
// every output, compares the change of what the nodes hold (density from
// the properties at the node's state, times its volume) with it.
struct HumidAudit {
  double vapour_in = 0.0, vapour_out = 0.0, air_in = 0.0, air_out = 0.0;
  double vapour0 = 0.0, air0 = 0.0;
  double worst_vapour = 0.0, worst_air = 0.0;  // largest residual at an output, by throughput
  double worst_ratio = 0.0;                    // largest |x / x_inlet - 1| of any node after a step
  int outputs = 0;
  std::vector<double> w_before;

  static HumidAudit& get() {
    static HumidAudit audit;
    return audit;
  }
  static double fraction(std::int32_t n) {
    const double x = gar_fluidnodespechumidities(n);
    return x / (1.0 + x);
  }
  static void held(double& vapour, double& air) {
    vapour = air = 0.0;
    for (std::int32_t n = 2; n <= FLAGS(flagw::NF); ++n) {
      const double m = XRHO(gar_fluidnodepressures(n), gar_fluidnodetemps(n), gar_fluidnodespechumidities(n),
                            fluids::kHumidAir, FLAGS(flagw::NNODE) + n) *
                       gar_fluidnodevolumes(n);
      vapour += m * fraction(n);
      air += m * (1.0 - fraction(n));
    }
  }
  // Starts the audit from the fluid state as it stands and registers blocks
  // that keep it; extra runs in the variables 1 block.
  static void start() {
    register_logging_blocks();
    HumidAudit& a = get();
    a = HumidAudit{};
    held(a.vapour0, a.air0);
    for (std::int32_t n = 1; n <= FLAGS(flagw::NF); ++n) a.w_before.push_back(fraction(n));
    ModelBlocks b = registered_model_blocks();
    b.variables2 = [] { get().step(); };
    b.outputs = [] { get().output(); };
    register_model_blocks(b);
  }
  void step() {
    const std::int32_t nf = FLAGS(flagw::NF), nm = FLAGS(flagw::NM);
    const double dt = GLOR.DTIMEU;
    const double w_in = 0.5 * (w_before.front() + fraction(1)), w_out = 0.5 * (w_before.back() + fraction(nf));
    const double m_in = gar_massflowlinkflowrates(1), m_out = gar_massflowlinkflowrates(nm);
    vapour_in += m_in * w_in * dt;
    air_in += m_in * (1.0 - w_in) * dt;
    vapour_out += m_out * w_out * dt;
    air_out += m_out * (1.0 - w_out) * dt;
    const double inlet = gar_fluidnodespechumidities(1);
    for (std::int32_t n = 1; n <= nf; ++n) {
      w_before[static_cast<std::size_t>(n - 1)] = fraction(n);
      worst_ratio = std::max(worst_ratio, std::abs(gar_fluidnodespechumidities(n) / inlet - 1.0));
    }
  }
  void output() {
    if (vapour_in <= 0.0) return;  // the output at the start
    ++outputs;
    double vapour = 0.0, air = 0.0;
    held(vapour, air);
    worst_vapour = std::max(worst_vapour, std::abs(vapour - vapour0 - (vapour_in - vapour_out)) / vapour_in);
    worst_air = std::max(worst_air, std::abs(air - air0 - (air_in - air_out)) / air_in);
  }
};

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
