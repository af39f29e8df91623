#include "runtime/fluidloop/step_kernels.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/model_blocks.h"
#include "runtime/control/run_end.h"
#include "runtime/control/status.h"
#include "runtime/fluidloop/fluid_frame.h"
#include "runtime/fluidloop/support.h"
#include "runtime/fluids/interface/properties.h"
#include "runtime/fluids/interface/property_messages.h"
#include "runtime/modeldata/fpcs.h"
#include "runtime/thermal/network_sums.h"

using namespace kalvir;
using namespace kalvir::fluidloop;
using thermal::kTiny;
using thermal::kTinySingle;

namespace kalvir::fluidloop {

double& HistoryRing::at(std::int32_t row, std::int32_t lvl) const {
  const auto rows = static_cast<std::size_t>(FLAGS(flagw::NF)) + 1;
  return table[static_cast<std::size_t>(lvl - 1) * rows + static_cast<std::size_t>(row - 1)];
}

double node_heat(std::int32_t i, std::span<const double> condensation) {
  const double q = gar_thermalnodeheatsourcesalbedo(i) + gar_thermalnodeheatsourcesplanet(i) +
                   gar_thermalnodeheatsourcesinternal(i) + gar_thermalnodeheatsourcesother(i) +
                   gar_thermalnodeheatsourcessolar(i);
  return condensation.empty() ? q : q + condensation[static_cast<std::size_t>(i - 1)];
}

}  // namespace kalvir::fluidloop

