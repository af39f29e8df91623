#include "runtime/modeldata/node_groups.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/status.h"
#include "tests/support/model_fixture.h"

namespace node_groups_test {

using kalvir::test::capture_messages;
using kalvir::test::Message;
using kalvir::test::printed;
using Nodes = std::vector<std::int32_t>;

// MAIN: internal 1-6 (labels PANEL A, PANEL B, RADIATOR, BATTERY 1, BATTERY 2,
// TANK WALL; aliases BAT = 4, RAD = 3), fluid 101, 102 = 16, 17 (LOOP INLET,
// LOOP OUTLET). SUB1: 7-11 (SUB1 PANEL x2, SUB1 BOX x2, SUB1 TOP; alias TOP =
// 5). SUB2 below SUB1: 12-15.
class NodeGroups : public ::testing::Test {
 protected:
  void SetUp() override { kalvir::test::build_model(kalvir::test::three_submodel_model()); }

  // The nodes that NDOFZL accepts among all nodes, and the first error.
  static Nodes selected(std::int32_t ref, std::string_view zlabel, std::int32_t& ierr) {
    Nodes out;
    ierr = 0;
    for (std::int32_t i = 1; i <= 17; ++i) {
      std::int32_t e = 0;
      if (NDOFZL(ref, 3, 15, i, 1, "TESTER", zlabel, e)) out.push_back(i);
      if (e != 0 && ierr == 0) ierr = e;
    }
    return out;
  }

