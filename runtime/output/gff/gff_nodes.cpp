#include "runtime/output/gff/gff_nodes.h"

#include <algorithm>
#include <array>
#include <string>

#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/modeldata/text_utils.h"
#include "runtime/output/gff/gff_header.h"

namespace kalvir::gff {

namespace {

#define KALVIR_GFF_REAL(name, array) \
  RealColumn { name, [](std::int64_t i) { return array(i); } }
#define KALVIR_GFF_TEXT(name, array, code) \
  TextColumn { name, [](std::int64_t i) { return array(i); }, code }

// The order of the "Thermal_Node" attributes: QA, QE, QI, QS, QR.
const std::array<RealColumn, 16> kThermalReals{{
    KALVIR_GFF_REAL("Temperature", gar_thermalnodetemps),
    KALVIR_GFF_REAL("Capacitance", gar_thermalnodecapacitances),
    KALVIR_GFF_REAL("Total_Albedo_Heat_Source", gar_thermalnodeheatsourcesalbedo),
    KALVIR_GFF_REAL("Total_Earth_Heat_Source", gar_thermalnodeheatsourcesplanet),
    KALVIR_GFF_REAL("Total_Internal_Heat_Source", gar_thermalnodeheatsourcesinternal),
    KALVIR_GFF_REAL("Total_Solar_Heat_Source", gar_thermalnodeheatsourcessolar),
    KALVIR_GFF_REAL("Total_Rest_Heat_Source", gar_thermalnodeheatsourcesother),
    KALVIR_GFF_REAL("Area", gar_thermalnodesurfaceareas),
    KALVIR_GFF_REAL("Solar_Absorptivity", gar_thermalnodeabsorptivities),
    KALVIR_GFF_REAL("Infra-Red_Emissivity", gar_thermalnodeemissivities),
    KALVIR_GFF_REAL("Incident_Albedo_Heat_Source", gar_thermalnodeincidentfluxesalbedo),
    KALVIR_GFF_REAL("Incident_Earth_Heat_Source", gar_thermalnodeincidentfluxesplanet),
    KALVIR_GFF_REAL("Incident_Solar_Heat_Source", gar_thermalnodeincidentfluxessolar),
    KALVIR_GFF_REAL("X_Coordinate", gar_thermalnodecoordsx),
    KALVIR_GFF_REAL("Y_Coordinate", gar_thermalnodecoordsy),
    KALVIR_GFF_REAL("Z_Coordinate", gar_thermalnodecoordsz),
}};

const std::array<RealColumn, 21> kFluidReals{{
    KALVIR_GFF_REAL("Temperature", gar_fluidnodetemps),
    KALVIR_GFF_REAL("Heat_Transfer_Area", gar_fluidnodeheattransferareas),
    KALVIR_GFF_REAL("Equivalent_Diameter", gar_fluidnodehydraulicdiameters),
    KALVIR_GFF_REAL("Length", gar_fluidnodelengths),
    KALVIR_GFF_REAL("Static_Pressure", gar_fluidnodepressures),
    KALVIR_GFF_REAL("Specific_Enthalpy", gar_fluidnodespecenthalpies),
    KALVIR_GFF_REAL("Wall_Surface_Roughness", gar_fluidnodewallroughnesses),
    KALVIR_GFF_REAL("Internal_Heat_Source", gar_fluidnodeheatsources),
    KALVIR_GFF_REAL("Mass_Source", gar_fluidnodemassflowsources),
    KALVIR_GFF_REAL("Specific_Enthalpy_Of_Mass_Source", gar_fluidnodemasssourcespecenthalpies),
    KALVIR_GFF_REAL("Temperature_Of_Mass_Source", gar_fluidnodemasssourcetemps),
    KALVIR_GFF_REAL("X_Coordinate", gar_fluidnodecoordsx),
    KALVIR_GFF_REAL("Y_Coordinate", gar_fluidnodecoordsy),
    KALVIR_GFF_REAL("Z_Coordinate", gar_fluidnodecoordsz),
    KALVIR_GFF_REAL("Vapour_Quality", gar_fluidnodevapourqualities),
    KALVIR_GFF_REAL("Cross-sectional_Flow_Area", gar_fluidnodeflowareas),
    KALVIR_GFF_REAL("Nodal_Volume", gar_fluidnodevolumes),
    KALVIR_GFF_REAL("Relative_Humidity", gar_fluidnoderelhumidities),
    KALVIR_GFF_REAL("Mass_Source_Specific_Humidity", gar_fluidnodemasssourcespechumidities),
    KALVIR_GFF_REAL("Node_Compliance", gar_fluidnodecompliances),
    KALVIR_GFF_REAL("Partial_Derivative_@V/@t", gar_fluidnodevolumechangerates),
}};

const std::array<TextColumn, 3> kFluidTexts{{
    KALVIR_GFF_TEXT("Fluid_Type", gar_fluidnodefluidtypes, 7),
    KALVIR_GFF_TEXT("Flow_Regime", gar_fluidnodeflowregimes, 8),
    KALVIR_GFF_TEXT("Fluid_State_Descriptor", gar_fluidnodestatedescriptors, 9),
}};

#undef KALVIR_GFF_REAL
#undef KALVIR_GFF_TEXT

// What distinguishes the two node writers.
struct NodeRecord {
  std::string_view routine;
  std::size_t fixed_items;
  std::string_view buffer_tail;
  int directory_row;
  int count_word;  // FLAGS word of the node count
  std::string_view type_letters;
  const Array1<std::int32_t>& numbers;
  const gar::C1& statuses;
  const gar::C24& labels;
  std::span<const RealColumn> reals;
  std::span<const TextColumn> texts;
  const Array1<double>& user_reals;
  const Array1<std::int32_t>& user_ints;
  const gar::C24& user_texts;
  std::int32_t char_attribute_code;
  std::int32_t write_code;
};

// Element k of a user attribute array, 0 (blank) beyond what was allocated.
template <class A>
auto element(const A& a, std::int64_t k) {
  using V = std::remove_cvref_t<decltype(a(k))>;
  return k >= 1 && k <= a.size() ? a(k) : V{};
}

void write_nodes(const NodeRecord& r, std::int32_t unit, std::int32_t record, const RealNotation& notation,
                 double timen) {
  const std::int64_t nreal = SPRSIZ(5), nint = SPRSIZ(4), nchar = SPRSIZ(3);
  const std::size_t need = r.fixed_items + static_cast<std::size_t>(nreal + nint + nchar);
  if (need > kBufferItems) {
    fatal(" Size of BUFFER in GRECDB is " + int_field(kBufferItems, 5) + ":, need" +
              int_field(static_cast<std::int64_t>(need), 5) + std::string(r.buffer_tail),
          1, r.routine);
  }
  const std::int64_t count = std::min<std::int64_t>(FLAGS(r.count_word), r.numbers.size());
  // User attribute values are stored node-fastest, attribute by attribute.
  const std::int64_t ld = std::max<std::int64_t>(FLAGS(r.count_word), 1);

  DataLine line(unit, record, r.routine, notation, need, kNodeLineCapacity);
  line.time(1, timen, 2);
  const std::int32_t nsub = block_submodels();
  for (std::int32_t m = 1; m <= nsub; ++m) {
    const EntityRange nodes = entity_range(r.directory_row, m, nsub, count);
    for (std::int64_t n = nodes.first; n <= nodes.last; ++n) {
      line.integer(2, m);
      line.integer(3, r.numbers(n));
      line.integer(4, letter_code(r.type_letters, r.statuses(n)[0]));
      line.text(5, r.labels(n), 6);
      std::size_t k = 6;
      for (const RealColumn& c : r.reals) line.real(k++, c.value(n));
      for (const TextColumn& c : r.texts) line.text(k++, c.value(n), c.code);
      for (std::int64_t a = 0; a < nreal; ++a) line.real(k++, element(r.user_reals, n + a * ld));
      for (std::int64_t a = 0; a < nint; ++a) line.integer(k++, element(r.user_ints, n + a * ld));
      for (std::int64_t a = 0; a < nchar; ++a) {
        const std::int64_t e = n + a * ld;
        line.text(k++, e <= r.user_texts.size() ? r.user_texts(e) : std::string_view(), r.char_attribute_code);
      }
      line.write(r.write_code);
    }
  }
}

}  // namespace

std::span<const RealColumn> thermal_reals() { return kThermalReals; }
std::span<const RealColumn> fluid_reals() { return kFluidReals; }
std::span<const TextColumn> fluid_texts() { return kFluidTexts; }

}  // namespace kalvir::gff

