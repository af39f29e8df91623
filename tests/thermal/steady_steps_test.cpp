// The step of the step-controlled methods when the network settles: a node
// cooling with a time constant of 1 s over 200 s, with DTMAX the time
// constant, so that it settles to the last bit. Once its change per step is
// too small to scale the step by, a DTPMAX or DTROCA limit sets no bound and
// the step goes on to DTMAX and stays there; it never starts again from
// DTIMEI. Without either limit there is no step control: every step is
// DTIMEI.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "runtime/thermal/crank_nicolson.h"
#include "runtime/thermal/forward_backward.h"
#include "tests/support/test_support.h"
#include "tests/thermal/thermal_test_support.h"

namespace kalvir::test {
namespace steady_steps_test {

struct SteadyCase {
  std::string what;
  void (*routine)();
  double dtpmax;
  double dtroca;
  bool grows;  // false: no limit, every step DTIMEI
};

class SteadySteps : public ::testing::TestWithParam<SteadyCase> {};

TEST_P(SteadySteps, StepStaysAtDtmaxOnceTheNetworkHasSettled) {
  const SteadyCase& c = GetParam();
  build_cooling_node(100.0, 10.0, 10.0);
  GLOR.TIMEND = 200.0;
  GLOR.OUTINT = 200.0;
  GLOR.DTIMEI = 0.125;
  GLOR.DTMAX = 1.0;
  GLOR.DTPMAX = c.dtpmax;
  GLOR.DTROCA = c.dtroca;
  c.routine();
  const std::vector<double>& t = block_log().v2_timen;
  ASSERT_FALSE(t.empty());
  EXPECT_DOUBLE_EQ(t.back(), 200.0);
  EXPECT_NEAR(gar_thermalnodetemps(1), 0.0, 1.0e-12);
  std::vector<double> steps{t.front()};
  for (std::size_t k = 1; k < t.size(); ++k) steps.push_back(t[k] - t[k - 1]);
  if (!c.grows) {
    EXPECT_EQ(steps.size(), 1600u);
    for (const double h : steps) EXPECT_EQ(h, 0.125);
    return;
  }
  // The node has settled in the second half of the run: every step there is
  // DTMAX, but for the last two, which share what is left before TIMEND.
  std::size_t settled = 0;
  for (std::size_t k = 0; k < t.size(); ++k) {
    if (t[k] <= 100.0) continue;
    ++settled;
    if (k + 2 < t.size()) {
      EXPECT_NEAR(steps[k], 1.0, 1.0e-9) << "step " << k << " ending at " << t[k];
    }
  }
  EXPECT_LE(settled, 102u);
}

INSTANTIATE_TEST_SUITE_P(
    Methods, SteadySteps,
    ::testing::Values(SteadyCase{"crank_nicolson_dtpmax", &SLCRNC, 0.5, 1.0e10, true},
                      SteadyCase{"crank_nicolson_dtroca", &SLCRNC, 1.0e10, 0.1, true},
                      SteadyCase{"crank_nicolson_both", &SLCRNC, 0.5, 0.1, true},
                      SteadyCase{"crank_nicolson_no_limit", &SLCRNC, 1.0e10, 1.0e10, false},
                      SteadyCase{"forward_backward_dtpmax", &SLFWBK, 0.5, 1.0e10, true},
                      SteadyCase{"forward_backward_no_limit", &SLFWBK, 1.0e10, 1.0e10, false}),
    CaseName{});

}  // namespace steady_steps_test
}  // namespace kalvir::test
