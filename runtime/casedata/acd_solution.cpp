// ACD solution reader: open, model tree, static load and close (the
// time-dependent update is in acd_update.cpp).
#include "runtime/casedata/acd_solution.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <span>
#include <string>
#include <utility>

#include "runtime/casedata/acd_check.h"
#include "runtime/casedata/acd_model_tree.h"
#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/messages.h"
#include "runtime/control/run_end.h"
#include "runtime/modeldata/fpcs.h"
#include "runtime/modeldata/model_tree.h"
#include "runtime/modeldata/node_number_index.h"
#include "runtime/platform/fixed_string.h"

namespace kalvir::acds {

SolutionState& solution_state() {
  static SolutionState state;
  return state;
}

std::string_view acd_file_name() { return solution_state().file_name; }

std::array<gar::R64*, kFluxKinds> flux_arrays() {
  return {&gar_thermalnodeheatsourcesalbedo, &gar_thermalnodeheatsourcesplanet, &gar_thermalnodeheatsourcesother,
          &gar_thermalnodeheatsourcessolar};
}

namespace {

constexpr std::size_t kFileNameLength = 500;
constexpr std::size_t kNameLength = 24;
constexpr std::size_t kPathLength = 2475;

const acd::Checker& checker() {
  static const acd::Checker check{"(acds)SetupModelTree", [] { return std::string(acd_file_name()); }};
  return check;
}

// ---- Mission data.

void read_times(hid_t mission, ModelNode& node) {
  const acd::Checker& check = checker();
  const std::string where = node.where + "Mission";
  node.number_of_times = check.int_attribute(mission, ".", "numberOfTimes", where);
  if (node.number_of_times < 1) check.bad_data("numberOfTimes below 1", where + " numberOfTimes");
  // The dataset is checked before anything is sized by a count from the file.
  const acdio::Handle set = check.dataset(mission, "Times", where + "/Times", {static_cast<hsize_t>(node.number_of_times)},
                                           {"numberOfTimes"});
  node.times.assign(static_cast<std::size_t>(node.number_of_times), 0.0);
  check.read(set.get(), node.times, where + "/Times");
  check.ascending(node.times, where + "/Times");
}

void read_arcs(hid_t mission, ModelNode& node) {
  const acd::Checker& check = checker();
  const std::string where = node.where + "Mission";
  node.number_of_arcs = check.int_attribute(mission, ".", "numberOfArcs", where);
  if (node.number_of_arcs < 1) check.bad_data("numberOfArcs below 1", where + " numberOfArcs");
  const auto n = static_cast<std::size_t>(node.number_of_arcs);
  const std::string item = where + "/OrbitalArcTimes";
  const acdio::Handle set = check.records(mission, "OrbitalArcTimes", item, n, "numberOfArcs");
  static constexpr std::array<const char*, 4> kMembers{"start", "startFirst", "endFirst", "endAll"};
  node.arcs.assign(4 * n, 0.0);
  std::vector<double> column(n);
  for (std::size_t row = 0; row < kMembers.size(); ++row) {
    check.read_member(set.get(), kMembers[row], column, item);
    for (std::size_t i = 0; i < n; ++i) node.arcs[4 * i + row] = column[i];
  }
  for (std::size_t i = 0; i < n; ++i) {
    const double* a = &node.arcs[4 * i];
    const std::string arc = item + " record " + std::to_string(i + 1);
    if (!std::all_of(a, a + 4, [](double v) { return std::isfinite(v); })) check.bad_data("arc time not finite", arc);
    // The first orbit repeats through the arc, so it must have a length.
    if (!(a[0] <= a[1] && a[1] < a[2])) check.bad_data("arc times not in the order start <= startFirst < endFirst", arc);
  }
}

void read_wavebands(hid_t mission, ModelNode& node) {
  const acd::Checker& check = checker();
  const std::string where = node.where + "Mission";
  node.number_of_wavebands = check.int_attribute(mission, ".", "numberOfWavebands", where);
  if (node.number_of_wavebands < 0) check.bad_data("numberOfWavebands below 0", where + " numberOfWavebands");
  const auto n = static_cast<std::size_t>(node.number_of_wavebands) + 1;
  const acdio::Handle set = check.dataset(mission, "Wavebands", where + "/Wavebands", {n}, {"numberOfWavebands"});
  node.wavebands.assign(n, 0.0);
  check.read(set.get(), node.wavebands, where + "/Wavebands");
  check.ascending(node.wavebands, where + "/Wavebands");
  if (node.wavebands.front() < 0.0) check.bad_data("negative band edge", where + "/Wavebands");
}

void SetMissionData(hid_t location, ModelNode& node) {
  const acd::Checker& check = checker();
  const acdio::Handle mission = check.group(location, "Mission", node.where + "Mission");
  node.analysis_case_type = check.int_attribute(mission.get(), ".", "analysisCaseType", node.where + "Mission");
  if (node.analysis_case_type < 0 || node.analysis_case_type > 4) internal_stop("(acds)SetMissionData");
  const std::int32_t type = node.analysis_case_type;
  if (type >= 2) read_times(mission.get(), node);
  if (type == 3) read_arcs(mission.get(), node);
  if (type == 4) read_wavebands(mission.get(), node);
  if (type == 2) {
    const std::string item = node.where + "Mission";
    node.period = check.double_attribute(mission.get(), ".", "period", item);
    if (!std::isfinite(node.period) || node.period <= 0.0) check.bad_data("period not above 0", item + " period");
  }
}

// ---- Model references and node maps.

std::int32_t GetModelReference(std::int32_t MODELNUMBER, std::string_view PATH) {
  const std::string_view trimmed = trim_right(PATH);
  const std::string text = std::string(trimmed) + ":";
  std::int32_t pos = 1, isub = 0, ierr = 0;
  const auto& dir = gar_modeldirectory;
  if (dir.rows() < 18 || dir.cols() < 1) internal_stop("(acds)GetModelReference");
  LSMINT(dir, static_cast<std::int32_t>(dir.rows()), dir(2, 1), 0, MODELNUMBER, gar_modelnames, text,
         static_cast<std::int32_t>(trimmed.size()), pos, isub, ierr);
  if (ierr != 0 || isub < 1)
    internal_stop("(acds)GetModelReference: no sub-model " + std::string(trimmed) + " below " +
                  submodel_path(MODELNUMBER) + " (ACD file " + std::string(acd_file_name()) + ")");
  return isub;
}

std::int32_t thermal_nodes() {
  return static_cast<std::int32_t>(std::min<std::int64_t>(gfl_getnumthermalnodes(), gar_thermalnodetemps.size()));
}

// Internal node indices of the first COUNT numbers of DATASET. Heat fluxes
// exist for thermal nodes only: a fluid node is reported and its entry is 0
// (skipped by the loads). A number the model does not have is a failure (the
// flux is lost, and the run, which goes on, ends with status 1); its entry
// is 0 too.
std::vector<std::int32_t> createnodemap(hid_t location, const ModelNode& node, const std::string& dataset,
                                        std::int32_t count, std::int32_t model, const NodeNumberIndex& numbers_index) {
  const acd::Checker& check = checker();
  if (count < 1) return {};
  const std::string item = node.where + dataset;
  const acdio::Handle set = check.dataset(location, dataset, item, {static_cast<hsize_t>(count)}, {"count"});
  std::vector<std::int32_t> numbers(static_cast<std::size_t>(count));
  check.read(set.get(), numbers, item);
  const std::int32_t nnode = thermal_nodes();
  for (std::int32_t& entry : numbers) {
    const std::int32_t user = entry;
    entry = INTNOD(numbers_index, model, user);
    if (entry == 0) {
      SETERX("Heat flux of a missing node lost@Node " + std::to_string(user) + " of sub-model " +
                 submodel_path(model) + "@Dataset: " + item + "<NL>ACD file: " + std::string(acd_file_name()) + "@",
             3, 4, "(acds)createnodemap");
    } else if (entry > nnode) {
      SETERX("Heat flux of a fluid node ignored@Node " + std::to_string(user) + "@Dataset: " + item +
                 "<NL>ACD file: " + std::string(acd_file_name()) + "@",
             2, 3, "(acds)createnodemap");
      entry = 0;
    }
  }
  return numbers;
}

// The first radiative conductor of node I's list that joins node J and is
// owned by model MODEL itself; 0 when there is none.
std::int32_t find_radiative_conductor(std::int32_t node_i, std::int32_t node_j, std::int32_t model) {
  if (node_i < 1 || node_i > thermal_nodes() || node_j < 1) return 0;
  if (node_i > gar_pcsptrsthermal.cols() || gar_pcsptrsthermal.rows() < 4) return 0;
  const auto& dir = gar_modeldirectory;
  if (model < 1 || model + 1 > dir.cols()) return 0;
  const std::int32_t lo = dir(6, model), hi = dir(6, model + 1);
  const std::int32_t start = gar_pcsptrsthermal(3, node_i);
  const std::int32_t count = gar_pcsptrsthermal(4, node_i);
  if (count > 0 && (start < 1 || start - 1 + 2LL * count > gar_pcsthermal.size()))
    internal_stop("(acds)CreateRadiativeConductorMaps");
  for (std::int32_t e = 0; e < count; ++e) {
    const std::int32_t other = gar_pcsthermal(start + 2LL * e);
    const std::int32_t c = gar_pcsthermal(start + 2LL * e + 1);
    if (other == node_j && c > lo && c <= hi && c <= gar_radiativeconds.size()) return c;
  }
  return 0;
}

void CreateRadiativeConductorMaps(hid_t location, ModelNode& node, std::int32_t model,
                                  const NodeNumberIndex& numbers_index) {
  const acd::Checker& check = checker();
  const auto n = static_cast<std::size_t>(node.conductor_count);
  if (n == 0) return;
  const std::string path = "ModelData/TimeDependent/RadiativeConductors/NodePairs";
  const std::string item = node.where + path;
  const acdio::Handle set = check.records(location, path, item, n, "count");
  node.conductor_map.assign(n, 0);
  node.node_i_map.assign(n, 0);
  node.node_j_map.assign(n, 0);
  std::vector<std::string> path_i(n), path_j(n);
  std::vector<std::int32_t> number_i(n), number_j(n);
  check.read_member(set.get(), "relativeSubmodelPathI", kPathLength, path_i, item);
  check.read_member(set.get(), "relativeSubmodelPathJ", kPathLength, path_j, item);
  check.read_member(set.get(), "nodeNumberI", number_i, item);
  check.read_member(set.get(), "nodeNumberJ", number_j, item);
  for (std::size_t k = 0; k < n; ++k) {
    // Node I is complete (with INTNOD's warning) before the path of node J is resolved.
    const std::int32_t model_i = is_blank(path_i[k]) ? model : GetModelReference(model, path_i[k]);
    const std::int32_t i = INTNOD(numbers_index, model_i, number_i[k]);
    const std::int32_t model_j = is_blank(path_j[k]) ? model : GetModelReference(model, path_j[k]);
    const std::int32_t j = INTNOD(numbers_index, model_j, number_j[k]);
    const std::int32_t c = find_radiative_conductor(i, j, model);
    if (c == 0)
      internal_stop("(acds)CreateRadiativeConductorMaps: no radiative conductor of sub-model " + submodel_path(model) +
                    " joins node " + std::to_string(number_i[k]) + " of " + submodel_path(model_i) + " and node " +
                    std::to_string(number_j[k]) + " of " + submodel_path(model_j) + " (record " +
                    std::to_string(k + 1) + " of " + item + ", ACD file " + std::string(acd_file_name()) + ")");
    node.conductor_map[k] = c;
    node.node_i_map[k] = i;
    node.node_j_map[k] = j;
  }
}

// ---- Counts, datasets and rows.

std::int32_t count_attribute(hid_t location, const ModelNode& node, const std::string& object) {
  const acd::Checker& check = checker();
  const std::int32_t count = check.int_attribute(location, object, "count", node.where + object);
  if (count < 0) check.bad_data("count below 0", node.where + object + " count");
  return count;
}

void open_time_dependent(hid_t location, ModelNode& node) {
  const acd::Checker& check = checker();
  const auto rows = static_cast<hsize_t>(node.number_of_times);
  for (std::size_t kind = 0; kind < kFluxKinds; ++kind) {
    TimeFluxes& flux = node.flux[kind];
    const auto count = static_cast<std::size_t>(flux.count);
    if (count >= 1) {
      const std::string path = std::string(kFluxNames[kind].group_path) + "/Values";
      flux.values = check.dataset(location, path, node.where + path, {rows, count}, {"numberOfTimes", "count"});
    }
    flux.prev.assign(count, 0.0);
    flux.next.assign(count, 0.0);
  }
  const auto nr = static_cast<std::size_t>(node.conductor_count);
  std::size_t row_length = nr;
  if (nr >= 1) {
    const std::string path = "ModelData/TimeDependent/RadiativeConductors/Values";
    if (node.analysis_case_type == 4) {
      const auto nwb = static_cast<std::size_t>(node.number_of_wavebands);
      node.conductor_values = check.dataset(location, path, node.where + path, {rows, nr, nwb},
                                              {"numberOfTimes", "count", "numberOfWavebands"});
      row_length = nr * nwb;
    } else {
      node.conductor_values = check.dataset(location, path, node.where + path, {rows, nr}, {"numberOfTimes", "count"});
    }
  }
  node.conductor_prev.assign(row_length, 0.0);
  node.conductor_next.assign(row_length, 0.0);
  if (node.analysis_case_type == 4) node.band_work.assign(static_cast<std::size_t>(node.number_of_wavebands), 0.0);
}

// numbers_index resolves the node lists' user numbers; it is built once for
// the whole tree, since the lists may name every node of the model.
void SetupModelTree(hid_t location, std::int32_t model, ModelNode& node, const NodeNumberIndex& numbers_index) {
  const acd::Checker& check = checker();
  SetMissionData(location, node);
  const std::int32_t type = node.analysis_case_type;
  if (type >= 1) {
    node.static_count = count_attribute(location, node, "ModelData/NodeList");
    for (std::size_t kind = 0; kind < kFluxKinds; ++kind)
      node.flux[kind].count = count_attribute(location, node, std::string(kFluxNames[kind].group_path));
    node.conductor_count = count_attribute(location, node, "ModelData/TimeDependent/RadiativeConductors");

    node.static_map =
        createnodemap(location, node, "ModelData/NodeList", node.static_count, model, numbers_index);
    if (node.static_count >= 1)
      for (std::size_t kind = 0; kind < kFluxKinds; ++kind) {
        const std::string path(kFluxNames[kind].static_path);
        node.static_values[kind] =
            check.dataset(location, path, node.where + path, {static_cast<hsize_t>(node.static_count)}, {"count"});
      }
  }
  if (type >= 2) {
    for (std::size_t kind = 0; kind < kFluxKinds; ++kind)
      node.flux[kind].map = createnodemap(location, node, std::string(kFluxNames[kind].group_path) + "/Nodes",
                                          node.flux[kind].count, model, numbers_index);
    CreateRadiativeConductorMaps(location, node, model, numbers_index);
    open_time_dependent(location, node);
  }

  // Submodel groups, in ascending name order, each complete before the next.
  const acdio::Handle submodels = check.group(location, "Submodels", node.where + "Submodels");
  std::vector<std::string> names;
  if (!acdio::member_names(submodels.get(), names)) check.bad_group("members cannot be listed", node.where + "Submodels");
  for (const std::string& name : names) {
    const std::string item = node.where + "Submodels/" + name;
    if (name.size() > kNameLength) check.bad_data("submodel group name longer than 24 characters", item);
    const acdio::Handle member = check.group(submodels.get(), name, item);
    auto child = std::make_unique<ModelNode>();
    child->name = padded(name, kNameLength);
    child->where = item + "/";
    const std::int32_t child_model = is_blank(name) ? model : GetModelReference(model, name);
    SetupModelTree(member.get(), child_model, *child, numbers_index);
    node.children.push_back(std::move(child));
  }
}

// ---- Static load.

void staticloadtree(const ModelNode& node) {
  const acd::Checker& check = checker();
  std::vector<double> values(static_cast<std::size_t>(node.static_count));
  const auto arrays = flux_arrays();
  if (!values.empty())
    for (std::size_t kind = 0; kind < kFluxKinds; ++kind) {
      check.read(node.static_values[kind].get(), values, node.where + std::string(kFluxNames[kind].static_path));
      gar::R64& target = *arrays[kind];
      for (std::size_t k = 0; k < values.size(); ++k) {
        const std::int32_t i = node.static_map[k];
        if (i >= 1 && i <= target.size()) target(i) = values[k];
      }
    }
  for (const auto& child : node.children) staticloadtree(*child);
}

}  // namespace
}  // namespace kalvir::acds

