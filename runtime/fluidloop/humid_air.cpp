#include "runtime/fluidloop/humid_air.h"

#include <algorithm>
#include <cmath>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/messages.h"
#include "runtime/control/model_blocks.h"
#include "runtime/control/run_end.h"
#include "runtime/fluidloop/fluid_frame.h"
#include "runtime/fluidloop/support.h"
#include "runtime/fluids/interface/properties.h"
#include "runtime/fluids/interface/property_messages.h"
#include "runtime/modeldata/fpcs.h"
#include "runtime/platform/format.h"
#include "runtime/thermal/network_sums.h"

using namespace kalvir;
using namespace kalvir::fluidloop;

namespace {

inline double& at(std::span<double> v, std::int32_t k) { return v[static_cast<std::size_t>(k - 1)]; }
inline double at(std::span<const double> v, std::int32_t k) { return v[static_cast<std::size_t>(k - 1)]; }
inline bool humid_node(std::int32_t n) { return fluid_slot(n) == fluids::kHumidAir; }

namespace psy = fluids::psychro;

[[noreturn]] void vapour_above_total(std::int32_t n, double pv, double p) {
  fluids::report("Humid air cannot hold its vapour@The relative humidity gives a vapour pressure of " +
                     platform::edit_e(pv, 12, 4, 0, 1) + " Pa, not below the total pressure of " +
                     platform::edit_e(p, 12, 4, 0, 1) + " Pa.",
                 500, internal_index(n), 4, 1, "HUMRSP");
  FAILUR();  // severity 4 has ended the run already
}

}  // namespace

void HUMFSP(std::int32_t NF, std::int32_t MODE, std::span<double> W) {
  for (std::int32_t n = 1; n <= NF; ++n) {
    double& x = gar_fluidnodespechumidities(n);
    const double w = at(W, n);
    if (MODE == 0)
      at(W, n) = x / (x + 1.0);
    else if (w <= 0.0)
      x = 0.0;
    else if (w > 1.0 || std::abs(1.0 - w) < thermal::kTiny)
      x = kSaturatedRatio;
    else
      x = w / (1.0 - w);
  }
}

void HUMRSP(std::int32_t MODE) {
  const std::int32_t nf = FLAGS(flagw::NF);
  const double pabs = GLOR.PABS;
  for (std::int32_t n = 1; n <= nf; ++n) {
    if (!humid_node(n)) continue;
    const double psat = psy::saturation_pressure_liquid(gar_fluidnodetemps(n) + GLOR.TABS);
    const double p = gar_fluidnodepressures(n) + pabs;
    double& x = gar_fluidnodespechumidities(n);
    double& phi = gar_fluidnoderelhumidities(n);
    if (MODE == 0) {
      phi = psy::vapour_pressure(x, p) / psat;
    } else {
      const double pv = psat * phi;
      if (!(pv < p)) vapour_above_total(n, pv, p);
      x = psy::humidity_ratio(pv, p);
    }
  }
}

void WVMCON(std::int32_t FORM, const HumidVectors& V) {
  const std::int32_t nf = FLAGS(flagw::NF);
  const double dt = GLOR.DTIMEU;
  const bool trapezoidal = FORM != 0;
  for (std::int32_t n = 1; n <= nf; ++n) {
    const double w0 = at(V.w0, n);
    const char status = gar_fluidnodestatuses(n)[0];
    if (status == 'R') {
      at(V.w, n) = trapezoidal ? (w0 + at(V.w, n)) / 2.0 : w0;
      continue;
    }
    const bool junction = status == 'J';
    double outflow = 0.0, inflow = 0.0;
    std::int32_t kind = 0, pos = 0, k = 0, j = 0;
    for (;;) {
      SFUNPK(0, n, gar_thermalnodestatuses, gar_pcsfluid.span(), gar_pcsptrsfluid.span(), kind, pos, k, j);
      if (kind > 4) break;
      if (kind != 1 || !link_active(k)) continue;
      const double m = std::abs(gar_massflowlinkflowrates(k));
      if (!flows_into(k, n)) {
        if (!junction) outflow += m;
        continue;
      }
      const double up = trapezoidal ? (at(V.w0, j) + at(V.w, j)) / 2.0 : at(V.w0, j);
      inflow += up * m;
      if (junction) outflow += m;
    }
    const double ms = gar_fluidnodemassflowsources(n), xs = gar_fluidnodemasssourcespechumidities(n);
    if (junction) {
      if (ms > 0.0) {
        outflow -= ms;
        inflow += ms * xs / (xs + 1.0);
      }
    } else if (ms <= 0.0) {
      outflow += std::abs(ms);
    } else {
      inflow += ms * xs / (xs + 1.0);
    }
    inflow -= at(V.rates, n) + gar_fluidnodewatervapoursinkrates(n);
    const double rho = at(V.rho, n);
    const double mass = node_mass(n, rho), mass0 = mass - rho * at(V.vdot, n) * dt;
    at(V.w, n) = trapezoidal ? (mass0 * w0 + (inflow - 0.5 * outflow * w0) * dt) / (mass + 0.5 * outflow * dt)
                             : (dt * (inflow - outflow * w0) + mass0 * w0) / mass;
  }
}

