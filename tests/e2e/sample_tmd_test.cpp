// The sample model's result file, read back through the HDF5 C API and held
// against the node tables the same run printed.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "runtime/platform/fixed_string.h"
#include "tests/support/hdf5_read_back.h"
#include "tests/support/sample_runs.h"

namespace sample_tmd_test {

namespace fs = std::filesystem;

using kalvir::test::PrintedRun;
using kalvir::test::PrintedTable;

TEST(SampleResultFile, HoldsOneSlabPerOutputTimeWithThePrintedTemperatures) {
  const kalvir::test::SampleRun run = kalvir::test::run_sample(KALVIR_MODEL_PROGRAM);
  ASSERT_EQ(run.status, 0) << run.errors;
  const fs::path& dir = run.dir->path();
  const PrintedRun printed = kalvir::test::parse_print(run.printed);
  ASSERT_EQ(printed.times.size(), 11U) << "outputs at 0 and every OUTINT up to TIMEND";

  kalvir::test::H5Reader tmd((dir / "ORVIK_TESTBED_01.TMD").string());
  ASSERT_TRUE(tmd.ok());
  const std::vector<std::string> expected_objects{
      "/AnalysisSet1",
      "/AnalysisSet1/DataGroup1",
      "/AnalysisSet1/DataGroup1/conductorDataGL",
      "/AnalysisSet1/DataGroup1/conductorDataGR",
      "/AnalysisSet1/DataGroup1/controlConstantsIntegerData",
      "/AnalysisSet1/DataGroup1/controlConstantsRealData",
      "/AnalysisSet1/DataGroup1/controlConstantsStringData",
      "/AnalysisSet1/DataGroup1/thermalNodesRealData",
      "/AnalysisSet1/DataGroup1/thermalNodesStringData",
      "/AnalysisSet1/DataGroup1/times",
      "/AnalysisSet1/DataGroup1/userConstantsRealData",
      "/AnalysisSet1/conductorsGL",
      "/AnalysisSet1/conductorsGR",
      "/AnalysisSet1/controlConstantsInteger",
      "/AnalysisSet1/controlConstantsReal",
      "/AnalysisSet1/controlConstantsString",
      "/AnalysisSet1/models",
      "/AnalysisSet1/thermalNodes",
      "/AnalysisSet1/thermalNodesRealAttributes",
      "/AnalysisSet1/thermalNodesStringAttributes",
      "/AnalysisSet1/userConstantsReal",
  };
  EXPECT_EQ(tmd.objects(), expected_objects);

  const std::vector<double> times = tmd.doubles("/AnalysisSet1/DataGroup1/times");
  ASSERT_EQ(times.size(), printed.times.size());
  for (std::size_t k = 0; k < times.size(); ++k) {
    EXPECT_NEAR(times[k], printed.times[k], 0.005) << "output " << k;
  }

  // Which column holds the temperature, and which row each user node has.
  const std::vector<std::string> columns = tmd.strings("/AnalysisSet1/thermalNodesRealAttributes");
  std::size_t t_column = columns.size();
  for (std::size_t c = 0; c < columns.size(); ++c) {
    if (kalvir::trim_right(columns[c]) == "Temperature") t_column = c;
  }
  ASSERT_LT(t_column, columns.size());
  const std::vector<std::uint64_t> dims = tmd.dims("/AnalysisSet1/DataGroup1/thermalNodesRealData");
  ASSERT_EQ(dims, (std::vector<std::uint64_t>{11, 397, columns.size()}));
  const std::vector<std::int32_t> nodes = tmd.ints("/AnalysisSet1/thermalNodes");  // (node, submodel) rows
  ASSERT_EQ(nodes.size(), 2U * 397U);
  const std::vector<double> data = tmd.doubles("/AnalysisSet1/DataGroup1/thermalNodesRealData");

  for (std::size_t k = 0; k < printed.tables.size(); ++k) {
    const PrintedTable& table = printed.tables[k];
    ASSERT_EQ(table.size(), 397U) << "every node printed at output " << k;
    for (std::size_t i = 0; i < 397; ++i) {
      const int user = nodes[2 * i];
      const auto it = table.find(user);
      ASSERT_NE(it, table.end()) << "node " << user;
      const double t = data[(k * 397 + i) * columns.size() + t_column];
      // The table prints two decimals: the file holds the unrounded value.
      EXPECT_NEAR(t, it->second, 0.005 + 1e-9) << "node " << user << " output " << k;
    }
  }
}

}  // namespace sample_tmd_test
