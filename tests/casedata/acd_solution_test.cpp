// ACD solution reader: model tree, node and conductor maps, static load,
// time-dependent update with its row cache, steady-state solver behaviour and
// the fatal ends of missing or damaged files.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "runtime/casedata/acd_model_tree.h"
#include "runtime/casedata/acd_read.h"
#include "runtime/casedata/acd_solution.h"
#include "runtime/casedata/wavelength_bands.h"
#include "runtime/control/gcc_accessors.h"
#include "runtime/control/global_arrays.h"
#include "tests/casedata/acd_test_model.h"
#include "tests/support/test_support.h"
#include "tools/acd_writer.h"

namespace acd_solution_test {

namespace acd = kalvir::acd;
using kalvir::test::has_message;
using kalvir::test::internal_node;
using kalvir::test::run_captured;

// Internal indices of the test model (see acd_test_model.h).
constexpr int kSub1Node2 = 8;   // SUB1 node 2
constexpr int kSub2Node3 = 14;  // SUB2 node 3
constexpr int kFluid101 = 16;

// SUB1 (type 2, period 10, times 0, 4, 10): solar flux of node 2 and GR 5
// (nodes 1-2) both grow linearly in time: 10 t + 1 and t + 1.
acd::ModelGroup periodic_sub1() {
  acd::ModelGroup g;
  g.name = "SUB1";
  g.analysisCaseType = 2;
  g.times = {0.0, 4.0, 10.0};
  g.period = 10.0;
  g.solar.nodes = {2};
  g.solar.values = {{1.0}, {41.0}, {101.0}};
  g.pairs = {{"", 1, "", 2}};
  g.conductorValues = {{1.0}, {5.0}, {11.0}};
  return g;
}

// SUB2 (type 4, times 0 and 100, two bands): GR 7 (nodes 1-2) per band and
// the solar flux of node 3.
acd::ModelGroup banded_sub2() {
  acd::ModelGroup g;
  g.name = "SUB2";
  g.analysisCaseType = 4;
  g.times = {0.0, 100.0};
  g.wavebands = {0.0, 5.0e-6, 1.0};
  g.solar.nodes = {3};
  g.solar.values = {{7.0}, {9.0}};
  g.pairs = {{"", 1, "", 2}};
  g.bandValues = {{{0.2, 0.6}}, {{0.4, 0.8}}};
  return g;
}

// MAIN (type 0) > SUB1 (type 2) > SUB2 (type 4).
acd::ModelGroup nested_file() {
  acd::ModelGroup main;
  main.analysisCaseType = 0;
  acd::ModelGroup sub1 = periodic_sub1();
  sub1.submodels = {banded_sub2()};
  main.submodels = {sub1};
  return main;
}

class AcdSolution : public ::testing::Test {
 protected:
  void SetUp() override {
    kalvir::test::build_acd_model(kalvir::test::acd_model());
    gcc_setsolver("");
    gcc_settimem(0.0);
    gcc_settabs(273.15);
  }
  void TearDown() override { acds_close(); }

  void write(const acd::ModelGroup& root) { acd::write_acd_file(dir_.path() / "MAIN.acd", root); }
  std::filesystem::path file() const { return dir_.path() / "MAIN.acd"; }
  static const kalvir::acds::ModelNode& tree() { return *kalvir::acds::solution_state().main; }

  // Runs the update at time t; returns the number of reads it did.
  static std::int64_t update_at(double t) {
    gcc_settimem(t);
    kalvir::acdio::reset_read_count();
    ACDDYU();
    return kalvir::acdio::read_count();
  }

