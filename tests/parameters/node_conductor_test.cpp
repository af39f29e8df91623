// Node-entity and conductor statements on the three-submodel model built in
// memory: MAIN (thermal 1-6, fluid 101-102), its child SUB1 (1-5) and
// SUB1's child SUB2 (1-4).
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "runtime/control/flags.h"
#include "runtime/control/control_constants.h"
#include "runtime/control/global_arrays.h"
#include "runtime/modeldata/node_groups.h"
#include "runtime/control/state_dump.h"
#include "runtime/control/status.h"
#include "runtime/modeldata/pcs.h"
#include "runtime/parameters/node_changes.h"
#include "tests/parameters/statement_fixture.h"
#include "tests/support/model_fixture.h"
#include "runtime/platform/units.h"
#include "tests/support/test_support.h"

namespace node_conductor_test {

using kalvir::test::CaseRun;
using kalvir::test::find_message;
using kalvir::test::internal_node;
using kalvir::test::run_statements;

constexpr int kMain = 1, kSub1 = 2;

class Statements : public ::testing::Test {
 protected:
  void SetUp() override {
    kalvir::test::build_model(kalvir::test::three_submodel_model());
    // The record form of the thermal lists, as the load builds it.
    LPCSCN(FLAGS(flagw::NNODE), gar_thermalnodestatuses, gar_pcsthermalold.span(), gar_pcsptrsthermalold.span(),
           gar_pcsthermal.span(), gar_pcsptrsthermal);
    kalvir::test::reset_messages();
    FLAGS(flagw::NEXTINT) = 3;  // some words already in use
    stat_setstatst(0);
  }
  void TearDown() override { kalvir::test::release_model(); }

