// Inner products for the solvers' dense and envelope kernels, written with
// the compiler's vector types: the build keeps floating-point arithmetic
// strict (no reassociation), so a plain loop would add one product at a
// time; here eight partial sums run side by side in two-lane vectors. The
// sum's rounding therefore differs from a left-to-right loop's.
#pragma once

#include <cstddef>

namespace kalvir::thermal {

using Lanes = double __attribute__((vector_size(16)));

inline Lanes load_lanes(const double* p) noexcept {
  Lanes v;
  __builtin_memcpy(&v, p, sizeof v);
  return v;
}

// Sum of a[m] u[m], m = 0 .. n - 1.
inline double dot(const double* a, const double* u, std::size_t n) noexcept {
  Lanes s0{}, s1{}, s2{}, s3{};
  std::size_t m = 0;
  for (; m + 8 <= n; m += 8) {
    s0 += load_lanes(a + m) * load_lanes(u + m);
    s1 += load_lanes(a + m + 2) * load_lanes(u + m + 2);
    s2 += load_lanes(a + m + 4) * load_lanes(u + m + 4);
    s3 += load_lanes(a + m + 6) * load_lanes(u + m + 6);
  }
  for (; m + 2 <= n; m += 2) s0 += load_lanes(a + m) * load_lanes(u + m);
  const Lanes s = (s0 + s1) + (s2 + s3);
  double sum = s[0] + s[1];
  if (m < n) sum += a[m] * u[m];
  return sum;
}

}  // namespace kalvir::thermal
