// General routines for fixed-length, blank-padded text: lengths, integers as
// text and back, blank removal that respects quoted sections, searches that
// skip quoted or parenthesised sections, tokens, upper case, and the run's
// date and time stamps.
//
// Output texts are fixed fields (std::span<char>): what is put into them is
// cut to the field or padded with blanks. Positions count from 1.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "runtime/platform/fixed_string.h"  // kalvir::int_field and the padding helpers

// LENGTH := position of the last non-blank character of TEXT (0 when blank).
void SLNLEN(std::string_view TEXT, std::int32_t& LENGTH);
std::int32_t STRLNA(std::string_view TEXT);

// The decimal form of I, left-justified ("-7", "0"); a fixed field that
// receives it is blank-padded.
std::string IToC(std::int32_t I);
// TEXT := decimal form of I, left-justified; LENGTH := its number of
// characters. When TEXT is too short for it: TEXT blank and LENGTH 0.
void ILCHAR(std::span<char> TEXT, std::int32_t I, std::int32_t& LENGTH);
// I >= 0: TEXT := its digits, LENGTH := their count, IERR := 0.
// I < 0: TEXT := "0", LENGTH := 1, IERR := 1. A field shorter than the
// digits receives the leading ones, and LENGTH is capped at the field.
void SCHNUM(std::span<char> TEXT, std::int32_t I, std::int32_t& LENGTH, std::int32_t& IERR);
// Number of decimal digits of |I|, 1 to 10.
std::int32_t LENDGT(std::int32_t I);

// RESULT := the first N characters of SOURCE that are neither blank nor tab;
// then a "#" at position 2 or later of RESULT blanks RESULT from there on.
void CCHAR(std::span<char> RESULT, std::string_view SOURCE, std::int32_t N);
// IOK := 1 when TEXT(1..N) are all digits, else 0 (also for N outside 1..len).
void IINTCH(std::string_view TEXT, std::int32_t N, std::int32_t& IOK);
// As IINTCH, and IVAL := the value of the N digits when IOK = 1. A value
// beyond 2147483647 is no integer: IOK := 0.
void IINTC2(std::string_view TEXT, std::int32_t N, std::int32_t& IOK, std::int32_t& IVAL);
// Reads the unsigned number that starts at TEXT(IPOS), up to TEXT(LAST):
// IERR := 0, IVAL := its value, IPOS := the position after its digits. A
// non-digit at IPOS (or IPOS outside the text, or a value beyond 2147483647)
// gives IERR := 1, IVAL := 0, IPOS unchanged.
void LSRDIN(std::string_view TEXT, std::int32_t LAST, std::int32_t& IPOS, std::int32_t& IVAL,
            std::int32_t& IERR);
// Every character of DELIMS (trailing blanks included) delimits. TOKEN :=
// TEXT(IPOS + 1 .. C - 1) with C the next delimiter after IPOS (len + 1 when
// none); TOKLEN := C - IPOS - 1 (never negative); IPOS := C.
void GetToken(std::string_view TEXT, std::string_view DELIMS, std::int32_t& IPOS,
              std::span<char> TOKEN, std::int32_t& TOKLEN);
// TEXT from its first character that is neither blank nor tab, padded to the
// length of TEXT.
std::string LTrim(std::string_view TEXT);

// Copies SOURCE without the blanks and tabs that lie outside quoted sections.
// INQUOTE carries an open quoted section from one line to the next. LENGTH is
// the number of characters copied (plus the source's trailing blanks when it
// ends inside a quoted section). A RESULT too short ends the run (internal
// stop "Sdblkx 1" or "Sdblkx 2").
void Sdblkx(std::string_view SOURCE, bool& INQUOTE, std::span<char> RESULT, std::int32_t& LENGTH);
void Sdblnk(std::string_view SOURCE, bool& INQUOTE, std::span<char> RESULT);
// As Sdblkx, and a "#" outside quoted sections ends the copy (a comment).
// Ending inside a quoted section gives the whole length of SOURCE. A RESULT
// too short ends the run (internal stop "SDBLKH 1" or "SDBLKH 2").
void SDBLKH(std::string_view SOURCE, bool& INQUOTE, std::span<char> RESULT, std::int32_t& LENGTH);

// IPOS := position of the first PATTERN outside quoted sections, 0 if none.
void SQNDEX(std::string_view TEXT, std::string_view PATTERN, std::int32_t& IPOS);
// IPOS := position of the first PATTERN outside quoted and parenthesised
// sections, 0 if none.
void SBQNDX(std::string_view TEXT, std::string_view PATTERN, std::int32_t& IPOS);

// The first 30 characters of TEXT, blank-padded, with a-z in upper case.
std::string SLTOU(std::string_view TEXT);

// "hh:mm:ss", the local time of day (8 characters).
std::string ZDAYTM();
// "dd Month     yyyy": two-digit day, English month left-justified in 9, year
// (17 characters).
std::string ZDAYDT();
