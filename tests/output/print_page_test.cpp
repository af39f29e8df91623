// Page start and submodel paths of the printed output: banner records, the
// line counter, the HEADER line, the page-width check and LSPCNM's wrapping.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/messages.h"
#include "runtime/control/shared_blocks.h"
#include "runtime/output/print/page_layout.h"
#include "runtime/platform/process.h"
#include "tests/output/print_job_fixture.h"
#include "tests/support/model_fixture.h"
#include "tests/support/test_support.h"

namespace print_page_test {

using kalvir::test::split_lines;
using std::string;

string blanks(std::size_t n) { return string(n, ' '); }

class PrintPage : public ::testing::Test {
 protected:
  void SetUp() override {
    kalvir::test::set_print_job(1);
    GLOI.MLEVEL = 0;
    kalvir::messages_reset_for_tests();
  }
  void TearDown() override {
    GLOC.HEADER = "";
    GLOI.WIDTH = 0;
  }
  // Records printed by body on the print unit.
  static std::vector<string> printed(const std::function<void()>& body) {
    kalvir::test::Unit6Capture capture;
    body();
    return split_lines(capture.finish());
  }
};

TEST_F(PrintPage, BannerAtWidth80AndPage3) {
  PRTINF(4) = 3;
  PRTINF(2) = 44;
  const auto r = printed(PRPAGE);
  const std::vector<string> expected{
      "1",
      " KALVIR-HUB  2020" + blanks(54) + "Page     3",
      " 05 March     2026  14:07:09" + blanks(29) + blanks(8) + "ORVIK_TESTBED_01",
      "",
      "",
      "",
      ""};
  EXPECT_EQ(r, expected);
  EXPECT_EQ(r[1].size(), 81U);
  EXPECT_EQ(r[2].size(), 81U);
  EXPECT_EQ(PRTINF(2), 7);
  EXPECT_EQ(PRTINF(4), 4);
}

TEST_F(PrintPage, BannerAtWidth132WithHeader) {
  GLOI.WIDTH = 132;
  PRTINF(4) = 12345;
  JOBINF.model = "MODEL";
  string header(132, ' ');
  header.back() = 'Z';  // a mark in the last column alone counts
  GLOC.HEADER = header;
  const auto r = printed(PRPAGE);
  ASSERT_EQ(r.size(), 9U);
  EXPECT_EQ(r[1], " KALVIR-HUB  2020" + blanks(106) + "Page 12345");
  EXPECT_EQ(r[1].find("Page"), 123U);  // print column 123
  EXPECT_EQ(r[2], " 05 March     2026  14:07:09" + blanks(81) + blanks(19) + "MODEL");
  EXPECT_EQ(r[3], "");
  EXPECT_EQ(r[4], " " + blanks(131) + "Z");
  for (std::size_t i = 5; i < 9; ++i) EXPECT_EQ(r[i], "");
  EXPECT_EQ(PRTINF(2), 9);
}

TEST_F(PrintPage, PageNumbersBeyondFiveDigitsAndFullModelNames) {
  PRTINF(4) = 100000;
  JOBINF.model = "ABCDEFGHIJKLMNOPQRSTUVWX";
  const auto r = printed(PRPAGE);
  EXPECT_EQ(r[1].substr(71), "Page *****");
  EXPECT_EQ(r[2].substr(57), "ABCDEFGHIJKLMNOPQRSTUVWX");
  EXPECT_EQ(PRTINF(4), 100001);
}

TEST_F(PrintPage, WidthOutsideItsLimitsIsFatal) {
  for (const std::int32_t width : {79, 133}) {
    GLOI.WIDTH = width;
    PRTINF(4) = 5;
    int status = -1;
    const auto messages = kalvir::test::capture_messages([&] { status = kalvir::platform::run_program(PRPAGE); });
    EXPECT_EQ(status, 1);
    ASSERT_EQ(messages.size(), 1U);
    EXPECT_EQ(messages[0].severity, "FATAL ERROR");
    EXPECT_EQ(messages[0].text, kalvir::test::printed("Page width outside allowable limits@Control constant "
                                                      "WIDTH should be between 80 and 132"));
    EXPECT_EQ(messages[0].routine, "PRPAGE");
    EXPECT_EQ(messages[0].code, 1);
    EXPECT_EQ(PRTINF(4), 5);  // no page was started
  }
}

std::vector<kalvir::Chars<24>> path_of(std::initializer_list<const char*> names) {
  std::vector<kalvir::Chars<24>> out;
  for (const char* n : names) out.emplace_back(n);
  return out;
}

TEST_F(PrintPage, SubmodelPathOnOneLine) {
  PRTINF(2) = 20;
  const auto path = path_of({"MAIN", "SUB1"});
  const auto r = printed([&] { LSPCNM(path, 2, 47, 80); });
  ASSERT_EQ(r.size(), 1U);
  EXPECT_EQ(r[0], "+" + blanks(46) + "MAIN:SUB1" + blanks(80 - 46 - 9));
  EXPECT_EQ(PRTINF(2), 21);
}

TEST_F(PrintPage, SubmodelPathWrapsToColumnOne) {
  PRTINF(2) = 20;
  // 24-character names from column 40 at width 80: the second name would
  // reach column 80, so it starts the next line.
  const auto path = path_of({"AAAAAAAAAAAAAAAAAAAAAAAA", "BBBBBBBBBBBBBBBBBBBBBBBB", "CCCC"});
  const auto r = printed([&] { LSPCNM(path, 3, 40, 80); });
  ASSERT_EQ(r.size(), 3U);
  EXPECT_EQ(r[0], "+" + blanks(39) + string(24, 'A') + ":" + blanks(80 - 64));
  EXPECT_EQ(r[1], "");
  EXPECT_EQ(r[2], "+" + string(24, 'B') + ":CCCC" + blanks(80 - 29));
  EXPECT_EQ(PRTINF(2), 22);
}

TEST_F(PrintPage, SubmodelPathEstimateAndPageStart) {
  // The name and its ":" reach column 80 exactly: the estimate counts a wrap
  // (2 lines) although the name is printed on the first line.
  const auto path = path_of({"NAME"});
  PRTINF(2) = 58;
  auto r = printed([&] { LSPCNM(path, 1, 76, 80); });
  ASSERT_EQ(r.size(), 1U);
  EXPECT_EQ(r[0], "+" + blanks(75) + "NAME ");
  EXPECT_EQ(PRTINF(2), 60);
  // One line left and two needed: a new page first.
  PRTINF(2) = 59;
  r = printed([&] { LSPCNM(path, 1, 76, 80); });
  ASSERT_EQ(r.size(), 8U);
  EXPECT_EQ(r[0], "1");
  EXPECT_EQ(PRTINF(2), 9);
  // Exactly the lines needed: the same page.
  PRTINF(2) = 58;
  r = printed([&] { LSPCNM(path, 1, 76, 80); });
  EXPECT_EQ(r.size(), 1U);
}

TEST_F(PrintPage, SubmodelPathNeverPassesColumn132) {
  PRTINF(2) = 10;
  const auto path = path_of({"ABC"});
  const auto r = printed([&] { LSPCNM(path, 1, 300, 500); });
  ASSERT_EQ(r.size(), 3U);
  EXPECT_EQ(r[0], "+" + blanks(132));
  EXPECT_EQ(r[2], "+ABC" + blanks(129));
}

}  // namespace print_page_test
