// The arrays that the pieces of the two-phase solution share: the fluid
// properties of the iteration, the start-of-step copies that a rejected
// step goes back to (and that the equations read as the values at the start
// of the step), and the matrix with its layout. Node vectors are indexed
// from 0 for fluid node 1, link vectors from 0 for link 1; the right-hand
// side by position.
#pragma once

#include <cstdint>
#include <span>

#include "runtime/fluidloop/two_phase_layout.h"

namespace kalvir::fluidloop {

// Density and its derivatives at constant enthalpy and pressure, per node.
struct NodeProperties {
  std::span<double> drho_dp, drho_dh, rho;
};

// The state at the start of the step.
struct StepStart {
  std::span<double> pressure, enthalpy, temperature, quality, volume;  // NF
  NodeProperties properties;                                          // NF
  std::span<double> area, source;                                     // NF
  std::span<double> length, diameter;                                 // NF
  std::span<double> flow, link_enthalpy;                              // NM
  std::span<double> thermal;                                          // NNODE
};

// The profile matrix of one equation with its right-hand side.
struct ProfileSystem {
  const TwoPhaseLayout* layout;
  std::span<double> matrix, rhs;
  // Element (row, column) by positions.
  double& at(std::int32_t row, std::int32_t col) const {
    return matrix[static_cast<std::size_t>(ProfileIndex::at(layout->diag, row) - row + col - 1)];
  }
  double& b(std::int32_t row) const { return rhs[static_cast<std::size_t>(row - 1)]; }
  std::int32_t position(std::int32_t node) const { return ProfileIndex::at(layout->position, node); }
};

}  // namespace kalvir::fluidloop
