#include "runtime/thermal/step_support.h"

#include <algorithm>
#include <cmath>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/status.h"

namespace kalvir::thermal {

FlagSizes flag_sizes() {
  return {FLAGS(flagw::NNODE), std::max(FLAGS(flagw::NGF), 1), std::max(FLAGS(flagw::NGL), 1),
          std::max(FLAGS(flagw::NGR), 1)};
}

void check_flag_space(const SolutionFrame& frame, const FlagSizes& sizes, std::int64_t real_end) {
  const std::int64_t dystor = FLAGS(flagw::DYSTOR);
  const std::int64_t int_excess = static_cast<std::int64_t>(FLAGS(flagw::NEXTINT)) + sizes.nnode + sizes.ngf +
                                  sizes.ngl + sizes.ngr - dystor;
  const std::int64_t real_excess = static_cast<std::int64_t>(FLAGS(flagw::NEXTREAL)) + real_end - dystor;
  frame.check_space(real_excess, int_excess);
}

void MethodFlags::take(SolutionFrame& frame, const FlagSizes& sizes) {
  gf_active = frame.take_int(sizes.ngf);
  gl_active = frame.take_int(sizes.ngl);
  gr_active = frame.take_int(sizes.ngr);
  in_network = frame.take_int(sizes.nnode);
}

void MethodFlags::rebuild() {
  SLOGST2(FLAGS(flagw::NGF), FLAGS(flagw::NGL), FLAGS(flagw::NGR), FLAGS(flagw::NNODE), gar_fluidiccondacts,
          gar_linearcondacts, gar_radiativecondacts, gar_thermalnodestatuses, diffusion, gf_active, gl_active,
          gr_active, in_network);
  network.build(view());
}

void MethodFlags::follow_variables1() {
  if (stat_getstatst() != 0) {
    rebuild();
    stat_setstatst(0);
  } else {
    network.refresh_values();
  }
}

NodeSums node_sums(const ConductorView& network, std::int32_t i, std::span<const double> T) {
  NodeSums s;
  view_s1gsum(network, i, GLOR.STEFAN, T, GLOR.TABS, s.glf, s.glft, s.gr, s.grt4);
  return s;
}

Balance balance_kind(const NodeSums& s) noexcept {
  const bool lf = std::abs(s.glf) >= kTiny;
  const bool r = std::abs(s.gr) >= kTiny;
  if (lf) return r ? Balance::Both : Balance::ConductionOnly;
  return r ? Balance::RadiationOnly : Balance::None;
}

double closed_form_temperature(Balance kind, double q, const NodeSums& s, double tabs) noexcept {
  if (kind == Balance::RadiationOnly) return std::sqrt(std::sqrt((q + s.grt4) / s.gr)) - tabs;
  return (q + s.glft) / s.glf - tabs;
}

double newton_correction(double q, const NodeSums& s, double theta) noexcept {
  const double v = s.gr * (theta * theta * theta);
  return (q + s.glft + s.grt4 - theta * (s.glf + v)) / (s.glf + 4.0 * v);
}

}  // namespace kalvir::thermal
