#include "runtime/modeldata/pcs.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/messages.h"
#include "runtime/control/run_end.h"
#include "runtime/modeldata/fpcs.h"
#include "runtime/modeldata/mdb_records.h"
#include "runtime/modeldata/packed_lists.h"
#include "runtime/modeldata/packed_walk.h"
#include "runtime/modeldata/search_sort.h"
#include "runtime/modeldata/text_utils.h"

namespace kalvir::mdb {
namespace {

// A 1-based view of an integer list; at() stops the run on a position outside
// it, since the lists walked here are the program's own and a bad position
// means they are broken.
class List {
 public:
  List(std::span<std::int32_t> s, std::string_view owner) : s_(s), owner_(owner) {}
  std::int32_t& at(std::int64_t k) const {
    if (k < 1 || k > size()) internal_stop(std::string(owner_) + ": connection list position out of range");
    return s_[static_cast<std::size_t>(k - 1)];
  }
  bool contains(std::int64_t k) const { return k >= 1 && k <= size(); }
  std::int64_t size() const { return static_cast<std::int64_t>(s_.size()); }

 private:
  std::span<std::int32_t> s_;
  std::string_view owner_;
};

// Moves a submodel's local lists, the last WORDS of the USED words of LIST,
// to the end of its LENGTH words, so that their rewrite at the global place
// can grow into the room between; FROM receives their first word there.
// False when the copy fails.
bool move_local_lists(std::span<std::int32_t> list, std::int32_t length, std::int32_t words, std::int32_t& used,
                      std::int32_t& from) {
  used -= words;
  from = length - words + 1;
  if (words <= 0) return true;
  std::int32_t st = 0;
  DBCOPI(length, words, used + 1, from, list, st);
  return st <= 0;
}

// Position of a user node number among the submodel's thermal nodes (1..n) or,
// when fluid nodes may be named, among its fluid nodes (n + position); 0 when
// the submodel has no such node.
struct NodeFinder {
  std::span<const std::int32_t> thermal;
  std::span<const std::int32_t> fluid;
  bool with_fluid;

