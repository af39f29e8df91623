// Separator budgets of a fluid node with a liquid and a vapour outlet, the
// shifted outlet qualities when a phase runs short, and the start and held
// outlet states, on a loaded four-node separator model.
#include <gtest/gtest.h>

#include <cmath>

#include "runtime/fluidloop/phase_separation.h"
#include "runtime/fluids/interface/properties.h"
#include "tests/fluidloop/fluid_test_support.h"
#include "tests/support/test_support.h"

namespace kalvir::test {
namespace phase_separation_test {

using fluidloop::SeparatorBudget;

// Inlet 1 -> separator 2 -> liquid outlet 3 (link 2, quality 0) and vapour
// outlet 4 (link 3, quality 1), ammonia at 8 bar.
constexpr const char* kSeparator =
    "model SEP\n"
    "fluidnode 1 fluid=AMMONIA FST=P&VQ P=8e5 VQ=0.5\n"
    "fluidnode 2 fluid=AMMONIA FST=P&VQ P=8e5 VQ=0.5\n"
    "fluidnode 3 fluid=AMMONIA FST=P&VQ P=8e5 VQ=0.0\n"
    "fluidnode 4 fluid=AMMONIA FST=P&VQ P=8e5 VQ=1.0\n"
    "link 1 2 1.0\nlink 2 3 0.5\nlink 2 4 0.5\n";

constexpr double kHl = 100.0, kHv = 1100.0;

struct BudgetCase {
  const char* what;
  double h, inflow_enthalpy, liquid_flow, vapour_flow, mass, fm, hsrc;
  char status;
  std::int32_t inlet_type, liquid_type;
  bool active, liquid_ok, vapour_ok;
  double liquid_available, vapour_available, liquid_demand, vapour_demand;
};

class SeparatorBudgets : public ::testing::TestWithParam<BudgetCase> {};

TEST_P(SeparatorBudgets, DemandAndAvailability) {
  const BudgetCase& c = GetParam();
  TempDir dir;
  load_description(kSeparator, dir);
  for (std::int32_t l = 1; l <= 3; ++l) gar_massflowlinktypes(l) = fluidloop::kMomentumLink;
  gar_massflowlinktypes(1) = c.inlet_type;
  gar_massflowlinktypes(2) = c.liquid_type;
  gar_massflowlinkphasesepflags(1, 2) = 1;
  gar_massflowlinkphasesepvapquals(1, 2) = 0.0;
  gar_massflowlinkphasesepflags(1, 3) = 1;
  gar_massflowlinkphasesepvapquals(1, 3) = 1.0;
  gar_massflowlinkenthalpies(1) = c.inflow_enthalpy;
  gar_massflowlinkflowrates(2) = c.liquid_flow;
  gar_massflowlinkflowrates(3) = c.vapour_flow;
  SeparatorBudget b;
  PHSCHT(2, 2.0, c.h, c.fm, c.hsrc, c.status, kHl, kHv, c.mass, b);
  EXPECT_EQ(b.active, c.active);
  EXPECT_EQ(b.liquid_sufficient, c.liquid_ok);
  EXPECT_EQ(b.vapour_sufficient, c.vapour_ok);
  EXPECT_NEAR(b.liquid_available, c.liquid_available, 1e-9);
  EXPECT_NEAR(b.vapour_available, c.vapour_available, 1e-9);
  EXPECT_NEAR(b.liquid_demand, c.liquid_demand, 1e-12);
  EXPECT_NEAR(b.vapour_demand, c.vapour_demand, 1e-12);
}

// Step 2 s, inflow 1 kg/s: content U = 2 + M; mixed enthalpy
// (2 x E + M x h) / U; quality B = (hm - 100) / 1000.
INSTANTIATE_TEST_SUITE_P(
    Cases, SeparatorBudgets,
    ::testing::Values(
        // U = 12, hm = 600, B = 0.5; demands 1 and 1.
        BudgetCase{"both phases held", 600.0, 600.0, 0.5, 0.5, 10.0, 0.0, 0.0, 'F', 1, 1, true, true, true, 6.0, 6.0,
                   1.0, 1.0},
        // U = 12, hm = 1000, B = 0.9: 1.2 kg liquid against 8.
        BudgetCase{"liquid short", 1000.0, 1000.0, 4.0, 0.5, 10.0, 0.0, 0.0, 'F', 1, 1, true, false, true, 1.2, 10.8,
                   8.0, 1.0},
        // U = 12, hm = 200, B = 0.1: 1.2 kg vapour against 3.
        BudgetCase{"vapour short", 200.0, 200.0, 0.5, 1.5, 10.0, 0.0, 0.0, 'F', 1, 1, true, true, false, 10.8, 1.2,
                   1.0, 3.0},
        // hm = 50 below hl: off, everything liquid.
        BudgetCase{"single-phase content", 50.0, 50.0, 0.5, 0.5, 10.0, 0.0, 0.0, 'F', 1, 1, false, true, true, 12.0,
                   0.0, 1.0, 1.0},
        BudgetCase{"held node never short", 600.0, 600.0, 40.0, 40.0, 1.0, 0.0, 0.0, 'R', 1, 1, true, true, true,
                   1e20, 1e20, 80.0, 80.0},
        BudgetCase{"held single-phase node is off", 1200.0, 600.0, 0.5, 0.5, 1.0, 0.0, 0.0, 'K', 1, 1, false, true,
                   true, 1e20, 1e20, 1.0, 1.0},
        // An evaporative inlet brings hv = 1100: hm = (2200 + 6000) / 12.
        BudgetCase{"evaporative inlet brings vapour", 600.0, 0.0, 0.5, 0.5, 10.0, 0.0, 0.0, 'F', 2, 1, true, true, true,
                   12.0 * (1.0 - (8200.0 / 12.0 - 100.0) / 1000.0), 12.0 * (8200.0 / 12.0 - 100.0) / 1000.0, 1.0,
                   1.0},
        // An evaporative outlet is no separator outlet.
        BudgetCase{"evaporative outlet not counted", 600.0, 600.0, 0.5, 0.5, 10.0, 0.0, 0.0, 'F', 1, 2, true, true,
                   true, 6.0, 6.0, 0.0, 1.0},
        // A source of 1 kg/s at 1100 joins an inflow at 100: U = 14,
        // hm = (2 x 1200 + 6000) / 14 = 600.
        BudgetCase{"mass source joins the inflow", 600.0, 100.0, 0.5, 0.5, 10.0, 1.0, 1100.0, 'F', 1, 1, true, true,
                   true, 7.0, 7.0, 1.0, 1.0}),
    CaseName{});

TEST(SeparatorOutlets, QualityShiftsTowardThePhaseHeld) {
  SeparatorBudget b;
  b.active = true;
  EXPECT_DOUBLE_EQ(fluidloop::outlet_quality(b, 0.3), 0.3);
  b.liquid_sufficient = false;
  b.liquid_available = 1.2;
  b.liquid_demand = 8.0;
  EXPECT_DOUBLE_EQ(fluidloop::outlet_quality(b, 0.0), 1.0 - 1.2 / 8.0);
  b.liquid_sufficient = true;
  b.vapour_sufficient = false;
  b.vapour_available = 1.2;
  b.vapour_demand = 3.0;
  EXPECT_DOUBLE_EQ(fluidloop::outlet_quality(b, 1.0), 0.4);
}

TEST(SeparatorOutlets, StartAndHeldStates) {
  TempDir dir;
  load_description(kSeparator, dir);
  for (std::int32_t l = 1; l <= 3; ++l) gar_massflowlinktypes(l) = fluidloop::kMomentumLink;
  gar_massflowlinkphasesepflags(1, 2) = 1;
  gar_massflowlinkphasesepvapquals(1, 2) = 0.0;
  gar_massflowlinkphasesepflags(1, 3) = 1;
  gar_massflowlinkphasesepvapquals(1, 3) = 1.0;
  const std::int32_t slot = fluidloop::fluid_slot(2), node = fluidloop::internal_index(2);
  const double p = gar_fluidnodepressures(2), tsat = XTEMPS(p, slot, node);
  const double hl = XENTHS(p, tsat, 0.0, slot, node), hv = XENTHS(p, tsat, 1.0, slot, node);
  ASSERT_LT(hl, hv);
  MHXINI(4);
  EXPECT_DOUBLE_EQ(gar_massflowlinkenthalpies(2), hl);
  EXPECT_DOUBLE_EQ(gar_massflowlinkvapquals(2), 0.0);
  EXPECT_DOUBLE_EQ(gar_massflowlinkenthalpies(3), hv);
  EXPECT_DOUBLE_EQ(gar_massflowlinkvapquals(3), 1.0);
  // The inlet link leaves node 1 through an ordinary end: node 1's state.
  EXPECT_DOUBLE_EQ(gar_massflowlinkenthalpies(1), gar_fluidnodespecenthalpies(1));
  EXPECT_DOUBLE_EQ(gar_massflowlinkvapquals(1), gar_fluidnodevapourqualities(1));

  // A held separator whose liquid outlet is short shifts that outlet only.
  SeparatorBudget b;
  b.active = true;
  b.liquid_sufficient = false;
  b.liquid_available = 1.0;
  b.liquid_demand = 4.0;
  MHXSET(2, kHl, kHv, b);
  EXPECT_DOUBLE_EQ(gar_massflowlinkvapquals(2), 0.75);
  EXPECT_DOUBLE_EQ(gar_massflowlinkenthalpies(2), kHl + 0.75 * (kHv - kHl));
  b.active = false;
  MHXSET(2, kHl, kHv, b);
  EXPECT_DOUBLE_EQ(gar_massflowlinkenthalpies(2), gar_fluidnodespecenthalpies(2));
  EXPECT_DOUBLE_EQ(gar_massflowlinkenthalpies(3), gar_fluidnodespecenthalpies(2));
}

}  // namespace phase_separation_test
}  // namespace kalvir::test
