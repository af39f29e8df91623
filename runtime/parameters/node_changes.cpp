#include "runtime/parameters/node_changes.h"

#include <algorithm>
#include <array>
#include <string>

#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/status.h"
#include "runtime/modeldata/fpcs.h"
#include "runtime/modeldata/model_tree.h"
#include "runtime/modeldata/node_groups.h"
#include "runtime/modeldata/packed_store.h"
#include "runtime/modeldata/text_utils.h"
#include "runtime/parameters/case_values.h"
#include "runtime/platform/fixed_string.h"

namespace kalvir::parameters {

std::span<std::int32_t> take_core(DynamicCoreMark& mark, std::int64_t words) {
  const std::int32_t first = FLAGS(flagw::NEXTINT);
  const std::int64_t last = std::int64_t{first} - 1 + words;
  if (first < 1 || words < 0 || last > FLAGS(flagw::DYSTOR) || last > gar_dynamiccoreint.size()) return {};
  mark.take_int(static_cast<std::int32_t>(words));
  return {gar_dynamiccoreint.data() + (first - 1), static_cast<std::size_t>(words)};
}

namespace {

std::int32_t nnode() { return FLAGS(flagw::NNODE); }
std::int32_t nfluid() { return FLAGS(flagw::NF); }

void node_failure(std::int32_t& ierr, std::int32_t code, std::string_view text) {
  ierr = code;
  report(text, 300, 3, code, "PARNDS");
}

// The nodes of submodels first..last: thermal, then fluid, each ascending.
void subtree_nodes(std::int32_t first, std::int32_t last, std::span<std::int32_t> list, std::int32_t& n) {
  const auto& dir = gar_modeldirectory;
  n = 0;
  for (std::int32_t i = dir(3, first) + 1; i <= dir(3, last + 1); ++i) list[static_cast<std::size_t>(n++)] = i;
  for (std::int32_t j = dir(16, first) + 1; j <= dir(16, last + 1); ++j)
    list[static_cast<std::size_t>(n++)] = nnode() + j;
}

// The selected node's user number cannot be found in submodel SUB.
void missing_node(std::int32_t& ierr, std::int32_t code, std::int32_t number, std::int32_t sub) {
  node_failure(ierr, code,
               "Node does not exist in sub-model@Node Number: " + kalvir::int_field(number, 10) + "<NL>Sub-model: " +
                   kalvir::submodel_path(sub));
}

// The label match of NDSOZL over the submodel and its descendants.
void label_nodes(std::string_view zlabel, std::int32_t sub, std::int32_t maxn, std::span<std::int32_t> list,
                 std::int32_t& n, std::int32_t& ierr) {
  NDSOZL(zlabel, sub, list, maxn, 1, n, ierr);
}

// Whether the value of a character user constant of SUB named TARGET could
// be taken; ZLABEL its value.
std::int32_t char_constant(std::int32_t sub, std::string_view target, std::string& zlabel, std::int32_t& ierr) {
  const auto& dir = gar_modeldirectory;
  const std::int32_t count = dir(11, sub + 1) - dir(13, sub);
  if (count < 1) return 9;
  if (std::int64_t{dir(13, sub)} + count > gar_userconstnames.size()) return 9;
  const kalvir::CharRows names(gar_userconstnames.data() + static_cast<std::size_t>(dir(13, sub)) * 18, 18, count);
  std::int32_t st = 0, found = 0, pos = 0;
  SOFNDZ(names, count, kalvir::padded(target.substr(0, std::min<std::size_t>(target.size(), 18)), 18), st, found,
         pos);
  if (target.size() > 18 || st != 0 || found != 1) return 8;
  const std::int64_t start = std::int64_t{133} * dir(15, sub) + gar_userconstpointerschar(dir(10, sub) + pos);
  const auto rows = static_cast<std::int32_t>(gar_userconstvalueschar.size());
  kalvir::Chars<256> value;
  std::int32_t len = 0;
  ierr = -1;
  if (start >= 1 && start <= std::int64_t{133} * rows)
    DBFZPK(gar_userconstvalueschar, rows, 133 * rows, static_cast<std::int32_t>(start), len, value.span(), ierr);
  zlabel.assign(value.data(), static_cast<std::size_t>(std::clamp(len, 0, 256)));
  return 0;
}

}  // namespace
}  // namespace kalvir::parameters

