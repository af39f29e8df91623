// The cyclic analysis SOLCYC: a transient solution routine run over one
// period again and again, each cycle from the state the previous one ended
// in, until the temperatures (and, on request, their rates) at the end of a
// cycle settle. Then TIMEO goes back to the start time and TIMEND to its
// value before the call, so that a transient called next runs from the start
// time with the cyclic state. The rate routines LPDTTM, SCNDHF and LFDTTM
// serve the convergence test.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace kalvir::thermal {

// What SOLCYC takes from the fluid-loop solution, which lies above the
// thermal solution: the four fluid-loop routines it can repeat, the link
// conductances it brings up to date (SGMCAL) and the heat flows into a fluid
// node (SFCDHF); filled by kalvir::install_run_hooks.
struct CyclicFluidLoops {
  void (*FLTNTS)() = nullptr;
  void (*FLTMTS)() = nullptr;
  void (*FLTNTF)() = nullptr;
  void (*FGENFI)() = nullptr;
  void (*SGMCAL)(std::int32_t N) = nullptr;
  void (*SFCDHF)(std::int32_t J, std::int32_t SLOT, double& QSOURCE, double& QFLUIDIC, double& QLINEAR,
                 double& QLINK, double& QRAD) = nullptr;
};
void set_cyclic_fluid_loops(const CyclicFluidLoops& loops);

// A routine the cyclic analysis can repeat, with the run tag it gets in
// SOLVER; run is null while the routine is not part of the build. The
// fluid-loop routines run through CyclicFluidLoops.
struct CyclicRoutine {
  std::string_view name;
  std::string_view tag;
  void (*run)();
};

// The ten routines, in the order of the table of names.
std::span<const CyclicRoutine> cyclic_routines();

}  // namespace kalvir::thermal

// ROUTINE is compared over 6 characters, trailing blanks ignored. TOLT and
// TOLR are the accepted changes of a tested temperature and rate between the
// ends of two cycles (TOLR at 1.0E10 or above: no rates at all); GROUP
// selects the tested nodes (blank: all); OUTOPT is OUTIME while cycling.
void SOLCYC(std::string_view ROUTINE, double TOLT, double TOLR, double PERIOD, std::int32_t MAXCYC,
            std::string_view GROUP, std::string_view OUTOPT);

// Temperature rate of thermal node I: its heat loads and heat flows over its
// capacitance, 0 unless it is a diffusion node with a capacitance.
void LPDTTM(std::int32_t I, double& RATE);

// Heat flows into thermal node I through its active fluidic (positive
// entries), linear and radiative conductors; neighbours of status X take no
// part, fluid neighbours give their fluid temperature.
void SCNDHF(std::int32_t I, double& QF, double& QL, double& QRAD);

// Temperature rate of fluid node I (1..NF) of fluid slot SLOT, given the five
// heat-flow terms into it that the fluid-loop solution computes: 1.0E20 for a
// node without heat capacity, 0 for a node of status H, K or R.
void LFDTTM(std::int32_t I, std::int32_t SLOT, std::span<const double, 5> FLOWS, double& RATE);
