// The cyclic analysis on a model with a fluid loop: the link conductances
// are refreshed, fluid-node temperatures and rates take part in the test,
// and the cycle report names a fluid node when its change is the largest.
#include <gtest/gtest.h>

#include <string>

#include "runtime/control/control_constants.h"
#include "runtime/fluids/interface/properties.h"
#include "runtime/program/startup.h"
#include "runtime/thermal/cyclic.h"
#include "tests/fluidloop/fluid_test_support.h"
#include "tests/support/message_frames.h"
#include "tests/support/network_fixture.h"

namespace kalvir::test {
namespace cyclic_fluid_test {

// Thermal node 1 between a boundary at 0 and fluid node 10; water flows at a
// fixed rate from fluid node 10 to fluid node 20.
constexpr const char* kCoupledLoop =
    "model CYCLE dystor=2000\n"
    "node 1 T=20 C=10\nnode 2 T=0 status=B\n"
    "fluidnode 10 P=2e5 T=80 FLA=1e-4 FD=0.01 FL=0.1\n"
    "fluidnode 20 P=2e5 T=30 FLA=1e-4 FD=0.01 FL=0.1\n"
    "GL 1 2 1.0\nGL 1 10 0.5\n"
    "link 10 20 0.01 GP=0.6\n";

TEST(CyclicFluid, FluidNodeChangesTakePartAndAreReported) {
  TempDir dir;
  load_description(kCoupledLoop, dir);
  FINITS(" ", 1);
  set_transient_constants();
  GLOR.TIMEND = 0.0;
  register_logging_blocks();
  // The fluid node settles towards 30 by halving its distance whenever the
  // time goes back to the start of a cycle: 80, then 55 at the start of the
  // second cycle, a change that no thermal node matches.
  static double last_timem;
  last_timem = -1.0;
  block_log().on_v1 = [] {
    if (GLOR.TIMEM < last_timem) gar_fluidnodetemps(1) = 30.0 + (gar_fluidnodetemps(1) - 30.0) / 2.0;
    last_timem = GLOR.TIMEM;
  };
  std::string out;
  int status = -1;
  {
    Unit6Capture capture;
    status = platform::run_program([] { SOLCYC("SLCRNC", 0.01, 1.0e-3, 10.0, 60, " ", "NONE"); });
    out = capture.finish();
  }
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(out.find("services not available"), std::string::npos);
  EXPECT_EQ(out.find("Failed to converge"), std::string::npos) << out;
  const std::size_t second = out.find("SOLCYC cycle number: 2");
  ASSERT_NE(second, std::string::npos) << out;
  const std::string report = out.substr(second, out.find("SOLCYC cycle number: 3") - second);
  EXPECT_NE(report.find("Max delta T =  2.5000E+01"), std::string::npos) << report;
  EXPECT_NE(report.find("at node 10"), std::string::npos) << report;
  EXPECT_EQ(out.find("Not calculated"), std::string::npos);
  EXPECT_NEAR(gar_fluidnodetemps(1), 30.0, 0.01);
  const double cp10 = XCP(2e5, gar_fluidnodetemps(1), 0.0, 2, 3), cp20 = XCP(2e5, 30.0, 0.0, 2, 4);
  EXPECT_DOUBLE_EQ(gar_massflowlinkconds(1), 0.01 * (cp10 + cp20) / 2.0);
  EXPECT_EQ(GLOC.SOLVER, "");
}

}  // namespace cyclic_fluid_test
}  // namespace kalvir::test
