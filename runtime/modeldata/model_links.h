// Inter-model links: conductors and mass-flow links declared in one submodel
// whose ends are given as (submodel offset, user node number), so that they
// may join nodes of other submodels.
//
// During the load the ends become link records of five words in the integer
// dynamic core (submodel A, node A, submodel B, node B, conductor index), ends
// ordered so that (submodel A, node A) is the smaller; a fluidic conductor
// whose ends were exchanged keeps its index negated. Thermal link records sit
// in three areas (linear, radiative, fluidic) and are resolved and inserted
// into the connection lists once every submodel is read; fluid (mass-flow)
// link records are resolved submodel by submodel and enter the fluid lists.
#pragma once

#include <cstdint>
#include <array>
#include <span>
#include <vector>

#include "runtime/modeldata/mdb_context.h"

namespace kalvir::mdb {

// Lists 30-32: room check, area moves, the submodel's inter-model conductor
// ends as link records. 0, 1 (a list absent or wrong) or 7 (too little
// dynamic core; reported by its own message, which ends the run).
std::int32_t LOADI(LoadContext& ctx);

// Turns the N quadruples at ARRAY(IFIRST .. IFIRST + 4N - 1) into N records at
// ARRAY(1 .. 5N): ends offset by ISUB and ordered, conductor indices from
// FIRSTCOND (negated for SIGNFLAG 1 when the ends were exchanged). IERR 1 when
// the input does not lie within CAPACITY above the records, or an end names
// no submodel.
void SLKMOD(std::int32_t SIGNFLAG, std::int32_t IFIRST, std::int32_t FIRSTCOND, std::int32_t CAPACITY,
            std::int32_t N, std::int32_t ISUB, std::span<std::int32_t> ARRAY, std::int32_t& IERR);

// Resolves the ends of every thermal link record to internal node indices,
// submodel by submodel; an end that names no node of its submodel ends the run
// with the "UPDATE INTER-MODEL LINKS" message.
void SLKALL(std::int32_t& IERR);
void SLKUPD(std::int32_t ISUB, std::int32_t& IERR);

// Builds the per-node chains of the resolved link records.
void SLKPTS();

// Inserts the inter-model conductors into the packed thermal lists. IERR 11
// when they do not fit.
void SLKCTR(LoadContext& ctx, std::int32_t& IERR);

// After a submodel's connection lists: its own mass-flow link pairs to fluid
// node indices, its inter-model mass-flow links (list 224) into records,
// resolution of the record ends that lie in it and the node pairs of the
// links whose ends are known. 0 or 1.
std::int32_t LOADUP(LoadContext& ctx);

// Resolves the fluid link record ends that lie in submodel ISUB; RESOLVED
// counts them. IERR 1 for an end of ISUB that is not one of its fluid nodes.
void SLKNOD(std::int32_t ISUB, std::int32_t& RESOLVED, std::int32_t& IERR);

// While fluid node F's link run is written at FPCS position WPOS + 1 onward:
// appends the entries of the pending fluid link records keyed on F (WPOS
// advances), filling the placeholder of a link whose other end was written
// earlier. READPOS is the first unread word of the moved local list (writing
// must stay below it). IERR 11 when there is no room.
void SADFLN(std::int32_t F, std::int64_t& WPOS, std::int64_t READPOS, std::int32_t& IERR);

// The entries that the link records of kind K add to the list of internal
// node NODE: for the records where it is end A, then those where it is end B,
// in ascending record order, (other end, conductor index); a fluidic
// conductor stands negated at end A (SLKADD).
void link_entries(int K, std::int32_t NODE, std::vector<std::array<std::int32_t, 2>>& OUT);

// The chain head table of kind K (0 linear, 1 radiative, 2 fluidic): word of
// HEAD(node, end) in the integer dynamic core, end 1 = A, 2 = B.
std::int64_t head_word(int K, std::int32_t NODE, int END);

}  // namespace kalvir::mdb
