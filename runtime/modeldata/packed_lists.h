// Pieces shared by the thermal (pcs.cpp) and fluid (fpcs.cpp) connection
// lists and the inter-model links that extend them (model_links.cpp): the
// usable list lengths, a submodel's node numbers and conductor offsets, the
// lookup of a pair end among the node numbers and the reading of its sign,
// and the one step of a walk over a node's packed list that STUNPK and
// SFUNPK both take.
#pragma once

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/run_end.h"
#include "runtime/modeldata/mdb_context.h"
#include "runtime/modeldata/search_sort.h"

namespace kalvir::mdb {

// Words of the thermal packed lists and of the fluid lists that may be used:
// the sizes the MDB header asked for, within the arrays as allocated.
inline std::int32_t thermal_list_length() {
  return static_cast<std::int32_t>(std::min<std::int64_t>(FLAGS(24), gar_pcsthermalold.size()));
}
inline std::int32_t fluid_list_length() {
  return static_cast<std::int32_t>(std::min<std::int64_t>(FLAGS(35), gar_pcsfluid.size()));
}

// The user numbers of submodel isub's thermal and fluid nodes.
inline std::span<const std::int32_t> thermal_numbers(std::int32_t isub) {
  return gar_thermalnodenums.span().subspan(static_cast<std::size_t>(dir(3, isub)),
                                            static_cast<std::size_t>(dir(3, isub + 1) - dir(3, isub)));
}
inline std::span<const std::int32_t> fluid_numbers(std::int32_t isub) {
  return gar_fluidnodenums.span().subspan(static_cast<std::size_t>(dir(16, isub)),
                                          static_cast<std::size_t>(dir(16, isub + 1) - dir(16, isub)));
}

// Conductors of each kind, in list order, that come before submodel isub's.
inline std::array<std::int32_t, kKinds> conductors_before(std::int32_t isub) {
  return {dir(kKindRow[0], isub), dir(kKindRow[1], isub), dir(kKindRow[2], isub)};
}

// Position of user node number `number` in NUMBERS (sorted ascending), 0 when
// it is not there.
inline std::int32_t position_in(std::span<const std::int32_t> numbers, std::int32_t number) {
  if (numbers.empty()) return 0;
  std::int32_t st = 0, found = 0, pos = 0;
  SOFNDI(numbers, static_cast<std::int32_t>(numbers.size()), number, st, found, pos);
  return found == 1 ? pos : 0;
}

// The sign a node pair gives a fluidic conductor's end (0 counts as +).
inline std::int32_t sign_of(std::int32_t v) { return v < 0 ? -1 : 1; }

// The magnitude of a node number as written in a pair; the one number without
// a magnitude names no node.
inline std::int32_t magnitude(std::int32_t v) { return v == INT32_MIN ? 0 : (v < 0 ? -v : v); }

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
  LoopGuard guard(routine);
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

}  // namespace kalvir::mdb
