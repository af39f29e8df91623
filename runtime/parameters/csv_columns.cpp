#include "runtime/parameters/csv_columns.h"

#include <algorithm>
#include <string>
#include <utility>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/modeldata/array_interp.h"
#include "runtime/modeldata/entity_values.h"
#include "runtime/modeldata/model_tree.h"
#include "runtime/modeldata/text_utils.h"
#include "runtime/parameters/case_values.h"
#include "runtime/parameters/constant_changes.h"
#include "runtime/parameters/csv_fields.h"
#include "runtime/parameters/node_changes.h"
#include "runtime/platform/fixed_string.h"

namespace kalvir::parameters {
namespace {

// Node entity codes 1 to 36 (and the user attributes) have values to write.
constexpr std::int32_t kLastValueCode = 36;

std::int32_t nnode() { return FLAGS(flagw::NNODE); }
std::int32_t nfluid() { return FLAGS(flagw::NF); }

// Writes one value field; a write error is reported under ROUTINE and sets
// IERR to 1.
bool write_value(std::string_view field, std::int32_t unit, std::string_view routine, std::int32_t& ierr) {
  std::int32_t status = 0;
  WRITEH(unit, field, status);
  if (status == 0) return true;
  ierr = 1;
  report(write_error(status, true), 300, 3, 1, routine);
  return false;
}

// Writes the field of each node of LIST that has one, thermal nodes from the
// front up to the first fluid node, or fluid nodes (element entry - NNODE);
// the first failed write ends the walk.
template <class Field>
void write_nodes(bool fluid, std::span<const std::int32_t> list, std::int32_t n, std::int32_t nn, std::int64_t size,
                 std::int32_t unit, std::string_view routine, std::int32_t& ierr, Field field) {
  ierr = 0;
  n = std::clamp<std::int32_t>(n, 0, static_cast<std::int32_t>(list.size()));
  for (std::int32_t k = 0; k < n; ++k) {
    const std::int32_t node = list[static_cast<std::size_t>(k)];
    if (!fluid && node > nn) return;
    if (fluid && node <= nn) continue;
    const std::int64_t i = fluid ? std::int64_t{node} - nn : node;
    if (i < 1 || i > size) continue;
    if (!write_value(field(i), unit, routine, ierr)) return;
  }
}

// The node list of a column: NNODE + NF words of the integer dynamic core.
std::span<std::int32_t> node_space(DynamicCoreMark& mark) {
  return take_core(mark, std::int64_t{nnode()} + nfluid() + 1);
}

// The column label of entity NAME at node NODE: the number alone for the top
// submodel, else the path without the top submodel's name and the number.
std::string node_label(std::string_view name, std::int32_t node) {
  std::string label = "," + std::string(name);
  const std::string path(kalvir::trim_right(SUBMDN(node, "ALL")));
  if (const std::size_t colon = path.find(':'); colon != std::string::npos) label += path.substr(colon) + ":";
  label += kalvir::int_field(NODNUM(node), 10);
  std::string out;
  for (const char c : label)
    if (c != ' ' && c != '\t') out += c;
  return out;
}

std::string constant_path_error(std::string_view item) { return "Unrecognised submodel name@" + std::string(item); }

}  // namespace
}  // namespace kalvir::parameters

namespace kp = kalvir::parameters;

// ---------------------------------------------------------------- node entities

