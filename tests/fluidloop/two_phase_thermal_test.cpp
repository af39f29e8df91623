// The thermal step of the two-phase solution on loaded networks: the
// predictor is the explicit Euler step and finds C / G, the implicit step
// converges to the time-centred solution, a zero-capacity node between
// fluid nodes takes their conductance-weighted mean, and a heat source
// without a conductor runs away and ends the run.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/fluidloop/two_phase_thermal.h"
#include "tests/fluidloop/fluid_test_support.h"

namespace kalvir::test {
namespace two_phase_thermal_test {

struct ThermalModel {
  TempDir dir;
  std::vector<std::int32_t> gf, gl, gr, net;
  std::vector<double> t3, t4, saved, f0, ps1, ps2, pt, tf;
  fluidloop::ThermalWork w;

  explicit ThermalModel(const std::string& text) {
    load_description(text, dir);
    const auto sz = [](int f) { return static_cast<std::size_t>(std::max(FLAGS(f), 1)); };
    gf.assign(sz(flagw::NGF), 0);
    gl.assign(sz(flagw::NGL), 0);
    gr.assign(sz(flagw::NGR), 0);
    net.assign(sz(flagw::NNODE), 0);
    const std::size_t n = sz(flagw::NNODE);
    t3.assign(n, 0.0);
    t4 = saved = f0 = ps1 = ps2 = pt = t3;
    for (std::int32_t i = 1; i <= FLAGS(flagw::NNODE); ++i) {
      saved[i - 1] = gar_thermalnodetemps(i);
      const double a = saved[i - 1] + kTabs;
      t3[i - 1] = a * a * a;
      t4[i - 1] = a * a * a * a;
    }
    for (std::int32_t k = 1; k <= FLAGS(flagw::NF); ++k) tf.push_back(gar_fluidnodetemps(k));
    w = {gf, gl, gr, net, t3, t4, saved, f0, ps1, ps2, pt};
    SLOGST(w);
    GLOR.DAMPT = 1.0;
    GLOR.RELXCA = 1e-9;
    GLOI.NLOOPT = 100;
  }
};

constexpr const char* kPair = "model PAIR\nnode 1 T=20 C=100 QI=5 status=D\nnode 2 T=50 status=B\nGL 1 2 2.0\n";

TEST(TwoPhaseThermal, PredictorIsTheExplicitStep) {
  ThermalModel m(kPair);
  TSTAB2(3.0, m.w, m.tf);
  EXPECT_NEAR(gar_thermalnodetemps(1), 20.0 + 3.0 * (2.0 * 30.0 + 5.0) / 100.0, 1e-12);
  EXPECT_DOUBLE_EQ(gar_thermalnodetemps(2), 50.0);
  EXPECT_DOUBLE_EQ(GLOR.CSGMIN, 50.0);
  EXPECT_EQ(GLOI.NCSGMN, 1);
}

TEST(TwoPhaseThermal, ImplicitStepIsTimeCentred) {
  ThermalModel m(kPair);
  const double dt = 10.0;
  TSTAB2(dt, m.w, m.tf);
  bool converged = false;
  std::int32_t iterations = 0;
  FWBKT3(dt, m.w, 0, converged, iterations);
  EXPECT_TRUE(converged);
  // C (T - Ts) / dt = Q + G (Tb - (T + Ts) / 2).
  const double expected = (100.0 / dt * 20.0 + 5.0 + 2.0 * (50.0 - 10.0)) / (100.0 / dt + 1.0);
  EXPECT_NEAR(gar_thermalnodetemps(1), expected, 1e-9);
  // Once there, a second call needs a single inner iteration.
  FWBKT3(dt, m.w, 0, converged, iterations);
  EXPECT_TRUE(converged);
  EXPECT_EQ(iterations, 1);
}

TEST(TwoPhaseThermal, ZeroCapacityNodeBetweenFluidNodesTakesTheirMean) {
  ThermalModel m(
      "model MIX\nnode 1 T=0 C=0 QI=6 status=D\n"
      "fluidnode 10 fluid=WATER FST=P&T P=1e5 T=10\nfluidnode 20 fluid=WATER FST=P&T P=1e5 T=40\n"
      "GL 1 10 1.0\nGL 1 20 2.0\n");
  TSTAB2(1.0, m.w, m.tf);
  EXPECT_NEAR(gar_thermalnodetemps(1), (10.0 + 2.0 * 40.0 + 6.0) / 3.0, 1e-9);
}

TEST(TwoPhaseThermal, IsolatedHeatedNodeEndsTheRun) {
  ThermalModel m("model LONE\nnode 1 T=0 C=0 QI=6 status=D\nnode 2 T=0 status=B\n");
  TSTAB2(1.0, m.w, m.tf);
  EXPECT_GT(gar_thermalnodetemps(1), 1e19);
  bool converged = false;
  std::int32_t iterations = 0;
  std::vector<Message> messages;
  EXPECT_EQ(run_capturing([&] { FWBKT3(1.0, m.w, 0, converged, iterations); }, messages), 1);
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages.back().text.rfind("FGENFI: Temperature > 1.0D10 detected", 0), 0u) << messages.back().text;
  EXPECT_EQ(messages.back().routine, "Fbtcl3");
}

}  // namespace two_phase_thermal_test
}  // namespace kalvir::test
