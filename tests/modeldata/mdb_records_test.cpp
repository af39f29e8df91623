// The record and list layer of the MDB file: plain and continued lists, the
// capacity and numbering checks, skips, section markers, the moves inside the
// dynamic core and the fatal report of a record that cannot be read.
#include <gtest/gtest.h>

#include <bit>

#include "runtime/modeldata/mdb_records.h"
#include "runtime/platform/process.h"
#include "runtime/platform/units.h"
#include "tests/support/mdb_fixtures.h"

namespace kalvir::test {
namespace mdb_records_test {

namespace io = platform;
using V = std::vector<std::int32_t>;
using Record = std::vector<std::byte>;

constexpr int kUnit = 31;

Record ints(std::initializer_list<std::int32_t> v) {
  Record r;
  for (const std::int32_t x : v) {
    const auto u = static_cast<std::uint32_t>(x);
    for (int s = 0; s < 32; s += 8) r.push_back(static_cast<std::byte>((u >> s) & 0xFFU));
  }
  return r;
}
Record reals(std::initializer_list<double> v) {
  Record r;
  for (const double x : v) {
    const auto u = std::bit_cast<std::uint64_t>(x);
    for (int s = 0; s < 64; s += 8) r.push_back(static_cast<std::byte>((u >> s) & 0xFFU));
  }
  return r;
}
Record text(std::string_view s) {
  Record r;
  for (const char c : s) r.push_back(static_cast<std::byte>(c));
  return r;
}

class RecordFile : public ::testing::Test {
 protected:
  void open(std::vector<Record> records) {
    mdbw::MdbImage img;
    img.records = std::move(records);
    // A name relative to the test's own directory, so that the file-name field
    // of the error messages does not depend on where the tests run.
    const std::string path = "records.bin";
    ASSERT_TRUE(img.save(path));
    ASSERT_EQ(io::unit_open(kUnit, path, io::Form::Unformatted, io::OpenStatus::Old), 0);
  }
  void TearDown() override { io::unit_close(kUnit); }
  // The next record's first integer: where the reader stands.
  std::int32_t next_word() {
    std::int32_t w = 0;
    EXPECT_EQ(mdb::read_ints(kUnit, 1, {&w, 1}), 0);
    return w;
  }

