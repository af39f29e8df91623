// SLMODE, the modal transient solution routine, with its decomposition and
// step loop.
//
// The diffusion nodes with capacitance (the modal nodes, 1 ... M in node
// order) are written as C theta' = -K theta + q in absolute temperature
// theta = T + TABS, radiation linearised at the temperatures of the start.
// The eigenproblem K phi = lambda C phi (eigen.h) is solved once; every step
// then advances each modal coordinate eta exactly with its exponential, and
// the changes of conductances, capacitances and loads since the
// decomposition enter as a corrective load. Diffusion nodes without
// capacitance are solved after each modal step by Gauss-Seidel sweeps.
//
// K, the capacitances, Phi, the loads, eta and the eigen work matrix (whose
// first column holds the eigenvalues) lie in the real dynamic core, the modal
// indices in the integer core; the few vectors of the step loop are the
// loop's own, kept from one call to the next.
#pragma once

#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include "runtime/thermal/conductor_view.h"
#include "runtime/thermal/solution_frame.h"

namespace kalvir::thermal {

struct ModalWork {
  std::int32_t m = 0;                 // modal nodes
  std::span<std::int32_t> index;      // per node: 1 ... M, 0 when not modal
  std::span<double> area;             // the real work area, sliced once M is known
  std::span<double> K;                // M x M by columns; column p is node p's row
  std::span<double> cap;              // C_p
  std::span<double> phi;              // eigenvectors, column k for mode k
  std::span<double> load;             // q, and after projection psi = Phi^T q
  std::span<double> eta;              // modal coordinates
  std::span<double> eigen;            // eigen work matrix; eigenvalues in column 1
  // The step loop's own storage.
  std::vector<std::int32_t> node;     // node of modal index p + 1
  std::vector<double> eta_saved;      // eta at the step's start
  std::vector<double> t_old;          // all node temperatures at the step's start
  std::vector<double> theta;          // absolute temperatures of the modal nodes
  std::vector<double> row;            // scratch of M words
  // Each mode's e^(-lambda DT) and (1 - e^(-lambda DT))/lambda (DT itself
  // for a mode of eigenvalue zero) for the step factors_step.
  std::vector<double> decay, gain;
  double factors_step = std::numeric_limits<double>::quiet_NaN();
  // The load vector holds the corrected loads q, not yet psi = Phi^T q.
  bool psi_pending = false;
  // Row p of K has non-zero entries in the columns
  // k_columns[k_begin[p] .. k_begin[p + 1] - 1] (0-based modal indices),
  // with the values k_values[...] (read every step; K's rows lie far apart).
  std::vector<std::int32_t> k_begin, k_columns;
  std::vector<double> k_values;
  LetterView network;                 // followed after every variables 1 call
  double step_taken = 0.0;            // the step just accepted
  bool done = false;

  std::span<const double> lambda() const noexcept { return eigen.first(static_cast<std::size_t>(m)); }
  // A new call's start: the view and the state afresh, the vectors' storage
  // kept for reuse.
  void start() {
    m = 0;
    psi_pending = false;
    network = LetterView{};
    step_taken = 0.0;
    done = false;
  }
};

struct ModalCounts {
  std::int64_t steps = 1;   // counted from 1, one more per accepted step
  std::int64_t relxca = 0;  // accepted with RELXCC above RELXCA
  std::int64_t dtpmax = 0;  // accepted at the smallest step with the change above DTPMAX
};

}  // namespace kalvir::thermal

// Advances the thermal network from TIMEO to TIMEND by its modes.
void SLMODE();

// Decomposition and step loop; end warnings.
void S8SLVE(kalvir::thermal::SolutionFrame& FRAME, kalvir::thermal::ModalWork& WORK);

// Modal indices: 1 ... M for the nodes of status D with |C| >= 1.0E-37, in
// node order. A modal node whose capacitance is negative or not finite ends
// the run (severity 4).
void S8PTST(std::span<std::int32_t> INDEX, std::int32_t& M);

// Row of K (ROW, indexed by modal index, cleared first), capacitance and
// load of modal node I at the current temperatures. Radiation linearised;
// a fluidic conductor acts on the diagonal only, with its other node as load,
// as does every conductor to a node that is not modal.
void S8RCLC(const kalvir::thermal::ModalWork& WORK, std::int32_t I, std::span<double> ROW, double& CP, double& QP);

// PSI := Phi^T Q (in place over the load vector).
void S8PMLT(kalvir::thermal::ModalWork& WORK);

// ETA := Phi^T C theta of the current temperatures.
void S8CSVL(kalvir::thermal::ModalWork& WORK);

// The time stepping until the end of the run.
void S8TMST(kalvir::thermal::SolutionFrame& FRAME, kalvir::thermal::ModalWork& WORK,
            kalvir::thermal::ModalCounts& COUNTS);

// Each mode advanced exactly over DT; the modal nodes' temperatures from eta.
// A corrective load not yet projected (WORK.psi_pending) is projected first,
// in the same pass over Phi.
void S8CTMP(kalvir::thermal::ModalWork& WORK, double DT);

// Gauss-Seidel sweeps over the diffusion nodes without capacitance.
void S8ARTH(const kalvir::thermal::ModalWork& WORK);

// Sums of node I at the current temperatures over the active conductors
// whose other node is in the network (from the view WORK follows): A = sum
// GL + GF, B = sum g Tj, RS = STEFAN sum GR, RQ = STEFAN sum GR Tj^4
// (absolute temperatures).
void S8GSUM(const kalvir::thermal::ModalWork& WORK, std::int32_t I, double& A, double& B, double& RS, double& RQ);

// Acceptance of an attempt whose largest change is D: rejected (shorter step,
// temperatures and eta back at the step's start) or accepted (V20001,
// outputs, the next step placed, WORK.done at the end of the run).
bool S8TIME(kalvir::thermal::SolutionFrame& FRAME, kalvir::thermal::ModalWork& WORK, double D,
            kalvir::thermal::ModalCounts& COUNTS);

// Corrective load for the next step: the rows, capacitances and loads at the
// current state against those of the decomposition. Its projection
// psi = Phi^T q is left to the next step's S8CTMP (WORK.psi_pending).
void S8RHSV(kalvir::thermal::ModalWork& WORK);

// Capacitance CP and load QP of modal node I at the current state, as
// S8RCLC finds them, and ROW_THETA, the sum of its row's entries times the
// absolute temperatures of WORK.theta (without forming the row).
void modal_row_theta(const kalvir::thermal::ModalWork& WORK, std::int32_t I, double& CP, double& QP,
                     double& ROW_THETA);
// Differences of modal node P's capacitance (DC) and of its row times theta
// (DROW_THETA, from ROW_THETA of the current row) against the decomposition.
void S8LCFM(const kalvir::thermal::ModalWork& WORK, std::int32_t P, double CNEW, double ROW_THETA, double& DC,
            double& DROW_THETA);
// Corrected load of modal node P from its new load QNEW, the differences of
// S8LCFM and the step just taken.
double S8CFFN(const kalvir::thermal::ModalWork& WORK, std::int32_t P, double QNEW, double DC, double DROW_THETA);
