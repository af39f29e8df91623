// SLCRNC against solutions found without it: exponential decay, radiation to
// absolute zero, energy conservation, a chain against its matrix exponential,
// the order of the method and the balance of nodes without capacitance.
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "runtime/thermal/crank_nicolson.h"
#include "tests/thermal/thermal_test_support.h"

namespace kalvir::test {
namespace crank_nicolson_exact_test {

constexpr double kTabs = 273.15;

// One diffusion node (C, T0) tied by a linear conductor G to a boundary at Tb.
NetworkSpec decay_network(double c, double t0, double g, double tb) {
  NetworkSpec spec;
  spec.nodes = {{t0, c, 'D', 0.0}, {tb, 0.0, 'B', 0.0}};
  spec.gl = {{1, 2, g}};
  return spec;
}

double decay_after(double tau, double h, double t_end) {
  NetworkSpec spec = decay_network(10.0 * tau, 100.0, 10.0, 0.0);
  build_network(spec);
  register_logging_blocks();
  GLOR.TIMEND = t_end;
  GLOR.OUTINT = t_end;
  GLOR.DTIMEI = h;
  GLOR.RELXCA = 1.0e-12;
  SLCRNC();
  return gar_thermalnodetemps(1);
}

TEST(CrankNicolsonExact, SingleNodeDecayFollowsTheExponential) {
  const double tau = 50.0;
  const double t = decay_after(tau, 1.0, 10.0);
  EXPECT_NEAR(t, 100.0 * std::exp(-10.0 / tau), 1.0e-3);
  // The scheme itself: ten steps of the Crank-Nicolson amplification factor.
  const double factor = (1.0 - 0.5 / tau) / (1.0 + 0.5 / tau);
  EXPECT_NEAR(t, 100.0 * std::pow(factor, 10), 1.0e-8);
  EXPECT_DOUBLE_EQ(GLOR.TIMEO, 10.0);
  EXPECT_DOUBLE_EQ(GLOR.TIMEN, 10.0);
  EXPECT_DOUBLE_EQ(GLOR.TIMEM, 10.0);
  EXPECT_EQ(block_log().v2_timen.size(), 10U);
}

TEST(CrankNicolsonExact, HalvingTheStepQuartersTheError) {
  const double tau = 5.0;
  const double exact = 100.0 * std::exp(-10.0 / tau);
  const double e1 = decay_after(tau, 1.0, 10.0) - exact;
  const double e2 = decay_after(tau, 0.5, 10.0) - exact;
  const double e3 = decay_after(tau, 0.25, 10.0) - exact;
  EXPECT_NEAR(e1 / e2, 4.0, 0.1);
  EXPECT_NEAR(e2 / e3, 4.0, 0.05);
}

TEST(CrankNicolsonExact, FluidNeighbourTakesTheFluidTemperature) {
  // Node 1 tied to fluid node 1 (internal index 2) at 50 degrees.
  NetworkSpec spec;
  spec.nodes = {{100.0, 500.0, 'D', 0.0}};
  spec.fluid_temps = {50.0};
  spec.gl = {{1, 2, 10.0}};
  build_network(spec);
  register_logging_blocks();
  GLOR.RELXCA = 1.0e-12;
  SLCRNC();
  const double factor = (1.0 - 0.5 / 50.0) / (1.0 + 0.5 / 50.0);
  EXPECT_NEAR(gar_thermalnodetemps(1), 50.0 + 50.0 * std::pow(factor, 10), 1.0e-8);
  EXPECT_DOUBLE_EQ(gar_fluidnodetemps(1), 50.0);
}

TEST(CrankNicolsonExact, RadiationToAbsoluteZeroFollowsTheClosedForm) {
  // C dTa/dt = -sigma GR Ta^4  =>  Ta(t) = (Ta0^-3 + 3 sigma GR t / C)^(-1/3).
  NetworkSpec spec;
  const double c = 100.0, gr = 1.0, ta0 = 1000.0;
  spec.nodes = {{ta0 - kTabs, c, 'D', 0.0}, {-kTabs, 0.0, 'B', 0.0}};
  spec.gr = {{1, 2, gr}};
  build_network(spec);
  register_logging_blocks();
  GLOR.DTIMEI = 0.05;
  GLOR.RELXCA = 1.0e-10;
  SLCRNC();
  const double sigma = GLOR.STEFAN;
  const double exact = std::pow(std::pow(ta0, -3.0) + 3.0 * sigma * gr * 10.0 / c, -1.0 / 3.0);
  EXPECT_NEAR(gar_thermalnodetemps(1) + kTabs, exact, 1.0e-3 * exact);
  EXPECT_LT(gar_thermalnodetemps(1) + kTabs, 0.5 * ta0);  // the decay is substantial
}

TEST(CrankNicolsonExact, TwoInsulatedRadiatingNodesConserveEnergy) {
  NetworkSpec spec;
  spec.nodes = {{500.0, 20.0, 'D', 0.0}, {0.0, 50.0, 'D', 0.0}};
  spec.gr = {{1, 2, 0.5}};
  build_network(spec);
  register_logging_blocks();
  GLOR.TIMEND = 2000.0;
  GLOR.OUTINT = 2000.0;
  GLOR.DTIMEI = 5.0;
  GLOR.RELXCA = 1.0e-10;
  const double energy0 = 20.0 * 500.0 + 50.0 * 0.0;
  // The energy after every accepted step.
  static std::vector<double> energy;
  energy.clear();
  ModelBlocks b;
  b.variables2 = [] { energy.push_back(20.0 * gar_thermalnodetemps(1) + 50.0 * gar_thermalnodetemps(2)); };
  register_model_blocks(b);
  SLCRNC();
  ASSERT_EQ(energy.size(), 400U);
  for (double e : energy) EXPECT_NEAR(e, energy0, 1.0e-6 * energy0);
  // Both end at the common temperature that the energy fixes.
  EXPECT_NEAR(gar_thermalnodetemps(1), energy0 / 70.0, 1.0e-3);
  EXPECT_NEAR(gar_thermalnodetemps(2), energy0 / 70.0, 1.0e-3);
}

TEST(CrankNicolsonExact, ChainOfTenNodesMatchesItsMatrixExponential) {
  const Chain chain = build_chain();
  GLOR.DTIMEI = 0.02;
  GLOR.RELXCA = 1.0e-12;
  SLCRNC();
  const auto exact = chain.exact(10.0);
  for (std::size_t i = 0; i < Chain::n; ++i)
    EXPECT_NEAR(gar_thermalnodetemps(static_cast<std::int64_t>(i) + 1), exact[i], 1.0e-3) << "node " << i + 1;
}

TEST(CrankNicolsonExact, NodeWithoutCapacitanceBalancesItsConductorsWhateverArith) {
  // Q = 10 into a node without capacitance, G = 2 to a boundary at 300:
  // (10 + 2 x (300 + TABS)) / 2 - TABS = 305. ARITH below zero would make the
  // node look time-stepped; it must still be solved for its balance.
  for (double arith : {0.0, -1.0}) {
    NetworkSpec spec;
    spec.nodes = {{0.0, 0.0, 'D', 10.0}, {300.0, 0.0, 'B', 0.0}};
    spec.gl = {{1, 2, 2.0}};
    build_network(spec);
    register_logging_blocks();
    GLOR.ARITH = arith;
    std::vector<Message> msgs;
    EXPECT_EQ(run_capturing([] { SLCRNC(); }, msgs), 0) << "ARITH " << arith;
    EXPECT_NEAR(gar_thermalnodetemps(1), 305.0, 1.0e-9) << "ARITH " << arith;
  }
}

TEST(CrankNicolsonExact, NodeWithoutCapacitanceRadiatingOnlyTakesTheFourthRoot) {
  // Q = sigma GR (Ta^4 - Tb^4): Ta = (Q / (sigma GR) + Tb^4)^(1/4).
  NetworkSpec spec;
  spec.nodes = {{20.0, 0.0, 'D', 50.0}, {0.0, 0.0, 'B', 0.0}};
  spec.gr = {{1, 2, 0.8}};
  build_network(spec);
  register_logging_blocks();
  SLCRNC();
  const double tb = kTabs;
  const double exact = std::pow(50.0 / (GLOR.STEFAN * 0.8) + std::pow(tb, 4), 0.25) - kTabs;
  EXPECT_NEAR(gar_thermalnodetemps(1), exact, 1.0e-8);
}

}  // namespace crank_nicolson_exact_test
}  // namespace kalvir::test
