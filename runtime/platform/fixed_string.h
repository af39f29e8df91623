// Fixed-length, blank-padded character values.
//
// Character data in this program keeps its declared length: a value shorter
// than its field is padded with blanks, a longer one is cut. Comparisons ignore
// trailing blanks.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kalvir {

// Length up to the last non-blank character (0 for an all-blank value).
constexpr std::size_t trimmed_length(std::string_view s) noexcept {
  std::size_t n = s.size();
  while (n > 0 && s[n - 1] == ' ') --n;
  return n;
}

constexpr std::string_view trim_right(std::string_view s) noexcept {
  return s.substr(0, trimmed_length(s));
}

constexpr bool same_trimmed(std::string_view a, std::string_view b) noexcept {
  return trim_right(a) == trim_right(b);
}

constexpr bool is_blank(std::string_view s) noexcept { return trimmed_length(s) == 0; }

// Stores src into dst, cut to dst's length or padded with blanks.
inline void assign_padded(std::span<char> dst, std::string_view src) noexcept {
  const std::size_t n = std::min(dst.size(), src.size());
  std::copy_n(src.data(), n, dst.data());
  std::fill(dst.begin() + static_cast<std::ptrdiff_t>(n), dst.end(), ' ');
}

inline std::string padded(std::string_view s, std::size_t width) {
  std::string out(width, ' ');
  assign_padded(out, s);
  return out;
}

// The text without the blanks and tabs that lie outside single-quoted
// sections (quotes are kept). Only the text up to its last non-blank is read.
inline std::string remove_blanks(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  bool quoted = false;
  for (const char c : trim_right(s)) {
    if (c == '\'') {
      quoted = !quoted;
      out.push_back(c);
    } else if ((c != ' ' && c != '\t') || quoted) {
      out.push_back(c);
    }
  }
  return out;
}

// The integer right-aligned in a field of `width` characters, or `width`
// asterisks when it does not fit (the classic Iw output rule).
inline std::string int_field(std::int64_t value, int width) {
  const std::string digits = std::to_string(value);
  const auto w = static_cast<std::size_t>(std::max(width, 0));
  if (digits.size() > w) return std::string(w, '*');
  return std::string(w - digits.size(), ' ') + digits;
}

// A character field of exactly N characters, as held in the shared blocks.
// Standard layout with alignment 1, so that fields declared one after another
// run together without gaps.
template <std::size_t N>
struct Chars {
  char c[N];

  constexpr Chars() noexcept { std::fill_n(c, N, ' '); }
  constexpr Chars(std::string_view s) noexcept { assign(s); }  // NOLINT: implicit on purpose

  constexpr void assign(std::string_view s) noexcept {
    const std::size_t n = std::min(N, s.size());
    std::copy_n(s.data(), n, c);
    std::fill(c + n, c + N, ' ');
  }
  constexpr Chars& operator=(std::string_view s) noexcept {
    assign(s);
    return *this;
  }

  static constexpr std::size_t size() noexcept { return N; }
  constexpr char* data() noexcept { return c; }
  constexpr const char* data() const noexcept { return c; }
  constexpr std::string_view view() const noexcept { return {c, N}; }
  constexpr std::string_view trimmed() const noexcept { return trim_right(view()); }
  std::string str() const { return std::string(c, N); }
  constexpr operator std::string_view() const noexcept { return view(); }  // NOLINT
  constexpr std::span<char> span() noexcept { return {c, N}; }

  friend constexpr bool operator==(const Chars& a, std::string_view b) noexcept {
    return same_trimmed(a.view(), b);
  }
};

}  // namespace kalvir
