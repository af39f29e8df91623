// Solution headings (all variants), the number forms of LFMTR, the warning
// page of a runaway temperature and the cycle report of the cyclic analysis.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/shared_blocks.h"
#include "runtime/output/print/cycle_report.h"
#include "runtime/output/print/page_layout.h"
#include "runtime/output/print/solution_heading.h"
#include "runtime/platform/units.h"
#include "tests/output/print_job_fixture.h"
#include "tests/support/model_fixture.h"
#include "tests/support/test_support.h"

namespace print_heading_test {

using kalvir::test::split_lines;
using kalvir::test::undefined_real;
using std::string;
using Records = std::vector<string>;

string blanks(std::size_t n) { return string(n, ' '); }

constexpr std::int32_t kUndefined = 2147483647;

// One submodel ORVIK_TESTBED_01 with thermal nodes 101 and 102.
kalvir::test::ModelSpec one_submodel() {
  kalvir::test::ModelSpec spec;
  kalvir::test::SubmodelSpec main;
  main.name = "ORVIK_TESTBED_01";
  main.thermal = {101, 102};
  main.fluid = {301};
  spec.submodels = {main};
  return spec;
}

class PrintHeading : public ::testing::Test {
 protected:
  void SetUp() override {
    kalvir::test::build_model(one_submodel());
    kalvir::test::set_print_job(20);
    GLOR = GlorBlock{};
    GLOI.LOOPCT = 12;
    GLOI.FSTEPS = 3;
    GLOI.NCSGMN = kUndefined;
    GLOI.FNCSGM = kUndefined;
    GLOC.SOLVER = "TRTH";
    GLOC.MODULE = "SLCRNC";
    GLOR.TIMEN = 100.0;
    GLOR.DTIMEU = 0.5;
    GLOR.CSGMIN = 2.5;
    GLOR.RELXMC = 0.25;
    GLOR.DTCOUR = 1.5;
    GLOR.ENBALA = 2.0;
    GLOR.ENBALR = 0.5;
    GLOR.FCSGMN = 7.0;
  }
  void TearDown() override {
    GLOC.SOLVER = "";
    GLOC.MODULE = "";
    kalvir::platform::close_all_units();
  }
  static Records printed(const std::function<void()>& body) {
    kalvir::test::Unit6Capture capture;
    body();
    return split_lines(capture.finish());
  }
};

TEST_F(PrintHeading, NumberForms) {
  struct Case {
    std::int32_t iw, id, is;
    double x;
    string form;
    string shown;
  };
  const std::vector<Case> cases{
      {10, 2, 2, 0.0, "(F10.2)", "      0.00"},
      {10, 2, 2, 100.0, "(F10.2)", "    100.00"},
      {10, 2, 2, 1.0e7, "(1PE10.1)", "   1.0E+07"},
      {10, 2, 2, 0.05, "(1PE10.1)", "   5.0E-02"},
      {10, 2, 2, 0.1, "(F10.2)", "      0.10"},
      {10, 2, 2, 9999999.0, "(F10.2)", "9999999.00"},
      {10, 2, 2, -999999.0, "(F10.2)", "-999999.00"},
      {10, 2, 2, -1.0e6, "(1PE10.1)", "  -1.0E+06"},
      {10, 2, 2, 1.0e100, "(1PE10.1)", "   1.0+100"},
      {10, 4, 4, -20000.0, "(1PE10.3)", "-2.000E+04"},
      {10, 4, 4, -9999.0, "(F10.4)", "-9999.0000"},
      {10, 4, 4, 0.5, "(F10.4)", "    0.5000"},
      {10, 4, 4, 1.0e5, "(1PE10.3)", " 1.000E+05"},
      {10, 4, 4, 0.001, "(1PE10.3)", " 1.000E-03"},
      {7, 4, 1, 0.5, "(F7.4)", " 0.5000"},
      {7, 4, 1, 0.0001, "(F7.4)", " 0.0001"},
      {7, 4, 1, 150.0, "(1PE7.0)", " 2.E+02"},
      {7, 4, 1, -15.0, "(1PE7.0)", "-2.E+01"},
      {10, 2, 2, undefined_real(), "(F10.0)", "        0."},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LFMTR(c.iw, c.id, c.is, c.x), kalvir::padded(c.form, 14)) << c.x;
    EXPECT_EQ(kalvir::print::heading_value(c.iw, c.id, c.is, c.x), c.shown) << c.x;
  }
}

// The example heading: TRTH with the node reference of node 101.
TEST_F(PrintHeading, ThermalTransientWithNodeReference) {
  GLOI.NCSGMN = 1;
  const Records r = printed(PRHEAD);
  const Records expected{
      "",
      "  TIMEN =    100.00      MODULE SLCRNC      DTIMEU =    0.5000",
      " CSGMIN =    2.5000  AT NODE 101 IN SUB-MODEL  ",
      "+" + blanks(46) + "ORVIK_TESTBED_01" + blanks(18),
      "",
      ""};
  EXPECT_EQ(r, expected);
  EXPECT_EQ(r[2].size(), 47U);
  EXPECT_EQ(PRTINF(2), 26);
}

