#include "runtime/fluidloop/conductance_sums.h"

#include <algorithm>
#include <cmath>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/run_end.h"
#include "runtime/fluidloop/support.h"
#include "runtime/fluids/interface/properties.h"
#include "runtime/modeldata/fpcs.h"
#include "runtime/modeldata/search_sort.h"
#include "runtime/thermal/network_sums.h"

using namespace kalvir;
using namespace kalvir::fluidloop;

namespace kalvir::fluidloop {

HydraulicWork hydraulic_work(const HydraulicBlocks& blocks, std::int32_t nf, std::int32_t nm, std::int32_t length,
                             std::span<double> viscosity, std::span<double> density, std::span<double> volume_rate,
                             std::span<std::int32_t> codes, const ProfileIndex& table) {
  const auto block = [](std::int32_t start, std::int32_t words) {
    return std::span<double>(gar_dynamiccorereal.data() + (start - 1), static_cast<std::size_t>(words));
  };
  return {viscosity,
          density,
          volume_rate,
          block(blocks.matrix, length),
          block(blocks.pressure, nf),
          block(blocks.head, nm),
          block(blocks.conductance, nm),
          block(blocks.rhs, nf),
          codes,
          table};
}

}  // namespace kalvir::fluidloop

namespace {

constexpr double kTiny = thermal::kTiny;

std::span<double> real_words(std::int32_t first, std::int32_t words) {
  if (first < 1 || static_cast<std::int64_t>(first) - 1 + words > gar_dynamiccorereal.size())
    internal_stop("Fluid-loop work area outside the real dynamic core");
  return {gar_dynamiccorereal.data() + (first - 1), static_cast<std::size_t>(words)};
}

// The common part of CSGHYD and FFCSGM; COMBINED puts the fluid nodes'
// minimum into CSGMIN and counts the hydraulic iterations.
void limits_and_hydraulics(std::string_view presence, const ProfileIndex& table, std::span<std::int32_t> codes,
                           bool combined) {
  const std::int32_t nnode = FLAGS(flagw::NNODE), nf = FLAGS(flagw::NF), nm = FLAGS(flagw::NM);
  {
    DynamicCoreMark mark;
    const std::int32_t first = mark.take_real(3 * nf);
    const std::span<double> work = real_words(first, 3 * nf);
    std::fill(work.begin(), work.end(), 0.0);
    const std::span<double> volume_rate = work.subspan(0, static_cast<std::size_t>(nf));
    const std::span<double> density = work.subspan(static_cast<std::size_t>(nf), static_cast<std::size_t>(nf));
    const std::span<double> viscosity = work.subspan(2 * static_cast<std::size_t>(nf), static_cast<std::size_t>(nf));

    GLOR.CSGMIN = SRLMAX();
    if (!combined) GLOR.FCSGMN = SRLMAX();
    for (std::int32_t i = 1; i <= nnode; ++i) {
      const double c = gar_thermalnodecapacitances(i);
      if (gar_thermalnodestatuses(i)[0] != 'D' || !(std::abs(c) > kTiny)) continue;
      double sg = 0.0, sgt = 0.0;
      SRGSUM(i, GLOR.STEFAN, gar_thermalnodetemps.span(), GLOR.TABS, sg, sgt);
      if (std::abs(sg) > kTiny && c / sg < GLOR.CSGMIN) {
        GLOR.CSGMIN = c / sg;
        GLOI.NCSGMN = i;
      }
    }
    const bool fluid = presence.size() >= 2 && presence[1] == 'Y';
    // Fluid nodes without links: no hydraulics and no Courant limit.
    if (fluid && nm < 1) return;
    for (std::int32_t n = 1; fluid && n <= nf; ++n) {
      if (gar_fluidnodestatuses(n)[0] == 'H') continue;
      double sg = 0.0, sgt = 0.0;
      SFGSM(n, sg, sgt);
      if (!(std::abs(sg) > kTiny)) continue;
      const double p = gar_fluidnodepressures(n), t = gar_fluidnodetemps(n), x = gar_fluidnodevapourqualities(n);
      const std::int32_t slot = fluid_slot(n), node = internal_index(n);
      const double tau = XCP(p, t, x, slot, node) * node_mass(n, XRHO(p, t, x, slot, node)) / sg;
      double& least = combined ? GLOR.CSGMIN : GLOR.FCSGMN;
      std::int32_t& at = combined ? GLOI.NCSGMN : GLOI.FNCSGM;
      if (tau < least) {
        least = tau;
        at = node;
      }
    }

    if (fluid) {
      DynamicCoreMark hydraulic_mark;
      const std::int32_t length = table.length();
      HydraulicBlocks blocks;
      std::int32_t next = FLAGS(flagw::NEXTREAL);
      FHDYAR(nm, nf, length, next, blocks);
      FLAGS(flagw::NEXTREAL) = next;
      const HydraulicWork w =
          hydraulic_work(blocks, nf, nm, length, viscosity, density, volume_rate, codes, table);
      std::fill(w.matrix.begin(), w.matrix.end(), 0.0);
      std::int32_t converged = 0, iterations = 0, status = 0;
      FLHYSL(w, 0, converged, iterations, status);
      if (combined) GLOI.SUMFLL += iterations;
      GLOR.DTCOUR = SRLMAX();
      SGCOUR(nm, GLOR.DTCOUR);
    }
  }
  for (std::int32_t l = 1; l <= nm; ++l)
    if (std::abs(gar_massflowlinkflowrates(l)) <= GLOR.MINFLO) gar_massflowlinkflowrates(l) = 0.0;
}

}  // namespace

