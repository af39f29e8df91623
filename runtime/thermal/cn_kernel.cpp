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

// The temperatures of a view entry's neighbour: thermal neighbours from the
// arrays the caller passes, fluid ones computed from the fluid node's.
// Nodes without fluid neighbours take the first form only (Fluid false), so
// their walk has no test per conductor.
template <bool Fluid>
inline bool is_thermal(std::int32_t o, std::int32_t nnode) noexcept {
  return !Fluid || o < nnode;
}

// S4GSUM of node i on the start-of-step temperatures T0, from the view:
// radiative, linear, then fluidic entries, with each node's absolute
// temperature and its square taken once per step (ABS, SQUARE) instead of at
// every conductor end. The radiative entries, most of a node's, are added up
// in two interleaved partial sums, so that two chains of additions advance
// at once, and STEFAN multiplies their totals instead of every term.
template <bool Fluid>
void start_sums(const ConductorView& view, std::int32_t i, double stefan, std::span<const double> T0, double tabs,
                std::span<const double> abs, std::span<const double> square, double& sg, double& sgt) {
  const std::int32_t nnode = view.nnode;
  const double ti = abs[at(i)];
  const double ti2 = square[at(i)];
  const std::int32_t* const rad_other = view.rad.other.data();
  const double* const rad_g = view.rad.g.data();
  auto rad_term = [&](std::size_t e, double& g_part, double& gt_part) {
    const std::int32_t o = rad_other[e];
    double tj_rel, tj, tj2;
    if (is_thermal<Fluid>(o, nnode)) {
      tj_rel = T0[static_cast<std::size_t>(o)];
      tj = abs[static_cast<std::size_t>(o)];
      tj2 = square[static_cast<std::size_t>(o)];
    } else {
      tj_rel = view_temperature(T0, o, nnode);
      tj = tj_rel + tabs;
      tj2 = tj * tj;
    }
    const double g = rad_g[e] * (ti2 + tj2) * (ti + tj);
    g_part += g;
    gt_part += g * tj_rel;
  };
  double g0 = 0.0, gt0 = 0.0, g1 = 0.0, gt1 = 0.0;
  std::size_t e = view.rad.first(i);
  const std::size_t rad_last = view.rad.end(i);
  for (; e + 1 < rad_last; e += 2) {
    rad_term(e, g0, gt0);
    rad_term(e + 1, g1, gt1);
  }
  if (e < rad_last) rad_term(e, g0, gt0);
  double g_sum = stefan * (g0 + g1), gt_sum = stefan * (gt0 + gt1);
  for (const ConductorView::Kind* kind : {&view.lin, &view.flu}) {
    const std::int32_t* const other = kind->other.data();
    const double* const value = kind->g.data();
    for (std::size_t q = kind->first(i), last = kind->end(i); q < last; ++q) {
      const std::int32_t o = other[q];
      const double tj = is_thermal<Fluid>(o, nnode) ? T0[static_cast<std::size_t>(o)] : view_temperature(T0, o, nnode);
      g_sum += value[q];
      gt_sum += value[q] * tj;
    }
  }
  sg = g_sum;
  sgt = gt_sum;
}

// The four sums of SCondSumsAbsTempGrT4; GR is the view's kept sum.
template <bool Fluid>
inline void abs_sums(const ConductorView& view, std::int32_t i, double stefan, std::span<const double> T, double tabs,
                     double& glf, double& glft, double& gr, double& grt4) {
  const std::int32_t nnode = view.nnode;
  double lf = 0.0, lf_t = 0.0, r_t4 = 0.0;
  auto conductive = [&](const ConductorView::Kind& kind) {
    const std::int32_t* const other = kind.other.data();
    const double* const value = kind.g.data();
    for (std::size_t e = kind.first(i), last = kind.end(i); e < last; ++e) {
      const std::int32_t o = other[e];
      const double tj = is_thermal<Fluid>(o, nnode) ? T[static_cast<std::size_t>(o)] : view_temperature(T, o, nnode);
      lf += value[e];
      lf_t += value[e] * (tj + tabs);
    }
  };
  conductive(view.lin);
  const std::int32_t* const rad_other = view.rad.other.data();
  const double* const rad_g = view.rad.g.data();
  const double* const fourth = view.fourth.data();
  for (std::size_t e = view.rad.first(i), last = view.rad.end(i); e < last; ++e) {
    const std::int32_t o = rad_other[e];
    double tj4;
    if (is_thermal<Fluid>(o, nnode)) {
      tj4 = fourth[static_cast<std::size_t>(o)];
    } else {
      const double tj = view_temperature(T, o, nnode) + tabs;
      tj4 = (tj * tj) * (tj * tj);
    }
    r_t4 += rad_g[e] * tj4;
  }
  conductive(view.flu);
  glf = lf;
  glft = lf_t;
  gr = stefan * view.gr[at(i)];
  grt4 = stefan * r_t4;
}