void CNDNSE(const HumidVectors& V) {
  const std::int32_t nf = FLAGS(flagw::NF), nnode = FLAGS(flagw::NNODE);
  const double pabs = GLOR.PABS, tabs = GLOR.TABS, f2 = GLOR.DAMPM * GLOR.DAMPM;
  std::fill(V.loads.begin(), V.loads.end(), 0.0);
  for (std::int32_t n = 1; n <= nf; ++n) {
    double rate = 0.0;
    // Air without vapour has no dew point, and nothing condenses from it.
    if (humid_node(n) && gar_fluidnodespechumidities(n) > 0.0) {
      const std::int32_t node = internal_index(n);
      const double p = gar_fluidnodepressures(n) + pabs, t = gar_fluidnodetemps(n);
      const double x = gar_fluidnodespechumidities(n);
      const double pv = psy::vapour_pressure(x, p);  // absolute
      // The dew point, or below the triple-point pressure the frost point:
      // the exact inverse of the saturation pressure the walls are held to.
      const double dew = psy::dew_point(pv, node) - tabs;
      const double cp = XCP(gar_fluidnodepressures(n), t, x, fluids::kHumidAir, node);
      // Water that condenses above the triple point gives the latent heat
      // at the vapour's pressure; below it the vapour deposits as frost.
      double condensing = 0.0;
      const auto latent = [&](double tw) {
        if (tw + tabs < psy::kTriplePoint) return psy::sublimation_enthalpy(std::min(dew + tabs, psy::kTriplePoint));
        if (condensing == 0.0)
          condensing =
              XENTHS(pv - pabs, t, 1.0, fluids::kWater, node) - XENTHS(pv - pabs, t, 0.0, fluids::kWater, node);
        return condensing;
      };
      std::int32_t kind = 0, pos = 0, k = 0, j = 0;
      for (;;) {
        SFUNPK(0, n, gar_thermalnodestatuses, gar_pcsfluid.span(), gar_pcsptrsfluid.span(), kind, pos, k, j);
        if (kind == 1) continue;
        if (kind != 2) break;
        if (gar_linearcondacts(k)[0] != 'A' || j > nnode) continue;
        const double tw = gar_thermalnodetemps(j);
        const double wall = psy::saturation_pressure_surface(tw + tabs);
        if (!(dew > tw) || !(pv > wall)) continue;
        const double m = (pv - wall) * gar_linearconds(k) / (p * cp);
        rate += m;
        at(V.loads, j) += latent(tw) * m;
      }
    }
    at(V.rates, n) = rate * f2 + at(V.rates, n) * (1.0 - f2);
  }
}

void SFMCON(std::int32_t MODE, std::span<const double> RATES, std::span<double> SAVED) {
  const std::int32_t nf = FLAGS(flagw::NF);
  for (std::int32_t n = 1; n <= nf; ++n) {
    if (!humid_node(n)) continue;
    double& source = gar_fluidnodemassflowsources(n);
    if (MODE != 3) gar_fluidnodevapourqualities(n) = gar_fluidnodespechumidities(n);
    if (MODE == 2) {
      at(SAVED, n) = source;
      source -= at(RATES, n) + gar_fluidnodewatervapoursinkrates(n);
    }
    if (MODE == 3) source = at(SAVED, n);
  }
}

namespace {

// One pass of the transport: the vapour balance, the humidity ratios and
// relative humidities from it, and the condensation.
void transport_pass(std::int32_t form, const HumidVectors& V) {
  const std::int32_t nf = FLAGS(flagw::NF);
  STSOLT("HUMID");
  call_variables1_block();
  WVMCON(form, V);
  HUMFSP(nf, 1, V.w);
  HUMRSP(0);
  if (FLAGS(flagw::NNODE) > 0) CNDNSE(V);
}

}  // namespace

void HMDIPT(const HumidVectors& V) {
  const std::int32_t nf = FLAGS(flagw::NF);
  HUMFSP(nf, 0, V.w0);
  std::copy(V.w0.begin(), V.w0.end(), V.w.begin());
  double previous = 0.0;
  for (std::int32_t pass = 1;; ++pass) {
    transport_pass(1, V);
    double s = 0.0;
    for (const double w : V.w) s += w;
    if (std::abs(s) <= thermal::kTiny || std::abs((s - previous) / s) <= 1.0e-5) break;
    if (pass >= GLOI.NLOOPT) {
      SETERX("HMDIPT: Humid-air transport not converged in NLOOPT passes", 2, 1, "HMDIPT");
      break;
    }
    previous = s;
  }
  STSOLT("");
}

void HMDNTF(const HumidVectors& V) {
  HUMFSP(FLAGS(flagw::NF), 0, V.w0);
  std::copy(V.w0.begin(), V.w0.end(), V.w.begin());
  transport_pass(0, V);
  STSOLT("");
}
