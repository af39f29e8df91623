// The start-up driver: job information, print state, failure texts chosen by
// the failing step, the ACD value counts, the parameter-case set-up and the
// fluid-node initialisation.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "model/orvik_testbed_01.h"
#include "runtime/platform/clock.h"
#include "runtime/platform/process.h"
#include "tests/support/model_fixture.h"
#include "tests/support/test_support.h"
#include "tools/sample_model.h"

namespace startup_test {

namespace fs = std::filesystem;

TEST(Startup, JobInformationHoldsNameDateAndTime) {
  kalvir::platform::clock_fix(kalvir::platform::ClockReading{2026, 3, 5, 14, 7, 9});
  SLDINA("ORVIK_TESTBED_01");
  kalvir::platform::clock_fix(std::nullopt);
  EXPECT_EQ(JOBINF.date.view(), "05 March     2026");
  EXPECT_EQ(JOBINF.time.view(), "14:07:09");
  EXPECT_EQ(JOBINF.model.view(), "ORVIK_TESTBED_01        ");
}

TEST(Startup, PrintStateStartsAtPageOne) {
  PRTINF.w = {1, 2, 3, 4, 5, 6};
  SLDINB();
  EXPECT_EQ(PRTINF.w, (std::array<std::int32_t, 6>{60, 1, 6, 1, 0, 0}));
}

TEST(Startup, TheModelNameIsCutOrPaddedTo24Characters) {
  SVMNAM("ORVIK_TESTBED_01");
  EXPECT_EQ(gfl_getmodelname(), "ORVIK_TESTBED_01        ");
  EXPECT_EQ(gfl_gettruncatedmodelname(), "ORVIK_TE");
  SVMNAM("A_NAME_LONGER_THAN_TWENTY_FOUR");
  EXPECT_EQ(gfl_getmodelname(), "A_NAME_LONGER_THAN_TWENT");
}

TEST(Startup, FailureTextsByCode) {
  const struct {
    std::int32_t code;
    const char* text;
  } cases[] = {
      {1, "\n *** PROGRAM FAILS TO FIND OR LOAD FROM DATABASE ***\n       *** CONTACT KALVIR CENTRAL SUPPORT ***\n\n\n"},
      {2, "\n\n *** PROGRAM FAILS TO FIND PARAMETERS FILE ***\n\n\n"},
      {3, "\n\n *** PROGRAM FAILS TO OPEN SCRATCH FILE ***\n\n\n"},
      {4, "\n\n *** PROGRAM FAILS IN USING SCRATCH FILE ***\n\n\n"},
      {5, "\n\n *** PROGRAM FAILS IN READING PARAMETERS FILE ***\n\n\n"},
      {6, "\n\n *** PROGRAM FAILS TO RESTORE OR CHANGE COMMONS ***\n\n\n"},
      {7, "\n\n *** FAILURE IN KALVIR GENERATED PROGRAM ***\n\n\n"},
      {0, "\n\n *** FAILURE IN KALVIR GENERATED PROGRAM ***\n\n\n"},
      {13, "\n\n *** FAILURE IN KALVIR GENERATED PROGRAM ***\n\n\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(kalvir::setup_failure_text(c.code), c.text) << "code " << c.code;
}

// A whole start-up of the sample model in a directory of its own, up to and
// including the parameter-case loop; no blocks are registered, so the cases
// run nothing.
class SampleStartup : public ::testing::Test {
 protected:
  void SetUp() override {
    gar_release_all_for_tests();
    FLAGS.w = orvik::kFlags;
    SPRSIZ.w = orvik::kSprsiz;
    SVMNAM(orvik::kModelName);
    register_model_blocks(ModelBlocks{});
  }
  void TearDown() override { gar_release_all_for_tests(); }

  int start(bool write_inputs, const std::function<void()>& before = {}) {
    if (write_inputs) kalvir::sample::write_sample_inputs(dir_.path());
    if (before) before();
    const kalvir::test::ScopedCwd cwd(dir_.path());
    kalvir::test::Unit6Capture capture;
    const int status = kalvir::platform::run_program([] {
      MAINA(orvik::kModelName);
      SUCCES();
    });
    printed_ = capture.finish();
    return status;
  }
  bool exists(const char* name) const { return fs::exists(dir_.path() / name); }

  kalvir::test::TempDir dir_;
  std::string printed_;
};

TEST_F(SampleStartup, WithoutTheModelDatabaseTheRunFailsWithStatusOne) {
  EXPECT_EQ(start(false), 1);
  EXPECT_NE(printed_.find(" *** PROGRAM FAILS TO FIND OR LOAD FROM DATABASE ***"), std::string::npos) << printed_;
}

TEST_F(SampleStartup, AScratchFileThatCannotBeOpenedSaysSo) {
  // A directory in the way of the scratch file.
  EXPECT_EQ(start(true, [this] { fs::create_directory(dir_.path() / "ORVIK_TE.DMP"); }), 1);
  EXPECT_NE(printed_.find(" *** PROGRAM FAILS TO OPEN SCRATCH FILE ***"), std::string::npos) << printed_;
  EXPECT_EQ(printed_.find("PARAMETERS FILE"), std::string::npos) << printed_;
}

TEST_F(SampleStartup, AStateDumpFileThatCannotBeOpenedIsAScratchUseFailure) {
  EXPECT_EQ(start(true,
                  [this] {
                    std::ofstream(dir_.path() / "ORVIK_TE.PAR") << "$PARAMETERS\n!FINAL\n";
                    fs::create_directory(dir_.path() / "ORVIK_TE.COM");
                  }),
            1);
  EXPECT_NE(printed_.find(" *** PROGRAM FAILS IN USING SCRATCH FILE ***"), std::string::npos) << printed_;
  EXPECT_EQ(printed_.find(" # Parameter Case No.:"), std::string::npos) << "no case may run";
}

TEST_F(SampleStartup, WithAParameterFileTheDumpIsWrittenAndTheCasesRun) {
  EXPECT_EQ(start(true,
                  [this] { std::ofstream(dir_.path() / "ORVIK_TE.PAR") << "$PARAMETERS\n!INITIAL='FIRST'\n!FINAL\n"; }),
            0)
      << printed_;
  EXPECT_EQ(PARNUM(2), 2);
  EXPECT_EQ(GLOC.PARNAM, "");
  // The end of the run deletes the scratch and dump files and keeps the rest.
  EXPECT_FALSE(exists("ORVIK_TE.DMP"));
  EXPECT_FALSE(exists("ORVIK_TE.COM"));
  EXPECT_TRUE(exists("ORVIK_TE.PAR"));
  EXPECT_TRUE(exists("ORVIK_TE.MON"));
  EXPECT_TRUE(exists("ORVIK_TE.TRA"));
  EXPECT_FALSE(gar_linearcondnodepairs.allocated()) << "the connection lists replace the node pairs";
  EXPECT_TRUE(gar_vfaccondnodepairs.allocated());
}

TEST_F(SampleStartup, AParameterFileThatFailsIsReportedAfterTheLoop) {
  EXPECT_EQ(start(true, [this] { std::ofstream(dir_.path() / "ORVIK_TE.PAR") << "$PARAMETERS\n!OTHER\n"; }), 1);
  EXPECT_NE(printed_.find("\n\n *** PROGRAM FAILS IN READING PARAMETERS FILE ***\n\n\n"), std::string::npos)
      << printed_;
}

TEST_F(SampleStartup, TheAcdValueCountsAreAddedToTheArrayStores) {
  EXPECT_EQ(start(true), 0) << printed_;
  EXPECT_EQ(FLAGS(20), 28) << "the 14 values of each of the two ARRAYs";
  EXPECT_EQ(FLAGS(21), 0);
  EXPECT_EQ(gar_arrayvaluesreal.size(), 28);
}

// ACD value counts that are negative or would overflow a FLAGS word cannot
// size an array: the run ends with a message before anything is allocated.
TEST_F(SampleStartup, AcdValueCountsThatOverflowTheArrayStoreEndTheRun) {
  // The sample's 28 values on top of a store already near the largest size.
  FLAGS(20) = std::numeric_limits<std::int32_t>::max() - 10;
  EXPECT_EQ(start(true), 1);
  EXPECT_NE(printed_.find("Invalid number of array values in ACD file"), std::string::npos) << printed_;
  EXPECT_FALSE(gar_thermalnodetemps.allocated());
}

TEST_F(SampleStartup, NegativeAcdValueCountsEndTheRun) {
  kalvir::sample::write_sample_inputs(dir_.path());
  auto data = kalvir::sample::case_data();
  data.arrays->numberOfArrayValues = -5;
  kalvir::acd::write_acd_file(dir_.path() / "ORVIK_TESTBED_01.acd", data);
  EXPECT_EQ(start(false), 1);
  EXPECT_FALSE(gar_thermalnodetemps.allocated());
}

// The attribute names the model program gives fill SPRNOD; names that cannot
// serve (missing, too long, twice, beyond the sizes) end the run.
struct AttributeNames {
  const char* what;
  std::array<std::int32_t, 5> sprsiz;
  std::vector<std::string_view> real, integer, character;
  const char* message;  // null: the run goes on
};

class StartupAttributes : public SampleStartup, public ::testing::WithParamInterface<AttributeNames> {
 protected:
  void TearDown() override {
    sprnod_setnames({}, {}, {});
    SampleStartup::TearDown();
  }
};

TEST_P(StartupAttributes, FillOrRefuse) {
  const AttributeNames& c = GetParam();
  SPRSIZ.w = c.sprsiz;
  sprnod_setnames(c.real, c.integer, c.character);
  // The model database holds the attribute counts as well.
  const int status = start(true, [&] {
    kalvir::mdbw::Model m = kalvir::sample::model();
    for (auto [names, given] : {std::pair{&m.attributes[0], &c.real}, std::pair{&m.attributes[1], &c.integer},
                                std::pair{&m.attributes[2], &c.character}})
      names->assign(given->begin(), given->end());
    ASSERT_TRUE(kalvir::mdbw::build_mdb(m).save((dir_.path() / "ORVIK_TE.MDB").string()));
  });
  if (c.message == nullptr) {
    ASSERT_EQ(status, 0) << printed_;
    for (std::size_t k = 0; k < c.real.size(); ++k) EXPECT_EQ(SPRNOD(k + 1, 1).trimmed(), c.real[k]);
    for (std::size_t k = 0; k < c.integer.size(); ++k) EXPECT_EQ(SPRNOD(k + 1, 2).trimmed(), c.integer[k]);
    for (std::size_t k = 0; k < c.character.size(); ++k) EXPECT_EQ(SPRNOD(k + 1, 3).trimmed(), c.character[k]);
    return;
  }
  EXPECT_EQ(status, 1);
  EXPECT_NE(printed_.find(c.message), std::string::npos) << printed_;
  EXPECT_NE(printed_.find("(MAINA,   2)"), std::string::npos) << printed_;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StartupAttributes,
    ::testing::Values(
        AttributeNames{"named", {2, 3, 1, 1, 2}, {"MASS", "HEIGHT"}, {"ZONE"}, {"OWNER"}, nullptr},
        AttributeNames{"missing", {1, 3, 0, 0, 1}, {}, {}, {}, "User attribute names do not match the sizes"},
        AttributeNames{"too_long", {1, 3, 0, 0, 1}, {"ABCDEFGHIJKLMNOPQRS"}, {}, {}, "Invalid user attribute name"},
        AttributeNames{"blank_inside", {1, 3, 0, 0, 1}, {"MY MASS"}, {}, {}, "Invalid user attribute name"},
        AttributeNames{"twice", {1, 3, 0, 1, 1}, {"MASS"}, {"MASS"}, {}, "Duplicate user attribute name"},
        AttributeNames{"built_in_name", {1, 3, 0, 0, 1}, {"QI"}, {}, {},
                       "\"QI\" (real attribute) is the name of a"},
        AttributeNames{"built_in_status_letter", {1, 3, 1, 0, 0}, {}, {}, {"B"},
                       "\"B\" (character attribute) is the name of"},
        AttributeNames{"built_in_prefix_allowed", {1, 3, 0, 0, 1}, {"TEMP2"}, {}, {}, nullptr},
        AttributeNames{"beyond_leading_dimension", {1, 3, 0, 0, 2}, {"A", "B"}, {}, {},
                       "Invalid user attribute sizes"}),
    kalvir::test::CaseName{});

class FluidInit : public ::testing::Test {
 protected:
  void SetUp() override { kalvir::test::build_model(kalvir::test::three_submodel_model()); }
};

TEST_F(FluidInit, LeavesTheIntegerCoreAsItFoundIt) {
  FLAGS(36) = 5;
  FINITS(" ", 1);
  EXPECT_EQ(FLAGS(36), 5);
  FINITS(" ", -3);
  EXPECT_EQ(FLAGS(36), 5);
}

TEST_F(FluidInit, BadCallsEndTheRun) {
  EXPECT_EQ(kalvir::platform::run_program([] { FINITS(" ", 0); }), 1);
  EXPECT_EQ(kalvir::platform::run_program([] { FINITS(" ", 99); }), 1);
  EXPECT_EQ(kalvir::platform::run_program([] { FINITS(" ", std::numeric_limits<std::int32_t>::min()); }), 1);
  EXPECT_EQ(kalvir::platform::run_program([] { FINITS(" ", -99); }), 1);
  FLAGS(36) = FLAGS(flagw::DYSTOR);
  EXPECT_EQ(kalvir::platform::run_program([] { FINITS(" ", 1); }), 1) << "Insufficient dynamic core";
}

}  // namespace startup_test
