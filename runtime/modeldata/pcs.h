// Thermal connection lists (PCS): for every thermal node the conductors that
// touch it, with the node at the other end, so that the solution routines
// form node sums without searching the conductor arrays.
//
// Packed form (gar_pcsthermalold, start of node i at gar_pcsptrsthermalold(i)):
// three runs per node, linear, radiative and fluidic; a run is a sequence of
// entries (other node's internal index, conductor index) ended by -q, 0 where
// q is the position of that 0. A reader takes a positive word as an entry, a
// negative word -p as "continue at p" and 0 as the end of the kind. A fluidic
// conductor stands negative in the list of the node named first in its
// definition. The node tie list lies at the tail of the array.
//
// Record form (gar_pcsthermal, gar_pcsptrsthermal(1..6, i) = start and count of
// the three runs), derived from the packed form at the end of the load.
//
// Built submodel by submodel during the load (SPCSA, SIMPCS), extended by the
// inter-model conductors (model_links.h), merged with the node ties (SREDSP,
// LINCSP, SUPINV) and walked by STUNPK.
#pragma once

#include <cstdint>
#include <span>

#include "runtime/modeldata/mdb_context.h"
#include "runtime/platform/arrays.h"

namespace kalvir::mdb {

// Builds the local packed lists of submodel ctx.isub behind the words in use,
// from the node pairs of lists 69-71. A pair end that is not a node of the
// submodel, or lists that do not fit, end the run with "Failed to create PCS
// for model" (IERR 4 is never seen by the caller).
void SPCSA(LoadContext& ctx, std::int32_t& IERR);

// Moves the submodel's local lists to the end of their arrays and rewrites
// them at their global place (SLKPCS, and SFLPCS for the fluid lists). IERR
// non-zero when the lists do not fit.
void SIMPCS(LoadContext& ctx, std::int32_t& IERR);

// Rewrites the local packed list that starts at FROM (positions relative to
// FROM - 1) for every thermal node of the submodel, in global numbering,
// behind ctx.npcs; nodes without a local list get three empty runs.
void SLKPCS(LoadContext& ctx, std::int32_t FROM, std::int32_t& IERR);

}  // namespace kalvir::mdb

// ---- Node ties.
// Converts the tie list of the MDB file (MDBTIES(1..2L): 2L, -, groups, -,
// then L - 2 word pairs) into the tail TAIL(1..L): L, groups, then per group
// source, n, n targets as internal node indices. Targets get the status "C".
// IERR 1 when a tie node does not exist, a group is malformed, or a node is
// tied twice (source or target of more than one group).
void SREDSP(const kalvir::Array2<std::int32_t>& MODDIR, std::int32_t L,
            std::span<const std::int32_t> MDBTIES, std::span<std::int32_t> TAIL, std::int32_t& IERR,
            const kalvir::Array1<std::int32_t>& NODENUMS, kalvir::CharArray<1>& STATUSES);

// Merges every tie group (GROUPS = tail words 3..L) into its source: each run
// of the source continues through the same run of every target, and every
// neighbour of a target names the source instead.
void LINCSP(std::int32_t NNODE, std::span<const std::int32_t> PTRS, std::span<const std::int32_t> GROUPS,
            std::span<std::int32_t> PCS, std::int32_t& IERR, std::span<std::int32_t> FPCS,
            std::span<const std::int32_t> FPTRS);

// In run KIND (1 linear, 2 radiative, 3 fluidic) of NODE, the first entry
// naming OLD names NEW.
void SCNPCS(std::int32_t NODE, std::int32_t OLD, std::int32_t NEW, std::span<const std::int32_t> PTRS,
            std::int32_t KIND, std::span<std::int32_t> LIST);
// The same in the fluid list of fluid node NODE (the link run counts as 0).
void SCFPCS(std::int32_t NODE, std::int32_t OLD, std::int32_t NEW, std::span<const std::int32_t> PTRS,
            std::int32_t KIND, std::span<std::int32_t> LIST);

// Puts the groups of the tail TAIL(1..L) into reverse order (SCRATCH: L words).
void SUPINV(std::int32_t L, std::span<std::int32_t> TAIL, std::span<std::int32_t> SCRATCH);

// Builds the record form from the packed form; tie targets (status "C") get
// six zeros.
void LPCSCN(std::int32_t NNODE, const kalvir::CharArray<1>& STATUSES, std::span<const std::int32_t> PCSOLD,
            std::span<const std::int32_t> PTRSOLD, std::span<std::int32_t> PCS,
            kalvir::Array2<std::int32_t>& PTRS);

// One step of the walk over thermal node NODE's packed lists. POS = 0 starts
// (KIND := 1); each call returns the next entry: KIND 1 linear, 2 radiative,
// 3 fluidic, ICOND the conductor index, NEIGHB the other node (a fluid node
// when above NNODE). With MODE 0, thermal neighbours of status "X" or "C" are
// passed over. The walk ends with KIND 4, POS 0 and NEIGHB 0.
void STUNPK(std::int32_t MODE, std::int32_t NNODE, std::int32_t NODE, const kalvir::CharArray<1>& STATUSES,
            std::span<const std::int32_t> LIST, std::span<const std::int32_t> PTRS, std::int32_t& KIND,
            std::int32_t& POS, std::int32_t& ICOND, std::int32_t& NEIGHB);
