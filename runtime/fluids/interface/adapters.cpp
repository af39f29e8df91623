#include "runtime/fluids/interface/adapters.h"

#include <array>
#include <cstdio>
#include <iterator>
#include <string>

#include "runtime/control/control_constants.h"
#include "runtime/fluids/interface/compressed_liquid.h"
#include "runtime/fluids/interface/properties.h"
#include "runtime/fluids/interface/property_messages.h"
#include "runtime/fluids/library/eos.h"
#include "runtime/fluids/library/psychrometrics.h"
#include "runtime/fluids/library/saturation_pressure.h"
#include "runtime/fluids/library/saturation_tables.h"
#include "runtime/fluids/library/surface_tension.h"
#include "runtime/fluids/library/table_data.h"
#include "runtime/fluids/library/temperature_tables.h"
#include "runtime/fluids/library/vapour.h"
#include "runtime/platform/format.h"

namespace kalvir::fluids::qp {
namespace {

// One adapter call: the six arguments and the adapter's own slot and code.
struct Call {
  int slot;
  int code;
  double P, T, H, X;
  std::int32_t IFL, NODE;

  double t_model() const { return handed_on(T, GLOR.TABS); }
  double p_model() const { return handed_on(P, GLOR.PABS); }
};

// A temperature or pressure returned by a routine, rounded as the handed-on values are.
double as_model(double r, double offset) { return ((r + offset) + 0.0) - offset; }

// Stops the run where a quantity that valid states never make zero is about
// to be divided by.
void require_nonzero(double denominator, const Call& c, std::string_view what) {
  if (denominator != 0.0) return;
  char name[8];
  std::snprintf(name, sizeof name, "QP%02d%02d", c.slot, c.code);
  stop_on_zero(std::string(what) + " Fluid: " + std::string(trim_right(FTYPEC(c.slot))), c.NODE, 1,
               name);
}

// --- Single calls --------------------------------------------------------------

template <auto r>
struct A {
  static double eval(const Call& c) { return r(c.NODE, c.t_model(), GLOR.TABS); }
};
template <auto r>
struct B {
  static double eval(const Call& c) { return r(c.t_model(), GLOR.TABS); }
};
template <auto r>
struct C {
  static double eval(const Call& c) { return r(c.NODE, GLOR.PABS, c.p_model()); }
};
template <auto r>
struct D {
  static double eval(const Call& c) { return r(c.p_model(), c.t_model(), c.NODE); }
};
template <auto r>
struct E {
  static double eval(const Call& c) {
    return r(c.NODE, GLOR.PABS, c.p_model(), GLOR.TABS, c.t_model());
  }
};
template <auto r>
struct F {
  static double eval(const Call& c) { return r(GLOR.PABS, c.p_model(), GLOR.TABS, c.t_model()); }
};
template <auto r>
struct G {
  static double eval(const Call& c) { return r(c.p_model(), GLOR.PABS, c.t_model(), GLOR.TABS); }
};
template <auto r>
struct J {
  static double eval(const Call& c) {
    return as_model(r(GLOR.PABS, GLOR.TABS, c.t_model()), GLOR.PABS);
  }
};
template <auto r>
struct K {
  static double eval(const Call& c) {
    return as_model(r(c.NODE, GLOR.PABS, c.p_model(), GLOR.TABS), GLOR.TABS);
  }
};
struct L {
  static double eval(const Call& c) { return XGHPT1(c.p_model(), c.t_model(), c.X, c.IFL, c.NODE); }
};
struct M {
  static double eval(const Call& c) {
    return as_model(XGTPH1(c.p_model(), c.H, c.X, c.IFL, c.NODE), GLOR.TABS);
  }
};
struct N {
  static double eval(const Call& c) { return XJT(c.p_model(), c.t_model(), 1.0, c.IFL, c.NODE); }
};
template <const auto& pts>
struct HL {
  static double eval(const Call& c) {
    return liquid_enthalpy(pts, c.p_model(), c.t_model(), c.IFL, c.NODE);
  }
};
template <const auto& pts, const auto& peth>
struct TL {
  static double eval(const Call& c) {
    return as_model(liquid_temperature(pts, peth, c.p_model(), c.H, c.IFL, c.NODE), GLOR.TABS);
  }
};

// --- Two-phase mixtures ----------------------------------------------------------

double saturated(const Call& c, int code) {
  return adapter(c.slot, code)(c.P, c.T, c.H, c.X, c.IFL, c.NODE);
}

struct Q {
  static double eval(const Call& c) {
    const double yl = saturated(c, c.code - 1);
    const double yv = saturated(c, c.code + 1);
    return ((yv - yl) * c.X) + yl;
  }
};
// Specific volumes add by mass fraction.
struct R {
  static double eval(const Call& c) {
    const double rhol = saturated(c, 2);
    const double rhov = saturated(c, 4);
    require_nonzero(rhol * rhov, c, "A saturated density is zero.");
    return 1.0 / (c.X / rhov + (1.0 - c.X) / rhol);
  }
};

// --- Difference quotients --------------------------------------------------------

// Joule-Thomson coefficient from (T dv/dT - v)/cp, the density differenced
// over 0.001 K: downwards for the liquid, upwards for the vapour.
template <bool liquid>
struct JouleThomson {
  static double eval(const Call& c) {
    const double rho0 = XRHO(c.p_model(), c.t_model(), c.X, c.IFL, c.NODE);
    const double delta = liquid ? -0.001 : 0.001;
    const double t1 = ((c.T + GLOR.TABS) + delta) - GLOR.TABS;
    const double rho1 = XRHO(c.p_model(), t1, c.X, c.IFL, c.NODE);
    const double cp = XCP(c.p_model(), c.t_model(), c.X, c.IFL, c.NODE);
    require_nonzero(rho0 * cp, c, "The density or the specific heat is zero.");
    return -(1.0 + (c.T + GLOR.TABS) * (rho1 - rho0) / (delta * rho0)) / (rho0 * cp);
  }
};
using S = JouleThomson<true>;
using U = JouleThomson<false>;

// Isothermal compressibility, the density differenced over 0.1 % of the
// absolute pressure: upwards for the liquid, downwards for the vapour.
template <bool liquid>
struct Compressibility {
  static double eval(const Call& c) {
    const double rho0 = XRHO(c.p_model(), c.t_model(), c.X, c.IFL, c.NODE);
    const double pa = c.P + GLOR.PABS;
    const double dp = 0.001 * pa;
    const double p1 = (liquid ? pa + dp : pa - dp) - GLOR.PABS;
    const double rho1 = XRHO(p1, c.t_model(), c.X, c.IFL, c.NODE);
    require_nonzero(dp * rho0, c, "The absolute pressure or the density is zero.");
    return liquid ? (rho1 - rho0) / (dp * rho0) : (rho1 - rho0) / (-dp * rho0);
  }
};
using V = Compressibility<true>;
using W = Compressibility<false>;

// Liquid water: from the speed of sound.
struct Z {
  static double eval(const Call& c) {
    const double sound = PSND01(c.p_model(), c.t_model());
    const double rho = XRHO(c.p_model(), c.t_model(), c.X, c.IFL, c.NODE);
    require_nonzero(sound * sound * rho, c, "The speed of sound or the density is zero.");
    return 1.01 / (sound * sound * rho);
  }
};

// --- Humid air (X is the humidity ratio) ----------------------------------------

namespace psy = kalvir::fluids::psychro;

// Ratio of the molar masses of water and dry air.
constexpr double kMolarRatio = psy::kMolarRatio;

void require_humidity(double denominator, const Call& c) {
  if (denominator != 0.0) return;
  require_nonzero(denominator, c,
                  "The humidity ratio " + platform::edit_e(c.X, 12, 4, 0, 1) +
                      " makes the mixture rule divide by zero.");
}

// Dry air at its partial pressure plus the vapour at its own; the vapour
// below 0 degrees Celsius as the ideal gas it is there.
template <auto dry, auto vapour>
struct HUMID_RHO {
  static double eval(const Call& c) {
    const double pa = c.P + GLOR.PABS;
    require_humidity(c.X + kMolarRatio, c);
    const double pv = (c.X * pa) / (c.X + kMolarRatio);
    const double rhoa = dry(((pa - pv) - GLOR.PABS), GLOR.PABS, c.t_model(), GLOR.TABS);
    static_assert(vapour == &PROS02, "the vapour density below freezing extends PROS02");
    const double rhov = psy::vapour_density(pv, c.t_model() + GLOR.TABS);
    return rhoa + rhov;
  }
};
template <auto vapour, psy::BelowTriple rule>
double dilute(const Call& c) {
  return psy::dilute_vapour(vapour, rule, c.NODE, c.t_model(), GLOR.TABS);
}
template <auto dry, auto vapour>
struct HUMID_CP {
  static double eval(const Call& c) {
    const double ca = dry(c.t_model(), GLOR.TABS);
    const double cv = dilute<vapour, psy::BelowTriple::hold>(c);
    require_humidity(c.X + 1.0, c);
    return (cv * c.X + ca) / (c.X + 1.0);
  }
};
template <auto dry, auto vapour>
struct HUMID_MOLAR {
  static double eval(const Call& c) {
    const double ya = dry(c.t_model(), GLOR.TABS);
    const double yv = dilute<vapour, psy::BelowTriple::proportional>(c);
    require_humidity(kMolarRatio + c.X, c);
    return (yv * c.X + ya * kMolarRatio) / (kMolarRatio + c.X);
  }
};
struct HUMID_CP_SAT {
  static double eval(const Call& c) {
    require_humidity(c.X + 1.0, c);
    return (1868.07 * c.X + 1011.57) / (c.X + 1.0);
  }
};
// The saturated-vapour specific heat times the saturation temperature, 273.16 K.
struct HUMID_H_SAT {
  static double eval(const Call& c) { return HUMID_CP_SAT::eval(c) * 273.16; }
};
// Enthalpy per kilogram of dry air, and the temperature that has it.
struct HUMID_H {
  static double eval(const Call& c) { return psy::enthalpy(c.t_model() + GLOR.TABS, c.X, c.NODE); }
};
struct HUMID_T {
  static double eval(const Call& c) {
    return as_model(psy::temperature(c.H, c.X, c.NODE) - GLOR.TABS, GLOR.TABS);
  }
};

// --- Fixed values of the gases ---------------------------------------------------

template <double v>
struct VALUE {
  static double eval(const Call&) { return v; }
};
template <double kelvin>
struct T_SAT {
  static double eval(const Call&) { return kelvin - GLOR.TABS; }
};
struct INV_P {
  static double eval(const Call& c) {
    require_nonzero(c.P + GLOR.PABS, c, "The absolute pressure is zero.");
    return 1.0 / (c.P + GLOR.PABS);
  }
};

}  // namespace
}  // namespace kalvir::fluids::qp

