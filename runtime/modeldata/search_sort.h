// Lookups, sorts, copies and numeric limits over the plain arrays in which the
// runtime keeps its tables: sorted integer and name lists, lists of multi-word
// integer keys and parallel value arrays. Also the pass guard that every
// open-ended loop of the library carries.
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

#include "runtime/platform/arrays.h"
#include "runtime/platform/fixed_string.h"

namespace kalvir {

// Counts the passes of an open-ended loop and stops the run through ERROR,
// naming the routine, once they exceed the limit: a corrupt list must end in
// a message, not in a hang.
//
//   kalvir::LoopGuard guard("SOFNDI");
//   while (...) { guard.tick(); ... }
class LoopGuard {
 public:
  static constexpr std::int64_t kPassLimit = 2000000000;

  // The routine's name is copied (up to 40 characters), so a temporary may
  // name it. The limit is only ever lowered by tests.
  explicit constexpr LoopGuard(std::string_view routine, std::int64_t limit = kPassLimit) noexcept
      : limit_(limit) {
    name_length_ = std::min(routine.size(), name_.size());
    std::copy_n(routine.data(), name_length_, name_.data());
  }

  void tick() {
    if (++passes_ > limit_) trip();
  }
  std::int64_t passes() const noexcept { return passes_; }
  std::string_view routine() const noexcept { return {name_.data(), name_length_}; }

 private:
  [[noreturn]] void trip() const;

  std::array<char, 40> name_{};
  std::size_t name_length_ = 0;
  std::int64_t limit_;
  std::int64_t passes_ = 0;
};

namespace detail {
template <class T>
struct is_chars : std::false_type {};
template <std::size_t W>
struct is_chars<Chars<W>> : std::true_type {
  static constexpr std::size_t width = W;
};
template <class R>
concept chars_range = std::ranges::contiguous_range<R> && std::ranges::sized_range<R> &&
                      is_chars<std::remove_cv_t<std::ranges::range_value_t<R>>>::value;
}  // namespace detail

// A read-only list of equal-width character elements stored back to back,
// indexed from 1. Built from a CharArray, from any contiguous range of Chars
// (std::array, std::vector, std::span) or from a raw stream.
class CharRows {
 public:
  CharRows(const char* data, std::size_t width, std::int64_t count) noexcept
      : data_(data), width_(width), count_(count < 0 ? 0 : count) {}
  template <std::size_t W>
  CharRows(const CharArray<W>& a) noexcept  // NOLINT: implicit on purpose
      : CharRows(a.data(), W, a.size()) {}
  template <detail::chars_range R>
  CharRows(const R& r) noexcept  // NOLINT: implicit on purpose
      : CharRows(reinterpret_cast<const char*>(std::ranges::data(r)),
                 detail::is_chars<std::remove_cv_t<std::ranges::range_value_t<R>>>::width,
                 static_cast<std::int64_t>(std::ranges::size(r))) {}

  std::string_view operator()(std::int64_t i) const noexcept {
    KALVIR_CHECK_INDEX(i >= 1 && i <= count_, "CharRows");
    return {data_ + static_cast<std::size_t>(i - 1) * width_, width_};
  }
  std::size_t width() const noexcept { return width_; }
  std::int64_t size() const noexcept { return count_; }

 private:
  const char* data_;
  std::size_t width_;
  std::int64_t count_;
};

// The writable counterpart of CharRows.
class CharRowsMut {
 public:
  CharRowsMut(char* data, std::size_t width, std::int64_t count) noexcept
      : data_(data), width_(width), count_(count < 0 ? 0 : count) {}
  template <std::size_t W>
  CharRowsMut(CharArray<W>& a) noexcept  // NOLINT: implicit on purpose
      : CharRowsMut(a.data(), W, a.size()) {}
  template <detail::chars_range R>
    requires(!std::is_const_v<std::remove_reference_t<std::ranges::range_reference_t<R>>>)
  CharRowsMut(R& r) noexcept  // NOLINT: implicit on purpose
      : CharRowsMut(reinterpret_cast<char*>(std::ranges::data(r)),
                    detail::is_chars<std::ranges::range_value_t<R>>::width,
                    static_cast<std::int64_t>(std::ranges::size(r))) {}

  std::span<char> row(std::int64_t i) const noexcept {
    KALVIR_CHECK_INDEX(i >= 1 && i <= count_, "CharRowsMut");
    return {data_ + static_cast<std::size_t>(i - 1) * width_, width_};
  }
  std::string_view operator()(std::int64_t i) const noexcept {
    const auto r = row(i);
    return {r.data(), r.size()};
  }
  std::size_t width() const noexcept { return width_; }
  std::int64_t size() const noexcept { return count_; }
  operator CharRows() const noexcept { return {data_, width_, count_}; }  // NOLINT

 private:
  char* data_;
  std::size_t width_;
  std::int64_t count_;
};

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
