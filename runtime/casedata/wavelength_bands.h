// Radiative conductors given per wavelength band: the effective grey-body
// value of a conductor for the current absolute temperatures of its nodes,
// from the fraction of blackbody emissive power below a wavelength.
#pragma once

#include <cstdint>
#include <span>

namespace kalvir::acds {
struct ModelNode;

// Entry k (0..1000) of the blackbody fraction table: the fraction of the
// emissive power below lambda at lambda*T = k * 1e-4 m K.
double blackbody_table_entry(std::int32_t k);
}  // namespace kalvir::acds

// Fraction of blackbody emissive power below lambda at temperature T, for
// X = lambda * T in m K: 0 for X <= 0, 1 for X >= 0.1, otherwise interpolated
// linearly in the table.
double BlackBodyFracPower(double X);

// The value G with G (T1^4 - T2^4) = S1 T1^4 - S2 T2^4, where S is the sum of
// the band values weighted with the blackbody fraction of each band at that
// temperature (kelvin). LAMBDA holds NWB + 1 band edges in metres, VALUES NWB
// band values. Temperatures closer than 1e-6 are moved 1e-6 apart first.
double RadCondPiecewiseGreyBody(double T1, double T2, std::int32_t NWB, std::span<const double> LAMBDA,
                                std::span<const double> VALUES);

// GR of every time-dependent conductor of NODE from its band rows at weight W
// of the current slice and the current temperatures of its two nodes (the
// node's work list holds the band values of one conductor at a time).
void updateradcondstimedepwavedep(kalvir::acds::ModelNode& NODE, double W);