namespace kp = kalvir::parameters;

void PARNDS(std::string_view REF, std::int32_t ISUB, std::int32_t MAXN, std::span<std::int32_t> LIST,
            std::int32_t& N, std::int32_t& IERR) {
  N = 0;
  IERR = 0;
  const std::int32_t nsub = FLAGS(flagw::NSUB);
  const std::int64_t nodes = std::int64_t{kp::nnode()} + kp::nfluid();
  if (MAXN < nodes || static_cast<std::int64_t>(LIST.size()) < nodes)
    kp::node_failure(IERR, 1, "Node list is too short for data@Contact central support");
  if (ISUB < 1 || ISUB > nsub) kp::node_failure(IERR, 2, "Model number is invalid@Contact central support");
  if (IERR != 0) return;

  const std::string_view ref = kalvir::trim_right(REF);
  std::int32_t colon = 0;
  SQNDEX(ref, ":", colon);
  std::int32_t sub = ISUB;
  std::string_view target = ref;
  if (colon != 0) {
    // The path ends before any quoted label, whose ":" belong to the label.
    const std::size_t quote = ref.find('\'');
    IERR = kp::leading_path(ref, quote == std::string_view::npos ? ref.size() : quote, ISUB, true, sub, target);
    if (IERR != 0) return;
  }
  target = target.substr(0, std::min<std::size_t>(target.size(), 256));
  const std::string shown(target);
  const char first = target.empty() ? ' ' : target.front();

  if (first >= '0' && first <= '9') {
    std::int32_t ok = 0, number = 0;
    IINTC2(target, static_cast<std::int32_t>(target.size()), ok, number);
    if (ok != 1) return kp::node_failure(IERR, 4, "Unrecognised format for node reference@" + shown);
    const std::int32_t node = INTNOD(sub, number);
    if (node == 0) return kp::missing_node(IERR, 3, number, sub);
    LIST[0] = node;
    N = 1;
    return;
  }
  if (first == '*') {
    std::int32_t last = sub;
    if (target == "*") {
      last = kalvir::subtree_end(gar_modeldirectory, sub, nsub);
    } else if (target != "*-ONLY") {
      return kp::node_failure(IERR, 5, "Unrecognised format for node reference@" + shown);
    }
    kp::subtree_nodes(sub, last, LIST, N);
    return;
  }
  if (first == '\'') {
    if (target.size() < 1 || target.back() != '\'')
      return kp::node_failure(IERR, 6, "String not terminated with quote@" + shown);
    const std::string_view zlabel = target.size() >= 2 ? target.substr(1, target.size() - 2) : std::string_view{};
    kp::label_nodes(zlabel, sub, MAXN, LIST, N, IERR);
    return;
  }
  std::int32_t number = 0;
  std::int32_t alias_error = 0;
  if (target.size() <= 18) LGTALI(sub, target, number, alias_error);
  if (number >= 1) {
    const std::int32_t node = INTNOD(sub, number);
    if (node == 0) return kp::missing_node(IERR, 7, number, sub);
    LIST[0] = node;
    N = 1;
    return;
  }
  std::string zlabel;
  std::int32_t status = 0;
  const std::int32_t code = kp::char_constant(sub, target, zlabel, status);
  if (code != 0)
    return kp::node_failure(IERR, code, "NodeSpec cannot be interpreted@Not recognised as valid format or value");
  if (status != 0) {
    IERR = status;
    return;
  }
  kp::label_nodes(zlabel, sub, MAXN, LIST, N, IERR);
}

