// Properties along the saturation line of the two-phase fluids, from tables
// of single-precision values on equally spaced grids, read with the parabola
// through three neighbouring points (PRHO11 with a straight line):
// - PETHnn: specific enthalpy of the saturated liquid (odd nn) or vapour
//   (even nn), J/kg, a function of pressure;
// - PRHOnn: density, kg/m3, of the saturated vapour as a function of pressure
//   (even nn but 16) and of the saturated liquid and of ammonia vapour (16)
//   as a function of temperature;
// - PTSnn: saturation temperature, returned in model units, a function of
//   pressure (one member per fluid, under its vapour number).
//
// Pressure members take the offset before the pressure (callers pass PABS),
// temperature members the temperature before the offset (callers pass TABS).
// Below the lower bound, at or above the upper bound and for an abscissa that
// is not a number, a member returns its end value with a warning (severity 2)
// that names node NODE when NODE is not 0.
#pragma once

#include <cstdint>
#include <span>

#include "runtime/fluids/library/table_engine.h"

// Saturated enthalpy, J/kg, at absolute pressure P + POFF.
double PETH01(std::int32_t NODE, double POFF, double P);  // water liquid
double PETH02(std::int32_t NODE, double POFF, double P);  // water vapour
double PETH03(std::int32_t NODE, double POFF, double P);  // R11 liquid
double PETH04(std::int32_t NODE, double POFF, double P);  // R11 vapour
double PETH05(std::int32_t NODE, double POFF, double P);  // R12 liquid
double PETH06(std::int32_t NODE, double POFF, double P);  // R12 vapour
double PETH07(std::int32_t NODE, double POFF, double P);  // R21 liquid
double PETH08(std::int32_t NODE, double POFF, double P);  // R21 vapour
double PETH09(std::int32_t NODE, double POFF, double P);  // R22 liquid
double PETH10(std::int32_t NODE, double POFF, double P);  // R22 vapour
double PETH11(std::int32_t NODE, double POFF, double P);  // R114 liquid
double PETH12(std::int32_t NODE, double POFF, double P);  // R114 vapour
double PETH13(std::int32_t NODE, double POFF, double P);  // R502 liquid
double PETH14(std::int32_t NODE, double POFF, double P);  // R502 vapour
double PETH15(std::int32_t NODE, double POFF, double P);  // ammonia liquid
double PETH16(std::int32_t NODE, double POFF, double P);  // ammonia vapour

// Saturated vapour density, kg/m3, at absolute pressure P + POFF.
double PRHO02(std::int32_t NODE, double POFF, double P);  // water vapour
double PRHO04(std::int32_t NODE, double POFF, double P);  // R11 vapour
double PRHO06(std::int32_t NODE, double POFF, double P);  // R12 vapour
double PRHO08(std::int32_t NODE, double POFF, double P);  // R21 vapour
double PRHO10(std::int32_t NODE, double POFF, double P);  // R22 vapour
double PRHO12(std::int32_t NODE, double POFF, double P);  // R114 vapour
double PRHO14(std::int32_t NODE, double POFF, double P);  // R502 vapour

// Saturated density, kg/m3, at absolute temperature T + TOFF.
double PRHO01(std::int32_t NODE, double T, double TOFF);  // water liquid
double PRHO03(std::int32_t NODE, double T, double TOFF);  // R11 liquid
double PRHO05(std::int32_t NODE, double T, double TOFF);  // R12 liquid
double PRHO07(std::int32_t NODE, double T, double TOFF);  // R21 liquid
double PRHO09(std::int32_t NODE, double T, double TOFF);  // R22 liquid
double PRHO11(std::int32_t NODE, double T, double TOFF);  // R114 liquid
double PRHO13(std::int32_t NODE, double T, double TOFF);  // R502 liquid
double PRHO15(std::int32_t NODE, double T, double TOFF);  // ammonia liquid
double PRHO16(std::int32_t NODE, double T, double TOFF);  // ammonia vapour

// Saturation temperature at absolute pressure P + POFF, in model units
// (degrees Celsius + 273.15 - TOFF).
double PTS02(std::int32_t NODE, double POFF, double P, double TOFF);  // water
double PTS04(std::int32_t NODE, double POFF, double P, double TOFF);  // R11
double PTS06(std::int32_t NODE, double POFF, double P, double TOFF);  // R12
double PTS08(std::int32_t NODE, double POFF, double P, double TOFF);  // R21
double PTS10(std::int32_t NODE, double POFF, double P, double TOFF);  // R22
double PTS12(std::int32_t NODE, double POFF, double P, double TOFF);  // R114
double PTS14(std::int32_t NODE, double POFF, double P, double TOFF);  // R502
double PTS16(std::int32_t NODE, double POFF, double P, double TOFF);  // ammonia

namespace kalvir::fluids {

// A point of a fluid's saturation line as its saturation-temperature member
// gives it: absolute pressure (Pa) and temperature (K).
struct SaturationPoint {
  double pressure;
  double temperature;
  TableSide side;
};

// The inverse of a saturation-temperature member, given its table (kPTSnn):
// the pressure at which PTSnn gives the absolute temperature t_abs. Below the
// member's lowest temperature, and above its highest (also for a t_abs that
// is not a number), the member's end with the temperature there. No warning:
// the caller decides what a temperature beyond the table means.
SaturationPoint saturation_point(std::span<const TableRange> pts, double t_abs) noexcept;

}  // namespace kalvir::fluids