namespace {

constexpr std::string_view kRunawayText = "Temperature > 1.0D10 detected@";

enum Kind { kLinear, kRadiative, kFluidic, kLink };

inline double at(std::span<const double> v, std::int32_t k) { return v[static_cast<std::size_t>(k - 1)]; }
inline double& at(std::span<double> v, std::int32_t k) { return v[static_cast<std::size_t>(k - 1)]; }
inline std::int32_t& at(std::span<std::int32_t> v, std::int32_t k) { return v[static_cast<std::size_t>(k - 1)]; }
inline char status_of(std::int32_t i) { return gar_thermalnodestatuses(i)[0]; }
inline char fluid_status(std::int32_t n) { return gar_fluidnodestatuses(n)[0]; }
inline bool diffusion(std::int32_t i) {
  return status_of(i) == 'D' && std::abs(gar_thermalnodecapacitances(i)) >= kTiny;
}
inline bool arithmetic(std::int32_t i) {
  return status_of(i) == 'D' && !(std::abs(gar_thermalnodecapacitances(i)) >= kTiny);
}
inline double cube(double x) { return x * x * x; }

// Temperature of neighbour j (internal index) on the thermal and fluid vectors.
inline double neighbour(std::span<const double> T, std::span<const double> TF, std::int32_t j, std::int32_t nnode) {
  return j <= nnode ? at(T, j) : at(TF, j - nnode);
}

// f(kind, G, Tj) for each active conductor of thermal node i; G is the
// conductor's value (GR unscaled), Tj in model units.
template <class F>
void walk_thermal(std::int32_t i, std::span<const double> T, std::span<const double> TF, F f) {
  const std::int32_t nnode = FLAGS(flagw::NNODE);
  std::int32_t kind = 1, pos = 0, cond = 0, other = 0;
  for (;;) {
    SUNPAK(0, i, gar_thermalnodestatuses, gar_pcsthermalold.span(), gar_pcsptrsthermalold.span(), kind, pos, cond,
           other);
    if (kind > 3) break;
    const double tj = neighbour(T, TF, other, nnode);
    if (kind == 1 && gar_linearcondacts(cond)[0] == 'A') f(kLinear, gar_linearconds(cond), tj);
    if (kind == 2 && gar_radiativecondacts(cond)[0] == 'A') f(kRadiative, gar_radiativeconds(cond), tj);
    if (kind == 3 && cond > 0 && gar_fluidiccondacts(cond)[0] == 'A') f(kFluidic, gar_fluidicconds(cond), tj);
  }
}

// The same for fluid node n: its links carrying flow into it (kLink, G the
// link conductance), its mass source (as kLink at the source temperature) and
// its active conductors.
template <class F>
void walk_fluid(std::int32_t n, std::span<const double> TF, std::span<const double> T, F f) {
  const std::int32_t nnode = FLAGS(flagw::NNODE);
  const double ms = gar_fluidnodemassflowsources(n);
  if (ms > 0.0) {
    const double ts = gar_fluidnodemasssourcetemps(n);
    const double cp = XCP(gar_fluidnodepressures(n), (ts + at(TF, n)) / 2.0, gar_fluidnodevapourqualities(n),
                          fluid_slot(n), internal_index(n));
    f(kLink, cp * ms, ts);
  }
  std::int32_t kind = 0, pos = 0, k = 0, j = 0;
  for (;;) {
    SFUNPK(0, n, gar_thermalnodestatuses, gar_pcsfluid.span(), gar_pcsptrsfluid.span(), kind, pos, k, j);
    if (kind > 4) break;
    if (kind == 1) {
      if (link_active(k) && flows_into(k, n)) f(kLink, gar_massflowlinkconds(k), at(TF, j));
      continue;
    }
    const double tj = neighbour(T, TF, j, nnode);
    if (kind == 2 && gar_linearcondacts(k)[0] == 'A') f(kLinear, gar_linearconds(k), tj);
    if (kind == 3 && gar_radiativecondacts(k)[0] == 'A') f(kRadiative, gar_radiativeconds(k), tj);
    if (kind == 4 && k >= 1 && gar_fluidiccondacts(k)[0] == 'A') f(kFluidic, gar_fluidicconds(k), tj);
  }
}

// G x (Ti - Tj) = STEFAN x GR x (Ti^4 - Tj^4), absolute temperatures.
inline double linearised(double gr, double ti, double tj) {
  return GLOR.STEFAN * gr * (ti * ti + tj * tj) * (ti + tj);
}

// The four sums of SFGSUM from a walk.
struct FourSums {
  double s1 = 0.0, s2 = 0.0, s3 = 0.0, s4 = 0.0;
  void add(int kind, double g, double tj) {
    const double tja = tj + GLOR.TABS;
    if (kind == kRadiative) {
      s3 += GLOR.STEFAN * g;
      s4 += GLOR.STEFAN * g * tja * tja * tja * tja;
    } else {
      s1 += g;
      s2 += g * tja;
    }
  }
};

void check_runaway(double t, std::int32_t node, std::string_view routine) {
  if (thermal::runaway(t)) thermal::fatal_node_message(kRunawayText, node, routine);
}

// A fluid temperature that has run away (beyond 1.0E10 in magnitude or not
// a number) ends the run naming fluid node n, before the next property call
// or pressure solve carries it into every other state and the run fails
// far from its cause.
void check_fluid_runaway(double t, std::int32_t n, std::string_view routine) {
  if (thermal::runaway(t)) thermal::runaway_stop(kRunawayText, t, internal_index(n), routine);
}

// Closed forms for an arithmetic node (explicit method and the implicit
// predictor): one Newton step with both kinds of conductor, else the linear
// or the radiative balance; 1.0E20 with a load and no conductor.
double arithmetic_change(const FourSums& s, double q, double t) {
  const double ta = t + GLOR.TABS;
  const bool linear = std::abs(s.s1) >= kTiny, radiative = std::abs(s.s3) >= kTiny;
  if (linear && radiative)
    return (q + s.s2 + s.s4 - (s.s3 * ta * ta * ta * ta + s.s1 * ta)) / (s.s1 + 4.0 * s.s3 * cube(ta));
  if (linear) return (s.s2 + q) / s.s1 - ta;
  if (radiative) return std::pow((q + s.s4) / s.s3, 0.25) - ta;
  return std::abs(q) <= kTiny ? 0.0 : 1.0e20;
}

void note_thermal_change(double delta, std::int32_t i) {
  if (delta > GLOR.RELXCC) {
    GLOR.RELXCC = delta;
    GLOI.NRLXCC = i;
  }
}

void note_fluid_change(double delta, std::int32_t n) {
  if (delta > GLOR.FRLXCC) {
    GLOR.FRLXCC = delta;
    GLOI.NFRLXC = n;
  }
}

// Lower the stability limit to c / g at node.
void lower_limit(double c, double g, std::int32_t node, double& limit, std::int32_t& at_node) {
  if (std::abs(g) >= kTiny && c / g < limit) {
    limit = c / g;
    at_node = node;
  }
}

// Start of a step with delayed time levels: the current level and the
// accumulated time.
void advance_history(HistoryRing& h, std::span<const double> tf0, std::span<const double> t0, double dt) {
  h.level = h.elapsed < kTinySingle ? 1 : h.level + 1;
  if (h.elapsed == 0.0) GHIINI(h, tf0, t0);
  h.elapsed += dt;
  if (h.level > h.levels) h.level = 1;
}

void store_level(const HistoryRing& h, std::int32_t lvl, double time, std::int32_t n, double value) {
  h.at(FLAGS(flagw::NF) + 1, lvl) = time;
  h.at(n, lvl) = value;
}

// The inflow term of a node with delayed time levels: S and the coefficient k.
struct Delayed {
  double s, k;
};
Delayed delayed_inflow(const HistoryRing& h, std::int32_t n, double sg, double sgt, double mass, double cp,
                       double dt) {
  const double w = SGNODM(n);
  std::int32_t found = h.levels;
  double value = 0.0;
  // A node without throughput has no delay.
  if (w > 0.0) value = SGTDEL(h, h.elapsed, n, mass / w, found);
  if (w > 0.0 && found == 0) return {value * sg, 1.0 / (w * cp)};
  return {sgt, dt / (cp * mass)};
}

}  // namespace

