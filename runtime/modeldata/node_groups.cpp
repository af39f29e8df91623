#include "runtime/modeldata/node_groups.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/messages.h"
#include "runtime/control/state_dump.h"
#include "runtime/modeldata/entity_text.h"
#include "runtime/modeldata/model_tree.h"

using kalvir::entity::cut;
using kalvir::entity::find_from;
using kalvir::entity::sub;

namespace kalvir {
namespace {

constexpr std::size_t kMaxZlabel = 512;
constexpr std::size_t kMaxItem = 40;
constexpr std::size_t kCacheSize = 100;

std::string_view node_label(std::int32_t i, std::int32_t nnode) {
  if (i >= 1 && i <= nnode && i <= gar_thermalnodelabels.size()) return gar_thermalnodelabels(i);
  if (i > nnode && i - nnode <= gar_fluidnodelabels.size()) return gar_fluidnodelabels(i - nnode);
  return {};
}

// Wording and length of the number-form messages of one reader.
struct Messages {
  std::string_view routine;
  std::size_t length;
  bool range_tail;  // the range messages end with ":" and the whole text
};

// Reads the '#' form in buf (blanks removed). Each group's submodel G is its
// path resolved relative to base, or base; enter(G) says whether its items
// are read; accept(G, low, high, path, element) receives every value (low =
// high) and range with the group's path text and its own text, and returns
// true to end the reading on a match.
template <class Enter, class Accept>
void read_number_form(std::string_view buf, std::int32_t base, const ModelDirectory& dir, std::int32_t nrows,
                      std::int32_t nsub, const ModelNames& names, std::int32_t report, std::string_view caller,
                      const Messages& msg, Enter enter, Accept accept, std::int32_t& ierr) {
  const auto len = static_cast<std::int32_t>(buf.size());
  const std::string who(trim_right(caller));
  auto fail = [&](std::int32_t code, const std::string& text, bool tail) {
    ierr = code;
    if (report == 0) return;
    std::string full = who + text;
    if (tail && msg.range_tail) full += ":" + std::string(buf);
    SETERX(cut(full, msg.length), 3, code, msg.routine);
  };
  bool matched = false;
  std::int32_t pos = 2;
  ierr = 0;
  while (pos <= len && !matched && ierr == 0) {
    const std::int32_t semi = find_from(buf, ';', pos);
    const std::int32_t e = semi != 0 ? semi - 1 : len;
    const std::int32_t colon = find_from(buf, ':', pos);
    const std::int32_t group_start = pos;
    std::int32_t g = base;
    if (colon != 0 && (semi == 0 || colon < semi)) {
      LSMINT(dir, nrows, nsub, report, base, names, sub(buf, 1, e), e, pos, g, ierr);
      if (ierr != 0) return;
    }
    const std::string_view path = sub(buf, group_start, pos - 1);
    if (!enter(g)) {
      pos = e + 2;
      continue;
    }
    bool open = false;
    std::int32_t low = 0;
    std::int32_t range_start = 0;
    do {
      std::int32_t d = 0;
      for (std::int32_t p = pos; p <= e && d == 0; ++p) {
        const char c = buf[static_cast<std::size_t>(p - 1)];
        if (c == ',' || c == '-') d = p;
      }
      const std::string_view item = sub(buf, pos, d != 0 ? d - 1 : e);
      const bool dash = d != 0 && buf[static_cast<std::size_t>(d - 1)] == '-';
      // An item is a user node number or an alias of the group's submodel; an
      // empty or over-long item is neither.
      std::int32_t value = 0;
      const bool known = item.size() <= kMaxItem && user_node_number(g, item, value);
      if (!known) {
        fail(1, ": Unrecognised sub-model / alias in ZLABEL@" + std::string(item.substr(0, kMaxItem)), false);
        break;
      }
      if (open && !dash) {
        if (value < low) {
          fail(2, ": Illegal range construct in ZLABEL@Second value less than first", true);
          break;
        }
        open = false;
        matched = accept(g, low, value, path, sub(buf, range_start, d != 0 ? d - 1 : e));
      } else if (!open && !dash) {
        matched = accept(g, value, value, path, item);
      } else if (!open) {
        open = true;
        low = value;
        range_start = pos;
      } else {
        fail(3, ": Illegal range construct in ZLABEL@Consecutive dashes as delimiters", true);
        break;
      }
      pos = d != 0 ? d + 1 : e + 1;
    } while (pos <= e && !matched && ierr == 0);
    if (open && ierr == 0 && !matched) fail(4, ": Illegal range construct in ZLABEL@No upper limit on range", true);
    pos = e + 2;
  }
}

// One cached node list with its keys. For lists that leave out 'X' nodes,
// which thermal candidates were 'X' when the list was made: a list is only
// served while that is still so.
struct CachedList {
  std::string zlabel;
  std::string kind;
  std::int32_t inact = 0;
  std::int32_t cnum = 0;
  std::int32_t smod = 0;
  std::vector<std::int32_t> nodes;
  std::int64_t first_thermal = 1;
  std::vector<bool> excluded;
};
std::vector<CachedList> cache;
// The state restores the cache has seen: a restore brings back status
// letters and node data that the lists were made from.
std::uint64_t cache_restores = 0;

bool is_x(std::int64_t i) { return i >= 1 && i <= gar_thermalnodestatuses.size() && gar_thermalnodestatuses(i)[0] == 'X'; }

bool still_valid(const CachedList& c) {
  for (std::size_t k = 0; k < c.excluded.size(); ++k)
    if (is_x(c.first_thermal + static_cast<std::int64_t>(k)) != c.excluded[k]) return false;
  return true;
}

std::string cname_of(std::int32_t cnum) {
  const std::int32_t m = std::abs(cnum);
  if (m < 1 || m > gar_modelnames.size()) return std::to_string(cnum);
  if (cnum < 0) return std::string(trim_right(gar_modelnames(m))) + ":ONLY";
  return std::string(gar_modelnames(m));
}

std::string called_with(std::string_view caller, std::string_view zlabel, std::int32_t cnum) {
  return std::string(trim_right(caller)) + " called with:<NL>" + "   ZLABEL = " + std::string(trim_right(zlabel)) +
         "<NL>" + "   CNAME = " + cname_of(cnum);
}

void report_no_room(std::int32_t cap, std::int32_t code, std::string_view caller, std::string_view zlabel,
                    std::int32_t cnum) {
  SETERX(cut("Insufficient space to store node list@" + std::string(kNodeListAction) + "@More than " +
                 std::to_string(cap) + " nodes found@" + called_with(caller, zlabel, cnum),
             1000),
         3, code, "Lschnd");
}

}  // namespace
}  // namespace kalvir

