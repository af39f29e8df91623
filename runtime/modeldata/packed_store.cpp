#include "runtime/modeldata/packed_store.h"

#include <algorithm>
#include <cstring>

namespace {

using kalvir::PackedRows;

// Characters in the first NROWS rows, or -1 when the store has fewer rows
// than the caller counts (nothing of such a store may be read).
std::int64_t stream_size(PackedRows store, std::int32_t nrows) {
  if (nrows < 0 || nrows > store.rows()) return -1;
  return static_cast<std::int64_t>(nrows) * store.width();
}

void blank(std::span<char> text) { std::fill(text.begin(), text.end(), ' '); }

// The place of the character at (col, row), wrapping from one past the last
// column to column 1 of the next row first; then the column moves on. A place
// outside the store leaves col and row as they were and gives false.
bool next_place(std::int64_t rows, std::int64_t width, std::int32_t& col, std::int32_t& row,
                std::int64_t& at) {
  std::int64_t c = col;
  std::int64_t r = row;
  if (c > width) {
    c = 1;
    ++r;
  }
  if (r < 1 || r > rows || c < 1) return false;
  at = (r - 1) * width + (c - 1);
  col = static_cast<std::int32_t>(c + 1);
  row = static_cast<std::int32_t>(r);
  return true;
}

}  // namespace

void DBFZPK(kalvir::PackedRows STORE, std::int32_t NROWS, std::int32_t IEND, std::int32_t ISTART,
            std::int32_t& LEN, std::span<char> TEXT, std::int32_t& IERR) {
  blank(TEXT);
  LEN = 0;
  IERR = 0;
  const std::int64_t size = stream_size(STORE, NROWS);
  if (ISTART < 1 || IEND > size || IEND < ISTART) {
    IERR = -1;
    return;
  }
  std::int32_t end = 0;
  std::int32_t bad = 0;
  SCANDX(STORE, NROWS, IEND, ISTART, std::string_view("\0", 1), end, bad);
  if (end == 0) {
    // No terminator: the value has no length to report.
    IERR = -1;
    return;
  }
  LEN = end - ISTART;
  std::int32_t status = 0;
  SCVUCA(STORE, NROWS, IEND, ISTART, end - 1, TEXT, status);
  IERR = status == 0 ? 0 : status == 1 ? 1 : -1;
}

void SCANDX(kalvir::PackedRows STORE, std::int32_t NROWS, std::int32_t IEND, std::int32_t ISTART,
            std::string_view DELIM, std::int32_t& IPOS, std::int32_t& IBAD) {
  IPOS = 0;
  IBAD = 0;
  const std::int64_t size = stream_size(STORE, NROWS);
  if (ISTART < 1 || IEND > size || IEND < ISTART) {
    IBAD = 1;
    return;
  }
  if (DELIM.empty()) return;
  // The rows lie back to back, so an occurrence that runs over a row end is
  // found like any other.
  const std::string_view window(STORE.data() + (ISTART - 1),
                                static_cast<std::size_t>(IEND - ISTART + 1));
  const std::size_t at = window.find(DELIM);
  if (at != std::string_view::npos) IPOS = ISTART + static_cast<std::int32_t>(at);
}

void SCVNDX(kalvir::PackedRows STORE, std::int32_t NROWS, std::int32_t IEND, std::int32_t IROW,
            std::int32_t ICOL, std::string_view DELIM, std::int32_t& IPOS) {
  IPOS = 0;
  const std::int64_t size = stream_size(STORE, NROWS);
  const std::int64_t w = STORE.width();
  const auto d = static_cast<std::int64_t>(DELIM.size());
  if (d < 2 || IROW < 1 || IROW >= NROWS || size < 0) return;
  const std::int64_t last = std::min<std::int64_t>(IEND, size);
  const std::int64_t row_start = (static_cast<std::int64_t>(IROW) - 1) * w;  // 0-based
  for (std::int64_t col = std::max<std::int64_t>({ICOL, w - d + 2, 1}); col <= w; ++col) {
    const std::int64_t pos = row_start + col;  // 1-based stream position
    if (pos + d - 1 > last) return;
    if (std::memcmp(STORE.data() + (pos - 1), DELIM.data(), static_cast<std::size_t>(d)) == 0) {
      IPOS = static_cast<std::int32_t>(pos);
      return;
    }
  }
}

void SCVUCA(kalvir::PackedRows STORE, std::int32_t NROWS, std::int32_t IEND, std::int32_t IFIRST,
            std::int32_t ILAST, std::span<char> TEXT, std::int32_t& IERR) {
  IERR = 0;
  if (NROWS < 1 || STORE.width() < 1 || TEXT.empty() || IEND < 1 || IFIRST < 1 ||
      ILAST < IFIRST) {
    IERR = -2;
    return;
  }
  const std::int64_t size = stream_size(STORE, NROWS);
  if (size < 0 || IEND > size || ILAST > IEND) {
    IERR = -1;
    return;
  }
  blank(TEXT);
  const auto count = static_cast<std::size_t>(ILAST - IFIRST + 1);
  const std::size_t n = std::min(count, TEXT.size());
  std::copy_n(STORE.data() + (IFIRST - 1), n, TEXT.begin());
  if (n < count) IERR = 1;
}

void SMOVAV(kalvir::PackedRows STORE, std::int32_t& ICOL, std::int32_t& IROW,
            std::int32_t& NCOUNT, std::span<char> TEXT) {
  blank(TEXT);
  const std::int64_t w = STORE.width();
  for (char& c : TEXT) {
    if (NCOUNT <= 0) return;
    std::int64_t at = 0;
    if (!next_place(STORE.rows(), w, ICOL, IROW, at)) return;
    c = STORE.data()[at];
    --NCOUNT;
  }
}

void SMOVVA(std::string_view TEXT, std::int32_t NCOUNT, std::int32_t& ICOL, std::int32_t& IROW,
            kalvir::PackedRowsMut STORE) {
  const std::int64_t w = STORE.width();
  for (std::int32_t k = 1; k <= NCOUNT; ++k) {
    std::int64_t at = 0;
    if (!next_place(STORE.rows(), w, ICOL, IROW, at)) return;
    STORE.data()[at] =
        static_cast<std::size_t>(k) <= TEXT.size() ? TEXT[static_cast<std::size_t>(k - 1)] : ' ';
  }
}