// Makes WORK.plan again when the view was rebuilt or the set of swept nodes
// changed since it was made.
void plan_sweep(CnWork& w) {
  SweepPlan& p = w.plan;
  const ConductorView& v = w.view;
  const auto n = static_cast<std::size_t>(v.nnode);
  bool same = p.generation == v.generation && p.state.size() == n;
  for (std::size_t ii = 0; same && ii < n; ++ii)
    same = p.state[ii] == static_cast<std::uint8_t>(w.diffusion[ii] != 0 && w.arith[ii] == 0);
  if (same) return;
  p.generation = v.generation;
  p.state.assign(n, 0);
  p.nodes.clear();
  p.plain.clear();
  for (std::int32_t i = 1; i <= v.nnode; ++i) {
    const std::size_t ii = at(i);
    if (w.diffusion[ii] == 0 || w.arith[ii] != 0) continue;
    p.state[ii] = 1;
    p.nodes.push_back(i);
    p.plain.push_back(v.fluid_end[ii] == 0 && v.flu.first(i) == v.flu.end(i));
  }
}

// Kept powers of the nodes that the sweeps do not update but read.
void refresh_boundary_powers(CnWork& w) {
  const double tabs = GLOR.TABS;
  for (std::int32_t i = 1; i <= w.view.nnode; ++i)
    if (w.in_network[at(i)] != 0 && w.diffusion[at(i)] == 0) w.view.set_powers(i, w.T[at(i)], tabs);
}

void refresh_all_powers(CnWork& w) {
  const double tabs = GLOR.TABS;
  for (std::int32_t i = 1; i <= w.view.nnode; ++i) w.view.set_powers(i, w.T[at(i)], tabs);
}

// Extrapolation moves temperatures behind the kept powers' back.
void extrapolate(CnWork& w, std::int32_t k, std::span<double> s1, std::span<double> s2) {
  S9EXTR(4, 1, k, w.view.nnode, GLOR.RELXCA, s1, s2, w.T);
  if (k % 4 == 0) refresh_all_powers(w);
}

}  // namespace

void CnWork::size_node_arrays() {
  const std::size_t n = in_network.size();
  load.assign(n, 0.0);
  diffusion.assign(n, 0);
  arith.assign(n, 0);
  reciprocal_c.assign(n, 0.0);
  start_abs.assign(n, 0.0);
  start_square.assign(n, 0.0);
}

void CnWork::rebuild_flags() {
  SLOGST2(FLAGS(flagw::NGF), FLAGS(flagw::NGL), FLAGS(flagw::NGR), static_cast<std::int32_t>(in_network.size()),
          gar_fluidiccondacts, gar_linearcondacts, gar_radiativecondacts, gar_thermalnodestatuses, diffusion,
          gf_active, gl_active, gr_active, in_network);
}

void load_heat_loads(CnWork& WORK) {
  for (std::int32_t i = 1; i <= WORK.view.nnode; ++i) {
    WORK.load[at(i)] = node_heat_load(i);
    WORK.reciprocal_c[at(i)] = 1.0 / WORK.C[at(i)];
  }
}

}  // namespace kalvir::thermal

using namespace kalvir::thermal;
using kalvir::thermal::at;

void SCondSumsAbsTempGrT4(const ConductorView& VIEW, std::int32_t I, double STEFAN, std::span<const double> T,
                          double TABS, double& GLF, double& GLFT, double& GR, double& GRT4) {
  if (VIEW.fluid_end[at(I)] != 0)
    abs_sums<true>(VIEW, I, STEFAN, T, TABS, GLF, GLFT, GR, GRT4);
  else
    abs_sums<false>(VIEW, I, STEFAN, T, TABS, GLF, GLFT, GR, GRT4);
}

