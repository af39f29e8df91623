// The data lines of a GFF block: the example lines of a node, of conductors,
// of a mass-flow link and of an undefined constant, written exactly; and on
// the three-submodel model, every conductor written exactly once with the
// right ends, sign, sequence number and owner.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "tests/output/gff_test_support.h"
#include "tests/output/tmd_fixture.h"
#include "tests/support/model_fixture.h"

namespace gff_records_test {

using kalvir::test::ModelSpec;
using kalvir::test::SubmodelSpec;

const double kUndefined = std::bit_cast<double>(std::uint64_t{0x7FFFFFFF});

class GffRecords : public kalvir::test::TmdTest {
 protected:
  // The data lines of record type `record` (as written, without the header).
  std::vector<std::string> data(const std::string& blocks, double time, int record = 0,
                                const std::string& format = "*") {
    kalvir::test::write_gff(file("d.gff"), blocks, "", format, {time});
    const auto lines = kalvir::test::file_lines(file("d.gff"));
    std::vector<std::string> out;
    bool body = false;
    for (const auto& l : lines) {
      if (body && (record == 0 || l[0] - '0' == record)) out.push_back(l);
      body = body || l == "End_Header";
    }
    return out;
  }
};

TEST_F(GffRecords, ThermalNodeLineCarriesEveryItemInAttributeOrder) {
  ModelSpec spec;
  spec.submodels = {SubmodelSpec{"MAIN", 0, {1, 2}, {"Node one", ""}}};
  spec.real_attributes = {"R"};
  spec.int_attributes = {"I"};
  spec.char_attributes = {"C"};
  use_model(spec, {});
  for (auto* a : {&gar_thermalnodecapacitances, &gar_thermalnodeheatsourcesinternal,
                  &gar_thermalnodeincidentfluxessolar, &gar_thermalnodetemps}) {
    a->span()[0] = 0.0;
  }
  gar_thermalnodetemps(1) = 20.0;
  gar_thermalnodecapacitances(1) = 1.0e6;
  gar_thermalnodeheatsourcesplanet(1) = 0.1;
  gar_thermalnodeheatsourcesinternal(1) = 12.5;
  gar_thermalnodesurfaceareas(1) = 1.0;
  gar_thermalnodeabsorptivities(1) = 0.3;
  gar_thermalnodeemissivities(1) = 0.8;
  gar_thermalnodecoordsx(1) = 1.0;
  gar_thermalnodecoordsz(1) = -1.0;
  gar_thermalnodeuserentityvalsreal(1) = 1.25;
  gar_thermalnodeuserentityvalsint(1) = 5;
  gar_thermalnodeuserentityvalschar.set(1, "alpha beta");
  gar_thermalnodecapacitances(2) = kUndefined;
  gar_thermalnodestatuses.set(2, "Z");

  const auto lines = data("NODES", 3600.0);
  ASSERT_EQ(lines.size(), 2U);
  EXPECT_EQ(lines[0],
            "1 3600.00 1 1 1 \"Node one\" 20.0000 0.100000E+07 0.0 0.100000 12.5000 0.0 0.0 1.00000 0.300000 "
            "0.800000 0.0 0.0 0.0 1.00000 0.0 -1.00000 1.25000 5 \"alpha beta\"");
  std::vector<std::string> items;
  ASSERT_TRUE(kalvir::test::split_items(lines[1].substr(2), items));
  ASSERT_EQ(items.size(), 24U);
  EXPECT_EQ(items[3], "0") << "a status letter outside DBXC";
  EXPECT_EQ(items[4], " ") << "a blank label";
  EXPECT_EQ(items[6], "NULL") << "an undefined capacitance";
  EXPECT_EQ(data("NODES", 0.0)[0].substr(0, 10), "1 0.00000 ");
}

TEST_F(GffRecords, ENotationAppliesToTimeAndValues) {
  const auto lines = data("NODES", 3600.0, 1, "E12.4");
  ASSERT_FALSE(lines.empty());
  // Node 1 of MAIN: T 101, C 1001.
  const std::string expected = "1 0.3600E+04 1 1 1 \"PANEL A\" 0.1010E+03 0.1001E+04 0.0 0.0 0.1100E+02 ";
  EXPECT_EQ(lines[0].substr(0, expected.size()), expected);
}

TEST_F(GffRecords, ConductorLinkAndConstantLinesOfTheExample) {
  ModelSpec spec;
  SubmodelSpec main{"MAIN", 0, {1, 2}};
  main.fluid = {21, 22};
  main.gl = {{1, 2}, {1, 2}};
  main.links = {{21, 22}};
  SubmodelSpec sub{"SUB", 1, {1}};
  spec.submodels = {main, sub};
  use_model(spec, {{{}, {{"N", 3}}, {}}, {{{"UNSET", 0.0}}, {}, {}}});
  gar_linearconds(1) = 10.0;
  gar_linearconds(2) = 0.0;
  gar_linearcondacts.set(2, "I");
  gar_massflowlinkfittinglosses(1) = 0.75;
  gar_massflowlinkflowrates(1) = 0.012;
  gar_userconstvaluesreal(1) = kUndefined;

  EXPECT_EQ(data("", 7200.0, 2), (std::vector<std::string>{"2 7200.00 1 1 1 1 1 2 1 10.0000 1",
                                                           "2 7200.00 1 1 1 1 1 2 2 0.0 2"}));
  EXPECT_EQ(data("", 7200.0, 4), (std::vector<std::string>{"4 7200.00 4 1 1 21 1 22 1 0.750000 1",
                                                           "4 7200.00 5 1 1 21 1 22 1 0.120000E-01 1"}));
  EXPECT_EQ(data("", 7200.0, 5), (std::vector<std::string>{"5 7200.00 1 \"N\" 3"}));
  EXPECT_EQ(data("", 7200.0, 6), (std::vector<std::string>{"6 7200.00 2 \"UNSET\" NULL"}));
}

// One conductor line, read back.
struct ConductorLine {
  int record, type, owner, from_model, from, to_model, to, sequence;
  double value;
  int status;
};

std::vector<ConductorLine> conductor_lines(const kalvir::test::GffFile& f) {
  std::vector<ConductorLine> out;
  for (const auto& l : f.lines) {
    if (l.items.size() != 10) continue;
    const auto i = [&](int k) { return std::stoi(l.items[static_cast<std::size_t>(k)]); };
    out.push_back({l.record, i(1), i(2), i(3), i(4), i(5), i(6), i(7), std::stod(l.items[8]), i(9)});
  }
  return out;
}

TEST_F(GffRecords, EveryConductorIsWrittenOnceWithItsEnds) {
  // Fixture values: conductor k of a kind is k + kind / 10 (GL .1, GR .2,
  // GF .3, GV .4), link k has fitting loss k + .6 and flow rate k + .5.
  kalvir::test::write_gff(file("c.gff"), "CONDUCTORS", "", "*", {1.0});
  const auto f = kalvir::test::read_gff(file("c.gff"));
  ASSERT_EQ(f.error, "");
  const auto lines = conductor_lines(f);
  std::map<std::pair<int, int>, std::vector<ConductorLine>> by_value;  // (record, type) lines
  for (const auto& l : lines) by_value[{l.record, l.type}].push_back(l);
  const auto lines_of = [&](int record, int type) -> std::vector<ConductorLine>& {
    return by_value[{record, type}];
  };

  const auto values = [&](int record, int type) {
    std::vector<double> v;
    for (const auto& l : lines_of(record, type)) v.push_back(std::abs(l.value));
    std::sort(v.begin(), v.end());
    return v;
  };
  // GL 4 joins thermal node 3 to fluid node 101: only the fluid record has it.
  EXPECT_EQ(values(1, 1), (std::vector<double>{1.1, 2.1, 3.1, 5.1, 6.1, 7.1}));
  EXPECT_EQ(values(2, 1), (std::vector<double>{4.1}));
  EXPECT_EQ(values(1, 2), (std::vector<double>{1.2, 2.2}));
  EXPECT_EQ(values(1, 3), (std::vector<double>{1.3}));
  EXPECT_EQ(values(1, 4), (std::vector<double>{1.4, 2.4, 3.4}));
  EXPECT_EQ(values(2, 4), (std::vector<double>{1.6}));
  EXPECT_EQ(values(2, 5), (std::vector<double>{1.5}));
  EXPECT_EQ(lines.size(), 15U);

  // The fluid node is the from node of a conductor to a thermal node.
  const ConductorLine& g = lines_of(2, 1)[0];
  EXPECT_EQ((std::vector<int>{g.from_model, g.from, g.to_model, g.to}), (std::vector<int>{1, 101, 1, 3}));
  // The fluidic conductor stands negated at its first node, which writes it.
  const ConductorLine& gf = lines_of(1, 3)[0];
  EXPECT_EQ(gf.value, -1.3);
  EXPECT_EQ((std::vector<int>{gf.owner, gf.from, gf.to}), (std::vector<int>{1, 2, 3}));
  // Parallel GL 1 and GL 3 between MAIN nodes 1 and 2 are numbered 1 and 2;
  // GR 1 between nodes 1 and 3 starts again at 1.
  std::vector<int> seq;
  for (const auto& l : lines_of(1, 1))
    if (l.from_model == 1 && l.from == 1 && l.to == 2) seq.push_back(l.sequence);
  EXPECT_EQ(seq, (std::vector<int>{1, 2}));
  EXPECT_EQ(lines_of(1, 2)[0].sequence, 1);
  // Owners follow the conductor numbering: GL 5, 6 in SUB1, GL 7 in SUB2.
  for (const auto& l : lines_of(1, 1)) {
    const int k = static_cast<int>(std::lround(l.value - 0.1));
    EXPECT_EQ(l.owner, k <= 4 ? 1 : k <= 6 ? 2 : 3) << "GL " << k;
    EXPECT_EQ(l.owner, l.from_model);
  }
  // View factor 3 runs from MAIN node 4 to node 1: written from its first node.
  const ConductorLine& gv = lines_of(1, 4)[2];
  EXPECT_EQ((std::vector<int>{gv.from, gv.to, gv.sequence}), (std::vector<int>{4, 1, 1}));
}

TEST_F(GffRecords, AFluidicConductorNegatedInAFluidListIsWrittenNegated) {
  // GF 2 runs from fluid node 101 to thermal node 1: the fluid node's list
  // holds it as -2.
  ModelSpec spec = kalvir::test::three_submodel_model();
  spec.submodels[0].gf = {{2, 3}, {101, 1}};
  use_model(spec, {});
  const auto lines = data("CONDUCTORS", 1.0, 2);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "2 1.00000 3 1 1 101 1 1 1 -2.30000 1"), lines.end());
}

