// The parameter-case file: its options record ("$PARAMETERS,CHECK,...") and
// the reader of its statement lines, which recognises the keyword, removes
// the blanks outside quotes and echoes each statement on the print unit.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// Parses the options record LINE (blanks already removed). CHECK and PARMONLY
// are set to 0 and then to 1 by their options; each other output is written
// only when its option is given: OUTMULT, CSVENT, CSVMULT, GFFENT, TMDENT,
// OUTFROM (PARNUM words 6, 3, 1, 4, 7, 5) and the three PARCHR texts. An
// invalid option is reported and the next one still read; IERR then holds the
// code of the last invalid one and is otherwise left alone:
//   1 OUTPUT_FROM value, 2 OUTPUT value, 3 GFF_ENTITIES form, 4 CSV_OUTPUT
//   value, 5 CSV_ENTITIES form, 6 TMD_ENTITIES form, 7 unknown option,
//   8 not a "$PARAMETERS" record (nothing further is read).
void PAROPT(std::string_view LINE, std::int32_t& CHECK, std::int32_t& PARMONLY, std::int32_t& OUTMULT,
            std::int32_t& CSVENT, std::int32_t& CSVMULT, std::int32_t& GFFENT, std::int32_t& TMDENT,
            std::int32_t& OUTFROM, std::span<char> CSVLIST, std::span<char> GFFSTR, std::span<char> TMDSTR,
            std::int32_t& IERR);

// Reads the next statement line from PARUNIT, passing over blank and comment
// lines. KEYWORD (7 characters) := "GET", "CHANGE", "SCALE", "ON", "OFF", or
// "NewCase" for a case header; TEXT and LENGTH := the line after the keyword
// (the whole line for a header) without the blanks outside quotes; each
// statement is echoed on PRINTUNIT as " CHANGE  T1=20.0". IOSTAT: 0 a line
// was read, -1 end of file, positive a read error. IERR := 1 after a read
// error, 2 for an unrecognised keyword (both reported); else left alone.
void PARRD(std::int32_t PARUNIT, std::int32_t PRINTUNIT, std::span<char> KEYWORD, std::int32_t& IOSTAT,
           std::span<char> TEXT, std::int32_t& LENGTH, std::int32_t& IERR);

namespace kalvir::parameters {

// Where a failure of the parameter-case file lies, for the list of failures
// on standard error (kalvir::FailurePlace): "<file> line <n>: <text>", n the
// line last read from UNIT.
std::string file_place(std::int32_t unit, std::string_view text);
// "<file>, $PARAMETERS record: <option>", for what an option of the
// parameter-case file (on its unit) makes fail later in the run.
std::string options_place(std::string_view option);

}  // namespace kalvir::parameters
