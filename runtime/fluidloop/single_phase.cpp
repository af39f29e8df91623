#include "runtime/fluidloop/single_phase.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/model_blocks.h"
#include "runtime/fluidloop/conductance_sums.h"
#include "runtime/fluidloop/fluid_frame.h"
#include "runtime/fluidloop/humid_air.h"
#include "runtime/fluidloop/step_kernels.h"
#include "runtime/fluidloop/step_methods.h"
#include "runtime/fluidloop/support.h"
#include "runtime/fluids/interface/properties.h"
#include "runtime/thermal/solution_frame.h"

using namespace kalvir;
using namespace kalvir::fluidloop;

namespace {

enum class Method { Mixed, Explicit, Implicit };
enum class Outcome { Rejected, Accepted, Finished };

// Thermal and fluid temperatures at the start and the end of a step.
struct Copies {
  std::span<double> ts, te, fs, fe;
};

double clamp_to_limits(double h) { return std::max(std::min(h, GLOR.DTMAX), GLOR.DTMIN); }

// The run is over once less than a tenth of the last step is left; the test
// is relative to the step, so no time is skipped at a large TIMEND and a run
// in negative time ends as well.
bool run_over(double step) { return GLOR.TIMEO + 0.1 * step >= GLOR.TIMEND; }

// Slices of the step vectors.
struct Carver {
  std::span<double> area;
  std::size_t at = 0;
  std::span<double> take(std::int32_t n) {
    const std::span<double> s = area.subspan(at, static_cast<std::size_t>(n));
    at += static_cast<std::size_t>(n);
    return s;
  }
};

// The work arrays and the common parts of the three time loops.
class Loop {
 public:
  Loop(FluidFrame& frame, Method method);

  // Humid air before the first step.
  void humid_start() const;
  // Volume change, hydraulics and properties of the step; ASSIGN_COUNT puts
  // the hydraulic iterations into SUMFLL instead of adding them.
  void fluid_state(bool assign_count);
  // Takes over an accepted step: its temperatures, then the humid-air
  // transport over it (HMDNTF for the explicit method), then the variables 2
  // block and the outputs.
  void accept(const Copies& c);
  // Acceptance of a step of FLTNTF or FLTNTS (FSTIME).
  Outcome fstime(double change, const Copies& c);
  // The step vectors of the explicit or implicit method, carved from the
  // step area, with the copies the acceptance works on.
  StepVectors step_vectors(Copies& copies);
  // A rejected step: step H from TIMEO again, from the start copies and the
  // start volumes.
  void reject(double h, const Copies& c);
  // Puts back the volumes that a rejected step changed.
  void undo_volumes();
  void restore(const Copies& c) const;
  void take_over(const Copies& c) const;
  void count(bool at_minimum) {
    frame.count_step(GLOR.RELXCC > GLOR.RELXCA, GLOR.FRLXCC > GLOR.FRLXCA, hydraulics_ran && converged == 0,
                     at_minimum);
  }

