// Paged print: the page start PRPAGE, the line accounting in PRTINF that every
// writer of printed output shares, and LSPCNM, which prints a submodel path
// as overprint records.
//
// Every record begins with a carriage-control character written as plain
// text: a blank for an ordinary line, "+" to print over the line before, and
// the record "1" for a new page. PRTINF(1) is the lines per page, PRTINF(2)
// the lines used on the current page, PRTINF(3) the print unit and PRTINF(4)
// the number of the next page.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "runtime/platform/fixed_string.h"

namespace kalvir::print {

// The widest record body a writer lays out: 132 print columns.
inline constexpr std::size_t kMaxColumns = 132;

// One record on the print unit PRTINF(3), written as given.
void put(std::string_view record);
// PRTINF(1) - PRTINF(2).
std::int32_t lines_left();
// PRTINF(2) += n.
void count_lines(std::int32_t n);

}  // namespace kalvir::print

// Starts a new page: page eject, banner with the page number, date line with
// the run date, time and model name of JOBINF, and the HEADER line when it is
// set. Sets PRTINF(2) (7, or 9 with a header) and advances PRTINF(4). A WIDTH
// outside 80 to 132 is a fatal message and nothing of the page is written.
void PRPAGE();

// Prints NAMES(1..N) (a submodel path, root first) joined by ":" as overprint
// records from print column ICOL of the current line, in lines of IWIDTH print
// columns (at most 132); starts a new page first when its estimate of the
// lines needed exceeds the lines left, and adds that estimate to PRTINF(2).
void LSPCNM(std::span<const kalvir::Chars<24>> NAMES, std::int32_t N, std::int32_t ICOL, std::int32_t IWIDTH);
