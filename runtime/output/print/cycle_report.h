// Two short reports of a running solution: the warning page of a runaway
// temperature (PRTWAR) and the cycle report of the cyclic analysis (LPRCYC).
//
// They live apart from the other print routines because the thermal solution
// links them on their own.
#pragma once

#include <cstdint>

// Warning for internal thermal node NODE whose temperature passed 1.0E10: the
// node's user number and its submodel path, on a new page with the solution
// heading when the page has no room for it.
void PRTWAR(std::int32_t NODE);

// Cycle report of SOLCYC after cycle CYCLE: the largest temperature change DT
// at node NT and the largest change of temperature rate DR at node NR
// (internal indices, fluid nodes NNODE + i; below 1: not calculated). On the
// trace file when TRACE = 1, else on the print unit with page control.
void LPRCYC(double DR, std::int32_t CYCLE, std::int32_t NR, std::int32_t NT, double DT);
