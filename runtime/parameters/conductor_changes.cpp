#include "runtime/parameters/conductor_changes.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "runtime/control/flags.h"
#include "runtime/control/status.h"
#include "runtime/modeldata/fpcs.h"
#include "runtime/modeldata/model_tree.h"
#include "runtime/modeldata/node_groups.h"
#include "runtime/modeldata/search_sort.h"
#include "runtime/modeldata/text_utils.h"
#include "runtime/parameters/case_values.h"
#include "runtime/parameters/node_changes.h"
#include "runtime/platform/fixed_string.h"

namespace kalvir::parameters {

void MatchList::add(const Taken& t) {
  // A conductor found from both of its ends, or through two walks, is taken once.
  if (std::find(room_.begin(), room_.begin() + n_, t.conductor) != room_.begin() + n_) return;
  if (n_ >= static_cast<std::int32_t>(room_.size())) return;
  room_[static_cast<std::size_t>(n_++)] = t.conductor;
  if (hook_) hook_(t);
}

namespace {

std::int32_t nnode() { return FLAGS(flagw::NNODE); }
std::int32_t nfluid() { return FLAGS(flagw::NF); }

// Membership in an ascending node list; a list of every node holds any node.
bool holds(std::span<const std::int32_t> list, std::int32_t x) {
  if (static_cast<std::int64_t>(list.size()) == std::int64_t{nnode()} + nfluid()) return true;
  return std::binary_search(list.begin(), list.end(), x);
}

void reference_failure(std::int32_t code, std::string_view text, std::int32_t& ierr) {
  ierr = code;
  report(text, 300, 3, code, "PARCNP");
}

std::size_t unquoted(std::string_view text, std::string_view what, std::size_t from = 0) {
  std::int32_t pos = 0;
  SQNDEX(text.substr(from), what, pos);
  return pos == 0 ? std::string_view::npos : from + static_cast<std::size_t>(pos - 1);
}

const std::array<ConductorKind, 6> kKinds{{
    {42, 4, 1, 2, false, false, &gar_linearconds, &gar_linearcondacts, 0, 2, flagw::NGL},
    {43, 6, 3, 3, false, false, &gar_radiativeconds, &gar_radiativecondacts, 0, 2, flagw::NGR},
    {44, 5, 5, 4, true, false, &gar_fluidicconds, &gar_fluidiccondacts, 0, 2, flagw::NGF},
    {45, 7, 0, 0, false, true, &gar_vfacconds, nullptr, 9, 1, flagw::NGV},
    {46, 17, 0, 1, false, false, &gar_massflowlinkflowrates, &gar_massflowlinkstatuses, 0, 2, flagw::NM},
    {47, 17, 0, 1, false, false, &gar_massflowlinkfittinglosses, nullptr, 10, 2, flagw::NM},
}};

void conductor_failure(std::int32_t code, std::string_view text, std::int32_t& ierr) {
  ierr = code;
  report(text, 300, 3, code, "PARCND");
}

}  // namespace

const ConductorKind* conductor_kind(std::int32_t code) {
  const auto kind = std::find_if(kKinds.begin(), kKinds.end(), [code](const ConductorKind& k) { return k.code == code; });
  return kind == kKinds.end() ? nullptr : &*kind;
}

std::int64_t match_capacity(const ConductorKind& kind) {
  return std::int64_t{kind.capacity_per} * FLAGS(kind.count_flag);
}

void collect_matches(const ConductorKind& kind, const ConductorReference& r, MatchList& matches, std::int32_t& st) {
  st = 0;
  const auto row = [&](std::int32_t col) { return gar_modeldirectory(kind.row, col); };
  const std::int32_t cfirst = row(r.first_sub) + 1;
  const std::int32_t clast = row(r.last_sub + 1);
  if (kind.gv) {
    // The GV pairs are sorted within each submodel only: search each one.
    bool searched = false;
    for (std::int32_t s = r.first_sub; s <= r.last_sub; ++s) {
      if (row(s + 1) <= row(s)) continue;
      PARGGV(r.first, r.second, r.sequence, row(s) + 1, row(s + 1), matches, st);
      searched = true;
    }
    if (!searched) PARGGV(r.first, r.second, r.sequence, cfirst, clast, matches, st);
    return;
  }
  const std::span<const std::int32_t> walked = kind.walks_second ? r.second : r.first;
  const std::span<const std::int32_t> other = kind.walks_second ? r.first : r.second;
  if (kind.record_rows != 0) PARGNP(walked, other, r.sequence, cfirst, clast, kind.record_rows, matches);
  if (kind.packed_kind != 0) PARGFP(walked, other, r.sequence, cfirst, clast, kind.packed_kind, kind.row, matches);
}

}  // namespace kalvir::parameters

