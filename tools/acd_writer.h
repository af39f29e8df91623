// Writer of analysis-case data (ACD) files: HDF5 files that carry, model
// group by model group, the mission data, the node lists, the static and
// time-dependent heat fluxes, the time-dependent radiative conductors and the
// user-array data that a run reads from "<model name>.acd".
//
// A file is described by one ModelGroup tree (the root is the main model) and
// written in one call. Counts and attributes are derived from the data unless
// an override is set, so that tests can also write inconsistent files. The
// small editing helpers at the end damage a written file on purpose.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kalvir::acd {

// One orbital arc: the arc begins at start, its first orbit runs from
// startFirst to endFirst, and the arc ends at endAll.
struct OrbitalArc {
  double start = 0.0;
  double startFirst = 0.0;
  double endFirst = 0.0;
  double endAll = 0.0;
};

// Time-dependent heat fluxes of one kind: values[r][k] is the flux of node
// nodes[k] at time point r. The group's "count" is nodes.size() unless count
// is set.
struct TimeFluxes {
  std::vector<std::int32_t> nodes;
  std::vector<std::vector<double>> values;
  std::optional<std::int32_t> count;
};

// One radiative conductor with time-dependent values, named by its two nodes.
// A blank path means the model group's own model; otherwise a submodel path
// (names joined by ":") relative to it.
struct NodePair {
  std::string pathI;
  std::int32_t nodeI = 0;
  std::string pathJ;
  std::int32_t nodeJ = 0;
};

// One user array of the "ModelData/Arrays" group. values are written to
// "ArrayData" in record order; size defaults to values.size().
struct ArrayRecord {
  std::string name;
  std::int32_t arrayType = 2;
  std::vector<double> values;
  std::optional<std::int32_t> size;
  std::int32_t numberOfDimensions = 0;
  std::int32_t dimension1 = 0;
  std::int32_t dimension2 = 0;
  std::int32_t dimension3 = 0;
};

// The "ModelData/Arrays" group. The three attributes are derived (record
// count, sum of sizes, sum of the index lengths of the 2-D and 3-D tables)
// unless overridden.
struct ArrayGroup {
  std::vector<ArrayRecord> records;
  std::optional<std::int32_t> numberOfArrays;
  std::optional<std::int32_t> numberOfArrayValues;
  std::optional<std::int32_t> numberOfArrayIndexValues;
};

// One model group: the root group of the file for the main model, a member of
// the parent's "Submodels" group otherwise.
struct ModelGroup {
  std::string name;  // member name inside the parent's "Submodels" (unused for the root)
  std::int32_t analysisCaseType = 0;

  // Mission data. numberOfTimes defaults to times.size(), numberOfArcs to
  // arcs.size(), numberOfWavebands to wavebands.size() - 1 (0 when empty).
  std::vector<double> times;
  std::optional<std::int32_t> numberOfTimes;
  double period = 0.0;
  std::vector<OrbitalArc> arcs;
  std::optional<std::int32_t> numberOfArcs;
  std::vector<double> wavebands;  // band edges in metres
  std::optional<std::int32_t> numberOfWavebands;

  // Static fluxes, one value per node of nodeList ("count" defaults to its size).
  std::vector<std::int32_t> nodeList;
  std::optional<std::int32_t> nodeListCount;
  std::vector<double> staticAlbedo;
  std::vector<double> staticPlanet;
  std::vector<double> staticRemainder;
  std::vector<double> staticSolar;

  TimeFluxes albedo;
  TimeFluxes planet;
  TimeFluxes remainder;
  TimeFluxes solar;

  // Radiative conductors: conductorValues[r][k] for case types 2 and 3,
  // bandValues[r][k][b] for case type 4.
  std::vector<NodePair> pairs;
  std::optional<std::int32_t> conductorCount;
  std::vector<std::vector<double>> conductorValues;
  std::vector<std::vector<std::vector<double>>> bandValues;

  std::optional<ArrayGroup> arrays;  // no "ModelData/Arrays" group when empty

  // Which parts are written. The mission and model data are written for case
  // types 1 to 4 (only the "Mission" group with its case type for type 0);
  // "Submodels" is always written unless switched off.
  bool writeSubmodelsGroup = true;
  std::vector<ModelGroup> submodels;  // written in this order (creation order)
};

// Writes the file (replacing an existing one). Throws std::runtime_error
// naming the item when the HDF5 library refuses a step.
void write_acd_file(const std::filesystem::path& file, const ModelGroup& root);

// Index length of a table record as the array loader generates it: 3*d1 + 6
// for a 2-D table, 3*d1*(d2 + 1) + 7 for a 3-D table, 0 otherwise.
std::int32_t table_index_length(const ArrayRecord& record);

// A 2-D table record (arrayType 4): values row by row (values[j][k] for
// breakpoint j of dimension 1 and k of dimension 2), then the two breakpoint
// lists, laid out as the array loader's index words describe them.
ArrayRecord make_table_2d(std::string name, const std::vector<double>& x1, const std::vector<double>& x2,
                          const std::vector<std::vector<double>>& values);

// Editing helpers for damaged files (paths are absolute inside the file,
// "/" is the root group).
void remove_attribute(const std::filesystem::path& file, const std::string& object, const std::string& attribute);
void remove_link(const std::filesystem::path& file, const std::string& path);
// Replaces an attribute with one of another type (a string).
void set_string_attribute(const std::filesystem::path& file, const std::string& object,
                          const std::string& attribute, const std::string& value);
// Replaces a dataset by a one-dimensional dataset of doubles with the values given.
void replace_dataset_1d(const std::filesystem::path& file, const std::string& path, const std::vector<double>& values);
// Replaces a dataset by a two-dimensional dataset of doubles (rows x columns).
void replace_dataset_2d(const std::filesystem::path& file, const std::string& path,
                        const std::vector<std::vector<double>>& rows);
// Replaces a dataset by a one-dimensional dataset of strings (a type the
// readers cannot convert to numbers).
void replace_dataset_strings(const std::filesystem::path& file, const std::string& path,
                             const std::vector<std::string>& values);

}  // namespace kalvir::acd
