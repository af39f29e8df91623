#include "runtime/parameters/csv_conductors.h"

#include <algorithm>
#include <string>
#include <vector>

#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/modeldata/entity_values.h"
#include "runtime/modeldata/model_tree.h"
#include "runtime/modeldata/text_utils.h"
#include "runtime/parameters/case_values.h"
#include "runtime/parameters/csv_fields.h"
#include "runtime/parameters/node_changes.h"
#include "runtime/platform/fixed_string.h"

namespace kalvir::parameters {
namespace {

// The full path of submodel SUB ("MAIN:SUB1"); false when it cannot be found.
bool full_path(std::int32_t sub, std::string& path) {
  kalvir::Chars<256> text;
  std::int32_t len = 0, ierr = 0;
  LSUBMD("ALL", sub, len, text.span(), ierr);
  if (ierr != 0) return false;
  path.assign(text.data(), static_cast<std::size_t>(std::clamp(len, 0, 256)));
  return true;
}

std::string number(std::int32_t node) { return std::to_string(NODNUM(node)); }

// The node's full label (path, ":", number) without its first CUT characters.
std::string relative_label(std::int32_t node, std::size_t cut) {
  const std::string full = std::string(kalvir::trim_right(SUBMDN(node, "ALL"))) + ":" + number(node);
  return cut < full.size() ? full.substr(cut) : std::string();
}

std::string tail(std::int32_t parallel) {
  return parallel <= 1 ? std::string(")\"") : "," + std::to_string(parallel) + ")\"";
}

// Writes the label of each conductor as a walk takes it. A conductor that an
// earlier walk of the item labelled is passed over, and each one labelled is
// appended to TAKEN, so that TAKEN lists the item's columns in label order.
class Labeller {
 public:
  struct Names {
    std::string_view routine;  // for the messages
    std::int32_t write_code;   // the code of a failed write
    bool stop_on_failure;      // a failure ends the labels of the walk
  };
  Labeller(const ConductorKind& kind, std::string_view name, bool first_walked, std::int32_t first_sub,
           std::int32_t unit, Names names, std::vector<std::int32_t>& taken)
      : kind_(kind),
        name_(kalvir::trim_right(name)),
        first_walked_(first_walked),
        first_sub_(first_sub),
        unit_(unit),
        names_(names),
        taken_(taken) {}

  MatchList::Hook hook() {
    return [this](const Taken& t) { label(t); };
  }
  std::int32_t status() const { return status_; }
  std::int32_t written() const { return written_; }
  void set_written() { written_ = 1; }

 private:
  void label(const Taken& t) {
    if (std::find(taken_.begin(), taken_.end(), t.conductor) != taken_.end()) return;
    written_ = 1;
    if (stopped_) return;
    std::string text;
    if (kind_.gv ? !gv_label(t, text) : !walk_label(t, text)) return;
    std::int32_t io = 0;
    WRITEH(unit_, text, io);
    if (io != 0) {
      fail(names_.write_code, write_error(io, false), names_.stop_on_failure);
      return;
    }
    taken_.push_back(t.conductor);
  }

  bool walk_label(const Taken& t, std::string& text) {
    std::int32_t sub = 0;
    SUBMDE(t.conductor, kind_.row, sub);
    std::string path;
    if (!full_path(sub, path)) {
      fail(1, "Error interpreting Conductor submodel@Contact Central Support", true);
      return false;
    }
    std::string prefix(kalvir::trim_right(ENTNAM(kind_.code)));
    if (sub != 1) {
      const std::size_t colon = path.find(':');
      prefix += (colon == std::string::npos ? std::string() : path.substr(colon)) + ":";
    }
    // The ends in the order of the reference: GF walks its second list.
    const std::int32_t first = first_walked_ ? t.walked : t.other;
    const std::int32_t second = first_walked_ ? t.other : t.walked;
    text = ",\"" + prefix + "(" + relative_label(first, path.size() + 1) + "," +
           relative_label(second, path.size() + 1) + tail(t.parallel);
    return true;
  }

