#include "runtime/thermal/gear.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/messages.h"
#include "runtime/control/model_blocks.h"
#include "runtime/control/run_end.h"
#include "runtime/control/status.h"
#include "runtime/thermal/network_sums.h"

namespace kalvir::thermal {
namespace {

// The step loop ends the run after this many steps.
constexpr std::int64_t kMaxSteps = 2000000001;
// An output time this close beyond the end of a step (relative to the step)
// is served in the step.
constexpr double kOutputReach = 1.0e-4;

// Largest of a and b; a NaN wins for good.
inline double max_or_nan(double a, double b) noexcept { return std::isnan(a) || b <= a ? a : b; }

// The accepted temperatures back from slot r, for every node.
void restore_accepted(GearWork& w) {
  const std::span<const double> y = w.slot(w.r);
  const double tabs = GLOR.TABS;
  for (std::int32_t i = 1; i <= w.nnode; ++i) w.T[at(i)] = y[at(i)] - tabs;
}

// The predicted temperatures, absolute, into unit 1 for every node: the
// error test measures the corrector's move away from them. The first step
// has no history to predict from; its prediction for the test is the start
// along the start's rates, so that the test sees backward Euler's error and
// not the step's whole change.
void keep_prediction(GearWork& w) {
  const std::span<double> p = w.prediction();
  const double tabs = GLOR.TABS;
  for (std::int32_t i = 1; i <= w.nnode; ++i) p[at(i)] = w.T[at(i)] + tabs;
  if (w.started) return;
  const double h = GLOR.TIMEN - GLOR.TIMEO;
  for (std::int32_t i = 1; i <= w.nnode; ++i) p[at(i)] += h * w.start_rate[at(i)];
}

// dT/dt of every diffusion node with capacitance at the start of the run,
// from the net heat flow into it; 0 for every other node.
void take_start_rates(GearWork& w) {
  w.network.follow();
  gear_take_powers(w);
  w.find_diffusion_nodes();
  std::fill(w.start_rate.begin(), w.start_rate.end(), 0.0);
  const double tabs = GLOR.TABS;
  for (std::int32_t i : w.diffusion) {
    const double c = gar_thermalnodecapacitances(i);
    if (!(std::abs(c) >= kTiny)) continue;
    const double yi = w.T[at(i)] + tabs, yi4 = (yi * yi) * (yi * yi);
    double flow = node_heat_load(i);
    for_each_gear_conductor(
        w, i, [&](std::int32_t, double g, double yj) { flow += g * (yj - yi); },
        [&](std::int32_t, double sg, double, double yj4) { flow += sg * (yj4 - yi4); });
    w.start_rate[at(i)] = flow / c;
  }
}

}  // namespace

double gear_error_estimate(const GearWork& w) {
  // The corrected value less the predicted one is the next difference of the
  // history; scaled as the order selection scales it, it is the order's
  // local truncation error relative to the weights.
  const std::span<const double> p = w.prediction(), wt = w.weights();
  const double tabs = GLOR.TABS;
  double err = 0.0;
  for (std::int32_t i : w.diffusion) {
    // A node without capacitance has no start rate to predict the first
    // step from; its neighbours' errors bound its own.
    if (!w.started && !(std::abs(gar_thermalnodecapacitances(i)) >= kTiny)) continue;
    err = max_or_nan(err, std::abs((w.T[at(i)] + tabs - p[at(i)]) / wt[at(i)]));
  }
  // The first step is backward Euler against a linear prediction, whose
  // error constant is 1/2.
  if (!w.started) return 0.5 * err;
  return err / ((GLOR.TIMEN - w.time(w.r - w.k)) * w.beta);
}

void GearWork::find_diffusion_nodes() {
  diffusion.clear();
  for (std::int32_t i = 1; i <= nnode; ++i)
    if (gar_thermalnodestatuses(i)[0] == 'D') diffusion.push_back(i);
}

void run_gear(std::string_view name, void (*step_loop)(GearWork&)) {
  SolutionFrame frame(method_row(name));
  const std::int32_t nnode = FLAGS(flagw::NNODE);
  const std::int64_t dystor = FLAGS(flagw::DYSTOR);
  const std::int64_t start = FLAGS(flagw::NEXTREAL);
  frame.check_space(start + 13LL * nnode - dystor, 0);

  GearWork work;
  work.frame = &frame;
  work.name = frame.row().name;
  work.nnode = nnode;
  const std::span<double> carved = frame.take_real(12 * nnode + 1);
  if (frame.skipped()) return;
  // The Jacobian storage lies above the carved words, up to DYSTOR.
  work.available = std::min<std::int64_t>(dystor, gar_dynamiccorereal.size()) - start + 1;
  const std::size_t twelve = 12 * static_cast<std::size_t>(nnode);
  work.units = std::span<double>(carved.data(), static_cast<std::size_t>(work.available));
  work.above = work.units.subspan(twelve);
  work.units = work.units.first(twelve);
  work.T = gar_thermalnodetemps.span();
  allocate_or_stop([&] {
    work.diffusion.reserve(static_cast<std::size_t>(nnode));
    work.start_rate.assign(static_cast<std::size_t>(nnode), 0.0);
  });

  GLOR.TIMEN = GLOR.TIMEM = GLOR.TIMEO;
  frame.start_callbacks();
  GLOR.DTIMEU = GLOR.CSGMIN;
  frame.output_at_start();
  frame.first_step();
  // The formula stands at the step's end: the model's time-dependent data
  // are taken there too.
  GLOR.TIMEM = GLOR.TIMEN;
  step_loop(work);
  frame.finish();
}

void gear_step_loop(GearWork& w, GearCorrector corrector, std::string_view routine) {
  // Start of the history: slot 1 holds y at TIMEO, the differences are 0.
  const double tabs = GLOR.TABS;
  std::fill(w.units.begin(), w.units.end(), 0.0);
  const std::span<double> y0 = w.slot(1);
  for (std::int32_t i = 1; i <= w.nnode; ++i) y0[at(i)] = w.T[at(i)] + tabs;
  std::fill(w.weights().begin(), w.weights().end(), 1.0);
  w.t.fill(0.0);
  w.t[0] = GLOR.TIMEO;
  w.x.fill(0.0);
  w.k = 1;
  w.r = 1;
  w.d = 0;
  w.started = w.done = w.error = false;
  take_start_rates(w);

  for (std::int64_t step = 1;; ++step) {
    S5PRED(w);
    ++w.attempts;
    corrector(w);
    if (w.error) return;
    S5CHCK(w);
    if (step >= kMaxSteps) {
      std::string text(w.name);
      text += ": Maximum number of timesteps exceeded";
      SETERX(text, 4, 1, routine);
      return;
    }
    // The last step ends exactly at TIMEND: placement takes TIMEND itself.
    if (w.done || GLOR.TIMEO >= GLOR.TIMEND) return;
  }
}

void gear_corrector_formula(GearWork& w) {
  const double tn = GLOR.TIMEN;
  const int k = w.k, r = w.r;
  // beta_j = sum over m = j .. k of 1 / (TIMEN - t(r - m + 1)).
  std::array<double, kGearMaxOrder + 2> b{};
  for (int j = k; j >= 1; --j) b[static_cast<std::size_t>(j)] = b[static_cast<std::size_t>(j) + 1] + 1.0 / (tn - w.time(r - j + 1));
  w.beta = b[1];
  const std::span<double> y = w.base();
  std::fill(y.begin(), y.end(), 0.0);
  for (std::int32_t i : w.diffusion) {
    double s = 0.0;
    for (int j = 1; j <= k; ++j)
      s += w.x[static_cast<std::size_t>(j - 1)] * b[static_cast<std::size_t>(j)] * w.slot(r - j + 1)[at(i)];
    y[at(i)] = s / w.beta;
  }
}

void gear_take_powers(GearWork& w) {
  ConductorView& v = w.network.view();
  const double tabs = GLOR.TABS;
  for (std::int32_t i = 1; i <= v.nnode; ++i) v.set_powers(i, w.T[at(i)], tabs);
}

void require_pivot(const GearWork& w, double pivot, std::int32_t node, std::string_view routine) {
  if (std::abs(pivot) >= kTiny && std::isfinite(pivot)) return;
  std::string text(w.name);
  text += ": Zero or non-finite pivot in the Jacobian@";
  fatal_node_message(text, node, routine);
}

GearConvergence gear_convergence(GearWork& w, std::string_view routine) {
  double relxcc = 0.0;
  for (std::size_t p = 0; p < w.diffusion.size(); ++p) {
    const std::int32_t i = w.diffusion[p];
    const double d = w.correction_of(p, i);
    w.T[at(i)] += d;
    // A correction that is not a number is never converged.
    if (std::isnan(d) ? !std::isnan(relxcc) : std::abs(d) > relxcc) {
      relxcc = std::isnan(d) ? d : std::abs(d);
      GLOI.NRLXCC = i;
    }
  }
  GLOR.RELXCC = relxcc;
  if (relxcc <= GLOR.RELXCA) return GearConvergence::Converged;
  if (GLOI.LOOPCT >= GLOI.NLOOP) {
    std::string text(w.name);
    text += ": Failed to converge within NLOOP iterations";
    SETERX(text, 4, 1, routine);
    return GearConvergence::Failed;
  }
  return GearConvergence::Iterate;
}

}  // namespace kalvir::thermal

