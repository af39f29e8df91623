#include "runtime/platform/format.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace kalvir::platform {
namespace format_test {

using I = std::int64_t;
using S = std::string_view;

constexpr int code(FormatError e) { return static_cast<int>(e); }

struct RealCase {
  const char* fmt;
  double value;
  const char* expected;
};

// Each row is one real written with one descriptor. Expected texts were worked
// out by hand from the classic editing rules and agree with an established
// compiler's runtime.
const RealCase kRealCases[] = {
    // Done-when cases.
    {"(1PE11.4)", 12.3456, " 1.2346E+01"},
    {"(F10.2)", 0.125, "      0.12"},  // exact tie goes to the even digit
    {"(F10.0)", 100.0, "      100."},
    {"(1PE22.15)", 1234.5, " 1.234500000000000E+03"},
    {"(G12.6)", 1.0e6, "0.100000E+07"},
    {"(1PE10.3)", -20000.0, "-2.000E+04"},
    // Fixed point: optional zero only when it fits, sign of a rounded zero.
    {"(F5.3)", 0.125, "0.125"},
    {"(F4.3)", 0.125, ".125"},
    {"(F4.2)", -0.5, "-.50"},
    {"(F6.2)", -0.001, " -0.00"},
    {"(F6.2)", -0.0, " -0.00"},
    {"(F3.0)", 0.5, " 0."},
    {"(F3.0)", 2.5, " 2."},
    {"(F10.2)", 0.015, "      0.01"},  // 0.015 is stored a little below
    {"(F25.20)", 0.1, "   0.10000000000000000555"},
    {"(F1.0)", 0.0, "*"},  // a field needs a digit
    {"(F2.0)", -0.1, "**"},
    {"(F5.1)", 12345.0, "*****"},
    {"(F12.3)", 1e300, "************"},
    {"(F0.3)", 0.5, ".500"},
    {"(F0.0)", 0.0, "0."},
    // Scale factor: F multiplies, E shifts the mantissa.
    {"(2PF12.3)", 12345.0, " 1234500.000"},
    {"(-2PF12.3)", 12345.0, "     123.450"},
    {"(-3PF12.1)", 12355.0, "        12.4"},
    {"(-2PE12.3)", 12345.0, "   0.001E+07"},
    {"(2PE12.4)", 12345.0, "  12.345E+03"},
    {"(1PE10.0)", 5.0, "    5.E+00"},
    {"(1P,F8.3)", 2.25, "  22.500"},
    // Exponent fields: letter dropped at three digits, asterisks beyond.
    {"(E12.4)", 1.0, "  0.1000E+01"},
    {"(E10.4)", 1.0, "0.1000E+01"},
    {"(E8.4)", 1.0, "********"},
    {"(E11.4)", 0.0, " 0.0000E+00"},
    {"(1PE11.4)", 1.0e-100, " 1.0000-100"},
    {"(E12.4)", 1.0e100, "  0.1000+101"},
    {"(E12.4E3)", 1.0e-300, " 0.1000E-299"},
    {"(1PE9.2E1)", 1.5e5, "  1.50E+5"},
    {"(1PE9.2E1)", 1.5e15, "*********"},
    {"(D12.4)", 12345.0, "  0.1234D+05"},
    {"(ES12.4)", 0.0, "  0.0000E+00"},
    {"(ES10.3E3)", 0.0, "0.000E+000"},
    {"(EN12.3)", 12345.0, "  12.345E+03"},
    {"(EN12.3)", 999.96, " 999.960E+00"},
    {"(EN10.1)", 999.96, "   1.0E+03"},  // the carry moves to the next triple
    {"(EN10.1)", 0.09996, " 100.0E-03"},
    // General editing: fixed form plus exponent-wide blanks inside its range.
    {"(G12.6)", 0.0, " 0.00000    "},
    {"(G12.6)", -0.0, "-0.00000    "},
    {"(G12.6)", 20.0, " 20.0000    "},
    {"(G12.6)", 123456.7, " 123457.    "},
    {"(G12.6)", 999999.5, "0.100000E+07"},  // rounds to 10^6: exponent form
    {"(G12.6)", 0.0999999996, "0.100000    "},
    {"(G12.3)", 0.09994, "   0.999E-01"},
    {"(G12.6)", 1.0e-5, "0.100000E-04"},
    {"(G12.6E3)", 20.0, "20.0000     "},
    {"(1PG12.4)", 12.0, "   12.00    "},  // scale ignored in fixed form
    {"(1PG12.4)", 1.0e-5, "  1.0000E-05"},
    {"(G8.3)", 12345.0, ".123E+05"},
    {"(G6.2)", 1.0, "******"},
    // Sign control and exceptional values.
    {"(SP,F8.2)", 1.5, "   +1.50"},
    {"(SP,E12.4)", 2.0, " +0.2000E+01"},
    {"(SP,1X,SS,F5.1)", 2.0, "   2.0"},
    {"(F10.2)", std::numeric_limits<double>::infinity(), "  Infinity"},
    {"(F4.1)", std::numeric_limits<double>::infinity(), " Inf"},
    {"(F3.1)", -std::numeric_limits<double>::infinity(), "***"},
    {"(E10.3)", std::numeric_limits<double>::quiet_NaN(), "       NaN"},
};

TEST(FormatReal, EditsFollowTheClassicRules) {
  for (const RealCase& c : kRealCases) {
    EXPECT_EQ(format_line(c.fmt, {c.value}), c.expected) << c.fmt << " of " << c.value;
  }
}

TEST(FormatReal, SingleEditHelpersAgreeWithFormatLists) {
  EXPECT_EQ(edit_f(0.125, 10, 2), "      0.12");
  EXPECT_EQ(edit_f(12345.0, 12, 3, -2), "     123.450");
  EXPECT_EQ(edit_f(-0.5, 0, 2), "-.50");
  EXPECT_EQ(edit_e(12.3456, 11, 4, 0, 1), " 1.2346E+01");
  EXPECT_EQ(edit_e(1.0e-300, 12, 4, 3), " 0.1000E-299");
  EXPECT_EQ(edit_e(5.0, 10, 0), "**********");  // E10.0 without scale has no digit
  EXPECT_EQ(edit_es(0.25, 13, 6), " 2.500000E-01");
  EXPECT_EQ(edit_en(12345.0, 12, 3), "  12.345E+03");
  EXPECT_EQ(edit_g(1.0e6, 12, 6), "0.100000E+07");
  EXPECT_EQ(edit_g(20.0, 12, 6), " 20.0000    ");
  EXPECT_EQ(edit_i(12345, 4), "****");
  EXPECT_EQ(edit_i(4, 3), "  4");
  EXPECT_EQ(edit_i(7, 5, 3), "  007");
  EXPECT_EQ(edit_i(0, 3, 0), "   ");
  EXPECT_EQ(edit_i(-42, 0), "-42");
  EXPECT_EQ(edit_i(std::numeric_limits<std::int64_t>::min(), 20), "-9223372036854775808");
  EXPECT_EQ(edit_f(1.0, -1, 2), "");  // nonsense widths give nothing, not a crash
}

TEST(FormatItems, IntegersTextsAndLogicals) {
  EXPECT_EQ(format_line("(I4)", {I(12345)}), "****");
  EXPECT_EQ(format_line("(I3)", {I(4)}), "  4");
  EXPECT_EQ(format_line("(I5.3,I3.0,I4,I2,SP,I4,SS,I4)", {I(7), I(0), I(-12), I(100), I(5), I(5)}),
            "  007    -12**  +5   5");
  // Aw pads on the left and keeps the leftmost w characters; A takes the
  // text's own length.
  EXPECT_EQ(format_line("(A3,A6,A)", {S("abcdef"), S("ab"), S("xyz ")}), "abc    abxyz ");
  EXPECT_EQ(format_line("(L3,L1)", {I(1), I(0)}), "  TF");
  // General editing of an integer or a text is Iw or Aw.
  EXPECT_EQ(format_line("(G10.3,G6.2)", {I(42), S("abcd")}), "        42  abcd");
}

TEST(FormatItems, CsvFieldsAndLiterals) {
  EXPECT_EQ(format_line("(',', 1PE13.6)", {0.25}), ", 2.500000E-01");
  EXPECT_EQ(format_line("(',', I10)", {I(-7)}), ",        -7");
  EXPECT_EQ(format_line("(A, ',', A, ',', 1PE11.4)", {S("T"), S("N1"), 1250.0}),
            "T,N1, 1.2500E+03");
  EXPECT_EQ(format_line("('it''s',\"q\"\"q\")", {}), "it'sq\"q");
  EXPECT_EQ(format_line("( 1 p e 1 1 . 4 )", {12.3456}), " 1.2346E+01");  // blanks ignored
  EXPECT_EQ(format_line("(1pe11.4,a2)", {12.3456, S("ok")}), " 1.2346E+01ok");
  EXPECT_EQ(format_line("(1PE12.5 )trailing text is ignored", {0.5}), " 5.00000E-01");
}

struct RecordCase {
  const char* fmt;
  std::vector<FormatItem> items;
  std::vector<std::string> expected;
};

TEST(FormatRecords, ReversionGroupsSlashesAndPositions) {
  const RecordCase cases[] = {
      // Reversion to the whole list when it has no group.
      {"(2X,3F8.2)", {1.0, 2.0, 3.0, 4.0, 5.0}, {"      1.00    2.00    3.00", "      4.00    5.00"}},
      // Reversion to the last outer group, with its repeat count.
      {"(I3,2(1X,A,I4),'|')",
       {I(1), S("a"), I(2), S("b"), I(3), S("c"), I(4), S("d"), I(5)},
       {"  1 a   2 b   3|", " c   4 d   5|"}},
      {"(2(I2,2(A1)),A)", {I(1), S("a"), S("b"), I(2), S("c"), S("d"), S("e")}, {" 1ab 2cde"}},
      // Literals before the first descriptor without an item are written, those
      // after it are not; ":" stops early.
      {"(I2,' next',I2,' never')", {I(4)}, {" 4 next"}},
      {"(I2,:,' next')", {I(4)}, {" 4"}},
      {"(A)", {}, {""}},
      {"('only text')", {}, {"only text"}},
      // Slashes end records, also at the end of the list and with a count.
      {"(2I3/I3)", {I(1), I(2), I(3), I(4), I(5), I(6)}, {"  1  2", "  3", "  4  5", "  6"}},
      {"(3(I2,1X),/)", {I(1), I(2), I(3), I(4)}, {" 1  2  3", "", " 4"}},
      {"(I1,2/I1)", {I(1), I(2)}, {"1", "", "2"}},
      // Positioning: T moves anywhere, later text overwrites, trailing X adds
      // nothing.
      {"(1X,I2,T10,I2,TL5,I1,TR3,I1,10X)", {I(11), I(22), I(3), I(4)}, {" 11   3  24"}},
      {"(A,T2,A,A)", {S("abcdef"), S("X"), S("]")}, {"aX]def"}},
      // The scale factor holds for the rest of the statement, reversion included.
      {"(1P,E12.4,F8.3,2(E10.2))",
       {1.5, 2.25, 3.0, 4.0, 5.0, 6.0},
       {"  1.5000E+00  22.500  3.00E+00  4.00E+00", "  5.00E+00  6.00E+00"}},
  };
  std::vector<std::string> records{"stale", "stale", "stale", "stale", "stale", "stale"};
  for (const RecordCase& c : cases) {
    EXPECT_EQ(format_records(c.fmt, c.items, records), 0) << c.fmt;
    EXPECT_EQ(records, c.expected) << c.fmt;
  }
}

TEST(FormatRecords, ParsedFormatServesManyRows) {
  const std::optional<Format> row = Format::parse("(1X,A1,1X,I10,4X,F10.2,4X,F10.2)");
  ASSERT_TRUE(row.has_value());
  std::vector<std::string> out;
  const std::vector<FormatItem> first{S("*"), I(12), 20.0, -1.5};
  const std::vector<FormatItem> second{S(" "), I(7), 0.004, 1e12};
  ASSERT_EQ(row->write(first, out), 0);
  EXPECT_EQ(out, (std::vector<std::string>{" * " "        12" "         20.00" "         -1.50"}));
  ASSERT_EQ(row->write(second, out), 0);
  EXPECT_EQ(out, (std::vector<std::string>{"   " "         7" "          0.00" "    **********"}));
}

struct InvalidCase {
  const char* fmt;
  std::vector<FormatItem> items;
  FormatError expected;
};

TEST(FormatRecords, InvalidFormatsAndItemsFailWithACode) {
  const InvalidCase cases[] = {
      {"(I5", {I(1)}, FormatError::unbalanced},
      {"((I5)", {I(1)}, FormatError::unbalanced},
      {"", {}, FormatError::syntax},
      {"I5", {I(1)}, FormatError::syntax},
      {"(I5,,I5)", {I(1)}, FormatError::syntax},
      {"(,I5)", {I(1)}, FormatError::syntax},
      {"(I5,)", {I(1)}, FormatError::syntax},
      {"('open)", {}, FormatError::syntax},
      {"(2'ab')", {}, FormatError::syntax},
      {"(0I5)", {I(1)}, FormatError::syntax},
      {"(P,F8.2)", {1.0}, FormatError::syntax},
      {"(Q5)", {I(1)}, FormatError::unknown_descriptor},
      {"(5H12345)", {}, FormatError::unknown_descriptor},
      {"(BX)", {}, FormatError::unknown_descriptor},
      {"(I)", {I(1)}, FormatError::missing_width},
      {"(F8)", {1.0}, FormatError::missing_width},
      {"(E0.3)", {1.0}, FormatError::missing_width},
      {"(E12.4E)", {1.0}, FormatError::missing_width},
      {"(T0,I2)", {I(1)}, FormatError::missing_width},
      {"(A0)", {S("a")}, FormatError::missing_width},
      {"(I999999)", {I(1)}, FormatError::too_large},
      {"(F8.2)", {I(1)}, FormatError::type_mismatch},
      {"(I8)", {1.0}, FormatError::type_mismatch},
      {"(A8)", {I(1)}, FormatError::type_mismatch},
      {"(E10.3)", {S("x")}, FormatError::type_mismatch},
      {"('no value')", {I(1)}, FormatError::no_data_descriptor},
      {"(I5,('x'))", {I(1), I(2)}, FormatError::no_data_descriptor},
      {"(E10.0)", {5.0}, FormatError::scale_range},
      {"(3P,E10.1)", {5.0}, FormatError::scale_range},
  };
  std::vector<std::string> records;
  for (const InvalidCase& c : cases) {
    EXPECT_EQ(format_records(c.fmt, c.items, records), code(c.expected)) << c.fmt;
  }
  EXPECT_EQ(format_line("(I5", {I(1)}), "");
  EXPECT_EQ(format_line("(F8.2)", {I(1)}), "");
  int error = 0;
  EXPECT_FALSE(Format::parse("(X5)", error).has_value());
  EXPECT_EQ(error, code(FormatError::syntax));
}

TEST(FormatRecords, RunawayFormatsAreCutOffInsteadOfHanging) {
  std::vector<std::string> records;
  // No data descriptor, billions of position moves.
  EXPECT_EQ(format_records("(99999(99999(99999(TR1))))", {}, records), code(FormatError::too_large));
  // Billions of records.
  EXPECT_EQ(format_records("(99999(99999/))", {}, records), code(FormatError::too_large));
  std::string deep(66, '(');
  deep += std::string(66, ')');
  EXPECT_EQ(format_records(deep, {}, records), code(FormatError::too_large));
}

struct IntInput {
  const char* field;
  bool blank_zero;
  int status;
  std::int64_t value;
};

TEST(FormattedInput, IntegerFields) {
  const IntInput cases[] = {
      {"1 2", true, 0, 102},
      {"1 2", false, 0, 12},
      {"12 ", true, 0, 120},  // trailing blanks are zeros too
      {"  -1 5", true, 0, -105},
      {"    ", true, 0, 0},
      {"+7", false, 0, 7},
      {"-9223372036854775808", false, 0, std::numeric_limits<std::int64_t>::min()},
      {"9223372036854775808", false, ERANGE, -1},
      {"1.5", false, EINVAL, -1},
      {"-", false, EINVAL, -1},
      {"12a", false, EINVAL, -1},
  };
  for (const IntInput& c : cases) {
    std::int64_t v = -1;
    EXPECT_EQ(read_int_field(c.field, v, c.blank_zero), c.status) << c.field;
    EXPECT_EQ(v, c.value) << c.field;
  }
}

struct RealInput {
  const char* field;
  int d;
  bool blank_zero;
  int status;
  double value;
};

TEST(FormattedInput, RealFields) {
  const RealInput cases[] = {
      {"12345", 2, false, 0, 123.45},      // implied decimals without a point
      {"1.5", 2, false, 0, 1.5},           // a point overrides them
      {"1 2", 2, true, 0, 1.02},
      {"1 2", 2, false, 0, 0.12},
      {" -1 5", 2, false, 0, -0.15},
      {"15E2", 1, false, 0, 150.0},        // implied decimals apply to the mantissa
      {"1.5D-1", 0, false, 0, 0.15},
      {"1.5+3", 0, false, 0, 1500.0},      // exponent sign without a letter
      {"1.5e 2", 0, true, 0, 150.0},
      {".5", 0, false, 0, 0.5},
      {"0.1", 0, false, 0, 0.1},           // correctly rounded, not 1 x 10^-1 computed
      {"   ", 3, true, 0, 0.0},
      {"1E-400", 0, false, 0, 0.0},
      {"1E400", 0, false, ERANGE, -1.0},
      {"1.2.3", 0, false, EINVAL, -1.0},
      {"1.5E", 0, false, EINVAL, -1.0},
      {"abc", 0, false, EINVAL, -1.0},
      {".", 0, false, EINVAL, -1.0},
      {"NaN", 0, false, EINVAL, -1.0},
  };
  for (const RealInput& c : cases) {
    double v = -1.0;
    EXPECT_EQ(read_real_field(c.field, c.d, v, c.blank_zero), c.status) << c.field;
    EXPECT_EQ(v, c.value) << c.field;
  }
  double v = 1.0;
  ASSERT_EQ(read_real_field("-0", 0, v, false), 0);
  EXPECT_TRUE(v == 0.0 && std::signbit(v));
}

}  // namespace format_test
}  // namespace kalvir::platform
