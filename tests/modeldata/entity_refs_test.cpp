#include "runtime/modeldata/entity_refs.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "tests/support/model_fixture.h"

namespace entity_refs_test {

using kalvir::test::capture_messages;
using kalvir::test::Message;
using kalvir::test::printed;

// The three-submodel model. MAIN: thermal 1-6 (internal 1-6; aliases BAT = 4,
// RAD = 3), fluid 101, 102 (internal 16, 17); GL 1 (1,2), GL 2 (2,3), GL 3
// (1,2), GL 4 (3,101); GR 1 (1,3), GR 2 (2,4); GF 1 (2,3); GV 1 (1,2),
// GV 2 (1,3), GV 3 (4,1); link 1 (101,102). SUB1: internal 7-11, GL 5 (1,2),
// GL 6 (2,3). SUB2: internal 12-15, GL 7 (1,2).
class EntityRefs : public ::testing::Test {
 protected:
  void SetUp() override { kalvir::test::build_model(kalvir::test::three_submodel_model()); }
};

TEST_F(EntityRefs, EntityLettersClassifyTheReference) {
  struct Case {
    std::string text;
    int isent, nlet, ictype, isnode;
  };
  const std::vector<Case> cases{
      {"N4", 0, 2, 0, 1},        {"T4", 1, 2, 0, 1},        {"QSI5", 1, 4, 0, 1},    {"L:SUB1:3", 1, 2, 0, 1},
      {"GL(1,2)", 1, 3, 1, 0},   {"GR(1,3)", 1, 3, 2, 0},   {"GF(2,3)", 1, 3, 3, 0}, {"GV(1,2)", 1, 3, 4, 0},
      {"M(101,102)", 1, 2, 5, 0}, {"GP(101,102)", 1, 3, 6, 0}, {"M5", 0, 2, 0, 0},
  };
  for (const Case& c : cases) {
    std::int32_t isent = -1, nlet = -1, ictype = -1, isnode = -1, ierr = -1;
    const auto msgs = capture_messages([&] { LSVENT(c.text, isent, nlet, ictype, isnode, ierr); });
    EXPECT_EQ(ierr, 0) << c.text;
    EXPECT_EQ(std::tie(isent, nlet, ictype, isnode), std::tie(c.isent, c.nlet, c.ictype, c.isnode)) << c.text;
    EXPECT_TRUE(msgs.empty()) << c.text;
  }
}

TEST_F(EntityRefs, BadEntityLetters) {
  struct Case {
    std::string text;
    int code;
    std::string shown;
  };
  const std::vector<Case> cases{{"G(1,2)", 1, "G"},   {"D4", 1, "D"},   {"B4", 1, "B"},   {"XYZ4", 1, "XYZ"},
                                {"ABCD4", 2, "ABC"}, {"4", 2, "4"},    {"n4", 2, "n4"},  {"", 2, ""}};
  for (const Case& c : cases) {
    std::int32_t isent = -1, nlet = -1, ictype = -1, isnode = -1, ierr = 0;
    const auto msgs = capture_messages([&] { LSVENT(c.text, isent, nlet, ictype, isnode, ierr); });
    EXPECT_EQ(ierr, 312) << c.text;
    EXPECT_EQ(ictype, 0);
    EXPECT_EQ(isnode, 0);
    ASSERT_EQ(msgs.size(), 1U) << c.text;
    EXPECT_EQ(msgs[0].text, printed("Mistake in ZENT, invalid entity reference, " + c.shown)) << c.text;
    EXPECT_EQ(msgs[0].routine, "LSVENT");
    EXPECT_EQ(msgs[0].code, c.code) << c.text;
  }
}

TEST_F(EntityRefs, NodeReferences) {
  struct Case {
    std::string text;
    int isub, inode, pos, ierr;
    std::vector<std::string> messages;
  };
  const std::vector<Case> cases{
      {"N4", 1, 4, 3, 0, {}},
      {"N4,5", 1, 4, 3, 0, {}},
      {"N4)", 1, 4, 3, 0, {}},
      {"NBAT", 1, 4, 5, 0, {}},
      {"N101", 1, 16, 5, 0, {}},
      {"N4", 2, 10, 3, 0, {}},
      {"NTOP", 2, 11, 5, 0, {}},
      {"NNOPE", 1, 0, 6, 1, {"Unrecognised sub-model / alias in ZENT@NOPE"}},
      {"N", 1, 0, 2, 1, {"Unrecognised sub-model / alias in ZENT@"}},
      {"N99999999999", 1, 0, 13, 1, {"Unrecognised sub-model / alias in ZENT@99999999999"}},
      {"N9", 1, 0, 3, 2, {"Node 9 not found in sub-model MAIN"}},
      {"N4", 7, 0, 3, 2, {"Invalid submodel 7"}},
  };
  for (const Case& c : cases) {
    std::int32_t pos = 2;
    std::int32_t inode = -1;
    std::int32_t ierr = -1;
    const auto msgs = capture_messages(
        [&] { LSNREF(c.isub, c.text, static_cast<std::int32_t>(c.text.size()), pos, inode, ierr); });
    EXPECT_EQ(inode, c.inode) << c.text;
    EXPECT_EQ(pos, c.pos) << c.text;
    EXPECT_EQ(ierr, c.ierr) << c.text;
    ASSERT_EQ(msgs.size(), c.messages.size()) << c.text;
    for (std::size_t k = 0; k < msgs.size(); ++k) EXPECT_EQ(msgs[k].text, printed(c.messages[k])) << c.text;
  }
}

TEST_F(EntityRefs, ConductorReferences) {
  struct Case {
    std::string text;
    int isub, seq, node1, node2, ierr;
  };
  const std::vector<Case> cases{
      {"GL(1,2)", 1, 1, 1, 2, 0},
      {"GL(1,2,2)", 1, 2, 1, 2, 0},
      {"GL(BAT,RAD,12)", 1, 12, 4, 3, 0},
      {"GL(SUB1:1,SUB1:SUB2:4)", 1, 1, 7, 15, 0},
      {"GL(1,SUB2:4)", 2, 1, 7, 15, 0},  // each path relative to the reference's submodel
      {"GL(1,101)", 1, 1, 1, 16, 0},
      {"GL(1,2)xyz", 1, 1, 1, 2, 0},  // nothing after the ')' is read
  };
  for (const Case& c : cases) {
    std::int32_t pos = 3;
    std::int32_t seq = -1, n1 = -1, n2 = -1, ierr = -1;
    const auto msgs = capture_messages([&] {
      LSC1RF(gar_modeldirectory, 18, 3, "STATST", c.isub, gar_modelnames, c.text,
             static_cast<std::int32_t>(c.text.size()), pos, seq, n1, n2, ierr);
    });
    EXPECT_EQ(ierr, c.ierr) << c.text;
    EXPECT_EQ(std::tie(seq, n1, n2), std::tie(c.seq, c.node1, c.node2)) << c.text;
    EXPECT_TRUE(msgs.empty()) << c.text;
  }
}

TEST_F(EntityRefs, ConductorReferenceErrors) {
  struct Case {
    std::string text;
    int ierr;
    std::vector<std::tuple<std::string, std::string, int, std::string>> messages;  // severity, text, code, routine
  };
  const std::vector<Case> cases{
      {"GL5", 10, {{"FAILURE", "STATST: Mistake in ZENT, expecting \"(\"@GL5", 10, "LSC1RF"}}},
      {"GL", 10, {{"FAILURE", "STATST: Mistake in ZENT, expecting \"(\"@GL", 10, "LSC1RF"}}},
      {"GL(1)", 3, {{"FAILURE", "STATST: Mistake in ZENT, expecting \",\"@GL(1)", 3, "LSC1RF"}}},
      {"GL(,2)", 3, {{"FAILURE", "STATST: Mistake in ZENT, expecting \",\"@GL(,2)", 3, "LSC1RF"}}},
      {"GL(NOPE,2)", 1, {{"FAILURE", "STATST: Unrecognised sub-model / alias in ZENT@NOPE", 1, "LSC1RF"}}},
      {"GL(9,2)",
       2,
       {{"WARNING", "Node 9 not found in sub-model MAIN", 1, "INTNOD"},
        {"FAILURE", "STATST: Unrecognised node:9", 2, "LSC1RF"}}},
      {"GL(1,2", 6, {{"FAILURE", "STATST: Mistake in ZENT, expecting \")\"@GL(1,2", 6, "LSC1RF"}}},
      {"GL(1,)", 6, {{"FAILURE", "STATST: Mistake in ZENT, expecting \")\"@GL(1,)", 6, "LSC1RF"}}},
      {"GL(1,NOPE)", 4, {{"FAILURE", "STATST: Unrecognised sub-model / alias in ZENT@NOPE", 4, "LSC1RF"}}},
      {"GL(1,9)",
       5,
       {{"WARNING", "Node 9 not found in sub-model MAIN", 1, "INTNOD"},
        {"FAILURE", "STATST: Unrecognised node:9", 5, "LSC1RF"}}},
      {"GL(1,2,0)", 8, {{"FAILURE", "STATST: Mistake in ZENT, invalid conductor sequence number@GL(1,2,0)", 8, "LSC1RF"}}},
      {"GL(1,2,)", 8, {{"FAILURE", "STATST: Mistake in ZENT, invalid conductor sequence number@GL(1,2,)", 8, "LSC1RF"}}},
      {"GL(1,2,99999999999)",
       8,
       {{"FAILURE", "STATST: Mistake in ZENT, invalid conductor sequence number@GL(1,2,99999999999)", 8, "LSC1RF"}}},
      {"GL(1,2,2x)", 7, {{"WARNING", "STATST: Mistake in ZENT,expecting \")\"@GL(1,2,2x)", 7, "LSC1RF"}}},
      {"GL(SUB9:1,2)", 2, {{"FAILURE", "Mistake in ZENT/ZLABEL, invalid or ambiguous submodel@SUB9", 2, "LSMINT"}}},
  };
  for (const Case& c : cases) {
    std::int32_t pos = 3;
    std::int32_t seq = -1, n1 = -1, n2 = -1, ierr = -1;
    const auto msgs = capture_messages([&] {
      LSC1RF(gar_modeldirectory, 18, 3, "STATST", 1, gar_modelnames, c.text, static_cast<std::int32_t>(c.text.size()),
             pos, seq, n1, n2, ierr);
    });
    EXPECT_EQ(ierr, c.ierr) << c.text;
    ASSERT_EQ(msgs.size(), c.messages.size()) << c.text;
    for (std::size_t k = 0; k < msgs.size(); ++k) {
      const auto& [severity, text, code, routine] = c.messages[k];
      EXPECT_EQ(msgs[k].severity, severity) << c.text;
      EXPECT_EQ(msgs[k].text, printed(text)) << c.text;
      EXPECT_EQ(msgs[k].code, code) << c.text;
      EXPECT_EQ(msgs[k].routine, routine) << c.text;
    }
  }
}

using Walk = std::vector<std::pair<int, int>>;  // (conductor, other node)

template <class Step>
Walk walk_all(Step step) {
  Walk out;
  kalvir::ConductorWalk walk;
  for (int guard = 0; guard < 50; ++guard) {
    std::int32_t cond = 0, other = 0, iend = 0;
    step(walk, cond, other, iend);
    if (iend != 0) return out;
    out.emplace_back(cond, other);
  }
  ADD_FAILURE() << "walk does not end";
  return out;
}

TEST_F(EntityRefs, ConnectionWalks) {
  auto cnm = [](int type, int node) {
    return walk_all([&](auto& w, auto& c, auto& o, auto& e) { LSGCNM(type, node, w, c, o, e); });
  };
  EXPECT_EQ(cnm(1, 2), (Walk{{1, 1}, {2, 3}, {3, 1}}));
  EXPECT_EQ(cnm(2, 1), (Walk{{1, 3}}));
  EXPECT_EQ(cnm(3, 2), (Walk{{-1, 3}}));  // stored negated at its first node
  EXPECT_EQ(cnm(3, 3), (Walk{{1, 2}}));
  EXPECT_EQ(cnm(1, 3), (Walk{{2, 2}, {4, 16}}));
  EXPECT_EQ(cnm(1, 16), (Walk{{4, 3}}));  // a fluid node's linear run
  EXPECT_EQ(cnm(2, 16), Walk{});
  EXPECT_EQ(cnm(1, 6), Walk{});
  EXPECT_EQ(cnm(4, 1), Walk{});
  EXPECT_EQ(cnm(1, 0), Walk{});

  auto fcn = [](int node) { return walk_all([&](auto& w, auto& c, auto& o, auto& e) { LSGFCN(node, w, c, o, e); }); };
  EXPECT_EQ(fcn(16), (Walk{{1, 17}}));
  EXPECT_EQ(fcn(17), (Walk{{1, 16}}));
  EXPECT_EQ(fcn(1), Walk{});

  // View factors: the node first in GV 1 and 2, second in GV 3; the smaller
  // other node comes first.
  auto tvw = [](int node) { return walk_all([&](auto& w, auto& c, auto& o, auto& e) { LSGTVW(node, w, c, o, e); }); };
  EXPECT_EQ(tvw(1), (Walk{{1, 2}, {2, 3}, {-3, 4}}));
  EXPECT_EQ(tvw(2), (Walk{{-1, 1}}));
  EXPECT_EQ(tvw(4), (Walk{{3, 1}}));
  EXPECT_EQ(tvw(5), Walk{});
}

TEST_F(EntityRefs, FindingTheConductor) {
  struct Case {
    int seq, type, node1, node2, icond, ierr;
  };
  const std::vector<Case> cases{
      {1, 1, 1, 2, 1, 0},  {2, 1, 1, 2, 3, 0},  {1, 1, 2, 1, 1, 0},  {2, 1, 2, 1, 3, 0},   {1, 1, 3, 16, 4, 0},
      {1, 1, 16, 3, 4, 0}, {1, 2, 3, 1, 1, 0},  {1, 3, 2, 3, 1, 0},  {1, 3, 3, 2, 1, 0},   {1, 4, 2, 1, 1, 0},
      {1, 4, 1, 4, 3, 0},  {1, 5, 16, 17, 1, 0}, {1, 6, 17, 16, 1, 0}, {3, 1, 1, 2, 0, 318}, {1, 1, 1, 3, 0, 318},
      {1, 5, 1, 2, 0, 318}, {1, 7, 1, 2, 0, 318}, {0, 1, 1, 2, 0, 318},
  };
  for (const Case& c : cases) {
    std::int32_t icond = -1;
    std::int32_t ierr = -1;
    const auto msgs = capture_messages([&] { LSC2RF(c.seq, c.type, c.node1, c.node2, icond, ierr); });
    EXPECT_EQ(icond, c.icond) << c.type << " " << c.node1 << "-" << c.node2 << " #" << c.seq;
    EXPECT_EQ(ierr, c.ierr) << c.type << " " << c.node1 << "-" << c.node2 << " #" << c.seq;
    if (c.ierr == 0) {
      EXPECT_TRUE(msgs.empty());
    } else {
      ASSERT_EQ(msgs.size(), 1U);
      EXPECT_EQ(msgs[0].text, "Conductor not found");
      EXPECT_EQ(msgs[0].routine, "LSC2RF");
      EXPECT_EQ(msgs[0].code, 1);
    }
  }
}

TEST_F(EntityRefs, NodeStatusLetters) {
  struct Case {
    std::string text;
    std::string status;
    int changed, ierr;
    int node;          // internal index that must carry `letter` afterwards
    char letter;
  };
  const std::vector<Case> cases{
      {"N4", "B", 1, 0, 4, 'B'},
      {"N4", "D", 0, 0, 4, 'D'},  // already D
      {"N4", "F", 0, 2, 4, 'D'},  // a fluid letter on a thermal node
      {"N4", "BX", 0, 2, 4, 'D'},
      {"N4", "", 0, 2, 4, 'D'},
      {"N101", "B", 0, 2, 16, 'F'},
      {"N101", "J", 0, 0, 16, 'J'},  // fluid changes are not counted
      {"N4)", "X", 1, 1, 4, 'X'},   // warned about the ')' but still set
  };
  for (const Case& c : cases) {
    kalvir::test::build_model(kalvir::test::three_submodel_model());
    std::int32_t pos = 2;
    std::int32_t changed = -1;
    std::int32_t ierr = -1;
    const auto msgs = capture_messages(
        [&] { LSNSST(pos, 1, c.text, static_cast<std::int32_t>(c.text.size()), c.status, changed, ierr); });
    EXPECT_EQ(changed, c.changed) << c.text << " " << c.status;
    EXPECT_EQ(ierr, c.ierr) << c.text << " " << c.status;
    const char got = c.node <= 15 ? gar_thermalnodestatuses(c.node)[0] : gar_fluidnodestatuses(c.node - 15)[0];
    EXPECT_EQ(got, c.letter) << c.text << " " << c.status;
    if (c.node <= 15) {
      EXPECT_EQ(gar_thermalnodestatusescopy(c.node)[0], c.letter);
    }
    if (c.ierr == 0) {
      EXPECT_TRUE(msgs.empty());
    } else {
      ASSERT_EQ(msgs.size(), 1U);
      EXPECT_EQ(msgs[0].text, "Mistake at end of zent");
      EXPECT_EQ(msgs[0].severity, "WARNING");
      EXPECT_EQ(msgs[0].code, c.ierr);
      EXPECT_EQ(msgs[0].routine, "LSNSST");
    }
  }
}

TEST_F(EntityRefs, InactiveSubmodelOnlyChangesTheCopy) {
  gar_modelstatuses.set(2, "I");
  std::int32_t pos = 2;
  std::int32_t changed = -1;
  std::int32_t ierr = -1;
  LSNSST(pos, 2, "N1", 2, "X", changed, ierr);
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(changed, 1);
  EXPECT_EQ(gar_thermalnodestatuses(7)[0], 'D');
  EXPECT_EQ(gar_thermalnodestatusescopy(7)[0], 'X');
  pos = 2;
  LSNSST(pos, 2, "N1", 2, "X", changed, ierr);
  EXPECT_EQ(changed, 0);
}

TEST_F(EntityRefs, ConductorActivityLetters) {
  struct Case {
    std::string text;  // conductor reference from its '('
    int type;
    std::string status;
    int changed, ierr;
    kalvir::gar::C1* acts;
    int index;
    char letter;
  };
  const std::vector<Case> cases{
      {"GL(1,2)", 1, "OFF", 1, 0, &gar_linearcondacts, 1, 'I'},
      {"GL(1,2,2)", 1, "OFF", 1, 0, &gar_linearcondacts, 3, 'I'},
      {"GL(1,2)", 1, "ON", 0, 0, &gar_linearcondacts, 1, 'A'},
      {"GL(1,2)", 1, "ON  ", 0, 0, &gar_linearcondacts, 1, 'A'},
      {"GR(3,1)", 2, "OFF", 1, 0, &gar_radiativecondacts, 1, 'I'},
      {"GF(3,2)", 3, "OFF", 1, 0, &gar_fluidiccondacts, 1, 'I'},
      {"GV(2,1)", 4, "OFF", 0, 0, &gar_vfaccondacts, 1, 'I'},
      {"M(101,102)", 5, "OFF", 0, 0, &gar_massflowlinkstatuses, 1, 'I'},
      {"GP(102,101)", 6, "OFF", 0, 0, &gar_massflowlinkstatuses, 1, 'I'},
      {"GL(1,2)", 1, "off", 0, 318, &gar_linearcondacts, 1, 'A'},
      {"GL(1,2)", 1, " OFF", 0, 318, &gar_linearcondacts, 1, 'A'},
      {"GL(1,2,3)", 1, "OFF", 0, 318, &gar_linearcondacts, 1, 'A'},
      {"GL(1,2,0)", 1, "OFF", 0, 8, &gar_linearcondacts, 1, 'A'},
  };
  for (const Case& c : cases) {
    kalvir::test::build_model(kalvir::test::three_submodel_model());
    const std::string text = "X" + c.text;  // any entity letters before the '('
    const auto len = static_cast<std::int32_t>(text.size());
    std::int32_t pos = static_cast<std::int32_t>(text.find('(')) + 1;
    std::int32_t changed = -1;
    std::int32_t ierr = -1;
    capture_messages([&] { LSCSST("STATST", c.status, c.type, 1, text, len, pos, changed, ierr); });
    EXPECT_EQ(ierr, c.ierr) << c.text << " " << c.status;
    EXPECT_EQ(changed, c.changed) << c.text << " " << c.status;
    EXPECT_EQ((*c.acts)(c.index)[0], c.letter) << c.text << " " << c.status;
  }
  const auto msgs = capture_messages([] {
    std::int32_t pos = 3, changed = 0, ierr = 0;
    LSCSST("STATST", "MAYBE", 1, 1, "GL(1,2)", 7, pos, changed, ierr);
  });
  ASSERT_EQ(msgs.size(), 1U);
  EXPECT_EQ(msgs[0].text, printed("STATST: Mistake in ZENT, invalid conductor status@STATUS =  \"ON\"  or  \"OFF\""));
  EXPECT_EQ(msgs[0].routine, "LSCSST");
  EXPECT_EQ(msgs[0].code, 1);
}

}  // namespace entity_refs_test
