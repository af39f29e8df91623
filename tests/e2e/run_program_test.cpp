// The built model program run as a user runs it: in a directory of its own,
// without arguments, its output on standard output.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "tools/sample_model.h"

namespace run_program_test {

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
  // The database is the first file the run needs: its failure names the file
  // and the directory, in the print and on standard error; the missing ACD
  // file is not reported before it.
  const std::string cwd = fs::canonical(dir.path()).string();
  EXPECT_NE(r.out.find("\n *** PROGRAM FAILS TO FIND OR LOAD FROM DATABASE ***\n"
                       "       *** CONTACT KALVIR CENTRAL SUPPORT ***\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("       *** MDB file ORVIK_TE.MDB not found ***\n       *** Working directory: " + cwd + " ***\n"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(r.out.find("ACD"), std::string::npos) << r.out;
  EXPECT_EQ(r.err, "kalvir: run failed in LSETUP\n    *** PROGRAM FAILS TO FIND OR LOAD FROM DATABASE ***\n"
                   "    MDB file ORVIK_TE.MDB not found\n    Working directory: " + cwd + "\n");
  EXPECT_FALSE(fs::exists(dir.path() / "ORVIK_TE.DMP"));
}

TEST(RunProgram, AMissingAcdFileIsReportedOnceAndNamedOnStandardError) {
  kalvir::test::TempDir dir;
  kalvir::sample::write_sample_inputs(dir.path());
  fs::remove(dir.path() / "ORVIK_TESTBED_01.acd");
  const RunResult r = run_in(dir.path());
  EXPECT_EQ(r.status, 1);
  std::size_t reports = 0;
  for (std::size_t at = r.out.find("Cannot open ACD file"); at != std::string::npos;
       at = r.out.find("Cannot open ACD file", at + 1))
    ++reports;
  EXPECT_EQ(reports, 1U) << r.out;
  EXPECT_NE(r.out.find("| MESSAGE    1 |"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("| MESSAGE    2 |"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("kalvir: run failed in (acds)OpenFile\n    Cannot open ACD file\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("    ACD file name: ORVIK_TESTBED_01.acd\n    Working directory: " +
                       fs::canonical(dir.path()).string() + "\n"),
            std::string::npos)
      << r.err;
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

}  // namespace run_program_test

namespace run_program_test {

// The cases of the sample model's parameter-case tests: each changes one
// thing from the loaded model, the last changes nothing.
constexpr const char* kSampleCases =
    "# one change per case, each from the loaded state\n"
    "!INITIAL = 'INTERFACE DOUBLED'\n"
    "SCALE GL(4,*) * 2\n"
    "!INITIAL = 'HEAVY BASEPLATE'\n"
    "CHANGE C101 = 2 * 3024\n"
    "!INITIAL = 'WARM INTERFACE'\n"
    "CHANGE T4 = 20.0\n"
    "!INITIAL = 'MORE RADIATION'\n"
    "CHANGE STEFAN = 5.670374419E-8 * 1.5\n"
    "!INITIAL = 'AS LOADED'\n";

// Temperature and capacitance of a node in the last node table of each part
// of the output (part 0 the base case, part k case k).
struct NodeRow {
  double T = 0.0;
  double C = 0.0;
};
std::vector<NodeRow> last_rows(const std::string& out, const std::string& row_start) {
  std::vector<NodeRow> rows;
  std::size_t from = 0;
  for (;;) {
    const std::size_t banner = out.find(" # Parameter Case No.:", from);
    const std::string part = out.substr(from, banner == std::string::npos ? std::string::npos : banner - from);
    const std::size_t at = part.rfind("\n" + row_start);
    NodeRow r;
    if (at != std::string::npos) {
      std::istringstream line(part.substr(at + 1 + row_start.size()));
      double qi = 0.0;
      line >> r.T >> qi >> r.C;
    }
    rows.push_back(r);
    if (banner == std::string::npos) return rows;
    from = banner + 1;
  }
}

TEST(RunProgram, ParameterCasesChangeTheModelAndStartAgainFromTheLoadedState) {
  kalvir::test::TempDir dir;
  kalvir::sample::write_sample_inputs(dir.path());
  std::ofstream(dir.path() / "ORVIK_TE.PAR") << "$PARAMETERS\n" << kSampleCases;
  const RunResult r = run_in(dir.path());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find(" SCALE   GL(4,*)*2\n"), std::string::npos) << "the statements are echoed";
  const auto interface = last_rows(r.out, "            4    TEST-BED INTERFACE    ");
  const auto baseplate = last_rows(r.out, "          101    BASEPLATE 1           ");
  const auto radiator = last_rows(r.out, "          301    RADIATOR OUTER 1");
  ASSERT_EQ(baseplate.size(), 6U);
  ASSERT_EQ(radiator.size(), 6U);
  const NodeRow base = baseplate[0];
  ASSERT_GT(base.T, 10.0) << "the baseplate runs above its 10 C interface";
  EXPECT_LT(baseplate[1].T, base.T) << "a doubled interface conductance pulls the baseplate towards 10 C";
  EXPECT_GT(baseplate[1].T, 10.0);
  EXPECT_EQ(baseplate[2].C, 6048.0);
  EXPECT_NE(baseplate[2].T, base.T) << "a heavier node lags the orbit differently";
  EXPECT_EQ(interface[3].T, 20.0);
  EXPECT_GT(baseplate[3].T, base.T + 5.0) << "the interface at 20 C warms the baseplate";
  EXPECT_LT(radiator[4].T, radiator[0].T - 1.0) << "more radiation to space cools the radiator";
  EXPECT_EQ(baseplate[5].T, base.T) << "an initial case starts again from the loaded model";
  EXPECT_EQ(baseplate[5].C, base.C);
  EXPECT_EQ(radiator[5].T, radiator[0].T);
  EXPECT_EQ(interface[5].T, 10.0);
}

TEST(RunProgram, ACheckRunReadsEveryCaseAndRunsNone) {
  kalvir::test::TempDir dir;
  kalvir::sample::write_sample_inputs(dir.path());
  std::ofstream(dir.path() / "ORVIK_TE.PAR") << "$PARAMETERS, CHECK\n"
                                             << kSampleCases << "!FINAL = 'BROKEN'\nCHANGE T99999 = 1\nCHANGE T4 = 30\n";
  const RunResult r = run_in(dir.path());
  EXPECT_EQ(r.out.find("SOLCYC cycle number:"), std::string::npos) << "no execution block runs";
  for (int k = 1; k <= 6; ++k)
    EXPECT_NE(r.out.find(" # Parameter Case No.:     " + std::to_string(k)), std::string::npos) << k;
  EXPECT_NE(r.out.find(" # Title: MORE RADIATION"), std::string::npos);
  EXPECT_NE(r.out.find(" CHANGE  STEFAN=5.670374419E-8*1.5\n"), std::string::npos);
  EXPECT_NE(r.out.find(" CHANGE  T4=30\n"), std::string::npos) << "the statements after a failing one are read";
  EXPECT_NE(r.out.find("Node does not exist in sub-model"), std::string::npos);
  EXPECT_NE(r.out.find("(PARNDS,   3)"), std::string::npos);
  EXPECT_NE(r.out.find("*** PROGRAM FAILS IN READING PARAMETERS FILE ***"), std::string::npos)
      << "the failing statement fails the run";
}

}  // namespace run_program_test
