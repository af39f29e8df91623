// Entity access on a model that the real loader read from an MDB file written
// by the fixture writer: the lookups must work on the arrays as the load
// leaves them, connection lists and node tie tail included.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/status.h"
#include "runtime/modeldata/entity_lists.h"
#include "runtime/modeldata/model_tree.h"
#include "runtime/modeldata/node_groups.h"
#include "tests/support/mdb_fixtures.h"
#include "tests/support/model_fixture.h"

namespace entity_loaded_test {

namespace mdbw = kalvir::mdbw;
using kalvir::test::tnode;

// MAIN: nodes 1-6 (internal 1-6) with GL 1 and GL 2 both between nodes 1 and
// 2; SUB1 below it: nodes 1-5 (7-11) with alias TOP = 5; SUB2 below SUB1:
// nodes 1-4 (12-15). Tie: MAIN node 5 leads MAIN node 6 and SUB2 node 4.
mdbw::Model loaded_model() {
  mdbw::Model m;
  m.name = "ENTMODEL";
  mdbw::Submodel main;
  main.name = "ENTMODEL";
  for (int n = 1; n <= 6; ++n) main.nodes.push_back(tnode(n, 10.0 * n));
  main.nodes[3].label = "BATTERY 1";
  main.nodes[4].label = "BATTERY 2";
  main.gl = {{1, 2, 0.5}, {1, 2, 0.7}, {2, 3, 0.25}};
  mdbw::Submodel sub1;
  sub1.name = "SUB1";
  sub1.level = 1;
  for (int n = 1; n <= 5; ++n) sub1.nodes.push_back(tnode(n, 100.0 + n));
  sub1.aliases = {{"TOP", 5}};
  mdbw::Submodel sub2;
  sub2.name = "SUB2";
  sub2.level = 2;
  for (int n = 1; n <= 4; ++n) sub2.nodes.push_back(tnode(n, 200.0 + n));
  m.submodels = {main, sub1, sub2};
  m.ties = {{{1, 5}, {{1, 6}, {3, 4}}}};
  return m;
}

class LoadedModel : public ::testing::Test {
 protected:
  void SetUp() override {
    const kalvir::test::LoadOutcome r = kalvir::test::load_model(loaded_model(), dir_);
    ASSERT_EQ(r.status, 0) << r.printed;
    ASSERT_EQ(r.ierr, 0) << r.printed;
    kalvir::model_tree_reset_for_tests();
    Lschnd_clear_cache();
    stat_setstatst(0);
    GLOI.MODEL = 1;
    GLOI.MLEVEL = 0;
    GLOI.MSHORT = 0;
    GLOI.TRACE = 0;
  }
  kalvir::test::TempDir dir_;
};

TEST_F(LoadedModel, TreeLookups) {
  std::string path(256, ' ');
  std::int32_t len = 0;
  std::int32_t ierr = -1;
  LSUBMD("ALL", 3, len, path, ierr);
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(path.substr(0, static_cast<std::size_t>(len)), "ENTMODEL:SUB1:SUB2");

  std::int32_t pos = 1;
  std::int32_t isub = 0;
  LSMINT(gar_modeldirectory, 18, FLAGS(flagw::NSUB), 1, 1, gar_modelnames, "SUB1:SUB2:5", 11, pos, isub, ierr);
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(isub, 3);
  EXPECT_EQ(pos, 11);

  EXPECT_EQ(NDSSMD(12), 3);
  EXPECT_EQ(NODNUM(12), 1);
  std::int32_t node = 0;
  LGTALI(2, "TOP", node, ierr);
  EXPECT_EQ(node, 5);
}

TEST_F(LoadedModel, NodeGroups) {
  std::vector<std::int32_t> list(20, 0);
  std::int32_t n = 0;
  std::int32_t ierr = -1;
  Lschnd(1, 20, "THERMAL", 1, "TESTER", 1, "#1-5", ierr, list, n);
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(std::vector<std::int32_t>(list.begin(), list.begin() + n), (std::vector<std::int32_t>{1, 2, 3, 4, 5}));
  Lschnd(1, 20, "THERMAL", 1, "TESTER", 1, "#SUB1:TOP;SUB1:SUB2:1-2", ierr, list, n);
  EXPECT_EQ(std::vector<std::int32_t>(list.begin(), list.begin() + n), (std::vector<std::int32_t>{11, 12, 13}));
  Lschnd(1, 20, "THERMAL", 1, "TESTER", 1, "BATTERY", ierr, list, n);
  EXPECT_EQ(std::vector<std::int32_t>(list.begin(), list.begin() + n), (std::vector<std::int32_t>{4, 5}));
}

TEST_F(LoadedModel, ConductorStatusStatements) {
  STATST("GL(1,2)", "OFF");
  EXPECT_EQ(gar_linearcondacts(1)[0], 'I');
  EXPECT_EQ(gar_linearcondacts(2)[0], 'A');
  EXPECT_EQ(stat_getstatst(), 1);
  EXPECT_EQ(FLAGS(flagw::CONDOFF), 1);
  stat_setstatst(0);
  STATST("GL(1,2,2)", "OFF");
  EXPECT_EQ(gar_linearcondacts(2)[0], 'I');
  EXPECT_EQ(stat_getstatst(), 1);
  STATST("N:SUB1:3", "B");
  EXPECT_EQ(gar_thermalnodestatuses(9)[0], 'B');
}

TEST_F(LoadedModel, TiedTemperaturesFollowTheirSource) {
  ASSERT_GT(FLAGS(flagw::NTIELEN), 2);
  gar_thermalnodetemps(5) = 321.0;
  SSNCNT(FLAGS(24), FLAGS(flagw::NTIELEN), 0, gar_pcsthermalold.span(), gar_thermalnodetemps.span());
  EXPECT_EQ(gar_thermalnodetemps(6), 321.0);
  EXPECT_EQ(gar_thermalnodetemps(15), 321.0);
  EXPECT_NE(gar_thermalnodetemps(14), 321.0);
  EXPECT_NE(gar_thermalnodetemps(4), 321.0);
}

TEST_F(LoadedModel, EntityList) {
  std::vector<std::int32_t> list(48, 0);
  std::vector<std::int32_t> listed(400, 0);
  std::int32_t cs = 0, ns = 0, n = 0, seq = 0, ierr = -1;
  LSDNTT(48, 400, 48, "PRNDTB", "L,T,QI,C", 8, list, cs, listed, ns, n, seq, ierr);
  EXPECT_EQ(std::vector<std::int32_t>(list.begin(), list.begin() + n), (std::vector<std::int32_t>{1, 2, 6, 3}));
  EXPECT_EQ(ierr, 0);
}

}  // namespace entity_loaded_test
