#include "runtime/fluidloop/two_phase.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/messages.h"
#include "runtime/control/model_blocks.h"
#include "runtime/control/run_end.h"
#include "runtime/control/status.h"
#include "runtime/fluidloop/fluid_frame.h"
#include "runtime/fluidloop/geometry_check.h"
#include "runtime/fluidloop/phase_separation.h"
#include "runtime/fluidloop/support.h"
#include "runtime/fluidloop/two_phase_energy.h"
#include "runtime/fluidloop/two_phase_pressure.h"
#include "runtime/fluids/interface/properties.h"
#include "runtime/modeldata/search_sort.h"
#include "runtime/platform/fixed_string.h"
#include "runtime/thermal/network_sums.h"
#include "runtime/thermal/solution_frame.h"

using namespace kalvir;
using namespace kalvir::fluidloop;

namespace {

inline constexpr double kTiny = 1.0e-37;
inline constexpr std::string_view kName = "FGENFI";

std::size_t ix(std::int32_t k) { return static_cast<std::size_t>(k - 1); }
bool solver_is_cyclic() { return GLOC.SOLVER.view().substr(0, 2) == "CY"; }

// Consecutive slices of one work area.
class Carver {
 public:
  explicit Carver(std::span<double> area) : area_(area) {}
  std::span<double> take(std::int64_t words) {
    const auto n = static_cast<std::size_t>(std::max<std::int64_t>(words, 0));
    if (n > area_.size()) internal_stop("FGENFI: work area smaller than its parts");
    const std::span<double> s = area_.first(n);
    area_ = area_.subspan(n);
    return s;
  }

 private:
  std::span<double> area_;
};

// A required constant left undefined ends the run.
void check_required(bool undefined, std::string_view name, std::int32_t code) {
  if (!undefined) return;
  SETERX(required_constant_text(kName, name), 4, code, kName);
  internal_stop("FGENFI " + std::to_string(code));
}

void shortage(std::int64_t extra, std::int32_t code, std::string_view tail) {
  SETERX(thermal::shortage_text(kName, tail, extra), 4, code, kName);
  internal_stop("FGENFI " + std::to_string(code));
}

std::span<double> model_span(gar::R64& a, std::int32_t n) {
  return {a.data(), static_cast<std::size_t>(std::max(n, 0))};
}

// One model array and its start-of-step copy; RESTORED says whether a
// rejected step puts it back.
struct Saved {
  std::span<double> model, copy;
  bool restored;
};

// The start-of-step state. The geometry goes back with the volumes: the
// step's volume changes moved lengths and hydraulic diameters as well as
// flow areas. The flow areas follow from them, and the saved mass sources
// stay the start-of-step values that the equations read.
std::array<Saved, 15> saved_state(const TwoPhaseRun& r) {
  const std::int32_t nf = FLAGS(flagw::NF), nm = FLAGS(flagw::NM), nnode = FLAGS(flagw::NNODE);
  return {{{model_span(gar_fluidnodepressures, nf), r.start.pressure, true},
           {model_span(gar_fluidnodespecenthalpies, nf), r.start.enthalpy, true},
           {model_span(gar_fluidnodetemps, nf), r.start.temperature, true},
           {model_span(gar_fluidnodevapourqualities, nf), r.start.quality, true},
           {model_span(gar_fluidnodevolumes, nf), r.start.volume, true},
           {model_span(gar_fluidnodelengths, nf), r.start.length, true},
           {model_span(gar_fluidnodehydraulicdiameters, nf), r.start.diameter, true},
           {model_span(gar_fluidnodeflowareas, nf), r.start.area, false},
           {model_span(gar_fluidnodemassflowsources, nf), r.start.source, false},
           {model_span(gar_massflowlinkflowrates, nm), r.start.flow, true},
           {model_span(gar_massflowlinkenthalpies, nm), r.start.link_enthalpy, true},
           {model_span(gar_thermalnodetemps, nnode), r.start.thermal, true},
           {r.props.rho, r.start.properties.rho, true},
           {r.props.drho_dp, r.start.properties.drho_dp, true},
           {r.props.drho_dh, r.start.properties.drho_dh, true}}};
}

void save_state(const TwoPhaseRun& r) {
  for (const Saved& s : saved_state(r)) std::copy(s.model.begin(), s.model.end(), s.copy.begin());
}

void restore_state(const TwoPhaseRun& r) {
  const std::int32_t nf = FLAGS(flagw::NF);
  for (const Saved& s : saved_state(r))
    if (s.restored) std::copy(s.copy.begin(), s.copy.begin() + static_cast<std::ptrdiff_t>(s.model.size()), s.model.begin());
  for (std::int32_t n = 1; n <= nf; ++n) {
    const char flag = gar_fluidnodevolumecontrolflags(n)[0];
    const double v = gar_fluidnodevolumes(n);
    if (flag == 'A' && std::abs(gar_fluidnodelengths(n)) >= kTiny) gar_fluidnodeflowareas(n) = v / gar_fluidnodelengths(n);
    if (flag == 'L') gar_fluidnodelengths(n) = v / gar_fluidnodeflowareas(n);
  }
}

void refresh_powers(const ThermalWork& w) {
  const std::int32_t nnode = FLAGS(flagw::NNODE);
  for (std::int32_t i = 1; i <= nnode; ++i) {
    const double n = gar_thermalnodetemps(i) + GLOR.TABS;
    w.t3[ix(i)] = n * n * n;
    w.t4[ix(i)] = n * n * n * n;
  }
}

}  // namespace