  bool gv_label(const Taken& t, std::string& text) {
    if (base_.empty() && !full_path(first_sub_, base_)) {
      fail(4, "Error interpreting Conductor submodel@Contact Central Support", true);
      return false;
    }
    const auto end = [&](std::int32_t node) {
      const std::string path(kalvir::trim_right(SUBMDN(node, "ALL")));
      const std::string part = path.size() > base_.size() + 1 ? path.substr(base_.size() + 1) : std::string();
      return part.empty() ? number(node) : part + ":" + number(node);
    };
    text = ",\"" + std::string(name_) + "(" + end(t.walked) + "," + end(t.other) + tail(t.parallel);
    return true;
  }

  void fail(std::int32_t code, std::string_view message, bool stop) {
    report(message, 300, 3, code, names_.routine);
    status_ = code;
    stopped_ = stopped_ || stop;
  }

  const ConductorKind& kind_;
  std::string_view name_;
  bool first_walked_;
  std::int32_t first_sub_;
  std::int32_t unit_;
  Names names_;
  std::vector<std::int32_t>& taken_;
  std::string base_;
  std::int32_t status_ = 0;
  std::int32_t written_ = 0;
  bool stopped_ = false;
};

// The match list's words behind the reference's node lists: empty when they
// do not fit.
std::span<std::int32_t> match_room(DynamicCoreMark& mark, const ConductorKind& kind) {
  return take_core(mark, 1 + match_capacity(kind));
}

// Runs WALK over conductors CFIRST..CLAST with LABELLER watching what it
// takes. The walk's own list only keeps it from taking a conductor twice.
template <class Walk>
void run_label_walk(Labeller& labeller, std::int32_t cfirst, std::int32_t clast, Walk walk) {
  std::vector<std::int32_t> room(static_cast<std::size_t>(std::max(clast - cfirst + 1, 0)));
  MatchList matches(room, labeller.hook());
  walk(matches);
}

}  // namespace
}  // namespace kalvir::parameters

namespace kp = kalvir::parameters;

void PRCWTR(std::span<const std::int32_t> MATCHES, std::int32_t N, std::span<const double> VALUES, std::int32_t UNIT,
            std::int32_t& IERR) {
  IERR = 0;
  for (std::int32_t k = 0; k < N && k < static_cast<std::int32_t>(MATCHES.size()); ++k) {
    const std::int32_t c = MATCHES[static_cast<std::size_t>(k)];
    if (c < 1 || c > static_cast<std::int32_t>(VALUES.size())) continue;
    std::int32_t status = 0;
    WRITEH(UNIT, kp::real_field(VALUES[static_cast<std::size_t>(c - 1)]), status);
    if (status != 0) {
      IERR = 1;
      kp::report(kp::write_error(status, true), 300, 3, 1, "PRCWTR");
      return;
    }
  }
}

void PRHGNP(std::span<const std::int32_t> W, std::span<const std::int32_t> O, std::int32_t SEQ, std::int32_t CFIRST,
            std::int32_t CLAST, std::int32_t ROWPAIR, std::int32_t /*ROW*/, std::string_view MNEMONIC,
            bool FIRSTWALKED, std::int32_t UNIT, std::int32_t& IERR, std::int32_t& WRITTEN,
            std::vector<std::int32_t>& TAKEN) {
  IERR = 0;
  WRITTEN = 0;
  std::int32_t code = 0, len = 0;
  kalvir::Chars<18> name;
  ENTFND(MNEMONIC, name.span(), code, len);
  const kp::ConductorKind* kind = kp::conductor_kind(code);
  if (kind == nullptr) return;
  kp::Labeller labeller(*kind, MNEMONIC, FIRSTWALKED, 1, UNIT, {"PRHGNP", 2, true}, TAKEN);
  kp::run_label_walk(labeller, CFIRST, CLAST,
                     [&](kp::MatchList& m) { PARGNP(W, O, SEQ, CFIRST, CLAST, ROWPAIR, m); });
  IERR = labeller.status();
  WRITTEN = labeller.written();
}

