#include "runtime/thermal/gear_full.h"

#include <algorithm>
#include <utility>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/messages.h"
#include "runtime/control/model_blocks.h"
#include "runtime/control/run_end.h"
#include "runtime/thermal/network_sums.h"

using namespace kalvir;
using namespace kalvir::thermal;

void SLGEAR() { run_gear("SLGEAR", &S5SLVE); }

void S5SLVE(GearWork& WORK) {
  WORK.correction_by_node = false;
  gear_step_loop(WORK, &S5CORR, "S5SLVE");
}

void S5CORR(GearWork& WORK) {
  WORK.converged = false;
  for (std::int32_t n = 1;; ++n) {
    GLOI.LOOPCT = n;
    call_variables1_block();
    WORK.network.follow();
    if (!S5JINT(WORK)) {
      WORK.error = true;
      return;
    }
    S5JCLC(WORK);
    S5FACT(WORK);
    S5MATS(WORK, WORK.correction());
    switch (S5CONV(WORK)) {
      case GearConvergence::Converged:
        WORK.converged = true;
        return;
      case GearConvergence::Failed:
        WORK.error = true;
        return;
      case GearConvergence::Iterate:
        break;
    }
  }
}

bool S5JINT(GearWork& WORK) {
  std::fill(WORK.base().begin(), WORK.base().end(), 0.0);
  WORK.find_diffusion_nodes();
  const auto nd = static_cast<std::int64_t>(WORK.diffusion.size());
  if (WORK.available < 13LL * WORK.nnode + nd * (nd - 1)) {
    SETERX("SLGEAR: Insufficient double precision work space@Increase DYSTOR on $EXECUTION record, see User Manual "
           "description of $EXECUTION block",
           4, 1, "S5JINT");
    return false;
  }
  gear_corrector_formula(WORK);
  return true;
}

namespace {

// The Jacobian's pattern follows the network: it is made again only when
// the view was rebuilt or the set of diffusion nodes changed, and analysed
// again (a new order and new factors' pattern) only when it then differs:
// a rebuilt view often joins the same nodes as before.
void follow_pattern(GearWork& w) {
  SparseJacobian& jac = w.jacobian;
  const ConductorView& view = w.network.view();
  if (jac.generation == view.generation && jac.nodes == w.diffusion) return;
  const auto n = static_cast<std::size_t>(w.nnode);
  const auto nd = w.diffusion.size();
  jac.generation = view.generation;
  const bool same_nodes = jac.nodes == w.diffusion && jac.rank.size() == n;
  allocate_or_stop([&] {
    if (!same_nodes) {
      jac.nodes = w.diffusion;
      jac.rank.assign(n, -1);
      for (std::size_t p = 0; p < nd; ++p) jac.rank[at(w.diffusion[p])] = static_cast<std::int32_t>(p);
    }
    jac.next_begin.assign(nd + 1, 0);
    jac.next_columns.clear();
    for (std::size_t p = 0; p < nd; ++p) {
      for_each_view_entry(view, w.diffusion[p], [&](int, std::int32_t j, double) {
        if (j <= w.nnode && jac.rank[at(j)] >= 0) jac.next_columns.push_back(jac.rank[at(j)]);
      });
      jac.next_begin[p + 1] = static_cast<std::int32_t>(jac.next_columns.size());
    }
  });
  if (same_nodes && jac.next_begin == jac.begin && jac.next_columns == jac.columns) return;
  jac.begin.swap(jac.next_begin);
  jac.columns.swap(jac.next_columns);
  // The cyclic analysis runs SLGEAR once a cycle on the same network: the
  // last analysis made is kept for the runs after it.
  static SparseJacobian kept;
  if (kept.begin == jac.begin && kept.columns == jac.columns) {
    allocate_or_stop([&] { jac.solver = kept.solver; });
    return;
  }
  jac.solver.analyse(static_cast<std::int32_t>(nd), jac.begin, jac.columns);
  allocate_or_stop([&] {
    kept.begin = jac.begin;
    kept.columns = jac.columns;
    kept.solver = jac.solver;
  });
}

}  // namespace

void S5JCLC(GearWork& WORK) {
  // The corrector follows the network after each variables 1 call; a caller
  // of its own gets the network as it stands.
  if (!WORK.network.built()) WORK.network.follow();
  gear_take_powers(WORK);
  follow_pattern(WORK);
  const std::span<double> residual = WORK.correction();
  for (std::size_t p = 0; p < WORK.diffusion.size(); ++p) S5JROW(WORK, static_cast<std::int32_t>(p), residual[p]);
}

void S5JROW(GearWork& WORK, std::int32_t P, double& RESIDUAL) {
  const std::int32_t nnode = WORK.nnode;
  const std::int32_t I = WORK.diffusion[static_cast<std::size_t>(P)];
  SparseJacobian& jac = WORK.jacobian;
  const double yi = WORK.T[at(I)] + GLOR.TABS;
  const double bc = WORK.beta * gar_thermalnodecapacitances(I);
  // Each sum is taken in two halves, alternate entries to each, so that
  // two additions are under way at a time; all four stay in registers (the
  // solver's values, written in between, might otherwise be taken to alias
  // them).
  double diagonal = bc, diagonal_other = 0.0;
  double residual = node_heat_load(I) + bc * (WORK.base()[at(I)] - yi), residual_other = 0.0;
  // The row's entries of the pattern come in the view's order, the order
  // the pattern was taken in: a diffusion neighbour's entry is the next one
  // (the same element again for a second conductor to it). A fluid
  // neighbour is held at its temperature and any other node is not solved
  // for: neither has a column.
  std::size_t e = static_cast<std::size_t>(jac.begin[static_cast<std::size_t>(P)]);
  auto column = [&](std::int32_t j, double value) {
    if (j <= nnode && jac.rank[at(j)] >= 0) jac.solver.entry(e++) = -value;
  };
  auto add = [&](double d, double r) {
    diagonal += d;
    residual += r;
    std::swap(diagonal, diagonal_other);
    std::swap(residual, residual_other);
  };
  const double yi3 = yi * yi * yi, yi4 = (yi * yi) * (yi * yi);
  for_each_gear_conductor(
      WORK, I,
      [&](std::int32_t j, double g, double yj) {
        column(j, g);
        add(g, g * yj - g * yi);
      },
      [&](std::int32_t j, double sg, double yj3, double yj4) {
        column(j, 4.0 * sg * yj3);
        add(4.0 * sg * yi3, sg * yj4 - sg * yi4);
      });
  jac.solver.diagonal(P) = diagonal + diagonal_other;
  RESIDUAL = residual + residual_other;
}

void S5FACT(GearWork& WORK) {
  const std::int32_t bad = WORK.jacobian.solver.factorise(kTiny);
  if (bad >= 0) require_pivot(WORK, 0.0, WORK.diffusion[static_cast<std::size_t>(bad)], "S5FACT");
}

void S5MATS(GearWork& WORK, std::span<double> B) {
  WORK.jacobian.solver.solve(B.first(WORK.diffusion.size()));
}

GearConvergence S5CONV(GearWork& WORK) { return gear_convergence(WORK, "S5CONV"); }
