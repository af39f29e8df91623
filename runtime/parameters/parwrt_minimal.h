// Parameter-case services that the parameter-case loop and the model
// program's blocks call.
//
// Minimal version: the option record knows CHECK and PARMONLY, the per-case
// file root is built but no per-case file is opened, a case's statements are
// read up to the next case header and none is applied (each counts as an
// erroneous statement), and the output hook writes nothing. The parameter-case
// subsystem replaces this file.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

// Output hook of the variables 2 ("VARIABLES2") and outputs ("OUTPUTS") blocks.
void PARWRT(std::string_view BLOCK);

// Parses the compacted "$PARAMETERS" record. CHECK and PARMONLY are set to 0,
// then to 1 by the options of those names. The other outputs are PARNUM words
// 6, 3, 1, 4, 7 and 5 and the three PARCHR strings. IERR 8 for a record that
// is not "$PARAMETERS" or does not start with "$PARAMETERS,"; 1 for an option
// this version does not know.
void PAROPT(std::string_view LINE, std::int32_t& CHECK, std::int32_t& PARMONLY, std::int32_t& OUTMULT,
            std::int32_t& CSVENT, std::int32_t& CSVMULT, std::int32_t& GFFENT, std::int32_t& TMDENT,
            std::int32_t& OUTFROM, std::span<char> CSVLIST, std::span<char> GFFSTR, std::span<char> TMDSTR,
            std::int32_t& IERR);

// ROOT := the per-case file root: the model name up to 8 characters, "_PAR",
// the case number in 4 digits and, for a non-blank TITLE, "_" and TITLE with
// blanks as "-". IERR 0.
void PARFIL(std::int32_t PARMONLY, std::string_view MODELNAME, std::int32_t CSVMULT, std::int32_t CASENO,
            std::int32_t CSVENT, std::string_view CSVLIST, std::span<char> ROOT, std::string_view TITLE,
            std::int32_t OUTMULT, std::int32_t PRINTUNIT, std::int32_t CSVUNIT, std::int32_t& IERR);

// VALUE := the single-quoted string at the start of TEXT ('' gives blanks);
// a value not in quotes is reported and sets IERR to 1.
void PARZVL(std::string_view TEXT, std::span<char> VALUE, std::int32_t& IERR);

// Reads the statements of one case from PARUNIT up to the next case header
// (left compacted in LINE, its length in LENGTH) or the end of the file
// (ENDFLAG 1). NERR counts the erroneous statements.
void PARAMC(std::int32_t PARUNIT, std::int32_t PRINTUNIT, std::int32_t& NERR, std::int32_t& ENDFLAG,
            std::span<char> LINE, std::int32_t& LENGTH);
