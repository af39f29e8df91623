// Damaged input files run through the real start-up of a model program (the
// two-node program of tests/support/models). The analysis-case data: every
// count attribute set to -1, 0 and 2147483647, every dataset removed, shrunk
// to half, retyped or given a NaN. The model database: cut short, a record
// length made huge, an unknown status or activity letter. Each run must end
// within a fixed time with status 0, or with status 1 and a message; a count
// that claims more than its dataset holds must be reported by name before
// anything is sized from it, never by an allocation failure. Hundreds more
// damaged MDB files are loaded in process by
// tests/modeldata/mdb_corruption_test.cpp.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "tests/e2e/tiny_inputs.h"
#include "tests/support/message_frames.h"
#include "tests/support/test_support.h"
#include "tools/acd_writer.h"

namespace input_robustness_test {

namespace acd = kalvir::acd;
namespace fs = std::filesystem;
using kalvir::test::CaseName;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr const char* kArrays = "/ModelData/Arrays";

// A periodic case for the tiny model: static and solar fluxes on both nodes,
// and a curve and a 2 x 2 table in the Arrays group (values the start-up
// counts and the load appends, though the model names neither).
acd::ModelGroup tiny_case() {
  acd::ModelGroup root;
  root.analysisCaseType = 2;
  root.times = {0.0, 50.0, 100.0};
  root.period = 100.0;
  root.nodeList = {1, 2};
  root.staticAlbedo = {1.0, 0.0};
  root.staticPlanet = {2.0, 0.0};
  root.staticRemainder = {3.0, 0.0};
  root.staticSolar = {4.0, 0.0};
  root.solar.nodes = {1, 2};
  root.solar.values = {{1.0, 0.0}, {2.0, 0.0}, {3.0, 0.0}};
  acd::ArrayRecord curve;
  curve.name = "K";
  curve.values = {0.0, 1.0, 10.0, 2.0};
  root.arrays = acd::ArrayGroup{
      {curve, acd::make_table_2d("T", {1.0, 2.0}, {1.0, 2.0}, {{1.0, 2.0}, {3.0, 4.0}})}, {}, {}, {}};
  return root;
}

struct Damage {
  const char* what;
  std::function<void(acd::ModelGroup&)> change;  // before the ACD file is written
  std::function<void(const fs::path&)> edit;     // on the written ACD file
  const char* named;  // a text the failure must show (nullptr: any message)
  bool must_fail;
  std::function<void(kalvir::mdbw::Model&)> model_change;   // before the MDB file is written
  std::function<void(std::vector<std::byte>&)> mdb_edit;    // on its bytes
};

using Outcome = kalvir::test::CommandResult;

// Runs the tiny program in DIR; a run still going after the time limit is
// killed and reported as status 124.
Outcome run_tiny(const fs::path& dir) { return kalvir::test::run_command(dir, "timeout 60 '" KALVIR_TINY_PROGRAM "'"); }

bool any_message_shows(const std::vector<kalvir::test::Message>& messages, const std::string& text) {
  for (const auto& m : messages)
    if (m.text.find(text) != std::string::npos) return true;
  return false;
}

class InputRobustness : public ::testing::TestWithParam<Damage> {};

TEST_P(InputRobustness, EndsInTimeWithADefinedStatus) {
  const Damage& d = GetParam();
  kalvir::test::TempDir dir;
  kalvir::mdbw::Model model = kalvir::test::tiny_model();
  if (d.model_change) d.model_change(model);
  std::vector<std::byte> mdb = kalvir::mdbw::build_mdb(model).bytes();
  if (d.mdb_edit) d.mdb_edit(mdb);
  std::ofstream(dir.file("TINY.MDB"), std::ios::binary)
      .write(reinterpret_cast<const char*>(mdb.data()), static_cast<std::streamsize>(mdb.size()));
  acd::ModelGroup root = tiny_case();
  if (d.change) d.change(root);
  const fs::path file = dir.path() / "TINY.acd";
  acd::write_acd_file(file, root);
  if (d.edit) d.edit(file);

  const Outcome r = run_tiny(dir.path());
  ASSERT_TRUE(r.status == 0 || r.status == 1) << "status " << r.status << "\n" << r.out << r.err;
  EXPECT_EQ(r.err.find("Sanitizer"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("runtime error"), std::string::npos) << r.err;
  const auto messages = kalvir::test::printed_messages(r.out);
  if (r.status == 1) {
    EXPECT_FALSE(messages.empty()) << "the run failed without a message\n" << r.out;
    if (d.named != nullptr) {
      EXPECT_TRUE(any_message_shows(messages, d.named)) << d.named << "\n" << r.out;
    }
  } else {
    EXPECT_FALSE(d.must_fail) << r.out;
    // A run that goes on has numbers, not NaN.
    const std::size_t at = r.out.find(" T1 = ");
    ASSERT_NE(at, std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("nan", at), std::string::npos) << r.out;
  }
}

// Every count attribute at -1, 0 and the largest 32-bit value. A negative
// count and one beyond its dataset fail naming it; 0 may be harmless.
std::vector<Damage> count_damages() {
  struct Count {
    const char* name;
    const char* beyond;  // what the message shows for the largest value
    std::function<void(acd::ModelGroup&, std::int32_t)> set;
  };
  const std::vector<Count> counts{
      {"numberOfArrayValues", "needed by numberOfArrayValues",
       [](acd::ModelGroup& g, std::int32_t v) { g.arrays->numberOfArrayValues = v; }},
      {"numberOfArrayIndexValues", "numberOfArrayIndexValues differs",
       [](acd::ModelGroup& g, std::int32_t v) { g.arrays->numberOfArrayIndexValues = v; }},
      {"numberOfArrays", "needed by numberOfArrays",
       [](acd::ModelGroup& g, std::int32_t v) { g.arrays->numberOfArrays = v; }},
      {"numberOfTimes", "needed by numberOfTimes", [](acd::ModelGroup& g, std::int32_t v) { g.numberOfTimes = v; }},
      {"NodeList count", "needed by count", [](acd::ModelGroup& g, std::int32_t v) { g.nodeListCount = v; }},
      {"SolarFluxes count", "needed by count", [](acd::ModelGroup& g, std::int32_t v) { g.solar.count = v; }},
  };
  std::vector<Damage> out;
  static std::vector<std::string> names;  // the cases' `what`, kept for the run
  names.reserve(3 * counts.size());
  for (const Count& c : counts) {
    for (const std::int32_t v : {-1, 0, std::numeric_limits<std::int32_t>::max()}) {
      names.push_back(std::string(c.name) + " " + (v < 0 ? "minus 1" : std::to_string(v)));
      const char* named = v < 0 ? "below" : v > 0 ? c.beyond : nullptr;
      out.push_back({names.back().c_str(), [set = c.set, v](acd::ModelGroup& g) { set(g, v); }, {}, named, v != 0, {}, {}});
    }
  }
  return out;
}

// Every dataset removed, shrunk to half, given text instead of numbers, or
// given a NaN.
std::vector<Damage> dataset_damages() {
  struct Set {
    const char* path;
    std::vector<std::vector<double>> rows;  // one row: a 1-D dataset
  };
  const std::vector<Set> sets{
      {"/Mission/Times", {{0.0, 50.0, 100.0}}},
      {"/ModelData/NodeList", {{1.0, 2.0}}},
      {"/ModelData/Static/AlbedoFluxes", {{1.0, 0.0}}},
      {"/ModelData/Static/PlanetFluxes", {{2.0, 0.0}}},
      {"/ModelData/Static/RemainderFluxes", {{3.0, 0.0}}},
      {"/ModelData/Static/SolarFluxes", {{4.0, 0.0}}},
      {"/ModelData/TimeDependent/SolarFluxes/Nodes", {{1.0, 2.0}}},
      {"/ModelData/TimeDependent/SolarFluxes/Values", {{1.0, 0.0}, {2.0, 0.0}, {3.0, 0.0}}},
      {"/ModelData/Arrays/ArrayData", {{0.0, 1.0, 10.0, 2.0, 1.0, 2.0, 3.0, 4.0, 1.0, 2.0, 1.0, 2.0}}},
  };
  static std::vector<std::string> names;
  names.reserve(4 * sets.size() + 3);
  std::vector<Damage> out;
  const auto add = [&](std::string what, std::function<void(const fs::path&)> edit, bool must_fail) {
    names.push_back(std::move(what));
    out.push_back({names.back().c_str(), {}, std::move(edit), nullptr, must_fail, {}, {}});
  };
  for (const Set& s : sets) {
    const std::string path = s.path;
    const std::string name = path.substr(1);
    const bool two_d = s.rows.size() > 1;
    auto write = [path, two_d](std::vector<std::vector<double>> rows) {
      return [path, two_d, rows](const fs::path& f) {
        if (two_d) {
          acd::replace_dataset_2d(f, path, rows);
        } else {
          acd::replace_dataset_1d(f, path, rows.front());
        }
      };
    };
    std::vector<std::vector<double>> half = s.rows;
    if (two_d) {
      half.resize(half.size() / 2);
    } else {
      half.front().resize(half.front().size() / 2);
    }
    std::vector<std::vector<double>> poisoned = s.rows;
    poisoned.front().front() = kNaN;  // node 1's value where there are nodes
    add(name + " removed", [path](const fs::path& f) { acd::remove_link(f, path); }, true);
    add(name + " half", write(half), true);
    add(name + " text", [path](const fs::path& f) { acd::replace_dataset_strings(f, path, {"1", "2"}); }, true);
    add(name + " NaN", write(poisoned), false);
  }
  const std::string info = std::string(kArrays) + "/ArrayInformation";
  add("ArrayInformation removed", [info](const fs::path& f) { acd::remove_link(f, info); }, true);
  add("ArrayInformation text", [info](const fs::path& f) { acd::replace_dataset_strings(f, info, {"K"}); }, true);
  add("ArrayInformation numbers", [info](const fs::path& f) { acd::replace_dataset_1d(f, info, {1.0, kNaN}); }, true);
  return out;
}

// The records of ArrayInformation halved while the counts still claim both.
Damage half_the_records() {
  return {"ArrayInformation half",
          [](acd::ModelGroup& g) {
            g.arrays->numberOfArrays = 2;
            g.arrays->numberOfArrayValues = 12;
            g.arrays->numberOfArrayIndexValues = 9;
            // ArrayData keeps all twelve values: the curve carries the table's.
            auto& records = g.arrays->records;
            records[0].values.insert(records[0].values.end(), records[1].values.begin(), records[1].values.end());
            records[0].size = 4;
            records.pop_back();
          },
          {}, "needed by numberOfArrays", true, {}, {}};
}

// The model database damaged under the same case data.
std::vector<Damage> mdb_damages() {
  using kalvir::mdbw::Model;
  using Bytes = std::vector<std::byte>;
  const auto put_length = [](Bytes& b, std::size_t at, std::uint32_t v) {
    for (std::size_t k = 0; k < 4; ++k) b[at + k] = static_cast<std::byte>((v >> (8 * k)) & 0xFFU);
  };
  return {
      {"MDB cut in half", {}, {}, nullptr, true, {}, [](Bytes& b) { b.resize(b.size() / 2); }},
      {"MDB empty", {}, {}, nullptr, true, {}, [](Bytes& b) { b.clear(); }},
      {"MDB first record length huge", {}, {}, nullptr, true, {},
       [put_length](Bytes& b) { put_length(b, 0, 0x7FFFFFFFU); }},
      {"MDB thermal status letter", {}, {}, "status letter 'Q' of node 1", true,
       [](Model& m) { m.submodels[0].nodes[0].status = 'Q'; }, {}},
      {"MDB GL activity letter", {}, {}, "activity letter 'X' of GL 1", true,
       [](Model& m) { m.submodels[0].gl[0].act = 'X'; }, {}},
  };
}

TEST(InputRobustnessBase, TheUndamagedCaseRuns) {
  kalvir::test::TempDir dir;
  ASSERT_TRUE(kalvir::mdbw::build_mdb(kalvir::test::tiny_model()).save(dir.file("TINY.MDB")));
  acd::write_acd_file(dir.path() / "TINY.acd", tiny_case());
  const Outcome r = run_tiny(dir.path());
  EXPECT_EQ(r.status, 0) << r.out << r.err;
}

INSTANTIATE_TEST_SUITE_P(Counts, InputRobustness, ::testing::ValuesIn(count_damages()), CaseName{});
INSTANTIATE_TEST_SUITE_P(Datasets, InputRobustness, ::testing::ValuesIn(dataset_damages()), CaseName{});
INSTANTIATE_TEST_SUITE_P(Records, InputRobustness, ::testing::Values(half_the_records()), CaseName{});
INSTANTIATE_TEST_SUITE_P(ModelDatabase, InputRobustness, ::testing::ValuesIn(mdb_damages()), CaseName{});

}  // namespace input_robustness_test
