// Fluid-node initialisation from its state descriptor, called once per fluid
// node by FINITS.
//
// Minimal version: the node keeps the values it was loaded with. The
// fluid-loop subsystem replaces this file.
#pragma once

#include <cstdint>
#include <span>

// Arguments are fluid node I's elements of the fluid-node arrays, in this
// order, with its internal node index H and PABS after the length.
void FGEIND(double& HYDDIAM, double& MASSSOURCE, std::span<char> STATE, std::span<char> FLUID, double& LENGTH,
            std::int32_t H, double PABS, double& RELHUM, double& FLOWAREA, double& SPECENTH,
            double& SOURCEENTH, double& SOURCETEMP, std::span<char> REGIME, double& SOURCEHUM, double& PRESSURE,
            double& VAPQUAL, double& TEMP, double& SPECHUM, double& VOLUME);
