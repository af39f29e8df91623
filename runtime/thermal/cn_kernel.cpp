#include "runtime/thermal/cn_kernel.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/messages.h"
#include "runtime/control/model_blocks.h"
#include "runtime/control/run_end.h"
#include "runtime/control/status.h"
#include "runtime/modeldata/search_sort.h"
#include "runtime/output/print/cycle_report.h"

namespace kalvir::thermal {
namespace {

constexpr std::string_view kRunawayText = "SLCRNC: Temperature > 1.0D10 detected@";

inline std::size_t at(std::int32_t i) noexcept { return static_cast<std::size_t>(i - 1); }

[[noreturn]] void corrupt_list() {
  internal_stop("SLCRNC: connection list entry names a node or conductor outside the model");
}

// Positions of one kind, from the record-form runs of that kind.
void build_kind(std::int32_t nnode, int kind, std::int32_t nconductors, std::vector<std::int32_t>& begin,
                std::vector<std::int32_t>& other, std::vector<std::int32_t>& cond,
                std::vector<std::int32_t>* cond_begin, std::vector<std::int32_t>* cond_pos) {
  const std::int32_t nmax = nnode + FLAGS(flagw::NF);
  const std::int64_t words = gar_pcsthermal.size();
  begin.assign(static_cast<std::size_t>(nnode) + 1, 0);
  std::size_t total = 0;
  for (std::int32_t i = 1; i <= nnode; ++i) {
    const std::int32_t start = gar_pcsptrsthermal(2 * kind - 1, i);
    const std::int32_t count = gar_pcsptrsthermal(2 * kind, i);
    if (count < 0 || (count > 0 && (start < 1 || start - 1 + 2LL * count > words))) corrupt_list();
    total += static_cast<std::size_t>(count);
    begin[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(total);
  }
  other.resize(total);
  cond.resize(total);
  std::size_t p = 0;
  for (std::int32_t i = 1; i <= nnode; ++i) {
    const std::int32_t start = gar_pcsptrsthermal(2 * kind - 1, i);
    const std::int32_t count = gar_pcsptrsthermal(2 * kind, i);
    for (std::int32_t e = 0; e < count; ++e, ++p) {
      const std::int32_t j = gar_pcsthermal(start + 2LL * e);
      const std::int32_t k = gar_pcsthermal(start + 2LL * e + 1);
      if (j < 1 || j > nmax || k == 0 || std::abs(static_cast<std::int64_t>(k)) > nconductors) corrupt_list();
      if (kind != 3 && k < 0) corrupt_list();
      other[p] = j;
      cond[p] = k;
    }
  }
  if (cond_begin == nullptr) return;
  // Conductor -> its positions, in position order.
  cond_begin->assign(static_cast<std::size_t>(nconductors) + 1, 0);
  for (std::int32_t k : cond) ++(*cond_begin)[static_cast<std::size_t>(k)];
  for (std::size_t k = 1; k < cond_begin->size(); ++k) (*cond_begin)[k] += (*cond_begin)[k - 1];
  cond_pos->resize(total);
  std::vector<std::int32_t> fill(cond_begin->begin(), cond_begin->end() - 1);
  for (std::size_t q = 0; q < total; ++q) {
    const auto k = static_cast<std::size_t>(cond[q] - 1);
    (*cond_pos)[static_cast<std::size_t>(fill[k]++)] = static_cast<std::int32_t>(q);
  }
}

// Calls term(q, sum, weighted) for each radiative position q of node i, in
// position order.
template <class Term>
void radiative_walk(const PositionStore& pos, std::int32_t i, Term term, double& sum, double& weighted) {
  const auto last = static_cast<std::size_t>(pos.rad_begin[at(i) + 1]);
  for (auto q = static_cast<std::size_t>(pos.rad_begin[at(i)]); q < last; ++q) term(q, sum, weighted);
}

// S4GSUM of node i on the start-of-step temperatures T0, read from the
// position store: the same terms in the same order (radiative, linear, then
// fluidic entries whose other node is in the network; an inactive conductor
// adds zero), with each node's absolute temperature and its square taken
// once per step (ABS, SQUARE) instead of at every conductor end.
void start_sums(const PositionStore& pos, const NetworkFlags& flags, std::int32_t i, double stefan,
                std::span<const double> T0, double tabs, std::span<const double> abs, std::span<const double> square,
                double& sg, double& sgt) {
  const std::int32_t nnode = pos.nnode;
  const double ti = abs[at(i)];
  const double ti2 = square[at(i)];
  double g_sum = 0.0, gt_sum = 0.0;
  // As in SCondSumsAbsTempGrT4: plain pointers and a local copy of the flags.
  const NetworkFlags local_flags = flags;
  const std::int32_t* const rad_other = pos.rad_other.data();
  const std::int32_t* const rad_active = pos.rad_active.data();
  const double* const rad_value = pos.rad_value.data();
  auto rad_term = [=](std::size_t q, double& g_part, double& gt_part) {
    const std::int32_t j = rad_other[q];
    if (!neighbour_in_network(local_flags, j, nnode)) return;
    double tj_rel, tj, tj2;
    if (j <= nnode) {
      tj_rel = T0[at(j)];
      tj = abs[at(j)];
      tj2 = square[at(j)];
    } else {
      tj_rel = neighbour_temperature(T0, j, nnode);
      tj = tj_rel + tabs;
      tj2 = tj * tj;
    }
    const double g = rad_active[q] != 0 ? stefan * rad_value[q] * (ti2 + tj2) * (ti + tj) : 0.0;
    g_part += g;
    gt_part += g * tj_rel;
  };
  radiative_walk(pos, i, rad_term, g_sum, gt_sum);
  for (std::int32_t p = pos.lin_begin[at(i)]; p < pos.lin_begin[at(i) + 1]; ++p) {
    const auto q = static_cast<std::size_t>(p);
    const std::int32_t j = pos.lin_other[q];
    if (!neighbour_in_network(flags, j, nnode)) continue;
    const double g = pos.lin_active[q] != 0 ? pos.lin_value[q] : 0.0;
    g_sum += g;
    gt_sum += g * neighbour_temperature(T0, j, nnode);
  }
  for (std::int32_t p = pos.flu_begin[at(i)]; p < pos.flu_begin[at(i) + 1]; ++p) {
    const auto q = static_cast<std::size_t>(p);
    const std::int32_t j = pos.flu_other[q];
    if (!neighbour_in_network(flags, j, nnode)) continue;
    const std::int32_t k = pos.flu_cond[q];
    const double g = k > 0 && flags.gf_active[at(k)] != 0 ? gar_fluidicconds(k) : 0.0;
    g_sum += g;
    gt_sum += g * neighbour_temperature(T0, j, nnode);
  }
  sg = g_sum;
  sgt = gt_sum;
}

// Kept powers of the nodes that the sweeps do not update but read.
void refresh_boundary_powers(CnWork& w) {
  const double tabs = GLOR.TABS;
  for (std::int32_t i = 1; i <= w.pos.nnode; ++i)
    if (w.in_network[at(i)] != 0 && w.pos.diffusion[at(i)] == 0) w.pos.set_powers(i, w.T[at(i)], tabs);
}

void refresh_all_powers(CnWork& w) {
  const double tabs = GLOR.TABS;
  for (std::int32_t i = 1; i <= w.pos.nnode; ++i) w.pos.set_powers(i, w.T[at(i)], tabs);
}

// Extrapolation moves temperatures behind the kept powers' back.
void extrapolate(CnWork& w, std::int32_t k, std::span<double> s1, std::span<double> s2) {
  S9EXTR(4, 1, k, w.pos.nnode, GLOR.RELXCA, s1, s2, w.T);
  if (k % 4 == 0) refresh_all_powers(w);
}

}  // namespace

void PositionStore::build(std::int32_t NNODE, std::int32_t NGL, std::int32_t NGR, std::int32_t NGF) {
  nnode = NNODE;
  std::vector<std::int32_t> lin_cond, rad_cond;
  build_kind(NNODE, 1, NGL, lin_begin, lin_other, lin_cond, &lin_cond_begin, &lin_cond_pos);
  build_kind(NNODE, 2, NGR, rad_begin, rad_other, rad_cond, &rad_cond_begin, &rad_cond_pos);
  build_kind(NNODE, 3, NGF, flu_begin, flu_other, flu_cond, nullptr, nullptr);
  lin_value.assign(lin_other.size(), 0.0);
  lin_active.assign(lin_other.size(), 0);
  rad_value.assign(rad_other.size(), 0.0);
  rad_active.assign(rad_other.size(), 0);
  rad_last.assign(static_cast<std::size_t>(NGR), 0.0);
  const auto n = static_cast<std::size_t>(NNODE);
  cube.assign(n, 0.0);
  fourth.assign(n, 0.0);
  load.assign(n, 0.0);
  diffusion.assign(n, 0);
  arith.assign(n, 0);
}

void PositionStore::copy_all_values() {
  const auto ngl = static_cast<std::int32_t>(lin_cond_begin.size()) - 1;
  const auto ngr = static_cast<std::int32_t>(rad_cond_begin.size()) - 1;
  for (std::int32_t k = 1; k <= ngl; ++k) {
    const double v = gar_linearconds(k);
    for (std::int32_t q = lin_cond_begin[at(k)]; q < lin_cond_begin[at(k) + 1]; ++q)
      lin_value[static_cast<std::size_t>(lin_cond_pos[static_cast<std::size_t>(q)])] = v;
  }
  for (std::int32_t k = 1; k <= ngr; ++k) {
    const double v = gar_radiativeconds(k);
    rad_last[at(k)] = v;
    for (std::int32_t q = rad_cond_begin[at(k)]; q < rad_cond_begin[at(k) + 1]; ++q)
      rad_value[static_cast<std::size_t>(rad_cond_pos[static_cast<std::size_t>(q)])] = v;
  }
}

void PositionStore::refresh(std::span<const std::int32_t> gl_active, std::span<const std::int32_t> gr_active,
                            bool with_flags) {
  const auto ngl = static_cast<std::int32_t>(lin_cond_begin.size()) - 1;
  const auto ngr = static_cast<std::int32_t>(rad_cond_begin.size()) - 1;
  // Radiative conductors seldom change: when every value is bit for bit the
  // one last copied and no flag is to be copied, there is nothing to do.
  const bool rad_unchanged =
      !with_flags && ngr > 0 && ngr <= gar_radiativeconds.size() &&
      std::memcmp(gar_radiativeconds.data(), rad_last.data(), static_cast<std::size_t>(ngr) * sizeof(double)) == 0;
  for (std::int32_t k = 1; k <= (rad_unchanged ? 0 : ngr); ++k) {
    const auto first = static_cast<std::size_t>(rad_cond_begin[at(k)]);
    const auto last = static_cast<std::size_t>(rad_cond_begin[at(k) + 1]);
    if (with_flags)
      for (std::size_t q = first; q < last; ++q) rad_active[static_cast<std::size_t>(rad_cond_pos[q])] = gr_active[at(k)];
    const double v = gar_radiativeconds(k);
    if (!(v == rad_last[at(k)])) {  // changed, or either is not a number
      rad_last[at(k)] = v;
      for (std::size_t q = first; q < last; ++q) rad_value[static_cast<std::size_t>(rad_cond_pos[q])] = v;
    }
  }
  for (std::int32_t k = 1; k <= ngl; ++k) {
    const auto first = static_cast<std::size_t>(lin_cond_begin[at(k)]);
    const auto last = static_cast<std::size_t>(lin_cond_begin[at(k) + 1]);
    const double v = gar_linearconds(k);
    for (std::size_t q = first; q < last; ++q) {
      lin_value[static_cast<std::size_t>(lin_cond_pos[q])] = v;
      if (with_flags) lin_active[static_cast<std::size_t>(lin_cond_pos[q])] = gl_active[at(k)];
    }
  }
}

void CnWork::rebuild_flags() {
  SLOGST2(FLAGS(flagw::NGF), FLAGS(flagw::NGL), FLAGS(flagw::NGR), pos.nnode, gar_fluidiccondacts,
          gar_linearcondacts, gar_radiativecondacts, gar_thermalnodestatuses, pos.diffusion, gf_active, gl_active,
          gr_active, in_network);
}

void load_heat_loads(PositionStore& pos) {
  for (std::int32_t i = 1; i <= pos.nnode; ++i) pos.load[at(i)] = node_heat_load(i);
}

}  // namespace kalvir::thermal

using namespace kalvir::thermal;
using kalvir::thermal::at;

void SCondSumsAbsTempGrT4(const PositionStore& POS, const NetworkFlags& FLAGSET, std::int32_t I, double STEFAN,
                          std::span<const double> T, double TABS, double& GLF, double& GLFT, double& GR,
                          double& GRT4) {
  const std::int32_t nnode = POS.nnode;
  double glf = 0.0, glft = 0.0, gr = 0.0, grt4 = 0.0;
  for (std::int32_t p = POS.lin_begin[at(I)]; p < POS.lin_begin[at(I) + 1]; ++p) {
    const auto q = static_cast<std::size_t>(p);
    const std::int32_t j = POS.lin_other[q];
    if (POS.lin_active[q] == 0 || !neighbour_in_network(FLAGSET, j, nnode)) continue;
    glf += POS.lin_value[q];
    glft += POS.lin_value[q] * (neighbour_temperature(T, j, nnode) + TABS);
  }
  // The arrays as plain pointers and the flags as a local copy, so that the
  // walk keeps them in registers.
  const NetworkFlags flags = FLAGSET;
  const std::int32_t* const rad_other = POS.rad_other.data();
  const std::int32_t* const rad_active = POS.rad_active.data();
  const double* const rad_value = POS.rad_value.data();
  const double* const fourth = POS.fourth.data();
  auto rad_term = [=](std::size_t q, double& g_sum, double& gt_sum) {
    const std::int32_t j = rad_other[q];
    if (rad_active[q] == 0 || !neighbour_in_network(flags, j, nnode)) return;
    double tj4;
    if (j <= nnode) {
      tj4 = fourth[at(j)];
    } else {
      const double tj = neighbour_temperature(T, j, nnode) + TABS;
      tj4 = (tj * tj) * (tj * tj);
    }
    g_sum += rad_value[q];
    gt_sum += rad_value[q] * tj4;
  };
  radiative_walk(POS, I, rad_term, gr, grt4);
  for (std::int32_t p = POS.flu_begin[at(I)]; p < POS.flu_begin[at(I) + 1]; ++p) {
    const auto q = static_cast<std::size_t>(p);
    const std::int32_t k = POS.flu_cond[q];
    const std::int32_t j = POS.flu_other[q];
    if (k <= 0 || FLAGSET.gf_active[at(k)] == 0 || !neighbour_in_network(FLAGSET, j, nnode)) continue;
    const double g = gar_fluidicconds(k);
    glf += g;
    glft += g * (neighbour_temperature(T, j, nnode) + TABS);
  }
  GLF = glf;
  GLFT = glft;
  GR = STEFAN * gr;
  GRT4 = STEFAN * grt4;
}

void S9TCLC(std::int32_t /*NNODE*/, std::span<const double> C, double DAMPT, double DTIMEU, std::int32_t I,
            std::span<const double> Q, double GLF, double GLFT, double GR, double GRT4, double TABS,
            std::span<const double> T0, std::span<const double> R0, std::int32_t& HOT, double& DTROCC,
            std::int32_t& NDTROC, std::int32_t& NRLXCC, double& RELXCC, std::span<double> T,
            std::span<double> CUBES, std::span<double> FOURTHS) {
  const std::size_t i = at(I);
  const double c = C[i];
  const double ta = T[i] + TABS;
  const double u = GR * CUBES[i];
  const double r1 = (Q[i] + GLFT + GRT4 - ta * (GLF + u)) / c;
  const double delta = ((R0[i] + r1) * 0.5 * DTIMEU + T0[i] - T[i]) / ((2.0 * u + 0.5 * GLF) / c * DTIMEU + 1.0);
  T[i] += DAMPT * delta;
  const double tn = T[i] + TABS;
  const double tn2 = tn * tn;
  CUBES[i] = tn2 * tn;
  FOURTHS[i] = tn2 * tn2;
  const double rate_change = DTIMEU * std::abs(r1 - R0[i]);
  if (rate_change > DTROCC) {
    DTROCC = rate_change;
    NDTROC = I;
  }
  if (std::abs(delta) > RELXCC) {
    RELXCC = std::abs(delta);
    NRLXCC = I;
  }
  if (runaway(T[i])) {
    PRTWAR(I);
    if (HOT == 0) HOT = I;
  }
}

void S9EXTR(std::int32_t K1, std::int32_t K2, std::int32_t K, std::int32_t NNODE, double RELXCA,
            std::span<double> S1, std::span<double> S2, std::span<double> T) {
  if (K1 <= 0) return;
  const std::int32_t c = K % K1;
  const auto n = static_cast<std::size_t>(NNODE);
  if (c == K1 - 2 * K2) {
    std::copy_n(T.begin(), n, S1.begin());
  } else if (c == K1 - K2) {
    std::copy_n(T.begin(), n, S2.begin());
  } else if (c == 0) {
    for (std::size_t i = 0; i < n; ++i) {
      const double f = T[i] - S2[i];
      const double rise = S2[i] - S1[i];
      if (!(std::abs(f) > RELXCA) || !(rise >= kalvir::thermal::kTiny)) continue;
      const double q = f / rise;
      if (q >= 1.0) {
        T[i] += 10.0 * f;
      } else if (rise * f > 0.0) {
        const double aitken = (T[i] * S1[i] - S2[i] * S2[i]) / (S1[i] + T[i] - 2.0 * S2[i]);
        if (10.0 * std::abs(f) > std::abs(aitken - T[i]))
          T[i] = aitken;
        else
          T[i] += 10.0 * f;
      }
    }
  }
}

void S9ARTH(CnWork& WORK) {
  PositionStore& pos = WORK.pos;
  const std::int32_t nnode = pos.nnode;
  const NetworkFlags flags = WORK.flags();
  const double relxca = GLOR.RELXCA, dampt = GLOR.DAMPT, tabs = GLOR.TABS, stefan = GLOR.STEFAN;
  const double h = GLOR.DTIMEU;
  std::span<double> T = WORK.T;
  // Without arithmetic diffusion nodes the pass would move nothing (and the
  // changes are written afresh before every pass that reads them).
  bool any = false;
  for (std::size_t ii = 0; ii < static_cast<std::size_t>(nnode) && !any; ++ii)
    any = pos.diffusion[ii] != 0 && pos.arith[ii] != 0;
  if (!any) return;
  std::fill(WORK.change.begin(), WORK.change.end(), 1.0 + relxca);
  std::copy(T.begin(), T.end(), WORK.arith_start.begin());
  kalvir::LoopGuard guard("S9ARTH");
  for (std::int32_t k = 1;; ++k) {
    guard.tick();
    double max_change = 0.0;
    for (std::int32_t i = 1; i <= nnode; ++i) {
      const std::size_t ii = at(i);
      if (!(WORK.change[ii] > relxca) || pos.diffusion[ii] == 0 || pos.arith[ii] == 0) {
        WORK.change[ii] = 0.0;
        continue;
      }
      double glf = 0.0, glft = 0.0, gr = 0.0, grt4 = 0.0;
      SCondSumsAbsTempGrT4(pos, flags, i, stefan, T, tabs, glf, glft, gr, grt4);
      const double q = pos.load[ii];
      const bool no_lf = std::abs(glf) < kTiny;
      const bool no_r = std::abs(gr) < kTiny;
      double r;
      if (no_lf && no_r) {
        r = std::abs(q) > kTiny ? 1.0e20 : 0.0;
        WORK.change[ii] = r;
      } else {
        if (no_lf) {
          const double radicand = (q + grt4) / gr;
          // No real temperature balances a net loss by radiation alone.
          if (!(radicand >= 0.0)) fatal_node_message(kRunawayText, i, "S9Arth");
          r = std::sqrt(std::sqrt(radicand)) - tabs - T[ii];
        } else if (no_r) {
          r = (q + glft) / glf - tabs - T[ii];
        } else {
          const double v = gr * pos.cube[ii];
          r = (q + glft + grt4 - (T[ii] + tabs) * (glf + v)) / (glf + 4.0 * v);
        }
        WORK.change[ii] = std::abs(r);
      }
      T[ii] += dampt * r;
      pos.set_powers(i, T[ii], tabs);
      WORK.r0[ii] = (T[ii] - WORK.t0[ii]) / h;
      max_change = std::max(max_change, WORK.change[ii]);
      if (runaway(T[ii])) fatal_node_message(kRunawayText, i, "S9Arth");
    }
    if (max_change > relxca) extrapolate(WORK, k, WORK.arith_snap1, WORK.arith_snap2);
    if (!(max_change > relxca) || k >= GLOI.NLOOP) break;
  }
  for (std::int32_t i = 1; i <= nnode; ++i) {
    const double d = std::abs(T[at(i)] - WORK.arith_start[at(i)]);
    if (d > GLOR.RELXCC) {
      GLOR.RELXCC = d;
      GLOI.NRLXCC = i;
    }
  }
}

void S9LOP1(CnWork& WORK) {
  PositionStore& pos = WORK.pos;
  const std::int32_t nnode = pos.nnode;
  const NetworkFlags flags = WORK.flags();
  const double h = GLOR.DTIMEU, tabs = GLOR.TABS, stefan = GLOR.STEFAN;
  GLOR.CSGMIN = kHuge;
  const bool changed = stat_getstatst() != 0;
  pos.refresh(WORK.gl_active, WORK.gr_active, changed);
  if (changed) stat_setstatst(0);
  std::span<double> T = WORK.T;
  std::copy(T.begin(), T.end(), WORK.t0.begin());
  std::fill(WORK.r0.begin(), WORK.r0.end(), 0.0);
  std::fill(WORK.tau.begin(), WORK.tau.end(), 0.0);
  const double arith_limit = GLOR.ARITH * h;
  WORK.start_abs.resize(static_cast<std::size_t>(nnode));
  WORK.start_square.resize(static_cast<std::size_t>(nnode));
  for (std::size_t ii = 0; ii < static_cast<std::size_t>(nnode); ++ii) {
    WORK.start_abs[ii] = WORK.t0[ii] + tabs;
    WORK.start_square[ii] = WORK.start_abs[ii] * WORK.start_abs[ii];
  }
  for (std::int32_t i = 1; i <= nnode; ++i) {
    const std::size_t ii = at(i);
    double g = 0.0, gt = 0.0;
    start_sums(pos, flags, i, stefan, WORK.t0, tabs, WORK.start_abs, WORK.start_square, g, gt);
    const double c = WORK.C[ii];
    const bool no_capacity = std::abs(c) < kTiny;
    if (no_capacity) {
      WORK.tau[ii] = 0.0;
    } else if (std::abs(g) < kTiny) {
      WORK.tau[ii] = kHuge;
    } else {
      WORK.tau[ii] = c / g;
      if (WORK.tau[ii] < GLOR.CSGMIN) {
        GLOR.CSGMIN = WORK.tau[ii];
        GLOI.NCSGMN = i;
      }
    }
    const double q = node_heat_load(i);
    pos.load[ii] = q;
    // A node without capacitance has no time constant to compare: it is
    // arithmetic whatever ARITH holds, or the implicit guess divides by zero.
    pos.arith[ii] = no_capacity || WORK.tau[ii] <= arith_limit;
    if (pos.diffusion[ii] != 0 && pos.arith[ii] == 0) {
      const double a = c / h;
      T[ii] = (a * WORK.t0[ii] + q + gt) / (a + g);
      WORK.r0[ii] = (q + gt - g * WORK.t0[ii]) / c;
      if (runaway(T[ii])) fatal_node_message(kRunawayText, i, "S9Lop1");
    }
    pos.set_powers(i, T[ii], tabs);
  }
  S9ARTH(WORK);
}

void S9NEWT(CnWork& WORK) {
  PositionStore& pos = WORK.pos;
  const std::int32_t nnode = pos.nnode;
  const NetworkFlags flags = WORK.flags();
  std::span<double> T = WORK.T;
  std::int32_t changed = 0;
  const bool every_iteration = MTDTST(2);
  kalvir::LoopGuard guard("S9NEWT");
  for (std::int32_t j = 1;; ++j) {
    guard.tick();
    ++GLOI.LOOPCT;
    if (j <= 2 || every_iteration) {
      call_variables1_block();
      if (stat_getstatst() != 0) {
        changed = 1;
        WORK.rebuild_flags();
        pos.refresh(WORK.gl_active, WORK.gr_active, true);
        stat_setstatst(0);
      } else {
        pos.refresh(WORK.gl_active, WORK.gr_active, false);
      }
      load_heat_loads(pos);
      refresh_boundary_powers(WORK);
    }
    GLOR.RELXCC = 0.0;
    GLOR.DTROCC = 0.0;
    const double stefan = GLOR.STEFAN, tabs = GLOR.TABS, dampt = GLOR.DAMPT, h = GLOR.DTIMEU;
    std::int32_t hot = 0;
    for (std::int32_t i = 1; i <= nnode; ++i) {
      const std::size_t ii = at(i);
      if (pos.diffusion[ii] == 0 || pos.arith[ii] != 0) continue;
      double glf = 0.0, glft = 0.0, gr = 0.0, grt4 = 0.0;
      SCondSumsAbsTempGrT4(pos, flags, i, stefan, T, tabs, glf, glft, gr, grt4);
      S9TCLC(nnode, WORK.C, dampt, h, i, pos.load, glf, glft, gr, grt4, tabs, WORK.t0, WORK.r0, hot, GLOR.DTROCC,
             GLOI.NDTROC, GLOI.NRLXCC, GLOR.RELXCC, T, pos.cube, pos.fourth);
    }
    S9ARTH(WORK);
    bool ended = true;
    if (GLOR.RELXCC <= GLOR.RELXCA) {
      // converged
    } else if (j >= GLOI.NLOOP) {
      // An attempt is judged on its own iterations: a retried attempt of the
      // same step gets NLOOP iterations of its own (LOOPCT counts them all).
      SETERX("SLCRNC: Solution failed to converge@NLOOP exceeded", 3, 2, "S9NewT");
    } else if (GLOR.RELXCC < 10.0 * GLOR.RELXCA && GLOR.DTROCC > GLOR.DTROCA) {
      // the step control will reject the attempt
    } else {
      extrapolate(WORK, j, WORK.snap1, WORK.snap2);
      ended = false;
    }
    // A runaway ends the run however the iteration ended, converged included.
    if (hot != 0) fatal_node_message(kRunawayText, hot, "S9NewT");
    if (ended) break;
  }
  stat_setstatst(changed);
}
