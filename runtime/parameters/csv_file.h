// The CSV result file of a parameter-case run: a header of three lines when
// the file is opened and one row at every output point of every case.
//
// Every column label and value field starts with ","; the item writers add
// theirs to the line being built on the unit with WRITEH, and the line is
// written once, whole, when it ends, so a row is never left half written in
// the file. The header and the rows walk the entity list through the same
// classifier, so they always select the same columns in the same order.
#pragma once

#include <cstdint>
#include <string_view>

// The field and line writers the drivers here and the item writers share.
#include "runtime/parameters/csv_fields.h"

// Writes the header on UNIT: the run line, an empty line and the column line
// ("Parameter case number,Parameter case name,Time" and the labels of every
// item of the entity list CSVLIST, resolved against submodel ISUB). IERR 0,
// or 1 the list is not enclosed in brackets, 2 a line cannot be written,
// 3 an item failed (its labels and those after it are missing).
void PARHDC(std::string_view CSVLIST, std::int32_t ISUB, std::int32_t UNIT, std::int32_t& IERR);

// Writes the row of the current output point of case NCASE on UNIT: the case
// number, the case title, the time and the value fields of every item. IERR
// 0, or 1 the list is not enclosed in brackets, 2 the row cannot be written.
// An item that fails ends the row after the fields written before it, with
// status 0: the item writer has reported it.
void PARCSV(std::string_view CSVLIST, std::int32_t NCASE, std::int32_t ISUB, std::int32_t UNIT, std::int32_t& IERR);
