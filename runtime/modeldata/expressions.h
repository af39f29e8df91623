// Arithmetic expression evaluator: the parameter-case reader converts the
// numbers of an expression itself and hands every operator to one step of
// this evaluator, which keeps the operands and pending operators on two
// parallel stacks of the caller's and applies each operator as soon as its
// operands are complete: "**" first, then "*" and "/" (with the unary minus),
// then "+" and "-", left to right at each level, parentheses grouping.
//
// Calling protocol, left to right through the expression:
//   - the parenthesis flag and the count start at 0;
//   - an operand is pushed by the caller (N + 1, VALUES(N) set) and the
//     operator after it is passed with IUNARY = 0;
//   - an operator at the start or after another operator is passed with
//     IUNARY = 1, except ")", which is always passed with IUNARY = 0;
//   - at the end, with the last operand pushed, finish_real_expression or
//     finish_integer_expression closes the expression; the value is VALUES(1).
// A step writes no message: it returns a status (expr_status below) and the
// caller reports a failed expression; after a failure the stacks are left
// undefined and the expression is abandoned.
#pragma once

#include <cstdint>
#include <span>

namespace kalvir::expr_op {
// Operator codes passed in; kPower arises only on the stack, from "*" "*".
inline constexpr std::int32_t kPlus = 1, kMinus = 2, kClose = 3, kTimes = 4, kDivide = 5,
                              kOpen = 6, kPower = 8;
}  // namespace kalvir::expr_op

namespace kalvir::expr_status {
inline constexpr std::int32_t kOk = 0;
// An operator code above 6, or one that cannot be applied: a power followed
// by a unary minus (the exponent must then stand in parentheses).
inline constexpr std::int32_t kBadOperator = 1;
// "(" directly after an operand or after ")".
inline constexpr std::int32_t kOpenAfterOperand = 2;
// "*" or "/" at the start or directly after another operator (other than ")"
// and the "*" that forms a power).
inline constexpr std::int32_t kMisplacedOperator = 3;
// Unbalanced parentheses: an operator after a ")" that closed more than was
// opened, or more than one "(" left open at the end.
inline constexpr std::int32_t kUnbalanced = 4;
// An operator code below 1.
inline constexpr std::int32_t kBadCode = 5;
// Integer division by zero, integer 0 raised to a negative power, an integer
// result outside 32 bits, or a real result that is not a number.
inline constexpr std::int32_t kArithmetic = 6;
// The stacks cannot take another entry (or the count lies outside them).
inline constexpr std::int32_t kStackFull = 7;
}  // namespace kalvir::expr_status

// One step of the real evaluator for the operator IOP. ISIZE is the capacity
// of the stacks (never more than VALUES and IOPS hold); IPAREN the
// parenthesis flag, the depth of the open parentheses.
void SDELMD(std::int32_t ISIZE, std::int32_t IOP, std::int32_t IUNARY, std::int32_t& IPAREN,
            std::span<double> VALUES, std::span<std::int32_t> IOPS, std::int32_t& N,
            std::int32_t& IERR);
// The fold of SDELMD: applies the pending operators down to the nearest open
// parenthesis (and, for IOP = ")", closes it).
void SDLMD2(std::int32_t& IPAREN, std::int32_t IOP, std::int32_t ISIZE, std::span<double> VALUES,
            std::span<std::int32_t> IOPS, std::int32_t& N, std::int32_t& IERR);

// The same in 32-bit integers: "/" truncates toward zero; a negative power
// gives 1 for base 1, +-1 for base -1 and 0 for other bases.
void SDELMI(std::int32_t ISIZE, std::int32_t IOP, std::int32_t IUNARY, std::int32_t& IPAREN,
            std::span<std::int32_t> VALUES, std::span<std::int32_t> IOPS, std::int32_t& N,
            std::int32_t& IERR);
// The fold of SDELMI; an operator that cannot be applied is passed over, the
// others are applied and IERR is 1.
void SDELM2(std::int32_t& IPAREN, std::int32_t IOP, std::int32_t ISIZE,
            std::span<std::int32_t> VALUES, std::span<std::int32_t> IOPS, std::int32_t& N,
            std::int32_t& IERR);

namespace kalvir {

// The end of an expression, once its last operand is pushed: the final ")",
// a second one when a single "(" was left open, and the check that exactly
// one value is left; otherwise IERR = expr_status::kUnbalanced.
void finish_real_expression(std::int32_t ISIZE, std::int32_t& IPAREN, std::span<double> VALUES,
                            std::span<std::int32_t> IOPS, std::int32_t& N, std::int32_t& IERR);
void finish_integer_expression(std::int32_t ISIZE, std::int32_t& IPAREN,
                               std::span<std::int32_t> VALUES, std::span<std::int32_t> IOPS,
                               std::int32_t& N, std::int32_t& IERR);

}  // namespace kalvir
