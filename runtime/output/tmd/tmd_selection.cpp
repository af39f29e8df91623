#include "runtime/output/tmd/tmd_selection.h"

#include <algorithm>
#include <string>
#include <vector>

#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/gcc_accessors.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/messages.h"
#include "runtime/control/shared_blocks.h"
#include "runtime/modeldata/entity_values.h"
#include "runtime/modeldata/node_groups.h"
#include "runtime/modeldata/text_utils.h"

TmvThermalModelVariables& tmv_module() {
  // Never destroyed: nothing at process exit may touch it after the HDF5
  // library has shut down.
  static auto* state = new TmvThermalModelVariables;
  return *state;
}

namespace kalvir::tmd {

RunInfo gather_run_info() {
  RunInfo r;
  r.jobdate = JOBINF.date.view();
  r.jobname = JOBINF.model.view();
  r.jobtime = JOBINF.time.view();
  r.nmassflowlinks = FLAGS(flagw::NM);
  r.nlinear = FLAGS(flagw::NGL);
  r.nfluidic = FLAGS(flagw::NGF);
  r.nradiative = FLAGS(flagw::NGR);
  r.nvfac = FLAGS(flagw::NGV);
  r.nsubmodels = FLAGS(flagw::NSUB);
  r.nfluidnodes = FLAGS(flagw::NF);
  r.nthermalnodes = FLAGS(flagw::NNODE);
  r.attributenames = &SPRNOD;
  for (int k = 1; k <= 5; ++k) r.sprsiz[static_cast<std::size_t>(k - 1)] = SPRSIZ(k);
  r.timen = gcc_gettimen();
  return r;
}

bool same_selection(const TmvThermalModelVariables& a, const TmvThermalModelVariables& b) {
  if (a.wantnodesflag != b.wantnodesflag || a.wantconductorsflag != b.wantconductorsflag ||
      a.wantconstantsflag != b.wantconstantsflag) {
    return false;
  }
  if (a.wantnodesflag != 0 || a.wantconductorsflag != 0) {
    if (!std::ranges::equal(a.selected(), b.selected())) return false;
  }
  if (a.wantnodesflag != 0 && !std::ranges::equal(a.nodeattributeflags.span(), b.nodeattributeflags.span())) {
    return false;
  }
  if (a.wantconductorsflag != 0 && a.conductortypeflags != b.conductortypeflags) return false;
  if (a.wantconstantsflag != 0 &&
      (a.tmv_selectedsubmodelfirstid != b.tmv_selectedsubmodelfirstid ||
       a.tmv_selectedsubmodellastid != b.tmv_selectedsubmodellastid)) {
    return false;
  }
  return true;
}

namespace {

constexpr std::string_view kParserRoutine = "ParseGffEntityList";
constexpr std::size_t kMessageField = 300;
constexpr std::size_t kBlockNameLength = 20;
constexpr std::size_t kItemListLength = 100;
constexpr std::size_t kItemLength = 10;
constexpr std::size_t kCaretField = 80;

constexpr std::array<std::string_view, kConductorKinds> kConductorKindNames{"GL", "GR", "GF", "GV", "M", "GP"};

std::string_view strip_leading(std::string_view s) noexcept {
  const std::size_t p = s.find_first_not_of(" \t");
  return p == std::string_view::npos ? std::string_view{} : s.substr(p);
}

// The message texts quote the whole entity string; a parameter case's string
// is blank-padded to 256 characters, which would overflow the message field.
// Such a text is composed again without the string's trailing blanks and
// only then cut to the field.
template <class Compose>
void report(std::int32_t code, std::string_view entities, Compose compose) {
  std::string text = compose(entities);
  if (text.size() > kMessageField) text = compose(trim_right(entities));
  if (text.size() > kMessageField) text.resize(kMessageField);
  SETERX(text, 3, code, kParserRoutine);
}

std::string blanks_then_caret(std::size_t count) {
  return std::string(std::min(count, kCaretField), ' ') + "^";
}

struct ParseTarget {
  const Array2<Chars<18>>& names;
  std::int32_t nreal, nint, nchar;
  std::span<std::int32_t> entflags;
  std::span<std::int32_t, 6> condflags;

