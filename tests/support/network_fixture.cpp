#include "tests/support/network_fixture.h"

#include <array>
#include <string>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/messages.h"
#include "runtime/control/model_blocks.h"
#include "runtime/control/shared_blocks.h"
#include "runtime/control/status.h"
#include "runtime/modeldata/model_tree.h"
#include "runtime/modeldata/node_groups.h"
#include "runtime/program/run_hooks.h"
#include "tests/support/packed_list_fixture.h"

namespace kalvir::test {
namespace {

constexpr int kRows = 18;

// Entries [other node, conductor] of node i in one kind, conductors in order.
// A fluidic conductor stands negated in the list of its first node.
std::vector<std::pair<int, int>> entries(const std::vector<NetConductor>& conds, int i, bool fluidic) {
  std::vector<std::pair<int, int>> out;
  for (std::size_t k = 0; k < conds.size(); ++k) {
    const int number = static_cast<int>(k) + 1;
    if (conds[k].a == i) out.emplace_back(conds[k].b, fluidic ? -number : number);
    if (conds[k].b == i) out.emplace_back(conds[k].a, number);
  }
  return out;
}

}  // namespace

void set_transient_constants() {
  GLOR.TIMEO = 0.0;
  GLOR.TIMEN = 0.0;
  GLOR.TIMEM = 0.0;
  GLOR.TIMEND = 10.0;
  GLOR.OUTINT = 10.0;
  GLOR.DTIMEI = 1.0;
  GLOR.DTMIN = 1.0e-6;
  GLOR.DTMAX = 1.0e6;
  GLOR.DTPMAX = 1.0e10;
  GLOR.DTROCA = 1.0e10;
  GLOR.ARITH = 0.0;
  GLOI.NLOOP = 100;
  GLOR.RELXCA = 1.0e-9;
  GLOR.DAMPT = 1.0;
  GLOR.STEFAN = 5.670374419e-8;
  GLOR.TABS = 273.15;
  GLOI.METHOD = 0;
}

void build_network(const NetworkSpec& spec) {
  const auto nnode = static_cast<std::int32_t>(spec.nodes.size());
  const auto nf = static_cast<std::int32_t>(spec.fluid_temps.size());

  // Packed lists, then the tie tail.
  std::vector<std::int32_t> pcs, ptr;
  for (int i = 1; i <= nnode; ++i) {
    ptr.push_back(static_cast<std::int32_t>(pcs.size()) + 1);
    int kind = 0;
    for (const auto* conds : {&spec.gl, &spec.gr, &spec.gf}) {
      ++kind;
      for (const auto& [j, k] : entries(*conds, i, kind == 3)) {
        pcs.push_back(j);
        pcs.push_back(k);
      }
      end_run(pcs);
    }
  }
  const std::int32_t tie_length = append_tie_tail(pcs, spec.ties);

  std::int32_t info_len = 0, nreal = 0;
  for (const NetEvents& e : spec.events) {
    info_len += 5;
    nreal += static_cast<std::int32_t>(e.values.size());
  }

  FLAGS = FlagsBlock{};
  FLAGS(flagw::NNODE) = nnode;
  FLAGS(flagw::NGL) = static_cast<std::int32_t>(spec.gl.size());
  FLAGS(flagw::NGR) = static_cast<std::int32_t>(spec.gr.size());
  FLAGS(flagw::NGF) = static_cast<std::int32_t>(spec.gf.size());
  FLAGS(18) = info_len;
  FLAGS(19) = static_cast<std::int32_t>(spec.events.size());
  FLAGS(20) = nreal;
  FLAGS(24) = static_cast<std::int32_t>(pcs.size());
  FLAGS(flagw::NTIELEN) = tie_length;
  FLAGS(flagw::NSUB) = 1;
  FLAGS(flagw::CHARLEN) = 133;
  FLAGS(flagw::DYSTOR) = spec.dystor;
  FLAGS(flagw::NEXTREAL) = 1;
  FLAGS(flagw::NEXTINT) = 1;
  FLAGS(flagw::NF) = nf;
  FLAGS(35) = 1;
  SPRSIZ = SprsizBlock{};
  SPRSIZ(1) = 1;
  SPRSIZ(2) = 3;
  sprnod_allocate();

  GarSizes s = gar_sizes_from_flags();
  s.ndirrows = kRows;
  s.npcsthermal = 4 * (FLAGS(flagw::NGL) + FLAGS(flagw::NGF) + FLAGS(flagw::NGR));
  gar_release_all_for_tests();
  gar_Allocate(s);

  gar_modeldirectory(1, 1) = 0;
  gar_modeldirectory(2, 1) = 1;
  gar_modeldirectory(3, 2) = nnode;
  gar_modeldirectory(4, 2) = FLAGS(flagw::NGL);
  gar_modeldirectory(5, 2) = FLAGS(flagw::NGF);
  gar_modeldirectory(6, 2) = FLAGS(flagw::NGR);
  gar_modeldirectory(14, 2) = FLAGS(19);
  gar_modeldirectory(16, 2) = nf;
  gar_modelnames.set(1, "MAIN");
  gar_submodelnames.set(1, "MAIN");
  gar_modelstatuses.set(1, "A");

  for (int i = 1; i <= nnode; ++i) {
    const NetNode& n = spec.nodes[static_cast<std::size_t>(i - 1)];
    gar_thermalnodenums(i) = i;
    gar_thermalnodelabels.set(i, "NODE " + std::to_string(i));
    gar_thermalnodestatuses.set(i, std::string(1, n.status));
    gar_thermalnodestatusescopy.set(i, std::string(1, n.status));
    gar_thermalnodetemps(i) = n.T;
    gar_thermalnodecapacitances(i) = n.C;
    gar_thermalnodeheatsourcesinternal(i) = n.q;
  }
  for (const NetTie& t : spec.ties)
    for (int target : t.targets) gar_thermalnodestatuses.set(target, "C");
  for (int k = 1; k <= nf; ++k) {
    gar_fluidnodenums(k) = 1000 + k;
    gar_fluidnodelabels.set(k, "FLUID " + std::to_string(k));
    gar_fluidnodestatuses.set(k, "F");
    gar_fluidnodetemps(k) = spec.fluid_temps[static_cast<std::size_t>(k - 1)];
  }
  auto fill = [](const std::vector<NetConductor>& conds, gar::R64& values, gar::C1& acts) {
    for (std::size_t k = 0; k < conds.size(); ++k) {
      values(static_cast<std::int64_t>(k) + 1) = conds[k].value;
      acts.set(static_cast<std::int64_t>(k) + 1, std::string(1, conds[k].act));
    }
  };
  fill(spec.gl, gar_linearconds, gar_linearcondacts);
  fill(spec.gr, gar_radiativeconds, gar_radiativecondacts);
  fill(spec.gf, gar_fluidicconds, gar_fluidiccondacts);

  for (std::size_t k = 0; k < pcs.size(); ++k) gar_pcsthermalold(static_cast<std::int64_t>(k) + 1) = pcs[k];
  for (std::size_t k = 0; k < ptr.size(); ++k) gar_pcsptrsthermalold(static_cast<std::int64_t>(k) + 1) = ptr[k];

  // Record form: per node not tied to a source, the three runs copied in
  // order, following the jumps of the packed form.
  std::int32_t write = 1;
  for (int i = 1; i <= nnode; ++i) {
    if (gar_thermalnodestatuses(i)[0] == 'C') continue;
    std::int64_t p = gar_pcsptrsthermalold(i);
    for (int kind = 1; kind <= 3; ++kind) {
      gar_pcsptrsthermal(2 * kind - 1, i) = write;
      std::int32_t count = 0;
      for (;;) {
        const std::int32_t w = gar_pcsthermalold(p);
        if (w > 0) {
          gar_pcsthermal(write) = w;
          gar_pcsthermal(write + 1) = gar_pcsthermalold(p + 1);
          write += 2;
          ++count;
          p += 2;
        } else if (w < 0) {
          p = -w;
        } else {
          ++p;
          break;
        }
      }
      gar_pcsptrsthermal(2 * kind, i) = count;
    }
  }

  std::int32_t info_at = 1, value_at = 1;
  for (std::size_t a = 0; a < spec.events.size(); ++a) {
    const NetEvents& e = spec.events[a];
    const auto n = static_cast<std::int32_t>(e.values.size());
    const auto k = static_cast<std::int64_t>(a) + 1;
    gar_arraynames.set(k, "EVENTS" + std::to_string(k));
    gar_arrayinfopointers(k) = info_at;
    gar_arrayinfolist(info_at) = e.form;
    gar_arrayinfolist(info_at + 1) = n;
    gar_arrayinfolist(info_at + 2) = value_at;
    gar_arrayinfolist(info_at + 3) = 1;
    gar_arrayinfolist(info_at + 4) = n;
    for (double v : e.values) gar_arrayvaluesreal(value_at++) = v;
    info_at += 5;
  }

  SLDINC();
  // Print unit 6, 60 lines per page, first page.
  for (int w = 1; w <= 6; ++w) PRTINF(w) = std::array<std::int32_t, 6>{60, 1, 6, 1, 0, 0}[static_cast<std::size_t>(w - 1)];
  GLOI.MODEL = 1;
  GLOI.MLEVEL = 0;
  GLOI.MSHORT = 0;
  GLOI.TRACE = 0;
  GLOI.LENGTH = 60;
  GLOI.WIDTH = 132;
  set_transient_constants();
  register_model_blocks(ModelBlocks{});
  stat_setstatst(0);
  model_tree_reset_for_tests();
  Lschnd_clear_cache();
  messages_reset_for_tests();
  // The runtime's hooks, as MAINA fills them in a program.
  install_run_hooks();
}

}  // namespace kalvir::test
