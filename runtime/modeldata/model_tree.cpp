#include "runtime/modeldata/model_tree.h"

#include <algorithm>
#include <array>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/messages.h"
#include "runtime/modeldata/entity_text.h"
#include "runtime/modeldata/search_sort.h"

namespace kalvir {
namespace {

// Submodel of every internal node index; built on first use.
std::vector<std::int32_t> ndtomod;

bool rows_ok(const ModelDirectory& dir, std::int32_t nrows, std::int32_t row) {
  return row >= 1 && row <= nrows && row <= dir.rows();
}

std::int32_t level(const ModelDirectory& dir, std::int32_t m) { return dir(1, m); }
std::int32_t subtree(const ModelDirectory& dir, std::int32_t m) { return dir(2, m); }

std::int32_t total_nodes() { return gfl_getnumthermalnodes() + gfl_getnumfluidnodes(); }

void build_ndtomod() {
  const std::int32_t nnode = gfl_getnumthermalnodes();
  const std::int32_t nf = gfl_getnumfluidnodes();
  ndtomod.assign(static_cast<std::size_t>(std::max(0, nnode + nf)), 0);
  const std::int32_t nsub = usable_nsub(gar_modeldirectory, gfl_getnumsubmodels(), gar_modelnames);
  if (gar_modeldirectory.rows() < 16) return;
  auto mark = [&](std::int64_t first, std::int64_t last, std::int64_t lo, std::int64_t hi, std::int32_t m) {
    for (std::int64_t i = std::max(first, lo); i <= std::min(last, hi); ++i)
      ndtomod[static_cast<std::size_t>(i - 1)] = m;
  };
  for (std::int32_t m = 1; m <= nsub; ++m) {
    mark(gar_modeldirectory(3, m) + 1LL, gar_modeldirectory(3, m + 1), 1, nnode, m);
    mark(nnode + gar_modeldirectory(16, m) + 1LL, nnode + static_cast<std::int64_t>(gar_modeldirectory(16, m + 1)),
         nnode + 1LL, nnode + static_cast<std::int64_t>(nf), m);
  }
}

}  // namespace

std::int32_t usable_nsub(const ModelDirectory& dir, std::int32_t nsub, const ModelNames& names) {
  const std::int64_t cols = dir.cols() - 1;
  return static_cast<std::int32_t>(std::max<std::int64_t>(0, std::min({static_cast<std::int64_t>(nsub), cols, names.size()})));
}

std::int32_t subtree_end(const ModelDirectory& dir, std::int32_t m, std::int32_t nsub) {
  const std::int64_t last = static_cast<std::int64_t>(m) + subtree(dir, m) - 1;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(last, m, nsub));
}

void model_tree_reset_for_tests() { ndtomod.clear(); }

}  // namespace kalvir

using kalvir::ModelDirectory;
using kalvir::ModelNames;
using kalvir::PathComponent;
using kalvir::entity::cut;
using kalvir::entity::sub;

std::int32_t NODNUM(std::int32_t I) {
  const std::int32_t nnode = gfl_getnumthermalnodes();
  if (I >= 1 && I <= nnode && I <= gar_thermalnodenums.size()) return gar_thermalnodenums(I);
  if (I > nnode && I <= kalvir::total_nodes() && I - nnode <= gar_fluidnodenums.size())
    return gar_fluidnodenums(I - nnode);
  SETERX("Invalid node number - out of range", 2, 1, "NODNUM");
  return 0;
}

std::int32_t NDSSMD(std::int32_t I) {
  const std::int32_t n = kalvir::total_nodes();
  if (kalvir::ndtomod.size() != static_cast<std::size_t>(std::max(0, n))) kalvir::build_ndtomod();
  if (I < 1 || I > static_cast<std::int32_t>(kalvir::ndtomod.size())) return 0;
  return kalvir::ndtomod[static_cast<std::size_t>(I - 1)];
}

std::int32_t CDSSMD(std::int32_t N, std::int32_t ITYPE) {
  static constexpr std::array<std::int32_t, 5> kRowOfType{4, 6, 5, 7, 17};
  if (ITYPE < 1 || ITYPE > 5) {
    SETERX("Invalid conductor type for KALVIR neutral file", 4, 1, "CDSSMD");
    return 0;
  }
  const std::int32_t row = kRowOfType[static_cast<std::size_t>(ITYPE - 1)];
  const std::int32_t nsub = kalvir::usable_nsub(gar_modeldirectory, gfl_getnumsubmodels(), gar_modelnames);
  if (gar_modeldirectory.rows() < row) return 1;
  std::int32_t m = 1;
  while (m < nsub && N > gar_modeldirectory(row, m + 1)) ++m;
  return m;
}

