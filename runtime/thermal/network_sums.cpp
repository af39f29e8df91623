#include "runtime/thermal/network_sums.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/messages.h"
#include "runtime/control/run_end.h"
#include "runtime/modeldata/packed_walk.h"
#include "runtime/modeldata/search_sort.h"
#include "runtime/platform/fixed_string.h"

namespace kalvir::thermal {

void fatal_node_message(std::string_view text, std::int32_t node, std::string_view routine, std::int32_t code) {
  std::array<char, 160> buffer{};
  assign_padded(buffer, text);
  MESBLD(node, buffer);
  SETERX(trim_right(std::string_view(buffer.data(), buffer.size())), 4, code, routine);
  // SETERX does not return for severity 4.
  internal_stop(routine);
}

void require_positive_net_conductance(std::string_view routine, std::int32_t node, double sum) {
  if (gar_thermalnodestatuses(node)[0] != 'D') return;
  if (sum >= kTiny) return;
  const bool zero = std::abs(sum) < kTiny;
  if (zero && std::abs(gar_thermalnodecapacitances(node)) >= kTiny) return;
  std::array<char, 32> value{};
  std::snprintf(value.data(), value.size(), "%.6G", zero ? 0.0 : sum);
  std::string text(routine);
  text += ": Net conductance is not positive@Sum of the conductances to its neighbours: ";
  text += value.data();
  text += zero ? ", and no capacitance@" : "@";
  fatal_node_message(text, node, routine, 10);
}

void require_positive_net_conductances(std::string_view routine) {
  const std::int32_t nnode = FLAGS(flagw::NNODE);
  const std::span<const double> T = gar_thermalnodetemps.span();
  for (std::int32_t i = 1; i <= nnode; ++i) {
    if (gar_thermalnodestatuses(i)[0] != 'D') continue;
    double sum = 0.0;
    SDGSUM(i, GLOR.STEFAN, T, GLOR.TABS, sum);
    require_positive_net_conductance(routine, i, sum);
  }
}

void runaway_stop(std::string_view above_text, double t, std::int32_t node, std::string_view routine,
                  std::int32_t code) {
  if (t > kRunaway) fatal_node_message(above_text, node, routine, code);
  std::string text(above_text.substr(0, above_text.find("Temperature")));
  std::array<char, 32> value{};
  if (std::isnan(t))
    std::snprintf(value.data(), value.size(), "not a number");
  else
    std::snprintf(value.data(), value.size(), "%.6G", t);
  text += "Temperature out of range: ";
  text += value.data();
  text += "@";
  fatal_node_message(text, node, routine, code);
}

namespace {

bool is_letter(const gar::C1& letters, std::int64_t k, char c) noexcept { return letters(k)[0] == c; }

// h x (Ti - Tj) = STEFAN x GR x (Ti^4 - Tj^4), with absolute temperatures.
inline double radiative_conductance(double stefan, double gr, double ti, double tj) noexcept {
  return stefan * gr * (ti * ti + tj * tj) * (ti + tj);
}

// The record-form run of one kind of node i: first word and number of pairs.
struct Run {
  std::int32_t start;
  std::int32_t count;
};
inline Run record_run(std::int32_t i, int kind) noexcept {
  return {gar_pcsptrsthermal(2 * kind - 1, i), gar_pcsptrsthermal(2 * kind, i)};
}
constexpr int kLinear = 1, kRadiative = 2, kFluidic = 3;

// Calls f(conductor, temperature of the other end as T holds it) for each
// entry of node i's record-form run of one kind whose other end is in the
// network.
template <class F>
inline void for_each_in_network(const NetworkFlags& flags, std::int32_t i, int kind, std::span<const double> T,
                                std::int32_t nnode, F f) {
  const std::int32_t* pcs = gar_pcsthermal.data();
  const Run run = record_run(i, kind);
  for (std::int32_t e = 0; e < run.count; ++e) {
    const std::int32_t j = pcs[run.start - 1 + 2 * e];
    const std::int32_t k = pcs[run.start + 2 * e];
    if (neighbour_in_network(flags, j, nnode)) f(k, neighbour_temperature(T, j, nnode));
  }
}

}  // namespace
}  // namespace kalvir::thermal

