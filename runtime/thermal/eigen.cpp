#include "runtime/thermal/eigen.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/control/messages.h"
#include "runtime/control/run_end.h"
#include "runtime/modeldata/search_sort.h"
#include "runtime/platform/fixed_string.h"
#include "runtime/thermal/lapack.h"

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

void fail_diagonalisation(std::int32_t& ierr) {
  ierr = 1;
  fatal_padded("SLMODE: Failed in Eigen value solution", 40, 1, "LDIAGN");
}

void require_room(std::span<const double> a, std::int32_t m, std::string_view routine) {
  if (m < 0 || a.size() < static_cast<std::size_t>(m) * static_cast<std::size_t>(m)) internal_stop(routine);
}

// LAPACK's work space: its size asked for first (a call with LWORK -1),
// then taken once.
class Workspace {
 public:
  template <class Call>
  void query(Call call) {
    double size = 0.0;
    call(&size, -1);
    allocate_or_stop([&] { words_.assign(static_cast<std::size_t>(std::max(size, 1.0)), 0.0); });
    size_ = static_cast<lapack_int>(words_.size());
  }
  double* data() noexcept { return words_.data(); }
  const lapack_int* size() const noexcept { return &size_; }

 private:
  std::vector<double> words_;
  lapack_int size_ = 0;
};

// The decomposition's vectors and LAPACK's work space for one size M, asked
// for once and kept: the cyclic analysis decomposes a network of the same
// size at every cycle, which then allocates nothing.
class DecompositionSpace {
 public:
  // The space for M (asked for again only when M differs from the last).
  static DecompositionSpace& of_size(std::int32_t m) {
    static DecompositionSpace space;
    if (space.m_ != m) space.resize(m);
    return space;
  }
  std::vector<double> root;  // sqrt(C_i)
  std::vector<double> d, e, tau;
  std::vector<double> work;
  std::vector<lapack_int> iwork;
  lapack_int lwork = 0, liwork = 0;

 private:
  void resize(std::int32_t m) {
    m_ = -1;  // a failed allocation leaves no half-sized space behind
    // The divide and conquer takes M^2 words, counted in LAPACK's integers.
    if (static_cast<std::int64_t>(m) * m + 4LL * m + 1 > std::numeric_limits<lapack_int>::max())
      internal_stop("Allocation would exceed memory limit");
    const auto n = static_cast<std::size_t>(m);
    allocate_or_stop([&] {
      root.assign(n, 0.0);
      d.assign(n, 0.0);
      e.assign(n, 0.0);
      tau.assign(n, 0.0);
    });
    // The largest of the three calls' needs. The queries read no matrix.
    const lapack_int nn = m, query = -1;
    lapack_int info = 0, iwork_need = 0;
    double trd = 0.0, stedc = 0.0, ormtr = 0.0, unused = 0.0;
    dsytrd_("L", &nn, &unused, &nn, d.data(), e.data(), tau.data(), &trd, &query, &info, 1);
    dstedc_("I", &nn, d.data(), e.data(), &unused, &nn, &stedc, &query, &iwork_need, &query, &info, 1);
    dormtr_("L", "L", "N", &nn, &nn, &unused, &nn, tau.data(), &unused, &nn, &ormtr, &query, &info, 1, 1, 1);
    const double words = std::max({trd, stedc, ormtr, 1.0});
    allocate_or_stop([&] {
      work.assign(static_cast<std::size_t>(words), 0.0);
      iwork.assign(static_cast<std::size_t>(std::max<lapack_int>(iwork_need, 1)), 0);
    });
    lwork = static_cast<lapack_int>(work.size());
    liwork = static_cast<lapack_int>(iwork.size());
    m_ = m;
  }
  std::int32_t m_ = -1;
};

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
  DecompositionSpace& space = DecompositionSpace::of_size(M);
  for (std::size_t i = 0; i < m; ++i) space.root[i] = std::sqrt(C[i]);
  // The square roots are multiplied, not C_i x C_j: that could overflow.
  for (std::size_t j = 0; j < m; ++j)
    for (std::size_t i = j; i < m; ++i) a(i, j) = a(i, j) / (space.root[i] * space.root[j]);
  // LAPACK's divide-and-conquer path (dsyevd's): Householder reduction to
  // tridiagonal form, the tridiagonal matrix's vectors by divide and conquer
  // (matrix products, where relatively robust representations would work
  // vector by vector), and the reduction's factor applied to them. Taken
  // stage by stage, the vectors go straight into V and the reflectors stay
  // in A, so the work space is M^2 words, half of dsyevd's.
  const lapack_int n = M;
  lapack_int info = 0;
  dsytrd_("L", &n, A.data(), &n, space.d.data(), space.e.data(), space.tau.data(), space.work.data(), &space.lwork,
          &info, 1);
  if (info != 0) internal_stop("LEIGEN");
  dstedc_("I", &n, space.d.data(), space.e.data(), V.data(), &n, space.work.data(), &space.lwork,
          space.iwork.data(), &space.liwork, &info, 1);
  if (info < 0) internal_stop("LEIGEN");
  if (info > 0) fail_diagonalisation(IERR);
  dormtr_("L", "L", "N", &n, &n, A.data(), &n, space.tau.data(), V.data(), &n, space.work.data(), &space.lwork,
          &info, 1, 1, 1);
  if (info != 0) internal_stop("LEIGEN");
  for (std::size_t i = 0; i < m; ++i) a(i, 0) = space.d[i];
  for (std::size_t k = 0; k < m; ++k)
    for (std::size_t i = 0; i < m; ++i) v(i, k) /= space.root[i];
}