bool NDOFZL(std::int32_t REF, std::int32_t NSUB, std::int32_t NNODE, std::int32_t I, std::int32_t REPORT,
            std::string_view CALLER, std::string_view ZLABEL, std::int32_t& IERR) {
  IERR = 0;
  const std::int32_t nsub = kalvir::usable_nsub(gar_modeldirectory, NSUB, gar_modelnames);
  const std::int32_t nf = FLAGS(flagw::NF);
  bool in_scope;
  if (REF == 1 && nsub >= 1) {
    in_scope = true;
  } else if (REF >= 2 && REF <= nsub) {
    const std::int32_t s = NDSSMD(I);
    in_scope = s >= REF && s <= kalvir::subtree_end(gar_modeldirectory, REF, nsub);
  } else if (REF <= -1 && REF >= -nsub) {
    in_scope = NDSSMD(I) == -REF;
  } else {
    IERR = 1;
    if (REPORT != 0)
      SETERX(cut("Invalid submodel reference@Getting node list@@" + std::string(kalvir::trim_right(CALLER)) + " called",
                 100),
             3, 1, "NDOFZL");
    return false;
  }
  if (!in_scope || I < 1 || static_cast<std::int64_t>(I) > static_cast<std::int64_t>(NNODE) + nf) return false;
  if (kalvir::is_blank(ZLABEL)) return true;
  if (kalvir::entity::first_significant(ZLABEL) != '#')
    return kalvir::node_label(I, NNODE).find(ZLABEL) != std::string_view::npos;
  if (kalvir::trimmed_length(ZLABEL) > kalvir::kMaxZlabel) {
    IERR = 2;
    if (REPORT != 0)
      SETERX(cut(std::string(kalvir::trim_right(CALLER)) + ": ZLABEL too long@ ZLABEL must be less than 512 chars.", 100),
             3, 2, "NDOFZL");
    return false;
  }
  bool result = false;
  LKFNUM(std::abs(REF), gar_modeldirectory, 18, nsub, I, REPORT, CALLER, gar_modelnames, ZLABEL, result, IERR);
  return result;
}

