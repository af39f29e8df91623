#include "runtime/fluidloop/hydraulics.h"

#include <algorithm>
#include <array>
#include <utility>
#include <cmath>
#include <cstdio>
#include <string>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/messages.h"
#include "runtime/control/model_blocks.h"
#include "runtime/control/run_end.h"
#include "runtime/fluidloop/fluid_frame.h"
#include "runtime/fluidloop/support.h"
#include "runtime/fluids/interface/properties.h"
#include "runtime/modeldata/fpcs.h"
#include "runtime/modeldata/search_sort.h"
#include "runtime/platform/fixed_string.h"

using namespace kalvir;
using namespace kalvir::fluidloop;

namespace {

constexpr double kSentinelFlow = 1.0e10;
constexpr int kMassBalancePasses = 10;

inline std::size_t ix(std::int32_t i) { return static_cast<std::size_t>(i - 1); }

// Element (i, j) of the profile matrix, equations counted from 1.
inline double& element(const HydraulicWork& w, std::int32_t i, std::int32_t j) {
  return w.matrix[static_cast<std::size_t>(ProfileIndex::at(w.table.diag, i) - i + j - 1)];
}
inline std::int32_t equation(const HydraulicWork& w, std::int32_t n) { return ProfileIndex::at(w.table.eq_of_node, n); }

// Viscosity and density of every node at its current state.
void node_properties(const HydraulicWork& w, std::int32_t nf) {
  for (std::int32_t n = 1; n <= nf; ++n) {
    const double p = gar_fluidnodepressures(n), t = gar_fluidnodetemps(n), x = gar_fluidnodevapourqualities(n);
    const std::int32_t slot = fluid_slot(n), node = internal_index(n);
    w.viscosity[ix(n)] = XVISC(p, t, x, slot, node);
    w.density[ix(n)] = XRHO(p, t, x, slot, node);
  }
}

// Sign transfer with a zero counted positive.
inline double with_sign(double magnitude, double of) { return of >= 0.0 ? magnitude : -magnitude; }

[[noreturn]] void zero_pivot(std::int32_t node, const std::string& stage) {
  std::string text(GLOC.MODULE.view());
  text += ": Zero divide in matrix solution for pressure@Error ocurred in routine ";
  text += stage;
  text += " : Check boundary node definitions : Model=";
  text += padded(gar_submodelnames(SMODND(node)), 24);
  char number[16];
  std::snprintf(number, sizeof number, "%9d", gar_fluidnodenums(node));
  text += ",Node=";
  text += number;
  SETERX(padded(text, 170), 4, 1, "FLHYAS");
  internal_stop("FLHYAS 1");
}

// The warning for a link between two fixed-pressure nodes whose flow the
// mass balance cannot give: it is set to the sentinel flow.
void ill_posed_link(std::int32_t l) {
  std::string text = "FLMSFL: Ill-posed mass-flow link@Both nodes of link ";
  text += std::to_string(l);
  text += " hold their pressure and the link's own pressure drop is below MINDP; its flow is set to 1.0E10";
  SETERX(text, 2, 1, "FLMSFL");
}

}  // namespace

void FLHYSL(const HydraulicWork& W, std::int32_t TRANSIENT, std::int32_t& CONVERGED, std::int32_t& ITERATIONS,
            std::int32_t& STATUS) {
  const std::int32_t nf = FLAGS(flagw::NF);
  for (std::int32_t n = 1; n <= nf; ++n) W.pressure[ix(n)] = gar_fluidnodepressures(n);
  node_properties(W, nf);
  FLHYAS(W, TRANSIENT, ITERATIONS, STATUS);
  CONVERGED = GLOR.RELXMC < GLOR.RELXMA ? 1 : 0;
}