void PRHGFP(std::span<const std::int32_t> W, std::span<const std::int32_t> O, std::int32_t SEQ, std::int32_t CFIRST,
            std::int32_t CLAST, std::int32_t KIND, std::int32_t ROW, std::string_view MNEMONIC, bool FIRSTWALKED,
            std::int32_t UNIT, std::int32_t& IERR, std::int32_t& WRITTEN, std::vector<std::int32_t>& TAKEN) {
  IERR = 0;
  WRITTEN = 0;
  std::int32_t code = 0, len = 0;
  kalvir::Chars<18> name;
  ENTFND(MNEMONIC, name.span(), code, len);
  const kp::ConductorKind* kind = kp::conductor_kind(code);
  if (kind == nullptr) return;
  kp::Labeller labeller(*kind, MNEMONIC, FIRSTWALKED, 1, UNIT, {"PRHGFP", 2, true}, TAKEN);
  kp::run_label_walk(labeller, CFIRST, CLAST,
                     [&](kp::MatchList& m) { PARGFP(W, O, SEQ, CFIRST, CLAST, KIND, ROW, m); });
  IERR = labeller.status();
  WRITTEN = labeller.written();
}

void PRHGGV(std::span<const std::int32_t> V1, std::span<const std::int32_t> V2, std::int32_t SEQ, std::int32_t CFIRST,
            std::int32_t CLAST, std::int32_t FIRSTSUB, std::string_view NAME, std::int32_t UNIT, std::int32_t& IERR,
            std::int32_t& WRITTEN, std::vector<std::int32_t>& TAKEN) {
  constexpr std::int32_t kGv = 45;
  IERR = 0;
  WRITTEN = 0;
  // A failed write is reported and the walk goes on with the next label.
  kp::Labeller labeller(*kp::conductor_kind(kGv), NAME, true, FIRSTSUB, UNIT, {"PRHGGV", SEQ > 0 ? 2 : 1, false},
                        TAKEN);
  bool found = false;
  std::int32_t search = 0;
  kp::run_label_walk(labeller, CFIRST, CLAST, [&](kp::MatchList& m) {
    search = kp::gv_walk(V1, V2, SEQ, CFIRST, CLAST, m, "PRHGGV", 3, &found);
  });
  // A pair that exists counts as labelled even when the wanted sequence
  // number does not: the item is then no failure of the header.
  if (found) labeller.set_written();
  IERR = search != 0 ? search : labeller.status();
  WRITTEN = labeller.written();
}

void kp::conductor_labels(std::int32_t CODE, std::string_view REF, std::string_view NAME, std::int32_t ISUB,
                          std::int32_t UNIT, std::int32_t& IERR, std::vector<std::int32_t>& TAKEN) {
  IERR = 0;
  TAKEN.clear();
  DynamicCoreMark mark;
  const std::string_view ref = kalvir::trim_right(REF);
  const std::size_t paren = ref.find('(');
  const std::string item = std::string(NAME) + std::string(paren == std::string_view::npos ? ref : ref.substr(paren));
  std::int32_t written = 0;
  const kp::ConductorKind* kind = kp::conductor_kind(CODE);
  if (kind == nullptr) {
    IERR = 1;
    kp::report("Invalid entity type - not a conductor", 300, 3, 1, "PRHCND");
  } else {
    kp::ConductorReference r;
    PARCNP(REF, ISUB, mark, r, IERR);
    if (IERR == 0) {
      const auto row = [&](std::int32_t col) { return gar_modeldirectory(kind->row, col); };
      const std::int32_t cfirst = row(r.first_sub) + 1;
      const std::int32_t clast = row(r.last_sub + 1);
      const std::string mnemonic(kalvir::trim_right(ENTNAM(CODE)));
      std::int32_t w = 0;
      if (kind->gv) {
        // The GV pairs are sorted within each submodel only: search each one.
        bool searched = false;
        for (std::int32_t s = r.first_sub; s <= r.last_sub; ++s) {
          if (row(s + 1) <= row(s)) continue;
          PRHGGV(r.first, r.second, r.sequence, row(s) + 1, row(s + 1), r.first_sub, NAME, UNIT, IERR, w, TAKEN);
          written = std::max(written, w);
          searched = true;
        }
        if (!searched) {
          PRHGGV(r.first, r.second, r.sequence, cfirst, clast, r.first_sub, NAME, UNIT, IERR, w, TAKEN);
          written = std::max(written, w);
        }
      } else {
        const bool first_walked = !kind->walks_second;
        const std::span<const std::int32_t> walked = first_walked ? r.first : r.second;
        const std::span<const std::int32_t> other = first_walked ? r.second : r.first;
        if (kind->record_rows != 0) {
          PRHGNP(walked, other, r.sequence, cfirst, clast, kind->record_rows, kind->row, mnemonic, first_walked, UNIT,
                 IERR, w, TAKEN);
          written = std::max(written, w);
        }
        // A failure of the thermal walk has been reported; the status is the
        // fluid walk's, which starts from 0.
        if (kind->packed_kind != 0) {
          PRHGFP(walked, other, r.sequence, cfirst, clast, kind->packed_kind, kind->row, mnemonic, first_walked, UNIT,
                 IERR, w, TAKEN);
          written = std::max(written, w);
        }
      }
    }
  }
  if (written == 0) {
    IERR = 2;
    kp::report("No matching conductors found@" + item, 300, 3, 2, "PRHCND");
  }
}

