#include "runtime/control/status.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/platform/process.h"
#include "tests/support/model_fixture.h"
#include "tests/support/test_support.h"

namespace status_test {

using kalvir::test::capture_messages;
using kalvir::test::Message;
using kalvir::test::printed;

// The three-submodel model: MAIN thermal 1-6 (internal 1-6), fluid 101, 102
// (16, 17), GL 1 and GL 3 between nodes 1 and 2, link 1 (101, 102); SUB1
// (internal 7-11, GL 5 between its nodes 1 and 2) and SUB2 below it (12-15).
class StatusStatement : public ::testing::Test {
 protected:
  void SetUp() override { kalvir::test::build_model(kalvir::test::three_submodel_model()); }

  static char node_letter(int i) { return gar_thermalnodestatuses(i)[0]; }
  static char gl_letter(int k) { return gar_linearcondacts(k)[0]; }

  // STATST with the flags cleared first; returns the messages.
  static std::vector<Message> statst(const std::string& zent, const std::string& status) {
    stat_setstatst(0);
    FLAGS(flagw::CONDOFF) = 0;
    return capture_messages([&] { STATST(zent, status); });
  }
};

TEST_F(StatusStatement, NodeStatuses) {
  struct Case {
    std::string zent, status;
    std::int32_t model;
    int node;
    char letter;
    int flag;
  };
  const std::vector<Case> cases{
      {"N4", "B", 1, 4, 'B', 1},
      {"T4", "B", 1, 4, 'B', 1},
      {"C4", "X", 1, 4, 'X', 1},
      {"QSI 4", "B", 1, 4, 'B', 1},  // blanks do not count
      {"N4", "D", 1, 4, 'D', 0},     // no change: the flag stays down
      {"N:SUB1:4", "B", 1, 10, 'B', 1},
      {"N4", "B", 2, 10, 'B', 1},
      {"N:SUB2:1", "X", 2, 12, 'X', 1},  // relative to MODEL
      {"N:CURRENT:2", "X", 3, 13, 'X', 1},
      {"N:CURRENT:BAT", "X", 1, 4, 'X', 1},  // an alias behind capitals needs a path: letters run on
  };
  for (const Case& c : cases) {
    kalvir::test::build_model(kalvir::test::three_submodel_model());
    GLOI.MODEL = c.model;
    const auto msgs = statst(c.zent, c.status);
    EXPECT_TRUE(msgs.empty()) << c.zent;
    EXPECT_EQ(node_letter(c.node), c.letter) << c.zent;
    EXPECT_EQ(gar_thermalnodestatusescopy(c.node)[0], c.letter) << c.zent;
    EXPECT_EQ(stat_getstatst(), c.flag) << c.zent;
    EXPECT_EQ(FLAGS(flagw::CONDOFF), 0) << c.zent;
  }
}

TEST_F(StatusStatement, TrailingCharactersWarnButTheChangeCounts) {
  const auto msgs = statst("N4)", "X");
  ASSERT_EQ(msgs.size(), 1U);
  EXPECT_EQ(msgs[0].severity, "WARNING");
  EXPECT_EQ(msgs[0].text, "Mistake at end of zent");
  EXPECT_EQ(msgs[0].code, 1);
  EXPECT_EQ(node_letter(4), 'X');
  EXPECT_EQ(stat_getstatst(), 1);
}

TEST_F(StatusStatement, StatementsThatChangeNothing) {
  struct Case {
    std::string zent, status;
    std::vector<std::string> routines;
  };
  const std::vector<Case> cases{
      {"M5", "B", {}},
      {"D4", "B", {"LSVENT"}},
      {"G(1,2)", "OFF", {"LSVENT"}},
      {"n4", "B", {"LSVENT"}},
      {"N4", "F", {"LSNSST"}},
      {"N4", "b", {"LSNSST"}},
      {"N9", "B", {"INTNOD"}},
      {"NNOPE", "B", {"LSVENT"}},
      {"N:CURRENT:NOPE", "B", {"LSNREF"}},
      {"N:SUB9:4", "B", {"LSMINT"}},
      {"N::4", "B", {"LSMINT"}},
      {"GL(1,9)", "OFF", {"INTNOD", "LSC1RF"}},
      {"GL(1,2,3)", "OFF", {"LSC2RF"}},
      {"GL5", "ON", {"LSC1RF"}},
  };
  for (const Case& c : cases) {
    kalvir::test::build_model(kalvir::test::three_submodel_model());
    const auto msgs = statst(c.zent, c.status);
    std::vector<std::string> routines;
    for (const Message& m : msgs) routines.push_back(m.routine);
    EXPECT_EQ(routines, c.routines) << c.zent;
    EXPECT_EQ(stat_getstatst(), 0) << c.zent;
    EXPECT_EQ(node_letter(4), 'D') << c.zent;
    EXPECT_EQ(gl_letter(1), 'A') << c.zent;
  }
}

TEST_F(StatusStatement, ConductorsOnAndOff) {
  // First "OFF": the letter becomes 'I', the flag goes up, word 30 is set.
  auto msgs = statst("GL(1,2)", "OFF");
  EXPECT_TRUE(msgs.empty());
  EXPECT_EQ(gl_letter(1), 'I');
  EXPECT_EQ(gl_letter(3), 'A');
  EXPECT_EQ(stat_getstatst(), 1);
  EXPECT_EQ(FLAGS(flagw::CONDOFF), 1);

  // A second "OFF" changes nothing but still sets word 30.
  statst("GL(1,2)", "OFF");
  EXPECT_EQ(stat_getstatst(), 0);
  EXPECT_EQ(FLAGS(flagw::CONDOFF), 1);

  // "off" is no status word: nothing at all, word 30 untouched.
  msgs = statst("GL(1,2)", "off");
  ASSERT_EQ(msgs.size(), 1U);
  EXPECT_EQ(msgs[0].text, printed("STATST: Mistake in ZENT, invalid conductor status@STATUS =  \"ON\"  or  \"OFF\""));
  EXPECT_EQ(msgs[0].routine, "LSCSST");
  EXPECT_EQ(FLAGS(flagw::CONDOFF), 0);
  EXPECT_EQ(stat_getstatst(), 0);

  // The second conductor between the same nodes.
  statst("GL(1,2,2)", "OFF");
  EXPECT_EQ(gl_letter(3), 'I');
  EXPECT_EQ(stat_getstatst(), 1);

  // "OFF" that fails still sets word 30.
  statst("GL(1,2,9)", "OFF");
  EXPECT_EQ(FLAGS(flagw::CONDOFF), 1);
  EXPECT_EQ(stat_getstatst(), 0);

  statst("GL(1,2)", "ON");
  EXPECT_EQ(gl_letter(1), 'A');
  EXPECT_EQ(stat_getstatst(), 1);
  EXPECT_EQ(FLAGS(flagw::CONDOFF), 0);

  // Paths: before the parenthesis for the whole reference, or per node.
  statst("GL:SUB1:(1,2)", "OFF");
  EXPECT_EQ(gl_letter(5), 'I');
  statst("GL(SUB1:2,SUB1:3)", "OFF");
  EXPECT_EQ(gl_letter(6), 'I');
  GLOI.MODEL = 2;
  statst("GL(SUB2:1,SUB2:2)", "OFF");
  EXPECT_EQ(gl_letter(7), 'I');

  // View-factor conductors and links change without raising the flag.
  GLOI.MODEL = 1;
  statst("GV(2,1)", "OFF");
  EXPECT_EQ(gar_vfaccondacts(1)[0], 'I');
  EXPECT_EQ(stat_getstatst(), 0);
  statst("M(101,102)", "OFF");
  EXPECT_EQ(gar_massflowlinkstatuses(1)[0], 'I');
  EXPECT_EQ(stat_getstatst(), 0);
  EXPECT_EQ(FLAGS(flagw::CONDOFF), 1);
}

TEST_F(StatusStatement, OverlongReferenceEndsTheRun) {
  const std::string zent = "N" + std::string(480, '4');
  int status = 0;
  kalvir::test::Unit6Capture out;
  status = kalvir::platform::run_program([&] { STATST(zent, "B"); });
  EXPECT_EQ(status, 1);
}

TEST(StatusFlag, HoldsWhatIsStored) {
  stat_setstatst(0);
  EXPECT_EQ(stat_getstatst(), 0);
  stat_setstatst(1);
  EXPECT_EQ(stat_getstatst(), 1);
  stat_setstatst(0);
  EXPECT_EQ(stat_getstatst(), 0);
}

class NodeTies : public ::testing::Test {
 protected:
  void build(const std::vector<kalvir::test::TieSpec>& ties) {
    auto spec = kalvir::test::three_submodel_model();
    spec.ties = ties;
    kalvir::test::build_model(spec);
  }
  static void copy_ties() {
    SSNCNT(FLAGS(24), FLAGS(flagw::NTIELEN), 0, gar_pcsthermalold.span(), gar_thermalnodetemps.span());
  }
};

TEST_F(NodeTies, TargetsTakeTheirSourcesValue) {
  build({{5, {7, 9}}, {12, {3}}});
  copy_ties();
  for (int i = 1; i <= 15; ++i) {
    const double expected = i == 7 || i == 9 ? 105.0 : i == 3 ? 112.0 : 100.0 + i;
    EXPECT_EQ(gar_thermalnodetemps(i), expected) << i;
  }
}

TEST_F(NodeTies, LaterGroupsWinAndEmptyTailsChangeNothing) {
  build({{5, {7}}, {6, {7}}});
  copy_ties();
  EXPECT_EQ(gar_thermalnodetemps(7), 106.0);

  build({});
  ASSERT_EQ(FLAGS(flagw::NTIELEN), 2);
  copy_ties();
  for (int i = 1; i <= 15; ++i) EXPECT_EQ(gar_thermalnodetemps(i), 100.0 + i);
  // Without any tail word there is nothing to read.
  SSNCNT(FLAGS(24), 0, 0, gar_pcsthermalold.span(), gar_thermalnodetemps.span());
}

TEST_F(NodeTies, IndicesOutsideTheArraysStopTheRun) {
  struct Case {
    std::vector<kalvir::test::TieSpec> ties;
    int poke_word;   // counted from the tail's first word; 0: none
    std::int32_t poke_value;
  };
  const std::vector<Case> cases{
      {{{5, {99}}}, 0, 0},   // target beyond the nodes
      {{{0, {3}}}, 0, 0},    // source 0
      {{{5, {3}}}, 4, 50},   // target count running past the list
      {{{5, {3}}}, 2, 7},    // more groups than the tail holds
      {{{5, {3}}}, 2, -1},
  };
  for (const Case& c : cases) {
    build(c.ties);
    if (c.poke_word != 0)
      gar_pcsthermalold(FLAGS(24) - FLAGS(flagw::NTIELEN) + c.poke_word) = c.poke_value;
    kalvir::test::Unit6Capture out;
    const int status = kalvir::platform::run_program([] { copy_ties(); });
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.finish().find("Unrecoverable error condition in module SSNCNT"), std::string::npos);
  }
  // Lengths that do not fit the list stop the run as well.
  build({{5, {3}}});
  kalvir::test::Unit6Capture out;
  EXPECT_EQ(kalvir::platform::run_program([] {
              SSNCNT(FLAGS(24) + 1, FLAGS(flagw::NTIELEN), 0, gar_pcsthermalold.span(), gar_thermalnodetemps.span());
            }),
            1);
}

