// Inner products for the modal kernels without an optimised BLAS, written with
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

// The same sum in four-lane vectors (two of them), for callers compiled for
// wider registers (target_clones); a plain build runs it in pairs of
// two-lane operations. No vector is passed or returned by value, so the
// calling convention does not depend on the target.
inline double dot_wide(const double* a, const double* u, std::size_t n) noexcept {
  using Wide = double __attribute__((vector_size(32)));
  Wide s0{}, s1{};
  std::size_t m = 0;
  for (; m + 8 <= n; m += 8) {
    Wide a0, a1, u0, u1;
    __builtin_memcpy(&a0, a + m, sizeof a0);
    __builtin_memcpy(&a1, a + m + 4, sizeof a1);
    __builtin_memcpy(&u0, u + m, sizeof u0);
    __builtin_memcpy(&u1, u + m + 4, sizeof u1);
    s0 += a0 * u0;
    s1 += a1 * u1;
  }
  const Wide s = s0 + s1;
  double sum = (s[0] + s[1]) + (s[2] + s[3]);
  double tail0 = 0.0, tail1 = 0.0;
  for (; m + 2 <= n; m += 2) {
    tail0 += a[m] * u[m];
    tail1 += a[m + 1] * u[m + 1];
  }
  if (m < n) tail0 += a[m] * u[m];
  return sum + (tail0 + tail1);
}

}  // namespace kalvir::thermal