  TempDir dir_;
  test::ScopedCwd cwd_{dir_.path()};
};

TEST(Dbcopi, MovesOverlappingRangesAndZeroesWhatTheyLeave) {
  V a{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  std::int32_t ierr = -9;
  DBCOPI(10, 3, 2, 4, a, ierr);
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(a, (V{1, 0, 0, 2, 3, 4, 7, 8, 9, 10}));
  DBCOPI(10, 3, 4, 3, a, ierr);
  EXPECT_EQ(a, (V{1, 0, 2, 3, 4, 0, 7, 8, 9, 10}));
  DBCOPI(10, 3, 9, 1, a, ierr);
  EXPECT_EQ(ierr, 1);
  DBCOPI(10, 0, 1, 2, a, ierr);
  EXPECT_EQ(ierr, -1);
  DBCOPI(11, 1, 1, 2, a, ierr);  // N beyond the array
  EXPECT_EQ(ierr, 1);
}

TEST(Dbcopz, MovesStringsAndBlanksWhatTheyLeave) {
  std::string s = "AABBCCDD";
  std::int32_t ierr = -9;
  DBCOPZ(4, 2, 1, 3, s, ierr, 2);
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(s, "    AABB");
}

TEST(Setzzz, FillsOrRefusesAnEmptyCount) {
  std::string s(6, 'x');
  std::int32_t ierr = -1;
  SETZZZ("A", 3, s, 2, ierr);
  EXPECT_EQ(s, "A A A ");
  SETZZZ("B", 0, s, 2, ierr);
  EXPECT_EQ(ierr, 1);
  EXPECT_EQ(s, "A A A ");
}

TEST_F(RecordFile, PlainAndContinuedIntegerLists) {
  open({ints({5, 0, 3, 0}), ints({1, 2, 3}),                                        // plain
        ints({6, 7, 0, 0}), ints({3}), ints({1, 0, 2, 0}), ints({4, 5}),             // continued:
        ints({2, 0, 1, 0}), ints({6}), ints({3, 0, 2, 0}), ints({7, 8}),             //   three blocks
        ints({99})});
  V a(10, 0);
  std::int32_t n = -1, ierr = -1;
  SCOMII(0, 10, 5, kUnit, a, n, ierr);
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(n, 3);
  SCOMII(n, 10, 6, kUnit, a, n, ierr);
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(n, 5);
  EXPECT_EQ(a, (V{1, 2, 3, 4, 5, 6, 7, 8, 0, 0}));
  EXPECT_EQ(next_word(), 99);
}

TEST_F(RecordFile, ContinuedListWithAMissingBlockStopsAfterTheBlocksBefore) {
  open({ints({6, 7, 0, 0}), ints({3}), ints({1, 0, 2, 0}), ints({4, 5}), ints({2, 0, 1, 0}), ints({6}),
        ints({4, 0, 2, 0}), ints({7, 8})});
  V a(10, 0);
  std::int32_t n = -1, ierr = -1;
  SCOMII(0, 10, 6, kUnit, a, n, ierr);
  EXPECT_EQ(ierr, 1);
  EXPECT_EQ(n, 3);
  EXPECT_EQ(a, (V{4, 5, 6, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(RecordFile, ListLongerThanTheRoomLeftReadsNothingOfIt) {
  open({ints({8, 0, 4, 0}), ints({1, 2, 3, 4})});
  V a(10, 0);
  std::int32_t n = -1, ierr = -1;
  SCOMII(7, 10, 8, kUnit, a, n, ierr);
  EXPECT_EQ(ierr, 2);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(a, V(10, 0));
}

TEST_F(RecordFile, EmptyAndNegativeLengthsConsumeTheirDataRecord) {
  open({ints({1, 0, 0, 0}), Record{}, ints({2, 0, -5, 0}), ints({1, 2}), ints({42})});
  V a(4, 0);
  std::int32_t n = -1, ierr = -1;
  SCOMII(0, 4, 1, kUnit, a, n, ierr);
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(n, 0);
  SCOMII(0, 4, 2, kUnit, a, n, ierr);
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(n, 0);  // never negative: it would move the fill position backwards
  EXPECT_EQ(next_word(), 42);
}

TEST_F(RecordFile, WrongNumberOrNegativeKindIsCodeOne) {
  open({ints({3, 0, 1, 0}), ints({1}), ints({4, -1, 1, 0}), ints({1})});
  V a(4, 0);
  std::int32_t n = -1, ierr = -1;
  SCOMII(0, 4, 2, kUnit, a, n, ierr);
  EXPECT_EQ(ierr, 1);
  io::unit_rewind(kUnit);
  SCOMII(0, 4, 3, kUnit, a, n, ierr);
  EXPECT_EQ(ierr, 0);
  SCOMII(0, 4, 4, kUnit, a, n, ierr);
  EXPECT_EQ(ierr, 1);
}

TEST_F(RecordFile, RealListsCountTwoWordsPerValue) {
  open({ints({9, 0, 5, 0}), reals({1.5, 2.5, 3.5})});
  std::vector<double> d(4, 0.0);
  std::int32_t n = -1, ierr = -1;
  Scomdd(1, 4, 9, kUnit, d, n, ierr);
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(n, 2);
  EXPECT_EQ(d, (std::vector<double>{0.0, 1.5, 2.5, 0.0}));
}

TEST_F(RecordFile, CharacterListsCountElementsAndRefuseContinuation) {
  open({ints({12, 0, 5, 0}), text("ABCDEFGH"), ints({13, 7, 4, 0}), text("WXYZ")});
  std::string s(12, '.');
  std::int32_t n = -1, ierr = -1;
  SCOMZZ(0, 3, 12, kUnit, 4, s, 4, n, ierr);
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(n, 2);  // 5 characters in elements of 4
  EXPECT_EQ(s, "ABCDEFGH....");
  SCOMZZ(0, 3, 13, kUnit, 4, s, 4, n, ierr);
  EXPECT_EQ(ierr, 1);
}

TEST_F(RecordFile, SectionMarkerAndOtherRecords) {
  open({ints({-1, 0, 0, 0}), ints({4, -1, 0, 0}), ints({0, 5, 0, 0})});
  std::int32_t found = -1, ierr = -1;
  DBQRMK(kUnit, found, ierr);
  EXPECT_EQ(found, 1);
  EXPECT_EQ(ierr, 0);
  DBQRMK(kUnit, found, ierr);
  EXPECT_EQ(found, 0);
  EXPECT_EQ(ierr, 4);
  DBQRMK(kUnit, found, ierr);
  EXPECT_EQ(found, 0);
  EXPECT_EQ(ierr, 0);
}

TEST_F(RecordFile, SkipTakesTwoRecordsForEachPresentList) {
  open({ints({1}), ints({2}), ints({3}), ints({4}), ints({5})});
  Array2<std::int32_t> table(2, 290);
  table(2, 40) = 1;
  table(2, 42) = 3;
  table(2, 50) = 1;  // outside the range
  std::int32_t ierr = -1;
  SCOMSK(table, 36, 44, kUnit, ierr);
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(next_word(), 5);
}

struct FatalRead {
  const char* what;
  void (*read)();
  std::vector<std::string> texts;
};

class RecordFileFatal : public RecordFile, public ::testing::WithParamInterface<FatalRead> {};

TEST_P(RecordFileFatal, ShortRecordStopsTheRunNamingFileUnitAndRoutine) {
  open({ints({1, 2})});
  Unit6Capture capture;
  EXPECT_EQ(io::run_program(GetParam().read), 1);
  const std::string printed = joined_frames(capture.finish());
  EXPECT_NE(printed.find("records.bin\",  Unit no.= 31,  I/O error ="), std::string::npos) << printed;
  for (const std::string& t : GetParam().texts) EXPECT_NE(printed.find(t), std::string::npos) << t << "\n" << printed;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RecordFileFatal,
    ::testing::Values(FatalRead{"integers",
                                [] {
                                  V a(3);
                                  std::int32_t ierr = 0;
                                  DBQRII(3, kUnit, a, ierr);
                                },
                                {"File input error has occurred", "(Input/output error)",
                                 "Unrecoverable error condition in module DBQRII"}},
                      FatalRead{"reals",
                                [] {
                                  std::vector<double> d(2);
                                  std::int32_t ierr = 0;
                                  Dbqrdd(2, kUnit, d, ierr);
                                },
                                {"Reading double precision data from the model data file", "Try pre-processing again",
                                 "Unrecoverable error condition in module Dbqrdd"}},
                      FatalRead{"marker",
                                [] {
                                  std::int32_t found = 0, ierr = 0;
                                  DBQRMK(kUnit, found, ierr);
                                },
                                {"Unrecoverable error condition in module DBQRMK"}},
                      FatalRead{"skip_past_the_end",
                                [] {
                                  std::int32_t ierr = 0;
                                  DBQRSK(2, kUnit, ierr);
                                },
                                {"Unrecoverable error condition in module DBQRSK"}}),
    CaseName{});

}  // namespace mdb_records_test
}  // namespace kalvir::test
