// Small text helpers shared by the readers of node groups, entity references
// and entity lists. Positions in the callers follow the model language's
// 1-based convention; these helpers never read outside the text they get.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/platform/fixed_string.h"

namespace kalvir::entity {

// The text without the blanks outside quotes (runtime/platform/fixed_string.h).
using kalvir::remove_blanks;

// Characters first..last (1-based, inclusive) of s; the part outside s is dropped.
inline std::string_view sub(std::string_view s, std::int64_t first, std::int64_t last) noexcept {
  first = std::max<std::int64_t>(first, 1);
  last = std::min<std::int64_t>(last, static_cast<std::int64_t>(s.size()));
  if (last < first) return {};
  return s.substr(static_cast<std::size_t>(first - 1), static_cast<std::size_t>(last - first + 1));
}

// 1-based position of the first c in s at or after position from; 0 if none.
inline std::int32_t find_from(std::string_view s, char c, std::int64_t from) noexcept {
  if (from < 1) from = 1;
  if (from > static_cast<std::int64_t>(s.size())) return 0;
  const std::size_t p = s.find(c, static_cast<std::size_t>(from - 1));
  return p == std::string_view::npos ? 0 : static_cast<std::int32_t>(p + 1);
}

// A non-empty run of decimal digits whose value fits a 32-bit integer.
inline bool parse_digits(std::string_view s, std::int32_t& value) noexcept {
  if (s.empty()) return false;
  std::int64_t v = 0;
  for (const char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
    if (v > 2147483647) return false;
  }
  value = static_cast<std::int32_t>(v);
  return true;
}

inline std::string upper(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

inline std::string cut(std::string s, std::size_t n) {
  if (s.size() > n) s.resize(n);
  return s;
}

// First character that is neither blank nor tab; blank when there is none.
inline char first_significant(std::string_view s) noexcept {
  for (const char c : s)
    if (c != ' ' && c != '\t') return c;
  return ' ';
}

}  // namespace kalvir::entity