void FLHYAS(const HydraulicWork& W, std::int32_t TRANSIENT, std::int32_t& ITERATIONS, std::int32_t& STATUS) {
  const std::int32_t nf = FLAGS(flagw::NF);
  ITERATIONS = 0;
  STATUS = 0;
  STSOLT("FLUID");
  LoopGuard guard("FLHYAS");
  for (std::int32_t k = 1;; ++k) {
    guard.tick();
    ++ITERATIONS;
    call_variables1_block();
    FLHYCF(W, TRANSIENT);
    double dmax = 0.0;
    std::int32_t failed = 0;
    std::string stage;
    FHSKSV(W.matrix, nf, W.table.length(), W.rhs, W.table, W.pressure, dmax, failed, stage);
    if (failed != 0) {
      STATUS = 1;
      zero_pivot(failed, stage);
    }
    CVOLSP(nf, W.pressure, W.volume_rate, TRANSIENT != 0, GLOR.DTIMEU);
    for (std::int32_t n = 1; n <= nf; ++n) gar_fluidnodepressures(n) = W.pressure[ix(n)];
    FLMSFL(W);
    const bool last = TRANSIENT != 0 && k == 1 ? GLOI.NLOOPH <= 1
                                               : k >= GLOI.NLOOPH || GLOR.RELXMC < GLOR.RELXMA;
    if (last) break;
    node_properties(W, nf);
  }
  STSOLT("");
}

void FLHYCF(const HydraulicWork& W, std::int32_t TRANSIENT) {
  const std::int32_t nf = FLAGS(flagw::NF), nm = FLAGS(flagw::NM);
  for (std::int32_t i = 1; i <= nf; ++i) element(W, i, i) = 0.0;
  std::fill(W.rhs.begin(), W.rhs.end(), 0.0);

  // Like the friction factors of the links before it, a link without flow
  // keeps the last factors found.
  double fa = 0.0, fb = 0.0;
  for (std::int32_t l = 1; l <= nm; ++l) {
    if (!link_active(l)) continue;
    const std::int32_t a = link_first(l), b = link_second(l);
    const double m = gar_massflowlinkflowrates(l);
    const double ra = W.density[ix(a)], rb = W.density[ix(b)];
    const double aa = gar_fluidnodeflowareas(a), ab = gar_fluidnodeflowareas(b);
    const double la = gar_fluidnodelengths(a), lb = gar_fluidnodelengths(b);
    const double da = gar_fluidnodehydraulicdiameters(a), db = gar_fluidnodehydraulicdiameters(b);
    FLFRLS(aa, da, m, gar_fluidnodewallroughnesses(a), W.viscosity[ix(a)], fa);
    FLFRLS(ab, db, m, gar_fluidnodewallroughnesses(b), W.viscosity[ix(b)], fb);
    const double ru = m > 0.0 ? ra : rb, au = m > 0.0 ? aa : ab;
    const double k = gar_massflowlinkfittinglosses(l);
    double& g = W.conductance[ix(l)];
    double& t = W.head[ix(l)];
    std::int32_t& code = W.codes[ix(l)];
    if (SMINDL(k)) {
      g = 0.0;
      t = 0.0;
      code = 0;
    } else {
      double c1 = 0.0, c2 = 0.0, c3 = 0.0, c4 = 0.0;
      SFMOFL(W, l, c1, c2, c3, c4);
      const double dps = gar_massflowlinkpsourcederivs(l);
      const double r = (fa * la / (ra * da * aa * aa) + fb * lb / (rb * db * ab * ab) + 1.0 / (2.0 * k * ru * au * au)) *
                           std::abs(m) -
                       ((aa * aa - ab * ab) / (2.0 * ru * aa * aa * ab * ab) + c1 - c3) * m - dps / ru;
      const double w = la / (la + lb);
      const auto mid = [&](const gar::R64& c) { return c(a) + (c(b) - c(a)) * w; };
      const auto head = [&](double grav, const gar::R64& c) {
        const double cm = mid(c);
        return grav * (ra * (c(a) - cm) - rb * (c(b) - cm));
      };
      const double h = head(GLOR.GRAVX, gar_fluidnodecoordsx) + head(GLOR.GRAVY, gar_fluidnodecoordsy) +
                       head(GLOR.GRAVZ, gar_fluidnodecoordsz) + (c2 - c4) + gar_massflowlinkpressuresources(l) -
                       dps * m / ru;
      // A resistance of zero has no conductance: such a link takes its flow
      // from the mass balance, as a link below MINDP does.
      if (std::abs(m * r) >= GLOR.MINDP && !SMINDL(r)) {
        g = 1.0 / r;
        code = 1;
      } else {
        g = -1.0;
        code = -1;
      }
      t = h * g;
    }
    FAMATY(W, l);
  }

  for (std::int32_t i = 1; i <= nf; ++i) {
    const std::int32_t n = ProfileIndex::at(W.table.node_of_eq, i);
    if (SMINDL(element(W, i, i))) {
      element(W, i, i) = 1.0;
      W.rhs[ix(i)] = gar_fluidnodepressures(n);
    } else if (!fixed_pressure(n)) {
      W.rhs[ix(i)] -= gar_fluidnodemassflowsources(n);
      if (TRANSIENT != 0) W.rhs[ix(i)] += W.density[ix(n)] * W.volume_rate[ix(n)];
    }
  }
}

