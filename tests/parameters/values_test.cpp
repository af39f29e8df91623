// The value readers and the expression evaluation of the parameter cases.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "runtime/control/status.h"
#include "runtime/parameters/case_values.h"
#include "runtime/platform/fixed_string.h"
#include "tests/support/message_frames.h"
#include "tests/support/test_support.h"

namespace values_test {

using kalvir::test::capture_messages;

struct RealCase {
  const char* what;
  const char* text;
  double value;
  std::int32_t ierr;
  const char* message = nullptr;  // the reported text, when it is checked
};

class RealExpression : public ::testing::TestWithParam<RealCase> {};

TEST_P(RealExpression, EvaluatesOrRefuses) {
  const RealCase& c = GetParam();
  double v = -999.0;
  std::int32_t ierr = -1;
  const auto m = capture_messages([&] { PARRGT(c.text, v, ierr); });
  EXPECT_EQ(ierr, c.ierr);
  if (c.ierr == 0) {
    EXPECT_DOUBLE_EQ(v, c.value);
    EXPECT_TRUE(m.empty());
  } else {
    ASSERT_EQ(m.size(), 1U) << "a refused expression is reported once";
    if (c.message != nullptr) {
      EXPECT_EQ(m[0].routine, "PARRGT");
      EXPECT_EQ(m[0].code, c.ierr);
      EXPECT_EQ(m[0].text, c.message);
    }
  }
}

const RealCase kRealCases[] = {
    {"precedence", "1 + 2 * 3", 7, 0},
    {"parentheses", "(1 + 2) * 3", 9, 0},
    {"left to right", "10 - 2 * 3 - 1", 3, 0},
    {"divide then multiply", "8 / 2 * 2", 8, 0},
    {"power before times", "2 ** 3 * 2", 16, 0},
    {"power after times", "3 * 2 ** 2", 12, 0},
    {"negated group", "- (1 + 2) * 3", -9, 0},
    {"subtractions", "1 - 2 - 3", -4, 0},
    {"exponent sign", "1e+2", 100, 0},
    {"plus after a digit is an operator", "1.0 + 3", 4, 0},
    {"unary plus", "2 * + 3", 6, 0},
    {"powers left to right", "2 ** 3 ** 2", 64, 0},
    {"negated power", "- 2 ** 2", -4, 0},
    {"times negative", "2 * - 3", -6, 0},
    {"divide negative", "2 / - 4", -0.5, 0},
    {"negative exponent in parentheses", "2 ** (- 1)", 0.5, 0},
    {"d exponent", "1.5D2", 150, 0},
    {"ends with plus", "2 +", 0, 1},
    {"ends with times", "2 *", 0, 1},
    {"starts with times", "* 2", 0, 2},
    {"two operators", "2 * / 3", 0, 2},
    {"group after a number", "2 (3)", 0, 2},
    {"negative exponent", "2 ** - 1", 0, 2},
    {"empty", "", 0, 2},
    {"empty group", "2 * ()", 0, 2, "Unable to interpret expression2*()"},
    {"empty operand before a close", "(2 *)", 0, 2, "Unable to interpret expression(2*)"},
    {"group opened and not closed", "(1 + 2", 0, 2, "Unable to interpret expression(1+2"},
    {"close without open", "1 + 2) * 3", 0, 2, "Unable to interpret expression1+2)*3"},
    {"close before open", ")1 + 2(", 0, 2},
    {"open group ending with an operator", "(2 +", 0, 1, "Illegal expression - ends with an operator"},
    {"nested groups", "((1 + 2) * (3 - 1))", 6, 0},
    {"not a number", "abc", 0, 3},
    {"no number", "(-1) ** 0.5", 0, 3},
    {"too many pending values",
     "1*2*3*4*5*6*7*8*9*1*2*3*4*5*6*7*8*9*1*2*3*4+1", 0, 4},
};

INSTANTIATE_TEST_SUITE_P(Cases, RealExpression, ::testing::ValuesIn(kRealCases), kalvir::test::CaseName{});

struct IntCase {
  const char* what;
  const char* text;
  std::int32_t value;
  std::int32_t ierr;
};

class IntegerExpression : public ::testing::TestWithParam<IntCase> {};

TEST_P(IntegerExpression, EvaluatesOrRefuses) {
  const IntCase& c = GetParam();
  std::int32_t v = -999;
  std::int32_t ierr = -1;
  const auto m = capture_messages([&] { PARIGT(c.text, v, ierr); });
  EXPECT_EQ(ierr, c.ierr);
  if (c.ierr == 0) {
    EXPECT_EQ(v, c.value);
  }
  EXPECT_EQ(m.size(), c.ierr == 0 ? 0U : 1U);
}

const IntCase kIntCases[] = {
    {"truncating division", "7 / 2", 3, 0},
    {"negated division", "- 7 / 2", -3, 0},
    {"power", "2 ** 3", 8, 0},
    {"negative power", "2 ** (- 1)", 0, 0},
    {"ends with an operator", "7 -", 0, 1},
    {"empty group", "2 * ()", 0, 2},
    {"group opened and not closed", "(7 / 2", 0, 2},
    {"close without open", "7) / 2", 0, 2},
    {"division by zero", "1 / 0", 0, 3},
    {"overflow", "2147483647 + 1", 0, 3},
    {"literal beyond 32 bits", "2147483648", 0, 1},
    {"decimal point", "1.0", 0, 1},
};

INSTANTIATE_TEST_SUITE_P(Cases, IntegerExpression, ::testing::ValuesIn(kIntCases), kalvir::test::CaseName{});

TEST(PlainValues, RealsIntegersAndQuotedStrings) {
  double v = 0;
  std::int32_t ierr = -1;
  PARRVL("1.5D2", v, ierr);
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(v, 150.0);
  PARRVL(".5", v, ierr);
  EXPECT_EQ(v, 0.5);
  PARRVL("5", v, ierr);
  EXPECT_EQ(v, 5.0);
  PARRVL("", v, ierr);
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(v, 0.0);
  capture_messages([&] { PARRVL("1,5", v, ierr); });
  EXPECT_EQ(ierr, 2);
  capture_messages([&] { PARRVL(std::string(41, '1'), v, ierr); });
  EXPECT_EQ(ierr, 1);
  capture_messages([&] { PARRVL("1e999", v, ierr); });
  EXPECT_EQ(ierr, 3) << "a real beyond the double range is refused";

  std::int32_t i = 0;
  PARIVL("12", i, ierr);
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(i, 12);
  for (const char* bad : {"-3", "1.0", ""}) {
    capture_messages([&] { PARIVL(bad, i, ierr); });
    EXPECT_EQ(ierr, 1) << bad;
  }

  kalvir::Chars<8> s("OLD");
  PARZVL("'A B'", s.span(), ierr);
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(s.view(), "A B     ");
  PARZVL("''", s.span(), ierr);
  EXPECT_EQ(s.trimmed(), "");
  PARZVL("'it''s'", s.span(), ierr);
  EXPECT_EQ(s.trimmed(), "it''s");
  s = "KEEP";
  const auto m = capture_messages([&] { PARZVL("A B", s.span(), ierr); });
  EXPECT_EQ(ierr, 1);
  EXPECT_EQ(s.trimmed(), "KEEP");
  ASSERT_EQ(m.size(), 1U);
  EXPECT_EQ(m[0].text, "String is not delimited with single quotes>>A B<<");
}

TEST(StoreAtPositions, AScalingPassesOverAnUndefinedElement) {
  std::vector<double> a{1.0, kalvir::test::undefined_real(), 3.0, 4.0};
  const std::array<std::int32_t, 3> list{1, 2, 3};
  std::int32_t ierr = -1;
  const auto m = capture_messages([&] { PARSTR(list, 3, "SCALE", 2.0, a, ierr); });
  EXPECT_EQ(ierr, 2);
  EXPECT_EQ(a[0], 2.0);
  EXPECT_TRUE(SLUNDF(a[1])) << "left undefined";
  EXPECT_EQ(a[2], 6.0);
  EXPECT_EQ(a[3], 4.0);
  ASSERT_EQ(m.size(), 1U);
  EXPECT_EQ(m[0].code, 2);
  const auto c = capture_messages([&] { PARSTR(list, 3, "CHANGE", 7.0, a, ierr); });
  EXPECT_EQ(ierr, 0);
  EXPECT_EQ(a[1], 7.0) << "a change sets an undefined element all the same";
  ASSERT_EQ(c.size(), 1U);
  EXPECT_EQ(c[0].code, 1);
}

}  // namespace values_test