void PRCWNR(std::span<const std::int32_t> LIST, std::int32_t N, std::int32_t NNODE, std::span<const double> ARRAY,
            std::int32_t UNIT, std::int32_t& IERR) {
  kp::write_nodes(false, LIST, N, NNODE, static_cast<std::int64_t>(ARRAY.size()), UNIT, "PRCWNR", IERR,
                  [&](std::int64_t i) { return kp::real_field(ARRAY[static_cast<std::size_t>(i - 1)]); });
}
void PRCWNI(std::span<const std::int32_t> LIST, std::int32_t N, std::int32_t NNODE,
            std::span<const std::int32_t> ARRAY, std::int32_t UNIT, std::int32_t& IERR) {
  kp::write_nodes(false, LIST, N, NNODE, static_cast<std::int64_t>(ARRAY.size()), UNIT, "PRCWNI", IERR,
                  [&](std::int64_t i) { return kp::int_field(ARRAY[static_cast<std::size_t>(i - 1)]); });
}
void PRCWFR(std::span<const std::int32_t> LIST, std::int32_t N, std::int32_t /*NF*/, std::int32_t NNODE,
            std::span<const double> ARRAY, std::int32_t UNIT, std::int32_t& IERR) {
  kp::write_nodes(true, LIST, N, NNODE, static_cast<std::int64_t>(ARRAY.size()), UNIT, "PRCWFR", IERR,
                  [&](std::int64_t i) { return kp::real_field(ARRAY[static_cast<std::size_t>(i - 1)]); });
}
void PRCWFI(std::span<const std::int32_t> LIST, std::int32_t N, std::int32_t /*NF*/, std::int32_t NNODE,
            std::span<const std::int32_t> ARRAY, std::int32_t UNIT, std::int32_t& IERR) {
  kp::write_nodes(true, LIST, N, NNODE, static_cast<std::int64_t>(ARRAY.size()), UNIT, "PRCWFI", IERR,
                  [&](std::int64_t i) { return kp::int_field(ARRAY[static_cast<std::size_t>(i - 1)]); });
}
void PRCWNZ(std::span<const std::int32_t> LIST, std::int32_t N, std::int32_t NNODE, kalvir::CharRows ARRAY,
            std::int32_t UNIT, std::int32_t& IERR) {
  kp::write_nodes(false, LIST, N, NNODE, ARRAY.size(), UNIT, "PRCWNZ", IERR,
                  [&](std::int64_t i) { return kp::text_field(ARRAY(i)); });
}
void PRCWFZ(std::span<const std::int32_t> LIST, std::int32_t N, std::int32_t /*NF*/, std::int32_t NNODE,
            kalvir::CharRows ARRAY, std::int32_t UNIT, std::int32_t& IERR) {
  kp::write_nodes(true, LIST, N, NNODE, ARRAY.size(), UNIT, "PRCWFZ", IERR,
                  [&](std::int64_t i) { return kp::text_field(ARRAY(i)); });
}

void kp::node_labels(std::string_view ENTITY, std::string_view REF, std::int32_t ISUB, std::int32_t UNIT,
                     std::int32_t& IERR, std::vector<std::int32_t>* LABELLED) {
  IERR = 0;
  DynamicCoreMark mark;
  const std::span<std::int32_t> list = kp::node_space(mark);
  if (list.empty()) {
    IERR = 1;
    kp::report("Insufficient dynamic core@Increase DYSTOR", 300, 3, 1, "PRHNOD");
    return;
  }
  std::int32_t n = 0;
  PARNDS(REF, ISUB, kp::nnode() + kp::nfluid(), list, n, IERR);
  if (IERR != 0) return;
  std::int32_t thermal = 0, fluid = 0;
  ENTNTP(ENTITY, thermal, fluid, IERR);
  if (IERR != 0) return;
  // A column that no row could fill (a status letter, a code without node
  // values) is refused here, so that the header stops where the rows would.
  std::int32_t code = 0, length = 0;
  kalvir::Chars<18> matched;
  ENTFND(kalvir::trim_right(ENTITY), matched.span(), code, length);
  if (code == 0 || code > kp::kLastValueCode) {
    IERR = 1;
    kp::report("Invalid or unrecognised entity type@" + std::string(kalvir::trim_right(ENTITY)), 300, 3, 1,
               "PRHNOD");
    return;
  }
  const std::string_view name = kalvir::trim_right(ENTITY);
  // Every label is written; the first failed write is the one returned.
  for (std::int32_t k = 0; k < n; ++k) {
    const std::int32_t node = list[static_cast<std::size_t>(k)];
    if ((node <= kp::nnode() ? thermal : fluid) != 1) continue;
    std::int32_t status = 0;
    WRITEH(UNIT, kp::node_label(name, node), status);
    if (status != 0) {
      if (IERR == 0) kp::report(kp::write_error(status, false), 300, 3, 2, "PRHNOD");
      IERR = 2;
    } else if (LABELLED != nullptr) {
      LABELLED->push_back(node);
    }
  }
}

void PRHNOD(std::string_view ENTITY, std::string_view REF, std::int32_t ISUB, std::int32_t UNIT, std::int32_t& IERR) {
  kp::node_labels(ENTITY, REF, ISUB, UNIT, IERR, nullptr);
}

