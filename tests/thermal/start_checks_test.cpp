// What every thermal solution routine checks when it starts: a diffusion node
// whose capacitance is negative or not finite ends the run with one message
// naming it, whichever method runs; a negative linear or radiative
// conductance is warned of once per conductor and run, and the run goes on.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "runtime/thermal/crank_nicolson.h"
#include "runtime/thermal/forward.h"
#include "runtime/thermal/forward_backward.h"
#include "runtime/thermal/gear_diagonal.h"
#include "runtime/thermal/gear_full.h"
#include "runtime/thermal/modal.h"
#include "tests/thermal/thermal_test_support.h"

namespace kalvir::test {
namespace start_checks_test {

struct Routine {
  const char* name;
  void (*run)();
};
const std::vector<Routine> kRoutines{{"SLCRNC", &SLCRNC}, {"SLFRWD", &SLFRWD}, {"SLFWBK", &SLFWBK},
                                     {"SLGEAR", &SLGEAR}, {"SLGRDJ", &SLGRDJ}, {"SLMODE", &SLMODE}};

struct CapacitanceCase {
  const char* what;
  double c3;     // capacitance of node 3
  char status3;  // its status
  bool stops;
};

// Node 3 joins diffusion node 1 (C 4) and boundary node 2; the variables 1
// block sets node 3's capacitance, as a model's own statements may.
void build_three_nodes(const CapacitanceCase& c) {
  NetworkSpec spec;
  spec.nodes = {{10.0, 4.0, 'D', 0.0}, {0.0, 0.0, 'B', 0.0}, {5.0, 2.0, c.status3, 0.0}};
  spec.gl = {{1, 2, 1.0}, {1, 3, 1.0}, {2, 3, 1.0}};
  build_network(spec);
  register_logging_blocks();
  static double c3;
  c3 = c.c3;
  block_log().on_v1 = [] { gar_thermalnodecapacitances(3) = c3; };
  GLOR.DTIMEI = 0.1;
  GLOR.RELXCA = 1.0e-3;
}

class UnsoundCapacitance : public ::testing::TestWithParam<CapacitanceCase> {};

TEST_P(UnsoundCapacitance, EndsEveryRoutineWithOneMessageNamingTheNode) {
  const CapacitanceCase& c = GetParam();
  for (const Routine& r : kRoutines) {
    build_three_nodes(c);
    std::vector<Message> msgs;
    const int status = run_capturing(r.run, msgs);
    if (!c.stops) {
      EXPECT_EQ(status, 0) << r.name;
      EXPECT_TRUE(msgs.empty()) << r.name;
      EXPECT_EQ(GLOR.TIMEO, GLOR.TIMEND) << r.name;
      continue;
    }
    EXPECT_EQ(status, 1) << r.name;
    ASSERT_EQ(msgs.size(), 1U) << r.name;
    EXPECT_EQ(msgs[0].severity, "FATAL ERROR") << r.name;
    EXPECT_EQ(msgs[0].text, printed(std::string(r.name) + ": Capacitance is negative or not finite@ Node 3 in main model"))
        << r.name;
    EXPECT_EQ(msgs[0].routine, r.name);
    EXPECT_EQ(msgs[0].code, 8) << r.name;
    // Stopped before the first step: no step was taken, no output made.
    EXPECT_TRUE(block_log().v2_timen.empty()) << r.name;
    EXPECT_TRUE(block_log().out_timen.empty()) << r.name;
    EXPECT_EQ(FLAGS(29), 1) << r.name;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UnsoundCapacitance,
    ::testing::Values(CapacitanceCase{"negative", -7.0, 'D', true},
                      CapacitanceCase{"not a number", std::numeric_limits<double>::quiet_NaN(), 'D', true},
                      CapacitanceCase{"infinite", std::numeric_limits<double>::infinity(), 'D', true},
                      CapacitanceCase{"negative below the zero limit", -1.0e-40, 'D', false},
                      CapacitanceCase{"negative on a boundary node", -7.0, 'B', false}),
    CaseName{});

TEST(NegativeConductance, IsWarnedOfOncePerConductorAndRunAndTheRunGoesOn) {
  for (const Routine& r : kRoutines) {
    NetworkSpec spec;
    spec.nodes = {{10.0, 4.0, 'D', 0.0}, {0.0, 0.0, 'B', 0.0}, {5.0, 6.0, 'D', 0.0}, {20.0, 0.0, 'B', 0.0}};
    // GL 2 and GR 2 negative, GL 3 negative but inactive.
    spec.gl = {{1, 2, 2.0}, {1, 3, -0.1}, {3, 4, -0.2, 'I'}, {3, 2, 1.0}};
    spec.gr = {{1, 4, 0.01}, {3, 4, -0.001}};
    build_network(spec);
    register_logging_blocks();
    GLOR.DTIMEI = 0.1;
    GLOR.RELXCA = 1.0e-3;
    std::vector<Message> msgs;
    // Two solutions of one run, the second from where the first ended.
    const int status = run_capturing(
        [&] {
          r.run();
          GLOR.TIMEND = 20.0;
          r.run();
        },
        msgs);
    EXPECT_EQ(status, 0) << r.name;
    EXPECT_EQ(GLOR.TIMEO, 20.0) << r.name;
    ASSERT_EQ(msgs.size(), 2U) << r.name;
    const std::string name(r.name);
    EXPECT_EQ(msgs[0].text, printed(name + ": Negative linear conductance GL(1,3) = -0.1@The run goes on with it@ Node 1 "
                                           "in main model"))
        << r.name;
    EXPECT_EQ(msgs[1].text, printed(name + ": Negative radiative conductance GR(3,4) = -0.001@The run goes on with it@ "
                                           "Node 3 in main model"))
        << r.name;
    for (const Message& m : msgs) {
      EXPECT_EQ(m.severity, "WARNING") << r.name;
      EXPECT_EQ(m.routine, r.name);
      EXPECT_EQ(m.code, 9) << r.name;
    }
  }
}

}  // namespace start_checks_test
}  // namespace kalvir::test
