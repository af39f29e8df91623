// ACD time-dependent update: at every variables 1 call the heat fluxes and
// radiative conductors of every model group with time-dependent data are
// interpolated at the current solution time. The rows of the two time points
// around that time are held per model group and changed only when the time
// moves into another interval; each row comes from the file once (RowCache).
#include <algorithm>
#include <cmath>
#include <span>
#include <string>
#include <utility>

#include "runtime/casedata/acd_model_tree.h"
#include "runtime/casedata/acd_solution.h"
#include "runtime/casedata/orbit_arcs.h"
#include "runtime/casedata/wavelength_bands.h"
#include "runtime/control/gcc_accessors.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/messages.h"
#include "runtime/control/run_end.h"
#include "runtime/platform/fixed_string.h"

namespace kalvir::acds {
namespace {

// The interval [T(slice), T(slice + 1)] that holds the mapped time, and the
// weight of T(slice + 1).
struct TimeSlice {
  std::int32_t slice = 1;
  double weight = 0.0;
};

double mapped_time(const ModelNode& node, double t) {
  const double t1 = node.times.front();
  switch (node.analysis_case_type) {
    case 2: {
      const double p = node.period;
      if (t < t1) return t1 + p - std::fmod(t1 - t, p);
      if (t > t1 + p) return t1 + std::fmod(t - t1, p);
      return t;
    }
    case 3: {
      double m = 0.0;
      TIMIN1(node.arcs, node.number_of_arcs, node.number_of_times, node.times, t, m);
      return m;
    }
    default:
      return t;
  }
}

TimeSlice GetTimeInterpParams(const ModelNode& node) {
  const double m = mapped_time(node, gcc_gettimem());
  if (!std::isfinite(m)) internal_stop("(acds)GetTimeInterpParams");
  const std::int32_t n = node.number_of_times;
  const auto T = [&](std::int32_t j) { return node.times[static_cast<std::size_t>(j - 1)]; };
  if (n == 1 || m <= T(1)) return {1, 0.0};
  if (m > T(n)) return {n - 1, 1.0};
  // The first time point at or after m (from the second on, since m > T(1),
  // and at T(N) at the latest, since m <= T(N)); T(j - 1) < m, so the
  // interval has a length.
  const auto at = std::lower_bound(node.times.begin() + 1, node.times.end(), m);
  const auto j = static_cast<std::int32_t>(at - node.times.begin()) + 1;
  return {j - 1, (m - T(j - 1)) / (T(j) - T(j - 1))};
}

[[noreturn]] void row_read_failed(hid_t dataset, const char* routine) {
  // The name is cut at 100 characters; a cut can end on a blank.
  const std::string name = acdio::object_name(dataset);
  SETERX("Cannot read ACD dataset@@Dataset: " + std::string(trim_right(name)) + "<NL>ACD file: " +
             std::string(acd_file_name()) + "@",
         4, 1, routine);
  internal_stop(routine);
}

// Both loaders take the row from the kept rows when it was read before, and
// otherwise read it from the file and keep it.
bool take_kept(const RowCache& kept, std::int32_t row, std::vector<double>& values) {
  const std::vector<double>* found = kept.find(row);
  if (found == nullptr || found->size() != values.size()) return false;
  std::copy(found->begin(), found->end(), values.begin());
  return true;
}

void Load2DDatasetRowDble(const acdio::Handle& dataset, RowCache& kept, std::int32_t row,
                          std::vector<double>& values) {
  if (values.empty() || take_kept(kept, row, values)) return;
  if (!acdio::read_row(dataset.get(), static_cast<hsize_t>(row), values))
    row_read_failed(dataset.get(), "(acds)Load2DDatasetRowDble");
  kept.keep(row, values);
}

void load3ddatasetrowdble(const acdio::Handle& dataset, RowCache& kept, std::int32_t row, std::int32_t nr,
                          std::int32_t nwb, std::vector<double>& values) {
  if (nr < 1 || nwb < 1 || take_kept(kept, row, values)) return;
  if (!acdio::read_row_3d(dataset.get(), static_cast<hsize_t>(row), static_cast<hsize_t>(nr),
                          static_cast<hsize_t>(nwb), values))
    row_read_failed(dataset.get(), "(acds)Load3DTdDatasetRowDble");
  kept.keep(row, values);
}

// Loads time row ROW of every kind into the previous (NEXT false) or next rows.
void read_rows(ModelNode& node, std::int32_t row, bool next) {
  for (TimeFluxes& flux : node.flux)
    Load2DDatasetRowDble(flux.values, flux.kept, row, next ? flux.next : flux.prev);
  std::vector<double>& conductors = next ? node.conductor_next : node.conductor_prev;
  if (node.analysis_case_type == 4)
    load3ddatasetrowdble(node.conductor_values, node.conductor_kept, row, node.conductor_count,
                         node.number_of_wavebands, conductors);
  else
    Load2DDatasetRowDble(node.conductor_values, node.conductor_kept, row, conductors);
}

void swap_rows(ModelNode& node) {
  for (TimeFluxes& flux : node.flux) std::swap(flux.prev, flux.next);
  std::swap(node.conductor_prev, node.conductor_next);
}

void LoadTimeSlices(std::int32_t slice, ModelNode& node) {
  const std::int32_t loaded = node.loaded_slice;
  const std::int32_t next_row = node.number_of_times == 1 ? 0 : slice;
  if (slice == loaded) return;
  if (loaded >= 1 && slice == loaded + 1) {
    swap_rows(node);
    read_rows(node, next_row, true);
  } else if (loaded >= 1 && slice == loaded - 1) {
    swap_rows(node);
    read_rows(node, slice - 1, false);
  } else {
    read_rows(node, slice - 1, false);
    read_rows(node, next_row, true);
  }
  node.loaded_slice = slice;
}

// target(map[k]) = (next[k] - prev[k]) * w + prev[k] for every entry whose
// index (from 1) lies in the array. This runs at every variables 1 call, so
// the rows and the array are walked through local spans.
void interpolate_into(std::span<double> target, std::span<const std::int32_t> map, std::span<const double> prev,
                      std::span<const double> next, double w) {
  const auto n = static_cast<std::int64_t>(target.size());
  for (std::size_t k = 0; k < map.size(); ++k) {
    const std::int64_t i = map[k];
    if (i >= 1 && i <= n) target[static_cast<std::size_t>(i - 1)] = (next[k] - prev[k]) * w + prev[k];
  }
}

void DynamicUpdateTree(ModelNode& node, bool steady) {
  const std::int32_t type = node.analysis_case_type;
  if (steady) {
    // A steady-state solution has no time: only the band conductors, which
    // follow the temperatures, are brought up to date.
    if (type == 4) {
      const TimeSlice s = GetTimeInterpParams(node);
      LoadTimeSlices(s.slice, node);
      updateradcondstimedepwavedep(node, s.weight);
    }
  } else if (type >= 2) {
    const TimeSlice s = GetTimeInterpParams(node);
    LoadTimeSlices(s.slice, node);
    const double w = s.weight;
    const auto arrays = flux_arrays();
    for (std::size_t kind = 0; kind < kFluxKinds; ++kind) {
      const TimeFluxes& flux = node.flux[kind];
      interpolate_into(arrays[kind]->span(), flux.map, flux.prev, flux.next, w);
    }
    if (type == 4)
      updateradcondstimedepwavedep(node, w);
    else
      interpolate_into(gar_radiativeconds.span(), node.conductor_map, node.conductor_prev, node.conductor_next, w);
  }
  for (const auto& child : node.children) DynamicUpdateTree(*child, steady);
}

}  // namespace
}  // namespace kalvir::acds

void acds_dynamicupdate() {
  kalvir::acds::SolutionState& s = kalvir::acds::solution_state();
  if (!s.main) return;
  const std::string solver = gcc_getsolver();
  const bool steady = solver.size() >= 2 && solver.compare(0, 2, "SS") == 0;
  kalvir::acds::DynamicUpdateTree(*s.main, steady);
}

void ACDDYU() { acds_dynamicupdate(); }
