// STAND-INS for two pages of the printed output that the thermal solution
// routines call: the warning page of a runaway node (PRTWAR) and the cycle
// report of the cyclic analysis (LPRCYC). They print the lines the solution
// needs, without the page banner and page control of the print package, and
// are to be removed when the print package provides both routines.
#pragma once

#include <cstdint>

// Warning page for internal thermal node NODE whose temperature passed 1.0E10.
void PRTWAR(std::int32_t NODE);

// Cycle report of SOLCYC: largest rate change DR at node NR, largest
// temperature change DT at node NT (internal indices; fluid nodes NNODE + i);
// a node below 1 prints as not calculated.
void LPRCYC(double DR, std::int32_t CYCLE, std::int32_t NR, std::int32_t NT, double DT);
