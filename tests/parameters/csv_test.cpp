// The CSV result file: header and rows written for entity lists on the
// three-submodel model built in memory (MAIN thermal 1-6 and fluid 101-102,
// its child SUB1 1-5, SUB1's child SUB2 1-4; two parallel GL between MAIN 1
// and 2).
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/shared_blocks.h"
#include "runtime/control/status.h"
#include "runtime/modeldata/pcs.h"
#include "runtime/parameters/csv_file.h"
#include "runtime/parameters/node_changes.h"
#include "tests/support/message_frames.h"
#include "tests/support/model_fixture.h"
#include "tests/support/test_support.h"
#include "runtime/platform/format.h"
#include "runtime/platform/units.h"

namespace csv_test {

namespace io = kalvir::platform;
using kalvir::test::internal_node;
using kalvir::test::Message;

constexpr std::int32_t kUnit = 11;
constexpr const char* kFixed = "Parameter case number,Parameter case name,Time";

struct Written {
  std::int32_t header_status = -1;
  std::int32_t row_status = -1;
  std::vector<std::string> lines;
  std::vector<Message> messages;
};

class CsvFile : public ::testing::Test {
 protected:
  void SetUp() override {
    kalvir::test::build_model(kalvir::test::three_submodel_model());
    LPCSCN(FLAGS(flagw::NNODE), gar_thermalnodestatuses, gar_pcsthermalold.span(), gar_pcsptrsthermalold.span(),
           gar_pcsthermal.span(), gar_pcsptrsthermal);
    kalvir::test::reset_messages();
    FLAGS(flagw::NEXTINT) = 3;
    JOBINF.model = "THREE";
    JOBINF.date = "10 December  2026";
    JOBINF.time = "19:30:00";
    GLOC.PARNAM = "ORIGINAL";
    GLOC.SOLVER = "TRTH";
    GLOR.TIMEN = 1250.0;
    for (int i = 1; i <= gar_thermalnodetemps.size(); ++i) gar_thermalnodetemps(i) = 293.0 + i;
    for (int i = 1; i <= gar_fluidnodetemps.size(); ++i) gar_fluidnodetemps(i) = 400.0 + i;
    for (int i = 1; i <= gar_linearconds.size(); ++i) gar_linearconds(i) = 0.25 * i;
    gar_fluidicconds(1) = 2.5;
    gar_massflowlinkflowrates(1) = 0.125;
  }
  void TearDown() override {
    io::unit_close(kUnit);
    kalvir::test::release_model();
  }

  // The header and one row of LIST for case NCASE, on a new file.
  Written write(const std::string& list, std::int32_t ncase = 0) {
    Written w;
    const std::string path = dir_.file("out.csv");
    EXPECT_EQ(io::unit_open(kUnit, path, io::Form::Formatted, io::OpenStatus::Replace), 0);
    const std::string padded = kalvir::padded(list, 256);
    w.messages = kalvir::test::capture_messages([&] {
      PARHDC(padded, 1, kUnit, w.header_status);
      PARCSV(padded, ncase, 1, kUnit, w.row_status);
    });
    io::unit_close(kUnit);
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) w.lines.push_back(line);
    EXPECT_EQ(FLAGS(flagw::NEXTINT), 3) << "the work space is given back";
    return w;
  }
  static const Message* message(const Written& w, const std::string& routine, std::int32_t code) {
    for (const Message& m : w.messages)
      if (m.routine == routine && m.code == code) return &m;
    return nullptr;
  }

  kalvir::test::TempDir dir_;
};

TEST_F(CsvFile, HeaderAndRowOfEveryKind) {
  gar_linearconds(3) = kalvir::test::undefined_real();
  GLOI.NLOOP = SKUNDF();
  gar_fluidnodefluidtypes.set(2, "WATER");
  const Written w = write("(TIMEN,SOLVER,T:*-ONLY,T:SUB1:2,GL(1,2),FT102,NLOOP)");
  ASSERT_EQ(w.lines.size(), 4u) << w.lines.size();
  EXPECT_EQ(w.lines[0], "KALVIR 2020;  MODEL THREE;  TIME 10 December  2026  19:30:00");
  EXPECT_EQ(w.lines[1], "");
  EXPECT_EQ(w.lines[2], std::string(kFixed) +
                            ",TIMEN,SOLVER,T1,T2,T3,T4,T5,T6,T101,T102,T:SUB1:2,\"GL(1,2)\",\"GL(1,2,2)\",FT102,NLOOP");
  const int sub1_2 = internal_node(2, 2);
  EXPECT_EQ(w.lines[3], "0,ORIGINAL, 1.2500E+03, 1.250000E+03,\"TRTH\", 2.940000E+02, 2.950000E+02, 2.960000E+02,"
                        " 2.970000E+02, 2.980000E+02, 2.990000E+02, 4.010000E+02, 4.020000E+02," +
                            kalvir::platform::edit_e(293.0 + sub1_2, 13, 6, 0, 1) + ", 2.500000E-01,U,\"WATER\",U");
  EXPECT_EQ(w.header_status, 0);
  EXPECT_EQ(w.row_status, 0);
  EXPECT_TRUE(w.messages.empty());
}
}  // namespace csv_test

