#include "runtime/thermal/eigen.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <string>
#include <string_view>

#include "runtime/control/messages.h"
#include "runtime/control/run_end.h"
#include "runtime/modeldata/search_sort.h"
#include "runtime/platform/fixed_string.h"

namespace kalvir::thermal {
namespace {

// An M x M matrix stored by columns, indexed from 0.
class ColumnMajor {
 public:
  ColumnMajor(std::span<double> a, std::int32_t m) : a_(a.data()), m_(static_cast<std::size_t>(m)) {}
  double& operator()(std::size_t i, std::size_t j) const noexcept { return a_[j * m_ + i]; }
  std::size_t size() const noexcept { return m_; }
  // x_p' = c x_p + s x_q, x_q' = c x_q - s x_p on columns p and q.
  void rotate_columns(std::size_t p, std::size_t q, double c, double s, std::size_t from = 0) const noexcept {
    double* xp = a_ + p * m_;
    double* xq = a_ + q * m_;
    for (std::size_t i = from; i < m_; ++i) {
      const double u = xp[i], w = xq[i];
      xp[i] = c * u + s * w;
      xq[i] = c * w - s * u;
    }
  }

 private:
  double* a_;
  std::size_t m_;
};

// A fatal message whose text is padded with blanks to WIDTH characters.
[[noreturn]] void fatal_padded(std::string_view text, std::size_t width, std::int32_t code,
                               std::string_view routine) {
  SETERX(padded(text, width), 4, code, routine);
  internal_stop(routine);  // SETERX does not return for severity 4
}

void require_room(std::span<const double> a, std::int32_t m, std::string_view routine) {
  if (m < 0 || a.size() < static_cast<std::size_t>(m) * static_cast<std::size_t>(m)) internal_stop(routine);
}

}  // namespace
}  // namespace kalvir::thermal

using namespace kalvir::thermal;

void LEIGEN(std::span<const double> C, std::int32_t M, std::span<double> A, std::span<double> V,
            std::int32_t& IERR) {
  IERR = 0;
  if (M < 1) {
    IERR = 2;
    fatal_padded("SLMODE: Invalid dimension of conductivity matrix", 60, 2, "LEIGEN");
  }
  require_room(A, M, "LEIGEN");
  require_room(V, M, "LEIGEN");
  if (C.size() < static_cast<std::size_t>(M)) internal_stop("LEIGEN");
  const ColumnMajor a(A, M), v(V, M);
  const std::size_t m = a.size();
  // The square roots are taken one at a time: C_i x C_j could overflow.
  for (std::size_t j = 0; j < m; ++j)
    for (std::size_t i = 0; i < m; ++i) {
      v(i, j) = i == j ? 1.0 : 0.0;
      a(i, j) = a(i, j) / (std::sqrt(C[i]) * std::sqrt(C[j]));
    }
  if (M > 2) LTRIDG(A, M, V, IERR);
  LDIAGN(kSweepsPerEigenvalue, kNegligible, A, M, V, IERR);
  if (IERR != 0) return;
  LSRTEV(M, A);
  for (std::size_t i = 0; i < m; ++i) {
    const double s = std::sqrt(C[i]);
    for (std::size_t k = 0; k < m; ++k) v(i, k) /= s;
  }
}

void LTRIDG(std::span<double> A, std::int32_t M, std::span<double> V, std::int32_t& IERR) {
  IERR = 0;
  require_room(A, M, "LTRIDG");
  require_room(V, M, "LTRIDG");
  const ColumnMajor a(A, M), v(V, M);
  const std::size_t m = a.size();
  for (std::size_t j = 0; j + 2 < m; ++j) {
    const std::size_t p = j + 1;
    // The rotations of column j, in the planes (p, k) that zero A(k, j) in
    // turn, depend on column j alone: each changes only A(p, j) there. They
    // are found first and kept in the places they clear (cosine in A(k, j),
    // sine in A(j, k)); the similarity is then applied column by column, so
    // that every pass runs down a column. The hypotenuse keeps x / y from
    // overflowing when y is tiny.
    double y = a(p, j);
    bool any = false;
    for (std::size_t k = j + 2; k < m; ++k) {
      const double x = a(k, j);
      double c = 1.0, s = 0.0;  // no rotation
      if (!SMINRL(x)) {
        const double r = std::hypot(x, y);
        c = std::abs(y) / r;
        s = std::copysign(1.0, y) * x / r;
        y = c * y + s * x;
        any = true;
      }
      a(k, j) = c;
      a(j, k) = s;
    }
    if (any) {
      // A Q^T: columns p and k rotated in turn (rows before p are zero or
      // set below); V Q^T likewise.
      for (std::size_t k = j + 2; k < m; ++k) {
        const double c = a(k, j), s = a(j, k);
        if (s == 0.0) continue;
        a.rotate_columns(p, k, c, s, p);
        v.rotate_columns(p, k, c, s);
      }
      // Q (A Q^T): in each column, rows p and k rotated in turn; four
      // columns at a time, so that their chains through row p overlap.
      constexpr std::size_t kLanes = 4;
      for (std::size_t l0 = p; l0 < m; l0 += kLanes) {
        const std::size_t lanes = std::min(kLanes, m - l0);
        std::array<double, kLanes> xp{};
        for (std::size_t q = 0; q < lanes; ++q) xp[q] = a(p, l0 + q);
        for (std::size_t k = j + 2; k < m; ++k) {
          const double c = a(k, j), s = a(j, k);
          if (s == 0.0) continue;
          for (std::size_t q = 0; q < lanes; ++q) {
            double& xk = a(k, l0 + q);
            const double old = xk;
            xk = c * old - s * xp[q];
            xp[q] = c * xp[q] + s * old;
          }
        }
        for (std::size_t q = 0; q < lanes; ++q) a(p, l0 + q) = xp[q];
      }
    }
    a(p, j) = a(j, p) = y;
    for (std::size_t k = j + 2; k < m; ++k) a(k, j) = a(j, k) = 0.0;
  }
}

