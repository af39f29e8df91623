// The CSV result file of a parameter-case run: a header of three lines when
// the file is opened and one row at every output point of every case.
//
// Every column label and value field starts with ","; the item writers add
// theirs to the line being built on the unit with WRITEH, and the line is
// written once, whole, when it ends, so a row is never left half written in
// the file. The header resolves every item once, when the file is opened,
// and keeps what each resolved to (the nodes and conductors it labelled);
// every row of that file writes exactly those columns in that order, so a
// case that changes a node label cannot shift a value under another heading.
// A value that cannot be had leaves its field empty.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Adds TEXT to the line being built on UNIT. IOSTAT 0, or EBADF when the unit
// is not open. Reports nothing.
void WRITEH(std::int32_t UNIT, std::string_view TEXT, std::int32_t& IOSTAT);

// Writes the header on UNIT: the run line, an empty line and the column line
// ("Parameter case number,Parameter case name,Time" and the labels of every
// item of the entity list CSVLIST, resolved against submodel ISUB). IERR 0,
// or 1 the list is not enclosed in brackets, 2 a line cannot be written,
// 3 an item failed (its labels and those after it are missing, and the
// rows of the file leave them out too).
void PARHDC(std::string_view CSVLIST, std::int32_t ISUB, std::int32_t UNIT, std::int32_t& IERR);

// Writes the row of the current output point of case NCASE on UNIT: the case
// number, the case title, the time and the value fields of the columns of
// the header written on UNIT. IERR 0, or 1 the list is not enclosed in
// brackets, 2 the row cannot be written. An item that fails has reported
// itself and leaves its fields empty, with status 0. On a unit whose header
// PARHDC did not write, every item is resolved anew and one that fails ends
// the row.
void PARCSV(std::string_view CSVLIST, std::int32_t NCASE, std::int32_t ISUB, std::int32_t UNIT, std::int32_t& IERR);

namespace kalvir::parameters {

// Ends the line built on UNIT: writes it and flushes it. The I/O status.
int end_csv_line(std::int32_t unit);
// Drops a line under construction (the unit was closed or reopened).
void discard_csv_line(std::int32_t unit);
// Forgets the columns of the header written on UNIT (the file was closed).
void forget_csv_columns(std::int32_t unit);

// Value fields: "," and 1PE13.6, "," and I10, ",U" for the undefined marker,
// "," and the text without trailing blanks in double quotes (inner quotes
// doubled).
std::string real_field(double value);
std::string int_field(std::int32_t value);
std::string text_field(std::string_view text);
// A text field of the fixed part: unquoted unless it holds a comma, a double
// quote or a line break, so no text can shift the columns.
std::string csv_text(std::string_view text);

// "Error writing to csv file@Fortran I/O error code" and the status in ten
// columns, then " returned" and, for a value writer, the causes.
std::string write_error(std::int32_t status, bool value_writer);

}  // namespace kalvir::parameters
