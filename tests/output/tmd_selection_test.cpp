// The TMD entity-string parser and the selection update.
#include "runtime/output/tmd/tmd_selection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "tests/output/tmd_fixture.h"

namespace tmd_selection_test {

using kalvir::test::capture_messages;
using kalvir::test::Message;
using kalvir::test::printed;
using Flags = std::vector<std::int32_t>;

// Attributes: real TEMP2, MASS, PANEL_TEMP; integer ZONE, MASS; character
// OWNER, PANEL_TEMP_MAX. Entity flags: 1-41 nodal, 42-44 real, 45-46
// integer, 47-48 character.
constexpr int kNumFlags = 48;

class Parser : public ::testing::Test {
 protected:
  void SetUp() override {
    kalvir::test::ModelSpec spec = kalvir::test::three_submodel_model();
    spec.real_attributes = {"TEMP2", "MASS", "PANEL_TEMP"};
    spec.int_attributes = {"ZONE", "MASS"};
    spec.char_attributes = {"OWNER", "PANEL_TEMP_MAX"};
    kalvir::test::build_model(spec);
  }

  struct Result {
    std::int32_t nodes = -1, conductors = -1, constants = -1;
    Flags entities = Flags(kNumFlags, 7);  // 7: left as the caller had it
    std::array<std::int32_t, 6> kinds{7, 7, 7, 7, 7, 7};
    std::vector<Message> msgs;
  };
  static Result parse(std::string_view text) {
    Result r;
    r.msgs = capture_messages([&] {
      GffParseEntityList(text, "DMPTMD", SPRNOD, SPRSIZ(1), SPRSIZ(2), SPRSIZ(3), SPRSIZ(4), SPRSIZ(5), r.nodes,
                         r.conductors, r.constants, r.entities, r.kinds);
    });
    return r;
  }
  // Entity flags with exactly the given positions set.
  static Flags only(std::initializer_list<int> set) {
    Flags f(kNumFlags, 0);
    for (const int k : set) f[static_cast<std::size_t>(k - 1)] = 1;
    return f;
  }
};

TEST_F(Parser, BlockFlagsAndSelections) {
  const Flags all(kNumFlags, 1);
  const Flags untouched(kNumFlags, 7);
  const std::array<std::int32_t, 6> all_kinds{1, 1, 1, 1, 1, 1};
  const std::array<std::int32_t, 6> kept_kinds{7, 7, 7, 7, 7, 7};
  struct Case {
    std::string text;
    std::int32_t nodes, conductors, constants;
    Flags entities;
    std::array<std::int32_t, 6> kinds;
  };
  const std::vector<Case> cases{
      {"", 1, 1, 1, all, all_kinds},
      {"     ", 1, 1, 1, all, all_kinds},
      {"NODES, CONDUCTORS, CONSTANTS", 1, 1, 1, all, all_kinds},
      {"NODES(T, QI)", 1, 0, 0, only({2, 6}), kept_kinds},
      {"NODES( T ,\tQSI,L)", 1, 0, 0, only({1, 2, 14}), kept_kinds},
      {"CONDUCTORS(GL, GR, GF, GV, M, GP)", 0, 1, 0, untouched, all_kinds},
      {"CONDUCTORS(GR)", 0, 1, 0, untouched, {0, 1, 0, 0, 0, 0}},
      {"CONDUCTORS(M),CONSTANTS", 0, 1, 1, untouched, {0, 0, 0, 0, 1, 0}},
      {"CONSTANTS(ANYTHING)", 0, 0, 1, untouched, kept_kinds},
      {"NODES(T), NODES(QI)", 1, 0, 0, only({6}), kept_kinds},  // a later block replaces
      {"NODES(T), NODES", 1, 0, 0, all, kept_kinds},
      {"NODES,", 1, 0, 0, all, kept_kinds},  // a final comma ends the scan quietly
      {"  NODES  (FT,FRG,FST,VQ)", 1, 0, 0, only({24, 29, 36, 28}), kept_kinds},
      // User attributes: each group is searched, so MASS sets real 2 and integer 2.
      {"NODES(TEMP2, MASS, OWNER)", 1, 0, 0, only({42, 43, 46, 47}), kept_kinds},
      {"NODES(PANEL_TEMP)", 1, 0, 0, only({44}), kept_kinds},
  };
  for (const Case& c : cases) {
    const Result r = parse(c.text);
    EXPECT_TRUE(r.msgs.empty()) << c.text << ": " << (r.msgs.empty() ? "" : r.msgs[0].text);
    EXPECT_EQ(r.nodes, c.nodes) << c.text;
    EXPECT_EQ(r.conductors, c.conductors) << c.text;
    EXPECT_EQ(r.constants, c.constants) << c.text;
    EXPECT_EQ(r.entities, c.entities) << c.text;
    EXPECT_EQ(r.kinds, c.kinds) << c.text;
  }
}

TEST_F(Parser, MessageTable) {
  struct Case {
    std::string text;
    std::int32_t code;
    std::string message;  // as handed to SETERX
    Flags entities;       // what was still selected
  };
  const std::vector<Case> cases{
      {"NODES(T)X, CONDUCTORS", 1,
       "Comma missing after close-bracket@Parsing GFF entity string@'NODES(T)X, CONDUCTORS'<NL>" +
           std::string(9, ' ') + "^@DMPTMD called",
       only({2})},
      {"NODES(T", 2,
       "Close-bracket missing@Parsing GFF entity string@'NODES(T'<NL>" + std::string(6, ' ') + "^@DMPTMD called",
       only({2})},
      {"NODES()", 3, "Entity name invalid@Parsing GFF entity string@'' found in<NL>'NODES()'@DMPTMD called", only({})},
      {"NODES(T,GL)", 3,
       "Entity name invalid@Parsing GFF entity string@'GL' found in<NL>'NODES(T,GL)'@DMPTMD called", only({2})},
      // Items are compared whole: a longer name never selects a shorter one.
      // The message quotes the item's 10-character field, trailing blanks removed.
      {"NODES(PANEL_TEMP_MAX)", 3,
       "Entity name invalid@Parsing GFF entity string@'PANEL_TEMP' found in<NL>'NODES(PANEL_TEMP_MAX)'@DMPTMD "
       "called",
       only({})},
      {"NODES(NOSUCH    X)", 3,
       "Entity name invalid@Parsing GFF entity string@'NOSUCH' found in<NL>'NODES(NOSUCH    X)'@DMPTMD called",
       only({})},
      {"NODES(TE)", 3, "Entity name invalid@Parsing GFF entity string@'TE' found in<NL>'NODES(TE)'@DMPTMD called",
       only({})},
      {"CONDUCTORS(GL, XX)", 4,
       "Invalid conductor type@Parsing GFF entity string@'XX' found in<NL>'CONDUCTORS(GL, XX)'@DMPTMD called",
       Flags(kNumFlags, 7)},
      {"CONDUCTORS(GLOBAL_LINKS)", 4,
       "Invalid conductor type@Parsing GFF entity string@'GLOBAL_LIN' found in<NL>'CONDUCTORS(GLOBAL_LINKS)'@DMPTMD "
       "called",
       Flags(kNumFlags, 7)},
      {"nodes", 5, "Invalid block name@Parsing GFF entity string@Found \"nodes\"@DMPTMD called", Flags(kNumFlags, 7)},
      {"NODES,   ", 5, "Invalid block name@Parsing GFF entity string@Found \"\"@DMPTMD called",
       Flags(kNumFlags, 1)},
      {"GARBAGE(T)", 5, "Invalid block name@Parsing GFF entity string@Found \"GARBAGE\"@DMPTMD called",
       Flags(kNumFlags, 7)},
  };
  for (const Case& c : cases) {
    const Result r = parse(c.text);
    ASSERT_EQ(r.msgs.size(), 1U) << c.text;
    EXPECT_EQ(r.msgs[0].severity, "FAILURE") << c.text;
    EXPECT_EQ(r.msgs[0].routine, "ParseGffEntityList") << c.text;
    EXPECT_EQ(r.msgs[0].code, c.code) << c.text;
    EXPECT_EQ(r.msgs[0].text, printed(c.message)) << c.text;
    EXPECT_EQ(r.entities, c.entities) << c.text;
  }
  // NODES(T)X, CONDUCTORS still selects every conductor kind.
  EXPECT_EQ(parse("NODES(T)X, CONDUCTORS").kinds, (std::array<std::int32_t, 6>{1, 1, 1, 1, 1, 1}));
}

TEST_F(Parser, LongStringsAreStillReported) {
  // A parameter case's entity string is blank-padded to 256 characters: the
  // message leaves its trailing blanks out rather than losing its context.
  const std::string text = kalvir::padded("NODES(T, BOGUS)", 256);
  const Result r = parse(text);
  ASSERT_EQ(r.msgs.size(), 1U);
  EXPECT_EQ(r.msgs[0].text,
            printed("Entity name invalid@Parsing GFF entity string@'BOGUS' found in<NL>'NODES(T, BOGUS)'@DMPTMD "
                    "called"));
  EXPECT_EQ(r.entities, only({2}));
}

// The update resolves the node selection and the user-constant range.
class Update : public kalvir::test::TmdTest {
 protected:
  static void update(std::int32_t subref, std::string_view zlabel, std::int32_t nodes, std::int32_t conductors,
                     std::int32_t constants) {
    const kalvir::tmd::RunInfo run = kalvir::tmd::gather_run_info();
    const Flags flags(static_cast<std::size_t>(41 + run.nreal() + run.nint() + run.nchar()), 1);
    tmvvariablesupdate(run, subref, {1, 1, 1, 1, 1, 1}, "desc", 3, "DMPTMD", flags, conductors, constants, nodes,
                       zlabel);
  }
};

TEST_F(Update, NodesAndConstantRanges) {
  struct Case {
    std::int32_t subref;
    std::string zlabel;
    std::vector<std::int32_t> nodes;
    std::int32_t first, last, nreal, nint, nchar;
  };
  const std::vector<Case> cases{
      {1, " ", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17}, 1, 3, 3, 2, 2},
      {2, " ", {7, 8, 9, 10, 11, 12, 13, 14, 15}, 2, 3, 1, 1, 1},
      {-2, " ", {7, 8, 9, 10, 11}, 2, 2, 1, 0, 1},
      {-1, " ", {1, 2, 3, 4, 5, 6, 16, 17}, 1, 1, 2, 1, 1},
      {1, "#2,3,101", {2, 3, 16}, 1, 3, 3, 2, 2},
  };
  for (const Case& c : cases) {
    const auto msgs = capture_messages([&] { update(c.subref, c.zlabel, 1, 0, 1); });
    EXPECT_TRUE(msgs.empty()) << c.subref;
    const TmvThermalModelVariables& m = tmv_module();
    EXPECT_EQ(std::vector<std::int32_t>(m.selected().begin(), m.selected().end()), c.nodes) << c.subref;
    EXPECT_EQ(m.tmv_selectedsubmodelfirstid, c.first) << c.subref;
    EXPECT_EQ(m.tmv_selectedsubmodellastid, c.last) << c.subref;
    EXPECT_EQ(m.tmv_numselecteduserconstantsreal, c.nreal) << c.subref;
    EXPECT_EQ(m.tmv_numselecteduserconstantsint, c.nint) << c.subref;
    EXPECT_EQ(m.tmv_numselecteduserconstantschar, c.nchar) << c.subref;
    EXPECT_EQ(m.fileindex, 3);
    EXPECT_EQ(m.description.trimmed(), "desc");
    EXPECT_EQ(m.thejobname.trimmed(), "ORVIK_TESTBED_01");
    EXPECT_EQ(m.userattributenames(2, 1).view(), kalvir::padded("MASS", 32));
  }
}

