#include "runtime/output/print/node_table.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/messages.h"
#include "runtime/control/shared_blocks.h"
#include "runtime/modeldata/entity_lists.h"
#include "runtime/modeldata/entity_values.h"
#include "runtime/modeldata/model_tree.h"
#include "runtime/modeldata/node_groups.h"
#include "runtime/modeldata/search_sort.h"
#include "runtime/modeldata/text_utils.h"
#include "runtime/output/print/page_layout.h"
#include "runtime/output/print/solution_heading.h"
#include "runtime/platform/format.h"

namespace {

using kalvir::print::ColumnPiece;
using kalvir::print::NodeTableLayout;
using kalvir::print::RowLayout;
using kalvir::print::ValueKind;
using kalvir::print::put;

constexpr std::string_view kCaller = "PRNDTB";
// Entity codes that name node-table columns: the nodal and conductor codes.
constexpr std::int32_t kTableCodes = 48;
// Room of the decoder's table of codes already listed (user attributes up to 399).
constexpr std::int32_t kListedRoom = 400;
// ZENTS without its blanks.
constexpr std::size_t kZentsLength = 132;
// A record body never passes 132 print columns.
constexpr std::size_t kMaxRecord = 1 + kalvir::print::kMaxColumns;

constexpr std::string_view kNoIntegerSpace =
    "Insufficient integer work space.@Printing table output with PRNDTB.@Increase DYSTOR on $EXECUTION record, "
    "see User Manual description of $EXECUTION block.";
constexpr std::string_view kNoRealSpace =
    "Insufficient real work space.@Printing table output with PRNDTB.@Increase DYSTOR on $EXECUTION record, "
    "see User Manual description of $EXECUTION block.";

std::int32_t nnode() { return FLAGS(flagw::NNODE); }
std::int32_t nfluid() { return FLAGS(flagw::NF); }

bool is_thermal(std::int32_t node) { return node <= nnode(); }

// A node's status letter X marks its row.
char marker(std::int32_t node) {
  const std::string_view status =
      is_thermal(node) ? gar_thermalnodestatuses(node) : gar_fluidnodestatuses(node - nnode());
  return status[0] == 'X' ? 'X' : ' ';
}

std::int32_t user_number(std::int32_t node) {
  return is_thermal(node) ? gar_thermalnodenums(node) : gar_fluidnodenums(node - nnode());
}

// One value of a row, as fetched for its entity.
struct Value {
  ValueKind kind = ValueKind::Real;
  double real = 0.0;
  std::int32_t integer = 0;
  std::string text;  // at its full length (24, or 4)
};

// The value of entity `code` for internal node `node`; false when the
// fetch failed (reported by the entity routines).
bool fetch(std::int32_t code, std::int32_t node, Value& v) {
  std::int32_t ierr = 0;
  const std::int32_t value_class = ENTRIC(code);
  if (value_class == 3) {
    v.kind = ValueKind::Text;
    const std::int32_t f = node - nnode();
    switch (code) {
      case 1:
        v.text = is_thermal(node) ? gar_thermalnodelabels(node) : gar_fluidnodelabels(f);
        return true;
      case 24:
        v.text = is_thermal(node) ? std::string(24, ' ') : std::string(gar_fluidnodefluidtypes(f));
        return true;
      case 29:
        v.text = is_thermal(node) ? std::string(4, ' ') : std::string(gar_fluidnodeflowregimes(f));
        return true;
      case 36:
        v.text = is_thermal(node) ? std::string(4, ' ') : std::string(gar_fluidnodestatedescriptors(f));
        return true;
      default: {
        kalvir::Chars<24> text;
        LSNTVC(code, node, nfluid(), nnode(), kCaller, text.span(), ierr);
        v.text = text.str();
        return ierr == 0;
      }
    }
  }
  if (value_class == 2) {
    v.kind = ValueKind::Integer;
    LSNTVI(code, node, nfluid(), nnode(), kCaller, v.integer, ierr);
    return ierr == 0;
  }
  v.kind = ValueKind::Real;
  LSNTVR(code, node, nfluid(), nnode(), kCaller, v.real, ierr);
  return ierr == 0;
}

std::string clipped(std::string record) {
  if (record.size() > kMaxRecord) record.resize(kMaxRecord);
  return record;
}

// A row in the built layout: blank columns at the row's end are not written.
bool write_built_row(std::int32_t node, const std::vector<ColumnPiece>& pieces) {
  std::string row = " ";
  row += marker(node);
  row += ' ';
  row += kalvir::int_field(user_number(node), 10);
  std::size_t pending = 0;
  Value v;
  for (const ColumnPiece& p : pieces) {
    if (!p.has_value) {
      pending += static_cast<std::size_t>(p.width);
      continue;
    }
    if (!fetch(p.code, node, v)) return false;
    row.append(pending + 4, ' ');
    switch (p.kind) {
      case ValueKind::Text:
        row += kalvir::padded(v.text, static_cast<std::size_t>(p.text_length));
        break;
      case ValueKind::Real:
        row += kalvir::platform::edit_f(v.real, 10, 2);
        break;
      case ValueKind::Integer:
        row += kalvir::int_field(v.integer, 10);
        break;
    }
    pending = static_cast<std::size_t>(p.extra);
  }
  put(clipped(std::move(row)));
  return true;
}

// A row in a user layout: the marker, the node number and the values the
// node's kind has, in entity order. False when a value could not be fetched;
// a row that does not suit the layout is written in the built layout.
bool write_user_row(std::int32_t node, std::span<const std::int32_t> entities, const RowLayout& layout) {
  const bool thermal = is_thermal(node);
  std::vector<Value> values;
  values.reserve(entities.size());
  for (const std::int32_t code : entities) {
    const std::int32_t kind = ENTYP(code);
    if (thermal ? kind < 0 : kind > 0) continue;
    values.emplace_back();
    if (!fetch(code, node, values.back())) return false;
  }
  const std::array<char, 1> mark{marker(node)};
  std::vector<kalvir::platform::FormatItem> items;
  items.reserve(values.size() + 2);
  items.emplace_back(std::string_view(mark.data(), 1));
  items.emplace_back(std::int64_t{user_number(node)});
  for (const Value& v : values) {
    switch (v.kind) {
      case ValueKind::Text:
        items.emplace_back(std::string_view(v.text));
        break;
      case ValueKind::Real:
        items.emplace_back(v.real);
        break;
      case ValueKind::Integer:
        items.emplace_back(std::int64_t{v.integer});
        break;
    }
  }
  // A layout with fewer value descriptors than the row has values shows the
  // values it has descriptors for: the first row that fails is tried again
  // with fewer values, and the count that suits it is kept for the others.
  std::vector<std::string> records;
  std::size_t count = layout.user_items > 0 ? std::min(layout.user_items, items.size()) : items.size();
  bool written = layout.user->write(std::span(items).first(count), records) == 0;
  for (count = items.size() - 1; !written && layout.user_items == 0 && count >= 2; --count) {
    written = layout.user->write(std::span(items).first(count), records) == 0;
    if (written) layout.user_items = count;
  }
  if (!written) {
    if (!layout.user_failed) {
      layout.user_failed = true;
      SETERX("Row format in " + std::string(layout.user_source) +
                 " does not suit the values of the row@Printing table output with PRNDTB.@The built row layout "
                 "is used instead.",
             2, 3, "LS1TB2");
    }
    return write_built_row(node, layout.pieces);
  }
  for (std::string& r : records) put(clipped(std::move(r)));
  return true;
}

void heading_block(const kalvir::print::Heading& head) {
  put("");
  const auto width = static_cast<std::size_t>(std::clamp<std::int32_t>(GLOI.WIDTH, 0, 132));
  put(head.view().substr(0, width));
  put("");
  kalvir::print::count_lines(3);
}

}  // namespace

