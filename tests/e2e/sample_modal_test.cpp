// The sample model solved by its modes (SLMODE, in the cyclic analysis and
// the final transient) held against the Crank-Nicolson run of the same
// inputs: radiation enters the modal problem linearised at the start and is
// corrected step by step, so the two agree closely but not exactly.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "tests/support/sample_runs.h"

namespace sample_modal_test {

TEST(SampleModal, EndsNormallyWithinHalfAKelvinOfCrankNicolson) {
  const kalvir::test::SampleRun modal = kalvir::test::run_sample(ORVIK_SLMODE_PROGRAM);
  ASSERT_EQ(modal.status, 0) << modal.errors;
  const kalvir::test::SampleRun cn = kalvir::test::run_sample(KALVIR_MODEL_PROGRAM);
  ASSERT_EQ(cn.status, 0) << cn.errors;
  const kalvir::test::PrintedRun a = kalvir::test::parse_print(modal.printed);
  const kalvir::test::PrintedRun b = kalvir::test::parse_print(cn.printed);
  ASSERT_EQ(a.times.size(), 11U);
  const double largest = kalvir::test::largest_difference(a, b);
  EXPECT_LT(largest, 0.5);
  RecordProperty("largest_difference", std::to_string(largest));
  std::printf("largest printed difference SLMODE - SLCRNC: %.3f K\n", largest);
}

}  // namespace sample_modal_test