void FGFIIN(const NodeProperties& PROPS) {
  const std::int32_t nf = FLAGS(flagw::NF);
  for (std::int32_t n = 1; n <= nf; ++n)
    XDRHO(gar_fluidnodespecenthalpies(n), fluid_slot(n), internal_index(n), GLOR.PABS, gar_fluidnodepressures(n),
          gar_fluidnodevapourqualities(n), GLOR.TABS, gar_fluidnodetemps(n), PROPS.drho_dh[ix(n)],
          PROPS.drho_dp[ix(n)], PROPS.rho[ix(n)]);
}

void SCKCSG() {
  const std::int32_t nnode = FLAGS(flagw::NNODE);
  GLOR.CSGMIN = SRLMAX();
  const std::span<const double> t(gar_thermalnodetemps.data(), static_cast<std::size_t>(nnode));
  LoopGuard guard("SCKCSG");
  for (std::int32_t i = 1; i <= nnode; ++i) {
    guard.tick();
    const double c = gar_thermalnodecapacitances(i);
    if (gar_thermalnodestatuses(i)[0] != 'D' || std::abs(c) < kTiny) continue;
    double g = 0.0, gt = 0.0;
    SRGSUM(i, GLOR.STEFAN, t, GLOR.TABS, g, gt);
    if (std::abs(g) >= kTiny && c / g < GLOR.CSGMIN) {
      GLOR.CSGMIN = c / g;
      GLOI.NCSGMN = i;
    }
  }
}

void SFICOU() {
  GLOR.DTCOUR = 1.0e38;
  const std::int32_t nm = FLAGS(flagw::NM);
  const auto rho = [](std::int32_t n) {
    return XRHO(gar_fluidnodepressures(n), gar_fluidnodetemps(n), gar_fluidnodevapourqualities(n), fluid_slot(n),
                internal_index(n));
  };
  for (std::int32_t l = 1; l <= nm; ++l) {
    const double w = gar_massflowlinkflowrates(l);
    const std::int32_t i = link_first(l), j = link_second(l);
    const double ri = rho(i), rj = rho(j);
    if (std::abs(w) < kTiny) continue;
    const double c = 0.5 * (gar_fluidnodelengths(i) + gar_fluidnodelengths(j)) * 0.5 * (ri + rj) * 0.5 *
                     (gar_fluidnodeflowareas(i) + gar_fluidnodeflowareas(j)) / std::abs(w);
    if (!std::isnan(c)) GLOR.DTCOUR = std::min(GLOR.DTCOUR, c);
  }
}

