// The state dump: the model state after the load, written once before the
// parameter cases (DMPCOM) and read back before each case that starts from
// the initial state (RSTCOM).
//
// The dump is a record file of 85 records in a fixed order; writer and reader
// walk the same table, so record n of the writer fills exactly the places
// record n of the reader restores. What the file leaves out and a case can
// still change (the user attribute values, the links' types, pressure sources
// and their derivatives) is kept in memory beside it and restored with it.
#pragma once

#include <cstdint>

namespace kalvir {
inline constexpr int kStateDumpRecords = 85;
}

// Writes records 1 to 85 on UNIT from its current position and keeps the
// copy beside them. IERR 0, or the sum of the absolute I/O status codes of
// the records written; a failure on record 1 or 2 ends the dump after
// record 2.
void DMPCOM(std::int32_t UNIT, std::int32_t& IERR);

// Rewinds UNIT and reads records 1 to 85 back into the same places, then the
// copy kept beside them. A record whose length differs from what it restores
// into restores nothing and counts as a failure; so does a copy that no
// longer fits its arrays (EINVAL). IERR as for DMPCOM. After a restore without failure the
// status-change flag is set, so that the solution routines rebuild their
// status data from the restored letters.
void RSTCOM(std::int32_t UNIT, std::int32_t& IERR);

namespace kalvir {
// How many restores without failure RSTCOM has made. Whatever keeps data
// derived from the model state (the node list cache of Lschnd) compares it
// with the count it last saw and drops that data when it has moved on.
std::uint64_t state_restores();
}  // namespace kalvir