void LKFNUM(std::int32_t REF, const kalvir::ModelDirectory& MODDIR, std::int32_t NROWS, std::int32_t NSUB,
            std::int32_t I, std::int32_t REPORT, std::string_view CALLER, const kalvir::ModelNames& NAMES,
            std::string_view ZLABEL, bool& RESULT, std::int32_t& IERR) {
  RESULT = false;
  IERR = 0;
  const std::string buf = kalvir::entity::remove_blanks(ZLABEL);
  const std::int32_t isubn = NDSSMD(I);
  if (isubn == 0) return;  // not a node: nothing selects it
  const std::int32_t noden = NODNUM(I);
  static constexpr kalvir::Messages kMsg{"LKFNUM", 100, false};
  kalvir::read_number_form(
      buf, REF, MODDIR, NROWS, NSUB, NAMES, REPORT, CALLER, kMsg, [&](std::int32_t g) { return g == isubn; },
      [&](std::int32_t, std::int32_t low, std::int32_t high, std::string_view, std::string_view) {
        RESULT = low <= noden && noden <= high;
        return RESULT;
      },
      IERR);
}

void Lschnd_clear_cache() { kalvir::cache.clear(); }

void Lschnd(std::int32_t CNUM, std::int32_t MAXN, std::string_view KIND, std::int32_t INACT, std::string_view CALLER,
            std::int32_t SMOD, std::string_view ZLABEL, std::int32_t& IERR, std::span<std::int32_t> LIST,
            std::int32_t& N) {
  IERR = 0;
  N = 0;
  const auto cap = static_cast<std::int32_t>(std::clamp<std::int64_t>(MAXN, 0, static_cast<std::int64_t>(LIST.size())));
  const std::int32_t nnode = FLAGS(flagw::NNODE);
  const std::int32_t nf = FLAGS(flagw::NF);
  auto fluid_code = [&](std::int32_t node) { return node > nnode ? 3 : 2; };

  if (kalvir::cache_restores != kalvir::state_restores()) {
    Lschnd_clear_cache();
    kalvir::cache_restores = kalvir::state_restores();
  }
  kalvir::CachedList* slot = nullptr;
  for (auto& c : kalvir::cache) {
    if (c.inact != INACT || c.cnum != CNUM || c.smod != SMOD || !kalvir::same_trimmed(c.kind, KIND) ||
        c.zlabel != ZLABEL)
      continue;
    if (!kalvir::still_valid(c)) {
      slot = &c;  // a status letter it depends on has changed: make it afresh
      break;
    }
    const auto n = static_cast<std::int32_t>(c.nodes.size());
    N = std::min(n, cap);
    std::copy_n(c.nodes.begin(), N, LIST.begin());
    if (n > cap) {
      IERR = 1;
      kalvir::report_no_room(cap, fluid_code(c.nodes[static_cast<std::size_t>(cap)]), CALLER, ZLABEL, CNUM);
    }
    return;
  }

  const std::int32_t nsub = kalvir::usable_nsub(gar_modeldirectory, FLAGS(flagw::NSUB), gar_modelnames);
  if (std::abs(SMOD) < 1 || std::abs(SMOD) > nsub || std::abs(CNUM) < 1 || std::abs(CNUM) > nsub ||
      gar_modeldirectory.rows() < 16) {
    IERR = 1;
    SETERX(cut("Invalid submodel reference@" + std::string(kalvir::kNodeListAction) + "@@" +
                   kalvir::called_with(CALLER, ZLABEL, CNUM),
               1000),
           3, 1, "Lschnd");
    return;
  }
  const std::int32_t first = std::abs(SMOD);
  const std::int32_t last = SMOD > 0 ? kalvir::subtree_end(gar_modeldirectory, SMOD, nsub) : first;
  const std::int64_t t1 = gar_modeldirectory(3, first) + 1LL;
  const std::int64_t t2 = std::min<std::int64_t>(gar_modeldirectory(3, last + 1), nnode);
  const std::int64_t f1 = gar_modeldirectory(16, first) + 1LL;
  const std::int64_t f2 = std::min<std::int64_t>(gar_modeldirectory(16, last + 1), nf);
  const bool thermal = kalvir::same_trimmed(KIND, "THERMAL") || kalvir::same_trimmed(KIND, "BOTH");
  const bool fluid = (kalvir::same_trimmed(KIND, "FLUID") || kalvir::same_trimmed(KIND, "BOTH")) && nf >= 1;

  kalvir::CachedList made{std::string(ZLABEL), std::string(KIND), INACT, CNUM, SMOD, {}, t1, {}};
  auto scan = [&](std::int64_t lo, std::int64_t hi, std::int64_t offset, bool test_status, std::int32_t code) {
    for (std::int64_t k = lo; k <= hi; ++k) {
      const auto i = static_cast<std::int32_t>(k + offset);
      if (test_status && INACT == 0 && kalvir::is_x(i)) continue;
      std::int32_t ierr = 0;
      if (NDOFZL(CNUM, nsub, nnode, i, 1, CALLER, ZLABEL, ierr)) {
        if (static_cast<std::int32_t>(made.nodes.size()) == cap) {
          IERR = 1;
          kalvir::report_no_room(cap, code, CALLER, ZLABEL, CNUM);
          return false;
        }
        made.nodes.push_back(i);
      }
      if (ierr != 0) {
        IERR = 1;
        return false;
      }
    }
    return true;
  };
  if (thermal) {
    if (INACT == 0)
      for (std::int64_t i = t1; i <= t2; ++i) made.excluded.push_back(kalvir::is_x(i));
    scan(t1, t2, 0, true, 2);
  }
  if (fluid && IERR == 0) scan(f1, f2, nnode, false, 3);

  N = static_cast<std::int32_t>(made.nodes.size());
  std::copy(made.nodes.begin(), made.nodes.end(), LIST.begin());
  if (IERR != 0) return;
  if (slot != nullptr)
    *slot = std::move(made);
  else if (kalvir::cache.size() < kalvir::kCacheSize)
    kalvir::cache.push_back(std::move(made));
}

