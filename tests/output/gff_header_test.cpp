// The GFF header: block selection, record numbering, the whole header of a
// one-submodel model against its expected text, and the full submodel names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/shared_blocks.h"
#include "runtime/output/gff/gff_header.h"
#include "runtime/platform/process.h"
#include "tests/output/gff_test_support.h"
#include "tests/output/tmd_fixture.h"
#include "tests/support/model_fixture.h"
#include "tests/support/test_support.h"

namespace gff_header_test {

using kalvir::test::capture_messages;
using kalvir::test::ModelSpec;
using kalvir::test::SubmodelSpec;

struct BlockCase {
  const char* what;
  const char* text;
  std::int32_t length;
  kalvir::gff::BlockFlags flags;
};

class GffBlocks : public ::testing::TestWithParam<BlockCase> {};

TEST_P(GffBlocks, SelectsTheBlocksNamedInTheText) {
  const BlockCase& c = GetParam();
  kalvir::gff::BlockFlags flags{-1, -1, -1, -1};
  std::int32_t status = -1;
  GZBLKS(kalvir::padded(c.text, 256), c.length, kalvir::gff::kBlockNames, flags, status);
  EXPECT_EQ(flags, c.flags);
  EXPECT_EQ(status, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GffBlocks,
    ::testing::Values(BlockCase{"blank", "", 256, {1, 1, 1, 1}},
                      BlockCase{"nodes", "NODES", 256, {0, 1, 0, 0}},
                      BlockCase{"two_blocks", "NODES, CONSTANTS", 256, {0, 1, 0, 1}},
                      BlockCase{"all_names_none", "ALL", 256, {0, 0, 0, 0}},
                      BlockCase{"lower_case_names_none", "nodes, conductors", 256, {0, 0, 0, 0}},
                      BlockCase{"inside_a_longer_word", "XCONDUCTORSX", 256, {0, 0, 1, 0}},
                      BlockCase{"beyond_the_length", "NODES CONSTANTS", 10, {0, 1, 0, 0}}),
    kalvir::test::CaseName{});

class GffHeader : public kalvir::test::TmdTest {
 protected:
  void use_orvik() {
    ModelSpec spec;
    spec.submodels = {SubmodelSpec{"ORVIK_TESTBED_01", 0, {1, 2, 3}}};
    use_model(spec, {{{{"SPAN", 2.5}}, {}, {}}});
  }
  std::vector<std::string> header(const std::string& blocks, const std::string& title = "Parameter case    1 CASE A") {
    kalvir::test::write_gff(file("h.gff"), blocks, title, "*", {});
    return kalvir::test::file_lines(file("h.gff"));
  }
  std::vector<std::pair<std::string, int>> numbers(const std::string& blocks) {
    kalvir::test::write_gff(file("n.gff"), blocks, "", "*", {});
    std::vector<std::pair<std::string, int>> out;
    for (const auto& r : kalvir::test::read_gff(file("n.gff")).records) out.emplace_back(r.name, r.number);
    return out;
  }
};

TEST_F(GffHeader, OneSubmodelModelWithAllBlocksGivesTheWholeHeader) {
  use_orvik();
  const std::string map = "        Map:  1  \"ORVIK_TESTBED_01\"";
  std::vector<std::string> expected{
      "Description: GFF output from KALVIR v2020                ",
      "Description: ORVIK_TESTBED_01        ",
      "Description: 05 March     2026",
      "Description: 14:07:09",
      "Description: Parameter case    1 CASE A",
      "Format: ASCII",
      "Record: Thermal_Node",
      "  Comment: This is record type    1 in this file",
      "  Attribute: Time  FLOAT",
      "  Attribute: Model_Name  INTEGER",
      map,
      "  Attribute: Node_Number  INTEGER",
      "  Attribute: Type  INTEGER",
      "        Map:  1  \"D\"",
      "        Map:  2  \"B\"",
      "        Map:  3  \"X\"",
      "        Map:  4  \"C\"",
      "  Attribute: Label  STRING",
  };
  for (const char* a : {"Temperature", "Capacitance", "Total_Albedo_Heat_Source", "Total_Earth_Heat_Source",
                        "Total_Internal_Heat_Source", "Total_Solar_Heat_Source", "Total_Rest_Heat_Source", "Area",
                        "Solar_Absorptivity", "Infra-Red_Emissivity", "Incident_Albedo_Heat_Source",
                        "Incident_Earth_Heat_Source", "Incident_Solar_Heat_Source", "X_Coordinate", "Y_Coordinate",
                        "Z_Coordinate"}) {
    expected.push_back("  Attribute: " + std::string(a) + "  FLOAT");
  }
  for (const std::string& l : {
           std::string("  Comment: We only output 1 of the pairs of 2-way conductors"),
           std::string("Record: Thermal_Conductor"),
           std::string("  Comment: This is record type    2 in this file"),
           std::string("  Attribute: Time  FLOAT"),
           std::string("  Attribute: Type  INTEGER"),
           std::string("        Map:  1  \"GL\""),
           std::string("        Map:  2  \"GR\""),
           std::string("        Map:  3  \"GF\""),
           std::string("        Map:  4  \"GV\""),
           std::string("  Attribute: Model_Name_For_Conductors  INTEGER"),
           map,
           std::string("  Attribute: Model_Name_From_Node  INTEGER"),
           map,
           std::string("  Attribute: From_Node  INTEGER"),
           std::string("  Attribute: Model_Name_To_Node  INTEGER"),
           map,
           std::string("  Attribute: To_Node  INTEGER"),
           std::string("  Attribute: Sequence_Number  INTEGER"),
           std::string("  Attribute: Value  FLOAT"),
           std::string("  Attribute: Status  INTEGER"),
           std::string("        Map:  1  \"A\""),
           std::string("        Map:  2  \"I\""),
           std::string("Record: Real_User_Constant"),
           std::string("  Comment: This is record type    3 in this file"),
           std::string("  Attribute: Time  FLOAT"),
           std::string("  Attribute: Model_Name  INTEGER"),
           map,
           std::string("  Attribute: Real_User_Constant_Name  STRING"),
           std::string("  Attribute: Value  FLOAT"),
           std::string("End_Header"),
       }) {
    expected.push_back(l);
  }
  ASSERT_EQ(expected.size(), 64U);
  EXPECT_EQ(header(""), expected);
}

TEST_F(GffHeader, BlankTitleWritesFourDescriptionLines) {
  use_orvik();
  const auto lines = header("NODES", "");
  EXPECT_EQ(lines[3], "Description: 14:07:09");
  EXPECT_EQ(lines[4], "Format: ASCII");
}

TEST_F(GffHeader, TextNamingNoBlockGivesOnlyTheKeywordLines) {
  use_orvik();
  const auto lines = header("ALL");
  ASSERT_EQ(lines.size(), 7U);
  EXPECT_EQ(lines[5], "Format: ASCII");
  EXPECT_EQ(lines[6], "End_Header");
}

TEST_F(GffHeader, RecordTypesAreNumberedOverThosePresent) {
  // The three-submodel model has fluid nodes and constants of all three kinds.
  using V = std::vector<std::pair<std::string, int>>;
  EXPECT_EQ(numbers("NODES"), (V{{"Thermal_Node", 1}, {"Fluid_Node", 2}}));
  EXPECT_EQ(numbers("CONDUCTORS"), (V{{"Thermal_Conductor", 1}, {"Fluid_Conductor", 2}}));
  EXPECT_EQ(numbers("CONSTANTS"),
            (V{{"Integer_User_Constant", 1}, {"Real_User_Constant", 2}, {"Character_User_Constant", 3}}));
  EXPECT_EQ(numbers(""), (V{{"Thermal_Node", 1},
                            {"Thermal_Conductor", 2},
                            {"Fluid_Node", 3},
                            {"Fluid_Conductor", 4},
                            {"Integer_User_Constant", 5},
                            {"Real_User_Constant", 6},
                            {"Character_User_Constant", 7}}));
  use_orvik();
  EXPECT_EQ(numbers("CONSTANTS"), (V{{"Real_User_Constant", 1}}));
}

TEST_F(GffHeader, NodeRecordsEndWithTheSpareAttributes) {
  ModelSpec spec = kalvir::test::three_submodel_model();
  spec.real_attributes = {"MASS"};
  spec.int_attributes = {"PANEL"};
  spec.char_attributes = {""};
  use_model(spec, {});
  const auto f = kalvir::test::read_gff((kalvir::test::write_gff(file("s.gff"), "NODES", "", "*", {}), file("s.gff")));
  ASSERT_EQ(f.records.size(), 2U);
  for (const auto& r : f.records) {
    const std::vector<std::string> tail(r.attributes.end() - 3, r.attributes.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"MASS", "PANEL", ""})) << r.name;
  }
  const auto lines = kalvir::test::file_lines(file("s.gff"));
  EXPECT_NE(std::find(lines.begin(), lines.end(), "  Comment: Spare Nodal Entities"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "  Attribute:   STRING"), lines.end());
  EXPECT_EQ(f.records[1].attributes.size(), 29U + 3U);
}