// --- The adapters ------------------------------------------------------------------

#define KALVIR_QP_IMPL_A(r) kalvir::fluids::qp::A<&r>
#define KALVIR_QP_IMPL_B(r) kalvir::fluids::qp::B<&r>
#define KALVIR_QP_IMPL_C(r) kalvir::fluids::qp::C<&r>
#define KALVIR_QP_IMPL_D(r) kalvir::fluids::qp::D<&r>
#define KALVIR_QP_IMPL_E(r) kalvir::fluids::qp::E<&r>
#define KALVIR_QP_IMPL_F(r) kalvir::fluids::qp::F<&r>
#define KALVIR_QP_IMPL_G(r) kalvir::fluids::qp::G<&r>
#define KALVIR_QP_IMPL_J(r) kalvir::fluids::qp::J<&r>
#define KALVIR_QP_IMPL_K(r) kalvir::fluids::qp::K<&r>
#define KALVIR_QP_IMPL_L kalvir::fluids::qp::L
#define KALVIR_QP_IMPL_M kalvir::fluids::qp::M
#define KALVIR_QP_IMPL_HL(t) kalvir::fluids::qp::HL<kalvir::fluids::k##t>
#define KALVIR_QP_IMPL_TL(t, h) kalvir::fluids::qp::TL<kalvir::fluids::k##t, kalvir::fluids::k##h>
#define KALVIR_QP_IMPL_N kalvir::fluids::qp::N
#define KALVIR_QP_IMPL_Q kalvir::fluids::qp::Q
#define KALVIR_QP_IMPL_R kalvir::fluids::qp::R
#define KALVIR_QP_IMPL_S kalvir::fluids::qp::S
#define KALVIR_QP_IMPL_U kalvir::fluids::qp::U
#define KALVIR_QP_IMPL_V kalvir::fluids::qp::V
#define KALVIR_QP_IMPL_W kalvir::fluids::qp::W
#define KALVIR_QP_IMPL_Z kalvir::fluids::qp::Z
#define KALVIR_QP_IMPL_HUMID_RHO(a, v) kalvir::fluids::qp::HUMID_RHO<&a, &v>
#define KALVIR_QP_IMPL_HUMID_CP(a, v) kalvir::fluids::qp::HUMID_CP<&a, &v>
#define KALVIR_QP_IMPL_HUMID_MOLAR(a, v) kalvir::fluids::qp::HUMID_MOLAR<&a, &v>
#define KALVIR_QP_IMPL_HUMID_CP_SAT kalvir::fluids::qp::HUMID_CP_SAT
#define KALVIR_QP_IMPL_HUMID_H_SAT kalvir::fluids::qp::HUMID_H_SAT
#define KALVIR_QP_IMPL_HUMID_H kalvir::fluids::qp::HUMID_H
#define KALVIR_QP_IMPL_HUMID_T kalvir::fluids::qp::HUMID_T
#define KALVIR_QP_IMPL_VALUE(v) kalvir::fluids::qp::VALUE<v>
#define KALVIR_QP_IMPL_T_SAT(t) kalvir::fluids::qp::T_SAT<t>
#define KALVIR_QP_IMPL_INV_P kalvir::fluids::qp::INV_P

