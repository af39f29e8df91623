// The linearised link laws of the two-phase solution on a loaded channel of
// three nodes: a closed link, a link at rest, the inertia and gravity terms
// of a horizontal and a vertical link worked by hand, evaporative links, and
// the end flows at nodes of status Q and S.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/fluidloop/phase_separation.h"
#include "runtime/fluidloop/two_phase_momentum.h"
#include "runtime/fluids/interface/properties.h"
#include "runtime/platform/fixed_string.h"
#include "tests/fluidloop/fluid_test_support.h"
#include "tests/support/test_support.h"

namespace kalvir::test {
namespace two_phase_momentum_test {

constexpr double kArea = 0.01, kLength = 1.0, kRho = 600.0, kSavedRho = 610.0, kDt = 2.0;

struct Channel {
  TempDir dir;
  std::vector<double> rho, saved_rho, saved_flow, g, b2, b1, c0;
  std::vector<std::int32_t> mode;
  fluidloop::LinkCoefficients k;
  fluidloop::MomentumState s;

  explicit Channel(const char* statuses = "FFF") {
    std::string text = "model CHAN\n";
    for (int n = 1; n <= 3; ++n)
      text += "fluidnode " + std::to_string(n) + " fluid=AMMONIA FST=P&VQ P=8e5 VQ=0.0 status=" +
              std::string(1, statuses[n - 1]) + "\n";
    text += "link 1 2 0.5 GP=1\nlink 2 3 0.5 GP=1\n";
    load_description(text, dir);
    for (std::int32_t n = 1; n <= 3; ++n) {
      gar_fluidnodeflowareas(n) = kArea;
      gar_fluidnodelengths(n) = kLength;
      gar_fluidnodevolumes(n) = kArea * kLength;
      gar_fluidnodehydraulicdiameters(n) = 0.1;
      gar_fluidnodewallroughnesses(n) = 0.0;  // smooth: no friction
      gar_fluidnodecoordsz(n) = 0.0;
      gar_fluidnodevolumechangerates(n) = 0.0;
      gar_fluidnodemassflowsources(n) = 0.0;
    }
    for (std::int32_t l = 1; l <= 2; ++l) {
      gar_massflowlinktypes(l) = fluidloop::kMomentumLink;
      gar_massflowlinkfittinglosses(l) = 1.0;
      gar_massflowlinkpressuresources(l) = 0.0;
      gar_massflowlinkpsourcederivs(l) = 0.0;
    }
    GLOR.MINDP = 1.0e-6;
    GLOR.GRAVZ = 9.81;
    assign_padded(GLOC.QTRSOL.span(), "NO");
    rho.assign(3, kRho);
    saved_rho.assign(3, kSavedRho);
    saved_flow.assign(2, 0.4);
    g.assign(2, -1.0);
    b2 = b1 = c0 = g;
    mode.assign(2, 7);
    k = {g, b2, b1, c0, mode};
    s = {rho, saved_rho, saved_flow};
  }
  void run() { FCMOMK(kDt, s, k); }
};

TEST(TwoPhaseMomentum, ClosedLinkAndLinkAtRest) {
  Channel c;
  gar_massflowlinkfittinglosses(1) = 0.0;
  gar_massflowlinkflowrates(2) = 0.0;
  c.run();
  EXPECT_EQ(c.mode[0], 0);
  EXPECT_EQ(c.g[0], 0.0);
  EXPECT_EQ(c.c0[0], 0.0);
  EXPECT_EQ(c.mode[1], -1);
  EXPECT_EQ(c.g[1], 1.0);
}

TEST(TwoPhaseMomentum, InactiveLinkCarriesNothingAndKeepsItsMode) {
  Channel c;
  gar_massflowlinkstatuses.set(1, "I");
  c.run();
  EXPECT_EQ(c.mode[0], 7);
  EXPECT_EQ(c.g[0], 0.0);
  EXPECT_EQ(c.b1[0], 0.0);
}

// Horizontal link, w = 0.5, equal areas: D = I / dt + F with I = 100 and
// F = 0.5 x 0.5 / (600 x 1e-4); u = w / 600.
TEST(TwoPhaseMomentum, HorizontalLinkByHand) {
  for (const bool quasi_steady : {false, true}) {
    Channel c;
    assign_padded(GLOC.QTRSOL.span(), quasi_steady ? "YES" : "NO");
    c.run();
    const double q0 = quasi_steady ? 0.0 : 1.0;
    const double fitting = 0.25 / 0.06, inertia = 100.0 * q0, u = 0.5 / kRho;
    const double g = 1.0 / (inertia / kDt + fitting);
    EXPECT_EQ(c.mode[0], 1);
    EXPECT_NEAR(c.g[0], g, 1e-12 * g);
    EXPECT_NEAR(c.b2[0], g * (u / 1e-4) * (q0 * 0.01 / kDt + u), 1e-15);
    EXPECT_NEAR(c.b1[0], g * (u / 1e-4) * (q0 * 0.01 / kDt - u), 1e-15);
    EXPECT_NEAR(c.c0[0], g * (inertia * 0.4 / kDt - q0 * (u / kDt) * (2.0 * kSavedRho / kArea)), 1e-12);
  }
}

// A vertical link rising 2 m with QTRSOL "YES": the junction is at 1 m and
// the gravity head enters b1 and b2.
TEST(TwoPhaseMomentum, GravityHeadOfARisingLink) {
  Channel c;
  assign_padded(GLOC.QTRSOL.span(), "YES");
  gar_fluidnodecoordsz(2) = 2.0;
  c.run();
  const double g = 0.06 / 0.25, u = 0.5 / kRho;
  EXPECT_NEAR(c.b2[0], g * (u * u / 1e-4 - 9.81 * 1.0), 1e-12);
  EXPECT_NEAR(c.b1[0], g * (-u * u / 1e-4 - 9.81 * 1.0), 1e-12);
  // At rest between equal densities the link balances the hydrostatic head:
  // P1 - P2 = rho g dz.
  const double w0 = c.c0[0] + c.g[0] * (kRho * 9.81 * 2.0) + (c.b2[0] + c.b1[0]) * kRho;
  EXPECT_NEAR(w0, 0.0, 1e-9);
}

TEST(TwoPhaseMomentum, EvaporativeLink) {
  Channel c;
  gar_massflowlinktypes(1) = fluidloop::kEvaporativeLink;
  gar_massflowlinkevapheatfluxes(1) = 0.0;
  c.run();
  EXPECT_EQ(c.g[0], 0.0);
  EXPECT_EQ(c.b2[0], 0.0);

  gar_massflowlinkevapheatfluxes(1) = 1000.0;
  c.run();
  const std::int32_t slot = fluidloop::fluid_slot(2), node = fluidloop::internal_index(2);
  const double p = gar_fluidnodepressures(2), hv = XENTHS(p, XTEMPS(p, slot, node), 1.0, slot, node);
  const double rate = 1000.0 / (hv - gar_fluidnodespecenthalpies(1));
  EXPECT_NEAR(c.b2[0], rate, 1e-12 * rate);
  EXPECT_GT(rate, 0.0);
  EXPECT_EQ(c.b1[0], 0.0);
  EXPECT_NEAR(c.c0[0], p * c.g[0] + 0.5, 1e-9 * std::abs(c.c0[0]));
}

TEST(TwoPhaseMomentum, EvaporativeLinkFedBySuperheatedVapourCarriesNoFlow) {
  Channel c;
  gar_massflowlinktypes(1) = fluidloop::kEvaporativeLink;
  gar_massflowlinkevapheatfluxes(1) = 1000.0;
  gar_fluidnodespecenthalpies(1) = 1.0e8;
  c.run();
  EXPECT_EQ(c.b2[0], 0.0);
  EXPECT_EQ(c.g[0], 0.0);
  EXPECT_TRUE(std::isfinite(c.c0[0]));
}

struct EndCase {
  const char* what;
  const char* statuses;
  std::int32_t link;
  double source2;
  bool has1, has2;
  double g1, g2;
};

class QEndFlows : public ::testing::TestWithParam<EndCase> {};

// Both links carry 0.5 from node 1 to node 3.
TEST_P(QEndFlows, FlowThroughEachEnd) {
  const EndCase& e = GetParam();
  Channel c(e.statuses);
  gar_fluidnodemassflowsources(2) = e.source2;
  const fluidloop::EndFlows f = fluidloop::q_end_flows(e.link);
  ASSERT_EQ(f.first.has_value(), e.has1);
  ASSERT_EQ(f.second.has_value(), e.has2);
  if (e.has1) {
    EXPECT_DOUBLE_EQ(*f.first, e.g1);
  }
  if (e.has2) {
    EXPECT_DOUBLE_EQ(*f.second, e.g2);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QEndFlows,
    ::testing::Values(EndCase{"no Q node", "FFF", 1, 0.0, false, false, 0, 0},
                      EndCase{"downstream Q takes source and flow", "FQF", 1, 0.2, false, true, 0, 0.7},
                      EndCase{"upstream Q takes the entering link", "FQF", 2, 0.2, true, false, 0.7, 0},
                      EndCase{"upstream Q before S is closed", "FQS", 2, 0.0, true, false, 0.0, 0},
                      EndCase{"S upstream of Q closes the Q end", "FSQ", 2, 0.0, false, true, 0, 0.0},
                      EndCase{"Q to Q takes the node throughflow", "FQQ", 2, 0.0, true, true, 0.5, 0.5}),
    CaseName{});

TEST(QEndFlows, MomentumFluxOfAQEndLeavesTheLinkFlow) {
  Channel c("FQF");
  assign_padded(GLOC.QTRSOL.span(), "YES");
  gar_fluidnodemassflowsources(2) = 0.3;  // G = 0.8 at node 2
  c.run();
  // D = (M2 - M1) 2 / rho + F, with M2 = 0.8 / A^2 at the Q end and
  // M1 = 0.5 / A^2; the Q end's own flux no longer enters b2.
  const double d = (0.8 - 0.5) / 1e-4 * 2.0 / kRho + 0.25 / 0.06, g = 1.0 / d, u = 0.5 / kRho;
  EXPECT_NEAR(c.g[0], g, 1e-12 * g);
  EXPECT_NEAR(c.b2[0], g * u * u / 1e-4, 1e-15);
}

}  // namespace two_phase_momentum_test
}  // namespace kalvir::test
