// Network helpers shared by the thermal solution routines: the activity and
// node flags built from the status letters, the walk over a node's packed
// connection list, the node conductance sums and the stability limit CSGMIN.
//
// Conductor values, letters and both forms of the connection list are read
// from the global arrays; the flags and the temperature vectors are passed,
// because each method keeps them in its own work space.
//
// Connection lists name fluid nodes as NNODE + k. Such a neighbour always
// takes part in the sums and its temperature is that of fluid node k: no
// thermal-sized array is ever indexed with it.
#pragma once

#include <cmath>
#include <cstdint>
#include <span>
#include <string_view>

#include "runtime/control/global_arrays.h"

namespace kalvir::thermal {

// Numeric limits of the solution routines.
inline constexpr double kTiny = 1.0e-37;              // a magnitude below counts as zero
inline constexpr double kTinySingle = 9.99999991097579e-38;  // 1.0E-37 held in single precision
inline constexpr double kHuge = 1.0e38;               // stands for infinity
inline constexpr double kRunaway = 1.0e10;            // node temperatures beyond end the run
inline constexpr double kUnsetLimit = 1.0e10;         // DTPMAX, DTROCA at or above: not set

// True for a temperature that ends the run: above 1.0E10 in magnitude or not
// a number at all (a NaN would otherwise pass every "greater than" test).
inline bool runaway(double t) noexcept { return !(std::abs(t) <= kRunaway); }

// The flags of SLOGST2, one 32-bit word per conductor or node (1 yes, 0 no),
// element k - 1 for conductor or node k.
struct NetworkFlags {
  std::span<const std::int32_t> gf_active;
  std::span<const std::int32_t> gl_active;
  std::span<const std::int32_t> gr_active;
  std::span<const std::int32_t> in_network;  // status D or B
};

// Temperature of neighbour j of a connection list: thermal node j of T, or
// fluid node j - NNODE.
inline double neighbour_temperature(std::span<const double> T, std::int32_t j, std::int32_t nnode) noexcept {
  return j <= nnode ? T[static_cast<std::size_t>(j - 1)] : gar_fluidnodetemps(j - nnode);
}
inline bool neighbour_in_network(const NetworkFlags& f, std::int32_t j, std::int32_t nnode) noexcept {
  return j > nnode || f.in_network[static_cast<std::size_t>(j - 1)] != 0;
}

// Total heat load of thermal node i: QA + QE + QI + QR + QS, in that order.
inline double node_heat_load(std::int32_t i) noexcept {
  return gar_thermalnodeheatsourcesalbedo(i) + gar_thermalnodeheatsourcesplanet(i) +
         gar_thermalnodeheatsourcesinternal(i) + gar_thermalnodeheatsourcesother(i) +
         gar_thermalnodeheatsourcessolar(i);
}

// Text of a fatal node message: TEXT with the node's identity appended.
[[noreturn]] void fatal_node_message(std::string_view text, std::int32_t node, std::string_view routine,
                                     std::int32_t code = 1);

// Ends the run over NODE's runaway temperature T: with ABOVE_TEXT (the
// method's text for a temperature above 1.0E10) when T is above, else with
// the same text's prefix and "Temperature out of range: " and the value, so
// that a temperature far below zero or not a number is not called too hot.
[[noreturn]] void runaway_stop(std::string_view above_text, double t, std::int32_t node, std::string_view routine,
                               std::int32_t code = 1);

// Ends the run (severity 4, code 10, reported by ROUTINE) naming diffusion
// node NODE when SUM, its conductance sum to its neighbours (linear, radiative
// linearised at the temperatures, fluidic), leaves the node without a
// solution: a negative sum, or one that is not a number, with which the true
// temperature runs away while every method still gives numbers (or steps at
// DTMIN), and a zero sum on a node without capacitance, whose temperature
// nothing then determines. A zero sum on a node with capacitance passes: the
// node stores its heat load, as an isolated node does. Other nodes pass.
void require_positive_net_conductance(std::string_view routine, std::int32_t node, double sum);
// The check of every thermal node, summed over its packed list (SDGSUM) at
// the current temperatures: the start of every solution makes it.
void require_positive_net_conductances(std::string_view routine);

}  // namespace kalvir::thermal

// Flags from the letters: active flag per fluidic, linear and radiative
// conductor ('A'), diffusion flag (status 'D') and network flag ('D' or 'B')
// per thermal node. Spans are indexed from 0 for item 1.
void SLOGST2(std::int32_t NGF, std::int32_t NGL, std::int32_t NGR, std::int32_t NNODE,
             const kalvir::gar::C1& GFACTS, const kalvir::gar::C1& GLACTS, const kalvir::gar::C1& GRACTS,
             const kalvir::gar::C1& STATUSES, std::span<std::int32_t> DIFFUSION,
             std::span<std::int32_t> GFACTIVE, std::span<std::int32_t> GLACTIVE, std::span<std::int32_t> GRACTIVE,
             std::span<std::int32_t> INNETWORK);

// One step of the walk over NODE's packed list (gar_pcsthermalold from
// gar_pcsptrsthermalold). Start with POS 0; each call returns the next pair
// (COND, OTHER, KIND 1 linear, 2 radiative, 3 fluidic); the walk is over when
// KIND exceeds 3. INCLUDE 0 passes over thermal neighbours of status X or C.
void SUNPAK(std::int32_t INCLUDE, std::int32_t NODE, const kalvir::gar::C1& STATUSES,
            std::span<const std::int32_t> PACKED, std::span<const std::int32_t> STARTS, std::int32_t& KIND,
            std::int32_t& POS, std::int32_t& COND, std::int32_t& OTHER);

// Conductance sum of NODE over its packed list: linear, linearised radiative
// and positive fluidic conductors whose letter is 'A' and whose other node is
// not of status X or C.
void SDGSUM(std::int32_t NODE, double STEFAN, std::span<const double> T, double TABS, double& SUMG);
// The same walk with SUMGT = sum of g x T(j) as well, in model units.
void SRGSUM(std::int32_t NODE, double STEFAN, std::span<const double> T, double TABS, double& SUMG, double& SUMGT);

// CSGMIN := the smallest C/G over diffusion nodes with C and G not zero
// (first node wins a tie), NCSGMN its node; 1.0E38 and NCSGMN unchanged when
// no node counts.
void S5CSGM(std::span<const double> C, std::int32_t NNODE, const kalvir::gar::C1& STATUSES, double& CSGMIN,
            std::int32_t& NCSGMN, double STEFAN, std::span<const double> T, double TABS);

// Record-form sums of node I (radiative, linear, then positive fluidic
// entries; active conductor and other node in the network): SG = sum of the
// effective conductances, SGT = sum of g x T(j), relative temperatures.
void S4GSUM(const kalvir::thermal::NetworkFlags& FLAGSET, std::int32_t I, double STEFAN, std::span<const double> T,
            double TABS, double& SG, double& SGT);

// Record-form sums of node I in absolute temperatures: GLF = sum GL + GF,
// GLFT = sum g x Tj, GR = STEFAN x sum GR, GRT4 = STEFAN x sum GR x Tj^4.
void S1GSUM(const kalvir::thermal::NetworkFlags& FLAGSET, std::int32_t I, double STEFAN, std::span<const double> T,
            double TABS, double& GLF, double& GLFT, double& GR, double& GRT4);
