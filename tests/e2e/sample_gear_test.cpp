// The sample model run with the Gear routines in place of Crank-Nicolson, for
// both the cyclic analysis and the final transient: the printed temperatures
// agree with the Crank-Nicolson run at every output time.
//
// The sample's RELXCA of 0.011 lets the Gear runs keep steps near its DTMAX
// of 60 s, where Crank-Nicolson shortens its steps to meet DTPMAX; the output
// times fall inside Gear steps and are interpolated. The runs then differ by
// up to 0.20 K (SLGEAR) and 0.19 K (SLGRDJ) on the light outer nodes; with
// DTMAX at 2 s and RELXCA 1.0E-4 both methods agree within 0.02 K.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/sample_runs.h"

namespace sample_gear_test {

struct Variant {
  const char* what;
  const char* program;
};

class SampleGear : public ::testing::TestWithParam<Variant> {};

TEST_P(SampleGear, AgreesWithCrankNicolsonAtEveryOutputTime) {
  static const kalvir::test::SampleRun reference = kalvir::test::run_sample(KALVIR_MODEL_PROGRAM);
  ASSERT_EQ(reference.status, 0) << reference.errors;
  const kalvir::test::SampleRun run = kalvir::test::run_sample(GetParam().program);
  ASSERT_EQ(run.status, 0) << run.errors;
  const kalvir::test::PrintedRun cn = kalvir::test::parse_print(reference.printed);
  const kalvir::test::PrintedRun gear = kalvir::test::parse_print(run.printed);
  ASSERT_EQ(gear.times.size(), 11U);
  EXPECT_LE(kalvir::test::largest_difference(gear, cn), 0.25);
  // The end of the run is a step's end, not an interpolated time.
  kalvir::test::PrintedRun cn_end, gear_end;
  cn_end.times = {cn.times.back()};
  cn_end.tables = {cn.tables.back()};
  gear_end.times = {gear.times.back()};
  gear_end.tables = {gear.tables.back()};
  EXPECT_LE(kalvir::test::largest_difference(gear_end, cn_end), 0.15);
}

INSTANTIATE_TEST_SUITE_P(Cases, SampleGear,
                         ::testing::Values(Variant{"SLGEAR", ORVIK_SLGEAR_PROGRAM},
                                           Variant{"SLGRDJ", ORVIK_SLGRDJ_PROGRAM}),
                         kalvir::test::CaseName{});

}  // namespace sample_gear_test
