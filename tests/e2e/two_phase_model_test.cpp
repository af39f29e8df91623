// The two-phase loop model program of the tests (tests/support/models),
// built with the model-program build function: FGENFI takes the ammonia ring
// from its start to a steady state, the cyclic analysis over FGENFI settles
// under a periodic evaporator load, and the final transient writes the fluid
// nodes to the TMD file.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/platform/fixed_string.h"
#include "tests/support/hdf5_read_back.h"
#include "tests/support/models/two_phase_model.h"
#include "tests/support/test_support.h"
#include "tools/acd_writer.h"
#include "tools/mdb_description.h"
#include "tools/mdb_writer.h"

namespace two_phase_model_test {

kalvir::mdbw::Model two_phase_loop_model() {
  std::istringstream in{std::string(two_phase_model::kDescription)};
  return kalvir::mdbw::read_description(in);
}

struct State {
  double time = 0.0, evaporator = 0.0, condenser = 0.0, flow = 0.0, quality = 0.0;
};

State state_after(const std::string& out, const char* what) {
  State s;
  const std::string key = std::string(" ") + what + " TIME = ";
  const std::size_t at = out.find(key);
  EXPECT_NE(at, std::string::npos) << what << "\n" << out;
  if (at == std::string::npos) return s;
  const std::string format = key + "%lf EVAPORATOR = %lf CONDENSER = %lf FLOW = %lf QUALITY = %lf";
  EXPECT_EQ(std::sscanf(out.c_str() + at, format.c_str(), &s.time, &s.evaporator, &s.condenser, &s.flow, &s.quality), 5)
      << what;
  return s;
}

TEST(TwoPhaseModel, TheProgramStoresTheSizesOfItsModelDatabase) {
  const auto sizes = kalvir::mdbw::model_sizes(two_phase_loop_model());
  for (int word = 1; word <= 41; ++word)
    EXPECT_EQ(sizes.flags[static_cast<std::size_t>(word - 1)], two_phase_model::kFlags[static_cast<std::size_t>(word - 1)])
        << "FLAGS word " << word;
  for (int word = 1; word <= 5; ++word)
    EXPECT_EQ(sizes.sprsiz[static_cast<std::size_t>(word - 1)], two_phase_model::kSprsiz[static_cast<std::size_t>(word - 1)])
        << "SPRSIZ word " << word;
}

TEST(TwoPhaseModel, SteadyStateCyclicAnalysisAndFinalTransient) {
  kalvir::test::TempDir dir;
  ASSERT_TRUE(kalvir::mdbw::build_mdb(two_phase_loop_model()).save(dir.file("RING.MDB")));
  kalvir::acd::ModelGroup root;
  kalvir::acd::write_acd_file(dir.path() / "RING.acd", root);

  const std::string cmd = "cd '" + dir.path().string() + "' && '" KALVIR_TWO_PHASE_PROGRAM "' > run.out 2> run.err";
  const int w = std::system(cmd.c_str());
  ASSERT_TRUE(WIFEXITED(w));
  std::string out = kalvir::test::read_file(dir.path() / "run.out");
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    const std::string extension = entry.path().extension().string();
    if (extension != ".MDB" && extension != ".acd" && !extension.starts_with(".TMD"))
      out += kalvir::test::read_file(entry.path());
  }
  ASSERT_EQ(WEXITSTATUS(w), 0) << out << kalvir::test::read_file(dir.path() / "run.err");
  EXPECT_EQ(out.find("Failed to converge"), std::string::npos) << out;
  // No property function is asked for a state outside its tables, the
  // cyclic analysis's fluid-node rates of the boiling nodes included.
  EXPECT_EQ(out.find("WARNING"), std::string::npos) << out;
  EXPECT_NE(out.find("CONDENSER"), std::string::npos) << out;

  // Steady state: the condenser's conductor to the 0 deg C sink rejects the
  // evaporator's mean load, the flow is the same in every link, and the
  // evaporator's outlet boils.
  const State steady = state_after(out, "STEADY");
  EXPECT_DOUBLE_EQ(steady.time, 2.0 * two_phase_model::kPeriod);
  EXPECT_NEAR(two_phase_model::kSinkConductance * steady.condenser, two_phase_model::kMeanLoad, 0.5);
  EXPECT_GT(steady.flow, 0.0);
  EXPECT_GT(steady.quality, 0.0);
  EXPECT_LT(steady.quality, 1.0);

  // The cyclic analysis, comparing temperatures and rates, settles within
  // its tolerances, and the final
  // transient over one period ends where the converged cycle ended.
  EXPECT_NE(out.find("SOLCYC cycle number: 2"), std::string::npos) << out;
  const State cyclic = state_after(out, "CYCLIC"), period = state_after(out, "PERIOD");
  EXPECT_NEAR(period.evaporator, cyclic.evaporator, 0.01);
  EXPECT_NEAR(period.condenser, cyclic.condenser, 0.01);
  // Over a whole period the sink takes the mean load: the condenser swings
  // about the steady value.
  EXPECT_NEAR(period.condenser, steady.condenser, two_phase_model::kAmplitude / two_phase_model::kSinkConductance);

  // The first transient wrote RING.TMD (0, 200 and 400 s); the final one
  // starts at 400 s, not after the last time stored, so it is solution 2 in
  // RING.TMD2: outputs at its start and every OUTINT, fluid nodes included.
  const std::string dg1 = "/AnalysisSet1/DataGroup1";
  kalvir::test::H5Reader first((dir.path() / "RING.TMD").string());
  ASSERT_TRUE(first.ok());
  EXPECT_EQ(first.doubles(dg1 + "/times"), (std::vector<double>{0.0, 200.0, 400.0}));
  kalvir::test::H5Reader tmd((dir.path() / "RING.TMD2").string());
  ASSERT_TRUE(tmd.ok());
  EXPECT_EQ(tmd.doubles(dg1 + "/times"), (std::vector<double>{400.0, 450.0, 500.0, 550.0, 600.0}));
  EXPECT_EQ(tmd.string_attribute(dg1, "Description"), kalvir::padded("Solution number 2", 100));
  bool fluid = false;
  for (const std::string& object : tmd.objects()) fluid = fluid || object.find("fluidNodes") != std::string::npos;
  EXPECT_TRUE(fluid);
}

}  // namespace two_phase_model_test
