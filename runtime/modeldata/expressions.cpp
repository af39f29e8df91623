#include "runtime/modeldata/expressions.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

namespace op = kalvir::expr_op;
namespace st = kalvir::expr_status;

// A unary minus multiplies the factor that follows by -1, or divides by -1
// when it stands after "/", so that 8/-2 is -4 and not 8/-1*2. Its entry
// carries a code of its own: it acts as "*" or "/", but a "*" written right
// after the minus is an operator after an operator, not the start of "**".
constexpr std::int32_t kUnaryTimes = 9;
constexpr std::int32_t kUnaryDivide = 10;

// A negative code marks an operator whose right operand is a parenthesised
// group that is still open.
constexpr bool is_marker(std::int32_t code) { return code < 0; }
constexpr bool is_sum(std::int32_t code) { return code == op::kPlus || code == op::kMinus; }
constexpr bool divides(std::int32_t code) { return code == op::kDivide || code == kUnaryDivide; }
constexpr bool foldable(std::int32_t code) {
  return is_sum(code) || code == op::kTimes || code == op::kDivide || code == kUnaryTimes ||
         code == kUnaryDivide;
}

struct RealArithmetic {
  using Value = double;
  static constexpr bool kPassOverBadOperator = false;
  static constexpr bool kCombineSums = false;

  static std::int32_t apply(double a, std::int32_t code, double b, double& r) {
    switch (code) {
      case op::kPlus: r = a + b; break;
      case op::kMinus: r = a - b; break;
      case op::kTimes:
      case kUnaryTimes: r = a * b; break;
      case op::kDivide:
      case kUnaryDivide: r = a / b; break;
      case op::kPower: r = std::pow(a, b); break;
      default: return st::kBadOperator;
    }
    // A division by zero may give an infinity, as IEEE arithmetic does; a
    // value that is not a number must not reach the model unnoticed.
    return std::isnan(r) ? st::kArithmetic : st::kOk;
  }
};

struct IntegerArithmetic {
  using Value = std::int32_t;
  static constexpr bool kPassOverBadOperator = true;
  static constexpr bool kCombineSums = true;

  static std::int32_t power(std::int32_t a, std::int32_t b, std::int32_t& r) {
    if (b < 0) {
      if (a == 0) return st::kArithmetic;
      r = a == 1 ? 1 : a == -1 ? (b % 2 == 0 ? 1 : -1) : 0;
      return st::kOk;
    }
    // By squaring: the same value as repeated multiplication, without a
    // two-billion-pass loop for an exponent like 2147483647 on base 1. Once
    // the base's square overflows while exponent bits remain, so does the
    // result.
    std::int32_t result = 1;
    std::int32_t base = a;
    auto e = static_cast<std::uint32_t>(b);
    while (e != 0) {
      if ((e & 1U) != 0 && __builtin_mul_overflow(result, base, &result)) return st::kArithmetic;
      e >>= 1U;
      if (e != 0 && __builtin_mul_overflow(base, base, &base)) return st::kArithmetic;
    }
    r = result;
    return st::kOk;
  }

  static std::int32_t apply(std::int32_t a, std::int32_t code, std::int32_t b, std::int32_t& r) {
    bool overflow = false;
    switch (code) {
      case op::kPlus: overflow = __builtin_add_overflow(a, b, &r); break;
      case op::kMinus: overflow = __builtin_sub_overflow(a, b, &r); break;
      case op::kTimes:
      case kUnaryTimes: overflow = __builtin_mul_overflow(a, b, &r); break;
      case op::kDivide:
      case kUnaryDivide:
        if (b == 0 || (a == std::numeric_limits<std::int32_t>::min() && b == -1)) {
          return st::kArithmetic;
        }
        r = a / b;  // truncates toward zero
        break;
      case op::kPower: return power(a, b, r);
      default: return st::kBadOperator;
    }
    return overflow ? st::kArithmetic : st::kOk;
  }
};

template <class A>
class Stack {
 public:
  using Value = typename A::Value;