TEST(MethodBits, BitTwoAndBit1024) {
  for (const std::int32_t m : {2, 3, 6, 1026}) {
    GLOI.METHOD = m;
    EXPECT_TRUE(MTDTST(2)) << m;
  }
  for (const std::int32_t m : {0, 1, 4, 1024, -2}) {
    GLOI.METHOD = m;
    EXPECT_FALSE(MTDTST(2)) << m;
  }
  GLOI.METHOD = 1024 + 2;
  EXPECT_TRUE(MTDTST(1024));
  GLOI.METHOD = 2047 - 1024;
  EXPECT_FALSE(MTDTST(1024));
  GLOI.METHOD = 2147483647;
  EXPECT_TRUE(MTDTST(1073741824));
  GLOI.METHOD = 0;
}

double from_words(std::uint32_t high, std::uint32_t low) {
  return std::bit_cast<double>((static_cast<std::uint64_t>(high) << 32) | low);
}

TEST(UndefinedValues, BitsNotValuesDecide) {
  EXPECT_EQ(SKUNDF(), 2147483647);
  EXPECT_TRUE(SUNDCK(2147483647));
  EXPECT_FALSE(SUNDCK(0));
  EXPECT_FALSE(SUNDCK(-2147483647));
  for (const std::uint32_t high : {0x00000000U, 0x3FF00000U, 0x7FF00000U, 0xFFF80000U, 0x7FFFFFFFU}) {
    const double x = from_words(high, 0x7FFFFFFFU);
    EXPECT_TRUE(SDUNDF(x)) << std::hex << high;
    EXPECT_TRUE(SLUNDF(x)) << std::hex << high;
  }
  // The value 2147483647 itself is a defined number: its low word is 0.
  for (const double x : {2147483647.0, 0.0, 1.0, -1.0, from_words(0x7FFFFFFFU, 0x7FFFFFFEU)}) {
    EXPECT_FALSE(SDUNDF(x)) << x;
    EXPECT_FALSE(SLUNDF(x)) << x;
  }
}

}  // namespace status_test
