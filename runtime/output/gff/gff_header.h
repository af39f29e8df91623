// The header of a GFF neutral result file and what it announces: the block
// selection from the GFF entity text (GZBLKS), the record types present with
// their running numbers, attributes and value maps (GHEADB), and the full
// submodel names that the model maps print (MODNAM).
//
// The record types and their numbers are the contract with the data lines:
// GRECDB numbers its record writers with the same record_present() test, so a
// data line always begins with the number its header announced.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "runtime/modeldata/model_tree.h"
#include "runtime/platform/fixed_string.h"

namespace kalvir::gff {

// Block flags: 1 all blocks, 2 node, 3 conductor, 4 user-constant records;
// each 0 or 1.
inline constexpr std::size_t kBlocks = 4;
using BlockFlags = std::array<std::int32_t, kBlocks>;
using BlockName = Chars<10>;
// The names GZBLKS looks for; the first, blank, stands for all blocks.
inline constexpr std::array<BlockName, kBlocks> kBlockNames{BlockName(""), BlockName("NODES"),
                                                            BlockName("CONDUCTORS"), BlockName("CONSTANTS")};

// The record types in file order.
enum class Record : std::int32_t {
  ThermalNode,
  ThermalConductor,
  FluidNode,
  FluidConductor,
  IntegerConstant,
  RealConstant,
  CharacterConstant,
};
inline constexpr std::size_t kRecords = 7;

// The model's counts that decide which record types a file holds.
struct ModelCounts {
  std::int32_t nfluid = 0;
  std::int32_t nint = 0;
  std::int32_t nreal = 0;
  std::int32_t nchar = 0;
};
// The counts of the model in memory (FLAGS words 32, 7, 6 and 9).
ModelCounts model_counts();

// True when the file holds record type `record`: its block (or all blocks) is
// selected and, for the fluid and constant records, the model has entities of
// that kind.
bool record_present(Record record, const BlockFlags& blocks, const ModelCounts& counts);

// Positions of the type letters, which are also the type codes of the data
// lines: a letter's code is its position (1-based), 0 for any other letter.
inline constexpr std::string_view kThermalTypes = "DBXC";
inline constexpr std::string_view kFluidTypes = "FJRHUIOQSVK";
inline constexpr std::string_view kActivities = "AI";
std::int32_t letter_code(std::string_view letters, char letter) noexcept;

// Longest full submodel name and most submodels MODNAM handles.
inline constexpr std::size_t kFullNameLength = 200;
inline constexpr std::int32_t kMaxSubmodels = 100;
using FullName = Chars<kFullNameLength>;

}  // namespace kalvir::gff

// FLAGS(1..) := 1 for each block name NAMES(k) (up to its last non-blank)
// found anywhere in the first LTEXT characters of TEXT (case-sensitive, so a
// name also matches inside a longer word), flag 1 := 0; a blank TEXT selects
// every block. STATUS := 0.
void GZBLKS(std::string_view TEXT, std::int32_t LTEXT, std::span<const kalvir::gff::BlockName> NAMES,
            std::span<std::int32_t> FLAGS, std::int32_t& STATUS);

// Writes the header of a GFF file on UNIT: the description lines (version,
// model name MODEL, run DATE and time of day TIME, and TITLE when it is not
// blank), the format, the section of every record type present for BLOCKS,
// and "End_Header". The submodels, user constants, fluid nodes and user node
// attributes are those of the model in memory (model directory, submodel
// names, FLAGS, SPRNOD, SPRSIZ). A line that cannot be written is fatal.
void GHEADB(std::int32_t UNIT, std::string_view DATE, std::string_view MODEL, std::string_view TIME,
            std::string_view TITLE, const kalvir::gff::BlockFlags& BLOCKS);

// FULL(m) := the names of submodel m's ancestors and of m, from the main
// model down, joined by ":", for m = 1..NSUB (FULL is resized to NSUB).
// Parents come from the nesting levels (row 1 of MODDIR). More than 100
// submodels (code 1), a level drop to a level no earlier submodel has (2), a
// level jump of more than one (3) and a name longer than 200 characters (4)
// are fatal.
void MODNAM(const kalvir::ModelDirectory& MODDIR, std::int32_t NSUB, const kalvir::ModelNames& NAMES,
            std::vector<kalvir::gff::FullName>& FULL);
