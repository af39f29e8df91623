// The Crank-Nicolson kernel: one step of the thermal network. The predictor
// S9LOP1 refreshes the conductor copies, finds the node time constants and
// CSGMIN and makes an implicit first guess; the iteration S9NEWT corrects the
// diffusion nodes one by one with a damped Newton update of the
// Crank-Nicolson residual (S9TCLC), solves the arithmetic nodes in a pass of
// their own (S9ARTH) and speeds convergence up by Aitken extrapolation
// (S9EXTR).
//
// The sweeps read each node's conductors through the position store: every
// appearance of a linear or radiative conductor in the connection list is a
// position holding a copy of the conductor's value and active flag, laid out
// in node order, so that a sweep reads contiguous memory and never indexes by
// conductor. The fourth powers of the absolute temperatures are kept per node,
// so radiative sums need no powers of the neighbours.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "runtime/thermal/network_sums.h"

namespace kalvir::thermal {

// Copies of the record-form connection list for the sweeps, sized from the
// list itself once per run: a conductor with a fluid end appears once, a
// conductor between two members of a tie group twice in the source's list.
struct PositionStore {
  std::int32_t nnode = 0;
  // Node i's positions of a kind are begin[i - 1] .. begin[i] - 1 (0-based).
  std::vector<std::int32_t> lin_begin, rad_begin, flu_begin;
  std::vector<std::int32_t> lin_other, rad_other, flu_other, flu_cond;
  std::vector<double> lin_value, rad_value;
  std::vector<std::int32_t> lin_active, rad_active;
  // Conductor k's positions: pos[cond_begin[k - 1] .. cond_begin[k] - 1].
  std::vector<std::int32_t> lin_cond_begin, lin_cond_pos, rad_cond_begin, rad_cond_pos;
  std::vector<double> rad_last;  // radiative value last copied
  // Per node: kept powers of T + TABS, flags and the total heat load.
  std::vector<double> cube, fourth, load;
  std::vector<std::int32_t> diffusion, arith;

  // Builds the store from gar_pcsptrsthermal / gar_pcsthermal; an entry that
  // names a node or conductor outside the model stops the run.
  void build(std::int32_t NNODE, std::int32_t NGL, std::int32_t NGR, std::int32_t NGF);
  // Values of every linear conductor and of the radiative conductors that
  // changed; with flags, also the active flags of both kinds.
  void refresh(std::span<const std::int32_t> gl_active, std::span<const std::int32_t> gr_active, bool with_flags);
  // Every radiative value, whether or not it changed (start of a run).
  void copy_all_values();

  void set_powers(std::int32_t i, double t, double tabs) noexcept {
    const double ta = t + tabs;
    const double ta2 = ta * ta;
    cube[static_cast<std::size_t>(i - 1)] = ta2 * ta;
    fourth[static_cast<std::size_t>(i - 1)] = ta2 * ta2;
  }
};

// The work areas of one Crank-Nicolson run: nine node arrays of the real
// core, the flags of the integer core and the position store.
struct CnWork {
  std::span<double> t0, r0, snap1, snap2, arith_start, change, tau, arith_snap1, arith_snap2;
  std::span<std::int32_t> gf_active, gl_active, gr_active, in_network;
  PositionStore pos;
  std::span<double> T;  // the node temperatures, gar_thermalnodetemps
  std::span<const double> C;
  // The predictor's start-of-step absolute temperatures and their squares.
  std::vector<double> start_abs, start_square;

  NetworkFlags flags() const noexcept { return {gf_active, gl_active, gr_active, in_network}; }
  // SLOGST2 into this run's flags.
  void rebuild_flags();
};

// Loads QA + QE + QI + QR + QS of every node into the store.
void load_heat_loads(PositionStore& pos);

}  // namespace kalvir::thermal

// Predictor: once per step, after the step's V10001.
void S9LOP1(kalvir::thermal::CnWork& WORK);
// Iteration of one attempt (TIMEM = TIMEN).
void S9NEWT(kalvir::thermal::CnWork& WORK);
// Update of diffusion node I from its four sums; HOT gets the first node whose
// temperature ran away (0 while none did).
void S9TCLC(std::int32_t NNODE, std::span<const double> C, double DAMPT, double DTIMEU, std::int32_t I,
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
// The four sums of node I in absolute temperatures from the position store
// (linear, radiative, then positive fluidic entries whose conductor is active
// and whose other node is in the network).
void SCondSumsAbsTempGrT4(const kalvir::thermal::PositionStore& POS, const kalvir::thermal::NetworkFlags& FLAGSET,
                          std::int32_t I, double STEFAN, std::span<const double> T, double TABS, double& GLF,
                          double& GLFT, double& GR, double& GRT4);
