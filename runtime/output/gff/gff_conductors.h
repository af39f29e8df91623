// The conductor records of a GFF data block. "Thermal_Conductor": GTCNDB
// (linear, radiative and fluidic conductors between thermal nodes, from the
// thermal connection lists) and then GVFB (view-factor conductors).
// "Fluid_Conductor": GFCNDB (conductors at fluid nodes, with the fluid node as
// from node, and the fitting losses of the mass-flow links) and then GMFB
// (the flow rates of the links).
//
// Each conductor is written exactly once per block. The sequence number
// counts the conductors of one kind from a node to the same other node (1,
// 2, ... for parallel conductors); WORK holds one counter per internal node
// index (NNODE + NF words).
#pragma once

#include <cstdint>
#include <span>

#include "runtime/output/gff/gff_lines.h"

// "Thermal_Conductor" lines (record type RECORD) for the conductors between
// thermal nodes, each from its lower-index end; nodes of status C write none,
// conductors to fluid nodes are left to GFCNDB. A fluidic conductor reached
// through a negative index is written with its conductance negated.
void GTCNDB(std::int32_t UNIT, std::int32_t RECORD, const kalvir::gff::RealNotation& NOTATION, double TIMEN,
            std::span<std::int32_t> WORK);

// "Thermal_Conductor" lines for every view-factor conductor, from the first
// node of its pair, sequence number 1.
void GVFB(std::int32_t UNIT, std::int32_t RECORD, const kalvir::gff::RealNotation& NOTATION, double TIMEN);

// "Fluid_Conductor" lines from each fluid node's list: the fitting loss of a
// mass-flow link (type GP) from the link's first node, and the linear,
// radiative and fluidic conductors to thermal nodes. A conductor between two
// fluid nodes is written once, from the lower index.
void GFCNDB(std::int32_t UNIT, std::int32_t RECORD, const kalvir::gff::RealNotation& NOTATION, double TIMEN,
            std::span<std::int32_t> WORK);

// "Fluid_Conductor" lines for the flow rate of every mass-flow link (type M).
void GMFB(std::int32_t UNIT, std::int32_t RECORD, const kalvir::gff::RealNotation& NOTATION, double TIMEN);
