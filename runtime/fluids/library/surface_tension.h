// Surface tension of the saturated liquids, N/m: a power law in the distance
// from the critical temperature, one routine per fluid under its liquid
// library type. T in model units, TOFF the offset to kelvin (callers pass
// TABS). At and above the critical temperature (and for a temperature that
// is not a number) the result is 0.
#pragma once

double PSIG01(double T, double TOFF);  // water
double PSIG03(double T, double TOFF);  // R11
double PSIG05(double T, double TOFF);  // R12
double PSIG07(double T, double TOFF);  // R21
double PSIG09(double T, double TOFF);  // R22
double PSIG11(double T, double TOFF);  // R114
double PSIG13(double T, double TOFF);  // R502
double PSIG15(double T, double TOFF);  // ammonia