void FAMATY(const HydraulicWork& W, std::int32_t L) {
  const std::int32_t a = link_first(L), b = link_second(L);
  const std::int32_t ia = equation(W, a), ib = equation(W, b);
  const double g = W.conductance[ix(L)], t = W.head[ix(L)];
  const double extra = W.codes[ix(L)] == -1 ? gar_massflowlinkflowrates(L) : 0.0;
  const double pa = gar_fluidnodepressures(a), pb = gar_fluidnodepressures(b);
  double& ra = W.rhs[ix(ia)];
  double& rb = W.rhs[ix(ib)];
  if (fixed_pressure(a)) {
    element(W, ia, ia) = 1.0;
    ra = pa;
    if (fixed_pressure(b)) {
      element(W, ib, ib) = 1.0;
      rb = pb;
    } else {
      element(W, ib, ib) -= g;
      rb = rb - t - g * pa - extra;
    }
  } else if (!fixed_pressure(b)) {
    element(W, ia, ia) -= g;
    element(W, ib, ib) -= g;
    element(W, ia, ib) += g;
    element(W, ib, ia) += g;
    ra += t + extra;
    rb -= t + extra;
  } else {
    element(W, ia, ia) -= g;
    element(W, ib, ib) = 1.0;
    ra = ra + t - g * pb + extra;
    rb = pb;
  }
}

void SFMOFL(const HydraulicWork& W, std::int32_t L, double& C1, double& C2, double& C3, double& C4) {
  const std::int32_t a = link_first(L), b = link_second(L);
  const double ka = W.density[ix(a)] * gar_fluidnodeflowareas(a) * gar_fluidnodeflowareas(a);
  const double kb = W.density[ix(b)] * gar_fluidnodeflowareas(b) * gar_fluidnodeflowareas(b);
  C1 = 1.0 / ka;
  C2 = 0.0;
  C3 = 1.0 / kb;
  C4 = 0.0;
  const bool forward = gar_massflowlinkflowrates(L) > 0.0;
  const std::int32_t u = forward ? a : b, w = forward ? b : a;
  const char su = gar_fluidnodestatuses(u)[0], sw = gar_fluidnodestatuses(w)[0];
  double& coefficient_u = u == a ? C1 : C3;
  double& explicit_u = u == a ? C2 : C4;
  if (su == 'Q' && sw != 'S') {
    coefficient_u = 0.0;
    // The feeding link of u: its first other link, or the next one when the
    // first comes from a node of status S.
    std::int32_t e = 0;
    std::int32_t kind = 0, pos = 0, link = 0, other = 0;
    for (;;) {
      SFUNPK(0, u, gar_thermalnodestatuses, gar_pcsfluid.span(), gar_pcsptrsfluid.span(), kind, pos, link, other);
      if (kind != 1) break;
      if (link == L) continue;
      e = link;
      if (gar_fluidnodestatuses(other)[0] != 'S') break;
      // The next other link, whatever its far end.
      for (;;) {
        SFUNPK(0, u, gar_thermalnodestatuses, gar_pcsfluid.span(), gar_pcsptrsfluid.span(), kind, pos, link, other);
        if (kind != 1) {
          e = 0;
          break;
        }
        if (link != L) {
          e = link;
          break;
        }
      }
      break;
    }
    if (e != 0) {
      const double me = gar_massflowlinkflowrates(e);
      const bool into = (me > 0.0 && link_second(e) == u) || (me <= 0.0 && link_second(e) != u);
      if (into) explicit_u = me * me / (u == a ? ka : kb);
    }
  } else if (su == 'Q' && sw == 'S') {
    coefficient_u = 0.0;
  } else if (su == 'S' && sw == 'Q') {
    (w == a ? C1 : C3) = 0.0;
  }
}