  kalvir::test::TempDir dir_;
  kalvir::test::ScopedCwd cwd_{dir_.path()};
};

TEST_F(AcdSolution, NestedTreeMirrorsTheFile) {
  write(nested_file());
  acds_open("MAIN");
  const auto& main = tree();
  EXPECT_EQ(main.analysis_case_type, 0);
  ASSERT_EQ(main.children.size(), 1U);
  const auto& sub1 = *main.children[0];
  EXPECT_EQ(sub1.name, std::string("SUB1") + std::string(20, ' '));
  EXPECT_EQ(sub1.analysis_case_type, 2);
  EXPECT_EQ(sub1.flux[kalvir::acds::kSolar].map, std::vector<std::int32_t>{kSub1Node2});
  EXPECT_EQ(sub1.conductor_map, std::vector<std::int32_t>{5});
  ASSERT_EQ(sub1.children.size(), 1U);
  const auto& sub2 = *sub1.children[0];
  EXPECT_EQ(sub2.analysis_case_type, 4);
  EXPECT_EQ(sub2.number_of_wavebands, 2);
  EXPECT_EQ(sub2.conductor_map, std::vector<std::int32_t>{7});
  EXPECT_EQ(sub2.node_i_map, std::vector<std::int32_t>{12});
  EXPECT_EQ(sub2.node_j_map, std::vector<std::int32_t>{13});
  // Type 0 has no data of its own.
  EXPECT_TRUE(main.static_map.empty());
  EXPECT_FALSE(main.conductor_values.valid());
}

TEST_F(AcdSolution, SubmodelGroupsAreVisitedInNameOrder) {
  kalvir::test::ModelSpec spec;
  spec.submodels.resize(4);
  const char* names[] = {"MAIN", "B", "A", "C"};
  for (int m = 0; m < 4; ++m) {
    spec.submodels[m].name = names[m];
    spec.submodels[m].level = m == 0 ? 0 : 1;
    spec.submodels[m].thermal = {1};
  }
  kalvir::test::build_acd_model(spec);
  acd::ModelGroup main;
  for (const auto& [name, value] : {std::pair{"B", 20.0}, {"A", 10.0}, {"C", 30.0}}) {
    acd::ModelGroup g;
    g.name = name;
    g.analysisCaseType = 1;
    g.nodeList = {1};
    g.staticAlbedo = g.staticPlanet = g.staticRemainder = {0.0};
    g.staticSolar = {value};
    main.submodels.push_back(g);
  }
  write(main);
  acds_open("MAIN");
  std::vector<std::string> order;
  for (const auto& child : tree().children) order.push_back(std::string(kalvir::trim_right(child->name)));
  EXPECT_EQ(order, (std::vector<std::string>{"A", "B", "C"}));
  acds_staticload();
  // Each group reaches its own submodel: B is model 2, A model 3, C model 4.
  EXPECT_EQ(gar_thermalnodeheatsourcessolar(2), 20.0);
  EXPECT_EQ(gar_thermalnodeheatsourcessolar(3), 10.0);
  EXPECT_EQ(gar_thermalnodeheatsourcessolar(4), 30.0);
}

TEST_F(AcdSolution, PairWithTwoConductorsTakesTheFirstOfNodeIsList) {
  acd::ModelGroup main;
  main.analysisCaseType = 2;
  main.times = {0.0};
  main.period = 1.0;
  main.pairs = {{"", 1, "", 3}, {"", 3, "", 1}, {"", 4, "", 2}};
  main.conductorValues = {{50.0, 60.0, 70.0}};
  write(main);
  acds_open("MAIN");
  EXPECT_EQ(tree().conductor_map, (std::vector<std::int32_t>{1, 1, 2}));
  update_at(0.0);
  EXPECT_EQ(gar_radiativeconds(1), 60.0);  // the later record for the same conductor holds
  EXPECT_EQ(gar_radiativeconds(2), 70.0);
  EXPECT_DOUBLE_EQ(gar_radiativeconds(3), 3.2);  // the second 1-3 conductor is not touched
}

TEST_F(AcdSolution, StaticLoadWritesListedThermalNodesOnly) {
  for (int i = 1; i <= 15; ++i) {
    gar_thermalnodeheatsourcesalbedo(i) = gar_thermalnodeheatsourcesplanet(i) = -1.0;
    gar_thermalnodeheatsourcesother(i) = gar_thermalnodeheatsourcessolar(i) = -1.0;
  }
  acd::ModelGroup main;
  main.analysisCaseType = 1;
  main.nodeList = {2, 101, 99, 5};
  main.staticAlbedo = {1.0, 2.0, 3.0, 4.0};
  main.staticPlanet = {5.0, 6.0, 7.0, 8.0};
  main.staticRemainder = {9.0, 10.0, 11.0, 0.0};
  main.staticSolar = {13.0, 14.0, 15.0, 16.0};
  write(main);
  const auto run = run_captured([] {
    acds_open("MAIN");
    acds_staticload();
  });
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(has_message(run, "(acds)createnodemap", "Heat flux of a fluid node ignored"));
  EXPECT_TRUE(has_message(run, "INTNOD", "Node 99 not found in sub-model MAIN"));
  // The flux of node 99 is lost: a failure, which fails the run at its end.
  EXPECT_TRUE(has_message(run, "(acds)createnodemap",
                          kalvir::test::printed("Heat flux of a missing node lost@Node 99 of sub-model MAIN@Dataset: "
                                                "/ModelData/NodeList<NL>ACD file: MAIN.acd@")));
  EXPECT_EQ(tree().static_map, (std::vector<std::int32_t>{2, 0, 0, 5}));
  EXPECT_EQ(gar_thermalnodeheatsourcesalbedo(2), 1.0);
  EXPECT_EQ(gar_thermalnodeheatsourcesplanet(2), 5.0);
  EXPECT_EQ(gar_thermalnodeheatsourcesother(5), 0.0);
  EXPECT_EQ(gar_thermalnodeheatsourcessolar(5), 16.0);
  for (int i : {1, 3, 4, 6, 7, 15}) EXPECT_EQ(gar_thermalnodeheatsourcessolar(i), -1.0) << i;
  // Type 1 sets up no time-dependent data.
  EXPECT_TRUE(tree().flux[kalvir::acds::kSolar].map.empty());
  EXPECT_FALSE(tree().flux[kalvir::acds::kSolar].values.valid());
}

TEST_F(AcdSolution, PeriodicCaseWrapsTheTimeIntoThePeriod) {
  write(nested_file());
  acds_open("MAIN");
  // Time -> mapped time with T(1) = 0 and P = 10.
  const struct {
    double t, m;
  } cases[] = {{25.0, 5.0}, {-3.0, 7.0}, {20.0, 0.0}, {10.0, 10.0}, {-10.0, 10.0}, {2.0, 2.0}, {4.0, 4.0}};
  for (const auto& c : cases) {
    update_at(c.t);
    EXPECT_NEAR(gar_thermalnodeheatsourcessolar(kSub1Node2), 10.0 * c.m + 1.0, 1e-12) << c.t;
    EXPECT_NEAR(gar_radiativeconds(5), c.m + 1.0, 1e-12) << c.t;
  }
}

TEST_F(AcdSolution, RowsAreReadOnlyWhenTheSliceMoves) {
  acd::ModelGroup main;
  main.analysisCaseType = 4;
  main.times = {0, 1, 2, 3, 4, 5, 6, 7};
  main.wavebands = {0.0};  // no bands
  main.solar.nodes = {1};
  for (double t : main.times) main.solar.values.push_back({10.0 * t});
  write(main);
  acds_open("MAIN");
  // Slices 3, 4, 3, 7, 7, 3, 1, 7: each row is read from the file the first
  // time a slice needs it (rows 2 and 3, then 4, then 6 and 7, then 0 and 1)
  // and never again.
  const struct {
    double t;
    std::int64_t reads;
    int slice;
  } steps[] = {{2.5, 2, 3}, {3.5, 1, 4}, {2.25, 0, 3}, {6.5, 2, 7}, {6.75, 0, 7}, {3.0, 0, 3}, {-1.0, 2, 1}, {9.0, 0, 7}};
  for (const auto& s : steps) {
    EXPECT_EQ(update_at(s.t), s.reads) << s.t;
    EXPECT_EQ(tree().loaded_slice, s.slice) << s.t;
    EXPECT_NEAR(gar_thermalnodeheatsourcessolar(1), 10.0 * std::clamp(s.t, 0.0, 7.0), 1e-12) << s.t;
  }
}

TEST_F(AcdSolution, OrbitalArcCaseMapsThroughTheArcTable) {
  acd::ModelGroup main;
  main.analysisCaseType = 3;
  main.times = {0.0, 50.0, 100.0};
  main.arcs = {{0.0, 0.0, 100.0, 1000.0}};
  main.solar.nodes = {1};
  main.solar.values = {{0.0}, {50.0}, {100.0}};  // the flux is the mapped time
  write(main);
  acds_open("MAIN");
  const struct {
    double t, mapped;
    int warning;  // TIMIN1's message code, 0 for none
  } cases[] = {{250.0, 50.0, 0}, {1000.0, 100.0, 0}, {1001.0, 100.0, 2}, {-5.0, 0.0, 1}, {575.0, 75.0, 0}};
  for (const auto& c : cases) {
    const auto run = run_captured([&] { update_at(c.t); });
    EXPECT_EQ(run.status, 0);
    EXPECT_NEAR(gar_thermalnodeheatsourcessolar(1), c.mapped, 1e-9) << c.t;
    ASSERT_EQ(run.messages.size(), c.warning == 0 ? 0U : 1U) << c.t;
    if (c.warning != 0) {
      EXPECT_EQ(run.messages[0].routine, "TIMIN1");
      EXPECT_EQ(run.messages[0].code, c.warning);
    }
  }
}

TEST_F(AcdSolution, SingleTimePointIsReadOnce) {
  acd::ModelGroup main;
  main.analysisCaseType = 4;
  main.times = {5.0};
  main.wavebands = {0.0};
  main.solar.nodes = {2};
  main.solar.values = {{42.0}};
  write(main);
  acds_open("MAIN");
  std::int64_t reads = 0;
  for (double t : {-100.0, 5.0, 1.0e6}) {
    reads += update_at(t);
    EXPECT_EQ(gar_thermalnodeheatsourcessolar(2), 42.0);
  }
  EXPECT_EQ(reads, 1);
}

// SUB1 (type 2, times 0, 2, 5, 9, period 12) with all four flux kinds and two
// conductors, and SUB2 (type 2, times 1, 6, period 8) with a solar flux and a
// conductor: every series has its own values, not linear in time, so a row
// taken from the wrong time, kind, conductor or group shows.
struct Series {
  std::vector<double> times;
  double period;
  std::vector<double> values;  // per time point
};

// The value of a series at time t, mapped into [T(1), T(1) + P] by whole
// periods and interpolated linearly (the last value past T(N)).
double value_at(const Series& s, double t) {
  double m = t;
  while (m < s.times.front()) m += s.period;
  while (m > s.times.front() + s.period) m -= s.period;
  if (m <= s.times.front()) return s.values.front();
  if (m >= s.times.back()) return s.values.back();
  std::size_t j = 1;
  while (s.times[j] < m) ++j;
  const double w = (m - s.times[j - 1]) / (s.times[j] - s.times[j - 1]);
  return s.values[j - 1] + (s.values[j] - s.values[j - 1]) * w;
}

Series series(const std::vector<double>& times, double period, double base) {
  Series s{times, period, {}};
  for (std::size_t r = 0; r < times.size(); ++r) {
    const double x = static_cast<double>(r);
    s.values.push_back(base + 3.0 * x * x - 0.5 * x);
  }
  return s;
}

std::vector<std::vector<double>> columns(std::initializer_list<const Series*> of) {
  std::vector<std::vector<double>> rows((*of.begin())->values.size());
  for (std::size_t r = 0; r < rows.size(); ++r)
    for (const Series* s : of) rows[r].push_back(s->values[r]);
  return rows;
}

acd::ModelGroup periodic_group(const char* name, const std::vector<double>& times, double period) {
  acd::ModelGroup g;
  g.name = name;
  g.analysisCaseType = 2;
  g.times = times;
  g.period = period;
  return g;
}

TEST_F(AcdSolution, KeptRowsGiveTheFileValuesAcrossPeriodsAndGroups) {
  const std::vector<double> t1{0.0, 2.0, 5.0, 9.0}, t2{1.0, 6.0};
  const Series albedo = series(t1, 12.0, 10.0), planet = series(t1, 12.0, 20.0),
               remainder = series(t1, 12.0, 30.0), solar = series(t1, 12.0, 40.0),
               solar4 = series(t1, 12.0, 45.0), gr5 = series(t1, 12.0, 1.0), gr6 = series(t1, 12.0, 2.0),
               sub2_solar = series(t2, 8.0, 70.0), gr7 = series(t2, 8.0, 5.0);
  acd::ModelGroup sub1 = periodic_group("SUB1", t1, 12.0);
  sub1.albedo = {{2}, columns({&albedo}), {}};
  sub1.planet = {{2}, columns({&planet}), {}};
  sub1.remainder = {{2}, columns({&remainder}), {}};
  sub1.solar = {{2, 4}, columns({&solar, &solar4}), {}};
  sub1.pairs = {{"", 1, "", 2}, {"", 3, "", 4}};
  sub1.conductorValues = columns({&gr5, &gr6});
  acd::ModelGroup sub2 = periodic_group("SUB2", t2, 8.0);
  sub2.solar = {{3}, columns({&sub2_solar}), {}};
  sub2.pairs = {{"", 1, "", 2}};
  sub2.conductorValues = columns({&gr7});
  sub1.submodels = {sub2};
  acd::ModelGroup main;
  main.submodels = {sub1};
  write(main);
  acds_open("MAIN");
  // Where each series lands in the model.
  const struct {
    const char* what;
    kalvir::gar::R64& array;
    int index;
    const Series& series;
  } targets[] = {
      {"SUB1 albedo", gar_thermalnodeheatsourcesalbedo, kSub1Node2, albedo},
      {"SUB1 planet", gar_thermalnodeheatsourcesplanet, kSub1Node2, planet},
      {"SUB1 remainder", gar_thermalnodeheatsourcesother, kSub1Node2, remainder},
      {"SUB1 solar node 2", gar_thermalnodeheatsourcessolar, kSub1Node2, solar},
      {"SUB1 solar node 4", gar_thermalnodeheatsourcessolar, kSub1Node2 + 2, solar4},
      {"SUB1 GR 5", gar_radiativeconds, 5, gr5},
      {"SUB1 GR 6", gar_radiativeconds, 6, gr6},
      {"SUB2 solar", gar_thermalnodeheatsourcessolar, kSub2Node3, sub2_solar},
      {"SUB2 GR 7", gar_radiativeconds, 7, gr7},
  };

  // Forward through four periods of SUB1 and six of SUB2 (both wrap many
  // times, and sit in the first and the last slice), then back and forth as
  // a rejected step and a new cycle would.
  std::vector<double> times;
  for (double t = -13.3; t < 40.0; t += 0.7) times.push_back(t);
  for (double t : {35.15, 17.9, -2.6, 4.4, 4.3, 100.05, -99.95}) times.push_back(t);
  std::int64_t reads = 0;
  for (const double t : times) {
    reads += update_at(t);
    for (const auto& c : targets) EXPECT_NEAR(c.array(c.index), value_at(c.series, t), 1e-9) << c.what << " at " << t;
  }
  // Each row of each dataset once: SUB1 4 rows of 5 datasets, SUB2 2 rows of 2.
  EXPECT_EQ(reads, 4 * 5 + 2 * 2);
}

TEST(AcdRowCache, KeepsRowsUpToItsBudgetAndNeverReplacesOne) {
  kalvir::acds::RowCache kept(5 * sizeof(double));
  kept.keep(2, {1.0, 2.0});
  kept.keep(0, {3.0, 4.0});
  kept.keep(1, {5.0, 6.0});  // two more values would pass the budget of five
  kept.keep(3, {7.0});       // the fifth value fits
  kept.keep(0, {8.0, 9.0});  // row 0 is kept already
  kept.keep(-1, {1.0});
  using Row = std::vector<double>;
  ASSERT_NE(kept.find(2), nullptr);
  EXPECT_EQ(*kept.find(2), (Row{1.0, 2.0}));
  ASSERT_NE(kept.find(0), nullptr);
  EXPECT_EQ(*kept.find(0), (Row{3.0, 4.0}));
  EXPECT_EQ(kept.find(1), nullptr);
  ASSERT_NE(kept.find(3), nullptr);
  EXPECT_EQ(*kept.find(3), Row{7.0});
  for (const int row : {-1, 4, 1000}) EXPECT_EQ(kept.find(row), nullptr) << row;
}

TEST_F(AcdSolution, RowThatFailsAfterKeptRowsStillEndsTheRun) {
  // SUB1's solar values from a dataset that holds only the first two rows, as
  // a file damaged part-way would: the slices on those rows run, also after
  // wrapping, and the first update that needs row 3 ends the run.
  write(nested_file());
  acd::replace_dataset_2d(file(), "/FirstRowsOnly", {{1.0}, {41.0}});
  acds_open("MAIN");
  auto& sub1 = *kalvir::acds::solution_state().main->children[0];
  sub1.flux[kalvir::acds::kSolar].values =
      kalvir::acdio::open_dataset(kalvir::acds::solution_state().file.get(), "/FirstRowsOnly");
  for (const double t : {1.0, 3.0, 11.5, -8.5, 23.0}) {
    SCOPED_TRACE(t);
    const auto run = run_captured([&] { update_at(t); });
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.messages.empty());
    EXPECT_NEAR(gar_thermalnodeheatsourcessolar(kSub1Node2), 10.0 * std::fmod(t + 10.0, 10.0) + 1.0, 1e-12);
  }
  const auto run = run_captured([] { update_at(5.0); });
  EXPECT_EQ(run.status, 1);
  ASSERT_FALSE(run.messages.empty());
  EXPECT_EQ(run.messages.back().routine, "(acds)Load2DDatasetRowDble");
  EXPECT_EQ(run.messages.back().text,
            kalvir::test::printed("Cannot read ACD dataset@@Dataset: /FirstRowsOnly<NL>ACD file: MAIN.acd@"));
}