namespace kalvir::parameters {
namespace {

void undefined_node(std::int32_t node, std::string_view routine) {
  std::string path = SUBMDN(node, "ALL");
  path = std::string(kalvir::trim_right(path.substr(0, std::min<std::size_t>(path.size(), 170))));
  report("Entity undefined - possibly defined with Mortran@Value may be overwritten by Mortran expression during "
         "solution. Node " +
             kalvir::int_field(NODNUM(node), 10) + " in sub-model " + path,
         400, 3, 1, routine);
}

// Walks the thermal nodes of LIST from the front, or the fluid nodes from
// the back, and applies SET to each with its element index (1-based).
template <class Set>
void walk(bool fluid, std::span<const std::int32_t> list, std::int32_t n, std::int32_t nnode, std::int64_t size,
          Set set) {
  n = std::clamp<std::int32_t>(n, 0, static_cast<std::int32_t>(list.size()));
  if (!fluid) {
    for (std::int32_t k = 0; k < n; ++k) {
      const std::int32_t node = list[static_cast<std::size_t>(k)];
      if (node > nnode) break;
      if (node >= 1 && node <= size) set(node, node);
    }
    return;
  }
  for (std::int32_t k = n - 1; k >= 0; --k) {
    const std::int32_t node = list[static_cast<std::size_t>(k)];
    if (node <= nnode) break;
    if (node - nnode <= size) set(node, node - nnode);
  }
}

template <class T>
bool undefined(T v) {
  if constexpr (std::is_same_v<T, double>) {
    return SLUNDF(v);
  } else {
    return v == SKUNDF();
  }
}

template <class T>
void set_values(bool fluid, std::string_view routine, std::span<const std::int32_t> list, std::int32_t n, T value,
                std::int32_t nnode, std::span<T> array, std::int32_t& count, std::int32_t& ierr) {
  count = 0;
  ierr = 0;
  walk(fluid, list, n, nnode, static_cast<std::int64_t>(array.size()), [&](std::int32_t node, std::int32_t i) {
    T& x = array[static_cast<std::size_t>(i - 1)];
    if (undefined(x)) undefined_node(node, routine);
    x = value;
    ++count;
  });
}

void scale_values(bool fluid, std::string_view routine, std::span<const std::int32_t> list, std::int32_t n,
                  double value, std::int32_t nnode, std::span<double> array, std::int32_t& count,
                  std::int32_t& ierr) {
  count = 0;
  ierr = 0;
  walk(fluid, list, n, nnode, static_cast<std::int64_t>(array.size()), [&](std::int32_t node, std::int32_t i) {
    double& x = array[static_cast<std::size_t>(i - 1)];
    if (SLUNDF(x)) {
      undefined_node(node, routine);
      ierr = 1;
      return;
    }
    x *= value;
    ++count;
  });
}

void set_texts(bool fluid, std::span<const std::int32_t> list, std::int32_t n, std::string_view value,
               std::int32_t nnode, kalvir::CharRowsMut array, std::int32_t& count, std::int32_t& ierr) {
  count = 0;
  ierr = 0;
  walk(fluid, list, n, nnode, array.size(), [&](std::int32_t, std::int32_t i) {
    kalvir::assign_padded(array.row(i), value);
    ++count;
  });
}

}  // namespace
}  // namespace kalvir::parameters

