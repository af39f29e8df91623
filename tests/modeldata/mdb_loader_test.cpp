// End-to-end loads of MDB files written by the MDB writer: the filled arrays,
// the model directory, the control constants, and the header and section
// failures with their texts.
#include <gtest/gtest.h>

#include <bit>
#include <filesystem>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/shared_blocks.h"
#include "runtime/modeldata/mdb_loader.h"
#include "runtime/platform/process.h"
#include "tests/support/mdb_fixtures.h"

namespace kalvir::test {
namespace mdb_loader_test {

std::vector<std::int32_t> dir_column(std::int32_t m) {
  std::vector<std::int32_t> v;
  for (int r = 1; r <= 18; ++r) v.push_back(gar_modeldirectory(r, m));
  return v;
}

TEST(MdbLoad, MinimalThermalModelFillsNodesConductorsAndDirectory) {
  TempDir dir;
  const LoadOutcome r = load_model(three_node_model(), dir);
  ASSERT_EQ(r.status, 0) << r.printed;
  ASSERT_EQ(r.ierr, 0) << r.printed;
  EXPECT_EQ(r.printed.find("FATAL"), std::string::npos) << r.printed;
  EXPECT_EQ(words(gar_thermalnodenums.span(), 1, 3), (std::vector<std::int32_t>{10, 20, 30}));
  EXPECT_DOUBLE_EQ(gar_thermalnodetemps(2), 21.0);
  EXPECT_EQ(gar_thermalnodelabels(3), padded("NODE 30", 24));
  EXPECT_EQ(gar_thermalnodestatuses(1), "D");
  EXPECT_EQ(gar_thermalnodestatusescopy(1), "D");
  EXPECT_DOUBLE_EQ(gar_linearconds(2), 2.5);
  EXPECT_EQ(gar_linearcondacts(1), "A");
  EXPECT_EQ(gar_modelnames(1), padded("THREENODE", 24));
  EXPECT_EQ(gar_modelstatuses(1), "A");
  EXPECT_EQ(gar_controlconstnames(1), padded("NODES", 18));
  // Level 0, a subtree of one; column 2 holds the totals.
  EXPECT_EQ(dir_column(1), (std::vector<std::int32_t>{0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(dir_column(2), (std::vector<std::int32_t>{0, 0, 3, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  // No ties: the tail is (2, 0).
  EXPECT_EQ(FLAGS(flagw::NTIELEN), 2);
  EXPECT_EQ(words(gar_pcsthermalold.span(), FLAGS(24) - 1, 2), (std::vector<std::int32_t>{2, 0}));
  EXPECT_EQ(FLAGS(29), 1);
  EXPECT_EQ(FLAGS(36), 1);
}

TEST(MdbLoad, ControlConstantsKeepTheUndefinedMarkerAndSetThePageLength) {
  mdbw::Model m = three_node_model();
  m.gloi[5] = 55;  // LENGTH
  m.gloi[3] = 7;   // NLOOP
  m.glor[16] = 12.5;  // TIMEN
  m.submodels[0].local_ints = {3, 4};
  TempDir dir;
  const LoadOutcome r = load_model(m, dir);
  ASSERT_EQ(r.ierr, 0) << r.printed;
  EXPECT_EQ(GLOI.LENGTH, 55);
  EXPECT_EQ(PRTINF(1), 55);
  EXPECT_EQ(GLOI.NLOOP, 7);
  EXPECT_EQ(GLOI.WIDTH, 2147483647);  // never set: the marker, not 0
  EXPECT_DOUBLE_EQ(GLOR.TIMEN, 12.5);
  EXPECT_EQ(static_cast<std::uint32_t>(std::bit_cast<std::uint64_t>(GLOR.DTMAX)), 0x7FFFFFFFU);
  EXPECT_EQ(LOCI(1), 3);
  EXPECT_EQ(LOCI(2), 4);
  // Character constants the file does not set keep their defaults.
  EXPECT_EQ(GLOC.OUTIME, std::string_view("ALL"));
}

TEST(MdbLoad, ContinuedListsLoadLikePlainOnes) {
  mdbw::Model m = two_submodel_model();
  m.block_values = 2;  // every list longer than two values comes in blocks
  TempDir dir;
  const LoadOutcome r = load_model(m, dir);
  ASSERT_EQ(r.ierr, 0) << r.printed;
  EXPECT_EQ(words(gar_thermalnodenums.span(), 1, 7), (std::vector<std::int32_t>{1, 2, 3, 10, 20, 30, 40}));
  EXPECT_DOUBLE_EQ(gar_thermalnodetemps(7), 4.0);
  EXPECT_DOUBLE_EQ(gar_linearconds(3), 4.0);  // the inter-model GL follows the main model's own two
  EXPECT_DOUBLE_EQ(gar_linearconds(6), 3.0);
}

TEST(MdbLoad, TwoSubmodelDirectoryCountsEntitiesBeforeEachSubmodel) {
  TempDir dir;
  const LoadOutcome r = load_model(two_submodel_model(), dir);
  ASSERT_EQ(r.ierr, 0) << r.printed;
  EXPECT_EQ(dir_column(1), (std::vector<std::int32_t>{0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(dir_column(2), (std::vector<std::int32_t>{1, 1, 3, 3, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
  EXPECT_EQ(dir_column(3), (std::vector<std::int32_t>{0, 0, 7, 6, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}));
  EXPECT_EQ(gar_modelnames(2), padded("SUB1", 24));
  EXPECT_EQ(gar_nodealiasnames(1), padded("TOP", 18));
  EXPECT_EQ(gar_nodealiasnumbers(1), 1);
}

TEST(MdbLoad, UserConstantNamesLieRealIntegerCharacterPerSubmodel) {
  TempDir dir;
  const LoadOutcome r = load_model(user_constant_model(), dir);
  ASSERT_EQ(r.ierr, 0) << r.printed;
  std::vector<std::string> names;
  for (std::int64_t i = 1; i <= gar_userconstnames.size(); ++i) names.emplace_back(trim_right(gar_userconstnames(i)));
  EXPECT_EQ(names, (std::vector<std::string>{"R1", "R2", "I1", "R1", "R2", "R3", "I1", "C1", "C2"}));
  EXPECT_EQ(gar_modeldirectory(11, 2), 3);
  EXPECT_EQ(gar_modeldirectory(12, 2), 6);
  EXPECT_EQ(gar_modeldirectory(13, 2), 7);
  EXPECT_EQ(gar_modeldirectory(11, 3), 9);
  EXPECT_DOUBLE_EQ(gar_userconstvaluesreal(gar_modeldirectory(8, 2) + 3), 5.0);
  EXPECT_EQ(gar_userconstvaluesint(gar_modeldirectory(9, 2) + 1), 12);
  // "WORLD" starts behind "HELLO" and its terminator.
  EXPECT_EQ(gar_userconstpointerschar(2), 7);
  EXPECT_EQ(gar_userconstvalueschar.stream().substr(6, 6), std::string_view("WORLD\0", 6));
}

TEST(MdbLoad, SecondSubmodelArrayEntriesBecomeAbsolute) {
  mdbw::Model m = two_submodel_model();
  m.submodels[0].arrays.add_real("A1", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  m.submodels[1].arrays.add_real("B1", {0.5, 1.5});
  m.submodels[1].arrays.add_int("B2", {7, 8, 9});
  TempDir dir;
  const LoadOutcome r = load_model(m, dir);
  ASSERT_EQ(r.ierr, 0) << r.printed;
  EXPECT_EQ(gar_arraynames(2), padded("B1", 18));
  EXPECT_EQ(gar_arrayinfopointers(2), 6);  // behind the main model's 5 words
  EXPECT_EQ(gar_arrayinfolist(6 + 2), 11);  // real values behind the main model's 10
  EXPECT_DOUBLE_EQ(gar_arrayvaluesreal(12), 1.5);
  EXPECT_EQ(gar_arrayinfopointers(3), 11);
  EXPECT_EQ(gar_arrayinfolist(11 + 2), 1);  // the first integer values of the model
  EXPECT_EQ(gar_modeldirectory(14, 2), 1);
  EXPECT_EQ(gar_modeldirectory(14, 3), 3);
}

// A table entry is six words: form, header length, header start, number of
// reals, start of the reals, independent variables. Only the two starts move;
// the ARRAY behind it keeps its own words even when the main model has
// character values to shift past.
TEST(MdbLoad, SecondSubmodelTableEntryMovesItsHeaderAndRealsOnly) {
  mdbw::Model m = two_submodel_model();
  mdbw::Arrays& main = m.submodels[0].arrays;
  main.add_real("A1", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  main.add_int("STEPS", {5, 6});
  main.names[0].push_back("TEXT");
  main.starts[0].push_back(static_cast<std::int32_t>(main.info.size()) + 1);
  main.info.insert(main.info.end(), {3, 1, 1, 1, 1});
  main.chars = padded("SOLAR", 133);
  mdbw::Arrays& sub = m.submodels[1].arrays;
  // One variable, 3 points: axis R(1..3), values R(4..6).
  sub.names[0] = {"TAB1"};
  sub.starts[0] = {1};
  sub.info = {4, 6, 1, 6, 1, 1};
  sub.ints = {1, 1, 2, 3, 1, 4};
  sub.reals = {0, 10, 20, 5, 7, 11};
  sub.add_real("B", {3, 4});
  TempDir dir;
  const LoadOutcome r = load_model(m, dir);
  ASSERT_EQ(r.ierr, 0) << r.printed;
  ASSERT_EQ(gar_arrayinfopointers(4), 16);  // behind the main model's 3 x 5 words
  EXPECT_EQ(words(gar_arrayinfolist.span(), 16, 6), (std::vector<std::int32_t>{4, 6, 3, 6, 11, 1}));
  ASSERT_EQ(gar_arrayinfopointers(5), 22);
  EXPECT_EQ(words(gar_arrayinfolist.span(), 22, 5), (std::vector<std::int32_t>{2, 2, 17, 1, 2}));
  EXPECT_EQ(words(gar_arrayvaluesint.span(), 3, 6), sub.ints);
  EXPECT_DOUBLE_EQ(gar_arrayvaluesreal(11 + 4), 7.0);
  EXPECT_DOUBLE_EQ(gar_arrayvaluesreal(17), 3.0);
}

TEST(MdbLoad, ThreeSubmodelsWithFluidNodesOnlyInTheThird) {
  mdbw::Model m = two_submodel_model();
  mdbw::Submodel third;
  third.name = "SUB2";
  third.level = 1;
  third.fluid = {fnode(101), fnode(102)};
  m.submodels.push_back(third);
  TempDir dir;
  const LoadOutcome r = load_model(m, dir);
  ASSERT_EQ(r.ierr, 0) << r.printed;
  EXPECT_EQ(gar_fluidnodemodelnums(1), 3);
  EXPECT_EQ(gar_fluidnodemodelnums(2), 3);
  EXPECT_EQ(gar_fluidnodevolumecontrolflags(1), "A");
  EXPECT_EQ(gar_modeldirectory(2, 1), 3);
}

TEST(MdbLoad, SkippedBlocksBetweenSubmodelsArePassedOver) {
  mdbw::Model m = two_submodel_model();
  m.submodels[0].skip_counts[0] = 30;  // 5 records
  m.submodels[0].skip_counts[42] = 1;  // 3 records
  TempDir dir;
  const LoadOutcome r = load_model(m, dir);
  ASSERT_EQ(r.ierr, 0) << r.printed;
  EXPECT_EQ(gar_thermalnodenums(7), 40);
}

TEST(MdbLoad, StoredNameMayDifferAfterItsFirstEightCharacters) {
  mdbw::Model m = three_node_model();
  m.name = "THREENODE_STORED";
  TempDir dir;
  const LoadOutcome r = load_image(mdbw::build_mdb(m), mdbw::model_sizes(m), "THREENODE", dir);
  ASSERT_EQ(r.ierr, 0) << r.printed;
  EXPECT_EQ(JOBINF.model, std::string_view("THREENODE_STORED"));
}

TEST(MdbLoad, MissingFileReturnsOneWithoutAMessage) {
  TempDir dir;
  reset_run_state(mdbw::model_sizes(three_node_model()), "NOSUCHMODEL");
  const ScopedCwd cwd(dir.path());
  Unit6Capture capture;
  std::int32_t ierr = -1;
  EXPECT_EQ(platform::run_program([&] { SCOMLD(10, ierr); }), 0);
  EXPECT_EQ(ierr, 1);
  EXPECT_EQ(capture.finish(), "");
}

struct HeaderCase {
  const char* what;
  std::int32_t version;
  std::string stored_name;
  std::int32_t extra_submodels;  // FLAGS(26) off by this
  std::vector<std::string> texts;
};

class MdbHeader : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(MdbHeader, FailureEndsTheRunWithItsText) {
  const HeaderCase& c = GetParam();
  mdbw::Model m = three_node_model();
  m.version = c.version;
  m.name = c.stored_name;
  mdbw::Sizes sizes = mdbw::model_sizes(m);
  sizes.flags[25] += c.extra_submodels;
  TempDir dir;
  const LoadOutcome r = load_image(mdbw::build_mdb(m), sizes, "THREENODE", dir);
  EXPECT_EQ(r.status, 1);
  for (const std::string& t : c.texts) EXPECT_TRUE(mentions(r, t)) << t << "\n" << r.printed;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MdbHeader,
    ::testing::Values(
        HeaderCase{"version 19", 19, "THREENODE", 0,
                   {"Different KALVIR version for MDB file and solution",
                    "Repreprocess input file to produce consistent  MDB file", "(SCOMLD,   3)"}},
        HeaderCase{"version 21", 21, "THREENODE", 0,
                   {"Different Kalvir version for MDB file and solution",
                    "Repreprocess input file to produce consistent MDB file", "(LOADB ,   4)"}},
        HeaderCase{"wrong name", 20, "OTHERMOD", 0,
                   {"Model name stored in MDB file is incorrect", "(LOADB ,   2)"}},
        HeaderCase{"submodel count", 20, "THREENODE", 1,
                   {"Model sizes of the program and the MDB file differ", "FLAGS word 26 (submodels) is 2 in the",
                    "(SCOMLD,   5)"}}),
    CaseName{});

TEST(MdbLoad, WrongNameTextNamesBothModels) {
  mdbw::Model m = three_node_model();
  m.name = "OTHERMOD";
  TempDir dir;
  const LoadOutcome r = load_image(mdbw::build_mdb(m), mdbw::model_sizes(m), "THREENODE", dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(mentions(r, "THREENODE")) << r.printed;
  EXPECT_TRUE(mentions(r, "OTHERMOD")) << r.printed;
}

TEST(MdbLoad, ControlConstantCountsOfAnotherBuildAreRejected) {
  mdbw::Model m = three_node_model();
  mdbw::Sizes sizes = mdbw::model_sizes(m);
  sizes.flags[13] = 24;  // FLAGS(14): global integer constants
  TempDir dir;
  const LoadOutcome r = load_image(mdbw::build_mdb(m), sizes, m.name, dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(mentions(r, "(SCOMLD,   4)")) << r.printed;
  EXPECT_TRUE(mentions(r, "consistent  MDB file")) << r.printed;
}

// A failure inside a submodel block names the submodel, the step and the status.
struct SectionCase {
  const char* what;
  std::int32_t list;  // list of submodel 2 whose header is changed
  int word;           // 1 number, 2 kind, 3 length
  std::int32_t value;
  std::string text;   // section text and status as the message shows them
};

class MdbSection : public ::testing::TestWithParam<SectionCase> {};

TEST_P(MdbSection, FailureNamesSubmodelStepAndStatus) {
  const SectionCase& c = GetParam();
  const mdbw::Model m = two_submodel_model();
  mdbw::MdbImage image = mdbw::build_mdb(m);
  set_list_header(image, 2, c.list, c.word, c.value);
  TempDir dir;
  const LoadOutcome r = load_image(image, mdbw::model_sizes(m), m.name, dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(mentions(r, "Error in reading model SUB1")) << r.printed;
  EXPECT_TRUE(mentions(r, "(  2)")) << r.printed;
  EXPECT_TRUE(mentions(r, c.text)) << r.printed;
  EXPECT_TRUE(mentions(r, "(LOADB ,   5)")) << r.printed;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MdbSection,
    ::testing::Values(
        SectionCase{"wrong_list_number", 14, 1, 15, "SIMPLE CONDUCTORS  Zerror =  1"},
        SectionCase{"letters_short", 18, 3, 2, "SIMPLE CONDUCTORS  Zerror =  1"},
        SectionCase{"values_beyond_capacity", 14, 3, 2 * 9, "SIMPLE CONDUCTORS  Zerror =  2"},
        SectionCase{"negative_kind", 2, 2, -1, "NODAL PROPERTIES  Zerror =  1"},
        SectionCase{"labels_continued", 12, 2, 7, "NODAL PROPERTIES  Zerror =  1"},
        SectionCase{"list66_short", 66, 3, 204, "ID CARD INFO  Zerror =  1"},
        SectionCase{"constants_short", 68, 3, 2, "CONTROL CONSTANTS  Zerror =  1"},
        SectionCase{"pairs_short", 69, 3, 4, "LISTS 69-71  Zerror =  1"},
        SectionCase{"fluxes_short", 73, 3, 6, "ENTITIES QAI, QEI AND QSI  Zerror =  1"},
        SectionCase{"coordinates_short", 98, 3, 6, "ENTITIES FX, FY & FZ  Zerror =  1"}),
    CaseName{});

TEST(MdbLoad, MissingSectionMarkerReportsTheRecordFound) {
  const mdbw::Model m = two_submodel_model();
  mdbw::MdbImage image = mdbw::build_mdb(m);
  set_record_word(image, image.block_markers[1], 1, 7);
  TempDir dir;
  const LoadOutcome r = load_image(image, mdbw::model_sizes(m), m.name, dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(mentions(r, "MARKER BLOCK  Zerror =  7")) << r.printed;
}

TEST(MdbLoad, IntegerConstantThatIsNoIntegerIsRejected) {
  const mdbw::Model m = three_node_model();
  mdbw::MdbImage image = mdbw::build_mdb(m);
  const auto bits = std::bit_cast<std::uint64_t>(3.0e9);  // NODES, beyond 32 bits
  const std::size_t data = image.list_headers.at({1, 68}) + 1;
  set_record_word(image, data, 1, static_cast<std::int32_t>(bits & 0xFFFFFFFFU));
  set_record_word(image, data, 2, static_cast<std::int32_t>(bits >> 32));
  TempDir dir;
  const LoadOutcome r = load_image(image, mdbw::model_sizes(m), m.name, dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(mentions(r, "CONTROL CONSTANTS  Zerror =  1")) << r.printed;
}

TEST(MdbLoad, TieListLongerThanItsAreaIsRejected) {
  const mdbw::Model m = two_submodel_model();
  mdbw::Sizes sizes = mdbw::model_sizes(m);
  sizes.flags[24] = 4;  // FLAGS(25): the program expects a shorter tail than the file holds
  TempDir dir;
  const LoadOutcome r = load_image(mdbw::build_mdb(m), sizes, m.name, dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(mentions(r, "SKIP LIST 35  Zerror =  2")) << r.printed;
}

TEST(MdbLoad, NodeNumbersThatDoNotAscendAreRejected) {
  mdbw::Model m = two_submodel_model();
  std::swap(m.submodels[1].nodes[0], m.submodels[1].nodes[1]);
  m.submodels[1].gl = {};
  m.ties = {};
  TempDir dir;
  const LoadOutcome r = load_model(m, dir);
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(mentions(r, "NODAL PROPERTIES  Zerror =  1")) << r.printed;
}

}  // namespace mdb_loader_test
}  // namespace kalvir::test

#include "tools/mdb_show.h"

namespace kalvir::test {
namespace mdb_loader_test {

TEST(MdbInspect, ShowsDirectoryListsTiesFluidListsAndUserConstants) {
  mdbw::Model m = two_submodel_model();
  m.submodels[1].fluid = {fnode(101), fnode(102)};
  m.submodels[1].links = {{101, 102, 0.5}};
  m.submodels[0].real_constants = {{"HTRPWR", 6.0}, {"LOSS", 0.25}};
  m.submodels[1].int_constants = {{"COUNT", 3}};
  m.submodels[1].char_constants = {{"NAME", "PANEL A"}};
  TempDir dir;
  const LoadOutcome r = load_model(m, dir);
  ASSERT_EQ(r.ierr, 0) << r.printed;
  const std::string text = mdbw::describe_loaded_model();
  for (const char* line : {"Model TWOSUB, 2 submodel(s)\n", "  SUB1: 1 1 3 3 0 1 0 2 0 0 2 2 3 0 0 0 0 1\n",
                           "  3: 21  linear: (4,3) (2,2)  radiative: (1,1)  fluidic:\n",
                           "Node tie tail (5 words): 5 1 1 1 7\n",
                           "  1 101 2 WATER: 1  links: (2,1)  linear:  radiative:  fluidic:\n",
                           "  1: 1 2 0.5 A\n",
                           "  TWOSUB: real HTRPWR = 6  gar_userconstvaluesreal(1)\n"
                           "  TWOSUB: real LOSS = 0.25  gar_userconstvaluesreal(2)\n",
                           "  SUB1: integer COUNT = 3  gar_userconstvaluesint(1)\n"
                           "  SUB1: character NAME = 'PANEL A'  gar_userconstpointerschar(1)\n"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
  }
}

}  // namespace mdb_loader_test
}  // namespace kalvir::test