void FGUPDT(TwoPhaseRun& R) {
  const std::int32_t nf = FLAGS(flagw::NF);
  for (std::int32_t n = 1; n <= nf; ++n) {
    const std::size_t k = ix(n);
    const std::int32_t slot = fluid_slot(n), node = internal_index(n);
    const double h = R.enthalpy[k], p = R.pressure[k];
    // Humid air is a gas whose quality slot carries its humidity ratio, and
    // its enthalpy is that of the ratio.
    const bool humid = slot == fluids::kHumidAir;
    const double x = humid ? gar_fluidnodespechumidities(n) : XGXPH(p, h, slot, node);
    gar_fluidnodevapourqualities(n) = x;
    double t = 0.0;
    const char* regime = "HEM";
    if (humid) {
      t = XTEMP(p, h, x, slot, node);
      regime = "VAP";
    } else if (std::abs(x) < kTiny || std::abs(1.0 - x) < kTiny) {
      t = XTEMP(p, h, x, slot, node);
      regime = std::abs(x) < kTiny ? "LIQ" : "VAP";
    } else {
      t = XTEMPS(p, slot, node);
    }
    gar_fluidnodetemps(n) = t;
    // A temperature that has run away (beyond 1.0E10 in magnitude or not a
    // number, as the enthalpy of a node without storage for its heat gives)
    // ends the run naming its node, before the property calls and the
    // pressure and thermal solves carry it into every other state.
    if (thermal::runaway(t)) thermal::runaway_stop("FGENFI: Temperature > 1.0D10 detected@", t, node, "FGUPDT");
    gar_fluidnodeflowregimes.set(n, regime);
    XDRHO(h, slot, node, GLOR.PABS, p, x, GLOR.TABS, t, R.props.drho_dh[k], R.props.drho_dp[k], R.props.rho[k]);
    const double change = std::abs(h - gar_fluidnodespecenthalpies(n)) / (GLOR.DAMPM * XCP(p, t, x, slot, node));
    if (change > GLOR.FRLXCC) {
      GLOR.FRLXCC = change;
      GLOI.NFRLXC = n;
    }
  }
}

namespace {

[[noreturn]] void zero_pivot(std::int32_t code, std::string_view what, std::int32_t node, const std::string& stage) {
  std::string text(what);
  text += stage;
  text += ". Check boundary node definitions: Model = ";
  text += padded(gar_submodelnames(SMODND(node)), 24);
  char number[16];
  std::snprintf(number, sizeof number, "%9d", gar_fluidnodenums(node));
  text += ", node =";
  text += number;
  SETERX(padded(text, 250), 4, code, "Fgfitr");
  internal_stop("Fgfitr " + std::to_string(code));
}

// Solves SYSTEM into X (by node); the signed largest change is returned.
double solve(TwoPhaseRun& r, std::span<double> x, std::int32_t code, std::string_view what) {
  double dmax = 0.0;
  std::int32_t node = 0;
  std::string stage;
  const std::int32_t nf = FLAGS(flagw::NF);
  FHSKS1(r.matrix, r.layout.diag, r.layout.first, r.layout.last, nf, r.layout.order, r.layout.first_narrow, r.nprof,
         r.rhs, x, dmax, node, stage);
  if (node != 0) zero_pivot(code, what, node, stage);
  return dmax;
}

// One relaxation factor after an iteration with change measure M, the
// previous one Q.
void adapt(double& f, double m, double q) {
  if (std::abs(m) < kTiny) return;
  const double r = m * q < 0.0 ? 0.8 * std::abs(q / m) : q / m;
  f += 0.5 * (std::min(r * f, 0.9) - f);
}

void guard_factor(double& f, bool at_minimum) {
  // A factor that is not a number would spread through every state.
  if (std::isnan(f) || (!at_minimum && f < 0.1)) f = 0.1;
}

}  // namespace

