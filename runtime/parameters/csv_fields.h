// The CSV file's fields and lines: the item writers (csv_columns,
// csv_conductors) and the header and row drivers (csv_file) build each line
// on its unit with WRITEH and end it whole, so a row is never left half
// written in the file. Below both, so the drivers call the item writers and
// never the other way round.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Adds TEXT to the line being built on UNIT. IOSTAT 0, or EBADF when the unit
// is not open (kalvir::parameters::kCheckUnit always is). Reports nothing.
void WRITEH(std::int32_t UNIT, std::string_view TEXT, std::int32_t& IOSTAT);

namespace kalvir::parameters {

// A unit of no file, on which a check run builds the CSV header's line to
// resolve its columns; the line is never written.
inline constexpr std::int32_t kCheckUnit = -11;

// Ends the line built on UNIT: writes it and flushes it. The I/O status.
int end_csv_line(std::int32_t unit);
// The line under construction on UNIT (empty until a field is added).
std::string& csv_line(std::int32_t unit);
// Drops a line under construction (the unit was closed or reopened).
void discard_csv_line(std::int32_t unit);

// Value fields: "," and 1PE13.6, "," and I10, ",U" for the undefined marker,
// "," and the text without trailing blanks in double quotes (inner quotes
// doubled).
std::string real_field(double value);
std::string int_field(std::int32_t value);
std::string text_field(std::string_view text);
// A text field of the fixed part: unquoted unless it holds a comma, a double
// quote or a line break, so no text can shift the columns.
std::string csv_text(std::string_view text);

// "Error writing to csv file@I/O error code" and the status in ten
// columns, then " returned" and, for a value writer, the causes.
std::string write_error(std::int32_t status, bool value_writer);

}  // namespace kalvir::parameters