  void set_entity(std::int64_t k) const {
    if (k >= 1 && k <= static_cast<std::int64_t>(entflags.size())) entflags[static_cast<std::size_t>(k - 1)] = 1;
  }
  std::string_view attribute_name(std::int32_t index, int group) const {
    if (index < 1 || index > names.rows() || group > names.cols()) return {};
    return names(index, group).view();
  }
};

// Compares one NODES item with the nodal mnemonics, then with the real,
// integer and character attribute names. Items are compared whole: an item
// longer than the 10 characters an entity name may have matches nothing,
// rather than its first 10 characters matching a shorter name.
bool select_node_item(const ParseTarget& t, std::string_view item) {
  if (item.size() > kItemLength) return false;
  for (std::int32_t code = 1; code <= kNodalFlags; ++code) {
    if (same_trimmed(ENTNAM(code), item)) {
      t.set_entity(code);
      return true;
    }
  }
  bool found = false;
  const std::int32_t counts[3] = {t.nreal, t.nint, t.nchar};
  std::int64_t base = kNodalFlags;
  for (int group = 1; group <= 3; ++group) {
    const std::int32_t n = counts[group - 1];
    for (std::int32_t k = 1; k <= n; ++k) {
      if (same_trimmed(t.attribute_name(k, group), item)) {
        t.set_entity(base + k);
        found = true;
        break;
      }
    }
    base += std::max(n, 0);
  }
  return found;
}

// Calls f for every item of a bracketed list. The list is a field of 100
// characters, so a comma before its end is followed by one more (possibly
// empty) item.
template <class F>
void for_each_item(std::string_view raw, F f) {
  const std::string list = padded(raw.substr(0, std::min(raw.size(), kItemListLength)), kItemListLength);
  std::size_t p = 0;
  while (true) {
    const std::size_t comma = list.find(',', p);
    const std::size_t end = comma == std::string::npos ? list.size() : comma;
    f(trim_right(strip_leading(std::string_view(list).substr(p, end - p))));
    if (comma == std::string::npos) break;
    p = comma + 1;
    if (p >= list.size()) break;
  }
}

}  // namespace
}  // namespace kalvir::tmd

