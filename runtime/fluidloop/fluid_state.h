// Completion of a fluid node's thermodynamic state at start-up. The user
// gives two quantities and names them in the node's state descriptor (FST);
// FGEIND finds the others from the fluid properties, with the node's flow
// area and volume, a humid-air node's humidity, the state of its mass source
// and its flow regime. STCHEK normalises a state descriptor. FINITS calls
// FGEIND once for every fluid node.
#pragma once

#include <cstdint>
#include <span>

// TEXT := its canonical form ("P&T", "P&FE", "P&VQ" or "T&VQ", blank-padded
// to the length of TEXT) with OK 1 when, blanks removed, it names one of
// these pairs in either order; otherwise OK 0 and TEXT unchanged.
void STCHEK(std::span<char> TEXT, std::int32_t& OK);

// Arguments are fluid node I's elements of the fluid-node arrays, in this
// order, with its internal node index H and PABS after the length. The
// stored descriptor STATE keeps its text; messages go through SETERX under
// "FGEIND" and the node keeps what was computed before them.
void FGEIND(double& HYDDIAM, double& MASSSOURCE, std::span<char> STATE, std::span<char> FLUID, double& LENGTH,
            std::int32_t H, double PABS, double& RELHUM, double& FLOWAREA, double& SPECENTH,
            double& SOURCEENTH, double& SOURCETEMP, std::span<char> REGIME, double& SOURCEHUM, double& PRESSURE,
            double& VAPQUAL, double& TEMP, double& SPECHUM, double& VOLUME);