void PARCNR(std::span<const std::int32_t> LIST, std::int32_t N, double VALUE, std::int32_t NNODE,
            std::span<double> ARRAY, std::int32_t& COUNT, std::int32_t& IERR) {
  kp::set_values(false, "PARCNR", LIST, N, VALUE, NNODE, ARRAY, COUNT, IERR);
}
void PARCFR(std::span<const std::int32_t> LIST, std::int32_t N, double VALUE, std::int32_t /*NF*/,
            std::int32_t NNODE, std::span<double> ARRAY, std::int32_t& COUNT, std::int32_t& IERR) {
  kp::set_values(true, "PARCFR", LIST, N, VALUE, NNODE, ARRAY, COUNT, IERR);
}
void PARSNR(std::span<const std::int32_t> LIST, std::int32_t N, double VALUE, std::int32_t NNODE,
            std::span<double> ARRAY, std::int32_t& COUNT, std::int32_t& IERR) {
  kp::scale_values(false, "PARSNR", LIST, N, VALUE, NNODE, ARRAY, COUNT, IERR);
}
void PARSFR(std::span<const std::int32_t> LIST, std::int32_t N, double VALUE, std::int32_t /*NF*/,
            std::int32_t NNODE, std::span<double> ARRAY, std::int32_t& COUNT, std::int32_t& IERR) {
  kp::scale_values(true, "PARSFR", LIST, N, VALUE, NNODE, ARRAY, COUNT, IERR);
}
void PARCNI(std::span<const std::int32_t> LIST, std::int32_t N, std::int32_t VALUE, std::int32_t NNODE,
            std::span<std::int32_t> ARRAY, std::int32_t& COUNT, std::int32_t& IERR) {
  kp::set_values(false, "PARCNI", LIST, N, VALUE, NNODE, ARRAY, COUNT, IERR);
}
void PARCFI(std::span<const std::int32_t> LIST, std::int32_t N, std::int32_t VALUE, std::int32_t /*NF*/,
            std::int32_t NNODE, std::span<std::int32_t> ARRAY, std::int32_t& COUNT, std::int32_t& IERR) {
  kp::set_values(true, "PARCFI", LIST, N, VALUE, NNODE, ARRAY, COUNT, IERR);
}
void PARCNZ(std::span<const std::int32_t> LIST, std::int32_t N, std::string_view VALUE, std::int32_t NNODE,
            kalvir::CharRowsMut ARRAY, std::int32_t& COUNT, std::int32_t& IERR) {
  kp::set_texts(false, LIST, N, VALUE, NNODE, ARRAY, COUNT, IERR);
}
void PARCFZ(std::span<const std::int32_t> LIST, std::int32_t N, std::string_view VALUE, std::int32_t /*NF*/,
            std::int32_t NNODE, kalvir::CharRowsMut ARRAY, std::int32_t& COUNT, std::int32_t& IERR) {
  kp::set_texts(true, LIST, N, VALUE, NNODE, ARRAY, COUNT, IERR);
}

void PARCNS(std::span<const std::int32_t> LIST, std::int32_t N, std::string_view VALUE, std::int32_t /*NF*/,
            std::int32_t NNODE, kalvir::CharRowsMut FSTATUS, kalvir::CharRowsMut TSTATUS,
            kalvir::CharRowsMut TSTATUSCOPY, std::int32_t& TCOUNT, std::int32_t& FCOUNT, std::int32_t& TERR,
            std::int32_t& FERR) {
  TCOUNT = FCOUNT = TERR = FERR = 0;
  constexpr std::string_view kThermal = "BDX";
  constexpr std::string_view kFluid = "FHJKQRS";
  const std::string_view value = kalvir::trim_right(VALUE);
  if (value.size() != 1 || (kThermal.find(value[0]) == std::string_view::npos &&
                            kFluid.find(value[0]) == std::string_view::npos)) {
    kp::report("Invalid definition of node status@<<" + std::string(VALUE) +
                   ">> is an invalid node status. Please refer to KALVIR User Manual.",
               256, 3, 1, "PARCNS");
    TERR = FERR = 1;
    return;
  }
  const char letter = value[0];
  const bool thermal_letter = kThermal.find(letter) != std::string_view::npos;
  for (std::int32_t k = 0; k < std::min<std::int32_t>(N, static_cast<std::int32_t>(LIST.size())); ++k) {
    const std::int32_t node = LIST[static_cast<std::size_t>(k)];
    if (node >= 1 && node <= NNODE && node <= TSTATUS.size() && node <= TSTATUSCOPY.size()) {
      if (!thermal_letter || kThermal.find(TSTATUS(node)[0]) == std::string_view::npos) {
        kp::report("Attempt to switch from thermal to fluid status@", 256, 3, 2, "PARCNS");
        TERR = 1;
        continue;
      }
      TSTATUSCOPY.row(node)[0] = letter;
      TSTATUS.row(node)[0] = letter;
      ++TCOUNT;
    } else if (node > NNODE && node - NNODE <= FSTATUS.size()) {
      if (thermal_letter || kFluid.find(FSTATUS(node - NNODE)[0]) == std::string_view::npos) {
        kp::report("Attempt to switch from fluid to thermal status@", 256, 3, 3, "PARCNS");
        FERR = 1;
        continue;
      }
      FSTATUS.row(node - NNODE)[0] = letter;
      ++FCOUNT;
    }
  }
  // The solutions and the cached node lists must see the new letters.
  if (TCOUNT + FCOUNT > 0) {
    stat_setstatst(1);
    Lschnd_clear_cache();
  }
}