namespace csv_test {

// One entity list: the labels after the fixed part, the fields after the
// row's fixed part, and the failure expected in the header and in the row.
// An item the header refused has no columns, so the rows leave it out
// without a word; the header's message is the one the user sees.
struct ListCase {
  const char* what;
  const char* list;
  const char* labels;
  const char* fields;
  std::int32_t header_status = 0;
  const char* header_routine = nullptr;  // its message, code header_code
  std::int32_t header_code = 0;
  const char* row_routine = nullptr;  // the row's message, code row_code
  std::int32_t row_code = 0;
};

class CsvLists : public CsvFile, public ::testing::WithParamInterface<ListCase> {};

TEST_P(CsvLists, LabelsAndFieldsAgree) {
  const ListCase& c = GetParam();
  GLOR.TIMEN = -100.0;
  const Written w = write(c.list, 12);
  ASSERT_EQ(w.lines.size(), 4u);
  EXPECT_EQ(w.lines[2], std::string(kFixed) + c.labels);
  EXPECT_EQ(w.lines[3], std::string("12,ORIGINAL,-1.0000E+02") + c.fields);
  EXPECT_EQ(w.header_status, c.header_status);
  EXPECT_EQ(w.row_status, 0) << "an item's failure never fails the row";
  if (c.header_routine != nullptr) {
    EXPECT_NE(message(w, c.header_routine, c.header_code), nullptr);
  }
  if (c.row_routine != nullptr) {
    EXPECT_NE(message(w, c.row_routine, c.row_code), nullptr);
  }
  if (c.header_routine == nullptr && c.row_routine == nullptr) {
    EXPECT_TRUE(w.messages.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CsvLists,
    ::testing::Values(
        ListCase{"empty_list", "()", "", ""},
        ListCase{"blank_item_skipped", "(T1,,T2)", ",T1,T2", ", 2.940000E+02, 2.950000E+02"},
        ListCase{"node_number_after_mnemonic", "(T5,T:5)", ",T5,T5", ", 2.980000E+02, 2.980000E+02"},
        ListCase{"capacitance_only_thermal", "(C:101)", "", ""},
        ListCase{"second_parallel_only", "(GL(1,2,2))", ",\"GL(1,2,2)\"", ", 7.500000E-01"},
        ListCase{"path_before_conductor", "(GL:SUB1:(1,2))", ",\"GL:SUB1:(1,2)\"", ", 1.250000E+00"},
        ListCase{"fluidic_conductor", "(GF(2,3))", ",\"GF(2,3)\"", ", 2.500000E+00"},
        ListCase{"link_flow_rate", "(M(101,102))", ",\"M(101,102)\"", ", 1.250000E-01"},
        ListCase{"not_a_conductor", "(T(3),T1)", "", "", 3, "PRHCND", 2},
        ListCase{"status_column_refused_in_the_header", "(D:*-ONLY,T1)", "", "", 3, "PRHNOD", 1},
        ListCase{"missing_parallel_gv", "(GV(1,2,3),T1)", ",T1", ", 2.940000E+02", 0, nullptr, 0, "PRCCND", 3},
        ListCase{"unknown_constant", "(NOSUCH,T1)", "", "", 3, "PRHCST", 4},
        ListCase{"failing_item_ends_row_only", "(T1,T99,T2)", ",T1", ", 2.940000E+02", 3, "PARHDC", 3, "PARNDS",
                 3}),
    kalvir::test::CaseName{});

// A case that changes a node label between the header and a row: the row
// keeps the header's columns (T4, T5 found by 'BATTERY', the conductor
// between 'PANEL B' and 'RADIATOR'), each value under its own node, though
// the references no longer select the same nodes.
TEST_F(CsvFile, RowsKeepTheHeaderColumnsWhenACaseChangesALabel) {
  const std::string path = dir_.file("out.csv");
  ASSERT_EQ(io::unit_open(kUnit, path, io::Form::Formatted, io::OpenStatus::Replace), 0);
  const std::string list = kalvir::padded("(T:'BATTERY',T6,GL('PANEL B','RADIATOR'),TIMEN)", 256);
  std::int32_t header = -1, first = -1, second = -1, change = -1;
  const auto messages = kalvir::test::capture_messages([&] {
    PARHDC(list, 1, kUnit, header);
    PARCSV(list, 0, 1, kUnit, first);
    PARNOD("CHANGE", 1, "4", "'OTHER'", 1, change);
    PARNOD("CHANGE", 1, "1", "'BATTERY 0'", 1, change);
    PARNOD("CHANGE", 1, "2", "'GONE'", 1, change);
    gar_thermalnodetemps(4) = 500.0;
    gar_thermalnodetemps(1) = 600.0;
    PARCSV(list, 1, 1, kUnit, second);
  });
  io::unit_close(kUnit);
  EXPECT_EQ(header, 0);
  EXPECT_EQ(first, 0);
  EXPECT_EQ(second, 0);
  EXPECT_EQ(change, 0);
  EXPECT_TRUE(messages.empty());
  std::vector<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[2], std::string(kFixed) + ",T4,T5,T6,\"GL(2,3)\",TIMEN");
  EXPECT_EQ(lines[3], "0,ORIGINAL, 1.2500E+03, 2.970000E+02, 2.980000E+02, 2.990000E+02, 5.000000E-01, 1.250000E+03");
  EXPECT_EQ(lines[4], "1,ORIGINAL, 1.2500E+03, 5.000000E+02, 2.980000E+02, 2.990000E+02, 5.000000E-01, 1.250000E+03");
}

// Conductors 1 and 3 are parallel between MAIN nodes 1 and 2, and conductor 2
// (2 to 3) stands between them in node 2's list: from node 2 they are still
// the first and the second, as the GFF numbers them from node 1.
TEST_F(CsvFile, ParallelConductorsApartInTheListGetTheirOwnSequenceNumbers) {
  const Written w = write("(GL(2,1),GL(2,1,2),GL(1,2,2))");
  ASSERT_EQ(w.lines.size(), 4u);
  EXPECT_EQ(w.lines[2], std::string(kFixed) + ",\"GL(2,1)\",\"GL(2,1,2)\",\"GL(2,1,2)\",\"GL(1,2,2)\"");
  EXPECT_EQ(w.lines[3], "0,ORIGINAL, 1.2500E+03, 2.500000E-01, 7.500000E-01, 7.500000E-01, 7.500000E-01");
  EXPECT_EQ(w.header_status, 0);
  EXPECT_TRUE(w.messages.empty());
}

// A GV search in an empty range of pairs is reported by the header's label
// walk under its own name; the header goes on.
TEST_F(CsvFile, AFailedGvSearchInTheHeaderIsReportedAsTheLabelWalks) {
  gar_modeldirectory(7, 2) = gar_modeldirectory(7, 1);
  gar_modeldirectory(7, 3) = gar_modeldirectory(7, 1);
  gar_modeldirectory(7, 4) = gar_modeldirectory(7, 1);
  const Written w = write("(GV(1,2),T1)");
  ASSERT_EQ(w.lines.size(), 4u);
  EXPECT_NE(message(w, "PRHGGV", 3), nullptr);
  EXPECT_EQ(message(w, "PARGGV", 1), nullptr);
  EXPECT_NE(message(w, "PRHCND", 2), nullptr) << "no label: the item fails";
  EXPECT_EQ(w.header_status, 3);
}

TEST_F(CsvFile, ATitleWithACommaIsQuoted) {
  GLOC.PARNAM = "hot, \"worst\"";
  const Written w = write("(T1)", 3);
  ASSERT_EQ(w.lines.size(), 4u);
  EXPECT_EQ(w.lines[3], "3,\"hot, \"\"worst\"\"\", 1.2500E+03, 2.940000E+02");
  GLOC.PARNAM = "";
  const Written untitled = write("(T1)", 1);
  EXPECT_EQ(untitled.lines[3], "1,, 1.2500E+03, 2.940000E+02");
}

TEST_F(CsvFile, AListWithoutBracketsWritesNoRow) {
  const Written w = write("T1,T2");
  EXPECT_EQ(w.header_status, 1);
  EXPECT_EQ(w.row_status, 1);
  EXPECT_EQ(w.lines.size(), 2u) << "the run line and the empty line only";
  EXPECT_NE(message(w, "PARCSV", 1), nullptr);
}

TEST_F(CsvFile, ARowThatCannotBeWrittenIsAFailure) {
  if (!io::file_exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  ASSERT_EQ(io::unit_open(kUnit, "/dev/full", io::Form::Formatted, io::OpenStatus::Old), 0);
  std::int32_t status = 0;
  const auto messages = kalvir::test::capture_messages(
      [&] { PARCSV(kalvir::padded("(T1)", 256), 0, 1, kUnit, status); });
  EXPECT_EQ(status, 2);
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages[0].routine, "PARCSV");
}

}  // namespace csv_test
