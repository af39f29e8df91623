// A model program of the tests' own (tests/support/models), built with the
// model-program build function and run on files written here: a capacitance
// charged through one conductor from a boundary node must follow the exact
// exponential.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "runtime/control/control_constants.h"
#include "tests/e2e/tiny_inputs.h"
#include "tests/support/models/tiny_model.h"
#include "tests/support/test_support.h"
#include "tools/acd_writer.h"
#include "tools/mdb_writer.h"

namespace tiny_model_test {

using kalvir::test::tiny_model;

TEST(TinyModel, TheProgramStoresTheSizesOfItsModelDatabase) {
  const auto sizes = kalvir::mdbw::model_sizes(tiny_model());
  for (int word = 1; word <= 41; ++word) {
    EXPECT_EQ(sizes.flags[static_cast<std::size_t>(word - 1)], tiny::kFlags[static_cast<std::size_t>(word - 1)])
        << "FLAGS word " << word;
  }
}

TEST(TinyModel, ACapacitanceChargedThroughOneConductorFollowsTheExponential) {
  kalvir::test::TempDir dir;
  ASSERT_TRUE(kalvir::mdbw::build_mdb(tiny_model()).save(dir.file("TINY.MDB")));
  kalvir::acd::ModelGroup root;  // a case without data
  kalvir::acd::write_acd_file(dir.path() / "TINY.acd", root);

  const std::string cmd = "cd '" + dir.path().string() + "' && '" KALVIR_TINY_PROGRAM "' > run.out 2> run.err";
  const int w = std::system(cmd.c_str());
  ASSERT_TRUE(WIFEXITED(w));
  const std::string out = kalvir::test::read_file(dir.path() / "run.out");
  ASSERT_EQ(WEXITSTATUS(w), 0) << out << kalvir::test::read_file(dir.path() / "run.err");

  const std::size_t at = out.find(" T1 = ");
  ASSERT_NE(at, std::string::npos) << out;
  const double t1 = std::stod(out.substr(at + 6));
  const double tau = tiny::kCapacitance / tiny::kConductance;
  const double exact = tiny::kBoundary * (1.0 - std::exp(-tiny::kEnd / tau));
  EXPECT_NEAR(t1, exact, 1.0e-4 * tiny::kBoundary);
}

}  // namespace tiny_model_test
