// The two-phase matrix layout on loaded models: the order and widened
// profile of each loop, and a solve through the profile solver of a system
// whose last loop row spans the whole loop, against a dense elimination.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "runtime/fluidloop/profile_solver.h"
#include "runtime/fluidloop/two_phase_layout.h"
#include "tests/fluidloop/fluid_test_support.h"
#include "tests/support/test_support.h"

namespace kalvir::test {
namespace two_phase_layout_test {

using V = std::vector<std::int32_t>;

struct LayoutCase {
  const char* what;
  std::int32_t nf;
  const char* links;
  V order, first, last, diag, loop_end;
  std::int32_t ncomp, nprof;
};

std::string nodes(std::int32_t nf) {
  std::string s = "model LAYOUT\n";
  for (std::int32_t n = 1; n <= nf; ++n) s += "fluidnode " + std::to_string(n) + "\n";
  return s;
}

class TwoPhaseLayoutCases : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(TwoPhaseLayoutCases, OrderAndWidenedProfile) {
  const LayoutCase& c = GetParam();
  TempDir dir;
  load_description(nodes(c.nf) + c.links, dir);
  std::vector<std::int32_t> table(7 * static_cast<std::size_t>(c.nf), -1);
  const auto t = fluidloop::two_phase_layout(table, c.nf);
  std::int32_t ncomp = -1, nprof = -1;
  FPNTER(c.nf, t, ncomp, nprof);
  EXPECT_EQ(V(t.order.begin(), t.order.end()), c.order);
  EXPECT_EQ(V(t.first.begin(), t.first.end()), c.first);
  EXPECT_EQ(V(t.last.begin(), t.last.end()), c.last);
  EXPECT_EQ(V(t.diag.begin(), t.diag.end()), c.diag);
  EXPECT_EQ(V(t.loop_end.begin(), t.loop_end.begin() + ncomp), c.loop_end);
  EXPECT_EQ(ncomp, c.ncomp);
  EXPECT_EQ(nprof, c.nprof);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TwoPhaseLayoutCases,
    ::testing::Values(
        LayoutCase{"ring of three", 3, "link 1 2 0.1\nlink 2 3 0.1\nlink 3 1 0.1\n", {1, 2, 3}, {1, 1, 1}, {3, 3, 3},
                   {1, 5, 9}, {3}, 1, 9},
        LayoutCase{"two loops", 4, "link 1 3 0.1\nlink 2 4 0.1\n", {1, 3, 2, 4}, {1, 1, 3, 3}, {2, 2, 4, 4},
                   {1, 4, 5, 8}, {2, 4}, 2, 8},
        LayoutCase{"chain widened at its end", 3, "link 1 2 0.1\nlink 2 3 0.1\n", {1, 2, 3}, {1, 1, 1}, {2, 3, 3},
                   {1, 4, 8}, {3}, 1, 8},
        LayoutCase{"nodes without links", 2, "", {1, 2}, {1, 2}, {1, 2}, {1, 2}, {1, 2}, 2, 2}),
    CaseName{});

TEST(TwoPhaseLayout, NoFluidNodesIsAnEmptyMatrix) {
  std::vector<std::int32_t> table;
  std::int32_t ncomp = -1, nprof = -1;
  FPNTER(0, fluidloop::two_phase_layout(table, 0), ncomp, nprof);
  EXPECT_EQ(ncomp, 0);
  EXPECT_EQ(nprof, 0);
}

// A chain of five nodes whose last row is a loop-wide sum, as the total-mass
// equation is: the profile solver must give the dense solution.
TEST(TwoPhaseLayout, LoopRowSolvesThroughTheProfileSolver) {
  TempDir dir;
  load_description(nodes(5) + "link 1 2 0.1\nlink 2 3 0.1\nlink 3 4 0.1\nlink 4 5 0.1\n", dir);
  constexpr std::int32_t n = 5;
  std::vector<std::int32_t> table(7 * n);
  const auto t = fluidloop::two_phase_layout(table, n);
  std::int32_t ncomp = 0, nprof = 0;
  FPNTER(n, t, ncomp, nprof);
  ASSERT_EQ(ncomp, 1);
  double dense[n][n] = {};
  for (int i = 0; i < n; ++i) {
    dense[i][i] = 4.0 + i;
    if (i > 0) dense[i][i - 1] = -1.0 - 0.1 * i;
    if (i + 1 < n) dense[i][i + 1] = -0.5;
  }
  for (int j = 0; j < n; ++j) dense[n - 1][j] = 1.0 + 0.3 * j;
  std::vector<double> a(static_cast<std::size_t>(nprof), 0.0), b(n), x(n, 0.0), rhs(n);
  for (int i = 0; i < n; ++i) {
    rhs[i] = 1.0 + i * i;
    b[i] = rhs[i];
    for (int j = 0; j < n; ++j)
      if (dense[i][j] != 0.0) {
        const std::int32_t r = i + 1, col = j + 1;
        ASSERT_GE(col, t.first[i]);
        ASSERT_LE(col, t.last[i]);
        a[static_cast<std::size_t>(t.diag[i] - r + col - 1)] = dense[i][j];
      }
  }
  double dmax = 0.0;
  std::int32_t node = 0;
  std::string name;
  FHSKS1(a, t.diag, t.first, t.last, n, t.order, t.first_narrow, nprof, b, x, dmax, node, name);
  ASSERT_EQ(node, 0);
  for (int i = 0; i < n; ++i) {
    double s = 0.0;
    for (int j = 0; j < n; ++j) s += dense[i][j] * x[static_cast<std::size_t>(j)];
    EXPECT_NEAR(s, rhs[i], 1e-12) << "row " << i + 1;
  }
}

}  // namespace two_phase_layout_test
}  // namespace kalvir::test
