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
#include "tests/support/models/tiny_model.h"
#include "tests/support/test_support.h"
#include "tools/acd_writer.h"
#include "tools/mdb_writer.h"

namespace {

kalvir::mdbw::Model tiny_model() {
  kalvir::mdbw::Model m;
  m.name = "TINY";
  m.dystor = tiny::kFlags[27];
  kalvir::mdbw::Submodel s;
  s.name = "TINY";
  kalvir::mdbw::ThermalNode n1;
  n1.number = 1;
  n1.label = "CHARGED";
  n1.T = 0.0;
  n1.C = tiny::kCapacitance;
  kalvir::mdbw::ThermalNode n2;
  n2.number = 2;
  n2.label = "SOURCE";
  n2.T = tiny::kBoundary;
  n2.status = 'B';
  s.nodes = {n1, n2};
  s.gl.push_back({1, 2, tiny::kConductance, 'A'});
  m.submodels.push_back(s);
  const std::pair<std::string_view, double> reals[] = {
      {"CSGMIN", 0.0},   {"DAMPT", 1.0},       {"DTIMEI", 0.1},     {"DTIMEU", 0.0},     {"DTMAX", 0.5},
      {"DTMIN", 1.0e-4}, {"DTPMAX", 1.0e10},   {"ENBALA", 1.0e10},  {"ENBALR", 1.0e10},  {"INBALA", 1.0e10},
      {"INBALR", 1.0e10}, {"OUTINT", 10.0},    {"RELXCA", 1.0e-6},  {"RELXCC", 0.0},     {"STEFAN", 5.670374419e-8},
      {"TIMEM", 0.0},    {"TIMEN", 0.0},       {"TIMEND", 100.0},   {"TIMEO", 0.0},      {"TABS", 273.15},
      {"PABS", 0.0},     {"DAMPM", 1.0},       {"ARITH", 0.0},      {"DTROCA", 1.0e10},  {"DTROCC", 0.0},
      {"ENBNDM", 0.0},   {"INBNDM", 0.0}};
  const std::pair<std::string_view, std::int32_t> ints[] = {{"LOOPCT", 0}, {"MODEL", 1},  {"NCSGMN", 0},
                                                            {"NLOOP", 100}, {"LENGTH", 60}, {"WIDTH", 132},
                                                            {"MLEVEL", 1},  {"PRGFBK", 0},  {"STEPCT", 0}};
  const auto at = [](std::span<const std::string_view> names, std::string_view name) {
    return static_cast<std::size_t>(std::find(names.begin(), names.end(), name) - names.begin());
  };
  for (const auto& [name, value] : reals) m.glor.at(at(glor_names(), name)) = value;
  for (const auto& [name, value] : ints) m.gloi.at(at(gloi_names(), name)) = value;
  return m;
}

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

}  // namespace