TEST_F(Update, SubmodelReferenceOutsideTheModelIsReported) {
  for (const std::int32_t subref : {0, 4, -9}) {
    const auto msgs = capture_messages([&] { update(subref, " ", 0, 0, 1); });
    ASSERT_EQ(msgs.size(), 1U) << subref;
    EXPECT_EQ(msgs[0].severity, "FAILURE");
    EXPECT_EQ(msgs[0].code, 1);
    EXPECT_EQ(msgs[0].routine, "tmvvariablesupdate");
    EXPECT_EQ(msgs[0].text, printed("Invalid submodel reference@Selecting user constants for TMD output@Submodel "
                                    "reference " +
                                    std::to_string(subref) + " is not a submodel of the model@DMPTMD called"));
    const TmvThermalModelVariables& m = tmv_module();
    EXPECT_EQ(m.tmv_numselecteduserconstantsreal + m.tmv_numselecteduserconstantsint +
                  m.tmv_numselecteduserconstantschar,
              0);
  }
}

// The node list is resolved against the signed reference, so a reference to
// one submodel alone is named as such in the node-list messages.
TEST_F(Update, NodeListKeepsTheSignOfTheReference) {
  for (const std::int32_t subref : {9, -9}) {
    const auto msgs = capture_messages([&] { update(subref, " ", 1, 0, 0); });
    ASSERT_EQ(msgs.size(), 1U) << subref;
    EXPECT_EQ(msgs[0].routine, "Lschnd");
    EXPECT_NE(msgs[0].text.find("CNAME = " + std::to_string(subref)), std::string::npos) << msgs[0].text;
    EXPECT_EQ(tmv_module().numselectednodes, 0);
  }
}

TEST_F(Update, SameSelection) {
  update(1, " ", 1, 1, 1);
  const TmvThermalModelVariables a = tmv_module();
  update(1, " ", 1, 1, 1);
  EXPECT_TRUE(kalvir::tmd::same_selection(a, tmv_module()));
  update(1, "#2,3", 1, 1, 1);
  EXPECT_FALSE(kalvir::tmd::same_selection(a, tmv_module()));
  update(2, " ", 1, 1, 1);
  EXPECT_FALSE(kalvir::tmd::same_selection(a, tmv_module()));
  update(1, " ", 1, 0, 1);
  EXPECT_FALSE(kalvir::tmd::same_selection(a, tmv_module()));
}

}  // namespace tmd_selection_test