  std::int32_t operator()(std::int32_t number) const {
    if (const std::int32_t pos = position_in(thermal, number); pos > 0) return pos;
    if (!with_fluid) return 0;
    const std::int32_t pos = position_in(fluid, number);
    return pos > 0 ? static_cast<std::int32_t>(thermal.size()) + pos : 0;
  }
};

[[noreturn]] void pcs_failure(std::int32_t isub) {
  SETERX("Failed to create PCS for model" + int_field(isub, 3), 4, 2, "SPCSA ");
  internal_stop("SPCSA");  // not reached: severity 4 ends the run
}

}  // namespace

// The packed lists of one submodel. For each thermal node, each kind's run
// lists the pairs that touch the node in ascending pair order; for pairs
// sorted by their first node, with the first node before the second, that is
// the order of the chain-and-running-index scan: pairs whose second node is
// the node, then the pairs that start at it. The radiative pairs of a full
// triangle (list 34 present) follow the explicit pairs and keep their pair
// number as conductor number. With fluid coupling (SPCSF) the other end may be
// a fluid node of the submodel (position n + fluid position).
void SPCSA(LoadContext& ctx, std::int32_t& IERR) {
  IERR = 0;
  const std::int32_t i = ctx.isub;
  const std::int32_t r3 = dir(3, i), n = dir(3, i + 1) - r3;
  std::array<std::int32_t, kKinds> npairs{};
  for (int k = 0; k < kKinds; ++k) npairs[static_cast<std::size_t>(k)] = ctx.pairwords[static_cast<std::size_t>(k)] / 2;
  const std::int64_t triangle = ctx.present(34) ? std::int64_t{n} * (n - 1) / 2 : 0;
  const std::int64_t explicit_rad = npairs[kRadiative] - triangle;
  ctx.local_pcs = false;
  ctx.local_pcs_words = 0;
  if (explicit_rad < 0) pcs_failure(i);
  if (npairs[kLinear] == 0 && npairs[kFluidic] == 0 && explicit_rad == 0 && triangle == 0) return;

  const bool with_fluid = ctx.coupling[0] + ctx.coupling[1] + ctx.coupling[2] > 0;
  const NodeFinder find{thermal_numbers(i), fluid_numbers(i), with_fluid};
  const Array1<std::int32_t>* pairs[kKinds] = {&gar_linearcondnodepairs, &gar_radiativecondnodepairs,
                                          &gar_fluidiccondnodepairs};

  // Chains of pair ends per thermal node and kind: item 2j + 0 is pair j
  // entered at its first node, 2j + 1 at its second node; other holds the
  // item's other end, found once here rather than again as the lists are
  // written (each find is a search among the submodel's node numbers).
  struct Chains {
    std::vector<std::int32_t> head, next, other;
  };
  std::array<Chains, kKinds> chains;
  std::int64_t entries = 0;
  for (int k = 0; k < kKinds; ++k) {
    const auto ks = static_cast<std::size_t>(k);
    const Array1<std::int32_t>& p = *pairs[k];
    Chains& c = chains[ks];
    c.head.assign(static_cast<std::size_t>(n) + 1, -1);
    c.next.assign(2 * static_cast<std::size_t>(npairs[ks]) + 2, -1);
    c.other.assign(2 * static_cast<std::size_t>(npairs[ks]) + 2, 0);
    for (std::int32_t j = npairs[ks]; j >= 1; --j) {
      const std::int32_t a = find(magnitude(p(2 * j - 1)));
      const std::int32_t b = find(magnitude(p(2 * j)));
      if (a == 0 || b == 0) pcs_failure(i);
      c.other[2 * static_cast<std::size_t>(j)] = b;
      c.other[2 * static_cast<std::size_t>(j) + 1] = a;
      const auto push = [&](std::int32_t node, std::int32_t item) {
        c.next[static_cast<std::size_t>(item)] = c.head[static_cast<std::size_t>(node)];
        c.head[static_cast<std::size_t>(node)] = item;
        ++entries;
      };
      if (b <= n) push(b, 2 * j + 1);
      if (a <= n && a != b) push(a, 2 * j);
    }
  }
  const std::int64_t words = 6LL * n + 2 * entries;
  if (ctx.npcs + words > thermal_list_length()) pcs_failure(i);

  List pcs(gar_pcsthermalold.span(), "SPCSA");
  std::int64_t w = ctx.npcs;  // last word written
  const auto put = [&](std::int32_t v) { pcs.at(++w) = v; };
  const auto local = [&]() { return static_cast<std::int32_t>(w - ctx.npcs); };
  for (std::int32_t x = 1; x <= n; ++x) {
    gar_pcsptrsthermalold(r3 + x) = local() + 1;
    for (int k = 0; k < kKinds; ++k) {
      const auto ks = static_cast<std::size_t>(k);
      const Array1<std::int32_t>& p = *pairs[k];
      for (std::int32_t item = chains[ks].head[static_cast<std::size_t>(x)]; item >= 0;
           item = chains[ks].next[static_cast<std::size_t>(item)]) {
        const std::int32_t j = item / 2;
        const bool at_first = item % 2 == 0;
        std::int32_t cond = j;
        if (k == kFluidic) cond = at_first ? -j * sign_of(p(2 * j)) : j * sign_of(p(2 * j - 1));
        put(chains[ks].other[static_cast<std::size_t>(item)]);
        put(cond);
      }
      put(-(local() + 2));
      put(0);
    }
  }
  ctx.local_pcs = true;
  ctx.local_pcs_words = static_cast<std::int32_t>(words);
  ctx.npcs += static_cast<std::int32_t>(words);
}

void SLKPCS(LoadContext& ctx, std::int32_t FROM, std::int32_t& IERR) {
  IERR = 0;
  const std::int32_t i = ctx.isub;
  const std::int32_t r3 = dir(3, i), n = dir(3, i + 1) - r3;
  const std::int32_t fluid_base = FLAGS(flagw::NNODE) + dir(16, i);
  const std::array<std::int32_t, kKinds> offset = conductors_before(i);
  const std::int64_t len = thermal_list_length();
  List pcs(gar_pcsthermalold.span(), "SLKPCS");
  std::int64_t w = ctx.npcs;
  std::int64_t unread = ctx.local_pcs ? FROM : len + 1;  // first word not yet read
  LoopGuard guard("SLKPCS");
  const auto put = [&](std::int32_t v) {
    if (w + 1 >= unread || w + 1 > len) {
      IERR = 1;
      return;
    }
    pcs.at(++w) = v;
  };
  for (std::int32_t x = 1; x <= n && IERR == 0; ++x) {
    std::int32_t& ptr = gar_pcsptrsthermalold(r3 + x);
    const std::int64_t local_start = ptr;
    ptr = static_cast<std::int32_t>(w + 1);
    if (!ctx.local_pcs) {
      for (int k = 0; k < kKinds; ++k) {
        put(static_cast<std::int32_t>(-(w + 2)));
        put(0);
      }
      continue;
    }
    std::int64_t rp = FROM - 1 + local_start;
    for (int k = 0; k < kKinds && IERR == 0; ++k) {
      while (IERR == 0) {
        guard.tick();
        if (rp < FROM || rp > len) {
          IERR = 1;
          break;
        }
        const std::int32_t v = pcs.at(rp);
        if (v > 0) {
          if (rp + 1 > len) {
            IERR = 1;
            break;
          }
          const std::int32_t c = pcs.at(rp + 1);
          unread = std::max(unread, rp + 2);
          rp += 2;
          put(v <= n ? v + r3 : fluid_base + (v - n));
          put(sign_of(c) * (std::abs(c) + offset[static_cast<std::size_t>(k)]));
        } else if (v < 0) {
          rp = FROM - 1 + std::int64_t{-v};
        } else {
          unread = std::max(unread, rp + 1);
          rp += 1;
          put(static_cast<std::int32_t>(-(w + 2)));
          put(0);
          break;
        }
      }
    }
  }
  ctx.npcs = static_cast<std::int32_t>(w);
}

void SIMPCS(LoadContext& ctx, std::int32_t& IERR) {
  IERR = 0;
  const std::int32_t i = ctx.isub;
  std::int32_t from = 0;
  if (ctx.local_pcs && !move_local_lists(gar_pcsthermalold.span(), thermal_list_length(), ctx.local_pcs_words,
                                    ctx.npcs, from)) {
    IERR = 1;
    return;
  }
  if (dir(3, i + 1) > dir(3, i)) {
    SLKPCS(ctx, from, IERR);
    if (IERR != 0) return;
  }
  if (dir(16, i + 1) > dir(16, i)) {
    std::int32_t ffrom = 0;
    if (ctx.local_fpcs && !move_local_lists(gar_pcsfluid.span(), fluid_list_length(), ctx.local_fpcs_words,
                                       ctx.nfpcs, ffrom)) {
      IERR = 1;
      return;
    }
    SFLPCS(ctx, ffrom, IERR);
  }
}

}  // namespace kalvir::mdb