void SUBMDE(std::int32_t N, std::int32_t IROW, std::int32_t& ISUB) {
  ISUB = 0;
  if (IROW < 3 || IROW > gar_modeldirectory.rows()) return;
  const std::int32_t nsub = kalvir::usable_nsub(gar_modeldirectory, gfl_getnumsubmodels(), gar_modelnames);
  for (std::int32_t m = 1; m <= nsub; ++m) {
    if (gar_modeldirectory(IROW, m) < N && N <= gar_modeldirectory(IROW, m + 1)) {
      ISUB = m;
      return;
    }
  }
}

void SCCNAM(const ModelDirectory& MODDIR, std::int32_t NROWS, const ModelNames& NAMES, std::int32_t ISUB,
            std::span<char> ANCESTORS, std::size_t ELEMLEN, std::int32_t& NANC, std::int32_t& IERR) {
  IERR = 0;
  NANC = 0;
  const bool have_rows = kalvir::rows_ok(MODDIR, NROWS, 2) && MODDIR.cols() >= 1;
  const std::int32_t nsub =
      have_rows ? kalvir::usable_nsub(MODDIR, MODDIR(2, 1), NAMES) : 0;
  if (ISUB < 1 || ISUB > nsub) {
    IERR = 2;
    SETERX("Invalid model number", 3, 1, "SCCNAM");
    return;
  }
  const std::int32_t lev = kalvir::level(MODDIR, ISUB);
  auto inconsistent = [&] {
    IERR = 3;
    SETERX("Error in Master model directory@Internal directory error, contact KALVIR support", 3, 2, "SCCNAM");
  };
  if (lev < 0 || lev >= ISUB) {  // a level of L needs L ancestors before it
    inconsistent();
    return;
  }
  NANC = lev + 1;
  if (ELEMLEN > 0 && ANCESTORS.size() / ELEMLEN < static_cast<std::size_t>(NANC)) {
    IERR = 4;
    return;
  }
  auto store = [&](std::int32_t slot, std::int32_t m) {
    if (ELEMLEN == 0) return;
    kalvir::assign_padded(ANCESTORS.subspan(static_cast<std::size_t>(slot - 1) * ELEMLEN, ELEMLEN),
                          kalvir::trim_right(NAMES(m)));
  };
  store(1, 1);
  std::int32_t sought = lev;
  std::int32_t slot = NANC;
  for (std::int32_t j = ISUB; j >= 2 && sought > 0; --j) {
    if (kalvir::level(MODDIR, j) == sought) {
      store(slot, j);
      --slot;
      --sought;
    }
  }
  if (sought != 0 || slot != 1) inconsistent();
}

void LSUBMD(std::string_view SCOPE, std::int32_t ISUB, std::int32_t& LEN, std::span<char> PATH,
            std::int32_t& IERR) {
  LEN = 0;
  auto fail = [&](std::int32_t code) {
    IERR = code;
    std::fill(PATH.begin(), PATH.end(), ' ');
    LEN = 1;
  };
  const std::int32_t nsub = std::max<std::int32_t>(1, gfl_getnumsubmodels());
  kalvir::CharArray<24> names(nsub);
  std::int32_t nanc = 0;
  std::int32_t ierr = 0;
  SCCNAM(gar_modeldirectory, 18, gar_modelnames, ISUB, names, nanc, ierr);
  if (ierr != 0) {
    fail(2);
    return;
  }
  IERR = 0;
  std::int32_t first = 1;
  std::int32_t last = nanc;
  const std::string_view scope = kalvir::trim_right(SCOPE);
  if (scope.empty() || scope == "ALL") {
  } else if (scope == "SUBMODEL") {
    first = nanc;
  } else if (scope == "ROOT") {
    last = std::max(1, nanc - 1);
  } else {
    fail(1);
    return;
  }
  const auto room = static_cast<std::int64_t>(PATH.size());
  for (std::int32_t k = first; k <= last; ++k) {
    const std::string_view name = kalvir::trim_right(names(k));
    const auto n = static_cast<std::int64_t>(name.size());
    if (LEN + n < room) {
      std::copy(name.begin(), name.end(), PATH.begin() + LEN);
      PATH[static_cast<std::size_t>(LEN + n)] = ':';
      LEN += static_cast<std::int32_t>(n + 1);
    } else {
      const std::int64_t fits = std::max<std::int64_t>(0, room - LEN);
      std::copy_n(name.begin(), fits, PATH.begin() + LEN);
      LEN = static_cast<std::int32_t>(room + 1);
      IERR = 3;
      break;
    }
  }
  LEN -= 1;
}

