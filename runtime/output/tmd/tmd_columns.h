// The columns of the TMD node data: which attributes a selection records for
// thermal and for fluid nodes, under which names and from which arrays.
//
// File creation takes the names (the attribute-name datasets), each write
// takes the values; both read the same column list, so a name and its
// values always stand at the same position.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/output/tmd/tmd_selection.h"

namespace kalvir::tmd {

enum class NodeKind { Thermal, Fluid };

// One column: its name and its value for a node, given as the node's index
// within its kind (the internal index for thermal nodes, the internal index
// less the number of thermal nodes for fluid nodes). A column read straight
// from an array also has the array's values: values[i - 1] is then value(i)
// for i from 1 to values.size(), and value(i) is zero beyond, so that a slab
// writer can read them without a call per value.
template <class T>
struct Column {
  std::string name;
  std::function<T(std::int64_t)> value;
  std::span<const T> values{};
};

// Column c's value for node index i.
template <class T>
T column_value(const Column<T>& c, std::int64_t i) {
  if (c.values.empty()) return c.value(i);
  return i >= 1 && i <= static_cast<std::int64_t>(c.values.size()) ? c.values[static_cast<std::size_t>(i - 1)] : T{};
}

// Real columns: the flagged built-in attributes, then the flagged real user
// attributes.
std::vector<Column<double>> real_columns(const TmvThermalModelVariables& sel, NodeKind kind);
// Text columns: the status letter ("Type", always), then "Label" and, for
// fluid nodes, fluid type, flow regime and state descriptor when flagged,
// then the flagged character user attributes.
std::vector<Column<std::string_view>> text_columns(const TmvThermalModelVariables& sel, NodeKind kind);
// Integer columns: the flagged integer user attributes.
std::vector<Column<std::int32_t>> integer_columns(const TmvThermalModelVariables& sel, NodeKind kind);

}  // namespace kalvir::tmd