TEST_F(GffRecords, ANodeOfStatusCWritesNoneOfItsConductors) {
  ModelSpec spec;
  spec.submodels = {SubmodelSpec{"MAIN", 0, {1, 2, 3, 4, 5, 6, 7}}};
  spec.submodels[0].gl = {{3, 7}};
  use_model(spec, {});
  EXPECT_EQ(data("CONDUCTORS", 1.0), (std::vector<std::string>{"1 1.00000 1 1 1 3 1 7 1 1.10000 1"}));
  gar_thermalnodestatuses.set(7, "C");
  EXPECT_EQ(data("CONDUCTORS", 1.0).size(), 1U);
  gar_thermalnodestatuses.set(3, "C");
  EXPECT_TRUE(data("CONDUCTORS", 1.0).empty());
}

TEST_F(GffRecords, ConstantLinesGoSubmodelBySubmodel) {
  use_model(kalvir::test::three_submodel_model(),
            {{{{"ALPHA", 1.5}, {"BETA", 2.5}}, {{"COUNT", 7}}, {{"NAME", "hello \"quoted\""}, {"EMPTY", ""}}},
             {{{"GAMMA", 3.5}}, {}, {{"TAG", "  sub one tag  "}}},
             {{}, {{"LEVEL", -4}}, {}}});
  EXPECT_EQ(data("CONSTANTS", 0.5),
            (std::vector<std::string>{
                "1 0.500000 1 \"COUNT\" 7",
                "1 0.500000 3 \"LEVEL\" -4",
                "2 0.500000 1 \"ALPHA\" 1.50000",
                "2 0.500000 1 \"BETA\" 2.50000",
                "2 0.500000 2 \"GAMMA\" 3.50000",
                "3 0.500000 1 \"NAME\" \"hello \"\"quoted\"\"\"",
                "3 0.500000 1 \"EMPTY\" \" \"",
                "3 0.500000 2 \"TAG\" \"sub one tag\"",
            }));
}

