#include "runtime/fluidloop/two_phase_energy.h"

#include <cmath>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/fluidloop/phase_separation.h"
#include "runtime/fluidloop/support.h"
#include "runtime/fluids/interface/properties.h"
#include "runtime/modeldata/search_sort.h"

using namespace kalvir;
using namespace kalvir::fluidloop;

namespace {

inline constexpr double kTiny = 1.0e-37;

std::size_t ix(std::int32_t k) { return static_cast<std::size_t>(k - 1); }

// Temperature of the other end of a conductor: thermal node or fluid node.
double other_temperature(std::int32_t j, std::int32_t nnode) {
  return j <= nnode ? gar_thermalnodetemps(j) : gar_fluidnodetemps(j - nnode);
}

// The heat that a fluid node takes over the step from a conductor's other
// end j, per second. A thermal node with a heat capacity integrates its
// conductors time-centred, the mean of the flows at the step's start and
// end, and the fluid node takes the same mean, so that what the one gives
// the other gets: taken at the end alone, the difference of half a step's
// change of flow is made or lost in every step, which adds up where the
// flows swing or the steps change length. Every other end (boundary,
// arithmetic or fluid node) meets the fluid at the end of the step.
struct WallHeat {
  const StepStart& start;
  std::int32_t nnode;
  double tabs, t, t_start;

  bool centred(std::int32_t j) const {
    return j <= nnode && gar_thermalnodestatuses(j)[0] == 'D' && std::abs(gar_thermalnodecapacitances(j)) >= kTiny;
  }
  double linear(double g, std::int32_t j) const {
    const double end = g * (other_temperature(j, nnode) - t);
    return centred(j) ? 0.5 * (end + g * (start.thermal[ix(j)] - t_start)) : end;
  }
  double radiative(double sgr, std::int32_t j) const {
    const auto flow = [&](double tj, double tf) { return sgr * (std::pow(tj + tabs, 4) - std::pow(tf + tabs, 4)); };
    const double end = flow(other_temperature(j, nnode), t);
    return centred(j) ? 0.5 * (end + flow(start.thermal[ix(j)], t_start)) : end;
  }
};

// Nodes whose rows store energy: not held ("K", "R") and not without
// storage ("H").
bool stores_energy(char status) { return status != 'K' && status != 'R' && status != 'H'; }

// The mass at the step's start of node n (position k).
double start_mass(const StepStart& START, std::size_t k) { return START.properties.rho[k] * START.volume[k]; }

// The energy that displaced mass makes in a closed loop, given back to the
// loop. A node's density can change by more than its links carry in or out
// (with QTRSOL "YES" the links carry none of it; with the nodal balances
// only the linearisation's remainder): the rows let that mass enter or leave
// at the node's own enthalpy, so the loop gains sum d (h - hm) per second,
// d being each node's displaced mass rate (DISPLACED) and hm the loop's mean
// enthalpy. A boiling evaporator that sheds its liquid into the last node
// of the loop thus destroys the enthalpy difference of every kilogram. The
// rows take that power back in proportion to their nodes' masses. Shared
// that way, no node sees much of its own displacement, which keeps the
// iteration stable where a barely boiling node would collapse if it drew
// the displaced mass at another node's enthalpy. A loop with a node that
// holds its pressure exchanges its mass with that node's reservoir and is
// left as it is.
void return_displaced_energy(const StepStart& START, const ProfileSystem& SYSTEM,
                             std::span<const double> DISPLACED) {
  const TwoPhaseLayout& t = *SYSTEM.layout;
  const std::int32_t nf = FLAGS(flagw::NF);
  for (std::int32_t loop = 1; loop <= nf; ++loop) {
    const LoopRange range = loop_range(t, loop);
    bool closed = true;
    double mass = 0.0, energy = 0.0, displaced = 0.0, made = 0.0;
    for (std::int32_t r = range.first; r <= range.last; ++r) {
      const std::int32_t n = ProfileIndex::at(t.order, r);
      const std::size_t k = ix(n);
      closed = closed && !fixed_pressure(n);
      if (!stores_energy(gar_fluidnodestatuses(n)[0])) continue;
      const double m = start_mass(START, k), h = gar_fluidnodespecenthalpies(n);
      mass += m;
      energy += m * h;
      displaced += DISPLACED[k];
      made += DISPLACED[k] * h;
    }
    if (closed && mass > kTiny) {
      const double back = (displaced * energy / mass - made) / mass;
      for (std::int32_t r = range.first; r <= range.last; ++r) {
        const std::int32_t n = ProfileIndex::at(t.order, r);
        if (stores_energy(gar_fluidnodestatuses(n)[0])) SYSTEM.b(r) += back * start_mass(START, ix(n));
      }
    }
    if (range.last >= nf) break;
  }
}

}  // namespace