void PRCUDE(std::int32_t CODE, std::span<const std::int32_t> LIST, std::int32_t N, std::int32_t UNIT,
            std::int32_t& IERR) {
  IERR = 0;
  const std::int32_t nn = kp::nnode(), nf = kp::nfluid();
  const std::int32_t nreal = SPRSIZ(5), nint = SPRSIZ(4), nchar = SPRSIZ(3);
  const std::int32_t k = -CODE;
  std::int32_t terr = 0, ferr = 0;
  if (k >= 1 && k <= nreal) {
    PRCWNR(LIST, N, nn, kp::block(gar_thermalnodeuserentityvalsreal.span(), k, nn), UNIT, terr);
    PRCWFR(LIST, N, nf, nn, kp::block(gar_fluidnodeuserentityvalsreal.span(), k, nf), UNIT, ferr);
  } else if (k > nreal && k <= nreal + nint) {
    PRCWNI(LIST, N, nn, kp::block(gar_thermalnodeuserentityvalsint.span(), k - nreal, nn), UNIT, terr);
    PRCWFI(LIST, N, nf, nn, kp::block(gar_fluidnodeuserentityvalsint.span(), k - nreal, nf), UNIT, ferr);
  } else if (k > nreal + nint && k <= nreal + nint + nchar) {
    const std::int32_t j = k - nreal - nint;
    PRCWNZ(LIST, N, nn, kp::text_block(gar_thermalnodeuserentityvalschar, j, nn), UNIT, terr);
    PRCWFZ(LIST, N, nf, nn, kp::text_block(gar_fluidnodeuserentityvalschar, j, nf), UNIT, ferr);
  } else {
    IERR = 1;
    kp::report("Failed to retrieve user defined node entity@Contact Central Support", 300, 3, 1, "PRCUDE");
    return;
  }
  if (terr != 0 || ferr != 0) IERR = 1;
}

void PRCNOD(std::int32_t CODE, std::string_view REF, std::string_view ITEM, std::int32_t ISUB, std::int32_t UNIT,
            std::int32_t& IERR) {
  IERR = 0;
  DynamicCoreMark mark;
  const std::int32_t nn = kp::nnode(), nf = kp::nfluid();
  const std::int32_t first = FLAGS(flagw::NEXTINT);
  const std::span<std::int32_t> list = kp::node_space(mark);
  if (list.empty()) {
    IERR = 1;
    const std::int64_t shortfall = std::int64_t{first} + 1 + nn + nf - FLAGS(flagw::DYSTOR);
    kp::report("Insufficient dynamic core@Increase DYSTOR - another " + kalvir::int_field(shortfall, 9) +
                   "locations required",
               300, 3, 1, "PRCNOD");
    return;
  }
  std::int32_t n = 0;
  PARNDS(REF, ISUB, nn + nf, list, n, IERR);
  if (IERR != 0) return;
  kp::node_fields(CODE, list.first(static_cast<std::size_t>(n)), ITEM, UNIT, IERR);
}

void kp::node_fields(std::int32_t CODE, std::span<const std::int32_t> NODES, std::string_view ITEM,
                     std::int32_t UNIT, std::int32_t& IERR) {
  IERR = 0;
  const std::int32_t nn = kp::nnode(), nf = kp::nfluid();
  const auto n = static_cast<std::int32_t>(NODES.size());
  if (CODE < 0) {
    PRCUDE(CODE, NODES, n, UNIT, IERR);
    return;
  }
  const kp::NodeEntity* e = kp::node_entity(CODE);
  std::int32_t terr = 0, ferr = 0;
  if (e != nullptr && e->kind == kp::EntityKind::kReal) {
    if (e->thermal != nullptr) PRCWNR(NODES, n, nn, kp::values(e->thermal), UNIT, terr);
    if (e->fluid != nullptr && terr == 0) PRCWFR(NODES, n, nf, nn, kp::values(e->fluid), UNIT, ferr);
  } else if (e != nullptr && e->kind == kp::EntityKind::kText) {
    if (e->thermal_text != nullptr) PRCWNZ(NODES, n, nn, e->thermal_text(), UNIT, terr);
    if (e->fluid_text != nullptr && terr == 0) PRCWFZ(NODES, n, nf, nn, e->fluid_text(), UNIT, ferr);
  } else {
    IERR = 2;
    kp::report("Invalid or unrecognised entity type@" + std::string(ITEM), 300, 3, 2, "PRCNOD");
    return;
  }
  if (terr != 0 || ferr != 0) IERR = 3;
}