void NDSOZL(std::string_view ZLABEL, std::int32_t ISUB, std::span<std::int32_t> LIST, std::int32_t MAXN,
            std::int32_t REPORT, std::int32_t& N, std::int32_t& IERR) {
  N = 0;
  IERR = 0;
  const std::int32_t nnode = FLAGS(flagw::NNODE);
  const std::int32_t nf = FLAGS(flagw::NF);
  const auto cap = static_cast<std::int32_t>(std::clamp<std::int64_t>(MAXN, 0, static_cast<std::int64_t>(LIST.size())));
  if (static_cast<std::int64_t>(cap) < static_cast<std::int64_t>(nnode) + nf) {
    IERR = 1;
    if (REPORT != 0) SETERX("Node list is too short for data@Contact central support", 3, 1, "NDSOZL");
    return;
  }
  const std::int32_t nsub = kalvir::usable_nsub(gar_modeldirectory, FLAGS(flagw::NSUB), gar_modelnames);
  if (ISUB == 0 || std::abs(ISUB) > nsub || gar_modeldirectory.rows() < 16) {
    IERR = 2;
    if (REPORT != 0) SETERX("Invalid model number@Contact central support", 3, 2, "NDSOZL");
    return;
  }
  if (!ZLABEL.empty() && ZLABEL[0] == '#') {
    LNDSZL(gar_fluidnodenums.span(), cap, std::abs(ISUB), gar_modeldirectory, 18, nsub, nnode,
           gar_thermalnodenums.span(), REPORT, "NDSOZL", gar_modelnames, ZLABEL, IERR, LIST, N);
    if (IERR != 0) N = 0;
    return;
  }
  const std::int32_t first = std::abs(ISUB);
  const std::int32_t last = ISUB > 0 ? kalvir::subtree_end(gar_modeldirectory, ISUB, nsub) : first;
  auto take = [&](std::int64_t lo, std::int64_t hi, std::int32_t offset) {
    for (std::int64_t k = std::max<std::int64_t>(lo, 1); k <= hi; ++k) {
      const auto i = static_cast<std::int32_t>(k + offset);
      if (ZLABEL.empty() || kalvir::node_label(i, nnode).find(ZLABEL) != std::string_view::npos)
        LIST[static_cast<std::size_t>(N++)] = i;
    }
  };
  take(gar_modeldirectory(3, first) + 1LL, std::min<std::int64_t>(gar_modeldirectory(3, last + 1), nnode), 0);
  take(gar_modeldirectory(16, first) + 1LL, std::min<std::int64_t>(gar_modeldirectory(16, last + 1), nf), nnode);
}