// --- Thermal nodes --------------------------------------------------------

void FSTGSM(std::int32_t I, std::span<const double> T, std::span<const double> TF, double& SUMG, double& SUMGT) {
  SUMG = 0.0;
  SUMGT = 0.0;
  const double ti = at(T, I) + GLOR.TABS;
  walk_thermal(I, T, TF, [&](int kind, double g, double tj) {
    if (kind == kRadiative) g = linearised(g, ti, tj + GLOR.TABS);
    SUMG += g;
    SUMGT += g * tj;
  });
}

void SFGSUM(std::int32_t KIND, std::int32_t N, std::span<const double> T, std::span<const double> TF, double& S1,
            double& S2, double& S3, double& S4) {
  FourSums s;
  const auto add = [&](int kind, double g, double tj) { s.add(kind, g, tj); };
  if (KIND == 0)
    walk_thermal(N, T, TF, add);
  else
    walk_fluid(N, TF, T, add);
  S1 = s.s1;
  S2 = s.s2;
  S3 = s.s3;
  S4 = s.s4;
}

namespace {

// The common loop of the three predictors over the diffusion nodes.
template <class Update>
void predict(const StepVectors& V, Update update) {
  GLOR.CSGMIN = 1.0e38;
  const std::int32_t nnode = FLAGS(flagw::NNODE);
  for (std::int32_t i = 1; i <= nnode; ++i) {
    if (!diffusion(i)) continue;
    double sg = 0.0, sgt = 0.0;
    FSTGSM(i, V.t0, V.tf0, sg, sgt);
    lower_limit(gar_thermalnodecapacitances(i), sg, i, GLOR.CSGMIN, GLOI.NCSGMN);
    update(i, gar_thermalnodecapacitances(i), sg, sgt, node_heat(i, V.condensation), at(V.t0, i));
  }
}

}  // namespace

void FSTSTB(const StepVectors& V) {
  const double dt = GLOR.DTIMUT;
  predict(V, [&](std::int32_t i, double c, double sg, double sgt, double q, double t0) {
    at(V.f0, i) = sgt - t0 * sg;
    at(V.t, i) = t0 + (sgt + q - sg * t0) * dt / c;
  });
}

