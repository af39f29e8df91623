#include "runtime/parameters/csv_conductors.h"

#include <algorithm>
#include <string>

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

// Writes the label of each conductor as the walks take it.
class Labeller {
 public:
  Labeller(const ConductorKind& kind, std::string_view name, std::int32_t first_sub, std::int32_t unit)
      : kind_(kind), name_(kalvir::trim_right(name)), first_sub_(first_sub), unit_(unit) {}

  MatchList::Hook hook() {
    return [this](const Taken& t) { label(t); };
  }
  std::int32_t status() const { return status_; }
  std::int32_t written() const { return written_; }

 private:
  void label(const Taken& t) {
    written_ = 1;
    if (stopped_) return;
    std::string text;
    if (kind_.gv ? !gv_label(t, text) : !walk_label(t, text)) return;
    std::int32_t io = 0;
    WRITEH(unit_, text, io);
    if (io != 0) fail(2, write_error(io, false), kind_.gv ? "PRHGGV" : "PRHGNP");
  }

  bool walk_label(const Taken& t, std::string& text) {
    std::int32_t sub = 0;
    SUBMDE(t.conductor, kind_.row, sub);
    std::string path;
    if (!full_path(sub, path))
      return fail(1, "Error interpreting Conductor submodel@Contact Central Support", "PRHGNP");
    std::string prefix(kalvir::trim_right(ENTNAM(kind_.code)));
    if (sub != 1) {
      const std::size_t colon = path.find(':');
      prefix += (colon == std::string::npos ? std::string() : path.substr(colon)) + ":";
    }
    // The ends in the order of the reference: GF walks its second list.
    const std::int32_t first = kind_.walks_second ? t.other : t.walked;
    const std::int32_t second = kind_.walks_second ? t.walked : t.other;
    text = ",\"" + prefix + "(" + relative_label(first, path.size() + 1) + "," +
           relative_label(second, path.size() + 1) + tail(t.parallel);
    return true;
  }

  bool gv_label(const Taken& t, std::string& text) {
    if (base_.empty() && !full_path(first_sub_, base_)) {
      fail(4, "Error interpreting Conductor submodel@Contact Central Support", "PRHGGV");
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

  bool fail(std::int32_t code, std::string_view message, std::string_view routine) {
    report(message, 300, 3, code, routine);
    status_ = code;
    stopped_ = true;
    return false;
  }

  const ConductorKind& kind_;
  std::string_view name_;
  std::int32_t first_sub_;
  std::int32_t unit_;
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

namespace kalvir::parameters {
namespace {
template <class Walk>
void label_walk(std::int32_t code, std::string_view name, std::int32_t first_sub, std::int32_t unit,
                std::int64_t room_words, std::int32_t& ierr, std::int32_t& written, Walk walk) {
  ierr = 0;
  written = 0;
  const ConductorKind* kind = conductor_kind(code);
  if (kind == nullptr) return;
  DynamicCoreMark mark;
  const std::span<std::int32_t> room = take_core(mark, room_words);
  Labeller labeller(*kind, name, first_sub, unit);
  MatchList matches(room, labeller.hook());
  walk(matches);
  ierr = labeller.status();
  written = labeller.written();
}
}  // namespace
}  // namespace kalvir::parameters

void PRHGNP(std::span<const std::int32_t> W, std::span<const std::int32_t> O, std::int32_t SEQ, std::int32_t CFIRST,
            std::int32_t CLAST, std::int32_t ROWPAIR, std::int32_t /*ROW*/, std::string_view MNEMONIC,
            bool /*FIRSTWALKED*/, std::int32_t UNIT, std::int32_t& IERR, std::int32_t& WRITTEN) {
  std::int32_t code = 0, len = 0;
  kalvir::Chars<18> name;
  ENTFND(MNEMONIC, name.span(), code, len);
  kp::label_walk(code, MNEMONIC, 1, UNIT, std::max(CLAST - CFIRST + 1, 0), IERR, WRITTEN,
                 [&](kp::MatchList& m) { PARGNP(W, O, SEQ, CFIRST, CLAST, ROWPAIR, m); });
}

void PRHGFP(std::span<const std::int32_t> W, std::span<const std::int32_t> O, std::int32_t SEQ, std::int32_t CFIRST,
            std::int32_t CLAST, std::int32_t KIND, std::int32_t ROW, std::string_view MNEMONIC, bool /*FIRSTWALKED*/,
            std::int32_t UNIT, std::int32_t& IERR, std::int32_t& WRITTEN) {
  std::int32_t code = 0, len = 0;
  kalvir::Chars<18> name;
  ENTFND(MNEMONIC, name.span(), code, len);
  kp::label_walk(code, MNEMONIC, 1, UNIT, std::max(CLAST - CFIRST + 1, 0), IERR, WRITTEN,
                 [&](kp::MatchList& m) { PARGFP(W, O, SEQ, CFIRST, CLAST, KIND, ROW, m); });
}

void PRHGGV(std::span<const std::int32_t> V1, std::span<const std::int32_t> V2, std::int32_t SEQ, std::int32_t CFIRST,
            std::int32_t CLAST, std::int32_t FIRSTSUB, std::string_view NAME, std::int32_t UNIT, std::int32_t& IERR,
            std::int32_t& WRITTEN) {
  constexpr std::int32_t kGv = 45;
  kp::label_walk(kGv, NAME, FIRSTSUB, UNIT, std::max(CLAST - CFIRST + 1, 0), IERR, WRITTEN, [&](kp::MatchList& m) {
    std::int32_t st = 0;
    PARGGV(V1, V2, SEQ, CFIRST, CLAST, m, st);
    if (st != 0 && IERR == 0) IERR = 3;
  });
}

void PRHCND(std::int32_t CODE, std::string_view REF, std::string_view NAME, std::int32_t ISUB, std::int32_t UNIT,
            std::int32_t& IERR) {
  IERR = 0;
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
      const std::span<std::int32_t> room = kp::match_room(mark, *kind);
      kp::Labeller labeller(*kind, NAME, r.first_sub, UNIT);
      kp::MatchList matches(room.empty() ? room : room.subspan(1), labeller.hook());
      std::int32_t st = 0;
      kp::collect_matches(*kind, r, matches, st);
      IERR = labeller.status();
      written = labeller.written();
    }
  }
  if (written == 0) {
    IERR = 2;
    kp::report("No matching conductors found@" + item, 300, 3, 2, "PRHCND");
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
  PRCWTR(matches.items(), matches.size(), kind->values->span(), UNIT, IERR);
  if (IERR == 0 && matches.size() == 0) {
    IERR = 3;
    kp::report("No matching conductors found@" + item, 300, 3, 3, "PRCCND");
  }
}