using kalvir::mdb::List;

void SREDSP(const kalvir::Array2<std::int32_t>& MODDIR, std::int32_t L, std::span<const std::int32_t> MDBTIES,
            std::span<std::int32_t> TAIL, std::int32_t& IERR, const kalvir::Array1<std::int32_t>& NODENUMS,
            kalvir::CharArray<1>& STATUSES) {
  IERR = 1;
  if (L < 2 || MDBTIES.size() < 2 * static_cast<std::size_t>(L) || TAIL.size() < static_cast<std::size_t>(L)) return;
  const auto mdb = [&](std::int64_t k) { return MDBTIES[static_cast<std::size_t>(k - 1)]; };
  const auto tail = [&](std::int64_t k) -> std::int32_t& { return TAIL[static_cast<std::size_t>(k - 1)]; };
  const std::int64_t nsub = MODDIR.cols() - 1;
  // Internal index of user node `node` of submodel s, 0 when there is none.
  const auto lookup = [&](std::int64_t s, std::int32_t node) -> std::int32_t {
    if (s < 1 || s > nsub) return 0;
    const std::int32_t first = MODDIR(3, s), count = MODDIR(3, s + 1) - first;
    std::int32_t pos = 0, st = 0;
    if (count < 1) return 0;
    PNDPOS(NODENUMS.span(), first + 1, count, node, pos, st);
    return st == 0 ? pos : 0;
  };
  // A node tied twice would chain its lists into two groups and break both.
  std::vector<char> tied(static_cast<std::size_t>(NODENUMS.size()) + 1, 0);
  const auto take = [&](std::int32_t idx) {
    if (idx < 1 || tied[static_cast<std::size_t>(idx)] != 0) return false;
    tied[static_cast<std::size_t>(idx)] = 1;
    return true;
  };

  tail(1) = mdb(1) / 2;
  const std::int32_t groups = mdb(3);
  tail(2) = groups;
  if (groups < 0) return;
  std::int64_t i = 3;
  kalvir::LoopGuard guard("SREDSP");
  for (std::int32_t g = 1; g <= groups; ++g) {
    guard.tick();
    if (i + 1 > L || mdb(2 * i) >= 0) return;
    if (mdb(2 * i) == INT32_MIN) return;
    const std::int32_t source = lookup(1 - std::int64_t{mdb(2 * i - 1)}, -mdb(2 * i));
    if (!take(source)) return;
    tail(i++) = source;
    const std::int32_t n = mdb(2 * i - 1);
    if (n < 1 || i + n > L) return;
    tail(i++) = n;
    for (std::int32_t t = 1; t <= n; ++t, ++i) {
      guard.tick();
      if (mdb(2 * i) < 0) return;
      const std::int32_t target = lookup(std::int64_t{mdb(2 * i - 1)} + 1, mdb(2 * i));
      if (!take(target)) return;
      tail(i) = target;
      STATUSES.set(target, "C");
    }
  }
  if (i != std::int64_t{L} + 1) return;
  IERR = 0;
}

