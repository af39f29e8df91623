#include "runtime/thermal/modal.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/messages.h"
#include "runtime/control/model_blocks.h"
#include "runtime/control/run_end.h"
#include "runtime/modeldata/search_sort.h"
#include "runtime/platform/target_clones.h"
#include "runtime/thermal/eigen.h"
#include "runtime/thermal/lanes.h"
#include "runtime/thermal/lapack.h"
#include "runtime/thermal/network_sums.h"

namespace kalvir::thermal {
namespace {

constexpr std::string_view kRunawayText = "SLMODE: Temperature > 1.0D10 detected@";
// The RELXCA warning's 10% is the single-precision 0.1.
constexpr double kRelxcaTenth = 0.10000000149011612;
constexpr std::size_t kWarningWidth = 60;

inline std::size_t at(std::int32_t i) noexcept { return static_cast<std::size_t>(i - 1); }

// Absolute temperature of the other node of an entry (thermal or fluid).
double other_theta(std::int32_t j, std::int32_t nnode, double tabs) {
  return neighbour_temperature(gar_thermalnodetemps.span(), j, nnode) + tabs;
}

// The step loop's storage, outside the dynamic cores: the node of each
// modal index and the vectors of a step. Storage kept from an earlier call
// is reused.
void allocate_loop_storage(ModalWork& w, std::int32_t nnode) {
  const auto m = static_cast<std::size_t>(w.m);
  allocate_or_stop([&] {
    w.node.clear();
    w.node.reserve(m);
    for (std::int32_t i = 1; i <= nnode; ++i)
      if (w.index[at(i)] > 0) w.node.push_back(i);
    w.eta_saved.assign(m, 0.0);
    w.t_old.assign(static_cast<std::size_t>(nnode), 0.0);
    w.theta.assign(m, 0.0);
    w.row.assign(m, 0.0);
    w.decay.assign(m, 0.0);
    w.gain.assign(m, 0.0);
  });
}

// The absolute temperatures of the modal nodes into WORK.theta.
void gather_theta(ModalWork& w) {
  const double tabs = GLOR.TABS;
  for (std::size_t p = 0; p < w.node.size(); ++p) w.theta[p] = gar_thermalnodetemps(w.node[p]) + tabs;
}

// Whether the BLAS linked is an optimised one (the build defines
// KALVIR_OPTIMISED_BLAS then).
#ifdef KALVIR_OPTIMISED_BLAS
constexpr bool kOptimisedBlas = true;
#else
constexpr bool kOptimisedBlas = false;
#endif

// Y := Phi X (TRANS "N") or Phi^T X ("T"). These two products, M^2 each,
// are most of a step's work. An optimised BLAS does them with the machine's
// widest vectors; the reference BLAS's plain loops would be slower than the
// two-lane kernels here, which then do them.
void phi_times(const ModalWork& w, const char* trans, const double* x, double* y) {
  if constexpr (kOptimisedBlas) {
    const lapack_int m = w.m, one = 1;
    const double unit = 1.0, zero = 0.0;
    dgemv_(trans, &m, &m, &unit, w.phi.data(), &m, x, &one, &zero, y, &one, 1);
    return;
  }
  const auto m = static_cast<std::size_t>(w.m);
  const double* const phi = w.phi.data();
  if (trans[0] == 'T') {
    for (std::size_t k = 0; k < m; ++k) y[k] = dot(phi + k * m, x, m);
    return;
  }
  // Four columns at a time: Y is read and written once per four columns.
  std::fill_n(y, m, 0.0);
  std::size_t k = 0;
  for (; k + 4 <= m; k += 4) {
    const double* c0 = phi + k * m;
    const double *c1 = c0 + m, *c2 = c1 + m, *c3 = c2 + m;
    const double x0 = x[k], x1 = x[k + 1], x2 = x[k + 2], x3 = x[k + 3];
    for (std::size_t p = 0; p < m; ++p) y[p] += (c0[p] * x0 + c1[p] * x1) + (c2[p] * x2 + c3[p] * x3);
  }
  for (; k < m; ++k) {
    const double* column = phi + k * m;
    for (std::size_t p = 0; p < m; ++p) y[p] += column[p] * x[k];
  }
}

// PSI := Phi^T Q, then ETA := PSI GAIN + ETA DECAY, then THETA := Phi ETA,
// in one pass over Phi, four columns at a time: each block of columns serves
// both products while it is in the nearest cache, where two products would
// fetch Phi twice from farther away. The sums run in four-lane vectors also
// where the processor has only two-lane ones, so they round alike on every
// processor.
KALVIR_CLONES("avx2", "default") void project_and_advance(const double* phi, std::size_t m, const double* q,
                                                          const double* gain, const double* decay, double* psi,
                                                          double* eta, double* theta) {
  using Wide = double __attribute__((vector_size(32)));
  const std::size_t body = m - m % 4;
  std::fill_n(theta, m, 0.0);
  std::size_t k = 0;
  for (; k + 4 <= m; k += 4) {
    const double* c0 = phi + k * m;
    const double *c1 = c0 + m, *c2 = c1 + m, *c3 = c2 + m;
    Wide s0{}, s1{}, s2{}, s3{};
    for (std::size_t p = 0; p < body; p += 4) {
      Wide x, a0, a1, a2, a3;
      __builtin_memcpy(&x, q + p, sizeof x);
      __builtin_memcpy(&a0, c0 + p, sizeof a0);
      __builtin_memcpy(&a1, c1 + p, sizeof a1);
      __builtin_memcpy(&a2, c2 + p, sizeof a2);
      __builtin_memcpy(&a3, c3 + p, sizeof a3);
      s0 += a0 * x;
      s1 += a1 * x;
      s2 += a2 * x;
      s3 += a3 * x;
    }
    double sum[4] = {(s0[0] + s0[1]) + (s0[2] + s0[3]), (s1[0] + s1[1]) + (s1[2] + s1[3]),
                     (s2[0] + s2[1]) + (s2[2] + s2[3]), (s3[0] + s3[1]) + (s3[2] + s3[3])};
    for (std::size_t p = body; p < m; ++p) {
      sum[0] += c0[p] * q[p];
      sum[1] += c1[p] * q[p];
      sum[2] += c2[p] * q[p];
      sum[3] += c3[p] * q[p];
    }
    for (std::size_t j = 0; j < 4; ++j) {
      psi[k + j] = sum[j];
      eta[k + j] = sum[j] * gain[k + j] + eta[k + j] * decay[k + j];
    }
    const double e0 = eta[k], e1 = eta[k + 1], e2 = eta[k + 2], e3 = eta[k + 3];
    const Wide v0 = {e0, e0, e0, e0}, v1 = {e1, e1, e1, e1}, v2 = {e2, e2, e2, e2}, v3 = {e3, e3, e3, e3};
    for (std::size_t p = 0; p < body; p += 4) {
      Wide t, a0, a1, a2, a3;
      __builtin_memcpy(&t, theta + p, sizeof t);
      __builtin_memcpy(&a0, c0 + p, sizeof a0);
      __builtin_memcpy(&a1, c1 + p, sizeof a1);
      __builtin_memcpy(&a2, c2 + p, sizeof a2);
      __builtin_memcpy(&a3, c3 + p, sizeof a3);
      t += (a0 * v0 + a1 * v1) + (a2 * v2 + a3 * v3);
      __builtin_memcpy(theta + p, &t, sizeof t);
    }
    for (std::size_t p = body; p < m; ++p) theta[p] += (c0[p] * e0 + c1[p] * e1) + (c2[p] * e2 + c3[p] * e3);
  }
  for (; k < m; ++k) {
    const double* column = phi + k * m;
    double sum = 0.0;
    for (std::size_t p = 0; p < m; ++p) sum += column[p] * q[p];
    psi[k] = sum;
    eta[k] = sum * gain[k] + eta[k] * decay[k];
    for (std::size_t p = 0; p < m; ++p) theta[p] += column[p] * eta[k];
  }
}

}  // namespace
}  // namespace kalvir::thermal

