// Inter-model conductors: link records from the quadruples of the file, the
// room check of the dynamic core, the resolution of their ends and their
// place in the packed thermal lists.
#include <gtest/gtest.h>

#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/modeldata/mdb_context.h"
#include "runtime/modeldata/model_links.h"
#include "tests/support/mdb_fixtures.h"

namespace kalvir::test {
namespace links_test {

using V = std::vector<std::int32_t>;
using E = std::vector<Entry>;

struct QuadCase {
  const char* what;
  V quad;
  std::int32_t sign_flag;
  V record;
};

class LinkRecord : public ::testing::TestWithParam<QuadCase> {};

TEST_P(LinkRecord, EndsAreOffsetAndOrdered) {
  const QuadCase& c = GetParam();
  FLAGS(flagw::NSUB) = 3;
  V area(10, 0);
  std::copy(c.quad.begin(), c.quad.end(), area.begin() + 1);  // one record: input from word 2
  std::int32_t ierr = -1;
  mdb::SLKMOD(c.sign_flag, 2, 9, 6, 1, 2, area, ierr);
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(V(area.begin(), area.begin() + 5), c.record);
}

INSTANTIATE_TEST_SUITE_P(Cases, LinkRecord,
                         ::testing::Values(QuadCase{"in_order", {0, 7, 1, 3}, 0, {2, 7, 3, 3, 9}},
                                           QuadCase{"exchanged", {1, 3, 0, 7}, 0, {2, 7, 3, 3, 9}},
                                           QuadCase{"exchanged_fluidic", {1, 3, 0, 7}, 1, {2, 7, 3, 3, -9}},
                                           QuadCase{"same_submodel", {0, 9, 0, 4}, 1, {2, 4, 2, 9, -9}}),
                         CaseName{});

TEST(LinkRecord, EndInASubmodelTheModelDoesNotHaveIsRefused) {
  FLAGS(flagw::NSUB) = 3;
  V area{0, 0, 2, 5, 0, 0};
  std::int32_t ierr = 0;
  mdb::SLKMOD(0, 2, 1, 6, 1, 2, area, ierr);  // offset 2 from submodel 2 is submodel 4
  EXPECT_EQ(ierr, 1);
}

TEST(LinkRecord, InputBeyondTheCapacityIsRefused) {
  FLAGS(flagw::NSUB) = 3;
  V area(10, 0);
  std::int32_t ierr = 0;
  mdb::SLKMOD(0, 2, 1, 4, 1, 1, area, ierr);
  EXPECT_EQ(ierr, 1);
}

TEST(DystorMessage, NamesTheWordsNeededAndTheNextTenThousand) {
  FLAGS(flagw::DYSTOR) = 1000000;
  const std::string a = mdb::dystor_message("Reading node pairs for inter-model links", 2345);
  EXPECT_EQ(a.size(), 350U);
  EXPECT_EQ(trim_right(a),
            "Insufficient dynamic storage@Reading node pairs for inter-model links@Need at least 1002345 storage "
            "locations.<NL>Set DYSTOR on the $EXECUTION line of the main model:<NL>   $EXECUTION, DYSTOR = "
            "1010000@Initialising model before solution");
  EXPECT_NE(mdb::dystor_message("x", 10000).find("DYSTOR = 1020000@"), std::string::npos);
}

// Main model nodes 1, 2, 3 (X = 3) with own GL 1 (1, 3); SUB1 nodes 10, 20,
// 30 (internal 4, 5, 6). The main model declares seven inter-model GL whose
// records 3 and 7 have X as end A and record 5 has it as end B.
mdbw::Model chain_model() {
  mdbw::Model m;
  m.name = "CHAINS";
  mdbw::Submodel main;
  main.name = "CHAINS";
  main.nodes = {tnode(1), tnode(2), tnode(3)};
  main.gl = {{1, 3, 1}};
  main.xgl = {{{0, 1}, {1, 10}, 1}, {{0, 2}, {1, 10}, 1}, {{0, 3}, {1, 20}, 1}, {{0, 1}, {1, 30}, 1},
              {{0, 3}, {0, 2}, 1}, {{0, 1}, {1, 20}, 1}, {{0, 3}, {1, 30}, 1}};
  mdbw::Submodel sub;
  sub.name = "SUB1";
  sub.level = 1;
  sub.nodes = {tnode(10), tnode(20), tnode(30)};
  m.submodels = {main, sub};
  return m;
}

TEST(InterModel, InterModelEntriesComeFirstEndABeforeEndB) {
  TempDir dir;
  const LoadOutcome r = load_model(chain_model(), dir);
  ASSERT_EQ(r.ierr, 0) << r.printed;
  // Inter-model GL r is conductor 1 + r.
  EXPECT_EQ(thermal_entries(3), (E{{1, 5, 4}, {1, 6, 8}, {1, 2, 6}, {1, 1, 1}}));
  EXPECT_EQ(thermal_entries(2), (E{{1, 4, 3}, {1, 3, 6}}));
  EXPECT_EQ(thermal_entries(4), (E{{1, 1, 2}, {1, 2, 3}}));
  EXPECT_EQ(record_entries(3), (E{{1, 5, 4}, {1, 6, 8}, {1, 2, 6}, {1, 1, 1}}));
  // Lists stay contiguous: node 2 starts behind node 1's 6 + 2 x 4 words.
  EXPECT_EQ(gar_pcsptrsthermalold(2), 15);
}

TEST(InterModel, FluidicConductorIsNegativeAtTheEndNamedFirst) {
  mdbw::Model m = two_submodel_model();
  // Declared from SUB1 node 20 to main node 1: the record's ends are exchanged.
  m.submodels[0].xgf = {{{1, 20}, {0, 1}, 2.0}};
  TempDir dir;
  const LoadOutcome r = load_model(m, dir);
  ASSERT_EQ(r.ierr, 0) << r.printed;
  const E one = thermal_entries(1);
  EXPECT_EQ(one.back(), (Entry{3, 5, 1}));
  const E twenty = thermal_entries(5);
  EXPECT_EQ(twenty.back(), (Entry{3, 1, -1}));
}

TEST(InterModel, TwoSubmodelModelHasTheLinkAtBothEnds) {
  TempDir dir;
  const LoadOutcome r = load_model(two_submodel_model(), dir);
  ASSERT_EQ(r.ierr, 0) << r.printed;
  EXPECT_EQ(thermal_entries(3), (E{{1, 4, 3}, {1, 2, 2}, {2, 1, 1}}));
  EXPECT_EQ(thermal_entries(4), (E{{1, 3, 3}, {1, 5, 4}}));
}

TEST(InterModel, UnresolvableEndIsReportedWithItsSubmodel) {
  mdbw::Model m = two_submodel_model();
  m.submodels[0].xgl = {{{0, 3}, {1, 99}, 4.0}};
  TempDir dir;
  const LoadOutcome r = load_model(m, dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(mentions(r, "Error in reading model SUB1")) << r.printed;
  EXPECT_TRUE(mentions(r, "(  2)")) << r.printed;
  EXPECT_TRUE(mentions(r, "UPDATE INTER-MODEL LINKS  Zerror =  1")) << r.printed;
  EXPECT_TRUE(mentions(r, "(SLKALL,   1)")) << r.printed;
}

TEST(InterModel, EndInASubmodelTheModelDoesNotHaveFailsTheBlock) {
  mdbw::Model m = two_submodel_model();
  m.submodels[0].xgl = {{{0, 3}, {5, 10}, 4.0}};
  TempDir dir;
  const LoadOutcome r = load_model(m, dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(mentions(r, "INTER-MODEL NODE PAIRS  Zerror =  1")) << r.printed;
}

TEST(InterModel, DynamicCoreExactlyLargeEnoughLoads) {
  mdbw::Model m = chain_model();
  m.dystor = mdbw::model_sizes(m).flags[27] - 1000;
  TempDir dir;
  const LoadOutcome r = load_model(m, dir);
  EXPECT_EQ(r.ierr, 0) << r.printed;
}

TEST(InterModel, DynamicCoreTooSmallForTheLinksNamesWhatItNeeds) {
  mdbw::Model m = chain_model();
  const std::int32_t exact = mdbw::model_sizes(m).flags[27] - 1000;
  m.dystor = exact - 3;
  TempDir dir;
  const LoadOutcome r = load_model(m, dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(mentions(r, "Need at least " + std::to_string(exact) + " storage locations.")) << r.printed;
  EXPECT_TRUE(mentions(r, "Reading node pairs for inter-model links")) << r.printed;
  EXPECT_TRUE(mentions(r, "(LOADI ,   1)")) << r.printed;
}

TEST(InterModel, DynamicCoreTooSmallForTheLoadItself) {
  mdbw::Model m = three_node_model();
  m.dystor = 100;
  TempDir dir;
  const LoadOutcome r = load_model(m, dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(mentions(r, "Insufficient dynamic storage")) << r.printed;
  EXPECT_TRUE(mentions(r, "(LOADB ,   1)")) << r.printed;
}

}  // namespace links_test
}  // namespace kalvir::test
