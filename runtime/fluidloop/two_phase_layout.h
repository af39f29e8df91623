// The matrix layout of the two-phase fluid-loop solution (FPNTER): the
// breadth-first order of the fluid nodes along their mass-flow links (that of
// FPNTRS, so every connected loop occupies consecutive rows) with the
// profile of its enthalpy and pressure matrices, where the last row of every
// loop is widened to the loop's first column so that the loop's total-mass
// equation can take that row's place.
#pragma once

#include <cstdint>
#include <span>

#include "runtime/fluidloop/profile_solver.h"

namespace kalvir::fluidloop {

// The seven columns of the layout, NF words each, column after column in the
// integer work space; positions and columns count from 1 (ProfileIndex::at).
struct TwoPhaseLayout {
  std::span<std::int32_t> order;         // 1: position -> fluid node
  std::span<std::int32_t> position;      // 2: fluid node -> position
  std::span<std::int32_t> first_narrow;  // 3: first column before widening, also the column profile
  std::span<std::int32_t> last;          // 4: last stored column of each row
  std::span<std::int32_t> diag;          // 5: address of each row's diagonal
  std::span<std::int32_t> first;         // 6: first stored column of each row
  std::span<std::int32_t> loop_end;      // 7: last position of each loop (NCOMP used)

  // Columns 1 to 5 as FPNTRS fills them.
  ProfileIndex narrow() const { return {order, position, first_narrow, last, diag}; }
};

// The seven columns over a table of 7 x nf words.
TwoPhaseLayout two_phase_layout(std::span<std::int32_t> table, std::int32_t nf);

// Positions of loop k (from 1): first and last.
struct LoopRange {
  std::int32_t first, last;
};
inline LoopRange loop_range(const TwoPhaseLayout& t, std::int32_t k) {
  return {k == 1 ? 1 : ProfileIndex::at(t.loop_end, k - 1) + 1, ProfileIndex::at(t.loop_end, k)};
}

}  // namespace kalvir::fluidloop

// Fills the layout of the NF fluid nodes; NCOMP := the number of loops and
// NPROF := the profile length, both 0 without fluid nodes.
void FPNTER(std::int32_t NF, const kalvir::fluidloop::TwoPhaseLayout& TABLE, std::int32_t& NCOMP,
            std::int32_t& NPROF);
