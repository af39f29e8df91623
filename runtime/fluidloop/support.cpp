#include "runtime/fluidloop/support.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "runtime/control/control_constants.h"
#include "runtime/control/messages.h"
#include "runtime/fluids/interface/properties.h"
#include "runtime/modeldata/fpcs.h"
#include "runtime/modeldata/search_sort.h"
#include "runtime/platform/fixed_string.h"
#include "runtime/thermal/network_sums.h"

using namespace kalvir;
using namespace kalvir::fluidloop;

namespace {

// The geometry that follows a volume change dv of node n (volume v after
// the change): flag 'A' keeps the length, flag 'L' the flow area.
void follow_volume(std::int32_t n, double v, double dv, std::string_view routine) {
  // Nothing to follow: an incompressible node without a volume change keeps
  // its geometry, whatever its volume.
  if (dv == 0.0) return;
  const char flag = gar_fluidnodevolumecontrolflags(n)[0];
  const double length = gar_fluidnodelengths(n);
  const bool by_area = flag == 'A' && !SMINDL(length);
  const bool by_length = !by_area && flag == 'L';
  // A volume that is not positive has no geometry: the square root and the
  // division below would give NaN or infinity and carry it into every
  // property of the node.
  if (!(v > 0.0) || (by_area && !(v - dv > 0.0)) || (by_length && !(gar_fluidnodeflowareas(n) > 0.0)))
    thermal::fatal_node_message(std::string(routine) +
                                    ": Fluid node volume or flow area not positive@Check VOL, FLA, FL, VDT and CMP of",
                                internal_index(n), routine);
  gar_fluidnodevolumes(n) = v;
  if (by_area) {
    gar_fluidnodeflowareas(n) = v / length;
    gar_fluidnodehydraulicdiameters(n) *= std::sqrt(v / (v - dv));
  } else if (by_length) {
    gar_fluidnodelengths(n) = v / gar_fluidnodeflowareas(n);
  }
}

}  // namespace

void FPNTRS(std::int32_t NF, const ProfileIndex& TABLE, std::int32_t& L) {
  L = 0;
  if (NF < 1) return;
  const auto col = [](std::span<std::int32_t> c, std::int32_t i) -> std::int32_t& { return ProfileIndex::at(c, i); };
  std::fill(TABLE.node_of_eq.begin(), TABLE.node_of_eq.end(), 0);
  std::fill(TABLE.eq_of_node.begin(), TABLE.eq_of_node.end(), 0);
  col(TABLE.node_of_eq, 1) = 1;
  col(TABLE.eq_of_node, 1) = 1;
  col(TABLE.first, 1) = 1;
  col(TABLE.diag, 1) = 1;
  std::int32_t r = 2, s = 2;
  LoopGuard guard("FPNTRS");
  for (std::int32_t i = 1;; ++i) {
    guard.tick();
    std::int32_t li = i == 1 ? 1 : std::max(col(TABLE.last, i - 1), i);
    walk_fluid_list(col(TABLE.node_of_eq, i), [&](std::int32_t kind, std::int32_t, std::int32_t n) {
      if (kind != 1) return false;
      if (col(TABLE.eq_of_node, n) == 0) {
        col(TABLE.eq_of_node, n) = r;
        col(TABLE.node_of_eq, r) = n;
        col(TABLE.first, r) = i;
        ++r;
      }
      li = std::max(li, col(TABLE.eq_of_node, n));
      return true;
    });
    col(TABLE.last, i) = li;
    if (r == i + 1) {
      if (r > NF) break;
      while (col(TABLE.eq_of_node, s) != 0) {
        guard.tick();
        ++s;
      }
      col(TABLE.eq_of_node, s) = i + 1;
      col(TABLE.node_of_eq, i + 1) = s;
      col(TABLE.first, i + 1) = i + 1;
      ++s;
      r = i + 2;
    }
    col(TABLE.diag, i + 1) = col(TABLE.diag, i) + li - col(TABLE.first, i + 1) + 2;
  }
  L = col(TABLE.diag, NF);
}

bool FTAIRW(std::int32_t NF) {
  for (std::int32_t n = 1; n <= NF; ++n)
    if (trim_right(gar_fluidnodefluidtypes(n)) == "AIRW") return true;
  return false;
}

void SGMCAL(std::int32_t N) {
  const auto cp = [](std::int32_t n) {
    return XCP(gar_fluidnodepressures(n), gar_fluidnodetemps(n), gar_fluidnodevapourqualities(n), fluid_slot(n),
               internal_index(n));
  };
  for (std::int32_t l = 1; l <= N; ++l)
    gar_massflowlinkconds(l) = std::abs(gar_massflowlinkflowrates(l)) * (cp(link_first(l)) + cp(link_second(l))) / 2.0;
}

