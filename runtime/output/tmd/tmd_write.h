// Appending one output time to an open TMD file: the node data, the
// conductor data and the constants, one slab per time-extensible dataset,
// flushed, then the time, flushed, so that a time is durable on disk only
// with all of its data.
#pragma once

#include <cstdint>

// Writes the current time (TmvThermalModelVariables) to the file of slot
// fileindex, recording what the request that created the file selected.
// STATUS 0, or -1 when an HDF5 call failed: the first failure skips the
// remaining datasets, and the slot is abandoned (TmdSlot::abandon) with the
// file as its last flush left it, every time in it with all of its data.
void tmdwritedata(std::int32_t& STATUS);
