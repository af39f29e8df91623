// Appending one output time to an open TMD file: the time, the node data,
// the conductor data and the constants, one slab per time-extensible
// dataset, then a flush so that the completed time is durable on disk.
#pragma once

#include <cstdint>

// Writes the current time (TmvThermalModelVariables) to the file of slot
// fileindex, recording what the request that created the file selected.
// STATUS 0, or -1 when an HDF5 call failed: the first failure skips the
// remaining datasets, and the file is flushed in either case.
void tmdwritedata(std::int32_t& STATUS);