#define KALVIR_QP_DEFINE(xx, yy, cell)                                                             \
  double QP##xx##yy(double P, double T, double H, double X, std::int32_t IFL, std::int32_t NODE) { \
    return KALVIR_QP_IMPL_##cell::eval(                                                            \
        {KALVIR_QP_NUMBER(xx), KALVIR_QP_NUMBER(yy), P, T, H, X, IFL, NODE});                      \
  }
KALVIR_QP_EXPAND(KALVIR_QP_DEFINE)
#undef KALVIR_QP_DEFINE

namespace kalvir::fluids {
namespace {

#define KALVIR_QP_ENTRY(xx, yy, cell) \
  AdapterEntry{KALVIR_QP_NUMBER(xx), KALVIR_QP_NUMBER(yy), &QP##xx##yy, "QP" #xx #yy, #cell},
constexpr AdapterEntry kEntries[] = {KALVIR_QP_EXPAND(KALVIR_QP_ENTRY)};
#undef KALVIR_QP_ENTRY

// 35 codes for each of the eight two-phase fluids, 12 for each of the gases.
static_assert(std::size(kEntries) == 8 * 35 + 2 * 12);

using AdapterTable = std::array<std::array<QpAdapter, kPropertyCodes + 1>, kFluidSlots + 1>;
constexpr AdapterTable kTable = [] {
  AdapterTable t{};
  for (const AdapterEntry& e : kEntries)
    t[static_cast<std::size_t>(e.slot)][static_cast<std::size_t>(e.code)] = e.function;
  return t;
}();

}  // namespace

std::span<const AdapterEntry> adapter_entries() { return kEntries; }

double handed_on(double value, double offset) { return (value + offset) - offset; }

QpAdapter adapter(std::int32_t slot, std::int32_t code) {
  if (slot < 1 || slot > kFluidSlots || code < 1 || code > kPropertyCodes) return nullptr;
  return kTable[static_cast<std::size_t>(slot)][static_cast<std::size_t>(code)];
}

}  // namespace kalvir::fluids