using namespace kalvir;
using namespace kalvir::thermal;

void S5PRED(GearWork& WORK) {
  WORK.x.fill(0.0);
  WORK.x[0] = 1.0;
  // Until a step has been accepted there is no difference to extrapolate:
  // the first step (and any retry of it) starts from the start temperatures;
  // the error test predicts it along the start's rates.
  if (!WORK.started) {
    keep_prediction(WORK);
    return;
  }
  const double tn = GLOR.TIMEN, to = GLOR.TIMEO;
  const int k = WORK.k, r = WORK.r;
  for (int m = 1; m <= k; ++m)
    WORK.x[static_cast<std::size_t>(m)] =
        WORK.x[static_cast<std::size_t>(m - 1)] * (tn - WORK.time(r - m + 1)) / (to - WORK.time(r - m));
  if (WORK.d > k && k < kGearMaxOrder)
    WORK.x[static_cast<std::size_t>(k + 1)] =
        WORK.x[static_cast<std::size_t>(k)] * (tn - WORK.time(r - k)) / (to - WORK.time(r - k - 1));
  WORK.find_diffusion_nodes();
  for (int m = 1; m <= k; ++m) {
    const double xm = WORK.x[static_cast<std::size_t>(m)];
    const std::span<const double> phi = WORK.slot(r - m);
    for (std::int32_t i : WORK.diffusion) WORK.T[at(i)] += xm * phi[at(i)];
  }
  keep_prediction(WORK);
}

