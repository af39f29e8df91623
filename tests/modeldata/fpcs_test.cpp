// Fluid connection lists: links and conductors of the fluid nodes, the
// inter-model mass-flow links with their node pairs, the walk SFUNPK and the
// lookups SGVNOD and INTNOD.
#include <gtest/gtest.h>

#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/modeldata/fpcs.h"
#include "tests/support/mdb_fixtures.h"

namespace kalvir::test {
namespace fpcs_test {

using V = std::vector<std::int32_t>;
using E = std::vector<Entry>;

TEST(Fpcs, TwoFluidNodesJoinedByOneLink) {
  mdbw::Model m;
  m.name = "LOOP";
  mdbw::Submodel s;
  s.name = "LOOP";
  s.fluid = {fnode(101), fnode(102)};
  s.links = {{101, 102, 0.25}};
  m.submodels = {s};
  TempDir dir;
  load_ok(m, dir);
  EXPECT_EQ(words(gar_pcsptrsfluid.span(), 1, 2), (V{1, 8}));
  EXPECT_EQ(words(gar_pcsfluid.span(), 1, 14), (V{2, 1, -4, 0, 0, 0, 0, 1, 1, -11, 0, 0, 0, 0}));
  EXPECT_EQ(words(gar_massflowlinkcondnodepairs.span(), 1, 2), (V{1, 2}));
  EXPECT_DOUBLE_EQ(gar_massflowlinkflowrates(1), 0.25);
  EXPECT_EQ(gar_massflowlinktypes(1), 1);
  EXPECT_EQ(fluid_entries(2), (E{{1, 1, 1}}));
}

// Thermal nodes 1, 2 and fluid node 101: GL 3 from node 2 to the fluid node,
// GF 2 from the fluid node to node 2.
mdbw::Model coupled_model() {
  mdbw::Model m;
  m.name = "COUPLED";
  mdbw::Submodel s;
  s.name = "COUPLED";
  s.nodes = {tnode(1), tnode(2)};
  s.fluid = {fnode(101)};
  s.gl = {{1, 2, 1}, {1, 2, 1}, {2, 101, 1}};
  s.gf = {{1, 2, 1}, {101, 2, 1}};
  m.submodels = {s};
  return m;
}

TEST(Fpcs, FluidNodeConductorsToThermalNodes) {
  TempDir dir;
  load_ok(coupled_model(), dir);
  EXPECT_EQ(fluid_entries(1), (E{{2, 2, 3}, {4, 2, -2}}));
  EXPECT_EQ(words(gar_pcsfluid.span(), 1, 9), (V{-2, 0, 2, 3, 0, 0, 2, -2, 0}));
  // The thermal side names the fluid node by its internal index NNODE + 1.
  EXPECT_EQ(thermal_entries(2), (E{{1, 1, 1}, {1, 1, 2}, {1, 3, 3}, {3, 1, 1}, {3, 3, 2}}));
}

TEST(Fpcs, SfunpkPassesOverInactiveThermalNeighboursUnlessAskedForAll) {
  TempDir dir;
  load_ok(coupled_model(), dir);
  gar_thermalnodestatuses.set(2, "X");
  std::int32_t kind = 0, pos = 0, cond = 0, neighb = 0;
  SFUNPK(0, 1, gar_thermalnodestatuses, gar_pcsfluid.span(), gar_pcsptrsfluid.span(), kind, pos, cond, neighb);
  EXPECT_EQ(pos, 0);
  EXPECT_EQ(neighb, 0);
  EXPECT_EQ(kind, 5);
  EXPECT_EQ(fluid_entries(1).size(), 2U);
}

// SUB1 holds fluid nodes 101, 102 (fluid indices 1, 2), SUB2 fluid node 201
// (index 3); the main model declares mass-flow links between them.
mdbw::Model fluid_tree(std::vector<mdbw::InterLink> xlinks) {
  mdbw::Model m;
  m.name = "FTREE";
  mdbw::Submodel main;
  main.name = "FTREE";
  main.nodes = {tnode(1)};
  main.xlinks = std::move(xlinks);
  mdbw::Submodel a;
  a.name = "SUB1";
  a.level = 1;
  a.fluid = {fnode(101), fnode(102)};
  a.links = {{101, 102, 1.0}};
  mdbw::Submodel b;
  b.name = "SUB2";
  b.level = 1;
  b.fluid = {fnode(201)};
  m.submodels = {main, a, b};
  return m;
}

TEST(Fpcs, InterModelLinkKeepsTheOrderOfItsDefinition) {
  struct Case {
    mdbw::InterLink link;
    V pair;
  };
  const Case cases[] = {{{{1, 101}, {2, 201}, 0.5}, {1, 3}}, {{{2, 201}, {1, 101}, 0.5}, {3, 1}}};
  for (const Case& c : cases) {
    TempDir dir;
    load_ok(fluid_tree({c.link}), dir);
    // Link 1 is the main model's inter-model link, link 2 SUB1's own.
    EXPECT_EQ(words(gar_massflowlinkcondnodepairs.span(), 1, 4), (V{c.pair[0], c.pair[1], 1, 2}));
    EXPECT_DOUBLE_EQ(gar_massflowlinkflowrates(1), 0.5);
    EXPECT_EQ(gar_modeldirectory(17, 2), 1);
    // Own links first, then the inter-model one.
    EXPECT_EQ(fluid_entries(1), (E{{1, 2, 2}, {1, 3, 1}}));
    EXPECT_EQ(fluid_entries(3), (E{{1, 1, 1}}));
    EXPECT_EQ(fluid_entries(2), (E{{1, 1, 2}}));
  }
}

TEST(Fpcs, InterModelLinkWithinOneLaterSubmodel) {
  TempDir dir;
  load_ok(fluid_tree({{{1, 102}, {1, 101}, 0.5}}), dir);
  EXPECT_EQ(words(gar_massflowlinkcondnodepairs.span(), 1, 2), (V{2, 1}));
  EXPECT_EQ(fluid_entries(1), (E{{1, 2, 2}, {1, 2, 1}}));
  EXPECT_EQ(fluid_entries(2), (E{{1, 1, 2}, {1, 1, 1}}));
}

TEST(Fpcs, FluidLinkToAnEarlierSubmodelFailsTheLoad) {
  mdbw::Model m = fluid_tree({});
  m.submodels[2].xlinks = {{{-1, 101}, {0, 201}, 0.5}};
  TempDir dir;
  const LoadOutcome r = load_model(m, dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(mentions(r, "Failed updating F nodes  Zerror =  1")) << r.printed;
}

TEST(Fpcs, FluidLinkEndThatIsNoFluidNodeFailsTheLoad) {
  TempDir dir;
  const LoadOutcome r = load_model(fluid_tree({{{1, 101}, {2, 299}, 0.5}}), dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(mentions(r, "Error in reading model SUB2")) << r.printed;
  EXPECT_TRUE(mentions(r, "Failed updating F nodes  Zerror =  1")) << r.printed;
}

TEST(Fpcs, InterModelConductorsReachFluidNodes) {
  mdbw::Model m = fluid_tree({});
  m.submodels[0].xgl = {{{0, 1}, {1, 102}, 3.0}};
  m.submodels[0].xgf = {{{1, 101}, {0, 1}, 3.0}};
  TempDir dir;
  load_ok(m, dir);
  // Thermal node 1; fluid node k is internal 1 + k; SUB1's own link is link 1.
  EXPECT_EQ(thermal_entries(1), (E{{1, 3, 1}, {3, 2, 1}}));
  EXPECT_EQ(fluid_entries(2), (E{{1, 1, 1}, {2, 1, 1}}));
  EXPECT_EQ(fluid_entries(1), (E{{1, 2, 1}, {4, 1, -1}}));
}

TEST(Fpcs, PairEndThatIsNoNodeOfTheSubmodelFailsTheBuild) {
  mdbw::Model m = coupled_model();
  m.submodels[0].gl.back().n2 = 999;
  TempDir dir;
  const LoadOutcome r = load_model(m, dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(mentions(r, "Failed to create PCS for model  1")) << r.printed;
}

TEST(Sgvnod, ReplacesUserNumbersByIndices) {
  const V numbers{5, 9, 12};
  V w{12, 9};
  std::int32_t ierr = -1;
  SGVNOD(2, 3, numbers, 40, w, ierr);
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(w, (V{43, 42}));
  V bad{9, 7, 12};
  SGVNOD(3, 3, numbers, 40, bad, ierr);
  EXPECT_EQ(ierr, 1);
  EXPECT_EQ(bad, (V{42, 7, 12}));
}

TEST(Intnod, FindsThermalThenFluidNodesAndWarnsOtherwise) {
  TempDir dir;
  load_ok(coupled_model(), dir);
  EXPECT_EQ(INTNOD(1, 2), 2);
  EXPECT_EQ(INTNOD(1, 101), 3);
  Unit6Capture capture;
  EXPECT_EQ(INTNOD(0, 2), 0);
  EXPECT_EQ(INTNOD(1, 77), 0);
  const std::string printed = joined_frames(capture.finish());
  EXPECT_NE(printed.find("Invalid submodel 0"), std::string::npos) << printed;
  EXPECT_NE(printed.find("Node 77 not found in sub-model COUPLED"), std::string::npos) << printed;
}

}  // namespace fpcs_test
}  // namespace kalvir::test
