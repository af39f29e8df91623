// The per-fluid property adapters QPxxyy: property code yy of fluid slot xx
// (codes and patterns in adapter_matrix.h). Every adapter has the same six
// arguments, whatever it reads: P and T in model units, H in J/kg (read by
// the temperature adapters 31 and 35 only), X the vapour quality (the
// humidity ratio for AIRW), IFL the fluid slot and NODE the node that the
// library's messages name. Temperatures and pressures are returned in model
// units, everything else in SI units.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "runtime/fluids/interface/adapter_matrix.h"
#include "runtime/fluids/interface/fluid_names.h"

using QpAdapter = double (*)(double P, double T, double H, double X, std::int32_t IFL,
                             std::int32_t NODE);

#define KALVIR_QP_DECLARE(xx, yy, cell) \
  double QP##xx##yy(double P, double T, double H, double X, std::int32_t IFL, std::int32_t NODE);
KALVIR_QP_EXPAND(KALVIR_QP_DECLARE)
#undef KALVIR_QP_DECLARE

namespace kalvir::fluids {

inline constexpr std::int32_t kPropertyCodes = 50;

struct AdapterEntry {
  std::int32_t slot;  // 1 to 10
  std::int32_t code;  // 1 to 50
  QpAdapter function;
  std::string_view name;  // "QP0113"
  std::string_view cell;  // the matrix cell, "A(PCND15)"
};

// Every adapter, in the order of the matrix (by code, then by slot).
std::span<const AdapterEntry> adapter_entries();

// A model temperature or pressure as an adapter hands it on: rounded to the
// resolution of the absolute scale, (value + offset) - offset.
double handed_on(double value, double offset);

// The adapter of a slot and property code, or nullptr where the system
// defines none (also for a slot or code out of range).
QpAdapter adapter(std::int32_t slot, std::int32_t code);

}  // namespace kalvir::fluids