// ---------------------------------------------------------------- constants

void PRCCCR(double VALUE, std::int32_t UNIT, std::int32_t& IERR) {
  kp::write_value(kp::real_field(VALUE), UNIT, "PRCCCR", IERR);
}
void PRCCCI(std::int32_t VALUE, std::int32_t UNIT, std::int32_t& IERR) {
  kp::write_value(kp::int_field(VALUE), UNIT, "PRCCCI", IERR);
}
void PRCCCZ(std::string_view TEXT, std::int32_t UNIT, std::int32_t& IERR) {
  kp::write_value(kp::text_field(TEXT), UNIT, "PRCCCZ", IERR);
}

void PRHCCT(std::string_view NAME18, std::int32_t /*ISUB*/, std::int32_t& FOUND) {
  FOUND = kp::control_constant(NAME18) != nullptr ? 1 : 0;
}

void PRHCST(std::string_view NAME, std::int32_t ISUB, std::int32_t UNIT, std::int32_t& IERR) {
  IERR = 0;
  std::int32_t sub = 0;
  std::string name18;
  if (!kp::constant_name(NAME, ISUB, sub, name18)) {
    IERR = 1;
    kp::report(kp::constant_path_error(kalvir::trim_right(NAME)), 300, 3, 1, "PRHCST");
    return;
  }
  std::int32_t found = kp::find_user_constant(sub, name18) ? 1 : 0;
  if (found == 0) PRHCCT(name18, sub, found);
  if (found == 0) {
    IERR = 4;
    kp::report("Unrecognised entity reference@" + std::string(kalvir::trim_right(NAME)), 300, 3, 4, "PRHCST");
    return;
  }
  std::int32_t status = 0;
  WRITEH(UNIT, "," + std::string(kalvir::trim_right(NAME)), status);
  if (status != 0) {
    IERR = 2;
    kp::report(kp::write_error(status, false), 300, 3, 2, "PRHCST");
  }
}

void PRCCCT(std::string_view NAME18, std::int32_t ISUB, std::int32_t UNIT, std::int32_t& IERR) {
  IERR = 0;
  const kp::ControlConstant* c = kp::control_constant(NAME18);
  if (c != nullptr) {
    switch (c->kind) {
      case kp::ConstantKind::kReal: return PRCCCR(GLOR(c->index), UNIT, IERR);
      case kp::ConstantKind::kInteger: return PRCCCI(GLOI(c->index), UNIT, IERR);
      case kp::ConstantKind::kCharacter: return PRCCCZ(std::as_const(GLOC).field(c->index), UNIT, IERR);
      case kp::ConstantKind::kLocalInteger:
        if (const std::int32_t* word = kp::local_integer(*c, ISUB)) return PRCCCI(*word, UNIT, IERR);
        break;
    }
  }
  IERR = 1;
  kp::report("Unrecognised constant name - " + kalvir::padded(NAME18, 18), 300, 3, 1, "PRCCCT");
}

void PRCCST(std::string_view NAME, std::int32_t ISUB, std::int32_t UNIT, std::int32_t& IERR) {
  IERR = 0;
  std::int32_t sub = 0;
  std::string name18;
  if (!kp::constant_name(NAME, ISUB, sub, name18)) {
    IERR = 1;
    kp::report(kp::constant_path_error(kalvir::trim_right(NAME)), 300, 3, 1, "PRCCST");
    return;
  }
  const auto c = kp::find_user_constant(sub, name18);
  if (!c) return PRCCCT(name18, sub, UNIT, IERR);
  switch (c->kind) {
    case kp::ConstantKind::kReal: return PRCCCR(gar_userconstvaluesreal(c->position), UNIT, IERR);
    case kp::ConstantKind::kInteger: return PRCCCI(gar_userconstvaluesint(c->position), UNIT, IERR);
    default: break;
  }
  kalvir::Chars<256> text;
  std::int32_t len = 0;
  if (kp::read_user_text(c->position, text, len) != 0) {
    IERR = 2;
    kp::report("Error retrieving user constant from store@Contact Central Support", 300, 3, 2, "PRCCST");
    return;
  }
  PRCCCZ(text.view().substr(0, static_cast<std::size_t>(std::clamp(len, 0, 256))), UNIT, IERR);
}