void LTRIDG(std::span<double> A, std::int32_t M, std::span<double> V, std::int32_t& IERR) {
  IERR = 0;
  require_room(A, M, "LTRIDG");
  require_room(V, M, "LTRIDG");
  if (M < 3) return;  // already tridiagonal
  const ColumnMajor a(A, M);
  const std::size_t m = a.size();
  // A = Q T Q^T from the lower triangle (Householder reflectors, blocked);
  // then V := V Q, and A := T.
  std::vector<double> d, e, tau;
  allocate_or_stop([&] {
    d.resize(m);
    e.resize(m - 1);
    tau.resize(m - 1);
  });
  lapack_int n = M, info = 0;
  Workspace work;
  work.query([&](double* w, lapack_int lw) { dsytrd_("L", &n, A.data(), &n, d.data(), e.data(), tau.data(), w, &lw, &info, 1); });
  dsytrd_("L", &n, A.data(), &n, d.data(), e.data(), tau.data(), work.data(), work.size(), &info, 1);
  if (info != 0) internal_stop("LTRIDG");
  work.query([&](double* w, lapack_int lw) {
    dormtr_("R", "L", "N", &n, &n, A.data(), &n, tau.data(), V.data(), &n, w, &lw, &info, 1, 1, 1);
  });
  dormtr_("R", "L", "N", &n, &n, A.data(), &n, tau.data(), V.data(), &n, work.data(), work.size(), &info, 1, 1, 1);
  if (info != 0) internal_stop("LTRIDG");
  for (std::size_t j = 0; j < m; ++j)
    for (std::size_t i = 0; i < m; ++i) a(i, j) = i == j ? d[i] : i == j + 1 ? e[j] : j == i + 1 ? e[i] : 0.0;
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
  // A matrix whose subdiagonal is negligible throughout is diagonal already.
  bool diagonal = true;
  for (std::int32_t b = 1; b < M && diagonal; ++b) {
    std::int32_t position = M;
    S8RCSC(A, M, b, TOL, position);
    diagonal = position == b;
  }
  if (diagonal) return;
  if (LIMIT < 1) fail_diagonalisation(IERR);
  const ColumnMajor a(A, M);
  const std::size_t m = a.size();
  std::vector<double> d, e;
  allocate_or_stop([&] {
    d.resize(m);
    e.resize(m);
  });
  for (std::size_t i = 0; i < m; ++i) {
    d[i] = a(i, i);
    e[i] = i + 1 < m ? a(i + 1, i) : 0.0;
  }
  // Divide and conquer on the tridiagonal matrix; with COMPZ "V" its
  // eigenvectors are multiplied into V, as the rotations were.
  lapack_int n = M, info = 0, liwork = -1, iwork_query = 0;
  Workspace work;
  work.query([&](double* w, lapack_int lw) {
    dstedc_("V", &n, d.data(), e.data(), V.data(), &n, w, &lw, &iwork_query, &liwork, &info, 1);
  });
  std::vector<lapack_int> iwork;
  allocate_or_stop([&] { iwork.resize(static_cast<std::size_t>(std::max<lapack_int>(iwork_query, 1))); });
  liwork = static_cast<lapack_int>(iwork.size());
  dstedc_("V", &n, d.data(), e.data(), V.data(), &n, work.data(), work.size(), iwork.data(), &liwork, &info, 1);
  if (info > 0) fail_diagonalisation(IERR);
  if (info < 0) internal_stop("LDIAGN");
  for (std::size_t i = 0; i < m; ++i) {
    a(i, i) = d[i];
    if (i + 1 < m) a(i + 1, i) = a(i, i + 1) = 0.0;
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
