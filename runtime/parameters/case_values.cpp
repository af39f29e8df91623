#include "runtime/parameters/case_values.h"

#include <array>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string>

#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/messages.h"
#include "runtime/control/status.h"
#include "runtime/modeldata/expressions.h"
#include "runtime/modeldata/model_tree.h"
#include "runtime/modeldata/text_utils.h"

namespace kalvir::parameters {

void report(std::string_view text, std::size_t limit, std::int32_t severity, std::int32_t code,
            std::string_view routine) {
  SETERX(text.substr(0, std::min(limit, text.size())), severity, code, routine);
}

std::int32_t leading_path(std::string_view text, std::size_t iend, std::int32_t isub, bool report, std::int32_t& sub,
                          std::string_view& rest) {
  std::int32_t pos = 1;
  std::int32_t status = 0;
  std::int32_t found = isub;
  LSMINT(gar_modeldirectory, 18, FLAGS(flagw::NSUB), report ? 1 : 0, isub, gar_modelnames, text,
         static_cast<std::int32_t>(std::min(iend, text.size())), pos, found, status);
  if (status != 0) return status;
  sub = found;
  rest = text.substr(std::min(static_cast<std::size_t>(std::max(pos - 1, 0)), text.size()));
  return 0;
}

bool is_change(std::string_view keyword) { return kalvir::trim_right(keyword) == "CHANGE"; }

void read_real(std::string_view keyword, std::string_view text, double& value, std::int32_t& ierr) {
  if (is_change(keyword)) {
    PARRGT(text, value, ierr);
  } else {
    PARRVL(text, value, ierr);
  }
}

}  // namespace kalvir::parameters

namespace {

using kalvir::parameters::report;
namespace op = kalvir::expr_op;
namespace st = kalvir::expr_status;

constexpr std::size_t kRealWidth = 40;
constexpr std::int32_t kStackSize = 20;

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_exponent_letter(char c) { return c == 'E' || c == 'e' || c == 'D' || c == 'd'; }

// The number of a plain real without blanks: [sign] digits [. digits]
// [letter [sign] digits], at least one mantissa digit; false when it is not.
bool read_real(std::string_view t, double& value) {
  std::string c;
  std::size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) c += t[i++];
  std::size_t digits = 0;
  for (; i < t.size() && is_digit(t[i]); ++i, ++digits) c += t[i];
  if (i < t.size() && t[i] == '.') {
    c += t[i++];
    for (; i < t.size() && is_digit(t[i]); ++i, ++digits) c += t[i];
  }
  if (digits == 0) return false;
  if (i < t.size() && is_exponent_letter(t[i])) {
    c += 'E';
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) c += t[i++];
    std::size_t exp_digits = 0;
    for (; i < t.size() && is_digit(t[i]); ++i, ++exp_digits) c += t[i];
    if (exp_digits == 0) return false;
  }
  if (i != t.size()) return false;
  errno = 0;
  value = std::strtod(c.c_str(), nullptr);
  // A number beyond the double range is no number for the model.
  return errno != ERANGE || std::isfinite(value);
}

// The arithmetic of one expression kind: its evaluator step and end, and its
// number reader.
struct RealKind {
  using Value = double;
  static constexpr std::string_view routine = "PARRGT";
  static void step(std::int32_t iop, std::int32_t unary, std::int32_t& paren, std::span<double> v,
                   std::span<std::int32_t> c, std::int32_t& n, std::int32_t& ierr) {
    SDELMD(kStackSize, iop, unary, paren, v, c, n, ierr);
  }
  static void finish(std::int32_t& paren, std::span<double> v, std::span<std::int32_t> c, std::int32_t& n,
                     std::int32_t& ierr) {
    kalvir::finish_real_expression(kStackSize, paren, v, c, n, ierr);
  }
  static void number(std::string_view t, double& value, std::int32_t& ierr) { PARRVL(t, value, ierr); }
  // A sign directly after an exponent letter belongs to the number.
  static bool sign_in_number(std::string_view text, std::size_t i) {
    return i > 0 && i + 1 < text.size() && is_exponent_letter(text[i - 1]);
  }
};

