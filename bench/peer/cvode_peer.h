// The CVODE peer of the side-by-side benchmarks: a model's thermal network
// integrated by SUNDIALS CVODE (BDF, Newton, KLU sparse LU with AMD ordering,
// an analytic sparse Jacobian) as a user of that library would write it.
//
// After the model program's own start-up (MDB and ACD files loaded, initial
// block run) the network is turned once into sparse structures: the linear
// and radiative couplings between the diffusion nodes, the boundary nodes'
// share as constant inflows, the capacitances, and the heat loads of every
// ACD time point (the variables 1 block run once at each). A right-hand side
// then costs two sparse products, the T^4 of every node and the conductors
// that follow the mean temperature of their nodes; the model's blocks are not
// called again.
#pragma once

#include <cstdint>
#include <vector>

namespace kalvir::bench::peer {

// A linear conductor that follows the mean temperature of its two nodes:
// GL = factor * curve((T(i) + T(j)) / 2), the curve a list of (temperature,
// value) points read linearly, its end values outside them.
struct MeanTemperatureConductor {
  std::int32_t number = 0;  // the conductor
  std::int32_t i = 0;       // internal node indices
  std::int32_t j = 0;
  double factor = 0.0;
  const std::vector<double>* points = nullptr;
};

struct Schedule {
  double end_time = 0.0;  // every transient runs from 0 to end_time
  // -1: one transient; 0: cycles until temperatures change by less than tolt
  // and rates by less than tolr between cycle ends, then the final
  // transient; n > 0: n cycles, then the final transient.
  int cycles = -1;
  double tolt = 0.011;
  double tolr = 0.01;
  int max_cycles = 200;
};

// Integrates the loaded model over the schedule at relative and absolute
// tolerance `tolerance` (K) and writes the final temperatures to
// peer_final.txt ("node-number temperature" lines). A failure of the library
// or a network it does not cover (fluid loops, arithmetic nodes, a case type
// other than periodic) ends the process with exit status 1.
void run(const Schedule& schedule, const std::vector<MeanTemperatureConductor>& varying, double tolerance);

}  // namespace kalvir::bench::peer
