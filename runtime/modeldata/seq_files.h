// Opening and closing the run's sequential files on numbered units, with one
// system-error message, in one wording, for a file that cannot be opened or
// closed. Neither routine stops the run: the caller decides what a failure
// means.
#pragma once

#include <cstdint>
#include <string_view>

// FORM "FORMATTED" or "UNFORMATTED"; STATUS "OLD" (must exist) or "UNKNOWN"
// (created when missing). The file is positioned at its first record.
// IERR: 0 success, 1 blank file name (no message), otherwise the I/O status
// of the failed open (reported through ERRNEW) or rewind.
void SOPSQ(std::string_view FILENAME, std::string_view FORM, std::string_view STATUS,
           std::int32_t UNIT, std::int32_t& IERR);

// STATUS "KEEP" or "DELETE". A unit that is not open is no error. IERR: 0, or
// the I/O status of the failed close (reported through ERRNEW).
void SCLFIL(std::string_view STATUS, std::int32_t UNIT, std::int32_t& IERR);

// Closes the scratch (deleted), parameter-case (kept) and dump (deleted)
// units. SOPSQ registers it as a closer of the run, so that PROGCL runs it.
void LFIN(std::int32_t SCRATCH, std::int32_t DUMP, std::int32_t PARAM);
