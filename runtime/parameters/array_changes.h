// ARRAY changes of the parameter cases: CHANGE NAME(i,j,k)=values and SCALE
// NAME(i,j,k)*factor on the real, integer and character ARRAYs of a
// submodel. Element (i, j, k) has the linear index i + N1 (j - 1) +
// N1 N2 (k - 1); an index "*" stands for the whole dimension.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "runtime/modeldata/packed_store.h"

namespace kalvir::parameters {
using ArrayDims = std::array<std::int32_t, 3>;                   // N1, N2, N3 (missing ones 1)
using IndexRanges = std::array<std::array<std::int32_t, 2>, 3>;  // (low, high) per dimension

inline std::int64_t linear_index(const ArrayDims& d, std::int32_t i, std::int32_t j, std::int32_t k) {
  return i + std::int64_t{d[0]} * (j - 1) + std::int64_t{d[0]} * d[1] * (k - 1);
}

// Calls F(i, j, k, linear index) for each element in the ranges, first index
// fastest.
template <class F>
void each_in_ranges(const ArrayDims& d, const IndexRanges& r, F f) {
  for (std::int32_t k = r[2][0]; k <= r[2][1]; ++k)
    for (std::int32_t j = r[1][0]; j <= r[1][1]; ++j)
      for (std::int32_t i = r[0][0]; i <= r[0][1]; ++i) f(i, j, k, linear_index(d, i, j, k));
}

// The ARRAY named by LHS ([path:]NAME(indices)) among submodel ISUB's (or the
// path's, relative to ISUB): ARRAY its number and REF the text after the
// path. 0, or 1 unknown submodel, 2 no "(", 3 no such ARRAY.
std::int32_t find_array(std::string_view lhs, std::int32_t isub, std::int32_t& array, std::string_view& ref);
// The length of the string at stream position POS of a packed store
// (without its NUL), or -1 when it has no terminator within the store's NROWS
// rows or is longer than 256.
std::int32_t string_length(kalvir::PackedRows store, std::int32_t nrows, std::int64_t pos);
}  // namespace kalvir::parameters

// The statement with left-hand side LHS ([path:]NAME(indices)) and value text
// VALUE. IERR 0, or PARARR 1 unknown submodel, 2 no "(", 3 no such ARRAY,
// 4 a SCALE of integers or texts or with a list, or (integer ARRAYs) a list on
// a "*" range, 5 (integer) / 7 (real, character) values running off the end,
// 6 (real, character) a list on a "*" range; or PARAIN's and the value
// readers' codes. A failed statement changes no value.
void PARARR(std::string_view KEYWORD, std::string_view LHS, std::string_view VALUE, std::int32_t ISUB,
            std::int32_t& IERR);

// Reads the index part "(i,j,k)" of ARRAY IARRAY: its kind (1 integer, 2 real,
// 3 character), start in its value store, dimensions and index ranges;
// RANGED = 1 when an index was "*". Every bad item is reported; IERR is the
// code of the last: 1 no ")", 2 out of bounds, 3 not an integer, 4 too many
// indices, 5 too few, 6 the ARRAY cannot be read, 7 another kind of ARRAY.
void PARAIN(std::int32_t IARRAY, std::string_view INDICES, std::int32_t& START, std::int32_t& KIND,
            std::int32_t& NDIM, kalvir::parameters::ArrayDims& DIMS, kalvir::parameters::IndexRanges& RANGES,
            std::int32_t& RANGED, std::int32_t& IERR);

// Every element in RANGES of the ARRAY whose elements ELEMENTS holds from its
// first: set to VALUE (PARRAR with "CHANGE", PARIAR) or multiplied by it.
void PARRAR(std::string_view KEYWORD, const kalvir::parameters::ArrayDims& DIMS,
            const kalvir::parameters::IndexRanges& RANGES, double VALUE, std::span<double> ELEMENTS);
void PARIAR(const kalvir::parameters::ArrayDims& DIMS, const kalvir::parameters::IndexRanges& RANGES,
            std::int32_t VALUE, std::span<std::int32_t> ELEMENTS);

// Character ARRAYs in the packed store (each element a string ended by a
// NUL; its length never changes). PARZA1 replaces elements FIRST,
// FIRST + 1, ... with VALUES; PARZA2 every element in RANGES with VALUE. START
// is the stream position of the ARRAY's first character. IERR 1 (PARZA1: while
// skipping to the first element) or 2 (while replacing): an element that
// cannot be read.
void PARZA1(std::int32_t FIRST, std::int32_t NVAL, std::span<const std::string_view> VALUES, std::int32_t START,
            std::int32_t NROWS, kalvir::PackedRowsMut STORE, std::int32_t& IERR);
void PARZA2(const kalvir::parameters::ArrayDims& DIMS, const kalvir::parameters::IndexRanges& RANGES,
            std::string_view VALUE, std::int32_t START, std::int32_t NROWS, kalvir::PackedRowsMut STORE,
            std::int32_t& IERR);
