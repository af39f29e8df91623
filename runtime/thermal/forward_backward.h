// SLFWBK, the forward-backward differencing transient solution routine: the
// balance of every diffusion node over a step is the mean of its balance at
// the start and at the end of the step (trapezoidal in time), the radiative
// terms exact in T^4 at the end. Each step attempt starts with a predictor
// implicit in the node's own temperature and explicit in its neighbours'
// (S4LOP1), then Gauss-Seidel Newton sweeps on the forward-backward balance
// (S4NEWT, node by node in S4TCLC2) until the largest correction is within
// RELXCA, extrapolating every fourth sweep. S4TIME rejects a step whose
// largest change exceeds DTPMAX, and sizes the next one from it. Entry, work
// space, events, output times and exit are the solution frame's.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "runtime/thermal/crank_nicolson.h"
#include "runtime/thermal/solution_frame.h"
#include "runtime/thermal/step_support.h"

namespace kalvir::thermal {

// The work of one forward-backward run.
struct FwbkWork {
  MethodFlags flags;
  // Real core: temperatures and net conductive-radiative flows at the start
  // of the step, and the two iteration copies of the extrapolation.
  std::span<double> t_old, f_old, older, newer;
  std::span<double> T;  // the node temperatures, gar_thermalnodetemps
  std::span<const double> C;
  // Per node, refreshed by every predictor: no capacitance, heat load.
  std::vector<std::int32_t> zero_capacity;
  std::vector<double> load;
};

struct FwbkCounts {
  std::int64_t steps = 0;   // attempted steps, rejected ones included
  std::int64_t relxca = 0;  // accepted with RELXCC above RELXCA
  std::int64_t dtpmax = 0;  // accepted at the smallest step with the change above DTPMAX
};

// DTPMAX at or above this is not set in this method.
inline constexpr double kFwbkUnsetDtpmax = 1.0e9;

}  // namespace kalvir::thermal

// Advances the thermal network from TIMEO to TIMEND.
void SLFWBK();
// The step loop; returns 0, or the code of the last end-of-run warning (2 or
// 3 for RELXCA, 4 or 5 for DTPMAX).
std::int32_t S4SLVE(kalvir::thermal::SolutionFrame& FRAME, kalvir::thermal::FwbkWork& WORK,
                    kalvir::thermal::FwbkCounts& COUNTS);
// Predictor of a step attempt: old temperatures and flows, the implicit guess
// of the capacitive nodes, CSGMIN, then the nodes without capacitance.
void S4LOP1(kalvir::thermal::FwbkWork& WORK);
// Corrector sweeps until RELXCC <= RELXCA or NLOOP.
void S4NEWT(kalvir::thermal::FwbkWork& WORK);
// Corrector update of diffusion node I.
void S4TCLC2(kalvir::thermal::FwbkWork& WORK, std::int32_t I);
// Accepts the attempt whose largest change is D (V20001, outputs, the next
// step) or rejects it (old temperatures back, a shorter step).
kalvir::thermal::Attempt S4TIME(kalvir::thermal::SolutionFrame& FRAME, kalvir::thermal::FwbkWork& WORK, double D,
                                kalvir::thermal::FwbkCounts& COUNTS);
