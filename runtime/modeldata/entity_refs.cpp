#include "runtime/modeldata/entity_refs.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/messages.h"
#include "runtime/modeldata/entity_text.h"
#include "runtime/modeldata/entity_values.h"
#include "runtime/modeldata/fpcs.h"
#include "runtime/modeldata/model_tree.h"
#include "runtime/modeldata/node_groups.h"
#include "runtime/modeldata/pcs.h"

using kalvir::entity::cut;
using kalvir::entity::find_from;
using kalvir::entity::sub;

namespace kalvir {
namespace {

constexpr std::int32_t kErrNoConductor = 318;
constexpr std::int32_t kErrBadEntity = 312;

std::int32_t nnode() { return FLAGS(flagw::NNODE); }
std::int32_t nsub() {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(FLAGS(flagw::NSUB), 0, gar_modeldirectory.cols() - 1));
}

// One step of a walk through one run of a node's connection list: unpack
// (STUNPK or SFUNPK over all neighbours, whatever their status) until an
// entry of run `want` comes, or the list or that run ends. True with the
// entry in icond and other.
template <class Unpack>
bool next_of_kind(std::int32_t want, ConductorWalk& walk, Unpack unpack, std::int32_t& icond, std::int32_t& other) {
  for (;;) {
    if (walk.started && walk.position == 0) return false;
    unpack(walk.kind, walk.position, icond, other);
    walk.started = true;
    if (walk.position == 0 || walk.kind > want) {
      walk.position = 0;
      return false;
    }
    if (walk.kind == want) return true;
  }
}

auto thermal_unpack(std::int32_t nn, std::int32_t node) {
  return [nn, node](std::int32_t& kind, std::int32_t& pos, std::int32_t& icond, std::int32_t& other) {
    STUNPK(1, nn, node, gar_thermalnodestatuses, gar_pcsthermalold.span(), gar_pcsptrsthermalold.span(), kind, pos,
           icond, other);
  };
}

auto fluid_unpack(std::int32_t f) {
  return [f](std::int32_t& kind, std::int32_t& pos, std::int32_t& icond, std::int32_t& other) {
    SFUNPK(1, f, gar_thermalnodestatuses, gar_pcsfluid.span(), gar_pcsptrsfluid.span(), kind, pos, icond, other);
  };
}

void end_walk(std::int32_t& icond, std::int32_t& other, std::int32_t& iend) {
  icond = 0;
  other = 0;
  iend = 1;
}

// The GV walk's cursors: the next conductor from k on whose `column` end is node.
std::int32_t next_vfac(std::int32_t node, std::int32_t column, std::int32_t from, std::int32_t ngv) {
  for (std::int32_t k = std::max(from, 1); k <= ngv; ++k)
    if (gar_vfaccondnodepairs(2LL * k - 2 + column) == node) return k;
  return 0;
}

}  // namespace
}  // namespace kalvir

void LSVENT(std::string_view TEXT, std::int32_t& ISENT, std::int32_t& NLET, std::int32_t& ICTYPE, std::int32_t& ISNODE,
            std::int32_t& IERR) {
  ISENT = 0;
  ICTYPE = 0;
  ISNODE = 0;
  IERR = 0;
  NLET = 1;
  std::size_t n = 0;
  while (n < TEXT.size() && TEXT[n] >= 'A' && TEXT[n] <= 'Z') ++n;
  if (n < 1 || n > 3) {
    IERR = kalvir::kErrBadEntity;
    SETERX(cut("Mistake in ZENT, invalid entity reference, " + std::string(sub(TEXT, 1, 3)), 256), 3, 2, "LSVENT");
    return;
  }
  NLET = static_cast<std::int32_t>(n) + 1;
  const std::string_view prefix = TEXT.substr(0, n);
  if (prefix == "N") {
    ISNODE = 1;
    return;
  }
  if (prefix == "M" && TEXT.find('(') == std::string_view::npos) return;
  ISENT = 1;
  std::int32_t code = 0;
  for (std::int32_t c = 1; c <= 48 && code == 0; ++c)
    if (kalvir::trim_right(ENTNAM(c)) == prefix) code = c;
  if (code >= 1 && code <= kalvir::kNumNodalEntityCodes) {
    ISNODE = 1;
  } else if (code >= 42 && code <= 47) {
    ICTYPE = code - 41;
  } else {
    IERR = kalvir::kErrBadEntity;
    SETERX(cut("Mistake in ZENT, invalid entity reference, " + kalvir::padded(prefix, 3), 256), 3, 1, "LSVENT");
  }
}

