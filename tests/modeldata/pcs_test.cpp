// Thermal connection lists: the packed form built while loading, the record
// form derived from it, the node ties merged into both, and the walk STUNPK.
// Every expectation is worked out by hand from the model written.
#include <gtest/gtest.h>

#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/modeldata/pcs.h"
#include "tests/support/mdb_fixtures.h"

namespace kalvir::test {
namespace pcs_test {

using V = std::vector<std::int32_t>;
using E = std::vector<Entry>;

TEST(Pcs, PackedListsOfThreeNodesWithTwoLinearConductors) {
  TempDir dir;
  load_ok(three_node_model(), dir);
  EXPECT_EQ(words(gar_pcsptrsthermalold.span(), 1, 3), (V{1, 11, 19}));
  // Node 1: (2, 1), (3, 2); node 2: (1, 1); node 3: (1, 2); every run ends
  // with -q, 0, q naming the 0.
  EXPECT_EQ(words(gar_pcsthermalold.span(), 1, 26),
            (V{2, 1, 3, 2, -6, 0, -8, 0, -10, 0,  //
               1, 1, -14, 0, -16, 0, -18, 0,      //
               1, 2, -22, 0, -24, 0, -26, 0}));
  EXPECT_EQ(record_entries(1), (E{{1, 2, 1}, {1, 3, 2}}));
  EXPECT_EQ(record_entries(3), (E{{1, 1, 2}}));
  EXPECT_EQ(words(gar_pcsptrsthermal.span(), 1, 6), (V{1, 2, 5, 0, 5, 0}));
}

TEST(Pcs, FluidicConductorIsNegativeAtTheNodeNamedFirst) {
  mdbw::Model m = three_node_model();
  // GF 5 runs from node 10 to node 20; GF 6 has its second node written negative.
  m.submodels[0].gf = {{10, 30, 1}, {10, 30, 1}, {10, 30, 1}, {10, 30, 1}, {10, 20, 1}, {20, -30, 1}};
  TempDir dir;
  load_ok(m, dir);
  const E one = thermal_entries(1);
  EXPECT_EQ(E(one.end() - 5, one.end()), (E{{3, 3, -1}, {3, 3, -2}, {3, 3, -3}, {3, 3, -4}, {3, 2, -5}}));
  EXPECT_EQ(thermal_entries(2), (E{{1, 1, 1}, {3, 1, 5}, {3, 3, 6}}));
  EXPECT_EQ(thermal_entries(3), (E{{1, 1, 2}, {3, 1, 1}, {3, 1, 2}, {3, 1, 3}, {3, 1, 4}, {3, 2, 6}}));
}

TEST(Pcs, SecondSubmodelEntriesAreGlobal) {
  mdbw::Model m;
  m.name = "GLOBALS";
  mdbw::Submodel a;
  a.name = "GLOBALS";
  a.nodes = {tnode(1), tnode(2), tnode(3), tnode(4)};
  a.gl = {{1, 2, 1}, {2, 3, 1}, {3, 4, 1}};
  mdbw::Submodel b;
  b.name = "B";
  b.level = 1;
  b.nodes = {tnode(10), tnode(20)};
  b.gl = {{10, 20, 1}};
  m.submodels = {a, b};
  TempDir dir;
  load_ok(m, dir);
  // The local entry (2, 1) of node 10 becomes (6, 4).
  EXPECT_EQ(thermal_entries(5), (E{{1, 6, 4}}));
  EXPECT_EQ(thermal_entries(6), (E{{1, 5, 4}}));
  EXPECT_EQ(gar_pcsptrsthermalold(5), 6 * 4 + 2 * 6 + 1);
}

TEST(Pcs, NodeWithoutConductorsHasThreeEmptyRuns) {
  mdbw::Model m = three_node_model();
  m.submodels[0].nodes.push_back(tnode(40));
  TempDir dir;
  load_ok(m, dir);
  const std::int32_t p = gar_pcsptrsthermalold(4);
  EXPECT_EQ(words(gar_pcsthermalold.span(), p, 6), (V{-(p + 1), 0, -(p + 3), 0, -(p + 5), 0}));
  EXPECT_EQ(thermal_entries(4), E{});
}

TEST(Pcs, ViewFactorConductorsBringTheRadiativeTriangle) {
  mdbw::Model m;
  m.name = "TRIANGLE";
  mdbw::Submodel s;
  s.name = "TRIANGLE";
  s.nodes = {tnode(1), tnode(2), tnode(3)};
  s.gr = {{1, 3, 1}};
  s.gv = {{2, 3, 0.5}};
  m.submodels = {s};
  TempDir dir;
  load_ok(m, dir);
  // Explicit GR 1, then the triangle (1,2), (1,3), (2,3) as GR 2, 3, 4.
  EXPECT_EQ(FLAGS(flagw::NGR), 4);
  EXPECT_EQ(thermal_entries(1), (E{{2, 3, 1}, {2, 2, 2}, {2, 3, 3}}));
  EXPECT_EQ(thermal_entries(2), (E{{2, 1, 2}, {2, 3, 4}}));
  EXPECT_EQ(thermal_entries(3), (E{{2, 1, 1}, {2, 1, 3}, {2, 2, 4}}));
  EXPECT_EQ(words(gar_vfaccondnodepairs.span(), 1, 2), (V{2, 3}));
}

// Nodes S = 1, T = 2, W = 3, X = 4: GL 1-6 from S to X, GL 7 from T to W.
mdbw::Model tie_model() {
  mdbw::Model m;
  m.name = "TIES";
  mdbw::Submodel s;
  s.name = "TIES";
  s.nodes = {tnode(1), tnode(2), tnode(3), tnode(4)};
  for (int k = 0; k < 6; ++k) s.gl.push_back({1, 4, 1});
  s.gl.push_back({2, 3, 1});
  m.submodels = {s};
  m.ties = {{{1, 1}, {{1, 2}}}};
  return m;
}

TEST(Pcs, TieTargetConductorsPassToTheSource) {
  TempDir dir;
  load_ok(tie_model(), dir);
  EXPECT_EQ(FLAGS(flagw::NTIELEN), 5);
  EXPECT_EQ(words(gar_pcsthermalold.span(), FLAGS(24) - 4, 5), (V{5, 1, 1, 1, 2}));
  EXPECT_EQ(gar_thermalnodestatuses(2), "C");
  // W's entry names S instead of T.
  EXPECT_EQ(thermal_entries(3), (E{{1, 1, 7}}));
  // S's linear run leads through T's before it ends.
  EXPECT_EQ(thermal_entries(1),
            (E{{1, 4, 1}, {1, 4, 2}, {1, 4, 3}, {1, 4, 4}, {1, 4, 5}, {1, 4, 6}, {1, 3, 7}}));
  EXPECT_EQ(record_entries(1),
            (E{{1, 4, 1}, {1, 4, 2}, {1, 4, 3}, {1, 4, 4}, {1, 4, 5}, {1, 4, 6}, {1, 3, 7}}));
  EXPECT_EQ(words(gar_pcsptrsthermal.span(), 7, 6), (V{0, 0, 0, 0, 0, 0}));
  // T keeps its packed list.
  EXPECT_EQ(gar_pcsthermalold(gar_pcsptrsthermalold(2)), 3);
}

TEST(Pcs, SourceRunLeadsThroughEveryTargetInGroupOrder) {
  mdbw::Model m;
  m.name = "CHAIN";
  mdbw::Submodel s;
  s.name = "CHAIN";
  s.nodes = {tnode(1), tnode(2), tnode(3), tnode(4), tnode(5)};
  s.gr = {{1, 4, 1}, {2, 4, 1}, {3, 5, 1}};
  m.submodels = {s};
  m.ties = {{{1, 1}, {{1, 2}, {1, 3}}}};
  TempDir dir;
  load_ok(m, dir);
  EXPECT_EQ(thermal_entries(1), (E{{2, 4, 1}, {2, 4, 2}, {2, 5, 3}}));
  EXPECT_EQ(thermal_entries(4), (E{{2, 1, 1}, {2, 1, 2}}));
  EXPECT_EQ(thermal_entries(5), (E{{2, 1, 3}}));
}

TEST(Pcs, TieGroupsStandInReverseOrder) {
  mdbw::Model m;
  m.name = "GROUPS";
  mdbw::Submodel s;
  s.name = "GROUPS";
  for (int n = 1; n <= 7; ++n) s.nodes.push_back(tnode(n));
  m.submodels = {s};
  m.ties = {{{1, 1}, {{1, 2}}}, {{1, 3}, {{1, 4}}}, {{1, 5}, {{1, 6}, {1, 7}}}};
  TempDir dir;
  load_ok(m, dir);
  EXPECT_EQ(words(gar_pcsthermalold.span(), FLAGS(24) - 11, 12), (V{12, 3, 5, 2, 6, 7, 3, 1, 4, 1, 1, 2}));
}

TEST(Pcs, TiesAcrossSubmodels) {
  TempDir dir;
  load_ok(two_submodel_model(), dir);
  // Main node 1 is the source of SUB1 node 40 (internal 7).
  EXPECT_EQ(words(gar_pcsthermalold.span(), FLAGS(24) - 4, 5), (V{5, 1, 1, 1, 7}));
  EXPECT_EQ(gar_thermalnodestatuses(7), "C");
  // SUB1 node 30 (internal 6) had GL 6 to node 40; it now names node 1.
  EXPECT_EQ(thermal_entries(6), (E{{1, 5, 5}, {1, 1, 6}}));
}

struct BadTie {
  const char* what;
  std::vector<mdbw::TieGroup> ties;
};

class PcsBadTie : public ::testing::TestWithParam<BadTie> {};

TEST_P(PcsBadTie, FailsTheLoad) {
  mdbw::Model m = two_submodel_model();
  m.ties = GetParam().ties;
  TempDir dir;
  const LoadOutcome r = load_model(m, dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.printed.find("(  3)"), std::string::npos) << r.printed;
  EXPECT_NE(r.printed.find("Zerror =  1"), std::string::npos) << r.printed;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PcsBadTie,
    ::testing::Values(BadTie{"unknown_target", {{{1, 1}, {{2, 50}}}}},
                      BadTie{"unknown_submodel", {{{1, 1}, {{3, 10}}}}},
                      // A node tied twice would chain its lists into both groups.
                      BadTie{"target_twice", {{{1, 1}, {{2, 40}}}, {{1, 2}, {{2, 40}}}}},
                      BadTie{"source_is_target", {{{1, 1}, {{1, 1}}}}}),
    CaseName{});

TEST(Pcs, StunpkPassesOverInactiveAndTiedNeighboursUnlessAskedForAll) {
  TempDir dir;
  load_ok(three_node_model(), dir);
  gar_thermalnodestatuses.set(2, "X");
  gar_thermalnodestatuses.set(3, "C");
  std::int32_t kind = 0, pos = 0, cond = 0, neighb = 0;
  STUNPK(0, 3, 1, gar_thermalnodestatuses, gar_pcsthermalold.span(), gar_pcsptrsthermalold.span(), kind, pos, cond,
         neighb);
  EXPECT_EQ(pos, 0);
  EXPECT_EQ(neighb, 0);
  EXPECT_EQ(kind, 4);
  EXPECT_EQ(thermal_entries(1).size(), 2U);  // all entries
  // A neighbour above NNODE is a fluid node and always returned.
  std::vector<std::int32_t> list{5, 9, -4, 0, -6, 0, -8, 0};
  std::vector<std::int32_t> ptrs{1, 1, 1};
  pos = 0;
  STUNPK(0, 3, 1, gar_thermalnodestatuses, list, ptrs, kind, pos, cond, neighb);
  EXPECT_EQ(neighb, 5);
  EXPECT_EQ(cond, 9);
  EXPECT_EQ(kind, 1);
}

}  // namespace pcs_test
}  // namespace kalvir::test
