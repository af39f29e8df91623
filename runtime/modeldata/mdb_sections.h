// Section loaders of one submodel block of the MDB file.
//
// Each loader reads a fixed group of numbered lists of submodel ctx.isub into
// the global arrays and advances the model-directory rows that describe them:
// the values of a submodel go behind those of the submodels before it, and
// column isub + 1 receives the running totals. A loader returns 0 or a status:
// 1 count mismatch, wrong list number or kind, a missing required list or a
// value that cannot be used; 2 a list larger than its array, or an ARRAY count
// mismatch; 3 a bad ARRAY entry; 7 too little dynamic core for inter-model
// links (reported by its own message).
#pragma once

#include <array>
#include <cstdint>

#include "runtime/modeldata/mdb_context.h"
#include "runtime/platform/arrays.h"

namespace kalvir::mdb {

std::int32_t LOADE(LoadContext& ctx);   // 1-13 thermal nodes
std::int32_t LOADF(LoadContext& ctx);   // 14-21 conductor values and activity letters
std::int32_t LOADG(LoadContext& ctx);   // 22-24 inter-model conductor values
std::int32_t LOADH(LoadContext& ctx);   // 26-28 inter-model activity letters
std::int32_t LOADJ(LoadContext& ctx);   // 34 view-factor node pairs
std::int32_t LOADL(LoadContext& ctx);   // 45-51 user constants
std::int32_t LOADM(LoadContext& ctx);   // 52-65 ARRAYs
std::int32_t LOADP(LoadContext& ctx);   // 66 coupling counts and skip table
std::int32_t LOADQ(LoadContext& ctx);   // 68 control constants
std::int32_t LOADEM(LoadContext& ctx);  // 69-71 own conductor node pairs
std::int32_t LOADEN(LoadContext& ctx);  // 72-74 incident fluxes
std::int32_t LoadThermalNodeCoordinates(LoadContext& ctx);  // 96-98
std::int32_t LOADNA(LoadContext& ctx);  // 107-108 node aliases
std::int32_t LOADEF(LoadContext& ctx);  // 201-218 fluid nodes
std::int32_t LOADFF(LoadContext& ctx);  // 219-223 mass-flow links
std::int32_t LOADGF(LoadContext& ctx);  // 224-228 fluid inter-model links
std::int32_t LOADFN(LoadContext& ctx);  // 231-239 further fluid node entities, 240-244 skipped

// The three parts of a block in file order; each stops at the first non-zero
// status and names the failed step in ctx.section.
std::int32_t LOADC1(LoadContext& ctx);
std::int32_t LOADC2(LoadContext& ctx);
std::int32_t LOADC3(LoadContext& ctx);

// Turns the ARRAY entries of names K0 + 1 .. KEND from submodel-relative into
// absolute store positions (POS(1..8): store positions before and after the
// submodel; LEN characters per character element) and checks every position
// against the stores. IERR 3 for a bad entry.
void SAPTUP(const std::array<std::int32_t, 9>& POS, std::int32_t LEN, std::int32_t K0, std::int32_t KEND,
            Array1<std::int32_t>& INFOLIST, Array1<std::int32_t>& INFOPTRS, std::int32_t& IERR);

}  // namespace kalvir::mdb