using namespace kalvir::acds;

void acds_open(std::string_view MODELNAME) {
  register_run_closer(acds_close);
  SolutionState& s = solution_state();
  s.file_name = std::string(kalvir::trim_right(MODELNAME)) + ".acd";
  if (s.file_name.size() > kFileNameLength) s.file_name.resize(kFileNameLength);
  s.file = kalvir::acdio::open_file(s.file_name);
  if (!s.file.valid()) {
    std::error_code ec;
    const std::string cwd = std::filesystem::current_path(ec).string();
    SETERX("Cannot open ACD file@Initialising ACD Solution Manager@ACD file name: " + s.file_name +
               "@Working directory: " + (ec ? std::string("(unknown)") : cwd),
           4, 2,
           "(acds)OpenFile");
    return;
  }
  // The tree is handed over only when complete: a run that ends half way
  // releases the partial tree on the way out.
  auto main = std::make_unique<ModelNode>();
  main->name = kalvir::padded(MODELNAME, kNameLength);
  main->where = "/";
  SetupModelTree(s.file.get(), 1, *main, kalvir::NodeNumberIndex{});
  s.main = std::move(main);
}

void acds_staticload() {
  const SolutionState& s = solution_state();
  if (s.main) staticloadtree(*s.main);
}

void acds_close() {
  SolutionState& s = solution_state();
  s.main.reset();
  s.file.reset();
}