void S5CHCK(GearWork& WORK) {
  double h;
  if (WORK.converged) {
    const double err = gear_error_estimate(WORK);
    if (err <= 10.0 * GLOR.RELXCA) {
      call_variables2_block();
      S5STUP(WORK);
      WORK.done = false;
      return;
    }
    // The step that brings this order's estimate down to RELXCA, as the
    // order selection would choose it.
    h = GLOR.DTIMEU * std::pow(GLOR.RELXCA / err, 1.0 / (WORK.k + 1));
    ++WORK.rejected;
  } else {
    h = 0.9 * GLOR.DTIMEU * GLOR.RELXCA / GLOR.RELXCC;
  }
  S5TSET(WORK, h);
}

void S5TSET(GearWork& WORK, double H) {
  if (!(GLOR.DTIMEU > 1.0001 * GLOR.DTMIN)) {
    SETERX("SLGEAR: Required timestep is less than DTMIN", 4, 1, "S5TSET");
    WORK.done = true;
    return;
  }
  // A retry is always shorter than the rejected step, so it cannot repeat
  // for ever, even when the proposal is not a number.
  GLOR.TIMEN = std::min(GLOR.TIMEO + retry_step(H, GLOR.DTIMEU), GLOR.TIMEND);
  GLOR.DTIMEU = GLOR.TIMEN - GLOR.TIMEO;
  WORK.frame->require_positive_step(GLOR.DTIMEU);
  GLOR.TIMEM = GLOR.TIMEN;
  restore_accepted(WORK);
  WORK.done = false;
}

void S5STUP(GearWork& WORK) {
  SolutionFrame& frame = *WORK.frame;
  S5STAK(WORK);
  ++WORK.accepted;
  const double h = GLOR.DTIMEU;
  // Output times up to the end of the step (within a small part of it).
  while (frame.next_output_time() <= GLOR.TIMEN + kOutputReach * h) {
    const double tout = frame.next_output_time();
    S5OUTP(WORK, tout);
    // An output interval too small to move the time on would serve the same
    // output for ever.
    if (frame.next_output_time() <= tout) frame.require_positive_step(frame.next_output_time() - tout);
  }
  const double tabs = GLOR.TABS;
  const std::span<double> w = WORK.weights();
  for (std::int32_t i = 1; i <= WORK.nnode; ++i) w[at(i)] = std::max(w[at(i)], WORK.T[at(i)] + tabs);
  if (WORK.d > WORK.k) {
    S5ORDR(WORK);
    WORK.d = 0;
  } else {
    ++WORK.d;
  }
  GLOR.TIMEO = GLOR.TIMEN;
  if (GLOR.TIMEO < GLOR.TIMEND) {
    frame.place_step_past_outputs(GLOR.DTIMEU);
    GLOR.TIMEM = GLOR.TIMEN;
  } else {
    GLOR.DTIMEU = h;  // the last step used
  }
}