// ---------------------------------------------------------------- ARRAY elements

namespace kalvir::parameters {
namespace {

// The resolved ARRAY of an item.
struct ArrayItem {
  std::string_view name;  // the item before its "(", path included
  std::int32_t array = 0, start = 0, kind = 0, ndim = 0, ranged = 0;
  ArrayDims dims{};
  IndexRanges ranges{};
};

std::int32_t resolve_array(std::string_view item, std::int32_t isub, std::string_view routine, ArrayItem& a) {
  const std::string_view text = kalvir::trim_right(item);
  std::string_view ref;
  const std::int32_t code = find_array(text, isub, a.array, ref);
  const auto fail = [&](std::string_view message) {
    report(message, 300, 3, code, routine);
    return code;
  };
  if (code == 1) return fail("Unrecognised submodel name@" + std::string(text));
  if (code == 2) return fail("Invalid array reference syntax@" + std::string(ref));
  if (code == 3) return fail("Unrecognised array name@" + std::string(text));
  const std::size_t paren = ref.find('(');
  a.name = text.substr(0, text.size() - ref.size() + paren);
  std::int32_t ierr = 0;
  PARAIN(a.array, ref.substr(paren), a.start, a.kind, a.ndim, a.dims, a.ranges, a.ranged, ierr);
  return ierr;
}

constexpr std::int32_t kInteger = 1, kReal = 2;

}  // namespace
}  // namespace kalvir::parameters

void PRHARR(std::string_view ITEM, std::int32_t ISUB, std::int32_t UNIT, std::int32_t& IERR) {
  kp::ArrayItem a;
  IERR = kp::resolve_array(ITEM, ISUB, "PRHARR", a);
  if (IERR != 0) return;
  const std::int32_t ndim = std::max(a.ndim, 1);
  bool failed = false;
  kp::each_in_ranges(a.dims, a.ranges, [&](std::int32_t i, std::int32_t j, std::int32_t k, std::int64_t) {
    if (failed) return;
    std::string label = ",\"" + std::string(a.name) + "(" + std::to_string(i);
    if (ndim >= 2) label += "," + std::to_string(j);
    if (ndim >= 3) label += "," + std::to_string(k);
    label += ")\"";
    std::int32_t status = 0;
    WRITEH(UNIT, label, status);
    if (status != 0) {
      failed = true;
      IERR = 1;
      kp::report(kp::write_error(status, false), 300, 3, 1, "PRHARR");
    }
  });
}

void PRCRAR(const kp::ArrayDims& DIMS, const kp::IndexRanges& RANGES, std::span<const double> ELEMENTS,
            std::int32_t UNIT, std::int32_t& IERR) {
  IERR = 0;
  kp::each_in_ranges(DIMS, RANGES, [&](std::int32_t, std::int32_t, std::int32_t, std::int64_t l) {
    if (l >= 1 && l <= static_cast<std::int64_t>(ELEMENTS.size()))
      PRCCCR(ELEMENTS[static_cast<std::size_t>(l - 1)], UNIT, IERR);
  });
}

void PRCIAR(const kp::ArrayDims& DIMS, const kp::IndexRanges& RANGES, std::span<const std::int32_t> ELEMENTS,
            std::int32_t UNIT, std::int32_t& IERR) {
  IERR = 0;
  kp::each_in_ranges(DIMS, RANGES, [&](std::int32_t, std::int32_t, std::int32_t, std::int64_t l) {
    if (l >= 1 && l <= static_cast<std::int64_t>(ELEMENTS.size()))
      PRCCCI(ELEMENTS[static_cast<std::size_t>(l - 1)], UNIT, IERR);
  });
}

namespace kalvir::parameters {
namespace {
// The text of the string at stream position POS, or false when it cannot be read.
bool read_string(PackedRows store, std::int32_t nrows, std::int64_t pos, std::string_view& text) {
  const std::int32_t len = string_length(store, nrows, pos);
  if (len < 0) return false;
  text = std::string_view(store.data() + (pos - 1), static_cast<std::size_t>(len));
  return true;
}
void array_unpack_failure(std::string_view routine, std::int32_t code, std::int32_t& ierr) {
  ierr = code;
  report("Unable to unpack character array from data base@Contact Central Support", 100, 3, code, routine);
}
}  // namespace
}  // namespace kalvir::parameters

