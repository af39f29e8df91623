// The fluid energy equation of the two-phase solution (FCNGTK): one row per
// fluid node for its new specific enthalpy, the node's energy balance over
// the step in upwind, non-conservative form. Storage of the node's mass at
// the step's start, enthalpy carried in by inflowing links and sources,
// enthalpy drawn out by a phase separator at another quality, heat from the
// thermal network (time-centred from nodes with a heat capacity), the
// node's heat source, the pressure change, and the gravity and kinetic
// energy of the link flows; a closed loop's rows also take back the energy
// of mass that no link carries. On the way every outflowing link takes the
// enthalpy and quality it carries.
#pragma once

#include <span>

#include "runtime/fluidloop/two_phase_state.h"

// Assembles the rows into SYSTEM (whose matrix is zero on entry) for a step
// DT with the iteration's properties PROPS and the start of the step START.
// DISPLACED (NF words of work, by node) takes the rate at which each node
// gains mass beyond what its links and source bring; the energy that this
// mass would make by entering and leaving at each node's own enthalpy goes
// back to the rows of its closed loop.
void FCNGTK(double DT, const kalvir::fluidloop::NodeProperties& PROPS, const kalvir::fluidloop::StepStart& START,
            const kalvir::fluidloop::ProfileSystem& SYSTEM, std::span<double> DISPLACED);
