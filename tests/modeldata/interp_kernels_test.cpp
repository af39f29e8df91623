// Interpolation kernels: Lagrange windows and sums checked against exact
// polynomial values, table headers decoded by hand, tables of one and two
// variables against values worked out by hand.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "runtime/control/status.h"
#include "runtime/modeldata/interp_kernels.h"
#include "runtime/platform/process.h"
#include "tests/support/model_fixture.h"

namespace interp_kernels_test {

using kalvir::test::capture_messages;
using kalvir::test::Message;

// A double carrying the undefined marker in its first 32-bit word.
double undefined_real(std::uint32_t other_word = 0) {
  const std::array<std::uint32_t, 2> words{2147483647U, other_word};
  double x;
  std::memcpy(&x, words.data(), sizeof x);
  return x;
}

std::vector<double> doublets(const std::vector<double>& xs, const std::function<double(double)>& f) {
  std::vector<double> out;
  for (const double x : xs) {
    out.push_back(x);
    out.push_back(f(x));
  }
  return out;
}

struct Window {
  std::int32_t start, size, status;
};

Window window1(const std::vector<double>& axis, std::int32_t order, double x) {
  Window w{};
  LSPNT1(axis, static_cast<std::int32_t>(axis.size()), order, x, w.start, w.size, w.status);
  return w;
}

Window window2(const std::vector<double>& points, std::int32_t order, double x) {
  Window w{};
  LSPNT2(points, static_cast<std::int32_t>(points.size() / 2), order, x, w.start, w.size, w.status);
  return w;
}

TEST(InterpWindow, TheAbscissaTestIsTheUndefinedValueTest) {
  for (const std::uint32_t other : {0U, 1U, 0x7FF80000U, 0xFFFFFFFFU}) {
    EXPECT_TRUE(kalvir::detail::undefined_abscissa(undefined_real(other)));
    EXPECT_EQ(kalvir::detail::undefined_abscissa(undefined_real(other)), SDUNDF(undefined_real(other)));
  }
  for (const double x : {0.0, -1.0, 1.0e300, 2147483647.0}) {
    EXPECT_FALSE(kalvir::detail::undefined_abscissa(x));
    EXPECT_EQ(kalvir::detail::undefined_abscissa(x), SDUNDF(x));
  }
}

TEST(InterpWindow, OddAndEvenWindowsSitAroundTheInterval) {
  const std::vector<double> axis{0, 10, 20, 30, 40};
  const std::vector<double> points = doublets(axis, [](double x) { return x; });
  struct Case {
    std::int32_t order;
    double x;
    Window expected;
  };
  const Case cases[] = {
      {2, 12, {1, 3, 0}},   // 30 lies farther above 12 than 0 below it
      {2, 18, {2, 3, 0}},
      {2, 15, {1, 3, 0}},   // a tie takes the lower window
      {3, 12, {1, 4, 0}},
      {3, 35, {2, 4, 0}},
      {2, 38, {3, 3, 0}},
      {0, 15, {2, 1, 0}},
      {0, 40, {4, 1, 0}},   // the last abscissa lies in the interval of points 4 and 5
      {2, -1, {1, 1, 2}},   // below the data: the first point alone
      {2, 41, {5, 1, 2}},   // above: the last point alone
      {-1, 15, {2, 1, 1}},  // a negative order takes one point
      {4, 15, {1, 5, 0}},
      {7, 15, {1, 5, 1}},   // more points asked for than there are
  };
  for (const Case& c : cases) {
    for (const Window w : {window1(axis, c.order, c.x), window2(points, c.order, c.x)}) {
      EXPECT_EQ(w.start, c.expected.start) << c.order << " " << c.x;
      EXPECT_EQ(w.size, c.expected.size) << c.order << " " << c.x;
      EXPECT_EQ(w.status, c.expected.status) << c.order << " " << c.x;
    }
  }
}

TEST(InterpWindow, AtMostTenPointsTakePart) {
  std::vector<double> axis;
  for (int i = 0; i < 15; ++i) axis.push_back(i);
  const Window w = window1(axis, 20, 7.5);
  EXPECT_EQ(w.size, 10);
  EXPECT_EQ(w.status, 1);
  EXPECT_EQ(w.start, 4);  // points 4 .. 13, abscissae 3 .. 12 around 7.5
}

TEST(InterpWindow, UndefinedAbscissaeEndTheData) {
  EXPECT_EQ(window1({undefined_real(), 1, 2}, 1, 1.5).status, 10);
  // Two spare points at the end: the window stays among the four defined ones.
  const std::vector<double> axis{0, 1, 2, 3, undefined_real(0x7FFFFFFF), undefined_real()};
  const Window inside = window1(axis, 3, 2.9);
  EXPECT_EQ(inside.start, 1);
  EXPECT_EQ(inside.size, 4);
  EXPECT_EQ(inside.status, 0);
  const Window above = window1(axis, 3, 3.5);
  EXPECT_EQ(above.start, 4);
  EXPECT_EQ(above.size, 1);
  EXPECT_EQ(above.status, 2);
  const Window only_three = window1({0, 1, 2, undefined_real()}, 5, 0.5);
  EXPECT_EQ(only_three.size, 3);
  EXPECT_EQ(only_three.status, 1);
}

TEST(InterpLagrange, PolynomialsOfTheWindowDegreeAreReproduced) {
  const auto cubic = [](double x) { return 0.5 * x * x * x - 2 * x * x + x - 7; };
  const std::vector<double> xs{-3, -1, 0, 2, 5};
  const std::vector<double> points = doublets(xs, cubic);
  for (const double x : {-2.5, -0.5, 1.25, 3.0, 4.75}) {
    Window w = window2(points, 3, x);
    ASSERT_EQ(w.status, 0);
    double r = 0;
    std::int32_t status = 9;
    LSLGN2(std::span<const double>(points).subspan(2 * static_cast<std::size_t>(w.start - 1)), w.size,
           x, r, status);
    EXPECT_EQ(status, 0);
    EXPECT_NEAR(r, cubic(x), 1e-12) << x;

    // The same through the axis form.
    std::vector<double> ys;
    for (const double v : xs) ys.push_back(cubic(v));
    w = window1(xs, 3, x);
    LSLGN1(std::span<const double>(ys).subspan(static_cast<std::size_t>(w.start - 1)),
           std::span<const double>(xs).subspan(static_cast<std::size_t>(w.start - 1)), w.size, x, r,
           status);
    EXPECT_EQ(status, 0);
    EXPECT_NEAR(r, cubic(x), 1e-12) << x;
  }

  // Degree 9 through ten points, even when a higher order is asked for.
  const auto p9 = [](double x) {
    double v = 0;
    for (int k = 9; k >= 0; --k) v = v * x + (k % 3 - 1) * 0.25;
    return v;
  };
  std::vector<double> axis;
  std::vector<double> ys;
  for (int i = 0; i < 12; ++i) {
    axis.push_back(0.5 * i);
    ys.push_back(p9(0.5 * i));
  }
  for (const double x : {0.3, 2.6, 5.2}) {
    const Window w = window1(axis, 15, x);
    EXPECT_EQ(w.size, 10);
    double r = 0;
    std::int32_t status = 9;
    LSLGN1(std::span<const double>(ys).subspan(static_cast<std::size_t>(w.start - 1)),
           std::span<const double>(axis).subspan(static_cast<std::size_t>(w.start - 1)), w.size, x,
           r, status);
    EXPECT_NEAR(r, p9(x), 1e-9 * (1 + std::abs(p9(x)))) << x;
  }
}

TEST(InterpLagrange, CoincidentAbscissaeSkipTheFactorOrStopTheSum) {
  // Abscissae 0, 10, 10 at x = 5. The first term's weight is 0.25; the
  // doublet form leaves the dividing factor out of the other two (weights
  // 0.5 each): 2.5 + 10 + 20. The table form stops at the second term.
  const std::vector<double> points{0, 10, 10, 20, 10, 40};
  double r = 99;
  std::int32_t status = 0;
  LSLGN2(points, 3, 5, r, status);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(r, 32.5);
  const std::vector<double> axis{0, 10, 10};
  const std::vector<double> values{10, 20, 40};
  r = 99;
  LSLGN1(values, axis, 3, 5, r, status);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(r, 2.5);
  // Coincident first pair: nothing completed before the stop.
  const std::vector<double> first_pair{10, 10, 20};
  LSLGN1(values, first_pair, 3, 5, r, status);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(r, 0.0);
  // One point gives its ordinate, none gives 0.
  LSLGN1(values, axis, 1, 15, r, status);
  EXPECT_EQ(r, 10.0);
  LSLGN1(values, axis, 0, 15, r, status);
  EXPECT_EQ(r, 0.0);
  EXPECT_EQ(status, 0);
}

// Table headers, written as the model file lays them out.
//   one variable:  T = [0, 1, 2, n, axis, values]            (a1 = 1 + 2 + 1)
//   two variables: T = [0, 1, 2, 2, P1, axis1, ...]           (a1 = 2 + 2 + 1)
//     regular:     ... -P2, common axis, values (line after line)
//     irregular:   ... per line d: P2(d), axis(d), values(d)
struct Table {
  std::vector<std::int32_t> t;
  std::vector<double> r;
  std::int32_t n;  // independent variables
};

Table one_variable() {
  // Axis 0, 10, 20 at R(1..3); values 10, 20, 40 at R(4..6).
  return {{0, 1, 2, 3, 1, 4}, {0, 10, 20, 10, 20, 40}, 1};
}

double plane(double x1, double x2) { return 100 * x1 + x2; }
double bowl(double x1, double x2) { return 10 * x1 * x1 + 0.125 * x2 * x2; }

Table regular(double (*f)(double, double), bool swapped = false) {
  // Dimension 1: 0, 1, 2 at R(1..3); dimension 2: 0, 10, 20, 30 at R(4..7);
  // values line after line from R(8).
  Table tab{{0, swapped ? 2 : 1, swapped ? 1 : 2, 2, 3, 1, -4, 4, 8}, {0, 1, 2, 0, 10, 20, 30}, 2};
  for (const double x1 : {0.0, 1.0, 2.0})
    for (const double x2 : {0.0, 10.0, 20.0, 30.0}) tab.r.push_back(f(x1, x2));
  return tab;
}

Table irregular() {
  // Line 1 (x1 = 0): axis 0, 10; line 2 (x1 = 1): axis 0, 5, 10, 20;
  // line 3 (x1 = 2): axis 10, 30. Values of plane() at every point.
  Table tab{{0, 1, 2, 2, 3, 1}, {0, 1, 2}, 2};
  const std::vector<std::vector<double>> axes{{0, 10}, {0, 5, 10, 20}, {10, 30}};
  for (std::size_t d = 0; d < axes.size(); ++d) {
    const auto axis_at = static_cast<std::int32_t>(tab.r.size() + 1);
    for (const double x2 : axes[d]) tab.r.push_back(x2);
    const auto values_at = static_cast<std::int32_t>(tab.r.size() + 1);
    for (const double x2 : axes[d]) tab.r.push_back(plane(static_cast<double>(d), x2));
    tab.t.insert(tab.t.end(), {static_cast<std::int32_t>(axes[d].size()), axis_at, values_at});
  }
  return tab;
}

struct Decoded {
  std::int32_t pos = 0, len = 0, status = 0;
};

Decoded ladtab(const Table& tab, std::vector<std::int32_t> fixed, std::int32_t nreal = -1) {
  Decoded d;
  LADTAB(tab.t, tab.n, fixed, static_cast<std::int32_t>(tab.t.size()),
         nreal < 0 ? static_cast<std::int32_t>(tab.r.size()) : nreal, d.pos, d.len, d.status);
  return d;
}

TEST(InterpTables, HeadersDecodeToAxesAndValues) {
  const Table one = one_variable();
  Decoded d = ladtab(one, {0});
  EXPECT_EQ(d.pos, 1);
  EXPECT_EQ(d.len, 3);
  d = ladtab(one, {1});
  EXPECT_EQ(d.pos, 4);
  EXPECT_EQ(d.len, 3);

  const Table reg = regular(plane);
  d = ladtab(reg, {0, 0});  // dimension 1's axis
  EXPECT_EQ(d.pos, 1);
  EXPECT_EQ(d.len, 3);
  d = ladtab(reg, {2, 0});  // the common axis of dimension 2
  EXPECT_EQ(d.pos, 4);
  EXPECT_EQ(d.len, 4);
  d = ladtab(reg, {2, 1});  // line 2's values: the shared start + 4
  EXPECT_EQ(d.pos, 8 + 4);
  EXPECT_EQ(d.len, 4);
  d = ladtab(reg, {3, 2});
  EXPECT_EQ(d.pos, 8 + 8 + 1);
  EXPECT_EQ(d.len, 3);

  const Table irr = irregular();
  d = ladtab(irr, {2, 0});
  EXPECT_EQ(d.pos, 8);  // after dimension 1 (3) and line 1 (2 + 2)
  EXPECT_EQ(d.len, 4);
  d = ladtab(irr, {2, 1});
  EXPECT_EQ(d.pos, 12);
  EXPECT_EQ(d.len, 4);
}

TEST(InterpTables, EarlierDimensionsLeadToTheirSlices) {
  // Three variables (a1 = 3 + 2 + 1): dimension 1 has 2 points, and each of
  // its points names the slice that holds the last two dimensions, at
  // N + T(a1 + d + 1) + 1. Slice 2 is a regular 2 x 3 grid.
  Table three{{0, 1, 2, 3, 2, 2, 1, 6, 12, 0, 0, 0, 0, 0, 0, 2, 3, -3, 6, 9}, {}, 3};
  three.r.assign(20, 0.0);
  Decoded d = ladtab(three, {2, 2, 1});
  EXPECT_EQ(d.status, 0);
  EXPECT_EQ(d.pos, 9 + 3);  // the slice's values, its second line
  EXPECT_EQ(d.len, 3);
  d = ladtab(three, {2, 1, 0});
  EXPECT_EQ(d.pos, 6);  // the slice's common axis
  EXPECT_EQ(d.len, 3);
  const auto msgs = capture_messages([&] { d = ladtab(three, {3, 1, 1}); });
  EXPECT_EQ(d.status, 309);
  ASSERT_EQ(msgs.size(), 1U);
  EXPECT_EQ(msgs[0].text, "Impossible value");
}

TEST(InterpTables, IndicesOutOfOrderOrRangeAreFailures) {
  const Table reg = regular(plane);
  Decoded d;
  auto msgs = capture_messages([&] { d = ladtab(reg, {0, 1}); });
  EXPECT_EQ(d.status, 308);
  ASSERT_EQ(msgs.size(), 1U);
  EXPECT_EQ(msgs[0].text, "Table parameters out of order");
  EXPECT_EQ(msgs[0].severity, "FAILURE");
  EXPECT_EQ(msgs[0].code, 1);

  msgs = capture_messages([&] { d = ladtab(reg, {4, 0}); });
  EXPECT_EQ(d.status, 309);
  ASSERT_EQ(msgs.size(), 1U);
  EXPECT_EQ(msgs[0].text, "Impossible value");
  EXPECT_EQ(msgs[0].routine, "LADTAB");
  EXPECT_EQ(msgs[0].code, 3);

  // LSINT1 turns it into a fatal fetch failure.
  int exit_status = 0;
  double r = 0;
  std::int32_t status = 0;
  msgs = capture_messages([&] {
    exit_status = kalvir::platform::run_program(
        [&] { LSINT1(reg.r, reg.t, 2, 1, 4, 9, static_cast<std::int32_t>(reg.r.size()), 5, r, status); });
  });
  EXPECT_EQ(exit_status, 1);
  ASSERT_EQ(msgs.size(), 2U);
  EXPECT_EQ(msgs[1].text, "Failed in FETCH routine");
  EXPECT_EQ(msgs[1].severity, "FATAL ERROR");
  EXPECT_EQ(msgs[1].routine, "LSINT1");
}

TEST(InterpTables, MalformedHeadersEndTheRun) {
  struct Case {
    const char* what;
    Table tab;
    std::vector<std::int32_t> fixed;
    std::int32_t nreal;
    int ref;
  };
  Table sum = regular(plane);
  sum.t[2] = 1;  // argument order 1, 1
  Table not_permutation = regular(plane);
  not_permutation.t[1] = 0;
  not_permutation.t[2] = 3;  // sums to 3 but is no permutation
  Table zero_lines = regular(plane);
  zero_lines.t[6] = 0;  // T(a1 + 2) = 0
  Table zero_points = one_variable();
  zero_points.t[3] = 0;
  Table beyond_header = one_variable();
  beyond_header.t[2] = 9;  // a1 far past the header
  Table values_outside = one_variable();
  values_outside.t[5] = 5;  // values 5 .. 7 of six reals
  const Case cases[] = {
      {"argument order sum", sum, {0, 0}, -1, 7},
      {"argument order not a permutation", not_permutation, {0, 0}, -1, 7},
      {"zero in the first descriptor of dimension 2", zero_lines, {1, 0}, -1, 5},
      {"zero points", zero_points, {0}, -1, 2},
      {"descriptor beyond the header", beyond_header, {0}, -1, 6},
      {"no reals", one_variable(), {0}, 0, 6},
      {"values run past the reals", values_outside, {1}, -1, 8},
      {"axis runs past the reals", one_variable(), {0}, 2, 8},
  };
  for (const Case& c : cases) {
    int exit_status = 0;
    const auto msgs = capture_messages(
        [&] { exit_status = kalvir::platform::run_program([&] { ladtab(c.tab, c.fixed, c.nreal); }); });
    EXPECT_EQ(exit_status, 1) << c.what;
    ASSERT_EQ(msgs.size(), 1U) << c.what;
    EXPECT_EQ(msgs[0].text, "Wrong entry in table") << c.what;
    EXPECT_EQ(msgs[0].severity, "FATAL ERROR") << c.what;
    EXPECT_EQ(msgs[0].code, c.ref) << c.what;
  }
  // The values may end on the very last real.
  EXPECT_EQ(ladtab(one_variable(), {1}, 6).status, 0);
}

double lsint1(const Table& tab, std::int32_t order, std::int32_t line, double x,
              std::int32_t* status = nullptr) {
  double r = -1;
  std::int32_t s = -1;
  LSINT1(tab.r, tab.t, tab.n, order, line, static_cast<std::int32_t>(tab.t.size()),
         static_cast<std::int32_t>(tab.r.size()), x, r, s);
  if (status != nullptr) *status = s;
  return r;
}

double lsint2(const Table& tab, std::int32_t order, double x1, double x2, std::int32_t* status = nullptr) {
  double r = -1;
  std::int32_t s = -1;
  LSINT2(tab.r, tab.t, tab.n, order, static_cast<std::int32_t>(tab.t.size()),
         static_cast<std::int32_t>(tab.r.size()), x1, x2, r, s);
  if (status != nullptr) *status = s;
  return r;
}

TEST(InterpTables, OneVariableTablesInterpolateLikeCurves) {
  const Table one = one_variable();
  std::int32_t status = -1;
  EXPECT_EQ(lsint1(one, 1, 0, 15, &status), 30.0);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(lsint1(one, 2, 0, 15), 28.75);
  EXPECT_EQ(lsint1(one, 0, 0, 15), 20.0);

  double r = 0;
  auto msgs = capture_messages([&] { r = lsint1(one, 1, 0, 25); });
  EXPECT_EQ(r, 40.0);
  ASSERT_EQ(msgs.size(), 1U);
  EXPECT_EQ(msgs[0].text, "Value out of range of data");
  EXPECT_EQ(msgs[0].severity, "WARNING");
  EXPECT_EQ(msgs[0].routine, "LSINT1");
  EXPECT_EQ(msgs[0].code, 4);

  msgs = capture_messages([&] { r = lsint1(one, 5, 0, 15); });
  EXPECT_EQ(r, 28.75);
  ASSERT_EQ(msgs.size(), 1U);
  EXPECT_EQ(msgs[0].text, "Bad order for interpolation");
  EXPECT_EQ(msgs[0].code, 3);

  // A step in the axis (0, 10, 10): the sum stops at the second term and
  // the table keeps the first one's 10 x 0.25.
  Table twice = one;
  twice.r[2] = 10;
  msgs = capture_messages([&] { r = lsint1(twice, 2, 0, 5, &status); });
  EXPECT_EQ(r, 2.5);
  EXPECT_EQ(status, 301);
  ASSERT_EQ(msgs.size(), 1U);
  EXPECT_EQ(msgs[0].text, "Division by zero");
  EXPECT_EQ(msgs[0].severity, "FAILURE");
  EXPECT_EQ(msgs[0].code, 6);
}

TEST(InterpTables, TwoVariableTablesAgainstValuesByHand) {
  const Table flat = regular(plane);
  std::int32_t status = -1;
  // Lines 2 and 3 at x2 = 25 give 125 and 225; halfway between them, 175.
  EXPECT_EQ(lsint2(flat, 1, 1.5, 25, &status), 175.0);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(lsint2(flat, 1, 0, 0), 0.0);
  EXPECT_EQ(lsint2(flat, 1, 2, 30), 230.0);

  // Second order along both dimensions reproduces a quadratic exactly.
  const Table quad = regular(bowl);
  for (const auto& [x1, x2] : std::vector<std::pair<double, double>>{{1.5, 25}, {0.25, 3}, {1, 10}}) {
    EXPECT_NEAR(lsint2(quad, 2, x1, x2), bowl(x1, x2), 1e-12) << x1 << " " << x2;
  }

  // Irregular lines: at x1 = 0.5 between line 1 (x2 = 8 -> 8) and line 2
  // (x2 = 8 between 5 and 10 -> 108): 58.
  const Table irr = irregular();
  EXPECT_DOUBLE_EQ(lsint2(irr, 1, 0.5, 8, &status), 58.0);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(lsint2(irr, 1, 1.5, 20), 170.0);  // line 2: 120, line 3: 220

  // Outside dimension 1 the end line holds.
  double r = 0;
  const auto msgs = capture_messages([&] { r = lsint2(flat, 1, 3, 10); });
  EXPECT_EQ(r, 210.0);
  ASSERT_EQ(msgs.size(), 1U);
  EXPECT_EQ(msgs[0].routine, "LSINT2");
  EXPECT_EQ(msgs[0].code, 3);
}

TEST(InterpTables, UndefinedAxisEndsTheRun) {
  Table one = one_variable();
  one.r[0] = undefined_real();
  int exit_status = 0;
  const auto msgs = capture_messages(
      [&] { exit_status = kalvir::platform::run_program([&] { lsint1(one, 1, 0, 5); }); });
  EXPECT_EQ(exit_status, 1);
  ASSERT_EQ(msgs.size(), 1U);
  EXPECT_EQ(msgs[0].text, "Undefined independent variables");
  EXPECT_EQ(msgs[0].code, 5);
}

}  // namespace interp_kernels_test
