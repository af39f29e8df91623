#include "runtime/modeldata/model_links.h"

#include <algorithm>
#include <string>

#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/messages.h"
#include "runtime/control/run_end.h"
#include "runtime/modeldata/fpcs.h"
#include "runtime/modeldata/mdb_records.h"
#include "runtime/modeldata/packed_lists.h"
#include "runtime/modeldata/search_sort.h"
#include "runtime/modeldata/text_utils.h"

namespace kalvir::mdb {
namespace {

constexpr int kRecord = 5;

std::int64_t nn() { return std::int64_t{FLAGS(flagw::NNODE)} + FLAGS(flagw::NF); }

// Link area of kind K: its first word and the number of records in it.
std::int32_t area_start(int K) { return dc(dcw::LINSTART + 2 * K); }
std::int32_t area_records(int K) { return dc(dcw::LINUSED + 2 * K) / kRecord; }

// Record r (1-based) of the area that starts at word `start`.
std::int32_t* record(std::int64_t start, std::int64_t r) {
  const std::int64_t first = start + kRecord * (r - 1);
  if (first < 1 || first + kRecord - 1 > gar_dynamiccoreint.size()) internal_stop("link record out of range");
  return &gar_dynamiccoreint(first);
}

}  // namespace

std::int64_t head_word(int K, std::int32_t NODE, int END) {
  const std::int64_t n = nn();
  return std::int64_t{FLAGS(flagw::DYSTOR)} - 6 * n + 1 + K * 2 * n + (END - 1) * n + NODE - 1;
}

// ---- Reading the ends ---------------------------------------------------------

void SLKMOD(std::int32_t SIGNFLAG, std::int32_t IFIRST, std::int32_t FIRSTCOND, std::int32_t CAPACITY,
            std::int32_t N, std::int32_t ISUB, std::span<std::int32_t> ARRAY, std::int32_t& IERR) {
  IERR = 0;
  if (N <= 0) return;
  const std::int64_t last = std::int64_t{IFIRST} + 4LL * N - 1;
  if (last > CAPACITY || last < 5LL * N || last > static_cast<std::int64_t>(ARRAY.size()) || IFIRST < 1) {
    IERR = 1;
    return;
  }
  const std::int64_t nsub = FLAGS(flagw::NSUB);
  for (std::int32_t k = 1; k <= N; ++k) {
    const std::size_t in = static_cast<std::size_t>(IFIRST - 1) + 4 * static_cast<std::size_t>(k - 1);
    std::int64_t sa = std::int64_t{ISUB} + ARRAY[in], sb = std::int64_t{ISUB} + ARRAY[in + 2];
    std::int32_t na = ARRAY[in + 1], nb = ARRAY[in + 3];
    // An end in a submodel the model does not have could never be resolved.
    if (sa < 1 || sa > nsub || sb < 1 || sb > nsub) {
      IERR = 1;
      return;
    }
    std::int32_t cond = FIRSTCOND + k - 1;
    if (sa > sb || (sa == sb && na > nb)) {
      std::swap(sa, sb);
      std::swap(na, nb);
      if (SIGNFLAG == 1) cond = -cond;
    }
    const std::size_t out = kRecord * static_cast<std::size_t>(k - 1);
    ARRAY[out] = static_cast<std::int32_t>(sa);
    ARRAY[out + 1] = na;
    ARRAY[out + 2] = static_cast<std::int32_t>(sb);
    ARRAY[out + 3] = nb;
    ARRAY[out + 4] = cond;
  }
}

std::int32_t LOADI(LoadContext& ctx) {
  const std::int32_t i = ctx.isub;
  const std::int64_t nxl = ctx.nx[kLinear], nxr = ctx.nx[kRadiative], nxf = ctx.nx[kFluidic];
  const std::int64_t need = std::int64_t{dc(dcw::LINSTART)} + dc(dcw::LINUSED) + dc(dcw::RADUSED) +
                            dc(dcw::FLUUSED) + 5 * (nxl + nxr + nxf);
  if (dc(dcw::LINKEND) < need) {
    SETERX(dystor_message("Reading node pairs for inter-model links", need - dc(dcw::LINKEND)), 4, 1, "LOADI ");
    return 7;
  }
  const std::int32_t dystor = FLAGS(flagw::DYSTOR);
  std::int32_t st = 0;
  const auto move = [&](std::int32_t count, std::int32_t from, std::int32_t to) {
    if (count > 0 && from != to) DBCOPI(dystor, count, from, to, dcore(), st);
    return st <= 0;
  };
  // The radiative area sits between the other two and gives way to both.
  const std::int64_t linear_end = std::int64_t{dc(dcw::LINSTART)} + dc(dcw::LINUSED) + 5 * nxl;
  if (dc(dcw::RADSTART) < linear_end) {
    if (!move(dc(dcw::RADUSED), dc(dcw::RADSTART), static_cast<std::int32_t>(linear_end))) return 1;
    dc(dcw::RADSTART) = static_cast<std::int32_t>(linear_end);
  }
  const std::int64_t radiative_limit = std::int64_t{dc(dcw::FLUSTART)} - 5 * (nxr + nxf) - dc(dcw::RADUSED);
  if (dc(dcw::RADSTART) > radiative_limit) {
    if (!move(dc(dcw::RADUSED), dc(dcw::RADSTART), static_cast<std::int32_t>(radiative_limit))) return 1;
    dc(dcw::RADSTART) = static_cast<std::int32_t>(radiative_limit);
  }
  if (nxf > 0) {
    const auto to = static_cast<std::int32_t>(dc(dcw::FLUSTART) - 5 * nxf);
    if (!move(dc(dcw::FLUUSED), dc(dcw::FLUSTART), to)) return 1;
    dc(dcw::FLUSTART) = to;
  }
  for (int k = 0; k < kKinds; ++k) {
    const std::int32_t list = 30 + k;
    const std::int32_t nx = ctx.nx[static_cast<std::size_t>(k)];
    if (!ctx.present(list)) {
      if (nx > 0) return 1;
      continue;
    }
    const std::int64_t free = std::int64_t{area_start(k)} + dc(dcw::LINUSED + 2 * k);
    const std::int32_t first_cond = dir(kKindRow[static_cast<std::size_t>(k)], i + 1) - nx + 1;
    SGTLNK(5 * nx + 1, nx, dcore().subspan(static_cast<std::size_t>(free - 1)), st, k == kFluidic ? 1 : 0, first_cond,
           i, list, ctx.unit);
    if (st != 0) return 1;
    dc(dcw::LINUSED + 2 * k) += 5 * nx;
  }
  return 0;
}

// ---- Resolution and chains ------------------------------------------------------

namespace {

// Internal index of user node `number` of submodel isub: thermal nodes first,
// then fluid nodes; 0 when it has neither.
std::int32_t resolve(std::int32_t isub, std::int32_t number) {
  if (const std::int32_t p = position_in(thermal_numbers(isub), number); p > 0) return dir(3, isub) + p;
  if (const std::int32_t p = position_in(fluid_numbers(isub), number); p > 0)
    return FLAGS(flagw::NNODE) + dir(16, isub) + p;
  return 0;
}

void SLKNDT(std::int32_t isub, int K, std::int32_t& IERR) {
  const std::int32_t n = area_records(K);
  LoopGuard guard("SLKNDT");
  for (std::int32_t r = 1; r <= n; ++r) {
    guard.tick();
    std::int32_t* rec = record(area_start(K), r);
    for (const int end : {0, 2}) {
      if (rec[end] != isub) continue;
      const std::int32_t index = resolve(isub, rec[end + 1]);
      if (index == 0) {
        IERR = 1;
        return;
      }
      rec[end] = 0;
      rec[end + 1] = index;
    }
  }
}

}  // namespace

void SLKUPD(std::int32_t ISUB, std::int32_t& IERR) {
  IERR = 0;
  // Also for a submodel without nodes: a record that names it cannot be
  // resolved and must not be left behind.
  for (int k = 0; k < kKinds && IERR == 0; ++k) SLKNDT(ISUB, k, IERR);
}

void SLKALL(std::int32_t& IERR) {
  IERR = 0;
  LoopGuard guard("SLKALL");
  for (std::int32_t i = 1; i <= FLAGS(flagw::NSUB); ++i) {
    guard.tick();
    SLKUPD(i, IERR);
    if (IERR != 0) {
      SETERX("Error in reading model " + std::string(gar_modelnames(i)) + "(" + int_field(i, 3) + ")@" +
                 "UPDATE INTER-MODEL LINKS" + "  Zerror = " + int_field(IERR, 2),
             4, 1, "SLKALL");
      return;
    }
  }
}

void SLKPTS() {
  const std::int64_t nodes = nn();
  LoopGuard guard("SLKPTS");
  for (int k = 0; k < kKinds; ++k) {
    const std::int32_t n = area_records(k);
    if (n == 0) continue;
    // SLKNDS: chains in ascending record order, built from the last record.
    for (const int end : {1, 2}) {
      const int node_word = end == 1 ? 1 : 3;
      const int chain_word = end == 1 ? 0 : 2;
      for (std::int32_t r = n; r >= 1; --r) {
        guard.tick();
        std::int32_t* rec = record(area_start(k), r);
        const std::int32_t node = rec[node_word];
        if (node < 1 || node > nodes) internal_stop("SLKPTS: unresolved link record");
        std::int32_t& head = dc(head_word(k, node, end));
        if (head != 0) rec[chain_word] = head;
        head = r;
      }
    }
  }
}

void link_entries(int K, std::int32_t NODE, std::vector<std::array<std::int32_t, 2>>& OUT) {
  OUT.clear();
  const std::int32_t n = area_records(K);
  if (n == 0) return;
  LoopGuard guard("SLKADD");
  for (const int end : {1, 2}) {
    for (std::int32_t r = dc(head_word(K, NODE, end)); r != 0;) {
      guard.tick();
      if (r < 1 || r > n) internal_stop("SLKADD: broken link chain");
      const std::int32_t* rec = record(area_start(K), r);
      const std::int32_t other = end == 1 ? rec[3] : rec[1];
      const std::int32_t cond = (K == kFluidic && end == 1) ? -rec[4] : rec[4];
      OUT.push_back({other, cond});
      r = end == 1 ? rec[0] : rec[2];
    }
  }
}

void SLKCTR(LoadContext& ctx, std::int32_t& IERR) {
  IERR = 0;
  ListRewrite list(gar_pcsthermalold.span(), thermal_list_length(), ctx.npcs, IERR);
  if (IERR != 0) return;
  std::int64_t inserted = 0;
  std::vector<std::array<std::int32_t, 2>> entries;
  LoopGuard guard("SLKCTR");
  for (std::int32_t x = 1; x <= FLAGS(flagw::NNODE) && IERR == 0; ++x) {
    std::int64_t rp = std::int64_t{gar_pcsptrsthermalold(x)} + list.shift();
    gar_pcsptrsthermalold(x) = static_cast<std::int32_t>(list.written() + 1);
    for (int k = 0; k < kKinds && IERR == 0; ++k) {
      link_entries(k, x, entries);
      for (const auto& e : entries) {
        list.put(e[0]);
        list.put(e[1]);
        inserted += 2;
      }
      while (IERR == 0) {
        guard.tick();
        const std::int32_t v = list.read(rp);
        const std::int32_t next = list.read(rp + 1);
        if (IERR != 0) break;
        rp += 2;
        if (v > 0) {
          list.put(v);
          list.put(next);
        } else if (v < 0 && next == 0) {
          list.put(static_cast<std::int32_t>(v - inserted));
          list.put(0);
          break;
        } else {
          IERR = 11;  // a run without its end words: the list is broken
        }
      }
    }
  }
  ctx.npcs = static_cast<std::int32_t>(list.written());
}

// ---- Fluid (mass-flow) links -----------------------------------------------------

void SLKNOD(std::int32_t ISUB, std::int32_t& RESOLVED, std::int32_t& IERR) {
  IERR = 0;
  RESOLVED = 0;
  const std::int32_t start = dc(dcw::FLINKSTART);
  const std::int32_t n = dc(dcw::FLINKUSED) / kRecord;
  const auto numbers = fluid_numbers(ISUB);
  LoopGuard guard("SLKNOD");
  for (std::int32_t r = 1; r <= n; ++r) {
    guard.tick();
    std::int32_t* rec = record(start, r);
    for (const int end : {0, 2}) {
      if (rec[end] != ISUB) continue;
      const std::int32_t p = position_in(numbers, rec[end + 1]);
      if (p == 0) {
        IERR = 1;
        return;
      }
      rec[end] = 0;
      rec[end + 1] = dir(16, ISUB) + p;
      ++RESOLVED;
    }
  }
}

std::int32_t LOADUP(LoadContext& ctx) {
  const std::int32_t i = ctx.isub;
  const std::int32_t r16 = dir(16, i), nfs = dir(16, i + 1) - r16;
  const std::int32_t r17 = dir(17, i), own = dir(17, i + 1) - r17;
  std::int32_t st = 0;
  if (own > 0) {
    SGVNOD(2 * own, nfs, fluid_numbers(i), r16,
           gar_massflowlinkcondnodepairs.span().subspan(2 * static_cast<std::size_t>(r17), 2 * static_cast<std::size_t>(own)),
           st);
    if (st != 0) return 1;
  }
  if (ctx.quadwords >= 0) {
    const std::int32_t links = ctx.quadwords / 4;
    const std::int64_t at = std::int64_t{dc(dcw::FLINKSTART)} + dc(dcw::FLINKUSED);
    const std::int64_t capacity = dc(dcw::WORKSTART) - at;
    SGTFLN(links, static_cast<std::int32_t>(capacity), dcore().subspan(static_cast<std::size_t>(at - 1)), st,
           dir(17, i + 1) + 1, i);
    if (st != 0) return 1;
    dc(dcw::FLINKUSED) += 5 * links;
    dir(17, i + 1) += links;
  }
  std::int32_t resolved = 0;
  SLKNOD(i, resolved, st);
  if (st != 0) return 1;
  const std::int32_t start = dc(dcw::FLINKSTART), nrec = dc(dcw::FLINKUSED) / kRecord;
  if (resolved > 0 && nrec > 1) {
    std::int32_t check = 0;
    SSMSRT(kRecord, nrec, dcore().subspan(static_cast<std::size_t>(start - 1)), st, check);
    if (st != 0) return 1;
  }
  SFCUPD(dcore(), start, dc(dcw::FLINKUSED));
  return 0;
}

// The pending fluid link records are kept sorted, so the ones keyed on the
// fluid node being written stand first. A record's first end gets an entry
// whose other node is a placeholder; the record is then keyed on its other
// end (word 3 := -first end, word 4 := the placeholder's position) and sorted
// back in. When the other end's turn comes, the placeholder receives it, the
// other end gets its own entry and the record leaves the area.
void SADFLN(std::int32_t F, std::int64_t& WPOS, std::int64_t READPOS, std::int32_t& IERR) {
  IERR = 0;
  const std::int32_t start = dc(dcw::FLINKSTART);
  const std::int64_t len = fluid_list_length();
  const auto put = [&](std::int32_t v) {
    if (WPOS + 1 >= READPOS || WPOS + 1 > len) {
      IERR = 11;
      return;
    }
    gar_pcsfluid(++WPOS) = v;
  };
  LoopGuard guard("SADFLN");
  while (IERR == 0) {
    guard.tick();
    const std::int32_t nrec = dc(dcw::FLINKUSED) / kRecord;
    if (nrec == 0) break;
    std::int32_t* rec = record(start, 1);
    if (rec[0] != 0 || rec[1] != F) break;
    const std::int32_t link = std::abs(rec[4]);
    if (rec[2] >= 0) {
      put(-1);
      put(link);
      if (IERR != 0) break;
      const auto placeholder = static_cast<std::int32_t>(WPOS - 1);
      const std::int32_t other_sub = rec[2], other_node = rec[3];
      rec[0] = other_sub;
      rec[1] = other_node;
      rec[2] = -F;
      rec[3] = placeholder;
      SOMSRT(start, nrec, dcore());
    } else {
      const std::int32_t placeholder = rec[3];
      if (placeholder < 1 || placeholder > len || gar_pcsfluid(placeholder) != -1) {
        internal_stop("SADFLN: lost link placeholder");
      }
      gar_pcsfluid(placeholder) = F;
      put(-rec[2]);
      put(link);
      if (IERR != 0) break;
      std::int32_t st = 0;
      if (nrec > 1) DBCOPI(FLAGS(flagw::DYSTOR), kRecord * (nrec - 1), start + kRecord, start, dcore(), st);
      else std::fill_n(rec, kRecord, 0);
      dc(dcw::FLINKUSED) -= kRecord;
    }
  }
}

}  // namespace kalvir::mdb
