// SLGEAR's envelope solver against the dense product: random sparse
// diagonally dominant matrices (unsymmetric values, patterns given from one
// side only, repeats, parts not joined to each other and a node on its own)
// are solved to the accuracy of the data; reverse Cuthill-McKee gives a
// permutation and narrows a shuffled chain back to a band; a zero pivot
// names its row.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <set>
#include <vector>

#include "runtime/thermal/envelope_solver.h"

namespace kalvir::test {
namespace envelope_solver_test {

using thermal::EnvelopeSolver;

struct Sparse {
  int n = 0;
  std::vector<std::int32_t> begin{0}, columns;
  std::vector<double> dense;  // row-major
  double& at(int p, int q) { return dense[static_cast<std::size_t>(p * n + q)]; }
};

// Nodes in parts of PART nodes, each joined at random within its part; the
// last node has no neighbour.
Sparse random_matrix(int n, int part, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  Sparse s;
  s.n = n;
  s.dense.assign(static_cast<std::size_t>(n * n), 0.0);
  std::vector<std::set<int>> rows(static_cast<std::size_t>(n));
  for (int p = 0; p + 1 < n; ++p)
    for (int q = (p / part) * part; q < std::min((p / part + 1) * part, n - 1); ++q)
      if (q != p && unit(gen) < 0.3) {
        s.at(p, q) = -unit(gen);
        s.at(q, p) = -unit(gen);
        rows[static_cast<std::size_t>(p)].insert(q);  // one side only
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

TEST(EnvelopeSolver, SolvesRandomSparseMatrices) {
  for (unsigned seed : {1U, 2U, 3U}) {
    Sparse s = random_matrix(120, 40, seed);
    EnvelopeSolver solver;
    solver.analyse(s.n, s.begin, s.columns);
    for (int p = 0; p < s.n; ++p)
      for (int q = 0; q < s.n; ++q)
        if (s.at(p, q) != 0.0) solver.at(p, q) = s.at(p, q);
    for (int p = 0; p < s.n; ++p)
      for (int q = 0; q < s.n; ++q) EXPECT_EQ(solver.value(p, q), s.at(p, q)) << p << " " << q;
    std::vector<double> x(static_cast<std::size_t>(s.n)), b(x.size());
    std::iota(x.begin(), x.end(), -20.0);
    for (int p = 0; p < s.n; ++p)
      for (int q = 0; q < s.n; ++q) b[static_cast<std::size_t>(p)] += s.at(p, q) * x[static_cast<std::size_t>(q)];
    ASSERT_EQ(solver.factorise(1.0e-37), -1);
    solver.solve(b);
    for (int p = 0; p < s.n; ++p) EXPECT_NEAR(b[static_cast<std::size_t>(p)], x[static_cast<std::size_t>(p)], 1.0e-12) << p;
  }
}

TEST(EnvelopeSolver, ReverseCuthillMcKeeNarrowsAShuffledChain) {
  constexpr int n = 50;
  std::vector<int> label(n);
  std::iota(label.begin(), label.end(), 0);
  std::shuffle(label.begin(), label.end(), std::mt19937(5));
  std::vector<std::vector<std::int32_t>> adj(n);
  for (int k = 0; k + 1 < n; ++k) {
    adj[static_cast<std::size_t>(label[k])].push_back(label[k + 1]);
    adj[static_cast<std::size_t>(label[k + 1])].push_back(label[k]);
  }
  std::vector<std::int32_t> begin{0}, flat;
  for (const auto& a : adj) {
    flat.insert(flat.end(), a.begin(), a.end());
    begin.push_back(static_cast<std::int32_t>(flat.size()));
  }
  std::vector<std::int32_t> order;
  thermal::reverse_cuthill_mckee(n, begin, flat, order);
  std::vector<std::int32_t> sorted = order;
  std::sort(sorted.begin(), sorted.end());
  for (int k = 0; k < n; ++k) ASSERT_EQ(sorted[static_cast<std::size_t>(k)], k);
  std::vector<int> position(n);
  for (int k = 0; k < n; ++k) position[static_cast<std::size_t>(order[static_cast<std::size_t>(k)])] = k;
  for (int k = 0; k + 1 < n; ++k)
    EXPECT_EQ(std::abs(position[static_cast<std::size_t>(label[k])] - position[static_cast<std::size_t>(label[k + 1])]), 1);
}

TEST(EnvelopeSolver, AZeroPivotNamesItsRow) {
  // Row 2 is all zero: whatever the order, its pivot is zero.
  const std::vector<std::int32_t> begin{0, 1, 2, 2}, columns{1, 0};
  EnvelopeSolver solver;
  solver.analyse(3, begin, columns);
  solver.at(0, 0) = 2.0;
  solver.at(0, 1) = -1.0;
  solver.at(1, 0) = -1.0;
  solver.at(1, 1) = 2.0;
  EXPECT_EQ(solver.factorise(1.0e-37), 2);
}

}  // namespace envelope_solver_test
}  // namespace kalvir::test
