#include "runtime/platform/units.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "runtime/platform/clock.h"
#include "runtime/platform/process.h"
#include "tests/support/test_support.h"

namespace kalvir::platform {
namespace units_test {

using test::TempDir;

std::vector<unsigned char> bytes_of(const std::string& s) { return {s.begin(), s.end()}; }

std::span<const std::byte> as_bytes(const std::string& s) {
  return {reinterpret_cast<const std::byte*>(s.data()), s.size()};
}

TEST(RecordFile, FramesRecordsWithLittleEndianLengthsAndReadsThemBack) {
  TempDir dir;
  const std::string path = dir.file("rec.bin");
  ASSERT_EQ(unit_open(20, path, Form::Unformatted, OpenStatus::Replace), 0);
  ASSERT_EQ(write_record(20, as_bytes("hello")), 0);
  ASSERT_EQ(write_record(20, {}), 0);
  ASSERT_EQ(unit_close(20), 0);

  const std::string raw = test::read_file(path);
  const std::vector<unsigned char> expected{0x05, 0, 0, 0, 'h', 'e', 'l', 'l', 'o', 0x05, 0, 0, 0,
                                            0,    0, 0, 0, 0,   0,   0,   0};
  EXPECT_EQ(bytes_of(raw), expected);

  ASSERT_EQ(unit_open(20, path, Form::Unformatted, OpenStatus::Old), 0);
  std::vector<std::byte> rec;
  ASSERT_EQ(read_record(20, rec), 0);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(rec.data()), rec.size()), "hello");
  ASSERT_EQ(read_record(20, rec), 0);
  EXPECT_TRUE(rec.empty());
  EXPECT_EQ(read_record(20, rec), kIoEnd);
  ASSERT_EQ(unit_rewind(20), 0);
  EXPECT_EQ(skip_record(20), 0);
  ASSERT_EQ(read_record(20, rec), 0);
  EXPECT_TRUE(rec.empty());
  unit_close(20);
}

