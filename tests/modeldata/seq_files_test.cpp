// Opening and closing sequential files, and their system-error message.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "runtime/control/messages.h"
#include "runtime/modeldata/seq_files.h"
#include "runtime/platform/units.h"
#include "tests/support/test_support.h"

namespace seq_files_test {

namespace io = kalvir::platform;
using kalvir::test::split_lines;

class SeqFiles : public ::testing::Test {
 protected:
  void SetUp() override { kalvir::messages_reset_for_tests(); }
  void TearDown() override { io::close_all_units(); }
  kalvir::test::TempDir dir_;
  kalvir::test::ScopedCwd cwd_{dir_.path()};
};

TEST_F(SeqFiles, MissingOldFileIsReportedOnce) {
  kalvir::test::Unit6Capture out;
  std::int32_t ierr = 0;
  SOPSQ("NO SUCH.DAT", "FORMATTED", "OLD", 10, ierr);
  EXPECT_EQ(ierr, ENOENT);
  EXPECT_FALSE(io::unit_is_open(10));
  const std::string B = "@" + std::string(26, ' ');
  const std::vector<std::string> lines = split_lines(out.finish());
  ASSERT_EQ(lines.size(), 13U);
  EXPECT_EQ(lines[1], "@" + std::string(60, '-') + " | MESSAGE    1 |-");
  EXPECT_EQ(lines[3], "@@@@  SYSTEM ERROR" + std::string(15, ' '));
  EXPECT_EQ(lines[5], "@     Problem............: Error opening file");
  // The name shows up to its first blank; the fields wrap at 53 characters.
  EXPECT_EQ(lines[6], B + "File name = \"NO\",  Unit no.= 10,  I/O error =   " + std::to_string(ENOENT) + "    ");
  EXPECT_EQ(lines[7], B + std::string(9, ' ') + "(" + std::strerror(ENOENT) + ")");
  EXPECT_EQ(lines[9], "@     Reference..........: (SOPSQ,   1)");
}

TEST_F(SeqFiles, BlankNameIsRefusedSilently) {
  kalvir::test::Unit6Capture out;
  std::int32_t ierr = 0;
  SOPSQ("    ", "FORMATTED", "UNKNOWN", 3, ierr);
  EXPECT_EQ(ierr, 1);
  EXPECT_EQ(out.finish(), "");
  EXPECT_FALSE(io::unit_is_open(3));
}

TEST_F(SeqFiles, ExistingFileIsReadFromItsStart) {
  std::ofstream("M.PAR") << "first\nsecond\n";
  std::int32_t ierr = -1;
  SOPSQ("M.PAR", "FORMATTED", "UNKNOWN", 3, ierr);
  ASSERT_EQ(ierr, 0);
  std::string line;
  EXPECT_EQ(io::read_line(3, line), 0);
  EXPECT_EQ(line, "first");
  // Opening again on the same unit starts over.
  SOPSQ("M.PAR", "FORMATTED", "OLD", 3, ierr);
  ASSERT_EQ(ierr, 0);
  EXPECT_EQ(io::read_line(3, line), 0);
  EXPECT_EQ(line, "first");
  SCLFIL("KEEP", 3, ierr);
  EXPECT_EQ(ierr, 0);
  EXPECT_TRUE(kalvir::test::read_file("M.PAR").size() > 0);
}

TEST_F(SeqFiles, LongNamesAreCutAt255) {
  const std::string name(300, 'n');
  std::int32_t ierr = -1;
  SOPSQ(name, "UNFORMATTED", "UNKNOWN", 4, ierr);
  ASSERT_EQ(ierr, 0);
  EXPECT_EQ(io::unit_name(4), std::string(255, 'n'));
  SCLFIL("DELETE", 4, ierr);
  EXPECT_EQ(ierr, 0);
  EXPECT_FALSE(io::file_exists(std::string(255, 'n')));
}

TEST_F(SeqFiles, ClosingAUnitThatIsNotOpenIsNoError) {
  kalvir::test::Unit6Capture out;
  std::int32_t ierr = -1;
  SCLFIL("DELETE", 17, ierr);
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(out.finish(), "");
}

TEST_F(SeqFiles, UnknownKeywordsAreOpenFailures) {
  kalvir::test::Unit6Capture out;
  std::int32_t ierr = 0;
  SOPSQ("X.DAT", "BINARY", "UNKNOWN", 4, ierr);
  EXPECT_EQ(ierr, EINVAL);
  EXPECT_FALSE(io::unit_is_open(4));
  EXPECT_NE(out.finish().find("Error opening file"), std::string::npos);
}

}  // namespace seq_files_test
