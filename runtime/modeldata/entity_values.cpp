#include "runtime/modeldata/entity_values.h"

#include <algorithm>
#include <array>

#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/messages.h"
#include "runtime/modeldata/entity_text.h"
#include "runtime/modeldata/search_sort.h"

namespace kalvir {
namespace {

using entity::cut;

// Where the real value of a code comes from for one node kind: an error (the
// code has no real value), the constant 0 (the code belongs to the other node
// kind, or has no array), or element i of a node array.
struct Source {
  enum Kind { kError, kZero, kArray } kind;
  gar::R64* array;
};
constexpr Source E{Source::kError, nullptr};
constexpr Source Z{Source::kZero, nullptr};
constexpr Source A(gar::R64& a) { return {Source::kArray, &a}; }

struct EntityCode {
  std::string_view name;
  Source thermal;
  Source fluid;
};

// Codes 1..58 in order. The conductor kinds 42-47 read conductor arrays
// instead (kConductorArrays); their columns here are never used.
const std::array<EntityCode, kNumEntityCodes> kEntityCodes{{
    {"L", E, E},
    {"T", A(gar_thermalnodetemps), A(gar_fluidnodetemps)},
    {"C", A(gar_thermalnodecapacitances), Z},
    {"QA", A(gar_thermalnodeheatsourcesalbedo), Z},
    {"QE", A(gar_thermalnodeheatsourcesplanet), Z},
    {"QI", A(gar_thermalnodeheatsourcesinternal), Z},
    {"QR", A(gar_thermalnodeheatsourcesother), Z},
    {"QS", A(gar_thermalnodeheatsourcessolar), Z},
    {"A", A(gar_thermalnodesurfaceareas), A(gar_fluidnodeheattransferareas)},
    {"ALP", A(gar_thermalnodeabsorptivities), Z},
    {"EPS", A(gar_thermalnodeemissivities), Z},
    {"QAI", A(gar_thermalnodeincidentfluxesalbedo), Z},
    {"QEI", A(gar_thermalnodeincidentfluxesplanet), Z},
    {"QSI", A(gar_thermalnodeincidentfluxessolar), Z},
    {"FD", Z, A(gar_fluidnodehydraulicdiameters)},
    {"FL", Z, A(gar_fluidnodelengths)},
    {"P", Z, A(gar_fluidnodepressures)},
    {"FE", Z, A(gar_fluidnodespecenthalpies)},
    {"FF", Z, A(gar_fluidnodewallroughnesses)},
    {"FQ", Z, A(gar_fluidnodeheatsources)},
    {"FM", Z, A(gar_fluidnodemassflowsources)},
    {"FH", Z, A(gar_fluidnodemasssourcespecenthalpies)},
    {"FR", Z, A(gar_fluidnodemasssourcetemps)},
    {"FT", Z, Z},
    {"FX", A(gar_thermalnodecoordsx), A(gar_fluidnodecoordsx)},
    {"FY", A(gar_thermalnodecoordsy), A(gar_fluidnodecoordsy)},
    {"FZ", A(gar_thermalnodecoordsz), A(gar_fluidnodecoordsz)},
    {"VQ", Z, A(gar_fluidnodevapourqualities)},
    {"FRG", Z, Z},
    {"FLA", Z, A(gar_fluidnodeflowareas)},
    {"VOL", Z, A(gar_fluidnodevolumes)},
    {"PHI", Z, A(gar_fluidnoderelhumidities)},
    {"FW", Z, A(gar_fluidnodemasssourcespechumidities)},
    {"CMP", Z, A(gar_fluidnodecompliances)},
    {"VDT", Z, A(gar_fluidnodevolumechangerates)},
    {"FST", Z, Z},
    {"ZZB", Z, Z},
    {"ZZC", Z, Z},
    {"ZW", Z, Z},
    {"ZX", Z, Z},
    {"ZY", Z, Z},
    {"GL", E, E},
    {"GR", E, E},
    {"GF", E, E},
    {"GV", E, E},
    {"M", E, E},
    {"GP", E, E},
    {"G", E, E},
    {"D", E, E},
    {"B", E, E},
    {"X", E, E},
    {"F", E, E},
    {"H", E, E},
    {"J", E, E},
    {"K", E, E},
    {"Q", E, E},
    {"R", E, E},
    {"S", E, E},
}};

constexpr std::int32_t kFirstConductorCode = 42;
constexpr std::int32_t kLastConductorCode = 47;
const std::array<gar::R64*, 6> kConductorArrays{&gar_linearconds,           &gar_radiativeconds,
                                                &gar_fluidicconds,          &gar_vfacconds,
                                                &gar_massflowlinkflowrates, &gar_massflowlinkfittinglosses};

// Attribute groups in the order the user attribute codes -k count them (real,
// integer, character) with the SPRSIZ word that holds each group's count.
struct AttributeGroup {
  std::int32_t group;
  int count_word;
};
constexpr std::array<AttributeGroup, 3> kAttributeGroups{{{1, 5}, {2, 4}, {3, 3}}};

// Number of names of group g that SPRNOD actually holds.
std::int32_t attribute_count(const AttributeGroup& g) {
  if (g.group > SPRNOD.cols()) return 0;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(SPRSIZ(g.count_word), 0, SPRNOD.rows()));
}

// Element (index - 1) * n + i of a per-attribute array, 0 when it lies outside.
template <class Arr>
std::int64_t attribute_element(const Arr& arr, std::int32_t index, std::int32_t n, std::int32_t i) {
  if (index < 1 || n < 1 || i < 1 || i > n) return 0;
  const std::int64_t k = static_cast<std::int64_t>(index - 1) * n + i;
  return k <= arr.size() ? k : 0;
}

std::int32_t attribute_index(std::int32_t code) {
  std::int32_t group = 0;
  std::int32_t index = 0;
  SPRNAM(code, group, index, {});
  return index;
}

void report_bad_node(std::string_view caller, std::string_view routine, std::int32_t& ierr) {
  ierr = 3;
  SETERX(cut(std::string(trim_right(caller)) + ": Invalid node or conductor number", 60), 3, 3, routine);
}

}  // namespace
}  // namespace kalvir

