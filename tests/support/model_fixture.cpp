#include "tests/support/model_fixture.h"

#include <algorithm>
#include <array>
#include <stdexcept>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/messages.h"
#include "runtime/control/status.h"
#include "runtime/modeldata/model_tree.h"
#include "runtime/modeldata/node_groups.h"
#include "runtime/program/run_hooks.h"
#include "tests/support/packed_list_fixture.h"

namespace kalvir::test {
namespace {

constexpr int kRows = 18;

struct Layout {
  std::vector<int> thermal_before, fluid_before;  // per submodel, 0-based
  int nnode = 0;
  int nf = 0;
};
Layout current;
ModelSpec current_spec;

// Rows 1 and 2 of the model directory: each submodel's level and the size of
// its subtree, from the levels in pre-order.
void set_tree_rows(const std::vector<SubmodelSpec>& submodels) {
  const int nsub = static_cast<int>(submodels.size());
  for (int m = 1; m <= nsub; ++m) {
    const int lev = submodels[static_cast<std::size_t>(m - 1)].level;
    int size = 1;
    while (m + size <= nsub && submodels[static_cast<std::size_t>(m + size - 1)].level > lev) ++size;
    gar_modeldirectory(1, m) = lev;
    gar_modeldirectory(2, m) = size;
  }
}

int user_to_internal(int sub, int user) {
  const SubmodelSpec& s = current_spec.submodels.at(static_cast<std::size_t>(sub - 1));
  const auto t = std::find(s.thermal.begin(), s.thermal.end(), user);
  if (t != s.thermal.end())
    return current.thermal_before[static_cast<std::size_t>(sub - 1)] + static_cast<int>(t - s.thermal.begin()) + 1;
  const auto f = std::find(s.fluid.begin(), s.fluid.end(), user);
  if (f != s.fluid.end())
    return current.nnode + current.fluid_before[static_cast<std::size_t>(sub - 1)] +
           static_cast<int>(f - s.fluid.begin()) + 1;
  throw std::invalid_argument("fixture: no node " + std::to_string(user) + " in submodel " + std::to_string(sub));
}

// A conductor of one kind resolved to internal node indices.
struct Conductor {
  int a;
  int b;
  int number;
};

}  // namespace

int internal_node(int sub, int user) { return user_to_internal(sub, user); }

void build_model(const ModelSpec& spec) {
  current_spec = spec;
  current = Layout{};
  const auto nsub = static_cast<int>(spec.submodels.size());

  // Counts before each submodel and the totals, per directory row.
  std::vector<std::array<int, kRows + 1>> before(static_cast<std::size_t>(nsub) + 1);
  std::array<int, kRows + 1> run{};
  for (int m = 0; m <= nsub; ++m) {
    before[static_cast<std::size_t>(m)] = run;
    if (m == nsub) break;
    const SubmodelSpec& s = spec.submodels[static_cast<std::size_t>(m)];
    run[3] += static_cast<int>(s.thermal.size());
    run[4] += static_cast<int>(s.gl.size());
    run[5] += static_cast<int>(s.gf.size());
    run[6] += static_cast<int>(s.gr.size());
    run[7] += static_cast<int>(s.gv.size());
    run[16] += static_cast<int>(s.fluid.size());
    run[17] += static_cast<int>(s.links.size());
    run[18] += static_cast<int>(s.aliases.size());
  }
  for (int m = 0; m < nsub; ++m) {
    current.thermal_before.push_back(before[static_cast<std::size_t>(m)][3]);
    current.fluid_before.push_back(before[static_cast<std::size_t>(m)][16]);
  }
  current.nnode = run[3];
  current.nf = run[16];
  const int nnode = run[3];
  const int nf = run[16];

  // Conductors of each kind as internal pairs, numbered through the model.
  auto resolve = [&](std::vector<PairSpec> SubmodelSpec::*kind) {
    std::vector<Conductor> out;
    for (int m = 1; m <= nsub; ++m)
      for (const PairSpec& p : spec.submodels[static_cast<std::size_t>(m - 1)].*kind)
        out.push_back({user_to_internal(m, p.from), user_to_internal(m, p.to), static_cast<int>(out.size()) + 1});
    return out;
  };
  const std::vector<Conductor> gl = resolve(&SubmodelSpec::gl);
  const std::vector<Conductor> gr = resolve(&SubmodelSpec::gr);
  const std::vector<Conductor> gf = resolve(&SubmodelSpec::gf);
  const std::vector<Conductor> gv = resolve(&SubmodelSpec::gv);
  const std::vector<Conductor> links = resolve(&SubmodelSpec::links);

  // Packed thermal lists: per node the linear, radiative and fluidic runs of
  // [other node, conductor], each ended by -q and the 0 at q. A fluidic
  // conductor stands negated at its first node.
  std::vector<std::int32_t> pcs;
  std::vector<std::int32_t> pcs_ptr;
  auto add_entries = [](std::vector<std::int32_t>& list, const std::vector<Conductor>& conds, int node, bool signed_kind,
                        int other_offset) {
    for (const Conductor& c : conds) {
      if (c.a == node) {
        list.push_back(c.b - other_offset);
        list.push_back(signed_kind ? -c.number : c.number);
      } else if (c.b == node) {
        list.push_back(c.a - other_offset);
        list.push_back(c.number);
      }
    }
  };
  for (int i = 1; i <= nnode; ++i) {
    pcs_ptr.push_back(static_cast<std::int32_t>(pcs.size()) + 1);
    add_entries(pcs, gl, i, false, 0);
    end_run(pcs);
    add_entries(pcs, gr, i, false, 0);
    end_run(pcs);
    add_entries(pcs, gf, i, true, 0);
    end_run(pcs);
  }
  const std::int32_t tie_length = append_tie_tail(pcs, spec.ties);

  // Fluid lists: the link run (other fluid node, link) ended by -q, 0, then
  // the linear, radiative and fluidic runs to thermal nodes, each ended by 0.
  std::vector<std::int32_t> fpcs;
  std::vector<std::int32_t> fpcs_ptr;
  auto thermal_only = [&](const std::vector<Conductor>& conds, int node) {
    std::vector<Conductor> out;
    for (const Conductor& c : conds)
      if ((c.a == node && c.b <= nnode) || (c.b == node && c.a <= nnode)) out.push_back(c);
    return out;
  };
  for (int f = 1; f <= nf; ++f) {
    const int node = nnode + f;
    fpcs_ptr.push_back(static_cast<std::int32_t>(fpcs.size()) + 1);
    add_entries(fpcs, links, node, false, nnode);
    end_run(fpcs);
    add_entries(fpcs, thermal_only(gl, node), node, false, 0);
    fpcs.push_back(0);
    add_entries(fpcs, thermal_only(gr, node), node, false, 0);
    fpcs.push_back(0);
    add_entries(fpcs, thermal_only(gf, node), node, true, 0);
    fpcs.push_back(0);
  }

  FLAGS.w.fill(0);
  FLAGS(flagw::NNODE) = nnode;
  FLAGS(flagw::NGL) = static_cast<std::int32_t>(gl.size());
  FLAGS(flagw::NGF) = static_cast<std::int32_t>(gf.size());
  FLAGS(flagw::NGR) = static_cast<std::int32_t>(gr.size());
  FLAGS(flagw::NGV) = static_cast<std::int32_t>(gv.size());
  FLAGS(24) = static_cast<std::int32_t>(pcs.size());
  FLAGS(flagw::NTIELEN) = tie_length;
  FLAGS(flagw::NSUB) = nsub;
  FLAGS(flagw::CHARLEN) = 133;
  FLAGS(flagw::DYSTOR) = 64;
  FLAGS(flagw::NEXTREAL) = 1;
  FLAGS(flagw::NEXTINT) = 1;
  FLAGS(flagw::NF) = nf;
  FLAGS(flagw::NM) = static_cast<std::int32_t>(links.size());
  FLAGS(35) = static_cast<std::int32_t>(fpcs.size());
  FLAGS(40) = run[18];

  const auto nreal = static_cast<std::int32_t>(spec.real_attributes.size());
  const auto nint = static_cast<std::int32_t>(spec.int_attributes.size());
  const auto nchar = static_cast<std::int32_t>(spec.char_attributes.size());
  SPRSIZ(1) = std::max({1, nreal, nint, nchar});
  SPRSIZ(2) = 3;
  SPRSIZ(3) = nchar;
  SPRSIZ(4) = nint;
  SPRSIZ(5) = nreal;
  sprnod_allocate();
  const std::array<const std::vector<std::string>*, 3> groups{&spec.real_attributes, &spec.int_attributes,
                                                              &spec.char_attributes};
  for (int g = 1; g <= 3; ++g)
    for (std::size_t k = 0; k < groups[static_cast<std::size_t>(g - 1)]->size(); ++k)
      SPRNOD(static_cast<std::int64_t>(k) + 1, g) = (*groups[static_cast<std::size_t>(g - 1)])[k];

  GarSizes s{};
  s.dystor = FLAGS(flagw::DYSTOR);
  s.ndirrows = kRows;
  s.npcsfluid = FLAGS(35);
  s.npcsthermal = 4 * (FLAGS(flagw::NGL) + FLAGS(flagw::NGF) + FLAGS(flagw::NGR));
  s.npcsthermalold = FLAGS(24);
  s.ngf = FLAGS(flagw::NGF);
  s.nf = nf;
  s.ngl = FLAGS(flagw::NGL);
  s.nm = FLAGS(flagw::NM);
  s.naliases = run[18];
  s.ngr = FLAGS(flagw::NGR);
  s.nsub = nsub;
  s.nnode = nnode;
  s.ncharattr = nchar;
  s.nintattr = nint;
  s.nrealattr = nreal;
  s.ngv = FLAGS(flagw::NGV);
  gar_release_all_for_tests();
  gar_Allocate(s);

  // Model directory: levels, subtree sizes from the pre-order levels, counts.
  set_tree_rows(spec.submodels);
  for (int m = 1; m <= nsub + 1; ++m)
    for (int r = 3; r <= kRows; ++r) gar_modeldirectory(r, m) = before[static_cast<std::size_t>(m - 1)][static_cast<std::size_t>(r)];

  int alias_at = 0;
  for (int m = 1; m <= nsub; ++m) {
    const SubmodelSpec& sm = spec.submodels[static_cast<std::size_t>(m - 1)];
    gar_modelnames.set(m, sm.name);
    gar_submodelnames.set(m, sm.name);
    gar_modelstatuses.set(m, std::string(1, sm.status));
    for (std::size_t k = 0; k < sm.thermal.size(); ++k) {
      const int i = current.thermal_before[static_cast<std::size_t>(m - 1)] + static_cast<int>(k) + 1;
      gar_thermalnodenums(i) = sm.thermal[k];
      gar_thermalnodelabels.set(i, k < sm.labels.size() ? sm.labels[k] : "NODE " + std::to_string(sm.thermal[k]));
      const std::string letter(1, k < sm.statuses.size() ? sm.statuses[k] : 'D');
      gar_thermalnodestatuses.set(i, letter);
      gar_thermalnodestatusescopy.set(i, letter);
    }
    for (std::size_t k = 0; k < sm.fluid.size(); ++k) {
      const int j = current.fluid_before[static_cast<std::size_t>(m - 1)] + static_cast<int>(k) + 1;
      gar_fluidnodenums(j) = sm.fluid[k];
      gar_fluidnodelabels.set(j, k < sm.fluid_labels.size() ? sm.fluid_labels[k] : "FLUID " + std::to_string(sm.fluid[k]));
      gar_fluidnodestatuses.set(j, "F");
      gar_fluidnodetemps(j) = 100.0 + nnode + j;
      gar_fluidnodepressures(j) = 1.0e5 + j;
    }
    auto aliases = sm.aliases;
    std::sort(aliases.begin(), aliases.end());
    for (const auto& [name, number] : aliases) {
      ++alias_at;
      gar_nodealiasnames.set(alias_at, name);
      gar_nodealiasnumbers(alias_at) = number;
    }
  }
  for (int i = 1; i <= nnode; ++i) {
    gar_thermalnodetemps(i) = 100.0 + i;
    gar_thermalnodecapacitances(i) = 1000.0 + i;
    gar_thermalnodeheatsourcesinternal(i) = 10.0 + i;
    gar_thermalnodeincidentfluxessolar(i) = 20.0 + i;
  }
  auto fill_kind = [](const std::vector<Conductor>& conds, gar::R64& values, gar::C1& acts, double tenth) {
    for (const Conductor& c : conds) {
      values(c.number) = c.number + tenth;
      acts.set(c.number, "A");
    }
  };
  fill_kind(gl, gar_linearconds, gar_linearcondacts, 0.1);
  fill_kind(gr, gar_radiativeconds, gar_radiativecondacts, 0.2);
  fill_kind(gf, gar_fluidicconds, gar_fluidiccondacts, 0.3);
  fill_kind(gv, gar_vfacconds, gar_vfaccondacts, 0.4);
  for (const Conductor& c : gv) {
    gar_vfaccondnodepairs(2LL * c.number - 1) = c.a;
    gar_vfaccondnodepairs(2LL * c.number) = c.b;
  }
  for (const Conductor& c : links) {
    gar_massflowlinkflowrates(c.number) = c.number + 0.5;
    gar_massflowlinkfittinglosses(c.number) = c.number + 0.6;
    gar_massflowlinkstatuses.set(c.number, "A");
    gar_massflowlinkcondnodepairs(2LL * c.number - 1) = c.a - nnode;
    gar_massflowlinkcondnodepairs(2LL * c.number) = c.b - nnode;
  }
  for (std::size_t k = 0; k < pcs.size(); ++k) gar_pcsthermalold(static_cast<std::int64_t>(k) + 1) = pcs[k];
  for (std::size_t k = 0; k < pcs_ptr.size(); ++k) gar_pcsptrsthermalold(static_cast<std::int64_t>(k) + 1) = pcs_ptr[k];
  for (std::size_t k = 0; k < fpcs.size(); ++k) gar_pcsfluid(static_cast<std::int64_t>(k) + 1) = fpcs[k];
  for (std::size_t k = 0; k < fpcs_ptr.size(); ++k) gar_pcsptrsfluid(static_cast<std::int64_t>(k) + 1) = fpcs_ptr[k];

  // Attribute values: real attribute a of thermal node i is 1000 a + i,
  // integer 100 a + i, character "<attribute name>-<i>".
  for (int a = 1; a <= nreal; ++a)
    for (int i = 1; i <= nnode; ++i) gar_thermalnodeuserentityvalsreal(static_cast<std::int64_t>(a - 1) * nnode + i) = 1000.0 * a + i;
  for (int a = 1; a <= nint; ++a)
    for (int i = 1; i <= nnode; ++i) gar_thermalnodeuserentityvalsint(static_cast<std::int64_t>(a - 1) * nnode + i) = 100 * a + i;
  for (int a = 1; a <= nchar; ++a)
    for (int i = 1; i <= nnode; ++i)
      gar_thermalnodeuserentityvalschar.set(static_cast<std::int64_t>(a - 1) * nnode + i,
                                            spec.char_attributes[static_cast<std::size_t>(a - 1)] + "-" + std::to_string(i));

  GLOI.MODEL = 1;
  GLOI.MLEVEL = 0;
  GLOI.MSHORT = 0;
  GLOI.TRACE = 0;
  GLOI.METHOD = 0;
  stat_setstatst(0);
  model_tree_reset_for_tests();
  Lschnd_clear_cache();
  messages_reset_for_tests();
  // The runtime's hooks, as MAINA fills them in a program.
  install_run_hooks();
}

void release_model() {
  gar_release_all_for_tests();
  kalvir::model_tree_reset_for_tests();
  FLAGS.w = {};
}

void build_node_tree(const std::vector<SubmodelSpec>& submodels) {
  release_model();
  const int nsub = static_cast<int>(submodels.size());
  int nnode = 0;
  for (const SubmodelSpec& sm : submodels) nnode += static_cast<int>(sm.thermal.size());
  FLAGS(flagw::NNODE) = nnode;
  FLAGS(flagw::NSUB) = nsub;
  GarSizes s{};
  s.ndirrows = kRows;
  s.nsub = nsub;
  s.nnode = nnode;
  gar_Allocate(s);
  set_tree_rows(submodels);
  int before = 0;
  for (int m = 1; m <= nsub; ++m) {
    const SubmodelSpec& sm = submodels[static_cast<std::size_t>(m - 1)];
    gar_modeldirectory(3, m) = before;
    gar_modelnames.set(m, sm.name);
    for (const int number : sm.thermal) gar_thermalnodenums(++before) = number;
  }
  gar_modeldirectory(3, nsub + 1) = before;
  // The runtime's hooks, as MAINA fills them in a program.
  install_run_hooks();
}

ModelSpec three_submodel_model() {
  ModelSpec spec;
  SubmodelSpec main;
  main.name = "MAIN";
  main.level = 0;
  main.thermal = {1, 2, 3, 4, 5, 6};
  main.labels = {"PANEL A", "PANEL B", "RADIATOR", "BATTERY 1", "BATTERY 2", "TANK WALL"};
  main.fluid = {101, 102};
  main.fluid_labels = {"LOOP INLET", "LOOP OUTLET"};
  main.aliases = {{"RAD", 3}, {"BAT", 4}};
  main.gl = {{1, 2}, {2, 3}, {1, 2}, {3, 101}};
  main.gr = {{1, 3}, {2, 4}};
  main.gf = {{2, 3}};
  main.gv = {{1, 2}, {1, 3}, {4, 1}};
  main.links = {{101, 102}};
  SubmodelSpec sub1;
  sub1.name = "SUB1";
  sub1.level = 1;
  sub1.thermal = {1, 2, 3, 4, 5};
  sub1.labels = {"SUB1 PANEL", "SUB1 PANEL", "SUB1 BOX", "SUB1 BOX", "SUB1 TOP"};
  sub1.aliases = {{"TOP", 5}};
  sub1.gl = {{1, 2}, {2, 3}};
  SubmodelSpec sub2;
  sub2.name = "SUB2";
  sub2.level = 2;
  sub2.thermal = {1, 2, 3, 4};
  sub2.gl = {{1, 2}};
  spec.submodels = {main, sub1, sub2};
  spec.real_attributes = {"TEMP2", "MASS"};
  spec.int_attributes = {"ZONE"};
  spec.char_attributes = {"OWNER"};
  return spec;
}

}  // namespace kalvir::test
