// Stability limits and the first hydraulic solution of the single-phase
// fluid-loop transients. CSGHYD (for FLTMTS) and FFCSGM (for FLTNTF and
// FLTNTS) find the smallest ratio of heat capacity to conductance sum over
// the nodes (CSGMIN with NCSGMN; CSGHYD keeps the fluid nodes' apart in
// FCSGMN with FNCSGM), solve the hydraulics once in steady mode, find the
// Courant limit DTCOUR over the links and set flows within MINFLO to zero.
// SFGSM gives a fluid node's conductance sums (the thermal node's SRGSUM is
// in the thermal network sums), SGCOUR the Courant limit and FHDYAR carves
// the hydraulic work space from the real dynamic core.
//
// The routines read the model's arrays; the work space they take is given
// back on every way out.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "runtime/fluidloop/hydraulics.h"
#include "runtime/fluidloop/profile_solver.h"

namespace kalvir::fluidloop {

// Starts (words of the real dynamic core) of the hydraulic blocks, in the
// order FHDYAR takes them, and the start of the whole area.
struct HydraulicBlocks {
  std::int32_t matrix = 0, pressure = 0, head = 0, conductance = 0, rhs = 0, area = 0;
};

// The work vectors over blocks taken by FHDYAR, with the node vectors and
// the integer work of the caller.
HydraulicWork hydraulic_work(const HydraulicBlocks& blocks, std::int32_t nf, std::int32_t nm, std::int32_t length,
                             std::span<double> viscosity, std::span<double> density, std::span<double> volume_rate,
                             std::span<std::int32_t> codes, const ProfileIndex& table);

}  // namespace kalvir::fluidloop

// Conductance sums of fluid node N: its mass source, its active links that
// carry flow into it and its active conductors; SUMGT in absolute units.
void SFGSM(std::int32_t N, double& SUMG, double& SUMGT);

// Takes LENGTH + 2 NF + 2 NM words from NEXTFREE on for the profile matrix,
// the new pressures, the link head terms, the link conductances and the
// right-hand side; NEXTFREE advances. A run without that room stops.
void FHDYAR(std::int32_t NM, std::int32_t NF, std::int32_t LENGTH, std::int32_t& NEXTFREE,
            kalvir::fluidloop::HydraulicBlocks& BLOCKS);

// DTCOUR := the smaller of DTCOUR and every active link's transit time
// (mean length x mean density x smaller flow area over |flow|); links
// without flow impose nothing.
void SGCOUR(std::int32_t NM, double& DTCOUR);

// The limits and the first hydraulic solution before FLTMTS's time loop.
// PRESENCE holds "Y" in its second character when the model has fluid nodes;
// TABLE and CODES are the caller's profile index table and link codes.
void CSGHYD(std::string_view PRESENCE, const kalvir::fluidloop::ProfileIndex& TABLE, std::span<std::int32_t> CODES);

// The same for FLTNTF and FLTNTS: one combined minimum in CSGMIN and NCSGMN,
// and the hydraulic iterations added to SUMFLL.
void FFCSGM(std::string_view PRESENCE, const kalvir::fluidloop::ProfileIndex& TABLE, std::span<std::int32_t> CODES);