void FLMSFL(const HydraulicWork& W) {
  const std::int32_t nm = FLAGS(flagw::NM);
  const double minflo = GLOR.MINFLO, mindp = GLOR.MINDP, damp = GLOR.DAMPM;
  GLOR.RELXMC = 0.0;
  GLOI.NRLXMC = 0;
  bool balance = false;
  const auto p = [](std::int32_t n) { return gar_fluidnodepressures(n); };
  for (std::int32_t l = 1; l <= nm; ++l) {
    if (gar_massflowlinkstatuses(l)[0] == 'I') continue;
    double& m = gar_massflowlinkflowrates(l);
    const std::int32_t code = W.codes[ix(l)];
    if (code == 1) {
      const double next = (p(link_first(l)) - p(link_second(l))) * W.conductance[ix(l)] + W.head[ix(l)];
      MFCHK(l, minflo, next, m);
      m += (next - m) * damp;
    } else if (code == 0) {
      MFCHK(l, minflo, 0.0, m);
      m = 0.0;
    } else {
      balance = true;
    }
  }
  if (!balance) return;

  const auto from_balance = [&](std::int32_t l) {
    return gar_massflowlinkstatuses(l)[0] != 'I' && W.codes[ix(l)] == -1;
  };
  for (int pass = 1; pass <= kMassBalancePasses; ++pass) {
    for (std::int32_t l = 1; l <= nm; ++l) {
      if (!from_balance(l)) continue;
      const std::int32_t a = link_first(l), b = link_second(l);
      double& m = gar_massflowlinkflowrates(l);
      double next = 0.0;
      bool sentinel = false;
      if (fixed_pressure(a) && fixed_pressure(b)) {
        const double delta = p(a) - p(b) - W.head[ix(l)];
        sentinel = std::abs(delta) >= mindp;
        next = sentinel ? with_sign(kSentinelFlow, delta) : m;
      } else if (fixed_pressure(a)) {
        next = -MFCONS(b, l);
      } else if (fixed_pressure(b)) {
        next = MFCONS(a, l);
      } else {
        next = (MFCONS(a, l) - MFCONS(b, l)) / 2.0;
      }
      if (pass == kMassBalancePasses) {
        MFCHK(l, minflo, next, m);
        if (sentinel) ill_posed_link(l);
      }
      m = next;
    }
  }
  for (std::int32_t l = 1; l <= nm; ++l) {
    if (!from_balance(l)) continue;
    double& m = gar_massflowlinkflowrates(l);
    const double d = std::abs(p(link_first(l)) - p(link_second(l)) - W.head[ix(l)]);
    if (d < mindp) continue;
    const double next = std::abs(m) < minflo ? with_sign(100.0 * minflo, m) : m * ((d - mindp) / 1000.0 + 1.0);
    MFCHK(l, minflo, next, m);
    m += (next - m) * damp;
  }
}

void FLFRLS(double A, double D, double M, double E, double MU, double& F) {
  if (std::abs(E) < 1.0e-37) {
    F = 0.0;
    return;
  }
  if (std::abs(M) < 1.0e-37) return;
  const double re = (std::abs(M) / A) * D / MU;
  if (re < 2000.0) {
    F = 16.0 / re;
    return;
  }
  const bool turbulent = re >= 4000.0;
  const double re_star = turbulent ? re : 4000.0;
  const double lambda = turbulent ? std::log10(re / 5.02) : 2.9013562741829433;
  const double beta = E * re_star / (18.57 * D) + lambda;
  static constexpr std::array<std::pair<double, double>, 6> kSteps{
      {{2.0, 0.057}, {10.0, 0.044}, {20.0, 0.029}, {40.0, 0.018}, {100.0, 0.0087}, {1000.0, 0.0013}}};
  double c = 8.0e-5;
  for (const auto& [limit, value] : kSteps) {
    if (beta <= limit) {
      c = value;
      break;
    }
  }
  const double s = c + std::log10(re_star / (5.02 * beta));
  const double ft = 1.0 / (16.0 * s * s);
  F = turbulent ? ft : 0.008 + (re / 2000.0 - 1.0) * (ft - 0.008);
}
