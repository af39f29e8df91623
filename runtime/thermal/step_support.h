// What the forward and forward-backward differencing methods share: their
// activity and node flags (the conductor and network flags live in the
// integer core, the diffusion flag beside them for the run), the heat load of
// a node, and the balance of a node without capacitance with its neighbours
// held, in the four forms its conductance allows.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "runtime/thermal/network_sums.h"

namespace kalvir::thermal {

struct MethodFlags {
  std::span<std::int32_t> gf_active, gl_active, gr_active, in_network;
  std::vector<std::int32_t> diffusion;  // status D

  NetworkFlags view() const noexcept { return {gf_active, gl_active, gr_active, in_network}; }
  // SLOGST2 into these flags.
  void rebuild();
  // After a variables 1 call: when the status-change flag is set, rebuild
  // and clear it.
  void follow_status_change();
};

// QA + QE + QI + QR + QS of node i.
double node_heat_load(std::int32_t i) noexcept;

// The four sums of S1GSUM for one node.
struct NodeSums {
  double glf = 0.0, glft = 0.0, gr = 0.0, grt4 = 0.0;
};
NodeSums node_sums(const NetworkFlags& flags, std::int32_t i, std::span<const double> T);

// Which conductances a node without capacitance has.
enum class Balance { None, RadiationOnly, ConductionOnly, Both };
Balance balance_kind(const NodeSums& s) noexcept;

// The temperature that balances load q with the neighbours held, for the
// closed forms (RadiationOnly, ConductionOnly): a fourth root, taken as two
// square roots, or a weighted mean. A net loss by radiation alone has no
// real balance and comes out not a number, which the runaway test catches.
double closed_form_temperature(Balance kind, double q, const NodeSums& s, double tabs) noexcept;

// One Newton correction of the balance q + GLFT + GRT4 - theta (GLF + GR
// theta^3) = 0 at the absolute temperature theta.
double newton_correction(double q, const NodeSums& s, double theta) noexcept;

}  // namespace kalvir::thermal