namespace kalvir::parameters {
namespace {

template <auto& A>
kalvir::CharRowsMut rows() {
  return A;
}

constexpr NodeEntity real(kalvir::gar::R64* t, kalvir::gar::R64* f) {
  return {EntityKind::kReal, t, f, nullptr, nullptr, 0};
}
constexpr NodeEntity text(kalvir::CharRowsMut (*t)(), kalvir::CharRowsMut (*f)(), std::int32_t scale_code) {
  return {EntityKind::kText, nullptr, nullptr, t, f, scale_code};
}

// Codes 1 to 36; the status letters 49 to 58 share one row.
const std::array<NodeEntity, 37> kEntities{{
    {},
    text(rows<gar_thermalnodelabels>, rows<gar_fluidnodelabels>, 2),
    real(&gar_thermalnodetemps, &gar_fluidnodetemps),
    real(&gar_thermalnodecapacitances, nullptr),
    real(&gar_thermalnodeheatsourcesalbedo, nullptr),
    real(&gar_thermalnodeheatsourcesplanet, nullptr),
    real(&gar_thermalnodeheatsourcesinternal, nullptr),
    real(&gar_thermalnodeheatsourcesother, nullptr),
    real(&gar_thermalnodeheatsourcessolar, nullptr),
    real(&gar_thermalnodesurfaceareas, &gar_fluidnodeheattransferareas),
    real(&gar_thermalnodeabsorptivities, nullptr),
    real(&gar_thermalnodeemissivities, nullptr),
    real(&gar_thermalnodeincidentfluxesalbedo, nullptr),
    real(&gar_thermalnodeincidentfluxesplanet, nullptr),
    real(&gar_thermalnodeincidentfluxessolar, nullptr),
    real(nullptr, &gar_fluidnodehydraulicdiameters),
    real(nullptr, &gar_fluidnodelengths),
    real(nullptr, &gar_fluidnodepressures),
    real(nullptr, &gar_fluidnodespecenthalpies),
    real(nullptr, &gar_fluidnodewallroughnesses),
    real(nullptr, &gar_fluidnodeheatsources),
    real(nullptr, &gar_fluidnodemassflowsources),
    real(nullptr, &gar_fluidnodemasssourcespecenthalpies),
    real(nullptr, &gar_fluidnodemasssourcetemps),
    text(nullptr, rows<gar_fluidnodefluidtypes>, 3),
    real(&gar_thermalnodecoordsx, &gar_fluidnodecoordsx),
    real(&gar_thermalnodecoordsy, &gar_fluidnodecoordsy),
    real(&gar_thermalnodecoordsz, &gar_fluidnodecoordsz),
    real(nullptr, &gar_fluidnodevapourqualities),
    text(nullptr, rows<gar_fluidnodeflowregimes>, 4),
    real(nullptr, &gar_fluidnodeflowareas),
    real(nullptr, &gar_fluidnodevolumes),
    real(nullptr, &gar_fluidnoderelhumidities),
    real(nullptr, &gar_fluidnodemasssourcespechumidities),
    real(nullptr, &gar_fluidnodecompliances),
    real(nullptr, &gar_fluidnodevolumechangerates),
    text(nullptr, rows<gar_fluidnodestatedescriptors>, 5),
}};
constexpr std::int32_t kFirstStatus = 49, kLastStatus = 58;
constexpr std::int32_t kLabel = 1;

}  // namespace

std::span<double> values(kalvir::gar::R64* a) { return a == nullptr ? std::span<double>{} : a->span(); }

const NodeEntity* node_entity(std::int32_t code) {
  if (code < 1 || code >= static_cast<std::int32_t>(kEntities.size())) return nullptr;
  return &kEntities[static_cast<std::size_t>(code)];
}

kalvir::CharRowsMut text_block(kalvir::gar::C24& all, std::int32_t k, std::int32_t per) {
  const std::int64_t first = std::int64_t{k - 1} * per;
  if (per < 1 || k < 1 || first + per > all.size()) return {all.data(), 24, 0};
  return {all.data() + static_cast<std::size_t>(first) * 24, 24, per};
}

}  // namespace kalvir::parameters