TEST_F(GffHeader, ModelMapsCarryTheFullSubmodelNames) {
  const auto lines = header("CONSTANTS");
  const std::vector<std::string> maps(lines.begin() + 10, lines.begin() + 13);
  EXPECT_EQ(maps, (std::vector<std::string>{"        Map:  1  \"MAIN\"", "        Map:  2  \"MAIN:SUB1\"",
                                            "        Map:  3  \"MAIN:SUB1:SUB2\""}));
}

// Full names from the nesting levels.
struct NestingCase {
  const char* what;
  std::vector<std::pair<std::string, int>> tree;  // name, level
  std::vector<std::string> names;                 // expected, or empty for a fatal end
  std::int32_t code;                              // MODNAM code of the fatal end
};

class GffModelNames : public ::testing::TestWithParam<NestingCase> {
 protected:
  void TearDown() override { kalvir::test::release_model(); }
};

TEST_P(GffModelNames, FollowTheNestingLevels) {
  const NestingCase& c = GetParam();
  std::vector<SubmodelSpec> tree;
  for (const auto& [name, level] : c.tree) tree.push_back(SubmodelSpec{name, level});
  kalvir::test::build_node_tree(tree);
  std::vector<kalvir::gff::FullName> full;
  int status = -1;
  const auto msgs = capture_messages([&] {
    status = kalvir::platform::run_program(
        [&] { MODNAM(gar_modeldirectory, static_cast<std::int32_t>(tree.size()), gar_modelnames, full); });
  });
  if (c.names.empty()) {
    EXPECT_EQ(status, 1);
    ASSERT_EQ(msgs.size(), 1U);
    EXPECT_EQ(msgs[0].severity, "FATAL ERROR");
    EXPECT_EQ(msgs[0].routine, "MODNAM");
    EXPECT_EQ(msgs[0].code, c.code);
    return;
  }
  ASSERT_EQ(status, 0);
  std::vector<std::string> got;
  for (const auto& n : full) got.emplace_back(n.trimmed());
  EXPECT_EQ(got, c.names);
}

