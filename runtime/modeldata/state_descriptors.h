// The state descriptors a fluid node may carry (which two of pressure,
// temperature, specific enthalpy and vapour quality fix its state), blanks
// removed, each with its canonical form. The loader refuses a model whose
// fluid node names any other; STCHEK turns a given form into its canonical
// one.
#pragma once

#include <array>
#include <string_view>
#include <utility>

namespace kalvir {

inline constexpr std::array<std::pair<std::string_view, std::string_view>, 8> kStateDescriptors{{
    {"P&FE", "P&FE"},
    {"FE&P", "P&FE"},
    {"P&T", "P&T"},
    {"T&P", "P&T"},
    {"P&VQ", "P&VQ"},
    {"VQ&P", "P&VQ"},
    {"T&VQ", "T&VQ"},
    {"VQ&T", "T&VQ"},
}};

// The canonical form of a descriptor given without blanks; empty when
// packed is not a descriptor.
constexpr std::string_view canonical_state_descriptor(std::string_view packed) noexcept {
  for (const auto& [given, canonical] : kStateDescriptors)
    if (packed == given) return canonical;
  return {};
}

}  // namespace kalvir
