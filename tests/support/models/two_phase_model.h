// A model program with a two-phase ammonia loop for the end-to-end tests: a
// ring of four fluid nodes, all saturated liquid at 6 bar at the start,
// driven by a fixed 500 Pa pressure source in its return link 40 -> 10; the
// return node 40 ("J") holds the loop's pressure as an accumulator would.
// Node 10 is the evaporator, heated by
// kMeanLoad + kAmplitude sin(2 pi t / kPeriod) W in the variables 1 block;
// node 30 is the condenser, rejecting through GL 20 W/K to the boundary
// node 1 at 0 deg C. The execution block runs FGENFI from the start to a
// steady state under the mean load, then the cyclic analysis over FGENFI
// and a final FGENFI transient over one period; its outputs block prints
// node tables and writes a TMD file.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace two_phase_model {
inline constexpr std::string_view kDescription =
    "model RING dystor=20000\n"
    "node 1 T=0 status=B label=SINK\n"
    "fluidnode 10 fluid=AMMONIA FST=P&VQ P=6.0e5 VQ=0 FLA=1e-4 FD=0.01 FL=0.5 VOL=5e-5 label=EVAPORATOR\n"
    "fluidnode 20 fluid=AMMONIA FST=P&VQ P=6.0e5 VQ=0 FLA=1e-4 FD=0.01 FL=0.5 VOL=5e-5 label=RISER\n"
    "fluidnode 30 fluid=AMMONIA FST=P&VQ P=6.0e5 VQ=0 FLA=1e-4 FD=0.01 FL=0.5 VOL=5e-5 label=CONDENSER\n"
    "fluidnode 40 fluid=AMMONIA FST=P&VQ P=6.0e5 VQ=0 FLA=1e-4 FD=0.01 FL=0.5 VOL=5e-5 status=J label=RETURN\n"
    "GL 1 30 20.0\n"
    "link 10 20 0.002 GP=0.01\n"
    "link 20 30 0.002 GP=0.01\n"
    "link 30 40 0.002 GP=0.01\n"
    "link 40 10 0.002 GP=0.01\n"
    "control NODES 1\n"
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
    1, 1, 0, 0, 0, 0, 0, 0, 0, 0,         //  1-10
    2, 0, 49, 25, 16, 0, 92, 0, 0, 0,     // 11-20
    0, 0, 0, 30, 2, 1, 133, 20000, 1, 0,  // 21-30
    0, 4, 4, 0, 58, 1, 0, 0, 0, 0,        // 31-40
    0};
inline constexpr std::array<std::int32_t, 5> kSprsiz{1, 3, 0, 0, 0};
inline constexpr std::string_view kModelName = "RING";
inline constexpr double kPeriod = 200.0, kMeanLoad = 150.0, kAmplitude = 30.0, kSinkConductance = 20.0;
inline constexpr double kPumpHead = 500.0;
}  // namespace two_phase_model
