// The Gear transient solution routines SLGEAR (Newton iterations with the
// full Jacobian of the diffusion nodes) and SLGRDJ (with its diagonal only),
// and what both share: a variable-order (1 to 6), variable-step
// backward-differentiation formula whose history is held as modified divided
// differences in a ring of eight node vectors, the predictor S5PRED, the
// error test S5CHCK, the rejected step S5TSET and the bookkeeping of an
// accepted step S5STUP (history update S5STAK, outputs S5OUTP, order and step
// selection S5ORDR).
//
// Gear steps are not cut at output times: an output time inside an accepted
// step is served from temperatures interpolated to it, and the step's own
// state is restored afterwards. The model blocks see TIMEM at the end of the
// step (or at the output time), where the formula stands.
//
// A converged step is accepted when its local truncation estimate (the move
// from the prediction, over the weights, times the order's error constant)
// is within 10 x RELXCA; otherwise it is retried with the step that brings
// the estimate to RELXCA.
//
// The real work space is laid out in units of NNODE words from its first
// word: unit 1 holds the predicted temperatures of the step, units 2 to 9 are the history slots 1 to 8, unit 10
// the base vector Y of the corrector formula, unit 11 the residual and then
// the Newton correction, unit 12 the error weights, and the solver's Jacobian
// storage starts at unit 13, above the words the routine carves.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/global_arrays.h"
#include "runtime/thermal/conductor_view.h"
#include "runtime/thermal/sparse_lu.h"
#include "runtime/thermal/network_sums.h"
#include "runtime/thermal/solution_frame.h"

namespace kalvir::thermal {

// Element of node i (1-based) in a node vector.
inline std::size_t at(std::int32_t i) noexcept { return static_cast<std::size_t>(i - 1); }

inline constexpr int kGearRing = 8;      // history slots
inline constexpr int kGearMaxOrder = 6;  // highest order of the formula
// Largest step growth allowed at orders 1 to 6.
inline constexpr std::array<double, kGearMaxOrder> kGearOrderCaps{10.0, 2.6, 1.9, 1.5, 1.2, 1.05};

// The state of one Gear run: the work space, the history's bookkeeping and
// the corrector's results.
struct GearWork {
  SolutionFrame* frame = nullptr;
  std::string_view name;      // "SLGEAR" or "SLGRDJ", the prefix of the solvers' texts
  std::int32_t nnode = 0;
  std::span<double> units;    // units 1 to 12, NNODE words each, from the first word of the work space
  std::span<double> above;    // from unit 13 to DYSTOR: the solver's Jacobian storage
  std::int64_t available = 0; // words from the first word of the work space to DYSTOR
  std::span<double> T;        // gar_thermalnodetemps

  std::array<double, kGearRing> t{};          // t(s): time at which slot s was stored
  std::array<double, kGearMaxOrder + 1> x{};  // product factors x_0 .. x_6
  std::int32_t k = 1;  // order
  std::int32_t r = 1;  // current slot
  std::int32_t d = 0;  // steps accepted since the last order evaluation
  bool started = false;    // the predictor has a history to extrapolate
  bool done = false;       // the step loop must stop
  bool converged = false;  // set by the corrector
  bool error = false;      // the corrector ended the run
  // The correction in unit 11 is indexed by node (diagonal solver) or by the
  // rank of the diffusion node (full solver).
  bool correction_by_node = false;
  double beta = 0.0;

  // The diffusion nodes (status D) in index order, refreshed by the solvers;
  // sized once per run.
  std::vector<std::int32_t> diffusion;
  SparseJacobian jacobian;      // SLGEAR's Jacobian and its factors
  std::vector<double> start_rate;  // dT/dt of each node at the start, for the first step's error test
  // The network's conductors, followed after every call of the variables 1
  // block.
  LetterView network;

  std::int64_t accepted = 0;  // accepted steps of the run
  std::int64_t attempts = 0;  // corrector runs of the run
  std::int64_t rejected = 0;  // steps whose error estimate was too large

  // Unit u (1..13) as a node vector.
  std::span<double> unit(int u) const noexcept {
    return units.subspan(static_cast<std::size_t>(u - 1) * static_cast<std::size_t>(nnode),
                         static_cast<std::size_t>(nnode));
  }
  // History slot s (1..8), counted cyclically.
  static int wrap(int s) noexcept { return ((s - 1) % kGearRing + kGearRing) % kGearRing + 1; }
  std::span<double> slot(int s) const noexcept { return unit(wrap(s) + 1); }
  double time(int s) const noexcept { return t[static_cast<std::size_t>(wrap(s) - 1)]; }
  // The last Newton correction of the diffusion node NODE of rank RANK
  // (0-based) in the diffusion list.
  double correction_of(std::size_t rank, std::int32_t node) const noexcept {
    return units[static_cast<std::size_t>(10) * static_cast<std::size_t>(nnode) +
                 (correction_by_node ? static_cast<std::size_t>(node - 1) : rank)];
  }
  std::span<double> prediction() const noexcept { return unit(1); }
  std::span<double> base() const noexcept { return unit(10); }
  std::span<double> correction() const noexcept { return unit(11); }
  std::span<double> weights() const noexcept { return unit(12); }

