#include "runtime/fluidloop/humid_air.h"

#include <cmath>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/messages.h"
#include "runtime/control/model_blocks.h"
#include "runtime/fluidloop/fluid_frame.h"
#include "runtime/fluidloop/support.h"
#include "runtime/fluids/interface/properties.h"
#include "runtime/modeldata/fpcs.h"
#include "runtime/thermal/network_sums.h"

using namespace kalvir;
using namespace kalvir::fluidloop;

namespace {

inline double& at(std::span<double> v, std::int32_t k) { return v[static_cast<std::size_t>(k - 1)]; }
inline double at(std::span<const double> v, std::int32_t k) { return v[static_cast<std::size_t>(k - 1)]; }
inline bool humid_node(std::int32_t n) { return fluid_slot(n) == fluids::kHumidAir; }

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
    const double psat = XPRESS(gar_fluidnodetemps(n), fluids::kWater, internal_index(n)) + pabs;
    const double p = gar_fluidnodepressures(n) + pabs;
    double& x = gar_fluidnodespechumidities(n);
    double& phi = gar_fluidnoderelhumidities(n);
    if (MODE == 0) {
      phi = p * x / (psat * (x + kMolarRatio));
    } else {
      const double pv = psat * phi;
      x = kMolarRatio * pv / (p - pv);
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
  const double pabs = GLOR.PABS, f2 = GLOR.DAMPM * GLOR.DAMPM;
  std::fill(V.loads.begin(), V.loads.end(), 0.0);
  for (std::int32_t n = 1; n <= nf; ++n) {
    double rate = 0.0;
    // Air without vapour has no dew point: the saturation temperature of a
    // zero vapour pressure is outside the water data and would warn at every
    // call, while nothing can condense from it.
    if (humid_node(n) && gar_fluidnodespechumidities(n) > 0.0) {
      const std::int32_t node = internal_index(n);
      const double p = gar_fluidnodepressures(n) + pabs, t = gar_fluidnodetemps(n);
      const double x = gar_fluidnodespechumidities(n);
      const double pv = p * x / (x + kMolarRatio) - pabs;
      const double dew = XTEMPS(pv, fluids::kWater, node);
      const double cp = XCP(gar_fluidnodepressures(n), t, x, fluids::kHumidAir, node);
      // Latent heat of the vapour at its partial pressure.
      double latent = 0.0;
      bool latent_known = false;
      std::int32_t kind = 0, pos = 0, k = 0, j = 0;
      for (;;) {
        SFUNPK(0, n, gar_thermalnodestatuses, gar_pcsfluid.span(), gar_pcsptrsfluid.span(), kind, pos, k, j);
        if (kind == 1) continue;
        if (kind != 2) break;
        if (gar_linearcondacts(k)[0] != 'A' || j > nnode) continue;
        const double tw = gar_thermalnodetemps(j);
        if (!(dew > tw)) continue;
        const double m = (pv - XPRESS(tw, fluids::kWater, node)) * gar_linearconds(k) / (p * cp);
        if (!latent_known) {
          latent = XENTHS(pv, t, 1.0, fluids::kWater, node) - XENTHS(pv, t, 0.0, fluids::kWater, node);
          latent_known = true;
        }
        rate += m;
        at(V.loads, j) += latent * m;
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
