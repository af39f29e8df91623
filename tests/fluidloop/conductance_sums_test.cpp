// Conductance sums and time-step limits before the single-phase time loops:
// the node sums against hand sums, the capacity-over-conductance minima, the
// Courant limit, the first hydraulic solution and the work space.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/fluidloop/conductance_sums.h"
#include "runtime/fluids/interface/properties.h"
#include "runtime/thermal/network_sums.h"
#include "tests/fluidloop/fluid_test_support.h"

namespace kalvir::test {
namespace conductance_sums_test {

// Thermal node 1 (C = 100) is joined to thermal node 2 (C = 10, G = 2) and
// to fluid node 10 (GL 0.5); water flows from fixed node 10 through free node
// 20 to fixed node 30.
constexpr const char* kLoop =
    "model LIMITS dystor=400\n"
    "node 1 T=50 C=100\nnode 2 T=20 C=10\nnode 3 T=0 status=B\n"
    "fluidnode 10 status=J P=2e5 T=20 FLA=1e-4 FD=0.01 FL=0.1 VOL=1e-5\n"
    "fluidnode 20 P=1.2e5 T=30 FLA=2e-4 FD=0.01 FL=0.3 VOL=6e-5\n"
    "fluidnode 30 status=R P=1e5 T=20 FLA=1e-4 FD=0.01 FL=0.1 VOL=1e-5\n"
    "GL 1 2 2.0\nGL 1 10 0.5\nGL 2 3 1.0\nGL 3 20 4.0\n"
    "link 10 20 0.01 GP=0.6\nlink 20 30 0.01 GP=0.6\n";

double rho(std::int32_t n) {
  return XRHO(gar_fluidnodepressures(n), gar_fluidnodetemps(n), 0.0, 2, FLAGS(flagw::NNODE) + n);
}
double cp(std::int32_t n) {
  return XCP(gar_fluidnodepressures(n), gar_fluidnodetemps(n), 0.0, 2, FLAGS(flagw::NNODE) + n);
}

TEST(ConductanceSums, ThermalInModelUnitsFluidInAbsoluteUnits) {
  TempDir dir;
  load_description(kLoop, dir);
  double sg = 0.0, sgt = 0.0;
  SRGSUM(1, GLOR.STEFAN, gar_thermalnodetemps.span(), GLOR.TABS, sg, sgt);
  EXPECT_DOUBLE_EQ(sg, 2.5);
  EXPECT_DOUBLE_EQ(sgt, 2.0 * 20.0 + 0.5 * 20.0);

  SGMCAL(2);
  SFGSM(2, sg, sgt);  // link 1 flows in, link 2 out; GL 4 to node 3 at 0
  const double g1 = gar_massflowlinkconds(1);
  EXPECT_DOUBLE_EQ(sg, g1 + 4.0);
  EXPECT_DOUBLE_EQ(sgt, g1 * (20.0 + kTabs) + 4.0 * kTabs);
}

TEST(ConductanceSums, MinimaCourantLimitAndFirstHydraulicSolution) {
  TempDir dir;
  load_description(kLoop, dir);
  hydraulic_constants();
  Work work;
  SGMCAL(2);
  // The fluid minimum: capacity over conductance sum at the flows before the
  // hydraulics, over every fluid node not of status H.
  double least = 1.0e38;
  std::int32_t at = 0;
  for (std::int32_t n = 1; n <= 3; ++n) {
    double sg = 0.0, sgt = 0.0;
    SFGSM(n, sg, sgt);
    const double tau = cp(n) * rho(n) * gar_fluidnodevolumes(n) / sg;
    if (tau < least) {
      least = tau;
      at = 3 + n;
    }
  }
  const std::int32_t next_real = FLAGS(flagw::NEXTREAL);
  CSGHYD("YY", work.w.table, work.codes);
  EXPECT_DOUBLE_EQ(GLOR.FCSGMN, least);
  EXPECT_EQ(GLOI.FNCSGM, at);
  EXPECT_EQ(FLAGS(flagw::NEXTREAL), next_real);

  // Node 2: 10 / (2 + 1) beats node 1's 100 / 2.5.
  EXPECT_DOUBLE_EQ(GLOR.CSGMIN, 10.0 / 3.0);
  EXPECT_EQ(GLOI.NCSGMN, 2);
  // The flows of the steady hydraulics, and the Courant limit from them.
  const double m = gar_massflowlinkflowrates(1);
  EXPECT_GT(m, 0.0);
  EXPECT_NEAR(gar_massflowlinkflowrates(2), m, 1e-8 * m);
  EXPECT_GT(gar_fluidnodepressures(2), 1e5);
  EXPECT_LT(gar_fluidnodepressures(2), 2e5);
  const auto transit = [](std::int32_t l, std::int32_t a, std::int32_t b) {
    return (gar_fluidnodelengths(a) + gar_fluidnodelengths(b)) / 2.0 * (rho(a) + rho(b)) / 2.0 *
           std::min(gar_fluidnodeflowareas(a), gar_fluidnodeflowareas(b)) / std::abs(gar_massflowlinkflowrates(l));
  };
  EXPECT_DOUBLE_EQ(GLOR.DTCOUR, std::min(transit(1, 1, 2), transit(2, 2, 3)));

}

TEST(ConductanceSums, CombinedMinimumAndIterationCount) {
  TempDir dir;
  load_description(kLoop, dir);
  hydraulic_constants();
  GLOR.FCSGMN = 7.0;
  GLOI.SUMFLL = 3;
  // A tiny fluid node volume makes the fluid node the combined minimum.
  gar_fluidnodevolumes(2) = 3e-10;
  Work work;
  SGMCAL(2);
  FFCSGM("YY", work.w.table, work.codes);
  EXPECT_EQ(GLOI.NCSGMN, 3 + 2);
  EXPECT_EQ(GLOR.FCSGMN, 7.0);
  EXPECT_GT(GLOI.SUMFLL, 3);
}

TEST(ConductanceSums, WithoutFluidNodesOnlyTheThermalMinimumAndSmallFlowsCleared) {
  TempDir dir;
  load_description(kLoop, dir);
  hydraulic_constants();
  GLOR.MINFLO = 0.01;
  GLOR.DTCOUR = 5.0;
  Work work;
  CSGHYD("YN", work.w.table, work.codes);
  EXPECT_DOUBLE_EQ(GLOR.CSGMIN, 10.0 / 3.0);
  EXPECT_EQ(GLOR.DTCOUR, 5.0);
  EXPECT_EQ(gar_massflowlinkflowrates(1), 0.0);  // exactly MINFLO
  EXPECT_EQ(gar_fluidnodepressures(2), 1.2e5);
}

TEST(ConductanceSums, CourantLimitSkipsInactiveAndStillLinks) {
  TempDir dir;
  load_description(kLoop, dir);
  gar_massflowlinkstatuses.set(1, "I");
  gar_massflowlinkflowrates(1) = 1.0e3;  // would be the limit if it counted
  gar_massflowlinkflowrates(2) = 0.0;
  double dt = 1.0e38;
  SGCOUR(2, dt);
  EXPECT_EQ(dt, 1.0e38);
}

}  // namespace conductance_sums_test
}  // namespace kalvir::test
