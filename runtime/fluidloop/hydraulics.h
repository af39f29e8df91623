// Single-phase hydraulics: the fluid node pressures and the mass-flow link
// flows of a single-phase fluid network. Each link carries a linearised
// momentum equation (friction, fitting loss, change of flow area, momentum
// flux, gravity head, pressure source) and each free node a mass balance;
// the pressures are solved on the profile matrix, the flows follow from
// them, and the whole repeats with new fluid properties until the relative
// flow change falls below RELXMA or NLOOPH iterations have run.
//
// FLHYSL is the entry (steady mode for the conductance sums, transient mode
// for the time loops), FLHYAS runs the iterations, FLHYCF with FAMATY and
// SFMOFL assembles the matrix, FLMSFL computes the flows and FLFRLS gives the
// Fanning friction factor. Nodes of status J or R hold their pressure.
#pragma once

#include <cstdint>
#include <span>

#include "runtime/fluidloop/profile_solver.h"

namespace kalvir::fluidloop {

// The work vectors of one hydraulic solution, in the real and integer
// dynamic cores of the calling routine; node vectors are indexed from 0 for
// fluid node 1, link vectors from 0 for link 1.
struct HydraulicWork {
  std::span<double> viscosity;    // NF
  std::span<double> density;      // NF
  std::span<double> volume_rate;  // NF: X, the volume change rate of the step (0 in steady mode)
  std::span<double> matrix;       // profile length
  std::span<double> pressure;     // NF: the new pressures
  std::span<double> head;         // NM: T
  std::span<double> conductance;  // NM: G
  std::span<double> rhs;          // NF
  std::span<std::int32_t> codes;  // NM: 1 linearised, -1 flow from the mass balance, 0 closed
  ProfileIndex table;
};

}  // namespace kalvir::fluidloop

// Solves the hydraulics: new pressures from the current ones, properties at
// the current states, then FLHYAS. CONVERGED 1 when RELXMC < RELXMA after the
// last iteration, ITERATIONS their number, STATUS 1 after a zero pivot.
void FLHYSL(const kalvir::fluidloop::HydraulicWork& W, std::int32_t TRANSIENT, std::int32_t& CONVERGED,
            std::int32_t& ITERATIONS, std::int32_t& STATUS);

// The iterations behind FLHYSL. A zero pivot ends the run with a message
// that names the node whose equation failed.
void FLHYAS(const kalvir::fluidloop::HydraulicWork& W, std::int32_t TRANSIENT, std::int32_t& ITERATIONS,
            std::int32_t& STATUS);

// Assembles G, T, the link codes, the matrix and the right-hand side for the
// current pressures and flows. The off-diagonal words must be zero on entry.
void FLHYCF(const kalvir::fluidloop::HydraulicWork& W, std::int32_t TRANSIENT);

// Adds link L to the matrix and the right-hand side.
void FAMATY(const kalvir::fluidloop::HydraulicWork& W, std::int32_t L);

// Momentum-flux coefficients of link L (c1, c3 implicit at the first and
// second end, c2, c4 explicit), from the node densities of W.
void SFMOFL(const kalvir::fluidloop::HydraulicWork& W, std::int32_t L, double& C1, double& C2, double& C3,
            double& C4);

// New link flows from the new pressures, damped by DAMPM; RELXMC and NRLXMC
// take the largest relative change.
void FLMSFL(const kalvir::fluidloop::HydraulicWork& W);

// Fanning friction factor F of flow M through area A of hydraulic diameter D,
// wall roughness E and viscosity MU: laminar below Re 2000, turbulent from
// 4000, blended between; 0 for a smooth wall; unchanged without flow.
void FLFRLS(double A, double D, double M, double E, double MU, double& F);
