#include "runtime/fluidloop/two_phase_momentum.h"

#include <cmath>
#include <string>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/messages.h"
#include "runtime/fluidloop/hydraulics.h"
#include "runtime/fluidloop/phase_separation.h"
#include "runtime/fluidloop/support.h"
#include "runtime/fluids/interface/properties.h"
#include "runtime/modeldata/search_sort.h"
#include "runtime/platform/fixed_string.h"

using namespace kalvir;
using namespace kalvir::fluidloop;

namespace {

inline constexpr double kTiny = 1.0e-37;

char status_of(std::int32_t n) { return gar_fluidnodestatuses(n)[0]; }
double positive_source(std::int32_t n) { return std::max(gar_fluidnodemassflowsources(n), 0.0); }
std::size_t ix(std::int32_t k) { return static_cast<std::size_t>(k - 1); }

// Inflow into upstream node U from the first of its other links (the one
// after it when the first leads to a node of status S); none without one.
double inflow_through_next_link(std::int32_t L, std::int32_t U) {
  std::int32_t found[2] = {0, 0}, count = 0;
  walk_fluid_list(U, [&](std::int32_t kind, std::int32_t l, std::int32_t) {
    if (kind != 1) return false;
    if (l != L) found[count++] = l;
    return count < 2;
  });
  std::int32_t f = found[0];
  if (f != 0 && status_of(link_first(f) == U ? link_second(f) : link_first(f)) == 'S') f = found[1];
  if (f == 0) return 0.0;
  const double wf = gar_massflowlinkflowrates(f);
  const bool enters = (wf > 0.0 && link_second(f) == U) || (wf <= 0.0 && link_first(f) == U);
  return enters ? wf : 0.0;
}

}  // namespace

namespace kalvir::fluidloop {

EndFlows q_end_flows(std::int32_t L) {
  const double w = gar_massflowlinkflowrates(L);
  const bool forward = w >= 0.0;
  const std::int32_t u = forward ? link_first(L) : link_second(L), d = forward ? link_second(L) : link_first(L);
  const char su = status_of(u), sd = status_of(d);
  std::optional<double> gu, gd;
  if (su == 'Q') {
    if (sd == 'S') {
      gu = 0.0;
    } else if (sd == 'Q') {
      gu = positive_source(u) + SGFLIN(L, u);
      gd = positive_source(d) + w;
    } else {
      gu = positive_source(u) + inflow_through_next_link(L, u);
    }
  } else if (sd == 'Q') {
    gd = su == 'S' ? 0.0 : positive_source(d) + w;
  }
  return forward ? EndFlows{gu, gd} : EndFlows{gd, gu};
}

}  // namespace kalvir::fluidloop

double LDHSDP(std::int32_t SLOT, std::int32_t NODE, double P, double X) {
  const double tsat = XTEMPS(P, SLOT, NODE);
  const double cps = XCPS(P, tsat, X, SLOT, NODE), jts = XJTS(P, tsat, X, SLOT, NODE);
  const double hl = XENTHS(P, tsat, 0.0, SLOT, NODE), hv = XENTHS(P, tsat, 1.0, SLOT, NODE);
  const double rl = XRHOS(P, tsat, 0.0, SLOT, NODE), rv = XRHOS(P, tsat, 1.0, SLOT, NODE);
  return cps * ((tsat + GLOR.TABS) * (rl - rv) / (rv * rl * (hv - hl)) - jts);
}

double SGFLIN(std::int32_t L, std::int32_t N) {
  const bool positive = gar_massflowlinkflowrates(L) > 0.0;
  double sum = 0.0;
  LoopGuard guard("SGFLIN");
  walk_fluid_list(N, [&](std::int32_t kind, std::int32_t e, std::int32_t) {
    if (kind != 1) return false;
    guard.tick();
    const char s = gar_massflowlinkstatuses(e)[0];
    if (s != 'A' && s != 'P') return true;
    if (positive && link_second(e) == N) sum += gar_massflowlinkflowrates(e);
    if (!positive && link_first(e) == N) sum -= gar_massflowlinkflowrates(e);
    return true;
  });
  return sum;
}

