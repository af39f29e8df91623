#include "runtime/fluidloop/phase_separation.h"

#include <cmath>

#include "runtime/control/messages.h"
#include "runtime/control/run_end.h"
#include "runtime/fluids/interface/properties.h"
#include "runtime/modeldata/search_sort.h"

using namespace kalvir;
using namespace kalvir::fluidloop;

namespace kalvir::fluidloop {

void unknown_link_type(std::string_view routine) {
  SETERX("Unrecognised mass flow link type@Allowed types: momentum, evaporative.", 4, 1, routine);
  internal_stop(routine);  // SETERX does not return for severity 4
}

double outlet_quality(const SeparatorBudget& b, double xps) {
  if (!b.liquid_sufficient) return 1.0 - (1.0 - xps) * b.liquid_available / b.liquid_demand;
  if (!b.vapour_sufficient) return xps * b.vapour_available / b.vapour_demand;
  return xps;
}

}  // namespace kalvir::fluidloop

namespace {

// Link l takes node n's own state.
void own_state(std::int32_t l, std::int32_t n) {
  gar_massflowlinkenthalpies(l) = gar_fluidnodespecenthalpies(n);
  gar_massflowlinkvapquals(l) = gar_fluidnodevapourqualities(n);
}

}  // namespace

void MHXINI(std::int32_t NF) {
  LoopGuard guard("MHXINI");
  for (std::int32_t n = 1; n <= NF; ++n) {
    walk_fluid_list(n, [&](std::int32_t kind, std::int32_t l, std::int32_t) {
      if (kind != 1) return false;
      guard.tick();
      if (!leaves(l, n)) return true;
      const std::int32_t end = link_end(l, n);
      if (gar_massflowlinktypes(l) == kMomentumLink && separation_end(l, end)) {
        const double x = separation_quality(l, end), p = gar_fluidnodepressures(n);
        const std::int32_t slot = fluid_slot(n), node = internal_index(n);
        const double tsat = XTEMPS(p, slot, node);
        const double hl = XENTHS(p, tsat, 0.0, slot, node), hv = XENTHS(p, tsat, 1.0, slot, node);
        gar_massflowlinkvapquals(l) = x;
        gar_massflowlinkenthalpies(l) = x * hv + (1.0 - x) * hl;
      } else {
        own_state(l, n);
      }
      return true;
    });
  }
}

void PHSCHT(std::int32_t N, double DT, double H, double FM, double HSRC, char STATUS, double HL, double HV,
            double MASS, SeparatorBudget& BUDGET) {
  SeparatorBudget b;
  double w = FM > 0.0 ? FM : 0.0;
  double e = FM > 0.0 ? FM * HSRC : 0.0;
  LoopGuard guard("PHSCHK");
  walk_fluid_list(N, [&](std::int32_t kind, std::int32_t l, std::int32_t) {
    if (kind != 1) return false;
    guard.tick();
    if (!link_active(l)) return true;
    const double flow = std::abs(gar_massflowlinkflowrates(l));
    const bool momentum = gar_massflowlinktypes(l) == kMomentumLink;
    if (!leaves(l, N)) {
      w += flow;
      e += flow * (momentum ? gar_massflowlinkenthalpies(l) : HV);
    } else if (momentum && separation_end(l, link_end(l, N))) {
      const double xps = separation_quality(l, link_end(l, N));
      b.liquid_demand += (1.0 - xps) * flow * DT;
      b.vapour_demand += xps * flow * DT;
      b.active = true;
    }
    return true;
  });
  if (STATUS == 'R' || STATUS == 'K') {
    b.liquid_available = b.vapour_available = 1.0e20;
    if (H < HL || H > HV) b.active = false;
  } else {
    const double content = w * DT + MASS;
    const double hm = std::abs(w) < 1.0e-37 ? H : (e * DT + MASS * H) / content;
    double quality = (hm - HL) / (HV - HL);
    if (!(quality <= 1.0)) quality = 1.0;  // above 1 or not a number
    if (!(quality > 0.0)) quality = 0.0;
    b.liquid_available = (1.0 - quality) * content;
    b.vapour_available = quality * content;
    if (HL <= hm && hm <= HV) {
      b.liquid_sufficient = b.liquid_available - b.liquid_demand >= -1.0e-6 * b.liquid_available;
      b.vapour_sufficient = b.vapour_available - b.vapour_demand >= -1.0e-6 * b.vapour_available;
    } else {
      b.active = false;
    }
  }
  BUDGET = b;
}

void MHXSET(std::int32_t N, double HL, double HV, const SeparatorBudget& BUDGET) {
  LoopGuard guard("MHXSET");
  walk_fluid_list(N, [&](std::int32_t kind, std::int32_t l, std::int32_t) {
    if (kind != 1) return false;
    guard.tick();
    if (!link_active(l) || !leaves(l, N)) return true;
    const std::int32_t end = link_end(l, N);
    if (BUDGET.active && separation_end(l, end)) {
      const double x = outlet_quality(BUDGET, separation_quality(l, end));
      gar_massflowlinkvapquals(l) = x;
      gar_massflowlinkenthalpies(l) = HL + x * (HV - HL);
    } else {
      own_state(l, N);
    }
    return true;
  });
}
