// Small services of the fluid-loop solutions: the breadth-first ordering of
// the fluid nodes along their mass-flow links with the profile index table
// of the hydraulic matrix (FPNTRS), the humid-air test (FTAIRW), the link
// thermal conductances from the mass flows (SGMCAL), the heat flows into a
// fluid node by kind (SFCDHF, for the cyclic analysis), the volume changes of
// a step and of a compliance (CVOLST, CVOLSP), the submodel of a fluid node
// (SMODND), and a node's mass imbalance and a link flow's change measure for
// the hydraulics (MFCONS, MFCHK).
//
// Fluid nodes are their positions 1..NF in the fluid-node arrays; the
// property functions and messages name them by the internal index
// NNODE + position. The routines read the model's arrays directly; work
// vectors of the solutions are handed in as spans indexed from 0 for node 1.
#pragma once

#include <cmath>
#include <cstdint>
#include <span>
#include <string_view>

#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/modeldata/fpcs.h"
#include "runtime/fluidloop/profile_solver.h"
#include "runtime/fluids/interface/fluid_names.h"

namespace kalvir::fluidloop {

// The ends of mass-flow link l: a positive flow runs from the first to the
// second.
inline std::int32_t link_first(std::int32_t l) { return gar_massflowlinkcondnodepairs(2LL * l - 1); }
inline std::int32_t link_second(std::int32_t l) { return gar_massflowlinkcondnodepairs(2LL * l); }
inline bool link_active(std::int32_t l) { return gar_massflowlinkstatuses(l)[0] == 'A'; }
// True when link l carries flow into fluid node n.
inline bool flows_into(std::int32_t l, std::int32_t n) {
  const double m = gar_massflowlinkflowrates(l);
  return (link_second(l) == n && m > 0.0) || (link_first(l) == n && m < 0.0);
}
// Fluid slot of fluid node n.
inline std::int32_t fluid_slot(std::int32_t n) { return FTYPEI(gar_fluidnodefluidtypes(n)); }
// Internal node index of fluid node n.
inline std::int32_t internal_index(std::int32_t n) { return FLAGS(flagw::NNODE) + n; }
// The fluid mass that node n holds at density RHO: the density times the
// node's volume. The volume is the state that every volume change moves
// (CVOLST, CVOLSP, a model's own setting); its flow area times its length
// follows it only under the volume control flags "A" and "L". Every
// fluid-loop solution takes a node's heat capacity and storage from here.
inline double node_mass(std::int32_t n, double rho) { return rho * gar_fluidnodevolumes(n); }

// The flow regime word of a vapour quality: "LIQ" at 0, "VAP" at 1, "HEM"
// between.
inline std::string_view flow_regime(double quality) {
  if (std::abs(quality) < 1.0e-37) return "LIQ";
  if (std::abs(1.0 - quality) < 1.0e-37) return "VAP";
  return "HEM";
}
// Fluid nodes of status J or R hold their pressure.
inline bool fixed_pressure(std::int32_t n) {
  const char c = gar_fluidnodestatuses(n)[0];
  return c == 'J' || c == 'R';
}

// Walks fluid node n's list (SFUNPK, mode 0: conductors to thermal nodes of
// status X passed over) and calls f(kind, conductor or link, neighbour) for
// each entry: kind 1 mass-flow link, 2 linear, 3 radiative, 4 fluidic
// conductor; f returns false to stop the walk.
template <class F>
void walk_fluid_list(std::int32_t n, F&& f) {
  std::int32_t kind = 0, pos = 0, cond = 0, neighb = 0;
  for (;;) {
    SFUNPK(0, n, gar_thermalnodestatuses, gar_pcsfluid.span(), gar_pcsptrsfluid.span(), kind, pos, cond, neighb);
    if (kind > 4) return;
    if (!f(kind, cond, neighb)) return;
  }
}

}  // namespace kalvir::fluidloop

// Orders the NF fluid nodes breadth-first along their mass-flow links (each
// connected group after the other) and fills the five columns of TABLE;
// L := the profile length d(NF), 0 without fluid nodes.
void FPNTRS(std::int32_t NF, const kalvir::fluidloop::ProfileIndex& TABLE, std::int32_t& L);

// True when one of the first NF fluid names (trailing blanks ignored) is AIRW.
bool FTAIRW(std::int32_t NF);

// Link thermal conductance of each of the N mass-flow links:
// |flow| x (cp(a) + cp(b)) / 2 at the states of its two fluid nodes.
void SGMCAL(std::int32_t N);

// Heat flows into fluid node J (fluid slot SLOT): from its mass source, its
// active fluidic, linear and radiative conductors and its active links that
// carry flow into it.
void SFCDHF(std::int32_t J, std::int32_t SLOT, double& QSOURCE, double& QFLUIDIC, double& QLINEAR, double& QLINK,
            double& QRAD);

// The volume change of a step of length DTIMEU for the NF fluid nodes from
// their volume change rates, with the geometry that the volume control flag
// lets follow ('A': flow area and hydraulic diameter at fixed length, 'L':
// length at fixed area). RATES (NF words) takes a copy of the rates. A
// volume, or the flow area a length follows from, that is not positive ends
// the run with a message naming the node.
void CVOLST(std::int32_t NF, double DTIMEU, std::span<double> RATES);

// The compliance volume change of one iteration: node n's volume grows by
// (PNEW(n) - P(n)) x compliance x volume, P being the node pressures before
// the iteration, and the geometry follows as in CVOLST. With ADDRATE set the
// change over DTIMEU is added to the step's volume change rate X(n).
void CVOLSP(std::int32_t NF, std::span<const double> PNEW, std::span<double> X, bool ADDRATE, double DTIMEU);
// The same change measured from the step's start: node n's volume becomes
// VSTART(n) x (1 + compliance x (PNEW(n) - PSTART(n))). The volume is then a
// function of the pressure alone, so an iteration that is repeated or a
// step that is rejected leaves no trace in it; applied once per iteration
// from the current state instead, the changes of every iteration add up and
// a sealed loop loses or gains mass with each step.
void CVOLSP(std::int32_t NF, std::span<const double> PNEW, std::span<const double> PSTART,
            std::span<const double> VSTART, std::span<double> X, bool ADDRATE, double DTIMEU);

// Submodel number of fluid node J.
std::int32_t SMODND(std::int32_t J);

// Net inflow of fluid node N: its mass source plus the flows of its active
// links other than link EXCLUDE, + where N is the link's second node and -
// where it is the first.
double MFCONS(std::int32_t N, std::int32_t EXCLUDE);

// Change measure of the flow of link LINK from OLD to NEW, relative to the
// old flow (or to the new one when the old is within MINFLO); a measure above
// RELXMC becomes RELXMC with NRLXMC := LINK.
void MFCHK(std::int32_t LINK, double MINFLO, double NEW, double OLD);