using namespace kalvir::thermal;

void SLMODE() {
  SolutionFrame frame(method_row("SLMODE"));
  const std::int32_t nnode = FLAGS(flagw::NNODE);
  const std::int64_t dystor = FLAGS(flagw::DYSTOR);
  const std::int64_t area = 3LL * nnode * (static_cast<std::int64_t>(nnode) + 1);
  const std::int64_t real_end = static_cast<std::int64_t>(FLAGS(flagw::NEXTREAL)) + area;
  const std::int64_t int_end = static_cast<std::int64_t>(FLAGS(flagw::NEXTINT)) + area;
  frame.check_space(real_end + 1 - dystor, int_end + 1 - dystor);

  // The step loop's vectors are kept from call to call (the cyclic analysis
  // calls once per cycle); the rest of the work starts afresh.
  static ModalWork kept;
  ModalWork& work = kept;
  work.start();
  work.index = frame.take_int(nnode);
  work.area = frame.take_real(static_cast<std::int32_t>(area + 2));
  if (frame.skipped()) return;

  GLOR.TIMEN = GLOR.TIMEM = GLOR.TIMEO;
  frame.start_callbacks();
  GLOR.DTIMEI = GLOR.DTIMEU = 0.95 * GLOR.CSGMIN;
  frame.output_at_start();
  frame.first_step();
  GLOR.TIMEM = 0.5 * (GLOR.TIMEO + GLOR.TIMEN);
  S8SLVE(frame, work);
  frame.finish();
}