using namespace kalvir::thermal;

void SLOGST2(std::int32_t NGF, std::int32_t NGL, std::int32_t NGR, std::int32_t NNODE,
             const kalvir::gar::C1& GFACTS, const kalvir::gar::C1& GLACTS, const kalvir::gar::C1& GRACTS,
             const kalvir::gar::C1& STATUSES, std::span<std::int32_t> DIFFUSION,
             std::span<std::int32_t> GFACTIVE, std::span<std::int32_t> GLACTIVE, std::span<std::int32_t> GRACTIVE,
             std::span<std::int32_t> INNETWORK) {
  for (std::int32_t k = 1; k <= NGF; ++k) GFACTIVE[static_cast<std::size_t>(k - 1)] = is_letter(GFACTS, k, 'A');
  for (std::int32_t k = 1; k <= NGL; ++k) GLACTIVE[static_cast<std::size_t>(k - 1)] = is_letter(GLACTS, k, 'A');
  for (std::int32_t k = 1; k <= NGR; ++k) GRACTIVE[static_cast<std::size_t>(k - 1)] = is_letter(GRACTS, k, 'A');
  for (std::int32_t i = 1; i <= NNODE; ++i) {
    const char s = STATUSES(i)[0];
    if (!DIFFUSION.empty()) DIFFUSION[static_cast<std::size_t>(i - 1)] = s == 'D';
    INNETWORK[static_cast<std::size_t>(i - 1)] = s == 'D' || s == 'B';
  }
}

void SUNPAK(std::int32_t INCLUDE, std::int32_t NODE, const kalvir::gar::C1& STATUSES,
            std::span<const std::int32_t> PACKED, std::span<const std::int32_t> STARTS, std::int32_t& KIND,
            std::int32_t& POS, std::int32_t& COND, std::int32_t& OTHER) {
  // Unlike the loader's readers, the walk's end leaves COND 0 and OTHER as it was.
  const std::int32_t other = OTHER;
  kalvir::unpack_step("SUNPAK", 3, NODE, PACKED, STARTS, KIND, POS, COND, OTHER, [&](std::int32_t, std::int32_t w) {
    if (INCLUDE != 0 || w > STATUSES.size()) return false;
    const char st = STATUSES(w)[0];
    return st == 'X' || st == 'C';
  });
  if (POS == 0) {
    COND = 0;
    OTHER = other;
  }
}

void SRGSUM(std::int32_t NODE, double STEFAN, std::span<const double> T, double TABS, double& SUMG, double& SUMGT) {
  const std::int32_t nnode = FLAGS(flagw::NNODE);
  const double ti = T[static_cast<std::size_t>(NODE - 1)] + TABS;
  SUMG = 0.0;
  SUMGT = 0.0;
  std::int32_t kind = 1, pos = 0, cond = 0, other = 0;
  for (;;) {
    SUNPAK(0, NODE, gar_thermalnodestatuses, gar_pcsthermalold.span(), gar_pcsptrsthermalold.span(), kind, pos,
           cond, other);
    if (kind > 3) break;
    const double tj = neighbour_temperature(T, other, nnode);
    double g = 0.0;
    switch (kind) {
      case kLinear:
        if (is_letter(gar_linearcondacts, cond, 'A')) g = gar_linearconds(cond);
        break;
      case kRadiative:
        if (is_letter(gar_radiativecondacts, cond, 'A'))
          g = radiative_conductance(STEFAN, gar_radiativeconds(cond), ti, tj + TABS);
        break;
      default:
        if (cond > 0 && is_letter(gar_fluidiccondacts, cond, 'A')) g = gar_fluidicconds(cond);
        break;
    }
    SUMG += g;
    SUMGT += g * tj;
  }
}