namespace {

// Walks one run of a packed list from START: J receives the position of the
// last jump word before the run's 0, Z the position of that 0. For each entry
// `visit(position)` is called first. False when the list leaves its bounds.
template <class Visit>
bool walk_run(const List& list, std::int64_t start, std::int64_t& J, std::int64_t& Z, kalvir::LoopGuard& guard,
              Visit visit) {
  std::int64_t p = start;
  J = 0;
  for (;;) {
    guard.tick();
    if (!list.contains(p)) return false;
    const std::int32_t v = list.at(p);
    if (v > 0) {
      if (!list.contains(p + 1)) return false;
      visit(p);
      p += 2;
    } else if (v < 0) {
      J = p;
      p = -std::int64_t{v};
    } else {
      Z = p;
      return J != 0;
    }
  }
}

}  // namespace

void LINCSP(std::int32_t NNODE, std::span<const std::int32_t> PTRS, std::span<const std::int32_t> GROUPS,
            std::span<std::int32_t> PCS, std::int32_t& IERR, std::span<std::int32_t> FPCS,
            std::span<const std::int32_t> FPTRS) {
  IERR = 0;
  const List pcs(PCS, "LINCSP");
  const auto g = [&](std::int64_t k) { return GROUPS[static_cast<std::size_t>(k - 1)]; };
  const auto ptr = [&](std::int32_t node) { return PTRS[static_cast<std::size_t>(node - 1)]; };
  const auto ngroups = static_cast<std::int64_t>(GROUPS.size());
  kalvir::LoopGuard guard("LINCSP");
  std::int64_t p = 1;
  while (p <= ngroups && IERR == 0) {
    guard.tick();
    if (p + 1 > ngroups) {
      IERR = 1;
      break;
    }
    const std::int32_t s = g(p), n = g(p + 1);
    if (s < 1 || s > NNODE || n < 1 || p + 1 + n > ngroups) {
      IERR = 1;
      break;
    }
    std::array<std::int64_t, 3> J{}, Z{};
    std::int64_t pos = ptr(s);
    for (int k = 0; k < 3 && IERR == 0; ++k) {
      if (!walk_run(pcs, pos, J[static_cast<std::size_t>(k)], Z[static_cast<std::size_t>(k)], guard,
                    [](std::int64_t) {})) {
        IERR = 1;
      }
      pos = Z[static_cast<std::size_t>(k)] + 1;
    }
    for (std::int32_t t = 1; t <= n && IERR == 0; ++t) {
      const std::int32_t target = g(p + 1 + t);
      if (target < 1 || target > NNODE) {
        IERR = 1;
        break;
      }
      std::int64_t tpos = ptr(target);
      for (int k = 0; k < 3 && IERR == 0; ++k) {
        const auto ks = static_cast<std::size_t>(k);
        pcs.at(J[ks]) = static_cast<std::int32_t>(-tpos);
        std::int64_t jt = 0, zt = 0;
        const bool ok = walk_run(pcs, tpos, jt, zt, guard, [&](std::int64_t e) {
          const std::int32_t w = pcs.at(e);
          if (w <= NNODE) {
            SCNPCS(w, target, s, PTRS, k + 1, PCS);
          } else if (w - NNODE <= static_cast<std::int64_t>(FPTRS.size())) {
            SCFPCS(w - NNODE, target, s, FPTRS, k + 1, FPCS);
          }
        });
        if (!ok) {
          IERR = 1;
          break;
        }
        J[ks] = jt;
        pcs.at(jt) = static_cast<std::int32_t>(-Z[ks]);
        tpos = zt + 1;
      }
    }
    p += 2 + n;
  }
}

