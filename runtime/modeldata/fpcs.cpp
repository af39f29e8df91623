#include "runtime/modeldata/fpcs.h"

#include <algorithm>
#include <array>
#include <climits>
#include <string>
#include <vector>

#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/messages.h"
#include "runtime/control/run_end.h"
#include "runtime/modeldata/mdb_records.h"
#include "runtime/modeldata/model_links.h"
#include "runtime/modeldata/model_tree.h"
#include "runtime/modeldata/packed_lists.h"
#include "runtime/modeldata/packed_walk.h"
#include "runtime/modeldata/search_sort.h"
#include "runtime/modeldata/text_utils.h"

namespace kalvir::mdb {
namespace {

std::int32_t& fpcs_at(std::int64_t k) {
  if (k < 1 || k > gar_pcsfluid.size()) internal_stop("FPCS: connection list position out of range");
  return gar_pcsfluid(k);
}

}  // namespace

// The local lists of a submodel's fluid nodes: links first (the other end's
// local fluid position, the link's local number), then the conductors that
// join the node to a thermal node of the submodel. A pair end that is a
// thermal node number of the submodel means that thermal node, as in the
// thermal lists, so a fluid node only claims the ends that are no thermal
// node's.
void SFPCSA(LoadContext& ctx, std::int32_t& IERR) {
  IERR = 0;
  const std::int32_t i = ctx.isub;
  const std::int32_t r16 = dir(16, i), nfs = dir(16, i + 1) - r16;
  const std::int32_t r17 = dir(17, i), nms = dir(17, i + 1) - r17;
  ctx.local_fpcs = false;
  ctx.local_fpcs_words = 0;
  const bool coupled = ctx.coupling[0] + ctx.coupling[1] + ctx.coupling[2] > 0;
  if (nfs == 0 || (nms == 0 && !coupled)) return;

  const auto thermal = thermal_numbers(i);
  const auto fluid = fluid_numbers(i);
  const Array1<std::int32_t>* pairs[kKinds] = {&gar_linearcondnodepairs, &gar_radiativecondnodepairs,
                                          &gar_fluidiccondnodepairs};
  // Each link and conductor pair is attached to the fluid nodes it names, in
  // ascending pair order, so that every node's entries come out as a scan of
  // all pairs would give them.
  struct Item {
    std::int32_t pair;
    std::int32_t other;  // user number of the other end
    std::int32_t cond;
  };
  const std::int32_t npairs[kKinds] = {ctx.pairwords[0] / 2, ctx.pairwords[1] / 2, ctx.pairwords[2] / 2};
  std::vector<std::vector<Item>> links(static_cast<std::size_t>(nfs) + 1);
  std::array<std::vector<std::vector<Item>>, kKinds> conductors;
  for (std::int32_t k = 1; k <= nms; ++k) {
    const std::int32_t a = gar_massflowlinkcondnodepairs(2 * (r17 + k) - 1);
    const std::int32_t b = gar_massflowlinkcondnodepairs(2 * (r17 + k));
    const std::int32_t fb = position_in(fluid, b), fa = position_in(fluid, a);
    if (fb > 0) links[static_cast<std::size_t>(fb)].push_back({k, a, k});
    if (fa > 0 && fa != fb) links[static_cast<std::size_t>(fa)].push_back({k, b, k});
  }
  // A pair end that is a thermal node number names that thermal node.
  const auto fluid_end = [&](std::int32_t end) {
    const std::int32_t m = magnitude(end);
    return position_in(thermal, m) > 0 ? 0 : position_in(fluid, m);
  };
  for (int kind = 0; kind < kKinds; ++kind) {
    const auto ks = static_cast<std::size_t>(kind);
    conductors[ks].resize(static_cast<std::size_t>(nfs) + 1);
    if (ctx.coupling[ks] <= 0) continue;
    const Array1<std::int32_t>& p = *pairs[kind];
    for (std::int32_t jj = 1; jj <= npairs[kind]; ++jj) {
      const std::int32_t p1 = p(2 * jj - 1), p2 = p(2 * jj);
      const std::int32_t f2 = fluid_end(p2), f1 = fluid_end(p1);
      if (f2 > 0) conductors[ks][static_cast<std::size_t>(f2)].push_back({jj, p1, kind == kFluidic ? jj * sign_of(p1) : jj});
      if (f1 > 0 && f1 != f2)
        conductors[ks][static_cast<std::size_t>(f1)].push_back({jj, p2, kind == kFluidic ? -jj * sign_of(p2) : jj});
    }
  }

  const std::int64_t len = fluid_list_length();
  std::int64_t w = ctx.nfpcs;
  std::int32_t errors = 0;
  bool overflow = false;
  const auto put = [&](std::int32_t v) {
    if (w + 1 > len) {
      overflow = true;
      return;
    }
    fpcs_at(++w) = v;
  };
  const auto local = [&]() { return static_cast<std::int32_t>(w - ctx.nfpcs); };
  for (std::int32_t j = 1; j <= nfs && errors <= 10 && !overflow; ++j) {
    gar_pcsptrsfluid(r16 + j) = local() + 1;
    for (const Item& it : links[static_cast<std::size_t>(j)]) {
      const std::int32_t other = position_in(fluid, it.other);
      if (other == 0) {
        errors += 5;
        continue;
      }
      put(other);
      put(it.cond);
    }
    put(-(local() + 2));
    put(0);
    for (int kind = 0; kind < kKinds; ++kind) {
      for (const Item& it : conductors[static_cast<std::size_t>(kind)][static_cast<std::size_t>(j)]) {
        const std::int32_t tp = position_in(thermal, magnitude(it.other));
        if (tp > 0) {
          put(tp);
          put(it.cond);
        } else if (position_in(fluid, magnitude(it.other)) == 0) {
          errors += 5;
        }
      }
      put(0);
    }
  }
  if (errors != 0 || overflow) {
    IERR = std::max(errors, 1);
    SETERX("Failed to create FPCS for model " + int_field(i, 3), 4, 2, "SFPCSA");
    return;
  }
  ctx.local_fpcs = true;
  ctx.local_fpcs_words = static_cast<std::int32_t>(w - ctx.nfpcs);
  ctx.nfpcs = static_cast<std::int32_t>(w);
}

void SFLPCS(LoadContext& ctx, std::int32_t FROM, std::int32_t& IERR) {
  IERR = 0;
  const std::int32_t i = ctx.isub;
  const std::int32_t r3 = dir(3, i);
  const std::int32_t r16 = dir(16, i), nfs = dir(16, i + 1) - r16;
  const std::int32_t r17 = dir(17, i);
  const std::array<std::int32_t, kKinds> offset = conductors_before(i);
  const std::int64_t len = fluid_list_length();
  std::int64_t w = ctx.nfpcs;
  std::int64_t unread = ctx.local_fpcs ? FROM : len + 1;
  const auto put = [&](std::int32_t v) {
    if (w + 1 >= unread || w + 1 > len) {
      IERR = 11;
      return;
    }
    fpcs_at(++w) = v;
  };
  LoopGuard guard("SFLPCS");
  // Copies one local run from rp up to its 0: link entries when `links`,
  // else conductor entries of `kind`.
  const auto copy_run = [&](std::int64_t& rp, bool links, int kind) {
    while (IERR == 0) {
      guard.tick();
      if (rp < FROM || rp > len) {
        IERR = 11;
        return;
      }
      const std::int32_t v = fpcs_at(rp);
      if (v > 0) {
        const std::int32_t c = fpcs_at(rp + 1);
        unread = std::max(unread, rp + 2);
        rp += 2;
        if (links) {
          put(v + r16);
          put(sign_of(c) * (std::abs(c) + r17));
        } else {
          put(v + r3);
          put(sign_of(c) * (std::abs(c) + offset[static_cast<std::size_t>(kind)]));
        }
      } else if (v < 0) {
        rp = FROM - 1 + std::int64_t{-v};
      } else {
        unread = std::max(unread, rp + 1);
        rp += 1;
        return;
      }
    }
  };
  for (std::int32_t f = r16 + 1; f <= r16 + nfs && IERR == 0; ++f) {
    const std::int64_t local_start = gar_pcsptrsfluid(f);
    gar_pcsptrsfluid(f) = static_cast<std::int32_t>(w + 1);
    std::int64_t rp = FROM - 1 + local_start;
    if (ctx.local_fpcs) copy_run(rp, true, 0);
    if (IERR != 0) break;
    SADFLN(f, w, unread, IERR);
    if (IERR != 0) break;
    put(static_cast<std::int32_t>(-(w + 2)));
    put(0);
    for (int kind = 0; kind < kKinds && IERR == 0; ++kind) {
      if (ctx.local_fpcs) {
        copy_run(rp, false, kind);
      }
      put(0);
    }
  }
  ctx.nfpcs = static_cast<std::int32_t>(w);
}

void SFLCTR(LoadContext& ctx, std::int32_t& IERR) {
  IERR = 0;
  const std::int32_t nnode = FLAGS(flagw::NNODE);
  const std::int32_t nf = FLAGS(flagw::NF);
  ListRewrite list(gar_pcsfluid.span(), fluid_list_length(), ctx.nfpcs, IERR);
  if (IERR != 0) return;
  std::int64_t inserted = 0;
  LoopGuard guard("SFLCTR");
  // SFLUPD: copies word pairs from rp; a negative word is shifted, written
  // with the word after it and ends the copy; a 0 ends it without a copy.
  const auto sflupd = [&](std::int64_t& rp) {
    while (IERR == 0) {
      guard.tick();
      const std::int32_t v = list.read(rp);
      if (IERR != 0) return;
      if (v == 0) return;
      if (v < 0) {
        const std::int32_t next = list.read(rp + 1);
        list.put(static_cast<std::int32_t>(v - inserted));
        list.put(next);
        rp += 2;
        return;
      }
      const std::int32_t c = list.read(rp + 1);
      list.put(v);
      list.put(c);
      rp += 2;
    }
  };
  std::vector<std::array<std::int32_t, 2>> entries;
  for (std::int32_t f = 1; f <= nf && IERR == 0; ++f) {
    std::int64_t rp = std::int64_t{gar_pcsptrsfluid(f)} + list.shift();
    gar_pcsptrsfluid(f) = static_cast<std::int32_t>(gar_pcsptrsfluid(f) + inserted);
    sflupd(rp);
    for (int kind = 0; kind < kKinds && IERR == 0; ++kind) {
      // SFLTRF: own entries, then one entry per link record of the node.
      sflupd(rp);
      if (IERR != 0) break;
      link_entries(kind, nnode + f, entries);
      for (const auto& e : entries) {
        list.put(e[0]);
        list.put(e[1]);
        inserted += 2;
      }
      list.read(rp);
      rp += 1;
      list.put(0);
    }
  }
  ctx.nfpcs = static_cast<std::int32_t>(list.written());
}

void SGTFLN(std::int32_t L, std::int32_t CAPACITY, std::span<std::int32_t> AREA, std::int32_t& IERR,
            std::int32_t FIRSTLINK, std::int32_t ISUB) {
  IERR = 0;
  if (L < 0 || FIRSTLINK < 1 || std::int64_t{FIRSTLINK} + L - 1 > FLAGS(flagw::NM) ||
      5LL * L > std::min<std::int64_t>(CAPACITY, static_cast<std::int64_t>(AREA.size()))) {
    IERR = 1;
    return;
  }
  if (L == 0) return;
  const std::int64_t nsub = FLAGS(flagw::NSUB);
  for (std::int32_t k = 1; k <= L; ++k) {
    const auto q = [&](int w) { return AREA[static_cast<std::size_t>(4 * (k - 1) + w - 1)]; };
    // A fluid link reaches forward in the tree: its ends are resolved and
    // entered while the submodels that own them are read, which can only
    // happen for this submodel and the ones after it.
    for (const std::int64_t s : {ISUB + std::int64_t{q(1)}, ISUB + std::int64_t{q(3)}}) {
      if (s < ISUB || s > nsub) {
        IERR = 1;
        return;
      }
    }
    const bool first_is_a = q(1) < q(3) || (q(1) == q(3) && q(4) >= q(2));
    const std::int32_t link = FIRSTLINK + k - 1;
    gar_massflowlinkcondnodepairs(2 * link - 1) = first_is_a ? 1 : -1;
    gar_massflowlinkcondnodepairs(2 * link) = 0;
  }
  std::int32_t st = 0;
  DBCOPI(5 * L, 4 * L, 1, L + 1, AREA, st);
  if (st != 0) {
    IERR = 1;
    return;
  }
  SLKMOD(0, L + 1, FIRSTLINK, 5 * L, L, ISUB, AREA, IERR);
}

// A record whose end-A words are (0, fluid index) has that end known. Its
// other end is known when word 3 is 0 (word 4 the fluid index) or negative
// (the record's first end was already entered in the fluid lists: -word 3 is
// that end, and the record is now keyed on the link's other end).
void SFCUPD(std::span<std::int32_t> DCORE, std::int32_t ISTART, std::int32_t NWORDS) {
  const std::int32_t nrec = NWORDS / 5;
  LoopGuard guard("SFCUPD");
  for (std::int32_t r = 0; r < nrec; ++r) {
    guard.tick();
    std::int32_t* rec = DCORE.data() + (ISTART - 1) + 5 * r;
    if (rec[0] != 0) break;
    if (rec[4] <= 0 || rec[2] > 0) continue;
    const std::int32_t a = rec[2] == 0 ? rec[1] : -rec[2];
    const std::int32_t b = rec[2] == 0 ? rec[3] : rec[1];
    const std::int32_t link = rec[4];
    const bool a_first = gar_massflowlinkcondnodepairs(2 * link - 1) > 0;
    gar_massflowlinkcondnodepairs(2 * link - 1) = a_first ? a : b;
    gar_massflowlinkcondnodepairs(2 * link) = a_first ? b : a;
    rec[4] = -link;
  }
}

void SGTLNK(std::int32_t CAPACITY, std::int32_t N, std::span<std::int32_t> AREA, std::int32_t& IERR,
            std::int32_t SIGNFLAG, std::int32_t FIRSTCOND, std::int32_t ISUB, std::int32_t LISTNO,
            std::int32_t IUNIT) {
  std::int32_t nread = 0, st = 0;
  SCOMII(N, CAPACITY, LISTNO, IUNIT, AREA, nread, st);
  if (st != 0 || std::int64_t{nread} != 4LL * N) {
    IERR = 1;
    return;
  }
  SLKMOD(SIGNFLAG, N + 1, FIRSTCOND, CAPACITY, N, ISUB, AREA, IERR);
}

}  // namespace kalvir::mdb

