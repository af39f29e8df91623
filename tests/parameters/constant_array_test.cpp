// Constant and ARRAY statements on a model written to an MDB file and loaded.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <vector>
#include <string>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/status.h"
#include "runtime/modeldata/model_tree.h"
#include "runtime/parameters/constant_changes.h"
#include "runtime/parameters/csv_file.h"
#include "runtime/platform/units.h"
#include "tests/support/message_frames.h"
#include "tests/parameters/statement_fixture.h"
#include "tests/support/mdb_fixtures.h"
#include "tests/support/test_support.h"
#include "tools/mdb_description.h"

namespace constant_array_test {

using kalvir::test::CaseRun;
using kalvir::test::find_message;
using kalvir::test::run_statements;

constexpr const char* kModel = R"(model PARAMS
node 1
real K 2.0
real STEFAN 1.0
real UNDEF U
integer N 3
character EMPTY ""
character TAG ABCDEF
character TAG2 ABCDEF
array real VALS 1 2 3
array integer IDX 1 2 3 4 5 6 dims=2x3
array character NAMES A ABCD XYZ
array real CUBE 1 2 3 4 5 6 7 8 dims=2x2x2
array real TAB 1 2
control NODES 5
attribute real MASS
attribute character OWNER
submodel SUB1
node 1
real K 5.0
array real VALS 10 20 30
control NODES 7
)";

class ConstantsAndArrays : public ::testing::Test {
 protected:
  void SetUp() override {
    std::istringstream in(kModel);
    kalvir::test::load_ok(kalvir::mdbw::read_description(in), dir_);
    kalvir::test::reset_messages();
    GLOR.TIMEND = 100.0;
    GLOR.TABS = 273.0;
    GLOR.STEFAN = 5.67e-8;
    GLOI.NLOOP = 10;
    next_free_ = FLAGS(flagw::NEXTINT);
  }
  void TearDown() override { kalvir::model_tree_reset_for_tests(); }

  CaseRun run(const std::string& statements) {
    CaseRun r = run_statements(statements);
    EXPECT_EQ(r.next_free, next_free_) << statements;
    return r;
  }
  // Value of user constant `name` of submodel `sub` by its place in the lists.
  static double real_constant(int sub, int j) { return gar_userconstvaluesreal(gar_modeldirectory(8, sub) + j); }
  // The character ARRAY elements of the main model, as one text.
  static std::string char_store() {
    const std::string_view s = gar_arrayvalueschar.stream();
    return std::string(s.substr(0, s.find_last_not_of(' ') + 1));
  }
  static double real_element(int array_start, int l) { return gar_arrayvaluesreal(array_start + l - 1); }

  kalvir::test::TempDir dir_;
  std::int32_t next_free_ = 0;
};

TEST_F(ConstantsAndArrays, ControlAndUserConstants) {
  const CaseRun r = run("CHANGE TIMEND=2*3600\nSCALE TABS*2\nCHANGE NLOOP=100\nCHANGE PARNAM='CASE A WITH A LONG NAME OF 30'\n"
                        "CHANGE K=4\nCHANGE SUB1:K=3.0\nCHANGE NODES=6\nCHANGE SUB1:NODES=8\nCHANGE TAG='XY'\n"
                        "CHANGE N=7\nCHANGE UNDEF=1.5\nCHANGE EMPTY='Q'\nCHANGE TAG2='HIDDENXX'\nCHANGE STEFAN=9\n");
  EXPECT_EQ(r.errors, 0) << r.printed;
  EXPECT_EQ(GLOR.TIMEND, 7200.0);
  EXPECT_EQ(GLOR.TABS, 546.0);
  EXPECT_EQ(GLOR.STEFAN, 5.67e-8) << "the user constant STEFAN hides the control constant";
  EXPECT_EQ(real_constant(1, 2), 9.0);
  EXPECT_EQ(GLOI.NLOOP, 100);
  EXPECT_EQ(GLOC.PARNAM.view(), "CASE A WITH A LONG NAME ");
  EXPECT_EQ(real_constant(1, 1), 4.0);
  EXPECT_EQ(real_constant(2, 1), 3.0);
  EXPECT_EQ(real_constant(1, 3), 1.5);
  ASSERT_NE(find_message(r, "PARCCR", 1), nullptr) << "an undefined value is warned of";
  EXPECT_EQ(find_message(r, "PARCCR", 1)->severity, "WARNING");
  EXPECT_EQ(gar_userconstvaluesint(1), 7);
  EXPECT_EQ(LOCI(1), 6);
  EXPECT_EQ(LOCI(FLAGS(11) + 1), 8);
  const std::string_view store = gar_userconstvalueschar.stream();
  // EMPTY stays empty, TAG is blank-padded to its six characters, TAG2 cut to them.
  EXPECT_EQ(store.substr(0, 15), std::string_view("\0XY    \0HIDDEN\0", 15));
}

