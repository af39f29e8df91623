#include "runtime/output/tmd/tmd_columns.h"

#include <algorithm>
#include <array>
#include <span>
#include <type_traits>

#include "runtime/control/global_arrays.h"

namespace kalvir::tmd {

namespace {

// Element i of a node array, 0 (or blank) outside it.
template <class A>
auto element(const A& a, std::int64_t i) {
  using V = std::remove_cvref_t<decltype(a(i))>;
  return i >= 1 && i <= a.size() ? a(i) : V{};
}

// A built-in column: its name, the flag that selects it (0: always present)
// and its values.
template <class T>
struct Builtin {
  std::string_view name;
  std::int32_t flag;
  T (*value)(std::int64_t);
  std::span<const T> (*values)() = nullptr;  // the array's values, for numeric columns
};

#define KALVIR_COLUMN(name, flag, array) \
  { name, flag, [](std::int64_t i) { return element(array, i); } }
#define KALVIR_REAL_COLUMN(name, flag, array)                                 \
  {                                                                           \
    name, flag, [](std::int64_t i) { return element(array, i); }, [] {       \
      return std::span<const double>(array.data(), static_cast<std::size_t>(array.size())); \
    }                                                                         \
  }

const std::array<Builtin<double>, 16> kThermalReal{{
    KALVIR_REAL_COLUMN("Temperature", 2, gar_thermalnodetemps),
    KALVIR_REAL_COLUMN("Capacitance", 3, gar_thermalnodecapacitances),
    KALVIR_REAL_COLUMN("Total_Albedo_Heat_Source", 4, gar_thermalnodeheatsourcesalbedo),
    KALVIR_REAL_COLUMN("Total_Earth_Heat_Source", 5, gar_thermalnodeheatsourcesplanet),
    KALVIR_REAL_COLUMN("Total_Internal_Heat_Source", 6, gar_thermalnodeheatsourcesinternal),
    KALVIR_REAL_COLUMN("Total_Rest_Heat_Source", 7, gar_thermalnodeheatsourcesother),
    KALVIR_REAL_COLUMN("Total_Solar_Heat_Source", 8, gar_thermalnodeheatsourcessolar),
    KALVIR_REAL_COLUMN("Area", 9, gar_thermalnodesurfaceareas),
    KALVIR_REAL_COLUMN("Solar_Absorptivity", 10, gar_thermalnodeabsorptivities),
    KALVIR_REAL_COLUMN("Infra-Red_Emissivity", 11, gar_thermalnodeemissivities),
    KALVIR_REAL_COLUMN("Incident_Albedo_Heat_Source", 12, gar_thermalnodeincidentfluxesalbedo),
    KALVIR_REAL_COLUMN("Incident_Earth_Heat_Source", 13, gar_thermalnodeincidentfluxesplanet),
    KALVIR_REAL_COLUMN("Incident_Solar_Heat_Source", 14, gar_thermalnodeincidentfluxessolar),
    KALVIR_REAL_COLUMN("X_Coordinate", 25, gar_thermalnodecoordsx),
    KALVIR_REAL_COLUMN("Y_Coordinate", 26, gar_thermalnodecoordsy),
    KALVIR_REAL_COLUMN("Z_Coordinate", 27, gar_thermalnodecoordsz),
}};

const std::array<Builtin<double>, 21> kFluidReal{{
    KALVIR_REAL_COLUMN("Temperature", 2, gar_fluidnodetemps),
    KALVIR_REAL_COLUMN("Heat_Transfer_Area", 9, gar_fluidnodeheattransferareas),
    KALVIR_REAL_COLUMN("Equivalent_Diameter", 15, gar_fluidnodehydraulicdiameters),
    KALVIR_REAL_COLUMN("Length", 16, gar_fluidnodelengths),
    KALVIR_REAL_COLUMN("Static_Pressure", 17, gar_fluidnodepressures),
    KALVIR_REAL_COLUMN("Specific_Enthalpy", 18, gar_fluidnodespecenthalpies),
    KALVIR_REAL_COLUMN("Wall_Surface_Roughness", 19, gar_fluidnodewallroughnesses),
    KALVIR_REAL_COLUMN("Internal_Heat_Source", 20, gar_fluidnodeheatsources),
    KALVIR_REAL_COLUMN("Mass_Source", 21, gar_fluidnodemassflowsources),
    KALVIR_REAL_COLUMN("Specific_Enthalpy_Of_Mass_Source", 22, gar_fluidnodemasssourcespecenthalpies),
    KALVIR_REAL_COLUMN("Temperature_Of_Mass_Source", 23, gar_fluidnodemasssourcetemps),
    KALVIR_REAL_COLUMN("X_Coordinate", 25, gar_fluidnodecoordsx),
    KALVIR_REAL_COLUMN("Y_Coordinate", 26, gar_fluidnodecoordsy),
    KALVIR_REAL_COLUMN("Z_Coordinate", 27, gar_fluidnodecoordsz),
    KALVIR_REAL_COLUMN("Vapour_Quality", 28, gar_fluidnodevapourqualities),
    KALVIR_REAL_COLUMN("Cross-sectional_Flow_Area", 30, gar_fluidnodeflowareas),
    KALVIR_REAL_COLUMN("Nodal_Volume", 31, gar_fluidnodevolumes),
    KALVIR_REAL_COLUMN("Relative_Humidity", 32, gar_fluidnoderelhumidities),
    KALVIR_REAL_COLUMN("Mass_Source_Specific_Humidity", 33, gar_fluidnodemasssourcespechumidities),
    KALVIR_REAL_COLUMN("Node_Compliance", 34, gar_fluidnodecompliances),
    KALVIR_REAL_COLUMN("Partial_Derivative_@V/@t", 35, gar_fluidnodevolumechangerates),
}};
const std::array<Builtin<std::string_view>, 2> kThermalText{{
    KALVIR_COLUMN("Type", 0, gar_thermalnodestatuses),
    KALVIR_COLUMN("Label", 1, gar_thermalnodelabels),
}};

const std::array<Builtin<std::string_view>, 5> kFluidText{{
    KALVIR_COLUMN("Type", 0, gar_fluidnodestatuses),
    KALVIR_COLUMN("Label", 1, gar_fluidnodelabels),
    KALVIR_COLUMN("Fluid_Type", 24, gar_fluidnodefluidtypes),
    KALVIR_COLUMN("Flow_Regime", 29, gar_fluidnodeflowregimes),
    KALVIR_COLUMN("Fluid_State_Descriptor", 36, gar_fluidnodestatedescriptors),
}};
#undef KALVIR_COLUMN
#undef KALVIR_REAL_COLUMN

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
    Column<T> column{attribute_name(sel, j, group), [&array, offset, n](std::int64_t i) {
                       return i >= 1 && i <= n ? element(array, offset + i) : decltype(element(array, 1)){};
                     }};
    if constexpr (std::is_arithmetic_v<T>) {
      const std::int64_t available = std::clamp<std::int64_t>(array.size() - offset, 0, n);
      if (available > 0) column.values = std::span<const T>(array.data() + offset, static_cast<std::size_t>(available));
    }
    out.push_back(std::move(column));
  }
}

