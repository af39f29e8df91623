// The methods other than Crank-Nicolson read their node sums from the compact
// view of the network. Each run below is pinned, bit for bit, to what the
// methods gave while they walked the connection lists: the view must add the
// same terms in the same order, or a convergence test may fall the other way.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "runtime/control/status.h"
#include "runtime/thermal/forward.h"
#include "runtime/thermal/forward_backward.h"
#include "runtime/thermal/gear_diagonal.h"
#include "runtime/thermal/gear_full.h"
#include "runtime/thermal/modal.h"
#include "tests/support/test_support.h"
#include "tests/thermal/thermal_test_support.h"

namespace kalvir::test {
namespace {

// Nine thermal nodes and a fluid node (10): diffusion nodes with and without
// capacitance, boundary nodes (one near absolute zero), a node of status X,
// linear, radiative and fluidic conductors (two of them off from the start,
// some to the fluid node), a linear conductance that the variables 1 block
// changes with temperature at every call and a radiative conductor switched
// off at 60 s.
void build_pinned_network() {
  NetworkSpec spec;
  spec.nodes = {{80.0, 400.0, 'D', 12.0}, {20.0, 900.0, 'D', 0.0},  {-40.0, 150.0, 'D', 0.0},
                {10.0, 0.0, 'D', 3.0},    {-5.0, 60.0, 'D', 0.0},   {-270.0, 0.0, 'B', 0.0},
                {15.0, 0.0, 'B', 0.0},    {300.0, 20.0, 'X', 0.0},  {45.0, 2500.0, 'D', 40.0}};
  spec.fluid_temps = {35.0};
  spec.gl = {{1, 2, 1.5}, {2, 3, 0.8}, {3, 4, 0.6}, {4, 5, 0.9}, {5, 7, 0.3}, {1, 8, 1.0},
             {9, 1, 2.5}, {9, 10, 0.7}, {2, 9, 0.1, 'I'}};
  spec.gr = {{1, 6, 0.05},  {2, 6, 0.12},  {3, 6, 0.4},    {5, 6, 0.08},  {9, 6, 0.3},   {1, 3, 0.02},
             {2, 5, 0.03},  {3, 9, 0.01},  {4, 6, 0.02},   {1, 2, 0.04, 'I'}, {5, 10, 0.05}, {1, 5, 0.013},
             {1, 9, 0.021}, {2, 3, 0.017}, {2, 9, 0.0093}, {3, 5, 0.029}, {5, 9, 0.011},  {1, 2, 0.0071},
             {3, 4, 0.015}, {2, 4, 0.006}, {9, 10, 0.019}, {1, 10, 0.008}};
  spec.gf = {{2, 4, 0.25}, {10, 5, 0.15}, {3, 1, 0.05, 'I'}};
  build_network(spec);
  register_logging_blocks();
  GLOR.TIMEND = 300.0;
  GLOR.OUTINT = 50.0;
  GLOR.DTIMEI = 4.0;
  GLOR.DTMAX = 20.0;
  GLOR.RELXCA = 1.0e-3;
  GLOR.DAMPT = 0.9;
  GLOR.ARITH = 0.0;
  block_log().on_v1 = [] {
    gar_linearconds(3) = 0.6 * (1.0 + 0.004 * (0.5 * (gar_thermalnodetemps(3) + gar_thermalnodetemps(4))));
    if (GLOR.TIMEM >= 60.0 && gar_radiativecondacts(3)[0] == 'A') {
      gar_radiativecondacts.set(3, "I");
      stat_setstatst(1);
    }
  };
}

struct PinnedCase {
  const char* what;
  void (*method)();
  std::array<double, 9> temps;
  std::size_t v1_calls, v2_calls, outputs;
};

class PinnedRun : public ::testing::TestWithParam<PinnedCase> {};

TEST_P(PinnedRun, ReproducesTheListWalkBitForBit) {
  const PinnedCase& c = GetParam();
  build_pinned_network();
  c.method();
  for (std::int32_t i = 1; i <= 9; ++i)
    EXPECT_EQ(gar_thermalnodetemps(i), c.temps[static_cast<std::size_t>(i - 1)]) << "node " << i;
  EXPECT_EQ(block_log().v1_timem.size(), c.v1_calls);
  EXPECT_EQ(block_log().v2_timen.size(), c.v2_calls);
  EXPECT_EQ(block_log().out_timen.size(), c.outputs);
  EXPECT_EQ(gar_radiativecondacts(3)[0], 'I');
}

// The values of the list walk.
INSTANTIATE_TEST_SUITE_P(
    Methods, PinnedRun,
    ::testing::Values(
        PinnedCase{"SLFWBK", &SLFWBK,
                   {24.563280480081463, 9.8123303909051245, 6.3968326054968569, 2.3771625339893476,
                    0.94435068585936166, -270.0, 15.0, 300.0, 30.471701108880978},
                   79, 78, 7},
        PinnedCase{"SLFRWD", &SLFRWD,
                   {24.262409542970545, 10.137957781218072, 8.0231824055002132, 3.2574950444035302,
                    1.5017994696313708, -270.0, 15.0, 300.0, 30.362528131812226},
                   19, 18, 7},
        PinnedCase{"SLGRDJ", &SLGRDJ,
                   {24.343770298980871, 9.3332549717766256, 5.3522993855733034, 1.7529264656528767,
                    0.54050767178244996, -270.0, 15.0, 300.0, 30.450888143909424},
                   113, 19, 7},
        PinnedCase{"SLGEAR", &SLGEAR,
                   {24.343769685576035, 9.333253823479879, 5.3523559768258337, 1.75311183180321,
                    0.54061549067114356, -270.0, 15.0, 300.0, 30.450886974425146},
                   58, 19, 7},
        PinnedCase{"SLMODE", &SLMODE,
                   {24.612845923073223, 10.05311070271614, 6.7759398055588917, 2.5954618028316485,
                    1.0532362840660312, -270.0, 15.0, 300.0, 30.423648951425321},
                   20, 18, 7}),
    CaseName{});

}  // namespace
}  // namespace kalvir::test
