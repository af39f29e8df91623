// The framed messages of SETERX and ERRNEW, MESBLD and the ERROR stop.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/messages.h"
#include "runtime/control/shared_blocks.h"
#include "runtime/platform/process.h"
#include "runtime/platform/units.h"
#include "tests/support/message_frames.h"
#include "tests/support/model_fixture.h"
#include "tests/support/test_support.h"

namespace messages_test {

namespace io = kalvir::platform;
using kalvir::test::joined_lines;
using kalvir::test::split_lines;

const std::string B = "@" + std::string(26, ' ');  // the blank label
const std::string kTop1 = "@" + std::string(52, '-') + " | MESSAGE    1 |-";
const std::string kBottom = "@" + std::string(70, '-');

class Messages : public ::testing::Test {
 protected:
  void SetUp() override {
    kalvir::test::reset_messages();
    PRTINF(2) = 1;
  }
  void TearDown() override {
    GLOI.MLEVEL = 0;
    GLOI.MSHORT = 0;
    GLOI.TRACE = 0;
    io::close_all_units();
  }
};

constexpr const char* kScomld =
    "Different Kalvir version for MDB file and solution@Repreprocess input file to produce consistent  MDB "
    "file";

TEST_F(Messages, FatalFrameIsPrintedAndEndsTheRun) {
  kalvir::test::Unit6Capture out;
  const int status = io::run_program([] { SETERX(kScomld, 4, 4, "SCOMLD"); });
  EXPECT_EQ(status, 1);
  EXPECT_EQ(out.finish(), joined_lines({B,
                                  kTop1,
                                  B,
                                  "@@@@  FATAL ERROR" + std::string(16, ' '),
                                  B,
                                  "@     Problem............: Different Kalvir version for MDB file and ",
                                  B + "solution",
                                  B + "Repreprocess input file to produce ",
                                  B + "consistent  MDB file",
                                  B,
                                  "@     Reference..........: (SCOMLD,   4)",
                                  B,
                                  kBottom,
                                  B}));
}

TEST_F(Messages, ShortFormLeavesOutAllButTheProblem) {
  GLOI.MSHORT = 1;
  kalvir::test::Unit6Capture out;
  EXPECT_EQ(io::run_program([] { SETERX(kScomld, 4, 4, "SCOMLD"); }), 1);
  EXPECT_EQ(out.finish(), joined_lines({B,
                                  kTop1,
                                  B,
                                  "@@@@  FATAL ERROR" + std::string(16, ' '),
                                  B,
                                  "@     Problem............: Different Kalvir version for MDB file and ",
                                  B + "solution",
                                  B,
                                  "@     Reference..........: (SCOMLD,   4)",
                                  B,
                                  kBottom,
                                  B}));
}

TEST_F(Messages, PartsAreLabelledOnlyWithTwoSeparators) {
  kalvir::test::Unit6Capture out;
  SETERX("Bad value@Ignored", 2, 17, "LSRDIN");
  SETERX("Bad value@Ignored@Node 5@Case 2@never shown", 3, 3, "ZZ");
  const std::vector<std::string> lines = split_lines(out.finish());
  ASSERT_EQ(lines.size(), 12U + 14U);
  EXPECT_EQ(lines[1], kTop1);
  EXPECT_EQ(lines[3], "@@@@  WARNING" + std::string(20, ' '));
  EXPECT_EQ(lines[5], "@     Problem............: Bad value");
  EXPECT_EQ(lines[6], B + "Ignored");
  EXPECT_EQ(lines[8], "@     Reference..........: (LSRDIN,  17)");
  // The second message: four labelled parts, the fifth dropped.
  EXPECT_EQ(lines[13], "@" + std::string(52, '-') + " | MESSAGE    2 |-");
  EXPECT_EQ(lines[15], "@@@@  FAILURE" + std::string(20, ' '));
  EXPECT_EQ(lines[17], "@     Problem............: Bad value");
  EXPECT_EQ(lines[18], "@     Current action.....: Ignored");
  EXPECT_EQ(lines[19], "@     Info...............: Node 5");
  EXPECT_EQ(lines[20], "@     Context............: Case 2");
  EXPECT_EQ(lines[22], "@     Reference..........: (ZZ,   3)");
  EXPECT_EQ(PRTINF(2), 1 + 12 + 14);
}

// The lines of the first part of a message with problem text TEXT.
std::vector<std::string> part_lines(const std::string& text, bool errnew) {
  kalvir::messages_reset_for_tests();
  kalvir::test::Unit6Capture out;
  if (errnew) {
    ERRNEW(text, 2, 1, "T");
  } else {
    SETERX(text, 1, 1, "T");
  }
  std::vector<std::string> lines = split_lines(out.finish());
  // Frame lines 6 .. (n - 5) hold the parts.
  return {lines.begin() + 5, lines.end() - 5};
}

TEST_F(Messages, LongPartsWrap) {
  const std::string x100(100, 'x');
  const std::string blank20 = std::string(19, 'a') + " " + std::string(25, 'b');  // 45, one blank at 20
  struct Case {
    std::string text;
    bool errnew;
    std::vector<std::string> expected;
  };
  const std::string P = "@     Problem............: ";
  const std::vector<Case> cases{
      {x100, false, {P + std::string(45, 'x'), B + std::string(45, 'x'), B + std::string(10, 'x')}},
      {x100, true, {P + std::string(53, 'x'), B + std::string(47, 'x')}},
      {blank20, false, {P + std::string(19, 'a') + " ", B + std::string(25, 'b')}},
      {std::string(44, 'y'), false, {P + std::string(44, 'y')}},
      // A blank in the first place of the window is no place to cut.
      {" " + std::string(50, 'z'), false, {P + " " + std::string(44, 'z'), B + std::string(6, 'z')}},
      {"one<NL>two", false, {P + "one", B + "two"}},
      // A part that begins with a forced new line loses its label.
      {"<NL>first@second@third", false,
       {B + "first", "@     Current action.....: second", "@     Info...............: third"}},
      {"a@@c", false, {P + "a", "@     Info...............: c"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(part_lines(c.text, c.errnew), c.expected) << c.text;
  }
}

TEST_F(Messages, BlankTextPrintsTheBareFrame) {
  kalvir::test::Unit6Capture out;
  SETERX("   ", 1, 0, "R");
  EXPECT_EQ(split_lines(out.finish()).size(), 10U);
}

TEST_F(Messages, FilterSuppressesButStillCounts) {
  GLOI.MLEVEL = 3;
  kalvir::test::Unit6Capture out;
  const int status = io::run_program([] {
    for (int i = 0; i < 3; ++i) SETERX("Careful", 2, 1, "W");
    SETERX("Stop", 4, 2, "F");
  });
  EXPECT_EQ(status, 1);
  const std::vector<std::string> lines = split_lines(out.finish());
  ASSERT_EQ(lines.size(), 11U);
  EXPECT_EQ(lines[1], "@" + std::string(52, '-') + " | MESSAGE    4 |-");
  EXPECT_EQ(lines[5], "@     Problem............: Stop");
}

TEST_F(Messages, SeveritiesOutsideTheRange) {
  for (const std::int32_t isev : {0, 7}) {
    kalvir::messages_reset_for_tests();
    kalvir::test::Unit6Capture out;
    EXPECT_EQ(io::run_program([&] { SETERX("x", isev, 1, "R"); }), 1);
    EXPECT_EQ(split_lines(out.finish())[3], "@@@@  FATAL ERROR" + std::string(16, ' '));

    kalvir::test::Unit6Capture out2;
    EXPECT_EQ(io::run_program([&] { ERRNEW("x", isev, 1, "R"); }), 0);
    EXPECT_EQ(split_lines(out2.finish())[3], "@@@@  SYSTEM ERROR" + std::string(15, ' '));
  }
}

TEST_F(Messages, FilterLevelOutOfRangeIsRepaired) {
  GLOI.MLEVEL = 9;
  kalvir::test::Unit6Capture out;
  SETERX("diagnostic", 1, 1, "R");
  EXPECT_EQ(GLOI.MLEVEL, 0);
  EXPECT_EQ(split_lines(out.finish())[3], "@@@@  DIAGNOSTIC" + std::string(17, ' '));
}

TEST_F(Messages, NumbersThatDoNotFitPrintAsAsterisks) {
  GLOI.MLEVEL = 3;
  for (int i = 0; i < 9999; ++i) SETERX("quiet", 1, 1, "R");
  GLOI.MLEVEL = 0;
  kalvir::test::Unit6Capture out;
  SETERX("loud", 1, 1000, "R");
  SETERX("loud", 1, -100, "R");
  const std::vector<std::string> lines = split_lines(out.finish());
  EXPECT_EQ(lines[1], "@" + std::string(52, '-') + " | MESSAGE **** |-");
  EXPECT_EQ(lines[7], "@     Reference..........: (R, ***)");
  EXPECT_EQ(lines[18], "@     Reference..........: (R, ***)");
}

TEST_F(Messages, TraceSendsTheFrameToUnit13) {
  kalvir::test::TempDir dir;
  GLOI.TRACE = 1;
  {
    // Before the trace file is open, the message still reaches unit 6.
    kalvir::test::Unit6Capture out;
    SETERX("early", 2, 1, "R");
    EXPECT_EQ(split_lines(out.finish()).size(), 11U);
  }
  ASSERT_EQ(io::unit_open(13, dir.file("M.TRA"), io::Form::Formatted, io::OpenStatus::Replace), 0);
  kalvir::test::Unit6Capture out;
  const std::int32_t before = PRTINF(2);
  SETERX("traced", 2, 1, "R");
  EXPECT_EQ(out.finish(), "");
  EXPECT_EQ(PRTINF(2), before + 11);
  io::unit_close(13);
  const std::vector<std::string> traced = split_lines(kalvir::test::read_file(dir.file("M.TRA")));
  ASSERT_EQ(traced.size(), 11U);
  EXPECT_EQ(traced[5], "@     Problem............: traced");
}

TEST_F(Messages, ErrnewFrame) {
  GLOI.MLEVEL = 3;  // plays no part for ERRNEW
  GLOI.MSHORT = 1;
  SETERX("not counted by ERRNEW", 1, 1, "R");
  kalvir::test::Unit6Capture out;
  const int status = io::run_program([] {
    ERRNEW("Cannot open ACD file@Initialising ACD Arrays Load@ACD file name: PANEL.acd@see above", 4, 21,
           "acda_open");
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(out.finish(), joined_lines({B,
                                  "@" + std::string(60, '-') + " | MESSAGE    1 |-",
                                  B,
                                  "@@@@  WARNING" + std::string(20, ' '),
                                  B,
                                  "@     Problem............: Cannot open ACD file",
                                  "@     Current action.....: Initialising ACD Arrays Load",
                                  "@     Comment............: ACD file name: PANEL.acd",
                                  "@     Additional info....: see above",
                                  B,
                                  "@     Reference..........: (acda_open,  21)",
                                  B,
                                  "@" + std::string(78, '-'),
                                  B}));
}

TEST_F(Messages, ErrorBannerEndsTheRun) {
  kalvir::test::Unit6Capture out;
  EXPECT_EQ(io::run_program([] { ERROR("SOFNDI"); }), 1);
  EXPECT_EQ(out.finish(), joined_lines({"",
                                  "",
                                  "",
                                  " @@@@ Unrecoverable error condition in module SOFNDI @@@@",
                                  "",
                                  "             @@@@ Program will terminate @@@@",
                                  "",
                                  "",
                                  "    @@@@ Check log file for further messages and @@@@",
                                  "",
                                  "  @@@@ Consult Kalvir Program Central Support if required @@@@ "}));
}

// A main model MAIN (user nodes 10, 11, 12) with a child SUB1 (user nodes
// 21, 22) that has a child SUB2 (user node 31).
class Mesbld : public Messages {
 protected:
  void SetUp() override {
    Messages::SetUp();
    kalvir::test::build_node_tree({{.name = "MAIN", .level = 0, .thermal = {10, 11, 12}},
                                   {.name = "SUB1", .level = 1, .thermal = {21, 22}},
                                   {.name = "SUB2", .level = 2, .thermal = {31}}});
  }
  void TearDown() override {
    kalvir::test::release_model();
    Messages::TearDown();
  }
};

std::string mesbld(std::int32_t node, std::string text, std::size_t length) {
  text.resize(length, ' ');
  MESBLD(node, text);
  return text;
}

TEST_F(Mesbld, AppendsTheNodeIdentity) {
  EXPECT_EQ(mesbld(0, "Temperature too high", 40), kalvir::padded("Temperature too high", 40));
  EXPECT_EQ(mesbld(3, "Temperature too high", 60),
            kalvir::padded("Temperature too high Node 12 in main model", 60));
  EXPECT_EQ(mesbld(6, "Capacity negative@Set to 0", 80),
            kalvir::padded("Capacity negative@Set to 0 Node 31 in model SUB2 (MAIN:SUB1:SUB2)", 80));
}

TEST_F(Mesbld, AdditionIsCutToTheText) {
  EXPECT_EQ(mesbld(4, "Bad", 20), "Bad Node 21 in model");
  EXPECT_EQ(mesbld(4, std::string(19, 'x'), 20), std::string(19, 'x') + " ");
  EXPECT_EQ(mesbld(4, std::string(20, 'x'), 20), std::string(20, 'x'));
}

}  // namespace messages_test