void S8SLVE(SolutionFrame& FRAME, ModalWork& WORK) {
  const std::int32_t nnode = FLAGS(flagw::NNODE);
  call_variables1_block();
  WORK.network.follow();
  S8PTST(WORK.index, WORK.m);
  const std::int32_t m = WORK.m;
  const auto mm = static_cast<std::size_t>(m) * static_cast<std::size_t>(m);
  const auto mv = static_cast<std::size_t>(m);
  // 3 M^2 + 3 M words: within the area, M being at most NNODE.
  std::span<double> rest = WORK.area;
  using Slice = std::pair<std::span<double>*, std::size_t>;
  for (auto [slice, words] : {Slice{&WORK.K, mm}, Slice{&WORK.cap, mv}, Slice{&WORK.phi, mm}, Slice{&WORK.load, mv},
                              Slice{&WORK.eta, mv}, Slice{&WORK.eigen, mm}}) {
    *slice = rest.first(words);
    rest = rest.subspan(words);
  }
  allocate_loop_storage(WORK, nnode);

  // Column p holds node p's row: K is symmetric, and columns are contiguous.
  for (std::size_t p = 0; p < mv; ++p)
    S8RCLC(WORK, WORK.node[p], WORK.K.subspan(p * mv, mv), WORK.cap[p], WORK.load[p]);
  // Each row's non-zero columns, for the corrective load of every step.
  allocate_or_stop([&] {
    WORK.k_begin.assign(mv + 1, 0);
    WORK.k_columns.clear();
    WORK.k_values.clear();
    for (std::size_t p = 0; p < mv; ++p) {
      const double* row = WORK.K.data() + p * mv;
      for (std::size_t q = 0; q < mv; ++q) {
        if (row[q] == 0.0) continue;
        WORK.k_columns.push_back(static_cast<std::int32_t>(q));
        WORK.k_values.push_back(row[q]);
      }
      WORK.k_begin[p + 1] = static_cast<std::int32_t>(WORK.k_columns.size());
    }
  });
  std::int32_t ierr = 0;
  SCOPYD(WORK.K, static_cast<std::int32_t>(mm), ierr, WORK.eigen);
  if (ierr != 0) {
    SETERX("SLMODE: Error copying conductance array to work space", 4, 2, "S8SLVE");
    return;
  }
  LEIGEN(WORK.cap, m, WORK.eigen, WORK.phi, ierr);
  if (ierr != 0) return;
  WORK.factors_step = std::numeric_limits<double>::quiet_NaN();  // new eigenvalues
  S8PMLT(WORK);
  WORK.psi_pending = false;
  S8CSVL(WORK);

  ModalCounts counts;
  S8TMST(FRAME, WORK, counts);
  FRAME.end_warning(counts.relxca, counts.steps, "RELXCA", 4, 5, "S8SLVE", kRelxcaTenth, kWarningWidth);
  FRAME.end_warning(counts.dtpmax, counts.steps, "DTPMAX", 6, 7, "S8SLVE", 0.1, kWarningWidth);
}

void S8PTST(std::span<std::int32_t> INDEX, std::int32_t& M) {
  const std::int32_t nnode = FLAGS(flagw::NNODE);
  M = 0;
  for (std::int32_t i = 1; i <= nnode; ++i) {
    const double c = gar_thermalnodecapacitances(i);
    const bool modal = gar_thermalnodestatuses(i)[0] == 'D' && !SMINRL(c);
    INDEX[at(i)] = modal ? ++M : 0;
    // Its square root scales the eigenproblem: a negative capacitance would
    // turn every mode into a NaN. The start of the run has checked them;
    // the variables 1 call of the decomposition may have changed them.
    if (modal && !(c > 0.0 && std::isfinite(c))) unsound_capacitance_stop("SLMODE", i);
  }
}

