// Value readers of the parameter-case statements: a quoted string, a plain
// real, a plain integer and arithmetic expressions over reals or integers,
// and the two writers that store one value at a list of positions of a real
// or a character array (the conductor changes use them).
//
// Every reader reports its own failure (severity 3, naming itself) and sets
// IERR to the failure's code; the value is then not to be used, except that
// PARZVL leaves it unchanged.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "runtime/platform/arrays.h"
#include "runtime/platform/fixed_string.h"

// The single-quoted string TEXT (trailing blanks ignored): VALUE := the text
// between the quotes, cut or blank-padded. IERR 1 when TEXT does not start
// and end with a quote.
void PARZVL(std::string_view TEXT, std::span<char> VALUE, std::int32_t& IERR);

// A plain real of at most 40 characters: sign, digits with an optional
// decimal point, exponent letter E or D (either case) with a signed integer;
// blanks ignored; an empty text is 0. IERR 1 too long, 2 a comma, 3 not a
// real (or beyond the double range).
void PARRVL(std::string_view TEXT, double& VALUE, std::int32_t& IERR);

// Decimal digits only, within 32 bits. IERR 1 otherwise (also for an empty
// text).
void PARIVL(std::string_view TEXT, std::int32_t& VALUE, std::int32_t& IERR);

// Expressions: numbers joined by + - * / ** and grouped by parentheses, the
// usual precedence, ** left to right, a leading - negating the factor that
// follows. IERR 1 ends with an operator; 2 cannot be read (an operator out of
// place, unbalanced parentheses, an empty text); 3 the arithmetic fails (a
// result that is not a number or beyond 32 bits, an integer division by zero);
// 4 more than 20 values pending; or the number reader's code.
void PARRGT(std::string_view TEXT, double& VALUE, std::int32_t& IERR);
void PARIGT(std::string_view TEXT, std::int32_t& VALUE, std::int32_t& IERR);

// ARRAY(LIST(k)) (1-based positions), k = 1..N: set to VALUE for KEYWORD
// "CHANGE", multiplied by it otherwise. An undefined element is reported;
// CHANGE sets it all the same, a scaling leaves it and IERR becomes 2.
void PARSTR(std::span<const std::int32_t> LIST, std::int32_t N, std::string_view KEYWORD, double VALUE,
            std::span<double> ARRAY, std::int32_t& IERR);

// ARRAY(LIST(k)) := VALUE, cut or blank-padded to the element; IERR 0.
template <std::size_t W>
void PARSTZ(std::span<const std::int32_t> LIST, std::int32_t N, std::string_view VALUE,
            kalvir::CharArray<W>& ARRAY, std::int32_t& IERR) {
  IERR = 0;
  for (std::int32_t k = 0; k < N && k < static_cast<std::int32_t>(LIST.size()); ++k) {
    const std::int32_t i = LIST[static_cast<std::size_t>(k)];
    if (i >= 1 && i <= ARRAY.size()) ARRAY.set(i, VALUE);
  }
}

namespace kalvir::parameters {
// Whether a statement's keyword is CHANGE; every other keyword scales.
bool is_change(std::string_view keyword);
// The real value of a statement: an expression for a CHANGE, a plain real
// factor for a SCALE (PARRGT or PARRVL, with their codes).
void read_real(std::string_view keyword, std::string_view text, double& value, std::int32_t& ierr);
// The submodel path at the start of TEXT (names each ended by ":", read up
// to IEND characters), resolved relative to submodel ISUB: SUB and REST, the
// text after the path, on success. The status of the resolution (0 found);
// its messages only when REPORT.
std::int32_t leading_path(std::string_view text, std::size_t iend, std::int32_t isub, bool report, std::int32_t& sub,
                          std::string_view& rest);
// Sends a statement failure of ROUTINE: the text cut to LIMIT characters.
void report(std::string_view text, std::size_t limit, std::int32_t severity, std::int32_t code,
            std::string_view routine);
}  // namespace kalvir::parameters
