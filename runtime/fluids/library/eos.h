// Equations of state of the built-in fluids: vapour densities (virial
// equations for steam and ammonia, the Martin-Hou equation for the
// refrigerants, the ideal gas for air), compressed-liquid densities and the
// Martin-Hou specific heat of a refrigerant vapour.
//
// Routines take model temperatures and pressures together with the offsets
// PABS and TABS and form the absolute values themselves, unless a routine
// says otherwise. PFRHOV and PEOS work in British units inside (psia, degrees
// Rankine, ft3/lb).
#pragma once

#include <cstdint>
#include <span>

// Superheated steam density, kg/m3, from the three-term virial equation.
double PROS02(double PABS, double P, double TABS, double T);
// Ammonia vapour density, kg/m3; blends towards the saturated vapour density
// within a band above the saturation temperature.
double PROS16(std::int32_t NODE, double PABS, double P, double TABS, double T);
// Second virial coefficient of ammonia, m3/kmol, interpolated in its table.
double PB16(std::int32_t NODE, double T, double TABS);

// Refrigerant vapour densities, kg/m3, from the Martin-Hou equation.
double PROS04(double PABS, double P, double TABS, double T);  // R11
double PROS06(double PABS, double P, double TABS, double T);  // R12
double PROS08(double PABS, double P, double TABS, double T);  // R21
double PROS10(double PABS, double P, double TABS, double T);  // R22
double PROS12(double PABS, double P, double TABS, double T);  // R114
double PROS14(double PABS, double P, double TABS, double T);  // R502

// Martin-Hou density, kg/m3, at absolute pressure P (Pa) and absolute
// temperature T (K). A, B and C hold A2..A5, B2..B5, C2..C5 (British units).
double PFRHOV(std::span<const double, 4> A, std::span<const double, 4> B,
              std::span<const double, 4> C, double K, double P, double R, double T, double Tc,
              double b);
// Martin-Hou pressure, psia, at T (degrees Rankine) and specific volume v (ft3/lb).
double PEOS(std::span<const double, 4> A, std::span<const double, 4> B,
            std::span<const double, 4> C, double K, double R, double T, double Tc, double v,
            double b);

// Air density, kg/m3, ideal gas.
double PRHO00(double P, double PABS, double T, double TABS);

// Compressed liquid water, kg/m3: saturated density corrected with the speed of sound.
double PROL01(double P, double PABS, double T, double TABS);
// Compressed liquid refrigerants and ammonia, kg/m3.
double PROL03(std::int32_t NODE, double PABS, double P, double TABS, double T);  // R11
double PROL05(std::int32_t NODE, double PABS, double P, double TABS, double T);  // R12
double PROL07(std::int32_t NODE, double PABS, double P, double TABS, double T);  // R21
double PROL09(std::int32_t NODE, double PABS, double P, double TABS, double T);  // R22
double PROL11(std::int32_t NODE, double PABS, double P, double TABS, double T);  // R114
double PROL13(std::int32_t NODE, double PABS, double P, double TABS, double T);  // R502
double PROL15(std::int32_t NODE, double PABS, double P, double TABS, double T);  // ammonia
// Tait-type compressed-liquid density, kg/m3. All values absolute and SI:
// P, Pc, Ps in Pa, T, Tc in K, vs the saturated specific volume in m3/kg.
double PRHOL(double OMEGA, double P, double Pc, double Ps, double T, double Tc, double vs);

// Speed of sound in water, m/s; P and T in model units.
double PSND01(double P, double T);

namespace kalvir::fluids {

// A compressed liquid's density along one isotherm: what its PROLnn takes
// from the temperature alone (the saturation pressure, the saturated density,
// the compressibility or the speed of sound, the Tait correction's
// constants), found once, for the density at any number of pressures. The
// density at P is PROLnn's at P and the isotherm's temperature, to the last
// bit, with the same messages: those of the temperature when the isotherm is
// found, those of the pressure (PRHOL's) at each density.
class LiquidIsotherm {
 public:
  // The isotherm of the liquid of fluid slot `slot` (a two-phase fluid) at
  // model temperature T, with the offsets beside it.
  LiquidIsotherm(std::int32_t slot, std::int32_t NODE, double PABS, double TABS, double T);
  // PRHOL's Tait correction at absolute temperature T (K), saturation
  // pressure Ps (Pa) and saturated specific volume vs, for densities at
  // absolute pressures.
  static LiquidIsotherm tait(double OMEGA, double Pc, double Ps, double T, double Tc, double vs);

  // Density, kg/m3, at model pressure P.
  double density(double P) const;

 private:
  enum class Form : std::uint8_t { sound, compressibility, tait, saturated };
  LiquidIsotherm() = default;
  void set_tait(double OMEGA, double Pc, double Ps, double T, double Tc, double vs);
  double tait_density(double pa) const;

  Form form_ = Form::saturated;
  double pabs_ = 0.0;
  double ps_ = 0.0;      // saturation pressure, model units (sound, compressibility)
  double rhos_ = 0.0;    // saturated density (all but tait)
  double k_ = 0.0;       // compressibility: the compressibility, 1/Pa
  double sound2_ = 0.0;  // sound: the square of the speed of sound
  // tait: the absolute temperature (for the messages), the saturated specific
  // volume, the correction's C, B and Ps + B, and whether the temperature is
  // at or above the critical one.
  double t_ = 0.0, vs_ = 0.0, c_ = 0.0, beta_ = 0.0, ps_beta_ = 0.0;
  bool critical_ = false;
};

}  // namespace kalvir::fluids

namespace kalvir {
// The 21 constants of a refrigerant's Martin-Hou specific heat, SI units, in
// the order in which they are passed: the pressure-equation coefficients, the
// covolume bc, the ideal-gas cv coefficients a + bT + cT^2 + dT^3 + f/T^2, K,
// the gas constant R and the critical temperature Tc.
struct MartinHouCpConstants {
  double A2, A3, A4, A5, a;
  double B2, B3, B4, B5, b;
  double bc;
  double C2, C3, C4, C5, c;
  double d, f, K, R, Tc;
};
}  // namespace kalvir

// Specific heat at constant pressure of a refrigerant vapour, J/(kg K), at P
// and T in model units; IFL is the fluid slot whose vapour density is used.
double CPMAHO(double P, double T, std::int32_t IFL, std::int32_t NODE,
              const kalvir::MartinHouCpConstants& constants);