void S8RCLC(const ModalWork& WORK, std::int32_t I, std::span<double> ROW, double& CP, double& QP) {
  const std::int32_t nnode = FLAGS(flagw::NNODE);
  const double stefan = GLOR.STEFAN, tabs = GLOR.TABS;
  const double ti = gar_thermalnodetemps(I) + tabs;
  const std::int32_t p = WORK.index[at(I)];
  std::int32_t ierr = 0;
  Szerod(WORK.m, ROW, ierr);
  CP = gar_thermalnodecapacitances(I);
  QP = node_heat_load(I);
  for_each_view_entry(WORK.network.view(), I, [&](int kind, std::int32_t j, double value) {
    const double tj = other_theta(j, nnode, tabs);
    const double g = kind == 2 ? stefan * value * (ti * ti + tj * tj) * (tj + ti) : value;
    ROW[at(p)] += g;
    const std::int32_t q = j <= nnode ? WORK.index[at(j)] : 0;
    if (q > 0 && kind != 3)
      ROW[at(q)] -= g;
    else
      QP += g * tj;
  });
}

void S8PMLT(ModalWork& WORK) {
  // Each psi_k reads every load, so the results wait in the scratch row.
  phi_times(WORK, "T", WORK.load.data(), WORK.row.data());
  std::copy_n(WORK.row.begin(), WORK.m, WORK.load.begin());
}

void S8CSVL(ModalWork& WORK) {
  gather_theta(WORK);
  const auto m = static_cast<std::size_t>(WORK.m);
  for (std::size_t k = 0; k < m; ++k) {
    const double* column = WORK.phi.data() + k * m;
    double sum = 0.0;
    for (std::size_t p = 0; p < m; ++p) sum += WORK.cap[p] * column[p] * WORK.theta[p];
    WORK.eta[k] = sum;
  }
}

void S8TMST(SolutionFrame& FRAME, ModalWork& WORK, ModalCounts& COUNTS) {
  const std::int32_t nnode = FLAGS(flagw::NNODE);
  kalvir::LoopGuard steps("S8TMST");
  WORK.done = false;
  while (!WORK.done) {
    steps.tick();
    std::copy_n(gar_thermalnodetemps.data(), nnode, WORK.t_old.begin());
    std::copy(WORK.eta.begin(), WORK.eta.end(), WORK.eta_saved.begin());
    kalvir::LoopGuard attempts("S8TMST");
    for (;;) {
      attempts.tick();
      S8CTMP(WORK, GLOR.DTIMEU);
      S8ARTH(WORK);
      double d = 0.0;
      SRCOMP(gar_thermalnodetemps.span(), WORK.t_old, nnode, d);
      if (S8TIME(FRAME, WORK, d, COUNTS)) break;
    }
    // The outputs of the step may have changed letters or values.
    WORK.network.follow();
    view_s5csgm(WORK.network.view(), gar_thermalnodecapacitances.span(), GLOR.CSGMIN, GLOI.NCSGMN, GLOR.STEFAN,
                gar_thermalnodetemps.span(), GLOR.TABS);
    ++COUNTS.steps;
    S8RHSV(WORK);
  }
}

