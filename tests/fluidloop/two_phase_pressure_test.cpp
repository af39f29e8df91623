// The two-phase pressure equation and link flows on loaded models: a held
// node keeps its pressure and enters its neighbours' right-hand side only,
// a closed ring under QTRSOL "YES" conserves its total mass through the
// solve, a flowing link without loss balances its ends, and the flow
// updates of the three link modes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/fluidloop/phase_separation.h"
#include "runtime/fluidloop/profile_solver.h"
#include "runtime/fluidloop/two_phase_pressure.h"
#include "runtime/platform/fixed_string.h"
#include "tests/fluidloop/fluid_test_support.h"

namespace kalvir::test {
namespace two_phase_pressure_test {

struct PressureModel {
  TempDir dir;
  std::int32_t nf, nm = 0;
  std::vector<std::int32_t> table, mode;
  fluidloop::TwoPhaseLayout layout;
  std::int32_t ncomp = 0, nprof = 0;
  std::vector<double> drdp, drdh, rho, sp, sh, srho, zero, g, b2, b1, c0, matrix, rhs, hnew, pnew, mass;
  fluidloop::PressureStep step;
  fluidloop::ProfileSystem system;

  PressureModel(const char* statuses, const std::string& links) : nf(static_cast<std::int32_t>(std::strlen(statuses))) {
    load_description(ammonia_nodes("PRESSURE", statuses) + links, dir);
    nm = FLAGS(flagw::NM);
    for (std::int32_t l = 1; l <= nm; ++l) gar_massflowlinktypes(l) = fluidloop::kMomentumLink;
    for (std::int32_t n = 1; n <= nf; ++n) gar_fluidnodecompliances(n) = 0.0;
    table.assign(7 * static_cast<std::size_t>(nf), 0);
    layout = fluidloop::two_phase_layout(table, nf);
    FPNTER(nf, layout, ncomp, nprof);
    const auto n = static_cast<std::size_t>(nf);
    drdp.assign(n, 1.0e-4);
    drdh.assign(n, 0.0);
    rho.assign(n, 600.0);
    srho = rho;
    zero.assign(std::max(n, static_cast<std::size_t>(nm)), 0.0);
    sp.assign(n, 0.0);
    sh = hnew = pnew = sp;
    for (std::int32_t k = 1; k <= nf; ++k) {
      sp[k - 1] = pnew[k - 1] = gar_fluidnodepressures(k);
      sh[k - 1] = hnew[k - 1] = gar_fluidnodespecenthalpies(k);
    }
    g.assign(static_cast<std::size_t>(nm), 1.0e-4);
    b2 = b1 = c0 = g;
    std::fill(b2.begin(), b2.end(), 0.0);
    std::fill(b1.begin(), b1.end(), 0.0);
    std::fill(c0.begin(), c0.end(), 0.0);
    mode.assign(static_cast<std::size_t>(nm), 1);
    mass.assign(static_cast<std::size_t>(std::max(ncomp, 1)), 0.0);
    matrix.assign(static_cast<std::size_t>(nprof), 0.0);
    rhs.assign(n, 0.0);
    fluidloop::StepStart start{sp, sh, zero, zero, zero, {zero, zero, srho}, zero, zero, zero, zero, zero, zero, zero};
    step = {1.0, {drdp, drdh, rho}, start, hnew, pnew, {g, b2, b1, c0, mode}, mass, ncomp};
    system = {&layout, matrix, rhs};
  }

