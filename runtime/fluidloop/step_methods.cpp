#include "runtime/fluidloop/step_methods.h"

#include <algorithm>
#include <cmath>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/model_blocks.h"
#include "runtime/fluidloop/fluid_frame.h"
#include "runtime/thermal/network_sums.h"

using namespace kalvir;
using namespace kalvir::fluidloop;

namespace kalvir::fluidloop {

double largest_change(const StepVectors& V, bool thermal, bool fluid) {
  double change = 0.0;
  const std::int32_t nnode = FLAGS(flagw::NNODE), nf = FLAGS(flagw::NF);
  for (std::int32_t i = 1; thermal && i <= nnode; ++i) {
    const auto k = static_cast<std::size_t>(i - 1);
    if (gar_thermalnodestatuses(i)[0] == 'D' && std::abs(gar_thermalnodecapacitances(i)) > thermal::kTiny)
      change = std::max(change, std::abs(V.t[k] - V.t0[k]));
  }
  for (std::int32_t n = 1; fluid && n <= nf; ++n) {
    const char st = gar_fluidnodestatuses(n)[0];
    if (st != 'F' && st != 'J' && st != 'Q' && st != 'S') continue;
    const auto k = static_cast<std::size_t>(n - 1);
    const double d = std::abs(V.tf[k] - V.tf0[k]);
    if (d > change) change = d;
  }
  return change;
}

}  // namespace kalvir::fluidloop

namespace {

void copy_into(std::span<const double> from, std::span<double> a, std::span<double> b = {}) {
  std::copy(from.begin(), from.end(), a.begin());
  if (!b.empty()) std::copy(from.begin(), from.end(), b.begin());
}

}  // namespace

void FLTNMT(const StepVectors& V, std::int32_t& ITER) {
  ITER = 0;
  copy_into(V.t0, V.t);
  FSTSTB(V);
  SFWBKT(V, ITER);
}

void SNEWTF(const StepVectors& V, std::int32_t& ITER, double& CHANGE) {
  ITER = 0;
  SFSTAB(V, GLOR.FCSGMN, GLOI.FNCSGM);
  SFWBKF(V, ITER);
  CHANGE = largest_change(V, false, true);
}

void FLTNEX(const StepVectors& V, double DT, std::int32_t& ITER, std::int32_t& FLAG, double& CHANGE) {
  ITER = 0;
  FLAG = 0;
  CHANGE = 0.0;
  if (FLAGS(flagw::NNODE) > 0) copy_into(gar_thermalnodetemps.span(), V.t0, V.t);
  if (FLAGS(flagw::NF) > 0) copy_into(gar_fluidnodetemps.span(), V.tf0, V.tf);
  FSTNEW(V, DT, ITER, CHANGE);
  GLOR.DTIMEI = std::min(0.95 * GLOR.CSGMIN, GLOR.RLCOUR * GLOR.DTCOUR);
}

void FSTNEW(const StepVectors& V, double DT, std::int32_t& ITER, double& CHANGE) {
  STSOLT("THERMAL");
  const std::int32_t nnode = FLAGS(flagw::NNODE), nf = FLAGS(flagw::NF);
  GLOR.CSGMIN = 1.0e38;
  if (nnode >= 1) FSTDIF(V, DT);
  if (nf >= 1) FSFDIF(V, DT);
  std::int32_t passes = 0;
  if (nnode >= 1) {
    do {
      ++passes;
      call_variables1_block();
      FSTARH(V.t, V.tf, V.condensation);
    } while (GLOR.RELXCC > GLOR.RELXCA && passes < GLOI.NLOOPT);
  }
  ITER = passes;
  if (nf >= 1) {
    passes = 0;
    do {
      ++passes;
      call_variables1_block();
      FSTARF(V);
    } while (GLOR.FRLXCC > GLOR.FRLXCA && passes < GLOI.NLOOPT);
    ITER += passes;
  }
  CHANGE = largest_change(V, nnode >= 1, nf >= 1);
  STSOLT("");
}

void FLTNIM(const StepVectors& V, const ProfileIndex& TABLE, std::int32_t& ITER, double& CHANGE) {
  ITER = 0;
  STSOLT("THERMAL");
  const std::int32_t nnode = FLAGS(flagw::NNODE), nf = FLAGS(flagw::NF);
  if (nnode > 0) copy_into(gar_thermalnodetemps.span(), V.t0, V.t);
  if (nf > 0) copy_into(gar_fluidnodetemps.span(), V.tf0, V.tf);
  if (nnode > 0) STSTAB(V, GLOR.DTIMEU);
  if (nf > 0) SFSTAB(V, GLOR.CSGMIN, GLOI.NCSGMN);
  for (bool limit_reached = false; !limit_reached;) {
    std::int32_t all = 1, pass = 0;
    std::fill(V.frozen_t.begin(), V.frozen_t.end(), 0);
    std::fill(V.frozen_f.begin(), V.frozen_f.end(), 0);
    do {
      pass = 1;
      ++ITER;
      call_variables1_block();
      if (nnode > 0) SFBKTS(V, GLOR.DTIMEU, pass, all);
      if (nf > 0) SFBKFS(V, TABLE, pass, all);
      limit_reached = ITER >= GLOI.NLOOPT;
    } while (pass != 1 && !limit_reached);
    // With METHOD 1 every node is computed once more after the frozen ones
    // converged.
    if (all == 1 || GLOI.METHOD == 0) break;
  }
  CHANGE = largest_change(V, nnode > 0, nf > 0);
  STSOLT("");
}
