// The frame that the single-phase fluid-loop transients FLTMTS, FLTNTF and
// FLTNTS run in: run tags, defaults of the iteration limits, the checks of
// the control constants with their messages, work space from the dynamic
// cores (event list, profile index table with the link codes, condensation
// rates and loads), the start-up calls of the model blocks, the placement of
// steps and output times, the end-of-run relaxation report and the exit.
//
// A routine builds a FluidFrame from its row on entry (which runs the checks
// and takes the work space), carves its loop's work arrays with take_real,
// and unless the run is skipped runs its start and its steps through the
// frame's helpers. The destructor is the exit: both next-free words go back
// to their values on entry, on every way out, and SOLVER is blanked unless
// the cyclic analysis set it.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

// SOLTYP := TEXT, blank-padded or cut to 7 characters.
void STSOLT(std::string_view TEXT);
