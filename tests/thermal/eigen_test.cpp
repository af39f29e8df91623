// The symmetric eigenproblem routines against what holds without them: the
// residual K phi - lambda C phi and the C-orthonormality of the vectors for
// random networks, the closed-form eigenvalues of a diagonal matrix and of a
// uniform chain, ten-fold clustered eigenvalues, and a stiff pair whose slow
// mode is a million times slower than its fast one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>
#include <random>
#include <vector>

#include "runtime/thermal/eigen.h"
#include "tests/thermal/thermal_test_support.h"

namespace kalvir::test {
namespace eigen_test {

// A problem K phi = lambda C phi, K stored by columns.
struct Problem {
  int m = 0;
  std::vector<double> k, c;
  double& at(int i, int j) { return k[static_cast<std::size_t>(j * m + i)]; }
  double at(int i, int j) const { return k[static_cast<std::size_t>(j * m + i)]; }
};

struct Solution {
  std::vector<double> lambda;  // eigenvalue k
  std::vector<double> v;       // eigenvector k in column k
  double phi(int m, int i, int k) const { return v[static_cast<std::size_t>(k * m + i)]; }
};

Solution solve(const Problem& p) {
  std::vector<double> a = p.k;
  Solution s;
  s.v.assign(a.size(), -1.0);
  std::int32_t ierr = -1;
  LEIGEN(p.c, p.m, a, s.v, ierr);
  EXPECT_EQ(ierr, 0);
  s.lambda.assign(a.begin(), a.begin() + p.m);
  return s;
}

// Largest |K phi_k - lambda_k C phi_k| relative to the largest |K(i, j)|
// times the largest |phi|, and the largest |Phi^T C Phi - I|.
struct Residuals {
  double eigen = 0.0, orthonormal = 0.0;
};
Residuals residuals(const Problem& p, const Solution& s) {
  const int m = p.m;
  double knorm = 0.0, vnorm = 0.0;
  for (double x : p.k) knorm = std::max(knorm, std::abs(x));
  for (double x : s.v) vnorm = std::max(vnorm, std::abs(x));
  Residuals r;
  for (int k = 0; k < m; ++k)
    for (int i = 0; i < m; ++i) {
      double kphi = 0.0;
      for (int j = 0; j < m; ++j) kphi += p.at(i, j) * s.phi(m, j, k);
      const double ci = p.c[static_cast<std::size_t>(i)];
      r.eigen = std::max(r.eigen, std::abs(kphi - s.lambda[static_cast<std::size_t>(k)] * ci * s.phi(m, i, k)) /
                                      (knorm * vnorm * m));
    }
  for (int k = 0; k < m; ++k)
    for (int l = 0; l < m; ++l) {
      double sum = 0.0;
      for (int i = 0; i < m; ++i) sum += s.phi(m, i, k) * p.c[static_cast<std::size_t>(i)] * s.phi(m, i, l);
      r.orthonormal = std::max(r.orthonormal, std::abs(sum - (k == l ? 1.0 : 0.0)));
    }
  return r;
}

std::vector<double> sorted(std::vector<double> x) {
  std::sort(x.begin(), x.end());
  return x;
}

// A random network of M nodes: conductors between random pairs, every node
// tied to a boundary, capacitances over four decades.
Problem random_network(int m, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  Problem p;
  p.m = m;
  p.k.assign(static_cast<std::size_t>(m * m), 0.0);
  for (int i = 0; i < m; ++i) {
    p.c.push_back(std::pow(10.0, 4.0 * unit(gen) - 2.0));
    p.at(i, i) += 0.1 + unit(gen);
    for (int j = 0; j < i; ++j) {
      if (unit(gen) < 0.5) continue;
      const double g = unit(gen);
      p.at(i, i) += g;
      p.at(j, j) += g;
      p.at(i, j) -= g;
      p.at(j, i) -= g;
    }
  }
  return p;
}

struct SizeCase {
  const char* what;
  int m;
};

class RandomNetwork : public ::testing::TestWithParam<SizeCase> {};

TEST_P(RandomNetwork, VectorsSolveTheProblemAndAreCOrthonormal) {
  for (unsigned seed : {1U, 2U, 3U}) {
    const Problem p = random_network(GetParam().m, seed);
    const Solution s = solve(p);
    const Residuals r = residuals(p, s);
    EXPECT_LT(r.eigen, 1.0e-14) << "seed " << seed;
    EXPECT_LT(r.orthonormal, 1.0e-12) << "seed " << seed;
    // The eigenvalues add up to the trace of C^-1 K.
    double trace = 0.0;
    for (int i = 0; i < p.m; ++i) trace += p.at(i, i) / p.c[static_cast<std::size_t>(i)];
    EXPECT_NEAR(std::accumulate(s.lambda.begin(), s.lambda.end(), 0.0), trace, 1.0e-12 * trace);
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, RandomNetwork,
                         ::testing::Values(SizeCase{"one", 1}, SizeCase{"two", 2}, SizeCase{"three", 3},
                                           SizeCase{"ten", 10}, SizeCase{"fifty", 50}),
                         CaseName{});

// The work space is kept from one decomposition to the next and taken anew
// when the size changes: sizes that shrink and grow again, on both sides of
// the size (25) above which the tridiagonal stage divides and conquers,
// each give a true decomposition.
TEST(Eigen, KeptWorkSpaceServesEverySizeInTurn) {
  for (int m : {60, 4, 60, 30, 26, 60}) {
    const Problem p = random_network(m, static_cast<unsigned>(m));
    const Residuals r = residuals(p, solve(p));
    EXPECT_LT(r.eigen, 1.0e-14) << m << " nodes";
    EXPECT_LT(r.orthonormal, 1.0e-12) << m << " nodes";
  }
}

TEST(Eigen, DiagonalMatrixNeedsNoRotation) {
  Problem p;
  p.m = 4;
  p.k = {3.0, 0, 0, 0, 0, 8.0, 0, 0, 0, 0, 0.5, 0, 0, 0, 0, 12.0};
  p.c = {2.0, 4.0, 0.25, 3.0};
  const Solution s = solve(p);
  for (int i = 0; i < p.m; ++i) {
    EXPECT_DOUBLE_EQ(s.lambda[static_cast<std::size_t>(i)], p.at(i, i) / p.c[static_cast<std::size_t>(i)]);
    for (int k = 0; k < p.m; ++k)
      EXPECT_DOUBLE_EQ(s.phi(p.m, i, k), i == k ? 1.0 / std::sqrt(p.c[static_cast<std::size_t>(i)]) : 0.0);
  }
}

// M nodes of capacitance c in a row joined by g, both ends tied by g to a
// boundary: lambda_k = 2 g / c (1 - cos(k pi / (M + 1))), k = 1 ... M.
Problem uniform_chain(int m, double c, double g) {
  Problem p;
  p.m = m;
  p.k.assign(static_cast<std::size_t>(m * m), 0.0);
  p.c.assign(static_cast<std::size_t>(m), c);
  for (int i = 0; i < m; ++i) {
    p.at(i, i) = 2.0 * g;
    if (i + 1 < m) p.at(i, i + 1) = p.at(i + 1, i) = -g;
  }
  return p;
}
std::vector<double> chain_eigenvalues(int m, double c, double g) {
  std::vector<double> x;
  for (int k = 1; k <= m; ++k) x.push_back(2.0 * g / c * (1.0 - std::cos(k * std::numbers::pi / (m + 1))));
  return x;
}

TEST(Eigen, UniformChainGivesItsAnalyticEigenvalues) {
  for (int m : {2, 7, 40}) {
    const Solution s = solve(uniform_chain(m, 3.0, 1.5));
    const std::vector<double> want = chain_eigenvalues(m, 3.0, 1.5);
    const std::vector<double> got = sorted(s.lambda);
    for (std::size_t k = 0; k < want.size(); ++k) EXPECT_NEAR(got[k], want[k], 1.0e-14) << m << " nodes, mode " << k;
  }
}

TEST(Eigen, TenEqualBlocksGiveTenfoldEigenvalues) {
  // Ten five-node chains, their nodes shuffled so that the blocks do not
  // show in the matrix and the reduction to tridiagonal form has work to do.
  constexpr int kBlock = 5, kBlocks = 10, m = kBlock * kBlocks;
  std::vector<int> order(m);
  std::iota(order.begin(), order.end(), 0);
  std::shuffle(order.begin(), order.end(), std::mt19937(7));
  const Problem block = uniform_chain(kBlock, 2.0, 0.7);
  Problem p;
  p.m = m;
  p.k.assign(static_cast<std::size_t>(m * m), 0.0);
  p.c.assign(static_cast<std::size_t>(m), 2.0);
  for (int b = 0; b < kBlocks; ++b)
    for (int i = 0; i < kBlock; ++i)
      for (int j = 0; j < kBlock; ++j) p.at(order[b * kBlock + i], order[b * kBlock + j]) = block.at(i, j);
  const Solution s = solve(p);
  const Residuals r = residuals(p, s);
  EXPECT_LT(r.eigen, 1.0e-14);
  EXPECT_LT(r.orthonormal, 1.0e-12);
  const std::vector<double> got = sorted(s.lambda);
  const std::vector<double> want = chain_eigenvalues(kBlock, 2.0, 0.7);
  for (int k = 0; k < m; ++k) EXPECT_NEAR(got[static_cast<std::size_t>(k)], want[static_cast<std::size_t>(k / kBlocks)], 1.0e-14);
}

TEST(Eigen, StiffPairKeepsBothModes) {
  // 1.0E-3 J/K joined by 1 W/K to 1.0E3 J/K, the small one also by
  // 1.0E-3 W/K to a boundary.
  Problem p;
  p.m = 2;
  const double k11 = 1.0 + 1.0e-3;
  p.k = {k11, -1.0, -1.0, 1.0};
  p.c = {1.0e-3, 1.0e3};
  // det(K - lambda C) = 0 with C1 C2 = 1: lambda^2 - b lambda + det K = 0,
  // the slow root from the product of the roots (no cancellation).
  const long double b = static_cast<long double>(k11) * 1.0e3L + 1.0e-3L;
  const long double det = static_cast<long double>(k11) - 1.0L;
  const long double fast = (b + std::sqrt(b * b - 4.0L * det)) / 2.0L;
  const long double slow = det / fast;
  ASSERT_NEAR(static_cast<double>(slow), 9.99e-7, 1.0e-9);
  const Solution s = solve(p);
  const std::vector<double> got = sorted(s.lambda);
  EXPECT_NEAR(got[0], static_cast<double>(slow), 1.0e-10 * static_cast<double>(slow));
  EXPECT_NEAR(got[1], static_cast<double>(fast), 1.0e-10 * static_cast<double>(fast));
  // Each vector solves its own equation to the same relative accuracy: row 2
  // of (K - lambda C) phi = 0 fixes phi_2 / phi_1 = 1 / (1 - 1.0E3 lambda).
  for (int k = 0; k < 2; ++k) {
    const long double lambda = s.lambda[static_cast<std::size_t>(k)];
    const long double ratio = 1.0L / (1.0L - 1.0e3L * lambda);
    const double want = static_cast<double>(ratio);
    EXPECT_NEAR(s.phi(2, 1, k) / s.phi(2, 0, k), want, 1.0e-10 * std::abs(want)) << "mode " << k;
  }
  const Residuals r = residuals(p, s);
  EXPECT_LT(r.orthonormal, 1.0e-12);
}

TEST(Eigen, ZeroDiagonalTakesAQuarterTurn) {
  Problem p;
  p.m = 2;
  p.k = {0.0, 1.0, 1.0, 0.0};
  p.c = {1.0, 1.0};
  const Solution s = solve(p);
  const std::vector<double> got = sorted(s.lambda);
  EXPECT_NEAR(got[0], -1.0, 1.0e-15);
  EXPECT_NEAR(got[1], 1.0, 1.0e-15);
  EXPECT_LT(residuals(p, s).eigen, 1.0e-15);
}

TEST(Eigen, FailuresEndTheRunWithTheirTexts) {
  struct Case {
    const char* text;
    const char* routine;
    std::function<void()> body;
  };
  const std::vector<Case> cases{
      {"SLMODE: Invalid dimension of conductivity matrix", "LEIGEN",
       [] {
         std::vector<double> a(1), v(1), c(1, 1.0);
         std::int32_t ierr = 0;
         LEIGEN(c, 0, a, v, ierr);
       }},
      {"SLMODE: Failed in Eigen value solution", "LDIAGN",
       [] {
         Problem p = uniform_chain(3, 1.0, 1.0);
         std::vector<double> v(9, 0.0);
         std::int32_t ierr = 0;
         LDIAGN(0, kalvir::thermal::kNegligible, p.k, 3, v, ierr);
       }},
  };
  for (const Case& c : cases) {
    build_network(NetworkSpec{});
    std::vector<Message> msgs;
    EXPECT_EQ(run_capturing(c.body, msgs), 1) << c.routine;
    ASSERT_EQ(msgs.size(), 1U) << c.routine;
    EXPECT_EQ(msgs[0].text, printed(c.text));
    EXPECT_EQ(msgs[0].routine, c.routine);
    EXPECT_EQ(msgs[0].severity, "FATAL ERROR");
  }
}

// The two stages on their own: LTRIDG leaves a tridiagonal T with
// V T V^T = A, LDIAGN then a diagonal D with V D V^T = A.
TEST(Eigen, StagesReduceAndDiagonaliseWithTheFactorsInV) {
  const Problem p = random_network(30, 11);
  const int m = p.m;
  std::vector<double> a = p.k, v(static_cast<std::size_t>(m * m), 0.0);
  for (int i = 0; i < m; ++i) v[static_cast<std::size_t>(i * m + i)] = 1.0;
  double knorm = 0.0;
  for (double x : p.k) knorm = std::max(knorm, std::abs(x));
  auto at = [&](const std::vector<double>& x, int i, int j) { return x[static_cast<std::size_t>(j * m + i)]; };
  // Largest |(V X V^T)(i, j) - K(i, j)| relative to the largest |K(i, j)|.
  auto reproduces = [&](const std::vector<double>& x) {
    double worst = 0.0;
    for (int i = 0; i < m; ++i)
      for (int j = 0; j < m; ++j) {
        double sum = 0.0;
        for (int r = 0; r < m; ++r)
          for (int c = 0; c < m; ++c) sum += at(v, i, r) * at(x, r, c) * at(v, j, c);
        worst = std::max(worst, std::abs(sum - p.at(i, j)) / knorm);
      }
    return worst;
  };
  std::int32_t ierr = -1;
  LTRIDG(a, m, v, ierr);
  EXPECT_EQ(ierr, 0);
  for (int i = 0; i < m; ++i)
    for (int j = 0; j < m; ++j) {
      if (std::abs(i - j) > 1) {
        EXPECT_EQ(at(a, i, j), 0.0) << i << " " << j;
      }
    }
  EXPECT_LT(reproduces(a), 1.0e-13);
  LDIAGN(kalvir::thermal::kSweepsPerEigenvalue, kalvir::thermal::kNegligible, a, m, v, ierr);
  EXPECT_EQ(ierr, 0);
  for (int i = 0; i + 1 < m; ++i) EXPECT_EQ(at(a, i + 1, i), 0.0) << i;
  EXPECT_LT(reproduces(a), 1.0e-13);
}

TEST(Eigen, LargestDifference) {
  const std::vector<double> x{1.0, 5.0, -2.0}, y{1.5, 5.0, 1.0};
  double d = -1.0;
  SRCOMP(x, y, 3, d);
  EXPECT_DOUBLE_EQ(d, 3.0);
  SRCOMP(x, y, 0, d);  // the first element is compared even so
  EXPECT_DOUBLE_EQ(d, 0.5);
  const std::vector<double> z{1.0, std::nan(""), 0.0};
  SRCOMP(x, z, 3, d);
  EXPECT_TRUE(std::isnan(d));
}

}  // namespace eigen_test
}  // namespace kalvir::test
