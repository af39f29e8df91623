// Thermal conductivity, specific heat and viscosity of the library fluid
// types as functions of temperature alone, and the compressibility of liquid
// ammonia: two-range linear tables for the liquids and vapours (types 01 to
// 16) and polynomials for air (type 00).
//
// The table routines take the internal node index that their warning names
// (0 for none), the temperature in model units and the offset that turns it
// into kelvin (callers pass TABS). Below the first or at or above the last
// table temperature, and for a temperature that is not a number, they return
// the end value with a warning (severity 2, code 1). Results are SI:
// W/(m K), J/(kg K), Pa s and 1/Pa. The specific heats of the refrigerant
// vapours of types 04, 06, 10, 12 and 14 depend on pressure too and come from
// their equations of state (vapour.h).
#pragma once

#include <cstdint>
#include <span>

// Sum of C(k) X^(k-1), k = 1 to N, added in increasing powers. N must lie
// between 1 and the size of C; the run stops through ERROR("PPOLY") otherwise.
double PPOLY(double X, std::span<const double> C, std::int32_t N);

// Air (type 00): polynomials in the absolute temperature, valid at any temperature.
double PCND00(double T, double TOFF);
double PCP00(double T, double TOFF);
double PVSC00(double T, double TOFF);

// Thermal conductivity, W/(m K).
double PCND01(std::int32_t NODE, double T, double TOFF);  // water liquid
double PCND02(std::int32_t NODE, double T, double TOFF);  // water vapour
double PCND03(std::int32_t NODE, double T, double TOFF);  // R11 liquid
double PCND04(std::int32_t NODE, double T, double TOFF);  // R11 vapour
double PCND05(std::int32_t NODE, double T, double TOFF);  // R12 liquid
double PCND06(std::int32_t NODE, double T, double TOFF);  // R12 vapour
double PCND07(std::int32_t NODE, double T, double TOFF);  // R21 liquid
double PCND08(std::int32_t NODE, double T, double TOFF);  // R21 vapour
double PCND09(std::int32_t NODE, double T, double TOFF);  // R22 liquid
double PCND10(std::int32_t NODE, double T, double TOFF);  // R22 vapour
double PCND11(std::int32_t NODE, double T, double TOFF);  // R114 liquid
double PCND12(std::int32_t NODE, double T, double TOFF);  // R114 vapour
double PCND13(std::int32_t NODE, double T, double TOFF);  // R502 liquid
double PCND14(std::int32_t NODE, double T, double TOFF);  // R502 vapour
double PCND15(std::int32_t NODE, double T, double TOFF);  // ammonia liquid
double PCND16(std::int32_t NODE, double T, double TOFF);  // ammonia vapour

// Specific heat at constant pressure, J/(kg K).
double PCP01(std::int32_t NODE, double T, double TOFF);  // water liquid
double PCP02(std::int32_t NODE, double T, double TOFF);  // water vapour
double PCP03(std::int32_t NODE, double T, double TOFF);  // R11 liquid
double PCP05(std::int32_t NODE, double T, double TOFF);  // R12 liquid
double PCP07(std::int32_t NODE, double T, double TOFF);  // R21 liquid
double PCP08(std::int32_t NODE, double T, double TOFF);  // R21 vapour
double PCP09(std::int32_t NODE, double T, double TOFF);  // R22 liquid
double PCP11(std::int32_t NODE, double T, double TOFF);  // R114 liquid
double PCP13(std::int32_t NODE, double T, double TOFF);  // R502 liquid
double PCP15(std::int32_t NODE, double T, double TOFF);  // ammonia liquid
double PCP16(std::int32_t NODE, double T, double TOFF);  // ammonia vapour

// Dynamic viscosity, Pa s.
double PVSC01(std::int32_t NODE, double T, double TOFF);  // water liquid
double PVSC02(std::int32_t NODE, double T, double TOFF);  // water vapour
double PVSC03(std::int32_t NODE, double T, double TOFF);  // R11 liquid
double PVSC04(std::int32_t NODE, double T, double TOFF);  // R11 vapour
double PVSC05(std::int32_t NODE, double T, double TOFF);  // R12 liquid
double PVSC06(std::int32_t NODE, double T, double TOFF);  // R12 vapour
double PVSC07(std::int32_t NODE, double T, double TOFF);  // R21 liquid
double PVSC08(std::int32_t NODE, double T, double TOFF);  // R21 vapour
double PVSC09(std::int32_t NODE, double T, double TOFF);  // R22 liquid
double PVSC10(std::int32_t NODE, double T, double TOFF);  // R22 vapour
double PVSC11(std::int32_t NODE, double T, double TOFF);  // R114 liquid
double PVSC12(std::int32_t NODE, double T, double TOFF);  // R114 vapour
double PVSC13(std::int32_t NODE, double T, double TOFF);  // R502 liquid
double PVSC14(std::int32_t NODE, double T, double TOFF);  // R502 vapour
double PVSC15(std::int32_t NODE, double T, double TOFF);  // ammonia liquid
double PVSC16(std::int32_t NODE, double T, double TOFF);  // ammonia vapour

// Isothermal compressibility of saturated liquid ammonia, 1/Pa, tabulated from
// -77 to 91 degrees Celsius (91 included).
double PKT15(std::int32_t NODE, double T, double TOFF);
