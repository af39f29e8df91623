#include "runtime/modeldata/model_tree.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <tuple>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/global_arrays.h"
#include "runtime/platform/process.h"
#include "tests/support/model_fixture.h"

namespace model_tree_test {

using kalvir::test::capture_messages;
using kalvir::test::Message;
using kalvir::test::printed;

// MAIN (thermal 1-6 = internal 1-6, fluid 101-102 = 16-17), SUB1 (1-5 = 7-11),
// SUB2 below SUB1 (1-4 = 12-15).
class ModelTree : public ::testing::Test {
 protected:
  void SetUp() override { kalvir::test::build_model(kalvir::test::three_submodel_model()); }
};

void expect_message(const std::vector<Message>& got, const std::string& severity, const std::string& text,
                    const std::string& routine, int code) {
  ASSERT_EQ(got.size(), 1U);
  EXPECT_EQ(got[0].severity, severity);
  EXPECT_EQ(got[0].text, printed(text));
  EXPECT_EQ(got[0].routine, routine);
  EXPECT_EQ(got[0].code, code);
}

TEST_F(ModelTree, NodeNumbersAndOwnersOfInternalIndices) {
  struct Case {
    int index, user, owner;
  };
  for (const Case c : {Case{1, 1, 1}, {6, 6, 1}, {7, 1, 2}, {11, 5, 2}, {12, 1, 3}, {15, 4, 3}, {16, 101, 1},
                       {17, 102, 1}}) {
    EXPECT_EQ(NODNUM(c.index), c.user) << c.index;
    EXPECT_EQ(NDSSMD(c.index), c.owner) << c.index;
  }
}

TEST_F(ModelTree, IndicesOutsideTheNodesAreRefused) {
  for (const int bad : {0, -3, 18}) {
    std::int32_t number = -1;
    const auto msgs = capture_messages([&] { number = NODNUM(bad); });
    EXPECT_EQ(number, 0);
    expect_message(msgs, "WARNING", "Invalid node number - out of range", "NODNUM", 1);
    EXPECT_EQ(NDSSMD(bad), 0);
  }
}

TEST_F(ModelTree, OwnersOfConductorsAndEntities) {
  // GL 1-4 belong to MAIN, 5-6 to SUB1, 7 to SUB2; GR 1-2 and the link to MAIN.
  EXPECT_EQ(CDSSMD(4, 1), 1);
  EXPECT_EQ(CDSSMD(5, 1), 2);
  EXPECT_EQ(CDSSMD(7, 1), 3);
  EXPECT_EQ(CDSSMD(0, 1), 1);
  EXPECT_EQ(CDSSMD(99, 1), 3);
  EXPECT_EQ(CDSSMD(2, 2), 1);
  EXPECT_EQ(CDSSMD(3, 2), 3);  // beyond the last radiative conductor: the last submodel
  EXPECT_EQ(CDSSMD(1, 5), 1);

  struct Case {
    int n, row, owner;
  };
  for (const Case c : {Case{1, 3, 1}, {7, 3, 2}, {15, 3, 3}, {16, 3, 0}, {0, 3, 0}, {2, 16, 1}, {6, 4, 2},
                       {1, 1, 0}, {1, 19, 0}}) {
    std::int32_t isub = -1;
    SUBMDE(c.n, c.row, isub);
    EXPECT_EQ(isub, c.owner) << c.n << " row " << c.row;
  }
}

TEST_F(ModelTree, UnknownConductorTypeEndsTheRun) {
  std::vector<Message> msgs;
  int status = 0;
  msgs = capture_messages([&] { status = kalvir::platform::run_program([] { CDSSMD(1, 6); }); });
  EXPECT_EQ(status, 1);
  expect_message(msgs, "FATAL ERROR", "Invalid conductor type for KALVIR neutral file", "CDSSMD", 1);
}

TEST_F(ModelTree, AncestorsFromTheMainModelDown) {
  kalvir::CharArray<24> names(3);
  std::int32_t nanc = 0;
  std::int32_t ierr = -1;
  SCCNAM(gar_modeldirectory, 18, gar_modelnames, 3, names, nanc, ierr);
  EXPECT_EQ(ierr, 0);
  ASSERT_EQ(nanc, 3);
  EXPECT_EQ(kalvir::trim_right(names(1)), "MAIN");
  EXPECT_EQ(kalvir::trim_right(names(2)), "SUB1");
  EXPECT_EQ(kalvir::trim_right(names(3)), "SUB2");

  // Elements shorter than the names are cut; an element length of 0 only counts.
  std::string two(6, '*');
  SCCNAM(gar_modeldirectory, 18, gar_modelnames, 2, std::span<char>(two), 3, nanc, ierr);
  EXPECT_EQ(two, "MAISUB");
  SCCNAM(gar_modeldirectory, 18, gar_modelnames, 3, {}, 0, nanc, ierr);
  EXPECT_EQ(nanc, 3);
  EXPECT_EQ(ierr, 0);

  // Too little room for the chain is refused rather than overrun.
  std::string small(48, '*');
  SCCNAM(gar_modeldirectory, 18, gar_modelnames, 3, std::span<char>(small), 24, nanc, ierr);
  EXPECT_EQ(ierr, 4);
  EXPECT_EQ(small, std::string(48, '*'));
}

TEST_F(ModelTree, AncestorErrors) {
  kalvir::CharArray<24> names(3);
  std::int32_t nanc = 0;
  std::int32_t ierr = 0;
  auto msgs = capture_messages([&] { SCCNAM(gar_modeldirectory, 18, gar_modelnames, 4, names, nanc, ierr); });
  EXPECT_EQ(ierr, 2);
  expect_message(msgs, "FAILURE", "Invalid model number", "SCCNAM", 1);

  gar_modeldirectory(1, 3) = 1;  // SUB2 claims to hang below MAIN, while SUB1 (level 1) precedes it: fine
  msgs = capture_messages([&] { SCCNAM(gar_modeldirectory, 18, gar_modelnames, 3, names, nanc, ierr); });
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(nanc, 2);
  EXPECT_EQ(kalvir::trim_right(names(2)), "SUB2");

  gar_modeldirectory(1, 2) = 2;  // level 2 right below the main model: no level-1 ancestor
  msgs = capture_messages([&] { SCCNAM(gar_modeldirectory, 18, gar_modelnames, 2, names, nanc, ierr); });
  EXPECT_EQ(ierr, 3);
  expect_message(msgs, "FAILURE", "Error in Master model directory@Internal directory error, contact KALVIR support",
                 "SCCNAM", 2);
}

TEST_F(ModelTree, PathTexts) {
  struct Case {
    std::string scope;
    int isub;
    std::size_t room;
    std::string path;
    int len, ierr;
  };
  const std::vector<Case> cases{
      {"ALL", 3, 256, "MAIN:SUB1:SUB2", 14, 0},
      {"", 3, 256, "MAIN:SUB1:SUB2", 14, 0},
      {"ALL   ", 2, 256, "MAIN:SUB1", 9, 0},
      {"SUBMODEL", 3, 256, "SUB2", 4, 0},
      {"ROOT", 3, 256, "MAIN:SUB1", 9, 0},
      {"ROOT", 1, 256, "MAIN", 4, 0},
      {"ALL", 1, 256, "MAIN", 4, 0},
      // The room must exceed the text by one: the last ':' is written too.
      {"ALL", 3, 15, "MAIN:SUB1:SUB2", 14, 0},
      {"ALL", 3, 14, "MAIN:SUB1:SUB2", 14, 3},
      {"ALL", 3, 10, "MAIN:SUB1:", 10, 3},
      {"ALL", 3, 7, "MAIN:SU", 7, 3},
  };
  for (const Case& c : cases) {
    std::string path(c.room, '*');
    std::int32_t len = -1;
    std::int32_t ierr = -1;
    LSUBMD(c.scope, c.isub, len, path, ierr);
    EXPECT_EQ(ierr, c.ierr) << c.scope << " " << c.isub << " " << c.room;
    EXPECT_EQ(len, c.len) << c.scope << " " << c.isub << " " << c.room;
    EXPECT_EQ(path.substr(0, c.path.size()), c.path) << c.scope << " " << c.isub << " " << c.room;
  }
  // What lies beyond the text and its ':' keeps its contents.
  std::string path(20, '*');
  std::int32_t len = 0;
  std::int32_t ierr = 0;
  LSUBMD("ALL", 3, len, path, ierr);
  EXPECT_EQ(path, "MAIN:SUB1:SUB2:*****");
}

TEST_F(ModelTree, BadScopeOrSubmodelGiveABlankPath) {
  for (const auto& [scope, isub, ierr_expected] :
       std::vector<std::tuple<std::string, int, int>>{{"all", 3, 1}, {"PARENT", 2, 1}, {"ALL", 4, 2}, {"ALL", 0, 2}}) {
    std::string path(12, '*');
    std::int32_t len = 0;
    std::int32_t ierr = 0;
    capture_messages([&] { LSUBMD(scope, isub, len, path, ierr); });
    EXPECT_EQ(ierr, ierr_expected) << scope << isub;
    EXPECT_EQ(len, 1);
    EXPECT_EQ(path, std::string(12, ' '));
  }
}

TEST_F(ModelTree, ParentsAndUserFunctions) {
  std::int32_t parent = -1;
  for (const auto& [isub, expected] : std::vector<std::pair<int, int>>{{1, 0}, {2, 1}, {3, 2}, {0, 0}, {4, 0}}) {
    GetParentModelNumber(isub, parent);
    EXPECT_EQ(parent, expected) << isub;
  }

  GLOI.MODEL = 3;
  EXPECT_EQ(SUBMOD("ALL"), "MAIN:SUB1:SUB2");
  EXPECT_EQ(SUBMOD("SUBMODEL"), "SUB2");
  EXPECT_EQ(SUBMOD("Submodel"), "SUBMOD: Invalid argument ATTRIB");
  GLOI.MODEL = 7;
  std::string text;
  const auto msgs = capture_messages([&] { text = SUBMOD("ALL"); });
  EXPECT_EQ(text, "SUBMOD: Unexpected error");
  EXPECT_EQ(msgs.size(), 1U);

  EXPECT_EQ(SUBMDN(12, "SUBMODEL"), "SUB2");
  EXPECT_EQ(SUBMDN(16, "ALL"), "MAIN");
  EXPECT_EQ(SUBMDN(9, "ROOT"), "MAIN");
  EXPECT_EQ(SUBMDN(0, "ALL"), "SUBMDN: Invalid node number");
  EXPECT_EQ(SUBMDN(18, "ALL"), "SUBMDN: Invalid node number");
  EXPECT_EQ(SUBMDN(7, "X"), "SUBMDN: Invalid argument ATTRIB");
}

TEST_F(ModelTree, NodeReferenceForReports) {
  std::string path(20, '*');
  std::int32_t len = 0;
  std::int32_t node = 0;
  std::int32_t ierr = -1;
  LNDREF(13, len, node, path, ierr);
  EXPECT_EQ(node, 2);
  EXPECT_EQ(len, 14);
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(path, "MAIN:SUB1:SUB2      ");

  std::string shorter(8, '*');
  LNDREF(13, len, node, shorter, ierr);
  EXPECT_EQ(shorter, "MAIN:SUB");
  EXPECT_EQ(len, 8);  // never more than PATH holds

  int status = 0;
  const auto msgs = capture_messages([&] {
    status = kalvir::platform::run_program([&] { LNDREF(0, len, node, path, ierr); });
  });
  EXPECT_EQ(status, 1);
  expect_message(msgs, "FATAL ERROR",
                 "LNDREF: Fatal internal routine error@Invalid internal node number - contact Central Support",
                 "LNDREF", 10);
}

struct PathCase {
  std::string text;
  int icur;
  int isub;  // expected; -1: unchanged
  int pos;   // expected POS after the call
  int ierr;
};

void resolve(const PathCase& c, std::int32_t report, std::vector<Message>* msgs = nullptr) {
  std::int32_t pos = 1;
  std::int32_t isub = -1;
  std::int32_t ierr = -9;
  auto got = capture_messages([&] {
    LSMINT(gar_modeldirectory, 18, static_cast<std::int32_t>(gar_modelnames.size()), report, c.icur, gar_modelnames,
           c.text, static_cast<std::int32_t>(c.text.size()), pos, isub, ierr);
  });
  EXPECT_EQ(ierr, c.ierr) << c.text;
  EXPECT_EQ(isub, c.isub) << c.text;
  EXPECT_EQ(pos, c.pos) << c.text;
  if (msgs != nullptr) *msgs = got;
}

TEST_F(ModelTree, SubmodelPathsResolve) {
  const std::vector<PathCase> cases{
      {"SUB1:SUB2:5", 1, 3, 11, 0},
      {"SUB1:5", 1, 2, 6, 0},
      {"sub1:Sub2:x", 1, 3, 11, 0},  // components match in upper case
      {"SUB2:1", 1, 3, 6, 0},        // a unique deeper match
      {"SUB2:1", 2, 3, 6, 0},
      {"CURRENT:4", 2, 2, 9, 0},
      {"SUB1:", 1, 2, 6, 0},
      {"5", 1, -1, 1, 0},           // no path: nothing changes
      {"(1,2)", 1, -1, 1, 0},       // a '(' ends the path before it starts
      {"SUB1:(1,2)", 1, 2, 6, 0},
  };
  for (const PathCase& c : cases) resolve(c, 1);
}

TEST_F(ModelTree, SubmodelPathErrors) {
  std::vector<Message> msgs;
  resolve({":5", 1, -1, 1, 1}, 1, &msgs);
  expect_message(msgs, "FAILURE", "Mistake in ZENT/ZLABEL, syntax error at \":\"@:", "LSMINT", 1);

  const std::string longname(25, 'A');
  resolve({"SUB1:" + longname + ":3", 1, -1, 6, 1}, 1, &msgs);
  expect_message(msgs, "FAILURE", "Mistake in ZENT/ZLABEL, syntax error at \":\"@" + longname + ":", "LSMINT", 1);

  resolve({"SUB9:3", 1, -1, 6, 2}, 1, &msgs);
  expect_message(msgs, "FAILURE", "Mistake in ZENT/ZLABEL, invalid or ambiguous submodel@SUB9", "LSMINT", 2);

  // The word CURRENT is only recognised as written.
  resolve({"current:3", 1, -1, 9, 2}, 1, &msgs);
  resolve({"SUB2:SUB1:3", 1, -1, 11, 2}, 1, &msgs);
  EXPECT_EQ(msgs.size(), 1U);

  // Without REPORT nothing is written.
  resolve({"SUB9:3", 1, -1, 6, 2}, 0, &msgs);
  EXPECT_TRUE(msgs.empty());
  resolve({":", 1, -1, 1, 1}, 0, &msgs);
  EXPECT_TRUE(msgs.empty());
}

TEST_F(ModelTree, OverlongPathsAreRefused) {
  std::string text;
  for (int k = 0; k < 100; ++k) text += "SUB1:";
  std::vector<Message> msgs;
  std::int32_t pos = 1;
  std::int32_t isub = -1;
  std::int32_t ierr = 0;
  msgs = capture_messages([&] {
    LSMINT(gar_modeldirectory, 18, 3, 1, 1, gar_modelnames, text, static_cast<std::int32_t>(text.size()), pos, isub,
           ierr);
  });
  EXPECT_EQ(ierr, 2);
  EXPECT_EQ(isub, -1);
  ASSERT_EQ(msgs.size(), 1U);
  EXPECT_EQ(msgs[0].routine, "LSMINT");
}

kalvir::test::ModelSpec tree_of(const std::vector<std::pair<std::string, int>>& nodes) {
  kalvir::test::ModelSpec spec;
  for (const auto& [name, level] : nodes) {
    kalvir::test::SubmodelSpec s;
    s.name = name;
    s.level = level;
    s.thermal = {1};
    spec.submodels.push_back(s);
  }
  return spec;
}

TEST(ModelTreeShapes, AmbiguousAndDirectChildMatches) {
  // Two X at depth 2, none at depth 1: ambiguous.
  kalvir::test::build_model(tree_of({{"MAIN", 0}, {"A", 1}, {"X", 2}, {"B", 1}, {"X", 2}}));
  std::vector<Message> msgs;
  resolve({"X:1", 1, -1, 3, 2}, 1, &msgs);
  expect_message(msgs, "FAILURE", "Mistake in ZENT/ZLABEL, invalid or ambiguous submodel@X", "LSMINT", 2);
  resolve({"B:X:1", 1, 5, 5, 0}, 1);
  resolve({"X:1", 4, 5, 3, 0}, 1);  // relative to B only one X lies below

  // A direct child wins over a deeper X, whichever comes first.
  kalvir::test::build_model(tree_of({{"MAIN", 0}, {"A", 1}, {"X", 2}, {"X", 1}}));
  resolve({"X:1", 1, 4, 3, 0}, 1);
  kalvir::test::build_model(tree_of({{"MAIN", 0}, {"X", 1}, {"A", 1}, {"X", 2}}));
  resolve({"X:1", 1, 2, 3, 0}, 1);
}

TEST(ModelTreeShapes, CandidateSearchStatuses) {
  kalvir::test::build_model(tree_of({{"MAIN", 0}, {"A", 1}, {"X", 2}, {"B", 1}, {"X", 2}}));
  const std::vector<kalvir::PathComponent> comps{kalvir::PathComponent("X")};
  std::array<std::int32_t, 1> found{};
  std::int32_t nfound = 0;
  std::int32_t ierr = 0;
  // Both candidates are counted even when only one fits the caller's room.
  SNMINC(gar_modeldirectory, 18, 5, gar_modelnames, comps, 1, 1, nfound, found, ierr);
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(nfound, 2);
  EXPECT_EQ(found[0], 3);
  SNMINC(gar_modeldirectory, 18, 5, gar_modelnames, comps, 1, 0, nfound, found, ierr);
  EXPECT_EQ(ierr, 1);
  SNMINC(gar_modeldirectory, 18, 5, gar_modelnames, comps, 0, 1, nfound, found, ierr);
  EXPECT_EQ(ierr, 2);
  SNMINC(gar_modeldirectory, 18, 5, gar_modelnames, comps, 2, 1, nfound, found, ierr);
  EXPECT_EQ(ierr, 2);  // more components than given
  SNMINC(gar_modeldirectory, 0, 5, gar_modelnames, comps, 1, 1, nfound, found, ierr);
  EXPECT_EQ(ierr, -1);

  std::int32_t j = 0;
  SNMLVX(gar_modeldirectory, 18, 5, gar_modelnames, comps, 1, 4, j, ierr);
  EXPECT_EQ(j, 5);
  SNMLVX(gar_modeldirectory, 18, 5, gar_modelnames, comps, 1, 6, j, ierr);
  EXPECT_EQ(ierr, 1);

  std::int32_t hit = 0;
  SNMLVL(gar_modeldirectory, 18, 5, gar_modelnames, 2, 1, "X", 5, hit, ierr);
  EXPECT_EQ(hit, 3);
  SNMLVL(gar_modeldirectory, 18, 5, gar_modelnames, 1, 1, "X", 5, hit, ierr);
  EXPECT_EQ(hit, 0);
  SNMLVL(gar_modeldirectory, 18, 5, gar_modelnames, 2, 4, "X", 99, hit, ierr);  // N beyond the tree is cut
  EXPECT_EQ(hit, 5);
  SNMLVL(gar_modeldirectory, 18, 5, gar_modelnames, 2, 0, "X", 5, hit, ierr);
  EXPECT_EQ(ierr, 1);
  SNMLVL(gar_modeldirectory, 18, 5, gar_modelnames, -1, 1, "X", 5, hit, ierr);
  EXPECT_EQ(ierr, 2);
}

TEST_F(ModelTree, Aliases) {
  struct Case {
    int isub;
    std::string alias;
    int node, ierr;
  };
  for (const Case& c : std::vector<Case>{{1, "BAT", 4, 0},
                                         {1, "RAD", 3, 0},
                                         {1, "RAD   ", 3, 0},
                                         {2, "TOP", 5, 0},
                                         {1, "TOP", 0, 0},
                                         {1, "bat", 0, 0},
                                         {3, "BAT", 0, 0},
                                         {0, "BAT", 0, 2},
                                         {4, "BAT", 0, 2}}) {
    std::int32_t node = -1;
    std::int32_t ierr = -1;
    const auto msgs = capture_messages([&] { LGTALI(c.isub, c.alias, node, ierr); });
    EXPECT_EQ(node, c.node) << c.isub << c.alias;
    EXPECT_EQ(ierr, c.ierr) << c.isub << c.alias;
    EXPECT_TRUE(msgs.empty());
  }
}

}  // namespace model_tree_test
