// The fluid-loop support routines on loaded models: the breadth-first
// profile index table, the link conductances, the heat flows into a fluid
// node, the volume changes and the mass balance of a node.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/fluidloop/support.h"
#include "runtime/fluids/interface/properties.h"
#include "runtime/platform/process.h"
#include "tests/fluidloop/fluid_test_support.h"
#include "tests/support/test_support.h"

namespace kalvir::test {
namespace support_test {

using V = std::vector<std::int32_t>;

struct OrderCase {
  const char* what;
  const char* links;  // link statements of the model
  V node_of_eq, first, last, diag;
  std::int32_t length;
};

class FluidOrdering : public ::testing::TestWithParam<OrderCase> {};

TEST_P(FluidOrdering, ProfileIndexTable) {
  const OrderCase& c = GetParam();
  TempDir dir;
  load_description(std::string("model ORDER\nfluidnode 1\nfluidnode 2\nfluidnode 3\n") + c.links, dir);
  std::vector<std::int32_t> table(15, -1);
  const auto index = fluidloop::profile_index(table, 3);
  std::int32_t length = -1;
  FPNTRS(3, index, length);
  EXPECT_EQ(V(index.node_of_eq.begin(), index.node_of_eq.end()), c.node_of_eq);
  EXPECT_EQ(V(index.first.begin(), index.first.end()), c.first);
  EXPECT_EQ(V(index.last.begin(), index.last.end()), c.last);
  EXPECT_EQ(V(index.diag.begin(), index.diag.end()), c.diag);
  EXPECT_EQ(length, c.length);
  for (std::int32_t i = 1; i <= 3; ++i) EXPECT_EQ(index.eq_of_node[static_cast<std::size_t>(index.node_of_eq[i - 1] - 1)], i);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FluidOrdering,
    ::testing::Values(OrderCase{"chain", "link 1 2 0.1\nlink 2 3 0.1\n", {1, 2, 3}, {1, 1, 2}, {2, 3, 3}, {1, 4, 7}, 7},
                      OrderCase{"two groups", "link 1 2 0.1\n", {1, 2, 3}, {1, 1, 3}, {2, 2, 3}, {1, 4, 5}, 5},
                      OrderCase{"chain reached from its middle", "link 1 3 0.1\nlink 3 2 0.1 status=I\n", {1, 3, 2},
                                {1, 1, 2}, {2, 3, 3}, {1, 4, 7}, 7},
                      OrderCase{"no links", "", {1, 2, 3}, {1, 2, 3}, {1, 2, 3}, {1, 2, 3}, 3}),
    CaseName{});

TEST(FluidOrdering, SingleNodeAndNone) {
  TempDir dir;
  load_description("model ONE\nfluidnode 5\n", dir);
  std::vector<std::int32_t> table(5, 0);
  std::int32_t length = -1;
  FPNTRS(1, fluidloop::profile_index(table, 1), length);
  EXPECT_EQ(length, 1);
  FPNTRS(0, fluidloop::profile_index(table, 0), length);
  EXPECT_EQ(length, 0);
}

// Fluid node 1 (water at 20) between fluid nodes 2 (30) and 3 (50): link 1
// from 2 into 1, link 2 from 1 out to 3, link 3 (inactive) from 3 to 1; two
// linear conductors to thermal nodes 10 and 20 degrees warmer, a radiative
// one to a node of status X (passed over) and a fluidic one.
constexpr const char* kCoupled =
    "model COUPLED\n"
    "node 1 T=30\nnode 2 T=40\nnode 3 T=500 status=X\nnode 4 T=25\n"
    "fluidnode 11 P=2e5 T=20 FLA=1e-4 FL=0.5 FD=0.01 VOL=5e-5\n"
    "fluidnode 12 P=2e5 T=30\nfluidnode 13 P=2e5 T=50\n"
    "link 12 11 0.02\nlink 11 13 0.03\nlink 13 11 0.04 status=I\n"
    "GL 1 11 1.0\nGL 2 11 1.0\nGR 3 11 1.0\nGF 4 11 2.0\n";

double cp_of(std::int32_t n) {
  return XCP(gar_fluidnodepressures(n), gar_fluidnodetemps(n), gar_fluidnodevapourqualities(n), 2,
             FLAGS(flagw::NNODE) + n);
}

TEST(FluidSupport, LinkConductanceFromTheFlowMagnitude) {
  TempDir dir;
  load_description(kCoupled, dir);
  gar_massflowlinkflowrates(2) = -0.03;
  gar_massflowlinkflowrates(3) = 0.0;
  SGMCAL(3);
  EXPECT_DOUBLE_EQ(gar_massflowlinkconds(1), 0.02 * (cp_of(2) + cp_of(1)) / 2.0);
  EXPECT_DOUBLE_EQ(gar_massflowlinkconds(2), 0.03 * (cp_of(1) + cp_of(3)) / 2.0);
  EXPECT_EQ(gar_massflowlinkconds(3), 0.0);
}

TEST(FluidSupport, HeatFlowsIntoAFluidNodeByKind) {
  TempDir dir;
  load_description(kCoupled, dir);
  SGMCAL(3);
  double qs = -1, qf = -1, ql = -1, qk = -1, qr = -1;
  SFCDHF(1, 2, qs, qf, ql, qk, qr);
  EXPECT_EQ(qs, 0.0);
  EXPECT_DOUBLE_EQ(ql, 30.0);
  EXPECT_DOUBLE_EQ(qf, 2.0 * 5.0);
  EXPECT_EQ(qr, 0.0);  // its neighbour has status X
  // Only link 1 flows in; link 2 flows out and link 3 is inactive.
  EXPECT_DOUBLE_EQ(qk, gar_massflowlinkconds(1) * 10.0);

  // A mass source at 60 degrees with cp at the mean temperature.
  gar_fluidnodemassflowsources(1) = 0.001;
  gar_fluidnodemasssourcetemps(1) = 60.0;
  SFCDHF(1, 2, qs, qf, ql, qk, qr);
  EXPECT_DOUBLE_EQ(qs, 0.001 * XCP(2e5, 40.0, 0.0, 2, FLAGS(flagw::NNODE) + 1) * 40.0);
}

TEST(FluidSupport, MassBalanceAndChangeMeasure) {
  TempDir dir;
  load_description(kCoupled, dir);
  gar_fluidnodemassflowsources(1) = 0.005;
  // Inflow 0.02 over link 1, outflow 0.03 over link 2, link 3 inactive.
  EXPECT_DOUBLE_EQ(MFCONS(1, 0), 0.005 + 0.02 - 0.03);
  EXPECT_DOUBLE_EQ(MFCONS(1, 2), 0.005 + 0.02);

  GLOR.RELXMC = 0.0;
  GLOI.NRLXMC = 0;
  MFCHK(4, 1e-6, 1.5, 1.0);
  EXPECT_DOUBLE_EQ(GLOR.RELXMC, 0.5);
  EXPECT_EQ(GLOI.NRLXMC, 4);
  MFCHK(5, 1e-6, 1.2, 1.0);  // smaller: kept
  EXPECT_EQ(GLOI.NRLXMC, 4);
  MFCHK(6, 1e-6, 2.0, 0.0);  // old flow within MINFLO: relative to the new
  EXPECT_DOUBLE_EQ(GLOR.RELXMC, 1.0);
  EXPECT_EQ(GLOI.NRLXMC, 6);
  GLOR.RELXMC = 0.0;
  MFCHK(7, 1e-6, 1e-7, 0.0);  // both within MINFLO: no change
  EXPECT_EQ(GLOR.RELXMC, 0.0);
}

TEST(FluidSupport, VolumeChangesMoveTheGeometryTheFlagLetsFollow) {
  TempDir dir;
  load_description(kCoupled, dir);
  gar_fluidnodevolumecontrolflags.set(1, "A");
  gar_fluidnodevolumecontrolflags.set(2, "L");
  gar_fluidnodevolumes(1) = 1.0;
  gar_fluidnodevolumes(2) = 1.0;
  gar_fluidnodevolumes(3) = 1.0;
  gar_fluidnodelengths(1) = 2.0;
  gar_fluidnodeflowareas(1) = 0.5;
  gar_fluidnodehydraulicdiameters(1) = 0.1;
  gar_fluidnodeflowareas(2) = 0.25;
  for (int n = 1; n <= 3; ++n) gar_fluidnodevolumechangerates(n) = 1.5;
  std::vector<double> copy(3, 0.0);
  CVOLST(3, 2.0, copy);
  EXPECT_DOUBLE_EQ(gar_fluidnodevolumes(1), 4.0);
  EXPECT_DOUBLE_EQ(gar_fluidnodeflowareas(1), 2.0);  // quadrupled at fixed length
  EXPECT_DOUBLE_EQ(gar_fluidnodehydraulicdiameters(1), 0.2);
  EXPECT_DOUBLE_EQ(gar_fluidnodelengths(2), 16.0);
  EXPECT_DOUBLE_EQ(gar_fluidnodevolumes(3), 4.0);
  EXPECT_EQ(copy, (std::vector<double>{1.5, 1.5, 1.5}));

  // Compliance: 10 % more volume per unit of pressure, rate over DTIMEU.
  gar_fluidnodecompliances(3) = 0.1;
  std::vector<double> pnew{gar_fluidnodepressures(1), gar_fluidnodepressures(2), gar_fluidnodepressures(3) + 1.0};
  std::vector<double> x(3, 0.0);
  CVOLSP(3, pnew, x, true, 0.5);
  EXPECT_DOUBLE_EQ(gar_fluidnodevolumes(3), 4.4);
  EXPECT_DOUBLE_EQ(x[2], 0.8);
  EXPECT_EQ(x[0], 0.0);

  // Measured from the step's start, the volume follows the pressure alone:
  // iterates that overshoot and come back leave no trace.
  const std::vector<double> pstart{gar_fluidnodepressures(1), gar_fluidnodepressures(2), gar_fluidnodepressures(3)};
  const std::vector<double> vstart{gar_fluidnodevolumes(1), gar_fluidnodevolumes(2), gar_fluidnodevolumes(3)};
  for (const double dp : {3.0, -2.0, 0.5}) {
    pnew[2] = pstart[2] + dp;
    CVOLSP(3, pnew, pstart, vstart, x, false, 0.5);
  }
  EXPECT_DOUBLE_EQ(gar_fluidnodevolumes(3), 4.4 * 1.05);
  EXPECT_EQ(gar_fluidnodevolumes(1), vstart[0]);
}

TEST(FluidSupport, VolumeThatVanishesEndsTheRunWithoutNaN) {
  TempDir dir;
  load_description(kCoupled, dir);
  gar_fluidnodevolumecontrolflags.set(1, "A");
  gar_fluidnodevolumes(1) = 1.0;
  gar_fluidnodevolumechangerates(1) = -1.0;
  std::vector<double> copy(3, 0.0);
  std::string out;
  int status = 0;
  {
    Unit6Capture capture;
    status = platform::run_program([&] { CVOLST(3, 1.0, copy); });
    out = capture.finish();
  }
  EXPECT_EQ(status, 1);
  EXPECT_NE(joined_frames(out).find("CVOLST: Fluid node volume or flow area not positive"), std::string::npos) << out;
  EXPECT_FALSE(std::isnan(gar_fluidnodehydraulicdiameters(1)));
}

TEST(FluidSupport, HumidAirTestIgnoresTrailingBlanks) {
  TempDir dir;
  load_description("model AIRS\nfluidnode 1 fluid=AIR\nfluidnode 2 fluid=AIRW\n", dir);
  EXPECT_FALSE(FTAIRW(1));
  EXPECT_TRUE(FTAIRW(2));
  EXPECT_EQ(SMODND(2), 1);
}

}  // namespace support_test
}  // namespace kalvir::test