void FCNGTK(double DT, const NodeProperties& PROPS, const StepStart& START, const ProfileSystem& SYSTEM,
            std::span<double> DISPLACED) {
  const std::int32_t nf = FLAGS(flagw::NF), nnode = FLAGS(flagw::NNODE);
  const double gravz = GLOR.GRAVZ, stefan = GLOR.STEFAN, tabs = GLOR.TABS;
  for (std::int32_t i = 1; i <= nf; ++i) {
    const std::int32_t p = SYSTEM.position(i);
    const std::size_t k = ix(i);
    const double rho = PROPS.rho[k], vol = gar_fluidnodevolumes(i), h = gar_fluidnodespecenthalpies(i);
    const double pr = gar_fluidnodepressures(i), t = gar_fluidnodetemps(i), x = gar_fluidnodevapourqualities(i);
    const std::int32_t slot = fluid_slot(i), node = internal_index(i);
    const double hl = XENTHS(pr, t, 0.0, slot, node), hv = XENTHS(pr, t, 1.0, slot, node);
    const char status = gar_fluidnodestatuses(i)[0];
    const double fm = gar_fluidnodemassflowsources(i), hsrc = gar_fluidnodemasssourcespecenthalpies(i);
    SeparatorBudget budget;
    PHSCHT(i, DT, h, fm, hsrc, status, hl, hv, node_mass(i, rho), budget);
    double& diag = SYSTEM.at(p, p);
    double& rhs = SYSTEM.b(p);
    DISPLACED[k] = 0.0;
    if (status == 'K' || status == 'R') {
      diag = 1.0;
      rhs = h;
      MHXSET(i, hl, hv, budget);
      continue;
    }
    const double c = status == 'H' ? 0.0 : vol / DT;
    const double area = gar_fluidnodeflowareas(i), len = gar_fluidnodelengths(i), z = gar_fluidnodecoordsz(i);
    // The storage is the mass at the step's start. The node's energy at the
    // end, M h, is Ms hs + Ms (h - hs) + (M - Ms) h, and the mass it gained
    // over the step, M - Ms, came in by its links and source, whose terms
    // below already count it at the node's enthalpy h. With the end mass in
    // place of Ms the balance charges every kilogram that enters or leaves
    // with (hs - h) once more: a boiling node that sheds its liquid while
    // its enthalpy rises makes energy out of nothing.
    const double stored = status == 'H' ? 0.0 : start_mass(START, k) / DT;
    diag = stored;
    rhs = c * (pr - START.pressure[k]) + stored * START.enthalpy[k] + gar_fluidnodeheatsources(i);
    // A sink draws the node's own fluid: it enters the diagonal and the
    // outflow sum alike. A source enters through the outflow sum alone,
    // which keeps the source's enthalpy at the outlet of a steady node.
    if (fm != 0.0) {
      const double v = fm / (rho * area);
      if (fm > 0.0) {
        rhs += fm * hsrc + fm * v * v / 2.0;
      } else {
        diag += std::abs(fm);
        rhs -= std::abs(fm) * v * v / 2.0;
      }
    }
    const WallHeat wall{START, nnode, tabs, t, START.temperature[k]};
    double outflow = -fm, g = std::abs(fm) / 2.0, gs = std::abs(START.source[k]) / 2.0;
    const bool by_length = gar_fluidnodevolumecontrolflags(i)[0] == 'L';
    LoopGuard guard("FCNGTK");
    walk_fluid_list(i, [&](std::int32_t kind, std::int32_t e, std::int32_t j) {
      guard.tick();
      switch (kind) {
        case 1: {
          if (!link_active(e)) break;
          const std::int32_t n1 = link_first(e), n2 = link_second(e);
          const double l1 = gar_fluidnodelengths(n1), l2 = gar_fluidnodelengths(n2);
          const double lj = gar_fluidnodelengths(j), rhoj = PROPS.rho[ix(j)];
          const bool short_ends = std::abs(len) < kTiny && std::abs(lj) < kTiny;
          const double zj = short_ends ? gar_fluidnodecoordsz(n1)
                                       : gar_fluidnodecoordsz(n1) +
                                             (gar_fluidnodecoordsz(n2) - gar_fluidnodecoordsz(n1)) * l1 / (l1 + l2);
          const double dvdt = gar_fluidnodevolumechangerates(i);
          const double a = !by_length ? 0.0
                           : short_ends ? 0.5 * rho * dvdt
                                        : 0.5 * (rhoj * len + rho * lj) / (len + lj) * dvdt;
          const double w = gar_massflowlinkflowrates(e), aw = std::abs(w);
          g += aw / 2.0;
          gs += std::abs(START.flow[ix(e)]) / 2.0;
          const std::int32_t type = gar_massflowlinktypes(e);
          if (type != kMomentumLink && type != kEvaporativeLink) unknown_link_type("FCNGTK");
          if (leaves(e, i)) {
            outflow += aw + a;
            const std::int32_t end = link_end(e, i);
            if (budget.active && separation_end(e, end)) {
              const double xl = outlet_quality(budget, separation_quality(e, end)), hlink = hl + xl * (hv - hl);
              gar_massflowlinkvapquals(e) = xl;
              gar_massflowlinkenthalpies(e) = hlink;
              rhs -= hlink * (aw + a);
            } else {
              diag += aw + a;
              gar_massflowlinkenthalpies(e) = h;
              gar_massflowlinkvapquals(e) = x;
            }
            if (type == kMomentumLink) {
              const double v = aw / (rho * area);
              rhs -= aw * ((zj - z) * gravz + 0.5 * v * v);
            }
          } else {
            const double d = aw - a;
            outflow -= d;
            if (type == kEvaporativeLink) {
              rhs += d * hv;
              break;
            }
            const double v = aw / (rhoj * gar_fluidnodeflowareas(j));
            rhs += aw * ((zj - z) * gravz + 0.5 * v * v);
            const std::int32_t upstream_end = w > 0.0 ? 1 : 2;
            const char sj = gar_fluidnodestatuses(j)[0];
            if (w != 0.0 && separation_end(e, upstream_end) &&
                std::abs(gar_massflowlinkvapquals(e) - gar_fluidnodevapourqualities(j)) >= kTiny)
              rhs += d * gar_massflowlinkenthalpies(e);
            else if (sj == 'R' || sj == 'K')
              rhs += d * gar_fluidnodespecenthalpies(j);
            else
              SYSTEM.at(p, SYSTEM.position(j)) -= d;
          }
          break;
        }
        case 2:
          if (gar_linearcondacts(e)[0] == 'A') rhs += wall.linear(gar_linearconds(e), j);
          break;
        case 3:
          if (gar_radiativecondacts(e)[0] == 'A') rhs += wall.radiative(stefan * gar_radiativeconds(e), j);
          break;
        default:
          if (e > 0 && gar_fluidiccondacts(e)[0] == 'A') rhs += wall.linear(gar_fluidicconds(e), j);
          break;
      }
      return true;
    });
    const double as = START.area[k];
    rhs -= (c / 2.0) * (g * g / (rho * area * area) - gs * gs / (START.properties.rho[k] * as * as));
    diag -= outflow;
    if (status != 'H') DISPLACED[k] = node_mass(i, rho) / DT - stored + outflow;
    if (std::abs(diag) < kTiny) {
      // The identity row: entries already made in the row would tie the
      // node's enthalpy to its neighbours'.
      const TwoPhaseLayout& t7 = *SYSTEM.layout;
      for (std::int32_t col = ProfileIndex::at(t7.first, p); col <= ProfileIndex::at(t7.last, p); ++col)
        SYSTEM.at(p, col) = 0.0;
      SYSTEM.at(p, p) = 1.0;
      rhs = h;
    }
  }
  return_displaced_energy(START, SYSTEM, DISPLACED);
}
