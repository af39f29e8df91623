// The pressure equation and the link flows of the two-phase solution. Each
// fluid node's mass balance over the step, with the link flows written in
// terms of the end pressures by the linearised momentum equations, gives one
// pressure row (FGFIPS, FSUMGP); after the solve the links take their new
// flows (FMCALC). Links without a usable pressure-flow relation take their
// flow from the mass balances of their ends (MFCONT). With QTRSOL "YES" the
// nodal balances drop the density storage, and the last row of every closed
// loop is replaced by the conservation of the loop's total mass.
#pragma once

#include <cstdint>
#include <span>

#include "runtime/fluidloop/two_phase_momentum.h"
#include "runtime/fluidloop/two_phase_state.h"

namespace kalvir::fluidloop {

// What the pressure equation and the flow update read: the step, the
// iteration's properties, the start of the step, the solved (not yet
// relaxed) enthalpy and pressure iterates by node, the link coefficients and
// the loop masses; the volumes at the step's start (after its own volume
// change), from which the compliance volume is measured (empty: the current
// volumes); the volume change rates that the step applied (CVOLST's copy;
// empty: the model's rates).
struct PressureStep {
  double dt;
  NodeProperties props;
  StepStart start;
  std::span<const double> enthalpy, pressure;
  LinkCoefficients links;
  std::span<const double> loop_mass;
  std::int32_t ncomp;
  std::span<const double> step_volume = {};
  std::span<const double> rates = {};
};

}  // namespace kalvir::fluidloop

// Assembles the pressure rows into SYSTEM (matrix zero on entry).
void FGFIPS(const kalvir::fluidloop::PressureStep& S, const kalvir::fluidloop::ProfileSystem& SYSTEM);
// The row of fluid node I: storage and link terms.
void FSUMGP(std::int32_t I, const kalvir::fluidloop::PressureStep& S, const kalvir::fluidloop::ProfileSystem& SYSTEM);
// New flows of the active links after the pressure solve; RELXMC and NRLXMC
// take the largest change.
void FMCALC(const kalvir::fluidloop::PressureStep& S);
// Mass imbalance of fluid node N without link EXCLUDE, less its storage over
// the step.
double MFCONT(std::int32_t N, std::int32_t EXCLUDE, const kalvir::fluidloop::PressureStep& S);
