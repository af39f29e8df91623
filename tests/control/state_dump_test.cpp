// The state dump: 85 records written once and read back before each case
// that starts from the initial state.
#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <numeric>
#include <vector>

#include "model/orvik_testbed_01.h"
#include "runtime/control/state_dump.h"
#include "runtime/platform/units.h"
#include "tests/support/model_fixture.h"
#include "tests/support/test_support.h"

namespace state_dump_test {

namespace io = kalvir::platform;
using Records = std::vector<std::vector<std::byte>>;

constexpr int kUnit = 2;

Records read_records(const std::string& path) {
  Records out;
  EXPECT_EQ(io::unit_open(kUnit, path, io::Form::Unformatted, io::OpenStatus::Old), 0);
  std::vector<std::byte> rec;
  while (io::read_record(kUnit, rec) == 0) out.push_back(rec);
  io::unit_close(kUnit);
  return out;
}

void write_records(const std::string& path, const Records& records) {
  ASSERT_EQ(io::unit_open(kUnit, path, io::Form::Unformatted, io::OpenStatus::Replace), 0);
  for (const auto& r : records) ASSERT_EQ(io::write_record(kUnit, r), 0);
  io::unit_close(kUnit);
}

std::int32_t dump_to(const std::string& path) {
  EXPECT_EQ(io::unit_open(kUnit, path, io::Form::Unformatted, io::OpenStatus::Unknown), 0);
  std::int32_t ierr = -99;
  DMPCOM(kUnit, ierr);
  io::unit_close(kUnit);
  return ierr;
}

std::int32_t restore_from(const std::string& path) {
  EXPECT_EQ(io::unit_open(kUnit, path, io::Form::Unformatted, io::OpenStatus::Old), 0);
  std::int32_t ierr = -99;
  RSTCOM(kUnit, ierr);
  io::unit_close(kUnit);
  return ierr;
}

// The three-submodel fixture (thermal and fluid nodes, every conductor kind,
// links, ties) with the control-constant counts of this system and some of
// every kind of value set.
class StateDump : public ::testing::Test {
 protected:
  void SetUp() override {
    kalvir::test::build_model(kalvir::test::three_submodel_model());
    FLAGS(10) = 0;
    FLAGS(11) = 2;
    FLAGS(13) = 49;
    FLAGS(14) = 25;
    loc_allocate();
    for (std::int64_t i = 1; i <= LOCI.size(); ++i) LOCI(i) = static_cast<std::int32_t>(100 + i);
    JOBINF.model = "THREE";
    JOBINF.date = "05 March     2026";
    JOBINF.time = "14:07:09";
    GLOC.PARNAM = "ORIGINAL";
    GLOC.OUTIME = "ALL";
    GLOR.TIMEND = 123.5;
    GLOI.NLOOP = 77;
  }
  kalvir::test::TempDir dir_;
};

TEST_F(StateDump, ARoundTripRestoresEveryDumpedPlaceBitForBit) {
  const std::string a = dir_.file("a.COM");
  ASSERT_EQ(dump_to(a), 0);
  const Records original = read_records(a);
  ASSERT_EQ(original.size(), 85U);

  // Overwrite every dumped place: restore a dump whose every byte differs.
  Records flipped = original;
  for (auto& r : flipped)
    for (auto& b : r) b = ~b;
  const std::string b = dir_.file("b.COM");
  write_records(b, flipped);
  ASSERT_EQ(restore_from(b), 0);
  const std::string b2 = dir_.file("b2.COM");
  ASSERT_EQ(dump_to(b2), 0);
  EXPECT_EQ(read_records(b2), flipped) << "every byte of every record must have been overwritten";

  stat_setstatst(0);
  ASSERT_EQ(restore_from(a), 0);
  const std::string c = dir_.file("c.COM");
  ASSERT_EQ(dump_to(c), 0);
  EXPECT_EQ(kalvir::test::read_file(c), kalvir::test::read_file(a));
  EXPECT_EQ(GLOR.TIMEND, 123.5);
  EXPECT_EQ(GLOI.NLOOP, 77);
  EXPECT_EQ(JOBINF.model, "THREE");
  EXPECT_EQ(stat_getstatst(), 1) << "a restore changes the node statuses under the solution routines";
}

TEST_F(StateDump, RecordOneHoldsTheModelNameDateAndTime) {
  const std::string a = dir_.file("a.COM");
  ASSERT_EQ(dump_to(a), 0);
  const Records r = read_records(a);
  ASSERT_FALSE(r.empty());
  const std::string first(reinterpret_cast<const char*>(r[0].data()), r[0].size());
  EXPECT_EQ(first, "THREE                   05 March     202614:07:09");
}

TEST_F(StateDump, ARecordOfTheWrongLengthRestoresNothingOfItAndFails) {
  const std::string a = dir_.file("a.COM");
  ASSERT_EQ(dump_to(a), 0);
  Records records = read_records(a);
  // Record 7 holds the thermal node temperatures.
  records[6].resize(records[6].size() - 8);
  const std::string b = dir_.file("b.COM");
  write_records(b, records);
  gar_thermalnodetemps(1) = -1234.0;
  GLOR.TIMEND = 9.0;
  stat_setstatst(0);
  EXPECT_EQ(restore_from(b), EINVAL);
  EXPECT_EQ(gar_thermalnodetemps(1), -1234.0) << "a short record must not be restored in part";
  EXPECT_EQ(GLOR.TIMEND, 123.5) << "the records after it are still restored";
  EXPECT_EQ(stat_getstatst(), 0);
}

TEST_F(StateDump, AFailureOnTheFirstTwoRecordsEndsTheRestore) {
  const std::string a = dir_.file("a.COM");
  ASSERT_EQ(dump_to(a), 0);
  Records records = read_records(a);
  records.resize(1);
  const std::string b = dir_.file("b.COM");
  write_records(b, records);
  GLOR.TIMEND = 9.0;
  EXPECT_EQ(restore_from(b), 1) << "the end of the file on record 2";
  EXPECT_EQ(GLOR.TIMEND, 9.0);
}

TEST_F(StateDump, AControlConstantCountBeyondItsBlockIsAFailureNotAnOverrun) {
  FLAGS(14) = 26;
  const std::string a = dir_.file("a.COM");
  EXPECT_EQ(dump_to(a), EINVAL);
  FLAGS(14) = 25;
}

// The sizes of the sample model: the dump is 200657 bytes plus the ACD
// array values, record by record as listed here.
TEST(StateDumpSizes, TheSampleModelsDumpHasItsRecordLengths) {
  FLAGS.w = orvik::kFlags;
  SPRSIZ.w = orvik::kSprsiz;
  constexpr std::int32_t kAcdInts = 3, kAcdReals = 28;
  FLAGS(21) += kAcdInts;
  FLAGS(20) += kAcdReals;
  gar_release_all_for_tests();
  gar_Allocate(gar_sizes_from_flags());
  loc_allocate();
  kalvir::test::TempDir dir;
  const std::string a = dir.file("a.COM");
  ASSERT_EQ(dump_to(a), 0);

  std::vector<std::size_t> expected{49, 702, 144, 1, 24, 1588};
  expected.insert(expected.end(), 16, 3176);
  for (std::size_t n : {397, 397, 9528, 6952, 869, 32320, 4040, 0, 0, 0, 0, 0, 18, 8, 0, 0, 0, 36, 8, 88})
    expected.push_back(n);
  expected.push_back(4 * kAcdInts);
  expected.push_back(8 * kAcdReals);
  for (std::size_t n : {0, 1656, 100, 392, 8, 0, 1588, 88160}) expected.push_back(n);
  expected.insert(expected.end(), 32, 0);
  expected.push_back(88);
  ASSERT_EQ(expected.size(), 85U);

  const Records r = read_records(a);
  ASSERT_EQ(r.size(), 85U);
  for (std::size_t i = 0; i < r.size(); ++i) EXPECT_EQ(r[i].size(), expected[i]) << "record " << i + 1;
  EXPECT_EQ(std::filesystem::file_size(a), 200657U + 4 * kAcdInts + 8 * kAcdReals);
  gar_release_all_for_tests();
}

}  // namespace state_dump_test