  struct Listed {
    Nodes nodes;
    std::int32_t ierr;
    std::vector<Message> msgs;
  };
  static Listed list(std::int32_t cnum, std::int32_t smod, std::string_view kind, std::string_view zlabel,
                     std::int32_t inact = 1, std::int32_t maxn = 40, std::size_t room = 40) {
    Listed r;
    std::vector<std::int32_t> buf(room, -7);
    std::int32_t n = -1;
    r.msgs = capture_messages([&] { Lschnd(cnum, maxn, kind, inact, "TESTER", smod, zlabel, r.ierr, buf, n); });
    r.nodes.assign(buf.begin(), buf.begin() + n);
    return r;
  }
};

TEST_F(NodeGroups, NumberFormSelections) {
  struct Case {
    std::string zlabel;
    std::int32_t ref;
    Nodes nodes;
  };
  const std::vector<Case> cases{
      {"#1-5", 1, {1, 2, 3, 4, 5}},  // the reference submodel only, not its descendants
      {"#SUB1:1-5", 1, {7, 8, 9, 10, 11}},
      {"#1-5;SUB1:2", 1, {1, 2, 3, 4, 5, 8}},
      {"# 1 - 2 ; SUB1 : 4", 1, {1, 2, 10}},  // blanks do not count
      {"#3-3,6", 1, {3, 6}},
      {"#1,", 1, {1}},
      {"#BAT,RAD", 1, {3, 4}},
      {"#SUB1:TOP", 1, {11}},
      {"#101", 1, {16}},
      {"#1", 2, {7}},  // relative to SUB1
      {"#SUB2:4", 2, {15}},
      {"#1-99", -2, {7, 8, 9, 10, 11}},
      {"#", 1, {}},
  };
  for (const Case& c : cases) {
    std::int32_t ierr = -1;
    Nodes got;
    const auto msgs = capture_messages([&] { got = selected(c.ref, c.zlabel, ierr); });
    EXPECT_EQ(got, c.nodes) << c.zlabel;
    EXPECT_EQ(ierr, 0) << c.zlabel;
    EXPECT_TRUE(msgs.empty()) << c.zlabel;
  }
}

TEST_F(NodeGroups, NumberFormErrors) {
  struct Case {
    std::string zlabel;
    std::int32_t node;
    std::int32_t ierr;
    std::string text;  // empty: no message
    std::string routine;
  };
  const std::vector<Case> cases{
      {"#5-1", 1, 2, "TESTER: Illegal range construct in ZLABEL@Second value less than first", "LKFNUM"},
      {"#5-1", 7, 0, "", ""},  // the group belongs to MAIN: SUB1's nodes never read it
      {"#1-2-3", 1, 3, "TESTER: Illegal range construct in ZLABEL@Consecutive dashes as delimiters", "LKFNUM"},
      {"#1-", 1, 4, "TESTER: Illegal range construct in ZLABEL@No upper limit on range", "LKFNUM"},
      {"#1,,3", 1, 0, "", ""},  // node 1 matches before the empty item
      {"#1,,3", 3, 1, "TESTER: Unrecognised sub-model / alias in ZLABEL@", "LKFNUM"},
      {"#;5", 5, 1, "TESTER: Unrecognised sub-model / alias in ZLABEL@", "LKFNUM"},
      {"#;5", 8, 0, "", ""},
      {"#NOSUCH", 2, 1, "TESTER: Unrecognised sub-model / alias in ZLABEL@NOSUCH", "LKFNUM"},
      {"#" + std::string(45, 'A'), 2, 1, "TESTER: Unrecognised sub-model / alias in ZLABEL@" + std::string(40, 'A'),
       "LKFNUM"},
      {"#SUB9:1", 7, 2, "Mistake in ZENT/ZLABEL, invalid or ambiguous submodel@SUB9", "LSMINT"},
      {"#:1", 7, 1, "Mistake in ZENT/ZLABEL, syntax error at \":\"@:", "LSMINT"},
  };
  for (const Case& c : cases) {
    std::int32_t ierr = -1;
    const auto msgs = capture_messages([&] { NDOFZL(1, 3, 15, c.node, 1, "TESTER", c.zlabel, ierr); });
    EXPECT_EQ(ierr, c.ierr) << c.zlabel << " node " << c.node;
    if (c.text.empty()) {
      EXPECT_TRUE(msgs.empty()) << c.zlabel;
      continue;
    }
    ASSERT_EQ(msgs.size(), 1U) << c.zlabel;
    EXPECT_EQ(msgs[0].text, printed(c.text));
    EXPECT_EQ(msgs[0].routine, c.routine);
    EXPECT_EQ(msgs[0].code, c.ierr);
    EXPECT_EQ(msgs[0].severity, "FAILURE");
  }
  // Without REPORT the same errors are silent.
  std::int32_t ierr = 0;
  const auto quiet = capture_messages([&] { NDOFZL(1, 3, 15, 1, 0, "TESTER", "#5-1", ierr); });
  EXPECT_EQ(ierr, 2);
  EXPECT_TRUE(quiet.empty());
}

// The elements of a number list, each with its submodel, range and text as
// written; any other form, or a list that cannot be read, has none, and
// reading them reports nothing.
TEST_F(NodeGroups, NumberFormElements) {
  struct Element {
    std::int32_t submodel, low, high;
    std::string text;
    bool operator==(const Element&) const = default;
  };
  struct Case {
    std::string zlabel;
    std::int32_t base;
    std::vector<Element> elements;
  };
  const std::vector<Case> cases{
      {"#1-3, 99", 1, {{1, 1, 3, "1-3"}, {1, 99, 99, "99"}}},
      {"#BAT,2;SUB1:TOP;SUB1:SUB2:1-2", 1,
       {{1, 4, 4, "BAT"}, {1, 2, 2, "2"}, {2, 5, 5, "SUB1:TOP"}, {3, 1, 2, "SUB1:SUB2:1-2"}}},
      {"#SUB2:4", 2, {{3, 4, 4, "SUB2:4"}}},
      {"PANEL", 1, {}},
      {"", 1, {}},
      {"#1-", 1, {}},
      {"#NOSUCH", 1, {}},
      {"#NOSUCH:1", 1, {}},
      {"#1", 9, {}},
  };
  for (const Case& c : cases) {
    std::vector<kalvir::NodeGroupElement> got;
    const auto msgs = capture_messages([&] { got = kalvir::node_group_elements(c.zlabel, c.base); });
    std::vector<Element> elements;
    for (const auto& e : got) elements.push_back({e.submodel, e.low, e.high, e.text});
    EXPECT_EQ(elements, c.elements) << c.zlabel;
    EXPECT_TRUE(msgs.empty()) << c.zlabel;
  }
}

TEST_F(NodeGroups, LabelFormAndScopes) {
  struct Case {
    std::string zlabel;
    std::int32_t ref;
    Nodes nodes;
  };
  const std::vector<Case> cases{
      {"BATTERY", 1, {4, 5}},
      {"PANEL", 1, {1, 2, 7, 8}},
      {"PANEL", -1, {1, 2}},
      {"PANEL", 2, {7, 8}},
      {"LOOP", 1, {16, 17}},
      {"", 2, {7, 8, 9, 10, 11, 12, 13, 14, 15}},
      {"   ", -3, {12, 13, 14, 15}},
      {"SUB1 TOP", 1, {11}},
      {"PANEL A" + std::string(20, ' '), 1, {}},  // longer than a label: matches nothing
  };
  for (const Case& c : cases) {
    std::int32_t ierr = -1;
    EXPECT_EQ(selected(c.ref, c.zlabel, ierr), c.nodes) << "'" << c.zlabel << "' " << c.ref;
    EXPECT_EQ(ierr, 0);
  }
}

TEST_F(NodeGroups, BadReferenceAndOverlongGroup) {
  for (const std::int32_t ref : {0, 4, -4}) {
    std::int32_t ierr = 0;
    bool hit = true;
    const auto msgs = capture_messages([&] { hit = NDOFZL(ref, 3, 15, 1, 1, "TESTER", "", ierr); });
    EXPECT_FALSE(hit);
    EXPECT_EQ(ierr, 1);
    ASSERT_EQ(msgs.size(), 1U);
    EXPECT_EQ(msgs[0].text, printed("Invalid submodel reference@Getting node list@@TESTER called"));
    EXPECT_EQ(msgs[0].routine, "NDOFZL");
  }
  std::int32_t ierr = 0;
  const std::string longest = "#1" + std::string(510, ',');
  EXPECT_TRUE(NDOFZL(1, 3, 15, 1, 1, "TESTER", longest, ierr));
  const auto msgs = capture_messages([&] { NDOFZL(1, 3, 15, 1, 1, "TESTER", longest + ",", ierr); });
  EXPECT_EQ(ierr, 2);
  ASSERT_EQ(msgs.size(), 1U);
  EXPECT_EQ(msgs[0].text, printed("TESTER: ZLABEL too long@ ZLABEL must be less than 512 chars."));
  EXPECT_EQ(msgs[0].code, 2);
}

TEST_F(NodeGroups, NodeListsByKindAndStatus) {
  EXPECT_EQ(list(1, 1, "BOTH", "").nodes, (Nodes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17}));
  EXPECT_EQ(list(1, 1, "FLUID", "").nodes, (Nodes{16, 17}));
  EXPECT_EQ(list(1, 2, "THERMAL", "").nodes, (Nodes{7, 8, 9, 10, 11, 12, 13, 14, 15}));
  EXPECT_EQ(list(1, -2, "THERMAL", "").nodes, (Nodes{7, 8, 9, 10, 11}));
  EXPECT_EQ(list(1, 1, "BOTH", "#1-3,101").nodes, (Nodes{1, 2, 3, 16}));
  EXPECT_EQ(list(-2, 1, "THERMAL", "#1-2").nodes, (Nodes{7, 8}));

