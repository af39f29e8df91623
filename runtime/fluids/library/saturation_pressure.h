// Saturation pressures of the two-phase fluids from closed-form equations,
// one routine per fluid under its vapour library type.
//
// Each takes the pressure offset (callers pass PABS), the temperature offset
// (TABS) and the temperature in model units, and returns the saturation
// pressure in model units (Pa - PABS). Outside its range an equation returns
// the pressure at the nearer end (zero, or the critical pressure; a
// temperature that is not a number counts as too high) with a diagnostic.
#pragma once

double PSAT02(double PABS, double TOFF, double T);  // water
double PSAT04(double PABS, double TOFF, double T);  // R11
double PSAT06(double PABS, double TOFF, double T);  // R12
double PSAT08(double PABS, double TOFF, double T);  // R21
double PSAT10(double PABS, double TOFF, double T);  // R22
double PSAT12(double PABS, double TOFF, double T);  // R114
double PSAT14(double PABS, double TOFF, double T);  // R502
double PSAT16(double PABS, double TOFF, double T);  // ammonia
