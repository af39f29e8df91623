// The two numberings of the built-in fluids.
//
// The model names a fluid by text and the property functions take its slot
// (1 to 10). The property library numbers its routines by a two-digit library
// fluid type instead: 00 air, then an odd type for each two-phase fluid's
// liquid and the next even type for its vapour. The refrigerants come in a
// different order in the two numberings.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "runtime/platform/fixed_string.h"

namespace kalvir::fluids {

// Fluid slots.
enum FluidSlot : std::int32_t {
  kAmmonia = 1,
  kWater = 2,
  kAir = 3,
  kHumidAir = 4,
  kR11 = 5,
  kR114 = 6,
  kR12 = 7,
  kR21 = 8,
  kR22 = 9,
  kR502 = 10,
};
inline constexpr std::int32_t kFluidSlots = 10;
inline constexpr std::size_t kFluidNameLength = 24;

// Names by slot (index slot - 1), in the order FTYPEI compares them.
inline constexpr std::array<std::string_view, kFluidSlots> kFluidNames = {
    "AMMONIA", "WATER", "AIR", "AIRW", "R11", "R114", "R12", "R21", "R22", "R502"};

}  // namespace kalvir::fluids

// Name of fluid slot IFL, blank-padded to 24 characters; all blanks for a
// number that is not a slot.
kalvir::Chars<kalvir::fluids::kFluidNameLength> FTYPEC(std::int32_t IFL);

// Slot of a fluid name, 0 when none matches. Trailing blanks do not matter;
// case and leading blanks do.
std::int32_t FTYPEI(std::string_view NAME);