// The flagged built-in columns of one kind of node, then a column per flagged
// user attribute of group.
template <class T, class A>
std::vector<Column<T>> node_columns(const TmvThermalModelVariables& sel, NodeKind kind,
                                    std::span<const Builtin<T>> builtins, int group, const A& thermal,
                                    const A& fluid) {
  std::vector<Column<T>> out;
  for (const Builtin<T>& b : builtins) {
    if (b.flag != 0 && sel.flag(b.flag) == 0) continue;
    Column<T> column{std::string(b.name), b.value};
    if (b.values != nullptr) column.values = b.values();
    out.push_back(std::move(column));
  }
  add_user_columns(out, sel, kind, group, thermal, fluid);
  return out;
}

}  // namespace

std::vector<Column<double>> real_columns(const TmvThermalModelVariables& sel, NodeKind kind) {
  using Table = std::span<const Builtin<double>>;
  return node_columns<double>(sel, kind, kind == NodeKind::Thermal ? Table(kThermalReal) : Table(kFluidReal), 1,
                              gar_thermalnodeuserentityvalsreal, gar_fluidnodeuserentityvalsreal);
}

std::vector<Column<std::string_view>> text_columns(const TmvThermalModelVariables& sel, NodeKind kind) {
  using Table = std::span<const Builtin<std::string_view>>;
  return node_columns<std::string_view>(sel, kind, kind == NodeKind::Thermal ? Table(kThermalText) : Table(kFluidText),
                                        3, gar_thermalnodeuserentityvalschar, gar_fluidnodeuserentityvalschar);
}

std::vector<Column<std::int32_t>> integer_columns(const TmvThermalModelVariables& sel, NodeKind kind) {
  return node_columns<std::int32_t>(sel, kind, {}, 2, gar_thermalnodeuserentityvalsint,
                                    gar_fluidnodeuserentityvalsint);
}

}  // namespace kalvir::tmd
