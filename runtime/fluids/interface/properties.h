// The fluid-property functions, the fluid names and the derived fluid-state
// functions: everything that a fluid-loop solution or a model's own
// statements call to get a property of one of the ten built-in fluids.
//
// P and T are in model units (absolute values P + PABS in Pa, T + TABS in K),
// H in J/kg, X the vapour quality (for AIRW the humidity ratio), IFL the fluid
// slot 1 to 10 (FTYPEI) and NODE the internal node index that messages name
// (0 names none). The general forms choose the state from X: X <= 0 liquid,
// X >= 1 vapour, anything else (also not a number) two-phase. The saturation
// forms (names ending in S) take X <= 0 as the saturated liquid and X >= 1 as
// the saturated vapour and stop the run for any other X. A property that the
// system does not define for the fluid and state, and a slot outside 1 to 10,
// stop the run with a fatal message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "runtime/fluids/interface/fluid_names.h"

// Density, kg/m3.
double XRHO(double P, double T, double X, std::int32_t IFL, std::int32_t NODE);
double XRHOS(double P, double T, double X, std::int32_t IFL, std::int32_t NODE);
// Specific heat at constant pressure, J/(kg K).
double XCP(double P, double T, double X, std::int32_t IFL, std::int32_t NODE);
double XCPS(double P, double T, double X, std::int32_t IFL, std::int32_t NODE);
// Thermal conductivity, W/(m K).
double XCOND(double P, double T, double X, std::int32_t IFL, std::int32_t NODE);
double XCONDS(double P, double T, double X, std::int32_t IFL, std::int32_t NODE);
// Dynamic viscosity, Pa s.
double XVISC(double P, double T, double X, std::int32_t IFL, std::int32_t NODE);
double XVISCS(double P, double T, double X, std::int32_t IFL, std::int32_t NODE);
// Specific enthalpy, J/kg.
double XENTH(double P, double T, double X, std::int32_t IFL, std::int32_t NODE);
double XENTHS(double P, double T, double X, std::int32_t IFL, std::int32_t NODE);
// Temperature from pressure and enthalpy, and the saturation temperature at
// P, both in model units.
double XTEMP(double P, double H, double X, std::int32_t IFL, std::int32_t NODE);
double XTEMPS(double P, std::int32_t IFL, std::int32_t NODE);
// Joule-Thomson coefficient, K/Pa.
double XJT(double P, double T, double X, std::int32_t IFL, std::int32_t NODE);
double XJTS(double P, double T, double X, std::int32_t IFL, std::int32_t NODE);
// Isothermal compressibility, 1/Pa.
double XKT(double P, double T, double X, std::int32_t IFL, std::int32_t NODE);
double XKTS(double P, double T, double X, std::int32_t IFL, std::int32_t NODE);
// Pressure (defined for no fluid; P and T are not read) and the saturation
// pressure at T in model units.
double XPRES(double P, double T, double X, std::int32_t IFL, std::int32_t NODE);
double XPRESS(double T, std::int32_t IFL, std::int32_t NODE);
// Surface tension, N/m (defined for no fluid), and that of the saturated liquid.
double XSIG(double P, double T, std::int32_t IFL, std::int32_t NODE);
double XSIGS(double P, double T, std::int32_t IFL, std::int32_t NODE);

// --- Derived fluid-state functions -----------------------------------------

// Specific enthalpy of a single-phase state (X <= 0 liquid, X >= 1 vapour):
// the saturated enthalpy plus the specific heat integrated from the
// saturation temperature to T.
double XGHPT1(double P, double T, double X, std::int32_t IFL, std::int32_t NODE);
// Temperature of a single-phase state from P and H, model units.
double XGTPH1(double P, double H, double X, std::int32_t IFL, std::int32_t NODE);
// Integral of the specific heat at constant pressure from TA to TB, J/kg.
double INTCP(double P, double TA, double TB, double X, std::int32_t IFL, std::int32_t NODE);
// Vapour quality from P and T: 0 at or below the saturation temperature, else 1.
double XGXPT(double P, double T, std::int32_t IFL, std::int32_t NODE);
// Vapour quality from P and H, 0 to 1.
double XGXPH(double P, double H, std::int32_t IFL, std::int32_t NODE);
// Density RHO with its derivatives DRDH (by enthalpy at constant pressure,
// kg2/(m3 J)) and DRDP (by pressure at constant enthalpy, kg/(m3 Pa)).
void XDRHO(double H, std::int32_t IFL, std::int32_t NODE, double PABS, double P, double X,
           double TABS, double T, double& DRDH, double& DRDP, double& RHO);
// Specific heat CP(i) and density RHO(i) of N fluid nodes; node i is internal
// node NODE0 + i, its fluid is named by the i-th text of NAMES, whose texts
// are NAME_LENGTH characters each, back to back.
void SCPRHO(std::int32_t N, std::int32_t NODE0, std::span<double> RHO, std::span<double> CP,
            std::span<const double> P, std::string_view NAMES, std::size_t NAME_LENGTH,
            std::span<const double> X, std::span<const double> T);
