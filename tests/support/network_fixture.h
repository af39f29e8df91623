// A thermal network built by hand in the global arrays for the solution
// tests: one submodel, thermal nodes with their capacitance, temperature,
// status and heat load, fluid nodes with a temperature, linear, radiative and
// fluidic conductors between internal node indices (a fluid node is NNODE +
// its number), node ties, time-event arrays, and both forms of the
// connection list laid out as the loader lays them out. Also the control
// constants of a transient run.
#pragma once

#include <cstdint>
#include <vector>

#include "tests/support/test_support.h"

namespace kalvir::test {

struct NetNode {
  double T = 0.0;
  double C = 0.0;
  char status = 'D';
  double q = 0.0;  // internal heat load QI
};

// A conductor from node a to node b (internal indices; b may be a fluid node).
struct NetConductor {
  int a;
  int b;
  double value;
  char act = 'A';
};

struct NetTie {
  int source;
  std::vector<int> targets;
};

// A time-event array: form 5 or 6, one event time or a first time and a period.
struct NetEvents {
  int form;
  std::vector<double> values;
};

struct NetworkSpec {
  std::vector<NetNode> nodes;
  std::vector<double> fluid_temps;
  std::vector<NetConductor> gl, gr, gf;
  std::vector<NetTie> ties;
  std::vector<NetEvents> events;
  int dystor = 4096;
};

// Releases and re-allocates the global arrays and fills them from spec; sets
// FLAGS (next-free words 1), the model directory and names, the character
// control-constant defaults, MODEL = 1, the message levels, a page of 60
// lines of 132 columns, clears the
// status-change flag, the registered model blocks and the message counters,
// and sets the constants of set_transient_constants.
void build_network(const NetworkSpec& spec);

// A transient run from 0 to 10: OUTINT 10, DTIMEI 1, DTMIN 1.0E-6, DTMAX 1.0E6,
// DTPMAX and DTROCA unset (1.0E10), ARITH 0, NLOOP 100, RELXCA 1.0E-9,
// DAMPT 1, STEFAN 5.670374419E-8, TABS 273.15, METHOD 0.
void set_transient_constants();

}  // namespace kalvir::test