void LSNREF(std::int32_t ISUB, std::string_view TEXT, std::int32_t LEN, std::int32_t& POS, std::int32_t& INODE,
            std::int32_t& IERR) {
  INODE = 0;
  IERR = 0;
  const std::string_view text = sub(TEXT, 1, LEN);
  const std::int32_t comma = find_from(text, ',', POS);
  const std::int32_t paren = find_from(text, ')', POS);
  std::int32_t end;
  if (comma != 0 || paren != 0) {
    end = (comma != 0 && (paren == 0 || comma < paren) ? comma : paren) - 1;
  } else {
    end = POS - 1 + static_cast<std::int32_t>(kalvir::trimmed_length(sub(text, POS, LEN)));
  }
  const std::string_view ref = sub(text, POS, end);
  std::int32_t number = 0;
  if (!kalvir::user_node_number(ISUB, ref, number)) {
    IERR = 1;
    SETERX(cut("Unrecognised sub-model / alias in ZENT@" + std::string(ref), 256), 3, 1, "LSNREF");
  }
  POS = end + 1;
  if (IERR != 0) return;
  INODE = INTNOD(ISUB, number);
  if (INODE == 0) IERR = 2;
}

void LSNSST(std::int32_t& POS, std::int32_t ISUB, std::string_view TEXT, std::int32_t LEN, std::string_view STATUS,
            std::int32_t& CHANGED, std::int32_t& IERR) {
  static constexpr std::string_view kLetters = "BDXFJRVQSHUIKO";
  CHANGED = 0;
  IERR = 0;
  // A status is one letter; anything longer names no status.
  const std::size_t at = STATUS.size() == 1 ? kLetters.find(STATUS[0]) : std::string_view::npos;
  const std::int32_t k = at == std::string_view::npos ? 0 : static_cast<std::int32_t>(at) + 1;
  std::int32_t inode = 0;
  LSNREF(ISUB, TEXT, LEN, POS, inode, IERR);
  if (IERR != 0) return;
  if (POS != LEN + 1) {
    IERR = 1;
    SETERX("Mistake at end of zent", 2, 1, "LSNSST");
  }
  const std::int32_t nn = kalvir::nnode();
  if (inode > nn && k > 3) {
    if (inode - nn <= gar_fluidnodestatuses.size()) {
      gar_fluidnodestatuses.set(inode - nn, STATUS);
      return;
    }
  } else if (inode <= nn && k >= 1 && k <= 3 && inode <= gar_thermalnodestatuses.size() &&
             inode <= gar_thermalnodestatusescopy.size()) {
    const char letter = STATUS[0];
    if (gar_thermalnodestatusescopy(inode)[0] != letter) CHANGED = 1;
    gar_thermalnodestatusescopy.row(inode)[0] = letter;
    if (ISUB >= 1 && ISUB <= gar_modelstatuses.size() && gar_modelstatuses(ISUB)[0] == 'A') {
      CHANGED = gar_thermalnodestatuses(inode)[0] != letter ? 1 : 0;
      gar_thermalnodestatuses.row(inode)[0] = letter;
      // Node lists that leave out 'X' nodes depend on the letters.
      if (CHANGED != 0) Lschnd_clear_cache();
    }
    return;
  }
  IERR = 2;
  SETERX("Mistake at end of zent", 2, 2, "LSNSST");
}