void FGFITR(TwoPhaseRun& R) {
  R.converged = false;
  GLOR.FRLXCC = 0.0;
  GLOI.NFRLXC = 0;
  GLOI.NRLXMC = 0;
  GLOR.RELXMC = 0.0;
  GLOI.SUMFLL = 0;
  GLOI.SUMTHL = 0;
  const std::int32_t nf = FLAGS(flagw::NF), nm = FLAGS(flagw::NM), nnode = FLAGS(flagw::NNODE);
  const double dt = GLOR.DTIMEU;
  std::copy_n(gar_fluidnodevolumes.data(), nf, R.step_volume.begin());
  if (same_trimmed(GLOC.QTRSOL.view(), "YES")) {
    for (std::int32_t c = 1; c <= R.ncomp; ++c) {
      const LoopRange range = loop_range(R.layout, c);
      double mass = 0.0;
      for (std::int32_t p = range.first; p <= range.last; ++p) {
        const std::int32_t n = ProfileIndex::at(R.layout.order, p);
        mass += R.start.properties.rho[ix(n)] * gar_fluidnodevolumes(n);
      }
      R.loop_mass[ix(c)] = mass;
    }
  }
  const ProfileSystem system{&R.layout, R.matrix, R.rhs};
  double prev_h = 0.0, prev_p = 0.0;
  for (std::int32_t it = 1;; ++it) {
    GLOI.LOOPCT = it;
    STSOLT("");
    call_variables1_block();
    GLOR.FRLXCC = 0.0;
    GLOI.NFRLXC = 0;
    GLOR.RELXMC = 0.0;
    GLOI.NRLXMC = 0;
    bool fluid_converged = true;
    double dh = 0.0, dp = 0.0;
    if (nf > 0) {
      ++GLOI.SUMFLL;
      ++GLOI.SUMTHL;
      STSOLT("THERMAL");
      call_variables1_block();
      FCNGTK(dt, R.props, R.start, system, R.displaced);
      dh = solve(R, R.enthalpy, 1, "FGENFI: Zero divide in matrix solution for enthalpy@Error ocurred in routine ");
      STSOLT("FLUID");
      call_variables1_block();
      const MomentumState momentum{R.props.rho, R.start.properties.rho, R.start.flow};
      if (nm > 0) FCMOMK(dt, momentum, R.links);
      const PressureStep step{dt, R.props, R.start, R.enthalpy, R.pressure, R.links, R.loop_mass, R.ncomp,
                              R.step_volume, R.rates};
      FGFIPS(step, system);
      dp = solve(R, R.pressure, 2, "FGENFI : Zero divide in matrix solution for pressure@Error ocurred in routine ");
      if (it > 1) {
        adapt(R.relax_p, dp, prev_p);
        adapt(R.relax_h, dh, prev_h);
      }
      guard_factor(R.relax_p, R.at_minimum);
      guard_factor(R.relax_h, R.at_minimum);
      GLOR.DAMPM = std::min(R.relax_h, R.relax_p);
      if (nm > 0) FMCALC(step);
      for (std::int32_t n = 1; n <= nf; ++n) {
        const std::size_t k = ix(n);
        R.enthalpy[k] = gar_fluidnodespecenthalpies(n) + (R.enthalpy[k] - gar_fluidnodespecenthalpies(n)) * GLOR.DAMPM;
        R.pressure[k] = gar_fluidnodepressures(n) + (R.pressure[k] - gar_fluidnodepressures(n)) * GLOR.DAMPM;
      }
      CVOLSP(nf, R.pressure, R.start.pressure, R.step_volume, model_span(gar_fluidnodevolumechangerates, nf), false,
             dt);
      FGUPDT(R);
      std::copy_n(R.enthalpy.begin(), nf, gar_fluidnodespecenthalpies.data());
      std::copy_n(R.pressure.begin(), nf, gar_fluidnodepressures.data());
      fluid_converged = GLOR.FRLXCC < GLOR.FRLXCA && GLOR.RELXMA > GLOR.RELXMC;
    }
    bool thermal_converged = true;
    std::int32_t inner = 0;
    if (nnode > 0) {
      FWBKT3(dt, R.thermal, it >= 2 && fluid_converged ? 1 : 0, thermal_converged, inner);
      GLOI.SUMTHL += inner;
    }
    if (fluid_converged && inner <= 1 && thermal_converged) R.converged = true;
    if (it >= GLOI.NLOOP || R.converged) break;
    prev_h = dh;
    prev_p = dp;
  }
  STSOLT("");
}