void FSTDIF(const StepVectors& V, double DT) {
  predict(V, [&](std::int32_t i, double c, double sg, double sgt, double q, double t0) {
    at(V.t, i) = t0 + (sgt - t0 * sg + q) * DT / c;
  });
}

void STSTAB(const StepVectors& V, double DT) {
  predict(V, [&](std::int32_t i, double c, double sg, double sgt, double q, double t0) {
    at(V.f0, i) = sgt - t0 * sg;
    at(V.t, i) = (sgt + q + t0 * c / DT) / (c / DT + sg);
  });
  const std::int32_t nnode = FLAGS(flagw::NNODE);
  for (std::int32_t i = 1; i <= nnode; ++i) {
    if (!arithmetic(i)) continue;
    FourSums s;
    walk_thermal(i, V.t, V.tf, [&](int kind, double g, double tj) { s.add(kind, g, tj); });
    at(V.t, i) += arithmetic_change(s, node_heat(i, V.condensation), at(V.t, i));
    check_runaway(at(V.t, i), i, "STSTAB");
  }
}

double S4TCLC(std::int32_t I, double S1, double S2, double S3, double S4, const StepVectors& V, double DT) {
  const double tabs = GLOR.TABS, damp = GLOR.DAMPT;
  const double c = gar_thermalnodecapacitances(I), q = node_heat(I, V.condensation);
  double& t = at(V.t, I);
  const double ta = t + tabs;
  double delta = 0.0;
  if (std::abs(c) >= kTiny) {
    const double r = S3 * cube(ta), cdt = c / DT;
    delta = (0.5 * (S2 + S4 + at(V.f0, I)) + q + cdt * (at(V.t0, I) + tabs) - ta * (0.5 * (S1 + r) + cdt)) /
            (2.0 * r + cdt + 0.5 * S1);
  } else if (std::abs(S1) >= kTiny && std::abs(S3) >= kTiny) {
    const bool single = MTDTST(1024);
    double tk = ta;
    for (std::int32_t k = 1;; ++k) {
      const double r = S3 * cube(tk);
      const double dk = (S2 + q + S4 - tk * (r + S1)) / (4.0 * r + S1);
      tk += damp * dk;
      if (single || !(std::abs(dk) > 100.0 * GLOR.RELXCA) || k >= GLOI.NLOOPT || thermal::runaway(tk)) break;
    }
    delta = tk - ta;
  } else {
    FourSums s{S1, S2, S3, S4};
    delta = arithmetic_change(s, q, t);
  }
  t += damp * delta;
  const double change = std::abs(delta);
  note_thermal_change(change, I);
  check_runaway(t, I, "S4TCLC");
  return change;
}

void FSTARH(std::span<double> T, std::span<const double> TF, std::span<const double> CONDENSATION) {
  GLOR.RELXCC = 0.0;
  const std::int32_t nnode = FLAGS(flagw::NNODE);
  for (std::int32_t i = 1; i <= nnode; ++i) {
    if (!arithmetic(i)) continue;
    FourSums s;
    walk_thermal(i, T, TF, [&](int kind, double g, double tj) { s.add(kind, g, tj); });
    const double delta = arithmetic_change(s, node_heat(i, CONDENSATION), at(T, i));
    at(T, i) += delta;
    note_thermal_change(std::abs(delta), i);
    check_runaway(at(T, i), i, "FSTARH");
  }
}

void SFWBKT(const StepVectors& V, std::int32_t& ITER) {
  STSOLT("THERMAL");
  const std::int32_t nnode = FLAGS(flagw::NNODE);
  do {
    GLOR.RELXCC = 0.0;
    ++ITER;
    call_variables1_block();
    for (std::int32_t i = 1; i <= nnode; ++i) {
      if (status_of(i) != 'D') continue;
      double s1, s2, s3, s4;
      SFGSUM(0, i, V.t, V.tf0, s1, s2, s3, s4);
      S4TCLC(i, s1, s2, s3, s4, V, GLOR.DTIMUT);
    }
  } while (GLOR.RELXCC > GLOR.RELXCA && ITER < GLOI.NLOOPT);
  STSOLT("");
}

