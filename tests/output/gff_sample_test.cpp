// The sample model ORVIK_TESTBED_01, loaded from its MDB file: a GFF file and
// a TMD file written at the same time must hold the same node temperatures,
// and the GFF conductor record every linear and radiative conductor once.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/gcc_accessors.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/shared_blocks.h"
#include "runtime/modeldata/model_tree.h"
#include "runtime/modeldata/node_groups.h"
#include "runtime/output/tmd/tmd_requests.h"
#include "tests/output/gff_test_support.h"
#include "tests/support/hdf5_read_back.h"
#include "tests/support/mdb_fixtures.h"
#include "tests/support/model_fixture.h"
#include "tests/support/test_support.h"
#include "tools/sample_model.h"

namespace gff_sample_test {

TEST(GffSampleModel, HoldsTheTemperaturesOfTheTmdFileAtTheSameTime) {
  kalvir::test::TempDir dir;
  kalvir::test::load_ok(kalvir::sample::model(), dir);
  kalvir::model_tree_reset_for_tests();
  Lschnd_clear_cache();
  kalvir::test::ScopedCwd cwd(dir.path());
  kalvir::tmd::reset_for_tests();
  JOBINF.date = "05 March     2026";
  JOBINF.time = "14:07:09";
  JOBINF.model = "ORVIK_TESTBED_01";
  GLOI.MODEL = 1;
  const double time = 2726.5;
  gcc_settimen(time);
  const std::int32_t nnode = FLAGS(flagw::NNODE);
  ASSERT_EQ(nnode, 397);
  // Temperatures with every digit in use, so that a swapped node shows.
  for (std::int32_t i = 1; i <= nnode; ++i) gar_thermalnodetemps(i) = -80.0 + 0.731 * i + 1.0e-4 * std::sin(i);

  DMPTMD(" ", "NODES(T)", 1, "SAMPLE");
  kalvir::tmd::reset_for_tests();  // closes the file
  kalvir::test::write_gff(dir.file("SAMPLE.GFF"), "", "Parameter case    1 HOT", "*", {time});

  kalvir::test::H5Reader tmd(dir.file("SAMPLE.TMD"));
  ASSERT_TRUE(tmd.ok());
  const std::vector<double> times = tmd.doubles("/AnalysisSet1/DataGroup1/times");
  ASSERT_EQ(times, std::vector<double>{time});
  const std::vector<std::string> columns = tmd.strings("/AnalysisSet1/thermalNodesRealAttributes");
  const auto t_column = static_cast<std::size_t>(
      std::find_if(columns.begin(), columns.end(),
                   [](const std::string& c) { return kalvir::trim_right(c) == "Temperature"; }) -
      columns.begin());
  ASSERT_LT(t_column, columns.size());
  const std::vector<std::int32_t> nodes = tmd.ints("/AnalysisSet1/thermalNodes");  // (node, submodel) rows
  const std::vector<double> data = tmd.doubles("/AnalysisSet1/DataGroup1/thermalNodesRealData");
  ASSERT_EQ(nodes.size(), 2U * 397U);
  std::map<std::pair<int, int>, double> tmd_t;  // (submodel, node) -> T
  for (std::size_t i = 0; i < 397; ++i) tmd_t[{nodes[2 * i + 1], nodes[2 * i]}] = data[i * columns.size() + t_column];

  const kalvir::test::GffFile gff = kalvir::test::read_gff(dir.file("SAMPLE.GFF"));
  ASSERT_EQ(gff.error, "");
  ASSERT_EQ(gff.records.size(), 3U);
  const kalvir::test::GffRecordType& node_record = gff.records[0];
  ASSERT_EQ(node_record.name, "Thermal_Node");
  const auto at = [&](const std::string& name) {
    return static_cast<std::size_t>(
        std::find(node_record.attributes.begin(), node_record.attributes.end(), name) -
        node_record.attributes.begin());
  };
  std::size_t seen = 0, gl = 0, gr = 0;
  for (const auto& line : gff.lines) {
    if (line.record == 2) {
      const int type = std::stoi(line.items[1]);
      gl += type == 1 ? 1 : 0;
      gr += type == 2 ? 1 : 0;
    }
    if (line.record != node_record.number) continue;
    ASSERT_EQ(line.items.size(), node_record.attributes.size());
    EXPECT_EQ(std::stod(line.items[at("Time")]), time);
    const std::pair<int, int> key{std::stoi(line.items[at("Model_Name")]), std::stoi(line.items[at("Node_Number")])};
    const auto it = tmd_t.find(key);
    ASSERT_NE(it, tmd_t.end()) << "node " << key.second;
    // Six significant digits.
    EXPECT_NEAR(std::stod(line.items[at("Temperature")]), it->second, 5.0e-6 * std::abs(it->second))
        << "node " << key.second;
    ++seen;
  }
  EXPECT_EQ(seen, 397U);
  EXPECT_EQ(gl, static_cast<std::size_t>(FLAGS(flagw::NGL)));
  EXPECT_EQ(gr, static_cast<std::size_t>(FLAGS(flagw::NGR)));
  EXPECT_EQ(gff.records[2].name, "Real_User_Constant");
  kalvir::test::release_model();
}

}  // namespace gff_sample_test
