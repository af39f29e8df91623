#include "runtime/thermal/gear_diagonal.h"

#include <algorithm>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/model_blocks.h"
#include "runtime/thermal/network_sums.h"

namespace kalvir::thermal {
namespace {

// RELXCC of the iteration before the first: any first correction below it
// counts as not growing.
constexpr double kFirstPrevious = 1.0e11;

}  // namespace
}  // namespace kalvir::thermal

using namespace kalvir;
using namespace kalvir::thermal;

void SLGRDJ() { run_gear("SLGRDJ", &S6SLVE); }

void S6SLVE(GearWork& WORK) {
  WORK.correction_by_node = true;
  gear_step_loop(WORK, &S6CORR, "S6SLVE");
}

void S6CORR(GearWork& WORK) {
  WORK.converged = false;
  const std::span<double> delta = WORK.correction();
  const std::span<const double> diagonal = WORK.above.first(static_cast<std::size_t>(WORK.nnode));
  double previous = kFirstPrevious;
  for (std::int32_t n = 1;; ++n) {
    GLOI.LOOPCT = n;
    call_variables1_block();
    WORK.network.follow();
    S6JINT(WORK);
    S6JCLC(WORK);
    for (std::int32_t i : WORK.diffusion) {
      require_pivot(WORK, diagonal[at(i)], i, "S6CORR");
      delta[at(i)] /= diagonal[at(i)];
    }
    const GearConvergence result = S6CONV(WORK);
    if (result == GearConvergence::Failed) {
      WORK.error = true;
      return;
    }
    // Growing corrections (or corrections that are not numbers): the step is
    // retried with a shorter one.
    if (!(GLOR.RELXCC <= previous)) return;
    if (result == GearConvergence::Converged) {
      WORK.converged = true;
      return;
    }
    previous = GLOR.RELXCC;
  }
}

void S6JINT(GearWork& WORK) {
  WORK.find_diffusion_nodes();
  gear_corrector_formula(WORK);
}

void S6JCLC(GearWork& WORK) {
  // The corrector follows the network after each variables 1 call; a caller
  // of its own gets the network as it stands.
  if (!WORK.network.built()) WORK.network.follow();
  gear_take_powers(WORK);
  const std::int32_t nnode = WORK.nnode;
  const double tabs = GLOR.TABS, beta = WORK.beta;
  const std::span<const double> T = WORK.T, base = WORK.base();
  const std::span<double> residual = WORK.correction();
  const std::span<double> diagonal = WORK.above.first(static_cast<std::size_t>(nnode));
  std::fill(residual.begin(), residual.end(), 0.0);
  for (std::int32_t i : WORK.diffusion) {
    const double yi = T[at(i)] + tabs;
    const double bc = beta * gar_thermalnodecapacitances(i);
    double diag = bc;
    double res = bc * (base[at(i)] - yi) + node_heat_load(i);
    double sum_g = 0.0, sum_gy = 0.0, sum_sg = 0.0, sum_sgy4 = 0.0;
    for_each_gear_conductor(
        WORK, i,
        [&](std::int32_t, double g, double yj) {
          diag += g;
          sum_g += g;
          sum_gy += g * yj;
        },
        [&](std::int32_t, double sg, double, double yj4) {
          diag += 4.0 * sg * (yi * yi * yi);
          sum_sg += sg;
          sum_sgy4 += sg * yj4;
        });
    res += sum_gy - sum_g * yi + sum_sgy4 - ((yi * yi) * (yi * yi)) * sum_sg;
    diagonal[at(i)] = diag;
    residual[at(i)] = res;
  }
}

GearConvergence S6CONV(GearWork& WORK) { return gear_convergence(WORK, "S6CONV"); }
