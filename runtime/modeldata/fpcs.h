// Fluid connection lists (FPCS): for every fluid node its mass-flow links and
// the linear, radiative and fluidic conductors that join it to thermal nodes.
//
// gar_pcsfluid, start of fluid node f at gar_pcsptrsfluid(f): four runs, the
// link run of entries (other fluid node index, link number) ended by -q, 0,
// then the linear, radiative and fluidic runs of entries (internal index of
// the thermal node, conductor index) each ended by a single 0. A negative word
// -p anywhere means "continue at p".
//
// Built per submodel (SFPCSA), moved to its global place together with the
// submodel's inter-model mass-flow links (SFLPCS), completed with the
// inter-model conductors after the last submodel (SFLCTR) and walked by
// SFUNPK. Also the small services that feed it and the inter-model link
// records (SGTFLN, SFCUPD, SGTLNK, SGVNOD) and the user-number lookup INTNOD.
#pragma once

#include <cstdint>
#include <span>

#include "runtime/modeldata/mdb_context.h"
#include "runtime/platform/arrays.h"

namespace kalvir::mdb {

// Builds submodel ctx.isub's local fluid lists behind the words in use. An
// unfound pair end or lists that do not fit end the run with "Failed to
// create FPCS for model".
void SFPCSA(LoadContext& ctx, std::int32_t& IERR);

// Writes the fluid lists of the submodel's fluid nodes at their global place
// from the local lists moved to FROM (when ctx.local_fpcs), with the
// submodel's inter-model mass-flow links (SADFLN). IERR 11 when the lists do
// not fit.
void SFLPCS(LoadContext& ctx, std::int32_t FROM, std::int32_t& IERR);

// Inserts the inter-model conductors into the fluid lists (after the thermal
// insertion). IERR 11 when the lists do not fit.
void SFLCTR(LoadContext& ctx, std::int32_t& IERR);

// Turns the L quadruples of list 224 (at AREA(1..4L)) into fluid link records
// AREA(1..5L) and sets the orientation flag of links FIRSTLINK.. in the link
// node pairs. IERR 1 for a failure.
void SGTFLN(std::int32_t L, std::int32_t CAPACITY, std::span<std::int32_t> AREA, std::int32_t& IERR,
            std::int32_t FIRSTLINK, std::int32_t ISUB);

// Writes the node pairs of the fluid link records (area of NWORDS words at
// word ISTART of DCORE) whose two ends are known, and marks them done.
void SFCUPD(std::span<std::int32_t> DCORE, std::int32_t ISTART, std::int32_t NWORDS);

// Reads inter-model conductor list LISTNO (4 x N words) into AREA from N + 1
// and turns it into N link records (SLKMOD). IERR 1 unless exactly 4 x N
// words were read and every end names a submodel.
void SGTLNK(std::int32_t CAPACITY, std::int32_t N, std::span<std::int32_t> AREA, std::int32_t& IERR,
            std::int32_t SIGNFLAG, std::int32_t FIRSTCOND, std::int32_t ISUB, std::int32_t LISTNO,
            std::int32_t IUNIT);

}  // namespace kalvir::mdb

// Each of WORDS(1..NWORDS) is a user node number, replaced by OFFSET + its
// position among NUMBERS(1..NNODES) (sorted ascending). The first number not
// found sets IERR = 1 and ends the conversion.
void SGVNOD(std::int32_t NWORDS, std::int32_t NNODES, std::span<const std::int32_t> NUMBERS,
            std::int32_t OFFSET, std::span<std::int32_t> WORDS, std::int32_t& IERR);

// Internal index of user node NODE of submodel ISUB itself (thermal nodes
// first, then fluid nodes as NNODE + fluid index), or 0 with a warning that
// names the number and the submodel ("Node 12 not found in sub-model
// MAIN:RAD", "Invalid submodel 7"). Its callers report what the missing
// node costs them.
std::int32_t INTNOD(std::int32_t ISUB, std::int32_t NODE);

namespace kalvir {
// INTNOD's warning for user node NODE that submodel ISUB lacks (ISUB valid or
// not); the index lookup writes the same.
void intnod_warning(std::int32_t ISUB, std::int32_t NODE);
}  // namespace kalvir

// One step of the walk over fluid node NODE's list. POS = 0 starts (KIND := 1);
// each call returns the next entry: KIND 1 mass-flow link (NEIGHB the other
// fluid node, ICOND the link number), 2 linear, 3 radiative, 4 fluidic
// (NEIGHB the internal index of the other node, ICOND the conductor index).
// With MODE 0, conductor entries to thermal nodes of status "X" are passed
// over. The walk ends with KIND 5, POS 0 and NEIGHB 0.
void SFUNPK(std::int32_t MODE, std::int32_t NODE, const kalvir::CharArray<1>& STATUSES,
            std::span<const std::int32_t> LIST, std::span<const std::int32_t> PTRS, std::int32_t& KIND,
            std::int32_t& POS, std::int32_t& ICOND, std::int32_t& NEIGHB);