void SGVNOD(std::int32_t NWORDS, std::int32_t NNODES, std::span<const std::int32_t> NUMBERS,
            std::int32_t OFFSET, std::span<std::int32_t> WORDS, std::int32_t& IERR) {
  IERR = 0;
  const auto n = static_cast<std::int32_t>(std::min<std::int64_t>(NNODES, static_cast<std::int64_t>(NUMBERS.size())));
  kalvir::LoopGuard guard("SGVNOD");
  for (std::int32_t k = 1; k <= std::min<std::int64_t>(NWORDS, static_cast<std::int64_t>(WORDS.size())); ++k) {
    guard.tick();
    std::int32_t st = 0, found = 0, pos = 0;
    if (n >= 1) SOFNDI(NUMBERS, n, WORDS[static_cast<std::size_t>(k - 1)], st, found, pos);
    if (found != 1) {
      IERR = 1;
      return;
    }
    WORDS[static_cast<std::size_t>(k - 1)] = OFFSET + pos;
  }
}

void kalvir::intnod_warning(std::int32_t ISUB, std::int32_t NODE) {
  const std::int64_t nsub = std::min<std::int64_t>(FLAGS(flagw::NSUB), gar_modeldirectory.cols() - 1);
  if (ISUB < 1 || ISUB > nsub) {
    SETERX("Invalid submodel " + std::to_string(ISUB), 2, 2, "INTNOD");
  } else {
    SETERX("Node " + std::to_string(NODE) + " not found in sub-model " + submodel_path(ISUB), 2, 1, "INTNOD");
  }
}

