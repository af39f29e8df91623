#include "runtime/thermal/forward.h"

#include <algorithm>
#include <cmath>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/messages.h"
#include "runtime/control/model_blocks.h"
#include "runtime/control/status.h"
#include "runtime/modeldata/search_sort.h"

namespace kalvir::thermal {
namespace {

inline std::size_t at(std::int32_t i) noexcept { return static_cast<std::size_t>(i - 1); }

// The step is DTIMEI, the stability bound, except where DTMIN raises it. An
// explicit step above the bound makes the result oscillate or run away, so
// the first such step of a run is reported.
void check_stability(ForwardCounts& counts) {
  if (counts.beyond_stability || !(GLOR.DTMIN > GLOR.DTIMEI) || !(GLOR.DTIMEU > GLOR.DTIMEI)) return;
  counts.beyond_stability = true;
  SETERX("SLFRWD: Time step exceeds the stability limit@DTMIN is greater than 0.95 x CSGMIN, so the explicit "
         "solution may oscillate. Reduce DTMIN or use an implicit solution routine",
         2, 4, "S7TIME");
}

}  // namespace
}  // namespace kalvir::thermal

using namespace kalvir;
using namespace kalvir::thermal;
using kalvir::thermal::at;

void SLFRWD() {
  SolutionFrame frame(method_row("SLFRWD"));
  const FlagSizes sizes = flag_sizes();
  const std::int32_t nnode = sizes.nnode;
  check_flag_space(frame, sizes, nnode + 3LL);
  ForwardWork work;
  work.flags.take(frame, sizes);
  work.t0 = frame.take_real(nnode);
  frame.take_real(1);
  if (frame.skipped()) return;

  if (!SUNDCK(GLOI.NLOOP)) work.nloop = GLOI.NLOOP;
  if (!SDUNDF(GLOR.RELXCA)) work.relxca = GLOR.RELXCA;
  GLOR.TIMEN = GLOR.TIMEM = GLOR.TIMEO;
  frame.start_callbacks();
  GLOR.DTIMEI = GLOR.DTIMEU = 0.95 * GLOR.CSGMIN;
  frame.output_at_start();
  frame.first_step();
  GLOR.TIMEM = 0.5 * (GLOR.TIMEO + GLOR.TIMEN);
  ForwardCounts counts;
  check_stability(counts);
  S7SLVE(frame, work, counts);
  frame.finish();
}

void S7SLVE(SolutionFrame& FRAME, ForwardWork& WORK, ForwardCounts& COUNTS) {
  const auto n = static_cast<std::size_t>(FLAGS(flagw::NNODE));
  WORK.T = gar_thermalnodetemps.span().first(n);
  WORK.C = gar_thermalnodecapacitances.span();
  WORK.flags.diffusion.assign(n, 0);
  WORK.zero_capacity.assign(n, 0);
  WORK.load.assign(n, 0.0);
  if (stat_getstatst() == 0) WORK.flags.rebuild();
  while (GLOR.TIMEO < GLOR.TIMEND) {
    call_variables1_block();
    ++COUNTS.steps;
    WORK.flags.follow_variables1();
    S7NEWT(WORK);
    GLOR.DTIMEI = 0.95 * GLOR.CSGMIN;
    S7TIME(FRAME, WORK, COUNTS);
  }
  FRAME.end_warning(COUNTS.relxca, COUNTS.steps, "RELXCA", 2, 3, "S7SLVE");
}

void S7NEWT(ForwardWork& WORK) {
  std::copy(WORK.T.begin(), WORK.T.end(), WORK.t0.begin());
  S7DIFF(WORK);
  LoopGuard guard("S7NEWT");
  for (std::int32_t k = 1;; ++k) {
    guard.tick();
    GLOI.LOOPCT = k;
    S7ARTH(WORK);
    if (GLOI.LOOPCT >= WORK.nloop || GLOR.RELXCC <= WORK.relxca) break;
  }
}

void S7DIFF(ForwardWork& WORK) {
  const std::int32_t nnode = FLAGS(flagw::NNODE);
  const ConductorView& network = WORK.flags.network;
  const double h = GLOR.DTIMEU, stefan = GLOR.STEFAN, tabs = GLOR.TABS;
  GLOR.CSGMIN = kHuge;
  for (std::int32_t i = 1; i <= nnode; ++i) {
    const std::size_t ii = at(i);
    const double q = node_heat_load(i);
    const double c = WORK.C[ii];
    WORK.load[ii] = q;
    WORK.zero_capacity[ii] = std::abs(c) < kTiny;
    if (WORK.flags.diffusion[ii] == 0 || WORK.zero_capacity[ii] != 0) continue;
    double g = 0.0, gt = 0.0;
    view_s4gsum(network, i, stefan, WORK.t0, tabs, g, gt);
    const double a = c / h;
    WORK.T[ii] = ((a - g) * WORK.t0[ii] + q + gt) / a;
    if (runaway(WORK.T[ii])) runaway_stop("SLFRWD: Temperature > 1.0E10 detected@", WORK.T[ii], i, "S7DIFF");
    if (std::abs(g) >= kTiny && c / g < GLOR.CSGMIN) {
      GLOR.CSGMIN = c / g;
      GLOI.NCSGMN = i;
    }
  }
}

void S7ARTH(ForwardWork& WORK) {
  const std::int32_t nnode = FLAGS(flagw::NNODE);
  const ConductorView& network = WORK.flags.network;
  const double tabs = GLOR.TABS;
  GLOR.RELXCC = 0.0;
  for (std::int32_t i = 1; i <= nnode; ++i) {
    const std::size_t ii = at(i);
    if (WORK.flags.diffusion[ii] == 0 || WORK.zero_capacity[ii] == 0) continue;
    const NodeSums s = node_sums(network, i, WORK.T);
    const double q = WORK.load[ii];
    const double t = WORK.T[ii];
    double tn = t;
    switch (const Balance kind = balance_kind(s)) {
      case Balance::None:
        if (std::abs(q) > kTiny) tn = t + 1.0e20;
        break;
      case Balance::Both:
        tn = t + newton_correction(q, s, t + tabs);
        break;
      default:
        tn = closed_form_temperature(kind, q, s, tabs);
        break;
    }
    const double change = std::abs(tn - t);
    WORK.T[ii] = tn;
    if (runaway(tn)) runaway_stop("SLFRWD: Temperature > 1.0D10 detected@", tn, i, "S7ARTH");
    if (change > GLOR.RELXCC) {
      GLOR.RELXCC = change;
      GLOI.NRLXCC = i;
    }
  }
}

void S7TIME(SolutionFrame& FRAME, ForwardWork& WORK, ForwardCounts& COUNTS) {
  if (GLOR.RELXCC > WORK.relxca) ++COUNTS.relxca;
  FRAME.accept_tail();
  GLOR.TIMEO = GLOR.TIMEN;
  if (GLOR.TIMEO < GLOR.TIMEND) {
    GLOR.DTIMEU = clamp_step(GLOR.DTIMEI);
    FRAME.place_step(GLOR.DTIMEU);
    check_stability(COUNTS);
  }
  GLOR.TIMEM = 0.5 * (GLOR.TIMEO + GLOR.TIMEN);
}
