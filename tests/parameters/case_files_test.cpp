// Per-case files: the file root of each case, the case print and CSV files
// that PARFIL opens, and the GFF files of the output points, on the
// three-submodel model built in memory.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/shared_blocks.h"
#include "runtime/parameters/case_files.h"
#include "runtime/parameters/csv_file.h"
#include "runtime/platform/fixed_string.h"
#include "runtime/platform/units.h"
#include "runtime/program/startup.h"
#include "tests/support/message_frames.h"
#include "tests/support/model_fixture.h"
#include "tests/support/test_support.h"

namespace case_files_test {

namespace fs = std::filesystem;
using kalvir::test::lines_of;
namespace io = kalvir::platform;

struct RootCase {
  const char* what;
  const char* model;
  std::int32_t number;
  const char* title;
  const char* root;
};

class FileRoots : public ::testing::TestWithParam<RootCase> {};

TEST_P(FileRoots, NameTheCaseFiles) {
  const RootCase& c = GetParam();
  kalvir::Chars<50> root;
  std::int32_t ierr = -1;
  PARFIL(0, c.model, 0, c.number, 0, "", root.span(), c.title, 0, 6, 11, ierr);
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(root.trimmed(), c.root);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileRoots,
    ::testing::Values(RootCase{"base_case", "ORVIK_TESTBED_01", 0, "ORIGINAL", "ORVIK_TE_PAR0000_ORIGINAL"},
                      RootCase{"blanks_become_dashes", "ORVIK_TESTBED_01", 12, "hot case 2  ", "ORVIK_TE_PAR0012_hot-case-2"},
                      RootCase{"untitled", "ORVIK_TESTBED_01", 7, "", "ORVIK_TE_PAR0007"},
                      RootCase{"short_model_name", "ABC", 3, "X", "ABC_PAR0003_X"},
                      RootCase{"inner_blank_of_the_stem_stays", "AB CDEFGHIJ", 1, "", "AB CDEFG_PAR0001"},
                      RootCase{"longest_root", "ORVIK_TESTBED_01", 9999, "ABCDEFGHIJKLMNOPQRSTUVWX",
                               "ORVIK_TE_PAR9999_ABCDEFGHIJKLMNOPQRSTUVWX"},
                      RootCase{"no_way_out_of_the_directory", "M", 4, "../x", "M_PAR0004_.--x"},
                      RootCase{"no_path_separators", "M", 5, "a/b\\c:d", "M_PAR0005_a-b-c-d"},
                      RootCase{"no_double_dots", "M", 6, "v1...2", "M_PAR0006_v1.-.2"}),
    kalvir::test::CaseName{});

class CaseFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    kalvir::test::build_model(kalvir::test::three_submodel_model());
    kalvir::test::reset_messages();
    FLAGS(flagw::NEXTINT) = 3;
    JOBINF.model = "THREE";
    GLOC.PARNAM = "ORIGINAL";
    kalvir::parameters::reset_gff_for_tests();
  }
  void TearDown() override {
    kalvir::parameters::reset_gff_for_tests();
    io::unit_close(kalvir::unit::kCsv);
    io::unit_close(io::kStdoutUnit);
    kalvir::test::release_model();
  }

  // PARFIL for case NUMBER with the CSV list (T1).
  std::int32_t open_case(std::int32_t number, std::int32_t parmonly, std::int32_t csvmult, std::int32_t outmult = 0) {
    std::int32_t ierr = -1;
    PARFIL(parmonly, "THREE", csvmult, number, 1, kalvir::padded("(T1)", 256), root_.span(),
           number == 0 ? "ORIGINAL" : "", outmult, io::kStdoutUnit, kalvir::unit::kCsv, ierr);
    return ierr;
  }
  void row(std::int32_t number) {
    GLOC.PARNAM = number == 0 ? "ORIGINAL" : "";
    std::int32_t status = -1;
    PARCSV(kalvir::padded("(T1)", 256), number, 1, kalvir::unit::kCsv, status);
    EXPECT_EQ(status, 0);
  }

  kalvir::test::TempDir dir_;
  kalvir::test::ScopedCwd cwd_{dir_.path()};
  kalvir::Chars<50> root_;
};

