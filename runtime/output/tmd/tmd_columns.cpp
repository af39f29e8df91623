#include "runtime/output/tmd/tmd_columns.h"

#include <algorithm>
#include <array>

#include "runtime/control/global_arrays.h"

namespace kalvir::tmd {

namespace {

// Element i of a node array, 0 (or blank) outside it.
template <class A>
auto element(const A& a, std::int64_t i) {
  using V = std::remove_cvref_t<decltype(a(i))>;
  return i >= 1 && i <= a.size() ? a(i) : V{};
}

struct BuiltinReal {
  std::string_view name;
  std::int32_t flag;
  double (*value)(std::int64_t);
};

#define KALVIR_REAL(name, flag, array) \
  BuiltinReal { name, flag, [](std::int64_t i) { return element(array, i); } }

const std::array<BuiltinReal, 16> kThermalReal{{
    KALVIR_REAL("Temperature", 2, gar_thermalnodetemps),
    KALVIR_REAL("Capacitance", 3, gar_thermalnodecapacitances),
    KALVIR_REAL("Total_Albedo_Heat_Source", 4, gar_thermalnodeheatsourcesalbedo),
    KALVIR_REAL("Total_Earth_Heat_Source", 5, gar_thermalnodeheatsourcesplanet),
    KALVIR_REAL("Total_Internal_Heat_Source", 6, gar_thermalnodeheatsourcesinternal),
    KALVIR_REAL("Total_Rest_Heat_Source", 7, gar_thermalnodeheatsourcesother),
    KALVIR_REAL("Total_Solar_Heat_Source", 8, gar_thermalnodeheatsourcessolar),
    KALVIR_REAL("Area", 9, gar_thermalnodesurfaceareas),
    KALVIR_REAL("Solar_Absorptivity", 10, gar_thermalnodeabsorptivities),
    KALVIR_REAL("Infra-Red_Emissivity", 11, gar_thermalnodeemissivities),
    KALVIR_REAL("Incident_Albedo_Heat_Source", 12, gar_thermalnodeincidentfluxesalbedo),
    KALVIR_REAL("Incident_Earth_Heat_Source", 13, gar_thermalnodeincidentfluxesplanet),
    KALVIR_REAL("Incident_Solar_Heat_Source", 14, gar_thermalnodeincidentfluxessolar),
    KALVIR_REAL("X_Coordinate", 25, gar_thermalnodecoordsx),
    KALVIR_REAL("Y_Coordinate", 26, gar_thermalnodecoordsy),
    KALVIR_REAL("Z_Coordinate", 27, gar_thermalnodecoordsz),
}};

const std::array<BuiltinReal, 21> kFluidReal{{
    KALVIR_REAL("Temperature", 2, gar_fluidnodetemps),
    KALVIR_REAL("Heat_Transfer_Area", 9, gar_fluidnodeheattransferareas),
    KALVIR_REAL("Equivalent_Diameter", 15, gar_fluidnodehydraulicdiameters),
    KALVIR_REAL("Length", 16, gar_fluidnodelengths),
    KALVIR_REAL("Static_Pressure", 17, gar_fluidnodepressures),
    KALVIR_REAL("Specific_Enthalpy", 18, gar_fluidnodespecenthalpies),
    KALVIR_REAL("Wall_Surface_Roughness", 19, gar_fluidnodewallroughnesses),
    KALVIR_REAL("Internal_Heat_Source", 20, gar_fluidnodeheatsources),
    KALVIR_REAL("Mass_Source", 21, gar_fluidnodemassflowsources),
    KALVIR_REAL("Specific_Enthalpy_Of_Mass_Source", 22, gar_fluidnodemasssourcespecenthalpies),
    KALVIR_REAL("Temperature_Of_Mass_Source", 23, gar_fluidnodemasssourcetemps),
    KALVIR_REAL("X_Coordinate", 25, gar_fluidnodecoordsx),
    KALVIR_REAL("Y_Coordinate", 26, gar_fluidnodecoordsy),
    KALVIR_REAL("Z_Coordinate", 27, gar_fluidnodecoordsz),
    KALVIR_REAL("Vapour_Quality", 28, gar_fluidnodevapourqualities),
    KALVIR_REAL("Cross-sectional_Flow_Area", 30, gar_fluidnodeflowareas),
    KALVIR_REAL("Nodal_Volume", 31, gar_fluidnodevolumes),
    KALVIR_REAL("Relative_Humidity", 32, gar_fluidnoderelhumidities),
    KALVIR_REAL("Mass_Source_Specific_Humidity", 33, gar_fluidnodemasssourcespechumidities),
    KALVIR_REAL("Node_Compliance", 34, gar_fluidnodecompliances),
    KALVIR_REAL("Partial_Derivative_@V/@t", 35, gar_fluidnodevolumechangerates),
}};
#undef KALVIR_REAL

struct BuiltinText {
  std::string_view name;
  std::int32_t flag;  // 0: always present
  std::string_view (*value)(std::int64_t);
};

#define KALVIR_TEXT(name, flag, array) \
  BuiltinText { name, flag, [](std::int64_t i) { return element(array, i); } }

const std::array<BuiltinText, 2> kThermalText{{
    KALVIR_TEXT("Type", 0, gar_thermalnodestatuses),
    KALVIR_TEXT("Label", 1, gar_thermalnodelabels),
}};

const std::array<BuiltinText, 5> kFluidText{{
    KALVIR_TEXT("Type", 0, gar_fluidnodestatuses),
    KALVIR_TEXT("Label", 1, gar_fluidnodelabels),
    KALVIR_TEXT("Fluid_Type", 24, gar_fluidnodefluidtypes),
    KALVIR_TEXT("Flow_Regime", 29, gar_fluidnodeflowregimes),
    KALVIR_TEXT("Fluid_State_Descriptor", 36, gar_fluidnodestatedescriptors),
}};
#undef KALVIR_TEXT

// User attributes of one group: flag base (41, 41 + R, 41 + R + I), count.
struct UserGroup {
  std::int64_t flagbase;
  std::int32_t count;
};
UserGroup user_group(const TmvThermalModelVariables& sel, int group) {
  const std::int32_t r = std::max(sel.numuserrealattributes, 0);
  const std::int32_t i = std::max(sel.numuserintegerattributes, 0);
  const std::int32_t c = std::max(sel.numuserstringattributes, 0);
  switch (group) {
    case 1: return {kNodalFlags, r};
    case 2: return {kNodalFlags + r, i};
    default: return {kNodalFlags + r + i, c};
  }
}

std::string attribute_name(const TmvThermalModelVariables& sel, std::int32_t j, int group) {
  const auto& names = sel.userattributenames;
  if (j < 1 || j > names.rows() || group > names.cols()) return {};
  return std::string(names(j, group).trimmed());
}

// Adds a column per flagged user attribute of group; values of attribute j
// for node i sit at (j - 1) * N + i of array.
template <class T, class A>
void add_user_columns(std::vector<Column<T>>& out, const TmvThermalModelVariables& sel, NodeKind kind, int group,
                      const A& thermal, const A& fluid) {
  const UserGroup g = user_group(sel, group);
  const A& array = kind == NodeKind::Thermal ? thermal : fluid;
  const std::int64_t n = kind == NodeKind::Thermal ? sel.numberofthermalnodes : sel.numberoffluidnodes;
  for (std::int32_t j = 1; j <= g.count; ++j) {
    if (sel.flag(g.flagbase + j) == 0) continue;
    const std::int64_t offset = static_cast<std::int64_t>(j - 1) * n;
    out.push_back({attribute_name(sel, j, group), [&array, offset, n](std::int64_t i) {
                     return i >= 1 && i <= n ? element(array, offset + i) : decltype(element(array, 1)){};
                   }});
  }
}

}  // namespace

std::vector<Column<double>> real_columns(const TmvThermalModelVariables& sel, NodeKind kind) {
  std::vector<Column<double>> out;
  const auto add = [&](const auto& table) {
    for (const BuiltinReal& b : table) {
      if (sel.flag(b.flag) != 0) out.push_back({std::string(b.name), b.value});
    }
  };
  if (kind == NodeKind::Thermal) {
    add(kThermalReal);
  } else {
    add(kFluidReal);
  }
  add_user_columns(out, sel, kind, 1, gar_thermalnodeuserentityvalsreal, gar_fluidnodeuserentityvalsreal);
  return out;
}

std::vector<Column<std::string_view>> text_columns(const TmvThermalModelVariables& sel, NodeKind kind) {
  std::vector<Column<std::string_view>> out;
  const auto add = [&](const auto& table) {
    for (const BuiltinText& b : table) {
      if (b.flag == 0 || sel.flag(b.flag) != 0) out.push_back({std::string(b.name), b.value});
    }
  };
  if (kind == NodeKind::Thermal) {
    add(kThermalText);
  } else {
    add(kFluidText);
  }
  add_user_columns(out, sel, kind, 3, gar_thermalnodeuserentityvalschar, gar_fluidnodeuserentityvalschar);
  return out;
}

std::vector<Column<std::int32_t>> integer_columns(const TmvThermalModelVariables& sel, NodeKind kind) {
  std::vector<Column<std::int32_t>> out;
  add_user_columns(out, sel, kind, 2, gar_thermalnodeuserentityvalsint, gar_fluidnodeuserentityvalsint);
  return out;
}

}  // namespace kalvir::tmd
