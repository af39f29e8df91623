// Views of equal-width character elements stored back to back (the runtime's
// name lists and character arrays), indexed from 1: what every routine
// taking a list of names receives.
#pragma once

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

}  // namespace kalvir