using kalvir::entity::cut;

std::string ENTNAM(std::int32_t ICODE) {
  if (ICODE < 1 || ICODE > kalvir::kNumEntityCodes) return std::string(3, ' ');
  return kalvir::padded(kalvir::kEntityCodes[static_cast<std::size_t>(ICODE - 1)].name, 3);
}

bool kalvir::is_entity_mnemonic(std::string_view name) {
  const std::string_view n = kalvir::trim_right(name);
  return std::any_of(kEntityCodes.begin(), kEntityCodes.end(), [n](const EntityCode& c) { return c.name == n; });
}

void ENTFND(std::string_view TEXT, std::span<char> NAME, std::int32_t& CODE, std::int32_t& MLEN) {
  CODE = 0;
  MLEN = 0;
  const std::string_view text = kalvir::trim_right(TEXT);
  std::string_view match;
  auto consider = [&](std::string_view name, std::int32_t code) {
    const auto b = static_cast<std::int32_t>(name.size());
    if (b > MLEN && text.size() >= name.size() && text.substr(0, name.size()) == name) {
      CODE = code;
      MLEN = b;
      match = name;
    }
  };
  for (std::int32_t j = 1; j <= kalvir::kNumEntityCodes; ++j)
    consider(kalvir::kEntityCodes[static_cast<std::size_t>(j - 1)].name, j);
  std::int32_t k = 0;
  for (const auto& g : kalvir::kAttributeGroups) {
    const std::int32_t n = kalvir::attribute_count(g);
    for (std::int32_t i = 1; i <= n; ++i) consider(SPRNOD(i, g.group).trimmed(), -(++k));
  }
  if (!NAME.empty()) kalvir::assign_padded(NAME, match);
}