void S9TCLC(std::int32_t /*NNODE*/, std::span<const double> RECIPROCAL_C, double DAMPT, double DTIMEU,
            std::int32_t I, std::span<const double> Q, double GLF, double GLFT, double GR, double GRT4, double TABS,
            std::span<const double> T0, std::span<const double> R0, std::int32_t& HOT, double& DTROCC,
            std::int32_t& NDTROC, std::int32_t& NRLXCC, double& RELXCC, std::span<double> T,
            std::span<double> CUBES, std::span<double> FOURTHS) {
  const std::size_t i = at(I);
  // The sweep updates one node after another, each reading the last. The
  // update's denominator does not depend on the sums of the neighbours'
  // temperatures, so its reciprocal is taken before they are known and the
  // chain from node to node carries products only.
  const double rc = RECIPROCAL_C[i];
  const double ta = T[i] + TABS;
  const double u = GR * CUBES[i];
  const double reciprocal_den = 1.0 / ((2.0 * u + 0.5 * GLF) * rc * DTIMEU + 1.0);
  const double r1 = (Q[i] + GLFT + GRT4 - ta * (GLF + u)) * rc;
  const double delta = ((R0[i] + r1) * 0.5 * DTIMEU + T0[i] - T[i]) * reciprocal_den;
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
  ConductorView& view = WORK.view;
  const std::int32_t nnode = view.nnode;
  const double relxca = GLOR.RELXCA, dampt = GLOR.DAMPT, tabs = GLOR.TABS, stefan = GLOR.STEFAN;
  const double h = GLOR.DTIMEU;
  std::span<double> T = WORK.T;
  // Without arithmetic diffusion nodes the pass would move nothing (and the
  // changes are written afresh before every pass that reads them).
  // (The flags are 0 or 1: the test runs over all nodes without a branch.)
  std::int32_t any = 0;
  for (std::size_t ii = 0; ii < static_cast<std::size_t>(nnode); ++ii) any |= WORK.diffusion[ii] & WORK.arith[ii];
  if (any == 0) return;
  std::fill(WORK.change.begin(), WORK.change.end(), 1.0 + relxca);
  std::copy(T.begin(), T.end(), WORK.arith_start.begin());
  kalvir::LoopGuard guard("S9ARTH");
  for (std::int32_t k = 1;; ++k) {
    guard.tick();
    double max_change = 0.0;
    for (std::int32_t i = 1; i <= nnode; ++i) {
      const std::size_t ii = at(i);
      if (!(WORK.change[ii] > relxca) || WORK.diffusion[ii] == 0 || WORK.arith[ii] == 0) {
        WORK.change[ii] = 0.0;
        continue;
      }
      double glf = 0.0, glft = 0.0, gr = 0.0, grt4 = 0.0;
      SCondSumsAbsTempGrT4(view, i, stefan, T, tabs, glf, glft, gr, grt4);
      const double q = WORK.load[ii];
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
          if (!(radicand >= 0.0)) runaway_stop(kRunawayText, std::sqrt(std::sqrt(radicand)), i, "S9Arth");
          r = std::sqrt(std::sqrt(radicand)) - tabs - T[ii];
        } else if (no_r) {
          r = (q + glft) / glf - tabs - T[ii];
        } else {
          const double v = gr * view.cube[ii];
          r = (q + glft + grt4 - (T[ii] + tabs) * (glf + v)) / (glf + 4.0 * v);
        }
        WORK.change[ii] = std::abs(r);
      }
      T[ii] += dampt * r;
      view.set_powers(i, T[ii], tabs);
      WORK.r0[ii] = (T[ii] - WORK.t0[ii]) / h;
      max_change = std::max(max_change, WORK.change[ii]);
      if (runaway(T[ii])) runaway_stop(kRunawayText, T[ii], i, "S9Arth");
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
  ConductorView& view = WORK.view;
  const double h = GLOR.DTIMEU, tabs = GLOR.TABS, stefan = GLOR.STEFAN;
  GLOR.CSGMIN = kHuge;
  // After a status change the step loop has rebuilt the flags; the view
  // follows them.
  if (stat_getstatst() != 0) {
    view.build(WORK.flags());
    stat_setstatst(0);
  } else {
    view.refresh_values();
  }
  const std::int32_t nnode = view.nnode;
  std::span<double> T = WORK.T;
  std::copy(T.begin(), T.end(), WORK.t0.begin());
  std::fill(WORK.r0.begin(), WORK.r0.end(), 0.0);
  std::fill(WORK.tau.begin(), WORK.tau.end(), 0.0);
  const double arith_limit = GLOR.ARITH * h;
  for (std::size_t ii = 0; ii < static_cast<std::size_t>(nnode); ++ii) {
    WORK.start_abs[ii] = WORK.t0[ii] + tabs;
    WORK.start_square[ii] = WORK.start_abs[ii] * WORK.start_abs[ii];
  }
  for (std::int32_t i = 1; i <= nnode; ++i) {
    const std::size_t ii = at(i);
    double g = 0.0, gt = 0.0;
    if (view.fluid_end[ii] != 0)
      start_sums<true>(view, i, stefan, WORK.t0, tabs, WORK.start_abs, WORK.start_square, g, gt);
    else
      start_sums<false>(view, i, stefan, WORK.t0, tabs, WORK.start_abs, WORK.start_square, g, gt);
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
    WORK.load[ii] = q;
    WORK.reciprocal_c[ii] = 1.0 / c;
    // A node without capacitance has no time constant to compare: it is
    // arithmetic whatever ARITH holds, or the implicit guess divides by zero.
    WORK.arith[ii] = no_capacity || WORK.tau[ii] <= arith_limit;
    if (WORK.diffusion[ii] != 0 && WORK.arith[ii] == 0) {
      const double a = c / h;
      T[ii] = (a * WORK.t0[ii] + q + gt) / (a + g);
      WORK.r0[ii] = (q + gt - g * WORK.t0[ii]) / c;
      if (runaway(T[ii])) runaway_stop(kRunawayText, T[ii], i, "S9Lop1");
    }
    view.set_powers(i, T[ii], tabs);
  }
  S9ARTH(WORK);
}

