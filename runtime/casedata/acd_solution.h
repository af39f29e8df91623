// Solution-data reader of the analysis-case data (ACD) file: opens
// "<model name>.acd" at start-up, mirrors its model groups in a tree, loads
// the static heat fluxes once and applies the time-dependent heat fluxes and
// radiative conductors at every variables 1 call; closed at the end of the
// run.
//
// The file is checked while the tree is built: every count, time axis,
// period, arc table and band list that a case type needs must be present and
// sensible, and every dataset must be large enough for what will be read from
// it; a bad file ends the run with a fatal message naming the item and the
// file.
#pragma once

#include <string_view>

// Opens "<model name without trailing blanks>.acd" read-only for the run and
// builds the model tree. A file that cannot be opened is a fatal message.
void acds_open(std::string_view MODELNAME);

// Writes the file's static heat fluxes into QA, QE, QR and QS (once, after
// acds_open).
void acds_staticload();

// Applies the time-dependent data for the current time TIMEM.
void ACDDYU();
void acds_dynamicupdate();

// Releases the reader's model tree and closes the ACD file when it is open.
void acds_close();
