// Property tables of equally spaced values and their lookup.
//
// A table member is split into ranges of different spacing. A range holds its
// values at first, first + step, ..., last; the next range starts at the
// previous one's last point and repeats its value there. A lookup takes the
// first range whose last point lies above the abscissa (a range's last point
// belongs to the next range, and the member's upper bound is out of range)
// and finds the interval by index arithmetic on the uniform grid, never by a
// search; the steps and the factors derived from them are computed once, at
// compile time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace kalvir::fluids {

struct TableRange {
  double first;
  double last;
  std::span<const double> y;
  double step;
  double inv_step;
  double inv_2step2;  // 1 / (2 step^2), the factor of the three-point parabola
  double breakpoint;  // last - step, the start of the range's last interval

  constexpr TableRange(double first_point, double last_point, std::span<const double> values)
      : first(first_point),
        last(last_point),
        y(values),
        step((last_point - first_point) / static_cast<double>(values.size() - 1)),
        inv_step(1.0 / step),
        inv_2step2(1.0 / (2.0 * step * step)),
        breakpoint(last_point - step) {}
};

enum class Interpolation {
  kLinear,    // straight line through the interval's two points
  kParabola,  // parabola through three points, shifted back in the last interval
};

enum class TableSide { kInside, kBelow, kAbove };

struct TableLookup {
  double value;
  TableSide side;  // kBelow: the first value; kAbove (also for NaN): the last
};

TableLookup table_lookup(std::span<const TableRange> ranges, double x, Interpolation how) noexcept;

// Interpolation within one range, for an abscissa at or above its first point
// and below its last.
double range_linear(const TableRange& r, double x) noexcept;
double range_parabola(const TableRange& r, double x) noexcept;

// The inverse of a member whose values rise with the abscissa, read with the
// parabola: the abscissa at which table_lookup gives y (the interval by a
// search of the values, then the root of its parabola in closed form). kBelow (the first
// abscissa) for y below the first value, kAbove (the upper bound) for y at or
// above the last value and for a y that is not a number.
TableLookup table_inverse(std::span<const TableRange> ranges, double y) noexcept;

// The warning of a table routine out of its range: the message blank-padded
// to 500 characters, the node named after it when NODE is not 0, reported
// with severity 2.
void table_warning(std::string_view message, std::int32_t NODE, std::int32_t code,
                   std::string_view routine);

}  // namespace kalvir::fluids