void FFITST(TwoPhaseRun& R) {
  const double dt = GLOR.DTIMEU;
  const std::int32_t nm = FLAGS(flagw::NM);
  R.at_minimum = dt <= 1.000001 * GLOR.DTMIN;
  double s = 0.0;
  if (R.converged || R.at_minimum) {
    if (!R.converged)
      SETERX("Non-convergence in FGENFI@Timestep at minimum, solution cannot converge within NLOOP iterations", 2, 1,
             "FFITST");
    save_state(R);
    if (nm > 0) {
      SFICOU();
    } else {
      GLOR.DTCOUR = 0.0;
    }
    if (dt > 0.0)
      call_variables2_block();
    else
      GLOR.DTIMEU = 1.0e38;
    if (SDUNDF(GLOR.DTIMEI))
      s = nm > 0 ? std::min(GLOR.DTMAX, GLOR.RLCOUR * GLOR.DTCOUR) : GLOR.DTMAX;
    else
      s = std::min(GLOR.DTIMEI, GLOR.DTMAX);
    s = std::max(s, GLOR.DTMIN);
    if (R.growth_limit) {
      if (s > 1.5 * GLOR.DTIMEU)
        s = 1.5 * GLOR.DTIMEU;
      else
        R.growth_limit = false;
    }
    if (GLOR.TIMEN >= R.next_output) {
      call_outputs_block();
      if (GLOR.TIMEN >= R.output_grid) R.output_grid += GLOR.OUTINT;
      R.next_output = std::min(R.output_grid, GLOR.TIMEND);
      LEVTIM(R.events, "OUTPUT", static_cast<std::int32_t>(R.events.size()), GLOR.TIMEN, R.next_output);
    }
    GLOR.TIMEO = GLOR.TIMEN;
  } else {
    s = std::max(dt / 2.0, GLOR.DTMIN);
    R.growth_limit = true;
    restore_state(R);
  }
  double tn = std::min(R.next_output, GLOR.TIMEO + 2.0 * s);
  LEVTIM(R.events, "TIMESTEP", static_cast<std::int32_t>(R.events.size()), GLOR.TIMEO, tn);
  if (tn > GLOR.TIMEO + s) tn = (GLOR.TIMEO + tn) / 2.0;
  GLOR.TIMEN = tn;
  GLOR.TIMEM = (GLOR.TIMEO + tn) / 2.0;
  GLOR.DTIMEU = tn - GLOR.TIMEO;
}

