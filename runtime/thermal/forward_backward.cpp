#include "runtime/thermal/forward_backward.h"

#include <algorithm>
#include <cmath>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/messages.h"
#include "runtime/control/model_blocks.h"
#include "runtime/control/status.h"
#include "runtime/modeldata/search_sort.h"
#include "runtime/thermal/cn_kernel.h"

namespace kalvir::thermal {
namespace {

constexpr std::string_view kRunawayText = "SLFWBK: Temperature > 1.0D10 detected@";

inline std::size_t at(std::int32_t i) noexcept { return static_cast<std::size_t>(i - 1); }

// Damped Newton steps on the balance of a node without capacitance from t,
// the neighbours held: one step when METHOD has bit 1024, otherwise until
// NLOOP steps, a step within 100 x RELXCA or a temperature beyond 1.0E10.
double newton_balance(double q, const NodeSums& s, double t) {
  const bool single = MTDTST(1024);
  const double tabs = GLOR.TABS, dampt = GLOR.DAMPT, tol = 100.0 * GLOR.RELXCA;
  const std::int32_t nloop = GLOI.NLOOP;
  for (std::int32_t n = 1;; ++n) {
    const double delta = newton_correction(q, s, t + tabs);
    t += dampt * delta;
    if (single || n >= nloop || !(std::abs(delta) > tol) || !(t <= kRunaway)) return t;
  }
}

bool is_capacitive_diffusion(const FwbkWork& w, std::size_t ii) noexcept {
  return w.flags.diffusion[ii] != 0 && w.zero_capacity[ii] == 0;
}

// Largest change over the step of the capacitive diffusion nodes.
double largest_change(const FwbkWork& w) {
  double d = 0.0;
  for (std::size_t i = 0; i < w.T.size(); ++i)
    if (is_capacitive_diffusion(w, i)) d = std::max(d, std::abs(w.T[i] - w.t_old[i]));
  return d;
}

// The next step from the step h just taken: the DTPMAX rule when DTPMAX is
// set, else DTIMEI; a value that is not a number becomes DTMIN.
double proposed_step(double h, double d) {
  const double proposal = GLOR.DTPMAX < kFwbkUnsetDtpmax ? 0.95 * h * GLOR.DTPMAX / d : GLOR.DTIMEI;
  return std::isnan(proposal) ? GLOR.DTMIN : proposal;
}

}  // namespace
}  // namespace kalvir::thermal

using namespace kalvir;
using namespace kalvir::thermal;
using kalvir::thermal::at;

void SLFWBK() {
  SolutionFrame frame(method_row("SLFWBK"));
  const FlagSizes sizes = flag_sizes();
  const std::int32_t nnode = sizes.nnode;
  check_flag_space(frame, sizes, 4LL * nnode + 2);
  FwbkWork work;
  frame.take_int(1);
  work.flags.take(frame, sizes);
  for (std::span<double>* area : {&work.t_old, &work.f_old, &work.older, &work.newer})
    *area = frame.take_real(nnode);
  frame.take_real(2);
  if (frame.skipped()) return;

  // A DTIMEI that is not a number starts the run at DTMAX.
  const double dtimei = GLOR.DTIMEI;
  if (std::isnan(dtimei)) GLOR.DTIMEI = GLOR.DTMAX;
  frame.first_step();
  GLOR.DTIMEI = dtimei;
  GLOR.TIMEM = 0.5 * (GLOR.TIMEO + GLOR.TIMEN);
  frame.start_callbacks();
  frame.output_at_start();
  FwbkCounts counts;
  S4SLVE(frame, work, counts);
  frame.finish();
}