void PRHCND(std::int32_t CODE, std::string_view REF, std::string_view NAME, std::int32_t ISUB, std::int32_t UNIT,
            std::int32_t& IERR) {
  std::vector<std::int32_t> taken;
  kp::conductor_labels(CODE, REF, NAME, ISUB, UNIT, IERR, taken);
}

void kp::conductor_fields(std::int32_t CODE, std::span<const std::int32_t> CONDUCTORS, std::string_view ITEM,
                          std::int32_t UNIT, std::int32_t& IERR) {
  IERR = 0;
  const kp::ConductorKind* kind = kp::conductor_kind(CODE);
  if (kind == nullptr) {
    IERR = 1;
    kp::report("Invalid entity type - not a conductor@" + std::string(kalvir::trim_right(ITEM)), 300, 3, 1, "PRCCND");
    return;
  }
  PRCWTR(CONDUCTORS, static_cast<std::int32_t>(CONDUCTORS.size()), kind->values->span(), UNIT, IERR);
  if (IERR == 0 && CONDUCTORS.empty()) {
    IERR = 3;
    kp::report("No matching conductors found@" + std::string(kalvir::trim_right(ITEM)), 300, 3, 3, "PRCCND");
  }
}

void PRCCND(std::int32_t CODE, std::string_view REF, std::string_view ITEM, std::int32_t ISUB, std::int32_t UNIT,
            std::int32_t& IERR) {
  IERR = 0;
  DynamicCoreMark mark;
  const std::string item(kalvir::trim_right(ITEM));
  const kp::ConductorKind* kind = kp::conductor_kind(CODE);
  if (kind == nullptr) {
    IERR = 1;
    kp::report("Invalid entity type - not a conductor@" + item, 300, 3, 1, "PRCCND");
    return;
  }
  kp::ConductorReference r;
  PARCNP(REF, ISUB, mark, r, IERR);
  if (IERR != 0) return;
  const std::int32_t first = FLAGS(flagw::NEXTINT);
  const std::span<std::int32_t> room = kp::match_room(mark, *kind);
  if (room.empty()) {
    IERR = 2;
    const std::int64_t missing = std::int64_t{first} + kp::match_capacity(*kind) - FLAGS(flagw::DYSTOR);
    kp::report("Insufficient dynamic core@Increase DYSTOR - another " + kalvir::int_field(missing, 9) +
                   "locations required",
               300, 3, 2, "PRCCND");
    return;
  }
  kp::MatchList matches(room.subspan(1));
  std::int32_t st = 0;
  kp::collect_matches(*kind, r, matches, st);
  kp::conductor_fields(CODE, matches.items(), ITEM, UNIT, IERR);
}