TEST_F(PrintHeading, Variants) {
  const string t = "  TIMEN =    100.00";
  const string r = "      MODULE SLCRNC    ";
  const string loops = "  LOOPCT =    12";
  const string relax = "  RELXMC =    0.2500";
  const string bal = "ENBALA =    2.0000      ENBALR = 0.5000";
  const string dt = "  DTIMEU =    0.5000";
  struct Case {
    string solver, module;
    std::int32_t width;
    Records expected;
    std::int32_t lines;
  };
  const std::vector<Case> cases{
      {"SSTH", "SLCRNC", 101, {"", t + r + loops, " " + bal, "", ""}, 5},
      {"SSTH", "SLCRNC", 102, {"", t + r + loops + "      " + bal, "", ""}, 4},
      {"TRTH", "SLCRNC", 80, {"", t + r + dt, " CSGMIN =    2.5000", "", ""}, 5},
      {"CYTH", "SLCRNC", 132, {"", t + "      MODULE SLCRNC-CYC" + dt, " CSGMIN =    2.5000", "", ""}, 5},
      {"SSFL", "FLTNTF", 125,
       {"", t + "      MODULE FLTNTF    " + loops, " " + bal + "    DTCOUR =     1.5000", "", ""}, 5},
      {"SSFL", "FLTNTF", 126,
       {"", t + "      MODULE FLTNTF    " + loops + "      " + bal + "    DTCOUR =     1.5000", "", ""}, 4},
      {"TRFL1P", "FLTMTS", 128,
       {"", t + "      MODULE FLTMTS    " + relax,
        " FSTEPS =     3      DTIMEU =    0.5000      DTCOUR =    1.5000", " CSGMIN =    2.5000",
        " FCSGMN =    7.0000", "", ""},
       8},
      {"TRFL1P", "FLTMTS", 129,
       {"", t + "      MODULE FLTMTS    " + relax + "      FSTEPS =     3      DTIMEU =    0.5000      DTCOUR =    1.5000",
        " CSGMIN =    2.5000", " FCSGMN =    7.0000", "", ""},
       7},
      {"TRFL1P", "FLTNTF", 108,
       {"", t + "      MODULE FLTNTF    " + relax, " DTIMEU =    0.5000      DTCOUR =    1.5000",
        " CSGMIN =    2.5000", "", ""},
       6},
      {"TRFL1P", "FLTNTF", 109,
       {"", t + "      MODULE FLTNTF    " + relax + "      DTIMEU =    0.5000      DTCOUR =    1.5000",
        " CSGMIN =    2.5000", "", ""},
       5},
      {"TRFL2P", "FGENFI", 84, {"", t + "      MODULE FGENFI    " + dt, " DTCOUR =    1.5000", "", "", ""}, 6},
      {"TRFL2P", "FGENFI", 85, {"", t + "      MODULE FGENFI    " + dt + "      DTCOUR =    1.5000", "", "", ""}, 5},
      {"", "", 80, {"", t, "", ""}, 4},
      {"XYZ", "SLCRNC", 80, {"", t, "", ""}, 4},
  };
  for (const Case& c : cases) {
    GLOC.SOLVER = c.solver;
    GLOC.MODULE = c.module;
    GLOI.WIDTH = c.width;
    PRTINF(2) = 20;
    EXPECT_EQ(printed(PRHEAD), c.expected) << c.solver << " " << c.module << " " << c.width;
    EXPECT_EQ(PRTINF(2), 20 + c.lines) << c.solver << " " << c.module << " " << c.width;
  }
}

TEST_F(PrintHeading, FluidNodeReference) {
  GLOC.SOLVER = "TRFL1P";
  GLOC.MODULE = "FLTMTS";
  GLOI.WIDTH = 132;
  GLOI.NCSGMN = 2;
  GLOI.FNCSGM = 3;  // the fluid node: internal index NNODE + 1
  const Records r = printed(PRHEAD);
  ASSERT_EQ(r.size(), 8U);
  EXPECT_EQ(r[2], " CSGMIN =    2.5000  AT NODE 102 IN SUB-MODEL  ");
  EXPECT_EQ(r[3], "+" + blanks(46) + "ORVIK_TESTBED_01" + blanks(70));
  EXPECT_EQ(r[4], " FCSGMN =    7.0000  AT NODE 301 IN SUB-MODEL  ");
  EXPECT_EQ(r[5], "+" + blanks(46) + "ORVIK_TESTBED_01" + blanks(70));
  EXPECT_EQ(PRTINF(2), 20 + 4 + 1 + 1 + 1 + 2);
}

TEST_F(PrintHeading, NodeIndexOutsideTheModelGivesNoReference) {
  GLOI.NCSGMN = 99;
  const Records r = printed(PRHEAD);
  ASSERT_EQ(r.size(), 5U);
  EXPECT_EQ(r[2], " CSGMIN =    2.5000");
}