  // Runs the statements, which must leave the integer dynamic core as found.
  CaseRun run(const std::string& statements) {
    CaseRun r = run_statements(statements);
    EXPECT_EQ(r.next_free, 3) << statements;
    return r;
  }
  static double& T(int sub, int user) { return gar_thermalnodetemps(internal_node(sub, user)); }
  static int nn() { return FLAGS(flagw::NNODE); }
};

TEST_F(Statements, NodeReferencesSelectTheirNodes) {
  const CaseRun r = run("CHANGE T3=25.0\nCHANGE T:SUB1:2=7\nCHANGE T:RAD=2*3\nGET SUB1\nCHANGE T4=9\nGET 0\n"
                        "CHANGE QI:'PANEL'=-1\n");
  EXPECT_EQ(r.errors, 0) << r.printed;
  EXPECT_EQ(T(kMain, 3), 6.0) << "the alias RAD names node 3, changed after T3";
  EXPECT_EQ(T(kSub1, 2), 7.0);
  EXPECT_EQ(T(kSub1, 4), 9.0) << "after GET, references resolve in SUB1";
  // PANEL A, PANEL B and the two SUB1 PANEL nodes.
  int panels = 0;
  for (int i = 1; i <= nn(); ++i) panels += gar_thermalnodeheatsourcesinternal(i) == -1.0;
  EXPECT_EQ(panels, 4);
  EXPECT_NE(r.printed.find(" CHANGE  T:SUB1:2=7\n"), std::string::npos);
}

TEST_F(Statements, AStatementOnNodesThatDoNotCarryTheEntity) {
  CaseRun r = run("CHANGE C:*=5\n");
  EXPECT_EQ(r.errors, 0) << "some nodes changed: a warning";
  ASSERT_NE(find_message(r, "PARNOD", 7), nullptr);
  EXPECT_EQ(find_message(r, "PARNOD", 7)->severity, "WARNING");
  for (int i = 1; i <= nn(); ++i) EXPECT_EQ(gar_thermalnodecapacitances(i), 5.0);
  r = run("CHANGE C:101=5\n");
  EXPECT_EQ(r.errors, 1);
  ASSERT_NE(find_message(r, "PARNOD", 7), nullptr);
  EXPECT_EQ(find_message(r, "PARNOD", 7)->severity, "FAILURE");
  r = run("CHANGE T:*=1\n");
  EXPECT_EQ(r.errors, 0);
  EXPECT_EQ(gar_fluidnodetemps(1), 1.0);
  EXPECT_EQ(gar_fluidnodetemps(2), 1.0);
}

TEST_F(Statements, AScalingPassesOverAnUndefinedValueAndFails) {
  T(kMain, 2) = kalvir::test::undefined_real();
  CaseRun r = run("SCALE T:*-ONLY*2\n");
  EXPECT_EQ(r.errors, 1);
  EXPECT_TRUE(SLUNDF(T(kMain, 2)));
  EXPECT_EQ(T(kMain, 1), 2.0 * 101.0);
  EXPECT_EQ(T(kSub1, 1), 100.0 + internal_node(kSub1, 1)) << "*-ONLY leaves SUB1 alone";
  const auto* m = find_message(r, "PARSNR", 1);
  ASSERT_NE(m, nullptr);
  EXPECT_NE(m->text.find("solution. Node          2 in sub-model MAIN"), std::string::npos) << m->text;
  r = run("CHANGE T2=4\n");
  EXPECT_EQ(r.errors, 0) << "a change of an undefined value is made";
  EXPECT_EQ(T(kMain, 2), 4.0);
  EXPECT_NE(find_message(r, "PARCNR", 1), nullptr);
}

TEST_F(Statements, TextsStatusesAndUserAttributes) {
  const CaseRun r = run("CHANGE L1='ABCDEFGHIJKLMNOPQRSTUVWXYZ'\nCHANGE D:1=X\nCHANGE MASS:3=5\nCHANGE OWNER:*='ME'\n"
                        "CHANGE ZONE2=2*3\n");
  EXPECT_EQ(r.errors, 0) << r.printed;
  EXPECT_EQ(gar_thermalnodelabels(1), "ABCDEFGHIJKLMNOPQRSTUVWX");
  EXPECT_EQ(gar_thermalnodestatuses(1), "X");
  EXPECT_EQ(gar_thermalnodestatusescopy(1), "X");
  EXPECT_EQ(stat_getstatst(), 1) << "a status change raises the status-change flag";
  EXPECT_EQ(gar_thermalnodeuserentityvalsreal(nn() + 3), 5.0) << "MASS is the second real attribute";
  EXPECT_EQ(gar_thermalnodeuserentityvalsint(2), 6);
  EXPECT_EQ(gar_thermalnodeuserentityvalschar(nn()).substr(0, 3), "ME ");
  EXPECT_EQ(gar_fluidnodeuserentityvalschar(2).substr(0, 3), "ME ");
}

using FailingStatement = kalvir::test::RefusedCase;

class RefusedStatement : public Statements, public ::testing::WithParamInterface<FailingStatement> {};

TEST_P(RefusedStatement, IsReportedCountedOnceAndChangesNothing) {
  const FailingStatement& c = GetParam();
  const double t1 = T(kMain, 1), gl1 = gar_linearconds(1);
  const std::string status1(gar_thermalnodestatuses(1));
  const CaseRun r = run(std::string(c.statement) + "\n");
  kalvir::test::expect_refused(r, c);
  EXPECT_EQ(T(kMain, 1), t1);
  EXPECT_EQ(gar_linearconds(1), gl1);
  EXPECT_EQ(gar_thermalnodestatuses(1), status1);
  EXPECT_EQ(gar_linearcondacts(1), "A");
}

const FailingStatement kRefused[] = {
    {"missing node", "CHANGE T10=1", "PARNDS", 3,
     "Node does not exist in sub-modelNode Number:         10Sub-model: MAIN"},
    {"number and letters", "CHANGE T:1A=1", "PARNDS", 4, "Unrecognised format for node reference1A"},
    {"bad star form", "CHANGE T:**=1", "PARNDS", 5, "Unrecognised format for node reference**"},
    {"label not ended by a quote", "CHANGE T:'A'B=1", "PARNDS", 6, "String not terminated with quote'A'B"},
    {"unknown node name", "CHANGE T:NOSUCH=1", "PARNDS", 9, "NodeSpec cannot be interpretedNot recognised as valid format or value"},
    {"unknown submodel", "CHANGE T:NOSUCH:1=1", "LSMINT", 2},
    {"scale a label", "SCALE L1*'X'", "PARNOD", 2, "Cannot SCALE character data"},
    {"scale a status", "SCALE D1*2", "PARNOD", 8, "Cannot SCALE node status"},
    {"conductor code on a node", "CHANGE GL1=1", "PARNOD", 6, "Invalid or unrecognised entity type"},
    {"two status letters", "CHANGE D1=DX", "PARCNS", 1, "Invalid definition of node status<<DX>> is an invalid node status. Please refer to KALVIR User Manual."},
    {"fluid letter on thermal nodes", "CHANGE D:*-ONLY=F", "PARCNS", 2, "Attempt to switch from thermal to fluid status"},
    {"scale an integer attribute", "SCALE ZONE1*2", "PARUDE", 1, "Cannot SCALE integer data"},
    {"bad expression", "CHANGE T1=1+", "PARRGT", 1, "Illegal expression - ends with an operator"},
    {"statement without separator", "SCALE T1=2", "PARAMC", 3, "Invalid statementT1=2"},
    {"GET of an unknown submodel", "GET NOSUCH", "PARAMC", 1, "Unrecognised submodel nameNOSUCH"},
    {"ON without a reference", "ON 3", "PARAMC", 2, "Invalid conductor reference3"},
    {"misspelt conductor kind", "OFF GLX(1,2)", "PARCND", 1, "Invalid entity type - not a conductor"},
    {"one node", "CHANGE GL(3)=1", "PARCNP", 3, "Ill-formed node pair reference(3)"},
    {"no closing bracket", "CHANGE GL(3,4=1", "PARCNP", 2, "Node pair not delimited by ()(3,4"},
    {"path without colon", "CHANGE GLSUB1(1,2)=1", "PARARR", 3},
    {"sequence zero", "CHANGE GL(1,2,0)=1", "PARCNP", 7, "Sequence number not valid0"},
    {"sequence not a number", "CHANGE GL(1,2,x)=1", "PARCNP", 6, "Sequence number not an integerx"},
    {"two sequences", "CHANGE GL(1,2,2,1)=1", "PARCNP", 6},
    {"no such conductor", "CHANGE GL(1,1)=1", "PARCND", 11, "No matching conductors found"},
    {"third parallel conductor", "SCALE GL(1,2,3)*2", "PARCND", 11},
    {"GV switched", "ON GV(1,2)", "PARCND", 9, "Cannot change status of GVs"},
    {"GP switched", "OFF GP(101,102)", "PARCND", 10, "Cannot change status of GPs"},
    {"GV in the other orientation", "CHANGE GV(2,1)=1", "PARCND", 11},
    {"link from its second end", "CHANGE M(102,101)=1", "PARCND", 11},
    {"scale factor expression", "SCALE GL(1,2)*2+1", "PARRVL", 3},
    {"node number beyond 32 bits", "CHANGE T:99999999999=1", "PARNDS", 4},
    {"sequence beyond 32 bits", "CHANGE GL(1,2,99999999999)=1", "PARCNP", 6},
};

INSTANTIATE_TEST_SUITE_P(Cases, RefusedStatement, ::testing::ValuesIn(kRefused), kalvir::test::CaseName{});

TEST_F(Statements, ConductorReferencesFindEachConductorOnce) {
  CaseRun r = run("CHANGE GL(2,1)=2*0.5\nSCALE GR(*)*2\nSCALE GF(*)*2\nCHANGE GV(1,3)=0.5\nCHANGE M(101,102)=3\n"
                  "CHANGE GL:SUB1:(1,2)=9\nCHANGE GL(3,101)=4\n");
  EXPECT_EQ(r.errors, 0) << r.printed;
  EXPECT_EQ(gar_linearconds(1), 1.0);
  EXPECT_EQ(gar_linearconds(3), 1.0) << "both parallel conductors";
  EXPECT_DOUBLE_EQ(gar_radiativeconds(1), 2 * 1.2);
  EXPECT_DOUBLE_EQ(gar_radiativeconds(2), 2 * 2.2);
  EXPECT_DOUBLE_EQ(gar_fluidicconds(1), 2 * 1.3) << "scaled once, not once from each end";
  EXPECT_EQ(gar_vfacconds(2), 0.5);
  EXPECT_DOUBLE_EQ(gar_vfacconds(1), 1.4);
  EXPECT_EQ(gar_massflowlinkflowrates(1), 3.0);
  EXPECT_EQ(gar_linearconds(5), 9.0);
  EXPECT_EQ(gar_linearconds(4), 4.0) << "a conductor to a fluid node";

  r = run("SCALE GL(1,2,2)*10\nCHANGE GL(*-ONLY)=0\nGET SUB1\nCHANGE GL(*)=-1\n");
  EXPECT_EQ(r.errors, 0) << r.printed;
  EXPECT_EQ(gar_linearconds(1), 0.0);
  for (int k = 1; k <= 4; ++k) EXPECT_EQ(gar_linearconds(k), 0.0) << k;
  for (int k = 5; k <= 7; ++k) EXPECT_EQ(gar_linearconds(k), -1.0) << "SUB1 and its child SUB2: " << k;
}

// Node 2's list holds conductor 1 (to 1), 2 (to 3) and 3 (to 1): the second
// parallel conductor to node 1 is 3, as the CSV label and the GFF name it.
TEST_F(Statements, ASequenceNumberCountsTheParallelConductorsApartInTheList) {
  const CaseRun r = run("CHANGE GL(2,1,2)=8\n");
  EXPECT_EQ(r.errors, 0) << r.printed;
  EXPECT_EQ(gar_linearconds(3), 8.0);
  EXPECT_DOUBLE_EQ(gar_linearconds(1), 1.1);
  EXPECT_DOUBLE_EQ(gar_linearconds(2), 2.1);
}

// The model's blocks find node groups by label through a cache: a case that
// relabels a node must not leave them the old group.
TEST_F(Statements, ALabelChangeReachesTheNodeGroupsOfTheBlocks) {
  std::vector<std::int32_t> list(64);
  std::int32_t ierr = 0, n = 0;
  const auto group = [&] {
    Lschnd(1, 64, "THERMAL", 1, "TEST", 1, "BATTERY", ierr, list, n);
    return std::vector<std::int32_t>(list.begin(), list.begin() + n);
  };
  EXPECT_EQ(group(), (std::vector<std::int32_t>{4, 5}));
  const CaseRun r = run("CHANGE L4='OTHER'\n");
  EXPECT_EQ(r.errors, 0) << r.printed;
  EXPECT_EQ(group(), (std::vector<std::int32_t>{5}));
}

TEST_F(Statements, AQuotedValueMayHoldTheSeparator) {
  const CaseRun r = run("CHANGE L1='A=B'\n");
  EXPECT_EQ(r.errors, 0) << r.printed;
  EXPECT_EQ(gar_thermalnodelabels(1).substr(0, 4), "A=B ");
}

TEST_F(Statements, ViewFactorConductorsOfEverySubmodelOfTheTree) {
  kalvir::test::ModelSpec spec = kalvir::test::three_submodel_model();
  spec.submodels[1].gv = {{1, 2}, {2, 5}};
  spec.submodels[2].gv = {{1, 4}};
  kalvir::test::build_model(spec);
  FLAGS(flagw::NEXTINT) = 3;
  FLAGS(flagw::DYSTOR) = 200;
  const CaseRun r = run("CHANGE GV(*)=9\nGET SUB1\nSCALE GV(*-ONLY)*2\n");
  EXPECT_EQ(r.errors, 0) << r.printed;
  for (int k = 1; k <= 6; ++k) EXPECT_EQ(gar_vfacconds(k), k == 4 || k == 5 ? 18.0 : 9.0) << k;
}

TEST_F(Statements, SwitchingConductorsRaisesTheStatusChangeFlag) {
  const CaseRun r = run("OFF GL(1,2)\nCHANGE GR(1,3)=OFF\nSCALE GR(1,3)*ON\nOFF M(101,102)\n");
  EXPECT_EQ(r.errors, 0) << r.printed;
  EXPECT_EQ(gar_linearcondacts(1), "I");
  EXPECT_EQ(gar_linearcondacts(3), "I");
  EXPECT_EQ(gar_linearcondacts(2), "A");
  EXPECT_EQ(gar_radiativecondacts(1), "A");
  EXPECT_EQ(gar_massflowlinkstatuses(1), "I");
  EXPECT_EQ(stat_getstatst(), 1);
}

TEST_F(Statements, TheWorkSpaceIsCheckedAgainstTheDynamicCore) {
  FLAGS(flagw::DYSTOR) = 10;
  const CaseRun r = run("CHANGE T1=1\nCHANGE GL(1,2)=1\n");
  EXPECT_EQ(r.errors, 2);
  EXPECT_NE(find_message(r, "PARNOD", 1), nullptr);
  EXPECT_NE(find_message(r, "PARCNP", 4), nullptr);
}

// An !INITIAL case starts from everything saved before the base case: the
// user attributes and the links' types and pressure sources, which the dump
// file does not hold, come back with the rest.
TEST_F(Statements, AnInitialCaseRestoresTheDumpedStateWithUserAttributesAndLinks) {
  namespace io = kalvir::platform;
  constexpr int kDump = 2;
  FLAGS(11) = 2;
  FLAGS(13) = 49;
  FLAGS(14) = 25;
  loc_allocate();
  kalvir::test::TempDir dir;
  ASSERT_EQ(io::unit_open(kDump, dir.file("STATE.COM"), io::Form::Unformatted, io::OpenStatus::Unknown), 0);
  std::int32_t ierr = -1;
  DMPCOM(kDump, ierr);
  ASSERT_EQ(ierr, 0);
  const double mass = gar_thermalnodeuserentityvalsreal(nn() + 3);
  const std::int32_t zone = gar_thermalnodeuserentityvalsint(1), fluid_zone = gar_fluidnodeuserentityvalsint(1);
  const std::string owner(gar_thermalnodeuserentityvalschar(1));
  const std::int32_t type = gar_massflowlinktypes(1);
  const double source = gar_massflowlinkpressuresources(1);
  const CaseRun r = run("CHANGE T3=1\nCHANGE MASS3=5\nCHANGE ZONE:*=7\nCHANGE OWNER:*='ME'\n");
  EXPECT_EQ(r.errors, 0) << r.printed;
  ASSERT_NE(mass, 5.0);
  ASSERT_EQ(gar_thermalnodeuserentityvalsint(1), 7);
  ASSERT_EQ(gar_fluidnodeuserentityvalsint(1), 7);
  gar_massflowlinktypes(1) = type + 1;
  gar_massflowlinkpressuresources(1) = source + 500.0;
  gar_massflowlinkpsourcederivs(1) = 3.0;
  RSTCOM(kDump, ierr);
  io::unit_close(kDump);
  ASSERT_EQ(ierr, 0);
  EXPECT_EQ(T(kMain, 3), 103.0) << "the temperature comes back from the dump";
  EXPECT_EQ(gar_thermalnodeuserentityvalsreal(nn() + 3), mass);
  EXPECT_EQ(gar_thermalnodeuserentityvalsint(1), zone);
  EXPECT_EQ(gar_fluidnodeuserentityvalsint(1), fluid_zone);
  EXPECT_EQ(gar_thermalnodeuserentityvalschar(1), owner);
  EXPECT_EQ(gar_massflowlinktypes(1), type);
  EXPECT_EQ(gar_massflowlinkpressuresources(1), source);
  EXPECT_EQ(gar_massflowlinkpsourcederivs(1), 0.0);
}

}  // namespace node_conductor_test
