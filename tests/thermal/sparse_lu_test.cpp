// SLGEAR's sparse solver against the dense product: random sparse
// diagonally dominant matrices (unsymmetric values, patterns given from one
// side only, each join named twice with half its value, parts joined to
// each other or not, a node on its own, and all-to-all parts like radiating
// enclosures, which the solver holds dense) are solved to the accuracy of the data; minimum degree gives a
// permutation and eliminates a star's leaves before its centre (no fill); a
// zero pivot names its row.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <set>
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
    for (int p = 0; p < s.n; ++p) {
      solver.diagonal(p) = s.at(p, p);
      for (auto e = static_cast<std::size_t>(s.begin[static_cast<std::size_t>(p)]);
           e < static_cast<std::size_t>(s.begin[static_cast<std::size_t>(p) + 1]); ++e)
        solver.entry(e) = 0.5 * s.at(p, s.columns[e]);  // each column is named twice: the halves add up
    }
    for (int p = 0; p < s.n; ++p)
      for (int q = 0; q < s.n; ++q) ASSERT_EQ(solver.value(p, q), s.at(p, q)) << p << " " << q;
    std::vector<double> x(static_cast<std::size_t>(s.n)), b(x.size());
    std::iota(x.begin(), x.end(), -20.0);
    for (int p = 0; p < s.n; ++p)
      for (int q = 0; q < s.n; ++q) b[static_cast<std::size_t>(p)] += s.at(p, q) * x[static_cast<std::size_t>(q)];
    ASSERT_EQ(solver.factorise(1.0e-37), -1);
    solver.solve(b);
    for (int p = 0; p < s.n; ++p) EXPECT_NEAR(b[static_cast<std::size_t>(p)], x[static_cast<std::size_t>(p)], 1.0e-12) << p;
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

TEST(SparseLu, MinimumDegreeEliminatesAStarsLeavesFirst) {
  // Centre 0 joined to leaves 1 .. 9, leaf 9 also to leaf 8.
  constexpr int n = 10;
  std::vector<std::vector<std::int32_t>> adj(n);
  auto join = [&](int a, int b) {
    adj[static_cast<std::size_t>(a)].push_back(b);
    adj[static_cast<std::size_t>(b)].push_back(a);
  };
  for (int leaf = 1; leaf < n; ++leaf) join(0, leaf);
  join(8, 9);
  std::vector<std::int32_t> begin{0}, flat;
  for (auto& a : adj) {
    std::sort(a.begin(), a.end());
    flat.insert(flat.end(), a.begin(), a.end());
    begin.push_back(static_cast<std::int32_t>(flat.size()));
  }
  std::vector<std::int32_t> order;
  thermal::minimum_degree(n, begin, flat, order);
  std::vector<std::int32_t> sorted = order;
  std::sort(sorted.begin(), sorted.end());
  for (int k = 0; k < n; ++k) ASSERT_EQ(sorted[static_cast<std::size_t>(k)], k);
  // The leaves of one neighbour go first, lowest first; the centre only
  // when it is left in a triangle with leaves 8 and 9.
  EXPECT_EQ(std::find(order.begin(), order.end(), 0) - order.begin(), n - 3);
  EXPECT_EQ(order.front(), 1);
}

TEST(SparseLu, AZeroPivotNamesItsRow) {
  // Row 2 is all zero: whatever the order, its pivot is zero.
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
