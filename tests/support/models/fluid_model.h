// A model program with a fluid loop for the end-to-end tests: wall node 1
// (200 J/K) loses heat through GL 1 W/K to the boundary node 2 at 0 deg C
// and through GL 5 W/K to channel node 20 of a water channel (inlet 10 held
// at 20 deg C, outlet 30 at fixed pressure). Its variables 1 block heats the
// wall with 50 (1 + sin(2 pi t / kPeriod)) W. The execution block runs the
// cyclic analysis over FLTNTS and then a final FLTNTS transient over one
// period; its outputs block prints node tables and writes a TMD file.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace fluid_model {
inline constexpr std::string_view kDescription =
    "model LOOP dystor=20000\n"
    "node 1 T=20 C=200 label=WALL\n"
    "node 2 T=0 status=B label=SINK\n"
    "fluidnode 10 fluid=WATER status=R P=1.02e5 T=20 FLA=1e-4 FD=0.01 FL=0.1 label=INLET\n"
    "fluidnode 20 fluid=WATER P=1.01e5 T=20 FLA=1e-4 FD=0.01 FL=0.1 label=CHANNEL\n"
    "fluidnode 30 fluid=WATER status=J P=1e5 T=20 FLA=1e-4 FD=0.01 FL=0.1 label=OUTLET\n"
    "GL 1 2 1.0\n"
    "GL 1 20 5.0\n"
    "link 10 20 0.01 GP=0.6\n"
    "link 20 30 0.01 GP=0.6\n"
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
    2, 2, 0, 0, 0, 0, 0, 0, 0, 0,      //  1-10
    2, 0, 49, 25, 16, 0, 92, 0, 0, 0,    // 11-20
    0, 0, 0, 40, 2, 1, 133, 20000, 1, 0,  // 21-30
    0, 3, 2, 0, 45, 1, 0, 0, 0, 0,      // 31-40
    0};
inline constexpr std::array<std::int32_t, 5> kSprsiz{1, 3, 0, 0, 0};
inline constexpr std::string_view kModelName = "LOOP";
inline constexpr double kPeriod = 600.0, kMeanLoad = 50.0, kAmplitude = 50.0;
}  // namespace fluid_model
