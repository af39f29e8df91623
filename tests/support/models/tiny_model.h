// A model program of two nodes for the end-to-end tests: node 1 (capacitance
// 1000 J/K, 0 deg C) joined by GL 10 W/K to the boundary node 2 at 100 deg C,
// run by SLCRNC from 0 to 100 s. Its execution block prints the temperature
// of node 1 at the end, so that a test can hold it against the exact
// solution 100 (1 - exp(-t / 100)).
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace tiny {
inline constexpr std::array<std::int32_t, 41> kFlags{
    2, 1, 0, 0, 0, 0, 0, 0, 0, 0,    //  1-10
    2, 0, 49, 25, 16, 0, 92, 0, 0, 0,  // 11-20
    0, 0, 0, 38, 2, 1, 133, 20000, 1, 0,  // 21-30
    0, 0, 0, 0, 20, 1, 0, 0, 0, 0,   // 31-40
    0};
inline constexpr std::array<std::int32_t, 5> kSprsiz{1, 3, 0, 0, 0};
inline constexpr std::string_view kModelName = "TINY";
inline constexpr double kCapacitance = 1000.0, kConductance = 10.0, kBoundary = 100.0, kEnd = 100.0;
}  // namespace tiny
