// A model program of the kind a new user writes for an electronics box, for
// the end-to-end tests of what a run reports and how it ends: the main model
// TRUTH (a chassis node and deep space), a board PCB of four nodes and a
// radiator RAD of eight, the radiator's orbital flux from the ACD file, a
// heater with a thermostat on the board when the model asks for one, a
// cyclic analysis before the final transient when it asks for one, and the
// parameter-case output at every output point.
//
// The program reads its sizes from TRUTH.flags beside TRUTH.MDB (as
// kalvir_mdb_write writes them), so that each test may give the model a
// description of its own. What the blocks do is set by the model's user
// constants in the main model:
//   character HEATER  the heater's power (and measured) node group; blank
//                     for no heater
//   integer MAXCYC    cycles of SOLCYC (SLCRNC over TIMEND - TIMEO) before
//                     the final SLCRNC; 0 for the final transient alone
// The execution block prints the chassis temperature at the end as
// " T1 = <value>".
#pragma once

#include <string_view>

namespace truth {
inline constexpr std::string_view kModelName = "TRUTH";
inline constexpr std::string_view kSizesFile = "TRUTH.flags";
// Heater: thermostat on at 10 and off at 20 deg C, 5 W.
inline constexpr double kHeaterOn = 10.0, kHeaterOff = 20.0, kHeaterLoad = 5.0;
// SOLCYC's temperature tolerance: tight enough that one cycle never settles.
inline constexpr double kCycleTolerance = 1.0e-9;
}  // namespace truth
