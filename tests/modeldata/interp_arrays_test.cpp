// User-array interpolation through the ARRAY info list: curves and tables
// placed by hand in the global arrays, checked against exact values.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/modeldata/array_interp.h"
#include "runtime/platform/process.h"
#include "tests/support/model_fixture.h"

namespace interp_arrays_test {

using kalvir::test::capture_messages;
using kalvir::test::Message;
using Messages = std::vector<Message>;

double undefined_real() {
  const std::array<std::uint32_t, 2> words{2147483647U, 0x7FF80000U};
  double x;
  std::memcpy(&x, words.data(), sizeof x);
  return x;
}

// Collects ARRAYs and installs them in the global arrays.
class Arrays {
 public:
  // A real ARRAY of the given dimensions; `spare` more values are set aside
  // and left undefined, as for an array that the run has not filled yet.
  std::int32_t real(std::vector<std::int32_t> dims, std::vector<double> values, std::int32_t spare = 0) {
    const auto start = static_cast<std::int32_t>(reals_.size() + 1);
    reals_.insert(reals_.end(), values.begin(), values.end());
    reals_.insert(reals_.end(), static_cast<std::size_t>(spare), undefined_real());
    return entry(2, static_cast<std::int32_t>(values.size()) + spare, start, dims);
  }
  std::int32_t doublets(std::vector<double> points, std::int32_t spare_points = 0) {
    const auto n = static_cast<std::int32_t>(points.size() / 2);
    return real({2, n}, points, 2 * spare_points);
  }
  std::int32_t integer(std::vector<std::int32_t> dims, std::vector<std::int32_t> values) {
    const auto start = static_cast<std::int32_t>(ints_.size() + 1);
    ints_.insert(ints_.end(), values.begin(), values.end());
    return entry(1, static_cast<std::int32_t>(values.size()), start, dims);
  }
  std::int32_t character() { return entry(3, 1, 1, {1}); }
  std::int32_t table(std::int32_t n, std::vector<std::int32_t> header, std::vector<double> reals) {
    const auto head = static_cast<std::int32_t>(ints_.size() + 1);
    const auto start = static_cast<std::int32_t>(reals_.size() + 1);
    ints_.insert(ints_.end(), header.begin(), header.end());
    reals_.insert(reals_.end(), reals.begin(), reals.end());
    return raw({4, static_cast<std::int32_t>(header.size()), head, static_cast<std::int32_t>(reals.size()),
                start, n});
  }
  // An info entry written as given.
  std::int32_t raw(std::vector<std::int32_t> words) {
    pointers_.push_back(static_cast<std::int32_t>(info_.size() + 1));
    info_.insert(info_.end(), words.begin(), words.end());
    return static_cast<std::int32_t>(pointers_.size());
  }

  void install() const {
    gar_release_all_for_tests();
    GarSizes s{};
    s.ndirrows = 18;
    s.nsub = 1;
    s.ninfolist = static_cast<std::int32_t>(info_.size());
    s.narrays = static_cast<std::int32_t>(pointers_.size());
    s.nintarrayelems = static_cast<std::int32_t>(ints_.size());
    s.nrealarrayelems = static_cast<std::int32_t>(reals_.size());
    s.ncharrayelems = 1;
    gar_Allocate(s);
    FLAGS(18) = s.ninfolist;
    FLAGS(19) = s.narrays;
    FLAGS(20) = s.nrealarrayelems;
    FLAGS(21) = s.nintarrayelems;
    FLAGS(22) = s.ncharrayelems;
    std::copy(info_.begin(), info_.end(), gar_arrayinfolist.begin());
    std::copy(pointers_.begin(), pointers_.end(), gar_arrayinfopointers.begin());
    std::copy(ints_.begin(), ints_.end(), gar_arrayvaluesint.begin());
    std::copy(reals_.begin(), reals_.end(), gar_arrayvaluesreal.begin());
  }

 private:
  std::int32_t entry(std::int32_t form, std::int32_t nval, std::int32_t start,
                     const std::vector<std::int32_t>& dims) {
    std::vector<std::int32_t> words{form, nval, start, static_cast<std::int32_t>(dims.size())};
    words.insert(words.end(), dims.begin(), dims.end());
    return raw(words);
  }

  std::vector<std::int32_t> info_, pointers_, ints_;
  std::vector<double> reals_;
};

class ArrayInterp : public ::testing::Test {
 protected:
  void TearDown() override { gar_release_all_for_tests(); }