namespace kp = kalvir::parameters;

void PARCNP(std::string_view REF, std::int32_t ISUB, DynamicCoreMark& MARK, kp::ConductorReference& R,
            std::int32_t& IERR) {
  IERR = 0;
  R = {};
  const std::string_view ref = kalvir::trim_right(REF);
  const std::string shown(ref);
  const std::size_t colon = kp::unquoted(ref, ":");
  const std::size_t paren = kp::unquoted(ref, "(");
  std::int32_t sub = ISUB;
  std::size_t at = 0;
  if (colon != std::string_view::npos && (paren == std::string_view::npos || colon < paren)) {
    std::string_view rest;
    if (kp::leading_path(ref, paren == std::string_view::npos ? ref.size() : paren, ISUB, false, sub, rest) != 0)
      return kp::reference_failure(2, "Unrecognised submodel name@" + shown, IERR);
    at = ref.size() - rest.size();
  }
  R.first_sub = R.last_sub = sub;
  if (at >= ref.size() || ref[at] != '(' || ref.back() != ')')
    return kp::reference_failure(2, "Node pair not delimited by ()@" + shown, IERR);
  const std::size_t inner_end = ref.size() - 1;

  std::string p, q, seq;
  bool has_seq = false;
  const std::size_t k = kp::unquoted(ref, ",", at);
  if (k == std::string_view::npos) {
    const std::string_view item = ref.substr(at + 1, inner_end - at - 1);
    if (item != "*" && item != "*-ONLY") return kp::reference_failure(3, "Ill-formed node pair reference@" + shown, IERR);
    p.assign(1, '*');
    q = p;
    if (item == "*") R.last_sub = kalvir::subtree_end(gar_modeldirectory, sub, FLAGS(flagw::NSUB));
  } else {
    p = ref.substr(at + 1, k - at - 1);
    const std::size_t k2 = kp::unquoted(ref.substr(0, inner_end), ",", k + 1);
    if (k2 == std::string_view::npos) {
      q = ref.substr(k + 1, inner_end - k - 1);
    } else {
      q = ref.substr(k + 1, k2 - k - 1);
      seq = ref.substr(k2 + 1, inner_end - k2 - 1);
      has_seq = true;
    }
  }

  const std::int64_t room = std::int64_t{kp::nnode()} + kp::nfluid();
  const std::array<const std::string*, 2> refs{&p, &q};
  std::array<std::span<const std::int32_t>*, 2> lists{&R.first, &R.second};
  for (std::size_t l = 0; l < 2; ++l) {
    const std::span<std::int32_t> core = kp::take_core(MARK, std::max<std::int64_t>(room, 1));
    if (core.empty())
      return kp::reference_failure(static_cast<std::int32_t>(4 + l), "Insufficient dynamic core@Increase DYSTOR", IERR);
    std::int32_t n = 0;
    PARNDS(*refs[l], sub, static_cast<std::int32_t>(room), core, n, IERR);
    if (IERR != 0) return;
    *lists[l] = core.first(static_cast<std::size_t>(n));
  }
  if (has_seq) {
    std::int32_t ok = 0;
    IINTC2(seq, static_cast<std::int32_t>(seq.size()), ok, R.sequence);
    if (ok != 1) return kp::reference_failure(6, "Sequence number not an integer@" + seq, IERR);
    if (R.sequence < 1) return kp::reference_failure(7, "Sequence number not valid@" + seq, IERR);
  }
}