void S8CTMP(ModalWork& WORK, double DT) {
  const auto m = static_cast<std::size_t>(WORK.m);
  // Most steps are as long as the one before, and then each mode's factors
  // are those of the step before: 2 M exponentials saved.
  if (!(DT == WORK.factors_step)) {
    const std::span<const double> lambda = WORK.lambda();
    for (std::size_t k = 0; k < m; ++k) {
      const double l = lambda[k];
      if (SMINRL(l)) {
        WORK.decay[k] = 1.0;
        WORK.gain[k] = DT;
      } else {
        // 1 - e^(-l DT) through expm1, exact also for modes far slower than DT.
        const double x = -l * DT;
        WORK.decay[k] = std::exp(x);
        WORK.gain[k] = -std::expm1(x) / l;
      }
    }
    WORK.factors_step = DT;
  }
  if (WORK.psi_pending) {
    // The corrective load's projection joins the advance (the scratch row
    // takes psi: every psi_k reads the whole load).
    project_and_advance(WORK.phi.data(), m, WORK.load.data(), WORK.gain.data(), WORK.decay.data(), WORK.row.data(),
                        WORK.eta.data(), WORK.theta.data());
    std::copy_n(WORK.row.begin(), m, WORK.load.begin());
    WORK.psi_pending = false;
  } else {
    for (std::size_t k = 0; k < m; ++k) WORK.eta[k] = WORK.load[k] * WORK.gain[k] + WORK.eta[k] * WORK.decay[k];
    phi_times(WORK, "N", WORK.eta.data(), WORK.theta.data());
  }
  const double tabs = GLOR.TABS;
  for (std::size_t p = 0; p < m; ++p) {
    const std::int32_t i = WORK.node[p];
    const double t = WORK.theta[p] - tabs;
    gar_thermalnodetemps(i) = t;
    if (runaway(t)) runaway_stop(kRunawayText, t, i, "S8CTMP");
  }
}

void S8GSUM(const ModalWork& WORK, std::int32_t I, double& A, double& B, double& RS, double& RQ) {
  const std::int32_t nnode = FLAGS(flagw::NNODE);
  const double stefan = GLOR.STEFAN, tabs = GLOR.TABS;
  A = B = RS = RQ = 0.0;
  // In the packed list's order, as the walk over the letters added them.
  for_each_view_entry(WORK.network.view(), I, [&](int kind, std::int32_t j, double value) {
    const double tj = other_theta(j, nnode, tabs);
    if (kind == 2) {
      const double g = stefan * value;
      const double tj2 = tj * tj;
      RS += g;
      RQ += g * tj2 * tj2;
      return;
    }
    A += value;
    B += value * tj;
  });
}

void S8ARTH(const ModalWork& WORK) {
  const std::int32_t nnode = FLAGS(flagw::NNODE);
  const double tabs = GLOR.TABS;
  for (std::int32_t s = 1;; ++s) {
    GLOI.LOOPCT = s;
    GLOR.RELXCC = 0.0;
    for (std::int32_t i = 1; i <= nnode; ++i) {
      if (gar_thermalnodestatuses(i)[0] != 'D' || WORK.index[at(i)] != 0) continue;
      double a = 0.0, b = 0.0, rs = 0.0, rq = 0.0;
      S8GSUM(WORK, i, a, b, rs, rq);
      const double q = node_heat_load(i);
      const double t = gar_thermalnodetemps(i);
      double next = t;
      if (SMINRL(a) && SMINRL(rs)) {
        if (!SMINRL(q)) next = t + 1.0e20;
      } else if (SMINRL(a)) {
        next = std::sqrt(std::sqrt((q + rq) / rs)) - tabs;
      } else if (SMINRL(rs)) {
        next = (q + b) / a - tabs;
      } else {
        const double theta = t + tabs;
        const double r3 = rs * theta * theta * theta;
        next = t + (q + b + rq - theta * (a + r3)) / (a + 4.0 * r3);
      }
      gar_thermalnodetemps(i) = next;
      if (runaway(next)) runaway_stop(kRunawayText, next, i, "S8ARTH");
      const double change = std::abs(next - t);
      if (change > GLOR.RELXCC) {
        GLOR.RELXCC = change;
        GLOI.NRLXCC = i;
      }
    }
    if (!(s <= GLOI.NLOOP && GLOR.RELXCC > GLOR.RELXCA)) return;
  }
}

bool S8TIME(SolutionFrame& FRAME, ModalWork& WORK, double D, ModalCounts& COUNTS) {
  const double h = GLOR.DTIMEU;
  if (D > GLOR.DTPMAX) {
    if (h > 1.0001 * GLOR.DTMIN) {
      const double next = retry_step(0.95 * h * GLOR.DTPMAX / D, h);
      GLOR.DTIMEU = next;
      GLOR.TIMEN = GLOR.TIMEO + next;
      GLOR.TIMEM = GLOR.TIMEO + 0.5 * next;
      FRAME.require_positive_step(GLOR.TIMEN - GLOR.TIMEO);
      std::copy(WORK.t_old.begin(), WORK.t_old.end(), gar_thermalnodetemps.data());
      std::copy(WORK.eta_saved.begin(), WORK.eta_saved.end(), WORK.eta.begin());
      return false;
    }
    ++COUNTS.dtpmax;
  }
  WORK.step_taken = h;
  FRAME.accept_tail();
  if (GLOR.RELXCC > GLOR.RELXCA) ++COUNTS.relxca;
  if (GLOR.TIMEN >= GLOR.TIMEND) {
    WORK.done = true;
    return true;
  }
  GLOR.TIMEO = GLOR.TIMEN;
  FRAME.place_step(clamp_step(GLOR.DTIMEI));
  GLOR.TIMEM = 0.5 * (GLOR.TIMEO + GLOR.TIMEN);
  return true;
}

