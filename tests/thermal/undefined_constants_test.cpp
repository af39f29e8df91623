// Optional control constants that the model left undefined: every thermal
// routine must run exactly as with those constants set to their neutral
// values, and the marker must not turn into a time, a step limit or a
// damping factor.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/status.h"
#include "runtime/thermal/crank_nicolson.h"
#include "runtime/thermal/forward.h"
#include "runtime/thermal/forward_backward.h"
#include "runtime/thermal/gear.h"
#include "runtime/thermal/modal.h"
#include "tests/support/test_support.h"
#include "tests/thermal/thermal_test_support.h"

namespace kalvir::test {
namespace undefined_constants_test {

struct Routine {
  const char* name;
  void (*run)();
};
const Routine kRoutines[] = {{"SLCRNC", SLCRNC}, {"SLFRWD", SLFRWD}, {"SLFWBK", SLFWBK},
                             {"SLGEAR", SLGEAR}, {"SLGRDJ", SLGRDJ}, {"SLMODE", SLMODE}};

// The chain with a radiative conductor beside the last linear one, so that
// STEFAN and TABS play their part; a run of 50 time units.
void build_radiating_chain() {
  NetworkSpec spec;
  for (int i = 0; i < 10; ++i) spec.nodes.push_back({10.0 * (i + 1), 5.0 + i, 'D', 0.0});
  spec.nodes.push_back({0.0, 0.0, 'B', 0.0});
  for (int i = 1; i <= 10; ++i) spec.gl.push_back({i, i + 1, 5.0});
  spec.gr.push_back({10, 11, 0.5});
  build_network(spec);
  register_logging_blocks();
  GLOR.TIMEND = 50.0;
  GLOR.OUTINT = 10.0;
  GLOR.DTIMEI = 0.5;
}

void set_optional(bool undefined) {
  for (const NeutralReal& n : neutral_reals()) GLOR.*n.slot = undefined ? undefined_real() : n.value;
  for (const NeutralInt& n : neutral_ints()) GLOI.*n.slot = undefined ? SKUNDF() : n.value;
}

struct Outcome {
  std::vector<double> temps, steps, outputs;
};

Outcome run(const Routine& r, bool undefined) {
  build_radiating_chain();
  set_optional(undefined);
  r.run();
  Outcome o;
  for (std::int64_t i = 1; i <= gar_thermalnodetemps.size(); ++i) o.temps.push_back(gar_thermalnodetemps(i));
  o.steps = block_log().v2_timen;
  o.outputs = block_log().out_timen;
  return o;
}

bool bits_equal(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

TEST(UndefinedConstants, EveryThermalRoutineRunsAsWithTheNeutralValues) {
  for (const Routine& r : kRoutines) {
    SCOPED_TRACE(r.name);
    const Outcome neutral = run(r, false);
    const Outcome undefined = run(r, true);
    ASSERT_FALSE(neutral.steps.empty());
    // A handful of steps, not one per DTMIN: the marker is no step limit.
    EXPECT_LT(neutral.steps.size(), 2000U);
    EXPECT_TRUE(bits_equal(neutral.temps, undefined.temps));
    EXPECT_TRUE(bits_equal(neutral.steps, undefined.steps));
    EXPECT_TRUE(bits_equal(neutral.outputs, undefined.outputs));
    EXPECT_EQ(undefined.outputs.front(), 0.0);
    EXPECT_EQ(undefined.outputs.back(), 50.0);
    for (double t : undefined.temps) EXPECT_FALSE(SDUNDF(t));
    // The constants read are left defined for the print and the result files.
    for (const NeutralReal& n : neutral_reals()) EXPECT_FALSE(SDUNDF(GLOR.*n.slot)) << n.name;
    for (const NeutralInt& n : neutral_ints()) EXPECT_FALSE(SUNDCK(GLOI.*n.slot)) << n.name;
  }
}

TEST(UndefinedConstants, TheAccessorGivesTheNeutralValueOnlyForAnUndefinedConstant) {
  GLOR.DAMPT = undefined_real();
  GLOR.DTPMAX = 3.0;
  GLOR.RELXCA = undefined_real();  // required: not in the table, returned as it is
  GLOI.METHOD = SKUNDF();
  EXPECT_EQ(defined_or_neutral(&GlorBlock::DAMPT), 1.0);
  EXPECT_EQ(defined_or_neutral(&GlorBlock::DTPMAX), 3.0);
  EXPECT_TRUE(SDUNDF(defined_or_neutral(&GlorBlock::RELXCA)));
  EXPECT_EQ(defined_or_neutral(&GloiBlock::METHOD), 0);
  EXPECT_TRUE(SDUNDF(GLOR.DAMPT));  // the accessor stores nothing
}

TEST(UndefinedConstants, AnUndefinedEndTimeSkipsTheRunSayingItIsNotSet) {
  for (const Routine& r : kRoutines) {
    SCOPED_TRACE(r.name);
    build_radiating_chain();
    GLOR.TIMEND = undefined_real();
    std::vector<Message> msgs;
    ASSERT_EQ(run_capturing(r.run, msgs), 0);
    ASSERT_FALSE(msgs.empty());
    EXPECT_EQ(msgs[0].code, 1);
    EXPECT_EQ(msgs[0].severity, "FAILURE");
    EXPECT_EQ(msgs[0].text, printed(std::string(r.name) + ": Control constant TIMEND not set@The solution is "
                                    "skipped. See the table of control constants in docs/model_program.md"));
    EXPECT_TRUE(block_log().v2_timen.empty());
    EXPECT_TRUE(block_log().out_timen.empty());
  }
}

}  // namespace undefined_constants_test
}  // namespace kalvir::test