void S9NEWT(CnWork& WORK) {
  ConductorView& view = WORK.view;
  const std::int32_t nnode = view.nnode;
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
        view.build(WORK.flags());
        stat_setstatst(0);
      } else {
        view.refresh_values();
      }
      load_heat_loads(WORK);
      refresh_boundary_powers(WORK);
    }
    GLOR.RELXCC = 0.0;
    GLOR.DTROCC = 0.0;
    const double stefan = GLOR.STEFAN, tabs = GLOR.TABS, dampt = GLOR.DAMPT, h = GLOR.DTIMEU;
    std::int32_t hot = 0;
    // The sweep in the order of the plan. The view lists each node's
    // neighbours that this sweep has moved last at the end, so that most of
    // a node's terms can be added up while the node before it is still being
    // updated; the radiative terms go into four partial sums and the linear
    // ones into two, and the linear sum of g x (Tj + TABS) is taken as that
    // of g x Tj plus TABS times that of g.
    plan_sweep(WORK);
    const SweepPlan& plan = WORK.plan;
    const std::int32_t* const lin_other = view.lin.other.data();
    const double* const lin_g = view.lin.g.data();
    const std::int32_t* const rad_other = view.rad.other.data();
    const double* const rad_g = view.rad.g.data();
    const double* const fourth = view.fourth.data();
    const double* const temps = T.data();
    const std::size_t m = plan.nodes.size();
    for (std::size_t k = 0; k < m; ++k) {
      const std::int32_t i = plan.nodes[k];
      const std::size_t ii = at(i);
      double glf, glft, gr, grt4;
      if (plan.plain[k] != 0) {
        double l[2] = {}, lt[2] = {}, r[4] = {};
        std::size_t e = view.lin.first(i);
        const std::size_t lin_last = view.lin.end(i);
        for (; e + 1 < lin_last; e += 2) {
          l[0] += lin_g[e];
          lt[0] += lin_g[e] * temps[static_cast<std::size_t>(lin_other[e])];
          l[1] += lin_g[e + 1];
          lt[1] += lin_g[e + 1] * temps[static_cast<std::size_t>(lin_other[e + 1])];
        }
        if (e < lin_last) {
          l[0] += lin_g[e];
          lt[0] += lin_g[e] * temps[static_cast<std::size_t>(lin_other[e])];
        }
        e = view.rad.first(i);
        const std::size_t rad_last = view.rad.end(i);
        for (; e + 3 < rad_last; e += 4)
          for (std::size_t q = 0; q < 4; ++q) r[q] += rad_g[e + q] * fourth[static_cast<std::size_t>(rad_other[e + q])];
        for (; e < rad_last; ++e) r[0] += rad_g[e] * fourth[static_cast<std::size_t>(rad_other[e])];
        glf = l[0] + l[1];
        glft = (lt[0] + lt[1]) + tabs * glf;
        gr = stefan * view.gr[ii];
        grt4 = stefan * ((r[0] + r[1]) + (r[2] + r[3]));
      } else {
        SCondSumsAbsTempGrT4(view, i, stefan, T, tabs, glf, glft, gr, grt4);
      }
      S9TCLC(nnode, WORK.reciprocal_c, dampt, h, i, WORK.load, glf, glft, gr, grt4, tabs, WORK.t0, WORK.r0, hot, GLOR.DTROCC,
             GLOI.NDTROC, GLOI.NRLXCC, GLOR.RELXCC, T, view.cube, view.fourth);
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
    if (hot != 0) runaway_stop(kRunawayText, T[static_cast<std::size_t>(hot - 1)], hot, "S9NewT");
    if (ended) break;
  }
  stat_setstatst(changed);
}