void LSSEQN(std::int32_t ICODE, std::span<const std::int32_t> NODES, std::span<double> KEYS, std::int32_t& IERR) {
  IERR = 0;
  for (std::size_t k = 0; k < NODES.size() && k < KEYS.size(); ++k) {
    LSNTVR(ICODE, NODES[k], nfluid(), nnode(), kCaller, KEYS[k], IERR);
    if (IERR != 0) return;
  }
}

void LSSEQI(std::int32_t ICODE, std::span<const std::int32_t> NODES, std::span<std::int32_t> KEYS,
            std::int32_t& IERR) {
  IERR = 0;
  for (std::size_t k = 0; k < NODES.size() && k < KEYS.size(); ++k) {
    LSNTVI(ICODE, NODES[k], nfluid(), nnode(), kCaller, KEYS[k], IERR);
    if (IERR != 0) return;
  }
}

void LS1TB2(std::int32_t NODE, std::span<const std::int32_t> ENTITIES, const RowLayout& LAYOUT, std::int32_t& IERR) {
  const bool written = LAYOUT.user ? write_user_row(NODE, ENTITIES, LAYOUT) : write_built_row(NODE, LAYOUT.pieces);
  IERR = written ? 0 : 1;
}

void LS1TAB(std::span<const std::int32_t> NODES, std::span<const std::int32_t> ENTITIES, const RowLayout& THERMAL,
            const RowLayout& FLUID, const kalvir::print::Heading& HEAD, std::int32_t& IERR) {
  IERR = 0;
  if (kalvir::print::lines_left() < 8) PRPAGE();
  heading_block(HEAD);
  for (const bool thermal_pass : {true, false}) {
    if (!thermal_pass) put("");  // between the passes, not counted
    for (const std::int32_t node : NODES) {
      if (is_thermal(node) != thermal_pass) continue;
      if (PRTINF(2) >= PRTINF(1)) {
        PRPAGE();
        heading_block(HEAD);
      }
      LS1TB2(node, ENTITIES, thermal_pass ? THERMAL : FLUID, IERR);
      if (IERR != 0) return;
      kalvir::print::count_lines(1);
    }
  }
}