  const Listed other = list(1, 1, "ALL", "");
  EXPECT_TRUE(other.nodes.empty());
  EXPECT_EQ(other.ierr, 0);

  gar_thermalnodestatuses.set(2, "X");
  EXPECT_EQ(list(1, -1, "THERMAL", "", 0).nodes, (Nodes{1, 3, 4, 5, 6}));
  EXPECT_EQ(list(1, -1, "THERMAL", "", 1).nodes, (Nodes{1, 2, 3, 4, 5, 6}));
}

TEST_F(NodeGroups, NodeListErrors) {
  Listed r = list(1, 4, "THERMAL", "#1");
  EXPECT_EQ(r.ierr, 1);
  ASSERT_EQ(r.msgs.size(), 1U);
  EXPECT_EQ(r.msgs[0].text,
            printed("Invalid submodel reference@" + std::string(kalvir::kNodeListAction) + "@@" "TESTER called with:<NL>"
                    "   ZLABEL = #1<NL>   CNAME = MAIN"));
  EXPECT_EQ(r.msgs[0].routine, "Lschnd");
  EXPECT_EQ(r.msgs[0].code, 1);

  r = list(-2, 9, "THERMAL", "#1 ");
  EXPECT_EQ(r.msgs.at(0).text, printed("Invalid submodel reference@" + std::string(kalvir::kNodeListAction) + "@@" "TESTER "
                                       "called with:<NL>   ZLABEL = #1<NL>   CNAME = SUB1:ONLY"));
  r = list(5, 1, "THERMAL", "#1");
  EXPECT_EQ(r.msgs.at(0).text, printed("Invalid submodel reference@" + std::string(kalvir::kNodeListAction) + "@@" "TESTER "
                                       "called with:<NL>   ZLABEL = #1<NL>   CNAME = 5"));

  // An error of the group ends the list; nothing is kept.
  r = list(1, 1, "THERMAL", "#1,,3");
  EXPECT_EQ(r.ierr, 1);
  EXPECT_EQ(r.nodes, (Nodes{1}));
  ASSERT_EQ(r.msgs.size(), 1U);
  EXPECT_EQ(r.msgs[0].routine, "LKFNUM");
}

