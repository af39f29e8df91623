// The built model program run as a user runs it: in a directory of its own,
// without arguments, its output on standard output.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "tools/sample_model.h"

namespace {

namespace fs = std::filesystem;

using RunResult = kalvir::test::CommandResult;

RunResult run_in(const fs::path& dir) { return kalvir::test::run_command(dir, "'" KALVIR_MODEL_PROGRAM "'"); }

std::string last_line(const std::string& text) {
  std::string t = text;
  while (!t.empty() && t.back() == '\n') t.pop_back();
  const std::size_t nl = t.rfind('\n');
  return nl == std::string::npos ? t : t.substr(nl + 1);
}

bool ends_with(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(RunProgram, InAnEmptyDirectoryItReportsTheMissingFilesAndFails) {
  kalvir::test::TempDir dir;
  const RunResult r = run_in(dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("Cannot open ACD file"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\n *** PROGRAM FAILS TO FIND OR LOAD FROM DATABASE ***\n"
                       "       *** CONTACT KALVIR CENTRAL SUPPORT ***\n"),
            std::string::npos)
      << r.out;
  EXPECT_FALSE(fs::exists(dir.path() / "ORVIK_TE.DMP"));
}

TEST(RunProgram, WithTheSampleInputsItRunsToItsNormalEnd) {
  kalvir::test::TempDir dir;
  kalvir::sample::write_sample_inputs(dir.path());
  const RunResult r = run_in(dir.path());
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("SOLCYC cycle number:"), std::string::npos) << "the cyclic analysis ran";
  const std::string monitor = kalvir::test::read_file(dir.path() / "ORVIK_TE.MON");
  EXPECT_TRUE(ends_with(last_line(monitor), ",  EXIT")) << last_line(monitor);
  EXPECT_FALSE(fs::exists(dir.path() / "ORVIK_TE.DMP")) << "the scratch file is deleted at the end";
  EXPECT_FALSE(fs::exists(dir.path() / "ORVIK_TE.COM")) << "no state dump without a parameter-case file";
  EXPECT_TRUE(fs::exists(dir.path() / "ORVIK_TESTBED_01.TMD"));
}

TEST(RunProgram, AKillFileEndsTheRunAtTheFirstVariablesOneCall) {
  kalvir::test::TempDir dir;
  kalvir::sample::write_sample_inputs(dir.path());
  std::ofstream(dir.path() / "ORVIK_TE.kill") << "stop\n";
  const RunResult r = run_in(dir.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out.find("SOLCYC cycle number:"), std::string::npos) << "no cycle may complete";
  const std::string monitor = kalvir::test::read_file(dir.path() / "ORVIK_TE.MON");
  EXPECT_TRUE(ends_with(last_line(monitor), ",  EXIT")) << last_line(monitor);
  EXPECT_FALSE(fs::exists(dir.path() / "ORVIK_TE.DMP"));
  EXPECT_TRUE(fs::exists(dir.path() / "ORVIK_TE.kill")) << "the kill file is left where it is";
}


TEST(RunProgram, AParameterCaseStartsAgainFromTheDumpedState) {
  kalvir::test::TempDir dir;
  kalvir::sample::write_sample_inputs(dir.path());
  std::ofstream(dir.path() / "ORVIK_TE.PAR") << "$PARAMETERS\n# the sample once more from its initial state\n"
                                                "!INITIAL = 'AGAIN'\n";
  const RunResult r = run_in(dir.path());
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find(" # Parameter Case No.:     1"), std::string::npos);
  EXPECT_NE(r.out.find(" # Title: AGAIN "), std::string::npos);
  // The base case and the case each settle the same cycle from the same state.
  const std::string report = "SOLCYC cycle number: 1\n   Max delta T =  5.6077E+01";
  const std::size_t first = r.out.find(report);
  ASSERT_NE(first, std::string::npos) << r.out;
  EXPECT_NE(r.out.find(report, first + 1), std::string::npos) << "the case must start from the dumped state";
  EXPECT_FALSE(fs::exists(dir.path() / "ORVIK_TE.COM")) << "the state dump is deleted at the end";
  EXPECT_FALSE(fs::exists(dir.path() / "ORVIK_TE.DMP"));
  EXPECT_TRUE(fs::exists(dir.path() / "ORVIK_TE.PAR"));
}

}  // namespace