void S8RCSC(std::span<const double> A, std::int32_t M, std::int32_t START, double TOL, std::int32_t& POSITION) {
  require_room(A, M, "S8RCSC");
  const auto m = static_cast<std::size_t>(M);
  for (std::int32_t b = std::max(START, 1); b < M; ++b) {
    const auto i = static_cast<std::size_t>(b - 1);
    const double e = A[i * m + i + 1];
    const double d1 = A[i * m + i], d2 = A[(i + 1) * m + i + 1];
    if (SMINRL(e) || e * e <= TOL * TOL * std::abs(d1) * std::abs(d2)) {
      POSITION = b;
      return;
    }
  }
  POSITION = M;
}

void LDIAGN(std::int32_t LIMIT, double TOL, std::span<double> A, std::int32_t M, std::span<double> V,
            std::int32_t& IERR) {
  IERR = 0;
  require_room(A, M, "LDIAGN");
  require_room(V, M, "LDIAGN");
  const ColumnMajor a(A, M), v(V, M);
  const std::size_t m = a.size();
  // Diagonal element i and the subdiagonal element that couples i and i + 1;
  // the element below the last row does not exist and is taken as zero.
  auto d = [&](std::size_t i) -> double& { return a(i, i); };
  auto e = [&](std::size_t i) -> double& { return a(i + 1, i); };
  auto set_e = [&](std::size_t i, double x) {
    if (i + 1 < m) e(i) = x;
  };
  for (std::int32_t l = 1; l <= M; ++l) {
    const auto il = static_cast<std::size_t>(l - 1);
    for (std::int32_t sweeps = 0;; ++sweeps) {
      std::int32_t position = M;
      S8RCSC(A, M, l, TOL, position);
      if (position == l) break;
      if (sweeps >= LIMIT) {
        IERR = 1;
        fatal_padded("SLMODE: Failed in Eigen value solution", 40, 1, "LDIAGN");
      }
      // The unreduced block is il ... im.
      const auto im = static_cast<std::size_t>(position - 1);
      // Wilkinson shift: the eigenvalue of the block's leading 2 x 2 nearer
      // to its first diagonal element.
      double g = (d(il + 1) - d(il)) / (2.0 * e(il));
      double r = std::hypot(g, 1.0);
      g = d(im) - d(il) + e(il) / (g + std::copysign(r, g));
      double s = 1.0, c = 1.0, p = 0.0;
      bool split = false;
      // Chase the bulge from the bottom of the block to its top.
      for (std::size_t i = im; i-- > il;) {
        const double f = s * e(i);
        const double b = c * e(i);
        r = std::hypot(f, g);
        set_e(i + 1, r);
        if (r == 0.0) {
          // An exact zero splits the block: the sweep ends here.
          d(i + 1) -= p;
          set_e(im, 0.0);
          split = true;
          break;
        }
        s = f / r;
        c = g / r;
        g = d(i + 1) - p;
        r = (d(i) - g) * s + 2.0 * c * b;
        p = s * r;
        d(i + 1) = g + p;
        g = c * r - b;
        v.rotate_columns(i, i + 1, c, -s);
      }
      if (split) continue;
      d(il) -= p;
      e(il) = g;
      set_e(im, 0.0);
    }
  }
}

void LSRTEV(std::int32_t M, std::span<double> A) {
  const auto m = static_cast<std::size_t>(std::max(M, 0));
  for (std::size_t i = 1; i < m && i * m + i < A.size(); ++i) A[i] = A[i * m + i];
}

void SRCOMP(std::span<const double> X, std::span<const double> Y, std::int32_t N, double& D) {
  D = 0.0;
  const std::size_t n = std::min({static_cast<std::size_t>(std::max(N, 1)), X.size(), Y.size()});
  for (std::size_t i = 0; i < n; ++i) {
    const double diff = std::abs(X[i] - Y[i]);
    if (diff <= D) continue;
    D = diff;
    if (std::isnan(diff)) return;  // stays not a number
  }
}
