// The sample model ORVIK_TESTBED_01: a spacecraft thermal test-bed whose
// model database (ORVIK_TE.MDB) and analysis-case data (ORVIK_TESTBED_01.acd)
// this generator writes, so that the model program in model/ can be run
// without the preprocessor. tools/sample_model.md describes the model.
#pragma once

#include <filesystem>
#include <vector>

#include "tools/acd_writer.h"
#include "tools/mdb_writer.h"

namespace kalvir::sample {

// The orbit period, which the analysis-case data cover once.
inline constexpr double kPeriod = 5453.0577;

// The model as the MDB file holds it (one submodel, 397 thermal nodes, 869 GL,
// 4040 GR, one real user constant, two ARRAYs whose values come from the ACD
// file).
mdbw::Model model();

// The analysis-case data: a periodic case (type 2) with the orbital solar,
// albedo and planet fluxes of the outer nodes, and the values of ARRAY 1 and 2.
acd::ModelGroup case_data();

// The two ARRAYs as the ACD file supplies them: (temperature, value) pairs.
std::vector<double> array1_points();  // conductivity of the aluminium face sheets, W/(m K)
std::vector<double> array2_points();  // through-thickness conductivity of the cores, W/(m K)

// Writes ORVIK_TE.MDB and ORVIK_TESTBED_01.acd into dir and returns their
// paths. Throws std::runtime_error when a file cannot be written.
std::vector<std::filesystem::path> write_sample_inputs(const std::filesystem::path& dir);

}  // namespace kalvir::sample
