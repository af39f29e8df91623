// A model program with a heater for the end-to-end tests: plate 1 and shelf 2
// (100 J/K each) in a chain of two 0.5 W/K conductors to the boundary 3 at
// 20 deg C, the plate heated by the heater HEATER of power HTRPWR (a real
// user constant, 6 W) and carrying a QI of 1 W of its own, which the heater
// replaces. At the steady state the plate is at 20 + 4 HTRPWR, the shelf at
// 20 + 2 HTRPWR.
//
// The execution block defines the heater, reading HTRPWR by name, and runs
// SLCRNC from 0 to TIMEND with DTPMAX 2 and DTMAX 200: the pattern
// docs/model_program.md shows, so that a parameter case that changes HTRPWR
// changes the heater. The variables 2 block prints every accepted step as
// " STEP <TIMEN> <DTIMEU>".
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace heatbox {
inline constexpr std::string_view kDescription =
    "model HEATBOX dystor=20000\n"
    "node 1 T=20 C=100 QI=1 label=PLATE\n"
    "node 2 T=20 C=100 label=SHELF\n"
    "node 3 T=20 status=B label=SINK\n"
    "GL 1 2 0.5\n"
    "GL 2 3 0.5\n"
    "real HTRPWR 6\n"
    "control TIMEND 20000\n"
    "control OUTINT 2000\n"
    "control DTIMEI 5\n"
    "control DTMAX 200\n"
    "control DTPMAX 2\n"
    "control NLOOP 100\n"
    "control RELXCA 1e-9\n"
    "control TABS 273.15\n"
    "control STEFAN 5.670374419e-8\n"
    "control LENGTH 60\n"
    "control WIDTH 132\n"
    "control MLEVEL 1\n"
    "control MODEL 1\n"
    "control STEPCT 0\n"
    "control LOOPCT 0\n";
inline constexpr std::array<std::int32_t, 41> kFlags{
    3, 2, 0, 0, 0, 1, 0, 0, 0, 0,         //  1-10
    2, 0, 49, 25, 16, 1, 92, 0, 0, 0,     // 11-20
    0, 0, 0, 48, 2, 1, 133, 20000, 1, 0,  // 21-30
    0, 0, 0, 0, 20, 1, 0, 0, 0, 0,        // 31-40
    0};
inline constexpr std::array<std::int32_t, 5> kSprsiz{1, 3, 0, 0, 0};
inline constexpr std::string_view kModelName = "HEATBOX";
inline constexpr double kSink = 20.0, kOwnQi = 1.0, kPower = 6.0;
inline constexpr double kTimend = 20000.0, kDtmax = 200.0, kDtimei = 5.0;
// Steady temperatures of the plate and the shelf for heater power p.
inline constexpr double plate_steady(double p) { return kSink + 4.0 * p; }
inline constexpr double shelf_steady(double p) { return kSink + 2.0 * p; }
}  // namespace heatbox
