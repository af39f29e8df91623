#include "runtime/modeldata/node_number_index.h"

#include <algorithm>

#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/modeldata/fpcs.h"

namespace kalvir {

namespace {

// The submodels INTNOD accepts: FLAGS(NSUB), as far as the directory has
// columns for them and their successors.
std::int32_t indexed_submodels() {
  return static_cast<std::int32_t>(
      std::max<std::int64_t>(std::min<std::int64_t>(FLAGS(flagw::NSUB), gar_modeldirectory.cols() - 1), 0));
}

}  // namespace

NodeNumberIndex::NodeNumberIndex() : nsub_(indexed_submodels()), nnode_(FLAGS(flagw::NNODE)) {
  const auto& d = gar_modeldirectory;
  // Directory row 3 counts the thermal nodes before a submodel, row 16 its
  // fluid nodes; the ranges are those INTNOD scans.
  auto build = [&](Lists& lists, std::int32_t row, const auto& numbers) {
    lists.begin.assign(1, 0);
    for (std::int32_t m = 1; m <= nsub_; ++m) {
      const std::size_t from = lists.entries.size();
      const std::int64_t last = std::min<std::int64_t>(d(row, m + 1), numbers.size());
      for (std::int64_t i = std::max(d(row, m), 0) + 1LL; i <= last; ++i)
        lists.entries.push_back({numbers(i), static_cast<std::int32_t>(i)});
      std::stable_sort(lists.entries.begin() + static_cast<std::ptrdiff_t>(from), lists.entries.end(),
                       [](const Entry& a, const Entry& b) { return a.number < b.number; });
      lists.begin.push_back(lists.entries.size());
    }
  };
  build(thermal_, 3, gar_thermalnodenums);
  build(fluid_, 16, gar_fluidnodenums);
}

std::int32_t NodeNumberIndex::first_match(const Lists& lists, std::int32_t isub, std::int32_t number) {
  const auto first = lists.entries.begin() + static_cast<std::ptrdiff_t>(lists.begin[static_cast<std::size_t>(isub - 1)]);
  const auto last = lists.entries.begin() + static_cast<std::ptrdiff_t>(lists.begin[static_cast<std::size_t>(isub)]);
  const auto at = std::lower_bound(first, last, number, [](const Entry& e, std::int32_t n) { return e.number < n; });
  return at != last && at->number == number ? at->index : 0;
}

std::int32_t NodeNumberIndex::find(std::int32_t isub, std::int32_t number) const {
  if (!has_submodel(isub)) return 0;
  if (const std::int32_t i = first_match(thermal_, isub, number); i != 0) return i;
  if (const std::int32_t f = first_match(fluid_, isub, number); f != 0) return nnode_ + f;
  return 0;
}

}  // namespace kalvir

std::int32_t INTNOD(const kalvir::NodeNumberIndex& INDEX, std::int32_t ISUB, std::int32_t NODE) {
  const std::int32_t node = INDEX.find(ISUB, NODE);
  if (node == 0) kalvir::intnod_warning(ISUB, NODE);
  return node;
}