TEST_F(NodeGroups, NodeListLongerThanRoom) {
  Listed r = list(1, 1, "THERMAL", "#1-5", 1, 3);
  EXPECT_EQ(r.ierr, 1);
  EXPECT_EQ(r.nodes, (Nodes{1, 2, 3}));
  ASSERT_EQ(r.msgs.size(), 1U);
  EXPECT_EQ(r.msgs[0].text,
            printed("Insufficient space to store node list@" + std::string(kalvir::kNodeListAction) + "@More than 3 "
                    "nodes found@TESTER called with:<NL>   ZLABEL = #1-5<NL>   CNAME = MAIN"));
  EXPECT_EQ(r.msgs[0].code, 2);

  r = list(1, 1, "BOTH", "", 1, 15);
  EXPECT_EQ(r.ierr, 1);
  EXPECT_EQ(r.nodes.size(), 15U);
  EXPECT_EQ(r.msgs.at(0).code, 3);  // full in the fluid scan

  // The room of LIST counts as well as MAXN.
  r = list(1, 1, "THERMAL", "#1-5", 1, 40, 2);
  EXPECT_EQ(r.ierr, 1);
  EXPECT_EQ(r.nodes, (Nodes{1, 2}));

  // A list that did not fit was not kept: a later call sees a changed label.
  list(1, 1, "THERMAL", "PANEL", 1, 3);
  gar_thermalnodelabels.set(8, "SUB1 SHELF");
  EXPECT_EQ(list(1, 1, "THERMAL", "PANEL").nodes, (Nodes{1, 2, 7}));
}

TEST_F(NodeGroups, CacheServesRepeatedRequests) {
  EXPECT_EQ(list(1, 1, "THERMAL", "PANEL").nodes, (Nodes{1, 2, 7, 8}));
  gar_thermalnodelabels.set(8, "SUB1 SHELF");
  EXPECT_EQ(list(1, 1, "THERMAL", "PANEL").nodes, (Nodes{1, 2, 7, 8}));   // served from the cache
  EXPECT_EQ(list(1, 1, "BOTH", "PANEL").nodes, (Nodes{1, 2, 7}));         // another key
  EXPECT_EQ(list(-1, 1, "THERMAL", "PANEL").nodes, (Nodes{1, 2}));

  // A cached list longer than the caller's room is reported, not overrun.
  const Listed r = list(1, 1, "THERMAL", "PANEL", 1, 40, 3);
  EXPECT_EQ(r.ierr, 1);
  EXPECT_EQ(r.nodes, (Nodes{1, 2, 7}));
  ASSERT_EQ(r.msgs.size(), 1U);
  EXPECT_EQ(r.msgs[0].text,
            printed("Insufficient space to store node list@" + std::string(kalvir::kNodeListAction) + "@More than 3 "
                    "nodes found@TESTER called with:<NL>   ZLABEL = PANEL<NL>   CNAME = MAIN"));
  EXPECT_EQ(r.msgs[0].code, 2);
}

TEST_F(NodeGroups, CacheHoldsAHundredLists) {
  for (int k = 1; k <= 100; ++k) EXPECT_TRUE(list(1, 1, "THERMAL", "NONE" + std::to_string(k)).nodes.empty());
  EXPECT_EQ(list(1, 1, "THERMAL", "PANEL A").nodes, (Nodes{1}));  // the 101st is answered
  gar_thermalnodelabels.set(1, "NONE1");
  gar_thermalnodelabels.set(2, "PANEL A");
  EXPECT_EQ(list(1, 1, "THERMAL", "PANEL A").nodes, (Nodes{2}));  // ... but not kept
  EXPECT_TRUE(list(1, 1, "THERMAL", "NONE1").nodes.empty());     // the first is still kept
}

