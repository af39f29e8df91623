// Column layout of a node table (LSTBFM): from the decoded entity list, the
// row layouts of thermal and fluid nodes and the heading, for a first table
// and, when the columns do not all fit in WIDTH, a continuation table. The
// user may replace the first table's row layouts with formats of their own
// (control constants TFORM, TFORMF and the heading THEAD).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "runtime/platform/fixed_string.h"
#include "runtime/platform/format.h"

namespace kalvir::print {

enum class ValueKind : std::uint8_t { Text, Real, Integer };

// One column of a built row layout: 4 blanks, then the value, then `extra`
// blank columns; `width` blank columns when the row's node kind has no value.
struct ColumnPiece {
  std::int32_t code = 0;  // entity code
  ValueKind kind = ValueKind::Real;
  std::int32_t text_length = 0;  // characters of a text value (24 or 4)
  std::int32_t extra = 0;        // blank columns after the value
  std::int32_t width = 0;        // the whole column
  bool has_value = false;        // the row's node kind has the entity
};

// The layout of the rows of one node kind in one table. A user layout is
// applied to the node number and the row's values; the built pieces stay
// beside it and are used for any row the user layout cannot write.
struct RowLayout {
  std::vector<ColumnPiece> pieces;
  std::optional<platform::Format> user;
  std::string_view user_source;  // "TFORM" or "TFORMF"
  mutable bool user_failed = false;  // a row did not suit the user layout (reported once)
  // Items that the user layout takes when it has fewer value descriptors than
  // the row has values (0: all of them); found on the first such row.
  mutable std::size_t user_items = 0;
};

// Widest heading text: 132 print columns.
using Heading = Chars<132>;

}  // namespace kalvir::print

// Lays out the node table for entity codes LIST(1..N) in WIDTH print columns.
// STATUS is the decoding status of the entity list: with 3 or more the user
// layouts are ignored. N1 entities go to table 1, the next N2 to table 2,
// which is printed when CONT = 1. A continuation table that overflows too is
// reported (warning) and the entities from there on get no column; a user
// layout that cannot be read is reported (warning) and the built one is used.
void LSTBFM(std::span<const std::int32_t> LIST, std::int32_t N, std::int32_t WIDTH, std::int32_t STATUS,
            kalvir::print::RowLayout& THERMAL1, kalvir::print::RowLayout& FLUID1,
            kalvir::print::RowLayout& THERMAL2, kalvir::print::RowLayout& FLUID2, kalvir::print::Heading& HEAD1,
            kalvir::print::Heading& HEAD2, std::int32_t& N1, std::int32_t& N2, std::int32_t& CONT);
