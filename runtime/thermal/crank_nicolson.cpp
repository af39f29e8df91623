#include "runtime/thermal/crank_nicolson.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/model_blocks.h"
#include "runtime/control/run_end.h"
#include "runtime/control/status.h"

namespace kalvir::thermal {
namespace {

// Largest change over the step of the diffusion nodes that are time-stepped
// (time constant above DTIMEU x ARITH); the lowest double when there is none.
double largest_change(const CnWork& w) {
  double d = std::numeric_limits<double>::lowest();
  const double limit = GLOR.DTIMEU * GLOR.ARITH;
  for (std::size_t i = 0; i < w.diffusion.size(); ++i)
    if (w.diffusion[i] != 0 && w.tau[i] > limit) d = std::max(d, std::abs(w.T[i] - w.t0[i]));
  return d;
}

}  // namespace

}  // namespace kalvir::thermal

using namespace kalvir::thermal;

void SLCRNC() {
  SolutionFrame frame(method_row("SLCRNC"));
  const std::int32_t nnode = FLAGS(flagw::NNODE);
  const std::int32_t ngl = FLAGS(flagw::NGL), ngf = FLAGS(flagw::NGF), ngr = FLAGS(flagw::NGR);
  const std::int64_t dystor = FLAGS(flagw::DYSTOR);
  const std::int64_t int_excess =
      static_cast<std::int64_t>(FLAGS(flagw::NEXTINT)) + nnode + ngl + ngf + ngr - dystor;
  const std::int64_t real_excess = static_cast<std::int64_t>(FLAGS(flagw::NEXTREAL)) + 9LL * nnode + 1 - dystor;
  frame.check_space(real_excess, int_excess);

  CnWork work;
  work.view.sweep_order = true;
  work.gf_active = frame.take_int(ngf);
  work.gl_active = frame.take_int(ngl);
  work.gr_active = frame.take_int(ngr);
  work.in_network = frame.take_int(nnode);
  for (std::span<double>* area : {&work.t0, &work.r0, &work.snap1, &work.snap2, &work.arith_start, &work.change,
                                  &work.tau, &work.arith_snap1, &work.arith_snap2})
    *area = frame.take_real(nnode);
  if (frame.skipped()) return;

  frame.first_step();
  GLOR.TIMEM = GLOR.TIMEO;
  frame.start_callbacks();
  frame.output_at_start();
  CnCounts counts;
  S9SLVE(frame, work, counts);
  frame.finish();
}

void S9SLVE(SolutionFrame& FRAME, CnWork& WORK, CnCounts& COUNTS) {
  WORK.T = gar_thermalnodetemps.span();
  WORK.C = gar_thermalnodecapacitances.span();
  allocate_or_stop([&] {
    WORK.size_node_arrays();
  });
  // With the status-change flag set, the first step's predictor builds the
  // view from the flags rebuilt after its V10001.
  if (stat_getstatst() == 0) {
    WORK.rebuild_flags();
    WORK.view.build(WORK.flags());
  }
  while (GLOR.TIMEO < GLOR.TIMEND) {
    ++COUNTS.steps;
    GLOI.LOOPCT = 0;
    GLOR.TIMEM = GLOR.TIMEO;
    call_variables1_block();
    if (stat_getstatst() != 0) WORK.rebuild_flags();
    S9LOP1(WORK);
    do {
      GLOR.TIMEM = GLOR.TIMEN;
      S9NEWT(WORK);
    } while (S9TIME(FRAME, WORK, largest_change(WORK), COUNTS) == Attempt::Rejected);
  }
  FRAME.end_warning(COUNTS.relxca, COUNTS.steps, "RELXCA", 3, 4, "S9Slve");
  FRAME.end_warning(COUNTS.dtpmax, COUNTS.steps, "DTPMAX", 5, 6, "S9Slve");
  FRAME.end_warning(COUNTS.dtroca, COUNTS.steps, "DTROCA", 7, 8, "S9Slve");
}

Attempt S9TIME(SolutionFrame& FRAME, CnWork& WORK, double D, CnCounts& COUNTS) {
  const double h = GLOR.DTIMEU;
  // A limit at 1.0E10 or above is not set and never rejects.
  const bool dtpmax_set = GLOR.DTPMAX < kUnsetLimit;
  const bool dtroca_set = GLOR.DTROCA < kUnsetLimit;
  // With no time-stepped diffusion node D is the lowest double: there is then
  // no change to scale the step by, and the step must not collapse to DTMIN.
  // A candidate that is not available is no limit (kUnsetLimit).
  const bool hp_available = dtpmax_set && D >= kTinySingle;
  const bool hr_available = dtroca_set && std::abs(GLOR.DTROCC) >= kTinySingle;
  const double hp = hp_available ? 0.95 * h * GLOR.DTPMAX / D : kUnsetLimit;
  const double hr = hr_available ? 0.9 * h * std::sqrt(std::max(GLOR.DTROCA, 0.0) / GLOR.DTROCC) : kUnsetLimit;
  const bool can_shrink = h > 1.0001 * GLOR.DTMIN;

  bool reject = false;
  if (dtpmax_set && D > GLOR.DTPMAX) {
    if (can_shrink)
      reject = true;
    else
      ++COUNTS.dtpmax;
  }
  if (!reject && dtroca_set && GLOR.DTROCC > GLOR.DTROCA) {
    if (can_shrink)
      reject = true;
    else
      ++COUNTS.dtroca;
  }

  if (reject) {
    const double next = retry_step(std::min({kUnsetLimit, hp, hr}), h);
    GLOR.DTIMEU = next;
    GLOR.TIMEN = GLOR.TIMEO + next;
    FRAME.require_positive_step(GLOR.TIMEN - GLOR.TIMEO);
    const double r = next / h;
    const double tabs = GLOR.TABS;
    for (std::int32_t i = 1; i <= WORK.view.nnode; ++i) {
      const auto ii = static_cast<std::size_t>(i - 1);
      WORK.T[ii] = WORK.T[ii] * r + WORK.t0[ii] * (1.0 - r);
      WORK.view.set_powers(i, WORK.T[ii], tabs);
    }
    return Attempt::Rejected;
  }

  FRAME.accept_tail();
  // A change too small to scale the step by sets no limit: with DTPMAX or
  // DTROCA set the step goes on to DTMAX, as far as the other limit lets it.
  // At a steady state it stays there instead of starting again from DTIMEI.
  // Without either limit there is no step control and every step is DTIMEI.
  double next = std::min(hp, hr);
  if (!(next < kUnsetLimit)) next = dtpmax_set || dtroca_set ? GLOR.DTMAX : GLOR.DTIMEI;
  GLOR.TIMEO = GLOR.TIMEN;
  if (GLOR.TIMEO < GLOR.TIMEND) {
    GLOR.DTIMEU = clamp_step(next);
    FRAME.place_step(GLOR.DTIMEU);
  }
  if (GLOR.RELXCC > GLOR.RELXCA) ++COUNTS.relxca;
  return Attempt::Accepted;
}