std::int32_t S4SLVE(SolutionFrame& FRAME, FwbkWork& WORK, FwbkCounts& COUNTS) {
  const auto n = static_cast<std::size_t>(FLAGS(flagw::NNODE));
  WORK.T = gar_thermalnodetemps.span().first(n);
  WORK.C = gar_thermalnodecapacitances.span();
  WORK.flags.diffusion.assign(n, 0);
  WORK.zero_capacity.assign(n, 0);
  WORK.load.assign(n, 0.0);
  if (stat_getstatst() == 0) WORK.flags.rebuild();
  while (GLOR.TIMEO < GLOR.TIMEND) {
    call_variables1_block();
    WORK.flags.follow_variables1();
    S4LOP1(WORK);
    S4NEWT(WORK);
    static_cast<void>(S4TIME(FRAME, WORK, largest_change(WORK), COUNTS));
    ++COUNTS.steps;
  }
  FRAME.end_warning(COUNTS.relxca, COUNTS.steps, "RELXCA", 2, 3, "S4SLVE");
  FRAME.end_warning(COUNTS.dtpmax, COUNTS.steps, "DTPMAX", 4, 5, "S4SLVE");
  // The code of the last warning given.
  auto code = [&](std::int64_t count, std::int32_t up_to) {
    return static_cast<double>(count) / static_cast<double>(COUNTS.steps) < 0.1 ? up_to : up_to + 1;
  };
  if (COUNTS.dtpmax != 0) return code(COUNTS.dtpmax, 4);
  if (COUNTS.relxca != 0) return code(COUNTS.relxca, 2);
  return 0;
}

void S4LOP1(FwbkWork& WORK) {
  const std::int32_t nnode = FLAGS(flagw::NNODE);
  const ConductorView& network = WORK.flags.network;
  const double h = GLOR.DTIMEU, stefan = GLOR.STEFAN, tabs = GLOR.TABS;
  GLOI.LOOPCT = 1;
  GLOR.CSGMIN = kHuge;
  std::copy(WORK.T.begin(), WORK.T.end(), WORK.t_old.begin());
  for (std::int32_t i = 1; i <= nnode; ++i) {
    const std::size_t ii = at(i);
    const double c = WORK.C[ii];
    const double q = node_heat_load(i);
    WORK.load[ii] = q;
    WORK.zero_capacity[ii] = std::abs(c) < kTiny;
    WORK.f_old[ii] = 0.0;
    if (!is_capacitive_diffusion(WORK, ii)) continue;
    double sg = 0.0, sgt = 0.0;
    view_s4gsum(network, i, stefan, WORK.t_old, tabs, sg, sgt);
    WORK.f_old[ii] = sgt - WORK.t_old[ii] * sg;
    const double r = c / h;
    WORK.T[ii] = (sgt + r * WORK.t_old[ii] + q) / (r + sg);
    if (runaway(WORK.T[ii])) runaway_stop(kRunawayText, WORK.T[ii], i, "S4LOP1", 1);
    if (std::abs(sg) >= kTiny && c / sg < GLOR.CSGMIN) {
      GLOR.CSGMIN = c / sg;
      GLOI.NCSGMN = i;
    }
  }
  for (std::int32_t i = 1; i <= nnode; ++i) {
    const std::size_t ii = at(i);
    if (WORK.flags.diffusion[ii] == 0 || WORK.zero_capacity[ii] == 0) continue;
    const NodeSums s = node_sums(network, i, WORK.T);
    const double q = WORK.load[ii];
    switch (const Balance kind = balance_kind(s)) {
      case Balance::None:
        if (std::abs(q) > kTiny) WORK.T[ii] = 1.0e20;
        break;
      case Balance::Both:
        WORK.T[ii] = newton_balance(q, s, WORK.T[ii]);
        break;
      default:
        WORK.T[ii] = closed_form_temperature(kind, q, s, tabs);
        break;
    }
    if (runaway(WORK.T[ii])) runaway_stop(kRunawayText, WORK.T[ii], i, "S4LOP1", 2);
  }
}