std::vector<std::pair<std::string, int>> deep_tree(int depth) {
  std::vector<std::pair<std::string, int>> t;
  for (int k = 0; k < depth; ++k) t.emplace_back("LEVEL" + std::to_string(k) + std::string(18, 'X'), k);
  return t;
}

std::vector<std::pair<std::string, int>> flat_tree(int n) {
  std::vector<std::pair<std::string, int>> t{{"MAIN", 0}};
  for (int k = 1; k < n; ++k) t.emplace_back("S" + std::to_string(k), 1);
  return t;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GffModelNames,
    ::testing::Values(
        NestingCase{"siblings_and_a_return_up",
                    {{"MAIN", 0}, {"A", 1}, {"A1", 2}, {"A2", 2}, {"B", 1}, {"B1", 2}},
                    {"MAIN", "MAIN:A", "MAIN:A:A1", "MAIN:A:A2", "MAIN:B", "MAIN:B:B1"},
                    0},
        NestingCase{"parent_name_fills_its_field",
                    {{"MAIN", 0}, {"PARENTNAMEFILLSALL24CHAR", 1}, {"KID", 2}},
                    {"MAIN", "MAIN:PARENTNAMEFILLSALL24CHAR", "MAIN:PARENTNAMEFILLSALL24CHAR:KID"},
                    0},
        NestingCase{"level_jump_of_two", {{"MAIN", 0}, {"A", 2}}, {}, 3},
        NestingCase{"drop_to_a_level_no_earlier_submodel_has", {{"MAIN", 0}, {"A", 1}, {"B", -1}}, {}, 2},
        NestingCase{"first_submodel_below_the_top", {{"MAIN", 1}, {"A", 2}}, {}, 3},
        NestingCase{"name_longer_than_200", deep_tree(9), {}, 4},
        NestingCase{"more_than_100_submodels", flat_tree(101), {}, 1}),
    kalvir::test::CaseName{});

}  // namespace gff_header_test
