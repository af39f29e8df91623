// The corrector of SLGRDJ: the Newton iteration of the Gear step reduced to
// the diagonal of the Jacobian. Every diffusion node is corrected by its own
// residual over its own diagonal term, all from the same iterate, so no matrix
// is formed and the work space does not depend on the number of diffusion
// nodes. A corrector whose corrections grow is abandoned and the step is
// retried with a shorter step. Units 10 (base vector), 11 (residual, then
// correction) and 13 (diagonal) are indexed by node.
#pragma once

#include "runtime/thermal/gear.h"

// The step loop of SLGRDJ.
void S6SLVE(kalvir::thermal::GearWork& WORK);
// Corrector of one step: converged, or not converged when the corrections
// grew from one iteration to the next.
void S6CORR(kalvir::thermal::GearWork& WORK);
// The diffusion nodes and the corrector formula.
void S6JINT(kalvir::thermal::GearWork& WORK);
// Diagonal (unit 13) and residual (unit 11) of every diffusion node; the
// residual of any other node is 0.
void S6JCLC(kalvir::thermal::GearWork& WORK);
// Update and convergence test.
kalvir::thermal::GearConvergence S6CONV(kalvir::thermal::GearWork& WORK);