namespace {

// SCNPCS and SCFPCS: runs counted from FIRSTRUN.
void rename_in_run(std::int32_t NODE, std::int32_t OLD, std::int32_t NEW, std::span<const std::int32_t> PTRS,
                   std::int32_t KIND, std::span<std::int32_t> LIST, int first_run, std::string_view name) {
  if (NODE < 1 || NODE > static_cast<std::int64_t>(PTRS.size())) {
    internal_stop(std::string(name) + ": node out of range");
  }
  const List list(LIST, name);
  std::int64_t p = PTRS[static_cast<std::size_t>(NODE - 1)];
  int run = first_run;
  kalvir::LoopGuard guard(name);
  for (;;) {
    guard.tick();
    const std::int32_t v = list.at(p);
    if (v > 0) {
      if (run == KIND && v == OLD) {
        list.at(p) = NEW;
        return;
      }
      p += 2;
    } else if (v < 0) {
      p = -std::int64_t{v};
    } else {
      if (++run > KIND) return;
      p += 1;
    }
  }
}

}  // namespace

void SCNPCS(std::int32_t NODE, std::int32_t OLD, std::int32_t NEW, std::span<const std::int32_t> PTRS,
            std::int32_t KIND, std::span<std::int32_t> LIST) {
  rename_in_run(NODE, OLD, NEW, PTRS, KIND, LIST, 1, "SCNPCS");
}

void SCFPCS(std::int32_t NODE, std::int32_t OLD, std::int32_t NEW, std::span<const std::int32_t> PTRS,
            std::int32_t KIND, std::span<std::int32_t> LIST) {
  rename_in_run(NODE, OLD, NEW, PTRS, KIND, LIST, 0, "SCFPCS");
}

