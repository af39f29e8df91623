// The solution frame as SLCRNC runs in it: step placement and output times,
// time-event arrays, entry messages, work space, and the guards against
// steps that are not positive.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "runtime/control/status.h"
#include "runtime/thermal/crank_nicolson.h"
#include "runtime/thermal/solution_frame.h"
#include "tests/thermal/thermal_test_support.h"

namespace kalvir::test {
namespace solution_frame_test {

// A slowly decaying node: placement alone decides the steps.
void build_slow_node(std::vector<NetEvents> events = {}) {
  NetworkSpec spec;
  spec.nodes = {{100.0, 1000.0, 'D', 0.0}, {0.0, 0.0, 'B', 0.0}};
  spec.gl = {{1, 2, 1.0}};
  spec.events = std::move(events);
  build_network(spec);
  register_logging_blocks();
}

struct PlacementCase {
  const char* name;
  double dtimei, outint;
  std::vector<NetEvents> events;
  std::vector<double> steps;    // TIMEN of the accepted steps
  std::vector<double> outputs;  // TIMEN of the OUTPUT calls
};

TEST(SolutionFrame, StepsAndOutputsArePlacedWithTheTwoStepLookAhead) {
  const std::vector<PlacementCase> cases{
      {"OUTINT 10", 3.0, 10.0, {}, {3, 6, 8, 10}, {0, 10}},
      {"OUTINT 5", 3.0, 5.0, {}, {2.5, 5, 7.5, 10}, {0, 5, 10}},
      {"OUTINT 2", 3.0, 2.0, {}, {2, 4, 6, 8, 10}, {0, 2, 4, 6, 8, 10}},
      {"form 6 event at 2.5", 3.0, 10.0, {{6, {2.5}}}, {2.5, 5.5, 7.75, 10}, {0, 2.5, 10}},
      {"form 5 event at 2.5", 3.0, 10.0, {{5, {2.5}}}, {2.5, 5.5, 7.75, 10}, {0, 10}},
      {"events from 1 every 2", 3.0, 10.0, {{5, {1.0, 2.0}}}, {1, 3, 5, 7, 9, 10}, {0, 10}},
      {"form 6 events from 1 every 4", 3.0, 10.0, {{6, {1.0, 4.0}}}, {1, 3, 5, 7, 9, 10}, {0, 1, 5, 9, 10}},
  };
  for (const PlacementCase& c : cases) {
    build_slow_node(c.events);
    GLOR.DTIMEI = c.dtimei;
    GLOR.DTMIN = 1.0;
    GLOR.DTMAX = 10.0;
    GLOR.OUTINT = c.outint;
    SLCRNC();
    EXPECT_EQ(block_log().v2_timen, c.steps) << c.name;
    EXPECT_EQ(block_log().out_timen, c.outputs) << c.name;
  }
}

TEST(SolutionFrame, VariablesOneRunsTwiceAtTheStartTimeBeforeTheFirstStep) {
  build_slow_node();
  SLCRNC();
  ASSERT_GE(block_log().v1_timem.size(), 3U);
  EXPECT_EQ(block_log().v1_timem[0], 0.0);
  EXPECT_EQ(block_log().v1_timem[1], 0.0);
  EXPECT_EQ(block_log().v1_timem[2], 1.0);  // first iteration of the first step
}

TEST(SolutionFrame, UndefinedOutintDefaultsToTheWholeRunWithAWarning) {
  build_slow_node();
  GLOR.TIMEND = 100.0;
  GLOR.DTIMEI = 10.0;
  GLOR.OUTINT = undefined_real();
  std::vector<Message> msgs;
  ASSERT_EQ(run_capturing([] { SLCRNC(); }, msgs), 0);
  ASSERT_EQ(msgs.size(), 1U);
  EXPECT_EQ(msgs[0].text, printed("SLCRNC: Control constant OUTINT not specified@Default is TIMEND - TIMEO. See the "
                                  "table of control constants in docs/model_program.md"));
  EXPECT_EQ(msgs[0].code, 2);
  EXPECT_EQ(msgs[0].routine, "SLCRNC");
  EXPECT_EQ(GLOR.OUTINT, 100.0);
  EXPECT_EQ(block_log().out_timen, (std::vector<double>{0.0, 100.0}));
}

TEST(SolutionFrame, SkippedRunReportsRestoresTheCoresAndKeepsOutintUndefined) {
  build_slow_node({{6, {2.5}}});
  GLOR.TIMEO = GLOR.TIMEND = 10.0;
  GLOR.OUTINT = undefined_real();
  FLAGS(29) = 7;
  FLAGS(36) = 5;
  std::vector<Message> msgs;
  ASSERT_EQ(run_capturing([] { SLCRNC(); }, msgs), 0);
  ASSERT_EQ(msgs.size(), 2U);
  EXPECT_EQ(msgs[0].text, printed("SLCRNC: TIMEND is not greater than TIMEO@See Engineering Manual for control "
                                  "constant definitions"));
  EXPECT_EQ(msgs[0].code, 1);
  EXPECT_EQ(msgs[1].code, 2);
  // A defaulted interval of 0 must not outlive the skipped call.
  EXPECT_TRUE(SDUNDF(GLOR.OUTINT));
  EXPECT_TRUE(block_log().v1_timem.empty());
  EXPECT_TRUE(block_log().out_timen.empty());
  EXPECT_EQ(FLAGS(29), 7);
  EXPECT_EQ(FLAGS(36), 5);
  EXPECT_EQ(GLOR.TIMEO, 10.0);
  EXPECT_EQ(GLOC.MODULE, "SLCRNC");
  EXPECT_EQ(GLOC.SOLVER, "");
}

TEST(SolutionFrame, CoresAreRestoredAfterARunAndAfterAFatalMessage) {
  build_slow_node({{5, {1.0, 2.0}}});
  FLAGS(29) = 3;
  FLAGS(36) = 4;
  SLCRNC();
  EXPECT_EQ(FLAGS(29), 3);
  EXPECT_EQ(FLAGS(36), 4);
  GLOR.TIMEND = 20.0;  // a second call runs on from the first one's end
  SLCRNC();
  EXPECT_EQ(GLOR.TIMEO, 20.0);
  EXPECT_EQ(FLAGS(29), 3);
  EXPECT_EQ(FLAGS(36), 4);
  GLOR.TIMEND = 30.0;
  GLOI.NLOOP = SKUNDF();
  std::vector<Message> msgs;
  EXPECT_EQ(run_capturing([] { SLCRNC(); }, msgs), 1);
  EXPECT_EQ(FLAGS(29), 3);
  EXPECT_EQ(FLAGS(36), 4);
}

TEST(SolutionFrame, FirstUndefinedRequiredConstantEndsTheRun) {
  struct Case {
    const char* name;
    int code;
  };
  for (const Case& c : {Case{"NLOOP", 3}, Case{"DTIMEI", 4}, Case{"RELXCA", 5}}) {
    build_slow_node();
    const std::string name = c.name;
    if (name == "NLOOP") GLOI.NLOOP = SKUNDF();
    if (name == "NLOOP" || name == "DTIMEI") GLOR.DTIMEI = undefined_real();
    GLOR.RELXCA = undefined_real();
    std::vector<Message> msgs;
    EXPECT_EQ(run_capturing([] { SLCRNC(); }, msgs), 1) << c.name;
    ASSERT_EQ(msgs.size(), 1U) << c.name;
    EXPECT_EQ(msgs[0].severity, "FATAL ERROR") << c.name;
    EXPECT_EQ(msgs[0].text, printed("SLCRNC: Control constant " + name +
                                    " not specified@See the table of control constants in docs/model_program.md"));
    EXPECT_EQ(msgs[0].code, c.code);
    EXPECT_TRUE(block_log().v1_timem.empty());
  }
}

TEST(SolutionFrame, ShortageNamesTheExtraWordsInNineColumns) {
  EXPECT_EQ(kalvir::thermal::shortage_text("SLCRNC", " words", 10), "SLCRNC: Insufficient work space@An extra        10 words");
  EXPECT_EQ(kalvir::thermal::shortage_text("SLGEAR", "", 1234567890), "SLGEAR: Insufficient work space@An extra *********");
  const std::string cn = kalvir::thermal::shortage_text("SLCRNC", kalvir::thermal::method_row("SLCRNC").shortage_tail, 10);
  EXPECT_EQ(cn.substr(41, 9), "       10");

  NetworkSpec spec;
  spec.nodes = {{100.0, 1000.0, 'D', 0.0}, {0.0, 0.0, 'B', 0.0}};
  spec.gl = {{1, 2, 1.0}};
  spec.dystor = 10;  // 9 x 2 node words + 1 need 20 from word 1: 10 short
  build_network(spec);
  std::vector<Message> msgs;
  EXPECT_EQ(run_capturing([] { SLCRNC(); }, msgs), 1);
  ASSERT_EQ(msgs.size(), 1U);
  EXPECT_EQ(msgs[0].code, 6);
  EXPECT_EQ(msgs[0].routine, "SLCRNC");
  EXPECT_NE(msgs[0].text.find("An extra"), std::string::npos);
  EXPECT_NE(msgs[0].text.find("10 words needed; increase DYSTOR on $EXECUTION line."), std::string::npos);
  EXPECT_EQ(FLAGS(29), 1);
  EXPECT_EQ(FLAGS(36), 1);
}

TEST(SolutionFrame, EventListShortageIsReportedBySgtevt) {
  build_slow_node({{6, {2.5}}});
  FLAGS(36) = FLAGS(28);  // no room left in the integer core
  std::vector<Message> msgs;
  EXPECT_EQ(run_capturing([] { SLCRNC(); }, msgs), 1);
  ASSERT_EQ(msgs.size(), 1U);
  EXPECT_EQ(msgs[0].text, printed("SLCRNC: Insufficient dynamic core@Increase DYSTOR setting on $EXECUTION statement"));
  EXPECT_EQ(msgs[0].routine, "SGTEVT");
  EXPECT_EQ(msgs[0].code, 1);
}

TEST(SolutionFrame, StepThatIsNotPositiveEndsTheRun) {
  struct Case {
    const char* name;
    double dtimei, dtmin, dtmax, outint;
  };
  const std::array cases{Case{"DTIMEI and DTMIN 0", 0.0, 0.0, 10.0, 10.0}, Case{"OUTINT 0", 1.0, 0.1, 10.0, 0.0},
                         Case{"OUTINT negative", 1.0, 0.1, 10.0, -5.0}, Case{"DTMAX negative", 1.0, 0.0, -1.0, 10.0},
                         Case{"DTIMEI not a number", std::nan(""), 0.0, 10.0, 10.0}};
  for (const Case& c : cases) {
    build_slow_node();
    GLOR.DTIMEI = c.dtimei;
    GLOR.DTMIN = c.dtmin;
    GLOR.DTMAX = c.dtmax;
    GLOR.OUTINT = c.outint;
    std::vector<Message> msgs;
    EXPECT_EQ(run_capturing([] { SLCRNC(); }, msgs), 1) << c.name;
    ASSERT_EQ(msgs.size(), 1U) << c.name;
    EXPECT_EQ(msgs[0].text, printed("SLCRNC: Time step is not positive@Check that OUTINT, DTIMEI, DTMIN and DTMAX "
                                    "are greater than zero"))
        << c.name;
    EXPECT_EQ(msgs[0].code, 7);
  }
}

TEST(SolutionFrame, LevtimFindsTheFirstEventStrictlyInsideTheInterval) {
  build_slow_node({{5, {0.5, 1.0}}, {6, {3.0}}, {5, {1.0, 2.0}}});
  const std::array<std::int32_t, 3> list{1, 2, 3};
  struct Case {
    std::string_view name;
    std::vector<std::int32_t> arrays;
    double tstart, tend, expected;
  };
  const std::vector<Case> cases{
      {"TIMESTEP", {1}, 1.0e9, 2.0e9, 1.0e9 + 0.5},  // found directly, far from the first event
      {"TIMESTEP", {1}, 0.0, 10.0, 0.5},
      {"TIMESTEP", {1}, 0.5, 10.0, 1.5},           // an event at the start does not count
      {"TIMESTEP", {3}, 3.0, 10.0, 5.0},
      {"TIMESTEP", {3}, 3.0, 5.0, 5.0},            // nor one at the end
      {"TIMESTEP", {2, 3}, 0.0, 10.0, 1.0},
      {"OUTPUT", {1, 2, 3}, 0.0, 10.0, 3.0},       // form 5 arrays limit steps only
      {"OUTPUT", {2}, 3.0, 10.0, 10.0},
  };
  for (const Case& c : cases) {
    double tend = c.tend;
    std::vector<std::int32_t> l(c.arrays);
    LEVTIM(l, c.name, static_cast<std::int32_t>(l.size()), c.tstart, tend);
    EXPECT_EQ(tend, c.expected) << c.name << " from " << c.tstart;
  }
  std::int32_t n = 0, ierr = 0;
  std::array<std::int32_t, 3> found{};
  SGTEVT(3, "SLCRNC", n, found, ierr);
  EXPECT_EQ(n, 3);
  EXPECT_EQ(found, list);
}

TEST(SolutionFrame, EventPeriodThatIsNotPositiveEndsTheRun) {
  for (double period : {0.0, -1.0}) {
    build_slow_node({{5, {0.0, period}}});
    std::vector<Message> msgs;
    EXPECT_EQ(run_capturing([] { SLCRNC(); }, msgs), 1);
    ASSERT_EQ(msgs.size(), 1U);
    EXPECT_EQ(msgs[0].routine, "LEVTIM");
    EXPECT_EQ(msgs[0].text.rfind("LEVTIM: Period of time-event array EVENTS1 is not positive", 0), 0U);
  }
}

TEST(SolutionFrame, EventWithABadPeriodIsHarmlessUntilTheRunPassesItsFirstTime) {
  // Steps of 3 from 0 to 10 (outputs every 10), with EVENTS as the only event array.
  const auto run = [](NetEvents events, std::vector<Message>& msgs) {
    build_slow_node({std::move(events)});
    GLOR.DTIMEI = 3.0;
    GLOR.DTMIN = 1.0;
    GLOR.DTMAX = 10.0;
    GLOR.OUTINT = 10.0;
    return run_capturing([] { SLCRNC(); }, msgs);
  };
  // First time after the whole run: the run never reaches the event and
  // completes as if it were not there.
  for (double period : {0.0, -1.0}) {
    std::vector<Message> msgs;
    EXPECT_EQ(run({5, {200.0, period}}, msgs), 0) << period;
    EXPECT_TRUE(msgs.empty()) << period;
    EXPECT_EQ(block_log().v2_timen, (std::vector<double>{3, 6, 8, 10})) << period;
  }
  // First time inside the run: the event ends a step there; the next scan,
  // from that time, has no usable repeat and ends the run.
  std::vector<Message> msgs;
  EXPECT_EQ(run({5, {2.5, 0.0}}, msgs), 1);
  EXPECT_EQ(block_log().v2_timen, std::vector<double>{2.5});
  ASSERT_EQ(msgs.size(), 1U);
  EXPECT_EQ(msgs[0].routine, "LEVTIM");
}

TEST(SolutionFrame, EndWarningsSayUpToOrMoreThanTenPercent) {
  build_slow_node();
  std::vector<Message> msgs;
  run_capturing(
      [] {
        kalvir::thermal::SolutionFrame frame(kalvir::thermal::method_row("SLCRNC"));
        frame.end_warning(1, 10, "DTPMAX", 5, 6, "S9Slve");
        frame.end_warning(1, 11, "DTPMAX", 5, 6, "S9Slve");
        frame.end_warning(0, 11, "RELXCA", 3, 4, "S9Slve");
        frame.end_warning(1, 1, "DTROCA", 7, 8, "S9Slve");
      },
      msgs);
  ASSERT_EQ(msgs.size(), 3U);
  EXPECT_EQ(msgs[0].text, "SLCRNC: DTPMAX exceeded in more than 10% of time steps");
  EXPECT_EQ(msgs[0].code, 6);
  EXPECT_EQ(msgs[1].text, "SLCRNC: DTPMAX exceeded in up to 10% of time steps");
  EXPECT_EQ(msgs[1].code, 5);
  EXPECT_EQ(msgs[2].text, "SLCRNC: DTROCA exceeded in more than 10% of time steps");
  EXPECT_EQ(msgs[2].routine, "S9Slve");
  EXPECT_EQ(msgs[0].severity, "WARNING");
}

TEST(SolutionFrame, StabilityLimitIsTheSmallestTimeConstantOfTheDiffusionNodes) {
  NetworkSpec spec;
  // C/G: node 1 100/2 = 50, node 2 60/... ; nodes 3 and 4 tie at 20, node 5 is a boundary.
  spec.nodes = {{0, 100, 'D', 0}, {0, 0, 'D', 0}, {0, 20, 'D', 0}, {0, 40, 'D', 0}, {0, 1, 'B', 0}, {0, 1, 'X', 0}};
  spec.gl = {{1, 5, 2.0}, {2, 5, 1.0}, {3, 5, 1.0}, {4, 5, 2.0}, {4, 6, 100.0}};
  build_network(spec);
  GLOI.NCSGMN = 99;
  S5CSGM(gar_thermalnodecapacitances.span(), 6, gar_thermalnodestatuses, GLOR.CSGMIN, GLOI.NCSGMN, GLOR.STEFAN,
         gar_thermalnodetemps.span(), GLOR.TABS);
  EXPECT_EQ(GLOR.CSGMIN, 20.0);  // node 4 does not see its X neighbour
  EXPECT_EQ(GLOI.NCSGMN, 3);
  for (int i = 1; i <= 4; ++i) gar_thermalnodestatuses.set(i, "B");
  S5CSGM(gar_thermalnodecapacitances.span(), 6, gar_thermalnodestatuses, GLOR.CSGMIN, GLOI.NCSGMN, GLOR.STEFAN,
         gar_thermalnodetemps.span(), GLOR.TABS);
  EXPECT_EQ(GLOR.CSGMIN, 1.0e38);
  EXPECT_EQ(GLOI.NCSGMN, 3);
}

}  // namespace solution_frame_test
}  // namespace kalvir::test