struct IntegerKind {
  using Value = std::int32_t;
  static constexpr std::string_view routine = "PARIGT";
  static void step(std::int32_t iop, std::int32_t unary, std::int32_t& paren, std::span<std::int32_t> v,
                   std::span<std::int32_t> c, std::int32_t& n, std::int32_t& ierr) {
    SDELMI(kStackSize, iop, unary, paren, v, c, n, ierr);
  }
  static void finish(std::int32_t& paren, std::span<std::int32_t> v, std::span<std::int32_t> c, std::int32_t& n,
                     std::int32_t& ierr) {
    kalvir::finish_integer_expression(kStackSize, paren, v, c, n, ierr);
  }
  static void number(std::string_view t, std::int32_t& value, std::int32_t& ierr) { PARIVL(t, value, ierr); }
  static bool sign_in_number(std::string_view, std::size_t) { return false; }
};

std::int32_t operator_code(char ch) {
  switch (ch) {
    case '+': return op::kPlus;
    case '-': return op::kMinus;
    case ')': return op::kClose;
    case '*': return op::kTimes;
    case '/': return op::kDivide;
    case '(': return op::kOpen;
    default: return 0;
  }
}

// Reports a failed evaluation and gives the statement's code.
std::int32_t expression_failure(std::string_view routine, std::int32_t status, std::string_view text) {
  const std::string t(text);
  switch (status) {
    case st::kArithmetic:
      report("Expression cannot be evaluated@The arithmetic fails (division by zero, overflow or no number): " + t,
             300, 3, 3, routine);
      return 3;
    case st::kStackFull:
      report("Expression too long@More than 20 values are pending: " + t, 300, 3, 4, routine);
      return 4;
    default:
      report("Unable to interpret expression@" + t, 300, 3, 2, routine);
      return 2;
  }
}

template <class Kind>
void evaluate(std::string_view TEXT, typename Kind::Value& VALUE, std::int32_t& IERR) {
  using Value = typename Kind::Value;
  IERR = 0;
  std::string text;
  for (char ch : TEXT)
    if (ch != ' ' && ch != '\t') text += ch;
  if (text.empty()) {
    IERR = expression_failure(Kind::routine, st::kBadOperator, text);
    return;
  }
  std::array<Value, kStackSize> values{};
  std::array<std::int32_t, kStackSize> codes{};
  std::int32_t n = 0;
  std::int32_t paren = 0;
  std::int32_t status = 0;
  bool after_operand = false;
  std::int32_t last_operator = 0;
  // Open parentheses: a ")" with none open, or one left open at the end,
  // leaves the grouping to guesswork, so both are refused.
  std::int32_t depth = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::int32_t code = operator_code(text[i]);
    if (code == 0) {
      std::size_t end = i;
      while (end < text.size() && (operator_code(text[end]) == 0 || Kind::sign_in_number(text, end))) ++end;
      Value v{};
      Kind::number(std::string_view(text).substr(i, end - i), v, IERR);
      if (IERR != 0) return;
      if (after_operand) {  // a number right after ")"
        IERR = expression_failure(Kind::routine, st::kOpenAfterOperand, text);
        return;
      }
      if (n >= kStackSize) {
        IERR = expression_failure(Kind::routine, st::kStackFull, text);
        return;
      }
      values[static_cast<std::size_t>(n)] = v;
      ++n;
      after_operand = true;
      last_operator = 0;
      i = end;
      continue;
    }
    if (code == op::kClose) {
      // A ")" must close a group and follow its operand: "()" and "2*)" have
      // an empty operand, which the stacks would silently pass over.
      const bool empty_operand = !after_operand && last_operator != op::kClose;
      if (depth == 0 || empty_operand) {
        IERR = expression_failure(Kind::routine, st::kUnbalanced, text);
        return;
      }
      --depth;
    } else if (code == op::kOpen) {
      ++depth;
    }
    Kind::step(code, code == op::kClose || after_operand ? 0 : 1, paren, values, codes, n, status);
    if (status != 0) {
      IERR = expression_failure(Kind::routine, status, text);
      return;
    }
    // After ")" an operand is complete, but the evaluator is told of the next
    // operator as after any other operator.
    after_operand = false;
    last_operator = code;
    ++i;
  }
  if (last_operator != 0 && last_operator != op::kClose) {
    IERR = 1;
    report("Illegal expression - ends with an operator", 300, 3, 1, Kind::routine);
    return;
  }
  if (depth != 0) {
    IERR = expression_failure(Kind::routine, st::kUnbalanced, text);
    return;
  }
  Kind::finish(paren, values, codes, n, status);
  if (status != 0) {
    IERR = expression_failure(Kind::routine, status, text);
    return;
  }
  VALUE = values[0];
}

}  // namespace

