#include "tests/support/mdb_fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "runtime/control/control_constants.h"
#include "runtime/control/file_names.h"
#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/messages.h"
#include "runtime/control/shared_blocks.h"
#include "runtime/modeldata/fpcs.h"
#include "runtime/modeldata/mdb_loader.h"
#include "runtime/modeldata/model_tree.h"
#include "runtime/modeldata/node_groups.h"
#include "runtime/modeldata/pcs.h"
#include "runtime/platform/process.h"
#include "runtime/program/run_hooks.h"

namespace kalvir::test {

void reset_run_state(const mdbw::Sizes& sizes, std::string_view model_name, const AcdArrayCounts& acd) {
  for (int k = 1; k <= 41; ++k) FLAGS(k) = sizes.flags[static_cast<std::size_t>(k - 1)];
  for (int k = 1; k <= 5; ++k) SPRSIZ(k) = sizes.sprsiz[static_cast<std::size_t>(k - 1)];
  acd_array_counts() = acd;
  gar_release_all_for_tests();
  gar_Allocate(gar_sizes_from_flags());
  loc_allocate();
  sprnod_allocate();
  for (std::size_t g = 0; g < sizes.attribute_names.size(); ++g)
    for (std::size_t k = 0; k < sizes.attribute_names[g].size(); ++k)
      SPRNOD(static_cast<std::int64_t>(k) + 1, static_cast<std::int64_t>(g) + 1) = sizes.attribute_names[g][k];
  GLOR = GlorBlock{};
  GLOI = GloiBlock{};
  SLDINC();
  JOBINF.model = model_name;
  PRTINF = PrtinfBlock{};
  messages_reset_for_tests();
  model_tree_reset_for_tests();
  Lschnd_clear_cache();
  // The runtime's hooks, as MAINA fills them in a program.
  install_run_hooks();
}

std::string joined_frames(const std::string& printed) {
  const std::string continuation = "\n@" + std::string(26, ' ');
  std::string out = printed;
  for (std::size_t p = out.find(continuation); p != std::string::npos; p = out.find(continuation, p)) {
    out.erase(p, continuation.size());
  }
  return out;
}

std::string mdb_file_name(std::string_view model_name) {
  char name[32];
  std::int32_t ierr = 0;
  SFLNAM(padded(model_name, 24), 1, CharRowsMut(name, sizeof name, 1), ierr);
  return std::string(trim_right(std::string_view(name, sizeof name)));
}

LoadOutcome load_image(const mdbw::MdbImage& image, const mdbw::Sizes& sizes, std::string_view model_name,
                       const TempDir& dir, const AcdArrayCounts& acd) {
  return load_bytes(image.bytes(), sizes, model_name, dir, acd);
}

LoadOutcome load_bytes(const std::vector<std::byte>& bytes, const mdbw::Sizes& sizes, std::string_view model_name,
                       const TempDir& dir, const AcdArrayCounts& acd) {
  LoadOutcome out;
  {
    std::ofstream f(dir.file(mdb_file_name(model_name)), std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  reset_run_state(sizes, model_name, acd);
  const ScopedCwd cwd(dir.path());
  Unit6Capture capture;
  out.status = platform::run_program([&] { SCOMLD(10, out.ierr); });
  out.printed = capture.finish();
  return out;
}

LoadOutcome load_model(const mdbw::Model& model, const TempDir& dir) {
  return load_image(mdbw::build_mdb(model), mdbw::model_sizes(model), model.name, dir);
}

void load_ok(const mdbw::Model& model, const TempDir& dir) {
  const LoadOutcome r = load_model(model, dir);
  ASSERT_EQ(r.status, 0) << r.printed;
  ASSERT_EQ(r.ierr, 0) << r.printed;
}

bool mentions(const LoadOutcome& r, std::string_view text) {
  return joined_frames(r.printed).find(text) != std::string::npos;
}

void set_record_word(mdbw::MdbImage& image, std::size_t index, std::size_t word, std::int32_t value) {
  auto& r = image.records.at(index);
  const auto u = static_cast<std::uint32_t>(value);
  for (std::size_t b = 0; b < 4; ++b) r.at(4 * (word - 1) + b) = static_cast<std::byte>((u >> (8 * b)) & 0xFFU);
}

void set_list_header(mdbw::MdbImage& image, std::int32_t isub, std::int32_t list, int word, std::int32_t value) {
  set_record_word(image, image.list_headers.at({isub, list}), static_cast<std::size_t>(word), value);
}

std::vector<Entry> thermal_entries(std::int32_t node) {
  std::vector<Entry> out;
  std::int32_t kind = 0, pos = 0, cond = 0, neighb = 0;
  do {
    STUNPK(1, FLAGS(flagw::NNODE), node, gar_thermalnodestatuses, gar_pcsthermalold.span(),
           gar_pcsptrsthermalold.span(), kind, pos, cond, neighb);
    if (pos != 0) out.push_back({kind, neighb, cond});
  } while (pos != 0);
  return out;
}

std::vector<Entry> fluid_entries(std::int32_t fluid_node) {
  std::vector<Entry> out;
  std::int32_t kind = 0, pos = 0, cond = 0, neighb = 0;
  do {
    SFUNPK(1, fluid_node, gar_thermalnodestatuses, gar_pcsfluid.span(), gar_pcsptrsfluid.span(), kind, pos, cond,
           neighb);
    if (pos != 0) out.push_back({kind, neighb, cond});
  } while (pos != 0);
  return out;
}

std::vector<Entry> record_entries(std::int32_t node) {
  std::vector<Entry> out;
  for (std::int32_t k = 1; k <= 3; ++k) {
    const std::int32_t start = gar_pcsptrsthermal(2 * k - 1, node), count = gar_pcsptrsthermal(2 * k, node);
    for (std::int32_t e = 0; e < count; ++e)
      out.push_back({k, gar_pcsthermal(start + 2 * e), gar_pcsthermal(start + 2 * e + 1)});
  }
  return out;
}

std::vector<std::int32_t> words(std::span<const std::int32_t> a, std::int64_t first, std::int64_t n) {
  return {a.begin() + (first - 1), a.begin() + (first - 1 + n)};
}

mdbw::ThermalNode tnode(std::int32_t number, double temperature) {
  mdbw::ThermalNode t;
  t.number = number;
  t.label = "NODE " + std::to_string(number);
  t.T = temperature;
  return t;
}

mdbw::FluidNode fnode(std::int32_t number) {
  mdbw::FluidNode f;
  f.number = number;
  f.label = "FLUID " + std::to_string(number);
  return f;
}

mdbw::Model three_node_model() {
  mdbw::Model m;
  m.name = "THREENODE";
  mdbw::Submodel s;
  s.name = "THREENODE";
  s.nodes = {tnode(10, 20.0), tnode(20, 21.0), tnode(30, 22.0)};
  s.gl = {{10, 20, 1.5}, {10, 30, 2.5}};
  m.submodels.push_back(s);
  return m;
}

mdbw::Model two_submodel_model() {
  mdbw::Model m;
  m.name = "TWOSUB";
  mdbw::Submodel main;
  main.name = "TWOSUB";
  main.nodes = {tnode(1, 10.0), tnode(2, 20.0), tnode(3, 30.0)};
  main.gl = {{1, 2, 0.5}, {2, 3, 0.25}};
  main.gr = {{1, 3, 1e-3}};
  main.xgl = {{{0, 3}, {1, 10}, 4.0}};  // main node 3 to SUB1 node 10
  main.aliases = {{"TOP", 1}};
  mdbw::Submodel sub;
  sub.name = "SUB1";
  sub.level = 1;
  sub.nodes = {tnode(10, 1.0), tnode(20, 2.0), tnode(30, 3.0), tnode(40, 4.0)};
  sub.gl = {{10, 20, 1.0}, {20, 30, 2.0}, {30, 40, 3.0}};
  m.submodels = {main, sub};
  // SUB1 node 40 follows main node 1.
  m.ties = {{{1, 1}, {{2, 40}}}};
  return m;
}

mdbw::Model user_constant_model() {
  mdbw::Model m = two_submodel_model();
  m.submodels[0].real_constants = {{"R1", 1.0}, {"R2", 2.0}};
  m.submodels[0].int_constants = {{"I1", 11}};
  m.submodels[1].real_constants = {{"R1", 3.0}, {"R2", 4.0}, {"R3", 5.0}};
  m.submodels[1].int_constants = {{"I1", 12}};
  m.submodels[1].char_constants = {{"C1", "HELLO"}, {"C2", "WORLD"}};
  return m;
}

mdbw::Model full_model() {
  mdbw::Model m = two_submodel_model();
  m.name = "FULLMODEL";
  mdbw::Submodel& main = m.submodels[0];
  main.name = "FULLMODEL";
  main.gv = {{1, 2, 0.1}, {2, 3, 0.2}};
  main.triangle_values = {0.5, 0.6, 0.7};
  main.gf = {{1, 2, 0.3}};
  main.xgr = {{{1, 20}, {0, 2}, 1e-4}};
  main.xgf = {{{0, 1}, {2, 301}, 0.4}};
  main.xlinks = {{{1, 101}, {2, 301}, 0.02}};
  main.real_constants = {{"ALPHA", 1.5}, {"BETA", 2.5}};
  main.int_constants = {{"COUNT", 3}};
  main.char_constants = {{"LABEL", "SOLAR PANEL"}};
  main.arrays.add_real("TABLE", {1, 2, 3, 4});
  main.arrays.add_int("STEPS", {5, 6});
  main.local_ints = {1, 2};
  main.skip_counts[3] = 40;
  m.gloi[5] = 60;
  m.glor[16] = 0.0;
  mdbw::Submodel& sub = m.submodels[1];
  sub.fluid = {fnode(101), fnode(102)};
  sub.links = {{101, 102, 0.01}};
  sub.gl.push_back({40, 101, 0.9});
  sub.real_constants = {{"GAMMA", 0.5}};
  sub.arrays.add_real("CURVE", {0.0, 1.0});
  sub.aliases = {{"LEFT", 10}, {"RIGHT", 40}};
  mdbw::Submodel third;
  third.name = "SUB2";
  third.level = 2;
  third.nodes = {tnode(5), tnode(6)};
  third.fluid = {fnode(301)};
  third.gl = {{5, 6, 1.0}};
  third.xgl = {{{0, 5}, {-1, 30}, 0.7}};
  m.submodels.push_back(third);
  m.ties.push_back({{3, 5}, {{3, 6}}});
  return m;
}

}  // namespace kalvir::test
