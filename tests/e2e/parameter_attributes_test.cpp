// Parameter cases on a model program with user-defined node attributes
// (tests/support/models/attribute_model.h): the attribute names reach the
// case statements, the CSV columns and the GFF header; every CSV row keeps
// its file's header columns when a case relabels a node; a per-case CSV file
// takes the columns of the model its case runs; and an !INITIAL case
// starts from the attributes, link type and pressure source saved before the
// base case, whatever the case before it changed.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/models/attribute_model.h"
#include "tests/support/test_support.h"
#include "tools/acd_writer.h"
#include "tools/mdb_description.h"
#include "tools/mdb_writer.h"

namespace parameter_attributes_test {

namespace fs = std::filesystem;
using kalvir::test::lines_of;
using kalvir::test::csv_fields;

kalvir::mdbw::Model attribute_model() {
  std::istringstream in{std::string(attrs::kDescription)};
  return kalvir::mdbw::read_description(in);
}

struct CaseRun {
  int status = -1;
  std::string out;
};

CaseRun run_cases(const fs::path& dir, const std::string& cases) {
  EXPECT_TRUE(kalvir::mdbw::build_mdb(attribute_model()).save((dir / "ATTRS.MDB").string()));
  kalvir::acd::ModelGroup root;
  kalvir::acd::write_acd_file(dir / "ATTRS.acd", root);
  std::ofstream(dir / "ATTRS.PAR") << cases;
  const std::string cmd = "cd '" + dir.string() + "' && '" KALVIR_ATTRIBUTE_PROGRAM "' > run.out 2> run.err";
  const int w = std::system(cmd.c_str());
  return {WIFEXITED(w) ? WEXITSTATUS(w) : -1,
          kalvir::test::read_file(dir / "run.out") + kalvir::test::read_file(dir / "run.err")};
}

// Each row of a CSV file as a map from column label to value, after checking
// that it has as many fields as the header.
std::vector<std::map<std::string, std::string>> csv_rows(const fs::path& path) {
  const auto lines = lines_of(path);
  std::vector<std::map<std::string, std::string>> rows;
  EXPECT_GE(lines.size(), 4u) << path;
  if (lines.size() < 3) return rows;
  const auto header = csv_fields(lines[2]);
  for (std::size_t k = 3; k < lines.size(); ++k) {
    const auto f = csv_fields(lines[k]);
    EXPECT_EQ(f.size(), header.size()) << path << " row " << k << ": " << lines[k];
    std::map<std::string, std::string> row;
    for (std::size_t c = 0; c < std::min(f.size(), header.size()); ++c) row[header[c]] = f[c];
    rows.push_back(row);
  }
  return rows;
}

double number(const std::map<std::string, std::string>& row, const std::string& column) {
  const auto it = row.find(column);
  if (it == row.end()) {
    ADD_FAILURE() << "no column " << column;
    return -1.0;
  }
  return std::stod(it->second);
}

constexpr const char* kCases =
    "!FINAL = 'CHANGED'\n"
    "CHANGE MASS1 = 2.5 * 2\n"
    "SCALE MASS:20 * 3\n"
    "CHANGE HEIGHT:* = 1.5\n"
    "CHANGE ZONE:* = 7\n"
    "CHANGE OWNER1 = 'ME'\n"
    "CHANGE L1 = 'MOVED'\n"
    "CHANGE PUMP = 1\n"
    "!INITIAL = 'BACK'\n";

TEST(ParameterAttributes, TheProgramStoresTheSizesOfItsModelDatabase) {
  const auto sizes = kalvir::mdbw::model_sizes(attribute_model());
  EXPECT_EQ(sizes.flags, attrs::kFlags);
  EXPECT_EQ(sizes.sprsiz, attrs::kSprsiz);
  ASSERT_EQ(sizes.attribute_names[0].size(), attrs::kRealAttributes.size());
  for (std::size_t k = 0; k < attrs::kRealAttributes.size(); ++k)
    EXPECT_EQ(sizes.attribute_names[0][k], attrs::kRealAttributes[k]);
  EXPECT_EQ(sizes.attribute_names[1][0], attrs::kIntegerAttributes[0]);
  EXPECT_EQ(sizes.attribute_names[2][0], attrs::kCharacterAttributes[0]);
}

TEST(ParameterAttributes, CasesChangeAttributesAndAnInitialCaseStartsFromTheSavedState) {
  kalvir::test::TempDir dir;
  const CaseRun r = run_cases(dir.path(),
                          "$PARAMETERS, CSV_ENTITIES=(MASS:*,ZONE1,OWNER:'PLATE',T:'PLATE',HEIGHT1), "
                          "GFF_ENTITIES='NODES'\n" + std::string(kCases));
  ASSERT_EQ(r.status, 0) << r.out;

  // What the execution block found: the base case, the changed case (its
  // block then sets the pump), and the !INITIAL case, back at the start.
  const std::string original = " FOUND MASS1=0 HEIGHT1=0 MASS10=0 ZONE1=0 OWNER1=<> TYPE1=1 PSRC1=0 DPSRC1=0";
  const std::size_t base = r.out.find(original);
  ASSERT_NE(base, std::string::npos) << r.out;
  const std::size_t changed =
      r.out.find(" FOUND MASS1=5 HEIGHT1=1.5 MASS10=0 ZONE1=7 OWNER1=<ME> TYPE1=1 PSRC1=0 DPSRC1=0", base);
  ASSERT_NE(changed, std::string::npos) << r.out;
  EXPECT_NE(r.out.find(original, changed), std::string::npos)
      << "the !INITIAL case must see the saved attributes, link type and pressure source\n" << r.out;

  // One CSV file for all cases: the attribute columns under their names,
  // every row as wide as the header, each value under its own node.
  const auto lines = lines_of(dir.path() / "ATTRS_PAR.csv");
  ASSERT_GE(lines.size(), 3u);
  const std::string columns = ",MASS1,MASS2,MASS10,MASS20,ZONE1,OWNER1,T1,HEIGHT1";
  EXPECT_EQ(lines[2], "Parameter case number,Parameter case name,Time" + columns);
  const auto rows = csv_rows(dir.path() / "ATTRS_PAR.csv");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(number(rows[0], "MASS1"), 0.0);
  EXPECT_EQ(number(rows[1], "MASS1"), 5.0);
  EXPECT_EQ(number(rows[2], "MASS1"), 0.0);
  EXPECT_EQ(number(rows[1], "ZONE1"), 7.0);
  EXPECT_EQ(rows[1].at("OWNER1"), "ME");
  EXPECT_EQ(rows[2].at("OWNER1"), "");
  EXPECT_EQ(number(rows[1], "HEIGHT1"), 1.5);
  EXPECT_EQ(number(rows[1], "T1"), 20.0) << "node 1 relabelled by the case keeps its column";
  EXPECT_EQ(number(rows[2], "HEIGHT1"), 0.0);

  // The GFF header names the attributes of both node records.
  const auto gff = lines_of(dir.path() / "ATTRS_PAR0001_CHANGED.GFF");
  for (const char* attribute : {"  Attribute: MASS  FLOAT", "  Attribute: HEIGHT  FLOAT", "  Attribute: ZONE  INTEGER",
                                "  Attribute: OWNER  STRING"})
    EXPECT_EQ(std::count(gff.begin(), gff.end(), attribute), 2) << attribute;
}

// One CSV file per case: each file's columns are those of the model its case
// runs, resolved after the case's restore, initial block and statements. A
// relabelling case gets the new labels' nodes; an !INITIAL case after it, with
// statements or without, gets the base case's columns back; every row is as
// wide as its header and holds the values under their headings.
TEST(ParameterAttributes, PerCaseCsvFilesTakeTheColumnsOfTheModelTheirCaseRuns) {
  kalvir::test::TempDir dir;
  const std::string relabel = "CHANGE L1 = 'MOVED'\nCHANGE L2 = 'PLATE2'\nCHANGE MASS2 = 4\n";
  const CaseRun r = run_cases(dir.path(), "$PARAMETERS, CSV_OUTPUT=MULTIPLE, CSV_ENTITIES=(T:'PLATE',MASS:'PLATE',T2)\n"
                                          "!FINAL = 'RELABEL'\n" + relabel +
                                          "!INITIAL = 'PLAIN'\n"
                                          "!FINAL = 'AGAIN'\n" + relabel +
                                          "!INITIAL = 'BACK'\n"
                                          "CHANGE MASS1 = 2.5\n");
  ASSERT_EQ(r.status, 0) << r.out;
  struct Expected {
    const char* file;
    const char* columns;
    std::vector<double> values;
  };
  const std::vector<Expected> expected{
      {"ATTRS_PAR0000_ORIGINAL.csv", ",T1,MASS1,T2", {20.0, 0.0, 0.0}},
      {"ATTRS_PAR0001_RELABEL.csv", ",T2,MASS2,T2", {0.0, 4.0, 0.0}},
      {"ATTRS_PAR0002_PLAIN.csv", ",T1,MASS1,T2", {20.0, 0.0, 0.0}},
      {"ATTRS_PAR0003_AGAIN.csv", ",T2,MASS2,T2", {0.0, 4.0, 0.0}},
      {"ATTRS_PAR0004_BACK.csv", ",T1,MASS1,T2", {20.0, 2.5, 0.0}},
  };
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.file);
    const auto lines = lines_of(dir.path() / e.file);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[2], std::string("Parameter case number,Parameter case name,Time") + e.columns);
    const auto fields = csv_fields(lines[3]);
    ASSERT_EQ(fields.size(), 3 + e.values.size()) << lines[3];
    for (std::size_t k = 0; k < e.values.size(); ++k) EXPECT_EQ(std::stod(fields[3 + k]), e.values[k]) << k;
  }
}

}  // namespace parameter_attributes_test
