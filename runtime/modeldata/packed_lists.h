// Pieces shared by the thermal (pcs.cpp) and fluid (fpcs.cpp) connection
// lists and the inter-model links that extend them (model_links.cpp): the
// usable list lengths, a submodel's node numbers and conductor offsets, the
// lookup of a pair end among the node numbers and the reading of its sign,
// and the rewrite in place that inserts the inter-model conductors.
// The walk over a node's packed list is in packed_walk.h.
#pragma once

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <span>

#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/modeldata/mdb_context.h"
#include "runtime/modeldata/mdb_records.h"
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

// The rewrite of a whole list in place, with entries inserted (SLKCTR,
// SFLCTR): the USED words in use move to the end of the list's LENGTH words
// and are read from there while the list is written again from its start. A
// write must stay below every word not yet read; a failed move, a read outside
// the moved words or a write that would overtake the reading sets IERR 11.
class ListRewrite {
 public:
  ListRewrite(std::span<std::int32_t> list, std::int32_t length, std::int32_t used, std::int32_t& ierr)
      : list_(list), length_(length), shift_(length - used), unread_(shift_ + 1), ierr_(ierr) {
    if (used > 0 && shift_ != 0) {
      std::int32_t st = 0;
      DBCOPI(length, used, 1, length - used + 1, list, st);
      if (st != 0) ierr_ = 11;
    }
  }

  // Words moved: what stood at p stands at p + shift().
  std::int64_t shift() const noexcept { return shift_; }
  // Words written so far.
  std::int64_t written() const noexcept { return w_; }

  std::int32_t read(std::int64_t rp) {
    if (rp <= shift_ || rp > length_) {
      ierr_ = 11;
      return 0;
    }
    unread_ = std::max(unread_, rp + 1);
    return list_[static_cast<std::size_t>(rp - 1)];
  }
  void put(std::int32_t v) {
    if (w_ + 1 >= unread_) {
      ierr_ = 11;
      return;
    }
    list_[static_cast<std::size_t>(w_++)] = v;
  }

 private:
  std::span<std::int32_t> list_;
  std::int64_t length_;
  std::int64_t shift_;
  std::int64_t unread_;
  std::int64_t w_ = 0;
  std::int32_t& ierr_;
};

}  // namespace kalvir::mdb
