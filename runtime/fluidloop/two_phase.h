// The two-phase fluid-loop transient FGENFI: the fluid network (nodes joined
// by mass-flow links, possibly boiling or condensing) and the thermal network
// advanced together from TIMEO to TIMEND. Every step is solved by a coupled
// fixed-point iteration over fluid enthalpy, pressure, link flows and
// thermal temperatures (FGFITR); a step that does not converge within NLOOP
// iterations is rejected and retried with half the step, unless it is at
// DTMIN, where it is accepted with a warning.
//
// FGFIIT is the time loop, FFITST the step decision with the output calls,
// SFICOU the fluid Courant limit, FGFIIN the density derivatives at the
// start, SCKCSG the start stability number and FGUPDT the fluid state after
// each iteration.
#pragma once

#include <cstdint>
#include <span>

#include "runtime/fluidloop/two_phase_momentum.h"
#include "runtime/fluidloop/two_phase_state.h"
#include "runtime/fluidloop/two_phase_thermal.h"

namespace kalvir::fluidloop {

// The whole solution's work: the layout and matrix, the start-of-step copies,
// the iteration's properties and iterates, the link coefficients, the loop
// masses, the thermal step's arrays, the event list and the time-loop state.
struct TwoPhaseRun {
  TwoPhaseLayout layout;
  std::int32_t ncomp = 0, nprof = 0;
  std::span<double> matrix, rhs;
  StepStart start;
  NodeProperties props;
  std::span<double> enthalpy, pressure;  // iterates, by node
  std::span<double> rates;               // copy of the volume change rates (CVOLST)
  // The volumes after the step's own volume change (CVOLST), from which each
  // iteration measures the compliance volume afresh.
  std::span<double> step_volume;
  // The energy equation's work: each node's mass gain beyond its links (FCNGTK).
  std::span<double> displaced;
  std::span<double> loop_mass;
  LinkCoefficients links;
  ThermalWork thermal;
  std::span<const std::int32_t> events;
  // Time-loop state.
  bool converged = true, growth_limit = false, at_minimum = true;
  double next_output = 0.0, output_grid = 0.0;
  double relax_h = 0.5, relax_p = 0.5;
};

}  // namespace kalvir::fluidloop

// The two-phase fluid-loop transient.
void FGENFI();

// The time loop and the step decision.
void FGFIIT(kalvir::fluidloop::TwoPhaseRun& R);
void FFITST(kalvir::fluidloop::TwoPhaseRun& R);
// DTCOUR from the links.
void SFICOU();
// Density and its derivatives of every fluid node at its state.
void FGFIIN(const kalvir::fluidloop::NodeProperties& PROPS);
// CSGMIN and NCSGMN over the capacitive diffusion nodes at the start.
void SCKCSG();
// One step attempt; sets R.converged.
void FGFITR(kalvir::fluidloop::TwoPhaseRun& R);
// Fluid state from the relaxed iterates; FRLXCC and NFRLXC from the change
// against the enthalpies before the iteration.
void FGUPDT(kalvir::fluidloop::TwoPhaseRun& R);
