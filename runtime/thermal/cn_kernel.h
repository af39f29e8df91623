// The Crank-Nicolson kernel: one step of the thermal network. The predictor
// S9LOP1 refreshes the conductor copies, finds the node time constants and
// CSGMIN and makes an implicit first guess; the iteration S9NEWT corrects the
// diffusion nodes one by one with a damped Newton update of the
// Crank-Nicolson residual (S9TCLC), solves the arithmetic nodes in a pass of
// their own (S9ARTH) and speeds convergence up by Aitken extrapolation
// (S9EXTR).
//
// The sweeps read each node's conductors from the compact view of the
// network (runtime/thermal/conductor_view.h), which also keeps the cube and
// fourth power of every node's absolute temperature, so radiative sums need
// no powers of the neighbours.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "runtime/thermal/conductor_view.h"
#include "runtime/thermal/network_sums.h"

namespace kalvir::thermal {

// The order of the iteration's sweep: its nodes (diffusion nodes that are
// not arithmetic) and, for each, whether its sums come from the linear and
// radiative entries alone (plain: no fluid neighbour, no fluidic conductor),
// which the sweep adds up itself.
struct SweepPlan {
  std::vector<std::int32_t> nodes;
  std::vector<std::uint8_t> plain;  // per sweep position
  std::vector<std::uint8_t> state;  // per node, the flags the plan was made for
  std::uint64_t generation = 0;     // of the view the plan was made for
};

// The work areas of one Crank-Nicolson run: nine node arrays of the real
// core, the flags of the integer core, the view of the network and, per
// node, the total heat load and the diffusion and arithmetic flags.
struct CnWork {
  std::span<double> t0, r0, snap1, snap2, arith_start, change, tau, arith_snap1, arith_snap2;
  std::span<std::int32_t> gf_active, gl_active, gr_active, in_network;
  ConductorView view;
  std::vector<double> load;
  std::vector<double> reciprocal_c;  // 1 / C per node, taken with the loads
  std::vector<std::int32_t> diffusion, arith;
  SweepPlan plan;
  std::span<double> T;  // the node temperatures, gar_thermalnodetemps
  std::span<const double> C;
  // The predictor's start-of-step absolute temperatures and their squares.
  std::vector<double> start_abs, start_square;

  NetworkFlags flags() const noexcept { return {gf_active, gl_active, gr_active, in_network}; }
  // Sizes the per-node vectors to the node count of in_network.
  void size_node_arrays();
  // SLOGST2 into this run's flags (the view is built from them by the caller).
  void rebuild_flags();
};

// Loads QA + QE + QI + QR + QS of every node into WORK.load, and 1 / C into
// WORK.reciprocal_c.
void load_heat_loads(CnWork& WORK);

}  // namespace kalvir::thermal

// Predictor: once per step, after the step's V10001.
void S9LOP1(kalvir::thermal::CnWork& WORK);
// Iteration of one attempt (TIMEM = TIMEN).
void S9NEWT(kalvir::thermal::CnWork& WORK);
// Update of diffusion node I from its four sums and 1 / C; HOT gets the
// first node whose temperature ran away (0 while none did).
void S9TCLC(std::int32_t NNODE, std::span<const double> RECIPROCAL_C, double DAMPT, double DTIMEU, std::int32_t I,
            std::span<const double> Q, double GLF, double GLFT, double GR, double GRT4, double TABS,
            std::span<const double> T0, std::span<const double> R0, std::int32_t& HOT, double& DTROCC,
            std::int32_t& NDTROC, std::int32_t& NRLXCC, double& RELXCC, std::span<double> T,
            std::span<double> CUBES, std::span<double> FOURTHS);
// Arithmetic pass over the arithmetic diffusion nodes.
void S9ARTH(kalvir::thermal::CnWork& WORK);
// Snapshot (K mod K1 = K1 - 2 K2, K1 - K2) or Aitken extrapolation (K mod K1
// = 0) of T.
void S9EXTR(std::int32_t K1, std::int32_t K2, std::int32_t K, std::int32_t NNODE, double RELXCA,
            std::span<double> S1, std::span<double> S2, std::span<double> T);
// The four sums of node I in absolute temperatures from the view (linear,
// radiative, then positive fluidic entries whose conductor is active and
// whose other node is in the network), with Tj^4 from the view's kept powers.
void SCondSumsAbsTempGrT4(const kalvir::thermal::ConductorView& VIEW, std::int32_t I, double STEFAN,
                          std::span<const double> T, double TABS, double& GLF, double& GLFT, double& GR,
                          double& GRT4);
