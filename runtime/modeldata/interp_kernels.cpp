#include "runtime/modeldata/interp_kernels.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "runtime/control/messages.h"

namespace {

using kalvir::detail::undefined_abscissa;

using kalvir::kMaxLagrangePoints;

// Abscissae closer than this cannot be told apart by the Lagrange sum.
constexpr double kCoincident = 1.0e-37;

// The window choice shared by the doublet and the axis form. x_at(i) is the
// abscissa of point i (1-based). Only the points before the first undefined
// abscissa take part, so that a window never reaches into the spare tail of
// an array that the model has not filled.
template <class Abscissa>
void choose_window(Abscissa x_at, std::int32_t n, std::int32_t m, double x, std::int32_t& start,
                   std::int32_t& size, std::int32_t& status) {
  start = 1;
  size = 0;
  status = 0;
  std::int32_t usable = 0;
  while (usable < n && !undefined_abscissa(x_at(usable + 1))) ++usable;
  if (usable == 0) {
    status = 10;
    return;
  }

  const std::int32_t most = std::min(usable, kMaxLagrangePoints);
  if (m < 0) {
    size = 1;
    status = 1;
  } else if (m < most) {
    size = m + 1;
  } else {
    size = most;
    status = 1;
  }

  if (x < x_at(1)) {
    start = 1;
    size = 1;
    status = 2;
    return;
  }
  if (x > x_at(usable)) {
    start = usable;
    size = 1;
    status = 2;
    return;
  }

  std::int32_t low = 1;
  std::int32_t high = usable;
  do {
    const std::int32_t mid = (low + high) / 2;
    if (x < x_at(mid)) {
      high = mid;
    } else {
      low = mid;
    }
  } while (high - low > 1);

  if (size == 1) {
    start = low;
    return;
  }
  // The half size is compared in single precision, as the window has always
  // been placed; the comparison is exact for any realistic point count.
  const float half = static_cast<float>(size) * 0.5F;
  if (half > static_cast<float>(low)) {
    start = 1;
  } else if (half > static_cast<float>(usable - low)) {
    start = usable - size + 1;
  } else {
    const std::int32_t k = size / 2;
    start = low - k + 1;
    if (size % 2 == 1) {
      // An odd window takes the extra point on the side of the nearer
      // neighbour; a tie takes the lower window.
      const double above = x_at(low + k + 1) - x;
      const double below = x - x_at(low - k);
      if (above >= below) start = low - k;
    }
  }
}

// What the sum does with a pair of coincident abscissae: the doublet form
// drops the factor that would divide by (nearly) zero and completes the sum;
// the table form stops and keeps the terms already completed.
enum class OnCoincident { kSkipFactor, kStop };

template <class Abscissa, class Ordinate>
void lagrange_sum(Abscissa x_at, Ordinate y_at, std::int32_t nwin, double x, OnCoincident mode,
                  double& result, std::int32_t& status) {
  result = 0.0;
  status = 0;
  double sum = 0.0;
  for (std::int32_t i = 1; i <= nwin; ++i) {
    const double xi = x_at(i);
    double weight = 1.0;
    for (std::int32_t j = 1; j <= nwin; ++j) {
      if (j == i) continue;
      const double xj = x_at(j);
      if (std::fabs(xi - xj) <= kCoincident) {
        status = 1;
        if (mode == OnCoincident::kStop) {
          result = sum;
          return;
        }
        continue;
      }
      weight *= (x - xj) / (xi - xj);
    }
    sum += y_at(i) * weight;
  }
  result = sum;
}

std::int32_t clamp_count(std::int32_t n, std::size_t available) {
  return static_cast<std::int32_t>(
      std::clamp<std::int64_t>(n, 0, static_cast<std::int64_t>(available)));
}

}  // namespace

void LSPNT2(std::span<const double> POINTS, std::int32_t N, std::int32_t M, double X,
            std::int32_t& ISTART, std::int32_t& NWIN, std::int32_t& IERR) {
  const std::int32_t n = clamp_count(N, POINTS.size() / 2);
  choose_window([&](std::int32_t i) { return POINTS[2 * static_cast<std::size_t>(i - 1)]; }, n, M,
                X, ISTART, NWIN, IERR);
}

void LSPNT1(std::span<const double> AXIS, std::int32_t N, std::int32_t M, double X,
            std::int32_t& ISTART, std::int32_t& NWIN, std::int32_t& IERR) {
  const std::int32_t n = clamp_count(N, AXIS.size());
  choose_window([&](std::int32_t i) { return AXIS[static_cast<std::size_t>(i - 1)]; }, n, M, X,
                ISTART, NWIN, IERR);
}

