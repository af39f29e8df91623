#include "runtime/fluids/library/vapour.h"

#include <string_view>

#include "runtime/fluids/interface/fluid_names.h"
#include "runtime/fluids/library/eos.h"
#include "runtime/platform/fixed_string.h"

namespace {

using kalvir::MartinHouCpConstants;

// clang-format off
// The pressure equation's terms (Ai + Bi T + Ci exp(-K T / Tc)) / (v - bc)^i,
// the ideal-gas cv = a + b T + c T^2 + d T^3 + f / T^2, the gas constant R
// and the critical temperature Tc; SI units.
constexpr MartinHouCpConstants kR11{
    .A2 = -84.016821, .A3 = -0.042508422, .A4 = 0.00017669205, .A5 = -1.5421446e-7, .a = 99.708642,
    .B2 = 0.063772295, .B3 = 0.00014720045, .B4 = -3.4024774e-7, .B5 = 2.8810295e-10,
    .b = 2.1092601,
    .bc = 0.0001186132,
    .C2 = -961.14885, .C3 = 2.0471124, .C4 = 0.0, .C5 = -9.6648659e-7, .c = -0.0028808944,
    .d = 1.4648052e-6, .f = -4.3522952e-5, .K = 4.5, .R = 60.522467, .Tc = 471.15};
constexpr MartinHouCpConstants kR12{
    .A2 = -91.620247, .A3 = 0.10104904, .A4 = -5.746387e-5, .A5 = 0.0, .a = 33.890053,
    .B2 = 0.077112999, .B3 = -5.6753601e-5, .B4 = 0.0, .B5 = 4.08193e-11, .b = 2.5070206,
    .bc = 0.0004063681,
    .C2 = -1525.2302, .C3 = 2.1998148, .C4 = 0.0, .C5 = -1.66307e-7, .c = -0.0032745059,
    .d = 1.6417367e-6, .f = 0.0, .K = 5.475, .R = 68.748167, .Tc = 385.16667};
constexpr MartinHouCpConstants kR22{
    .A2 = -116.98093, .A3 = -0.029295098, .A4 = 0.0002419186, .A5 = -2.43458e-7, .a = 117.76799,
    .B2 = 0.11643027, .B3 = 0.00023031815, .B4 = -6.796659e-7, .B5 = 6.30201e-10, .b = 1.6997295,
    .bc = 0.000124856,
    .C2 = -1184.0881, .C3 = 2.4889477, .C4 = 0.0, .C5 = -1.20619e-6, .c = -0.00088304328,
    .d = 0.0, .f = 3.3254175e-5, .K = 4.2, .R = 96.147024, .Tc = 369.16667};
constexpr MartinHouCpConstants kR114{
    .A2 = -64.103579, .A3 = 0.05712693, .A4 = -4.0395633e-5, .A5 = 1.0471504e-8, .a = 73.269,
    .B2 = 0.052241618, .B3 = -1.6104535e-5, .B4 = 0.0, .B5 = 7.3703325e-12, .b = 2.6301477,
    .bc = 0.00036925538,
    .C2 = -176.38617, .C3 = 0.27453347, .C4 = 0.0, .C5 = -6.6455487e-8, .c = -0.0022653937,
    .d = 0.0, .f = 0.0, .K = 3.0, .R = 48.640487, .Tc = 418.68111};
constexpr MartinHouCpConstants kR502{
    .A2 = -87.632897, .A3 = 0.058487449, .A4 = -8.981402e-5, .A5 = 5.77709e-8, .a = 85.490269,
    .B2 = 0.099520224, .B3 = -2.6205955e-5, .B4 = 1.3240093e-7, .B5 = 9.31606e-11, .b = 2.2584618,
    .bc = 0.00010425476,
    .C2 = -651.57124, .C3 = 0.5581699, .C4 = 0.002347028, .C5 = -2.42979e-6, .c = -0.0019113995,
    .d = 5.3983513e-7, .f = 0.0, .K = 4.2, .R = 74.47447, .Tc = 355.3111};
// clang-format on

double refrigerant_cp(std::string_view name, const MartinHouCpConstants& k, double P, double T,
                      std::int32_t NODE) {
  return CPMAHO(P, T, FTYPEI(kalvir::padded(name, 24)), NODE, k);
}

}  // namespace

double PCP04(double P, double T, std::int32_t NODE) {
  return refrigerant_cp("R11", kR11, P, T, NODE);
}
double PCP06(double P, double T, std::int32_t NODE) {
  return refrigerant_cp("R12", kR12, P, T, NODE);
}
double PCP10(double P, double T, std::int32_t NODE) {
  return refrigerant_cp("R22", kR22, P, T, NODE);
}
double PCP12(double P, double T, std::int32_t NODE) {
  return refrigerant_cp("R114", kR114, P, T, NODE);
}
double PCP14(double P, double T, std::int32_t NODE) {
  return refrigerant_cp("R502", kR502, P, T, NODE);
}
