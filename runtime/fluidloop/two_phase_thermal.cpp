#include "runtime/fluidloop/two_phase_thermal.h"

#include <cmath>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/model_blocks.h"
#include "runtime/fluidloop/fluid_frame.h"
#include "runtime/modeldata/search_sort.h"

using namespace kalvir;
using namespace kalvir::fluidloop;
using kalvir::thermal::kTiny;

namespace {

std::size_t ix(std::int32_t k) { return static_cast<std::size_t>(k - 1); }

void refresh_powers(const ThermalWork& w, std::int32_t i) {
  const double n = gar_thermalnodetemps(i) + GLOR.TABS;
  w.t3[ix(i)] = n * n * n;
  w.t4[ix(i)] = n * n * n * n;
}

}  // namespace

namespace kalvir::fluidloop {

double heat_load(std::int32_t i) {
  return gar_thermalnodeheatsourcesalbedo(i) + gar_thermalnodeheatsourcesplanet(i) +
         gar_thermalnodeheatsourcesinternal(i) + gar_thermalnodeheatsourcesother(i) +
         gar_thermalnodeheatsourcessolar(i);
}

}  // namespace kalvir::fluidloop

void SLOGST(const ThermalWork& W) {
  SLOGST2(FLAGS(flagw::NGF), FLAGS(flagw::NGL), FLAGS(flagw::NGR), FLAGS(flagw::NNODE), gar_fluidiccondacts,
          gar_linearcondacts, gar_radiativecondacts, gar_thermalnodestatuses, {}, W.gf_active, W.gl_active,
          W.gr_active, W.in_network);
}

void SNGSUM(std::int32_t I, const ThermalWork& W, std::span<const double> T, std::span<const double> TF,
            NodeSums& S) {
  S = {};
  const std::int32_t nnode = FLAGS(flagw::NNODE);
  const double tabs = GLOR.TABS;
  const std::int32_t* pcs = gar_pcsthermal.data();
  // Record form: linear, radiative and fluidic runs of [other node, conductor].
  for (int kind = 1; kind <= 3; ++kind) {
    const std::int32_t start = gar_pcsptrsthermal(2 * kind - 1, I), count = gar_pcsptrsthermal(2 * kind, I);
    for (std::int32_t e = 0; e < count; ++e) {
      const std::int32_t j = pcs[start - 1 + 2 * e], k = pcs[start + 2 * e];
      const bool fluid = j > nnode;
      if (!fluid && W.in_network[ix(j)] == 0) continue;
      const double tj = (fluid ? TF[ix(j - nnode)] : T[ix(j)]) + tabs;
      if (kind == 2) {
        if (W.gr_active[ix(k)] == 0) continue;
        const double g = gar_radiativeconds(k);
        S.s5 += g;
        S.s6 += g * (fluid ? tj * tj * tj * tj : W.t4[ix(j)]);
        continue;
      }
      double g = 0.0;
      if (kind == 1) {
        if (W.gl_active[ix(k)] == 0) continue;
        g = gar_linearconds(k);
      } else {
        if (k <= 0 || W.gf_active[ix(k)] == 0) continue;
        g = gar_fluidicconds(k);
      }
      (fluid ? S.s1 : S.s3) += g;
      (fluid ? S.s2 : S.s4) += g * tj;
    }
  }
  S.s5 *= GLOR.STEFAN;
  S.s6 *= GLOR.STEFAN;
}

void TSTAB2(double DT, const ThermalWork& W, std::span<const double> TF) {
  const std::int32_t nnode = FLAGS(flagw::NNODE);
  const double tabs = GLOR.TABS;
  GLOR.CSGMIN = SRLMAX();
  const std::span<const double> saved = W.saved;
  const auto diffusion = [](std::int32_t i) { return gar_thermalnodestatuses(i)[0] == 'D'; };
  NodeSums s;
  for (std::int32_t i = 1; i <= nnode; ++i) {
    const double c = gar_thermalnodecapacitances(i);
    if (!diffusion(i) || std::abs(c) < kTiny) continue;
    SNGSUM(i, W, saved, TF, s);
    const double ts = saved[ix(i)];
    const double f0 = s.s4 + s.s2 + s.s6 - (ts + tabs) * (s.s1 + s.s3) - s.s5 * W.t4[ix(i)];
    W.start_flow[ix(i)] = f0;
    gar_thermalnodetemps(i) = ts + DT * (f0 + heat_load(i)) / c;
    const double g = s.s1 + s.s3 + 4.0 * s.s5 * W.t3[ix(i)];
    if (std::abs(g) >= kTiny && c / g < GLOR.CSGMIN) {
      GLOR.CSGMIN = c / g;
      GLOI.NCSGMN = i;
    }
  }
  for (std::int32_t i = 1; i <= nnode; ++i)
    if (diffusion(i) && std::abs(gar_thermalnodecapacitances(i)) >= kTiny) refresh_powers(W, i);
  const std::span<const double> current(gar_thermalnodetemps.data(), static_cast<std::size_t>(nnode));
  for (std::int32_t i = 1; i <= nnode; ++i) {
    if (!diffusion(i) || std::abs(gar_thermalnodecapacitances(i)) >= kTiny) continue;
    SNGSUM(i, W, current, TF, s);
    const double q = heat_load(i), g = s.s1 + s.s3;
    double& t = gar_thermalnodetemps(i);
    const double n = t + tabs, t3 = W.t3[ix(i)];
    if (std::abs(g) >= kTiny) {
      if (std::abs(s.s5) < kTiny) {
        t = (q + s.s4 + s.s2) / g - tabs;
      } else {
        W.start_flow[ix(i)] = s.s2 + s.s4 + s.s6 - (saved[ix(i)] + tabs) * g - s.s5 * W.t4[ix(i)];
        t += (q + s.s2 + s.s4 + s.s6 - n * (g + s.s5 * t3)) / (g + 4.0 * s.s5 * t3);
      }
    } else if (std::abs(s.s5) >= kTiny) {
      t = std::pow((q + s.s6) / s.s5, 0.25) - tabs;
    } else if (std::abs(q) > kTiny) {
      t += 1.0e20;
    }
    refresh_powers(W, i);
  }
}