void LS1NTB(std::string_view ZLABEL, std::int32_t SUBREF, std::int32_t ISUB, std::span<const std::int32_t> LIST,
            std::int32_t SEQ, const NodeTableLayout& LAYOUT, std::int32_t& IERR) {
  IERR = 0;
  DynamicCoreMark mark;
  const std::int32_t dystor = std::min<std::int64_t>(FLAGS(flagw::DYSTOR), gar_dynamiccoreint.size());
  const std::int32_t maxn = nnode() + std::max(nfluid(), 1);
  const std::int32_t next_int = FLAGS(flagw::NEXTINT);
  if (next_int < 1 || static_cast<std::int64_t>(maxn) + next_int > dystor) {
    SETERX(kNoIntegerSpace, 3, 1, "LS1NTB");
    IERR = 1;
    return;
  }
  const std::span<std::int32_t> room(gar_dynamiccoreint.data() + (next_int - 1), static_cast<std::size_t>(maxn));
  std::int32_t nsel = 0;
  Lschnd(SUBREF, maxn, "BOTH", 1, kCaller, -ISUB, ZLABEL, IERR, room, nsel);
  if (IERR != 0) return;
  mark.take_int(nsel);
  if (nsel == 0) return;
  const std::span<std::int32_t> nodes = room.first(static_cast<std::size_t>(nsel));

  if (SEQ != 0) {
    const std::string_view order = SEQ > 0 ? "INC" : "DEC";
    const std::int32_t code = SEQ > 0 ? SEQ : -SEQ;
    const std::int32_t value_class = ENTRIC(code);
    std::int32_t ierr = 0;
    if (value_class == 1) {
      const std::int32_t next_real = FLAGS(flagw::NEXTREAL);
      const std::int64_t free_real =
          std::min<std::int64_t>(FLAGS(flagw::DYSTOR), gar_dynamiccorereal.size()) - next_real + 1;
      if (next_real < 1 || free_real < nsel) {
        SETERX(kNoRealSpace, 3, 2, "LS1NTB");
        IERR = 1;
        return;
      }
      const std::span<double> keys(gar_dynamiccorereal.data() + (next_real - 1), static_cast<std::size_t>(nsel));
      LSSEQN(code, nodes, keys, ierr);
      if (ierr == 0) SORTRI(order, nsel, nodes, keys, ierr);
    } else if (value_class == 2) {
      const std::int32_t next = FLAGS(flagw::NEXTINT);
      if (static_cast<std::int64_t>(dystor) - next + 1 < nsel) {
        SETERX(kNoIntegerSpace, 3, 3, "LS1NTB");
        IERR = 1;
        return;
      }
      const std::span<std::int32_t> keys(gar_dynamiccoreint.data() + (next - 1), static_cast<std::size_t>(nsel));
      LSSEQI(code, nodes, keys, ierr);
      if (ierr == 0) SORTII(order, nsel, nodes, keys, ierr);
    }
    if (ierr != 0) {
      IERR = 1;
      return;
    }
  }

  const std::int32_t nsub = std::max(FLAGS(flagw::NSUB), 1);
  std::vector<kalvir::Chars<24>> path(static_cast<std::size_t>(nsub));
  std::int32_t npath = 0;
  std::int32_t ierr = 0;
  SCCNAM(gar_modeldirectory, 18, gar_modelnames, ISUB,
         std::span<char>(reinterpret_cast<char*>(path.data()), path.size() * 24), 24, npath, ierr);
  if (ierr != 0) npath = 0;

  const std::int32_t per_line = std::max(GLOI.WIDTH / 24, 1);
  const std::int32_t needed = 11 + (npath + per_line - 1) / per_line;
  if (kalvir::print::lines_left() < needed) {
    PRPAGE();
  } else {
    put("");
    put(" " + std::string(static_cast<std::size_t>(std::clamp<std::int32_t>(GLOI.WIDTH, 0, 132)), '='));
    put("");
    put("");
    kalvir::print::count_lines(3);
  }
  LSPCNM(path, npath, 1, GLOI.WIDTH);
  put("");
  kalvir::print::count_lines(1);

  const auto n1 = static_cast<std::size_t>(std::clamp<std::int64_t>(LAYOUT.n1, 0, LIST.size()));
  LS1TAB(nodes, LIST.first(n1), LAYOUT.thermal1, LAYOUT.fluid1, LAYOUT.head1, IERR);
  if (IERR == 0 && LAYOUT.cont == 1) {
    put("");
    kalvir::print::count_lines(1);
    const auto n2 = static_cast<std::size_t>(std::clamp<std::int64_t>(LAYOUT.n2, 0, LIST.size() - n1));
    LS1TAB(nodes, LIST.subspan(n1, n2), LAYOUT.thermal2, LAYOUT.fluid2, LAYOUT.head2, IERR);
  }
}

