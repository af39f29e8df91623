// The solution reader's mirror of the ACD file: one node per model group,
// with the mission data, the maps from the file's node lists and node pairs
// to the model's internal node indices and radiative conductors, the
// datasets kept open for the run and the time rows read so far.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/casedata/acd_read.h"
#include "runtime/control/global_arrays.h"

namespace kalvir::acds {

// The four heat-flux kinds, in the order in which they are loaded.
enum FluxKind : std::size_t { kAlbedo = 0, kPlanet = 1, kRemainder = 2, kSolar = 3 };
inline constexpr std::size_t kFluxKinds = 4;

// File names of a kind: the static dataset and the time-dependent group.
struct FluxNames {
  std::string_view static_path;
  std::string_view group_path;
};
inline constexpr std::array<FluxNames, kFluxKinds> kFluxNames{{
    {"ModelData/Static/AlbedoFluxes", "ModelData/TimeDependent/AlbedoFluxes"},
    {"ModelData/Static/PlanetFluxes", "ModelData/TimeDependent/PlanetFluxes"},
    {"ModelData/Static/RemainderFluxes", "ModelData/TimeDependent/RemainderFluxes"},
    {"ModelData/Static/SolarFluxes", "ModelData/TimeDependent/SolarFluxes"},
}};

// The heat-source array that a kind writes (QA, QE, QR, QS).
std::array<gar::R64*, kFluxKinds> flux_arrays();

// The rows of one time-dependent dataset read so far, by time row (counted
// from 0). A periodic or orbital case passes through the same rows on every
// period, and a run has thousands of updates, so each row is read from the
// file only the first time a slice needs it; a row that cannot be read still
// ends the run at the update that first needs it. Rows are kept while the
// dataset's kept values stay within kMostKeptBytes; a row past that is read
// again whenever it is needed, as every row once was.
class RowCache {
 public:
  static constexpr std::size_t kMostKeptBytes = std::size_t{64} << 20;

  explicit RowCache(std::size_t most_bytes = kMostKeptBytes) : most_bytes_(most_bytes) {}

  // The kept values of `row`, or null when the row has not been kept.
  const std::vector<double>* find(std::int32_t row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= rows_.size() || rows_[static_cast<std::size_t>(row)].empty())
      return nullptr;
    return &rows_[static_cast<std::size_t>(row)];
  }
  void keep(std::int32_t row, const std::vector<double>& values) {
    const std::size_t bytes = values.size() * sizeof(double);
    if (row < 0 || values.empty() || bytes > most_bytes_ - kept_bytes_) return;
    if (static_cast<std::size_t>(row) >= rows_.size()) rows_.resize(static_cast<std::size_t>(row) + 1);
    if (!rows_[static_cast<std::size_t>(row)].empty()) return;
    rows_[static_cast<std::size_t>(row)] = values;
    kept_bytes_ += bytes;
  }

 private:
  std::vector<std::vector<double>> rows_;
  std::size_t most_bytes_;
  std::size_t kept_bytes_ = 0;
};

// Time-dependent data of one flux kind.
struct TimeFluxes {
  std::int32_t count = 0;
  std::vector<std::int32_t> map;     // internal node index per entry; 0: skipped
  acdio::Handle values;              // the "Values" dataset, open when count >= 1
  std::vector<double> prev, next;    // rows at T(i) and T(i + 1)
  RowCache kept;                     // the rows of values read so far
};

struct ModelNode {
  std::string name;                  // 24 characters, blank padded
  std::string where;                 // the group's path in the file, for messages
  std::int32_t static_count = 0;     // NS
  std::int32_t analysis_case_type = -1;
  std::int32_t number_of_times = 0;  // N
  std::int32_t number_of_arcs = 0;
  std::int32_t number_of_wavebands = 0;
  std::int32_t conductor_count = 0;  // NR
  std::vector<double> times;         // T(1..N) at [0..N-1]
  std::vector<double> arcs;          // per arc start, startFirst, endFirst, endAll
  std::vector<double> wavebands;     // NWB + 1 band edges in metres
  double period = 0.0;
  std::int32_t loaded_slice = -1;

  std::array<acdio::Handle, kFluxKinds> static_values;
  std::vector<std::int32_t> static_map;
  std::array<TimeFluxes, kFluxKinds> flux;

  acdio::Handle conductor_values;
  std::vector<std::int32_t> conductor_map;  // global GR number per node pair
  std::vector<std::int32_t> node_i_map, node_j_map;
  // Types 2 and 3: NR values per row; type 4: NWB x NR, band fastest.
  std::vector<double> conductor_prev, conductor_next;
  RowCache conductor_kept;  // the rows of conductor_values read so far
  std::vector<double> band_work;  // type 4: the NWB band values of one conductor

  std::vector<std::unique_ptr<ModelNode>> children;  // in ascending name order
};

// Module state of the solution reader.
struct SolutionState {
  std::string file_name;             // trimmed model name + ".acd" (at most 500 characters)
  acdio::Handle file;
  std::unique_ptr<ModelNode> main;   // none before acds_open has built the tree
};

SolutionState& solution_state();

// The file name for messages, without trailing blanks.
std::string_view acd_file_name();

}  // namespace kalvir::acds