void GetParentModelNumber(std::int32_t ISUB, std::int32_t& IPARENT) {
  IPARENT = 0;
  const std::int32_t nsub = kalvir::usable_nsub(gar_modeldirectory, gfl_getnumsubmodels(), gar_modelnames);
  if (ISUB < 1 || ISUB > nsub) return;
  const std::int32_t lev = kalvir::level(gar_modeldirectory, ISUB);
  if (lev <= 1) {
    IPARENT = std::max(0, lev);
    return;
  }
  for (std::int32_t j = ISUB - 1; j >= 1; --j) {
    if (kalvir::level(gar_modeldirectory, j) == lev - 1) {
      IPARENT = j;
      return;
    }
  }
}

namespace {
// Path text of submodel isub for a user function; the failures come back as
// texts that name the function.
std::string path_text(std::string_view fname, std::int32_t isub, std::string_view attrib) {
  std::string buf(2500, ' ');
  std::int32_t len = 0;
  std::int32_t ierr = 0;
  LSUBMD(attrib, isub, len, buf, ierr);
  if (ierr == 0 || ierr == 3) return buf.substr(0, static_cast<std::size_t>(std::clamp(len, 0, 2500)));
  if (ierr == 1) return std::string(fname) + ": Invalid argument ATTRIB";
  return std::string(fname) + ": Unexpected error";
}
}  // namespace

std::string kalvir::submodel_path(std::int32_t isub) {
  // Checked first: the lookup would report a submodel that does not exist.
  if (isub >= 1 && isub <= usable_nsub(gar_modeldirectory, gfl_getnumsubmodels(), gar_modelnames)) {
    std::string buf(2500, ' ');
    std::int32_t len = 0;
    std::int32_t ierr = 0;
    LSUBMD("ALL", isub, len, buf, ierr);
    if ((ierr == 0 || ierr == 3) && len > 0) return buf.substr(0, static_cast<std::size_t>(std::min(len, 2500)));
  }
  return "submodel " + std::to_string(isub);
}

std::string SUBMOD(std::string_view ATTRIB) { return path_text("SUBMOD", GLOI.MODEL, ATTRIB); }

std::string SUBMDN(std::int32_t NODE, std::string_view ATTRIB) {
  if (NODE < 1 || NODE > kalvir::total_nodes()) return "SUBMDN: Invalid node number";
  return path_text("SUBMDN", NDSSMD(NODE), ATTRIB);
}

void LNDREF(std::int32_t I, std::int32_t& LEN, std::int32_t& NODE, std::span<char> PATH, std::int32_t& IERR) {
  const std::int32_t nnode = gfl_getnumthermalnodes();
  NODE = 0;
  LEN = 0;
  if (I < 1 || I > kalvir::total_nodes()) {
    IERR = 10;
    SETERX("LNDREF: Fatal internal routine error@Invalid internal node number - contact Central Support", 4, 10,
           "LNDREF");
    return;
  }
  if (I <= nnode) {
    if (I <= gar_thermalnodenums.size()) NODE = gar_thermalnodenums(I);
  } else if (I - nnode <= gar_fluidnodenums.size()) {
    NODE = gar_fluidnodenums(I - nnode);
  }
  std::string buf(256, ' ');
  LSUBMD("ALL", NDSSMD(I), LEN, buf, IERR);
  const std::size_t len = static_cast<std::size_t>(std::clamp(LEN, 0, 256));
  kalvir::assign_padded(PATH, std::string_view(buf).substr(0, len));
  // The caller reads PATH(1..LEN): never point beyond what it holds.
  LEN = static_cast<std::int32_t>(std::min(len, PATH.size()));
}

