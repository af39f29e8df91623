// Single-phase hydraulics: the flow between two fixed-pressure nodes
// through a free node against the closed form of the fitting loss, the mass
// balance of the free node, a closed loop without a fixed node, closed and
// unconnected links, and the friction factor against Colebrook's equation.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/fluidloop/hydraulics.h"
#include "runtime/fluidloop/support.h"
#include "runtime/fluids/interface/properties.h"
#include "tests/fluidloop/fluid_test_support.h"
#include "tests/support/message_frames.h"

namespace kalvir::test {
namespace hydraulics_test {

// Water from fluid node 10 (fixed at 2 bar) through free node 20 to fluid
// node 30 (fixed at 1 bar), two equal links with fitting loss K and smooth
// walls, so that each link drops half the pressure difference.
constexpr double kArea = 1.0e-4, kLoss = 0.6;
constexpr const char* kTwoFixed =
    "model FLOW\n"
    "fluidnode 10 status=J P=2e5 T=20 FLA=1e-4 FD=0.01 FL=0.1\n"
    "fluidnode 20 P=1.2e5 T=20 FLA=1e-4 FD=0.01 FL=0.1\n"
    "fluidnode 30 status=R P=1e5 T=20 FLA=1e-4 FD=0.01 FL=0.1\n"
    "link 10 20 0.01 GP=0.6\n"
    "link 20 30 0.01 GP=0.6\n";

TEST(Hydraulics, TwoFixedPressuresThroughAFreeNodeGiveTheFittingLossFlow) {
  TempDir dir;
  load_description(kTwoFixed, dir);
  hydraulic_constants();
  Work work;
  std::int32_t converged = 0, iterations = 0, status = -1;
  FLHYSL(work.w, 0, converged, iterations, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(converged, 1);
  EXPECT_GT(iterations, 1);
  EXPECT_EQ(block_log().v1_timem.size(), static_cast<std::size_t>(iterations));
  EXPECT_EQ(GLOC.SOLTYP, "");
  const double rho = XRHO(1.5e5, 20.0, 0.0, 2, 2);
  const double expected = kArea * std::sqrt(kLoss * rho * 1.0e5);
  EXPECT_NEAR(gar_massflowlinkflowrates(1), expected, 1e-4 * expected);
  EXPECT_NEAR(gar_massflowlinkflowrates(2), expected, 1e-4 * expected);
  EXPECT_NEAR(MFCONS(2, 0), 0.0, 1e-9 * expected);
  EXPECT_NEAR(gar_fluidnodepressures(2), 1.5e5, 10.0);
  EXPECT_EQ(gar_fluidnodepressures(1), 2e5);
  EXPECT_EQ(gar_fluidnodepressures(3), 1e5);
}

TEST(Hydraulics, TransientModeRunsTwoIterationsAtLeastAndTakesTheVolumeRate) {
  TempDir dir;
  load_description(kTwoFixed, dir);
  hydraulic_constants();
  GLOR.RELXMA = 1.0e10;  // met by any iteration
  Work work;
  std::int32_t converged = 0, iterations = 0, status = -1;
  FLHYSL(work.w, 0, converged, iterations, status);
  EXPECT_EQ(iterations, 1);
  // The free node's volume grows at 1e-6 m3/s: the flow out falls short of
  // the flow in by rho times that rate.
  work.rate[1] = 1.0e-6;
  GLOR.RELXMA = 1.0e-10;
  GLOR.DTIMEU = 1.0;
  FLHYSL(work.w, 1, converged, iterations, status);
  EXPECT_GE(iterations, 2);
  const double rho = work.density[1];
  EXPECT_NEAR(gar_massflowlinkflowrates(1) - gar_massflowlinkflowrates(2), rho * 1.0e-6, 1e-9);
}

TEST(Hydraulics, ClosedLoopWithoutAFixedNodeEndsTheRunWithTheZeroPivotText) {
  TempDir dir;
  load_description("model LOOP\nsubmodel RING\n"
                   "fluidnode 10 P=1e5 T=20 FLA=1e-4 FD=0.01 FL=0.1\n"
                   "fluidnode 20 P=1e5 T=20 FLA=1e-4 FD=0.01 FL=0.1\n"
                   "fluidnode 30 P=1e5 T=20 FLA=1e-4 FD=0.01 FL=0.1\n"
                   "link 10 20 0.01 GP=0.6\nlink 20 30 0.01 GP=0.6\nlink 30 10 0.01 GP=0.6\n",
                   dir);
  hydraulic_constants();
  GLOR.MINDP = 1.0e9;  // every link below it: unit conductances, an exactly singular matrix
  Work work;
  std::string out;
  int status = 0;
  {
    Unit6Capture capture;
    status = platform::run_program([&] {
      std::int32_t converged = 0, iterations = 0, st = 0;
      FLHYSL(work.w, 0, converged, iterations, st);
    });
    out = capture.finish();
  }
  EXPECT_EQ(status, 1);
  const std::vector<Message> msgs = printed_messages(out);
  ASSERT_EQ(msgs.size(), 1U) << out;
  EXPECT_EQ(msgs[0].severity, "FATAL ERROR");
  EXPECT_EQ(msgs[0].routine, "FLHYAS");
  EXPECT_EQ(msgs[0].code, 1);
  EXPECT_EQ(msgs[0].text,
            "FLTMTS: Zero divide in matrix solution for pressureError ocurred in routine FHSFCT : Check boundary "
            "node definitions : Model=RING                    ,Node=       30");
}

TEST(Hydraulics, ClosedLinkCarriesNoFlowAndAnUnlinkedNodeKeepsItsPressure) {
  TempDir dir;
  load_description("model SHUT\n"
                   "fluidnode 10 status=J P=2e5 T=20 FLA=1e-4 FD=0.01 FL=0.1\n"
                   "fluidnode 20 P=1.3e5 T=20 FLA=1e-4 FD=0.01 FL=0.1\n"
                   "fluidnode 30 P=1.7e5 T=20 FLA=1e-4 FD=0.01 FL=0.1\n"
                   "link 10 20 0.01 GP=0\n",
                   dir);
  hydraulic_constants();
  Work work;
  std::int32_t converged = 0, iterations = 0, status = -1;
  FLHYSL(work.w, 0, converged, iterations, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(gar_massflowlinkflowrates(1), 0.0);
  EXPECT_EQ(work.codes[0], 0);
  EXPECT_EQ(gar_fluidnodepressures(3), 1.7e5);
}

TEST(Hydraulics, FixedEndsWithoutOwnPressureDropGetTheSentinelFlowAndAWarning) {
  TempDir dir;
  load_description("model FIXED\n"
                   "fluidnode 10 status=J P=2e5 T=20 FLA=1e-4 FD=0.01 FL=0.1\n"
                   "fluidnode 20 status=J P=1e5 T=20 FLA=1e-4 FD=0.01 FL=0.1\n"
                   "link 10 20 0 GP=0.6\n",
                   dir);
  hydraulic_constants();
  GLOI.NLOOPH = 1;
  Work work;
  std::vector<Message> msgs = capture_messages([&] {
    std::int32_t converged = 0, iterations = 0, status = -1;
    FLHYSL(work.w, 0, converged, iterations, status);
  });
  EXPECT_EQ(work.codes[0], -1);
  EXPECT_GT(gar_massflowlinkflowrates(1), 1.0e9);
  ASSERT_EQ(msgs.size(), 1U);
  EXPECT_EQ(msgs[0].severity, "WARNING");
  EXPECT_EQ(msgs[0].routine, "FLMSFL");
}

struct FluxCase {
  const char* what;
  const char* statuses;  // of fluid nodes 1, 2, 3
  double c1, c2, c3;     // in units of 1 / (rho A^2) at the node of the end
};

class MomentumFlux : public ::testing::TestWithParam<FluxCase> {};

// Link 2 runs from fluid node 2 to fluid node 3 and is fed by link 1 from
// node 1; every node has density 1000 and area 1e-4, so 1 / (rho A^2) = 1e5.
TEST_P(MomentumFlux, CoefficientsByTheStatusesOfTheEnds) {
  const FluxCase& c = GetParam();
  TempDir dir;
  std::string text = "model FLUX\n";
  for (int n = 1; n <= 3; ++n)
    text += "fluidnode " + std::to_string(n) + " status=" + c.statuses[n - 1] + " P=1e5 T=20 FLA=1e-4\n";
  load_description(text + "link 1 2 0.5\nlink 2 3 0.3\n", dir);
  Work work;
  std::fill(work.density.begin(), work.density.end(), 1000.0);
  double c1 = -1, c2 = -1, c3 = -1, c4 = -1;
  SFMOFL(work.w, 2, c1, c2, c3, c4);
  EXPECT_DOUBLE_EQ(c1, c.c1 * 1.0e5);
  EXPECT_DOUBLE_EQ(c2, c.c2 * 1.0e5);
  EXPECT_DOUBLE_EQ(c3, c.c3 * 1.0e5);
  EXPECT_EQ(c4, 0.0);
}

INSTANTIATE_TEST_SUITE_P(Cases, MomentumFlux,
                         ::testing::Values(FluxCase{"plain ends", "FFF", 1.0, 0.0, 1.0},
                                           FluxCase{"upstream Q fed by link 1", "FQF", 0.0, 0.25, 1.0},
                                           FluxCase{"feeding node of status S", "SQF", 0.0, 0.0, 1.0},
                                           FluxCase{"upstream Q, downstream S", "FQS", 0.0, 0.0, 1.0},
                                           FluxCase{"upstream S, downstream Q", "FSQ", 1.0, 0.0, 0.0}),
                         CaseName{});

// Fanning friction factor from Colebrook's equation (Darcy factor / 4).
double colebrook(double re, double relative_roughness) {
  double f = 0.02;
  for (int k = 0; k < 100; ++k)
    f = std::pow(-2.0 * std::log10(relative_roughness / 3.7 + 2.51 / (re * std::sqrt(f))), -2.0);
  return f / 4.0;
}

double friction(double re, double e) {
  double f = -1.0;
  FLFRLS(1.0, 1.0, re, e, 1.0, f);  // Re = |flow| / area x diameter / viscosity
  return f;
}

TEST(Friction, LaminarBlendedAndTurbulent) {
  EXPECT_DOUBLE_EQ(friction(1000.0, 1e-4), 0.016);
  EXPECT_DOUBLE_EQ(friction(-1000.0, 1e-4), 0.016);
  EXPECT_DOUBLE_EQ(friction(2000.0, 1e-4), 0.008);  // the blend starts at the laminar value
  const double at4000 = friction(4000.0, 1e-4);
  EXPECT_DOUBLE_EQ(friction(3000.0, 1e-4), 0.008 + 0.5 * (at4000 - 0.008));
  for (const double re : {4000.0, 1e5, 1e7})
    for (const double e : {1e-5, 1e-3}) EXPECT_NEAR(friction(re, e), colebrook(re, e), 0.05 * colebrook(re, e)) << re;
}

TEST(Friction, SmoothWallAndNoFlow) {
  EXPECT_EQ(friction(1e5, 0.0), 0.0);
  double f = 0.123;
  FLFRLS(1.0, 1.0, 0.0, 1e-4, 1.0, f);
  EXPECT_EQ(f, 0.123);
}

}  // namespace hydraulics_test
}  // namespace kalvir::test
