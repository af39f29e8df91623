// ACD file descriptions: statements, nesting, conductor values by time point
// and band, and the lines of bad descriptions.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "tools/acd_description.h"

namespace acd_description_test {

namespace acd = kalvir::acd;

acd::ModelGroup read(const std::string& text) {
  std::istringstream in(text);
  return acd::read_description(in);
}

TEST(AcdDescription, StatementsFillTheGroups) {
  const acd::ModelGroup g = read(R"(# main model: no data of its own
case 0
curve CURVE 10 100 20 200
submodel SUB1
  case 2
  times 0 4 10
  period 10
  static 3 1 2 3 4
  solar 2 1 41 101     # one value per time point
  solar 5 0 0 1
  conductor - 1 - 2 1 5 11
  submodel SUB2
    case 4
    times 0 100
    wavebands 0 5e-6 1
    conductor - 1 SUB3 2 0.2 0.6 0.4 0.8
    table TAB 2 3 1 2 10 20 30 11 12 13 21 22 23
  end
end
)");
  EXPECT_EQ(g.analysisCaseType, 0);
  ASSERT_TRUE(g.arrays.has_value());
  EXPECT_EQ(g.arrays->records[0].values, (std::vector<double>{10, 100, 20, 200}));
  ASSERT_EQ(g.submodels.size(), 1U);
  const acd::ModelGroup& s1 = g.submodels[0];
  EXPECT_EQ(s1.name, "SUB1");
  EXPECT_EQ(s1.period, 10.0);
  EXPECT_EQ(s1.nodeList, std::vector<std::int32_t>{3});
  EXPECT_EQ(s1.staticSolar, std::vector<double>{4});
  EXPECT_EQ(s1.solar.nodes, (std::vector<std::int32_t>{2, 5}));
  EXPECT_EQ(s1.solar.values, (std::vector<std::vector<double>>{{1, 0}, {41, 0}, {101, 1}}));
  EXPECT_EQ(s1.conductorValues, (std::vector<std::vector<double>>{{1}, {5}, {11}}));
  const acd::ModelGroup& s2 = s1.submodels.at(0);
  EXPECT_EQ(s2.pairs[0].pathJ, "SUB3");
  EXPECT_EQ(s2.pairs[0].pathI, "");
  EXPECT_EQ(s2.bandValues, (std::vector<std::vector<std::vector<double>>>{{{0.2, 0.6}}, {{0.4, 0.8}}}));
  const acd::ArrayRecord& t = s2.arrays->records.at(0);
  EXPECT_EQ(t.arrayType, 4);
  EXPECT_EQ(t.values, (std::vector<double>{11, 12, 13, 21, 22, 23, 1, 2, 10, 20, 30}));
}

TEST(AcdDescription, TheShippedExampleReads) {
  std::ifstream in(KALVIR_SOURCE_DIR "/tools/examples/two_submodels.acdtxt");
  ASSERT_TRUE(in.good());
  const acd::ModelGroup g = acd::read_description(in);
  EXPECT_EQ(g.analysisCaseType, 2);
  EXPECT_EQ(g.solar.values.size(), g.times.size());
  ASSERT_EQ(g.submodels.size(), 1U);
  EXPECT_EQ(g.submodels[0].name, "LOOP");
  EXPECT_EQ(g.submodels[0].remainder.nodes, std::vector<std::int32_t>{20});
}

TEST(AcdDescription, BadDescriptionsNameTheLine) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"case 2\ntimes 0 x\n", "line 2: \"x\" is not a number"},
      {"case\n", "line 1: a word is missing"},
      {"period 1 2\n", "line 1: \"2\" is one word too many"},
      {"orbit 1\n", "line 1: unknown statement \"orbit\""},
      {"submodel A\ncase 1\n", "line 2: \"submodel A\" without \"end\""},
      {"end\n", "line 1: \"end\" without \"submodel\""},
      {"solar 1 1 2\nsolar 2 1\n", "line 2: every solar line needs the same number of values"},
      {"case 2\nperiod 1\ntimes 0 1\nconductor - 1 - 2 5\n", "line 4: a conductor of group \"\" needs 2 values, not 1"},
      {"table T 0 1 1\n", "line 1: table dimensions must lie between 1 and 100000"},
      {"case 7\n", "line 1: case type 7 is not one of 0 to 4"},
      {"case -1\n", "line 1: case type -1 is not one of 0 to 4"},
      {"case 1\ntimes 0 10 10 20\n", "line 2: times must increase: 10 follows 10"},
      {"case 1\ntimes 0 20 10\n", "line 2: times must increase: 10 follows 20"},
      {"case 2\nperiod 20\ntimes 0 10 20\n\nsolar 4 1 2\n",
       "line 5: solar gives 2 values, \"times\" on line 3 gives 3 times"},
      {"case 3\nalbedo 4 1 2\ntimes 0 10 20\n",
       "line 2: albedo gives 2 values, \"times\" on line 3 gives 3 times"},
      {"case 3\nplanet 4 1 2\n", "line 2: planet values need \"times\""},
      {"times 0 10\nsolar 4 1 2\n",
       "line 2: time-dependent data of group \"\" needs a \"case\" line (type 2 to 4)"},
      {"submodel A\ntimes 0 10\nconductor - 1 - 2 1 2\nend\n",
       "line 3: time-dependent data of group \"A\" needs a \"case\" line (type 2 to 4)"},
      {"case 0\ntimes 0 10\nremainder 4 1 2\n",
       "line 1: case type 0 has no time-dependent data, but group \"\" gives some"},
      {"case 1\ntimes 0 10\nsolar 4 1 2\n", "line 1: case type 1 has no time-dependent data, but group \"\" gives some"},
      {"case 2\ntimes 0 10\nsolar 4 1 2\n", "line 1: case type 2 needs a \"period\" greater than 0"},
      {"case 2\nperiod 10\ntimes 0 nan\n", "line 3: \"nan\" is not a finite number"},
      {"case 2\nperiod 10\ntimes 0 10\nsolar 4 inf 2\n", "line 4: \"inf\" is not a finite number"},
      {"case 2\nperiod 10\ntimes 0 10\nconductor - 1 - 2 1 -infinity\n",
       "line 4: \"-infinity\" is not a finite number"},
      {"static 4 1 NaN 0 0\n", "line 1: \"NaN\" is not a finite number"},
      {"curve C 0 1 1 nan\n", "line 1: \"nan\" is not a finite number"},
      {"case 2\nperiod 10\n\ncase 3\n", "line 4: a second \"case\" line (the first is on line 1)"},
      {"case 3\ntimes 0 10\nsolar 4 1 2\n", "line 1: case type 3 needs at least one \"arc\""},
      {"submodel A\ncase 3\nend\n", "line 2: case type 3 needs at least one \"arc\""},
      {"case 2\nperiod 10\ntimes\n", "line 3: \"times\" needs at least one time"},
      {"case 2\nperiod 3000\ntimes 0 1000 4000\nsolar 1 20 20 0\n",
       "line 2: period 3000 is shorter than the time axis on line 3 (0 to 4000)"},
      {"case 2\ntimes 500 1000 4000\nperiod 3499.5\n",
       "line 3: period 3499.5 is shorter than the time axis on line 2 (500 to 4000)"},
  };
  for (const auto& c : cases) {
    try {
      read(c.text);
      ADD_FAILURE() << c.text;
    } catch (const acd::DescriptionError& e) {
      EXPECT_EQ(std::string(e.what()), c.message) << c.text;
    }
  }
}

}  // namespace acd_description_test