void PARUDE(std::string_view KEYWORD, std::int32_t CODE, std::span<const std::int32_t> LIST, std::int32_t N,
            std::string_view VALUE, std::int32_t& FCOUNT, std::int32_t& TCOUNT, std::int32_t& IERR) {
  IERR = 0;
  FCOUNT = TCOUNT = 0;
  const bool change = kp::is_change(KEYWORD);
  const std::int32_t nn = kp::nnode(), nf = kp::nfluid();
  const std::int32_t nreal = SPRSIZ(5), nint = SPRSIZ(4), nchar = SPRSIZ(3);
  const std::int32_t k = -CODE;
  std::int32_t terr = 0, ferr = 0;
  if (k >= 1 && k <= nreal) {
    double v = 0.0;
    kp::read_real(KEYWORD, VALUE, v, IERR);
    if (IERR != 0) return;
    (change ? PARCNR : PARSNR)(LIST, N, v, nn, kp::block(gar_thermalnodeuserentityvalsreal.span(), k, nn), TCOUNT,
                               terr);
    (change ? PARCFR : PARSFR)(LIST, N, v, nf, nn, kp::block(gar_fluidnodeuserentityvalsreal.span(), k, nf), FCOUNT,
                               ferr);
  } else if (k > nreal && k <= nreal + nint) {
    std::int32_t v = 0;
    PARIGT(VALUE, v, IERR);
    if (IERR != 0) return;
    if (!change) {
      IERR = 1;
      kp::report("Cannot SCALE integer data", 300, 3, 1, "PARUDE");
      return;
    }
    PARCNI(LIST, N, v, nn, kp::block(gar_thermalnodeuserentityvalsint.span(), k - nreal, nn), TCOUNT, terr);
    PARCFI(LIST, N, v, nf, nn, kp::block(gar_fluidnodeuserentityvalsint.span(), k - nreal, nf), FCOUNT, ferr);
  } else if (k > nreal + nint && k <= nreal + nint + nchar) {
    kalvir::Chars<256> v;
    PARZVL(VALUE, v.span(), IERR);
    if (IERR != 0) return;
    if (!change) {
      IERR = 2;
      kp::report("Cannot SCALE character data", 300, 3, 2, "PARUDE");
      return;
    }
    const std::int32_t j = k - nreal - nint;
    PARCNZ(LIST, N, v.view(), nn, kp::text_block(gar_thermalnodeuserentityvalschar, j, nn), TCOUNT, terr);
    PARCFZ(LIST, N, v.view(), nf, nn, kp::text_block(gar_fluidnodeuserentityvalschar, j, nf), FCOUNT, ferr);
  }
  IERR = terr + ferr;
}

