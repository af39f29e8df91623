// Arrays of numbers come from zeroed storage without being written: a fresh
// allocation must still read as zeros, also where an earlier allocation of
// the same array had left its values.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "runtime/platform/arrays.h"

namespace kalvir {
namespace arrays_test {

template <class A>
bool all_zero(const A& a) {
  return std::all_of(a.span().begin(), a.span().end(), [](auto v) { return v == 0; });
}

TEST(Arrays, EveryAllocationReadsAsZerosWhateverWasThereBefore) {
  Array1<double> reals;
  Array1<std::int32_t> ints;
  Array2<std::int32_t> table;
  for (const std::int64_t n : {1000, 300000, 10, 300000}) {
    reals.allocate(n);
    ints.allocate(n);
    table.allocate(3, n);
    EXPECT_EQ(reals.size(), n);
    EXPECT_EQ(table.size(), 3 * n);
    EXPECT_TRUE(all_zero(reals)) << n;
    EXPECT_TRUE(all_zero(ints)) << n;
    EXPECT_TRUE(all_zero(table)) << n;
    std::fill(reals.begin(), reals.end(), -1.5);
    std::fill(ints.begin(), ints.end(), 7);
    std::fill(table.span().begin(), table.span().end(), 9);
  }
  // A copy is a copy of the values, not fresh zeros.
  const Array1<double> copy = reals;
  EXPECT_EQ(copy(1), -1.5);
  EXPECT_EQ(copy(copy.size()), -1.5);
}

}  // namespace arrays_test
}  // namespace kalvir