namespace kalvir::parameters {
namespace {
// The count of each conductor among the parallel ones of a walked node's
// list: the entries of the list so far that lead to the same other node,
// whether a reference selects them or not. The GFF numbers its sequence the
// same way, so a label GL(12,13,2), the reference GL(12,13,2) and the GFF's
// sequence number 2 name one conductor, even when the two parallel
// conductors do not stand next to each other in the list.
class ParallelCount {
 public:
  std::int32_t next(std::int32_t other) {
    for (auto& [node, count] : seen_)
      if (node == other) return ++count;
    seen_.emplace_back(other, 1);
    return 1;
  }
  void clear() { seen_.clear(); }

 private:
  std::vector<std::pair<std::int32_t, std::int32_t>> seen_;
};
}  // namespace
}  // namespace kalvir::parameters

void PARGNP(std::span<const std::int32_t> W, std::span<const std::int32_t> O, std::int32_t SEQ,
            std::int32_t CFIRST, std::int32_t CLAST, std::int32_t ROWPAIR, kp::MatchList& M) {
  const std::int32_t nn = kp::nnode();
  const bool fluidic = ROWPAIR == 5;
  kp::ParallelCount parallel;
  for (const std::int32_t x : W) {
    if (x > nn) break;
    if (x < 1) continue;
    const bool x_in_o = kp::holds(O, x);
    const std::int32_t start = gar_pcsptrsthermal(ROWPAIR, x);
    const std::int32_t count = gar_pcsptrsthermal(ROWPAIR + 1, x);
    parallel.clear();
    for (std::int32_t j = 0; j < count; ++j) {
      const std::int64_t w = std::int64_t{start} + 2 * j;
      if (w < 1 || w + 1 > gar_pcsthermal.size()) break;
      const std::int32_t y = gar_pcsthermal(w);
      // A fluidic conductor stands negated at its first node.
      const std::int32_t c = std::abs(gar_pcsthermal(w + 1));
      const std::int32_t s = parallel.next(y);
      if (!kp::holds(O, y) || c < CFIRST || c > CLAST) continue;
      // The same conductor is taken from its other end.
      if (!fluidic && y < x && kp::holds(W, y) && x_in_o) continue;
      if (SEQ == 0 || SEQ == s) M.add({c, x, y, s});
    }
  }
}

void PARGFP(std::span<const std::int32_t> W, std::span<const std::int32_t> O, std::int32_t SEQ,
            std::int32_t CFIRST, std::int32_t CLAST, std::int32_t KIND, std::int32_t /*ROW*/, kp::MatchList& M) {
  const std::int32_t nn = kp::nnode();
  constexpr std::int32_t kLinks = 1, kEnd = 5;
  kp::ParallelCount parallel;
  for (const std::int32_t x : W) {
    if (x <= nn) continue;
    const std::int32_t f = x - nn;
    const bool x_in_o = kp::holds(O, x);
    parallel.clear();
    std::int32_t kind = 1, pos = 0, c = 0, other = 0;
    kalvir::LoopGuard guard("PARGFP");
    for (;;) {
      guard.tick();
      SFUNPK(1, f, gar_thermalnodestatuses, gar_pcsfluid.span(), gar_pcsptrsfluid.span(), kind, pos, c, other);
      if (kind >= kEnd || kind > KIND) break;
      if (kind < KIND) continue;
      c = std::abs(c);
      const std::int32_t y = KIND == kLinks ? other + nn : other;
      const std::int32_t s = parallel.next(y);
      if (c < CFIRST || c > CLAST) continue;
      // A link is taken at its first node.
      if (KIND == kLinks &&
          (2LL * c > gar_massflowlinkcondnodepairs.size() || gar_massflowlinkcondnodepairs(2 * c - 1) != f))
        continue;
      if (!kp::holds(O, y)) continue;
      if ((KIND == 2 || KIND == 3) && y < x && kp::holds(W, y) && x_in_o) continue;
      if (SEQ == 0 || SEQ == s) M.add({c, x, y, s});
    }
  }
}

