#include "runtime/thermal/gear_full.h"

#include <algorithm>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/messages.h"
#include "runtime/control/model_blocks.h"
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
    const auto nd = static_cast<std::int32_t>(WORK.diffusion.size());
    S5FACT(WORK, nd, WORK.above);
    S5MATS(nd, WORK.above, WORK.correction());
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

void S5JCLC(GearWork& WORK) {
  // The corrector follows the network after each variables 1 call; a caller
  // of its own gets the network as it stands.
  if (!WORK.network.built()) WORK.network.follow();
  gear_take_powers(WORK);
  const auto nd = WORK.diffusion.size();
  const auto n = static_cast<std::size_t>(WORK.nnode);
  const std::span<double> residual = WORK.correction();
  for (std::size_t p = 0; p < nd; ++p) {
    const std::span<double> row = WORK.above.subspan(p * nd, n);
    std::fill(row.begin(), row.end(), 0.0);
    S5JROW(WORK, WORK.diffusion[p], row, residual[p]);
    // The diffusion-node columns to the front; a column never moves right.
    for (std::size_t q = 0; q < nd; ++q) row[q] = row[at(WORK.diffusion[q])];
  }
}

void S5JROW(const GearWork& WORK, std::int32_t I, std::span<double> ROW, double& RESIDUAL) {
  const std::int32_t nnode = WORK.nnode;
  const double yi = WORK.T[at(I)] + GLOR.TABS;
  const double bc = WORK.beta * gar_thermalnodecapacitances(I);
  double& diagonal = ROW[at(I)];
  diagonal = bc;
  RESIDUAL = node_heat_load(I) + bc * (WORK.base()[at(I)] - yi);
  // A fluid neighbour is held at its temperature: it has no column.
  auto column = [&](std::int32_t j, double value) {
    if (j <= nnode) ROW[at(j)] -= value;
  };
  for_each_gear_conductor(
      WORK, I,
      [&](std::int32_t j, double g, double yj) {
        column(j, g);
        diagonal += g;
        RESIDUAL += g * yj - g * yi;
      },
      [&](std::int32_t j, double sg, double yj3, double yj4) {
        column(j, 4.0 * sg * yj3);
        diagonal += 4.0 * sg * (yi * yi * yi);
        RESIDUAL += sg * yj4 - sg * ((yi * yi) * (yi * yi));
      });
}

void S5FACT(GearWork& WORK, std::int32_t ND, std::span<double> A) {
  if (ND < 1) return;
  const auto nd = static_cast<std::size_t>(ND);
  auto row = [&](std::size_t r) { return A.data() + r * nd; };  // row r, 0-based
  // Without pivoting the factors keep the matrix's envelope: L(r, m) is 0
  // left of row r's first entry and U(m, c) above column c's first entry,
  // so the sums start where both are in. The terms left out are exact zeros.
  std::int32_t* first_in_row = WORK.envelope.data();
  std::int32_t* first_in_column = first_in_row + nd;
  for (std::size_t c = 0; c < nd; ++c) first_in_column[c] = static_cast<std::int32_t>(c);
  for (std::size_t r = 0; r < nd; ++r) {
    const double* a = row(r);
    std::size_t f = 0;
    while (f < r && a[f] == 0.0) ++f;
    first_in_row[r] = static_cast<std::int32_t>(f);
    for (std::size_t c = r + 1; c < nd; ++c)
      if (a[c] != 0.0 && static_cast<std::int32_t>(r) < first_in_column[c]) first_in_column[c] = static_cast<std::int32_t>(r);
  }
  require_pivot(WORK, A[0], WORK.diffusion[0], "S5FACT");
  // A sum along row r and down the upper part of column c.
  auto dot = [](const double* a, const double* u, std::size_t begin, std::size_t end) {
    // Four partial sums: independent additions run side by side.
    double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
    std::size_t m = begin;
    for (; m + 4 <= end; m += 4) {
      s0 += a[m] * u[m];
      s1 += a[m + 1] * u[m + 1];
      s2 += a[m + 2] * u[m + 2];
      s3 += a[m + 3] * u[m + 3];
    }
    for (; m < end; ++m) s0 += a[m] * u[m];
    return (s0 + s1) + (s2 + s3);
  };
  // The upper part of column c is gathered into contiguous scratch; rows
  // above the column's first entry hold zeros and stay so.
  double* u = WORK.scratch.data();
  for (std::size_t c = 1; c < nd; ++c) {
    const auto top = static_cast<std::size_t>(first_in_column[c]);
    for (std::size_t r = top; r < c; ++r) {
      const double* a = row(r);
      const std::size_t begin = std::max(top, static_cast<std::size_t>(first_in_row[r]));
      u[r] = (a[c] - (begin < r ? dot(a, u, begin, r) : 0.0)) / a[r];
    }
    for (std::size_t r = top; r < c; ++r) row(r)[c] = u[r];
    for (std::size_t r = c; r < nd; ++r) {
      double* a = row(r);
      const std::size_t begin = std::max(top, static_cast<std::size_t>(first_in_row[r]));
      if (begin < c) a[c] -= dot(a, u, begin, c);
    }
    require_pivot(WORK, row(c)[c], WORK.diffusion[c], "S5FACT");
  }
}

void S5MATS(std::int32_t ND, std::span<const double> A, std::span<double> B) {
  const auto nd = static_cast<std::size_t>(std::max(ND, 0));
  for (std::size_t r = 0; r < nd; ++r) {
    const double* a = A.data() + r * nd;
    double sum = 0.0;
    for (std::size_t m = 0; m < r; ++m) sum += a[m] * B[m];
    B[r] = (B[r] - sum) / a[r];
  }
  for (std::size_t r = nd; r-- > 0;) {
    const double* a = A.data() + r * nd;
    double sum = 0.0;
    for (std::size_t m = r + 1; m < nd; ++m) sum += a[m] * B[m];
    B[r] -= sum;
  }
}

GearConvergence S5CONV(GearWork& WORK) { return gear_convergence(WORK, "S5CONV"); }