void SFGSM(std::int32_t N, double& SUMG, double& SUMGT) {
  SUMG = 0.0;
  SUMGT = 0.0;
  const double tabs = GLOR.TABS, stefan = GLOR.STEFAN;
  const double tn = gar_fluidnodetemps(N), tna = tn + tabs;
  const double ms = gar_fluidnodemassflowsources(N);
  if (ms > 0.0) {
    const double ts = gar_fluidnodemasssourcetemps(N);
    const double cp =
        XCP(gar_fluidnodepressures(N), (ts + tn) / 2.0, gar_fluidnodevapourqualities(N), fluid_slot(N), internal_index(N));
    SUMG += cp * ms;
    SUMGT = cp * ms * (ts + tabs);
  }
  const std::int32_t nnode = FLAGS(flagw::NNODE);
  std::int32_t kind = 0, pos = 0, k = 0, j = 0;
  for (;;) {
    SFUNPK(0, N, gar_thermalnodestatuses, gar_pcsfluid.span(), gar_pcsptrsfluid.span(), kind, pos, k, j);
    if (kind > 4) break;
    double g = 0.0, tj = 0.0;
    if (kind == 1) {
      tj = gar_fluidnodetemps(j) + tabs;
      if (link_active(k) && flows_into(k, N)) g = gar_massflowlinkconds(k);
    } else {
      tj = (j <= nnode ? gar_thermalnodetemps(j) : gar_fluidnodetemps(j - nnode)) + tabs;
      if (kind == 2 && gar_linearcondacts(k)[0] == 'A') g = gar_linearconds(k);
      if (kind == 4 && k >= 1 && gar_fluidiccondacts(k)[0] == 'A') g = gar_fluidicconds(k);
      if (kind == 3 && gar_radiativecondacts(k)[0] == 'A')
        g = gar_radiativeconds(k) * stefan * (tna * tna + tj * tj) * (tna + tj);
    }
    SUMG += g;
    SUMGT += g * tj;
  }
}

void FHDYAR(std::int32_t NM, std::int32_t NF, std::int32_t LENGTH, std::int32_t& NEXTFREE, HydraulicBlocks& BLOCKS) {
  const std::int64_t words = static_cast<std::int64_t>(LENGTH) + 2LL * NF + 2LL * NM;
  if (NEXTFREE < 1 || NEXTFREE - 1 + words > gar_dynamiccorereal.size())
    internal_stop("FHDYAR: hydraulic work space outside the real dynamic core");
  BLOCKS.area = NEXTFREE;
  BLOCKS.matrix = NEXTFREE;
  BLOCKS.pressure = BLOCKS.matrix + LENGTH;
  BLOCKS.head = BLOCKS.pressure + NF;
  BLOCKS.conductance = BLOCKS.head + NM;
  BLOCKS.rhs = BLOCKS.conductance + NM;
  NEXTFREE = BLOCKS.rhs + NF;
}

void SGCOUR(std::int32_t NM, double& DTCOUR) {
  const auto rho = [](std::int32_t n) {
    return XRHO(gar_fluidnodepressures(n), gar_fluidnodetemps(n), gar_fluidnodevapourqualities(n), fluid_slot(n),
                internal_index(n));
  };
  for (std::int32_t l = 1; l <= NM; ++l) {
    // An inactive link carries no fluid, so its old flow limits nothing.
    if (!link_active(l)) continue;
    const double m = gar_massflowlinkflowrates(l);
    if (!(std::abs(m) >= kTiny)) continue;
    const std::int32_t a = link_first(l), b = link_second(l);
    const double area = std::min(gar_fluidnodeflowareas(a), gar_fluidnodeflowareas(b));
    const double t = ((gar_fluidnodelengths(a) + gar_fluidnodelengths(b)) / 2.0) * ((rho(a) + rho(b)) / 2.0) * area /
                     std::abs(m);
    if (t < DTCOUR) DTCOUR = t;
  }
}

void CSGHYD(std::string_view PRESENCE, const ProfileIndex& TABLE, std::span<std::int32_t> CODES) {
  limits_and_hydraulics(PRESENCE, TABLE, CODES, false);
}

void FFCSGM(std::string_view PRESENCE, const ProfileIndex& TABLE, std::span<std::int32_t> CODES) {
  limits_and_hydraulics(PRESENCE, TABLE, CODES, true);
}