TEST_F(NodeGroups, CacheNeverServesAListMadeStaleByAStatusChange) {
  EXPECT_EQ(list(1, -1, "THERMAL", "", 0).nodes, (Nodes{1, 2, 3, 4, 5, 6}));
  STATST("N2", "X");
  EXPECT_EQ(list(1, -1, "THERMAL", "", 0).nodes, (Nodes{1, 3, 4, 5, 6}));
  // Letters changed by anyone else (heaters, parameter cases, a restored
  // state) are noticed as well.
  gar_thermalnodestatuses.set(2, "D");
  gar_thermalnodestatuses.set(5, "X");
  EXPECT_EQ(list(1, -1, "THERMAL", "", 0).nodes, (Nodes{1, 2, 3, 4, 6}));
  // A list that keeps 'X' nodes does not depend on the letters.
  EXPECT_EQ(list(1, -1, "THERMAL", "", 1).nodes, (Nodes{1, 2, 3, 4, 5, 6}));
}

TEST_F(NodeGroups, NodesOfOneSubmodelForParameterCases) {
  struct Case {
    std::string zlabel;
    std::int32_t isub;
    Nodes nodes;
  };
  const std::vector<Case> cases{
      {"", 2, {7, 8, 9, 10, 11, 12, 13, 14, 15}},
      {"", -2, {7, 8, 9, 10, 11}},
      {"", 1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17}},
      {"LOOP", 1, {16, 17}},
      {"BOX", 1, {9, 10}},
      {"#1-3;SUB1:2,TOP", 1, {1, 2, 3, 8, 11}},
      {"#101;4", 1, {4, 16}},
      {"#1;1", 1, {1}},
      {"#1", -2, {7}},
      {"#SUB2:1-2", 2, {12, 13}},
  };
  for (const Case& c : cases) {
    std::vector<std::int32_t> buf(17, -1);
    std::int32_t n = -1;
    std::int32_t ierr = -1;
    const auto msgs = capture_messages([&] { NDSOZL(c.zlabel, c.isub, buf, 17, 1, n, ierr); });
    EXPECT_EQ(ierr, 0) << c.zlabel;
    EXPECT_EQ(Nodes(buf.begin(), buf.begin() + std::max(n, 0)), c.nodes) << c.zlabel << " " << c.isub;
    EXPECT_TRUE(msgs.empty());
  }
}

TEST_F(NodeGroups, NodesOfOneSubmodelErrors) {
  std::vector<std::int32_t> buf(17, 0);
  std::int32_t n = -1;
  std::int32_t ierr = 0;
  auto msgs = capture_messages([&] { NDSOZL("", 1, buf, 16, 1, n, ierr); });
  EXPECT_EQ(ierr, 1);
  EXPECT_EQ(n, 0);
  ASSERT_EQ(msgs.size(), 1U);
  EXPECT_EQ(msgs[0].text, printed("Node list is too short for data@Contact central support"));
  EXPECT_EQ(msgs[0].routine, "NDSOZL");

  // MAXN beyond the room of LIST does not help.
  msgs = capture_messages([&] { NDSOZL("", 1, std::span<std::int32_t>(buf).first(10), 17, 1, n, ierr); });
  EXPECT_EQ(ierr, 1);

  for (const std::string zlabel : {"", "#1"}) {
    msgs = capture_messages([&] { NDSOZL(zlabel, 4, buf, 17, 1, n, ierr); });
    EXPECT_EQ(ierr, 2);
    ASSERT_EQ(msgs.size(), 1U);
    EXPECT_EQ(msgs[0].text, printed("Invalid model number@Contact central support"));
    EXPECT_EQ(msgs[0].code, 2);
  }

  msgs = capture_messages([&] { NDSOZL("#5-1", 1, buf, 17, 1, n, ierr); });
  EXPECT_EQ(ierr, 2);
  EXPECT_EQ(n, 0);
  ASSERT_EQ(msgs.size(), 1U);
  EXPECT_EQ(msgs[0].text, printed("NDSOZL: Illegal range construct in ZLABEL@Second value less than first:#5-1"));
  EXPECT_EQ(msgs[0].routine, "LNDSZL");

  msgs = capture_messages([&] { NDSOZL("#1,X9", 1, buf, 17, 1, n, ierr); });
  EXPECT_EQ(ierr, 1);
  EXPECT_EQ(msgs.at(0).text, printed("NDSOZL: Unrecognised sub-model / alias in ZLABEL@X9"));

  msgs = capture_messages([&] { NDSOZL("#1-", 1, buf, 17, 0, n, ierr); });
  EXPECT_EQ(ierr, 4);
  EXPECT_TRUE(msgs.empty());
}

}  // namespace node_groups_test