void SUPINV(std::int32_t L, std::span<std::int32_t> TAIL, std::span<std::int32_t> SCRATCH) {
  if (L <= 2 || TAIL.size() < static_cast<std::size_t>(L) || SCRATCH.size() < static_cast<std::size_t>(L)) return;
  std::vector<std::pair<std::int64_t, std::int64_t>> groups;  // start, length (1-based in TAIL)
  kalvir::LoopGuard guard("SUPINV");
  for (std::int64_t p = 3; p <= L;) {
    guard.tick();
    if (p + 1 > L) internal_stop("SUPINV: broken node tie list");
    const std::int64_t size = std::int64_t{TAIL[static_cast<std::size_t>(p)]} + 2;
    if (size < 3 || p + size - 1 > L) internal_stop("SUPINV: broken node tie list");
    groups.emplace_back(p, size);
    p += size;
  }
  auto out = SCRATCH.begin() + 2;
  for (auto it = groups.rbegin(); it != groups.rend(); ++it) {
    out = std::copy_n(TAIL.begin() + (it->first - 1), it->second, out);
  }
  std::copy(SCRATCH.begin() + 2, SCRATCH.begin() + L, TAIL.begin() + 2);
}

void LPCSCN(std::int32_t NNODE, const kalvir::CharArray<1>& STATUSES, std::span<const std::int32_t> PCSOLD,
            std::span<const std::int32_t> PTRSOLD, std::span<std::int32_t> PCS, kalvir::Array2<std::int32_t>& PTRS) {
  std::fill(PTRS.span().begin(), PTRS.span().end(), 0);
  std::fill(PCS.begin(), PCS.end(), 0);
  const auto old = [&](std::int64_t k) {
    if (k < 1 || k > static_cast<std::int64_t>(PCSOLD.size())) internal_stop("LPCSCN: packed list position out of range");
    return PCSOLD[static_cast<std::size_t>(k - 1)];
  };
  std::int64_t w = 1;
  kalvir::LoopGuard guard("LPCSCN");
  for (std::int32_t node = 1; node <= NNODE; ++node) {
    if (STATUSES(node)[0] == 'C') continue;
    std::int64_t p = PTRSOLD[static_cast<std::size_t>(node - 1)];
    for (int k = 0; k < 3; ++k) {
      const std::int64_t start = w;
      std::int32_t count = 0;
      for (;;) {
        guard.tick();
        const std::int32_t v = old(p);
        if (v > 0) {
          if (w + 1 > static_cast<std::int64_t>(PCS.size())) internal_stop("LPCSCN: record-form list overflow");
          PCS[static_cast<std::size_t>(w - 1)] = v;
          PCS[static_cast<std::size_t>(w)] = old(p + 1);
          w += 2;
          ++count;
          p += 2;
        } else if (v < 0) {
          p = -std::int64_t{v};
        } else {
          p += 1;
          break;
        }
      }
      PTRS(2 * k + 1, node) = static_cast<std::int32_t>(start);
      PTRS(2 * k + 2, node) = count;
    }
  }
}

void STUNPK(std::int32_t MODE, std::int32_t NNODE, std::int32_t NODE, const kalvir::CharArray<1>& STATUSES,
            std::span<const std::int32_t> LIST, std::span<const std::int32_t> PTRS, std::int32_t& KIND,
            std::int32_t& POS, std::int32_t& ICOND, std::int32_t& NEIGHB) {
  kalvir::unpack_step("STUNPK", 3, NODE, LIST, PTRS, KIND, POS, ICOND, NEIGHB,
                      [&](std::int32_t, std::int32_t v) {
                        if (MODE != 0 || v > NNODE || v > STATUSES.size()) return false;
                        const char st = STATUSES(v)[0];
                        return st == 'X' || st == 'C';
                      });
}
