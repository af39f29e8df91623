// A model program with user-defined node attributes for the end-to-end tests
// of the parameter cases: thermal nodes 1 (PLATE) and 2 (SINK), a water link
// from fluid node 10 to 20, the integer user constant PUMP and the attributes
// MASS, HEIGHT (real), ZONE (integer) and OWNER (character). Its execution
// block runs no solution: it prints the values a case may have changed, as
// it finds them, writes one output point and then, when PUMP is not 0, sets
// the link's type and pressure source as a pump model would.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace attrs {
inline constexpr std::string_view kDescription =
    "model ATTRS dystor=20000\n"
    "node 1 T=20 C=100 label=PLATE\n"
    "node 2 T=0 status=B label=SINK\n"
    "fluidnode 10 fluid=WATER status=R P=1.02e5 T=20 FLA=1e-4 FD=0.01 FL=0.1 label=INLET\n"
    "fluidnode 20 fluid=WATER status=J P=1e5 T=20 FLA=1e-4 FD=0.01 FL=0.1 label=OUTLET\n"
    "GL 1 2 1.0\n"
    "link 10 20 0.01 GP=0.6\n"
    "integer PUMP 0\n"
    "attribute real MASS\n"
    "attribute real HEIGHT\n"
    "attribute integer ZONE\n"
    "attribute character OWNER\n"
    "control NODES 2\n"
    "control TABS 273.15\n"
    "control PABS 0\n"
    "control STEFAN 5.670374419e-8\n"
    "control LENGTH 60\n"
    "control WIDTH 132\n"
    "control MLEVEL 1\n"
    "control MODEL 1\n"
    "control STEPCT 0\n"
    "control LOOPCT 0\n";
inline constexpr std::array<std::int32_t, 41> kFlags{
    2, 1, 0, 0, 0, 0, 1, 0, 0, 0,         //  1-10
    2, 0, 49, 25, 16, 1, 92, 0, 0, 0,     // 11-20
    0, 0, 0, 38, 2, 1, 133, 20000, 1, 0,  // 21-30
    0, 2, 1, 0, 34, 1, 0, 0, 0, 0,        // 31-40
    0};
inline constexpr std::array<std::int32_t, 5> kSprsiz{2, 3, 1, 1, 2};
inline constexpr std::array<std::string_view, 2> kRealAttributes{"MASS", "HEIGHT"};
inline constexpr std::array<std::string_view, 1> kIntegerAttributes{"ZONE"};
inline constexpr std::array<std::string_view, 1> kCharacterAttributes{"OWNER"};
inline constexpr std::string_view kModelName = "ATTRS";
// What the execution block sets when PUMP is not 0.
inline constexpr std::int32_t kPumpLinkType = 2;
inline constexpr double kPumpPressure = 1000.0, kPumpDerivative = -5.0;
}  // namespace attrs
