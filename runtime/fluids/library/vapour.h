// Specific heats at constant pressure of the refrigerant vapours that depend
// on pressure as well as temperature: the Martin-Hou specific heat of each
// fluid's equation of state. P and T in model units, result in J/(kg K).
#pragma once

#include <cstdint>

double PCP04(double P, double T, std::int32_t NODE);  // R11
double PCP06(double P, double T, std::int32_t NODE);  // R12
double PCP10(double P, double T, std::int32_t NODE);  // R22
double PCP12(double P, double T, std::int32_t NODE);  // R114
double PCP14(double P, double T, std::int32_t NODE);  // R502