void S8RHSV(ModalWork& WORK) {
  call_variables1_block();
  WORK.network.follow();
  gather_theta(WORK);
  for (std::size_t p = 0; p < WORK.node.size(); ++p) {
    double cnew = 0.0, qnew = 0.0, row_theta = 0.0, dc = 0.0, drow_theta = 0.0;
    const auto index = static_cast<std::int32_t>(p + 1);
    modal_row_theta(WORK, WORK.node[p], cnew, qnew, row_theta);
    S8LCFM(WORK, index, cnew, row_theta, dc, drow_theta);
    WORK.load[p] = S8CFFN(WORK, index, qnew, dc, drow_theta);
  }
  // psi = Phi^T q is formed by the next step's advance (S8CTMP), in the same
  // pass over Phi as its own product.
  WORK.psi_pending = true;
}

void modal_row_theta(const ModalWork& WORK, std::int32_t I, double& CP, double& QP, double& ROW_THETA) {
  const ConductorView& view = WORK.network.view();
  const std::int32_t nnode = view.nnode;
  const double stefan = GLOR.STEFAN, tabs = GLOR.TABS;
  const std::span<const double> T = gar_thermalnodetemps.span();
  const double ti = T[at(I)] + tabs;
  CP = gar_thermalnodecapacitances(I);
  double qp = node_heat_load(I);
  // The row's terms as S8RCLC forms them, each times its node's theta:
  // the diagonal's g times theta_i, an off-diagonal -g times theta_j (which
  // is the neighbour's T + TABS). In the walk's order, kind by kind: this
  // runs for every modal node at every step.
  double diagonal = 0.0, off = 0.0;
  const auto walk = [&](const ConductorView::Kind& kind, bool coupled, auto conductance) {
    for (std::size_t e = kind.first(I), last = kind.end(I); e < last; ++e) {
      const std::int32_t o = kind.other[e];
      const double tj = view_temperature(T, o, nnode) + tabs;
      const double g = conductance(kind.g[e], tj);
      diagonal += g;
      if (coupled && o < nnode && WORK.index[static_cast<std::size_t>(o)] > 0)
        off += g * tj;
      else
        qp += g * tj;
    }
  };
  const auto value = [](double g, double) { return g; };
  walk(view.lin, true, value);
  walk(view.rad, true, [&](double g, double tj) { return stefan * g * (ti * ti + tj * tj) * (tj + ti); });
  walk(view.flu, false, value);  // fluidic conductors act on the diagonal only
  QP = qp;
  ROW_THETA = diagonal * WORK.theta[at(WORK.index[at(I)])] - off;
}

void S8LCFM(const ModalWork& WORK, std::int32_t P, double CNEW, double ROW_THETA, double& DC, double& DROW_THETA) {
  DC = CNEW - WORK.cap[at(P)];
  // Row P of K has entries only where the decomposition found conductors.
  double old_theta = 0.0;
  for (auto e = static_cast<std::size_t>(WORK.k_begin[at(P)]); e < static_cast<std::size_t>(WORK.k_begin[at(P) + 1]);
       ++e)
    old_theta += WORK.k_values[e] * WORK.theta[static_cast<std::size_t>(WORK.k_columns[e])];
  DROW_THETA = ROW_THETA - old_theta;
}

double S8CFFN(const ModalWork& WORK, std::int32_t P, double QNEW, double DC, double DROW_THETA) {
  const std::int32_t i = WORK.node[at(P)];
  // The capacitance change times the rate over the step just taken.
  const double q = QNEW - DC * (gar_thermalnodetemps(i) - WORK.t_old[at(i)]) / WORK.step_taken;
  return q - DROW_THETA;
}