  void solve() {
    FGFIPS(step, system);
    double dmax = 0.0;
    std::int32_t node = 0;
    std::string name;
    FHSKS1(matrix, layout.diag, layout.first, layout.last, nf, layout.order, layout.first_narrow, nprof, rhs, pnew,
           dmax, node, name);
    ASSERT_EQ(node, 0) << name;
  }
};

TEST(TwoPhasePressure, HeldNodeKeepsItsPressure) {
  PressureModel m("JFJ", "link 1 2 0.1\nlink 2 3 0.1\n");
  assign_padded(GLOC.QTRSOL.span(), "NO");
  gar_fluidnodepressures(1) = 9e5;
  m.c0.assign(2, 0.0);
  m.solve();
  EXPECT_DOUBLE_EQ(m.pnew[0], 9e5);
  EXPECT_DOUBLE_EQ(m.pnew[2], 8e5);
  EXPECT_EQ(m.system.at(m.system.position(2), m.system.position(1)), 0.0);
  // Node 2 between 9 and 8 bar with equal links and a little storage lies
  // between them.
  EXPECT_GT(m.pnew[1], 8e5);
  EXPECT_LT(m.pnew[1], 9e5);
}

TEST(TwoPhasePressure, ClosedRingKeepsItsMassUnderQuasiSteadyFlow) {
  PressureModel m("FFF", "link 1 2 0.1\nlink 2 3 0.1\nlink 3 1 0.1\n");
  assign_padded(GLOC.QTRSOL.span(), "YES");
  m.c0 = {0.05, -0.02, 0.01};  // a pump head in the ring
  m.mass[0] = 3.0 * 0.01 * 600.0 + 2.0e-4;
  for (double& d : m.drdp) d = 2.0e-5;
  m.solve();
  double total = 0.0;
  for (std::int32_t n = 1; n <= 3; ++n)
    total += 0.01 * (600.0 + 2.0e-5 * (m.pnew[n - 1] - gar_fluidnodepressures(n)));
  EXPECT_NEAR(total, m.mass[0], 1e-12);
}

// A link without loss (mode -1) carries its flow into a node whose other
// link passes that flow between 8.001 and 8 bar: the pressures that balance
// the node also balance the lossless link, so the node sits at its
// upstream neighbour's pressure.
TEST(TwoPhasePressure, FlowingLinkWithoutLossBalancesItsEnds) {
  PressureModel m("RFJ", "link 1 2 0.1\nlink 2 3 0.1\n");
  assign_padded(GLOC.QTRSOL.span(), "YES");
  gar_fluidnodepressures(1) = 8.0e5 + 1000.0;
  m.mode[0] = -1;
  m.g[0] = 1.0;
  m.g[1] = 1.0e-4;
  m.solve();
  EXPECT_NEAR(m.pnew[1], 8.0e5 + 1000.0, 1e-6);
}

TEST(TwoPhasePressure, FlowUpdatesOfTheLinkModes) {
  PressureModel m("JFJ", "link 1 2 0.1\nlink 2 3 0.1\nlink 1 3 0.3\n");
  assign_padded(GLOC.QTRSOL.span(), "YES");
  GLOR.DAMPM = 0.5;
  GLOR.MINFLO = 1e-12;
  GLOR.MINDP = 1.0;
  // Link 1 from its momentum equation, relaxed by DAMPM^2: new flow 0.5.
  m.c0[0] = 0.5;
  // Link 2 closed.
  m.mode[1] = 0;
  // Link 3 between held nodes from continuity: imbalance 0.5 < MINDP.
  m.mode[2] = -1;
  m.c0[2] = 0.5;
  m.g[2] = 1.0;
  FMCALC(m.step);
  EXPECT_DOUBLE_EQ(gar_massflowlinkflowrates(1), 0.1 + 0.25 * (0.5 - 0.1));
  EXPECT_DOUBLE_EQ(gar_massflowlinkflowrates(2), 0.0);
  EXPECT_DOUBLE_EQ(gar_massflowlinkflowrates(3), 0.3);
  // Above MINDP the held link's flow runs away with the sign of S, grown
  // and relaxed by DAMPM.
  m.c0[2] = -5.0;
  FMCALC(m.step);
  EXPECT_DOUBLE_EQ(gar_massflowlinkflowrates(3), -1.0e10 + 0.5 * (-1.0e10 * (4.0 / 1000.0 + 1.0) + 1.0e10));
}

}  // namespace two_phase_pressure_test
}  // namespace kalvir::test
