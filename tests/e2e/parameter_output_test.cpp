// The per-case output of a parameter-case run of the sample model program:
// the CSV result file against the per-case TMD file of the same run, the
// per-case GFF files, one CSV and one print file per case, and the failures
// that end the run.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/platform/fixed_string.h"
#include "tests/support/hdf5_read_back.h"
#include "tests/support/test_support.h"
#include "tools/sample_model.h"

namespace parameter_output_test {

namespace fs = std::filesystem;
using kalvir::test::lines_of;
using kalvir::test::csv_fields;

struct CaseRun {
  int status = -1;
  std::string out;
};

// Runs the sample model program in DIR with the parameter-case file CASES.
CaseRun run_cases(const fs::path& dir, const std::string& cases) {
  kalvir::sample::write_sample_inputs(dir);
  std::ofstream(dir / "ORVIK_TE.PAR") << cases;
  const std::string cmd = "cd '" + dir.string() + "' && '" KALVIR_MODEL_PROGRAM "' > run.out 2> run.err";
  const int w = std::system(cmd.c_str());
  return {WIFEXITED(w) ? WEXITSTATUS(w) : -1, kalvir::test::read_file(dir / "run.out")};
}

constexpr const char* kCases =
    "!INITIAL = 'WARM INTERFACE'\n"
    "CHANGE T4 = 20.0\n"
    "!INITIAL\n"
    "CHANGE C101 = 6048\n";

TEST(ParameterOutput, CsvRowsHoldTheTemperaturesOfTheCaseTmdFile) {
  kalvir::test::TempDir dir;
  const CaseRun r = run_cases(dir.path(), "$PARAMETERS, CSV_ENTITIES=(TIMEN,SOLVER,T:*), TMD_ENTITIES='NODES', "
                                      "GFF_ENTITIES='NODES'\n" + std::string(kCases));
  ASSERT_EQ(r.status, 0) << r.out;
  const auto csv = lines_of(dir.path() / "ORVIK_TE_PAR.csv");
  ASSERT_GT(csv.size(), 3u);
  EXPECT_EQ(csv[0].rfind("KALVIR 2020;  MODEL ORVIK_TESTBED_01;  TIME ", 0), 0u) << csv[0];
  EXPECT_EQ(csv[1], "");
  const std::vector<std::string> columns = csv_fields(csv[2]);
  ASSERT_GT(columns.size(), 5u);
  EXPECT_EQ(std::vector<std::string>(columns.begin(), columns.begin() + 5),
            (std::vector<std::string>{"Parameter case number", "Parameter case name", "Time", "TIMEN", "SOLVER"}));

  // Rows by case, each with every column.
  std::map<std::string, std::vector<std::vector<std::string>>> rows;
  for (std::size_t k = 3; k < csv.size(); ++k) {
    const auto f = csv_fields(csv[k]);
    ASSERT_EQ(f.size(), columns.size()) << "row " << k;
    rows[f[0]].push_back(f);
  }
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(csv[3].rfind("0,ORIGINAL,", 0), 0u);
  EXPECT_EQ(rows["1"][0][1], "WARM INTERFACE");
  for (const auto& f : rows["2"]) EXPECT_EQ(f[1], "") << "an untitled case";

  // Case 1's temperatures against its TMD file, time by time.
  kalvir::test::H5Reader tmd((dir.path() / "ORVIK_TE_PAR0001_WARM-INTERFACE.TMD").string());
  ASSERT_TRUE(tmd.ok());
  const std::vector<double> times = tmd.doubles("/AnalysisSet1/DataGroup1/times");
  ASSERT_EQ(times.size(), rows["1"].size());
  const std::vector<std::string> attributes = tmd.strings("/AnalysisSet1/thermalNodesRealAttributes");
  std::size_t t_column = attributes.size();
  for (std::size_t c = 0; c < attributes.size(); ++c)
    if (kalvir::trim_right(attributes[c]) == "Temperature") t_column = c;
  ASSERT_LT(t_column, attributes.size());
  const std::vector<std::int32_t> nodes = tmd.ints("/AnalysisSet1/thermalNodes");
  const std::size_t nnodes = nodes.size() / 2;
  const std::vector<double> data = tmd.doubles("/AnalysisSet1/DataGroup1/thermalNodesRealData");
  std::size_t compared = 0;
  for (std::size_t k = 0; k < times.size(); ++k) {
    const auto& row = rows["1"][k];
    EXPECT_NEAR(std::stod(row[3]), times[k], 1e-6 * std::abs(times[k]) + 1e-9);
    for (std::size_t i = 0; i < nnodes; ++i) {
      const std::string label = "T" + std::to_string(nodes[2 * i]);
      const auto col = std::find(columns.begin(), columns.end(), label);
      ASSERT_NE(col, columns.end()) << label;
      const double t = data[(k * nnodes + i) * attributes.size() + t_column];
      // Seven significant digits in the CSV file.
      EXPECT_NEAR(std::stod(row[static_cast<std::size_t>(col - columns.begin())]), t, 6e-7 * std::abs(t) + 1e-12)
          << label << " at output " << k;
      ++compared;
    }
  }
  EXPECT_GT(compared, 0u);

  // Per-case GFF files: a header, then data lines that each start with a record type.
  for (const char* name : {"ORVIK_TE_PAR0000_ORIGINAL.GFF", "ORVIK_TE_PAR0001_WARM-INTERFACE.GFF",
                           "ORVIK_TE_PAR0002.GFF"}) {
    const auto gff = lines_of(dir.path() / name);
    const auto end = std::find(gff.begin(), gff.end(), "End_Header");
    ASSERT_NE(end, gff.end()) << name;
    ASSERT_NE(end + 1, gff.end()) << name;
    for (auto it = end + 1; it != gff.end(); ++it)
      ASSERT_TRUE(it->size() > 2 && (*it)[0] >= '1' && (*it)[0] <= '7' && (*it)[1] == ' ') << name << ": " << *it;
  }
}

TEST(ParameterOutput, EachCaseGetsItsOwnCsvAndPrintFile) {
  kalvir::test::TempDir dir;
  const fs::path parent = dir.path() / "run";
  fs::create_directory(parent);
  const CaseRun r = run_cases(parent, "$PARAMETERS, OUTPUT=MULTIPLE, CSV_OUTPUT=MULTIPLE, CSV_ENTITIES=(T4)\n"
                                  "!INITIAL = '../x'\nCHANGE T4 = 20.0\n");
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out.find("Parameter Case No."), std::string::npos) << "every case prints into its own file";
  const std::string base = kalvir::test::read_file(parent / "ORVIK_TE_PAR0000_ORIGINAL.out");
  const std::string case1 = kalvir::test::read_file(parent / "ORVIK_TE_PAR0001_.--x.out");
  EXPECT_NE(base.find("TEST-BED INTERFACE"), std::string::npos) << "the base case prints its node tables";
  EXPECT_NE(case1.find(" # Parameter Case No.:     1"), std::string::npos);
  EXPECT_NE(case1.find(" CHANGE  T4=20.0"), std::string::npos);
  EXPECT_NE(case1.find("TEST-BED INTERFACE"), std::string::npos) << "the case's node tables";