TEST_F(ConstantsAndArrays, ControlConstantTableHasTheChangeableNamesOnly) {
  const auto table = kalvir::parameters::changeable_control_constants();
  ASSERT_EQ(table.size(), 90U);
  EXPECT_EQ(table.front().name, "CSGMIN");
  EXPECT_EQ(table[46].name, "DTROCC");
  EXPECT_EQ(table[47].name, "LOOPCT");
  EXPECT_EQ(table[88].name, "NODES");
  for (const auto& c : table) EXPECT_TRUE(c.name != "ENBNDM" && c.name != "INBNDM");
  GLOR.DTROCC = 1.0;
  const CaseRun r = run("SCALE DTROCC*2\nCHANGE ENBNDM=1.0\nSCALE NLOOP*2\nSCALE PARNAM*2\nCHANGE NOSUCH:K=1\n"
                        "CHANGE K=B=3\n");
  EXPECT_EQ(r.errors, 5);
  ASSERT_NE(find_message(r, "PARRVL", 3), nullptr) << "a CHANGE splits at its first =";
  EXPECT_EQ(find_message(r, "PARRVL", 3)->text, "Assigned value is not recognised as a realB=3");
  EXPECT_NE(find_message(r, "PARCCT", 1), nullptr);
  EXPECT_NE(find_message(r, "PARCCI", 2), nullptr);
  EXPECT_EQ(GLOI.NLOOP, 10);
  EXPECT_EQ(GLOR.DTROCC, 2.0) << "the last real that a case may change";
  EXPECT_NE(find_message(r, "PARZVL", 1), nullptr) << "the value is read as a string first";
  EXPECT_NE(find_message(r, "PARCST", 1), nullptr);
}

TEST_F(ConstantsAndArrays, UserAttributesOfTheLoadedModel) {
  const CaseRun r = run("CHANGE MASS1=2.5\nCHANGE OWNER:SUB1:1='ME'\nSCALE OWNER1*2\n");
  EXPECT_EQ(r.errors, 1);
  EXPECT_NE(find_message(r, "PARZVL", 1), nullptr) << "a text attribute is read as a string first";
  EXPECT_EQ(gar_thermalnodeuserentityvalsreal(1), 2.5);
  EXPECT_EQ(gar_thermalnodeuserentityvalsreal(2), 0.0);
  EXPECT_EQ(gar_thermalnodeuserentityvalschar(2).substr(0, 3), "ME ");
}

TEST_F(ConstantsAndArrays, ScalingAnUndefinedRealFails) {
  const CaseRun r = run("SCALE UNDEF*2\n");
  EXPECT_EQ(r.errors, 1);
  EXPECT_TRUE(SLUNDF(real_constant(1, 3)));
  ASSERT_NE(find_message(r, "PARCCR", 2), nullptr);
  EXPECT_EQ(find_message(r, "PARCCR", 2)->text, "UNDEF is undefined - cannot scale.");
}