std::int32_t ENTYP(std::int32_t ICODE) {
  if (ICODE < 1 || ICODE > 100) return 0;
  switch (ICODE) {
    case 1: case 2: case 9: case 25: case 26: case 27:
      return 0;
    default:
      break;
  }
  if ((ICODE >= 3 && ICODE <= 8) || (ICODE >= 10 && ICODE <= 14)) return 1;
  return -1;
}

std::int32_t ENTRIC(std::int32_t ICODE) {
  if (ICODE == 1 || ICODE == 24 || ICODE == 29 || ICODE == 36 || ICODE > 300) return 3;
  if (ICODE >= 201 && ICODE <= 299) return 2;
  return 1;
}

void ENTNTP(std::string_view TEXT, std::int32_t& ISTH, std::int32_t& ISFL, std::int32_t& IERR) {
  ISTH = 0;
  ISFL = 0;
  IERR = 0;
  std::int32_t code = 0;
  std::int32_t mlen = 0;
  ENTFND(TEXT, {}, code, mlen);
  if (code == 0) {
    IERR = 1;
    SETERX(cut("Unrecognised node entity@" + std::string(TEXT), 100), 3, 1, "ENTNTP");
    return;
  }
  const std::int32_t t = ENTYP(code);
  if (t >= 0) ISTH = 1;
  if (t <= 0) ISFL = 1;
}

void SPRENT(std::string_view NAME, std::int32_t& CODE) {
  CODE = 0;
  const std::int32_t ngroups = std::min<std::int32_t>(SPRSIZ(2), static_cast<std::int32_t>(kalvir::kAttributeGroups.size()));
  for (std::int32_t g = 1; g <= ngroups; ++g) {
    const std::int32_t n = kalvir::attribute_count(kalvir::kAttributeGroups[static_cast<std::size_t>(g - 1)]);
    for (std::int32_t i = 1; i <= n; ++i) {
      if (kalvir::compare_padded(SPRNOD(i, g).view(), NAME) == 0) {
        CODE = g * 100 + i;
        return;
      }
    }
  }
}

void SPRNAM(std::int32_t CODE, std::int32_t& GROUP, std::int32_t& INDEX, std::span<char> NAME) {
  GROUP = CODE / 100;
  INDEX = CODE % 100;
  std::fill(NAME.begin(), NAME.end(), ' ');
  const bool valid = CODE >= 100 && INDEX >= 1 && GROUP <= SPRSIZ(2) && INDEX <= SPRSIZ(1) && GROUP <= SPRNOD.cols() &&
                     INDEX <= SPRNOD.rows() && !kalvir::is_blank(SPRNOD(INDEX, GROUP).view());
  if (!valid) {
    GROUP = 0;
    INDEX = 0;
    return;
  }
  kalvir::assign_padded(NAME, SPRNOD(INDEX, GROUP).view());
}

void LSNTVR(std::int32_t ICODE, std::int32_t NODE, std::int32_t NF, std::int32_t NNODE, std::string_view CALLER,
            double& VALUE, std::int32_t& IERR) {
  VALUE = 0.0;
  IERR = 0;
  if (ICODE >= kalvir::kFirstConductorCode && ICODE <= kalvir::kLastConductorCode) {
    const auto& arr = *kalvir::kConductorArrays[static_cast<std::size_t>(ICODE - kalvir::kFirstConductorCode)];
    if (NODE < 1 || NODE > arr.size())
      kalvir::report_bad_node(CALLER, "LSNTVR", IERR);
    else
      VALUE = arr(NODE);
    return;
  }
  if (NODE < 1 || static_cast<std::int64_t>(NODE) > static_cast<std::int64_t>(NNODE) + std::max(NF, 0)) {
    kalvir::report_bad_node(CALLER, "LSNTVR", IERR);
    return;
  }
  const bool thermal = NODE <= NNODE;
  const std::int32_t i = thermal ? NODE : NODE - NNODE;
  bool known = false;
  if (ICODE >= 1 && ICODE <= kalvir::kNumEntityCodes) {
    const auto& entry = kalvir::kEntityCodes[static_cast<std::size_t>(ICODE - 1)];
    const kalvir::Source& src = thermal ? entry.thermal : entry.fluid;
    if (src.kind == kalvir::Source::kZero) {
      known = true;
    } else if (src.kind == kalvir::Source::kArray && i <= src.array->size()) {
      known = true;
      VALUE = (*src.array)(i);
    }
  } else if (ICODE >= 101 && ICODE <= 199) {
    const auto& arr = thermal ? gar_thermalnodeuserentityvalsreal : gar_fluidnodeuserentityvalsreal;
    const std::int64_t k = kalvir::attribute_element(arr, kalvir::attribute_index(ICODE), thermal ? NNODE : NF, i);
    if (k > 0) {
      known = true;
      VALUE = arr(k);
    }
  }
  if (known) return;
  const std::string caller(kalvir::trim_right(CALLER));
  if (thermal) {
    IERR = 1;
    SETERX(cut("Unrecognised entity code@" + caller + ": Getting a real entity value", 60), 3, 1, "LSNTVR");
  } else {
    IERR = 2;
    SETERX(cut(caller + ": Unrecognised entity code", 60), 3, 2, "LSNTVR");
  }
}

