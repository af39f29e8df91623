// The messages of the forward and forward-backward differencing methods:
// text, severity code and reporting routine of each, on the smallest network
// that provokes it, and the work space given back on every way out.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/control/status.h"
#include "runtime/thermal/forward.h"
#include "runtime/thermal/forward_backward.h"
#include "tests/thermal/thermal_test_support.h"

namespace kalvir::test {
namespace explicit_messages_test {

struct MessageCase {
  const char* what;
  void (*run)();
  NetworkSpec spec;
  void (*setup)();
  int status;
  std::string text;
  std::string routine;
  int code;
  std::size_t messages;  // printed in all
};

class ExplicitMessages : public ::testing::TestWithParam<MessageCase> {};

TEST_P(ExplicitMessages, TextCodeAndRoutine) {
  const MessageCase& c = GetParam();
  build_network(c.spec);
  register_logging_blocks();
  if (c.setup != nullptr) c.setup();
  static void (*run)() = nullptr;
  run = c.run;
  std::vector<Message> msgs;
  EXPECT_EQ(run_capturing([] { run(); }, msgs), c.status);
  ASSERT_EQ(msgs.size(), c.messages);
  EXPECT_EQ(msgs.back().text, printed(c.text));
  EXPECT_EQ(msgs.back().routine, c.routine);
  EXPECT_EQ(msgs.back().code, c.code);
  EXPECT_EQ(FLAGS(29), 1);
  EXPECT_EQ(FLAGS(36), 1);
}

// Node 1 (C, load q, at 100) joined by G (none when 0) to a boundary at 0.
NetworkSpec one_node(double c, double q, double g) {
  NetworkSpec spec;
  spec.nodes = {{100.0, c, 'D', q}, {0.0, 0.0, 'B', 0.0}};
  if (g > 0.0) spec.gl = {{1, 2, g}};
  return spec;
}

NetworkSpec short_of_space(int dystor) {
  NetworkSpec spec = one_node(1.0, 0.0, 1.0);
  spec.dystor = dystor;
  return spec;
}

constexpr const char* kShortage =
    " words needed, increase DYSTOR on $EXECUTION record, see User Manual description of $EXECUTION block";

INSTANTIATE_TEST_SUITE_P(
    Cases, ExplicitMessages,
    ::testing::Values(
        MessageCase{"SLFRWD explicit update runs away", &SLFRWD, one_node(1.0, 1.0e12, 1.0), nullptr, 1,
                    "SLFRWD: Temperature > 1.0E10 detected@ Node 1 in main model", "S7DIFF", 1, 1},
        // 100 + 0.95 x (-1.0E12 - 100): far below zero, which is no "> 1.0E10".
        MessageCase{"SLFRWD explicit update runs away below zero", &SLFRWD, one_node(1.0, -1.0e12, 1.0), nullptr, 1,
                    "SLFRWD: Temperature out of range: -9.5E+11@ Node 1 in main model", "S7DIFF", 1, 1},
        // A node without capacitance whose conductance almost vanishes.
        MessageCase{"SLFRWD load on a vanishing conductance", &SLFRWD, one_node(0.0, 1.0, 1.0e-20), nullptr, 1,
                    "SLFRWD: Temperature > 1.0D10 detected@ Node 1 in main model", "S7ARTH", 1, 1},
        // One pass per step: only the first step leaves the balance unmet.
        MessageCase{"SLFRWD RELXCA in 1 of 20 steps", &SLFRWD, one_node(0.0, 10.0, 2.0),
                    [] {
                      GLOI.NLOOP = 1;
                      GLOR.DTMAX = 0.5;
                    },
                    0, "SLFRWD: RELXCA exceeded in up to 10% of time steps", "S7SLVE", 2, 1},
        MessageCase{"SLFRWD RELXCA in 1 of 5 steps", &SLFRWD, one_node(0.0, 10.0, 2.0),
                    [] {
                      GLOI.NLOOP = 1;
                      GLOR.DTMAX = 2.0;
                    },
                    0, "SLFRWD: RELXCA exceeded in more than 10% of time steps", "S7SLVE", 3, 1},
        MessageCase{"SLFRWD DTMIN above the stability bound", &SLFRWD, one_node(100.0, 0.0, 10.0),
                    [] { GLOR.DTMIN = 20.0; }, 0,
                    "SLFRWD: Time step exceeds the stability limit@DTMIN is greater than 0.95 x CSGMIN, so the "
                    "explicit solution may oscillate. Reduce DTMIN or use an implicit solution routine",
                    "S7TIME", 4, 1},
        // 2 nodes + 3 from word 1 of 3: 3 real words short.
        MessageCase{"SLFRWD work space", &SLFRWD, short_of_space(3), nullptr, 1,
                    std::string("SLFRWD: Insufficient work space@An extra         3") + kShortage, "SLFRWD", 3, 1},
        MessageCase{"SLFWBK predictor runs away", &SLFWBK, one_node(1.0, 1.0e12, 1.0), nullptr, 1,
                    "SLFWBK: Temperature > 1.0D10 detected@ Node 1 in main model", "S4LOP1", 1, 1},
        // (100 - 1.0E12) / 2.
        MessageCase{"SLFWBK predictor runs away below zero", &SLFWBK, one_node(1.0, -1.0e12, 1.0), nullptr, 1,
                    "SLFWBK: Temperature out of range: -5E+11@ Node 1 in main model", "S4LOP1", 1, 1},
        MessageCase{"SLFWBK load on a vanishing conductance", &SLFWBK, one_node(0.0, 1.0, 1.0e-20), nullptr, 1,
                    "SLFWBK: Temperature > 1.0D10 detected@ Node 1 in main model", "S4LOP1", 2, 1},
        // The corrector's first change, magnified by DAMPT, takes the node far
        // below zero.
        MessageCase{"SLFWBK corrector runs away", &SLFWBK, one_node(500.0, 0.0, 10.0), [] { GLOR.DAMPT = 1.0e15; },
                    1, "Temperature out of range: -1.94137E+13@ Node 1 in main model", "S4TCLC2", 1, 1},
        // tau 10 at the smallest step 1: every step changes by more than 1.
        MessageCase{"SLFWBK DTPMAX at DTMIN", &SLFWBK, one_node(100.0, 0.0, 10.0),
                    [] {
                      GLOR.DTPMAX = 1.0;
                      GLOR.DTMIN = 1.0;
                    },
                    0, "SLFWBK: DTPMAX exceeded in more than 10% of time steps", "S4SLVE", 5, 1},
        MessageCase{"SLFWBK DTPMAX at DTMIN in 1 of 20 steps", &SLFWBK, one_node(100.0, 0.0, 10.0),
                    [] {
                      GLOR.DTPMAX = 4.76;  // the first change is 4.88, the second 4.64
                      GLOR.DTMIN = 0.5;
                      GLOR.DTIMEI = 0.5;
                      GLOR.DTMAX = 0.5;
                    },
                    0, "SLFWBK: DTPMAX exceeded in up to 10% of time steps", "S4SLVE", 4, 1},
        MessageCase{"SLFWBK NLOOP required", &SLFWBK, one_node(1.0, 0.0, 1.0), [] { GLOI.NLOOP = SKUNDF(); }, 1,
                    "SLFWBK: Control constant NLOOP not specified@See the table of control constants in "
                    "docs/model_program.md",
                    "SLFWBK", 3, 1},
        // 4 x 2 + 2 from word 1 of 9: 2 real words short.
        MessageCase{"SLFWBK work space", &SLFWBK, short_of_space(9), nullptr, 1,
                    std::string("SLFWBK: Insufficient work space@An extra         2") + kShortage, "SLFWBK", 6, 1}),
    CaseName{});

}  // namespace explicit_messages_test
}  // namespace kalvir::test
