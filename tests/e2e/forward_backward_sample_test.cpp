// The sample model run with forward-backward differencing, for the cyclic
// analysis and the final transient, held against the Crank-Nicolson run.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/sample_runs.h"

namespace forward_backward_sample_test {

using kalvir::test::PrintedRun;

PrintedRun last_output(const PrintedRun& run) {
  return {{run.times.back()}, {run.tables.back()}};
}

TEST(SampleForwardBackward, EndsWithinFiftyMillikelvinOfCrankNicolson) {
  const kalvir::test::SampleRun cn = kalvir::test::run_sample(KALVIR_MODEL_PROGRAM);
  const kalvir::test::SampleRun fwbk = kalvir::test::run_sample(ORVIK_SLFWBK_PROGRAM);
  ASSERT_EQ(cn.status, 0) << cn.errors;
  ASSERT_EQ(fwbk.status, 0) << fwbk.errors;
  EXPECT_NE(fwbk.printed.find("SOLCYC cycle number: "), std::string::npos);
  const PrintedRun a = kalvir::test::parse_print(cn.printed);
  const PrintedRun b = kalvir::test::parse_print(fwbk.printed);
  ASSERT_EQ(b.times.size(), 11U);
  ASSERT_FALSE(b.tables.back().empty());
  EXPECT_LE(kalvir::test::largest_difference(last_output(a), last_output(b)), 0.05);
  // On the way the two stay as close, up to the rounding of the two printed
  // values (0.005 each): both converge each step and each cycle only to
  // RELXCA and TOLT 0.011.
  EXPECT_LE(kalvir::test::largest_difference(a, b), 0.05 + 0.01);
}

}  // namespace forward_backward_sample_test
