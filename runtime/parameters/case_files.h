// Per-case files of a parameter-case run and the output hook of the model's
// blocks.
//
// Every per-case file is named from the case's file root: the model name (up
// to 8 characters), "_PAR", the case number in four digits and, for a titled
// case, "_" and the title made safe for a file name. The root also names the
// case's GFF and TMD files, so no case can write outside the run directory.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// Before each case runs: ROOT := the case's file root. With OUTMULT set the
// case's print goes to ROOT + ".out" on PRINTUNIT; with CSVENT set the CSV
// file of the case (CSVMULT) or of the run is opened on CSVUNIT when due, and
// its header is left due (kalvir::parameters::defer_csv_header): the case
// loop writes it once the case's model is set up. IERR 0, or the status of a
// failed open (reported).
void PARFIL(std::int32_t PARMONLY, std::string_view MODELNAME, std::int32_t CSVMULT, std::int32_t CASENO,
            std::int32_t CSVENT, std::string_view CSVLIST, std::span<char> ROOT, std::string_view TITLE,
            std::int32_t OUTMULT, std::int32_t PRINTUNIT, std::int32_t CSVUNIT, std::int32_t& IERR);

// A check run (CHECK), which opens no per-case file: resolves the CSV entity
// list and parses the TMD entity string as the run would, so that it reports
// what the run would report about them.
void PARCHK();

// Output hook of the variables 2 ("VARIABLES2") and outputs ("OUTPUTS")
// blocks: at the output points of the block that the case file chose, the
// case's GFF records, TMD slab and CSV row, in that order. A CSV row that
// cannot be written ends the run (exit status 1).
void PARWRT(std::string_view BLOCK);

// The records of the current time in the case's GFF file on UNIT: a new file
// (ROOT + ".GFF", then ".GFF2", ".GFF3" ... within a case) at the first
// output point of a case or of each further solution of the case.
void PARGFF(std::string_view GFFSTR, std::string_view ROOT, std::int32_t NCASE, std::int32_t UNIT);

namespace kalvir::parameters {
// The case title as it appears in file names: up to its last non-blank,
// anything but letters, digits, "-", "_" and "." as "-", and no "..".
std::string safe_title(std::string_view title);
// Forgets the GFF file of the run, so that a test starts afresh. A run never
// calls it.
void reset_gff_for_tests();
}  // namespace kalvir::parameters