TEST_F(AcdSolution, SteadyStateSolverUpdatesBandConductorsOnly) {
  write(nested_file());
  acds_open("MAIN");
  gcc_setsolver("SSTH");
  gar_thermalnodeheatsourcessolar(kSub1Node2) = -1.0;
  gar_thermalnodeheatsourcessolar(kSub2Node3) = -2.0;
  gar_radiativeconds(5) = -3.0;
  gar_radiativeconds(7) = -4.0;
  update_at(50.0);
  EXPECT_EQ(gar_thermalnodeheatsourcessolar(kSub1Node2), -1.0);
  EXPECT_EQ(gar_radiativeconds(5), -3.0);
  EXPECT_EQ(gar_thermalnodeheatsourcessolar(kSub2Node3), -2.0);
  // Band values halfway: 0.3 and 0.7; nodes 12 and 13 at 112 and 113 degrees.
  const std::vector<double> edges{0.0, 5.0e-6, 1.0}, bands{0.3, 0.7};
  EXPECT_NEAR(gar_radiativeconds(7), RadCondPiecewiseGreyBody(385.15, 386.15, 2, edges, bands), 1e-12);

  gcc_setsolver("TRANS");
  update_at(50.0);
  EXPECT_DOUBLE_EQ(gar_thermalnodeheatsourcessolar(kSub1Node2), 1.0);  // 50 wraps to 0
  EXPECT_DOUBLE_EQ(gar_thermalnodeheatsourcessolar(kSub2Node3), 8.0);
}