namespace {
// Shared frame of the integer and character attribute readers: the element
// of the attribute array for NODE, or 0 after reporting why there is none.
template <class ThermalArr, class FluidArr>
std::int64_t attribute_value_index(std::int32_t ICODE, std::int32_t first, std::int32_t NODE, std::int32_t NF,
                                   std::int32_t NNODE, std::string_view CALLER, std::string_view routine,
                                   const ThermalArr& tarr, const FluidArr& farr, bool& thermal, std::int32_t& IERR) {
  IERR = 0;
  auto unrecognised = [&] {
    IERR = 1;
    SETERX(cut(std::string(kalvir::trim_right(CALLER)) + ": Unrecognised entity code", 60), 3, 1, routine);
    return std::int64_t{0};
  };
  if (ICODE < first || ICODE > first + 98) return unrecognised();
  if (NODE < 1 || static_cast<std::int64_t>(NODE) > static_cast<std::int64_t>(NNODE) + std::max(NF, 0)) {
    kalvir::report_bad_node(CALLER, routine, IERR);
    return 0;
  }
  thermal = NODE <= NNODE;
  const std::int32_t index = kalvir::attribute_index(ICODE);
  const std::int64_t k = thermal ? kalvir::attribute_element(tarr, index, NNODE, NODE)
                                 : kalvir::attribute_element(farr, index, NF, NODE - NNODE);
  return k > 0 ? k : unrecognised();
}
}  // namespace

void LSNTVI(std::int32_t ICODE, std::int32_t NODE, std::int32_t NF, std::int32_t NNODE, std::string_view CALLER,
            std::int32_t& VALUE, std::int32_t& IERR) {
  VALUE = 0;
  bool thermal = true;
  const std::int64_t k = attribute_value_index(ICODE, 201, NODE, NF, NNODE, CALLER, "LSNTVI",
                                               gar_thermalnodeuserentityvalsint, gar_fluidnodeuserentityvalsint,
                                               thermal, IERR);
  if (k > 0) VALUE = thermal ? gar_thermalnodeuserentityvalsint(k) : gar_fluidnodeuserentityvalsint(k);
}

void LSNTVC(std::int32_t ICODE, std::int32_t NODE, std::int32_t NF, std::int32_t NNODE, std::string_view CALLER,
            std::span<char> VALUE, std::int32_t& IERR) {
  std::fill(VALUE.begin(), VALUE.end(), ' ');
  bool thermal = true;
  const std::int64_t k = attribute_value_index(ICODE, 301, NODE, NF, NNODE, CALLER, "LSNTVC",
                                               gar_thermalnodeuserentityvalschar, gar_fluidnodeuserentityvalschar,
                                               thermal, IERR);
  if (k > 0)
    kalvir::assign_padded(VALUE, thermal ? gar_thermalnodeuserentityvalschar(k) : gar_fluidnodeuserentityvalschar(k));
}
