// The model program of the plate family (bench/plate/plate_family.h): its
// blocks and its sizes. One program serves every size of the family: it
// reads the FLAGS and SPRSIZ words that kalvir_mdb_write wrote beside the MDB
// file (PLATE.flags), where a generated program would carry them as
// constants.
#pragma once

#include "runtime/program/model_program.h"

namespace kalvir::bench::plate {

// The blocks; with_tmd false leaves out the outputs block's TMD request.
ModelBlocks blocks(bool with_tmd);

// Stores FLAGS, SPRSIZ and the model name from PLATE.flags in the working
// directory; a missing or unreadable file ends the program with a message
// and exit status 1.
void store_sizes();

}  // namespace kalvir::bench::plate