TEST_F(AcdSolution, BandPairWithAFluidEndUsesTheFluidTemperature) {
  acd::ModelGroup main;
  main.analysisCaseType = 4;
  main.times = {0.0};
  main.wavebands = {0.0, 1.0};
  main.pairs = {{"", 4, "", 101}};
  main.bandValues = {{{0.5}}};
  write(main);
  acds_open("MAIN");
  EXPECT_EQ(tree().conductor_map, std::vector<std::int32_t>{4});
  EXPECT_EQ(tree().node_j_map, std::vector<std::int32_t>{kFluid101});
  // One band over every wavelength: the value itself, whatever the temperatures.
  gar_fluidnodetemps(1) = 500.0;
  update_at(0.0);
  EXPECT_NEAR(gar_radiativeconds(4), 0.5, 1e-12);
}

TEST_F(AcdSolution, CloseWithoutATreeClosesNothing) {
  acds_close();
  EXPECT_FALSE(kalvir::acds::solution_state().file.valid());
}

// ---- Runs that end.

TEST_F(AcdSolution, MissingFileEndsTheRun) {
  testing::internal::CaptureStderr();
  const auto run = run_captured([] { acds_open("MAIN"); });
  // The library's own error stack is not printed: the message says it all,
  // and the failure's short block on standard error names the file and
  // where it was looked for.
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err.find("HDF5"), std::string::npos) << err;
  EXPECT_EQ(err.rfind("kalvir: run failed in (acds)OpenFile\n    Cannot open ACD file\n", 0), 0U) << err;
  EXPECT_NE(err.find("    ACD file name: MAIN.acd\n    Working directory: " + std::filesystem::current_path().string() + "\n"),
            std::string::npos)
      << err;
  EXPECT_EQ(run.status, 1);
  ASSERT_FALSE(run.messages.empty());
  EXPECT_EQ(run.messages.back().severity, "FATAL ERROR");
  EXPECT_EQ(run.messages.back().routine, "(acds)OpenFile");
  EXPECT_EQ(run.messages.back().code, 2);
  EXPECT_EQ(run.messages.back().text,
            kalvir::test::printed("Cannot open ACD file@Initialising ACD Solution Manager@ACD file name: MAIN.acd@"
                                  "Working directory: " + std::filesystem::current_path().string()));
}