void GffParseEntityList(std::string_view ENTITIES, std::string_view CALLER,
                        const kalvir::Array2<kalvir::Chars<18>>& ATTRNAMES, std::int32_t /*LDIM*/,
                        std::int32_t /*NGROUPS*/, std::int32_t NCHAR, std::int32_t NINT, std::int32_t NREAL,
                        std::int32_t& NODESFLAG, std::int32_t& CONDUCTORSFLAG, std::int32_t& CONSTANTSFLAG,
                        std::span<std::int32_t> ENTFLAGS, std::span<std::int32_t, 6> CONDFLAGS) {
  using namespace kalvir::tmd;
  using kalvir::trim_right;
  const std::string_view s = ENTITIES;
  const std::string caller(trim_right(CALLER));
  const ParseTarget target{ATTRNAMES, NREAL, NINT, NCHAR, ENTFLAGS, CONDFLAGS};

  NODESFLAG = 0;
  CONDUCTORSFLAG = 0;
  CONSTANTSFLAG = 0;
  if (kalvir::is_blank(s)) {
    NODESFLAG = CONDUCTORSFLAG = CONSTANTSFLAG = 1;
    std::ranges::fill(ENTFLAGS, 1);
    std::ranges::fill(CONDFLAGS, 1);
    return;
  }

  auto invalid_block = [&](std::string_view name) {
    report(5, s, [&](std::string_view) {
      return "Invalid block name@Parsing GFF entity string@Found \"" + std::string(trim_right(name)) + "\"@" +
             caller + " called";
    });
  };
  // Both item messages quote the item as its 10-character field holds it.
  auto invalid_item = [&](std::int32_t code, std::string_view problem, std::string_view item) {
    const std::string_view field = trim_right(item.substr(0, std::min(item.size(), kItemLength)));
    report(code, s, [&](std::string_view str) {
      return std::string(problem) + "@Parsing GFF entity string@'" + std::string(field) + "' found in<NL>'" +
             std::string(str) + "'@" + caller + " called";
    });
  };

  std::size_t start = 0;
  do {
    const std::size_t delim = s.find_first_of(",(", start);
    const std::size_t name_end = delim == std::string_view::npos ? s.size() : delim;
    std::string_view name = strip_leading(s.substr(start, name_end - start));
    name = name.substr(0, std::min(name.size(), kBlockNameLength));
    const std::string_view block = trim_right(name);
    std::size_t next = s.size();

    if (delim != std::string_view::npos && s[delim] == '(') {
      const std::size_t close = s.find(')', delim + 1);
      std::string_view list;
      if (close == std::string_view::npos) {
        report(2, s, [&](std::string_view str) {
          return "Close-bracket missing@Parsing GFF entity string@'" + std::string(str) + "'<NL>" +
                 blanks_then_caret(delim + 1) + "@" + caller + " called";
        });
        list = s.substr(delim + 1);
      } else {
        list = s.substr(delim + 1, close - delim - 1);
        const std::size_t comma = s.find(',', close + 1);
        const std::size_t tail_end = comma == std::string_view::npos ? s.size() : comma;
        if (!kalvir::is_blank(s.substr(close + 1, tail_end - close - 1))) {
          report(1, s, [&](std::string_view str) {
            return "Comma missing after close-bracket@Parsing GFF entity string@'" + std::string(str) + "'<NL>" +
                   blanks_then_caret(close + 2) + "@" + caller + " called";
          });
        }
        next = comma == std::string_view::npos ? s.size() : comma + 1;
      }

      if (block == "NODES") {
        NODESFLAG = 1;
        std::ranges::fill(ENTFLAGS, 0);
        for_each_item(list, [&](std::string_view item) {
          if (!select_node_item(target, item)) invalid_item(3, "Entity name invalid", item);
        });
      } else if (block == "CONDUCTORS") {
        CONDUCTORSFLAG = 1;
        std::ranges::fill(CONDFLAGS, 0);
        for_each_item(list, [&](std::string_view item) {
          const auto it = std::ranges::find(kConductorKindNames, item);
          if (it == kConductorKindNames.end()) {
            invalid_item(4, "Invalid conductor type", item);
          } else {
            CONDFLAGS[static_cast<std::size_t>(it - kConductorKindNames.begin())] = 1;
          }
        });
      } else if (block == "CONSTANTS") {
        CONSTANTSFLAG = 1;
      } else {
        invalid_block(name);
      }
    } else {
      if (delim != std::string_view::npos) next = delim + 1;
      if (block == "NODES") {
        NODESFLAG = 1;
        std::ranges::fill(ENTFLAGS, 1);
      } else if (block == "CONDUCTORS") {
        CONDUCTORSFLAG = 1;
        std::ranges::fill(CONDFLAGS, 1);
      } else if (block == "CONSTANTS") {
        CONSTANTSFLAG = 1;
      } else {
        invalid_block(name);
      }
    }
    start = next;
  } while (start < s.size());
}