TEST(RecordFile, DamagedFramesAreErrorsNotCrashes) {
  TempDir dir;
  const std::string path = dir.file("bad.bin");
  struct Case {
    const char* what;
    std::string content;
  };
  const std::vector<Case> cases{
      {"length beyond the end of the file", std::string("\xff\x00\x00\x00" "abc", 7)},
      {"trailing length differs", std::string("\x01\x00\x00\x00" "x" "\x02\x00\x00\x00", 9)},
      {"negative length", std::string("\xff\xff\xff\xff", 4)},
      {"cut inside the leading length", std::string("\x01\x00", 2)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    {
      FILE* f = std::fopen(path.c_str(), "wb");
      std::fwrite(c.content.data(), 1, c.content.size(), f);
      std::fclose(f);
    }
    ASSERT_EQ(unit_open(21, path, Form::Unformatted, OpenStatus::Old), 0);
    std::vector<std::byte> rec;
    const int rc = read_record(21, rec);
    EXPECT_GT(rc, 0);
    unit_close(21);
  }
}

TEST(RecordReader, ReadsFieldsInOrderAndFlagsOverrun) {
  RecordWriter w;
  w.i32(-2).f64(1.5).chars("AB", 4);
  RecordReader r(w.data());
  EXPECT_EQ(r.i32(), -2);
  EXPECT_EQ(r.f64(), 1.5);
  EXPECT_EQ(r.chars(4), "AB  ");
  EXPECT_FALSE(r.failed());
  EXPECT_EQ(r.i32(), 0);
  EXPECT_TRUE(r.failed());
}

TEST(FormattedFile, LinesRoundTripAndEndOfFileIsMinusOne) {
  TempDir dir;
  const std::string path = dir.file("text.txt");
  ASSERT_EQ(unit_open(30, path, Form::Formatted, OpenStatus::Unknown), 0);
  ASSERT_EQ(write_line(30, " first "), 0);
  ASSERT_EQ(write_line(30, ""), 0);
  ASSERT_EQ(unit_rewind(30), 0);
  std::string line;
  EXPECT_EQ(lines_read(30), 0);
  ASSERT_EQ(read_line(30, line), 0);
  EXPECT_EQ(line, " first ");  // trailing blanks are part of the record
  ASSERT_EQ(read_line(30, line), 0);
  EXPECT_EQ(line, "");
  EXPECT_EQ(read_line(30, line), kIoEnd);
  EXPECT_EQ(lines_read(30), 2) << "the end of the file is no line";
  ASSERT_EQ(unit_rewind(30), 0);
  ASSERT_EQ(read_line(30, line), 0);
  EXPECT_EQ(lines_read(30), 1) << "a rewind counts from the start again";
  EXPECT_EQ(unit_name(30), path);
  ASSERT_EQ(unit_close(30, CloseStatus::Delete), 0);
  EXPECT_FALSE(file_exists(path));
}

TEST(FormattedFile, WritingAfterRewindReplacesTheRestOfTheFile) {
  TempDir dir;
  const std::string path = dir.file("seq.txt");
  ASSERT_EQ(unit_open(31, path, Form::Formatted, OpenStatus::Replace), 0);
  write_line(31, "one");
  write_line(31, "two");
  unit_close(31);
  ASSERT_EQ(unit_open(31, path, Form::Formatted, OpenStatus::Unknown), 0);
  write_line(31, "new");
  unit_close(31);
  EXPECT_EQ(test::read_file(path), "new\n");
}

TEST(Units, OpenStatusesFollowTheirRules) {
  TempDir dir;
  const std::string missing = dir.file("missing");
  EXPECT_EQ(unit_open(40, missing, Form::Formatted, OpenStatus::Old), ENOENT);
  EXPECT_FALSE(unit_is_open(40));
  ASSERT_EQ(unit_open(40, missing, Form::Formatted, OpenStatus::New), 0);
  unit_close(40);
  EXPECT_EQ(unit_open(40, missing, Form::Formatted, OpenStatus::New), EEXIST);
  EXPECT_EQ(unit_close(41), 0);  // not open: no error
  EXPECT_EQ(write_line(41, "x"), EBADF);

  ASSERT_EQ(unit_open(42, "", Form::Unformatted, OpenStatus::Scratch), 0);
  EXPECT_TRUE(unit_is_open(42));
  EXPECT_EQ(unit_close(42, CloseStatus::Keep), 0);
}

TEST(Units, Unit6CanBeReconnectedToAFileAndBack) {
  TempDir dir;
  const std::string path = dir.file("case.out");
  EXPECT_TRUE(unit_is_open(kStdoutUnit));
  ASSERT_EQ(unit_open(kStdoutUnit, path, Form::Formatted, OpenStatus::Replace), 0);
  write_line(kStdoutUnit, "to the case file");
  ASSERT_EQ(unit_close(kStdoutUnit), 0);
  EXPECT_EQ(test::read_file(path), "to the case file\n");
  EXPECT_EQ(unit_name(kStdoutUnit), "stdout");
}

TEST(Process, RunProgramReturnsTheStatusOfAFatalPathAndClosesUnits) {
  TempDir dir;
  const std::string path = dir.file("left.txt");
  const int status = run_program([&] {
    unit_open(50, path, Form::Formatted, OpenStatus::Replace);
    write_line(50, "flushed at the end");
    exit_process(1);
  });
  EXPECT_EQ(status, 1);
  EXPECT_FALSE(unit_is_open(50));
  EXPECT_EQ(test::read_file(path), "flushed at the end\n");
  EXPECT_EQ(run_program([] {}), 0);
}

TEST(Clock, AFixedReadingIsReturnedUntilReleased) {
  clock_fix(ClockReading{2026, 3, 5, 14, 7, 9});
  const ClockReading r = clock_now();
  EXPECT_EQ(r.year, 2026);
  EXPECT_EQ(r.month, 3);
  EXPECT_EQ(r.second, 9);
  clock_fix(std::nullopt);
  EXPECT_GE(clock_now().year, 2024);
}

}  // namespace units_test
}  // namespace kalvir::platform
