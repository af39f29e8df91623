// The CSV result file of a parameter-case run: a header of three lines when
// the file is opened and one row at every output point of every case.
//
// Every column label and value field starts with ","; the item writers add
// theirs to the line being built on the unit with WRITEH, and the line is
// written once, whole, when it ends, so a row is never left half written in
// the file. The header resolves every item once and keeps what each resolved
// to (the nodes and conductors it labelled); every row of that file writes
// exactly those columns in that order, so a case that changes a node label
// cannot shift a value under another heading. A value that cannot be had
// leaves its field empty.
//
// The case loop opens a file before the case's page is printed, but the
// header waits (defer_csv_header) until the case's restore, initial block and
// statements have made the model the case runs: the columns are those of
// that model, and two cases that run the same model get the same header,
// whatever the case before them left.
#pragma once

#include <cstdint>
#include <string_view>

// The field and line writers the drivers here and the item writers share.
#include "runtime/parameters/csv_fields.h"

// Writes the header on UNIT: the run line, an empty line and the column line
// ("Parameter case number,Parameter case name,Time" and the labels of every
// item of the entity list CSVLIST, resolved against submodel ISUB). IERR 0,
// or 1 the list is not enclosed in brackets, 2 a line cannot be written,
// 3 an item failed (its labels and those after it are missing, and the
// rows of the file leave them out too).
void PARHDC(std::string_view CSVLIST, std::int32_t ISUB, std::int32_t UNIT, std::int32_t& IERR);

// Writes the row of the current output point of case NCASE on UNIT: the case
// number, the case title, the time and the value fields of the columns of
// the header written on UNIT (written first when it is still due). IERR 0,
// or 1 the list is not enclosed in brackets, 2 the row cannot be written. An item that fails has reported
// itself and leaves its fields empty, with status 0. On a unit whose header
// PARHDC did not write, every item is resolved anew and one that fails ends
// the row.
void PARCSV(std::string_view CSVLIST, std::int32_t NCASE, std::int32_t ISUB, std::int32_t UNIT, std::int32_t& IERR);

namespace kalvir::parameters {

// Forgets the columns of the header written on UNIT, and a header still due
// there (the file was closed).
void forget_csv_columns(std::int32_t unit);

// The header of the file just opened on UNIT is due: it is written, with
// PARHDC(CSVLIST, ISUB, UNIT), by write_deferred_csv_header or, should a row
// come first, by PARCSV before that row.
void defer_csv_header(std::string_view csvlist, std::int32_t isub, std::int32_t unit);
// Writes the header due on UNIT, if any: 0, or PARHDC's status 2 when a line
// of it could not be written. An item that failed has been reported and
// leaves its columns out, with status 0.
std::int32_t write_deferred_csv_header(std::int32_t unit);
// A check run's CSV columns: resolves the items of CSVLIST against ISUB as
// PARHDC does and reports every failure it would report, but opens and
// writes no file. IERR 0, 1 or 3 as PARHDC's.
void check_csv_columns(std::string_view CSVLIST, std::int32_t ISUB, std::int32_t& IERR);

}  // namespace kalvir::parameters
