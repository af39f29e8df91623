// The profile solver against a dense Gaussian elimination with partial
// pivoting on small matrices of the shapes the fluid networks give, its
// reports of a vanishing pivot or diagonal, and the largest change.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "runtime/fluidloop/profile_solver.h"
#include "tests/support/test_support.h"

namespace kalvir::test {
namespace profile_solver_test {

using Dense = std::vector<std::vector<double>>;

// Solution of a dense system by elimination with partial pivoting.
std::vector<double> dense_solve(Dense a, std::vector<double> b) {
  const std::size_t n = b.size();
  for (std::size_t k = 0; k < n; ++k) {
    std::size_t p = k;
    for (std::size_t i = k + 1; i < n; ++i)
      if (std::abs(a[i][k]) > std::abs(a[p][k])) p = i;
    std::swap(a[k], a[p]);
    std::swap(b[k], b[p]);
    for (std::size_t i = k + 1; i < n; ++i) {
      const double m = a[i][k] / a[k][k];
      for (std::size_t j = k; j < n; ++j) a[i][j] -= m * a[k][j];
      b[i] -= m * b[k];
    }
  }
  std::vector<double> x(n);
  for (std::size_t i = n; i-- > 0;) {
    double s = b[i];
    for (std::size_t j = i + 1; j < n; ++j) s -= a[i][j] * x[j];
    x[i] = s / a[i][i];
  }
  return x;
}

// A symmetric profile in equation order: first columns from the edges,
// last columns non-decreasing, diagonal positions chained.
struct Shape {
  std::vector<std::int32_t> f, l, d, order;
  std::int32_t length = 0;
};
Shape shape(std::int32_t n, const std::vector<std::pair<int, int>>& edges) {
  Shape s;
  for (int i = 1; i <= n; ++i) {
    int f = i, l = i == 1 ? 1 : std::max(s.l.back(), i);
    for (auto [a, b] : edges) {
      if (b == i) f = std::min(f, a);
      if (a == i) l = std::max(l, b);
    }
    s.f.push_back(f);
    s.l.push_back(l);
    s.d.push_back(i == 1 ? 1 : s.d.back() + s.l[static_cast<std::size_t>(i - 2)] - f + 2);
    s.order.push_back(i);
  }
  s.length = n == 0 ? 0 : s.d.back();
  return s;
}

// The profile storage of a dense matrix (elements outside the envelope must be 0).
std::vector<double> store(const Shape& s, const Dense& a) {
  std::vector<double> p(static_cast<std::size_t>(s.length));
  const auto n = static_cast<int>(a.size());
  for (int i = 1; i <= n; ++i)
    for (int j = s.f[static_cast<std::size_t>(i - 1)]; j <= s.l[static_cast<std::size_t>(i - 1)]; ++j)
      p[static_cast<std::size_t>(s.d[static_cast<std::size_t>(i - 1)] - i + j - 1)] =
          a[static_cast<std::size_t>(i - 1)][static_cast<std::size_t>(j - 1)];
  return p;
}

// A matrix with the given edges: off-diagonal values from a fixed sequence,
// a diagonal that is not dominant, so that the pivots matter.
Dense matrix(int n, const std::vector<std::pair<int, int>>& edges) {
  Dense a(static_cast<std::size_t>(n), std::vector<double>(static_cast<std::size_t>(n), 0.0));
  double v = 0.37;
  for (int i = 0; i < n; ++i) a[static_cast<std::size_t>(i)][static_cast<std::size_t>(i)] = 0.5 + 0.3 * i;
  for (auto [i, j] : edges) {
    v = std::fmod(v * 7.31 + 0.11, 2.0) - 1.0;
    a[static_cast<std::size_t>(i - 1)][static_cast<std::size_t>(j - 1)] = v;
    a[static_cast<std::size_t>(j - 1)][static_cast<std::size_t>(i - 1)] = 0.5 * v - 0.25;
  }
  return a;
}

struct SolveCase {
  const char* what;
  int n;
  std::vector<std::pair<int, int>> edges;
};

class ProfileSolve : public ::testing::TestWithParam<SolveCase> {};

TEST_P(ProfileSolve, MatchesDenseEliminationAndZeroesTheMatrix) {
  const SolveCase& c = GetParam();
  const Shape s = shape(c.n, c.edges);
  const Dense a = matrix(c.n, c.edges);
  std::vector<double> b(static_cast<std::size_t>(c.n));
  for (int i = 0; i < c.n; ++i) b[static_cast<std::size_t>(i)] = 1.0 + i * i - 2.0 * (i % 2);
  const std::vector<double> expected = dense_solve(a, b);

  std::vector<double> p = store(s, a), rhs = b, x(static_cast<std::size_t>(c.n), 0.0);
  double dmax = 0.0;
  std::int32_t node = -1;
  std::string name;
  FHSKS1(p, s.d, s.f, s.l, c.n, s.order, s.f, s.length, rhs, x, dmax, node, name);
  EXPECT_EQ(node, 0);
  for (int i = 0; i < c.n; ++i)
    EXPECT_NEAR(x[static_cast<std::size_t>(i)], expected[static_cast<std::size_t>(i)],
                1e-12 * (1.0 + std::abs(expected[static_cast<std::size_t>(i)])))
        << i;
  for (double w : p) EXPECT_EQ(w, 0.0);
}

INSTANTIATE_TEST_SUITE_P(Cases, ProfileSolve,
                         ::testing::Values(SolveCase{"one equation", 1, {}},
                                           SolveCase{"chain of five", 5, {{1, 2}, {2, 3}, {3, 4}, {4, 5}}},
                                           SolveCase{"ring of four", 4, {{1, 2}, {2, 3}, {3, 4}, {1, 4}}},
                                           SolveCase{"star", 5, {{1, 2}, {1, 3}, {1, 4}, {1, 5}}},
                                           SolveCase{"two groups", 5, {{1, 2}, {2, 3}, {4, 5}}},
                                           SolveCase{"wide band", 6, {{1, 2}, {1, 3}, {2, 4}, {3, 5}, {4, 6}, {5, 6}}}),
                         CaseName{});

TEST(ProfileSolver, SingleEquationIsItsQuotient) {
  std::vector<double> a{4.0}, b{10.0}, x{1.0};
  std::vector<std::int32_t> table{1, 1, 1, 1, 1};
  const auto index = fluidloop::profile_index(table, 1);
  double dmax = 0.0;
  std::int32_t node = 0;
  std::string name;
  FHSKSV(a, 1, 1, b, index, x, dmax, node, name);
  EXPECT_DOUBLE_EQ(x[0], 2.5);
  EXPECT_DOUBLE_EQ(dmax, 1.5);
  EXPECT_EQ(a[0], 0.0);
}

TEST(ProfileSolver, SolutionGoesToTheNodeOfEachEquationAndFirstOfEqualChangesWins) {
  // Equation 1 is fluid node 2, equation 2 fluid node 1; a diagonal system.
  std::vector<double> a{1.0, 1.0}, b{3.0, -3.0}, x{0.0, 0.0};
  std::vector<std::int32_t> table{2, 1, 2, 1, 1, 2, 1, 2, 1, 2};
  const auto index = fluidloop::profile_index(table, 2);
  double dmax = 0.0;
  std::int32_t node = 0;
  std::string name;
  FHSKSV(a, 2, 2, b, index, x, dmax, node, name);
  EXPECT_EQ(x, (std::vector<double>{-3.0, 3.0}));
  EXPECT_EQ(dmax, 3.0);  // equation 1's change, not equation 2's -3
}

TEST(ProfileSolver, VanishingPivotNamesTheFactorisationAndKeepsTheTarget) {
  // [[1 1 0] [1 1 1] [0 1 1]]: the second pivot is 0; row 3 stays as given.
  const Shape s = shape(3, {{1, 2}, {2, 3}});
  std::vector<double> p = store(s, {{1, 1, 0}, {1, 1, 1}, {0, 1, 1}});
  std::vector<double> b{1, 2, 3}, x{7, 8, 9};
  std::vector<std::int32_t> order{3, 1, 2};
  double dmax = 5.0;
  std::int32_t node = 0;
  std::string name;
  FHSKS1(p, s.d, s.f, s.l, 3, order, s.f, s.length, b, x, dmax, node, name);
  EXPECT_EQ(node, 1);  // equation 2 holds fluid node 1
  EXPECT_EQ(name, "FHSFCT");
  EXPECT_EQ(x, (std::vector<double>{7, 8, 9}));
  EXPECT_EQ(dmax, 0.0);
  for (double w : p) EXPECT_EQ(w, 0.0);

  std::int32_t ifail = 0;
  p = store(s, {{1, 1, 0}, {1, 1, 1}, {0, 1, 1}});
  FHSFCT(s.d, s.f, 3, s.f, s.length, p, ifail);
  EXPECT_EQ(ifail, 2);
  EXPECT_EQ(p.back(), 1.0);  // the row after the failure is left unfactorised
}

TEST(ProfileSolver, SubstitutionReportsTheLastVanishedDiagonalAndLeavesTheRightHandSide) {
  const Shape s = shape(3, {});
  const std::vector<double> a{0.0, 2.0, 0.0};
  std::vector<double> b{1.0, 1.0, 1.0};
  std::int32_t ifail = 0;
  FHSSUB(s.f, s.l, s.d, a, 3, 3, b, ifail);
  EXPECT_EQ(ifail, 3);
  EXPECT_EQ(b, (std::vector<double>{1.0, 1.0, 1.0}));
}

}  // namespace profile_solver_test
}  // namespace kalvir::test
