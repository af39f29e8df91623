// The plate of the model-program guide (tools/examples/external_model), built
// as the guide builds it and run on its own descriptions: as written, and with
// the constants its blocks use (STEPCT, which the variables 2 block counts
// with GLOI.STEPCT += 1, and PRGFBK, read by the monitor) left undefined. The
// count must start from 0 either way, the monitor must write a line for every
// step, and no integer control constant that a routine reads may reach the
// TMD file as the marker.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/gcc_accessors.h"
#include "runtime/control/status.h"
#include "tests/support/hdf5_read_back.h"
#include "tests/support/test_support.h"
#include "tools/acd_description.h"
#include "tools/acd_writer.h"
#include "tools/mdb_description.h"
#include "tools/mdb_writer.h"

namespace plate_example_test {

namespace fs = std::filesystem;

const std::string kExample = KALVIR_SOURCE_DIR "/tools/examples/external_model/";
constexpr const char* kData = "/AnalysisSet1/DataGroup1/";

struct Variant {
  const char* name;
  std::vector<std::string> dropped;  // control constants whose lines are left out
};

// The example's MDB description without the "control NAME" lines of DROPPED.
std::string description(const std::vector<std::string>& dropped) {
  std::istringstream in(kalvir::test::read_file(kExample + "plate.mdbtxt"));
  std::string text;
  for (std::string line; std::getline(in, line);) {
    const bool drop = std::any_of(dropped.begin(), dropped.end(),
                                  [&](const std::string& name) { return line.rfind("control " + name + " ", 0) == 0; });
    if (!drop) text += line + "\n";
  }
  return text;
}

struct PlateRun {
  kalvir::test::CommandResult result;
  std::vector<std::string> monitor;
  std::vector<std::int32_t> tmd_ints;  // controlConstantsIntegerData, row by row
  std::vector<double> temperatures;
};

PlateRun run_plate(const kalvir::test::TempDir& dir, const Variant& v) {
  std::istringstream mdb(description(v.dropped));
  EXPECT_TRUE(kalvir::mdbw::build_mdb(kalvir::mdbw::read_description(mdb)).save(dir.file("PLATE.MDB")));
  std::ifstream acd(kExample + "plate.acdtxt");
  kalvir::acd::write_acd_file(dir.path() / "PLATE.acd", kalvir::acd::read_description(acd));
  PlateRun r;
  r.result = kalvir::test::run_command(dir.path(), "'" KALVIR_PLATE_PROGRAM "'");
  r.monitor = kalvir::test::lines_of(dir.path() / "PLATE.MON");
  kalvir::test::H5Reader tmd((dir.path() / "PLATE.TMD").string());
  if (tmd.ok()) {
    r.tmd_ints = tmd.ints(std::string(kData) + "controlConstantsIntegerData");
    r.temperatures = tmd.doubles(std::string(kData) + "thermalNodesRealData");
  }
  return r;
}

std::size_t int_column(std::string_view name) {
  const auto& names = gcc_ctrl_const_names_int;
  return static_cast<std::size_t>(
      std::find_if(names.begin(), names.end(), [&](const std::string& s) { return s.substr(0, s.find(' ')) == name; }) -
      names.begin());
}

// The fields of a monitor line, blanks trimmed.
std::vector<std::string> fields(const std::string& line) {
  std::vector<std::string> out;
  std::istringstream in(line);
  for (std::string f; std::getline(in, f, ',');) {
    const std::size_t a = f.find_first_not_of(' ');
    out.push_back(a == std::string::npos ? std::string() : f.substr(a));
  }
  return out;
}

TEST(PlateExample, CountsItsStepsFromZeroAndMonitorsEveryStepWithOrWithoutTheCountersSet) {
  const Variant variants[] = {{"as written", {}}, {"STEPCT and PRGFBK undefined", {"STEPCT", "PRGFBK"}}};
  std::vector<double> written_temperatures;
  for (const Variant& v : variants) {
    SCOPED_TRACE(v.name);
    kalvir::test::TempDir dir;
    const PlateRun r = run_plate(dir, v);
    ASSERT_EQ(r.result.status, 0) << r.result.out << r.result.err;

    // The TMD file: STEPCT 0 at the start, the number of steps at TIMEND.
    const std::size_t n = gcc_ctrl_const_names_int.size();
    ASSERT_FALSE(r.tmd_ints.empty());
    ASSERT_EQ(r.tmd_ints.size() % n, 0U);
    const std::size_t rows = r.tmd_ints.size() / n, stepct = int_column("STEPCT");
    ASSERT_LT(stepct, n);
    EXPECT_EQ(r.tmd_ints[stepct], 0);
    const std::int32_t steps = r.tmd_ints[(rows - 1) * n + stepct];
    ASSERT_GT(steps, 20);  // 2000 s in steps of at most DTMAX 100 s

    // Header, one line per step (the last one END), the closing line.
    ASSERT_EQ(r.monitor.size(), static_cast<std::size_t>(steps) + 2);
    for (std::int32_t k = 1; k <= steps; ++k) {
      const std::vector<std::string> f = fields(r.monitor[static_cast<std::size_t>(k)]);
      ASSERT_GE(f.size(), 9U);
      EXPECT_EQ(f[1], k < steps ? "SOL" : "END") << "step " << k;
      EXPECT_EQ(f[2], "SLCRNC");
      EXPECT_EQ(f[7], std::to_string(k));
    }
    EXPECT_NE(r.monitor.back().find(",  EXIT"), std::string::npos) << r.monitor.back();

    // No constant that a routine reads with its neutral value is stored as
    // the marker.
    for (const NeutralInt& c : neutral_ints()) {
      const std::size_t column = int_column(c.name);
      ASSERT_LT(column, n) << c.name;
      for (std::size_t row = 0; row < rows; ++row)
        EXPECT_FALSE(SUNDCK(r.tmd_ints[row * n + column])) << c.name << " in output " << row + 1;
    }
    // The counters are the model's own business: the run is the same.
    if (written_temperatures.empty())
      written_temperatures = r.temperatures;
    else
      EXPECT_EQ(r.temperatures, written_temperatures);
  }
}

}  // namespace plate_example_test
