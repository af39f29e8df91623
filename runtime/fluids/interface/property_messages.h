// Reporting helpers shared by the fluid-property routines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kalvir::fluids {

// Places message at the start of a text of `length` blanks, lets MESBLD name
// NODE in it (nothing is added for NODE 0) and reports it through SETERX
// under the routine name, blank-padded to six characters. Severity 4 does not
// return.
void report(std::string_view message, std::size_t length, std::int32_t node, std::int32_t severity,
            std::int32_t code, std::string_view routine);

// Reports as `report` does, but once per run for each routine, code and
// node: a state that stays where a property is unsound, or a node that keeps
// leaving its phase, warns when it first gets there instead of at every call
// of every step. Returns whether this call reported.
bool report_once(std::string_view message, std::size_t length, std::int32_t node,
                 std::int32_t severity, std::int32_t code, std::string_view routine);

// Forgets what report_once has reported, so that a test that runs a second
// model in the same process hears its warnings again. A run never calls it.
void forget_reported_once();

// The fatal stop of a quantity that would be divided by zero (or that is not
// a number): "Fluid property cannot be calculated@" followed by what.
[[noreturn]] void stop_on_zero(std::string_view what, std::int32_t node, std::int32_t code,
                               std::string_view routine);

// The fatal stop of a single-phase temperature that cannot be found from P
// and H: "Temperature from enthalpy not found@" followed by why, P and H.
[[noreturn]] void temperature_not_found(std::string_view why, double P, double H, std::int32_t node,
                                        std::int32_t code, std::string_view routine);

}  // namespace kalvir::fluids