  // Fills diffusion with the nodes of status D.
  void find_diffusion_nodes();
};

// The corrector of one step: sets converged (or error, when it ended the run).
using GearCorrector = void (*)(GearWork&);

// The shared driver of SLGEAR and SLGRDJ: frame, work space, start, the step
// loop, exit.
void run_gear(std::string_view name, void (*step_loop)(GearWork&));

// The step loop both routines share, with the routine's corrector and the
// name of the routine that reports an exhausted step count.
void gear_step_loop(GearWork& work, GearCorrector corrector, std::string_view routine);

// The error test's estimate of a converged step: the largest move of a
// diffusion node from its prediction relative to its weight, divided by
// (TIMEN - t(r - k)) x beta, the order's error constant on uneven steps
// (1 / ((k + 1)(1 + 1/2 + ... + 1/k)) on even ones): the measure that the
// order selection holds to RELXCA.
double gear_error_estimate(const GearWork& work);

// Corrector coefficient beta and base vector Y (unit 10) of the current step
// for the diffusion nodes; the other entries of unit 10 are 0.
void gear_corrector_formula(GearWork& work);

// Outcome of a corrector iteration's update.
enum class GearConvergence { Converged, Iterate, Failed };

// The corrector's update: every diffusion node moves by its correction in
// unit 11; RELXCC and NRLXCC take the largest; converged when RELXCC is at
// most RELXCA, else the run ends (severity 4, ROUTINE) once LOOPCT reached
// NLOOP. A correction that is not a number never converges.
GearConvergence gear_convergence(GearWork& work, std::string_view routine);

// Calls, for each active conductor of thermal node I whose other node is in
// the network (from the view, in the order of the packed list),
// CONDUCTIVE(j, g, yj) for a linear or positive fluidic one, yj the
// neighbour's absolute temperature (a fluid node's for j above NNODE), and
// RADIATIVE(j, STEFAN x GR, yj^3, yj^4) for a radiative one, the powers of a
// thermal neighbour those the view keeps (see gear_take_powers).
template <class Conductive, class Radiative>
void for_each_gear_conductor(const GearWork& work, std::int32_t I, Conductive conductive, Radiative radiative) {
  const ConductorView& v = work.network.view();
  const double tabs = GLOR.TABS, sigma = GLOR.STEFAN;
  for_each_view_entry(v, I, [&](int kind, std::int32_t j, double value) {
    if (kind != 2) {
      conductive(j, value, view_temperature(work.T, j - 1, v.nnode) + tabs);
    } else if (j <= v.nnode) {
      radiative(j, sigma * value, v.cube[at(j)], v.fourth[at(j)]);
    } else {
      const double yj = gar_fluidnodetemps(j - v.nnode) + tabs;
      const double yj2 = yj * yj;
      radiative(j, sigma * value, yj2 * yj, yj2 * yj2);
    }
  });
}

// The view's kept cube and fourth power of every node's absolute
// temperature, taken once per Jacobian: T does not move while it is built.
void gear_take_powers(GearWork& work);

// A zero or non-finite pivot of the Jacobian ends the run (severity 4).
void require_pivot(const GearWork& work, double pivot, std::int32_t node, std::string_view routine);

}  // namespace kalvir::thermal

// Gear solution with the full Jacobian from TIMEO to TIMEND.
void SLGEAR();
// Gear solution with the diagonal of the Jacobian from TIMEO to TIMEND.
void SLGRDJ();

// Predictor at the start of every step attempt: x_0 .. x_k (and x_(k+1) when
// the step ends with an order evaluation) and T moved along the history.
void S5PRED(kalvir::thermal::GearWork& WORK);
// Error test after the corrector: accepts the step (V20001, S5STUP) when
// its error estimate is within 10 x RELXCA, or rejects it (S5TSET) with the
// step that brings the estimate to RELXCA.
void S5CHCK(kalvir::thermal::GearWork& WORK);
// Rejected step: the attempt is repeated from the last accepted state with
// step H (at least DTMIN, at most up to TIMEND); below DTMIN the run ends.
void S5TSET(kalvir::thermal::GearWork& WORK, double H);
// Accepted step: history, outputs, weights, order and step, next step.
void S5STUP(kalvir::thermal::GearWork& WORK);
// History update with the accepted temperatures at TIMEN.
void S5STAK(kalvir::thermal::GearWork& WORK);
// Output at TOUT inside the accepted step, from interpolated temperatures.
void S5OUTP(kalvir::thermal::GearWork& WORK, double TOUT);
// Order and step-size selection.
void S5ORDR(kalvir::thermal::GearWork& WORK);