void S4NEWT(FwbkWork& WORK) {
  const std::int32_t nnode = FLAGS(flagw::NNODE);
  LoopGuard guard("S4NEWT");
  for (std::int32_t k = 1;; ++k) {
    guard.tick();
    ++GLOI.LOOPCT;
    GLOR.RELXCC = 0.0;
    for (std::int32_t i = 1; i <= nnode; ++i)
      if (WORK.flags.diffusion[at(i)] != 0) S4TCLC2(WORK, i);
    if (GLOR.RELXCC <= GLOR.RELXCA) return;
    if (GLOI.LOOPCT >= GLOI.NLOOP) {
      SETERX("SLFWBK: Solution failed to converge for this time step@NLOOP count exceeded", 3, 2, "S4NEWT");
      return;
    }
    S9EXTR(4, 1, k, nnode, GLOR.RELXCA, WORK.older, WORK.newer, WORK.T);
  }
}

void S4TCLC2(FwbkWork& WORK, std::int32_t I) {
  const std::size_t i = at(I);
  const NodeSums s = node_sums(WORK.flags.network, I, WORK.T);
  const double q = WORK.load[i];
  const double t = WORK.T[i];
  const double tabs = GLOR.TABS, dampt = GLOR.DAMPT;
  double delta = 0.0;
  if (WORK.zero_capacity[i] == 0) {
    // One Newton step on (C/h)(T - Told) = Q + (Fold + B + Rq - A theta - R theta^4) / 2.
    const double theta = t + tabs;
    const double rc = WORK.C[i] / GLOR.DTIMEU;
    const double r3 = s.gr * (theta * theta * theta);
    delta = (0.5 * (s.glft + s.grt4 + WORK.f_old[i]) + q + rc * (WORK.t_old[i] + tabs) -
             theta * (0.5 * (s.glf + r3) + rc)) /
            (2.0 * r3 + rc + 0.5 * s.glf);
    WORK.T[i] = t + dampt * delta;
  } else {
    switch (const Balance kind = balance_kind(s)) {
      case Balance::None:
        delta = std::abs(q) > kTiny ? 1.0e20 : 0.0;
        WORK.T[i] = t + dampt * delta;
        break;
      case Balance::Both:
        // The inner steps are damped already: their total change is taken
        // as it is, so DAMPT acts once per step as everywhere else.
        WORK.T[i] = newton_balance(q, s, t);
        delta = WORK.T[i] - t;
        break;
      default:
        delta = closed_form_temperature(kind, q, s, tabs) - t;
        WORK.T[i] = t + dampt * delta;
        break;
    }
  }
  const double change = std::abs(delta);
  if (change > GLOR.RELXCC) {
    GLOR.RELXCC = change;
    GLOI.NRLXCC = I;
  }
  if (runaway(WORK.T[i])) runaway_stop("Temperature > 1.0D10 detected@", WORK.T[i], I, "S4TCLC2", 1);
}

Attempt S4TIME(SolutionFrame& FRAME, FwbkWork& WORK, double D, FwbkCounts& COUNTS) {
  const double relxcc = GLOR.RELXCC;
  const double h = GLOR.DTIMEU;
  if (D > GLOR.DTPMAX) {
    if (h > 1.0001 * GLOR.DTMIN) {
      const double next = retry_step(proposed_step(h, D), h);
      GLOR.DTIMEU = next;
      GLOR.TIMEN = GLOR.TIMEO + next;
      GLOR.TIMEM = GLOR.TIMEO + 0.5 * next;
      FRAME.require_positive_step(GLOR.TIMEN - GLOR.TIMEO);
      std::copy(WORK.t_old.begin(), WORK.t_old.end(), WORK.T.begin());
      return Attempt::Rejected;
    }
    if (GLOR.DTPMAX < kFwbkUnsetDtpmax) ++COUNTS.dtpmax;
  }
  FRAME.accept_tail();
  const double next = clamp_step(proposed_step(h, D));
  GLOR.TIMEO = GLOR.TIMEN;
  if (GLOR.TIMEO < GLOR.TIMEND) {
    GLOR.DTIMEU = next;
    FRAME.place_step(next);
  }
  GLOR.TIMEM = 0.5 * (GLOR.TIMEO + GLOR.TIMEN);
  if (relxcc > GLOR.RELXCA) ++COUNTS.relxca;
  return Attempt::Accepted;
}
