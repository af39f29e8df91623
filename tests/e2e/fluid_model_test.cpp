// The fluid-loop model program of the tests (tests/support/models), built
// with the model-program build function: the cyclic analysis over FLTNTS
// settles, the final FLTNTS transient prints node tables with the fluid nodes
// and writes them to the TMD file.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <numbers>
#include <sstream>
#include <string>

#include "tests/support/hdf5_read_back.h"
#include "tests/support/models/fluid_model.h"
#include "tests/support/test_support.h"
#include "tools/acd_writer.h"
#include "tools/mdb_description.h"
#include "tools/mdb_writer.h"

namespace fluid_model_test {

kalvir::mdbw::Model fluid_loop_model() {
  std::istringstream in{std::string(fluid_model::kDescription)};
  return kalvir::mdbw::read_description(in);
}

TEST(FluidModel, TheProgramStoresTheSizesOfItsModelDatabase) {
  const auto sizes = kalvir::mdbw::model_sizes(fluid_loop_model());
  for (int word = 1; word <= 41; ++word)
    EXPECT_EQ(sizes.flags[static_cast<std::size_t>(word - 1)], fluid_model::kFlags[static_cast<std::size_t>(word - 1)])
        << "FLAGS word " << word;
}

TEST(FluidModel, CyclicAnalysisAndFinalTransientWriteTheFluidNodes) {
  kalvir::test::TempDir dir;
  ASSERT_TRUE(kalvir::mdbw::build_mdb(fluid_loop_model()).save(dir.file("LOOP.MDB")));
  kalvir::acd::ModelGroup root;
  kalvir::acd::write_acd_file(dir.path() / "LOOP.acd", root);

  const std::string cmd = "cd '" + dir.path().string() + "' && '" KALVIR_FLUID_PROGRAM "' > run.out 2> run.err";
  const int w = std::system(cmd.c_str());
  ASSERT_TRUE(WIFEXITED(w));
  std::string out = kalvir::test::read_file(dir.path() / "run.out");
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    if (entry.path().extension() != ".MDB" && entry.path().extension() != ".acd" &&
        entry.path().extension() != ".tmd")
      out += kalvir::test::read_file(entry.path());
  ASSERT_EQ(WEXITSTATUS(w), 0) << out << kalvir::test::read_file(dir.path() / "run.err");
  EXPECT_EQ(out.find("Failed to converge"), std::string::npos) << out;
  EXPECT_NE(out.find("CHANNEL"), std::string::npos) << out;

  // The channel node holds almost no heat and passes the wall's heat to a
  // flow of capacity m cp, so the wall follows C dT/dt = Q(t) - (1 + G)T +
  // 20 G, with G the 5 W/K conductor in series with m cp. Its periodic
  // solution at the cycle's end (t = 0 of the period) is Tm - A sin(phi).
  const std::size_t at = out.find(" WALL = ");
  ASSERT_NE(at, std::string::npos) << out;
  double wall = 0.0, channel = 0.0, flow = 0.0;
  ASSERT_EQ(std::sscanf(out.c_str() + at, " WALL = %lf CHANNEL = %lf FLOW = %lf", &wall, &channel, &flow), 3);
  const double mcp = flow * 4182.0;
  const double g = 5.0 * mcp / (5.0 + mcp), k = 1.0 + g;
  const double cw = 200.0 * 2.0 * std::numbers::pi / fluid_model::kPeriod;
  const double mean = (fluid_model::kMeanLoad + 20.0 * g) / k;
  const double amplitude = fluid_model::kAmplitude / std::hypot(k, cw);
  EXPECT_NEAR(wall, mean - amplitude * cw / std::hypot(k, cw), 0.02);
  EXPECT_NEAR(channel, (mcp * 20.0 + 5.0 * wall) / (mcp + 5.0), 0.01);

  // Outputs at 0 and every OUTINT of the final transient, fluid nodes included.
  kalvir::test::H5Reader tmd((dir.path() / "LOOP.TMD").string());
  ASSERT_TRUE(tmd.ok());
  EXPECT_EQ(tmd.doubles("/AnalysisSet1/DataGroup1/times").size(), 7U);
  bool fluid = false;
  for (const std::string& object : tmd.objects()) fluid = fluid || object.find("fluidNodes") != std::string::npos;
  EXPECT_TRUE(fluid);
}

}  // namespace fluid_model_test
