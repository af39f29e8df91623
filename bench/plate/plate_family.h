// The plate family of the scaling benchmark: a flat aluminium plate of N
// nodes in rows and columns, each node joined to its four neighbours by
// linear conductors, radiating to its diagonal neighbour and to deep space,
// heated by an orbit-like solar flux (an eclipse of about a third of the
// orbit, stronger towards the last column), a constant earth infrared flux
// and a few internal heat loads; one orbit of Crank-Nicolson with the sample
// model's control constants and 11 outputs.
//
// The generator writes the model as a kalvir_mdb_write description
// (PLATE.mdbtxt) and its analysis-case data (PLATE.acd), so that the model
// database itself is written by the tool a user would run.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "tools/acd_writer.h"

namespace kalvir::bench::plate {

inline constexpr double kPeriod = 5453.0577;
inline constexpr const char* kModelName = "PLATE";

// Rows and columns of the plate nearest to n nodes, about 4 rows to 5
// columns; the plate has rows * cols nodes, numbered 1.. row by row, and deep
// space is node rows * cols + 1.
struct Shape {
  std::int32_t rows = 0;
  std::int32_t cols = 0;
  std::int32_t nodes() const { return rows * cols; }
};
Shape shape_of(std::int32_t n);

// The kalvir_mdb_write description of the plate.
std::string description(const Shape& shape);

// The analysis-case data: a periodic case (type 2) over one orbit, 25 time
// points, the solar flux of every plate node by time and its earth flux as a
// static flux.
acd::ModelGroup case_data(const Shape& shape);

// Writes PLATE.mdbtxt and PLATE.acd into dir. Throws std::runtime_error when
// a file cannot be written.
void write_inputs(const std::filesystem::path& dir, const Shape& shape);

}  // namespace kalvir::bench::plate
