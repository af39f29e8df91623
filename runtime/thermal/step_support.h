// What the forward and forward-backward differencing methods share: their
// activity and node flags (the conductor and network flags live in the
// integer core, the diffusion flag beside them for the run) with the compact
// view of the network built from them, the heat load of a node, and the
// balance of a node without capacitance with its neighbours held, in the four
// forms its conductance allows.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "runtime/thermal/conductor_view.h"
#include "runtime/thermal/network_sums.h"
#include "runtime/thermal/solution_frame.h"

namespace kalvir::thermal {

// Sizes of the flag areas: NNODE and the conductor counts raised to at least 1.
struct FlagSizes {
  std::int32_t nnode, ngf, ngl, ngr;
};
FlagSizes flag_sizes();

// The shortage check of the flag areas from the integer core's next-free
// word and of a real work space ending REAL_END words after the real core's
// next-free word.
void check_flag_space(const SolutionFrame& frame, const FlagSizes& sizes, std::int64_t real_end);

struct MethodFlags {
  std::span<std::int32_t> gf_active, gl_active, gr_active, in_network;
  std::vector<std::int32_t> diffusion;  // status D
  ConductorView network;                // built from the flags

  // The four areas, in the order fluidic, linear, radiative, nodes.
  void take(SolutionFrame& frame, const FlagSizes& sizes);
  NetworkFlags view() const noexcept { return {gf_active, gl_active, gr_active, in_network}; }
  // SLOGST2 into these flags, and the view from them.
  void rebuild();
  // After a variables 1 call: when the status-change flag is set, rebuild
  // and clear it; otherwise copy the conductor values that changed into the
  // view.
  void follow_variables1();
};

// The four sums of S1GSUM for one node, from the view.
struct NodeSums {
  double glf = 0.0, glft = 0.0, gr = 0.0, grt4 = 0.0;
};
NodeSums node_sums(const ConductorView& network, std::int32_t i, std::span<const double> T);

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