TEST_F(PrintHeading, NewPageWhenFewerThanTenLinesAreLeft) {
  PRTINF(2) = 51;
  Records r = printed(PRHEAD);
  ASSERT_EQ(r.size(), 12U);
  EXPECT_EQ(r[0], "1");
  EXPECT_EQ(PRTINF(2), 12);
  PRTINF(2) = 50;
  r = printed(PRHEAD);
  EXPECT_EQ(r.size(), 5U);
}

TEST_F(PrintHeading, WarningPageOnAPageWithRoom) {
  const Records r = printed([] { PRTWAR(2); });
  const Records expected{" TEMPERATURE GREATER THAN 1.0E10 DETECTED",
                         "",
                         " AT NODE NUMBER        102 IN SUBMODEL",
                         "",
                         " ORVIK_TESTBED_01 ",
                         "",
                         ""};
  EXPECT_EQ(r, expected);
  EXPECT_EQ(PRTINF(2), 27);
}

TEST_F(PrintHeading, WarningPageStartsAPageWithTheHeading) {
  PRTINF(2) = 56;  // 4 left, 5 needed
  const Records r = printed([] { PRTWAR(1); });
  ASSERT_EQ(r.size(), 7U + 5U + 7U);
  EXPECT_EQ(r[0], "1");
  EXPECT_EQ(r[8], "  TIMEN =    100.00      MODULE SLCRNC      DTIMEU =    0.5000");
  EXPECT_EQ(r[12], " TEMPERATURE GREATER THAN 1.0E10 DETECTED");
  EXPECT_EQ(PRTINF(2), 7 + 5 + 7);
}

TEST_F(PrintHeading, WarningPageWrapsALongPath) {
  kalvir::test::ModelSpec spec;
  for (int level = 0; level < 7; ++level) {
    kalvir::test::SubmodelSpec s;
    s.name = string(23, static_cast<char>('A' + level)) + std::to_string(level);
    s.level = level;
    s.thermal = {level + 1};
    spec.submodels.push_back(s);
  }
  spec.submodels[1].name = "SHORT NAME";  // a name is taken up to its first blank
  kalvir::test::build_model(spec);
  PRTINF(2) = 20;
  const Records r = printed([] { PRTWAR(7); });
  ASSERT_EQ(r.size(), 8U);
  EXPECT_EQ(r[2], " AT NODE NUMBER          7 IN SUBMODEL");
  string first = " " + string(23, 'A') + "0:SHORT:";
  for (char c = 'C'; c <= 'F'; ++c) first += string(23, c) + std::to_string(c - 'A') + ":";
  EXPECT_EQ(r[4], first);
  // The last record runs up to the blank column that follows the last name.
  EXPECT_EQ(r[5], " " + string(23, 'G') + "6 ");
  EXPECT_EQ(PRTINF(2), 20 + 4 + 1 + 3);
}

TEST_F(PrintHeading, CycleReportOnThePrintUnit) {
  kalvir::test::build_model(kalvir::test::three_submodel_model());
  const int sub1_node2 = kalvir::test::internal_node(2, 2);
  const Records r = printed([&] { LPRCYC(-0.00123, 7, 1, sub1_node2, 1.5); });
  const Records expected{"",
                         " SOLCYC cycle number: 7",
                         "   Max delta T =  1.5000E+00",
                         "     at node 2",
                         "     in submodel MAIN:SUB1",
                         "   Max delta dT/dt = -1.2300E-03",
                         "     at node 1",
                         "     in submodel MAIN"};
  EXPECT_EQ(r, expected);
  EXPECT_EQ(PRTINF(2), 26);

  PRTINF(2) = 30;
  EXPECT_EQ(printed([] { LPRCYC(0.0, 8, 0, -1, 0.0); }),
            (Records{"", " SOLCYC cycle number: 8", "   Max delta T = Not calculated ",
                     "   Max delta dT/dt = Not calculated "}));
  EXPECT_EQ(PRTINF(2), 36);

  // Lines used + 5 reaching the lines per page: a new page first.
  PRTINF(2) = 55;
  const Records paged = printed([] { LPRCYC(0.0, 9, 0, 0, 0.0); });
  ASSERT_EQ(paged.size(), 11U);
  EXPECT_EQ(paged[0], "1");
  EXPECT_EQ(PRTINF(2), 13);
}

TEST_F(PrintHeading, CycleReportOnTheTraceFile) {
  kalvir::test::TempDir dir;
  ASSERT_EQ(kalvir::platform::unit_open(13, dir.file("trace"), kalvir::platform::Form::Formatted,
                                        kalvir::platform::OpenStatus::Replace),
            0);
  GLOI.TRACE = 1;
  PRTINF(2) = 58;
  const Records r = printed([] { LPRCYC(0.0, 3, 0, 0, 0.0); });
  GLOI.TRACE = 0;
  kalvir::platform::unit_close(13);
  EXPECT_TRUE(r.empty());
  EXPECT_EQ(PRTINF(2), 58);
  EXPECT_EQ(split_lines(kalvir::test::read_file(dir.file("trace"))),
            (Records{"", " SOLCYC cycle number: 3", "   Max delta T = Not calculated ",
                     "   Max delta dT/dt = Not calculated "}));
}

}  // namespace print_heading_test
