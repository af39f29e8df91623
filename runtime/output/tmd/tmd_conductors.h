// The conductors and mass-flow links a TMD file records: those of a selected
// kind whose two nodes are both selected, found by walking the selected
// nodes' connection lists.
//
// One enumerator does the walk for both the conductor tables written when a
// file is created and the conductor values appended at every write, so that
// row k of a kind's data is always the conductor in row k of its table.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "runtime/output/tmd/tmd_file.h"

namespace kalvir::tmd {

// Conductor lists: GL, GR, GF, GV and the mass-flow links shared by M and GP.
inline constexpr int kListGL = 0, kListGR = 1, kListGF = 2, kListGV = 3, kListLinks = 4;
inline constexpr int kConductorLists = 5;

struct ConductorVisit {
  int list;                 // kListGL .. kListLinks
  std::int32_t firstcode;   // position code of the node whose list holds it
  std::int32_t othercode;   // position code of the other node
  std::int32_t ordinal;     // 1 for the first of its kind between the pair, 2, 3 for parallels
  std::int32_t number;      // conductor or link number; a negative GF is taken reversed
};

enum class WalkPurpose { Tables, Data };

// Calls visit for every recorded conductor and link of the selection in the
// file's order. nt is the number of thermal nodes recorded in the file (0
// when it records no nodes): thermal node i of the selection has position
// code i, a fluid node nt - i.
void for_each_selected_conductor(const TmvThermalModelVariables& selection, std::int32_t nt, WalkPurpose purpose,
                                 const std::function<void(const ConductorVisit&)>& visit);

// Record k of a list: first node's code, other node's code, ordinal, owner.
using ConductorRecord = std::array<std::int32_t, 4>;
using ConductorTables = std::array<std::vector<ConductorRecord>, kConductorLists>;

// Appends one slab of each selected kind's conductor values to the file of
// slot (rows as in its tables, columns value and status code 1.0 active,
// -2.0 otherwise).
void write_conductor_data(TmdSlot& slot);

}  // namespace kalvir::tmd

// Fills the conductor lists of the file being created in slot and sets the
// slot's five counts. STATUS is left unchanged (there is no HDF5 call).
void GetConductorInfo(TmdSlot& SLOT, kalvir::tmd::ConductorTables& INFO, std::int32_t& STATUS);