  FluidFrame& frame;
  const Method method;
  const std::int32_t nnode, nf, nm;
  const bool links;
  std::span<double> vdot, rho, visc, cp, state, steps;
  HydraulicWork hw;
  HistoryRing ring;
  HumidVectors humid;
  std::span<std::int32_t> frozen;
  std::int32_t converged = 1;
  bool hydraulics_ran = false;
  double volume_step = 0.0;
};

Loop::Loop(FluidFrame& f, Method m)
    : frame(f),
      method(m),
      nnode(FLAGS(flagw::NNODE)),
      nf(FLAGS(flagw::NF)),
      nm(FLAGS(flagw::NM)),
      links(nf > 0 && nm > 0) {
  vdot = frame.take_real(nf);
  rho = frame.take_real(nf);
  visc = frame.take_real(nf);
  std::fill(vdot.begin(), vdot.end(), 0.0);
  if (method == Method::Mixed) cp = frame.take_real(nf);
  if (frame.time_levels() == 100) {
    ring.table = frame.take_real(100 * (nf + 1));
    ring.levels = 100;
  }
  // Thermal and fluid step vectors of the method.
  const std::int32_t per_thermal = method == Method::Mixed ? 4 : method == Method::Explicit ? 2 : 3;
  const std::int32_t per_fluid = method == Method::Explicit ? 2 : 3;
  const std::int32_t need = per_thermal * nnode + per_fluid * nf;
  if (links) {
    hw = frame.take_hydraulic_work(visc, rho, vdot);
    std::fill(hw.matrix.begin(), hw.matrix.end(), 0.0);
    // The enthalpy states, and the implicit method's specific heats, share
    // the new-pressure block, which the hydraulics refill at every call.
    state = hw.pressure;
    if (method == Method::Implicit) cp = hw.pressure;
  } else {
    state = frame.take_real(nf);
    if (method != Method::Mixed) cp = frame.take_real(nf);
  }
  if (links && method != Method::Mixed) {
    // The step vectors lie over the hydraulic blocks behind the new
    // pressures: the hydraulics rebuild those blocks at each call, and the
    // step refills its vectors after it.
    const std::int32_t room = 2 * nm + nf;
    if (need + 1 > room) frame.take_real(need + 1 - room);
    steps = std::span<double>(hw.head.data(), static_cast<std::size_t>(need));
  } else {
    steps = frame.take_real(need);
  }
  // The vapour fractions of the humid-air transport use the viscosities and
  // the enthalpy states: the transport runs after the step, and the next
  // step's hydraulics and enthalpies fill both afresh.
  humid.w0 = visc;
  humid.w = state;
  if (frame.humid_air() && links) humid.saved_sources = frame.take_real(nf);
  humid.rho = rho;
  humid.vdot = vdot;
  humid.rates = frame.condensation_rates();
  humid.loads = frame.condensation_loads();
  std::fill(humid.rates.begin(), humid.rates.end(), 0.0);
  std::fill(humid.loads.begin(), humid.loads.end(), 0.0);
  if (method == Method::Implicit) frozen = frame.take_int(nnode + nf);
}

void Loop::humid_start() const {
  if (!frame.humid_air()) return;
  HUMRSP(1);
  SFMCON(1, humid.rates, humid.saved_sources);
  if (nnode > 0) CNDNSE(humid);
}

void Loop::fluid_state(bool assign_count) {
  hydraulics_ran = false;
  converged = 1;
  if (nf < 1) return;
  const bool humid_links = links && frame.humid_air();
  if (humid_links) {
    HUMRSP(1);
    SFMCON(2, humid.rates, humid.saved_sources);
  }
  if (links) {
    // Volumes follow their rates only in a network with links: without
    // links no hydraulics see the change, and a lone node would grow or
    // shrink with no flow to carry its mass.
    CVOLST(nf, GLOR.DTIMEU, vdot);
    volume_step = GLOR.DTIMEU;
    std::int32_t iterations = 0, status = 0;
    FLHYSL(hw, 1, converged, iterations, status);
    hydraulics_ran = true;
    GLOI.SUMFLL = assign_count ? iterations : GLOI.SUMFLL + iterations;
    if (humid_links) SFMCON(3, humid.rates, humid.saved_sources);
    // The enthalpies that the next variables 1 call sees follow the new
    // pressures; the implicit method's specific heats then take the array.
    if (method == Method::Implicit) SNFE(state);
  }
  // Density and specific heat of every fluid node, linked or not: the
  // kernels and the humid-air balance read them for all nodes.
  if (method != Method::Explicit || !links) {
    const std::string_view names(gar_fluidnodefluidtypes(1).data(), static_cast<std::size_t>(nf) * 24);
    SCPRHO(nf, nnode, rho, cp, gar_fluidnodepressures.span(), names, 24, gar_fluidnodevapourqualities.span(),
           gar_fluidnodetemps.span());
  }
}

void Loop::accept(const Copies& c) {
  volume_step = 0.0;
  take_over(c);
  // The links carry vapour mass, and the relative humidity follows from it
  // at the temperatures the step ended with: the transport runs once the
  // step is accepted, so that the humidity ratio it leaves is what the next
  // step turns the relative humidity back into, and a rejected step moves
  // no vapour.
  if (frame.humid_air()) {
    if (method == Method::Explicit)
      HMDNTF(humid);
    else
      HMDIPT(humid);
    for (std::int32_t n = 1; n <= nf; ++n)
      if (fluid_slot(n) == fluids::kHumidAir) gar_fluidnodevapourqualities(n) = gar_fluidnodespechumidities(n);
  }
  frame.accept_tail();
}

StepVectors Loop::step_vectors(Copies& copies) {
  Carver carve{steps};
  const bool implicit = method == Method::Implicit;
  StepVectors v;
  v.t0 = carve.take(nnode);
  if (implicit) v.f0 = carve.take(nnode);
  v.t = carve.take(nnode);
  v.tf0 = carve.take(nf);
  if (implicit) v.f0f = carve.take(nf);
  v.tf = carve.take(nf);
  v.t_end = v.t;
  v.rho = rho;
  v.cp = cp;
  v.vdot = vdot;
  v.condensation = frame.condensation_loads();
  if (implicit) {
    v.frozen_t = frozen.first(static_cast<std::size_t>(nnode));
    v.frozen_f = frozen.subspan(static_cast<std::size_t>(nnode));
  }
  v.history = &ring;
  copies = {v.t0, v.t, v.tf0, v.tf};
  return v;
}

void Loop::reject(double h, const Copies& c) {
  GLOR.DTIMEU = h;
  GLOR.TIMEN = GLOR.TIMEO + h;
  GLOR.TIMEM = GLOR.TIMEO + h / 2.0;
  restore(c);
  undo_volumes();
}

void Loop::undo_volumes() {
  if (volume_step != 0.0 && nf > 0) CVOLST(nf, -volume_step, vdot);
  volume_step = 0.0;
}

void Loop::restore(const Copies& c) const {
  if (frame.presence()[0] == 'Y') std::copy(c.ts.begin(), c.ts.end(), c.te.begin());
  if (frame.presence()[1] == 'Y') std::copy(c.fs.begin(), c.fs.end(), c.fe.begin());
}

void Loop::take_over(const Copies& c) const {
  if (frame.presence()[0] == 'Y') std::copy(c.te.begin(), c.te.end(), gar_thermalnodetemps.span().begin());
  if (frame.presence()[1] == 'Y') std::copy(c.fe.begin(), c.fe.end(), gar_fluidnodetemps.span().begin());
}

Outcome Loop::fstime(double change, const Copies& c) {
  double proposal = 0.0;
  const double step = GLOR.DTIMEU;
  const DtpmaxVerdict verdict = dtpmax_verdict(change, proposal);
  if (verdict == DtpmaxVerdict::Reject) {
    reject(clamp_to_limits(proposal), c);
    return Outcome::Rejected;
  }
  accept(c);
  GLOR.TIMEO = GLOR.TIMEN;
  count(verdict == DtpmaxVerdict::AcceptAtMinimum);
  if (run_over(step)) return Outcome::Finished;
  frame.place_step(clamp_to_limits(GLOR.DTIMEI));
  return Outcome::Accepted;
}

// --- FLTNTF -------------------------------------------------------------------

void FLTFIT(FluidFrame& frame) {
  Loop loop(frame, Method::Explicit);
  Copies copies;
  const StepVectors v = loop.step_vectors(copies);
  loop.humid_start();
  // Without links nothing has given the Courant limit a value.
  if (!loop.links) GLOR.DTCOUR = 1.0e38;

  GLOR.DTIMEI = std::min(0.95 * GLOR.CSGMIN, GLOR.RLCOUR * GLOR.DTCOUR);
  GLOR.DTIMEU = clamp_to_limits(GLOR.DTIMEI);
  call_outputs_block();
  frame.start_outputs();
  frame.place_step(GLOR.DTIMEU);
  for (;;) {
    GLOI.SUMTHL = 0;
    GLOI.SUMFLL = 0;
    SNFE(loop.state);
    frame.variables1();
    loop.fluid_state(false);
    if (loop.links) {
      SNFE(loop.state);
      frame.variables1();
      SGMCAL(loop.nm);
      // The step's own Courant limit: one carried over from an earlier,
      // faster flow would hold the step down for the rest of the run.
      GLOR.DTCOUR = 1.0e38;
      SGCOUR(loop.nm, GLOR.DTCOUR);
    }
    std::int32_t iterations = 0, flag = 0;
    double change = 0.0;
    FLTNEX(v, GLOR.DTIMEU, iterations, flag, change);
    GLOI.SUMTHL += iterations;
    if (loop.fstime(change, copies) == Outcome::Finished) break;
  }
  frame.relaxation_report();
}

// --- FLTNTS -------------------------------------------------------------------

void FLTSIT(FluidFrame& frame) {
  Loop loop(frame, Method::Implicit);
  Copies copies;
  const StepVectors v = loop.step_vectors(copies);
  loop.humid_start();
  for (;;) {
    GLOI.SUMTHL = 0;
    GLOI.SUMFLL = 0;
    GLOR.DTCOUR = 1.0e38;
    SNFE(loop.state);
    frame.variables1();
    loop.fluid_state(false);
    if (loop.links) {
      frame.variables1();
      SGMCIM(loop.cp);
      SGCOIM(loop.rho);
    }
    std::int32_t iterations = 0;
    double change = 0.0;
    FLTNIM(v, frame.table(), iterations, change);
    GLOI.SUMTHL += iterations;
    if (loop.fstime(change, copies) == Outcome::Finished) break;
  }
  frame.relaxation_report();
}

// --- FLTMTS -------------------------------------------------------------------

// Thermal temperatures of the sub-step: the start copy from the model, the end
// copy interpolated towards the window end for diffusion nodes.
void SETTMP(std::span<const double> WINDOW_END, std::span<double> START, std::span<double> END) {
  const std::int32_t nnode = FLAGS(flagw::NNODE);
  const double fraction = (GLOR.TIMEN - GLOR.TIMEO) / (GLOR.TIMENT - GLOR.TIMEO);
  for (std::int32_t i = 1; i <= nnode; ++i) {
    const auto k = static_cast<std::size_t>(i - 1);
    START[k] = gar_thermalnodetemps(i);
    const bool moves = gar_thermalnodestatuses(i)[0] == 'D' && std::abs(gar_thermalnodecapacitances(i)) >= 1.0e-37;
    END[k] = moves ? START[k] + fraction * (WINDOW_END[k] - START[k]) : START[k];
  }
}

// The step placement rule from T0 with step H within the output limit.
double window_end_from(const FluidFrame& frame, double t0, double h) {
  return thermal::place_step_end(frame.events(), t0, h, frame.output_limit());
}

struct SubStep {
  bool accepted = false, window_end = false, finished = false;
};

// Acceptance of one sub-step of FLTMTS.
SubStep FMTIME(Loop& loop, double change, const Copies& c) {
  SubStep r;
  double proposal = 0.0;
  const double step = GLOR.DTIMEU;
  const DtpmaxVerdict verdict = dtpmax_verdict(change, proposal);
  if (verdict == DtpmaxVerdict::Reject) {
    loop.reject(std::min(std::max(proposal, GLOR.DTMIN), GLOR.DTMAX), c);
    return r;
  }
  r.accepted = true;
  loop.accept(c);
  std::copy(gar_thermalnodetemps.span().begin(), gar_thermalnodetemps.span().end(), c.ts.begin());
  std::copy(gar_thermalnodetemps.span().begin(), gar_thermalnodetemps.span().end(), c.te.begin());
  std::copy(gar_fluidnodetemps.span().begin(), gar_fluidnodetemps.span().end(), c.fs.begin());
  std::copy(gar_fluidnodetemps.span().begin(), gar_fluidnodetemps.span().end(), c.fe.begin());
  GLOR.TIMEO = GLOR.TIMEN;
  // Window and run ends are tested relative to the sub-step, so that no time
  // is skipped when the clock reads large values.
  r.finished = run_over(step);
  if (GLOR.TIMENT - GLOR.TIMEN <= 1.0e-4 * step) {
    r.window_end = true;
    GLOR.TIMEOT = GLOR.TIMEN;
    if (!r.finished) {
      GLOR.TIMENT = window_end_from(loop.frame, GLOR.TIMEOT, clamp_to_limits(GLOR.DTIMEI));
      GLOR.DTIMUT = GLOR.TIMENT - GLOR.TIMEOT;
    }
  }
  if (!r.finished) {
    const double p = GLOR.TIMENT - GLOR.TIMEO, dtif = GLOR.DTIMIF;
    if (1.0001 * p > 2.0 * dtif)
      GLOR.TIMEN = GLOR.TIMEO + dtif;
    else if (p > 1.0001 * dtif)
      GLOR.TIMEN = GLOR.TIMEO + p / 2.0;
    else
      GLOR.TIMEN = GLOR.TIMENT;
    GLOR.DTIMEU = GLOR.TIMEN - GLOR.TIMEO;
    GLOR.TIMEM = (GLOR.TIMEO + GLOR.TIMEN) / 2.0;
  }
  loop.count(verdict == DtpmaxVerdict::AcceptAtMinimum);
  return r;
}

void FLSITM(FluidFrame& frame) {
  GLOR.FCSGMN = 1.0e38;
  Loop loop(frame, Method::Mixed);
  Carver carve{loop.steps};
  const std::span<double> ts = carve.take(loop.nnode), tk = carve.take(loop.nnode), te = carve.take(loop.nnode),
                          tw = carve.take(loop.nnode);
  const std::span<double> fk = carve.take(loop.nf), fs = carve.take(loop.nf), fe = carve.take(loop.nf);
  const Copies copies{ts, te, fs, fe};
  std::copy(gar_thermalnodetemps.span().begin(), gar_thermalnodetemps.span().end(), ts.begin());
  std::copy(gar_thermalnodetemps.span().begin(), gar_thermalnodetemps.span().end(), te.begin());
  std::copy(gar_fluidnodetemps.span().begin(), gar_fluidnodetemps.span().end(), fs.begin());
  std::copy(gar_fluidnodetemps.span().begin(), gar_fluidnodetemps.span().end(), fe.begin());

  // The thermal window runs from the model's temperatures, the fluid nodes
  // held at theirs.
  StepVectors window;
  window.t0 = gar_thermalnodetemps.span();
  window.t = tw;
  window.f0 = tk;
  window.tf0 = gar_fluidnodetemps.span();
  window.condensation = frame.condensation_loads();
  StepVectors sub;
  sub.t0 = ts;
  sub.t = te;
  sub.t_end = te;
  sub.tf0 = fs;
  sub.tf = fe;
  sub.f0f = fk;
  sub.rho = loop.rho;
  sub.cp = loop.cp;
  sub.vdot = loop.vdot;
  sub.history = &loop.ring;

  loop.humid_start();
  for (bool finished = false; !finished;) {
    GLOI.SUMFLL = 0;
    GLOI.SUMTHL = 0;
    std::int32_t window_iterations = 0;
    if (loop.nnode >= 1) {
      frame.variables1();
      FLTNMT(window, window_iterations);
    }
    for (;;) {
      GLOI.SUMFLL = 0;
      GLOI.SUMTHL = window_iterations;
      if (loop.nnode > 0) {
        frame.variables1();
        SETTMP(tw, ts, te);
        FSTARH(te, gar_fluidnodetemps.span(), frame.condensation_loads());
      }
      GLOR.DTCOUR = 1.0e38;
      SNFE(loop.state);
      frame.variables1();
      loop.fluid_state(true);
      if (loop.links) {
        SNFE(loop.state);
        frame.variables1();
        SGMCIM(loop.cp);
        SGCOIM(loop.rho);
      }
      std::copy(gar_fluidnodetemps.span().begin(), gar_fluidnodetemps.span().end(), fe.begin());
      double change = 0.0;
      if (loop.nf > 0) {
        std::int32_t iterations = 0;
        SNEWTF(sub, iterations, change);
        GLOI.SUMTHL += iterations;
      }
      const SubStep r = FMTIME(loop, change, copies);
      if (r.accepted) window_iterations = 0;
      finished = r.finished;
      if (r.finished || (r.accepted && r.window_end)) break;
    }
    GLOR.DTIMIF = clamp_to_limits(GLOR.DTIMEI) / GLOI.FSTEPS;
  }
  frame.relaxation_report();
}

}  // namespace

