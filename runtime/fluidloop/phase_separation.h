// Phase separation at the fluid nodes of the two-phase solution. A link end
// marked as a phase-separation end draws fluid of its own vapour quality from
// its node instead of the node's mixed state (the liquid and vapour outlets
// of a separator). MHXINI gives such links their start enthalpy, PHSCHT
// keeps the budget of the liquid and vapour that a node can deliver over a
// step, and MHXSET applies it to the outlets of a node whose enthalpy is
// held. When the outlets ask for more of a phase than the node holds, their
// quality shifts so that the node delivers what it has.
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/fluidloop/support.h"

namespace kalvir::fluidloop {

// True when link l's flow leaves fluid node n (n one of its ends): a flow at
// rest leaves its first node.
inline bool leaves(std::int32_t l, std::int32_t n) {
  return gar_massflowlinkflowrates(l) >= 0.0 ? link_first(l) == n : link_second(l) == n;
}
// The end (1 or 2) of link l at fluid node n.
inline std::int32_t link_end(std::int32_t l, std::int32_t n) { return link_first(l) == n ? 1 : 2; }
inline bool separation_end(std::int32_t l, std::int32_t end) { return gar_massflowlinkphasesepflags(end, l) != 0; }
inline double separation_quality(std::int32_t l, std::int32_t end) {
  return gar_massflowlinkphasesepvapquals(end, l);
}

// Mass-flow link types.
inline constexpr std::int32_t kMomentumLink = 1;
inline constexpr std::int32_t kEvaporativeLink = 2;
// A link of another type ends the run with ROUTINE's message.
[[noreturn]] void unknown_link_type(std::string_view routine);

// The separator budget of a fluid node over one iteration's step.
struct SeparatorBudget {
  bool active = false;  // an outflowing momentum link leaves through a separation end
  double liquid_demand = 0.0, vapour_demand = 0.0;
  double liquid_available = 0.0, vapour_available = 0.0;
  bool liquid_sufficient = true, vapour_sufficient = true;
};

// Quality of an outlet of quality XPS from the separator of BUDGET: XPS when
// the node holds both phases' demand, else shifted toward the phase it has.
double outlet_quality(const SeparatorBudget& budget, double xps);

}  // namespace kalvir::fluidloop

// Start enthalpy and quality of the links leaving each of the NF fluid
// nodes: saturated at the node's pressure with the end's quality through a
// separation end of a momentum link, the node's own state otherwise.
void MHXINI(std::int32_t NF);

// The budget of fluid node N over a step DT: enthalpy H, mass source FM of
// enthalpy HSRC, STATUS, saturated enthalpies HL and HV, mass MASS.
void PHSCHT(std::int32_t N, double DT, double H, double FM, double HSRC, char STATUS, double HL, double HV,
            double MASS, kalvir::fluidloop::SeparatorBudget& BUDGET);

// Enthalpy and quality of the active links leaving fluid node N (status K or
// R): the separator's outlet state through a separation end, else the node's.
void MHXSET(std::int32_t N, double HL, double HV, const kalvir::fluidloop::SeparatorBudget& BUDGET);
