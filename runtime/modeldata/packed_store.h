// The packed character store: character values of any length (character user
// constants and character ARRAY elements) kept in rows of fixed width that are
// read as one stream, each value ended by a NUL. Stream position s (from 1)
// lies in row (s - 1) / W + 1 at column (s - 1) mod W + 1, and a value may run
// over any number of row ends.
//
// Values are never moved: a new value is written over the old one with the
// old length, so the terminators stay where they are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <type_traits>

#include "runtime/platform/arrays.h"

namespace kalvir {

// A store as its routines see it: rows() rows of width() characters back to
// back. Made from a CharArray (gar_userconstvalueschar, gar_arrayvalueschar).
template <class Char>
class BasicPackedRows {
 public:
  BasicPackedRows(Char* data, std::size_t width, std::int64_t rows) noexcept
      : data_(data), width_(static_cast<std::int64_t>(width)), rows_(rows < 0 ? 0 : rows) {}
  template <std::size_t W>
  BasicPackedRows(CharArray<W>& a) noexcept  // NOLINT: implicit on purpose
      : BasicPackedRows(a.data(), W, a.size()) {}
  template <std::size_t W>
    requires std::is_const_v<Char>
  BasicPackedRows(const CharArray<W>& a) noexcept  // NOLINT: implicit on purpose
      : BasicPackedRows(a.data(), W, a.size()) {}
  template <class Other>
    requires(std::is_const_v<Char> && !std::is_const_v<Other>)
  BasicPackedRows(const BasicPackedRows<Other>& o) noexcept  // NOLINT: implicit on purpose
      : BasicPackedRows(o.data(), static_cast<std::size_t>(o.width()), o.rows()) {}

  Char* data() const noexcept { return data_; }
  std::int64_t width() const noexcept { return width_; }
  std::int64_t rows() const noexcept { return rows_; }

 private:
  Char* data_;
  std::int64_t width_;
  std::int64_t rows_;
};

using PackedRows = BasicPackedRows<const char>;
using PackedRowsMut = BasicPackedRows<char>;

}  // namespace kalvir

// In every routine NROWS is the number of rows the caller counts in the store;
// a count beyond the rows the store really has counts as a bad range.

// Extracts into TEXT (blanked first) the value that starts at stream position
// ISTART; LEN receives its length. IERR: 0; 1 when TEXT is shorter than the
// value (TEXT holds its leading part); -1 when ISTART is below 1, IEND beyond
// the store or below ISTART, no terminator follows up to IEND, or the value
// is empty.
void DBFZPK(kalvir::PackedRows STORE, std::int32_t NROWS, std::int32_t IEND, std::int32_t ISTART,
            std::int32_t& LEN, std::span<char> TEXT, std::int32_t& IERR);

// Stream position of the first occurrence of DELIM that starts at or after
// ISTART and ends at or before IEND (0 when there is none). IBAD = 1 (and
// IPOS 0) when ISTART < 1, IEND beyond the store or IEND < ISTART.
void SCANDX(kalvir::PackedRows STORE, std::int32_t NROWS, std::int32_t IEND, std::int32_t ISTART,
            std::string_view DELIM, std::int32_t& IPOS, std::int32_t& IBAD);

// The step of SCANDX for one row end: an occurrence of DELIM that begins in
// the last columns of row IROW, not before column ICOL, and is completed on
// the next row no later than IEND. IPOS is its stream position, or 0.
void SCVNDX(kalvir::PackedRows STORE, std::int32_t NROWS, std::int32_t IEND, std::int32_t IROW,
            std::int32_t ICOL, std::string_view DELIM, std::int32_t& IPOS);

// Copies stream positions IFIRST .. ILAST into TEXT (blank-padded). IERR: 0;
// 1 when TEXT is shorter than the range (it holds the leading part); -1 when
// ILAST > IEND or IEND beyond the store; -2 when NROWS, the row width or the
// length of TEXT is below 1, IEND or IFIRST is below 1, or ILAST < IFIRST.
void SCVUCA(kalvir::PackedRows STORE, std::int32_t NROWS, std::int32_t IEND, std::int32_t IFIRST,
            std::int32_t ILAST, std::span<char> TEXT, std::int32_t& IERR);

// Reads characters into TEXT (blanked first) from (IROW, ICOL) on until TEXT
// is full, NCOUNT reaches 0 or the store ends. The position passes from the
// last column to column 1 of the next row before a character is moved, so
// between calls it may point one past a row end.
void SMOVAV(kalvir::PackedRows STORE, std::int32_t& ICOL, std::int32_t& IROW,
            std::int32_t& NCOUNT, std::span<char> TEXT);

// Writes NCOUNT characters into the store from (IROW, ICOL) on, wrapping as
// SMOVAV does: character k of TEXT, or a blank beyond TEXT's end. Writing
// stops at the end of the store; ICOL and IROW are left after the last
// character written.
void SMOVVA(std::string_view TEXT, std::int32_t NCOUNT, std::int32_t& ICOL, std::int32_t& IROW,
            kalvir::PackedRowsMut STORE);