void PARNOD(std::string_view KEYWORD, std::int32_t CODE, std::string_view REF, std::string_view VALUE,
            std::int32_t ISUB, std::int32_t& IERR) {
  IERR = 0;
  DynamicCoreMark mark;
  const std::int32_t nn = kp::nnode(), nf = kp::nfluid();
  const std::span<std::int32_t> list = kp::take_core(mark, std::int64_t{nn} + nf + 1);
  if (list.empty()) {
    IERR = 1;
    kp::report("Insufficient dynamic core@Increase DYSTOR", 300, 3, 1, "PARNOD");
    return;
  }
  std::int32_t n = 0;
  PARNDS(REF, ISUB, nn + nf, list, n, IERR);
  if (IERR != 0) return;
  const std::span<const std::int32_t> nodes = list.first(static_cast<std::size_t>(n));
  const bool change = kp::is_change(KEYWORD);

  std::int32_t tcount = 0, fcount = 0, terr = 0, ferr = 0;
  if (CODE < 0) {
    PARUDE(KEYWORD, CODE, nodes, n, VALUE, fcount, tcount, IERR);
    if (IERR != 0) return;
  } else if (CODE >= kp::kFirstStatus && CODE <= kp::kLastStatus) {
    if (!change) {
      IERR = 8;
      kp::report("Cannot SCALE node status", 300, 3, 8, "PARNOD");
      return;
    }
    PARCNS(nodes, n, VALUE, nf, nn, gar_fluidnodestatuses, gar_thermalnodestatuses, gar_thermalnodestatusescopy,
           tcount, fcount, terr, ferr);
  } else if (CODE >= 1 && CODE < static_cast<std::int32_t>(kp::kEntities.size()) &&
             kp::kEntities[static_cast<std::size_t>(CODE)].kind == kp::EntityKind::kReal) {
    const kp::NodeEntity& e = kp::kEntities[static_cast<std::size_t>(CODE)];
    double v = 0.0;
    kp::read_real(KEYWORD, VALUE, v, IERR);
    if (IERR != 0) return;
    if (e.thermal != nullptr) (change ? PARCNR : PARSNR)(nodes, n, v, nn, kp::values(e.thermal), tcount, terr);
    if (e.fluid != nullptr) (change ? PARCFR : PARSFR)(nodes, n, v, nf, nn, kp::values(e.fluid), fcount, ferr);
  } else if (CODE >= 1 && CODE < static_cast<std::int32_t>(kp::kEntities.size()) &&
             kp::kEntities[static_cast<std::size_t>(CODE)].kind == kp::EntityKind::kText) {
    const kp::NodeEntity& e = kp::kEntities[static_cast<std::size_t>(CODE)];
    kalvir::Chars<256> v;
    PARZVL(VALUE, v.span(), IERR);
    if (IERR != 0) return;
    if (!change) {
      IERR = e.scale_code;
      kp::report("Cannot SCALE character data", 300, 3, e.scale_code, "PARNOD");
      return;
    }
    if (e.thermal_text != nullptr) PARCNZ(nodes, n, v.view(), nn, e.thermal_text(), tcount, terr);
    if (e.fluid_text != nullptr) PARCFZ(nodes, n, v.view(), nf, nn, e.fluid_text(), fcount, ferr);
    // The node lists cached for the model's label references must see the
    // new labels.
    if (CODE == kp::kLabel && tcount + fcount > 0) Lschnd_clear_cache();
  } else {
    IERR = 6;
    kp::report("Invalid or unrecognised entity type", 300, 3, 6, "PARNOD");
    return;
  }
  IERR += terr + ferr;
  if (IERR == 0 && tcount + fcount < n) {
    const bool some = tcount + fcount > 0;
    kp::report("Fluid nodes selected for thermal only entity or vice versa", 300, some ? 2 : 3, 7, "PARNOD");
    if (!some) IERR = 7;
  }
}
