#include "runtime/fluids/interface/fluid_names.h"

using kalvir::fluids::kFluidNameLength;
using kalvir::fluids::kFluidNames;
using kalvir::fluids::kFluidSlots;

kalvir::Chars<kFluidNameLength> FTYPEC(std::int32_t IFL) {
  if (IFL < 1 || IFL > kFluidSlots) return {};
  return kalvir::Chars<kFluidNameLength>(kFluidNames[static_cast<std::size_t>(IFL - 1)]);
}

std::int32_t FTYPEI(std::string_view NAME) {
  // Texts of different lengths compare as if the shorter were blank-filled,
  // so only trailing blanks are ignored.
  for (std::int32_t slot = 1; slot <= kFluidSlots; ++slot) {
    if (kalvir::same_trimmed(NAME, kFluidNames[static_cast<std::size_t>(slot - 1)])) return slot;
  }
  return 0;
}
