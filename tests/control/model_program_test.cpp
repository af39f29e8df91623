// The blocks of the sample model program: block protocol, call order of the
// variables 1 block, the heat loads and the 190 generated conductors.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>
#include <map>
#include <set>
#include <tuple>
#include <vector>

#include "model/orvik_testbed_01.h"
#include "runtime/platform/process.h"
#include "tests/support/model_fixture.h"
#include "tests/support/test_support.h"
#include "tools/sample_model.h"

namespace model_program_test {

using kalvir::test::ModelSpec;
using kalvir::test::SubmodelSpec;

const std::vector<double> kArray1{-150.0, 140.0, -100.0, 151.0, -50.0, 160.0, 0.0, 166.0,
                                  50.0,   170.0, 100.0,  173.0, 150.0, 176.0};
const std::vector<double> kArray2{-150.0, 0.55, -100.0, 0.62, -50.0, 0.70, 0.0, 0.78,
                                  50.0,   0.86, 100.0,  0.93, 150.0, 1.00};

// Linear interpolation in (x, y) pairs, held at the ends.
double curve(const std::vector<double>& p, double x) {
  const std::size_t n = p.size() / 2;
  if (x <= p[0]) return p[1];
  for (std::size_t k = 1; k < n; ++k)
    if (x <= p[2 * k]) return p[2 * k - 1] + (p[2 * k + 1] - p[2 * k - 1]) * (x - p[2 * k - 2]) / (p[2 * k] - p[2 * k - 2]);
  return p[2 * n - 1];
}

// A model of the sample's sizes: one submodel, 397 thermal nodes numbered 4
// to 400 (node 4 first), 869 linear conductors, one node tie (internal node 6
// takes the temperature of internal node 5), and the two ARRAYs of the sample
// as curves of 7 points.
class SampleBlocks : public ::testing::Test {
 protected:
  void SetUp() override {
    ModelSpec spec;
    SubmodelSpec s;
    s.name = "ORVIK_TESTBED_01";
    for (int n = 4; n <= 400; ++n) s.thermal.push_back(n);
    for (int k = 0; k < 869; ++k) s.gl.push_back({4 + k % 396, 5 + k % 396});
    spec.submodels.push_back(s);
    spec.ties.push_back({5, {6}});
    kalvir::test::build_model(spec);

    FLAGS(18) = 12;
    FLAGS(19) = 2;
    FLAGS(20) = 28;
    gar_arrayinfolist.allocate(12);
    gar_arrayinfopointers.allocate(2);
    gar_arraynames.allocate(2);
    gar_arrayvaluesreal.allocate(28);
    const std::array<std::int32_t, 12> info{2, 14, 1, 2, 2, 7, 2, 14, 15, 2, 2, 7};
    std::copy(info.begin(), info.end(), gar_arrayinfolist.begin());
    gar_arrayinfopointers(1) = 1;
    gar_arrayinfopointers(2) = 7;
    std::copy(kArray1.begin(), kArray1.end(), gar_arrayvaluesreal.begin());
    std::copy(kArray2.begin(), kArray2.end(), gar_arrayvaluesreal.begin() + 14);
    gar_modeldirectory(14, 1) = 0;
    gar_modeldirectory(14, 2) = 2;

    for (int n = 1; n <= 397; ++n) gar_thermalnodetemps(n) = -100.0 + 0.5 * n;
    GLOI.WIDTH = 132;
    GLOI.MLEVEL = 2;  // the out-of-range warnings of the interpolation stay quiet
    GLOC.SOLTYP = "";
    GLOC.OUTIME = "ALL";
    GLOC.OPBLOK = "";
    GLOI.STEPCT = 0;
    GLOI.MODEL = 0;
  }
  kalvir::test::TempDir dir_;
  kalvir::test::ScopedCwd cwd_{dir_.path()};
};

// The heat loads of the table, by node position: 88 positions.
std::map<int, double> expected_loads() {
  const std::vector<std::tuple<int, int, double>> rows{
      {200, 200, 4.716981},  {201, 201, 3.537736},  {202, 202, 4.245283},  {203, 203, 3.537736},
      {204, 204, 4.245283},  {205, 206, 4.716981},  {207, 207, 3.537736},  {208, 208, 4.245283},
      {209, 209, 3.537736},  {210, 210, 4.245283},  {211, 211, 4.716981},  {212, 215, 4.076087},
      {216, 223, 2.173913},  {224, 231, 4.076087},  {232, 239, 2.173913},  {240, 243, 4.076087},
      {244, 245, 0.5346821}, {246, 246, 0.1806358}, {247, 247, 0.5346821}, {248, 248, 0.1806358},
      {249, 251, 0.5346821}, {252, 252, 0.1806358}, {253, 253, 0.5346821}, {254, 254, 0.1806358},
      {255, 255, 0.5346821}, {364, 365, 6.446068},  {366, 367, 3.948217},  {368, 368, 4.211431},
      {369, 370, 3.948217},  {371, 371, 4.211431},  {372, 375, 6.446068},  {376, 377, 3.948217},
      {378, 378, 4.211431},  {379, 380, 3.948217},  {381, 381, 4.211431},  {382, 383, 6.446068},
      {384, 389, 90.48333},  {392, 397, 90.48333}};
  std::map<int, double> loads;
  for (const auto& [a, b, v] : rows)
    for (int n = a; n <= b; ++n) loads[n] = v;
  return loads;
}

TEST_F(SampleBlocks, InitialBlockStoresTheHeatLoadsAndTouchesNoOtherNode) {
  std::vector<double> before(gar_thermalnodeheatsourcesinternal.begin(), gar_thermalnodeheatsourcesinternal.end());
  IN0001();
  const auto loads = expected_loads();
  ASSERT_EQ(loads.size(), 88U);
  double sum = 0.0;
  for (int n = 1; n <= 397; ++n) {
    const double qi = gar_thermalnodeheatsourcesinternal(n);
    if (const auto it = loads.find(n); it != loads.end()) {
      EXPECT_EQ(qi, it->second) << "QI(" << n << ")";
      sum += qi;
    } else {
      EXPECT_EQ(qi, before[static_cast<std::size_t>(n - 1)]) << "QI(" << n << ") must not be touched";
    }
  }
  EXPECT_NEAR(sum, 1340.799964, 1e-9);
}

TEST_F(SampleBlocks, InitialBlockMakesN4ABoundaryNodeAtTenDegrees) {
  GLOC.OPBLOK = "ANYTHING";
  IN0001();
  EXPECT_EQ(gar_thermalnodestatuses(1), "B");
  EXPECT_EQ(gar_thermalnodetemps(1), 10.0);
  EXPECT_EQ(GLOI.MODEL, 1);
  EXPECT_TRUE(kalvir::is_blank(GLOC.OPBLOK.view()));
  EXPECT_EQ(stat_getstatst(), 1) << "the status change must reach the solution routines";
}

// The generated statements as the conductor evaluation must see them: found
// by moving one node's temperature at a time and watching which conductors
// follow, so that the test does not rely on the routine's own enumeration.
std::map<int, std::pair<int, int>> observed_pairs() {
  std::map<int, std::set<int>> nodes_of;
  for (int n = 1; n <= 397; ++n) gar_thermalnodetemps(n) = 20.0;
  std::int32_t flag = 1;
  GM0001(flag);
  const std::vector<double> base(gar_linearconds.begin(), gar_linearconds.end());
  for (int n = 1; n <= 397; ++n) {
    gar_thermalnodetemps(n) = 120.0;
    GM0001(flag);
    for (int k = 1; k <= 869; ++k)
      if (gar_linearconds(k) != base[static_cast<std::size_t>(k - 1)]) nodes_of[k].insert(n);
    gar_thermalnodetemps(n) = 20.0;
  }
  std::map<int, std::pair<int, int>> pairs;
  for (const auto& [k, nodes] : nodes_of) {
    EXPECT_EQ(nodes.size(), 2U) << "GL(" << k << ")";
    if (nodes.size() == 2) pairs[k] = {*nodes.begin(), *nodes.rbegin()};
  }
  return pairs;
}

// The panels: GL from, first node, rows, columns, ring, layer offset.
struct PanelShape {
  int gl_from, first, rows, cols;
  bool ring;
  int layer;
};
constexpr std::array<PanelShape, 16> kShapes{{
    {226, 86, 3, 3, false, 42},  {247, 95, 2, 3, false, 42},  {260, 101, 2, 3, false, 42},
    {273, 107, 2, 3, false, 42}, {286, 113, 2, 3, false, 42}, {299, 119, 3, 3, false, 42},
    {320, 128, 3, 3, false, 0},  {332, 137, 2, 3, false, 0},  {339, 143, 2, 3, false, 0},
    {346, 149, 2, 3, false, 0},  {353, 155, 2, 3, false, 0},  {360, 161, 3, 3, false, 0},
    {657, 278, 2, 4, true, 8},   {677, 286, 2, 4, true, 0},   {701, 302, 1, 4, true, 4},
    {709, 306, 1, 4, true, 0},
}};

TEST_F(SampleBlocks, TheConductorEvaluationJoinsTheNeighboursOfEachPanel) {
  const auto pairs = observed_pairs();
  ASSERT_EQ(pairs.size(), 190U);
  // The conductors of each panel are its grid neighbours (row, column, ring
  // closure and layer), as a set; their positions run from the panel's GL
  // position on, with the first node never decreasing.
  for (std::size_t p = 0; p < kShapes.size(); ++p) {
    const PanelShape& s = kShapes[p];
    std::set<std::pair<int, int>> expected;
    for (int a = s.first; a < s.first + s.rows * s.cols; ++a)
      for (int b = a + 1; b < s.first + s.rows * s.cols; ++b) {
        const int ra = (a - s.first) / s.cols, ca = (a - s.first) % s.cols;
        const int rb = (b - s.first) / s.cols, cb = (b - s.first) % s.cols;
        const bool row = ra == rb && (cb - ca == 1 || (s.ring && ca == 0 && cb == s.cols - 1));
        const bool column = ca == cb && rb - ra == 1;
        if (row || column) expected.insert({a, b});
      }
    if (s.layer != 0)
      for (int a = s.first; a < s.first + s.rows * s.cols; ++a) expected.insert({a, a + s.layer});
    std::set<std::pair<int, int>> seen;
    int last_first = 0;
    const int stop = s.gl_from + static_cast<int>(expected.size());
    for (int k = s.gl_from; k < stop; ++k) {
      ASSERT_TRUE(pairs.contains(k)) << "GL(" << k << ")";
      seen.insert(pairs.at(k));
      EXPECT_GE(pairs.at(k).first, last_first) << "GL(" << k << ")";
      last_first = pairs.at(k).first;
    }
    EXPECT_EQ(seen, expected) << "panel from GL(" << s.gl_from << ")";
    if (p + 1 < kShapes.size() && s.gl_from != 360 && s.gl_from != 677) {
      EXPECT_EQ(stop, kShapes[p + 1].gl_from) << "panels follow each other";
    }
  }
  // Nothing outside the three runs is written.
  for (const auto& [k, pair] : pairs) {
    const bool inside = (k >= 226 && k <= 371) || (k >= 657 && k <= 688) || (k >= 701 && k <= 712);
    EXPECT_TRUE(inside) << "GL(" << k << ")";
  }
}

TEST_F(SampleBlocks, EveryConductorIsItsArrayAtTheMeanTemperatureTimesItsFactor) {
  // Factors per panel: along a row, between rows, layer, layer of the last node.
  struct Factors {
    double fh, fv, fl, fl_last;
  };
  const std::array<Factors, 16> factors{{
      {0.0002499889, 0.0002499889, 0.257049, 0.257049},   {0.0002515913, 0.0002483967, 0.2586967, 0.2586968},
      {0.0002515913, 0.0002483967, 0.2586967, 0.2586968}, {0.0002515913, 0.0002483967, 0.2586967, 0.2586968},
      {0.0002515913, 0.0002483967, 0.2586967, 0.2586968}, {0.0002499889, 0.0002499889, 0.257049, 0.257049},
      {0.0002499889, 0.0002499889, 0, 0},                 {0.0002515913, 0.0002483967, 0, 0},
      {0.0002515913, 0.0002483967, 0, 0},                 {0.0002515913, 0.0002483967, 0, 0},
      {0.0002515913, 0.0002483967, 0, 0},                 {0.0002499889, 0.0002499889, 0, 0},
      {0.0001880212, 0.0003323798, 0.7489304, 0.7489304}, {0.0001880212, 0.0003323798, 0, 0},
      {9.174663e-06, 0, 0.03444776, 0.03444776},          {9.174663e-06, 0, 0, 0},
  }};
  const auto pairs = observed_pairs();
  // Distinct temperatures, some outside the arrays' range.
  for (int n = 1; n <= 397; ++n) gar_thermalnodetemps(n) = -180.0 + 0.85 * n;
  const std::vector<double> before(gar_linearconds.begin(), gar_linearconds.end());
  std::int32_t flag = 0;
  GM0001(flag);
  int checked = 0;
  for (std::size_t p = 0; p < kShapes.size(); ++p) {
    const PanelShape& s = kShapes[p];
    const int last = s.first + s.rows * s.cols - 1;
    for (const auto& [k, pair] : pairs) {
      const auto [i, j] = pair;
      if (i < s.first || i > last) continue;
      const bool layer = s.layer != 0 && j == i + s.layer;
      if (!layer && j > last) continue;
      const Factors& f = factors[p];
      const double factor = layer ? (i == last ? f.fl_last : f.fl) : (j - i == s.cols ? f.fv : f.fh);
      const double mean = (gar_thermalnodetemps(i) + gar_thermalnodetemps(j)) / 2.0;
      const double expected = curve(layer ? kArray2 : kArray1, mean) * factor;
      EXPECT_NEAR(gar_linearconds(k), expected, 1e-12 * std::abs(expected)) << "GL(" << k << ")";
      ++checked;
    }
  }
  EXPECT_EQ(checked, 190);
  for (int k = 1; k <= 869; ++k)
    if (!pairs.contains(k)) {
      EXPECT_EQ(gar_linearconds(k), before[static_cast<std::size_t>(k - 1)]) << "GL(" << k << ")";
    }
}

TEST_F(SampleBlocks, TellingRowsOfTheStatementTable) {
  const auto pairs = observed_pairs();
  const std::vector<std::tuple<int, int, int>> rows{{226, 86, 87},   {227, 86, 89},   {228, 86, 128},
                                                    {259, 100, 142}, {657, 278, 279}, {658, 278, 281},
                                                    {659, 278, 282}, {660, 278, 286}, {712, 308, 309}};
  for (const auto& [k, i, j] : rows) {
    ASSERT_TRUE(pairs.contains(k));
    EXPECT_EQ(pairs.at(k), std::make_pair(i, j)) << "GL(" << k << ")";
  }
  // The last node of the panels from 95, 101, 107 and 113 uses 0.2586968.
  for (int n = 1; n <= 397; ++n) gar_thermalnodetemps(n) = 0.0;
  std::int32_t flag = 1;
  GM0001(flag);
  EXPECT_DOUBLE_EQ(gar_linearconds(259), 0.78 * 0.2586968);
  EXPECT_DOUBLE_EQ(gar_linearconds(258), 0.78 * 0.2586967);
}

TEST_F(SampleBlocks, FlagZeroGivesTheSameConductorsAsFlagOne) {
  std::int32_t one = 1, zero = 0;
  GM0001(one);
  const std::vector<double> a(gar_linearconds.begin(), gar_linearconds.end());
  for (int k = 226; k <= 712; ++k) gar_linearconds(k) = -1.0;
  for (int k = 372; k <= 656; ++k) gar_linearconds(k) = a[static_cast<std::size_t>(k - 1)];
  for (int k = 689; k <= 700; ++k) gar_linearconds(k) = a[static_cast<std::size_t>(k - 1)];
  GM0001(zero);
  EXPECT_EQ(std::vector<double>(gar_linearconds.begin(), gar_linearconds.end()), a);
}

TEST_F(SampleBlocks, VariablesOneChecksTheKillFileBeforeItStoresLoadsOrConductors) {
  std::ofstream("ORVIK_TE.kill").put('x');
  gfl_setmodelname("ORVIK_TESTBED_01");
  const double qi = gar_thermalnodeheatsourcesinternal(200);
  const double gl = gar_linearconds(226);
  const int status = kalvir::platform::run_program(V10001);
  EXPECT_EQ(status, 1);
  // The block name was stored before the services ran; the loads and the
  // conductors come after the kill-file test and were not reached.
  EXPECT_EQ(GLOC.OPBLOK, "VARIABLES1");
  EXPECT_EQ(GLOI.MODEL, 1);
  EXPECT_EQ(gar_thermalnodeheatsourcesinternal(200), qi);
  EXPECT_EQ(gar_linearconds(226), gl);
}

TEST_F(SampleBlocks, VariablesOneWithoutKillFileSetsLoadsAndConductorsAndBlanksTheBlock) {
  gfl_setmodelname("ORVIK_TESTBED_01");
  GLOC.SOLTYP = "";  // FLAG 0: the conductors are evaluated all the same
  const int status = kalvir::platform::run_program(V10001);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(gar_thermalnodeheatsourcesinternal(200), 4.716981);
  const double mean = (gar_thermalnodetemps(86) + gar_thermalnodetemps(87)) / 2.0;
  EXPECT_DOUBLE_EQ(gar_linearconds(226), curve(kArray1, mean) * 0.0002499889);
  EXPECT_TRUE(kalvir::is_blank(GLOC.OPBLOK.view()));
  EXPECT_EQ(GLOI.MODEL, 1);
}

TEST_F(SampleBlocks, VariablesTwoAppliesTiesCountsTheStepAndBlanksTheBlock) {
  gar_thermalnodetemps(5) = 42.0;
  gar_thermalnodetemps(6) = -7.0;
  GLOI.STEPCT = 3;
  V20001();
  EXPECT_EQ(gar_thermalnodetemps(6), 42.0);
  EXPECT_EQ(GLOI.STEPCT, 4);
  EXPECT_TRUE(kalvir::is_blank(GLOC.OPBLOK.view()));
  EXPECT_EQ(GLOI.MODEL, 1);
}

TEST_F(SampleBlocks, OutputsBlockDoesNothingUnlessOutimeIsAll) {
  GLOC.OUTIME = "NONE";
  GLOC.OPBLOK = "VARIABLES2";
  GLOI.MODEL = 7;
  OUTPUT();
  EXPECT_EQ(GLOC.OPBLOK, "VARIABLES2");
  EXPECT_EQ(GLOI.MODEL, 7);
  EXPECT_TRUE(std::filesystem::is_empty(dir_.path())) << "no TMD file may be written";
}


// The generated input files describe the model the program was generated
// for: every size word the main routine stores (the reserved ones aside)
// is the one the MDB writer works out for the sample model.
TEST(SampleInputs, TheModelDatabaseHasTheSizesOfTheModelProgram) {
  const auto model = kalvir::sample::model();
  const auto sizes = kalvir::mdbw::model_sizes(model);
  for (int word : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 24, 25, 26, 27,
                   28, 29, 30, 32, 33, 35, 36, 40}) {
    EXPECT_EQ(sizes.flags[static_cast<std::size_t>(word - 1)], orvik::kFlags[static_cast<std::size_t>(word - 1)])
        << "FLAGS word " << word;
  }
  EXPECT_EQ(sizes.sprsiz, orvik::kSprsiz);
  const auto& sub = model.submodels.at(0);
  EXPECT_EQ(sub.nodes.front().number, 4) << "the node with user number 4 comes first";
  EXPECT_EQ(sub.name, "ORVIK_TESTBED_01");
}

TEST(SampleInputs, TheCaseDataSupplyBothArraysAndCoverOnePeriod) {
  const auto g = kalvir::sample::case_data();
  EXPECT_EQ(g.analysisCaseType, 2);
  ASSERT_TRUE(g.arrays.has_value());
  ASSERT_EQ(g.arrays->records.size(), 2U);
  EXPECT_EQ(g.arrays->records[0].name, "K_ALUMINIUM");
  EXPECT_EQ(g.arrays->records[1].name, "K_CORE_THROUGH");
  EXPECT_EQ(g.arrays->records[0].values, kArray1);
  EXPECT_EQ(g.arrays->records[1].values, kArray2);
  EXPECT_EQ(g.times.front(), 0.0);
  EXPECT_DOUBLE_EQ(g.times.back(), g.period);
}

}  // namespace model_program_test