TEST_F(AcdSolution, FilesThatAreNotWholeEndTheRun) {
  // Not an HDF5 file at all, and a good file cut short at several lengths.
  {
    std::ofstream(file()) << "not an analysis-case data file\n";
    const auto run = run_captured([] { acds_open("MAIN"); });
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(has_message(run, "(acds)OpenFile", "Cannot open ACD file"));
  }
  write(nested_file());
  const auto size = std::filesystem::file_size(file());
  for (const double part : {0.9, 0.75, 0.5, 0.25}) {
    SCOPED_TRACE(part);
    write(nested_file());
    std::filesystem::resize_file(file(), static_cast<std::uintmax_t>(static_cast<double>(size) * part));
    testing::internal::CaptureStderr();
    const auto run = run_captured([] { acds_open("MAIN"); });
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(run.status, 1);
    ASSERT_FALSE(run.messages.empty());
    EXPECT_EQ(run.messages.back().severity, "FATAL ERROR");
    // The failure's short block only, no library error stack.
    EXPECT_EQ(err.rfind("kalvir: run failed in ", 0), 0U) << err;
    EXPECT_EQ(err.find("HDF5"), std::string::npos) << err;
    acds_close();
  }
}

TEST_F(AcdSolution, ValuesOneRowShortEndsTheRun) {
  write(nested_file());
  acd::replace_dataset_2d(file(), "/Submodels/SUB1/ModelData/TimeDependent/SolarFluxes/Values", {{1.0}, {41.0}});
  const auto run = run_captured([] { acds_open("MAIN"); });
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(has_message(run, "(acds)SetupModelTree", "Cannot read ACD dataset"));
  EXPECT_TRUE(has_message(run, "(acds)SetupModelTree", "/Submodels/SUB1/ModelData/TimeDependent/SolarFluxes/Values"));
  EXPECT_TRUE(has_message(run, "(acds)SetupModelTree", "ACD file: MAIN.acd"));
}