TEST_F(ConstantsAndArrays, ArrayElementsRangesAndLists) {
  const CaseRun r = run("CHANGE VALS(2)=1.5\nCHANGE IDX(1,2)=7\nCHANGE IDX(*,3)=0\nSCALE CUBE(*,2,*)*10\n"
                        "CHANGE NAMES(2)='XY'\nCHANGE NAMES(3)='LONGER'\nCHANGE SUB1:VALS(1)=0,-1\n"
                        "CHANGE TAB(1)=5,6\n");
  EXPECT_EQ(r.errors, 0) << r.printed;
  EXPECT_EQ(gar_arrayvaluesreal(2), 1.5);
  EXPECT_EQ(gar_arrayvaluesint(3), 7) << "element (1,2) is linear element 3";
  EXPECT_EQ(gar_arrayvaluesint(5), 0);
  EXPECT_EQ(gar_arrayvaluesint(6), 0);
  EXPECT_EQ(gar_arrayvaluesint(4), 4);
  // CUBE follows VALS: elements (i,2,k) are 3, 4, 7 and 8.
  for (int l = 1; l <= 8; ++l) {
    const bool scaled = l == 3 || l == 4 || l == 7 || l == 8;
    EXPECT_EQ(gar_arrayvaluesreal(3 + l), scaled ? 10.0 * l : l) << l;
  }
  EXPECT_EQ(gar_arrayvaluesreal(12), 5.0);
  EXPECT_EQ(gar_arrayvaluesreal(13), 6.0);
  EXPECT_EQ(char_store(), std::string("A\0XY  \0LON\0", 11));
  // SUB1's VALS follows the main model's values.
  EXPECT_EQ(gar_arrayvaluesreal(14), 0.0);
  EXPECT_EQ(gar_arrayvaluesreal(15), -1.0);
  EXPECT_EQ(gar_arrayvaluesreal(16), 30.0);
}

using ArrayFailure = kalvir::test::RefusedCase;

class RefusedArrayStatement : public ConstantsAndArrays, public ::testing::WithParamInterface<ArrayFailure> {};

TEST_P(RefusedArrayStatement, ChangesNothing) {
  const ArrayFailure& c = GetParam();
  const std::string before_reals(reinterpret_cast<const char*>(gar_arrayvaluesreal.span().data()),
                                 gar_arrayvaluesreal.span().size_bytes());
  const std::string before_ints(reinterpret_cast<const char*>(gar_arrayvaluesint.span().data()),
                                gar_arrayvaluesint.span().size_bytes());
  const std::string before_chars = char_store();
  const CaseRun r = run(std::string(c.statement) + "\n");
  kalvir::test::expect_refused(r, c);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(gar_arrayvaluesreal.span().data()),
                        gar_arrayvaluesreal.span().size_bytes()),
            before_reals);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(gar_arrayvaluesint.span().data()),
                        gar_arrayvaluesint.span().size_bytes()),
            before_ints);
  EXPECT_EQ(char_store(), before_chars);
}

const ArrayFailure kArrayFailures[] = {
    {"list off the end", "CHANGE VALS(2)=1.5,2.5,3.5", "PARARR", 7, "Too many values specified - will run off end of array"},
    {"integer list off the end", "CHANGE IDX(2,3)=1,2", "PARARR", 5},
    {"integer list on a range", "CHANGE IDX(*,2)=0,1", "PARARR", 4, "Cannot specify array reference range (m, *) with more than one value"},
    {"real list on a range", "CHANGE VALS(*)=0,1", "PARARR", 6},
    {"scale with a list", "SCALE VALS(1)*2,3", "PARARR", 4, "Can only supply list of values with CHANGE"},
    {"scale integers", "SCALE IDX(1,1)*2", "PARARR", 4, "Cannot scale integer values"},
    {"scale texts", "SCALE NAMES(1)*2", "PARARR", 4, "Cannot scale character values"},
    {"character list off the end", "CHANGE NAMES(3)='P','Q'", "PARARR", 7},
    {"unknown submodel", "CHANGE NOSUCH:VALS(1)=0", "PARARR", 1, "Unrecognised submodel nameNOSUCH:VALS(1)"},
    {"unknown array", "CHANGE NOSUCH(1)=0", "PARARR", 3, "Unrecognised entity nameNOSUCH(1)"},
    {"index zero", "CHANGE VALS(0)=1", "PARAIN", 2, "Array reference out of bounds"},
    {"index beyond", "CHANGE VALS(4)=1", "PARAIN", 2},
    {"too many indices", "CHANGE VALS(1,1)=1", "PARAIN", 4, "Too many indices for this array"},
    {"index not a number", "CHANGE VALS(x)=1", "PARAIN", 3, "Array index not an integer"},
    {"too few indices", "CHANGE IDX(1)=1", "PARAIN", 5, "Too few indices for this array"},
    {"no closing bracket", "CHANGE VALS(1=1", "PARAIN", 1, "Invalid array reference syntax(1"},
    {"bad value in a list", "CHANGE VALS(1)=1,x", "PARRVL", 3},
};