void PARZVL(std::string_view TEXT, std::span<char> VALUE, std::int32_t& IERR) {
  IERR = 0;
  const std::string_view text = kalvir::trim_right(TEXT);
  const std::size_t n = text.size();
  if (n < 2 || text.front() != '\'' || text.back() != '\'') {
    IERR = 1;
    report("String is not delimited with single quotes@>>" + std::string(text) + "<<", 300, 3, 1, "PARZVL");
    return;
  }
  kalvir::assign_padded(VALUE, text.substr(1, n - 2));
}

void PARRVL(std::string_view TEXT, double& VALUE, std::int32_t& IERR) {
  IERR = 0;
  const std::string_view text = kalvir::trim_right(TEXT);
  if (text.size() > kRealWidth) {
    IERR = 1;
    report("Assigned value can be no longer than 40 characters", 300, 3, 1, "PARRVL");
    return;
  }
  if (text.find(',') != std::string_view::npos) {
    IERR = 2;
    report("Assigned value is not recognised as a real@" + std::string(text), 300, 3, 2, "PARRVL");
    return;
  }
  std::string compact;
  for (char ch : text)
    if (ch != ' ') compact += ch;
  if (compact.empty()) {
    VALUE = 0.0;
    return;
  }
  if (!read_real(compact, VALUE)) {
    IERR = 3;
    report("Assigned value is not recognised as a real@" + std::string(text), 300, 3, 3, "PARRVL");
  }
}

void PARIVL(std::string_view TEXT, std::int32_t& VALUE, std::int32_t& IERR) {
  IERR = 0;
  const std::string_view text = kalvir::trim_right(TEXT);
  std::int32_t ok = 0;
  IINTC2(text, static_cast<std::int32_t>(text.size()), ok, VALUE);
  if (ok != 1) {
    IERR = 1;
    report("Assigned value is not recognised as an integer@" + std::string(text), 300, 3, 1, "PARIVL");
  }
}

void PARRGT(std::string_view TEXT, double& VALUE, std::int32_t& IERR) { evaluate<RealKind>(TEXT, VALUE, IERR); }

void PARIGT(std::string_view TEXT, std::int32_t& VALUE, std::int32_t& IERR) {
  evaluate<IntegerKind>(TEXT, VALUE, IERR);
}

void PARSTR(std::span<const std::int32_t> LIST, std::int32_t N, std::string_view KEYWORD, double VALUE,
            std::span<double> ARRAY, std::int32_t& IERR) {
  IERR = 0;
  const bool change = kalvir::parameters::is_change(KEYWORD);
  constexpr std::string_view kUndefined =
      "Entity undefined - possibly defined with Mortran@Value may be overwritten by Mortran expression during "
      "solution.";
  for (std::int32_t k = 0; k < N && k < static_cast<std::int32_t>(LIST.size()); ++k) {
    const std::int32_t i = LIST[static_cast<std::size_t>(k)];
    if (i < 1 || i > static_cast<std::int32_t>(ARRAY.size())) continue;
    double& x = ARRAY[static_cast<std::size_t>(i - 1)];
    if (SLUNDF(x)) {
      report(kUndefined, 300, 3, change ? 1 : 2, "PARSTR");
      if (!change) {
        IERR = 2;
        continue;
      }
    }
    x = change ? VALUE : x * VALUE;
  }
}
