// Humid-air transport of the single-phase fluid-loop transients: fluid nodes
// of fluid AIRW carry water vapour with their mass flows, take it in with
// their mass sources, lose it through user sinks and condense it on thermal
// nodes colder than their dew point, which receive the latent heat.
//
// After each fluid step the time loops call HMDIPT (forward-backward and
// implicit solutions, iterated) or HMDNTF (explicit, one pass); both run the
// vapour mass balance WVMCON, the conversions HUMFSP and HUMRSP and the
// condensation CNDNSE. SFMCON lets the hydraulics see the condensed and sunk
// water leave the mass balance and the property functions see the humidity.
#pragma once

#include <cstdint>
#include <span>

#include "runtime/fluids/library/psychrometrics.h"

namespace kalvir::fluidloop {

// The vectors of the humid-air kernels, indexed from 0 for node 1.
struct HumidVectors {
  std::span<double> w0, w;            // vapour mass fraction at the start, current (NF)
  std::span<const double> rho, vdot;  // fluid density and volume change rate (NF)
  std::span<double> rates;            // condensation rate per fluid node (NF), relaxed between calls
  std::span<double> loads;            // condensation heat per thermal node (NNODE)
  std::span<double> saved_sources;    // mass sources while the hydraulics run (NF)
};

// Humidity ratio x at which a vapour fraction of 1 or more is held.
inline constexpr double kSaturatedRatio = 1.0e15;
// Ratio of the molar masses of water and dry air.
inline constexpr double kMolarRatio = fluids::psychro::kMolarRatio;

}  // namespace kalvir::fluidloop

// MODE 0: W := x / (x + 1) from the humidity ratios; otherwise the humidity
// ratios from W.
void HUMFSP(std::int32_t NF, std::int32_t MODE, std::span<double> W);

// AIRW nodes: MODE 0 relative humidities from the humidity ratios, otherwise
// humidity ratios from the relative humidities. Relative humidity is over
// liquid water, supercooled below freezing (psychrometrics.h). A relative
// humidity whose vapour pressure reaches the total pressure stops the run
// naming the node.
void HUMRSP(std::int32_t MODE);

// Vapour mass balance of every fluid node over DTIMEU: FORM 0 explicit,
// 1 trapezoidal; V.w from V.w0.
void WVMCON(std::int32_t FORM, const kalvir::fluidloop::HumidVectors& V);

// Condensation rates of the fluid nodes on thermal nodes colder than their
// dew point, or below freezing their frost point (relaxed by DAMPM), and the
// heat they give each thermal node: the latent heat of condensation, or of
// deposition where the wall is below the triple point.
void CNDNSE(const kalvir::fluidloop::HumidVectors& V);

// AIRW nodes: MODE 1 vapour quality := humidity ratio; MODE 2 the same, the
// mass sources kept in SAVED and the condensed and sunk water taken from
// them; MODE 3 the mass sources put back from SAVED, so that what the model's
// blocks change in between cannot make them drift.
void SFMCON(std::int32_t MODE, std::span<const double> RATES, std::span<double> SAVED);

// Transport after a forward-backward or implicit step, iterated until the sum
// of the vapour fractions settles (at most NLOOPT passes).
void HMDIPT(const kalvir::fluidloop::HumidVectors& V);

// Transport after an explicit step: one pass.
void HMDNTF(const kalvir::fluidloop::HumidVectors& V);
