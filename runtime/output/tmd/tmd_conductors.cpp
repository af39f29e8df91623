#include "runtime/output/tmd/tmd_conductors.h"

#include <cstdlib>
#include <string>
#include <string_view>

#include "runtime/control/global_arrays.h"
#include "runtime/control/run_end.h"
#include "runtime/modeldata/model_tree.h"
#include "runtime/modeldata/search_sort.h"
#include "runtime/output/tmd/tmd_hdf5.h"

namespace kalvir::tmd {

namespace {

// Names under which a walk stops on a corrupt connection list.
struct WalkNames {
  std::string_view thermal_stop;
  std::string_view fluid_stop;
  std::string_view guard;
};
constexpr WalkNames kTableWalk{"Invalid type in GetConductorInfo", "GetConductorInfo", "GetConductorInfo"};
constexpr WalkNames kDataWalk{"Invalid type in GetConductorData", "Invalid type in GetConductorData",
                              "GetConductorData"};

constexpr int kThermalKinds = 3;  // linear, radiative, fluidic
constexpr int kFluidKinds = 4;    // mass-flow links, then as thermal lists

// Walks one packed connection list from position start: a positive word
// opens a pair (other node, number), a negative word -p continues at p, and 0
// ends the current kind; the list ends after nkinds kinds.
template <class OnPair, class OnKindEnd>
void walk_list(const gar::I32& list, std::int64_t start, int nkinds, std::string_view stop, std::string_view guard_name,
               OnPair on_pair, OnKindEnd on_kind_end) {
  LoopGuard guard(guard_name);
  int kind = 1;
  std::int64_t p = start;
  while (true) {
    guard.tick();
    if (p < 1 || p > list.size()) internal_stop(stop);
    const std::int32_t w = list(p);
    if (w > 0) {
      if (p + 1 > list.size()) internal_stop(stop);
      on_pair(kind, w, list(p + 1));
      p += 2;
    } else if (w < 0) {
      p = -static_cast<std::int64_t>(w);
    } else {
      on_kind_end();
      if (++kind > nkinds) return;
      ++p;
    }
  }
}

// Number of conductors of a list's kind in the model.
std::int32_t model_count(const TmvThermalModelVariables& s, int list) {
  switch (list) {
    case kListGL: return s.numberofgls;
    case kListGR: return s.numberofgrs;
    case kListGF: return s.numberofgfs;
    case kListGV: return s.numberofgvs;
    default: return s.numberofm_gps;
  }
}

}  // namespace

void for_each_selected_conductor(const TmvThermalModelVariables& selection, std::int32_t nt, WalkPurpose purpose,
                                 const std::function<void(const ConductorVisit&)>& visit) {
  const WalkNames& names = purpose == WalkPurpose::Tables ? kTableWalk : kDataWalk;
  const std::int32_t nnode = std::max(selection.numberofthermalnodes, 0);
  const std::int32_t nall = nnode + std::max(selection.numberoffluidnodes, 0);
  const std::span<const std::int32_t> nodes = selection.selected();

  // Position code of every internal node, 0 for the nodes not selected.
  std::vector<std::int32_t> code(static_cast<std::size_t>(nall) + 1, 0);
  for (std::size_t i = 1; i <= nodes.size(); ++i) {
    const std::int32_t node = nodes[i - 1];
    const auto pos = static_cast<std::int32_t>(i);
    if (node < 1) internal_stop("Tmd<SetupNodeIds> 1");
    if (node > nall) internal_stop("Tmd<SetupNodeIds> 2");
    code[static_cast<std::size_t>(node)] = node <= nnode ? pos : nt - pos;
  }
  auto code_of = [&](std::int64_t node) -> std::int32_t {
    return node >= 1 && node <= nall ? code[static_cast<std::size_t>(node)] : 0;
  };

  // Ordinal counters of the other nodes, restarted at every node and kind;
  // only the touched ones are cleared.
  std::vector<std::int32_t> counter(static_cast<std::size_t>(nall) + 1, 0);
  std::vector<std::int32_t> touched;
  auto clear_counters = [&] {
    for (const std::int32_t t : touched) counter[static_cast<std::size_t>(t)] = 0;
    touched.clear();
  };
  auto next_ordinal = [&](std::int32_t node) {
    std::int32_t& c = counter[static_cast<std::size_t>(node)];
    if (c == 0) touched.push_back(node);
    return ++c;
  };

  // A conductor between two fluid nodes may stand in both nodes' lists; it
  // is recorded at its first sighting only.
  std::array<std::vector<bool>, 3> fluid_pair_seen;
  for (int list = kListGL; list <= kListGF; ++list) {
    fluid_pair_seen[static_cast<std::size_t>(list)].assign(
        static_cast<std::size_t>(std::max(model_count(selection, list), 0)) + 1, false);
  }

  const bool want_links = selection.kind_selected(kFlagM) || selection.kind_selected(kFlagGP);
  const std::int32_t nlinks = selection.numberofm_gps;

  for (const std::int32_t v : nodes) {
    if (v <= nnode) {
      if (v > gar_thermalnodestatuses.size() || v > gar_pcsptrsthermalold.size()) internal_stop(names.thermal_stop);
      if (gar_thermalnodestatuses(v)[0] == 'C') continue;
      clear_counters();
      walk_list(
          gar_pcsthermalold, gar_pcsptrsthermalold(v), kThermalKinds, names.thermal_stop, names.guard,
          [&](int kind, std::int32_t other, std::int32_t number) {
            const int list = kind - 1;  // GL, GR, GF
            if (!selection.kind_selected(list)) return;
            const std::int32_t n = std::abs(number);
            if (v < other && other <= nnode && code_of(other) != 0 && n >= 1 && n <= model_count(selection, list)) {
              visit({list, code_of(v), code_of(other), next_ordinal(other), number});
            }
          },
          clear_counters);
    } else {
      const std::int32_t f = v - nnode;
      if (f > gar_pcsptrsfluid.size()) internal_stop(names.fluid_stop);
      clear_counters();
      walk_list(
          gar_pcsfluid, gar_pcsptrsfluid(f), kFluidKinds, names.fluid_stop, names.guard,
          [&](int kind, std::int32_t other, std::int32_t number) {
            if (kind == 1) {
              // Each link once, from its first node: the entry whose other
              // node is the link's second node.
              const std::int32_t link = std::abs(number);
              if (!want_links || link < 1 || link > nlinks || 2LL * link > gar_massflowlinkcondnodepairs.size()) return;
              if (other != gar_massflowlinkcondnodepairs(2LL * link)) return;
              const std::int64_t y = static_cast<std::int64_t>(other) + nnode;
              if (code_of(y) == 0) return;
              const auto yi = static_cast<std::int32_t>(y);
              visit({kListLinks, code_of(v), code_of(yi), next_ordinal(yi), link});
              return;
            }
            const int list = kind - 2;  // GL, GR, GF
            if (!selection.kind_selected(list) || code_of(other) == 0) return;
            const std::int32_t n = std::abs(number);
            if (n < 1 || n > model_count(selection, list)) return;
            if (other > nnode) {
              std::vector<bool>& seen = fluid_pair_seen[static_cast<std::size_t>(list)];
              if (seen[static_cast<std::size_t>(n)]) return;
              seen[static_cast<std::size_t>(n)] = true;
            }
            visit({list, code_of(v), code_of(other), next_ordinal(other), number});
          },
          clear_counters);
    }
  }
}

namespace {

// The value and activity arrays of the conductor kinds, in flag order.
struct KindSource {
  gar::R64* values;
  gar::C1* acts;
};
const std::array<KindSource, kConductorKinds> kKindSources{{
    {&gar_linearconds, &gar_linearcondacts},
    {&gar_radiativeconds, &gar_radiativecondacts},
    {&gar_fluidicconds, &gar_fluidiccondacts},
    {&gar_vfacconds, &gar_vfaccondacts},
    {&gar_massflowlinkflowrates, &gar_massflowlinkstatuses},
    {&gar_massflowlinkfittinglosses, &gar_massflowlinkstatuses},
}};

// Owner type of CDSSMD for each list.
constexpr std::array<std::int32_t, kConductorLists> kOwnerType{1, 2, 3, 4, 5};

double status_code(const gar::C1& acts, std::int64_t n) { return acts(n)[0] == 'A' ? 1.0 : -2.0; }

}  // namespace

void write_conductor_data(TmdSlot& slot) {
  const TmvThermalModelVariables& sel = slot.selection;
  const std::array<std::int32_t, kConductorKinds> counts{slot.countgl, slot.countgr,    slot.countgf,
                                                         slot.countgv, slot.countm_gp, slot.countm_gp};
  const std::array<hid_t, kConductorKinds> datasets{slot.gl_datasetid.get(), slot.gr_datasetid.get(),
                                                    slot.gf_datasetid.get(), slot.gv_datasetid.get(),
                                                    slot.m_datasetid.get(),  slot.gp_datasetid.get()};
  // The slot's work areas, zeroed to the file's counts (empty for a kind
  // the file does not record).
  std::array<std::vector<double>, kConductorKinds>& buffers = slot.work.conductors;
  for (int k = 0; k < kConductorKinds; ++k) {
    auto& buf = buffers[static_cast<std::size_t>(k)];
    if (sel.kind_selected(k) && counts[static_cast<std::size_t>(k)] >= 1)
      buf.assign(2 * static_cast<std::size_t>(counts[static_cast<std::size_t>(k)]), 0.0);
    else
      buf.clear();
  }

  // Row r (1-based) of kind k takes (value, status code).
  auto put = [&](int k, std::int32_t row, double value, double status) {
    auto& buf = buffers[static_cast<std::size_t>(k)];
    const std::size_t at = 2 * static_cast<std::size_t>(row - 1);
    if (at + 2 > buf.size()) return;  // beyond the file's rows, or a kind the file does not record
    buf[at] = value;
    buf[at + 1] = status;
  };

  // The rows of the last walk serve while the walk would read the same
  // status letters; otherwise the lists are walked again.
  ConductorRows& known = slot.conductor_rows;
  std::string statuses;
  const std::int32_t nnode = sel.numberofthermalnodes;
  for (const std::int32_t v : sel.selected())
    if (v >= 1 && v <= nnode) statuses += v <= gar_thermalnodestatuses.size() ? gar_thermalnodestatuses(v)[0] : ' ';
  if (!known.known || statuses != known.statuses) {
    known.rows.clear();
    for_each_selected_conductor(sel, slot.numselectedthermalnodes, WalkPurpose::Data, [&](const ConductorVisit& c) {
      known.rows.push_back({c.list, c.number});
    });
    known.statuses = std::move(statuses);
    known.known = true;
  }

  std::array<std::int32_t, kConductorLists> rows{};
  for (const ConductorRows::Row& c : known.rows) {
    const std::int32_t row = ++rows[static_cast<std::size_t>(c.list)];
    if (c.list == kListLinks) {
      const std::int64_t l = c.number;
      if (l > gar_massflowlinkstatuses.size()) continue;
      const double status = status_code(gar_massflowlinkstatuses, l);
      if (l <= gar_massflowlinkflowrates.size()) put(kFlagM, row, gar_massflowlinkflowrates(l), status);
      if (l <= gar_massflowlinkfittinglosses.size()) put(kFlagGP, row, gar_massflowlinkfittinglosses(l), status);
      continue;
    }
    const KindSource& src = kKindSources[static_cast<std::size_t>(c.list)];
    const std::int64_t n = std::abs(c.number);
    if (n > src.values->size() || n > src.acts->size()) continue;
    const double value = (*src.values)(n);
    put(c.list, row, c.list == kListGF && c.number < 0 ? -value : value, status_code(*src.acts, n));
  }

  for (int k = 0; k < kConductorKinds; ++k) {
    const auto& buf = buffers[static_cast<std::size_t>(k)];
    const hid_t ds = datasets[static_cast<std::size_t>(k)];
    if (buf.empty() || ds < 0) continue;
    append_slab(ds, H5T_NATIVE_DOUBLE, {static_cast<hsize_t>(counts[static_cast<std::size_t>(k)]), 2}, buf.data());
  }
}

}  // namespace kalvir::tmd

void GetConductorInfo(TmdSlot& SLOT, kalvir::tmd::ConductorTables& INFO, std::int32_t& /*STATUS*/) {
  using namespace kalvir::tmd;
  const TmvThermalModelVariables& sel = SLOT.selection;
  for (int list = 0; list < kConductorLists; ++list) {
    auto& records = INFO[static_cast<std::size_t>(list)];
    records.clear();
    records.reserve(static_cast<std::size_t>(std::max(model_count(sel, list), 0)));
  }
  for_each_selected_conductor(sel, SLOT.numselectedthermalnodes, WalkPurpose::Tables, [&](const ConductorVisit& c) {
    const std::int32_t owner = CDSSMD(std::abs(c.number), kOwnerType[static_cast<std::size_t>(c.list)]);
    INFO[static_cast<std::size_t>(c.list)].push_back({c.firstcode, c.othercode, c.ordinal, owner});
  });
  auto count = [&](int list) { return static_cast<std::int32_t>(INFO[static_cast<std::size_t>(list)].size()); };
  SLOT.countgl = count(kListGL);
  SLOT.countgr = count(kListGR);
  SLOT.countgf = count(kListGF);
  SLOT.countgv = count(kListGV);
  SLOT.countm_gp = count(kListLinks);
}