namespace {

void end_fluxes(std::int32_t L, double RHO1, double RHO2, std::optional<double>& M1, std::optional<double>& M2) {
  const EndFlows g = q_end_flows(L);
  const auto flux = [](std::optional<double> gi, double rho, std::int32_t n) -> std::optional<double> {
    if (!gi) return std::nullopt;
    const double a = gar_fluidnodeflowareas(n);
    return *gi / (rho * a * a);
  };
  M1 = flux(g.first, RHO1, link_first(L));
  M2 = flux(g.second, RHO2, link_second(L));
}

}  // namespace

void SMFLX1(std::int32_t L, double RHO1, double RHO2, std::optional<double>& M1, std::optional<double>& M2) {
  end_fluxes(L, RHO1, RHO2, M1, M2);
}
void SMFLX2(std::int32_t L, double RHO1, double RHO2, std::optional<double>& M1, std::optional<double>& M2) {
  end_fluxes(L, RHO1, RHO2, M1, M2);
}

namespace {

void clear(const LinkCoefficients& K, std::size_t k) { K.g[k] = K.b2[k] = K.b1[k] = K.c0[k] = 0.0; }

void evaporative(std::int32_t l, const LinkCoefficients& K) {
  const std::size_t k = ix(l);
  const double q = gar_massflowlinkevapheatfluxes(l);
  clear(K, k);
  if (std::abs(q) < kTiny) return;
  const std::int32_t n1 = link_first(l), n2 = link_second(l), slot = fluid_slot(n2), node = internal_index(n2);
  const double p2 = gar_fluidnodepressures(n2);
  const double hv = XENTHS(p2, XTEMPS(p2, slot, node), 1.0, slot, node);
  const double rise = hv - gar_fluidnodespecenthalpies(n1);
  if (!(rise > 0.0)) {
    // Fluid already at or above saturated vapour upstream has nothing to
    // evaporate: the rate q / rise would be infinite or negative.
    SETERX("FCMOMK: Evaporative link fed by fluid at or above saturated vapour@No evaporation through link " +
               std::to_string(l),
           2, 2, "FCMOMK");
    return;
  }
  K.b2[k] = q / rise;
  K.g[k] = LDHSDP(slot, node, p2, 1.0) * K.b2[k] * K.b2[k] / q;
  K.c0[k] = p2 * K.g[k] + gar_massflowlinkflowrates(l);
}

// The geometry of one end of a momentum link.
struct End {
  std::int32_t n;
  double rho, mu, len, area, dia, z, vol, dvdt, dadt, dldt, hold, saved_rho;
};

End end_of(std::int32_t l, std::int32_t n, std::int32_t end, bool upstream, const MomentumState& s) {
  End e{};
  e.n = n;
  const double p = gar_fluidnodepressures(n), t = gar_fluidnodetemps(n), x = gar_fluidnodevapourqualities(n);
  const std::int32_t slot = fluid_slot(n), node = internal_index(n);
  e.rho = s.density[ix(n)];
  double xv = x;
  const double xl = gar_massflowlinkvapquals(l);
  if (upstream && separation_end(l, end) && std::abs(xl - x) >= kTiny) {
    e.rho = XRHO(p, t, xl, slot, node);
    xv = xl;
  }
  e.mu = XVISC(p, t, xv, slot, node);
  e.len = gar_fluidnodelengths(n);
  e.area = gar_fluidnodeflowareas(n);
  e.dia = gar_fluidnodehydraulicdiameters(n);
  e.z = gar_fluidnodecoordsz(n);
  e.vol = gar_fluidnodevolumes(n);
  e.dvdt = gar_fluidnodevolumechangerates(n);
  const char flag = gar_fluidnodevolumecontrolflags(n)[0];
  e.dadt = flag == 'A' && std::abs(e.len) >= kTiny ? e.dvdt / e.len : 0.0;
  e.dldt = flag == 'L' ? e.dvdt / e.area : 0.0;
  e.hold = gar_fluidnodestatuses(n)[0] == 'H' ? 0.0 : 1.0;
  e.saved_rho = s.saved_density[ix(n)];
  return e;
}

void momentum(std::int32_t l, double dt, const MomentumState& s, const LinkCoefficients& K) {
  const std::size_t k = ix(l);
  const double w = gar_massflowlinkflowrates(l);
  const End e1 = end_of(l, link_first(l), 1, w >= 0.0, s), e2 = end_of(l, link_second(l), 2, w < 0.0, s);
  const double rho_u = w < 0.0 ? e2.rho : e1.rho, area_u = w < 0.0 ? e2.area : e1.area;
  double zj = e1.z, rho_k = e1.rho;
  if (std::abs(e1.len + e2.len) >= kTiny) {
    zj = (e2.z * e1.len + e1.z * e2.len) / (e1.len + e2.len);
    rho_k = (e2.rho * e1.len + e1.rho * e2.len) / (e1.len + e2.len);
  }
  double f1 = 0.0, f2 = 0.0;
  FLFRLS(e1.area, e1.dia, w, gar_fluidnodewallroughnesses(e1.n), e1.mu, f1);
  FLFRLS(e2.area, e2.dia, w, gar_fluidnodewallroughnesses(e2.n), e2.mu, f2);
  const double gp = gar_massflowlinkfittinglosses(l);
  if (std::abs(gp) < kTiny) {
    clear(K, k);
    K.mode[k] = 0;
    return;
  }
  const double fitting = 0.5 * std::abs(w) / (gp * rho_u * area_u * area_u);
  const double a1sq = e1.area * e1.area, a2sq = e2.area * e2.area;
  double m1 = w / a1sq, m2 = w / a2sq, c1 = 1.0, c2 = 1.0;
  if (gar_fluidnodestatuses(e1.n)[0] == 'Q' || gar_fluidnodestatuses(e2.n)[0] == 'Q') {
    std::optional<double> q1, q2;
    (w >= 0.0 ? SMFLX1 : SMFLX2)(l, e1.rho, e2.rho, q1, q2);
    // Each routine gives G / (rho A^2): the flux is G / A^2.
    if (q1) m1 = *q1 * e1.rho, c1 = 0.0;
    if (q2) m2 = *q2 * e2.rho, c2 = 0.0;
  }
  const double q0 = same_trimmed(GLOC.QTRSOL.view(), "YES") ? 0.0 : 1.0;
  const double inertia = q0 * 0.5 * (e1.hold * e1.len / e1.area + e2.hold * e2.len / e2.area);
  const double u = w / rho_k;
  const double psrc = gar_massflowlinkpressuresources(l), psd = gar_massflowlinkpsourcederivs(l);
  const double d = std::abs(w) * (f2 * e2.len / (e2.dia * e2.rho * a2sq) + f1 * e1.len / (e1.dia * e1.rho * a1sq)) +
                   (m2 - m1) * 2.0 / rho_k + inertia / dt - (1.0 / a2sq - 1.0 / a1sq) * u / 2.0 + fitting -
                   psd / rho_u;
  double g = 1.0;
  if (std::abs(d * w) < GLOR.MINDP) {
    K.mode[k] = -1;
  } else {
    g = 1.0 / d;
    K.mode[k] = 1;
  }
  const double gravz = GLOR.GRAVZ;
  K.g[k] = g;
  K.b2[k] = g * (u / a2sq * (e2.area * (1.0 - c2) * e2.dldt + e2.hold * q0 * e2.vol * c2 / dt + u) -
                 gravz * (e2.z - zj));
  K.b1[k] = g * (u / a1sq * ((1.0 - c1) * e1.area * e1.dldt + q0 * e1.hold * e1.vol * c1 / dt - u) +
                 gravz * (e1.z - zj));
  K.c0[k] = g * (u * (e1.rho * c1 * e1.len * e1.dadt / a1sq + e2.rho * c2 * e2.len * e2.dadt / a2sq) +
                 inertia * s.saved_flow[k] / dt -
                 q0 * (u / dt) *
                     (e2.hold * c2 * e2.len * e2.saved_rho / e2.area + e1.hold * c1 * e1.len * e1.saved_rho / e1.area) +
                 psrc - w * psd / rho_u);
}

}  // namespace

void FCMOMK(double DT, const MomentumState& S, const LinkCoefficients& K) {
  const std::int32_t nm = FLAGS(flagw::NM);
  for (std::int32_t l = 1; l <= nm; ++l) {
    if (!link_active(l)) {
      clear(K, ix(l));
      continue;
    }
    switch (gar_massflowlinktypes(l)) {
      case kMomentumLink:
        momentum(l, DT, S, K);
        break;
      case kEvaporativeLink:
        evaporative(l, K);
        break;
      default:
        unknown_link_type("FCMOMK");
    }
  }
}