void GTNODA(std::int32_t UNIT, std::int32_t RECORD, const kalvir::gff::RealNotation& NOTATION, double TIMEN) {
  using namespace kalvir::gff;
  static const NodeRecord kThermal{"GTNODA", kThermalFixedItems, " for thermal nodes.", 3, flagw::NNODE,
                                   kThermalTypes, gar_thermalnodenums, gar_thermalnodestatuses,
                                   gar_thermalnodelabels, thermal_reals(), {}, gar_thermalnodeuserentityvalsreal,
                                   gar_thermalnodeuserentityvalsint, gar_thermalnodeuserentityvalschar, 8, 9};
  write_nodes(kThermal, UNIT, RECORD, NOTATION, TIMEN);
}

void GFNODA(std::int32_t UNIT, std::int32_t RECORD, const kalvir::gff::RealNotation& NOTATION, double TIMEN) {
  using namespace kalvir::gff;
  static const NodeRecord kFluid{"GFNODA", kFluidFixedItems, " for fluid nodes.", 16, flagw::NF,
                                 kFluidTypes, gar_fluidnodenums, gar_fluidnodestatuses,
                                 gar_fluidnodelabels, fluid_reals(), fluid_texts(), gar_fluidnodeuserentityvalsreal,
                                 gar_fluidnodeuserentityvalsint, gar_fluidnodeuserentityvalschar, 11, 12};
  write_nodes(kFluid, UNIT, RECORD, NOTATION, TIMEN);
}
