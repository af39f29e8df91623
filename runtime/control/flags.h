// The model's sizes: shared blocks FLAGS and SPRSIZ, the user-attribute names
// SPRNOD, and the accessors of gfl_GlobalFlags_m with the model name.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/platform/arrays.h"
#include "runtime/platform/fixed_string.h"

// 41 words counted from 1, as every routine cites them: FLAGS(1) is NNODE.
struct FlagsBlock {
  std::array<std::int32_t, 41> w{};
  std::int32_t& operator()(int word) noexcept {
    KALVIR_CHECK_INDEX(word >= 1 && word <= 41, "FLAGS");
    return w[static_cast<std::size_t>(word - 1)];
  }
  std::int32_t operator()(int word) const noexcept {
    KALVIR_CHECK_INDEX(word >= 1 && word <= 41, "FLAGS");
    return w[static_cast<std::size_t>(word - 1)];
  }
};
extern FlagsBlock FLAGS;

// Short names of the FLAGS words that the routines cite most.
namespace flagw {
inline constexpr int NNODE = 1, NGL = 2, NGF = 3, NGR = 4, NGV = 5;
inline constexpr int NTIELEN = 25, NSUB = 26, CHARLEN = 27, DYSTOR = 28;
inline constexpr int NEXTREAL = 29, CONDOFF = 30, NF = 32, NM = 33, NEXTINT = 36;
}  // namespace flagw

// User-defined node attribute sizes: leading dimension of SPRNOD, group count
// (3), character, integer and real attribute counts.
struct SprsizBlock {
  std::array<std::int32_t, 5> w{};
  std::int32_t& operator()(int word) noexcept {
    KALVIR_CHECK_INDEX(word >= 1 && word <= 5, "SPRSIZ");
    return w[static_cast<std::size_t>(word - 1)];
  }
  std::int32_t operator()(int word) const noexcept {
    KALVIR_CHECK_INDEX(word >= 1 && word <= 5, "SPRSIZ");
    return w[static_cast<std::size_t>(word - 1)];
  }
};
extern SprsizBlock SPRSIZ;

namespace kalvir {
// The ARRAY value counts of the ACD file that the start-up driver added to
// FLAGS words 20 (real values) and 21 (integer index values) before the
// allocation: the MDB file's own counts are the words without them.
struct AcdArrayCounts {
  std::int32_t real_values = 0;
  std::int32_t index_values = 0;
};
AcdArrayCounts& acd_array_counts();
}  // namespace kalvir

// SPRNOD(k, g): 18-character name of attribute k of group g (1 real, 2 integer,
// 3 character); sized SPRSIZ(1) x 3 by sprnod_allocate, and filled by the
// start-up from the names the model program gave.
extern kalvir::Array2<kalvir::Chars<18>> SPRNOD;
void sprnod_allocate();

// The user attribute names of the model, which the model program's main
// routine gives with the SPRSIZ words, before MAINA: the real, the integer
// and the character attributes, each group in the order of its values (the
// order of the model's attribute declarations). A model without attributes
// gives none.
void sprnod_setnames(std::span<const std::string_view> REAL, std::span<const std::string_view> INTEGER,
                     std::span<const std::string_view> CHARACTER);
// The names given, group by group (index 0 real, 1 integer, 2 character).
const std::array<std::vector<std::string>, 3>& sprnod_givennames();

// gfl_GlobalFlags_m
std::int32_t gfl_getnumthermalnodes();
std::int32_t gfl_getnumlinearconds();
std::int32_t gfl_getnumfluidicconds();
std::int32_t gfl_getnumradiativeconds();
std::int32_t gfl_getnumvfacconds();
std::int32_t gfl_getnumrealuserconstants();
std::int32_t gfl_getnumintegeruserconstants();
std::int32_t gfl_getnumcharuserelements();
std::int32_t gfl_getnumcharuserconstants();
std::int32_t gfl_getnumcclocalreal();
std::int32_t gfl_getnumcclocalint();
std::int32_t gfl_getnumccglobalreal();
std::int32_t gfl_getnumccglobalint();
std::int32_t gfl_getnumalluserconstants();
std::int32_t gfl_getnumallcontrolconstants();
std::int32_t gfl_getlenarrayinfolist();
std::int32_t gfl_getnumallarrays();
std::int32_t gfl_getnumrealarrayelements();
std::int32_t gfl_getnumintegerarrayelements();
std::int32_t gfl_getnumchararrayelements();
std::int32_t gfl_getlenpcsthermalold();
std::int32_t gfl_getnumsubmodels();
std::int32_t gfl_getlendynamiccore();
std::int32_t gfl_getnumfluidnodes();
std::int32_t gfl_getnummassflowlinks();
std::int32_t gfl_getlenpcsfluid();
std::int32_t gfl_getnumnodealiases();
// 4 x (NGL + NGF + NGR): each conductor entered from both ends as a word pair.
std::int32_t gfl_getlenpcsthermal();
// The number of nodal entity kinds, whatever the model.
std::int32_t gfl_getnumnodalentities();

void gfl_setnumrealarrayelements(std::int32_t n);
void gfl_setnumintegerarrayelements(std::int32_t n);

void gfl_setmodelname(std::string_view name);
std::string gfl_getmodelname();           // 24 characters
std::string gfl_gettruncatedmodelname();  // first 8 characters, trailing blanks kept
