// The one step of a walk over a node's packed connection list that the
// list readers (STUNPK, SFUNPK, SUNPAK) share; they differ only in the runs
// a list has and in the entries they pass over.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "runtime/control/run_end.h"
#include "runtime/modeldata/search_sort.h"

namespace kalvir {

// One step of the walk over node NODE's packed list in LIST (start of the node
// at PTRS(NODE)): a positive word is an entry (neighbour, then conductor or
// link), a negative word -p continues at p and a 0 ends run KIND. POS = 0
// starts the walk (KIND := 1), otherwise it goes on behind the entry at POS.
// Entries for which passed_over(KIND, neighbour) holds are skipped. After run
// `runs` the walk ends with KIND = runs + 1, POS 0 and NEIGHB 0. A position
// outside the list stops the run under ROUTINE's name: the lists are the
// program's own, so a bad position means they are broken.
template <class PassedOver>
void unpack_step(std::string_view routine, std::int32_t runs, std::int32_t NODE, std::span<const std::int32_t> LIST,
                 std::span<const std::int32_t> PTRS, std::int32_t& KIND, std::int32_t& POS, std::int32_t& ICOND,
                 std::int32_t& NEIGHB, PassedOver passed_over) {
  const auto at = [&](std::int64_t k) {
    if (k < 1 || k > static_cast<std::int64_t>(LIST.size())) {
      internal_stop(std::string(routine) + ": connection list position out of range");
    }
    return LIST[static_cast<std::size_t>(k - 1)];
  };
  std::int64_t p;
  if (POS == 0) {
    if (NODE < 1 || NODE > static_cast<std::int64_t>(PTRS.size())) {
      internal_stop(std::string(routine) + ": node out of range");
    }
    p = PTRS[static_cast<std::size_t>(NODE - 1)];
    KIND = 1;
  } else {
    p = std::int64_t{POS} + 2;
  }
  kalvir::LoopGuard guard(routine);
  for (;;) {
    guard.tick();
    const std::int32_t v = at(p);
    if (v > 0) {
      if (!passed_over(KIND, v)) {
        POS = static_cast<std::int32_t>(p);
        NEIGHB = v;
        ICOND = at(p + 1);
        return;
      }
      p += 2;
    } else if (v < 0) {
      p = -std::int64_t{v};
    } else {
      if (++KIND > runs) {
        POS = 0;
        NEIGHB = 0;
        return;
      }
      p += 1;
    }
  }
}

}  // namespace kalvir