void SFBKTS(const StepVectors& V, double DT, std::int32_t& PASS, std::int32_t& ALL) {
  GLOR.RELXCC = 0.0;
  const std::int32_t nnode = FLAGS(flagw::NNODE);
  for (std::int32_t i = 1; i <= nnode; ++i) {
    std::int32_t& frozen = at(V.frozen_t, i);
    if (status_of(i) != 'D') frozen = 1;
    if (frozen != 0) continue;
    double s1, s2, s3, s4;
    SFGSUM(0, i, V.t, V.tf, s1, s2, s3, s4);
    if (S4TCLC(i, s1, s2, s3, s4, V, DT) >= GLOR.RELXCA) {
      PASS = 0;
      ALL = 0;
    } else if (GLOI.METHOD == 1) {
      frozen = 1;
    }
  }
}

// --- Fluid nodes ------------------------------------------------------------

void FSFGSM(std::int32_t N, std::span<const double> TF, std::span<const double> T, double& SUMG, double& SUMGT) {
  SUMG = 0.0;
  SUMGT = 0.0;
  const double tabs = GLOR.TABS, tn = at(TF, N) + tabs;
  walk_fluid(N, TF, T, [&](int kind, double g, double tj) {
    const double tja = tj + tabs;
    if (kind == kRadiative) g = linearised(g, tn, tja);
    SUMG += g;
    SUMGT += g * tja;
  });
}

double SGNODM(std::int32_t N) {
  double w = std::abs(gar_fluidnodemassflowsources(N)) / 2.0;
  std::int32_t kind = 0, pos = 0, k = 0, j = 0;
  for (;;) {
    SFUNPK(0, N, gar_thermalnodestatuses, gar_pcsfluid.span(), gar_pcsptrsfluid.span(), kind, pos, k, j);
    if (kind > 4) break;
    if (kind == 1 && link_active(k)) w += std::abs(gar_massflowlinkflowrates(k)) / 2.0;
  }
  return w;
}

void GHIINI(const HistoryRing& H, std::span<const double> TF, std::span<const double> T) {
  const std::int32_t nf = FLAGS(flagw::NF);
  for (std::int32_t lvl = 1; lvl <= H.levels; ++lvl) {
    H.at(nf + 1, lvl) = 0.0;
    for (std::int32_t n = 1; n <= nf; ++n) {
      double sg = 0.0, sgt = 0.0;
      FSFGSM(n, TF, T, sg, sgt);
      H.at(n, lvl) = std::abs(sg) < kTiny ? at(TF, n) + GLOR.TABS : sgt / sg;
    }
  }
}

double SGTDEL(const HistoryRing& H, double ELAPSED, std::int32_t N, double TAU, std::int32_t& FOUND) {
  const std::int32_t nf = FLAGS(flagw::NF), c = H.level, levels = H.levels;
  const double target = ELAPSED - TAU;
  FOUND = 0;
  if (target < 0.0) return H.at(N, c);
  std::int32_t k = c == 1 ? levels : c - 1;
  for (std::int32_t tried = 0; tried < levels; ++tried) {
    if (H.at(nf + 1, k) < target) {
      const std::int32_t m = k == levels ? 1 : k + 1;
      const double tk = H.at(nf + 1, k), tm = H.at(nf + 1, m);
      return H.at(N, k) + (target - tk) * (H.at(N, m) - H.at(N, k)) / (tm - tk);
    }
    k = k == 1 ? levels : k - 1;
  }
  FOUND = levels;
  return H.at(N, c);
}