void FGFIIT(TwoPhaseRun& R) {
  const std::int32_t nf = FLAGS(flagw::NF), nnode = FLAGS(flagw::NNODE);
  const auto count = [](int f) { return static_cast<std::size_t>(std::max(FLAGS(f), 0)); };
  // Per-solution temporaries: the flags of the thermal step and the powers
  // of the thermal temperatures.
  std::vector<std::int32_t> gf(count(flagw::NGF)), gl(count(flagw::NGL)), gr(count(flagw::NGR)),
      net(count(flagw::NNODE));
  std::vector<double> t3(count(flagw::NNODE)), t4(count(flagw::NNODE));
  R.thermal.gf_active = gf;
  R.thermal.gl_active = gl;
  R.thermal.gr_active = gr;
  R.thermal.in_network = net;
  R.thermal.t3 = t3;
  R.thermal.t4 = t4;
  R.converged = true;
  R.growth_limit = false;
  GLOI.LOOPCT = 0;
  R.relax_h = R.relax_p = 0.5;
  std::copy_n(gar_fluidnodespecenthalpies.data(), nf, R.enthalpy.begin());
  std::copy_n(gar_fluidnodepressures.data(), nf, R.pressure.begin());
  std::fill(R.matrix.begin(), R.matrix.end(), 0.0);
  if (!((nf <= 0 && nnode <= 0) || R.nprof <= 0)) {
    LoopGuard guard("FGFIIT");
    for (;;) {
      guard.tick();
      FFITST(R);
      if (GLOR.DTIMEU > 0.0) {
        if (nnode > 0) {
          STSOLT("THERMAL");
          call_variables1_block();
          SLOGST(R.thermal);
          refresh_powers(R.thermal);
          const std::span<const double> tf(R.start.temperature.data(), static_cast<std::size_t>(nf));
          TSTAB2(GLOR.DTIMEU, R.thermal, tf);
        }
        // Volumes follow their rates only in a network with links: without
        // links nothing carries the mass a volume change asks for.
        if (FLAGS(flagw::NM) > 0) CVOLST(nf, GLOR.DTIMEU, R.rates);
        FGFITR(R);
      }
      if (GLOR.TIMEO + 0.1 * GLOR.DTIMEU >= GLOR.TIMEND) break;
    }
  }
  R.thermal.t3 = R.thermal.t4 = {};
  STSOLT("");
}

