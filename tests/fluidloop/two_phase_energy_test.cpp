// The two-phase energy equation on loaded channels, assembled and solved
// through the profile solver: a heated node without storage takes
// h1 + Q / w, a source-fed node passes its source's enthalpy on, a held
// upstream node enters the right-hand side only, and a node with nothing to
// balance keeps its enthalpy.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/fluidloop/phase_separation.h"
#include "runtime/fluidloop/profile_solver.h"
#include "runtime/fluidloop/two_phase_energy.h"
#include "tests/fluidloop/fluid_test_support.h"

namespace kalvir::test {
namespace two_phase_energy_test {

// A loaded channel with its layout, properties and start-of-step copies.
struct EnergyChannel {
  TempDir dir;
  std::int32_t nf;
  std::vector<std::int32_t> table;
  fluidloop::TwoPhaseLayout layout;
  std::int32_t ncomp = 0, nprof = 0;
  std::vector<double> drdp, drdh, rho, sp, sh, sx, st, sv, sdrdp, sdrdh, srho, sa, ssrc, sl, sd, sflow, shl, sth;
  std::vector<double> matrix, rhs, h, displaced;
  fluidloop::NodeProperties props;
  fluidloop::StepStart start;
  fluidloop::ProfileSystem system;

  EnergyChannel(const char* statuses, const std::string& links) : nf(static_cast<std::int32_t>(std::strlen(statuses))) {
    load_description(ammonia_nodes("ENERGY", statuses) + links, dir);
    GLOR.GRAVZ = 9.81;
    const std::int32_t nm = FLAGS(flagw::NM);
    for (std::int32_t l = 1; l <= nm; ++l) gar_massflowlinktypes(l) = fluidloop::kMomentumLink;
    table.assign(7 * static_cast<std::size_t>(nf), 0);
    layout = fluidloop::two_phase_layout(table, nf);
    FPNTER(nf, layout, ncomp, nprof);
    const auto n = static_cast<std::size_t>(nf);
    drdp.assign(n, 0.0);
    drdh = sp = sh = sx = st = sv = sdrdp = sdrdh = sa = ssrc = sl = sd = sth = h = drdp;
    rho.assign(n, 600.0);
    srho = rho;
    for (std::int32_t k = 1; k <= nf; ++k) {
      sp[k - 1] = gar_fluidnodepressures(k);
      sh[k - 1] = gar_fluidnodespecenthalpies(k);
      sa[k - 1] = gar_fluidnodeflowareas(k);
      sv[k - 1] = gar_fluidnodevolumes(k);
    }
    sflow.assign(static_cast<std::size_t>(nm), 0.0);
    for (std::int32_t l = 1; l <= nm; ++l) sflow[l - 1] = gar_massflowlinkflowrates(l);
    shl = sflow;
    props = {drdp, drdh, rho};
    start = {sp, sh, st, sx, sv, {sdrdp, sdrdh, srho}, sa, ssrc, sl, sd, sflow, shl, sth};
    matrix.assign(static_cast<std::size_t>(nprof), 0.0);
    rhs.assign(n, 0.0);
    displaced.assign(n, 0.0);
    system = {&layout, matrix, rhs};
  }

  // Assembles and solves; h holds the new enthalpies by node.
  void solve(double dt) {
    FCNGTK(dt, props, start, system, displaced);
    for (std::int32_t k = 1; k <= nf; ++k) h[k - 1] = gar_fluidnodespecenthalpies(k);
    double dmax = 0.0;
    std::int32_t node = 0;
    std::string name;
    FHSKS1(matrix, layout.diag, layout.first, layout.last, nf, layout.order, layout.first_narrow, nprof, rhs, h, dmax,
           node, name);
    ASSERT_EQ(node, 0) << name;
  }
};

TEST(TwoPhaseEnergy, HeatedNodeWithoutStorageTakesInletPlusHeatOverFlow) {
  EnergyChannel c("RHJ", "link 1 2 0.02\nlink 2 3 0.02\n");
  gar_fluidnodeheatsources(2) = 1000.0;
  c.solve(1.0);
  EXPECT_NEAR(c.h[1], gar_fluidnodespecenthalpies(1) + 1000.0 / 0.02, 1e-6);
  EXPECT_DOUBLE_EQ(c.h[0], gar_fluidnodespecenthalpies(1));
  // The held inlet enters node 2's right-hand side only.
  EXPECT_EQ(c.system.at(c.system.position(2), c.system.position(1)), 0.0);
  // The links leaving nodes 2 and 1 carry their nodes' enthalpies.
  EXPECT_DOUBLE_EQ(gar_massflowlinkenthalpies(2), gar_fluidnodespecenthalpies(2));
  EXPECT_DOUBLE_EQ(gar_massflowlinkenthalpies(1), gar_fluidnodespecenthalpies(1));
}

TEST(TwoPhaseEnergy, SourceFedNodePassesTheSourceEnthalpyOn) {
  EnergyChannel c("HJ", "link 1 2 0.05\n");
  gar_fluidnodemassflowsources(1) = 0.05;
  gar_fluidnodemasssourcespecenthalpies(1) = 4.0e5;
  c.solve(1.0);
  // The source's and the outlet's kinetic energies cancel: same density
  // and area.
  EXPECT_NEAR(c.h[0], 4.0e5, 1e-6);
}

TEST(TwoPhaseEnergy, StorageRelaxesTowardTheInletOverAStep) {
  // Node 2 with storage rho V / dt = 6: (6 + w) h2 = 6 hs + w h1.
  EnergyChannel c("RFJ", "link 1 2 0.5\nlink 2 3 0.5\n");
  gar_fluidnodespecenthalpies(1) = 3.0e5;
  gar_fluidnodespecenthalpies(2) = 2.0e5;
  c.sh[1] = 2.0e5;
  c.solve(1.0);
  EXPECT_NEAR(c.h[1], (6.0 * 2.0e5 + 0.5 * 3.0e5) / 6.5, 1e-6);
}

TEST(TwoPhaseEnergy, NodeWithNothingToBalanceKeepsItsEnthalpy) {
  EnergyChannel c("HH", "link 1 2 0.1 status=I\n");
  c.solve(1.0);
  EXPECT_DOUBLE_EQ(c.h[0], gar_fluidnodespecenthalpies(1));
  EXPECT_DOUBLE_EQ(c.h[1], gar_fluidnodespecenthalpies(2));
}

}  // namespace two_phase_energy_test
}  // namespace kalvir::test