void SFSTAB(const StepVectors& V, double& LIMIT, std::int32_t& LIMITNODE) {
  const std::int32_t nf = FLAGS(flagw::NF), nnode = FLAGS(flagw::NNODE);
  const double dt = GLOR.DTIMEU, tabs = GLOR.TABS;
  HistoryRing* h = V.history && V.history->on() ? V.history : nullptr;
  if (h) advance_history(*h, V.tf0, V.t0, dt);
  for (std::int32_t n = 1; n <= nf; ++n) {
    const char st = fluid_status(n);
    if (st == 'K' || st == 'R' || st == 'H') continue;
    double sg = 0.0, sgt = 0.0;
    FSFGSM(n, V.tf0, V.t0, sg, sgt);
    if (!(std::abs(sg) >= kTiny)) continue;
    const double rho = at(V.rho, n), cp = at(V.cp, n), vdot = at(V.vdot, n), fq = gar_fluidnodeheatsources(n);
    const double mass = node_mass(n, rho);
    const double ta = at(V.tf0, n) + tabs;
    if (!h) {
      at(V.f0f, n) = (rho * cp * vdot - sg) * ta + sgt;
      at(V.tf, n) = (cp * (mass - rho * vdot * dt) / dt * ta + sgt + fq) / (cp * mass / dt + sg - rho * cp * vdot) - tabs;
    } else {
      const double mixed = sgt / sg;
      store_level(*h, h->level, h->elapsed - dt, n, mixed);
      const std::int32_t saved = h->level;
      h->level = h->level == h->levels ? 1 : h->level + 1;
      store_level(*h, h->level, h->elapsed, n, mixed);
      const Delayed d = delayed_inflow(*h, n, sg, sgt, mass, cp, dt);
      h->level = saved;
      at(V.f0f, n) = (rho * cp * vdot - sg) * ta + d.s;
      at(V.tf, n) = (d.s + fq + ta / d.k) / (1.0 / d.k + sg - rho * cp * vdot) - tabs;
    }
    if (cp * mass / sg <= LIMIT) {
      LIMIT = cp * mass / sg;
      LIMITNODE = nnode + n;
    }
  }
  for (std::int32_t n = 1; n <= nf; ++n) {
    if (fluid_status(n) != 'H') continue;
    double s1, s2, s3, s4;
    SFGSUM(1, n, V.t_end, V.tf, s1, s2, s3, s4);
    if (!(s1 >= kTiny || s3 >= kTiny)) continue;
    const double ta = at(V.tf, n) + tabs, t3 = cube(ta);
    at(V.tf, n) += (gar_fluidnodeheatsources(n) + s2 + s4 - ta * (s1 + s3 * t3)) / (s1 + 4.0 * s3 * t3);
  }
}

void FSFDIF(const StepVectors& V, double DT) {
  const std::int32_t nf = FLAGS(flagw::NF), nnode = FLAGS(flagw::NNODE);
  const double tabs = GLOR.TABS;
  HistoryRing* h = V.history && V.history->on() ? V.history : nullptr;
  if (h) advance_history(*h, V.tf0, V.t0, DT);
  for (std::int32_t n = 1; n <= nf; ++n) {
    const char st = fluid_status(n);
    if (st == 'K' || st == 'R' || st == 'H') continue;
    double sg = 0.0, sgt = 0.0;
    FSFGSM(n, V.tf0, V.t0, sg, sgt);
    if (!(std::abs(sg) > kTiny)) continue;
    const double p = gar_fluidnodepressures(n), x = gar_fluidnodevapourqualities(n);
    const std::int32_t slot = fluid_slot(n), node = internal_index(n);
    const double fq = gar_fluidnodeheatsources(n);
    const double rho = XRHO(p, at(V.tf0, n), x, slot, node), cp = XCP(p, at(V.tf0, n), x, slot, node);
    const double vdot = at(V.vdot, n), mass = node_mass(n, rho), mass0 = mass - rho * vdot * DT;
    const double ta = at(V.tf0, n) + tabs;
    if (!h) {
      at(V.tf, n) = (fq + sgt - (sg - rho * cp * vdot) * ta) * DT / (mass * cp) + (mass0 / mass) * ta - tabs;
    } else {
      store_level(*h, h->level, h->elapsed - DT, n, sgt / sg);
      const Delayed d = delayed_inflow(*h, n, sg, sgt, mass, cp, DT);
      at(V.tf, n) = (d.s + fq - ta * (sg - rho * cp * vdot)) * d.k + (mass0 / mass) * ta - tabs;
    }
    check_fluid_runaway(at(V.tf, n), n, "FSFDIF");
    const double rho1 = XRHO(p, at(V.tf, n), x, slot, node), cp1 = XCP(p, at(V.tf, n), x, slot, node);
    lower_limit(cp1 * node_mass(n, rho1), sg, nnode + n, GLOR.CSGMIN, GLOI.NCSGMN);
  }
}