void FGENFI() {
  assign_padded(GLOC.MODULE.span(), kName);
  if (!solver_is_cyclic()) assign_padded(GLOC.SOLVER.span(), "TRFL2P");
  struct SolverBlank {
    ~SolverBlank() {
      if (!solver_is_cyclic()) assign_padded(GLOC.SOLVER.span(), "");
    }
  } blank_on_exit;
  DynamicCoreMark mark;
  GLOR.DTIMEU = 0.0;
  GLOI.LOOPCT = 0;
  GLOI.SUMTHL = 0;
  GLOI.SUMFLL = 0;
  settle_optional_constants();
  const std::int32_t nnode = FLAGS(flagw::NNODE), nf = FLAGS(flagw::NF), nm = FLAGS(flagw::NM);
  check_required(SUNDCK(GLOI.NLOOP), "NLOOP", 1);
  check_required(nnode > 0 && SDUNDF(GLOR.RELXCA), "RELXCA", 2);
  check_required(SDUNDF(GLOR.FRLXCA), "FRLXCA", 3);
  check_required(SDUNDF(GLOR.RELXMA), "RELXMA", 4);
  const bool skipped = !kalvir::thermal::end_time_valid(
      kName, "FGENFI: timend is not greater than TIMEO@See Engineering Manual for control constant definitions", 3, 5);
  if (SDUNDF(GLOR.OUTINT)) {
    // A skipped solution keeps OUTINT undefined for the next solution call.
    if (!skipped) GLOR.OUTINT = GLOR.TIMEND - GLOR.TIMEO;
    SETERX(outint_default_text(kName), 2, 6, kName);
  }
  if (GLOI.NLOOPH == 0) GLOI.NLOOPH = GLOI.NLOOP;
  if (GLOI.NLOOPT == 0) GLOI.NLOOPT = GLOI.NLOOP;
  FGEOCK(kName);

  TwoPhaseRun run;
  run.events = thermal::take_event_list(mark, kName);
  const std::int64_t dystor = FLAGS(flagw::DYSTOR);
  const std::int64_t ints = 7LL * nf + nm;
  if (FLAGS(flagw::NEXTINT) + ints > dystor) shortage(FLAGS(flagw::NEXTINT) + ints - dystor, 7, thermal::kShortageTail);
  const std::int32_t int_first = mark.take_int(static_cast<std::int32_t>(ints));
  const std::span<std::int32_t> int_area(gar_dynamiccoreint.data() + (int_first - 1), static_cast<std::size_t>(ints));
  run.layout = two_phase_layout(int_area.first(7 * static_cast<std::size_t>(nf)), nf);
  run.links.mode = int_area.subspan(7 * static_cast<std::size_t>(nf));
  std::fill(run.links.mode.begin(), run.links.mode.end(), 0);
  FPNTER(nf, run.layout, run.ncomp, run.nprof);
  const std::int64_t reals = 5LL * nnode + 17LL * nf + run.ncomp + run.nprof + 6LL * nm;
  if (FLAGS(flagw::NEXTREAL) + reals > dystor)
    shortage(FLAGS(flagw::NEXTREAL) + reals - dystor, 8,
             " words needed: increase DYSTOR on $EXECUTION record. See User Manual description of $EXECUTION block");
  if (skipped) return;
  if (nf <= 0) {
    // Without fluid nodes there is no loop to solve: the time loop would
    // jump to TIMEND and leave the thermal network where it was.
    SETERX("FGENFI: No fluid nodes in the model@Use a thermal solution routine for a model without fluid loops", 3, 9,
           kName);
    return;
  }
  GLOR.TIMEN = GLOR.TIMEM = GLOR.TIMEO;
  const std::int32_t real_first = mark.take_real(static_cast<std::int32_t>(reals));
  Carver c({gar_dynamiccorereal.data() + (real_first - 1), static_cast<std::size_t>(reals)});
  std::fill_n(gar_dynamiccorereal.data() + (real_first - 1), reals, 0.0);
  run.start.thermal = c.take(nnode);
  run.thermal.saved = run.start.thermal;
  run.thermal.start_flow = c.take(nnode);
  run.thermal.prev_s1 = c.take(nnode);
  run.thermal.prev_s2 = c.take(nnode);
  run.thermal.prev_t = c.take(nnode);
  for (std::span<double>* s : {&run.start.pressure, &run.start.enthalpy, &run.start.temperature, &run.start.quality,
                               &run.start.volume, &run.start.properties.drho_dp, &run.start.properties.drho_dh,
                               &run.start.properties.rho, &run.start.area, &run.start.source, &run.props.drho_dp,
                               &run.props.drho_dh, &run.props.rho, &run.enthalpy, &run.pressure, &run.rates,
                               &run.rhs})
    *s = c.take(nf);
  // The lengths and hydraulic diameters that a rejected step puts back, the
  // volumes each iteration's compliance is measured from and the energy
  // equation's displaced masses lie outside the counted work space.
  std::vector<double> lengths(static_cast<std::size_t>(nf)), diameters(static_cast<std::size_t>(nf)),
      step_volumes(static_cast<std::size_t>(nf)), displaced(static_cast<std::size_t>(nf));
  run.start.length = lengths;
  run.start.diameter = diameters;
  run.step_volume = step_volumes;
  run.displaced = displaced;
  run.loop_mass = c.take(run.ncomp);
  run.matrix = c.take(run.nprof);
  run.start.flow = c.take(nm);
  run.start.link_enthalpy = c.take(nm);
  run.links.g = c.take(nm);
  run.links.b2 = c.take(nm);
  run.links.b1 = c.take(nm);
  run.links.c0 = c.take(nm);
  FGFIIN(run.props);
  if (nm > 0) MHXINI(nf);
  STSOLT("");
  call_variables1_block();
  STSOLT("THERMAL");
  call_variables1_block();
  SSNCNT(FLAGS(24), FLAGS(flagw::NTIELEN), 0, gar_pcsthermalold.span(), gar_thermalnodetemps.span());
  if (nnode > 0) SCKCSG();
  run.next_output = run.output_grid = GLOR.TIMEO;
  FGFIIT(run);
  GLOR.TIMEM = GLOR.TIMEN = GLOR.TIMEO = GLOR.TIMEND;
}