void LNDSZL(std::span<const std::int32_t> FNUMS, std::int32_t MAXN, std::int32_t ISUB,
            const kalvir::ModelDirectory& MODDIR, std::int32_t NROWS, std::int32_t NSUB, std::int32_t NNODE,
            std::span<const std::int32_t> TNUMS, std::int32_t REPORT, std::string_view CALLER,
            const kalvir::ModelNames& NAMES, std::string_view ZLABEL, std::int32_t& IERR, std::span<std::int32_t> LIST,
            std::int32_t& N) {
  IERR = 0;
  const std::string buf = kalvir::entity::remove_blanks(ZLABEL);
  const auto cap = static_cast<std::int32_t>(std::clamp<std::int64_t>(MAXN, 0, static_cast<std::int64_t>(LIST.size())));
  std::fill_n(LIST.begin(), cap, 0);
  const std::int32_t nsub = std::clamp<std::int32_t>(
      NSUB, 0, static_cast<std::int32_t>(std::min<std::int64_t>(MODDIR.cols() - 1, NAMES.size())));
  if (ISUB < 1 || ISUB > nsub || MODDIR.rows() < 16) {
    IERR = 2;
    if (REPORT != 0) SETERX("Invalid model number@Contact central support", 3, 2, "LNDSZL");
    return;
  }
  auto mark = [&](std::int64_t lo, std::int64_t hi, std::span<const std::int32_t> nums, std::int32_t offset,
                  std::int32_t low, std::int32_t high) {
    hi = std::min<std::int64_t>(hi, static_cast<std::int64_t>(nums.size()));
    for (std::int64_t j = std::max<std::int64_t>(lo, 1); j <= hi; ++j) {
      const std::int32_t v = nums[static_cast<std::size_t>(j - 1)];
      const std::int64_t at = j + offset;
      if (low <= v && v <= high && at <= cap) LIST[static_cast<std::size_t>(at - 1)] = static_cast<std::int32_t>(at);
    }
  };
  static constexpr kalvir::Messages kMsg{"LNDSZL", 300, true};
  kalvir::read_number_form(
      buf, ISUB, MODDIR, NROWS, nsub, NAMES, REPORT, CALLER, kMsg, [](std::int32_t) { return true; },
      [&](std::int32_t g, std::int32_t low, std::int32_t high, std::string_view, std::string_view) {
        mark(MODDIR(3, g) + 1LL, MODDIR(3, g + 1), TNUMS, 0, low, high);
        mark(MODDIR(16, g) + 1LL, MODDIR(16, g + 1), FNUMS, NNODE, low, high);
        return false;
      },
      IERR);
  if (IERR != 0) return;
  N = 0;
  for (std::int32_t k = 0; k < cap; ++k)
    if (LIST[static_cast<std::size_t>(k)] != 0) LIST[static_cast<std::size_t>(N++)] = LIST[static_cast<std::size_t>(k)];
}

std::vector<kalvir::NodeGroupElement> kalvir::node_group_elements(std::string_view zlabel, std::int32_t base) {
  std::vector<NodeGroupElement> elements;
  const std::string buf = entity::remove_blanks(zlabel);
  if (buf.empty() || buf.front() != '#') return elements;
  const std::int32_t nsub = usable_nsub(gar_modeldirectory, FLAGS(flagw::NSUB), gar_modelnames);
  if (base < 1 || base > nsub) return elements;
  static constexpr Messages kQuiet{"", 0, false};
  std::int32_t ierr = 0;
  read_number_form(
      buf, base, gar_modeldirectory, 18, nsub, gar_modelnames, 0, "", kQuiet, [](std::int32_t) { return true; },
      [&](std::int32_t g, std::int32_t low, std::int32_t high, std::string_view path, std::string_view element) {
        elements.push_back({g, low, high, std::string(path) + std::string(element)});
        return false;
      },
      ierr);
  if (ierr != 0) elements.clear();
  return elements;
}