double SFCALC(std::int32_t N, double S1, double S2, double S3, double S4, const StepVectors& V) {
  const double tabs = GLOR.TABS, fq = gar_fluidnodeheatsources(N);
  double& tf = at(V.tf, N);
  const double ta = tf + tabs, t3 = cube(ta);
  double delta = 0.0;
  if (fluid_status(N) == 'H') {
    delta = (fq + S2 + S4 - ta * (S1 + S3 * t3)) / (S1 + 4.0 * S3 * t3);
  } else {
    const double dt = GLOR.DTIMEU, rho = at(V.rho, N), cp = at(V.cp, N), vdot = at(V.vdot, N);
    const double mass = node_mass(N, rho), cmdt = cp * mass / dt;
    const double r =
        fq + 0.5 * (S2 + S4 + at(V.f0f, N)) + (at(V.tf0, N) + tabs) * cp * (mass - rho * vdot * dt) / dt;
    delta = (r - 0.5 * ta * (S3 * t3 + S1 + 2.0 * cmdt - rho * vdot * cp)) / (2.0 * S3 * t3 + 0.5 * S1 + cmdt);
    if (S3 > 0.0) {
      const double t1 = ta + delta, c1 = cube(t1);
      delta += (r - 0.5 * t1 * (S3 * c1 + S1 + 2.0 * cmdt - rho * vdot * cp)) / (cmdt + 0.5 * S1 + 2.0 * S3 * c1);
    }
  }
  tf += GLOR.DAMPT * delta;
  check_fluid_runaway(tf, N, "SFCALC");
  const double change = std::abs(delta);
  note_fluid_change(change, N);
  return change;
}

void SFWBKF(const StepVectors& V, std::int32_t& ITER) {
  STSOLT("THERMAL");
  const std::int32_t nf = FLAGS(flagw::NF);
  do {
    GLOR.FRLXCC = 0.0;
    ++ITER;
    call_variables1_block();
    for (std::int32_t n = 1; n <= nf; ++n) {
      const char st = fluid_status(n);
      if (st == 'K' || st == 'R') continue;
      double s1, s2, s3, s4;
      SFGSUM(1, n, V.t_end, V.tf, s1, s2, s3, s4);
      if (s1 >= kTinySingle || s3 >= kTinySingle) SFCALC(n, s1, s2, s3, s4, V);
    }
  } while (GLOR.FRLXCC > GLOR.FRLXCA && ITER < GLOI.NLOOPT);
  STSOLT("");
}

void SFBKFS(const StepVectors& V, const ProfileIndex& TABLE, std::int32_t& PASS, std::int32_t& ALL) {
  GLOR.FRLXCC = 0.0;
  const std::int32_t nf = FLAGS(flagw::NF);
  for (std::int32_t e = 1; e <= nf; ++e) {
    const std::int32_t n = ProfileIndex::at(TABLE.node_of_eq, e);
    std::int32_t& frozen = at(V.frozen_f, n);
    const char st = fluid_status(n);
    if (st == 'R' || st == 'K') frozen = 1;
    if (frozen != 0) continue;
    double s1, s2, s3, s4;
    SFGSUM(1, n, V.t_end, V.tf, s1, s2, s3, s4);
    const double change = s1 >= kTinySingle || s3 >= kTinySingle ? SFCALC(n, s1, s2, s3, s4, V) : 0.0;
    if (change >= GLOR.FRLXCA) {
      PASS = 0;
      ALL = 0;
    } else if (GLOI.METHOD == 1) {
      frozen = 1;
    }
  }
}

