// The node records of a GFF data block: GTNODA ("Thermal_Node") and GFNODA
// ("Fluid_Node"), one line per node, submodel by submodel in internal node
// order.
//
// The value columns are stated once here: the header announces their names
// as attributes and the writers take their values, so an attribute and its
// value always stand at the same position of a line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "runtime/output/gff/gff_lines.h"

namespace kalvir::gff {

// A real column: attribute name and the value for a node, given as its index
// within its kind (1..NNODE, or 1..NF for fluid nodes).
struct RealColumn {
  std::string_view name;
  double (*value)(std::int64_t);
};
// A text column, with the failure code of its edit under GFNODA.
struct TextColumn {
  std::string_view name;
  std::string_view (*value)(std::int64_t);
  std::int32_t code;
};

// Items 6 onwards of a thermal node line (16 reals) and of a fluid node line
// (21 reals, then 3 texts).
std::span<const RealColumn> thermal_reals();
std::span<const RealColumn> fluid_reals();
std::span<const TextColumn> fluid_texts();

// The item buffer of a node line: fixed items plus one per user node
// attribute must fit.
inline constexpr std::size_t kBufferItems = 326;
inline constexpr std::size_t kThermalFixedItems = 21;
inline constexpr std::size_t kFluidFixedItems = 29;

}  // namespace kalvir::gff

// One "Thermal_Node" line (record type RECORD) per thermal node at time
// TIMEN: time, submodel, user number, type code, label, the 16 reals and the
// user node attributes (real, integer, then character). More attributes than
// the item buffer holds (code 1), a time or label that cannot be edited and a
// failed line write are fatal.
void GTNODA(std::int32_t UNIT, std::int32_t RECORD, const kalvir::gff::RealNotation& NOTATION, double TIMEN);

// The same for the fluid nodes ("Fluid_Node"): 21 reals, then fluid type,
// flow regime and state descriptor before the user node attributes.
void GFNODA(std::int32_t UNIT, std::int32_t RECORD, const kalvir::gff::RealNotation& NOTATION, double TIMEN);