void SDGSUM(std::int32_t NODE, double STEFAN, std::span<const double> T, double TABS, double& SUMG) {
  double sumgt = 0.0;
  SRGSUM(NODE, STEFAN, T, TABS, SUMG, sumgt);
}

void S5CSGM(std::span<const double> C, std::int32_t NNODE, const kalvir::gar::C1& STATUSES, double& CSGMIN,
            std::int32_t& NCSGMN, double STEFAN, std::span<const double> T, double TABS) {
  CSGMIN = kHuge;
  kalvir::LoopGuard guard("S5CSGM");
  for (std::int32_t i = 1; i <= NNODE; ++i) {
    guard.tick();
    if (STATUSES(i)[0] != 'D') continue;
    const double c = C[static_cast<std::size_t>(i - 1)];
    if (!(std::abs(c) >= kTiny)) continue;
    double g = 0.0;
    SDGSUM(i, STEFAN, T, TABS, g);
    if (!(std::abs(g) >= kTiny)) continue;
    const double r = c / g;
    if (r < CSGMIN) {
      CSGMIN = r;
      NCSGMN = i;
    }
  }
}

void S4GSUM(const NetworkFlags& FLAGSET, std::int32_t I, double STEFAN, std::span<const double> T, double TABS,
            double& SG, double& SGT) {
  const std::int32_t nnode = FLAGS(flagw::NNODE);
  const double ti = T[static_cast<std::size_t>(I - 1)] + TABS;
  SG = 0.0;
  SGT = 0.0;
  auto walk = [&](int kind, auto&& conductance) {
    for_each_in_network(FLAGSET, I, kind, T, nnode, [&](std::int32_t k, double tj) {
      const double g = conductance(k, tj);
      SG += g;
      SGT += g * tj;
    });
  };
  walk(kRadiative, [&](std::int32_t k, double tj) {
    return FLAGSET.gr_active[static_cast<std::size_t>(k - 1)] != 0
               ? radiative_conductance(STEFAN, gar_radiativeconds(k), ti, tj + TABS)
               : 0.0;
  });
  walk(kLinear, [&](std::int32_t k, double) {
    return FLAGSET.gl_active[static_cast<std::size_t>(k - 1)] != 0 ? gar_linearconds(k) : 0.0;
  });
  walk(kFluidic, [&](std::int32_t k, double) {
    return k > 0 && FLAGSET.gf_active[static_cast<std::size_t>(k - 1)] != 0 ? gar_fluidicconds(k) : 0.0;
  });
}

void S1GSUM(const NetworkFlags& FLAGSET, std::int32_t I, double STEFAN, std::span<const double> T, double TABS,
            double& GLF, double& GLFT, double& GR, double& GRT4) {
  const std::int32_t nnode = FLAGS(flagw::NNODE);
  GLF = GLFT = GR = GRT4 = 0.0;
  auto walk = [&](int kind, auto&& add) {
    for_each_in_network(FLAGSET, I, kind, T, nnode, [&](std::int32_t k, double tj) { add(k, tj + TABS); });
  };
  walk(kRadiative, [&](std::int32_t k, double tj) {
    if (FLAGSET.gr_active[static_cast<std::size_t>(k - 1)] == 0) return;
    const double g = gar_radiativeconds(k);
    GR += g;
    GRT4 += g * (tj * tj) * (tj * tj);
  });
  auto conductive = [&](double g, double tj) {
    GLF += g;
    GLFT += g * tj;
  };
  walk(kLinear, [&](std::int32_t k, double tj) {
    if (FLAGSET.gl_active[static_cast<std::size_t>(k - 1)] != 0) conductive(gar_linearconds(k), tj);
  });
  walk(kFluidic, [&](std::int32_t k, double tj) {
    if (k > 0 && FLAGSET.gf_active[static_cast<std::size_t>(k - 1)] != 0) conductive(gar_fluidicconds(k), tj);
  });
  GR *= STEFAN;
  GRT4 *= STEFAN;
}
