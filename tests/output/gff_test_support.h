// GFF test support: writing a whole file with the writers (the way the
// parameter-case output will: open, GZBLKS, GHEADB, GRECDB per time) and a
// small independent reader that takes a file apart into its header records
// and data lines.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kalvir::test {

struct GffRecordType {
  std::string name;
  int number = 0;
  std::vector<std::string> attributes;
};

struct GffLine {
  int record = 0;
  std::vector<std::string> items;  // text items without their quotes
};

struct GffFile {
  std::vector<std::string> header;  // every line up to "End_Header"
  std::vector<GffRecordType> records;
  std::vector<GffLine> lines;
  std::string error;  // empty when the file parsed
};

// Splits the text of a data line after its record number into items: quoted
// texts (a doubled quote stands for one) or words between single blanks.
// false when the line does not follow that form.
bool split_items(const std::string& text, std::vector<std::string>& items);

GffFile read_gff(const std::string& path);

// Writes a GFF file: header for the entity text `blocks` and title, then one
// data block per time. Runs inside the caller's run_program when it must
// catch a fatal end.
void write_gff(const std::string& path, const std::string& blocks, const std::string& title,
               const std::string& format, const std::vector<double>& times);

// The lines of a text file, without their newlines.
std::vector<std::string> file_lines(const std::string& path);

}  // namespace kalvir::test