void LSC1RF(const kalvir::ModelDirectory& MODDIR, std::int32_t NROWS, std::int32_t NSUB, std::string_view CALLER,
            std::int32_t ISUB, const kalvir::ModelNames& NAMES, std::string_view TEXT, std::int32_t LEN,
            std::int32_t& POS, std::int32_t& SEQ, std::int32_t& NODE1, std::int32_t& NODE2, std::int32_t& IERR) {
  SEQ = 0;
  NODE1 = 0;
  NODE2 = 0;
  IERR = 0;
  const std::string_view text = sub(TEXT, 1, LEN);
  const std::string caller(kalvir::trim_right(CALLER));
  auto fail = [&](std::int32_t code, std::string_view what, std::string_view tail) {
    IERR = code;
    SETERX(cut(caller + std::string(what) + std::string(tail), 256), code == 7 ? 2 : 3, code, "LSC1RF");
  };
  auto at = [&](std::int32_t p) { return p >= 1 && p <= static_cast<std::int32_t>(text.size()) ? text[static_cast<std::size_t>(p - 1)] : ' '; };

  // One node of the pair: an optional path, then a number or an alias.
  auto read_node = [&](std::int32_t first, std::int32_t last, std::int32_t alias_err, std::int32_t node_err,
                       std::int32_t& node) {
    std::int32_t isub = ISUB;
    std::int32_t p = first;
    if (find_from(sub(text, 1, last), ':', first) != 0) {
      std::int32_t ierr = 0;
      LSMINT(MODDIR, NROWS, NSUB, 1, ISUB, NAMES, sub(text, 1, last), last, p, isub, ierr);
      if (ierr != 0) {
        IERR = ierr;
        return false;
      }
    }
    const std::string_view node_text = sub(text, p, last);
    std::int32_t number = 0;
    if (!kalvir::user_node_number(isub, node_text, number)) {
      fail(alias_err, ": Unrecognised sub-model / alias in ZENT@", node_text);
      return false;
    }
    node = INTNOD(isub, number);
    if (node == 0) {
      fail(node_err, ": Unrecognised node:", node_text);
      return false;
    }
    return true;
  };

  if (at(POS) != '(') {
    fail(10, ": Mistake in ZENT, expecting \"(\"@", text);
    return;
  }
  const std::int32_t comma = find_from(text, ',', POS + 1);
  if (comma == 0 || comma == POS + 1) {
    fail(3, ": Mistake in ZENT, expecting \",\"@", text);
    return;
  }
  if (!read_node(POS + 1, comma - 1, 1, 2, NODE1)) return;

  const std::int32_t close = find_from(text, ')', comma + 2);
  if (close == 0) {
    fail(6, ": Mistake in ZENT, expecting \")\"@", text);
    return;
  }
  const std::int32_t comma2 = find_from(text, ',', comma + 1);
  const std::int32_t end2 = (comma2 != 0 && comma2 < close ? comma2 : close) - 1;
  if (!read_node(comma + 1, end2, 4, 5, NODE2)) return;

  std::int32_t p = end2 + 1;
  SEQ = 1;
  if (at(p) == ',') {
    std::int64_t value = 0;
    std::int32_t q = p + 1;
    while (q <= LEN && at(q) >= '0' && at(q) <= '9' && value <= 2147483647) value = value * 10 + (at(q++) - '0');
    if (q == p + 1 || value < 1 || value > 2147483647) {
      SEQ = 0;
      fail(8, ": Mistake in ZENT, invalid conductor sequence number@", text);
      return;
    }
    SEQ = static_cast<std::int32_t>(value);
    p = q;
  }
  if (at(p) != ')') {
    fail(7, ": Mistake in ZENT,expecting \")\"@", text);
    return;
  }
  POS = p + 1;
}

void LSGCNM(std::int32_t ITYPE, std::int32_t NODE, kalvir::ConductorWalk& WALK, std::int32_t& ICOND,
            std::int32_t& OTHER, std::int32_t& IEND) {
  IEND = 0;
  const std::int32_t nn = kalvir::nnode();
  if (ITYPE < 1 || ITYPE > 3 || NODE < 1) return kalvir::end_walk(ICOND, OTHER, IEND);
  bool found;
  if (NODE <= nn) {
    if (NODE > gar_pcsptrsthermalold.size()) return kalvir::end_walk(ICOND, OTHER, IEND);
    found = kalvir::next_of_kind(ITYPE, WALK, kalvir::thermal_unpack(nn, NODE), ICOND, OTHER);
  } else {
    if (NODE - nn > gar_pcsptrsfluid.size()) return kalvir::end_walk(ICOND, OTHER, IEND);
    found = kalvir::next_of_kind(ITYPE + 1, WALK, kalvir::fluid_unpack(NODE - nn), ICOND, OTHER);
  }
  if (!found) kalvir::end_walk(ICOND, OTHER, IEND);
}

void LSGFCN(std::int32_t NODE, kalvir::ConductorWalk& WALK, std::int32_t& ICOND, std::int32_t& OTHER,
            std::int32_t& IEND) {
  IEND = 0;
  const std::int32_t nn = kalvir::nnode();
  if (NODE <= nn || NODE - nn > gar_pcsptrsfluid.size()) return kalvir::end_walk(ICOND, OTHER, IEND);
  if (!kalvir::next_of_kind(1, WALK, kalvir::fluid_unpack(NODE - nn), ICOND, OTHER))
    return kalvir::end_walk(ICOND, OTHER, IEND);
  OTHER += nn;  // links name the other fluid node by its fluid index
}

