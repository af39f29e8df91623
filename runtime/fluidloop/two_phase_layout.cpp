#include "runtime/fluidloop/two_phase_layout.h"

#include <algorithm>

#include "runtime/control/run_end.h"
#include "runtime/fluidloop/support.h"

namespace kalvir::fluidloop {

TwoPhaseLayout two_phase_layout(std::span<std::int32_t> table, std::int32_t nf) {
  const auto n = static_cast<std::size_t>(std::max(nf, 0));
  if (table.size() < 7 * n) internal_stop("Two-phase layout table smaller than its seven columns");
  const auto col = [&](std::size_t k) { return table.subspan(k * n, n); };
  return {col(0), col(1), col(2), col(3), col(4), col(5), col(6)};
}

}  // namespace kalvir::fluidloop

using kalvir::fluidloop::ProfileIndex;

void FPNTER(std::int32_t NF, const kalvir::fluidloop::TwoPhaseLayout& TABLE, std::int32_t& NCOMP,
            std::int32_t& NPROF) {
  NCOMP = 0;
  NPROF = 0;
  if (NF < 1) return;
  // The order and the narrow profile are those of the single-phase
  // hydraulics; a loop starts at every position that no earlier row reached.
  std::int32_t narrow_length = 0;
  FPNTRS(NF, TABLE.narrow(), narrow_length);
  const auto at = [](std::span<std::int32_t> c, std::int32_t i) -> std::int32_t& { return ProfileIndex::at(c, i); };
  std::fill(TABLE.loop_end.begin(), TABLE.loop_end.end(), 0);
  std::int32_t start = 1;
  for (std::int32_t r = 1; r <= NF; ++r) {
    at(TABLE.first, r) = at(TABLE.first_narrow, r);
    if (r == NF || at(TABLE.first_narrow, r + 1) == r + 1) {
      at(TABLE.loop_end, ++NCOMP) = r;
      at(TABLE.first, r) = start;
      start = r + 1;
    }
  }
  // The rows follow each other without gaps: widening a row moves every
  // diagonal after it.
  at(TABLE.diag, 1) = 1;
  for (std::int32_t r = 1; r < NF; ++r)
    at(TABLE.diag, r + 1) = at(TABLE.diag, r) + at(TABLE.last, r) - at(TABLE.first, r + 1) + 2;
  NPROF = at(TABLE.diag, NF);
}