  const auto csv0 = lines_of(parent / "ORVIK_TE_PAR0000_ORIGINAL.csv");
  const auto csv1 = lines_of(parent / "ORVIK_TE_PAR0001_.--x.csv");
  ASSERT_GT(csv1.size(), 3u);
  EXPECT_EQ(csv0.size(), csv1.size());
  EXPECT_EQ(csv1[2], "Parameter case number,Parameter case name,Time,T4");
  EXPECT_EQ(csv1[3].rfind("1,../x, 0.0000E+00, 2.000000E+01", 0), 0u) << csv1[3];
  EXPECT_FALSE(fs::exists(parent / "ORVIK_TE_PAR.csv"));
  // Nothing of the case lies outside the run directory.
  for (const auto& e : fs::directory_iterator(dir.path())) EXPECT_EQ(e.path().filename(), "run");
}

TEST(ParameterOutput, ACsvFileThatCannotBeWrittenEndsTheRunWithStatus1) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  kalvir::test::TempDir dir;
  fs::create_symlink("/dev/full", dir.path() / "ORVIK_TE_PAR.csv");
  const CaseRun r = run_cases(dir.path(), "$PARAMETERS, CSV_ENTITIES=(T4)\n" + std::string(kCases));
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.out.find("Error writing to csv file"), std::string::npos) << r.out;
}

