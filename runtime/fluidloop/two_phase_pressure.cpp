#include "runtime/fluidloop/two_phase_pressure.h"

#include <cmath>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/fluidloop/phase_separation.h"
#include "runtime/fluidloop/support.h"
#include "runtime/modeldata/search_sort.h"
#include "runtime/platform/fixed_string.h"

using namespace kalvir;
using namespace kalvir::fluidloop;

namespace {

std::size_t ix(std::int32_t k) { return static_cast<std::size_t>(k - 1); }
bool quasi_steady() { return same_trimmed(GLOC.QTRSOL.view(), "YES"); }

// The density at the new enthalpy less its pressure-proportional part.
double rho_star(const PressureStep& s, std::int32_t n) {
  const std::size_t k = ix(n);
  return s.props.rho[k] + s.props.drho_dh[k] * (s.enthalpy[k] - gar_fluidnodespecenthalpies(n)) -
         gar_fluidnodepressures(n) * s.props.drho_dp[k];
}

// The density at the solved pressure and enthalpy.
double rho_new(const PressureStep& s, std::int32_t n) {
  const std::size_t k = ix(n);
  return s.props.rho[k] + s.props.drho_dp[k] * (s.pressure[k] - gar_fluidnodepressures(n)) +
         s.props.drho_dh[k] * (s.enthalpy[k] - gar_fluidnodespecenthalpies(n));
}

}  // namespace

void FSUMGP(std::int32_t I, const PressureStep& S, const ProfileSystem& SYSTEM) {
  const std::int32_t p = SYSTEM.position(I);
  const std::size_t k = ix(I);
  const double rho = S.props.rho[k], vol = gar_fluidnodevolumes(I), comp = gar_fluidnodecompliances(I);
  const double fm = gar_fluidnodemassflowsources(I);
  const double dvdt = S.rates.empty() ? gar_fluidnodevolumechangerates(I) : S.rates[k];
  double& diag = SYSTEM.at(p, p);
  double& rhs = SYSTEM.b(p);
  if (gar_fluidnodestatuses(I)[0] == 'H' || quasi_steady()) {
    diag = vol / S.dt * comp * rho;
    rhs = diag * S.start.pressure[k] - rho * dvdt + fm;
  } else {
    // The node's mass at the solved state less its mass at the step's start,
    // linearised about the iterate. The volume follows the pressure from the
    // step's volume vb through the compliance, so the balance holds exactly
    // once the iteration settles; charging the compliance on the iterate's
    // volume from the start pressure instead loses a little mass in every
    // step, and a sealed loop bleeds away. Without compliance vb = V and
    // this is V (rho' - rho_s).
    const double vb = S.step_volume.empty() ? vol : S.step_volume[k];
    diag = (S.props.drho_dp[k] * vol + comp * rho * vb) / S.dt;
    rhs = (vb * S.start.properties.rho[k] - vol * rho_star(S, I) + comp * rho * vb * gar_fluidnodepressures(I)) / S.dt +
          fm - rho * dvdt;
  }
  LoopGuard guard("FSUMGP");
  walk_fluid_list(I, [&](std::int32_t kind, std::int32_t l, std::int32_t j) {
    if (kind != 1) return false;
    guard.tick();
    if (!link_active(l)) return true;
    const std::size_t m = ix(l);
    const double g = S.links.g[m], b2 = S.links.b2[m], b1 = S.links.b1[m], c0 = S.links.c0[m];
    const double w = gar_massflowlinkflowrates(l);
    const bool second = link_second(l) == I;
    switch (gar_massflowlinktypes(l)) {
      case kMomentumLink: {
        // A link in mode -1 has no usable pressure-flow relation: it carries
        // its current flow w, and its pressure imbalance (g = 1) is the
        // correction the solve may add to it, so that the solved pressures
        // balance the link once its flow settles. Counted against the flow,
        // the imbalance of a flowing link settled at twice its flow and
        // never let the step converge (a link without loss crawled at DTMIN).
        const double dj = S.props.drho_dp[ix(j)];
        // The flow into I at the far pressure's coefficient, and out of it.
        const double far = second ? g + b1 * dj : g - b2 * dj;
        if (second) {
          diag += g - b2 * S.props.drho_dp[k];
          rhs += c0 + b2 * rho_star(S, I) + b1 * rho_star(S, j);
          if (S.links.mode[m] == -1) rhs += w;
        } else {
          diag += g + b1 * S.props.drho_dp[k];
          rhs -= c0 + b2 * rho_star(S, j) + b1 * rho_star(S, I);
          if (S.links.mode[m] == -1) rhs -= w;
        }
        if (fixed_pressure(j))
          rhs += gar_fluidnodepressures(j) * far;
        else
          SYSTEM.at(p, SYSTEM.position(j)) -= far;
        break;
      }
      case kEvaporativeLink:
        if (second) {
          diag += g;
          rhs += c0;
        } else {
          SYSTEM.at(p, SYSTEM.position(link_second(l))) -= g;
          rhs -= c0;
        }
        break;
      default:
        unknown_link_type("FSUMGP");
    }
    return true;
  });
}

