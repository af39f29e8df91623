// A small model built by hand in the global arrays: submodel tree, thermal
// and fluid nodes with labels and statuses, aliases, conductors of every kind
// with their packed connection lists (thermal and fluid), node ties and user
// attributes, so that the entity lookups can be tested without an MDB file.
// Its users read the messages back with message_frames.h, included here.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/message_frames.h"

namespace kalvir::test {

// A conductor or mass-flow link between two user node numbers of its own
// submodel (thermal numbers are looked up first, then fluid numbers).
struct PairSpec {
  int from;
  int to;
};

struct SubmodelSpec {
  std::string name{};
  int level = 0;                      // 0 for the main model, pre-order of the tree
  std::vector<int> thermal{};         // user numbers, ascending
  std::vector<std::string> labels{};  // per thermal node; default "NODE <n>"
  std::string statuses{};             // per thermal node; default 'D'
  std::vector<int> fluid{};           // user numbers, ascending
  std::vector<std::string> fluid_labels{};
  std::vector<std::pair<std::string, int>> aliases{};  // any order; stored sorted
  std::vector<PairSpec> gl{}, gr{}, gf{}, gv{}, links{};
  char status = 'A';
};

// A tie group of internal node indices.
struct TieSpec {
  int source;
  std::vector<int> targets;
};

struct ModelSpec {
  std::vector<SubmodelSpec> submodels;
  std::vector<TieSpec> ties;
  std::vector<std::string> real_attributes, int_attributes, char_attributes;
};

// Releases and re-allocates the global arrays and fills them from spec; sets
// FLAGS, SPRSIZ, SPRNOD, MODEL = 1, clears the message counters, the
// status-change flag, the node-to-submodel map and the node list cache.
// Node temperatures are 100 + internal index, capacitances 1000 + index, QI
// 10 + index; conductor k of each kind has the value k + kind / 10.
void build_model(const ModelSpec& spec);

// Releases the global arrays and builds only a submodel tree of thermal nodes
// (name, level and user numbers of each submodel: enough for the texts that
// name a node): FLAGS NNODE and NSUB, model directory rows 1-3, model names and
// node numbers; everything else stays zero.
void build_node_tree(const std::vector<SubmodelSpec>& submodels);

// Releases the global arrays, forgets the submodel tree and clears FLAGS.
void release_model();

// MAIN (nodes 1-6, with fluid nodes 101-102), its child SUB1 (nodes 1-5,
// conductors), SUB1's child SUB2 (nodes 1-4); see model_fixture.cpp.
ModelSpec three_submodel_model();

// Internal index of user node `user` of submodel `sub` (thermal first).
int internal_node(int sub, int user);

}  // namespace kalvir::test
