// Status letters, activity letters, fluid names and state descriptors read
// from the MDB file: every one the runtime knows loads, and an unknown one in
// any field ends the load with a message naming its node, conductor or link.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "runtime/control/global_arrays.h"
#include "runtime/fluids/interface/fluid_names.h"
#include "tests/support/mdb_fixtures.h"
#include "tests/support/test_support.h"

namespace kalvir::test {
namespace mdb_letters_test {

using Change = std::function<void(mdbw::Model&)>;

// full_model(): main model FULLMODEL (nodes 1-3, GL, GR, GF, GV, an
// inter-model GR, GF and link), SUB1 (nodes 10-40, fluid nodes 101 and 102,
// link 1) and SUB2 (nodes 5 and 6, fluid node 301, an inter-model GL).
mdbw::Submodel& main_model(mdbw::Model& m) { return m.submodels[0]; }
mdbw::Submodel& sub1(mdbw::Model& m) { return m.submodels[1]; }
mdbw::Submodel& sub2(mdbw::Model& m) { return m.submodels[2]; }

LoadOutcome load_changed(const Change& change) {
  mdbw::Model m = full_model();
  change(m);
  TempDir dir;
  return load_model(m, dir);
}

TEST(MdbLetters, EveryKnownLetterAndDescriptorLoads) {
  for (const char c : std::string("DBX")) {
    const LoadOutcome r = load_changed([&](mdbw::Model& m) { main_model(m).nodes[1].status = c; });
    EXPECT_EQ(r.ierr, 0) << c << r.printed;
    EXPECT_EQ(gar_thermalnodestatuses(2), std::string(1, c));
  }
  for (const char c : std::string("FHJKQRSVUIO")) {
    const LoadOutcome r = load_changed([&](mdbw::Model& m) { sub1(m).fluid[1].status = c; });
    EXPECT_EQ(r.ierr, 0) << c << r.printed;
    EXPECT_EQ(gar_fluidnodestatuses(2), std::string(1, c));
  }
  for (const char c : std::string("AI")) {
    const LoadOutcome r = load_changed([&](mdbw::Model& m) {
      mdbw::Submodel& s = main_model(m);
      s.gl[1].act = s.gr[0].act = s.gf[0].act = s.gv[1].act = c;
      s.xgr[0].act = s.xgf[0].act = sub2(m).xgl[0].act = c;
      sub1(m).links[0].status = s.xlinks[0].status = c;
    });
    EXPECT_EQ(r.ierr, 0) << c << r.printed;
    EXPECT_EQ(gar_linearcondacts(2), std::string(1, c));
    EXPECT_EQ(gar_massflowlinkstatuses(1), std::string(1, c));
  }
  for (const char* fst : {"P&T", "T&P", "P&FE", "FE&P", "P&VQ", "VQ&P", "T&VQ", "VQ&T", " P&T", "P& T"}) {
    const LoadOutcome r = load_changed([&](mdbw::Model& m) { sub2(m).fluid[0].FST = fst; });
    EXPECT_EQ(r.ierr, 0) << fst << r.printed;
  }
  for (const std::string_view name : fluids::kFluidNames) {
    const LoadOutcome r = load_changed([&](mdbw::Model& m) { sub1(m).fluid[0].fluid = name; });
    EXPECT_EQ(r.ierr, 0) << name << r.printed;
  }
}

struct BadCase {
  const char* what;
  Change change;
  const char* submodel;  // as the message names it, with its number
  const char* text;      // the failed step and what it found
};

class MdbBadLetter : public ::testing::TestWithParam<BadCase> {};

TEST_P(MdbBadLetter, EndsTheLoadNamingItsOwner) {
  const BadCase& c = GetParam();
  const LoadOutcome r = load_changed(c.change);
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(mentions(r, std::string("Error in reading model ") + c.submodel)) << r.printed;
  EXPECT_TRUE(mentions(r, std::string(c.text) + "  Zerror =  1")) << r.printed;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MdbBadLetter,
    ::testing::Values(
        BadCase{"thermal status", [](mdbw::Model& m) { main_model(m).nodes[1].status = 'Q'; },
                "FULLMODEL               (  1)", "NODAL PROPERTIES: status letter 'Q' of node 2"},
        // A tie target is marked by the load, never by the file.
        BadCase{"thermal status C", [](mdbw::Model& m) { sub1(m).nodes[3].status = 'C'; },
                "SUB1                    (  2)", "NODAL PROPERTIES: status letter 'C' of node 40"},
        BadCase{"thermal status blank", [](mdbw::Model& m) { main_model(m).nodes[0].status = ' '; },
                "FULLMODEL               (  1)", "NODAL PROPERTIES: status letter '' of node 1"},
        BadCase{"GL activity", [](mdbw::Model& m) { main_model(m).gl[1].act = 'a'; },
                "FULLMODEL               (  1)", "SIMPLE CONDUCTORS: activity letter 'a' of GL 2"},
        BadCase{"GR activity", [](mdbw::Model& m) { main_model(m).gr[0].act = 'D'; },
                "FULLMODEL               (  1)", "SIMPLE CONDUCTORS: activity letter 'D' of GR 1"},
        BadCase{"GF activity", [](mdbw::Model& m) { main_model(m).gf[0].act = 'X'; },
                "FULLMODEL               (  1)", "SIMPLE CONDUCTORS: activity letter 'X' of GF 1"},
        BadCase{"GV activity", [](mdbw::Model& m) { main_model(m).gv[1].act = '1'; },
                "FULLMODEL               (  1)", "SIMPLE CONDUCTORS: activity letter '1' of GV 2"},
        BadCase{"inter-model GL activity", [](mdbw::Model& m) { sub2(m).xgl[0].act = 'O'; },
                "SUB2                    (  3)", "INTER-MODEL COND FLAGS: activity letter 'O' of inter-model GL 1"},
        BadCase{"inter-model GF activity", [](mdbw::Model& m) { main_model(m).xgf[0].act = 'N'; },
                "FULLMODEL               (  1)", "INTER-MODEL COND FLAGS: activity letter 'N' of inter-model GF 1"},
        BadCase{"fluid status", [](mdbw::Model& m) { sub1(m).fluid[1].status = 'D'; },
                "SUB1                    (  2)", "FLUID NODE PROPS: status letter 'D' of fluid node 102"},
        BadCase{"fluid name", [](mdbw::Model& m) { sub1(m).fluid[0].fluid = "WATR"; },
                "SUB1                    (  2)", "FLUID NODE PROPS: fluid name 'WATR' of fluid node 101"},
        BadCase{"link status", [](mdbw::Model& m) { sub1(m).links[0].status = 'F'; },
                "SUB1                    (  2)", "FLUID CONDUCTORS: status letter 'F' of link 1"},
        BadCase{"inter-model link status", [](mdbw::Model& m) { main_model(m).xlinks[0].status = 'Z'; },
                "FULLMODEL               (  1)", "FLUID INTER-MODEL LINKS: status letter 'Z' of inter-model link 1"},
        BadCase{"state descriptor", [](mdbw::Model& m) { sub2(m).fluid[0].FST = "P&H"; },
                "SUB2                    (  3)", "NEW FLUID NODE ENTITIES: state descriptor 'P&H' of fluid node 301"},
        BadCase{"state descriptor pair of one", [](mdbw::Model& m) { sub2(m).fluid[0].FST = "P&P"; },
                "SUB2                    (  3)", "NEW FLUID NODE ENTITIES: state descriptor 'P&P' of fluid node 301"}),
    CaseName{});

}  // namespace mdb_letters_test
}  // namespace kalvir::test
