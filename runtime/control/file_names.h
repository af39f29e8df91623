// Run file names: every file of a run that belongs to the model (but the ACD
// and result files) is named from the first eight characters of the model name
// and one extension of a fixed table.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "runtime/platform/char_rows.h"

namespace kalvir {
// The extensions by name index (position 1 is kRunFileExtensions[0]).
inline constexpr std::array<std::string_view, 23> kRunFileExtensions{
    ".MDB", ".log", ".f",   ".lgf", ".SCA", ".SCB", ".SCC", ".SCD", ".SCE", ".DMP", ".RST", ".PAR",
    ".COM", ".SCF", ".D0",  ".INP", ".ELM", ".DAT", ".SCR", ".MON", ".UNF", ".TRA", ".h"};

// Name indices of the files that are opened under their run file name.
namespace runfile {
inline constexpr int MDB = 1, DMP = 10, PAR = 12, COM = 13, MON = 20, TRA = 22;
}

// Units of the run's files.
namespace unit {
inline constexpr std::int32_t kDump = 2, kParameters = 3, kScratch = 4, kPrint = 6, kMdb = 10, kCsv = 11,
                              kTrace = 13, kGff = 14;
}
}  // namespace kalvir

// NAMES(1..N) := stem + extension j, blank-padded to the element width.
// IERR: 0 success; 1 N above 23 (NAMES untouched); -1 a name that cannot be
// built (blank model name, a blank inside the stem, elements too short).
void SFLNAM(std::string_view MODELNAME, std::int32_t N, kalvir::CharRowsMut NAMES, std::int32_t& IERR);

// EXISTS := whether a file named by one of NAMES(1..N) exists (blank names are
// skipped); it stops at the first that exists or whose inquiry fails, and
// IERR is the I/O status of the last inquiry.
void SFLXST(kalvir::CharRows NAMES, std::int32_t N, bool& EXISTS, std::int32_t& IERR);

// DST := SRC, cut to DST's length or blank-padded: the one copy through which
// a file name passes before the file system sees it.
void SFLDEP(std::string_view SRC, std::span<char> DST);
