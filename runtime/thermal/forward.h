// SLFRWD, the forward differencing transient solution routine: each step
// advances the diffusion nodes explicitly from the step's start temperatures
// (S7DIFF) and then balances the nodes without capacitance with their
// neighbours held (S7ARTH), both driven by S7NEWT; S7TIME accepts every step
// and places the next one. The step is bound to 0.95 x CSGMIN, the stability
// limit found from the start temperatures of the step before, so no step is
// ever rejected. Entry, work space, events, output times and exit are the
// solution frame's.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "runtime/thermal/solution_frame.h"
#include "runtime/thermal/step_support.h"

namespace kalvir::thermal {

// The work of one forward differencing run.
struct ForwardWork {
  MethodFlags flags;
  std::span<double> t0;  // start temperatures of the step (real core)
  std::span<double> T;   // the node temperatures, gar_thermalnodetemps
  std::span<const double> C;
  // Per node, refreshed by every explicit update: no capacitance, heat load.
  std::vector<std::int32_t> zero_capacity;
  std::vector<double> load;
  // NLOOP and RELXCA as this run takes them: an undefined one stands for a
  // single pass and no tolerance, without being written back, so that a
  // solution called later still finds it undefined.
  std::int32_t nloop = 1;
  double relxca = 1.0e10;
};

struct ForwardCounts {
  std::int64_t steps = 0;
  std::int64_t relxca = 0;       // steps ending with RELXCC above RELXCA
  bool beyond_stability = false;  // a step at DTMIN above the stability bound was reported
};

}  // namespace kalvir::thermal

// Advances the thermal network explicitly from TIMEO to TIMEND.
void SLFRWD();
// The step loop; returns when TIMEO >= TIMEND.
void S7SLVE(kalvir::thermal::SolutionFrame& FRAME, kalvir::thermal::ForwardWork& WORK,
            kalvir::thermal::ForwardCounts& COUNTS);
// One step: the explicit update, then passes over the nodes without
// capacitance until RELXCC <= RELXCA or NLOOP passes.
void S7NEWT(kalvir::thermal::ForwardWork& WORK);
// Explicit update of the diffusion nodes with capacitance; CSGMIN from the
// start temperatures.
void S7DIFF(kalvir::thermal::ForwardWork& WORK);
// One undamped pass over the diffusion nodes without capacitance.
void S7ARTH(kalvir::thermal::ForwardWork& WORK);
// Accepts the step: V20001, outputs, and the next step from DTIMEI.
void S7TIME(kalvir::thermal::SolutionFrame& FRAME, kalvir::thermal::ForwardWork& WORK,
            kalvir::thermal::ForwardCounts& COUNTS);
