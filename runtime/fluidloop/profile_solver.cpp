#include "runtime/fluidloop/profile_solver.h"

#include <algorithm>
#include <cmath>

#include "runtime/control/run_end.h"
#include "runtime/modeldata/search_sort.h"

namespace kalvir::fluidloop {

ProfileIndex profile_index(std::span<std::int32_t> table, std::int32_t nf) {
  const auto n = static_cast<std::size_t>(std::max(nf, 0));
  if (table.size() < 5 * n) internal_stop("Profile index table smaller than its five columns");
  return {table.subspan(0, n), table.subspan(n, n), table.subspan(2 * n, n), table.subspan(3 * n, n),
          table.subspan(4 * n, n)};
}

namespace {

// Reads of the 1-based profile arrays.
inline std::int32_t get(std::span<const std::int32_t> v, std::int32_t i) { return v[static_cast<std::size_t>(i - 1)]; }

// Element (i, j) of the profile matrix stored in row i.
struct Profile {
  std::span<const std::int32_t> d;
  std::span<double> a;
  double& operator()(std::int32_t i, std::int32_t j) const {
    return a[static_cast<std::size_t>(get(d, i) - i + j - 1)];
  }
};

// The arrays of one solve, whichever driver holds them.
struct System {
  std::span<double> a;
  std::span<const std::int32_t> d, f, l, order, r;
  std::int32_t n, length;
};

void drive(const System& s, std::span<double> b, std::span<double> x, double& dmax, std::int32_t& node,
           std::string& name) {
  dmax = 0.0;
  node = 0;
  name.assign(6, ' ');
  std::int32_t ifail = 0;
  FHSFCT(s.d, s.f, s.n, s.r, s.length, s.a, ifail);
  if (ifail != 0) {
    node = get(s.order, ifail);
    name = "FHSFCT";
  } else {
    FHSSUB(s.f, s.l, s.d, s.a, s.n, s.length, b, ifail);
    if (ifail != 0) {
      node = get(s.order, ifail);
      name = "FHSSUB";
    } else {
      for (std::int32_t i = 1; i <= s.n; ++i) {
        const auto k = static_cast<std::size_t>(get(s.order, i) - 1);
        const double change = b[static_cast<std::size_t>(i - 1)] - x[k];
        if (std::abs(change) > std::abs(dmax)) dmax = change;
        x[k] = b[static_cast<std::size_t>(i - 1)];
      }
    }
  }
  std::fill_n(s.a.begin(), std::min<std::size_t>(static_cast<std::size_t>(std::max(s.length, 0)), s.a.size()), 0.0);
}

}  // namespace
}  // namespace kalvir::fluidloop

using kalvir::fluidloop::Profile;
using kalvir::fluidloop::get;

void FHSFCT(std::span<const std::int32_t> D, std::span<const std::int32_t> F, std::int32_t N,
            std::span<const std::int32_t> R, std::int32_t /*LENGTH*/, std::span<double> A, std::int32_t& IFAIL) {
  const Profile m{D, A};
  for (std::int32_t i = 1; i <= N; ++i) {
    if (IFAIL != 0) return;
    const std::int32_t fi = get(F, i), ri = get(R, i);
    for (std::int32_t j = fi; j < i; ++j) {
      double s = m(i, j);
      for (std::int32_t k = std::max(fi, get(R, j)); k < j; ++k) s -= m(i, k) * m(k, j);
      m(i, j) = s / m(j, j);
    }
    for (std::int32_t r = ri; r <= i; ++r) {
      double s = m(r, i);
      for (std::int32_t k = std::max(ri, get(F, r)); k < r; ++k) s -= m(r, k) * m(k, i);
      m(r, i) = s;
    }
    if (SMINDL(m(i, i))) IFAIL = i;
  }
}

void FHSSUB(std::span<const std::int32_t> F, std::span<const std::int32_t> L, std::span<const std::int32_t> D,
            std::span<const double> A, std::int32_t N, std::int32_t /*LENGTH*/, std::span<double> B,
            std::int32_t& IFAIL) {
  const auto at = [&](std::int32_t i, std::int32_t j) { return A[static_cast<std::size_t>(get(D, i) - i + j - 1)]; };
  const auto b = [&](std::int32_t i) -> double& { return B[static_cast<std::size_t>(i - 1)]; };
  for (std::int32_t i = 1; i <= N; ++i)
    if (SMINDL(at(i, i))) IFAIL = i;
  if (IFAIL != 0) return;
  for (std::int32_t i = 1; i <= N; ++i) {
    double s = b(i);
    for (std::int32_t j = get(F, i); j < i; ++j) s -= at(i, j) * b(j);
    b(i) = s;
  }
  for (std::int32_t i = N; i >= 1; --i) {
    double s = b(i);
    for (std::int32_t j = i + 1; j <= get(L, i); ++j) s -= at(i, j) * b(j);
    b(i) = s / at(i, i);
  }
}

void FHSKSV(std::span<double> A, std::int32_t N, std::int32_t LENGTH, std::span<double> B,
            const kalvir::fluidloop::ProfileIndex& TABLE, std::span<double> X, double& DMAX, std::int32_t& NODE,
            std::string& NAME) {
  // The hydraulic profile is symmetric: the first columns are the column
  // profile too.
  kalvir::fluidloop::drive({A, TABLE.diag, TABLE.first, TABLE.last, TABLE.node_of_eq, TABLE.first, N, LENGTH}, B, X,
                           DMAX, NODE, NAME);
}

void FHSKS1(std::span<double> A, std::span<const std::int32_t> D, std::span<const std::int32_t> F,
            std::span<const std::int32_t> L, std::int32_t N, std::span<const std::int32_t> ORDER,
            std::span<const std::int32_t> R, std::int32_t LENGTH, std::span<double> B, std::span<double> X,
            double& DMAX, std::int32_t& NODE, std::string& NAME) {
  kalvir::fluidloop::drive({A, D, F, L, ORDER, R, N, LENGTH}, B, X, DMAX, NODE, NAME);
}
