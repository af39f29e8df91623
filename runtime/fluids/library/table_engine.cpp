#include "runtime/fluids/library/table_engine.h"

#include <algorithm>
#include <array>

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

}  // namespace

double range_linear(const TableRange& r, double x) noexcept {
  const std::size_t i = std::min(grid_index(r, x), r.y.size() - 2);
  return r.y[i] +
         (x - (r.first + static_cast<double>(i) * r.step)) * ((r.y[i + 1] - r.y[i]) * r.inv_step);
}

double range_parabola(const TableRange& r, double x) noexcept {
  const std::size_t last_stencil = r.y.size() - 3;
  // The last interval has no next point: its stencil is the range's last three.
  const std::size_t i = x < r.breakpoint ? std::min(grid_index(r, x), last_stencil) : last_stencil;
  const double f = x - (r.first + static_cast<double>(i) * r.step);
  const double g = f - r.step;
  return ((r.y[i] * g - 2.0 * f * r.y[i + 1]) * (g - r.step) + g * f * r.y[i + 2]) * r.inv_2step2;
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
