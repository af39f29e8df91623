// SLGEAR's sparse solver against the dense product: random sparse
// diagonally dominant matrices (unsymmetric values, patterns given from one
// side only, each join named twice with half its value, parts joined to
// each other or not, a node on its own, and all-to-all parts like radiating
// enclosures, which the solver holds dense) are solved to the accuracy of the
// data without row exchanges, and so are matrices dominant by columns only
// (a Jacobian with radiation to hotter nodes); regular matrices that need
// row exchanges (a tiny leading pivot, zero diagonals, rows of a dominant
// matrix shuffled) are solved to the accuracy of the data with them; the
// ordering makes no fill on a star; a matrix singular with exchanges too
// names a column of its zero pivot.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "runtime/thermal/sparse_lu.h"
#include "tests/support/test_support.h"

namespace kalvir::test {
namespace sparse_lu_test {

using thermal::SparseLu;

struct Sparse {
  int n = 0;
  std::vector<std::int32_t> begin{0}, columns;
  std::vector<double> dense;  // row-major
  double& at(int p, int q) { return dense[static_cast<std::size_t>(p * n + q)]; }
};

// Nodes in parts of PART nodes, each pair of a part joined with probability
// DENSITY (the first part with probability 1 when ENCLOSURE), and CROSS
// joins between random nodes; a join is given in one row, the other or both
// (a given element is set, the other stays zero); the last node has no
// neighbour.
Sparse random_matrix(int n, int part, double density, bool enclosure, int cross, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  Sparse s;
  s.n = n;
  s.dense.assign(static_cast<std::size_t>(n * n), 0.0);
  std::vector<std::set<int>> rows(static_cast<std::size_t>(n));
  std::uniform_int_distribution<int> node(0, n - 2);
  auto join = [&](int p, int q) {
    const double side = unit(gen);
    if (side < 0.7) {
      s.at(p, q) = -unit(gen);
      rows[static_cast<std::size_t>(p)].insert(q);
    }
    if (side > 0.3) {
      s.at(q, p) = -unit(gen);
      rows[static_cast<std::size_t>(q)].insert(p);
    }
  };
  for (int p = 0; p + 1 < n; ++p)
    for (int q = (p / part) * part; q < p; ++q)
      if ((enclosure && p < part) || unit(gen) < density) join(p, q);
  for (int k = 0; k < cross; ++k) {
    const int p = node(gen), q = node(gen);
    if (p != q && s.at(p, q) == 0.0 && s.at(q, p) == 0.0) join(p, q);
  }
  for (int p = 0; p < n; ++p) {
    double off = 0.0;
    for (int q = 0; q < n; ++q) off += std::abs(s.at(p, q));
    s.at(p, p) = 1.0 + off + unit(gen);
    for (int q : rows[static_cast<std::size_t>(p)]) {
      s.columns.push_back(q);
      s.columns.push_back(q);  // a repeat
    }
    s.begin.push_back(static_cast<std::int32_t>(s.columns.size()));
  }
  return s;
}

// Sets every element of S (its pattern given with repeats when REPEATS: each
// entry then carries half the element).
void load(SparseLu& solver, const Sparse& s, bool repeats) {
  const double share = repeats ? 0.5 : 1.0;
  for (int p = 0; p < s.n; ++p) {
    solver.diagonal(p) = s.dense[static_cast<std::size_t>(p * s.n + p)];
    for (auto e = static_cast<std::size_t>(s.begin[static_cast<std::size_t>(p)]);
         e < static_cast<std::size_t>(s.begin[static_cast<std::size_t>(p) + 1]); ++e)
      solver.entry(e) = share * s.dense[static_cast<std::size_t>(p * s.n + s.columns[e])];
  }
}

// The largest error of the solution of S x = S X (X = -20, -19, ...).
double solve_error(SparseLu& solver, const Sparse& s) {
  std::vector<double> x(static_cast<std::size_t>(s.n)), b(x.size());
  std::iota(x.begin(), x.end(), -20.0);
  for (int p = 0; p < s.n; ++p)
    for (int q = 0; q < s.n; ++q)
      b[static_cast<std::size_t>(p)] += s.dense[static_cast<std::size_t>(p * s.n + q)] * x[static_cast<std::size_t>(q)];
  solver.solve(b);
  double error = 0.0;
  for (std::size_t p = 0; p < x.size(); ++p) error = std::max(error, std::abs(b[p] - x[p]));
  return error;
}

// S with its pattern taken from its dense values, each element named once.
Sparse from_dense(int n, std::vector<double> dense) {
  Sparse s;
  s.n = n;
  s.dense = std::move(dense);
  for (int p = 0; p < n; ++p) {
    for (int q = 0; q < n; ++q)
      if (q != p && s.at(p, q) != 0.0) s.columns.push_back(q);
    s.begin.push_back(static_cast<std::int32_t>(s.columns.size()));
  }
  return s;
}

struct MatrixCase {
  const char* what;
  int n, part;
  double density;
  bool enclosure;
  int cross;
};

class SparseLuSolves : public ::testing::TestWithParam<MatrixCase> {};

TEST_P(SparseLuSolves, RandomSparseMatricesToTheAccuracyOfTheData) {
  const MatrixCase& c = GetParam();
  for (unsigned seed : {1U, 2U, 3U}) {
    Sparse s = random_matrix(c.n, c.part, c.density, c.enclosure, c.cross, seed);
    SparseLu solver;
    solver.analyse(s.n, s.begin, s.columns);
    ASSERT_EQ(solver.size(), s.n);
    load(solver, s, true);
    for (int p = 0; p < s.n; ++p)
      for (int q = 0; q < s.n; ++q) ASSERT_EQ(solver.value(p, q), s.at(p, q)) << p << " " << q;
    ASSERT_EQ(solver.factorise(1.0e-37), -1);
    EXPECT_FALSE(solver.pivoted());
    EXPECT_LT(solve_error(solver, s), 1.0e-12);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, SparseLuSolves,
                         ::testing::Values(MatrixCase{"sparse parts", 120, 40, 0.3, false, 0},
                                           MatrixCase{"an enclosure joined to sparse parts", 200, 50, 0.1, true, 80},
                                           MatrixCase{"two enclosures", 150, 100, 1.0, false, 0},
                                           MatrixCase{"one dense matrix", 60, 60, 1.0, false, 0},
                                           // its rows go in pairs, and the last one alone
                                           MatrixCase{"one dense matrix of odd order", 61, 61, 1.0, false, 0}),
                         CaseName{});

// A dominant random matrix made dominant by columns only: the columns of
// every third node (a hotter one, whose y^3 makes its radiative entries
// large) scaled by 64, the diagonal the column's sum and 1 (C/h), so
// that most rows are far from dominant. No pivot then needs an exchange.
TEST(SparseLu, AMatrixDominantByColumnsOnlyNeedsNoExchange) {
  for (unsigned seed : {1U, 2U, 3U}) {
    Sparse s = random_matrix(150, 50, 0.1, true, 60, seed);
    for (int q = 0; q < s.n; ++q) {
      double column = 0.0;
      for (int p = 0; p < s.n; ++p)
        if (p != q) {
          if (q % 3 == 0) s.at(p, q) *= 64.0;
          column += std::abs(s.at(p, q));
        }
      s.at(q, q) = column + 1.0;
    }
    int weak_rows = 0;
    for (int p = 0; p < s.n; ++p) {
      double row = 0.0;
      for (int q = 0; q < s.n; ++q) row += q != p ? std::abs(s.at(p, q)) : 0.0;
      weak_rows += row > 2.0 * s.at(p, p) ? 1 : 0;
    }
    ASSERT_GT(weak_rows, 10);
    SparseLu solver;
    solver.analyse(s.n, s.begin, s.columns);
    load(solver, s, true);
    ASSERT_EQ(solver.factorise(1.0e-37), -1);
    EXPECT_FALSE(solver.pivoted());
    // The scaled columns weigh their unknowns up to 64 times as much as the
    // diagonal does: the solution's accuracy is that much coarser.
    EXPECT_LT(solve_error(solver, s), 64 * 1.0e-13);
  }
}

struct ExchangeCase {
  const char* what;
  int n;
  std::vector<double> dense;  // row-major; empty: a dominant random matrix's rows shuffled
};

class SparseLuExchanges : public ::testing::TestWithParam<ExchangeCase> {};

// Regular matrices that the solver's order cannot take without row
// exchanges: solved to the accuracy of the data (an elimination without
// exchanges takes the tiny pivot and loses the other unknown:
// [[1e-20, 1], [1, 1]] x = (1, 2) came out as (0, 1); a zero pivot was
// refused). The dominant matrix with the same pattern that follows takes
// the way without exchanges again.
TEST_P(SparseLuExchanges, SolvesToTheAccuracyOfTheData) {
  const ExchangeCase& c = GetParam();
  for (unsigned seed : {1U, 2U, 3U}) {
    Sparse s;
    if (c.dense.empty()) {
      // Row p of the dominant matrix becomes row p xor 1 (pairs of rows
      // exchanged): its diagonal is mostly zero, its condition the same.
      const Sparse m = random_matrix(c.n, 40, 0.3, false, 30, seed);
      std::vector<double> dense(m.dense.size());
      for (int p = 0; p < c.n; ++p)
        for (int q = 0; q < c.n; ++q)
          dense[static_cast<std::size_t>((p ^ 1) * c.n + q)] = m.dense[static_cast<std::size_t>(p * c.n + q)];
      s = from_dense(c.n, std::move(dense));
    } else {
      s = from_dense(c.n, c.dense);
    }
    SparseLu solver;
    solver.analyse(s.n, s.begin, s.columns);
    load(solver, s, false);
    ASSERT_EQ(solver.factorise(1.0e-37), -1);
    EXPECT_TRUE(solver.pivoted());
    EXPECT_LT(solve_error(solver, s), 1.0e-12);
    Sparse dominant = s;
    for (int p = 0; p < s.n; ++p) {
      double row = 0.0;
      for (int q = 0; q < s.n; ++q) row += q != p ? std::abs(s.at(p, q)) : 0.0;
      dominant.at(p, p) = row + 1.0;
    }
    load(solver, dominant, false);
    ASSERT_EQ(solver.factorise(1.0e-37), -1);
    EXPECT_FALSE(solver.pivoted());
    EXPECT_LT(solve_error(solver, dominant), 1.0e-12);
    if (!c.dense.empty()) break;  // the same matrix for every seed
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, SparseLuExchanges,
                         ::testing::Values(ExchangeCase{"a tiny leading pivot", 2, {1.0e-20, 1.0, 1.0, 1.0}},
                                           ExchangeCase{"tiny pivots only", 2, {1.0e-20, 1.0, 1.0, 1.0e-20}},
                                           ExchangeCase{"zero diagonals", 3, {0.0, 2.0, 0.0, 1.0, 0.0, 3.0, 0.0, 1.0, 1.0}},
                                           ExchangeCase{"a dominant matrix's rows exchanged in pairs", 120, {}}),
                         CaseName{});

TEST(SparseLu, TheOrderingMakesNoFillOnAStar) {
  // Centre 0 joined to leaves 1 .. 19: eliminating a leaf fills nothing,
  // eliminating the centre before its leaves fills every pair of them.
  constexpr int n = 20;
  std::vector<std::int32_t> begin{0}, columns;
  for (int q = 1; q < n; ++q) columns.push_back(q);
  begin.push_back(n - 1);
  for (int p = 1; p < n; ++p) {
    columns.push_back(0);
    begin.push_back(static_cast<std::int32_t>(columns.size()));
  }
  SparseLu solver;
  solver.analyse(n, begin, columns);
  EXPECT_EQ(solver.factor_words(), static_cast<std::size_t>(n + 2 * (n - 1)));
}

TEST(SparseLu, AMatrixSingularWithExchangesNamesAColumnOfItsZeroPivot) {
  // Row and column 2 are all zero: whatever the order or exchanges, its
  // pivot is zero.
  const std::vector<std::int32_t> begin{0, 1, 2, 2}, columns{1, 0};
  SparseLu solver;
  solver.analyse(3, begin, columns);
  solver.diagonal(0) = 2.0;
  solver.entry(0) = -1.0;
  solver.entry(1) = -1.0;
  solver.diagonal(1) = 2.0;
  EXPECT_EQ(solver.factorise(1.0e-37), 2);
}

}  // namespace sparse_lu_test
}  // namespace kalvir::test