std::int32_t INTNOD(std::int32_t ISUB, std::int32_t NODE) {
  const std::int64_t nsub = std::min<std::int64_t>(FLAGS(flagw::NSUB), gar_modeldirectory.cols() - 1);
  if (ISUB < 1 || ISUB > nsub) {
    kalvir::intnod_warning(ISUB, NODE);
    return 0;
  }
  const auto& d = gar_modeldirectory;
  const std::int64_t tlast = std::min<std::int64_t>(d(3, ISUB + 1), gar_thermalnodenums.size());
  for (std::int64_t i = std::max(d(3, ISUB), 0) + 1LL; i <= tlast; ++i)
    if (gar_thermalnodenums(i) == NODE) return static_cast<std::int32_t>(i);
  const std::int64_t flast = std::min<std::int64_t>(d(16, ISUB + 1), gar_fluidnodenums.size());
  for (std::int64_t j = std::max(d(16, ISUB), 0) + 1LL; j <= flast; ++j)
    if (gar_fluidnodenums(j) == NODE) return static_cast<std::int32_t>(FLAGS(flagw::NNODE) + j);
  kalvir::intnod_warning(ISUB, NODE);
  return 0;
}

void SFUNPK(std::int32_t MODE, std::int32_t NODE, const kalvir::CharArray<1>& STATUSES,
            std::span<const std::int32_t> LIST, std::span<const std::int32_t> PTRS, std::int32_t& KIND,
            std::int32_t& POS, std::int32_t& ICOND, std::int32_t& NEIGHB) {
  // Run 1 holds mass-flow links, whose other end is a fluid node.
  kalvir::unpack_step("SFUNPK", 4, NODE, LIST, PTRS, KIND, POS, ICOND, NEIGHB,
                      [&](std::int32_t kind, std::int32_t v) {
                        return kind != 1 && MODE == 0 && v <= STATUSES.size() && STATUSES(v)[0] == 'X';
                      });
}
