// Record and list layer of the model database (MDB) file.
//
// The MDB file is a record file: every record is framed by its 4-byte length.
// Inside a submodel block the data come as numbered lists: a header record of
// four integers (list number, kind, length, unused) and one data record, or,
// for long integer and real lists, a header of kind 7, a record holding the
// number of blocks and that many numbered blocks of header plus data record.
//
// The record readers (DBQR*) never return after an I/O error: the file is
// the model, and a read failure inside it leaves nothing to go on with, so
// they report the file, unit and I/O status and stop the run through ERROR.
// The list readers (SCOM*) report format errors by code (1 wrong number,
// kind or failed header read, 2 no room in the target) and let the loader
// name the section that failed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "runtime/platform/arrays.h"

namespace kalvir::mdb {

// The section marker record that closes every submodel block and skipped block.
inline constexpr std::int32_t kMarker[4] = {-1, 0, 0, 0};
// List kinds: 0 (or anything but 7) plain, 7 continued in numbered blocks.
inline constexpr std::int32_t kContinued = 7;
// The count table read at the head of every submodel block: (2, 290).
inline constexpr std::int32_t kCountLists = 290;

// Reads one record holding at least n 4-byte integers into out(0 .. n-1), or
// reals, or characters; returns the I/O status (a record too short for what
// is asked counts as an I/O error, as the formatted reads of the file always
// did). Used where the caller turns a failure into its own code.
int read_ints(std::int32_t unit, std::size_t n, std::span<std::int32_t> out);
int read_reals(std::int32_t unit, std::size_t n, std::span<double> out);
int read_chars(std::int32_t unit, std::size_t n, std::span<char> out);

// The file name of a unit as the messages show it: after the first "]" when
// there is one (keep_after_bracket), up to the first blank.
std::string message_file_name(std::int32_t unit, bool keep_after_bracket);

}  // namespace kalvir::mdb

// ---- Record readers: one record each, from the first element of the target.
void DBQRII(std::int32_t N, std::int32_t IUNIT, std::span<std::int32_t> IARR, std::int32_t& IERR);
void Dbqrdd(std::int32_t N, std::int32_t IUNIT, std::span<double> DARR, std::int32_t& IERR);
// N strings of ELEMLEN characters each, back to back in STRINGS.
void DBQRZZ(std::int32_t N, std::int32_t IUNIT, std::span<char> STRINGS, std::size_t ELEMLEN,
            std::int32_t& IERR);
// Skips N records.
void DBQRSK(std::int32_t N, std::int32_t IUNIT, std::int32_t& IERR);
// Reads four integers: FOUND = 1 for a section marker; otherwise FOUND = 0 and
// IERR = the record's first integer.
void DBQRMK(std::int32_t IUNIT, std::int32_t& FOUND, std::int32_t& IERR);

// ---- List readers. The list goes to elements N0 + 1 onward of the target
// (elements numbered from 1); NREAD counts the elements read; MAXN is the
// capacity (never beyond the target's own size). IERR 0, 1 wrong list or block
// number, failed header read or forbidden kind, 2 no room in the target.
void SCOMII(std::int32_t N0, std::int32_t MAXN, std::int32_t LISTNO, std::int32_t IUNIT,
            std::span<std::int32_t> IARR, std::int32_t& NREAD, std::int32_t& IERR);
void Scomdd(std::int32_t N0, std::int32_t MAXN, std::int32_t LISTNO, std::int32_t IUNIT,
            std::span<double> DARR, std::int32_t& NREAD, std::int32_t& IERR);
// Character list (plain only): LEN characters per element count the elements;
// each element is read with the target's own ELEMLEN.
void SCOMZZ(std::int32_t N0, std::int32_t MAXN, std::int32_t LISTNO, std::int32_t IUNIT,
            std::int32_t LEN, std::span<char> STRINGS, std::size_t ELEMLEN, std::int32_t& NREAD,
            std::int32_t& IERR);
// Skips the lists FIRST..LAST whose count-table entry TABLE(2, k) is non-zero
// (two records each).
void SCOMSK(const kalvir::Array2<std::int32_t>& TABLE, std::int32_t FIRST, std::int32_t LAST,
            std::int32_t IUNIT, std::int32_t& IERR);

// ---- Services of the load.
// Zero (blank) user-attribute values of all thermal and fluid nodes.
void SPRZER();
// STRINGS(1..N) := VALUE, cut or blank-padded; IERR = 1 when N < 1.
void SETZZZ(std::string_view VALUE, std::int32_t N, std::span<char> STRINGS, std::size_t ELEMLEN,
            std::int32_t& IERR);
// Moves COUNT integers of IARR(1..N) from FROM.. to TO.., zeroing each source
// cell after it is copied; overlapping ranges move intact. IERR -1 when N,
// COUNT, FROM or TO is below 1; 1 when a range passes N.
void DBCOPI(std::int32_t N, std::int32_t COUNT, std::int32_t FROM, std::int32_t TO,
            std::span<std::int32_t> IARR, std::int32_t& IERR);
// The same move for strings of ELEMLEN characters; vacated elements blank.
void DBCOPZ(std::int32_t N, std::int32_t COUNT, std::int32_t FROM, std::int32_t TO,
            std::span<char> STRINGS, std::int32_t& IERR, std::size_t ELEMLEN);