void FGFIPS(const PressureStep& S, const ProfileSystem& SYSTEM) {
  const std::int32_t nf = FLAGS(flagw::NF);
  for (std::int32_t i = 1; i <= nf; ++i) {
    if (fixed_pressure(i)) {
      const std::int32_t p = SYSTEM.position(i);
      SYSTEM.at(p, p) = 1.0;
      SYSTEM.b(p) = gar_fluidnodepressures(i);
    } else {
      FSUMGP(i, S, SYSTEM);
    }
  }
  if (!quasi_steady()) return;
  const TwoPhaseLayout& t = *SYSTEM.layout;
  LoopGuard guard("FGFIPS");
  for (std::int32_t c = 1; c <= S.ncomp; ++c) {
    const LoopRange range = loop_range(t, c);
    bool closed = true;
    for (std::int32_t r = range.first; r <= range.last; ++r) {
      guard.tick();
      closed = closed && !fixed_pressure(ProfileIndex::at(t.order, r));
    }
    if (!closed) continue;
    // The loop's total mass replaces its last row, which spans the loop. A
    // compliant node holds mass in its volume as well as its density: its
    // volume grows by compliance x step volume per pascal, so without that
    // term the row holds the density alone and the pressure correction of a
    // stiff liquid loop with one soft node comes out far too large.
    const std::int32_t last = range.last;
    for (std::int32_t col = ProfileIndex::at(t.first, last); col <= ProfileIndex::at(t.last, last); ++col)
      SYSTEM.at(last, col) = 0.0;
    double mass = 0.0;
    for (std::int32_t r = range.first; r <= range.last; ++r) {
      const std::int32_t n = ProfileIndex::at(t.order, r);
      const std::size_t k = ix(n);
      const double vol = gar_fluidnodevolumes(n);
      const double dvdp = gar_fluidnodecompliances(n) * (S.step_volume.empty() ? vol : S.step_volume[k]);
      const double rho = S.props.rho[k];
      mass += vol * rho_star(S, n) - rho * dvdp * gar_fluidnodepressures(n);
      SYSTEM.at(last, r) = -(vol * S.props.drho_dp[k] + rho * dvdp);
    }
    SYSTEM.b(last) = mass - S.loop_mass[ix(c)];
  }
}

double MFCONT(std::int32_t N, std::int32_t EXCLUDE, const PressureStep& S) {
  const std::size_t k = ix(N);
  return MFCONS(N, EXCLUDE) - gar_fluidnodevolumes(N) *
                                  (S.props.drho_dp[k] * (S.pressure[k] - S.start.pressure[k]) +
                                   S.props.drho_dh[k] * (S.enthalpy[k] - S.start.enthalpy[k])) /
                                  S.dt;
}

void FMCALC(const PressureStep& S) {
  GLOR.RELXMC = 0.0;
  GLOI.NRLXMC = 0;
  const std::int32_t nm = FLAGS(flagw::NM);
  const double damp = GLOR.DAMPM, minflo = GLOR.MINFLO, mindp = GLOR.MINDP;
  bool continuity = false;
  for (std::int32_t l = 1; l <= nm; ++l) {
    if (!link_active(l)) continue;
    const std::size_t m = ix(l);
    double& w = gar_massflowlinkflowrates(l);
    switch (gar_massflowlinktypes(l)) {
      case kMomentumLink:
        if (S.links.mode[m] == 1) {
          const std::int32_t n1 = link_first(l), n2 = link_second(l);
          const double next = S.links.c0[m] + S.links.g[m] * (S.pressure[ix(n1)] - S.pressure[ix(n2)]) +
                              S.links.b2[m] * rho_new(S, n2) + S.links.b1[m] * rho_new(S, n1);
          MFCHK(l, minflo, next, w);
          w += damp * damp * (next - w);
        } else if (S.links.mode[m] == 0) {
          MFCHK(l, minflo, 0.0, w);
          w = 0.0;
        } else {
          continuity = true;
        }
        break;
      case kEvaporativeLink:
        MFCHK(l, minflo, S.links.b2[m], w);
        w += damp * damp * (S.links.b2[m] - w);
        break;
      default:
        unknown_link_type("FMCALC");
    }
  }
  if (!continuity) return;
  const auto balance_link = [&](std::int32_t l) {
    return link_active(l) && gar_massflowlinktypes(l) == kMomentumLink && S.links.mode[ix(l)] == -1;
  };
  // The pressure imbalance of a link from continuity, at the solved state.
  const auto imbalance = [&](std::int32_t l) {
    const std::size_t m = ix(l);
    const std::int32_t n1 = link_first(l), n2 = link_second(l);
    return S.links.c0[m] + (S.pressure[ix(n1)] - S.pressure[ix(n2)]) + S.links.b2[m] * rho_new(S, n2) +
           S.links.b1[m] * rho_new(S, n1);
  };
  const bool steady = quasi_steady();
  const auto node_imbalance = [&](std::int32_t n, std::int32_t l) { return steady ? MFCONS(n, l) : MFCONT(n, l, S); };
  for (int sweep = 1; sweep <= 10; ++sweep) {
    for (std::int32_t l = 1; l <= nm; ++l) {
      if (!balance_link(l)) continue;
      const std::int32_t n1 = link_first(l), n2 = link_second(l);
      const bool free1 = !fixed_pressure(n1), free2 = !fixed_pressure(n2);
      double& w = gar_massflowlinkflowrates(l);
      const double old = w;
      if (free1 && free2) {
        w = (node_imbalance(n1, l) - node_imbalance(n2, l)) / 2.0;
      } else if (free1) {
        w = node_imbalance(n1, l);
      } else if (free2) {
        w = -node_imbalance(n2, l);
      } else {
        const double s = imbalance(l);
        if (std::abs(s) >= mindp) w = std::copysign(1.0e10, s);
      }
      if (sweep == 10) MFCHK(l, minflo, w, old);
    }
  }
  for (std::int32_t l = 1; l <= nm; ++l) {
    if (!balance_link(l)) continue;
    const double s = imbalance(l);
    if (std::abs(s) < mindp) continue;
    double& w = gar_massflowlinkflowrates(l);
    const double next = std::abs(w) < minflo ? std::copysign(100.0 * minflo, w) : w * ((std::abs(s) - mindp) / 1000.0 + 1.0);
    MFCHK(l, minflo, next, w);
    w += damp * (next - w);
  }
}
