// What every thermal solution routine checks when it starts: a diffusion node
// whose capacitance is negative or not finite ends the run with one message
// naming it, whichever method runs; a negative linear or radiative
// conductance is warned of once per conductor and run, and the run goes on;
// a node whose net conductance is not positive ends it, then and after any
// change of the conductors.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <functional>
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

// A node whose conductance sum to its neighbours is not positive: every
// routine ends the run naming it, at the start and after a change of the
// conductors (of a value or of an activity letter) during the run. Node 3
// joins diffusion node 1 and boundary node 2; the variables 1 block makes
// the change once the run has passed t = 5.
struct NetCase {
  const char* what;
  NetNode node3;
  std::vector<NetConductor> gl, gr;
  std::function<void()> change;  // at t >= 5; none: the start decides
  std::string sum;                // the printed sum; empty: the run goes on
};

const NetConductor kToNode1{1, 3, 2.0}, kToBoundary{2, 3, -1.0};

std::string radiative_sum(double gl, double gr, double t3, double t2) {
  const double a = t3 + 273.15, b = t2 + 273.15;
  std::array<char, 32> text{};
  std::snprintf(text.data(), text.size(), "%.6G", gl + 5.670374419e-8 * gr * (a * a + b * b) * (a + b));
  return text.data();
}

class NetConductance : public ::testing::TestWithParam<NetCase> {};

TEST_P(NetConductance, NotPositiveEndsEveryRoutineNamingTheNode) {
  const NetCase& c = GetParam();
  for (const Routine& r : kRoutines) {
    SCOPED_TRACE(r.name);
    NetworkSpec spec;
    spec.nodes = {{10.0, 4.0, 'D', 0.0}, {0.0, 0.0, 'B', 0.0}, c.node3};
    spec.gl = {{1, 2, 1.0}};
    spec.gl.insert(spec.gl.end(), c.gl.begin(), c.gl.end());
    spec.gr = c.gr;
    build_network(spec);
    register_logging_blocks();
    GLOR.DTIMEI = 0.1;
    GLOR.DTMAX = 0.5;
    GLOR.RELXCA = 1.0e-3;
    static std::function<void()> change;
    change = c.change;
    block_log().on_v1 = [] {
      if (change && GLOR.TIMEM >= 5.0) change();
    };
    std::vector<Message> msgs;
    const int status = run_capturing(r.run, msgs);
    if (c.sum.empty()) {
      EXPECT_EQ(status, 0);
      EXPECT_EQ(GLOR.TIMEO, GLOR.TIMEND);
      continue;
    }
    EXPECT_EQ(status, 1);
    ASSERT_FALSE(msgs.empty());
    const Message& m = msgs.back();
    EXPECT_EQ(m.severity, "FATAL ERROR");
    std::string text = std::string(r.name) + ": Net conductance is not positive@Sum of the conductances to its "
                                             "neighbours: " + c.sum;
    if (c.sum == "0") text += ", and no capacitance";
    EXPECT_EQ(m.text, printed(text + "@ Node 3 in main model"));
    EXPECT_EQ(m.routine, r.name);
    EXPECT_EQ(m.code, 10);
    const std::vector<double>& steps = block_log().v2_timen;
    if (c.change) {
      // The run went as far as the change and no further.
      ASSERT_FALSE(steps.empty());
      EXPECT_LT(steps.back(), 5.0 + 1.0);
      EXPECT_GE(steps.back(), 5.0 - 1.0);
    } else {
      EXPECT_TRUE(steps.empty());
      EXPECT_TRUE(block_log().out_timen.empty());
    }
    EXPECT_EQ(FLAGS(29), 1);
    EXPECT_EQ(FLAGS(36), 1);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NetConductance,
    ::testing::Values(
        NetCase{"negative conductor outweighs", {5.0, 2.0, 'D', 0.0}, {{1, 3, 1.0}, {2, 3, -1.5}}, {}, {}, "-0.5"},
        NetCase{"negative radiative conductor outweighs", {50.0, 2.0, 'D', 0.0}, {{1, 3, 0.001}}, {{2, 3, -0.01}},
                {}, radiative_sum(0.001, -0.01, 50.0, 0.0)},
        NetCase{"conductors cancel on a node without capacitance", {5.0, 0.0, 'D', 0.0}, {{1, 3, 1.0}, {2, 3, -1.0}},
                {}, {}, "0"},
        NetCase{"node without capacitance and conductors", {5.0, 0.0, 'D', 1.0}, {}, {}, {}, "0"},
        NetCase{"node with capacitance and no conductors", {5.0, 2.0, 'D', 1.0}, {}, {}, {}, ""},
        NetCase{"negative net on a boundary node", {5.0, 0.0, 'B', 0.0}, {{1, 3, 1.0}, {2, 3, -1.5}}, {}, {}, ""},
        NetCase{"positive with a negative conductor", {5.0, 2.0, 'D', 0.0}, {kToNode1, kToBoundary}, {}, {}, ""},
        NetCase{"a value turns the sum negative", {5.0, 2.0, 'D', 0.0}, {kToNode1, kToBoundary}, {},
                [] { gar_linearconds(3) = -3.0; }, "-1"},
        NetCase{"a conductor switched off leaves the negative one", {5.0, 2.0, 'D', 0.0}, {kToNode1, kToBoundary},
                {},
                [] {
                  gar_linearcondacts.set(2, "I");
                  stat_setstatst(1);
                },
                "-1"}),
    CaseName{});

}  // namespace start_checks_test
}  // namespace kalvir::test
