// The step methods of the single-phase fluid-loop transients: one call
// advances the coupled network by one step and reports its iteration count
// and the largest temperature change, which the time loop tests against
// DTPMAX.
//
// FLTMTS takes a thermal window (FLTNMT, forward-backward over DTIMUT) and
// fluid sub-steps inside it (SNEWTF, forward-backward over DTIMEU); FLTNTF the
// explicit step FLTNEX (FSTNEW behind it); FLTNTS the implicit step FLTNIM.
// The condensation heat of humid air enters the kernels through the work
// vectors, so the model's heat-source arrays stay as they are.
#pragma once

#include <cstdint>

#include "runtime/fluidloop/profile_solver.h"
#include "runtime/fluidloop/step_kernels.h"

namespace kalvir::fluidloop {

// Largest |T - T0| over diffusion nodes and |TF - TF0| over fluid nodes of
// status F, J, Q or S (either group may be left out).
double largest_change(const StepVectors& V, bool thermal, bool fluid);

}  // namespace kalvir::fluidloop

// Thermal window: V.t from V.t0 (the thermal temperatures at the window
// start) over DTIMUT, fluid nodes held at V.tf0.
void FLTNMT(const kalvir::fluidloop::StepVectors& V, std::int32_t& ITER);

// Fluid sub-step over DTIMEU: V.tf from V.tf0; the fluid limit goes to
// FCSGMN and FNCSGM.
void SNEWTF(const kalvir::fluidloop::StepVectors& V, std::int32_t& ITER, double& CHANGE);

// Explicit step over DT from the model's temperatures (copied into V.t0 and
// V.tf0); new values in V.t and V.tf; DTIMEI := the stable step for the next.
void FLTNEX(const kalvir::fluidloop::StepVectors& V, double DT, std::int32_t& ITER, std::int32_t& FLAG,
            double& CHANGE);
void FSTNEW(const kalvir::fluidloop::StepVectors& V, double DT, std::int32_t& ITER, double& CHANGE);

// Implicit step over DTIMEU from the model's temperatures; with METHOD 1
// converged nodes are frozen within a sweep.
void FLTNIM(const kalvir::fluidloop::StepVectors& V, const kalvir::fluidloop::ProfileIndex& TABLE,
            std::int32_t& ITER, double& CHANGE);