  Stack(std::int32_t isize, std::span<Value> values, std::span<std::int32_t> codes, std::int32_t& n)
      : values_(values),
        codes_(codes),
        n_(n),
        capacity_(std::min<std::int64_t>(
            {isize, static_cast<std::int64_t>(values.size()), static_cast<std::int64_t>(codes.size())})) {}

  bool count_fits() const { return n_ >= 0 && n_ <= capacity_; }
  std::int32_t& n() { return n_; }
  Value& v(std::int32_t k) { return values_[static_cast<std::size_t>(k - 1)]; }
  std::int32_t& c(std::int32_t k) { return codes_[static_cast<std::size_t>(k - 1)]; }

  bool push(Value value, std::int32_t code, std::int32_t& status) {
    if (n_ >= capacity_) {
      status = st::kStackFull;
      return false;
    }
    ++n_;
    v(n_) = value;
    c(n_) = code;
    return true;
  }

  // Applies the operator pending between the two top values: the lower one
  // receives the result and the top's pending code, and the top goes. False
  // with STATUS set when the arithmetic fails.
  bool combine_top(std::int32_t& status) {
    Value r{};
    const std::int32_t s = A::apply(v(n_ - 1), c(n_ - 1), v(n_), r);
    if (s != st::kOk) {
      status = s;
      return false;
    }
    v(n_ - 1) = r;
    c(n_ - 1) = c(n_);
    --n_;
    return true;
  }

  // Applies the pending operators down to the nearest marker; for ")" the
  // marker is then restored, which closes its parenthesis.
  void fold(std::int32_t iop, std::int32_t& status) {
    status = st::kOk;
    bool passed_over = false;
    while (n_ > 1 && !is_marker(c(n_ - 1))) {
      std::int32_t j = n_ - 1;
      while (j > 1 && c(j - 1) > op::kMinus) --j;
      Value acc = v(j);
      for (std::int32_t k = j; k < n_; ++k) {
        if (!foldable(c(k))) {
          // A power whose exponent began with a unary minus.
          if (!A::kPassOverBadOperator) {
            status = st::kBadOperator;
            return;
          }
          passed_over = true;
          continue;
        }
        const std::int32_t s = A::apply(acc, c(k), v(k + 1), acc);
        if (s != st::kOk) {
          status = s;
          return;
        }
      }
      v(j) = acc;
      n_ = j;
      if (j == 1) break;
      if (iop == op::kClose && is_marker(c(j - 1))) {
        c(j - 1) = -c(j - 1);
        break;
      }
    }
    if (passed_over) status = st::kBadOperator;
  }

  void step(std::int32_t iop, std::int32_t iunary, std::int32_t& paren, std::int32_t& status) {
    status = st::kOk;
    if (iop > op::kOpen) {
      status = st::kBadOperator;
      return;
    }
    if (iop < op::kPlus) {
      status = st::kBadCode;
      return;
    }
    // A ")" that closed more than had been opened ends the expression: an
    // operator after it would apply to a value the writer did not group.
    if (paren < 0 && iop != op::kClose) {
      status = st::kUnbalanced;
      return;
    }
    bool unary = iunary != 0;
    // An operator after a completed parenthesised group follows an operand.
    if (unary && n_ >= 1 && c(n_) == op::kClose) unary = false;

    if (n_ > 1 && !unary && c(n_ - 1) == op::kPower && !combine_top(status)) return;

    switch (iop) {
      case op::kPlus:
      case op::kMinus:
      case op::kClose:
        if (iop == op::kClose) --paren;
        if (unary) {
          if (n_ == 0 && !push(0, op::kPlus, status)) return;
          if (iop == op::kMinus &&
              !push(-1, divides(c(n_)) ? kUnaryDivide : kUnaryTimes, status)) {
            return;
          }
          break;
        }
        if (n_ == 0) {
          status = st::kMisplacedOperator;
          return;
        }
        if (n_ > 1 && iop == op::kClose && is_marker(c(n_ - 1))) {
          c(n_ - 1) = -c(n_ - 1);
        } else {
          fold(iop, status);
          if (status != st::kOk) return;
        }
        c(n_) = iop;
        break;

      case op::kTimes:
      case op::kDivide:
        if (!unary && n_ >= 1) {
          c(n_) = iop;
        } else if (unary && n_ >= 1 && iop == op::kTimes && c(n_) == op::kTimes) {
          c(n_) = op::kPower;
        } else {
          status = st::kMisplacedOperator;
          return;
        }
        break;

      default:  // "("
        if (!unary) {
          status = st::kOpenAfterOperand;
          return;
        }
        ++paren;
        if (n_ == 0 || is_marker(c(n_))) {
          if (!push(0, -op::kPlus, status)) return;
        } else {
          c(n_) = -c(n_);
        }
        break;
    }

    if (A::kCombineSums && n_ >= 2 && is_sum(c(n_ - 1)) && is_sum(c(n_))) combine_top(status);
  }