void LSGTVW(std::int32_t NODE, kalvir::ConductorWalk& WALK, std::int32_t& ICOND, std::int32_t& OTHER,
            std::int32_t& IEND) {
  IEND = 0;
  const auto ngv = static_cast<std::int32_t>(
      std::clamp<std::int64_t>(FLAGS(flagw::NGV), 0, gar_vfaccondnodepairs.size() / 2));
  auto first_at = [&](std::int32_t k) { return gar_vfaccondnodepairs(2LL * k - 1); };
  auto second_at = [&](std::int32_t k) { return gar_vfaccondnodepairs(2LL * k); };
  if (!WALK.started) {
    WALK.started = true;
    const std::int32_t isub = NDSSMD(NODE);
    if (isub < 1 || gar_modeldirectory.rows() < 7) return kalvir::end_walk(ICOND, OTHER, IEND);
    WALK.first = kalvir::next_vfac(NODE, 1, gar_modeldirectory(7, isub) + 1, ngv);
    WALK.second = kalvir::next_vfac(NODE, 2, 1, ngv);
  } else if (WALK.last_used == 1) {
    // The conductors with the node first follow each other.
    const std::int32_t k = WALK.first + 1;
    WALK.first = k <= ngv && first_at(k) == NODE ? k : 0;
  } else if (WALK.last_used == 2) {
    WALK.second = kalvir::next_vfac(NODE, 2, WALK.second + 1, ngv);
  }
  WALK.last_used = 0;
  if (WALK.first == 0 && WALK.second == 0) return kalvir::end_walk(ICOND, OTHER, IEND);
  if (WALK.second == 0 || (WALK.first != 0 && second_at(WALK.first) < first_at(WALK.second))) {
    WALK.last_used = 1;
    ICOND = WALK.first;
    OTHER = second_at(WALK.first);
  } else {
    WALK.last_used = 2;
    ICOND = -WALK.second;
    OTHER = first_at(WALK.second);
  }
}

void LSC2RF(std::int32_t SEQ, std::int32_t ICTYPE, std::int32_t NODE1, std::int32_t NODE2, std::int32_t& ICOND,
            std::int32_t& IERR) {
  ICOND = 0;
  IERR = 0;
  kalvir::ConductorWalk walk;
  std::int32_t count = 0;
  for (;;) {
    std::int32_t cond = 0;
    std::int32_t other = 0;
    std::int32_t iend = 1;
    if (ICTYPE >= 1 && ICTYPE <= 3)
      LSGCNM(ICTYPE, NODE1, walk, cond, other, iend);
    else if (ICTYPE == 5 || ICTYPE == 6)
      LSGFCN(NODE1, walk, cond, other, iend);
    else if (ICTYPE == 4)
      LSGTVW(NODE1, walk, cond, other, iend);
    if (iend != 0) {
      IERR = kalvir::kErrNoConductor;
      SETERX("Conductor not found", 3, 1, "LSC2RF");
      return;
    }
    if (other == NODE2 && ++count == SEQ) {
      ICOND = std::abs(cond);
      return;
    }
  }
}

void LSCSST(std::string_view CALLER, std::string_view STATUS, std::int32_t ICTYPE, std::int32_t ISUB,
            std::string_view TEXT, std::int32_t LEN, std::int32_t& POS, std::int32_t& CHANGED, std::int32_t& IERR) {
  CHANGED = 0;
  IERR = 0;
  char letter;
  if (kalvir::same_trimmed(STATUS, "ON")) {
    letter = 'A';
  } else if (kalvir::same_trimmed(STATUS, "OFF")) {
    letter = 'I';
  } else {
    IERR = kalvir::kErrNoConductor;
    SETERX("STATST: Mistake in ZENT, invalid conductor status@STATUS =  \"ON\"  or  \"OFF\"", 3, 1, "LSCSST");
    return;
  }
  std::int32_t seq = 0;
  std::int32_t node1 = 0;
  std::int32_t node2 = 0;
  LSC1RF(gar_modeldirectory, 18, kalvir::nsub(), CALLER, ISUB, gar_modelnames, TEXT, LEN, POS, seq, node1, node2, IERR);
  if (IERR != 0) return;
  std::int32_t icond = 0;
  LSC2RF(seq, ICTYPE, node1, node2, icond, IERR);
  if (IERR != 0) return;

  struct Target {
    kalvir::gar::C1* acts;
    bool counts;  // a change of these letters alters the thermal network
  };
  static const Target kTargets[6] = {{&gar_linearcondacts, true},      {&gar_radiativecondacts, true},
                                     {&gar_fluidiccondacts, true},     {&gar_vfaccondacts, false},
                                     {&gar_massflowlinkstatuses, false}, {&gar_massflowlinkstatuses, false}};
  if (ICTYPE < 1 || ICTYPE > 6) return;
  const Target& t = kTargets[ICTYPE - 1];
  if (icond < 1 || icond > t.acts->size()) {
    IERR = kalvir::kErrNoConductor;
    SETERX("Conductor not found", 3, 1, "LSC2RF");
    return;
  }
  if (t.counts && (*t.acts)(icond)[0] != letter) CHANGED = 1;
  t.acts->row(icond)[0] = letter;
}