TEST_F(GffRecords, FluidNodeLinesCarryTheirTexts) {
  gar_fluidnodefluidtypes.set(1, "WATER");
  gar_fluidnodeflowregimes.set(1, "LAM");
  gar_fluidnodestatedescriptors.set(1, "PL");
  gar_fluidnodestatuses.set(2, "K");
  const auto lines = data("NODES", 2.0, 2);
  ASSERT_EQ(lines.size(), 2U);
  std::vector<std::string> a, b;
  ASSERT_TRUE(kalvir::test::split_items(lines[0].substr(2), a));
  ASSERT_TRUE(kalvir::test::split_items(lines[1].substr(2), b));
  // 29 fixed items (T = 100 + 15 thermal nodes + 1); the fixture's attributes are thermal-node ones, which
  // fluid nodes carry too (zero or blank).
  ASSERT_EQ(a.size(), 29U + 4U);
  EXPECT_EQ((std::vector<std::string>{a[1], a[2], a[3], a[4], a[5]}),
            (std::vector<std::string>{"1", "101", "1", "LOOP INLET", "116.000"}));
  EXPECT_EQ((std::vector<std::string>{a[26], a[27], a[28]}), (std::vector<std::string>{"WATER", "LAM", "PL"}));
  EXPECT_EQ(b[3], "11");
}

}  // namespace gff_records_test
