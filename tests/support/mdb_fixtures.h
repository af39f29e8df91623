// Fixtures of the model-database tests: run state set up for a model written
// by the MDB writer, a load of the file in-process with its printed output,
// walks of the loaded connection lists, and a few small models.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <span>
#include <string_view>
#include <vector>

#include "runtime/control/flags.h"
#include "tests/support/test_support.h"
#include "tools/mdb_writer.h"

namespace kalvir::test {

// FLAGS, SPRSIZ, the global arrays, the local control-constant blocks, the
// control constants, JOBINF's model name, the print state and the message
// counters as the start-up leaves them for a model of these sizes; ACD the
// ARRAY value counts that the start-up driver added to FLAGS words 20 and 21.
void reset_run_state(const mdbw::Sizes& sizes, std::string_view model_name, const AcdArrayCounts& acd = {});

struct LoadOutcome {
  int status = -1;         // exit status of the run (0 when the load returned)
  std::int32_t ierr = -1;  // SCOMLD's status, when it returned
  std::string printed;     // what went to unit 6
};

// The printed frames with their continuation lines joined, so that a message
// text can be found whole however the frame wrapped it.
std::string joined_frames(const std::string& printed);

// The MDB file name of a model name ("<first 8>.MDB").
std::string mdb_file_name(std::string_view model_name);

// Writes `image` as the MDB file of `model_name` into dir, sets the run state
// from `sizes` (and `acd`, as reset_run_state) and runs SCOMLD on unit 10
// with dir as working directory.
LoadOutcome load_image(const mdbw::MdbImage& image, const mdbw::Sizes& sizes, std::string_view model_name,
                       const TempDir& dir, const AcdArrayCounts& acd = {});
// The same for the bytes of a file as they lie on disk.
LoadOutcome load_bytes(const std::vector<std::byte>& bytes, const mdbw::Sizes& sizes, std::string_view model_name,
                       const TempDir& dir, const AcdArrayCounts& acd = {});
// The same for a model description.
LoadOutcome load_model(const mdbw::Model& model, const TempDir& dir);
// Loads a model description that must load: a failed load fails the test.
void load_ok(const mdbw::Model& model, const TempDir& dir);
// Whether the printed frames of a load mention text.
bool mentions(const LoadOutcome& r, std::string_view text);

// Word `word` (1-4) of the header record of list `list` of submodel `isub`
// := value.
void set_list_header(mdbw::MdbImage& image, std::int32_t isub, std::int32_t list, int word, std::int32_t value);
// Integer `word` (1-based) of record `index` := value.
void set_record_word(mdbw::MdbImage& image, std::size_t index, std::size_t word, std::int32_t value);

// One entry of a node's connection list: kind (1 linear, 2 radiative,
// 3 fluidic; fluid lists: 1 links, 2-4 the conductors), neighbour, conductor.
struct Entry {
  std::int32_t kind;
  std::int32_t node;
  std::int32_t cond;
  friend bool operator==(const Entry&, const Entry&) = default;
};
// Every entry of a thermal node's packed lists (STUNPK, all entries).
std::vector<Entry> thermal_entries(std::int32_t node);
// Every entry of a fluid node's list (SFUNPK, all entries).
std::vector<Entry> fluid_entries(std::int32_t fluid_node);
// The record form of a thermal node: its entries by kind.
std::vector<Entry> record_entries(std::int32_t node);

// Words first..first+n-1 of an integer global array.
std::vector<std::int32_t> words(std::span<const std::int32_t> a, std::int64_t first, std::int64_t n);

// A thermal node with just a number and label (the other values 0).
mdbw::ThermalNode tnode(std::int32_t number, double temperature = 0.0);
mdbw::FluidNode fnode(std::int32_t number);

// The main model alone with nodes 10, 20, 30: GL 1 (10, 20), GL 2 (10, 30).
mdbw::Model three_node_model();

// A model of two submodels: the main model (nodes 1, 2, 3) and SUB1 (nodes
// 10, 20, 30, 40) with own conductors in both, an inter-model GL between
// them, a tie group and an alias; small enough to check by hand.
mdbw::Model two_submodel_model();

// two_submodel_model with user constants: main reals R1 1, R2 2 and integer
// I1 11; SUB1 reals R1 3, R2 4, R3 5, integer I1 12 and characters C1 HELLO,
// C2 WORLD.
mdbw::Model user_constant_model();

// Everything the file can hold at once: three submodels with thermal and
// fluid nodes, all conductor kinds own and inter-model, view factors, ties,
// aliases, user constants of the three kinds, ARRAYs, mass-flow links own and
// inter-model, control constants, and a skipped block.
mdbw::Model full_model();

}  // namespace kalvir::test