void SFCDHF(std::int32_t J, std::int32_t SLOT, double& QSOURCE, double& QFLUIDIC, double& QLINEAR, double& QLINK,
            double& QRAD) {
  QSOURCE = QFLUIDIC = QLINEAR = QLINK = QRAD = 0.0;
  const double tj = gar_fluidnodetemps(J), tabs = GLOR.TABS;
  const double m = gar_fluidnodemassflowsources(J);
  if (m > 0.0) {
    const double tsource = gar_fluidnodemasssourcetemps(J);
    const double cp =
        XCP(gar_fluidnodepressures(J), (tj + tsource) / 2.0, gar_fluidnodevapourqualities(J), SLOT, internal_index(J));
    QSOURCE = m * cp * (tsource - tj);
  }
  const std::int32_t nnode = FLAGS(flagw::NNODE);
  const auto thermal_t = [&](std::int32_t k) {
    return k <= nnode ? gar_thermalnodetemps(k) : gar_fluidnodetemps(k - nnode);
  };
  const double tj4 = std::pow(tj + tabs, 4);
  walk_fluid_list(J, [&](std::int32_t kind, std::int32_t k, std::int32_t nb) {
    switch (kind) {
      case 1:
        if (link_active(k) && flows_into(k, J)) QLINK += gar_massflowlinkconds(k) * (gar_fluidnodetemps(nb) - tj);
        break;
      case 2:
        if (gar_linearcondacts(k)[0] == 'A') QLINEAR += gar_linearconds(k) * (thermal_t(nb) - tj);
        break;
      case 3:
        if (gar_radiativecondacts(k)[0] == 'A')
          QRAD += GLOR.STEFAN * gar_radiativeconds(k) * (std::pow(thermal_t(nb) + tabs, 4) - tj4);
        break;
      default:
        if (k >= 1 && gar_fluidiccondacts(k)[0] == 'A') QFLUIDIC += gar_fluidicconds(k) * (thermal_t(nb) - tj);
        break;
    }
    return true;
  });
}

void CVOLST(std::int32_t NF, double DTIMEU, std::span<double> RATES) {
  for (std::int32_t n = 1; n <= NF; ++n) {
    const double rate = gar_fluidnodevolumechangerates(n);
    const double dv = rate * DTIMEU;
    follow_volume(n, gar_fluidnodevolumes(n) + dv, dv, "CVOLST");
    RATES[static_cast<std::size_t>(n - 1)] = rate;
  }
}

namespace {

// Node n's volume changes by dv under its compliance; the geometry follows
// and, with ADDRATE, the change enters the step's volume change rate.
void comply(std::int32_t n, double dv, std::span<double> X, bool ADDRATE, double DTIMEU) {
  follow_volume(n, gar_fluidnodevolumes(n) + dv, dv, "CVOLSP");
  if (ADDRATE) X[static_cast<std::size_t>(n - 1)] += dv / DTIMEU;
}

}  // namespace

void CVOLSP(std::int32_t NF, std::span<const double> PNEW, std::span<double> X, bool ADDRATE, double DTIMEU) {
  for (std::int32_t n = 1; n <= NF; ++n) {
    const double dp = PNEW[static_cast<std::size_t>(n - 1)] - gar_fluidnodepressures(n);
    comply(n, dp * gar_fluidnodecompliances(n) * gar_fluidnodevolumes(n), X, ADDRATE, DTIMEU);
  }
}

void CVOLSP(std::int32_t NF, std::span<const double> PNEW, std::span<const double> PSTART,
            std::span<const double> VSTART, std::span<double> X, bool ADDRATE, double DTIMEU) {
  for (std::int32_t n = 1; n <= NF; ++n) {
    const auto k = static_cast<std::size_t>(n - 1);
    const double v = VSTART[k] * (1.0 + gar_fluidnodecompliances(n) * (PNEW[k] - PSTART[k]));
    comply(n, v - gar_fluidnodevolumes(n), X, ADDRATE, DTIMEU);
  }
}

std::int32_t SMODND(std::int32_t J) { return gar_fluidnodemodelnums(J); }

double MFCONS(std::int32_t N, std::int32_t EXCLUDE) {
  double sum = gar_fluidnodemassflowsources(N);
  walk_fluid_list(N, [&](std::int32_t kind, std::int32_t l, std::int32_t) {
    if (kind != 1) return false;
    if (l != EXCLUDE && link_active(l)) {
      const double m = gar_massflowlinkflowrates(l);
      if (link_second(l) == N) sum += m;
      if (link_first(l) == N) sum -= m;
    }
    return true;
  });
  return sum;
}

void MFCHK(std::int32_t LINK, double MINFLO, double NEW, double OLD) {
  double c = 0.0;
  if (std::abs(OLD) > MINFLO)
    c = std::abs((NEW - OLD) / OLD);
  else if (std::abs(NEW) > MINFLO)
    c = std::abs((NEW - OLD) / NEW);
  if (c > GLOR.RELXMC) {
    GLOR.RELXMC = c;
    GLOI.NRLXMC = LINK;
  }
}