void S5STAK(GearWork& WORK) {
  WORK.r = WORK.r % kGearRing + 1;
  const int r = WORK.r, k = WORK.k;
  WORK.t[static_cast<std::size_t>(r - 1)] = GLOR.TIMEN;
  const std::span<double> y = WORK.slot(r);
  const double tabs = GLOR.TABS;
  for (std::int32_t i = 1; i <= WORK.nnode; ++i) y[at(i)] = WORK.T[at(i)] + tabs;
  // Slot r - m still holds the old difference of order m - 1 (the old value
  // for m = 1) when it is replaced by the new difference of order m.
  const int j = WORK.d > k ? std::min(k + 2, kGearRing - 1) : k + 1;
  for (int m = 1; m <= j; ++m) {
    const double xm = WORK.x[static_cast<std::size_t>(m - 1)];
    const std::span<const double> next = WORK.slot(r - m + 1);
    const std::span<double> old = WORK.slot(r - m);
    for (std::int32_t i : WORK.diffusion) old[at(i)] = next[at(i)] - xm * old[at(i)];
  }
  WORK.started = true;
}

void S5OUTP(GearWork& WORK, double TOUT) {
  const double tn = GLOR.TIMEN;
  const int k = WORK.k, r = WORK.r;
  double l = 1.0;
  for (int m = 1; m <= k; ++m) {
    l *= (TOUT - WORK.time(r - m + 1)) / (tn - WORK.time(r - m));
    const std::span<const double> phi = WORK.slot(r - m);
    for (std::int32_t i : WORK.diffusion) WORK.T[at(i)] += l * phi[at(i)];
  }
  GLOR.TIMEN = GLOR.TIMEM = TOUT;
  call_variables1_block();
  WORK.network.follow();
  view_s5csgm(WORK.network.view(), gar_thermalnodecapacitances.span(), GLOR.CSGMIN, GLOI.NCSGMN, GLOR.STEFAN,
              WORK.T, GLOR.TABS);
  call_outputs_block();
  if (TOUT < GLOR.TIMEND)
    WORK.frame->output_served(TOUT);
  else
    WORK.frame->park_output();
  GLOR.TIMEN = GLOR.TIMEM = tn;
  restore_accepted(WORK);
}

void S5ORDR(GearWork& WORK) {
  const double tn = GLOR.TIMEN;
  const int r = WORK.r;
  const std::span<const double> w = WORK.weights();
  const int qmax = std::min(WORK.k + 1, kGearMaxOrder);
  int order = 1;
  double g = 0.0;
  double s = 0.0;
  // Growth that takes the step to DTMAX: beyond it every order gives the
  // same step, and the higher order the smaller error.
  const double room = GLOR.DTMAX / GLOR.DTIMEU;
  for (int q = 1; q <= qmax; ++q) {
    s += 1.0 / (tn - WORK.time(r - q));
    const std::span<const double> phi = WORK.slot(r - q - 1);
    double e = 0.0;
    for (std::int32_t i : WORK.diffusion) e = max_or_nan(e, std::abs(phi[at(i)] / w[at(i)]));
    e /= (tn - WORK.time(r - q - 1)) * s;
    const double cap = kGearOrderCaps[static_cast<std::size_t>(q - 1)];
    double ratio = cap;
    if (std::abs(e) >= kTiny) {
      const double p = std::pow(GLOR.RELXCA / e, 1.0 / (q + 1));
      if (!std::isnan(p)) ratio = std::min(cap, p);
    }
    // A loose tolerance caps every candidate, and the largest cap is order
    // 1's: without the second rule such a run would stay at backward Euler
    // with steps of DTMAX for good.
    if (q == 1 || ratio > g || (ratio >= room && g >= room)) {
      g = ratio;
      order = q;
    }
  }
  WORK.k = order;
  const double cap = kGearOrderCaps[static_cast<std::size_t>(order - 1)];
  if (std::abs(g - 1.0) <= 0.1 && std::abs(g - cap) >= kTiny) return;
  GLOR.DTIMEU *= g;
  if (GLOR.DTIMEU > GLOR.DTMAX)
    GLOR.DTIMEU = GLOR.DTMAX;
  else if (GLOR.DTIMEU < GLOR.DTMIN)
    GLOR.DTIMEU = GLOR.DTMIN;
}
