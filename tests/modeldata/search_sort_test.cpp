// Searches, comparisons, sorts, copies, numeric limits and the loop guard.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "runtime/modeldata/search_sort.h"
#include "runtime/platform/arrays.h"
#include "runtime/platform/process.h"
#include "tests/support/test_support.h"

namespace search_sort_test {

namespace io = kalvir::platform;

struct Lookup {
  std::int32_t ierr;
  std::int32_t found;
  std::int32_t pos;
  bool operator==(const Lookup&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Lookup& l) {
  return os << "{ierr " << l.ierr << ", found " << l.found << ", pos " << l.pos << "}";
}

Lookup sofndi(const std::vector<std::int32_t>& list, std::int32_t value) {
  Lookup r{-9, -9, -9};
  SOFNDI(list, static_cast<std::int32_t>(list.size()), value, r.ierr, r.found, r.pos);
  return r;
}

TEST(Search, BisectionGivesTheFirstEqualOrTheInsertionPlace) {
  const std::vector<std::int32_t> list{1, 3, 3, 3, 7};
  struct Case {
    std::vector<std::int32_t> list;
    std::int32_t value;
    Lookup expected;
  };
  const std::vector<Case> cases{
      {list, 3, {0, 1, 2}}, {list, 4, {0, 0, 5}}, {list, 0, {0, 0, 1}}, {list, 9, {0, 0, 6}},
      {list, 1, {0, 1, 1}}, {list, 7, {0, 1, 5}}, {{1, 3, 3}, 3, {0, 1, 2}},  // match at the end
      {{5, 5, 5, 5}, 5, {0, 1, 1}}, {{4}, 4, {0, 1, 1}}, {{4}, 5, {0, 0, 2}}, {{}, 5, {1, 0, 0}},
  };
  for (const Case& c : cases) EXPECT_EQ(sofndi(c.list, c.value), c.expected) << c.value;
}

TEST(Search, BisectionAgreesWithLowerBound) {
  std::mt19937 rng(12345);
  for (int trial = 0; trial < 500; ++trial) {
    std::vector<std::int32_t> list(1 + rng() % 40);
    for (auto& v : list) v = static_cast<std::int32_t>(rng() % 20) - 10;
    std::sort(list.begin(), list.end());
    const std::int32_t value = static_cast<std::int32_t>(rng() % 24) - 12;
    const auto it = std::lower_bound(list.begin(), list.end(), value);
    const auto place = static_cast<std::int32_t>(it - list.begin()) + 1;
    const bool found = it != list.end() && *it == value;
    EXPECT_EQ(sofndi(list, value), (Lookup{0, found ? 1 : 0, place}));
  }
}

TEST(Search, NameAndKeyLists) {
  kalvir::CharArray<18> names(4);
  names.set(1, "ALPHA");
  names.set(2, "BETA");
  names.set(3, "BETA");
  names.set(4, "GAMMA");
  Lookup r{};
  SOFNDZ(names, 4, "BETA      ", r.ierr, r.found, r.pos);  // compared blank-padded
  EXPECT_EQ(r, (Lookup{0, 1, 2}));
  SOFNDZ(names, 4, "BET", r.ierr, r.found, r.pos);
  EXPECT_EQ(r, (Lookup{0, 0, 2}));
  SOFNDZ(names, 4, "beta", r.ierr, r.found, r.pos);  // case counts: lower case sorts last
  EXPECT_EQ(r, (Lookup{0, 0, 5}));
  SRFNDZ(names, 4, "GAMMA", r.ierr, r.found, r.pos);
  EXPECT_EQ(r, (Lookup{0, 1, 4}));
  SRFNDZ(names, 4, "DELTA", r.ierr, r.found, r.pos);
  EXPECT_EQ(r, (Lookup{0, 0, 0}));

  const std::vector<std::int32_t> keys{1, 5, 2, -1, 2, 3, 2, 3, 9, 0};
  const std::vector<std::int32_t> key{2, 3};
  SOFNDM(keys, 2, 5, key, r.ierr, r.found, r.pos);
  EXPECT_EQ(r, (Lookup{0, 1, 3}));
  SOFNDM(keys, 2, 5, std::vector<std::int32_t>{2, 0}, r.ierr, r.found, r.pos);
  EXPECT_EQ(r, (Lookup{0, 0, 3}));
  SOFNDM(keys, 0, 5, key, r.ierr, r.found, r.pos);
  EXPECT_EQ(r.ierr, 1);
}

TEST(Search, LinearSearches) {
  const std::vector<std::int32_t> list{4, 8, 15, 16, 23, 42, 15};
  Lookup r{};
  SRFNDI(list, 7, 15, r.ierr, r.found, r.pos);
  EXPECT_EQ(r, (Lookup{0, 1, 3}));
  SRFNDI(list, 2, 15, r.ierr, r.found, r.pos);
  EXPECT_EQ(r, (Lookup{0, 0, 0}));
  SRFNDI(list, 0, 15, r.ierr, r.found, r.pos);
  EXPECT_EQ(r.ierr, 1);

  std::int32_t pos = -1;
  std::int32_t ierr = -1;
  PNDPOS(list, 4, 4, 15, pos, ierr);  // positions count in the whole list
  EXPECT_EQ(pos, 7);
  EXPECT_EQ(ierr, 0);
  PNDPOS(list, 4, 2, 15, pos, ierr);
  EXPECT_EQ(pos, 0);
  EXPECT_EQ(ierr, 1);
  PNDPOS(list, 1, 0, 4, pos, ierr);
  EXPECT_EQ(ierr, 1);
}

TEST(Search, KeyComparisons) {
  const std::vector<std::int32_t> a{3, -4};
  const std::vector<std::int32_t> b{-3, 4};
  std::int32_t res = -9;
  std::int32_t ierr = -9;
  SCOMPX(a, b, 2, res, ierr);
  EXPECT_EQ(res, 0);
  EXPECT_EQ(ierr, 0);
  SCOMPI(a, b, 2, res, ierr);
  EXPECT_EQ(res, 1);
  SCOMPI(b, a, 2, res, ierr);
  EXPECT_EQ(res, -1);
  SCOMPI(a, b, 0, res, ierr);
  EXPECT_EQ(ierr, 1);
  SCOMPX(a, b, 0, res, ierr);
  EXPECT_EQ(ierr, -1);
  const std::vector<std::int32_t> lowest{std::numeric_limits<std::int32_t>::min()};
  const std::vector<std::int32_t> highest{std::numeric_limits<std::int32_t>::max()};
  SCOMPX(lowest, highest, 1, res, ierr);
  EXPECT_EQ(res, 1);
  SCOMPI(lowest, highest, 1, res, ierr);
  EXPECT_EQ(res, -1);
}

TEST(Sort, InsertionSortCarriesTheIndex) {
  std::vector<std::int32_t> keys{2, 5, 2};
  std::vector<std::int32_t> index{1, 2, 3};
  std::int32_t ierr = -1;
  SORTII("DEC", 3, index, keys, ierr);
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(keys, (std::vector<std::int32_t>{5, 2, 2}));
  EXPECT_EQ(index, (std::vector<std::int32_t>{2, 1, 3}));

  std::vector<double> reals{0.5, -1.0, 0.5, -3.0};
  std::vector<std::int32_t> idx{1, 2, 3, 4};
  SORTRI("INC   ", 4, idx, reals, ierr);  // the order word is compared blank-padded
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(reals, (std::vector<double>{-3.0, -1.0, 0.5, 0.5}));
  EXPECT_EQ(idx, (std::vector<std::int32_t>{4, 2, 1, 3}));

  for (const char* bad : {"inc", "UP", ""}) {
    std::vector<std::int32_t> k{3, 1};
    std::vector<std::int32_t> i{1, 2};
    SORTII(bad, 2, i, k, ierr);
    EXPECT_EQ(ierr, 1) << bad;
    EXPECT_EQ(k, (std::vector<std::int32_t>{3, 1}));
  }
  SORTII("INC", 0, index, keys, ierr);
  EXPECT_EQ(ierr, 1);
}

// Sorted under the order of SCOMPX: word by word on magnitudes.
bool magnitude_less(const std::vector<std::int32_t>& a, const std::vector<std::int32_t>& b) {
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto x = std::llabs(a[i]);
    const auto y = std::llabs(b[i]);
    if (x != y) return x < y;
  }
  return false;
}

std::vector<std::vector<std::int32_t>> records(const std::vector<std::int32_t>& list, int nkey) {
  std::vector<std::vector<std::int32_t>> out;
  for (std::size_t k = 0; k < list.size(); k += static_cast<std::size_t>(nkey))
    out.emplace_back(list.begin() + static_cast<std::ptrdiff_t>(k),
                     list.begin() + static_cast<std::ptrdiff_t>(k) + nkey);
  return out;
}

TEST(Sort, PartitioningSortOfKeyRecords) {
  std::mt19937 rng(4711);
  for (int trial = 0; trial < 400; ++trial) {
    const int nkey = 1 + static_cast<int>(rng() % 3);
    const int n = 2 + static_cast<int>(rng() % (trial < 350 ? 60 : 3000));
    const int spread = trial % 3 == 0 ? 3 : 1000;  // many equal keys, or few
    std::vector<std::int32_t> list(static_cast<std::size_t>(n * nkey));
    for (auto& w : list) w = static_cast<std::int32_t>(rng() % (2 * spread + 1)) - spread;
    if (trial % 5 == 1) std::sort(list.begin(), list.end());  // long ordered runs
    if (trial % 5 == 2) std::sort(list.rbegin(), list.rend());
    auto expected = records(list, nkey);
    std::int32_t ierr = -1;
    std::int32_t check = 1;
    SSMSRT(nkey, n, list, ierr, check);
    ASSERT_EQ(ierr, 0);
    const auto sorted = records(list, nkey);
    ASSERT_TRUE(std::is_sorted(sorted.begin(), sorted.end(), magnitude_less)) << "trial " << trial;
    // The same records, only moved.
    auto got = sorted;
    std::sort(got.begin(), got.end());
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(got, expected) << "trial " << trial;
    bool has_equal = false;
    for (std::size_t k = 1; k < sorted.size(); ++k)
      has_equal = has_equal || (!magnitude_less(sorted[k - 1], sorted[k]) && !magnitude_less(sorted[k], sorted[k - 1]));
    EXPECT_EQ(check, has_equal ? 1 : 0) << "trial " << trial;
  }
}

TEST(Sort, PartitioningSortEdgeCases) {
  std::vector<std::int32_t> one{-5, 2};
  std::int32_t ierr = 77;
  std::int32_t check = 77;
  SSMSRT(2, 1, one, ierr, check);  // nothing to sort: nothing touched
  EXPECT_EQ(ierr, 77);
  EXPECT_EQ(check, 77);

  std::vector<std::int32_t> sorted{1, -2, 3, 4, 5};
  check = 0;
  SSMSRT(1, 5, sorted, ierr, check);
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(check, 0);  // not asked for
  EXPECT_EQ(sorted, (std::vector<std::int32_t>{1, -2, 3, 4, 5}));

  std::vector<std::int32_t> wide(2 * 101, 1);
  SSMSRT(101, 2, wide, ierr, check);  // beyond the 100-word record buffers
  EXPECT_EQ(ierr, 1);
}

TEST(Sort, RecordResort) {
  // Record 0 has grown and moves back behind the records smaller than it.
  std::vector<std::int32_t> list{0, 0, 5, 0, 0, 0, 0, 1, 0, 0, 0, 0, 5, 0, 0, 0, 0, 9, 9, 9, 9, 9};
  SOMSRT(2, 4, list);
  EXPECT_EQ(list, (std::vector<std::int32_t>{0, 0, 1, 0, 0, 0, 0, 5, 0, 0, 0, 0, 5, 0, 0, 0, 0, 9, 9, 9, 9, 9}));
  std::vector<std::int32_t> last{9, 0, 0, 0, 0, 1, 0, 0, 0, 0};
  SOMSRT(1, 2, last);  // larger than all: goes to the last place
  EXPECT_EQ(last, (std::vector<std::int32_t>{1, 0, 0, 0, 0, 9, 0, 0, 0, 0}));
}

TEST(CopiesAndFills, CountBelowOneDoesNothing) {
  std::vector<std::int32_t> isrc{1, 2, 3};
  std::vector<std::int32_t> idst{9, 9, 9};
  std::int32_t ierr = -1;
  SICOPY(isrc, 2, ierr, idst);
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(idst, (std::vector<std::int32_t>{1, 2, 9}));
  SICOPY(isrc, 0, ierr, idst);
  EXPECT_EQ(ierr, 1);
  SZEROI(3, idst, ierr);
  EXPECT_EQ(idst, (std::vector<std::int32_t>{0, 0, 0}));

  std::vector<double> dsrc{1.5, 2.5};
  std::vector<double> ddst{0.0, 0.0};
  SCOPYD(dsrc, 2, ierr, ddst);
  EXPECT_EQ(ddst, dsrc);
  Szerod(-1, ddst, ierr);
  EXPECT_EQ(ierr, 1);
  EXPECT_EQ(ddst, dsrc);
  Szerod(1, ddst, ierr);
  EXPECT_EQ(ddst, (std::vector<double>{0.0, 2.5}));

  kalvir::CharArray<6> wide(2);
  wide.set(1, "ABCDEF");
  wide.set(2, "GH");
  std::array<kalvir::Chars<4>, 2> narrow;
  SZCOPY(wide, 2, ierr, narrow);
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(narrow[0].view(), "ABCD");
  EXPECT_EQ(narrow[1].view(), "GH  ");
  kalvir::CharArray<6> back(2);
  SZCOPY(narrow, 2, ierr, back);
  EXPECT_EQ(back(1), "ABCD  ");
  SZEROZ(1, back, ierr);
  EXPECT_EQ(back(1), "      ");
  EXPECT_EQ(back(2), "GH    ");
  SZEROZ(0, back, ierr);
  EXPECT_EQ(ierr, 1);
}

TEST(CopiesAndFills, CountBeyondTheArrayStopsTheRun) {
  testing::internal::CaptureStderr();
  std::vector<std::int32_t> small{1, 2};
  std::int32_t ierr = 0;
  EXPECT_EQ(io::run_program([&] { SZEROI(3, small, ierr); }), 1);
  Lookup r{};
  EXPECT_EQ(io::run_program([&] { SOFNDI(small, 5, 1, r.ierr, r.found, r.pos); }), 1);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("SOFNDI"), std::string::npos);
  EXPECT_EQ(small, (std::vector<std::int32_t>{1, 2}));
}

TEST(Limits, ZeroAndInfinity) {
  EXPECT_EQ(SRLMAX(), 1.0e38);
  EXPECT_FALSE(SMINRL(1.0e-37));
  EXPECT_TRUE(SMINRL(-9.0e-38));
  EXPECT_TRUE(SMINRL(0.0));
  // Between the single-precision 1.0E-37 and the double one.
  EXPECT_TRUE(SMINRL(9.999999950e-38));
  EXPECT_FALSE(SMINDL(9.999999950e-38));
  EXPECT_TRUE(SMINDL(-9.99999990e-38));
}

TEST(LoopGuard, StopsTheRunNamingTheRoutine) {
  kalvir::test::Unit6Capture out;
  std::int64_t passes = 0;
  const int status = io::run_program([&] {
    kalvir::LoopGuard guard("SOFNDZ", 10);
    while (true) {
      guard.tick();
      ++passes;
    }
  });
  EXPECT_EQ(status, 1);
  EXPECT_EQ(passes, 10);
  EXPECT_NE(out.finish().find(" @@@@ Unrecoverable error condition in module SOFNDZ @@@@\n"), std::string::npos);
  EXPECT_EQ(kalvir::LoopGuard::kPassLimit, 2000000000);
}

}  // namespace search_sort_test