void FSTARF(const StepVectors& V) {
  GLOR.FRLXCC = 0.0;
  GLOI.NFRLXC = 0;
  const std::int32_t nf = FLAGS(flagw::NF);
  for (std::int32_t n = 1; n <= nf; ++n) {
    if (fluid_status(n) != 'H') continue;
    double s1, s2, s3, s4;
    SFGSUM(1, n, V.t, V.tf, s1, s2, s3, s4);
    if (!(s1 >= kTinySingle || s3 >= kTinySingle)) continue;
    const double ta = at(V.tf, n) + GLOR.TABS, t3 = cube(ta);
    const double delta = (gar_fluidnodeheatsources(n) + s2 + s4 - ta * (s3 * t3 + s1)) / (s1 + 4.0 * s3 * t3);
    at(V.tf, n) += delta;
    check_fluid_runaway(at(V.tf, n), n, "FSTARF");
    note_fluid_change(std::abs(delta), n);
  }
}

namespace {

// A single-phase solution carries a node's phase in its vapour quality,
// liquid 0 or vapour 1. A node whose temperature passes its saturation
// temperature has left that phase, which these solutions cannot follow (no
// latent heat, no void): the run is told once for the node, and its quality
// and flow regime take the phase of its state X, so that its properties, its
// enthalpy and the printed state agree instead of a liquid shown above its
// boiling point with a vapour's enthalpy.
void follow_phase(std::int32_t n, double x) {
  const double held = gar_fluidnodevapourqualities(n);
  const bool was_liquid = std::abs(held) < kTiny, was_vapour = std::abs(1.0 - held) < kTiny;
  if (!(was_liquid && x == 1.0) && !(was_vapour && x == 0.0)) return;
  fluids::report_once(was_liquid ? "Liquid fluid node above its saturation temperature@A single-phase solution "
                                   "cannot boil it: it is taken as vapour from here on."
                                 : "Vapour fluid node below its saturation temperature@A single-phase solution "
                                   "cannot condense it: it is taken as liquid from here on.",
                      255, internal_index(n), 2, was_liquid ? 1 : 2, "SNFE");
  gar_fluidnodevapourqualities(n) = x;
  gar_fluidnodeflowregimes.set(n, flow_regime(x));
}

}  // namespace

void SNFE(std::span<double> STATE) {
  const std::int32_t nf = FLAGS(flagw::NF);
  for (std::int32_t n = 1; n <= nf; ++n) {
    const double p = gar_fluidnodepressures(n), t = gar_fluidnodetemps(n);
    const std::int32_t slot = fluid_slot(n), node = internal_index(n);
    const double state = XGXPT(p, t, slot, node);
    at(STATE, n) = state;
    // Humid air's enthalpy (per kilogram of dry air) is that of its
    // humidity ratio, not of a phase.
    const bool humid = slot == fluids::kHumidAir;
    gar_fluidnodespecenthalpies(n) = XENTH(p, t, humid ? gar_fluidnodespechumidities(n) : state, slot, node);
    if (!humid) follow_phase(n, state);
  }
}

void SGMCIM(std::span<const double> CP) {
  const std::int32_t nm = FLAGS(flagw::NM);
  for (std::int32_t l = 1; l <= nm; ++l)
    gar_massflowlinkconds(l) =
        0.5 * (at(CP, link_first(l)) + at(CP, link_second(l))) * std::abs(gar_massflowlinkflowrates(l));
}

void SGCOIM(std::span<const double> RHO) {
  const std::int32_t nm = FLAGS(flagw::NM);
  for (std::int32_t l = 1; l <= nm; ++l) {
    const std::int32_t a = link_first(l), b = link_second(l);
    const double t = 0.5 * (at(RHO, a) + at(RHO, b)) * 0.5 * (gar_fluidnodelengths(a) + gar_fluidnodelengths(b)) *
                     std::min(gar_fluidnodeflowareas(a), gar_fluidnodeflowareas(b)) /
                     std::max(std::abs(gar_massflowlinkflowrates(l)), GLOR.MINFLO);
    GLOR.DTCOUR = std::min(GLOR.DTCOUR, t);
  }
}
