// The user-constant records of a GFF data block: one line per integer
// (GIUCTS), real (GRUCTS) or character (GCUCTS) user constant, submodel by
// submodel: time, submodel, the constant's name and its value.
#pragma once

#include <cstdint>

#include "runtime/output/gff/gff_lines.h"

// "Integer_User_Constant" lines (record type RECORD) at time TIMEN.
void GIUCTS(std::int32_t UNIT, std::int32_t RECORD, const kalvir::gff::RealNotation& NOTATION, double TIMEN);

// "Real_User_Constant" lines; an undefined value is written NULL.
void GRUCTS(std::int32_t UNIT, std::int32_t RECORD, const kalvir::gff::RealNotation& NOTATION, double TIMEN);

// "Character_User_Constant" lines: the value unpacked from the packed store
// (DBFZPK) as a text item of at most 255 characters with its quotes. A value
// that cannot be unpacked, or does not fit, is fatal.
void GCUCTS(std::int32_t UNIT, std::int32_t RECORD, const kalvir::gff::RealNotation& NOTATION, double TIMEN);