void SNMLVL(const ModelDirectory& MODDIR, std::int32_t NROWS, std::int32_t NSUB, const ModelNames& NAMES,
            std::int32_t LEVEL, std::int32_t START, std::string_view KEY, std::int32_t N, std::int32_t& FOUND,
            std::int32_t& IERR) {
  FOUND = 0;
  IERR = 0;
  if (NROWS < 1 || NSUB < 1 || !kalvir::rows_ok(MODDIR, NROWS, 1)) {
    IERR = -1;
    return;
  }
  const std::int32_t nsub = kalvir::usable_nsub(MODDIR, NSUB, NAMES);
  if (START < 1 || START > nsub || N < 0) {
    IERR = 1;
    return;
  }
  if (LEVEL < 0) {
    IERR = 2;
    return;
  }
  const std::int64_t last = std::min<std::int64_t>(static_cast<std::int64_t>(START) + N - 1, nsub);
  for (std::int64_t i = START; i <= last; ++i) {
    const auto m = static_cast<std::int32_t>(i);
    if (kalvir::level(MODDIR, m) == LEVEL && kalvir::same_trimmed(NAMES(m), KEY)) {
      FOUND = m;
      return;
    }
  }
}

void SNMLVX(const ModelDirectory& MODDIR, std::int32_t NROWS, std::int32_t NSUB, const ModelNames& NAMES,
            std::span<const PathComponent> COMPS, std::int32_t NCOMP, std::int32_t M, std::int32_t& J,
            std::int32_t& IERR) {
  J = 0;
  IERR = 0;
  if (NROWS <= 0 || NSUB <= 0 || !kalvir::rows_ok(MODDIR, NROWS, 2)) {
    IERR = -1;
    return;
  }
  const std::int32_t nsub = kalvir::usable_nsub(MODDIR, NSUB, NAMES);
  if (M < 1 || M > nsub) {
    IERR = 1;
    return;
  }
  if (NCOMP < 1 || static_cast<std::size_t>(NCOMP) > COMPS.size()) {
    IERR = 2;
    return;
  }
  std::int32_t s = M;
  for (std::int32_t k = 0; k < NCOMP; ++k) {
    const std::string key = kalvir::entity::upper(COMPS[static_cast<std::size_t>(k)].view());
    std::int32_t found = 0;
    if (s + 1 <= nsub) {
      std::int32_t ierr = 0;
      SNMLVL(MODDIR, NROWS, nsub, NAMES, kalvir::level(MODDIR, s) + 1, s + 1, key, kalvir::subtree(MODDIR, s) - 1,
             found, ierr);
    }
    if (found == 0) {
      J = 0;
      return;
    }
    J = s = found;
  }
}

void SNMINC(const ModelDirectory& MODDIR, std::int32_t NROWS, std::int32_t NSUB, const ModelNames& NAMES,
            std::span<const PathComponent> COMPS, std::int32_t NCOMP, std::int32_t ICUR, std::int32_t& NFOUND,
            std::span<std::int32_t> FOUND, std::int32_t& IERR) {
  NFOUND = 0;
  IERR = 0;
  if (NROWS <= 0 || NSUB <= 0 || !kalvir::rows_ok(MODDIR, NROWS, 2)) {
    IERR = -1;
    return;
  }
  if (NCOMP == 1 && !COMPS.empty() && COMPS[0] == "CURRENT") {
    NFOUND = 1;
    if (!FOUND.empty()) FOUND[0] = ICUR;
    return;
  }
  const std::int32_t nsub = kalvir::usable_nsub(MODDIR, NSUB, NAMES);
  if (ICUR < 1 || ICUR > nsub) {
    IERR = 1;
    return;
  }
  if (NCOMP < 1 || static_cast<std::size_t>(NCOMP) > COMPS.size()) {
    IERR = 2;
    return;
  }
  const std::string key = kalvir::entity::upper(COMPS[0].view());
  const std::int32_t last = kalvir::subtree_end(MODDIR, ICUR, nsub);
  for (std::int32_t m = ICUR + 1; m <= last; ++m) {
    if (!kalvir::same_trimmed(NAMES(m), key)) continue;
    std::int32_t j = m;
    if (NCOMP > 1) {
      std::int32_t ierr = 0;
      SNMLVX(MODDIR, NROWS, nsub, NAMES, COMPS.subspan(1), NCOMP - 1, m, j, ierr);
      if (ierr != 0) {
        IERR = 3;
        return;
      }
    }
    if (j <= 0) continue;
    if (kalvir::level(MODDIR, m) == kalvir::level(MODDIR, ICUR) + 1) {
      // A path through a direct child is taken at once, over any deeper match.
      NFOUND = 1;
      if (!FOUND.empty()) FOUND[0] = j;
      return;
    }
    if (static_cast<std::size_t>(NFOUND) < FOUND.size()) FOUND[static_cast<std::size_t>(NFOUND)] = j;
    ++NFOUND;
  }
}