std::int32_t kp::gv_walk(std::span<const std::int32_t> V1, std::span<const std::int32_t> V2, std::int32_t SEQ,
                         std::int32_t CFIRST, std::int32_t CLAST, MatchList& M, std::string_view ROUTINE,
                         std::int32_t CODE, bool* FOUND) {
  std::int32_t ierr = 0;
  const std::int32_t n = std::max(CLAST - CFIRST + 1, 0);
  const auto pairs = gar_vfaccondnodepairs.span();
  const bool in_store = CFIRST >= 1 && 2LL * CLAST <= static_cast<std::int64_t>(pairs.size());
  const std::span<const std::int32_t> range =
      in_store && n > 0 ? pairs.subspan(static_cast<std::size_t>(2 * (CFIRST - 1)), static_cast<std::size_t>(2 * n))
                        : std::span<const std::int32_t>{};
  const auto pair_is = [&](std::int32_t i, std::int32_t a, std::int32_t b) {
    return gar_vfaccondnodepairs(2 * i - 1) == a && gar_vfaccondnodepairs(2 * i) == b;
  };
  for (const std::int32_t a : V1)
    for (const std::int32_t b : V2) {
      const std::array<std::int32_t, 2> key{a, b};
      std::int32_t st = 0, found = 0, pos = 0;
      SOFNDM(range, 2, static_cast<std::int32_t>(range.size() / 2), key, st, found, pos);
      // Each search starts afresh: the status is that of the last one.
      ierr = 0;
      if (st != 0) {
        ierr = CODE;
        report("Error searching node pair list@Contact Central Support", 300, 3, CODE, ROUTINE);
        continue;
      }
      if (found != 1) continue;
      if (FOUND != nullptr) *FOUND = true;
      const std::int32_t i = CFIRST + pos - 1;
      if (SEQ > 0) {
        const std::int32_t t = i + SEQ - 1;
        if (t <= CLAST && pair_is(t, a, b)) M.add({t, a, b, SEQ});
        continue;
      }
      for (std::int32_t t = i; t <= CLAST && pair_is(t, a, b); ++t) M.add({t, a, b, t - i + 1});
    }
  return ierr;
}

void PARGGV(std::span<const std::int32_t> V1, std::span<const std::int32_t> V2, std::int32_t SEQ,
            std::int32_t CFIRST, std::int32_t CLAST, kp::MatchList& M, std::int32_t& IERR) {
  IERR = kp::gv_walk(V1, V2, SEQ, CFIRST, CLAST, M, "PARGGV", 1, nullptr) != 0 ? 1 : 0;
}

void PARCND(std::string_view KEYWORD, std::int32_t CODE, std::string_view REF, std::string_view VALUE,
            std::int32_t ISUB, std::int32_t& IERR) {
  IERR = 0;
  DynamicCoreMark mark;
  const kp::ConductorKind* kind = kp::conductor_kind(CODE);
  if (kind == nullptr) return kp::conductor_failure(1, "Invalid entity type - not a conductor", IERR);

  kp::ConductorReference r;
  PARCNP(REF, ISUB, mark, r, IERR);
  if (IERR != 0) return;

  // One word left free, then the match list.
  const std::int64_t capacity = kp::match_capacity(*kind);
  const std::span<std::int32_t> core = kp::take_core(mark, 1 + capacity);
  if (core.empty()) return kp::conductor_failure(8, "Insufficient dynamic core@Increase DYSTOR", IERR);
  kp::MatchList matches(core.subspan(1));

  const std::string_view value = kalvir::trim_right(VALUE);
  const bool switching = value == "ON" || value == "OFF";
  double v = 0.0;
  if (!switching) {
    kp::read_real(KEYWORD, value, v, IERR);
    if (IERR != 0) return;
  }

  std::int32_t st = 0;
  kp::collect_matches(*kind, r, matches, st);

  if (switching && kind->letters == nullptr)
    return kp::conductor_failure(kind->letter_code,
                                 kind->gv ? "Cannot change status of GVs" : "Cannot change status of GPs", IERR);
  if (switching) {
    PARSTZ(matches.items(), matches.size(), value == "ON" ? "A" : "I", *kind->letters, IERR);
    // The solutions and the cached node lists must see the switched conductors.
    if (matches.size() > 0) {
      stat_setstatst(1);
      Lschnd_clear_cache();
    }
  } else {
    PARSTR(matches.items(), matches.size(), KEYWORD, v, kind->values->span(), IERR);
  }
  if (IERR == 0 && matches.size() == 0) kp::conductor_failure(11, "No matching conductors found", IERR);
}
