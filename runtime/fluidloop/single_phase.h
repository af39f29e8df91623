// The single-phase fluid-loop transients, called from the model's execution
// block or from the cyclic analysis:
//
// - FLTMTS, mixed steps: the thermal nodes advance in windows of DTIMEI, the
//   fluid nodes in FSTEPS sub-steps of each window against thermal
//   temperatures interpolated within it (time loop FLSITM, acceptance FMTIME,
//   interpolation SETTMP);
// - FLTNTF, explicit: one step for all nodes, as long as stability allows
//   (time loop FLTFIT);
// - FLTNTS, implicit: one step of DTIMEI for all nodes, solved by
//   trapezoidal iteration (time loop FLTSIT).
//
// Each runs in the fluid-loop frame (checks, work space, start-up calls,
// step and output placement, relaxation report) and takes its work arrays
// from the dynamic core. A step whose largest temperature change exceeds
// DTPMAX is solved again from its start with a shorter step; the node
// volumes it changed are put back first.
#pragma once

void FLTMTS();
void FLTNTF();
void FLTNTS();