TEST_F(CaseFiles, OneCsvFileForTheRunGetsOneHeaderAndEveryRow) {
  for (std::int32_t n = 0; n <= 2; ++n) {
    ASSERT_EQ(open_case(n, 0, 0), 0);
    row(n);
  }
  io::unit_close(kalvir::unit::kCsv);
  const auto lines = lines_of(dir_.path() / "THREE_PAR.csv");
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[2], "Parameter case number,Parameter case name,Time,T1");
  EXPECT_EQ(lines[3].substr(0, 11), "0,ORIGINAL,");
  EXPECT_EQ(lines[4].substr(0, 3), "1,,");
  EXPECT_EQ(lines[5].substr(0, 3), "2,,");
  EXPECT_FALSE(fs::exists(dir_.path() / "THREE_PAR0001.csv"));
}

TEST_F(CaseFiles, WithoutTheBaseCaseTheRunsFileOpensAtCaseOne) {
  ASSERT_EQ(open_case(1, 1, 0), 0);
  row(1);
  ASSERT_EQ(open_case(2, 1, 0), 0);
  row(2);
  io::unit_close(kalvir::unit::kCsv);
  EXPECT_EQ(lines_of(dir_.path() / "THREE_PAR.csv").size(), 5u);
}

TEST_F(CaseFiles, OneCsvFilePerCase) {
  for (std::int32_t n = 0; n <= 1; ++n) {
    ASSERT_EQ(open_case(n, 0, 1), 0);
    row(n);
  }
  io::unit_close(kalvir::unit::kCsv);
  EXPECT_EQ(lines_of(dir_.path() / "THREE_PAR0000_ORIGINAL.csv").size(), 4u);
  EXPECT_EQ(lines_of(dir_.path() / "THREE_PAR0001.csv").size(), 4u);
  EXPECT_FALSE(fs::exists(dir_.path() / "THREE_PAR.csv"));
}

TEST_F(CaseFiles, EachCasePrintsIntoItsOwnFile) {
  ASSERT_EQ(open_case(0, 0, 0, 1), 0);
  io::write_line(io::kStdoutUnit, "base case print");
  ASSERT_EQ(open_case(1, 0, 0, 1), 0);
  io::write_line(io::kStdoutUnit, "case 1 print");
  io::unit_close(io::kStdoutUnit);
  EXPECT_EQ(lines_of(dir_.path() / "THREE_PAR0000_ORIGINAL.out"), std::vector<std::string>{"base case print"});
  EXPECT_EQ(lines_of(dir_.path() / "THREE_PAR0001.out"), std::vector<std::string>{"case 1 print"});
}

TEST_F(CaseFiles, ACsvFileThatCannotBeOpenedFailsTheCase) {
  fs::create_directory(dir_.path() / "THREE_PAR.csv");
  std::int32_t ierr = 0;
  const auto messages = kalvir::test::capture_messages([&] { ierr = open_case(0, 0, 0); });
  EXPECT_NE(ierr, 0);
  EXPECT_FALSE(messages.empty());
}

TEST_F(CaseFiles, ANewGffFileForEachCaseAndEachFurtherSolution) {
  GLOC.FORMAT = "*";
  const auto point = [&](std::int32_t ncase, double time) {
    GLOR.TIMEN = time;
    PARGFF(kalvir::padded("NODES", 256), "THREE_PAR0001", ncase, kalvir::unit::kGff);
  };
  point(1, 0.0);
  point(1, 10.0);
  point(1, 10.0);  // the same time again: a new solution
  point(1, 5.0);   // an earlier time: a third one
  point(2, 5.0);   // the next case (its root, here the same text, gets count 1 again)
  point(2, 6.0);
  kalvir::parameters::reset_gff_for_tests();
  const auto records = [&](const std::string& name) {
    int n = 0;
    bool data = false;
    for (const std::string& l : lines_of(dir_.path() / name)) {
      if (data && !l.empty() && l[0] == '1') ++n;  // the same node records at every output point
      if (l == "End_Header") data = true;
    }
    return n;
  };
  const int one_point = records("THREE_PAR0001.GFF2");
  ASSERT_GT(one_point, 0);
  EXPECT_EQ(records("THREE_PAR0001.GFF"), 2 * one_point) << "case 2 wrote over the file of case 1's first solution";
  EXPECT_EQ(records("THREE_PAR0001.GFF3"), one_point);
  EXPECT_FALSE(fs::exists(dir_.path() / "THREE_PAR0001.GFF4"));
  EXPECT_EQ(FLAGS(flagw::NEXTINT), 3) << "the work space is given back";
}

}  // namespace case_files_test
