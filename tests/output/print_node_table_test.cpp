// The node table PRNDTB on a hand-built model: golden records of the outputs
// block's table at WIDTH 80 (with a continuation table) and 86, sorting, work
// space, user layouts, the column layout's warnings and the mistakes in ZENTS
// and SUBREF.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/shared_blocks.h"
#include "runtime/modeldata/node_groups.h"
#include "runtime/output/print/node_table.h"
#include "runtime/output/print/page_layout.h"
#include "runtime/output/print/table_layout.h"
#include "runtime/platform/units.h"
#include "tests/output/print_job_fixture.h"
#include "tests/support/model_fixture.h"
#include "tests/support/test_support.h"

namespace print_node_table_test {

using kalvir::test::split_lines;
using std::string;
using Records = std::vector<string>;

string blanks(std::size_t n) { return string(n, ' '); }
string pad(const string& s, std::size_t n) { return s + blanks(n - s.size()); }
string right(const string& s, std::size_t n) { return blanks(n - s.size()) + s; }

// The three-submodel model with thermal node 3 of the main model switched off.
kalvir::test::ModelSpec model() {
  kalvir::test::ModelSpec spec = kalvir::test::three_submodel_model();
  spec.submodels[0].statuses = "DDXDDD";
  return spec;
}

class NodeTable : public ::testing::Test {
 protected:
  void SetUp() override {
    kalvir::test::build_model(model());
    kalvir::test::set_print_job(1);
    GLOR = GlorBlock{};
    GLOC.SOLVER = "";
    GLOC.MODULE = "";
    GLOC.TFORM = "*";
    GLOC.TFORMF = "*";
    GLOC.THEAD = "";
  }
  void TearDown() override {
    GLOC.TFORM = "*";
    GLOC.TFORMF = "*";
    GLOC.THEAD = "";
    kalvir::platform::close_all_units();
  }
  static Records printed(const std::function<void()>& body) {
    kalvir::test::Unit6Capture capture;
    body();
    return split_lines(capture.finish());
  }
  // The page start and the solution heading of a blank SOLVER.
  static Records title(const string& zents, const string& zlabel) {
    return {"1",
            " KALVIR-HUB  2020" + blanks(54) + "Page     1",
            " 05 March     2026  14:07:09" + blanks(37) + "ORVIK_TESTBED_01",
            "",
            "",
            "",
            "",
            "",
            "  TIMEN =      0.00",
            "",
            "",
            " TABLE OUTPUT WITH ZENTS = '" + zents + "'",
            " FOR NODES OF ZLABEL = '" + zlabel + "'"};
  }
  static string row(char marker, int number, const string& rest) {
    return string(" ") + marker + " " + right(std::to_string(number), 10) + rest;
  }
};

TEST_F(NodeTable, OutputsBlockTableAtWidth80) {
  const Records r = printed([] { PRNDTB(" ", "L, T, QI, C", -1); });
  Records expected = title("L,T,QI,C", " ");
  const Records block{
      "",
      " " + string(80, '='),
      "",
      "",
      "+MAIN" + blanks(76),
      "",
      // table 1: L, T, QI
      "",
      blanks(10) + "NODE" + blanks(3) + "LABEL" + blanks(30) + "T" + blanks(13) + "QI" + blanks(12),
      "",
      row(' ', 1, "    " + pad("PANEL A", 24) + "        101.00         11.00"),
      row(' ', 2, "    " + pad("PANEL B", 24) + "        102.00         12.00"),
      row('X', 3, "    " + pad("RADIATOR", 24) + "        103.00         13.00"),
      row(' ', 4, "    " + pad("BATTERY 1", 24) + "        104.00         14.00"),
      row(' ', 5, "    " + pad("BATTERY 2", 24) + "        105.00         15.00"),
      row(' ', 6, "    " + pad("TANK WALL", 24) + "        106.00         16.00"),
      "",
      row(' ', 101, "    " + pad("LOOP INLET", 24) + "        116.00"),
      row(' ', 102, "    " + pad("LOOP OUTLET", 24) + "        117.00"),
      // table 2: C
      "",
      "",
      blanks(10) + "NODE" + blanks(10) + "C" + blanks(55),
      "",
      row(' ', 1, "       1001.00"),
      row(' ', 2, "       1002.00"),
      row('X', 3, "       1003.00"),
      row(' ', 4, "       1004.00"),
      row(' ', 5, "       1005.00"),
      row(' ', 6, "       1006.00"),
      "",
      row(' ', 101, ""),
      row(' ', 102, ""),
  };
  expected.insert(expected.end(), block.begin(), block.end());
  EXPECT_EQ(r, expected);
  // 13 title lines, separator 3, path 1, empty 1, heading 3 + 8 rows,
  // empty 1, heading 3 + 8 rows.
  EXPECT_EQ(PRTINF(2), 13 + 3 + 1 + 1 + 11 + 1 + 11);
}

TEST_F(NodeTable, OneTableAtWidth86) {
  GLOI.WIDTH = 86;
  const Records r = printed([] { PRNDTB(" ", "L,T,QI,C", -1); });
  ASSERT_EQ(r.size(), 13U + 6U + 3U + 9U);
  EXPECT_EQ(r[14], " " + string(86, '='));
  EXPECT_EQ(r[20], blanks(10) + "NODE" + blanks(3) + "LABEL" + blanks(30) + "T" + blanks(13) + "QI" + blanks(12) +
                       "C" + blanks(5));
  EXPECT_EQ(r[22], row(' ', 1, "    " + pad("PANEL A", 24) + "        101.00         11.00       1001.00"));
  EXPECT_EQ(r[29], row(' ', 101, "    " + pad("LOOP INLET", 24) + "        116.00"));
}

TEST_F(NodeTable, SortedByTemperature) {
  const Records r = printed([] { PRNDTB(" ", "L,T-DEC", -1); });
  ASSERT_EQ(r.size(), 13U + 6U + 3U + 9U);
  EXPECT_EQ(r[11], " TABLE OUTPUT WITH ZENTS = 'L,T-DEC'");
  EXPECT_EQ(r[20], blanks(10) + "NODE" + blanks(3) + "LABEL" + blanks(58));
  const std::vector<int> order{6, 5, 4, 3, 2, 1};
  for (std::size_t k = 0; k < order.size(); ++k) EXPECT_EQ(r[22 + k].substr(3, 10), right(std::to_string(order[k]), 10));
  EXPECT_EQ(r[28], "");
  EXPECT_EQ(r[29].substr(3, 10), right("102", 10));
  EXPECT_EQ(r[30].substr(3, 10), right("101", 10));

  // Shown and sorted: the entity is listed a second time.
  const Records both = printed([] { PRNDTB(" ", "L,T,T-DEC", -1); });
  EXPECT_EQ(both[22], row(' ', 6, "    " + pad("TANK WALL", 24) + "        106.00"));
}

TEST_F(NodeTable, SortedByAnIntegerAttribute) {
  const Records r = printed([] { PRNDTB(" ", "ZONE,ZONE-DEC", -2); });
  ASSERT_EQ(r.size(), 13U + 6U + 3U + 6U);
  EXPECT_EQ(r[20], blanks(10) + "NODE" + blanks(9) + "ZONE" + blanks(53));
  // ZONE of thermal node i is 100 + i; SUB1 holds internal nodes 7 to 11.
  EXPECT_EQ(r[22], row(' ', 5, "           111"));
  EXPECT_EQ(r[26], row(' ', 1, "           107"));
  EXPECT_EQ(r[27], "");
}

TEST_F(NodeTable, EveryBlockOfASubtreeWithItsPath) {
  GLOI.WIDTH = 100;
  const Records r = printed([] { PRNDTB(" ", "T", 2); });
  std::vector<string> paths;
  for (const string& line : r)
    if (!line.empty() && line[0] == '+') paths.push_back(line.substr(0, line.find_last_not_of(' ') + 1));
  EXPECT_EQ(paths, (std::vector<string>{"+MAIN:SUB1", "+MAIN:SUB1:SUB2"}));
}

TEST_F(NodeTable, SubtreeSizeBeyondTheLastSubmodelStopsAtIt) {
  GLOI.WIDTH = 100;
  gar_modeldirectory(2, 2) = 2147483647;
  const Records r = printed([] { PRNDTB(" ", "T", 2); });
  std::vector<string> paths;
  for (const string& line : r)
    if (!line.empty() && line[0] == '+') paths.push_back(line.substr(0, line.find_last_not_of(' ') + 1));
  EXPECT_EQ(paths, (std::vector<string>{"+MAIN:SUB1", "+MAIN:SUB1:SUB2"}));
}

TEST_F(NodeTable, NoMatchingNodePrintsNoBlock) {
  const Records r = printed([] { PRNDTB("NO SUCH LABEL", "L,T", 1); });
  EXPECT_EQ(r, title("L,T", "NO SUCH LABEL"));
}

TEST_F(NodeTable, LongEntityListIsCutInTheTitle) {
  const string zents = "L,T,C,QA,QE,QI,QR,QS,A,ALP,EPS,QAI,QEI,QSI,FX,FY,FZ,TEMP2,MASS";  // 62 characters
  const Records r = printed([&] { PRNDTB(" ", zents, -3); });
  EXPECT_EQ(r[11], " TABLE OUTPUT WITH ZENTS = '" + zents.substr(0, 54) + "'");
}

TEST_F(NodeTable, NewPageInTheMiddleOfATable) {
  PRTINF(1) = 26;
  const Records r = printed([] { PRNDTB(" ", "T", -1); });
  // Title 13, separator 3, path 1, empty 1, heading 3: five rows fill the
  // page, then a new page, the heading again and the other rows.
  const string heading = blanks(10) + "NODE" + blanks(10) + "T" + blanks(55);
  ASSERT_EQ(r.size(), 13U + 6U + 3U + 5U + 7U + 3U + 1U + 1U + 2U);
  EXPECT_EQ(r[20], heading);
  EXPECT_EQ(r[26].substr(3, 10), right("5", 10));
  EXPECT_EQ(r[27], "1");
  EXPECT_EQ(r[35], heading);
  EXPECT_EQ(r[37].substr(3, 10), right("6", 10));
  EXPECT_EQ(r[38], "");
  EXPECT_EQ(PRTINF(2), 7 + 3 + 3);
}

TEST_F(NodeTable, BlockWithoutRoomStartsAPageWithoutSeparator) {
  // After the 13 title lines a block of one path name needs 12 lines.
  PRTINF(1) = 24;
  Records r = printed([] { PRNDTB(" ", "T", -1); });
  ASSERT_GT(r.size(), 22U);
  EXPECT_EQ(r[13], "1");
  EXPECT_EQ(r[20], "+MAIN" + blanks(76));
  EXPECT_EQ(r[21], "");
  // Exactly the lines needed: the separator on the same page.
  PRTINF(1) = 25;
  PRTINF(4) = 1;
  r = printed([] { PRNDTB(" ", "T", -1); });
  ASSERT_GT(r.size(), 17U);
  EXPECT_EQ(r[14], " " + string(80, '='));
  EXPECT_EQ(r[17], "+MAIN" + blanks(76));
}

TEST_F(NodeTable, TooLittleIntegerWorkSpace) {
  FLAGS(flagw::NEXTINT) = 48;  // 15 thermal + 2 fluid nodes + 48 > 64
  const auto messages = kalvir::test::capture_messages([] { PRNDTB(" ", "T", 1); });
  ASSERT_EQ(messages.size(), 1U);
  EXPECT_EQ(messages[0].severity, "FAILURE");
  EXPECT_EQ(messages[0].text,
            kalvir::test::printed("Insufficient integer work space.@Printing table output with PRNDTB.@Increase "
                                  "DYSTOR on $EXECUTION record, see User Manual description of $EXECUTION block."));
  EXPECT_EQ(messages[0].routine, "LS1NTB");
  EXPECT_EQ(messages[0].code, 1);
  EXPECT_EQ(FLAGS(flagw::NEXTINT), 48);
}

TEST_F(NodeTable, TooLittleRealWorkSpaceForTheKeys) {
  FLAGS(flagw::NEXTREAL) = 60;  // 5 words left for 8 keys
  FLAGS(flagw::NEXTINT) = 5;
  const auto messages = kalvir::test::capture_messages([] { PRNDTB(" ", "T,T-INC", -1); });
  ASSERT_EQ(messages.size(), 1U);
  EXPECT_EQ(messages[0].routine, "LS1NTB");
  EXPECT_EQ(messages[0].code, 2);
  EXPECT_NE(messages[0].text.find("Insufficient real work space."), string::npos);
  EXPECT_EQ(FLAGS(flagw::NEXTREAL), 60);
  EXPECT_EQ(FLAGS(flagw::NEXTINT), 5);
}

TEST_F(NodeTable, TooLittleIntegerWorkSpaceForTheKeys) {
  kalvir::test::ModelSpec spec;
  kalvir::test::SubmodelSpec main;
  main.name = "MAIN";
  main.thermal = {1, 2};
  main.fluid = {3};
  spec.submodels = {main};
  spec.int_attributes = {"ZONE"};
  kalvir::test::build_model(spec);
  FLAGS(flagw::NEXTINT) = 60;  // the list of 3 fits, its 3 keys do not
  const auto messages = kalvir::test::capture_messages([] { PRNDTB(" ", "T,ZONE-INC", 1); });
  ASSERT_EQ(messages.size(), 1U);
  EXPECT_EQ(messages[0].code, 3);
  EXPECT_NE(messages[0].text.find("Insufficient integer work space."), string::npos);
  EXPECT_EQ(FLAGS(flagw::NEXTINT), 60);
}

TEST_F(NodeTable, MistakesInZentsPrintNothing) {
  struct Case {
    string zents;
    string last_text;
    int code;
  };
  const std::vector<Case> cases{
      {"   ", "PRNDTB: Mistake in ZENTS, no entities to output", 1},
      {",,", "PRNDTB: Mistake in ZENTS, no entities to output", 1},
      {"GL, GR", "PRNDTB: Mistake in ZENTS, only node entities allowed", 2},
      {string(60, 'T') + "," + string(80, 'C'),
       "PRNDTB: Mistake in ZENTS, entity list longer than 132 characters without blanksPrinting table output with "
       "PRNDTB.",
       3},
  };
  for (const Case& c : cases) {
    PRTINF(4) = 1;
    const auto messages = kalvir::test::capture_messages([&] { PRNDTB(" ", c.zents, 1); });
    ASSERT_FALSE(messages.empty()) << c.zents;
    EXPECT_EQ(messages.back().text, c.last_text);
    EXPECT_EQ(messages.back().routine, "PRNDTB");
    EXPECT_EQ(messages.back().code, c.code);
    EXPECT_EQ(PRTINF(4), 1) << c.zents;  // no page started
  }
}

TEST_F(NodeTable, InvalidSubmodelReference) {
  for (const std::int32_t subref : {0, 4, -4}) {
    Records out;
    const auto messages = kalvir::test::capture_messages([&] { PRNDTB(" ", "T", subref); });
    ASSERT_EQ(messages.size(), 1U) << subref;
    EXPECT_EQ(messages[0].routine, "Lschnd");
    EXPECT_EQ(messages[0].text.rfind("Invalid submodel reference" + std::string(kalvir::kNodeListAction), 0), 0U);
  }
}

TEST_F(NodeTable, UserRowLayoutForThermalNodes) {
  GLOC.TFORM = "(I6,2X,A10,F9.1)";
  GLOC.THEAD = "  NUMBER    LABEL         T";
  const Records r = printed([] { PRNDTB(" ", "L,T,QI,C", -1); });
  ASSERT_EQ(r.size(), 13U + 6U + 3U + 9U);  // one table, no continuation
  EXPECT_EQ(r[20], "  " + pad("  NUMBER    LABEL         T", 78));
  // The layout takes the node number and the first values; the format ends
  // its record where its descriptors end.
  EXPECT_EQ(r[22], string(" ") + "  " + "     1" + "  " + "PANEL A   " + "    101.0");
  EXPECT_EQ(r[23].substr(0, 3), "   ");
  EXPECT_EQ(r[24].substr(0, 3), " X ");
  // Fluid rows keep the built layout of the first table.
  EXPECT_EQ(r[29], row(' ', 101, "    " + pad("LOOP INLET", 24) + "        116.00"));
}

TEST_F(NodeTable, BadUserLayoutsFallBackToTheBuiltOne) {
  struct Case {
    string tform;
    string routine;
  };
  for (const Case& c : {Case{"(Q5)", "LSTBFM"}, Case{"(F10.2)", "LS1TB2"}}) {
    GLOC.TFORM = c.tform;
    std::vector<kalvir::test::Message> messages;
    Records r;
    {
      kalvir::test::Unit6Capture capture;
      PRNDTB(" ", "L,T", -1);
      r = split_lines(capture.finish());
    }
    messages = kalvir::test::capture_messages([] { PRNDTB(" ", "L,T", -1); });
    ASSERT_EQ(messages.size(), 1U) << c.tform;
    EXPECT_EQ(messages[0].severity, "WARNING");
    EXPECT_EQ(messages[0].routine, c.routine);
    bool found = false;
    for (const string& line : r) found = found || line == row(' ', 1, "    " + pad("PANEL A", 24) + "        101.00");
    EXPECT_TRUE(found) << c.tform;
  }
}

TEST_F(NodeTable, UserLayoutsIgnoredAfterADecodingFailure) {
  GLOC.TFORM = "(I6)";
  GLOC.TFORMF = "(I6)";
  Records r;
  {
    kalvir::test::Unit6Capture capture;
    PRNDTB(" ", "L,XYZ", -1);  // status 5
    r = split_lines(capture.finish());
  }
  bool built = false;
  for (const string& line : r) built = built || line == row(' ', 1, "    " + pad("PANEL A", 24));
  EXPECT_TRUE(built);
}

// The column layout on its own.
struct Layout {
  kalvir::print::RowLayout t1, f1, t2, f2;
  kalvir::print::Heading h1, h2;
  std::int32_t n1 = -1, n2 = -1, cont = -1;
  void make(std::vector<std::int32_t> list, std::int32_t width, std::int32_t status = 0) {
    LSTBFM(list, static_cast<std::int32_t>(list.size()), width, status, t1, f1, t2, f2, h1, h2, n1, n2, cont);
  }
};

TEST_F(NodeTable, ColumnLayout) {
  Layout l;
  l.make({1, 2, 6, 3}, 80);
  EXPECT_EQ(l.n1, 3);
  EXPECT_EQ(l.n2, 1);
  EXPECT_EQ(l.cont, 1);
  l.make({1, 2, 6, 3}, 86);
  EXPECT_EQ(l.n1, 4);
  EXPECT_EQ(l.cont, 0);
  // Once the continuation has begun, a narrow entity stays in it.
  l.make({1, 2, 6, 24, 3}, 80);
  EXPECT_EQ(l.n1, 3);
  EXPECT_EQ(l.n2, 2);
  // Attribute names: 3 characters right-aligned in 10 over a 14-column field.
  l.make({1, 201}, 80);
  EXPECT_EQ(l.h1.view().substr(45, 18), "      ZONE        ");
  EXPECT_EQ(l.t1.pieces[1].width, 14);
}

TEST_F(NodeTable, AttributeNameAtTheRightEdgeIsClipped) {
  Layout l;
  // L, FT and OWNER end at column 100, T at 114; ZONE's 18-character name
  // field would run from 116 to 133.
  l.make({1, 24, 301, 2, 201}, 132);
  EXPECT_EQ(l.n1, 5);
  EXPECT_EQ(l.h1.view().substr(115), "      ZONE       ");
  EXPECT_EQ(l.h1.view().substr(73, 10), "     OWNER");
  EXPECT_EQ(l.h1.view().substr(16, 6), " LABEL");
  EXPECT_EQ(l.h1.view().substr(44, 11), " FLUID TYPE");
}

TEST_F(NodeTable, FluidTextColumnsLeaveBlankColumnsInThermalRows) {
  GLOI.WIDTH = 100;
  gar_fluidnodefluidtypes.set(1, "WATER");
  gar_fluidnodeflowregimes.set(1, "BUBL");
  const Records r = printed([] { PRNDTB(" ", "L,FT,FRG,T", -1); });
  ASSERT_EQ(r.size(), 13U + 6U + 3U + 9U);
  EXPECT_EQ(r[20], blanks(10) + "NODE" + blanks(3) + "LABEL" + blanks(23) + "FLUID TYPE" + blanks(18) + "FRG" +
                       blanks(12) + "T" + blanks(11));
  EXPECT_EQ(r[22], row(' ', 1, "    " + pad("PANEL A", 24) + blanks(36) + "        101.00"));
  EXPECT_EQ(r[29], row(' ', 101, "    " + pad("LOOP INLET", 24) + "    " + pad("WATER", 24) + "    BUBL" +
                                     "        116.00"));
}

TEST_F(NodeTable, LongAttributeNamesWidenTheirColumn) {
  kalvir::test::ModelSpec spec = model();
  spec.real_attributes = {"A_FIFTEEN_CHARS"};
  kalvir::test::build_model(spec);
  Layout l;
  l.make({101, 2}, 80);
  EXPECT_EQ(l.t1.pieces[0].width, 19);
  EXPECT_EQ(l.t1.pieces[0].extra, 5);
  EXPECT_EQ(l.h1.view().substr(16, 20), " A_FIFTEEN_CHARS    ");
  const Records r = printed([] { PRNDTB(" ", "A_FIFTEEN_CHARS,T", -1); });
  // Real attribute 1 of thermal node 1 is 1001; five blank columns follow it.
  EXPECT_EQ(r[22], row(' ', 1, "       1001.00" + blanks(5) + "        101.00"));
}

TEST_F(NodeTable, ContinuationOverflowWarning) {
  struct Case {
    std::int32_t width;
    std::vector<std::int32_t> list;
    string ending;
  };
  const std::vector<Case> cases{
      {80, {1, 2, 3, 4, 5, 6, 7, 8, 9}, "Increase line length, integer global control constant WIDTH (maximum 132 characters)."},
      {132, {1, 24, 301, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 25, 26, 27},
       "Line length (WIDTH) already at maximum 132 characters.Split entities over two calls to PRNDTB."},
  };
  for (const Case& c : cases) {
    Layout l;
    const auto messages = kalvir::test::capture_messages([&] { l.make(c.list, c.width); });
    ASSERT_EQ(messages.size(), 1U);
    EXPECT_EQ(messages[0].severity, "WARNING");
    EXPECT_EQ(messages[0].routine, "LSTBFM");
    EXPECT_EQ(messages[0].code, 1);
    const string& text = messages[0].text;
    EXPECT_EQ(text.substr(text.size() - c.ending.size()), c.ending) << text;
  }
  Layout l;
  const auto messages = kalvir::test::capture_messages([&] { l.make(cases[0].list, 80); });
  const string start =
      "Line length exceeded on continuation table.Printing table output with PRNDTB.Entities printed up to "
      "(but not including) QS.Remaining 2 entities are ignored.";
  EXPECT_EQ(messages[0].text.substr(0, start.size()), start);
  EXPECT_EQ(l.n1, 3);
  EXPECT_EQ(l.n2, 4);
}

}  // namespace print_node_table_test