INSTANTIATE_TEST_SUITE_P(Cases, RefusedArrayStatement, ::testing::ValuesIn(kArrayFailures),
                         kalvir::test::CaseName{});

TEST(CharacterArrays, AnElementThatCrossesARowOfTheStore) {
  // Element 2 starts at column 131 of the first row and ends in the second.
  std::istringstream in("model CROSS\nnode 1\narray character LONG " + std::string(129, 'P') +
                        " ABCDEFGH Q\n");
  kalvir::test::TempDir dir;
  kalvir::test::load_ok(kalvir::mdbw::read_description(in), dir);
  kalvir::test::reset_messages();
  CaseRun r = run_statements("CHANGE LONG(2)='XYZ'\n");
  EXPECT_EQ(r.errors, 0) << r.printed;
  const std::string_view store = gar_arrayvalueschar.stream();
  EXPECT_EQ(store.substr(129, 12), std::string_view("\0XYZ     \0Q\0", 12));
  r = run_statements("CHANGE LONG(*)='R'\n");
  EXPECT_EQ(r.errors, 0) << r.printed;
  EXPECT_EQ(store.substr(0, 130), "R" + std::string(128, ' ') + std::string(1, '\0'));
  EXPECT_EQ(store.substr(130, 11), std::string_view("R       \0R\0", 11));
  kalvir::model_tree_reset_for_tests();
}

}  // namespace constant_array_test

namespace constant_array_test {

// The CSV columns of constants and ARRAY elements: labels and values of one
// header and one row.
TEST_F(ConstantsAndArrays, CsvColumnsOfConstantsAndArrays) {
  namespace io = kalvir::platform;
  constexpr std::int32_t kUnit = 11;
  const std::string path = dir_.file("out.csv");
  ASSERT_EQ(io::unit_open(kUnit, path, io::Form::Formatted, io::OpenStatus::Replace), 0);
  const std::string list = kalvir::padded(
      "(SUB1:K,K,TAG,EMPTY,VALS(*),IDX(*,2),NAMES(*),NAMES(2),CUBE(2,1,2),SUB1:VALS(2),NODES,SUB1:NODES)", 256);
  std::int32_t header = -1, row = -1;
  const auto messages = kalvir::test::capture_messages([&] {
    PARHDC(list, 1, kUnit, header);
    PARCSV(list, 0, 1, kUnit, row);
  });
  io::unit_close(kUnit);
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_TRUE(messages.empty()) << messages.front().text;
  EXPECT_EQ(header, 0);
  EXPECT_EQ(row, 0);
  EXPECT_EQ(lines[2].substr(lines[2].find(",Time") + 5),
            ",SUB1:K,K,TAG,EMPTY,\"VALS(1)\",\"VALS(2)\",\"VALS(3)\",\"IDX(1,2)\",\"IDX(2,2)\",\"NAMES(1)\","
            "\"NAMES(2)\",\"NAMES(3)\",\"NAMES(2)\",\"CUBE(2,1,2)\",\"SUB1:VALS(2)\",NODES,SUB1:NODES");
  EXPECT_EQ(lines[3].substr(lines[3].find_first_of(',', lines[3].find(',') + 1) + 12),
            ", 5.000000E+00, 2.000000E+00,\"ABCDEF\",\"\", 1.000000E+00, 2.000000E+00, 3.000000E+00,         3,"
            "         4,\"A\",\"ABCD\",\"XYZ\",\"ABCD\", 6.000000E+00, 2.000000E+01,         5,         7");
}

}  // namespace constant_array_test