  // Runs body in-process as a run would, returning its exit status.
  static int run(const std::function<void()>& body) { return kalvir::platform::run_program(body); }
};

void expect_message(const Messages& msgs, std::size_t i, std::string_view severity, std::string_view text,
                    std::string_view routine, int code) {
  ASSERT_GT(msgs.size(), i);
  EXPECT_EQ(msgs[i].severity, severity);
  EXPECT_EQ(msgs[i].text, text);
  EXPECT_EQ(msgs[i].routine, routine);
  EXPECT_EQ(msgs[i].code, code);
}

TEST_F(ArrayInterp, LinearCurveHoldsItsEndValuesOutsideTheData) {
  Arrays a;
  const auto curve = a.doublets({0, 10, 10, 20, 20, 40});
  a.install();
  double r = 0;
  auto msgs = capture_messages([&] { r = INTRP1(15, curve, 1); });
  EXPECT_EQ(r, 30.0);
  EXPECT_TRUE(msgs.empty());
  msgs = capture_messages([&] { r = INTRP1(0, curve, 1); });
  EXPECT_EQ(r, 10.0);
  EXPECT_TRUE(msgs.empty());
  msgs = capture_messages([&] { r = INTRP1(20, curve, 1); });
  EXPECT_EQ(r, 40.0);
  EXPECT_TRUE(msgs.empty());

  msgs = capture_messages([&] { r = INTRP1(25, curve, 1); });
  EXPECT_EQ(r, 40.0);
  ASSERT_EQ(msgs.size(), 1U);
  expect_message(msgs, 0, "WARNING", "Value out of range of data", "LS1INT", 3);
  msgs = capture_messages([&] { r = INTRP1(-1, curve, 1); });
  EXPECT_EQ(r, 10.0);
  ASSERT_EQ(msgs.size(), 1U);
  expect_message(msgs, 0, "WARNING", "Value out of range of data", "LS1INT", 1);

  // The conductance function reads the curve at the mean temperature.
  EXPECT_EQ(CNDFN1(10, 20, curve, 1), INTRP1(15, curve, 1));
  EXPECT_EQ(CNDFN1(2.5, 7.5, curve, 1), 15.0);
}

TEST_F(ArrayInterp, LinearDataIsReproducedExactly) {
  // y = 3x - 1 at abscissae whose differences are exact binary fractions.
  const auto line = [](double x) { return 3 * x - 1; };
  std::vector<double> points;
  for (const double x : {-2.0, -0.5, 0.25, 1.0, 2.75, 8.0}) {
    points.push_back(x);
    points.push_back(line(x));
  }
  Arrays a;
  const auto curve = a.doublets(points);
  a.install();
  for (const double x : {-1.75, -0.5, 0.0, 0.625, 1.5, 7.25}) {
    EXPECT_EQ(INTRP1(x, curve, 1), line(x)) << x;
    EXPECT_NEAR(INTRP1(x, curve, 2), line(x), 1e-12) << x;
  }
}

// The linear lookup takes the interval of the first point, from the second
// on, whose abscissa is not below x, whether or not the abscissae ascend; an
// undefined abscissa ends the data; a spacing below 1.0E-37 gives the
// ordinate of the lower point.
TEST_F(ArrayInterp, LinearLookupTakesTheFirstAbscissaNotBelowX) {
  Arrays a;
  const auto unsorted = a.doublets({0, 0, 10, 10, 5, 50, 20, 20});
  const auto tiny = a.doublets({0, 10, 1e-40, 20, 1, 30});
  const auto cut = a.doublets({0, 10, 10, 20, undefined_real(), 0, 30, 40});
  a.install();
  const struct {
    const char* what;
    std::int32_t array;
    double x;
    double value;
    int warning;  // reference of "Value out of range of data", 0 for none
  } cases[] = {{"unsorted, second point", unsorted, 7, 7, 0},
               {"unsorted, past the lower third point", unsorted, 12, 36, 0},
               {"spacing below the limit", tiny, 5e-41, 10, 0},
               {"beside the close pair", tiny, 0.5, 25, 0},
               {"before the undefined abscissa", cut, 5, 15, 0},
               {"beyond the undefined abscissa", cut, 25, 20, 3}};
  for (const auto& c : cases) {
    double r = -1;
    const auto msgs = capture_messages([&] { r = INTRP1(c.x, c.array, 1); });
    EXPECT_EQ(r, c.value) << c.what;
    if (c.warning == 0) {
      EXPECT_TRUE(msgs.empty()) << c.what;
    } else {
      ASSERT_EQ(msgs.size(), 1U) << c.what;
      expect_message(msgs, 0, "WARNING", "Value out of range of data", "LS1INT", c.warning);
    }
  }

  // ARRAYs beyond the count of FLAGS 19 do not exist, whatever the info list holds.
  FLAGS(19) = cut - 1;
  int status = 0;
  const auto msgs = capture_messages([&] { status = run([&] { INTRP1(5, cut, 1); }); });
  EXPECT_EQ(status, 1);
  ASSERT_EQ(msgs.size(), 1U);
  expect_message(msgs, 0, "FATAL ERROR", "Invalid array", "APARS", 1);
}

TEST_F(ArrayInterp, HigherOrdersUseTheLagrangeWindow) {
  Arrays a;
  const auto curve = a.doublets({0, 10, 10, 20, 20, 40});
  const auto twice = a.doublets({0, 10, 10, 20, 10, 40});
  const auto cubic_curve = a.doublets({-2, -8, -1, -1, 0, 0, 1, 1, 2, 8, 3, 27});
  a.install();
  double r = 0;
  auto msgs = capture_messages([&] { r = INTRP1(15, curve, 2); });
  EXPECT_EQ(r, 28.75);
  EXPECT_TRUE(msgs.empty());
  msgs = capture_messages([&] { r = INTRP1(15, curve, 5); });
  EXPECT_EQ(r, 28.75);
  ASSERT_EQ(msgs.size(), 1U);
  expect_message(msgs, 0, "WARNING", "Bad order for interpolation", "INTRP1", 4);

  // Order 0: a step, the interval of the bisection.
  EXPECT_EQ(INTRP1(15, curve, 0), 20.0);
  EXPECT_EQ(INTRP1(20, curve, 0), 20.0);
  EXPECT_EQ(INTRP1(5, curve, 0), 10.0);

  msgs = capture_messages([&] { r = INTRP1(30, curve, 2); });
  EXPECT_EQ(r, 40.0);
  expect_message(msgs, 0, "WARNING", "Value out of range of data", "INTRP1", 5);

  // x^3 through any four of its points.
  for (const double x : {-1.5, 0.5, 2.5}) EXPECT_NEAR(INTRP1(x, cubic_curve, 3), x * x * x, 1e-12) << x;

  // A step at 10: the factor between the coincident points is left out,
  // so the curve still has a value (not the 0 a conductance would die of).
  msgs = capture_messages([&] { r = INTRP1(5, twice, 2); });
  EXPECT_EQ(r, 32.5);
  expect_message(msgs, 0, "FAILURE", "Division by zero", "INTRP1", 6);
}

TEST_F(ArrayInterp, SpareUndefinedPointsAreNeverInterpolated) {
  Arrays a;
  // Three points defined, two set aside and undefined.
  const auto curve = a.doublets({0, 10, 10, 20, 20, 40}, 2);
  a.install();
  double r = 0;
  auto msgs = capture_messages([&] { r = INTRP1(25, curve, 1); });
  EXPECT_EQ(r, 40.0);
  expect_message(msgs, 0, "WARNING", "Value out of range of data", "LS1INT", 3);
  // The quadratic window stays on the three defined points.
  EXPECT_EQ(INTRP1(15, curve, 2), 28.75);
  msgs = capture_messages([&] { r = INTRP1(19, curve, 3); });
  EXPECT_EQ(r, INTRP1(19, curve, 2));
  expect_message(msgs, 0, "WARNING", "Bad order for interpolation", "INTRP1", 4);
  msgs = capture_messages([&] { r = INTRP1(25, curve, 2); });
  EXPECT_EQ(r, 40.0);
  expect_message(msgs, 0, "WARNING", "Value out of range of data", "INTRP1", 5);
}

TEST_F(ArrayInterp, CyclicInterpolationWrapsIntoOnePeriod) {
  Arrays a;
  const auto day = a.doublets({0, 0, 24, 24});
  // Declared as two points; the value store holds a third one.
  const auto longer = a.real({2, 2}, {0, 10, 10, 20, 20, 40});
  a.install();
  EXPECT_EQ(INTCY1(-1, day, 1, 24, 0), 23.0);
  EXPECT_EQ(INTCY1(49, day, 1, 24, 0), 1.0);
  EXPECT_EQ(INTCY1(0, day, 1, 24, 25), 1.0);
  EXPECT_EQ(INTCY1(-25, day, 1, 24, 0), 23.0);
  EXPECT_EQ(INTCY1(12, day, 0, 24, 0), 0.0);

  EXPECT_EQ(INTRP1(15, longer, 1), 30.0);  // every point of the store
  double r = 0;
  const auto msgs = capture_messages([&] { r = INTCY1(15, longer, 1, 100, 0); });
  EXPECT_EQ(r, 20.0);  // the declared points only
  expect_message(msgs, 0, "WARNING", "Value out of range of data", "LS1INT", 3);

  for (const double period : {0.0, -24.0, std::nan("")}) {
    const auto bad = capture_messages([&] { r = INTCY1(5, day, 1, period, 0); });
    EXPECT_EQ(r, 0.0);
    expect_message(bad, 0, "FAILURE", "Bad period for cyclic interpolation", "INTCY1", 10);
  }
}

TEST_F(ArrayInterp, ShapesThatAreNoCurveAreRefused) {
  Arrays a;
  const auto flat = a.real({6}, {0, 10, 10, 20, 20, 40});
  const auto wide = a.real({3, 2}, {0, 10, 10, 20, 20, 40});
  const auto ints = a.integer({2, 2}, {0, 1, 2, 3});
  const auto chars = a.character();
  const auto events = a.raw({5, 1, 1, 1, 1});
  a.install();
  const struct {
    std::int32_t array;
    const char* text;
    int code;
  } cases[] = {{flat, "Wrong number of dimensions", 2},
               {wide, "Wrong dimensions", 3},
               {ints, "Wrong arithmetic type", 8},
               {chars, "Wrong arithmetic type", 8},
               {events, "Wrong arithmetic type", 8}};
  for (const auto& c : cases) {
    double r = -1;
    const auto msgs = capture_messages([&] { r = INTRP1(1, c.array, 1); });
    EXPECT_EQ(r, 0.0) << c.text;
    ASSERT_EQ(msgs.size(), 1U) << c.text;
    expect_message(msgs, 0, "FAILURE", c.text, "INTRP1", c.code);
  }
}

TEST_F(ArrayInterp, DecodingGivesTheEntryWordsByForm) {
  Arrays a;
  const auto curve = a.real({2, 3}, {0, 10, 10, 20, 20, 40}, 4);
  const auto tab = a.table(1, {0, 1, 2, 3, 1, 4}, {0, 10, 20, 10, 20, 40});
  a.install();
  std::array<std::int32_t, 7> dims{};
  std::int32_t head = -1, start = -1, ndim = -1, nval = -1, nelem = -1, form = -1, ierr = -1;
  APARS(curve, head, start, ndim, dims, nval, nelem, form, ierr);
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(form, 2);
  EXPECT_EQ(head, 0);
  EXPECT_EQ(start, 1);
  EXPECT_EQ(ndim, 2);
  EXPECT_EQ(dims[0], 2);
  EXPECT_EQ(dims[1], 3);
  EXPECT_EQ(nval, 10);
  EXPECT_EQ(nelem, 6);

  APARS(tab, head, start, ndim, dims, nval, nelem, form, ierr);
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(form, 4);
  EXPECT_EQ(head, 1);
  EXPECT_EQ(start, 11);
  EXPECT_EQ(ndim, 1);
  EXPECT_EQ(nval, 6);
  EXPECT_EQ(nelem, 6);

  // A caller with room for fewer dimensions gets those it has room for.
  std::array<std::int32_t, 1> one{};
  APARS(curve, head, start, ndim, one, nval, nelem, form, ierr);
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(one[0], 2);
  EXPECT_EQ(nelem, 6);
}

TEST_F(ArrayInterp, BadArrayNumbersAndSizesEndTheRun) {
  Arrays a;
  a.doublets({0, 10, 10, 20});
  const auto too_many = a.raw({2, 4, 1, 2, 2, 3});           // 6 elements, 4 values
  const auto zero_dim = a.raw({2, 4, 1, 2, 0, 3});           // an extent of 0
  const auto negative = a.raw({2, 6, 1, 2, -2, -3});         // extents whose product looks right
  const auto off_store = a.raw({2, 4, 3, 2, 2, 2});          // values 3 .. 6 of a store of 4
  const auto table_off = a.raw({4, 6, 1, 4, 1, 1});          // header 1 .. 6 of no integers
  const auto short_entry = a.raw({2, 4});                    // runs off the info list
  a.install();
  struct Case {
    std::int32_t array;
    const char* text;
    int code;
  };
  const Case cases[] = {{0, "Invalid array", 1},
                        {short_entry + 1, "Invalid array", 1},
                        {too_many, "Invalid array size", 2},
                        {zero_dim, "Invalid array size", 2},
                        {negative, "Invalid array size", 2},
                        {off_store, "Invalid array size", 2},
                        {table_off, "Invalid array size", 2},
                        {short_entry, "Invalid array", 1}};
  for (const Case& c : cases) {
    int status = 0;
    const auto msgs = capture_messages([&] { status = run([&] { INTRP1(1, c.array, 1); }); });
    EXPECT_EQ(status, 1) << c.array;
    ASSERT_EQ(msgs.size(), 1U) << c.array;
    expect_message(msgs, 0, "FATAL ERROR", c.text, "APARS", c.code);
  }
}

// Header of a table of two variables (a1 = 5): regular, P1 = 3 lines of
// P2 = 4 points; dimension 1's axis at R(1..3), the common axis at R(4..7),
// the values line after line from R(8).
std::vector<std::int32_t> regular_header(bool swapped) {
  return {0, swapped ? 2 : 1, swapped ? 1 : 2, 2, 3, 1, -4, 4, 8};
}

std::vector<double> regular_reals() {
  std::vector<double> r{0, 1, 2, 0, 10, 20, 30};
  for (const double x1 : {0.0, 1.0, 2.0})
    for (const double x2 : {0.0, 10.0, 20.0, 30.0}) r.push_back(100 * x1 + x2);
  return r;
}

TEST_F(ArrayInterp, TablesInterpolateInOneAndTwoVariables) {
  Arrays a;
  const auto one = a.table(1, {0, 1, 2, 3, 1, 4}, {0, 10, 20, 10, 20, 40});
  const auto two = a.table(2, regular_header(false), regular_reals());
  const auto swapped = a.table(2, regular_header(true), regular_reals());
  // Irregular lines: x1 = 0 over x2 = 0, 10; x1 = 1 over 0, 5, 10, 20.
  const auto irregular = a.table(2, {0, 1, 2, 2, 2, 1, 2, 3, 5, 4, 7, 11},
                                 {0, 1, 0, 10, 0, 10, 0, 5, 10, 20, 100, 105, 110, 120});
  const auto curve = a.doublets({0, 10, 10, 20});
  const auto ints = a.integer({2}, {1, 2});
  a.install();

  EXPECT_EQ(INTRP1(15, one, 1), 30.0);
  EXPECT_EQ(INTRP1(15, one, 2), 28.75);

  EXPECT_EQ(INTRP2(1.5, 25, two, 1), 175.0);
  // Header word 2 = 2: the first argument supplies dimension 2.
  EXPECT_EQ(INTRP2(25, 1.5, swapped, 1), 175.0);
  EXPECT_DOUBLE_EQ(INTRP2(0.5, 8, irregular, 1), 58.0);

  double r = 0;
  auto msgs = capture_messages([&] { r = INTRP2(1.5, 25, two, 5); });
  EXPECT_EQ(r, 175.0);  // held to order 2: exact on a plane
  expect_message(msgs, 0, "WARNING", "Bad order for interpolation", "INTRP2", 2);
  msgs = capture_messages([&] { r = INTRP2(1.5, 25, two, -1); });
  EXPECT_EQ(r, 120.0);  // order 0: line 2, point 3
  expect_message(msgs, 0, "WARNING", "Bad order for interpolation", "INTRP2", 1);

  msgs = capture_messages([&] { r = INTRP1(1, two, 1); });
  EXPECT_EQ(r, 0.0);
  expect_message(msgs, 0, "FAILURE", "Wrong number of dimensions", "INTRP1", 7);
  msgs = capture_messages([&] { r = INTRP2(1, 1, one, 1); });
  EXPECT_EQ(r, 0.0);
  expect_message(msgs, 0, "FAILURE", "Wrong number of dimensions", "INTRP2", 5);
  msgs = capture_messages([&] { r = INTRP2(1, 1, curve, 1); });
  EXPECT_EQ(r, 0.0);
  expect_message(msgs, 0, "FAILURE", "Wrong arithmetic type", "INTRP2", 4);

  int status = 0;
  msgs = capture_messages([&] { status = run([&] { INTRP2(1, 1, ints, 1); }); });
  EXPECT_EQ(status, 1);
  ASSERT_EQ(msgs.size(), 2U);
  expect_message(msgs, 0, "FAILURE", "Wrong arithmetic type", "ATYPR", 1);
  expect_message(msgs, 1, "FATAL ERROR", "Failed in FETCH routine", "INTRP2", 3);
}

TEST_F(ArrayInterp, ABadTableHeaderEndsTheRun) {
  Arrays a;
  const auto bad = a.table(1, {0, 2, 2, 3, 1, 4}, {0, 10, 20, 10, 20, 40});  // argument order 2 of 1
  a.install();
  int status = 0;
  const auto msgs = capture_messages([&] { status = run([&] { INTRP1(5, bad, 1); }); });
  EXPECT_EQ(status, 1);
  ASSERT_EQ(msgs.size(), 1U);
  expect_message(msgs, 0, "FATAL ERROR", "Wrong entry in table", "LADTAB", 7);
}

}  // namespace interp_arrays_test