TEST_F(AcdSolution, RowThatCannotBeReadEndsTheRun) {
  // The message names the dataset by its path, cut at 100 characters and
  // without the trailing blanks that a cut may leave.
  const std::string long_path = "/" + std::string(98, 'L') + " tail";
  const struct {
    std::string path, named;
  } cases[] = {
      {"/Submodels/SUB1/Mission/Times", "/Submodels/SUB1/Mission/Times"},
      {long_path, long_path.substr(0, 99)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    write(nested_file());
    acd::replace_dataset_1d(file(), c.path, {0.0, 4.0, 10.0});
    acds_open("MAIN");
    // A dataset of another shape in place of the solar values of SUB1.
    auto& sub1 = *kalvir::acds::solution_state().main->children[0];
    sub1.flux[kalvir::acds::kSolar].values =
        kalvir::acdio::open_dataset(kalvir::acds::solution_state().file.get(), c.path);
    const auto run = run_captured([] { update_at(3.0); });
    EXPECT_EQ(run.status, 1);
    ASSERT_FALSE(run.messages.empty());
    EXPECT_EQ(run.messages.back().routine, "(acds)Load2DDatasetRowDble");
    EXPECT_EQ(run.messages.back().code, 1);
    EXPECT_EQ(run.messages.back().text,
              kalvir::test::printed("Cannot read ACD dataset@@Dataset: " + c.named + "<NL>ACD file: MAIN.acd@"));
    acds_close();
  }
}

TEST_F(AcdSolution, ConductorOfASubmodelIsNoMatch) {
  acd::ModelGroup main;
  main.analysisCaseType = 2;
  main.times = {0.0};
  main.period = 1.0;
  main.pairs = {{"SUB1", 1, "SUB1", 2}};  // GR 5 belongs to SUB1, not to MAIN
  main.conductorValues = {{1.0}};
  write(main);
  testing::internal::CaptureStderr();
  const auto run = run_captured([] { acds_open("MAIN"); });
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "(acds)CreateRadiativeConductorMaps: no radiative conductor of sub-model MAIN joins node 1 of MAIN:SUB1 "
            "and node 2 of MAIN:SUB1 (record 1 of /ModelData/TimeDependent/RadiativeConductors/NodePairs, ACD file "
            "MAIN.acd)\n");
  EXPECT_EQ(run.status, 1);
}

