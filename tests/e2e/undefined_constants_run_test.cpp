// The sample model program on an MDB file that leaves optional control
// constants undefined (TIMEO, DAMPT, DTROCA, ARITH and the other constants
// whose sample value is the neutral one): the run and its result file must
// be those of the file that sets them, and the marker must appear in no
// stored time, temperature or constant the routines read.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/gcc_accessors.h"
#include "runtime/control/status.h"
#include "tests/support/hdf5_read_back.h"
#include "tests/support/test_support.h"
#include "tools/sample_model.h"

namespace undefined_constants_run_test {

namespace fs = std::filesystem;

constexpr const char* kData = "/AnalysisSet1/DataGroup1/";

bool same_bits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

TEST(UndefinedConstantsRun, TheSampleRunsAsWithTheNeutralValuesSet) {
  kalvir::test::TempDir set_dir, unset_dir;
  kalvir::sample::write_sample_inputs(set_dir.path());
  kalvir::sample::write_sample_inputs(unset_dir.path());

  kalvir::mdbw::Model model = kalvir::sample::model();
  const auto names = glor_names();
  std::vector<std::string> unset;
  for (const NeutralReal& n : neutral_reals()) {
    auto& slot = model.glor.at(static_cast<std::size_t>(std::find(names.begin(), names.end(), n.name) - names.begin()));
    if (!slot || *slot == n.value) {
      slot.reset();
      unset.emplace_back(n.name);
    }
  }
  ASSERT_GE(unset.size(), 4U);  // TIMEO, DAMPT, DTROCA, ARITH at least
  ASSERT_TRUE(kalvir::mdbw::build_mdb(model).save((unset_dir.path() / "ORVIK_TE.MDB").string()));

  for (const fs::path& dir : {set_dir.path(), unset_dir.path()}) {
    const auto r = kalvir::test::run_command(dir, "'" KALVIR_MODEL_PROGRAM "'");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
  }

  kalvir::test::H5Reader set_tmd((set_dir.path() / "ORVIK_TESTBED_01.TMD").string());
  kalvir::test::H5Reader unset_tmd((unset_dir.path() / "ORVIK_TESTBED_01.TMD").string());
  ASSERT_TRUE(set_tmd.ok());
  ASSERT_TRUE(unset_tmd.ok());
  const std::string times = std::string(kData) + "times";
  const std::string temps = std::string(kData) + "thermalNodesRealData";
  const std::vector<double> t = unset_tmd.doubles(times);
  ASSERT_FALSE(t.empty());
  EXPECT_EQ(t.front(), 0.0);
  EXPECT_TRUE(same_bits(set_tmd.doubles(times), t));
  const std::vector<double> values = unset_tmd.doubles(temps);
  EXPECT_TRUE(same_bits(set_tmd.doubles(temps), values));
  for (double v : t) EXPECT_FALSE(SDUNDF(v));
  EXPECT_TRUE(std::none_of(values.begin(), values.end(), [](double v) { return SDUNDF(v); }));

  // The constants left undefined are stored with their neutral values.
  const std::vector<double> constants = unset_tmd.doubles(std::string(kData) + "controlConstantsRealData");
  const std::size_t n = gcc_ctrl_const_names_real.size();
  ASSERT_EQ(constants.size() % n, 0U);
  for (const std::string& name : unset) {
    const auto column = static_cast<std::size_t>(
        std::find_if(gcc_ctrl_const_names_real.begin(), gcc_ctrl_const_names_real.end(),
                     [&](const std::string& s) { return s.substr(0, s.find(' ')) == name; }) -
        gcc_ctrl_const_names_real.begin());
    ASSERT_LT(column, n) << name;
    for (std::size_t row = 0; row < constants.size() / n; ++row)
      EXPECT_FALSE(SDUNDF(constants[row * n + column])) << name << " in output " << row + 1;
  }
}

}  // namespace undefined_constants_run_test