void LSLGN2(std::span<const double> POINTS, std::int32_t NWIN, double X, double& RESULT,
            std::int32_t& IERR) {
  const std::int32_t n = clamp_count(NWIN, POINTS.size() / 2);
  lagrange_sum([&](std::int32_t i) { return POINTS[2 * static_cast<std::size_t>(i - 1)]; },
               [&](std::int32_t i) { return POINTS[2 * static_cast<std::size_t>(i - 1) + 1]; }, n,
               X, OnCoincident::kSkipFactor, RESULT, IERR);
}

void LSLGN1(std::span<const double> VALUES, std::span<const double> AXIS, std::int32_t NWIN,
            double X, double& RESULT, std::int32_t& IERR) {
  const std::int32_t n = clamp_count(NWIN, std::min(VALUES.size(), AXIS.size()));
  lagrange_sum([&](std::int32_t i) { return AXIS[static_cast<std::size_t>(i - 1)]; },
               [&](std::int32_t i) { return VALUES[static_cast<std::size_t>(i - 1)]; }, n, X,
               OnCoincident::kStop, RESULT, IERR);
}

void LADTAB(std::span<const std::int32_t> T, std::int32_t N, std::span<const std::int32_t> IFIX,
            std::int32_t NINT, std::int32_t NREAL, std::int32_t& IPOS, std::int32_t& LEN,
            std::int32_t& IERR) {
  IPOS = 1;
  LEN = 0;
  IERR = 0;
  const auto wrong = [&](std::int32_t ref) {
    SETERX("Wrong entry in table", 4, ref, "LADTAB");
    IERR = 403;
  };
  // Header words come from the model file: every one is range-checked
  // before it is read, and all position arithmetic is done in 64 bits.
  const std::int64_t nint = std::min<std::int64_t>(NINT, static_cast<std::int64_t>(T.size()));
  const auto get = [&](std::int64_t k, std::int64_t& v) {
    if (k < 1 || k > nint) return false;
    v = T[static_cast<std::size_t>(k - 1)];
    return true;
  };

  if (N < 0) {
    wrong(7);
    return;
  }
  std::int64_t pos = 1;
  std::int64_t len = 0;
  if (N >= 1) {
    const std::int64_t n = N;
    std::int64_t sum = n * (n + 1) / 2;
    // The argument-order entries must be a permutation of 1 .. N; their sum
    // alone would let e.g. (0, 3) pass for two variables.
    bool permutation = true;
    std::uint64_t seen = 0;

    std::int64_t first = 0;
    if (!get(n + 2, first)) {
      wrong(6);
      return;
    }
    std::int64_t a = n + first + 1;
    bool free_seen = false;
    std::int64_t previous_fixed = 1;

    for (std::int64_t i = 1; i <= n; ++i) {
      if (NREAL < 1 || a < 1 || a > nint - 1) {
        wrong(6);
        return;
      }
      std::int64_t order = 0;
      if (!get(1 + i, order)) {
        wrong(6);
        return;
      }
      sum -= order;
      if (order < 1 || order > n) {
        permutation = false;
      } else if (n <= 64) {
        const std::uint64_t bit = std::uint64_t{1} << (order - 1);
        if ((seen & bit) != 0) permutation = false;
        seen |= bit;
      }

      const std::int64_t d =
          static_cast<std::size_t>(i) <= IFIX.size() ? IFIX[static_cast<std::size_t>(i - 1)] : 0;
      std::int64_t ta = 0;
      get(a, ta);

      if (d == 0) {
        if (!free_seen) {
          free_seen = true;
          std::int64_t p = 0;
          if (!get(a + 1, p)) {
            wrong(6);
            return;
          }
          len = ta < 0 ? -ta : ta;
          pos = p;
          if (len == 0) {
            wrong(2);
            return;
          }
        }
        continue;
      }
      if (free_seen) {
        SETERX("Table parameters out of order", 3, 1, "LADTAB");
        IERR = 308;
        return;
      }
      if (d < 1 || d > (ta < 0 ? -ta : ta)) {
        SETERX("Impossible value", 3, 3, "LADTAB");
        IERR = 309;
        return;
      }
      if (i == n) {
        std::int64_t p = 0;
        if (!get(a + 2, p)) {
          wrong(6);
          return;
        }
        if (ta > 0) {
          pos = p + d - 1;
          len = ta - d + 1;
        } else {
          // A regular table keeps the lines one after the other; a table of
          // one variable has no line before it and reads as a plain list.
          pos = p + d - 1 + (1 - previous_fixed) * ta;
          len = -ta - d + 1;
        }
      } else if (i == n - 1) {
        std::int64_t next = 0;
        if (!get(a + 2, next)) {
          wrong(6);
          return;
        }
        if (next > 0) {
          a = a + 3 * d - 1;
        } else if (next < 0) {
          a = a + 2;
        } else {
          wrong(5);
          return;
        }
      } else {
        std::int64_t next = 0;
        if (!get(a + d + 1, next)) {
          wrong(6);
          return;
        }
        a = n + next + 1;
      }
      previous_fixed = d;
    }
    if (sum != 0 || !permutation) {
      wrong(7);
      return;
    }
  }
  // The whole run, not just its first value, must lie inside the table's reals.
  if (pos < 1 || pos + len - 1 > NREAL) {
    wrong(8);
    return;
  }
  IPOS = static_cast<std::int32_t>(pos);
  LEN = static_cast<std::int32_t>(len);
}

