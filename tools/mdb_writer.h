// Writes model database (MDB) files from a small in-memory model description,
// in exactly the layout the loader reads, and works out the FLAGS and SPRSIZ
// words that a model program generated for the same model would store.
//
// The description is taken as given: node numbers must ascend within each
// submodel, conductor pairs must be sorted by their first node, user-constant
// names by name within each kind; the writer does not sort or check. That
// also lets tests write files that break these rules on purpose.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>
#include <optional>
#include <string>
#include <vector>

namespace kalvir::mdbw {

// The marker of a value the model never set.
inline constexpr std::int32_t kUndefinedInt = 2147483647;
// A double whose low-order word is the marker.
double undefined_real();

struct ThermalNode {
  std::int32_t number = 0;
  std::string label;
  double T = 0.0, C = 0.0;
  double QA = 0.0, QE = 0.0, QI = 0.0, QS = 0.0, QR = 0.0;
  double A = 0.0, ALP = 0.0, EPS = 0.0;
  char status = 'D';
  double QAI = 0.0, QEI = 0.0, QSI = 0.0;
  double FX = 0.0, FY = 0.0, FZ = 0.0;
};

// A conductor of the submodel itself: its two user node numbers (a fluidic
// pair may carry a negative number), its value and activity letter.
struct Conductor {
  std::int32_t n1 = 0, n2 = 0;
  double value = 0.0;
  char act = 'A';
};

// An inter-model conductor or link: each end as (submodel offset from the
// declaring submodel, user node number).
struct InterEnd {
  std::int32_t offset = 0;
  std::int32_t node = 0;
};
struct InterConductor {
  InterEnd end1, end2;
  double value = 0.0;
  char act = 'A';
};

// The defaults make a valid fluid-loop node: a free node (status F) whose
// state is given by pressure and temperature (FST "P&T").
struct FluidNode {
  std::int32_t number = 0;
  std::string label;
  std::string fluid = "WATER";
  char status = 'F';
  double A = 0.0, FD = 0.0, FL = 0.0, P = 0.0, FE = 0.0, T = 0.0, FF = 0.0, FQ = 0.0, FM = 0.0, FH = 0.0,
         FR = 0.0, FX = 0.0, FY = 0.0, FZ = 0.0;
  double VQ = 0.0, FLA = 0.0, VOL = 0.0, PHI = 0.0, FW = 0.0, CMP = 0.0, VDT = 0.0;
  std::string FRG = "    ", FST = "P&T ";
};

struct MassFlowLink {
  std::int32_t n1 = 0, n2 = 0;
  double flow = 0.0, gp = 0.0;
  char status = 'A';
};
struct InterLink {
  InterEnd end1, end2;
  double flow = 0.0, gp = 0.0;
  char status = 'A';
};

template <class T>
struct Named {
  std::string name;
  T value{};
};

// ARRAYs as the file holds them: four groups of names (lists 52, 53, 54, 64)
// with the start of each one's entry in the info list (lists 56, 57, 58, 65),
// the info entries (list 55) and the value stores (59, 60, 61), all positions
// counted from 1 within the submodel.
struct Arrays {
  std::array<std::vector<std::string>, 4> names;
  std::array<std::vector<std::int32_t>, 4> starts;
  std::vector<std::int32_t> info;
  std::vector<std::int32_t> ints;
  std::vector<double> reals;
  std::string chars;  // the packed character values (elements of 133)

  // A real ARRAY (entry kind 2) in name group `group` (0..3), of the
  // dimensions `dims` (empty: one dimension of all the values; their product
  // must be the number of values); returns its entry's start.
  std::int32_t add_real(const std::string& name, const std::vector<double>& values, int group = 0,
                        const std::vector<std::int32_t>& dims = {});
  // An integer ARRAY (entry kind 1).
  std::int32_t add_int(const std::string& name, const std::vector<std::int32_t>& values, int group = 0,
                       const std::vector<std::int32_t>& dims = {});
  // A character ARRAY (entry kind 3): its values packed one after the other,
  // each ended by a NUL, its start the position of its first character.
  std::int32_t add_char(const std::string& name, const std::vector<std::string>& values, int group = 0,
                        const std::vector<std::int32_t>& dims = {});
  bool empty() const;