void LSMINT(const ModelDirectory& MODDIR, std::int32_t NROWS, std::int32_t NSUB, std::int32_t REPORT,
            std::int32_t ICUR, const ModelNames& NAMES, std::string_view TEXT, std::int32_t IEND, std::int32_t& POS,
            std::int32_t& ISUB, std::int32_t& IERR) {
  IERR = 0;
  const std::int32_t start = POS;
  const auto tlen = static_cast<std::int32_t>(TEXT.size());
  std::vector<PathComponent> comps;
  std::int32_t pos = POS;
  auto report_path = [&](std::int32_t end) {
    if (REPORT != 0)
      SETERX(cut("Mistake in ZENT/ZLABEL, invalid or ambiguous submodel@" + std::string(sub(TEXT, start, end)), 256),
             3, 2, "LSMINT");
  };
  while (pos >= 1 && pos <= tlen && TEXT[static_cast<std::size_t>(pos - 1)] != '(') {
    const std::int32_t colon = kalvir::entity::find_from(TEXT, ':', pos);
    if (colon == 0) break;
    const std::int32_t n = colon - pos;
    if (n < 1 || n > 24) {
      IERR = 1;
      if (REPORT != 0)
        SETERX(cut("Mistake in ZENT/ZLABEL, syntax error at \":\"@" + std::string(sub(TEXT, pos, colon)), 256), 3,
               1, "LSMINT");
      return;
    }
    if (static_cast<std::int32_t>(comps.size()) == kalvir::kMaxPathComponents) {
      // Deeper than any path the resolver holds: refused, not cut.
      IERR = 2;
      report_path(colon - 1);
      return;
    }
    comps.emplace_back(sub(TEXT, pos, colon - 1));
    pos = colon + 1;
    POS = pos;
    if (pos > IEND) break;
  }
  if (comps.empty()) return;
  std::array<std::int32_t, kalvir::kMaxPathCandidates> found{};
  std::int32_t nfound = 0;
  std::int32_t ierr = 0;
  SNMINC(MODDIR, NROWS, NSUB, NAMES, comps, static_cast<std::int32_t>(comps.size()), ICUR, nfound, found, ierr);
  if (ierr == 0 && nfound == 1) {
    ISUB = found[0];
    return;
  }
  IERR = 2;
  report_path(POS - 2);
}

void LGTALI(std::int32_t ISUB, std::string_view ALIAS, std::int32_t& NODE, std::int32_t& IERR) {
  NODE = 0;
  IERR = 0;
  const std::int32_t nsub = kalvir::usable_nsub(gar_modeldirectory, gfl_getnumsubmodels(), gar_modelnames);
  if (ISUB < 1 || ISUB > nsub || gar_modeldirectory.rows() < 18) {
    IERR = 2;
    return;
  }
  const std::int64_t size = std::min(gar_nodealiasnames.size(), gar_nodealiasnumbers.size());
  const std::int64_t lo = std::max<std::int64_t>(1, gar_modeldirectory(18, ISUB) + 1LL);
  const std::int64_t hi = std::min<std::int64_t>(size, gar_modeldirectory(18, ISUB + 1));
  if (hi < lo) return;
  // First of a run of equal names in the sorted range.
  std::int64_t a = lo;
  std::int64_t b = hi + 1;
  while (a < b) {
    const std::int64_t mid = a + (b - a) / 2;
    if (kalvir::compare_padded(gar_nodealiasnames(mid), ALIAS) < 0)
      a = mid + 1;
    else
      b = mid;
  }
  if (a <= hi && kalvir::compare_padded(gar_nodealiasnames(a), ALIAS) == 0) NODE = gar_nodealiasnumbers(a);
}

bool kalvir::user_node_number(std::int32_t isub, std::string_view text, std::int32_t& number) {
  if (entity::parse_digits(text, number)) return true;
  std::int32_t ierr = 0;
  LGTALI(isub, text, number, ierr);
  return number != 0;
}
