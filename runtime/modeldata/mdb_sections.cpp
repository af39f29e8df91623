#include "runtime/modeldata/mdb_sections.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <string_view>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/run_end.h"
#include "runtime/fluids/interface/fluid_names.h"
#include "runtime/modeldata/fpcs.h"
#include "runtime/modeldata/mdb_loader.h"
#include "runtime/modeldata/mdb_records.h"
#include "runtime/modeldata/model_links.h"
#include "runtime/modeldata/pcs.h"
#include "runtime/modeldata/search_sort.h"
#include "runtime/modeldata/state_descriptors.h"

namespace kalvir::mdb {
namespace {

constexpr std::int32_t kUndefined = 2147483647;

// List readers bound to the MDB unit; each returns the list reader's status.
std::int32_t ilist(const LoadContext& ctx, std::int32_t list, std::int64_t n0, std::int64_t cap,
                   std::span<std::int32_t> a, std::int32_t& n) {
  std::int32_t st = 0;
  n = 0;
  if (n0 < 0 || n0 > std::numeric_limits<std::int32_t>::max()) return 2;
  SCOMII(static_cast<std::int32_t>(n0), static_cast<std::int32_t>(std::clamp<std::int64_t>(cap, 0, INT32_MAX)),
         list, ctx.unit, a, n, st);
  return st;
}

std::int32_t rlist(const LoadContext& ctx, std::int32_t list, std::int64_t n0, std::int64_t cap,
                   std::span<double> a, std::int32_t& n) {
  std::int32_t st = 0;
  n = 0;
  if (n0 < 0 || n0 > std::numeric_limits<std::int32_t>::max()) return 2;
  Scomdd(static_cast<std::int32_t>(n0), static_cast<std::int32_t>(std::clamp<std::int64_t>(cap, 0, INT32_MAX)),
         list, ctx.unit, a, n, st);
  return st;
}

template <std::size_t W>
std::int32_t clist(const LoadContext& ctx, std::int32_t list, std::int64_t n0, std::int64_t cap, std::int32_t len,
                   CharArray<W>& a, std::int32_t& n) {
  std::int32_t st = 0;
  n = 0;
  if (n0 < 0 || n0 > std::numeric_limits<std::int32_t>::max()) return 2;
  SCOMZZ(static_cast<std::int32_t>(n0), static_cast<std::int32_t>(std::clamp<std::int64_t>(cap, 0, INT32_MAX)),
         list, ctx.unit, len, a.stream_span(), W, n, st);
  return st;
}

std::int32_t skip(const LoadContext& ctx, std::int32_t first, std::int32_t last) {
  std::int32_t st = 0;
  SCOMSK(ctx.counts, first, last, ctx.unit, st);
  return st;
}

// Node numbers of one submodel must ascend strictly: every lookup bisects them.
bool ascending(std::span<const std::int32_t> v) {
  return std::adjacent_find(v.begin(), v.end(), [](std::int32_t a, std::int32_t b) { return a >= b; }) == v.end();
}

std::span<const std::int32_t> slice(const Array1<std::int32_t>& a, std::int64_t n0, std::int64_t n) {
  return a.span().subspan(static_cast<std::size_t>(n0), static_cast<std::size_t>(n));
}

// Real lists that must hold one value per node of a group, in list order.
struct RealList {
  std::int32_t list;
  Array1<double>* target;
};

std::int32_t read_real_group(const LoadContext& ctx, std::span<const RealList> lists, std::int32_t n0,
                             std::int32_t cap, std::int32_t count) {
  for (const RealList& r : lists) {
    std::int32_t n = 0;
    if (const std::int32_t st = rlist(ctx, r.list, n0, cap, r.target->span(), n); st != 0) return st;
    if (n != count) return 1;
  }
  return 0;
}

// Character lists that must hold one element per node of a group.
template <std::size_t W>
std::int32_t read_char_group(const LoadContext& ctx, std::int32_t list, std::int32_t n0, std::int32_t cap,
                             CharArray<W>& a, std::int32_t count) {
  std::int32_t n = 0;
  if (const std::int32_t st = clist(ctx, list, n0, cap, static_cast<std::int32_t>(W), a, n); st != 0) return st;
  return n == count ? 0 : 1;
}

std::int32_t nodes_of(std::int32_t isub) { return dir(3, isub + 1) - dir(3, isub); }

// The letters and descriptors that the runtime acts on. Anything else would
// load without a word and change what the solution does, so the load stops
// at the first unknown one and names its owner. "C" (a tie target) is set by
// the tie merge, never read from the file.
constexpr std::string_view kThermalStatuses = "DBX";
constexpr std::string_view kFluidStatuses = "FHJKQRSVUIO";
constexpr std::string_view kActivityLetters = "AI";

// A state descriptor names one of four pairs of known properties, either way
// round; blanks inside it do not count.
bool known_descriptor(std::string_view text) {
  std::string packed;
  for (const char c : text)
    if (c != ' ') packed += c;
  return !canonical_state_descriptor(packed).empty();
}

bool known_letter(std::string_view valid, std::string_view letter) {
  return letter.size() == 1 && valid.find(letter[0]) != std::string_view::npos;
}

// Elements n0 + 1 .. n0 + n of a. The first one that is not known leaves
// "<what> '<text>' of <owner> <k>" in the context (k counted from 1 within the
// list, or the number number_of(k) gives) and fails the step.
template <std::size_t W, class Known, class Number>
std::int32_t check_texts(LoadContext& ctx, const CharArray<W>& a, std::int64_t n0, std::int64_t n, Known known,
                         std::string_view what, std::string_view owner, Number number_of) {
  for (std::int64_t k = 1; k <= n; ++k) {
    const std::string_view text = a(n0 + k);
    if (known(text)) continue;
    ctx.section = std::string(what) + " '" + std::string(kalvir::trim_right(text)) + "' of " + std::string(owner) +
                  " " + std::to_string(number_of(k));
    return 1;
  }
  return 0;
}

template <std::size_t W>
std::int32_t check_letters(LoadContext& ctx, const CharArray<W>& a, std::int64_t n0, std::int64_t n,
                           std::string_view valid, std::string_view what, std::string_view owner) {
  return check_texts(
      ctx, a, n0, n, [&](std::string_view t) { return known_letter(valid, t); }, what, owner,
      [](std::int64_t k) { return k; });
}

}  // namespace

// ---- Thermal nodes --------------------------------------------------------

std::int32_t LOADE(LoadContext& ctx) {
  const std::int32_t i = ctx.isub;
  const std::int32_t n0 = dir(3, i);
  dir(3, i + 1) = n0;
  if (!ctx.present(1)) return 0;
  const std::int32_t cap = FLAGS(flagw::NNODE);
  std::int32_t n = 0;
  if (const std::int32_t st = ilist(ctx, 1, n0, cap, gar_thermalnodenums.span(), n); st != 0) return st;
  if (!ascending(slice(gar_thermalnodenums, n0, n))) return 1;
  const RealList reals[] = {
      {2, &gar_thermalnodetemps},          {3, &gar_thermalnodecapacitances},
      {4, &gar_thermalnodeheatsourcesalbedo}, {5, &gar_thermalnodeheatsourcesplanet},
      {6, &gar_thermalnodeheatsourcesinternal}, {7, &gar_thermalnodeheatsourcessolar},
      {8, &gar_thermalnodeheatsourcesother},  {9, &gar_thermalnodesurfaceareas},
      {10, &gar_thermalnodeabsorptivities},   {11, &gar_thermalnodeemissivities}};
  if (const std::int32_t st = read_real_group(ctx, reals, n0, cap, n); st != 0) return st;
  if (const std::int32_t st = read_char_group(ctx, 12, n0, cap, gar_thermalnodelabels, n); st != 0) return st;
  if (const std::int32_t st = read_char_group(ctx, 13, n0, cap, gar_thermalnodestatuses, n); st != 0) return st;
  if (const std::int32_t st = check_texts(
          ctx, gar_thermalnodestatuses, n0, n, [](std::string_view t) { return known_letter(kThermalStatuses, t); },
          "status letter", "node", [&](std::int64_t k) { return gar_thermalnodenums(n0 + k); });
      st != 0)
    return st;
  dir(3, i + 1) = n0 + n;
  return 0;
}

// Lists 72-74 and 96-98 hold one value per node of the submodel. A list with
// another count fails the step: loading it would leave nodes without their
// values (or with another node's).
std::int32_t LOADEN(LoadContext& ctx) {
  if (!ctx.present(1)) return 0;
  const RealList reals[] = {{72, &gar_thermalnodeincidentfluxesalbedo},
                            {73, &gar_thermalnodeincidentfluxesplanet},
                            {74, &gar_thermalnodeincidentfluxessolar}};
  return read_real_group(ctx, reals, dir(3, ctx.isub), FLAGS(flagw::NNODE), nodes_of(ctx.isub));
}

std::int32_t LoadThermalNodeCoordinates(LoadContext& ctx) {
  if (!ctx.present(1)) return 0;
  const RealList reals[] = {
      {96, &gar_thermalnodecoordsx}, {97, &gar_thermalnodecoordsy}, {98, &gar_thermalnodecoordsz}};
  return read_real_group(ctx, reals, dir(3, ctx.isub), FLAGS(flagw::NNODE), nodes_of(ctx.isub));
}

// ---- Conductors ----------------------------------------------------------

namespace {
struct CondKind {
  std::int32_t row;
  std::int32_t flagword;
  Array1<double>* values;
  CharArray<1>* acts;
  std::string_view name;
};
// GL, GR, GF, GV in the order of lists 14-17 and 18-21.
std::array<CondKind, 4> cond_kinds() {
  return {{{4, flagw::NGL, &gar_linearconds, &gar_linearcondacts, "GL"},
           {6, flagw::NGR, &gar_radiativeconds, &gar_radiativecondacts, "GR"},
           {5, flagw::NGF, &gar_fluidicconds, &gar_fluidiccondacts, "GF"},
           {7, flagw::NGV, &gar_vfacconds, &gar_vfaccondacts, "GV"}}};
}
}  // namespace

std::int32_t LOADF(LoadContext& ctx) {
  const std::int32_t i = ctx.isub;
  const auto kinds = cond_kinds();
  std::array<std::int32_t, 4> nvalues{};
  for (std::size_t k = 0; k < kinds.size(); ++k) {
    const CondKind& c = kinds[k];
    const std::int32_t list = 14 + static_cast<std::int32_t>(k);
    if (ctx.present(list)) {
      const std::int32_t st = rlist(ctx, list, dir(c.row, i), FLAGS(c.flagword), c.values->span(), nvalues[k]);
      if (st != 0) return st;
    }
    dir(c.row, i + 1) = dir(c.row, i) + nvalues[k];
  }
  for (std::size_t k = 0; k < kinds.size(); ++k) {
    const CondKind& c = kinds[k];
    const std::int32_t list = 18 + static_cast<std::int32_t>(k);
    std::int32_t n = 0;
    if (ctx.present(list)) {
      if (const std::int32_t st = clist(ctx, list, dir(c.row, i), FLAGS(c.flagword), 1, *c.acts, n); st != 0)
        return st;
    }
    if (n != nvalues[k]) return 1;
    if (const std::int32_t st = check_letters(ctx, *c.acts, dir(c.row, i), n, kActivityLetters, "activity letter",
                                              c.name);
        st != 0)
      return st;
  }
  return 0;
}

std::int32_t LOADG(LoadContext& ctx) {
  const std::int32_t i = ctx.isub;
  const auto kinds = cond_kinds();
  // Lists 22, 23, 24: inter-model GL, GR, GF, behind the submodel's own.
  for (int k = 0; k < kKinds; ++k) {
    const CondKind& c = kinds[static_cast<std::size_t>(k)];
    const std::int32_t list = 22 + k;
    std::int32_t n = 0;
    if (ctx.present(list)) {
      if (const std::int32_t st = rlist(ctx, list, dir(c.row, i + 1), FLAGS(c.flagword), c.values->span(), n);
          st != 0)
        return st;
    }
    dir(c.row, i + 1) += n;
    ctx.nx[static_cast<std::size_t>(k)] = n;
  }
  return 0;
}

std::int32_t LOADH(LoadContext& ctx) {
  const std::int32_t i = ctx.isub;
  const auto kinds = cond_kinds();
  for (int k = 0; k < kKinds; ++k) {
    const CondKind& c = kinds[static_cast<std::size_t>(k)];
    const std::int32_t list = 26 + k;
    const std::int32_t nx = ctx.nx[static_cast<std::size_t>(k)];
    std::int32_t n = 0;
    if (ctx.present(list)) {
      if (const std::int32_t st = clist(ctx, list, dir(c.row, i + 1) - nx, FLAGS(c.flagword), 1, *c.acts, n);
          st != 0)
        return st;
    }
    if (n != nx) return 1;
    if (const std::int32_t st = check_letters(ctx, *c.acts, dir(c.row, i + 1) - nx, n, kActivityLetters,
                                              "activity letter", "inter-model " + std::string(c.name));
        st != 0)
      return st;
  }
  return 0;
}

std::int32_t LOADJ(LoadContext& ctx) {
  const std::int32_t i = ctx.isub;
  const std::int64_t ngv = dir(7, i + 1) - dir(7, i);
  if (!ctx.present(34)) return ngv == 0 ? 0 : 1;
  const std::int64_t n0 = 2LL * dir(7, i);
  std::int32_t n = 0;
  if (const std::int32_t st = ilist(ctx, 34, n0, 2LL * FLAGS(flagw::NGV), gar_vfaccondnodepairs.span(), n);
      st != 0)
    return st;
  if (n != 2 * ngv) return 1;
  if (n == 0) return 0;
  std::int32_t st = 0;
  SGVNOD(n, nodes_of(i), slice(gar_thermalnodenums, dir(3, i), nodes_of(i)), dir(3, i),
         gar_vfaccondnodepairs.span().subspan(static_cast<std::size_t>(n0), static_cast<std::size_t>(n)), st);
  return st == 0 ? 0 : 1;
}

namespace {

// List 35 of the main model: the node tie list, into the tie area of the
// integer dynamic core. The area holds 2 x FLAGS word 25 words (the tail
// length the model program was generated with); the chain heads of the link
// records follow it, so a longer list must not spill into them. The list's own
// first word (twice the tail length) must agree with what was read.
std::int32_t read_tie_list(LoadContext& ctx) {
  const std::int32_t start = dc(dcw::TIESTART);
  const std::int64_t area = 2LL * std::max(FLAGS(flagw::NTIELEN), 0);
  std::int32_t n = 0;
  if (const std::int32_t st = ilist(ctx, 35, start - 1, start - 1 + area, dcore(), n); st != 0) return st;
  ctx.tiewords = n;
  if (n < 4) return 1;
  const std::int32_t twice_tail = dc(start);
  if (twice_tail < 4 || twice_tail % 2 != 0 || twice_tail > n) return 1;
  return 0;
}

}  // namespace

// ---- User constants -------------------------------------------------------

std::int32_t LOADL(LoadContext& ctx) {
  const std::int32_t i = ctx.isub;
  const std::int32_t nu = FLAGS(16);
  auto names = gar_userconstnames.stream_span();
  std::int32_t st = 0;

  // Integer names first, parked at the end of the name array while the real
  // names are read in front of them.
  std::int32_t ni = 0;
  if (ctx.present(45)) {
    if ((st = clist(ctx, 45, dir(11, i), nu, 18, gar_userconstnames, ni)) != 0) return st;
    if (ni > 0) {
      DBCOPZ(nu, ni, dir(11, i) + 1, nu - ni + 1, names, st, 18);
      if (st != 0) return 1;
    }
  }
  std::int32_t niv = 0;
  if (ctx.present(46)) {
    if ((st = ilist(ctx, 46, dir(9, i), FLAGS(7), gar_userconstvaluesint.span(), niv)) != 0) return st;
  }
  if (niv != ni) return 1;
  dir(9, i + 1) = dir(9, i) + niv;

  std::int32_t nr = 0;
  if (ctx.present(47)) {
    // The parked integer names must not be overwritten.
    if ((st = clist(ctx, 47, dir(11, i), nu - ni, 18, gar_userconstnames, nr)) != 0) return st;
  }
  dir(12, i) = dir(11, i) + nr;
  if (ni > 0) {
    DBCOPZ(nu, ni, nu - ni + 1, dir(12, i) + 1, names, st, 18);
    if (st != 0) return 1;
  }
  dir(13, i) = dir(12, i) + ni;
  std::int32_t nrv = 0;
  if (ctx.present(48)) {
    if ((st = rlist(ctx, 48, dir(8, i), FLAGS(6), gar_userconstvaluesreal.span(), nrv)) != 0) return st;
  }
  if (nrv != nr) return 1;
  dir(8, i + 1) = dir(8, i) + nrv;

  std::int32_t nc = 0;
  if (ctx.present(49)) {
    if ((st = clist(ctx, 49, dir(13, i), nu, 18, gar_userconstnames, nc)) != 0) return st;
  }
  dir(11, i + 1) = dir(12, i + 1) = dir(13, i + 1) = dir(13, i) + nc;
  std::int32_t ncp = 0;
  if (ctx.present(50)) {
    if ((st = ilist(ctx, 50, dir(10, i), FLAGS(9), gar_userconstpointerschar.span(), ncp)) != 0) return st;
  }
  if (ncp != nc) return 1;
  dir(10, i + 1) = dir(10, i) + ncp;

  if (ctx.present(51) != (nc > 0)) return 1;
  std::int32_t ne = 0;
  if (ctx.present(51)) {
    if ((st = clist(ctx, 51, dir(15, i), FLAGS(8), FLAGS(flagw::CHARLEN), gar_userconstvalueschar, ne)) != 0)
      return st;
  }
  dir(15, i + 1) = dir(15, i) + ne;
  return 0;
}

// ---- ARRAYs ---------------------------------------------------------------

void SAPTUP(const std::array<std::int32_t, 9>& POS, std::int32_t LEN, std::int32_t K0, std::int32_t KEND,
            Array1<std::int32_t>& INFOLIST, Array1<std::int32_t>& INFOPTRS, std::int32_t& IERR) {
  IERR = 0;
  // Character positions count characters.
  std::array<std::int64_t, 9> pos{};
  for (int k = 1; k <= 8; ++k) pos[static_cast<std::size_t>(k)] = POS[static_cast<std::size_t>(k)];
  pos[4] *= LEN;
  pos[8] *= LEN;
  const std::int64_t infoend = std::min<std::int64_t>(pos[5], INFOLIST.size());
  LoopGuard guard("SAPTUP");
  for (std::int32_t i = K0 + 1; i <= KEND && IERR == 0; ++i) {
    guard.tick();
    if (i < 1 || i > INFOPTRS.size()) {
      IERR = 3;
      break;
    }
    const std::int64_t e = std::int64_t{INFOPTRS(i)} + pos[1];
    // Words 1-3 of the entry must lie in the submodel's part of the info list.
    if (e < pos[1] + 1 || e + 2 > infoend) {
      IERR = 3;
      break;
    }
    INFOPTRS(i) = static_cast<std::int32_t>(e);
    const auto shift = [&](std::int64_t word, std::int64_t add, std::int64_t limit) {
      if (IERR != 0) return;
      if (e + word - 1 > infoend) {
        IERR = 3;
        return;
      }
      std::int32_t& w = INFOLIST(e + word - 1);
      const std::int64_t v = std::int64_t{w} + add;
      if (v > limit) {
        IERR = 3;
        return;
      }
      w = static_cast<std::int32_t>(v);
    };
    switch (INFOLIST(e)) {
      case 1: shift(3, pos[2], pos[6]); break;
      case 2: shift(3, pos[3], pos[7]); break;
      case 3: shift(3, pos[4], pos[8]); break;
      case 4:
        // A table keeps its header with the integers and its values with the
        // reals; word 6, its number of independent variables, is no position
        // and the entry ends there: the words behind it are the next entry's.
        if (e + 5 > infoend) {
          IERR = 3;
          break;
        }
        shift(3, pos[2], pos[6]);
        shift(5, pos[3], pos[7]);
        break;
      case 5:
      case 6: shift(3, pos[3], pos[7]); break;
      default: IERR = 3;
    }
  }
}

std::int32_t LOADM(LoadContext& ctx) {
  const std::int32_t i = ctx.isub;
  auto& pos = ctx.storepos;
  for (int k = 1; k <= 4; ++k) pos[static_cast<std::size_t>(k + 4)] = pos[static_cast<std::size_t>(k)];
  // The next submodel starts behind this one's values, whatever happens here.
  struct Advance {
    std::array<std::int32_t, 9>& p;
    ~Advance() {
      for (int k = 1; k <= 4; ++k) p[static_cast<std::size_t>(k)] = p[static_cast<std::size_t>(k + 4)];
    }
  } advance{pos};

  std::int32_t narrays = 0, nreal = 0, nint = 0;
  std::vector<double> acd_reals;
  std::vector<std::int32_t> acd_ints;
  const kalvir::AcdArrayReads& acd = kalvir::acd_array_reads();
  kalvir::filled_hook(acd.array_data, "AcdArrayReads::array_data")(narrays, nreal, nint, acd_reals, acd_ints);
  nreal = std::clamp<std::int32_t>(nreal, 0, static_cast<std::int32_t>(acd_reals.size()));
  nint = std::clamp<std::int32_t>(nint, 0, static_cast<std::int32_t>(acd_ints.size()));

  const std::int32_t na = FLAGS(19);
  const std::int32_t k0 = dir(14, i);
  dir(14, i + 1) = k0;
  std::int32_t st = 0;
  std::array<std::int32_t, 3> ngroup{};
  std::int32_t nnames = 0;
  for (int g = 0; g < 3; ++g) {
    if (ctx.present(52 + g)) {
      if ((st = clist(ctx, 52 + g, k0 + nnames, na, 18, gar_arraynames, ngroup[static_cast<std::size_t>(g)])) != 0)
        return st;
    }
    nnames += ngroup[static_cast<std::size_t>(g)];
  }
  std::int32_t n55 = 0;
  if (ctx.present(55)) {
    if ((st = ilist(ctx, 55, pos[1], FLAGS(18), gar_arrayinfolist.span(), n55)) != 0) return st;
  }
  pos[5] = pos[1] + n55;
  if (nnames > 0 && !ctx.present(55)) return 2;

  std::int32_t nptrs = 0;
  for (int g = 0; g < 3; ++g) {
    std::int32_t m = 0;
    if (ctx.present(56 + g)) {
      if ((st = ilist(ctx, 56 + g, k0 + nptrs, na, gar_arrayinfopointers.span(), m)) != 0) return st;
    }
    if (m != ngroup[static_cast<std::size_t>(g)]) return 2;
    nptrs += m;
  }

  // Values: the submodel's own, then the ones the ACD file adds behind them.
  std::int32_t n59 = 0, n60 = 0, n61 = 0;
  if (ctx.present(59)) {
    if ((st = ilist(ctx, 59, pos[2], FLAGS(21), gar_arrayvaluesint.span(), n59)) != 0) return st;
  }
  if (std::int64_t{pos[2]} + n59 + nint > gar_arrayvaluesint.size()) return 2;
  std::copy_n(acd_ints.begin(), nint, gar_arrayvaluesint.begin() + pos[2] + n59);
  pos[6] = pos[2] + n59 + nint;
  if (ctx.present(60)) {
    if ((st = rlist(ctx, 60, pos[3], FLAGS(20), gar_arrayvaluesreal.span(), n60)) != 0) return st;
  }
  if (std::int64_t{pos[3]} + n60 + nreal > gar_arrayvaluesreal.size()) return 2;
  std::copy_n(acd_reals.begin(), nreal, gar_arrayvaluesreal.begin() + pos[3] + n60);
  pos[7] = pos[3] + n60 + nreal;
  if (ctx.present(61)) {
    if ((st = clist(ctx, 61, pos[4], FLAGS(22), FLAGS(flagw::CHARLEN), gar_arrayvalueschar, n61)) != 0) return st;
  }
  pos[8] = pos[4] + n61;

  if ((st = skip(ctx, 62, 63)) != 0) return st;
  std::int32_t n64 = 0;
  if (ctx.present(64)) {
    if ((st = clist(ctx, 64, k0 + nnames, na, 18, gar_arraynames, n64)) != 0) return st;
  }
  dir(14, i + 1) = k0 + nnames + n64;
  if (n64 > 0 && !ctx.present(55)) return 2;
  std::int32_t m65 = 0;
  if (ctx.present(65)) {
    if ((st = ilist(ctx, 65, k0 + nptrs, na, gar_arrayinfopointers.span(), m65)) != 0) return st;
  }
  if (m65 != n64) return 2;

  if (narrays > 0) {
    const auto acda_updatearraypointers = kalvir::filled_hook(acd.update_pointers, "AcdArrayReads::update_pointers");
    acda_updatearraypointers(narrays, n59, n60, gar_arrayinfopointers, gar_arrayinfolist, gar_arraynames, pos[1],
                             k0, dir(14, i + 1));
  }
  // The main model's entries are absolute already.
  if (i >= 2 && dir(14, i + 1) > k0) {
    SAPTUP(pos, FLAGS(flagw::CHARLEN), k0, dir(14, i + 1), gar_arrayinfolist, gar_arrayinfopointers, st);
    if (st != 0) return 3;
  }
  return 0;
}

// ---- List 66 and control constants -----------------------------------------

std::int32_t LOADP(LoadContext& ctx) {
  const std::int32_t w7 = dc(dcw::LINKEND);
  const std::int32_t room = dc(dcw::FLINKSTART) - w7;
  std::int32_t n = 0;
  if (const std::int32_t st = ilist(ctx, 66, w7 - 1, std::int64_t{w7} - 1 + room, dcore(), n); st != 0) return st;
  if (n != kList66Words) return 1;
  const auto word = [w7](std::int32_t k) { return dc(std::int64_t{w7} + k - 1); };
  for (int k = 0; k < kKinds; ++k) {
    ctx.coupling[static_cast<std::size_t>(k)] = word(70 + k);
    if (word(70 + k) < 0) return 1;
  }
  for (std::int32_t k = 1; k <= 3 * 43; ++k) ctx.skips.flat(k) = word(76 + k);
  for (std::int32_t c = 1; c <= 43; ++c) {
    if (ctx.skips(3, c) < 0) return 1;
  }
  return 0;
}

std::int32_t LOADQ(LoadContext& ctx) {
  const std::int32_t nli = FLAGS(11), nlr = FLAGS(10), ngi = FLAGS(14), ngr = FLAGS(13);
  if (ngi > GloiBlock::count || ngr > GlorBlock::count || std::min({nli, nlr, ngi, ngr}) < 0) return 1;
  const std::int32_t cap = ngi + nli + ngr + nlr;
  std::vector<double> v(static_cast<std::size_t>(std::max(cap, 0)));
  std::int32_t n = 0;
  if (const std::int32_t st = rlist(ctx, 68, 0, cap, v, n); st != 0) return st;
  // A count that does not match this program's constants would leave them
  // unset or shifted: the file belongs to another build of the model.
  if (ctx.isub == 1 ? n != cap : n < nli + nlr) return 1;

  // Integers come as reals; the undefined marker in the low word stays the
  // marker, anything that is no 32-bit integer is a corrupt value.
  std::vector<std::int32_t> ints;
  const auto to_int = [](double x, std::int32_t& out) {
    const auto bits = std::bit_cast<std::uint64_t>(x);
    if (static_cast<std::uint32_t>(bits & 0xFFFFFFFFU) == static_cast<std::uint32_t>(kUndefined)) {
      out = kUndefined;
      return true;
    }
    if (!std::isfinite(x) || x <= -2147483649.0 || x >= 2147483648.0) return false;
    out = static_cast<std::int32_t>(std::trunc(x));
    return true;
  };
  const std::int64_t li0 = std::int64_t{ctx.isub - 1} * nli;
  const std::int64_t lr0 = std::int64_t{ctx.isub - 1} * nlr;
  if (li0 + nli > LOCI.size() || lr0 + nlr > LOCR.size()) return 1;
  std::size_t k = 0;
  for (std::int32_t j = 1; j <= nli; ++j) {
    std::int32_t x = 0;
    if (!to_int(v[k++], x)) return 1;
    LOCI(li0 + j) = x;
  }
  for (std::int32_t j = 1; j <= nlr; ++j) LOCR(lr0 + j) = v[k++];
  if (ctx.isub == 1) {
    for (std::int32_t j = 1; j <= ngi; ++j) {
      std::int32_t x = 0;
      if (!to_int(v[k++], x)) return 1;
      GLOI(j) = x;
    }
    for (std::int32_t j = 1; j <= ngr; ++j) GLOR(j) = v[k++];
  }
  return 0;
}

// ---- Own conductor pairs, aliases -------------------------------------------

std::int32_t LOADEM(LoadContext& ctx) {
  const std::int32_t i = ctx.isub;
  Array1<std::int32_t>* pairs[kKinds] = {&gar_linearcondnodepairs, &gar_radiativecondnodepairs,
                                         &gar_fluidiccondnodepairs};
  const std::int32_t flagword[kKinds] = {flagw::NGL, flagw::NGR, flagw::NGF};
  for (int k = 0; k < kKinds; ++k) {
    const auto ks = static_cast<std::size_t>(k);
    std::int32_t n = 0;
    if (ctx.present(69 + k)) {
      if (const std::int32_t st = ilist(ctx, 69 + k, 0, 2LL * FLAGS(flagword[k]), pairs[k]->span(), n); st != 0)
        return st;
    }
    ctx.pairwords[ks] = n;
    // One pair per own conductor: the pair number is the conductor's number
    // within the submodel, so any other count would connect the wrong ones.
    const std::int64_t own = std::int64_t{dir(kKindRow[ks], i + 1)} - dir(kKindRow[ks], i) - ctx.nx[ks];
    if (n != 2 * own) return 1;
  }
  return 0;
}

std::int32_t LOADNA(LoadContext& ctx) {
  const std::int32_t i = ctx.isub;
  dir(18, i + 1) = dir(18, i);
  if (!ctx.present(107)) return 0;
  std::int32_t n = 0, m = 0, st = 0;
  if ((st = clist(ctx, 107, dir(18, i), FLAGS(40), 18, gar_nodealiasnames, n)) != 0) return st;
  if ((st = ilist(ctx, 108, dir(18, i), FLAGS(40), gar_nodealiasnumbers.span(), m)) != 0) return st;
  if (n != m) return 1;
  dir(18, i + 1) = dir(18, i) + n;
  return 0;
}

// ---- Fluid nodes and links ---------------------------------------------------

std::int32_t LOADEF(LoadContext& ctx) {
  const std::int32_t i = ctx.isub;
  const std::int32_t n0 = dir(16, i);
  dir(16, i + 1) = n0;
  if (!ctx.present(201)) return 0;
  const std::int32_t cap = FLAGS(flagw::NF);
  std::int32_t n = 0, st = 0;
  if ((st = ilist(ctx, 201, n0, cap, gar_fluidnodenums.span(), n)) != 0) return st;
  if (!ascending(slice(gar_fluidnodenums, n0, n))) return 1;
  const RealList reals[] = {{202, &gar_fluidnodeheattransferareas},
                            {203, &gar_fluidnodehydraulicdiameters},
                            {204, &gar_fluidnodelengths},
                            {205, &gar_fluidnodepressures},
                            {206, &gar_fluidnodespecenthalpies},
                            {207, &gar_fluidnodetemps},
                            {208, &gar_fluidnodewallroughnesses},
                            {209, &gar_fluidnodeheatsources},
                            {210, &gar_fluidnodemassflowsources},
                            {211, &gar_fluidnodemasssourcespecenthalpies},
                            {212, &gar_fluidnodemasssourcetemps},
                            {213, &gar_fluidnodecoordsx},
                            {214, &gar_fluidnodecoordsy},
                            {215, &gar_fluidnodecoordsz}};
  if ((st = read_real_group(ctx, reals, n0, cap, n)) != 0) return st;
  if ((st = read_char_group(ctx, 216, n0, cap, gar_fluidnodefluidtypes, n)) != 0) return st;
  if ((st = read_char_group(ctx, 217, n0, cap, gar_fluidnodelabels, n)) != 0) return st;
  if ((st = read_char_group(ctx, 218, n0, cap, gar_fluidnodestatuses, n)) != 0) return st;
  const auto number = [&](std::int64_t k) { return gar_fluidnodenums(n0 + k); };
  if ((st = check_texts(
           ctx, gar_fluidnodefluidtypes, n0, n, [](std::string_view t) { return FTYPEI(t) != 0; }, "fluid name",
           "fluid node", number)) != 0)
    return st;
  if ((st = check_texts(
           ctx, gar_fluidnodestatuses, n0, n, [](std::string_view t) { return known_letter(kFluidStatuses, t); },
           "status letter", "fluid node", number)) != 0)
    return st;
  dir(16, i + 1) = n0 + n;
  return 0;
}

std::int32_t LOADFF(LoadContext& ctx) {
  const std::int32_t i = ctx.isub;
  const std::int32_t n0 = dir(17, i);
  dir(17, i + 1) = n0;
  if (!ctx.present(219)) return 0;
  const std::int32_t nm = FLAGS(flagw::NM);
  std::int32_t w = 0, n = 0, st = 0;
  if ((st = ilist(ctx, 219, 2LL * n0, 2LL * nm, gar_massflowlinkcondnodepairs.span(), w)) != 0) return st;
  if (w % 2 != 0) return 1;
  const std::int32_t links = w / 2;
  if ((st = rlist(ctx, 220, n0, nm, gar_massflowlinkflowrates.span(), n)) != 0) return st;
  if (n != links) return 1;
  if ((st = skip(ctx, 221, 221)) != 0) return st;
  if (ctx.present(222)) {
    if ((st = rlist(ctx, 222, n0, nm, gar_massflowlinkfittinglosses.span(), n)) != 0) return st;
    if (n != links) return 1;
  }
  if (ctx.present(223)) {
    if ((st = clist(ctx, 223, n0, nm, 1, gar_massflowlinkstatuses, n)) != 0) return st;
    if (n != links) return 1;
    if ((st = check_letters(ctx, gar_massflowlinkstatuses, n0, n, kActivityLetters, "status letter", "link")) != 0)
      return st;
  }
  dir(17, i + 1) = n0 + links;
  return 0;
}

std::int32_t LOADGF(LoadContext& ctx) {
  const std::int32_t i = ctx.isub;
  ctx.quadwords = -1;
  if (!ctx.present(224)) return 0;
  const std::int64_t start = std::int64_t{dc(dcw::FLINKSTART)} + dc(dcw::FLINKUSED);
  const std::int32_t end = dc(dcw::WORKSTART);
  std::int32_t n = 0, st = 0;
  if ((st = ilist(ctx, 224, start - 1, end - 1, dcore(), n)) != 0) return st;
  if (n % 4 != 0) return 1;
  // The quadruples become five-word records in place.
  if (end < start + 5LL * (n / 4)) return 1;
  ctx.quadwords = n;
  const std::int32_t nm = FLAGS(flagw::NM);
  const std::int32_t at = dir(17, i + 1);
  if (ctx.present(225)) {
    if ((st = rlist(ctx, 225, at, nm, gar_massflowlinkflowrates.span(), n)) != 0) return st;
  }
  if ((st = skip(ctx, 226, 226)) != 0) return st;
  if (ctx.present(227)) {
    if ((st = rlist(ctx, 227, at, nm, gar_massflowlinkfittinglosses.span(), n)) != 0) return st;
  }
  if (ctx.present(228)) {
    if ((st = clist(ctx, 228, at, nm, 1, gar_massflowlinkstatuses, n)) != 0) return st;
    if ((st = check_letters(ctx, gar_massflowlinkstatuses, at, n, kActivityLetters, "status letter",
                            "inter-model link")) != 0)
      return st;
  }
  return 0;
}

std::int32_t LOADFN(LoadContext& ctx) {
  const std::int32_t i = ctx.isub;
  const std::int32_t n0 = dir(16, i);
  const std::int32_t nfs = dir(16, i + 1) - n0;
  const std::int32_t cap = FLAGS(flagw::NF);
  std::int32_t st = 0;
  if (nfs > 0) {
    if ((st = read_real_group(ctx, std::array<RealList, 1>{{{231, &gar_fluidnodevapourqualities}}}, n0, cap,
                              nfs)) != 0)
      return st;
    if ((st = read_char_group(ctx, 232, n0, cap, gar_fluidnodeflowregimes, nfs)) != 0) return st;
    const RealList reals[] = {{233, &gar_fluidnodeflowareas},
                              {234, &gar_fluidnodevolumes},
                              {235, &gar_fluidnoderelhumidities},
                              {236, &gar_fluidnodemasssourcespechumidities},
                              {237, &gar_fluidnodecompliances},
                              {238, &gar_fluidnodevolumechangerates}};
    if ((st = read_real_group(ctx, reals, n0, cap, nfs)) != 0) return st;
    if ((st = read_char_group(ctx, 239, n0, cap, gar_fluidnodestatedescriptors, nfs)) != 0) return st;
    if ((st = check_texts(ctx, gar_fluidnodestatedescriptors, n0, nfs, known_descriptor, "state descriptor",
                          "fluid node", [&](std::int64_t k) { return gar_fluidnodenums(n0 + k); })) != 0)
      return st;
  }
  return skip(ctx, 240, 244) == 0 ? 0 : 1;
}

// ---- The three parts of a block ---------------------------------------------

namespace {

using Step = std::int32_t (*)(LoadContext&);
struct SectionStep {
  Step run;
  std::string_view text;  // what a failure of the step reports
};

template <std::int32_t First, std::int32_t Last>
std::int32_t skip_lists(LoadContext& ctx) {
  return skip(ctx, First, Last);
}

std::int32_t ties_or_skip(LoadContext& ctx) {
  return ctx.isub == 1 ? read_tie_list(ctx) : skip(ctx, 35, 35);
}

std::int32_t run_steps(LoadContext& ctx, std::span<const SectionStep> steps) {
  for (const SectionStep& s : steps) {
    if (const std::int32_t st = s.run(ctx); st != 0) {
      // A step that found a bad value has said which one.
      ctx.section = ctx.section.empty() ? std::string(s.text) : std::string(s.text) + ": " + ctx.section;
      return st;
    }
  }
  return 0;
}

constexpr SectionStep kPart1[] = {
    {LOADE, "NODAL PROPERTIES"},
    {LOADF, "SIMPLE CONDUCTORS"},
    {LOADG, "INTER-MODEL COND VALUES"},
    {skip_lists<25, 25>, "SKIP LIST 25"},
    {LOADH, "INTER-MODEL COND FLAGS"},
    {skip_lists<29, 29>, "SKIP LIST 29"},
    {LOADI, "INTER-MODEL NODE PAIRS"},
    {skip_lists<33, 33>, "SKIP LIST 33"},
    {LOADJ, "GV NODE PAIRS"},
    {ties_or_skip, "SKIP LIST 35"},
    {skip_lists<36, 44>, "SKIP LISTS 36-44"},
};

constexpr SectionStep kPart2[] = {
    {LOADL, "USER CONSTANTS"},
    {LOADM, "ARRAYS"},
    {LOADP, "ID CARD INFO"},
    {skip_lists<67, 67>, "SKIP LIST 67"},
    {LOADQ, "CONTROL CONSTANTS"},
    {LOADEM, "LISTS 69-71"},
    {LOADEN, "ENTITIES QAI, QEI AND QSI"},
    {skip_lists<75, 95>, "SKIP LISTS 75-106"},
    {LoadThermalNodeCoordinates, "ENTITIES FX, FY & FZ"},
    {skip_lists<99, 106>, "SKIP LISTS 99-106"},
    {LOADNA, "NODE ALIASES"},
    {skip_lists<109, 200>, "SKIP LISTS 107-200"},
};

constexpr SectionStep kPart3[] = {
    {LOADEF, "FLUID NODE PROPS"},
    {LOADFF, "FLUID CONDUCTORS"},
    {LOADGF, "FLUID INTER-MODEL LINKS"},
    {skip_lists<229, 230>, "SKIP LISTS 229-230 FLUID"},
    {LOADFN, "NEW FLUID NODE ENTITIES"},
};

}  // namespace

std::int32_t LOADC1(LoadContext& ctx) { return run_steps(ctx, kPart1); }
std::int32_t LOADC2(LoadContext& ctx) { return run_steps(ctx, kPart2); }
std::int32_t LOADC3(LoadContext& ctx) { return run_steps(ctx, kPart3); }

}  // namespace kalvir::mdb