  void finish(std::int32_t& paren, std::int32_t& status) {
    step(op::kClose, 0, paren, status);
    if (status == st::kOk && n_ > 1) step(op::kClose, 0, paren, status);
    if (status == st::kOk && n_ != 1) status = st::kUnbalanced;
  }

 private:
  std::span<Value> values_;
  std::span<std::int32_t> codes_;
  std::int32_t& n_;
  std::int64_t capacity_;
};

// Runs one operation on the caller's stack; a count outside the stack is
// refused as a full stack.
template <class A, class Operation>
void on_stack(std::int32_t isize, std::span<typename A::Value> values, std::span<std::int32_t> codes,
              std::int32_t& n, std::int32_t& status, Operation operation) {
  Stack<A> stack(isize, values, codes, n);
  if (!stack.count_fits()) {
    status = st::kStackFull;
    return;
  }
  operation(stack);
}

}  // namespace

void SDELMD(std::int32_t ISIZE, std::int32_t IOP, std::int32_t IUNARY, std::int32_t& IPAREN,
            std::span<double> VALUES, std::span<std::int32_t> IOPS, std::int32_t& N,
            std::int32_t& IERR) {
  on_stack<RealArithmetic>(ISIZE, VALUES, IOPS, N, IERR, [&](auto& s) { s.step(IOP, IUNARY, IPAREN, IERR); });
}

void SDLMD2(std::int32_t& /*IPAREN*/, std::int32_t IOP, std::int32_t ISIZE,
            std::span<double> VALUES, std::span<std::int32_t> IOPS, std::int32_t& N,
            std::int32_t& IERR) {
  on_stack<RealArithmetic>(ISIZE, VALUES, IOPS, N, IERR, [&](auto& s) { s.fold(IOP, IERR); });
}

void SDELMI(std::int32_t ISIZE, std::int32_t IOP, std::int32_t IUNARY, std::int32_t& IPAREN,
            std::span<std::int32_t> VALUES, std::span<std::int32_t> IOPS, std::int32_t& N,
            std::int32_t& IERR) {
  on_stack<IntegerArithmetic>(ISIZE, VALUES, IOPS, N, IERR, [&](auto& s) { s.step(IOP, IUNARY, IPAREN, IERR); });
}

void SDELM2(std::int32_t& /*IPAREN*/, std::int32_t IOP, std::int32_t ISIZE,
            std::span<std::int32_t> VALUES, std::span<std::int32_t> IOPS, std::int32_t& N,
            std::int32_t& IERR) {
  on_stack<IntegerArithmetic>(ISIZE, VALUES, IOPS, N, IERR, [&](auto& s) { s.fold(IOP, IERR); });
}

namespace kalvir {

void finish_real_expression(std::int32_t ISIZE, std::int32_t& IPAREN, std::span<double> VALUES,
                            std::span<std::int32_t> IOPS, std::int32_t& N, std::int32_t& IERR) {
  on_stack<RealArithmetic>(ISIZE, VALUES, IOPS, N, IERR, [&](auto& s) { s.finish(IPAREN, IERR); });
}

void finish_integer_expression(std::int32_t ISIZE, std::int32_t& IPAREN,
                               std::span<std::int32_t> VALUES, std::span<std::int32_t> IOPS,
                               std::int32_t& N, std::int32_t& IERR) {
  on_stack<IntegerArithmetic>(ISIZE, VALUES, IOPS, N, IERR, [&](auto& s) { s.finish(IPAREN, IERR); });
}

}  // namespace kalvir
