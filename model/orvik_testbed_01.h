// The model program of the thermal model ORVIK_TESTBED_01: its blocks and the
// generated conductor evaluation, as the main routine registers them.
#pragma once

#include <cstdint>
#include <span>

#include "runtime/program/model_program.h"

void EXECTN();  // execution block
void IN0001();  // initial block
void V10001();  // variables 1 block
void V20001();  // variables 2 block
void OUTPUT();  // outputs block

// Generated conductor evaluation: the 190 temperature-dependent linear
// conductors. FLAG is passed on and not read by this model.
void GM0001(std::int32_t& FLAG);
void GM0001_00001(std::int32_t& FLAG);

// References every fluid-property function; nothing calls it.
void SYMREF();

namespace orvik {
// The blocks as the runtime calls them back.
ModelBlocks blocks();

// One statement of the generated conductor evaluation: GL(k) =
// CNDFN1(T(i), T(j), ARRAY array, 1) * factor, conductor, nodes and ARRAY
// counted within the submodel. The benchmark's CVODE peer evaluates the same
// conductors in its own right-hand side.
struct ConductorStatement {
  std::int32_t k;
  std::int32_t i;
  std::int32_t j;
  std::int32_t array;
  double factor;
};
std::span<const ConductorStatement> conductor_statements();

// The model's sizes and name, as the main routine stores them.
inline constexpr std::array<std::int32_t, 41> kFlags{
    397, 869, 0,  4040, 0,  1,  0,   0,       0, 0,  //  1-10
    2,   0,   49, 25,   16, 1,  92,  22,      2, 0,  // 11-20
    0,   0,   0,  22040, 2, 1,  133, 1010467, 1, 0,  // 21-30
    0,   0,   0,  0,    22, 1,  0,   0,       8080, 0,  // 31-40
    0};                                                // 41
inline constexpr std::array<std::int32_t, 5> kSprsiz{1, 3, 0, 0, 0};
inline constexpr std::string_view kModelName = "ORVIK_TESTBED_01        ";
}  // namespace orvik
