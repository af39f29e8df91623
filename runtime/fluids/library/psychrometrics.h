// Psychrometrics: humid air as dry air with water vapour, for the humid-air
// fluid AIRW and the humid-air transport of the fluid loops.
//
// Everything here works in absolute units: temperatures in K, pressures in
// Pa. The saturation pressures come from the equations of the international
// water property standards (not from the saturation tables of water, whose
// range starts at 610 Pa and whose saturation temperature disagrees with the
// saturation pressure by 0.2 K near the triple point), so that a dew or frost
// point is the exact inverse of the saturation pressure that condensation on
// a wall compares with:
//   - over liquid water from the triple point up: the auxiliary equation of
//     the 1995 formulation (Wagner and Pruss), up to the critical point;
//   - over supercooled liquid below the triple point: Murphy and Koop (2005);
//   - over ice below the triple point: the 2011 sublimation equation (Wagner,
//     Riethmann, Feistel and Harvey), which holds down to 50 K.
// Relative humidity is taken over liquid water at every temperature; a wall
// below the triple point condenses as frost, over ice.
//
// The enthalpy of humid air is per kilogram of dry air, from dry air and
// liquid water at 0 degrees Celsius: h = ha(t) + x (hfg0 + hv(t)), ha and hv
// the specific heats of dry air and of water vapour integrated from 0
// degrees, hfg0 = 2501 kJ/kg. Its temperature derivative is ca + x cv, (1 + x)
// times the specific heat per kilogram of humid air that AIRW answers.
#pragma once

#include <cstdint>

namespace kalvir::fluids::psychro {

// Ratio of the molar masses of water and dry air.
inline constexpr double kMolarRatio = 0.6221;
inline constexpr double kTriplePoint = 273.16;       // K
inline constexpr double kTriplePressure = 611.657;   // Pa
inline constexpr double kZeroCelsius = 273.15;       // K
inline constexpr double kLatentAtZero = 2.501e6;     // J/kg, vaporisation at 0 degrees Celsius

// Saturation pressure of water vapour over liquid water (supercooled below
// the triple point), over ice, and over the surface that a wall at that
// temperature holds: ice below the triple point, liquid from it up. Not a
// number counts as too hot; above the critical point the critical pressure.
double saturation_pressure_liquid(double tk);
double saturation_pressure_ice(double tk);
double saturation_pressure_surface(double tk);

// The temperature whose surface saturation pressure is PV: the dew point
// from the triple-point pressure up, the frost point below. PV above the
// critical pressure gives the critical temperature, and PV below the frost
// point of 50 K (dry air for any purpose) gives 50 K; both warn once for
// NODE. PV must be positive.
double dew_point(double pv, std::int32_t node);

// Humidity ratio (kg of vapour per kg of dry air) of vapour pressure PV in
// air at total pressure P, and the vapour pressure of humidity ratio X.
double humidity_ratio(double pv, double p);
double vapour_pressure(double x, double p);

// Enthalpy released per kilogram of vapour that deposits as ice at TK
// (Murphy and Koop), J/kg.
double sublimation_enthalpy(double tk);

// A property of water vapour diluted in air, from a table of the saturated
// vapour (PCP02, PCND02, PVSC02), whose range starts at the triple point.
// Vapour in air lies below it whenever the air is below freezing; there the
// specific heat of the dilute gas hardly changes (HOLD: the first table
// value), while its conductivity and viscosity go with the absolute
// temperature (PROPORTIONAL). Within the table the table answers.
using VapourTable = double (*)(std::int32_t NODE, double T, double TOFF);
enum class BelowTriple { hold, proportional };
double dilute_vapour(VapourTable table, BelowTriple rule, std::int32_t node, double t, double toff);

// Density of water vapour at partial pressure PV and TK: the virial equation
// of steam, which holds from 0 degrees Celsius; below, the vapour (at most
// 611 Pa there) is an ideal gas scaled from 0 degrees.
double vapour_density(double pv, double tk);

// Enthalpy of humid air per kilogram of dry air at TK with humidity ratio X,
// and the temperature at which it is H. NODE names the node in the
// messages of the property routines.
double enthalpy(double tk, double x, std::int32_t node);
double temperature(double h, double x, std::int32_t node);

// Humid air of enthalpy H (per kilogram of dry air) at relative humidity PHI
// and total pressure P: the temperature and the humidity ratio that together
// give it. FOUND is false when no state does (H below that of air at 100 K,
// or PHI negative).
struct HumidState {
  bool found = false;
  double tk = 0.0, x = 0.0;
};
HumidState state_from_enthalpy(double h, double phi, double p, std::int32_t node);

}  // namespace kalvir::fluids::psychro
