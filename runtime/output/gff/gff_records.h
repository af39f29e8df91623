// One data block of a GFF neutral result file: at every output point the
// parameter-case output calls GRECDB, which appends one line per entity of
// every selected record type, numbered as the header announced them.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "runtime/output/gff/gff_header.h"

// Appends the data lines of time TIMEN to the GFF file open on UNIT for the
// record types BLOCKS selects (GZBLKS): thermal nodes (GTNODA), thermal
// conductors (GTCNDB, then GVFB when there are view-factor conductors), fluid
// nodes (GFNODA), fluid conductors (GFCNDB, then GMFB), integer, real and
// character user constants (GIUCTS, GRUCTS, GCUCTS). Reals are written in the
// notation of FORMAT (the control constant; "*" general editing). WORK is a
// scratch area of at least NNODE + NF words for the conductors' sequence
// numbers. Every failure is fatal.
void GRECDB(std::int32_t UNIT, const kalvir::gff::BlockFlags& BLOCKS, std::string_view FORMAT, double TIMEN,
            std::span<std::int32_t> WORK);
