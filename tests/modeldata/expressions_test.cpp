// The expression evaluator, driven as the parameter-case reader drives it:
// operands pushed by the caller, every operator handed to one step, the end
// of the text closing the expression.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "runtime/modeldata/expressions.h"

namespace expressions_test {

namespace st = kalvir::expr_status;

template <class T>
struct Outcome {
  T value{};
  std::int32_t status = 0;
};

// Runs the expression through the evaluator of T with stacks of `capacity`
// entries. The stack arrays start filled with stale codes, as a caller that
// reuses them between expressions leaves them.
template <class T>
Outcome<T> evaluate(std::string_view text, std::int32_t capacity = 20) {
  std::array<T, 40> values{};
  std::array<std::int32_t, 40> codes{};
  codes.fill(-4);
  std::int32_t n = 0;
  std::int32_t paren = 0;
  Outcome<T> out;
  const auto step = [&](std::int32_t op, std::int32_t unary) {
    if constexpr (std::is_same_v<T, double>) {
      SDELMD(capacity, op, unary, paren, values, codes, n, out.status);
    } else {
      SDELMI(capacity, op, unary, paren, values, codes, n, out.status);
    }
  };
  std::string number;
  bool after_operand = false;
  const auto push_number = [&] {
    if (number.empty()) return true;
    if (n >= capacity) {
      out.status = st::kStackFull;
      return false;
    }
    ++n;
    if constexpr (std::is_same_v<T, double>) {
      values[static_cast<std::size_t>(n - 1)] = std::stod(number);
    } else {
      values[static_cast<std::size_t>(n - 1)] = static_cast<T>(std::stol(number));
    }
    number.clear();
    after_operand = true;
    return true;
  };
  for (const char ch : text) {
    if ((ch >= '0' && ch <= '9') || ch == '.') {
      number += ch;
      continue;
    }
    if (!push_number()) return out;
    const std::int32_t op = ch == '+' ? 1 : ch == '-' ? 2 : ch == ')' ? 3 : ch == '*' ? 4
                          : ch == '/' ? 5 : 6;
    step(op, op == 3 || after_operand ? 0 : 1);
    if (out.status != 0) return out;
    after_operand = false;
  }
  if (!push_number()) return out;
  if constexpr (std::is_same_v<T, double>) {
    kalvir::finish_real_expression(capacity, paren, values, codes, n, out.status);
  } else {
    kalvir::finish_integer_expression(capacity, paren, values, codes, n, out.status);
  }
  out.value = values[0];
  return out;
}

struct Case {
  const char* text;
  double real;            // expected real value (when real_status is 0)
  std::int32_t real_status;
  std::int32_t integer;   // expected integer value (when integer_status is 0)
  std::int32_t integer_status;
};

// Values worked out by hand with the usual precedence: "**" first and left
// to right, then "*" "/" with the unary minus, then "+" "-".
constexpr Case kCases[] = {
    {"-3+4", 1, 0, 1, 0},
    {"+5", 5, 0, 5, 0},
    {"2*-3", -6, 0, -6, 0},
    {"2-(-3)", 5, 0, 5, 0},
    {"8/-2", -4, 0, -4, 0},  // a unary minus after "/" divides
    {"2/-4", -0.5, 0, 0, 0},
    {"8/-2*3", -12, 0, -12, 0},
    {"8/--2", 4, 0, 4, 0},
    {"8/-2**2", -2, 0, -2, 0},
    {"-2**2", -4, 0, -4, 0},
    {"(1+2)*3", 9, 0, 9, 0},
    {"((7))", 7, 0, 7, 0},
    {"(1+2", 3, 0, 3, 0},  // one closing parenthesis supplied by the end
    {"1+2)", 3, 0, 3, 0},
    {"2+3)*4", 0, st::kUnbalanced, 0, st::kUnbalanced},
    {"((1+2", 0, st::kUnbalanced, 0, st::kUnbalanced},
    {"2(3)", 0, st::kOpenAfterOperand, 0, st::kOpenAfterOperand},
    {"(1)(2)", 0, st::kOpenAfterOperand, 0, st::kOpenAfterOperand},
    {"2*/3", 0, st::kMisplacedOperator, 0, st::kMisplacedOperator},
    {"*2", 0, st::kMisplacedOperator, 0, st::kMisplacedOperator},
    {"-*2", 0, st::kMisplacedOperator, 0, st::kMisplacedOperator},
    {"2**-1", 0, st::kBadOperator, 0, st::kBadOperator},
    {"2**(-1)", 0.5, 0, 0, 0},
    {"2**3**2", 64, 0, 64, 0},
    {"7/2", 3.5, 0, 3, 0},
    {"-7/2", -3.5, 0, -3, 0},
    {"1-2-3", -4, 0, -4, 0},
    {"12/2/3", 2, 0, 2, 0},
    {"1+2*3-4/2", 5, 0, 5, 0},
    // A value completed by ")" joins the operators after it as any operand
    // does, whatever the precedence around it.
    {"1-(2)+3", 2, 0, 2, 0},
    {"1-2*(3)-4", -9, 0, -9, 0},
    {"2**(3)+1", 9, 0, 9, 0},
    {"2**(3)*4", 32, 0, 32, 0},
    {"(2)**2*3", 12, 0, 12, 0},
    {"10-(1+2)*(3-1)", 4, 0, 4, 0},
    {"-(2+3)*2", -10, 0, -10, 0},
    {"(-1)**(-3)", -1, 0, -1, 0},
    {"(0-2)**(0-2)", 0.25, 0, 0, 0},
};

TEST(Expressions, RealEvaluatorFollowsTheUsualPrecedence) {
  for (const Case& c : kCases) {
    const auto r = evaluate<double>(c.text);
    EXPECT_EQ(r.status, c.real_status) << c.text;
    if (c.real_status == 0) {
      EXPECT_EQ(r.value, c.real) << c.text;
    }
  }
}

TEST(Expressions, IntegerEvaluatorFollowsTheUsualPrecedence) {
  for (const Case& c : kCases) {
    const auto r = evaluate<std::int32_t>(c.text);
    EXPECT_EQ(r.status, c.integer_status) << c.text;
    if (c.integer_status == 0) {
      EXPECT_EQ(r.value, c.integer) << c.text;
    }
  }
}

TEST(Expressions, IntegerFaultsGiveAStatusInsteadOfATrap) {
  constexpr std::string_view kFaults[] = {"7/0", "0**(0-1)", "2147483647+1", "0-2147483647-2",
                                          "65536*65536", "2**31", "(0-2147483647-1)/(0-1)"};
  for (const auto text : kFaults) {
    EXPECT_EQ(evaluate<std::int32_t>(text).status, st::kArithmetic) << text;
  }
  // Powers that stay inside 32 bits, however large the exponent.
  EXPECT_EQ(evaluate<std::int32_t>("2**30").value, 1073741824);
  EXPECT_EQ(evaluate<std::int32_t>("1**2147483647").value, 1);
  EXPECT_EQ(evaluate<std::int32_t>("(0-1)**2147483647").value, -1);
  EXPECT_EQ(evaluate<std::int32_t>("0**0").value, 1);
  EXPECT_EQ(evaluate<std::int32_t>("(0-3)**3").value, -27);
}

TEST(Expressions, RealDivisionByZeroIsInfiniteButNotANumberIsRefused) {
  const auto inf = evaluate<double>("1/0");
  EXPECT_EQ(inf.status, 0);
  EXPECT_TRUE(std::isinf(inf.value));
  EXPECT_EQ(evaluate<double>("(0-8)**0.5").status, st::kArithmetic);
  EXPECT_EQ(evaluate<double>("0/0").status, st::kArithmetic);
}

TEST(Expressions, TheStackCapacityIsNeverExceeded) {
  // Each "(" of a nest takes one entry; the 21st has no room among 20.
  const std::string deep = std::string(21, '(') + "1";
  EXPECT_EQ(evaluate<double>(deep, 20).status, st::kStackFull);
  EXPECT_EQ(evaluate<std::int32_t>(deep, 20).status, st::kStackFull);
  // The same nest fits a larger stack and then lacks its closing parentheses.
  EXPECT_EQ(evaluate<double>(deep, 30).status, st::kUnbalanced);
  // A capacity larger than the arrays counts as their size.
  std::array<double, 2> values{};
  std::array<std::int32_t, 2> codes{1, -1};  // an open "(" on top: a new one needs an entry
  std::int32_t n = 2;
  std::int32_t paren = 0;
  std::int32_t status = 0;
  SDELMD(20, 6, 1, paren, values, codes, n, status);
  EXPECT_EQ(status, st::kStackFull);
  n = 3;  // a count already beyond the arrays
  SDELMD(20, 1, 0, paren, values, codes, n, status);
  EXPECT_EQ(status, st::kStackFull);
}

TEST(Expressions, OperatorCodesOutsideTheTableAreRefused) {
  std::array<double, 4> values{1, 0, 0, 0};
  std::array<std::int32_t, 4> codes{};
  std::int32_t n = 1;
  std::int32_t paren = 0;
  std::int32_t status = 0;
  SDELMD(4, 7, 0, paren, values, codes, n, status);
  EXPECT_EQ(status, st::kBadOperator);
  SDELMD(4, 0, 1, paren, values, codes, n, status);
  EXPECT_EQ(status, st::kBadCode);
}

TEST(Expressions, TheFoldsApplyPendingOperatorsDownToTheOpenParenthesis) {
  // Stack: 5 "+" (marker "*": 2 * ( ...) 3 "+" 4 "*" 2  ->  5 + 2 * (3 + 8
  std::array<double, 6> values{5, 2, 3, 4, 2, 0};
  std::array<std::int32_t, 6> codes{1, -4, 1, 4, 0, 0};
  std::int32_t n = 5;
  std::int32_t paren = 1;
  std::int32_t status = 0;
  SDLMD2(paren, 3, 6, values, codes, n, status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(n, 3);
  EXPECT_EQ(values[2], 11.0);
  EXPECT_EQ(codes[1], 4);  // the marker closed: its "*" pending again

  // The integer fold passes over what it cannot apply and says so.
  std::array<std::int32_t, 4> ivalues{2, 3, 4, 0};
  std::array<std::int32_t, 4> icodes{8, 1, 0, 0};
  n = 3;
  SDELM2(paren, 1, 4, ivalues, icodes, n, status);
  EXPECT_EQ(status, st::kBadOperator);
  EXPECT_EQ(n, 1);
  EXPECT_EQ(ivalues[0], 6);  // 2, then "+ 4"; the power was passed over
}

}  // namespace expressions_test