void FBTCL3(std::int32_t I, double DT, const ThermalWork& W, const NodeSums& S, std::int32_t COUPLING) {
  const std::size_t k = ix(I);
  double& t = gar_thermalnodetemps(I);
  const double n = t + GLOR.TABS, kr = S.s5 * W.t3[k], c = gar_thermalnodecapacitances(I), q = heat_load(I);
  double o = 0.0;
  if (COUPLING == 1 && std::abs(t - W.prev_t[k]) >= kTiny) {
    o = ((S.s1 - W.prev_s1[k]) * n - (S.s2 - W.prev_s2[k])) / (t - W.prev_t[k]);
    if (!(o >= 0.0)) o = 0.0;  // negative or not a number
  }
  double r = 0.0;
  const double g = S.s1 + S.s3;
  if (std::abs(c) >= kTiny) {
    const double cd = c / DT;
    r = (q + 0.5 * (S.s4 + S.s2 + S.s6 + W.start_flow[k]) + cd * (W.saved[k] + GLOR.TABS) -
         n * (0.5 * (g + kr) + cd)) /
        (2.0 * kr + cd + 0.5 * (g + o));
  } else if (std::abs(g) >= kTiny) {
    r = std::abs(S.s5) < kTiny ? (q + S.s4 + S.s2 - n * g) / (o + g)
                               : (q + S.s4 + S.s2 + S.s6 - n * (g + kr)) / (o + g + 4.0 * kr);
  } else if (std::abs(S.s5) >= kTiny) {
    r = std::pow((q + S.s6) / S.s5, 0.25) - n;
  } else if (std::abs(q) > kTiny) {
    r = 1.0e20;
  }
  if (std::abs(r) > GLOR.RELXCC) {
    GLOR.RELXCC = std::abs(r);
    GLOI.NRLXCC = I;
  }
  const double next = t + GLOR.DAMPT * r;
  if (thermal::runaway(next)) thermal::fatal_node_message("FGENFI: Temperature > 1.0D10 detected@", I, "Fbtcl3");
  t = next;
}

void FWBKT3(double DT, const ThermalWork& W, std::int32_t COUPLING, bool& CONVERGED, std::int32_t& ITERATIONS) {
  STSOLT("THERMAL");
  const std::int32_t nnode = FLAGS(flagw::NNODE), nf = FLAGS(flagw::NF);
  const std::span<const double> t(gar_thermalnodetemps.data(), static_cast<std::size_t>(nnode));
  const std::span<const double> tf(gar_fluidnodetemps.data(), static_cast<std::size_t>(nf));
  CONVERGED = false;
  ITERATIONS = 0;
  for (std::int32_t k = 1;; ++k) {
    ITERATIONS = k;
    GLOR.RELXCC = 0.0;
    const std::int32_t coupling = k == 1 ? COUPLING : 1;
    call_variables1_block();
    SLOGST(W);
    NodeSums s;
    for (std::int32_t i = 1; i <= nnode; ++i) {
      if (gar_thermalnodestatuses(i)[0] == 'D') {
        SNGSUM(i, W, t, tf, s);
        const double before = gar_thermalnodetemps(i);
        FBTCL3(i, DT, W, s, coupling);
        W.prev_s1[ix(i)] = s.s1;
        W.prev_s2[ix(i)] = s.s2;
        W.prev_t[ix(i)] = before;
      }
      refresh_powers(W, i);
    }
    CONVERGED = GLOR.RELXCA >= GLOR.RELXCC;
    if (CONVERGED || k >= GLOI.NLOOPT) break;
  }
  STSOLT("");
}