void tmvvariablesupdate(const kalvir::tmd::RunInfo& RUN, std::int32_t SUBREF,
                        const kalvir::tmd::ConductorKindFlags& CONDFLAGS, std::string_view DESCRIPTION,
                        std::int32_t FILEINDEX, std::string_view ROUTINE, std::span<const std::int32_t> ENTFLAGS,
                        std::int32_t WANTCONDUCTORS, std::int32_t WANTCONSTANTS, std::int32_t WANTNODES,
                        std::string_view NODEGROUPSPEC) {
  TmvThermalModelVariables& m = tmv_module();
  m.submodelreference = SUBREF;
  m.conductortypeflags = CONDFLAGS;
  m.description = DESCRIPTION;
  m.fileindex = FILEINDEX;
  m.mainroutine = ROUTINE;
  m.thejobdate = RUN.jobdate.view();
  m.thejobname = RUN.jobname.view();
  m.thejobtime = RUN.jobtime.view();
  m.numberofm_gps = RUN.nmassflowlinks;
  m.numberofgfs = RUN.nfluidic;
  m.numberofgls = RUN.nlinear;
  m.numberofgrs = RUN.nradiative;
  m.numberofgvs = RUN.nvfac;
  m.numberofsubmodels = RUN.nsubmodels;
  m.numberoffluidnodes = RUN.nfluidnodes;
  m.numberofthermalnodes = RUN.nthermalnodes;
  m.currenttime = RUN.timen;
  m.numuserstringattributes = RUN.nchar();
  m.numuserintegerattributes = RUN.nint();
  m.numuserrealattributes = RUN.nreal();
  m.wantconductorsflag = WANTCONDUCTORS;
  m.wantconstantsflag = WANTCONSTANTS;
  m.wantnodesflag = WANTNODES;
  m.nodegroupspec = NODEGROUPSPEC;

  const std::int64_t nflags = kalvir::tmd::kNodalFlags + std::max(RUN.nreal(), 0) + std::max(RUN.nint(), 0) +
                              std::max(RUN.nchar(), 0);
  m.nodeattributeflags.allocate(nflags);
  for (std::int64_t k = 1; k <= nflags && k <= static_cast<std::int64_t>(ENTFLAGS.size()); ++k) {
    m.nodeattributeflags(k) = ENTFLAGS[static_cast<std::size_t>(k - 1)];
  }

  const std::int64_t ldim = std::max(RUN.sprsiz[0], 0);
  const std::int64_t ngroups = std::max(RUN.sprsiz[1], 0);
  m.userattributenames.allocate(ldim, ngroups);
  if (RUN.attributenames != nullptr) {
    const auto& names = *RUN.attributenames;
    for (std::int64_t g = 1; g <= ngroups && g <= names.cols(); ++g) {
      for (std::int64_t k = 1; k <= ldim && k <= names.rows(); ++k) m.userattributenames(k, g) = names(k, g).view();
    }
  }

  const std::int32_t nall = std::max(RUN.nthermalnodes, 0) + std::max(RUN.nfluidnodes, 0);
  m.selectednodes.allocate(nall);
  m.numselectednodes = 0;
  if (WANTNODES != 0 || WANTCONDUCTORS != 0) {
    // Lschnd reports its own failures; the list is then empty or partial.
    std::int32_t ierr = 0;
    std::int32_t nsel = 0;
    Lschnd(SUBREF, nall, "BOTH", 1, m.mainroutine.view(), SUBREF, m.nodegroupspec.view(),
           ierr, m.selectednodes.span(), nsel);
    m.numselectednodes = std::clamp(nsel, 0, nall);
  }

  m.tmv_selectedsubmodelfirstid = 0;
  m.tmv_selectedsubmodellastid = 0;
  m.tmv_numselecteduserconstantsreal = 0;
  m.tmv_numselecteduserconstantsint = 0;
  m.tmv_numselecteduserconstantschar = 0;
  if (WANTCONSTANTS != 0) {
    const std::int32_t nsub = std::min<std::int64_t>(RUN.nsubmodels, gar_modeldirectory.cols() - 1);
    const std::int32_t first = SUBREF < 0 ? -SUBREF : SUBREF;
    std::int32_t last = first;
    const bool valid_first = first >= 1 && first <= nsub && gar_modeldirectory.rows() >= 10;
    if (valid_first && SUBREF > 0) last = first + gar_modeldirectory(2, first) - 1;
    if (!valid_first || last < first || last > nsub) {
      // The model directory has no column for such a reference: nothing of
      // it may be read. Control constants are still recorded.
      SETERX("Invalid submodel reference@Selecting user constants for TMD output@Submodel reference " +
                 IToC(SUBREF) + " is not a submodel of the model@" + std::string(m.mainroutine.trimmed()) +
                 " called",
             3, 1, "tmvvariablesupdate");
      return;
    }
    m.tmv_selectedsubmodelfirstid = first;
    m.tmv_selectedsubmodellastid = last;
    auto count = [&](int row) {
      return std::max(gar_modeldirectory(row, last + 1) - gar_modeldirectory(row, first), 0);
    };
    m.tmv_numselecteduserconstantsreal = count(8);
    m.tmv_numselecteduserconstantsint = count(9);
    m.tmv_numselecteduserconstantschar = count(10);
  }
}
