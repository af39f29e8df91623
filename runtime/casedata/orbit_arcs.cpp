// Orbit-arc time mapping (see orbit_arcs.h).
#include "runtime/casedata/orbit_arcs.h"

#include <algorithm>
#include <cmath>

#include "runtime/control/messages.h"
#include "runtime/control/run_end.h"

bool SEQTOL(double A, double B, double TOL) {
  const double a = std::fabs(A), b = std::fabs(B);
  const double largest = std::isnan(a) ? b : std::max(a, b);
  return largest * TOL >= std::fabs(A - B);
}

void TIMIN1(std::span<const double> ARCS, std::int32_t NARCS, std::int32_t N, std::span<const double> TIMES,
            double TIMEM, double& TOUT) {
  constexpr double kTol = 1.0e-7;
  constexpr double kUnset = -1.0e20;
  if (NARCS < 1 || N < 1 || ARCS.size() < 4 * static_cast<std::size_t>(NARCS) ||
      TIMES.size() < static_cast<std::size_t>(N))
    internal_stop("TIMIN1 1");
  // Arc i (1-based): start, first orbit start and end, end of the arc.
  const auto S = [&](std::int32_t i) { return ARCS[4 * static_cast<std::size_t>(i - 1)]; };
  const auto F = [&](std::int32_t i) { return ARCS[4 * static_cast<std::size_t>(i - 1) + 1]; };
  const auto E = [&](std::int32_t i) { return ARCS[4 * static_cast<std::size_t>(i - 1) + 2]; };
  const auto A = [&](std::int32_t i) { return ARCS[4 * static_cast<std::size_t>(i - 1) + 3]; };
  const auto T = [&](std::int32_t h) { return TIMES[static_cast<std::size_t>(h - 1)]; };
  // The first time point at or after x, or the last one.
  const auto first_at_or_after = [&](double x) {
    for (std::int32_t h = 1; h <= N; ++h)
      if (T(h) >= x) return h;
    return N;
  };
  const double t = TIMEM;
  TOUT = kUnset;
  for (std::int32_t i = 1; i <= NARCS; ++i) {
    if (t < S(i)) {
      if (i == 1) {
        SETERX("TIMINT: TIMEM before start of first arc.", 2, 1, "TIMIN1");
        TOUT = T(1);
      } else {
        TOUT = E(i - 1) + (S(i) - E(i - 1)) * (t - A(i - 1)) / (S(i) - A(i - 1));
      }
      break;
    }
    if (t < F(i)) {
      if (i == 1) {
        // The first arc has begun but its first orbit has not: no earlier
        // arc to come from, so the start of the time axis holds.
        TOUT = T(1);
      } else if (SEQTOL(A(i - 1), T(first_at_or_after(A(i - 1))), kTol)) {
        TOUT = t;
      } else {
        TOUT = E(i - 1) + (F(i) - E(i - 1)) * (t - A(i - 1)) / (F(i) - A(i - 1));
      }
      break;
    }
    if (t < A(i)) {
      TOUT = F(i) + std::fmod(t - F(i), E(i) - F(i));
      break;
    }
    if (!SEQTOL(t, A(i), kTol)) continue;
    if (i == NARCS) {
      TOUT = SEQTOL(E(i), A(i), kTol) ? E(i) : (E(i) - F(i)) + S(i);
    } else if (S(i + 1) > A(i)) {
      TOUT = (E(i) - F(i)) + S(i);
    } else {
      TOUT = SEQTOL(t, T(first_at_or_after(t)), kTol) ? t : (E(i) - F(i)) + S(i);
    }
    break;
  }
  if (t > A(NARCS)) {
    SETERX("TIMINT: TIMEM exceeded end time of last orbit arc.", 2, 2, "TIMIN1");
    TOUT = T(N);
  }
  // Written so that a result that is not a number fails as well.
  if (!(TOUT >= T(1) && TOUT <= T(N))) internal_stop("TIMIN1 1");
}
