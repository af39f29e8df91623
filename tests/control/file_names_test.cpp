// Run file names from the model name and the extension table.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "runtime/control/file_names.h"
#include "runtime/platform/arrays.h"
#include "tests/support/test_support.h"

namespace file_names_test {

TEST(RunFileNames, BuildsTheNamesFromTheStem) {
  kalvir::CharArray<12> names(23);
  std::int32_t ierr = 99;
  SFLNAM("ORVIK_TESTBED_01", 23, names, ierr);
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(names(1), "ORVIK_TE.MDB");
  EXPECT_EQ(names(10), "ORVIK_TE.DMP");
  EXPECT_EQ(names(12), "ORVIK_TE.PAR");
  EXPECT_EQ(names(13), "ORVIK_TE.COM");
  EXPECT_EQ(names(20), "ORVIK_TE.MON");
  EXPECT_EQ(names(22), "ORVIK_TE.TRA");
  EXPECT_EQ(names(23), "ORVIK_TE.h  ");

  std::array<kalvir::Chars<40>, 22> wide;
  SFLNAM("PANEL", 22, wide, ierr);
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(wide[0], "PANEL.MDB");
  EXPECT_EQ(wide[0].view(), kalvir::padded("PANEL.MDB", 40));
  EXPECT_EQ(wide[21], "PANEL.TRA");
  // Characters after the eighth play no part, blanks included.
  SFLNAM("ORVIK_TE STUFF", 1, wide, ierr);
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(wide[0], "ORVIK_TE.MDB");
}

TEST(RunFileNames, RefusesNamesThatCannotBeBuilt) {
  struct Case {
    const char* model;
    std::int32_t n;
    std::size_t width;
    std::int32_t ierr;
  };
  const std::vector<Case> cases{
      {"AB CD", 1, 40, -1},              // inner blank in the stem
      {" PANEL", 1, 40, -1},             // leading blank
      {"", 1, 40, -1},                   // blank model name
      {"ORVIK_TESTBED_01", 24, 40, 1},   // beyond the table
      {"ORVIK_TESTBED_01", 1, 8, -1},    // stem and extension do not fit
      {"ORVIK_TESTBED_01", 1, 11, -1},
      {"PANEL", 1, 8, -1},               // ".MDB" would fill the field to its end
      {"PANEL", 1, 9, 0},                // "PANEL.MDB" fits exactly
      {"ORVIK_TESTBED_01", 0, 40, 0},    // nothing asked for
  };
  for (const Case& c : cases) {
    std::vector<char> storage(c.width * 2, '#');
    std::int32_t ierr = 99;
    SFLNAM(c.model, c.n, kalvir::CharRowsMut(storage.data(), c.width, 2), ierr);
    EXPECT_EQ(ierr, c.ierr) << c.model << " n=" << c.n << " width=" << c.width;
    if (ierr != 0 || c.n == 0) {
      EXPECT_EQ(std::string(storage.begin(), storage.end()), std::string(c.width * 2, '#')) << c.model;
    }
  }
}

TEST(RunFileNames, ExistenceOfAListOfNames) {
  kalvir::test::TempDir dir;
  const std::string present = dir.file("A.DMP");
  std::ofstream(present) << "x";
  kalvir::CharArray<256> names(3);
  names.set(1, "");
  names.set(2, present);
  names.set(3, dir.file("missing"));

  bool exists = false;
  std::int32_t ierr = 99;
  SFLXST(names, 3, exists, ierr);
  EXPECT_TRUE(exists);
  EXPECT_EQ(ierr, 0);

  kalvir::CharArray<256> absent(2);
  absent.set(1, dir.file("missing"));
  absent.set(2, "");
  SFLXST(absent, 2, exists, ierr);
  EXPECT_FALSE(exists);
  EXPECT_EQ(ierr, 0);
}

TEST(RunFileNames, CopyIsCutOrPadded) {
  std::array<char, 4> shorter{};
  SFLDEP("ABCDEF", shorter);
  EXPECT_EQ(std::string(shorter.data(), 4), "ABCD");
  std::array<char, 6> longer{};
  SFLDEP("AB", longer);
  EXPECT_EQ(std::string(longer.data(), 6), "AB    ");
  SFLDEP("AB", std::span<char>());  // no room: nothing happens
}

}  // namespace file_names_test