void LSTINT(std::string_view ZLABEL, std::string_view ZENTS, std::int32_t LEN, std::span<const std::int32_t> LIST,
            std::int32_t N, std::int32_t STATUS, NodeTableLayout& LAYOUT) {
  PRPAGE();
  PRHEAD();
  const std::int64_t shown = std::clamp<std::int64_t>(std::min<std::int64_t>(LEN, GLOI.WIDTH - 26), 0, ZENTS.size());
  put(" TABLE OUTPUT WITH ZENTS = '" + std::string(ZENTS.substr(0, static_cast<std::size_t>(shown))) + "'");
  put(clipped(" FOR NODES OF ZLABEL = '" + std::string(ZLABEL) + "'"));
  kalvir::print::count_lines(2);
  LSTBFM(LIST, N, GLOI.WIDTH, STATUS, LAYOUT.thermal1, LAYOUT.fluid1, LAYOUT.thermal2, LAYOUT.fluid2, LAYOUT.head1,
         LAYOUT.head2, LAYOUT.n1, LAYOUT.n2, LAYOUT.cont);
}

void PRNDTB(std::string_view ZLABEL, std::string_view ZENTS, std::int32_t SUBREF) {
  std::string zents;
  for (const char c : ZENTS)
    if (c != ' ' && c != '\t') zents += c;
  if (zents.size() > kZentsLength) {
    SETERX("PRNDTB: Mistake in ZENTS, entity list longer than 132 characters without blanks@Printing table output "
           "with PRNDTB.",
           3, 3, "PRNDTB");
    return;
  }
  const auto len = static_cast<std::int32_t>(zents.size());

  const std::int32_t room = kTableCodes + std::max(SPRSIZ(3), 0) + std::max(SPRSIZ(4), 0) + std::max(SPRSIZ(5), 0);
  std::vector<std::int32_t> list(static_cast<std::size_t>(room), 0);
  std::vector<std::int32_t> listed(static_cast<std::size_t>(kListedRoom), 0);
  std::int32_t condseen = 0;
  std::int32_t nodeseen = 0;
  std::int32_t n = 0;
  std::int32_t seq = 0;
  std::int32_t status = 0;
  LSDNTT(room, kListedRoom, kTableCodes, kCaller, kalvir::padded(zents, kZentsLength), len, list, condseen, listed,
         nodeseen, n, seq, status);
  if (n < 1) {
    SETERX("PRNDTB: Mistake in ZENTS, no entities to output", 3, 1, "PRNDTB");
    return;
  }
  if (nodeseen == 0) {
    SETERX("PRNDTB: Mistake in ZENTS, only node entities allowed", 3, 2, "PRNDTB");
    return;
  }
  const std::span<const std::int32_t> entities = std::span<const std::int32_t>(list).first(static_cast<std::size_t>(n));

  NodeTableLayout layout;
  LSTINT(ZLABEL, zents, len, entities, n, status, layout);

  // A reference outside the model is refused by the node selection, with its
  // own message, before the model directory is read.
  const std::int32_t nsub = FLAGS(flagw::NSUB);
  if (SUBREF == 0 || SUBREF < -nsub || SUBREF > nsub) {
    std::int32_t ierr = 0;
    std::int32_t nsel = 0;
    Lschnd(SUBREF, 0, "BOTH", 1, kCaller, SUBREF, ZLABEL, ierr, {}, nsel);
    return;
  }
  const std::int32_t first = SUBREF > 0 ? SUBREF : -SUBREF;
  // The subtree size is summed wide: a directory out of step with the
  // number of submodels can neither overflow nor reach past the last one.
  const std::int32_t last =
      SUBREF > 0 ? static_cast<std::int32_t>(std::clamp<std::int64_t>(
                       std::int64_t{SUBREF} + gar_modeldirectory(2, SUBREF) - 1, first - 1, nsub))
                 : first;
  for (std::int32_t m = first; m <= last; ++m) {
    std::int32_t ierr = 0;
    LS1NTB(ZLABEL, SUBREF, m, entities, seq, layout, ierr);
    if (ierr != 0) return;
  }
}
