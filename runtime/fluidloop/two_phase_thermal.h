// The thermal network step of the two-phase solution. Before each step
// TSTAB2 predicts the capacitive diffusion nodes explicitly from the start
// of the step, finds the stability number CSGMIN and balances the
// zero-capacity nodes; inside every coupled iteration FWBKT3 then solves the
// step implicitly, time-centred, node by node with the latest neighbour
// values (FBTCL3), up to NLOOPT inner iterations. SNGSUM gives a node's
// conductance sums with its fluid neighbours apart, so that the fluid
// coupling of a node can be linearised; SLOGST sets the flags of the
// conductors and nodes that take part.
#pragma once

#include <cstdint>
#include <span>

#include "runtime/thermal/network_sums.h"

namespace kalvir::fluidloop {

// The sums of one thermal node over its active conductors, in absolute
// temperatures: s1, s2 = sum G and sum G (Tf + TABS) to fluid nodes, s3, s4
// the same to thermal nodes in the network, s5, s6 = STEFAN sum GR and
// STEFAN sum GR (T + TABS)^4 to both.
struct NodeSums {
  double s1 = 0, s2 = 0, s3 = 0, s4 = 0, s5 = 0, s6 = 0;
};

// The flag lists of SLOGST and the per-node arrays of the thermal step,
// indexed from 0 for node or conductor 1.
struct ThermalWork {
  std::span<std::int32_t> gf_active, gl_active, gr_active, in_network;
  std::span<double> t3, t4;         // (T + TABS)^3 and ^4, kept with T
  std::span<double> saved;          // T at the start of the step
  std::span<double> start_flow;     // F0
  std::span<double> prev_s1, prev_s2, prev_t;
  kalvir::thermal::NetworkFlags flags() const { return {gf_active, gl_active, gr_active, in_network}; }
};

// Heat load of thermal node i: the sum of its five sources.
double heat_load(std::int32_t i);

}  // namespace kalvir::fluidloop

// The conductor and node flags from the letters (SLOGST2 without its
// diffusion list).
void SLOGST(const kalvir::fluidloop::ThermalWork& W);

// Sums of node I with thermal temperatures T and fluid temperatures TF
// (fluid node k at TF[k - 1]); T4 of the thermal neighbours from W.
void SNGSUM(std::int32_t I, const kalvir::fluidloop::ThermalWork& W, std::span<const double> T,
            std::span<const double> TF, kalvir::fluidloop::NodeSums& S);

// The predictor over a step DT with the saved fluid temperatures TF.
void TSTAB2(double DT, const kalvir::fluidloop::ThermalWork& W, std::span<const double> TF);

// The implicit step: COUPLING for the first inner iteration; CONVERGED and
// ITERATIONS returned.
void FWBKT3(double DT, const kalvir::fluidloop::ThermalWork& W, std::int32_t COUPLING, bool& CONVERGED,
            std::int32_t& ITERATIONS);

// The update of node I with its sums S.
void FBTCL3(std::int32_t I, double DT, const kalvir::fluidloop::ThermalWork& W, const kalvir::fluidloop::NodeSums& S,
            std::int32_t COUPLING);
