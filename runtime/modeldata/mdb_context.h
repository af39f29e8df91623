// State that the MDB load carries from one section of a submodel block to the
// next, and the layout of the integer dynamic core while the load uses it as
// scratch space.
//
// The load is one pass over the file: the header, then one block per
// submodel. What a block's later sections need from its earlier ones (the
// count table, the counts of inter-model conductors, the pair counts, the
// fluid coupling counts) and what runs across blocks (the ARRAY store
// positions, the connection-list words in use) lives here instead of in long
// argument lists.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "runtime/control/global_arrays.h"
#include "runtime/platform/arrays.h"

namespace kalvir::mdb {

// Rows of the model directory.
inline constexpr std::int32_t kDirRows = 18;

// Pointer words at the head of the integer dynamic core during the load; word
// 12 is the first word of the first area.
namespace dcw {
inline constexpr int LINSTART = 1;    // start of the linear link area
inline constexpr int LINUSED = 2;     // words in use there
inline constexpr int RADSTART = 3;    // start of the radiative link area
inline constexpr int RADUSED = 4;
inline constexpr int FLUSTART = 5;    // start of the fluidic link area (flush against LINKEND)
inline constexpr int FLUUSED = 6;
inline constexpr int LINKEND = 7;     // end of the three link areas; list 66 is read from here
inline constexpr int TIESTART = 8;    // tie area (list 35 of the main model)
inline constexpr int FLINKSTART = 9;  // fluid link area
inline constexpr int FLINKUSED = 10;
inline constexpr int WORKSTART = 11;  // work space of the connection-list builders
inline constexpr int FIRSTAREA = 12;
}  // namespace dcw

// Conductor kinds in the order the connection lists hold them.
enum Kind : int { kLinear = 0, kRadiative = 1, kFluidic = 2 };
inline constexpr int kKinds = 3;
// Model-directory rows of the three kinds.
inline constexpr std::array<int, kKinds> kKindRow{4, 6, 5};

// Words of list 66 used by the load.
inline constexpr std::int32_t kList66Words = 205;

// List 109 of the main model's block, among the lists the load skips: the
// counts of the model's real, integer and character node attributes, which
// the model program states in SPRSIZ. A file without it (one that no writer
// of ours made) leaves those words unchecked.
inline constexpr std::int32_t kAttributeCountList = 109;
inline constexpr std::int32_t kAttributeCountWords = 3;

struct LoadContext {
  std::int32_t unit = 10;
  std::int32_t isub = 0;  // submodel being loaded

  Array2<std::int32_t> counts{2, 290};  // count table of the block
  Array2<std::int32_t> skips{3, 43};    // skip table from list 66

  // ARRAY store positions: 1-4 used so far (info list, integer, real,
  // character values), 5-8 the same after the current submodel.
  std::array<std::int32_t, 9> storepos{};  // index 1..8

  std::int32_t npcs = 0;   // words in use in gar_pcsthermalold
  std::int32_t nfpcs = 0;  // words in use in gar_pcsfluid

  // Per block, handed from section to section.
  std::array<std::int32_t, kKinds> nx{};         // inter-model conductors (lists 22-24)
  std::array<std::int32_t, kKinds> pairwords{};  // words of lists 69-71
  std::array<std::int32_t, kKinds> coupling{};   // fluid coupling counts (list 66 words 70-72)
  std::int32_t quadwords = -1;                   // words of list 224, -1 when absent
  bool local_pcs = false;                        // SPCSA built a local list
  std::int32_t local_pcs_words = 0;
  bool local_fpcs = false;                       // SFPCSA built a local list
  std::int32_t local_fpcs_words = 0;

  std::int32_t tiewords = 0;  // words of list 35 read into the tie area

  std::string section;  // names the step that failed

  bool present(std::int32_t list) const { return counts(2, list) != 0; }
  void begin_block(std::int32_t i) {
    isub = i;
    nx = {};
    pairwords = {};
    coupling = {};
    quadwords = -1;
    local_pcs = local_fpcs = false;
    local_pcs_words = local_fpcs_words = 0;
  }
};

// The fatal message for a dynamic core too small by SHORTFALL words while the
// load is DOING something; it names the DYSTOR to ask for.
std::string dystor_message(std::string_view doing, std::int64_t shortfall);

// The integer dynamic core and its pointer words.
inline std::span<std::int32_t> dcore() { return gar_dynamiccoreint.span(); }
inline std::int32_t& dc(std::int64_t word) { return gar_dynamiccoreint(word); }

// Model directory entry of the submodel being loaded (column isub) and of the
// next column.
inline std::int32_t& dir(int row, std::int32_t col) { return gar_modeldirectory(row, col); }

}  // namespace kalvir::mdb
