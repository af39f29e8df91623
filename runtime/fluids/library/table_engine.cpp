#include "runtime/fluids/library/table_engine.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "runtime/control/messages.h"
#include "runtime/platform/fixed_string.h"

namespace kalvir::fluids {

namespace {

// Index of the grid point at or below x. The product can come out one too high
// for an abscissa a few units in the last place below a grid point, so callers
// limit the index to their stencil.
std::size_t grid_index(const TableRange& r, double x) noexcept {
  const double t = (x - r.first) * r.inv_step;
  return t > 0.0 ? static_cast<std::size_t>(t) : 0;
}

// First point of the parabola's stencil at x: the interval's own point, or in
// the range's last interval, which has no next point, the last three points.
std::size_t parabola_stencil(const TableRange& r, double x) noexcept {
  const std::size_t last_stencil = r.y.size() - 3;
  return x < r.breakpoint ? std::min(grid_index(r, x), last_stencil) : last_stencil;
}

}  // namespace

double range_linear(const TableRange& r, double x) noexcept {
  const std::size_t i = std::min(grid_index(r, x), r.y.size() - 2);
  return r.y[i] +
         (x - (r.first + static_cast<double>(i) * r.step)) * ((r.y[i + 1] - r.y[i]) * r.inv_step);
}

double range_parabola(const TableRange& r, double x) noexcept {
  // The last interval has no next point: its stencil is the range's last three.
  const std::size_t i = parabola_stencil(r, x);
  const double f = x - (r.first + static_cast<double>(i) * r.step);
  const double g = f - r.step;
  return ((r.y[i] * g - 2.0 * f * r.y[i + 1]) * (g - r.step) + g * f * r.y[i + 2]) * r.inv_2step2;
}

TableLookup table_inverse(std::span<const TableRange> ranges, double y) noexcept {
  if (y < ranges.front().y.front()) return {ranges.front().first, TableSide::kBelow};
  for (const TableRange& r : ranges) {
    if (!(y < r.y.back())) continue;
    // Grid points k and k + 1 bracket y; the interpolant passes through both.
    const auto above = std::upper_bound(r.y.begin(), r.y.end(), y);
    const std::size_t k = static_cast<std::size_t>(above - r.y.begin()) - 1;
    const double lo = r.first + static_cast<double>(k) * r.step;
    const double width = std::min(lo + r.step, r.last) - lo;
    const double c = y - r.y[k];
    if (c == 0.0) return {lo, TableSide::kInside};
    // The interval has one parabola, through points i, i + 1 and i + 2 (in
    // the range's last interval i = k - 1): y = y[k] + s u + a u^2 in
    // u = x - lo, s its slope at lo. The root is the one where the parabola
    // rises through y (it crosses y once in the interval), in the form that
    // adds two terms of one sign.
    const std::size_t i = std::min(k, r.y.size() - 3);
    const double a = (r.y[i + 2] - 2.0 * r.y[i + 1] + r.y[i]) * r.inv_2step2;
    const double s = i == k ? (4.0 * r.y[i + 1] - 3.0 * r.y[i] - r.y[i + 2]) * (0.5 * r.inv_step)
                            : (r.y[i + 2] - r.y[i]) * (0.5 * r.inv_step);
    const double root = std::sqrt(std::max(s * s + 4.0 * a * c, 0.0));
    const double u = s >= 0.0 ? 2.0 * c / (s + root) : (root - s) / (2.0 * a);
    return {lo + std::clamp(u, 0.0, width), TableSide::kInside};
  }
  return {ranges.back().last, TableSide::kAbove};
}

TableLookup table_lookup(std::span<const TableRange> ranges, double x, Interpolation how) noexcept {
  if (x < ranges.front().first) return {ranges.front().y.front(), TableSide::kBelow};
  for (const TableRange& r : ranges) {
    if (x < r.last) {
      return {how == Interpolation::kLinear ? range_linear(r, x) : range_parabola(r, x),
              TableSide::kInside};
    }
  }
  return {ranges.back().y.back(), TableSide::kAbove};
}

void table_warning(std::string_view message, std::int32_t NODE, std::int32_t code,
                   std::string_view routine) {
  std::array<char, 500> text;
  assign_padded(text, message);
  if (NODE != 0) MESBLD(NODE, text);
  SETERX(std::string_view(text.data(), text.size()), 2, code, routine);
}

}  // namespace kalvir::fluids
