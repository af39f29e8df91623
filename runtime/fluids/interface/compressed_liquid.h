// The compressed liquid of the two-phase fluids: its enthalpy from pressure
// and temperature, and its temperature from pressure and enthalpy (the
// adapters of codes 26 and 31).
//
// The enthalpy starts from the saturated liquid at the same temperature and
// adds the work of compression at that temperature:
//
//   h(P, T) = hl(Ps(T)) + integral from Ps(T) to P of v (1 - beta T) dP',
//
// where Ps(T) is the pressure at which the fluid's saturation-temperature
// table gives T, hl its saturated-liquid enthalpy table, and v (1 - beta T)
// comes from the liquid density XRHO by the same temperature quotient as the
// liquid's XJT. So (dh/dP) at constant T is -XJT * XCP, the liquid's own
// small slope, and at the saturation temperature the enthalpy is the
// saturated one. (The saturated enthalpy at P plus the specific heat
// integrated from the saturation temperature at P, the older form, has for
// its pressure slope the difference of the two saturation-line tables'
// slopes, which do not agree to that small slope: it took the wrong sign over
// whole pressure ranges.) The temperature inverts the same enthalpy.
//
// Colder than the saturation table's lowest temperature, or hotter than its
// highest, the saturated-liquid enthalpy is continued from the table's end by
// the specific heat XCP.
#pragma once

#include <cstdint>
#include <span>

#include "runtime/fluids/library/table_engine.h"

namespace kalvir::fluids {

// Enthalpy, J/kg, of the liquid of slot IFL at P and T (model units); pts is
// the table of the fluid's saturation-temperature member.
double liquid_enthalpy(std::span<const TableRange> pts, double P, double T, std::int32_t IFL,
                       std::int32_t NODE);

// Temperature, model units, at which liquid_enthalpy gives H at P; peth is
// the table of the fluid's saturated-liquid enthalpy member.
double liquid_temperature(std::span<const TableRange> pts, std::span<const TableRange> peth,
                          double P, double H, std::int32_t IFL, std::int32_t NODE);

}  // namespace kalvir::fluids
