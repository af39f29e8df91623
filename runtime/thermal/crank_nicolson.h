// SLCRNC, the Crank-Nicolson transient solution routine, with its step loop
// S9SLVE and its step control S9TIME. The steps themselves are solved by the
// kernel (cn_kernel.h); entry, work space, events, output times and exit are
// the solution frame's.
#pragma once

#include <cstdint>

#include "runtime/thermal/cn_kernel.h"
#include "runtime/thermal/solution_frame.h"

namespace kalvir::thermal {

// Counters of one Crank-Nicolson run.
struct CnCounts {
  std::int64_t steps = 0;   // accepted steps
  std::int64_t dtpmax = 0;  // accepted at the smallest step with the change above DTPMAX
  std::int64_t dtroca = 0;  // the same for DTROCC above DTROCA
  std::int64_t relxca = 0;  // accepted with RELXCC above RELXCA
};

// What S9TIME decided on an attempt.
enum class Attempt { Accepted, Rejected };

}  // namespace kalvir::thermal

// Advances the thermal network from TIMEO to TIMEND.
void SLCRNC();

// The step loop; returns when TIMEO >= TIMEND.
void S9SLVE(kalvir::thermal::SolutionFrame& FRAME, kalvir::thermal::CnWork& WORK,
            kalvir::thermal::CnCounts& COUNTS);

// Step control of an attempt whose largest change of a time-stepped diffusion
// node is D: rejects it (with a shorter step and the temperatures moved back
// along the attempt) or accepts it (V20001, outputs, the next step placed).
// The next step is the smaller of the DTPMAX and DTROCA steps; a limit whose
// measure (D, DTROCC) is too small to scale by sets none, so at a steady
// state the step is DTMAX. Without DTPMAX and DTROCA it is DTIMEI.
kalvir::thermal::Attempt S9TIME(kalvir::thermal::SolutionFrame& FRAME, kalvir::thermal::CnWork& WORK, double D,
                                kalvir::thermal::CnCounts& COUNTS);