 private:
  std::int32_t add_entry(const std::string& name, const std::vector<std::int32_t>& entry, int group);
};

struct Alias {
  std::string name;
  std::int32_t node = 0;
};

struct Submodel {
  std::string name;      // full name (record 3)
  std::string acd_name;  // name in the ACD file (record 4); the name when empty
  std::int32_t level = 0;
  std::vector<ThermalNode> nodes;
  std::vector<Conductor> gl, gr, gf, gv;
  // Values of the full radiative triangle that goes with view-factor
  // conductors (n(n-1)/2 of them; missing ones are 0).
  std::vector<double> triangle_values;
  std::vector<InterConductor> xgl, xgr, xgf;
  std::vector<FluidNode> fluid;
  std::vector<MassFlowLink> links;
  std::vector<InterLink> xlinks;
  std::vector<Named<double>> real_constants;
  std::vector<Named<std::int32_t>> int_constants;
  std::vector<Named<std::string>> char_constants;
  Arrays arrays;
  std::vector<Alias> aliases;
  std::array<std::optional<std::int32_t>, 2> local_ints;  // NODES, NODESM
  // Item counts of the block that follows this one in the file (43 rows);
  // the loader only skips it.
  std::array<std::int32_t, 43> skip_counts{};
};

// A tie group: source and targets as (submodel number, user node number).
struct TieGroup {
  std::array<std::int32_t, 2> source{};
  std::vector<std::array<std::int32_t, 2>> targets;
};

struct Model {
  std::string name = "TESTMODEL";
  std::int32_t version = 20;
  std::vector<Submodel> submodels;  // in pre-order of the tree; [0] is the main model
  std::vector<TieGroup> ties;
  // Global control constants in storage order; unset ones carry the marker.
  std::array<std::optional<double>, 49> glor;
  std::array<std::optional<std::int32_t>, 25> gloi;
  // Names of the user-defined node attributes of the model: real, integer,
  // character (the model program holds them, the load gives every node the
  // value 0 or blanks; the file holds their counts, in list 109 of the main
  // model, for the load to check the program's SPRSIZ words against).
  std::array<std::vector<std::string>, 3> attributes;
  // 0: a DYSTOR comfortably above what the load needs.
  std::int32_t dystor = 0;
  // Words added to the computed lengths of the packed thermal and the fluid
  // connection lists (the preprocessor leaves some room).
  std::int32_t pcs_slack = 20;
  std::int32_t fpcs_slack = 20;
  // When above 0, integer and real lists longer than this many values are
  // written continued, in numbered blocks of at most this many values.
  std::int32_t block_values = 0;
};

// The words the model program stores for the model.
struct Sizes {
  std::array<std::int32_t, 41> flags{};  // FLAGS(1..41) at [0..40]
  std::array<std::int32_t, 5> sprsiz{};
  std::array<std::vector<std::string>, 3> attribute_names;  // SPRNOD: real, integer, character
};
Sizes model_sizes(const Model& model);

// The file's records in order (bodies without their framing).
struct MdbImage {
  std::vector<std::vector<std::byte>> records;
  // Where things are, for tests that spoil a file on purpose: the header
  // record of list `list` of submodel `isub` (1-based) and the section marker
  // that ends each submodel block.
  std::map<std::pair<std::int32_t, std::int32_t>, std::size_t> list_headers;
  std::vector<std::size_t> block_markers;
  // The file as it lies on disk: every record framed by its 4-byte length.
  std::vector<std::byte> bytes() const;
  // Writes bytes() to path; false when that fails.
  bool save(const std::string& path) const;
};
MdbImage build_mdb(const Model& model);

// "FLAGS  1..." and "SPRSIZ ..." lines of the sizes, as a model program's
// constants would list them.
std::string describe_sizes(const Sizes& sizes);

}  // namespace kalvir::mdbw
