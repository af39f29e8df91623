// Lookups, sorts, copies and numeric limits over the plain arrays in which the
// runtime keeps its tables: sorted integer and name lists, lists of multi-word
// integer keys and parallel value arrays. The pass guard that every
// open-ended loop carries (kalvir::LoopGuard) and the character-row views
// (kalvir::CharRows) come with this header, from the folders below.
//
// Status arguments: 0 success, 1 (SCOMPX: -1) when a count is below 1, in
// which case nothing else is done.
#pragma once

#include <algorithm>
#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <ranges>
#include <span>
#include <string_view>
#include <type_traits>

#include "runtime/control/loop_guard.h"
#include "runtime/platform/arrays.h"
#include "runtime/platform/char_rows.h"
#include "runtime/platform/fixed_string.h"

namespace kalvir {

// Blank-padded comparison of two texts (the shorter one counts as padded with
// blanks): negative, zero or positive.
int compare_padded(std::string_view a, std::string_view b) noexcept;

}  // namespace kalvir

// ---- Searches and comparisons ---------------------------------------------
// Bisection over a list sorted ascending: FOUND = 1 and IPOS the first of the
// equal entries, or FOUND = 0 and IPOS the insertion position (1 .. N + 1).
void SOFNDI(std::span<const std::int32_t> LIST, std::int32_t N, std::int32_t VALUE,
            std::int32_t& IERR, std::int32_t& FOUND, std::int32_t& IPOS);
void SOFNDZ(kalvir::CharRows LIST, std::int32_t N, std::string_view TEXT, std::int32_t& IERR,
            std::int32_t& FOUND, std::int32_t& IPOS);
// Records of NKEY words, sorted ascending in the order of SCOMPI.
void SOFNDM(std::span<const std::int32_t> LIST, std::int32_t NKEY, std::int32_t N,
            std::span<const std::int32_t> KEY, std::int32_t& IERR, std::int32_t& FOUND,
            std::int32_t& IPOS);
// Linear search from the start: the first equal entry, or FOUND = 0 and IPOS = 0.
void SRFNDI(std::span<const std::int32_t> LIST, std::int32_t N, std::int32_t VALUE,
            std::int32_t& IERR, std::int32_t& FOUND, std::int32_t& IPOS);
void SRFNDZ(kalvir::CharRows LIST, std::int32_t N, std::string_view TEXT, std::int32_t& IERR,
            std::int32_t& FOUND, std::int32_t& IPOS);
// Linear search over LIST(ISTART .. ISTART + N - 1); IPOS counts in the whole
// list. IERR = 1 (IPOS 0) when N < 1 or the value is not there.
void PNDPOS(std::span<const std::int32_t> LIST, std::int32_t ISTART, std::int32_t N,
            std::int32_t VALUE, std::int32_t& IPOS, std::int32_t& IERR);
// The first differing word of N decides: IRES 1 (A greater), -1 or 0.
void SCOMPI(std::span<const std::int32_t> A, std::span<const std::int32_t> B, std::int32_t N,
            std::int32_t& IRES, std::int32_t& IERR);
// As SCOMPI on the magnitudes of the words; IERR = -1 when N < 1.
void SCOMPX(std::span<const std::int32_t> A, std::span<const std::int32_t> B, std::int32_t N,
            std::int32_t& IRES, std::int32_t& IERR);

// ---- Sorts -----------------------------------------------------------------
// Stable insertion sort of KEYS(1..N), "INC" ascending or "DEC" descending;
// INDEX moves with its key. Another ORDER gives IERR = 1 and changes nothing.
void SORTII(std::string_view ORDER, std::int32_t N, std::span<std::int32_t> INDEX,
            std::span<std::int32_t> KEYS, std::int32_t& IERR);
void SORTRI(std::string_view ORDER, std::int32_t N, std::span<std::int32_t> INDEX,
            std::span<double> KEYS, std::int32_t& IERR);
// Sorts N records of NKEY words (at most 100) in place, ascending in the
// order of SCOMPX; not stable. With ICHECK non-zero on entry, ICHECK ends as 1
// when two neighbouring records compare equal, else 0.
void SSMSRT(std::int32_t NKEY, std::int32_t N, std::span<std::int32_t> LIST, std::int32_t& IERR,
            std::int32_t& ICHECK);
// Moves the 5-word record at word IPOS (record 0 of NREC records) back among
// the records that follow it until it stands before the first one that is not
// smaller (SCOMPI).
void SOMSRT(std::int32_t IPOS, std::int32_t NREC, std::span<std::int32_t> LIST);

// ---- Copies, fills and limits ---------------------------------------------
void SICOPY(std::span<const std::int32_t> SRC, std::int32_t N, std::int32_t& IERR,
            std::span<std::int32_t> DST);
void SCOPYD(std::span<const double> SRC, std::int32_t N, std::int32_t& IERR,
            std::span<double> DST);
// Each element is cut or blank-padded to the destination's element width.
void SZCOPY(kalvir::CharRows SRC, std::int32_t N, std::int32_t& IERR, kalvir::CharRowsMut DST);
void SZEROI(std::int32_t N, std::span<std::int32_t> ARR, std::int32_t& IERR);
void Szerod(std::int32_t N, std::span<double> ARR, std::int32_t& IERR);
void SZEROZ(std::int32_t N, kalvir::CharRowsMut ARR, std::int32_t& IERR);

// The value that stands for infinity.
double SRLMAX();
// True when |X| counts as zero (below 1.0E-37).
bool SMINRL(double X);
// As SMINRL against 1.0E-37 rounded to single precision.
bool SMINDL(double X);