TEST(ParameterOutput, TheFailureTextOfACaseRunGoesToStandardOutput) {
  kalvir::test::TempDir dir;
  const CaseRun r = run_cases(dir.path(), "$PARAMETERS, OUTPUT=MULTIPLE\n!INITIAL = 'B'\nCHANGE T99999 = 1\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("*** PROGRAM FAILS IN READING PARAMETERS FILE ***"), std::string::npos) << r.out;
  const std::string case1 = kalvir::test::read_file(dir.path() / "ORVIK_TE_PAR0001_B.out");
  EXPECT_NE(case1.find("(PARNDS,   3)"), std::string::npos) << "the statement's message stays with its case";
  EXPECT_EQ(case1.find("PROGRAM FAILS"), std::string::npos);
}

TEST(ParameterOutput, TheGuidesExampleRuns) {
  kalvir::test::TempDir dir;
  const CaseRun r =
      run_cases(dir.path(), kalvir::test::read_file(fs::path(KALVIR_SOURCE_DIR) / "tools/examples/ORVIK_TE.PAR"));
  ASSERT_EQ(r.status, 0) << r.out;
  const auto csv = lines_of(dir.path() / "ORVIK_TE_PAR.csv");
  ASSERT_GT(csv.size(), 3u);
  EXPECT_EQ(csv[2], "Parameter case number,Parameter case name,Time,TIMEN,SOLVER,T4,T101,T301,\"GL(4,101)\"");
  EXPECT_EQ(csv.back().rfind("3,MORE RADIATION,", 0), 0u) << csv.back();
  EXPECT_TRUE(fs::exists(dir.path() / "ORVIK_TE_PAR0002_WARM-INTERFACE.GFF"));
  EXPECT_TRUE(fs::exists(dir.path() / "ORVIK_TE_PAR0003_MORE-RADIATION.TMD"));
}

// The advice of docs/parameter_cases.md: a file is run with CHECK first. The
// example file with CHECK in its options record reads every case and runs
// none; an error in its last case fails the check run, where a run without
// CHECK would have run every case before it first.
TEST(ParameterOutput, TheGuidesCheckRunFindsAnErrorInTheLastCase) {
  std::string cases = kalvir::test::read_file(fs::path(KALVIR_SOURCE_DIR) / "tools/examples/ORVIK_TE.PAR");
  ASSERT_EQ(cases.rfind("$PARAMETERS", 0), 0u);
  cases.insert(std::string_view("$PARAMETERS").size(), ", CHECK");
  kalvir::test::TempDir good;
  const CaseRun r = run_cases(good.path(), cases);
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_FALSE(fs::exists(good.path() / "ORVIK_TE_PAR.csv")) << "a check run runs no case";
  kalvir::test::TempDir bad;
  const CaseRun b = run_cases(bad.path(), cases + "CHANGE NOSUCHCONSTANT = 1\n");
  EXPECT_EQ(b.status, 1) << b.out;
  EXPECT_NE(b.out.find("*** PROGRAM FAILS IN READING PARAMETERS FILE ***"), std::string::npos) << b.out;
}

}  // namespace parameter_output_test
