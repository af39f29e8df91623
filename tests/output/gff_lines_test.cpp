// The items of GFF data lines: the real notation of FORMAT, zero and
// undefined values, text items, the joining of items, and the fatal ends of
// an edit or write that fails.
#include <gtest/gtest.h>

#include <bit>
#include <cerrno>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/modeldata/text_utils.h"
#include "runtime/output/gff/gff_header.h"
#include "runtime/output/gff/gff_lines.h"
#include "runtime/output/gff/gff_records.h"
#include "runtime/platform/process.h"
#include "runtime/program/startup.h"
#include "tests/output/gff_test_support.h"
#include "tests/output/tmd_fixture.h"
#include "tests/support/model_fixture.h"
#include "tests/support/test_support.h"

namespace gff_lines_test {

using kalvir::test::capture_messages;
using kalvir::test::printed;

// The undefined marker in the low-order word, whatever the other word holds.
const double kUndefined = std::bit_cast<double>(std::uint64_t{0x12345678'7FFFFFFF});

std::string trimmed(const std::string& s) {
  const auto a = s.find_first_not_of(' ');
  return a == std::string::npos ? "" : s.substr(a, s.find_last_not_of(' ') - a + 1);
}

struct ValueCase {
  const char* what;
  const char* format;
  double value;
  const char* item;  // SETVU's item, trimmed
};

class GffValues : public ::testing::TestWithParam<ValueCase> {};

TEST_P(GffValues, AreWrittenInTheNotationOfFormat) {
  const ValueCase& c = GetParam();
  const kalvir::gff::RealNotation notation(c.format);
  std::string item;
  SETVU(notation, c.value, item);
  EXPECT_EQ(trimmed(item), c.item);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GffValues,
    ::testing::Values(ValueCase{"general_fixed", "*", 20.0, "20.0000"},
                      ValueCase{"general_time", "*", 3600.0, "3600.00"},
                      ValueCase{"general_below_one", "*", 0.3, "0.300000"},
                      ValueCase{"general_just_above_0_1", "*", 0.1, "0.100000"},
                      ValueCase{"general_six_digits", "*", 123456.7, "123457."},
                      ValueCase{"general_rounds_to_a_million", "*", 999999.6, "0.100000E+07"},
                      ValueCase{"general_large", "*", 1.0e6, "0.100000E+07"},
                      ValueCase{"general_small", "*", 1.0e-5, "0.100000E-04"},
                      ValueCase{"general_negative", "*", -20.0, "-20.0000"},
                      ValueCase{"trailing_blanks_of_star", "*       ", 12.5, "12.5000"},
                      ValueCase{"zero", "*", 0.0, "0.0"},
                      ValueCase{"negative_zero", "E12.4", -0.0, "0.0"},
                      ValueCase{"undefined", "*", kUndefined, "NULL"},
                      ValueCase{"undefined_under_a_descriptor", "F8.2", kUndefined, "NULL"},
                      ValueCase{"e_descriptor", "E12.4", 293.2, "0.2932E+03"},
                      ValueCase{"scaled_descriptor", "1PE12.5", 293.2, "2.93200E+02"},
                      ValueCase{"fixed_descriptor", "F10.3", 1.5, "1.500"}),
    kalvir::test::CaseName{});

TEST(GffTime, ZeroTimeKeepsTheNotationsOwnForm) {
  const kalvir::gff::RealNotation notation("*");
  std::string text;
  ASSERT_EQ(notation.edit(0.0, text), 0);
  EXPECT_EQ(trimmed(text), "0.00000");
}

TEST(GffTextItems, AreQuotedTrimmedAndKeepInnerBlanks) {
  std::string item;
  ASSERT_TRUE(kalvir::gff::text_item("  Node one   ", 26, item));
  EXPECT_EQ(item, "\"Node one\"");
  ASSERT_TRUE(kalvir::gff::text_item("    ", 26, item));
  EXPECT_EQ(item, "\" \"");
  // A quote inside is doubled, so that a reader finds the item's end.
  ASSERT_TRUE(kalvir::gff::text_item("say \"hi\"", 26, item));
  EXPECT_EQ(item, "\"say \"\"hi\"\"\"");
  std::vector<std::string> items;
  ASSERT_TRUE(kalvir::test::split_items("1 " + item + " \" \"", items));
  EXPECT_EQ(items, (std::vector<std::string>{"1", "say \"hi\"", " "}));
  EXPECT_TRUE(kalvir::gff::text_item(std::string(253, 'x'), 255, item));
  EXPECT_FALSE(kalvir::gff::text_item(std::string(254, 'x'), 255, item));
}

TEST(GffJoin, TrimsEachItemAndJoinsWithOneBlank) {
  std::string line;
  STRSPC(std::vector<std::string>{"  7200.00 ", "         1", "\"A B\""}, 1000, line);
  EXPECT_EQ(line, "7200.00 1 \"A B\"");
  STRSPC(std::vector<std::string>{"   "}, 1000, line);
  EXPECT_EQ(line, " ");
  STRSPC(std::vector<std::string>{"  ", "x"}, 1000, line);
  EXPECT_EQ(line, "  x");
}

TEST(GffJoin, ALineReachingItsCapacityEndsTheRun) {
  kalvir::test::reset_messages();
  std::string line;
  int status = -1;
  const auto msgs = capture_messages([&] {
    status = kalvir::platform::run_program(
        [&] { STRSPC(std::vector<std::string>{"12345", "12345"}, 10, line); });
  });
  EXPECT_EQ(status, 1);
  ASSERT_EQ(msgs.size(), 1U);
  EXPECT_EQ(msgs[0].routine, "STRSPC");
  EXPECT_EQ(msgs[0].code, 1);
  EXPECT_EQ(msgs[0].text, printed(" Size of output buffer too small.   Current length =     10"));
}

// Fatal ends on the three-submodel model.
class GffFailures : public kalvir::test::TmdTest {
 protected:
  // Runs write_gff and returns the one message it ended with.
  kalvir::test::Message fails(const std::string& blocks, const std::string& format) {
    int status = -1;
    const auto msgs = capture_messages([&] {
      status = kalvir::platform::run_program(
          [&] { kalvir::test::write_gff(file("f.gff"), blocks, "", format, {3600.0}); });
    });
    EXPECT_EQ(status, 1);
    EXPECT_EQ(msgs.size(), 1U);
    return msgs.empty() ? kalvir::test::Message{} : msgs[0];
  }
};

TEST_F(GffFailures, TooWideAFormatEndsTheRunAtTheTimeItemBeforeAnyLine) {
  const auto m = fails("NODES", "E30.20");
  EXPECT_EQ(m.severity, "FATAL ERROR");
  EXPECT_EQ(m.routine, "GTNODA");
  EXPECT_EQ(m.code, 2);
  EXPECT_EQ(m.text, printed("Error writing data for KALVIR neutral file : IO status = " +
                            kalvir::int_field(EOVERFLOW, 6)));
  const auto lines = kalvir::test::file_lines(file("f.gff"));
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "End_Header");
}

TEST_F(GffFailures, AnInvalidFormatIsReportedByTheFirstWriter) {
  EXPECT_EQ(fails("NODES", "XYZ").routine, "GTNODA");
  const auto m = fails("CONSTANTS", "Q5.2");
  EXPECT_EQ(m.routine, "GIUCTS");
  EXPECT_EQ(m.code, 1);
  EXPECT_EQ(fails("CONSTANTS", "I5").routine, "GIUCTS");
}

TEST_F(GffFailures, AValueTooWideForItsItemIsReportedBySetvu) {
  // The time fits, a temperature does not.
  gar_thermalnodetemps(1) = 1.0e30;
  const auto m = fails("NODES", "F0.1");
  EXPECT_EQ(m.routine, "SETVU");
  EXPECT_EQ(m.code, 3);
}

TEST_F(GffFailures, AFailedLineWriteEndsTheRun) {
  int status = -1;
  kalvir::gff::BlockFlags flags{1, 1, 1, 1};
  std::vector<std::int32_t> work(64);
  const auto msgs = capture_messages([&] {
    status = kalvir::platform::run_program([&] { GRECDB(kalvir::unit::kGff, flags, "*", 0.0, work); });
  });
  EXPECT_EQ(status, 1);
  ASSERT_EQ(msgs.size(), 1U);
  EXPECT_EQ(msgs[0].routine, "GTNODA");
  EXPECT_EQ(msgs[0].code, 9);
  EXPECT_EQ(msgs[0].text, printed("Error writing data for KALVIR neutral file : IO status = " +
                                  kalvir::int_field(EBADF, 6)));
}

TEST_F(GffFailures, AHeaderLineThatCannotBeWrittenEndsTheRun) {
  int status = -1;
  const auto msgs = capture_messages([&] {
    status = kalvir::platform::run_program(
        [&] { GHEADB(kalvir::unit::kGff, "05 March     2026", "M", "14:07:09", "", {1, 1, 1, 1}); });
  });
  EXPECT_EQ(status, 1);
  ASSERT_EQ(msgs.size(), 1U);
  EXPECT_EQ(msgs[0].routine, "GHEADB");
  EXPECT_EQ(msgs[0].code, 1);
}

struct ConstantFailure {
  const char* what;
  std::int32_t pointer;  // start of the value within its record; 0 keeps it
  std::string value;
  std::int32_t code;
};

class GffCharacterConstants : public kalvir::test::TmdTest,
                              public ::testing::WithParamInterface<ConstantFailure> {};

TEST_P(GffCharacterConstants, ThatCannotBeWrittenWholeEndTheRun) {
  const ConstantFailure& c = GetParam();
  use_model(kalvir::test::three_submodel_model(), {{{}, {}, {{"TEXT", c.value.substr(0, 100)}}}});
  if (c.value.size() > 100) {
    // A value running over several records of the packed store.
    gar_userconstvalueschar.allocate(3);
    std::span<char> store = gar_userconstvalueschar.stream_span();
    std::copy(c.value.begin(), c.value.end(), store.begin());
    store[c.value.size()] = '\0';
    FLAGS(8) = 3;
  }
  if (c.pointer != 0) gar_userconstpointerschar(1) = c.pointer;
  int status = -1;
  const auto msgs = capture_messages([&] {
    status = kalvir::platform::run_program(
        [&] { kalvir::test::write_gff(file("c.gff"), "CONSTANTS", "", "*", {0.0}); });
  });
  EXPECT_EQ(status, 1);
  ASSERT_EQ(msgs.size(), 1U);
  EXPECT_EQ(msgs[0].routine, "GCUCTS");
  EXPECT_EQ(msgs[0].code, c.code);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GffCharacterConstants,
    ::testing::Values(ConstantFailure{"longer_than_its_item", 0, std::string(254, 'v'), 4},
                      ConstantFailure{"start_outside_the_store", 9999, "short", 6},
                      ConstantFailure{"no_end_behind_the_start", 7, "short", 6}),
    kalvir::test::CaseName{});

TEST_F(GffFailures, MoreUserAttributesThanTheItemBufferHoldsEndTheRun) {
  // Thermal nodes only: a fluid node line has room for fewer attributes.
  kalvir::test::ModelSpec spec;
  spec.submodels = {kalvir::test::SubmodelSpec{"MAIN", 0, {1, 2, 3}}};
  for (int k = 0; k < 305; ++k) spec.real_attributes.push_back("R" + std::to_string(k));
  use_model(spec, {});
  int status = -1;
  const auto msgs = capture_messages([&] {
    status = kalvir::platform::run_program(
        [&] { kalvir::test::write_gff(file("ok.gff"), "NODES", "", "*", {0.0}); });
  });
  EXPECT_EQ(status, 0) << "305 attributes fit a thermal node line: " << (msgs.empty() ? "" : msgs[0].text);
  spec.real_attributes.push_back("R305");
  use_model(spec, {});
  const auto m = fails("NODES", "*");
  EXPECT_EQ(m.routine, "GTNODA");
  EXPECT_EQ(m.code, 1);
  EXPECT_EQ(m.text, printed(" Size of BUFFER in GRECDB is   326:, need  327 for thermal nodes."));
}

}  // namespace gff_lines_test