void PRCZA1(std::int32_t L, std::int32_t START, std::int32_t NROWS, kalvir::PackedRows STORE, std::int32_t UNIT,
            std::int32_t& IERR) {
  IERR = 0;
  std::int64_t pos = START;
  std::string_view text;
  for (std::int32_t l = 1; l < L; ++l) {
    if (!kp::read_string(STORE, NROWS, pos, text)) return kp::array_unpack_failure("PRCZA1", 1, IERR);
    pos += static_cast<std::int64_t>(text.size()) + 1;
  }
  if (!kp::read_string(STORE, NROWS, pos, text)) return kp::array_unpack_failure("PRCZA1", 2, IERR);
  PRCCCZ(text, UNIT, IERR);
}

void PRCZA2(const kp::ArrayDims& DIMS, const kp::IndexRanges& RANGES, std::int32_t START, std::int32_t NROWS,
            kalvir::PackedRows STORE, std::int32_t UNIT, std::int32_t& IERR) {
  IERR = 0;
  std::int64_t pos = START;
  const auto in = [&](int d, std::int32_t x) { return x >= RANGES[d][0] && x <= RANGES[d][1]; };
  for (std::int32_t k = 1; k <= DIMS[2]; ++k)
    for (std::int32_t j = 1; j <= DIMS[1]; ++j)
      for (std::int32_t i = 1; i <= DIMS[0]; ++i) {
        std::string_view text;
        if (!kp::read_string(STORE, NROWS, pos, text)) return kp::array_unpack_failure("PRCZA2", 1, IERR);
        pos += static_cast<std::int64_t>(text.size()) + 1;
        if (in(0, i) && in(1, j) && in(2, k)) {
          PRCCCZ(text, UNIT, IERR);
          if (IERR != 0) return;
        }
      }
}

void PRCARR(std::string_view ITEM, std::int32_t ISUB, std::int32_t UNIT, std::int32_t& IERR) {
  kp::ArrayItem a;
  IERR = kp::resolve_array(ITEM, ISUB, "PRCARR", a);
  if (IERR != 0) return;
  const std::int64_t l = kp::linear_index(a.dims, a.ranges[0][0], a.ranges[1][0], a.ranges[2][0]);
  const auto out_of_range = [&](std::int32_t code) {
    IERR = code;
    kp::report("Index out of range of array@" + std::string(kalvir::trim_right(ITEM)), 300, 3, code, "PRCARR");
  };
  if (a.kind == kp::kReal || a.kind == kp::kInteger) {
    const bool real = a.kind == kp::kReal;
    const std::int64_t size = real ? gar_arrayvaluesreal.size() : gar_arrayvaluesint.size();
    const std::int64_t first = a.start;
    if (first < 1 || first > size) return out_of_range(real ? 5 : 4);
    if (a.ranged == 0) {
      if (first + l - 1 > size) return out_of_range(real ? 5 : 4);
      if (real) return PRCCCR(gar_arrayvaluesreal(first + l - 1), UNIT, IERR);
      return PRCCCI(gar_arrayvaluesint(first + l - 1), UNIT, IERR);
    }
    // Only the ARRAY's own elements: a range never reads into the next one.
    const std::int64_t count = std::min<std::int64_t>(std::int64_t{a.dims[0]} * a.dims[1] * a.dims[2], size - first + 1);
    const auto own = [&](auto& store) {
      return std::as_const(store).span().subspan(static_cast<std::size_t>(first - 1), static_cast<std::size_t>(count));
    };
    if (real) {
      PRCRAR(a.dims, a.ranges, own(gar_arrayvaluesreal), UNIT, IERR);
    } else {
      PRCIAR(a.dims, a.ranges, own(gar_arrayvaluesint), UNIT, IERR);
    }
    return;
  }
  const auto rows = static_cast<std::int32_t>(gar_arrayvalueschar.size());
  if (a.ranged == 0) return PRCZA1(static_cast<std::int32_t>(l), a.start, rows, gar_arrayvalueschar, UNIT, IERR);
  PRCZA2(a.dims, a.ranges, a.start, rows, gar_arrayvalueschar, UNIT, IERR);
}