void LSINT1(std::span<const double> R, std::span<const std::int32_t> T, std::int32_t N,
            std::int32_t NORDER, std::int32_t LINE, std::int32_t NINT, std::int32_t NREAL,
            double X, double& RESULT, std::int32_t& IERR) {
  RESULT = 0.0;
  IERR = 0;
  const std::int32_t nreal = clamp_count(NREAL, R.size());
  std::int32_t status = 1;
  std::int32_t p = 0;
  std::int32_t n = 0;
  std::int32_t q = 0;
  std::int32_t nvalues = 0;
  if (N == 1 || N == 2) {
    std::array<std::int32_t, 2> fixed{N == 2 ? LINE : 0, 0};
    LADTAB(T, N, fixed, NINT, nreal, p, n, status);
    if (status == 0) {
      fixed[static_cast<std::size_t>(N - 1)] = 1;
      LADTAB(T, N, fixed, NINT, nreal, q, nvalues, status);
    }
  }
  if (status != 0) {
    SETERX("Failed in FETCH routine", 4, 2, "LSINT1");
    IERR = 401;
    return;
  }
  n = std::min(n, nvalues);
  const auto axis = R.subspan(static_cast<std::size_t>(p - 1), static_cast<std::size_t>(n));
  const auto values = R.subspan(static_cast<std::size_t>(q - 1), static_cast<std::size_t>(n));

  std::int32_t start = 0;
  std::int32_t size = 0;
  std::int32_t window = 0;
  LSPNT1(axis, n, NORDER, X, start, size, window);
  if (window == 1) {
    SETERX("Bad order for interpolation", 2, 3, "LSINT1");
  } else if (window == 2) {
    SETERX("Value out of range of data", 2, 4, "LSINT1");
  } else if (window == 10) {
    SETERX("Undefined independent variables", 4, 5, "LSINT1");
    return;
  }
  const auto from = static_cast<std::size_t>(start - 1);
  double result = 0.0;
  std::int32_t sum_status = 0;
  LSLGN1(values.subspan(from), axis.subspan(from), size, X, result, sum_status);
  if (sum_status == 1) {
    SETERX("Division by zero", 3, 6, "LSINT1");
    IERR = 301;
  }
  RESULT = result;
}

void LSINT2(std::span<const double> R, std::span<const std::int32_t> T, std::int32_t N,
            std::int32_t NORDER, std::int32_t NINT, std::int32_t NREAL, double X1, double X2,
            double& RESULT, std::int32_t& IERR) {
  RESULT = 0.0;
  IERR = 0;
  const std::int32_t nreal = clamp_count(NREAL, R.size());
  std::int32_t status = 1;
  std::int32_t p = 0;
  std::int32_t n = 0;
  if (N == 2) {
    const std::array<std::int32_t, 2> both_free{0, 0};
    LADTAB(T, N, both_free, NINT, nreal, p, n, status);
  }
  if (status != 0) {
    SETERX("Failed in FETCH routine", 4, 1, "LSINT2");
    IERR = 401;
    return;
  }
  const auto axis = R.subspan(static_cast<std::size_t>(p - 1), static_cast<std::size_t>(n));

  std::int32_t start = 0;
  std::int32_t size = 0;
  std::int32_t window = 0;
  LSPNT1(axis, n, NORDER, X1, start, size, window);
  if (window == 1) {
    SETERX("Bad order for interpolation", 2, 2, "LSINT2");
  } else if (window == 2) {
    SETERX("Value out of range of data", 2, 3, "LSINT2");
  } else if (window == 10) {
    SETERX("Undefined independent variables", 4, 4, "LSINT2");
    return;
  }

  std::array<double, kMaxLagrangePoints> on_lines{};
  for (std::int32_t k = 0; k < size; ++k) {
    std::int32_t line_status = 0;
    LSINT1(R, T, N, NORDER, start + k, NINT, nreal, X2, on_lines[static_cast<std::size_t>(k)],
           line_status);
    if (line_status > 300) {
      IERR = line_status;
      return;
    }
  }
  double result = 0.0;
  std::int32_t sum_status = 0;
  LSLGN1(std::span<const double>(on_lines.data(), static_cast<std::size_t>(size)),
         axis.subspan(static_cast<std::size_t>(start - 1)), size, X1, result, sum_status);
  if (sum_status == 1) {
    SETERX("Division by zero", 3, 5, "LSINT2");
    IERR = 301;
  }
  RESULT = result;
}