void FLTMTS() {
  FluidFrame frame(fluid_method_row("FLTMTS"));
  if (frame.skipped()) return;
  GLOR.DTIMUT = clamp_to_limits(GLOR.DTIMEI);
  GLOR.DTIMIF = GLOR.DTIMUT / GLOI.FSTEPS;
  frame.start_outputs();
  GLOR.TIMEOT = GLOR.TIMEO;
  GLOR.TIMENT = window_end_from(frame, GLOR.TIMEOT, GLOR.DTIMUT);
  GLOR.DTIMUT = GLOR.TIMENT - GLOR.TIMEOT;
  frame.place_step(GLOR.DTIMIF);
  frame.start_callbacks();
  frame.output_at_start();
  FLSITM(frame);
  frame.finish();
}

void FLTNTF() {
  FluidFrame frame(fluid_method_row("FLTNTF"));
  if (frame.skipped()) return;
  GLOR.TIMEN = GLOR.TIMEM = GLOR.TIMEO;
  frame.start_callbacks();
  FLTFIT(frame);
  frame.finish();
}

void FLTNTS() {
  FluidFrame frame(fluid_method_row("FLTNTS"));
  if (frame.skipped()) return;
  frame.start_outputs();
  frame.place_step(clamp_to_limits(GLOR.DTIMEI));
  frame.start_callbacks();
  const double timen = GLOR.TIMEN, timem = GLOR.TIMEM;
  GLOR.TIMEN = GLOR.TIMEM = GLOR.TIMEO;
  call_outputs_block();
  GLOR.TIMEN = timen;
  GLOR.TIMEM = timem;
  FLTSIT(frame);
  frame.finish();
}