// Node I is looked up before the path of node J is resolved: a missing node I
// is reported even when the path of node J then ends the run.
TEST_F(AcdSolution, PairResolvesNodeIBeforeThePathOfNodeJ) {
  acd::ModelGroup main;
  main.analysisCaseType = 2;
  main.times = {0.0};
  main.period = 1.0;
  main.pairs = {{"", 99, "NOSUCH", 2}};
  main.conductorValues = {{1.0}};
  write(main);
  testing::internal::CaptureStderr();
  const auto run = run_captured([] { acds_open("MAIN"); });
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "(acds)GetModelReference: no sub-model NOSUCH below MAIN (ACD file MAIN.acd)\n");
  EXPECT_EQ(run.status, 1);
  ASSERT_EQ(run.messages.size(), 1U);
  EXPECT_EQ(run.messages[0].routine, "INTNOD");
}

// Each damage of a good file ends the run at the open with status 1 and a
// fatal message naming the kind of problem (or an internal stop).
TEST_F(AcdSolution, DamagedFilesEndTheRunWithAMessage) {
  const std::string sub1 = "/Submodels/SUB1";
  const std::string td = sub1 + "/ModelData/TimeDependent";
  const struct Case {
    const char* name;
    std::function<void(acd::ModelGroup&)> change;      // before writing
    std::function<void(const std::filesystem::path&)> edit;  // after writing
    const char* text;  // expected fatal text, or the internal stop on stderr
  } cases[] = {
      {"case type missing", {}, [&](auto& f) { acd::remove_attribute(f, "/Mission", "analysisCaseType"); },
       "Cannot read ACD attribute"},
      {"case type text", {}, [&](auto& f) { acd::set_string_attribute(f, "/Mission", "analysisCaseType", "2"); },
       "Cannot read ACD attribute"},
      {"case type 7", [](auto& m) { m.submodels[0].analysisCaseType = 7; }, {}, "(acds)SetMissionData"},
      {"times missing", {}, [&](auto& f) { acd::remove_link(f, sub1 + "/Mission/Times"); }, "Cannot read ACD dataset"},
      {"times short", {}, [&](auto& f) { acd::replace_dataset_1d(f, sub1 + "/Mission/Times", {0.0, 4.0}); },
       "Cannot read ACD dataset"},
      {"times descending", {}, [&](auto& f) { acd::replace_dataset_1d(f, sub1 + "/Mission/Times", {0.0, 4.0, 3.0}); },
       "Invalid ACD data"},
      {"no time points", [](auto& m) { m.submodels[0].numberOfTimes = 0; }, {}, "Invalid ACD data"},
      {"period 0", [](auto& m) { m.submodels[0].period = 0.0; }, {}, "Invalid ACD data"},
      {"period missing", {}, [&](auto& f) { acd::remove_attribute(f, sub1 + "/Mission", "period"); },
       "Cannot read ACD attribute"},
      {"node list count missing", {},
       [&](auto& f) { acd::remove_attribute(f, sub1 + "/ModelData/NodeList", "count"); }, "Cannot read ACD attribute"},
      {"negative count", [](auto& m) { m.submodels[0].solar.count = -1; }, {}, "Invalid ACD data"},
      {"count beyond the nodes", [](auto& m) { m.submodels[0].solar.count = 2; }, {}, "Cannot read ACD dataset"},
      {"nodes as text", {}, [&](auto& f) { acd::replace_dataset_strings(f, td + "/SolarFluxes/Nodes", {"2"}); },
       "Cannot read ACD dataset"},
      {"conductor values one-dimensional", {},
       [&](auto& f) { acd::replace_dataset_1d(f, td + "/RadiativeConductors/Values", {1.0, 5.0, 11.0}); },
       "Cannot read ACD dataset"},
      {"node pairs missing", {}, [&](auto& f) { acd::remove_link(f, td + "/RadiativeConductors/NodePairs"); },
       "Cannot read ACD dataset"},
      {"node pairs not records", {},
       [&](auto& f) { acd::replace_dataset_1d(f, td + "/RadiativeConductors/NodePairs", {1.0}); },
       "Cannot read ACD dataset"},
      {"submodels group missing", {}, [&](auto& f) { acd::remove_link(f, sub1 + "/Submodels/SUB2/Submodels"); },
       "Cannot read ACD group"},
      {"mission group missing", {}, [&](auto& f) { acd::remove_link(f, sub1 + "/Mission"); }, "Cannot read ACD group"},
      {"wavebands short", {},
       [&](auto& f) { acd::replace_dataset_1d(f, sub1 + "/Submodels/SUB2/Mission/Wavebands", {0.0, 5.0e-6}); },
       "Cannot read ACD dataset"},
      {"negative band count", [](auto& m) { m.submodels[0].submodels[0].numberOfWavebands = -1; }, {},
       "Invalid ACD data"},
      {"band values missing a band", {},
       [&](auto& f) {
         acd::remove_link(f, sub1 + "/Submodels/SUB2/ModelData/TimeDependent/RadiativeConductors/Values");
       },
       "Cannot read ACD dataset"},
      {"unknown submodel", [](auto& m) { m.submodels[0].name = "NOSUCH"; }, {},
       "(acds)GetModelReference: no sub-model NOSUCH below MAIN (ACD file MAIN.acd)"},
      {"submodel name longer than 24", [](auto& m) { m.submodels[0].name = "SUB1_WITH_A_NAME_LONGER_THAN_24"; }, {},
       "Invalid ACD data"},
      {"arcs without an orbit length",
       [](auto& m) {
         m.submodels[0].analysisCaseType = 3;
         m.submodels[0].arcs = {{0.0, 5.0, 5.0, 100.0}};
       },
       {}, "Invalid ACD data"},
      {"no arcs", [](auto& m) { m.submodels[0].analysisCaseType = 3; }, {}, "Invalid ACD data"},
      {"huge time count", [](auto& m) { m.submodels[0].numberOfTimes = 2147483647; }, {}, "Cannot read ACD dataset"},
      {"huge conductor count", [](auto& m) { m.submodels[0].conductorCount = 2147483647; }, {},
       "Cannot read ACD dataset"},
      {"huge node count", [](auto& m) { m.submodels[0].solar.count = 2147483647; }, {}, "Cannot read ACD dataset"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    kalvir::test::build_acd_model(kalvir::test::acd_model());
    acd::ModelGroup m = nested_file();
    if (c.change) c.change(m);
    write(m);
    if (c.edit) c.edit(file());
    testing::internal::CaptureStderr();
    const auto run = run_captured([] { acds_open("MAIN"); });
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(run.status, 1);
    const std::string text = c.text;
    if (text.front() == '(') {
      EXPECT_EQ(err, text + "\n");
    } else {
      // Only the failure's short block, no library error stack.
      EXPECT_EQ(err.rfind("kalvir: run failed in (acds)SetupModelTree\n    ", 0), 0U) << err;
      EXPECT_EQ(err.find("HDF5"), std::string::npos) << err;
      EXPECT_TRUE(has_message(run, "(acds)SetupModelTree", text)) << (run.messages.empty() ? "" : run.messages.back().text);
    }
    acds_close();
  }
}

}  // namespace acd_solution_test
