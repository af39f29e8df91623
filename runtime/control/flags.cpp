#include "runtime/control/flags.h"

FlagsBlock FLAGS;
SprsizBlock SPRSIZ;
kalvir::Array2<kalvir::Chars<18>> SPRNOD;

namespace {
kalvir::Chars<24> mModelName;
std::array<std::vector<std::string>, 3> given_attribute_names;
}  // namespace

kalvir::AcdArrayCounts& kalvir::acd_array_counts() {
  static AcdArrayCounts counts;
  return counts;
}

void sprnod_allocate() { SPRNOD.allocate(std::max(SPRSIZ(1), 1), 3); }

void sprnod_setnames(std::span<const std::string_view> REAL, std::span<const std::string_view> INTEGER,
                     std::span<const std::string_view> CHARACTER) {
  const std::array<std::span<const std::string_view>, 3> groups{REAL, INTEGER, CHARACTER};
  for (std::size_t g = 0; g < groups.size(); ++g)
    given_attribute_names[g].assign(groups[g].begin(), groups[g].end());
}

const std::array<std::vector<std::string>, 3>& sprnod_givennames() { return given_attribute_names; }

std::int32_t gfl_getnumthermalnodes() { return FLAGS(1); }
std::int32_t gfl_getnumlinearconds() { return FLAGS(2); }
std::int32_t gfl_getnumfluidicconds() { return FLAGS(3); }
std::int32_t gfl_getnumradiativeconds() { return FLAGS(4); }
std::int32_t gfl_getnumvfacconds() { return FLAGS(5); }
std::int32_t gfl_getnumrealuserconstants() { return FLAGS(6); }
std::int32_t gfl_getnumintegeruserconstants() { return FLAGS(7); }
std::int32_t gfl_getnumcharuserelements() { return FLAGS(8); }
std::int32_t gfl_getnumcharuserconstants() { return FLAGS(9); }
std::int32_t gfl_getnumcclocalreal() { return FLAGS(10); }
std::int32_t gfl_getnumcclocalint() { return FLAGS(11); }
std::int32_t gfl_getnumccglobalreal() { return FLAGS(13); }
std::int32_t gfl_getnumccglobalint() { return FLAGS(14); }
std::int32_t gfl_getnumalluserconstants() { return FLAGS(16); }
std::int32_t gfl_getnumallcontrolconstants() { return FLAGS(17); }
std::int32_t gfl_getlenarrayinfolist() { return FLAGS(18); }
std::int32_t gfl_getnumallarrays() { return FLAGS(19); }
std::int32_t gfl_getnumrealarrayelements() { return FLAGS(20); }
std::int32_t gfl_getnumintegerarrayelements() { return FLAGS(21); }
std::int32_t gfl_getnumchararrayelements() { return FLAGS(22); }
std::int32_t gfl_getlenpcsthermalold() { return FLAGS(24); }
std::int32_t gfl_getnumsubmodels() { return FLAGS(26); }
std::int32_t gfl_getlendynamiccore() { return FLAGS(28); }
std::int32_t gfl_getnumfluidnodes() { return FLAGS(32); }
std::int32_t gfl_getnummassflowlinks() { return FLAGS(33); }
std::int32_t gfl_getlenpcsfluid() { return FLAGS(35); }
std::int32_t gfl_getnumnodealiases() { return FLAGS(40); }
std::int32_t gfl_getlenpcsthermal() { return 4 * (FLAGS(2) + FLAGS(3) + FLAGS(4)); }
std::int32_t gfl_getnumnodalentities() { return 41; }

void gfl_setnumrealarrayelements(std::int32_t n) { FLAGS(20) = n; }
void gfl_setnumintegerarrayelements(std::int32_t n) { FLAGS(21) = n; }

void gfl_setmodelname(std::string_view name) { mModelName = name; }
std::string gfl_getmodelname() { return mModelName.str(); }
std::string gfl_gettruncatedmodelname() { return std::string(mModelName.view().substr(0, 8)); }
